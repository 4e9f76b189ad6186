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
