#include "vmd/untracked.h"

#include <cstring>

UntrackedKeys gUntracked;

namespace {

// Distinct names are told apart by a 64-bit hash of the table and the name,
// in an open-addressed set; 0 marks a free slot. The set is emptied only
// after a read that used it.
constexpr int kSlots = 32768;
constexpr int kFill = kSlots / 4 * 3;  // beyond this, names are no longer told apart
uint64_t gSet[kSlots];
int gUsed = 0;

uint64_t HashOf(int table, const char* name) {
  uint64_t h = 1469598103934665603ull ^ static_cast<uint64_t>(table);
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p; p++) {
    h ^= *p;
    h *= 1099511628211ull;
  }
  return h ? h : 1;
}

// True when the name was not in the set (and is now), false when it was or
// the set is full.
bool AddName(int table, const char* name, bool* full) {
  const uint64_t h = HashOf(table, name);
  for (uint32_t i = static_cast<uint32_t>(h) & (kSlots - 1);; i = (i + 1) & (kSlots - 1)) {
    if (gSet[i] == h) return false;
    if (gSet[i] == 0) {
      if (gUsed >= kFill) {
        *full = true;
        return false;
      }
      gSet[i] = h;
      gUsed++;
      return true;
    }
  }
}

}  // namespace

void ResetUntracked() {
  std::memset(&gUntracked, 0, sizeof gUntracked);
  if (gUsed > 0) std::memset(gSet, 0, sizeof gSet);
  gUsed = 0;
}

void NoteUntrackedKey(int table, const char* name) {
  const int s = table == 2 ? 1 : 0;
  gUntracked.keys[s]++;
  bool full = false;
  if (AddName(table, name, &full)) gUntracked.names[s]++;
  if (full) gUntracked.namesMore[s] = 0xFF;
}
