// The report window program on Windows: a GUI program whose entry is WinMain.
// Its arguments are not used; the driver reads the command line itself.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "app/driver.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return TarvelMain(); }
