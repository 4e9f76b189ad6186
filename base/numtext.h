// Numbers as the report and the clipboard show them: printf's "%W.Pf" and
// "%g" forms, always with '.' as the decimal point and no grouping, whatever
// the process locale says. These texts are read by people and tools alike,
// so they must not change with the user's locale.
#pragma once

// "%*.*f": v with prec digits after the point, right-aligned in width.
// "%g" when general is set (prec significant digits; 6 for printf's default).
// Writes at most cap bytes with the NUL; returns the length written, or -1
// when the text does not fit (dst then holds an empty text).
int FormatFixed(char* dst, int cap, double v, int width, int prec);
int FormatGeneral(char* dst, int cap, double v, int prec = 6);
