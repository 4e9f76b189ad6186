#include "names/vocabulary.h"

#include <gtest/gtest.h>

#include <string>

#include "names/nametable.h"
#include "platform/headless/headless.h"
#include "tests/names/sjis_literal.h"

namespace {

class VocabularyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HeadlessReset();
    NameCacheEnable(true);
    ResetNameTables();
    RegisterBuiltinNames();
  }
};

constexpr int kBones = 1, kMorphs = 2;

int Resolve(int table, const char* utf8) {
  return FindNameFrom(table, Sj(utf8).c_str(), NameCount(table));
}

int Occurrences(int table, const char* utf8) {
  int n = 0;
  for (int e = 1; e <= NameCount(table); ++e) n += Sj(utf8) == NameAt(table, e);
  return n;
}

TEST_F(VocabularyTest, CountsGroupsAndEntries) {
  EXPECT_EQ(NameCount(kBones), 473);
  EXPECT_EQ(NameCount(kMorphs), 62);
  // Bone groups begin at 0, 64, 92 and 473; morph groups at 0, 61 and 62.
  const int boneGroups[][2] = {{1, 1}, {64, 1}, {65, 2}, {92, 2}, {93, 3}, {473, 3}, {474, 0}};
  for (auto& bg : boneGroups) EXPECT_EQ(GroupOfName(kBones, bg[0]), bg[1]) << bg[0];
  EXPECT_EQ(GroupOfName(kMorphs, 61), 1);
  EXPECT_EQ(GroupOfName(kMorphs, 62), 2);
  // Group 4 of the bones and group 3 of the morphs are begun, empty.
  EXPECT_EQ(FindNameInGroups(kBones, Sj("右小指３").c_str(), 2), 92);
  EXPECT_EQ(FindNameInGroups(kBones, Sj("右小指３").c_str(), 1), 0);
  EXPECT_EQ(FindNameInGroups(kBones, Sj("頭先").c_str(), 0), Resolve(kBones, "頭先"));
  EXPECT_EQ(FindNameInGroups(kBones, "x", 5), -1);
  EXPECT_EQ(FindNameInGroups(kMorphs, "x", 4), -1);
  EXPECT_EQ(FindNameInGroups(kMorphs, Sj("クリ勃起").c_str(), -1), 62);
  EXPECT_EQ(NameCount(0) + NameCount(3), 0);  // the alias tables are left alone

  struct Pin {
    int table, entry;
    const char* name;
  };
  const Pin pins[] = {
      {kBones, 1, "操作中心"},   {kBones, 7, "左腕捩"},      {kBones, 64, "右腕_+"},
      {kBones, 65, "左親指１"},  {kBones, 92, "右小指３"},   {kBones, 93, "左目先"},
      {kBones, 174, "ベル*"},    {kBones, 214, "新規ボーン1"}, {kBones, 215, "スカート*"},
      {kBones, 226, "前ｽｶｰﾄ*"},  {kBones, 331, "左足？リボ*"}, {kBones, 335, "左目*"},
      {kBones, 369, "右Hair*"},  {kBones, 378, "右Hair*"},   {kBones, 415, "猫耳右*"},
      {kBones, 417, "猫耳右*"},  {kBones, 459, "左？指３先"}, {kBones, 473, "(ベル*"},
      {kMorphs, 1, "あ"},        {kMorphs, 36, "д"},         {kMorphs, 61, "メガネ"},
      {kMorphs, 62, "クリ勃起"},
  };
  for (const Pin& p : pins) EXPECT_EQ(NameAt(p.table, p.entry), Sj(p.name)) << p.name;
  // The stored bytes are Shift-JIS, whatever the converter says.
  EXPECT_STREQ(NameAt(kBones, 49), "\x8d\xb6\x98\x72\x82\x68\x82\x6a");  // 左腕ＩＫ
  EXPECT_STREQ(NameAt(kBones, 216), "\xbd\xb6\xb0\xc4*");                // ｽｶｰﾄ*
  EXPECT_STREQ(NameAt(kMorphs, 36), "\x84\x74");                         // д

  // The repeated "左腕捩" of group 1 resolved to entry 7; the two repeated
  // patterns were added twice.
  EXPECT_EQ(Occurrences(kBones, "左腕捩"), 1);
  EXPECT_EQ(Occurrences(kBones, "右Hair*"), 2);
  EXPECT_EQ(Occurrences(kBones, "猫耳右*"), 2);
}

TEST_F(VocabularyTest, MotionNamesResolve) {
  // A listed name gives way to a later pattern that also matches it.
  EXPECT_EQ(Resolve(kBones, "左目先"), 335);
  EXPECT_EQ(Resolve(kBones, "左腕捩"), 7);
  for (auto [name, entry] : {std::pair{"スカート1", 215}, {"スカート前", 215}, {"前ｽｶｰﾄ1", 226},
                             {"ベルト", 174}, {"左人指３先", 459}, {"右Hair1", 378}})
    EXPECT_EQ(Resolve(kBones, name), entry) << name;

  // スカート alone is not covered by "スカート*": a new entry of group 4.
  EXPECT_EQ(FindOrAddName(kBones, Sj("スカート").c_str()), 474);
  EXPECT_EQ(FindOrAddName(kBones, Sj("スカート").c_str()), 474);
  EXPECT_EQ(GroupOfName(kBones, 474), 4);

  // An unlisted morph becomes entry 63, in group 3.
  EXPECT_EQ(FindOrAddName(kMorphs, Sj("未知の表情").c_str()), 63);
  EXPECT_EQ(GroupOfName(kMorphs, 63), 3);
}

}  // namespace
