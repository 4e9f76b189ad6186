#include "base/filechan.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "base/diag.h"
#include "base/textfile.h"
#include "platform/port.h"
#include "tests/support/tempdir.h"
#ifndef _WIN32
#include "tests/support/filelimit.h"
#endif

namespace {

std::vector<std::string> gMessages;
void Collect(const char* text) { gMessages.push_back(text); }

// Bytes whose value depends on the offset, so a byte from the wrong place shows.
std::string Pattern(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; i++) s[i] = (char)((i * 7 + i / 251) & 0xFF);
  return s;
}

enum class Mode { Wide, Narrow, NarrowQuiet };
const char* const kModeNames[] = {"Wide", "Narrow", "NarrowQuiet"};

// Both channels closed, the diagnostic texts collected, a fresh folder.
template <typename Base>
class Channels : public Base {
 protected:
  void SetUp() override {
    rfreset();
    wfreset();
    gMessages.clear();
    DiagSetReceiver(Collect);
    ASSERT_TRUE(dir.Ok());
  }
  void TearDown() override {
    rfreset();
    wfreset();
    DiagSetReceiver(nullptr);
  }
  TempDir dir;
};

class FileReaderTest : public Channels<::testing::TestWithParam<Mode>> {
 protected:
  int Open(const std::string& name) {
    switch (GetParam()) {
      case Mode::Wide: return rfopenW(dir.PathW(name).c_str());
      case Mode::Narrow: return rfopen(dir.Path(name).c_str());
      case Mode::NarrowQuiet: return rfopenquiet(dir.Path(name).c_str());
    }
    return -1;
  }
};

TEST_P(FileReaderTest, LongsAreLittleEndianAndBytesAfterTheEndAreFF) {
  dir.Write("empty.bin", "");
  ASSERT_EQ(Open("empty.bin"), 0);
  EXPECT_EQ(rfeof(), 0);
  EXPECT_EQ(rfgetc(), -1);
  EXPECT_EQ(rfeof(), -1);
  ASSERT_EQ(Open("empty.bin"), 0);
  EXPECT_EQ(rfgetlong(), 0xFFFFFFFFu);
  EXPECT_EQ(rfeof(), -1);

  dir.Write("five.bin", "\x01\x02\x03\x04\x05");
  ASSERT_EQ(Open("five.bin"), 0);
  EXPECT_EQ(rfgetlong(), 0x04030201u);
  EXPECT_EQ(rfeof(), 0);
  EXPECT_EQ(rfgetlong(), 0xFFFFFF05u);
  EXPECT_EQ(rfeof(), -1);
}

TEST_P(FileReaderTest, SecondOpenClosesTheFirstAndStartsAtZero) {
  dir.Write("a.bin", "AAAAAAAA");
  dir.Write("b.bin", "bcdef");
  ASSERT_EQ(Open("a.bin"), 0);
  EXPECT_EQ(rfgetc(), 'A');
  ASSERT_EQ(Open("b.bin"), 0);
  EXPECT_EQ(rftell(), 0u);
  EXPECT_EQ(rfgetc(), 'b');
  // A failed open leaves no file open, whatever was open before.
  ASSERT_EQ(Open("b.bin"), 0);
  EXPECT_EQ(Open("missing.bin"), -1);
  EXPECT_EQ(rfeof(), -1);
  EXPECT_EQ(rfgetc(), -1);
  EXPECT_EQ(rfseek(0, 0), -2);
}

TEST_P(FileReaderTest, SeeksMoveThePositionWhateverIsBuffered) {
  const std::string data = Pattern(20000);
  dir.Write("p.bin", data);
  ASSERT_EQ(Open("p.bin"), 0);
  // The position is pos and the next byte is the one there.
  auto expectAt = [&](uint32_t pos) {
    EXPECT_EQ(rftell(), pos);
    EXPECT_EQ(rfgetc(), (unsigned char)data[pos]) << pos;
  };
  for (int i = 0; i < 10; i++) rfgetc();
  EXPECT_EQ(rfseek(5, 1), 0);
  expectAt(15);
  EXPECT_EQ(rfseekset(3), 0);  // back into bytes already buffered
  expectAt(3);
  EXPECT_EQ(rfseekset(9000), 0);  // forward past the buffer
  expectAt(9000);
  EXPECT_EQ(rfseek(0, 2), 0);
  EXPECT_EQ(rftell(), 20000u);
  EXPECT_EQ(rfeof(), 0);
  EXPECT_EQ(rfseek(0, 0), 0);
  expectAt(0);
  EXPECT_EQ(rfseek(-4, 2), 0);
  expectAt(19996);
  // An unknown origin, or a seek before the start, moves nothing.
  EXPECT_EQ(rfseek(0, 3), -5);
  EXPECT_EQ(rfseek(0, -1), -5);
  EXPECT_EQ(rfseekset(-1), -2);
  EXPECT_EQ(rfseek(-100000, 1), -2);
  EXPECT_EQ(rfseek(-100000, 2), -4);
  expectAt(19997);
}

TEST_P(FileReaderTest, ShortBlockReadClosesTheFile) {
  const std::string data = Pattern(60);
  dir.Write("sixty.bin", data);
  ASSERT_EQ(Open("sixty.bin"), 0);
  for (int i = 0; i < 20; i++) rfgetc();
  unsigned char out[100];
  memset(out, 0xEE, sizeof out);
  EXPECT_EQ(rfread(out, 100), 40);
  EXPECT_EQ(memcmp(out, data.data() + 20, 40), 0);
  EXPECT_EQ(out[40], 0xEE);
  EXPECT_EQ(rftell(), 60u);
  EXPECT_EQ(rfeof(), -1);
  // The ended file is closed: seeks fail and do not reopen it.
  EXPECT_EQ(rfseek(0, 0), -2);
  EXPECT_EQ(rfseekset(0), -2);
}

TEST_P(FileReaderTest, MixedReadsAcrossTheBufferBoundaryDeliverEveryByteOnce) {
  const std::string data = Pattern(30000);
  dir.Write("big.bin", data);
  ASSERT_EQ(Open("big.bin"), 0);
  std::string got;
  for (int i = 0; i < 8190; i++) got.push_back((char)rfgetc());
  char block[12000];
  ASSERT_EQ(rfread(block, 10), 10);  // two buffered bytes, eight fresh ones
  got.append(block, 10);
  for (int i = 0; i < 5; i++) got.push_back((char)rfgetc());
  ASSERT_EQ(rfread(block, 12000), 12000);  // mostly straight from the file
  got.append(block, 12000);
  EXPECT_EQ(rftell(), (uint32_t)got.size());
  for (int c; (c = rfgetc()) >= 0;) got.push_back((char)c);
  EXPECT_TRUE(got == data);
  EXPECT_EQ(rftell(), 30000u);
}

// Past 4 GiB (a sparse file: one byte written at its end) the position and
// every seek are the true 64-bit offsets.
TEST_P(FileReaderTest, PositionsPastFourGibAreTrue) {
  const int64_t size = (int64_t(5) << 30) + 7;
  PortHandle h = kPortNoHandle;
  ASSERT_EQ(PortCreateNewW(dir.PathW("big.bin").c_str(), &h), 0);
  ASSERT_EQ(PortSeek(h, size - 1, 0, nullptr), 0);
  ASSERT_EQ(PortWrite(h, "Z", 1), 1);
  PortCloseFile(h);
  ASSERT_EQ(Open("big.bin"), 0);
  EXPECT_EQ(rfseek(0, 2), 0);
  EXPECT_EQ(rftell(), size);
  EXPECT_EQ(rfseekset(size - 2), 0);
  EXPECT_EQ(rfgetc(), 0);
  EXPECT_EQ(rfgetc(), 'Z');
  EXPECT_EQ(rftell(), size);
  EXPECT_EQ(rfseek(-(int64_t(3) << 30), 1), 0);  // back by 3 GiB
  EXPECT_EQ(rftell(), size - (int64_t(3) << 30));
}

INSTANTIATE_TEST_SUITE_P(Modes, FileReaderTest,
                         ::testing::Values(Mode::Wide, Mode::Narrow, Mode::NarrowQuiet),
                         [](const auto& i) { return std::string(kModeNames[int(i.param)]); });

using FileChannelTest = Channels<::testing::Test>;

TEST_F(FileChannelTest, OpenFailureMessagesAndNonAsciiNames) {
  dir.Write("file.bin", "x");
  EXPECT_EQ(rfopenW(dir.PathW("missing.bin").c_str()), -1);
  EXPECT_EQ(rfopenW(dir.PathW("file.bin/inner").c_str()), -1);  // path through a file
  EXPECT_EQ(rfopen(dir.Path("missing.bin").c_str()), -1);
  ASSERT_EQ(gMessages.size(), 3u);
  EXPECT_EQ(gMessages[1], "Could not open (RD)(PATH_NOT_FOUND). \n");
  EXPECT_EQ(rfopenWquiet(dir.PathW("missing.bin").c_str()), -1);
  EXPECT_EQ(rfopenquiet(dir.Path("missing.bin").c_str()), -1);
  EXPECT_EQ(gMessages.size(), 3u);

  const std::string name = "\xE3\x83\xA2\xE3\x83\xBC\xE3\x82\xB7\xE3\x83\xA7\xE3\x83\xB3.vmd";
  dir.Write(name, "VMD");
  ASSERT_EQ(rfopenW(dir.PathW(name).c_str()), 0);
  EXPECT_EQ(rfgetc(), 'V');
  EXPECT_NE(rfhandle(), kPortNoHandle);
}

TEST_F(FileChannelTest, WriterPutsEveryByteLittleEndianInBothModes) {
  const std::string data = Pattern(20000);
  for (int wide = 0; wide < 2; wide++) {
    SCOPED_TRACE(wide ? "wide" : "narrow");
    const std::string name = wide ? "w.bin" : "n.bin";
    ASSERT_EQ(wide ? wfopenW(dir.PathW(name).c_str()) : wfopen(dir.Path(name).c_str()), 0);
    EXPECT_EQ(wfeof(), 0);
    EXPECT_EQ(wfputlong(0x11223344u), 0);
    EXPECT_EQ(wfcount(), 4u);
    EXPECT_EQ(wfputshort(0xA1B2), 0);
    for (char c : data) ASSERT_EQ(wfputc((unsigned char)c), 0);
    EXPECT_EQ(wfcount(), 20006u);
    wfclose();
    EXPECT_EQ(wfeof(), -1);
    EXPECT_EQ(wfputc('q'), -1);
    EXPECT_TRUE(ReadFileBytes(dir.Path(name)) == "\x44\x33\x22\x11\xB2\xA1" + data);
  }
}

TEST_F(FileChannelTest, OpeningAgainFinishesTheFileStillOpen) {
  ASSERT_EQ(wfopen(dir.Path("first.bin").c_str()), 0);
  wfputc('1');
  wfputc('2');
  ASSERT_EQ(wfopenW(dir.PathW("second.bin").c_str()), 0);
  wfputc('3');
  ASSERT_EQ(wfopen(dir.Path("third.bin").c_str()), 0);
  EXPECT_EQ(wfcount(), 0u);
  EXPECT_EQ(ReadFileBytes(dir.Path("first.bin")), "12");
  EXPECT_EQ(ReadFileBytes(dir.Path("second.bin")), "3");
  // A failed open changes nothing: the file open stays open.
  wfputc('5');
  EXPECT_EQ(wfopen(dir.Path("no/such/dir.bin").c_str()), -1);
  EXPECT_EQ(wfputc('6'), 0);
  wfclose();
  EXPECT_EQ(ReadFileBytes(dir.Path("third.bin")), "56");
}

// FIFOs, links, devices and file size limits: POSIX only (the Windows build
// has its own cases in tests/win32).
#ifndef _WIN32
// Every read route takes regular files only and never waits: a FIFO with no
// writer (a plain open would block for ever), a device that never ends and a
// folder are all refused at once. A link to a regular file is read.
TEST_F(FileChannelTest, ReadersOpenRegularFilesOnlyAndNeverWait) {
  ASSERT_EQ(mkfifo(dir.Path("fifo.vmd").c_str(), 0600), 0);
  ASSERT_EQ(mkdir(dir.Path("alias.ini").c_str(), 0700), 0);
  const std::string real = dir.Write("real.vmd", "abc");
  ASSERT_EQ(symlink(real.c_str(), dir.Path("link.vmd").c_str()), 0);
  const std::string refused[] = {dir.Path("fifo.vmd"), dir.Path("alias.ini"), "/dev/zero"};
  for (const std::string& p : refused) {
    SCOPED_TRACE(p);
    const std::u16string w = Utf8ToUtf16(p);
    EXPECT_EQ(rfopen(p.c_str()), -1);
    EXPECT_EQ(rfopenquiet(p.c_str()), -1);
    EXPECT_EQ(rfopenW(w.c_str()), -1);
    EXPECT_EQ(rfopenWquiet(w.c_str()), -1);
    EXPECT_EQ(rfeof(), -1);
    EXPECT_EQ(tfexists(p.c_str()), -1);
    EXPECT_EQ(tfexistsW(w.c_str()), -1);
    EXPECT_EQ(tfopen(p.c_str()), -1);
    EXPECT_EQ(tfopenW(w.c_str()), -1);
    FontStreamRec fs{};
    EXPECT_EQ(fsopen(&fs, w.c_str()), 1);
    PortHandle h = kPortNoHandle;
    EXPECT_EQ(PortOpenReadW(w.c_str(), &h), 5);
  }
  EXPECT_EQ(rfopen(dir.Path("link.vmd").c_str()), 0);
  EXPECT_EQ(rfgetc(), 'a');
  EXPECT_EQ(rfopenW(dir.PathW("link.vmd").c_str()), 0);
  EXPECT_EQ(rfgetc(), 'a');
  rfclose();
}

// The writer only creates: an existing file is not overwritten, and no link
// is followed, dangling or not; a FIFO or folder of that name is refused too.
TEST_F(FileChannelTest, WriterCreatesNewFilesOnlyAndNeverThroughALink) {
  const std::string victim = dir.Write("victim.bin", "keep");
  ASSERT_EQ(chmod(victim.c_str(), 0200), 0);  // write-only: "cannot be read"
  ASSERT_EQ(symlink(victim.c_str(), dir.Path("to-file.bmp").c_str()), 0);
  ASSERT_EQ(symlink(dir.Path("outside.bmp").c_str(), dir.Path("dangling.bmp").c_str()), 0);
  ASSERT_EQ(mkfifo(dir.Path("fifo.bmp").c_str(), 0600), 0);
  ASSERT_EQ(mkdir(dir.Path("dir.bmp").c_str(), 0700), 0);
  dir.Write("old.bmp", "old");
  for (const char* name : {"to-file.bmp", "dangling.bmp", "fifo.bmp", "dir.bmp", "old.bmp"}) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(PortNameExistsA(dir.Path(name).c_str()));
    EXPECT_TRUE(PortNameExistsW(dir.PathW(name).c_str()));
    EXPECT_EQ(wfopen(dir.Path(name).c_str()), -1);
    EXPECT_EQ(wfopenW(dir.PathW(name).c_str()), -1);
    EXPECT_EQ(wfeof(), -1);
  }
  EXPECT_FALSE(FileExists(dir.Path("outside.bmp")));
  chmod(victim.c_str(), 0600);
  EXPECT_EQ(ReadFileBytes(victim), "keep");
  EXPECT_EQ(ReadFileBytes(dir.Path("old.bmp")), "old");
  EXPECT_FALSE(PortNameExistsA(dir.Path("new.bmp").c_str()));
  PortHandle h = kPortNoHandle;
  EXPECT_EQ(PortCreateNewW(dir.PathW("old.bmp").c_str(), &h), 80);
}

TEST_F(FileChannelTest, AFailedWriteClosesTheWriter) {
  FileSizeLimit limit(65536);  // the writes past 64 KiB fail
  ASSERT_TRUE(limit.ok);
  for (int wide = 0; wide < 2; wide++) {
    SCOPED_TRACE(wide ? "wide" : "narrow");
    ASSERT_EQ(wide ? wfopenW(dir.PathW("big-w.bin").c_str()) : wfopen(dir.Path("big.bin").c_str()), 0);
    int failedAt = -1;
    for (int i = 0; i < 12 * 8192 && failedAt < 0; i++)
      if (wfputc('x') != 0) failedAt = i;
    EXPECT_GE(failedAt, 0);
    EXPECT_EQ(wfeof(), -1);
    EXPECT_EQ(wfputlong(1), -1);
    EXPECT_EQ(wfcount(), (uint32_t)failedAt);
  }
}
#endif

TEST_F(FileChannelTest, FontStreamServesReadsAtAnyOffset) {
  FontStreamRec s{};
  EXPECT_EQ(fsopen(&s, dir.PathW("missing.ttf").c_str()), 1);
  dir.Write("empty.ttf", "");
  EXPECT_EQ(fsopen(&s, dir.PathW("empty.ttf").c_str()), 0x51);

  const std::string data = Pattern(20000);
  dir.Write("font.ttf", data);
  ASSERT_EQ(fsopen(&s, dir.PathW("font.ttf").c_str()), 0);
  EXPECT_EQ(s.size, 20000u);
  unsigned char buf[64];
  // forward, back, straight on, and to the last bytes
  const uint32_t reads[][2] = {{15000, 64}, {100, 8}, {108, 8}, {19990, 10}};
  for (auto [at, n] : reads) {
    EXPECT_EQ(fsread(&s, at, buf, n), n);
    EXPECT_EQ(memcmp(buf, data.data() + at, n), 0) << at;
  }
  // A seek (count 0) moves the reader; past the end it is an error.
  EXPECT_EQ(fsread(&s, 500, nullptr, 0), 0u);
  EXPECT_EQ(rftell(), 500u);
  EXPECT_EQ(fsread(&s, 20001, nullptr, 0), 1u);
  fsclose(&s);
  EXPECT_EQ(rfeof(), -1);
}

// The port's folder listing by UTF-16 path: every entry under its own name
// (one that no ANSI code page holds too) with its kind.
void CollectEntry(void* ctx, const char16_t* name, int kind) {
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
  ASSERT_EQ(PortListFolderW(dir.PathW("").c_str(), CollectEntry, &got), 0);
  std::sort(got.begin(), got.end());
  const std::vector<std::pair<std::u16string, int>> want = {
      {u"a.txt", kPathFile}, {u"sub", kPathFolder}, {u"Ωμέγα ａｂｃ.vmd", kPathFile}};
  EXPECT_EQ(got, want);
  EXPECT_EQ(PortPathKindW(dir.PathW("sub").c_str()), kPathFolder);
  EXPECT_EQ(PortPathKindW(dir.PathW("Ωμέγα ａｂｃ.vmd").c_str()), kPathFile);
  EXPECT_EQ(PortPathKindW(dir.PathW("none").c_str()), kPathNone);
  EXPECT_NE(PortListFolderW(dir.PathW("none").c_str(), CollectEntry, &got), 0);
}

// A rename that never replaces: an existing name of any kind is refused (80)
// and both files stay as they were; a free name takes the file.
TEST(RenameNew, NeverReplacesAName) {
  TempDir dir;
  dir.Write("from.bin", "new");
  dir.Write("taken.bin", "old");
  EXPECT_EQ(PortRenameNewW(dir.PathW("from.bin").c_str(), dir.PathW("taken.bin").c_str()), 80);
  EXPECT_EQ(PortRenameNewA(dir.Path("from.bin").c_str(), dir.Path("taken.bin").c_str()), 80);
#ifndef _WIN32
  ASSERT_EQ(symlink(dir.Path("gone").c_str(), dir.Path("dangling.bin").c_str()), 0);
  EXPECT_EQ(PortRenameNewA(dir.Path("from.bin").c_str(), dir.Path("dangling.bin").c_str()), 80);
  EXPECT_FALSE(FileExists(dir.Path("gone")));
#endif
  EXPECT_EQ(ReadFileBytes(dir.Path("taken.bin")), "old");
  EXPECT_EQ(ReadFileBytes(dir.Path("from.bin")), "new");
  EXPECT_EQ(PortRenameNewA(dir.Path("from.bin").c_str(), dir.Path("to.bin").c_str()), 0);
  EXPECT_FALSE(PortNameExistsA(dir.Path("from.bin").c_str()));
  EXPECT_EQ(PortRenameNewW(dir.PathW("to.bin").c_str(), dir.PathW("Ωμέγα.bin").c_str()), 0);
  EXPECT_FALSE(PortNameExistsW(dir.PathW("to.bin").c_str()));
  EXPECT_EQ(PortRenameNewW(dir.PathW("Ωμέγα.bin").c_str(), dir.PathW("back.bin").c_str()), 0);
  EXPECT_EQ(ReadFileBytes(dir.Path("back.bin")), "new");
}

}  // namespace
