// Writes VRM Animation files from synthetic data for the Node tests
// (tests/vrma_node/): vrma_make_sample OUT.vrma FRAMES. The animation is the
// one of tests/vrma_file/synthetic.h: the left arm lifts and bends, the hips
// bounce, "aa" opens and closes and the custom "ウィンク２" holds 0.5.
// Exit 0 when written.
#include <cstdio>
#include <cstdlib>

#include "tests/vrma_file/synthetic.h"
#include "vrma/vrma_file.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: vrma_make_sample OUT.vrma FRAMES\n", stderr);
    return 2;
  }
  const int frames = std::atoi(argv[2]);
  std::vector<unsigned char> glb;
  const int status = WriteVrma(SyntheticSkeleton(), *SyntheticAnimation(frames), &glb, nullptr);
  if (status != kVrmaWritten) {
    std::fprintf(stderr, "vrma_make_sample: %s\n", VrmaWriteStatusText(status));
    return 1;
  }
  FILE* f = std::fopen(argv[1], "wb");
  if (!f) return 1;
  const bool ok = std::fwrite(glb.data(), 1, glb.size(), f) == glb.size();
  return std::fclose(f) == 0 && ok ? 0 : 1;
}
