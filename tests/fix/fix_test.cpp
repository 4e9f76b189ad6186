// The VRM-ready copy on generated motions: random chains, curves kept whole,
// nothing to fold, cut motions, rotations that are none.
#include <gtest/gtest.h>

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
  VmdWriter w;  // a twist bone that does not turn, and a turning 上半身２ beside a turning 上半身2
  w.Header().ModelName("m").Count(3).Bone(SjisName("左腕捩"), 0, 0, 0, 0, 0.005f, 0, 0, 1)
      .Bone(SjisName("上半身２"), 0, 0, 0, 0, 0.2f, 0, 0, 0.98f).Bone(SjisName("上半身2"), 5, 0, 0, 0, 0.2f, 0, 0, 0.98f);
  FixResult r;
  EXPECT_TRUE(Fix(std::string(w.bytes.begin(), w.bytes.end()), &r).empty());
  EXPECT_EQ(r.status, kFixNothing);
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

TEST(Fix, HostileRotationsAreNotFolded) {
  VmdWriter w;
  w.Header().ModelName("m").Count(2).Bone(SjisName("左腕捩"), 0, 0, 0, 0, 0.3f, 0, 0, 0.95f)
      .Bone(SjisName("左腕"), 4, 0, 0, 0, 0, 0, 0, 0);
  FixResult r;
  Fix(std::string(w.bytes.begin(), w.bytes.end()), &r);
  EXPECT_EQ(r.status, kFixRefused);
  EXPECT_EQ(r.refusal[kFoldLArmTwist], kRefuseBadRotation);
}

}  // namespace
