// The fallback verdict box on the real system. A CBT hook reads the box's
// text back as UTF-16 and closes it: whatever the ANSI code page, the user
// reads the verdict itself (in code page 1252 the Shift-JIS bytes handed to
// MessageBoxA would show as Latin letters).
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "analysis/file_report.h"
#include "analysis/verdict.h"
#include "base/encoding.h"
#include "base/paths.h"
#include "base/runenv.h"
#include "display/report_loop.h"
#include "display/text.h"
#include "display/window_logic.h"
#include "names/nametable.h"
#include "names/vocabulary.h"
#include "tests/win32/win32_support.h"
#include "vmd/vmdread.h"

namespace {

HHOOK gHook = nullptr;
std::u16string gShown;
int gBoxes = 0;

// Message boxes are dialogs whose text is the static control 0xFFFF.
LRESULT CALLBACK OnCbt(int code, WPARAM w, LPARAM l) {
  if (code == HCBT_ACTIVATE) {
    HWND box = (HWND)w;
    char cls[16] = "";
    GetClassNameA(box, cls, sizeof cls);
    if (!strcmp(cls, "#32770")) {
      wchar_t text[4096] = L"";
      GetWindowTextW(GetDlgItem(box, 0xFFFF), text, 4096);
      gShown = reinterpret_cast<const char16_t*>(text);
      gBoxes++;
      PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
  }
  return CallNextHookEx(gHook, code, w, l);
}

TEST(Win32VerdictBox, TheUserReadsTheVerdictInEveryCodePage) {
  WideTempDir dir;  // the "executable's" folder, without the font
  ASSERT_TRUE(dir.Ok());
  WindowReset();
  TextReset();
  ResetRunEnv();
  ResetArgLists();
  unicpy(gRun.exeDirW, kPathMax, (dir.Root() + u"\\").c_str());
  unitonarrow(gRun.exeDirA, kPathMax, gRun.exeDirW);
  for (const char* a : {"tarvel.exe", "walk.vmd"}) {
    addarg(&gArgsA, a);
    char16_t w[16];
    narrowtouni(w, 16, a);
    uniaddarg(&gArgsW, w);
  }
  // The verdict of an empty motion: Japanese text all the same.
  ResetNameTables();
  RegisterBuiltinNames();
  ResetTracks();
  buildreport();
  buildverdict();
  gFileReport.read = true;
  ASSERT_NE(std::u16string(gFileReport.boxtextw).find(u"使用可能"), std::u16string::npos);

  gHook = SetWindowsHookExW(WH_CBT, OnCbt, nullptr, GetCurrentThreadId());
  ASSERT_NE(gHook, nullptr);
  int outcome = RunReportWindow();
  UnhookWindowsHookEx(gHook);
  CloseReportWindow();
  WindowReset();

  EXPECT_EQ(outcome, kOutcomeNoFont);
  EXPECT_EQ(gBoxes, 1);
  EXPECT_EQ(gShown, std::u16string(gFileReport.boxtextw)) << "ANSI code page " << GetACP();
}

}  // namespace
