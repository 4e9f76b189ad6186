#include "display/report_loop.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "analysis/file_report.h"
#include "base/control_escape.h"
#include "base/diag.h"
#include "base/encoding.h"
#include "base/paths.h"
#include "base/runenv.h"
#include "display/canvas.h"
#include "display/capture.h"
#include "display/text.h"
#include "display/window_logic.h"
#include "platform/port.h"

constexpr int kEsc = 27;
constexpr int kTextSlot = 6;
constexpr int kLineHeight = 17;

static bool IsQuitCode(int k) { return k == 'Q' || k == 'q' || k == kKeyQuit || k == 0x11; }

// Codes that end the pass so that a new one begins (the report is not drawn again).
static bool IsRedrawCode(int k) {
  if (k == 0x20 || k == kKeyMouse || k == 0x0D) return true;
  if (k == 'R' || k == 'r' || k == 'C' || k == 'c') return true;
  if (k >= 8 && k <= 12) return true;
  int low = k & 0xFF, high = k & ~0xFF;
  return (high == 0x100 || high == 0x200 || high == 0x300 || high == 0x400) && low >= 0x25 &&
         low <= 0x28;
}

static bool MousePending() {
  return (WindowPeekLeftUp() && !WindowLeftHeld()) || WindowPeekLeftDrag();
}

static void DrawReport() {
  CanvasFill(0, 0, CanvasWidth(), CanvasHeight(), 0, 0, 0);
  const FileReport& report = gFileReport;
  int lines = report.lineCount;
  if (lines > kReportLines) lines = kReportLines;
  for (int i = 0; i < lines; i++) {
    uint32_t c = report.lines[i].colour;  // 0xRRGGBB
    uint8_t r = (uint8_t)((c >> 16) & 0xFF), g = (uint8_t)((c >> 8) & 0xFF), b = (uint8_t)(c & 0xFF);
    char text[kReportCols];
    memcpy(text, report.lines[i].text, sizeof text);
    text[kReportCols - 1] = 0;
    if (!text[0]) continue;
    if (MakeTextImage(kTextSlot, text, kTextSjis, true, 0, -1) != 0) continue;
    const TextImage& img = gTextImages[kTextSlot];
    BlendTextImage(2, kLineHeight * i + 2, kTextSlot, 0, 0, (int)img.width - 1, (int)img.height - 1,
                   r, g, b, 0, 0, 0);
  }
}

// Everything pending is dropped: queued events, the pending code, the key slot.
static void DiscardPending() {
  while (PumpMessages() != 0) TakePendingCode();
  WindowTakeKey();
}

static void AppendDroppedPath() {
  DiagPrint("Dropped file: %s \n", WindowDroppedA());
  addargpair(&gArgsA, &gArgsW, WindowDroppedA(), WindowDroppedW());
}

static bool IsSeparator(char c) { return c == '/' || c == PortDirSeparator(); }

void ReportWindowTitle(const FileReport& r, bool japanese, char* dst, int cap) {
  if (cap < 1) return;
  const char* name = r.path;
  for (const char* p = r.path; *p; p++)
    if (IsSeparator(*p)) name = p + 1;
  std::string tail = " — ";
  if (!r.read) {
    tail += StatusLabel(r.status, japanese);
  } else {
    tail += CategoryLabel(r.category, japanese);
    if (r.status != kStatusComplete) tail += std::string(" (") + StatusLabel(r.status, japanese) + ")";
  }
  std::string shown = Escaped(name);
  const size_t head = strlen("Tarvel — ");
  const size_t room = (size_t)cap - 1 > head + tail.size() ? (size_t)cap - 1 - head - tail.size() : 0;
  if (shown.size() > room) {
    const size_t ellipsis = strlen("…");
    size_t keep = room > ellipsis ? room - ellipsis : 0;
    // never inside a UTF-8 sequence
    while (keep > 0 && ((unsigned char)shown[keep] & 0xC0) == 0x80) keep--;
    shown = shown.substr(0, keep) + (room >= ellipsis ? "…" : "");
  }
  snprintf(dst, (size_t)cap, "Tarvel — %s%s", shown.c_str(), tail.c_str());
}

void ShowVerdictBox() {
  DiagPrint("<< ダイアログの [ＯＫ] を押してください >> \n");
  const uint32_t style = kMbOk | kMbIconInformation | kMbTopmost;
  if (!gFileReport.read) {  // no verdict: the file's status, never "OK"
    char text[320];
    const int head = snprintf(text, sizeof text, "%s: ", StatusName(gFileReport.status));
    StatusMessage(gFileReport, text + head, (int)sizeof text - head);
    char16_t wide[320];
    utf8touni(wide, 320, text);
    PortMessageBoxW(wide, u"Tarvel", style);
    return;
  }
  // The Shift-JIS text reads as narrow text only where the narrow code page
  // is Shift-JIS (932); everywhere else the UTF-16 form says the same.
  bool wide = (gRun.narrowFailed && !gRun.wideFailed) || PortAnsiCodePage() != 932;
  if (wide)
    PortMessageBoxW(gFileReport.boxtextw, u"Tarvel", style);
  else
    PortMessageBoxA(gFileReport.boxtext, "Tarvel", style);
}

int RunReportWindow(void (*makeCopy)()) {
  static char title[kTitleMax];
  ReportWindowTitle(gFileReport, gRun.japaneseUser != 0, title, sizeof title);
  LookupAndOpenFont();
  if (WindowMakeCursors() != 0) return -1;
  WindowClearDrop();
  bool drawn = false;
  bool running = true;
  int originX = 0, originY = 0;

  while (running) {
    // ---- one pass ----
    bool up = WindowTakeLeftUp();
    bool drag = WindowTakeLeftDrag();
    bool down = WindowTakeLeftDown();
    WindowTakeSizeChange();
    int w, h;
    ReportCanvasSize(gFileReport.lineCount, gFileReport.widest, &w, &h);
    if (WindowExists()) {
      if (CanvasWidth() != w || CanvasHeight() != h) WindowResize(w, h, title);
    } else {
      WindowCreate(w, h, title);
    }
    if (WindowExists()) {
      WindowSetDragCursor(kCursorHand);
      // The hand stays while the left button is held (a pass runs for every
      // step of a drag).
      WindowSelectCursor(WindowLeftHeld() ? WindowDragCursor() : kCursorArrow);
      WindowSetTitle(title);
      WindowSetNonTopmost();
    }
    int downX, downY, dragX, dragY;
    WindowLeftPositions(&downX, &downY, &dragX, &dragY);
    if (down) {
      originX = WindowScrollPos(kAxisX);
      originY = WindowScrollPos(kAxisY);
      DiagPrint("L-drag start (%d,%d) \n", downX, downY);
    }
    if (up || drag) {
      ScrollTo(kAxisX, originX - (dragX - downX));
      ScrollTo(kAxisY, originY - (dragY - downY));
    }
    if (!drawn) {
      if (WindowExists()) DrawReport();
      drawn = true;
    }
    int key = 0;

    // ---- dispatch ----
    for (;;) {
      if (key == 'S' || key == 's') key = SaveCapture();
      if (!WindowExists()) key = kKeyQuit;
      if (MousePending()) key = kKeyMouse;
      if (WindowDropped()) key = kKeyDropped;
      if (key == kEsc) key = kKeyQuit;
      if (gRun.fontFailed) key = 'Q';
      if (IsQuitCode(key)) {
        running = false;
        break;
      }
      if (IsRedrawCode(key)) break;  // a new pass
      if (key) DiagPrint("kch: %04X \n", key);

      // wait for something to do
      while (key == 0 || key == kKeyDropped) {
        if (WindowCloseRequested()) key = kEsc;
        if (!WindowExists()) {
          running = false;
          break;
        }
        if (PumpMessages() != 0) {
          key = TakePendingCode();
          break;
        }
        int k = WindowTakeKey();
        if (k) key = k >= 0x1000 ? 0 : k;
        if (MousePending()) key = kKeyMouse;
        if (WindowDropped()) {
          key = kKeyDropped;
          AppendDroppedPath();
          break;
        }
        if (key != 0) break;
        PortSleep(50);
      }
      if (!running) break;
      if (key == 0) continue;
      DiagPrint("inLoop %04X (%d)\n", key, key);
      DiscardPending();
      if (key == 'S' || key == 's') continue;
      if (key == kEsc || IsQuitCode(key) || key == kKeyDropped) {
        running = false;
        break;
      }
      if (IsRedrawCode(key)) continue;
      // The verdict box and the copy; what is typed into their boxes stays there.
      if (key == 'V' || key == 'v') {
        ShowVerdictBox();
        DiscardPending();
      } else if ((key == 'F' || key == 'f') && makeCopy) {
        makeCopy();
        DiscardPending();
      }
      key = 0;  // done, or ignored
    }
  }

  if (WindowDropped()) return kOutcomeDropped;
  if (gRun.fontFailed) {
    if (gRun.cancelDialogue == 0 && (gArgsA.count >= 2 || gArgsW.count >= 2)) ShowVerdictBox();
    return kOutcomeNoFont;
  }
  return kOutcomeQuit;
}

void CloseReportWindow() {
  DiscardPending();
  WindowDestroy();
  PumpMessages();
  PortSleep(200);
  PumpMessages();
}

bool ReportWindowExists() { return WindowExists(); }
