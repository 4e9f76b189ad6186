// Narrow (ANSI code page) and UTF-16 paths on the real file system.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "check/check.h"
#include "base/filechan.h"
#include "base/paths.h"
#include "base/runenv.h"
#include "base/textfile.h"
#include "display/canvas.h"
#include "display/capture.h"
#include "display/text.h"
#include "names/nametable.h"
#include "names/vocabulary.h"
#include "platform/port.h"
#include "tests/support/vmdwriter.h"
#include "tests/win32/win32_support.h"
#include "vmd/vmdread.h"

namespace {

std::string Motion() {
  VmdWriter w;
  w.Header().ModelName("Win32").Count(1);
  w.Bone(SjisName("センター"), 0, 0, 1, 0);
  w.Count(0);
  return std::string(w.bytes.begin(), w.bytes.end());
}

template <typename Ch>
void CopyTo(Ch* dst, int cap, const std::basic_string<Ch>& s) {
  ASSERT_LT((int)s.size(), cap);
  memcpy(dst, s.c_str(), (s.size() + 1) * sizeof(Ch));
}

class Win32Paths : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.Ok());
    ResetRunEnv();
    SetPathSeparators(0, 0);
    ResetNameTables();
    RegisterBuiltinNames();
    ResetTracks();
    rfreset();
  }
  void TearDown() override { rfreset(); }

  // The current file of the file loop, in both forms.
  void Target(const std::u16string& wide) {
    CopyTo(gRun.nameW, kPathMax, wide);
    CopyTo(gRun.nameA, kPathMax * 2, ToAnsi(wide));
    gRun.narrowFailed = gRun.wideFailed = 0;
  }

  WideTempDir dir;
};

TEST_F(Win32Paths, ShiftJisNamesKeepTheirTrailBytes) {
  if (GetACP() != 932) GTEST_SKIP() << "needs the Japanese code page (932)";
  // 表 (0x95 0x5C) as a folder, モーション.vmd in it
  ASSERT_TRUE(dir.MakeDir(u"\u8868"));
  const std::u16string name = u"\u30E2\u30FC\u30B7\u30E7\u30F3.vmd";
  ASSERT_TRUE(dir.Write(u"\u8868\\" + name, Motion()));
  const std::u16string wide = dir.Path(u"\u8868\\" + name);
  const std::string narrow = ToAnsi(wide);
  const std::string nameSjis = "\x83\x82\x81\x5B\x83\x56\x83\x87\x83\x93.vmd";

  char buf[kPathMax];
  ASSERT_EQ(findname(buf, kPathMax, narrow.c_str()), 0);
  EXPECT_EQ(std::string(buf), nameSjis);
  ASSERT_EQ(rfopen(narrow.c_str()), 0);
  EXPECT_EQ(rfgetc(), 'V');

  Target(wide);
  IdentifyTarget();
  EXPECT_EQ(gRun.isVmd, 0xFF);
  EXPECT_EQ(std::string(gRun.diskNameA), nameSjis);
  EXPECT_EQ(std::u16string(gRun.diskNameW), name);
  CheckFile(kCheckMotion, nullptr);
  EXPECT_EQ(gRun.narrowFailed, 0);
  EXPECT_EQ(gRun.wideFailed, 0);
  EXPECT_STREQ(gSourceModel, "Win32");
}

TEST_F(Win32Paths, NameOutsideTheCodePageIsReadThroughUtf16) {
  // 한글.vmd: Hangul is in neither code page 932 nor 1252
  const std::u16string name = u"\uD55C\uAE00.vmd";
  ASSERT_TRUE(dir.Write(name, Motion()));
  const std::u16string wide = dir.Path(name);
  const std::string narrow = ToAnsi(wide);
  ASSERT_NE(narrow.find('?'), std::string::npos);
  EXPECT_EQ(rfopenquiet(narrow.c_str()), -1);
  ASSERT_EQ(rfopenWquiet(wide.c_str()), 0);
  rfclose();

  Target(wide);
  IdentifyTarget();
  EXPECT_EQ(gRun.isVmd, 0xFF);
  EXPECT_EQ(std::u16string(gRun.diskNameW), name);
  CheckFile(kCheckMotion, nullptr);
  EXPECT_EQ(gRun.narrowFailed, 0xFF);  // the narrow read failed ...
  EXPECT_EQ(gRun.wideFailed, 0);       // ... and the UTF-16 retry read it
  EXPECT_STREQ(gSourceModel, "Win32");
}

TEST_F(Win32Paths, SystemErrorsSharingAndCaseBlindSearch) {
  PortHandle h = kPortNoHandle;
  EXPECT_EQ(PortOpenReadW(dir.Path(u"missing.vmd").c_str(), &h), 2);   // file not found
  EXPECT_EQ(PortOpenReadW(dir.Path(u"no\\such.vmd").c_str(), &h), 3);  // path not found
  EXPECT_EQ(h, kPortNoHandle);

  ASSERT_TRUE(dir.Write(u"held.vmd", Motion()));
  ASSERT_EQ(rfopenW(dir.Path(u"held.vmd").c_str()), 0);
  // the reader opens without sharing: nobody else may open the file meanwhile
  EXPECT_EQ(PortOpenReadW(dir.Path(u"held.vmd").c_str(), &h), 32);  // sharing violation
  EXPECT_FALSE(dir.Write(u"held.vmd", "x"));
  rfclose();
  EXPECT_TRUE(dir.Write(u"held.vmd", "x"));

  // the search takes files only, matches without regard to case and gives
  // the name as stored
  ASSERT_TRUE(dir.MakeDir(u"d1") && dir.MakeDir(u"d2"));
  ASSERT_TRUE(dir.Write(u"Walk.VMD", Motion()));
  char16_t name[kPathMax];
  EXPECT_EQ(unifindname(name, kPathMax, dir.Path(u"d*").c_str()), -2);
  EXPECT_EQ(unifindname(name, kPathMax, dir.Path(u"d1").c_str()), -1);
  ASSERT_EQ(unifindname(name, kPathMax, dir.Path(u"walk.vmd").c_str()), 0);
  EXPECT_EQ(std::u16string(name), u"Walk.VMD");
  char nameA[kPathMax];
  ASSERT_EQ(findname(nameA, kPathMax, ToAnsi(dir.Path(u"WALK.vmd")).c_str()), 0);
  EXPECT_STREQ(nameA, "Walk.VMD");
}

TEST_F(Win32Paths, CurrentDirectoryHasNoTrailingBackslash) {
  wchar_t saved[MAX_PATH];
  ASSERT_GT(GetCurrentDirectoryW(MAX_PATH, saved), 0u);
  char16_t cur[kPathMax];
  ASSERT_TRUE(SetCurrentDirectoryW(reinterpret_cast<const wchar_t*>(dir.Root().c_str())));
  ASSERT_EQ(PortCurrentDirW(cur, kPathMax), 0);
  EXPECT_EQ(std::u16string(cur), dir.Root());
  char curA[kPathMax];
  ASSERT_EQ(PortCurrentDirA(curA, kPathMax), 0);
  EXPECT_EQ(std::string(curA), ToAnsi(dir.Root()));
  // a drive root loses its backslash too, so that appending one gives it back
  ASSERT_TRUE(SetCurrentDirectoryW(L"C:\\"));
  ASSERT_EQ(PortCurrentDirW(cur, kPathMax), 0);
  EXPECT_EQ(std::u16string(cur), u"C:");
  // too small a buffer is a failure, not a cut path
  EXPECT_EQ(PortCurrentDirW(cur, 2), -1);
  SetCurrentDirectoryW(saved);
}

TEST_F(Win32Paths, CaptureWritesThroughTheUtf16Name) {
  ASSERT_TRUE(dir.MakeDir(u"\uD55C"));
  const std::u16string wide = dir.Path(u"\uD55C\\cap(1).bmp");
  CanvasCreate(512, 96);
  CanvasFill(0, 95, 1, 1, 10, 20, 30);
  EXPECT_EQ(CaptureCanvas(ToAnsi(wide).c_str(), wide.c_str(), 0), -1);
  ASSERT_EQ(CaptureCanvas(ToAnsi(wide).c_str(), wide.c_str(), 1), 0);
  WIN32_FILE_ATTRIBUTE_DATA fa;
  ASSERT_TRUE(GetFileAttributesExW(reinterpret_cast<const wchar_t*>(wide.c_str()), GetFileExInfoStandard, &fa));
  EXPECT_EQ(fa.nFileSizeLow, 147510u);  // the whole file
  ASSERT_EQ(rfopenW(wide.c_str()), 0);
  ASSERT_EQ(rfseekset(54), 0);
  EXPECT_EQ(rfgetlong() & 0xFFFFFF, 0x0A141Eu);  // bottom row first: blue, green, red
  rfclose();
  CanvasRelease();
}

// Only files on disk are read, and nothing waits: a folder, a device and a
// named pipe are refused at once on every route. Writes only create: an
// existing capture name of any kind is left as it is.
TEST_F(Win32Paths, OnlyRegularFilesAreReadAndWritesOnlyCreate) {
  ASSERT_TRUE(dir.MakeDir(u"folder.vmd"));
  std::u16string pipe = u"\\\\.\\pipe\\tarvel-test-";
  for (DWORD id = GetCurrentProcessId(); id; id /= 10) pipe += (char16_t)(u'0' + id % 10);
  HANDLE server = CreateNamedPipeW(reinterpret_cast<const wchar_t*>(pipe.c_str()), PIPE_ACCESS_OUTBOUND,
                                   PIPE_TYPE_BYTE, 1, 0, 0, 0, nullptr);
  ASSERT_NE(server, INVALID_HANDLE_VALUE);
  for (const std::u16string& p : {dir.Path(u"folder.vmd"), std::u16string(u"NUL"), pipe}) {
    SCOPED_TRACE(ToAnsi(p));
    PortHandle h = kPortNoHandle;
    EXPECT_NE(PortOpenReadW(p.c_str(), &h), 0);
    EXPECT_EQ(h, kPortNoHandle);
    EXPECT_EQ(rfopenW(p.c_str()), -1);
    EXPECT_EQ(rfopen(ToAnsi(p).c_str()), -1);
    EXPECT_EQ(tfopenW(p.c_str()), -1);
    EXPECT_EQ(tfopen(ToAnsi(p).c_str()), -1);
  }
  CloseHandle(server);

  ASSERT_TRUE(dir.Write(u"cap(1).bmp", "old"));
  ASSERT_TRUE(dir.MakeDir(u"cap(2).bmp"));
  for (const char16_t* name : {u"cap(1).bmp", u"cap(2).bmp"}) {
    const std::u16string p = dir.Path(name);
    EXPECT_TRUE(PortNameExistsW(p.c_str()));
    EXPECT_TRUE(PortNameExistsA(ToAnsi(p).c_str()));
    EXPECT_EQ(wfopenW(p.c_str()), -1);
    EXPECT_EQ(wfopen(ToAnsi(p).c_str()), -1);
  }
  PortHandle h = kPortNoHandle;
  EXPECT_EQ(PortCreateNewW(dir.Path(u"cap(1).bmp").c_str(), &h), 80);  // file exists
  EXPECT_NE(PortCreateNewW(u"NUL", &h), 0);
  ASSERT_EQ(rfopenW(dir.Path(u"cap(1).bmp").c_str()), 0);
  EXPECT_EQ(rfgetc(), 'o');  // untouched
  rfclose();
  CopyTo(gRun.exeDirA, kPathMax, ToAnsi(dir.Root() + u"\\"));
  CopyTo(gRun.exeDirW, kPathMax, dir.Root() + u"\\");
  CanvasCreate(512, 96);
  ASSERT_EQ(SaveCapture(), 0);
  CanvasRelease();
  WIN32_FILE_ATTRIBUTE_DATA fa;
  const std::u16string third = dir.Path(u"cap(3).bmp");
  ASSERT_TRUE(GetFileAttributesExW(reinterpret_cast<const wchar_t*>(third.c_str()), GetFileExInfoStandard, &fa));
  EXPECT_EQ(fa.nFileSizeLow, 147510u);
}

TEST_F(Win32Paths, FontOpensThroughTheUtf16Stream) {
  wchar_t exe[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, exe, MAX_PATH);
  ASSERT_GT(n, 0u);
  std::u16string font = reinterpret_cast<const char16_t*>(exe);
  font = font.substr(0, font.rfind(u'\\') + 1) + u"mplus-2m-regular.ttf";
  if (GetFileAttributesW(reinterpret_cast<const wchar_t*>(font.c_str())) == INVALID_FILE_ATTRIBUTES)
    GTEST_SKIP() << "no font beside the test program";
  ASSERT_TRUE(dir.MakeDir(u"\uD55C"));
  const std::u16string copy = dir.Path(u"\uD55C\\mplus-2m-regular.ttf");
  ASSERT_TRUE(CopyFileW(reinterpret_cast<const wchar_t*>(font.c_str()),
                        reinterpret_cast<const wchar_t*>(copy.c_str()), FALSE));
  TextReset();
  EXPECT_NE(OpenFontA(ToAnsi(copy).c_str(), 0, 16), 0);
  EXPECT_FALSE(FontFaceOpen());
  ASSERT_EQ(OpenFontW(copy.c_str(), 0, 16), 0);
  EXPECT_TRUE(FontFaceOpen());
  ASSERT_EQ(MakeTextImage(6, u"Tarvel \u30E2\u30FC\u30B7\u30E7\u30F3", kTextUtf16, true, 0, -1), 0);
  EXPECT_GT(gTextImages[6].width, 16u);
  TextReset();
}

}  // namespace
