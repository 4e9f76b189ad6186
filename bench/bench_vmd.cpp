// Reading a large motion: about 50 MB, 470,000 bone keys over 60 bone names
// (built-in names and names only the motion brings) and a few thousand morph
// keys. The file is generated once; every read reloads the name registry
// first, as the driver does before each motion. Reported: bytes per second and
// the process's peak resident size.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "names/nametable.h"
#include "names/vocabulary.h"
#include "platform/headless/headless.h"
#include "tests/support/vmdwriter.h"
#include "vmd/vmdread.h"

namespace {

constexpr int kBoneKeys = 470000;
constexpr int kMorphKeys = 4000;

struct Motion {
  std::string path;
  size_t size = 0;
  ~Motion() {
    if (!path.empty()) std::remove(path.c_str());
  }
};

// Appends the writer's bytes to the file and empties it, so that the motion
// never sits in memory whole (the peak resident size is the reader's).
bool Flush(VmdWriter& w, FILE* f, size_t* total) {
  const bool ok = w.bytes.empty() || std::fwrite(w.bytes.data(), 1, w.bytes.size(), f) == w.bytes.size();
  *total += w.bytes.size();
  w.bytes.clear();
  return ok;
}

const Motion& TheMotion() {
  static Motion m;
  if (!m.path.empty()) return m;
  HeadlessReset();
  const char* const builtin[] = {
      "センター", "グルーブ", "上半身", "上半身2", "下半身", "首", "頭", "左目", "右目", "両目",
      "左肩", "左腕", "左腕捩", "左ひじ", "左手捩", "左手首", "右肩", "右腕", "右腕捩", "右ひじ",
      "右手捩", "右手首", "左足ＩＫ", "右足ＩＫ", "左つま先ＩＫ", "右つま先ＩＫ", "左足", "右足",
      "左ひざ", "右ひざ", "左親指１", "左親指２", "左人指１", "左人指２", "左人指３", "右親指１",
      "右親指２", "右人指１", "右人指２", "右人指３",
  };
  std::vector<std::string> bones;
  for (const char* b : builtin) bones.push_back(SjisName(b));
  for (int i = 0; bones.size() < 60; i++) bones.push_back("ext_bone_" + std::to_string(i));
  const char* const faces[] = {"あ", "い", "う", "え", "お", "まばたき", "笑い", "ウィンク"};
  std::vector<std::string> morphs;
  for (const char* f : faces) morphs.push_back(SjisName(f));
  morphs.push_back("ext_morph_a");
  morphs.push_back("ext_morph_b");

  m.path = VmdTempPath("bench.vmd");
  FILE* f = std::fopen(m.path.c_str(), "wb");
  if (!f) {
    m.path.clear();
    return m;
  }
  bool ok = true;
  VmdWriter w;
  w.Header().ModelName(SjisName("ベンチ用モデル")).Count(kBoneKeys);
  for (int i = 0; i < kBoneKeys; i++) {
    const double a = i * 0.001;
    const float s = float(std::sin(a)), c = float(std::cos(a));
    VmdBoneKey k;
    k.name = bones[size_t(i) % bones.size()];
    k.frame = i / int(bones.size());
    k.pos[1] = s;
    k.rot[0] = 0.3f * s;
    k.rot[1] = 0.2f * c;
    k.rot[2] = 0.1f * s;
    k.rot[3] = std::sqrt(1.0f - k.rot[0] * k.rot[0] - k.rot[1] * k.rot[1] - k.rot[2] * k.rot[2]);
    w.Bone(k);
    if (w.Size() > (1 << 20)) ok = Flush(w, f, &m.size) && ok;
  }
  w.Count(kMorphKeys);
  for (int i = 0; i < kMorphKeys; i++)
    w.Morph(morphs[size_t(i) % morphs.size()], i / int(morphs.size()), float(i % 11) / 10.0f);
  w.Count(0).Count(0).Count(0).Count(0);
  ok = Flush(w, f, &m.size) && ok;
  if (std::fclose(f) != 0 || !ok) m.size = 0;
  return m;
}

void ReadLarge(benchmark::State& state, bool cache) {
  const Motion& m = TheMotion();
  if (m.size == 0) {
    state.SkipWithError("could not write the motion");
    return;
  }
  NameCacheEnable(cache);
  int result = 0;
  for (auto _ : state) {
    ResetNameTables();
    RegisterBuiltinNames();
    result |= readvmdA(m.path.c_str());
    benchmark::DoNotOptimize(gBoneTracks[1].keycount);
  }
  NameCacheEnable(true);
  if (result != 0) state.SkipWithError("the motion did not read cleanly");
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(m.size));
  struct rusage ru;
  getrusage(RUSAGE_SELF, &ru);
  state.counters["peak_rss_MB"] = double(ru.ru_maxrss) / 1024.0;
  state.counters["file_MB"] = double(m.size) / 1e6;
}

void BM_ReadVmd(benchmark::State& state) { ReadLarge(state, true); }
void BM_ReadVmdNoNameCache(benchmark::State& state) { ReadLarge(state, false); }

BENCHMARK(BM_ReadVmd)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ReadVmdNoNameCache)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
