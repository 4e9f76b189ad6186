// tarvel-fix on Windows. The arguments come from the UTF-16 command line, as
// for the report tool; the output is UTF-8 throughout (win32_console.h).
// Started on its own console (a motion dropped on it in Explorer), it waits
// for Enter before that console closes, so that what it said can be read.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>

#include "app/fix_tool.h"
#include "app/report_tool.h"
#include "base/paths.h"
#include "base/runenv.h"
#include "platform/null/null_port.h"
#include "platform/posix/posix_port.h"
#include "platform/win32/win32_console.h"

// True when no other process shares the console: Explorer made it for us.
static bool OwnConsole() {
  DWORD ids[2];
  return GetConsoleProcessList(ids, 2) == 1;
}

static void WaitForEnter() {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  static const wchar_t kPrompt[] = L"\r\nEnter \x3067\x9589\x3058\x307E\x3059 / Press Enter to close.";
  DWORD put = 0;
  WriteConsoleW(out, kPrompt, DWORD(sizeof kPrompt / sizeof kPrompt[0] - 1), &put, nullptr);
  FlushConsoleInputBuffer(in);
  wchar_t c[8];
  DWORD got = 0;
  ReadConsoleW(in, c, 8, &got, nullptr);
}

int main() {
  const bool own = OwnConsole();
  ResetArgLists();
  unisplitcmdline(&gArgsW, reinterpret_cast<const char16_t*>(GetCommandLineW()));
  splitcmdline(&gArgsA, GetCommandLineA());
  static const char* argv[kArgMax];
  static const char16_t* wargv[kArgMax];
  const int argc = gArgsW.count;
  for (int i = 0; i < argc; i++) {
    wargv[i] = uniargat(&gArgsW, i);
    argv[i] = Win32SameNameOrEmpty(argat(&gArgsA, i), wargv[i]);
  }

  NullPortStart(PosixCodePage(), PosixLangId());
  char exe[kPathMax * 2];
  PosixExePath(exe, sizeof exe, argv[0]);
  wchar_t exeW[kPathMax];
  DWORD n = GetModuleFileNameW(nullptr, exeW, kPathMax);
  ReportToolStart(exe, n > 0 && n < kPathMax ? reinterpret_cast<const char16_t*>(exeW) : nullptr);

  FILE* out = Win32Utf8OutputBegin();
  const int status = FixToolRun(argc, argv, wargv, out, stderr);
  Win32Utf8OutputEnd(out);
  if (own) WaitForEnter();
  return status;
}
