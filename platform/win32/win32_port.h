// Helpers of the Win32 back end.
//
// win32_files.cpp is the Windows counterpart of platform/posix: files,
// directories, the current directory and the locale helpers that the
// headless double and the null back end (the report tool) use (the Posix*
// names of platform/posix/posix_port.h, with the system's own answers). The window
// program adds win32_process.cpp (process, locale, message boxes, the
// open-file dialog, the message pump) and win32_window.cpp (the report window).
#pragma once
#include <cstdint>

#include "platform/port.h"

// The report window's handle (an HWND), the owner of message boxes and the
// open-file dialog while it exists; null otherwise. In win32_window.cpp; the
// programs without a window (tests, the report tool) see null.
void* Win32OwnerWindow();
