// The page's entry into the core. The Worker writes each motion into
// emscripten's in-memory file system and calls tarvel_check with its name,
// from the motion's directory; the core reads it through the same file
// channels as on the desktop and gives the report tarvel-report prints.
// alias.ini, when the user gave one, is written into /tarvel/, the
// directory the core takes as the executable's.
#include <emscripten/emscripten.h>

#include <cstdio>
#include <cstdlib>

#include "app/report_tool.h"
#include "platform/headless/headless.h"

namespace {
char* gText = nullptr;  // the last report, owned here
size_t gTextSize = 0;
}  // namespace

extern "C" {

// Once, before the first check: code page 65001 and English, as tarvel-report
// has them in a UTF-8 or C locale.
EMSCRIPTEN_KEEPALIVE void tarvel_start() {
  HeadlessReset();
  ReportToolStart("/tarvel/tarvel");
}

// Checks the motion named name (a path as tarvel-report takes it). Returns the
// report as tarvel-report prints it (valid until the next call), or null when
// there is no memory for it; *status is tarvel-report's status for the file.
EMSCRIPTEN_KEEPALIVE const char* tarvel_check(const char* name, int* status) {
  free(gText);
  gText = nullptr;
  gTextSize = 0;
  FILE* out = open_memstream(&gText, &gTextSize);
  if (!out) return nullptr;
  *status = ReportToolFile(name, out);
  if (fclose(out) != 0) return nullptr;
  return gText;
}

}  // extern "C"
