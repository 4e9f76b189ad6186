// The ReportBuffer: 512 lines of at most 127 bytes of Shift-JIS text, one
// colour per line.
#pragma once
#include <cstdint>

constexpr int kReportLines = 512;
constexpr int kReportCols = 128;

struct ReportBuffer {
  char lines[kReportLines][kReportCols];
  uint16_t linelength[kReportLines];
  uint32_t cellcolour[kReportLines][kReportCols];
  uint8_t cellattr[kReportLines][kReportCols];
  int32_t linecount;
  int32_t column;
  int32_t widest;
  uint8_t red, green, blue;
  uint32_t colour;
};
extern ReportBuffer gReport;

void rbreset();
void rbcolor(int red, int green, int blue);
void rbputs(const char* text);
void rbnewline();

// Replaces the text and colour of finished line n (cut to the line's size).
void rbsetline(int n, const char* text, int red, int green, int blue);
// Lines finished after the buffer was full: not kept.
int rbdropped();
// When lines were dropped, the last line says that the report goes on and
// how many lines are not shown (the dropped ones and the one it replaces).
// Call once the report is written. Returns the number not shown, or 0.
int rbmarkdropped();
