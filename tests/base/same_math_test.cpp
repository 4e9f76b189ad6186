// The functions that give the same bits everywhere agree with the C
// library's to a few units in the last place, quadrants and signs included,
// and give the Linux build's bits under Wine too.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>

#include "base/same_math.h"

namespace {

// Within n units in the last place of the library's value (absolute near 0).
void Near(double ours, double lib, double n, const char* what, double at) {
  const double ulp = std::max(std::fabs(lib), 0.25) * 0x1p-52;
  EXPECT_LE(std::fabs(ours - lib), n * ulp) << what << "(" << at << "): " << ours << " vs " << lib;
}

TEST(SameMath, SineAndCosineOverManyTurns) {
  for (int i = -200000; i <= 200000; i++) {
    const double x = i * 0.000917;  // about ±183 rad, every quarter met many times
    Near(SameSin(x), std::sin(x), 2, "sin", x);
    Near(SameCos(x), std::cos(x), 2, "cos", x);
  }
  EXPECT_EQ(SameSin(0.0), 0.0);
  EXPECT_TRUE(std::signbit(SameSin(-0.0)));
  EXPECT_EQ(SameCos(0.0), 1.0);
  EXPECT_EQ(SameSin(1e-300), 1e-300);
  EXPECT_TRUE(std::isnan(SameSin(HUGE_VAL)));
  EXPECT_TRUE(std::isnan(SameCos(NAN)));
}

TEST(SameMath, ArcTangentInEveryQuadrantAndTheInverses) {
  for (int i = -300; i <= 300; i++)
    for (int j = -300; j <= 300; j += 7) {
      const double y = i * 0.0137, x = j * 0.0291;
      Near(SameAtan2(y, x), std::atan2(y, x), 4, "atan2", y);
    }
  for (double y : {0.0, -0.0})
    for (double x : {0.0, -0.0, 1.0, -1.0}) {
      const double ours = SameAtan2(y, x), lib = std::atan2(y, x);
      EXPECT_EQ(ours, lib) << y << ", " << x;
      EXPECT_EQ(std::signbit(ours), std::signbit(lib)) << y << ", " << x;
    }
  EXPECT_EQ(SameAtan2(1e-30, 1.0), 1e-30);
  EXPECT_DOUBLE_EQ(SameAtan2(HUGE_VAL, -HUGE_VAL), std::atan2(HUGE_VAL, -HUGE_VAL));
  EXPECT_DOUBLE_EQ(SameAtan2(1.0, 0.0), std::atan2(1.0, 0.0));
  for (int i = -1000; i <= 1000; i++) {
    const double x = i / 1000.0;
    Near(SameAcos(x), std::acos(x), 4, "acos", x);
    Near(SameAsin(x), std::asin(x), 4, "asin", x);
  }
  EXPECT_EQ(SameAcos(1.0), 0.0);
  EXPECT_TRUE(std::isnan(SameAcos(1.0000001)));
  EXPECT_TRUE(std::isnan(SameAsin(-2.0)));
}

TEST(SameMath, TheSameBitsOnEveryPlatform) {
  // A fingerprint (FNV-1a) of the bits of many values as the Linux build
  // computes them; the Windows build, under Wine, must compute the same.
  uint64_t h = 0xcbf29ce484222325u;
  auto mix = [&h](double v) {
    uint64_t b;
    memcpy(&b, &v, 8);
    for (int i = 0; i < 8; i++) h = (h ^ ((b >> (8 * i)) & 0xff)) * 0x100000001b3u;
  };
  for (int i = -5000; i <= 5000; i++) {
    const double x = i * 0.0123456789 + i * i * 1e-7;
    mix(SameSin(x));
    mix(SameCos(x));
    mix(SameAtan2(x, 1.5 - i * 0.001));
    mix(SameAcos(i / 5000.0));
    mix(SameAsin(i / 5001.0));
  }
  EXPECT_EQ(h, UINT64_C(13868739530560688279));
}

}  // namespace
