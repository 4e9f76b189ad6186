// tarvel-fix --vrma: writes each motion as a VRM Animation (NAME.vrma) under
// the copy's file rules (vrma/ plays it on the standard skeleton and writes
// the glTF file; fix/fix_copy.h names and writes it).
#pragma once
#include <cstdio>

// Whether the arguments ask for VRM Animations (--vrma among the options).
bool VrmaToolWanted(int argc, const char* const* argv);

// The whole run over the arguments: --vrma [--arm-angle DEG] [--json]
// [-o OUT.vrma | --out-dir DIR] FILE|FOLDER..., as FixToolRun takes them.
// Returns the exit status: 0 every motion written, 1 a motion not read or
// not written, 2 a usage error.
int VrmaToolRun(int argc, const char* const* argv, const char16_t* const* wargv, FILE* out, FILE* err);
