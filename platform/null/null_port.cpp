#include "platform/null/null_port.h"

#include <cstring>

#include "platform/port.h"
#include "platform/posix/posix_port.h"
#include "platform/window_port.h"

namespace {
uint32_t gCodePage = 65001;
uint16_t gLangId = 0x0409;
}  // namespace

void NullPortStart(uint32_t codePage, uint16_t langId) {
  gCodePage = codePage;
  gLangId = langId;
}

// ---- process and environment -------------------------------------------------

void PortSleep(int) {}
const char16_t* PortCommandLineW() { return nullptr; }
const char* PortCommandLineA() { return nullptr; }
int PortArgc() { return 0; }
const char* PortArgv(int) { return ""; }

double PortOsVersion() { return 0.0; }
const char* PortOsName() { return PosixOsName(); }
uint32_t PortConsoleOutputCp() { return gCodePage; }
uint32_t PortConsoleCp() { return gCodePage; }
uint32_t PortAnsiCodePage() { return gCodePage; }
uint16_t PortUserLangId() { return gLangId; }
// The lead bytes of code page 932; no other code page has any here.
bool PortIsDbcsLeadByte(unsigned char b) {
  if (gCodePage != 932) return false;
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// ---- boxes, dialogs, events ------------------------------------------------------

int PortMessageBoxA(const char*, const char*, uint32_t) { return kIdOk; }
int PortMessageBoxW(const char16_t*, const char16_t*, uint32_t) { return kIdOk; }

int PortOpenFileDialogW(const PortOpenDialogW*, char16_t*, int, uint32_t* error) {
  if (error) *error = 0;
  return -1;
}
int PortOpenFileDialogA(const PortOpenDialogA*, char*, int, uint32_t* error) {
  if (error) *error = 0;
  return -1;
}

void PortPumpEvents() {}

// ---- the window: there is none -------------------------------------------------

void PortWindowGetMetrics(PortWindowMetrics* m) { memset(m, 0, sizeof *m); }
int PortWindowCreate(const char*, int, int, bool, const PortWindowClient*) { return -1; }
void PortWindowDestroy() {}
void PortWindowSetTitle(const char*) {}
void PortWindowMoveResize(bool, int, int, int, int) {}
void PortWindowGetRect(int* x, int* y, int* w, int* h) { *x = *y = *w = *h = 0; }
void PortWindowSetTopmost(bool) {}
void PortWindowShowView(int, int) {}
void PortWindowRepaint(int, int, int, int) {}
void PortWindowSetScrollBar(int, bool, int, int, int) {}
int PortWindowMakeCursors() { return -1; }
void PortWindowSetCursor(int) {}
int PortClipboardSetText(const char*) { return -1; }
