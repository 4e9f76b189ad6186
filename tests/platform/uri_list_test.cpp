#include "platform/common/uri_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(UriList, LocalFilesArePercentDecodedAndTheRestLeftOut) {
  static char paths[8][1024];
  const char list[] =
      "# dropped\r\nfile:///tmp/a%20b.vmd\r\nfile://localhost/x/%E3%81%82.vmd\r\n"
      "http://example.com/z.vmd\r\nfile://otherhost/q.vmd\nfile:///bad%zz%4\nfile:///nul%00name";
  ASSERT_EQ(3, UriListToPaths(list, (int)strlen(list), paths, 8));
  const char* want[] = {"/tmp/a b.vmd", "/x/\xE3\x81\x82.vmd", "/bad%zz%4"};
  for (int i = 0; i < 3; i++) EXPECT_STREQ(want[i], paths[i]);

  // the length bounds the text (no terminator needed); max bounds the count
  const char cut[] = "file:///one\r\nfile:///two";
  ASSERT_EQ(1, UriListToPaths(cut, 11, paths, 8));
  EXPECT_EQ(1, UriListToPaths(cut, (int)strlen(cut), paths, 1));
  // a path that does not fit is left out, not cut
  std::string huge = "file:///" + std::string(1100, 'x') + "\r\nfile:///ok";
  ASSERT_EQ(1, UriListToPaths(huge.c_str(), (int)huge.size(), paths, 8));
  EXPECT_STREQ("/ok", paths[0]);
}

}  // namespace
