// What became of the read of one file, told the same way everywhere: the
// status line of the text views, the JSON's detail message, and the lines at
// the top of the window's report for a file that was not read whole (cut
// short, not a motion, not readable).
#pragma once
#include <cstdint>

struct ReadOutcome {
  int status;                    // a FileStatus
  const char* reason;            // unreadable: why, in words
  int32_t badHeaderAt, badHeaderByte;  // not a motion
  int64_t fileBytes;
  int cutPart;                   // cut: the VmdPart where reading stopped
  bool cutInCount;
  int64_t cutDeclared, cutRead;
  bool badCount, badIkCount;     // stopped at a negative count
  int32_t badCountValue;         // that count
  int64_t stopOffset;
};

// The outcome of the read just made, from the reader's facts; openError is
// the system's code when the file could not be opened.
void ReadOutcomeOfLastRead(ReadOutcome* o, int openError);
// One line saying what is wrong ("cut short in the morph section: ...; the
// bone keys are whole; lost: ..."); empty for a complete read.
void ReadOutcomeText(const ReadOutcome& o, char* dst, int cap);

// The open error of the last motion read (0 when it opened), kept for the
// report's status lines.
void SetReadOpenError(int code);
int ReadOpenError();
// The file is taken without being read (its name is no motion's): its
// report says so, or why it cannot be opened (code, 0 or 1 when it opens).
void SetFileNotRead(int code);

// For a motion that was not read whole, the report's status lines: the
// status and its reason in the colour of a fault and, for a file cut short,
// the verdict on the keys read before the cut. Nothing for a complete read.
void PutReadStatusLines();
