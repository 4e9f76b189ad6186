// Quaternions (x, y, z, w) and vectors; outputs may be the same as inputs.
#pragma once

struct Quat { float x, y, z, w; };
struct Vec3 { float x, y, z, pad; };  // pad: the cross product writes 0 there

int qmul(Quat* out, const Quat* a, const Quat* b);
int qmulpos(Quat* out, const Quat* a, const Quat* b);
int vcross(Vec3* out, const Vec3* a, const Vec3* b);
int qfromto(Quat* out, const Vec3* a, const Vec3* b);
int qtwist(Quat* swing, Quat* twist, const Quat* q, const Vec3* axis);
// Degrees from an amount (the sine of half an angle).
double amount2deg(double v);
