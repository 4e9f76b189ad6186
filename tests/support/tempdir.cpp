#include "tests/support/tempdir.h"

#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

namespace fs = std::filesystem;

TempDir::TempDir() {
  std::error_code ec;
  fs::path base = fs::temp_directory_path(ec);
  if (ec) base = "/tmp";
  std::random_device rd;
  for (int attempt = 0; attempt < 100; attempt++) {
    char name[64];
    snprintf(name, sizeof name, "tarvel-test-%08x%08x", (unsigned)rd(), (unsigned)rd());
    fs::path p = base / name;
    if (fs::create_directory(p, ec) && !ec) {
      root_ = p.string();
      return;
    }
  }
}

TempDir::~TempDir() {
  if (root_.empty()) return;
  std::error_code ec;
  fs::remove_all(root_, ec);
}

std::string TempDir::Path(std::string_view name) const {
  return root_ + "/" + std::string(name);
}

std::u16string TempDir::PathW(std::string_view name) const {
  return Utf8ToUtf16(Path(name));
}

std::string TempDir::Write(std::string_view name, std::string_view bytes) const {
  return Write(name, bytes.data(), bytes.size());
}

std::string TempDir::Write(std::string_view name, const void* data, size_t n) const {
  if (root_.empty()) return std::string();
  std::string p = Path(name);
  std::error_code ec;
  fs::create_directories(fs::path(p).parent_path(), ec);
  FILE* f = fopen(p.c_str(), "wb");
  if (!f) return std::string();
  bool ok = n == 0 || fwrite(data, 1, n, f) == n;
  if (fclose(f) != 0) ok = false;
  return ok ? p : std::string();
}

std::u16string Utf8ToUtf16(std::string_view s) {
  std::u16string out;
  size_t i = 0;
  while (i < s.size()) {
    unsigned c = (unsigned char)s[i++];
    int more = c >= 0xF0 && c <= 0xF7 ? 3 : c >= 0xE0 && c <= 0xEF ? 2 : c >= 0xC0 && c <= 0xDF ? 1 : 0;
    if (more) {
      c &= 0x3F >> more;
    } else if (c >= 0x80) {
      c = 0xFFFD;
    }
    for (; more > 0; more--) {
      if (i >= s.size() || ((unsigned char)s[i] & 0xC0) != 0x80) {
        c = 0xFFFD;
        break;
      }
      c = (c << 6) | ((unsigned char)s[i++] & 0x3F);
    }
    if (c >= 0x10000) {
      c -= 0x10000;
      out.push_back((char16_t)(0xD800 + (c >> 10)));
      out.push_back((char16_t)(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back((char16_t)c);
    }
  }
  return out;
}

std::string ReadFileBytes(const std::string& path) {
  std::string out;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
  fclose(f);
  return out;
}

bool FileExists(const std::string& path) {
  std::error_code ec;
  return fs::exists(path, ec);
}
