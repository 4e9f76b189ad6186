// Writes a large motion for the browser tests: web_make_motion OUT MEGABYTES.
// Bone keys cycle over built-in bone names and names only the motion brings,
// with a slowly turning rotation; a few morph keys follow. Exit 0 when written.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "tests/support/vmdwriter.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: web_make_motion OUT MEGABYTES\n", stderr);
    return 2;
  }
  HeadlessReset();
  const long keys = std::atol(argv[2]) * 1000000L / 111;  // a bone key is 111 bytes
  std::vector<std::string> bones;
  for (const char* b : {"センター", "グルーブ", "上半身", "上半身2", "下半身", "首", "頭", "両目",
                        "左肩", "左腕", "左腕捩", "左ひじ", "左手捩", "左手首", "右肩", "右腕",
                        "右腕捩", "右ひじ", "右手捩", "右手首", "左足ＩＫ", "右足ＩＫ", "左足", "右足",
                        "左ひざ", "右ひざ", "左つま先ＩＫ", "右つま先ＩＫ", "左親指１", "右親指１"})
    bones.push_back(SjisName(b));
  for (int i = 0; i < 30; i++) bones.push_back("own_bone_" + std::to_string(i));
  FILE* f = std::fopen(argv[1], "wb");
  if (!f) return 1;
  VmdWriter w;
  w.Header().ModelName(SjisName("大きなモデル")).Count(int32_t(keys));
  bool ok = true;
  for (long i = 0; i < keys && ok; i++) {
    const float s = float(std::sin(i * 0.0007)) * 0.4f;
    w.Bone(bones[size_t(i) % bones.size()], int32_t(i / long(bones.size())), 0, s, 0, s, 0, 0,
           std::sqrt(1.0f - s * s));
    if (w.Size() >= (1u << 20) || i + 1 == keys) {
      ok = std::fwrite(w.bytes.data(), 1, w.Size(), f) == w.Size();
      w.bytes.clear();
    }
  }
  w.Count(300);
  for (int i = 0; i < 300; i++) w.Morph(SjisName(i % 2 ? "あ" : "まばたき"), i, float(i % 10) / 10.0f);
  w.Count(0).Count(0).Count(0).Count(0);
  ok = ok && std::fwrite(w.bytes.data(), 1, w.Size(), f) == w.Size();
  return std::fclose(f) == 0 && ok ? 0 : 1;
}
