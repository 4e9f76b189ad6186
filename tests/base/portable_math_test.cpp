// Sine, cosine, arc sine, arc cosine and arc tangent of our own: within a
// few units in the last place of the C library's (glibc's), the special
// values as the C library gives them, and the same bits on every platform
// (the Windows build runs this test under Wine against the fingerprint the
// Linux build gives).
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>

#include "base/portable_math.h"

namespace {

// Within n units of the last place of the C library's value.
void ExpectClose(double got, double want, double n, const char* what, double x) {
  const double ulp = std::max(std::fabs(want), 1e-300) * DBL_EPSILON;
  EXPECT_LE(std::fabs(got - want), n * ulp) << what << "(" << x << ") = " << got << ", not " << want;
}

TEST(PortableMath, CloseToTheLibrarysSineAndCosine) {
#ifdef _WIN32
  // mingw-w64's own sin and cos are off by ten units in the last place and
  // more for arguments in the thousands (x87's reduction by a 66-bit pi);
  // the fingerprint below holds ours to the Linux build's, held here to
  // glibc's.
  GTEST_SKIP() << "the C library's sin and cos are no reference here";
#endif
  std::mt19937_64 rng(5);
  std::uniform_real_distribution<double> wide(-1e4, 1e4), turn(-7, 7), exponent(-30, 0);
  for (int i = 0; i < 200000; i++) {
    const double x = i % 3 == 0 ? wide(rng) : i % 3 == 1 ? turn(rng) : std::pow(10.0, exponent(rng));
    // near a zero of sin or cos the value is tiny: its absolute error counts
    ExpectClose(PortableSin(x), std::sin(x), 4, "sin", x);
    if (std::fabs(std::cos(x)) > 1e-3)
      ExpectClose(PortableCos(x), std::cos(x), 4, "cos", x);
    else
      EXPECT_NEAR(PortableCos(x), std::cos(x), 4 * DBL_EPSILON) << x;
  }
  EXPECT_EQ(PortableSin(0.0), 0.0);
  EXPECT_TRUE(std::signbit(PortableSin(-0.0)));
  EXPECT_EQ(PortableCos(0.0), 1.0);
  const double inf = std::numeric_limits<double>::infinity();
  for (double bad : {inf, -inf, std::nan("")}) {
    EXPECT_TRUE(std::isnan(PortableSin(bad)));
    EXPECT_TRUE(std::isnan(PortableCos(bad)));
  }
}

TEST(PortableMath, CloseToTheLibrarysArcTangentInEveryQuadrant) {
  std::mt19937_64 rng(9);
  std::uniform_real_distribution<double> u(-1, 1), exponent(-20, 20);
  for (int i = 0; i < 200000; i++) {
    const double y = u(rng) * std::pow(10.0, exponent(rng)), x = u(rng) * std::pow(10.0, exponent(rng));
    ExpectClose(PortableAtan2(y, x), std::atan2(y, x), 4, "atan2", y / x);
  }
  const double inf = std::numeric_limits<double>::infinity();
  const double special[] = {0.0, -0.0, 1.0, -1.0, 1e-310, -1e-310, inf, -inf};
  for (double y : special)
    for (double x : special) {
      const double want = std::atan2(y, x), got = PortableAtan2(y, x);
      ExpectClose(got, want, 2, "atan2 of specials", y);
      EXPECT_EQ(std::signbit(got), std::signbit(want)) << y << ", " << x;
    }
  EXPECT_TRUE(std::isnan(PortableAtan2(std::nan(""), 1)));
  EXPECT_TRUE(std::isnan(PortableAtan2(1, std::nan(""))));
}

TEST(PortableMath, CloseToTheLibrarysArcSineAndCosine) {
  std::mt19937_64 rng(13);
  std::uniform_real_distribution<double> u(-1, 1), exponent(-16, 0);
  for (int i = 0; i < 200000; i++) {
    // all over [-1, 1], and close to its ends and to 0
    const double e = std::pow(10.0, exponent(rng)), x = i % 3 == 0 ? u(rng) : i % 3 == 1 ? 1 - e : -e;
    ExpectClose(PortableAsin(x), std::asin(x), 4, "asin", x);
    ExpectClose(PortableAcos(x), std::acos(x), 4, "acos", x);
    ExpectClose(PortableAcos(-x), std::acos(-x), 4, "acos", -x);
  }
  for (double x : {-1.0, 0.0, 1.0}) {
    EXPECT_EQ(PortableAsin(x), std::asin(x));
    EXPECT_EQ(PortableAcos(x), std::acos(x));
  }
  for (double bad : {1.0000001, -2.0, std::nan("")}) {
    EXPECT_TRUE(std::isnan(PortableAsin(bad)));
    EXPECT_TRUE(std::isnan(PortableAcos(bad)));
  }
}

TEST(PortableMath, TheSameBitsOnEveryPlatform) {
  // A fingerprint (FNV-1a) of the bits of many values, as the Linux build
  // computes them; any other build must compute the same.
  uint64_t h = 0xcbf29ce484222325u;
  auto mix = [&h](double v) {
    uint64_t b;
    memcpy(&b, &v, 8);
    for (int i = 0; i < 8; i++) h = (h ^ ((b >> (8 * i)) & 0xff)) * 0x100000001b3u;
  };
  for (int i = -5000; i <= 5000; i++) {
    const double x = i * 0.0123456789 + i * i * 1e-7;
    mix(PortableSin(x));
    mix(PortableCos(x));
    mix(PortableAtan2(x, 1.5 - i * 0.001));
    mix(PortableAcos(i / 5000.0));
    mix(PortableAsin(i / 5001.0));
  }
  EXPECT_EQ(h, UINT64_C(17452035318813418544));
}

}  // namespace
