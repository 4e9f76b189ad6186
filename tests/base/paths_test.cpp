#include "base/paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "tests/support/tempdir.h"

namespace {

struct SepSet {
  const char* name;
  char sep, alt;
};
void PrintTo(const SepSet& s, std::ostream* os) { *os << s.name; }

// Path cases are written with '\\'; each set translates it to its separator.
class PathOps : public ::testing::TestWithParam<SepSet> {
 protected:
  void SetUp() override {
    HeadlessReset();
    SetPathSeparators(GetParam().sep, GetParam().alt);
  }
  void TearDown() override {
    SetPathSeparators(0, 0);
    HeadlessReset();
  }
  bool Windows() const { return GetParam().sep == '\\'; }
  std::string T(std::string s) const {
    for (char& c : s)
      if (c == '\\') c = GetParam().sep;
    return s;
  }
};

using NarrowOp = int (*)(char*, int, const char*);
using WideOp = int (*)(char16_t*, int, const char16_t*);

// Runs the narrow and the UTF-16 form into exact-size heap buffers.
void Check(NarrowOp n, WideOp w, const std::string& in, const std::string& want, int ret,
           int cap = 260) {
  std::vector<char> d(cap, 'X');
  EXPECT_EQ(n(d.data(), cap, in.c_str()), ret) << "narrow: " << in;
  EXPECT_EQ(std::string(d.data()), want) << "narrow: " << in;
  std::vector<char16_t> dw(cap, u'X');
  std::u16string win = Utf8ToUtf16(in);
  EXPECT_EQ(w(dw.data(), cap, win.c_str()), ret) << "wide: " << in;
  EXPECT_TRUE(std::u16string(dw.data()) == Utf8ToUtf16(want)) << "wide: " << in;
}

std::string CutSepN(std::string s) {
  cutsep(s.data());
  return s.c_str();
}

std::u16string CutSepW(const std::string& s) {
  std::u16string w = Utf8ToUtf16(s);
  unicutsep(w.data());
  return w.c_str();
}

TEST_P(PathOps, DirectoryFileNameAndExtension) {
  Check(getdir, unigetdir, T("C:\\dir\\file.vmd"), T("C:\\dir\\"), 0);
  Check(getdir, unigetdir, T("\\"), T("\\"), 0);
  Check(getfname, unigetfname, T("C:\\dir\\file.vmd"), "file.vmd", 0);
  Check(getfname, unigetfname, T("C:\\a/b.vmd"), "b.vmd", 0);  // '/' ends a name in both sets

  // A full stop in a directory name counts too.
  Check(getext, unigetext, T("C:\\dir.old\\file"), T(".old\\file"), -1);
  Check(getext, unigetext, T("C:\\dir\\file"), "", 0);
  Check(cutext, unicutext, T("C:\\dir.old\\file"), T("C:\\dir"), 0);
  Check(cutext, unicutext, "a.b.c", "a.b", 0);
}

TEST_P(PathOps, SlashAndBackslashDependOnTheSet) {
  if (Windows()) {
    // The slash is no separator for getdir.
    Check(getdir, unigetdir, "C:/a/b.vmd", "", 0);
    Check(getfname, unigetfname, "C:/a/b.vmd", "b.vmd", 0);
  } else {
    Check(getdir, unigetdir, "C:/a/b.vmd", "C:/a/", 0);
    // The backslash is an ordinary character on POSIX.
    Check(getdir, unigetdir, "a\\b", "", 0);
    Check(getfname, unigetfname, "a\\b", "a\\b", 0);
    EXPECT_EQ(CutSepN("ab\\"), "ab\\");
  }
}

TEST_P(PathOps, CutSepKeepsRootsAndRemovesOneSeparator) {
  for (auto [in, want] : std::vector<std::pair<std::string, std::string>>{
           {"C:\\", "C:\\"}, {"\\", "\\"}, {"C:\\work\\", "C:\\work"}, {"ab\\", "ab"},
           {"ab\\\\", "ab\\"}, {"", ""}}) {
    EXPECT_EQ(CutSepN(T(in)), T(want)) << in;
    EXPECT_TRUE(CutSepW(T(in)) == Utf8ToUtf16(T(want))) << in;
  }
  // The alternative separator is removed too; a drive root written with it stays.
  EXPECT_EQ(CutSepN("ab/"), "ab");
  EXPECT_EQ(CutSepN("C:/"), "C:/");

  // Length limits: up to 258 units a separator goes; 259 units or more are cut to 259.
  std::string s258 = std::string(257, 'a') + T("\\");
  EXPECT_EQ(CutSepN(s258), std::string(257, 'a'));
  std::string s259 = std::string(258, 'a') + T("\\");
  EXPECT_EQ(CutSepN(s259), s259);
  std::string s300(300, 'b');
  EXPECT_EQ(CutSepN(s300), std::string(259, 'b'));
  EXPECT_TRUE(CutSepW(s300) == Utf8ToUtf16(std::string(259, 'b')));
}

TEST_P(PathOps, ResultsAreCutToTheDestination) {
  Check(getfname, unigetfname, T("d\\abcdef"), "", 0, 1);
  Check(getext, unigetext, "x.vmd", ".v", -1, 3);
  Check(cutext, unicutext, T("C:\\dir\\file.vmd"), T("C:\\dir\\fi"), 0, 10);
  // A cut directory would name another folder: it is refused instead.
  Check(getdir, unigetdir, T("C:\\dir\\file.vmd"), "", -1, 5);
  Check(getdir, unigetdir, T("C:\\dir\\file.vmd"), T("C:\\dir\\"), 0, 8);
}

// With code page 932 a trail byte equal to a separator, '.' or ';' is part
// of its double-byte character; the bytes 0x95 0x5C are one character.
TEST_P(PathOps, DoubleByteCharactersAreSteppedOver) {
  const std::string dbc = std::string("\x95") + GetParam().sep;  // trail byte = separator
  auto narrow = [](NarrowOp op, const std::string& in, int ret = 0) {
    char d[260];
    EXPECT_EQ(op(d, sizeof d, in.c_str()), ret) << in;
    return std::string(d);
  };
  auto item = [](int n) {
    char d[260];
    return getlistitem(d, sizeof d, "\x95;a;b", n) == 0 ? std::string(d) : "(none)";
  };
  gHeadless.codePage = 932;
  EXPECT_EQ(narrow(getdir, T("dir\\") + dbc), T("dir\\"));
  EXPECT_EQ(narrow(getfname, T("dir\\") + dbc), dbc);
  EXPECT_EQ(narrow(getext, "a.x\x95.", -1), ".x\x95.");
  EXPECT_EQ(narrow(cutext, "a.x\x95."), "a");
  EXPECT_EQ(item(0), "\x95;a");
  EXPECT_EQ(item(1), "b");
  EXPECT_EQ(item(2), "(none)");
  // A character is never split by a short destination.
  std::vector<char> small(4);
  getfname(small.data(), 4, "\x95\x40\x95\x40");
  EXPECT_EQ(std::string(small.data()), "\x95\x40");
  // The trail byte is compared exactly, not folded.
  EXPECT_EQ(headcmp("\x83\x61.vmd", "\x83\x41"), -1);
  EXPECT_EQ(CutSepN("ab" + dbc), "ab\x95");  // cutsep looks at the last byte only

  // Without a double-byte code page the same bytes are single characters.
  gHeadless.codePage = 65001;
  EXPECT_EQ(narrow(getdir, T("dir\\") + dbc), T("dir\\") + dbc);
  EXPECT_EQ(headcmp("\x83\x61.vmd", "\x83\x41"), 0);
}

INSTANTIATE_TEST_SUITE_P(Separators, PathOps,
                         ::testing::Values(SepSet{"Windows", '\\', '/'}, SepSet{"Posix", '/', '/'}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Paths, HeadCmpListItemsAndQuestionMarks) {
  HeadlessReset();
  EXPECT_EQ(headcmp("model.vmd.bak", "MODEL.VMD"), 0);
  EXPECT_EQ(headcmp(".VM", ".VMD"), -1);
  EXPECT_EQ(headcmp("{", "["), -1);  // differ by 0x20 but are no letters
  EXPECT_EQ(uniheadcmp(u"model.vmd.bak", u"MODEL.VMD"), 0);

  char d[16] = "junk";
  const struct { const char* list; int n, ret; const char* item; } items[] = {
      {"a;b;c", 1, 0, "b"}, {"a;b;c", 2, 0, "c"}, {"a;b;c", 3, -1, ""},
      {"*.vmd;;*.pmx", 1, 0, ""}, {"", 1, -1, ""}};
  for (const auto& c : items) {
    EXPECT_EQ(getlistitem(d, sizeof d, c.list, c.n), c.ret) << c.list << " " << c.n;
    EXPECT_STREQ(d, c.item);
  }
  EXPECT_EQ(getlistitem(d, 3, "abcdef;x", 0), 0);
  EXPECT_STREQ(d, "ab");

  // The '?' test ignores the code page: 0x80 is a lead byte for it.
  for (const char* q : {"\x83\x3F", "\x80?", "ab\x83"}) EXPECT_EQ(pathhasq(q), 0) << q;
  EXPECT_EQ(pathhasq("a?b"), -1);
  EXPECT_EQ(pathhasq(std::string(519, 'a').c_str()), 0);
  std::string s520(520, 'a');
  EXPECT_EQ(pathhasq(s520.c_str()), -1);
  s520[519] = '\x83';  // a character straddling the limit is not read past it
  EXPECT_EQ(pathhasq(s520.c_str()), -1);
}

// Both searches for the pattern in the folder: their result and the name found.
void ExpectFound(const TempDir& dir, const char* pattern, int ret, const char* name) {
  char d[260] = "junk";
  EXPECT_EQ(findname(d, sizeof d, dir.Path(pattern).c_str()), ret) << pattern;
  EXPECT_STREQ(d, name) << pattern;
  char16_t dw[260] = u"junk";
  EXPECT_EQ(unifindname(dw, 260, dir.PathW(pattern).c_str()), ret) << pattern;
  EXPECT_TRUE(std::u16string(dw) == Utf8ToUtf16(name)) << pattern;
}

TEST(Paths, FindNameSkipsDirectories) {
  HeadlessReset();
  TempDir dir;
  std::error_code ec;
  for (const char* d : {"d1", "d2", "onlydir", "mdir"})
    std::filesystem::create_directory(dir.Path(d), ec);
  dir.Write("mfile.vmd", "x");
  const struct { const char* pattern; int ret; const char* name; } cases[] = {
      {"d*", -2, ""},          // the first two matches are directories
      {"only*", -1, ""},       // the only match is a directory
      {"m*", 0, "mfile.vmd"},  // a directory and a file, in either order
      {"none*", -1, ""}};
  for (const auto& c : cases) ExpectFound(dir, c.pattern, c.ret, c.name);
}

// Names with '*' and '?' cannot be made on Windows: POSIX only.
#ifndef _WIN32
// File names are names: a name that exists as given is that file, whatever
// characters it holds; only otherwise do '*' (also none) and '?' (one
// character) match as the Windows directory search does, and '[' never.
TEST(Paths, FindNameTakesAnExistingNameAsGiven) {
  HeadlessReset();
  TempDir dir;
  for (const char* f : {"dance[1].vmd", "dance1.vmd", "plain.vmd", "pl*.vmd", "da.vmd",
                        "\xE6\x97\xA5x.vmd", "back\\slash.vmd"})
    dir.Write(f, "x");
  const struct { const char* pattern; int ret; const char* name; } cases[] = {
      {"dance[1].vmd", 0, "dance[1].vmd"},  // not dance1.vmd
      {"pl*.vmd", 0, "pl*.vmd"},            // not plain.vmd
      {"plai*.vmd", 0, "plain.vmd"},
      {"plain*.vmd", 0, "plain.vmd"},       // '*' also stands for nothing
      {"pla?n.vmd", 0, "plain.vmd"},
      {"?x.vmd", 0, "\xE6\x97\xA5x.vmd"},   // '?' is one character, not one byte
      {"d[ab].vmd", -1, ""},                // '[' is itself
      {"back\\*.vmd", 0, "back\\slash.vmd"},  // no backslash escape
      {"pla?.vmd", -1, ""}};
  for (const auto& c : cases) ExpectFound(dir, c.pattern, c.ret, c.name);
  // The UTF-16 search passes over a name with no UTF-16 form and goes on.
  TempDir other;
  other.Write("caf\xE9.vmd", "x");
  other.Write("cafe.vmd", "x");
  char16_t dw[260];
  EXPECT_EQ(unifindname(dw, 260, other.PathW("caf?.vmd").c_str()), 0);
  EXPECT_TRUE(std::u16string(dw) == u"cafe.vmd");
  char d[260];
  EXPECT_EQ(findname(d, sizeof d, other.Path("caf?.vmd").c_str()), 0);
}
#endif

ArgListA gTestA;
ArgListW gTestW;

std::vector<std::string> ArgsOf(const ArgListA* l) {
  std::vector<std::string> v;
  for (int i = 0; i < l->count; i++) v.push_back(argat(l, i));
  return v;
}

std::vector<std::u16string> ArgsOf(const ArgListW* l) {
  std::vector<std::u16string> v;
  for (int i = 0; i < l->count; i++) v.push_back(uniargat(l, i));
  return v;
}

// Splits an ASCII line both ways; both lists agree and end at the pool fill.
std::vector<std::string> Split(const std::string& line) {
  splitcmdline(&gTestA, line.c_str());
  unisplitcmdline(&gTestW, Utf8ToUtf16(line).c_str());
  std::vector<std::string> a = ArgsOf(&gTestA);
  std::vector<std::u16string> w = ArgsOf(&gTestW);
  EXPECT_EQ(a.size(), w.size());
  for (size_t i = 0; i < a.size() && i < w.size(); i++) EXPECT_TRUE(Utf8ToUtf16(a[i]) == w[i]) << i;
  EXPECT_EQ(gTestA.start[gTestA.count], gTestA.fill);
  EXPECT_EQ(gTestA.fill, gTestW.fill);
  return a;
}

using Args = std::vector<std::string>;

// Appends to both lists, which must give the same result.
int Append(const std::string& path) {
  const int r = addarg(&gTestA, path.c_str());
  EXPECT_EQ(uniaddarg(&gTestW, Utf8ToUtf16(path).c_str()), r) << path;
  return r;
}

class ArgLists : public ::testing::Test {
 protected:
  void SetUp() override {
    HeadlessReset();
    ResetArgLists();
  }
  void TearDown() override {
    HeadlessReset();
    ResetArgLists();
  }
};

TEST_F(ArgLists, SplitQuotesSpacesAndTabs) {
  EXPECT_EQ(Split("prog  \"C:\\My Files\\a.vmd\"  -ND"),
            (Args{"prog", "C:\\My Files\\a.vmd", "-ND"}));
  EXPECT_EQ(Split("prog x\"y z\"w"), (Args{"prog", "xy zw"}));
  EXPECT_EQ(Split("prog a\\\"b c\""), (Args{"prog", "a\\b c"}));  // no escapes
  EXPECT_EQ(Split("\t prog\tb c"), (Args{"prog\tb", "c"}));
  EXPECT_EQ(Split("prog   "), (Args{"prog"}));
  EXPECT_EQ(gTestA.fill, 5);  // the dropped empty argument frees its unit
  EXPECT_EQ(Split("prog a "), (Args{"prog", "a", ""}));
  gHeadless.codePage = 932;  // a trail byte equal to '"' or ' ' is part of its character
  splitcmdline(&gTestA, "prog \x95\"a b \x95 x");
  EXPECT_EQ(ArgsOf(&gTestA), (Args{"prog", "\x95\"a", "b", "\x95 x"}));
}

TEST_F(ArgLists, SplitAndAppendStopAtTheirLimits) {
  std::string line = "prog";
  for (int i = 1; i < 600; i++) line += " " + std::to_string(i);
  Args a = Split(line);
  ASSERT_EQ(a.size(), 511u);
  EXPECT_EQ(a[510], "510");
  const int fill = gTestA.fill;
  EXPECT_EQ(Append("C:\\a.vmd"), -1);
  EXPECT_EQ(gTestW.count, 511);
  EXPECT_EQ(gTestA.fill, fill);

  // 65534 characters end the line; the argument they cut is left out, and
  // the arguments before it stand.
  a = Split("prog " + std::string(70000, 'a'));
  EXPECT_EQ(a, (Args{"prog"}));
  EXPECT_EQ(gTestA.fill, 5);
  a = Split("prog x " + std::string(65530, 'a'));
  EXPECT_EQ(a, (Args{"prog", "x"}));
  a = Split("prog x " + std::string(65520, 'a'));  // ends inside the limits
  EXPECT_EQ(a.size(), 3u);
  EXPECT_EQ(a[2].size(), 65520u);

  // No new argument once 65275 pool units are in use.
  EXPECT_EQ(Split("prog " + std::string(65270, 'a') + " b c").size(), 2u);
  EXPECT_EQ(Split("prog " + std::string(65269, 'a') + " b c").size(), 3u);

  // An append stores the whole path or nothing, never a cut one.
  Split("prog " + std::string(65524, 'a'));  // pool fill 65530
  EXPECT_EQ(Append("abcdefgh"), -1);
  EXPECT_EQ(gTestA.count, 2);
  EXPECT_EQ(gTestA.fill, 65530);
  EXPECT_EQ(Append("abcd"), 0);  // 4 units and the terminator fill the pool
  EXPECT_STREQ(argat(&gTestA, 2), "abcd");
  EXPECT_EQ(gTestA.fill, 65535);
  EXPECT_EQ(Append("z"), -1);
}

// Six long arguments, then a path: once the pool cannot hold the path whole,
// it is not added to either list (it used to be tried cut to what fitted).
TEST_F(ArgLists, APathThatDoesNotFitIsLeftOutOfBothLists) {
  Split("prog");
  const std::string big(10900, 'x');
  for (int i = 0; i < 6; i++) ASSERT_EQ(addargpair(&gTestA, &gTestW, big.c_str(), Utf8ToUtf16(big).c_str()), 0);
  const std::string path = "/home/user/" + std::string(133, 'm') + ".vmd";  // 148 bytes
  EXPECT_EQ(addargpair(&gTestA, &gTestW, path.c_str(), Utf8ToUtf16(path).c_str()), -1);
  EXPECT_EQ(gTestA.count, 7);
  EXPECT_EQ(gTestW.count, 7);
  EXPECT_EQ(addargpair(&gTestA, &gTestW, "/s.vmd", u"/s.vmd"), 0);  // a shorter one still fits
  EXPECT_EQ(ArgsOf(&gTestA).back(), "/s.vmd");
  EXPECT_EQ(gTestW.count, 8);
}

// The pair goes into both lists or neither, in the same position; a name with
// no UTF-16 form keeps an empty twin, so that its narrow bytes are tried.
TEST_F(ArgLists, PairsKeepTheListsInStep) {
  Split("prog");
  EXPECT_EQ(addargpair(&gTestA, &gTestW, "a.vmd", u"a.vmd"), 0);
  EXPECT_EQ(addargpair(&gTestA, &gTestW, "caf\xE9.vmd", u""), 0);  // not UTF-8
  EXPECT_EQ(addargpair(&gTestA, &gTestW, "", u"\u65e5.vmd"), 0);
  EXPECT_EQ(addargpair(&gTestA, &gTestW, "\"q.vmd\"", u"\"q.vmd\""), 0);
  EXPECT_EQ(addargpair(&gTestA, &gTestW, "", u""), -1);
  EXPECT_EQ(ArgsOf(&gTestA), (Args{"prog", "a.vmd", "caf\xE9.vmd", "", "q.vmd"}));
  auto w = ArgsOf(&gTestW);
  ASSERT_EQ(w.size(), 5u);
  EXPECT_TRUE(w[2].empty());
  EXPECT_TRUE(w[3] == u"\u65e5.vmd");
  EXPECT_TRUE(w[4] == u"q.vmd");
  // A full table refuses both.
  while (gTestA.count < kArgMax) ASSERT_EQ(addargpair(&gTestA, &gTestW, "f", u"f"), 0);
  EXPECT_EQ(addargpair(&gTestA, &gTestW, "g", u"g"), -1);
  EXPECT_EQ(gTestW.count, kArgMax);
  // Lists out of step take nothing more.
  Split("prog");
  unisplitcmdline(&gTestW, u"prog b");
  EXPECT_EQ(addargpair(&gTestA, &gTestW, "c", u"c"), -1);
}

TEST_F(ArgLists, PathFormsAreWholeOrEmpty) {
  char16_t w[8];
  EXPECT_EQ(narrowtounipath(w, 8, "abcdefg"), 0);
  EXPECT_TRUE(std::u16string(w) == u"abcdefg");
  EXPECT_EQ(narrowtounipath(w, 8, "abcdefgh"), -1);
  EXPECT_EQ(w[0], 0);
  EXPECT_EQ(narrowtounipath(w, 8, "caf\xE9"), -1);  // not UTF-8
  char a[8];
  EXPECT_EQ(unitonarrowpath(a, 8, u"ab\u65e5"), 0);  // 5 bytes
  EXPECT_STREQ(a, "ab\xE6\x97\xA5");
  EXPECT_EQ(unitonarrowpath(a, 8, u"ab\u65e5\u65e5"), -1);  // 8 bytes
  EXPECT_EQ(a[0], 0);
}

TEST_F(ArgLists, AppendAfterSplit) {
  Split("prog ");
  EXPECT_EQ(Append("C:\\a.vmd"), 0);
  // Empty paths and paths of quotes only change nothing.
  const int fill = gTestA.fill;
  EXPECT_EQ(Append("") + Append("\"\""), -2);
  EXPECT_EQ(gTestA.fill, fill);
  EXPECT_EQ(Append("\"C:\\My Files\\b.vmd\""), 0);
  EXPECT_EQ(Append("a\"b"), 0);  // only a leading quote is special
  EXPECT_EQ(ArgsOf(&gTestA), (Args{"prog", "C:\\a.vmd", "C:\\My Files\\b.vmd", "a\"b"}));
  EXPECT_EQ(gTestW.count, 4);
}

TEST_F(ArgLists, PlatformCommandLineAndArgv) {
  gHeadless.cmdlineA = "tarvel.exe  \"a b.vmd\" -ND";
  splitcmd();
  EXPECT_EQ(ArgsOf(&gArgsA), (Args{"tarvel.exe", "a b.vmd", "-ND"}));
  // without a command line, argv is taken as given
  HeadlessReset();
  const char* argv[] = {"/opt/tarvel/tarvel", "", "\"quoted\"", "\xE6\x97\xA5\xE6\x9C\xAC.vmd",
                        "caf\xE9.vmd"};
  HeadlessSetArgs(5, argv);
  splitargs();
  EXPECT_EQ(ArgsOf(&gArgsA), (Args{argv[0], "", "\"quoted\"", argv[3], argv[4]}));
  ASSERT_EQ(gArgsW.count, 5);
  EXPECT_TRUE(std::u16string(uniargat(&gArgsW, 3)) == u"\u65e5\u672c.vmd");
  EXPECT_TRUE(std::u16string(uniargat(&gArgsW, 4)).empty());  // no UTF-16 form
  // One empty argument is no argument, as on a command line ending in spaces.
  const char* empty[] = {"/opt/tarvel/tarvel", ""};
  HeadlessSetArgs(2, empty);
  splitargs();
  EXPECT_EQ(gArgsA.count, 1);
  EXPECT_EQ(gArgsW.count, 1);
  const char* notUtf8[] = {"/opt/tarvel/tarvel", "caf\xE9.vmd"};  // not empty, only no UTF-16
  HeadlessSetArgs(2, notUtf8);
  splitargs();
  EXPECT_EQ(gArgsA.count, 2);
  EXPECT_EQ(gArgsW.count, 2);
  // An argument too long for the pool is left out of both lists, and the
  // ones after it still come.
  const std::string big(40000, 'x');
  const char* many[] = {"/t", big.c_str(), big.c_str(), "a.vmd"};
  HeadlessSetArgs(4, many);
  splitargs();
  EXPECT_EQ(ArgsOf(&gArgsA), (Args{"/t", big, "a.vmd"}));
  EXPECT_EQ(gArgsW.count, 3);
}

}  // namespace
