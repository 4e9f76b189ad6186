// Win32 back end of the folder walk: kinds of paths and folder listings
// (narrow paths, in the ANSI code page).
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstring>
#include <string>

#include "platform/port.h"

static int KindOf(DWORD attributes) {
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? kPathOther : kPathFile;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return kPathFolder;
  if (attributes & FILE_ATTRIBUTE_DEVICE) return kPathOther;
  return kPathFile;
}

int PortPathKindA(const char* path) {
  if (!path || !path[0]) return kPathNone;
  DWORD a = GetFileAttributesA(path);
  if (a == INVALID_FILE_ATTRIBUTES) return kPathNone;
  if (a & FILE_ATTRIBUTE_DIRECTORY) return kPathFolder;
  return KindOf(a);
}

int PortListFolderA(const char* path, PortFolderEntry fn, void* ctx) {
  std::string pattern = path;
  if (pattern.empty() || (pattern.back() != '\\' && pattern.back() != '/')) pattern += '\\';
  pattern += '*';
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA(pattern.c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) {
    DWORD e = GetLastError();
    return e == ERROR_FILE_NOT_FOUND ? 0 : (e ? (int)e : 1);
  }
  do {
    if (!strcmp(found.cFileName, ".") || !strcmp(found.cFileName, "..")) continue;
    fn(ctx, found.cFileName, KindOf(found.dwFileAttributes));
  } while (FindNextFileA(h, &found));
  FindClose(h);
  return 0;
}
