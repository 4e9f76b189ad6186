// The TextReader: a file channel of its own for text files, independent of the
// FileReader, always holding one byte of look-ahead. Reaching the end does not
// close the file; `ended` is set by the first tfgetc with nothing to return.
#include "base/textfile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "base/diag.h"
#include "base/encoding.h"
#include "platform/port.h"

namespace {

constexpr int kBufSize = 8192;
constexpr uint8_t kSet = 0xFF;

struct TextReader {
  uint8_t opened = 0;
  bool osMode = false;
  PortHandle handle = kPortNoHandle;
  FILE* stream = nullptr;
  int32_t count = 0;  // valid bytes in buf (OS-handle mode)
  int32_t index = 0;  // next byte of buf
  int lookahead = -1;
  int current = 0;
  uint8_t ended = kSet;
  bool exitHookSet = false;
  unsigned char buf[kBufSize];
};

TextReader gTr;

// The next byte of the file, 0..255, or -1 at the end or on a read error.
int NextByte() {
  if (gTr.opened != kSet) return -1;
  if (!gTr.osMode) {
    int c = fgetc(gTr.stream);
    return c == EOF ? -1 : (c & 0xFF);
  }
  if (gTr.index >= gTr.count) {
    int r = PortRead(gTr.handle, gTr.buf, kBufSize);
    if (r <= 0) {
      gTr.count = gTr.index = 0;
      return -1;
    }
    gTr.count = r;
    gTr.index = 0;
  }
  return gTr.buf[gTr.index++];
}

void CloseAtExit() { tfclose(); }

void Started(bool osMode, PortHandle h, FILE* f) {
  gTr.osMode = osMode;
  gTr.handle = h;
  gTr.stream = f;
  gTr.count = gTr.index = 0;
  gTr.opened = kSet;
  gTr.ended = 0;
  gTr.current = 0;
  gTr.lookahead = NextByte();
  if (!gTr.exitHookSet) {
    gTr.exitHookSet = true;
    std::atexit(CloseAtExit);
  }
}

bool IsLineEnd(int c) { return c == 0x0D || c == 0x0A || c == 0x1A; }

// Narrow form of a UTF-16 path for messages.
const char* NarrowForMessage(char* dst, int cap, const char16_t* path) {
  dst[0] = 0;
  if (path) unitonarrow(dst, cap, path);
  return dst;
}

// Whole-file checks on a file already opened on the TextReader.
int ScanUtf8() {
  int status = 7;
  for (;;) {
    int c = tfgetc();
    if (c < 0) break;
    if (c < 0x80) continue;
    int more = c >= 0xC0 && c <= 0xDF ? 1 : c >= 0xE0 && c <= 0xEF ? 2
             : c >= 0xF0 && c <= 0xF7 ? 3 : -1;
    bool valid = more > 0;
    for (int i = 0; valid && i < more; i++) {
      int d = tfgetc();  // consumed before it is tested
      if (d < 0x80 || d > 0xBF) valid = false;
    }
    if (valid) continue;
    if (status == 0) break;  // the second invalid sequence ends the scan
    status = 0;
  }
  tfclose();
  return status;
}

int ScanSjis() {
  int status = 7;
  for (;;) {
    int c = tfgetc();
    if (c < 0) break;
    if ((c >= 0x80 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) {
      int t = tfgetc();
      if (t < 0) {  // a lead byte cut off by the end of the file
        status &= 3;
        break;
      }
      if (c == 0x80) {
        DiagPrint("[%02X(x) %02X] (1st byte==0x80) ", c, t);
        status &= 2;
        continue;
      }
      if (c >= 0xE0) status |= 8;
      if (t <= 0x3F) {
        DiagPrint("[%02X %02X(x)](2nd byte==0x00-3F) ", c, t);
        status &= 1;
      }
    } else if (c >= 0xFD) {
      status |= 8;
    }
  }
  tfclose();
  return status;
}

}  // namespace

int tfexistsW(const char16_t* path) {
  tfclose();
  gTr.ended = 0;
  if (!path) return -1;
  PortHandle h = kPortNoHandle;
  if (PortOpenReadW(path, &h) != 0 || h == kPortNoHandle) return -1;
  PortCloseFile(h);
  return 0;
}

int tfexists(const char* path) {
  tfclose();
  gTr.ended = 0;
  if (!path) return -1;
  FILE* f = PortOpenStreamA(path);  // regular files only, never waiting
  if (!f) return -1;
  fclose(f);
  return 0;
}

int tfopenW(const char16_t* path) {
  tfclose();
  if (!path) return -1;
  PortHandle h = kPortNoHandle;
  if (PortOpenReadW(path, &h) != 0 || h == kPortNoHandle) return -1;
  Started(true, h, nullptr);
  return 0;
}

int tfopen(const char* path) {
  tfclose();
  if (!path) return -1;
  FILE* f = PortOpenStreamA(path);  // regular files only, never waiting
  if (!f) return -1;
  Started(false, kPortNoHandle, f);
  return 0;
}

void tfclose() {
  if (gTr.opened == kSet) {
    if (gTr.osMode)
      PortCloseFile(gTr.handle);
    else if (gTr.stream)
      fclose(gTr.stream);
  }
  gTr.handle = kPortNoHandle;
  gTr.stream = nullptr;
  gTr.count = gTr.index = 0;
  gTr.lookahead = -1;  // nothing more to read from a closed file
  gTr.opened = 0;
}

int tfgetc() {
  gTr.current = gTr.lookahead;
  if (gTr.current < 0) {
    gTr.ended = kSet;
    return -1;
  }
  gTr.lookahead = NextByte();
  return gTr.current;
}

int tfpeek() { return gTr.lookahead; }

int tfeof() { return (int8_t)gTr.ended; }

int tfgets(char* dst, int size) {
  if (size <= 2 || !dst) return 0;
  int n = 0;
  while (n < size - 2 && !IsLineEnd(gTr.lookahead)) {
    int c = tfgetc();
    if (c < 0) break;
    dst[n++] = (char)c;
  }
  dst[n] = 0;
  dst[n + 1] = 0;
  // Line ends, runs of them and empty lines are skipped entirely.
  while (IsLineEnd(gTr.lookahead)) tfgetc();
  return n;
}

int chkifutf8W(const char16_t* path) {
  if (tfopenW(path) != 0) {
    DiagPrint("Cannot open (RDs). \n");
    return -1;
  }
  return ScanUtf8();
}

int chkifutf8(const char* path) {
  if (tfopen(path) != 0) {
    DiagPrint("Cannot open %s .\n", path ? path : "");
    return -1;
  }
  return ScanUtf8();
}

int chkifsjisW(const char16_t* path) {
  if (tfopenW(path) != 0) {
    char narrow[1040];
    DiagPrint("Cannot open %s .\n", NarrowForMessage(narrow, sizeof narrow, path));
    return -1;
  }
  return ScanSjis();
}

int chkifsjis(const char* path) {
  if (tfopen(path) != 0) {
    DiagPrint("Cannot open %s .\n", path ? path : "");
    return -1;
  }
  return ScanSjis();
}

void tfreset() {
  tfclose();
  gTr.osMode = false;
  gTr.current = 0;
  gTr.ended = kSet;
}
