#include "display/capture.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <iterator>
#include <string>

#include "base/encoding.h"
#include "base/filechan.h"
#include "base/runenv.h"
#include "display/canvas.h"
#include "platform/headless/headless.h"
#include "tests/support/exedir.h"
#include "tests/support/filelimit.h"
#include "tests/support/tempdir.h"

namespace {

uint32_t Le32(const std::string& b, size_t at) {
  return (uint8_t)b[at] | (uint8_t)b[at + 1] << 8 | (uint8_t)b[at + 2] << 16 |
         (uint32_t)(uint8_t)b[at + 3] << 24;
}
uint16_t Le16(const std::string& b, size_t at) { return (uint8_t)b[at] | (uint8_t)b[at + 1] << 8; }

long CountFiles(const std::string& dir) {
  auto it = std::filesystem::directory_iterator(dir);
  return std::distance(begin(it), end(it));
}

// Every pixel gets its own colour: red from x, green from y, blue mixed.
void PaintPattern() {
  for (int y = 0; y < CanvasHeight(); y++) {
    uint8_t row[kCanvasMaxW * 3];
    for (int x = 0; x < CanvasWidth(); x++) {
      row[x * 3 + 0] = (uint8_t)x;
      row[x * 3 + 1] = (uint8_t)y;
      row[x * 3 + 2] = (uint8_t)(x * 7 + y * 3);
    }
    CanvasWriteRow(0, y, row, CanvasWidth());
  }
}

class CaptureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.Ok());
    HeadlessReset();
    ResetRunEnv();
    rfreset();
    SetExeDir(dir_.Root() + "/");
    CanvasCreate(512, 96);
    PaintPattern();
  }
  void TearDown() override {
    CanvasRelease();
    TakePendingCode();
  }
  std::string Cap(int n) const { return dir_.Path("cap(" + std::to_string(n) + ").bmp"); }
  TempDir dir_;
};

TEST_F(CaptureTest, FileLayoutAndRowPadding) {
  ASSERT_EQ(SaveCapture(), 0);
  std::string b = ReadFileBytes(Cap(1));
  ASSERT_EQ(b.size(), 147510u);  // 1536-byte rows, no padding
  EXPECT_EQ(b.substr(0, 2), "BM");
  // offset, value of the 32-bit header fields; planes and depth are 16-bit
  const uint32_t fields[][2] = {{2, 147510}, {10, 54}, {14, 40}, {18, 512}, {22, 96}, {30, 0}};
  for (const auto& f : fields) EXPECT_EQ(Le32(b, f[0]), f[1]) << f[0];
  EXPECT_EQ(Le16(b, 26) | Le16(b, 28) << 16, 1 | 24 << 16);
  // The first stored row is the canvas's bottom row, blue first.
  for (int x = 0; x < 512; x++)
    ASSERT_EQ(b.substr(54 + x * 3, 3), (std::string{(char)(x * 7 + 95 * 3), 95, (char)x})) << x;
  EXPECT_EQ((uint8_t)b[54 + 95 * 1536 + 3 * 10 + 1], 0);  // the last stored row is row 0

  // 3 pixels: 9 data bytes and 3 pad bytes a row
  CanvasCreate(3, 2);
  PaintPattern();
  ASSERT_EQ(CaptureCanvas(dir_.Path("narrow.BMP").c_str(), nullptr, 0), 0);
  b = ReadFileBytes(dir_.Path("narrow.BMP"));
  ASSERT_EQ(b.size(), 54u + 2 * 12);
  EXPECT_EQ(b.substr(54 + 9, 3), std::string(3, '\0'));
  EXPECT_EQ((uint8_t)b[54 + 1], 1);       // first stored row is row 1
  EXPECT_EQ((uint8_t)b[54 + 12 + 1], 0);  // then row 0
}

TEST_F(CaptureTest, FirstFreeNumberIsTaken) {
  dir_.Write("cap(1).bmp", "x");
  dir_.Write("cap(3).bmp", "x");
  ASSERT_EQ(SaveCapture(), 0);
  EXPECT_EQ(ReadFileBytes(Cap(2)).size(), 147510u);
  EXPECT_EQ(ReadFileBytes(Cap(3)), "x");
  for (int n = 4; n <= 9; n++) dir_.Write("cap(" + std::to_string(n) + ").bmp", "x");
  ASSERT_EQ(SaveCapture(), 0);
  EXPECT_EQ(ReadFileBytes(Cap(10)).size(), 147510u);
  // all 99 taken: nothing is written
  for (int n = 11; n <= 99; n++) dir_.Write("cap(" + std::to_string(n) + ").bmp", "x");
  EXPECT_EQ(SaveCapture(), 0);
  EXPECT_EQ(CountFiles(dir_.Root()), 99);
}

// A name that exists in any form is taken: a dangling link (the capture would
// land where it points, outside the folder), a link to a file that cannot be
// read (it would be overwritten), a FIFO (an open would wait for ever), a
// folder. The search goes on to the next N; nothing is written through them.
TEST_F(CaptureTest, NamesThatExistInAnyFormAreTaken) {
  TempDir outside;
  const std::string victim = outside.Write("victim.bin", "keep");
  ASSERT_EQ(chmod(victim.c_str(), 0200), 0);
  ASSERT_EQ(symlink(outside.Path("new.bmp").c_str(), Cap(1).c_str()), 0);
  ASSERT_EQ(symlink(victim.c_str(), Cap(2).c_str()), 0);
  ASSERT_EQ(mkfifo(Cap(3).c_str(), 0600), 0);
  ASSERT_EQ(mkdir(Cap(4).c_str(), 0700), 0);
  ASSERT_EQ(SaveCapture(), 0);
  EXPECT_EQ(ReadFileBytes(Cap(5)).size(), 147510u);
  EXPECT_EQ(CountFiles(outside.Root()), 1);
  chmod(victim.c_str(), 0600);
  EXPECT_EQ(ReadFileBytes(victim), "keep");
}

// A folder too long to be known leaves both forms empty: no capture is
// written anywhere (least of all in the current folder).
TEST_F(CaptureTest, NoCaptureWithoutAKnownFolder) {
  gRun.exeDirA[0] = 0;
  gRun.exeDirW[0] = 0;
  const std::string here = std::filesystem::current_path().string();
  std::filesystem::current_path(dir_.Root());
  EXPECT_EQ(SaveCapture(), 0);
  std::filesystem::current_path(here);
  EXPECT_EQ(CountFiles(dir_.Root()), 0);
  // The UTF-16 form alone still serves.
  SetExeDir(dir_.Root() + "/");
  gRun.exeDirA[0] = 0;
  EXPECT_EQ(SaveCapture(), 0);
  EXPECT_EQ(ReadFileBytes(Cap(1)).size(), 147510u);
}

TEST_F(CaptureTest, ExtensionMustBeBmp) {
  EXPECT_EQ(CaptureCanvas(dir_.Path("a.txt").c_str(), nullptr, 0), 4);
  EXPECT_EQ(CaptureCanvas(nullptr, dir_.PathW("a.txt").c_str(), 1), 4);
  EXPECT_EQ(CountFiles(dir_.Root()), 0);
  EXPECT_EQ(CaptureCanvas(dir_.Path("b.Bmp").c_str(), nullptr, 0), 0);
  // A ';' in the directory: the check sees the text before it, with no ".BMP".
  std::string semi = dir_.Root() + "/x;y";
  std::filesystem::create_directory(semi);
  SetExeDir(semi + "/");
  EXPECT_EQ(SaveCapture(), 4);
  EXPECT_EQ(CountFiles(semi), 0);
}

TEST_F(CaptureTest, Utf16NameAndUncreatableFiles) {
  std::string a = dir_.Path("a.bmp");
  ASSERT_EQ(CaptureCanvas(a.c_str(), nullptr, 0), 0);
  ASSERT_EQ(CaptureCanvas(nullptr, dir_.PathW("ワイド.bmp").c_str(), 1), 0);
  EXPECT_EQ(ReadFileBytes(dir_.Path("ワイド.bmp")), ReadFileBytes(a));
  // an uncreatable file fails and leaves nothing
  SetExeDir(dir_.Root() + "/missing/");
  EXPECT_EQ(SaveCapture(), -1);
  EXPECT_EQ(CountFiles(dir_.Root()), 2);
}

TEST_F(CaptureTest, AbortByPendingEscapeRemovesTheFile) {
  const std::string p = dir_.Path("a.bmp");
  SetPendingCode(27);
  EXPECT_EQ(CaptureCanvas(p.c_str(), nullptr, 0), 27);
  EXPECT_EQ(TakePendingCode(), 0);
  SetPendingCode(27);
  EXPECT_EQ(SaveCapture(), 0);  // the loop sees 0
  EXPECT_EQ(CountFiles(dir_.Root()), 0);
}

TEST_F(CaptureTest, WriteFailureLeavesNoTruncatedFile) {
  // 4096 bytes fail at the first buffer flush; 147500 only at the closing one.
  for (rlim_t bytes : {rlim_t(4096), rlim_t(147500)}) {
    FileSizeLimit limit(bytes);
    ASSERT_TRUE(limit.ok);
    EXPECT_EQ(CaptureCanvas(dir_.Path("a.bmp").c_str(), nullptr, 0), -2) << bytes;
    EXPECT_EQ(CaptureCanvas(nullptr, dir_.PathW("w.bmp").c_str(), 1), -2) << bytes;
    EXPECT_EQ(SaveCapture(), -2) << bytes;
    EXPECT_EQ(CountFiles(dir_.Root()), 0) << bytes;
  }
}

}  // namespace
