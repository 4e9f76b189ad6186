#include "display/window_logic.h"

#include <cstdio>
#include <cstring>

#include "analysis/report_buffer.h"
#include "base/diag.h"
#include "base/numtext.h"
#include "base/paths.h"
#include "display/canvas.h"
#include "platform/window_port.h"

ReportWindow gWindow;

static int Max(int a, int b) { return a > b ? a : b; }
static int Min(int a, int b) { return a < b ? a : b; }

void WindowReset() {
  memset(&gWindow, 0, sizeof gWindow);
  gWindow.lineStep = kLineStep;
  gWindow.dragCursor = kCursorHand;
}

// ---- geometry --------------------------------------------------------------

void ReportCanvasSize(int lines, int widest, int* w, int* h) {
  if (widest < 0) widest = 0;
  if (widest > kReportCols - 1) widest = kReportCols - 1;
  if (lines < 0) lines = 0;
  if (lines > kReportLines) lines = kReportLines;
  *w = Max(512, 8 * widest + 16);
  *h = Max(96, 17 * lines);
}

// Full outer size for a w x h canvas and its derived limits. Returns true
// when the size had to be limited to the work area.
static bool ComputeFullSize(int w, int h, const PortWindowMetrics& m) {
  int ow = w + 2 * m.frameW;
  int oh = h + m.captionH + 2 * m.frameH;
  bool limited = false;
  if (ow >= m.workW) {
    ow = m.workW;
    limited = true;
  }
  if (oh >= m.workH) {
    oh = m.workH;
    limited = true;
  }
  gWindow.fullW = ow;
  gWindow.fullH = oh;
  gWindow.fullPlusBarW = ow + m.vbarW;
  gWindow.fullPlusBarH = oh + m.hbarH;
  gWindow.canvasPlusBarW = w + m.vbarW;
  gWindow.canvasPlusCaptionBarH = h + m.captionH + m.hbarH;
  return limited;
}

static void ShowBar(int axis) {
  int page = axis == kAxisX ? gWindow.clientW : gWindow.clientH;
  PortWindowSetScrollBar(axis, gWindow.enabled[axis], gWindow.range[axis], gWindow.pos[axis], page);
}

static void ScrollStateReset() {
  for (int a = 0; a < 2; a++) {
    gWindow.pos[a] = 0;
    gWindow.range[a] = 0;
    gWindow.enabled[a] = false;
  }
  gWindow.lineStep = kLineStep;
}

static void CopyTitle(const char* title) {
  snprintf(gWindow.title, sizeof gWindow.title, "%s", title ? title : "");
}

// Drawing on the canvas shows at once where it lies inside the client area.
static void CanvasChanged(int x, int y, int w, int h) {
  if (!gWindow.exists) return;
  int x0 = Max(x - gWindow.pos[kAxisX], 0);
  int y0 = Max(y - gWindow.pos[kAxisY], 0);
  int x1 = Min(x - gWindow.pos[kAxisX] + w, gWindow.clientW);
  int y1 = Min(y - gWindow.pos[kAxisY] + h, gWindow.clientH);
  if (x1 > x0 && y1 > y0) PortWindowRepaint(x0, y0, x1 - x0, y1 - y0);
}

// ---- life cycle ------------------------------------------------------------

static const uint8_t* CanvasImage(int* w, int* h) {
  *w = CanvasWidth();
  *h = CanvasHeight();
  return CanvasData();
}

// What the back end calls: the event entries below and the canvas.
static const PortWindowClient kWindowClient = {
    .onKey = WindowOnKey,
    .onButton = WindowOnButton,
    .onMotion = WindowOnMotion,
    .onFrameMotion = WindowOnFrameMotion,
    .onWheel = WindowOnWheel,
    .onClientSize = WindowOnClientSize,
    .onBorderDrag = WindowOnBorderDrag,
    .onSizeMoveEnd = WindowOnSizeMoveEnd,
    .onMaximise = WindowOnMaximise,
    .onMinimise = WindowOnMinimise,
    .onRestore = WindowOnRestore,
    .onScrollArrow = WindowOnScrollArrow,
    .onScrollPage = WindowOnScrollPage,
    .onThumbRelease = WindowOnThumbRelease,
    .onDrop = WindowOnDrop,
    .onClose = WindowOnClose,
    .fullSize = WindowFullSize,
    .scrollPos = WindowScrollPos,
    .image = CanvasImage,
};

int WindowCreate(int w, int h, const char* title) {
  if (gWindow.exists) return 0;
  PortWindowMetrics m;
  PortWindowGetMetrics(&m);
  bool limited = ComputeFullSize(w, h, m);
  gWindow.canvasW = w;
  gWindow.canvasH = h;
  gWindow.dropFlag = false;
  gWindow.droppedA[0] = 0;
  gWindow.droppedW[0] = 0;
  gWindow.closeRequested = false;
  ScrollStateReset();
  gWindow.clientW = gWindow.clientH = 0;
  gWindow.maximised = false;
  CopyTitle(title);
  // The window exists from here on: the back end may report its client size
  // while it makes it.
  gWindow.exists = true;
  int made = PortWindowCreate(gWindow.title, gWindow.fullW, gWindow.fullH, limited, &kWindowClient);
  if (made != 0) {
    gWindow.exists = false;
    DiagPrint("Failed creating the report window.\n");
    return -1;
  }
  PortWindowSetTopmost(true);
  CanvasCreate(w, h);
  gCanvasChanged = CanvasChanged;
  PortWindowShowView(0, 0);
  return 0;
}

void WindowResize(int w, int h, const char* title) {
  if (!gWindow.exists) return;
  CanvasCreate(w, h);
  gWindow.canvasW = w;
  gWindow.canvasH = h;
  PortWindowMetrics m;
  PortWindowGetMetrics(&m);
  int oldRangeX = gWindow.range[kAxisX], oldRangeY = gWindow.range[kAxisY];
  bool limited = ComputeFullSize(w, h, m);
  ScrollStateReset();
  PortWindowShowView(0, 0);
  ShowBar(kAxisX);
  ShowBar(kAxisY);
  int x, y, cw, ch;
  PortWindowGetRect(&x, &y, &cw, &ch);
  if (limited || x + gWindow.fullW <= m.workX + 4 || y + gWindow.fullH <= m.workY + 4) {
    PortWindowMoveResize(true, m.workX, m.workY, gWindow.fullW, gWindow.fullH);
  } else {
    if (oldRangeX > 0 && oldRangeY > 0 &&
        (cw < gWindow.fullPlusBarW || ch < gWindow.fullPlusBarH))
      PortWindowMoveResize(false, 0, 0, gWindow.fullPlusBarW, gWindow.fullPlusBarH);
    PortWindowMoveResize(false, 0, 0, gWindow.fullW, gWindow.fullH);
  }
  WindowSetTitle(title);
}

void WindowDestroy() {
  if (!gWindow.exists) return;
  gCanvasChanged = nullptr;
  CanvasRelease();
  PortWindowDestroy();
  gWindow.exists = false;
  gWindow.leftHeld = false;
}

bool WindowExists() { return gWindow.exists; }

void WindowFullSize(int* w, int* h) {
  *w = gWindow.exists ? gWindow.fullW : 0;
  *h = gWindow.exists ? gWindow.fullH : 0;
}

void WindowSetTitle(const char* title) {
  if (!title) title = "";
  if (!strcmp(gWindow.title, title)) return;
  CopyTitle(title);
  if (gWindow.exists) PortWindowSetTitle(gWindow.title);
}

void WindowSetNonTopmost() {
  if (gWindow.exists) PortWindowSetTopmost(false);
}

// ---- scrolling -------------------------------------------------------------

void ScrollTo(int axis, int pos) {
  if (axis != kAxisX && axis != kAxisY) return;
  if (pos > gWindow.range[axis]) pos = gWindow.range[axis];
  if (pos < 0) pos = 0;
  if (pos == gWindow.pos[axis]) return;
  gWindow.pos[axis] = pos;
  if (!gWindow.exists) return;
  PortWindowShowView(gWindow.pos[kAxisX], gWindow.pos[kAxisY]);
  ShowBar(axis);
}

void WindowOnScrollArrow(int axis, int dir) {
  if (axis != kAxisX && axis != kAxisY) return;
  gWindow.repeat++;
  int step;
  if (gWindow.repeat < 10) {
    step = Max(gWindow.lineStep, 1);
  } else {
    step = Max(gWindow.repeat - 7, 1);
    step = Min(step, gWindow.range[axis] / 10);
  }
  ScrollTo(axis, gWindow.pos[axis] + (dir < 0 ? -step : step));
}

void WindowOnScrollPage(int axis, int dir) {
  if (axis != kAxisX && axis != kAxisY) return;
  int step = gWindow.range[axis] / 10;
  ScrollTo(axis, gWindow.pos[axis] + (dir < 0 ? -step : step));
}

void WindowOnThumbRelease(int axis, int pos) { ScrollTo(axis, pos); }

void WindowOnWheel(int delta) {
  if (!gWindow.enabled[kAxisY]) return;
  ScrollTo(kAxisY, gWindow.pos[kAxisY] - delta);
}

// ---- sizes -----------------------------------------------------------------

void WindowOnClientSize(int w, int h) {
  gWindow.clientW = Max(w, 0);
  gWindow.clientH = Max(h, 0);
  gWindow.sizeChanged = true;
  int oldX = gWindow.pos[kAxisX], oldY = gWindow.pos[kAxisY];
  for (int a = 0; a < 2; a++) {
    if (!gWindow.enabled[a]) continue;
    int extent = a == kAxisX ? gWindow.canvasW : gWindow.canvasH;
    int client = a == kAxisX ? gWindow.clientW : gWindow.clientH;
    gWindow.range[a] = Max(extent - client, 0);
    if (gWindow.range[a] == 0) {
      gWindow.enabled[a] = false;
      gWindow.pos[a] = 0;
    } else if (gWindow.pos[a] > gWindow.range[a]) {
      gWindow.pos[a] = gWindow.range[a];
    }
  }
  if (!gWindow.exists) return;
  // The state is complete before the bars change: showing or hiding a bar
  // changes the client size again, and some systems report that at once.
  if (gWindow.pos[kAxisX] != oldX || gWindow.pos[kAxisY] != oldY)
    PortWindowShowView(gWindow.pos[kAxisX], gWindow.pos[kAxisY]);
  ShowBar(kAxisX);
  ShowBar(kAxisY);
}

void WindowOnBorderDrag(bool horizontalEdge, bool verticalEdge) {
  if (horizontalEdge) gWindow.enabled[kAxisX] = true;
  if (verticalEdge) gWindow.enabled[kAxisY] = true;
}

// A bar the snap turns off: the window now shows the whole extent.
static void BarOff(int axis) {
  gWindow.enabled[axis] = false;
  gWindow.pos[axis] = 0;
  gWindow.range[axis] = 0;
}

void WindowOnSizeMoveEnd() {
  if (!gWindow.exists) return;
  PortWindowMetrics m;
  PortWindowGetMetrics(&m);
  int x, y, w, h;
  PortWindowGetRect(&x, &y, &w, &h);
  const int W = gWindow.canvasW, H = gWindow.canvasH;
  bool hx = gWindow.range[kAxisX] > 0, hy = gWindow.range[kAxisY] > 0;
  if (hx && hy) {
    if (w >= gWindow.canvasPlusBarW) {
      w = gWindow.fullW;
      BarOff(kAxisX);
      if (h >= H + m.captionH) {
        h = gWindow.fullH;
        BarOff(kAxisY);
      }
    }
    if (h >= gWindow.canvasPlusCaptionBarH) {
      h = gWindow.fullH;
      BarOff(kAxisY);
      if (w >= W) {
        w = gWindow.fullW;
        BarOff(kAxisX);
      }
    }
  } else if (hx) {
    h = gWindow.fullPlusBarH;
    if (w >= W) {
      w = gWindow.fullW;
      h = gWindow.fullH;
      BarOff(kAxisX);
    }
  } else if (hy) {
    w = gWindow.fullPlusBarW;
    if (h >= H + m.captionH) {
      w = gWindow.fullW;
      h = gWindow.fullH;
      BarOff(kAxisY);
    }
  } else {
    w = gWindow.fullW;
    h = gWindow.fullH;
  }
  PortWindowShowView(gWindow.pos[kAxisX], gWindow.pos[kAxisY]);
  ShowBar(kAxisX);
  ShowBar(kAxisY);
  PortWindowMoveResize(false, 0, 0, w, h);
}

void WindowOnMaximise() {
  if (!gWindow.exists || gWindow.maximised) return;
  int x, y, w, h;
  PortWindowGetRect(&x, &y, &w, &h);
  w = Min(w + 8, gWindow.fullW);
  h = Min(h + 8, gWindow.fullH);
  PortWindowMoveResize(false, 0, 0, w, h);
  gWindow.maximised = true;
}

static void BarsFromRanges() {
  for (int a = 0; a < 2; a++) gWindow.enabled[a] = gWindow.range[a] > 0;
}

void WindowOnMinimise() { BarsFromRanges(); }

void WindowOnRestore() {
  gWindow.maximised = false;
  BarsFromRanges();
}

// ---- cursors ---------------------------------------------------------------

int WindowMakeCursors() {
  int r = PortWindowMakeCursors();
  if (r == -1) DiagPrint("\nLoadCursor error.");
  if (r == -2) DiagPrint("\nCreateCursor error.");
  gWindow.cursorsMade = r == 0;
  return r == 0 ? 0 : -1;
}

bool WindowSelectCursor(int index) {
  if (index < 0 || index >= kCursorCount || gWindow.cursorBusy) return false;
  gWindow.cursorBusy = true;
  gWindow.cursor = index;
  if (gWindow.cursorsMade) PortWindowSetCursor(index);
  gWindow.cursorBusy = false;
  return true;
}

void WindowSetDragCursor(int index) {
  if (index >= 0 && index < kCursorCount) gWindow.dragCursor = index;
}

// ---- state for the loop ----------------------------------------------------

static bool Take(bool* flag) {
  bool v = *flag;
  *flag = false;
  return v;
}

bool WindowTakeLeftDown() { return Take(&gWindow.leftDown); }
bool WindowTakeLeftUp() { return Take(&gWindow.leftUp); }
bool WindowTakeLeftDrag() { return Take(&gWindow.leftDrag); }
bool WindowPeekLeftUp() { return gWindow.leftUp; }
bool WindowPeekLeftDrag() { return gWindow.leftDrag; }
bool WindowTakeSizeChange() { return Take(&gWindow.sizeChanged); }

int WindowTakeKey() {
  int k = gWindow.key;
  gWindow.key = 0;
  return k;
}

bool WindowLeftHeld() { return gWindow.leftHeld; }

void WindowLeftPositions(int* downX, int* downY, int* dragX, int* dragY) {
  *downX = gWindow.downX;
  *downY = gWindow.downY;
  *dragX = gWindow.dragX;
  *dragY = gWindow.dragY;
}

int WindowScrollPos(int axis) { return axis == kAxisX || axis == kAxisY ? gWindow.pos[axis] : 0; }
int WindowDragCursor() { return gWindow.dragCursor; }
bool WindowCloseRequested() { return gWindow.closeRequested; }
bool WindowDropped() { return gWindow.dropFlag; }
const char* WindowDroppedA() { return gWindow.droppedA; }
const char16_t* WindowDroppedW() { return gWindow.droppedW; }

void WindowClearDrop() {
  gWindow.dropFlag = false;
  gWindow.droppedA[0] = 0;
  gWindow.droppedW[0] = 0;
}

// ---- keys ------------------------------------------------------------------

static bool IsLetter(int c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

int WindowKeyCode(int vk, int ch, bool shift, bool ctrl, bool alt) {
  if (alt) return (ch >= 'A' && ch <= 'z') ? 0x500 + ch : 0;
  if (vk >= 0x21 && vk <= 0x2E) {
    if (ctrl) return (shift ? 0x400 : 0x300) + vk;
    return (shift ? 0x200 : 0x100) + vk;
  }
  if (ch <= 0) return 0;
  if (ctrl) {
    if (ch == 0x20 || ch == 0x0D) return 0x300 + ch;
    if (IsLetter(ch)) return ch & 0x1F;
  }
  return ch;
}

bool WindowOnKey(int vk, int ch, bool shift, bool ctrl, bool alt) {
  int code = WindowKeyCode(vk, ch, shift, ctrl, alt);
  if (code) gWindow.key = code;
  return code != 0;
}

// ---- mouse -----------------------------------------------------------------

static int Modifiers(bool shift, bool ctrl) { return (ctrl ? kModCtrl : 0) + (shift ? kModShift : 0); }

// "%10.2f%%" with its leading spaces removed.
static int FormatPercent(char* dst, int cap, double v) {
  char num[40];
  if (FormatFixed(num, sizeof num, v, 0, 2) < 0) num[0] = 0;
  return snprintf(dst, (size_t)cap, "%s%%", num);
}

static int FormatTrimmedInt(char* dst, int cap, int v) {
  char tmp[32];
  snprintf(tmp, sizeof tmp, "%4d", v);
  const char* p = tmp;
  while (*p == ' ') p++;
  return snprintf(dst, (size_t)cap, "%s", p);
}

int WindowClipText(int x, int y, bool shift, bool ctrl, char* dst, int cap) {
  if (cap < 1) return 0;
  char a[40], b[40], c[40];
  if (ctrl) {
    uint8_t r = 0, g = 0, bl = 0;
    if (!CanvasPixel(x, y, &r, &g, &bl)) r = g = bl = 0;
    FormatTrimmedInt(a, sizeof a, r);
    FormatTrimmedInt(b, sizeof b, g);
    FormatTrimmedInt(c, sizeof c, bl);
    snprintf(dst, (size_t)cap, "%s,%s,%s", a, b, c);
  } else if (shift) {
    double W = gWindow.canvasW > 0 ? gWindow.canvasW : 1;
    double H = gWindow.canvasH;
    double px = (x - W * 0.5) * 100.0 / W;
    double py = (y - H * 0.5) * 100.0 / W;
    FormatPercent(a, sizeof a, px);
    FormatPercent(b, sizeof b, py);
    snprintf(dst, (size_t)cap, "%s,%s", a, b);
  } else {
    snprintf(dst, (size_t)cap, "%d,%d", x, y);
  }
  return (int)strlen(dst);
}

static void SetCursorIndex(int index) { WindowSelectCursor(index); }

static void RightClick(int cx, int cy, bool shift, bool ctrl) {
  int x = cx + gWindow.pos[kAxisX], y = cy + gWindow.pos[kAxisY];
  DiagPrint("R-Click(%d,%d)", x, y);
  WindowClipText(x, y, shift, ctrl, gWindow.clipboard, sizeof gWindow.clipboard);
  if (PortClipboardSetText(gWindow.clipboard) != 0)
    DiagPrint(" Failed setting Clipboard data.\n");
  else
    DiagPrint(" (=> Clipboard: %s)", gWindow.clipboard);
}

void WindowOnButton(int button, bool press, int x, int y, bool shift, bool ctrl) {
  int mods = Modifiers(shift, ctrl);
  if (button == kButtonLeft) {
    if (press) {
      gWindow.downX = gWindow.dragX = x;
      gWindow.downY = gWindow.dragY = y;
      gWindow.leftHeld = true;
      gWindow.leftDown = true;
      gWindow.key = kKeyLeftPress + mods;
      SetCursorIndex(gWindow.dragCursor);
    } else {
      gWindow.leftHeld = false;
      gWindow.leftUp = true;
      SetCursorIndex(kCursorArrow);
    }
  } else if (button == kButtonRight) {
    if (press) {
      RightClick(x, y, shift, ctrl);
      gWindow.key = kKeyRightPress + mods;
    }
  } else if (button == kButtonMiddle) {
    gWindow.key = (press ? kKeyMiddlePress : kKeyMiddleRelease) + mods;
  }
}

void WindowOnMotion(int x, int y, bool leftDown) {
  gWindow.repeat = 0;
  if (!leftDown) gWindow.leftHeld = false;
  if (gWindow.leftHeld) {
    gWindow.dragX = x;
    gWindow.dragY = y;
    gWindow.leftDrag = true;
    DiagPrint("\rL-drag to (%d,%d)  ", x, y);
  }
}

void WindowOnFrameMotion() {
  gWindow.repeat = 0;
  if (gWindow.leftHeld) {
    gWindow.leftHeld = false;
    SetCursorIndex(kCursorArrow);
  }
}

void WindowOnClose() {
  DiagPrint("WMCLOSE \n");
  gWindow.closeRequested = true;
}

// ---- drops -----------------------------------------------------------------

static int NarrowLen(const char* s) {
  int n = 0;
  while (s[n] && n < kDropPathMax) n++;
  return n;
}

static int WideLen(const char16_t* s) {
  int n = 0;
  while (s[n] && n < kDropPathMax) n++;
  return n;
}

void WindowOnDrop(int n, const char* const* namesA, const char16_t* const* namesW) {
  DiagPrint("D&D at (%d,%d) %d File(s).\n", 0, 0, n);
  for (int i = 0; i < n; i++) {
    const char* a = namesA[i] ? namesA[i] : "";
    const char16_t* w = namesW[i] ? namesW[i] : u"";
    // A name that fills its 260-unit buffer is left out, in both forms, so
    // that the two argument lists stay parallel.
    if (WideLen(w) >= kDropPathMax - 1 || NarrowLen(a) >= kDropPathMax - 1) {
      DiagPrint("Path Too Long.\n");
      continue;
    }
    DiagPrint("D&D: %s\n", a);
    if (i == 0) {
      memcpy(gWindow.droppedW, w, (size_t)(WideLen(w) + 1) * sizeof(char16_t));
      memcpy(gWindow.droppedA, a, (size_t)NarrowLen(a) + 1);
    } else {
      addargpair(&gArgsA, &gArgsW, a, w);
    }
  }
  gWindow.dropFlag = true;
}
