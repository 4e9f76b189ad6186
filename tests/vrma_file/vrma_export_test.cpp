// The one conversion of the command line and the page: its options reach
// the pose stage, and a motion refused says why.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/vmdwriter.h"
#include "vrma/vrma_export.h"

namespace {

// Arms and the head turning; with twist, the left arm's twist bone too.
std::vector<uint8_t> Arms(bool twist) {
  VmdWriter w;
  w.Header().ModelName(SjisName("モデル")).Count(twist ? 6 : 4);
  for (int f : {0, 40}) {
    w.Bone(SjisName("左腕"), f, 0, 0, 0, 0, 0, 0.3f * f / 40, 1);
    w.Bone(SjisName("頭"), f, 0, 0, 0, 0.2f * f / 40, 0, 0, 1);
    if (twist) w.Bone(SjisName("左腕捩"), f, 0, 0, 0, 0.5f * f / 40, 0, 0, 1);
  }
  w.Count(1).Morph(SjisName("あ"), 20, 1);
  w.Count(0).Count(0).Count(0).Count(0);
  return w.bytes;
}

std::vector<unsigned char> Exported(const std::vector<uint8_t>& motion, bool fold, double arm = kVrmaArmAngleDeg,
                                    VrmaExportResult* result = nullptr) {
  VrmaExportOptions o;
  o.data = motion.data();
  o.size = motion.size();
  o.fold = fold;
  o.armAngleDeg = arm;
  VrmaExportResult r;
  std::vector<unsigned char> glb;
  const bool written = VrmaExport(o, &glb, result ? result : &r);
  EXPECT_EQ(written, !glb.empty());
  return glb;
}

TEST(VrmaExport, WithoutTheFoldTheTwistIsLeftOutAsAViewerLeavesIt) {
  const std::vector<uint8_t> twist = Arms(true), plain = Arms(false);
  VrmaExportResult r;
  const std::vector<unsigned char> folded = Exported(twist, true, kVrmaArmAngleDeg, &r);
  ASSERT_FALSE(folded.empty());
  EXPECT_EQ(r.status, nullptr);
  EXPECT_EQ(r.file.bytes, folded.size());
  EXPECT_EQ(r.anim->frames, 41);
  EXPECT_EQ(r.anim->exprCount, 1);
  EXPECT_NE(folded, Exported(plain, true));
  EXPECT_EQ(Exported(twist, false), Exported(plain, true));
  // The arm angle reaches the pose: other arms, another file.
  EXPECT_NE(Exported(plain, true, 30), Exported(plain, true));
}

}  // namespace
