#include "app/texts.h"

#include "base/encoding.h"

const char* Sjis(DriverText id, const char* utf8) {
  static char slots[kTxtCount][128];
  static bool made[kTxtCount];
  if (id < 0 || id >= kTxtCount) return "";
  if (!made[id]) {
    utf8tosjis(slots[id], sizeof slots[id], utf8);
    made[id] = true;
  }
  return slots[id];
}
