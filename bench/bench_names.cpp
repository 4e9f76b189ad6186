// Reading motions of many distinct bone names, one key each (10,000 and
// 100,000 names; a bone table holds 16,384, so most of the larger file's
// names are looked up and not found). Each read reloads the name registry
// first, as the driver does before each motion. The cost of a lookup must not
// grow with the number of names already in the table: 100,000 names should
// cost about ten times 10,000.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>

#include "names/nametable.h"
#include "names/vocabulary.h"
#include "platform/headless/headless.h"
#include "tests/support/vmdwriter.h"
#include "vmd/vmdread.h"

namespace {

struct Motion {
  std::string path;
  ~Motion() {
    if (!path.empty()) std::remove(path.c_str());
  }
};

const std::string& MotionOf(int names) {
  static std::map<int, Motion> made;
  Motion& m = made[names];
  if (!m.path.empty()) return m.path;
  VmdWriter w;
  w.Header().ModelName("bench").Count(names);
  char name[16];
  for (int i = 0; i < names; i++) {
    snprintf(name, sizeof name, "bone%07d", i);
    w.Bone(name, i, 0, 0, 0, 0.1f, 0, 0, 0.995f);
  }
  w.Count(0);
  m.path = "/tmp/tarvel-bench-names-" + std::to_string(getpid()) + "-" + std::to_string(names) + ".vmd";
  if (!w.Save(m.path)) m.path.clear();
  return m.path;
}

void BM_ReadDistinctNames(benchmark::State& state) {
  HeadlessReset();
  const int names = static_cast<int>(state.range(0));
  const std::string& path = MotionOf(names);
  if (path.empty()) {
    state.SkipWithError("cannot write the motion");
    return;
  }
  for (auto _ : state) {
    ResetNameTables();
    RegisterBuiltinNames();
    benchmark::DoNotOptimize(readvmdA(path.c_str()));
  }
  state.counters["names"] = names;
  state.counters["table"] = NameCount(1);
}
BENCHMARK(BM_ReadDistinctNames)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
