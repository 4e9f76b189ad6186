// Quaternion and vector operations, and the swing-twist split used to measure
// how far a key twists a bone about its own axis. Every operation computes all
// of its components before it stores any, so an output may be an input too.
#include "vmd/rotation.h"

#include <cmath>

int qmul(Quat* out, const Quat* a, const Quat* b) {
  const float x = a->w * b->x + a->x * b->w + a->y * b->z - a->z * b->y;
  const float y = a->w * b->y + a->y * b->w + a->z * b->x - a->x * b->z;
  const float z = a->w * b->z + a->z * b->w + a->x * b->y - a->y * b->x;
  const float w = a->w * b->w - a->x * b->x - a->y * b->y - a->z * b->z;
  out->x = x;
  out->y = y;
  out->z = z;
  out->w = w;
  return 0;
}

int qmulpos(Quat* out, const Quat* a, const Quat* b) {
  Quat r;
  qmul(&r, a, b);
  if (r.w < 0.0f) {
    r.x = -r.x;
    r.y = -r.y;
    r.z = -r.z;
    r.w = -r.w;
  }
  *out = r;
  return 0;
}

int vcross(Vec3* out, const Vec3* a, const Vec3* b) {
  const float x = a->y * b->z - a->z * b->y;
  const float y = a->z * b->x - a->x * b->z;
  const float z = a->x * b->y - a->y * b->x;
  out->x = x;
  out->y = y;
  out->z = z;
  out->pad = 0.0f;
  return 0;
}

int qfromto(Quat* out, const Vec3* a, const Vec3* b) {
  Vec3 c;
  vcross(&c, a, b);
  const float s = std::sqrt(c.x * c.x + c.y * c.y + c.z * c.z);
  const float d = a->x * b->x + a->y * b->y + a->z * b->z;
  if (s < 0.000001f) {
    // parallel or opposite directions
    out->x = 0.0f;
    out->y = 0.0f;
    out->z = 0.0f;
    out->w = d < 0.0f ? -1.0f : 1.0f;
    return 0;
  }
  const float ux = c.x / s, uy = c.y / s, uz = c.z / s;
  const float sh = d < 1.0f ? std::sqrt((1.0f - d) * 0.5f) : 0.0f;
  const float ch = d > -1.0f ? std::sqrt((d + 1.0f) * 0.5f) : 0.0f;
  out->x = ux * sh;
  out->y = uy * sh;
  out->z = uz * sh;
  out->w = ch;
  return 0;
}

int qtwist(Quat* swing, Quat* twist, const Quat* q, const Vec3* axis) {
  const Quat qin = *q;  // the caller's rotation; swing or twist may alias it
  const float len =
      std::sqrt(axis->x * axis->x + axis->y * axis->y + axis->z * axis->z);
  Vec3 n = {axis->x / len, axis->y / len, axis->z / len, 0.0f};

  // a turns the twist axis onto the x axis
  const Vec3 xaxis = {1.0f, 0.0f, 0.0f, 0.0f};
  Quat a;
  qfromto(&a, &n, &xaxis);
  const Quat aconj = {-a.x, -a.y, -a.z, a.w};

  Quat p = qin;
  if (p.w < 0.0f) {
    p.x = -p.x;
    p.y = -p.y;
    p.z = -p.z;
    p.w = -p.w;
  }
  // p in the frame whose x axis is the twist axis
  qmul(&p, &p, &aconj);
  qmul(&p, &a, &p);

  Quat t;
  const float s = std::sqrt(p.x * p.x + p.w * p.w);
  if (s < 0.000001f) {
    t = {0.0f, 0.0f, 0.0f, 1.0f};
  } else {
    float tx = p.x / s, tw = p.w / s;
    if (tw < 0.0f) {
      tx = -tx;
      tw = -tw;
    }
    t = {tx * n.x, tx * n.y, tx * n.z, tw};
  }

  const Quat tconj = {-t.x, -t.y, -t.z, t.w};
  Quat sw;
  qmulpos(&sw, &qin, &tconj);
  if (sw.w < 0.0f) {
    sw.x = -sw.x;
    sw.y = -sw.y;
    sw.z = -sw.z;
    sw.w = -sw.w;
  }
  *twist = t;
  *swing = sw;
  return 0;
}

Quat qplayed(const Quat& q) {
  const double n2 = double(q.x) * q.x + double(q.y) * q.y + double(q.z) * q.z + double(q.w) * q.w;
  if (!(n2 > 0) || !std::isfinite(n2) || std::fabs(n2 - 1.0) <= 0.001) return q;
  const double n = std::sqrt(n2);
  return {float(q.x / n), float(q.y / n), float(q.z / n), float(q.w / n)};
}

double amount2deg(double v) {
  if (v >= 1.0) v = 1.0;
  if (v <= -1.0) v = -1.0;
  // asin(v) as atan2; the factor is 1 / 3.1415927
  const double rad = std::atan2(v, std::sqrt(1.0 - v * v));
  return rad * 2.0 * 180.0 * 0.31830988148145367;
}
