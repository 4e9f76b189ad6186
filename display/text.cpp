// Text rendering with FreeType.
//
// One font engine per process: the library is made on the first OpenFont and
// lives to the end of the process; the face is reopened for every motion file.
// A text is laid out twice, once to measure its inked box and once to draw it
// into the coverage plane of a slot; there is no glyph cache.
#include "display/text.h"

#include <cstdlib>
#include <cstring>

#include <ft2build.h>
#include FT_FREETYPE_H

#include "base/diag.h"
#include "base/encoding.h"
#include "base/filechan.h"
#include "base/paths.h"
#include "base/runenv.h"
#include "display/canvas.h"
#include "platform/port.h"

TextImage gTextImages[kTextSlots];

namespace {

const char kFontFile[] = "mplus-2m-regular.ttf";
// A plane larger than this is refused like a failed allocation; no report line
// comes anywhere near it.
constexpr uint64_t kPlaneLimit = 256u << 20;

struct FontEngine {
  FT_Library library;
  bool libraryCreated;
  FT_Face face;
  bool faceOpen;
  int32_t width26_6, height26_6;
  int dpi;
  bool kerning;
  char pathA[kPathMax * 2];
  char16_t pathW[kPathMax];
};
FontEngine gFont;

// The font stream of the UTF-16 route: FreeType reads the font through the
// FileReader. FreeType keeps a pointer to the record while the face is open.
FT_StreamRec gStream;
FontStreamRec gStreamRec;

unsigned long StreamRead(FT_Stream, unsigned long offset, unsigned char* buffer,
                         unsigned long count) {
  return fsread(&gStreamRec, offset, buffer, count);
}

void StreamClose(FT_Stream stream) {
  fsclose(&gStreamRec);
  stream->size = 0;
  stream->base = nullptr;
  stream->descriptor.pointer = nullptr;
}

void CloseFace() {
  if (gFont.faceOpen) FT_Done_Face(gFont.face);
  gFont.face = nullptr;
  gFont.faceOpen = false;
  gFont.kerning = false;
}

void FontAtExit() {
  CloseFace();
  if (gFont.library) FT_Done_FreeType(gFont.library);
  gFont.library = nullptr;
}

void ReleaseSlot(int slot) {
  TextImage& t = gTextImages[slot];
  free(t.plane);
  t.plane = nullptr;
  t.width = t.height = 0;
  t.present = false;
}

void SlotsAtExit() {
  for (int i = 0; i < kTextSlots; i++) ReleaseSlot(i);
}

// Bounded copies; a null source gives an empty string.
void CopyA(char* dst, int cap, const char* src) {
  int i = 0;
  if (src)
    for (; i < cap - 1 && src[i]; i++) dst[i] = src[i];
  dst[i] = 0;
}

void CopyW(char16_t* dst, int cap, const char16_t* src) {
  int i = 0;
  if (src)
    for (; i < cap - 1 && src[i]; i++) dst[i] = src[i];
  dst[i] = 0;
}

void FontDiagnostics() {
  FT_Face f = gFont.face;
  const char* ps = FT_Get_Postscript_Name(f);
  DiagPrint("PS font name: %s \n", ps ? ps : "");
  DiagPrint("Fixed sizes (total %d):", f->num_fixed_sizes);
  if (f->num_fixed_sizes <= 0) DiagPrint(" (none)");
  for (int i = 0; i < f->num_fixed_sizes; i++) DiagPrint(" %d", (int)f->available_sizes[i].height);
  DiagPrint("\n");
  DiagPrint("Font size: %g,%g \n", gFont.width26_6 / 64.0, gFont.height26_6 / 64.0);
  DiagPrint("Font dpi : %d \n", gFont.dpi);
}

void FaceDiagnostics() {
  FT_Face f = gFont.face;
  DiagPrint("Total %d chars. (=glyphs) \n", (int)f->num_glyphs);
  DiagPrint("Family name: %s \n", f->family_name ? f->family_name : "");
  DiagPrint(FT_IS_FIXED_WIDTH(f) ? "Font width: FIXED. \n" : "Font width: not fixed. \n");
  DiagPrint(FT_HAS_KERNING(f) ? "Kerning: SUPPORTED. \n" : "Kerning: not supported. \n");
  static const struct {
    FT_Long flag;
    const char* text;
  } kFaceFlags[] = {
      {FT_FACE_FLAG_SCALABLE, "SCALABLE \n"},
      {FT_FACE_FLAG_FIXED_SIZES, "FIXED_SIZES \n"},
      {FT_FACE_FLAG_FIXED_WIDTH, "FIXED_WIDTH \n"},
      {FT_FACE_FLAG_HORIZONTAL, "HORIZONTAL \n"},
      {FT_FACE_FLAG_VERTICAL, "VERTICAL \n"},
      {FT_FACE_FLAG_SFNT, "SFNT \n"},
      {FT_FACE_FLAG_KERNING, "KERNING \n"},
      {FT_FACE_FLAG_MULTIPLE_MASTERS, "MULTIPLE_MASTERS \n"},
      {FT_FACE_FLAG_GLYPH_NAMES, "GLYPH_NAMES \n"},
      {FT_FACE_FLAG_EXTERNAL_STREAM, "EXTERNAL_STREAM \n"},
      {FT_FACE_FLAG_FAST_GLYPHS, "FAST_GLYPHS \n"},
      {FT_FACE_FLAG_HINTER, "HINTER \n"},
  };
  for (const auto& e : kFaceFlags)
    if (f->face_flags & e.flag) DiagPrint("%s", e.text);
  if (f->style_flags & FT_STYLE_FLAG_BOLD) DiagPrint("BOLD \n");
  if (f->style_flags & FT_STYLE_FLAG_ITALIC) DiagPrint("ITALIC \n");
  FT_UInt ga = FT_Get_Char_Index(f, 'A'), gw = FT_Get_Char_Index(f, 'W');
  FT_Vector k = {0, 0};
  FT_Get_Kerning(f, ga, gw, FT_KERNING_DEFAULT, &k);
  DiagPrint("Kering shift between 'A' 0x%04X and 'W' 0x%04X is (%g,%g). \n", ga, gw, k.x / 64.0,
            k.y / 64.0);
}

// ---- layout ------------------------------------------------------------------

struct Layout {
  uint32_t codes[kTextMaxCodes + 1];
  int count;
};

void Push(Layout* l, uint32_t c) {
  if (l->count < kTextMaxCodes) l->codes[l->count++] = c;
}

// Shift-JIS with the '&' escapes: "&&" '&', "&r" CR, "&n" LF, "&v" VT; '&' with
// any other byte is dropped with it. A '&' or lead byte as the last byte gives
// nothing.
void DecodeSjis(Layout* l, const unsigned char* s) {
  while (*s && l->count < kTextMaxCodes) {
    unsigned c = *s++;
    uint32_t code;
    if (issjislead((unsigned char)c)) {
      if (!*s) break;
      code = c * 256 + *s++;
    } else if (c == '&') {
      unsigned e = *s;
      if (!e) break;
      s++;
      if (e == '&') Push(l, '&');
      else if (e == 'r') Push(l, 13);
      else if (e == 'n') Push(l, 10);
      else if (e == 'v') Push(l, 11);
      continue;
    } else {
      code = c;
    }
    uint32_t u = sjis2uni(code);
    if ((int32_t)u > 0) Push(l, u);
  }
}

void DecodeUtf16(Layout* l, const char16_t* s) {
  while (*s && l->count < kTextMaxCodes) Push(l, *s++);
}

struct Box {
  FT_Pos xMin, yMin, xMax, yMax;
};

// Coverage of one bitmap pixel (0..255) in any pixel mode; reads stay within
// the row's |pitch| bytes.
int PixelValue(const FT_Bitmap& bm, const unsigned char* row, unsigned abspitch, unsigned c) {
  switch (bm.pixel_mode) {
    case FT_PIXEL_MODE_MONO:
      if ((c >> 3) >= abspitch) return 0;
      return (row[c >> 3] & (0x80 >> (c & 7))) ? 255 : 0;
    case FT_PIXEL_MODE_GRAY2:
      if ((c >> 2) >= abspitch) return 0;
      return ((row[c >> 2] >> (6 - 2 * (c & 3))) & 3) * 85;
    case FT_PIXEL_MODE_GRAY4:
      if ((c >> 1) >= abspitch) return 0;
      return ((row[c >> 1] >> (4 - 4 * (c & 1))) & 15) * 17;
    case FT_PIXEL_MODE_BGRA:
      if (4 * c + 3 >= abspitch) return 0;
      return row[4 * c + 3];
    default:
      if (c >= abspitch) return 0;
      return row[c];
  }
}

// Adds a glyph bitmap into the plane with its top-left at (col, row); pixels
// falling outside the plane are dropped.
void Blit(TextImage* img, FT_Pos col, FT_Pos row, const FT_Bitmap& bm) {
  if (!bm.buffer) return;
  unsigned abspitch = (unsigned)(bm.pitch < 0 ? -bm.pitch : bm.pitch);
  bool mono = bm.pixel_mode == FT_PIXEL_MODE_MONO;
  for (unsigned r = 0; r < bm.rows; r++) {
    FT_Pos ty = row + (FT_Pos)r;
    if (ty < 0 || ty >= (FT_Pos)img->height) continue;
    // Rows are taken top row first: with a negative pitch the top row is the
    // last one in memory.
    const unsigned char* src =
        bm.buffer + (size_t)(bm.pitch >= 0 ? r : bm.rows - 1 - r) * abspitch;
    uint8_t* dst = img->plane + (size_t)ty * img->width;
    for (unsigned c = 0; c < bm.width; c++) {
      FT_Pos tx = col + (FT_Pos)c;
      if (tx < 0 || tx >= (FT_Pos)img->width) continue;
      int v = PixelValue(bm, src, abspitch, c);
      if (v == 0) continue;
      if (mono || v == 255) {
        dst[tx] = 255;
      } else {
        int sum = dst[tx] + v;
        dst[tx] = (uint8_t)(sum > 255 ? 255 : sum);
      }
    }
  }
}

// One pass over the code points. Measuring (img null) widens *box with the
// glyphs from..to; drawing copies them into img relative to *box.
int Walk(const Layout& l, int from, int to, bool antialias, Box* box, TextImage* img) {
  FT_Vector pen = {0, 0};
  FT_UInt prev = 0;
  FT_Pos advance = gFont.height26_6 & ~(FT_Pos)63;
  for (int i = 0; i < l.count; i++) {
    uint32_t c = l.codes[i];
    if (c == 13) {
      pen.x = 0;
      prev = 0;
      continue;
    }
    if (c == 10) {
      pen.y += advance;
      continue;
    }
    if (c == 11) {
      pen.y -= advance;
      continue;
    }
    FT_UInt glyph = gFont.faceOpen ? FT_Get_Char_Index(gFont.face, c) : 0;
    if (glyph == 0) {
      DiagPrint("No index for Unicode 0x%04X \n", c);
      continue;
    }
    FT_Error err = FT_Load_Glyph(gFont.face, glyph, FT_LOAD_DEFAULT);
    if (err) {
      DiagPrint("FT_Load_Glyph( ) error %d.\n", err);
      return 1;
    }
    FT_GlyphSlot slot = gFont.face->glyph;
    if (slot->format != FT_GLYPH_FORMAT_BITMAP) {
      err = FT_Render_Glyph(slot, antialias ? FT_RENDER_MODE_NORMAL : FT_RENDER_MODE_MONO);
      if (err) {
        DiagPrint("FT_Render_Glyph( ) error %d.\n", err);
        return img ? 1 : 2;
      }
    }
    if (gFont.kerning && prev) {
      FT_Vector k = {0, 0};
      FT_Get_Kerning(gFont.face, prev, glyph, FT_KERNING_DEFAULT, &k);
      pen.x += k.x;
      pen.y += k.y;
    }
    FT_Pos left = pen.x + slot->metrics.horiBearingX;
    FT_Pos top = pen.y - slot->metrics.horiBearingY;
    if (from <= i && i <= to) {
      if (!img) {
        FT_Pos right = left + (FT_Pos)slot->bitmap.width * 64;
        FT_Pos bottom = top + (FT_Pos)slot->bitmap.rows * 64;
        if (left < box->xMin) box->xMin = left;
        if (right > box->xMax) box->xMax = right;
        if (top < box->yMin) box->yMin = top;
        if (bottom > box->yMax) box->yMax = bottom;
      } else {
        Blit(img, (left - box->xMin) >> 6, (top - box->yMin) >> 6, slot->bitmap);
      }
    }
    prev = glyph;
    pen.x += slot->advance.x;
    pen.y += slot->advance.y;
  }
  return 0;
}

void TextForDiag(char* dst, int cap, const void* text, TextForm form) {
  if (!text) dst[0] = 0;
  else if (form == kTextUtf16) unitoutf8(dst, cap, (const char16_t*)text);
  else CopyA(dst, cap, (const char*)text);
}

}  // namespace

int32_t PointsTo26_6(float points) {
  float scaled = points * 64;
  return (int32_t)(scaled + 0.4);
}

int OpenFont(const char* path, const char16_t* widepath, int32_t width26_6, int32_t height26_6,
             int usewide) {
  CopyA(gFont.pathA, sizeof gFont.pathA, path);
  CopyW(gFont.pathW, kPathMax, widepath);
  DiagPrint("Font file: %s \n", gFont.pathA);
  if (!gFont.libraryCreated) {
    gFont.libraryCreated = true;  // a failed creation is not retried
    FT_Error err = FT_Init_FreeType(&gFont.library);
    if (err) {
      gFont.library = nullptr;
      DiagPrint("FT_Init_FreeType( ) error %d.\n", err);
      return -1;
    }
    atexit(FontAtExit);
  }
  CloseFace();

  FT_Error err;
  if (!gFont.library) {
    err = FT_Err_Invalid_Library_Handle;
  } else if (usewide) {
    memset(&gStream, 0, sizeof gStream);
    memset(&gStreamRec, 0, sizeof gStreamRec);
    err = fsopen(&gStreamRec, gFont.pathW);
    if (!err) {
      gStream.size = gStreamRec.size;
      gStream.pos = 0;
      gStream.descriptor.value = (long)gStreamRec.descriptor;
      gStream.read = StreamRead;
      gStream.close = StreamClose;
      FT_Open_Args args;
      memset(&args, 0, sizeof args);
      args.flags = FT_OPEN_STREAM;
      args.stream = &gStream;
      // On failure FreeType closes the stream itself (StreamClose).
      err = FT_Open_Face(gFont.library, &args, 0, &gFont.face);
    }
  } else {
    err = FT_New_Face(gFont.library, gFont.pathA, 0, &gFont.face);
  }
  if (err) {
    gFont.face = nullptr;
    DiagPrint("FT_New_Face( ) error %d.\n", err);
    return 1;
  }
  gFont.faceOpen = true;
  gFont.width26_6 = width26_6;
  gFont.height26_6 = height26_6;
  gFont.dpi = 72;
  FontDiagnostics();
  err = FT_Set_Char_Size(gFont.face, width26_6, height26_6, 72, 72);
  if (err) {
    DiagPrint("FT_Set_Char_Size( ) error %d.\n", err);
    CloseFace();  // a font without a size draws nothing
    return 2;
  }
  FaceDiagnostics();
  gFont.kerning = (gFont.face->face_flags & FT_FACE_FLAG_KERNING) != 0;
  FT_Set_Transform(gFont.face, nullptr, nullptr);
  return 0;
}

int OpenFontA(const char* path, float widthPt, float heightPt) {
  return OpenFont(path, nullptr, PointsTo26_6(widthPt), PointsTo26_6(heightPt), 0);
}

int OpenFontW(const char16_t* widepath, float widthPt, float heightPt) {
  char narrow[kPathMax * 2];
  unitonarrow(narrow, sizeof narrow, widepath ? widepath : u"");
  return OpenFont(narrow, widepath, PointsTo26_6(widthPt), PointsTo26_6(heightPt), 1);
}

void LookupAndOpenFont() {
  char16_t wide[kPathMax] = u"";
  char narrow[kPathMax * 2] = "";
  // Only beside a known folder, and only as a whole path: a cut one names
  // another file.
  int dirLen = unilen(gRun.exeDirW);
  if (dirLen > 0 && dirLen + (int)sizeof kFontFile <= kPathMax) {
    CopyW(wide, kPathMax, gRun.exeDirW);
    for (size_t i = 0; i < sizeof kFontFile; i++) wide[dirLen + i] = (char16_t)kFontFile[i];
  }
  // The narrow path is the converted UTF-16 one, in the system's narrow code
  // page (Shift-JIS, or UTF-8 where that is the code page).
  unitonarrowpath(narrow, sizeof narrow, wide);
  char shown[kPathMax * 3];
  unitoutf8(shown, sizeof shown, wide);
  DiagPrint("Fontpath: %s \n", narrow);
  DiagPrint("FontpathW: %s \n", shown);
  if (narrow[0] && rfopenquiet(narrow) == 0) {
    rfclose();
    PortSleep(50);
    OpenFontA(narrow, 0, 16);
  } else if (wide[0] && rfopenWquiet(wide) == 0) {
    rfclose();
    PortSleep(50);
    OpenFontW(wide, 0, 16);
  } else {
    DiagPrint("Failed opening font file. \n");
    gRun.fontFailed = 0xFF;
  }
}

int RasteriseText(const void* text, TextForm form, int from, int to, bool antialias, int slot) {
  if (slot < 0 || slot >= kTextSlots) return -4;
  static Layout l;
  l.count = 0;
  if (text) {
    if (form == kTextUtf16) DecodeUtf16(&l, (const char16_t*)text);
    else DecodeSjis(&l, (const unsigned char*)text);
  }
  if (to < 0) to = l.count - 1;
  if (from > to) return -1;

  Box box = {99999, 99999, -99999, -99999};
  int r = Walk(l, from, to, antialias, &box, nullptr);
  if (r) return r;
  uint64_t w = 0, h = 0;
  if (box.xMin <= box.xMax && box.yMin <= box.yMax) {
    // Whole pixels, then one blank pixel on every side.
    box.xMin = (box.xMin & ~(FT_Pos)63) - 64;
    box.yMin = (box.yMin & ~(FT_Pos)63) - 64;
    box.xMax = ((box.xMax + 63) & ~(FT_Pos)63) + 64;
    box.yMax = ((box.yMax + 63) & ~(FT_Pos)63) + 64;
    w = (uint64_t)(box.xMax - box.xMin) / 64;
    h = (uint64_t)(box.yMax - box.yMin) / 64;
  }

  ReleaseSlot(slot);
  if (w == 0 || h == 0) {
    DiagPrint("Font Width==0.\n");
    return 3;
  }
  uint8_t* plane = w * h <= kPlaneLimit ? (uint8_t*)malloc((size_t)(w * h + 16)) : nullptr;
  if (!plane) {
    DiagPrint("Memory Allocation FAILED.\n");
    return -3;
  }
  static bool exitRegistered = false;
  if (!exitRegistered) {
    exitRegistered = true;
    atexit(SlotsAtExit);
  }
  memset(plane, 0, (size_t)(w * h + 16));
  TextImage& img = gTextImages[slot];
  img.plane = plane;
  img.width = (uint32_t)w;
  img.height = (uint32_t)h;
  img.present = true;

  return Walk(l, from, to, antialias, &box, &img) ? 1 : 0;
}

int MakeTextImage(int slot, const void* text, TextForm form, bool antialias, int from, int to) {
  if (slot < 0 || slot >= kTextSlots) {
    DiagPrint("New Img. No. out of range (0<n<%d). \n", kTextSlots);
    return -4;
  }
  if (RasteriseText(text, form, from, to, antialias, slot) != 0) {
    char shown[1024];
    TextForDiag(shown, sizeof shown, text, form);
    DiagPrint("Cannot create font image for [%s] from %d to %d.\n", shown, from, to);
    ReleaseSlot(slot);
    return -1;
  }
  return 0;
}

void BlendTextImage(int x, int y, int slot, int sx0, int sy0, int sx1, int sy1, uint8_t fr,
                    uint8_t fg, uint8_t fb, uint8_t br, uint8_t bg, uint8_t bb) {
  if (slot < 0 || slot >= kTextSlots) return;
  const TextImage& img = gTextImages[slot];
  if (!img.present || !img.plane) return;
  // 64-bit so that no argument can overflow the clipping arithmetic.
  int64_t tx = x, ty = y, x0 = sx0, y0 = sy0, x1 = sx1, y1 = sy1;
  if (tx < 0) {
    x0 -= tx;
    tx = 0;
  }
  if (ty < 0) {
    y0 -= ty;
    ty = 0;
  }
  if (x0 < 0) {
    tx -= x0;
    x0 = 0;
  }
  if (y0 < 0) {
    ty -= y0;
    y0 = 0;
  }
  if (x1 > (int64_t)img.width - 1) x1 = (int64_t)img.width - 1;
  if (y1 > (int64_t)img.height - 1) y1 = (int64_t)img.height - 1;
  // Only the part that lands on the canvas is built.
  int64_t n = x1 - x0 + 1;
  if (n > CanvasWidth() - tx) n = CanvasWidth() - tx;
  if (n <= 0) return;
  static uint8_t row[kCanvasMaxW * 3];
  for (int64_t sy = y0; sy <= y1 && ty < CanvasHeight(); sy++, ty++) {
    const uint8_t* cov = img.plane + (size_t)sy * img.width + (size_t)x0;
    for (int64_t i = 0; i < n; i++) {
      int a = cov[i];
      row[i * 3 + 0] = (uint8_t)((a * fr + (255 - a) * br) >> 8);
      row[i * 3 + 1] = (uint8_t)((a * fg + (255 - a) * bg) >> 8);
      row[i * 3 + 2] = (uint8_t)((a * fb + (255 - a) * bb) >> 8);
    }
    CanvasWriteRow((int)tx, (int)ty, row, (int)n);
  }
}

bool FontFaceOpen() { return gFont.faceOpen; }
bool FontHasKerning() { return gFont.kerning; }

void TextReset() {
  CloseFace();
  for (int i = 0; i < kTextSlots; i++) ReleaseSlot(i);
}
