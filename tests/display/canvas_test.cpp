#include "display/canvas.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Rect {
  int x, y, w, h;
  bool operator==(const Rect& o) const { return x == o.x && y == o.y && w == o.w && h == o.h; }
};
std::vector<Rect> gChanges;
void RecordChange(int x, int y, int w, int h) { gChanges.push_back({x, y, w, h}); }

class CanvasTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gChanges.clear();
    gCanvasChanged = RecordChange;
  }
  void TearDown() override {
    gCanvasChanged = nullptr;
    CanvasRelease();
  }
  static void ExpectPixel(int x, int y, int r, int g, int b) {
    uint8_t pr, pg, pb;
    EXPECT_TRUE(CanvasPixel(x, y, &pr, &pg, &pb)) << x << "," << y;
    EXPECT_EQ(pr, r) << x << "," << y;
    EXPECT_EQ(pg, g) << x << "," << y;
    EXPECT_EQ(pb, b) << x << "," << y;
  }
};

TEST_F(CanvasTest, CreateIsBlackAndLimitedToTheMaximum) {
  CanvasCreate(16, 8);
  CanvasFill(0, 0, 16, 8, 9, 9, 9);
  CanvasCreate(20, 10);  // re-creation clears the old contents
  EXPECT_EQ(CanvasWidth(), 20);
  EXPECT_EQ(CanvasHeight(), 10);
  ExpectPixel(19, 9, 0, 0, 0);
  ASSERT_FALSE(gChanges.empty());
  EXPECT_TRUE(gChanges.back() == (Rect{0, 0, 20, 10}));

  CanvasCreate(kCanvasMaxW + 100, kCanvasMaxH + 100);
  EXPECT_EQ(CanvasWidth(), kCanvasMaxW);
  EXPECT_EQ(CanvasHeight(), kCanvasMaxH);
  CanvasFill(kCanvasMaxW - 1, kCanvasMaxH - 1, 5, 5, 1, 2, 3);
  ExpectPixel(kCanvasMaxW - 1, kCanvasMaxH - 1, 1, 2, 3);
}

TEST_F(CanvasTest, FillAndRowWritesAreClipped) {
  CanvasCreate(10, 6);
  gChanges.clear();
  CanvasFill(-3, 4, 5, 10, 200, 100, 50);
  ExpectPixel(1, 5, 200, 100, 50);
  ExpectPixel(2, 4, 0, 0, 0);
  ExpectPixel(0, 3, 0, 0, 0);
  ASSERT_EQ(gChanges.size(), 1u);
  EXPECT_TRUE(gChanges[0] == (Rect{0, 4, 2, 2}));

  CanvasFill(20, 0, 5, 5, 1, 1, 1);  // wholly outside: nothing, no notice
  CanvasFill(0, 0, 2147483647, 2147483647, 7, 7, 7);
  ExpectPixel(9, 5, 7, 7, 7);
  EXPECT_EQ(gChanges.size(), 2u);

  CanvasCreate(4, 2);
  const uint8_t rgb[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
  CanvasWriteRow(-2, 1, rgb, 6);  // pixels 2..5 land on columns 0..3
  ExpectPixel(0, 1, 7, 8, 9);
  ExpectPixel(3, 1, 16, 17, 18);
  CanvasWriteRow(3, 0, rgb, 6);  // only one pixel fits
  ExpectPixel(3, 0, 1, 2, 3);
  ExpectPixel(2, 0, 0, 0, 0);
  size_t before = gChanges.size();
  CanvasWriteRow(0, 2, rgb, 6);   // below the canvas
  CanvasWriteRow(4, 0, rgb, 6);   // right of it
  EXPECT_EQ(gChanges.size(), before);
  // Outside the canvas a pixel reads as black, and false.
  uint8_t r = 9, g = 9, b = 9;
  EXPECT_FALSE(CanvasPixel(4, 0, &r, &g, &b) || CanvasPixel(0, -1, &r, &g, &b) ||
               CanvasPixel(0, 2, &r, &g, &b));
  EXPECT_EQ(r + g + b, 0);
}

}  // namespace
