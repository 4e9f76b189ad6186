// The FileReader and the FileWriter: one process-wide instance of each.
//
// The reader works in one of two modes. Opened by UTF-16 path it holds an OS
// handle and reads 8192 bytes at a time into its own buffer; opened by narrow
// path it holds a C stream and lets the C library buffer. Reaching the end of
// the file (or a read error) closes the file, so `closed` doubles as the
// end-of-file flag.
#include "base/filechan.h"

#include <cstdio>
#include <cstring>

#include "base/diag.h"
#include "base/encoding.h"
#include "platform/port.h"

namespace {

constexpr int kBufSize = 8192;
constexpr uint8_t kSet = 0xFF;

struct FileReader {
  uint8_t closed = kSet;
  bool osMode = false;
  PortHandle handle = kPortNoHandle;
  FILE* stream = nullptr;
  int32_t count = 0;  // valid bytes in buf (OS-handle mode)
  int32_t index = 0;  // next byte of buf to deliver
  int64_t position = 0;
  unsigned char buf[kBufSize];
  char streamBuf[kBufSize];  // given to the stream by the reporting narrow open
};

struct FileWriter {
  uint8_t closed = kSet;
  bool osMode = false;
  PortHandle handle = kPortNoHandle;
  FILE* stream = nullptr;
  int32_t fill = 0;  // bytes waiting in buf (OS-handle mode)
  uint32_t written = 0;
  char buf[kBufSize];  // the stream's buffer, or our own in OS-handle mode
};

FileReader gRd;
FileWriter gWr;

// C streams with 64-bit offsets: `long` is 32 bits on Windows.
int StreamSeek(FILE* f, int64_t offset, int whence) {
#if defined(_WIN32)
  return _fseeki64(f, offset, whence);
#else
  return fseeko(f, static_cast<off_t>(offset), whence);
#endif
}

int64_t StreamTell(FILE* f) {
#if defined(_WIN32)
  return _ftelli64(f);
#else
  return static_cast<int64_t>(ftello(f));
#endif
}

bool ReaderOpen() { return gRd.handle != kPortNoHandle || gRd.stream != nullptr; }

void ReaderStart() {
  gRd.count = 0;
  gRd.index = 0;
  gRd.position = 0;
  gRd.closed = 0;
}

// Hands the bytes read ahead but not delivered back to the OS, so that the OS
// file pointer equals `position`, and empties the buffer.
void rfbufrewind() {
  int32_t unread = gRd.count - gRd.index;
  if (unread > 0 && PortSeek(gRd.handle, -(int64_t)unread, 1, nullptr) != 0)
    DiagPrint("Failed in seek in rfbufrewind. \n");
  gRd.count = 0;
  gRd.index = 0;
}

// Reads up to n bytes from the handle, going on after a partial read until
// n bytes are in or the file ends. -1 on a read error with nothing read.
int ReadFull(PortHandle h, unsigned char* dst, int n) {
  int got = 0;
  while (got < n) {
    int r = PortRead(h, dst + got, n - got);
    if (r < 0) return got > 0 ? got : -1;
    if (r == 0) break;
    got += r;
  }
  return got;
}

int OpenW(const char16_t* path, bool report) {
  rfclose();
  if (!path) return -1;
  PortHandle h = kPortNoHandle;
  int err = PortOpenReadW(path, &h);
  if (err != 0 || h == kPortNoHandle) {
    if (report) {
      if (err == 3)
        DiagPrint("Could not open (RD)(PATH_NOT_FOUND). \n");
      else
        DiagPrint("Could not open (RD)(code=%d).\n", err);
    }
    return -1;
  }
  gRd.osMode = true;
  gRd.handle = h;
  ReaderStart();
  return 0;
}

int OpenA(const char* path, bool report) {
  rfclose();
  if (!path) return -1;
  FILE* f = PortOpenStreamA(path);  // regular files only, never waiting
  if (!f) {
    if (report) DiagPrint("Cannot open RD file : %s\n", path);
    return -1;
  }
  if (report && setvbuf(f, gRd.streamBuf, _IOFBF, sizeof gRd.streamBuf) != 0) {
    DiagPrint("Buffering failed.(RD) \n");
    fclose(f);
    return -1;
  }
  gRd.osMode = false;
  gRd.stream = f;
  ReaderStart();
  return 0;
}

}  // namespace

int rfopenW(const char16_t* path) { return OpenW(path, true); }
int rfopen(const char* path) { return OpenA(path, true); }
int rfopenWquiet(const char16_t* path) { return OpenW(path, false); }
int rfopenquiet(const char* path) { return OpenA(path, false); }

void rfclose() {
  if (gRd.handle != kPortNoHandle) PortCloseFile(gRd.handle);
  if (gRd.stream) fclose(gRd.stream);
  gRd.handle = kPortNoHandle;
  gRd.stream = nullptr;
  gRd.count = 0;
  gRd.index = 0;
  gRd.closed = kSet;
}

int rfgetc() {
  if (gRd.closed == kSet || !ReaderOpen()) return -1;
  if (!gRd.osMode) {
    int c = fgetc(gRd.stream);
    if (c == EOF) {
      rfclose();
      return -1;
    }
    gRd.position++;
    return c & 0xFF;
  }
  if (gRd.index >= gRd.count) {
    int r = PortRead(gRd.handle, gRd.buf, kBufSize);
    if (r <= 0) {
      rfclose();
      return -1;
    }
    gRd.count = r;
    gRd.index = 0;
  }
  gRd.position++;
  return gRd.buf[gRd.index++];
}

uint32_t rfgetlong() {
  uint32_t v = 0;
  for (int i = 0; i < 4; i++) v |= (uint32_t)(rfgetc() & 0xFF) << (8 * i);
  return v;
}

float rfgetfloat() {
  uint32_t v = rfgetlong();
  float f;
  memcpy(&f, &v, sizeof f);
  return f;
}

int rfread(void* dst, int n) {
  if (gRd.closed == kSet || !ReaderOpen() || !dst || n <= 0) return 0;
  unsigned char* out = static_cast<unsigned char*>(dst);
  if (!gRd.osMode) {
    size_t r = fread(out, 1, (size_t)n, gRd.stream);
    gRd.position += (int64_t)r;
    if (r < (size_t)n) rfclose();
    return (int)r;
  }
  int done = 0;
  int unread = gRd.count - gRd.index;
  if (unread > 0) {
    done = unread < n ? unread : n;
    memcpy(out, gRd.buf + gRd.index, (size_t)done);
    gRd.index += done;
    gRd.position += done;
    if (done == n) return n;
  }
  // Larger than what is buffered: straight from the handle into the rest.
  gRd.count = 0;
  gRd.index = 0;
  int want = n - done;
  int r = ReadFull(gRd.handle, out + done, want);
  if (r > 0) {
    gRd.position += r;
    done += r;
  }
  if (r < want) rfclose();  // the file ended or a read failed
  return done;
}

// A refused seek in C-stream mode: some C libraries lose the stream's place,
// so it is put back where the reader stands before the failure is reported.
static int RefusedStreamSeek(int result) {
  DiagPrint("Failed in seek in rfseek. \n");
  StreamSeek(gRd.stream, gRd.position, SEEK_SET);
  return result;
}

int rfseekset(int64_t offset) {
  if (gRd.closed == kSet || !ReaderOpen()) return -2;
  if (gRd.osMode) {
    rfbufrewind();
    if (PortSeek(gRd.handle, offset, 0, nullptr) != 0) {
      DiagPrint("Failed in seek in rfseek. \n");
      return -2;
    }
  } else if (StreamSeek(gRd.stream, offset, SEEK_SET) != 0) {
    return RefusedStreamSeek(-2);
  }
  gRd.position = offset;
  gRd.closed = 0;
  return 0;
}

int rfseek(int64_t offset, int origin) {
  if (origin < 0 || origin > 2) return -5;
  int failed = origin == 2 ? -4 : -2;
  if (gRd.closed == kSet || !ReaderOpen()) return -2;
  if (gRd.osMode) {
    rfbufrewind();
    int64_t now = 0;
    if (PortSeek(gRd.handle, offset, origin, &now) != 0) {
      DiagPrint("Failed in seek in rfseek. \n");
      return failed;
    }
    // The OS's own answer: the requested offset from the start, position +
    // offset from here, or the size plus offset from the end.
    gRd.position = now;
  } else {
    static const int kWhence[3] = {SEEK_SET, SEEK_CUR, SEEK_END};
    if (StreamSeek(gRd.stream, offset, kWhence[origin]) != 0) return RefusedStreamSeek(failed);
    const int64_t now = StreamTell(gRd.stream);
    if (now < 0) return RefusedStreamSeek(failed);
    gRd.position = now;
  }
  gRd.closed = 0;
  return 0;
}

int64_t rftell() { return gRd.position; }

int rfeof() { return (int8_t)gRd.closed; }

intptr_t rfhandle() {
  if (gRd.osMode) return gRd.handle;
  return reinterpret_cast<intptr_t>(gRd.stream);
}

void rfreset() {
  rfclose();
  gRd.osMode = false;
  gRd.position = 0;
}

// ---- writer ----------------------------------------------------------------

namespace {

// Writes out the bytes waiting in the OS-handle mode buffer. false on failure.
bool WriterFlush() {
  if (!gWr.osMode || gWr.fill == 0) return true;
  int n = gWr.fill;
  gWr.fill = 0;
  return PortWrite(gWr.handle, gWr.buf, n) == n;
}

void WriterFailed() {
  DiagPrint("File writing error.(or Disk full)\n");
  wfclose();
}

}  // namespace

int wfopen(const char* path) {
  if (!path) return -1;
  // Always a new file: never over an existing one, never through a link.
  FILE* f = PortCreateStreamA(path);
  if (!f) {
    DiagPrint("Cannot open WR file : %s\n", path);
    return -1;
  }
  // A file still open here is finished first: its stream uses the same buffer.
  wfclose();
  if (setvbuf(f, gWr.buf, _IOFBF, sizeof gWr.buf) != 0) {
    DiagPrint("Buffering failed.(WR)\n");
    fclose(f);
    return -1;
  }
  gWr.osMode = false;
  gWr.stream = f;
  gWr.written = 0;
  gWr.closed = 0;
  return 0;
}

int wfopenW(const char16_t* path) {
  if (!path) return -1;
  PortHandle h = kPortNoHandle;
  int err = PortCreateNewW(path, &h);
  if (err != 0 || h == kPortNoHandle) {
    char narrow[kBufSize / 8];
    unitonarrow(narrow, sizeof narrow, path);
    DiagPrint("Cannot open WR file : %s\n", narrow);
    return -1;
  }
  wfclose();
  gWr.osMode = true;
  gWr.handle = h;
  gWr.fill = 0;
  gWr.written = 0;
  gWr.closed = 0;
  return 0;
}

int wfputc(int byte) {
  if (gWr.closed == kSet) return -1;
  if (gWr.osMode) {
    gWr.buf[gWr.fill++] = (char)byte;
    if (gWr.fill == kBufSize && !WriterFlush()) {
      WriterFailed();
      return -1;
    }
  } else if (fputc(byte & 0xFF, gWr.stream) == EOF) {
    WriterFailed();
    return -1;
  }
  gWr.written++;
  return 0;
}

int wfputshort(uint16_t v) {
  wfputc(v & 0xFF);
  wfputc(v >> 8);
  return wfeof();
}

int wfputlong(uint32_t v) {
  for (int i = 0; i < 4; i++) wfputc((v >> (8 * i)) & 0xFF);
  return wfeof();
}

void wfclose() {
  if (gWr.closed == kSet) return;
  if (gWr.osMode) {
    if (!WriterFlush()) DiagPrint("File writing error.(or Disk full)\n");
    PortCloseFile(gWr.handle);
  } else if (gWr.stream) {
    fclose(gWr.stream);
  }
  gWr.handle = kPortNoHandle;
  gWr.stream = nullptr;
  gWr.fill = 0;
  gWr.closed = kSet;
}

int wfeof() { return (int8_t)gWr.closed; }

uint32_t wfcount() { return gWr.written; }

void wfreset() {
  wfclose();
  gWr.osMode = false;
  gWr.written = 0;
}

// ---- font stream -----------------------------------------------------------

int fsopen(FontStreamRec* s, const char16_t* path) {
  if (!s) return 1;
  if (rfopenW(path) != 0) return 1;
  rfseek(0, 2);
  const int64_t size = rftell();
  if (size == 0) {
    rfclose();
    return 0x51;
  }
  if (size > 0xFFFFFFFF) {  // beyond what the stream's 32-bit size holds
    rfclose();
    return 1;
  }
  rfseek(0, 0);
  s->size = static_cast<uint32_t>(size);
  s->pos = 0;
  s->descriptor = rfhandle();
  return 0;
}

unsigned long fsread(FontStreamRec* s, unsigned long offset, unsigned char* buf,
                     unsigned long count) {
  if (!s) return 0;
  if (count == 0 && offset > s->size) return 1;
  if (offset > 0x7FFFFFFFul) return 0;
  if (s->pos != offset) {
    if (rfseekset((int32_t)offset) != 0) return 0;
    s->pos = (uint32_t)offset;
  }
  if (count == 0 || !buf) return 0;
  int n = count > 0x7FFFFFFFul ? 0x7FFFFFFF : (int)count;
  int got = rfread(buf, n);
  s->pos += (uint32_t)got;
  return (unsigned long)got;
}

void fsclose(FontStreamRec* s) {
  rfclose();
  if (!s) return;
  s->size = 0;
  s->pos = 0;
  s->descriptor = 0;
}
