// The report tool run as a program: folders, --fail-on, refused and foreign
// names, usage, failed writes, escaped control characters, files past 2 and
// 4 GiB (sparse), reasons in words, paths too long for the program's buffers,
// missing files and real motions. Every JSON text printed here is checked
// against the schema in docs/ as well. (Each status of a single file, its
// details, messages and exit status are the golden pairs of tests/golden.)
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <map>
#include <cstring>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/app/run_tool.h"
#include "tests/support/tempdir.h"
#include "tests/support/vmdwriter.h"

namespace {

using Json = nlohmann::json;

// A motion of one key at frame 3: the bone turned by degrees about the axis
// (x unless given); cut, it declares a second key that is not there.
std::string OneTurn(const char* bone, double degrees, const double* axis = nullptr, bool cut = false) {
  static const double kX[3] = {1, 0, 0};
  if (!axis) axis = kX;
  const double h = degrees * M_PI / 360.0, s = std::sin(h);
  VmdWriter w;
  w.Header().ModelName("m").Count(cut ? 2 : 1);
  w.Bone(SjisName(bone), 3, 0, 0, 0, float(axis[0] * s), float(axis[1] * s), float(axis[2] * s), float(std::cos(h)));
  if (!cut) w.Count(0);
  return std::string(w.bytes.begin(), w.bytes.end());
}

TEST(Validator, FoldersAreWalkedInSortedOrderForMotionsOnly) {
  TempDir dir;
  std::string m = OneTurn("センター", 30);
  dir.Write("lib/b.vmd", m);
  dir.Write("lib/A.VMD", m);
  dir.Write("lib/notes.txt", m);
  dir.Write("lib/b.vmd.bak", m);
  dir.Write("lib/sub/c.Vmd", m);
  dir.Write("lib/sub/deeper/d.vmd", "not a motion");
  dir.Write("lib/x.vmd/e.vmd", m);  // a folder named like a motion is walked
  std::string lib = dir.Path("lib");
  ASSERT_EQ(symlink(lib.c_str(), dir.Path("lib/loop").c_str()), 0);  // never followed
  ASSERT_EQ(symlink(dir.Path("lib/b.vmd").c_str(), dir.Path("lib/link.vmd").c_str()), 0);

  ToolResult r = RunTool(dir, "--summary " + Q(lib));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out,
            "ok                   1 keys       0.10 s  " + lib + "/A.VMD\n"
            "ok                   1 keys       0.10 s  " + lib + "/b.vmd\n"
            "ok                   1 keys       0.10 s  " + lib + "/link.vmd\n"
            "ok                   1 keys       0.10 s  " + lib + "/sub/c.Vmd\n"
            "not-a-motion         0 keys       0.00 s  " + lib + "/sub/deeper/d.vmd\t"
            "not a VMD motion: header byte 0 is 0x6E\n"
            "ok                   1 keys       0.10 s  " + lib + "/x.vmd/e.vmd\n"
            "total: 6 files: 5 complete, 0 cut, 1 not-a-motion, 0 unreadable; "
            "0 fix, 0 dropout, 0 rough, 0 slight, 5 ok\n");
  EXPECT_EQ(r.err, "tarvel-report: " + lib + "/sub/deeper/d.vmd: not a VMD motion: header byte 0 is 0x6E\n");

  // A folder with no motion says so, and fails.
  ASSERT_EQ(mkdir(dir.Path("none").c_str(), 0700), 0);
  ToolResult empty = RunTool(dir, "--json " + Q(dir.Path("none")));
  EXPECT_EQ(empty.status, 1);
  EXPECT_EQ(empty.err, "tarvel-report: " + dir.Path("none") + ": no motion (.vmd) in the folder\n");
  const Json none = Valid(dir, empty.out, "json")[0];
  EXPECT_TRUE(none["files"].empty() && none["summary"]["files"] == 0) << empty.out;
}

TEST(Validator, FailOnEachLevel) {
  TempDir dir;
  const double kArmAxis[3] = {0.819742024, -0.572733998, 0.0};
  struct Motion {
    const char* name;
    std::string bytes;
    int level;  // 0 ok, 1 slight, 2 rough, 3 dropout, 4 fix
  };
  const Motion motions[] = {
      {"ok", OneTurn("センター", 30), 0},
      {"slight", OneTurn("左腕", 150, kArmAxis), 1},
      {"rough", OneTurn("下半身", 20), 2},
      {"dropout", OneTurn("左足D", 20), 3},
      {"fix", OneTurn("左腕捩", 30), 4},
  };
  const char* levels[] = {"slight", "rough", "dropout", "fix"};
  for (const Motion& m : motions) {
    std::string path = dir.Write(std::string("m/") + m.name + ".vmd", m.bytes);
    for (int l = 0; l < 4; l++) {  // the level after '=' or as the next argument
      ToolResult r = RunTool(dir, std::string("--fail-on") + (l % 2 ? " " : "=") + levels[l] + " " + Q(path));
      EXPECT_EQ(r.status, m.level >= l + 1 ? 3 : 0) << m.name << " --fail-on " << levels[l];
    }
  }
  EXPECT_EQ(RunTool(dir, "--fail-on=ok " + Q(dir.Path("m/ok.vmd"))).status, 2);
  // A file not complete outweighs the verdict.
  std::string c = dir.Write("m/cut.vmd", OneTurn("左腕捩", 30, nullptr, true));
  EXPECT_EQ(RunTool(dir, "--fail-on=slight " + Q(c)).status, 1);
}

// A FIFO is refused unopened (nothing waits on it), a path too long for
// the program's buffers is refused rather than cut to another name.
TEST(Validator, FifosAndOverlongPathsAreRefused) {
  TempDir dir;
  std::string fifo = dir.Path("m.vmd");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::string longName = dir.Path(std::string(600, 'a') + ".vmd");
  ToolResult r = RunTool(dir, "--summary " + Q(fifo) + " " + Q(longName));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "tarvel-report: " + fifo + ": not a regular file\ntarvel-report: " + longName +
                       ": name too long\n");
}

// Under a UTF-8 locale a name with bytes that are not UTF-8 has no UTF-16
// form: it is read through its bytes alone, and judged as the same motion
// under a plain name is; a missing one is missing, whatever its bytes.
TEST(Validator, NameWithNoUtf16FormIsReadAsAnyOther) {
  TempDir dir;
  const std::string kinds[] = {OneTurn("センター", 30, nullptr, true), "hello, world\n"};
  std::string plain, odd;
  for (int i = 0; i < 2; i++) {
    const std::string name = "m/" + std::to_string(i);
    plain += " " + Q(dir.Write(name + ".vmd", kinds[i]));
    odd += " " + Q(dir.Write(name + "\xFF.vmd", kinds[i]));
  }
  const std::string missing = dir.Path("m/missing\xFF.vmd");

  const char* old = getenv("LC_ALL");
  const std::string saved = old ? old : "";
  setenv("LC_ALL", "C.UTF-8", 1);
  ToolResult want = RunTool(dir, "--jsonl" + plain);
  ToolResult got = RunTool(dir, "--jsonl" + odd + " " + Q(missing));
  if (old) setenv("LC_ALL", saved.c_str(), 1);
  else unsetenv("LC_ALL");

  EXPECT_EQ(got.status, 1);
  std::vector<Json> a = Valid(dir, want.out, "jsonl"), b = Valid(dir, got.out, "jsonl");
  ASSERT_EQ(a.size(), 2u);
  ASSERT_EQ(b.size(), 3u);
  // The report's heading names the file only by its UTF-16 form; all else
  // is the same.
  for (int i = 0; i < 2; i++) {
    for (const char* k : {"path", "report"}) {
      a[i].erase(k);
      b[i].erase(k);
    }
    EXPECT_EQ(b[i], a[i]) << i;
  }
  EXPECT_EQ(b[0]["status"], "cut");
  EXPECT_EQ(b[0]["keys"], 1);
  EXPECT_EQ(b[1]["status"], "not-a-motion");
  EXPECT_EQ(b[2]["status"], "unreadable");
  EXPECT_EQ(b[2]["detail"]["reason"], "no such file");
}

TEST(Validator, UsageErrors) {
  TempDir dir;
  std::string m = Q(dir.Write("m/a.vmd", OneTurn("センター", 30)));
  for (const std::string& args : {"--bogus " + m, "--json --summary " + m, "--fail-on= " + m, std::string("--json"),
                                  "--fail-on=fix --fail-on=slight " + m, "--fail-on fix --fail-on fix " + m,
                                  std::string("--fail-on"), std::string()}) {
    ToolResult r = RunTool(dir, args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_EQ(r.out, "") << args;
    EXPECT_NE(r.err.find("usage: tarvel-report"), std::string::npos) << args;
  }
  // After "--" a name that starts with "-" is a file.
  EXPECT_EQ(RunTool(dir, "-- -missing.vmd").status, 1);
  // The help shows an example for CI.
  ToolResult help = RunTool(dir, "--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--fail-on=dropout motions/"), std::string::npos);
}

// --version: the project's version on standard output, before any file is
// looked at; the window program prints it without a display.
TEST(Validator, EveryProgramPrintsTheProjectVersion) {
  TempDir dir;
  ToolResult r = RunTool(dir, "--json --version missing.vmd");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "tarvel-report " TARVEL_VERSION "\n");
  EXPECT_EQ(r.err, "");
  const std::string window = TARVEL_BINARY_DIR "/tarvel";
  if (!FileExists(window)) GTEST_SKIP() << "the window program is not built";
  std::string cmd = "env -u DISPLAY -u WAYLAND_DISPLAY '" + window + "' -ND missing.vmd --version";
  FILE* p = popen(cmd.c_str(), "r");
  ASSERT_NE(p, nullptr);
  char buf[64] = {};
  size_t n = fread(buf, 1, sizeof buf - 1, p);
  EXPECT_EQ(WEXITSTATUS(pclose(p)), 0);
  EXPECT_EQ(std::string(buf, n), "tarvel " TARVEL_VERSION "\n");
}

// More names than the tracks hold: the keys left out are counted in a
// finding; a report longer than its 512 lines ends with a line that says
// how much is not shown, and a finding; the JSON's lists stay whole.
TEST(Validator, KeysWithoutTrackAndLinesPastTheLastAreCounted) {
  TempDir dir;
  const int kBones = 20000;
  VmdWriter w;
  w.Header().ModelName("many").Count(kBones);
  for (int i = 0; i < kBones; i++) w.Bone("b" + std::to_string(i), i, 0, 0, 0, 0.2f, 0, 0, 0.98f);
  w.Count(1).Morph(SjisName("まばたき"), 3, 1.0f).Count(0);
  std::string path = dir.Write("m/many.vmd", w.bytes.data(), w.Size());
  ToolResult r = RunTool(dir, "--json " + Q(path));
  EXPECT_EQ(r.status, 0);
  const Json f = Valid(dir, r.out, "json")[0]["files"][0];
  const int tracked = static_cast<int>(f["bones"].size());
  EXPECT_GT(tracked, 7000);
  EXPECT_LT(tracked, 8192);
  EXPECT_EQ(f["keys"], tracked + 1);
  ASSERT_EQ(f["morphs"].size(), 1u);  // the morph list is lost from the report, not from the JSON
  const int left = kBones - tracked;
  std::map<std::string, std::string> findings;
  for (const Json& x : f["findings"]) findings[x["code"]] = x["message"];
  EXPECT_EQ(findings["keys-not-counted"],
            std::to_string(left) + " bone keys of " + std::to_string(left) +
                " bone names were not counted: the motion names more bones than the 8191 tracks hold");
  ASSERT_EQ(f["report"].size(), 512u);
  const std::string last = f["report"][511]["text"];
  EXPECT_EQ(last.rfind("  ... the report goes on: ", 0), 0u) << last;
  const std::string hidden = last.substr(26, last.find(' ', 26) - 26);
  EXPECT_EQ(findings["report-cut"], "the report holds 512 lines: its last " + hidden +
                                        " lines are not shown (the bones and morphs are all listed in the JSON)");
  EXPECT_GT(std::stoi(hidden), 100);
}

// A walk tells of everything named like a motion that it does not read, as a
// file with its status and reason, in every output; the exit status says so.
TEST(Validator, WalksAccountForEveryMotionLikeName) {
  TempDir dir;
  std::string lib = dir.Path("lib");
  dir.Write("lib/a.vmd", OneTurn("センター", 30));
  ASSERT_EQ(symlink(dir.Path("lib/gone").c_str(), dir.Path("lib/dangling.vmd").c_str()), 0);
  ASSERT_EQ(symlink("loop.vmd", dir.Path("lib/loop.vmd").c_str()), 0);
  ASSERT_EQ(mkfifo(dir.Path("lib/fifo.vmd").c_str(), 0600), 0);
  ASSERT_EQ(symlink(lib.c_str(), dir.Path("lib/folder.vmd").c_str()), 0);
  ASSERT_EQ(symlink(lib.c_str(), dir.Path("lib/folderlink").c_str()), 0);  // not like a motion
  // A folder too deep to be listed: its path passes the system's limit.
  std::string deep = lib + "/deep";
  ASSERT_EQ(mkdir(deep.c_str(), 0700), 0);
  int fd = open(deep.c_str(), O_RDONLY | O_DIRECTORY);
  const std::string part(200, 'd');
  for (int i = 0; i < 24 && fd >= 0; i++) {
    ASSERT_EQ(mkdirat(fd, part.c_str(), 0700), 0);
    int next = openat(fd, part.c_str(), O_RDONLY | O_DIRECTORY);
    close(fd);
    fd = next;
  }
  ASSERT_GE(fd, 0);
  close(fd);

  ToolResult json = RunTool(dir, "--json " + Q(lib));
  ToolResult summary = RunTool(dir, "--summary " + Q(lib));
  ToolResult text = RunTool(dir, Q(lib));
  ASSERT_EQ(system(("rm -rf " + Q(deep)).c_str()), 0);  // deeper than the test folder's own removal goes
  for (const ToolResult* r : {&json, &summary, &text}) EXPECT_EQ(r->status, 1);
  const Json all = Valid(dir, json.out, "json")[0], files = all["files"];
  std::map<std::string, std::string> reasons;
  for (const Json& x : files) {
    std::string p = x["path"];
    std::string name = p.substr(lib.size() + 1, p.find('/', lib.size() + 1) - lib.size() - 1);
    reasons[name] = x["status"].get<std::string>() + ": " +
                    (x.contains("detail") ? x["detail"].value("reason", "") : "");
    EXPECT_NE(summary.out.find(p), std::string::npos) << p;
    EXPECT_NE(text.out.find("# " + p + "\n"), std::string::npos) << p;
  }
  EXPECT_EQ(reasons["a.vmd"], "complete: ");
  EXPECT_EQ(reasons["dangling.vmd"], "unreadable: no such file");
  EXPECT_EQ(reasons["loop.vmd"].rfind("unreadable: ", 0), 0u);
  EXPECT_EQ(reasons["fifo.vmd"], "unreadable: not a regular file");
  EXPECT_EQ(reasons["folder.vmd"], "unreadable: not a regular file");
  EXPECT_EQ(reasons["deep"], "unreadable: cannot list the folder: name too long");
  EXPECT_EQ(files.size(), 6u);
  EXPECT_EQ(all["summary"]["status"]["unreadable"], 5);
}

// A write that fails ends the run with a message and a non-zero exit: a full
// device, a pipe whose reader has gone.
TEST(Validator, FailedWritesEndTheRun) {
  TempDir dir;
  std::string m = dir.Write("m/a.vmd", OneTurn("センター", 30));
  for (const char* format : {"", "--json ", "--summary ", "--jsonl "}) {
    ToolResult r = RunTool(dir, std::string(format) + Q(m) + " >/dev/full");
    EXPECT_EQ(r.status, 1) << format;
    EXPECT_EQ(r.err, "tarvel-report: write error: no space left on the device\n") << format;
  }
  // The reader has closed its end before anything is written.
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  close(fds[0]);
  RunTool(dir, "--help >/dev/null");  // puts the program in dir
  pid_t pid = fork();
  if (pid == 0) {
    dup2(fds[1], 1);
    int err = open(dir.Path("pipe.err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(err, 2);
    execl(dir.Path("tarvel-report").c_str(), "tarvel-report", m.c_str(), m.c_str(), (char*)nullptr);
    _exit(127);
  }
  close(fds[1]);
  int st = 0;
  waitpid(pid, &st, 0);
  ASSERT_TRUE(WIFEXITED(st)) << "ended by a signal";
  EXPECT_EQ(WEXITSTATUS(st), 1);
  EXPECT_EQ(ReadFileBytes(dir.Path("pipe.err")), "tarvel-report: write error: broken pipe (the reader has gone)\n");
}

// Control characters in names and texts are escaped in the text views, so no
// name can forge a line; the JSON keeps the true bytes.
TEST(Validator, ControlCharactersCannotForgeLines) {
  TempDir dir;
  VmdWriter w;
  w.Header().ModelName(std::string("a\nb\x1b[31m")).Count(1);
  w.Bone(std::string("x\x07y"), 0, 0.5f, 0, 0, 0, 0, 0, 1).Count(0);
  std::string fake = dir.Write("m/x\n#verdict\n(OK): fake.vmd", w.bytes.data(), w.Size());
  std::string cut = dir.Write("m/c\x1b]0;t\x07.vmd", "Vocaloid Motion Data 0002");
  const std::string shownFake = dir.Path("m/x\\x0a#verdict\\x0a(OK): fake.vmd");
  const std::string shownCut = dir.Path("m/c\\x1b]0;t\\x07.vmd");

  ToolResult text = RunTool(dir, Q(fake) + " " + Q(cut));
  EXPECT_EQ(text.status, 1);
  EXPECT_NE(text.out.find("# " + shownFake + "\n"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("a\\x0ab\\x1b[31m  (VMD) "), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("x\\x07y"), std::string::npos) << text.out;
  size_t verdicts = 0;
  for (size_t at = 0; (at = text.out.find("\n#verdict\n", at)) != std::string::npos; at++) verdicts++;
  EXPECT_EQ(verdicts, 2u);  // one for each file read, none forged
  EXPECT_EQ(text.out.find("\n(OK): fake.vmd"), std::string::npos);
  EXPECT_EQ(text.out.find('\x1b'), std::string::npos);
  EXPECT_EQ(text.out.find('\x07'), std::string::npos);
  const std::string why = "cut short in the header: the file ends at byte 25; every key is lost";
  EXPECT_EQ(text.err, "tarvel-report: " + shownCut + ": " + why + "\n");

  ToolResult summary = RunTool(dir, "--summary " + Q(fake) + " " + Q(cut));
  EXPECT_NE(summary.out.find("  " + shownFake + "\ncut:ok "), std::string::npos) << summary.out;
  EXPECT_NE(summary.out.find("  " + shownCut + "\t" + why + "\ntotal: 2 files"), std::string::npos);

  ToolResult json = RunTool(dir, "--jsonl " + Q(fake));
  const Json j = Valid(dir, json.out, "jsonl")[0];
  EXPECT_EQ(j["path"], fake);
  EXPECT_EQ(j["modelName"], "a\nb\x1b[31m");
  EXPECT_EQ(j["bones"][0]["name"], "x\x07y");
}

// ---- at the limits ----------------------------------------------------------

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
  const std::vector<Json> f = Valid(dir, r.out, "jsonl");
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
  const std::vector<Json> f = Valid(dir, r.out, "jsonl");
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

// ---- missing files and real motions --------------------------------------

TEST(ReportTool, MissingFiles) {
  TempDir dir;
  // Nothing was read: no report, no verdict, the reason on standard error.
  std::string path = dir.Path("missing.vmd");
  ToolResult missing = RunTool(dir, Q(path));
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
  ToolResult r = RunTool(dir, Q(dance));
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("ffffff\t元モデル名: つみ式ミクさんv4  (VMD) \n"), std::string::npos);
  for (const char* bone : {"左腕捩", "左手捩", "右腕捩", "右手捩"})
    EXPECT_NE(r.out.find(std::string("ff0000\t  ") + bone + " "), std::string::npos) << bone;
  for (const char* bone : {"左肩P", "右肩P"})
    EXPECT_NE(r.out.find(std::string("ff7800\t  ") + bone + " "), std::string::npos) << bone;
  EXPECT_NE(r.out.find("#verdict\n(要修正): "), std::string::npos);
  EXPECT_NE(r.out.find("  [左腕捩] [左手捩] [右腕捩] [右手捩] \n"), std::string::npos);
  EXPECT_NE(r.out.find("(確認要): "), std::string::npos);

  // One bone turned by 45 degrees about one axis and back, keys 0 to 49.
  ToolResult cube = RunTool(dir, Q(Sample("three-mmd-loader__test_1bone_cube_motion.vmd")));
  EXPECT_EQ(cube.status, 0);
  EXPECT_NE(cube.out.find("ffffff\t  全ての親  (6 keys) (frame 0 - 49) (rot  45.0) \n"),
            std::string::npos);
  EXPECT_NE(cube.out.find("#verdict\n(OK): "), std::string::npos);
}

}  // namespace
