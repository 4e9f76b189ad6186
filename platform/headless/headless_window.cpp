// The headless report window: records what the window logic asks for and
// feeds it scripted events (see headless.h).
#include <cstdio>
#include <cstring>

#include "platform/headless/headless.h"
#include "platform/posix/posix_port.h"
#include "platform/window_port.h"

HeadlessWindow gHeadlessWindow;

// An event goes to the client the window was made with.
#define CALL(f, ...)                                                    \
  do {                                                                  \
    if (gHeadlessWindow.client) gHeadlessWindow.client->f(__VA_ARGS__); \
  } while (0)

static bool gDelivering = false;  // a client size report is under way

void HeadlessWindowReset() {
  memset(&gHeadlessWindow, 0, sizeof gHeadlessWindow);
  PortWindowMetrics& m = gHeadlessWindow.metrics;
  m.workX = 0;
  m.workY = 0;
  m.workW = 1920;
  m.workH = 1040;
  m.captionH = 23;
  m.frameW = 0;
  m.frameH = 0;
  m.vbarW = 16;
  m.hbarH = 16;
  gHeadlessWindow.closeAfterMs = 60000;
  gDelivering = false;
}

// ---- the window --------------------------------------------------------------

// The client size follows from the outer size, the metrics and the bars; the
// logic hears of every change at once, one report at a time.
static void ReportClientSize() {
  if (gDelivering) return;  // the running report loop below picks it up
  gDelivering = true;
  for (int guard = 0; guard < 16 && gHeadlessWindow.exists; guard++) {
    const PortWindowMetrics& m = gHeadlessWindow.metrics;
    int cw = gHeadlessWindow.w - 2 * m.frameW - (gHeadlessWindow.barShown[1] ? m.vbarW : 0);
    int ch = gHeadlessWindow.h - m.captionH - 2 * m.frameH -
             (gHeadlessWindow.barShown[0] ? m.hbarH : 0);
    if (cw < 0) cw = 0;
    if (ch < 0) ch = 0;
    if (cw == gHeadlessWindow.clientW && ch == gHeadlessWindow.clientH) break;
    gHeadlessWindow.clientW = cw;
    gHeadlessWindow.clientH = ch;
    CALL(onClientSize, cw, ch);
  }
  gDelivering = false;
}

void PortWindowGetMetrics(PortWindowMetrics* m) { *m = gHeadlessWindow.metrics; }

int PortWindowCreate(const char* title, int outerW, int outerH, bool atCorner,
                     const PortWindowClient* client) {
  if (gHeadlessWindow.failCreate) return -1;
  HeadlessWindow& hw = gHeadlessWindow;
  hw.exists = true;
  hw.client = client;
  hw.creates++;
  hw.createdAtCorner = atCorner;
  snprintf(hw.title, sizeof hw.title, "%s", title);
  hw.x = atCorner ? hw.metrics.workX : hw.metrics.workX + 64;
  hw.y = atCorner ? hw.metrics.workY : hw.metrics.workY + 64;
  hw.w = outerW;
  hw.h = outerH;
  hw.barShown[0] = hw.barShown[1] = false;
  hw.clientW = hw.clientH = -1;  // report the first size whatever it is
  ReportClientSize();
  return 0;
}

void PortWindowDestroy() {
  if (!gHeadlessWindow.exists) return;
  gHeadlessWindow.exists = false;
  gHeadlessWindow.destroys++;
}

void PortWindowSetTitle(const char* title) {
  snprintf(gHeadlessWindow.title, sizeof gHeadlessWindow.title, "%s", title);
  gHeadlessWindow.titleSets++;
}

void PortWindowMoveResize(bool move, int x, int y, int outerW, int outerH) {
  if (!gHeadlessWindow.exists) return;
  if (move) {
    gHeadlessWindow.x = x;
    gHeadlessWindow.y = y;
  }
  gHeadlessWindow.w = outerW;
  gHeadlessWindow.h = outerH;
  gHeadlessWindow.resizes++;
  ReportClientSize();
}

void PortWindowGetRect(int* x, int* y, int* w, int* h) {
  bool e = gHeadlessWindow.exists;
  *x = e ? gHeadlessWindow.x : 0;
  *y = e ? gHeadlessWindow.y : 0;
  *w = e ? gHeadlessWindow.w : 0;
  *h = e ? gHeadlessWindow.h : 0;
}

void PortWindowSetTopmost(bool on) {
  gHeadlessWindow.topmost = on;
  gHeadlessWindow.topmostSets++;
}

void PortWindowShowView(int sx, int sy) {
  gHeadlessWindow.viewX = sx;
  gHeadlessWindow.viewY = sy;
}

void PortWindowRepaint(int x, int y, int w, int h) {
  gHeadlessWindow.repaints++;
  gHeadlessWindow.lastRepaint[0] = x;
  gHeadlessWindow.lastRepaint[1] = y;
  gHeadlessWindow.lastRepaint[2] = w;
  gHeadlessWindow.lastRepaint[3] = h;
}

void PortWindowSetScrollBar(int axis, bool shown, int range, int pos, int /*page*/) {
  if (axis < 0 || axis > 1) return;
  bool changed = gHeadlessWindow.barShown[axis] != shown;
  gHeadlessWindow.barShown[axis] = shown;
  gHeadlessWindow.barRange[axis] = range;
  gHeadlessWindow.barPos[axis] = pos;
  if (changed) ReportClientSize();
}

int PortWindowMakeCursors() {
  if (gHeadlessWindow.failCursors) return gHeadlessWindow.failCursors;
  gHeadlessWindow.cursorsMade = true;
  return 0;
}

void PortWindowSetCursor(int index) {
  gHeadlessWindow.cursor = index;
  gHeadlessWindow.cursorSets++;
}

int PortClipboardSetText(const char* text) {
  if (gHeadlessWindow.failClipboard) return -1;
  snprintf(gHeadlessWindow.clipboard, sizeof gHeadlessWindow.clipboard, "%s", text);
  gHeadlessWindow.clipboardSets++;
  return 0;
}

// ---- the script ----------------------------------------------------------------

bool HeadlessScript(const HeadlessEvent& e) {
  if (gHeadlessWindow.eventCount >= kHeadlessMaxEvents) return false;
  gHeadlessWindow.events[gHeadlessWindow.eventCount++] = e;
  return true;
}

static bool Queue(int kind, int a, int b, int c, int d, int mods, int delayMs) {
  HeadlessEvent e;
  memset(&e, 0, sizeof e);
  e.kind = kind;
  e.a = a;
  e.b = b;
  e.c = c;
  e.d = d;
  e.mods = mods;
  e.delayMs = delayMs < 0 ? 0 : delayMs;
  return HeadlessScript(e);
}

bool HeadlessScriptKey(int vk, int ch, int mods, int delayMs) {
  return Queue(kHevKey, vk, ch, 0, 0, mods, delayMs);
}
bool HeadlessScriptChar(int ch, int delayMs) { return Queue(kHevKey, 0, ch, 0, 0, 0, delayMs); }
bool HeadlessScriptButton(int button, bool press, int x, int y, int mods, int delayMs) {
  return Queue(kHevButton, button, press, x, y, mods, delayMs);
}
bool HeadlessScriptMotion(int x, int y, bool leftDown, int delayMs) {
  return Queue(kHevMotion, 0, leftDown, x, y, 0, delayMs);
}
bool HeadlessScriptDrag(int x0, int y0, int x1, int y1, int delayMs) {
  return HeadlessScriptButton(kButtonLeft, true, x0, y0, 0, delayMs) &&
         HeadlessScriptMotion(x1, y1, true, delayMs) &&
         HeadlessScriptButton(kButtonLeft, false, x1, y1, 0, delayMs);
}
bool HeadlessScriptWheel(int delta, int delayMs) { return Queue(kHevWheel, delta, 0, 0, 0, 0, delayMs); }
bool HeadlessScriptClose(int delayMs) { return Queue(kHevClose, 0, 0, 0, 0, 0, delayMs); }
bool HeadlessScriptBorderDrag(bool horizontalEdge, bool verticalEdge, int outerW, int outerH,
                              int delayMs) {
  return Queue(kHevBorderDrag, horizontalEdge, verticalEdge, outerW, outerH, 0, delayMs);
}
bool HeadlessScriptSizeMoveEnd(int delayMs) { return Queue(kHevSizeMoveEnd, 0, 0, 0, 0, 0, delayMs); }
bool HeadlessScriptMaximise(int delayMs) { return Queue(kHevMaximise, 0, 0, 0, 0, 0, delayMs); }
bool HeadlessScriptMinimise(int delayMs) { return Queue(kHevMinimise, 0, 0, 0, 0, 0, delayMs); }
bool HeadlessScriptRestore(int delayMs) { return Queue(kHevRestore, 0, 0, 0, 0, 0, delayMs); }
bool HeadlessScriptScrollArrow(int axis, int dir, int delayMs) {
  return Queue(kHevScrollArrow, axis, dir, 0, 0, 0, delayMs);
}
bool HeadlessScriptScrollPage(int axis, int dir, int delayMs) {
  return Queue(kHevScrollPage, axis, dir, 0, 0, 0, delayMs);
}
bool HeadlessScriptThumb(int axis, int pos, int delayMs) {
  return Queue(kHevThumb, axis, pos, 0, 0, 0, delayMs);
}
bool HeadlessScriptCall(void (*fn)(int), int arg, int delayMs) {
  HeadlessEvent e;
  memset(&e, 0, sizeof e);
  e.kind = kHevCall;
  e.a = arg;
  e.delayMs = delayMs < 0 ? 0 : delayMs;
  e.call = fn;
  return HeadlessScript(e);
}

// Drop names live in the pool: the narrow names one after another (each with
// its NUL), then the UTF-16 names, aligned to two bytes.
bool HeadlessScriptDropForms(int n, const char* const* narrow, const char16_t* const* wide,
                             int delayMs) {
  HeadlessWindow& hw = gHeadlessWindow;
  if (n < 0) return false;
  int start = hw.dropFill;
  int fill = start;
  for (int i = 0; i < n; i++) {
    size_t len = strlen(narrow[i]) + 1;
    if (fill + (int)len > kHeadlessDropPool) return false;
    memcpy(hw.dropPool + fill, narrow[i], len);
    fill += (int)len;
  }
  if (fill & 1) fill++;
  for (int i = 0; i < n; i++) {
    size_t len = 0;
    while (wide[i][len]) len++;
    size_t bytes = (len + 1) * sizeof(char16_t);
    if (fill + (int)bytes > kHeadlessDropPool) return false;
    memcpy(hw.dropPool + fill, wide[i], bytes);
    fill += (int)bytes;
  }
  HeadlessEvent e;
  memset(&e, 0, sizeof e);
  e.kind = kHevDrop;
  e.delayMs = delayMs < 0 ? 0 : delayMs;
  e.dropFirst = start;
  e.dropCount = n;
  if (!HeadlessScript(e)) return false;
  hw.dropFill = fill;
  return true;
}

bool HeadlessScriptDrop(int n, const char* const* utf8names, int delayMs) {
  constexpr int kMax = 64;
  static char16_t wide[kMax][1024];
  const char16_t* wp[kMax];
  if (n < 0 || n > kMax) return false;
  for (int i = 0; i < n; i++) {
    if (!PathUtf8ToUtf16(wide[i], 1024, utf8names[i])) return false;
    wp[i] = wide[i];
  }
  return HeadlessScriptDropForms(n, utf8names, wp, delayMs);
}

static void DeliverDrop(const HeadlessEvent& e) {
  constexpr int kMax = 64;
  const char* a[kMax];
  const char16_t* w[kMax];
  int n = e.dropCount < kMax ? e.dropCount : kMax;
  int off = e.dropFirst;
  for (int i = 0; i < e.dropCount; i++) {
    if (i < n) a[i] = gHeadlessWindow.dropPool + off;
    off += (int)strlen(gHeadlessWindow.dropPool + off) + 1;
  }
  if (off & 1) off++;
  for (int i = 0; i < e.dropCount; i++) {
    const char16_t* p = (const char16_t*)(const void*)(gHeadlessWindow.dropPool + off);
    if (i < n) w[i] = p;
    int len = 0;
    while (p[len]) len++;
    off += (len + 1) * (int)sizeof(char16_t);
  }
  CALL(onDrop, n, a, w);
}

static void Deliver(const HeadlessEvent& e) {
  bool shift = e.mods & kHeadlessShift, ctrl = e.mods & kHeadlessCtrl, alt = e.mods & kHeadlessAlt;
  switch (e.kind) {
    case kHevKey: CALL(onKey, e.a, e.b, shift, ctrl, alt); break;
    case kHevButton: CALL(onButton, e.a, e.b != 0, e.c, e.d, shift, ctrl); break;
    case kHevMotion: CALL(onMotion, e.c, e.d, e.b != 0); break;
    case kHevFrameMotion: CALL(onFrameMotion); break;
    case kHevWheel: CALL(onWheel, e.a); break;
    case kHevDrop: DeliverDrop(e); break;
    case kHevClose: CALL(onClose); break;
    case kHevBorderDrag:
      CALL(onBorderDrag, e.a != 0, e.b != 0);
      gHeadlessWindow.w = e.c;
      gHeadlessWindow.h = e.d;
      ReportClientSize();
      break;
    case kHevSizeMoveEnd: CALL(onSizeMoveEnd); break;
    case kHevMaximise: CALL(onMaximise); break;
    case kHevMinimise: CALL(onMinimise); break;
    case kHevRestore: CALL(onRestore); break;
    case kHevScrollArrow: CALL(onScrollArrow, e.a, e.b); break;
    case kHevScrollPage: CALL(onScrollPage, e.a, e.b); break;
    case kHevThumb: CALL(onThumbRelease, e.a, e.b); break;
    case kHevCall:
      if (e.call) e.call(e.a);
      break;
    default: break;
  }
}

void HeadlessWindowPump() {
  HeadlessWindow& hw = gHeadlessWindow;
  if (!hw.exists) return;
  while (hw.eventNext < hw.eventCount) {
    const HeadlessEvent& e = hw.events[hw.eventNext];
    if (hw.delivered && gHeadless.clockMs - hw.lastDeliveryMs < e.delayMs) return;
    hw.eventNext++;
    hw.delivered = true;
    hw.lastDeliveryMs = gHeadless.clockMs;
    Deliver(e);
    if (!hw.exists) return;
  }
  // The script is used up: the close box, once enough time has gone by.
  if (!hw.delivered) {
    hw.delivered = true;
    hw.lastDeliveryMs = gHeadless.clockMs;
  }
  if (!hw.ranOut && gHeadless.clockMs - hw.lastDeliveryMs >= hw.closeAfterMs) {
    hw.ranOut = true;
    CALL(onClose);
  }
}
