#include "names/nametable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "tests/names/sjis_literal.h"

namespace {

class NameTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HeadlessReset();
    NameCacheEnable(true);
    ResetNameTables();
  }
  void TearDown() override { NameCacheEnable(true); }
};

TEST_F(NameTableTest, WildcardRules) {
  const struct { std::string pattern, s; bool match; } cases[] = {
      // '*' stands for one or more bytes, never for none; whatever follows it is ignored.
      {"ABC*", "ABC", false}, {"ABC*", "ABCD", true}, {"ABC", "ABCD", false}, {"ABC", "AB", false},
      {"*", "", false},       {"*", "x", true},       {"", "", true},         {"", "a", false},
      {"A*B", "AxyzQ", true},
      // A '*' in the string is consumed literally by the pattern's '*'.
      {"A*", "A*B", false},   {"A*", "A*", true},
      // '?' takes one single byte or one double-byte character.
      {"A?C", "AbC", true},   {"A?", "A", false},     {"A?", "A?", true},
      {"?", "\x88\x9f", true},       // 亜
      {"?\x9f", "\x88\x9f", false},  // the '?' took both bytes
      {"?", "\x88", true},            // a lone lead byte at the end is one byte
      {"abc", "ABC", false},          // byte-exact
      // The full-width question mark takes exactly one double-byte character.
      {"X\x81\x48", "Xa", false}, {"X\x81\x48", "X\x88\x9f", true},
      {"X\x81\x48", "X\x81\x48", true}, {"X\x81\x48", "X\x88\x9f\x88\x9f", false},
      // The literal comparison comes first: 0x81 0x41 meets the pattern's 0x81
      // literally, and then 0x48 fails against 0x41.
      {"X\x81\x48", "X\x81\x41", false},
      {Sj("左？指３先"), Sj("左人指３先"), true}, {Sj("左？指３先"), Sj("左a指３先"), false},
      {"A?C", Sj("A人C"), true},  {Sj("スカート*"), Sj("スカート1"), true},
      {Sj("スカート*"), Sj("スカート"), false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(WildMatch(c.pattern.c_str(), c.s.c_str()) == 0, c.match) << c.pattern << " / " << c.s;
}

TEST_F(NameTableTest, ResetAddFindAndGet) {
  for (int t = 0; t < kNameTables; ++t) ASSERT_GT(AddName(t, "X"), 0);
  ASSERT_EQ(BeginNameGroup(1), 0);
  ResetNameTables();
  char buf[kNameSlot] = "untouched";
  for (int t = 0; t < kNameTables; ++t) {
    // Entries from before the reset are gone even for a scan asked to look above the count.
    EXPECT_EQ(NameCount(t) | GroupOfName(t, 1) | FindNameFrom(t, "X", 1), 0) << t;
    EXPECT_EQ(GetName(t, buf, 1), -1);
  }
  EXPECT_STREQ(buf, "untouched");
  // One group with boundary 0: the first new entry is in group 1.
  EXPECT_EQ(AddName(6, "a"), 1);
  EXPECT_EQ(GroupOfName(6, 1), 1);
  EXPECT_EQ(FindNameInGroups(6, "a", 1), 1);

  EXPECT_EQ(AddName(1, "A*"), 1);
  EXPECT_EQ(AddName(1, "AB"), 2);
  EXPECT_EQ(AddName(1, "AB"), 3);  // no duplicate check
  EXPECT_EQ(NameCount(1), 3);

  // Newest matching entry first; `last` limits the scan.
  const struct { const char* s; int last, found; } finds[] = {
      {"AB", 3, 3}, {"AB", 1, 1}, {"AC", 3, 1}, {"A", 3, 0}, {"AB", 0, 0}, {"AB", 99, 3}};
  for (const auto& f : finds) EXPECT_EQ(FindNameFrom(1, f.s, f.last), f.found) << f.s << f.last;
  for (int e : {0, 2, 4}) EXPECT_EQ(NameMatches(1, "AC", e), -1) << e;
  EXPECT_EQ(NameMatches(1, "AC", 1), 0);

  // FindOrAddName adds only what nothing matches.
  EXPECT_EQ(FindOrAddName(1, "AZ"), 1);
  EXPECT_EQ(FindOrAddName(1, "B"), 4);
  EXPECT_EQ(FindOrAddName(1, "B"), 4);
  EXPECT_EQ(NameCount(1), 4);
  EXPECT_EQ(AddName(2, Sj("ベル*").c_str()), 1);
  EXPECT_EQ(FindOrAddName(2, Sj("ベルト").c_str()), 1);
  EXPECT_EQ(NameCount(2), 1);

  EXPECT_EQ(GetName(1, buf, 4), 0);
  EXPECT_STREQ(buf, "B");
  EXPECT_STREQ(NameAt(1, 1), "A*");
  EXPECT_STREQ(NameAt(1, 5), "");
  EXPECT_STREQ(NameAt(1, 0), "");
}

TEST_F(NameTableTest, LongNamesAreRefusedAndFullTablesStop) {
  std::string n63(63, 'n'), n64(64, 'n');
  EXPECT_EQ(AddName(4, n64.c_str()), 0);
  EXPECT_EQ(FindOrAddName(4, n64.c_str()), 0);
  EXPECT_EQ(NameCount(4), 0);
  EXPECT_EQ(AddName(4, n63.c_str()), 1);
  char buf[kNameSlot];
  EXPECT_EQ(GetName(4, buf, 1), 0);
  EXPECT_EQ(std::string(buf), n63);
  // A string longer than any entry is still looked up (and fails to match).
  EXPECT_EQ(FindNameFrom(4, n64.c_str(), 1), 0);

  for (int i = 1; i <= kNameMax; ++i) ASSERT_EQ(AddName(5, "x"), i);
  EXPECT_EQ(AddName(5, "y"), 0);
  EXPECT_EQ(FindOrAddName(5, "y"), 0);
  EXPECT_EQ(FindOrAddName(5, "x"), kNameMax);
  EXPECT_EQ(NameCount(5), kNameMax);
}

TEST_F(NameTableTest, OutOfRangeTablesAreNoTables) {
  char buf[kNameSlot] = "keep";
  for (int t : {-1, kNameTables, 1000}) {
    // entry numbers, counts and groups are 0; the other operations fail
    EXPECT_EQ(AddName(t, "a") | FindOrAddName(t, "a") | FindNameFrom(t, "a", 1) |
                  GroupOfName(t, 1) | NameCount(t), 0) << t;
    EXPECT_EQ(BeginNameGroup(t) & NameMatches(t, "a", 1) & FindNameInGroups(t, "a", 0) &
                  GetName(t, buf, 1), -1) << t;
    EXPECT_STREQ(NameAt(t, 1), "");
  }
  EXPECT_STREQ(buf, "keep");
}

TEST_F(NameTableTest, GroupsAndGroupSearches) {
  // Group 1: entries 1-2, group 2: 3-4, group 3 (empty), group 4: 5.
  for (const char* e : {"g1*", "k", "|", "g2", "k", "|", "|", "k"})
    e[0] == '|' ? (void)BeginNameGroup(1) : (void)AddName(1, e);
  const int groups[] = {0, 1, 1, 2, 2, 4, 0};
  for (int e = 0; e <= 6; e++) EXPECT_EQ(GroupOfName(1, e), groups[e]) << e;
  // group limit, result: a positive limit is the last group searched, 0 or
  // the group count mean all, a negative one counts back from the last group
  const int searches[][2] = {{1, 2}, {2, 4}, {3, 4}, {4, 5}, {0, 5}, {-1, 4},
                             {-2, 4}, {-3, 2}, {-4, -1}, {5, -1}};
  for (const auto& q : searches) EXPECT_EQ(FindNameInGroups(1, "k", q[0]), q[1]) << q[0];
  EXPECT_EQ(FindNameInGroups(1, "g2", 1), 0);
  EXPECT_EQ(FindNameInGroups(1, "g1x", 0), 1);

  for (int g = 2; g <= kGroupMax; ++g) {
    ASSERT_EQ(BeginNameGroup(3), 0);
    ASSERT_GT(AddName(3, "e"), 0);
  }
  EXPECT_EQ(BeginNameGroup(3), -1);
  // The entries keep flowing into group 15.
  int n = AddName(3, "late");
  EXPECT_EQ(GroupOfName(3, n), kGroupMax);
  EXPECT_EQ(FindNameInGroups(3, "late", kGroupMax - 1), 0);
  EXPECT_EQ(FindNameInGroups(3, "e", 16), -1);
}

// The lookup cache must give exactly the results of the plain newest-first
// scan, whatever the names, the order of lookups and adds, and the limits.
TEST_F(NameTableTest, CacheGivesTheScanResults) {
  std::vector<bool> literal[3];  // per table 1 and 2, by entry number
  auto scan = [&](int table, const std::string& s, int last) {
    for (int e = std::min(last, NameCount(table)); e >= 1; --e) {
      const bool lit = e < (int)literal[table].size() && literal[table][e];
      if (lit ? s == NameAt(table, e) : WildMatch(NameAt(table, e), s.c_str()) == 0) return e;
    }
    return 0;
  };
  auto added = [&](int table, int e, bool lit) {
    if (e <= 0) return;
    literal[table].resize(e + 1);
    literal[table][e] = lit;
  };
  // Pieces: plain bytes, wildcards, the full-width '？', a double-byte
  // character, a lone lead byte and a character whose lead byte is 0x81.
  static const char* const kPieces[] = {"A", "B", "a", "*", "?", "\x81\x48", "\x88\x9f", "\x88",
                                        "\x81\x41"};
  std::mt19937 rng(20240611);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  auto randomName = [&](bool pattern) {
    std::string s;
    for (int i = pick(5); i > 0; --i) {
      int k = pick(9);
      if (!pattern && (k == 3 || k == 4) && pick(3)) k = 0;  // fewer wildcards in names
      s += kPieces[k];
    }
    return s;
  };
  std::vector<std::string> seen;  // names looked up earlier, for repeats
  long lookups = 0, hits = 0;
  for (int step = 0; step < 24000; ++step) {
    const int table = 1 + pick(2), what = pick(10), count = NameCount(table);
    if (what == 0) {
      const bool lit = pick(2);  // a name from a motion: wildcards in it are plain bytes
      const std::string n = randomName(true);
      added(table, lit ? AddLiteralName(table, n.c_str()) : AddName(table, n.c_str()), lit);
    } else if (what == 1) {
      if (pick(50)) {
        BeginNameGroup(table);
      } else {
        ResetNameTables();  // old slots must go
        for (auto& l : literal) l.clear();
      }
    } else {
      std::string s = randomName(false);
      if (!seen.empty() && pick(2)) {
        s = seen[pick((int)seen.size())];
      } else if (count > 0 && pick(4) == 0) {  // a prefix of a stored pattern, or the pattern
        std::string p = NameAt(table, 1 + pick(count));
        s = p.substr(0, pick((int)p.size() + 1));
      }
      seen.push_back(s);
      const int lasts[] = {count, count + 1 + pick(3), pick(count + 2) - 1, count - pick(3)};
      const int last = lasts[pick(4)], want = scan(table, s, last);
      ASSERT_EQ(FindNameFrom(table, s.c_str(), last), want) << "step " << step << " last " << last;
      lookups++;
      hits += want != 0;
      if (what == 2) {
        const int group = pick(5) - 2;
        NameCacheEnable(false);
        const int plain = FindNameInGroups(table, s.c_str(), group);
        NameCacheEnable(true);
        ASSERT_EQ(FindNameInGroups(table, s.c_str(), group), plain);
      } else if (what == 3 || what == 4) {
        const int found = scan(table, s, count);
        const bool lit = what == 4;
        const int e = lit ? FindOrAddLiteralName(table, s.c_str()) : FindOrAddName(table, s.c_str());
        ASSERT_EQ(e, found ? found : count + 1);
        ASSERT_EQ(NameCount(table), found ? count : count + 1);
        if (!found) added(table, e, lit);
      }
    }
  }
  // The random names must exercise both outcomes.
  EXPECT_GT(hits, lookups / 10);
  EXPECT_LT(hits, lookups);

  ResetNameTables();
  EXPECT_EQ(FindOrAddName(1, "AB"), 1);
  AddName(1, "A*");  // a newer pattern takes over a cached name
  EXPECT_EQ(FindOrAddName(1, "AB"), 2);
  EXPECT_EQ(FindNameFrom(1, "AB", 1), 1);
  ResetNameTables();
  AddName(1, "B*");
  AddName(1, "C");
  EXPECT_EQ(FindNameFrom(1, "AB", 2), 0);  // same count as before the reset
  EXPECT_EQ(FindOrAddName(1, "AB"), 3);
}

// Names from a motion are names: a bone called '*', '?' or '？' is one more
// bone, not a pattern that takes every later name.
TEST_F(NameTableTest, MotionNamesMatchOnlyThemselves) {
  AddName(1, "ABC*");  // a built-in pattern keeps working
  const int star = FindOrAddLiteralName(1, "*");
  const int q = FindOrAddLiteralName(1, "?");
  const int fq = FindOrAddLiteralName(1, "\x81\x48");
  EXPECT_EQ(std::set<int>({star, q, fq}).size(), 3u);
  EXPECT_EQ(FindOrAddLiteralName(1, "ABCD"), 1);
  const int x = FindOrAddLiteralName(1, "X");
  EXPECT_EQ(x, 5);
  EXPECT_EQ(FindOrAddLiteralName(1, "\x88\x9f"), 6);
  EXPECT_EQ(FindOrAddLiteralName(1, "*"), star);
  EXPECT_EQ(FindOrAddLiteralName(1, "?"), q);
  EXPECT_EQ(NameMatches(1, "Y", star), -1);
  EXPECT_EQ(NameMatches(1, "*", star), 0);
  EXPECT_EQ(NameMatches(1, "ABCE", 1), 0);
  // A pattern from the built-in vocabulary or the alias file still matches.
  AddName(1, "?");
  EXPECT_EQ(FindNameFrom(1, "Z", NameCount(1)), NameCount(1));
}

// Many distinct names: every one gets its own entry, and every later key of
// each finds it again (the index answers as the scan does; the speed is
// measured by the benchmark).
TEST_F(NameTableTest, ManyDistinctNamesKeepTheirEntries) {
  AddName(1, "S*");
  AddName(1, "\x81\x48?");
  for (int i = 0; i < kNameMax + 10; i++) {
    char n[16];
    snprintf(n, sizeof n, "b%d", i);
    const int want = i + 3 <= kNameMax ? i + 3 : 0;  // a full table adds no more
    ASSERT_EQ(FindOrAddLiteralName(1, n), want) << n;
  }
  for (int i = 0; i < kNameMax - 2; i += 97) {
    char n[16];
    snprintf(n, sizeof n, "b%d", i);
    ASSERT_EQ(FindOrAddLiteralName(1, n), i + 3);
  }
  EXPECT_EQ(FindNameFrom(1, "Sx", kNameMax), 1);
  ResetNameTables();
  EXPECT_EQ(FindOrAddLiteralName(1, "b5"), 1);  // nothing left from before the reset
}

// A registry restored to its mark answers as the freshly built one.
TEST_F(NameTableTest, RestoredTablesAnswerAsBeforeTheAdds) {
  AddName(1, "A*");
  AddName(1, "B");
  BeginNameGroup(1);
  NameTablesMark mark;
  MarkNameTables(&mark);
  for (const char* n : {"B", "C", "AX", "*", "C"}) FindOrAddLiteralName(1, n);
  AddName(1, "C*");
  BeginNameGroup(1);
  FindOrAddLiteralName(1, "D");
  RestoreNameTables(&mark);
  EXPECT_EQ(NameCount(1), 2);
  EXPECT_EQ(FindNameInGroups(1, "CD", 0), 0);
  EXPECT_EQ(FindNameInGroups(1, "AC", 0), 1);
  EXPECT_EQ(FindOrAddLiteralName(1, "C"), 3);
  EXPECT_EQ(GroupOfName(1, 3), 2);
  ResetNameTables();
  AddName(1, "Q");
  RestoreNameTables(&mark);  // from before the reset: ignored
  EXPECT_EQ(NameCount(1), 1);
}

}  // namespace
