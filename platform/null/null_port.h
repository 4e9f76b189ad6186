// The null back end: the port of the programs that have no window and ask
// nobody anything, the command-line report tool and the page. Files,
// folders and the locale helpers come from the POSIX (or Win32) back end;
// everything else answers as a machine with no screen and no user would:
// pauses return at once, no box or dialog is shown (a box counts as answered
// with OK, a dialog as cancelled), no window can be made, the clipboard
// refuses, and the command line is empty (the programs take their arguments
// themselves).
#pragma once
#include <cstdint>

// The code page (console output, console input and narrow paths and texts
// alike) and the user's language the port reports from now on; before the
// first call, 65001 and English (0x0409).
void NullPortStart(uint32_t codePage, uint16_t langId);
