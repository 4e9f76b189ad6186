#include "platform/win32/win32_console.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>

// The code page to restore, 0 when nothing was switched. Written before the
// control handler is installed, read by it on its own thread.
static volatile UINT gSavedOutputCp = 0;

void Win32Utf8OutputEnd() {
  UINT cp = gSavedOutputCp;
  gSavedOutputCp = 0;
  if (cp) {
    fflush(stdout);
    SetConsoleOutputCP(cp);
  }
}

static BOOL WINAPI OnConsoleBreak(DWORD) {
  Win32Utf8OutputEnd();
  return FALSE;  // the default handler ends the process
}

static bool IsConsole(HANDLE h) {
  DWORD mode;
  return h != INVALID_HANDLE_VALUE && h != nullptr && GetFileType(h) == FILE_TYPE_CHAR &&
         GetConsoleMode(h, &mode);
}

bool Win32Utf8OutputBegin() {
  fflush(stdout);
  _setmode(_fileno(stdout), _O_BINARY);
  if (!IsConsole(GetStdHandle(STD_OUTPUT_HANDLE))) return false;
  UINT cp = GetConsoleOutputCP();
  if (cp == 0 || cp == CP_UTF8) return true;
  if (!SetConsoleOutputCP(CP_UTF8)) return true;
  gSavedOutputCp = cp;
  SetConsoleCtrlHandler(OnConsoleBreak, TRUE);
  atexit(Win32Utf8OutputEnd);
  return true;
}
