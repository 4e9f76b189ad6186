// The per-file sequence every front end calls: the name registry restored,
// the motion read through its narrow then its UTF-16 name, the report and
// the verdict built, and everything recorded into gFileReport.
#pragma once

// Sets up a run of the report tool or the page: the environment reset, the
// executable's directory (where alias.ini is looked for) from exePath, or
// from exePathW, its UTF-16 form, when given (on Windows the narrow form has
// lost what the ANSI code page cannot hold).
void CheckStart(const char* exePath, const char16_t* exePathW = nullptr);

// Fills gRun.diskNameA / diskNameW, isVmd, isPmx from gRun.nameA / nameW.
void IdentifyTarget();

enum CheckKind {
  kCheckMotion,  // a motion: read it
  kCheckModel,   // a PMX model: recognised, not read
  kCheckOther,   // a file without either extension, taken as it is: not read
};
// Checks the file named by gRun.nameA / nameW (after IdentifyTarget) as the
// kind given; shownPath is the file as the views name it (UTF-8). A motion
// is read after the registry is restored; a model is refused, restoring the
// registry first when no motion has been read yet; the report and the
// verdict are then built (from what the tables hold) and recorded. Returns
// the file's status (FileStatus).
int CheckFile(int kind, const char* shownPath);

// The path as the views name it: UTF-8, whole (a path refused as too long
// too). By the UTF-16 form (widefile, else gRun.nameW) when shownWide is set
// or the path has no narrow form.
const char* ShownPath(const char* file, const char16_t* widefile, bool shownWide);

// Checks the motion named file (widefile: its UTF-16 form, or null to make
// it from the narrow form): the file taken as the run's current one, then
// IdentifyTarget and CheckFile. A path too long for its buffer is refused,
// never cut to another name. The views name the file by its narrow bytes,
// or by its UTF-16 form (as UTF-8) when shownWide is set.
int CheckMotionFile(const char* file, const char16_t* widefile, bool shownWide);

// Records a file that is not read at all (a FIFO, a device): its status is
// unreadable for the reason of the open error code. widefile: its UTF-16
// form, or null to make it from the narrow form.
int CheckRefusedFile(const char* file, int openError, bool shownWide,
                     const char16_t* widefile = nullptr);
