#include "fix/fix_layout.h"

#include <algorithm>

namespace fixplay {

int ReadLayout(const uint8_t* data, size_t size, Layout* out) {
  *out = {};
  static const uint8_t kMagic[4] = {'V', 'o', 'c', 'a'}, kVersion[4] = {'0', '0', '0', '2'};
  if (!data || size < 25 || memcmp(data, kMagic, 4) != 0 || memcmp(data + 21, kVersion, 4) != 0)
    return kLayoutNotMotion;
  if (size < kBoneStart) return kLayoutNoBones;
  const int64_t bones = std::max<int32_t>(0, IntAt(data + kHeaderBytes + kModelBytes));
  const int64_t present = int64_t(size - kBoneStart) / int64_t(kBoneRecord);
  if (bones > present) {
    out->cutSection = 1;
    out->cutDeclared = bones;
    out->cutPresent = present;
    return kLayoutCut;
  }
  out->bones = bones;
  out->boneEnd = kBoneStart + size_t(bones) * kBoneRecord;
  if (out->boneEnd < size) {
    if (size - out->boneEnd < 4) {
      out->cutSection = 2;
      return kLayoutCut;
    }
    const int64_t morphs = std::max<int32_t>(0, IntAt(data + out->boneEnd));
    const int64_t room = int64_t(size - out->boneEnd - 4) / int64_t(kMorphRecord);
    if (morphs > room) {
      out->cutSection = 2;
      out->cutDeclared = morphs;
      out->cutPresent = room;
      return kLayoutCut;
    }
    out->morphs = morphs;
  }
  return kLayoutWhole;
}

}  // namespace fixplay
