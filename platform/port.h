// The platform port: the only way the program reaches the operating system.
// Back ends: platform/posix (files, directories, locale; shared), platform/gtk
// (the desktop program's UI on Linux), platform/win32 (the Windows program),
// platform/null (no window and nobody to ask: the command-line report tool
// and the page), platform/headless (scripted UI and a virtual clock for the
// tests).
#pragma once
#include <cstdint>
#include <cstdio>

typedef intptr_t PortHandle;
constexpr PortHandle kPortNoHandle = -1;

// ---- process -------------------------------------------------------------
void PortSleep(int ms);

// The command line as the operating system reports it (Win32), or null where
// the platform hands an argv array instead (POSIX); then the argument lists are
// built by appending PortArgv(0 .. PortArgc()-1). Entry 0 is the executable.
const char16_t* PortCommandLineW();
const char* PortCommandLineA();
int PortArgc();
const char* PortArgv(int i);  // narrow bytes as given; entry 0 the executable's path

// Current directory without a trailing separator; 0 on success, -1 on failure.
int PortCurrentDirW(char16_t* dst, int cap);
int PortCurrentDirA(char* dst, int cap);

// ---- environment ---------------------------------------------------------
// Operating system version as major + minor / 10 (Windows numbering), or 0
// where the notion does not apply; PortOsName names the system otherwise.
double PortOsVersion();
const char* PortOsName();
uint32_t PortConsoleOutputCp();  // 932, 65001, 1252, ...
uint32_t PortConsoleCp();
uint32_t PortAnsiCodePage();     // code page of narrow paths and texts
uint16_t PortUserLangId();       // 0x0411 Japanese
// Lead-byte test of the system's narrow code page (never true on 65001).
bool PortIsDbcsLeadByte(unsigned char b);
// The platform's directory separator ('\\' on Windows, '/' on POSIX).
char PortDirSeparator();

// ---- files ------------------------------------------------------------------
// Every open for reading takes regular files only and never waits: a FIFO, a
// device or a folder is refused at once (5, access denied). Every open for
// writing creates a new file and never follows a link: a name that exists in
// any form (file, folder, link, FIFO) is refused (80, file exists).
//
// Open an existing file for reading by UTF-16 path (OS-handle mode). 0 on
// success, otherwise an OS error code in Windows numbering (2 file not found,
// 3 path not found, 5 access denied, 80 file exists, 206 name too long,
// other values as the system gives them).
int PortOpenReadW(const char16_t* path, PortHandle* out);
// Create a new file for writing by UTF-16 path; same results.
int PortCreateNewW(const char16_t* path, PortHandle* out);
// The same two by narrow path, as C streams ("rb" / "wb"); null on failure.
FILE* PortOpenStreamA(const char* path);
FILE* PortCreateStreamA(const char* path);
// True when something exists under the name, of any kind (a link counts
// itself, dangling or not).
bool PortNameExistsA(const char* path);
bool PortNameExistsW(const char16_t* path);
// Bytes read (0 at the end of the file), or -1 on a read error.
int PortRead(PortHandle h, void* buf, int n);
// Bytes written, or -1 on a write error.
int PortWrite(PortHandle h, const void* buf, int n);
// origin 0 start, 1 current, 2 end. 0 and the new offset, or -1.
int PortSeek(PortHandle h, int64_t offset, int origin, int64_t* newpos);
void PortCloseFile(PortHandle h);
// Remove a file (narrow / UTF-16 path); 0 or -1.
int PortRemoveA(const char* path);
int PortRemoveW(const char16_t* path);
// Gives the file `from` the name `to` in the same folder, only when no name
// `to` exists in any form: an existing one is never replaced (80, file
// exists). 0, or an OS error code in Windows numbering.
int PortRenameNewA(const char* from, const char* to);
int PortRenameNewW(const char16_t* from, const char16_t* to);

// Directory search: the first two entries matching the path. A last component
// that names an existing entry as given is that entry alone; otherwise '*'
// (any run of characters, also none) and '?' (one character) in it match as
// the Windows directory search does; no other character is special ('[' and
// '\\' are themselves). Fills their name parts and directory flags; returns
// how many were found (0, 1 or 2). An entry whose name cannot be given in
// 260 units (or, for the UTF-16 form, has none) is passed over.
int PortFindFirstTwoW(const char16_t* path, char16_t names[2][260], bool isdir[2]);
int PortFindFirstTwoA(const char* path, char names[2][260], bool isdir[2]);

// ---- folders (the report tool's walk) --------------------------------------
// What a narrow path names, following links: kPathNone (nothing, or no
// access), kPathFile (a regular file), kPathFolder, kPathOther (a device, a
// FIFO, ...).
enum PortPathKind { kPathNone, kPathFile, kPathFolder, kPathOther };
int PortPathKindA(const char* path);
// Calls fn for every entry of a folder but "." and "..", in the system's
// order, with the entry's name and kind. A link to a file is that file; a
// link to a folder is kPathOther, so that a walk never loops. 0, or an OS
// error code in Windows numbering when the folder cannot be listed.
typedef void (*PortFolderEntry)(void* ctx, const char* name, int kind);
int PortListFolderA(const char* path, PortFolderEntry fn, void* ctx);
// The same two by UTF-16 path, with UTF-16 names: on Windows the names as the
// system holds them, whatever the ANSI code page can show (a walk there goes
// by these). On POSIX the narrow forms are the real names; these convert.
int PortPathKindW(const char16_t* path);
typedef void (*PortFolderEntryW)(void* ctx, const char16_t* name, int kind);
int PortListFolderW(const char16_t* path, PortFolderEntryW fn, void* ctx);
// The narrow form of a UTF-16 name only where it names the same file:
// converted back, it gives the same UTF-16 name (in code page 1252 "ａ" has
// the look-alike "a", which names another file). False, dst empty, when
// there is no such form or it does not fit in cap bytes.
bool PortSameNarrowName(char* dst, int cap, const char16_t* name);

// ---- message boxes and dialogs -------------------------------------------
constexpr uint32_t kMbOk = 0x0, kMbOkCancel = 0x1, kMbIconInformation = 0x40,
                   kMbTopmost = 0x40000;
constexpr int kIdOk = 1, kIdCancel = 2;
// text and title in the narrow code page; returns the button pressed
// (kIdOk, kIdCancel; closing the box otherwise counts as kIdCancel).
int PortMessageBoxA(const char* text, const char* title, uint32_t style);
int PortMessageBoxW(const char16_t* text, const char16_t* title, uint32_t style);

// The open-file dialog. Filters: pairs of zero-terminated texts (display text,
// ';'-separated pattern list), ended by an empty text.
struct PortOpenDialogW {
  const char16_t* filters;
  int filterIndex;             // 0: none chosen, 1..: that pair
  const char16_t* initialDir;  // null: none
  const char16_t* initialName; // may be empty
  const char16_t* title;
  const char16_t* defaultExt;  // null: none
  bool mustExist;
};
struct PortOpenDialogA {
  const char* filters;
  int filterIndex;
  const char* initialDir;
  const char* initialName;
  const char* title;
  const char* defaultExt;
  bool mustExist;
};
// 0 and the chosen path in dst, or -1 (cancelled or failed) with *error the
// extended error (0 for a plain cancel).
int PortOpenFileDialogW(const PortOpenDialogW* d, char16_t* dst, int cap, uint32_t* error);
int PortOpenFileDialogA(const PortOpenDialogA* d, char* dst, int cap, uint32_t* error);

// ---- events ----------------------------------------------------------------
// One non-blocking pass over the window system's queued events; the report
// window's handlers run inside it.
void PortPumpEvents();
