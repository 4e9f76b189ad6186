#include "analysis/file_report.h"
#include "analysis/verdict.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "analysis/findings.h"
#include "analysis/report_buffer.h"
#include "base/encoding.h"
#include "base/runenv.h"
#include "names/alias.h"
#include "names/nametable.h"
#include "names/vocabulary.h"
#include "platform/headless/headless.h"
#include "tests/support/tempdir.h"
#include "vmd/vmdread.h"

namespace {

std::string SJ(const std::string& utf8) {
  static char buf[kBoxText * 2];
  utf8tosjis(buf, sizeof buf, utf8.c_str());
  return buf;
}

// The verdict texts as UTF-8 (the box texts are checked in both forms).
const std::string kLHead = "(要修正): MMD での手修正またはツール等での変換が必須です. \r\n";
const std::string kLReason = "\r\n  理由: このまま使用するとボーン抜けが発生します. \r\n  --\r\n  ";
const std::string kUsed = "が使用されています. ";
const std::string kDHeadConvert =
    "(確認要): ReadMe 中で「必要」と記載されていれば、MMD での手修正またはツール等での変換が必須です. \r\n";
const std::string kDHeadEdit =
    "(確認要): ReadMe 中で「必要」と記載されていれば、MMD での手編集／手修正が必須です. \r\n";
const std::string kDReason = "\r\n  理由: そのままでは再現できないボーンの動きが含まれます. \r\n  --\r\n  ";
const std::string kRHead =
    "(やや荒れ): やや荒れる／ややズレると予測. \r\n\r\n  未変換なら、変換／修正によって軽減できる場合が多く、 "
    "\r\n  変換をお奨めします. \r\n  --\r\n  理由: \r\n  ";
const std::string kSHead =
    "(少し荒れ): 少し荒れる／少しズレると予測. \r\n\r\n  そのままで使用可能ですが、 "
    "\r\n  未変換なら、変換／修正によって軽減できる場合があります. \r\n  --\r\n  理由: ";
const std::string kCannotReduce = "\r\n    (変換してもこれ以上軽減できない場合もあります) ";
const std::string kOk = "(OK): そのままで使用可能です. ";

class Verdict : public testing::Test {
 protected:
  void SetUp() override {
    HeadlessReset();
    ResetRunEnv();
    ResetNameTables();
    aliasFoundA = aliasFoundW = 0;
    RegisterBuiltinNames();
    ResetTracks();
    ClearSourceModel();
    memset(&gFind, 0, sizeof gFind);
  }
  void TearDown() override {
    aliasFoundA = aliasFoundW = 0;
    HeadlessReset();
  }

  // Both box texts hold exactly this text.
  static void ExpectBox(const std::string& utf8) {
    EXPECT_EQ(std::string(gFileReport.boxtext), SJ(utf8));
    EXPECT_EQ(std::u16string(gFileReport.boxtextw), Utf8ToUtf16(utf8));
  }
  static void Judge() {
    findbones();
    buildverdict();
  }
  static void Build(const Findings& f) {
    gFind = f;
    buildverdict();
  }
  static BoneTrack& Drive(const char* utf8, float rot) {
    int e = FindNameInGroups(1, SJ(utf8).c_str(), 0);
    EXPECT_GT(e, 0) << utf8;
    BoneTrack& t = gBoneTracks[e > 0 ? e : 0];
    t.keycount = 1;
    t.firstframe = t.lastframe = 0;
    t.moved = 0xFF;
    t.maxrot = rot;
    return t;
  }
  static std::vector<std::string> Lines() {
    std::vector<std::string> v;
    for (int i = 0; i < gReport.linecount; i++) v.push_back(gReport.lines[i]);
    return v;
  }
};

TEST_F(Verdict, BlocksTheirPiecesAndSeparators) {
  const std::string license = kLHead + kLReason + "[左腕捩] \r\n  " + kUsed;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"  // the findings not named are 0
  const struct { Findings f; std::string box; } cases[] = {
      {{.licensefactors = 4, .twistbones = 2 | 4, .upper2state = -1, .plusbones = 8},
       kLHead + kLReason + "[左手捩] [右腕捩] \r\n  上半身２(L2) \r\n  [右腕_+] (P_Bone+) \r\n  " + kUsed},
      // license and drop-out factors: separated
      {{.licensefactors = 1, .dropfactors = 1, .twistbones = 1, .shoulderp = 1},
       license + "\r\n  \r\n  \r\n" + kDHeadConvert + kDReason + "[左肩P] \r\n  " + kUsed},
      // a rough finding follows the needs-fixing block without a separator
      {{.licensefactors = 1, .roughbones = 1, .twistbones = 1, .waiststate = -1},
       license + kRHead + "[腰] が使用されています. \r\n  "},
      // drop-out factors decide over rough and slight ones
      {{.dropfactors = 1, .roughbones = 1, .slightbones = 2, .upper3bones = 2, .armslight = 3,
        .waiststate = -1},
       kDHeadConvert + kDReason + "\r\n  " + kUsed},
      {{.dropfactors = 9, .dlegbones = 0x3F, .darmbones = 0xF, .upper3bones = 7, .ikparents = 0x30,
        .shoulderp = 3},
       kDHeadEdit + kDReason + "[左足D] [左ひざD] [左足首D] [右足D] [右ひざD] [右足首D] \r\n  "
       "[左腕D] [左ひじD] [右腕D] [右ひじD] \r\n  [左足IK親] [右足IK親] [左肩P] [右肩P] \r\n  [上半身3] \r\n  " + kUsed},
      {{.roughbones = 3, .armrough = 2 | 8, .lowerbodystate = 3, .waiststate = -1},
       kRHead + "[左ひじ] [右ひじ] にやや強い捩りがあります. \r\n  [下半身] [腰] が使用されています. \r\n  " +
           kCannotReduce},
      {{.slightbones = 2, .armslight = 1 | 4},
       kSHead + "[左腕] [右腕] に荒れが生じうる捩りがあります. \r\n  " + kCannotReduce},
      {{}, kOk},
  };
#pragma GCC diagnostic pop
  // The verdict is the program's own Shift-JIS: its UTF-16 form is the same
  // whatever the narrow code page (1252 has no lead bytes of its own).
  for (uint32_t cp : {65001u, 932u, 1252u}) {
    SCOPED_TRACE(cp);
    gHeadless.codePage = cp;
    for (const auto& c : cases) {
      Build(c.f);
      ExpectBox(c.box);
    }
  }
}

TEST_F(Verdict, LongestVerdictFits) {
  const Findings all = {99, 99, 99, 99, 0xF, -1, 0xF, 0x3F, 0xF, 7, 0x3F, 3, 0xF, 0xF, -1, -1};
  // Every combination that the blocks allow: the license block with each of
  // the others, the drop-out block with both wordings.
  for (int variant = 0; variant < 4; variant++) {
    Findings f = all;
    if (variant == 1) f.dlegbones = f.darmbones = 0;
    if (variant >= 2) f.dropfactors = 0;
    if (variant == 3) f.roughbones = 0;
    Build(f);
    const size_t n = strlen(gFileReport.boxtext);
    EXPECT_LT(n, (size_t)kBoxText / 2);
    char16_t wide[kBoxText * 2];
    sjistouni(wide, kBoxText * 2, gFileReport.boxtext);
    EXPECT_EQ(std::u16string(gFileReport.boxtextw), std::u16string(wide));
    // Nothing was cut: each text ends with its block's last piece.
    const std::string last = SJ(variant < 2 ? kUsed : kCannotReduce);
    ASSERT_GE(n, last.size());
    EXPECT_EQ(std::string(gFileReport.boxtext + n - last.size()), last) << variant;
  }
}

TEST_F(Verdict, ReportHeaderAndTheFileNameInShiftJis) {
  snprintf(gRun.lastVmdA, sizeof gRun.lastVmdA, "/m/dance.vmd");
  snprintf(gSourceModel, sizeof gSourceModel, "Model");
  buildreport();
  std::vector<std::string> l = Lines();
  ASSERT_GE(l.size(), 7u);
  EXPECT_EQ(std::vector<std::string>(l.begin(), l.begin() + 7),
            (std::vector<std::string>{"", "/m/dance.vmd", "", SJ("元モデル名: Model  (VMD) "),
                                      SJ("想定使用先: VRMモデル (Lumeno 3.10-3.13) "), "",
                                      SJ("使用ボーン: ")}));
  EXPECT_EQ(gReport.cellcolour[0][0], 0u);
  EXPECT_EQ(gReport.cellcolour[1][0], 0xFFFFFFu);

  // English headings in alias mode; a lone lead byte cut off the model name.
  aliasFoundW = 0xFF;
  memcpy(gSourceModel, "ABC\x82", 5);
  buildreport();
  l = Lines();
  EXPECT_EQ(l[3], "Source model: ABC  (VMD) ");
  EXPECT_EQ(l[4], "Target model: VRM model (Lumeno 3.10-3.13) ");

  aliasFoundW = 0;
  // code page, narrow name, UTF-16 name, the line shown
  const struct { int cp; std::string a; const char16_t* w; std::string shown; } cases[] = {
      {65001, "/m/踊り.vmd", u"/m/踊り.vmd", SJ("/m/踊り.vmd")},  // UTF-8 narrow: from UTF-16
      {1252, "/m/???.vmd", u"/m/踊り.vmd", SJ("/m/踊り.vmd")},   // lost in the ANSI code page
      {932, SJ("/a/歩き.vmd"), u"/b/走り.vmd", SJ("/a/歩き.vmd")},
      {932, "", u"/b/走り.vmd", SJ("/b/走り.vmd")},
  };
  for (const auto& c : cases) {
    gRun.sjisNames = c.cp == 932 ? 0xFF : 0;
    snprintf(gRun.lastVmdA, sizeof gRun.lastVmdA, "%s", c.a.c_str());
    unicpy(gRun.lastVmdW, kPathMax, c.w);
    buildreport();
    EXPECT_EQ(std::string(gReport.lines[1]), c.shown) << c.cp;
  }
}

TEST_F(Verdict, ALongMorphListIsCutAtTheLastLine) {
  for (int i = 0; i < 700; i++) {
    int e = FindOrAddName(2, ("morph" + std::to_string(i)).c_str());
    ASSERT_GT(e, 0);
    gMorphTracks[e].keycount = 1;
    gMorphTracks[e].minval = gMorphTracks[e].maxval = 0.5f;
  }
  buildreport();
  EXPECT_EQ(gReport.linecount, kReportLines);
  EXPECT_EQ(std::string(gReport.lines[kReportLines - 2]).substr(0, 7), "  morph");
  // The last line says that the list goes on, and by how much.
  const std::string last = gReport.lines[kReportLines - 1];
  EXPECT_EQ(last, "  ... the report goes on: " + std::to_string(rbdropped() + 1) +
                      " more lines are not shown (it holds 512 lines)");
  EXPECT_EQ(gReport.linelength[kReportLines - 1], last.size());
}

// Real motions: the report stays within its buffer, the verdict texts agree.
TEST_F(Verdict, SampleMotions) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (!fs::is_directory(TARVEL_SAMPLES_DIR, ec)) GTEST_SKIP() << "no samples";
  int read = 0;
  for (const fs::directory_entry& d : fs::directory_iterator(TARVEL_SAMPLES_DIR, ec)) {
    ResetNameTables();
    RegisterBuiltinNames();
    std::string path = d.path().string();
    if (d.path().extension() != ".vmd" || readvmdA(path.c_str()) != 0) continue;
    read++;
    snprintf(gRun.lastVmdA, sizeof gRun.lastVmdA, "%s", path.c_str());
    buildreport();
    buildverdict();
    ASSERT_LE(gReport.linecount, kReportLines);
    for (int i = 0; i < gReport.linecount; i++)
      EXPECT_EQ(strlen(gReport.lines[i]), gReport.linelength[i]) << path << " line " << i;
    char16_t wide[kBoxText * 2];
    sjistouni(wide, kBoxText * 2, gFileReport.boxtext);
    EXPECT_EQ(std::u16string(gFileReport.boxtextw), std::u16string(wide)) << path;
  }
  EXPECT_GT(read, 0);
}

}  // namespace
