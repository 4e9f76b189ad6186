#include "fix/fix_play.h"

#include <algorithm>
#include <cstring>

#include "base/same_math.h"

namespace fixplay {

int64_t gWork = 0;

Dq Slerp(const Dq& a, Dq b, double w) {
  double d = Dot(a, b);
  if (d < 0) {
    b = Neg(b);
    d = -d;
  }
  if (d > 0.9999999) {
    return Normal({a.x + (b.x - a.x) * w, a.y + (b.y - a.y) * w, a.z + (b.z - a.z) * w,
                   a.w + (b.w - a.w) * w});
  }
  const double th = SameAcos(d), s = SameSin(th);
  const double ka = SameSin((1 - w) * th) / s, kb = SameSin(w * th) / s;
  return {a.x * ka + b.x * kb, a.y * ka + b.y * kb, a.z * ka + b.z * kb, a.w * ka + b.w * kb};
}

double AngleDeg(const Dq& a, const Dq& b) {
  const double d = Dot(a, b);
  const Dq c = d < 0 ? Dq{a.x + b.x, a.y + b.y, a.z + b.z, a.w + b.w}
                     : Dq{a.x - b.x, a.y - b.y, a.z - b.z, a.w - b.w};
  const double chord = std::sqrt(Dot(c, c));
  return 4 * SameAsin(std::min(1.0, chord / 2)) * 180.0 / kPi;
}

double CurveParamAt(double X1, double X2, double t) {
  const double ax = 1 + 3 * X1 - 3 * X2, bx = 3 * X2 - 6 * X1, cx = 3 * X1;
  double s = t;
  for (int i = 0; i < 8; i++) {
    const double x = ((ax * s + bx) * s + cx) * s - t;
    if (std::fabs(x) < 1e-13) return s;
    const double dx = (3 * ax * s + 2 * bx) * s + cx;
    if (std::fabs(dx) < 1e-9) break;
    s -= x / dx;
    if (s < 0 || s > 1) break;
  }
  double lo = 0, hi = 1;
  for (int i = 0; i < 60; i++) {
    s = 0.5 * (lo + hi);
    if (((ax * s + bx) * s + cx) * s < t) lo = s; else hi = s;
  }
  return s;
}

double CurveAt(int x1, int y1, int x2, int y2, double t) {
  if (x1 == y1 && x2 == y2) return t;  // the straight line
  gWork++;
  // Bones keyed together mostly share their curves and are asked for at the
  // same time: the last answer is kept.
  static struct {
    int c[4];
    double t, y;
  } last = {{-1, -1, -1, -1}, 0, 0};
  if (last.t == t && last.c[0] == x1 && last.c[1] == y1 && last.c[2] == x2 && last.c[3] == y2) return last.y;
  const double Y1 = y1 / 127.0, Y2 = y2 / 127.0;
  const double s = CurveParamAt(x1 / 127.0, x2 / 127.0, t);
  const double ay = 1 + 3 * Y1 - 3 * Y2, by = 3 * Y2 - 6 * Y1, cy = 3 * Y1;
  last = {{x1, y1, x2, y2}, t, ((ay * s + by) * s + cy) * s};
  return last.y;
}

// One key of a bone of the chains, read from record r at p.
void AddRecord(Track* t, const uint8_t* p, uint32_t r) {
  t->recs.push_back(r);
  {
    Key k;
    k.frame = IntAt(p + kFrameAt);
    k.rec = r;
    for (int i = 0; i < 3; i++) k.pos[i] = FloatAt(p + kPosAt + 4 * i);
    const float x = FloatAt(p + kRotAt), y = FloatAt(p + kRotAt + 4), z = FloatAt(p + kRotAt + 8),
                w = FloatAt(p + kRotAt + 12);
    const Dq raw = {x, y, z, w};
    const double n = Dot(raw, raw);
    if (!std::isfinite(n) || !std::isfinite(k.pos[0]) || !std::isfinite(k.pos[1]) || !std::isfinite(k.pos[2])) {
      t->bad = true;
      k.q = kIdentity;
    } else {
      // Players normalise the rotation; a zero one is the rest pose.
      k.q = n > 0 ? Normal(raw) : kIdentity;
      if (x != 0 || y != 0 || z != 0) t->turns = true;
    }
    k.ip = p + kInterpAt;
    for (int c = 0; c < 4; c++) k.rc[c] = k.ip[3 + 4 * c];
    k.v = kIdentity;
    k.th = 0;
    t->keys.push_back(k);
  }
}

// The keys by frame, one per frame, each with its arc to the next.
void Gather(Track* t) {
  auto byFrame = [](const Key& a, const Key& b) { return a.frame < b.frame; };
  if (!std::is_sorted(t->keys.begin(), t->keys.end(), byFrame))  // files mostly are
    std::stable_sort(t->keys.begin(), t->keys.end(), byFrame);
  // Of keys at one frame, the last in the file counts.
  size_t n = 0;
  for (size_t i = 0; i < t->keys.size(); i++) {
    if (n > 0 && t->keys[n - 1].frame == t->keys[i].frame)
      t->keys[n - 1] = t->keys[i];
    else
      t->keys[n++] = t->keys[i];
  }
  t->keys.resize(n);
  for (size_t i = 0; i + 1 < n; i++) {
    Key& k = t->keys[i];
    Dq b = t->keys[i + 1].q;
    double d = Dot(k.q, b);
    if (d < 0) {
      b = Neg(b);
      d = -d;
    }
    k.th = 0;
    if (d > 0.9999999) continue;
    const Dq v = {b.x - d * k.q.x, b.y - d * k.q.y, b.z - d * k.q.z, b.w - d * k.q.w};
    const double vn = std::sqrt(Dot(v, v));
    k.v = {v.x / vn, v.y / vn, v.z / vn, v.w / vn};
    k.th = SameAtan2(vn, d);
  }
}

// Index of the last key at or before frame f, or -1.
int LastAtOrBefore(const Track& t, int64_t f) {
  const int n = (int)t.keys.size();
  for (int c = t.cursor; c < n && c <= t.cursor + 1; c++) {
    if (t.keys[c].frame > f) break;
    if (c + 1 == n || t.keys[c + 1].frame > f) return t.cursor = c;
  }
  auto it = std::upper_bound(t.keys.begin(), t.keys.end(), f,
                             [](int64_t v, const Key& k) { return v < k.frame; });
  const int i = int(it - t.keys.begin()) - 1;
  if (i >= 0) t.cursor = i;
  return i;
}

namespace {

// The rotation and the position at frame f, i being the last key at or
// before it (-1: none).
Dq RotationFrom(const Track& t, int i, int64_t f) {
  if (i < 0) return t.keys[0].q;
  if (i + 1 >= (int)t.keys.size() || t.keys[i].frame == f) return t.keys[i].q;
  const Key& a = t.keys[i];
  const Key& b = t.keys[i + 1];
  const double u = double(f - a.frame) / double(int64_t(b.frame) - a.frame);
  const double w = CurveAt(b.rc[0], b.rc[1], b.rc[2], b.rc[3], u);
  if (a.th == 0) return Slerp(a.q, b.q, w);
  const double c = SameCos(w * a.th), s = SameSin(w * a.th);
  return {a.q.x * c + a.v.x * s, a.q.y * c + a.v.y * s, a.q.z * c + a.v.z * s, a.q.w * c + a.v.w * s};
}

void PositionFrom(const Track& t, int i, int64_t f, float out[3]) {
  const Key& a = t.keys[i < 0 ? 0 : i];
  memcpy(out, a.pos, sizeof a.pos);
  if (i < 0 || i + 1 >= (int)t.keys.size() || a.frame == f) return;
  const Key& b = t.keys[i + 1];
  const double u = double(f - a.frame) / double(int64_t(b.frame) - a.frame);
  for (int c = 0; c < 3; c++) {
    if (b.pos[c] == a.pos[c]) {  // it holds: the curve is not asked (the sum keeps zeros' signs as before)
      out[c] = float(a.pos[c] + (double(b.pos[c]) - a.pos[c]));
      continue;
    }
    const double w = CurveAt(b.ip[c], b.ip[4 + c], b.ip[8 + c], b.ip[12 + c], u);
    out[c] = float(a.pos[c] + (double(b.pos[c]) - a.pos[c]) * w);
  }
}

}  // namespace

Dq RotationAt(const Track& t, int64_t f) {
  return t.keys.empty() ? kIdentity : RotationFrom(t, LastAtOrBefore(t, f), f);
}

void PositionAt(const Track& t, int64_t f, float out[3]) {
  if (t.keys.empty()) {
    out[0] = out[1] = out[2] = 0;
    return;
  }
  PositionFrom(t, LastAtOrBefore(t, f), f, out);
}

void PoseAt(const Track& t, int64_t f, Dq* q, float pos[3]) {
  if (t.keys.empty()) {
    *q = kIdentity;
    pos[0] = pos[1] = pos[2] = 0;
    return;
  }
  const int i = LastAtOrBefore(t, f);
  *q = RotationFrom(t, i, f);
  PositionFrom(t, i, f, pos);
}

}  // namespace fixplay
