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

// One line saying what is wrong ("cut short in the morph section: ...; the
// bone keys are whole; lost: ..."); empty for a complete read.
void ReadOutcomeText(const ReadOutcome& o, char* dst, int cap);

// For a file that was not read whole (as gFileReport records it), the
// report's status lines under the file's name: the status and its reason in
// the colour of a fault; for a file cut short, a line for its verdict on the
// keys read before the cut, filled by FillCutVerdictLine once the verdict is
// built. Nothing for a complete motion or a PMX model.
void PutReadStatusLines();
void FillCutVerdictLine();
