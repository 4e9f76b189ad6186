// The per-file sequence of the report tool: every argument is a motion.
#pragma once
#include <cstdio>

// Sets up the run for the report tool: environment from the platform and the
// executable's directory (where alias.ini is looked for).
void ReportToolStart(const char* exePath);
// Reads one motion and prints its report and verdict to out. Returns 0 when
// the motion read gave 0, 1 otherwise.
int ReportToolFile(const char* file, FILE* out);
