// UTF-16 <-> UTF-8 for file-system paths and texts handed to the window
// system (surrogate pairs joined; lone surrogates, invalid bytes and code
// points beyond U+10FFFF become U+FFFD). Both write at most cap units,
// always terminate (cap >= 1) and return false when the text did not fit.
#pragma once

bool PathUtf16ToUtf8(char* dst, int cap, const char16_t* src);
bool PathUtf8ToUtf16(char16_t* dst, int cap, const char* src);
