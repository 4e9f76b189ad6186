// The console output of tarvel-report.exe shows text read in pieces: a UTF-8
// sequence cut by the end of a piece waits for the next one.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/win32/win32_console.h"

namespace {

TEST(Win32Console, ASequenceCutAtTheEndWaitsForTheNextPiece) {
  const struct { const char* bytes; int whole; } cases[] = {
      {"abc", 3},
      {"a\xE8\xB8\x8A", 4},      // 踊 whole
      {"a\xE8\xB8", 1},          // 踊 cut after two of its three bytes
      {"a\xE8", 1},
      {"\xF0\x9F\x98", 0},       // a four-byte sequence cut
      {"a\xC3", 1},
      {"\xC3\xA9", 2},
      {"\x80\x80\x80\x80", 4},   // continuation bytes without a lead: invalid, shown
      {"a\xE8\xB8\x8A\x8A", 5},  // one continuation too many: invalid, shown
      {"", 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Utf8WholeLength(c.bytes, (int)strlen(c.bytes)), c.whole) << c.bytes;
}

}  // namespace
