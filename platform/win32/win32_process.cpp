// Win32 back end of the process, environment, message box, open-file dialog
// and message pump operations of the window program.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <cderr.h>
#include <commdlg.h>

#include <cstdlib>
#include <cstring>

#include "platform/win32/win32_port.h"

// ---- process -----------------------------------------------------------------

void PortSleep(int ms) { Sleep(ms > 0 ? (DWORD)ms : 0); }

const char16_t* PortCommandLineW() { return reinterpret_cast<const char16_t*>(GetCommandLineW()); }
const char* PortCommandLineA() { return GetCommandLineA(); }

// Only used where the platform hands an argv array; here the command lines
// above are split instead. The C runtime's own split, for completeness.
int PortArgc() { return __argc; }
const char* PortArgv(int i) { return (i >= 0 && i < __argc && __argv && __argv[i]) ? __argv[i] : ""; }

// ---- environment -------------------------------------------------------------

// Version as major + minor / 10 from GetVersion; from Windows Vista on the
// true version from ntdll's RtlGetVersion (GetVersion is capped by the
// compatibility layer), with the build number in the fifth decimal.
double PortOsVersion() {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  DWORD v = GetVersion();
#pragma GCC diagnostic pop
  int major = (int)(v & 0xFF), minor = (int)((v >> 8) & 0xFF);
  double version = major + minor * 0.1;
  if (major >= 6 && GetModuleHandleA("ntdll.dll")) {
    HMODULE nt = LoadLibraryExA("ntdll.dll", nullptr, 0);
    if (nt) {
      typedef LONG(WINAPI * RtlGetVersionFn)(OSVERSIONINFOW*);
      FARPROC p = GetProcAddress(nt, "RtlGetVersion");
      if (p) {
        OSVERSIONINFOW info;
        memset(&info, 0, sizeof info);
        info.dwOSVersionInfoSize = sizeof info;  // 276 bytes
        LONG status = reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void*>(p))(&info);
        if ((status & 2) == 0)
          version = info.dwMajorVersion + (info.dwMinorVersion + info.dwBuildNumber / 100000.0) / 10.0;
      }
      FreeLibrary(nt);
    }
  }
  return version;
}

const char* PortOsName() { return "Windows"; }
uint32_t PortConsoleOutputCp() { return GetConsoleOutputCP(); }
uint32_t PortConsoleCp() { return GetConsoleCP(); }
uint32_t PortAnsiCodePage() { return GetACP(); }
uint16_t PortUserLangId() { return GetUserDefaultLangID(); }
bool PortIsDbcsLeadByte(unsigned char b) { return IsDBCSLeadByte(b) != 0; }

// ---- message boxes -------------------------------------------------------------

int PortMessageBoxA(const char* text, const char* title, uint32_t style) {
  return MessageBoxA((HWND)Win32OwnerWindow(), text, title, style);
}

int PortMessageBoxW(const char16_t* text, const char16_t* title, uint32_t style) {
  return MessageBoxW((HWND)Win32OwnerWindow(), reinterpret_cast<const wchar_t*>(text),
                     reinterpret_cast<const wchar_t*>(title), style);
}

// ---- the open-file dialog --------------------------------------------------------

constexpr int kDialogNameBuf = 260;

// The record in the size of the Windows 2000 layout for this architecture
// (76 bytes in a 32-bit program), as every system since then accepts it.
template <typename Rec, typename Ch, typename Dialog>
static int RunDialog(const Dialog* d, Ch* dst, int cap, uint32_t* error,
                     BOOL(WINAPI* show)(Rec*), DWORD recordSize) {
  static Ch name[kDialogNameBuf];
  int n = 0;
  if (d->initialName)
    for (; d->initialName[n] && n < kDialogNameBuf - 1; n++) name[n] = d->initialName[n];
  name[n] = 0;
  Rec r;
  memset(&r, 0, sizeof r);
  r.lStructSize = recordSize;
  r.hwndOwner = (HWND)Win32OwnerWindow();
  r.hInstance = nullptr;
  r.lpstrFilter = reinterpret_cast<decltype(r.lpstrFilter)>(d->filters);
  r.lpstrCustomFilter = nullptr;
  r.nFilterIndex = (DWORD)(d->filterIndex > 0 ? d->filterIndex : 0);
  r.lpstrFile = reinterpret_cast<decltype(r.lpstrFile)>(name);
  r.nMaxFile = kDialogNameBuf;
  r.lpstrFileTitle = nullptr;
  r.lpstrInitialDir = reinterpret_cast<decltype(r.lpstrInitialDir)>(d->initialDir);
  r.lpstrTitle = reinterpret_cast<decltype(r.lpstrTitle)>(d->title);
  r.Flags = d->mustExist ? (OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST) : 0;  // 0x1800
  r.lpstrDefExt = reinterpret_cast<decltype(r.lpstrDefExt)>(d->defaultExt);
  if (error) *error = 0;
  if (!show(&r)) {
    if (error) *error = CommDlgExtendedError();
    return -1;
  }
  int len = 0;
  while (len < kDialogNameBuf && name[len]) len++;
  if (!dst) return 0;
  if (len >= cap) {
    if (error) *error = FNERR_BUFFERTOOSMALL;
    if (cap > 0) dst[0] = 0;
    return -1;
  }
  memcpy(dst, name, (size_t)len * sizeof(Ch));
  dst[len] = 0;
  return 0;
}

int PortOpenFileDialogW(const PortOpenDialogW* d, char16_t* dst, int cap, uint32_t* error) {
  return RunDialog<OPENFILENAMEW, char16_t>(d, dst, cap, error, GetOpenFileNameW,
                                            OPENFILENAME_SIZE_VERSION_400W);
}

int PortOpenFileDialogA(const PortOpenDialogA* d, char* dst, int cap, uint32_t* error) {
  return RunDialog<OPENFILENAMEA, char>(d, dst, cap, error, GetOpenFileNameA,
                                        OPENFILENAME_SIZE_VERSION_400A);
}

// ---- events ------------------------------------------------------------------------

void PortPumpEvents() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}
