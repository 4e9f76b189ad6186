// Real motions, checked against a small, separate walk over the same bytes.
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>

#include "tests/vmd/vmd_fixture.h"

namespace {

struct Key {
  std::string name;
  int32_t frame;
  float v[7];  // bones: position x y z, rotation x y z w; morphs: weight
};

struct Walk {
  bool headerOk = false, complete = false;  // complete: every section whole, nothing after
  std::string model;
  int32_t counts[6] = {};
  std::vector<Key> bones, morphs;
};

// Walks a well-formed file; stops quietly at anything unexpected.
Walk WalkFile(const std::string& d) {
  auto i32 = [&](size_t o) {
    int32_t v;
    std::memcpy(&v, &d[o], 4);
    return v;
  };
  auto f32 = [&](size_t o) {
    float v;
    std::memcpy(&v, &d[o], 4);
    return v;
  };
  auto text = [&](size_t o, size_t n) { return d.substr(o, n).substr(0, d.find('\0', o) - o); };
  Walk w;
  if (d.size() < 54) return w;
  w.headerOk = d.compare(0, 4, "Voca") == 0 && d.compare(21, 4, "0002") == 0;
  if (!w.headerOk) return w;
  w.model = text(30, 20);
  size_t o = 50;
  const size_t sizes[5] = {111, 23, 61, 28, 9};
  for (int s = 0; s < 6; s++) {
    if (o + 4 > d.size()) return w;
    w.counts[s] = i32(o);
    o += 4;
    for (int32_t r = 0; r < w.counts[s]; r++) {
      const size_t size = s == 5 ? 9 : sizes[s];
      if (o + size > d.size()) return w;
      if (s == 0) {
        Key k{text(o, 15), i32(o + 15), {}};
        for (int i = 0; i < 7; i++) k.v[i] = f32(o + 19 + 4 * size_t(i));
        w.bones.push_back(k);
      } else if (s == 1) {
        w.morphs.push_back(Key{text(o, 15), i32(o + 15), {f32(o + 19)}});
      }
      o += s == 5 ? 9 + 21 * size_t(i32(o + 5)) : size;
    }
  }
  w.complete = o == d.size();
  return w;
}

struct Expect {
  int keys = 0;
  int32_t first = 999999, last = -1;
  bool moved = false;
  double maxrot = 0, maxval = -999.9, twsplus = 0, twsminus = 0;
};

// Twist about a fixed axis: the projection of the rotation's vector part on
// the axis, over the length of (projection, |w|), with the sign of the
// projection. Computed in double, apart from the reader's own code.
double ArmTwist(const float* q, const std::vector<double>& axis) {
  const double n = std::sqrt(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]);
  const double dot = (q[3] * axis[0] + q[4] * axis[1] + q[5] * axis[2]) / n;
  const double s = std::sqrt(dot * dot + double(q[6]) * q[6]);
  return s < 1e-6 ? 0.0 : dot / s;
}

class VmdSamples : public VmdTest {
 protected:
  void CheckFile(const std::filesystem::path& p) {
    SCOPED_TRACE(p.filename().string());
    const Walk w = WalkFile(ReadFileBytes(p.string()));
    ResetNameTables();
    RegisterBuiltinNames();
    const int result = readvmdA(p.string().c_str());
    if (!w.headerOk) {
      EXPECT_EQ(result, 2);
      EXPECT_EQ(BoneKeysTotal(), 0);
      return;
    }
    ASSERT_TRUE(w.complete);
    EXPECT_EQ(result, 0);
    for (int s = 0; s < 6; s++) EXPECT_EQ(gSectionCounts[s], w.counts[s]) << s;
    char model[22] = {};
    std::memcpy(model, w.model.data(), w.model.size());
    CutLoneLead(model);
    EXPECT_STREQ(gSourceModel, model);

    const std::map<std::string, std::vector<double>> arms = {
        {SjisName("左腕"), {0.819742024, -0.572733998, 0.0}},
        {SjisName("左ひじ"), {0.759227991, -0.650820971, -0.00236674002}},
        {SjisName("右腕"), {0.819742024, 0.572733998, 0.0}},
        {SjisName("右ひじ"), {0.759227991, 0.650820971, 0.00236674002}},
    };
    std::map<int, Expect> bones, morphs;
    for (const Key& k : w.bones) {
      Expect& e = bones[BoneIndex(k.name)];
      e.keys++;
      e.first = std::min(e.first, k.frame);
      e.last = std::max(e.last, k.frame);
      for (int i = 0; i < 6; i++) e.moved = e.moved || std::fabs(k.v[i]) > 0.01;
      const double rot = std::hypot(double(k.v[3]), double(k.v[4]), double(k.v[5]));
      e.maxrot = std::max(e.maxrot, rot);
      double tw = std::nan("");
      if (arms.count(k.name)) tw = ArmTwist(k.v, arms.at(k.name));
      for (const char* t : {"左腕捩", "左手捩", "右腕捩", "右手捩"})
        if (k.name == SjisName(t)) tw = (k.v[6] < 0 ? -k.v[3] : k.v[3]) >= 0 ? rot : -rot;
      if (std::isnan(tw)) continue;
      twistKeys_ += std::fabs(tw) > 0.05;
      double& largest = tw >= 0 ? e.twsplus : e.twsminus;
      largest = std::max(largest, std::fabs(tw));
    }
    for (const auto& [idx, e] : bones) {
      ASSERT_TRUE(idx > 0 && idx < kBoneTracks);
      const BoneTrack& t = gBoneTracks[idx];
      SCOPED_TRACE(idx);
      EXPECT_EQ(t.keycount, e.keys);
      EXPECT_EQ(t.firstframe, e.first);
      EXPECT_EQ(t.lastframe, e.last);
      EXPECT_EQ(t.moved != 0, e.moved);
      EXPECT_NEAR(t.maxrot, e.maxrot, 1e-5);
      EXPECT_NEAR(t.maxtwsplus, e.twsplus, 2e-5);
      EXPECT_NEAR(t.maxtwsminus, e.twsminus, 2e-5);
    }
    EXPECT_EQ(BoneKeysTotal(), (int)w.bones.size());

    for (const Key& k : w.morphs) {
      Expect& e = morphs[MorphIndex(k.name)];
      e.keys++;
      e.maxval = std::max(e.maxval, double(k.v[0]));
    }
    for (const auto& [idx, e] : morphs) {
      ASSERT_GT(idx, 0);
      EXPECT_EQ(gMorphTracks[idx].keycount, e.keys) << idx;
      EXPECT_NEAR(gMorphTracks[idx].maxval, e.maxval, 1e-4) << idx;
    }
    EXPECT_EQ(MorphKeysTotal(), (int)w.morphs.size());
  }
  int twistKeys_ = 0;
};

TEST_F(VmdSamples, RealMotionsMatchAnIndependentWalk) {
  std::error_code ec;
  if (!std::filesystem::is_directory(TARVEL_SAMPLES_DIR, ec)) GTEST_SKIP() << "no samples folder";
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(TARVEL_SAMPLES_DIR, ec)) {
    if (entry.path().extension() != ".vmd") continue;
    CheckFile(entry.path());
    files++;
  }
  EXPECT_GT(files, 0);
  EXPECT_GT(twistKeys_, 0);  // the twist comparison was not vacuous
}

}  // namespace
