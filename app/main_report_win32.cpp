// tarvel-report FILE... on Windows. The file names come from the UTF-16
// command line, so that a name the ANSI code page cannot hold is still found;
// the narrow form of the same argument goes along for the narrow read. The
// output is UTF-8 throughout (platform/win32/win32_console.h).
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>

#include "app/report_tool.h"
#include "base/encoding.h"
#include "base/paths.h"
#include "base/runenv.h"
#include "platform/headless/headless.h"
#include "platform/posix/posix_port.h"
#include "platform/win32/win32_console.h"

static const char kUsage[] = "usage: tarvel-report FILE...  (prints the report of each VMD motion)\n";

static bool Same(const char16_t* a, const char16_t* b) {
  while (*a && *a == *b) a++, b++;
  return *a == *b;
}

int main() {
  ResetArgLists();
  unisplitcmdline(&gArgsW, reinterpret_cast<const char16_t*>(GetCommandLineW()));
  splitcmdline(&gArgsA, GetCommandLineA());
  if (gArgsW.count < 2) {
    fputs(kUsage, stderr);
    return 2;
  }
  for (int i = 1; i < gArgsW.count; i++) {
    if (Same(uniargat(&gArgsW, i), u"-h") || Same(uniargat(&gArgsW, i), u"--help")) {
      fputs(kUsage, stdout);
      return 0;
    }
  }
  HeadlessReset();
  gHeadless.codePage = PosixCodePage();
  gHeadless.langId = PosixLangId();
  char exe[kPathMax * 2];
  PosixExePath(exe, sizeof exe, argat(&gArgsA, 0));
  wchar_t exeW[kPathMax];
  DWORD n = GetModuleFileNameW(nullptr, exeW, kPathMax);
  ReportToolStart(exe, n > 0 && n < kPathMax ? reinterpret_cast<const char16_t*>(exeW) : nullptr);
  FILE* out = Win32Utf8OutputBegin();
  int status = 0;
  for (int i = 1; i < gArgsW.count; i++) {
    const char16_t* wide = uniargat(&gArgsW, i);
    // A name longer than a path buffer is refused, never cut to another name.
    if (unilen(wide) >= kPathMax) {
      fprintf(stderr, "tarvel-report: argument %d is longer than %d characters\n", i, kPathMax - 1);
      status |= 1;
      continue;
    }
    status |= ReportToolFile(argat(&gArgsA, i), out, wide);
    Win32Utf8OutputFlush(out);
  }
  Win32Utf8OutputEnd(out);
  return status;
}
