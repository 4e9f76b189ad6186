#include "display/text.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include <ft2build.h>
#include FT_FREETYPE_H

#include "analysis/findings.h"
#include "analysis/report_buffer.h"
#include "analysis/verdict.h"
#include "base/encoding.h"
#include "base/runenv.h"
#include "display/canvas.h"
#include "names/alias.h"
#include "names/nametable.h"
#include "names/vocabulary.h"
#include "platform/headless/headless.h"
#include "tests/support/tempdir.h"
#include "vmd/vmdread.h"

namespace {

const char kFont[] = "/usr/share/fonts/truetype/vlgothic/VL-Gothic-Regular.ttf";

bool FontPresent() { return access(kFont, R_OK) == 0; }

struct Image {
  uint32_t w = 0, h = 0;
  std::vector<uint8_t> px;
  bool operator==(const Image& o) const { return w == o.w && h == o.h && px == o.px; }
};

Image Slot(int slot) {
  Image im;
  const TextImage& t = gTextImages[slot];
  if (!t.present) return im;
  im.w = t.width;
  im.h = t.height;
  im.px.assign(t.plane, t.plane + (size_t)t.width * t.height);
  return im;
}

Image Render(const char* sjis, bool aa = true) {
  EXPECT_EQ(MakeTextImage(6, sjis, kTextSjis, aa, 0, -1), 0) << sjis;
  return Slot(6);
}

Image RenderW(const char16_t* text) {
  EXPECT_EQ(MakeTextImage(6, text, kTextUtf16, true, 0, -1), 0);
  return Slot(6);
}

std::string Sjis(const char* utf8) {
  char buf[512];
  utf8tosjis(buf, sizeof buf, utf8);
  return buf;
}

bool RowEmpty(const Image& im, uint32_t y) {
  for (uint32_t x = 0; x < im.w; x++)
    if (im.px[y * im.w + x]) return false;
  return true;
}
bool ColEmpty(const Image& im, uint32_t x) {
  for (uint32_t y = 0; y < im.h; y++)
    if (im.px[y * im.w + x]) return false;
  return true;
}

class TextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!FontPresent()) GTEST_SKIP() << "no VL Gothic font";
    HeadlessReset();
    ResetRunEnv();
    ASSERT_EQ(OpenFontA(kFont, 0, 16), 0);
  }
  void TearDown() override {
    TextReset();
    CanvasRelease();
  }
};

TEST(TextSizes, PointsAreTruncatedAfterAddingFourTenths) {
  EXPECT_EQ(PointsTo26_6(16), 1024);
  EXPECT_EQ(PointsTo26_6(0), 0);
  EXPECT_EQ(PointsTo26_6(0.01f), 1);  // 0.64 + 0.4
  EXPECT_EQ(PointsTo26_6(0.005f), 0);  // 0.32 + 0.4
  EXPECT_EQ(PointsTo26_6(10.5f), 672);
}

TEST_F(TextTest, ImageIsTheInkedBoxWithOneBlankPixelAround) {
  // The glyph as FreeType renders it on its own, for comparison.
  FT_Library lib;
  ASSERT_EQ(FT_Init_FreeType(&lib), 0);
  FT_Face face;
  ASSERT_EQ(FT_New_Face(lib, kFont, 0, &face), 0);
  FT_Set_Char_Size(face, 0, 1024, 72, 72);
  FT_Load_Glyph(face, FT_Get_Char_Index(face, 'A'), FT_LOAD_DEFAULT);
  FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL);
  uint32_t gw = face->glyph->bitmap.width, gh = face->glyph->bitmap.rows;
  FT_Done_Face(face);
  FT_Done_FreeType(lib);

  Image a = Render("A");
  EXPECT_EQ(a.w, gw + 2);
  EXPECT_EQ(a.h, gh + 2);
  EXPECT_TRUE(RowEmpty(a, 0));
  EXPECT_TRUE(RowEmpty(a, a.h - 1));
  EXPECT_TRUE(ColEmpty(a, 0));
  EXPECT_TRUE(ColEmpty(a, a.w - 1));
  EXPECT_FALSE(RowEmpty(a, 1));
  EXPECT_FALSE(RowEmpty(a, a.h - 2));

  Image space = Render(" ");
  EXPECT_GT(space.w, 0u);
  EXPECT_GT(space.h, 0u);
  EXPECT_LE(space.w, 3u);
  for (uint8_t v : space.px) EXPECT_EQ(v, 0);
}

TEST_F(TextTest, AmpersandEscapes) {
  EXPECT_EQ(Render("&&"), RenderW(u"&"));  // an '&' in UTF-16 is drawn as it is
  EXPECT_EQ(Render("A&xB"), Render("AB"));
  EXPECT_EQ(Render("AB&"), Render("AB"));
  EXPECT_EQ(Render("AB&&&"), Render("AB&&"));

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
    int v = a.px[i];
    int want = v == 255 ? 255 : (2 * v > 255 ? 255 : 2 * v);
    EXPECT_EQ(twice.px[i], want) << i;
    if (v > 0 && v < 128) partial++;
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
  // A missing character inside a text is skipped without moving the pen.
  EXPECT_EQ(RenderW(u"A\u0E01B"), Render("AB"));
  // An empty text has no code point to draw.
  EXPECT_EQ(RasteriseText("", kTextSjis, 0, -1, true, 6), -1);
  EXPECT_EQ(MakeTextImage(6, "", kTextSjis, true, 0, -1), -1);
}

TEST_F(TextTest, ShiftJisAndUtf16DrawTheSamePixels) {
  // Half-width katakana is one Shift-JIS byte.
  Image kana = Render("\xB1\xB2");
  EXPECT_EQ(kana, RenderW(u"\uFF71\uFF72"));
  bool inked = false;
  for (uint8_t v : kana.px) inked |= v != 0;
  EXPECT_TRUE(inked);

  std::string heading = Sjis("総評: 使用ボーン 右腕捩");
  ASSERT_FALSE(heading.empty());
  EXPECT_EQ(Render(heading.c_str()), RenderW(u"総評: 使用ボーン 右腕捩"));
}

TEST_F(TextTest, RangeSelectsCodePoints) {
  Image b = Render("B");
  ASSERT_EQ(RasteriseText("ABC", kTextSjis, 1, 1, true, 5), 0);
  EXPECT_EQ(Slot(5), b);
  EXPECT_EQ(RasteriseText("ABC", kTextSjis, 2, 1, true, 5), -1);
  // Escapes count as one code point each.
  ASSERT_EQ(RasteriseText("&&AB", kTextSjis, 2, 2, true, 5), 0);
  EXPECT_EQ(Slot(5), b);
}

TEST_F(TextTest, MonoRenderingGivesFullCoverageOnly) {
  Image m = Render("AW", false);
  bool inked = false;
  for (uint8_t v : m.px) {
    EXPECT_TRUE(v == 0 || v == 255);
    inked |= v == 255;
  }
  EXPECT_TRUE(inked);
}

TEST_F(TextTest, LongTextsStopAt1023CodePoints) {
  std::string full(kTextMaxCodes, 'A');
  std::string longer(2000, 'A');
  Image a = Render(full.c_str());
  Image b = Render(longer.c_str());
  EXPECT_EQ(a.w, b.w);
  EXPECT_EQ(a, b);
}

TEST_F(TextTest, SlotOutOfRange) {
  Render("A");
  Image before = Slot(6);
  EXPECT_EQ(MakeTextImage(8, "A", kTextSjis, true, 0, -1), -4);
  EXPECT_EQ(MakeTextImage(-1, "A", kTextSjis, true, 0, -1), -4);
  EXPECT_EQ(Slot(6), before);
  for (int i = 0; i < kTextSlots; i++) {
    if (i == 6) continue;
    EXPECT_FALSE(gTextImages[i].present) << i;
  }
}

TEST_F(TextTest, BlendWeighsForegroundAndBackground) {
  Image a = Render("A");
  CanvasCreate(64, 32);
  BlendTextImage(2, 3, 6, 0, 0, (int)a.w - 1, (int)a.h - 1, 255, 128, 0, 0, 0, 0);
  int full = 0, part = 0;
  for (uint32_t y = 0; y < a.h; y++) {
    for (uint32_t x = 0; x < a.w; x++) {
      int v = a.px[y * a.w + x];
      uint8_t r, g, b;
      CanvasPixel(2 + x, 3 + y, &r, &g, &b);
      ASSERT_EQ(r, (v * 255) >> 8);
      ASSERT_EQ(g, (v * 128) >> 8);
      ASSERT_EQ(b, 0);
      if (v == 255) {
        full++;
        ASSERT_EQ(r, 254);  // divided by 256, not 255
      } else if (v) {
        part++;
      }
    }
  }
  EXPECT_GT(full, 0);
  EXPECT_GT(part, 0);

  // On a coloured background.
  CanvasFill(0, 0, 64, 32, 10, 20, 30);
  BlendTextImage(0, 0, 6, 0, 0, (int)a.w - 1, (int)a.h - 1, 250, 250, 250, 10, 20, 30);
  for (uint32_t i = 0; i < a.px.size(); i++) {
    int v = a.px[i];
    uint8_t r, g, b;
    CanvasPixel(i % a.w, i / a.w, &r, &g, &b);
    ASSERT_EQ(r, (v * 250 + (255 - v) * 10) >> 8);
    ASSERT_EQ(b, (v * 250 + (255 - v) * 30) >> 8);
  }
}

TEST_F(TextTest, BlendClipsAtTheCanvasEdges) {
  Image a = Render("WA");
  CanvasCreate(a.w + 8, a.h + 8);
  auto red = [](int x, int y) {
    uint8_t r, g, b;
    CanvasPixel(x, y, &r, &g, &b);
    return (int)r;
  };
  // x = -3: source column 3 lands on canvas column 0.
  BlendTextImage(-3, -2, 6, 0, 0, 100000, 100000, 255, 255, 255, 0, 0, 0);
  for (uint32_t y = 2; y < a.h; y++)
    for (uint32_t x = 3; x < a.w; x++)
      ASSERT_EQ(red(x - 3, y - 2), (a.px[y * a.w + x] * 255) >> 8) << x << "," << y;
  // A negative source corner moves the target instead.
  CanvasFill(0, 0, CanvasWidth(), CanvasHeight(), 0, 0, 0);
  BlendTextImage(1, 1, 6, -4, -5, (int)a.w - 1, (int)a.h - 1, 255, 255, 255, 0, 0, 0);
  for (uint32_t y = 0; y < a.h; y++)
    for (uint32_t x = 0; x < a.w; x++)
      ASSERT_EQ(red(x + 5, y + 6), (a.px[y * a.w + x] * 255) >> 8);
  // Past the right and bottom edges, and with nothing in the slot: no harm.
  BlendTextImage(CanvasWidth() - 2, CanvasHeight() - 2, 6, 0, 0, 1 << 30, 1 << 30, 1, 1, 1, 0, 0, 0);
  BlendTextImage(-2147483647, -2147483647, 6, 0, 0, 10, 10, 1, 1, 1, 0, 0, 0);
  BlendTextImage(0, 0, 3, 0, 0, 10, 10, 1, 1, 1, 0, 0, 0);
  BlendTextImage(0, 0, 9, 0, 0, 10, 10, 1, 1, 1, 0, 0, 0);
}

TEST_F(TextTest, Utf16RouteReadsThroughTheFontStream) {
  Image narrow = Render("Tarvel");
  std::u16string wide = Utf8ToUtf16(kFont);
  ASSERT_EQ(OpenFontW(wide.c_str(), 0, 16), 0);
  EXPECT_TRUE(FontFaceOpen());
  EXPECT_EQ(Render("Tarvel"), narrow);
  EXPECT_EQ(Render("\x95\x5D"), RenderW(u"評"));  // glyphs loaded late from the stream

  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  dir.Write("empty.ttf", "");
  EXPECT_EQ(OpenFontW(dir.PathW("empty.ttf").c_str(), 0, 16), 1);
  EXPECT_FALSE(FontFaceOpen());
  EXPECT_EQ(OpenFontW(dir.PathW("none.ttf").c_str(), 0, 16), 1);
  dir.Write("junk.ttf", "not a font at all");
  EXPECT_EQ(OpenFontW(dir.PathW("junk.ttf").c_str(), 0, 16), 1);
  EXPECT_EQ(OpenFontA(dir.Path("junk.ttf").c_str(), 0, 16), 1);
  // Without a face nothing can be drawn.
  EXPECT_EQ(MakeTextImage(6, "A", kTextSjis, true, 0, -1), -1);
  EXPECT_FALSE(gTextImages[6].present);
}

TEST_F(TextTest, LookupFindsTheFontBesideTheExecutable) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  std::string exe = dir.Root() + "/";
  snprintf(gRun.exeDirA, sizeof gRun.exeDirA, "%s", exe.c_str());
  std::u16string exeW = Utf8ToUtf16(exe);
  unicpy(gRun.exeDirW, kPathMax, exeW.c_str());

  TextReset();
  LookupAndOpenFont();
  EXPECT_EQ(gRun.fontFailed, 0xFF);
  EXPECT_FALSE(FontFaceOpen());
  EXPECT_EQ(gHeadless.clockMs, 0);

  gRun.fontFailed = 0;
  ASSERT_EQ(symlink(kFont, dir.Path("mplus-2m-regular.ttf").c_str()), 0);
  LookupAndOpenFont();
  EXPECT_EQ(gRun.fontFailed, 0);
  EXPECT_TRUE(FontFaceOpen());
  EXPECT_EQ(gHeadless.clockMs, 50);
  EXPECT_EQ(MakeTextImage(6, "A", kTextSjis, true, 0, -1), 0);
}

// Every character the program can put into a report line or the verdict box
// has a glyph in the shipped font.
class FontCoverageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!FontPresent()) GTEST_SKIP() << "no VL Gothic font";
    ASSERT_EQ(FT_Init_FreeType(&lib_), 0);
    ASSERT_EQ(FT_New_Face(lib_, kFont, 0, &face_), 0);
    HeadlessReset();
    ResetRunEnv();
  }
  void TearDown() override {
    if (face_) FT_Done_Face(face_);
    if (lib_) FT_Done_FreeType(lib_);
    aliasFoundA = aliasFoundW = 0;
  }
  // Decodes Shift-JIS as the renderer does; returns the characters missing.
  std::string MissingSjis(const char* s) {
    std::string missing;
    const unsigned char* p = (const unsigned char*)s;
    while (*p) {
      uint32_t code = *p++;
      if (issjislead((unsigned char)code) && *p) code = code * 256 + *p++;
      uint32_t u = sjis2uni(code);
      if (u < 0x20) continue;  // layout controls
      checked_++;
      if (FT_Get_Char_Index(face_, u) == 0) {
        char hex[16];
        snprintf(hex, sizeof hex, " U+%04X", u);
        missing += hex;
      }
    }
    return missing;
  }
  std::string MissingUtf16(const char16_t* s) {
    std::string missing;
    for (; *s; s++) {
      if (*s < 0x20) continue;
      checked_++;
      if (FT_Get_Char_Index(face_, *s) == 0) {
        char hex[16];
        snprintf(hex, sizeof hex, " U+%04X", (unsigned)*s);
        missing += hex;
      }
    }
    return missing;
  }
  FT_Library lib_ = nullptr;
  FT_Face face_ = nullptr;
  int checked_ = 0;
};

TEST_F(FontCoverageTest, VocabularyNames) {
  ResetNameTables();
  RegisterBuiltinNames();
  for (int table = 1; table <= 2; table++) {
    ASSERT_GT(NameCount(table), 0) << table;
    for (int e = 1; e <= NameCount(table); e++)
      EXPECT_EQ(MissingSjis(NameAt(table, e)), "") << "table " << table << " entry " << e;
  }
  EXPECT_GT(checked_, 200);
}

TEST_F(FontCoverageTest, ReportHeadingsInBothModes) {
  ResetNameTables();
  RegisterBuiltinNames();
  ResetTracks();
  ClearSourceModel();
  memcpy(gSourceModel, "model", 6);
  for (int alias = 0; alias <= 1; alias++) {
    aliasFoundA = alias ? 0xFF : 0;
    buildreport();
    ASSERT_GT(gReport.linecount, 3);
    for (int i = 0; i < gReport.linecount; i++)
      EXPECT_EQ(MissingSjis(gReport.lines[i]), "") << "alias " << alias << " line " << i;
  }
  EXPECT_GT(checked_, 40);
}

TEST_F(FontCoverageTest, EveryVerdictBlock) {
  const Findings kCases[] = {
      // needs fixing with every reason, then the drop-out block without D bones
      {1, 1, 0, 0, 0xF, -1, 0xF, 0, 0, 1, 0x30, 3, 0, 0, 0, 0},
      // the drop-out block with D bones
      {0, 1, 0, 0, 0, 0, 0, 0x3F, 0xF, 1, 0x30, 3, 0, 0, 0, 0},
      // somewhat rough with every reason
      {0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xF, 1, 1},
      // slightly rough
      {0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0xF, 0, 0, 0},
      // usable as it is
      {},
  };
  for (const Findings& f : kCases) {
    gFind = f;
    buildverdict();
    ASSERT_NE(boxtextw[0], 0);
    EXPECT_EQ(MissingUtf16(boxtextw), "");
    EXPECT_EQ(MissingSjis(boxtext), "");
  }
  EXPECT_GT(checked_, 400);
}

}  // namespace
