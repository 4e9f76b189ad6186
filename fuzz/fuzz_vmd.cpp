// The VMD reader on arbitrary bytes: the input is written to a scratch file,
// the name registry is reloaded as before every motion, and the file is read
// through the narrow path. Then the results are checked for what must hold
// whatever the input: a known result code, a terminated model name without a
// lone lead byte at its end, consistent tracks and bounded name tables.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fuzz/fuzz_input.h"
#include "names/nametable.h"
#include "names/vocabulary.h"
#include "platform/headless/headless.h"
#include "vmd/vmdread.h"

namespace {

char gPath[256];

void RemoveScratch() { unlink(gPath); }

bool Setup() {
  HeadlessReset();
  snprintf(gPath, sizeof gPath, "/tmp/tarvel-fuzz-vmd-%d.vmd", static_cast<int>(getpid()));
  atexit(RemoveScratch);
  return true;
}

void Check(int result, size_t size) {
  if (result != 0 && result != 2) __builtin_trap();
  if (memchr(gSourceModel, 0, sizeof gSourceModel) == nullptr) __builtin_trap();
  char copy[sizeof gSourceModel];
  memcpy(copy, gSourceModel, sizeof copy);
  if (CutLoneLead(copy)) __builtin_trap();  // already cut by the reader

  // every key counted came from a whole record in the file
  int64_t bones = 0, morphs = 0;
  for (const BoneTrack& t : gBoneTracks) {
    if (t.keycount < 0) __builtin_trap();
    if (t.keycount > 0 && t.firstframe > t.lastframe) __builtin_trap();
    if (t.moved != 0 && t.moved != 0xFF) __builtin_trap();
    bones += t.keycount;
  }
  for (const MorphTrack& t : gMorphTracks) {
    if (t.keycount < 0) __builtin_trap();
    if (t.keycount > 0 && t.firstframe > t.lastframe) __builtin_trap();
    morphs += t.keycount;
  }
  // header, model name and bone count: 54 bytes before the first key
  if (bones + morphs > 0 && 54 + bones * 111 + (morphs > 0 ? 4 + morphs * 23 : 0) >
                                static_cast<int64_t>(size))
    __builtin_trap();
  if (NameCount(1) > kNameMax || NameCount(2) > kNameMax) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = Setup();
  (void)ready;
  if (!WriteInputFile(gPath, data, size)) return 0;

  ResetNameTables();
  RegisterBuiltinNames();
  Check(readvmdA(gPath), size);
  return 0;
}
