#include "platform/common/path_utf.h"

#include <cstdint>
#include <cstring>

bool PathUtf16ToUtf8(char* dst, int cap, const char16_t* src) {
  if (cap < 1) return false;
  int o = 0;
  for (int i = 0; src[i]; i++) {
    uint32_t c = src[i];
    if (c >= 0xD800 && c <= 0xDBFF && src[i + 1] >= 0xDC00 && src[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c & 0x3FF) << 10) + (src[i + 1] & 0x3FF);
      i++;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    char b[4];
    int n;
    if (c < 0x80) {
      b[0] = (char)c;
      n = 1;
    } else if (c < 0x800) {
      b[0] = (char)(0xC0 | (c >> 6));
      b[1] = (char)(0x80 | (c & 0x3F));
      n = 2;
    } else if (c < 0x10000) {
      b[0] = (char)(0xE0 | (c >> 12));
      b[1] = (char)(0x80 | ((c >> 6) & 0x3F));
      b[2] = (char)(0x80 | (c & 0x3F));
      n = 3;
    } else {
      b[0] = (char)(0xF0 | (c >> 18));
      b[1] = (char)(0x80 | ((c >> 12) & 0x3F));
      b[2] = (char)(0x80 | ((c >> 6) & 0x3F));
      b[3] = (char)(0x80 | (c & 0x3F));
      n = 4;
    }
    if (o + n >= cap) {
      dst[o] = 0;
      return false;
    }
    memcpy(dst + o, b, (size_t)n);
    o += n;
  }
  dst[o] = 0;
  return true;
}

bool PathUtf8ToUtf16(char16_t* dst, int cap, const char* src) {
  if (cap < 1) return false;
  const unsigned char* s = (const unsigned char*)src;
  int o = 0;
  while (*s) {
    uint32_t c = *s++;
    int more = 0;
    if (c >= 0xF0 && c <= 0xF7) {
      c &= 7;
      more = 3;
    } else if (c >= 0xE0 && c <= 0xEF) {
      c &= 0xF;
      more = 2;
    } else if (c >= 0xC0 && c <= 0xDF) {
      c &= 0x1F;
      more = 1;
    } else if (c >= 0x80) {
      c = 0xFFFD;
    }
    for (; more > 0; more--) {
      if ((*s & 0xC0) != 0x80) {
        c = 0xFFFD;
        break;
      }
      c = (c << 6) | (*s++ & 0x3F);
    }
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
    int need = c >= 0x10000 ? 2 : 1;
    if (o + need >= cap) {
      dst[o] = 0;
      return false;
    }
    if (c >= 0x10000) {
      c -= 0x10000;
      dst[o++] = (char16_t)(0xD800 + (c >> 10));
      dst[o++] = (char16_t)(0xDC00 + (c & 0x3FF));
    } else {
      dst[o++] = (char16_t)c;
    }
  }
  dst[o] = 0;
  return true;
}
