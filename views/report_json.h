// The JSON views of the recorded report: one object per file, and the
// document of a whole run, {"files": [...], "summary": {...}}. Compact JSON
// without a line break, byte for byte as nlohmann::json prints it (a file's
// object is written straight as text in that form, the summary built with it).
#pragma once
#include <cstdint>
#include <string>

#include "analysis/file_report.h"

// Counts of a run: files per status, read files per verdict category.
struct ReportCounts {
  int64_t files;
  int64_t status[kStatuses];
  int64_t category[kLevels];
};
void CountReport(ReportCounts* c, const FileReport& r);

// Appends the file's object.
void AppendFileJson(std::string* out, const FileReport& r);
// Appends the summary object of the counts.
void AppendSummaryJson(std::string* out, const ReportCounts& c);

// The document in pieces, so that a run of any length holds one file's
// object at a time: the head, each file in order (counted into c, which
// starts zeroed), then the tail with the summary. The pieces joined are the
// document as one JSON value would print it.
void AppendDocumentHead(std::string* out);
void AppendDocumentFile(std::string* out, ReportCounts* c, const FileReport& r);
void AppendDocumentTail(std::string* out, const ReportCounts& c);
