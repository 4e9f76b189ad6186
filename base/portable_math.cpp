#include "base/portable_math.h"

#include <cmath>

namespace {

constexpr double kQuarterPi = 0x1.921fb54442d18p-1;
constexpr double kHalfPi = 0x1.921fb54442d18p+0;
constexpr double kPi = 0x1.921fb54442d18p+1;
constexpr double kTwoOverPi = 0x1.45f306dc9c883p-1;
constexpr double kTanEighthPi = 0x1.a827999fcef34p-2;  // sqrt(2) - 1
// pi/2 in three parts, the first two of 33 bits: k times either is exact
// for the k of |x| < 1e6.
constexpr double kHalfPi1 = 0x1.921fb544p+0, kHalfPi2 = 0x1.0b4611a6p-34, kHalfPi3 = 0x1.3198a2e037073p-69;

// sin and cos of r in [-pi/4, pi/4] (a little beyond is as good): their
// Taylor series to r^23 and r^22, by Horner's rule; the first terms left
// out lie below 1e-27.
double SinNear(double r) {
  const double r2 = r * r;
  double t = 1;
  for (int n = 23; n >= 3; n -= 2) t = 1 - r2 / double(n * (n - 1)) * t;
  return r * t;
}

double CosNear(double r) {
  const double r2 = r * r;
  double t = 1;
  for (int n = 22; n >= 2; n -= 2) t = 1 - r2 / double(n * (n - 1)) * t;
  return t;
}

// atan(u) for |u| <= tan(pi/8): its series to u^47 (the rest below 1e-19 of u).
double AtanNear(double u) {
  const double u2 = u * u;
  double p = 0;
  for (int k = 23; k >= 0; k--) p = 1 / double(2 * k + 1) - u2 * p;
  return u * p;
}

// x reduced by the whole quarter turns k nearest to it: x - k pi/2, and k mod 4.
double Reduce(double x, int* quarter) {
  const double k = std::nearbyint(x * kTwoOverPi);
  if (k == 0) {  // as it is (and -0 stays -0)
    *quarter = 0;
    return x;
  }
  *quarter = int(k - 4 * std::floor(k / 4));
  return ((x - k * kHalfPi1) - k * kHalfPi2) - k * kHalfPi3;
}

}  // namespace

double PortableSin(double x) {
  if (!std::isfinite(x)) return x - x;
  int q;
  const double r = Reduce(x, &q);
  switch (q) {
    case 0: return SinNear(r);
    case 1: return CosNear(r);
    case 2: return -SinNear(r);
    default: return -CosNear(r);
  }
}

double PortableCos(double x) {
  if (!std::isfinite(x)) return x - x;
  int q;
  const double r = Reduce(x, &q);
  switch (q) {
    case 0: return CosNear(r);
    case 1: return -SinNear(r);
    case 2: return -CosNear(r);
    default: return SinNear(r);
  }
}

double PortableAtan2(double y, double x) {
  if (std::isnan(x) || std::isnan(y)) return x + y;
  const double ax = std::fabs(x), ay = std::fabs(y);
  if (ax == 0 && ay == 0) return std::signbit(x) ? std::copysign(kPi, y) : std::copysign(0.0, y);
  const bool steep = ay > ax;
  // t = the smaller over the larger, in [0, 1]
  const double t = std::isinf(ax) && std::isinf(ay) ? 1 : steep ? ax / ay : ay / ax;
  double a = t > kTanEighthPi ? kQuarterPi + AtanNear((t - 1) / (t + 1)) : AtanNear(t);
  if (steep) a = kHalfPi - a;
  if (std::signbit(x)) a = kPi - a;
  return std::copysign(a, y);
}

// From the arc tangent: sqrt is exact, and 1 - |x| loses nothing where the
// angle is small.
double PortableAsin(double x) {
  if (!(std::fabs(x) <= 1)) return std::nan("");
  return PortableAtan2(x, std::sqrt((1 - x) * (1 + x)));
}

double PortableAcos(double x) {
  if (!(std::fabs(x) <= 1)) return std::nan("");
  return PortableAtan2(std::sqrt((1 - x) * (1 + x)), x);
}
