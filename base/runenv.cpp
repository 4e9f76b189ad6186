#include "base/runenv.h"

#include <cstring>

#include "platform/port.h"

RunEnv gRun;
static int32_t gPending = 0;

void ResetRunEnv() {
  memset(&gRun, 0, sizeof gRun);
  gRun.consoleOutputCp = PortConsoleOutputCp();
  gPending = 0;
}

bool JapaneseMode() { return gRun.japaneseUser && gRun.sjisConsole; }

int32_t SetPendingCode(int32_t code) {
  int32_t old = gPending;
  gPending = code;
  return old;
}

int32_t TakePendingCode() {
  int32_t c = gPending;
  gPending = 0;
  return c;
}

int32_t PumpMessages() {
  PortPumpEvents();
  return gPending;
}
