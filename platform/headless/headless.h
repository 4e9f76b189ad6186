// The headless back end: a test double of the platform's process, locale and
// UI operations. Files are real (the POSIX back end); pauses advance a
// virtual clock; message boxes and the open-file dialog answer from a script
// and are recorded; the command line is set by the caller.
#pragma once
#include <cstdint>

#include "platform/window_port.h"

constexpr int kHeadlessMaxArgs = 600;
constexpr int kHeadlessMaxBoxes = 16;

struct HeadlessBox {
  bool wide;            // shown with the UTF-16 form
  bool owned;           // shown while the report window existed (its owner)
  char text[12288];     // narrow text as given (wide: converted to UTF-8)
  char title[64];
  uint32_t style;
  int answer;
};

struct HeadlessState {
  // process
  const char* argv[kHeadlessMaxArgs];
  int argc;
  const char16_t* cmdlineW;  // when set: the Win32-style command line
  const char* cmdlineA;
  int64_t clockMs;           // virtual time spent in PortSleep
  int sleeps;
  // locale
  uint32_t codePage;         // console output and ANSI code page
  uint16_t langId;
  double osVersion;
  // message boxes: answers taken in order (then kIdOk), boxes recorded
  int answers[kHeadlessMaxBoxes];
  int answerCount, answerNext;
  HeadlessBox boxes[kHeadlessMaxBoxes];
  int boxCount;
  // open-file dialog: the path returned (UTF-8), or cancel when empty
  const char* dialogChoice;
  int dialogsShown;
  char dialogTitle[128];
  char dialogFilters[512];   // display texts and patterns joined by '|'
  char dialogInitialDir[512];
  char dialogInitialName[512];
  int dialogFilterIndex;
  int pumps;
};
extern HeadlessState gHeadless;

// Start state: no arguments, code page 65001, English, version 0.
void HeadlessReset();
// argv[0] is the executable path; the strings must outlive the run.
void HeadlessSetArgs(int argc, const char* const* argv);
void HeadlessQueueAnswer(int answer);

// ---- the report window (headless_window.cpp) --------------------------------
// The window is recorded, not shown. Its metrics are fixed (settable before
// the window is made): work area 1920 x 1040 at (0, 0), caption 23, frame 0,
// scroll bars 16. The client size is derived from the outer size, the
// metrics and the bars shown, and reported to the window logic at once
// whenever it changes (creation, resizing, a bar shown or hidden).
//
// Events are scripted: each Script* call below queues one event (or a few).
// PortPumpEvents delivers them in order, only while the window exists, and
// only once the virtual clock has advanced by the event's delay since the
// previous delivery (the first event waits for nothing). The default delay of
// 50 ms is one idle poll of the event loop, so each event arrives at a later
// poll than the one before and the loop's "discard everything pending" pumps
// (which do not sleep) never swallow an event meant for later. A delay of 0
// delivers the event in the same pump as the one before (queued together).
// When the script is used up and the window still exists, the close box is
// used after a further `closeAfterMs` (default 60 s) of virtual time and
// `ranOut` is set, so a loop that misses its quit key still ends; tests that
// end the loop themselves check `ranOut` stays false.
//
//   WindowReset(); HeadlessReset();           // logic and back end
//   HeadlessScriptChar('S');                  // save a capture
//   HeadlessScriptDrag(100, 100, 60, 70);     // left press, move, release
//   HeadlessScriptKey(0x26, 0, kHeadlessShift);  // Shift+Up (virtual key)
//   HeadlessScriptChar(27);                   // ESC ends the loop
//   RunReportWindow();
constexpr int kHeadlessMaxEvents = 256;
constexpr int kHeadlessDropPool = 16384;
constexpr int kHeadlessShift = 1, kHeadlessCtrl = 2, kHeadlessAlt = 4;

enum HeadlessEventKind {
  kHevKey,           // a: virtual key (0x21..0x2E or 0), b: character, mods
  kHevButton,        // a: button (1 left, 2 middle, 3 right), b: press, c/d: x/y, mods
  kHevMotion,        // c/d: x/y, b: left button down
  kHevFrameMotion,
  kHevWheel,         // a: delta (120 a notch, positive away from the user)
  kHevDrop,          // dropFirst/dropCount: names in the drop pool
  kHevClose,         // the close box
  kHevBorderDrag,    // a: horizontal edge, b: vertical edge, c/d: new outer size
  kHevSizeMoveEnd,
  kHevMaximise,
  kHevMinimise,
  kHevRestore,
  kHevScrollArrow,   // a: axis, b: direction (-1 / +1)
  kHevScrollPage,    // a: axis, b: direction
  kHevThumb,         // a: axis, b: position at release
  kHevCall,          // call(a): another part of the program at work (e.g. a
                     // code posted to the event loop)
};

struct HeadlessEvent {
  int kind;
  int a, b, c, d;
  int mods;
  int delayMs;
  int dropFirst, dropCount;  // offsets into the pool: narrow then UTF-16 names
  void (*call)(int);
};

struct HeadlessWindow {
  PortWindowMetrics metrics;
  bool failCreate;     // PortWindowCreate fails (no window)
  int failCursors;     // PortWindowMakeCursors returns this when not 0
  bool failClipboard;  // PortClipboardSetText fails
  // what the back end was asked to do
  bool exists;
  const PortWindowClient* client;  // the window's user, given at creation
  int creates, destroys;
  bool createdAtCorner;
  char title[1024];
  int titleSets;
  int x, y, w, h;      // outer rectangle
  int resizes;         // PortWindowMoveResize calls
  bool topmost;
  int topmostSets;
  int clientW, clientH;
  int viewX, viewY;
  int repaints;
  int lastRepaint[4];  // x, y, w, h
  bool barShown[2];
  int barRange[2], barPos[2];
  bool cursorsMade;
  int cursor;
  int cursorSets;
  char clipboard[128];
  int clipboardSets;
  // script
  HeadlessEvent events[kHeadlessMaxEvents];
  int eventCount, eventNext;
  int64_t lastDeliveryMs;
  bool delivered;       // at least one event delivered
  alignas(char16_t) char dropPool[kHeadlessDropPool];
  int dropFill;
  int64_t closeAfterMs;
  bool ranOut;
};
extern HeadlessWindow gHeadlessWindow;

// Back to the start state (called by HeadlessReset).
void HeadlessWindowReset();
// Delivers the due events; called by PortPumpEvents.
void HeadlessWindowPump();

// Queue events; delayMs as described above. False when the script is full.
bool HeadlessScript(const HeadlessEvent& e);
bool HeadlessScriptKey(int vk, int ch, int mods, int delayMs = 50);
bool HeadlessScriptChar(int ch, int delayMs = 50);  // a typed character, no modifier
bool HeadlessScriptButton(int button, bool press, int x, int y, int mods = 0, int delayMs = 50);
bool HeadlessScriptMotion(int x, int y, bool leftDown, int delayMs = 50);
// Left press at (x0, y0), one move to (x1, y1), release there: three events.
bool HeadlessScriptDrag(int x0, int y0, int x1, int y1, int delayMs = 50);
bool HeadlessScriptWheel(int delta, int delayMs = 50);
// Files dropped together; names in UTF-8 (narrow form: the same bytes).
bool HeadlessScriptDrop(int n, const char* const* utf8names, int delayMs = 50);
// The same with both forms given (e.g. Shift-JIS narrow names).
bool HeadlessScriptDropForms(int n, const char* const* narrow, const char16_t* const* wide,
                             int delayMs = 50);
bool HeadlessScriptClose(int delayMs = 50);
// The user drags a border (left/right: horizontal edge, top/bottom: vertical
// edge, a corner: both) to a new outer size; then lets go (the snap).
bool HeadlessScriptBorderDrag(bool horizontalEdge, bool verticalEdge, int outerW, int outerH,
                              int delayMs = 50);
bool HeadlessScriptSizeMoveEnd(int delayMs = 50);
bool HeadlessScriptMaximise(int delayMs = 50);
bool HeadlessScriptMinimise(int delayMs = 50);
bool HeadlessScriptRestore(int delayMs = 50);
bool HeadlessScriptScrollArrow(int axis, int dir, int delayMs = 50);
bool HeadlessScriptScrollPage(int axis, int dir, int delayMs = 50);
bool HeadlessScriptThumb(int axis, int pos, int delayMs = 50);
// fn(arg) called at its turn among the window's events.
bool HeadlessScriptCall(void (*fn)(int), int arg, int delayMs = 50);
