// Fixed texts of the report and the verdict are written in the sources as
// UTF-8, so that a reader can check them, and turned into Shift-JIS once, on
// first use, into a static table of rows of Cap bytes.
#pragma once

#include "base/encoding.h"

template <int Count, int Cap>
struct SjisTexts {
  const char* const* utf8;
  char sjis[Count][Cap];
  bool ready;

  const char* operator[](int i) {
    if (!ready) {
      for (int k = 0; k < Count; k++) utf8tosjis(sjis[k], Cap, utf8[k]);
      ready = true;
    }
    return (i >= 0 && i < Count) ? sjis[i] : "";
  }
};
