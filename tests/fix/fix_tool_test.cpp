// tarvel-fix as a program: copies beside the motion or where asked, written
// whole before they take their name, never over a file or through a link;
// names with no UTF-16 form or with control characters, failed output,
// folder walks, cut motions, what the copy newly shows, the JSON document,
// and the real motions read back through tarvel-report.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "fix/fix.h"
#include "tests/fix/chain_check.h"
#include "tests/support/filelimit.h"
#include "tests/support/run_tool.h"
#include "tests/support/tempdir.h"
#include "tests/support/vmdwriter.h"

namespace {

using namespace fixcheck;

// ---- the program -------------------------------------------------------------------

using Ran = ToolRun;

// Runs tarvel-fix on the arguments (shell words, redirections too); its
// standard output and error apart.
Ran RunFix(const std::string& args) { return RunTool(TARVEL_BINARY_DIR "/tarvel-fix", args); }

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

// Checks a run's --json output against docs/fix.schema.json (where
// python3-jsonschema is installed).
void ExpectValidJson(const TempDir& dir, const std::string& out) {
  const std::string cmd = "python3 '" TARVEL_SOURCE_DIR "/tests/app/check_report_json.py' '" TARVEL_SOURCE_DIR
                          "/docs/fix.schema.json' json " + Q(dir.Write("run.json", out));
  const int st = system(cmd.c_str());
  if (WEXITSTATUS(st) != 77) {
    EXPECT_EQ(WEXITSTATUS(st), 0) << out;
  }
}

// A motion whose only fold is a twist bone: 左腕捩 turns by twistDeg and the
// arm by armDeg, both about the arm's own axis.
std::string TwistMotion(double armDeg, double twistDeg) {
  const double n = std::sqrt(1 + 0.49);
  VmdWriter w;
  w.Header().ModelName("m").Count(4);
  for (const auto& [bone, deg] : {std::pair<const char*, double>{"左腕", armDeg}, {"左腕捩", twistDeg}}) {
    const double h = deg * M_PI / 360;
    w.Bone(SjisName(bone), 0);
    w.Bone(SjisName(bone), 30, 0, 0, 0, float(std::sin(h) / n), float(-0.7 * std::sin(h) / n), 0, float(std::cos(h)));
  }
  return std::string(w.bytes.begin(), w.bytes.end());
}

size_t FixedSize(const std::string& motion) {
  FixResult r;
  return Fix(motion, &r).size();
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
  ExpectValidJson(dir, r.out);

  // Again: the copies are there with the same bytes and stay as they are.
  const std::string before = ReadFileBytes(dir.Path("a.vrm.vmd"));
  r = RunFix(Q(a) + " " + Q(odd));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("copy: " + dir.Path("a.vrm.vmd") + " already there, with the same bytes"), std::string::npos)
      << r.out;
  EXPECT_EQ(ReadFileBytes(dir.Path("a.vrm.vmd")), before);
  // A file of the copy's name with other bytes is named and kept; a link is
  // never written through.
  dir.Write("b\xff.vrm.VMD", "other");
  r = RunFix(Q(odd));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("not written: " + dir.Path("b\xff.vrm.VMD") + ": a file of that name exists and is not this copy"),
            std::string::npos) << r.out;
  EXPECT_EQ(ReadFileBytes(dir.Path("b\xff.vrm.VMD")), "other");
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

// Under strace: the motion is opened for reading only; the one open for
// writing creates a new file beside the copy exclusively, without following
// a link, and that file takes the copy's name only by a call that never
// replaces one.
TEST(FixTool, WritesTheCopyWholeBeforeItTakesItsName) {
  if (system("strace -f -qq -o /dev/null true >/dev/null 2>&1") != 0) GTEST_SKIP() << "no strace here";
  TempDir dir;
  std::mt19937 rng(11);
  const std::string a = dir.Write("a.vmd", RandomMotion(rng));
  const std::string trace = dir.Path("trace");
  ASSERT_EQ(RunFix("x").status, 1);  // the tool runs at all
  // (the leak checker of a sanitizer build cannot run under a tracer)
  const int st = system(("ASAN_OPTIONS=detect_leaks=0 strace -f -qq -e trace=open,openat,creat,rename,renameat,"
                         "renameat2,link,linkat -o " + Q(trace) + " '" TARVEL_BINARY_DIR
                         "/tarvel-fix' " + Q(a) + " >/dev/null 2>&1").c_str());
  ASSERT_EQ(WEXITSTATUS(st), 0);
  const std::string copy = "\"" + dir.Path("a.vrm.vmd") + "\"";
  int writes = 0, named = 0;
  std::istringstream lines(ReadFileBytes(trace));
  for (std::string line; std::getline(lines, line);) {
    if (line.find("rename") != std::string::npos || line.find("link") != std::string::npos) {
      named++;
      EXPECT_NE(line.find(copy), std::string::npos) << line;
      if (line.find("rename") != std::string::npos) {
        EXPECT_NE(line.find("RENAME_NOREPLACE"), std::string::npos) << line;
      }
      continue;
    }
    if (line.find("O_WRONLY") == std::string::npos && line.find("O_RDWR") == std::string::npos &&
        line.find("O_CREAT") == std::string::npos && line.find("creat(") == std::string::npos)
      continue;
    writes++;
    EXPECT_NE(line.find("\"" + dir.Root() + "/"), std::string::npos) << line;
    EXPECT_EQ(line.find(copy), std::string::npos) << line;
    EXPECT_NE(line.find("O_EXCL"), std::string::npos) << line;
    EXPECT_NE(line.find("O_NOFOLLOW"), std::string::npos) << line;
  }
  EXPECT_EQ(writes, 1);
  EXPECT_GE(named, 1);
  EXPECT_EQ(ReadFileBytes(dir.Path("a.vrm.vmd")).size(), FixedSize(ReadFileBytes(a)));
  // Nothing but the motion, its copy and the trace is left.
  EXPECT_EQ(system(("test $(ls -A " + Q(dir.Root()) + " | wc -l) -eq 3").c_str()), 0);
}

// A run killed while it writes leaves no part of a copy under the copy's
// name: here the file size limit ends it with SIGXFSZ at its first write
// past 1 KB.
TEST(FixTool, AKilledRunLeavesNoPartialCopy) {
  TempDir dir;
  std::mt19937 rng(9);
  const std::string motion = RandomMotion(rng);
  ASSERT_GT(FixedSize(motion), 2048u);
  const std::string a = dir.Write("a.vmd", motion);
  const int st = system(("sh -c 'ulimit -f 2; exec \"$0\" \"$1\"' '" TARVEL_BINARY_DIR "/tarvel-fix' " + Q(a) +
                         " >/dev/null 2>&1").c_str());
  ASSERT_EQ(WEXITSTATUS(st), 128 + SIGXFSZ) << "the run was not killed";
  EXPECT_FALSE(FileExists(dir.Path("a.vrm.vmd")));
  EXPECT_EQ(ReadFileBytes(a), motion);
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

// What a motion's name or a failed output cannot do: start a line or reach
// the terminal as a control sequence; pass for success.
TEST(FixTool, NamesAreEscapedAndFailedOutputIsAnError) {
  TempDir dir;
  std::mt19937 rng(3);
  const std::string motion = RandomMotion(rng);
  const std::string name = "x\n# y\x1b[31m.vmd";
  const std::string a = dir.Write(name, motion);
  Ran r = RunFix(Q(a));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("# " + dir.Path("x\\x0a# y\\x1b[31m.vmd") + "\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("copy: " + dir.Path("x\\x0a# y\\x1b[31m.vrm.vmd")), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find('\x1b'), std::string::npos);
  EXPECT_EQ(r.out.find("\n# y"), std::string::npos);
  // Not fixed (the copy is there with other bytes): said on standard error.
  dir.Write("x\n# y\x1b[31m.vrm.vmd", "other");
  r = RunFix(Q(a));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.rfind("tarvel-fix: " + dir.Path("x\\x0a# y\\x1b[31m.vmd") + ": the copy ", 0), 0u) << r.err;
  EXPECT_EQ(r.err.find('\x1b'), std::string::npos) << r.err;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;

  const std::string b = Q(dir.Write("b.vmd", motion));
  for (const std::string& args : {b, "--json " + b, std::string("--version"), std::string("--help")}) {
    SCOPED_TRACE(args);
    r = RunFix(args + " >/dev/full");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tarvel-fix: write error: no space left on the device\n");
  }
  r = RunFix("--version");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "tarvel-fix " TARVEL_VERSION "\n");
}

// A walk tells of everything named like a motion that it does not fix, with
// its reason, as tarvel-report does; the copies it makes are passed over, so
// that a second run gives the same result and keeps the copies.
TEST(FixTool, WalksAccountForEveryMotionLikeName) {
  TempDir dir;
  std::mt19937 rng(4);
  const std::string lib = dir.Path("lib");
  dir.Write("lib/a.vmd", RandomMotion(rng));
  dir.Write("lib/sub/b.vmd", RandomMotion(rng));
  VmdWriter ok;
  ok.Header().ModelName("m").Count(1).Bone(SjisName("センター"), 0);
  dir.Write("lib/ok.vmd", ok.bytes.data(), ok.bytes.size());
  Ran r = RunFix(Q(lib));
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string first = r.out;
  const std::string copyA = ReadFileBytes(dir.Path("lib/a.vrm.vmd")), copyB = ReadFileBytes(dir.Path("lib/sub/b.vrm.vmd"));
  ASSERT_FALSE(copyA.empty());
  r = RunFix(Q(lib));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.find(".vrm.vrm.vmd"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("# " + dir.Path("lib/a.vrm.vmd")), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(" already there, with the same bytes"), std::string::npos) << r.out;
  // The same lines but for the words that say the copies were there.
  std::string again = r.out;
  const std::string there = " already there, with the same bytes";
  for (size_t at; (at = again.find(there)) != std::string::npos;) again.erase(at, there.size());
  EXPECT_EQ(again, first);
  EXPECT_FALSE(FileExists(dir.Path("lib/a.vrm.vrm.vmd")));
  // A copy with other bytes is named and kept.
  dir.Write("lib/sub/b.vrm.vmd", "other");
  r = RunFix(Q(lib));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find(dir.Path("lib/sub/b.vrm.vmd")), std::string::npos) << r.err;
  EXPECT_EQ(ReadFileBytes(dir.Path("lib/sub/b.vrm.vmd")), "other");
  EXPECT_EQ(ReadFileBytes(dir.Path("lib/a.vrm.vmd")), copyA);
  dir.Write("lib/sub/b.vrm.vmd", copyB);

  // What cannot be fixed: each listed with its reason, in the text and the JSON.
  ASSERT_EQ(symlink(dir.Path("lib/gone").c_str(), dir.Path("lib/dangling.vmd").c_str()), 0);
  ASSERT_EQ(symlink("loop.vmd", dir.Path("lib/loop.vmd").c_str()), 0);
  ASSERT_EQ(mkfifo(dir.Path("lib/fifo.vmd").c_str(), 0600), 0);
  ASSERT_EQ(symlink(lib.c_str(), dir.Path("lib/folder.vmd").c_str()), 0);
  // A folder too deep to be listed: its path passes the system's limit.
  const std::string deep = lib + "/deep";
  ASSERT_EQ(mkdir(deep.c_str(), 0700), 0);
  int fd = open(deep.c_str(), O_RDONLY | O_DIRECTORY);
  const std::string part(200, 'd');
  for (int i = 0; i < 24 && fd >= 0; i++) {
    ASSERT_EQ(mkdirat(fd, part.c_str(), 0700), 0);
    const int next = openat(fd, part.c_str(), O_RDONLY | O_DIRECTORY);
    close(fd);
    fd = next;
  }
  ASSERT_GE(fd, 0);
  close(fd);
  r = RunFix(Q(lib));
  const Ran json = RunFix("--json " + Q(lib));
  ASSERT_EQ(system(("rm -rf " + Q(deep)).c_str()), 0);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(json.status, 1);
  ExpectValidJson(dir, json.out);
  const auto doc = nlohmann::json::parse(json.out, nullptr, false);
  ASSERT_FALSE(doc.is_discarded());
  std::map<std::string, std::string> reasons;
  for (const auto& f : doc["files"]) {
    const std::string name = f["path"].get<std::string>().substr(lib.size() + 1);
    // (the folder not listed is the deepest one that is)
    reasons[name.rfind("deep/", 0) == 0 ? "deep" : name] = f["status"].get<std::string>() + ": " + f.value("reason", "");
  }
  EXPECT_EQ(reasons["dangling.vmd"], "unreadable: no such file");
  EXPECT_EQ(reasons["loop.vmd"].rfind("unreadable: ", 0), 0u);
  EXPECT_EQ(reasons["fifo.vmd"], "unreadable: not a regular file");
  EXPECT_EQ(reasons["folder.vmd"], "unreadable: not a regular file");
  EXPECT_EQ(reasons["deep"], "unreadable: cannot list the folder: name too long");
  EXPECT_EQ(reasons["a.vmd"], "fixed: ");
  EXPECT_EQ(reasons["ok.vmd"], "nothing-to-fix: ");
  EXPECT_EQ(reasons.size(), 8u);
  EXPECT_EQ(doc["summary"]["notFixed"], 5);
  for (const char* name : {"dangling.vmd", "loop.vmd", "fifo.vmd", "folder.vmd", "deep"}) {
    EXPECT_NE(r.out.find("# " + lib + "/" + name), std::string::npos) << name;
    EXPECT_NE(r.err.find("tarvel-fix: " + lib + "/" + name), std::string::npos) << name;
  }
}

// Why no copy is made, as it is: negative counts, a cut in the morph keys of
// a motion that needs a fold; and a motion cut after its bone keys that
// needs none has nothing to fix.
TEST(FixTool, ReasonsAreTrue) {
  TempDir dir;
  const std::string twist = TwistMotion(50, 30);  // ends after its bone keys
  auto morphs = [&](int32_t count, int records) {
    VmdWriter w;
    w.Raw(twist.data(), twist.size()).Count(count);
    for (int i = 0; i < records; i++) w.Morph(SjisName("あ"), i, 0.5f);
    return std::string(w.bytes.begin(), w.bytes.end());
  };
  std::string negativeBones = twist;
  negativeBones[50] = char(0xFB), negativeBones[51] = negativeBones[52] = negativeBones[53] = char(0xFF);  // -5
  struct Case {
    const char* name;
    std::string motion;
    int status;
    const char* said;
  } cases[] = {
      {"bones", negativeBones, 1, "not fixed: the file's bone count is negative (-5): no key after it can be read"},
      {"morphs", morphs(-3, 1), 1, "not fixed: the file's morph count is negative (-3): no key after it can be read"},
      {"cut", morphs(4, 3), 1, "not fixed: the file ends inside its morph keys (3 of 4 records)"},
      {"count", twist + std::string("\x01\x00", 2), 1, "not fixed: the file ends inside its morph count"},
      {"nothing", TwistMotion(50, 0) + std::string("\x04\x00\x00\x00", 4), 0, "nothing to fix: "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Ran r = RunFix(Q(dir.Write(std::string(c.name) + ".vmd", c.motion)));
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_NE(r.out.find(c.said), std::string::npos) << r.out;
    EXPECT_FALSE(FileExists(dir.Path(std::string(c.name) + ".vrm.vmd")));
  }
  mkdir(dir.Path("out").c_str(), 0755);
  const Ran r = RunFix("-o " + Q(dir.Path("out")) + " " + Q(dir.Write("t.vmd", twist)));
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err.rfind("tarvel-fix: -o names a folder", 0), 0u) << r.err;
}

// Folding a twist into the arm adds its turn to the arm's own twist: the
// copy's finding that the motion did not have is named, with its cause.
TEST(FixTool, NamesWhatTheCopyNewlyShows) {
  TempDir dir;
  const std::string a = dir.Write("a.vmd", TwistMotion(120, 60));
  const Ran r = RunFix("--json " + Q(a));
  EXPECT_EQ(r.status, 0) << r.err;
  ExpectValidJson(dir, r.out);
  const auto doc = nlohmann::json::parse(r.out, nullptr, false);
  ASSERT_FALSE(doc.is_discarded());
  const auto& added = doc["files"][0]["newInCopy"];
  ASSERT_EQ(added.size(), 1u) << r.out;
  EXPECT_EQ(added[0]["code"], "arm-twist-rough");
  EXPECT_EQ(added[0]["bone"], "左腕");
  EXPECT_EQ(added[0]["foldedIn"], nlohmann::json::array({"左腕捩"}));
  EXPECT_NEAR(added[0]["twist"]["motion"].get<double>(), 120, 0.1);
  EXPECT_NEAR(added[0]["twist"]["copy"].get<double>(), 180, 0.1);
  const Ran text = RunFix(Q(dir.Write("b.vmd", TwistMotion(120, 60))));
  EXPECT_NE(text.out.find("new in the copy: 左腕 twists by 160 degrees or more: expect somewhat rough movement "
                          "(its twist 120.0° in the motion, 180.0° in the copy: 左腕捩 folded into it)\n"),
            std::string::npos) << text.out;
  // A twist that stays below the limit shows nothing new.
  const auto calm = nlohmann::json::parse(RunFix("--json " + Q(dir.Write("c.vmd", TwistMotion(50, 30)))).out);
  EXPECT_EQ(calm["files"][0]["newInCopy"].size(), 0u);
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
