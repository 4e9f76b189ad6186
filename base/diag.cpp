#include "base/diag.h"

#include <cstdarg>
#include <cstdio>

static DiagReceiver gReceiver = nullptr;

void DiagSetReceiver(DiagReceiver r) { gReceiver = r; }

bool DiagActive() { return gReceiver != nullptr; }

int DiagPrint(const char* fmt, ...) {
  if (!gReceiver) return 0;
  char text[1024];
  va_list ap;
  va_start(ap, fmt);
  vsnprintf(text, sizeof text, fmt, ap);
  va_end(ap);
  gReceiver(text);
  return 0;
}
