// The on-disk name lookup on arbitrary names. The input's lines are names
// made in a scratch folder (a name starting with 'D' as a folder, the others
// as files); the last line is the name looked up there, by narrow and by
// UTF-16 path. Checked: a known result; a found name is one of the files made
// (never a folder); a name that exists as given is found as itself; without
// '*' or '?' nothing else is ever found; both routes agree where every name
// has a UTF-16 form.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/paths.h"
#include "platform/common/path_utf.h"
#include "platform/headless/headless.h"

namespace {

char gDir[256];

bool Setup() {
  HeadlessReset();
  snprintf(gDir, sizeof gDir, "/tmp/tarvel-fuzz-findname-%d", static_cast<int>(getpid()));
  mkdir(gDir, 0700);
  atexit([] { rmdir(gDir); });
  return true;
}

// A usable single name: no '/' and no NUL, not "." or "..", not too long.
bool UsableName(const std::string& n) {
  return !n.empty() && n.size() < 60 && n != "." && n != ".." && n.find('/') == std::string::npos &&
         n.find('\0') == std::string::npos;
}

// The name converts to UTF-16 and back to the same bytes.
bool HasUtf16Form(const std::string& n) {
  char16_t w[260];
  char back[1024];
  return PathUtf8ToUtf16(w, 260, n.c_str()) && PathUtf16ToUtf8(back, sizeof back, w) && n == back;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = Setup();
  (void)ready;
  std::vector<std::string> lines(1);
  for (size_t i = 0; i < size && lines.size() <= 6; i++) {
    if (data[i] == '\n') lines.emplace_back();
    else lines.back() += static_cast<char>(data[i]);
  }
  const std::string pattern = lines.back();
  lines.pop_back();
  if (!UsableName(pattern)) return 0;

  struct Made { std::string name; bool dir; };
  std::vector<Made> made;
  for (const std::string& n : lines) {
    if (!UsableName(n)) continue;
    const std::string p = std::string(gDir) + "/" + n;
    bool dir = n[0] == 'D';
    if (dir ? mkdir(p.c_str(), 0700) != 0 : [&] {
          FILE* f = fopen(p.c_str(), "wbx");
          return !f || fclose(f) != 0;
        }())
      continue;  // a repeated name
    made.push_back({n, dir});
  }

  const std::string path = std::string(gDir) + "/" + pattern;
  char found[260];
  const int r = findname(found, sizeof found, path.c_str());
  if (r != 0 && r != -1 && r != -2) __builtin_trap();
  bool literal = false, isFile = false;
  for (const Made& m : made) {
    if (m.name == pattern) literal = true, isFile = !m.dir;
  }
  if (r == 0) {
    bool known = false;
    for (const Made& m : made) known |= !m.dir && m.name == found;
    if (!known) __builtin_trap();
    if (pattern.find_first_of("*?") == std::string::npos && pattern != found) __builtin_trap();
  } else if (found[0]) {
    __builtin_trap();  // an empty result on failure
  }
  if (literal && isFile && (r != 0 || pattern != found)) __builtin_trap();
  if (literal && !isFile && r == 0) __builtin_trap();  // the folder itself, alone

  // The UTF-16 route sees only names that have a UTF-16 form.
  char16_t pathW[1024], foundW[260];
  bool allUtf8 = true;
  for (const Made& m : made) allUtf8 &= HasUtf16Form(m.name);
  if (allUtf8 && HasUtf16Form(pattern) && PathUtf8ToUtf16(pathW, 1024, path.c_str())) {
    const int rw = unifindname(foundW, 260, pathW);
    char back[1024];
    if (rw != r) __builtin_trap();
    if (rw == 0 && (!PathUtf16ToUtf8(back, sizeof back, foundW) || strcmp(back, found) != 0))
      __builtin_trap();
  }

  for (const Made& m : made) {
    const std::string p = std::string(gDir) + "/" + m.name;
    if (m.dir) rmdir(p.c_str());
    else unlink(p.c_str());
  }
  return 0;
}
