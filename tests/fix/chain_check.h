// Checks of a VRM-ready copy from outside: an evaluator of its own (not the
// fold's) plays the motion and the copy at every integer frame and composes
// the arm chain; the copy's other bytes are compared with the motion's.
// Random motions of the chains for property tests.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "fix/fix.h"
#include "tests/support/tempdir.h"
#include "tests/support/vmdwriter.h"

namespace fixcheck {

// ---- an evaluator of its own ----------------------------------------------------

struct Q4 {
  double x, y, z, w;
};
inline Q4 Mul(Q4 a, Q4 b) {
  return {a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y, a.w * b.y + a.y * b.w + a.z * b.x - a.x * b.z,
          a.w * b.z + a.z * b.w + a.x * b.y - a.y * b.x, a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
}
inline Q4 Inv(Q4 q) { return {-q.x, -q.y, -q.z, q.w}; }
inline double AngleDeg(Q4 a, Q4 b) {
  const double d = std::fabs(a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w) /
                   std::sqrt((a.x * a.x + a.y * a.y + a.z * a.z + a.w * a.w) *
                             (b.x * b.x + b.y * b.y + b.z * b.z + b.w * b.w));
  return 2 * std::acos(std::min(1.0, d)) * 180 / M_PI;
}

struct Key {
  int frame;
  Q4 q;
  uint8_t c[4];  // rotation curve x1 y1 x2 y2
};
using Tracks = std::map<std::string, std::vector<Key>>;

struct Parsed {
  Tracks tracks;
  std::vector<std::string> untouched;  // records of other bones, in order
  std::string tail;                    // bytes after the bone section
};

// Bones the fold may rewrite.
inline const char* const kChain[] = {"左腕", "左腕捩", "左手首", "左手捩", "左肩", "左肩P", "右腕", "右腕捩",
                              "右手首", "右手捩", "右肩", "右肩P", "上半身2", "上半身２"};

inline Parsed Parse(const std::string& b) {
  Parsed p;
  int32_t n;
  memcpy(&n, b.data() + 50, 4);
  std::vector<std::string> chain;
  for (const char* c : kChain) chain.push_back(SjisName(c));
  for (int i = 0; i < n; i++) {
    const char* r = b.data() + 54 + size_t(i) * 111;
    const std::string name(r, strnlen(r, 15));
    Key k;
    memcpy(&k.frame, r + 15, 4);
    float q[4];
    memcpy(q, r + 31, 16);
    const double n = std::sqrt(double(q[0]) * q[0] + double(q[1]) * q[1] + double(q[2]) * q[2] + double(q[3]) * q[3]);
    // Players turn by the rotation, whatever its length; a zero one is the rest pose.
    k.q = n > 0 ? Q4{q[0] / n, q[1] / n, q[2] / n, q[3] / n} : Q4{0, 0, 0, 1};
    const uint8_t* ip = reinterpret_cast<const uint8_t*>(r + 47);
    k.c[0] = ip[3], k.c[1] = ip[7], k.c[2] = ip[11], k.c[3] = ip[15];
    p.tracks[name].push_back(k);
    if (std::find(chain.begin(), chain.end(), name) == chain.end()) p.untouched.emplace_back(r, 111);
  }
  // By frame; of keys at one frame the last in the file counts.
  for (auto& [name, keys] : p.tracks) {
    std::stable_sort(keys.begin(), keys.end(), [](const Key& a, const Key& c) { return a.frame < c.frame; });
    std::vector<Key> one;
    for (const Key& k : keys) {
      if (!one.empty() && one.back().frame == k.frame) one.back() = k;
      else one.push_back(k);
    }
    keys = one;
  }
  p.tail = b.substr(54 + size_t(n) * 111);
  return p;
}

// The curve by plain bisection on its parameter.
inline double Weight(const uint8_t c[4], double t) {
  const double x1 = c[0] / 127.0, y1 = c[1] / 127.0, x2 = c[2] / 127.0, y2 = c[3] / 127.0;
  double lo = 0, hi = 1, s = 0.5;
  for (int i = 0; i < 60; i++) {
    s = (lo + hi) / 2;
    const double x = 3 * (1 - s) * (1 - s) * s * x1 + 3 * (1 - s) * s * s * x2 + s * s * s;
    (x < t ? lo : hi) = s;
  }
  return 3 * (1 - s) * (1 - s) * s * y1 + 3 * (1 - s) * s * s * y2 + s * s * s;
}

inline Q4 Slerp(Q4 a, Q4 b, double w) {
  double d = a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
  if (d < 0) b = {-b.x, -b.y, -b.z, -b.w}, d = -d;
  const double th = std::acos(std::min(1.0, d));
  if (th < 1e-9) return a;
  const double ka = std::sin((1 - w) * th) / std::sin(th), kb = std::sin(w * th) / std::sin(th);
  return {a.x * ka + b.x * kb, a.y * ka + b.y * kb, a.z * ka + b.z * kb, a.w * ka + b.w * kb};
}

inline Q4 At(const Tracks& t, const char* utf8, int f) {
  auto it = t.find(SjisName(utf8));
  if (it == t.end() || it->second.empty()) return {0, 0, 0, 1};
  const std::vector<Key>& k = it->second;
  if (f <= k.front().frame) return k.front().q;
  if (f >= k.back().frame) return k.back().q;
  size_t i = 1;
  while (k[i].frame < f) i++;
  const double t01 = double(f - k[i - 1].frame) / (k[i].frame - k[i - 1].frame);
  return Slerp(k[i - 1].q, k[i].q, Weight(k[i].c, t01));
}

// World rotations of the chest and, per side, 肩, 腕 followed by 腕捩, ひじ, 手首.
inline std::vector<Q4> World(const Tracks& t, int f) {
  const Q4 chest = Mul(At(t, "上半身2", f), At(t, "上半身２", f));
  std::vector<Q4> w = {chest};
  for (const char* s : {"左", "右"}) {
    auto b = [&](const char* bone) { return At(t, (std::string(s) + bone).c_str(), f); };
    const Q4 p = b("肩P");
    const Q4 shoulder = Mul(Mul(chest, p), b("肩"));
    const Q4 arm = Mul(Mul(Mul(shoulder, Inv(p)), b("腕")), b("腕捩"));
    const Q4 elbow = Mul(arm, b("ひじ"));
    const Q4 wrist = Mul(Mul(elbow, b("手捩")), b("手首"));
    w.insert(w.end(), {shoulder, arm, elbow, wrist});
  }
  return w;
}

// The largest difference of the chain's world rotations over every integer
// frame (and a little beyond the keys).
inline double LargestDifference(const Parsed& a, const Parsed& b) {
  int lo = 1 << 30, hi = -(1 << 30);
  for (const auto& [name, keys] : a.tracks)
    for (const Key& k : keys) lo = std::min(lo, k.frame), hi = std::max(hi, k.frame);
  double worst = 0;
  for (int f = lo - 2; f <= hi + 2; f++) {
    const std::vector<Q4> wa = World(a.tracks, f), wb = World(b.tracks, f);
    for (size_t i = 0; i < wa.size(); i++) worst = std::max(worst, AngleDeg(wa[i], wb[i]));
  }
  return worst;
}

inline std::string Fix(const std::string& motion, FixResult* r) {
  std::vector<uint8_t> out;
  FixMotion(reinterpret_cast<const uint8_t*>(motion.data()), motion.size(), r, &out);
  return std::string(out.begin(), out.end());
}

// Every property of a copy: the chain plays the same, the other records and
// the bytes after the bone section are unchanged, the folded bones are gone,
// the size bound holds, and fixing the copy finds nothing to do.
inline void ExpectGoodCopy(const std::string& motion, const std::string& copy) {
  const Parsed a = Parse(motion), b = Parse(copy);
  // Every curve block the copy makes (one not kept from a key of the motion)
  // is in the consistent layout: the 16-byte row and its copies shifted by
  // one, two and three bytes.
  std::set<std::string> kept;
  int32_t n;
  memcpy(&n, motion.data() + 50, 4);
  for (int i = 0; i < n; i++) kept.insert(motion.substr(54 + size_t(i) * 111 + 47, 64));
  memcpy(&n, copy.data() + 50, 4);
  for (int i = 0; i < n; i++) {
    const std::string block = copy.substr(54 + size_t(i) * 111 + 47, 64);
    if (kept.count(block)) continue;
    const uint8_t* ip = reinterpret_cast<const uint8_t*>(block.data());
    for (int r = 1; r < 4; r++)
      for (int k = r; k < 16; k++) ASSERT_EQ(ip[r * 16 + k - r], ip[k]) << "record " << i;
  }
  EXPECT_LE(LargestDifference(a, b), kFixToleranceDeg);
  EXPECT_EQ(a.untouched, b.untouched);
  EXPECT_EQ(a.tail, b.tail);
  EXPECT_EQ(copy.substr(0, 50), motion.substr(0, 50));
  EXPECT_LE(copy.size(), 2 * motion.size() + 65536);
  FixResult again;
  Fix(copy, &again);
  EXPECT_EQ(again.status, kFixNothing);
}

// ---- random chains ----------------------------------------------------------------

inline std::vector<uint8_t> Curve(uint8_t x1, uint8_t y1, uint8_t x2, uint8_t y2) {
  uint8_t row[16];
  for (int i = 0; i < 4; i++) row[i] = x1, row[4 + i] = y1, row[8 + i] = x2, row[12 + i] = y2;
  std::vector<uint8_t> b(64, 0);
  for (int r = 0; r < 4; r++)
    for (int i = r; i < 16; i++) b[size_t(r * 16 + i - r)] = row[i];
  return b;
}

inline VmdBoneKey RandomKey(std::mt19937& rng, const char* bone, int lastFrame, double maxDeg) {
  std::uniform_real_distribution<double> u(-1, 1);
  std::uniform_int_distribution<int> byte(0, 127), frame(0, lastFrame);
  VmdBoneKey k;
  k.name = SjisName(bone);
  k.frame = frame(rng);
  double ax = u(rng), ay = u(rng), az = u(rng);
  const double n = std::sqrt(ax * ax + ay * ay + az * az) + 1e-9;
  const double half = u(rng) * maxDeg * M_PI / 360;
  k.rot[0] = float(ax / n * std::sin(half));
  k.rot[1] = float(ay / n * std::sin(half));
  k.rot[2] = float(az / n * std::sin(half));
  k.rot[3] = float(std::cos(half));
  k.interp = Curve(uint8_t(byte(rng)), uint8_t(byte(rng)), uint8_t(byte(rng)), uint8_t(byte(rng)));
  return k;
}

// A motion of the arm chains and the upper body with random keys, written in
// random order among keys of other bones, morphs and a light.
inline std::string RandomMotion(std::mt19937& rng) {
  std::vector<VmdBoneKey> keys;
  std::uniform_int_distribution<int> count(0, 5), pick(0, 3);
  const int last = 10 + count(rng) * 8;
  for (const char* bone : {"左腕", "左腕捩", "左手首", "左手捩", "左肩", "左肩P", "左ひじ", "右腕", "右腕捩",
                           "右肩P", "上半身２", "センター"}) {
    const int n = count(rng);
    for (int i = 0; i < n; i++) keys.push_back(RandomKey(rng, bone, last, 120));
  }
  // Every case folds something; some keys share a frame.
  keys.push_back(RandomKey(rng, pick(rng) ? "左腕捩" : "上半身２", last, 120));
  keys.back().rot[0] = 0.3f, keys.back().rot[3] = 0.95f;
  keys.push_back(keys[size_t(pick(rng)) % keys.size()]);
  keys.back().rot[2] = 0.1f;
  // The half-width 上半身2 keyed but turning too little to count on its own.
  for (int i = pick(rng) - 1; i > 0; i--) keys.push_back(RandomKey(rng, "上半身2", last, 1));
  std::shuffle(keys.begin(), keys.end(), rng);
  VmdWriter w;
  w.Header().ModelName(SjisName("テスト")).Count(int32_t(keys.size()));
  for (const VmdBoneKey& k : keys) w.Bone(k);
  w.Count(1).Morph(SjisName("あ"), 3, 0.5f).Count(0).Count(1).Light(0).Count(0).Count(0);
  return std::string(w.bytes.begin(), w.bytes.end());
}

}  // namespace fixcheck
