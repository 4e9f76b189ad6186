#include "display/canvas.h"

#include <cstring>

void (*gCanvasChanged)(int x, int y, int w, int h) = nullptr;

static uint8_t gPixels[(size_t)kCanvasMaxW * kCanvasMaxH * 3];
static int gW = 0, gH = 0;

int CanvasWidth() { return gW; }
int CanvasHeight() { return gH; }

static void Changed(int x, int y, int w, int h) {
  if (gCanvasChanged && w > 0 && h > 0) gCanvasChanged(x, y, w, h);
}

void CanvasCreate(int w, int h) {
  if (w < 0) w = 0;
  if (h < 0) h = 0;
  if (w > kCanvasMaxW) w = kCanvasMaxW;
  if (h > kCanvasMaxH) h = kCanvasMaxH;
  gW = w;
  gH = h;
  memset(gPixels, 0, (size_t)w * h * 3);
  Changed(0, 0, w, h);
}

void CanvasRelease() {
  gW = 0;
  gH = 0;
}

// Clips [x, x + w) to [0, limit); false when nothing is left. 64-bit sums so
// that extreme arguments cannot overflow.
static bool Clip(int* x, int* w, int limit) {
  int64_t a = *x, b = (int64_t)*x + *w;
  if (a < 0) a = 0;
  if (b > limit) b = limit;
  if (a >= b) return false;
  *x = (int)a;
  *w = (int)(b - a);
  return true;
}

void CanvasFill(int x, int y, int w, int h, uint8_t r, uint8_t g, uint8_t b) {
  if (!Clip(&x, &w, gW) || !Clip(&y, &h, gH)) return;
  for (int row = y; row < y + h; row++) {
    uint8_t* p = gPixels + ((size_t)row * gW + x) * 3;
    for (int i = 0; i < w; i++, p += 3) {
      p[0] = r;
      p[1] = g;
      p[2] = b;
    }
  }
  Changed(x, y, w, h);
}

void CanvasWriteRow(int x, int y, const uint8_t* rgb, int n) {
  if (!rgb || y < 0 || y >= gH) return;
  int x0 = x, w = n;
  if (!Clip(&x0, &w, gW)) return;
  const uint8_t* src = rgb + (size_t)(x0 - x) * 3;  // pixels left of the canvas are skipped
  memcpy(gPixels + ((size_t)y * gW + x0) * 3, src, (size_t)w * 3);
  Changed(x0, y, w, 1);
}

bool CanvasPixel(int x, int y, uint8_t* r, uint8_t* g, uint8_t* b) {
  uint8_t c[3] = {0, 0, 0};
  bool inside = x >= 0 && x < gW && y >= 0 && y < gH;
  if (inside) memcpy(c, gPixels + ((size_t)y * gW + x) * 3, 3);
  if (r) *r = c[0];
  if (g) *g = c[1];
  if (b) *b = c[2];
  return inside;
}

const uint8_t* CanvasData() { return gPixels; }
