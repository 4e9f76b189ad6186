#include "analysis/verdict.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "analysis/findings.h"
#include "analysis/report_buffer.h"
#include "base/diag.h"
#include "base/encoding.h"
#include "base/runenv.h"
#include "names/alias.h"
#include "names/nametable.h"
#include "names/vocabulary.h"
#include "platform/headless/headless.h"
#include "tests/support/tempdir.h"
#include "tests/support/vmdwriter.h"
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
    EXPECT_EQ(std::string(boxtext), SJ(utf8));
    EXPECT_EQ(std::u16string(boxtextw), Utf8ToUtf16(utf8));
  }
  static Findings None() {
    Findings f;
    memset(&f, 0, sizeof f);
    return f;
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

TEST_F(Verdict, NothingFoundIsUsable) {
  Build(None());
  ExpectBox(kOk);
  // A second verdict starts from empty texts.
  Build(None());
  ExpectBox(kOk);
}

TEST_F(Verdict, OnlyLeftArmTwistNeedsFixing) {
  Drive("左腕捩", 0.3f).maxtwsplus = 0.2f;
  findbones();
  buildverdict();
  ExpectBox(kLHead + kLReason + "[左腕捩] \r\n  " + kUsed);
}

TEST_F(Verdict, NeedsFixingPieceOrder) {
  Findings f = None();
  f.licensefactors = 4;
  f.twistbones = 2 | 4;
  f.upper2state = -1;
  f.plusbones = 8;
  Build(f);
  ExpectBox(kLHead + kLReason + "[左手捩] [右腕捩] \r\n  上半身２(L2) \r\n  [右腕_+] (P_Bone+) \r\n  " +
            kUsed);
  f.twistbones = 0;
  f.upper2state = 0;
  f.plusbones = 1 | 2 | 4;
  Build(f);
  ExpectBox(kLHead + kLReason + "[左足_+] [左腕_+] [右足_+] (P_Bone+) \r\n  " + kUsed);
}

TEST_F(Verdict, BlocksAndTheirSeparator) {
  Findings f = None();
  f.licensefactors = 1;
  f.twistbones = 1;
  f.dropfactors = 1;
  f.shoulderp = 1;
  Build(f);
  const std::string license = kLHead + kLReason + "[左腕捩] \r\n  " + kUsed;
  ExpectBox(license + "\r\n  \r\n  \r\n" + kDHeadConvert + kDReason + "[左肩P] \r\n  " + kUsed);

  // A rough finding follows the needs-fixing block without a separator.
  f.dropfactors = 0;
  f.shoulderp = 0;
  f.roughbones = 1;
  f.waiststate = -1;
  Build(f);
  ExpectBox(license + kRHead + "[腰] が使用されています. \r\n  ");

  // Drop-out factors decide over rough and slight ones.
  f.licensefactors = 0;
  f.twistbones = 0;
  f.dropfactors = 1;
  f.upper3bones = 2;
  f.slightbones = 2;
  f.armslight = 3;
  Build(f);
  ExpectBox(kDHeadConvert + kDReason + "\r\n  " + kUsed);
}

TEST_F(Verdict, CheckNeededWordingAndIkParents) {
  // A medium left leg IK parent and a leg D bone: the hand-editing wording,
  // the IK parent not named, its line break still there.
  Drive("左足IK親", 0.1f);
  Drive("左足D", 0.02f);
  findbones();
  ASSERT_EQ(gFind.ikparents, 4u);
  buildverdict();
  ExpectBox(kDHeadEdit + kDReason + "[左足D] \r\n  \r\n  " + kUsed);

  Findings f = None();
  f.dropfactors = 9;
  f.dlegbones = 0x3F;
  f.darmbones = 0xF;
  f.ikparents = 0x30;
  f.shoulderp = 3;
  f.upper3bones = 7;
  Build(f);
  ExpectBox(kDHeadEdit + kDReason +
            "[左足D] [左ひざD] [左足首D] [右足D] [右ひざD] [右足首D] \r\n  "
            "[左腕D] [左ひじD] [右腕D] [右ひじD] \r\n  "
            "[左足IK親] [右足IK親] [左肩P] [右肩P] \r\n  [上半身3] \r\n  " +
            kUsed);

  f = None();
  f.dropfactors = 1;
  f.darmbones = 4;
  Build(f);
  ExpectBox(kDHeadEdit + kDReason + "[右腕D] \r\n  " + kUsed);
}

TEST_F(Verdict, SomewhatRoughBlock) {
  Drive("下半身", 0.02f);
  findbones();
  ASSERT_EQ(gFind.roughbones, 1);
  buildverdict();
  ExpectBox(kRHead + "[下半身] が使用されています. \r\n  ");

  Findings f = None();
  f.roughbones = 3;
  f.armrough = 2 | 8;
  f.lowerbodystate = 3;
  f.waiststate = -1;
  Build(f);
  ExpectBox(kRHead + "[左ひじ] [右ひじ] にやや強い捩りがあります. \r\n  [下半身] [腰] が使用されています. \r\n  " +
            kCannotReduce);
}

TEST_F(Verdict, SlightlyRoughBlock) {
  Findings f = None();
  f.slightbones = 2;
  f.armslight = 1 | 4;
  Build(f);
  ExpectBox(kSHead + "[左腕] [右腕] に荒れが生じうる捩りがあります. \r\n  " + kCannotReduce);
}

TEST_F(Verdict, LongestVerdictFits) {
  Findings all;
  memset(&all, 0, sizeof all);
  all.licensefactors = all.dropfactors = all.roughbones = all.slightbones = 99;
  all.twistbones = all.plusbones = all.darmbones = all.armslight = all.armrough = 0xF;
  all.dlegbones = 0x3F;
  all.ikparents = 0x3F;
  all.shoulderp = 3;
  all.upper3bones = 7;
  all.upper2state = -1;
  all.lowerbodystate = -1;
  all.waiststate = -1;

  // Every combination that the blocks allow: the license block with each of
  // the others, the drop-out block with both wordings.
  size_t longest = 0;
  for (int variant = 0; variant < 4; variant++) {
    Findings f = all;
    if (variant == 1) f.dlegbones = f.darmbones = 0;
    if (variant >= 2) f.dropfactors = 0;
    if (variant == 3) f.roughbones = 0;
    Build(f);
    size_t n = strlen(boxtext);
    EXPECT_EQ(unilen(boxtextw), (int)std::u16string(boxtextw).size());
    char16_t wide[kBoxText * 2];
    sjistouni(wide, kBoxText * 2, boxtext);
    EXPECT_EQ(std::u16string(boxtextw), std::u16string(wide));
    // Nothing was cut: each text ends with its block's last piece.
    const std::string last = SJ(variant < 2 ? kUsed : kCannotReduce);
    ASSERT_GE(n, last.size());
    EXPECT_EQ(std::string(boxtext + n - last.size()), last) << variant;
    if (n > longest) longest = n;
  }
  EXPECT_LT(longest, (size_t)kBoxText / 2);
}

std::string gDiag;
void Collect(const char* text) { gDiag += text; }

TEST_F(Verdict, DiagnosticWording) {
  Findings f = None();
  f.licensefactors = 1;
  f.twistbones = 1;
  f.dropfactors = 2;
  f.shoulderp = 3;
  gDiag.clear();
  DiagSetReceiver(Collect);
  Build(f);
  DiagSetReceiver(nullptr);
  EXPECT_EQ(gDiag.find(SJ("総評: \n")), 0u);
  EXPECT_NE(gDiag.find(SJ("ライセンス違反発生の可能性のある要因 1個: \n")), std::string::npos);
  EXPECT_NE(gDiag.find(SJ("ボーン抜け発生要因 2個: \n")), std::string::npos);
  EXPECT_EQ(gDiag.find('\r'), std::string::npos);
}

TEST_F(Verdict, ReportHeader) {
  snprintf(gRun.lastVmdA, sizeof gRun.lastVmdA, "/m/dance.vmd");
  unicpy(gRun.lastVmdW, kPathMax, u"/m/dance.vmd");
  snprintf(gSourceModel, sizeof gSourceModel, "Model");
  buildreport();
  std::vector<std::string> l = Lines();
  ASSERT_GE(l.size(), 7u);
  EXPECT_EQ(l[0], "");
  EXPECT_EQ(gReport.cellcolour[0][0], 0u);
  EXPECT_EQ(l[1], "/m/dance.vmd");
  EXPECT_EQ(gReport.cellcolour[1][0], 0xFFFFFFu);
  EXPECT_EQ(l[2], "");
  EXPECT_EQ(l[3], SJ("元モデル名: Model  (VMD) "));
  EXPECT_EQ(l[4], SJ("想定使用先: VRMモデル (Lumeno 3.10-3.13) "));
  EXPECT_EQ(l[5], "");
  EXPECT_EQ(l[6], SJ("使用ボーン: "));

  // English headings in alias mode; a lone lead byte cut off the model name.
  aliasFoundW = 0xFF;
  memcpy(gSourceModel, "ABC\x82", 5);
  buildreport();
  l = Lines();
  EXPECT_EQ(l[3], "Source model: ABC  (VMD) ");
  EXPECT_EQ(l[4], "Target model: VRM model (Lumeno 3.10-3.13) ");
  EXPECT_EQ(l[6], "Bones: ");

  // No file and no model name: neither line.
  aliasFoundW = 0;
  ResetRunEnv();
  ClearSourceModel();
  buildreport();
  l = Lines();
  EXPECT_EQ(l[0], "");
  EXPECT_EQ(l[1], "");
  EXPECT_EQ(l[2], SJ("想定使用先: VRMモデル (Lumeno 3.10-3.13) "));
}

TEST_F(Verdict, JapaneseFileNameIsShownInShiftJis) {
  // Narrow names in UTF-8: the UTF-16 name is converted.
  gHeadless.codePage = 65001;
  snprintf(gRun.lastVmdA, sizeof gRun.lastVmdA, "%s", "/m/踊り.vmd");
  unicpy(gRun.lastVmdW, kPathMax, u"/m/踊り.vmd");
  buildreport();
  EXPECT_EQ(std::string(gReport.lines[1]), SJ("/m/踊り.vmd"));
  gRun.lastVmdW[0] = 0;  // only the narrow one: shown as it is
  buildreport();
  EXPECT_EQ(std::string(gReport.lines[1]), "/m/踊り.vmd");

  // Narrow names in Shift-JIS: the narrow name, or the UTF-16 one converted
  // when there is no narrow one.
  gHeadless.codePage = 932;
  snprintf(gRun.lastVmdA, sizeof gRun.lastVmdA, "%s", SJ("/a/歩き.vmd").c_str());
  unicpy(gRun.lastVmdW, kPathMax, u"/b/走り.vmd");
  buildreport();
  EXPECT_EQ(std::string(gReport.lines[1]), SJ("/a/歩き.vmd"));
  gRun.lastVmdA[0] = 0;
  buildreport();
  EXPECT_EQ(std::string(gReport.lines[1]), SJ("/b/走り.vmd"));
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
  EXPECT_EQ(std::string(gReport.lines[kReportLines - 1]).substr(0, 7), "  morph");
}

// Real motions: the report stays within its buffer and the two verdict
// texts agree.
TEST_F(Verdict, SampleMotions) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (!fs::is_directory(TARVEL_SAMPLES_DIR, ec)) GTEST_SKIP() << "no samples";
  int read = 0;
  for (const fs::directory_entry& d : fs::directory_iterator(TARVEL_SAMPLES_DIR, ec)) {
    if (d.path().extension() != ".vmd") continue;
    ResetNameTables();
    RegisterBuiltinNames();
    std::string path = d.path().string();
    if (readvmdA(path.c_str()) != 0) continue;
    read++;
    snprintf(gRun.lastVmdA, sizeof gRun.lastVmdA, "%s", path.c_str());
    buildreport();
    buildverdict();
    ASSERT_LE(gReport.linecount, kReportLines);
    for (int i = 0; i < gReport.linecount; i++) {
      EXPECT_EQ(strlen(gReport.lines[i]), gReport.linelength[i]) << path << " line " << i;
      EXPECT_LE(gReport.linelength[i], kReportCols - 1);
    }
    ASSERT_GT(strlen(boxtext), 0u);
    char16_t wide[kBoxText * 2];
    sjistouni(wide, kBoxText * 2, boxtext);
    EXPECT_EQ(std::u16string(boxtextw), std::u16string(wide)) << path;
  }
  EXPECT_GT(read, 0);
}

}  // namespace
