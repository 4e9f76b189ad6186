#include "display/capture.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <string>

#include "base/encoding.h"
#include "base/filechan.h"
#include "base/runenv.h"
#include "display/canvas.h"
#include "platform/headless/headless.h"
#include "tests/support/tempdir.h"

namespace {

uint32_t Le32(const std::string& b, size_t at) {
  return (uint8_t)b[at] | (uint8_t)b[at + 1] << 8 | (uint8_t)b[at + 2] << 16 |
         (uint32_t)(uint8_t)b[at + 3] << 24;
}
uint16_t Le16(const std::string& b, size_t at) { return (uint8_t)b[at] | (uint8_t)b[at + 1] << 8; }

int CountFiles(const std::string& dir) {
  int n = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    (void)e;
    n++;
  }
  return n;
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

// Limits the size of files this process may write (RLIMIT_FSIZE) for one
// scope; writes beyond it fail instead of raising SIGXFSZ.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &old_);
    old_handler_ = signal(SIGXFSZ, SIG_IGN);
    rlimit lim = old_;
    lim.rlim_cur = bytes;
    ok_ = setrlimit(RLIMIT_FSIZE, &lim) == 0;
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    signal(SIGXFSZ, old_handler_);
  }
  bool Ok() const { return ok_; }

 private:
  rlimit old_;
  void (*old_handler_)(int);
  bool ok_;
};

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
  static void SetExeDir(const std::string& d) {
    snprintf(gRun.exeDirA, sizeof gRun.exeDirA, "%s", d.c_str());
    std::u16string w = Utf8ToUtf16(d);
    unicpy(gRun.exeDirW, kPathMax, w.c_str());
  }
  std::string Cap(int n) const { return dir_.Path("cap(" + std::to_string(n) + ").bmp"); }
  TempDir dir_;
};

TEST_F(CaptureTest, FileLayout) {
  ASSERT_EQ(SaveCapture(), 0);
  std::string b = ReadFileBytes(Cap(1));
  ASSERT_EQ(b.size(), 147510u);  // 1536-byte rows, no padding
  EXPECT_EQ(b.substr(0, 2), "BM");
  EXPECT_EQ(Le32(b, 2), 147510u);
  EXPECT_EQ(Le16(b, 6), 0);
  EXPECT_EQ(Le16(b, 8), 0);
  EXPECT_EQ(Le32(b, 10), 54u);
  EXPECT_EQ(Le32(b, 14), 40u);
  EXPECT_EQ(Le32(b, 18), 512u);
  EXPECT_EQ(Le32(b, 22), 96u);
  EXPECT_EQ(Le16(b, 26), 1);
  EXPECT_EQ(Le16(b, 28), 24);
  for (size_t at = 30; at < 54; at += 4) EXPECT_EQ(Le32(b, at), 0u) << at;
  // The first stored row is the canvas's bottom row, blue first.
  for (int x = 0; x < 512; x++) {
    size_t at = 54 + x * 3;
    ASSERT_EQ((uint8_t)b[at + 0], (uint8_t)(x * 7 + 95 * 3)) << x;
    ASSERT_EQ((uint8_t)b[at + 1], 95) << x;
    ASSERT_EQ((uint8_t)b[at + 2], (uint8_t)x) << x;
  }
  // The last stored row is row 0.
  size_t last = 54 + 95 * 1536;
  EXPECT_EQ((uint8_t)b[last + 3 * 10 + 1], 0);
  EXPECT_EQ((uint8_t)b[last + 3 * 10 + 2], 10);
}

TEST_F(CaptureTest, RowsArePaddedToFourBytes) {
  CanvasCreate(3, 2);
  PaintPattern();
  std::string p = dir_.Path("narrow.BMP");
  ASSERT_EQ(CaptureCanvas(p.c_str(), nullptr, 0), 0);
  std::string b = ReadFileBytes(p);
  ASSERT_EQ(b.size(), 54u + 2 * 12);
  EXPECT_EQ(Le32(b, 2), 78u);
  EXPECT_EQ(b.substr(54 + 9, 3), std::string(3, '\0'));
  EXPECT_EQ((uint8_t)b[54 + 12 + 1], 0);  // second stored row is row 0
  EXPECT_EQ((uint8_t)b[54 + 1], 1);       // first is row 1
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
}

TEST_F(CaptureTest, NothingWrittenWhenAll99AreTaken) {
  for (int n = 1; n <= 99; n++) dir_.Write("cap(" + std::to_string(n) + ").bmp", "x");
  EXPECT_EQ(SaveCapture(), 0);
  EXPECT_EQ(CountFiles(dir_.Root()), 99);
  EXPECT_FALSE(FileExists(dir_.Path("cap(100).bmp")));
}

TEST_F(CaptureTest, ExtensionMustBeBmp) {
  std::string txt = dir_.Path("a.txt");
  EXPECT_EQ(CaptureCanvas(txt.c_str(), nullptr, 0), 4);
  EXPECT_EQ(CaptureCanvas(nullptr, dir_.PathW("a.txt").c_str(), 1), 4);
  EXPECT_EQ(CountFiles(dir_.Root()), 0);
  std::string mixed = dir_.Path("b.Bmp");
  EXPECT_EQ(CaptureCanvas(mixed.c_str(), nullptr, 0), 0);

  // A ';' in the directory: the check sees the text before it, which has no
  // ".BMP" extension.
  std::string semi = dir_.Root() + "/x;y";
  std::filesystem::create_directory(semi);
  SetExeDir(semi + "/");
  EXPECT_EQ(SaveCapture(), 4);
  EXPECT_EQ(CountFiles(semi), 0);
}

TEST_F(CaptureTest, Utf16NameWritesTheSameBytes) {
  std::string a = dir_.Path("a.bmp");
  ASSERT_EQ(CaptureCanvas(a.c_str(), nullptr, 0), 0);
  std::u16string w = dir_.PathW("ワイド.bmp");
  ASSERT_EQ(CaptureCanvas(nullptr, w.c_str(), 1), 0);
  EXPECT_EQ(ReadFileBytes(dir_.Path("ワイド.bmp")), ReadFileBytes(a));
}

TEST_F(CaptureTest, UncreatableFileFailsBothWaysAndLeavesNothing) {
  SetExeDir(dir_.Root() + "/missing/");
  EXPECT_EQ(SaveCapture(), -1);
  std::string p = dir_.Path("missing/cap(1).bmp");
  EXPECT_EQ(CaptureCanvas(p.c_str(), nullptr, 0), -1);
  EXPECT_EQ(CountFiles(dir_.Root()), 0);
}

TEST_F(CaptureTest, AbortByPendingEscapeRemovesTheFile) {
  SetPendingCode(27);
  std::string p = dir_.Path("a.bmp");
  EXPECT_EQ(CaptureCanvas(p.c_str(), nullptr, 0), 27);
  EXPECT_FALSE(FileExists(p));
  EXPECT_EQ(TakePendingCode(), 0);

  SetPendingCode(27);
  EXPECT_EQ(SaveCapture(), 0);  // the loop sees 0
  EXPECT_EQ(CountFiles(dir_.Root()), 0);

  // Any other pending code is taken and dropped; the capture goes on.
  SetPendingCode(0x41);
  EXPECT_EQ(CaptureCanvas(p.c_str(), nullptr, 0), 0);
  EXPECT_EQ(TakePendingCode(), 0);
  EXPECT_EQ(ReadFileBytes(p).size(), 147510u);
  EXPECT_GE(gHeadless.pumps, 96);  // one pump per row
}

TEST_F(CaptureTest, WriteFailureLeavesNoTruncatedFile) {
  std::string p = dir_.Path("a.bmp");
  {
    FileSizeLimit limit(4096);  // fails at the first buffer flush
    ASSERT_TRUE(limit.Ok());
    EXPECT_EQ(CaptureCanvas(p.c_str(), nullptr, 0), -2);
  }
  EXPECT_FALSE(FileExists(p));
  {
    // Only the tail written out by the closing flush fails.
    FileSizeLimit limit(147500);
    ASSERT_TRUE(limit.Ok());
    EXPECT_EQ(CaptureCanvas(p.c_str(), nullptr, 0), -2);
    EXPECT_EQ(SaveCapture(), -2);
  }
  EXPECT_EQ(CountFiles(dir_.Root()), 0);
  std::u16string w = dir_.PathW("w.bmp");
  {
    FileSizeLimit limit(4096);
    ASSERT_TRUE(limit.Ok());
    EXPECT_EQ(CaptureCanvas(nullptr, w.c_str(), 1), -2);
  }
  EXPECT_EQ(CountFiles(dir_.Root()), 0);
}

}  // namespace
