// The report window's logic on the headless back end: geometry, scrolling,
// snapping, key codes, mouse state, clipboard texts and drops.
#include "display/window_logic.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "analysis/report_buffer.h"
#include "base/paths.h"
#include "display/canvas.h"
#include "platform/headless/headless.h"

namespace {

class WindowLogic : public ::testing::Test {
 protected:
  void SetUp() override {
    WindowReset();
    HeadlessReset();
    ResetArgLists();
  }
  void TearDown() override {
    WindowDestroy();
    WindowReset();
  }
  // The metrics of the headless back end: caption 23, frame 0, bars 16.
  static constexpr int kCaption = 23, kBar = 16;
  void SmallWorkArea(int w, int h) {
    gHeadlessWindow.metrics.workW = w;
    gHeadlessWindow.metrics.workH = h;
  }
  // The user drags a border of the window to a new outer size.
  void DragBorder(bool horizontal, bool vertical, int w, int h) {
    WindowOnBorderDrag(horizontal, vertical);
    PortWindowMoveResize(false, 0, 0, w, h);
  }
};

std::string Clip(int x, int y, bool shift, bool ctrl) {
  char buf[96];
  WindowClipText(x, y, shift, ctrl, buf, sizeof buf);
  return buf;
}

TEST_F(WindowLogic, CanvasSizeFromTheReport) {
  static ReportBuffer rb;
  memset(&rb, 0, sizeof rb);
  rb.linecount = 3;
  rb.widest = 60;
  int w, h;
  ReportCanvasSize(&rb, &w, &h);
  EXPECT_EQ(512, w);
  EXPECT_EQ(96, h);
  rb.linecount = 40;
  rb.widest = 100;
  ReportCanvasSize(&rb, &w, &h);
  EXPECT_EQ(816, w);
  EXPECT_EQ(680, h);
  // out-of-range counts stay within the largest canvas
  rb.linecount = 100000;
  rb.widest = 5000;
  ReportCanvasSize(&rb, &w, &h);
  EXPECT_EQ(kCanvasMaxW, w);
  EXPECT_EQ(kCanvasMaxH, h);
}

TEST_F(WindowLogic, CreationSizesTheWindowToTheCanvas) {
  ASSERT_EQ(0, WindowCreate(816, 680, "Tarvel "));
  EXPECT_TRUE(WindowExists());
  EXPECT_EQ(816, CanvasWidth());
  EXPECT_EQ(680, CanvasHeight());
  EXPECT_STREQ("Tarvel ", gHeadlessWindow.title);
  EXPECT_EQ(816, gHeadlessWindow.w);
  EXPECT_EQ(680 + kCaption, gHeadlessWindow.h);
  EXPECT_FALSE(gHeadlessWindow.createdAtCorner);
  EXPECT_TRUE(gHeadlessWindow.topmost);
  EXPECT_EQ(816, gWindow.clientW);
  EXPECT_EQ(680, gWindow.clientH);
  EXPECT_EQ(816 + kBar, gWindow.fullPlusBarW);
  EXPECT_EQ(680 + kCaption + kBar, gWindow.fullPlusBarH);
  EXPECT_EQ(816 + kBar, gWindow.canvasPlusBarW);
  EXPECT_EQ(680 + kCaption + kBar, gWindow.canvasPlusCaptionBarH);
  EXPECT_FALSE(gHeadlessWindow.barShown[0] || gHeadlessWindow.barShown[1]);

  // setting the same title again does nothing
  int sets = gHeadlessWindow.titleSets;
  WindowSetTitle("Tarvel ");
  EXPECT_EQ(sets, gHeadlessWindow.titleSets);
  WindowSetTitle("other");
  EXPECT_EQ(sets + 1, gHeadlessWindow.titleSets);
  WindowSetNonTopmost();
  EXPECT_FALSE(gHeadlessWindow.topmost);

  WindowDestroy();
  EXPECT_FALSE(WindowExists());
  EXPECT_EQ(1, gHeadlessWindow.destroys);
  EXPECT_EQ(0, CanvasWidth());
}

TEST_F(WindowLogic, CreationFailureLeavesNoWindow) {
  gHeadlessWindow.failCreate = true;
  EXPECT_EQ(-1, WindowCreate(512, 96, "Tarvel "));
  EXPECT_FALSE(WindowExists());
}

TEST_F(WindowLogic, TallReportOpensClippedAndABorderDragShowsTheBar) {
  ASSERT_EQ(0, WindowCreate(512, 17 * 100, "Tarvel "));
  EXPECT_TRUE(gHeadlessWindow.createdAtCorner);
  EXPECT_EQ(1040, gHeadlessWindow.h);
  EXPECT_EQ(1040 - kCaption, gWindow.clientH);
  EXPECT_FALSE(gWindow.enabled[kAxisY]);
  EXPECT_FALSE(gHeadlessWindow.barShown[kAxisY]);
  // the wheel cannot scroll yet
  WindowOnWheel(-120);
  EXPECT_EQ(0, gWindow.pos[kAxisY]);

  // the user drags the bottom border up a little
  DragBorder(false, true, 512, 1000);
  int client = 1000 - kCaption;
  EXPECT_TRUE(gHeadlessWindow.barShown[kAxisY]);
  EXPECT_EQ(1700 - client, gWindow.range[kAxisY]);
  EXPECT_EQ(gWindow.range[kAxisY], gHeadlessWindow.barRange[kAxisY]);
  // the vertical bar took its width from the client area; the horizontal one stays off
  EXPECT_EQ(512 - kBar, gWindow.clientW);
  EXPECT_FALSE(gHeadlessWindow.barShown[kAxisX]);

  // one notch down moves 120 pixels, less at the end of the range
  WindowOnWheel(-120);
  EXPECT_EQ(120, gWindow.pos[kAxisY]);
  EXPECT_EQ(120, gHeadlessWindow.viewY);
  EXPECT_EQ(120, gHeadlessWindow.barPos[kAxisY]);
  for (int i = 0; i < 20; i++) WindowOnWheel(-120);
  EXPECT_EQ(gWindow.range[kAxisY], gWindow.pos[kAxisY]);
  WindowOnWheel(240);
  EXPECT_EQ(gWindow.range[kAxisY] - 240, gWindow.pos[kAxisY]);
}

TEST_F(WindowLogic, ClientSizeRuleLimitsAndDisables) {
  ASSERT_EQ(0, WindowCreate(512, 1700, "Tarvel "));
  DragBorder(false, true, 512, 800);
  int range = gWindow.range[kAxisY];
  ScrollTo(kAxisY, range);
  // a taller window: the position is limited to the smaller range
  PortWindowMoveResize(false, 0, 0, 512, 1000);
  EXPECT_EQ(1700 - (1000 - kCaption), gWindow.range[kAxisY]);
  EXPECT_EQ(gWindow.range[kAxisY], gWindow.pos[kAxisY]);
  EXPECT_EQ(gWindow.pos[kAxisY], gHeadlessWindow.viewY);
  // tall enough for the whole canvas: range 0 disables and hides the bar
  gHeadlessWindow.metrics.workH = 4000;
  PortWindowMoveResize(false, 0, 0, 512, 1700 + kCaption);
  EXPECT_EQ(0, gWindow.range[kAxisY]);
  EXPECT_EQ(0, gWindow.pos[kAxisY]);
  EXPECT_FALSE(gWindow.enabled[kAxisY]);
  EXPECT_FALSE(gHeadlessWindow.barShown[kAxisY]);
  EXPECT_TRUE(WindowTakeSizeChange());
  EXPECT_FALSE(WindowTakeSizeChange());
}

TEST_F(WindowLogic, ScrollToLimitsAndSkipsTheSamePosition) {
  ASSERT_EQ(0, WindowCreate(512, 1700, "Tarvel "));
  DragBorder(false, true, 512, 600);
  int range = gWindow.range[kAxisY];
  ScrollTo(kAxisY, -5);
  EXPECT_EQ(0, gWindow.pos[kAxisY]);
  ScrollTo(kAxisY, range + 100);
  EXPECT_EQ(range, gWindow.pos[kAxisY]);
  gHeadlessWindow.viewY = -1;  // a call that changes nothing does not reach the back end
  ScrollTo(kAxisY, range);
  EXPECT_EQ(-1, gHeadlessWindow.viewY);
  // the horizontal axis has range 0: nothing moves
  ScrollTo(kAxisX, 50);
  EXPECT_EQ(0, gWindow.pos[kAxisX]);
}

TEST_F(WindowLogic, ArrowRepeatsAccelerate) {
  ASSERT_EQ(0, WindowCreate(512, 1700, "Tarvel "));
  DragBorder(false, true, 512, 600);
  ASSERT_GT(gWindow.range[kAxisY], 100);
  int last = 0;
  for (int i = 1; i <= 9; i++) {
    WindowOnScrollArrow(kAxisY, 1);
    EXPECT_EQ(2, gWindow.pos[kAxisY] - last) << "repeat " << i;
    last = gWindow.pos[kAxisY];
  }
  int expected[] = {3, 4, 5, 6};
  for (int step : expected) {
    WindowOnScrollArrow(kAxisY, 1);
    EXPECT_EQ(step, gWindow.pos[kAxisY] - last);
    last = gWindow.pos[kAxisY];
  }
  // a pointer move over the window starts counting again
  WindowOnMotion(5, 5, false);
  WindowOnScrollArrow(kAxisY, -1);
  EXPECT_EQ(-2, gWindow.pos[kAxisY] - last);

  // page areas move a tenth of the range
  last = gWindow.pos[kAxisY];
  WindowOnScrollPage(kAxisY, 1);
  EXPECT_EQ(gWindow.range[kAxisY] / 10, gWindow.pos[kAxisY] - last);
  // the thumb scrolls to where it is released
  WindowOnThumbRelease(kAxisY, 77);
  EXPECT_EQ(77, gWindow.pos[kAxisY]);
}

TEST_F(WindowLogic, LaterRepeatsNeverMoveMoreThanATenthOfTheRange) {
  // range 35: later repeats are limited to 3 pixels
  ASSERT_EQ(0, WindowCreate(512, 400, "Tarvel "));
  DragBorder(false, true, 512, 400 + kCaption - 35);
  ASSERT_EQ(35, gWindow.range[kAxisY]);
  for (int i = 0; i < 9; i++) WindowOnScrollArrow(kAxisY, 1);
  EXPECT_EQ(18, gWindow.pos[kAxisY]);
  WindowOnScrollArrow(kAxisY, 1);  // 10th: 3
  WindowOnScrollArrow(kAxisY, 1);  // 11th: 4, limited to 3
  WindowOnScrollArrow(kAxisY, 1);  // 12th: 5, limited to 3
  EXPECT_EQ(27, gWindow.pos[kAxisY]);

  // range below 10: the later repeats move nothing
  WindowOnMotion(1, 1, false);
  DragBorder(false, true, 512, 400 + kCaption - 8);
  ASSERT_EQ(8, gWindow.range[kAxisY]);
  ScrollTo(kAxisY, 0);
  for (int i = 0; i < 9; i++) WindowOnScrollArrow(kAxisY, 1);
  EXPECT_EQ(8, gWindow.pos[kAxisY]);
  ScrollTo(kAxisY, 4);
  for (int i = 0; i < 5; i++) WindowOnScrollArrow(kAxisY, -1);
  EXPECT_EQ(4, gWindow.pos[kAxisY]);
}

TEST_F(WindowLogic, SnapWithNeitherRangeGivesTheFullSize) {
  ASSERT_EQ(0, WindowCreate(512, 96, "Tarvel "));
  PortWindowMoveResize(false, 0, 0, 700, 300);
  WindowOnSizeMoveEnd();
  EXPECT_EQ(512, gHeadlessWindow.w);
  EXPECT_EQ(96 + kCaption, gHeadlessWindow.h);
  EXPECT_EQ(64, gHeadlessWindow.x);  // the window keeps its position
}

TEST_F(WindowLogic, SnapWithOnlyTheVerticalRangeMakesRoomForItsBar) {
  ASSERT_EQ(0, WindowCreate(512, 1700, "Tarvel "));
  DragBorder(false, true, 512, 800);
  ASSERT_GT(gWindow.range[kAxisY], 0);
  WindowOnSizeMoveEnd();
  EXPECT_EQ(512 + kBar, gHeadlessWindow.w);
  EXPECT_EQ(800, gHeadlessWindow.h);
  EXPECT_EQ(512, gWindow.clientW);  // the canvas width fits beside the bar
  EXPECT_TRUE(gHeadlessWindow.barShown[kAxisY]);

  // tall enough for the canvas: the full size, bar off
  gHeadlessWindow.metrics.workH = 4000;
  WindowResize(512, 1700, "Tarvel ");  // full size recomputed for the larger work area
  WindowOnBorderDrag(false, true);
  PortWindowMoveResize(false, 0, 0, 530, 1000);
  ASSERT_GT(gWindow.range[kAxisY], 0);
  PortWindowMoveResize(false, 0, 0, 530, 1700 + kCaption);  // not yet reported as the end
  gWindow.range[kAxisY] = 5;  // as during a drag, before the last size report
  gWindow.enabled[kAxisY] = true;
  WindowOnSizeMoveEnd();
  EXPECT_EQ(512, gHeadlessWindow.w);
  EXPECT_EQ(1700 + kCaption, gHeadlessWindow.h);
  EXPECT_FALSE(gWindow.enabled[kAxisY]);
  EXPECT_EQ(0, gWindow.pos[kAxisY]);
}

TEST_F(WindowLogic, SnapWithOnlyTheHorizontalRange) {
  SmallWorkArea(400, 1040);
  ASSERT_EQ(0, WindowCreate(816, 96, "Tarvel "));
  EXPECT_EQ(400, gHeadlessWindow.w);
  DragBorder(true, false, 380, 96 + kCaption);
  ASSERT_GT(gWindow.range[kAxisX], 0);
  WindowOnSizeMoveEnd();
  EXPECT_EQ(380, gHeadlessWindow.w);
  EXPECT_EQ(96 + kCaption + kBar, gHeadlessWindow.h);
  EXPECT_EQ(96, gWindow.clientH);
  EXPECT_TRUE(gHeadlessWindow.barShown[kAxisX]);
}

TEST_F(WindowLogic, SnapWithBothRanges) {
  SmallWorkArea(600, 500);
  ASSERT_EQ(0, WindowCreate(816, 1700, "Tarvel "));
  DragBorder(true, true, 560, 480);
  ASSERT_GT(gWindow.range[kAxisX], 0);
  ASSERT_GT(gWindow.range[kAxisY], 0);
  // neither dimension is large enough: the window stays as it is
  WindowOnSizeMoveEnd();
  EXPECT_EQ(560, gHeadlessWindow.w);
  EXPECT_EQ(480, gHeadlessWindow.h);
  EXPECT_TRUE(gHeadlessWindow.barShown[kAxisX]);
  EXPECT_TRUE(gHeadlessWindow.barShown[kAxisY]);

  // wide enough for the canvas and a vertical bar: the horizontal bar goes
  gHeadlessWindow.metrics.workW = 2000;
  WindowResize(816, 1700, "Tarvel ");
  DragBorder(true, true, 700, 480);
  ASSERT_GT(gWindow.range[kAxisX], 0);
  ASSERT_GT(gWindow.range[kAxisY], 0);
  PortWindowMoveResize(false, 0, 0, 816 + kBar, 480);
  gWindow.range[kAxisX] = 1;  // the last report of the drag still had a range
  gWindow.enabled[kAxisX] = true;
  WindowOnSizeMoveEnd();
  EXPECT_EQ(816, gHeadlessWindow.w);  // the full outer width
  EXPECT_EQ(480, gHeadlessWindow.h);
  EXPECT_FALSE(gWindow.enabled[kAxisX]);
  EXPECT_EQ(0, gWindow.pos[kAxisX]);
  EXPECT_TRUE(gWindow.enabled[kAxisY]);
}

TEST_F(WindowLogic, ResizeResetsScrollingAndMovesAClippedWindowToTheCorner) {
  ASSERT_EQ(0, WindowCreate(512, 1700, "Tarvel "));
  DragBorder(false, true, 512, 600);
  ScrollTo(kAxisY, 100);
  PortWindowMoveResize(true, 300, 10, 528, 600);
  WindowResize(816, 680, "Tarvel ");
  EXPECT_EQ(816, CanvasWidth());
  EXPECT_EQ(680, CanvasHeight());
  EXPECT_EQ(0, gWindow.pos[kAxisY]);
  EXPECT_EQ(0, gWindow.range[kAxisY]);
  EXPECT_FALSE(gHeadlessWindow.barShown[kAxisY]);
  EXPECT_EQ(816, gHeadlessWindow.w);  // in place
  EXPECT_EQ(680 + kCaption, gHeadlessWindow.h);
  EXPECT_EQ(300, gHeadlessWindow.x);

  WindowResize(512, 1700, "Tarvel ");  // limited to the work area: to the corner
  EXPECT_EQ(0, gHeadlessWindow.x);
  EXPECT_EQ(0, gHeadlessWindow.y);
  EXPECT_EQ(1040, gHeadlessWindow.h);
}

TEST_F(WindowLogic, MaximiseGrowsByEightUpToTheFullSize) {
  ASSERT_EQ(0, WindowCreate(816, 680, "Tarvel "));
  PortWindowMoveResize(false, 0, 0, 600, 500);
  WindowOnMaximise();
  EXPECT_EQ(608, gHeadlessWindow.w);
  EXPECT_EQ(508, gHeadlessWindow.h);
  EXPECT_TRUE(gWindow.maximised);
  WindowOnMaximise();  // already marked
  EXPECT_EQ(608, gHeadlessWindow.w);
  WindowOnRestore();
  EXPECT_FALSE(gWindow.maximised);
  PortWindowMoveResize(false, 0, 0, 812, 700);
  WindowOnMaximise();
  EXPECT_EQ(816, gHeadlessWindow.w);
  EXPECT_EQ(680 + kCaption, gHeadlessWindow.h);

  // minimising sets each bar's flag from its range
  gWindow.range[kAxisY] = 10;
  gWindow.enabled[kAxisX] = true;
  WindowOnMinimise();
  EXPECT_FALSE(gWindow.enabled[kAxisX]);
  EXPECT_TRUE(gWindow.enabled[kAxisY]);
}

TEST_F(WindowLogic, KeyCodes) {
  EXPECT_EQ(0x11, WindowKeyCode(0, 'q', false, true, false));       // Ctrl+Q
  EXPECT_EQ(0x11, WindowKeyCode(0, 'Q', true, true, false));
  EXPECT_EQ(0x320, WindowKeyCode(0, ' ', false, true, false));      // Ctrl+SPACE
  EXPECT_EQ(0x30D, WindowKeyCode(0, 0x0D, false, true, false));     // Ctrl+CR
  EXPECT_EQ(0x578, WindowKeyCode(0, 'x', false, false, true));      // Alt+x
  EXPECT_EQ(0x541, WindowKeyCode(0, 'A', true, false, true));
  EXPECT_EQ(0, WindowKeyCode(0, '1', false, false, true));          // Alt outside 'A'..'z'
  EXPECT_EQ(0x226, WindowKeyCode(0x26, 0, true, false, false));     // Shift+Up
  EXPECT_EQ(0x425, WindowKeyCode(0x25, 0, true, true, false));      // Ctrl+Shift+Left
  EXPECT_EQ(0x328, WindowKeyCode(0x28, 0, false, true, false));
  EXPECT_EQ(0x121, WindowKeyCode(0x21, 0, false, false, false));    // Page Up
  EXPECT_EQ(0x12E, WindowKeyCode(0x2E, 0, false, false, false));    // Delete
  EXPECT_EQ('S', WindowKeyCode(0, 'S', true, false, false));
  EXPECT_EQ(27, WindowKeyCode(0, 27, false, false, false));
  EXPECT_EQ(' ', WindowKeyCode(0, ' ', false, false, false));
  EXPECT_EQ(0, WindowKeyCode(0, 0, true, true, false));             // a modifier alone

  // the key slot keeps the latest code
  WindowOnKey(0, 'a', false, false, false);
  WindowOnKey(0x26, 0, true, false, false);
  EXPECT_TRUE(gWindow.shiftHeld);
  EXPECT_EQ(0x226, WindowTakeKey());
  EXPECT_EQ(0, WindowTakeKey());
  WindowOnKey(0, 0, false, false, false);  // stores nothing
  EXPECT_EQ(0, WindowTakeKey());
}

TEST_F(WindowLogic, LeftButtonDragAndRelease) {
  ASSERT_EQ(0, WindowMakeCursors());
  ASSERT_EQ(0, WindowCreate(512, 96, "Tarvel "));
  WindowOnButton(kButtonLeft, true, 100, 50, false, true);
  EXPECT_EQ(0x1200, gWindow.key);  // Ctrl held
  EXPECT_TRUE(gWindow.leftHeld);
  EXPECT_EQ(kCursorHand, gHeadlessWindow.cursor);
  EXPECT_EQ(100, gWindow.dragX);  // a click without movement pans by nothing
  EXPECT_FALSE(WindowPeekLeftDrag());
  WindowOnMotion(90, 40, true);
  EXPECT_TRUE(WindowPeekLeftDrag());
  EXPECT_EQ(90, gWindow.dragX);
  EXPECT_EQ(40, gWindow.dragY);
  EXPECT_EQ(100, gWindow.downX);
  EXPECT_EQ(50, gWindow.downY);
  WindowOnButton(kButtonLeft, false, 90, 40, false, false);
  EXPECT_FALSE(gWindow.leftHeld);
  EXPECT_EQ(kCursorArrow, gHeadlessWindow.cursor);
  EXPECT_TRUE(WindowTakeLeftDown());
  EXPECT_TRUE(WindowTakeLeftUp());
  EXPECT_TRUE(WindowTakeLeftDrag());
  EXPECT_FALSE(WindowTakeLeftDown() || WindowTakeLeftUp() || WindowTakeLeftDrag());

  // a move that reports the button up ends holding; no drag from it
  WindowOnButton(kButtonLeft, true, 10, 10, true, false);
  EXPECT_EQ(0x1100, gWindow.key);
  WindowOnMotion(20, 20, false);
  EXPECT_FALSE(gWindow.leftHeld);
  EXPECT_FALSE(WindowPeekLeftDrag());
  // over the frame a drag ends, the arrow comes back
  WindowOnButton(kButtonLeft, true, 10, 10, false, false);
  WindowOnFrameMotion();
  EXPECT_FALSE(gWindow.leftHeld);
  EXPECT_EQ(kCursorArrow, gHeadlessWindow.cursor);
  WindowOnMotion(30, 30, true);
  EXPECT_FALSE(WindowPeekLeftDrag());

  // other buttons only store codes
  WindowOnButton(kButtonMiddle, true, 1, 1, true, true);
  EXPECT_EQ(0x5300, WindowTakeKey());
  WindowOnButton(kButtonMiddle, false, 1, 1, false, false);
  EXPECT_EQ(0x5800, WindowTakeKey());
  WindowOnButton(kButtonRight, true, 1, 1, true, false);
  EXPECT_EQ(0x2100, WindowTakeKey());
}

TEST_F(WindowLogic, CursorSelection) {
  gHeadlessWindow.failCursors = -2;
  EXPECT_EQ(-1, WindowMakeCursors());
  gHeadlessWindow.failCursors = 0;
  ASSERT_EQ(0, WindowMakeCursors());
  EXPECT_TRUE(WindowSelectCursor(3));
  EXPECT_EQ(3, gHeadlessWindow.cursor);
  EXPECT_FALSE(WindowSelectCursor(9));
  EXPECT_FALSE(WindowSelectCursor(-1));
  EXPECT_EQ(3, gWindow.cursor);
}

TEST_F(WindowLogic, RightClickTexts) {
  ASSERT_EQ(0, WindowCreate(512, 1700, "Tarvel "));
  DragBorder(false, true, 512, 600);
  ScrollTo(kAxisY, 300);
  WindowOnButton(kButtonRight, true, 10, 20, false, false);
  EXPECT_STREQ("10,320", gHeadlessWindow.clipboard);
  EXPECT_EQ(0x2000, WindowTakeKey());

  WindowResize(512, 96, "Tarvel ");
  EXPECT_EQ("0.00%,0.00%", Clip(256, 48, true, false));
  EXPECT_EQ("-30.47%,-5.47%", Clip(100, 20, true, false));  // both divided by the width
  EXPECT_EQ("50.00%,9.38%", Clip(512, 96, true, false));

  CanvasFill(7, 9, 1, 1, 255, 7, 0);
  EXPECT_EQ("255,7,0", Clip(7, 9, false, true));
  EXPECT_EQ("255,7,0", Clip(7, 9, true, true));  // Ctrl wins over Shift
  EXPECT_EQ("0,0,0", Clip(-1, 9, false, true));  // outside the canvas

  // a failing clipboard changes nothing else
  gHeadlessWindow.failClipboard = true;
  gHeadlessWindow.clipboard[0] = 0;
  WindowOnButton(kButtonRight, true, 1, 2, false, true);
  EXPECT_STREQ("", gHeadlessWindow.clipboard);
  EXPECT_EQ(0x2200, WindowTakeKey());

  // a tiny destination is never overrun
  char small[4];
  memset(small, 'x', sizeof small);
  WindowClipText(1000, 2000, false, false, small, 3);
  EXPECT_STREQ("10", small);
  EXPECT_EQ('x', small[3]);
}

TEST_F(WindowLogic, DropKeepsTheFirstAndAppendsTheRestAtOnce) {
  addarg(&gArgsA, "tarvel");
  uniaddarg(&gArgsW, u"tarvel");
  ASSERT_EQ(0, WindowCreate(512, 96, "Tarvel "));
  const char* a[] = {"/d/A.vmd", "/d/B.vmd", "/d/C.vmd"};
  const char16_t* w[] = {u"/d/A.vmd", u"/d/B.vmd", u"/d/C.vmd"};
  WindowOnDrop(3, a, w);
  EXPECT_TRUE(gWindow.dropFlag);
  EXPECT_STREQ("/d/A.vmd", gWindow.droppedA);
  EXPECT_EQ(std::u16string(u"/d/A.vmd"), std::u16string(gWindow.droppedW));
  ASSERT_EQ(3, gArgsA.count);
  ASSERT_EQ(3, gArgsW.count);
  EXPECT_STREQ("/d/B.vmd", argat(&gArgsA, 1));
  EXPECT_STREQ("/d/C.vmd", argat(&gArgsA, 2));
  EXPECT_EQ(std::u16string(u"/d/C.vmd"), std::u16string(uniargat(&gArgsW, 2)));
  WindowClearDrop();
  EXPECT_FALSE(gWindow.dropFlag);
  EXPECT_STREQ("", gWindow.droppedA);
}

TEST_F(WindowLogic, DroppedNamesThatFillTheBufferAreSkippedInBothLists) {
  ASSERT_EQ(0, WindowCreate(512, 96, "Tarvel "));
  std::string longA(259, 'a');
  longA[0] = '/';
  std::u16string longW(259, u'a');
  std::string fitA(258, 'b');
  std::u16string fitW(258, u'b');
  std::string jp = "/\xE3\x81\x82";  // narrow form too long, UTF-16 form short
  std::string jpA = jp;
  for (int i = 0; i < 90; i++) jpA += "\xE3\x81\x82";
  std::u16string jpW(91, u'\u3042');
  const char* a[] = {"/first", longA.c_str(), fitA.c_str(), jpA.c_str()};
  const char16_t* w[] = {u"/first", longW.c_str(), fitW.c_str(), jpW.c_str()};
  WindowOnDrop(4, a, w);
  ASSERT_EQ(1, gArgsA.count);
  ASSERT_EQ(1, gArgsW.count);
  EXPECT_EQ(fitA, argat(&gArgsA, 0));
  EXPECT_EQ(fitW, std::u16string(uniargat(&gArgsW, 0)));

  // a first name that is too long leaves no dropped path
  WindowClearDrop();
  const char* a2[] = {longA.c_str()};
  const char16_t* w2[] = {longW.c_str()};
  WindowOnDrop(1, a2, w2);
  EXPECT_TRUE(gWindow.dropFlag);
  EXPECT_STREQ("", gWindow.droppedA);
  EXPECT_EQ(1, gArgsA.count);
}

TEST_F(WindowLogic, CloseBoxOnlySetsTheFlagUntilTheNextCreation) {
  ASSERT_EQ(0, WindowCreate(512, 96, "Tarvel "));
  WindowOnClose();
  EXPECT_TRUE(gWindow.closeRequested);
  EXPECT_TRUE(WindowExists());
  WindowResize(816, 680, "Tarvel ");
  EXPECT_TRUE(gWindow.closeRequested);
  WindowDestroy();
  ASSERT_EQ(0, WindowCreate(512, 96, "Tarvel "));
  EXPECT_FALSE(gWindow.closeRequested);
}

TEST_F(WindowLogic, DrawingReachesTheClientAreaAtOnce) {
  ASSERT_EQ(0, WindowCreate(512, 1700, "Tarvel "));
  DragBorder(false, true, 512, 600);
  ScrollTo(kAxisY, 100);
  gHeadlessWindow.repaints = 0;
  CanvasFill(10, 120, 20, 5, 255, 0, 0);
  EXPECT_EQ(1, gHeadlessWindow.repaints);
  EXPECT_EQ(10, gHeadlessWindow.lastRepaint[0]);
  EXPECT_EQ(20, gHeadlessWindow.lastRepaint[1]);
  EXPECT_EQ(20, gHeadlessWindow.lastRepaint[2]);
  EXPECT_EQ(5, gHeadlessWindow.lastRepaint[3]);
  CanvasFill(0, 1600, 10, 10, 255, 0, 0);  // below the client area: nothing to show
  EXPECT_EQ(1, gHeadlessWindow.repaints);
}

TEST_F(WindowLogic, UriListToPaths) {
  static char paths[8][1024];
  const char list[] =
      "# dropped\r\n"
      "file:///tmp/a%20b.vmd\r\n"
      "file://localhost/x/%E3%81%82.vmd\r\n"
      "http://example.com/z.vmd\r\n"
      "file://otherhost/q.vmd\r\n"
      "file:/single/slash.vmd\n"
      "file:///bad%zz%4\n"
      "file:///nul%00name\r\n"
      "\r\n"
      "FILE:///upper/case";
  int n = UriListToPaths(list, (int)strlen(list), paths, 8);
  ASSERT_EQ(5, n);
  EXPECT_STREQ("/tmp/a b.vmd", paths[0]);
  EXPECT_STREQ("/x/\xE3\x81\x82.vmd", paths[1]);
  EXPECT_STREQ("/single/slash.vmd", paths[2]);
  EXPECT_STREQ("/bad%zz%4", paths[3]);
  EXPECT_STREQ("/upper/case", paths[4]);

  // the length bounds the text (no terminator needed); max bounds the count
  const char cut[] = "file:///one\r\nfile:///two";
  n = UriListToPaths(cut, 11, paths, 8);
  ASSERT_EQ(1, n);
  EXPECT_STREQ("/one", paths[0]);
  EXPECT_EQ(1, UriListToPaths(cut, (int)strlen(cut), paths, 1));

  // a path that does not fit is left out, not cut
  std::string huge = "file:///" + std::string(1100, 'x') + "\r\nfile:///ok";
  n = UriListToPaths(huge.c_str(), (int)huge.size(), paths, 8);
  ASSERT_EQ(1, n);
  EXPECT_STREQ("/ok", paths[0]);
}

TEST_F(WindowLogic, HandCursorIsOutlinedAroundItsHotSpot) {
  int white = 0, black = 0;
  for (int y = 0; y < 32; y++) {
    ASSERT_EQ(32u, strlen(kHandCursor[y]));
    for (int x = 0; x < 32; x++) {
      char c = kHandCursor[y][x];
      ASSERT_TRUE(c == 'X' || c == 'o' || c == '.');
      if (c == 'X') black++;
      if (c != 'o') continue;
      white++;
      // white never touches transparency: a black outline surrounds it
      for (int dy = -1; dy <= 1; dy++)
        for (int dx = -1; dx <= 1; dx++) {
          int xx = x + dx, yy = y + dy;
          ASSERT_TRUE(xx >= 0 && xx < 32 && yy >= 0 && yy < 32);
          EXPECT_NE('.', kHandCursor[yy][xx]) << x << "," << y;
        }
    }
  }
  EXPECT_GT(white, 100);
  EXPECT_GT(black, 50);
  EXPECT_EQ('o', kHandCursor[kHandHotY][kHandHotX]);
}

}  // namespace
