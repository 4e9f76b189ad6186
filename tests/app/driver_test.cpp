// Whole-program runs of the driver on the headless back end: real files in a
// fresh folder, scripted answers, recorded boxes and dialogs.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <cstring>
#include <string>
#include <vector>

#include "analysis/report_buffer.h"
#include "analysis/verdict.h"
#include "app/driver.h"
#include "base/diag.h"
#include "display/window_logic.h"
#include "base/encoding.h"
#include "base/paths.h"
#include "base/runenv.h"
#include "names/nametable.h"
#include "platform/headless/headless.h"
#include "platform/port.h"
#include "tests/support/exedir.h"
#include "tests/support/vmdwriter.h"
#include "vmd/vmdread.h"

namespace {

// The smallest motion: header, model name, bone count 0 (54 bytes).
std::string EmptyMotion() {
  VmdWriter w;
  w.Header().ModelName("model").Count(0);
  return std::string(w.bytes.begin(), w.bytes.end());
}

class DriverRun : public ::testing::Test {
 protected:
  TempDir tmp;
  std::string dir = tmp.Root();
  std::vector<std::string> args;
  std::vector<const char*> argv;

  void SetUp() override { Fresh(); }
  void TearDown() override { DiagSetReceiver(nullptr); }
  // A new run of the program in the folder, nothing scripted.
  void Fresh() {
    HeadlessReset();
    WindowReset();
    args = {dir + "/tarvel"};
  }
  std::string Write(const std::string& name, const std::string& bytes) { return tmp.Write(name, bytes); }
  int Run(std::vector<std::string> more) {
    for (auto& m : more) args.push_back(m);
    argv.clear();
    for (auto& a : args) argv.push_back(a.c_str());
    HeadlessSetArgs((int)argv.size(), argv.data());
    return TarvelMain();
  }
};

// No file, or an empty argument 1 (no argument): the dialog asks for one,
// from the executable's own folder; cancelled, the run ends quietly.
TEST_F(DriverRun, NoFileAsksForOneAndCancelEndsQuietlyWithZero) {
  for (std::vector<std::string> more : {std::vector<std::string>{}, {""}}) {
    Fresh();
    EXPECT_EQ(Run(more), 0);
    EXPECT_EQ(gHeadless.dialogsShown, 1);
    EXPECT_STREQ(gHeadless.dialogTitle, "Open MMD Motion File");
    EXPECT_EQ(gHeadless.dialogInitialDir, dir);
    EXPECT_EQ(gHeadless.boxCount, 0);
    EXPECT_EQ(gArgsA.count + gArgsW.count, 2);
  }
}

TEST_F(DriverRun, DialogChoiceIsAppendedAndChecked) {
  std::string m = Write("walk.vmd", EmptyMotion());
  gHeadless.dialogChoice = m.c_str();
  EXPECT_EQ(Run({"-ND"}), 0);  // the option entry makes the list long enough: no dialog
  EXPECT_EQ(gHeadless.dialogsShown, 0);

  Fresh();
  gHeadless.dialogChoice = m.c_str();
  EXPECT_EQ(Run({}), 0);
  EXPECT_EQ(gHeadless.dialogsShown, 1);
  EXPECT_EQ(gArgsA.count, 2);
  EXPECT_STREQ(argat(&gArgsA, 1), m.c_str());
  EXPECT_STREQ(gRun.lastVmdA, "walk.vmd");  // the chosen file was read

  // A chosen file that cannot be opened takes the usage path.
  Fresh();
  std::string gone = dir + "/gone.vmd";
  gHeadless.dialogChoice = gone.c_str();
  EXPECT_EQ(Run({}), 0);
  EXPECT_EQ(gRun.lastVmdA[0], 0);
}

// An executable folder too long for its buffer is unknown, never cut (a cut
// one names another folder): the font, the alias file and captures are not
// looked for there, nor in the current folder.
TEST_F(DriverRun, AnExecutableFolderTooLongIsNotCut) {
  std::string deep = dir + "/" + std::string(120, 'a') + "/" + std::string(120, 'b');
  ASSERT_EQ(system(("mkdir -p '" + deep + "'").c_str()), 0);
  args = {deep + "/tarvel"};  // the folder is over 259 bytes
  std::string m = Write("m.vmd", EmptyMotion());
  EXPECT_EQ(Run({m}), 0);
  EXPECT_STREQ(gRun.exeDirA, "");
  EXPECT_TRUE(gRun.exeDirW[0] == 0);
  EXPECT_TRUE(gRun.fontFailed);
  EXPECT_EQ(gHeadless.boxCount, 1);  // the verdict box instead of the window
}

TEST_F(DriverRun, OptionValues) {
  std::string m = Write("a.vmd", EmptyMotion());
  struct Case {
    const char* option;
    int display, cancel;
  } cases[] = {
      {"-D", 1, 0},    {"-D=3", 3, 0},  {"-d3", 3, 0},   {"-D300", 44, 0}, {"-ND", 0, 1},
      {"-ND2", 0, 2},  {"-nd=2", 0, 2}, {"-x", 0, 0},    {"-xD", 1, 0},    {"-N5", 0, 0},
      {"-ND=0", 0, 0}, {"-D2ND", 2, 1},
  };
  for (const Case& c : cases) {
    Fresh();
    Run({m, c.option});  // after the file name: options apply to every file
    EXPECT_EQ(gRun.displayLevel, c.display) << c.option;
    EXPECT_EQ(gRun.cancelDialogue, c.cancel) << c.option;
  }
}

TEST_F(DriverRun, MotionExtensionsAreTakenWithoutAQuestion) {
  for (const char* name : {"motion.vmd", "MOTION.VMD", "motion.VMD2", "m.Vmd"}) {
    Fresh();
    std::string m = Write(name, EmptyMotion());
    EXPECT_EQ(Run({"-ND", m}), 0) << name;
    EXPECT_EQ(gHeadless.boxCount, 0) << name;
    EXPECT_STREQ(gRun.lastVmdA, name);
    EXPECT_STREQ(gSourceModel, "model");
  }
}

TEST_F(DriverRun, OtherExtensionIsConfirmedAndCancelEndsTheRunWith16) {
  std::string notes = Write("notes.vm", EmptyMotion());
  std::string second = Write("second.vmd", EmptyMotion());
  HeadlessQueueAnswer(kIdCancel);
  EXPECT_EQ(Run({"-ND", notes, second}), 16);
  ASSERT_EQ(gHeadless.boxCount, 1);
  EXPECT_STREQ(gHeadless.boxes[0].title, "Brenwick");
  EXPECT_EQ(gHeadless.boxes[0].style, 0x40041u);
  // Outside Japanese mode on code page 65001 the name is left out.
  EXPECT_STREQ(gHeadless.boxes[0].text,
               " This file \r\n does not have extension \".VMD\" in the file name. \r\n \r\n"
               " Do you like to continue? ");
  EXPECT_EQ(gRun.lastVmdA[0], 0);  // the second file was not processed
  EXPECT_GE(gHeadless.clockMs, 500 + 700 + 200);
}

// OK goes on to the next file, leaving this one unread; -ND2 asks nothing.
TEST_F(DriverRun, ConfirmedOrUnaskedOtherFileIsNotRead) {
  std::string notes = Write("notes.txt", "hello");
  std::string m = Write("b.vmd", EmptyMotion());
  HeadlessQueueAnswer(kIdOk);
  EXPECT_EQ(Run({"-ND", notes, m}), 0);
  EXPECT_EQ(gHeadless.boxCount, 1);
  EXPECT_STREQ(gRun.lastVmdA, "b.vmd");
  Fresh();
  EXPECT_EQ(Run({"-ND2", notes}), 0);
  EXPECT_EQ(gHeadless.boxCount, 0);
  EXPECT_EQ(gRun.lastVmdA[0], 0);
}

TEST_F(DriverRun, BoxNamesTheFileOnOtherCodePagesAndInJapaneseMode) {
  std::string notes = Write("notes.txt", "hello");
  gHeadless.codePage = 1252;
  HeadlessQueueAnswer(kIdCancel);
  EXPECT_EQ(Run({"-ND", notes}), 16);
  ASSERT_EQ(gHeadless.boxCount, 1);
  EXPECT_NE(strstr(gHeadless.boxes[0].text, " This file: \r\n   notes.txt \r\n"), nullptr);

  Fresh();
  gHeadless.codePage = 932;
  gHeadless.langId = 0x0411;
  HeadlessQueueAnswer(kIdCancel);
  EXPECT_EQ(Run({"-ND", notes}), 16);
  ASSERT_EQ(gHeadless.boxCount, 1);
  char expected[256];
  utf8tosjis(expected, sizeof expected,
             " このファイル： \r\n   notes.txt \r\n には拡張子 \".VMD\" がありません. \r\n \r\n 強行しますか? ");
  EXPECT_STREQ(gHeadless.boxes[0].text, expected);
}

TEST_F(DriverRun, PmxIsRefusedButReloadsTheRegistryFirst) {
  std::string pmx = Write("model.pmx", "PMX ");
  EXPECT_EQ(Run({"-ND", pmx}), 0);
  EXPECT_EQ(gHeadless.boxCount, 0);
  EXPECT_EQ(NameCount(1), 473);  // vocabulary registered
  EXPECT_EQ(gRun.lastVmdA[0], 0);
}

// A file that is not a motion, cannot be read or is cut short shows its status
// in the report, in red, under its name; a cut one also its verdict on the
// keys read. A complete motion's report has no such line.
TEST_F(DriverRun, FailedReadsShowTheirStatusInTheReport) {
  std::string cut = EmptyMotion();
  cut.replace(cut.size() - 4, 4, std::string("\x02\0\0\0", 4));  // two bone keys, none there
  struct Case {
    std::string path;
    std::vector<const char*> lines;  // from line 1; "" is an empty line
  } cases[] = {
      {Write("bad.vmd", "not a motion"), {"bad.vmd", "not-a-motion: not a VMD motion: header byte 0 is 0x6E", ""}},
      {dir + "/missing.vmd", {"", "unreadable: no such file", ""}},
      {Write("cut.vmd", cut),
       {"cut.vmd", "cut: cut short in the bone section: 0 of 2 records read, the file ends at byte 54; every key is lost",
        "Verdict on the keys read before the cut:", "  (OK): ", ""}},
      {Write("whole.vmd", EmptyMotion()), {"whole.vmd", "", "\x8C\xB3"}},  // then the model line
      {Write("notes.txt", "hello"), {"", "unreadable: not read: its name is not a motion's (.vmd)", ""}},
  };
  // Not found on disk, or not read: the name given.
  cases[1].lines[0] = cases[1].path.c_str();
  cases[4].lines[0] = cases[4].path.c_str();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    Fresh();
    EXPECT_EQ(Run({"-ND", c.path}), 0);
    ASSERT_GT(gReport.linecount, (int)c.lines.size());
    for (size_t i = 0; i < c.lines.size(); i++) {
      const std::string line = gReport.lines[i + 1];
      EXPECT_EQ(line.substr(0, strlen(c.lines[i])), c.lines[i]) << i + 1;
      if (i == 1 && line.find(": ") != std::string::npos) {
        EXPECT_EQ(gReport.cellcolour[i + 1][0], 0x0000FFu) << "red, as a fault";
      }
    }
  }
}

TEST_F(DriverRun, OptionEntriesAreNeverFiles) {
  // A file whose name begins with '-' is reached only through a directory part.
  std::string m = Write("-odd.vmd", EmptyMotion());
  EXPECT_EQ(Run({"-ND", "-odd.vmd"}), 0);
  EXPECT_EQ(gRun.lastVmdA[0], 0);
  Fresh();
  EXPECT_EQ(Run({"-ND", m}), 0);
  EXPECT_STREQ(gRun.lastVmdA, "-odd.vmd");
}

// With the font beside the executable the window waits for the user.

std::vector<std::string> gRead;  // files in the order the reader opened them
void NoteRead(const char* text) {
  if (!strncmp(text, "Reading from: ", 14)) gRead.push_back(text + 14);
}

class DriverWindow : public DriverRun {
 protected:
  void SetUp() override {
    DriverRun::SetUp();
    if (!LinkTestFont(dir)) GTEST_SKIP() << "no font at " << kTestFont;
    gRead.clear();
    DiagSetReceiver(NoteRead);
  }
};

// A dropped name with no UTF-16 form keeps its place in both lists and is
// read through its narrow bytes; the files after it keep their own names (a
// .txt is still confirmed, never taken for the motion beside it).
TEST_F(DriverWindow, ADroppedNameWithoutUtf16FormKeepsTheListsInStep) {
  std::string one = Write("one.vmd", EmptyMotion());
  std::string bad = Write("caf\xE9.vmd", EmptyMotion());
  std::string txt = Write("notes.txt", "x");
  const char* narrow[] = {txt.c_str(), bad.c_str()};
  std::u16string txtW = Utf8ToUtf16(txt);
  const char16_t* wide[] = {txtW.c_str(), u""};
  HeadlessScriptDropForms(2, narrow, wide);
  HeadlessScriptChar(27);
  HeadlessQueueAnswer(kIdCancel);  // no to notes.txt
  EXPECT_EQ(Run({one}), 16);
  ASSERT_EQ(gArgsA.count, 4);
  EXPECT_EQ(gArgsW.count, 4);
  EXPECT_STREQ(argat(&gArgsA, 2), bad.c_str());
  EXPECT_TRUE(uniargat(&gArgsW, 2)[0] == 0);
  ASSERT_EQ(gRead.size(), 2u);
  EXPECT_EQ(gRead[1].substr(0, bad.size()), bad);
  EXPECT_EQ(gHeadless.boxCount, 1);  // the question about notes.txt
}

// A motion whose arm twist turns (needs fixing; the copy folds it into the arm).
std::string TwistMotion() {
  VmdWriter w;
  w.Header().ModelName("model").Count(4);
  const float s = 0.5f, c = 0.8660254f;  // 60 degrees about x
  w.Bone(SjisName("左腕"), 0).Bone(SjisName("左腕"), 30, 0, 0, 0, 0, 0, s, c);
  w.Bone(SjisName("左腕捩"), 0).Bone(SjisName("左腕捩"), 30, 0, 0, 0, s, 0, 0, c);
  w.Count(0).Count(0).Count(0).Count(0).Count(0);
  return std::string(w.bytes.begin(), w.bytes.end());
}

std::string ReadAll(const std::string& path) {
  std::string s;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return "(none)";
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
  fclose(f);
  return s;
}

std::vector<std::string> FilesIn(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// The title names the file and its verdict, in the user's language; a file
// that is not a motion, its status.
TEST_F(DriverWindow, TitleNamesTheFileAndItsVerdict) {
  std::string m = Write("walk.vmd", TwistMotion());
  HeadlessScriptChar(27);
  EXPECT_EQ(Run({m}), 0);
  EXPECT_STREQ(gHeadlessWindow.title, "Tarvel — walk.vmd — Needs fixing");

  Fresh();
  gHeadless.langId = 0x0411;
  HeadlessScriptChar(27);
  EXPECT_EQ(Run({m}), 0);
  EXPECT_STREQ(gHeadlessWindow.title, "Tarvel — walk.vmd — 要修正");

  // two files: the title follows, set once for each
  Fresh();
  std::string bad = Write("bad.vmd", "not a motion");
  HeadlessScriptChar(27);
  HeadlessScriptChar(27, 300);
  EXPECT_EQ(Run({m, bad}), 0);
  EXPECT_STREQ(gHeadlessWindow.title, "Tarvel — bad.vmd — Not a motion");
  EXPECT_EQ(gHeadlessWindow.titleSets, 1);  // created with the first title, set for the second
}

// V: the verdict box of the motion on screen, owned by the window.
TEST_F(DriverWindow, VShowsTheVerdictBox) {
  std::string m = Write("walk.vmd", TwistMotion());
  HeadlessScriptChar('v');
  HeadlessScriptChar(27);
  EXPECT_EQ(Run({m}), 0);
  ASSERT_EQ(gHeadless.boxCount, 1);
  const HeadlessBox& b = gHeadless.boxes[0];
  EXPECT_STREQ(b.title, "Tarvel");
  EXPECT_TRUE(b.owned);
  EXPECT_EQ(b.style, 0x40040u);
  EXPECT_NE(strstr(b.text, "要修正"), nullptr) << b.text;

  // a file that is not a motion has no verdict: its status, never "OK"
  Fresh();
  std::string bad = Write("bad.vmd", "not a motion");
  HeadlessScriptChar('V');
  HeadlessScriptChar(27);
  EXPECT_EQ(Run({bad}), 0);
  ASSERT_EQ(gHeadless.boxCount, 1);
  EXPECT_STREQ(gHeadless.boxes[0].text, "not-a-motion: not a VMD motion: header byte 0 is 0x6E");
}

// F: the copy tarvel-fix writes, beside the motion, told in a box with the
// copy's verdict; the window still shows the motion (its title, its verdict
// box, its capture); a second F finds the copy there; a file of other bytes
// under its name is never replaced.
TEST_F(DriverWindow, FWritesTheCopyAsTarvelFixDoes) {
  std::string m = Write("walk.vmd", TwistMotion());
  std::string other = tmp.Root() + "/by-tool";
  ASSERT_TRUE(std::filesystem::create_directory(other));
  std::string theirs = other + "/walk.vmd";
  ASSERT_TRUE(std::filesystem::copy_file(m, theirs));
  ASSERT_EQ(system(("'" TARVEL_BINARY_DIR "/tarvel-fix' '" + theirs + "' >/dev/null 2>&1").c_str()), 0);
  const std::string expected = ReadAll(other + "/walk.vrm.vmd");

  HeadlessScriptChar('s');
  HeadlessScriptChar('f');
  HeadlessScriptChar('v');
  HeadlessScriptChar('s');
  HeadlessScriptChar('F');
  HeadlessScriptChar(27);
  EXPECT_EQ(Run({m}), 0);
  EXPECT_FALSE(gHeadlessWindow.ranOut);
  EXPECT_EQ(ReadAll(dir + "/walk.vrm.vmd"), expected);
  EXPECT_EQ(FilesIn(dir), (std::vector<std::string>{"by-tool", "cap(1).bmp", "cap(2).bmp",
                                                     "mplus-2m-regular.ttf", "walk.vmd", "walk.vrm.vmd"}));
  EXPECT_EQ(ReadAll(dir + "/cap(1).bmp"), ReadAll(dir + "/cap(2).bmp"));
  EXPECT_STREQ(gHeadlessWindow.title, "Tarvel — walk.vmd — Needs fixing");
  ASSERT_EQ(gHeadless.boxCount, 3);
  const std::string made = gHeadless.boxes[0].text;
  EXPECT_EQ(made.rfind("The VRM-ready copy was written:\n" + dir + "/walk.vrm.vmd\n", 0), 0u) << made;
  EXPECT_NE(made.find("folded: 左腕捩 into 左腕"), std::string::npos) << made;
  EXPECT_NE(made.find("The copy's verdict:\n(OK)"), std::string::npos) << made;
  EXPECT_STREQ(gHeadless.boxes[0].title, "Tarvel");
  EXPECT_TRUE(gHeadless.boxes[0].owned);
  EXPECT_NE(strstr(gHeadless.boxes[1].text, "要修正"), nullptr) << "the motion's verdict, not the copy's";
  const std::string again = gHeadless.boxes[2].text;
  EXPECT_EQ(again.rfind("The VRM-ready copy is already there, with the same bytes:\n" + dir + "/walk.vrm.vmd\n", 0), 0u)
      << again;
  EXPECT_EQ(ReadAll(dir + "/walk.vrm.vmd"), expected);

  // a file of other bytes under the copy's name stays as it is
  Fresh();
  Write("walk.vrm.vmd", "mine");
  HeadlessScriptChar('f');
  HeadlessScriptChar(27);
  EXPECT_EQ(Run({m}), 0);
  EXPECT_EQ(ReadAll(dir + "/walk.vrm.vmd"), "mine");
  ASSERT_EQ(gHeadless.boxCount, 1);
  const std::string refused = gHeadless.boxes[0].text;
  EXPECT_EQ(refused.rfind("No copy was made: " + dir + "/walk.vrm.vmd: ", 0), 0u) << refused;
}

// F on what gives no copy: the reason, and no file.
TEST_F(DriverWindow, FWithoutACopySaysWhy) {
  std::string cut = TwistMotion().substr(0, 54 + 111 + 50);  // inside the second bone key
  struct Case {
    std::string path, reason;
  } cases[] = {
      {Write("still.vmd", EmptyMotion()), "No copy was made: nothing to fix"},
      {Write("cut.vmd", cut), "No copy was made: "},
      {Write("bad.vmd", "not a motion"), "No copy was made: not a VMD motion"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    Fresh();
    const std::vector<std::string> before = FilesIn(dir);
    HeadlessScriptChar('f');
    HeadlessScriptChar(27);
    EXPECT_EQ(Run({c.path}), 0);
    EXPECT_EQ(FilesIn(dir), before);
    ASSERT_EQ(gHeadless.boxCount, 1);
    EXPECT_EQ(std::string(gHeadless.boxes[0].text).rfind(c.reason, 0), 0u) << gHeadless.boxes[0].text;
  }
  // in Japanese, the box's own words
  Fresh();
  gHeadless.langId = 0x0411;
  HeadlessScriptChar('f');
  HeadlessScriptChar(27);
  EXPECT_EQ(Run({cases[0].path}), 0);
  ASSERT_EQ(gHeadless.boxCount, 1);
  EXPECT_EQ(std::string(gHeadless.boxes[0].text).rfind("コピーは作れませんでした: ", 0), 0u)
      << gHeadless.boxes[0].text;
}

}  // namespace
