// The per-file sequence of the report tool: every argument is a motion.
#pragma once
#include <cstdio>

// Sets up the run for the report tool: environment from the platform and the
// executable's directory (where alias.ini is looked for). exePathW, when
// given, is the UTF-16 form of the same path (Windows), else it is derived.
void ReportToolStart(const char* exePath, const char16_t* exePathW = nullptr);
// Reads one motion and prints its report and verdict to out. Returns 0 when
// the motion read gave 0, 1 otherwise. fileW, when given, is the UTF-16 form
// of the same name (Windows: the narrow form loses what the ANSI code page
// cannot hold); the heading then shows it in UTF-8.
int ReportToolFile(const char* file, FILE* out, const char16_t* fileW = nullptr);
