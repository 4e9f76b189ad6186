#include "base/textfile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "base/filechan.h"
#include "tests/support/tempdir.h"

namespace {

using Line = std::pair<int, std::string>;

class TextReaderTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    tfreset();
    ASSERT_TRUE(dir.Ok());
  }
  void TearDown() override {
    tfreset();
    rfreset();
  }
  bool Wide() const { return GetParam(); }
  int Open(const std::string& name) {
    return Wide() ? tfopenW(dir.PathW(name).c_str()) : tfopen(dir.Path(name).c_str());
  }
  int OpenBytes(const std::string& bytes) {
    dir.Write("t.txt", bytes);
    return Open("t.txt");
  }
  // tfgets with this size: its count and the line
  static Line Gets(int size = 100) {
    char l[100] = "";
    int n = tfgets(l, size);
    return {n, l};
  }
  int Utf8(const std::string& name) {
    return Wide() ? chkifutf8W(dir.PathW(name).c_str()) : chkifutf8(dir.Path(name).c_str());
  }
  int Sjis(const std::string& name) {
    return Wide() ? chkifsjisW(dir.PathW(name).c_str()) : chkifsjis(dir.Path(name).c_str());
  }
  TempDir dir;
};

TEST_P(TextReaderTest, LineEndRunsAreSkippedAndTheEndIsSeenOnce) {
  ASSERT_EQ(OpenBytes("ab\r\n\r\ncd"), 0);
  EXPECT_EQ(Gets(), Line(2, "ab"));
  EXPECT_EQ(tfeof(), 0);
  EXPECT_EQ(Gets(), Line(2, "cd"));
  EXPECT_EQ(tfeof(), -1);  // the last line has no line end
  EXPECT_EQ(Gets(), Line(0, ""));

  ASSERT_EQ(OpenBytes("ab\r\n\r\ncd\r\n"), 0);
  Gets();
  EXPECT_EQ(Gets(), Line(2, "cd"));
  EXPECT_EQ(tfeof(), 0);
  EXPECT_EQ(Gets(), Line(0, ""));
  EXPECT_EQ(tfeof(), -1);

  ASSERT_EQ(OpenBytes("a\x1A" "b"), 0);  // the EOF byte ends a line
  EXPECT_EQ(Gets(), Line(1, "a"));
  EXPECT_EQ(Gets(), Line(1, "b"));
}

TEST_P(TextReaderTest, LongLinesAreCutAndTinySizesTakeNothing) {
  char line[100];
  ASSERT_EQ(OpenBytes("0123456789\nx"), 0);
  memset(line, '#', sizeof line);
  EXPECT_EQ(tfgets(line, 8), 6);
  EXPECT_EQ(std::string(line, 9), std::string("012345\0\0#", 9));  // nothing past size
  EXPECT_EQ(Gets(8), Line(4, "6789"));
  EXPECT_EQ(Gets(8), Line(1, "x"));

  ASSERT_EQ(OpenBytes("abc"), 0);
  memset(line, '#', sizeof line);
  EXPECT_EQ(tfgets(line, 2), 0);
  EXPECT_EQ(tfgets(line, 0), 0);
  EXPECT_EQ(line[0], '#');
  EXPECT_EQ(tfpeek(), 'a');
  EXPECT_EQ(tfgets(line, 3), 1);  // size 3 holds one byte
  EXPECT_EQ(std::string(line, 3), std::string("a\0\0", 3));
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
  for (int i = 0; i < 1500; i++) {
    char want[32];
    snprintf(want, sizeof want, "line %04d", i);
    ASSERT_EQ(Gets(), Line(9, want)) << i;
  }
  EXPECT_EQ(Gets(), Line(0, ""));
  EXPECT_EQ(tfeof(), -1);
}

TEST_P(TextReaderTest, ExistenceTestsCloseTheFileAndTheFileReaderIsSeparate) {
  dir.Write("here.txt", "abc");
  auto exists = [&](const std::string& n) {
    return Wide() ? tfexistsW(dir.PathW(n).c_str()) : tfexists(dir.Path(n).c_str());
  };
  ASSERT_EQ(Open("here.txt"), 0);
  EXPECT_EQ(exists("here.txt"), 0);
  EXPECT_EQ(tfpeek(), -1);
  EXPECT_EQ(exists("missing.txt"), -1);

  dir.Write("text.txt", "hello\nworld\n");
  dir.Write("data.bin", "XYZ");
  ASSERT_EQ(Open("text.txt"), 0);
  ASSERT_EQ(rfopenW(dir.PathW("data.bin").c_str()), 0);
  EXPECT_EQ(Gets(), Line(5, "hello"));
  EXPECT_EQ(rfgetc(), 'X');
  EXPECT_EQ(Gets(), Line(5, "world"));
  EXPECT_EQ(rfgetc(), 'Y');
  tfclose();
  EXPECT_EQ(rfgetc(), 'Z');
}

TEST_P(TextReaderTest, Utf8AndShiftJisChecks) {
  // the bytes, then the results of chkifutf8 and chkifsjis (-2: not looked at)
  const struct { std::string bytes; int utf8, sjis; } cases[] = {
      {"", 7, 7},
      {"plain ASCII\r\n", 7, 7},
      {"\xE3\x81\x82 \xC3\xA9 \xF0\x9F\x98\x80", 7, -2},  // U+3042, U+00E9, U+1F600
      {"abc\xE3", 0, -2},                                  // cut off at the end
      {"\xC3\xA9\xBF", 0, -2},
      {"\x82\xA0\x83\x41\x88\x9F \xB6\r\n", 0, 7},    // lead bytes 0x81-0x9F only
      {"a\xE0\x40" "b", -2, 15},
      {"\x82\xA0\x82", 0, 3},  // lead byte at the very end
      {"\x81\x30", -2, 1},
      {"\x80\x41", -2, 2},
      {"\x81\x0A", -2, 1},  // the trail byte is taken with its lead, not as a line end
  };
  for (const auto& c : cases) {
    dir.Write("c.txt", c.bytes);
    EXPECT_EQ(c.utf8 == -2 ? -2 : Utf8("c.txt"), c.utf8) << c.bytes;
    EXPECT_EQ(c.sjis == -2 ? -2 : Sjis("c.txt"), c.sjis) << c.bytes;
  }
  EXPECT_EQ(tfpeek(), -1);  // the checks leave the TextReader closed
  EXPECT_EQ(Utf8("missing.txt"), -1);
  EXPECT_EQ(Sjis("missing.txt"), -1);
}

INSTANTIATE_TEST_SUITE_P(Modes, TextReaderTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& i) {
                           return std::string(i.param ? "Wide" : "Narrow");
                         });

}  // namespace
