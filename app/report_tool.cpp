#include "app/report_tool.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "analysis/file_report.h"
#include "analysis/report_buffer.h"
#include "analysis/report_json.h"
#include "analysis/verdict.h"
#include "app/target.h"
#include "base/diag.h"
#include "base/encoding.h"
#include "base/paths.h"
#include "base/runenv.h"
#include "names/registry.h"
#include "platform/port.h"
#include "vmd/vmdread.h"

void ReportToolStart(const char* exePath, const char16_t* exePathW) {
  ResetRunEnv();
  SetPathSeparators(PortDirSeparator(), '/');
  getdir(gRun.exeDirA, kPathMax, exePath);
  if (exePathW) {
    unigetdir(gRun.exeDirW, kPathMax, exePathW);
    return;
  }
  char16_t wide[kPathMax];
  if (narrowtounipath(wide, kPathMax, exePath) == 0) unigetdir(gRun.exeDirW, kPathMax, wide);
}

namespace {

// Takes the file as the current one of the run; false when a form of its
// path does not fit (the file is then refused, never cut to another name).
bool TakeName(const char* file, const char16_t* widefile) {
  if (strlen(file) >= sizeof gRun.nameA) return false;
  snprintf(gRun.nameA, sizeof gRun.nameA, "%s", file);
  if (widefile) {
    if (unilen(widefile) >= kPathMax) return false;
    unicpy(gRun.nameW, kPathMax, widefile);
    return true;
  }
  if (narrowtounipath(gRun.nameW, kPathMax, file) == 0) return true;
  // Shorter than the UTF-16 buffer, the path would fit there: its bytes have no
  // UTF-16 form, and the file is read through its narrow bytes alone.
  return strlen(file) < kPathMax;
}

// The path as the JSON views show it: UTF-8.
void ShownPath(char* dst, int cap, const char* file) {
  if (PortAnsiCodePage() == 65001 || !gRun.nameW[0])
    snprintf(dst, cap, "%s", file);
  else
    unitoutf8(dst, cap, gRun.nameW);
}

// Why the file just taken could not be opened, as an open error code. A path
// with no UTF-16 form cannot be asked through it: what its narrow bytes name
// tells then.
int OpenError(const char* file) {
  if (!gRun.nameW[0]) {
    switch (PortPathKindA(file)) {
      case kPathNone: return 2;
      case kPathFile: return 5;
      default: return kOpenNotRegular;
    }
  }
  PortHandle h = kPortNoHandle;
  int error = PortOpenReadW(gRun.nameW, &h);
  if (error == 0) {
    PortCloseFile(h);
    error = 1;  // it opens now: the reason is gone
  }
  return error;
}

// A file not read at all, for the reason of an open error code.
void Refuse(const char* file, int error) {
  static char shown[kPathUtf8];
  if (!TakeName(file, nullptr)) gRun.nameW[0] = 0;
  ShownPath(shown, sizeof shown, file);
  ResetReadFacts();
  GatherFileReport(shown, error);
}

}  // namespace

int ReportToolCheck(const char* file, const char16_t* widefile) {
  static char shown[kPathUtf8];
  gRun.fontFailed = 0;
  gRun.narrowFailed = gRun.wideFailed = 0;
  if (!TakeName(file, widefile)) {
    Refuse(file, kOpenNameTooLong);
    return gFileReport.status;
  }
  IdentifyTarget();
  gRun.isVmd = 0xFF;
  gRun.isPmx = 0;

  ReloadNameRegistry();
  ReadMotion();
  buildreport();
  buildverdict();

  // A file that could not be opened: ask the system why.
  int error = 0;
  if (!gVmdFacts.opened) error = OpenError(file);
  ShownPath(shown, sizeof shown, file);
  GatherFileReport(shown, error);
  return gFileReport.status;
}

void PrintTextReport(const char* file, FILE* out) {
  const FileReport& r = gFileReport;
  fprintf(out, "# %s\n", file);
  // Each line as "%06x\t%s\n", gathered and written at once: a stream call
  // per piece would cost more than the text.
  static const char kHex[] = "0123456789abcdef";
  static char block[kReportLines * (kLineUtf8 + 8)];
  size_t n = 0;
  for (int i = 0; i < r.lineCount; i++) {
    for (int k = 0; k < 6; k++) block[n++] = kHex[r.lines[i].colour >> (20 - 4 * k) & 0xF];
    block[n++] = '\t';
    const size_t len = strnlen(r.lines[i].text, kLineUtf8 - 1);
    memcpy(block + n, r.lines[i].text, len);
    n += len;
    block[n++] = '\n';
  }
  fwrite(block, 1, n, out);
  if (r.status != kStatusComplete) {
    char message[256];
    StatusMessage(r, message, sizeof message);
    fprintf(out, "#status %s: %s\n", StatusName(r.status), message);
  }
  if (!r.read) return;
  fprintf(out, "#verdict\n%s\n", r.verdict);
}

int ReportToolFile(const char* file, FILE* out) {
  const int status = ReportToolCheck(file, nullptr);
  PrintTextReport(file, out);
  return status == kStatusComplete ? 0 : 1;
}

namespace {

enum Format { kText, kJson, kJsonl, kSummary };

const char kUsage[] =
    "usage: tarvel-report [--json | --jsonl | --summary] [--fail-on=CATEGORY] FILE|FOLDER...\n"
    "  Prints the report of each VMD motion; a folder is searched for .vmd files.\n"
    "  --json        one JSON document for the whole run\n"
    "  --jsonl       one JSON object per file per line\n"
    "  --summary     one line per file: verdict, keys, duration, path\n"
    "  --fail-on=C   exit 3 when a verdict reaches C: fix, dropout, rough or slight\n"
    "  Exit status: 0 all complete, 1 a file not complete, 2 usage, 3 --fail-on met.\n";

struct Run {
  Format format = kText;
  int failOn = -1;  // a Level, or -1
  FILE* out = nullptr;
  FILE* err = nullptr;
  ReportCounts counts{};
  bool incomplete = false;
  bool failed = false;  // a verdict reached failOn
  std::string text;     // output of one file
};

bool IsMotionName(const char* name) {
  const size_t n = strlen(name);
  if (n < 4) return false;
  const char* e = name + n - 4;
  return e[0] == '.' && (e[1] | 0x20) == 'v' && (e[2] | 0x20) == 'm' && (e[3] | 0x20) == 'd';
}

// Tells what gFileReport holds, in the run's format. The file is named as the
// report shows it, in UTF-8 (on Windows the narrow form is in the ANSI code
// page and has lost what that cannot hold).
void Present(Run& run) {
  const FileReport& r = gFileReport;
  const char* file = r.path;
  if (r.status != kStatusComplete) {
    run.incomplete = true;
    char message[256];
    StatusMessage(r, message, sizeof message);
    fprintf(run.err, "tarvel-report: %s: %s\n", file, message);
  }
  if (r.read && run.failOn >= 0 && r.category >= run.failOn) run.failed = true;

  run.text.clear();
  switch (run.format) {
    case kText:
      PrintTextReport(file, run.out);
      return;
    case kJson:
      AppendDocumentFile(&run.text, &run.counts, r);
      break;
    case kJsonl:
      AppendFileJson(&run.text, r);
      run.text += '\n';
      break;
    case kSummary: {
      char line[64];
      snprintf(line, sizeof line, "%-12s %9lld keys %10.2f s  ",
               r.status == kStatusComplete ? CategoryName(r.category) : StatusName(r.status),
               static_cast<long long>(r.keys), r.durationFrames / 30.0);
      run.text = line;
      run.text += file;
      run.text += '\n';
      break;
    }
  }
  fwrite(run.text.data(), 1, run.text.size(), run.out);
  if (run.format == kJsonl) fflush(run.out);
}

void CheckOne(Run& run, const char* file, const char16_t* widefile) {
  ReportToolCheck(file, widefile);
  Present(run);
}

void CollectEntry(void* ctx, const char* name, int kind) {
  static_cast<std::vector<std::pair<std::string, int>>*>(ctx)->emplace_back(name, kind);
}

// Every motion under the folder, in sorted order, folders entered where
// they stand among the names.
void Walk(Run& run, const std::string& folder) {
  std::vector<std::pair<std::string, int>> entries;
  const int error = PortListFolderA(folder.c_str(), CollectEntry, &entries);
  if (error != 0) {
    char reason[64];
    OpenErrorText(error, reason, sizeof reason);
    fprintf(run.err, "tarvel-report: %s: cannot list the folder: %s\n", folder.c_str(), reason);
    run.incomplete = true;
    return;
  }
  std::sort(entries.begin(), entries.end());
  std::string path = folder;
  if (path.empty() || (path.back() != '/' && path.back() != PortDirSeparator()))
    path += PortDirSeparator();
  const size_t base = path.size();
  for (const auto& [name, kind] : entries) {
    path.resize(base);
    path += name;
    if (kind == kPathFolder)
      Walk(run, path);
    else if (kind == kPathFile && IsMotionName(name.c_str()))
      CheckOne(run, path.c_str(), nullptr);
  }
}

int Usage(FILE* err, const char* problem) {
  if (problem) fprintf(err, "tarvel-report: %s\n", problem);
  fputs(kUsage, err);
  return 2;
}

}  // namespace

int ReportToolRun(int argc, const char* const* argv, const char16_t* const* wargv, FILE* out,
                  FILE* err) {
  Run run;
  run.out = out;
  run.err = err;
  std::vector<int> targets;
  bool options = true;
  int formats = 0;
  for (int i = 1; i < argc; i++) {
    const char* a = argv[i];
    if (options && a[0] == '-' && a[1] != 0) {
      if (!strcmp(a, "--")) {
        options = false;
      } else if (!strcmp(a, "-h") || !strcmp(a, "--help")) {
        fputs(kUsage, out);
        return 0;
      } else if (!strcmp(a, "--json")) {
        run.format = kJson;
        formats++;
      } else if (!strcmp(a, "--jsonl")) {
        run.format = kJsonl;
        formats++;
      } else if (!strcmp(a, "--summary")) {
        run.format = kSummary;
        formats++;
      } else if (!strncmp(a, "--fail-on=", 10)) {
        run.failOn = -1;
        for (int c = kLevelSlight; c < kLevels; c++)
          if (!strcmp(a + 10, CategoryName(c))) run.failOn = c;
        if (run.failOn < 0) return Usage(err, "--fail-on takes fix, dropout, rough or slight");
      } else {
        std::string problem = std::string("unknown option ") + a;
        return Usage(err, problem.c_str());
      }
      continue;
    }
    targets.push_back(i);
  }
  if (targets.empty()) return Usage(err, nullptr);
  if (formats > 1) return Usage(err, "--json, --jsonl and --summary exclude each other");

  if (run.format == kJson) {
    run.text.clear();
    AppendDocumentHead(&run.text);
    fwrite(run.text.data(), 1, run.text.size(), out);
  }
  for (int i : targets) {
    const int kind = PortPathKindA(argv[i]);
    if (kind == kPathFolder) {
      Walk(run, argv[i]);
    } else if (kind == kPathOther) {
      // A FIFO or a device is refused without opening it: nothing waits on it.
      Refuse(argv[i], kOpenNotRegular);
      Present(run);
    } else {
      CheckOne(run, argv[i], wargv ? wargv[i] : nullptr);
    }
  }
  if (run.format == kJson) {
    run.text.clear();
    AppendDocumentTail(&run.text, run.counts);
    run.text += '\n';
    fwrite(run.text.data(), 1, run.text.size(), out);
  }
  fflush(out);
  if (run.incomplete) return 1;
  return run.failed ? 3 : 0;
}
