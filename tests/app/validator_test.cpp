// The report tool as a validator: statuses of the read, exit codes, JSON,
// JSON Lines and summaries, folders, --fail-on, and the facts the reader
// passes by. Every JSON text printed here is checked against the schema in
// docs/ as well.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
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

TEST(Validator, EachStatusWithItsDetailsExitCodeAndMessage) {
  TempDir dir;
  VmdWriter cut;
  cut.Header().ModelName("c").Count(3);
  Turn(cut, "下半身", 0, About(1, 0, 0, 30));
  Turn(cut, "下半身", 9, About(1, 0, 0, 30));
  std::string good = dir.Write("m/good.vmd", OneTurn("センター", 30));
  std::string bone = dir.Write("m/bone_cut.vmd", Bytes(cut));  // 2 of 3 bone keys
  std::string text = dir.Write("m/text.vmd", "hello, world\n");
  std::string empty = dir.Write("m/empty.vmd", "");
  std::string missing = dir.Path("m/missing.vmd");
  std::string args = Q(good) + " " + Q(bone) + " " + Q(text) + " " + Q(empty) + " " + Q(missing);

  ToolResult r = RunTool(dir, "--json " + args);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "tarvel-report: " + bone +
                       ": cut short in the bone section: 2 of 3 records read, the file ends at "
                       "byte 276\n"
                       "tarvel-report: " + text + ": not a VMD motion: header byte 0 is 0x68\n"
                       "tarvel-report: " + empty +
                       ": not a VMD motion: the file ends at byte 0, inside the header\n"
                       "tarvel-report: " + missing + ": no such file\n");
  ExpectValid(dir, r.out, "json");
  Json doc = Parse(r.out);
  const Json& files = doc["files"];
  ASSERT_EQ(files.size(), 5u);
  const char* statuses[] = {"complete", "cut", "not-a-motion", "not-a-motion", "unreadable"};
  for (int i = 0; i < 5; i++) EXPECT_EQ(files[i]["status"], statuses[i]) << i;
  EXPECT_EQ(files[1]["detail"]["section"], "bone");
  EXPECT_EQ(files[1]["detail"]["declared"], 3);
  EXPECT_EQ(files[1]["detail"]["read"], 2);
  EXPECT_EQ(files[1]["detail"]["endOffset"], 54 + 2 * 111);
  EXPECT_EQ(files[1]["verdict"]["category"], "rough");  // judged on what was read
  EXPECT_EQ(files[2]["detail"]["fileBytes"], 13);  // the file's size, not the bytes looked at
  EXPECT_EQ(files[4]["detail"]["code"], 2);
  // Files that were not read are judged nowhere.
  for (int i = 2; i < 5; i++) {
    EXPECT_FALSE(files[i].contains("verdict")) << i;
    EXPECT_FALSE(files[i].contains("report")) << i;
  }
  EXPECT_EQ(doc["summary"]["files"], 5);
  EXPECT_EQ(doc["summary"]["status"],
            Json::parse(R"({"complete":1,"cut":1,"not-a-motion":2,"unreadable":1})"));
  EXPECT_EQ(doc["summary"]["verdict"],
            Json::parse(R"({"fix":0,"dropout":0,"rough":1,"slight":0,"ok":1})"));

  // The text view: a status line for each file that is not complete, a
  // verdict only for those that were read.
  r = RunTool(dir, args);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("#status cut: cut short in the bone section: 2 of 3 records read, the "
                       "file ends at byte 276\n#verdict\n(やや荒れ)"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("# " + text + "\n#status not-a-motion: not a VMD motion: header byte 0 "
                       "is 0x68\n# " + empty),
            std::string::npos)
      << r.out;
  size_t verdicts = 0;
  for (size_t at = r.out.find("#verdict"); at != std::string::npos; at = r.out.find("#verdict", at + 1))
    verdicts++;
  EXPECT_EQ(verdicts, 2u);
  EXPECT_EQ(RunTool(dir, Q(good)).status, 0);
}

TEST(Validator, CutInEverySectionAndCleanEndsBetweenSections) {
  TempDir dir;
  Full f = FullMotion();
  struct Case {
    const char* name;
    size_t size;
    const char* status;
    const char* section;  // where the file ends, for a cut
    bool inCount;
    int read;             // records of that section read
  };
  const Case cases[] = {
      {"padding", 27, "cut", "header", false, -1},
      {"model", 40, "cut", "modelName", false, -1},
      {"bonecount", f.bones + 2, "cut", "bone", true, 0},
      {"bone", f.bones + 4 + 111 + 50, "cut", "bone", false, 1},
      {"morph", f.morphs + 4 + 23 + 20, "cut", "morph", false, 1},
      {"camera", f.cameras + 4 + 40, "cut", "camera", false, 0},
      {"light", f.lights + 4 + 20, "cut", "light", false, 0},
      {"shadow", f.shadows + 4 + 6, "cut", "selfShadow", false, 0},
      {"shadowcount", f.shadows + 3, "cut", "selfShadow", true, 0},
      {"ikname", f.showiks + 4 + 9 + 10, "cut", "showIk", false, 0},
      {"ikflag", f.end - 1, "cut", "showIk", false, 1},
      {"ikcount", f.showiks + 4 + 51 + 7, "cut", "showIk", false, 1},
      {"after_bones", f.morphs, "complete", "", false, 0},
      {"after_morphs", f.cameras, "complete", "", false, 0},
      {"after_shadows", f.showiks, "complete", "", false, 0},
      {"whole", f.end, "complete", "", false, 0},
  };
  std::string args;
  for (const Case& c : cases) {
    VmdWriter w = f.w;
    w.Cut(c.size);
    args += " " + Q(dir.Write(std::string("m/") + c.name + ".vmd", Bytes(w)));
  }
  ToolResult lines = RunTool(dir, "--jsonl" + args);
  EXPECT_EQ(lines.status, 1);
  ExpectValid(dir, lines.out, "jsonl");
  std::vector<Json> files = ParseLines(lines.out);
  ASSERT_EQ(files.size(), std::size(cases));
  for (size_t i = 0; i < files.size(); i++) {
    const Case& c = cases[i];
    const Json& j = files[i];
    SCOPED_TRACE(c.name);
    EXPECT_EQ(j["status"], c.status);
    EXPECT_EQ(j["fileBytes"], c.size);
    if (std::string(c.status) != "cut") continue;
    EXPECT_EQ(j["detail"]["section"], c.section);
    EXPECT_EQ(j["detail"]["inCount"], c.inCount);
    EXPECT_EQ(j["detail"]["endOffset"], c.size);
    if (c.read >= 0) {
      EXPECT_EQ(j["detail"]["read"], c.read);
    }
  }
  // The whole motion: its sections, keys and duration.
  const Json& whole = files.back();
  EXPECT_EQ(whole["sections"]["showIk"], Json::parse(R"({"present":true,"count":2,"read":2})"));
  EXPECT_EQ(whole["keys"], 4);
  EXPECT_EQ(whole["duration"], Json::parse(R"({"frames":60,"seconds":2.0})"));
  EXPECT_EQ(files[13]["sections"]["light"]["present"], false);

  // --json holds the same objects, in the same order.
  ToolResult doc = RunTool(dir, "--json" + args);
  Json all = Parse(doc.out);
  ASSERT_EQ(all["files"].size(), files.size());
  for (size_t i = 0; i < files.size(); i++) EXPECT_EQ(all["files"][i], files[i]) << i;
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
            "not-a-motion         0 keys       0.00 s  " + lib + "/sub/deeper/d.vmd\n"
            "ok                   1 keys       0.10 s  " + lib + "/x.vmd/e.vmd\n"
            "total: 6 files: 5 complete, 0 cut, 1 not-a-motion, 0 unreadable; "
            "0 fix, 0 dropout, 0 rough, 0 slight, 5 ok\n");
  EXPECT_EQ(r.err, "tarvel-report: " + lib + "/sub/deeper/d.vmd: not a VMD motion: header byte 0 is 0x6E\n");

  ASSERT_EQ(mkdir(dir.Path("none").c_str(), 0700), 0);
  ToolResult empty = RunTool(dir, "--json " + Q(dir.Path("none")));
  EXPECT_EQ(empty.status, 0);
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

TEST(Validator, NamesIkSwitchedOffAndCameraOnlyAreInfoFindings) {
  TempDir dir;
  VmdWriter w;
  w.Header().ModelName("n").Count(3);
  w.Bone(std::string("\x81\x20xy"), 0, 0, 0, 0, 0.2f, 0, 0, 0.98f);            // bad trail byte
  w.Bone(std::string("abcdefghijklmn\x82"), 1, 0, 0, 0, 0.2f, 0, 0, 0.98f);  // cut character
  w.Bone(SjisName("左人指１"), 2, 0, 0, 0, 0.2f, 0, 0, 0.98f);  // a finger: kept, not listed
  w.Count(0).Count(0).Count(0).Count(0).Count(3);
  w.ShowIk(10, 1, {{SjisName("左足ＩＫ"), 0}, {SjisName("右足ＩＫ"), 1}});
  w.ShowIk(5, 1, {{SjisName("左足ＩＫ"), 0}});
  w.ShowIk(20, 1, {{SjisName("左足ＩＫ"), 1}});
  w.Raw("trail", 5);
  ToolResult r = RunTool(dir, "--json " + Q(dir.Write("m/names.vmd", Bytes(w))));
  EXPECT_EQ(r.status, 0);
  ExpectValid(dir, r.out, "json");
  const Json f = Parse(r.out)["files"][0];
  EXPECT_EQ(f["verdict"]["category"], "ok");  // info never changes it
  EXPECT_EQ(f["trailingBytes"], 5);
  // Tracks come in the name table's order: the vocabulary's finger first.
  ASSERT_EQ(f["bones"].size(), 3u);
  EXPECT_EQ(f["bones"][0]["name"], "左人指１");
  EXPECT_EQ(f["bones"][0]["listed"], false);
  EXPECT_EQ(f["bones"][1]["nameHex"], "81207879");
  EXPECT_EQ(f["bones"][1]["flags"], Json::parse(R"(["name-not-shift-jis"])"));
  EXPECT_EQ(f["bones"][2]["name"], "abcdefghijklmn");
  EXPECT_EQ(f["bones"][2]["nameHex"], "6162636465666768696a6b6c6d6e82");
  EXPECT_EQ(f["bones"][2]["flags"], Json::parse(R"(["name-cut"])"));
  std::vector<std::string> codes;
  for (const Json& x : f["findings"]) {
    EXPECT_EQ(x["severity"], "info");
    codes.push_back(x["code"]);
  }
  EXPECT_EQ(codes, (std::vector<std::string>{"ik-off", "name-not-shift-jis", "name-cut"}));
  EXPECT_EQ(f["findings"][0]["ik"], "左足ＩＫ");
  EXPECT_EQ(f["findings"][0]["frame"], 5);  // the first frame it is off

  VmdWriter cam;
  cam.Header().ModelName("").Count(0).Count(0).Count(2).Camera(0).Camera(90);
  r = RunTool(dir, "--jsonl " + Q(dir.Write("m/camera.vmd", Bytes(cam))));
  EXPECT_EQ(r.status, 0);
  ExpectValid(dir, r.out, "jsonl");
  const Json c = Parse(r.out);
  EXPECT_EQ(c["findings"][0]["code"], "camera-only");
  EXPECT_EQ(c["verdict"]["category"], "ok");
  EXPECT_EQ(c["duration"]["seconds"], 3.0);
}

TEST(Validator, JsonReportHoldsExactlyTheTextLines) {
  TempDir dir;
  std::string sample = std::string(TARVEL_SAMPLES_DIR) + "/web-mmd__GimmeGimme_with_emotion.vmd";
  if (!FileExists(sample)) sample = dir.Write("m/one.vmd", OneTurn("左腕捩", 30));
  ToolResult text = RunTool(dir, Q(sample));
  ToolResult json = RunTool(dir, "--json " + Q(sample));
  ExpectValid(dir, json.out, "json");
  const Json f = Parse(json.out)["files"][0];
  std::string lines = "# " + sample + "\n";
  for (const Json& l : f["report"])
    lines += l["colour"].get<std::string>() + "\t" + l["text"].get<std::string>() + "\n";
  lines += "#verdict\n" + f["verdict"]["text"].get<std::string>() + "\n";
  EXPECT_EQ(lines, text.out);
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

// A file that ends inside the header is told where it ends, not where the
// header check stood when it found the end.
TEST(Validator, HeaderEndsWhereTheFileEnds) {
  TempDir dir;
  std::string shortFile = dir.Write("m/short.vmd", "Vocaloid M");
  ToolResult r = RunTool(dir, "--jsonl " + Q(shortFile));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "tarvel-report: " + shortFile +
                       ": not a VMD motion: the file ends at byte 10, inside the header\n");
  std::vector<Json> files = ParseLines(r.out);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0]["detail"]["fileBytes"], 10);
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

}  // namespace
