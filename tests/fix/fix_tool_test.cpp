// tarvel-fix as a program: copies beside the motion or where asked, never
// over a file or through a link, names with no UTF-16 form, cut motions, the
// JSON document, and the real motions read back through tarvel-report.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "fix/fix.h"
#include "tests/fix/chain_check.h"
#include "tests/support/filelimit.h"
#include "tests/support/tempdir.h"
#include "tests/support/vmdwriter.h"

namespace {

using namespace fixcheck;

// ---- the program -------------------------------------------------------------------

struct Ran {
  int status;
  std::string out;
};

Ran RunFix(const std::string& args) {
  Ran r{-1, ""};
  FILE* p = popen(("'" TARVEL_BINARY_DIR "/tarvel-fix' " + args + " 2>/dev/null").c_str(), "r");
  if (!p) return r;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  const int st = pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

std::string Q(const std::string& s) { return "'" + s + "'"; }

// The report of a file as tarvel-report --json gives it.
nlohmann::json ReportOf(const std::string& path) {
  FILE* p = popen(("'" TARVEL_BINARY_DIR "/tarvel-report' --json " + Q(path) + " 2>/dev/null").c_str(), "r");
  std::string s;
  char buf[4096];
  size_t n;
  while (p && (n = fread(buf, 1, sizeof buf, p)) > 0) s.append(buf, n);
  if (p) pclose(p);
  return nlohmann::json::parse(s, nullptr, false);
}

// The finding codes tarvel-report gives a file.
std::vector<std::string> FindingCodes(const std::string& path) {
  std::vector<std::string> codes;
  const auto doc = ReportOf(path);
  if (doc.is_discarded()) return {"unparsable"};
  for (const auto& f : doc["files"][0]["findings"]) codes.push_back(f["code"].get<std::string>());
  return codes;
}

bool NamesAFold(const std::vector<std::string>& codes) {
  for (const std::string& c : codes)
    if (c == "twist-bone" || c == "shoulder-p-bone" || c == "upper-body-2-full-width") return true;
  return false;
}

TEST(FixTool, CopiesBesideTheMotionAndNeverOverwrites) {
  TempDir dir;
  std::mt19937 rng(7);
  const std::string motion = RandomMotion(rng);
  const std::string a = dir.Write("a.vmd", motion);
  const std::string odd = dir.Write("b\xff.VMD", motion);  // a name with no UTF-16 form
  VmdWriter ok;
  ok.Header().ModelName("m").Count(1).Bone(SjisName("センター"), 0);
  dir.Write("ok.vmd", ok.bytes.data(), ok.bytes.size());
  Ran r = RunFix("--json " + Q(dir.Root()));
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(FileExists(dir.Path("a.vrm.vmd")));
  EXPECT_TRUE(FileExists(dir.Path("b\xff.vrm.VMD")));
  EXPECT_FALSE(FileExists(dir.Path("ok.vrm.vmd")));
  EXPECT_EQ(ReadFileBytes(dir.Path("a.vrm.vmd")), ReadFileBytes(dir.Path("b\xff.vrm.VMD")));
  EXPECT_EQ(ReadFileBytes(a), motion);
  EXPECT_FALSE(NamesAFold(FindingCodes(dir.Path("a.vrm.vmd"))));
  const std::string cmd = "python3 '" TARVEL_SOURCE_DIR "/tests/app/check_report_json.py' '" TARVEL_SOURCE_DIR
                          "/docs/fix.schema.json' json " + Q(dir.Write("run.json", r.out));
  const int st = system(cmd.c_str());
  if (WEXITSTATUS(st) != 77) {
    EXPECT_EQ(WEXITSTATUS(st), 0) << r.out;
  }

  // Again: the copies exist and stay as they are; a link is never written through.
  const std::string before = ReadFileBytes(dir.Path("a.vrm.vmd"));
  r = RunFix(Q(a) + " " + Q(odd));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("exists"), std::string::npos);
  EXPECT_EQ(ReadFileBytes(dir.Path("a.vrm.vmd")), before);
  const std::string victim = dir.Write("victim.txt", "keep");
  ASSERT_EQ(symlink(victim.c_str(), dir.Path("link.vmd").c_str()), 0);
  EXPECT_EQ(RunFix("-o " + Q(dir.Path("link.vmd")) + " " + Q(a)).status, 1);
  EXPECT_EQ(ReadFileBytes(victim), "keep");
  // -o and --out-dir.
  EXPECT_EQ(RunFix("-o " + Q(dir.Path("x.vmd")) + " " + Q(a)).status, 0);
  EXPECT_EQ(ReadFileBytes(dir.Path("x.vmd")), before);
  EXPECT_EQ(RunFix("-o x.vmd " + Q(a) + " " + Q(a)).status, 2);
  mkdir(dir.Path("out").c_str(), 0755);
  EXPECT_EQ(RunFix("--out-dir " + Q(dir.Path("out")) + " " + Q(a)).status, 0);
  EXPECT_EQ(ReadFileBytes(dir.Path("out/a.vrm.vmd")), before);
}

TEST(FixTool, FoldsWhatTheReportCallsFixable) {
  TempDir dir;
  std::mt19937 rng(5);
  for (int i = 0; i < 20; i++) {
    SCOPED_TRACE(i);
    const std::string motion = RandomMotion(rng);
    const nlohmann::json report = ReportOf(dir.Write("r.vmd", motion));
    ASSERT_FALSE(report.is_discarded());
    std::set<std::string> fixable, wanted;
    for (const auto& f : report["files"][0]["findings"])
      if (f.value("fixable", false)) fixable.insert(f["bone"].get<std::string>());
    FixResult r;
    Fix(motion, &r);
    for (int k = 0; k < kFolds; k++)
      if (r.wanted & (1u << k)) wanted.insert(FixFoldSource(k));
    EXPECT_EQ(fixable, wanted);
  }
}

TEST(FixTool, ACopyThatCannotBeWrittenWholeIsRemoved) {
  TempDir dir;
  std::mt19937 rng(9);
  const std::string a = dir.Write("a.vmd", RandomMotion(rng));
  Ran r;
  {
    FileSizeLimit limit(1024);  // the tool inherits it
    ASSERT_TRUE(limit.ok);
    r = RunFix(Q(a));
  }
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("not written"), std::string::npos) << r.out;
  EXPECT_FALSE(FileExists(dir.Path("a.vrm.vmd")));
}

// Under strace: the motion is opened for reading only, and the one open for
// writing creates the copy exclusively, without following a link.
TEST(FixTool, OpensForWritingOnlyTheNewCopy) {
  if (system("strace -f -qq -o /dev/null true >/dev/null 2>&1") != 0) GTEST_SKIP() << "no strace here";
  TempDir dir;
  std::mt19937 rng(11);
  const std::string a = dir.Write("a.vmd", RandomMotion(rng));
  const std::string trace = dir.Path("trace");
  ASSERT_EQ(RunFix("x").status, 1);  // the tool runs at all
  // (the leak checker of a sanitizer build cannot run under a tracer)
  const int st = system(("ASAN_OPTIONS=detect_leaks=0 strace -f -qq -e trace=open,openat,creat -o " +
                         Q(trace) + " '" TARVEL_BINARY_DIR
                         "/tarvel-fix' " + Q(a) + " >/dev/null 2>&1").c_str());
  ASSERT_EQ(WEXITSTATUS(st), 0);
  int writes = 0;
  std::istringstream lines(ReadFileBytes(trace));
  for (std::string line; std::getline(lines, line);) {
    if (line.find("O_WRONLY") == std::string::npos && line.find("O_RDWR") == std::string::npos &&
        line.find("O_CREAT") == std::string::npos && line.find("creat(") == std::string::npos)
      continue;
    writes++;
    EXPECT_NE(line.find("\"" + dir.Path("a.vrm.vmd") + "\""), std::string::npos) << line;
    EXPECT_NE(line.find("O_EXCL"), std::string::npos) << line;
    EXPECT_NE(line.find("O_NOFOLLOW"), std::string::npos) << line;
  }
  EXPECT_EQ(writes, 1);
}

TEST(FixTool, CutInsideTheBoneKeysIsNotFixed) {
  TempDir dir;
  std::mt19937 rng(8);
  const std::string motion = RandomMotion(rng);
  const Ran r = RunFix(Q(dir.Write("c.vmd", motion.substr(0, 54 + 111 * 2 + 7))));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("not fixed: the file ends inside its bone keys"), std::string::npos) << r.out;
  EXPECT_FALSE(FileExists(dir.Path("c.vrm.vmd")));
}

// ---- real motions --------------------------------------------------------------------

TEST(FixSamples, RealMotionsWithFoldableBones) {
  const char* const kFiles[] = {"mmd_base__sample_motion2.vmd", "web-mmd__GimmeGimme_with_emotion.vmd"};
  int seen = 0;
  TempDir dir;
  for (const char* name : kFiles) {
    const std::string motion = ReadFileBytes(std::string(TARVEL_SAMPLES_DIR "/") + name);
    if (motion.empty()) continue;
    seen++;
    SCOPED_TRACE(name);
    EXPECT_TRUE(NamesAFold(FindingCodes(std::string(TARVEL_SAMPLES_DIR "/") + name)));
    FixResult r;
    const std::string copy = Fix(motion, &r);
    ASSERT_EQ(r.status, kFixDone);
    EXPECT_EQ(r.folded, r.wanted);
    ExpectGoodCopy(motion, copy);
    // The fitting keeps both well below the bound of twice (1.41 and 1.49).
    EXPECT_LT(copy.size(), motion.size() * 3 / 2);
    EXPECT_FALSE(NamesAFold(FindingCodes(dir.Write(name, copy))));
  }
  if (!seen) GTEST_SKIP() << "samples absent";
}

}  // namespace
