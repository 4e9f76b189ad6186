#include "dialogs/openfile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/diag.h"
#include "base/paths.h"
#include "base/runenv.h"
#include "platform/headless/headless.h"

namespace {

// The filter list as its texts, in order.
std::vector<std::string> Texts(const char* list, int used) {
  std::vector<std::string> out;
  int i = 0;
  while (i < used && list[i]) {
    std::string s(list + i);
    out.push_back(s);
    i += (int)s.size() + 1;
  }
  return out;
}

std::vector<std::string> Filters(int kind) {
  static char buf[kFilterListMax];
  int used = buildfilterlist(buf, sizeof buf, kind);
  EXPECT_GE(used, 1);
  EXPECT_EQ(buf[used - 1], 0);
  return Texts(buf, used);
}

std::string gDiag;
void Collect(const char* text) { gDiag += text; }

class OpenFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HeadlessReset();
    ResetRunEnv();
    SetPathSeparators('/', '/');
    gDiag.clear();
    DiagSetReceiver(Collect);
  }
  void TearDown() override {
    DiagSetReceiver(nullptr);
    SetPathSeparators(0, 0);
  }
};

// The motion list (the one the program opens) and the list of all files.
TEST_F(OpenFileTest, FilterListsByKind) {
  using V = std::vector<std::string>;
  const V all = {"All Files  (*.*)", "*.*"};
  EXPECT_EQ(Filters(4), (V{"MMD Motion File  (*.vmd)", "*.VMD", all[0], all[1]}));
  EXPECT_EQ(Filters(0), all);
  EXPECT_EQ(Filters(42), all);  // unknown kinds offer what kind 0 offers

  // The UTF-16 list holds the same units.
  char16_t wide[kFilterListMax];
  char narrow[kFilterListMax];
  int nw = buildfilterlistW(wide, kFilterListMax, 3);
  ASSERT_EQ(nw, buildfilterlist(narrow, kFilterListMax, 3));
  for (int i = 0; i < nw; i++) ASSERT_EQ(wide[i], (char16_t)narrow[i]) << i;
}

TEST_F(OpenFileTest, FilterListStopsAtItsLimit) {
  char small[40];
  // "MMD Motion File  (*.vmd)" and "*.VMD" take 31 units; the "All Files" pair
  // no longer fits.
  int used = buildfilterlist(small, sizeof small, 4);
  EXPECT_EQ(used, 32);
  EXPECT_EQ(Texts(small, used), (std::vector<std::string>{"MMD Motion File  (*.vmd)", "*.VMD"}));
  char tiny[3] = {'x', 'x', 'x'};
  EXPECT_EQ(buildfilterlist(tiny, sizeof tiny, 4), 1);
  EXPECT_EQ(tiny[0], 0);
  EXPECT_EQ(tiny[1], 'x');
}

TEST_F(OpenFileTest, MotionDialogFromTheProgramDirectory) {
  gHeadless.dialogChoice = "/data/motions/walk.vmd";
  char16_t chosen[kPathMax];
  ASSERT_EQ(openfiledlgW(chosen, kPathMax, 4, u"/opt/tarvel/"), 0);
  EXPECT_EQ(std::u16string(chosen), u"/data/motions/walk.vmd");
  EXPECT_EQ(gHeadless.dialogsShown, 1);
  EXPECT_STREQ(gHeadless.dialogTitle, "Open MMD Motion File");
  EXPECT_STREQ(gHeadless.dialogFilters, "MMD Motion File  (*.vmd)|*.VMD|All Files  (*.*)|*.*");
  EXPECT_STREQ(gHeadless.dialogInitialDir, "/opt/tarvel");
  EXPECT_STREQ(gHeadless.dialogInitialName, "");
  EXPECT_EQ(gHeadless.dialogFilterIndex, 0);
}

TEST_F(OpenFileTest, InitialFileSelectsTheFirstFilter) {
  gHeadless.dialogChoice = "/m/a.vmd";
  ASSERT_EQ(openfiledlgW(nullptr, 0, 4, u"/motions/walk.VmD"), 0);
  EXPECT_STREQ(gHeadless.dialogInitialDir, "/motions");
  EXPECT_STREQ(gHeadless.dialogInitialName, "walk.VmD");
  EXPECT_EQ(gHeadless.dialogFilterIndex, 1);

  // Without a directory part there is no initial directory.
  openfiledlg(nullptr, 0, 4, "walk.vmd");
  EXPECT_STREQ(gHeadless.dialogInitialDir, "");
  EXPECT_STREQ(gHeadless.dialogInitialName, "walk.vmd");
  EXPECT_EQ(gHeadless.dialogFilterIndex, 1);
}

TEST_F(OpenFileTest, WindowsSeparators) {
  SetPathSeparators('\\', '/');
  gHeadless.dialogChoice = "C:\\motions\\walk.vmd";
  char chosen[kPathMax];
  ASSERT_EQ(openfiledlg(chosen, sizeof chosen, 4, "C:\\motions\\walk.vmd"), 0);
  EXPECT_STREQ(chosen, "C:\\motions\\walk.vmd");
  EXPECT_STREQ(gHeadless.dialogInitialDir, "C:\\motions");
  EXPECT_STREQ(gHeadless.dialogInitialName, "walk.vmd");
  EXPECT_EQ(gHeadless.dialogFilterIndex, 1);
  openfiledlg(nullptr, 0, 4, "C:\\");  // a drive root keeps its backslash
  EXPECT_STREQ(gHeadless.dialogInitialDir, "C:\\");
}

TEST_F(OpenFileTest, CancelAndFailures) {
  char16_t chosen[kPathMax] = u"keep";
  gHeadless.dialogChoice = nullptr;
  EXPECT_EQ(openfiledlgW(chosen, kPathMax, 4, u"/x/"), -1);
  EXPECT_EQ(std::u16string(chosen), u"keep");
  EXPECT_EQ(gDiag, "\nCanceled File-Open Dialog Box. (stat=0000).\n");

  // A chosen path longer than the dialog's buffer.
  gDiag.clear();
  std::string longpath = "/" + std::string(300, 'a');
  gHeadless.dialogChoice = longpath.c_str();
  EXPECT_EQ(openfiledlg(nullptr, 0, 4, "/x/"), -1);
  EXPECT_EQ(gDiag, "\nFailed Opening File-Open Dialog Box: 0000 (stat=3003).\nFNERR_BUFFERTOOSMALL.\n");

  // A destination too small for the path gets nothing, not a cut path.
  gHeadless.dialogChoice = "/data/walk.vmd";
  char small[8] = "keep";
  EXPECT_EQ(openfiledlg(small, sizeof small, 4, "/x/"), -1);
  EXPECT_STREQ(small, "keep");
  EXPECT_EQ(openfiledlg(nullptr, 0, 4, nullptr), 0);
  EXPECT_STREQ(gHeadless.dialogInitialDir, "");
}

}  // namespace
