// The pose stage on generated motions, checked against the test's own
// reading of the keys: the turns of the neck, head, elbows and hands kept,
// the ankles on their IK targets, the IK switches, targets out of reach,
// the figure turned round, a moving IK parent, D bones, knees, fingers,
// the arm angle, left and right, and the motions it refuses.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/vmdwriter.h"
#include "tests/vrma/vrma_check.h"
#include "vrma/pose.h"

namespace {

using namespace vrmacheck;

struct Gen {
  std::vector<VmdBoneKey> keys;
  std::vector<std::tuple<uint32_t, std::string, bool>> ik;  // frame, IK name (UTF-8), on
  std::vector<std::pair<std::string, uint32_t>> morphs;

  Gen& Key(const char* bone, int32_t frame, Qt q = {}, Vt p = {}, const std::vector<uint8_t>& ip = {}) {
    VmdBoneKey k{SjisName(bone), frame, {float(p.x), float(p.y), float(p.z)},
                 {float(q.x), float(q.y), float(q.z), float(q.w)}, ip};
    keys.push_back(k);
    return *this;
  }
  Gen& Ik(uint32_t frame, const char* name, bool on) {
    ik.emplace_back(frame, name, on);
    return *this;
  }
  std::string Bytes() const {
    VmdWriter w;
    w.Header().ModelName("m").Count(int32_t(keys.size()));
    for (const VmdBoneKey& k : keys) w.Bone(k);
    w.Count(int32_t(morphs.size()));
    for (auto& [name, frame] : morphs) w.Morph(SjisName(name.c_str()), int32_t(frame), 0.5f);
    w.Count(0).Count(0).Count(0).Count(int32_t(ik.size()));
    for (auto& [frame, name, on] : ik) w.Int(int32_t(frame)).Byte(1).Int(1).Field(SjisName(name.c_str()), 20).Byte(on);
    return std::string(w.bytes.begin(), w.bytes.end());
  }
};

std::vector<uint8_t> Curves(std::mt19937& rng) {
  std::uniform_int_distribution<int> b(0, 127);
  std::vector<uint8_t> ip(64, 0);
  for (int i = 0; i < 16; i++) ip[i] = uint8_t(b(rng));
  return ip;
}

Qt RandomTurn(std::mt19937& rng, double maxDeg) {
  std::normal_distribution<double> n(0, 1);
  std::uniform_real_distribution<double> a(-maxDeg, maxDeg);
  const double x = n(rng), y = n(rng), z = n(rng), l = std::sqrt(x * x + y * y + z * z);
  return AroundAxis(x / l, y / l, z / l, a(rng));
}

TEST(VrmaPose, TurnsOfNeckHeadElbowsAndHandsKept) {
  std::mt19937 rng(7);
  const char* bones[] = {"全ての親", "センター", "上半身", "上半身2", "上半身２", "上半身3", "首", "頭",
                         "左肩P", "左肩", "左腕", "左腕捩", "左ひじ", "左手捩", "左手首",
                         "右肩P", "右肩", "右腕", "右腕捩", "右ひじ", "右手捩", "右手首", "左人指１"};
  for (int round = 0; round < 8; round++) {
    Gen g;
    for (const char* b : bones)
      for (int k = 0; k < 6; k++)
        g.Key(b, int(rng() % 240), RandomTurn(rng, 179), {}, Curves(rng));
    const Played r(g.Bytes());
    ASSERT_EQ(r.status, kVrmaPoseDone);
    ExpectAnglesKept(r);
  }
}

TEST(VrmaPose, BonesPointWhereMmdPutsThem) {
  // Every bone turns, the twist bones about any axis; the IK is on. From
  // each humanoid joint to its children the output's pose points as MMD's
  // joints lie (the hips' children aside: the roots are where the two
  // differ).
  std::mt19937 rng(23);
  Gen g;
  const VrmaMmdBoneDef* bones = VrmaMmdBones();
  for (int b = 0; b < MB_COUNT; b++)
    for (int k = 0; k < 4; k++) g.Key(bones[b].name, int(rng() % 120), RandomTurn(rng, 90), {}, Curves(rng));
  const Played r(g.Bytes());
  ASSERT_EQ(r.status, kVrmaPoseDone);
  EXPECT_LT(WorstDirectionDeg(r), 0.01);
  for (int f = 0; f < r.anim.frames; f++) {  // and the bones keep their lengths
    const Humanoid h = r.At(f);
    for (int c = HB_spine + 1; c < HB_COUNT; c++) {
      const int up = kHumanBoneParent[c];
      if (up <= HB_hips) continue;
      const float* a = &r.joints[(size_t(f) * HB_COUNT + c) * 3];
      const float* b = &r.joints[(size_t(f) * HB_COUNT + up) * 3];
      ASSERT_NEAR(Norm(Sub(h.joint[c], h.joint[up])), Norm(Vt{a[0] - b[0], a[1] - b[1], a[2] - b[2]}), 1e-5);
    }
  }
}

TEST(VrmaPose, AnklesReachTheirTargets) {
  // The feet wander over the floor and into the air while the centre bobs.
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> u(-1, 1);
  Gen g;
  for (int f = 0; f <= 300; f += 10) {
    g.Key("センター", f, RandomTurn(rng, 20), {u(rng), -2 + 1.5 * u(rng), u(rng)});
    g.Key("左足ＩＫ", f, RandomTurn(rng, 40), {2 * u(rng), 1 + u(rng), 3 * u(rng)}, Curves(rng));
    g.Key("右足ＩＫ", f, RandomTurn(rng, 40), {2 * u(rng), 1 + u(rng), 3 * u(rng)});
    g.Key("下半身", f, RandomTurn(rng, 25));
    g.Key("左足", f, RandomTurn(rng, 60));  // where the CCD starts from
  }
  const Played r(g.Bytes());
  ASSERT_EQ(r.status, kVrmaPoseDone);
  EXPECT_EQ(r.anim.frames, 301);
  const auto [checked, worst] = ExpectAnklesOnTargets(r);
  EXPECT_GT(checked, 500);
  EXPECT_EQ(r.stats.ikFrames, 301);
  EXPECT_EQ(r.stats.ikSolves, 602);
  EXPECT_LE(r.stats.worstMiss, 0.01);
  EXPECT_GE(r.stats.worstMiss, worst - 1e-4);  // it reports what the output shows
}

TEST(VrmaPose, FigureTurnedRoundAndAMovingIkParent) {
  Gen g;
  g.Key("全ての親", 0, AroundAxis(0, 1, 0, 180), {3, 0, -4});
  g.Key("センター", 0, {}, {0, -1.5, 0});
  g.Key("左足IK親", 0).Key("左足IK親", 60, AroundAxis(0, 1, 0, 90), {2, 1, -3});
  g.Key("右足ＩＫ親", 0).Key("右足ＩＫ親", 60, {}, {-1, 0.5, 2});
  g.Key("左足ＩＫ", 0, {}, {0, 0, -1});
  const Played r(g.Bytes());
  ASSERT_EQ(r.status, kVrmaPoseDone);
  const auto [checked, worst] = ExpectAnklesOnTargets(r);
  EXPECT_GT(checked, 100);
  // Turned round: the hips face -Z and the figure's left is at -X.
  const Humanoid h = r.At(0);
  const Vt fwd = Apply(h.world[HB_hips], {0, 0, 1});
  EXPECT_LT(fwd.z, -0.99);
  EXPECT_LT(h.joint[HB_leftUpperLeg].x, h.joint[HB_rightUpperLeg].x);
  EXPECT_NEAR(h.joint[HB_hips].x, 3 * 0.08, 1e-4);
  EXPECT_NEAR(h.joint[HB_hips].z, 4 * 0.08, 1e-4);
}

TEST(VrmaPose, IkSwitchesHandTheLegToItsKeys) {
  const Qt thigh = AroundAxis(1, 0, 0, -50), knee = AroundAxis(1, 0, 0, -70);
  Gen g;
  g.Key("左足ＩＫ", 0, {}, {0, 2, -2});
  g.Key("左足", 0, thigh).Key("左ひざ", 0, knee);
  g.Ik(10, "左足ＩＫ", false).Ik(20, "左足ＩＫ", true).Ik(15, "右つま先ＩＫ", false);
  const Played r(g.Bytes());
  ASSERT_EQ(r.status, kVrmaPoseDone);
  EXPECT_EQ(r.anim.frames, 1);  // switches are no keys
  Gen longer = g;
  longer.Key("頭", 30);
  const Played s(longer.Bytes());
  ExpectAnklesOnTargets(s);
  for (int f : {0, 9, 10, 19, 20, 30}) {
    SCOPED_TRACE(f);
    const bool off = f >= 10 && f < 20;
    const Qt upper = Local(s.anim, f, HB_leftUpperLeg);
    const Vt target = Target(s, 0, f);
    const double miss = Norm(Sub(s.At(f).joint[HB_leftFoot], target));
    if (off) {
      EXPECT_LT(AngleBetweenDeg(upper, Gl(thigh)), 0.01);  // the keys drive it
      EXPECT_LT(AngleBetweenDeg(Local(s.anim, f, HB_leftLowerLeg), Gl(knee)), 0.01);
      EXPECT_GT(miss, 0.05);
    } else {
      EXPECT_LT(miss, 0.01);
    }
  }
  EXPECT_EQ(s.stats.ikFrames, 31);
  EXPECT_EQ(s.stats.ikSolves, 31 + 21);
}

TEST(VrmaPose, TargetOutOfReachTheLegPointsAtIt) {
  Gen g;
  g.Key("左足ＩＫ", 0, {}, {3, -4, -6}).Key("左足ＩＫ", 30, {}, {0, 30, 0});
  const Played r(g.Bytes());
  ASSERT_EQ(r.status, kVrmaPoseDone);
  EXPECT_GT(r.stats.ikUnreachable, 31);  // the right leg stands, just out of reach
  for (int f = 0; f <= 30; f += 5) {
    SCOPED_TRACE(f);
    const Humanoid h = r.At(f);
    const Vt target = Target(r, 0, f);
    const Vt toTarget = Sub(target, h.joint[HB_leftUpperLeg]);
    if (Norm(toTarget) < 0.81) continue;  // within reach at the middle
    const Vt leg = Sub(h.joint[HB_leftFoot], h.joint[HB_leftUpperLeg]);
    const double c = (leg.x * toTarget.x + leg.y * toTarget.y + leg.z * toTarget.z) / (Norm(leg) * Norm(toTarget));
    EXPECT_GT(c, std::cos(1.0 * 3.14159265 / 180));
    EXPECT_LT(AngleDeg(Local(r.anim, f, HB_leftLowerLeg)), 1.0);  // straight, never backwards
  }
}

TEST(VrmaPose, KneesNeverBendBackwards) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> u(-1, 1);
  Gen g;
  for (int f = 0; f <= 200; f += 4) {
    g.Key("左足ＩＫ", f, {}, {3 * u(rng), 4 * u(rng), 4 * u(rng)});
    g.Key("右足ＩＫ", f, {}, {3 * u(rng), 4 * u(rng), 4 * u(rng)});
    g.Key("右ひざ", f, AroundAxis(1, 0, 0, 60 * u(rng)));  // a start bent either way
  }
  const Played r(g.Bytes());
  ASSERT_EQ(r.status, kVrmaPoseDone);
  for (int f = 0; f < r.anim.frames; f++)
    for (int h : {HB_leftLowerLeg, HB_rightLowerLeg}) {
      Qt k = Local(r.anim, f, h);
      if (k.w < 0) k = {-k.x, -k.y, -k.z, -k.w};
      // About +X in glTF space, and forward: the shin goes back.
      ASSERT_GE(k.x, 0) << f;
      ASSERT_NEAR(k.y, 0, 1e-5) << f;
      ASSERT_NEAR(k.z, 0, 1e-5) << f;
      ASSERT_GE(AngleDeg(k), 0.49) << f;
    }
  ExpectAnklesOnTargets(r);
}

TEST(VrmaPose, ToeIkTurnsTheFootTowardItsTarget) {
  Gen g;
  g.Key("左つま先ＩＫ", 0, {}, {0, 1.5, 0}).Key("右つま先ＩＫ", 0, {}, {0, 1.5, 0});
  g.Ik(0, "右つま先ＩＫ", false);
  const Played r(g.Bytes());
  ASSERT_EQ(r.status, kVrmaPoseDone);
  const Humanoid h = r.At(0);
  // The toe tip's rest offset from the ankle, (0, -1, -2) units in MMD space,
  // turned with the foot, points at the target (1, 1.5, -2).
  const Vt tip = Apply(h.world[HB_leftFoot], Gl(Vt{0, -1, -2}));
  const Vt want = Sub(Gl(Vt{1, 1.5, -2}), h.joint[HB_leftFoot]);
  const double c = (tip.x * want.x + tip.y * want.y + tip.z * want.z) / (Norm(tip) * Norm(want));
  EXPECT_GT(c, std::cos(0.5 * 3.14159265 / 180));
  EXPECT_GT(AngleDeg(Local(r.anim, 0, HB_leftFoot)), 20);
  EXPECT_LT(AngleDeg(Local(r.anim, 0, HB_rightFoot)), 1);  // switched off: the foot holds
}

TEST(VrmaPose, DBonesAddTheirTurnsAfterTheLeg) {
  const Qt legKey = AroundAxis(0, 0, 1, 20), legD = AroundAxis(1, 0, 0, -30), kneeD = AroundAxis(1, 0, 0, -15);
  Gen g;
  g.Key("左足", 0, legKey).Key("左足D", 0, legD).Key("左ひざD", 0, kneeD).Key("右足D", 0, legD);
  g.Ik(0, "左足ＩＫ", false);
  const Played r(g.Bytes());
  ASSERT_EQ(r.status, kVrmaPoseDone);
  EXPECT_LT(AngleBetweenDeg(Local(r.anim, 0, HB_leftUpperLeg), Gl(Mul(legKey, legD))), 0.01);
  EXPECT_LT(AngleBetweenDeg(Local(r.anim, 0, HB_leftLowerLeg), Gl(kneeD)), 0.01);
  // With the IK on, the D turn comes on top of the solved leg: the ankle
  // leaves the target by about what the turn makes of the leg.
  const Vt target = Target(r, 1, 0);
  const double miss = Norm(Sub(r.At(0).joint[HB_rightFoot], target));
  EXPECT_NEAR(miss, 2 * 0.8 * std::sin(15 * 3.14159265 / 180), 0.02);
}

TEST(VrmaPose, FingersTurnAsTheirKeys) {
  const Qt curl = AroundAxis(0, 0, 1, 40), spread = AroundAxis(0, 1, 0, -10);
  Gen g;
  g.Key("左人指１", 0, curl).Key("左人指２", 0, spread).Key("右小指３", 0, curl).Key("左親指０", 0, spread);
  const Played r(g.Bytes());
  ASSERT_EQ(r.status, kVrmaPoseDone);
  EXPECT_NEAR(AngleDeg(Local(r.anim, 0, HB_leftIndexProximal)), 40, 0.01);
  EXPECT_NEAR(AngleDeg(Local(r.anim, 0, HB_leftIndexIntermediate)), 10, 0.01);
  EXPECT_NEAR(AngleDeg(Local(r.anim, 0, HB_rightLittleDistal)), 40, 0.01);
  EXPECT_NEAR(AngleDeg(Local(r.anim, 0, HB_leftThumbMetacarpal)), 10, 0.01);
  EXPECT_TRUE(r.anim.boneWritten[HB_leftIndexProximal]);
  EXPECT_FALSE(r.anim.boneWritten[HB_leftMiddleProximal]);  // stays in the T-pose's place
  // The index finger points where the curl turns it from the A-pose: turned
  // 40 degrees up about MMD's +Z.
  const Humanoid h = r.At(0);
  const Vt finger = Sub(h.joint[HB_leftIndexIntermediate], h.joint[HB_leftIndexProximal]);
  EXPECT_NEAR(std::atan2(finger.y, finger.x) * 180 / 3.14159265358979, 40 - kVrmaArmAngleDeg, 0.01);
  EXPECT_NEAR(finger.z, 0, 1e-6);
}

TEST(VrmaPose, ArmsRestAtTheArmAngle) {
  Gen g;
  g.Key("頭", 0);
  for (double angle : {kVrmaArmAngleDeg, 45.0, 0.0, -20.0}) {
    SCOPED_TRACE(angle);
    const Played r(g.Bytes(), angle);
    ASSERT_EQ(r.status, kVrmaPoseDone);
    const Humanoid h = r.At(0);
    for (int side = 0; side < 2; side++) {
      const int up = side ? HB_rightUpperArm : HB_leftUpperArm;
      const Vt arm = Sub(h.joint[up + 2], h.joint[up]);  // to the hand
      EXPECT_NEAR(std::atan2(-arm.y, std::fabs(arm.x)) * 180 / 3.14159265358979, angle, 0.01);
      EXPECT_EQ(arm.x > 0, side == 0);  // left at +X
      EXPECT_NEAR(arm.z, 0, 1e-6);
    }
    // The T-pose itself does not change; a straight arm's elbow and hand keep no turn.
    EXPECT_NEAR(AngleDeg(Local(r.anim, 0, HB_leftLowerArm)), 0, 1e-4);
    EXPECT_NEAR(AngleDeg(Local(r.anim, 0, HB_leftUpperArm)), std::fabs(angle), 1e-3);
  }
}

TEST(VrmaPose, LeftStaysLeft) {
  // The left arm raised forward and the left foot stepping forward: in glTF
  // space forward is +Z and the figure's left +X.
  Gen g;
  g.Key("左腕", 0, AroundAxis(0, 1, 0, 90));  // A-pose arm swung about MMD's +Y: to the front
  g.Key("左足ＩＫ", 0, {}, {0, 2, -3});
  const Played r(g.Bytes());
  ASSERT_EQ(r.status, kVrmaPoseDone);
  const Humanoid h = r.At(0);
  EXPECT_GT(h.joint[HB_leftHand].z, h.joint[HB_leftUpperArm].z + 0.2);
  EXPECT_GT(h.joint[HB_leftHand].x, 0);
  EXPECT_NEAR(h.joint[HB_rightHand].z, h.joint[HB_rightUpperArm].z, 1e-4);
  EXPECT_LT(h.joint[HB_rightHand].x, 0);
  EXPECT_GT(h.joint[HB_leftFoot].z, 0.2);
  EXPECT_GT(h.joint[HB_leftFoot].x, 0);
  EXPECT_NEAR(h.joint[HB_rightFoot].z, 0, 1e-3);
  EXPECT_GT(h.joint[HB_leftLowerLeg].z, h.joint[HB_leftUpperLeg].z);  // the knee ahead of the hip
  ExpectAnklesOnTargets(r);
}

TEST(VrmaPose, HipsFollowTheCentreAndLowerBody) {
  Gen g;
  g.Key("センター", 0, {}, {1, -2, 3}).Key("下半身", 0, AroundAxis(1, 0, 0, 30));
  const Played r(g.Bytes());
  ASSERT_EQ(r.status, kVrmaPoseDone);
  const Humanoid h = r.At(0);
  EXPECT_NEAR(h.joint[HB_hips].x, 0.08, 1e-5);
  EXPECT_NEAR(h.joint[HB_hips].y, r.skel.restLocal[HB_hips][1] - 0.16, 1e-5);
  EXPECT_NEAR(h.joint[HB_hips].z, -0.24, 1e-5);
  EXPECT_NEAR(AngleDeg(h.world[HB_hips]), 30, 1e-3);
  EXPECT_NEAR(AngleDeg(Local(r.anim, 0, HB_spine)), 30, 1e-3);  // 上半身 holds
  EXPECT_GT(r.stats.spineRootOffset, 0);
  EXPECT_LT(r.stats.spineRootOffset, 0.05);
  EXPECT_LT(r.stats.legRootOffset, 1e-5);
}

TEST(VrmaPose, FramesRunToTheLastBoneOrMorphKey) {
  Gen g;
  g.Key("頭", 5);
  g.morphs.push_back({"あ", 90});
  const Played r(g.Bytes());
  ASSERT_EQ(r.status, kVrmaPoseDone);
  EXPECT_EQ(r.anim.frames, 91);
  EXPECT_EQ(r.anim.rotation.size(), size_t(91) * HB_COUNT * 4);
  EXPECT_EQ(r.anim.hips.size(), size_t(91) * 3);
  for (float v : r.anim.rotation) ASSERT_TRUE(std::isfinite(v));
}

TEST(VrmaPose, BonesWithoutCounterpartNamedOnce) {
  Gen g;
  g.Key("髪1", 0).Key("頭", 0).Key("髪1", 10).Key("スカート", 3).Key("左腕", 0);
  const Played r(g.Bytes());
  ASSERT_EQ(r.status, kVrmaPoseDone);
  ASSERT_EQ(r.stats.unmappedCount, 2);
  EXPECT_STREQ(r.stats.unmapped[0], "髪1");
  EXPECT_STREQ(r.stats.unmapped[1], "スカート");
  EXPECT_FALSE(r.stats.unmappedMore);
  Gen many;
  for (int i = 0; i < 100; i++) many.Key(("bone" + std::to_string(i)).c_str(), 0);
  const Played m(many.Bytes());
  EXPECT_EQ(m.stats.unmappedCount, VRMA_UNMAPPED_MAX);
  EXPECT_TRUE(m.stats.unmappedMore);
}

// The pose of a motion with the folds on or off.
VrmaAnimation PlayedWith(const std::string& bytes, bool fold) {
  VrmaPoseOptions o;
  o.data = reinterpret_cast<const uint8_t*>(bytes.data());
  o.size = bytes.size();
  o.fold = fold;
  VrmaAnimation a;
  VrmaPoseStats st;
  EXPECT_EQ(VrmaPose(o, &a, &st), kVrmaPoseDone);
  return a;
}

TEST(VrmaPose, WithoutFoldsTheBonesAViewerDropsAreLeftOut) {
  std::mt19937 rng(11);
  // What a viewer plays: the humanoid's bones, the centre chain, the IKs.
  const char* played[] = {"全ての親", "センター", "グルーブ", "腰", "上半身", "上半身2", "首", "頭", "下半身",
                          "左肩", "左腕", "左ひじ", "左手首", "右腕", "右ひじ", "左人指１", "左足", "右ひざ",
                          "左足ＩＫ", "右足ＩＫ", "左つま先ＩＫ"};
  // What it drops.
  const char* dropped[] = {"左腕捩", "右手捩", "左肩P", "右肩C", "上半身２", "上半身3", "上半身３", "左足D",
                           "右ひざD", "左足首D", "右足先EX", "左足IK親", "右足ＩＫ親", "腰キャンセル左"};
  Gen viewer, full;
  for (const char* b : played)
    for (int k = 0; k < 4; k++) {
      const Vt move = {double(rng() % 5) - 2, double(rng() % 5) - 2, double(rng() % 5) - 2};
      viewer.Key(b, int(rng() % 120), RandomTurn(rng, 60), move, Curves(rng));
    }
  viewer.Key("首", 119).Ik(40, "左足ＩＫ", false).Ik(80, "左足ＩＫ", true);  // to frame 119, as the others
  full = viewer;
  for (const char* b : dropped)
    for (int k = 0; k < 4; k++) full.Key(b, int(rng() % 120), RandomTurn(rng, 60), {1, 0, 1}, Curves(rng));
  const VrmaAnimation off = PlayedWith(full.Bytes(), false), on = PlayedWith(full.Bytes(), true);
  const VrmaAnimation alone = PlayedWith(viewer.Bytes(), true);
  // Without the folds, as if the motion had not keyed those bones.
  EXPECT_EQ(off.rotation, alone.rotation);
  EXPECT_EQ(off.hips, alone.hips);
  EXPECT_NE(on.rotation, alone.rotation);
  // On a motion without such bones, folds or none are the same.
  const VrmaAnimation viewerOff = PlayedWith(viewer.Bytes(), false);
  EXPECT_EQ(viewerOff.rotation, alone.rotation);
  EXPECT_EQ(viewerOff.hips, alone.hips);
}

TEST(VrmaPose, WithoutFoldsTheArmTurnsWithoutItsTwist) {
  const Qt arm = AroundAxis(0, 0, 1, -20);
  Gen g;
  g.Key("左腕", 0, arm).Key("左腕捩", 0).Key("左腕捩", 30, AroundAxis(1, 0, 0, 90));
  const std::string bytes = g.Bytes();
  const VrmaAnimation off = PlayedWith(bytes, false), on = PlayedWith(bytes, true);
  const VrmaAnimation still = PlayedWith(Gen().Key("左腕", 0, arm).Key("左腕", 30, arm).Bytes(), true);
  const TMotion m = ReadMotion(bytes);
  for (int f = 0; f <= 30; f += 5) {
    const double twist = AngleDeg(Key(m, "左腕捩", uint32_t(f)));
    // The upper arm's turn less (off) or with (on) the twist's.
    EXPECT_NEAR(AngleBetweenDeg(Local(off, f, HB_leftUpperArm), Local(on, f, HB_leftUpperArm)), twist, 1e-3);
    EXPECT_LT(AngleBetweenDeg(Local(off, f, HB_leftUpperArm), Local(still, f, HB_leftUpperArm)), 1e-4);
    if (f) {
      EXPECT_GT(twist, 1);
    }
    // The forearm turns from the upper arm alike either way.
    EXPECT_LT(AngleBetweenDeg(Local(off, f, HB_leftLowerArm), Local(on, f, HB_leftLowerArm)), 1e-3);
  }
}

TEST(VrmaPose, RefusesWhatItCannotPlay) {
  Gen g;
  g.Key("頭", 0).Key("首", 1080001);
  const Played far(g.Bytes());
  EXPECT_EQ(far.status, kVrmaPoseTooLong);
  EXPECT_EQ(far.stats.lastFrame, 1080001);
  Gen morph;
  morph.Key("頭", 0);
  morph.morphs.push_back({"あ", 2000000});
  EXPECT_EQ(Played(morph.Bytes()).status, kVrmaPoseTooLong);
  Gen neg;
  neg.Key("頭", -1);  // frame 4294967295
  EXPECT_EQ(Played(neg.Bytes()).status, kVrmaPoseTooLong);

  Gen two;
  two.Key("頭", 0).Key("首", 3);
  two.morphs.push_back({"あ", 1});
  const std::string whole = two.Bytes();
  const Played cutBones(whole.substr(0, 54 + 111 + 50));
  EXPECT_EQ(cutBones.status, kVrmaPoseCut);
  EXPECT_EQ(cutBones.stats.cutSection, 1);
  EXPECT_EQ(cutBones.stats.cutDeclared, 2);
  EXPECT_EQ(cutBones.stats.cutPresent, 1);
  const Played cutMorphs(whole.substr(0, 54 + 222 + 4 + 10));
  EXPECT_EQ(cutMorphs.status, kVrmaPoseCut);
  EXPECT_EQ(cutMorphs.stats.cutSection, 2);
  EXPECT_EQ(Played(whole.substr(0, 54 + 222)).status, kVrmaPoseDone);  // an old file without morphs
  EXPECT_EQ(Played(whole.substr(0, 54 + 222 + 4 + 23 + 2)).status, kVrmaPoseDone);  // cut later: played
  // A negative count places nothing after it: the file is cut there, as the
  // reader has it.
  for (const size_t at : {size_t(50), size_t(54 + 222)}) {
    std::string neg = whole;
    neg[at + 3] = char(0x80);
    const Played r(neg);
    EXPECT_EQ(r.status, kVrmaPoseCut);
    EXPECT_EQ(r.stats.cutSection, at == 50 ? 1 : 2);
    EXPECT_LT(r.stats.cutDeclared, 0);
    EXPECT_EQ(r.stats.cutPresent, 0);
  }

  EXPECT_EQ(Played("Vocaloid Motion Data file").status, kVrmaPoseNotMotion);
  Gen none;
  EXPECT_EQ(Played(none.Bytes()).status, kVrmaPoseNoBones);
  EXPECT_EQ(Played(two.Bytes(), std::nan("")).status, kVrmaPoseBadArmAngle);
  EXPECT_EQ(Played(two.Bytes(), 91).status, kVrmaPoseBadArmAngle);
}

TEST(VrmaPose, CutAnywhereOrFollowedByGarbage) {
  Gen g;
  g.Key("頭", 0).Key("左足ＩＫ", 3, {}, {0, 1, 0}).Key("髪", 2);
  g.morphs.push_back({"あ", 4});
  g.Ik(1, "左足ＩＫ", false).Ik(2, "右つま先ＩＫ", false);
  const std::string whole = g.Bytes();
  const size_t morphEnd = 54 + 3 * 111 + 4 + 23;
  for (size_t n = 0; n <= whole.size(); n++) {
    SCOPED_TRACE(n);
    const Played r(whole.substr(0, n));
    if (n < 54 + 3 * 111 || (n > 54 + 3 * 111 && n < morphEnd)) {
      EXPECT_NE(r.status, kVrmaPoseDone);
      continue;
    }
    ASSERT_EQ(r.status, kVrmaPoseDone);
    const int frames = n >= morphEnd ? 5 : 4;  // the morph key at 4
    EXPECT_EQ(r.anim.frames, frames);
    // The counts of camera, light, self-shadow and switch records, then the
    // first switch (the left leg's IK off from frame 1) read once it is whole.
    EXPECT_EQ(r.stats.ikSolves, n >= morphEnd + 16 + 30 ? 1 + frames : 2 * frames);
  }
  std::mt19937 rng(5);
  for (int i = 0; i < 300; i++) {
    std::string b = whole.substr(0, morphEnd);
    const size_t extra = rng() % 200;
    for (size_t k = 0; k < extra; k++) b.push_back(char(rng() % 4 == 0 ? 0xFF : rng()));
    const Played r(b);
    ASSERT_EQ(r.status, kVrmaPoseDone);
    for (float v : r.anim.rotation) ASSERT_TRUE(std::isfinite(v));
  }
}

TEST(VrmaPose, RotationsThatAreNoneAreTheIdentity) {
  Gen g;
  g.Key("頭", 0, Qt{0, 0, 0, 0}).Key("首", 0, Qt{NAN, 0, 0, 1}, Vt{INFINITY, 0, 0}).Key("左ひじ", 4, AroundAxis(0, 1, 0, 30));
  const Played r(g.Bytes());
  ASSERT_EQ(r.status, kVrmaPoseDone);
  for (float v : r.anim.rotation) ASSERT_TRUE(std::isfinite(v));
  for (float v : r.anim.hips) ASSERT_TRUE(std::isfinite(v));
  EXPECT_NEAR(AngleDeg(Local(r.anim, 0, HB_head)), 0, 1e-6);
}

TEST(VrmaSkeleton, TPoseStandsOnTheFloorFacingForward) {
  VrmaSkeleton s;
  VrmaStandardSkeleton(&s);
  Vt joint[HB_COUNT];
  for (int h = 0; h < HB_COUNT; h++) {
    const Vt o = {s.restLocal[h][0], s.restLocal[h][1], s.restLocal[h][2]};
    joint[h] = kHumanBoneParent[h] < 0 ? o : Add(joint[kHumanBoneParent[h]], o);
  }
  EXPECT_GT(joint[HB_head].y, 1.3);
  EXPECT_GT(joint[HB_leftFoot].y, 0);
  EXPECT_NEAR(joint[HB_leftToes].y, 0.016, 1e-6);
  EXPECT_GT(joint[HB_leftToes].z, joint[HB_leftFoot].z);  // toes ahead: facing +Z
  for (int side = 0; side < 2; side++) {
    const double sx = side ? -1 : 1;
    const int arm = side ? HB_rightUpperArm : HB_leftUpperArm;
    for (int h : {arm + 1, arm + 2}) {  // straight out along the arm
      EXPECT_NEAR(joint[h].y, joint[arm].y, 1e-6);
      EXPECT_NEAR(joint[h].z, joint[arm].z, 1e-6);
      EXPECT_GT(sx * (joint[h].x - joint[h - 1].x), 0.1);
    }
    const int thumb = side ? HB_rightThumbMetacarpal : HB_leftThumbMetacarpal;
    const Vt t = Sub(joint[thumb + 2], joint[thumb + 1]);  // level, halfway to the front
    EXPECT_NEAR(t.y, 0, 1e-6);
    EXPECT_NEAR(sx * t.x, t.z, 1e-6);
    EXPECT_GT(t.z, 0);
    const int index = side ? HB_rightIndexProximal : HB_leftIndexProximal;
    EXPECT_NEAR(joint[index + 2].y, joint[index].y, 1e-6);
    EXPECT_NEAR(joint[index + 2].z, joint[index].z, 1e-6);
  }
  for (int h = 0; h < HB_COUNT; h++)  // mirror images
    if (kHumanBoneName[h][0] == 'l') {
      const int r = h + (h < HB_leftThumbMetacarpal ? 4 : 15);
      ASSERT_EQ(std::string(kHumanBoneName[r]).substr(5), std::string(kHumanBoneName[h]).substr(4));
      EXPECT_FLOAT_EQ(s.restLocal[r][0], -s.restLocal[h][0]);
      EXPECT_FLOAT_EQ(s.restLocal[r][1], s.restLocal[h][1]);
      EXPECT_FLOAT_EQ(s.restLocal[r][2], s.restLocal[h][2]);
    }
}

}  // namespace
