// Saving the canvas as an uncompressed 24-bit BMP through the FileWriter.
//
// The file is a 14-byte file header and a 40-byte information header (54
// bytes), then the pixel rows bottom-up, each W pixels of blue, green, red
// padded with zeros to a multiple of 4 bytes.
#include "display/capture.h"

#include <cstdint>
#include <cstdio>

#include "base/diag.h"
#include "base/encoding.h"
#include "base/filechan.h"
#include "base/paths.h"
#include "base/runenv.h"
#include "display/canvas.h"
#include "platform/port.h"

namespace {

constexpr int kNameCap = kPathMax + 32;
constexpr uint32_t kHeaderSize = 54;

// The extension of the name (only the part before a first ';') must begin
// with ".BMP", letters in any case.
bool IsBmpName(const char* path) {
  char name[kNameCap * 2], ext[kNameCap * 2];
  char first[kNameCap * 2];
  const char* checked = path;
  if (getlistitem(first, sizeof first, path, 1) == 0) {
    getlistitem(first, sizeof first, path, 0);
    checked = first;
  }
  int i = 0;
  for (; i < (int)sizeof name - 1 && checked[i]; i++) name[i] = checked[i];
  name[i] = 0;
  getext(ext, sizeof ext, name);
  if (headcmp(ext, ".BMP") == 0) return true;
  DiagPrint("Unrecognized file type: %s.\n", ext);
  return false;
}

bool IsBmpNameW(const char16_t* path) {
  char16_t name[kNameCap * 2], ext[kNameCap * 2];
  int i = 0;
  for (; i < kNameCap * 2 - 1 && path[i] && path[i] != u';'; i++) name[i] = path[i];
  name[i] = 0;
  unigetext(ext, kNameCap * 2, name);
  if (uniheadcmp(ext, u".BMP") == 0) return true;
  char shown[kNameCap * 3];
  unitoutf8(shown, sizeof shown, ext);
  DiagPrint("Unrecognized file type: %s.\n", shown);
  return false;
}

void RemovePartial(const char* path, const char16_t* widepath, int usewide) {
  if (usewide) PortRemoveW(widepath);
  else PortRemoveA(path);
}

// The writer's buffer goes out when the file is closed, and a failure there
// is not reported back; so the size on disk is checked. True when the file
// holds `expected` bytes or cannot be looked at.
bool WholeOnDisk(const char* path, const char16_t* widepath, int usewide, uint32_t expected) {
  char16_t conv[kNameCap * 2];
  const char16_t* p = widepath;
  if (!usewide) {
    narrowtouni(conv, kNameCap * 2, path);
    p = conv;
  }
  PortHandle h = kPortNoHandle;
  if (PortOpenReadW(p, &h) != 0 || h == kPortNoHandle) return true;
  int64_t size = -1;
  int r = PortSeek(h, 0, 2, &size);
  PortCloseFile(h);
  return r != 0 || size == (int64_t)expected;
}

int WriteFile(const char* path, const char16_t* widepath, int usewide) {
  uint32_t w = (uint32_t)CanvasWidth(), h = (uint32_t)CanvasHeight();
  uint32_t rowSize = (3 * w + 3) & ~3u;
  uint32_t pad = rowSize - 3 * w;
  uint32_t fileSize = rowSize * h + kHeaderSize;

  if ((usewide ? wfopenW(widepath) : wfopen(path)) != 0) return -1;
  if (wfputc('B') != 0) {
    wfclose();
    return 1;
  }
  if (wfputc('M') != 0) {
    wfclose();
    return 2;
  }
  wfputlong(fileSize);
  wfputshort(0);
  wfputshort(0);
  wfputlong(kHeaderSize);  // offset of the pixel data
  wfputlong(40);           // size of the information header
  wfputlong(w);
  wfputlong(h);  // positive: rows bottom-up
  wfputshort(1);   // planes
  wfputshort(24);  // bits per pixel
  for (int i = 0; i < 6; i++) wfputlong(0);  // compression, sizes, resolutions, colours
  if (wfeof()) {
    wfclose();
    return 11;
  }
  if (wfcount() != kHeaderSize) DiagPrint("Assert fail : bmpstart!=fptr \n");

  for (int y = (int)h - 1; y >= 0; y--) {
    if (PumpMessages() != 0 && TakePendingCode() == 27) {
      wfclose();
      DiagPrint("\nAborted.\n");
      return 27;
    }
    if (wfeof()) return -2;
    DiagPrint("\rLeft%5d lines  ", y);
    for (int x = 0; x < (int)w; x++) {
      uint8_t r, g, b;
      CanvasPixel(x, y, &r, &g, &b);  // black when unreadable
      wfputc(b);
      wfputc(g);
      wfputc(r);
    }
    for (uint32_t i = 0; i < pad; i++) wfputc(0);
  }
  // A failure in the last row must not pass for success.
  if (wfeof()) return -2;
  wfclose();
  if (!WholeOnDisk(path, widepath, usewide, fileSize)) return -2;
  DiagPrint("done.\n");
  return 0;
}

}  // namespace

int CaptureCanvas(const char* path, const char16_t* widepath, int usewide) {
  if (usewide ? !widepath : !path) return -1;
  if (!(usewide ? IsBmpNameW(widepath) : IsBmpName(path))) return 4;
  int r = WriteFile(path, widepath, usewide);
  // A capture that stopped part-way leaves no truncated file behind.
  if (r != 0 && r != -1) RemovePartial(path, widepath, usewide);
  return r;
}

// The first N from 1 to 99 whose name exists in no form (file, folder, link,
// FIFO) is written; the file is created new, so a name taken meanwhile sends
// the search on to the next N. A route whose folder is unknown (empty) is not
// tried.
int SaveCapture() {
  if (!gRun.exeDirA[0] && !gRun.exeDirW[0]) {
    DiagPrint("No folder for captures. \n");
    return 0;
  }
  for (int n = 1; n <= 99; n++) {
    char digits[4];
    snprintf(digits, sizeof digits, "%d", n);
    char name[kNameCap] = "";
    if (gRun.exeDirA[0]) snprintf(name, sizeof name, "%scap(%s).bmp", gRun.exeDirA, digits);
    char16_t wide[kNameCap] = u"";
    if (gRun.exeDirW[0]) {
      unicpy(wide, kNameCap, gRun.exeDirW);
      unicat(wide, kNameCap, u"cap(");
      sjiscatuni(wide, kNameCap, digits);
      unicat(wide, kNameCap, u").bmp");
    }
    if (PortNameExistsA(name) || PortNameExistsW(wide)) continue;
    int r = name[0] ? CaptureCanvas(name, wide, 0) : -1;
    if (r == -1 && wide[0]) {
      DiagPrint("Re-opening in UTF-16. \n");
      r = CaptureCanvas(name, wide, 1);
    }
    if (r == -1 && (PortNameExistsA(name) || PortNameExistsW(wide))) continue;
    return r == 27 ? 0 : r;
  }
  return 0;
}
