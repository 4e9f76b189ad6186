// Shift-JIS (the program's own Shift_JIS-2004 tables), UTF-16 and UTF-8.
// Every converter takes the destination's capacity (in its own units: bytes
// for Shift-JIS and UTF-8, 16-bit units for UTF-16), never writes past it and
// always terminates what it wrote (a capacity below 1 writes nothing). A
// character that does not fit whole is not written; conversion stops there,
// and a count result includes that character as examined.
#pragma once
#include <cstdint>

// Table lookups: 0 when the code has no mapping.
uint32_t sjis2uni(uint32_t code);      // Shift-JIS code -> code point
// Whether sjistoutf8 gives the double-byte code (lead * 256 + trail, lead
// 0x81-0x9F or 0xE0-0xFC) a character: the code page's own pairs first,
// then the table.
bool sjiscodemapped(uint32_t code);
uint16_t uni2sjis(uint32_t unit);      // UTF-16 unit -> Shift-JIS code
inline bool issjislead(unsigned char b) {  // 0x80-0x9F, 0xE0-0xFC
  return (b >= 0x80 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Shift-JIS -> UTF-16; result: source bytes examined.
int sjistouni(char16_t* dst, int dstcap, const char* src);
// Appends to the UTF-16 string already in dst.
int sjiscatuni(char16_t* dst, int dstcap, const char* src);
// UTF-16 -> Shift-JIS; result: source units examined.
int unitosjis(char* dst, int dstcap, const char16_t* src);
// The same for text shown to a person: a character the table holds is
// written as its code, any other as '?', U+00E9 as 0x85 0x7E and U+00A5 as
// 0x5C, so that no unit from 0x80 up becomes a lone byte that swallows the
// next character.
int unitosjisshown(char* dst, int dstcap, const char16_t* src);
// 0 when every unit can be written in Shift-JIS, -1 otherwise.
int unichksjis(const char16_t* src);
// UTF-8 -> UTF-16; 7 when no invalid sequence was met, 0 otherwise.
int utf8touni(char16_t* dst, int dstcap, const char* src);
// UTF-16 -> UTF-8; result: source bytes consumed (2 per unit).
int unitoutf8(char* dst, int dstcap, const char16_t* src);
// UTF-8 -> Shift-JIS; 7 or 0 as utf8touni.
int utf8tosjis(char* dst, int dstcap, const char* src);
// Shift-JIS -> UTF-8; result: the Shift-JIS status value (7, 15, ...).
int sjistoutf8(char* dst, int dstcap, const char* src);
// Appends; -1 when the existing string is 520 bytes or longer.
int sjiscatutf8(char* dst, int dstcap, const char* src);

int unilen(const char16_t* s);                  // at most 4999
int unicpy(char16_t* dst, int dstcap, const char16_t* src);  // units copied
int unicat(char16_t* dst, int dstcap, const char16_t* src);  // units appended

// Narrow <-> UTF-16 in the system's narrow code page: the UTF-8 converters
// when it is 65001, the Shift-JIS ones otherwise.
int narrowtouni(char16_t* dst, int dstcap, const char* src);
int unitonarrow(char* dst, int dstcap, const char16_t* src);
