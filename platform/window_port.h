// What the report window's logic (display/window_logic) needs from a window
// system. A back end implements these and, for every native event, calls the
// logic's Window* entries (keys, buttons, motion, wheel, sizes, drops, close).
//
// Sizes: the "outer" size of the window is its client area plus what the
// metrics below describe (frame on each side, caption on top, scroll bars when
// shown). A back end whose window manager draws the decorations reports
// caption and frame sizes of 0; outer sizes are then content sizes.
#pragma once
#include <cstdint>

struct PortWindowMetrics {
  int workX, workY, workW, workH;  // work area of the screen
  int captionH;                    // caption (title bar) height
  int frameW, frameH;              // sizing frame, each side
  int vbarW;                       // width of a vertical scroll bar
  int hbarH;                       // height of a horizontal scroll bar
};
void PortWindowGetMetrics(PortWindowMetrics* m);

// Creates and shows the native window (black background, accepting dropped
// files) with the title (narrow code page) and outer size; at the work area's
// top-left corner when atCorner, else where the system places new windows.
// 0 on success, -1 when no window could be made.
int PortWindowCreate(const char* title, int outerW, int outerH, bool atCorner);
// Stops accepting drops and destroys the window (nothing when there is none).
void PortWindowDestroy();
void PortWindowSetTitle(const char* title);
// New outer size; also moves the window to (x, y) when move is set.
void PortWindowMoveResize(bool move, int x, int y, int outerW, int outerH);
// Current outer rectangle; all 0 when there is no window.
void PortWindowGetRect(int* x, int* y, int* w, int* h);
void PortWindowSetTopmost(bool on);

// The client area shows the canvas (display/canvas.h) from canvas pixel
// (sx, sy) at its top-left corner; the back end repaints what is needed.
void PortWindowShowView(int sx, int sy);
// Repaint a rectangle of the client area from the canvas.
void PortWindowRepaint(int x, int y, int w, int h);
// Scroll bar of an axis (0 horizontal, 1 vertical): shown or hidden, range
// 0..range, thumb at pos; page is the client extent (for the thumb size).
void PortWindowSetScrollBar(int axis, bool shown, int range, int pos, int page);

// The cursor set: indices 0 arrow, 1 cross, 2 wait, 3 not-allowed, 4 size-all,
// 5 size NW-SE, 6 size N-S, 7 size W-E (system cursors), 8 the open hand
// (kHandCursor of display/window_logic.h, hot spot (10, 10)).
// 0 when all are made, -1 when a system cursor cannot be loaded, -2 when the
// hand cannot be made. Making the set again replaces the old one.
int PortWindowMakeCursors();
// The cursor shown over the client area from now on.
void PortWindowSetCursor(int index);

// Puts a text (ASCII) on the clipboard; 0 on success, -1 on failure.
int PortClipboardSetText(const char* text);
