#include "vrma/expressions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "tests/support/vmdwriter.h"

namespace {

struct Morph {
  const char* name;  // UTF-8
  int frame;
  float weight;
};

std::vector<uint8_t> Motion(std::initializer_list<Morph> morphs, int bones = 1) {
  VmdWriter w;
  w.Header().ModelName(SjisName("モデル")).Count(bones);
  for (int i = 0; i < bones; i++) w.Bone(SjisName("センター"), i);
  w.Count(int32_t(morphs.size()));
  for (const Morph& m : morphs) w.Morph(SjisName(m.name), m.frame, m.weight);
  w.Count(0).Count(0).Count(0).Count(0);
  return w.bytes;
}

int Find(const VrmaAnimation& a, const char* name) {
  for (int e = 0; e < a.exprCount; e++)
    if (strcmp(a.exprName[e], name) == 0) return e;
  return -1;
}

float Weight(const VrmaAnimation& a, int frame, const char* name) {
  const int e = Find(a, name);
  EXPECT_GE(e, 0) << name;
  return e < 0 ? NAN : a.exprWeight[size_t(frame) * size_t(a.exprCount) + size_t(e)];
}

TEST(VrmaExpressions, TheUsualMorphsTakeTheirPresetsAndTheOthersStayCustom) {
  const auto m = Motion({{"あ", 0, 1}, {"い", 0, 1}, {"う", 0, 1}, {"え", 0, 1}, {"お", 0, 1},
                         {"まばたき", 0, 1}, {"ウィンク", 0, 1}, {"ウィンク右", 0, 1}, {"笑い", 0, 1},
                         {"怒り", 0, 1}, {"困る", 0, 1}, {"にこり", 0, 1}, {"びっくり", 0, 1},
                         // Near names keep their own.
                         {"ウィンク２", 0, 1}, {"ｳｨﾝｸ２右", 0, 1}, {"ウインク", 0, 1}, {"あ２", 0, 1}});
  auto a = std::make_unique<VrmaAnimation>();
  VrmaMorphKeys k;
  ASSERT_EQ(VrmaReadMorphs(m.data(), m.size(), a.get(), &k), kVrmaMorphsRead);
  const char* want[][2] = {{"aa", "1"}, {"ih", "1"}, {"ou", "1"}, {"ee", "1"}, {"oh", "1"}, {"blink", "1"},
                           {"blinkLeft", "1"}, {"blinkRight", "1"}, {"happy", "1"}, {"angry", "1"},
                           {"sad", "1"}, {"relaxed", "1"}, {"surprised", "1"}, {"ウィンク２", "0"},
                           {"ｳｨﾝｸ２右", "0"}, {"ウインク", "0"}, {"あ２", "0"}};
  ASSERT_EQ(a->exprCount, 17);
  for (int e = 0; e < 17; e++) {
    EXPECT_STREQ(a->exprName[e], want[e][0]);
    EXPECT_EQ(a->exprPreset[e], want[e][1][0] == '1') << want[e][0];
  }
  EXPECT_EQ(k.leftOut, 0);
  EXPECT_EQ(k.records, 17);
}

TEST(VrmaExpressions, TrailingSpacesAreTrimmedAndTheSameNameIsOneExpression) {
  // "あ " and "あ" are one expression; an ideographic space trims too.
  const auto m = Motion({{"あ ", 0, 0.2f}, {"あ", 10, 0.4f}, {"まばたき\xE3\x80\x80", 5, 1}, {"目 閉じ  ", 0, 1}});
  auto a = std::make_unique<VrmaAnimation>();
  VrmaMorphKeys k;
  ASSERT_EQ(VrmaReadMorphs(m.data(), m.size(), a.get(), &k), kVrmaMorphsRead);
  ASSERT_EQ(a->exprCount, 3);
  EXPECT_STREQ(a->exprName[0], "aa");
  EXPECT_STREQ(a->exprName[1], "blink");
  EXPECT_STREQ(a->exprName[2], "目 閉じ");
  EXPECT_EQ(k.start[1] - k.start[0], 2u);  // both keys of あ
  a->frames = 11;
  VrmaSampleExpressions(k, a.get());
  EXPECT_FLOAT_EQ(Weight(*a, 5, "aa"), 0.3f);
}

TEST(VrmaExpressions, AMorphUnderAPresetsNameOrNoNameIsLeftOut) {
  const auto m = Motion({{"blink", 0, 1}, {"lookUp", 0, 1}, {"neutral", 0, 1}, {"   ", 0, 1}, {"まばたき", 0, 1}});
  auto a = std::make_unique<VrmaAnimation>();
  VrmaMorphKeys k;
  ASSERT_EQ(VrmaReadMorphs(m.data(), m.size(), a.get(), &k), kVrmaMorphsRead);
  ASSERT_EQ(a->exprCount, 1);
  EXPECT_STREQ(a->exprName[0], "blink");
  EXPECT_TRUE(a->exprPreset[0]);
  EXPECT_EQ(k.frame.size(), 1u);  // the left-out morphs' keys are not kept
  ASSERT_EQ(k.leftOut, 4);
  EXPECT_STREQ(k.leftOutName[0], "blink");
  EXPECT_STREQ(k.leftOutName[1], "lookUp");
  EXPECT_STREQ(k.leftOutName[2], "neutral");
  EXPECT_STREQ(k.leftOutName[3], "");
}

TEST(VrmaExpressions, SampledPerFrameStraightBetweenKeysHeldAtTheEndsAndClamped) {
  // Out of order in the file; two keys at frame 20 (the later one stands);
  // weights past [0, 1].
  const auto m = Motion({{"あ", 20, 0.9f}, {"あ", 10, 0.0f}, {"あ", 30, 1.0f}, {"あ", 20, 0.5f},
                         {"怒り", 0, -0.5f}, {"怒り", 4, 1.5f}});
  auto a = std::make_unique<VrmaAnimation>();
  VrmaMorphKeys k;
  ASSERT_EQ(VrmaReadMorphs(m.data(), m.size(), a.get(), &k), kVrmaMorphsRead);
  EXPECT_EQ(k.lastFrame, 30);
  a->frames = 41;
  VrmaSampleExpressions(k, a.get());
  ASSERT_EQ(a->exprWeight.size(), 41u * 2);
  EXPECT_FLOAT_EQ(Weight(*a, 0, "aa"), 0.0f);    // held before the first key
  EXPECT_FLOAT_EQ(Weight(*a, 15, "aa"), 0.25f);  // 0 -> 0.5 from 10 to 20
  EXPECT_FLOAT_EQ(Weight(*a, 20, "aa"), 0.5f);
  EXPECT_FLOAT_EQ(Weight(*a, 25, "aa"), 0.75f);
  EXPECT_FLOAT_EQ(Weight(*a, 40, "aa"), 1.0f);   // held after the last
  EXPECT_FLOAT_EQ(Weight(*a, 0, "angry"), 0.0f);   // -0.5 clamped
  EXPECT_FLOAT_EQ(Weight(*a, 1, "angry"), 0.0f);   // -0.5 + 2/4 = 0
  EXPECT_FLOAT_EQ(Weight(*a, 2, "angry"), 0.5f);
  EXPECT_FLOAT_EQ(Weight(*a, 3, "angry"), 1.0f);   // 1.0
  EXPECT_FLOAT_EQ(Weight(*a, 4, "angry"), 1.0f);   // 1.5 clamped
  for (float w : a->exprWeight) EXPECT_TRUE(w >= 0.0f && w <= 1.0f);
}

TEST(VrmaExpressions, AMotionWithoutMorphsHasNoExpression) {
  VmdWriter w;
  w.Header().ModelName("m").Count(1).Bone(SjisName("頭"), 3);  // ends after the bone keys
  auto a = std::make_unique<VrmaAnimation>();
  VrmaMorphKeys k;
  ASSERT_EQ(VrmaReadMorphs(w.bytes.data(), w.Size(), a.get(), &k), kVrmaMorphsRead);
  EXPECT_EQ(a->exprCount, 0);
  EXPECT_EQ(k.lastFrame, -1);
  a->frames = 4;
  VrmaSampleExpressions(k, a.get());
  EXPECT_TRUE(a->exprWeight.empty());
}

TEST(VrmaExpressions, AMotionCutInsideItsKeysIsTold) {
  auto a = std::make_unique<VrmaAnimation>();
  VrmaMorphKeys k;
  auto m = Motion({{"あ", 0, 1}, {"い", 1, 1}}, 3);
  // Inside the second morph record.
  std::vector<uint8_t> cut(m.begin(), m.end() - 16 - 10);
  ASSERT_EQ(VrmaReadMorphs(cut.data(), cut.size(), a.get(), &k), kVrmaMorphsCut);
  EXPECT_EQ(k.cutSection, 2);
  EXPECT_EQ(k.cutDeclared, 2);
  EXPECT_EQ(k.cutPresent, 1);
  // Inside the bone keys.
  cut.assign(m.begin(), m.begin() + 54 + 111 * 2 + 50);
  ASSERT_EQ(VrmaReadMorphs(cut.data(), cut.size(), a.get(), &k), kVrmaMorphsCut);
  EXPECT_EQ(k.cutSection, 1);
  EXPECT_EQ(k.cutDeclared, 3);
  EXPECT_EQ(k.cutPresent, 2);
  // Not a motion.
  m[0] = 'X';
  EXPECT_EQ(VrmaReadMorphs(m.data(), m.size(), a.get(), &k), kVrmaMorphsNotMotion);
}

TEST(VrmaExpressions, NoMoreExpressionsThanTheTableHolds) {
  VmdWriter w;
  w.Header().ModelName("m").Count(0).Count(VRMA_EXPR_MAX + 5);
  for (int i = 0; i < VRMA_EXPR_MAX + 5; i++) w.Morph("m" + std::to_string(i), i, 1);
  w.Count(0).Count(0).Count(0).Count(0);
  auto a = std::make_unique<VrmaAnimation>();
  VrmaMorphKeys k;
  ASSERT_EQ(VrmaReadMorphs(w.bytes.data(), w.Size(), a.get(), &k), kVrmaMorphsRead);
  EXPECT_EQ(a->exprCount, VRMA_EXPR_MAX);
  EXPECT_EQ(k.leftOut, 5);
  EXPECT_STREQ(k.leftOutName[0], ("m" + std::to_string(VRMA_EXPR_MAX)).c_str());
  EXPECT_EQ(k.lastFrame, VRMA_EXPR_MAX - 1);  // the left-out morphs' keys do not count
}

}  // namespace
