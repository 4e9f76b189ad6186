// Process-wide run state shared by the driver, the registry reload, the
// report and the display: environment, options, the executable's directory,
// the current file and the last motion read.
#pragma once
#include <cstdint>

constexpr int kPathMax = 260;

struct RunEnv {
  // environment (start-up)
  uint8_t japaneseUser;   // 0 / 0xFF
  uint8_t sjisConsole;
  uint8_t utf8Console;
  uint32_t consoleOutputCp;
  // options
  int8_t displayLevel;    // Info.displayLevel (-D)
  int8_t cancelDialogue;  // Cancel.displaying.dialogue (-ND)
  // directory of the executable, with a trailing separator
  char exeDirA[kPathMax];
  char16_t exeDirW[kPathMax];
  // current file of the file loop
  char nameA[kPathMax * 2];
  char16_t nameW[kPathMax];
  char diskNameA[kPathMax];
  char16_t diskNameW[kPathMax];
  uint8_t isVmd, isPmx;
  uint8_t narrowFailed, wideFailed, fontFailed;
  // narrow names are Shift-JIS (code page 932): the report's file line may
  // show the narrow form; elsewhere it shows the UTF-16 form (set by the
  // front end)
  uint8_t sjisNames;
  // on-disk name of the last file taken as a motion in this run
  char lastVmdA[kPathMax];
  char16_t lastVmdW[kPathMax];
  int32_t exitStatus;
};

extern RunEnv gRun;

// Everything back to its start value (consoleOutputCp from the platform).
void ResetRunEnv();
// Japanese mode: japaneseUser and sjisConsole both set.
bool JapaneseMode();

// Pending event code shared by the window and its loops.
int32_t SetPendingCode(int32_t code);  // returns the code pending before
int32_t TakePendingCode();             // returns it and clears it
// One pass of the window system's events; returns the pending code (kept).
int32_t PumpMessages();
