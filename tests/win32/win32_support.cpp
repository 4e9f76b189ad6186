#include "tests/win32/win32_support.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {

const wchar_t* W(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

int Hex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Lines of the child's file: a count, then one line of hex digits per entry
// (four per UTF-16 unit, two per byte).
template <typename Str>
bool ReadList(FILE* f, int digits, std::vector<Str>* out) {
  char line[8192];
  if (!fgets(line, sizeof line, f)) return false;
  int count = atoi(line);
  for (int i = 0; i < count; i++) {
    if (!fgets(line, sizeof line, f)) return false;
    Str s;
    for (int k = 0; Hex(line[k]) >= 0; k += digits) {
      unsigned v = 0;
      for (int d = 0; d < digits; d++) {
        if (Hex(line[k + d]) < 0) return false;
        v = v * 16 + (unsigned)Hex(line[k + d]);
      }
      s.push_back((typename Str::value_type)v);
    }
    out->push_back(s);
  }
  return true;
}

}  // namespace

SplitResult RunSplitChild(const std::u16string& commandLine) {
  SplitResult r;
  WideTempDir dir;
  if (!dir.Ok()) return r;
  std::u16string out = dir.Path(u"split.txt");
  wchar_t exe[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, exe, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return r;
  std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
  line.push_back(0);
  SetEnvironmentVariableW(kSplitOutVar, W(out));
  STARTUPINFOW si;
  ZeroMemory(&si, sizeof si);
  si.cb = sizeof si;
  PROCESS_INFORMATION pi;
  BOOL started = CreateProcessW(exe, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
  SetEnvironmentVariableW(kSplitOutVar, nullptr);
  if (!started) return r;
  WaitForSingleObject(pi.hProcess, 30000);
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  if (code != 0) return r;
  FILE* f = _wfopen(W(out), L"rb");
  if (!f) return r;
  r.ok = ReadList(f, 4, &r.wide) && ReadList(f, 2, &r.narrow);
  fclose(f);
  return r;
}

std::string ToAnsi(const std::u16string& s) {
  if (s.empty()) return std::string();
  int n = WideCharToMultiByte(CP_ACP, 0, W(s), (int)s.size(), nullptr, 0, nullptr, nullptr);
  std::string out((size_t)n, '\0');
  WideCharToMultiByte(CP_ACP, 0, W(s), (int)s.size(), out.data(), n, nullptr, nullptr);
  return out;
}

WideTempDir::WideTempDir() {
  wchar_t base[MAX_PATH];
  DWORD n = GetTempPathW(MAX_PATH, base);
  if (n == 0 || n >= MAX_PATH) return;
  for (int attempt = 0; attempt < 100; attempt++) {
    wchar_t name[64];
    swprintf(name, 64, L"tarvel-win32-%08lx-%04x", GetCurrentProcessId(), (unsigned)(GetTickCount() + attempt * 7919) & 0xFFFF);
    std::u16string p = reinterpret_cast<const char16_t*>(base);
    if (!p.empty() && p.back() == u'\\') p.pop_back();
    p += u"\\";
    p += reinterpret_cast<const char16_t*>(name);
    if (CreateDirectoryW(W(p), nullptr)) {
      root_ = p;
      return;
    }
  }
}

WideTempDir::~WideTempDir() {
  if (root_.empty()) return;
  std::error_code ec;
  std::filesystem::remove_all(std::filesystem::path(W(root_)), ec);
}

bool WideTempDir::MakeDir(const std::u16string& name) const {
  return !root_.empty() && CreateDirectoryW(W(Path(name)), nullptr);
}

bool WideTempDir::Write(const std::u16string& name, const std::string& bytes) const {
  if (root_.empty()) return false;
  HANDLE h = CreateFileW(W(Path(name)), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD put = 0;
  BOOL ok = bytes.empty() || WriteFile(h, bytes.data(), (DWORD)bytes.size(), &put, nullptr);
  CloseHandle(h);
  return ok && put == bytes.size();
}
