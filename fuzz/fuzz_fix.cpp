// The fold on arbitrary bytes. Checked for what must hold whatever the input:
// a known status; a copy only when folded, beginning with the motion's
// header and model name, within twice the motion's size (plus 64 KiB), with
// as many bone records as its count says and the motion's bytes after the
// bone section; and a copy in which only the folds refused are left to do.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fix/fix.h"
#include "platform/headless/headless.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::vector<uint8_t> copy, again;
  static const bool ready = (HeadlessReset(), true);  // the port the layers below call
  (void)ready;
  FixResult r;
  const int status = FixMotion(data, size, &r, &copy);
  if (status < 0 || status >= kFixStatuses || status != r.status) abort();
  if (status != kFixDone) return 0;
  if (copy.size() < 54 || memcmp(copy.data(), data, 50) != 0) abort();
  if (copy.size() > 2 * size + 65536 || int64_t(copy.size()) != r.bytesOut) abort();
  int32_t count;
  memcpy(&count, copy.data() + 50, 4);
  if (count != r.boneKeysAfter) abort();
  const size_t boneEnd = 54 + size_t(count) * 111;
  const size_t motionEnd = 54 + size_t(r.boneKeysBefore) * 111;
  if (copy.size() - boneEnd != size - motionEnd ||
      memcmp(copy.data() + boneEnd, data + motionEnd, size - motionEnd) != 0)
    abort();
  FixResult r2;
  FixMotion(copy.data(), copy.size(), &r2, &again);
  if (r2.wanted != (r.wanted & ~r.folded)) abort();
  return 0;
}
