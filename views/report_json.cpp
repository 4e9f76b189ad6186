#include "views/report_json.h"

#ifndef JSON_NOEXCEPTION
#define JSON_NOEXCEPTION  // the build has no exceptions
#endif
#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
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

std::string Colour(uint32_t rgb) {
  char s[8];
  snprintf(s, sizeof s, "%06x", rgb & 0xFFFFFF);
  return s;
}

Json Flags(uint32_t flags) {
  Json a = Json::array();
  for (int c = 0; c < kCodes; c++)
    if (flags & (1u << c)) a.push_back(FindingCodeName(c));
  return a;
}

// The frame of the key that set a twist, or null when none did (no key
// twisted that way); a key's frame may be negative.
Json FrameOrNull(double degrees, int32_t frame) { return degrees > 0 ? Json(frame) : Json(nullptr); }

// What bones and morphs have alike: first the name, keys and frames, last
// the listing, colour and flags.
Json TrackHead(const ReportTrack& t) {
  Json o = Json::object();
  o["name"] = t.name;
  if (t.hex[0]) o["nameHex"] = t.hex;
  o["keys"] = t.keys;
  o["firstFrame"] = t.firstFrame;
  o["lastFrame"] = t.lastFrame;
  return o;
}

Json TrackTail(Json o, const ReportTrack& t) {
  o["listed"] = t.listed != 0;
  o["colour"] = Colour(t.colour);
  o["flags"] = Flags(t.flags);
  return o;
}

Json Bone(const ReportTrack& t) {
  Json o = TrackHead(t);
  o["moved"] = t.moved != 0;
  o["position"] = Amount(t.maxPos);
  o["positionFrame"] = t.maxPos > 0.0f ? Json(t.posFrame) : Json(nullptr);
  o["rotation"] = Degrees(t.rotDeg);
  o["rotationFrame"] = t.rotDeg > 0.0 ? Json(t.rotFrame) : Json(nullptr);
  if (t.twisted) {
    o["twist"] = {
        {"plus", {{"degrees", Degrees(t.twistPlusDeg)}, {"frame", FrameOrNull(t.twistPlusDeg, t.twistPlusFrame)}}},
        {"minus",
         {{"degrees", Degrees(t.twistMinusDeg)}, {"frame", FrameOrNull(t.twistMinusDeg, t.twistMinusFrame)}}},
    };
  }
  return TrackTail(std::move(o), t);
}

Json Morph(const ReportTrack& t) {
  Json o = TrackHead(t);
  o["minWeight"] = Amount(t.minWeight);
  o["maxWeight"] = Amount(t.maxWeight);
  return TrackTail(std::move(o), t);
}

Json Finding(const ReportFinding& f) {
  static const char* const kSubjects[] = {nullptr, "bone", "morph", "model", "ik"};
  Json o = Json::object();
  o["code"] = FindingCodeName(f.code);
  o["severity"] = SeverityName(f.severity);
  o["fixable"] = FindingFixable(f.code);
  if (f.subject > 0 && f.subject <= kAboutIk) o[kSubjects[f.subject]] = f.name;
  if (f.frame >= 0) o["frame"] = f.frame;
  o["message"] = f.message;
  return o;
}

Json Detail(const FileReport& r) {
  Json d = Json::object();
  char message[256];
  StatusMessage(r, message, sizeof message);
  switch (r.status) {
    case kStatusUnreadable:
      d["reason"] = r.reason;
      d["code"] = r.openError;
      break;
    case kStatusNotMotion:
      d["offset"] = r.badHeaderAt;
      d["byte"] = r.badHeaderByte < 0 ? Json(nullptr) : Json(r.badHeaderByte);
      d["fileBytes"] = r.fileBytes;
      break;
    case kStatusCut:
      d["section"] = VmdPartName(r.cutPart);
      d["inCount"] = r.cutInCount;
      if (r.cutPart >= kVmdBone) {
        d["declared"] = r.cutInCount ? Json(nullptr) : Json(r.cutDeclared);
        d["read"] = r.cutRead;
      }
      d["endOffset"] = r.fileBytes;
      if (r.badCount) {
        d["reason"] = "negative count";  // not the end of the file: where reading stopped
        d["endOffset"] = r.stopOffset;
      }
      break;
    default:
      break;
  }
  d["message"] = message;
  return d;
}

Json FileObject(const FileReport& r) {
  static const char* const kSections[kVmdSections] = {"bone",  "morph",      "camera",
                                                      "light", "selfShadow", "showIk"};
  Json o = Json::object();
  o["path"] = r.path;
  o["status"] = StatusName(r.status);
  if (r.status != kStatusComplete) o["detail"] = Detail(r);
  if (!r.read) return o;

  static char verdict[kVerdictUtf8];
  VerdictUtf8(r, verdict, sizeof verdict);
  o["verdict"] = {{"category", CategoryName(r.category)}, {"categories", Json::array()},
                  {"text", verdict}};
  for (int c = kLevelFix; c >= kLevelOk; c--)
    if (r.categories & (1u << c)) o["verdict"]["categories"].push_back(CategoryName(c));
  o["fileBytes"] = r.fileBytes;
  o["modelName"] = r.modelName;
  if (r.modelHex[0]) o["modelNameHex"] = r.modelHex;
  Json sections = Json::object();
  for (int s = 0; s < kVmdSections; s++)
    sections[kSections[s]] = {{"present", r.present[s]}, {"count", r.declared[s]},
                              {"read", r.records[s]}};
  o["sections"] = sections;
  o["trailingBytes"] = r.trailingBytes;
  o["keys"] = r.keys;
  o["duration"] = {{"frames", r.durationFrames}, {"seconds", Round(r.durationFrames / 30.0, 1e3)}};

  Json bones = Json::array();
  for (int i = 0; i < r.boneCount; i++) bones.push_back(Bone(r.bones[i]));
  o["bones"] = bones;
  Json morphs = Json::array();
  for (int i = 0; i < r.morphCount; i++) morphs.push_back(Morph(r.morphs[i]));
  o["morphs"] = morphs;
  Json findings = Json::array();
  for (int i = 0; i < r.findingCount; i++) findings.push_back(Finding(r.findings[i]));
  o["findings"] = findings;
  o["findingsOmitted"] = r.findingsOmitted;
  Json lines = Json::array();
  char text[kLineUtf8];
  for (int i = 0; i < r.lineCount; i++) {
    LineUtf8(r.lines[i], text, sizeof text);
    lines.push_back({{"colour", Colour(r.lines[i].colour)}, {"text", text}});
  }
  o["report"] = lines;
  return o;
}

// Compact text; bytes that are not UTF-8 (a path as given) become U+FFFD.
void Dump(std::string* out, const Json& j) {
  *out += j.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace

void CountReport(ReportCounts* c, const FileReport& r) {
  c->files++;
  if (r.status >= 0 && r.status < kStatuses) c->status[r.status]++;
  if (r.read && r.category >= 0 && r.category < kLevels) c->category[r.category]++;
}

void AppendFileJson(std::string* out, const FileReport& r) { Dump(out, FileObject(r)); }

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
