// The report tool as a whole process, as users run it: a folder of 10,000
// small motions (files per second) and one 50 MB motion (bytes per second),
// each as the text report and as JSON. The motions are generated once into a
// temporary folder; every iteration starts tarvel-report, output to
// /dev/null. Reported with each: the child's peak resident size.
//
// BM_FolderRatio times, in each round, `cat` of the 10,000 files, the text
// report and the JSON report of the folder, one after the other, and gives
// the best of each and the ratios of the bests (text_ratio, json_ratio): the
// machine's load weighs on all three alike.
//
// TARVEL_REPORT=/path/to/tarvel-report runs another build of the tool (to
// compare two builds on the same motions).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "tests/support/vmdwriter.h"

extern char** environ;

namespace {

constexpr int kSmallMotions = 10000;
constexpr int kLargeBoneKeys = 450000;  // 111 bytes each: 50 MB

std::string Tool() {
  if (const char* env = getenv("TARVEL_REPORT"); env && *env) return env;
  // The benchmark sits in build/<preset>/bench/, the tool one folder up.
  char self[4096];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return "tarvel-report";
  self[n] = 0;
  std::string dir(self);
  dir.resize(dir.rfind('/'));
  return dir.substr(0, dir.rfind('/')) + "/tarvel-report";
}

struct Corpus {
  std::string folder, large;
  std::vector<std::string> smallFiles;  // in sorted order, as the tool walks them
  size_t largeBytes = 0;
  bool ok = false;
  ~Corpus() {
    if (!folder.empty()) {
      std::string cmd = "rm -rf '" + folder + "'";
      if (system(cmd.c_str()) != 0) fprintf(stderr, "could not remove %s\n", folder.c_str());
    }
  }
};

// Ten keys over a few bones and two morph keys: about 1.2 KB, like a pose or
// a short gesture.
std::string SmallMotion(int i) {
  static const char* const bones[] = {"センター", "上半身", "下半身", "首",      "頭",
                                      "左腕",     "右腕",   "左ひじ", "右ひじ", "左足ＩＫ"};
  VmdWriter w;
  w.Header().ModelName("model").Count(10);
  for (int k = 0; k < 10; k++) {
    const double a = (i * 7 + k * 13) % 60 * M_PI / 360.0;
    w.Bone(SjisName(bones[(i + k) % 10]), k * 10, 0, 0.1f, 0, float(std::sin(a)), 0, 0,
           float(std::cos(a)));
  }
  w.Count(2).Morph(SjisName("あ"), 0, 0.5f).Morph(SjisName("あ"), 5, 0.0f);
  w.Count(0).Count(0).Count(0).Count(0);
  return std::string(w.bytes.begin(), w.bytes.end());
}

bool WriteLarge(const std::string& path, size_t* size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  static const char* const names[] = {"センター", "上半身", "下半身", "左腕",   "右腕",   "左ひじ",
                                      "右ひじ",   "左腕捩", "右手捩", "左人指１", "首",     "頭"};
  VmdWriter w;
  w.Header().ModelName(SjisName("ベンチ用モデル")).Count(kLargeBoneKeys);
  bool ok = true;
  for (int i = 0; i < kLargeBoneKeys; i++) {
    const double a = i * 0.001;
    const float s = float(std::sin(a)), c = float(std::cos(a));
    w.Bone(SjisName(names[i % 12]), i / 12, 0, s, 0, 0.3f * s, 0.2f * c, 0.1f * s,
           std::sqrt(1.0f - 0.09f * s * s - 0.04f * c * c - 0.01f * s * s));
    if (w.Size() > (1 << 20)) {
      ok = std::fwrite(w.bytes.data(), 1, w.Size(), f) == w.Size() && ok;
      *size += w.Size();
      w.bytes.clear();
    }
  }
  w.Count(0).Count(0).Count(0).Count(0).Count(0);
  ok = std::fwrite(w.bytes.data(), 1, w.Size(), f) == w.Size() && ok;
  *size += w.Size();
  return std::fclose(f) == 0 && ok;
}

const Corpus& TheCorpus() {
  static Corpus c;
  if (c.ok || !c.folder.empty()) return c;
  HeadlessReset();
  c.folder = VmdTempPath("bench_report_tool");
  std::string small = c.folder + "/small";
  if (mkdir(c.folder.c_str(), 0700) != 0 || mkdir(small.c_str(), 0700) != 0) return c;
  for (int i = 0; i < kSmallMotions; i++) {
    char name[32];
    snprintf(name, sizeof name, "/m%05d.vmd", i);
    std::string m = SmallMotion(i);
    FILE* f = std::fopen((small + name).c_str(), "wb");
    if (!f || std::fwrite(m.data(), 1, m.size(), f) != m.size() || std::fclose(f) != 0) return c;
    c.smallFiles.push_back(small + name);
  }
  c.large = c.folder + "/large.vmd";
  c.ok = WriteLarge(c.large, &c.largeBytes);
  return c;
}

// Runs a program once (found on PATH when the name has no '/'), output to
// /dev/null; its exit status, or -1. cpuMs, when given: the processor time
// (user and system) it took, in milliseconds.
int RunProgram(const std::string& program, const std::vector<std::string>& args,
               double* cpuMs = nullptr) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid;
  int r = posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (r != 0) return -1;
  int status = 0;
  struct rusage ru {};
  if (wait4(pid, &status, 0, &ru) != pid || !WIFEXITED(status)) return -1;
  if (cpuMs)
    *cpuMs = (ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) * 1e3 +
             (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e3;
  return WEXITSTATUS(status);
}

int RunTool(const std::vector<std::string>& args) {
  static const std::string tool = Tool();
  return RunProgram(tool, args);
}

// One run's wall time and processor time in milliseconds; false when it failed.
struct Times {
  double wall = 1e30, cpu = 1e30;
};
bool TimeRun(const std::string& program, const std::vector<std::string>& args, Times* best) {
  const auto start = std::chrono::steady_clock::now();
  double cpu = 0;
  if (RunProgram(program, args, &cpu) != 0) return false;
  const double wall =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  best->wall = std::min(best->wall, wall);
  best->cpu = std::min(best->cpu, cpu);
  return true;
}

// The tool on the folder of small motions (large false: counted in files)
// or on the large motion (counted in bytes), in a format ("" for text).
void Run(benchmark::State& state, bool large, const char* format) {
  const Corpus& c = TheCorpus();
  if (!c.ok) {
    state.SkipWithError("could not write the motions");
    return;
  }
  std::vector<std::string> args;
  if (format[0]) args.push_back(format);
  args.push_back(large ? c.large : c.folder + "/small");
  for (auto _ : state)
    if (RunTool(args) != 0) state.SkipWithError("the tool failed");
  if (large)
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(c.largeBytes));
  else
    state.SetItemsProcessed(int64_t(state.iterations()) * kSmallMotions);
  struct rusage ru;
  getrusage(RUSAGE_CHILDREN, &ru);
  state.counters["child_peak_rss_MB"] = double(ru.ru_maxrss) / 1024.0;
}

// cat of the 10,000 files, the text report and the JSON report of their
// folder, in turn in every round; the best of each and their ratios, by wall
// time and by processor time (which a machine shared with other work
// disturbs less).
void BM_FolderRatio(benchmark::State& state) {
  const Corpus& c = TheCorpus();
  if (!c.ok) {
    state.SkipWithError("could not write the motions");
    return;
  }
  static const std::string tool = Tool();
  const std::string folder = c.folder + "/small";
  Times cat, text, json;
  for (auto _ : state) {
    if (!TimeRun("cat", c.smallFiles, &cat) || !TimeRun(tool, {folder}, &text) ||
        !TimeRun(tool, {"--json", folder}, &json)) {
      state.SkipWithError("a run failed");
      return;
    }
  }
  state.counters["cat_ms"] = cat.wall;
  state.counters["text_ms"] = text.wall;
  state.counters["json_ms"] = json.wall;
  state.counters["text_ratio"] = text.wall / cat.wall;
  state.counters["json_ratio"] = json.wall / cat.wall;
  state.counters["text_cpu_ratio"] = text.cpu / cat.cpu;
  state.counters["json_cpu_ratio"] = json.cpu / cat.cpu;
}

void BM_Folder10kText(benchmark::State& s) { Run(s, false, ""); }
void BM_Folder10kJson(benchmark::State& s) { Run(s, false, "--json"); }
void BM_Motion50MBText(benchmark::State& s) { Run(s, true, ""); }
void BM_Motion50MBJson(benchmark::State& s) { Run(s, true, "--json"); }

BENCHMARK(BM_FolderRatio)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(9);
BENCHMARK(BM_Folder10kText)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_Folder10kJson)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_Motion50MBText)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_Motion50MBJson)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
