// Feeds the input to every text converter: as Shift-JIS / UTF-8 bytes and as
// UTF-16 units (little-endian byte pairs), under the three kinds of narrow
// code page, into destinations of several capacities. Every destination is a
// heap block of exactly its capacity, so AddressSanitizer catches a write past
// it; the results must be terminated inside the capacity, and a conversion cut
// short by a small capacity must be a prefix of the full one.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "base/encoding.h"
#include "platform/headless/headless.h"

namespace {

constexpr int kCaps[] = {0, 1, 2, 3, 4, 7, 8, 13, 64, 521, 4096};
constexpr int kFullCap = 1 << 16;
constexpr size_t kMaxInput = 24000;  // room past the 9999 count limits

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

template <typename Ch>
size_t Len(const Ch* s, int cap) {
  size_t n = 0;
  while ((int)n < cap && s[n] != 0) n++;
  return n;
}

// Runs conv into an exact-size block of each capacity and once into a large
// one; checks termination and the prefix property.
template <typename Ch, typename Conv>
void Sweep(Conv conv) {
  Ch* full = new Ch[kFullCap];
  conv(full, kFullCap);
  size_t fullLen = Len(full, kFullCap);
  Check(fullLen < (size_t)kFullCap);
  for (int cap : kCaps) {
    Ch* d = new Ch[cap];
    conv(d, cap);
    if (cap > 0) {
      size_t n = Len(d, cap);
      Check(n < (size_t)cap);
      Check(n <= fullLen && memcmp(d, full, n * sizeof(Ch)) == 0);
    }
    delete[] d;
  }
  delete[] full;
}

// The appending converters, onto an existing string of `keep` units (cut to
// the capacity; unterminated when it does not fit).
template <typename Ch, typename Cat>
void SweepCat(const Ch* existing, size_t keep, Cat cat) {
  for (int cap : kCaps) {
    Ch* d = new Ch[cap];
    for (int i = 0; i < cap; i++) d[i] = (i < (int)keep) ? (existing[i] ? existing[i] : (Ch)'a') : 0;
    cat(d, cap);
    delete[] d;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  if (size > kMaxInput) size = kMaxInput;
  static const uint32_t kPages[] = {932, 65001, 1252};
  HeadlessReset();
  gHeadless.codePage = kPages[data[0] % 3];
  data++;
  size--;

  std::string narrow(reinterpret_cast<const char*>(data), size);  // zero-terminated at size
  std::u16string wide(size / 2, u'\0');
  for (size_t i = 0; i < wide.size(); i++) wide[i] = (char16_t)(data[2 * i] | data[2 * i + 1] << 8);
  const char* n = narrow.c_str();
  const char16_t* w = wide.c_str();

  sjis2uni(size >= 2 ? data[0] * 256u + data[1] : 0);
  uni2sjis(wide.empty() ? 0 : wide[0]);
  unichksjis(w);
  unilen(w);

  Sweep<char16_t>([&](char16_t* d, int c) { sjistouni(d, c, n); });
  Sweep<char16_t>([&](char16_t* d, int c) { utf8touni(d, c, n); });
  Sweep<char16_t>([&](char16_t* d, int c) { narrowtouni(d, c, n); });
  Sweep<char16_t>([&](char16_t* d, int c) { unicpy(d, c, w); });
  Sweep<char>([&](char* d, int c) { unitosjis(d, c, w); });
  Sweep<char>([&](char* d, int c) { unitoutf8(d, c, w); });
  Sweep<char>([&](char* d, int c) { unitonarrow(d, c, w); });
  Sweep<char>([&](char* d, int c) { utf8tosjis(d, c, n); });
  Sweep<char>([&](char* d, int c) { sjistoutf8(d, c, n); });

  size_t keep = size % 17;
  SweepCat<char16_t>(w, keep < wide.size() ? keep : wide.size(),
                     [&](char16_t* d, int c) { sjiscatuni(d, c, n); });
  SweepCat<char16_t>(w, keep < wide.size() ? keep : wide.size(),
                     [&](char16_t* d, int c) { unicat(d, c, w); });
  SweepCat<char>(n, keep < size ? keep : size, [&](char* d, int c) { sjiscatutf8(d, c, n); });
  return 0;
}
