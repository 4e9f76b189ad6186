// A fresh, empty temporary folder for one test, removed with everything in it
// when the object goes out of scope, and a few helpers to put bytes in it.
//
//   TempDir dir;
//   std::string p = dir.Write("a.txt", "ab\r\ncd");   // full narrow path
//   std::u16string w = dir.PathW("a.txt");            // the same path in UTF-16
//   std::string bytes = ReadFileBytes(p);
//
// Narrow paths are UTF-8 (the file system's own bytes on Linux); names may
// hold sub-folders ("x/y.bin"), which Write creates. Each TempDir gets its own
// folder, so tests running in parallel processes do not meet.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The folder, without a trailing separator; empty when it could not be made.
  const std::string& Root() const { return root_; }
  bool Ok() const { return !root_.empty(); }
  // Full path of a file in the folder (it need not exist).
  std::string Path(std::string_view name) const;
  std::u16string PathW(std::string_view name) const;
  // Creates or truncates the file with exactly these bytes; returns its full
  // path (empty on failure).
  std::string Write(std::string_view name, std::string_view bytes) const;
  std::string Write(std::string_view name, const void* data, size_t n) const;

 private:
  std::string root_;
};

// UTF-8 -> UTF-16 (for wide paths and names in tests; invalid bytes become
// U+FFFD).
std::u16string Utf8ToUtf16(std::string_view s);
// The whole file's bytes; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);
bool FileExists(const std::string& path);
