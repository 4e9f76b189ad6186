// Standard output of the Windows console programs (tarvel-report.exe).
//
// What they print is UTF-8 with LF line ends, the same bytes as on Linux: a
// file or a pipe receives exactly those bytes (the C runtime's text mode,
// which would add CR, is switched off). A console shows them correctly
// whatever its code page: its output code page is UTF-8 while the program
// runs and is put back when it ends, also when Ctrl+C or Ctrl+Break ends it.
#pragma once

// Call before the first output. Returns true when standard output is a
// console (its code page was switched).
bool Win32Utf8OutputBegin();
// Puts the console's output code page back (nothing when it was not switched).
// Also called at exit.
void Win32Utf8OutputEnd();
