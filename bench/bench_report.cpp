// The report step against the read: the real 4 MB dance motion when the
// sample folder is there (else a generated motion), read and reported.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "analysis/file_report.h"
#include "analysis/verdict.h"
#include "app/report_tool.h"
#include "base/runenv.h"
#include "names/alias.h"
#include "names/nametable.h"
#include "names/vocabulary.h"
#include "platform/headless/headless.h"
#include "tests/support/vmdwriter.h"
#include "vmd/vmdread.h"

static std::string MotionPath() {
  static std::string path;
  if (!path.empty()) return path;
  std::string dance = "../shared/samples/web-mmd__GimmeGimme_with_emotion.vmd";
  for (const char* up : {"", "../", "../../", "../../../"}) {
    std::string p = std::string(up) + dance;
    if (FILE* f = fopen(p.c_str(), "rb")) {
      fclose(f);
      return path = p;
    }
  }
  // No sample: 40,000 keys over the vocabulary's arm and twist bones.
  VmdWriter w;
  const char* names[] = {"左腕", "左ひじ", "左腕捩", "右腕", "右ひじ", "下半身", "センター", "髪1"};
  w.Header().ModelName("bench").Count(40000);
  for (int i = 0; i < 40000; i++)
    w.Bone(SjisName(names[i % 8]), i, 0.1f, 0, 0, 0.3f, 0.1f, 0, 0.94f);
  w.Count(0);
  path = VmdTempPath("bench_report");
  w.Save(path);
  return path;
}

static void Reload() {
  ResetNameTables();
  RegisterBuiltinNames();
}

static void BM_Read(benchmark::State& state) {
  std::string p = MotionPath();
  for (auto _ : state) {
    Reload();
    benchmark::DoNotOptimize(readvmdA(p.c_str()));
  }
}
BENCHMARK(BM_Read)->Unit(benchmark::kMillisecond);

static void BM_ReportAndVerdict(benchmark::State& state) {
  std::string p = MotionPath();
  Reload();
  readvmdA(p.c_str());
  for (auto _ : state) {
    buildreport();
    buildverdict();
    benchmark::DoNotOptimize(gFileReport.boxtext[0]);
  }
}
BENCHMARK(BM_ReportAndVerdict)->Unit(benchmark::kMillisecond);

// The report tool's whole sequence for one file, output discarded.
static void BM_ReportToolFile(benchmark::State& state) {
  std::string p = MotionPath();
  HeadlessReset();
  ReportToolStart("/nonexistent/tarvel-report");
  FILE* devnull = fopen("/dev/null", "w");
  for (auto _ : state) benchmark::DoNotOptimize(ReportToolFile(p.c_str(), devnull));
  fclose(devnull);
}
BENCHMARK(BM_ReportToolFile)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
