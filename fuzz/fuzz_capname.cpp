// The capture name choice on arbitrary folders. Each input byte says what
// stands under the name cap(N).bmp for N = 1, 2, ...: nothing, a file, a
// folder, a FIFO, a link to a file outside, a dangling link that points
// outside, or a file that cannot be read. Then one capture is saved (an 8 x 2
// canvas). Checked: the capture is the first N under which nothing stood, it
// is a whole BMP, nothing else in the folder changed, and nothing was written
// outside it (through a link).
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/encoding.h"
#include "base/runenv.h"
#include "display/canvas.h"
#include "display/capture.h"
#include "platform/headless/headless.h"

namespace {

constexpr int kNames = 12;  // cap(1) .. cap(12) come from the input
constexpr long kBmpSize = 8 * 3 * 2 + 54;
char gDir[256], gOut[256];

std::string Cap(int n) { return std::string(gDir) + "/cap(" + std::to_string(n) + ").bmp"; }
std::string Outside(const char* name) { return std::string(gOut) + "/" + name; }

void Clear() {
  for (int n = 1; n <= kNames + 1; n++) {
    const std::string p = Cap(n);
    if (rmdir(p.c_str()) != 0) unlink(p.c_str());
  }
  unlink(Outside("target").c_str());
  unlink(Outside("dangling").c_str());
}

bool Setup() {
  HeadlessReset();
  ResetRunEnv();
  snprintf(gDir, sizeof gDir, "/tmp/tarvel-fuzz-capname-%d", static_cast<int>(getpid()));
  snprintf(gOut, sizeof gOut, "%s-out", gDir);
  mkdir(gDir, 0700);
  mkdir(gOut, 0700);
  snprintf(gRun.exeDirA, sizeof gRun.exeDirA, "%s/", gDir);
  for (int i = 0; gRun.exeDirA[i]; ++i) gRun.exeDirW[i] = static_cast<unsigned char>(gRun.exeDirA[i]);
  CanvasCreate(8, 2);
  atexit([] {
    Clear();
    rmdir(gDir);
    rmdir(gOut);
  });
  return true;
}

long SizeOf(const std::string& p) {
  struct stat st;
  return lstat(p.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = Setup();
  (void)ready;
  FILE* t = fopen(Outside("target").c_str(), "wb");
  if (!t) return 0;
  fputs("keep", t);
  fclose(t);
  int firstFree = 0;
  for (int n = 1; n <= kNames; n++) {
    const int kind = n <= static_cast<int>(size) ? data[n - 1] % 7 : 0;
    const std::string p = Cap(n);
    bool made = true;
    switch (kind) {
      case 0: made = false; break;
      case 1: { FILE* f = fopen(p.c_str(), "wb"); if (f) fclose(f); break; }
      case 2: mkdir(p.c_str(), 0700); break;
      case 3: mkfifo(p.c_str(), 0600); break;
      case 4: symlink(Outside("target").c_str(), p.c_str()); break;
      case 5: symlink(Outside("dangling").c_str(), p.c_str()); break;
      case 6: { FILE* f = fopen(p.c_str(), "wb"); if (f) fclose(f); chmod(p.c_str(), 0200); break; }
    }
    if (!made && !firstFree) firstFree = n;
  }
  if (!firstFree) firstFree = kNames + 1;

  if (SaveCapture() != 0) __builtin_trap();
  if (SizeOf(Cap(firstFree)) != kBmpSize) __builtin_trap();
  for (int n = 1; n < firstFree; n++) {
    struct stat st;
    if (lstat(Cap(n).c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size != 0) __builtin_trap();
  }
  for (int n = firstFree + 1; n <= kNames + 1; n++) {
    struct stat st;
    if (lstat(Cap(n).c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size != 0) __builtin_trap();
  }
  if (SizeOf(Outside("target")) != 4 || SizeOf(Outside("dangling")) != -1) __builtin_trap();
  Clear();
  return 0;
}
