#include "vrma/vrma_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "tests/vrma_file/synthetic.h"
#include "vrma/gltf.h"

namespace {

// The file read back by the glTF library's own parser.
bool Load(const std::vector<unsigned char>& glb, tinygltf::Model* m) {
  tinygltf::TinyGLTF loader;
  std::string err, warn;
  const bool ok = loader.LoadBinaryFromMemory(m, &err, &warn, glb.data(), unsigned(glb.size()));
  EXPECT_EQ(err, "");
  EXPECT_EQ(warn, "");
  return ok;
}

const float* Floats(const tinygltf::Model& m, int accessor) {
  const tinygltf::Accessor& a = m.accessors[size_t(accessor)];
  const tinygltf::BufferView& v = m.bufferViews[size_t(a.bufferView)];
  return reinterpret_cast<const float*>(m.buffers[size_t(v.buffer)].data.data() + v.byteOffset + a.byteOffset);
}

const tinygltf::Value& Member(const tinygltf::Value& v, const char* key) { return v.Get(key); }

int WriteSynthetic(int frames, std::vector<unsigned char>* glb, VrmaFileFacts* facts,
                   std::unique_ptr<VrmaAnimation>* keep = nullptr) {
  auto a = SyntheticAnimation(frames);
  const int status = WriteVrma(SyntheticSkeleton(), *a, glb, facts);
  if (keep) *keep = std::move(a);
  return status;
}

TEST(VrmaFile, TheHumanoidIsTheTPoseWithEveryBoneMapped) {
  std::vector<unsigned char> glb;
  VrmaFileFacts facts;
  ASSERT_EQ(WriteSynthetic(31, &glb, &facts), kVrmaWritten);
  EXPECT_EQ(facts.bytes, glb.size());
  EXPECT_EQ(memcmp(glb.data(), "glTF", 4), 0);
  tinygltf::Model m;
  ASSERT_TRUE(Load(glb, &m));
  EXPECT_EQ(m.asset.version, "2.0");
  ASSERT_EQ(m.extensionsUsed, std::vector<std::string>{"VRMC_vrm_animation"});
  EXPECT_TRUE(m.extensionsRequired.empty());
  const tinygltf::Value& ext = m.extensions.at("VRMC_vrm_animation");
  EXPECT_EQ(Member(ext, "specVersion").Get<std::string>(), "1.0");
  const tinygltf::Value& bones = Member(Member(ext, "humanoid"), "humanBones");
  ASSERT_EQ(bones.Keys().size(), size_t(HB_COUNT));
  const VrmaSkeleton skel = SyntheticSkeleton();
  for (int b = 0; b < HB_COUNT; b++) {
    const int node = Member(Member(bones, kHumanBoneName[b]), "node").GetNumberAsInt();
    const tinygltf::Node& n = m.nodes[size_t(node)];
    EXPECT_EQ(n.name, kHumanBoneName[b]);
    ASSERT_EQ(n.translation.size(), 3u);
    for (int k = 0; k < 3; k++) EXPECT_EQ(float(n.translation[size_t(k)]), skel.restLocal[b][k]);
    EXPECT_TRUE(n.rotation.empty());
    EXPECT_TRUE(n.scale.empty());
    EXPECT_TRUE(n.matrix.empty());
    // The node's children are exactly the bones whose parent it is.
    for (int c : n.children) {
      const tinygltf::Node& child = m.nodes[size_t(c)];
      bool found = false;
      for (int k = 0; k < HB_COUNT; k++)
        if (child.name == kHumanBoneName[k]) found = kHumanBoneParent[k] == b;
      EXPECT_TRUE(found) << child.name << " under " << n.name;
    }
  }
  ASSERT_EQ(m.scenes.size(), 1u);
  EXPECT_EQ(m.nodes[size_t(m.scenes[0].nodes[0])].name, "hips");
}

TEST(VrmaFile, OneKeyPerFrameLinearRotationsAndTheHipsOnly) {
  std::vector<unsigned char> glb;
  VrmaFileFacts facts;
  std::unique_ptr<VrmaAnimation> a;
  const int frames = 91;
  ASSERT_EQ(WriteSynthetic(frames, &glb, &facts, &a), kVrmaWritten);
  tinygltf::Model m;
  ASSERT_TRUE(Load(glb, &m));
  ASSERT_EQ(m.animations.size(), 1u);
  const tinygltf::Animation& anim = m.animations[0];
  // The hips' translation, the two arm bones that turn (every other bone
  // stays at rest), the two expressions.
  EXPECT_EQ(facts.rotationChannels, 2);
  EXPECT_TRUE(facts.boneChannel[HB_leftUpperArm] && facts.boneChannel[HB_leftLowerArm]);
  EXPECT_EQ(facts.expressionChannels, 2);
  ASSERT_EQ(anim.channels.size(), 5u);
  int hipsMoves = 0, rotations = 0, weights = 0;
  for (const tinygltf::AnimationChannel& c : anim.channels) {
    const tinygltf::AnimationSampler& s = anim.samplers[size_t(c.sampler)];
    EXPECT_EQ(s.interpolation, "LINEAR");
    const tinygltf::Accessor& in = m.accessors[size_t(s.input)];
    ASSERT_EQ(in.count, size_t(frames));
    ASSERT_EQ(in.minValues.size(), 1u);
    ASSERT_EQ(in.maxValues.size(), 1u);
    EXPECT_EQ(in.minValues[0], 0.0);
    EXPECT_FLOAT_EQ(float(in.maxValues[0]), float(frames - 1) / 30.0f);
    const float* t = Floats(m, s.input);
    for (int f = 0; f < frames; f++) EXPECT_FLOAT_EQ(t[f], float(f) / 30.0f);
    EXPECT_EQ(float(in.maxValues[0]), t[frames - 1]);
    const float* v = Floats(m, s.output);
    EXPECT_EQ(m.accessors[size_t(s.output)].count, size_t(frames));
    ASSERT_NE(c.target_path, "scale");
    if (c.target_path == "translation") {
      if (c.target_node == HB_hips) {
        hipsMoves++;
        for (int f = 0; f < frames * 3; f++) EXPECT_EQ(v[f], a->hips[size_t(f)]);
        continue;
      }
      ASSERT_GE(c.target_node, HB_COUNT) << "a translation on a bone other than the hips";
      const int e = c.target_node - HB_COUNT;
      weights++;
      for (int f = 0; f < frames; f++) {
        EXPECT_EQ(v[f * 3], a->exprWeight[size_t(f * 2 + e)]);
        EXPECT_EQ(v[f * 3 + 1], 0.0f);
        EXPECT_EQ(v[f * 3 + 2], 0.0f);
      }
    } else {
      ASSERT_EQ(c.target_path, "rotation");
      ASSERT_LT(c.target_node, HB_COUNT);
      rotations++;
      for (int f = 0; f < frames; f++) {
        const float* q = v + f * 4;
        EXPECT_NEAR(std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]), 1.0, 1e-6);
        const float* want = &a->rotation[(size_t(f) * HB_COUNT + size_t(c.target_node)) * 4];
        for (int k = 0; k < 4; k++) EXPECT_NEAR(q[k], want[k], 1e-6);
      }
    }
  }
  EXPECT_EQ(hipsMoves, 1);
  EXPECT_EQ(rotations, 2);
  EXPECT_EQ(weights, 2);
}

TEST(VrmaFile, ExpressionsArePresetOrCustomNodesWithoutRotation) {
  std::vector<unsigned char> glb;
  ASSERT_EQ(WriteSynthetic(10, &glb, nullptr), kVrmaWritten);
  tinygltf::Model m;
  ASSERT_TRUE(Load(glb, &m));
  const tinygltf::Value& ex = Member(m.extensions.at("VRMC_vrm_animation"), "expressions");
  const int aa = Member(Member(Member(ex, "preset"), "aa"), "node").GetNumberAsInt();
  const int wink = Member(Member(Member(ex, "custom"), "ウィンク２"), "node").GetNumberAsInt();
  EXPECT_EQ(m.nodes[size_t(aa)].name, "aa");
  EXPECT_EQ(m.nodes[size_t(wink)].name, "ウィンク２");
  for (int n : {aa, wink}) {
    EXPECT_EQ(m.nodes[size_t(n)].translation, (std::vector<double>{0, 0, 0}));
    EXPECT_TRUE(m.nodes[size_t(n)].rotation.empty());
    // A root of the scene, beside the hips.
    EXPECT_NE(std::find(m.scenes[0].nodes.begin(), m.scenes[0].nodes.end(), n), m.scenes[0].nodes.end());
  }
}

TEST(VrmaFile, RotationsAreMadeUnitAndKeptOnOneSideOfTheSphere) {
  auto a = SyntheticAnimation(4);
  // A key twice as long, and one on the far side: the same turns.
  float* q1 = &a->rotation[(1 * HB_COUNT + HB_head) * 4];
  q1[1] = 0.6f, q1[3] = 1.6f;
  float* q2 = &a->rotation[(2 * HB_COUNT + HB_head) * 4];
  q2[1] = -0.3f, q2[3] = -0.8f;
  std::vector<unsigned char> glb;
  VrmaFileFacts facts;
  ASSERT_EQ(WriteVrma(SyntheticSkeleton(), *a, &glb, &facts), kVrmaWritten);
  ASSERT_TRUE(facts.boneChannel[HB_head]);
  tinygltf::Model m;
  ASSERT_TRUE(Load(glb, &m));
  for (const tinygltf::AnimationChannel& c : m.animations[0].channels) {
    if (c.target_node != HB_head) continue;
    const float* v = Floats(m, m.animations[0].samplers[size_t(c.sampler)].output);
    const double len1 = std::hypot(0.6, 1.6), len2 = std::hypot(0.3, 0.8);
    EXPECT_NEAR(v[4 + 1], 0.6 / len1, 1e-6);
    EXPECT_NEAR(v[4 + 3], 1.6 / len1, 1e-6);
    EXPECT_NEAR(v[8 + 1], 0.3 / len2, 1e-6);
    EXPECT_NEAR(v[8 + 3], 0.8 / len2, 1e-6);
    for (int f = 1; f < 4; f++) {
      double dot = 0;
      for (int k = 0; k < 4; k++) dot += double(v[f * 4 + k]) * v[(f - 1) * 4 + k];
      EXPECT_GE(dot, 0.0) << f;
    }
  }
}

TEST(VrmaFile, WeightsAreClampedAndAWeightThatStaysZeroHasNoChannel) {
  auto a = SyntheticAnimation(3);
  for (int f = 0; f < 3; f++) a->exprWeight[size_t(f) * 2 + 1] = 0.0f;
  a->exprWeight[0] = 1.5f;
  a->exprWeight[2] = -0.25f;
  a->exprWeight[4] = NAN;
  std::vector<unsigned char> glb;
  VrmaFileFacts facts;
  ASSERT_EQ(WriteVrma(SyntheticSkeleton(), *a, &glb, &facts), kVrmaWritten);
  EXPECT_EQ(facts.expressionChannels, 1);
  tinygltf::Model m;
  ASSERT_TRUE(Load(glb, &m));
  int seen = 0;
  for (const tinygltf::AnimationChannel& c : m.animations[0].channels) {
    if (c.target_node < HB_COUNT) continue;
    seen++;
    EXPECT_EQ(m.nodes[size_t(c.target_node)].name, "aa");
    const float* v = Floats(m, m.animations[0].samplers[size_t(c.sampler)].output);
    EXPECT_EQ(v[0], 1.0f);
    EXPECT_EQ(v[3], 0.0f);
    EXPECT_EQ(v[6], 0.0f);
  }
  EXPECT_EQ(seen, 1);
}

TEST(VrmaFile, OneFrameMakesAnAnimationOfOneKey) {
  std::vector<unsigned char> glb;
  ASSERT_EQ(WriteSynthetic(1, &glb, nullptr), kVrmaWritten);
  tinygltf::Model m;
  ASSERT_TRUE(Load(glb, &m));
  ASSERT_FALSE(m.animations[0].channels.empty());
  const tinygltf::Accessor& in = m.accessors[size_t(m.animations[0].samplers[0].input)];
  EXPECT_EQ(in.count, 1u);
  EXPECT_EQ(in.maxValues[0], 0.0);
}

TEST(VrmaFile, RefusesWhatWouldMakeAnInvalidFile) {
  const VrmaSkeleton skel = SyntheticSkeleton();
  std::vector<unsigned char> glb{1, 2, 3};
  auto a = SyntheticAnimation(0);
  EXPECT_EQ(WriteVrma(skel, *a, &glb, nullptr), kVrmaNoFrames);
  EXPECT_TRUE(glb.empty());

  a = SyntheticAnimation(5);
  a->hips.pop_back();
  EXPECT_EQ(WriteVrma(skel, *a, &glb, nullptr), kVrmaBadData);
  a = SyntheticAnimation(5);
  float* q = &a->rotation[(2 * HB_COUNT + HB_neck) * 4];
  q[3] = 0;
  EXPECT_EQ(WriteVrma(skel, *a, &glb, nullptr), kVrmaBadData);
  a = SyntheticAnimation(5);
  a->hips[4] = INFINITY;
  EXPECT_EQ(WriteVrma(skel, *a, &glb, nullptr), kVrmaBadData);

  // Names: a custom expression under a preset's name, a gaze preset, the
  // same name twice, bytes that are not UTF-8, no name.
  const char* custom[] = {"happy", "neutral", "lookUp", "aa", "\xE3\x81", ""};
  for (const char* name : custom) {
    a = SyntheticAnimation(5);
    snprintf(a->exprName[1], VRMA_EXPR_NAME, "%s", name);
    EXPECT_EQ(WriteVrma(skel, *a, &glb, nullptr), kVrmaBadName) << name;
  }
  a = SyntheticAnimation(5);
  snprintf(a->exprName[0], VRMA_EXPR_NAME, "lookLeft");
  EXPECT_EQ(WriteVrma(skel, *a, &glb, nullptr), kVrmaBadName);
  EXPECT_TRUE(glb.empty());
  EXPECT_STRNE(VrmaWriteStatusText(kVrmaBadName), VrmaWriteStatusText(kVrmaBadData));
}

TEST(VrmaFile, TheSizeBoundHoldsAndTenHoursOfBonesFit) {
  for (int frames : {1, 30, 900}) {
    std::vector<unsigned char> glb;
    VrmaFileFacts facts;
    ASSERT_EQ(WriteSynthetic(frames, &glb, &facts), kVrmaWritten);
    EXPECT_LE(glb.size(), VrmaBytesBound(frames, HB_COUNT, 2));
  }
  EXPECT_LE(VrmaBytesBound(1080001, HB_COUNT, 16), kVrmaMaxBytes);
  EXPECT_GT(VrmaBytesBound(1080001, HB_COUNT, VRMA_EXPR_MAX), kVrmaMaxBytes);
}

}  // namespace
