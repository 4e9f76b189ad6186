#include <cmath>
#include <limits>

#include "tests/vmd/vmd_fixture.h"

namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();

TEST_F(VmdTest, HeaderChecksOnlyMagicAndVersionBytes) {
  VmdWriter ok;  // unchecked bytes may hold anything
  ok.Header("VocaXXXXXXXXXXXXXXXXX0002ZZZZZ").ModelName("M").Count(0);
  EXPECT_EQ(Read(ok), 0);
  EXPECT_STREQ(gSourceModel, "M");

  // every checked byte; the first mismatch is reported with the byte read
  for (int pos : {0, 3, 21, 24}) {
    std::string bad("Vocaloid Motion Data 0002\0\0\0\0\0", 30);
    bad[size_t(pos)] = 'x';
    VmdWriter w;
    w.Header(bad).ModelName("M").Count(1).Bone(SjisName("センター"), 0);
    EXPECT_EQ(Read(w), 2) << pos;
    char text[64];
    std::snprintf(text, sizeof text, "Illegal file format at %06X=(78) \n", pos + 1);
    EXPECT_TRUE(DiagHas(text)) << Diag();
    EXPECT_EQ(BoneKeysTotal(), 0);
    EXPECT_STREQ(gSourceModel, "");
  }
  // files too short fail; the header alone is right
  for (size_t n : {0, 3, 24, 30}) {
    VmdWriter cut = Start();
    EXPECT_EQ(Read(cut.Cut(n)), n == 30 ? 0 : 2) << n;
  }
}

TEST_F(VmdTest, WidePathReadsTheSameFileAndMissingFilesFail) {
  VmdWriter w = Start();
  w.Count(1).Bone(SjisName("頭"), 7, 0, 0, 0, 0.1f, 0, 0, 0.995f).Count(0);
  const std::string path = VmdTempPath("wide.vmd");
  paths_.push_back(path);
  ASSERT_TRUE(w.Save(path));
  EXPECT_EQ(readvmdW(std::u16string(path.begin(), path.end()).c_str()), 0);  // ASCII path
  EXPECT_EQ(Bone("頭").firstframe, 7);
  EXPECT_TRUE(DiagHas("Reading from(W): " + path + " \n"));

  EXPECT_EQ(readvmdA("/nonexistent-dir/none.vmd"), -1);
  EXPECT_EQ(Bone("頭").keycount, 0);  // reset before opening
  EXPECT_EQ(readvmdW(u"/nonexistent-dir/none.vmd"), -1);
}

TEST_F(VmdTest, ModelNameLoneLeadByteIsCut) {
  const std::string a19(19, 'a'), a18(18, 'a'), pairs10(20, '\x82');
  const struct {
    std::string field, name;
    bool cut;
  } cases[] = {
      {a19 + "\x82", a19, true},                    // lone lead at the end
      {a18 + "\x82\xA0", a18 + "\x82\xA0", false},  // complete character: all 20
      {pairs10, pairs10, false},                    // ten complete 0x82 0x82
      {"a" + std::string(18, '\x82') + "\xE0", "a" + std::string(18, '\x82'), true},
      {std::string("AB\0CD", 5), "AB", false},      // NUL ends the name
  };
  for (const auto& c : cases) {
    VmdWriter w;
    w.Header().Field(c.field, 20).Count(0);
    EXPECT_EQ(Read(w), 0);
    EXPECT_EQ(std::string(gSourceModel), c.name);
    EXPECT_EQ(DiagHas("(>20 kanji-trancated) "), c.cut) << c.name;
  }
  // a name cut by the end of the file holds only the bytes read
  VmdWriter w = Start("ABCDEFGHIJKL");
  EXPECT_EQ(Read(w.Cut(30 + 5)), 0);
  EXPECT_STREQ(gSourceModel, "ABCDE");
}

TEST_F(VmdTest, BoneKeysCountFramesExtremesAndMoves) {
  const std::string center = SjisName("センター"), neck = SjisName("首");
  VmdWriter w = Start();
  w.Count(6)
      .Bone(center, 30, 1, 2, 2)                          // |pos| 3
      .Bone(center, -4, 0, 0, 0, 0.6f, 0, 0, -0.8f)       // w < 0: |xyz| 0.6
      .Bone(center, 12, 0.5f, 0, 0, 0, 0.28f, 0.96f, 0)   // |xyz| 1
      .Bone(neck, 999999, 0, 0, 0, 0, 0, 0, 1)
      .Bone(center, 5, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN)
      .Bone(center, 9, 0, 3, 0, 0, 0, 0, 1)               // |pos| 3 again, earlier frame
      .Count(0);
  EXPECT_EQ(Read(w), 0);
  const BoneTrack& c = Bone("センター");
  EXPECT_EQ(c.keycount, 5);
  EXPECT_EQ(c.firstframe, -4);
  EXPECT_EQ(c.lastframe, 30);
  EXPECT_EQ(c.moved, 0xFF);
  EXPECT_FLOAT_EQ(c.maxpos, 3.0f);
  EXPECT_FLOAT_EQ(c.maxrot, 1.0f);
  EXPECT_EQ(c.attwsplus, -1);  // not a twist bone
  EXPECT_EQ(c.atmaxpos, 9);    // of equal amounts, the smallest frame
  EXPECT_EQ(c.atmaxrot, 12);
  EXPECT_EQ(Bone("首").atmaxrot, -1);  // never turned
  // a frame equal to the start value changes neither bound's test
  EXPECT_EQ(Bone("首").firstframe, 999999);
  EXPECT_EQ(Bone("首").lastframe, 999999);

  // moving needs more than a hundredth in a position or rotation component
  const std::string head = SjisName("頭"), waist = SjisName("腰");
  VmdWriter m = Start();
  m.Count(4)
      .Bone(head, 0, 0, 0.009f, 0, 0, 0, 0.005f, 0.99998f)
      .Bone(head, 1, 0, -0.01f, 0, 0, -0.01f, 0, 0.99995f)
      .Bone(neck, 0, 0, 0, 0.0101f)
      .Bone(waist, 0, 0, 0, 0, 0, 0, -0.0101f, 0.99995f)
      .Count(0);
  EXPECT_EQ(Read(m), 0);
  EXPECT_EQ(Bone("頭").moved, 0);
  EXPECT_EQ(Bone("首").moved, 0xFF);
  EXPECT_EQ(Bone("腰").moved, 0xFF);
}

TEST_F(VmdTest, TwistBonesSplitByTheSignOfX) {
  const std::string lt = SjisName("左腕捩"), rh = SjisName("右手捩"), t1 = SjisName("左腕捩1");
  VmdWriter w = Start();
  w.Count(8)
      .Bone(lt, 10, 0, 0, 0, 0.3f, 0.4f, 0, 0.866f)    // plus 0.5
      .Bone(lt, 4, 0, 0, 0, 0.3f, 0.4f, 0, 0.866f)     // the same amount: earlier key kept
      .Bone(lt, 20, 0, 0, 0, 0.2f, 0, 0, 0.98f)        // plus, smaller
      .Bone(lt, 30, 0, 0, 0, -0.1f, 0, 0, 0.995f)      // minus 0.1
      .Bone(lt, 40, 0, 0, 0, 0.25f, 0, 0, -0.968f)     // w < 0: x negated -> minus 0.25
      .Bone(lt, 50, 0, 0, 0, kNaN, 0, 0, 1)            // NaN never replaces
      .Bone(rh, 8, 0, 0, 0, 0, 0.7f, 0, 0.714f)        // x = 0 counts as plus
      .Bone(t1, 2, 0, 0, 0, 0.5f, 0, 0, 0.866f)        // a name of its own, no twist bone
      .Count(0);
  EXPECT_EQ(Read(w), 0);
  const BoneTrack& t = Bone("左腕捩");
  EXPECT_EQ(t.keycount, 6);
  EXPECT_FLOAT_EQ(t.maxtwsplus, 0.5f);
  EXPECT_EQ(t.attwsplus, 10);
  EXPECT_FLOAT_EQ(t.maxtwsminus, 0.25f);
  EXPECT_EQ(t.attwsminus, 40);
  EXPECT_FLOAT_EQ(Bone("右手捩").maxtwsplus, 0.7f);
  EXPECT_EQ(Bone("右手捩").attwsminus, -1);
  EXPECT_EQ(Bone("左腕捩1").attwsplus, -1);
}

TEST_F(VmdTest, ArmAndElbowTwistAboutTheirOwnAxes) {
  VmdWriter w = Start();
  // a key of the bone, turning by deg about the axis (ax, ay, az)
  auto turn = [&](const char* bone, int frame, double ax, double ay, double az, double deg) {
    const double h = deg * M_PI / 360.0, s = std::sin(h) / std::sqrt(ax * ax + ay * ay + az * az);
    w.Bone(SjisName(bone), frame, 0, 0, 0, float(ax * s), float(ay * s), float(az * s),
           float(std::cos(h)));
  };
  w.Count(4);
  turn("左腕", 3, 0.819742024, -0.572733998, 0, 40);  // about its own axis
  turn("左腕", 9, 0.572733998, 0.819742024, 0, 60);   // about a perpendicular axis
  turn("右腕", 6, 0.819742024, 0.572733998, 0, -30);  // against its axis
  turn("左ひじ", 12, 0.759227991, -0.650820971, -0.00236674002, 90);
  EXPECT_EQ(Read(w.Count(0)), 0);
  const BoneTrack& l = Bone("左腕");
  EXPECT_NEAR(l.maxtwsplus, std::sin(20.0 * M_PI / 180.0), 1e-5);
  EXPECT_EQ(l.attwsplus, 3);
  EXPECT_LT(l.maxtwsminus, 1e-5f);  // the swing key has no twist to speak of
  EXPECT_NEAR(l.maxrot, std::sin(30.0 * M_PI / 180.0), 1e-5);  // the swing key
  EXPECT_NEAR(Bone("右腕").maxtwsminus, std::sin(15.0 * M_PI / 180.0), 1e-5);
  EXPECT_EQ(Bone("右腕").attwsplus, -1);
  EXPECT_NEAR(Bone("左ひじ").maxtwsplus, std::sqrt(0.5), 1e-5);
}

TEST_F(VmdTest, UnknownBonesJoinTheMotionsOwnGroup) {
  const int before = NameCount(1);
  const std::string name = "ZZ_extra_bone";  // 13 bytes
  const std::string longname = "ABCDEFGHIJKLMNOPQ";  // cut to 15 in the field
  VmdWriter w = Start();
  w.Count(4).Bone(name, 5).Bone(longname, 1).Bone(name, 2, 0, 1).Bone(name, 9).Count(0);
  EXPECT_EQ(Read(w), 0);
  EXPECT_EQ(NameCount(1), before + 2);
  ASSERT_EQ(BoneIndex(name), before + 1);
  EXPECT_EQ(GroupOfName(1, before + 1), 4);
  const BoneTrack& t = gBoneTracks[before + 1];
  EXPECT_EQ(t.keycount, 3);
  EXPECT_EQ(t.firstframe, 2);
  EXPECT_STREQ(NameAt(1, before + 2), "ABCDEFGHIJKLMNO");
}

// A bone or morph called '*', '?' or '？' is a name of its own: the bones and
// morphs after it keep their own tracks.
TEST_F(VmdTest, WildcardCharactersInMotionNamesAreJustNames) {
  const int before = NameCount(1);
  VmdWriter w = Start();
  w.Count(4).Bone("*", 1).Bone(SjisName("頭"), 2).Bone("?", 3).Bone("Q_unknown", 4);
  w.Count(2).Morph(SjisName("？"), 1, 0.5f).Morph(SjisName("まばたき"), 2, 1.0f).Count(0);
  EXPECT_EQ(Read(w), 0);
  EXPECT_EQ(NameCount(1), before + 3);
  EXPECT_EQ(Bone("*").keycount, 1);
  EXPECT_EQ(Bone("?").keycount, 1);
  EXPECT_EQ(Bone("Q_unknown").keycount, 1);
  EXPECT_EQ(Bone("頭").keycount, 1);
  EXPECT_LT(BoneIndex(SjisName("頭")), before);  // the built-in entry
  EXPECT_EQ(Morph("？").keycount, 1);
  EXPECT_EQ(Morph("まばたき").keycount, 1);
  EXPECT_NE(MorphIndex(SjisName("？")), MorphIndex(SjisName("まばたき")));
}

TEST_F(VmdTest, InterpolationMismatchesAreOnlyReported) {
  VmdBoneKey k;
  k.name = SjisName("頭");
  k.interp = LinearInterp();
  k.interp[16] = 0x01;
  k.interp[32] = 0x06;  // Zax itself: byte 17 no longer repeats it
  VmdWriter noisy = Start();
  EXPECT_EQ(Read(noisy.Count(1).Bone(k).Count(0)), 0);
  EXPECT_TRUE(DiagHas("  bz[16](=01)!=Yax(=14) \n")) << Diag();
  EXPECT_TRUE(DiagHas("  bz[17](=14)!=Zax(=06) \n"));
  EXPECT_EQ(Bone("頭").keycount, 1);
}

TEST_F(VmdTest, MorphKeysCountFramesAndWeights) {
  const std::string a = SjisName("あ"), extra = "ZZmorph";
  VmdWriter w = Start();
  w.Count(0).Count(6).Morph(a, 10, 0.5f).Morph(a, 3, 1.0f).Morph(a, 20, -0.25f);
  w.Morph(a, 15, kNaN).Morph(extra, 7, 0.0f).Morph(extra, 8, 0.0f);
  EXPECT_EQ(Read(w), 0);
  const MorphTrack& m = Morph("あ");
  EXPECT_EQ(m.keycount, 4);
  EXPECT_EQ(m.firstframe, 3);
  EXPECT_EQ(m.lastframe, 20);
  EXPECT_FLOAT_EQ(m.minval, -0.25f);
  EXPECT_FLOAT_EQ(m.maxval, 1.0f);
  const int e = MorphIndex(extra);
  ASSERT_GT(e, 0);
  EXPECT_EQ(GroupOfName(2, e), 3);
  EXPECT_EQ(gMorphTracks[e].keycount, 2);
  EXPECT_TRUE(DiagHas("  info: VMD ended with morph data. \n"));
}

TEST_F(VmdTest, TracksAreResetByEveryRead) {
  VmdWriter w = Start();
  EXPECT_EQ(Read(w.Count(1).Bone(SjisName("頭"), 3).Count(1).Morph(SjisName("あ"), 4, 1)), 0);
  gSectionCounts[4] = 77;
  VmdWriter empty = Start("");
  EXPECT_EQ(Read(empty.Count(0)), 0);
  EXPECT_EQ(BoneKeysTotal() + MorphKeysTotal() + gSectionCounts[4], 0);
  EXPECT_EQ(Bone("頭").lastframe, -1);
  EXPECT_FLOAT_EQ(Morph("あ").maxval, -999.9f);
}

TEST_F(VmdTest, NamesBeyondTheTrackTablesAreSkipped) {
  auto fill = [](int table, int upTo) {
    for (int i = NameCount(table); i < upTo; i++)
      ASSERT_GT(AddName(table, ("fill" + std::to_string(i)).c_str()), 0);
  };
  fill(1, kBoneTracks - 2);
  fill(2, kMorphTracks - 2);
  const std::string head = SjisName("頭"), a = SjisName("あ");
  VmdWriter w = Start();
  w.Count(5).Bone("ZZlast", 1).Bone("ZZbeyond", 2).Bone("ZZbeyond", 3).Bone(head, 4)
      .Bone("ZZlast", 5);
  w.Count(4).Morph("ZZlast", 1, 1).Morph("ZZbeyond", 2, 1).Morph(a, 3, 1).Morph("ZZbeyond", 4, 1);
  EXPECT_EQ(Read(w), 0);
  EXPECT_EQ(BoneIndex("ZZlast"), kBoneTracks - 1);
  EXPECT_EQ(BoneIndex("ZZbeyond"), kBoneTracks);
  EXPECT_EQ(gBoneTracks[kBoneTracks - 1].keycount, 2);
  EXPECT_EQ(Bone("頭").keycount, 1);
  EXPECT_EQ(BoneKeysTotal(), 3);
  EXPECT_EQ(MorphIndex("ZZbeyond"), kMorphTracks);
  EXPECT_EQ(gMorphTracks[kMorphTracks - 1].keycount, 1);
  EXPECT_EQ(MorphKeysTotal(), 2);

  // a full table gives no index: the key is dropped with a message
  fill(1, kNameMax);
  VmdWriter full = Start();
  full.Count(2).Bone("ZZnowhere", 1).Bone(head, 2).Count(0);
  EXPECT_EQ(Read(full), 0);
  EXPECT_TRUE(DiagHas("Cannot find (0): ZZnowhere \n"));
  EXPECT_EQ(BoneKeysTotal(), 1);
}

}  // namespace
