#include "base/control_escape.h"

namespace {

void Hex(std::string* out, unsigned char b) {
  static const char kDigits[] = "0123456789abcdef";
  *out += "\\x";
  *out += kDigits[b >> 4];
  *out += kDigits[b & 15];
}

}  // namespace

void AppendEscaped(std::string* out, const char* s) {
  const unsigned char* u = reinterpret_cast<const unsigned char*>(s ? s : "");
  for (size_t i = 0; u[i]; i++) {
    if (u[i] < 0x20 || u[i] == 0x7F) {
      Hex(out, u[i]);
    } else if (u[i] == 0xC2 && u[i + 1] >= 0x80 && u[i + 1] <= 0x9F) {
      Hex(out, u[i]);
      Hex(out, u[i + 1]);
      i++;
    } else {
      *out += static_cast<char>(u[i]);
    }
  }
}

std::string Escaped(const char* s) {
  std::string out;
  AppendEscaped(&out, s);
  return out;
}
