#include "analysis/file_report.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "vmd/rotation.h"
#include "base/encoding.h"
#include "names/nametable.h"
#include "analysis/read_status.h"
#include "vmd/untracked.h"

FileReport gFileReport;

namespace {

const char* const kStatusNames[kStatuses] = {"complete", "cut", "not-a-motion", "unreadable"};
const char* const kCategoryNames[kLevels] = {"ok", "slight", "rough", "dropout", "fix"};
const char* const kSeverityNames[kLevels] = {"info", "slight", "rough", "dropout", "fix"};
// The labels the page and the window show, English then Japanese.
const char* const kCategoryLabels[2][kLevels] = {
    {"Usable as it is", "Slightly rough", "Somewhat rough", "Needs checking", "Needs fixing"},
    {"OK", "少し荒れ", "やや荒れ", "確認要", "要修正"},
};
const char* const kStatusLabels[2][kStatuses] = {
    {"", "Cut short", "Not a motion", "Could not be read"},
    {"", "途中で切れています", "モーションではありません", "読み込めません"},
};
struct FindingRow {
  const char* code;
  int severity;
  bool fixable;
  const char* message;
  const char* variant;
};
const FindingRow kFindingRows[kCodes] = {
#define TARVEL_FINDING(id, code, severity, fixable, message, variant) \
  {code, severity, fixable, message, variant},
#include "analysis/findings.def"
#undef TARVEL_FINDING
};
const char* const kPartNames[kVmdParts] = {"header", "modelName", "bone",       "morph",
                                           "camera", "light",     "selfShadow", "showIk"};

constexpr int kBoneTable = 1;
constexpr int kMorphTable = 2;
constexpr uint32_t kWhite = 0xFFFFFF;

// Whether s is valid Shift-JIS: every byte a character of its own or a lead
// byte with a trail byte, and every double-byte character mapped. A lone lead
// byte at the very end counts as valid when allowCutEnd is set (that is a
// cut, told apart).
bool SjisValid(const char* s, bool allowCutEnd) {
  const unsigned char* u = reinterpret_cast<const unsigned char*>(s);
  for (size_t i = 0; u[i];) {
    const unsigned c = u[i];
    if (c < 0x80 || (c >= 0xA1 && c <= 0xDF)) {
      i++;
      continue;
    }
    if (!((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC))) return false;
    const unsigned t = u[i + 1];
    if (t == 0) return allowCutEnd;
    if (t < 0x40 || t == 0x7F || t > 0xFC) return false;
    if (!sjiscodemapped(c * 256 + t)) return false;  // no mapping
    i += 2;
  }
  return true;
}

void Hex(char* dst, int cap, const char* s) {
  static const char kDigits[] = "0123456789abcdef";
  int n = 0;
  for (const unsigned char* u = reinterpret_cast<const unsigned char*>(s); *u && n + 2 < cap; u++) {
    dst[n++] = kDigits[*u >> 4];
    dst[n++] = kDigits[*u & 15];
  }
  dst[n] = 0;
}

// A name as the views give it: UTF-8 text, and its raw bytes as hex when it
// is not valid Shift-JIS or was cut (field: the width of its field in the file).
void Name(const char* sjis, int field, char* utf8, char* hex, uint8_t* bad, uint8_t* cut) {
  char copy[kNameSlot];
  const size_t n = strnlen(sjis, sizeof copy - 1);
  memcpy(copy, sjis, n);
  copy[n] = 0;
  const bool wasCut = field > 0 && (int)strlen(copy) == field && CutLoneLead(copy);
  const bool isBad = !SjisValid(sjis, wasCut);
  sjistoutf8(utf8, kNameUtf8, sjis);
  hex[0] = 0;
  if (wasCut || isBad) Hex(hex, kNameHex, sjis);
  if (bad) *bad = isBad ? 0xFF : 0;
  if (cut) *cut = wasCut ? 0xFF : 0;
}

ReportFinding* AddFinding(int code, int severity, int subject, const char* name, const char* fmt,
                          ...) __attribute__((format(printf, 5, 6)));

ReportFinding* AddFinding(int code, int severity, int subject, const char* name, const char* fmt,
                          ...) {
  FileReport& r = gFileReport;
  if (r.findingCount >= kFindingMax) {
    r.findingsOmitted++;
    return nullptr;
  }
  ReportFinding& f = r.findings[r.findingCount++];
  f.code = code;
  f.severity = severity;
  f.subject = subject;
  snprintf(f.name, sizeof f.name, "%s", name ? name : "");
  f.frame = -1;
  va_list ap;
  va_start(ap, fmt);
  vsnprintf(f.message, sizeof f.message, fmt, ap);
  va_end(ap);
  return &f;
}

// Where each NameTable entry's track stands in the report (1 and up), 0 for
// none; cleared entry by entry for the next file.
int16_t gBoneSlot[kBoneTracks];
int16_t gMorphSlot[kMorphTracks];

ReportTrack* TrackOf(int table, int entry) {
  FileReport& r = gFileReport;
  if (table == kBoneTable && entry > 0 && entry < kBoneTracks && gBoneSlot[entry] > 0)
    return &r.bones[gBoneSlot[entry] - 1];
  if (table == kMorphTable && entry > 0 && entry < kMorphTracks && gMorphSlot[entry] > 0)
    return &r.morphs[gMorphSlot[entry] - 1];
  return nullptr;
}

// The next track of the report, for a NameTable entry with keys: what bones
// and morphs have alike.
ReportTrack& NewTrack(ReportTrack* tracks, int* n, int table, int entry, int32_t keys,
                      int32_t first, int32_t last) {
  ReportTrack& t = tracks[(*n)++];
  if (table == kBoneTable) gBoneSlot[entry] = static_cast<int16_t>(*n);
  else gMorphSlot[entry] = static_cast<int16_t>(*n);
  memset(&t, 0, sizeof t);
  t.entry = entry;
  Name(NameAt(table, entry), 15, t.name, t.hex, &t.nameBad, &t.nameCut);
  t.colour = kWhite;
  t.keys = keys;
  t.firstFrame = first;
  t.lastFrame = last;
  t.twistPlusFrame = t.twistMinusFrame = -1;
  t.posFrame = t.rotFrame = -1;
  gFileReport.keys += keys;
  return t;
}

void GatherBones() {
  FileReport& r = gFileReport;
  const int count = NameCount(kBoneTable);
  for (int e = 1; e <= count && e < kBoneTracks; e++) {
    const BoneTrack& b = gBoneTracks[e];
    if (b.keycount <= 0) continue;
    ReportTrack& t =
        NewTrack(r.bones, &r.boneCount, kBoneTable, e, b.keycount, b.firstframe, b.lastframe);
    const char* text = NameAt(kBoneTable, e);
    t.moved = b.moved == 0xFF ? 0xFF : 0;
    t.maxPos = b.maxpos;
    t.rotDeg = amount2deg(b.maxrot);
    if (b.maxpos > 0.0f) t.posFrame = b.atmaxpos;
    if (b.maxrot > 0.0f) t.rotFrame = b.atmaxrot;
    for (int i = 0; TwistMeasuredBone(i); i++)
      if (!strcmp(text, TwistMeasuredBone(i))) t.twisted = 0xFF;
    t.twistPlusDeg = amount2deg(b.maxtwsplus);
    t.twistPlusFrame = b.attwsplus;
    t.twistMinusDeg = amount2deg(b.maxtwsminus);
    t.twistMinusFrame = b.attwsminus;
  }
}

void GatherMorphs() {
  FileReport& r = gFileReport;
  const int count = NameCount(kMorphTable);
  for (int e = 1; e <= count && e < kMorphTracks; e++) {
    const MorphTrack& m = gMorphTracks[e];
    if (m.keycount <= 0) continue;
    ReportTrack& t =
        NewTrack(r.morphs, &r.morphCount, kMorphTable, e, m.keycount, m.firstframe, m.lastframe);
    t.minWeight = m.minval;
    t.maxWeight = m.maxval;
  }
}

void NameFindings(ReportTrack* tracks, int n, int subject, const char* kind) {
  for (int i = 0; i < n; i++) {
    ReportTrack& t = tracks[i];
    if (t.nameCut) {
      t.flags |= 1u << kCodeNameCut;
      AddFinding(kCodeNameCut, kSeverityInfo, subject, t.name, FindingMessage(kCodeNameCut), kind,
                 t.name, t.hex);
    }
    if (t.nameBad) {
      t.flags |= 1u << kCodeNameNotSjis;
      AddFinding(kCodeNameNotSjis, kSeverityInfo, subject, t.name,
                 FindingMessage(kCodeNameNotSjis), kind, t.name, t.hex);
    }
  }
}

void GatherInfoFindings() {
  FileReport& r = gFileReport;
  const VmdReadFacts& f = gVmdFacts;
  if (r.keys == 0) {
    int64_t others = 0;
    for (int s = 2; s < kVmdSections; s++) others += r.records[s];
    if (others > 0)
      AddFinding(kCodeCameraOnly, kSeverityInfo, kAboutNothing, "", "%s",
                 FindingMessage(kCodeCameraOnly));
    else
      AddFinding(kCodeNoKeys, kSeverityInfo, kAboutNothing, "", "%s", FindingMessage(kCodeNoKeys));
  }
  for (int i = 0; i < f.ikOffCount; i++) {
    char name[kNameUtf8];
    sjistoutf8(name, sizeof name, f.ikOff[i].name);
    ReportFinding* x = AddFinding(kCodeIkOff, kSeverityInfo, kAboutIk, name,
                                  FindingMessage(kCodeIkOff), name,
                                  static_cast<int>(f.ikOff[i].frame));
    if (x) x->frame = f.ikOff[i].frame;
  }
  r.findingsOmitted += f.ikOffOmitted;
  if (r.modelCut)
    AddFinding(kCodeNameCut, kSeverityInfo, kAboutModel, r.modelName, FindingVariant(kCodeNameCut),
               r.modelName);
  if (r.modelBad)
    AddFinding(kCodeNameNotSjis, kSeverityInfo, kAboutModel, r.modelName,
               FindingVariant(kCodeNameNotSjis), r.modelName, r.modelHex);
  NameFindings(r.bones, r.boneCount, kAboutBone, "bone");
  NameFindings(r.morphs, r.morphCount, kAboutMorph, "morph");
}

// What the report could not hold: keys of names with no track, and lines
// beyond the report's last.
void GatherLimitFindings() {
  static const char* const kKinds[2] = {"bone", "morph"};
  static const int kTracks[2] = {kBoneTracks, kMorphTracks};
  for (int s = 0; s < 2; s++) {
    if (gUntracked.keys[s] == 0) continue;
    AddFinding(kCodeKeysNotCounted, kSeverityInfo, kAboutNothing, "",
               FindingMessage(kCodeKeysNotCounted), static_cast<long long>(gUntracked.keys[s]),
               kKinds[s], gUntracked.namesMore[s] ? "at least " : "", gUntracked.names[s], kKinds[s],
               kKinds[s], kTracks[s] - 1);
  }
  const int dropped = rbdropped();
  if (dropped > 0)
    AddFinding(kCodeReportCut, kSeverityInfo, kAboutNothing, "", FindingMessage(kCodeReportCut),
               kReportLines, dropped + 1);
}

// The lines as the ReportBuffer holds them.
void RecordLines() {
  FileReport& r = gFileReport;
  r.lineCount = gReport.linecount < kReportLines ? gReport.linecount : kReportLines;
  r.widest = gReport.widest;
  for (int i = 0; i < r.lineCount; i++) {
    const uint32_t c = gReport.cellcolour[i][0];  // blue << 16 | green << 8 | red
    ReportLine& l = r.lines[i];
    l.colour = (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
    l.length = gReport.linelength[i];
    memcpy(l.text, gReport.lines[i], sizeof l.text);
    l.text[kReportCols - 1] = 0;
  }
}

}  // namespace

const char* StatusName(int status) {
  return status >= 0 && status < kStatuses ? kStatusNames[status] : "";
}
const char* CategoryName(int level) {
  return level >= 0 && level < kLevels ? kCategoryNames[level] : "";
}
const char* SeverityName(int level) {
  return level >= 0 && level < kLevels ? kSeverityNames[level] : "";
}
const char* CategoryLabel(int level, bool japanese) {
  return level >= 0 && level < kLevels ? kCategoryLabels[japanese][level] : "";
}
const char* StatusLabel(int status, bool japanese) {
  return status >= 0 && status < kStatuses ? kStatusLabels[japanese][status] : "";
}
const char* FindingCodeName(int code) {
  return code >= 0 && code < kCodes ? kFindingRows[code].code : "";
}
int FindingSeverity(int code) { return code >= 0 && code < kCodes ? kFindingRows[code].severity : 0; }
bool FindingFixable(int code) { return code >= 0 && code < kCodes && kFindingRows[code].fixable; }
const char* FindingMessage(int code) {
  return code >= 0 && code < kCodes ? kFindingRows[code].message : "";
}
const char* FindingVariant(int code) {
  return code >= 0 && code < kCodes ? kFindingRows[code].variant : "";
}
const char* VmdPartName(int part) { return part >= 0 && part < kVmdParts ? kPartNames[part] : ""; }

void OpenErrorText(int code, char* dst, int cap) {
  // The port's codes are in Windows numbering on every system.
  static const struct {
    int code;
    const char* text;
  } kReasons[] = {
      {2, "no such file"},
      {3, "no such folder"},
      {4, "too many open files"},
      {5, "access denied"},
      {8, "not enough memory"},
      {15, "no such drive"},
      {21, "the device is not ready"},
      {23, "data error: the disk could not be read"},
      {32, "the file is in use by another program"},
      {33, "part of the file is locked by another program"},
      {50, "not supported"},
      {53, "network path not found"},
      {55, "no such device"},
      {64, "the network name is no longer available"},
      {67, "network name not found"},
      {87, "invalid argument"},
      {123, "not a valid file name"},
      {161, "not a valid path"},
      {kOpenNameTooLong, "name too long"},
      {223, "the file is too large"},
      {225, "the file holds a virus"},
      {267, "not a valid folder name"},
      {362, "the cloud file provider is not running"},
      {1117, "input/output error"},
      {1392, "the file is damaged"},
      {1920, "the system cannot reach the file"},
      {1921, "too many levels of symbolic links"},
      {4350, "the file is offline"},
      {kOpenNotRegular, "not a regular file"},
      {kOpenTooLarge, "larger than the browser can read (over 2 GiB)"},
      {kOpenNotRead, "not read: its name is not a motion's (.vmd)"},
  };
  for (const auto& r : kReasons) {
    if (r.code == code) {
      snprintf(dst, cap, "%s", r.text);
      return;
    }
  }
  snprintf(dst, cap, "cannot open (system error %d)", code);
}

// A motion lasts as long as its bone and morph keys; camera, light,
// self-shadow and show-and-IK keys count only for a motion with neither.
// The records of the section a file is cut in never count: the last ones
// read before the cut are often garbage.
static int32_t DurationFrames(const VmdReadFacts& f) {
  int32_t last[2] = {0, 0};
  bool any[2] = {false, false};
  for (int s = 0; s < kVmdSections; s++) {
    if (f.recordsRead[s] == 0 || s + kVmdBone == f.cutPart) continue;
    int group = s + kVmdBone <= kVmdMorph ? 0 : 1;  // bone and morph keys first
    if (!any[group] || f.maxFrame[s] > last[group]) last[group] = f.maxFrame[s];
    any[group] = true;
  }
  int32_t frames = any[0] ? last[0] : last[1];
  return frames > 0 ? frames : 0;
}

void RecordFileStart(const char* path, int openError) {
  FileReport& r = gFileReport;
  for (int i = 0; i < r.boneCount; i++)
    if (r.bones[i].entry > 0 && r.bones[i].entry < kBoneTracks) gBoneSlot[r.bones[i].entry] = 0;
  for (int i = 0; i < r.morphCount; i++)
    if (r.morphs[i].entry > 0 && r.morphs[i].entry < kMorphTracks)
      gMorphSlot[r.morphs[i].entry] = 0;
  const VmdReadFacts& f = gVmdFacts;
  snprintf(r.path, sizeof r.path, "%s", path ? path : "");
  r.openError = 0;
  r.reason[0] = 0;
  r.badHeaderAt = r.badHeaderByte = -1;
  r.cutPart = -1;
  r.cutInCount = false;
  r.cutDeclared = r.cutRead = 0;
  r.badCount = r.badIkCount = false;
  r.badCountValue = 0;
  r.stopOffset = 0;
  r.read = false;
  r.fileBytes = 0;
  for (int s = 0; s < kVmdSections; s++) {
    r.present[s] = false;
    r.declared[s] = 0;
    r.records[s] = 0;
  }
  r.trailingBytes = 0;
  r.keys = 0;
  r.durationFrames = 0;
  r.modelName[0] = r.modelHex[0] = 0;
  r.modelBad = r.modelCut = false;
  r.category = kLevelOk;
  r.categories = 0;
  r.boxtext[0] = 0;
  r.boxtextw[0] = 0;
  r.boneCount = r.morphCount = 0;
  r.findingCount = r.findingsOmitted = 0;
  r.lineCount = r.widest = 0;

  if (!f.opened) {
    r.status = kStatusUnreadable;
    r.openError = openError;
    OpenErrorText(openError, r.reason, sizeof r.reason);
    return;
  }
  r.fileBytes = f.endOffset;
  if (!f.headerOk) {
    r.status = kStatusNotMotion;
    r.badHeaderAt = f.badHeaderAt;
    r.badHeaderByte = f.badHeaderByte;
    return;
  }
  r.status = f.cutPart >= 0 ? kStatusCut : kStatusComplete;
  if (f.cutPart >= 0) {
    r.cutPart = f.cutPart;
    r.cutInCount = f.cutInCount != 0;
    r.cutRead = f.cutRecords;
    if (f.cutPart >= kVmdBone && !f.cutInCount) r.cutDeclared = gSectionCounts[f.cutPart - kVmdBone];
    r.badCount = f.badCount != 0;
    r.badIkCount = f.badIkCount != 0;
    r.badCountValue = f.badCountValue;
    r.stopOffset = f.stopOffset;
  }
  r.read = true;
  for (int s = 0; s < kVmdSections; s++) {
    r.present[s] = f.present[s] != 0;
    r.declared[s] = gSectionCounts[s];
    r.records[s] = f.recordsRead[s];
  }
  r.trailingBytes = f.trailingBytes;
  r.durationFrames = DurationFrames(f);
  uint8_t modelBad = 0;
  Name(gSourceModel, 0, r.modelName, r.modelHex, &modelBad, nullptr);
  r.modelBad = modelBad != 0;
  r.modelCut = f.modelNameCut != 0;
  if (r.modelCut && !r.modelHex[0]) Hex(r.modelHex, kNameHex, gSourceModel);

  GatherBones();
  GatherMorphs();
}

void RecordBoneFinding(int code, int severity, int entry, const char* text, bool variant) {
  char name[kNameUtf8];
  ReportTrack* t = TrackOf(kBoneTable, entry);
  if (t) {
    snprintf(name, sizeof name, "%s", t->name);
    t->flags |= 1u << code;
  } else {
    sjistoutf8(name, sizeof name, text);
  }
  AddFinding(code, severity, kAboutBone, name, "%s %s", name,
             variant ? FindingVariant(code) : FindingMessage(code));
}

void RecordTrackLine(int table, int entry, uint32_t rgb, bool listed) {
  ReportTrack* t = TrackOf(table, entry);
  if (!t) return;
  t->colour = rgb;
  t->listed = listed ? 0xFF : 0;
}

bool TrackRecorded(int table, int entry) { return TrackOf(table, entry) != nullptr; }

void RecordVerdict(int category, uint32_t categories) {
  FileReport& r = gFileReport;
  r.category = category;
  r.categories = categories;
  // findbones finds bone by bone; the report lists its findings in the
  // order of their declaration (a stable sort: bones keep their order).
  ReportFinding* f = r.findings;
  for (int i = 1; i < r.findingCount; i++) {
    if (f[i - 1].code <= f[i].code) continue;
    ReportFinding x = f[i];
    int j = i;
    for (; j > 0 && f[j - 1].code > x.code; j--) f[j] = f[j - 1];
    f[j] = x;
  }
}

void RecordFileEnd() {
  if (gFileReport.read) {
    GatherInfoFindings();
    GatherLimitFindings();
  }
  RecordLines();
}

void VerdictUtf8(const FileReport& r, char* dst, int cap) {
  sjistoutf8(dst, cap, r.boxtext);
  size_t o = 0;
  for (size_t i = 0; dst[i]; i++) {
    if (dst[i] == '\r' && dst[i + 1] == '\n') continue;
    dst[o++] = dst[i];
  }
  dst[o] = 0;
}

void LineUtf8(const ReportLine& l, char* dst, int cap) {
  sjistoutf8(dst, cap, l.text);
  const size_t n = strlen(dst);
  if (n > 0 && dst[n - 1] == '\n') dst[n - 1] = 0;
}

void StatusMessage(const FileReport& r, char* dst, int cap) {
  ReadOutcome o;
  memset(&o, 0, sizeof o);
  o.status = r.status;
  o.reason = r.reason;
  o.badHeaderAt = r.badHeaderAt;
  o.badHeaderByte = r.badHeaderByte;
  o.fileBytes = r.fileBytes;
  o.cutPart = r.cutPart;
  o.cutInCount = r.cutInCount;
  o.cutDeclared = r.cutDeclared;
  o.cutRead = r.cutRead;
  o.badCount = r.badCount;
  o.badIkCount = r.badIkCount;
  o.badCountValue = r.badCountValue;
  o.stopOffset = r.stopOffset;
  ReadOutcomeText(o, dst, cap);
}
