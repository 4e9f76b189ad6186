// The report event loop: draw the report once, then react to the user.
#pragma once

enum ReportOutcome { kOutcomeQuit = 0, kOutcomeDropped = 1, kOutcomeNoFont = 2 };

// Runs the loop for the current file (gRun and the recorded report gFileReport). Returns how it
// ended; -1 when the cursor set could not be made (the run ends with exit 1).
int RunReportWindow();
// Destroy the report window at the end of the run (drains events, 200 ms pause).
void CloseReportWindow();
// True while the report window exists (the owner of the message boxes).
bool ReportWindowExists();
