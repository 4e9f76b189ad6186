#include "analysis/file_report.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "analysis/findings.h"
#include "analysis/rotation.h"
#include "base/encoding.h"
#include "names/nametable.h"

FileReport gFileReport;

namespace {

const char* const kStatusNames[kStatuses] = {"complete", "cut", "not-a-motion", "unreadable"};
const char* const kCategoryNames[kLevels] = {"ok", "slight", "rough", "dropout", "fix"};
const char* const kSeverityNames[kLevels] = {"info", "slight", "rough", "dropout", "fix"};
const char* const kCodeNames[kCodes] = {
    "twist-bone",        "upper-body-2-full-width", "plus-bone",       "leg-d-bone",
    "arm-d-bone",        "upper-body-3",            "leg-ik-parent-full-width",
    "leg-ik-parent",     "leg-ik-parent-turned",    "shoulder-p-bone", "arm-twist-rough",
    "arm-twist-slight",  "lower-body",              "waist",           "camera-only",
    "no-keys",           "ik-off",                  "name-cut",        "name-not-shift-jis",
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

ReportTrack* TrackOf(ReportTrack* tracks, int n, int entry) {
  for (int i = 0; i < n; i++)
    if (tracks[i].entry == entry) return &tracks[i];
  return nullptr;
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

// A finding about a bone of the vocabulary (found as the findings found it).
void BoneFinding(int mask, int bit, int code, int severity, const char* what) {
  FileReport& r = gFileReport;
  const char* text = FindingBone(mask, bit);
  if (!text) return;
  const int entry = mask == kMaskUpper2 ? FindOrAddName(kBoneTable, text)
                                        : FindNameInGroups(kBoneTable, text, 0);
  ReportTrack* t = TrackOf(r.bones, r.boneCount, entry);
  char name[kNameUtf8];
  if (t) {
    snprintf(name, sizeof name, "%s", t->name);
    t->flags |= 1u << code;
  } else {
    sjistoutf8(name, sizeof name, text);
  }
  AddFinding(code, severity, kAboutBone, name, "%s %s", name, what);
}

void MaskFindings(uint32_t mask, int which, int bits, int code, int severity, const char* what) {
  for (int i = 0; i < bits; i++)
    if (mask & (1u << i)) BoneFinding(which, i, code, severity, what);
}

// The next track of the report, for a NameTable entry with keys: what bones
// and morphs have alike.
ReportTrack& NewTrack(ReportTrack* tracks, int* n, int table, int entry, int32_t keys,
                      int32_t first, int32_t last) {
  ReportTrack& t = tracks[(*n)++];
  memset(&t, 0, sizeof t);
  t.entry = entry;
  Name(NameAt(table, entry), 15, t.name, t.hex, &t.nameBad, &t.nameCut);
  t.colour = kWhite;
  t.keys = keys;
  t.firstFrame = first;
  t.lastFrame = last;
  t.twistPlusFrame = t.twistMinusFrame = -1;
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
    const int g = GroupOfName(kBoneTable, e);
    const bool driven = b.moved == 0xFF;
    t.moved = driven ? 0xFF : 0;
    if (g == 1 || g == 2) t.colour = BoneLineColour(text);
    if (g == 1) t.listed = driven;
    else if (g == 2) t.listed = driven && b.maxpos > 0.05;
    else if (g != 3) t.listed = b.maxpos > 0.01 || b.maxrot > 0.01;
    t.maxPos = b.maxpos;
    t.rotDeg = amount2deg(b.maxrot);
    for (int i = 0; i < 4; i++)
      if (!strcmp(text, FindingBone(kMaskTwist, i)) || !strcmp(text, FindingBone(kMaskArm, i)))
        t.twisted = 0xFF;
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
    t.listed = GroupOfName(kMorphTable, e) != 2 && (m.minval < 0.0 || m.maxval > 0.0);
    t.minWeight = m.minval;
    t.maxWeight = m.maxval;
  }
}

void GatherVerdictFindings() {
  const Findings& f = gFind;
  MaskFindings(f.twistbones, kMaskTwist, 4, kCodeTwistBone, kLevelFix,
               "is a twist bone that turns: it drops out on a VRM model");
  if (f.upper2state == -1)
    BoneFinding(kMaskUpper2, 0, kCodeUpperBody2, kLevelFix,
                "(full-width digit) turns without its half-width twin: it drops out on a VRM model");
  MaskFindings(f.plusbones, kMaskPlus, 4, kCodePlusBone, kLevelFix,
               "is a P+ bone that turns: it drops out on a VRM model");
  MaskFindings(f.dlegbones, kMaskLegD, 6, kCodeLegD, kLevelDropout,
               "is a D bone that turns: its movement is lost on a VRM model");
  MaskFindings(f.darmbones, kMaskArmD, 4, kCodeArmD, kLevelDropout,
               "is a D bone that turns: its movement is lost on a VRM model");
  for (int i = 0; i < 3; i++) {
    if (!(f.upper3bones & (1u << i))) continue;
    const int code = i == 0 ? kCodeUpperBody3 : kCodeIkParentFullWidth;
    const int entry = FindNameInGroups(kBoneTable, FindingBone(kMaskUpper3, i), 0);
    const bool turns = entry > 0 && entry < kBoneTracks && gBoneTracks[entry].maxrot > 0.01;
    if (turns)
      BoneFinding(kMaskUpper3, i, code, kLevelDropout,
                  "turns: its movement is lost on a VRM model");
    else
      BoneFinding(kMaskUpper3, i, code, kSeverityInfo,
                  "moves without turning: named when the motion has drop-out factors");
  }
  MaskFindings(f.ikparents >> 4, kMaskIkParent, 2, kCodeLegIkParent, kLevelDropout,
               "is a leg IK parent that turns far: its movement is lost on a VRM model");
  for (int i = 0; i < 2; i++)
    if (!(f.ikparents & (0x10u << i)) && (f.ikparents & ((4u | 1u) << i)))
      BoneFinding(kMaskIkParent, i, kCodeLegIkParentTurned, kSeverityInfo,
                  "is a leg IK parent that turns a little");
  MaskFindings(f.shoulderp, kMaskShoulderP, 2, kCodeShoulderP, kLevelDropout,
               "is a shoulder P bone that turns: its movement is lost on a VRM model");
  MaskFindings(f.armrough, kMaskArm, 4, kCodeArmTwistRough, kLevelRough,
               "twists by 160 degrees or more: expect somewhat rough movement");
  MaskFindings(f.armslight, kMaskArm, 4, kCodeArmTwistSlight, kLevelSlight,
               "twists by 145 degrees or more: expect slightly rough movement");
  if (f.lowerbodystate)
    BoneFinding(kMaskLowerBody, 0, kCodeLowerBody, kLevelRough,
                "turns: expect somewhat rough or shifted movement");
  if (f.waiststate)
    BoneFinding(kMaskWaist, 0, kCodeWaist, kLevelRough,
                "turns: expect somewhat rough or shifted movement");
}

void NameFindings(ReportTrack* tracks, int n, int subject, const char* kind) {
  for (int i = 0; i < n; i++) {
    ReportTrack& t = tracks[i];
    if (t.nameCut) {
      t.flags |= 1u << kCodeNameCut;
      AddFinding(kCodeNameCut, kSeverityInfo, subject, t.name,
                 "%s name %s (bytes %s) is cut inside a double-byte character at the end of "
                 "its 15-byte field",
                 kind, t.name, t.hex);
    }
    if (t.nameBad) {
      t.flags |= 1u << kCodeNameNotSjis;
      AddFinding(kCodeNameNotSjis, kSeverityInfo, subject, t.name,
                 "%s name %s is not valid Shift-JIS (bytes %s)", kind, t.name, t.hex);
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
      AddFinding(kCodeCameraOnly, kSeverityInfo, kAboutNothing, "",
                 "no bone or morph keys: a camera, light or shadow motion only");
    else
      AddFinding(kCodeNoKeys, kSeverityInfo, kAboutNothing, "", "the motion has no keys");
  }
  for (int i = 0; i < f.ikOffCount; i++) {
    char name[kNameUtf8];
    sjistoutf8(name, sizeof name, f.ikOff[i].name);
    ReportFinding* x = AddFinding(kCodeIkOff, kSeverityInfo, kAboutIk, name,
                                  "IK of %s is switched off from frame %d", name,
                                  static_cast<int>(f.ikOff[i].frame));
    if (x) x->frame = f.ikOff[i].frame;
  }
  r.findingsOmitted += f.ikOffOmitted;
  if (r.modelCut)
    AddFinding(kCodeNameCut, kSeverityInfo, kAboutModel, r.modelName,
               "model name %s was cut inside a double-byte character at the end of its "
               "20-byte field",
               r.modelName);
  if (r.modelBad)
    AddFinding(kCodeNameNotSjis, kSeverityInfo, kAboutModel, r.modelName,
               "model name %s is not valid Shift-JIS (bytes %s)", r.modelName, r.modelHex);
  NameFindings(r.bones, r.boneCount, kAboutBone, "bone");
  NameFindings(r.morphs, r.morphCount, kAboutMorph, "morph");
}

void GatherVerdict() {
  FileReport& r = gFileReport;
  const Findings& f = gFind;
  r.categories = 0;
  if (f.licensefactors > 0) r.categories |= 1u << kLevelFix;
  if (f.dropfactors > 0) r.categories |= 1u << kLevelDropout;
  if (f.roughbones > 0) r.categories |= 1u << kLevelRough;
  if (f.slightbones > 0) r.categories |= 1u << kLevelSlight;
  if (r.categories == 0) r.categories = 1u << kLevelOk;
  r.category = kLevelOk;
  for (int c = kLevelFix; c > kLevelOk; c--) {
    if (r.categories & (1u << c)) {
      r.category = c;
      break;
    }
  }
  // The box's text, its CR LF line breaks as LF.
  sjistoutf8(r.verdict, sizeof r.verdict, boxtext);
  size_t o = 0;
  for (size_t i = 0; r.verdict[i]; i++) {
    if (r.verdict[i] == '\r' && r.verdict[i + 1] == '\n') continue;
    r.verdict[o++] = r.verdict[i];
  }
  r.verdict[o] = 0;
}

void GatherLines() {
  FileReport& r = gFileReport;
  r.lineCount = gReport.linecount < kReportLines ? gReport.linecount : kReportLines;
  for (int i = 0; i < r.lineCount; i++) {
    const uint32_t c = gReport.cellcolour[i][0];  // blue << 16 | green << 8 | red
    r.lines[i].colour = (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
    char* text = r.lines[i].text;
    sjistoutf8(text, kLineUtf8, gReport.lines[i]);
    const size_t n = strlen(text);
    if (n > 0 && text[n - 1] == '\n') text[n - 1] = 0;
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
const char* FindingCodeName(int code) { return code >= 0 && code < kCodes ? kCodeNames[code] : ""; }
const char* VmdPartName(int part) { return part >= 0 && part < kVmdParts ? kPartNames[part] : ""; }

void OpenErrorText(int code, char* dst, int cap) {
  switch (code) {
    case 2: snprintf(dst, cap, "no such file"); break;
    case 3: snprintf(dst, cap, "no such folder"); break;
    case 5: snprintf(dst, cap, "access denied"); break;
    case kOpenNameTooLong: snprintf(dst, cap, "name too long"); break;
    case kOpenNotRegular: snprintf(dst, cap, "not a regular file"); break;
    default: snprintf(dst, cap, "cannot open (system error %d)", code); break;
  }
}

void GatherFileReport(const char* path, int openError) {
  FileReport& r = gFileReport;
  const VmdReadFacts& f = gVmdFacts;
  snprintf(r.path, sizeof r.path, "%s", path ? path : "");
  r.openError = 0;
  r.reason[0] = 0;
  r.badHeaderAt = r.badHeaderByte = -1;
  r.cutPart = -1;
  r.cutInCount = false;
  r.cutDeclared = r.cutRead = 0;
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
  r.verdict[0] = 0;
  r.boneCount = r.morphCount = 0;
  r.findingCount = r.findingsOmitted = 0;
  r.lineCount = 0;

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
  }
  r.read = true;
  for (int s = 0; s < kVmdSections; s++) {
    r.present[s] = f.present[s] != 0;
    r.declared[s] = gSectionCounts[s];
    r.records[s] = f.recordsRead[s];
  }
  r.trailingBytes = f.trailingBytes;
  r.durationFrames = f.anyKey && f.maxFrame > 0 ? f.maxFrame : 0;
  uint8_t modelBad = 0;
  Name(gSourceModel, 0, r.modelName, r.modelHex, &modelBad, nullptr);
  r.modelBad = modelBad != 0;
  r.modelCut = f.modelNameCut != 0;
  if (r.modelCut && !r.modelHex[0]) Hex(r.modelHex, kNameHex, gSourceModel);

  GatherBones();
  GatherMorphs();
  GatherVerdict();
  GatherVerdictFindings();
  GatherInfoFindings();
  GatherLines();
}

void StatusMessage(const FileReport& r, char* dst, int cap) {
  dst[0] = 0;
  switch (r.status) {
    case kStatusUnreadable:
      snprintf(dst, cap, "%s", r.reason);
      break;
    case kStatusNotMotion:
      if (r.badHeaderByte < 0)
        snprintf(dst, cap, "not a VMD motion: the file ends at byte %u, inside the header",
                 r.fileBytes);
      else
        snprintf(dst, cap, "not a VMD motion: header byte %d is 0x%02X", r.badHeaderAt,
                 r.badHeaderByte);
      break;
    case kStatusCut:
      if (r.cutPart < kVmdBone)
        snprintf(dst, cap, "cut short in the %s: the file ends at byte %u",
                 r.cutPart == kVmdHeader ? "header" : "model name", r.fileBytes);
      else if (r.cutInCount)
        snprintf(dst, cap, "cut short in the count of the %s section: the file ends at byte %u",
                 VmdPartName(r.cutPart), r.fileBytes);
      else
        snprintf(dst, cap,
                 "cut short in the %s section: %lld of %d records read, the file ends at byte %u",
                 VmdPartName(r.cutPart), static_cast<long long>(r.cutRead),
                 static_cast<int>(r.cutDeclared), r.fileBytes);
      break;
    default:
      break;
  }
}
