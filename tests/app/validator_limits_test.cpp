// The report tool at the limits of what it is given: files past 2 and 4 GiB
// (sparse), reasons the system gives in words, paths too long for the
// program's buffers, and the --fail-on option's forms.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/app/run_tool.h"
#include "tests/support/tempdir.h"
#include "tests/support/vmdwriter.h"

namespace {

using Json = nlohmann::json;

// Each line of JSON Lines output, parsed, after checking it against the schema.
std::vector<Json> ValidLines(const TempDir& dir, const std::string& text) {
  const std::string file = dir.Write("checked.jsonl", text);
  const std::string cmd = "python3 '" TARVEL_SOURCE_DIR "/tests/app/check_report_json.py' '" TARVEL_SOURCE_DIR
                          "/docs/report.schema.json' jsonl " + Q(file);
  EXPECT_EQ(system(cmd.c_str()), 0) << text.substr(0, 2000);
  std::vector<Json> lines;
  for (size_t at = 0, end; at < text.size(); at = end + 1) {
    end = text.find('\n', at);
    lines.push_back(Json::parse(text.substr(at, end - at), nullptr, false));
  }
  return lines;
}

// A file of the given size: the bytes, then a hole up to the size.
std::string Sparse(const TempDir& dir, const std::string& name, const std::vector<uint8_t>& bytes,
                   off_t size) {
  const std::string path = dir.Write(name, bytes.data(), bytes.size());
  EXPECT_EQ(truncate(path.c_str(), size), 0);
  return path;
}

TEST(ValidatorLimits, SizesPastTwoAndFourGibAreTrue) {
  TempDir dir;
  VmdWriter empty;  // a whole motion with no keys; the hole is trailing data
  empty.Header().ModelName("m").Count(0).Count(0).Count(0).Count(0).Count(0).Count(0);
  VmdWriter bones;  // declares 2^31-1 bone keys; the hole holds what fits
  bones.Header().ModelName("m").Count(0x7FFFFFFF);
  const off_t k5G = off_t(5) << 30, k4G = off_t(4) << 30;
  const std::string a = Sparse(dir, "a.vmd", empty.bytes, k5G);
  const std::string b = Sparse(dir, "b.vmd", empty.bytes, 2200000000);
  const std::string c = Sparse(dir, "c.vmd", {}, k5G);  // not a motion
  const std::string d = Sparse(dir, "d.vmd", bones.bytes, k4G + 1000);

  ToolResult r = RunTool(dir, "--jsonl " + Q(a) + " " + Q(b) + " " + Q(c) + " " + Q(d));
  EXPECT_EQ(r.status, 1);
  const std::vector<Json> f = ValidLines(dir, r.out);
  ASSERT_EQ(f.size(), 4u);
  EXPECT_EQ(f[0]["status"], "complete");
  EXPECT_EQ(f[0]["fileBytes"], int64_t(k5G));
  EXPECT_EQ(f[0]["trailingBytes"], int64_t(k5G) - 74);
  EXPECT_EQ(f[1]["fileBytes"], 2200000000);
  EXPECT_EQ(f[1]["trailingBytes"], 2200000000 - 74);
  EXPECT_EQ(f[2]["detail"]["fileBytes"], int64_t(k5G));
  const int64_t records = (int64_t(k4G) + 1000 - 54) / 111;
  EXPECT_EQ(f[3]["sections"]["bone"], Json({{"present", true}, {"count", 0x7FFFFFFF}, {"read", records}}));
  EXPECT_EQ(f[3]["detail"]["endOffset"], int64_t(k4G) + 1000);
  EXPECT_EQ(r.err, "tarvel-report: " + c + ": not a VMD motion: header byte 0 is 0x00\n"
                   "tarvel-report: " + d + ": cut short in the bone section: " +
                       std::to_string(records) + " of 2147483647 records read, the file ends at "
                       "byte 4294968296; lost: the bone keys after the first " +
                       std::to_string(records) + " and every later section, morph keys included\n");
}

TEST(ValidatorLimits, ReasonsInWordsAndLongPathsNamedWhole) {
  TempDir dir;
  const std::string loop = dir.Path("loop.vmd");
  ASSERT_EQ(symlink("loop.vmd", loop.c_str()), 0);
  // Three motions deep in a tree, each path longer than the program takes.
  std::string deep = "deep";
  for (char c = 'a'; c < 'f'; c++) deep += "/" + std::string(250, c);
  for (const char* name : {"x.vmd", "y.vmd", "z.vmd"}) dir.Write(deep + "/" + name, "Vocaloid");

  ToolResult r = RunTool(dir, "--jsonl " + Q(loop) + " " + Q(dir.Path("deep")));
  EXPECT_EQ(r.status, 1);
  const std::vector<Json> f = ValidLines(dir, r.out);
  ASSERT_EQ(f.size(), 4u);
  EXPECT_EQ(f[0]["detail"]["reason"], "too many levels of symbolic links");
  std::string err = "tarvel-report: " + loop + ": too many levels of symbolic links\n";
  const char* names[] = {"x.vmd", "y.vmd", "z.vmd"};
  for (int i = 0; i < 3; i++) {
    const std::string path = dir.Path(deep + "/" + names[i]);
    EXPECT_EQ(f[i + 1]["path"], path);
    EXPECT_EQ(f[i + 1]["detail"]["reason"], "name too long");
    err += "tarvel-report: " + path + ": name too long\n";
  }
  EXPECT_EQ(r.err, err);
}

TEST(ValidatorLimits, FailOnIsGivenOnceWithEqualsOrSpace) {
  TempDir dir;
  VmdWriter w;  // a turning twist bone: the verdict is "fix"
  w.Header().ModelName("m").Count(1).Bone(SjisName("左腕捩"), 0, 0, 0, 0, 0.3f, 0, 0, 0.95f);
  w.Count(0);
  const std::string m = Q(dir.Write("fix.vmd", w.bytes.data(), w.bytes.size()));
  EXPECT_EQ(RunTool(dir, "--fail-on fix " + m).status, 3);
  EXPECT_EQ(RunTool(dir, "--fail-on=fix " + m).status, 3);
  for (const char* args : {"--fail-on=fix --fail-on=slight ", "--fail-on fix --fail-on fix ",
                           "--fail-on "}) {
    ToolResult r = RunTool(dir, args + (strcmp(args, "--fail-on ") ? m : ""));
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_EQ(r.out, "") << args;
    EXPECT_NE(r.err.find("usage: tarvel-report"), std::string::npos) << args;
  }
}

}  // namespace
