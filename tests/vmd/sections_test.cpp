#include "vmd/sections.h"

#include <gtest/gtest.h>

#include "tests/support/vmdwriter.h"

namespace {

int Find(const VmdWriter& w, VmdSections* s) { return VmdFindSections(w.bytes.data(), w.Size(), s); }

TEST(VmdSections, WholeSectionsAreFound) {
  VmdWriter w;
  w.Header().ModelName("m").Count(2).Bone("a", 0).Bone("b", 1).Count(1).Morph("x", 3, 1).Count(0);
  VmdSections s;
  ASSERT_EQ(Find(w, &s), kVmdSectionsWhole);
  EXPECT_EQ(s.bones, w.bytes.data() + 54);
  EXPECT_EQ(s.boneCount, 2);
  EXPECT_EQ(s.morphs, w.bytes.data() + 54 + 2 * kVmdBoneRecord + 4);
  EXPECT_EQ(s.morphCount, 1);
  // Ending after the bone keys, or before the bone count: no more sections.
  w.Cut(54 + 2 * kVmdBoneRecord);
  ASSERT_EQ(Find(w, &s), kVmdSectionsWhole);
  EXPECT_EQ(s.boneCount, 2);
  EXPECT_EQ(s.morphs, nullptr);
  w.Cut(52);
  ASSERT_EQ(Find(w, &s), kVmdSectionsWhole);
  EXPECT_EQ(s.bones, nullptr);
}

TEST(VmdSections, ACutOrANegativeCountIsTold) {
  VmdWriter w;
  w.Header().ModelName("m").Count(3).Bone("a", 0).Bone("b", 1).Bone("c", 2).Count(2).Morph("x", 3, 1).Morph("y", 4, 1);
  const VmdWriter whole = w;
  VmdSections s;
  w.Cut(54 + 2 * kVmdBoneRecord + 5);
  ASSERT_EQ(Find(w, &s), kVmdSectionsCut);
  EXPECT_EQ(s.cutSection, 1);
  EXPECT_EQ(s.cutDeclared, 3);
  EXPECT_EQ(s.cutPresent, 2);
  w = whole;
  w.Cut(54 + 3 * kVmdBoneRecord + 2);  // inside the morph count
  ASSERT_EQ(Find(w, &s), kVmdSectionsCut);
  EXPECT_EQ(s.cutSection, 2);
  w = whole;
  w.Cut(w.Size() - 1);
  ASSERT_EQ(Find(w, &s), kVmdSectionsCut);
  EXPECT_EQ(s.cutSection, 2);
  EXPECT_EQ(s.cutDeclared, 2);
  EXPECT_EQ(s.cutPresent, 1);
  // A negative count places nothing after it, as the reader says.
  VmdWriter negative;
  negative.Header().ModelName("m").Count(-5).Count(0);
  ASSERT_EQ(Find(negative, &s), kVmdSectionsCut);
  EXPECT_EQ(s.cutSection, 1);
  EXPECT_EQ(s.cutDeclared, -5);
  EXPECT_EQ(s.cutPresent, 0);
  negative = VmdWriter();
  negative.Header().ModelName("m").Count(1).Bone("a", 0).Count(-1);
  ASSERT_EQ(Find(negative, &s), kVmdSectionsCut);
  EXPECT_EQ(s.cutSection, 2);
  VmdWriter text;
  text.Raw("Vocaloid Motion Data file", 25);
  EXPECT_EQ(Find(text, &s), kVmdSectionsNotMotion);
}

}  // namespace
