// The recorded report of one checked file: what the read met (its status
// with the details, the sections), every track the motion drives, the
// findings, the verdict and the report's lines. Each fact is recorded where
// it is decided: the read's facts and the tracks when the read is done, a
// finding when findbones sets its bit, a track's line and colour when the
// list writes it, the category and the verdict texts when the verdict is
// built. The views (the window, the text report, JSON, the page) only
// present it. Names are UTF-8; the report's lines and the verdict texts keep
// the encodings they were written in (Shift-JIS, and UTF-16 beside it).
#pragma once
#include <cstdint>

#include "analysis/report_buffer.h"
#include "vmd/vmdread.h"

constexpr int kBoxText = 4096;  // the verdict box texts, in units

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
// What a person reads (UTF-8), in English or Japanese: a category's label
// ("Needs fixing" ... "Usable as it is"; "要修正" ... "OK") and a status's short
// words ("Cut short", "Not a motion", "Could not be read"; "" for complete).
const char* CategoryLabel(int level, bool japanese);
const char* StatusLabel(int status, bool japanese);

enum FindingCode {
#define TARVEL_FINDING(id, code, severity, fixable, message, variant) kCode##id,
#include "analysis/findings.def"
#undef TARVEL_FINDING
  kCodes
};
// The stable code of a finding ("twist-bone", "ik-off", ...).
const char* FindingCodeName(int code);
// Its default severity (a Level; kSeverityInfo for info).
int FindingSeverity(int code);
// Whether the VRM-ready copy folds it away from the motion alone.
bool FindingFixable(int code);
// Its message, and that of its second form ("" where it has none).
const char* FindingMessage(int code);
const char* FindingVariant(int code);

// Section names as the views give them: "bone", "morph", "camera", "light",
// "selfShadow", "showIk"; and the parts before them: "header", "modelName".
const char* VmdPartName(int part);

constexpr int kNameUtf8 = 200;        // a 63-byte Shift-JIS name as UTF-8
constexpr int kNameHex = 2 * 64 + 1;  // its raw bytes as hex
constexpr int kPathUtf8 = 1040;       // 260 UTF-16 units as UTF-8
// A file's path as the report names it, whole: the longest argument a system
// hands a program (Linux: 32 pages; Windows: 32767 UTF-16 units as UTF-8), so
// that a path refused as too long is still named as given.
constexpr int kShownPathMax = 131072;
constexpr int kLineUtf8 = kReportCols * 3 + 1;
constexpr int kVerdictUtf8 = kBoxText * 4 + 1;
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
  int32_t posFrame, rotFrame;  // frames of the largest movement and rotation (when not 0)
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

// A line of the report as the ReportBuffer wrote it: Shift-JIS, its line
// feed kept where the list wrote one.
struct ReportLine {
  uint32_t colour;  // 0xRRGGBB
  uint16_t length;  // bytes
  char text[kReportCols];
};

struct FileReport {
  char path[kShownPathMax];
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
  // reading stopped at stopOffset
  bool badCount, badIkCount;
  int32_t badCountValue;
  int64_t stopOffset;
  // what was read (complete and cut files)
  bool read;
  int64_t fileBytes;
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
  // the verdict box's texts, Shift-JIS and UTF-16, CR LF line breaks
  char boxtext[kBoxText];
  char16_t boxtextw[kBoxText];
  int boneCount, morphCount;
  ReportTrack bones[kBoneTracks];
  ReportTrack morphs[kMorphTracks];
  int findingCount, findingsOmitted;
  ReportFinding findings[kFindingMax];
  int lineCount;
  int widest;             // bytes of the longest line
  ReportLine lines[kReportLines];
};
extern FileReport gFileReport;

// Recording, in the order of the per-file sequence:
// The file just read (or not read): its path as shown (UTF-8), the system's
// error code when it could not be opened, what the read met and the tracks.
void RecordFileStart(const char* path, int openError);
// findbones: a finding about a bone of the vocabulary (entry: its NameTable
// entry, text: its Shift-JIS entry text), in its second form when variant.
void RecordBoneFinding(int code, int severity, int entry, const char* text, bool variant = false);
// listbones / listmorphs: the colour of a track's line (table 1 bones, 2
// morphs), and whether the list gave it a line of its own.
void RecordTrackLine(int table, int entry, uint32_t rgb, bool listed);
// Whether the entry has a track in the report (RecordTrackLine does nothing
// for one that has none).
bool TrackRecorded(int table, int entry);
// buildverdict: the category of the verdict and every category present.
void RecordVerdict(int category, uint32_t categories);
// After the report and the verdict: the findings about the file as a whole
// and its names, and the report's lines.
void RecordFileEnd();

// The verdict box's text as the views give it: UTF-8, LF line breaks.
void VerdictUtf8(const FileReport& r, char* dst, int cap);
// A report line as the views give it: UTF-8 without its line feed.
void LineUtf8(const ReportLine& l, char* dst, int cap);

// The reason for an error code of the port's file opens, in words ("no such
// file", "too many levels of symbolic links", ...), or for one of the codes
// below; a code with no words of its own is "cannot open (system error N)".
void OpenErrorText(int code, char* dst, int cap);
constexpr int kOpenNameTooLong = 206;  // the system's own code for it
constexpr int kOpenNotRegular = -2;    // a FIFO, a device: refused unopened
constexpr int kOpenTooLarge = -3;      // the page: more than the browser can read
constexpr int kOpenNotRead = -4;       // taken without being read: its name is no motion's
// One line saying what is wrong with a file that is not complete ("cut short
// in the morph section: ..."); empty for a complete file.
void StatusMessage(const FileReport& r, char* dst, int cap);
