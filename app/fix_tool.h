// tarvel-fix: writes the VRM-ready copy of motions (fix/fix.h) and checks
// the copy as tarvel-report checks a motion; with --vrma, writes each motion
// as a VRM Animation instead (app/vrma_tool.h).
#pragma once
#include <cstdio>

// The whole run over the arguments: [--json] [-o OUT.vmd | --out-dir DIR]
// FILE|FOLDER..., or --vrma [--arm-angle DEG] [--json] [-o OUT.vrma |
// --out-dir DIR] FILE|FOLDER... argv holds the narrow forms, wargv their UTF-16 forms or is
// null; entry 0 is the program. Call ReportToolStart first. Returns the exit
// status: 0 every file fixed (or its copy already there) or with nothing to
// fix, 1 a file that could not be read, fixed or written, or output that
// could not be written, 2 a usage error.
int FixToolRun(int argc, const char* const* argv, const char16_t* const* wargv, FILE* out,
               FILE* err);
