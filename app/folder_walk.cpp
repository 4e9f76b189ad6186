#include "app/folder_walk.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "base/encoding.h"
#include "base/paths.h"
#include "base/runenv.h"
#include "platform/port.h"

namespace {

// A folder's entry: the key it sorts by (its UTF-8 form), its name, its kind.
template <typename Str>
struct Entry {
  std::string key;
  Str name;
  int kind;
  bool operator<(const Entry& o) const { return key != o.key ? key < o.key : name < o.name; }
};

std::string Utf8(const std::u16string& s) {
  std::string out(s.size() * 3 + 1, '\0');
  unitoutf8(out.data(), static_cast<int>(out.size()), s.c_str());
  out.resize(strlen(out.c_str()));
  return out;
}

void CollectEntry(void* ctx, const char* name, int kind) {
  static_cast<std::vector<Entry<std::string>>*>(ctx)->push_back({name, name, kind});
}
void CollectEntryW(void* ctx, const char16_t* name, int kind) {
  const std::u16string wide = name;
  static_cast<std::vector<Entry<std::u16string>>*>(ctx)->push_back({Utf8(wide), wide, kind});
}
int ListFolder(const std::string& folder, std::vector<Entry<std::string>>* entries) {
  return PortListFolderA(folder.c_str(), CollectEntry, entries);
}
int ListFolder(const std::u16string& folder, std::vector<Entry<std::u16string>>* entries) {
  return PortListFolderW(folder.c_str(), CollectEntryW, entries);
}

template <typename Str>
bool IsMotionName(const Str& name) {
  const size_t n = name.size();
  if (n < 4) return false;
  const auto* e = name.data() + n - 4;
  return e[0] == '.' && (e[1] | 0x20) == 'v' && (e[2] | 0x20) == 'm' && (e[3] | 0x20) == 'd';
}

// The visitor's calls: a narrow path as it is; a UTF-16 path with the narrow
// form that names the same file, where there is one.
void Motion(const FolderWalk& w, const std::string& path, int kind) {
  w.motion(w.ctx, path.c_str(), nullptr, kind);
}
void Motion(const FolderWalk& w, const std::u16string& path, int kind) {
  char narrow[sizeof gRun.nameA];
  if (!PortSameNarrowName(narrow, sizeof narrow, path.c_str())) narrow[0] = 0;
  w.motion(w.ctx, narrow, path.c_str(), kind);
}
void Unlisted(const FolderWalk& w, const std::string& path, int error) {
  w.unlisted(w.ctx, path.c_str(), nullptr, error);
}
void Unlisted(const FolderWalk& w, const std::u16string& path, int error) {
  char narrow[sizeof gRun.nameA];
  if (!PortSameNarrowName(narrow, sizeof narrow, path.c_str())) narrow[0] = 0;
  w.unlisted(w.ctx, narrow, path.c_str(), error);
}

template <typename Str>
void Walk(const Str& folder, const FolderWalk& w) {
  std::vector<Entry<Str>> entries;
  const int error = ListFolder(folder, &entries);
  if (error != 0) {
    Unlisted(w, folder, error);
    return;
  }
  std::sort(entries.begin(), entries.end());
  Str path = folder;
  if (path.empty() || (path.back() != '/' && path.back() != PortDirSeparator()))
    path += typename Str::value_type(PortDirSeparator());
  const size_t base = path.size();
  for (const Entry<Str>& e : entries) {
    if (w.stop && w.stop(w.ctx)) return;
    path.resize(base);
    path += e.name;
    if (e.kind == kPathFolder)
      Walk(path, w);
    else if (IsMotionName(e.name))
      Motion(w, path, e.kind);
  }
}

}  // namespace

void WalkFolderA(const char* folder, const FolderWalk& walk) { Walk(std::string(folder), walk); }
void WalkFolderW(const char16_t* folder, const FolderWalk& walk) {
  Walk(std::u16string(folder), walk);
}
