// tarvel-fix --vrma as a program: NAME.vrma beside the motion or where asked,
// never over a file or through a link, the JSON document against its
// schema, motions refused with the reason; and the naming and writing it
// shares with the VRM-ready copy.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <string>

#include <nlohmann/json.hpp>

#include "fix/fix_copy.h"
#include "tests/support/run_tool.h"
#include "tests/support/tempdir.h"
#include "tests/support/vmdwriter.h"

namespace {

// Runs tarvel-fix on the arguments; its standard output and error apart.
ToolRun RunFix(const std::string& args) { return RunTool(TARVEL_BINARY_DIR "/tarvel-fix", args); }

std::string Q(const std::string& s) { return "'" + s + "'"; }

// A short dance: the centre and the legs' IK move, the left arm and the
// head turn; morphs to the last key at frame 90: あ, ウィンク右, a custom
// one, and one under a preset's name.
std::string Dance() {
  VmdWriter w;
  w.Header().ModelName(SjisName("モデル")).Count(10);
  for (int f : {0, 60}) {
    const float s = std::sin(f * 0.01f), c = std::cos(f * 0.01f);
    w.Bone(SjisName("センター"), f, 0, f * 0.02f, 0);
    w.Bone(SjisName("左腕"), f, 0, 0, 0, 0, 0, s, c);
    w.Bone(SjisName("頭"), f, 0, 0, 0, s, 0, 0, c);
    w.Bone(SjisName("左足ＩＫ"), f, 0, 0.5f, f * 0.01f);
    w.Bone(SjisName("右足ＩＫ"), f, 0, 0, -f * 0.01f);
  }
  w.Count(5)
      .Morph(SjisName("あ"), 0, 0)
      .Morph(SjisName("あ"), 30, 1)
      .Morph(SjisName("ウィンク右"), 90, 0.5f)
      .Morph(SjisName("目閉じ"), 10, 1)
      .Morph("blink", 20, 1);
  w.Count(0).Count(0).Count(0).Count(0);
  return std::string(w.bytes.begin(), w.bytes.end());
}

bool ValidAgainstSchema(const TempDir& dir, const std::string& json) {
  const std::string cmd = "python3 '" TARVEL_SOURCE_DIR "/tests/app/check_report_json.py' '" TARVEL_SOURCE_DIR
                          "/docs/vrma.schema.json' json " + Q(dir.Write("run.json", json));
  const int st = system(cmd.c_str());
  return WEXITSTATUS(st) == 0 || WEXITSTATUS(st) == 77;  // 77: no jsonschema here
}

TEST(VrmaTool, WritesNameVrmaBesideTheMotionAndNeverOverwrites) {
  TempDir dir;
  const std::string dance = Dance();
  const std::string a = dir.Write("a.VMD", dance);
  dir.Write("b", dance);  // no extension: not in a folder walk, but named
  ToolRun r = RunFix("--vrma --json " + Q(dir.Root()) + " " + Q(dir.Path("b")));
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(ValidAgainstSchema(dir, r.out)) << r.out;
  const std::string file = ReadFileBytes(dir.Path("a.vrma"));
  ASSERT_GT(file.size(), 12u);
  EXPECT_EQ(file.substr(0, 4), "glTF");
  EXPECT_EQ(ReadFileBytes(dir.Path("b.vrma")), file);  // the same motion, the same bytes
  EXPECT_EQ(ReadFileBytes(a), dance);

  const auto doc = nlohmann::json::parse(r.out, nullptr, false);
  ASSERT_FALSE(doc.is_discarded()) << r.out;
  ASSERT_EQ(doc["files"].size(), 2u);
  const auto& f = doc["files"][0];
  EXPECT_EQ(f["status"], "written");
  EXPECT_EQ(f["vrma"], dir.Path("a.vrma"));
  EXPECT_EQ(f["bytes"], file.size());
  EXPECT_EQ(f["frames"], 91);  // to the last morph key
  EXPECT_DOUBLE_EQ(f["duration"].get<double>(), 3.0);
  const auto& bones = f["bones"];
  for (const char* b : {"leftUpperArm", "head"})
    EXPECT_NE(std::find(bones.begin(), bones.end(), b), bones.end()) << b;
  EXPECT_EQ(f["expressions"]["preset"],
            nlohmann::json::parse(R"([{"name":"aa","morph":"あ"},{"name":"blinkRight","morph":"ウィンク右"}])"));
  EXPECT_EQ(f["expressions"]["custom"], nlohmann::json::parse(R"(["目閉じ"])"));
  EXPECT_EQ(f["expressions"]["leftOut"], nlohmann::json::parse(R"(["blink"])"));
  EXPECT_EQ(doc["summary"]["written"], 2);

  // Again: the files are there with the same bytes and are kept; a file of
  // the name with other bytes is never replaced.
  r = RunFix("--vrma --json " + Q(a));
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("\"alreadyThere\": true"), std::string::npos) << r.out;
  const std::string other = dir.Write("other.vmd", dance);
  dir.Write("other.vrma", "not this animation");
  r = RunFix("--vrma " + Q(other));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("exists"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("other.vmd"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("terms of use"), std::string::npos) << r.out;
  EXPECT_EQ(ReadFileBytes(dir.Path("other.vrma")), "not this animation");
  EXPECT_EQ(ReadFileBytes(dir.Path("a.vrma")), file);
  // -o and --out-dir.
  EXPECT_EQ(RunFix("--vrma -o " + Q(dir.Path("x.vrma")) + " " + Q(a)).status, 0);
  EXPECT_EQ(ReadFileBytes(dir.Path("x.vrma")), file);
  mkdir(dir.Path("out").c_str(), 0755);
  EXPECT_EQ(RunFix("--out-dir " + Q(dir.Path("out")) + " --vrma " + Q(a)).status, 0);
  EXPECT_EQ(ReadFileBytes(dir.Path("out/a.vrma")), file);
  // Another arm angle turns the arms differently.
  EXPECT_EQ(RunFix("--vrma --arm-angle 20 -o " + Q(dir.Path("y.vrma")) + " " + Q(a)).status, 0);
  const std::string lower = ReadFileBytes(dir.Path("y.vrma"));
  EXPECT_FALSE(lower.empty());
  EXPECT_NE(lower, file);
}

TEST(VrmaTool, RefusesACutMotionWithTheReasonAndWritesNothing) {
  TempDir dir;
  const std::string dance = Dance();
  dir.Write("cut.vmd", dance.substr(0, dance.size() - 16 - 30));  // inside the morph keys
  dir.Write("bonecut.vmd", dance.substr(0, 54 + 111 * 3 + 7));
  dir.Write("text.vmd", "not a motion at all, just text");
  std::string negative = dance.substr(0, 54 + 10 * 111);
  negative += std::string("\xfd\xff\xff\xff", 4);  // a morph count of -3
  dir.Write("negative.vmd", negative);
  const ToolRun r = RunFix("--vrma --json " + Q(dir.Root()));
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(ValidAgainstSchema(dir, r.out)) << r.out;
  const auto doc = nlohmann::json::parse(r.out, nullptr, false);
  ASSERT_FALSE(doc.is_discarded()) << r.out;
  ASSERT_EQ(doc["files"].size(), 4u);
  EXPECT_EQ(doc["files"][0]["status"], "cut");  // bonecut.vmd
  EXPECT_NE(doc["files"][0]["reason"].get<std::string>().find("bone keys (3 of 10"), std::string::npos);
  EXPECT_EQ(doc["files"][1]["status"], "cut");
  EXPECT_NE(doc["files"][1]["reason"].get<std::string>().find("morph keys"), std::string::npos);
  EXPECT_EQ(doc["files"][2]["status"], "cut");  // negative.vmd
  EXPECT_EQ(doc["files"][2]["reason"], "the file's morph count is negative (-3): no key after it can be read");
  EXPECT_EQ(doc["files"][3]["status"], "not-a-motion");
  EXPECT_EQ(doc["summary"]["notWritten"], 4);
  for (const char* name : {"cut.vrma", "bonecut.vrma", "negative.vrma", "text.vrma"})
    EXPECT_FALSE(FileExists(dir.Path(name)));
}

TEST(VrmaTool, UsageErrors) {
  TempDir dir;
  const std::string a = dir.Write("a.vmd", Dance());
  EXPECT_EQ(RunFix("--vrma").status, 2);
  EXPECT_EQ(RunFix("--vrma --arm-angle " + Q(a)).status, 2);
  EXPECT_EQ(RunFix("--vrma --arm-angle abc " + Q(a)).status, 2);
  EXPECT_EQ(RunFix("--vrma --frobnicate " + Q(a)).status, 2);
  EXPECT_EQ(RunFix("--vrma -o x.vrma " + Q(a) + " " + Q(a)).status, 2);
  EXPECT_EQ(RunFix("--vrma --out-dir " + Q(dir.Path("none")) + " " + Q(a)).status, 2);
  const ToolRun help = RunFix("--vrma --help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--arm-angle"), std::string::npos);
  // --arm-angle goes with --vrma.
  EXPECT_EQ(RunFix("--arm-angle 20 " + Q(a)).status, 2);
  EXPECT_FALSE(FileExists(dir.Path("a.vrma")));
}

TEST(VrmaPath, NameVrmaBesideTheMotionOrInTheFolder) {
  FixPath in = FixMakePath("/m/dance.VmD", nullptr);
  EXPECT_EQ(FixVrmaPath(in, nullptr).narrow, "/m/dance.vrma");
  EXPECT_EQ(FixVrmaPath(in, nullptr).wide, u"/m/dance.vrma");
  const FixPath dir = FixMakePath("/out/", nullptr);
  EXPECT_EQ(FixVrmaPath(in, &dir).narrow, "/out/dance.vrma");
  in = FixMakePath("/m/dance", nullptr);
  EXPECT_EQ(FixVrmaPath(in, nullptr).narrow, "/m/dance.vrma");
  in = FixMakePath("/m/x.vmd.bak", nullptr);
  EXPECT_EQ(FixVrmaPath(in, nullptr).narrow, "/m/x.vmd.bak.vrma");
}

}  // namespace
