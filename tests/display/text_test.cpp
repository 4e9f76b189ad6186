#include "display/text.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <ft2build.h>
#include FT_FREETYPE_H

#include "analysis/findings.h"
#include "analysis/report_buffer.h"
#include "analysis/file_report.h"
#include "analysis/verdict.h"
#include "base/encoding.h"
#include "base/runenv.h"
#include "display/canvas.h"
#include "names/alias.h"
#include "names/nametable.h"
#include "names/vocabulary.h"
#include "platform/headless/headless.h"
#include "tests/support/exedir.h"
#include "vmd/vmdread.h"

namespace {

bool FontPresent() { return access(kTestFont, R_OK) == 0; }

struct Image {
  uint32_t w = 0, h = 0;
  std::vector<uint8_t> px;
  bool operator==(const Image& o) const { return w == o.w && h == o.h && px == o.px; }
};

Image Slot(int slot) {
  const TextImage& t = gTextImages[slot];
  if (!t.present) return {};
  return {t.width, t.height, std::vector<uint8_t>(t.plane, t.plane + (size_t)t.width * t.height)};
}

// Slot 6 after drawing a Shift-JIS or UTF-16 text.
Image Render(const char* sjis, bool aa = true) {
  EXPECT_EQ(MakeTextImage(6, sjis, kTextSjis, aa, 0, -1), 0) << sjis;
  return Slot(6);
}
Image RenderW(const char16_t* text) {
  EXPECT_EQ(MakeTextImage(6, text, kTextUtf16, true, 0, -1), 0);
  return Slot(6);
}

bool RowEmpty(const Image& im, uint32_t y) {
  for (uint32_t x = 0; x < im.w; x++) if (im.px[y * im.w + x]) return false;
  return true;
}
bool ColEmpty(const Image& im, uint32_t x) {
  for (uint32_t y = 0; y < im.h; y++) if (im.px[y * im.w + x]) return false;
  return true;
}
bool Inked(const Image& im) {
  return std::any_of(im.px.begin(), im.px.end(), [](uint8_t v) { return v != 0; });
}

class TextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!FontPresent()) GTEST_SKIP() << "no VL Gothic font";
    HeadlessReset();
    ResetRunEnv();
    ASSERT_EQ(OpenFontA(kTestFont, 0, 16), 0);
  }
  void TearDown() override {
    TextReset();
    CanvasRelease();
  }
};

TEST_F(TextTest, ImageIsTheInkedBoxWithOneBlankPixelAround) {
  Image a = Render("A");
  EXPECT_TRUE(RowEmpty(a, 0) && RowEmpty(a, a.h - 1) && ColEmpty(a, 0) && ColEmpty(a, a.w - 1));
  EXPECT_FALSE(RowEmpty(a, 1) || RowEmpty(a, a.h - 2));

  Image space = Render(" ");
  EXPECT_TRUE(space.w * space.h > 0 && space.w <= 3 && !Inked(space));
}

TEST_F(TextTest, AmpersandEscapes) {
  EXPECT_EQ(Render("&&"), RenderW(u"&"));  // an '&' in UTF-16 is drawn as it is
  EXPECT_EQ(Render("A&xB"), Render("AB"));
  EXPECT_EQ(Render("AB&"), Render("AB"));
  Image one = Render("AB");
  EXPECT_EQ(Render("CD").h, one.h);
  Image down = Render("AB&nCD");
  EXPECT_EQ(down.h, one.h + 16);
  Image up = Render("AB&vCD");  // the second line goes up
  EXPECT_EQ(up.h, one.h + 16);
  EXPECT_NE(up, down);
}

TEST_F(TextTest, CarriageReturnDrawsOverTheLineAndCoverageAddsUp) {
  Image a = Render("A");
  Image twice = Render("A&rA");
  ASSERT_EQ(twice.w, a.w);
  ASSERT_EQ(twice.h, a.h);
  int partial = 0;
  for (size_t i = 0; i < a.px.size(); i++) {
    EXPECT_EQ(twice.px[i], std::min(2 * a.px[i], 255)) << i;
    partial += a.px[i] > 0 && a.px[i] < 128;
  }
  EXPECT_GT(partial, 0);  // the comparison saw anti-aliased edges
}

TEST_F(TextTest, MissingCharactersGiveNoImageAndEmptySlot) {
  Render("A");
  ASSERT_TRUE(gTextImages[6].present);
  // Thai letters: not in the font.
  EXPECT_EQ(MakeTextImage(6, u"\u0E01\u0E02", kTextUtf16, true, 0, -1), -1);
  EXPECT_FALSE(gTextImages[6].present);
  EXPECT_EQ(gTextImages[6].plane, nullptr);
  EXPECT_EQ(RasteriseText(u"\u0E01", kTextUtf16, 0, -1, true, 6), 3);
  EXPECT_EQ(RenderW(u"A\u0E01B"), Render("AB"));  // skipped without moving the pen
  EXPECT_EQ(MakeTextImage(6, "", kTextSjis, true, 0, -1), -1);
}

TEST_F(TextTest, ShiftJisAndUtf16DrawTheSamePixels) {
  Image kana = Render("\xB1\xB2");  // half-width katakana: one Shift-JIS byte each
  EXPECT_TRUE(Inked(kana));
  EXPECT_EQ(kana, RenderW(u"\uFF71\uFF72"));
  char heading[64];
  utf8tosjis(heading, sizeof heading, "総評: 使用ボーン 右腕捩");
  EXPECT_EQ(Render(heading), RenderW(u"総評: 使用ボーン 右腕捩"));
}

TEST_F(TextTest, RangeSelectsCodePointsAndSlotsAreBounded) {
  Image b = Render("B");
  // Escapes count as one code point each.
  ASSERT_EQ(RasteriseText("&&AB", kTextSjis, 2, 2, true, 5), 0);
  EXPECT_EQ(Slot(5), b);

  // Slots out of range touch no slot.
  Render("A");
  EXPECT_EQ(MakeTextImage(8, "A", kTextSjis, true, 0, -1), -4);
  EXPECT_EQ(MakeTextImage(-1, "A", kTextSjis, true, 0, -1), -4);
  for (int i = 0; i < kTextSlots; i++) EXPECT_EQ(gTextImages[i].present, i == 5 || i == 6) << i;
}

TEST_F(TextTest, MonoRenderingGivesFullCoverageOnlyAndLongTextsStop) {
  Image m = Render("AW", false);
  EXPECT_TRUE(Inked(m));
  for (uint8_t v : m.px) EXPECT_TRUE(v == 0 || v == 255);
  std::string full(kTextMaxCodes, 'A'), longer(2000, 'A');  // 1023 code points at most
  EXPECT_EQ(Render(full.c_str()), Render(longer.c_str()));
}

TEST_F(TextTest, BlendWeighsBy256AndClipsAtTheCanvasEdges) {
  Image a = Render("WA");
  CanvasCreate(a.w + 8, a.h + 8);
  CanvasFill(0, 0, CanvasWidth(), CanvasHeight(), 10, 20, 30);
  BlendTextImage(2, 3, 6, 0, 0, (int)a.w - 1, (int)a.h - 1, 255, 128, 250, 10, 20, 30);
  for (uint32_t i = 0; i < a.px.size(); i++) {
    const int v = a.px[i];
    uint8_t r, g, b;
    CanvasPixel(2 + i % a.w, 3 + i / a.w, &r, &g, &b);
    ASSERT_EQ(r, (v * 255 + (255 - v) * 10) >> 8) << i;
    ASSERT_EQ(g, (v * 128 + (255 - v) * 20) >> 8) << i;
    ASSERT_EQ(b, (v * 250 + (255 - v) * 30) >> 8) << i;
  }
  // x = -3: source column 3 lands on canvas column 0.
  CanvasFill(0, 0, CanvasWidth(), CanvasHeight(), 0, 0, 0);
  BlendTextImage(-3, -2, 6, 0, 0, 100000, 100000, 255, 255, 255, 0, 0, 0);
  for (uint32_t y = 2; y < a.h; y++)
    for (uint32_t x = 3; x < a.w; x++) {
      uint8_t r, g, b;
      CanvasPixel(x - 3, y - 2, &r, &g, &b);
      ASSERT_EQ(r, (a.px[y * a.w + x] * 255) >> 8) << x << "," << y;
    }
  // Past the right and bottom edges, and with nothing in the slot: no harm.
  BlendTextImage(CanvasWidth() - 2, CanvasHeight() - 2, 6, 0, 0, 1 << 30, 1 << 30, 1, 1, 1, 0, 0, 0);
  BlendTextImage(-2147483647, -2147483647, 6, 0, 0, 10, 10, 1, 1, 1, 0, 0, 0);
  BlendTextImage(0, 0, 9, 0, 0, 10, 10, 1, 1, 1, 0, 0, 0);
}

TEST_F(TextTest, Utf16RouteReadsThroughTheFontStream) {
  Image narrow = Render("Tarvel");
  ASSERT_EQ(OpenFontW(Utf8ToUtf16(kTestFont).c_str(), 0, 16), 0);
  EXPECT_EQ(Render("Tarvel"), narrow);
  EXPECT_EQ(Render("\x95\x5D"), RenderW(u"評"));  // glyphs loaded late from the stream

  TempDir dir;
  dir.Write("junk.ttf", "not a font at all");
  for (const char* name : {"none.ttf", "junk.ttf"})
    EXPECT_EQ(OpenFontW(dir.PathW(name).c_str(), 0, 16), 1) << name;
  EXPECT_FALSE(FontFaceOpen());
  EXPECT_EQ(MakeTextImage(6, "A", kTextSjis, true, 0, -1), -1);
  EXPECT_FALSE(gTextImages[6].present);
}

// Every character of the built-in names, the report headings and the verdict
// texts has a glyph in the font.
TEST(FontCoverage, ReportAndVerdictTexts) {
  if (!FontPresent()) GTEST_SKIP() << "no VL Gothic font";
  FT_Library lib;
  FT_Face face;
  ASSERT_EQ(FT_Init_FreeType(&lib), 0);
  ASSERT_EQ(FT_New_Face(lib, kTestFont, 0, &face), 0);
  HeadlessReset();
  ResetRunEnv();
  ResetNameTables();
  RegisterBuiltinNames();
  ResetTracks();
  std::string text;  // Shift-JIS, one piece a line
  for (int table = 1; table <= 2; table++)
    for (int e = 1; e <= NameCount(table); e++) text += std::string(NameAt(table, e)) + "\n";
  for (uint8_t alias : {0, 0xFF}) {
    aliasFoundA = alias;
    buildreport();
    for (int i = 0; i < gReport.linecount; i++) text += std::string(gReport.lines[i]) + "\n";
  }
  aliasFoundA = 0;
  // needs fixing and drop-out without D bones; drop-out with D bones; rough; slight
  for (const Findings& f : {Findings{1, 1, 0, 0, 0xF, -1, 0xF, 0, 0, 1, 0x30, 3, 0, 0, 0, 0},
                            Findings{0, 1, 0, 0, 0, 0, 0, 0x3F, 0xF, 1, 0x30, 3, 0, 0, 0, 0},
                            Findings{0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xF, 1, 1},
                            Findings{0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0xF, 0, 0, 0}}) {
    gFind = f;
    buildverdict();
    text += std::string(gFileReport.boxtext) + "\n";
  }
  static char16_t wide[1 << 16];
  size_t checked = 0;
  for (size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
    sjistouni(wide, 1 << 16, text.substr(at, end - at).c_str());
    for (const char16_t* c = wide; *c; c++, checked++)
      EXPECT_TRUE(*c < 0x20 || FT_Get_Char_Index(face, *c) != 0) << "U+" << std::hex << (int)*c;
  }
  EXPECT_GT(checked, 600u);
  FT_Done_FreeType(lib);
}

}  // namespace
