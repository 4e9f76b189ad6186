#include "analysis/findings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "analysis/report_buffer.h"
#include "names/alias.h"
#include "names/nametable.h"
#include "names/vocabulary.h"
#include "tests/support/comma_locale.h"
#include "tests/support/tempdir.h"
#include "tests/support/vmdwriter.h"
#include "vmd/rotation.h"
#include "vmd/vmdread.h"

namespace {

std::string SJ(const char* utf8) { return SjisName(utf8); }

// The stored amount (sine of half the angle) for an angle in degrees, in the
// report's own degree scale.
float Amount(double deg) { return (float)std::sin(deg / (360.0 * 0.31830988148145367)); }


class Findings : public testing::Test {
 protected:
  void SetUp() override {
    ResetNameTables();
    aliasFoundA = aliasFoundW = 0;
    RegisterBuiltinNames();
    ResetTracks();
    rbreset();
  }
  void TearDown() override { aliasFoundA = aliasFoundW = 0; }

  // The track of a vocabulary bone.
  static BoneTrack& Bone(const char* utf8) {
    int e = FindNameInGroups(1, SJ(utf8).c_str(), 0);
    EXPECT_GT(e, 0) << utf8;
    return gBoneTracks[e > 0 ? e : 0];
  }
  // The track of a bone the motion brings (added as the reader adds it).
  static BoneTrack& NewBone(const std::string& sjis) {
    int e = FindOrAddName(1, sjis.c_str());
    EXPECT_GT(e, 0);
    return gBoneTracks[e > 0 ? e : 0];
  }
  // Keys that move the bone; its twists are kept.
  static BoneTrack& Drive(BoneTrack& t, float rot, float pos = 0.0f, int keys = 1, int first = 0,
                          int last = 0) {
    t = {keys, first, last, 0xFF, pos, rot, t.maxtwsplus, t.attwsplus, t.maxtwsminus, t.attwsminus,
         t.atmaxpos, t.atmaxrot};
    return t;
  }
  static MorphTrack& Morph(const std::string& sjis, int keys, int first, int last, float lo,
                           float hi) {
    int e = FindOrAddName(2, sjis.c_str());
    EXPECT_GT(e, 0);
    return gMorphTracks[e > 0 ? e : 0] = {keys, first, last, lo, hi};
  }

  static std::vector<std::string> Lines() {
    std::vector<std::string> v;
    for (int i = 0; i < gReport.linecount; i++) v.push_back(gReport.lines[i]);
    return v;
  }
  static void List() {
    findbones();
    rbreset();
    listbones();
  }
};

// The smallest stored amount whose angle reaches deg.
float FirstAmountReaching(double deg) {
  float f = Amount(deg);
  while (amount2deg(f) >= deg) f = std::nextafter(f, 0.0f);
  while (amount2deg(f) < deg) f = std::nextafter(f, 1.0f);
  return f;
}

TEST_F(Findings, ArmTwistOf145IsSlightAndOf160IsRough) {
  const float at145 = FirstAmountReaching(145.0);
  const float at160 = FirstAmountReaching(160.0);
  struct Case { float amount; uint32_t slight, rough; } cases[] = {
      {std::nextafter(at145, 0.0f), 0, 0},
      {at145, 1, 0},
      {std::nextafter(at160, 0.0f), 1, 0},
      {at160, 0, 1},
  };
  for (const Case& c : cases) {
    for (int side = 0; side < 2; side++) {
      ResetTracks();
      BoneTrack& t = Drive(Bone("左腕"), 0.5f);
      (side ? t.maxtwsplus : t.maxtwsminus) = c.amount;
      (side ? t.maxtwsminus : t.maxtwsplus) = 0.1f;
      findbones();
      EXPECT_EQ(gFind.armslight, c.slight) << c.amount;
      EXPECT_EQ(gFind.armrough, c.rough) << c.amount;
      EXPECT_EQ(gFind.slightbones, (int)c.slight);
      EXPECT_EQ(gFind.roughbones, (int)c.rough);
    }
  }
}

TEST_F(Findings, AliasModeHeadingsAndLongRenderings) {
  // Every byte of a name becomes 15 bytes, so a full line runs past the
  // length of a report line.
  TempDir dir;
  ASSERT_EQ(ReadAliasFile(dir.Write("alias.ini", "\"?\" ABCDEFGHIJKLMNO\r\n").c_str(), u"", 0), 0);
  aliasFoundA = 0xFF;
  Drive(Bone("左腕捩"), 0.02f, 1.5f);
  Drive(Bone("頭"), 0.02f);
  NewBone("xy").maxrot = 0.5f;
  Morph(SJ("あ"), 1, 0, 0, 1.0f, 1.0f);  // no morph aliases: shown as it is
  List();
  listmorphs();

  std::vector<std::string> l = Lines();
  ASSERT_GE(l.size(), 9u);
  const std::string x15 = "ABCDEFGHIJKLMNO", head = x15 + x15, twist = head + head + head;
  EXPECT_EQ(gReport.linelength[2], 127);
  EXPECT_EQ(l[2], ("  " + twist + "  (1 keys) (frame 0 - 0) (|pos|=1.5) ").substr(0, 127));
  // The head is padded to the widest rendering (90 bytes).
  EXPECT_EQ(l[3], ("  " + head + std::string(60, ' ') + "  (1 keys) (frame 0 - 0) (rot   2.3) ")
                      .substr(0, 127));
  EXPECT_EQ(l[4], "     ");
  EXPECT_EQ(l[5], "  " + head);
  EXPECT_EQ(l[6], "");
  EXPECT_EQ(l[8], SJ("  あ  (1 keys) (frame 0 - 0) (val 1 - 1) \n"));
}

// A toolkit may set the process locale from the user's: the report's numbers
// still use '.', as people and tools split them at ','.
TEST_F(Findings, NumbersIgnoreTheLocale) {
  CommaLocale de;
  if (!de.Ok()) GTEST_SKIP() << "no comma-decimal locale";
  BoneTrack& arm = Drive(Bone("左腕"), Amount(39.2), 0.0f, 3, 5, 30);
  arm.maxtwsminus = Amount(150.5);
  arm.attwsminus = 7;
  Drive(Bone("左足ＩＫ親"), 0.02f, 118.68f);
  List();
  const std::vector<std::string> l = Lines();
  ASSERT_GE(l.size(), 4u);
  EXPECT_EQ(l[2], SJ("  左腕        (3 keys) (frame 5 - 30) (rot  39.2) (tws 150.5 (at 7)) "));
  EXPECT_EQ(l[3], SJ("  左足ＩＫ親  (1 keys) (frame 0 - 0) (|pos|=118.68) (rot   2.3) "));
  rbreset();
  Morph(SJ("あ"), 1, 0, 4, -0.25f, 0.75f);
  listmorphs();
  ASSERT_GE(gReport.linecount, 2);
  EXPECT_EQ(gReport.lines[1], SJ("  あ  (1 keys) (frame 0 - 4) (val -0.25 - 0.75) \n"));
}

}  // namespace
