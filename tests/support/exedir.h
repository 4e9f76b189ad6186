// The "executable's" folder of a test, and the font the window draws with
// beside it (the system's VL Gothic stands in for the program's own).
#pragma once
#include <cstdio>
#include <filesystem>
#include <string>

#include "base/encoding.h"
#include "base/runenv.h"
#include "tests/support/tempdir.h"

inline constexpr char kTestFont[] = "/usr/share/fonts/truetype/vlgothic/VL-Gothic-Regular.ttf";

// Makes the folder (with its final separator) the executable's, in both forms.
inline void SetExeDir(const std::string& folder) {
  snprintf(gRun.exeDirA, sizeof gRun.exeDirA, "%s", folder.c_str());
  unicpy(gRun.exeDirW, kPathMax, Utf8ToUtf16(folder).c_str());
}

// Links the font into the folder under the program's font name; false when
// the system has none.
inline bool LinkTestFont(const std::string& folder) {
  std::error_code ec;
  if (!std::filesystem::exists(kTestFont, ec)) return false;
  std::filesystem::create_symlink(kTestFont, folder + "/mplus-2m-regular.ttf", ec);
  return !ec;
}
