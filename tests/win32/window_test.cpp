// The report window of the Win32 back end driven by real window messages, and
// the real open-file dialog. Needs a display (Xvfb under Wine).
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/paths.h"
#include "base/runenv.h"
#include "dialogs/openfile.h"
#include "display/canvas.h"
#include "display/window_logic.h"
#include "platform/port.h"
#include "platform/win32/win32_port.h"
#include "platform/window_port.h"
#include "tests/win32/win32_support.h"

namespace {

constexpr int kShift = 1, kCtrl = 2, kAlt = 4;

class Win32Window : public testing::Test {
 protected:
  void SetUp() override {
    WindowReset();
    ResetArgLists();
    ResetRunEnv();
    ASSERT_EQ(WindowCreate(512, 96, "Tarvel "), 0);
    hwnd = (HWND)Win32OwnerWindow();
    ASSERT_NE(hwnd, nullptr);
    ASSERT_EQ(WindowMakeCursors(), 0);
    Pump();
  }
  void TearDown() override {
    SetModifiers(0);
    WindowDestroy();
    Pump();
  }

  static void Pump() { PortPumpEvents(); }

  static void SetModifiers(int mods) {
    BYTE ks[256];
    GetKeyboardState(ks);
    ks[VK_SHIFT] = (mods & kShift) ? 0x80 : 0;
    ks[VK_CONTROL] = (mods & kCtrl) ? 0x80 : 0;
    ks[VK_MENU] = (mods & kAlt) ? 0x80 : 0;
    SetKeyboardState(ks);
  }

  // A key press as the keyboard sends it; the pump's TranslateMessage makes
  // the typed character from it. Returns the key slot's code.
  int Press(int vk, int mods = 0) {
    SetModifiers(mods);
    UINT scan = MapVirtualKeyA((UINT)vk, MAPVK_VK_TO_VSC);
    LPARAM lp = 1 | ((LPARAM)scan << 16) | ((mods & kAlt) ? (1 << 29) : 0);
    PostMessageA(hwnd, (mods & kAlt) ? WM_SYSKEYDOWN : WM_KEYDOWN, (WPARAM)vk, lp);
    Pump();
    SetModifiers(0);
    return WindowTakeKey();
  }

  void Mouse(UINT msg, WPARAM keys, int x, int y) {
    PostMessageA(hwnd, msg, keys, MAKELPARAM(x, y));
    Pump();
  }

  static std::string Clipboard() {
    std::string text;
    if (!OpenClipboard(nullptr)) return "(not opened)";
    if (HANDLE h = GetClipboardData(CF_OEMTEXT)) {
      if (const char* p = (const char*)GlobalLock(h)) {
        text = p;
        GlobalUnlock(h);
      }
    }
    CloseClipboard();
    return text;
  }

  // An HDROP as the shell makes it: UTF-16 names, each ended by a zero unit,
  // the list ended by one more.
  static HGLOBAL MakeDrop(const std::vector<std::u16string>& names) {
    size_t units = 1;
    for (const std::u16string& n : names) units += n.size() + 1;
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + units * 2);
    DROPFILES* df = (DROPFILES*)GlobalLock(mem);
    df->pFiles = sizeof(DROPFILES);
    df->pt.x = 5;
    df->pt.y = 6;
    df->fWide = TRUE;
    char16_t* p = (char16_t*)((char*)df + sizeof(DROPFILES));
    for (const std::u16string& n : names) {
      memcpy(p, n.c_str(), (n.size() + 1) * 2);
      p += n.size() + 1;
    }
    GlobalUnlock(mem);
    return mem;
  }

  HWND hwnd = nullptr;
};

// The title is UTF-8 and reaches the window whole through the UTF-16 call,
// whatever the ANSI code page can hold (1252 has no kana, 932 no é). The
// window's own text is read as stored (WM_GETTEXT would pass it through the
// narrow window procedure).
TEST_F(Win32Window, TitleIsShownInUtf16) {
  wchar_t text[128] = {0};
  InternalGetWindowText(hwnd, text, 128);
  EXPECT_EQ(std::wstring(text), L"Tarvel ");
  WindowSetTitle("Tarvel \xE2\x80\x94 \xE8\xB8\x8A\xE3\x82\x8A caf\xC3\xA9.vmd \xE2\x80\x94 \xE8\xA6\x81\xE4\xBF\xAE\xE6\xAD\xA3");
  InternalGetWindowText(hwnd, text, 128);
  EXPECT_EQ(std::wstring(text), L"Tarvel \u2014 \u8E0A\u308A caf\u00E9.vmd \u2014 \u8981\u4FEE\u6B63");
  // a byte that is not UTF-8 shows as U+FFFD, the rest as it is
  WindowSetTitle("Tarvel \xFF.vmd");
  InternalGetWindowText(hwnd, text, 128);
  EXPECT_EQ(std::wstring(text), L"Tarvel \uFFFD.vmd");
}

TEST_F(Win32Window, SystemMetricsAndAClientAreaOfTheCanvasSize) {
  PortWindowMetrics m;
  PortWindowGetMetrics(&m);
  EXPECT_TRUE(m.workW > 0 && m.workH > 0 && m.captionH > 0 && m.vbarW > 0 && m.hbarH > 0);
  RECT rc;
  ASSERT_TRUE(GetClientRect(hwnd, &rc));
  EXPECT_EQ(rc.right, 512);
  EXPECT_EQ(rc.bottom, 96);
  char cls[16];
  ASSERT_GT(GetClassNameA(hwnd, cls, sizeof cls), 0);
  EXPECT_STREQ(cls, "vovo");
  EXPECT_EQ(GetWindowLongA(hwnd, GWL_STYLE) & (0xCF0000 | WS_HSCROLL | WS_VSCROLL), 0xCF0000);
}

TEST_F(Win32Window, KeyPressesBecomeKeyCodes) {
  const int cases[][3] = {{'Q', 0, 'q'},          {'S', kShift, 'S'},         {VK_ESCAPE, 0, 27},
                          {'Q', kCtrl, 0x11},      {VK_SPACE, kCtrl, 0x320},   {'X', kAlt, 0x578},
                          {VK_UP, kShift, 0x226},  {VK_LEFT, kCtrl | kShift, 0x425},
                          {VK_NEXT, 0, 0x122},     {VK_F5, 0, 0}};
  for (const auto& c : cases) EXPECT_EQ(Press(c[0], c[1]), c[2]) << c[0] << " " << c[1];
}

TEST_F(Win32Window, LeftDragAndFrame) {
  Mouse(WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, 100, 90);
  EXPECT_EQ(WindowTakeKey(), 0x1200);
  EXPECT_TRUE(gWindow.leftHeld && WindowTakeLeftDown());
  EXPECT_EQ(gWindow.downY, 90);
  EXPECT_EQ(gWindow.cursor, kCursorHand);
  Mouse(WM_MOUSEMOVE, MK_LBUTTON, 60, 70);
  EXPECT_TRUE(WindowTakeLeftDrag());
  EXPECT_EQ(gWindow.dragX, 60);
  Mouse(WM_LBUTTONUP, 0, 60, 70);
  EXPECT_TRUE(!gWindow.leftHeld && WindowTakeLeftUp());
  EXPECT_EQ(gWindow.cursor, kCursorArrow);

  // over the frame a drag in progress ends
  Mouse(WM_LBUTTONDOWN, MK_LBUTTON, 10, 10);
  PostMessageA(hwnd, WM_NCMOUSEMOVE, HTCAPTION, MAKELPARAM(20, 2));
  Pump();
  EXPECT_FALSE(gWindow.leftHeld);
  EXPECT_EQ(gWindow.cursor, kCursorArrow);
}

TEST_F(Win32Window, RightClickCopiesOemText) {
  CanvasFill(0, 0, 512, 96, 0, 0, 0);
  CanvasFill(30, 40, 4, 4, 255, 120, 0);
  Mouse(WM_RBUTTONDOWN, MK_RBUTTON, 10, 20);
  EXPECT_EQ(WindowTakeKey(), 0x2000);
  EXPECT_EQ(Clipboard(), "10,20");
  Mouse(WM_RBUTTONDOWN, MK_RBUTTON | MK_CONTROL, 31, 41);
  EXPECT_EQ(Clipboard(), "255,120,0");
}

TEST_F(Win32Window, DroppedFilesQueueBehindTheFirst) {
  std::u16string longName(300, u'x');
  HGLOBAL drop = MakeDrop({u"C:\\m\\A.vmd", u"C:\\m\\" + longName, u"C:\\m\\B.vmd", u"C:\\m\\C.vmd"});
  PostMessageA(hwnd, WM_DROPFILES, (WPARAM)drop, 0);
  Pump();
  EXPECT_TRUE(gWindow.dropFlag);
  EXPECT_EQ(std::u16string(gWindow.droppedW), u"C:\\m\\A.vmd");
  EXPECT_STREQ(gWindow.droppedA, "C:\\m\\A.vmd");
  // the overlong name is left out; B and C are queued at once, in both lists
  ASSERT_EQ(gArgsW.count, 2);
  ASSERT_EQ(gArgsA.count, 2);
  EXPECT_EQ(std::u16string(uniargat(&gArgsW, 0)), u"C:\\m\\B.vmd");
  EXPECT_EQ(std::u16string(uniargat(&gArgsW, 1)), u"C:\\m\\C.vmd");
  EXPECT_STREQ(argat(&gArgsA, 1), "C:\\m\\C.vmd");
}

TEST_F(Win32Window, DrawingShowsAtOnceAndTheCloseBoxOnlyRequests) {
  CanvasFill(0, 0, 512, 96, 0, 0, 0);
  CanvasFill(5, 6, 10, 10, 0x12, 0x34, 0x56);
  HDC dc = GetDC(hwnd);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(GetPixel(dc, 7, 8), RGB(0x12, 0x34, 0x56));
  EXPECT_EQ(GetPixel(dc, 20, 8), RGB(0, 0, 0));
  ReleaseDC(hwnd, dc);

  PostMessageA(hwnd, WM_CLOSE, 0, 0);
  Pump();
  EXPECT_TRUE(gWindow.closeRequested);
  EXPECT_TRUE(IsWindow(hwnd));
  WindowDestroy();
  EXPECT_FALSE(IsWindow(hwnd));
  WNDCLASSA wc;
  EXPECT_FALSE(GetClassInfoA(GetModuleHandleA(nullptr), "vovo", &wc));  // unregistered
}

// A tall canvas: the window opens clipped to the work area with no bar;
// after a drag of the bottom border the vertical bar is shown and steps.
TEST_F(Win32Window, ScrollBarsAfterABorderDrag) {
  WindowDestroy();
  WindowReset();
  ASSERT_EQ(WindowCreate(1032, 8704, "Tarvel "), 0);
  hwnd = (HWND)Win32OwnerWindow();
  Pump();
  PortWindowMetrics m;
  PortWindowGetMetrics(&m);
  RECT wr;
  ASSERT_TRUE(GetWindowRect(hwnd, &wr));
  EXPECT_EQ(wr.bottom - wr.top, m.workH);
  EXPECT_EQ(GetWindowLongA(hwnd, GWL_STYLE) & WS_VSCROLL, 0);

  RECT drag = wr;
  drag.bottom -= 100;
  SendMessageA(hwnd, WM_SIZING, WMSZ_BOTTOM, (LPARAM)&drag);
  SetWindowPos(hwnd, nullptr, 0, 0, wr.right - wr.left, wr.bottom - wr.top - 100,
               SWP_NOMOVE | SWP_NOZORDER);
  Pump();
  RECT rc;
  GetClientRect(hwnd, &rc);
  EXPECT_TRUE(gWindow.enabled[kAxisY]);
  EXPECT_EQ(gWindow.range[kAxisY], 8704 - rc.bottom);
  EXPECT_NE(GetWindowLongA(hwnd, GWL_STYLE) & WS_VSCROLL, 0);
  int lo = -1, hi = -1;
  GetScrollRange(hwnd, SB_VERT, &lo, &hi);
  EXPECT_EQ(hi - lo, gWindow.range[kAxisY]);

  SendMessageA(hwnd, WM_VSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(gWindow.pos[kAxisY], 2);
  SendMessageA(hwnd, WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), 0);
  EXPECT_EQ(gWindow.pos[kAxisY], 122);
  SendMessageA(hwnd, WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 900), 0);
  EXPECT_EQ(gWindow.pos[kAxisY], 122);  // nothing until the thumb is let go
  SendMessageA(hwnd, WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 900), 0);
  EXPECT_EQ(gWindow.pos[kAxisY], 900);
  EXPECT_EQ(GetScrollPos(hwnd, SB_VERT), 900);

  // what the view shows follows the position
  int top = gWindow.pos[kAxisY];
  CanvasFill(0, top + 3, 1032, 2, 0, 200, 0);
  HDC dc = GetDC(hwnd);
  EXPECT_EQ(GetPixel(dc, 40, 3), RGB(0, 200, 0));
  EXPECT_EQ(GetPixel(dc, 40, 6), RGB(0, 0, 0));
  ReleaseDC(hwnd, dc);

  // letting go of the border snaps the width to the canvas plus the bar
  SendMessageA(hwnd, WM_EXITSIZEMOVE, 0, 0);
  Pump();
  ASSERT_TRUE(GetWindowRect(hwnd, &wr));
  EXPECT_EQ(wr.right - wr.left, gWindow.fullPlusBarW);
  GetClientRect(hwnd, &rc);
  EXPECT_EQ(rc.right, 1032);
}

// The motion dialog, answered by a timer that finds it by its title.
std::u16string gDialogAnswer;
bool gDialogSeen = false;

void CALLBACK AnswerDialog(HWND, UINT, UINT_PTR id, DWORD) {
  HWND dlg = FindWindowA("#32770", "Open MMD Motion File");
  if (!dlg) return;
  KillTimer(nullptr, id);
  gDialogSeen = true;
  if (gDialogAnswer.empty()) {
    PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
    return;
  }
  const wchar_t* text = reinterpret_cast<const wchar_t*>(gDialogAnswer.c_str());
  SetDlgItemTextW(dlg, 0x47C, text);  // cmb13: the name box of the Explorer-style dialog
  SetDlgItemTextW(dlg, 0x480, text);  // edt1: the older one
  PostMessageA(dlg, WM_COMMAND, IDOK, 0);
}

TEST(Win32Dialog, MotionDialogCancelledAndChosen) {
  WideTempDir dir;
  ASSERT_TRUE(dir.Ok());
  ASSERT_TRUE(dir.Write(u"walk.vmd", "Vocaloid Motion Data 0002"));
  const std::u16string initial = dir.Root() + u"\\", walk = dir.Path(u"walk.vmd");
  // the timer is stopped afterwards in any case: a dialog that never showed
  // leaves it running
  auto answered = [](const std::u16string& answer, auto open) {
    gDialogAnswer = answer;
    gDialogSeen = false;
    UINT_PTR t = SetTimer(nullptr, 0, 100, AnswerDialog);
    int r = open();
    KillTimer(nullptr, t);
    EXPECT_TRUE(gDialogSeen);
    return r;
  };
  char16_t chosen[kPathMax];
  auto openW = [&] { return openfiledlgW(chosen, kPathMax, 4, initial.c_str()); };
  EXPECT_EQ(answered(u"", openW), -1);
  ASSERT_EQ(answered(walk, openW), 0);
  EXPECT_EQ(std::u16string(chosen), walk);
  char chosenA[kPathMax];
  ASSERT_EQ(answered(walk, [&] { return openfiledlg(chosenA, kPathMax, 4, ToAnsi(initial).c_str()); }), 0);
  EXPECT_EQ(std::string(chosenA), ToAnsi(walk));
}

}  // namespace
