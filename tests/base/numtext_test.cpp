#include "base/numtext.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "tests/support/comma_locale.h"

namespace {

// The same text as printf in the C locale, whatever the process locale;
// never more than the destination holds.
TEST(NumText, AsPrintfInTheCLocale) {
  const double values[] = {0.0, -0.0, 2.25, -30.46875, 118.68000030517578, 1e-7, 123456789.0,
                           1e300, -1e300, HUGE_VAL};
  CommaLocale de;
  for (bool comma : {false, true}) {
    if (comma && !de.Ok()) break;
    if (!comma) setlocale(LC_ALL, "C");
    for (double v : values) {
      char want[400], got[400];
      setlocale(LC_NUMERIC, "C");
      snprintf(want, sizeof want, "%10.2f", v);
      if (comma) setlocale(LC_NUMERIC, "de_DE.UTF-8");
      EXPECT_EQ((int)strlen(want), FormatFixed(got, sizeof got, v, 10, 2));
      EXPECT_STREQ(want, got) << v;
      setlocale(LC_NUMERIC, "C");
      snprintf(want, sizeof want, "%g", v);
      if (comma) setlocale(LC_NUMERIC, "de_DE.UTF-8");
      EXPECT_EQ((int)strlen(want), FormatGeneral(got, sizeof got, v));
      EXPECT_STREQ(want, got) << v;
    }
  }
  char small[6];
  memset(small, 'x', sizeof small);
  EXPECT_EQ(-1, FormatFixed(small, 5, 12.5, 0, 2));  // "12.50" needs 6 bytes
  EXPECT_STREQ("", small);
  EXPECT_EQ('x', small[5]);
  EXPECT_EQ(5, FormatFixed(small, 6, 12.5, 0, 2));
  EXPECT_STREQ("12.50", small);
}

// Any double, any precision: printf's digits and rounding.
TEST(NumText, RandomValuesAsPrintf) {
  setlocale(LC_ALL, "C");
  uint64_t x = 88172645463325252u;
  for (int i = 0; i < 4000; i++) {
    x ^= x << 13, x ^= x >> 7, x ^= x << 17;  // xorshift
    double v;
    if (i % 2) {
      memcpy(&v, &x, sizeof v);  // any bit pattern: NaN, huge, tiny
    } else {
      v = (double)(int64_t)(x >> 20) / (double)(1u << (x % 30));  // report-like
    }
    const int prec = (int)(x % 13);
    char want[400], got[400];
    snprintf(want, sizeof want, "%*.*f", 6, prec, v);
    ASSERT_EQ(FormatFixed(got, sizeof got, v, 6, prec), (int)strlen(want));
    ASSERT_STREQ(want, got) << i;
    snprintf(want, sizeof want, "%.*g", prec, v);
    ASSERT_EQ(FormatGeneral(got, sizeof got, v, prec), (int)strlen(want));
    ASSERT_STREQ(want, got) << i;
  }
}

}  // namespace
