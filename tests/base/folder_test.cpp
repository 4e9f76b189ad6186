// The port's folder listing by UTF-16 path, on the system the tests run on:
// every entry under its own name (one that no ANSI code page holds too) with
// its kind.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "platform/port.h"
#include "tests/support/tempdir.h"

namespace {

void Collect(void* ctx, const char16_t* name, int kind) {
  static_cast<std::vector<std::pair<std::u16string, int>>*>(ctx)->emplace_back(name, kind);
}

TEST(FolderW, ListsEveryEntryByItsOwnNameWithItsKind) {
  TempDir dir;
  dir.Write("sub/a.vmd", "x");
  dir.Write("a.txt", "x");
  PortHandle h = kPortNoHandle;
  ASSERT_EQ(PortCreateNewW(dir.PathW("Ωμέγα ａｂｃ.vmd").c_str(), &h), 0);
  PortCloseFile(h);

  std::vector<std::pair<std::u16string, int>> got;
  ASSERT_EQ(PortListFolderW(dir.PathW("").c_str(), Collect, &got), 0);
  std::sort(got.begin(), got.end());
  const std::vector<std::pair<std::u16string, int>> want = {
      {u"a.txt", kPathFile}, {u"sub", kPathFolder}, {u"Ωμέγα ａｂｃ.vmd", kPathFile}};
  EXPECT_EQ(got, want);
  EXPECT_EQ(PortPathKindW(dir.PathW("sub").c_str()), kPathFolder);
  EXPECT_EQ(PortPathKindW(dir.PathW("Ωμέγα ａｂｃ.vmd").c_str()), kPathFile);
  EXPECT_EQ(PortPathKindW(dir.PathW("none").c_str()), kPathNone);
  EXPECT_NE(PortListFolderW(dir.PathW("none").c_str(), Collect, &got), 0);
}

}  // namespace
