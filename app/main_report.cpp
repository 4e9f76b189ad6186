// tarvel-report FILE...: prints the report and the verdict of each motion.
#include <cstdio>
#include <cstring>

#include "app/report_tool.h"
#include "platform/headless/headless.h"
#include "platform/posix/posix_port.h"

static const char kUsage[] = "usage: tarvel-report FILE...  (prints the report of each VMD motion)\n";

int main(int argc, char** argv) {
  if (argc < 2) {
    fputs(kUsage, stderr);
    return 2;
  }
  for (int i = 1; i < argc; i++) {
    if (!strcmp(argv[i], "-h") || !strcmp(argv[i], "--help")) {
      fputs(kUsage, stdout);
      return 0;
    }
  }
  HeadlessReset();
  gHeadless.codePage = PosixCodePage();
  gHeadless.langId = PosixLangId();
  char exe[PATH_MAX];
  PosixExePath(exe, sizeof exe, argv[0]);
  ReportToolStart(exe);
  int status = 0;
  for (int i = 1; i < argc; i++) status |= ReportToolFile(argv[i], stdout);
  return status;
}
