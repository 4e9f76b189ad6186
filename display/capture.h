// Saving the canvas as cap(N).bmp beside the executable.
#pragma once

// 0, -1, 1, 2, 4, 11, -2 or 27 (see the file's comments).
int CaptureCanvas(const char* path, const char16_t* widepath, int usewide);
// Pick the first free cap(N).bmp (N 1..99) and write it. Returns the capture's
// result with 27 turned into 0, or 0 when every name is taken (nothing written).
int SaveCapture();
