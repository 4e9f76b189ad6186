// The report window: one per process. It owns the canvas, keeps the window's
// geometry and scrolling, and turns the back end's events into the state the
// event loop reads (pending mouse events, the key slot, the drop queue, the
// close request). Window-system work goes through platform/window_port.h; the
// logic hands the back end its WindowOn* entries below (as a PortWindowClient)
// when it makes the window, and the back end calls them from its handlers.
#pragma once
#include <cstdint>

#include "base/runenv.h"
#include "platform/window_port.h"

struct ReportBuffer;

constexpr int kTitleMax = 1024;  // UTF-8, with its NUL
static_assert(kDropPathMax == kPathMax, "a dropped name is a path");

// Key codes the handlers store and the loop adds.
constexpr int kKeyLeftPress = 0x1000, kKeyRightPress = 0x2000;
constexpr int kKeyMiddlePress = 0x5000, kKeyMiddleRelease = 0x5800;
constexpr int kKeyQuit = 0x4051, kKeyMouse = 0x4020, kKeyDropped = 0x999;
constexpr int kModShift = 0x100, kModCtrl = 0x200;

struct ReportWindow {
  bool exists;
  char title[kTitleMax];
  int canvasW, canvasH;
  // outer size that shows the whole canvas without scroll bars (limited to
  // the work area), and its derived limits
  int fullW, fullH;
  int fullPlusBarW, fullPlusBarH;    // fullW + vertical bar, fullH + horizontal bar
  int canvasPlusBarW;                // canvasW + vertical bar
  int canvasPlusCaptionBarH;         // canvasH + caption + horizontal bar
  int clientW, clientH;              // last client size reported
  // per axis
  int pos[2], range[2];
  bool enabled[2];
  int repeat;                        // scroll arrow repeats
  int lineStep;
  bool maximised;
  int key;                           // key slot, 0 when empty
  // left button
  bool leftHeld, leftDown, leftUp, leftDrag;
  int downX, downY, dragX, dragY;    // client coordinates
  bool closeRequested;
  bool sizeChanged;
  // drop
  bool dropFlag;
  char droppedA[kDropPathMax];
  char16_t droppedW[kDropPathMax];
  // cursors
  bool cursorsMade;
  int cursor, dragCursor;
  bool cursorBusy;
  // last clipboard text handed to the back end
  char clipboard[96];
};
// The logic's own state. The event loop reads it only through the functions
// below; tests may look inside.
extern ReportWindow gWindow;

// Everything back to the start state (no window; the canvas is left alone).
void WindowReset();

// ---- geometry ------------------------------------------------------------
// Canvas size for a report: W = max(512, 8 x widest + 16), H = max(96, 17 x lines).
void ReportCanvasSize(int lines, int widest, int* w, int* h);

// ---- life cycle ----------------------------------------------------------
// 0, or -1 when the native window cannot be made (no window exists then).
int WindowCreate(int w, int h, const char* title);
void WindowResize(int w, int h, const char* title);
void WindowDestroy();
bool WindowExists();
void WindowSetTitle(const char* title);  // applied only when it differs
void WindowSetNonTopmost();
// The full outer size: the canvas without scroll bars, limited to the work
// area; the most a maximised window shows. 0 x 0 when there is no window.
void WindowFullSize(int* w, int* h);

// ---- scrolling -----------------------------------------------------------
// Limits pos to 0..range; nothing when it is the current position.
void ScrollTo(int axis, int pos);

// ---- cursors ---------------------------------------------------------------
// 0, or -1 when the set cannot be made.
int WindowMakeCursors();
// Selects cursor 0..8; false when refused (out of range, or while another
// selection is in progress).
bool WindowSelectCursor(int index);
void WindowSetDragCursor(int index);

// ---- state for the event loop ----------------------------------------------
bool WindowTakeLeftDown();
bool WindowTakeLeftUp();
bool WindowTakeLeftDrag();
bool WindowPeekLeftUp();
bool WindowPeekLeftDrag();
bool WindowTakeSizeChange();
int WindowTakeKey();  // the key slot's code (0 when empty), emptied
bool WindowLeftHeld();
// Client positions of the last left press and of the drag since.
void WindowLeftPositions(int* downX, int* downY, int* dragX, int* dragY);
int WindowScrollPos(int axis);
int WindowDragCursor();
bool WindowCloseRequested();
// A drop is waiting: its first path in both forms (the others are already
// in the argument lists).
bool WindowDropped();
const char* WindowDroppedA();
const char16_t* WindowDroppedW();
void WindowClearDrop();

// ---- pure helpers (tested on their own) -------------------------------------
// KeyCode of a key event: vk the virtual-key number of a navigation key
// (0x21..0x2E; 0 for any other key), ch the character the key types without
// Ctrl applied (0 when none). 0 when the event stores nothing.
int WindowKeyCode(int vk, int ch, bool shift, bool ctrl, bool alt);
// Clipboard text of a right click at canvas position (x, y). Returns its length.
int WindowClipText(int x, int y, bool shift, bool ctrl, char* dst, int cap);

// ---- events from the back end ----------------------------------------------
// (PortWindowClient of platform/window_port.h, which describes them.)
// A key press: see WindowKeyCode. The modifiers are the state at the press.
// True when it stored a code.
bool WindowOnKey(int vk, int ch, bool shift, bool ctrl, bool alt);
// A button press or release at client (x, y).
void WindowOnButton(int button, bool press, int x, int y, bool shift, bool ctrl);
// The pointer moved over the client area; leftDown is the button's state.
void WindowOnMotion(int x, int y, bool leftDown);
// The pointer moved over the frame (outside the client area).
void WindowOnFrameMotion();
// Wheel delta in the platform's units (120 a notch, positive away from the user).
void WindowOnWheel(int delta);
void WindowOnClientSize(int w, int h);
// The user drags a border: a left or right edge (horizontal), a top or
// bottom edge (vertical), a corner (both).
void WindowOnBorderDrag(bool horizontalEdge, bool verticalEdge);
// The user finished moving or sizing the window.
void WindowOnSizeMoveEnd();
// The maximise box was used (before the system maximises).
void WindowOnMaximise();
void WindowOnMinimise();
void WindowOnRestore();
// Scroll bar parts: an arrow (dir -1 up/left, +1 down/right), a page area,
// the thumb released at pos.
void WindowOnScrollArrow(int axis, int dir);
void WindowOnScrollPage(int axis, int dir);
void WindowOnThumbRelease(int axis, int pos);
// Files dropped: n names in both forms (narrow code page and UTF-16).
void WindowOnDrop(int n, const char* const* namesA, const char16_t* const* namesW);
// The close box.
void WindowOnClose();
