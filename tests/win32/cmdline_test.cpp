// The command-line split on the real GetCommandLineW / GetCommandLineA: a
// child process is started with an exact command line and splits its own.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/paths.h"
#include "tests/win32/win32_support.h"

namespace {

// "表" in Shift-JIS: its trail byte is the backslash code.
const std::string kHyoSjis = "\x95\x5C";

std::vector<std::string> Ascii(std::initializer_list<const char*> list) {
  return std::vector<std::string>(list.begin(), list.end());
}

std::vector<std::u16string> Wide(const std::vector<std::string>& v) {
  std::vector<std::u16string> out;
  for (const std::string& s : v) out.push_back(std::u16string(s.begin(), s.end()));
  return out;
}

TEST(Win32CommandLine, QuotesSpacesAndTabsOnTheRealLine) {
  struct Case {
    const char16_t* line;
    std::vector<std::string> args;
  };
  const Case cases[] = {
      // a quoted path with a space between runs of two spaces
      {u"prog  \"C:\\motions dir\\walk.vmd\"  -ND", Ascii({"prog", "C:\\motions dir\\walk.vmd", "-ND"})},
      // a quote inside an argument only switches the quote state
      {u"prog x\"y z\"w", Ascii({"prog", "xy zw"})},
      // one trailing space after the program name: no argument
      {u"prog ", Ascii({"prog"})},
      // after a further argument the trailing space leaves an empty one
      {u"prog a ", Ascii({"prog", "a", ""})},
      // tabs before the program name are skipped; a tab does not separate
      {u"\t\tprog a\tb", Ascii({"prog", "a\tb"})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.line, c.line + std::char_traits<char16_t>::length(c.line)));
    SplitResult r = RunSplitChild(c.line);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.narrow, c.args);
    EXPECT_EQ(r.wide, Wide(c.args));
  }
}

// Non-ASCII arguments: the wide list holds them as typed, the narrow list in
// the ANSI code page, with '?' for what that code page cannot hold.
TEST(Win32CommandLine, NarrowListFollowsTheAnsiCodePage) {
  const std::u16string hyo = u"\u8868";          // 表
  const std::u16string hangul = u"\uD55C.vmd";   // 한.vmd, in no code page used here
  const std::u16string dirProg = u"C:\\dir\\" + hyo;
  SplitResult r = RunSplitChild(u"\"" + dirProg + u"\" " + hyo + u".vmd " + hangul);
  ASSERT_TRUE(r.ok);
  ASSERT_EQ(r.wide.size(), 3u);
  ASSERT_EQ(r.narrow.size(), 3u);
  EXPECT_EQ(r.wide[0], dirProg);
  EXPECT_EQ(r.wide[1], hyo + u".vmd");
  EXPECT_EQ(r.wide[2], hangul);
  EXPECT_EQ(r.narrow[2], "?.vmd");
  EXPECT_EQ(pathhasq(r.narrow[2].c_str()), -1);  // lost characters are seen

  char dir[260], name[260];
  getdir(dir, sizeof dir, r.narrow[0].c_str());
  getfname(name, sizeof name, r.narrow[0].c_str());
  if (GetACP() == 932) {
    EXPECT_EQ(r.narrow[0], "C:\\dir\\" + kHyoSjis);
    EXPECT_EQ(r.narrow[1], kHyoSjis + ".vmd");
    EXPECT_EQ(pathhasq(r.narrow[1].c_str()), 0);
    // the trail byte 0x5C of 表 is no separator
    EXPECT_STREQ(dir, "C:\\dir\\");
    EXPECT_EQ(std::string(name), kHyoSjis);
  } else {
    EXPECT_EQ(r.narrow[0], ToAnsi(dirProg));
    EXPECT_STREQ(dir, "C:\\dir\\");
  }
}

}  // namespace
