// Whole-program runs of the driver on the headless back end: real files in a
// fresh folder, scripted answers, recorded boxes and dialogs.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
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
#include "tests/support/tempdir.h"
#include "vmd/vmdread.h"

namespace {

// The smallest motion: header, model name, bone count 0 (54 bytes).
std::string EmptyMotion() {
  std::string b = "Vocaloid Motion Data 0002";
  b.append(5, '\0');
  b.append("model");
  b.append(15, '\0');
  b.append(4, '\0');
  return b;
}

class DriverRun : public ::testing::Test {
 protected:
  std::string dir;
  std::vector<std::string> args;
  std::vector<const char*> argv;

  void SetUp() override {
    char tmpl[] = "/tmp/tarvel-driver-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir = tmpl;
    HeadlessReset();
    WindowReset();
    args = {dir + "/tarvel"};
  }
  void TearDown() override {
    DiagSetReceiver(nullptr);
    std::string cmd = "rm -rf '" + dir + "'";
    ASSERT_EQ(system(cmd.c_str()), 0);
  }
  std::string Write(const std::string& name, const std::string& bytes) {
    std::string path = dir + "/" + name;
    FILE* f = fopen(path.c_str(), "wb");
    EXPECT_NE(f, nullptr);
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
    return path;
  }
  int Run(std::vector<std::string> more) {
    for (auto& m : more) args.push_back(m);
    argv.clear();
    for (auto& a : args) argv.push_back(a.c_str());
    HeadlessSetArgs((int)argv.size(), argv.data());
    return TarvelMain();
  }
};

TEST_F(DriverRun, NoFileAndDialogCancelledEndsQuietlyWithZero) {
  EXPECT_EQ(Run({}), 0);
  EXPECT_EQ(gHeadless.dialogsShown, 1);
  EXPECT_STREQ(gHeadless.dialogTitle, "Open MMD Motion File");
  EXPECT_EQ(gHeadless.dialogInitialDir, dir);  // the executable's own folder
  EXPECT_EQ(gHeadless.boxCount, 0);
}

TEST_F(DriverRun, DialogChoiceIsAppendedAndChecked) {
  std::string m = Write("walk.vmd", EmptyMotion());
  gHeadless.dialogChoice = m.c_str();
  EXPECT_EQ(Run({"-ND"}), 0);  // the option entry makes the list long enough: no dialog
  EXPECT_EQ(gHeadless.dialogsShown, 0);

  HeadlessReset();
  gHeadless.dialogChoice = m.c_str();
  args = {dir + "/tarvel"};
  EXPECT_EQ(Run({}), 0);
  EXPECT_EQ(gHeadless.dialogsShown, 1);
  EXPECT_EQ(gArgsA.count, 2);
  EXPECT_STREQ(argat(&gArgsA, 1), m.c_str());
  EXPECT_STREQ(gRun.lastVmdA, "walk.vmd");  // the chosen file was read

  // A chosen file that cannot be opened takes the usage path.
  HeadlessReset();
  std::string gone = dir + "/gone.vmd";
  gHeadless.dialogChoice = gone.c_str();
  args = {dir + "/tarvel"};
  EXPECT_EQ(Run({}), 0);
  EXPECT_EQ(gRun.lastVmdA[0], 0);
}

// An empty argument 1 is no argument: the dialog asks for a file.
TEST_F(DriverRun, AnEmptyArgumentAsksForAFile) {
  EXPECT_EQ(Run({""}), 0);
  EXPECT_EQ(gHeadless.dialogsShown, 1);
  EXPECT_EQ(gArgsA.count, 1);
  EXPECT_EQ(gArgsW.count, 1);
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
    HeadlessReset();
    args = {dir + "/tarvel"};
    Run({m, c.option});  // after the file name: options apply to every file
    EXPECT_EQ(gRun.displayLevel, c.display) << c.option;
    EXPECT_EQ(gRun.cancelDialogue, c.cancel) << c.option;
  }
}

TEST_F(DriverRun, MotionExtensionsAreTakenWithoutAQuestion) {
  for (const char* name : {"motion.vmd", "MOTION.VMD", "motion.VMD2", "m.Vmd"}) {
    HeadlessReset();
    args = {dir + "/tarvel"};
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

TEST_F(DriverRun, ConfirmedOtherFileIsNotReadAndOkGoesOn) {
  std::string notes = Write("notes.txt", "hello");
  std::string m = Write("b.vmd", EmptyMotion());
  HeadlessQueueAnswer(kIdOk);
  EXPECT_EQ(Run({"-ND", notes, m}), 0);
  EXPECT_EQ(gHeadless.boxCount, 1);
  EXPECT_STREQ(gRun.lastVmdA, "b.vmd");
}

TEST_F(DriverRun, NoDialogueLevelTwoSuppressesTheQuestion) {
  std::string notes = Write("notes.txt", "hello");
  EXPECT_EQ(Run({"-ND2", notes}), 0);
  EXPECT_EQ(gHeadless.boxCount, 0);
  EXPECT_EQ(gRun.lastVmdA[0], 0);  // the file goes on unread
}

TEST_F(DriverRun, BoxNamesTheFileOnOtherCodePagesAndInJapaneseMode) {
  std::string notes = Write("notes.txt", "hello");
  gHeadless.codePage = 1252;
  HeadlessQueueAnswer(kIdCancel);
  EXPECT_EQ(Run({"-ND", notes}), 16);
  ASSERT_EQ(gHeadless.boxCount, 1);
  EXPECT_NE(strstr(gHeadless.boxes[0].text, " This file: \r\n   notes.txt \r\n"), nullptr);

  HeadlessReset();
  args = {dir + "/tarvel"};
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

TEST_F(DriverRun, MissingFontShowsTheVerdictBoxUnlessNoDialogue) {
  std::string m = Write("c.vmd", EmptyMotion());
  EXPECT_EQ(Run({m}), 0);
  ASSERT_EQ(gHeadless.boxCount, 1);
  EXPECT_STREQ(gHeadless.boxes[0].title, "Tarvel");
  EXPECT_EQ(gHeadless.boxes[0].style, 0x40040u);
  EXPECT_NE(strstr(gHeadless.boxes[0].text, "(OK)"), nullptr);

  HeadlessReset();
  args = {dir + "/tarvel"};
  EXPECT_EQ(Run({"-ND", m}), 0);
  EXPECT_EQ(gHeadless.boxCount, 0);
}

TEST_F(DriverRun, UnreadableMotionIsReportedAllTheSame) {
  std::string bad = Write("bad.vmd", "not a motion");
  EXPECT_EQ(Run({"-ND", bad}), 0);
  EXPECT_EQ(gRun.narrowFailed, 0xFF);
  EXPECT_EQ(gRun.wideFailed, 0xFF);
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
    HeadlessReset();
    args = {dir + "/tarvel"};
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
  HeadlessReset();
  args = {dir + "/tarvel"};
  EXPECT_EQ(Run({"-ND", m}), 0);
  EXPECT_STREQ(gRun.lastVmdA, "-odd.vmd");
}

// With the font beside the executable the window waits for the user.
constexpr char kFont[] = "/usr/share/fonts/truetype/vlgothic/VL-Gothic-Regular.ttf";

std::vector<std::string> gRead;  // files in the order the reader opened them
void NoteRead(const char* text) {
  if (!strncmp(text, "Reading from: ", 14)) gRead.push_back(text + 14);
}

class DriverWindow : public DriverRun {
 protected:
  void SetUp() override {
    DriverRun::SetUp();
    if (access(kFont, R_OK) != 0) GTEST_SKIP() << "no font at " << kFont;
    std::string ln = "ln -s '" + std::string(kFont) + "' '" + dir + "/mplus-2m-regular.ttf'";
    ASSERT_EQ(system(ln.c_str()), 0);
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

TEST_F(DriverWindow, SSavesACaptureBesideTheExecutableAndEscEnds) {
  std::string m = Write("m.vmd", EmptyMotion());
  HeadlessScriptChar('S');
  HeadlessScriptChar(27);
  EXPECT_EQ(Run({m}), 0);
  FILE* f = fopen((dir + "/cap(1).bmp").c_str(), "rb");
  ASSERT_NE(f, nullptr);
  fseek(f, 0, SEEK_END);
  // Twelve report lines (header, two headings, their blank lines) none wider
  // than 62 bytes: a 512 x 204 canvas, rows of 1536 bytes, plus the 54-byte header.
  EXPECT_EQ(ftell(f), 1536 * 204 + 54);
  fclose(f);
}

TEST_F(DriverWindow, NoFreeCaptureNameSavesNothing) {
  for (int n = 1; n <= 99; n++) Write("cap(" + std::to_string(n) + ").bmp", "x");
  std::string m = Write("m.vmd", EmptyMotion());
  HeadlessScriptChar('s');
  HeadlessScriptChar('f');  // ignored
  HeadlessScriptKey(0x51, 0x11, kHeadlessCtrl);  // Ctrl+Q
  EXPECT_EQ(Run({m}), 0);
  FILE* f = fopen((dir + "/cap(1).bmp").c_str(), "rb");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(fgetc(f), 'x');  // untouched
  fclose(f);
  EXPECT_FALSE(fopen((dir + "/cap(100).bmp").c_str(), "rb"));
}

}  // namespace
