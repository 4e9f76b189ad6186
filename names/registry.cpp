#include "names/registry.h"

#include <cstring>

#include "base/diag.h"
#include "names/alias.h"
#include "names/nametable.h"
#include "names/vocabulary.h"

namespace {

// The copy: every entry of every table in order, with its group, and the
// number of groups begun (a group may be empty). The built-in vocabulary
// needs about 10 KB; a large alias.ini may not fit, and then every reload
// is a full one.
constexpr int kCopyEntries = 8192;
constexpr int kCopyBytes = 256 * 1024;

struct Copy {
  bool taken, fits;
  int groups[kNameTables];
  int count[kNameTables];
  int16_t group[kCopyEntries];
  int32_t offset[kCopyEntries];
  char pool[kCopyBytes];
};
Copy gCopy;

void Take() {
  Copy& c = gCopy;
  c.taken = true;
  c.fits = true;
  int n = 0, used = 0;
  for (int t = 0; t < kNameTables; t++) {
    c.groups[t] = NameGroupCount(t);
    c.count[t] = NameCount(t);
    for (int e = 1; e <= c.count[t]; e++) {
      const char* text = NameAt(t, e);
      const int len = static_cast<int>(strlen(text)) + 1;
      if (n >= kCopyEntries || used + len > kCopyBytes) {
        c.fits = false;
        return;
      }
      c.group[n] = static_cast<int16_t>(GroupOfName(t, e));
      c.offset[n] = used;
      memcpy(c.pool + used, text, static_cast<size_t>(len));
      used += len;
      n++;
    }
  }
}

void Restore() {
  const Copy& c = gCopy;
  ResetNameTables();  // group 1 begun in every table
  int n = 0;
  for (int t = 0; t < kNameTables; t++) {
    int group = 1;
    for (int e = 1; e <= c.count[t]; e++, n++) {
      while (group < c.group[n] && BeginNameGroup(t) == 0) group++;
      AddName(t, c.pool + c.offset[n]);
    }
    while (group < c.groups[t] && BeginNameGroup(t) == 0) group++;
  }
}

// The registry as the last reload left it, before any motion's names.
NameTablesMark gMark;
bool gMarked = false;

}  // namespace

void MarkNameRegistry() {
  MarkNameTables(&gMark);
  gMarked = true;
}

int RestoreNameRegistry() { return gMarked ? RestoreNameTables(&gMark) : -1; }

void ReloadNameRegistry() {
  DiagPrint("String table Reload ... \n");
  if (gCopy.taken && gCopy.fits) {
    // Usually the tables still hold the registry and only what the last
    // motion added has to go; after someone else reset them, the copy.
    if (RestoreNameRegistry() != 0) {
      Restore();
      MarkNameRegistry();
    }
    return;
  }
  ResetNameTables();
  LoadAliasFile();
  RegisterBuiltinNames();
  if (!gCopy.taken) Take();
  MarkNameRegistry();
}

void ForgetNameRegistry() {
  gCopy.taken = false;
  gMarked = false;
}
