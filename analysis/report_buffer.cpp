#include "analysis/report_buffer.h"

#include <cstdio>
#include <cstring>

#include "base/diag.h"
#include "base/encoding.h"

ReportBuffer gReport;

// Set once a piece of text did not fit the current line: the rest of that
// line is dropped, so that a later short piece cannot land behind the cut.
static bool gLineCut = false;
// Lines finished after the last one the buffer holds.
static int gDropped = 0;

// Only rbputs and rbnewline write the buffer, and only the lines up to
// linecount (the last one maybe half written): the reset clears those, which
// leaves the whole buffer as zeroed as clearing all 512 lines would.
void rbreset() {
  ReportBuffer& r = gReport;
  const int used =
      r.linecount >= 0 && r.linecount < kReportLines ? r.linecount + 1 : kReportLines;
  memset(r.lines, 0, sizeof r.lines[0] * used);
  memset(r.linelength, 0, sizeof r.linelength[0] * used);
  memset(r.cellcolour, 0, sizeof r.cellcolour[0] * used);
  memset(r.cellattr, 0, sizeof r.cellattr[0] * used);
  r.linecount = r.column = r.widest = 0;
  r.colour = 0;
  gLineCut = false;
  gDropped = 0;
  gReport.red = 255;
  gReport.green = 255;
  gReport.blue = 255;
}

void rbcolor(int red, int green, int blue) {
  gReport.red = (uint8_t)red;
  gReport.green = (uint8_t)green;
  gReport.blue = (uint8_t)blue;
}

void rbputs(const char* text) {
  if (!text) text = "";
  DiagPrint("%s", text);
  if (gReport.linecount >= kReportLines) return;
  gReport.colour = (uint32_t)gReport.blue << 16 | (uint32_t)gReport.green << 8 | gReport.red;

  // A line holds at most kReportCols - 1 bytes and its terminator. Text
  // beyond that is cut at a character boundary: a double-byte character is
  // written whole or not at all.
  char* line = gReport.lines[gReport.linecount];
  int col = gReport.column;
  bool cut = gLineCut;  // kept here while bytes are stored (a char store may alias it)
  const unsigned char* s = (const unsigned char*)text;
  const size_t length = strlen(text);
  int i = 0;
  // Eight ASCII bytes at a time (no lead byte among them) while they fit.
  while (!cut && col + 8 <= kReportCols - 1 && (size_t)i + 8 <= length) {
    uint64_t w;
    memcpy(&w, s + i, 8);
    if (w & 0x8080808080808080u) break;
    memcpy(line + col, &w, 8);
    col += 8;
    i += 8;
  }
  while (s[i] && !cut) {
    int n = (issjislead(s[i]) && s[i + 1]) ? 2 : 1;
    if (col + n > kReportCols - 1) {
      cut = true;
      break;
    }
    line[col++] = (char)s[i++];
    if (n == 2) line[col++] = (char)s[i++];
  }
  line[col] = 0;
  gLineCut = cut;
  gReport.column = col;
}

void rbnewline() {
  DiagPrint("\n");
  if (gReport.linecount >= kReportLines) {
    if (gDropped < 0x7FFFFFFF) gDropped++;
    return;
  }
  int n = gReport.linecount;
  gReport.linelength[n] = (uint16_t)gReport.column;
  if (gReport.column > gReport.widest) gReport.widest = gReport.column;
  for (int c = 0; c < kReportCols; c++) {
    gReport.cellcolour[n][c] = gReport.colour;
    gReport.cellattr[n][c] = 0x10;
  }
  gReport.linecount = n + 1;
  gReport.column = 0;
  gLineCut = false;
}

int rbdropped() { return gDropped; }

void rbsetline(int n, const char* text, int red, int green, int blue) {
  if (n < 0 || n >= gReport.linecount) return;
  char* line = gReport.lines[n];
  // at most kReportCols - 1 bytes, a double-byte character whole or not at all
  const unsigned char* s = (const unsigned char*)text;
  int col = 0;
  while (s[col]) {
    const int step = (issjislead(s[col]) && s[col + 1]) ? 2 : 1;
    if (col + step > kReportCols - 1) break;
    col += step;
  }
  memcpy(line, text, (size_t)col);
  line[col] = 0;
  gReport.linelength[n] = (uint16_t)col;
  if (col > gReport.widest) gReport.widest = col;
  const uint32_t packed = (uint32_t)(blue & 0xFF) << 16 | (uint32_t)(green & 0xFF) << 8 | (uint32_t)(red & 0xFF);
  for (int c = 0; c < kReportCols; c++) gReport.cellcolour[n][c] = packed;
}

int rbmarkdropped() {
  if (gDropped == 0 || gReport.linecount < kReportLines) return 0;
  const int hidden = gDropped + 1;
  char text[kReportCols];
  snprintf(text, sizeof text, "  ... the report goes on: %d more lines are not shown (it holds %d lines)",
           hidden, kReportLines);
  rbsetline(kReportLines - 1, text, 255, 255, 255);
  return hidden;
}
