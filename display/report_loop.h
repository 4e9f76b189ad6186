// The report event loop: draw the report once, then react to the user.
#pragma once

enum ReportOutcome { kOutcomeQuit = 0, kOutcomeDropped = 1, kOutcomeNoFont = 2 };

struct FileReport;

// Runs the loop for the current file (gRun and the recorded report gFileReport). Returns how it
// ended; -1 when the cursor set could not be made (the run ends with exit 1). V shows the
// verdict box; F calls makeCopy (when given), which writes the motion's VRM-ready copy and
// says so in a box: the only file the window writes besides captures.
int RunReportWindow(void (*makeCopy)() = nullptr);
// The window's title for a report (UTF-8): "Tarvel — NAME — LABEL", NAME the file's name
// without folders (control characters escaped as \xHH, shortened with "…" to fit), LABEL
// its category's label in English or Japanese; for a cut motion the label and "(Cut
// short)"; for a file not read its status instead. At most cap - 1 bytes.
void ReportWindowTitle(const FileReport& r, bool japanese, char* dst, int cap);
// The verdict box of the motion on screen (its text, title "Tarvel", owned by the window);
// for a file not read, its status and reason (it has no verdict).
void ShowVerdictBox();
// Destroy the report window at the end of the run (drains events, 200 ms pause).
void CloseReportWindow();
// True while the report window exists (the owner of the message boxes).
bool ReportWindowExists();
