// The command-line split on the real GetCommandLineW / GetCommandLineA (a
// child process is started with an exact command line and splits its own),
// and the console output's pieces.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/paths.h"
#include "platform/win32/win32_console.h"
#include "tests/win32/win32_support.h"

namespace {

// Quotes, runs of spaces and tabs as the system hands the line over.
TEST(Win32CommandLine, QuotesSpacesAndTabsOnTheRealLine) {
  SplitResult r = RunSplitChild(u"\t\tprog  \"C:\\motions dir\\walk.vmd\"  x\"y z\"w a\tb ");
  ASSERT_TRUE(r.ok);
  const std::vector<std::string> args = {"prog", "C:\\motions dir\\walk.vmd", "xy zw", "a\tb", ""};
  EXPECT_EQ(r.narrow, args);
  ASSERT_EQ(r.wide.size(), args.size());
  for (size_t i = 0; i < args.size(); i++)
    EXPECT_EQ(r.wide[i], std::u16string(args[i].begin(), args[i].end())) << i;
}

// Non-ASCII arguments: the wide list holds them as typed, the narrow list in
// the ANSI code page, with '?' for what that code page cannot hold.
TEST(Win32CommandLine, NarrowListFollowsTheAnsiCodePage) {
  const std::u16string hyo = u"\u8868";         // 表: in Shift-JIS its trail byte is '\'
  const std::u16string hangul = u"\uD55C.vmd";  // 한.vmd, in no code page used here
  const std::u16string dirProg = u"C:\\dir\\" + hyo;
  SplitResult r = RunSplitChild(u"\"" + dirProg + u"\" " + hyo + u".vmd " + hangul);
  ASSERT_TRUE(r.ok);
  ASSERT_EQ(r.wide, (std::vector<std::u16string>{dirProg, hyo + u".vmd", hangul}));
  ASSERT_EQ(r.narrow.size(), 3u);
  EXPECT_EQ(r.narrow[2], "?.vmd");
  EXPECT_EQ(pathhasq(r.narrow[2].c_str()), -1);  // lost characters are seen
  EXPECT_EQ(r.narrow[0], ToAnsi(dirProg));
  if (GetACP() == 932) {  // the path operations step over the trail byte 0x5C (tests/base)
    EXPECT_EQ(r.narrow[0], "C:\\dir\\\x95\x5C");
    EXPECT_EQ(r.narrow[1], "\x95\x5C.vmd");
    EXPECT_EQ(pathhasq(r.narrow[1].c_str()), 0);
  }
}

// The console output of tarvel-report.exe shows text read in pieces: a UTF-8
// sequence cut by the end of a piece waits for the next one.
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
