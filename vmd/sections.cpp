#include "vmd/sections.h"

#include <cstring>

namespace {

constexpr size_t kCountAt = 30 + 20;           // the bone count, after header and model name
constexpr size_t kBoneStart = kCountAt + 4;

int64_t CountAt(const uint8_t* p) {
  int32_t v;
  memcpy(&v, p, 4);
  return v;
}

}  // namespace

int VmdFindSections(const uint8_t* data, size_t size, VmdSections* s) {
  *s = VmdSections();
  static const uint8_t kMagic[4] = {'V', 'o', 'c', 'a'}, kVersion[4] = {'0', '0', '0', '2'};
  if (!data || size < 25 || memcmp(data, kMagic, 4) != 0 || memcmp(data + 21, kVersion, 4) != 0)
    return kVmdSectionsNotMotion;
  if (size < kBoneStart) return kVmdSectionsWhole;  // no bone keys at all
  const int64_t bones = CountAt(data + kCountAt);
  const int64_t present = int64_t(size - kBoneStart) / int64_t(kVmdBoneRecord);
  if (bones < 0 || bones > present) {
    s->cutSection = 1;
    s->cutDeclared = bones;
    s->cutPresent = bones < 0 ? 0 : present;
    return kVmdSectionsCut;
  }
  s->bones = data + kBoneStart;
  s->boneCount = bones;
  const size_t boneEnd = kBoneStart + size_t(bones) * kVmdBoneRecord;
  if (boneEnd == size) return kVmdSectionsWhole;
  if (size - boneEnd < 4) {
    s->cutSection = 2;
    return kVmdSectionsCut;
  }
  const int64_t morphs = CountAt(data + boneEnd);
  const int64_t room = int64_t(size - boneEnd - 4) / int64_t(kVmdMorphRecord);
  if (morphs < 0 || morphs > room) {
    s->cutSection = 2;
    s->cutDeclared = morphs;
    s->cutPresent = morphs < 0 ? 0 : room;
    return kVmdSectionsCut;
  }
  s->morphs = data + boneEnd + 4;
  s->morphCount = morphs;
  return kVmdSectionsWhole;
}
