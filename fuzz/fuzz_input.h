// Puts the fuzzer's input into a scratch file for the readers that open files.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

// False when the file cannot be written (the input is then skipped).
inline bool WriteInputFile(const char* path, const uint8_t* data, size_t size) {
  FILE* f = fopen(path, "wb");
  if (!f) return false;
  if (size) fwrite(data, 1, size, f);
  return fclose(f) == 0;
}
