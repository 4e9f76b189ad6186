// Helpers of the POSIX back end shared by the GTK and headless back ends.
#pragma once
#include <climits>
#include <cstdint>

#include "platform/port.h"

bool PosixPathFromW(char* dst, int cap, const char16_t* src);  // UTF-16 -> UTF-8
bool PosixPathToW(char16_t* dst, int cap, const char* src);    // UTF-8 -> UTF-16
uint32_t PosixCodePage();
uint16_t PosixLangId();
bool PosixIsDbcsLeadByte(unsigned char b);
const char* PosixOsName();
void PosixExePath(char* dst, int cap, const char* argv0);
