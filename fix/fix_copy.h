// The VRM-ready copy on disk, as every front end that makes one (tarvel-fix,
// the page) makes it: the copy named beside the motion, the motion read
// whole, and the copy FixPlan planned last created new and written
// (fix/fix.h folds; this part only names, reads and writes files).
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

struct FixResult;

// A path in both forms: the narrow one as given ("" where the system's code
// page cannot hold it) and UTF-16 ("" where the bytes have no UTF-16 form).
struct FixPath {
  std::string narrow;
  std::u16string wide;
};

// From the narrow form and its UTF-16 form, or null to make it from the
// narrow one.
FixPath FixMakePath(const char* narrow, const char16_t* wide);

// Whether a name ends in ".vmd", in any letter case.
bool FixIsMotionName(const std::string& name);
bool FixIsMotionName(const std::u16string& name);

// The name of the copy: "NAME.vrm.vmd" for "NAME.vmd" (the extension's
// letter case kept), "NAME.vrm.vmd" for a NAME without it.
extern const char kFixCopySuffix[];  // ".vrm"

// The copy's path: beside the motion, or in the folder dir when not null (a
// form of dir that is empty leaves that form of the copy's path empty).
FixPath FixCopyPath(const FixPath& motion, const FixPath* dir);

// The VRM Animation's path: "NAME.vrma" for "NAME.vmd" (the extension in
// any letter case), "NAME.vrma" for a NAME without it; beside the motion, or
// in dir as FixCopyPath puts it.
extern const char kFixVrmaExtension[];  // ".vrma"
FixPath FixVrmaPath(const FixPath& motion, const FixPath* dir);

// A motion's bytes, in a buffer kept from one motion to the next (not
// cleared before it is read into).
struct FixBytes {
  std::unique_ptr<uint8_t[]> data;
  size_t size = 0, cap = 0;
};

// Reads the whole file through its UTF-16 form (or its narrow bytes when it
// has none). Returns null, or the reason in English (valid until the next
// call).
const char* FixReadWhole(const FixPath& path, FixBytes* bytes);

// Puts the copy FixPlan planned last at path, as every front end does: it
// is written whole through FixEmit to a new file of its own in the same
// folder (created exclusively, never through a link) and only then given
// its name, which never replaces a file; a copy that cannot be written whole
// is removed. A name that already holds exactly these bytes is left as it is
// (*already set, where given): the copy is there. The motion's bytes must
// still be in place. Returns null when the copy is at path, or the reason in
// English (valid until the next call).
const char* FixWriteNew(const FixPath& path, bool* already = nullptr);
// The same for n bytes already made (the VRM Animation).
const char* FixWriteNewBytes(const FixPath& path, const uint8_t* bytes, size_t n, bool* already = nullptr);

// Whether a name is a copy's ("NAME.vrm.vmd", in any letter case): a folder
// walk that makes copies passes these over.
bool FixIsCopyName(const std::string& name);
bool FixIsCopyName(const std::u16string& name);

// Why FixPlan made no copy (its status is not kFixDone), in English: "not a
// VMD motion", "the file ends inside its bone keys (2 of 9 records): ...",
// "no fold could be made", "nothing to fix". Valid until the next call.
const char* FixNoCopyReason(const FixResult& result);
