#include "app/report_tool.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "analysis/file_report.h"
#include "app/folder_walk.h"
#include "app/output_check.h"
#include "base/control_escape.h"
#include "base/encoding.h"
#include "base/paths.h"
#include "base/runenv.h"
#include "check/check.h"
#include "platform/port.h"
#include "views/report_json.h"
#include "views/text_report.h"

void ReportToolStart(const char* exePath, const char16_t* exePathW) {
  CheckStart(exePath, exePathW);
  gRun.sjisNames = PortAnsiCodePage() == 932 ? 0xFF : 0;
}

namespace {

// The views name a file by its UTF-16 form, as UTF-8, wherever narrow names
// are not UTF-8 (on Windows the narrow form has lost what the ANSI code page
// cannot hold).
bool ShownWide() { return PortAnsiCodePage() != 65001; }

}  // namespace

int ReportToolCheck(const char* file, const char16_t* widefile) {
  return CheckMotionFile(file, widefile, ShownWide());
}

int ReportToolFile(const char* file, FILE* out) {
  const int status = ReportToolCheck(file, nullptr);
  std::string text;
  AppendTextReport(&text, file, gFileReport);
  fwrite(text.data(), 1, text.size(), out);
  return status == kStatusComplete ? 0 : 1;
}

namespace {

enum Format { kText, kJson, kJsonl, kSummary };

const char kUsage[] =
    "usage: tarvel-report [--json | --jsonl | --summary] [--fail-on=CATEGORY] FILE|FOLDER...\n"
    "  Prints the report of each VMD motion; a folder is searched for .vmd files.\n"
    "  --json        one JSON document for the whole run\n"
    "  --jsonl       one JSON object per file per line\n"
    "  --summary     one line per file: verdict, keys, duration, path; then a\n"
    "                line of totals beginning \"total:\"\n"
    "  --fail-on=C   exit 3 when a verdict reaches C: fix, dropout, rough or slight\n"
    "                (also written --fail-on C)\n"
    "  --version     prints the version and exits\n"
    "  Exit status: 0 all complete, 1 a file not complete or not read, a folder with no\n"
    "  motion, or output that could not be written; 2 usage; 3 --fail-on met.\n"
    "  In CI, to fail the job when a motion would drop bones or needs fixing:\n"
    "    tarvel-report --summary --fail-on=dropout motions/\n";

struct Run {
  Format format = kText;
  int failOn = -1;  // a Level, or -1
  FILE* out = nullptr;
  FILE* err = nullptr;
  ReportCounts counts{};
  bool incomplete = false;
  bool failed = false;  // a verdict reached failOn
  bool writeFailed = false;  // the output could not be written: the run ends
  long files = 0;       // files told of so far
  std::string text;     // output of one file
};

// Tells what gFileReport holds, in the run's format. The file is named as the
// report shows it, in UTF-8 (on Windows the narrow form is in the ANSI code
// page and has lost what that cannot hold).
void Present(Run& run) {
  const FileReport& r = gFileReport;
  const char* file = r.path;
  run.files++;
  if (r.status != kStatusComplete) {
    run.incomplete = true;
    char message[kMessageMax];
    StatusMessage(r, message, sizeof message);
    fprintf(run.err, "tarvel-report: %s: %s\n", Escaped(file).c_str(), Escaped(message).c_str());
  }
  if (r.read && run.failOn >= 0 && r.category >= run.failOn) run.failed = true;

  run.text.clear();
  switch (run.format) {
    case kText:
      AppendTextReport(&run.text, file, r);
      break;
    case kJson:
      AppendDocumentFile(&run.text, &run.counts, r);
      break;
    case kJsonl:
      AppendFileJson(&run.text, r);
      run.text += '\n';
      break;
    case kSummary:
      AppendSummaryLine(&run.text, r);
      CountReport(&run.counts, r);
      break;
  }
  fwrite(run.text.data(), 1, run.text.size(), run.out);
  if (!OutputWritten(run.out, run.err, "tarvel-report")) run.writeFailed = true;
}

void CheckOne(Run& run, const char* file, const char16_t* widefile) {
  ReportToolCheck(file, widefile);
  Present(run);
}

// UTF-8 of a UTF-16 text of any length.
std::string Utf8(const std::u16string& s) {
  std::string out(s.size() * 3 + 1, '\0');
  unitoutf8(out.data(), static_cast<int>(out.size()), s.c_str());
  out.resize(strlen(out.c_str()));
  return out;
}

// A walked name like a motion's: a file (or a link that leads nowhere or in
// a loop, a name that cannot be looked at: the open says why) is checked; a
// FIFO, a socket, a device, a link to a folder is refused unopened. Either
// way it is told of as a file.
void WalkedMotion(void* ctx, const char* narrow, const char16_t* wide, int kind) {
  Run& run = *static_cast<Run*>(ctx);
  if (kind == kPathOther && (wide ? PortPathKindW(wide) : PortPathKindA(narrow)) != kPathNone) {
    CheckRefusedFile(narrow, kOpenNotRegular, ShownWide(), wide);
    Present(run);
  } else {
    CheckOne(run, narrow, wide);
  }
}

// A folder that cannot be listed is told of as a file, with the reason.
void WalkedUnlisted(void* ctx, const char* narrow, const char16_t* wide, int error) {
  CheckRefusedFile(narrow, error, ShownWide(), wide);
  char reason[sizeof gFileReport.reason - 24];
  OpenErrorText(error, reason, sizeof reason);
  snprintf(gFileReport.reason, sizeof gFileReport.reason, "cannot list the folder: %s", reason);
  Present(*static_cast<Run*>(ctx));
}

bool WalkStops(void* ctx) { return static_cast<Run*>(ctx)->writeFailed; }

// The summary's last line: the files, then each status and each category.
void PrintTotals(const Run& run) {
  const ReportCounts& c = run.counts;
  std::string line = "total: " + std::to_string(c.files) + (c.files == 1 ? " file:" : " files:");
  for (int s = 0; s < kStatuses; s++)
    line += (s ? ", " : " ") + std::to_string(c.status[s]) + " " + StatusName(s);
  for (int l = kLevelFix; l >= kLevelOk; l--)
    line += (l == kLevelFix ? "; " : ", ") + std::to_string(c.category[l]) + " " + CategoryName(l);
  line += '\n';
  fwrite(line.data(), 1, line.size(), run.out);
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
      } else if (!strcmp(a, "--version")) {
        fprintf(out, "tarvel-report %s\n", TARVEL_VERSION);
        return OutputWritten(out, err, "tarvel-report") ? 0 : 1;
      } else if (!strcmp(a, "-h") || !strcmp(a, "--help")) {
        fputs(kUsage, out);
        return OutputWritten(out, err, "tarvel-report") ? 0 : 1;
      } else if (!strcmp(a, "--json")) {
        run.format = kJson;
        formats++;
      } else if (!strcmp(a, "--jsonl")) {
        run.format = kJsonl;
        formats++;
      } else if (!strcmp(a, "--summary")) {
        run.format = kSummary;
        formats++;
      } else if (!strncmp(a, "--fail-on=", 10) || !strcmp(a, "--fail-on")) {
        // "--fail-on=C" or "--fail-on C", once
        const char* value = a[9] == '=' ? a + 10 : i + 1 < argc ? argv[++i] : "";
        if (run.failOn >= 0) return Usage(err, "--fail-on is given more than once");
        for (int c = kLevelSlight; c < kLevels; c++)
          if (!strcmp(value, CategoryName(c))) run.failOn = c;
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
    if (run.writeFailed) return 1;
    // With UTF-16 arguments (Windows) those are the names the system holds:
    // folders are walked by them.
    const char16_t* wide = wargv ? wargv[i] : nullptr;
    const int kind = wide ? PortPathKindW(wide) : PortPathKindA(argv[i]);
    if (kind == kPathFolder) {
      const long before = run.files;
      const FolderWalk walk = {&run, WalkedMotion, WalkedUnlisted, WalkStops};
      if (wide)
        WalkFolderW(wide, walk);
      else
        WalkFolderA(argv[i], walk);
      if (run.files == before) {
        const std::string shown = wide ? Utf8(std::u16string(wide)) : std::string(argv[i]);
        fprintf(err, "tarvel-report: %s: no motion (.vmd) in the folder\n", Escaped(shown.c_str()).c_str());
        run.incomplete = true;
      }
    } else if (kind == kPathOther) {
      // A FIFO or a device is refused without opening it: nothing waits on it.
      CheckRefusedFile(argv[i], kOpenNotRegular, ShownWide(), wide);
      Present(run);
    } else {
      CheckOne(run, argv[i], wide);
    }
  }
  if (run.format == kJson) {
    run.text.clear();
    AppendDocumentTail(&run.text, run.counts);
    run.text += '\n';
    fwrite(run.text.data(), 1, run.text.size(), out);
  }
  if (run.format == kSummary) PrintTotals(run);
  if (run.writeFailed || !OutputWritten(out, err, "tarvel-report")) return 1;
  if (run.incomplete) return 1;
  return run.failed ? 3 : 0;
}
