// Test literals are written in UTF-8 and converted to the Shift-JIS bytes the
// name tables hold.
#pragma once
#include <string>

#include "base/encoding.h"

inline std::string Sj(const char* utf8) {
  char buf[1024];
  utf8tosjis(buf, sizeof buf, utf8);
  return buf;
}
