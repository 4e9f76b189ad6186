// Standard output and arguments of the Windows console programs
// (tarvel-report.exe, tarvel-fix.exe).
//
// What they print is UTF-8 with LF line ends, the same bytes as on Linux. A
// file or a pipe receives exactly those bytes (the C runtime's text mode,
// which would add CR, is switched off). A console receives the text as
// UTF-16 through WriteConsoleW, so it shows correctly whatever the console's
// code page, and no code page is changed: the output is held in a temporary
// file (deleted when closed) and shown at the end of the run.
#pragma once
#include <cstdio>

// The stream to print to: stdout, or the temporary file when stdout is a
// console. Call before the first output.
FILE* Win32Utf8OutputBegin();
// Shows on the console what the temporary file holds and closes it; for
// stdout only flushes it.
void Win32Utf8OutputEnd(FILE* out);

// Of n bytes of UTF-8, how many end on a whole character: a sequence cut at
// the end is left for the next read (invalid bytes count as whole).
int Utf8WholeLength(const char* s, int n);

// The narrow form of an argument, where it names the same file: converted
// back, it gives the UTF-16 form. Where the ANSI code page cannot hold a
// name, the system gives '?' or a look-alike ("a" for "ā") that may name
// another file; such a name is read through its UTF-16 form alone ("").
// The result is narrow itself or "".
const char* Win32SameNameOrEmpty(const char* narrow, const char16_t* wide);
