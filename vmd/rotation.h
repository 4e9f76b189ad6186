// Quaternions (x, y, z, w) and vectors; outputs may be the same as inputs.
#pragma once

struct Quat { float x, y, z, w; };
struct Vec3 { float x, y, z, pad; };  // pad: the cross product writes 0 there

int qmul(Quat* out, const Quat* a, const Quat* b);
int qmulpos(Quat* out, const Quat* a, const Quat* b);
int vcross(Vec3* out, const Vec3* a, const Vec3* b);
int qfromto(Quat* out, const Vec3* a, const Vec3* b);
int qtwist(Quat* swing, Quat* twist, const Quat* q, const Vec3* axis);
// The rotation players turn a bone by for a key's stored quaternion: they
// normalise it. One of unit length within float rounding (|q|^2 within
// 0.001 of 1, as real motions hold) is kept bit for bit, and so are a zero
// one (the rest pose) and one that is not a number.
Quat qplayed(const Quat& q);
// Degrees from an amount (the sine of half an angle).
double amount2deg(double v);
