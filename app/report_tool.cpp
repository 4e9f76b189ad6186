#include "app/report_tool.h"

#include <cstring>

#include "analysis/report_buffer.h"
#include "analysis/verdict.h"
#include "app/target.h"
#include "base/diag.h"
#include "base/encoding.h"
#include "base/paths.h"
#include "base/runenv.h"
#include "names/alias.h"
#include "names/nametable.h"
#include "names/vocabulary.h"
#include "platform/port.h"

void ReportToolStart(const char* exePath, const char16_t* exePathW) {
  ResetRunEnv();
  SetPathSeparators(PortDirSeparator(), '/');
  getdir(gRun.exeDirA, kPathMax, exePath);
  char16_t wide[kPathMax];
  if (exePathW)
    unicpy(wide, kPathMax, exePathW);
  else
    narrowtouni(wide, kPathMax, exePath);
  unigetdir(gRun.exeDirW, kPathMax, wide);
}

static void PrintLine(FILE* out, int i) {
  uint32_t c = gReport.cellcolour[i][0];
  char text[kReportCols * 4 + 1];
  sjistoutf8(text, sizeof text, gReport.lines[i]);
  size_t n = strlen(text);
  if (n > 0 && text[n - 1] == '\n') text[--n] = 0;
  fprintf(out, "%02x%02x%02x\t%s\n", c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF, text);
}

static void PrintVerdict(FILE* out) {
  static char text[kBoxText * 4 + 1];
  sjistoutf8(text, sizeof text, boxtext);
  // CR LF becomes LF.
  size_t o = 0;
  for (size_t i = 0; text[i]; i++) {
    if (text[i] == '\r' && text[i + 1] == '\n') continue;
    text[o++] = text[i];
  }
  text[o] = 0;
  fprintf(out, "%s\n", text);
}

int ReportToolFile(const char* file, FILE* out, const char16_t* fileW) {
  gRun.fontFailed = 0;
  snprintf(gRun.nameA, sizeof gRun.nameA, "%s", file);
  if (fileW)
    unicpy(gRun.nameW, kPathMax, fileW);
  else
    narrowtouni(gRun.nameW, kPathMax, file);
  IdentifyTarget();
  gRun.isVmd = 0xFF;
  gRun.isPmx = 0;
  gRun.narrowFailed = gRun.wideFailed = 0;

  DiagPrint("String table Reload ... \n");
  ResetNameTables();
  LoadAliasFile();
  RegisterBuiltinNames();
  ReadMotion();
  buildreport();
  buildverdict();

  if (fileW) {
    static char heading[kPathMax * 3 + 1];
    unitoutf8(heading, (int)sizeof heading, gRun.nameW);
    fprintf(out, "# %s\n", heading);
  } else {
    fprintf(out, "# %s\n", file);
  }
  for (int i = 0; i < gReport.linecount; i++) PrintLine(out, i);
  fprintf(out, "#verdict\n");
  PrintVerdict(out);
  return gRun.wideFailed ? 1 : 0;
}
