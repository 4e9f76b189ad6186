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

uint32_t Pack(int r, int g, int b) { return (uint32_t)b << 16 | (uint32_t)g << 8 | (uint32_t)r; }

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
    t = {keys, first, last, 0xFF, pos, rot, t.maxtwsplus, t.attwsplus, t.maxtwsminus, t.attwsminus};
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
  // The colour of the full bone line of a name ("  name" and a space).
  static uint32_t ColourOf(const char* utf8) {
    const std::string head = "  " + SJ(utf8) + " ";
    for (int i = 0; i < gReport.linecount; i++)
      if (strncmp(gReport.lines[i], head.c_str(), head.size()) == 0)
        return gReport.cellcolour[i][0];
    ADD_FAILURE() << "no line for " << utf8;
    return 0xFFFFFFFF;
  }
  static void List() {
    findbones();
    rbreset();
    listbones();
  }
};

TEST_F(Findings, TwistBonesAndPlusBonesAreLicenseFactors) {
  Drive(Bone("左腕捩"), 0.3f).maxtwsplus = 0.02f;
  Drive(Bone("右手捩"), 0.3f).maxtwsminus = 0.5f;
  Bone("右腕捩").maxtwsplus = 0.5f;                  // twist without a key
  Drive(Bone("左足_+"), 0.02f);
  Drive(Bone("右腕_+"), 0.005f, 1.0f);               // moves, does not turn
  findbones();
  EXPECT_EQ(gFind.twistbones, 1u | 8u);
  EXPECT_EQ(gFind.plusbones, 1u);
  EXPECT_EQ(gFind.licensefactors, 3);
  EXPECT_EQ(gFind.dropfactors, 0);
}

TEST_F(Findings, FullWidthUpperBody2AloneIsALicenseFactor) {
  BoneTrack& full = Bone("上半身２");
  BoneTrack& half = Bone("上半身2");
  // full-width driven, then the half-width one too (findbones starts from
  // zero each time), then only the half-width one
  const struct { uint8_t fullMoved, halfMoved; int state, factors; } steps[] = {
      {0xFF, 0, -1, 1}, {0xFF, 0xFF, 1, 0}, {0, 0xFF, 0, 0}};
  Drive(full, 0.1f);
  Drive(half, 0.1f);
  for (const auto& s : steps) {
    full.moved = s.fullMoved;
    half.moved = s.halfMoved;
    findbones();
    EXPECT_EQ(gFind.upper2state, s.state);
    EXPECT_EQ(gFind.licensefactors, s.factors);
  }
}

TEST_F(Findings, DropOutFactors) {
  Drive(Bone("左ひざD"), 0.02f);
  Drive(Bone("右足首D"), 0.02f);
  Drive(NewBone(SJ("右ひじD")), 0.02f);             // arm D bones come with
  Drive(NewBone(SJ("左腕D")), 0.0099f);              // the motion; below the threshold
  Drive(Bone("右肩P"), 0.02f);
  Drive(Bone("上半身3"), 0.0f, 0.5f);                 // moves only: bit, no count
  Drive(Bone("右足ＩＫ親"), 0.02f);                   // turns: bit and count
  findbones();
  EXPECT_EQ(gFind.dlegbones, 2u | 0x20u);
  EXPECT_EQ(gFind.darmbones, 8u);
  EXPECT_EQ(gFind.shoulderp, 2u);
  EXPECT_EQ(gFind.upper3bones, 1u | 4u);
  EXPECT_EQ(gFind.dropfactors, 5);
  EXPECT_EQ(gFind.licensefactors, 0);
}

TEST_F(Findings, LegIkParentRanges) {
  struct Case { float rot; uint32_t left; int drops; } cases[] = {
      {0.03f, 0, 0}, {0.05f, 1, 0}, {0.1f, 4, 0}, {0.2f, 0x10, 1}};
  for (const Case& c : cases) {
    ResetTracks();
    Drive(Bone("左足IK親"), c.rot);
    Drive(Bone("右足IK親"), c.rot);
    findbones();
    EXPECT_EQ(gFind.ikparents, c.left | c.left << 1) << c.rot;
    EXPECT_EQ(gFind.dropfactors, 2 * c.drops) << c.rot;
  }
}

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
  ResetTracks();
  Drive(Bone("右ひじ"), 0.9f).maxtwsplus = Amount(170);
  Drive(Bone("右腕"), 0.9f).maxtwsminus = Amount(150);
  findbones();
  EXPECT_EQ(gFind.armrough, 8u);
  EXPECT_EQ(gFind.armslight, 4u);
}

TEST_F(Findings, LowerBodyAndWaist) {
  struct Case { float rot, pos; int state; } cases[] = {
      {Amount(20), 0, 3}, {Amount(40), 0, -1}, {Amount(5), 0.5f, -1}, {0.0099f, 0, 0}};
  for (const Case& c : cases) {
    ResetTracks();
    Drive(Bone("下半身"), c.rot, c.pos);
    findbones();
    EXPECT_EQ(gFind.lowerbodystate, c.state) << c.rot;
    EXPECT_EQ(gFind.roughbones, c.state != 0 ? 1 : 0) << c.rot;
  }
  ResetTracks();
  Drive(Bone("腰"), 0.02f);
  findbones();
  EXPECT_EQ(gFind.waiststate, -1);
  EXPECT_EQ(gFind.roughbones, 1);
  EXPECT_EQ(gFind.lowerbodystate, 0);
}

TEST_F(Findings, FullBoneLines) {
  BoneTrack& arm = Drive(Bone("左腕"), Amount(60), 0.0f, 3, 5, 30);
  arm.maxtwsminus = Amount(150);
  arm.attwsminus = 7;
  arm.maxtwsplus = Amount(10);
  arm.attwsplus = 3;
  BoneTrack& tw = Drive(Bone("左腕捩"), 0.3f, 0.0f, 2, 0, 12);
  tw.maxtwsplus = Amount(40);
  tw.attwsplus = 12;
  BoneTrack& right = Drive(Bone("右腕"), 0.005f, 0.0f, 2, 1, 9);
  right.maxtwsplus = right.maxtwsminus = Amount(20);
  right.attwsplus = 4;
  right.attwsminus = 9;
  Drive(Bone("左足ＩＫ親"), 0.02f, 1.5f);
  Bone("センター").keycount = 4;  // keys, but never moved: not listed
  List();

  // The widest driven name is 左足ＩＫ親 (10 bytes).
  EXPECT_EQ(Lines(), (std::vector<std::string>{
      "", SJ("使用ボーン: "),
      SJ("  左腕        (3 keys) (frame 5 - 30) (rot  60.0) (tws 150.0 (at 7)) "),
      SJ("  左腕捩      (2 keys) (frame 0 - 12) (tws  40.0 (at 12)) "),
      SJ("  右腕        (2 keys) (frame 1 - 9) (tws  20.0 (at 9)) "),
      SJ("  左足ＩＫ親  (1 keys) (frame 0 - 0) (|pos|=1.5) (rot   2.3) "), "", ""}));
  EXPECT_EQ(gReport.cellcolour[0][0], 0u);
  EXPECT_EQ(gReport.cellcolour[1][0], Pack(255, 255, 255));
}

TEST_F(Findings, FullLineColours) {
  const uint32_t white = Pack(255, 255, 255), red = Pack(255, 0, 0), orange = Pack(255, 80, 0),
                 amber = Pack(255, 120, 0), yellow = Pack(255, 240, 0),
                 pale = Pack(250, 250, 150);
  const struct { const char* name; uint32_t colour; } still[] = {
      {"左腕捩", red},   {"上半身２", red}, {"右足ＩＫ親", red}, {"左足_+", red},
      {"左ひざD", orange}, {"上半身3", amber}, {"左肩P", amber},    {"腰", yellow},
      {"左腕ＩＫ", orange}, {"頭", white}};
  for (const auto& b : still) Drive(Bone(b.name), 0.02f);
  Drive(Bone("左足IK親"), 0.05f);
  Drive(Bone("右足IK親"), 0.2f);
  Drive(Bone("下半身"), Amount(20));
  Drive(Bone("左ひじ"), 0.9f).maxtwsminus = Amount(170);
  Drive(Bone("右腕"), 0.9f).maxtwsplus = Amount(150);
  Drive(Bone("右ひじ"), 0.9f).maxtwsplus = Amount(100);
  List();
  for (const auto& b : still) EXPECT_EQ(ColourOf(b.name), b.colour) << b.name;
  EXPECT_EQ(ColourOf("左足IK親"), pale);
  EXPECT_EQ(ColourOf("右足IK親"), yellow);
  EXPECT_EQ(ColourOf("下半身"), pale);
  EXPECT_EQ(ColourOf("左ひじ"), yellow);
  EXPECT_EQ(ColourOf("右腕"), pale);
  EXPECT_EQ(ColourOf("右ひじ"), white);

  // With the half-width one moving too, the full-width one is no problem.
  Drive(Bone("上半身2"), 0.02f);
  List();
  EXPECT_EQ(ColourOf("上半身２"), white);
}

TEST_F(Findings, FingersCompactLinesAndSeparators) {
  Drive(Bone("頭"), 0.02f);
  Drive(Bone("右中指２"), 0.5f);               // a finger that only turns
  Drive(Bone("左人指１"), 0.0f, 0.06f, 2, 0, 4);  // a finger that moves
  for (int i = 1; i <= 8; i++) NewBone("bonename_" + std::to_string(i)).maxrot = 0.02f;
  NewBone("quiet").keycount = 3;                // neither moves nor turns
  NewBone(SJ("左親指０ ")).maxpos = 0.5f;
  NewBone("abc\x82").maxrot = 0.5f;             // ends in a lone lead byte
  List();

  // Compact lines are not "listed": only the closing empty line follows them.
  EXPECT_EQ(Lines(), (std::vector<std::string>{
      "", SJ("使用ボーン: "), SJ("  頭  (1 keys) (frame 0 - 0) (rot   2.3) "),
      SJ("  左人指１  (2 keys) (frame 0 - 4) (|pos|=0.06) "), "     ",
      "  bonename_1  bonename_2  bonename_3  bonename_4  bonename_5  bonename_6",
      "  bonename_7  bonename_8  " + SJ("\"左親指０ \"") + "  abc", ""}));

  // the morph list's separator comes even when nothing of its group is listed
  Morph(SJ("あ"), 1, 0, 0, 0.0f, 1.0f);
  Morph("quiet", 1, 0, 0, 0.0f, 0.0f);
  rbreset();
  listmorphs();
  ASSERT_EQ(gReport.linecount, 6);
  EXPECT_STREQ(gReport.lines[2], "     ");
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
  EXPECT_EQ(l[1], "Bones: ");
  const std::string x15 = "ABCDEFGHIJKLMNO", head = x15 + x15, twist = head + head + head;
  EXPECT_EQ(gReport.linelength[2], 127);
  EXPECT_EQ(l[2], ("  " + twist + "  (1 keys) (frame 0 - 0) (|pos|=1.5) ").substr(0, 127));
  // The head is padded to the widest rendering (90 bytes).
  EXPECT_EQ(l[3], ("  " + head + std::string(60, ' ') + "  (1 keys) (frame 0 - 0) (rot   2.3) ")
                      .substr(0, 127));
  EXPECT_EQ(l[4], "     ");
  EXPECT_EQ(l[5], "  " + head);
  EXPECT_EQ(l[6], "");
  EXPECT_EQ(l[7], "Morphing (Expression): ");
  EXPECT_EQ(l[8], SJ("  あ  (1 keys) (frame 0 - 0) (val 1 - 1) \n"));
}

TEST_F(Findings, MorphList) {
  Morph(SJ("あ"), 2, 0, 10, 0.0f, 1.0f);
  Morph(SJ("い"), 3, 0, 20, 0.0f, 0.0f);            // all keys 0.0: not listed
  Morph(SJ("まばたき"), 1, 7, 7, -0.5f, -0.5f);
  Morph(SJ("ω"), 1, 3, 3, 0.0f, 0.75f);
  Morph(SJ("クリ勃起"), 1, 0, 0, 1.0f, 1.0f);       // kept apart: never listed
  Morph("\x81\xbf", 1, 4, 4, 0.0f, 0.5f);         // ∩, brought by the motion
  Morph("longmorphname", 2, 1, 9, 0.0f, 0.125f);
  Morph("unused", 0, 0, 0, 0.0f, 0.0f);
  rbreset();
  listmorphs();

  // The widest listed name of the expressions is まばたき (8 bytes); the
  // replaced names are padded as their own two bytes.
  const std::string pad(6, ' ');
  const std::vector<std::string> l = Lines();
  EXPECT_EQ(l, (std::vector<std::string>{
      SJ("使用モーフ(表情): "), SJ("  あ") + pad + "  (2 keys) (frame 0 - 10) (val 0 - 1) \n",
      SJ("    ω ") + pad + "  (1 keys) (frame 3 - 3) (val 0 - 0.75) \n",
      SJ("  まばたき  (1 keys) (frame 7 - 7) (val -0.5 - -0.5) \n"), "     ",
      SJ("    Π ") + pad + "  (1 keys) (frame 4 - 4) (val 0 - 0.5) \n",
      "  longmorphname  (2 keys) (frame 1 - 9) (val 0 - 0.125) \n", "", "", ""}));
  ASSERT_GE(l.size(), 2u);
  EXPECT_EQ(gReport.linelength[1], l[1].size());
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
