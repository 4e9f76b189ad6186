#include "base/numtext.h"

#include <clocale>
#include <cstdio>
#include <cstring>

// One number formatted by printf without a width, its decimal point put back
// to '.' (the locale's may be ',' or a multi-byte mark), then right-aligned.
static int Put(char* dst, int cap, double v, char conv, int width, int prec) {
  if (!dst || cap < 1) return -1;
  dst[0] = 0;
  if (prec < 0) prec = 0;
  if (prec > 60) prec = 60;
  char tmp[400];  // the widest double in fixed form: 309 digits, the point, 60 digits
  const char fmt[] = {'%', '.', '*', conv, 0};
  int n = snprintf(tmp, sizeof tmp, fmt, prec, v);
  if (n < 0 || n >= (int)sizeof tmp) return -1;
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
