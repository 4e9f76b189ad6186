// The GTK back end's start-up: keeps argv and opens the display.
#pragma once

// Returns false (and says why on standard error) when no display can be opened.
bool GtkPortInit(int argc, char** argv);

// The report window (a GtkWindow*), owner of the message boxes while it
// exists; null otherwise. In gtk_window.cpp.
void* GtkPortBoxOwner();

// Narrow text of the system code page as UTF-8 for GTK (Shift-JIS decoded
// where that is the code page; bytes that are not UTF-8 replaced). Free the
// result with g_free.
char* GtkNarrowToUtf8(const char* text);
