#include "check/check.h"

#include <cstdio>
#include <cstring>

#include "analysis/file_report.h"
#include "analysis/read_status.h"
#include "analysis/verdict.h"
#include "base/diag.h"
#include "base/encoding.h"
#include "base/paths.h"
#include "base/runenv.h"
#include "names/registry.h"
#include "platform/port.h"
#include "vmd/vmdread.h"

void CheckStart(const char* exePath, const char16_t* exePathW) {
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

void IdentifyTarget() {
  if (findname(gRun.diskNameA, kPathMax, gRun.nameA) != 0) gRun.diskNameA[0] = 0;
  if (unifindname(gRun.diskNameW, kPathMax, gRun.nameW) != 0) gRun.diskNameW[0] = 0;
  gRun.isVmd = gRun.isPmx = 0;
  char ext[kPathMax];
  if (getext(ext, kPathMax, gRun.diskNameA) == -1) {
    if (headcmp(ext, ".VMD") == 0) gRun.isVmd = 0xFF;
    if (headcmp(ext, ".PMX") == 0) gRun.isPmx = 0xFF;
  }
  char16_t extw[kPathMax];
  if (unigetext(extw, kPathMax, gRun.diskNameW) == -1) {
    if (uniheadcmp(extw, u".VMD") == 0) gRun.isVmd = 0xFF;
    if (uniheadcmp(extw, u".PMX") == 0) gRun.isPmx = 0xFF;
  }
}

namespace {

// Through the narrow name first, then through the UTF-16 name.
void ReadMotion() {
  memcpy(gRun.lastVmdA, gRun.diskNameA, sizeof gRun.lastVmdA);
  memcpy(gRun.lastVmdW, gRun.diskNameW, sizeof gRun.lastVmdW);
  DiagPrint("Reading .VMD: \n");
  ClearSourceModel();
  if (readvmdA(gRun.nameA) != 0) {
    gRun.narrowFailed = 0xFF;
    // A name with no UTF-16 form (its bytes are not text in the narrow code
    // page) has nothing to re-open: a second read would open nothing and
    // throw away what the first one met.
    if (!gRun.nameW[0]) {
      gRun.wideFailed = 0xFF;
      return;
    }
    DiagPrint("Re-opening in UTF-16 ... \n");
    int r = readvmdW(gRun.nameW);
    if (r != 0) {
      gRun.wideFailed = 0xFF;
      DiagPrint("Could not open in UTF-16.(%d) (***) \n", r);
    }
  }
}

void RefusePmx() {
  DiagPrint("Reading .PMX: \n");
  DiagPrint("Sorry. This Lumeno version does not support PMX reading. \n");
}

// Why the file just read could not be opened, as an open error code. A path
// with no UTF-16 form cannot be asked through it: what its narrow bytes name
// tells then.
int OpenError() {
  // A FIFO, a device or a folder is named as such.
  const int kind = gRun.nameW[0] ? PortPathKindW(gRun.nameW) : PortPathKindA(gRun.nameA);
  if (kind == kPathOther || kind == kPathFolder) return kOpenNotRegular;
  if (!gRun.nameW[0]) {
    switch (PortPathKindA(gRun.nameA)) {
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

void Report(const char* shownPath, int openError) {
  RecordFileStart(shownPath, openError);
  buildreport();
  buildverdict();
  FillCutVerdictLine();
  RecordFileEnd();
}

}  // namespace

int CheckFile(int kind, const char* shownPath) {
  gRun.narrowFailed = gRun.wideFailed = 0;
  const bool nothingRead = !gRun.lastVmdA[0] && !gRun.lastVmdW[0];
  if (kind == kCheckMotion || (kind == kCheckModel && nothingRead)) ReloadNameRegistry();
  int openError = 0;
  if (kind == kCheckModel) {
    RefusePmx();
  } else if (kind == kCheckMotion) {
    ReadMotion();
    if (!gVmdFacts.opened) openError = OpenError();
  } else {
    // Taken without being read: nothing of an earlier file stands for it.
    ResetReadFacts();
    openError = OpenError();
    if (openError == 1) openError = kOpenNotRead;
  }
  Report(shownPath ? shownPath : "", openError);
  return gFileReport.status;
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

}  // namespace

const char* ShownPath(const char* file, const char16_t* widefile, bool shownWide) {
  static char shown[kShownPathMax];
  const char16_t* wide = widefile ? widefile : gRun.nameW;
  if (wide[0] && (shownWide || !file[0]))
    unitoutf8(shown, sizeof shown, wide);
  else
    snprintf(shown, sizeof shown, "%s", file);
  return shown;
}

int CheckRefusedFile(const char* file, int openError, bool shownWide, const char16_t* widefile) {
  if (!TakeName(file, widefile)) gRun.nameW[0] = 0;
  ResetReadFacts();
  RecordFileStart(ShownPath(file, widefile, shownWide), openError);
  return gFileReport.status;
}

int CheckMotionFile(const char* file, const char16_t* widefile, bool shownWide) {
  if (!TakeName(file, widefile))
    return CheckRefusedFile(file, kOpenNameTooLong, shownWide, widefile);
  IdentifyTarget();
  gRun.isVmd = 0xFF;
  gRun.isPmx = 0;
  return CheckFile(kCheckMotion, ShownPath(file, widefile, shownWide));
}
