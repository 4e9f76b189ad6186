// The VRM-ready copy on generated motions: random chains, curves kept whole,
// nothing to fold, cut motions, rotations that are none.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "fix/fix.h"
#include "tests/fix/chain_check.h"
#include "tests/support/vmdwriter.h"

namespace {

using namespace fixcheck;

TEST(Fix, RandomChainsPlayAsBefore) {
  std::mt19937 rng(19);
  for (int i = 0; i < 300; i++) {
    SCOPED_TRACE(i);
    const std::string motion = RandomMotion(rng);
    FixResult r;
    const std::string copy = Fix(motion, &r);
    ASSERT_EQ(r.status, kFixDone);
    ExpectGoodCopy(motion, copy);
    if (HasFailure()) break;
  }
}

TEST(Fix, WholeIntervalOfOneBoneKeepsItsCurveBytes) {
  // 腕捩 turns between 0 and 30 while 腕 holds: 腕's keys follow 腕捩's curve.
  VmdBoneKey tw{SjisName("左腕捩"), 30, {0, 0, 0}, {0.5f, 0, 0, 0.866f}, Curve(90, 10, 30, 120)};
  tw.interp[2] = 0x63;  // a byte no consistency check looks at
  const std::string motion = [&] {
    VmdWriter w;
    w.Header().ModelName("m").Count(3).Bone(SjisName("左腕"), 0, 0, 0, 0, 0, 0, 0.2f, 0.98f)
        .Bone(SjisName("左腕捩"), 0).Bone(tw);
    return std::string(w.bytes.begin(), w.bytes.end());
  }();
  FixResult r;
  const std::string copy = Fix(motion, &r);
  ASSERT_EQ(r.status, kFixDone);
  EXPECT_EQ(r.addedKeys, 0);
  ASSERT_EQ(Parse(copy).tracks[SjisName("左腕")].size(), 2u);
  EXPECT_EQ(copy.substr(54 + 111 + 47, 64), std::string(tw.interp.begin(), tw.interp.end()));
  ExpectGoodCopy(motion, copy);
}

TEST(Fix, NothingToFoldGivesNoCopy) {
  VmdWriter w;  // a twist bone that moves but holds the rest pose, and a turning 上半身２ beside a turning 上半身2
  w.Header().ModelName("m").Count(4).Bone(SjisName("左腕捩"), 0, 0, 0.5f, 0, 0, 0, 0, 1)
      .Bone(SjisName("右肩P"), 3, 0, 0, 0, 0, 0, 0, -1)
      .Bone(SjisName("上半身２"), 0, 0, 0, 0, 0.2f, 0, 0, 0.98f).Bone(SjisName("上半身2"), 5, 0, 0, 0, 0.2f, 0, 0, 0.98f);
  FixResult r;
  EXPECT_TRUE(Fix(std::string(w.bytes.begin(), w.bytes.end()), &r).empty());
  EXPECT_EQ(r.status, kFixNothing);
}

TEST(Fix, EveryTurnOfATwistOrShoulderPIsFolded) {
  // Far below the report's threshold (0.08 and 0.17 degrees): a VRM model
  // has no such bones, so the turn would be lost.
  const float s08 = float(std::sin(0.04 * M_PI / 180)), s17 = float(std::sin(0.085 * M_PI / 180));
  VmdWriter w;
  w.Header().ModelName("m").Count(5).Bone(SjisName("左腕"), 0, 0, 0, 0, 0, 0, 0.2f, 0.98f)
      .Bone(SjisName("左肩P"), 0).Bone(SjisName("左肩P"), 20, 0, 0, 0, 0, 0, s08, std::sqrt(1 - s08 * s08))
      .Bone(SjisName("右手捩"), 0, 0, 0, 0, s17, 0, 0, std::sqrt(1 - s17 * s17)).Bone(SjisName("右手首"), 10);
  const std::string motion(w.bytes.begin(), w.bytes.end());
  FixResult r;
  const std::string copy = Fix(motion, &r);
  ASSERT_EQ(r.status, kFixDone);
  EXPECT_EQ(r.folded, 1u << kFoldLShoulderP | 1u << kFoldRHandTwist);
  ExpectGoodCopy(motion, copy);
}

TEST(Fix, RotationsAreReadNormalisedAsPlayersDo) {
  // A 90 degree twist stored at 0.005 and 0.5 times its length, and a
  // zero quaternion (the rest pose) in the arm: all folded, and the copy
  // plays as the players read the motion.
  for (const float scale : {0.005f, 0.5f}) {
    SCOPED_TRACE(scale);
    const float h = float(std::sqrt(0.5)) * scale;
    VmdWriter w;
    w.Header().ModelName("m").Count(4).Bone(SjisName("左腕"), 0, 0, 0, 0, 0, 0, 0.3f, 0.95f)
        .Bone(SjisName("左腕"), 10, 0, 0, 0, 0, 0, 0, 0).Bone(SjisName("左腕捩"), 0)
        .Bone(SjisName("左腕捩"), 10, 0, 0, 0, h, 0, 0, h);
    const std::string motion(w.bytes.begin(), w.bytes.end());
    FixResult r;
    const std::string copy = Fix(motion, &r);
    ASSERT_EQ(r.status, kFixDone);
    ExpectGoodCopy(motion, copy);
  }
}

TEST(Fix, CutMotions) {
  VmdWriter w;
  w.Header().ModelName("m").Count(2).Bone(SjisName("左腕"), 0).Bone(SjisName("左腕捩"), 9, 0, 0, 0, 0.3f, 0, 0, 0.95f);
  w.Count(1).Morph(SjisName("あ"), 0, 1).Count(0).Count(2).Light(0);
  const std::string whole(w.bytes.begin(), w.bytes.end());
  FixResult r;
  // Inside the bone keys and inside the morph keys: not fixed.
  Fix(whole.substr(0, 54 + 111 + 50), &r);
  EXPECT_EQ(r.status, kFixCut);
  EXPECT_EQ(r.cutSection, 1);
  Fix(whole.substr(0, 54 + 222 + 4 + 10), &r);
  EXPECT_EQ(r.status, kFixCut);
  EXPECT_EQ(r.cutSection, 2);
  // Inside the light keys: fixed, the copy ends where the motion ends.
  const std::string cut = whole.substr(0, whole.size() - 5);
  const std::string copy = Fix(cut, &r);
  ASSERT_EQ(r.status, kFixDone);
  ExpectGoodCopy(cut, copy);
}

TEST(Fix, RotationsThatAreNoNumberAreNotFolded) {
  VmdWriter w;
  w.Header().ModelName("m").Count(2).Bone(SjisName("左腕捩"), 0, 0, 0, 0, 0.3f, 0, 0, 0.95f)
      .Bone(SjisName("左腕"), 4, 0, 0, 0, 0, 0, std::nanf(""), 1);
  FixResult r;
  Fix(std::string(w.bytes.begin(), w.bytes.end()), &r);
  EXPECT_EQ(r.status, kFixRefused);
  EXPECT_EQ(r.refusal[kFoldLArmTwist], kRefuseBadRotation);
  EXPECT_STREQ(r.reason[kFoldLArmTwist], "a key of 左腕 holds a rotation or position that is not a number");
}

// Curve bytes above 127 (the curve's x may turn back: players differ) in a
// key the fold would evaluate between its frames: refused, naming the key;
// kept whole, the key is copied as it is.
TEST(Fix, CurveBytesAbove127AreNeverSplit) {
  const VmdBoneKey odd{SjisName("左腕捩"), 30, {0, 0, 0}, {0.5f, 0, 0, 0.866f}, Curve(255, 10, 0, 120)};
  auto motion = [&](bool armTurns, bool armKeyBetween) {
    VmdWriter w;
    w.Header().ModelName("m").Count(armKeyBetween ? 5 : 4).Bone(SjisName("左腕"), 0, 0, 0, 0, 0, 0, 0.2f, 0.98f)
        .Bone(SjisName("左腕"), 30, 0, 0, 0, armTurns ? 0.5f : 0, 0, 0.2f, armTurns ? 0.84f : 0.98f)
        .Bone(SjisName("左腕捩"), 0).Bone(odd);
    if (armKeyBetween) w.Bone(SjisName("左腕"), 12, 0, 0, 0, 0, 0, 0.2f, 0.98f);
    return std::string(w.bytes.begin(), w.bytes.end());
  };
  for (const bool armTurns : {true, false}) {
    SCOPED_TRACE(armTurns);
    FixResult r;
    const std::string m = motion(armTurns, !armTurns);
    const std::string copy = Fix(m, &r);
    if (r.status == kFixDone) ExpectGoodCopy(m, copy);  // what a copy must be, whatever the fold decides
    ASSERT_EQ(r.status, kFixRefused);
    EXPECT_EQ(r.refusal[kFoldLArmTwist], kRefuseCurveBytes);
    EXPECT_STREQ(r.reason[kFoldLArmTwist],
                 "the key of 左腕捩 at frame 30 has curve bytes above 127 and the fold would split it "
                 "(players differ on such curves)");
  }
  // Only the twist turns, over the whole of its key interval: its curve is kept.
  FixResult r;
  const std::string m = motion(false, false);
  const std::string copy = Fix(m, &r);
  ASSERT_EQ(r.status, kFixDone);
  ExpectGoodCopy(m, copy);
  EXPECT_EQ(copy.substr(54 + 111 + 47, 64), std::string(odd.interp.begin(), odd.interp.end()));
}

// The chains built before a refused one (the chest, the other arm, the bones
// before it on its own arm) are kept for the copy as they were built (the
// fold builds a bone once for the same folds shaping it): the copy still
// plays as the motion.
TEST(Fix, ChainsBuiltBeforeARefusedOneStayExact) {
  std::mt19937 rng(7);
  struct Odd {
    const char* target;
    const char* twist;
    int fold;
  };
  for (const Odd odd : {Odd{"右腕", "右腕捩", kFoldRArmTwist}, Odd{"左手首", "左手捩", kFoldLHandTwist}}) {
    for (int i = 0; i < 10; i++) {
      SCOPED_TRACE(odd.twist + std::to_string(i));
      std::vector<VmdBoneKey> keys;
      for (const char* bone : {"左肩P", "左肩", "左腕", "左腕捩", "左手捩", "左手首", "上半身２"})
        for (int k = 0; k < 4 && bone != std::string(odd.target) && bone != std::string(odd.twist); k++)
          keys.push_back(RandomKey(rng, bone, 40, 120));
      keys.push_back({SjisName(odd.target), 0, {0, 0, 0}, {0, 0.2f, 0, 0.98f}, {}});
      keys.push_back({SjisName(odd.target), 30, {0, 0, 0}, {0, 0.5f, 0, 0.87f}, {}});
      keys.push_back({SjisName(odd.twist), 0, {0, 0, 0}, {0, 0, 0, 1}, {}});
      keys.push_back({SjisName(odd.twist), 30, {0, 0, 0}, {0.5f, 0, 0, 0.87f}, Curve(255, 10, 0, 120)});
      std::shuffle(keys.begin(), keys.end(), rng);
      VmdWriter w;
      w.Header().ModelName("m").Count(int32_t(keys.size()));
      for (const VmdBoneKey& k : keys) w.Bone(k);
      const std::string motion(w.bytes.begin(), w.bytes.end());
      FixResult r;
      const std::string copy = Fix(motion, &r);
      ASSERT_EQ(r.status, kFixDone);
      EXPECT_EQ(r.refusal[odd.fold], kRefuseCurveBytes);
      EXPECT_EQ(r.folded, r.wanted & ~(1u << odd.fold));
      EXPECT_LE(LargestDifference(Parse(motion), Parse(copy)), kFixToleranceDeg);
    }
  }
}

TEST(Fix, KeysFarApartAreTheReasonOnlyWhereTheFoldMustFitATurn) {
  auto fix = [](int armFrame, bool armTurns, FixResult* r) {
    VmdWriter w;
    w.Header().ModelName("m").Count(4).Bone(SjisName("左腕捩"), 0)
        .Bone(SjisName("左腕捩"), 200000, 0, 0, 0, 0.5f, 0, 0, 0.866f)
        .Bone(SjisName("左腕"), 0, 0, 0, 0, 0, 0, 0.2f, 0.98f)
        .Bone(SjisName("左腕"), armFrame, 0, 0, 0, 0, armTurns ? 0.3f : 0, 0.2f, armTurns ? 0.93f : 0.98f);
    Fix(std::string(w.bytes.begin(), w.bytes.end()), r);
  };
  FixResult r;
  fix(200000, false, &r);  // the twist alone turns from key to key: folded, however far apart
  EXPECT_EQ(r.status, kFixDone);
  fix(100000, false, &r);  // the arm's key splits the twist's turn into pieces of 100000 frames
  ASSERT_EQ(r.status, kFixRefused);
  EXPECT_EQ(r.refusal[kFoldLArmTwist], kRefuseFarApart);
  EXPECT_STREQ(r.reason[kFoldLArmTwist],
               "keys more than 65536 frames apart: 左腕捩 turns between frames 0 and 100000, where the chain has no key");
  fix(200000, true, &r);  // both turn at once
  ASSERT_EQ(r.status, kFixRefused);
  EXPECT_STREQ(r.reason[kFoldLArmTwist],
               "keys more than 65536 frames apart: 左腕 and 左腕捩 turn between frames 0 and 200000, where the chain has no key");
}

// A chain whose curves ask for more work than its keys may is refused
// alone: the other side's chain is still folded.
TEST(Fix, OneHardChainLeavesTheOthersFolded) {
  VmdWriter w;
  constexpr int kPairs = 2000;
  w.Header().ModelName("m").Count(2 * kPairs + 4);
  for (int i = 0; i < kPairs; i++) {
    // Both bones of the left arm turn far, on steep curves, 1024 frames apart.
    const double a = (i % 2 ? 1.2 : -1.2) + 0.01 * (i % 7), b = (i % 2 ? -1.3 : 1.3) - 0.01 * (i % 5);
    VmdBoneKey k{SjisName("左腕"), i * 1024, {0, 0, 0},
                 {0, float(std::sin(a / 2)) * 0.6f, float(std::sin(a / 2)) * 0.8f, float(std::cos(a / 2))},
                 Curve(uint8_t(100 + i % 27), uint8_t(5 + i % 11), uint8_t(10 + i % 13), uint8_t(120 - i % 9))};
    w.Bone(k);
    k.name = SjisName("左腕捩");
    k.rot[0] = float(std::sin(b / 2)), k.rot[1] = k.rot[2] = 0, k.rot[3] = float(std::cos(b / 2));
    k.interp = Curve(uint8_t(3 + i % 17), uint8_t(110 + i % 17), uint8_t(90 + i % 31), uint8_t(2 + i % 23));
    w.Bone(k);
  }
  w.Bone(SjisName("右腕"), 0).Bone(SjisName("右腕"), 20, 0, 0, 0, 0, 0.3f, 0, 0.95f)
      .Bone(SjisName("右腕捩"), 0).Bone(SjisName("右腕捩"), 20, 0, 0, 0, 0.4f, 0, 0, 0.92f);
  FixResult r;
  Fix(std::string(w.bytes.begin(), w.bytes.end()), &r);
  ASSERT_EQ(r.status, kFixDone);
  EXPECT_EQ(r.folded, 1u << kFoldRArmTwist);
  EXPECT_EQ(r.refusal[kFoldLArmTwist], kRefuseWork);
}

}  // namespace
