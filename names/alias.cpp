#include "names/alias.h"

#include <cstring>

#include "base/diag.h"
#include "base/encoding.h"
#include "base/runenv.h"
#include "base/textfile.h"
#include "names/nametable.h"

uint8_t aliasFoundA = 0, aliasFoundW = 0;

bool AliasMode() { return aliasFoundA != 0 || aliasFoundW != 0; }

namespace {

constexpr int kBoneAliasTable = 0;
constexpr int kMorphAliasTable = 3;
constexpr int kAliasSlots = 8192;   // entries 1..8191 have a slot
constexpr int kReplaceMax = 15;     // the width of a name field in a motion
constexpr uint8_t kModePiece = 0, kModeWhole = 0xFF, kModeTail = 1;

constexpr int kLineSize = 255;      // tfgets size: at most 253 bytes a line
constexpr int kTokenMax = 256;

// Replacement slots and mode bytes of table 0 (index 0) and table 3 (index 1).
char gReplace[2][kAliasSlots][kNameSlot];
uint8_t gMode[2][kAliasSlots];

int ListOf(int table) {
  if (table == kBoneAliasTable) return 0;
  if (table == kMorphAliasTable) return 1;
  return -1;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// ASCII case is ignored; the line only has to begin with word.
bool HeadIs(const char* s, const char* word) {
  for (; *word; ++s, ++word) {
    char c = *s;
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    char w = *word;
    if (w >= 'A' && w <= 'Z') w = static_cast<char>(w - 'A' + 'a');
    if (c != w) return false;
  }
  return true;
}

// Reads one token at line[*pos] into tok: a double-quoted string (without the
// quotes) or a run of bytes up to the next space, tab or the end of the line.
// *pos ends behind the token (behind the closing quote). Returns -1 when a
// quoted token has no closing quote.
int ReadToken(const char* line, int* pos, char* tok) {
  int p = *pos, n = 0;
  if (line[p] == '"') {
    ++p;
    while (line[p] != 0 && line[p] != '"') {
      if (n < kTokenMax - 1) tok[n++] = line[p];
      ++p;
    }
    tok[n] = 0;
    if (line[p] != '"') return -1;
    *pos = p + 1;
    return 0;
  }
  while (line[p] != 0 && !IsBlank(line[p])) {
    if (n < kTokenMax - 1) tok[n++] = line[p];
    ++p;
  }
  tok[n] = 0;
  *pos = p;
  return 0;
}

// The token as Shift-JIS: converted from UTF-8 when the file is UTF-8.
void TokenToSjis(char* dst, const char* tok, bool utf8) {
  if (utf8) {
    utf8tosjis(dst, kTokenMax, tok);
  } else {
    size_t n = strnlen(tok, kTokenMax - 1);
    memcpy(dst, tok, n);
    dst[n] = 0;
  }
}

// Cuts s to at most max bytes without splitting a double-byte character.
void CutSjis(char* s, int max) {
  int i = 0;
  while (s[i] != 0) {
    int step = issjislead(static_cast<unsigned char>(s[i])) && s[i + 1] != 0 ? 2 : 1;
    if (i + step > max) break;
    i += step;
  }
  s[i] = 0;
}

// One entry line, blanks already skipped. Adds the entry or says why not.
void ParseEntry(const char* line, int p, bool utf8, int table) {
  char tok[kTokenMax], pattern[kTokenMax], replace[kTokenMax];

  uint8_t mode = kModePiece;
  bool quoted = line[p] == '"';
  if (ReadToken(line, &p, tok) != 0) {
    DiagPrint("Err: string end not detected: %s \n", line + p);
    return;
  }
  if (quoted) {
    if (line[p] == 'F') {
      mode = kModeWhole;
      ++p;
    }
    if (line[p] == 'L') {
      mode = kModeTail;
      ++p;
    }
  }
  if (tok[0] == 0) {
    unsigned char c = static_cast<unsigned char>(line[p]);
    if (!(c == 0 || c == '\r' || c == '\n' || c == ' ' || c == '\t' || c == 0x1E)) {
      DiagPrint("%02X(%c) ", c, c);
      DiagPrint("Syntax: %s \n", line + p);
    }
    return;
  }
  TokenToSjis(pattern, tok, utf8);

  while (IsBlank(line[p])) ++p;
  int start = p;
  if (ReadToken(line, &p, tok) != 0) {
    DiagPrint("Err: string end not detected: %s \n", line + start);
    return;
  }
  if (tok[0] == 0) {
    DiagPrint("Syntax: %s %s \n", pattern, line + p);
    return;
  }
  TokenToSjis(replace, tok, utf8);
  CutSjis(replace, kReplaceMax);

  if (pattern[0] == 0 || replace[0] == 0) {
    DiagPrint("%s %s => (cannot set) \n", pattern, replace);
    return;
  }
  // Only entries with a replacement slot may enter the table; a pattern
  // longer than an entry is refused by AddName. Either way the line is dropped.
  int n = NameCount(table) < kAliasSlots - 1 ? AddName(table, pattern) : 0;
  if (n <= 0 || n >= kAliasSlots) {
    DiagPrint("%s %s => (cannot set) \n", pattern, replace);
    return;
  }
  int list = ListOf(table);
  memcpy(gReplace[list][n], replace, strlen(replace) + 1);
  gMode[list][n] = mode;
}

// Output of the rendering, bounded by the destination; it is cut at a
// character boundary and stays terminated.
struct Out {
  char* dst;
  int len;
  bool full;
};

// Appends the first character of s; false when it does not fit.
bool PutChar(Out& o, const char* s, int* used) {
  int step = issjislead(static_cast<unsigned char>(s[0])) && s[1] != 0 ? 2 : 1;
  if (o.len + step > kAliasRenderMax - 1) {
    o.full = true;
    return false;
  }
  memcpy(o.dst + o.len, s, step);
  o.len += step;
  *used = step;
  return true;
}

void PutText(Out& o, const char* s) {
  int used = 0;
  while (*s && PutChar(o, s, &used)) s += used;
}

// The whole rule: '*' needs at least one more byte of the text; the pattern
// and the text must end together otherwise. '?' is an ordinary byte.
bool WholeMatch(const char* pat, const char* s) {
  for (; *pat; ++pat, ++s) {
    if (*pat == '*') return *s != 0;
    if (*pat != *s) return false;
  }
  return *s == 0;
}

// The head rule: the text begins with the pattern; '?' takes any one byte,
// '*' is an ordinary byte.
bool HeadMatch(const char* pat, const char* s) {
  for (; *pat; ++pat, ++s) {
    if (*s == 0) return false;
    if (*pat != '?' && *pat != *s) return false;
  }
  return true;
}

int Render(int table, char* dst, const char* name) {
  if (!dst) return -1;
  dst[0] = 0;
  if (!name) return 0;
  int list = ListOf(table);
  int count = NameCount(table);
  if (count > kAliasSlots - 1) count = kAliasSlots - 1;

  Out o{dst, 0, false};
  const char* p = name;
  bool done = false;
  while (*p && !done && !o.full) {
    int chosen = 0;
    for (int e = count; e >= 1; --e) {
      const char* pat = NameAt(table, e);
      uint8_t mode = gMode[list][e];
      if (mode == kModePiece) {
        if (WholeMatch(pat, p)) {
          PutText(o, gReplace[list][e]);
          done = true;
          break;
        }
        if (HeadMatch(pat, p)) {
          chosen = e;
          break;
        }
      } else if (mode == kModeWhole) {
        if (p == name && strcmp(name, pat) == 0) {
          o.len = 0;
          PutText(o, gReplace[list][e]);
          done = true;
          break;
        }
      } else {  // tail
        if (strcmp(p, pat) == 0) {
          PutText(o, gReplace[list][e]);
          done = true;
          break;
        }
      }
    }
    if (done) break;
    if (chosen) {
      PutText(o, gReplace[list][chosen]);
      p += strlen(NameAt(table, chosen));
    } else {
      int used = 0;
      if (PutChar(o, p, &used)) p += used;
    }
  }
  dst[o.len] = 0;
  return 0;
}

// dir followed by "alias.ini", or an empty path when it does not fit.
void JoinNarrow(char* dst, const char* dir) {
  static const char kFile[] = "alias.ini";
  size_t n = strnlen(dir, kPathMax);
  // No folder known (empty): no alias file, never one in the current folder.
  if (n == 0 || n + sizeof kFile > static_cast<size_t>(kPathMax)) {
    dst[0] = 0;
    return;
  }
  memcpy(dst, dir, n);
  memcpy(dst + n, kFile, sizeof kFile);
}

void JoinWide(char16_t* dst, const char16_t* dir) {
  static const char16_t kFile[] = u"alias.ini";
  constexpr int kFileLen = sizeof kFile / sizeof kFile[0];  // with the NUL
  int n = 0;
  while (n < kPathMax && dir[n] != 0) ++n;
  if (n == 0 || n + kFileLen > kPathMax) {
    dst[0] = 0;
    return;
  }
  memcpy(dst, dir, n * sizeof(char16_t));
  memcpy(dst + n, kFile, sizeof kFile);
}

void ListTable(int table) {
  int list = ListOf(table);
  int count = NameCount(table);
  if (count > kAliasSlots - 1) count = kAliasSlots - 1;
  for (int e = 1; e <= count; ++e)
    DiagPrint("%4d: %s %s%s \n", e, NameAt(table, e), gMode[list][e] != 0 ? "L " : "",
              gReplace[list][e]);
}

}  // namespace

int ReadAliasFile(const char* path, const char16_t* widepath, int usewide) {
  static const char16_t kEmptyW[] = u"";
  if (!path) path = "";
  if (!widepath) widepath = kEmptyW;
  DiagPrint("Checking : %s \n", path);

  int u8 = usewide ? chkifutf8W(widepath) : chkifutf8(path);
  int sj = usewide ? chkifsjisW(widepath) : chkifsjis(path);
  bool utf8 = !(u8 == 0 && sj >= 3);
  if (utf8)
    DiagPrint("Reading (UTF-8): %s \n", path);
  else
    DiagPrint("Reading (SJIS) : %s \n", path);

  if ((usewide ? tfopenW(widepath) : tfopen(path)) != 0) return -1;

  int table = kBoneAliasTable;
  char line[kLineSize + 1];
  bool firstLine = true;
  for (;;) {
    if (tfeof() || tfpeek() == -1) {
      tfclose();
      return 0;
    }
    int c = tfpeek();
    if (c == '\r' || c == '\n' || c == 0x1A || c == ' ' || c == '\t') {
      tfgetc();
      continue;
    }
    line[0] = 0;
    if (tfgets(line, kLineSize) <= 0) continue;
    line[kLineSize] = 0;

    int len = static_cast<int>(strlen(line));
    while (len > 1 && (line[len - 1] == ' ' || line[len - 1] == '\r' || line[len - 1] == '\n'))
      line[--len] = 0;
    int p = 0;
    // A byte order mark in front of a UTF-8 file is not part of its first line.
    if (firstLine && utf8 && memcmp(line, "\xEF\xBB\xBF", 3) == 0) p = 3;
    firstLine = false;
    while (p < kLineSize && IsBlank(line[p])) ++p;

    if (line[p] == '/' && line[p + 1] == '/') continue;
    if (HeadIs(line + p, "-bone")) {
      table = kBoneAliasTable;
      continue;
    }
    if (HeadIs(line + p, "-morph")) {
      table = kMorphAliasTable;
      continue;
    }
    ParseEntry(line, p, utf8, table);
  }
}

void LoadAliasFile() {
  aliasFoundA = 0;
  aliasFoundW = 0;
  char pathA[kPathMax];
  char16_t pathW[kPathMax];
  JoinNarrow(pathA, gRun.exeDirA);
  JoinWide(pathW, gRun.exeDirW);

  if (pathA[0] != 0 && tfexists(pathA) == 0) {
    aliasFoundA = 0xFF;
    DiagPrint("Alias file found. \n");
  } else if (pathW[0] != 0 && tfexistsW(pathW) == 0) {
    aliasFoundW = 0xFF;
    DiagPrint("Alias file found. (W) \n");
  }

  if (aliasFoundA && ReadAliasFile(pathA, u"", 0) == 0) DiagPrint("Alias file read-in. \n");
  if (aliasFoundW && ReadAliasFile("", pathW, 1) == 0) DiagPrint("Alias file read-in. (W) \n");

  if (gRun.displayLevel >= 1) {
    DiagPrint("Bones: \n");
    ListTable(kBoneAliasTable);
    DiagPrint("Morphing: \n");
    ListTable(kMorphAliasTable);
    if (AliasMode()) {
      DiagPrint("  => Replace def. bone  strings: %d \n", NameCount(kBoneAliasTable));
      DiagPrint("  => Replace def. morph strings: %d \n", NameCount(kMorphAliasTable));
    }
  }
}

int AliasRenderBone(char* dst, const char* name) { return Render(kBoneAliasTable, dst, name); }

int AliasRenderMorph(char* dst, const char* name) { return Render(kMorphAliasTable, dst, name); }

const char* AliasReplacement(int table, int entry) {
  int list = ListOf(table);
  if (list < 0 || entry < 1 || entry >= kAliasSlots || entry > NameCount(table)) return "";
  return gReplace[list][entry];
}

int AliasModeOf(int table, int entry) {
  int list = ListOf(table);
  if (list < 0 || entry < 1 || entry >= kAliasSlots || entry > NameCount(table)) return -1;
  return gMode[list][entry];
}
