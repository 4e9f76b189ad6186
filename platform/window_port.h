// What the report window's logic (display/window_logic) needs from a window
// system, and what it gives the window in return. A back end implements the
// PortWindow* functions below; the logic hands it a PortWindowClient when it
// makes the window, and the back end turns every native event into a call on
// that client (keys, buttons, motion, wheel, sizes, drops, close) and shows
// the client's image. No back end knows the logic any other way.
//
// Sizes: the "outer" size of the window is its client area plus what the
// metrics below describe (frame on each side, caption on top, scroll bars when
// shown). A back end whose window manager draws the decorations reports
// caption and frame sizes of 0; outer sizes are then content sizes.
#pragma once
#include <cstdint>

// Scroll bar axes, mouse buttons and the wheel, as both sides number them.
constexpr int kAxisX = 0, kAxisY = 1;
constexpr int kButtonLeft = 1, kButtonMiddle = 2, kButtonRight = 3;
constexpr int kWheelNotch = 120;  // wheel units of one notch
constexpr int kLineStep = 2;      // pixels a scroll arrow moves the view
// A dropped name in either form (UTF-16 units or narrow bytes), with its NUL.
constexpr int kDropPathMax = 260;
// The largest image the window shows (8 x 127 + 16 by 17 x 512 pixels).
constexpr int kCanvasMaxW = 1032;
constexpr int kCanvasMaxH = 8704;

// The window's user: its event entries and its image, all called on the
// thread that pumps the events. Every entry is set.
struct PortWindowClient {
  // A key press: vk the virtual-key number of a navigation key (0x21..0x2E;
  // 0 for any other key), ch the character the key types without Ctrl
  // applied (0 when none), the modifiers at the press. True when the key
  // means something to the window (a back end passes the others on to the
  // system).
  bool (*onKey)(int vk, int ch, bool shift, bool ctrl, bool alt);
  // A button (kButton*) pressed or released at client (x, y).
  void (*onButton)(int button, bool press, int x, int y, bool shift, bool ctrl);
  // The pointer moved over the client area; leftDown is the button's state.
  void (*onMotion)(int x, int y, bool leftDown);
  // The pointer moved over the frame (outside the client area).
  void (*onFrameMotion)();
  // Wheel delta (kWheelNotch a notch, positive away from the user).
  void (*onWheel)(int delta);
  void (*onClientSize)(int w, int h);
  // The user drags a border: a left or right edge (horizontal), a top or
  // bottom edge (vertical), a corner (both).
  void (*onBorderDrag)(bool horizontalEdge, bool verticalEdge);
  // The user finished moving or sizing the window.
  void (*onSizeMoveEnd)();
  // The maximise box was used (before the system maximises).
  void (*onMaximise)();
  void (*onMinimise)();
  void (*onRestore)();
  // Scroll bar parts: an arrow (dir -1 up/left, +1 down/right), a page area,
  // the thumb released at pos.
  void (*onScrollArrow)(int axis, int dir);
  void (*onScrollPage)(int axis, int dir);
  void (*onThumbRelease)(int axis, int pos);
  // Files dropped: n names in both forms (narrow code page and UTF-16).
  void (*onDrop)(int n, const char* const* namesA, const char16_t* const* namesW);
  // The close box.
  void (*onClose)();
  // The most a maximised window shows: its outer size without scroll bars.
  void (*fullSize)(int* w, int* h);
  // Where the view of an axis is.
  int (*scrollPos)(int axis);
  // The image shown: rows of 3-byte pixels (r, g, b), stride 3 x width;
  // null (and 0 x 0) when there is none.
  const uint8_t* (*image)(int* w, int* h);
};

struct PortWindowMetrics {
  int workX, workY, workW, workH;  // work area of the screen
  int captionH;                    // caption (title bar) height
  int frameW, frameH;              // sizing frame, each side
  int vbarW;                       // width of a vertical scroll bar
  int hbarH;                       // height of a horizontal scroll bar
};
void PortWindowGetMetrics(PortWindowMetrics* m);

// Creates and shows the native window (black background, accepting dropped
// files) with the title (UTF-8) and outer size; at the work area's top-left
// corner when atCorner, else where the system places new windows.
// Its events go to client (which outlives the window) from now on, the first
// ones possibly before this returns. 0 on success, -1 when no window could be
// made.
int PortWindowCreate(const char* title, int outerW, int outerH, bool atCorner,
                     const PortWindowClient* client);
// Stops accepting drops and destroys the window (nothing when there is none).
void PortWindowDestroy();
// The title in UTF-8: shown whole, whatever the narrow code page can hold.
void PortWindowSetTitle(const char* title);
// New outer size; also moves the window to (x, y) when move is set.
void PortWindowMoveResize(bool move, int x, int y, int outerW, int outerH);
// Current outer rectangle; all 0 when there is no window.
void PortWindowGetRect(int* x, int* y, int* w, int* h);
void PortWindowSetTopmost(bool on);

// The client area shows the client's image from its pixel (sx, sy) at its
// top-left corner; the back end repaints what is needed.
void PortWindowShowView(int sx, int sy);
// Repaint a rectangle of the client area from the image.
void PortWindowRepaint(int x, int y, int w, int h);
// Scroll bar of an axis (0 horizontal, 1 vertical): shown or hidden, range
// 0..range, thumb at pos; page is the client extent (for the thumb size).
void PortWindowSetScrollBar(int axis, bool shown, int range, int pos, int page);

// The cursor set: indices 0 arrow, 1 cross, 2 wait, 3 not-allowed, 4 size-all,
// 5 size NW-SE, 6 size N-S, 7 size W-E (system cursors), 8 the open hand
// (kHandCursor below).
// 0 when all are made, -1 when a system cursor cannot be loaded, -2 when the
// hand cannot be made. Making the set again replaces the old one.
int PortWindowMakeCursors();
// The cursor shown over the client area from now on.
void PortWindowSetCursor(int index);
constexpr int kCursorCount = 9;
constexpr int kCursorArrow = 0, kCursorHand = 8;
// The open hand: 32 rows of 32 pixels, 'X' black, 'o' white, '.' transparent
// (platform/common/hand_cursor.cpp).
extern const char* const kHandCursor[32];
constexpr int kHandHotX = 10, kHandHotY = 10;

// Puts a text (ASCII) on the clipboard; 0 on success, -1 on failure.
int PortClipboardSetText(const char* text);
