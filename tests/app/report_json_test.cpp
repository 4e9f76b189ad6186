// The JSON views write their text directly: it must be what nlohmann::json
// prints for the same value, whatever bytes the texts hold.
#include <gtest/gtest.h>

#ifndef JSON_NOEXCEPTION
#define JSON_NOEXCEPTION
#endif
#include <nlohmann/json.hpp>

#include <cmath>
#include <cstring>
#include <random>
#include <string>

#include "views/report_json.h"

namespace {

using Json = nlohmann::ordered_json;

std::string Dump(const Json& j) { return j.dump(-1, ' ', false, Json::error_handler_t::replace); }

// Random text of 0..40 bytes: mostly UTF-8 (ASCII, Japanese, controls,
// quotes), sometimes any byte at all, so that broken sequences occur.
std::string RandomText(std::mt19937& rng) {
  static const char* const kPieces[] = {"a", "Z", " ", "\"", "\\", "\n", "\t", "\x01", "\x1f",
                                        "\x7f", "左腕", "ω", "\xF0\x9F\x98\x80", "/", "%"};
  std::string s;
  const int n = static_cast<int>(rng() % 12);
  for (int i = 0; i < n; i++) {
    if (rng() % 4 == 0)
      s += static_cast<char>(1 + rng() % 255);
    else
      s += kPieces[rng() % (sizeof kPieces / sizeof kPieces[0])];
  }
  return s;
}

void Copy(char* dst, size_t cap, const std::string& s) { snprintf(dst, cap, "%s", s.c_str()); }

TEST(ReportJson, StringsAreEscapedAsTheLibraryEscapesThem) {
  static FileReport r;
  std::mt19937 rng(18);
  for (int round = 0; round < 3000; round++) {
    memset(&r, 0, sizeof r);
    Copy(r.path, sizeof r.path, RandomText(rng));
    Copy(r.reason, sizeof r.reason, RandomText(rng));
    r.status = kStatusUnreadable;
    r.openError = static_cast<int>(rng()) - 1000;
    Json want = Json::object();
    want["path"] = r.path;
    want["status"] = "unreadable";
    want["detail"] = {{"reason", r.reason}, {"code", r.openError}, {"message", r.reason}};
    std::string got;
    AppendFileJson(&got, r);
    ASSERT_EQ(got, Dump(want)) << round;
  }
}

// A read file with hostile texts and numbers (NaN, infinities, negative
// zero, huge values) is valid JSON in the library's own form: read back and
// printed again, it is the same text.
TEST(ReportJson, ReadFileIsCanonicalJson) {
  static FileReport r;
  std::mt19937 rng(5);
  const float kOdd[] = {NAN, INFINITY, -INFINITY, -0.0f, 1e30f, 1e-30f, 0.1f, 3.0f};
  auto number = [&] {
    return rng() % 3 == 0 ? kOdd[rng() % 8] : std::ldexp(float(rng() % 100000) - 50000, -(int)(rng() % 20));
  };
  for (int round = 0; round < 300; round++) {
    memset(&r, 0, sizeof r);
    r.status = static_cast<int>(rng() % 2);  // complete or cut
    r.read = true;
    r.cutPart = static_cast<int>(rng() % kVmdParts);
    r.cutInCount = rng() % 2;
    Copy(r.path, sizeof r.path, RandomText(rng));
    Copy(r.modelName, sizeof r.modelName, RandomText(rng));
    Copy(r.boxtext, sizeof r.boxtext, RandomText(rng));
    r.categories = rng() & 31;
    r.durationFrames = static_cast<int32_t>(rng());
    r.boneCount = 3;
    r.morphCount = 2;
    for (int i = 0; i < 3; i++) {
      ReportTrack& t = r.bones[i];
      Copy(t.name, sizeof t.name, RandomText(rng));
      t.maxPos = number();
      t.rotDeg = number();
      t.twisted = rng() % 2;
      t.twistPlusDeg = number();
      t.twistMinusFrame = static_cast<int32_t>(rng() % 3) - 1;
      t.flags = static_cast<uint32_t>(rng());
      r.morphs[i % 2].minWeight = number();
      r.morphs[i % 2].maxWeight = number();
    }
    r.findingCount = 2;
    for (int i = 0; i < 2; i++) {
      r.findings[i].subject = static_cast<int>(rng() % 5);
      r.findings[i].frame = static_cast<int32_t>(rng() % 3) - 1;
      Copy(r.findings[i].name, sizeof r.findings[i].name, RandomText(rng));
      Copy(r.findings[i].message, sizeof r.findings[i].message, RandomText(rng));
    }
    r.lineCount = 2;
    Copy(r.lines[1].text, sizeof r.lines[1].text, RandomText(rng));
    r.lines[1].length = static_cast<uint16_t>(strlen(r.lines[1].text));
    std::string got;
    AppendFileJson(&got, r);
    const Json back = Json::parse(got, nullptr, false);
    ASSERT_FALSE(back.is_discarded()) << got;
    ASSERT_EQ(Dump(back), got) << round;
  }
}

}  // namespace
