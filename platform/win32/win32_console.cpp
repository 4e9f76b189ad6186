#include "platform/win32/win32_console.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstring>

static FILE* gHeld = nullptr;      // the temporary file, when stdout is a console
static HANDLE gConsole = nullptr;

static bool IsConsole(HANDLE h) {
  DWORD mode;
  return h != INVALID_HANDLE_VALUE && h != nullptr && GetFileType(h) == FILE_TYPE_CHAR &&
         GetConsoleMode(h, &mode);
}

FILE* Win32Utf8OutputBegin() {
  fflush(stdout);
  _setmode(_fileno(stdout), _O_BINARY);
  HANDLE h = GetStdHandle(STD_OUTPUT_HANDLE);
  if (!IsConsole(h)) return stdout;
  wchar_t dir[MAX_PATH], name[MAX_PATH];
  DWORD n = GetTempPathW(MAX_PATH, dir);
  if (n == 0 || n >= MAX_PATH || !GetTempFileNameW(dir, L"trv", 0, name)) return stdout;
  // T: kept in memory where the system can; D: deleted when closed
  gHeld = _wfopen(name, L"w+bTD");
  if (!gHeld) {
    DeleteFileW(name);
    return stdout;  // the console shows what its code page makes of UTF-8
  }
  gConsole = h;
  return gHeld;
}

int Utf8WholeLength(const char* s, int n) {
  // Look back over at most three continuation bytes for the lead byte.
  int i = n;
  while (i > 0 && n - i < 3 && ((unsigned char)s[i - 1] & 0xC0) == 0x80) i--;
  if (i == 0) return n;
  unsigned char lead = (unsigned char)s[i - 1];
  int need = 1;
  if (lead >= 0xC2 && lead <= 0xDF) need = 2;
  else if (lead >= 0xE0 && lead <= 0xEF) need = 3;
  else if (lead >= 0xF0 && lead <= 0xF4) need = 4;
  return need > 1 && n - (i - 1) < need ? i - 1 : n;
}

static void Show(const char* bytes, int n) {
  static wchar_t wide[4096];
  int units = n > 0 ? MultiByteToWideChar(CP_UTF8, 0, bytes, n, wide, 4096) : 0;
  DWORD put = 0;
  if (units > 0) WriteConsoleW(gConsole, wide, (DWORD)units, &put, nullptr);
}

void Win32Utf8OutputEnd(FILE* out) {
  fflush(out);
  if (!out || out != gHeld) return;
  rewind(gHeld);
  // 4096 bytes of UTF-8 give at most 4096 UTF-16 units.
  static char buf[4096];
  int keep = 0;
  size_t got;
  while ((got = fread(buf + keep, 1, sizeof buf - (size_t)keep, gHeld)) > 0) {
    int n = keep + (int)got;
    int whole = Utf8WholeLength(buf, n);
    Show(buf, whole);
    keep = n - whole;
    memmove(buf, buf + whole, (size_t)keep);
  }
  Show(buf, keep);  // a cut sequence at the very end shows as U+FFFD
  fclose(gHeld);
  gHeld = nullptr;
  gConsole = nullptr;
}

const char* Win32SameNameOrEmpty(const char* narrow, const char16_t* wide) {
  static wchar_t back[32768];  // a command line holds at most 32767 units
  int n = MultiByteToWideChar(CP_ACP, 0, narrow, -1, back, 32768);
  if (n <= 0) return "";
  const char16_t* b = reinterpret_cast<const char16_t*>(back);
  while (*b && *b == *wide) b++, wide++;
  return *b == *wide ? narrow : "";
}
