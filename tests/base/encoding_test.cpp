#include "base/encoding.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "base/diag.h"
#include "platform/headless/headless.h"

namespace {

using U16 = std::u16string;

std::string gDiag;
void CollectDiag(const char* text) { gDiag += text; }

class Encoding : public ::testing::Test {
 protected:
  void SetUp() override {
    HeadlessReset();
    gDiag.clear();
    DiagSetReceiver(CollectDiag);
  }
  void TearDown() override { DiagSetReceiver(nullptr); }
};

// A converter's text into a 64-unit buffer, and its result.
template <typename To, typename From>
std::pair<std::basic_string<To>, int> Conv(int (*f)(To*, int, const From*), const From* src) {
  To buf[64];
  int r = f(buf, 64, src);
  return {buf, r};
}
U16 SjisToUni(const char* src) { return Conv(sjistouni, src).first; }

// Every code that decodes to one 16-bit unit is what that unit encodes to
// (the tables' contents are the generator's, checked below).
TEST(EncodingTables, SixteenBitValuesMapBack) {
  for (uint32_t code = 0; code <= 0xFFFF; code++) {
    const uint32_t cp = sjis2uni(code);
    if (cp && cp <= 0xFFFF) {
      EXPECT_EQ(uni2sjis(cp), code) << std::hex << code;
    }
  }
  EXPECT_EQ(uni2sjis(0x10000), 0);
  EXPECT_EQ(sjis2uni(0x10000), 0u);
}

TEST(EncodingTables, Exceptions) {
  // code, the code point it decodes to (0: none)
  const uint32_t decode[][2] = {
      {0x815C, 0x2014}, {0x81D4, 0xFF5F}, {0x5C, 0xA5}, {0x7E, 0x203E}, {0xA1, 0xFF61},
      {0xDF, 0xFF9F},   {0x82A0, 0x3042}, {0xFCF4, 0x2A6B2},
      // combining sequences, lone and bad lead bytes, trail bytes below 0x40
      {0x82F5, 0}, {0x8663, 0}, {0x8686, 0}, {0x00, 0}, {0x80, 0}, {0x81, 0}, {0xA0, 0},
      {0xFD, 0},   {0x8040, 0}, {0x813F, 0}};
  for (const auto& d : decode) EXPECT_EQ(sjis2uni(d[0]), d[1]) << std::hex << d[0];
  // unit, the code it encodes to (0: none)
  const uint32_t encode[][2] = {{0x2014, 0x815C}, {0x2015, 0},    {0x2985, 0},
                                {0x5C, 0x815F},   {0xA5, 0x5C},   {0x2661, 0x83BB}};
  for (const auto& e : encode) EXPECT_EQ(uni2sjis(e[0]), e[1]) << std::hex << e[0];
  for (int b = 0; b < 256; b++)
    EXPECT_EQ(issjislead(b), (b >= 0x80 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)) << b;
}

// The committed table source is what the generator makes.
TEST(EncodingTables, GeneratedSourceIsCurrent) {
  if (std::system("python3 -c \"import codecs; codecs.lookup('shift_jis_2004')\" >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "python3 with the shift_jis_2004 codec is not available";
  std::string cmd = std::string("python3 \"") + TARVEL_SOURCE_DIR + "/tools/gen_sjis_tables.py\" --check \"" +
                    TARVEL_SOURCE_DIR + "/base/sjis_tables.cpp\"";
  EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
}

TEST_F(Encoding, SjisToUniAndNarrowFormsFollowTheCodePage) {
  gHeadless.codePage = 932;
  EXPECT_EQ(Conv(sjistouni, "\x82\xA0"), std::pair(U16(u"\u3042"), 2));
  EXPECT_EQ(SjisToUni("\x5C\xB1"), u"\\\u00B1");  // single bytes keep their value
  EXPECT_EQ(SjisToUni("\x81\x5C"), u"\u2014");
  EXPECT_EQ(SjisToUni("\x87\xA0"), u"\xD840\xDC0B");  // U+2000B as a surrogate pair
  EXPECT_EQ(SjisToUni("a\x81\x30z"), u"a?z");        // the byte after a lead is its trail
  EXPECT_EQ(Conv(sjistouni, "ab\x82"), std::pair(U16(u"ab"), 3));  // a lone last lead: dropped

  // A UTF-8 system knows no lead bytes: the fixed Shift-JIS ranges are used.
  gHeadless.codePage = 65001;
  EXPECT_EQ(SjisToUni("\x82\xA0\x80"), u"\u3042\u0080");

  // the narrow forms are UTF-8 or Shift-JIS by the code page
  for (auto [cp, narrow] : {std::pair{65001, "\xE3\x81\x82"}, {932, "\x82\xA0"}}) {
    gHeadless.codePage = cp;
    EXPECT_EQ(Conv(narrowtouni, narrow).first, u"\u3042");
    EXPECT_EQ(Conv(unitonarrow, u"\u3042").first, narrow);
  }
}

// Every converter, at every capacity up to the full size: nothing is written
// past the capacity, the result is terminated, and it holds whole characters
// only (a prefix of the full conversion ending on a character boundary).
template <typename Ch, typename Conv>
void SweepCapacities(const char* what, Conv conv, std::basic_string<Ch> full,
                     std::basic_string<Ch> boundaries) {
  for (int cap = 0; cap <= (int)full.size() + 2; cap++) {
    Ch buf[80];
    for (Ch& c : buf) c = (Ch)0x5A;
    conv(buf, cap);
    for (int i = cap; i < 80; i++) ASSERT_EQ(buf[i], (Ch)0x5A) << what << " cap " << cap;
    if (cap == 0) continue;
    std::basic_string<Ch> got(buf, std::char_traits<Ch>::length(buf));
    ASSERT_LT((int)got.size(), cap) << what;
    EXPECT_EQ(full.compare(0, got.size(), got), 0) << what << " cap " << cap;
    // got ends where a character ends and is the longest such prefix that fits.
    size_t expect = 0;
    for (size_t k = 0; k < boundaries.size(); k++)
      if ((int)boundaries[k] < cap) expect = boundaries[k];
    EXPECT_EQ(got.size(), expect) << what << " cap " << cap;
  }
}

TEST_F(Encoding, ShiftJisCountLimit) {
  std::string src(10000, 'a');
  static char16_t wide[10010];
  EXPECT_EQ(sjistouni(wide, 10010, src.c_str()), 9999);
  EXPECT_EQ(unilen(wide), 4999);
  EXPECT_EQ(std::char_traits<char16_t>::length(wide), 9998u);

  U16 units(10000, u'b');
  static char narrow[10010];
  EXPECT_EQ(unitosjis(narrow, 10010, units.c_str()), 9999);
  EXPECT_EQ(strlen(narrow), 9998u);
  // A pair whose trail falls past the limit is dropped with it.
  src[9997] = '\x82';
  src[9998] = '\xA0';
  gHeadless.codePage = 932;
  sjistouni(wide, 10010, src.c_str());
  EXPECT_EQ(std::char_traits<char16_t>::length(wide), 9997u);
}

constexpr int kAny = -1000;  // the result is not checked

// One converter's input, its text and its result.
template <typename To, typename From>
struct Row {
  int (*f)(To*, int, const From*);
  std::basic_string<From> in;
  std::basic_string<To> out;
  int ret;
};
template <typename To, typename From>
void CheckRows(std::initializer_list<Row<To, From>> rows) {
  int i = 0;
  for (const Row<To, From>& r : rows) {
    auto [out, ret] = Conv(r.f, r.in.c_str());
    EXPECT_EQ(out, r.out) << "row " << i;
    if (r.ret != kAny) {
      EXPECT_EQ(ret, r.ret) << "row " << i;
    }
    i++;
  }
}

TEST_F(Encoding, Converters) {
  CheckRows<char16_t, char>({
      {utf8touni, "\x41\xE3\x81\x82", u"A\u3042", 7},
      {utf8touni, "\xF0\x9F\x98\x80!", u"x01F600!", 7},
      {utf8touni, "\xC0\x81\xED\xA0\x80", u"\u0001\xD800", 7},  // overlong and surrogate decoded
      {utf8touni, "\x80\x41", u"A", 0},
      {utf8touni, "\x80\x80\x41", u"", 0},  // the second invalid sequence stops
      {utf8touni, "\xC3\x41\x42", u"B", 0},  // the offending byte goes too
      {utf8touni, "a\xE3\x81", u"a", 0}});
  CheckRows<char, char16_t>({
      {unitosjis, u"\u3042", "\x82\xA0", kAny},
      {unitosjis, u"\u00A5\u00E9", "\xA5\xE9", kAny},  // below 0x100: the byte itself
      {unitosjis, u"\u2015", "?", kAny},
      {unitosjis, u"\xD83D\xDE00", "??", kAny},
      {unitosjis, u"\uFF71", "\xB1", kAny},
      // shown to a person: no unit from 0x80 up becomes a lone byte
      {unitosjisshown, u"caf\u00E9.vmd", "caf\x85\x7E.vmd", kAny},
      {unitosjisshown, u"x\u00A5y", "x\x5Cy", kAny},
      {unitosjisshown, u"a\u0085\u00A0b", "a?\x85\x41" "b", kAny},
      {unitosjisshown, u"\u3042\uFF71", "\x82\xA0\xB1", kAny},
      {unitoutf8, u"\xD83D\xDE00", "\xF0\x9F\x98\x80", 4},
      {unitoutf8, u"a\u00E9\u3042", "a\xC3\xA9\xE3\x81\x82", 6},
      {unitoutf8, u"\xD83Dz!", "?!", 6},           // both units consumed
      {unitoutf8, u"\xDE00", "\xED\xB8\x80", 2},  // a lone low surrogate as three bytes
      {unitoutf8, u"a\xD83D", "a?", 4}});
  EXPECT_EQ(gDiag, "");  // the self-test holds
  CheckRows<char, char>({
      {utf8tosjis, "\xEF\xBD\x9E", "\x81\x60", 7},  // U+FF5E by the Windows list
      {utf8tosjis, "\xE3\x80\x9C", "\x81\x60", 7},  // U+301C
      {utf8tosjis, "\xE2\x80\x95", "\x81\x5C", 7},  // U+2015
      {utf8tosjis, "\xC3\xA9", "\x85\x7E", 7},
      {utf8tosjis, "\xC2\xA5", "\x5C", 7},
      {utf8tosjis, "a\xE0\xB8\x81" "b\xF0\x9F\x98\x80" "c", "abc", 7},  // no mapping, above U+FFFF
      {utf8tosjis, "\xE3\x81\x82\xFF\xE3\x81\x82", "\x82\xA0\x82\xA0", 0},
      {sjistoutf8, "\x81\x60", "\xEF\xBD\x9E", 7},
      {sjistoutf8, "\x81\x5C", "\xE2\x80\x95", 7},  // Windows list for 0x81-0x9F
      {sjistoutf8, "\xB1\xA0", "\xEF\xBD\xB1\xC2\xA0", 7},
      {sjistoutf8, "\x87\xA0", "\xF0\xA0\x80\x8B", 7},
      {sjistoutf8, "\xE0\x40", "\xE6\xBC\xBE", 15},
      {sjistoutf8, "\x81\x30" "a", "a", 1},
      {sjistoutf8, "\xE0\x30", "", 1},  // the OR 8 comes before the AND 1
      {sjistoutf8, "\x80\xA0", "", 2},
      {sjistoutf8, "\x82\xA0\x82", "\xE3\x81\x82", 3}});
  EXPECT_EQ(unichksjis(u"\u4E00\u00E9"), 0);
  EXPECT_EQ(unichksjis(u"a\u0E01"), -1);
  char buf[600];
  memset(buf, 'a', 519);
  buf[519] = 0;
  EXPECT_EQ(sjiscatutf8(buf, 600, "\xE0\x40"), 15);
  EXPECT_EQ(sjiscatutf8(buf, 600, "b"), -1);  // beyond 520 bytes nothing is added
  EXPECT_EQ(strlen(buf), 522u);
}

TEST_F(Encoding, Utf16Strings) {
  char16_t buf[6];
  EXPECT_EQ(unicpy(buf, 6, u"abc"), 3);
  EXPECT_EQ(unicat(buf, 6, u"defg"), 2);
  EXPECT_EQ(U16(buf), u"abcde");
  EXPECT_EQ(unicat(buf, 6, u"z"), 0);
  EXPECT_EQ(unicpy(buf, 6, u"0123456789"), 5);
  EXPECT_EQ(U16(buf), u"01234");
}

TEST_F(Encoding, CapacityIsNeverExceeded) {
  gHeadless.codePage = 932;
  const char* sjis = "a\x82\xA0\x87\xA0" "b";  // a, U+3042, U+2000B, b
  SweepCapacities<char16_t>("sjistouni", [&](char16_t* d, int c) { sjistouni(d, c, sjis); },
                            U16(u"a\u3042\xD840\xDC0B" u"b"), U16{1, 2, 4, 5});
  SweepCapacities<char>("unitosjis", [&](char* d, int c) { unitosjis(d, c, u"a\u3042\u2015b"); },
                        std::string("a\x82\xA0?b"), std::string{1, 3, 4, 5});
  const char* utf8 = "a\xF0\x9F\x98\x80\xE3\x81\x82";
  SweepCapacities<char16_t>("utf8touni", [&](char16_t* d, int c) { utf8touni(d, c, utf8); },
                            U16(u"ax01F600\u3042"), U16{1, 8, 9});
  SweepCapacities<char>("unitoutf8", [&](char* d, int c) { unitoutf8(d, c, u"a\xD83D\xDE00\u00E9"); },
                        std::string("a\xF0\x9F\x98\x80\xC3\xA9"), std::string{1, 5, 7});
  SweepCapacities<char>("utf8tosjis", [&](char* d, int c) { utf8tosjis(d, c, "\xE3\x81\x82z\xC3\xA9"); },
                        std::string("\x82\xA0z\x85\x7E"), std::string{2, 3, 5});
  SweepCapacities<char>("sjistoutf8", [&](char* d, int c) { sjistoutf8(d, c, "\x87\xA0z\xB1"); },
                        std::string("\xF0\xA0\x80\x8Bz\xEF\xBD\xB1"), std::string{4, 5, 8});
  // ASCII runs longer than the blocks the converter copies at once.
  std::string ends;
  for (char n = 1; n <= 21; n++) ends += n;
  for (char n = 24; n <= 39; n++) ends += n;
  SweepCapacities<char>("sjistoutf8 runs",
                        [&](char* d, int c) { sjistoutf8(d, c, "abcdefghijklmnopqrstu\x82\xA0vwxyz0123456789"); },
                        std::string("abcdefghijklmnopqrstu\xE3\x81\x82vwxyz0123456789"), ends);

  // Appending to a destination with no terminator inside its capacity changes
  // nothing.
  char16_t full[4] = {u'a', u'b', u'c', u'd'};
  EXPECT_EQ(sjiscatuni(full, 4, "x") + unicat(full, 4, u"x"), 0);
  EXPECT_EQ(U16(full, 4), u"abcd");
  char narrow[4] = {'a', 'b', 'c', 'd'};
  EXPECT_EQ(sjiscatutf8(narrow, 4, "x"), -1);
  EXPECT_EQ(memcmp(narrow, "abcd", 4), 0);
}

}  // namespace
