#include "app/window_copy.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "analysis/file_report.h"
#include "app/report_tool.h"
#include "base/control_escape.h"
#include "base/encoding.h"
#include "base/runenv.h"
#include "fix/fix.h"
#include "fix/fix_copy.h"
#include "platform/port.h"

namespace {

// A path as the box shows it: its UTF-16 form where it has one.
std::string Shown(const FixPath& p) {
  if (p.wide.empty()) return Escaped(p.narrow.c_str());
  char utf8[kPathUtf8];
  unitoutf8(utf8, sizeof utf8, p.wide.c_str());
  return Escaped(utf8);
}

// The recorded report's verdict, and its status when the file is not complete.
std::string VerdictOf(const FileReport& r) {
  char message[256];
  StatusMessage(r, message, sizeof message);
  std::string s;
  if (r.status != kStatusComplete) s = std::string(StatusName(r.status)) + ": " + message + "\n";
  if (r.read) {
    static char verdict[kVerdictUtf8];
    VerdictUtf8(r, verdict, sizeof verdict);
    s += verdict;
  }
  return s;
}

std::string MakeCopy(const FixPath& in, bool japanese) {
  const std::string refused = japanese ? "コピーは作れませんでした: " : "No copy was made: ";
  ReportToolCheck(in.narrow.c_str(), in.wide.empty() ? nullptr : in.wide.c_str());
  if (!gFileReport.read) {
    char message[256];
    StatusMessage(gFileReport, message, sizeof message);
    return refused + message;
  }
  FixBytes bytes;
  if (const char* problem = FixReadWhole(in, &bytes)) return refused + problem;
  FixResult r;
  FixPlan(bytes.data.get(), bytes.size, &r);
  if (r.status != kFixDone) {
    std::string s = refused + FixNoCopyReason(r);
    for (int f = 0; f < kFolds; f++)
      if (r.wanted & (1u << f) && !(r.folded & (1u << f)))
        s += std::string("\nnot folded: ") + FixFoldSource(f) + ": " + FixRefusalText(r.refusal[f]);
    return s;
  }
  const FixPath copy = FixCopyPath(in, nullptr);
  bool already = false;
  if (const char* problem = FixWriteNew(copy, &already))
    return refused + Shown(copy) + ": " + problem;
  std::string s;
  if (already)
    s = japanese ? "VRM 用に修正したコピーはすでにあります (同じ内容):\n"
                 : "The VRM-ready copy is already there, with the same bytes:\n";
  else
    s = japanese ? "VRM 用に修正したコピーを書き出しました:\n" : "The VRM-ready copy was written:\n";
  s += Shown(copy) + "\n";
  for (int f = 0; f < kFolds; f++) {
    if (r.folded & (1u << f))
      s += std::string("folded: ") + FixFoldSource(f) + " into " + FixFoldTargets(f) + "\n";
    else if (r.wanted & (1u << f))
      s += std::string("not folded: ") + FixFoldSource(f) + ": " + FixRefusalText(r.refusal[f]) + "\n";
  }
  ReportToolCheck(copy.narrow.c_str(), copy.wide.empty() ? nullptr : copy.wide.c_str());
  s += japanese ? "\nコピーの判定:\n" : "\nThe copy's verdict:\n";
  return s + VerdictOf(gFileReport);
}

}  // namespace

std::string WindowCopyText() {
  // The check of the motion and of its copy replace the run's current file
  // and the recorded report; the window goes on showing its own.
  static RunEnv run;
  static std::unique_ptr<FileReport> shown(new FileReport);
  run = gRun;
  *shown = gFileReport;
  const FixPath in = FixMakePath(run.nameA, run.nameW[0] ? run.nameW : nullptr);
  std::string text = MakeCopy(in, run.japaneseUser != 0);
  gRun = run;
  gFileReport = *shown;
  return text;
}

void WindowMakeCopy() {
  const std::string text = WindowCopyText();
  std::vector<char16_t> wide(text.size() * 2 + 2);
  utf8touni(wide.data(), (int)wide.size(), text.c_str());
  PortMessageBoxW(wide.data(), u"Tarvel", kMbOk | kMbIconInformation | kMbTopmost);
}
