// POSIX back end of the file, directory and locale operations, shared by the
// GTK program, the headless back end (tests) and the null back end (the
// report tool and the page).
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <langinfo.h>
#include <limits.h>
#include <locale.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/posix/posix_port.h"

int PosixErrorCode(int e) {
  switch (e) {
    case ENOENT: return 2;
    case ENOTDIR: return 3;
    case EMFILE: case ENFILE: return 4;
    case EACCES: case EPERM: case EISDIR: return 5;
    case ENOMEM: return 8;
    case EBUSY: case ETXTBSY: return 32;
    case EOPNOTSUPP: return 50;
    case ENXIO: case ENODEV: return 55;
    case EINVAL: return 87;
    case ENAMETOOLONG: return 206;
    case EFBIG: case EOVERFLOW: return 223;
    case EIO: return 1117;
    case ESTALE: return 1920;
    case ELOOP: return 1921;
    default: return e ? e : 1;
  }
}

// Opens path for reading without waiting (a FIFO with no writer would block a
// plain open) and keeps it only when it is a regular file.
static int OpenRegular(const char* p, int* fdOut) {
  *fdOut = -1;
  if (!p[0]) return 3;
  int fd = open(p, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return PosixErrorCode(errno);
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return 5;
  }
  int fl = fcntl(fd, F_GETFL);
  if (fl >= 0) fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
  *fdOut = fd;
  return 0;
}

// Creates a new file: an existing name of any kind, a dangling link included,
// is refused, and a link is never followed.
static int CreateNew(const char* p, int* fdOut) {
  *fdOut = -1;
  if (!p[0]) return 3;
  int fd = open(p, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0644);
  if (fd < 0) return errno == EEXIST ? 80 : PosixErrorCode(errno);
  *fdOut = fd;
  return 0;
}

static int OpenW(const char16_t* path, bool create, PortHandle* out) {
  char p[PATH_MAX];
  *out = kPortNoHandle;
  if (!PathUtf16ToUtf8(p, sizeof p, path)) return 206;
  int fd;
  int err = create ? CreateNew(p, &fd) : OpenRegular(p, &fd);
  if (err) return err;
  *out = fd;
  return 0;
}

int PortOpenReadW(const char16_t* path, PortHandle* out) { return OpenW(path, false, out); }
int PortCreateNewW(const char16_t* path, PortHandle* out) { return OpenW(path, true, out); }

// A C stream on fd (which it then owns), or null and fd closed.
static FILE* StreamOf(int fd, const char* mode) {
  FILE* f = fdopen(fd, mode);
  if (!f) close(fd);
  return f;
}

FILE* PortOpenStreamA(const char* path) {
  int fd;
  if (!path || OpenRegular(path, &fd) != 0) return nullptr;
  return StreamOf(fd, "rb");
}

FILE* PortCreateStreamA(const char* path) {
  int fd;
  if (!path || CreateNew(path, &fd) != 0) return nullptr;
  return StreamOf(fd, "wb");
}

bool PortNameExistsA(const char* path) {
  struct stat st;
  return path && path[0] && lstat(path, &st) == 0;
}

bool PortNameExistsW(const char16_t* path) {
  char p[PATH_MAX];
  if (!path || !PathUtf16ToUtf8(p, sizeof p, path)) return false;
  return PortNameExistsA(p);
}

int PortRead(PortHandle h, void* buf, int n) {
  for (;;) {
    ssize_t r = read((int)h, buf, (size_t)n);
    if (r < 0 && errno == EINTR) continue;
    return r < 0 ? -1 : (int)r;
  }
}

int PortWrite(PortHandle h, const void* buf, int n) {
  const char* p = (const char*)buf;
  int done = 0;
  while (done < n) {
    ssize_t r = write((int)h, p + done, (size_t)(n - done));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return -1;
    done += (int)r;
  }
  return done;
}

int PortSeek(PortHandle h, int64_t offset, int origin, int64_t* newpos) {
  int whence = origin == 0 ? SEEK_SET : origin == 1 ? SEEK_CUR : origin == 2 ? SEEK_END : -1;
  if (whence < 0) return -1;
  off_t r = lseek((int)h, (off_t)offset, whence);
  if (r < 0) return -1;
  if (newpos) *newpos = r;
  return 0;
}

void PortCloseFile(PortHandle h) {
  if (h != kPortNoHandle) close((int)h);
}

int PortRemoveA(const char* path) { return unlink(path) == 0 ? 0 : -1; }
int PortRemoveW(const char16_t* path) {
  char p[PATH_MAX];
  if (!PathUtf16ToUtf8(p, sizeof p, path)) return -1;
  return PortRemoveA(p);
}

// Without replacing: renameat2 where the system has it, else a second link
// made exclusively (link never replaces) and the first removed. A file
// system with neither (the page's in-memory one) is one process's alone:
// there the name is looked at first.
int PortRenameNewA(const char* from, const char* to) {
  if (!from[0] || !to[0]) return 3;
#if defined(__linux__) && defined(RENAME_NOREPLACE)
  if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return errno == EEXIST ? 80 : PosixErrorCode(errno);
#endif
  if (link(from, to) == 0) return unlink(from) == 0 ? 0 : PosixErrorCode(errno);
  if (errno == EEXIST) return 80;
#ifdef __EMSCRIPTEN__
  if (PortNameExistsA(to)) return 80;
  if (rename(from, to) == 0) return 0;
#endif
  return PosixErrorCode(errno);
}

int PortRenameNewW(const char16_t* from, const char16_t* to) {
  char f[PATH_MAX], t[PATH_MAX];
  if (!PathUtf16ToUtf8(f, sizeof f, from) || !PathUtf16ToUtf8(t, sizeof t, to)) return 206;
  return PortRenameNewA(f, t);
}

// Bytes of the character at s: a UTF-8 sequence, or a Shift-JIS pair where
// that is the code page; one byte otherwise.
static int CharBytes(const unsigned char* s) {
  if (PosixIsDbcsLeadByte(s[0])) return s[1] ? 2 : 1;
  if (s[0] < 0xC0) return 1;
  int n = 1;
  while (n < 4 && (s[n] & 0xC0) == 0x80) n++;
  return n;
}

// The Windows directory search's wildcards: '*' any run of characters (also
// none), '?' one character; every other byte stands for itself.
static bool NameMatchesPattern(const char* pattern, const char* name) {
  const unsigned char* p = (const unsigned char*)pattern;
  const unsigned char* n = (const unsigned char*)name;
  const unsigned char* star = nullptr;  // the last '*' seen, and where its run ends
  const unsigned char* resume = nullptr;
  while (*n) {
    if (*p == '*') {
      star = ++p;
      resume = n;
    } else if (*p == '?') {
      p++;
      n += CharBytes(n);
    } else if (*p && *p == *n) {
      p++;
      n++;
    } else if (star) {
      resume += CharBytes(resume);  // the '*' takes one more character
      n = resume;
      p = star;
    } else {
      return false;
    }
  }
  while (*p == '*') p++;
  return *p == 0;
}

// The first two directory entries matching path, in the directory's own
// order, among those whose name the caller can take (fits); the others are
// passed over.
static int PosixFindFirstTwo(const char* path, char names[2][PATH_MAX], bool isdir[2],
                             bool (*fits)(const char*)) {
  const char* slash = strrchr(path, '/');
  char dir[PATH_MAX];
  const char* pat;
  if (slash) {
    size_t n = (size_t)(slash - path);
    if (n >= sizeof dir) return 0;
    memcpy(dir, path, n);
    dir[n] = 0;
    if (n == 0) strcpy(dir, "/");
    pat = slash + 1;
  } else {
    strcpy(dir, ".");
    pat = path;
  }
  if (!*pat || strlen(pat) >= PATH_MAX) return 0;
  // A name that exists as given is that entry, whatever characters it holds.
  struct stat st;
  if (stat(path, &st) == 0) {
    if (!fits(pat)) return 0;
    strcpy(names[0], pat);
    isdir[0] = S_ISDIR(st.st_mode);
    return 1;
  }
  if (!strpbrk(pat, "*?")) return 0;
  DIR* d = opendir(dir);
  if (!d) return 0;
  int found = 0;
  while (found < 2) {
    struct dirent* e = readdir(d);
    if (!e) break;
    if (!strcmp(e->d_name, ".") || !strcmp(e->d_name, "..")) continue;
    if (!NameMatchesPattern(pat, e->d_name) || !fits(e->d_name)) continue;
    char full[PATH_MAX * 2];
    snprintf(full, sizeof full, "%s/%s", dir, e->d_name);
    if (stat(full, &st) != 0) continue;
    snprintf(names[found], PATH_MAX, "%s", e->d_name);
    isdir[found] = S_ISDIR(st.st_mode);
    found++;
  }
  closedir(d);
  return found;
}

static bool FitsNarrow(const char* name) { return strlen(name) < 260; }

// The name has a UTF-16 form of fewer than 260 units that gives back the same
// bytes (a name that is not UTF-8 would come back as another name).
static bool FitsWide(const char* name) {
  char16_t w[260];
  char back[PATH_MAX];
  return PathUtf8ToUtf16(w, 260, name) && PathUtf16ToUtf8(back, sizeof back, w) &&
         strcmp(back, name) == 0;
}

int PortFindFirstTwoA(const char* path, char names[2][260], bool isdir[2]) {
  static char big[2][PATH_MAX];
  int n = PosixFindFirstTwo(path, big, isdir, FitsNarrow);
  for (int i = 0; i < n; i++) strcpy(names[i], big[i]);
  return n;
}

int PortFindFirstTwoW(const char16_t* path, char16_t names[2][260], bool isdir[2]) {
  char p[PATH_MAX];
  if (!PathUtf16ToUtf8(p, sizeof p, path)) return 0;
  static char big[2][PATH_MAX];
  int n = PosixFindFirstTwo(p, big, isdir, FitsWide);
  for (int i = 0; i < n; i++) PathUtf8ToUtf16(names[i], 260, big[i]);
  return n;
}

int PortCurrentDirA(char* dst, int cap) {
  if (cap < 1 || !getcwd(dst, (size_t)cap)) return -1;
  return 0;
}

int PortCurrentDirW(char16_t* dst, int cap) {
  char p[PATH_MAX];
  if (!getcwd(p, sizeof p)) return -1;
  return PathUtf8ToUtf16(dst, cap, p) ? 0 : -1;
}

char PortDirSeparator() { return '/'; }

// Locale: the narrow code page follows the codeset of the user's locale.
static uint32_t gCp = 0;
static uint16_t gLang = 0;

static void ReadLocale() {
  if (gCp) return;
  const char* old = setlocale(LC_CTYPE, nullptr);
  char saved[256];
  snprintf(saved, sizeof saved, "%s", old ? old : "C");
  setlocale(LC_CTYPE, "");
  const char* cs = nl_langinfo(CODESET);
  if (cs && (!strcasecmp(cs, "SHIFT_JIS") || !strcasecmp(cs, "SJIS") || !strcasecmp(cs, "CP932") ||
             !strcasecmp(cs, "SHIFT_JISX0213") || !strcasecmp(cs, "WINDOWS-31J")))
    gCp = 932;
  else
    gCp = 65001;  // UTF-8, and the C locale's ASCII too: paths pass through as bytes
  setlocale(LC_CTYPE, saved);
  const char* names[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
  gLang = 0x0409;
  for (const char* n : names) {
    const char* v = getenv(n);
    if (v && *v) {
      if (!strncmp(v, "ja", 2)) gLang = 0x0411;
      break;
    }
  }
}

uint32_t PosixCodePage() { ReadLocale(); return gCp; }
uint16_t PosixLangId() { ReadLocale(); return gLang; }

bool PosixIsDbcsLeadByte(unsigned char b) {
  if (PosixCodePage() != 932) return false;
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

const char* PosixOsName() {
  static char name[128];
  if (!name[0]) {
    struct utsname u;
    if (uname(&u) == 0) snprintf(name, sizeof name, "%.60s %.60s", u.sysname, u.release);
    else snprintf(name, sizeof name, "POSIX");
  }
  return name;
}

// The executable's own path (/proc/self/exe), or argv0 when that fails.
void PosixExePath(char* dst, int cap, const char* argv0) {
  ssize_t n = readlink("/proc/self/exe", dst, (size_t)(cap - 1));
  if (n > 0) { dst[n] = 0; return; }
  snprintf(dst, (size_t)cap, "%s", argv0 ? argv0 : "");
}
