#include "base/textfile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/diag.h"
#include "base/filechan.h"
#include "tests/support/tempdir.h"

namespace {

std::vector<std::string> gMessages;
void Collect(const char* text) { gMessages.push_back(text); }

class TextReaderTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    tfreset();
    gMessages.clear();
    DiagSetReceiver(Collect);
    ASSERT_TRUE(dir.Ok());
  }
  void TearDown() override {
    tfreset();
    rfreset();
    DiagSetReceiver(nullptr);
  }
  bool Wide() const { return GetParam(); }
  int Open(const std::string& name) {
    return Wide() ? tfopenW(dir.PathW(name).c_str()) : tfopen(dir.Path(name).c_str());
  }
  int OpenBytes(const std::string& bytes) {
    dir.Write("t.txt", bytes);
    return Open("t.txt");
  }
  int Utf8(const std::string& name) {
    return Wide() ? chkifutf8W(dir.PathW(name).c_str()) : chkifutf8(dir.Path(name).c_str());
  }
  int Sjis(const std::string& name) {
    return Wide() ? chkifsjisW(dir.PathW(name).c_str()) : chkifsjis(dir.Path(name).c_str());
  }
  int Utf8Of(const std::string& bytes) {
    dir.Write("c.txt", bytes);
    return Utf8("c.txt");
  }
  int SjisOf(const std::string& bytes) {
    dir.Write("c.txt", bytes);
    return Sjis("c.txt");
  }
  TempDir dir;
};

TEST_P(TextReaderTest, LineEndRunsAreSkippedAndTheEndIsSeenOnce) {
  char line[100];
  ASSERT_EQ(OpenBytes("ab\r\n\r\ncd"), 0);
  EXPECT_EQ(tfeof(), 0);
  EXPECT_EQ(tfgets(line, sizeof line), 2);
  EXPECT_STREQ(line, "ab");
  EXPECT_EQ(tfeof(), 0);
  EXPECT_EQ(tfgets(line, sizeof line), 2);
  EXPECT_STREQ(line, "cd");
  EXPECT_EQ(tfeof(), -1);  // the last line has no line end
  EXPECT_EQ(tfgets(line, sizeof line), 0);
  EXPECT_STREQ(line, "");

  ASSERT_EQ(OpenBytes("ab\r\n\r\ncd\r\n"), 0);
  EXPECT_EQ(tfgets(line, sizeof line), 2);
  EXPECT_EQ(tfgets(line, sizeof line), 2);
  EXPECT_STREQ(line, "cd");
  EXPECT_EQ(tfeof(), 0);
  EXPECT_EQ(tfgets(line, sizeof line), 0);
  EXPECT_STREQ(line, "");
  EXPECT_EQ(tfeof(), -1);
}

TEST_P(TextReaderTest, LongLinesAreCutAndEofByteEndsALine) {
  char line[100];
  ASSERT_EQ(OpenBytes("0123456789\nx"), 0);
  memset(line, '#', sizeof line);
  EXPECT_EQ(tfgets(line, 8), 6);
  EXPECT_EQ(std::string(line, 8), std::string("012345\0\0", 8));
  EXPECT_EQ(line[8], '#');  // nothing past size
  EXPECT_EQ(tfgets(line, 8), 4);
  EXPECT_STREQ(line, "6789");
  EXPECT_EQ(tfgets(line, 8), 1);
  EXPECT_STREQ(line, "x");

  ASSERT_EQ(OpenBytes("a\x1A" "b"), 0);
  EXPECT_EQ(tfgets(line, sizeof line), 1);
  EXPECT_STREQ(line, "a");
  EXPECT_EQ(tfgets(line, sizeof line), 1);
  EXPECT_STREQ(line, "b");

  // Too small to hold anything: untouched, nothing consumed.
  ASSERT_EQ(OpenBytes("abc"), 0);
  memset(line, '#', sizeof line);
  EXPECT_EQ(tfgets(line, 2), 0);
  EXPECT_EQ(tfgets(line, 0), 0);
  EXPECT_EQ(line[0], '#');
  EXPECT_EQ(tfpeek(), 'a');
  // Size 3 holds one byte.
  EXPECT_EQ(tfgets(line, 3), 1);
  EXPECT_EQ(std::string(line, 3), std::string("a\0\0", 3));
}

TEST_P(TextReaderTest, ByteReadsKeepOneByteAhead) {
  ASSERT_EQ(OpenBytes("\xFFz"), 0);
  EXPECT_EQ(tfpeek(), 0xFF);
  EXPECT_EQ(tfgetc(), 0xFF);
  EXPECT_EQ(tfpeek(), 'z');
  EXPECT_EQ(tfgetc(), 'z');
  EXPECT_EQ(tfpeek(), -1);
  EXPECT_EQ(tfeof(), 0);
  EXPECT_EQ(tfgetc(), -1);
  EXPECT_EQ(tfeof(), -1);
  EXPECT_EQ(tfgetc(), -1);  // the file stays open and keeps ending

  ASSERT_EQ(OpenBytes(""), 0);
  EXPECT_EQ(tfpeek(), -1);
  EXPECT_EQ(tfeof(), 0);
  tfclose();
  EXPECT_EQ(tfgetc(), -1);
  EXPECT_EQ(tfeof(), -1);
}

TEST_P(TextReaderTest, ManyLinesAcrossTheBufferBoundary) {
  std::string text;
  for (int i = 0; i < 1500; i++) {
    char l[32];
    snprintf(l, sizeof l, "line %04d%s", i, i % 3 == 0 ? "\r\n" : "\n\n");
    text += l;
  }
  ASSERT_GT(text.size(), 2u * 8192);
  ASSERT_EQ(OpenBytes(text), 0);
  char line[64];
  for (int i = 0; i < 1500; i++) {
    char want[32];
    snprintf(want, sizeof want, "line %04d", i);
    ASSERT_EQ(tfgets(line, sizeof line), 9) << i;
    ASSERT_STREQ(line, want);
  }
  EXPECT_EQ(tfgets(line, sizeof line), 0);
  EXPECT_EQ(tfeof(), -1);
}

TEST_P(TextReaderTest, ExistenceTestsCloseTheOpenFile) {
  dir.Write("here.txt", "abc");
  auto exists = [&](const std::string& n) {
    return Wide() ? tfexistsW(dir.PathW(n).c_str()) : tfexists(dir.Path(n).c_str());
  };
  ASSERT_EQ(Open("here.txt"), 0);
  EXPECT_EQ(tfgetc(), 'a');
  EXPECT_EQ(exists("here.txt"), 0);
  EXPECT_EQ(tfpeek(), -1);
  EXPECT_EQ(tfeof(), 0);
  EXPECT_EQ(exists("missing.txt"), -1);
  EXPECT_EQ(Open("missing.txt"), -1);
  EXPECT_EQ(tfgetc(), -1);
}

TEST_P(TextReaderTest, IndependentOfTheFileReader) {
  dir.Write("text.txt", "hello\nworld\n");
  dir.Write("data.bin", "XYZ");
  ASSERT_EQ(Open("text.txt"), 0);
  ASSERT_EQ(rfopenW(dir.PathW("data.bin").c_str()), 0);
  char line[16];
  EXPECT_EQ(tfgets(line, sizeof line), 5);
  EXPECT_EQ(rfgetc(), 'X');
  EXPECT_EQ(tfgets(line, sizeof line), 5);
  EXPECT_STREQ(line, "world");
  EXPECT_EQ(rfgetc(), 'Y');
  tfclose();
  EXPECT_EQ(rfgetc(), 'Z');
}

TEST_P(TextReaderTest, Utf8Check) {
  EXPECT_EQ(Utf8Of(""), 7);
  EXPECT_EQ(Utf8Of("plain ASCII\r\n"), 7);
  // U+3042, U+00E9, U+1F600
  EXPECT_EQ(Utf8Of("\xE3\x81\x82 \xC3\xA9 \xF0\x9F\x98\x80"), 7);
  EXPECT_EQ(Utf8Of("abc\xE3"), 0);               // cut off at the end
  EXPECT_EQ(Utf8Of("\x82\xA0 abc"), 0);          // Shift-JIS
  EXPECT_EQ(Utf8Of("\xE3\x81" "A \xE3\x81\x82"), 0);
  EXPECT_EQ(Utf8Of("\xF8 \xC3\xA9"), 0);
  EXPECT_EQ(Utf8Of("\xC3\xA9\xBF"), 0);
  // The check leaves the TextReader closed.
  EXPECT_EQ(tfpeek(), -1);

  gMessages.clear();
  EXPECT_EQ(Utf8("missing.txt"), -1);
  ASSERT_EQ(gMessages.size(), 1u);
  EXPECT_EQ(gMessages[0], Wide() ? std::string("Cannot open (RDs). \n")
                                 : "Cannot open " + dir.Path("missing.txt") + " .\n");
}

TEST_P(TextReaderTest, ShiftJisCheck) {
  EXPECT_EQ(SjisOf(""), 7);
  // HIRAGANA A, KATAKANA A, a kanji from lead 0x88, half-width KA.
  EXPECT_EQ(SjisOf("\x82\xA0\x83\x41\x88\x9F \xB6\r\n"), 7);
  EXPECT_EQ(SjisOf("a\xE0\x40" "b"), 15);
  EXPECT_EQ(SjisOf("a\xFD"), 15);
  EXPECT_EQ(SjisOf("\x82\xA0\x82"), 3);  // lead byte at the very end
  EXPECT_EQ(SjisOf("\xE0\x40\x82"), 3);

  gMessages.clear();
  EXPECT_EQ(SjisOf("\x81\x30"), 1);
  ASSERT_EQ(gMessages.size(), 1u);
  EXPECT_EQ(gMessages[0], "[81 30(x)](2nd byte==0x00-3F) ");

  gMessages.clear();
  EXPECT_EQ(SjisOf("\x80\x41"), 2);
  ASSERT_EQ(gMessages.size(), 1u);
  EXPECT_EQ(gMessages[0], "[80(x) 41] (1st byte==0x80) ");

  // The trail byte is taken with its lead: 0x81 0x0A is a bad pair, not a line end.
  EXPECT_EQ(SjisOf("\x81\x0A"), 1);
  EXPECT_EQ(SjisOf("\xE0\x0A"), 1);
  EXPECT_EQ(tfpeek(), -1);

  gMessages.clear();
  EXPECT_EQ(Sjis("missing.txt"), -1);
  ASSERT_EQ(gMessages.size(), 1u);
  EXPECT_EQ(gMessages[0], "Cannot open " + dir.Path("missing.txt") + " .\n");
}

INSTANTIATE_TEST_SUITE_P(Modes, TextReaderTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& i) {
                           return std::string(i.param ? "Wide" : "Narrow");
                         });

}  // namespace
