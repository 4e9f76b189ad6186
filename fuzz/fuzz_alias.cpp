// The alias file parser and the alias rendering on arbitrary bytes. The input
// is written to alias.ini in a scratch folder and read (by narrow path for an
// even input length, by UTF-16 path for an odd one); then fixed names, pieces
// of the input and a long name are rendered through the bone and the morph
// table into destinations of exactly 520 bytes.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "fuzz/fuzz_input.h"
#include "base/textfile.h"
#include "names/alias.h"
#include "names/nametable.h"
#include "platform/headless/headless.h"

namespace {

char gPath[256];
char16_t gPathW[256];
char gDir[256];

void RemoveScratch() {
  unlink(gPath);
  rmdir(gDir);
}

bool Setup() {
  HeadlessReset();
  snprintf(gDir, sizeof gDir, "/tmp/tarvel-fuzz-alias-%d", static_cast<int>(getpid()));
  mkdir(gDir, 0700);
  snprintf(gPath, sizeof gPath, "%s/alias.ini", gDir);
  for (int i = 0; gPath[i]; ++i) gPathW[i] = static_cast<unsigned char>(gPath[i]);
  atexit(RemoveScratch);
  return true;
}

void Render(int (*render)(char*, const char*), const char* name) {
  char* out = static_cast<char*>(malloc(kAliasRenderMax));
  render(out, name);
  size_t n = strnlen(out, kAliasRenderMax);
  if (n >= static_cast<size_t>(kAliasRenderMax)) __builtin_trap();
  free(out);
}

void Check(int table) {
  if (NameCount(table) > 8191) __builtin_trap();
  for (int e = 1; e <= NameCount(table); ++e) {
    if (strnlen(AliasReplacement(table, e), 16) > 15) __builtin_trap();
    int mode = AliasModeOf(table, e);
    if (mode != 0 && mode != 0xFF && mode != 1) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = Setup();
  (void)ready;
  if (!WriteInputFile(gPath, data, size)) return 0;

  ResetNameTables();
  tfreset();
  if (size % 2)
    ReadAliasFile("", gPathW, 1);
  else
    ReadAliasFile(gPath, u"", 0);
  Check(0);
  Check(3);

  // Names: fixed ones, the first line of the input (up to 63 bytes) and a
  // name long enough to overflow any rendering.
  static const char* const kNames[] = {"", "a", "\x8d\xb6\x98\x72", "\x90\xe6", "\x88", "*?"};
  char piece[64];
  size_t n = 0;
  while (n < size && n < sizeof piece - 1 && data[n] != '\n' && data[n] != 0) {
    piece[n] = static_cast<char>(data[n]);
    ++n;
  }
  piece[n] = 0;
  static char longName[1200];
  for (size_t i = 0; i < sizeof longName - 1; ++i)
    longName[i] = size ? static_cast<char>(data[i % size] ? data[i % size] : 'x') : 'x';
  longName[sizeof longName - 1] = 0;

  for (auto render : {AliasRenderBone, AliasRenderMorph}) {
    for (const char* name : kNames) Render(render, name);
    Render(render, piece);
    Render(render, longName);
  }
  return 0;
}
