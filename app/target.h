// Target file opening: which kind of file an argument is, the confirmation of
// files without the ".VMD" extension, the PMX refusal and the motion read.
#pragma once

// Diagnostic test-open of a file entry of the option pass.
void TestOpenEntry(int index);
// Fills gRun.diskNameA / diskNameW, isVmd, isPmx from gRun.nameA / nameW.
void IdentifyTarget();
// For a file with neither flag: 0 to go on, -1 when the user declined.
int ConfirmTarget();
void RefusePmx();
void ReadMotion();
// A file taken without being read (its name is no motion's, and the user went
// on): why it cannot be opened, if it cannot, is kept for its report.
void NoteNotRead();
