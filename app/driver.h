// The program's run: start-up, options, the file loop and the end of the run.
#pragma once

// Runs the whole program on the platform's command line; returns the exit code.
int TarvelMain();
