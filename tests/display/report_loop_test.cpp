// The report event loop driven through the headless window.
#include "display/report_loop.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
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
#include "tests/support/tempdir.h"

namespace {

const char kFont[] = "/usr/share/fonts/truetype/vlgothic/VL-Gothic-Regular.ttf";

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
    std::string exe = dir_.Root() + "/";
    snprintf(gRun.exeDirA, sizeof gRun.exeDirA, "%s", exe.c_str());
    std::u16string w = Utf8ToUtf16(exe);
    memcpy(gRun.exeDirW, w.c_str(), (w.size() + 1) * sizeof(char16_t));
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
    snprintf(gFileReport.boxtext, sizeof gFileReport.boxtext, "narrow verdict");
    memcpy(gFileReport.boxtextw, u"wide verdict", sizeof u"wide verdict");
  }
  void TearDown() override {
    CloseReportWindow();
    WindowReset();
  }
  // The font beside the "executable"; false when the system has none.
  bool InstallFont() {
    if (access(kFont, R_OK) != 0) return false;
    std::error_code ec;
    std::filesystem::create_symlink(kFont, dir_.Path("mplus-2m-regular.ttf"), ec);
    return !ec;
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
  if (!InstallFont()) GTEST_SKIP() << "no font at " << kFont

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

  // no box with the no-dialogue option
  gRun.cancelDialogue = 1;
  EXPECT_EQ(kOutcomeNoFont, RunReportWindow());
  EXPECT_EQ(3, gHeadless.boxCount);
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

}  // namespace
