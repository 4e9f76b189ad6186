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

// The last pieces of the needs-fixing and slightly-rough blocks.
const std::string kUsed = "が使用されています. ";
const std::string kCannotReduce = "\r\n    (変換してもこれ以上軽減できない場合もあります) ";

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

  static void Build(const Findings& f) {
    gFind = f;
    buildverdict();
  }
  static std::vector<std::string> Lines() {
    std::vector<std::string> v;
    for (int i = 0; i < gReport.linecount; i++) v.push_back(gReport.lines[i]);
    return v;
  }
};

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
