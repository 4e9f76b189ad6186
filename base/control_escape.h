// Text for the line-based outputs (the text report, the summary, messages):
// control characters are shown as visible escapes, so that no name or text
// can start a line of its own or reach a terminal as a control sequence.
#pragma once
#include <string>

// Appends s with every control byte (0x00-0x1F, 0x7F) and every C1 control
// character encoded in UTF-8 (U+0080-U+009F, the bytes C2 80 to C2 9F)
// written as \xHH, one escape per byte, HH in lower-case hex. All other
// bytes are kept as they are.
void AppendEscaped(std::string* out, const char* s);
std::string Escaped(const char* s);
