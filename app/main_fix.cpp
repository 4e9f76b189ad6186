// tarvel-fix [--json] [-o OUT.vmd | --out-dir DIR] FILE|FOLDER...: writes the
// VRM-ready copy of motions.
#include <climits>
#include <csignal>
#include <cstdio>

#include "app/fix_tool.h"
#include "app/report_tool.h"
#include "platform/null/null_port.h"
#include "platform/posix/posix_port.h"

int main(int argc, char** argv) {
  // A reader that goes away is a write error the run reports.
  signal(SIGPIPE, SIG_IGN);
  NullPortStart(PosixCodePage(), PosixLangId());
  char exe[PATH_MAX];
  PosixExePath(exe, sizeof exe, argv[0]);
  ReportToolStart(exe);
  return FixToolRun(argc, argv, nullptr, stdout, stderr);
}
