#include "base/same_math.h"

#include <cmath>

namespace {

// π/2 in three parts, the first two of 30 significant bits, so that k times
// either is exact for the k of any argument below 2^20.
constexpr double kHalfPi1 = 0x1.921fb54p+0, kHalfPi2 = 0x1.10b46118p-30, kHalfPi3 = 0x1.313198a2e037p-61;
constexpr double kHalfPi = 1.5707963267948966, kPi = 3.141592653589793;
constexpr double kTwoOverPi = 0.6366197723675814;

// The series of sine and cosine for |r| up to π/4 (their next terms stay
// below 2^-60 of the value there).
double SinNear(double r) {
  const double z = r * r;
  const double p = -1.0 / 6 + z * (1.0 / 120 + z * (-1.0 / 5040 + z * (1.0 / 362880 + z * (-1.0 / 39916800 +
                   z * (1.0 / 6227020800 + z * (-1.0 / 1307674368000 + z * (1.0 / 355687428096000)))))));
  return r + r * z * p;
}
double CosNear(double r) {
  const double z = r * r;
  const double p = 1.0 / 24 + z * (-1.0 / 720 + z * (1.0 / 40320 + z * (-1.0 / 3628800 + z * (1.0 / 479001600 +
                   z * (-1.0 / 87178291200 + z * (1.0 / 20922789888000 + z * (-1.0 / 6402373705728000)))))));
  return 1 - 0.5 * z + z * z * p;
}

// x less the nearest multiple k of π/2; the quarter k mod 4 into *quarter.
double Reduced(double x, int* quarter) {
  const double k = std::floor(x * kTwoOverPi + 0.5);
  *quarter = int(k - 4 * std::floor(k / 4));
  return ((x - k * kHalfPi1) - k * kHalfPi2) - k * kHalfPi3;
}

// atan(k / 8) for k = 0 .. 8, to the nearest double.
constexpr double kAtanEighths[9] = {0.0, 0.12435499454676144, 0.24497866312686414, 0.35877067027057225,
                                    0.4636476090008061, 0.5585993153435624, 0.6435011087932844,
                                    0.7188299996216245, 0.7853981633974483};

// The arc tangent of 0 <= t <= 1: atan c of the nearest c = k / 8, plus the
// arc tangent of (t - c) / (1 + t c), at most 1/16, by its series.
double AtanUnit(double t) {
  const int k = int(t * 8 + 0.5);
  const double c = k / 8.0, u = (t - c) / (1 + t * c), z = u * u;
  const double s = 1 + z * (-1.0 / 3 + z * (1.0 / 5 + z * (-1.0 / 7 + z * (1.0 / 9 + z * (-1.0 / 11 +
                   z * (1.0 / 13 + z * (-1.0 / 15)))))));
  return kAtanEighths[k] + u * s;
}

}  // namespace

double SameSin(double x) {
  if (!std::isfinite(x)) return x - x;  // NaN
  if (std::fabs(x) < 0x1p-26) return x;  // x³/6 is below half its last place (and -0 stays -0)
  int q;
  const double r = Reduced(x, &q);
  switch (q) {
    case 0: return SinNear(r);
    case 1: return CosNear(r);
    case 2: return -SinNear(r);
    default: return -CosNear(r);
  }
}

double SameCos(double x) {
  if (!std::isfinite(x)) return x - x;
  int q;
  const double r = Reduced(x, &q);
  switch (q) {
    case 0: return CosNear(r);
    case 1: return -SinNear(r);
    case 2: return -CosNear(r);
    default: return SinNear(r);
  }
}

double SameAtan2(double y, double x) {
  if (std::isnan(x) || std::isnan(y)) return x + y;
  const double ax = std::fabs(x), ay = std::fabs(y);
  double a;
  if (std::isinf(ax) && std::isinf(ay))
    a = kPi / 4;
  else if (ay <= ax)
    a = ax == 0 ? 0 : AtanUnit(ay / ax);
  else
    a = kHalfPi - AtanUnit(ax / ay);
  if (std::signbit(x)) a = kPi - a;
  return std::copysign(a, y);
}

double SameAcos(double x) {
  if (!(std::fabs(x) <= 1)) return NAN;
  return SameAtan2(std::sqrt((1 - x) * (1 + x)), x);
}

double SameAsin(double x) {
  if (!(std::fabs(x) <= 1)) return NAN;
  return SameAtan2(x, std::sqrt((1 - x) * (1 + x)));
}
