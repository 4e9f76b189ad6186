#include "analysis/file_report.h"
#include "analysis/verdict.h"

#include <gtest/gtest.h>

#include <cstring>
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

// The checked file's line: the narrow name where the code page is Shift-JIS,
// else the UTF-16 name (the rest of the header is the golden pairs').
TEST_F(Verdict, TheFileNameInShiftJis) {
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

}  // namespace

namespace {

// The labels a person reads are the page's: each of its category and short
// status texts, in both languages, is the core's (the window shows these).
TEST(Labels, AreThePagesOwn) {
  FILE* f = fopen(TARVEL_SOURCE_DIR "/web/page.js", "rb");
  if (!f) GTEST_SKIP() << "no web/page.js";
  std::string page;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) page.append(buf, n);
  fclose(f);
  auto entry = [](const char* key, const char* label) {
    const std::string k = strchr(key, '-') ? "'" + std::string(key) + "'" : key;
    return k + ": '" + label + "'";
  };
  for (bool ja : {false, true}) {
    for (int level = 0; level < kLevels; level++) {
      const std::string e = entry(CategoryName(level), CategoryLabel(level, ja));
      EXPECT_NE(std::string::npos, page.find(e)) << e;
    }
    for (int status = kStatusCut; status < kStatuses; status++) {
      const std::string e = entry(StatusName(status), StatusLabel(status, ja));
      EXPECT_NE(std::string::npos, page.find(e)) << e;
    }
  }
  EXPECT_STREQ("", CategoryLabel(kLevels, false));
  EXPECT_STREQ("", StatusLabel(-1, true));
}

}  // namespace
