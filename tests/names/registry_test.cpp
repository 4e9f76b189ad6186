// The registry reload that keeps a copy of its tables: whatever path a
// reload takes (in full, dropping what a motion added, or putting the copy
// back after someone else emptied the tables), lookups must answer as after
// a full reload.
#include "names/registry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/runenv.h"
#include "names/alias.h"
#include "names/nametable.h"
#include "names/vocabulary.h"
#include "platform/headless/headless.h"
#include "tests/names/sjis_literal.h"
#include "tests/support/tempdir.h"

namespace {

// Names a motion may bring: vocabulary names, names the vocabulary's
// patterns take, and names of its own.
const char* const kMotionNames[] = {"センター", "左腕捩", "上半身２", "上半身2", "左足IK親",
                                    "髪1",      "髪99",   "xyz",      "左人指１", "スカート_0_1"};

// Every lookup the analysis makes, as one list of answers.
std::vector<int> Answers() {
  std::vector<int> a;
  for (int t = 0; t < kNameTables; t++) {
    a.push_back(NameCount(t));
    a.push_back(NameGroupCount(t));
    for (int e = 1; e <= NameCount(t); e++) {
      a.push_back(GroupOfName(t, e));
      for (int g = 0; g <= NameGroupCount(t); g++) a.push_back(FindNameInGroups(t, NameAt(t, e), g));
    }
  }
  for (const char* n : kMotionNames)
    for (int g = 0; g <= NameGroupCount(1); g++) a.push_back(FindNameInGroups(1, Sj(n).c_str(), g));
  return a;
}

// A motion's names added, as the reader adds them.
void AddMotionNames() {
  for (const char* n : kMotionNames) {
    FindOrAddName(1, Sj(n).c_str());
    FindOrAddName(2, Sj(n).c_str());
  }
}

class RegistryTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    HeadlessReset();
    ResetRunEnv();
    ForgetNameRegistry();
    // With the parameter set, an alias.ini beside the "executable".
    if (GetParam()) {
      dir_.Write("alias.ini", "-Bone\n全ての親 Root\n左腕* LeftArm\n-Morph\nあ A\n");
      snprintf(gRun.exeDirA, kPathMax, "%s/", dir_.Root().c_str());
    }
  }
  void TearDown() override { ForgetNameRegistry(); }
  TempDir dir_;
};

TEST_P(RegistryTest, EveryReloadAnswersAsAFullReload) {
  ResetNameTables();
  LoadAliasFile();
  RegisterBuiltinNames();
  const std::vector<int> full = Answers();
  EXPECT_EQ(AliasMode(), GetParam());

  ReloadNameRegistry();  // in full, taking the copy
  EXPECT_EQ(Answers(), full);
  for (int round = 0; round < 3; round++) {
    AddMotionNames();
    ASSERT_NE(Answers(), full);
    ReloadNameRegistry();  // drops the motion's names
    EXPECT_EQ(Answers(), full) << round;
  }
  // Someone else empties the tables and fills them differently: the copy is
  // put back.
  ResetNameTables();
  AddMotionNames();
  ReloadNameRegistry();
  EXPECT_EQ(Answers(), full);
  EXPECT_EQ(AliasMode(), GetParam());
  // The mark alone: what a motion added goes; after a reset it is refused.
  AddMotionNames();
  EXPECT_EQ(RestoreNameRegistry(), 0);
  EXPECT_EQ(Answers(), full);
  ResetNameTables();
  EXPECT_EQ(RestoreNameRegistry(), -1);
  ReloadNameRegistry();
  ForgetNameRegistry();
  EXPECT_EQ(RestoreNameRegistry(), -1);
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutAliasFile, RegistryTest, ::testing::Bool());

// Dropping entries keeps cached lookups true: a name found above the cut is
// found no more, and a name found below it still is.
TEST(TruncateNameTable, CachedLookupsFollowTheCut) {
  ResetNameTables();
  AddName(5, "a*");
  AddName(5, "b");
  ASSERT_EQ(FindOrAddName(5, "c"), 3);
  ASSERT_EQ(FindNameFrom(5, "ax", 3), 1);  // cached: scanned 1..3
  ASSERT_EQ(FindNameFrom(5, "c", 3), 3);
  BeginNameGroup(5);
  EXPECT_EQ(TruncateNameTable(5, 2, 1), 0);
  EXPECT_EQ(NameCount(5), 2);
  EXPECT_EQ(NameGroupCount(5), 1);
  EXPECT_EQ(FindNameFrom(5, "c", 2), 0);
  EXPECT_EQ(FindNameFrom(5, "ax", 2), 1);
  // New entries above the cut are found, not the old ones' answers.
  EXPECT_EQ(AddName(5, "ay"), 3);
  EXPECT_EQ(FindNameFrom(5, "ay", 3), 3);
  EXPECT_EQ(FindNameFrom(5, "ax", 3), 1);
  EXPECT_EQ(FindOrAddName(5, "c"), 4);
  // The index forgets what was cut: an entry number given again holds another
  // name, and neither the old text nor an old pattern finds it.
  ResetNameTables();
  AddName(6, "keep");
  AddName(6, "x*");
  AddLiteralName(6, "gone");
  ASSERT_EQ(FindNameFrom(6, "gone", 3), 3);
  ASSERT_EQ(TruncateNameTable(6, 1, 1), 0);
  EXPECT_EQ(AddLiteralName(6, "*"), 2);
  EXPECT_EQ(AddLiteralName(6, "other"), 3);
  EXPECT_EQ(FindNameFrom(6, "gone", 3), 0);
  EXPECT_EQ(FindNameFrom(6, "xy", 3), 0);
  EXPECT_EQ(FindNameFrom(6, "*", 3), 2);
  EXPECT_EQ(FindNameFrom(6, "keep", 3), 1);
  // A cut above what the table holds is refused.
  EXPECT_EQ(TruncateNameTable(5, 9, 1), -1);
  EXPECT_EQ(TruncateNameTable(5, 1, 2), -1);
}

// A mark is restored only while its entries and groups still stand: a cut
// below it, filled again to its count, is another table.
TEST(NameTablesMark, RefusedOnceItsEntriesChanged) {
  ResetNameTables();
  AddName(7, "a");
  AddName(7, "b*");
  NameTablesMark m;
  MarkNameTables(&m);
  AddLiteralName(7, "c");
  ASSERT_EQ(FindNameFrom(7, "bx", 3), 2);
  EXPECT_EQ(RestoreNameTables(&m), 0);
  EXPECT_EQ(NameCount(7), 2);
  ASSERT_EQ(TruncateNameTable(7, 1, 1), 0);
  AddName(7, "z*");
  EXPECT_EQ(RestoreNameTables(&m), -1);
  EXPECT_EQ(FindNameFrom(7, "bx", 2), 0);  // the cached answer went with its entry
  EXPECT_EQ(FindNameFrom(7, "zx", 2), 2);
  // The same entries, a group begun elsewhere: refused as well.
  ResetNameTables();
  AddName(8, "a");
  BeginNameGroup(8);
  MarkNameTables(&m);
  ASSERT_EQ(TruncateNameTable(8, 1, 1), 0);
  AddName(8, "b");
  BeginNameGroup(8);
  EXPECT_EQ(RestoreNameTables(&m), -1);
  EXPECT_EQ(GroupOfName(8, 2), 1);
}

}  // namespace
