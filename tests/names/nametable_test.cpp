#include "names/nametable.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
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

bool Matches(const std::string& pattern, const std::string& s) {
  return WildMatch(pattern.c_str(), s.c_str()) == 0;
}

TEST_F(NameTableTest, WildcardRules) {
  struct Case {
    const char* pattern;
    const char* s;
    bool match;
  };
  const Case cases[] = {
      // '*' stands for one or more bytes, never for none.
      {"ABC*", "ABC", false},
      {"ABC*", "ABCD", true},
      {"ABC", "ABCD", false},
      {"ABC", "AB", false},
      {"*", "", false},
      {"*", "x", true},
      {"", "", true},
      {"", "a", false},
      // Whatever follows '*' is ignored.
      {"A*B", "AxyzQ", true},
      // A '*' in the string is consumed literally by the pattern's '*'.
      {"A*", "A*B", false},
      {"A*", "A*", true},
      {"A*", "AB", true},
      // '?' takes one single byte or one double-byte character.
      {"A?C", "AbC", true},
      {"A?", "A", false},
      {"?", "\x88\x9f", true},        // 亜
      {"?\x9f", "\x88\x9f", false},   // the '?' took both bytes
      {"?", "\x88", true},            // a lone lead byte at the end is one byte
      {"A?", "A?", true},
      // Comparison is byte-exact and case-sensitive.
      {"abc", "ABC", false},
      // The full-width question mark takes exactly one double-byte character.
      {"X\x81\x48", "Xa", false},
      {"X\x81\x48", "X\x88\x9f", true},
      {"X\x81\x48", "X\x81\x48", true},
      {"X\x81\x48", "X\x88\x9f\x88\x9f", false},
      // The literal comparison comes first: a character whose lead byte is
      // 0x81 (here the ideographic comma 0x81 0x41) meets the pattern's 0x81
      // literally, and then 0x48 fails against 0x41.
      {"X\x81\x48", "X\x81\x41", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(WildMatch(c.pattern, c.s) == 0, c.match) << c.pattern << " / " << c.s;

  EXPECT_TRUE(Matches(Sj("左？指３先"), Sj("左人指３先")));
  EXPECT_FALSE(Matches(Sj("左？指３先"), Sj("左a指３先")));
  EXPECT_TRUE(Matches("A?C", Sj("A人C")));
  EXPECT_TRUE(Matches(Sj("スカート*"), Sj("スカート1")));
  EXPECT_TRUE(Matches(Sj("スカート*"), Sj("スカート前")));
  EXPECT_FALSE(Matches(Sj("スカート*"), Sj("スカート")));
}

TEST_F(NameTableTest, ResetEmptiesEveryTable) {
  for (int t = 0; t < kNameTables; ++t) ASSERT_GT(AddName(t, "X"), 0);
  ASSERT_EQ(BeginNameGroup(1), 0);
  ResetNameTables();
  char buf[kNameSlot] = "untouched";
  for (int t = 0; t < kNameTables; ++t) {
    EXPECT_EQ(NameCount(t), 0);
    EXPECT_EQ(GroupOfName(t, 1), 0);
    EXPECT_EQ(GetName(t, buf, 1), -1);
    // Entries from before the reset are gone even for a scan asked to look
    // above the count.
    EXPECT_EQ(FindNameFrom(t, "X", 1), 0);
  }
  EXPECT_STREQ(buf, "untouched");
  // One group with boundary 0: the first new entry is in group 1.
  EXPECT_EQ(AddName(1, "a"), 1);
  EXPECT_EQ(GroupOfName(1, 1), 1);
  EXPECT_EQ(FindNameInGroups(1, "a", 1), 1);
}

TEST_F(NameTableTest, AddFindAndGet) {
  EXPECT_EQ(AddName(1, "A*"), 1);
  EXPECT_EQ(AddName(1, "AB"), 2);
  EXPECT_EQ(AddName(1, "AB"), 3);  // no duplicate check
  EXPECT_EQ(NameCount(1), 3);

  // Newest matching entry first; `last` limits the scan.
  EXPECT_EQ(FindNameFrom(1, "AB", 3), 3);
  EXPECT_EQ(FindNameFrom(1, "AB", 1), 1);
  EXPECT_EQ(FindNameFrom(1, "AC", 3), 1);
  EXPECT_EQ(FindNameFrom(1, "A", 3), 0);
  EXPECT_EQ(FindNameFrom(1, "AB", 0), 0);
  EXPECT_EQ(FindNameFrom(1, "AB", 99), 3);
  EXPECT_EQ(NameMatches(1, "AC", 1), 0);
  EXPECT_EQ(NameMatches(1, "AC", 2), -1);
  EXPECT_EQ(NameMatches(1, "AC", 4), -1);
  EXPECT_EQ(NameMatches(1, "AC", 0), -1);

  // FindOrAddName adds only what nothing matches.
  EXPECT_EQ(FindOrAddName(1, "AZ"), 1);
  EXPECT_EQ(FindOrAddName(1, "B"), 4);
  EXPECT_EQ(FindOrAddName(1, "B"), 4);
  EXPECT_EQ(NameCount(1), 4);
  EXPECT_EQ(AddName(2, Sj("ベル*").c_str()), 1);
  EXPECT_EQ(FindOrAddName(2, Sj("ベルト").c_str()), 1);
  EXPECT_EQ(NameCount(2), 1);

  char buf[kNameSlot];
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
    EXPECT_EQ(AddName(t, "a"), 0);
    EXPECT_EQ(FindOrAddName(t, "a"), 0);
    EXPECT_EQ(BeginNameGroup(t), -1);
    EXPECT_EQ(NameMatches(t, "a", 1), -1);
    EXPECT_EQ(FindNameFrom(t, "a", 1), 0);
    EXPECT_EQ(FindNameInGroups(t, "a", 0), -1);
    EXPECT_EQ(GroupOfName(t, 1), 0);
    EXPECT_EQ(GetName(t, buf, 1), -1);
    EXPECT_EQ(NameCount(t), 0);
    EXPECT_STREQ(NameAt(t, 1), "");
  }
  EXPECT_STREQ(buf, "keep");
}

TEST_F(NameTableTest, GroupsAndGroupSearches) {
  // Group 1: entries 1-2, group 2: 3-4, group 3 (empty), group 4: 5.
  AddName(1, "g1*");
  AddName(1, "k");
  BeginNameGroup(1);
  AddName(1, "g2");
  AddName(1, "k");
  BeginNameGroup(1);
  BeginNameGroup(1);
  AddName(1, "k");

  EXPECT_EQ(GroupOfName(1, 1), 1);
  EXPECT_EQ(GroupOfName(1, 2), 1);
  EXPECT_EQ(GroupOfName(1, 3), 2);
  EXPECT_EQ(GroupOfName(1, 4), 2);
  EXPECT_EQ(GroupOfName(1, 5), 4);
  EXPECT_EQ(GroupOfName(1, 6), 0);
  EXPECT_EQ(GroupOfName(1, 0), 0);

  EXPECT_EQ(FindNameInGroups(1, "k", 1), 2);   // only group 1
  EXPECT_EQ(FindNameInGroups(1, "g2", 1), 0);
  EXPECT_EQ(FindNameInGroups(1, "k", 2), 4);
  EXPECT_EQ(FindNameInGroups(1, "k", 3), 4);   // group 3 is empty
  EXPECT_EQ(FindNameInGroups(1, "k", 4), 5);   // the group count: all
  EXPECT_EQ(FindNameInGroups(1, "k", 0), 5);   // the last group: all
  EXPECT_EQ(FindNameInGroups(1, "k", -1), 4);  // up to group 3
  EXPECT_EQ(FindNameInGroups(1, "k", -2), 4);  // up to group 2
  EXPECT_EQ(FindNameInGroups(1, "k", -3), 2);  // up to group 1
  EXPECT_EQ(FindNameInGroups(1, "k", -4), -1);
  EXPECT_EQ(FindNameInGroups(1, "k", 5), -1);
  EXPECT_EQ(FindNameInGroups(1, "g1x", 0), 1);
}

TEST_F(NameTableTest, FifteenGroupsAtMost) {
  for (int g = 2; g <= kGroupMax; ++g) {
    ASSERT_EQ(BeginNameGroup(3), 0);
    ASSERT_GT(AddName(3, "e"), 0);
  }
  EXPECT_EQ(BeginNameGroup(3), -1);
  // The entries keep flowing into group 15.
  int n = AddName(3, "late");
  EXPECT_EQ(GroupOfName(3, n), kGroupMax);
  EXPECT_EQ(GroupOfName(3, n - 1), kGroupMax);
  EXPECT_EQ(FindNameInGroups(3, "late", kGroupMax), n);
  EXPECT_EQ(FindNameInGroups(3, "late", kGroupMax - 1), 0);
  EXPECT_EQ(FindNameInGroups(3, "e", 16), -1);
}

// ---------------------------------------------------------------------------
// The lookup cache must give exactly the results of the plain newest-first
// scan, whatever the names, the order of lookups and adds, and the limits.

int ReferenceScan(int table, const std::string& s, int last) {
  if (last > NameCount(table)) last = NameCount(table);
  for (int e = last; e >= 1; --e)
    if (WildMatch(NameAt(table, e), s.c_str()) == 0) return e;
  return 0;
}

std::string RandomName(std::mt19937& rng, bool pattern) {
  // Pieces: plain bytes, wildcards, the full-width '？', a double-byte
  // character, a lone lead byte and a character whose lead byte is 0x81.
  static const char* const kPieces[] = {"A", "B", "a", "*", "?", "\x81\x48",
                                        "\x88\x9f", "\x88", "\x81\x41"};
  const int npieces = sizeof kPieces / sizeof kPieces[0];
  int len = std::uniform_int_distribution<int>(0, 4)(rng);
  std::string s;
  for (int i = 0; i < len; ++i) {
    int k = std::uniform_int_distribution<int>(0, npieces - 1)(rng);
    // Strings use wildcards less often than patterns.
    if (!pattern && (k == 3 || k == 4) && rng() % 3) k = 0;
    s += kPieces[k];
  }
  return s;
}

TEST_F(NameTableTest, CacheGivesTheScanResults) {
  std::mt19937 rng(20240611);
  std::vector<std::string> seen;  // names looked up earlier, for repeats
  long lookups = 0, hits = 0;
  for (int round = 0; round < 6; ++round) {
    ResetNameTables();
    for (int step = 0; step < 4000; ++step) {
      int table = rng() % 2 ? 1 : 2;
      int what = rng() % 10;
      if (what == 0) {
        AddName(table, RandomName(rng, true).c_str());
        continue;
      }
      if (what == 1) {
        if (rng() % 50 == 0)
          ResetNameTables();  // slots of the old tables must not survive
        else
          BeginNameGroup(table);
        continue;
      }
      std::string s;
      if (!seen.empty() && rng() % 2) {
        s = seen[rng() % seen.size()];
      } else if (NameCount(table) > 0 && rng() % 4 == 0) {
        // A name that is a prefix of a stored pattern, or the pattern itself.
        std::string p = NameAt(table, 1 + rng() % NameCount(table));
        s = p.substr(0, rng() % (p.size() + 1));
      } else {
        s = RandomName(rng, false);
      }
      seen.push_back(s);
      int count = NameCount(table);
      int last;
      switch (rng() % 4) {
        case 0: last = count; break;
        case 1: last = count + 1 + static_cast<int>(rng() % 3); break;
        case 2: last = static_cast<int>(rng() % (count + 2)) - 1; break;
        default: last = count - static_cast<int>(rng() % 3); break;
      }
      int want = ReferenceScan(table, s, last);
      ASSERT_EQ(FindNameFrom(table, s.c_str(), last), want)
          << "round " << round << " step " << step << " last " << last;
      ++lookups;
      if (want) ++hits;
      if (what == 2) {
        int group = static_cast<int>(rng() % 5) - 2;
        NameCacheEnable(false);
        int plain = FindNameInGroups(table, s.c_str(), group);
        NameCacheEnable(true);
        ASSERT_EQ(FindNameInGroups(table, s.c_str(), group), plain);
      }
      if (what == 3) {
        int found = ReferenceScan(table, s, count);
        ASSERT_EQ(FindOrAddName(table, s.c_str()), found ? found : count + 1);
        ASSERT_EQ(NameCount(table), found ? count : count + 1);
      }
    }
  }
  // The random names must exercise both outcomes.
  EXPECT_GT(hits, lookups / 10);
  EXPECT_LT(hits, lookups);
}

TEST_F(NameTableTest, CacheFollowsAddsAndResets) {
  EXPECT_EQ(FindOrAddName(1, "AB"), 1);
  EXPECT_EQ(FindOrAddName(1, "AB"), 1);
  AddName(1, "A*");  // a newer pattern takes over the name
  EXPECT_EQ(FindOrAddName(1, "AB"), 2);
  EXPECT_EQ(FindNameFrom(1, "AB", 1), 1);
  EXPECT_EQ(FindNameFrom(1, "AB", 2), 2);
  ResetNameTables();
  EXPECT_EQ(FindNameFrom(1, "AB", 2), 0);
  AddName(1, "B*");
  AddName(1, "C");
  EXPECT_EQ(FindNameFrom(1, "AB", 2), 0);  // same count as before the reset
  EXPECT_EQ(FindOrAddName(1, "AB"), 3);
}

}  // namespace
