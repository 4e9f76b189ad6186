#include "vmd/rotation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

constexpr float kEps = 1e-6f;

void ExpectQuat(const Quat& q, float x, float y, float z, float w, float eps = kEps) {
  EXPECT_NEAR(q.x, x, eps);
  EXPECT_NEAR(q.y, y, eps);
  EXPECT_NEAR(q.z, z, eps);
  EXPECT_NEAR(q.w, w, eps);
}

// Rotation by deg degrees about the unit axis (ax, ay, az).
Quat AxisAngle(float ax, float ay, float az, double deg) {
  const double h = deg * M_PI / 360.0;
  const float s = float(std::sin(h));
  return {ax * s, ay * s, az * s, float(std::cos(h))};
}

TEST(Rotation, ProductsMayWriteOverTheirInputs) {
  const Quat a = AxisAngle(0.6f, 0.0f, 0.8f, 70.0);
  const Quat b = AxisAngle(0.0f, 1.0f, 0.0f, 200.0);  // w < 0
  Quat ref, sq, pos;
  qmul(&ref, &a, &b);
  qmul(&sq, &a, &a);
  qmulpos(&pos, &a, &b);
  Quat o = a;
  qmul(&o, &o, &b);
  ExpectQuat(o, ref.x, ref.y, ref.z, ref.w);
  o = b;
  qmul(&o, &a, &o);
  ExpectQuat(o, ref.x, ref.y, ref.z, ref.w);
  o = a;
  qmul(&o, &o, &o);
  ExpectQuat(o, sq.x, sq.y, sq.z, sq.w);
  // qmulpos gives the same rotation with w >= 0
  ASSERT_LT(ref.w, 0.0f);
  ExpectQuat(pos, -ref.x, -ref.y, -ref.z, -ref.w);
}

TEST(Rotation, FromToParallelOppositeAndPerpendicular) {
  const Vec3 x = {1, 0, 0, 0}, mx = {-1, 0, 0, 0}, y = {0, 1, 0, 0};
  Quat q;
  qfromto(&q, &x, &x);
  ExpectQuat(q, 0, 0, 0, 1);
  qfromto(&q, &x, &mx);
  ExpectQuat(q, 0, 0, 0, -1);
  qfromto(&q, &y, &x);
  ExpectQuat(q, 0, 0, -0.7071068f, 0.7071068f);
}

TEST(Rotation, TwistOfARotationAboutTheAxisIsTheRotationItself) {
  const Vec3 axis = {0.819742024f, -0.572733998f, 0.0f, 0};
  const float n = std::sqrt(axis.x * axis.x + axis.y * axis.y);
  for (double deg : {30.0, -75.0, 170.0}) {
    const Quat q = AxisAngle(axis.x / n, axis.y / n, 0.0f, deg);
    Quat swing, twist;
    qtwist(&swing, &twist, &q, &axis);
    ExpectQuat(twist, q.x, q.y, q.z, q.w, 1e-5f);
    ExpectQuat(swing, 0, 0, 0, 1, 1e-5f);
    // the sign of twist.x tells the direction
    EXPECT_EQ(twist.x >= 0.0f, deg > 0.0);
  }
  // w < 0: the same rotation, given back with w >= 0
  const Quat q = AxisAngle(1, 0, 0, 300.0);
  const Vec3 x = {2, 0, 0, 0};  // not normalised
  Quat swing, twist;
  qtwist(&swing, &twist, &q, &x);
  ExpectQuat(twist, -q.x, 0, 0, -q.w, 1e-5f);
}

TEST(Rotation, TwistOfPerpendicularRotationsIsIdentity) {
  const Vec3 x = {1, 0, 0, 0};
  Quat swing, twist;
  const Quat q90 = AxisAngle(0, 1, 0, 90.0);
  qtwist(&swing, &twist, &q90, &x);
  ExpectQuat(twist, 0, 0, 0, 1);
  ExpectQuat(swing, q90.x, q90.y, q90.z, q90.w);

  const Quat q180 = {0.0f, 0.0f, 1.0f, 0.0f};
  qtwist(&swing, &twist, &q180, &x);
  ExpectQuat(twist, 0, 0, 0, 1);
  ExpectQuat(swing, 0, 0, 1, 0);
}

TEST(Rotation, SwingTimesTwistGivesTheRotationBack) {
  const Vec3 axis = {0.759227991f, 0.650820971f, 0.00236674002f, 0};
  const Quat q = {0.3f, -0.2f, 0.5f, 0.787401f};
  Quat swing, twist;
  qtwist(&swing, &twist, &q, &axis);
  EXPECT_GE(twist.w, 0.0f);
  Quat back;
  qmulpos(&back, &swing, &twist);
  ExpectQuat(back, q.x, q.y, q.z, q.w, 1e-5f);

  // outputs may be the input
  Quat io = q;
  qtwist(&swing, &io, &io, &axis);
  ExpectQuat(io, twist.x, twist.y, twist.z, twist.w);
}

TEST(Rotation, AmountToDegreesUsesTheShortPi) {
  EXPECT_NEAR(amount2deg(1.0), 179.9999973, 1e-6);
  EXPECT_NEAR(amount2deg(0.5), 59.9999991, 1e-6);
  EXPECT_EQ(amount2deg(1.7), amount2deg(1.0));  // clamped beyond +-1
  EXPECT_EQ(amount2deg(-3.0), amount2deg(-1.0));
}

TEST(Rotation, PlayedRotationIsTheNormalisedOne) {
  // Unit within float rounding, as real motions hold them: kept bit for bit.
  const Quat unit = {0.1f, 0.2f, 0.3f, 0.92733f};  // |q|^2 = 1 - 6e-5
  const Quat kept = qplayed(unit);
  EXPECT_EQ(0, memcmp(&kept, &unit, sizeof unit));
  // Any other length: normalised (90 degrees about x at 0.005 and 3 times).
  for (const float s : {0.005f, 3.0f}) {
    const float h = std::sqrt(0.5f) * s;
    ExpectQuat(qplayed({h, 0, 0, h}), std::sqrt(0.5f), 0, 0, std::sqrt(0.5f), 1e-6f);
  }
  // The rest pose and a rotation that is no number stay as they are.
  const Quat zero = qplayed({0, 0, 0, 0});
  EXPECT_TRUE(zero.x == 0 && zero.y == 0 && zero.z == 0 && zero.w == 0);
  EXPECT_TRUE(std::isnan(qplayed({std::nanf(""), 0, 0, 1}).x));
}

}  // namespace
