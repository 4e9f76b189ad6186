#include "app/driver.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/target.h"
#include "app/texts.h"
#include "app/window_copy.h"
#include "base/diag.h"
#include "base/encoding.h"
#include "base/filechan.h"
#include "base/paths.h"
#include "base/runenv.h"
#include "check/check.h"
#include "dialogs/openfile.h"
#include "display/report_loop.h"
#include "platform/port.h"

// '/' starts an option only where it is not the start of every absolute path.
static bool IsOptionStart(char c) { return c == '-' || (c == '/' && PortDirSeparator() != '/'); }

static void DetectEnvironment() {
  double version = PortOsVersion();
  gRun.consoleOutputCp = PortConsoleOutputCp();
  (void)PortConsoleCp();
  gRun.japaneseUser = gRun.sjisConsole = gRun.utf8Console = 0;
  if (PortUserLangId() == 0x0411) {
    gRun.japaneseUser = 0xFF;
    if (PortIsDbcsLeadByte(0x92)) {
      if (gRun.consoleOutputCp == 65001) {
        gRun.utf8Console = 0xFF;
      } else if (gRun.consoleOutputCp == 932) {
        gRun.sjisConsole = 0xFF;
        gRun.utf8Console = 0;
      }
    } else if (gRun.consoleOutputCp == 65001) {
      gRun.utf8Console = 0xFF;
    }
  }
  PortSleep(500);

  char versionText[64];
  if (version <= 0.0) snprintf(versionText, sizeof versionText, " on %s ", PortOsName());
  else if (version >= 10.0) snprintf(versionText, sizeof versionText, " on Windows %g ", version);
  else if (version >= 6.3) snprintf(versionText, sizeof versionText, " on Windows 8.1 ");
  else if (version >= 6.2) snprintf(versionText, sizeof versionText, " on Windows 8 ");
  else if (version >= 6.1) snprintf(versionText, sizeof versionText, " on Windows 7 ");
  else if (version >= 6.0) snprintf(versionText, sizeof versionText, " on Windows Vista ");
  else if (version >= 5.2) snprintf(versionText, sizeof versionText, " on Windows XP ");
  else if (version >= 5.1) snprintf(versionText, sizeof versionText, " on Windows 2000 ");
  else snprintf(versionText, sizeof versionText, " on Windows 95-98,Me ");
  const char* mode = "(English mode) ";
  if (JapaneseMode()) mode = gDriverTexts[kTxtJapaneseEnv];
  else if (gRun.japaneseUser && gRun.utf8Console) mode = "(UTF-8日本語環境) ";
  DiagPrint("Tarvel V1.21 - VMD checker for VRM avatars%s%s\n", versionText, mode);
}

// Both argument lists, and the executable's directory from entry 0 of each,
// with the current directory as the fallback when entry 0 is a bare name. A
// directory too long for its buffer, or an entry 0 with no form in that list,
// stays empty (unknown), never cut or guessed: nothing is then looked for or
// written beside the executable by that route.
static void SplitAndFindExeDir() {
  splitargs();
  const char16_t* exeW = uniargat(&gArgsW, 0);
  if (!exeW[0] || unigetdir(gRun.exeDirW, kPathMax, exeW) != 0) {
    DiagPrint("(Exe dir unknown.) \n");
  } else if (!gRun.exeDirW[0]) {
    if (PortCurrentDirW(gRun.exeDirW, kPathMax - 1) == 0) {
      char16_t sep[2] = {(char16_t)PathSeparator(), 0};
      unicat(gRun.exeDirW, kPathMax, sep);
    } else {
      gRun.exeDirW[0] = 0;
      DiagPrint("(Obtaining exe dir failed.) \n");
    }
  }
  const char* exeA = argat(&gArgsA, 0);
  if (!exeA[0] || getdir(gRun.exeDirA, kPathMax, exeA) != 0) {
    DiagPrint("(Exe dir unknown.) \n");
  } else if (!gRun.exeDirA[0]) {
    if (PortCurrentDirA(gRun.exeDirA, kPathMax - 1) == 0) {
      size_t n = strlen(gRun.exeDirA);
      gRun.exeDirA[n] = PathSeparator();
      gRun.exeDirA[n + 1] = 0;
    } else {
      gRun.exeDirA[0] = 0;
      DiagPrint("(Obtaining exe dir failed.) \n");
    }
  }
}

static int UsagePath() {
  DiagPrint("Usage \n");
  DiagPrint("   Tarvel [Options] <vmdFileName> \n");
  DiagPrint(" Options \n");
  DiagPrint("   -ND     cancel displaying dialogue (no dialogue) (non-stop)  \n");
  return 0;
}

// No file named: ask for one. 0 when a file was chosen and opens, -1 otherwise.
// The choice enters both argument lists together, or neither.
static int AskForFile() {
  if (gArgsW.count >= gArgsA.count) {
    char16_t path[kPathMax];
    if (openfiledlgW(path, kPathMax, 4, gRun.exeDirW) != 0) return -1;
    char narrow[kPathMax * 2];
    unitonarrowpath(narrow, sizeof narrow, path);
    if (addargpair(&gArgsA, &gArgsW, narrow, path) != 0) return -1;
    if (rfopenWquiet(path) != 0) return -1;
  } else {
    char path[kPathMax * 2];
    if (openfiledlg(path, sizeof path, 4, gRun.exeDirA) != 0) return -1;
    char16_t wide[kPathMax];
    narrowtounipath(wide, kPathMax, path);
    if (addargpair(&gArgsA, &gArgsW, path, wide) != 0) return -1;
    if (rfopenquiet(path) != 0) return -1;
  }
  rfclose();
  gRun.displayLevel = 0;
  return 0;
}

// Scans one option entry; stores the values only when store is set.
static void ScanOptions(const char* entry, bool store) {
  const char* p = entry;
  while (*p) {
    char c = *p;
    if (c == '-' || c == '/') {
      p++;
    } else if (c == 'D' || c == 'd') {
      p++;
      if (*p == '=') p++;
      if (*p >= '0' && *p <= '9') {
        char* end;
        long v = strtol(p, &end, 10);
        if (store) gRun.displayLevel = (int8_t)(v & 0xFF);
        p = end;
      } else if (store) {
        gRun.displayLevel = 1;
      }
      if (store) DiagPrint("Info.displayLevel = %ld. \n", (long)gRun.displayLevel);
    } else if ((c == 'N' || c == 'n') && (p[1] == 'D' || p[1] == 'd')) {
      p += 2;
      if (*p == '=') p++;
      if (*p >= '0' && *p <= '9') {
        char* end;
        long v = strtol(p, &end, 10);
        if (store) gRun.cancelDialogue = (int8_t)(v & 0xFF);
        p = end;
      } else if (store) {
        gRun.cancelDialogue = 1;
      }
      if (store) DiagPrint("Cancel.displaying.dialogue = %d \n", gRun.cancelDialogue);
    } else if (c == 'N' || c == 'n') {
      p++;
      if (*p == '=') p++;
      char* end;
      (void)strtol(p, &end, 10);  // read and without effect
      p = end;
    } else {
      DiagPrint("\nOption error: <%c> %02X", c, (unsigned char)c);
      p++;
    }
  }
}

// The entry's two forms; a form too long for its buffer is left empty (not
// found), never cut.
static void CopyEntry(int index) {
  const char* a = index < gArgsA.count ? argat(&gArgsA, index) : "";
  const char16_t* w = index < gArgsW.count ? uniargat(&gArgsW, index) : u"";
  gRun.nameA[0] = 0;
  if (strnlen(a, sizeof gRun.nameA) < sizeof gRun.nameA) snprintf(gRun.nameA, sizeof gRun.nameA, "%s", a);
  else DiagPrint("Path too long. \n");
  gRun.nameW[0] = 0;
  if (unilen(w) < kPathMax) unicpy(gRun.nameW, kPathMax, w);
  else DiagPrint("Path too long. \n");
}

static void CancelPath(int index) {
  bool jp = JapaneseMode();
  if (jp) DiagPrint("%s", gDriverTexts[kTxtSkipJp]);
  else DiagPrint("Processing for this file was skipped (or aborted). \n");
  if (index == gArgsA.count - 1) {
    DiagPrint(" \n");
    if (jp) DiagPrint("%s", gDriverTexts[kTxtNotModifiedJp]);
    else DiagPrint("No file was modified. \n");
  }
  DiagPrint("\n");
  PortSleep(700);
  gRun.exitStatus |= 16;
}

static void EndOfRun() {
  while (PumpMessages() != 0) TakePendingCode();
  if (ReportWindowExists()) {
    CloseReportWindow();
  } else {
    PumpMessages();
    PortSleep(200);
    PumpMessages();
  }
}

int TarvelMain() {
  ResetRunEnv();
  ResetArgLists();
  char sep = PortDirSeparator();
  SetPathSeparators(sep, '/');
  gRun.sjisNames = PortAnsiCodePage() == 932 ? 0xFF : 0;
  DetectEnvironment();

  SplitAndFindExeDir();
  gRun.displayLevel = 0;
  gRun.cancelDialogue = 0;

  if (gArgsA.count < 2 && AskForFile() != 0) return UsagePath();

  int last = gArgsA.count < kArgMax ? gArgsA.count : kArgMax;
  for (int i = 1; i < last; i++) {
    const char* entry = argat(&gArgsA, i);
    if (IsOptionStart(entry[0])) ScanOptions(entry, true);
    else TestOpenEntry(i);
  }

  gRun.exitStatus = 0;
  for (int index = 1; index < gArgsA.count; index++) {
    gRun.fontFailed = gRun.narrowFailed = gRun.wideFailed = 0;
    if (index >= kArgMax) break;
    const char* entry = argat(&gArgsA, index);
    if (IsOptionStart(entry[0])) {
      ScanOptions(entry, false);
      continue;
    }
    CopyEntry(index);
    gRun.narrowFailed = gRun.nameA[0] ? 0 : 0xFF;
    gRun.wideFailed = gRun.nameW[0] ? 0 : 0xFF;

    IdentifyTarget();
    if (!gRun.isVmd && !gRun.isPmx && ConfirmTarget() != 0) {
      CancelPath(index);
      break;
    }
    DiagPrint("  for Lumeno 3.10-3.13 \n");
    // named as the report tool names it (the window's title shows its name)
    CheckFile(gRun.isPmx ? kCheckModel : gRun.isVmd ? kCheckMotion : kCheckOther,
              ShownPath(gRun.nameA, nullptr, PortAnsiCodePage() != 65001));

    int outcome = RunReportWindow(WindowMakeCopy);
    if (outcome < 0) return 1;  // the cursor set could not be made
  }
  EndOfRun();
  return gRun.exitStatus;
}
