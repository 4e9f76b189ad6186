#include "names/alias.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/runenv.h"
#include "base/textfile.h"
#include "names/nametable.h"
#include "platform/headless/headless.h"
#include "tests/names/sjis_literal.h"
#include "tests/support/tempdir.h"

namespace {

class AliasTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.Ok());
    HeadlessReset();  // code page 65001, the start state of the platform
    ResetNameTables();
    tfreset();
    ResetRunEnv();
    aliasFoundA = aliasFoundW = 0;
  }

  // Writes alias.ini with exactly these bytes and reads it by narrow path.
  int Read(const std::string& bytes) {
    ResetNameTables();
    std::string path = dir_.Write("alias.ini", bytes);
    EXPECT_FALSE(path.empty());
    return ReadAliasFile(path.c_str(), u"", 0);
  }
  // Names and expectations are written in UTF-8, rendered in Shift-JIS.
  static std::string Bone(const char* utf8) {
    char out[kAliasRenderMax];
    EXPECT_EQ(AliasRenderBone(out, Sj(utf8).c_str()), 0);
    return out;
  }
  static std::string Morph(const char* utf8) {
    char out[kAliasRenderMax];
    EXPECT_EQ(AliasRenderMorph(out, Sj(utf8).c_str()), 0);
    return out;
  }
  void PointExeDirAt(const std::string& dirA, const std::string& dirW) {
    snprintf(gRun.exeDirA, sizeof gRun.exeDirA, "%s", dirA.c_str());
    std::u16string w = Utf8ToUtf16(dirW);
    ASSERT_LT(w.size(), static_cast<size_t>(kPathMax));
    memcpy(gRun.exeDirW, w.c_str(), (w.size() + 1) * sizeof(char16_t));
  }

  TempDir dir_;
};

TEST_F(AliasTest, PiecesAreReplacedWhereverTheyOccur) {
  // The same entries in a UTF-8 file and in a Shift-JIS file.
  for (const std::string& text : {std::string("左 Left\n腕 Arm\n"), Sj("左 Left\r\n腕 Arm\r\n")}) {
    ASSERT_EQ(Read(text), 0);
    ASSERT_EQ(NameCount(0), 2);
    EXPECT_EQ(Bone("左腕"), "LeftArm");
    EXPECT_EQ(Bone("右腕"), Sj("右Arm"));
    EXPECT_EQ(Bone("左腕左"), "LeftArmLeft");
    EXPECT_EQ(Bone("首"), Sj("首"));
    EXPECT_EQ(AliasReplacement(0, 1), std::string("Left"));
    EXPECT_EQ(AliasModeOf(0, 1), 0);
    // Bone entries do not touch morph names.
    EXPECT_EQ(Morph("左腕"), Sj("左腕"));
  }
}

TEST_F(AliasTest, WholeNameAndTailEntries) {
  ASSERT_EQ(Read("\"センター\"F Center\n"), 0);
  EXPECT_EQ(AliasModeOf(0, 1), 0xFF);
  EXPECT_EQ(Bone("センター"), "Center");
  EXPECT_EQ(Bone("センター先"), Sj("センター先"));
  EXPECT_EQ(Bone("左センター"), Sj("左センター"));

  ASSERT_EQ(Read("\"先\"L Tip\n"), 0);
  EXPECT_EQ(AliasModeOf(0, 1), 1);
  EXPECT_EQ(Bone("左手先"), Sj("左手Tip"));
  EXPECT_EQ(Bone("先"), "Tip");
  EXPECT_EQ(Bone("先端"), Sj("先端"));

  // F then L: L wins. Suffix letters count only right after a quoted pattern.
  ASSERT_EQ(Read("\"a\"FL A\nbF B\n"), 0);
  EXPECT_EQ(AliasModeOf(0, 1), 1);
  EXPECT_EQ(AliasModeOf(0, 2), 0);
  EXPECT_STREQ(NameAt(0, 2), "bF");
}

TEST_F(AliasTest, WildcardsAndTheNewestEntry) {
  ASSERT_EQ(Read("左髪* HairL\nA? Q\nZ* S\n"), 0);
  // '*' (whole rule) replaces everything from the fixed part on, but needs at
  // least one more byte.
  EXPECT_EQ(Bone("左髪1"), "HairL");
  EXPECT_EQ(Bone("前左髪12"), Sj("前HairL"));
  EXPECT_EQ(Bone("左髪"), Sj("左髪"));
  // '?' (head rule) takes one byte and the rest of the name goes on.
  EXPECT_EQ(Bone("ABC"), "QC");
  EXPECT_EQ(Bone("A"), "A");
  // In the head rule '*' is an ordinary byte: "Z" alone stays.
  EXPECT_EQ(Bone("Z"), "Z");
  EXPECT_EQ(Bone("xZy"), "xS");

  // Of two entries with the same pattern the later one decides.
  ASSERT_EQ(Read("a X\na Y\n"), 0);
  EXPECT_EQ(Bone("a"), "Y");
  ASSERT_EQ(Read("ab LONG\na S\n"), 0);
  EXPECT_EQ(Bone("ab"), "Sb");
}

TEST_F(AliasTest, SectionsCommentsLineEndsAndBlanks) {
  ASSERT_EQ(Read("x BoneX\n-Morphs\nx MorphX\n  // a comment with two tokens\n-bone\ny BoneY\n"
                 "\t-MORPH whatever follows\ny MorphY\n"),
            0);
  EXPECT_EQ(NameCount(0), 2);
  EXPECT_EQ(NameCount(3), 2);
  EXPECT_EQ(Bone("xy"), "BoneXBoneY");
  EXPECT_EQ(Morph("xy"), "MorphXMorphY");

  ASSERT_EQ(Read("a A\rb B\x1a  c C\r\n\r\n\x1a\n\t d D   \n  \n"), 0);
  EXPECT_EQ(NameCount(0), 4);
  EXPECT_EQ(Bone("abcd"), "ABCD");

  // A UTF-8 file may begin with a byte order mark.
  ASSERT_EQ(Read("\xEF\xBB\xBF-Morph\nまばたき Blink\n"), 0);
  EXPECT_EQ(NameCount(0), 0);
  EXPECT_EQ(Morph("まばたき"), "Blink");
}

TEST_F(AliasTest, FaultyLinesAreSkipped) {
  ASSERT_EQ(Read("abc def\n\"unclosed def\n\"\" empty\n\"nopair\"\n\"p\" \"unclosed\n"
                 "\"q\"   \"quoted repl\" trailing junk\nlast tok"),
            0);
  ASSERT_EQ(NameCount(0), 3);
  const char* const entries[][2] = {{"abc", "def"}, {"q", "quoted repl"}, {"last", "tok"}};
  for (int e = 1; e <= 3; e++) {
    EXPECT_STREQ(NameAt(0, e), entries[e - 1][0]);
    EXPECT_STREQ(AliasReplacement(0, e), entries[e - 1][1]);
  }
}

TEST_F(AliasTest, ReplacementsAreCutToFifteenBytes) {
  ASSERT_EQ(Read("a ABCDEFGHIJKLMNOPQRST\nb あいうえおかきく\n"), 0);
  EXPECT_STREQ(AliasReplacement(0, 1), "ABCDEFGHIJKLMNO");
  // Sixteen bytes of double-byte characters: the eighth does not fit whole.
  EXPECT_EQ(AliasReplacement(0, 2), Sj("あいうえおかき"));
}

TEST_F(AliasTest, LoadFindsTheFileBesideTheExecutable) {
  // No file: alias mode off.
  EXPECT_EQ(ReadAliasFile(dir_.Path("alias.ini").c_str(), u"", 0), -1);
  EXPECT_EQ(ReadAliasFile("", dir_.PathW("alias.ini").c_str(), 1), -1);
  PointExeDirAt(dir_.Root() + "/", dir_.Root() + "/");
  LoadAliasFile();
  EXPECT_FALSE(AliasMode());

  // An empty file is enough for alias mode; names stay as they are.
  dir_.Write("alias.ini", "");
  LoadAliasFile();
  EXPECT_TRUE(AliasMode());
  EXPECT_EQ(aliasFoundA, 0xFF);
  EXPECT_EQ(aliasFoundW, 0);
  EXPECT_EQ(NameCount(0) + NameCount(3), 0);
  EXPECT_EQ(Bone("左腕"), Sj("左腕"));

  // Through the UTF-16 path when the narrow one fails.
  dir_.Write("alias.ini", "l L\n-Morph\nm M\n");
  PointExeDirAt("/nonexistent-tarvel-dir/", dir_.Root() + "/");
  LoadAliasFile();
  EXPECT_EQ(aliasFoundA, 0);
  EXPECT_EQ(aliasFoundW, 0xFF);
  EXPECT_EQ(Bone("l"), "L");
  EXPECT_EQ(Morph("m"), "M");

  // A directory too long for the path buffer is not cut into another path.
  std::string longDir(kPathMax - 5, 'd');
  PointExeDirAt(longDir, longDir);
  LoadAliasFile();
  EXPECT_FALSE(AliasMode());
}

TEST_F(AliasTest, LimitsOfTheTablesAndTheOutput) {
  // A pattern longer than a table entry is dropped; reading goes on.
  ASSERT_EQ(Read(std::string(64, 'p') + " LONG\n" + std::string(63, 'p') + " FIT\n"), 0);
  ASSERT_EQ(NameCount(0), 1);
  EXPECT_STREQ(AliasReplacement(0, 1), "FIT");

  // 8191 entries per section have a replacement slot; the rest are dropped.
  std::string text;
  for (int i = 1; i <= 8200; ++i) text += "p" + std::to_string(i) + " r" + std::to_string(i) + "\n";
  text += "-Morph\nm M\n";
  ASSERT_EQ(Read(text), 0);
  EXPECT_EQ(NameCount(0), 8191);
  EXPECT_EQ(NameCount(3), 1);
  EXPECT_STREQ(AliasReplacement(0, 8191), "r8191");
  EXPECT_EQ(Bone("p8191"), "r8191");
  EXPECT_EQ(Morph("m"), "M");

  // A rendering longer than the destination is cut between characters and
  // terminated; nothing beyond the 520 bytes is written.
  ASSERT_EQ(Read("a あいうえおかき\n"), 0);  // 14 bytes for each 'a'
  char out[kAliasRenderMax + 64];
  memset(out, 0x55, sizeof out);
  std::string name(63, 'a');
  EXPECT_EQ(AliasRenderBone(out, name.c_str()), 0);
  std::string want;
  for (int i = 0; i < 37; ++i) want += Sj("あいうえおかき");
  EXPECT_EQ(std::string(out), want);
  for (size_t i = kAliasRenderMax; i < sizeof out; ++i) ASSERT_EQ(out[i], 0x55);
}

}  // namespace
