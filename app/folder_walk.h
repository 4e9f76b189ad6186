// The folder walk of the command-line tools: every name like a motion's
// (".vmd", any case) under a folder, in sorted order (by the names' UTF-8
// form, so that the order is the same on every system), folders entered
// where they stand among the names. A walk goes by narrow names (POSIX) or
// by the system's UTF-16 names (Windows).
#pragma once

struct FolderWalk {
  void* ctx;
  // A name like a motion's that is not a folder: its narrow path ("" where no
  // narrow form names the same file), its UTF-16 path (null on a narrow
  // walk), its kind as listed (kPathFile, or kPathOther: a FIFO, a device, a
  // link that leads nowhere or to a folder, a name that cannot be looked at).
  void (*motion)(void* ctx, const char* narrow, const char16_t* wide, int kind);
  // A folder that cannot be listed, and the error code of the listing.
  void (*unlisted)(void* ctx, const char* narrow, const char16_t* wide, int error);
  // When set and true, the walk stops.
  bool (*stop)(void* ctx);
};

void WalkFolderA(const char* folder, const FolderWalk& walk);
void WalkFolderW(const char16_t* folder, const FolderWalk& walk);
