// Win32 back end of the file, directory and locale operations, shared by the
// window program, the headless double (tests) and the null back end (the
// report tool).
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>

#include "platform/posix/posix_port.h"
#include "platform/win32/win32_port.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wchar_t");

static const wchar_t* W(const char16_t* s) { return reinterpret_cast<const wchar_t*>(s); }

// ---- files -------------------------------------------------------------------

static int LastError() {
  DWORD e = GetLastError();
  return e ? (int)e : 1;
}

// A handle kept for reading or writing is a file on disk: a pipe, a console
// or another device (CON, NUL, COM1, \\.\pipe\...) and a folder are refused.
static bool RegularFile(HANDLE h) {
  if (GetFileType(h) != FILE_TYPE_DISK) return false;
  BY_HANDLE_FILE_INFORMATION fi;
  return GetFileInformationByHandle(h, &fi) && !(fi.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Opens an existing regular file for reading; INVALID_HANDLE_VALUE and *err.
template <typename Ch, typename Open>
static HANDLE OpenRegular(const Ch* path, DWORD share, Open open, int* err) {
  HANDLE h = open(path, GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    *err = LastError();
    return h;
  }
  if (!RegularFile(h)) {
    CloseHandle(h);
    *err = ERROR_ACCESS_DENIED;
    return INVALID_HANDLE_VALUE;
  }
  return h;
}

// Creates a new file: CREATE_NEW refuses any existing name (80, file exists),
// and a reparse point (a link) is never followed.
template <typename Ch, typename Open>
static HANDLE CreateNew(const Ch* path, DWORD share, Open open, int* err) {
  HANDLE h = open(path, GENERIC_WRITE, share, nullptr, CREATE_NEW,
                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    *err = LastError();
    return h;
  }
  if (!RegularFile(h)) {  // a device name: CREATE_NEW does not apply to it
    CloseHandle(h);
    *err = ERROR_ACCESS_DENIED;
    return INVALID_HANDLE_VALUE;
  }
  return h;
}

int PortOpenReadW(const char16_t* path, PortHandle* out) {
  *out = kPortNoHandle;
  // for reading, no sharing, an existing file only, normal attributes
  int err = 0;
  HANDLE h = OpenRegular(W(path), 0, CreateFileW, &err);
  if (h == INVALID_HANDLE_VALUE) return err;
  *out = (PortHandle)h;
  return 0;
}

int PortCreateNewW(const char16_t* path, PortHandle* out) {
  *out = kPortNoHandle;
  int err = 0;
  HANDLE h = CreateNew(W(path), 0, CreateFileW, &err);
  if (h == INVALID_HANDLE_VALUE) return err;
  *out = (PortHandle)h;
  return 0;
}

// A C stream on the handle (which it then owns); null on failure.
static FILE* StreamOf(HANDLE h, int flags, const char* mode) {
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  int fd = _open_osfhandle((intptr_t)h, flags);
  if (fd < 0) {
    CloseHandle(h);
    return nullptr;
  }
  FILE* f = _fdopen(fd, mode);
  if (!f) _close(fd);
  return f;
}

// The narrow opens share as the C library's fopen does.
FILE* PortOpenStreamA(const char* path) {
  int err = 0;
  if (!path) return nullptr;
  return StreamOf(OpenRegular(path, FILE_SHARE_READ | FILE_SHARE_WRITE, CreateFileA, &err),
                  _O_RDONLY | _O_BINARY, "rb");
}

FILE* PortCreateStreamA(const char* path) {
  int err = 0;
  if (!path) return nullptr;
  return StreamOf(CreateNew(path, FILE_SHARE_READ | FILE_SHARE_WRITE, CreateFileA, &err),
                  _O_WRONLY | _O_BINARY, "wb");
}

// The attributes of the name itself (a link is not followed).
bool PortNameExistsA(const char* path) {
  return path && path[0] && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}
bool PortNameExistsW(const char16_t* path) {
  return path && path[0] && GetFileAttributesW(W(path)) != INVALID_FILE_ATTRIBUTES;
}

int PortRead(PortHandle h, void* buf, int n) {
  if (n <= 0) return 0;
  DWORD got = 0;
  if (!ReadFile((HANDLE)h, buf, (DWORD)n, &got, nullptr)) return -1;
  return (int)got;
}

int PortWrite(PortHandle h, const void* buf, int n) {
  const char* p = (const char*)buf;
  int done = 0;
  while (done < n) {
    DWORD put = 0;
    if (!WriteFile((HANDLE)h, p + done, (DWORD)(n - done), &put, nullptr) || put == 0) return -1;
    done += (int)put;
  }
  return done;
}

int PortSeek(PortHandle h, int64_t offset, int origin, int64_t* newpos) {
  DWORD method = origin == 0 ? FILE_BEGIN : origin == 1 ? FILE_CURRENT : origin == 2 ? FILE_END : 99;
  if (method == 99) return -1;
  LONG high = (LONG)(offset >> 32);
  SetLastError(NO_ERROR);
  DWORD low = SetFilePointer((HANDLE)h, (LONG)(offset & 0xFFFFFFFF), &high, method);
  if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return -1;
  if (newpos) *newpos = ((int64_t)high << 32) | low;
  return 0;
}

void PortCloseFile(PortHandle h) {
  if (h != kPortNoHandle) CloseHandle((HANDLE)h);
}

int PortRemoveA(const char* path) { return DeleteFileA(path) ? 0 : -1; }
int PortRemoveW(const char16_t* path) { return DeleteFileW(W(path)) ? 0 : -1; }

// MoveFileEx without MOVEFILE_REPLACE_EXISTING never replaces a name; the
// name taken is 183 (already exists) there, 80 as for a create.
static int Moved(BOOL ok) {
  if (ok) return 0;
  const int e = LastError();
  return e == ERROR_ALREADY_EXISTS ? ERROR_FILE_EXISTS : e;
}
int PortRenameNewA(const char* from, const char* to) { return Moved(MoveFileExA(from, to, 0)); }
int PortRenameNewW(const char16_t* from, const char16_t* to) { return Moved(MoveFileExW(W(from), W(to), 0)); }

// ---- directories ---------------------------------------------------------------

int PortFindFirstTwoW(const char16_t* path, char16_t names[2][260], bool isdir[2]) {
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(W(path), &fd);
  if (h == INVALID_HANDLE_VALUE) return 0;
  int n = 0;
  do {
    static_assert(sizeof fd.cFileName / sizeof fd.cFileName[0] == 260, "MAX_PATH names");
    memcpy(names[n], fd.cFileName, sizeof fd.cFileName);
    names[n][259] = 0;
    isdir[n] = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    n++;
  } while (n < 2 && FindNextFileW(h, &fd));
  FindClose(h);
  return n;
}

int PortFindFirstTwoA(const char* path, char names[2][260], bool isdir[2]) {
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA(path, &fd);
  if (h == INVALID_HANDLE_VALUE) return 0;
  int n = 0;
  do {
    static_assert(sizeof fd.cFileName == 260, "MAX_PATH names");
    memcpy(names[n], fd.cFileName, sizeof fd.cFileName);
    names[n][259] = 0;
    isdir[n] = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    n++;
  } while (n < 2 && FindNextFileA(h, &fd));
  FindClose(h);
  return n;
}

// The current directory without a trailing backslash (a drive root "C:\"
// becomes "C:", so that the caller's separator gives it back).
template <typename Ch>
static int TrimCurrentDir(Ch* dst, DWORD len, int cap) {
  if (len == 0 || (int)len >= cap) {
    if (cap > 0) dst[0] = 0;
    return -1;
  }
  if (len > 1 && dst[len - 1] == '\\') dst[len - 1] = 0;
  return 0;
}

int PortCurrentDirW(char16_t* dst, int cap) {
  if (cap < 1) return -1;
  DWORD len = GetCurrentDirectoryW((DWORD)cap, reinterpret_cast<wchar_t*>(dst));
  return TrimCurrentDir(dst, len, cap);
}

int PortCurrentDirA(char* dst, int cap) {
  if (cap < 1) return -1;
  DWORD len = GetCurrentDirectoryA((DWORD)cap, dst);
  // a backslash that is the trail byte of a double-byte character stays
  if (len > 1 && len < (DWORD)cap && dst[len - 1] == '\\') {
    DWORD i = 0;
    while (i + 1 < len) i += IsDBCSLeadByte((BYTE)dst[i]) ? 2 : 1;
    if (i != len - 1) return 0;
  }
  return TrimCurrentDir(dst, len, cap);
}

char PortDirSeparator() { return '\\'; }

// ---- the helpers of platform/posix/posix_port.h, with Windows answers ------------

uint32_t PosixCodePage() { return GetACP(); }
uint16_t PosixLangId() { return GetUserDefaultLangID(); }
bool PosixIsDbcsLeadByte(unsigned char b) { return IsDBCSLeadByte(b) != 0; }
const char* PosixOsName() { return "Windows"; }

void PosixExePath(char* dst, int cap, const char* argv0) {
  if (cap < 1) return;
  DWORD n = GetModuleFileNameA(nullptr, dst, (DWORD)cap);
  if (n > 0 && n < (DWORD)cap) return;
  snprintf(dst, (size_t)cap, "%s", argv0 ? argv0 : "");
}
