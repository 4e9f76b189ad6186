// Where a motion's bone and morph keys lie in its bytes, and whether they
// are whole: what every part that reads the keys straight from the bytes
// checks first.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr size_t kVmdBoneRecord = 111, kVmdMorphRecord = 23;

enum VmdSectionsStatus {
  kVmdSectionsWhole,      // the bone and morph keys are all there (or absent)
  kVmdSectionsNotMotion,  // the header is not a motion's
  kVmdSectionsCut,        // the file ends inside its bone or morph keys
};

struct VmdSections {
  const uint8_t* bones = nullptr;   // the first bone record; null when the file ends before the bone count
  int64_t boneCount = 0;
  const uint8_t* morphs = nullptr;  // the first morph record; null when the file ends after the bone keys
  int64_t morphCount = 0;
  // kVmdSectionsCut: the section the file ends in (1 bone, 2 morph), the
  // records its count declares and the whole ones present (0 and 0 when it
  // ends inside the morph count).
  int cutSection = 0;
  int64_t cutDeclared = 0, cutPresent = 0;
};

// The sections of the motion (size bytes at data): 30 bytes of header
// ("Vocaloid Motion Data 0002"), 20 of model name, then each section's count
// and records. A negative count places nothing after it: the file is cut
// there, as the reader says (cutDeclared holds the count, cutPresent 0).
// Returns a VmdSectionsStatus.
int VmdFindSections(const uint8_t* data, size_t size, VmdSections* s);
