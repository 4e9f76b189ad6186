// Real motions, checked against a small, separate walk over the same bytes:
// the sections, the model name, every track's keys and frames, the morphs'
// weights. (The rules for movement, rotation and twist are the reader
// tests' and the golden pairs'.)
#include <cstring>
#include <filesystem>
#include <map>

#include "tests/vmd/vmd_fixture.h"

namespace {

struct Key {
  std::string name;
  int32_t frame;
  float weight;  // morphs only
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
      if (s < 2) (s ? w.morphs : w.bones).push_back(Key{text(o, 15), i32(o + 15), s ? f32(o + 19) : 0.0f});
      o += s == 5 ? 9 + 21 * size_t(i32(o + 5)) : size;
    }
  }
  w.complete = o == d.size();
  return w;
}

struct Expect {
  int keys = 0;
  int32_t first = 999999, last = -1;
  double maxval = -999.9;
};

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

    std::map<int, Expect> bones, morphs;
    for (const Key& k : w.bones) {
      Expect& e = bones[BoneIndex(k.name)];
      e.keys++;
      e.first = std::min(e.first, k.frame);
      e.last = std::max(e.last, k.frame);
    }
    for (const auto& [idx, e] : bones) {
      ASSERT_TRUE(idx > 0 && idx < kBoneTracks);
      const BoneTrack& t = gBoneTracks[idx];
      SCOPED_TRACE(idx);
      EXPECT_EQ(t.keycount, e.keys);
      EXPECT_EQ(t.firstframe, e.first);
      EXPECT_EQ(t.lastframe, e.last);
    }
    EXPECT_EQ(BoneKeysTotal(), (int)w.bones.size());

    for (const Key& k : w.morphs) {
      Expect& e = morphs[MorphIndex(k.name)];
      e.keys++;
      e.maxval = std::max(e.maxval, double(k.weight));
    }
    for (const auto& [idx, e] : morphs) {
      ASSERT_GT(idx, 0);
      EXPECT_EQ(gMorphTracks[idx].keycount, e.keys) << idx;
      EXPECT_NEAR(gMorphTracks[idx].maxval, e.maxval, 1e-4) << idx;
    }
    EXPECT_EQ(MorphKeysTotal(), (int)w.morphs.size());
  }
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
}

}  // namespace
