#include "analysis/report_buffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/encoding.h"

namespace {

uint32_t CellColour(int line) { return gReport.cellcolour[line][0]; }

bool WholeLineHas(int line, uint32_t colour) {
  for (int c = 0; c < kReportCols; c++)
    if (gReport.cellcolour[line][c] != colour || gReport.cellattr[line][c] != 0x10) return false;
  return true;
}

// True when no double-byte character of the line is split.
bool EndsOnCharBoundary(const char* s) {
  for (const unsigned char* u = (const unsigned char*)s; *u; u += issjislead(*u) ? 2 : 1)
    if (issjislead(*u) && !u[1]) return false;
  return true;
}

// After a reset the buffer is empty, an empty line takes the packed value 0
// and text is white.
TEST(ReportBuffer, ResetEmptiesEverythingAndMakesWhiteCurrent) {
  rbputs("junk");
  rbnewline();
  rbputs("more");
  rbreset();
  EXPECT_EQ(gReport.linecount + gReport.column + gReport.widest, 0);
  rbnewline();
  rbputs("a");
  rbnewline();
  EXPECT_EQ(gReport.linecount, 2);
  EXPECT_TRUE(WholeLineHas(0, 0));
  EXPECT_TRUE(WholeLineHas(1, 0xFFFFFF));
}

TEST(ReportBuffer, LineTakesColourPackedAtLastPut) {
  rbreset();
  rbcolor(255, 0, 0);
  rbputs("  \x8d\xb6\x98\x72\x9d\x80");  // "  左腕捩"
  rbnewline();
  EXPECT_STREQ(gReport.lines[0], "  \x8d\xb6\x98\x72\x9d\x80");
  EXPECT_EQ(gReport.linelength[0], 8);
  EXPECT_TRUE(WholeLineHas(0, 0x0000FF));
  EXPECT_EQ(gReport.widest, 8);
  EXPECT_EQ(gReport.linecount, 1);

  // Two puts join; the second one's colour wins; a colour set after the last
  // put does not reach the line, nor an empty line after it.
  rbcolor(0, 255, 0);
  rbputs("ab");
  rbcolor(1, 2, 3);
  rbputs("cd");
  rbcolor(9, 9, 9);
  rbnewline();
  rbnewline();
  EXPECT_STREQ(gReport.lines[1], "abcd");
  EXPECT_EQ(gReport.linelength[1], 4);
  EXPECT_TRUE(WholeLineHas(1, 0x030201));
  EXPECT_TRUE(WholeLineHas(2, 0x030201));
  EXPECT_EQ(gReport.widest, 8);
}

TEST(ReportBuffer, LongTextIsCutAtACharacterBoundary) {
  rbreset();
  // 125 bytes, then two double-byte characters: the first fits (127 bytes),
  // the second does not.
  rbputs(std::string(125, 'a').c_str());
  rbputs("\x82\xa0\x82\xa2");  // あい
  rbnewline();
  EXPECT_EQ(gReport.linelength[0], 127);
  EXPECT_EQ(strlen(gReport.lines[0]), 127u);
  EXPECT_EQ(gReport.widest, 127);

  // 126 bytes: a double-byte character does not fit whole, and nothing of
  // that line is written afterwards either.
  rbputs(std::string(126, 'b').c_str());
  rbputs("\x82\xa0");
  rbputs("c");
  rbnewline();
  EXPECT_EQ(gReport.linelength[1], 126);

  // One very long text; the next line starts clean.
  std::string big;
  for (int i = 0; i < 300; i++) big += "\x8d\xb6";  // 左
  rbputs(("x" + big).c_str());
  rbnewline();
  EXPECT_EQ(gReport.linelength[2], 127);
  EXPECT_TRUE(EndsOnCharBoundary(gReport.lines[2]));
  rbputs("next");
  rbnewline();
  EXPECT_STREQ(gReport.lines[3], "next");
}

TEST(ReportBuffer, LinesBeyondTheLastAreDropped) {
  rbreset();
  for (int i = 0; i < kReportLines + 40; i++) {
    rbcolor(i & 0xFF, 0, 0);
    rbputs(std::to_string(i).c_str());
    rbnewline();
  }
  EXPECT_EQ(gReport.linecount, kReportLines);
  EXPECT_STREQ(gReport.lines[kReportLines - 1], std::to_string(kReportLines - 1).c_str());
  EXPECT_EQ(CellColour(kReportLines - 1), (uint32_t)((kReportLines - 1) & 0xFF));
  rbputs("still nothing");
  EXPECT_EQ(gReport.column, 0);
}

}  // namespace
