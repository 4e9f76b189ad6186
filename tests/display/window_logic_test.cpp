// The report window's logic on the headless back end.
#include "display/window_logic.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "analysis/report_buffer.h"
#include "base/paths.h"
#include "display/canvas.h"
#include "platform/headless/headless.h"
#include "tests/support/comma_locale.h"

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
  // The user drags a border of the window to a new outer size.
  static void DragBorder(bool horizontal, bool vertical, int w, int h) {
    WindowOnBorderDrag(horizontal, vertical);
    PortWindowMoveResize(false, 0, 0, w, h);
  }
  // A 512 x 1700 canvas in a window of outer height h: only the vertical bar.
  static void TallWindow(int h) {
    ASSERT_EQ(0, WindowCreate(512, 1700, "Tarvel "));
    DragBorder(false, true, 512, h);
  }
  static void ExpectOuter(int w, int h) {
    EXPECT_EQ(w, gHeadlessWindow.w);
    EXPECT_EQ(h, gHeadlessWindow.h);
  }
};

std::string Clip(int x, int y, bool shift, bool ctrl) {
  char buf[96];
  WindowClipText(x, y, shift, ctrl, buf, sizeof buf);
  return buf;
}

TEST_F(WindowLogic, CanvasSizeFromTheReport) {
  const int cases[][4] = {{3, 60, 512, 96}, {40, 100, 816, 680},
                          {100000, 5000, kCanvasMaxW, kCanvasMaxH}};  // bounded
  for (const auto& c : cases) {
    int w, h;
    ReportCanvasSize(c[0], c[1], &w, &h);
    EXPECT_EQ(c[2], w) << c[0];
    EXPECT_EQ(c[3], h) << c[0];
  }
}

// (A window that cannot be made ends the report loop: tests/display/report_loop_test.)
TEST_F(WindowLogic, CreationTitleAndDestruction) {
  ASSERT_EQ(0, WindowCreate(816, 680, "Tarvel "));
  ExpectOuter(816, 680 + kCaption);
  EXPECT_FALSE(gHeadlessWindow.createdAtCorner);
  EXPECT_FALSE(gHeadlessWindow.barShown[0] || gHeadlessWindow.barShown[1]);
  // the close box only sets a flag, kept until the next creation
  WindowOnClose();
  WindowResize(512, 96, "Tarvel ");
  EXPECT_TRUE(WindowExists() && gWindow.closeRequested);
  WindowDestroy();
  ASSERT_EQ(0, WindowCreate(512, 96, "Tarvel "));
  EXPECT_FALSE(gWindow.closeRequested);
}

TEST_F(WindowLogic, TallReportOpensClippedAndABorderDragShowsTheBar) {
  ASSERT_EQ(0, WindowCreate(512, 1700, "Tarvel "));
  EXPECT_TRUE(gHeadlessWindow.createdAtCorner);
  EXPECT_EQ(1040, gHeadlessWindow.h);
  EXPECT_FALSE(gHeadlessWindow.barShown[kAxisY]);
  WindowOnWheel(-120);  // the wheel cannot scroll yet
  EXPECT_EQ(0, gWindow.pos[kAxisY]);

  DragBorder(false, true, 512, 1000);
  EXPECT_TRUE(gHeadlessWindow.barShown[kAxisY]);
  EXPECT_FALSE(gHeadlessWindow.barShown[kAxisX]);
  EXPECT_EQ(1700 - (1000 - kCaption), gWindow.range[kAxisY]);
  EXPECT_EQ(gWindow.range[kAxisY], gHeadlessWindow.barRange[kAxisY]);
  EXPECT_EQ(512 - kBar, gWindow.clientW);

  // one notch down moves 120 pixels, less at the end of the range
  WindowOnWheel(-120);
  EXPECT_EQ(120, gHeadlessWindow.viewY);
  EXPECT_EQ(120, gHeadlessWindow.barPos[kAxisY]);
  for (int i = 0; i < 20; i++) WindowOnWheel(-120);
  EXPECT_EQ(gWindow.range[kAxisY], gWindow.pos[kAxisY]);

  // a taller window: the position is limited to the smaller range
  PortWindowMoveResize(false, 0, 0, 512, 1020);
  EXPECT_EQ(1700 - (1020 - kCaption), gHeadlessWindow.viewY);
  // tall enough for the whole canvas: range 0 disables and hides the bar
  gHeadlessWindow.metrics.workH = 4000;
  PortWindowMoveResize(false, 0, 0, 512, 1700 + kCaption);
  EXPECT_EQ(0, gWindow.range[kAxisY]);
  EXPECT_EQ(0, gWindow.pos[kAxisY]);
  EXPECT_FALSE(gWindow.enabled[kAxisY] || gHeadlessWindow.barShown[kAxisY]);
}

TEST_F(WindowLogic, ArrowRepeatsAccelerateUpToATenthOfTheRange) {
  TallWindow(600);
  int last = 0;
  for (int step : {2, 2, 2, 2, 2, 2, 2, 2, 2, 3, 4, 5, 6}) {
    WindowOnScrollArrow(kAxisY, 1);
    EXPECT_EQ(step, gWindow.pos[kAxisY] - last);
    last = gWindow.pos[kAxisY];
  }
  // a pointer move over the window starts counting again
  WindowOnMotion(5, 5, false);
  WindowOnScrollArrow(kAxisY, -1);
  EXPECT_EQ(last - 2, gWindow.pos[kAxisY]);

  // range 35: the 10th repeat moves 3, the 11th and 12th are limited to 3
  WindowResize(512, 400, "Tarvel ");
  DragBorder(false, true, 512, 400 + kCaption - 35);
  ASSERT_EQ(35, gWindow.range[kAxisY]);
  WindowOnMotion(1, 1, false);
  for (int i = 0; i < 12; i++) WindowOnScrollArrow(kAxisY, 1);
  EXPECT_EQ(27, gWindow.pos[kAxisY]);
}

TEST_F(WindowLogic, SnapAtTheEndOfASizing) {
  // neither range: the full size, in place
  ASSERT_EQ(0, WindowCreate(512, 96, "Tarvel "));
  PortWindowMoveResize(false, 0, 0, 700, 300);
  WindowOnSizeMoveEnd();
  ExpectOuter(512, 96 + kCaption);
  EXPECT_EQ(64, gHeadlessWindow.x);

  // only the vertical range: room for its bar beside the canvas width
  WindowDestroy();
  TallWindow(800);
  WindowOnSizeMoveEnd();
  ExpectOuter(512 + kBar, 800);

  // wide enough for the canvas and a vertical bar: the horizontal bar goes
  gHeadlessWindow.metrics.workW = 2000;
  WindowResize(816, 1700, "Tarvel ");
  DragBorder(true, true, 700, 480);
  PortWindowMoveResize(false, 0, 0, 816 + kBar, 480);
  gWindow.range[kAxisX] = 1;  // the last report of the drag still had a range
  gWindow.enabled[kAxisX] = true;
  WindowOnSizeMoveEnd();
  ExpectOuter(816, 480);
  EXPECT_FALSE(gWindow.enabled[kAxisX]);
  EXPECT_TRUE(gWindow.enabled[kAxisY]);
}

TEST_F(WindowLogic, ResizeAndMaximise) {
  TallWindow(600);
  ScrollTo(kAxisY, 100);
  PortWindowMoveResize(true, 300, 10, 528, 600);
  WindowResize(816, 680, "Tarvel ");
  EXPECT_EQ(0, gWindow.pos[kAxisY] + gWindow.range[kAxisY]);
  ExpectOuter(816, 680 + kCaption);
  EXPECT_EQ(300, gHeadlessWindow.x);  // in place

  // maximising grows by eight, up to the full size
  PortWindowMoveResize(false, 0, 0, 600, 500);
  WindowOnMaximise();
  ExpectOuter(608, 508);
  WindowOnRestore();
  PortWindowMoveResize(false, 0, 0, 812, 700);
  WindowOnMaximise();
  ExpectOuter(816, 680 + kCaption);
}

TEST_F(WindowLogic, KeyCodes) {
  struct Case { int code, vk, ch; bool shift, ctrl, alt; } cases[] = {
      {0x11, 0, 'Q', true, true, false},    {0x320, 0, ' ', false, true, false},
      {0x578, 0, 'x', false, false, true},  {0, 0, '1', false, false, true},
      {0x226, 0x26, 0, true, false, false}, {0x425, 0x25, 0, true, true, false},
      {27, 0, 27, false, false, false},     {0, 0, 0, true, true, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.code, WindowKeyCode(c.vk, c.ch, c.shift, c.ctrl, c.alt)) << c.vk << " " << c.ch;
  // the key slot keeps the latest code
  WindowOnKey(0, 'a', false, false, false);
  WindowOnKey(0x26, 0, true, false, false);
  EXPECT_EQ(0x226, WindowTakeKey());
  EXPECT_EQ(0, WindowTakeKey());
}

TEST_F(WindowLogic, LeftButtonDragCursorsAndOtherButtons) {
  ASSERT_EQ(0, WindowMakeCursors());
  ASSERT_EQ(0, WindowCreate(512, 96, "Tarvel "));
  WindowOnButton(kButtonLeft, true, 100, 50, false, true);
  EXPECT_EQ(0x1200, gWindow.key);  // Ctrl held
  EXPECT_EQ(kCursorHand, gHeadlessWindow.cursor);
  EXPECT_FALSE(WindowPeekLeftDrag());  // no movement, no drag
  WindowOnMotion(90, 40, true);
  EXPECT_TRUE(WindowPeekLeftDrag());
  EXPECT_EQ(90, gWindow.dragX);
  WindowOnButton(kButtonLeft, false, 90, 40, false, false);
  EXPECT_EQ(kCursorArrow, gHeadlessWindow.cursor);
  EXPECT_TRUE(WindowTakeLeftDown() && WindowTakeLeftUp() && WindowTakeLeftDrag());

  // a move that reports the button up ends holding; no drag from it
  WindowOnButton(kButtonLeft, true, 10, 10, true, false);
  WindowOnMotion(20, 20, false);
  EXPECT_FALSE(gWindow.leftHeld || WindowPeekLeftDrag());

}

TEST_F(WindowLogic, RightClickTexts) {
  TallWindow(600);
  ScrollTo(kAxisY, 300);
  WindowOnButton(kButtonRight, true, 10, 20, false, false);
  EXPECT_STREQ("10,320", gHeadlessWindow.clipboard);
  EXPECT_EQ(0x2000, WindowTakeKey());

  WindowResize(512, 96, "Tarvel ");
  EXPECT_EQ("0.00%,0.00%", Clip(256, 48, true, false));
  EXPECT_EQ("-30.47%,-5.47%", Clip(100, 20, true, false));  // both divided by the width
  {
    CommaLocale de;  // as the toolkit's start-up may set it: the text stays splittable at ','
    if (de.Ok()) {
      EXPECT_EQ("-30.47%,-5.47%", Clip(100, 20, true, false));
    }
  }
  CanvasFill(7, 9, 1, 1, 255, 7, 0);
  EXPECT_EQ("255,7,0", Clip(7, 9, true, true));  // Ctrl wins over Shift
  EXPECT_EQ("0,0,0", Clip(-1, 9, false, true));  // outside the canvas

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
  EXPECT_EQ(std::u16string(u"/d/C.vmd"), std::u16string(uniargat(&gArgsW, 2)));
}

TEST_F(WindowLogic, DroppedNamesThatFillTheBufferAreSkippedInBothLists) {
  ASSERT_EQ(0, WindowCreate(512, 96, "Tarvel "));
  std::string longA = "/" + std::string(258, 'a'), fitA(258, 'b');
  std::u16string longW(259, u'a'), fitW(258, u'b');
  std::string jpA = "/";  // narrow form too long, UTF-16 form short
  for (int i = 0; i < 91; i++) jpA += "\xE3\x81\x82";
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
  WindowOnDrop(1, a + 1, w + 1);
  EXPECT_TRUE(gWindow.dropFlag);
  EXPECT_STREQ("", gWindow.droppedA);
  EXPECT_EQ(1, gArgsA.count);
}

TEST_F(WindowLogic, DrawingReachesTheClientAreaAtOnce) {
  TallWindow(600);
  ScrollTo(kAxisY, 100);
  gHeadlessWindow.repaints = 0;
  CanvasFill(10, 120, 20, 5, 255, 0, 0);
  EXPECT_EQ(1, gHeadlessWindow.repaints);
  const int want[4] = {10, 20, 20, 5};  // in client coordinates
  EXPECT_EQ(0, memcmp(want, gHeadlessWindow.lastRepaint, sizeof want));
  CanvasFill(0, 1600, 10, 10, 255, 0, 0);  // below the client area: nothing to show
  EXPECT_EQ(1, gHeadlessWindow.repaints);
}

}  // namespace
