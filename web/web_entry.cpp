// The page's entry into the core. The Worker writes each motion into
// emscripten's in-memory file system and calls tarvel_check with its name,
// from the motion's directory; the core reads it through the same file
// channels as on the desktop and gathers the same structured report as
// tarvel-report. alias.ini, when the user gave one, is written into
// /tarvel/, the directory the core takes as the executable's. For a motion
// with fixable findings, tarvel_fix writes its VRM-ready copy beside it, as
// tarvel-fix does, and checks the copy.
#include <emscripten/emscripten.h>

#include <string>

#include <nlohmann/json.hpp>

#include "analysis/file_report.h"
#include "check/check.h"
#include "fix/fix_copy.h"
#include "fix/fix.h"
#include "names/registry.h"
#include "platform/null/null_port.h"
#include "views/report_json.h"
#include "vrma/vrma_export.h"

namespace {
std::string gDocument;  // the run's document so far: its head and every file
ReportCounts gCounts;
std::string gWhole;     // the document with its tail, as last asked for
std::string gFixed;     // the answer of the last tarvel_fix
std::string gVrma;      // the answer of the last tarvel_vrma

// A text as a JSON string (the names the page gives are UTF-8).
std::string Quoted(const char* s) {
  return nlohmann::json(s).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}
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

// Makes the VRM-ready copy of the motion named name (a path as tarvel_check
// takes it) beside it, as tarvel-fix does: NAME.vrm.vmd, created new and
// written whole, never over a file of that name. The copy is then checked as
// tarvel_check checks a motion (not added to the run). Returns, valid until
// the next call, a JSON object: "status" as FixStatusName gives it, or
// "unreadable" or "not-written"; "reason" in English where there is no copy;
// where there is one, "copy" (its path, for the worker to read and remove)
// and "file" (its JSON object, as tarvel-report --json gives it).
EMSCRIPTEN_KEEPALIVE const char* tarvel_fix(const char* name) {
  const FixPath in = FixMakePath(name, nullptr);
  gFixed = "{\"status\":";
  FixBytes motion;  // in place until the copy is written
  const char* problem = FixReadWhole(in, &motion);
  if (problem) {
    gFixed += Quoted("unreadable") + ",\"reason\":" + Quoted(problem) + "}";
    return gFixed.c_str();
  }
  FixResult r;
  const int status = FixPlan(motion.data.get(), motion.size, &r);
  if (status != kFixDone) {
    // A fold refused says why, bone by bone, as tarvel-fix does.
    std::string why = FixNoCopyReason(r);
    for (int f = 0; status == kFixRefused && f < kFolds; f++)
      if (r.wanted & (1u << f)) why += std::string("; ") + FixFoldSource(f) + ": " + r.reason[f];
    gFixed += Quoted(FixStatusName(status)) + ",\"reason\":" + Quoted(why.c_str()) + "}";
    return gFixed.c_str();
  }
  const FixPath copy = FixCopyPath(in, nullptr);
  if ((problem = FixWriteNew(copy)) != nullptr) {
    gFixed += Quoted("not-written") + ",\"reason\":" + Quoted(problem) + "}";
    return gFixed.c_str();
  }
  CheckMotionFile(copy.narrow.c_str(), nullptr, false);
  gFixed += Quoted(FixStatusName(status)) + ",\"copy\":" + Quoted(copy.narrow.c_str());
  // Each bone folded away and the bones its turns went into.
  gFixed += ",\"folds\":[";
  for (int f = 0, n = 0; f < kFolds; f++) {
    if (!(r.folded & (1u << f))) continue;
    gFixed += std::string(n++ ? "," : "") + "{\"bone\":" + Quoted(FixFoldSource(f)) + ",\"into\":[";
    std::string targets = FixFoldTargets(f);
    for (size_t at = 0, k = 0; at < targets.size(); k++) {
      size_t end = targets.find(' ', at);
      if (end == std::string::npos) end = targets.size();
      gFixed += std::string(k ? "," : "") + Quoted(targets.substr(at, end - at).c_str());
      at = end + 1;
    }
    gFixed += "]}";
  }
  gFixed += "],\"file\":";
  AppendFileJson(&gFixed, gFileReport);
  gFixed += "}";
  return gFixed.c_str();
}

// Writes the VRM Animation of the motion named name (a path as tarvel_check
// takes it) beside it as NAME.vrma, created new and written whole, never over
// a file of that name. fold 1: the file tarvel-fix --vrma writes (the arms at
// the standard skeleton's angle); 0: the pose a VRM viewer plays of the
// motion as it is, no bone folded. Returns, valid until the next call, a JSON
// object: "vrma" (its path, for the worker to read and remove), or "status"
// ("unreadable", "not-written" or the export's) and "reason" in English.
EMSCRIPTEN_KEEPALIVE const char* tarvel_vrma(const char* name, int fold) {
  static std::vector<unsigned char> glb;
  const FixPath in = FixMakePath(name, nullptr);
  FixBytes motion;
  const char* status = "unreadable";
  const char* problem = FixReadWhole(in, &motion);
  if (!problem) {
    VrmaExportOptions options;
    options.data = motion.data.get();
    options.size = motion.size;
    options.fold = fold != 0;
    VrmaExportResult r;
    if (!VrmaExport(options, &glb, &r)) {
      status = r.status;
      problem = r.reason;
    }
  }
  if (!problem) {
    const FixPath target = FixVrmaPath(in, nullptr);
    status = "not-written";
    problem = FixWriteNewBytes(target, glb.data(), glb.size());
    if (!problem) {
      gVrma = "{\"vrma\":" + Quoted(target.narrow.c_str()) + "}";
      return gVrma.c_str();
    }
  }
  gVrma = "{\"status\":" + Quoted(status) + ",\"reason\":" + Quoted(problem) + "}";
  return gVrma.c_str();
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
