// For the avatar check of the browser tests (tests/web/avatar.test.mjs):
//   web_avatar_motion motions DIR      writes the generated motions into DIR
//   web_avatar_motion joints FILE F...  prints, as one JSON document, where
//       MMD's forward kinematics puts each humanoid joint at frames F...
//       (glTF space, metres), and the T-pose humanoid's bones, each from
//       its parent, and their parents: {"frames": N, "rest": {"hips":
//       [x, y, z], ...}, "parents": {"hips": null, "spine": "hips", ...},
//       "joints": {"F": {"hips": [x, y, z], ...}}}
// Exit 0 when done.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "tests/support/vmdwriter.h"
#include "vrma/pose.h"

namespace {

struct Turn {
  float x = 0, y = 0, z = 0, w = 1;
};

Turn AroundAxis(double x, double y, double z, double deg) {
  const double l = std::sqrt(x * x + y * y + z * z), h = deg * 3.14159265358979323846 / 360;
  const double s = std::sin(h) / l;
  return {float(x * s), float(y * s), float(z * s), float(std::cos(h))};
}

Turn RandomTurn(std::mt19937& rng, double maxDeg) {
  std::normal_distribution<double> n(0, 1);
  std::uniform_real_distribution<double> a(-maxDeg, maxDeg);
  const double x = n(rng), y = n(rng), z = n(rng);
  return AroundAxis(x, y, z, a(rng));
}

struct Motion {
  VmdWriter bones;
  int count = 0;
  std::vector<std::pair<int, bool>> ik;  // frame, both legs' IK on

  void Key(const char* bone, int frame, Turn t = {}, float px = 0, float py = 0, float pz = 0) {
    bones.Bone(SjisName(bone), frame, px, py, pz, t.x, t.y, t.z, t.w);
    count++;
  }
  bool Save(const std::string& path) const {
    VmdWriter w;
    w.Header().ModelName("avatar").Count(count);
    w.Raw(bones.bytes.data(), bones.bytes.size());
    w.Count(0).Count(0).Count(0).Count(0).Count(int32_t(ik.size()));
    for (auto& [frame, on] : ik) {
      w.Int(frame).Byte(1).Int(2);
      w.Field(SjisName("左足ＩＫ"), 20).Byte(on).Field(SjisName("右足ＩＫ"), 20).Byte(on);
    }
    return w.Save(path);
  }
};

const char* const kSides[] = {"左", "右"};

// The arms turn about every axis, the elbows bend, the twists and wrists
// turn; the spine, neck and head follow.
void Arms(Motion* m, std::mt19937& rng) {
  for (int f = 0; f <= 120; f += 15) {
    for (const char* b : {"上半身", "上半身2", "首", "頭"}) m->Key(b, f, RandomTurn(rng, 30));
    for (const char* s : kSides) {
      for (const char* b : {"肩", "腕", "腕捩", "手捩", "手首"})
        m->Key((std::string(s) + b).c_str(), f, RandomTurn(rng, std::string(b) == "腕" ? 120 : 50));
      const double bend = std::uniform_real_distribution<double>(0, 130)(rng);
      m->Key((std::string(s) + "ひじ").c_str(), f, AroundAxis(0, 1, 0, s == kSides[0] ? -bend : bend));
    }
  }
}

// The figure crouches and steps: the centre bobs, the IK targets lift and
// move, the lower body and the toes' targets turn.
void LegsIk(Motion* m, std::mt19937& rng) {
  std::uniform_real_distribution<double> u(-1, 1);
  for (int f = 0; f <= 150; f += 10) {
    m->Key("センター", f, RandomTurn(rng, 15), float(u(rng)), float(-2 + 1.5 * u(rng)), float(u(rng)));
    m->Key("下半身", f, RandomTurn(rng, 20));
    m->Key("上半身", f, RandomTurn(rng, 20));
    for (const char* s : kSides) {
      m->Key((std::string(s) + "足ＩＫ").c_str(), f, RandomTurn(rng, 30), float(1.5 * u(rng)),
             float(1 + u(rng)), float(3 * u(rng)));
      m->Key((std::string(s) + "つま先ＩＫ").c_str(), f, {}, 0, float(0.5 * u(rng)), float(u(rng)));
    }
  }
}

// The IK off: the legs' own keys swing the thighs, bend the knees and
// turn the feet; halfway the IK comes back on.
void LegsKeyed(Motion* m, std::mt19937& rng) {
  for (int f = 0; f <= 120; f += 12)
    for (const char* s : kSides) {
      m->Key((std::string(s) + "足").c_str(), f, RandomTurn(rng, 60));
      m->Key((std::string(s) + "ひざ").c_str(), f,
             AroundAxis(1, 0, 0, std::uniform_real_distribution<double>(5, 120)(rng)));
      m->Key((std::string(s) + "足首").c_str(), f, RandomTurn(rng, 30));
    }
  m->ik = {{0, false}, {60, true}};
}

// Every finger curls and spreads; the hands turn.
void Fingers(Motion* m, std::mt19937& rng) {
  static const char* const kFingers[] = {"親指０", "親指１", "親指２", "人指１", "人指２", "人指３",
                                         "中指１", "中指２", "中指３", "薬指１", "薬指２", "薬指３",
                                         "小指１", "小指２", "小指３"};
  for (int f = 0; f <= 90; f += 10)
    for (const char* s : kSides) {
      m->Key((std::string(s) + "腕").c_str(), f, RandomTurn(rng, 40));
      m->Key((std::string(s) + "手首").c_str(), f, RandomTurn(rng, 40));
      for (const char* b : kFingers) m->Key((std::string(s) + b).c_str(), f, RandomTurn(rng, 70));
    }
}

// 全ての親 turns the figure round and carries it; arms and IK legs move.
void TurnedRound(Motion* m, std::mt19937& rng) {
  m->Key("全ての親", 0, AroundAxis(0, 1, 0, 180), 3, 0, -4);
  m->Key("全ての親", 90, AroundAxis(0, 1, 0, 200), 5, 0, -2);
  for (int f = 0; f <= 90; f += 15) {
    m->Key("センター", f, RandomTurn(rng, 10), 0, -1, 0);
    for (const char* s : kSides) {
      m->Key((std::string(s) + "腕").c_str(), f, RandomTurn(rng, 80));
      m->Key((std::string(s) + "ひじ").c_str(), f, AroundAxis(0, 1, 0, s == kSides[0] ? -60 : 60));
      m->Key((std::string(s) + "足ＩＫ").c_str(), f, RandomTurn(rng, 20), 0, 1, float(f % 30 ? 2 : -2));
    }
  }
}

int WriteMotions(const std::string& dir) {
  struct {
    const char* name;
    void (*make)(Motion*, std::mt19937&);
  } const kMotions[] = {{"arms", Arms}, {"legs_ik", LegsIk}, {"legs_keyed", LegsKeyed},
                        {"fingers", Fingers}, {"turned_round", TurnedRound}};
  for (auto& k : kMotions) {
    std::mt19937 rng(11);
    Motion m;
    k.make(&m, rng);
    if (!m.Save(dir + "/" + k.name + ".vmd")) {
      std::fprintf(stderr, "web_avatar_motion: cannot write %s\n", k.name);
      return 1;
    }
  }
  return 0;
}

int PrintJoints(const char* path, char** frames, int count) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<float> joints;
  VrmaPoseOptions o;
  o.data = bytes.data();
  o.size = bytes.size();
  o.joints = &joints;
  VrmaAnimation anim;
  VrmaPoseStats stats;
  if (VrmaPose(o, &anim, &stats) != kVrmaPoseDone) {
    std::fprintf(stderr, "web_avatar_motion: %s: %s\n", path, VrmaPoseStatusText(stats.status));
    return 1;
  }
  // The T-pose humanoid: each bone's place from its parent's.
  VrmaSkeleton skeleton;
  VrmaStandardSkeleton(&skeleton);
  std::printf("{\"frames\": %d, \"rest\": {", stats.frames);
  for (int h = 0; h < HB_COUNT; h++) {
    const float* p = skeleton.restLocal[h];
    std::printf("%s\"%s\": [%.7g, %.7g, %.7g]", h ? ", " : "", kHumanBoneName[h], p[0], p[1], p[2]);
  }
  std::printf("}, \"parents\": {");
  for (int h = 0; h < HB_COUNT; h++) {
    const int up = kHumanBoneParent[h];
    std::printf("%s\"%s\": %s%s%s", h ? ", " : "", kHumanBoneName[h], up < 0 ? "" : "\"",
                up < 0 ? "null" : kHumanBoneName[up], up < 0 ? "" : "\"");
  }
  std::printf("}, \"joints\": {");
  for (int i = 0; i < count; i++) {
    const int f = std::atoi(frames[i]);
    if (f < 0 || f >= stats.frames) {
      std::fprintf(stderr, "web_avatar_motion: no frame %d\n", f);
      return 1;
    }
    std::printf("%s\"%d\": {", i ? ", " : "", f);
    for (int h = 0; h < HB_COUNT; h++) {
      const float* p = &joints[(size_t(f) * HB_COUNT + h) * 3];
      std::printf("%s\"%s\": [%.7g, %.7g, %.7g]", h ? ", " : "", kHumanBoneName[h], p[0], p[1], p[2]);
    }
    std::printf("}");
  }
  std::printf("}}\n");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  HeadlessReset();
  if (argc == 3 && std::string(argv[1]) == "motions") return WriteMotions(argv[2]);
  if (argc >= 3 && std::string(argv[1]) == "joints") return PrintJoints(argv[2], argv + 3, argc - 3);
  std::fputs("usage: web_avatar_motion motions DIR | joints FILE FRAME...\n", stderr);
  return 2;
}
