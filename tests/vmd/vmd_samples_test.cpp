// Real motions from the shared samples folder, checked against a small,
// separate walk over the same file bytes.
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "tests/vmd/vmd_fixture.h"

namespace {

struct Key {
  std::string name;
  int32_t frame;
  float v[7];  // bones: position x y z, rotation x y z w; morphs: weight
};

struct Walk {
  bool headerOk = false;
  std::string model;
  int32_t counts[6] = {};
  std::vector<Key> bones, morphs;
  bool complete = false;  // every section present and whole, nothing after
};

int32_t I32(const std::vector<uint8_t>& d, size_t o) {
  return int32_t(uint32_t(d[o]) | uint32_t(d[o + 1]) << 8 | uint32_t(d[o + 2]) << 16 |
                 uint32_t(d[o + 3]) << 24);
}
float F32(const std::vector<uint8_t>& d, size_t o) {
  const int32_t i = I32(d, o);
  float f;
  std::memcpy(&f, &i, 4);
  return f;
}
std::string Text(const std::vector<uint8_t>& d, size_t o, size_t width) {
  std::string s(reinterpret_cast<const char*>(&d[o]), width);
  return s.substr(0, s.find('\0'));
}

// Walks a well-formed file; stops quietly at anything unexpected.
Walk WalkFile(const std::vector<uint8_t>& d) {
  Walk w;
  if (d.size() < 54) return w;
  w.headerOk = std::memcmp(d.data(), "Voca", 4) == 0 && std::memcmp(&d[21], "0002", 4) == 0;
  if (!w.headerOk) return w;
  w.model = Text(d, 30, 20);
  size_t o = 50;
  const size_t sizes[5] = {111, 23, 61, 28, 9};
  for (int s = 0; s < 6; s++) {
    if (o + 4 > d.size()) return w;
    const int32_t n = I32(d, o);
    o += 4;
    w.counts[s] = n;
    for (int32_t r = 0; r < n; r++) {
      if (s == 5) {
        if (o + 9 > d.size()) return w;
        o += 9 + 21 * size_t(I32(d, o + 5));
        continue;
      }
      if (o + sizes[s] > d.size()) return w;
      if (s == 0) {
        Key k{Text(d, o, 15), I32(d, o + 15), {}};
        for (int i = 0; i < 7; i++) k.v[i] = F32(d, o + 19 + 4 * size_t(i));
        w.bones.push_back(k);
      } else if (s == 1) {
        w.morphs.push_back(Key{Text(d, o, 15), I32(d, o + 15), {F32(d, o + 19)}});
      }
      o += sizes[s];
    }
  }
  w.complete = o == d.size();
  return w;
}

struct Expect {
  int keys = 0;
  int32_t first = 999999, last = -1;
  bool moved = false;
  double maxpos = 0, maxrot = 0, minval = 999.9, maxval = -999.9;
  double twsplus = 0, twsminus = 0;
  std::vector<std::pair<int32_t, double>> twists;  // frame, signed amount
};

// Twist about a fixed axis: the projection of the rotation's vector part on
// the axis, over the length of (projection, |w|), with the sign of the
// projection. Computed in double, apart from the reader's own code.
double ArmTwist(const float* q, const double* axis) {
  const double n = std::sqrt(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]);
  const double dot = (q[3] * axis[0] + q[4] * axis[1] + q[5] * axis[2]) / n;
  const double s = std::sqrt(dot * dot + double(q[6]) * q[6]);
  return s < 1e-6 ? 0.0 : dot / s;
}

class VmdSamples : public VmdTest {
 protected:
  static std::vector<uint8_t> Load(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
  }

  void CheckFile(const std::filesystem::path& p) {
    SCOPED_TRACE(p.filename().string());
    const std::vector<uint8_t> bytes = Load(p);
    const Walk w = WalkFile(bytes);

    ResetNameTables();
    RegisterBuiltinNames();
    DiagSetReceiver(nullptr);  // the texts are not looked at here
    const int result = readvmdA(p.string().c_str());
    if (!w.headerOk) {
      EXPECT_EQ(result, 2);
      EXPECT_EQ(BoneKeysTotal(), 0);
      return;
    }
    ASSERT_TRUE(w.complete);
    EXPECT_EQ(result, 0);
    for (int s = 0; s < 6; s++) EXPECT_EQ(gSectionCounts[s], w.counts[s]) << s;
    std::string model = w.model;
    char cut[22] = {};
    std::memcpy(cut, model.data(), model.size());
    CutLoneLead(cut);
    EXPECT_STREQ(gSourceModel, cut);

    // the arm and elbow axes, and the twist bones (Shift-JIS)
    const std::map<std::string, std::vector<double>> arms = {
        {SjisName("左腕"), {0.819742024, -0.572733998, 0.0}},
        {SjisName("左ひじ"), {0.759227991, -0.650820971, -0.00236674002}},
        {SjisName("右腕"), {0.819742024, 0.572733998, 0.0}},
        {SjisName("右ひじ"), {0.759227991, 0.650820971, 0.00236674002}},
    };
    const std::vector<std::string> twisters = {SjisName("左腕捩"), SjisName("左手捩"),
                                               SjisName("右腕捩"), SjisName("右手捩")};

    std::map<int, Expect> bones;
    for (const Key& k : w.bones) {
      Expect& e = bones[BoneIndex(k.name)];
      e.keys++;
      e.first = std::min(e.first, k.frame);
      e.last = std::max(e.last, k.frame);
      for (int i = 0; i < 6; i++) e.moved = e.moved || std::fabs(k.v[i]) > 0.01;
      const double pos = std::sqrt(double(k.v[0]) * k.v[0] + double(k.v[1]) * k.v[1] +
                                   double(k.v[2]) * k.v[2]);
      const double rot = std::sqrt(double(k.v[3]) * k.v[3] + double(k.v[4]) * k.v[4] +
                                   double(k.v[5]) * k.v[5]);
      e.maxpos = std::max(e.maxpos, pos);
      e.maxrot = std::max(e.maxrot, rot);
      double tw = std::nan("");
      if (arms.count(k.name)) tw = ArmTwist(k.v, arms.at(k.name).data());
      for (const std::string& t : twisters)
        if (k.name == t) tw = (k.v[6] < 0 ? -k.v[3] : k.v[3]) >= 0 ? rot : -rot;
      if (!std::isnan(tw)) {
        e.twists.push_back({k.frame, tw});
        if (tw >= 0) e.twsplus = std::max(e.twsplus, tw);
        else e.twsminus = std::max(e.twsminus, -tw);
      }
    }
    int keys = 0;
    for (const auto& [idx, e] : bones) {
      ASSERT_GT(idx, 0);
      ASSERT_LT(idx, kBoneTracks);
      const BoneTrack& t = gBoneTracks[idx];
      SCOPED_TRACE(idx);
      EXPECT_EQ(t.keycount, e.keys);
      EXPECT_EQ(t.firstframe, e.first);
      EXPECT_EQ(t.lastframe, e.last);
      EXPECT_EQ(t.moved != 0, e.moved);
      EXPECT_NEAR(t.maxpos, e.maxpos, 1e-5 * (1 + e.maxpos));
      EXPECT_NEAR(t.maxrot, e.maxrot, 1e-5);
      EXPECT_NEAR(t.maxtwsplus, e.twsplus, 2e-5);
      EXPECT_NEAR(t.maxtwsminus, e.twsminus, 2e-5);
      // the frames named hold a key of (nearly) the largest amount
      auto holds = [&](int32_t frame, double amount) {
        for (const auto& [f, a] : e.twists)
          if (f == frame && std::fabs(std::fabs(a) - amount) < 2e-5) return true;
        return false;
      };
      if (t.maxtwsplus > 0) {
        EXPECT_TRUE(holds(t.attwsplus, e.twsplus)) << t.attwsplus;
      }
      if (t.maxtwsminus > 0) {
        EXPECT_TRUE(holds(t.attwsminus, e.twsminus)) << t.attwsminus;
      }
      if (e.twists.empty()) {
        EXPECT_EQ(t.attwsplus, -1);
        EXPECT_EQ(t.attwsminus, -1);
      }
      for (const auto& tw : e.twists) twistKeys_ += std::fabs(tw.second) > 0.05;
      keys += e.keys;
    }
    EXPECT_EQ(BoneKeysTotal(), keys);

    std::map<int, Expect> morphs;
    for (const Key& k : w.morphs) {
      Expect& e = morphs[MorphIndex(k.name)];
      e.keys++;
      e.first = std::min(e.first, k.frame);
      e.last = std::max(e.last, k.frame);
      e.minval = std::min(e.minval, double(k.v[0]));
      e.maxval = std::max(e.maxval, double(k.v[0]));
    }
    keys = 0;
    for (const auto& [idx, e] : morphs) {
      ASSERT_GT(idx, 0);
      const MorphTrack& t = gMorphTracks[idx];
      EXPECT_EQ(t.keycount, e.keys);
      EXPECT_EQ(t.firstframe, e.first);
      EXPECT_EQ(t.lastframe, e.last);
      EXPECT_NEAR(t.minval, e.minval, 1e-4);
      EXPECT_NEAR(t.maxval, e.maxval, 1e-4);
      keys += e.keys;
    }
    EXPECT_EQ(MorphKeysTotal(), keys);
  }

  int twistKeys_ = 0;
};

TEST_F(VmdSamples, RealMotionsMatchAnIndependentWalk) {
  const std::filesystem::path dir = TARVEL_SAMPLES_DIR;
  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec)) GTEST_SKIP() << "no samples folder";
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
    if (entry.path().extension() != ".vmd") continue;
    CheckFile(entry.path());
    files++;
  }
  EXPECT_GT(files, 0);
  EXPECT_GT(twistKeys_, 0);  // the twist comparison was not vacuous
}

TEST_F(VmdSamples, KnownFacts) {
  const std::filesystem::path dir = TARVEL_SAMPLES_DIR;
  const std::filesystem::path motion = dir / "mmd_base__sample_motion2.vmd";
  const std::filesystem::path faces = dir / "web-mmd__GimmeGimme_with_emotion.vmd";
  std::error_code ec;
  if (!std::filesystem::exists(motion, ec) || !std::filesystem::exists(faces, ec))
    GTEST_SKIP() << "samples absent";
  // a bone motion only: the reader stops after the bone keys are walked and
  // finds every later section empty
  EXPECT_EQ(readvmdA(motion.string().c_str()), 0);
  EXPECT_EQ(gSectionCounts[0], 23720);
  EXPECT_EQ(BoneKeysTotal(), 23720);
  EXPECT_TRUE(DiagHas("max blocks of frames = 23720 \n"));
  // bones and morphs, with one show-and-IK key
  EXPECT_EQ(readvmdA(faces.string().c_str()), 0);
  EXPECT_EQ(gSectionCounts[1], 4179);
  EXPECT_EQ(gSectionCounts[5], 1);
  EXPECT_EQ(MorphKeysTotal(), 4179);
  EXPECT_FALSE(DiagHas("Unrecognized"));
}

}  // namespace
