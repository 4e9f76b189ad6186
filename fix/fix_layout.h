// The layout of a motion file, as everything that reads one finds it: the
// header (30 bytes) and the model's name (20), then the bone section (a
// count, records of 111 bytes) and the morph section (a count, records of
// 23 bytes); numbers little-endian.
#pragma once
#include <cstddef>
#include <cstdint>
#include <bit>
#include <cstring>

static_assert(std::endian::native == std::endian::little, "the motion's numbers are little-endian");

namespace fixplay {

constexpr size_t kHeaderBytes = 30;
constexpr size_t kModelBytes = 20;
constexpr size_t kBoneStart = kHeaderBytes + kModelBytes + 4;  // after the bone count
constexpr size_t kMorphRecord = 23;
// A bone record: name 15 bytes, frame, position, rotation (x, y, z, w),
// 64 interpolation bytes.
constexpr size_t kBoneRecord = 111;
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

enum LayoutStatus {
  kLayoutWhole,       // the bone and morph sections are whole
  kLayoutNotMotion,   // the header is not a motion's
  kLayoutNoBones,     // the file ends before the bone count
  kLayoutBonesCut,    // the file ends inside its bone keys
  kLayoutMorphsCut,   // the bone keys are whole, the file ends inside its morph keys
};

struct Layout {
  int64_t bones;   // bone records
  size_t boneEnd;  // where the bone section ends
  int64_t morphs;  // morph records; 0 when the file ends with the bone section
  // A cut: the section the file ends in (1 bone, 2 morph), the records its
  // count declares (negative: the count is, and nothing after it is read, as
  // the reader says; 0: the file ends inside the count) and the whole ones
  // present.
  int cutSection;
  int64_t cutDeclared, cutPresent;
};

// Reads the header and the counts of the bone and morph sections.
int ReadLayout(const uint8_t* data, size_t size, Layout* out);

}  // namespace fixplay
