// The report tool's whole sequence for one file on arbitrary bytes: the
// registry reload (with or without an alias.ini beside the program), the
// read through the narrow path and through the UTF-16 one, the report, the
// verdict, the structured report, the text and the JSON. The first input
// byte picks the alias folder (bit 0) and whether the narrow path fails so
// that only the UTF-16 route reads (bit 1); the rest is the motion.
//
// Checked whatever the input: the JSON parses (so it is valid UTF-8), a file
// that was not read has no verdict, and the status agrees with the reader.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <nlohmann/json.hpp>
#include <string>

#include "analysis/file_report.h"
#include "base/encoding.h"
#include "check/check.h"
#include "fuzz/fuzz_input.h"
#include "names/registry.h"
#include "platform/headless/headless.h"
#include "views/report_json.h"
#include "views/text_report.h"

namespace {

char gRoot[256];
char gMotion[300];
char gExe[2][300];  // [0] without alias.ini, [1] with one
FILE* gNull = nullptr;
int gAlias = -1;

void RemoveScratch() {
  char path[400];
  unlink(gMotion);
  snprintf(path, sizeof path, "%s/alias/alias.ini", gRoot);
  unlink(path);
  snprintf(path, sizeof path, "%s/alias", gRoot);
  rmdir(path);
  snprintf(path, sizeof path, "%s/plain", gRoot);
  rmdir(path);
  rmdir(gRoot);
}

bool Setup() {
  HeadlessReset();
  snprintf(gRoot, sizeof gRoot, "/tmp/tarvel-fuzz-report-%d", static_cast<int>(getpid()));
  char dir[300];
  mkdir(gRoot, 0700);
  snprintf(dir, sizeof dir, "%s/plain", gRoot);
  mkdir(dir, 0700);
  snprintf(gExe[0], sizeof gExe[0], "%s/tarvel-report", dir);
  snprintf(dir, sizeof dir, "%s/alias", gRoot);
  mkdir(dir, 0700);
  snprintf(gExe[1], sizeof gExe[1], "%s/tarvel-report", dir);
  char alias[320];
  snprintf(alias, sizeof alias, "%s/alias.ini", dir);
  static const char kAlias[] = "-Bone\n全ての親 Root\n左腕* LeftArm\nセンター Center\n-Morph\nあ A\n";
  WriteInputFile(alias, reinterpret_cast<const uint8_t*>(kAlias), sizeof kAlias - 1);
  snprintf(gMotion, sizeof gMotion, "%s/motion.vmd", gRoot);
  gNull = fopen("/dev/null", "w");
  atexit(RemoveScratch);
  return gNull != nullptr;
}

void Check(const FileReport& r) {
  const bool read = r.status == kStatusComplete || r.status == kStatusCut;
  if (r.read != read) __builtin_trap();
  if (!read && (r.boneCount != 0 || r.findingCount != 0)) __builtin_trap();
  if (read && (r.boxtext[0] == 0 || r.categories == 0)) __builtin_trap();
  if (r.lineCount > kReportLines || r.findingCount > kFindingMax) __builtin_trap();

  std::string doc;
  ReportCounts counts{};
  AppendDocumentHead(&doc);
  AppendDocumentFile(&doc, &counts, r);
  AppendDocumentTail(&doc, counts);
  const nlohmann::json j = nlohmann::json::parse(doc, nullptr, false);
  if (j.is_discarded()) __builtin_trap();
  const nlohmann::json& file = j["files"][0];
  if (file.contains("verdict") != read || file.contains("report") != read) __builtin_trap();
  if (file["status"] != StatusName(r.status)) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = Setup();
  if (!ready || size < 1) return 0;
  const int alias = data[0] & 1;
  const bool wideOnly = (data[0] & 2) != 0;
  if (!WriteInputFile(gMotion, data + 1, size - 1)) return 0;

  if (alias != gAlias) {  // a new folder for alias.ini: the registry is rebuilt
    gAlias = alias;
    CheckStart(gExe[alias]);
    ForgetNameRegistry();
  }
  char16_t wide[300];
  narrowtouni(wide, 300, gMotion);
  // A narrow path that names nothing: the read goes the UTF-16 way.
  CheckMotionFile(wideOnly ? "/nonexistent/motion.vmd" : gMotion, wide, false);
  Check(gFileReport);
  std::string text;
  AppendTextReport(&text, gMotion, gFileReport);
  return 0;
}
