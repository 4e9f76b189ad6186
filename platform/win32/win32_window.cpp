// Win32 back end of the report window: the window class "vovo" with both
// scroll bars, painted from the canvas with SetDIBitsToDevice. Window
// messages become calls on the window's client (platform/window_port.h); the
// handlers run inside the message pump (PortPumpEvents) and the system's own
// modal loops (moving, sizing).
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <shellapi.h>
#include <windowsx.h>

#include <cstring>

#include "platform/win32/win32_port.h"
#include "platform/window_port.h"

namespace {

constexpr char kClassName[] = "vovo";
// overlapped window with caption, system menu, sizing border, minimise and
// maximise boxes and both scroll bars
constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW | WS_HSCROLL | WS_VSCROLL;  // 0xFF0000
static_assert(kStyle == 0xFF0000, "report window style");

constexpr int kMaxDrop = 512;  // files taken from one drop; the rest are left out
constexpr int kBandRows = 64;  // canvas rows converted per SetDIBitsToDevice call
constexpr int kBandStride = (kCanvasMaxW * 3 + 3) & ~3;

struct Win32ReportWindow {
  const PortWindowClient* client;  // given at creation, kept after
  HWND hwnd;
  bool registered;
  int viewX, viewY;
  bool barShown[2];
  int barDepth;        // nesting of scroll bar updates (a bar shown resizes the client)
  bool minimised, maximised;
  WPARAM lastKeyDown;  // virtual key of the last key press
  HCURSOR cursors[kCursorCount];
  bool cursorsMade;
  int cursor;
};

Win32ReportWindow g;

uint8_t gBand[kBandRows * kBandStride];
char gDropA[kMaxDrop][kDropPathMax];
char16_t gDropW[kMaxDrop][kDropPathMax];

HINSTANCE Instance() { return GetModuleHandleA(nullptr); }

bool KeyHeld(int vk) { return GetKeyState(vk) < 0; }

// ---- painting ------------------------------------------------------------------

void FillBlack(HDC dc, int x0, int y0, int x1, int y1) {
  if (x1 <= x0 || y1 <= y0) return;
  RECT r;
  SetRect(&r, x0, y0, x1, y1);
  FillRect(dc, &r, (HBRUSH)GetStockObject(BLACK_BRUSH));
}

// The client rectangle rc shows canvas pixels from (viewX, viewY); what lies
// beyond the canvas is black.
void Paint(HDC dc, const RECT& rc) {
  int cw = 0, ch = 0;
  const uint8_t* data = g.client ? g.client->image(&cw, &ch) : nullptr;
  int x0 = rc.left > 0 ? rc.left : 0, y0 = rc.top > 0 ? rc.top : 0;
  int x1 = rc.right, y1 = rc.bottom;
  if (data && cw > 0 && ch > 0) {
    if (x1 > cw - g.viewX) x1 = cw - g.viewX;
    if (y1 > ch - g.viewY) y1 = ch - g.viewY;
  } else {
    x1 = x0;
    y1 = y0;
  }
  if (x1 <= x0 || y1 <= y0) {
    FillBlack(dc, rc.left, rc.top, rc.right, rc.bottom);
    return;
  }
  FillBlack(dc, x1, rc.top, rc.right, rc.bottom);
  FillBlack(dc, rc.left, y1, x1, rc.bottom);
  int w = x1 - x0;
  BITMAPINFO bmi;
  memset(&bmi, 0, sizeof bmi);
  bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
  bmi.bmiHeader.biWidth = w;
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 24;
  bmi.bmiHeader.biCompression = BI_RGB;
  int stride = (w * 3 + 3) & ~3;
  for (int y = y0; y < y1; y += kBandRows) {
    int rows = y1 - y < kBandRows ? y1 - y : kBandRows;
    for (int r = 0; r < rows; r++) {
      const uint8_t* src = data + ((size_t)(y + r + g.viewY) * (size_t)cw + (size_t)(x0 + g.viewX)) * 3;
      uint8_t* dst = gBand + (size_t)r * (size_t)stride;
      for (int x = 0; x < w; x++, src += 3, dst += 3) {  // RGB -> BGR
        dst[0] = src[2];
        dst[1] = src[1];
        dst[2] = src[0];
      }
    }
    bmi.bmiHeader.biHeight = -rows;  // top row first
    SetDIBitsToDevice(dc, x0, y, (DWORD)w, (DWORD)rows, 0, 0, 0, (UINT)rows, gBand, &bmi,
                      DIB_RGB_COLORS);
  }
}

// ---- keys ------------------------------------------------------------------------

// A typed character as the logic wants it: without Ctrl applied. Ctrl turns
// letters into control codes and Enter into LF here; the key pressed tells
// them apart.
int CharWithoutCtrl(int ch, bool ctrl, bool shift) {
  if (!ctrl) return ch;
  WPARAM vk = g.lastKeyDown;
  if (vk == VK_RETURN) return 0x0D;
  if (vk == VK_SPACE) return 0x20;
  if (ch >= 1 && ch <= 26 && vk >= 'A' && vk <= 'Z') return shift ? (int)vk : (int)vk + 32;
  return ch;
}

// ---- drops -----------------------------------------------------------------------

void Dropped(HDROP drop) {
  UINT n = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  if (n > kMaxDrop) n = kMaxDrop;
  const char* a[kMaxDrop];
  const char16_t* w[kMaxDrop];
  for (UINT i = 0; i < n; i++) {
    // A name longer than the buffer comes back cut to 259 units; the logic
    // leaves out names that fill the buffer.
    if (!DragQueryFileW(drop, i, reinterpret_cast<wchar_t*>(gDropW[i]), kDropPathMax)) gDropW[i][0] = 0;
    if (!DragQueryFileA(drop, i, gDropA[i], kDropPathMax)) gDropA[i][0] = 0;
    gDropW[i][kDropPathMax - 1] = 0;
    gDropA[i][kDropPathMax - 1] = 0;
    a[i] = gDropA[i];
    w[i] = gDropW[i];
  }
  POINT at;
  DragQueryPoint(drop, &at);
  DragFinish(drop);
  if (n > 0) g.client->onDrop((int)n, a, w);
}

// ---- the window procedure --------------------------------------------------------

int ScrollAxis(UINT msg) { return msg == WM_HSCROLL ? kAxisX : kAxisY; }

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_NCCREATE:
      g.hwnd = hwnd;  // the handlers below may run before CreateWindowExA returns
      break;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      if (dc) Paint(dc, ps.rcPaint);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;  // the paint covers every pixel
    case WM_SIZE:
      if (wp == SIZE_MINIMIZED) {
        g.minimised = true;
        g.client->onMinimise();
        return 0;
      }
      if (wp == SIZE_RESTORED && (g.minimised || g.maximised)) g.client->onRestore();
      g.minimised = false;
      g.maximised = wp == SIZE_MAXIMIZED;
      g.client->onClientSize(LOWORD(lp), HIWORD(lp));
      return 0;
    case WM_SIZING: {
      bool horizontal = wp == WMSZ_LEFT || wp == WMSZ_RIGHT || wp == WMSZ_TOPLEFT ||
                        wp == WMSZ_TOPRIGHT || wp == WMSZ_BOTTOMLEFT || wp == WMSZ_BOTTOMRIGHT;
      bool vertical = wp == WMSZ_TOP || wp == WMSZ_BOTTOM || wp == WMSZ_TOPLEFT ||
                      wp == WMSZ_TOPRIGHT || wp == WMSZ_BOTTOMLEFT || wp == WMSZ_BOTTOMRIGHT;
      g.client->onBorderDrag(horizontal, vertical);
      break;
    }
    case WM_EXITSIZEMOVE:
      g.client->onSizeMoveEnd();
      return 0;
    case WM_GETMINMAXINFO: {
      int fullW = 0, fullH = 0;
      if (g.client) g.client->fullSize(&fullW, &fullH);
      if (fullW > 0 && fullH > 0) {
        MINMAXINFO* mm = reinterpret_cast<MINMAXINFO*>(lp);
        mm->ptMaxSize.x = fullW;
        mm->ptMaxSize.y = fullH;
      }
      return 0;
    }
    case WM_SYSCOMMAND:
      if ((wp & 0xFFF0) == SC_MAXIMIZE) g.client->onMaximise();
      break;
    case WM_CLOSE:
      g.client->onClose();  // the window stays; the loop decides
      return 0;
    case WM_KEYDOWN:
      g.lastKeyDown = wp;
      if (wp >= 0x21 && wp <= 0x2E) {
        g.client->onKey((int)wp, 0, KeyHeld(VK_SHIFT), KeyHeld(VK_CONTROL), false);
        return 0;
      }
      break;
    case WM_CHAR: {
      bool shift = KeyHeld(VK_SHIFT), ctrl = KeyHeld(VK_CONTROL);
      g.client->onKey(0, CharWithoutCtrl((int)wp, ctrl, shift), shift, ctrl, false);
      return 0;
    }
    case WM_SYSCHAR:
      if (g.client->onKey(0, (int)wp, KeyHeld(VK_SHIFT), KeyHeld(VK_CONTROL), true)) return 0;
      break;  // Alt+Space and the like: the system menu
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP: {
      int button = (msg == WM_LBUTTONDOWN || msg == WM_LBUTTONUP) ? kButtonLeft
                   : msg == WM_RBUTTONDOWN                          ? kButtonRight
                                                                    : kButtonMiddle;
      bool press = msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN || msg == WM_MBUTTONDOWN;
      g.client->onButton(button, press, GET_X_LPARAM(lp), GET_Y_LPARAM(lp),
                         (wp & MK_SHIFT) != 0, (wp & MK_CONTROL) != 0);
      return 0;
    }
    case WM_MOUSEMOVE:
      g.client->onMotion(GET_X_LPARAM(lp), GET_Y_LPARAM(lp), (wp & MK_LBUTTON) != 0);
      return 0;
    case WM_NCMOUSEMOVE:
      g.client->onFrameMotion();
      break;
    case WM_MOUSEWHEEL:
      g.client->onWheel(GET_WHEEL_DELTA_WPARAM(wp));
      return 0;
    case WM_HSCROLL:
    case WM_VSCROLL:
      switch (LOWORD(wp)) {
        case SB_LINEUP: g.client->onScrollArrow(ScrollAxis(msg), -1); break;
        case SB_LINEDOWN: g.client->onScrollArrow(ScrollAxis(msg), 1); break;
        case SB_PAGEUP: g.client->onScrollPage(ScrollAxis(msg), -1); break;
        case SB_PAGEDOWN: g.client->onScrollPage(ScrollAxis(msg), 1); break;
        case SB_THUMBPOSITION:
          g.client->onThumbRelease(ScrollAxis(msg), (int)(short)HIWORD(wp));
          break;
        default: break;  // the thumb moves alone while it is dragged
      }
      return 0;
    case WM_DROPFILES:
      Dropped(reinterpret_cast<HDROP>(wp));
      return 0;
    default:
      break;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

void UpdateCursor() {
  if (!g.hwnd || !g.cursorsMade || !g.cursors[g.cursor]) return;
  SetClassLongPtrA(g.hwnd, GCLP_HCURSOR, reinterpret_cast<LONG_PTR>(g.cursors[g.cursor]));
  SetCursor(g.cursors[g.cursor]);
}

}  // namespace

void* Win32OwnerWindow() { return g.hwnd; }

// ---- the port ----------------------------------------------------------------------

void PortWindowGetMetrics(PortWindowMetrics* m) {
  memset(m, 0, sizeof *m);
  RECT work;
  if (SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0)) {
    m->workX = work.left;
    m->workY = work.top;
    m->workW = work.right - work.left;
    m->workH = work.bottom - work.top;
  } else {
    m->workW = GetSystemMetrics(SM_CXSCREEN);
    m->workH = GetSystemMetrics(SM_CYSCREEN);
  }
  // the frame and caption of a window of this style around a 100 x 100 client
  RECT r;
  SetRect(&r, 0, 0, 100, 100);
  AdjustWindowRect(&r, kStyle & ~(WS_HSCROLL | WS_VSCROLL), FALSE);
  m->frameW = -r.left;
  m->frameH = r.bottom - 100;
  m->captionH = -r.top - m->frameH;
  m->vbarW = GetSystemMetrics(SM_CXVSCROLL);
  m->hbarH = GetSystemMetrics(SM_CYHSCROLL);
}

int PortWindowCreate(const char* title, int outerW, int outerH, bool atCorner,
                     const PortWindowClient* client) {
  if (g.hwnd) return 0;
  g.client = client;  // the window's first messages come before CreateWindowExA returns
  HINSTANCE inst = Instance();
  if (!g.registered) {
    WNDCLASSA wc;
    memset(&wc, 0, sizeof wc);
    wc.style = 0;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = inst;
    wc.hIcon = LoadIconA(inst, MAKEINTRESOURCEA(128));
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)GetStockObject(BLACK_BRUSH);
    wc.lpszClassName = kClassName;
    if (!RegisterClassA(&wc)) return -1;
    g.registered = true;
  }
  g.viewX = g.viewY = 0;
  g.barShown[0] = g.barShown[1] = false;
  g.barDepth = 0;
  g.minimised = g.maximised = false;
  int x = CW_USEDEFAULT, y = CW_USEDEFAULT;
  if (atCorner) {
    PortWindowMetrics m;
    PortWindowGetMetrics(&m);
    x = m.workX;
    y = m.workY;
  }
  HWND hwnd = CreateWindowExA(0, kClassName, "", kStyle, x, y, outerW, outerH, nullptr, nullptr,
                              inst, nullptr);
  if (!hwnd) {
    g.hwnd = nullptr;
    UnregisterClassA(kClassName, inst);
    g.registered = false;
    return -1;
  }
  g.hwnd = hwnd;
  PortWindowSetTitle(title);
  ShowScrollBar(hwnd, SB_BOTH, FALSE);  // both bars start hidden
  ShowWindow(hwnd, SW_SHOWDEFAULT);
  UpdateWindow(hwnd);
  DragAcceptFiles(hwnd, TRUE);
  UpdateCursor();
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  if (in && in != INVALID_HANDLE_VALUE) FlushConsoleInputBuffer(in);
  return 0;
}

void PortWindowDestroy() {
  if (g.hwnd) {
    DragAcceptFiles(g.hwnd, FALSE);
    DestroyWindow(g.hwnd);
    g.hwnd = nullptr;
  }
  if (g.registered) {
    UnregisterClassA(kClassName, Instance());
    g.registered = false;
  }
}

void PortWindowSetTitle(const char* title) {
  if (!g.hwnd) return;
  // UTF-8 to UTF-16 (an invalid byte becomes U+FFFD), handed to the default
  // procedure's UTF-16 entry: the window's class is narrow, and SetWindowTextW
  // would pass the text through the ANSI code page on its way to it.
  static wchar_t wide[1024];
  int n = MultiByteToWideChar(CP_UTF8, 0, title, -1, wide, 1024);
  if (n <= 0) wide[0] = 0;
  wide[1023] = 0;
  DefWindowProcW(g.hwnd, WM_SETTEXT, 0, (LPARAM)wide);
}

void PortWindowMoveResize(bool move, int x, int y, int outerW, int outerH) {
  if (!g.hwnd) return;
  UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | (move ? 0 : SWP_NOMOVE);
  SetWindowPos(g.hwnd, nullptr, x, y, outerW, outerH, flags);
}

void PortWindowGetRect(int* x, int* y, int* w, int* h) {
  *x = *y = *w = *h = 0;
  RECT r;
  if (!g.hwnd || !GetWindowRect(g.hwnd, &r)) return;
  *x = r.left;
  *y = r.top;
  *w = r.right - r.left;
  *h = r.bottom - r.top;
}

void PortWindowSetTopmost(bool on) {
  if (g.hwnd)
    SetWindowPos(g.hwnd, on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void PortWindowShowView(int sx, int sy) {
  int dx = g.viewX - sx, dy = g.viewY - sy;
  g.viewX = sx;
  g.viewY = sy;
  if (!g.hwnd) return;
  if (dx || dy)
    ScrollWindow(g.hwnd, dx, dy, nullptr, nullptr);  // the uncovered strip is repainted
  else
    InvalidateRect(g.hwnd, nullptr, FALSE);
  UpdateWindow(g.hwnd);
}

void PortWindowRepaint(int x, int y, int w, int h) {
  if (!g.hwnd || w <= 0 || h <= 0) return;
  RECT r;
  SetRect(&r, x, y, x + w, y + h);
  InvalidateRect(g.hwnd, &r, FALSE);
  UpdateWindow(g.hwnd);
}

void PortWindowSetScrollBar(int axis, bool shown, int range, int pos, int /*page*/) {
  if (!g.hwnd || (axis != kAxisX && axis != kAxisY)) return;
  int bar = axis == kAxisX ? SB_HORZ : SB_VERT;
  if (shown) {
    SetScrollRange(g.hwnd, bar, 0, range, FALSE);
    SetScrollPos(g.hwnd, bar, pos, TRUE);
  }
  // Showing or hiding a bar changes the client size at once (WM_SIZE), which
  // comes back here; the nesting is bounded.
  if (shown != g.barShown[axis] && g.barDepth < 4) {
    g.barShown[axis] = shown;
    g.barDepth++;
    ShowScrollBar(g.hwnd, bar, shown ? TRUE : FALSE);
    g.barDepth--;
  }
}

int PortWindowMakeCursors() {
  static const LPCSTR kSystem[8] = {IDC_ARROW, IDC_CROSS,    IDC_WAIT,   IDC_NO,
                                    IDC_SIZEALL, IDC_SIZENWSE, IDC_SIZENS, IDC_SIZEWE};
  for (int i = 0; i < 8; i++) {
    g.cursors[i] = LoadCursorA(nullptr, kSystem[i]);
    if (!g.cursors[i]) return -1;
  }
  // The open hand is made once and kept for the whole run.
  if (!g.cursors[kCursorHand]) {
    // 32 x 32, one bit a pixel: AND 1 XOR 0 transparent, AND 0 XOR 0 black,
    // AND 0 XOR 1 white.
    uint8_t andPlane[32 * 4], xorPlane[32 * 4];
    memset(andPlane, 0xFF, sizeof andPlane);
    memset(xorPlane, 0, sizeof xorPlane);
    for (int y = 0; y < 32; y++) {
      for (int x = 0; x < 32; x++) {
        char c = kHandCursor[y][x];
        uint8_t bit = (uint8_t)(0x80 >> (x & 7));
        if (c == 'X' || c == 'o') andPlane[y * 4 + x / 8] &= (uint8_t)~bit;
        if (c == 'o') xorPlane[y * 4 + x / 8] |= bit;
      }
    }
    g.cursors[kCursorHand] = CreateCursor(Instance(), kHandHotX, kHandHotY, 32, 32, andPlane, xorPlane);
    if (!g.cursors[kCursorHand]) return -2;
  }
  g.cursorsMade = true;
  return 0;
}

void PortWindowSetCursor(int index) {
  if (index < 0 || index >= kCursorCount) return;
  g.cursor = index;
  UpdateCursor();
}

// OEM text on the clipboard. Once SetClipboardData has taken the memory, it
// belongs to the system, which frees it when the clipboard is emptied; the
// program frees it only when handing it over failed.
int PortClipboardSetText(const char* text) {
  HWND owner = g.hwnd;
  if (!OpenClipboard(owner)) return -1;
  EmptyClipboard();
  CloseClipboard();
  Sleep(1);
  size_t len = strlen(text);
  HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, len + 1);
  if (!mem) return -1;
  void* p = GlobalLock(mem);
  if (!p) {
    GlobalFree(mem);
    return -1;
  }
  memcpy(p, text, len + 1);
  GlobalUnlock(mem);
  Sleep(1);
  if (!OpenClipboard(owner)) {
    GlobalFree(mem);
    return -1;
  }
  bool ok = SetClipboardData(CF_OEMTEXT, mem) != nullptr;
  CloseClipboard();
  if (!ok) {
    GlobalFree(mem);
    return -1;
  }
  return 0;
}
