// Path operations and the two argument lists.
//
// Every path operation exists for UTF-16 and for narrow strings; the shared
// bodies are templates. The narrow forms step over double-byte characters with
// the system's lead-byte test, so that a trail byte equal to '\\', '/', '.' or
// ';' is never taken for that character. A lead byte followed by the
// terminator counts as a single byte.
#include "base/paths.h"

#include <cstring>

#include "base/diag.h"
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

// A directory that does not fit the destination is not cut (a cut one names
// another folder): the result is empty and -1.
template <typename Ch>
int GetDir(Ch* dst, int dstcap, const Ch* path) {
  SetEmpty(dst, dstcap);
  if (!path) return 0;
  int len;
  int after = AfterLastSeparator(path, false, &len);
  if (after > dstcap - 1) return -1;
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

// A line that ended with spaces after the program name, or an argv whose one
// argument is empty, has no argument 1.
template <typename List>
void DropEmptyArgument1(List* list) {
  if (list->count != 2 || list->pool[list->start[1]] != 0) return;
  list->count = 1;
  list->fill = list->start[1];
  list->start[1] = list->fill;
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
  bool cut = true;  // the line did not end: a limit stopped the split
  while (p < kArgPool) {
    Ch c = s[n++];
    if (c == 0) {
      cut = false;
      break;
    }
    if (n >= kLineMax) break;
    if (IsLead(c)) {
      Ch t = s[n];
      if (t == 0) {  // a lone lead byte at the end stays as given
        if (p >= kStoreMax) break;
        pool[p++] = c;
        cut = false;
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
      if (count >= kArgMax || p >= kSplitPoolStop) {
        cut = false;  // the arguments so far are whole
        break;
      }
      pool[p++] = 0;
      while (s[n] == ' ') n++;
      list->start[count++] = p;
      continue;
    }
    if (p >= kStoreMax) break;
    pool[p++] = c;
  }
  // An argument that a limit cut short would name another file: it is left
  // out, never taken cut (the program name stays).
  if (cut && count > 1) {
    DiagPrint("Argument not added (no room). \n");
    p = list->start[--count];  // the previous argument's terminator is before it
  } else {
    pool[p++] = 0;
  }
  list->count = count;
  list->start[count] = p;
  list->fill = p;
  DropEmptyArgument1(list);
}

// Finishes an argument already written at list->fill (len units; the
// terminator is written here).
template <typename List>
void CommitRaw(List* list, int len) {
  list->pool[list->fill + len] = 0;
  int p = list->fill + len + 1;
  list->start[list->count] = list->fill;
  list->count++;
  list->start[list->count] = p;
  list->fill = p;
}

// Room for a further argument of n units (plus its terminator).
template <typename List>
bool HasRoom(const List* list, int n) {
  return list->count >= 0 && list->count < kArgMax && list->fill >= 0 &&
         list->fill + n <= kStoreMax;
}

// The length of a path once its quotes are removed, as AddArg stores it.
template <typename Ch>
int StoredLength(const Ch* path) {
  if (!path) return 0;
  const Ch* s = path[0] == '"' ? path + 1 : path;
  bool quoted = s != path;
  int n = 0;
  while (s[n] && !(quoted && s[n] == '"')) n++;
  return n;
}

// Appends one path: quotes around it are removed; an empty path, a full table
// or a path that does not fit the pool whole store nothing and leave the list
// unchanged.
template <typename List, typename Ch>
int AddArg(List* list, const Ch* path) {
  int n = StoredLength(path);
  if (n == 0) return -1;
  if (!HasRoom(list, n)) {  // a cut path would name another file
    DiagPrint("Argument not added (no room). \n");
    return -1;
  }
  const Ch* s = path[0] == '"' ? path + 1 : path;
  for (int i = 0; i < n; i++) list->pool[list->fill + i] = s[i];
  CommitRaw(list, n);
  return 0;
}

// Stores a path, or an empty argument when it is empty (keeping the position).
template <typename List, typename Ch>
void StoreOrEmpty(List* list, const Ch* path) {
  if (StoredLength(path) > 0) {
    AddArg(list, path);
    return;
  }
  list->pool[list->fill] = 0;
  CommitRaw(list, 0);
}

// Builds both lists from argv, one argument in both or in neither: the
// narrow bytes as given and their UTF-16 form (empty when they have none
// that fits a path). As with a split command line, a count of 2 with an empty
// argument 1 becomes 1.
void SplitArgv() {
  ResetList(&gArgsW);
  ResetList(&gArgsA);
  int argc = PortArgc();
  for (int i = 0; i < argc; i++) {
    const char* arg = PortArgv(i);
    static char16_t wide[kArgPool];
    narrowtounipath(wide, kArgPool, arg);
    int n = (int)strnlen(arg, kArgPool);
    int wn = Length(wide);
    if (!HasRoom(&gArgsA, n) || !HasRoom(&gArgsW, wn)) {
      DiagPrint("Argument not added (no room). \n");
      if (gArgsA.count >= kArgMax) break;
      continue;
    }
    // argv entries carry no quotes of their own: stored as given.
    memcpy(gArgsA.pool + gArgsA.fill, arg, (size_t)n);
    CommitRaw(&gArgsA, n);
    memcpy(gArgsW.pool + gArgsW.fill, wide, (size_t)wn * sizeof(char16_t));
    CommitRaw(&gArgsW, wn);
  }
  // Decided on the narrow bytes: an argument with no UTF-16 form is not empty.
  if (gArgsA.count == 2 && gArgsA.pool[gArgsA.start[1]] == 0) {
    DropEmptyArgument1(&gArgsA);
    DropEmptyArgument1(&gArgsW);
  }
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
  if (const char16_t* line = PortCommandLineW()) unisplitcmdline(&gArgsW, line);
  else SplitArgv();
}

void splitcmd() {
  if (const char* line = PortCommandLineA()) splitcmdline(&gArgsA, line);
  else SplitArgv();
}

void splitargs() {
  const char16_t* lineW = PortCommandLineW();
  const char* lineA = PortCommandLineA();
  if (!lineW || !lineA) {
    SplitArgv();
    return;
  }
  unisplitcmdline(&gArgsW, lineW);
  splitcmdline(&gArgsA, lineA);
  // The two command lines may meet their limits at different arguments; an
  // argument stands only where it stands in both.
  int n = gArgsA.count < gArgsW.count ? gArgsA.count : gArgsW.count;
  if (n < 1) return;
  gArgsA.count = n;
  gArgsA.fill = gArgsA.start[n];
  gArgsW.count = n;
  gArgsW.fill = gArgsW.start[n];
}

int uniaddarg(ArgListW* list, const char16_t* path) { return AddArg(list, path); }
int addarg(ArgListA* list, const char* path) { return AddArg(list, path); }

int addargpair(ArgListA* a, ArgListW* w, const char* path, const char16_t* widepath) {
  int n = StoredLength(path), wn = StoredLength(widepath);
  if (!a || !w || (n == 0 && wn == 0)) return -1;
  if (a->count != w->count || !HasRoom(a, n) || !HasRoom(w, wn)) {
    DiagPrint("Argument not added (no room). \n");
    return -1;
  }
  StoreOrEmpty(a, path);
  StoreOrEmpty(w, widepath);
  return 0;
}

// A conversion into a scratch buffer a few units larger than the
// destination: a result that reaches the destination's capacity there did not
// fit (a character that does not fit whole ends a conversion, and none is
// wider than 4 units).
constexpr int kConvertSlack = 4;
constexpr int kConvertMax = kArgPool;

int narrowtounipath(char16_t* dst, int dstcap, const char* src) {
  if (!dst || dstcap < 1) return -1;
  dst[0] = 0;
  if (!src || dstcap > kConvertMax) return -1;
  static char16_t tmp[kConvertMax + kConvertSlack];
  int r = narrowtouni(tmp, dstcap + kConvertSlack, src);
  if (PortAnsiCodePage() == 65001 && r == 0) return -1;  // not UTF-8: no UTF-16 form
  int n = Length(tmp);
  if (n >= dstcap) return -1;
  memcpy(dst, tmp, (size_t)(n + 1) * sizeof(char16_t));
  return 0;
}

int unitonarrowpath(char* dst, int dstcap, const char16_t* src) {
  if (!dst || dstcap < 1) return -1;
  dst[0] = 0;
  if (!src || dstcap > kConvertMax) return -1;
  static char tmp[kConvertMax + kConvertSlack];
  unitonarrow(tmp, dstcap + kConvertSlack, src);
  size_t n = strlen(tmp);
  if (n >= (size_t)dstcap) return -1;
  memcpy(dst, tmp, n + 1);
  return 0;
}

const char16_t* uniargat(const ArgListW* list, int i) {
  if (!list || i < 0 || i >= list->count || i > kArgMax) return u"";
  return list->pool + list->start[i];
}

const char* argat(const ArgListA* list, int i) {
  if (!list || i < 0 || i >= list->count || i > kArgMax) return "";
  return list->pool + list->start[i];
}
