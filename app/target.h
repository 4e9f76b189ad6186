// The window's target steps: the option pass's test-open and the
// confirmation of files without the ".VMD" extension.
#pragma once

// Diagnostic test-open of a file entry of the option pass.
void TestOpenEntry(int index);
// For a file with neither flag: 0 to go on, -1 when the user declined.
int ConfirmTarget();
