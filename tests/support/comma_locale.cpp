#include "tests/support/comma_locale.h"

#include <clocale>
#include <cstdlib>
#include <cstring>

static bool CommaDecimal() {
  const lconv* lc = localeconv();
  return lc && lc->decimal_point && strcmp(lc->decimal_point, ",") == 0;
}

#ifdef _WIN32
// The Windows C library has no such locale by name; the tests skip there.
CommaLocale::CommaLocale() {}
CommaLocale::~CommaLocale() {}
#else
CommaLocale::CommaLocale() {
  if (const char* p = getenv("LOCPATH")) {
    hadLocpath_ = true;
    oldLocpath_ = p;
  }
  if (setlocale(LC_ALL, "de_DE.UTF-8") && CommaDecimal()) {
    ok_ = true;
    return;
  }
  if (!dir_.Ok()) return;
  std::string cmd = "localedef -i de_DE -f UTF-8 '" + dir_.Path("de_DE.UTF-8") + "' >/dev/null 2>&1";
  if (system(cmd.c_str()) != 0) return;
  setenv("LOCPATH", dir_.Root().c_str(), 1);
  ok_ = setlocale(LC_ALL, "de_DE.UTF-8") && CommaDecimal();
}

CommaLocale::~CommaLocale() {
  setlocale(LC_ALL, "C");
  if (hadLocpath_)
    setenv("LOCPATH", oldLocpath_.c_str(), 1);
  else
    unsetenv("LOCPATH");
}
#endif
