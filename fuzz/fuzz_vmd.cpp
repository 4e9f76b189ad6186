// The VMD reader on arbitrary bytes: the input is written to a scratch file
// and read through the narrow path (C stream), then again through the UTF-16
// path (OS handle), as the driver re-reads a file whose narrow read failed.
// The name registry is built once and put back to that state before every
// input. Checked for what must hold whatever the input: a known result code,
// a terminated model name without a lone lead byte at its end, consistent
// tracks, bounded name tables, and the same result and tracks by both routes.
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
char16_t gPathW[256];
NameTablesMark gRegistry;

void RemoveScratch() { unlink(gPath); }

bool Setup() {
  HeadlessReset();
  snprintf(gPath, sizeof gPath, "/tmp/tarvel-fuzz-vmd-%d.vmd", static_cast<int>(getpid()));
  for (int i = 0; gPath[i]; ++i) gPathW[i] = static_cast<unsigned char>(gPath[i]);
  atexit(RemoveScratch);
  ResetNameTables();
  RegisterBuiltinNames();
  MarkNameTables(&gRegistry);
  return true;
}

// What a read left in the tracks, to compare the two routes.
uint64_t TrackSum() {
  uint64_t h = 1469598103934665603ull;
  auto mix = [&](int64_t v) { h = (h ^ static_cast<uint64_t>(v)) * 1099511628211ull; };
  for (const BoneTrack& t : gBoneTracks) {
    mix(t.keycount);
    mix(t.firstframe);
    mix(t.lastframe);
    mix(t.attwsplus);
    mix(t.attwsminus);
    mix(t.atmaxpos);
    mix(t.atmaxrot);
  }
  for (const MorphTrack& t : gMorphTracks) {
    mix(t.keycount);
    mix(t.firstframe);
    mix(t.lastframe);
  }
  return h;
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

  RestoreNameTables(&gRegistry);
  const int narrow = readvmdA(gPath);
  Check(narrow, size);
  const uint64_t sum = TrackSum();
  const int wide = readvmdW(gPathW);
  Check(wide, size);
  if (wide != narrow || TrackSum() != sum) __builtin_trap();
  return 0;
}
