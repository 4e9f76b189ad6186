// A failed write to a command-line tool's output ends the run, said in words.
#pragma once
#include <cstdio>

// Flushes out. True when everything written so far reached it; otherwise
// "PROGRAM: write error: <reason>" on err and false: the caller ends the
// run.
bool OutputWritten(FILE* out, FILE* err, const char* program);
