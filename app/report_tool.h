// The report tool: checks motions, and folders of motions, and prints what
// it learnt as the text report, one JSON document, JSON Lines or a summary.
#pragma once
#include <cstdio>

// Sets up the run for the report tool: environment from the platform and the
// executable's directory (where alias.ini is looked for). exePathW, when
// given, is the UTF-16 form of the same path (Windows: the narrow form has
// lost what the ANSI code page cannot hold), else it is made from exePath.
void ReportToolStart(const char* exePath, const char16_t* exePathW = nullptr);

// Checks one motion (the file as given, its UTF-16 form widefile or null to
// make it from the narrow form) through the per-file check; the recorded
// report is in gFileReport. Returns the file's status (FileStatus).
int ReportToolCheck(const char* file, const char16_t* widefile);

// Check and print as text. Returns 0 when the motion is complete, 1 otherwise.
int ReportToolFile(const char* file, FILE* out);

// The whole run over the arguments (options, files and folders). argv holds
// the narrow forms, wargv their UTF-16 forms or is null; entry 0 is the
// program. Reports go to out, messages to err. Returns the exit status: 0
// every file complete, 1 any file not complete (or a folder not listed), 2 a
// usage error, 3 a verdict reached the --fail-on category.
int ReportToolRun(int argc, const char* const* argv, const char16_t* const* wargv, FILE* out,
                  FILE* err);
