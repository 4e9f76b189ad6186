// The headless back end: a test double of the platform's process, locale and
// UI operations. Files are real (the POSIX back end); pauses advance a
// virtual clock; message boxes and the open-file dialog answer from a script
// and are recorded; the command line is set by the caller.
#pragma once
#include <cstdint>

constexpr int kHeadlessMaxArgs = 600;
constexpr int kHeadlessMaxBoxes = 16;

struct HeadlessBox {
  bool wide;            // shown with the UTF-16 form
  char text[4096];      // narrow text as given (wide: converted to UTF-8)
  char title[64];
  uint32_t style;
  int answer;
};

struct HeadlessState {
  // process
  const char* argv[kHeadlessMaxArgs];
  int argc;
  const char16_t* cmdlineW;  // when set: the Win32-style command line
  const char* cmdlineA;
  int64_t clockMs;           // virtual time spent in PortSleep
  int sleeps;
  // locale
  uint32_t codePage;         // console output and ANSI code page
  uint16_t langId;
  double osVersion;
  // message boxes: answers taken in order (then kIdOk), boxes recorded
  int answers[kHeadlessMaxBoxes];
  int answerCount, answerNext;
  HeadlessBox boxes[kHeadlessMaxBoxes];
  int boxCount;
  // open-file dialog: the path returned (UTF-8), or cancel when empty
  const char* dialogChoice;
  int dialogsShown;
  char dialogTitle[128];
  char dialogFilters[512];   // display texts and patterns joined by '|'
  char dialogInitialDir[512];
  char dialogInitialName[512];
  int dialogFilterIndex;
  int pumps;
};
extern HeadlessState gHeadless;

// Start state: no arguments, code page 65001, English, version 0.
void HeadlessReset();
// argv[0] is the executable path; the strings must outlive the run.
void HeadlessSetArgs(int argc, const char* const* argv);
void HeadlessQueueAnswer(int answer);
