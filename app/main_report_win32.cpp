// tarvel-report [options] FILE|FOLDER... on Windows. The arguments come from
// the UTF-16 command line, so that a name the ANSI code page cannot hold is
// still found; the narrow form of each goes along for the narrow read. The
// output is UTF-8 throughout (platform/win32/win32_console.h).
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>

#include "app/report_tool.h"
#include "base/paths.h"
#include "base/runenv.h"
#include "platform/null/null_port.h"
#include "platform/posix/posix_port.h"
#include "platform/win32/win32_console.h"

int main() {
  // Both lists come from the same line, entry for entry.
  ResetArgLists();
  unisplitcmdline(&gArgsW, reinterpret_cast<const char16_t*>(GetCommandLineW()));
  splitcmdline(&gArgsA, GetCommandLineA());
  static const char* argv[kArgMax];
  static const char16_t* wargv[kArgMax];
  const int argc = gArgsW.count;
  for (int i = 0; i < argc; i++) {
    wargv[i] = uniargat(&gArgsW, i);
    argv[i] = Win32SameNameOrEmpty(argat(&gArgsA, i), wargv[i]);  // "" past the narrow list's end
  }

  NullPortStart(PosixCodePage(), PosixLangId());
  char exe[kPathMax * 2];
  PosixExePath(exe, sizeof exe, argv[0]);
  wchar_t exeW[kPathMax];
  DWORD n = GetModuleFileNameW(nullptr, exeW, kPathMax);
  ReportToolStart(exe, n > 0 && n < kPathMax ? reinterpret_cast<const char16_t*>(exeW) : nullptr);

  FILE* out = Win32Utf8OutputBegin();
  const int status = ReportToolRun(argc, argv, wargv, out, stderr);
  Win32Utf8OutputEnd(out);
  return status;
}
