// The VRM-ready copy, checked from outside: an evaluator of its own (not the
// fold's) plays the motion and the copy at every integer frame and composes
// the arm chain; the copy's other bytes are compared with the motion's; the
// copy is read back through the report tool.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "fix/fix.h"
#include "tests/support/tempdir.h"
#include "tests/support/vmdwriter.h"

namespace {

// ---- an evaluator of its own ----------------------------------------------------

struct Q4 {
  double x, y, z, w;
};
Q4 Mul(Q4 a, Q4 b) {
  return {a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y, a.w * b.y + a.y * b.w + a.z * b.x - a.x * b.z,
          a.w * b.z + a.z * b.w + a.x * b.y - a.y * b.x, a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
}
Q4 Inv(Q4 q) { return {-q.x, -q.y, -q.z, q.w}; }
double AngleDeg(Q4 a, Q4 b) {
  const double d = std::fabs(a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w) /
                   std::sqrt((a.x * a.x + a.y * a.y + a.z * a.z + a.w * a.w) *
                             (b.x * b.x + b.y * b.y + b.z * b.z + b.w * b.w));
  return 2 * std::acos(std::min(1.0, d)) * 180 / M_PI;
}

struct Key {
  int frame;
  Q4 q;
  uint8_t c[4];  // rotation curve x1 y1 x2 y2
};
using Tracks = std::map<std::string, std::vector<Key>>;

struct Parsed {
  Tracks tracks;
  std::vector<std::string> untouched;  // records of other bones, in order
  std::string tail;                    // bytes after the bone section
};

// Bones the fold may rewrite.
const char* const kChain[] = {"左腕", "左腕捩", "左手首", "左手捩", "左肩", "左肩P", "右腕", "右腕捩",
                              "右手首", "右手捩", "右肩", "右肩P", "上半身2", "上半身２"};

Parsed Parse(const std::string& b) {
  Parsed p;
  int32_t n;
  memcpy(&n, b.data() + 50, 4);
  std::vector<std::string> chain;
  for (const char* c : kChain) chain.push_back(SjisName(c));
  for (int i = 0; i < n; i++) {
    const char* r = b.data() + 54 + size_t(i) * 111;
    const std::string name(r, strnlen(r, 15));
    Key k;
    memcpy(&k.frame, r + 15, 4);
    float q[4];
    memcpy(q, r + 31, 16);
    const double n = std::sqrt(double(q[0]) * q[0] + double(q[1]) * q[1] + double(q[2]) * q[2] + double(q[3]) * q[3]);
    k.q = {q[0] / n, q[1] / n, q[2] / n, q[3] / n};  // players turn by the rotation, whatever its length
    const uint8_t* ip = reinterpret_cast<const uint8_t*>(r + 47);
    k.c[0] = ip[3], k.c[1] = ip[7], k.c[2] = ip[11], k.c[3] = ip[15];
    p.tracks[name].push_back(k);
    if (std::find(chain.begin(), chain.end(), name) == chain.end()) p.untouched.emplace_back(r, 111);
  }
  // By frame; of keys at one frame the last in the file counts.
  for (auto& [name, keys] : p.tracks) {
    std::stable_sort(keys.begin(), keys.end(), [](const Key& a, const Key& c) { return a.frame < c.frame; });
    std::vector<Key> one;
    for (const Key& k : keys) {
      if (!one.empty() && one.back().frame == k.frame) one.back() = k;
      else one.push_back(k);
    }
    keys = one;
  }
  p.tail = b.substr(54 + size_t(n) * 111);
  return p;
}

// The curve by plain bisection on its parameter.
double Weight(const uint8_t c[4], double t) {
  const double x1 = c[0] / 127.0, y1 = c[1] / 127.0, x2 = c[2] / 127.0, y2 = c[3] / 127.0;
  double lo = 0, hi = 1, s = 0.5;
  for (int i = 0; i < 60; i++) {
    s = (lo + hi) / 2;
    const double x = 3 * (1 - s) * (1 - s) * s * x1 + 3 * (1 - s) * s * s * x2 + s * s * s;
    (x < t ? lo : hi) = s;
  }
  return 3 * (1 - s) * (1 - s) * s * y1 + 3 * (1 - s) * s * s * y2 + s * s * s;
}

Q4 Slerp(Q4 a, Q4 b, double w) {
  double d = a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
  if (d < 0) b = {-b.x, -b.y, -b.z, -b.w}, d = -d;
  const double th = std::acos(std::min(1.0, d));
  if (th < 1e-9) return a;
  const double ka = std::sin((1 - w) * th) / std::sin(th), kb = std::sin(w * th) / std::sin(th);
  return {a.x * ka + b.x * kb, a.y * ka + b.y * kb, a.z * ka + b.z * kb, a.w * ka + b.w * kb};
}

Q4 At(const Tracks& t, const char* utf8, int f) {
  auto it = t.find(SjisName(utf8));
  if (it == t.end() || it->second.empty()) return {0, 0, 0, 1};
  const std::vector<Key>& k = it->second;
  if (f <= k.front().frame) return k.front().q;
  if (f >= k.back().frame) return k.back().q;
  size_t i = 1;
  while (k[i].frame < f) i++;
  const double t01 = double(f - k[i - 1].frame) / (k[i].frame - k[i - 1].frame);
  return Slerp(k[i - 1].q, k[i].q, Weight(k[i].c, t01));
}

// World rotations of the chest and, per side, 肩, 腕 followed by 腕捩, ひじ, 手首.
std::vector<Q4> World(const Tracks& t, int f) {
  const Q4 chest = Mul(At(t, "上半身2", f), At(t, "上半身２", f));
  std::vector<Q4> w = {chest};
  for (const char* s : {"左", "右"}) {
    auto b = [&](const char* bone) { return At(t, (std::string(s) + bone).c_str(), f); };
    const Q4 p = b("肩P");
    const Q4 shoulder = Mul(Mul(chest, p), b("肩"));
    const Q4 arm = Mul(Mul(Mul(shoulder, Inv(p)), b("腕")), b("腕捩"));
    const Q4 elbow = Mul(arm, b("ひじ"));
    const Q4 wrist = Mul(Mul(elbow, b("手捩")), b("手首"));
    w.insert(w.end(), {shoulder, arm, elbow, wrist});
  }
  return w;
}

// The largest difference of the chain's world rotations over every integer
// frame (and a little beyond the keys).
double LargestDifference(const Parsed& a, const Parsed& b) {
  int lo = 1 << 30, hi = -(1 << 30);
  for (const auto& [name, keys] : a.tracks)
    for (const Key& k : keys) lo = std::min(lo, k.frame), hi = std::max(hi, k.frame);
  double worst = 0;
  for (int f = lo - 2; f <= hi + 2; f++) {
    const std::vector<Q4> wa = World(a.tracks, f), wb = World(b.tracks, f);
    for (size_t i = 0; i < wa.size(); i++) worst = std::max(worst, AngleDeg(wa[i], wb[i]));
  }
  return worst;
}

std::string Fix(const std::string& motion, FixResult* r) {
  std::vector<uint8_t> out;
  FixMotion(reinterpret_cast<const uint8_t*>(motion.data()), motion.size(), r, &out);
  return std::string(out.begin(), out.end());
}

// Every property of a copy: the chain plays the same, the other records and
// the bytes after the bone section are unchanged, the folded bones are gone,
// the size bound holds, and fixing the copy finds nothing to do.
void ExpectGoodCopy(const std::string& motion, const std::string& copy) {
  const Parsed a = Parse(motion), b = Parse(copy);
  EXPECT_LE(LargestDifference(a, b), kFixToleranceDeg);
  EXPECT_EQ(a.untouched, b.untouched);
  EXPECT_EQ(a.tail, b.tail);
  EXPECT_EQ(copy.substr(0, 50), motion.substr(0, 50));
  EXPECT_LE(copy.size(), 2 * motion.size() + 65536);
  FixResult again;
  Fix(copy, &again);
  EXPECT_EQ(again.status, kFixNothing);
}

// ---- random chains ----------------------------------------------------------------

std::vector<uint8_t> Curve(uint8_t x1, uint8_t y1, uint8_t x2, uint8_t y2) {
  uint8_t row[16];
  for (int i = 0; i < 4; i++) row[i] = x1, row[4 + i] = y1, row[8 + i] = x2, row[12 + i] = y2;
  std::vector<uint8_t> b(64, 0);
  for (int r = 0; r < 4; r++)
    for (int i = r; i < 16; i++) b[size_t(r * 16 + i - r)] = row[i];
  return b;
}

VmdBoneKey RandomKey(std::mt19937& rng, const char* bone, int lastFrame, double maxDeg) {
  std::uniform_real_distribution<double> u(-1, 1);
  std::uniform_int_distribution<int> byte(0, 127), frame(0, lastFrame);
  VmdBoneKey k;
  k.name = SjisName(bone);
  k.frame = frame(rng);
  double ax = u(rng), ay = u(rng), az = u(rng);
  const double n = std::sqrt(ax * ax + ay * ay + az * az) + 1e-9;
  const double half = u(rng) * maxDeg * M_PI / 360;
  k.rot[0] = float(ax / n * std::sin(half));
  k.rot[1] = float(ay / n * std::sin(half));
  k.rot[2] = float(az / n * std::sin(half));
  k.rot[3] = float(std::cos(half));
  k.interp = Curve(uint8_t(byte(rng)), uint8_t(byte(rng)), uint8_t(byte(rng)), uint8_t(byte(rng)));
  return k;
}

// A motion of the arm chains and the upper body with random keys, written in
// random order among keys of other bones, morphs and a light.
std::string RandomMotion(std::mt19937& rng) {
  std::vector<VmdBoneKey> keys;
  std::uniform_int_distribution<int> count(0, 5), pick(0, 3);
  const int last = 10 + count(rng) * 8;
  for (const char* bone : {"左腕", "左腕捩", "左手首", "左手捩", "左肩", "左肩P", "左ひじ", "右腕", "右腕捩",
                           "右肩P", "上半身２", "センター"}) {
    const int n = count(rng);
    for (int i = 0; i < n; i++) keys.push_back(RandomKey(rng, bone, last, 120));
  }
  // Every case folds something; some keys share a frame.
  keys.push_back(RandomKey(rng, pick(rng) ? "左腕捩" : "上半身２", last, 120));
  keys.back().rot[0] = 0.3f, keys.back().rot[3] = 0.95f;
  keys.push_back(keys[size_t(pick(rng)) % keys.size()]);
  keys.back().rot[2] = 0.1f;
  std::shuffle(keys.begin(), keys.end(), rng);
  VmdWriter w;
  w.Header().ModelName(SjisName("テスト")).Count(int32_t(keys.size()));
  for (const VmdBoneKey& k : keys) w.Bone(k);
  w.Count(1).Morph(SjisName("あ"), 3, 0.5f).Count(0).Count(1).Light(0).Count(0).Count(0);
  return std::string(w.bytes.begin(), w.bytes.end());
}

TEST(Fix, RandomChainsPlayAsBefore) {
  std::mt19937 rng(19);
  for (int i = 0; i < 300; i++) {
    SCOPED_TRACE(i);
    const std::string motion = RandomMotion(rng);
    FixResult r;
    const std::string copy = Fix(motion, &r);
    ASSERT_EQ(r.status, kFixDone);
    ExpectGoodCopy(motion, copy);
    if (HasFailure()) break;
  }
}

TEST(Fix, WholeIntervalOfOneBoneKeepsItsCurveBytes) {
  // 腕捩 turns between 0 and 30 while 腕 holds: 腕's keys follow 腕捩's curve.
  VmdBoneKey tw{SjisName("左腕捩"), 30, {0, 0, 0}, {0.5f, 0, 0, 0.866f}, Curve(90, 10, 30, 120)};
  tw.interp[2] = 0x63;  // a byte no consistency check looks at
  const std::string motion = [&] {
    VmdWriter w;
    w.Header().ModelName("m").Count(3).Bone(SjisName("左腕"), 0, 0, 0, 0, 0, 0, 0.2f, 0.98f)
        .Bone(SjisName("左腕捩"), 0).Bone(tw);
    return std::string(w.bytes.begin(), w.bytes.end());
  }();
  FixResult r;
  const std::string copy = Fix(motion, &r);
  ASSERT_EQ(r.status, kFixDone);
  EXPECT_EQ(r.addedKeys, 0);
  ASSERT_EQ(Parse(copy).tracks[SjisName("左腕")].size(), 2u);
  EXPECT_EQ(copy.substr(54 + 111 + 47, 64), std::string(tw.interp.begin(), tw.interp.end()));
  ExpectGoodCopy(motion, copy);
}

TEST(Fix, NothingToFoldGivesNoCopy) {
  VmdWriter w;  // a twist bone that does not turn, and a turning 上半身２ beside a turning 上半身2
  w.Header().ModelName("m").Count(3).Bone(SjisName("左腕捩"), 0, 0, 0, 0, 0.005f, 0, 0, 1)
      .Bone(SjisName("上半身２"), 0, 0, 0, 0, 0.2f, 0, 0, 0.98f).Bone(SjisName("上半身2"), 5, 0, 0, 0, 0.2f, 0, 0, 0.98f);
  FixResult r;
  EXPECT_TRUE(Fix(std::string(w.bytes.begin(), w.bytes.end()), &r).empty());
  EXPECT_EQ(r.status, kFixNothing);
}

TEST(Fix, CutMotions) {
  VmdWriter w;
  w.Header().ModelName("m").Count(2).Bone(SjisName("左腕"), 0).Bone(SjisName("左腕捩"), 9, 0, 0, 0, 0.3f, 0, 0, 0.95f);
  w.Count(1).Morph(SjisName("あ"), 0, 1).Count(0).Count(2).Light(0);
  const std::string whole(w.bytes.begin(), w.bytes.end());
  FixResult r;
  // Inside the bone keys and inside the morph keys: not fixed.
  Fix(whole.substr(0, 54 + 111 + 50), &r);
  EXPECT_EQ(r.status, kFixCut);
  EXPECT_EQ(r.cutSection, 1);
  Fix(whole.substr(0, 54 + 222 + 4 + 10), &r);
  EXPECT_EQ(r.status, kFixCut);
  EXPECT_EQ(r.cutSection, 2);
  // Inside the light keys: fixed, the copy ends where the motion ends.
  const std::string cut = whole.substr(0, whole.size() - 5);
  const std::string copy = Fix(cut, &r);
  ASSERT_EQ(r.status, kFixDone);
  ExpectGoodCopy(cut, copy);
}

TEST(Fix, HostileRotationsAreNotFolded) {
  VmdWriter w;
  w.Header().ModelName("m").Count(2).Bone(SjisName("左腕捩"), 0, 0, 0, 0, 0.3f, 0, 0, 0.95f)
      .Bone(SjisName("左腕"), 4, 0, 0, 0, 0, 0, 0, 0);
  FixResult r;
  Fix(std::string(w.bytes.begin(), w.bytes.end()), &r);
  EXPECT_EQ(r.status, kFixRefused);
  EXPECT_EQ(r.refusal[kFoldLArmTwist], kRefuseBadRotation);
}

// ---- the program -------------------------------------------------------------------

struct Ran {
  int status;
  std::string out;
};

Ran RunFix(const std::string& args) {
  Ran r{-1, ""};
  FILE* p = popen(("'" TARVEL_BINARY_DIR "/tarvel-fix' " + args + " 2>/dev/null").c_str(), "r");
  if (!p) return r;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  const int st = pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

std::string Q(const std::string& s) { return "'" + s + "'"; }

// The finding codes tarvel-report gives a file.
std::vector<std::string> FindingCodes(const std::string& path) {
  FILE* p = popen(("'" TARVEL_BINARY_DIR "/tarvel-report' --json " + Q(path) + " 2>/dev/null").c_str(), "r");
  std::string s;
  char buf[4096];
  size_t n;
  while (p && (n = fread(buf, 1, sizeof buf, p)) > 0) s.append(buf, n);
  if (p) pclose(p);
  std::vector<std::string> codes;
  const auto doc = nlohmann::json::parse(s, nullptr, false);
  if (doc.is_discarded()) return {"unparsable"};
  for (const auto& f : doc["files"][0]["findings"]) codes.push_back(f["code"].get<std::string>());
  return codes;
}

bool NamesAFold(const std::vector<std::string>& codes) {
  for (const std::string& c : codes)
    if (c == "twist-bone" || c == "shoulder-p-bone" || c == "upper-body-2-full-width") return true;
  return false;
}

TEST(FixTool, CopiesBesideTheMotionAndNeverOverwrites) {
  TempDir dir;
  std::mt19937 rng(7);
  const std::string motion = RandomMotion(rng);
  const std::string a = dir.Write("a.vmd", motion);
  const std::string odd = dir.Write("b\xff.VMD", motion);  // a name with no UTF-16 form
  VmdWriter ok;
  ok.Header().ModelName("m").Count(1).Bone(SjisName("センター"), 0);
  dir.Write("ok.vmd", ok.bytes.data(), ok.bytes.size());
  Ran r = RunFix("--json " + Q(dir.Root()));
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(FileExists(dir.Path("a.vrm.vmd")));
  EXPECT_TRUE(FileExists(dir.Path("b\xff.vrm.VMD")));
  EXPECT_FALSE(FileExists(dir.Path("ok.vrm.vmd")));
  EXPECT_EQ(ReadFileBytes(dir.Path("a.vrm.vmd")), ReadFileBytes(dir.Path("b\xff.vrm.VMD")));
  EXPECT_EQ(ReadFileBytes(a), motion);
  EXPECT_FALSE(NamesAFold(FindingCodes(dir.Path("a.vrm.vmd"))));
  const std::string cmd = "python3 '" TARVEL_SOURCE_DIR "/tests/app/check_report_json.py' '" TARVEL_SOURCE_DIR
                          "/docs/fix.schema.json' json " + Q(dir.Write("run.json", r.out));
  const int st = system(cmd.c_str());
  if (WEXITSTATUS(st) != 77) {
    EXPECT_EQ(WEXITSTATUS(st), 0) << r.out;
  }

  // Again: the copies exist and stay as they are; a link is never written through.
  const std::string before = ReadFileBytes(dir.Path("a.vrm.vmd"));
  r = RunFix(Q(a) + " " + Q(odd));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("exists"), std::string::npos);
  EXPECT_EQ(ReadFileBytes(dir.Path("a.vrm.vmd")), before);
  const std::string victim = dir.Write("victim.txt", "keep");
  ASSERT_EQ(symlink(victim.c_str(), dir.Path("link.vmd").c_str()), 0);
  EXPECT_EQ(RunFix("-o " + Q(dir.Path("link.vmd")) + " " + Q(a)).status, 1);
  EXPECT_EQ(ReadFileBytes(victim), "keep");
  // -o and --out-dir.
  EXPECT_EQ(RunFix("-o " + Q(dir.Path("x.vmd")) + " " + Q(a)).status, 0);
  EXPECT_EQ(ReadFileBytes(dir.Path("x.vmd")), before);
  EXPECT_EQ(RunFix("-o x.vmd " + Q(a) + " " + Q(a)).status, 2);
  mkdir(dir.Path("out").c_str(), 0755);
  EXPECT_EQ(RunFix("--out-dir " + Q(dir.Path("out")) + " " + Q(a)).status, 0);
  EXPECT_EQ(ReadFileBytes(dir.Path("out/a.vrm.vmd")), before);
}

TEST(FixTool, CutInsideTheBoneKeysIsNotFixed) {
  TempDir dir;
  std::mt19937 rng(8);
  const std::string motion = RandomMotion(rng);
  const Ran r = RunFix(Q(dir.Write("c.vmd", motion.substr(0, 54 + 111 * 2 + 7))));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("not fixed: the file ends inside its bone keys"), std::string::npos) << r.out;
  EXPECT_FALSE(FileExists(dir.Path("c.vrm.vmd")));
}

// ---- real motions --------------------------------------------------------------------

TEST(FixSamples, RealMotionsWithFoldableBones) {
  const char* const kFiles[] = {"mmd_base__sample_motion2.vmd", "web-mmd__GimmeGimme_with_emotion.vmd"};
  int seen = 0;
  TempDir dir;
  for (const char* name : kFiles) {
    const std::string motion = ReadFileBytes(std::string(TARVEL_SAMPLES_DIR "/") + name);
    if (motion.empty()) continue;
    seen++;
    SCOPED_TRACE(name);
    EXPECT_TRUE(NamesAFold(FindingCodes(std::string(TARVEL_SAMPLES_DIR "/") + name)));
    FixResult r;
    const std::string copy = Fix(motion, &r);
    ASSERT_EQ(r.status, kFixDone);
    EXPECT_EQ(r.folded, r.wanted);
    ExpectGoodCopy(motion, copy);
    EXPECT_FALSE(NamesAFold(FindingCodes(dir.Write(name, copy))));
  }
  if (!seen) GTEST_SKIP() << "samples absent";
}

}  // namespace
