// The report (header lines and lists) and the verdict text.
#pragma once

// The header lines, the findings and the bone and morph lists into the
// ReportBuffer (and recorded into gFileReport).
void buildreport();
// The verdict box's texts, gFileReport.boxtext (Shift-JIS) and boxtextw
// (UTF-16), and the verdict's category.
void buildverdict();
