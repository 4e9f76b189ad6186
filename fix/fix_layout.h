// A motion's bone record as the fold reads it: its fields, and the
// little-endian numbers in them. Where the sections lie is vmd/sections'.
#pragma once
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "vmd/sections.h"

static_assert(std::endian::native == std::endian::little, "the motion's numbers are little-endian");

namespace fixplay {

constexpr size_t kHeaderBytes = 30;
constexpr size_t kModelBytes = 20;
constexpr size_t kBoneStart = kHeaderBytes + kModelBytes + 4;  // after the bone count
// A bone record: name 15 bytes, frame, position, rotation (x, y, z, w),
// 64 interpolation bytes.
constexpr size_t kBoneRecord = kVmdBoneRecord;
constexpr size_t kFrameAt = 15, kPosAt = 19, kRotAt = 31, kInterpAt = 47;

inline float FloatAt(const uint8_t* p) {
  float f;
  memcpy(&f, p, 4);
  return f;
}
inline int32_t IntAt(const uint8_t* p) {
  int32_t v;
  memcpy(&v, p, 4);
  return v;
}
inline uint32_t UintAt(const uint8_t* p) {
  uint32_t v;
  memcpy(&v, p, 4);
  return v;
}

// The name field of a record: up to its first NUL, at most cap bytes.
inline int NameLength(const uint8_t* field, int cap) {
  const void* z = memchr(field, 0, size_t(cap));
  return z ? int(static_cast<const uint8_t*>(z) - field) : cap;
}

}  // namespace fixplay
