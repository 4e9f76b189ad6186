// The report tool as a validator over many files: folders, --fail-on,
// refused and foreign names, usage, failed writes, escaped control
// characters. Every JSON text printed here is checked against the schema in
// docs/ as well. (Each status of a single file, its details, messages and
// exit status are the golden pairs of tests/golden.)
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
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

std::string Bytes(const VmdWriter& w) { return std::string(w.bytes.begin(), w.bytes.end()); }

Json Parse(const std::string& text) {
  Json j = Json::parse(text, nullptr, false);
  EXPECT_FALSE(j.is_discarded()) << text;
  return j;
}

std::vector<Json> ParseLines(const std::string& text) {
  std::vector<Json> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(Parse(text.substr(start, end - start)));
    start = end + 1;
  }
  return lines;
}

// Checks text (a document, or JSON Lines) against the schema with
// python3-jsonschema.
void ExpectValid(const TempDir& dir, const std::string& text, const char* kind) {
  std::string file = dir.Write(std::string("checked.") + kind, text);
  std::string cmd = "python3 '" TARVEL_SOURCE_DIR "/tests/app/check_report_json.py' '" TARVEL_SOURCE_DIR
                    "/docs/report.schema.json' " +
                    std::string(kind) + " " + Q(file);
  int st = system(cmd.c_str());
  ASSERT_TRUE(WIFEXITED(st));
  ASSERT_NE(WEXITSTATUS(st), 77) << "python3-jsonschema is missing (scripts/bootstrap installs it)";
  EXPECT_EQ(WEXITSTATUS(st), 0) << text.substr(0, 2000);
}

// Rotations: q = (axis * sin(a/2), cos(a/2)).
struct Rot {
  float x, y, z, w;
};
Rot About(float ax, float ay, float az, double degrees) {
  double h = degrees * M_PI / 360.0, s = std::sin(h);
  return {float(ax * s), float(ay * s), float(az * s), float(std::cos(h))};
}

VmdWriter& Turn(VmdWriter& w, const char* bone, int frame, Rot r) {
  return w.Bone(SjisName(bone), frame, 0, 0, 0, r.x, r.y, r.z, r.w);
}

// One bone key of a bone turned by angle degrees about x, alone in a motion.
std::string OneTurn(const char* bone, double degrees, Rot r = {0, 0, 0, 0}) {
  VmdWriter w;
  w.Header().ModelName("m").Count(1);
  if (r.w == 0) r = About(1, 0, 0, degrees);
  Turn(w, bone, 3, r);
  w.Count(0);
  return Bytes(w);
}

// A motion with every section, and where each one starts.
struct Full {
  VmdWriter w;
  size_t bones, morphs, cameras, lights, shadows, showiks, end;
};
Full FullMotion() {
  Full f;
  VmdWriter& w = f.w;
  w.Header().ModelName("full");
  f.bones = w.Size();
  w.Count(2);
  Turn(w, "センター", 0, About(1, 0, 0, 10));
  Turn(w, "センター", 30, About(1, 0, 0, 20));
  f.morphs = w.Size();
  w.Count(2).Morph(SjisName("あ"), 0, 0.0f).Morph(SjisName("あ"), 12, 1.0f);
  f.cameras = w.Size();
  w.Count(1).Camera(40);
  f.lights = w.Size();
  w.Count(1).Light(41);
  f.shadows = w.Size();
  w.Count(1).SelfShadow(42);
  f.showiks = w.Size();
  w.Count(2);
  w.ShowIk(5, 1, {{SjisName("左足ＩＫ"), 1}, {SjisName("右足ＩＫ"), 1}});
  w.ShowIk(60, 1, {{SjisName("左足ＩＫ"), 1}});
  f.end = w.Size();
  return f;
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
  EXPECT_EQ(empty.out, "{\"files\":[],\"summary\":{\"files\":0,\"status\":{\"complete\":0,\"cut\":0,"
                       "\"not-a-motion\":0,\"unreadable\":0},\"verdict\":{\"fix\":0,\"dropout\":0,"
                       "\"rough\":0,\"slight\":0,\"ok\":0}}}\n");
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
      {"slight", OneTurn("左腕", 0, About(kArmAxis[0], kArmAxis[1], kArmAxis[2], 150)), 1},
      {"rough", OneTurn("下半身", 20), 2},
      {"dropout", OneTurn("左足D", 20), 3},
      {"fix", OneTurn("左腕捩", 30), 4},
  };
  const char* levels[] = {"slight", "rough", "dropout", "fix"};
  for (const Motion& m : motions) {
    std::string path = dir.Write(std::string("m/") + m.name + ".vmd", m.bytes);
    ToolResult plain = RunTool(dir, "--json " + Q(path));
    EXPECT_EQ(plain.status, 0) << m.name;
    EXPECT_EQ(Parse(plain.out)["files"][0]["verdict"]["category"], m.name);
    // where the bone turns most (its one key, at frame 3); it never moves
    EXPECT_EQ(Parse(plain.out)["files"][0]["bones"][0]["rotationFrame"], 3) << m.name;
    EXPECT_TRUE(Parse(plain.out)["files"][0]["bones"][0]["positionFrame"].is_null()) << m.name;
    for (int l = 0; l < 4; l++) {
      ToolResult r = RunTool(dir, std::string("--fail-on=") + levels[l] + " " + Q(path));
      EXPECT_EQ(r.status, m.level >= l + 1 ? 3 : 0) << m.name << " --fail-on=" << levels[l];
    }
  }
  EXPECT_EQ(RunTool(dir, "--fail-on=ok " + Q(dir.Path("m/ok.vmd"))).status, 2);
  // A file not complete outweighs the verdict.
  VmdWriter cut;
  cut.Header().ModelName("c").Count(2);
  Turn(cut, "左腕捩", 0, About(1, 0, 0, 30));
  std::string c = dir.Write("m/cut.vmd", Bytes(cut));
  EXPECT_EQ(RunTool(dir, "--fail-on=slight " + Q(c)).status, 1);

  // Several categories at once: the most severe, and all of them.
  VmdWriter both;
  both.Header().ModelName("b").Count(3);
  Turn(both, "左腕捩", 0, About(1, 0, 0, 30));
  Turn(both, "左足D", 0, About(1, 0, 0, 30));
  Turn(both, "腰", 0, About(1, 0, 0, 30));
  both.Count(0);
  ToolResult r = RunTool(dir, "--json " + Q(dir.Write("m/both.vmd", Bytes(both))));
  ExpectValid(dir, r.out, "json");
  const Json v = Parse(r.out)["files"][0]["verdict"];
  EXPECT_EQ(v["category"], "fix");
  EXPECT_EQ(v["categories"], Json::parse(R"(["fix","dropout","rough"])"));
  EXPECT_EQ(v["text"].get<std::string>().rfind("(要修正): ", 0), 0u);
}

// A FIFO is refused unopened (nothing waits on it), a path too long for
// the program's buffers is refused rather than cut to another name.
TEST(Validator, FifosAndOverlongPathsAreRefused) {
  TempDir dir;
  std::string fifo = dir.Path("m.vmd");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::string longName = dir.Path(std::string(600, 'a') + ".vmd");
  ToolResult r = RunTool(dir, "--jsonl " + Q(fifo) + " " + Q(longName));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "tarvel-report: " + fifo + ": not a regular file\ntarvel-report: " + longName +
                       ": name too long\n");
  ExpectValid(dir, r.out, "jsonl");
  std::vector<Json> files = ParseLines(r.out);
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[0]["detail"]["reason"], "not a regular file");
  EXPECT_EQ(files[1]["path"], longName);
  EXPECT_EQ(files[1]["status"], "unreadable");
}

// Under a UTF-8 locale a name with bytes that are not UTF-8 has no UTF-16
// form: it is read through its bytes alone, and judged as the same motion
// under a plain name is; a missing one is missing, whatever its bytes.
TEST(Validator, NameWithNoUtf16FormIsReadAsAnyOther) {
  TempDir dir;
  Full f = FullMotion();
  VmdWriter morphCut = f.w;
  morphCut.Cut(f.morphs + 4 + 23 + 20);
  const std::string kinds[] = {Bytes(morphCut), "hello, world\n"};
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
  std::vector<Json> a = ParseLines(want.out), b = ParseLines(got.out);
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
  EXPECT_EQ(b[0]["keys"], 3);
  EXPECT_EQ(b[1]["status"], "not-a-motion");
  EXPECT_EQ(b[2]["status"], "unreadable");
  EXPECT_EQ(b[2]["detail"]["reason"], "no such file");
}

TEST(Validator, UsageErrors) {
  TempDir dir;
  std::string m = dir.Write("m/a.vmd", OneTurn("センター", 30));
  for (const char* args : {"--bogus", "--json --summary", "--fail-on=", "--json"}) {
    ToolResult r = RunTool(dir, std::string(args) + (strcmp(args, "--json") ? " " + Q(m) : ""));
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_EQ(r.out, "") << args;
    EXPECT_NE(r.err.find("usage: tarvel-report"), std::string::npos) << args;
  }
  // After "--" a name that starts with "-" is a file.
  EXPECT_EQ(RunTool(dir, "-- -missing.vmd").status, 1);
  // The help shows an example for CI.
  EXPECT_NE(RunTool(dir, "--help").out.find("--fail-on=dropout motions/"), std::string::npos);
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

// The summary's totals line counts every file by status and category.
TEST(Validator, SummaryEndsWithTotals) {
  TempDir dir;
  auto lastLine = [](const std::string& out) {
    const size_t at = out.rfind('\n', out.size() - 2);
    return at == std::string::npos ? out : out.substr(at + 1);
  };
  std::string ok = dir.Write("m/ok.vmd", OneTurn("センター", 30));
  std::string fix = dir.Write("m/fix.vmd", OneTurn("左腕捩", 30));
  ToolResult r = RunTool(dir, "--summary " + Q(ok) + " " + Q(fix) + " " + Q(dir.Path("none.vmd")));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(lastLine(r.out),
            "total: 3 files: 2 complete, 0 cut, 0 not-a-motion, 1 unreadable; "
            "1 fix, 0 dropout, 0 rough, 0 slight, 1 ok\n");
  EXPECT_EQ(lastLine(RunTool(dir, "--summary " + Q(ok)).out),
            "total: 1 file: 1 complete, 0 cut, 0 not-a-motion, 0 unreadable; "
            "0 fix, 0 dropout, 0 rough, 0 slight, 1 ok\n");
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
  std::string path = dir.Write("m/many.vmd", Bytes(w));
  ToolResult r = RunTool(dir, "--json " + Q(path));
  EXPECT_EQ(r.status, 0);
  ExpectValid(dir, r.out, "json");
  const Json f = Parse(r.out)["files"][0];
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
  // The text report ends the same way.
  std::string text = RunTool(dir, Q(path)).out;
  EXPECT_NE(text.find("ffffff\t" + last + "\n#verdict\n"), std::string::npos);
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
  ExpectValid(dir, json.out, "json");
  const Json files = Parse(json.out)["files"];
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
  EXPECT_EQ(Parse(json.out)["summary"]["status"]["unreadable"], 5);
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
  w.Bone(std::string("x\x07y"), 0, 0.5f, 0, 0, 0, 0, 0, 1);
  std::string fake = dir.Write("m/x\n#verdict\n(OK): fake.vmd", Bytes(w.Count(0)));
  std::string cut = dir.Write("m/c\x1b]0;t\x07.vmd", "Vocaloid Motion Data 0002");
  const std::string shownFake = dir.Path("m/x\\x0a#verdict\\x0a(OK): fake.vmd");
  const std::string shownCut = dir.Path("m/c\\x1b]0;t\\x07.vmd");

  ToolResult text = RunTool(dir, Q(fake) + " " + Q(cut));
  EXPECT_EQ(text.status, 1);
  EXPECT_NE(text.out.find("# " + shownFake + "\n"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("  (VMD) "), std::string::npos);
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
  EXPECT_EQ(summary.out, "ok                   1 keys       0.00 s  " + shownFake + "\n"
                         "cut:ok               0 keys       0.00 s  " + shownCut + "\t" + why + "\n"
                         "total: 2 files: 1 complete, 1 cut, 0 not-a-motion, 0 unreadable; "
                         "0 fix, 0 dropout, 0 rough, 0 slight, 2 ok\n");

  ToolResult json = RunTool(dir, "--jsonl " + Q(fake));
  ExpectValid(dir, json.out, "jsonl");
  const Json j = Parse(json.out);
  EXPECT_EQ(j["path"], fake);
  EXPECT_EQ(j["modelName"], "a\nb\x1b[31m");
  EXPECT_EQ(j["bones"][0]["name"], "x\x07y");
}

}  // namespace
