// Text rendering with FreeType: the font, the eight TextImage slots, and the
// blend onto the canvas.
#pragma once
#include <cstdint>

constexpr int kTextSlots = 8;
constexpr int kTextMaxCodes = 1023;  // code points taken from one text
enum TextForm { kTextSjis = 0, kTextUtf16 = 1 };

struct TextImage {
  uint32_t width, height;
  uint8_t* plane;  // width x height coverage bytes (+16 spare)
  bool present;
};
extern TextImage gTextImages[kTextSlots];

int OpenFont(const char* path, const char16_t* widepath, int32_t width26_6, int32_t height26_6,
             int usewide);
int OpenFontA(const char* path, float widthPt, float heightPt);
int OpenFontW(const char16_t* widepath, float widthPt, float heightPt);
// Points to 26.6: truncate(float(points x 64) + 0.4).
int32_t PointsTo26_6(float points);
// Font lookup beside the executable; sets gRun.fontFailed when missing.
void LookupAndOpenFont();
int RasteriseText(const void* text, TextForm form, int from, int to, bool antialias, int slot);
int MakeTextImage(int slot, const void* text, TextForm form, bool antialias, int from, int to);
// Blend the source rectangle of a slot onto the canvas at (x, y).
void BlendTextImage(int x, int y, int slot, int sx0, int sy0, int sx1, int sy1, uint8_t fr,
                    uint8_t fg, uint8_t fb, uint8_t br, uint8_t bg, uint8_t bb);

// State queries and a reset for tests: whether a face is open, its kerning
// flag; the reset closes the face and empties every slot (the library stays).
bool FontFaceOpen();
bool FontHasKerning();
void TextReset();
