#include "views/text_report.h"

#include <cstdio>

#include "base/control_escape.h"

// Names and texts with their control characters escaped: no line of a
// report can be forged by a name.
void AppendTextReport(std::string* out, const char* file, const FileReport& r) {
  static char text[kLineUtf8 + 16];
  *out += "# ";
  AppendEscaped(out, file);
  *out += '\n';
  if (r.read) {
    static const char kHex[] = "0123456789abcdef";
    for (int i = 0; i < r.lineCount; i++) {
      // "%06x\t" of the colour (0xRRGGBB), without printf's cost per line
      const uint32_t c = r.lines[i].colour;
      if (c <= 0xFFFFFF) {
        char head[7];
        for (int k = 0; k < 6; k++) head[k] = kHex[c >> (20 - 4 * k) & 0xF];
        head[6] = '\t';
        out->append(head, sizeof head);
      } else {
        const int n = snprintf(text, sizeof text, "%06x\t", c);
        out->append(text, static_cast<size_t>(n));
      }
      LineUtf8(r.lines[i], text, static_cast<int>(sizeof text));
      AppendEscaped(out, text);
      *out += '\n';
    }
  }
  if (r.status != kStatusComplete) {
    char message[kMessageMax];
    StatusMessage(r, message, sizeof message);
    *out += "#status ";
    *out += StatusName(r.status);
    *out += ": ";
    AppendEscaped(out, message);
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
  // A file cut short: its status and its verdict on the keys read. A file
  // not complete: after the path, a tab and what is wrong.
  char first[32];
  if (r.status == kStatusComplete)
    snprintf(first, sizeof first, "%s", CategoryName(r.category));
  else if (r.read)
    snprintf(first, sizeof first, "%s:%s", StatusName(r.status), CategoryName(r.category));
  else
    snprintf(first, sizeof first, "%s", StatusName(r.status));
  char line[96];
  snprintf(line, sizeof line, "%-12s %9lld keys %10.2f s  ", first,
           static_cast<long long>(r.keys), r.durationFrames / 30.0);
  *out += line;
  AppendEscaped(out, r.path);
  if (r.status != kStatusComplete) {
    char message[kMessageMax];
    StatusMessage(r, message, sizeof message);
    *out += '\t';
    AppendEscaped(out, message);
  }
  *out += '\n';
}
