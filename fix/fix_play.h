// How players play a motion's bone: a key's rotation normalised (a zero
// quaternion is the rest pose), the rotation curve between two keys, the
// slerp along the shorter arc, and a position's curves. The folds rebuild
// bones with it, and anything that plays a motion's bones (the VRM
// Animation) asks it for a bone's rotation at a frame.
#pragma once
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fix/fix_layout.h"

namespace fixplay {

constexpr double kPi = 3.14159265358979323846;

struct Dq {
  double x, y, z, w;
};

inline Dq Mul(const Dq& a, const Dq& b) {
  return {a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
          a.w * b.y + a.y * b.w + a.z * b.x - a.x * b.z,
          a.w * b.z + a.z * b.w + a.x * b.y - a.y * b.x,
          a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
}
inline Dq Conj(const Dq& q) { return {-q.x, -q.y, -q.z, q.w}; }
inline double Dot(const Dq& a, const Dq& b) { return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w; }
inline Dq Neg(const Dq& q) { return {-q.x, -q.y, -q.z, -q.w}; }
inline Dq Normal(const Dq& q) {
  const double n = std::sqrt(Dot(q, q));
  return {q.x / n, q.y / n, q.z / n, q.w / n};
}
constexpr Dq kIdentity = {0, 0, 0, 1};

// Along the shorter arc, as players do.
Dq Slerp(const Dq& a, Dq b, double w);
// The angle in degrees between the rotations of two unit quaternions.
double AngleDeg(const Dq& a, const Dq& b);
inline bool SameRotation(const Dq& a, const Dq& b) { return std::fabs(Dot(a, b)) >= 1 - 1e-13; }

// Curve evaluations and products since the caller last set it to 0 (the
// folds budget their fitting with it).
extern int64_t gWork;

// The curve's control points over 127; its y where its x is t.
double CurveAt(int x1, int y1, int x2, int y2, double t);
// The parameter where the x of the curve with x control points X1, X2 is t:
// Newton's steps from t, else halving.
double CurveParamAt(double X1, double X2, double t);

struct Key {
  int32_t frame;
  uint32_t rec;     // record number in the bone section
  Dq q;             // normalised
  float pos[3];
  const uint8_t* ip;
  uint8_t rc[4];    // its rotation curve, x1 y1 x2 y2 (ip 3, 7, 11, 15), kept at hand
  // The arc to the next key: q(w) = q cos(w th) + v sin(w th); th 0 for keys
  // too close for it (then the slerp itself).
  Dq v;
  double th;
};

struct Track {
  std::vector<uint32_t> recs;  // every record of the bone, in file order
  std::vector<Key> keys;       // by frame, one per frame (the last record of it)
  bool turns = false;          // a key's rotation is not the rest pose
  bool driven = false;         // as the reader: a key moves or turns it by more than 0.01
  float maxrot = 0;            // as the reader: the largest |x, y, z| of a key's rotation
  bool bad = false;            // a rotation or position that is no number
  mutable int cursor = 0;      // the key the last look-up found: frames are mostly asked in order
};

// Adds record r, the bone record at p, to the bone's track.
void AddRecord(Track* t, const uint8_t* p, uint32_t r);
// After the last record: the keys by frame, one per frame, each with its arc
// to the next.
void Gather(Track* t);
// Index of the last key at or before frame f, or -1.
int LastAtOrBefore(const Track& t, int64_t f);
// The bone's rotation (unit) and position at frame f, as players have them.
Dq RotationAt(const Track& t, int64_t f);
void PositionAt(const Track& t, int64_t f, float out[3]);
// Both at one look-up.
void PoseAt(const Track& t, int64_t f, Dq* q, float pos[3]);

}  // namespace fixplay
