// The page's entry into the core. The Worker writes each motion into
// emscripten's in-memory file system and calls tarvel_check with its name,
// from the motion's directory; the core reads it through the same file
// channels as on the desktop and gathers the same structured report as
// tarvel-report. alias.ini, when the user gave one, is written into
// /tarvel/, the directory the core takes as the executable's.
#include <emscripten/emscripten.h>

#include <string>

#include "analysis/file_report.h"
#include "check/check.h"
#include "names/registry.h"
#include "platform/null/null_port.h"
#include "views/report_json.h"

namespace {
std::string gDocument;  // the run's document so far: its head and every file
ReportCounts gCounts;
std::string gWhole;     // the document with its tail, as last asked for
}  // namespace

extern "C" {

// Once, before the first check: code page 65001 and English, as tarvel-report
// has them in a UTF-8 or C locale.
EMSCRIPTEN_KEEPALIVE void tarvel_start() {
  NullPortStart(65001, 0x0409);
  CheckStart("/tarvel/tarvel");
}

// Starts a run: the files checked from now on make up its document. The
// user may have given or taken away alias.ini since the last run, so the
// name registry is built afresh for its first file.
EMSCRIPTEN_KEEPALIVE void tarvel_begin() {
  ForgetNameRegistry();
  gDocument.clear();
  AppendDocumentHead(&gDocument);
  gCounts = ReportCounts{};
}

// Checks the motion named name (a path as tarvel-report takes it) and adds it
// to the run. Returns its JSON object, as tarvel-report --json gives it,
// valid until the next call.
EMSCRIPTEN_KEEPALIVE const char* tarvel_check(const char* name) {
  CheckMotionFile(name, nullptr, false);
  size_t at = gDocument.size();
  AppendDocumentFile(&gDocument, &gCounts, gFileReport);
  if (gCounts.files > 1) at++;  // the comma before it
  return gDocument.c_str() + at;
}

// Adds a file the browser cannot read because of its size (over 2 GiB) to
// the run, unread, as unreadable for that reason. Returns its JSON object,
// as tarvel_check does.
EMSCRIPTEN_KEEPALIVE const char* tarvel_too_large(const char* name) {
  CheckRefusedFile(name, kOpenTooLarge, false);
  size_t at = gDocument.size();
  AppendDocumentFile(&gDocument, &gCounts, gFileReport);
  if (gCounts.files > 1) at++;  // the comma before it
  return gDocument.c_str() + at;
}

// The run's document, {"files": [...], "summary": {...}} and a line break,
// as tarvel-report --json prints it for the same files; valid until the next
// call.
EMSCRIPTEN_KEEPALIVE const char* tarvel_document() {
  gWhole = gDocument;
  AppendDocumentTail(&gWhole, gCounts);
  gWhole += '\n';
  return gWhole.c_str();
}

}  // extern "C"
