// The report tool run as a program on missing files and on real motions
// (whole reports of generated motions are the golden pairs of tests/golden).
#include <gtest/gtest.h>

#include <string>

#include "tests/app/run_tool.h"
#include "tests/support/tempdir.h"
#include "tests/support/vmdwriter.h"

namespace {

using Result = ToolResult;

TEST(ReportTool, UsageAndMissingFiles) {
  TempDir dir;
  Result none = RunTool(dir, "");
  EXPECT_EQ(none.status, 2);
  EXPECT_NE(none.err.find("usage: tarvel-report "), std::string::npos);
  EXPECT_EQ(RunTool(dir, "--help").status, 0);
  // Nothing was read: no report, no verdict, the reason on standard error.
  std::string path = dir.Path("missing.vmd");
  Result missing = RunTool(dir, Q(path));
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, "# " + path + "\n#status unreadable: no such file\n");
  EXPECT_EQ(missing.err, "tarvel-report: " + path + ": no such file\n");
}

// Real motions: what their bytes must give.
std::string Sample(const char* name) { return std::string(TARVEL_SAMPLES_DIR) + "/" + name; }

TEST(ReportToolSamples, MotionsFromTheWild) {
  std::string dance = Sample("web-mmd__GimmeGimme_with_emotion.vmd");
  if (!FileExists(dance)) GTEST_SKIP() << "samples absent";
  TempDir dir;
  // The dance twists all four twist bones and drives both shoulder P bones.
  Result r = RunTool(dir, Q(dance));
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("ffffff\t元モデル名: つみ式ミクさんv4  (VMD) \n"), std::string::npos);
  for (const char* bone : {"左腕捩", "左手捩", "右腕捩", "右手捩"})
    EXPECT_NE(r.out.find(std::string("ff0000\t  ") + bone + " "), std::string::npos) << bone;
  for (const char* bone : {"左肩P", "右肩P"})
    EXPECT_NE(r.out.find(std::string("ff7800\t  ") + bone + " "), std::string::npos) << bone;
  EXPECT_NE(r.out.find("#verdict\n(要修正): "), std::string::npos);
  EXPECT_NE(r.out.find("  [左腕捩] [左手捩] [右腕捩] [右手捩] \n"), std::string::npos);
  EXPECT_NE(r.out.find("(確認要): "), std::string::npos);

  // A header without its version: not a motion.
  Result bad = RunTool(dir, Q(Sample("three-mmd-loader__joint_orient_test.vmd")));
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.out.find("元モデル名"), std::string::npos);

  // One bone turned by 45 degrees about one axis and back, keys 0 to 49.
  Result cube = RunTool(dir, Q(Sample("three-mmd-loader__test_1bone_cube_motion.vmd")));
  EXPECT_EQ(cube.status, 0);
  EXPECT_NE(cube.out.find("ffffff\t  全ての親  (6 keys) (frame 0 - 49) (rot  45.0) \n"),
            std::string::npos);
  EXPECT_NE(cube.out.find("#verdict\n(OK): "), std::string::npos);
}

}  // namespace
