#include "tests/support/vmdwriter.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "base/encoding.h"

std::string SjisName(const char* utf8) {
  char buf[256];
  utf8tosjis(buf, sizeof buf, utf8);
  return std::string(buf);
}

std::vector<uint8_t> LinearInterp() {
  // one row: X, Y, Z, R of ax, then of ay, bx, by
  uint8_t row[16];
  for (int i = 0; i < 8; i++) row[i] = 20;
  for (int i = 8; i < 16; i++) row[i] = 107;
  std::vector<uint8_t> b(64, 0);
  // four rows, each starting one parameter later
  for (int r = 0; r < 4; r++)
    for (int i = r; i < 16; i++) b[size_t(r * 16 + i - r)] = row[i];
  return b;
}

VmdWriter& VmdWriter::Raw(const void* p, size_t n) {
  const uint8_t* s = static_cast<const uint8_t*>(p);
  bytes.insert(bytes.end(), s, s + n);
  return *this;
}

VmdWriter& VmdWriter::Byte(uint8_t b) { return Raw(&b, 1); }

VmdWriter& VmdWriter::Int(int32_t v) {
  const uint32_t u = static_cast<uint32_t>(v);
  const uint8_t b[4] = {uint8_t(u), uint8_t(u >> 8), uint8_t(u >> 16), uint8_t(u >> 24)};
  return Raw(b, 4);
}

VmdWriter& VmdWriter::Float(float v) {
  uint32_t u;
  std::memcpy(&u, &v, 4);
  return Int(static_cast<int32_t>(u));
}

VmdWriter& VmdWriter::Field(const std::string& s, size_t width) {
  for (size_t i = 0; i < width; i++) Byte(i < s.size() ? uint8_t(s[i]) : 0);
  return *this;
}

VmdWriter& VmdWriter::Header(const std::string& magic) { return Field(magic, 30); }

VmdWriter& VmdWriter::ModelName(const std::string& name) { return Field(name, 20); }

VmdWriter& VmdWriter::Count(int32_t n) { return Int(n); }

VmdWriter& VmdWriter::Bone(const VmdBoneKey& k) {
  Field(k.name, 15);
  Int(k.frame);
  for (float v : k.pos) Float(v);
  for (float v : k.rot) Float(v);
  const std::vector<uint8_t> interp = k.interp.empty() ? LinearInterp() : k.interp;
  for (size_t i = 0; i < 64; i++) Byte(i < interp.size() ? interp[i] : 0);
  return *this;
}

VmdWriter& VmdWriter::Bone(const std::string& name, int32_t frame, float px, float py,
                           float pz, float rx, float ry, float rz, float rw) {
  VmdBoneKey k;
  k.name = name;
  k.frame = frame;
  k.pos[0] = px;
  k.pos[1] = py;
  k.pos[2] = pz;
  k.rot[0] = rx;
  k.rot[1] = ry;
  k.rot[2] = rz;
  k.rot[3] = rw;
  return Bone(k);
}

VmdWriter& VmdWriter::Morph(const std::string& name, int32_t frame, float weight) {
  return Field(name, 15).Int(frame).Float(weight);
}

VmdWriter& VmdWriter::Light(int32_t frame, float r, float g, float b, float x, float y,
                            float z) {
  return Int(frame).Float(r).Float(g).Float(b).Float(x).Float(y).Float(z);
}

VmdWriter& VmdWriter::Cut(size_t n) {
  if (n < bytes.size()) bytes.resize(n);
  return *this;
}

bool VmdWriter::Save(const std::string& path) const {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const size_t put = bytes.empty() ? 0 : std::fwrite(bytes.data(), 1, bytes.size(), f);
  const bool ok = std::fclose(f) == 0 && put == bytes.size();
  return ok;
}

std::string VmdTempPath(const std::string& stem) {
  static int serial = 0;
  std::error_code ec;
  std::filesystem::path dir = std::filesystem::temp_directory_path(ec);
  if (ec) dir = "/tmp";
  return (dir / ("tarvel_" + std::to_string(getpid()) + "_" + std::to_string(++serial) + "_" +
                 stem))
      .string();
}
