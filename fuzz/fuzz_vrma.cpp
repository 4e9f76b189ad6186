// The VRM Animation export on arbitrary bytes (VrmaExport: the pose stage,
// the morphs as expressions and the glTF writer, as tarvel-fix --vrma and
// the page run them), with the folds on, and off for inputs of odd size.
// Motions whose last key lies past kLastFrame are passed over (every frame
// is posed, the leg IK solved, and written: a far last key costs time, not
// coverage). Checked for what must hold whatever the input: no file but
// with a known status and a reason, never because the writer failed; a
// file with one frame more than the last key, unit rotations, a finite
// hips position, the ankles on their targets within reach (where every
// position is within a figure's range), and a whole glTF
// binary of the size it tells.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/headless/headless.h"
#include "vrma/vrma_export.h"

namespace {

constexpr int64_t kLastFrame = 300;

uint32_t U32(const uint8_t* p) {
  uint32_t v;
  memcpy(&v, p, 4);
  return v;
}

// The largest frame among the whole bone and morph records present (the
// header is 30 bytes, the model name 20; a bone record is 111 bytes, a
// morph record 23, each with its frame after a 15-byte name).
int64_t LastFrame(const uint8_t* data, size_t size) {
  int64_t last = -1;
  size_t at = 50;
  for (size_t record : {size_t(111), size_t(23)}) {
    if (size < at + 4) break;
    const uint64_t count = U32(data + at);
    at += 4;
    uint64_t i = 0;
    for (; i < count && size - at >= record; i++, at += record) last = std::max<int64_t>(last, U32(data + at + 15));
    if (i < count) break;  // cut inside the records
  }
  return last;
}

// Whether every bone key's position is a number within kPositionRange units
// (a figure stands within a few hundred): far beyond it a position carries
// too few significant bits for the ankle to land within 1 cm.
constexpr float kPositionRange = 1e5f;
bool PositionsInRange(const uint8_t* data, size_t size) {
  if (size < 54) return true;
  const uint64_t count = U32(data + 50);
  for (uint64_t i = 0; i < count && size - 54 >= (i + 1) * 111; i++) {
    for (int k = 0; k < 3; k++) {
      float v;
      memcpy(&v, data + 54 + i * 111 + 19 + 4 * k, 4);
      if (!(std::fabs(v) <= kPositionRange)) return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = (HeadlessReset(), true);  // the port the layers below call
  (void)ready;
  if (LastFrame(data, size) > kLastFrame) return 0;
  static std::vector<unsigned char> glb;
  VrmaExportOptions options;
  options.data = data;
  options.size = size;
  options.fold = size % 2 == 0;
  VrmaExportResult r;
  if (!VrmaExport(options, &glb, &r)) {
    static const char* const kWhy[] = {"not-a-motion", "no-bone-keys", "cut", "too-long", "bad-arm-angle"};
    bool known = false;
    for (const char* why : kWhy) known = known || (r.status && strcmp(r.status, why) == 0);
    if (!known || !r.reason || !*r.reason || !glb.empty()) abort();
    return 0;
  }
  if (r.status || r.reason || !r.anim) abort();
  const VrmaAnimation& a = *r.anim;
  if (r.pose.lastFrame > kLastFrame || a.frames != r.pose.lastFrame + 1) abort();
  if (a.rotation.size() != size_t(a.frames) * HB_COUNT * 4 || a.hips.size() != size_t(a.frames) * 3) abort();
  for (size_t i = 0; i < a.rotation.size(); i += 4) {
    const float* q = &a.rotation[i];
    const double n = double(q[0]) * q[0] + double(q[1]) * q[1] + double(q[2]) * q[2] + double(q[3]) * q[3];
    if (!(std::fabs(n - 1) < 1e-4)) abort();
  }
  for (float v : a.hips)
    if (!std::isfinite(v)) abort();
  if (r.pose.worstMissFrame >= 0 && !(r.pose.worstMiss <= kVrmaReachMargin) && PositionsInRange(data, size))
    abort();
  // The glTF binary: magic, version 2 and its length; a JSON chunk first.
  if (glb.size() < 20 || memcmp(glb.data(), "glTF", 4) != 0 || U32(glb.data() + 4) != 2 ||
      U32(glb.data() + 8) != glb.size() || r.file.bytes != glb.size() || U32(glb.data() + 16) != 0x4E4F534Au)
    abort();
  return 0;
}
