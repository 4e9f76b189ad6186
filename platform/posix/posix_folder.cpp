// POSIX back end of the folder walk: kinds of paths and folder listings. The
// narrow forms are the file system's own names; the UTF-16 forms convert
// them by UTF-8.
#include <dirent.h>
#include <errno.h>
#include <sys/stat.h>

#include <cstring>
#include <climits>
#include <string>

#include "platform/port.h"
#include "platform/posix/posix_port.h"

static int KindOf(const struct stat& st) {
  if (S_ISREG(st.st_mode)) return kPathFile;
  if (S_ISDIR(st.st_mode)) return kPathFolder;
  return kPathOther;
}

int PortPathKindA(const char* path) {
  struct stat st;
  if (!path || stat(path, &st) != 0) return kPathNone;
  return KindOf(st);
}

int PortListFolderA(const char* path, PortFolderEntry fn, void* ctx) {
  DIR* d = opendir(path);
  if (!d) return errno == ENOENT ? 3 : PosixErrorCode(errno);
  std::string full = path;
  if (full.empty() || full.back() != '/') full += '/';
  const size_t base = full.size();
  while (struct dirent* e = readdir(d)) {
    if (!strcmp(e->d_name, ".") || !strcmp(e->d_name, "..")) continue;
    full.resize(base);
    full += e->d_name;
    struct stat st;
    int kind = kPathNone;
    if (lstat(full.c_str(), &st) == 0) {
      if (S_ISLNK(st.st_mode))
        kind = (stat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ? kPathFile : kPathOther;
      else
        kind = KindOf(st);
    } else if (e->d_type == DT_DIR) {
      kind = kPathFolder;  // cannot be looked at (a path too long): the walk says so
    } else if (e->d_type == DT_REG) {
      kind = kPathFile;
    }
    fn(ctx, e->d_name, kind);
  }
  closedir(d);
  return 0;
}

int PortPathKindW(const char16_t* path) {
  char p[PATH_MAX];
  if (!path || !PathUtf16ToUtf8(p, sizeof p, path)) return kPathNone;
  return PortPathKindA(p);
}

namespace {
struct WideListing {
  PortFolderEntryW fn;
  void* ctx;
};
void ToWide(void* ctx, const char* name, int kind) {
  const WideListing* l = static_cast<const WideListing*>(ctx);
  char16_t wide[NAME_MAX + 1];
  PathUtf8ToUtf16(wide, NAME_MAX + 1, name);  // bytes that are not UTF-8 become U+FFFD
  l->fn(l->ctx, wide, kind);
}
}  // namespace

int PortListFolderW(const char16_t* path, PortFolderEntryW fn, void* ctx) {
  char p[PATH_MAX];
  if (!path || !PathUtf16ToUtf8(p, sizeof p, path)) return 206;
  WideListing l{fn, ctx};
  return PortListFolderA(p, ToWide, &l);
}

// Where narrow names are UTF-8, the UTF-8 form that converts back whole.
bool PortSameNarrowName(char* dst, int cap, const char16_t* name) {
  if (cap < 1) return false;
  dst[0] = 0;
  if (PosixCodePage() != 65001 || !PathUtf16ToUtf8(dst, cap, name)) return false;
  std::u16string back(std::char_traits<char16_t>::length(name) + 1, u'\0');
  if (PathUtf8ToUtf16(back.data(), (int)back.size(), dst) && back.c_str() == std::u16string(name))
    return true;
  dst[0] = 0;
  return false;
}
