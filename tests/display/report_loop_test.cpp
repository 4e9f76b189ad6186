// The report event loop driven through the headless window.
#include "display/report_loop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "analysis/report_buffer.h"
#include "analysis/file_report.h"
#include "analysis/verdict.h"
#include "base/paths.h"
#include "base/runenv.h"
#include "display/canvas.h"
#include "display/text.h"
#include "display/window_logic.h"
#include "platform/headless/headless.h"
#include "platform/port.h"
#include "tests/support/exedir.h"

namespace {

class ReportLoop : public ::testing::Test {
 protected:
  void SetUp() override {
    HeadlessReset();
    ResetRunEnv();
    WindowReset();
    TextReset();
    ResetArgLists();
    SetPathSeparators(0, 0);
    ASSERT_TRUE(dir_.Ok());
    SetExeDir(dir_.Root() + "/");
    for (const char* a : {"/bin/tarvel", "/m/first.vmd"}) {
      addarg(&gArgsA, a);
      uniaddarg(&gArgsW, Utf8ToUtf16(a).c_str());
    }
    // Line 0 empty, line 1 red, line 2 empty, line 3 green.
    rbreset();
    rbnewline();
    rbcolor(255, 0, 0);
    rbputs("MOTION REPORT");  // no descenders: the ink stays in its band
    rbnewline();
    rbnewline();
    rbcolor(0, 255, 0);
    rbputs("ABC");
    rbnewline();
    RecordFileEnd();
    gFileReport.read = true;
    snprintf(gFileReport.boxtext, sizeof gFileReport.boxtext, "narrow verdict");
    memcpy(gFileReport.boxtextw, u"wide verdict", sizeof u"wide verdict");
  }
  void TearDown() override {
    CloseReportWindow();
    WindowReset();
  }
  static void LongReport(int lines) {
    rbreset();
    rbnewline();
    for (int i = 1; i < lines; i++) {
      rbputs("line");
      rbnewline();
    }
    RecordFileEnd();
  }
  static void Fresh() {
    WindowDestroy();
    WindowReset();
    HeadlessReset();
  }
  TempDir dir_;
};

#define REQUIRE_FONT() \
  if (!LinkTestFont(dir_.Root())) GTEST_SKIP() << "no font at " << kTestFont

struct Band {
  int inked = 0, foreign = 0;  // pixels not black; of them, those of another hue than the line's
  int firstRow = -1, firstCol = 9999, brightest = 0;
};

// Ink in the 17-pixel band of line i, judged against the line's colour.
Band InkOfLine(int i, bool r, bool g) {
  Band band;
  for (int y = 17 * i; y < 17 * i + 17 && y < CanvasHeight(); y++)
    for (int x = 0; x < CanvasWidth(); x++) {
      uint8_t pr, pg, pb;
      CanvasPixel(x, y, &pr, &pg, &pb);
      if (!pr && !pg && !pb) continue;
      band.inked++;
      band.foreign += (pr && !r) || (pg && !g) || pb;
      if (band.firstRow < 0) band.firstRow = y;
      band.firstCol = std::min(band.firstCol, x);
      band.brightest = std::max<int>(band.brightest, std::max(pr, pg));
    }
  return band;
}

TEST_F(ReportLoop, DrawsEachLineInItsColourAndEscEnds) {
  REQUIRE_FONT();
  HeadlessScriptChar(27);
  EXPECT_EQ(kOutcomeQuit, RunReportWindow());
  EXPECT_FALSE(gHeadlessWindow.ranOut || gHeadlessWindow.topmost);
  EXPECT_EQ(512, CanvasWidth());
  EXPECT_EQ(0, InkOfLine(0, 0, 0).inked + InkOfLine(2, 0, 0).inked);  // empty lines stay blank
  Band red = InkOfLine(1, true, false);
  EXPECT_GT(red.inked, 50);
  EXPECT_EQ(0, red.foreign);
  EXPECT_EQ(254, red.brightest);  // full coverage of 255 on black
  // the image (one blank pixel round the ink) sits at (2, 17 x i + 2)
  EXPECT_EQ(17 + 3, red.firstRow);
  EXPECT_TRUE(red.firstCol >= 3 && red.firstCol <= 6) << red.firstCol;
  Band green = InkOfLine(3, false, true);
  EXPECT_TRUE(green.inked > 20 && green.foreign == 0);
  EXPECT_EQ(17 * 3 + 3, green.firstRow);
  EXPECT_EQ(0, gHeadless.boxCount);
}

TEST_F(ReportLoop, QuitCodesEndTheLoopAndOtherKeysDoNot) {
  REQUIRE_FONT();
  void (*quits[])() = {[] { HeadlessScriptKey(0, 'q', kHeadlessCtrl); },
                       [] { HeadlessScriptChar('q'); }, [] { HeadlessScriptClose(); },
                       [] { HeadlessScriptCall([](int c) { SetPendingCode(c); }, 'Q'); }};
  for (auto script : quits) {
    Fresh();
    script();
    EXPECT_EQ(kOutcomeQuit, RunReportWindow());
    EXPECT_FALSE(gHeadlessWindow.ranOut);
    EXPECT_EQ(0, TakePendingCode());
  }
  int repaintsOnce = gHeadlessWindow.repaints;
  std::vector<uint8_t> once(CanvasData(), CanvasData() + 512 * 96 * 3);

  // SPACE, Enter, arrows and 'f' leave the canvas as it is
  Fresh();
  HeadlessScriptChar(' ');
  HeadlessScriptChar(13);
  HeadlessScriptKey(0x26, 0, kHeadlessShift);
  HeadlessScriptChar('f');
  HeadlessScriptChar(27);
  ASSERT_EQ(kOutcomeQuit, RunReportWindow());
  EXPECT_EQ(5, gHeadlessWindow.eventNext);
  EXPECT_EQ(repaintsOnce, gHeadlessWindow.repaints);  // drawn once only
  EXPECT_EQ(0, memcmp(once.data(), CanvasData(), once.size()));
}

TEST_F(ReportLoop, SSavesACaptureBesideTheExecutable) {
  REQUIRE_FONT();
  HeadlessScriptChar('S');
  HeadlessScriptChar('s');
  HeadlessScriptChar(27);
  ASSERT_EQ(kOutcomeQuit, RunReportWindow());
  EXPECT_EQ(147510u, ReadFileBytes(dir_.Path("cap(2).bmp")).size());
  EXPECT_FALSE(FileExists(dir_.Path("cap(3).bmp")));
}

TEST_F(ReportLoop, DraggingPansTheViewAndAClickDoesNot) {
  REQUIRE_FONT();
  LongReport(100);  // 512 x 1700
  gHeadlessWindow.metrics.workW = 400;
  gHeadlessWindow.metrics.workH = 300;
  HeadlessScriptBorderDrag(true, true, 390, 290);
  HeadlessScriptThumb(kAxisY, 200);
  HeadlessScriptDrag(100, 100, 60, 70);
  HeadlessScriptButton(kButtonLeft, true, 30, 30);
  HeadlessScriptButton(kButtonLeft, false, 30, 30);
  HeadlessScriptChar(27);
  ASSERT_EQ(kOutcomeQuit, RunReportWindow());
  ASSERT_TRUE(gWindow.range[kAxisX] > 40 && gWindow.range[kAxisY] > 230);
  EXPECT_EQ(40, gHeadlessWindow.viewX);
  EXPECT_EQ(230, gHeadlessWindow.viewY);
  EXPECT_EQ(kCursorArrow, gHeadlessWindow.cursor);
}

TEST_F(ReportLoop, MissingFontShowsTheVerdictBoxInstead) {
  gHeadless.codePage = 932;
  EXPECT_EQ(kOutcomeNoFont, RunReportWindow());
  EXPECT_NE(0, gRun.fontFailed);
  EXPECT_TRUE(ReportWindowExists());  // the window opened, black
  EXPECT_EQ(0, InkOfLine(1, 0, 0).inked + gHeadless.pumps);  // and the loop ended at once
  ASSERT_EQ(1, gHeadless.boxCount);
  const HeadlessBox& b = gHeadless.boxes[0];
  EXPECT_FALSE(b.wide);
  EXPECT_STREQ("narrow verdict", b.text);
  EXPECT_STREQ("Tarvel", b.title);

  // read through the UTF-16 path, or a narrow code page other than
  // Shift-JIS (where the Shift-JIS bytes would show as Latin letters): the
  // UTF-16 text
  gRun.narrowFailed = 0xFF;
  RunReportWindow();
  gRun.narrowFailed = 0;
  gHeadless.codePage = 1252;
  RunReportWindow();
  ASSERT_EQ(3, gHeadless.boxCount);
  for (int i : {1, 2}) {
    EXPECT_TRUE(gHeadless.boxes[i].wide) << i;
    EXPECT_STREQ("wide verdict", gHeadless.boxes[i].text) << i;
  }

  // a file not read has no verdict: the box gives its status, never "OK"
  gFileReport.read = false;
  gFileReport.status = kStatusUnreadable;
  snprintf(gFileReport.reason, sizeof gFileReport.reason, "no such file");
  RunReportWindow();
  ASSERT_EQ(4, gHeadless.boxCount);
  EXPECT_STREQ("unreadable: no such file", gHeadless.boxes[3].text);

  // no box with the no-dialogue option
  gRun.cancelDialogue = 1;
  EXPECT_EQ(kOutcomeNoFont, RunReportWindow());
  EXPECT_EQ(4, gHeadless.boxCount);
}

TEST_F(ReportLoop, WindowFailureEndsTheLoop) {
  REQUIRE_FONT();
  gHeadlessWindow.failCreate = true;
  EXPECT_EQ(kOutcomeQuit, RunReportWindow());  // no window: the first dispatch ends it
  EXPECT_FALSE(ReportWindowExists());
  EXPECT_EQ(0, gHeadless.pumps);
}

TEST_F(ReportLoop, CloseBoxEndsLaterFilesAndCloseDestroysAndPauses) {
  REQUIRE_FONT();
  HeadlessScriptClose();
  ASSERT_EQ(kOutcomeQuit, RunReportWindow());
  // a second file, a taller report: the window is resized, not made again
  LongReport(40);
  int64_t before = gHeadless.clockMs;
  EXPECT_EQ(kOutcomeQuit, RunReportWindow());
  EXPECT_LT(gHeadless.clockMs - before, 1000);  // the close box ended it at once
  EXPECT_EQ(1, gHeadlessWindow.creates);
  EXPECT_EQ(680 + 23, gHeadlessWindow.h);

  before = gHeadless.clockMs;
  CloseReportWindow();
  EXPECT_FALSE(ReportWindowExists());
  EXPECT_EQ(200, gHeadless.clockMs - before);
  EXPECT_EQ(1, gHeadlessWindow.destroys);
}

int gCopies;
void CountCopy() { gCopies++; }

// V shows the verdict box (owned by the window) whenever asked; F calls the
// copy maker once per press, and the keys typed meanwhile are dropped.
TEST_F(ReportLoop, VShowsTheVerdictBoxAndFCallsTheCopyMaker) {
  REQUIRE_FONT();
  gHeadless.codePage = 932;
  gCopies = 0;
  HeadlessScriptChar('v');
  HeadlessScriptChar('V');
  HeadlessScriptChar('f');
  HeadlessScriptChar('F');
  HeadlessScriptChar(27);
  ASSERT_EQ(kOutcomeQuit, RunReportWindow(CountCopy));
  EXPECT_FALSE(gHeadlessWindow.ranOut);
  EXPECT_EQ(2, gCopies);
  ASSERT_EQ(2, gHeadless.boxCount);
  for (int i : {0, 1}) {
    const HeadlessBox& b = gHeadless.boxes[i];
    EXPECT_STREQ("narrow verdict", b.text);
    EXPECT_STREQ("Tarvel", b.title);
    EXPECT_TRUE(b.owned);
    EXPECT_EQ(kMbOk | kMbIconInformation | kMbTopmost, b.style);
  }
  // without a copy maker F is ignored
  Fresh();
  HeadlessScriptChar('f');
  HeadlessScriptChar(27);
  ASSERT_EQ(kOutcomeQuit, RunReportWindow());
  EXPECT_EQ(0, gHeadless.boxCount);
  EXPECT_FALSE(gHeadlessWindow.ranOut);
}

// The title: the file's name and its verdict's label; a file not read, its status.
TEST(ReportWindowTitle, NamesTheFileAndItsLabelOrStatus) {
  static FileReport r;
  char t[kTitleMax];
  auto title = [&](const char* path, int status, bool read, int category, bool ja) {
    snprintf(r.path, sizeof r.path, "%s", path);
    r.status = status;
    r.read = read;
    r.category = category;
    ReportWindowTitle(r, ja, t, sizeof t);
    return std::string(t);
  };
  EXPECT_EQ("Tarvel — walk.vmd — Needs fixing", title("/m/dance/walk.vmd", kStatusComplete, true, kLevelFix, false));
  EXPECT_EQ("Tarvel — walk.vmd — 要修正", title("/m/dance/walk.vmd", kStatusComplete, true, kLevelFix, true));
  EXPECT_EQ("Tarvel — 踊り.vmd — Usable as it is", title("踊り.vmd", kStatusComplete, true, kLevelOk, false));
  EXPECT_EQ("Tarvel — c.vmd — Somewhat rough (Cut short)", title("c.vmd", kStatusCut, true, kLevelRough, false));
  EXPECT_EQ("Tarvel — c.vmd — 少し荒れ (途中で切れています)", title("c.vmd", kStatusCut, true, kLevelSlight, true));
  EXPECT_EQ("Tarvel — x.vmd — Not a motion", title("/x.vmd", kStatusNotMotion, false, kLevelOk, false));
  EXPECT_EQ("Tarvel — gone.vmd — 読み込めません", title("gone.vmd", kStatusUnreadable, false, kLevelOk, true));
  // control characters escaped: no title of two lines
  EXPECT_EQ("Tarvel — a\\x0ab.vmd — Needs checking", title("/m/a\nb.vmd", kStatusComplete, true, kLevelDropout, false));
}

TEST(ReportWindowTitle, ALongNameIsShortenedAndTheLabelStays) {
  static FileReport r;
  std::string name;
  for (int i = 0; i < 500; i++) name += "あ";  // 1,500 bytes
  snprintf(r.path, sizeof r.path, "/m/%s.vmd", name.c_str());
  r.status = kStatusComplete;
  r.read = true;
  r.category = kLevelOk;
  char t[kTitleMax];
  memset(t, 'x', sizeof t);
  ReportWindowTitle(r, false, t, sizeof t);
  const std::string title = t;
  EXPECT_LT(title.size(), sizeof t);
  EXPECT_EQ(" — Usable as it is", title.substr(title.size() - strlen(" — Usable as it is")));
  const size_t cut = title.find("…");
  ASSERT_NE(std::string::npos, cut);
  EXPECT_EQ(0u, (cut - strlen("Tarvel — ")) % 3) << "cut inside a character";
  for (int cap : {0, 1, 5, 20}) {  // a buffer too small for any name: never past it
    char small[24];
    memset(small, 'x', sizeof small);
    ReportWindowTitle(r, false, small, cap);
    EXPECT_EQ('x', small[cap]) << cap;
    if (cap > 0) {
      EXPECT_LT(strlen(small), (size_t)cap) << cap;
    }
  }
}

}  // namespace
