// The text/uri-list of a drop, as the desktops hand it over.
#pragma once

// Splits a text/uri-list (CR LF or LF separated) into local paths: file:
// URIs with an empty or "localhost" host, percent-decoded; comment lines,
// other URIs, paths holding a NUL and paths that do not fit are left out.
// Returns the number of paths stored (at most max).
int UriListToPaths(const char* list, int len, char (*paths)[1024], int max);
