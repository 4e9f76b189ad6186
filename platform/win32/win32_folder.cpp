// Win32 back end of the folder walk: kinds of paths and folder listings, by
// narrow paths (in the ANSI code page) and by UTF-16 paths (the names as the
// system holds them).
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

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

static const wchar_t* W(const char16_t* s) { return reinterpret_cast<const wchar_t*>(s); }

int PortPathKindW(const char16_t* path) {
  if (!path || !path[0]) return kPathNone;
  DWORD a = GetFileAttributesW(W(path));
  if (a == INVALID_FILE_ATTRIBUTES) return kPathNone;
  if (a & FILE_ATTRIBUTE_DIRECTORY) return kPathFolder;
  return KindOf(a);
}

int PortListFolderW(const char16_t* path, PortFolderEntryW fn, void* ctx) {
  std::wstring pattern = W(path);
  if (pattern.empty() || (pattern.back() != L'\\' && pattern.back() != L'/')) pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW found;
  HANDLE h = FindFirstFileW(pattern.c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) {
    DWORD e = GetLastError();
    return e == ERROR_FILE_NOT_FOUND ? 0 : (e ? (int)e : 1);
  }
  do {
    if (!wcscmp(found.cFileName, L".") || !wcscmp(found.cFileName, L"..")) continue;
    fn(ctx, reinterpret_cast<const char16_t*>(found.cFileName), KindOf(found.dwFileAttributes));
  } while (FindNextFileW(h, &found));
  FindClose(h);
  return 0;
}

// The ANSI form, converted back, must be the name itself: the system's
// best fit ("a" for "ａ") and its '?' name other files or none.
bool PortSameNarrowName(char* dst, int cap, const char16_t* name) {
  if (cap < 1) return false;
  dst[0] = 0;
  int n = WideCharToMultiByte(CP_ACP, 0, W(name), -1, dst, cap, nullptr, nullptr);
  if (n <= 0) {
    dst[0] = 0;
    return false;
  }
  std::vector<wchar_t> back(wcslen(W(name)) + 2);
  int m = MultiByteToWideChar(CP_ACP, 0, dst, -1, back.data(), (int)back.size());
  if (m <= 0 || wcscmp(back.data(), W(name)) != 0) {
    dst[0] = 0;
    return false;
  }
  return true;
}
