// The pose stage of the VRM Animation, in the process, on generated dances:
//   Dance:  5 minutes (9,000 frames), 60 bones keyed every fifth frame with
//           curves, the leg IK on and its targets walking;
//   Motion50MB: 450,000 bone keys of 40 bones (50 MB), keyed every fifth frame
//           (56,250 frames): bytes of the motion per second;
//   TenHours: two keys of the head, at frames 0 and 1,080,000 (the longest
//           motion played): every frame is asked for, the legs' IK on.
// Reported with each: the IK solutions the descent left over a millimetre
// off (finished), the worst miss and the size of the pose handed on.
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>
#include <vector>

#include "tests/support/vmdwriter.h"
#include "vrma/pose.h"

namespace {

const char* const kNames[60] = {
    "センター", "グルーブ", "上半身",   "上半身2",  "上半身3",  "首",       "頭",       "下半身",
    "左足ＩＫ", "右足ＩＫ", "左つま先ＩＫ", "右つま先ＩＫ", "左肩",  "左腕",     "左腕捩",   "左ひじ",
    "左手捩",   "左手首",   "右肩",     "右腕",     "右腕捩",   "右ひじ",   "右手捩",   "右手首",
    "左親指０", "左親指１", "左親指２", "左人指１", "左人指２", "左人指３", "左中指１", "左中指２",
    "左中指３", "左薬指１", "左薬指２", "左薬指３", "左小指１", "左小指２", "左小指３", "右親指０",
    "右親指１", "右親指２", "右人指１", "右人指２", "右人指３", "右中指１", "右中指２", "右中指３",
    "右薬指１", "右薬指２", "右薬指３", "右小指１", "右小指２", "右小指３", "全ての親", "左肩P",
    "右肩P",    "髪1",      "髪2",      "スカート"};

std::vector<uint8_t> Dance(int bones, int keys) {
  VmdWriter w;
  w.Header().ModelName(SjisName("ベンチ用モデル")).Count(keys);
  std::vector<uint8_t> ip(64, 0);
  for (int i = 0; i < 16; i++) ip[i] = uint8_t(20 + (i * 37) % 90);
  for (int i = 0; i < keys; i++) {
    const int bone = i % bones, frame = i / bones * 5;
    const double half = 0.35 * std::sin(frame * 0.05 + bone), ax = std::sin(bone * 1.3),
                 ay = std::cos(bone * 0.7), az = std::sin(bone * 0.4 + 1);
    const double n = std::sqrt(ax * ax + ay * ay + az * az);
    const float s = float(std::sin(half) / n);
    VmdBoneKey k{SjisName(kNames[bone]), frame, {0, 0, 0},
                 {float(ax) * s, float(ay) * s, float(az) * s, float(std::cos(half))}, ip};
    if (bone == 0) k.pos[1] = float(-1.5 + std::sin(frame * 0.1));  // the centre bobs
    if (bone == 8 || bone == 9)  // the feet walk
      for (int c = 0; c < 3; c++) k.pos[c] = float(1.5 * std::sin(frame * 0.07 + bone + c));
    w.Bone(k);
  }
  w.Count(0);
  return w.bytes;
}

void Run(benchmark::State& state, const std::vector<uint8_t>& motion) {
  VrmaPoseOptions o;
  o.data = motion.data();
  o.size = motion.size();
  VrmaAnimation anim;
  VrmaPoseStats stats{};
  for (auto _ : state) {
    if (VrmaPose(o, &anim, &stats) != kVrmaPoseDone) state.SkipWithError("not played");
    benchmark::DoNotOptimize(anim.rotation.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(motion.size()));
  state.counters["frames"] = stats.frames;
  state.counters["ikSolves"] = double(stats.ikSolves);
  state.counters["finished"] = double(stats.ikFinished);
  state.counters["worstMissMm"] = stats.worstMiss * 1000;
  state.counters["outputMB"] = double(anim.rotation.size() + anim.hips.size()) * sizeof(float) / 1e6;
}

void BM_PoseDance(benchmark::State& state) {
  static const std::vector<uint8_t> motion = Dance(60, 60 * 1800);  // frames 0 .. 8995
  Run(state, motion);
}
BENCHMARK(BM_PoseDance)->Unit(benchmark::kMillisecond);

void BM_PoseMotion50MB(benchmark::State& state) {
  static const std::vector<uint8_t> motion = Dance(40, 450000);
  Run(state, motion);
}
BENCHMARK(BM_PoseMotion50MB)->Unit(benchmark::kMillisecond);

void BM_PoseTenHours(benchmark::State& state) {
  VmdWriter w;
  w.Header().ModelName("m").Count(2);
  const std::vector<uint8_t> ip(64, 20);
  w.Bone(VmdBoneKey{SjisName("頭"), 0, {0, 0, 0}, {0, 0, 0, 1}, ip});
  w.Bone(VmdBoneKey{SjisName("頭"), int32_t(kVrmaMaxFrame), {0, 0, 0}, {0, 0.5f, 0, 0.866f}, ip});
  w.Count(0);
  Run(state, w.bytes);
}
BENCHMARK(BM_PoseTenHours)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
