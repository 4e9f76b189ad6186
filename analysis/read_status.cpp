#include "analysis/read_status.h"

#include <cstdio>
#include <cstring>

#include "analysis/file_report.h"
#include "analysis/report_buffer.h"
#include "base/encoding.h"
#include "base/runenv.h"
#include "vmd/vmdread.h"

namespace {

// The report line that takes a cut motion's verdict, or -1.
int gVerdictLine = -1;

// Section names in prose, for what a cut loses.
const char* ProseName(int part) {
  static const char* const kNames[kVmdParts] = {"header", "model name", "bone",  "morph",
                                                "camera", "light",      "self-shadow",
                                                "show-and-IK"};
  return part >= 0 && part < kVmdParts ? kNames[part] : "";
}

// What stopping in part after `read` whole records of it loses: a stop after
// the bone and morph keys loses nothing an avatar uses.
void Loss(char* dst, int cap, int part, int64_t read) {
  char keys[96];
  if (read > 0)
    snprintf(keys, sizeof keys, "the %s keys after the first %lld", ProseName(part),
             static_cast<long long>(read));
  else
    snprintf(keys, sizeof keys, "the %s keys", ProseName(part));
  if (part <= kVmdModelName || (part == kVmdBone && read == 0))
    snprintf(dst, cap, "every key is lost");
  else if (part == kVmdBone)
    snprintf(dst, cap, "lost: %s and every later section, morph keys included", keys);
  else if (part == kVmdMorph)
    snprintf(dst, cap, "the bone keys are whole; lost: %s and every later section", keys);
  else
    snprintf(dst, cap,
             "the bone and morph keys are whole, so nothing an avatar uses is lost; lost: %s%s",
             keys, part < kVmdShowIk ? " and every later section" : "");
}

// Puts text on as many lines as it needs, broken at spaces, each at most
// width bytes (a double-byte character is never split).
void PutWrapped(const char* text, int width) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>(text);
  char line[kReportCols];
  size_t at = 0;
  const size_t n = strlen(text);
  while (at < n) {
    size_t end = at, lastSpace = 0;
    while (end < n) {
      const size_t step = (issjislead(s[end]) && s[end + 1]) ? 2 : 1;
      if (end - at + step > static_cast<size_t>(width)) break;
      if (s[end] == ' ') lastSpace = end;
      end += step;
    }
    if (end < n && lastSpace > at) end = lastSpace;
    memcpy(line, text + at, end - at);
    line[end - at] = 0;
    rbputs(line);
    rbnewline();
    at = end;
    while (at < n && s[at] == ' ') at++;
  }
}

}  // namespace

void ReadOutcomeText(const ReadOutcome& o, char* dst, int cap) {
  dst[0] = 0;
  const long long size = static_cast<long long>(o.fileBytes);
  char loss[200];
  switch (o.status) {
    case kStatusUnreadable:
      snprintf(dst, cap, "%s", o.reason ? o.reason : "");
      break;
    case kStatusNotMotion:
      if (o.badHeaderByte < 0)
        snprintf(dst, cap, "not a VMD motion: the file ends at byte %lld, inside the header", size);
      else
        snprintf(dst, cap, "not a VMD motion: header byte %d is 0x%02X", o.badHeaderAt,
                 o.badHeaderByte);
      break;
    case kStatusCut:
      Loss(loss, sizeof loss, o.cutPart, o.cutInCount ? 0 : o.cutRead);
      if (o.badIkCount)
        snprintf(dst, cap,
                 "show-and-IK record %lld has an IK count of %lld, which no motion has: reading "
                 "stops at byte %lld of %lld; %s",
                 static_cast<long long>(o.cutRead + 1), static_cast<long long>(o.badCountValue),
                 static_cast<long long>(o.stopOffset), size, loss);
      else if (o.badCount)
        snprintf(dst, cap,
                 "the %s section's count is %lld, which no motion has: reading stops at byte "
                 "%lld of %lld; %s",
                 VmdPartName(o.cutPart), static_cast<long long>(o.badCountValue),
                 static_cast<long long>(o.stopOffset), size, loss);
      else if (o.cutPart < kVmdBone)
        snprintf(dst, cap, "cut short in the %s: the file ends at byte %lld; %s",
                 o.cutPart == kVmdHeader ? "header" : "model name", size, loss);
      else if (o.cutInCount)
        snprintf(dst, cap, "cut short in the count of the %s section: the file ends at byte %lld; %s",
                 VmdPartName(o.cutPart), size, loss);
      else
        snprintf(dst, cap,
                 "cut short in the %s section: %lld of %lld records read, the file ends at byte "
                 "%lld; %s",
                 VmdPartName(o.cutPart), static_cast<long long>(o.cutRead),
                 static_cast<long long>(o.cutDeclared), size, loss);
      break;
    default:
      break;
  }
}

void PutReadStatusLines() {
  gVerdictLine = -1;
  const FileReport& r = gFileReport;
  if (gRun.isPmx || r.status == kStatusComplete) return;
  // A file not found on disk, or taken without being read (not named as a
  // motion), has no name line of its own: the name given.
  if (!gRun.isVmd || (!gRun.lastVmdA[0] && !gRun.lastVmdW[0])) {
    static char name[kPathMax * 2 + 8];
    if (!gRun.sjisNames && gRun.nameW[0])
      unitosjisshown(name, static_cast<int>(sizeof name), gRun.nameW);
    else
      snprintf(name, sizeof name, "%s", gRun.nameA);
    rbputs(name);
    rbnewline();
  }
  static char text[600];
  const int head = snprintf(text, sizeof text, "%s: ", StatusName(r.status));
  StatusMessage(r, text + head, static_cast<int>(sizeof text) - head);
  rbcolor(255, 0, 0);
  PutWrapped(text, kReportCols - 8);
  if (r.read) {
    rbcolor(255, 255, 255);
    PutWrapped("Verdict on the keys read before the cut:", kReportCols - 8);
    rbputs("");
    if (gReport.linecount < kReportLines) gVerdictLine = gReport.linecount;
    rbnewline();  // filled once the verdict is built
  }
  // The lines after these take white again, empty ones included.
  rbcolor(255, 255, 255);
  rbputs("");
}

void FillCutVerdictLine() {
  if (gVerdictLine < 0) return;
  // The verdict as its box gives it: its first line.
  const unsigned char* b = reinterpret_cast<const unsigned char*>(gFileReport.boxtext);
  char first[kReportCols];
  size_t n = 0;
  while (b[n] && b[n] != '\r' && b[n] != '\n') {
    const size_t step = (issjislead(b[n]) && b[n + 1]) ? 2 : 1;
    if (n + step + 3 > sizeof first) break;
    n += step;
  }
  first[0] = first[1] = ' ';
  memcpy(first + 2, b, n);
  first[n + 2] = 0;
  rbsetline(gVerdictLine, first, 255, 255, 255);
  gVerdictLine = -1;
}
