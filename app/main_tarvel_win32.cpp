// The report window program on Windows: a GUI program whose entry is WinMain.
// Its arguments are not used; the driver reads the command line itself.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <shellapi.h>

#include "app/driver.h"

// --version anywhere on the command line: the version goes to the standard
// output the program was given (a pipe or a file), else to the console it
// was started from, else into a message box; then the program ends.
static bool PrintVersionIfAsked() {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv) return false;
  bool asked = false;
  for (int i = 1; i < argc && !asked; i++) asked = lstrcmpW(argv[i], L"--version") == 0;
  LocalFree(argv);
  if (!asked) return false;

  static const char kText[] = "tarvel " TARVEL_VERSION "\n";
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if ((out == nullptr || out == INVALID_HANDLE_VALUE) && AttachConsole(ATTACH_PARENT_PROCESS))
    out = CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      OPEN_EXISTING, 0, nullptr);
  DWORD written = 0;
  if (out == nullptr || out == INVALID_HANDLE_VALUE ||
      !WriteFile(out, kText, sizeof kText - 1, &written, nullptr))
    MessageBoxA(nullptr, "tarvel " TARVEL_VERSION, "Tarvel", MB_OK | MB_ICONINFORMATION);
  return true;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (PrintVersionIfAsked()) return 0;
  return TarvelMain();
}
