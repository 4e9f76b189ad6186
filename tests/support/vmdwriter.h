// Builds VMD motion files record by record in memory, so that a test states
// its input beside its assertions. Counts are written as given (they may lie);
// the bytes can be cut anywhere and trailing bytes appended.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Shift-JIS bytes of a UTF-8 text (the program's own converter).
std::string SjisName(const char* utf8);

struct VmdBoneKey {
  std::string name;  // Shift-JIS bytes; NUL-padded or cut to 15
  int32_t frame = 0;
  float pos[3] = {0, 0, 0};
  float rot[4] = {0, 0, 0, 1};  // x, y, z, w
  // 64 interpolation bytes; empty: a consistent linear curve
  std::vector<uint8_t> interp;
};

class VmdWriter {
 public:
  std::vector<uint8_t> bytes;

  // 30-byte header: the magic given (cut or padded with NUL to 30 bytes).
  VmdWriter& Header(const std::string& magic = std::string("Vocaloid Motion Data 0002\0\0\0\0\0", 30));
  // Model name field: 20 bytes, NUL-padded (or cut) from the bytes given.
  VmdWriter& ModelName(const std::string& name);
  VmdWriter& Count(int32_t n);
  VmdWriter& Bone(const VmdBoneKey& k);
  VmdWriter& Bone(const std::string& name, int32_t frame, float px = 0, float py = 0,
                  float pz = 0, float rx = 0, float ry = 0, float rz = 0, float rw = 1);
  VmdWriter& Morph(const std::string& name, int32_t frame, float weight);
  VmdWriter& Light(int32_t frame, float r = 0.6f, float g = 0.6f, float b = 0.6f,
                   float x = -0.5f, float y = -1.0f, float z = 0.5f);

  VmdWriter& Raw(const void* p, size_t n);
  VmdWriter& Byte(uint8_t b);
  VmdWriter& Int(int32_t v);
  VmdWriter& Float(float v);
  VmdWriter& Field(const std::string& s, size_t width);  // NUL-padded or cut
  // Keep only the first n bytes.
  VmdWriter& Cut(size_t n);

  size_t Size() const { return bytes.size(); }
  // Writes the bytes to path; false on failure.
  bool Save(const std::string& path) const;
};

// The interpolation bytes of a linear curve, laid out as a well-formed file
// carries them (every repeated byte equal to its reference value).
std::vector<uint8_t> LinearInterp();

// A fresh path in the test temp directory (the file is not created).
std::string VmdTempPath(const std::string& stem);
