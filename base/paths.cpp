// Path operations and the two argument lists.
//
// Every path operation exists for UTF-16 and for narrow strings; the shared
// bodies are templates. The narrow forms step over double-byte characters with
// the system's lead-byte test, so that a trail byte equal to '\\', '/', '.' or
// ';' is never taken for that character. A lead byte followed by the
// terminator counts as a single byte.
#include "base/paths.h"

#include "base/encoding.h"
#include "platform/port.h"

ArgListW gArgsW;
ArgListA gArgsA;

namespace {

// 0 until first use or until reset: then taken from the platform.
char gSep = 0;
char gAlt = 0;

void EnsureSeparators() {
  if (gSep) return;
  gSep = PortDirSeparator();
  if (!gSep) gSep = '/';
  gAlt = '/';
}

bool IsLead(char16_t) { return false; }
bool IsLead(char c) { return PortIsDbcsLeadByte((unsigned char)c); }

// Width of the character at s[i]: 2 for a lead byte with its trail byte.
template <typename Ch>
int CharWidth(const Ch* s, int i) {
  return (IsLead(s[i]) && s[i + 1] != 0) ? 2 : 1;
}

template <typename Ch>
int Length(const Ch* s) {
  int n = 0;
  while (s[n]) n++;
  return n;
}

// Copies s[from, to) to dst, whole characters only, and terminates it. A
// destination too small keeps the characters that fit.
template <typename Ch>
void CopyRange(Ch* dst, int dstcap, const Ch* s, int from, int to) {
  if (!dst || dstcap < 1) return;
  int o = 0;
  for (int i = from; i < to;) {
    int w = CharWidth(s, i);
    if (i + w > to || o + w > dstcap - 1) break;
    for (int k = 0; k < w; k++) dst[o++] = s[i + k];
    i += w;
  }
  dst[o] = 0;
}

template <typename Ch>
void SetEmpty(Ch* dst, int dstcap) {
  if (dst && dstcap >= 1) dst[0] = 0;
}

// Position just after the last separator (sep, or alt too when withAlt), or 0.
template <typename Ch>
int AfterLastSeparator(const Ch* s, bool withAlt, int* len) {
  EnsureSeparators();
  int after = 0;
  int i = 0;
  while (s[i]) {
    int w = CharWidth(s, i);
    if (w == 1 && (s[i] == (Ch)gSep || (withAlt && s[i] == (Ch)gAlt))) after = i + 1;
    i += w;
  }
  *len = i;
  return after;
}

// Position of the last full stop, or -1.
template <typename Ch>
int LastDot(const Ch* s, int* len) {
  int dot = -1;
  int i = 0;
  while (s[i]) {
    int w = CharWidth(s, i);
    if (w == 1 && s[i] == (Ch)'.') dot = i;
    i += w;
  }
  *len = i;
  return dot;
}

template <typename Ch>
int GetDir(Ch* dst, int dstcap, const Ch* path) {
  if (!path) { SetEmpty(dst, dstcap); return 0; }
  int len;
  int after = AfterLastSeparator(path, false, &len);
  CopyRange(dst, dstcap, path, 0, after);
  return 0;
}

template <typename Ch>
int GetFname(Ch* dst, int dstcap, const Ch* path) {
  if (!path) { SetEmpty(dst, dstcap); return 0; }
  int len;
  int after = AfterLastSeparator(path, true, &len);
  CopyRange(dst, dstcap, path, after, len);
  return 0;
}

template <typename Ch>
int GetExt(Ch* dst, int dstcap, const Ch* path) {
  if (!path) { SetEmpty(dst, dstcap); return 0; }
  int len;
  int dot = LastDot(path, &len);
  if (dot < 0) { SetEmpty(dst, dstcap); return 0; }
  CopyRange(dst, dstcap, path, dot, len);
  return -1;
}

template <typename Ch>
int CutExt(Ch* dst, int dstcap, const Ch* path) {
  if (!path) { SetEmpty(dst, dstcap); return 0; }
  int len;
  int dot = LastDot(path, &len);
  CopyRange(dst, dstcap, path, 0, dot < 0 ? len : dot);
  return 0;
}

// In place; looks at the last unit only (no double-byte rule). The string is
// measured up to 259 units and cut there.
template <typename Ch>
int CutSep(Ch* path) {
  if (!path) return 0;
  EnsureSeparators();
  int len = 0;
  while (len < 259 && path[len]) len++;
  bool drive = len >= 2 &&
               ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
               path[1] == ':';
  int minLen = drive ? 4 : 2;
  if (len >= minLen && len <= 258) {
    Ch last = path[len - 1];
    if (last == (Ch)gSep || last == (Ch)gAlt) len--;
  }
  if (path[len]) path[len] = 0;
  return 0;
}

template <typename Ch>
Ch FoldAscii(Ch c) {
  return (c >= 'a' && c <= 'z') ? (Ch)(c - 'a' + 'A') : c;
}

// Compares only as far as head reaches; a double-byte character of s is
// compared unfolded.
template <typename Ch>
int HeadCmp(const Ch* s, const Ch* head) {
  if (!s || !head) return -1;
  int i = 0;
  while (head[i]) {
    if (CharWidth(s, i) == 2) {
      if (s[i] != head[i]) return -1;
      if (!head[i + 1]) return 0;
      if (s[i + 1] != head[i + 1]) return -1;
      i += 2;
      continue;
    }
    if (FoldAscii(s[i]) != FoldAscii(head[i])) return -1;
    i++;
  }
  return 0;
}

template <typename Ch, typename Find>
int FindName(Ch* dst, int dstcap, const Ch* path, Find find) {
  SetEmpty(dst, dstcap);
  if (!path || !path[0]) return -1;
  Ch names[2][260];
  bool isdir[2] = {false, false};
  names[0][0] = names[1][0] = 0;
  int n = find(path, names, isdir);
  int pick;
  if (n < 1) return -1;
  if (!isdir[0]) {
    pick = 0;
  } else {
    if (n < 2) return -1;
    if (isdir[1]) return -2;
    pick = 1;
  }
  names[pick][259] = 0;
  CopyRange(dst, dstcap, names[pick], 0, Length(names[pick]));
  return 0;
}

// ---- argument lists ------------------------------------------------------

constexpr int kLineMax = 65534;        // characters taken from a command line
constexpr int kSplitPoolStop = 65275;  // no new argument at or beyond this fill
constexpr int kStoreMax = kArgPool - 1;  // a terminating zero unit always fits

template <typename List>
void ResetList(List* list) {
  list->count = 0;
  list->fill = 0;
  list->pool[0] = 0;
  list->start[0] = 0;
}

template <typename List, typename Ch>
void SplitLine(List* list, const Ch* line) {
  static const Ch kEmpty[1] = {0};
  if (!line) line = kEmpty;
  Ch* pool = list->pool;
  list->start[0] = 0;
  int count = 1;
  int p = 0;
  bool quote = false;
  const Ch* s = line;
  while (*s == ' ' || *s == '\t') s++;
  int n = 0;  // characters taken from the line
  while (p < kArgPool) {
    Ch c = s[n++];
    if (c == 0) break;
    if (n >= kLineMax) break;
    if (IsLead(c)) {
      Ch t = s[n];
      if (t == 0) {  // a lone lead byte at the end stays as given
        if (p < kStoreMax) pool[p++] = c;
        break;
      }
      n++;
      if (n >= kLineMax) break;
      if (p + 2 > kStoreMax) break;
      pool[p++] = c;
      pool[p++] = t;
      continue;
    }
    if (c == '"') {
      quote = !quote;
      continue;
    }
    if (c == ' ' && !quote) {
      if (count >= kArgMax || p >= kSplitPoolStop) break;
      pool[p++] = 0;
      while (s[n] == ' ') n++;
      list->start[count++] = p;
      continue;
    }
    if (p >= kStoreMax) break;
    pool[p++] = c;
  }
  pool[p++] = 0;
  // A line that ended with spaces after the program name has no argument 1.
  if (count == 2 && pool[list->start[1]] == 0) {
    count = 1;
    p = list->start[1];
  }
  list->count = count;
  list->start[count] = p;
  list->fill = p;
}

// Appends one path: quotes around it are removed; an empty path, a full table
// or a full pool store nothing and leave the list unchanged.
template <typename List, typename Ch>
int AddArg(List* list, const Ch* path) {
  if (!path || !path[0]) return -1;
  if (list->count < 0 || list->count >= kArgMax) return -1;
  const int fill0 = list->fill;
  if (fill0 < 0 || fill0 >= kStoreMax) return -1;
  Ch* pool = list->pool;
  const Ch* s = path;
  bool quoted = false;
  if (*s == '"') {
    quoted = true;
    s++;
  }
  int p = fill0;
  for (int i = 0; s[i];) {
    int w = CharWidth(s, i);
    if (w == 1 && quoted && s[i] == '"') break;
    if (p + w > kStoreMax) break;  // also: taken < 65534 - fill0
    for (int k = 0; k < w; k++) pool[p++] = s[i + k];
    i += w;
  }
  if (p == fill0) return -1;
  pool[p++] = 0;
  list->start[list->count] = fill0;
  list->count++;
  list->start[list->count] = p;
  list->fill = p;
  return 0;
}

// Finishes an argument already written at list->fill (len units, terminated).
template <typename List>
void CommitRaw(List* list, int len) {
  int p = list->fill + len + 1;
  list->start[list->count] = list->fill;
  list->count++;
  list->start[list->count] = p;
  list->fill = p;
}

// Appends an argv argument as it is (already unquoted; may be empty).
int AppendRawA(ArgListA* list, const char* arg) {
  if (list->count >= kArgMax || list->fill >= kArgPool) return -1;
  int room = kArgPool - 1 - list->fill;  // units before the terminator
  char* dst = list->pool + list->fill;
  int o = 0;
  for (int i = 0; arg[i];) {
    int w = CharWidth(arg, i);
    if (o + w > room) break;
    for (int k = 0; k < w; k++) dst[o++] = arg[i + k];
    i += w;
  }
  dst[o] = 0;
  CommitRaw(list, o);
  return 0;
}

int AppendRawW(ArgListW* list, const char* arg) {
  if (list->count >= kArgMax || list->fill >= kArgPool) return -1;
  char16_t* dst = list->pool + list->fill;
  int cap = kArgPool - list->fill;
  narrowtouni(dst, cap, arg);
  int o = 0;
  while (o < cap - 1 && dst[o]) o++;
  dst[o] = 0;
  CommitRaw(list, o);
  return 0;
}

}  // namespace

void SetPathSeparators(char sep, char alt) {
  if (!sep) {
    gSep = 0;  // back to the platform's set
    EnsureSeparators();
    return;
  }
  gSep = sep;
  gAlt = alt ? alt : sep;
}

char PathSeparator() {
  EnsureSeparators();
  return gSep;
}

int unigetdir(char16_t* dst, int dstcap, const char16_t* path) { return GetDir(dst, dstcap, path); }
int getdir(char* dst, int dstcap, const char* path) { return GetDir(dst, dstcap, path); }
int unigetfname(char16_t* dst, int dstcap, const char16_t* path) { return GetFname(dst, dstcap, path); }
int getfname(char* dst, int dstcap, const char* path) { return GetFname(dst, dstcap, path); }
int unigetext(char16_t* dst, int dstcap, const char16_t* path) { return GetExt(dst, dstcap, path); }
int getext(char* dst, int dstcap, const char* path) { return GetExt(dst, dstcap, path); }
int unicutext(char16_t* dst, int dstcap, const char16_t* path) { return CutExt(dst, dstcap, path); }
int cutext(char* dst, int dstcap, const char* path) { return CutExt(dst, dstcap, path); }
int unicutsep(char16_t* path) { return CutSep(path); }
int cutsep(char* path) { return CutSep(path); }
int uniheadcmp(const char16_t* s, const char16_t* head) { return HeadCmp(s, head); }
int headcmp(const char* s, const char* head) { return HeadCmp(s, head); }

int unifindname(char16_t* dst, int dstcap, const char16_t* path) {
  return FindName(dst, dstcap, path, PortFindFirstTwoW);
}

int findname(char* dst, int dstcap, const char* path) {
  return FindName(dst, dstcap, path, PortFindFirstTwoA);
}

int getlistitem(char* dst, int dstcap, const char* list, int n) {
  SetEmpty(dst, dstcap);
  if (!list || n < 0) return -1;
  int item = 0;
  int from = 0;
  int i = 0;
  while (list[i]) {
    int w = CharWidth(list, i);
    if (w == 1 && list[i] == ';') {
      if (item == n) {
        CopyRange(dst, dstcap, list, from, i);
        return 0;
      }
      item++;
      from = i + 1;
    }
    i += w;
  }
  if (item != n) return -1;
  CopyRange(dst, dstcap, list, from, i);
  return 0;
}

int pathhasq(const char* path) {
  if (!path) return 0;
  constexpr int kLimit = 520;
  int i = 0;
  while (i < kLimit) {
    unsigned char b = (unsigned char)path[i];
    if (b == 0) return 0;
    if (issjislead(b)) {
      if (i + 1 >= kLimit) break;
      if (path[i + 1] == 0) return 0;
      i += 2;
      continue;
    }
    if (b == '?') return -1;
    i++;
  }
  return -1;  // no terminator within the limit
}

void ResetArgLists() {
  ResetList(&gArgsW);
  ResetList(&gArgsA);
}

void unisplitcmdline(ArgListW* list, const char16_t* line) { SplitLine(list, line); }
void splitcmdline(ArgListA* list, const char* line) { SplitLine(list, line); }

void unisplitcmd() {
  if (const char16_t* line = PortCommandLineW()) {
    unisplitcmdline(&gArgsW, line);
    return;
  }
  ResetList(&gArgsW);
  int argc = PortArgc();
  for (int i = 0; i < argc; i++)
    if (AppendRawW(&gArgsW, PortArgv(i)) != 0) break;
}

void splitcmd() {
  if (const char* line = PortCommandLineA()) {
    splitcmdline(&gArgsA, line);
    return;
  }
  ResetList(&gArgsA);
  int argc = PortArgc();
  for (int i = 0; i < argc; i++)
    if (AppendRawA(&gArgsA, PortArgv(i)) != 0) break;
}

int uniaddarg(ArgListW* list, const char16_t* path) { return AddArg(list, path); }
int addarg(ArgListA* list, const char* path) { return AddArg(list, path); }

const char16_t* uniargat(const ArgListW* list, int i) {
  if (!list || i < 0 || i >= list->count || i > kArgMax) return u"";
  return list->pool + list->start[i];
}

const char* argat(const ArgListA* list, int i) {
  if (!list || i < 0 || i >= list->count || i > kArgMax) return "";
  return list->pool + list->start[i];
}
