#include "fix/fix_layout.h"

namespace fixplay {

int ReadLayout(const uint8_t* data, size_t size, Layout* out) {
  *out = {};
  static const uint8_t kMagic[4] = {'V', 'o', 'c', 'a'}, kVersion[4] = {'0', '0', '0', '2'};
  if (!data || size < 25 || memcmp(data, kMagic, 4) != 0 || memcmp(data + 21, kVersion, 4) != 0)
    return kLayoutNotMotion;
  if (size < kBoneStart) return kLayoutNoBones;
  const int64_t bones = IntAt(data + kHeaderBytes + kModelBytes);
  const int64_t present = int64_t(size - kBoneStart) / int64_t(kBoneRecord);
  if (bones < 0 || bones > present) {
    out->cutSection = 1;
    out->cutDeclared = bones;
    out->cutPresent = bones < 0 ? 0 : present;
    return kLayoutBonesCut;
  }
  out->bones = bones;
  out->boneEnd = kBoneStart + size_t(bones) * kBoneRecord;
  if (out->boneEnd < size) {
    const size_t left = size - out->boneEnd;
    const int64_t morphs = left < 4 ? 0 : IntAt(data + out->boneEnd);
    const int64_t room = left < 4 ? 0 : int64_t(left - 4) / int64_t(kMorphRecord);
    if (left < 4 || morphs < 0 || morphs > room) {
      out->cutSection = 2;
      out->cutDeclared = morphs;
      out->cutPresent = morphs < 0 ? 0 : room;
      return kLayoutMorphsCut;
    }
    out->morphs = morphs;
  }
  return kLayoutWhole;
}

}  // namespace fixplay
