// tarvel-report [options] FILE|FOLDER...: checks motions and prints their reports.
#include <climits>
#include <csignal>
#include <cstdio>

#include "app/report_tool.h"
#include "platform/null/null_port.h"
#include "platform/posix/posix_port.h"

int main(int argc, char** argv) {
  // A reader that goes away is a write error the run reports, not a signal
  // that ends it without a word.
  signal(SIGPIPE, SIG_IGN);
  NullPortStart(PosixCodePage(), PosixLangId());
  char exe[PATH_MAX];
  PosixExePath(exe, sizeof exe, argv[0]);
  ReportToolStart(exe);
  return ReportToolRun(argc, argv, nullptr, stdout, stderr);
}
