#include "app/target.h"

#include <cstdio>
#include <cstring>

#include "analysis/file_report.h"
#include "analysis/read_status.h"
#include "app/texts.h"
#include "base/diag.h"
#include "base/encoding.h"
#include "base/filechan.h"
#include "base/paths.h"
#include "base/runenv.h"
#include "platform/port.h"
#include "vmd/vmdread.h"

void TestOpenEntry(int index) {
  const char* a = argat(&gArgsA, index);
  if (rfopenquiet(a) == 0) {
    DiagPrint(" -- correctly opened in ANSI or UTF-8. \n");
    rfclose();
    return;
  }
  DiagPrint(" -- could not open in ANSI or UTF-8. \n");
  if (pathhasq(a) != 0) DiagPrint("    Path includes '?' (invalid pathname). \n");
  if (rfopenWquiet(uniargat(&gArgsW, index)) == 0) {
    DiagPrint(" -- correctly opened in UTF-16. \n");
    rfclose();
  } else {
    DiagPrint(" -- could not open in UTF-16. (***) \n");
  }
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

// Appends text to a bounded string (cut when full, always terminated).
static void Append(char* dst, int cap, const char* text) {
  int n = (int)strnlen(dst, (size_t)cap);
  while (*text && n < cap - 1) dst[n++] = *text++;
  if (n < cap) dst[n] = 0;
}

int ConfirmTarget() {
  const bool jp = JapaneseMode();
  const int8_t level = gRun.cancelDialogue;
  if (level < 2) {
    if (jp) {
      DiagPrint("%s", gDriverTexts[kTxtThisFileJp]);
      DiagPrint("   %s \n", gRun.diskNameA);
      DiagPrint("%s", gDriverTexts[kTxtNoExtJp]);
      DiagPrint("%s", gDriverTexts[kTxtForceJp]);
    } else {
      DiagPrint(" This file: \n");
      DiagPrint("   %s \n", gRun.diskNameA);
      DiagPrint(" does not have extension \".VMD\" in the file name. \n");
      DiagPrint(" Do you like to continue? \n");
    }
  }
  if (level > 1) return 0;
  // The box text: the name line holds at most a 260-byte name.
  char text[1024] = "";
  char line[kPathMax + 16];
  if (jp) {
    Append(text, sizeof text, gDriverTexts[kTxtThisFileBoxJp]);
    snprintf(line, sizeof line, "   %s \r\n", gRun.diskNameA);
    Append(text, sizeof text, line);
    Append(text, sizeof text, gDriverTexts[kTxtNoExtBoxJp]);
    Append(text, sizeof text, " \r\n");
    Append(text, sizeof text, gDriverTexts[kTxtForceBoxJp]);
  } else {
    if (gRun.consoleOutputCp == 65001) {
      Append(text, sizeof text, " This file \r\n");
    } else {
      Append(text, sizeof text, " This file: \r\n");
      snprintf(line, sizeof line, "   %s \r\n", gRun.diskNameA);
      Append(text, sizeof text, line);
    }
    Append(text, sizeof text, " does not have extension \".VMD\" in the file name. \r\n");
    Append(text, sizeof text, " \r\n");
    Append(text, sizeof text, " Do you like to continue? ");
  }
  int answer = PortMessageBoxA(text, "Brenwick", kMbOkCancel | kMbIconInformation | kMbTopmost);
  return answer == kIdOk ? 0 : -1;
}

void RefusePmx() {
  DiagPrint("Reading .PMX: \n");
  DiagPrint("Sorry. This Lumeno version does not support PMX reading. \n");
}

// Why the file just read could not be opened, as an open error code: a FIFO
// or a device is named as such; a path with no UTF-16 form is asked through
// its narrow bytes.
static int WhyNotOpened() {
  const int kind = PortPathKindA(gRun.nameA);
  if (kind == kPathOther || kind == kPathFolder) return kOpenNotRegular;
  if (!gRun.nameW[0]) return kind == kPathNone ? 2 : 5;
  PortHandle h = kPortNoHandle;
  int error = PortOpenReadW(gRun.nameW, &h);
  if (error == 0) {
    PortCloseFile(h);
    error = 1;  // it opens now: the reason is gone
  }
  return error;
}

void NoteNotRead() { SetFileNotRead(WhyNotOpened()); }

void ReadMotion() {
  SetReadOpenError(0);
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
      if (!gVmdFacts.opened) SetReadOpenError(WhyNotOpened());
      return;
    }
    DiagPrint("Re-opening in UTF-16 ... \n");
    int r = readvmdW(gRun.nameW);
    if (r != 0) {
      gRun.wideFailed = 0xFF;
      DiagPrint("Could not open in UTF-16.(%d) (***) \n", r);
      if (!gVmdFacts.opened) SetReadOpenError(WhyNotOpened());
    }
  }
}
