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

U16 SjisToUni(const char* src, int* result = nullptr) {
  char16_t buf[64];
  int r = sjistouni(buf, 64, src);
  if (result) *result = r;
  return buf;
}
std::string UniToSjis(const U16& src) {
  char buf[64];
  unitosjis(buf, 64, src.c_str());
  return buf;
}
U16 Utf8ToUni(const char* src, int* status) {
  char16_t buf[64];
  *status = utf8touni(buf, 64, src);
  return buf;
}
std::string Utf8ToSjis(const char* src, int* status = nullptr) {
  char buf[64];
  int r = utf8tosjis(buf, 64, src);
  if (status) *status = r;
  return buf;
}
std::string SjisToUtf8(const char* src, int* status = nullptr) {
  char buf[64];
  int r = sjistoutf8(buf, 64, src);
  if (status) *status = r;
  return buf;
}

TEST(EncodingTables, CountsAndRanges) {
  int mapped = 0, astral = 0;
  uint32_t lo = 0xFFFFFFFF, hi = 0;
  for (uint32_t code = 0; code <= 0xFFFF; code++) {
    uint32_t cp = sjis2uni(code);
    if (!cp) continue;
    mapped++;
    if (cp > 0xFFFF) {
      astral++;
      lo = cp < lo ? cp : lo;
      hi = cp > hi ? cp : hi;
    } else {
      // Every code with a 16-bit value is what that unit maps back to.
      EXPECT_EQ(uni2sjis(cp), code) << std::hex << code;
    }
  }
  EXPECT_EQ(mapped, 11398);
  EXPECT_EQ(astral, 303);
  EXPECT_EQ(lo, 0x2000Bu);
  EXPECT_EQ(hi, 0x2A6B2u);
  int units = 0;
  for (uint32_t u = 0; u <= 0xFFFF; u++) units += uni2sjis(u) != 0;
  EXPECT_EQ(units, 11095);
  EXPECT_EQ(uni2sjis(0x10000), 0);
  EXPECT_EQ(sjis2uni(0x10000), 0u);
}

TEST(EncodingTables, Exceptions) {
  EXPECT_EQ(sjis2uni(0x815C), 0x2014u);
  EXPECT_EQ(uni2sjis(0x2014), 0x815C);
  EXPECT_EQ(uni2sjis(0x2015), 0);
  EXPECT_EQ(sjis2uni(0x81D4), 0xFF5Fu);
  EXPECT_EQ(sjis2uni(0x81D5), 0xFF60u);
  EXPECT_EQ(uni2sjis(0xFF60), 0x81D5);
  EXPECT_EQ(uni2sjis(0x2985), 0);
  EXPECT_EQ(uni2sjis(0x2986), 0);
  for (uint32_t code : {0x82F5u, 0x82F9u, 0x8397u, 0x839Eu, 0x83F6u, 0x8663u, 0x8667u, 0x866Eu, 0x8685u, 0x8686u})
    EXPECT_EQ(sjis2uni(code), 0u) << std::hex << code;
  // Single bytes from JIS X 0201; backslash and tilde map to double-byte codes.
  EXPECT_EQ(sjis2uni(0x5C), 0xA5u);
  EXPECT_EQ(sjis2uni(0x7E), 0x203Eu);
  EXPECT_EQ(sjis2uni(0xA1), 0xFF61u);
  EXPECT_EQ(sjis2uni(0xDF), 0xFF9Fu);
  EXPECT_EQ(uni2sjis(0x5C), 0x815F);
  EXPECT_EQ(uni2sjis(0x7E), 0x81B0);
  EXPECT_EQ(uni2sjis(0xA5), 0x5C);
  for (uint32_t code : {0x00u, 0x80u, 0x81u, 0x9Fu, 0xA0u, 0xE0u, 0xFCu, 0xFDu, 0xFFu, 0x8040u, 0x80A0u, 0x813Fu, 0x8200u})
    EXPECT_EQ(sjis2uni(code), 0u) << std::hex << code;
  EXPECT_EQ(sjis2uni(0x82A0), 0x3042u);
  EXPECT_EQ(sjis2uni(0xFCF4), 0x2A6B2u);
  EXPECT_EQ(uni2sjis(0x2661), 0x83BB);

  EXPECT_TRUE(issjislead(0x80));
  EXPECT_TRUE(issjislead(0x9F));
  EXPECT_TRUE(issjislead(0xE0));
  EXPECT_TRUE(issjislead(0xFC));
  EXPECT_FALSE(issjislead(0x7F));
  EXPECT_FALSE(issjislead(0xA0));
  EXPECT_FALSE(issjislead(0xDF));
  EXPECT_FALSE(issjislead(0xFD));
}

// The committed table source is what the generator makes.
TEST(EncodingTables, GeneratedSourceIsCurrent) {
  if (std::system("python3 -c \"import codecs; codecs.lookup('shift_jis_2004')\" >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "python3 with the shift_jis_2004 codec is not available";
  std::string cmd = std::string("python3 \"") + TARVEL_SOURCE_DIR + "/tools/gen_sjis_tables.py\" --check \"" +
                    TARVEL_SOURCE_DIR + "/base/sjis_tables.cpp\"";
  EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
}

TEST_F(Encoding, SjisToUniOnShiftJisSystem) {
  gHeadless.codePage = 932;
  int r;
  EXPECT_EQ(SjisToUni("\x82\xA0", &r), u"\u3042");
  EXPECT_EQ(r, 2);
  EXPECT_EQ(SjisToUni("\x5C\xB1"), u"\\\u00B1");  // single bytes keep their value
  EXPECT_EQ(SjisToUni("\x81\x5C"), u"\u2014");
  EXPECT_EQ(SjisToUni("\x87\xA0"), u"\xD840\xDC0B");  // U+2000B as a surrogate pair
  EXPECT_EQ(SjisToUni("a\x81\x30z"), u"a?z");        // the byte after a lead is its trail
  EXPECT_EQ(SjisToUni("ab\x82", &r), u"ab");          // a lone last lead byte is dropped
  EXPECT_EQ(r, 3);

  char16_t buf[16] = u"AB";
  EXPECT_EQ(sjiscatuni(buf, 16, "\x82\xA0" "c"), 3);
  EXPECT_EQ(U16(buf), u"AB\u3042c");
}

TEST_F(Encoding, SjisToUniLeadBytesFollowCodePage) {
  // A UTF-8 system knows no lead bytes; the fixed Shift-JIS ranges are used.
  gHeadless.codePage = 65001;
  EXPECT_EQ(SjisToUni("\x82\xA0\x80"), u"\u3042\u0080");
  // A single-byte code page: every byte is one unit.
  gHeadless.codePage = 1252;
  EXPECT_EQ(SjisToUni("\x82\xA0"), u"\u0082\u00A0");
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

TEST_F(Encoding, UniToSjis) {
  EXPECT_EQ(UniToSjis(u"\u3042"), "\x82\xA0");
  EXPECT_EQ(UniToSjis(u"\u00A5\u00E9"), "\xA5\xE9");  // below 0x100: the byte itself
  EXPECT_EQ(UniToSjis(u"\u2015"), "?");
  EXPECT_EQ(UniToSjis(u"\xD83D\xDE00"), "??");
  EXPECT_EQ(UniToSjis(u"\uFF71"), "\xB1");
  EXPECT_EQ(UniToSjis(u"\u2661"), "\x83\xBB");
  EXPECT_EQ(gDiag, "");  // the self-test holds

  EXPECT_EQ(unichksjis(u"\u4E00\u00E9"), 0);
  EXPECT_EQ(unichksjis(u"a\u0E01"), -1);
  EXPECT_EQ(unichksjis(u""), 0);
}

TEST_F(Encoding, Utf8ToUni) {
  int st;
  EXPECT_EQ(Utf8ToUni("\x41\xE3\x81\x82", &st), u"A\u3042");
  EXPECT_EQ(st, 7);
  EXPECT_EQ(Utf8ToUni("\xF0\x9F\x98\x80!", &st), u"x01F600!");
  EXPECT_EQ(st, 7);
  EXPECT_EQ(Utf8ToUni("\xC0\x81\xED\xA0\x80", &st), u"\u0001\xD800");  // overlong and surrogate decoded
  EXPECT_EQ(st, 7);
  EXPECT_EQ(Utf8ToUni("\x80\x41", &st), u"A");
  EXPECT_EQ(st, 0);
  EXPECT_EQ(Utf8ToUni("\x80\x80\x41", &st), u"");  // the second invalid sequence stops
  EXPECT_EQ(st, 0);
  EXPECT_EQ(Utf8ToUni("\xC3\x41\x42", &st), u"B");  // the offending byte goes too
  EXPECT_EQ(st, 0);
  EXPECT_EQ(Utf8ToUni("a\xE3\x81", &st), u"a");
  EXPECT_EQ(st, 0);

  char16_t buf[4];
  memset(buf, 0xFF, sizeof buf);
  utf8touni(buf, 4, "ab");
  EXPECT_EQ(buf[2], 0);
  EXPECT_EQ(buf[3], 0);  // two zero units when room allows
}

TEST_F(Encoding, UniToUtf8) {
  char buf[16];
  EXPECT_EQ(unitoutf8(buf, 16, u"\xD83D\xDE00"), 4);
  EXPECT_STREQ(buf, "\xF0\x9F\x98\x80");
  EXPECT_EQ(unitoutf8(buf, 16, u"a\u00E9\u3042"), 6);
  EXPECT_STREQ(buf, "a\xC3\xA9\xE3\x81\x82");
  EXPECT_EQ(unitoutf8(buf, 16, u"\xD83Dz!"), 6);  // both units consumed
  EXPECT_STREQ(buf, "?!");
  EXPECT_EQ(unitoutf8(buf, 16, u"\xDE00"), 2);  // a lone low surrogate as three bytes
  EXPECT_STREQ(buf, "\xED\xB8\x80");
  EXPECT_EQ(unitoutf8(buf, 16, u"a\xD83D"), 4);
  EXPECT_STREQ(buf, "a?");
}

TEST_F(Encoding, Utf8ToSjis) {
  int st;
  EXPECT_EQ(Utf8ToSjis("\xEF\xBD\x9E", &st), "\x81\x60");  // U+FF5E by the Windows list
  EXPECT_EQ(st, 7);
  EXPECT_EQ(Utf8ToSjis("\xE3\x80\x9C"), "\x81\x60");  // U+301C
  EXPECT_EQ(Utf8ToSjis("\xE2\x80\x95"), "\x81\x5C");  // U+2015
  EXPECT_EQ(Utf8ToSjis("\xE2\x80\x94"), "\x81\x5C");  // U+2014 by the table
  EXPECT_EQ(Utf8ToSjis("\xC3\xA9"), "\x85\x7E");
  EXPECT_EQ(Utf8ToSjis("\xC2\xA5"), "\x5C");
  EXPECT_EQ(Utf8ToSjis("a\xE0\xB8\x81" "b\xF0\x9F\x98\x80" "c"), "abc");  // no mapping, above U+FFFF
  EXPECT_EQ(Utf8ToSjis("\xE3\x81\x82\xFF\xE3\x81\x82", &st), "\x82\xA0\x82\xA0");
  EXPECT_EQ(st, 0);
}

TEST_F(Encoding, SjisToUtf8AndStatus) {
  int st;
  EXPECT_EQ(SjisToUtf8("\x81\x60", &st), "\xEF\xBD\x9E");
  EXPECT_EQ(st, 7);
  EXPECT_EQ(SjisToUtf8("\x81\x5C"), "\xE2\x80\x95");  // Windows list for 0x81-0x9F
  EXPECT_EQ(SjisToUtf8("\xB1\xA0"), "\xEF\xBD\xB1\xC2\xA0");
  EXPECT_EQ(SjisToUtf8("\x87\xA0"), "\xF0\xA0\x80\x8B");
  EXPECT_EQ(SjisToUtf8("\xE0\x40", &st), "\xE6\xBC\xBE");
  EXPECT_EQ(st, 15);
  EXPECT_EQ(SjisToUtf8("a\xFDz", &st), "az");
  EXPECT_EQ(st, 15);
  EXPECT_EQ(gDiag, "");

  EXPECT_EQ(SjisToUtf8("\x81\x30" "a", &st), "a");
  EXPECT_EQ(st, 1);
  EXPECT_EQ(gDiag, "<<<uni000000:sjis008130>>>[81 30(x)](2nd byte==0x00-3F) ");
  EXPECT_EQ(SjisToUtf8("\xE0\x30", &st), "");
  EXPECT_EQ(st, 1);  // the OR 8 comes before the AND 1
  EXPECT_EQ(SjisToUtf8("\x80\xA0", &st), "");
  EXPECT_EQ(st, 2);
  EXPECT_EQ(SjisToUtf8("\x82\xA0\x82", &st), "\xE3\x81\x82");
  EXPECT_EQ(st, 3);
  EXPECT_EQ(SjisToUtf8("\xFE\xE0\x40\x82", &st), "\xE6\xBC\xBE");
  EXPECT_EQ(st, 3);

  char buf[600];
  memset(buf, 'a', 519);
  buf[519] = 0;
  EXPECT_EQ(sjiscatutf8(buf, 600, "\xE0\x40"), 15);
  EXPECT_EQ(strlen(buf), 522u);
  EXPECT_EQ(sjiscatutf8(buf, 600, "b"), -1);
  EXPECT_EQ(strlen(buf), 522u);
}

TEST_F(Encoding, Utf16Strings) {
  U16 longer(6000, u'x');
  EXPECT_EQ(unilen(longer.c_str()), 4999);
  EXPECT_EQ(unilen(u"abc"), 3);
  char16_t buf[6];
  EXPECT_EQ(unicpy(buf, 6, u"abc"), 3);
  EXPECT_EQ(unicat(buf, 6, u"defg"), 2);
  EXPECT_EQ(U16(buf), u"abcde");
  EXPECT_EQ(unicat(buf, 6, u"z"), 0);
  EXPECT_EQ(unicpy(buf, 6, u"0123456789"), 5);
  EXPECT_EQ(U16(buf), u"01234");
}

TEST_F(Encoding, NarrowFollowsCodePage) {
  char16_t wide[16];
  char narrow[16];
  gHeadless.codePage = 65001;
  narrowtouni(wide, 16, "\xE3\x81\x82");
  EXPECT_EQ(U16(wide), u"\u3042");
  unitonarrow(narrow, 16, u"\u3042");
  EXPECT_STREQ(narrow, "\xE3\x81\x82");
  gHeadless.codePage = 932;
  narrowtouni(wide, 16, "\x82\xA0");
  EXPECT_EQ(U16(wide), u"\u3042");
  unitonarrow(narrow, 16, u"\u3042");
  EXPECT_STREQ(narrow, "\x82\xA0");
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

  // Appending to a destination with no terminator inside its capacity changes
  // nothing.
  char16_t full[4] = {u'a', u'b', u'c', u'd'};
  EXPECT_EQ(sjiscatuni(full, 4, "x"), 0);
  EXPECT_EQ(unicat(full, 4, u"x"), 0);
  EXPECT_EQ(U16(full, 4), u"abcd");
  char narrow[4] = {'a', 'b', 'c', 'd'};
  EXPECT_EQ(sjiscatutf8(narrow, 4, "x"), -1);
  EXPECT_EQ(memcmp(narrow, "abcd", 4), 0);
}

}  // namespace
