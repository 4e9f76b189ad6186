#include "views/report_json.h"

#ifndef JSON_NOEXCEPTION
#define JSON_NOEXCEPTION  // the build has no exceptions
#endif
#include <nlohmann/json.hpp>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

using Json = nlohmann::ordered_json;

namespace {

// Numbers as the views give them: degrees to a thousandth, lengths and
// weights to a millionth, so that every build prints the same digits.
// NaN and the infinities stay as they are (JSON null).
double Round(double v, double scale) {
  if (!std::isfinite(v) || std::fabs(v) > 1e15) return v;
  return std::round(v * scale) / scale;
}
double Degrees(double v) { return Round(v, 1e3); }
double Amount(double v) { return Round(v, 1e6); }

// The file's object is written straight into the text, member by member in
// the order a JSON object of the same members would print them, with the
// library's own number and string forms: what nlohmann::json would print,
// without building the value first (a folder of small motions spends most of
// its time there otherwise).

// The length of the well-formed UTF-8 sequence of two to four bytes at s,
// or 0: no stray or missing continuation byte, no overlong form, no
// surrogate, nothing above U+10FFFF. A NUL ends the text and fails the test.
int Utf8Sequence(const unsigned char* s) {
  const unsigned c = s[0];
  int len;
  unsigned lo = 0x80, hi = 0xBF;  // the range of the second byte
  if (c >= 0xC2 && c <= 0xDF) {
    len = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3;
    if (c == 0xE0) lo = 0xA0;
    if (c == 0xED) hi = 0x9F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4;
    if (c == 0xF0) lo = 0x90;
    if (c == 0xF4) hi = 0x8F;
  } else {
    return 0;
  }
  if (s[1] < lo || s[1] > hi) return 0;
  for (int k = 2; k < len; k++)
    if (s[k] < 0x80 || s[k] > 0xBF) return 0;
  return len;
}

// A string value, in one pass: runs of bytes that need no escape are copied
// as they stand. Text that is not UTF-8 (a path as given) goes through the
// library instead, which puts U+FFFD where it stops making sense.
void Str(std::string* out, const char* text) {
  static const char kHex[] = "0123456789abcdef";
  const unsigned char* s = reinterpret_cast<const unsigned char*>(text ? text : "");
  const size_t start = out->size();
  *out += '"';
  size_t run = 0, i = 0;  // bytes run..i-1 wait to be copied as they are
  for (;;) {
    const unsigned char c = s[i];
    if (c >= 0x20 && c < 0x80 && c != '"' && c != '\\') {
      i++;
      continue;
    }
    if (c >= 0x80) {
      const int len = Utf8Sequence(s + i);
      if (len == 0) {
        out->resize(start);
        *out += Json(std::string(reinterpret_cast<const char*>(s)))
                    .dump(-1, ' ', false, Json::error_handler_t::replace);
        return;
      }
      i += static_cast<size_t>(len);
      continue;
    }
    out->append(reinterpret_cast<const char*>(s) + run, i - run);
    if (c == 0) break;
    run = ++i;
    switch (c) {
      case '\b': *out += "\\b"; break;
      case '\t': *out += "\\t"; break;
      case '\n': *out += "\\n"; break;
      case '\f': *out += "\\f"; break;
      case '\r': *out += "\\r"; break;
      case '"': *out += "\\\""; break;
      case '\\': *out += "\\\\"; break;
      default: {
        const char u[6] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 15]};
        out->append(u, sizeof u);
      }
    }
  }
  *out += '"';
}

void Int(std::string* out, long long v) {
  char b[24];
  const auto r = std::to_chars(b, b + sizeof b, v);
  out->append(b, static_cast<size_t>(r.ptr - b));
}

// A floating-point value: the shortest digits that read back as it, with
// ".0" on a whole number; null when it is not finite.
void Float(std::string* out, double v) {
  if (!std::isfinite(v)) {
    *out += "null";
    return;
  }
  char b[64];
  const char* end = nlohmann::detail::to_chars(b, b + sizeof b, v);
  out->append(b, static_cast<size_t>(end - b));
}

void Bool(std::string* out, bool v) { *out += v ? "true" : "false"; }

void IntOrNull(std::string* out, bool isNull, long long v) {
  if (isNull)
    *out += "null";
  else
    Int(out, v);
}

void Colour(std::string* out, uint32_t rgb) {
  static const char kHex[] = "0123456789abcdef";
  char s[8];
  s[0] = s[7] = '"';
  for (int k = 0; k < 6; k++) s[1 + k] = kHex[rgb >> (20 - 4 * k) & 0xF];
  out->append(s, sizeof s);
}

void Flags(std::string* out, uint32_t flags) {
  *out += '[';
  bool first = true;
  for (int c = 0; c < kCodes; c++) {
    if (!(flags & (1u << c))) continue;
    if (!first) *out += ',';
    first = false;
    Str(out, FindingCodeName(c));
  }
  *out += ']';
}

// What bones and morphs have alike: first the name, keys and frames (the
// object left open), last the listing, colour and flags (closing it).
void TrackHead(std::string* out, const ReportTrack& t) {
  *out += "{\"name\":";
  Str(out, t.name);
  if (t.hex[0]) {
    *out += ",\"nameHex\":";
    Str(out, t.hex);
  }
  *out += ",\"keys\":";
  Int(out, t.keys);
  *out += ",\"firstFrame\":";
  Int(out, t.firstFrame);
  *out += ",\"lastFrame\":";
  Int(out, t.lastFrame);
}

void TrackTail(std::string* out, const ReportTrack& t) {
  *out += ",\"listed\":";
  Bool(out, t.listed != 0);
  *out += ",\"colour\":";
  Colour(out, t.colour);
  *out += ",\"flags\":";
  Flags(out, t.flags);
  *out += '}';
}

// The frame of the key that set a twist, or null when none did (no key
// twisted that way); a key's frame may be negative.
void TwistSide(std::string* out, double degrees, int32_t frame) {
  *out += "{\"degrees\":";
  Float(out, Degrees(degrees));
  *out += ",\"frame\":";
  IntOrNull(out, !(degrees > 0), frame);
  *out += '}';
}

void Bone(std::string* out, const ReportTrack& t) {
  TrackHead(out, t);
  *out += ",\"moved\":";
  Bool(out, t.moved != 0);
  *out += ",\"position\":";
  Float(out, Amount(t.maxPos));
  *out += ",\"positionFrame\":";
  IntOrNull(out, !(t.maxPos > 0.0f), t.posFrame);
  *out += ",\"rotation\":";
  Float(out, Degrees(t.rotDeg));
  *out += ",\"rotationFrame\":";
  IntOrNull(out, !(t.rotDeg > 0.0), t.rotFrame);
  if (t.twisted) {
    *out += ",\"twist\":{\"plus\":";
    TwistSide(out, t.twistPlusDeg, t.twistPlusFrame);
    *out += ",\"minus\":";
    TwistSide(out, t.twistMinusDeg, t.twistMinusFrame);
    *out += '}';
  }
  TrackTail(out, t);
}

void Morph(std::string* out, const ReportTrack& t) {
  TrackHead(out, t);
  *out += ",\"minWeight\":";
  Float(out, Amount(t.minWeight));
  *out += ",\"maxWeight\":";
  Float(out, Amount(t.maxWeight));
  TrackTail(out, t);
}

void Finding(std::string* out, const ReportFinding& f) {
  static const char* const kSubjects[] = {nullptr, "bone", "morph", "model", "ik"};
  *out += "{\"code\":";
  Str(out, FindingCodeName(f.code));
  *out += ",\"severity\":";
  Str(out, SeverityName(f.severity));
  *out += ",\"fixable\":";
  Bool(out, FindingFixable(f.code));
  if (f.subject > 0 && f.subject <= kAboutIk) {
    *out += ",\"";
    *out += kSubjects[f.subject];
    *out += "\":";
    Str(out, f.name);
  }
  if (f.frame >= 0) {
    *out += ",\"frame\":";
    Int(out, f.frame);
  }
  *out += ",\"message\":";
  Str(out, f.message);
  *out += '}';
}

void Detail(std::string* out, const FileReport& r) {
  char message[256];
  StatusMessage(r, message, sizeof message);
  *out += '{';
  switch (r.status) {
    case kStatusUnreadable:
      *out += "\"reason\":";
      Str(out, r.reason);
      *out += ",\"code\":";
      Int(out, r.openError);
      *out += ',';
      break;
    case kStatusNotMotion:
      *out += "\"offset\":";
      Int(out, r.badHeaderAt);
      *out += ",\"byte\":";
      IntOrNull(out, r.badHeaderByte < 0, r.badHeaderByte);
      *out += ",\"fileBytes\":";
      Int(out, r.fileBytes);
      *out += ',';
      break;
    case kStatusCut:
      *out += "\"section\":";
      Str(out, VmdPartName(r.cutPart));
      *out += ",\"inCount\":";
      Bool(out, r.cutInCount);
      if (r.cutPart >= kVmdBone) {
        *out += ",\"declared\":";
        IntOrNull(out, r.cutInCount, r.cutDeclared);
        *out += ",\"read\":";
        Int(out, r.cutRead);
      }
      *out += ",\"endOffset\":";
      if (r.badCount) {  // not the end of the file: where reading stopped
        Int(out, r.stopOffset);
        *out += ",\"reason\":\"negative count\"";
      } else {
        Int(out, r.fileBytes);
      }
      *out += ',';
      break;
    default:
      break;
  }
  *out += "\"message\":";
  Str(out, message);
  *out += '}';
}

void FileObject(std::string* out, const FileReport& r) {
  static const char* const kSections[kVmdSections] = {"bone",  "morph",      "camera",
                                                      "light", "selfShadow", "showIk"};
  *out += "{\"path\":";
  Str(out, r.path);
  *out += ",\"status\":";
  Str(out, StatusName(r.status));
  if (r.status != kStatusComplete) {
    *out += ",\"detail\":";
    Detail(out, r);
  }
  if (!r.read) {
    *out += '}';
    return;
  }
  *out += ",\"verdict\":{\"category\":";
  Str(out, CategoryName(r.category));
  *out += ",\"categories\":[";
  bool first = true;
  for (int c = kLevelFix; c >= kLevelOk; c--) {
    if (!(r.categories & (1u << c))) continue;
    if (!first) *out += ',';
    first = false;
    Str(out, CategoryName(c));
  }
  static char verdict[kVerdictUtf8];
  VerdictUtf8(r, verdict, sizeof verdict);
  *out += "],\"text\":";
  Str(out, verdict);
  *out += "},\"fileBytes\":";
  Int(out, r.fileBytes);
  *out += ",\"modelName\":";
  Str(out, r.modelName);
  if (r.modelHex[0]) {
    *out += ",\"modelNameHex\":";
    Str(out, r.modelHex);
  }
  *out += ",\"sections\":{";
  for (int s = 0; s < kVmdSections; s++) {
    if (s > 0) *out += ',';
    *out += '"';
    *out += kSections[s];
    *out += "\":{\"present\":";
    Bool(out, r.present[s]);
    *out += ",\"count\":";
    Int(out, r.declared[s]);
    *out += ",\"read\":";
    Int(out, r.records[s]);
    *out += '}';
  }
  *out += "},\"trailingBytes\":";
  Int(out, r.trailingBytes);
  *out += ",\"keys\":";
  Int(out, r.keys);
  *out += ",\"duration\":{\"frames\":";
  Int(out, r.durationFrames);
  *out += ",\"seconds\":";
  Float(out, Round(r.durationFrames / 30.0, 1e3));
  *out += "},\"bones\":[";
  for (int i = 0; i < r.boneCount; i++) {
    if (i > 0) *out += ',';
    Bone(out, r.bones[i]);
  }
  *out += "],\"morphs\":[";
  for (int i = 0; i < r.morphCount; i++) {
    if (i > 0) *out += ',';
    Morph(out, r.morphs[i]);
  }
  *out += "],\"findings\":[";
  for (int i = 0; i < r.findingCount; i++) {
    if (i > 0) *out += ',';
    Finding(out, r.findings[i]);
  }
  *out += "],\"findingsOmitted\":";
  Int(out, r.findingsOmitted);
  *out += ",\"report\":[";
  char text[kLineUtf8];
  for (int i = 0; i < r.lineCount; i++) {
    if (i > 0) *out += ',';
    *out += "{\"colour\":";
    Colour(out, r.lines[i].colour);
    LineUtf8(r.lines[i], text, sizeof text);
    *out += ",\"text\":";
    Str(out, text);
    *out += '}';
  }
  *out += "]}";
}

// Compact text; bytes that are not UTF-8 become U+FFFD.
void Dump(std::string* out, const Json& j) {
  *out += j.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace

void CountReport(ReportCounts* c, const FileReport& r) {
  c->files++;
  if (r.status >= 0 && r.status < kStatuses) c->status[r.status]++;
  if (r.read && r.category >= 0 && r.category < kLevels) c->category[r.category]++;
}

void AppendFileJson(std::string* out, const FileReport& r) { FileObject(out, r); }

void AppendSummaryJson(std::string* out, const ReportCounts& c) {
  Json s = Json::object();
  s["files"] = c.files;
  Json status = Json::object();
  for (int i = 0; i < kStatuses; i++) status[StatusName(i)] = c.status[i];
  s["status"] = status;
  Json verdict = Json::object();
  for (int i = kLevelFix; i >= kLevelOk; i--) verdict[CategoryName(i)] = c.category[i];
  s["verdict"] = verdict;
  Dump(out, s);
}

void AppendDocumentHead(std::string* out) { *out += "{\"files\":["; }

void AppendDocumentFile(std::string* out, ReportCounts* c, const FileReport& r) {
  if (c->files > 0) *out += ',';
  AppendFileJson(out, r);
  CountReport(c, r);
}

void AppendDocumentTail(std::string* out, const ReportCounts& c) {
  *out += "],\"summary\":";
  AppendSummaryJson(out, c);
  *out += '}';
}
