// The text views of the recorded report: the report as text and the
// summary line.
#pragma once
#include <string>

#include "analysis/file_report.h"

// "# FILE", the report's lines (colour, tab, text) of a file that was read,
// a "#status" line for a file that is not complete, and for a file that was
// read "#verdict" with the verdict text.
void AppendTextReport(std::string* out, const char* file, const FileReport& r);

// One line: the category (or the status of a file that is not complete),
// keys, duration in seconds, the path.
void AppendSummaryLine(std::string* out, const FileReport& r);
