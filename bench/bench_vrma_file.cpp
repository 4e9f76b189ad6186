// The VRM Animation writer: a 5-minute dance (9,000 frames, every humanoid
// bone turning, the hips moving, 20 expressions) into a glTF binary, and the
// morph keys of a motion read and sampled per frame.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "tests/support/vmdwriter.h"
#include "vrma/expressions.h"
#include "vrma/vrma_file.h"

namespace {

constexpr int kFrames = 9000, kExpressions = 20;

std::unique_ptr<VrmaAnimation> Dance() {
  auto a = std::make_unique<VrmaAnimation>();
  a->frames = kFrames;
  for (bool& w : a->boneWritten) w = true;
  a->rotation.resize(size_t(kFrames) * HB_COUNT * 4);
  a->hips.resize(size_t(kFrames) * 3);
  a->exprCount = kExpressions;
  for (int e = 0; e < kExpressions; e++) snprintf(a->exprName[e], VRMA_EXPR_NAME, "morph %d", e);
  a->exprWeight.resize(size_t(kFrames) * kExpressions);
  for (int f = 0; f < kFrames; f++) {
    for (int b = 0; b < HB_COUNT; b++) {
      const double t = 0.5 * std::sin(f * 0.01 + b);
      float* q = &a->rotation[(size_t(f) * HB_COUNT + size_t(b)) * 4];
      q[0] = float(std::sin(t) * 0.6), q[1] = float(std::sin(t) * 0.8), q[2] = 0, q[3] = float(std::cos(t));
    }
    a->hips[size_t(f) * 3 + 1] = 0.9f + 0.05f * float(std::sin(f * 0.1));
    for (int e = 0; e < kExpressions; e++)
      a->exprWeight[size_t(f) * kExpressions + size_t(e)] = float(0.5 + 0.5 * std::sin(f * 0.05 + e));
  }
  return a;
}

void BM_WriteVrma(benchmark::State& state) {
  const auto a = Dance();
  VrmaSkeleton skel{};
  skel.restLocal[HB_hips][1] = 0.9f;
  std::vector<unsigned char> glb;
  for (auto _ : state) {
    if (WriteVrma(skel, *a, &glb, nullptr) != kVrmaWritten) state.SkipWithError("not written");
    benchmark::DoNotOptimize(glb.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(glb.size()));
  state.counters["file_MB"] = double(glb.size()) / 1e6;
}
BENCHMARK(BM_WriteVrma)->Unit(benchmark::kMillisecond);

// A motion with a morph key at every frame for 20 morphs.
void BM_ReadAndSampleMorphs(benchmark::State& state) {
  VmdWriter w;
  w.Header().ModelName("m").Count(0).Count(kFrames * kExpressions);
  std::string names[kExpressions];
  for (int e = 0; e < kExpressions; e++) {
    char n[16];
    snprintf(n, sizeof n, "m%d", e);
    names[e] = SjisName(e == 0 ? "あ" : e == 1 ? "まばたき" : n);
  }
  for (int f = 0; f < kFrames; f++)
    for (int e = 0; e < kExpressions; e++) w.Morph(names[e], f, float(0.5 + 0.5 * std::sin(f * 0.05 + e)));
  w.Count(0).Count(0).Count(0).Count(0);
  auto a = std::make_unique<VrmaAnimation>();
  VrmaMorphKeys keys;
  for (auto _ : state) {
    VrmaReadMorphs(w.bytes.data(), w.Size(), a.get(), &keys);
    a->frames = kFrames;
    VrmaSampleExpressions(keys, a.get());
    benchmark::DoNotOptimize(a->exprWeight.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(w.Size()));
}
BENCHMARK(BM_ReadAndSampleMorphs)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
