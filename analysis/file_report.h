// The structured report of one checked file: what the read met (its status
// with the details, the sections), every track the motion drives, the
// findings, the verdict and the report's lines. It is gathered once, after
// the report and the verdict have been built, and only presented by the
// views (the text report, JSON, the page). All texts in it are UTF-8.
#pragma once
#include <cstdint>

#include "analysis/report_buffer.h"
#include "analysis/verdict.h"
#include "vmd/vmdread.h"

enum FileStatus { kStatusComplete, kStatusCut, kStatusNotMotion, kStatusUnreadable, kStatuses };
// "complete", "cut", "not-a-motion", "unreadable"
const char* StatusName(int status);

// Verdict categories, least severe first. A finding's severity is one of
// them, or info (which never changes the verdict).
enum Level { kLevelOk, kLevelSlight, kLevelRough, kLevelDropout, kLevelFix, kLevels };
constexpr int kSeverityInfo = kLevelOk;
// "ok", "slight", "rough", "dropout", "fix"
const char* CategoryName(int level);
// "info", "slight", "rough", "dropout", "fix"
const char* SeverityName(int level);

enum FindingCode {
  kCodeTwistBone, kCodeUpperBody2, kCodePlusBone, kCodeLegD, kCodeArmD, kCodeUpperBody3,
  kCodeIkParentFullWidth, kCodeLegIkParent, kCodeLegIkParentTurned, kCodeShoulderP,
  kCodeArmTwistRough, kCodeArmTwistSlight, kCodeLowerBody, kCodeWaist,
  kCodeCameraOnly, kCodeNoKeys, kCodeIkOff, kCodeNameCut, kCodeNameNotSjis,
  kCodeKeysNotCounted, kCodeReportCut,
  kCodes
};
// The stable code of a finding ("twist-bone", "ik-off", ...).
const char* FindingCodeName(int code);

// Section names as the views give them: "bone", "morph", "camera", "light",
// "selfShadow", "showIk"; and the parts before them: "header", "modelName".
const char* VmdPartName(int part);

constexpr int kNameUtf8 = 200;        // a 63-byte Shift-JIS name as UTF-8
constexpr int kNameHex = 2 * 64 + 1;  // its raw bytes as hex
constexpr int kPathUtf8 = 1040;       // 260 UTF-16 units as UTF-8
constexpr int kLineUtf8 = kReportCols * 3 + 1;
constexpr int kFindingMax = 256;
constexpr int kMessageMax = 400;

// One name of the motion: a bone or a morph with at least one key.
struct ReportTrack {
  int32_t entry;          // its NameTable entry
  char name[kNameUtf8];
  char hex[kNameHex];     // raw bytes, when not valid Shift-JIS or cut; else empty
  uint8_t nameBad;        // not valid Shift-JIS
  uint8_t nameCut;        // cut inside a double-byte character at the field's end
  uint8_t listed;         // it has a line of its own in the report
  uint8_t moved;          // bones: moved or turned noticeably
  uint32_t colour;        // of its line in the report, 0xRRGGBB
  uint32_t flags;         // bit (1 << FindingCode) for each finding about it
  int32_t keys, firstFrame, lastFrame;
  // bones
  float maxPos;
  double rotDeg;
  double twistPlusDeg, twistMinusDeg;
  int32_t twistPlusFrame, twistMinusFrame;  // -1: none
  uint8_t twisted;        // a twist bone, or an arm or elbow bone
  // morphs
  float minWeight, maxWeight;
};

enum FindingSubject { kAboutNothing, kAboutBone, kAboutMorph, kAboutModel, kAboutIk };

struct ReportFinding {
  int code;
  int severity;
  int subject;            // what `name` names
  char name[kNameUtf8];
  int32_t frame;          // ik-off: from this frame; else -1
  char message[kMessageMax];
};

struct ReportLine {
  uint32_t colour;  // 0xRRGGBB
  char text[kLineUtf8];
};

struct FileReport {
  char path[kPathUtf8];
  int status;
  // unreadable: the system's error code and its reason
  int openError;
  char reason[64];
  // not a motion: the first header byte that did not match (-1: the end)
  int32_t badHeaderAt, badHeaderByte;
  // cut: where the file ended
  int cutPart;
  bool cutInCount;
  int64_t cutDeclared, cutRead;
  // cut at a negative count (of a section, or of a show-and-IK record's IKs):
  // reading stopped at stopOffset, cutDeclared holds the count
  bool badCount, badIkCount;
  int32_t badCountValue;
  int64_t stopOffset;
  // what was read (complete and cut files)
  bool read;
  uint32_t fileBytes;
  bool present[kVmdSections];
  int32_t declared[kVmdSections];
  int64_t records[kVmdSections];
  int64_t trailingBytes;
  int64_t keys;           // bone and morph keys read
  int32_t durationFrames;
  char modelName[kNameUtf8];
  char modelHex[kNameHex];  // raw bytes, when not valid Shift-JIS or cut; else empty
  bool modelBad, modelCut;  // not valid Shift-JIS; a lone lead byte cut off its end
  // verdict (read files only)
  int category;
  uint32_t categories;    // bit (1 << Level) for each category present
  char verdict[kBoxText * 4 + 1];
  int boneCount, morphCount;
  ReportTrack bones[kBoneTracks];
  ReportTrack morphs[kMorphTracks];
  int findingCount, findingsOmitted;
  ReportFinding findings[kFindingMax];
  int lineCount;
  ReportLine lines[kReportLines];
};
extern FileReport gFileReport;

// Gathers the report of the file just checked, from the reader's facts, the
// tracks, the findings, the ReportBuffer and the verdict text: call after the
// motion read, buildreport and buildverdict. path: the file as shown (UTF-8);
// openError: the system's error code when the file could not be opened.
void GatherFileReport(const char* path, int openError);

// The reason for an error code of the port's file opens ("no such file", ...),
// or for one of the codes below.
void OpenErrorText(int code, char* dst, int cap);
constexpr int kOpenNameTooLong = 206;  // the system's own code for it
constexpr int kOpenNotRegular = -2;    // a FIFO, a device: refused unopened
// One line saying what is wrong with a file that is not complete ("cut short
// in the morph section: ..."); empty for a complete file.
void StatusMessage(const FileReport& r, char* dst, int cap);
