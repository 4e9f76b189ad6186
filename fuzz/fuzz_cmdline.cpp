// Command-line splitting, argument appends and the path operations on
// arbitrary bytes. The first byte picks the code page (bit 0: 932) and the
// separator set (bit 1: '\\'), and the rest of it shortens the destinations.
// The input is split as a narrow line and, read as 16-bit units, as a UTF-16
// line; its '\n'-separated pieces are then appended to both lists, handed to
// the path operations with exact-size destinations and used as argv.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "base/paths.h"
#include "platform/headless/headless.h"

namespace {

template <typename List>
void CheckList(const List& l) {
  if (l.count < 0 || l.count > kArgMax) __builtin_trap();
  if (l.fill < 0 || l.fill > kArgPool) __builtin_trap();
  if (l.start[0] != 0 || l.start[l.count] != l.fill) __builtin_trap();
  for (int i = 0; i < l.count; i++) {
    if (l.start[i] >= l.start[i + 1]) __builtin_trap();
    if (l.pool[l.start[i + 1] - 1] != 0) __builtin_trap();
  }
}

template <typename Ch>
int Len(const Ch* s) {
  int n = 0;
  while (s[n]) n++;
  return n;
}

template <typename Ch>
void CheckTerminated(const Ch* d, int cap) {
  for (int i = 0; i < cap; i++)
    if (d[i] == 0) return;
  if (cap > 0) __builtin_trap();
}

template <typename Ch>
Ch* Copy(const Ch* s, int n) {
  Ch* p = (Ch*)malloc(sizeof(Ch) * (size_t)(n + 1));
  memcpy(p, s, sizeof(Ch) * (size_t)n);
  p[n] = 0;
  return p;
}

// Runs every operation of one form on a piece, into destinations of exactly
// cap units (and of the piece's own size).
template <typename Ch, typename Ops>
void PathOps(const Ch* piece, const Ch* other, int cap, int item) {
  int n = Len(piece);
  for (int c : {cap, n + 1}) {
    Ch* d = (Ch*)malloc(sizeof(Ch) * (size_t)(c > 0 ? c : 1));
    Ops::getdir(d, c, piece);
    CheckTerminated(d, c);
    Ops::getfname(d, c, piece);
    CheckTerminated(d, c);
    Ops::getext(d, c, piece);
    CheckTerminated(d, c);
    Ops::cutext(d, c, piece);
    CheckTerminated(d, c);
    Ops::extra(d, c, piece, item);
    free(d);
  }
  Ch* inplace = Copy(piece, n);
  Ops::cutsep(inplace);
  if (Len(inplace) > n) __builtin_trap();
  free(inplace);
  Ops::headcmp(piece, other);
}

struct NarrowOps {
  static int getdir(char* d, int c, const char* s) { return ::getdir(d, c, s); }
  static int getfname(char* d, int c, const char* s) { return ::getfname(d, c, s); }
  static int getext(char* d, int c, const char* s) { return ::getext(d, c, s); }
  static int cutext(char* d, int c, const char* s) { return ::cutext(d, c, s); }
  static int cutsep(char* s) { return ::cutsep(s); }
  static int headcmp(const char* s, const char* h) { return ::headcmp(s, h); }
  static void extra(char* d, int c, const char* s, int item) {
    getlistitem(d, c, s, item);
    CheckTerminated(d, c);
    pathhasq(s);
  }
};

struct WideOps {
  static int getdir(char16_t* d, int c, const char16_t* s) { return unigetdir(d, c, s); }
  static int getfname(char16_t* d, int c, const char16_t* s) { return unigetfname(d, c, s); }
  static int getext(char16_t* d, int c, const char16_t* s) { return unigetext(d, c, s); }
  static int cutext(char16_t* d, int c, const char16_t* s) { return unicutext(d, c, s); }
  static int cutsep(char16_t* s) { return unicutsep(s); }
  static int headcmp(const char16_t* s, const char16_t* h) { return uniheadcmp(s, h); }
  static void extra(char16_t*, int, const char16_t*, int) {}
};

// Calls f(piece, length) for every '\n'-separated piece of s.
template <typename Ch, typename F>
void ForPieces(const Ch* s, int n, F f) {
  int from = 0;
  for (int i = 0; i <= n; i++) {
    if (i == n || s[i] == (Ch)'\n') {
      f(s + from, i - from);
      from = i + 1;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 200000) return 0;
  const uint8_t mode = data[0];
  data++;
  size--;
  HeadlessReset();
  gHeadless.codePage = (mode & 1) ? 932 : 65001;
  SetPathSeparators((mode & 2) ? '\\' : '/', '/');
  const int shrink = mode >> 2;

  const int n = (int)size;
  char* line = Copy((const char*)data, n);
  const int nw = n / 2;
  char16_t* wline = (char16_t*)malloc(sizeof(char16_t) * (size_t)(nw + 1));
  memcpy(wline, data, sizeof(char16_t) * (size_t)nw);
  wline[nw] = 0;
  // The splits stop at the first zero; the pieces below use the whole input.
  splitcmdline(&gArgsA, line);
  unisplitcmdline(&gArgsW, wline);
  CheckList(gArgsA);
  CheckList(gArgsW);

  static const char* argv[kHeadlessMaxArgs];
  int argc = 0;
  char* first = nullptr;
  ForPieces(line, n, [&](const char* p, int len) {
    char* piece = Copy(p, len);
    if (!first) first = Copy(p, len);
    int before = gArgsA.count;
    if (addarg(&gArgsA, piece) == 0 ? gArgsA.count != before + 1 : gArgsA.count != before)
      __builtin_trap();
    int cap = len + 1 - shrink;
    PathOps<char, NarrowOps>(piece, first, cap < 0 ? 0 : cap, shrink & 7);
    if (argc < kHeadlessMaxArgs) argv[argc++] = piece;
    else free(piece);
  });
  char16_t* wfirst = nullptr;
  ForPieces(wline, nw, [&](const char16_t* p, int len) {
    char16_t* piece = Copy(p, len);
    if (!wfirst) wfirst = Copy(p, len);
    int before = gArgsW.count;
    if (uniaddarg(&gArgsW, piece) == 0 ? gArgsW.count != before + 1 : gArgsW.count != before)
      __builtin_trap();
    int cap = len + 1 - shrink;
    PathOps<char16_t, WideOps>(piece, wfirst, cap < 0 ? 0 : cap, 0);
    free(piece);
  });
  CheckList(gArgsA);
  CheckList(gArgsW);

  // The same pieces as an argv array.
  HeadlessSetArgs(argc, argv);
  splitcmd();
  unisplitcmd();
  CheckList(gArgsA);
  CheckList(gArgsW);
  if (gArgsA.count != gArgsW.count) __builtin_trap();

  for (int i = 0; i < argc; i++) free((void*)argv[i]);
  free(first);
  free(wfirst);
  free(line);
  free(wline);
  HeadlessReset();
  return 0;
}
