// An independent look at a motion and at the pose stage's output: its own
// reading of the keys and the show-and-IK switches, its own curves and
// slerp, its own forward kinematics of the humanoid from the output's
// local rotations. Nothing here calls the pose stage's code.
#pragma once
#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/vmdwriter.h"
#include "vrma/pose.h"

namespace vrmacheck {

struct Qt {
  double x = 0, y = 0, z = 0, w = 1;
};
struct Vt {
  double x = 0, y = 0, z = 0;
};

inline Qt Mul(const Qt& a, const Qt& b) {
  return {a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y, a.w * b.y + a.y * b.w + a.z * b.x - a.x * b.z,
          a.w * b.z + a.z * b.w + a.x * b.y - a.y * b.x, a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
}
inline Qt Inv(const Qt& q) { return {-q.x, -q.y, -q.z, q.w}; }
inline Qt Unit(const Qt& q) {
  const double n = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
  return {q.x / n, q.y / n, q.z / n, q.w / n};
}
// The rotation's angle in degrees, in [0, 180].
inline double AngleDeg(const Qt& q) {
  const Qt u = Unit(q);
  return 2 * std::acos(std::min(1.0, std::fabs(u.w))) * 180 / 3.14159265358979323846;
}
inline double AngleBetweenDeg(const Qt& a, const Qt& b) { return AngleDeg(Mul(Inv(a), b)); }
inline Vt Apply(const Qt& q, const Vt& v) {
  const Qt r = Mul(Mul(q, Qt{v.x, v.y, v.z, 0}), Inv(q));
  return {r.x, r.y, r.z};
}
inline Vt Add(const Vt& a, const Vt& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vt Sub(const Vt& a, const Vt& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline double Norm(const Vt& a) { return std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z); }
inline Qt AroundAxis(double x, double y, double z, double deg) {
  const double h = deg * 3.14159265358979323846 / 360;
  return {x * std::sin(h), y * std::sin(h), z * std::sin(h), std::cos(h)};
}
// MMD space to glTF space.
inline Qt Gl(const Qt& q) { return {-q.x, -q.y, q.z, q.w}; }
inline Vt Gl(const Vt& p) { return {p.x * 0.08, p.y * 0.08, -p.z * 0.08}; }

// A Bezier curve's y where its x is t, by bisection.
inline double Bezier(int x1, int y1, int x2, int y2, double t) {
  auto at = [](double a, double b, double s) {
    const double u = 1 - s;
    return 3 * u * u * s * a + 3 * u * s * s * b + s * s * s;
  };
  double lo = 0, hi = 1;
  for (int i = 0; i < 60; i++) {
    const double s = (lo + hi) / 2;
    (at(x1 / 127.0, x2 / 127.0, s) < t ? lo : hi) = s;
  }
  return at(y1 / 127.0, y2 / 127.0, (lo + hi) / 2);
}

struct TKey {
  uint32_t frame;
  Qt q;
  double pos[3];
  uint8_t ip[64];
};

// The motion as the test reads it: keys by Shift-JIS name, IK switches by
// the IK's Shift-JIS name.
struct TMotion {
  std::map<std::string, std::vector<TKey>> bones;
  std::map<std::string, std::vector<std::pair<uint32_t, bool>>> ik;
  bool ok = false;
};

template <typename T>
T Read(const std::string& b, size_t at) {
  T v;
  memcpy(&v, b.data() + at, sizeof v);
  return v;
}

inline std::string Field(const std::string& b, size_t at, size_t width) {
  std::string s = b.substr(at, width);
  const size_t z = s.find('\0');
  return z == std::string::npos ? s : s.substr(0, z);
}

inline TMotion ReadMotion(const std::string& b) {
  TMotion m;
  if (b.size() < 58) return m;
  size_t at = 50;
  const int32_t bones = Read<int32_t>(b, at);
  at += 4;
  if (bones < 0 || b.size() < at + size_t(bones) * 111) return m;
  for (int32_t i = 0; i < bones; i++, at += 111) {
    TKey k;
    k.frame = Read<uint32_t>(b, at + 15);
    for (int c = 0; c < 3; c++) k.pos[c] = Read<float>(b, at + 19 + 4 * c);
    Qt q{Read<float>(b, at + 31), Read<float>(b, at + 35), Read<float>(b, at + 39), Read<float>(b, at + 43)};
    const double n = q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w;
    k.q = n > 1e-12 && std::isfinite(n) ? Unit(q) : Qt{};
    memcpy(k.ip, b.data() + at + 47, 64);
    m.bones[Field(b, at, 15)].push_back(k);
  }
  for (auto& [name, keys] : m.bones) {
    std::stable_sort(keys.begin(), keys.end(), [](const TKey& a, const TKey& c) { return a.frame < c.frame; });
    std::vector<TKey> one;
    for (const TKey& k : keys) {
      if (!one.empty() && one.back().frame == k.frame) one.back() = k;
      else one.push_back(k);
    }
    keys = one;
  }
  m.ok = true;
  // Morphs, camera, light, self-shadow, then the switches.
  const size_t rec[4] = {23, 61, 28, 9};
  for (size_t r : rec) {
    if (b.size() < at + 4) return m;
    const int32_t n = Read<int32_t>(b, at);
    at += 4;
    if (n < 0 || b.size() < at + size_t(n) * r) return m;
    at += size_t(n) * r;
  }
  if (b.size() < at + 4) return m;
  const int32_t n = Read<int32_t>(b, at);
  at += 4;
  for (int32_t i = 0; i < n; i++) {
    if (b.size() < at + 9) return m;
    const uint32_t frame = Read<uint32_t>(b, at);
    const int32_t e = Read<int32_t>(b, at + 5);
    at += 9;
    if (e < 0 || b.size() < at + size_t(e) * 21) return m;
    for (int32_t j = 0; j < e; j++, at += 21) m.ik[Field(b, at, 20)].push_back({frame, b[at + 20] != 0});
  }
  for (auto& [name, s] : m.ik)
    std::stable_sort(s.begin(), s.end(), [](auto& a, auto& c) { return a.first < c.first; });
  return m;
}

inline Qt Slerp(const Qt& a, Qt b, double w) {
  double d = a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
  if (d < 0) {
    b = {-b.x, -b.y, -b.z, -b.w};
    d = -d;
  }
  if (d > 0.9999999) return Unit({a.x + (b.x - a.x) * w, a.y + (b.y - a.y) * w, a.z + (b.z - a.z) * w, a.w + (b.w - a.w) * w});
  const double th = std::acos(d), s = std::sin(th);
  const double ka = std::sin((1 - w) * th) / s, kb = std::sin(w * th) / s;
  return {a.x * ka + b.x * kb, a.y * ka + b.y * kb, a.z * ka + b.z * kb, a.w * ka + b.w * kb};
}

// The bone's rotation and movement at frame f (identity, zero without keys).
inline void At(const TMotion& m, const std::string& sjis, uint32_t f, Qt* q, Vt* p = nullptr) {
  *q = Qt{};
  if (p) *p = Vt{};
  auto it = m.bones.find(sjis);
  if (it == m.bones.end() || it->second.empty()) return;
  const std::vector<TKey>& k = it->second;
  const auto after = std::upper_bound(k.begin(), k.end(), f, [](uint32_t v, const TKey& x) { return v < x.frame; });
  const size_t i = after == k.begin() ? 0 : size_t(after - k.begin()) - 1;
  const TKey& a = k[i];
  if (f <= a.frame || i + 1 == k.size()) {
    *q = a.q;
    if (p) *p = {a.pos[0], a.pos[1], a.pos[2]};
    return;
  }
  const TKey& b = k[i + 1];
  const double u = double(f - a.frame) / double(b.frame - a.frame);
  *q = Slerp(a.q, b.q, Bezier(b.ip[3], b.ip[7], b.ip[11], b.ip[15], u));
  if (p) {
    double v[3];
    for (int c = 0; c < 3; c++)
      v[c] = a.pos[c] + (b.pos[c] - a.pos[c]) * Bezier(b.ip[c], b.ip[4 + c], b.ip[8 + c], b.ip[12 + c], u);
    *p = {v[0], v[1], v[2]};
  }
}

inline bool IkOn(const TMotion& m, const std::string& sjis, uint32_t f) {
  auto it = m.ik.find(sjis);
  bool on = true;
  if (it != m.ik.end())
    for (auto& [frame, state] : it->second)
      if (frame <= f) on = state;
  return on;
}

// The humanoid at frame f from the output alone: each bone's world rotation
// and its joint's position on the T-pose skeleton.
struct Humanoid {
  Qt world[HB_COUNT];
  Vt joint[HB_COUNT];
};

inline Qt Local(const VrmaAnimation& a, int f, int h) {
  const float* r = &a.rotation[(size_t(f) * HB_COUNT + h) * 4];
  return {r[0], r[1], r[2], r[3]};
}

inline Humanoid Pose(const VrmaAnimation& a, const VrmaSkeleton& s, int f) {
  Humanoid o;
  for (int h = 0; h < HB_COUNT; h++) {
    const int up = kHumanBoneParent[h];
    const Vt rest = {s.restLocal[h][0], s.restLocal[h][1], s.restLocal[h][2]};
    if (up < 0) {
      o.world[h] = Local(a, f, h);
      o.joint[h] = {a.hips[size_t(f) * 3], a.hips[size_t(f) * 3 + 1], a.hips[size_t(f) * 3 + 2]};
    } else {
      o.world[h] = Mul(o.world[up], Local(a, f, h));
      o.joint[h] = Add(o.joint[up], Apply(o.world[up], rest));
    }
  }
  return o;
}

// The pose stage run on a motion, and the motion as the test reads it.
struct Played {
  std::string bytes;
  VrmaAnimation anim;
  VrmaPoseStats stats;
  VrmaSkeleton skel;
  TMotion motion;
  int status;

  std::vector<float> joints;  // where MMD puts the humanoid's joints

  explicit Played(const std::string& b, double armAngle = kVrmaArmAngleDeg) : bytes(b) {
    VrmaPoseOptions o;
    o.data = reinterpret_cast<const uint8_t*>(bytes.data());
    o.size = bytes.size();
    o.armAngleDeg = armAngle;
    o.joints = &joints;
    status = VrmaPose(o, &anim, &stats);
    VrmaStandardSkeleton(&skel);
    motion = ReadMotion(bytes);
  }
  Humanoid At(int f) const { return Pose(anim, skel, f); }
};

inline Qt Key(const TMotion& m, const char* utf8, uint32_t f) {
  Qt q;
  vrmacheck::At(m, SjisName(utf8), f, &q);
  return q;
}

// The largest angle (degrees) over the frames between a bone of the
// output's pose (from its joint to a child's) and the same bone where MMD
// puts the joints; the hips' children aside (the roots are where the two
// differ).
inline double WorstDirectionDeg(const Played& r) {
  double worst = 0;
  for (int f = 0; f < r.anim.frames; f++) {
    const Humanoid h = r.At(f);
    auto mmd = [&](int b) {
      const float* j = &r.joints[(size_t(f) * HB_COUNT + b) * 3];
      return Vt{j[0], j[1], j[2]};
    };
    for (int c = 0; c < HB_COUNT; c++) {
      const int up = kHumanBoneParent[c];
      if (up <= HB_hips) continue;
      const Vt a = Sub(h.joint[c], h.joint[up]), b = Sub(mmd(c), mmd(up));
      const double cosAngle = (a.x * b.x + a.y * b.y + a.z * b.z) / (Norm(a) * Norm(b));
      worst = std::max(worst, std::acos(std::min(1.0, cosAngle)) * 180 / 3.14159265358979);
    }
  }
  return worst;
}

// The turn of each checked humanoid bone equals its MMD bones' at every frame.
inline void ExpectAnglesKept(const Played& r) {
  struct Pair {
    int h;
    const char* a;
    const char* b;
  };
  const Pair pairs[] = {{HB_neck, "首", nullptr},          {HB_head, "頭", nullptr},
                        {HB_leftLowerArm, "左ひじ", nullptr}, {HB_rightLowerArm, "右ひじ", nullptr},
                        {HB_leftHand, "左手捩", "左手首"},    {HB_rightHand, "右手捩", "右手首"}};
  double worst = 0;
  for (int f = 0; f < r.anim.frames; f++)
    for (const Pair& p : pairs) {
      Qt want = Key(r.motion, p.a, f);
      if (p.b) want = Mul(want, Key(r.motion, p.b, f));
      worst = std::max(worst, std::fabs(AngleDeg(Local(r.anim, f, p.h)) - AngleDeg(want)));
    }
  EXPECT_LE(worst, 0.5);
}

// The IK target of one side at frame f (glTF space), from the keys of
// 全ての親, the IK parent (either width) and 足ＩＫ.
inline Vt Target(const Played& r, int side, int f) {
  float rest[MB_COUNT][3];
  VrmaMmdRest(kVrmaArmAngleDeg, rest);
  const int base = side ? MB_right : MB_left;
  auto restAt = [&](int b) { return Vt{rest[b][0], rest[b][1], rest[b][2]}; };
  const char* s = side ? "右" : "左";
  Qt q0, q1, q1b, q2;
  Vt m0, m1, m1b, m2;
  vrmacheck::At(r.motion, SjisName("全ての親"), f, &q0, &m0);
  vrmacheck::At(r.motion, SjisName((std::string(s) + "足IK親").c_str()), f, &q1, &m1);
  vrmacheck::At(r.motion, SjisName((std::string(s) + "足ＩＫ親").c_str()), f, &q1b, &m1b);
  vrmacheck::At(r.motion, SjisName((std::string(s) + "足ＩＫ").c_str()), f, &q2, &m2);
  const Vt p0 = Add(restAt(MB_root), m0);
  const Vt p1 = Add(p0, Apply(q0, Add(Sub(restAt(base + SB_ikParent), restAt(MB_root)), Add(m1, m1b))));
  const Qt w1 = Mul(q0, Mul(q1, q1b));
  return Gl(Add(p1, Apply(w1, Add(Sub(restAt(base + SB_legIk), restAt(base + SB_ikParent)), m2))));
}

inline bool Reachable(const Played& r, const Humanoid& h, int side, const Vt& target) {
  const int up = side ? HB_rightUpperLeg : HB_leftUpperLeg;
  auto len = [&](int b) {
    const float* o = r.skel.restLocal[b];
    return Norm({o[0], o[1], o[2]});
  };
  const double thigh = len(up + 1), shin = len(up + 2), d = Norm(Sub(target, h.joint[up]));
  return d >= std::fabs(thigh - shin) + 0.01 && d <= thigh + shin - 0.01;
}

// Every frame where a leg's IK is on, no D bone of it turns and its target
// is within reach: the ankle within 1 cm of the target. Returns the frames
// checked and the worst distance.
inline std::pair<int, double> ExpectAnklesOnTargets(const Played& r) {
  int checked = 0;
  double worst = 0;
  for (int f = 0; f < r.anim.frames; f++) {
    const Humanoid h = r.At(f);
    for (int side = 0; side < 2; side++) {
      const std::string s = side ? "右" : "左";
      if (!IkOn(r.motion, SjisName((s + "足ＩＫ").c_str()), f)) continue;
      bool dTurns = false;
      for (const char* d : {"足D", "ひざD", "足首D"}) dTurns |= AngleDeg(Key(r.motion, (s + d).c_str(), f)) > 1e-6;
      const Vt target = Target(r, side, f);
      if (dTurns || !Reachable(r, h, side, target)) continue;
      checked++;
      worst = std::max(worst, Norm(Sub(h.joint[side ? HB_rightFoot : HB_leftFoot], target)));
    }
  }
  EXPECT_LE(worst, 0.01);
  return {checked, worst};
}

}  // namespace vrmacheck
