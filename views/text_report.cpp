#include "views/text_report.h"

#include <cstdio>

void AppendTextReport(std::string* out, const char* file, const FileReport& r) {
  static char text[kLineUtf8 + 16];
  *out += "# ";
  *out += file;
  *out += '\n';
  if (r.read) {
    static const char kHex[] = "0123456789abcdef";
    for (int i = 0; i < r.lineCount; i++) {
      // "%06x\t" of the colour (0xRRGGBB), without printf's cost per line
      const uint32_t c = r.lines[i].colour;
      int n = 7;
      if (c <= 0xFFFFFF) {
        for (int k = 0; k < 6; k++) text[k] = kHex[c >> (20 - 4 * k) & 0xF];
        text[6] = '\t';
      } else {
        n = snprintf(text, sizeof text, "%06x\t", c);
      }
      LineUtf8(r.lines[i], text + n, static_cast<int>(sizeof text) - n);
      *out += text;
      *out += '\n';
    }
  }
  if (r.status != kStatusComplete) {
    char message[256];
    StatusMessage(r, message, sizeof message);
    *out += "#status ";
    *out += StatusName(r.status);
    *out += ": ";
    *out += message;
    *out += '\n';
  }
  if (!r.read) return;
  static char verdict[kVerdictUtf8];
  VerdictUtf8(r, verdict, sizeof verdict);
  *out += "#verdict\n";
  *out += verdict;
  *out += '\n';
}

void AppendSummaryLine(std::string* out, const FileReport& r) {
  char line[64];
  snprintf(line, sizeof line, "%-12s %9lld keys %10.2f s  ",
           r.status == kStatusComplete ? CategoryName(r.category) : StatusName(r.status),
           static_cast<long long>(r.keys), r.durationFrames / 30.0);
  *out += line;
  *out += r.path;
  *out += '\n';
}
