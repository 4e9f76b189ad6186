// The text views of the recorded report: the report as text and the
// summary line.
#pragma once
#include <string>

#include "analysis/file_report.h"

// "# FILE", the report's lines (colour, tab, text) of a file that was read,
// a "#status" line for a file that is not complete, and for a file that was
// read "#verdict" with the verdict text.
void AppendTextReport(std::string* out, const char* file, const FileReport& r);

// One line: the category (for a file cut short "cut:" and its category, for
// a file not read its status), keys, duration in seconds, the path, and for a
// file not complete a tab and what is wrong. Control characters in the texts
// are escaped, as in the text report.
void AppendSummaryLine(std::string* out, const FileReport& r);
