// Helpers of the POSIX back end shared by the GTK, null and headless back ends.
#pragma once
#include <climits>
#include <cstdint>

#include "platform/common/path_utf.h"
#include "platform/port.h"

uint32_t PosixCodePage();
uint16_t PosixLangId();
bool PosixIsDbcsLeadByte(unsigned char b);
const char* PosixOsName();
void PosixExePath(char* dst, int cap, const char* argv0);
// An errno value as the port's error code (Windows numbering), so that a
// reason reads the same on every system: ELOOP is 1921 (the name cannot be
// resolved), EIO 1117, ... A value with no counterpart stays as it is.
int PosixErrorCode(int e);
