// The report tool run as a program: motions written record by record, the
// real sample motions, and the expected texts worked out by hand from the
// report rules (line by line: colour, tab, text).
#include <gtest/gtest.h>

#include <string>

#include "tests/app/run_tool.h"
#include "tests/support/tempdir.h"
#include "tests/support/vmdwriter.h"

namespace {

using Result = ToolResult;

// 45 degrees about x: the sine of 22.5 degrees.
constexpr float kS45 = 0.38268343f, kC45 = 0.92387953f;

std::string RootMotion() {
  VmdWriter w;
  w.Header().ModelName(SjisName("テスト用モデル")).Count(2);
  w.Bone(SjisName("全ての親"), 0);
  w.Bone(SjisName("全ての親"), 9, 0, 0, 0, -kS45, 0, 0, kC45);
  w.Count(0);
  return std::string(w.bytes.begin(), w.bytes.end());
}

TEST(ReportTool, WholeReportOfOneRotatedBone) {
  TempDir dir;
  std::string m = dir.Write("root.vmd", RootMotion());
  Result r = RunTool(dir, Q(m));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "# " + m + "\n"
            "000000\t\n"
            "ffffff\troot.vmd\n"
            "ffffff\t\n"
            "ffffff\t元モデル名: テスト用モデル  (VMD) \n"
            "ffffff\t想定使用先: VRMモデル (Lumeno 3.10-3.13) \n"
            "ffffff\t\n"
            "ffffff\t使用ボーン: \n"
            "ffffff\t  全ての親  (2 keys) (frame 0 - 9) (rot  45.0) \n"
            "ffffff\t\n"
            "ffffff\t\n"
            "ffffff\t使用モーフ(表情): \n"
            "ffffff\t\n"
            "ffffff\t\n"
            "ffffff\t\n"
            "#verdict\n"
            "(OK): そのままで使用可能です. \n");
}

TEST(ReportTool, AliasModeSwitchesHeadingsAndNames) {
  TempDir dir;
  dir.Write("alias.ini", "// bones\n-Bone\n全ての親 Root\n-Morph\nあ A\n");
  VmdWriter w;
  w.Header().ModelName("m").Count(2);
  w.Bone(SjisName("全ての親"), 0);
  w.Bone(SjisName("全ての親"), 9, 0, 0, 0, -kS45, 0, 0, kC45);
  w.Count(1).Morph(SjisName("あ"), 3, 0.5f);
  std::string m = dir.Write("a.vmd", std::string(w.bytes.begin(), w.bytes.end()));
  Result r = RunTool(dir, Q(m));
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("ffffff\tSource model: m  (VMD) \n"
                       "ffffff\tTarget model: VRM model (Lumeno 3.10-3.13) \n"
                       "ffffff\t\n"
                       "ffffff\tBones: \n"
                       "ffffff\t  Root  (2 keys) (frame 0 - 9) (rot  45.0) \n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("ffffff\tMorphing (Expression): \n"
                       "ffffff\t  A  (1 keys) (frame 3 - 3) (val 0.5 - 0.5) \n"),
            std::string::npos)
      << r.out;
}

TEST(ReportTool, UnknownBonesGoToCompactLinesWrappedBefore80Bytes) {
  TempDir dir;
  VmdWriter w;
  w.Header().ModelName("").Count(12);
  w.Bone(SjisName("センター"), 0);
  w.Bone(SjisName("センター"), 10, 1, 0, 0);
  for (int i = 1; i <= 9; i++) w.Bone("bone0" + std::to_string(i), 5, 0, 0.5f, 0);
  w.Bone("ABCDEFGHIJKLMNO", 7, 0, 0, 0, 0, 0.2f, 0, 0.98f);  // 15 bytes, no NUL
  w.Count(0);
  std::string m = dir.Write("c.vmd", std::string(w.bytes.begin(), w.bytes.end()));
  Result r = RunTool(dir, Q(m));
  EXPECT_EQ(r.status, 0);
  // No model name: no model line. Nine pieces of 8 bytes make 72 bytes; the
  // 15-byte name would pass 79 (15 + 72 + 2) and starts the next line.
  EXPECT_NE(r.out.find("ffffff\tc.vmd\n"
                       "ffffff\t\n"
                       "ffffff\t想定使用先: VRMモデル (Lumeno 3.10-3.13) \n"
                       "ffffff\t\n"
                       "ffffff\t使用ボーン: \n"
                       "ffffff\t  センター  (2 keys) (frame 0 - 10) (|pos|=1) \n"
                       "ffffff\t     \n"
                       "ffffff\t  bone01  bone02  bone03  bone04  bone05  bone06  bone07  bone08  bone09\n"
                       "ffffff\t  ABCDEFGHIJKLMNO\n"
                       "ffffff\t\n"
                       "ffffff\t使用モーフ(表情): \n"),
            std::string::npos)
      << r.out;
}

TEST(ReportTool, CutMotionIsReportedAndFailsTheStatus) {
  TempDir dir;
  VmdWriter w;
  w.Header().ModelName("cut").Count(1);
  w.Bone(SjisName("左腕捩"), 4, 0, 0, 0, 0.3f, 0, 0, 0.95f);
  w.Count(1).Morph(SjisName("あ"), 1, 1.0f);
  w.Cut(w.Size() - 6);  // inside the morph's frame field
  std::string cut = dir.Write("cut.vmd", std::string(w.bytes.begin(), w.bytes.end()));
  std::string good = dir.Write("root.vmd", RootMotion());
  Result r = RunTool(dir, Q(good) + " " + Q(cut));
  EXPECT_EQ(r.status, 1);
  // Both files are reported, in order; the cut one on what was read before the cut.
  size_t first = r.out.find("# " + good + "\n");
  size_t second = r.out.find("# " + cut + "\n");
  ASSERT_NE(first, std::string::npos);
  ASSERT_NE(second, std::string::npos);
  EXPECT_LT(first, second);
  std::string tail = r.out.substr(second);
  EXPECT_NE(tail.find("ff0000\t  左腕捩  (1 keys) (frame 4 - 4) (tws"), std::string::npos) << tail;
  EXPECT_NE(tail.find("#verdict\n(要修正): "), std::string::npos);
  EXPECT_EQ(tail.find("  あ"), std::string::npos);  // the cut morph is not counted
}

TEST(ReportTool, JapaneseFileNameIsShownInTheHeader) {
  TempDir dir;
  std::string m = dir.Write("歩き.vmd", RootMotion());
  Result r = RunTool(dir, Q(m));
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("ffffff\t歩き.vmd\n"), std::string::npos) << r.out;
}

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
