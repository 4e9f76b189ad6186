// POSIX back end of the folder walk: kinds of paths and folder listings.
#include <dirent.h>
#include <errno.h>
#include <sys/stat.h>

#include <cstring>
#include <string>

#include "platform/port.h"

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
  if (!d) {
    switch (errno) {
      case ENOENT: return 3;
      case EACCES: case EPERM: return 5;
      case ENAMETOOLONG: return 206;
      default: return errno ? errno : 1;
    }
  }
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
