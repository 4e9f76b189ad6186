// tarvel-fix as a whole process, as users run it, on generated 50 MB motions
// (bytes of the motion per second): the check of the motion, the fold, the
// copy written, the check of the copy. Two dances keyed every fifth frame,
// with the arm chains' twist and shoulder P bones turning together with the
// arms, so that every interval of the chains is fitted:
//   Dance:    40 bones, 12 of them in the arm chains (real dances have about
//             a quarter of their keys there);
//   ArmsOnly: 16 bones, 12 of them in the arm chains (the worst case).
// Reported with each: the child's peak resident size and the copy's size
// over the motion's.
//   PaddedWorst: 84 MB, the hardest work for the least chain: 20,000 pairs of
//             左腕 and 左腕捩 keys 1,024 frames apart, both turning far on
//             steep curves between every two, then 80 MB of morph keys. It
//             must be fixed or refused in at most 2 seconds per 10 MB.
//   ChainsWorst: 10 MB of nothing but keys of the twelve arm chain bones
//             (both sides' 肩P, 肩, 腕, 腕捩, 手捩, 手首), all turning far at
//             once, 1,024 frames apart: the most fitting work the budget
//             allows for a motion of its size.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "tests/support/vmdwriter.h"

extern char** environ;

namespace {

constexpr int kBoneKeys = 450000;  // 111 bytes each: 50 MB

std::string Tool() {
  char self[4096];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return "tarvel-fix";
  self[n] = 0;
  std::string dir(self);
  dir.resize(dir.rfind('/'));
  return dir.substr(0, dir.rfind('/')) + "/tarvel-fix";
}

struct Corpus {
  std::string folder, motion[4], copy[4];
  size_t bytes[4] = {0, 0, 0, 0};
  bool ok = false;
  ~Corpus() {
    if (!folder.empty() && system(("rm -rf '" + folder + "'").c_str()) != 0)
      fprintf(stderr, "could not remove %s\n", folder.c_str());
  }
};

bool WriteMotion(const std::string& path, bool armsOnly, size_t* size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  static const char* const names[40] = {
      "左腕",     "左腕捩",   "左手首",   "左手捩",   "左肩",     "左肩P",    "右腕",     "右腕捩",
      "右手首",   "右手捩",   "右肩",     "右肩P",    "センター", "上半身",   "下半身",   "首",
      "グルーブ", "頭",       "上半身2",  "左足",     "右足",     "左ひざ",   "右ひざ",   "左足首",
      "右足首",   "左足ＩＫ", "右足ＩＫ", "左ひじ",   "右ひじ",   "左親指１", "左親指２", "左人指１",
      "左人指２", "左中指１", "左中指２", "右親指１", "右親指２", "右人指１", "右人指２", "右中指１"};
  const int bones = armsOnly ? 16 : 40;
  VmdWriter w;
  w.Header().ModelName(SjisName("ベンチ用モデル")).Count(kBoneKeys);
  bool ok = true;
  for (int i = 0; i < kBoneKeys; i++) {
    const int bone = i % bones, frame = i / bones * 5;
    // A different axis per bone, turning back and forth by up to 40 degrees.
    const double half = 0.35 * std::sin(frame * 0.05 + bone), ax = std::sin(bone * 1.3),
                 ay = std::cos(bone * 0.7), az = std::sin(bone * 0.4 + 1);
    const double n = std::sqrt(ax * ax + ay * ay + az * az);
    const float s = float(std::sin(half) / n);
    w.Bone(SjisName(names[bone]), frame, 0, 0, 0, float(ax) * s, float(ay) * s, float(az) * s,
           float(std::cos(half)));
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

// 64 interpolation bytes laid out as files carry them, one curve for all four.
std::vector<uint8_t> CurveBytes(uint8_t x1, uint8_t y1, uint8_t x2, uint8_t y2) {
  const uint8_t row[4] = {x1, y1, x2, y2};
  std::vector<uint8_t> b(64, 0);
  for (int r = 0; r < 4; r++)
    for (int i = r; i < 16; i++) b[size_t(r * 16 + i - r)] = row[i / 4];
  return b;
}

// The padded worst case: every interval of the arm chain is 1,024 frames of
// two bones turning at once on different axes and curves.
bool WritePaddedWorst(const std::string& path, size_t* size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  constexpr int kPairs = 20000, kMorphs = 80 * 1000 * 1000 / 23;
  VmdWriter w;
  w.Header().ModelName(SjisName("ベンチ用モデル")).Count(2 * kPairs);
  const std::string arm = SjisName("左腕"), twist = SjisName("左腕捩"), morph = SjisName("あ");
  bool ok = true;
  auto flush = [&] {
    if (w.Size() < (1 << 20)) return;
    ok = std::fwrite(w.bytes.data(), 1, w.Size(), f) == w.Size() && ok;
    *size += w.Size();
    w.bytes.clear();
  };
  for (int i = 0; i < kPairs; i++) {
    const double a = (i % 2 ? 1.2 : -1.2) + 0.01 * (i % 7), b = (i % 2 ? -1.3 : 1.3) - 0.01 * (i % 5);
    VmdBoneKey k;
    k.name = arm;
    k.frame = i * 1024;
    k.rot[0] = 0, k.rot[1] = float(std::sin(a / 2)) * 0.6f, k.rot[2] = float(std::sin(a / 2)) * 0.8f;
    k.rot[3] = float(std::cos(a / 2));
    k.interp = CurveBytes(uint8_t(100 + i % 27), uint8_t(5 + i % 11), uint8_t(10 + i % 13), uint8_t(120 - i % 9));
    w.Bone(k);
    k.name = twist;
    k.rot[0] = float(std::sin(b / 2)), k.rot[1] = k.rot[2] = 0, k.rot[3] = float(std::cos(b / 2));
    k.interp = CurveBytes(uint8_t(3 + i % 17), uint8_t(110 + i % 17), uint8_t(90 + i % 31), uint8_t(2 + i % 23));
    w.Bone(k);
    flush();
  }
  w.Count(kMorphs);
  for (int i = 0; i < kMorphs; i++) {
    w.Morph(morph, i, float(i % 100) / 100.0f);
    flush();
  }
  w.Count(0).Count(0).Count(0).Count(0);
  ok = std::fwrite(w.bytes.data(), 1, w.Size(), f) == w.Size() && ok;
  *size += w.Size();
  return std::fclose(f) == 0 && ok;
}

// Every key a key of the arm chains: the work budget at its largest.
bool WriteChainsWorst(const std::string& path, size_t* size) {
  static const char* const bones[12] = {"左肩P", "左肩", "左腕", "左腕捩", "左手捩", "左手首",
                                        "右肩P", "右肩", "右腕", "右腕捩", "右手捩", "右手首"};
  constexpr int kFrames = 7500;  // 90,000 keys
  VmdWriter w;
  w.Header().ModelName(SjisName("ベンチ用モデル")).Count(12 * kFrames);
  for (int i = 0; i < kFrames; i++) {
    for (int j = 0; j < 12; j++) {
      const double a = ((i + j) % 2 ? 1.2 : -1.2) + 0.01 * ((i + j) % 7);
      const double ax = std::sin(j * 1.3), ay = std::cos(j * 0.7), az = std::sin(j * 0.4 + 1);
      const double n = std::sqrt(ax * ax + ay * ay + az * az), s = std::sin(a / 2) / n;
      VmdBoneKey k{SjisName(bones[j]), i * 1024, {0, 0, 0},
                   {float(ax * s), float(ay * s), float(az * s), float(std::cos(a / 2))},
                   CurveBytes(uint8_t(3 + (i * 5 + j) % 120), uint8_t(110 - (i + j) % 100),
                              uint8_t(90 + (i + j) % 31), uint8_t(2 + (i * 3 + j) % 23))};
      w.Bone(k);
    }
  }
  w.Count(0).Count(0).Count(0).Count(0).Count(0);
  *size = w.Size();
  return w.Save(path);
}

const Corpus& TheCorpus() {
  static Corpus c;
  if (c.ok || !c.folder.empty()) return c;
  HeadlessReset();
  c.folder = VmdTempPath("bench_fix");
  if (mkdir(c.folder.c_str(), 0700) != 0) return c;
  for (int k = 0; k < 2; k++) {
    c.motion[k] = c.folder + (k ? "/arms.vmd" : "/dance.vmd");
    c.copy[k] = c.folder + (k ? "/arms.vrm.vmd" : "/dance.vrm.vmd");
    if (!WriteMotion(c.motion[k], k == 1, &c.bytes[k])) return c;
  }
  c.motion[2] = c.folder + "/worst.vmd";
  c.copy[2] = c.folder + "/worst.vrm.vmd";
  if (!WritePaddedWorst(c.motion[2], &c.bytes[2])) return c;
  c.motion[3] = c.folder + "/chains.vmd";
  c.copy[3] = c.folder + "/chains.vrm.vmd";
  if (!WriteChainsWorst(c.motion[3], &c.bytes[3])) return c;
  c.ok = true;
  return c;
}

int RunTool(const std::vector<std::string>& args) {
  static const std::string tool = Tool();
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(tool.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid;
  int r = posix_spawn(&pid, tool.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (r != 0) return -1;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

void Run(benchmark::State& state, int k) {
  const Corpus& c = TheCorpus();
  if (!c.ok) {
    state.SkipWithError("could not write the motion");
    return;
  }
  struct stat st = {};
  struct rusage r0;
  getrusage(RUSAGE_CHILDREN, &r0);
  for (auto _ : state) {
    // The worst cases may be refused (exit 1); anything else is a failure.
    const int rc = RunTool({c.motion[k]});
    if (rc != 0 && !(k >= 2 && rc == 1)) state.SkipWithError("the tool failed");
    state.PauseTiming();
    stat(c.copy[k].c_str(), &st);
    unlink(c.copy[k].c_str());  // the tool never replaces a copy
    state.ResumeTiming();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(c.bytes[k]));
  state.counters["copy_over_motion"] = double(st.st_size) / double(c.bytes[k]);
  struct rusage ru;
  getrusage(RUSAGE_CHILDREN, &ru);
  state.counters["child_peak_rss_MB"] = double(ru.ru_maxrss) / 1024.0;
  // On a shared machine the wall clock counts the other processes too: the
  // child's own processor time (user and system) gives the speed unshared.
  auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
  const double cpu = seconds(ru.ru_utime) - seconds(r0.ru_utime) + seconds(ru.ru_stime) - seconds(r0.ru_stime);
  if (cpu > 0) {
    state.counters["MB_per_cpu_second"] = double(c.bytes[k]) * double(state.iterations()) / cpu / 1048576.0;
    state.counters["cpu_seconds_per_10MB"] = cpu / double(state.iterations()) / (double(c.bytes[k]) / 1e7);
  }
}

void BM_Fix50MBDance(benchmark::State& s) { Run(s, 0); }
void BM_Fix50MBArmsOnly(benchmark::State& s) { Run(s, 1); }
void BM_Fix84MBPaddedWorst(benchmark::State& s) { Run(s, 2); }
void BM_Fix10MBChainsWorst(benchmark::State& s) { Run(s, 3); }

BENCHMARK(BM_Fix50MBDance)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_Fix50MBArmsOnly)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_Fix84MBPaddedWorst)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_Fix10MBChainsWorst)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
