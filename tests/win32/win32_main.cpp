// Entry of the Windows-only tests. Started with TARVEL_SPLIT_OUT set in its
// environment, the program is the child of a command-line test instead: it
// splits its own command line (GetCommandLineW / GetCommandLineA) and writes
// both argument lists to that file.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "base/paths.h"
#include "tests/win32/win32_support.h"

static int RunSplitChild(const wchar_t* outPath) {
  ResetArgLists();
  unisplitcmd();
  splitcmd();
  FILE* f = _wfopen(outPath, L"wb");
  if (!f) return 3;
  fprintf(f, "%d\n", gArgsW.count);
  for (int i = 0; i < gArgsW.count; i++) {
    for (const char16_t* p = uniargat(&gArgsW, i); *p; p++) fprintf(f, "%04x", (unsigned)*p);
    fprintf(f, "\n");
  }
  fprintf(f, "%d\n", gArgsA.count);
  for (int i = 0; i < gArgsA.count; i++) {
    for (const char* p = argat(&gArgsA, i); *p; p++) fprintf(f, "%02x", (unsigned)(unsigned char)*p);
    fprintf(f, "\n");
  }
  return fclose(f) == 0 ? 0 : 3;
}

int main(int argc, char** argv) {
  wchar_t out[1024];
  DWORD n = GetEnvironmentVariableW(kSplitOutVar, out, 1024);
  if (n > 0 && n < 1024) return RunSplitChild(out);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
