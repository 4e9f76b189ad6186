#include "app/target.h"

#include <cstdio>
#include <cstring>

#include "app/texts.h"
#include "base/diag.h"
#include "base/encoding.h"
#include "base/filechan.h"
#include "base/paths.h"
#include "base/runenv.h"
#include "platform/port.h"

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
