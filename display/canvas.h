// The report window's off-screen 24-bit image. The window module owns it;
// the text renderer blends onto it, the capture reads it.
#pragma once
#include <cstdint>

#include "platform/window_port.h"  // kCanvasMaxW, kCanvasMaxH: the largest image shown

int CanvasWidth();
int CanvasHeight();
// (Re)make the canvas w x h, black. Sizes are limited to kCanvasMaxW x kCanvasMaxH.
void CanvasCreate(int w, int h);
void CanvasRelease();
// Fill a rectangle (clipped) with a colour.
void CanvasFill(int x, int y, int w, int h, uint8_t r, uint8_t g, uint8_t b);
// Write n pixels (r, g, b bytes each) at (x, y); clipped to the canvas.
void CanvasWriteRow(int x, int y, const uint8_t* rgb, int n);
// Colour of a pixel; false (and 0, 0, 0) outside the canvas.
bool CanvasPixel(int x, int y, uint8_t* r, uint8_t* g, uint8_t* b);
// Raw rows (3 bytes a pixel, stride 3 x width), the image the window shows.
const uint8_t* CanvasData();

// Told about every change of canvas pixels (the changed rectangle, already
// clipped to the canvas) so that the window can show it at once; null (the
// default) when nobody listens. Creation reports the whole new canvas.
extern void (*gCanvasChanged)(int x, int y, int w, int h);
