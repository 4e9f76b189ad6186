#include "base/numtext.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>

// printf's text of v in the C locale, without a width: the length, or -1.
static int Printf(char* tmp, int cap, double v, char conv, int prec) {
#if defined(__cpp_lib_to_chars)
  // std::to_chars with a precision gives printf's digits in the C locale, and
  // a good deal faster; printf keeps the texts of NaN and the infinities.
  if (std::isfinite(v)) {
    const auto r = std::to_chars(tmp, tmp + cap - 1, v,
                                 conv == 'f' ? std::chars_format::fixed : std::chars_format::general,
                                 prec);
    if (r.ec != std::errc()) return -1;
    *r.ptr = 0;
    return (int)(r.ptr - tmp);
  }
#endif
  const char fmt[] = {'%', '.', '*', conv, 0};
  int n = snprintf(tmp, (size_t)cap, fmt, prec, v);
  if (n < 0 || n >= cap) return -1;
  // The decimal point put back to '.' (the locale's may be ',' or a
  // multi-byte mark).
  const lconv* lc = localeconv();
  const char* point = lc && lc->decimal_point && lc->decimal_point[0] ? lc->decimal_point : ".";
  int plen = (int)strlen(point);
  if (strcmp(point, ".") != 0) {
    if (char* at = strstr(tmp, point)) {
      *at = '.';
      memmove(at + 1, at + plen, (size_t)(tmp + n - (at + plen)) + 1);
      n -= plen - 1;
    }
  }
  return n;
}

// One number formatted as printf does without a width, then right-aligned.
static int Put(char* dst, int cap, double v, char conv, int width, int prec) {
  if (!dst || cap < 1) return -1;
  dst[0] = 0;
  if (prec < 0) prec = 0;
  if (prec > 60) prec = 60;
  char tmp[400];  // the widest double in fixed form: 309 digits, the point, 60 digits
  const int n = Printf(tmp, (int)sizeof tmp, v, conv, prec);
  if (n < 0) return -1;
  int pad = width > n ? width - n : 0;
  if (pad + n >= cap) return -1;
  memset(dst, ' ', (size_t)pad);
  memcpy(dst + pad, tmp, (size_t)n + 1);
  return pad + n;
}

int FormatFixed(char* dst, int cap, double v, int width, int prec) {
  return Put(dst, cap, v, 'f', width, prec);
}

int FormatGeneral(char* dst, int cap, double v, int prec) { return Put(dst, cap, v, 'g', 0, prec); }
