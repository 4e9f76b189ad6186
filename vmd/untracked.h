// Keys of names that have no track: the name table is full, or the name's
// entry lies beyond the track table. They are not counted in any track; how
// many keys of how many distinct names were left out is kept here, so that
// the report can say so.
#pragma once
#include <cstdint>

struct UntrackedKeys {
  int64_t keys[2];     // bone keys, morph keys
  int32_t names[2];    // distinct names of those keys
  uint8_t namesMore[2];  // more distinct names than could be told apart: names is a lower bound
};
extern UntrackedKeys gUntracked;

void ResetUntracked();
// A key of table 1 (bones) or 2 (morphs) under name that no track takes.
void NoteUntrackedKey(int table, const char* name);
