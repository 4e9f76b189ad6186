#include "names/nametable.h"

#include <cstring>

#include "base/encoding.h"

// Sixteen tables of 16384 entries of 64 bytes; entry 0 does not exist, so
// each table has room for entry numbers 1 to 16384.
char gNameText[kNameTables][kNameMax + 1][kNameSlot];
int32_t gNameCount[kNameTables];
static int32_t gGroupCount[kNameTables];
static int32_t gBoundary[kNameTables][kGroupMax + 1];  // positions 1 to 15
uint8_t gNameGroupOf[kNameTables][kNameMax + 1];  // the group of each entry

// Every entry gets a serial number when it is added, from one counter for all
// tables that only ever grows. Entries are only appended and cut from the
// top, so within a table the serials rise with the entry number, and entries
// 1..k are still those that stood there at a moment when the counter read S
// exactly when entry k's serial is at most S: a cut below k and a new entry k
// would have given it a larger one. Marks and cached lookups are checked this
// way, without the reset or the cut having to visit them.
static uint64_t gBorn[kNameTables][kNameMax + 1];
static uint64_t gSerial = 0;

// Whether entries 1..k of table (k at most its count) are those it held when
// the serial counter read stamp.
static bool HeldSince(int table, int k, uint64_t stamp) { return k <= 0 || gBorn[table][k] <= stamp; }

static bool ValidTable(int table) { return table >= 0 && table < kNameTables; }

// ---------------------------------------------------------------------------
// Index.
//
// Most entries match only the string equal to them: names taken from a motion
// (literal entries, whatever bytes they hold) and patterns without a wildcard
// byte. These exact entries are found through a hash of their text; each
// remembers the next older exact entry with the same text. The few entries
// that hold a wildcard ('*', '?', or the bytes 0x81 0x48 anywhere, which is
// how the match sees '？') are kept in a list in entry order and tried in turn,
// newest first, only above the best exact entry. A lookup thus gives the
// newest matching entry, as the plain scan does, without trying every entry.

constexpr int kIndexSlots = 2 * kNameMax;  // a power of two; at most half full

static uint8_t gLiteral[kNameTables][kNameMax + 1];     // 1: matched only by itself
static int32_t gIndex[kNameTables][kIndexSlots];         // newest exact entry per text; 0 empty
static int32_t gSlotOf[kNameTables][kNameMax + 1];       // its slot, -1 for a wildcard entry
static int32_t gOlderSame[kNameTables][kNameMax + 1];    // older exact entry, same text
static int32_t gWild[kNameTables][kNameMax];             // wildcard entries, oldest first
static int32_t gWildCount[kNameTables];

// ---------------------------------------------------------------------------
// Lookup cache.
//
// A lookup is a scan from entry `last` down to 1. A slot remembers, for one
// (table, name), the newest match found among entries 1..last of an earlier
// scan and the serial counter at that scan. As long as those entries still
// stand (HeldSince), a later lookup with a larger `last` only has to scan the
// entries above it, and one with a smaller `last` can reuse the result when it
// lies at or below the new `last` (no entry between it and the old `last`
// matched). After a cut the part of the scan below the cut still holds, and
// its result with it unless the entry it found was cut; after a reset nothing
// of it does. A slot is checked when it is used, so neither has to visit the
// cache.

namespace {
struct CacheSlot {
  uint64_t stamp;  // the serial counter at the scan; 0 = empty
  int32_t table;
  int32_t last;    // the scan covered entries 1..last
  int32_t found;   // newest matching entry among them, 0 for none
  int32_t len;     // length of name
  char name[kNameSlot];
};
}  // namespace

// Sets of four slots, replaced in turn, so that a few names with the same
// hash do not keep pushing each other out.
constexpr int kCacheWays = 4;
constexpr int kCacheSets = 1024;  // a power of two
static CacheSlot gCache[kCacheSets][kCacheWays];
static uint8_t gCacheVictim[kCacheSets];
static bool gCacheOn = true;

static void ClearCache() {
  memset(gCache, 0, sizeof gCache);
  memset(gCacheVictim, 0, sizeof gCacheVictim);
}

void NameCacheEnable(bool on) {
  if (on != gCacheOn) ClearCache();
  gCacheOn = on;
}

// The part of a slot's scan that still stands: entries 1..held, with its
// result. False when nothing usable is left (its result was cut away, or the
// entries changed).
static bool SlotHolds(const CacheSlot& c, int* held) {
  if (c.stamp == 0) return false;
  const int k = c.last < gNameCount[c.table] ? c.last : gNameCount[c.table];
  if (!HeldSince(c.table, k, c.stamp) || c.found > k) return false;
  *held = k;
  return true;
}

static uint32_t HashName(int table, const char* s, int len) {
  uint32_t h = 2166136261u ^ static_cast<uint32_t>(table);
  for (int i = 0; i < len; ++i) {
    h ^= static_cast<unsigned char>(s[i]);
    h *= 16777619u;
  }
  return h ^ (h >> 15);
}

static bool HasWildcard(const char* s) {
  for (int i = 0; s[i]; ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c == '*' || c == '?' || (c == 0x81 && static_cast<unsigned char>(s[i + 1]) == 0x48))
      return true;
  }
  return false;
}

// The slot of text s in the index of table: the one holding an entry with
// that text, or the empty slot where it would go.
static int IndexSlot(int table, const char* s, int len, uint32_t hash) {
  uint32_t i = hash & (kIndexSlots - 1);
  for (;;) {
    int e = gIndex[table][i];
    if (e == 0) return static_cast<int>(i);
    if (memcmp(gNameText[table][e], s, static_cast<size_t>(len)) == 0 && gNameText[table][e][len] == 0)
      return static_cast<int>(i);
    i = (i + 1) & (kIndexSlots - 1);
  }
}

static void IndexEntry(int table, int e, bool literal) {
  gLiteral[table][e] = literal ? 1 : 0;
  const char* name = gNameText[table][e];
  if (!literal && HasWildcard(name)) {
    gSlotOf[table][e] = -1;
    gWild[table][gWildCount[table]++] = e;
    return;
  }
  const int len = static_cast<int>(strlen(name));
  int slot = IndexSlot(table, name, len, HashName(table, name, len));
  gOlderSame[table][e] = gIndex[table][slot];
  gIndex[table][slot] = e;
  gSlotOf[table][e] = slot;
}

static void ClearIndex(int table) {
  for (int e = 1; e <= gNameCount[table]; ++e)
    if (gSlotOf[table][e] >= 0) gIndex[table][gSlotOf[table][e]] = 0;
  gWildCount[table] = 0;
}

static int EntryMatches(int table, int e, const char* s) {
  if (gLiteral[table][e]) return strcmp(gNameText[table][e], s) == 0 ? 0 : -1;
  return WildMatch(gNameText[table][e], s);
}

// The newest entry among lo + 1 .. hi that matches s, or 0: the plain scan.
static int Scan(int table, const char* s, int hi, int lo) {
  for (int e = hi; e > lo; --e)
    if (EntryMatches(table, e, s) == 0) return e;
  return 0;
}

// The same answer through the index. len: strnlen(s, kNameSlot); hash: its
// HashName when len is below kNameSlot.
static int IndexedScan(int table, const char* s, int len, uint32_t hash, int hi, int lo) {
  int best = 0;
  if (len < kNameSlot) {  // no entry is longer
    int e = gIndex[table][IndexSlot(table, s, len, hash)];
    while (e > hi) e = gOlderSame[table][e];
    if (e > lo) best = e;
  }
  const int32_t* wild = gWild[table];
  // The newest wildcard entry at or below hi, then older ones above best.
  int a = 0, b = gWildCount[table];
  while (a < b) {
    int m = (a + b) / 2;
    if (wild[m] <= hi) a = m + 1;
    else b = m;
  }
  const int floor = best > lo ? best : lo;
  for (int k = a - 1; k >= 0 && wild[k] > floor; --k)
    if (WildMatch(gNameText[table][wild[k]], s) == 0) return wild[k];
  return best;
}

// ---------------------------------------------------------------------------

int WildMatch(const char* pattern, const char* s) {
  if (!pattern || !s) return -1;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(pattern);
  const unsigned char* t = reinterpret_cast<const unsigned char*>(s);
  int i = 0, j = 0;
  while (p[i] != 0) {
    // A wildcard character in the string is matched literally by the same
    // character in the pattern, so the literal comparison comes first.
    if (t[j] == p[i]) {
      ++i;
      ++j;
      continue;
    }
    if (t[j] != 0 && p[i] == '*') return 0;  // one or more further bytes
    if (issjislead(t[j]) && t[j + 1] != 0 && p[i] == '?') {
      i += 1;  // '?' takes a whole double-byte character
      j += 2;
      continue;
    }
    if (t[j] != 0 && p[i] == '?') {
      ++i;
      ++j;
      continue;
    }
    if (issjislead(t[j]) && t[j + 1] != 0 && p[i] == 0x81 && p[i + 1] == 0x48) {
      i += 2;  // full-width '？' takes exactly one double-byte character
      j += 2;
      continue;
    }
    return -1;
  }
  return t[j] == 0 ? 0 : -1;
}

int ResetNameTables() {
  for (int t = 0; t < kNameTables; ++t) {
    ClearIndex(t);
    gNameCount[t] = 0;
    gGroupCount[t] = 0;
    memset(gBoundary[t], 0, sizeof gBoundary[t]);
    BeginNameGroup(t);
  }
  return 0;
}

int NameGroupCount(int table) { return ValidTable(table) ? gGroupCount[table] : 0; }

int TruncateNameTable(int table, int count, int groups) {
  if (!ValidTable(table) || count < 0 || count > gNameCount[table] || groups < 1 ||
      groups > gGroupCount[table] || gBoundary[table][groups] > count)
    return -1;
  for (int g = groups + 1; g <= gGroupCount[table]; ++g) gBoundary[table][g] = 0;
  gGroupCount[table] = groups;
  // Entries of the dropped groups that stay now belong to the last group kept.
  for (int e = count; e >= 1 && gNameGroupOf[table][e] > groups; --e)
    gNameGroupOf[table][e] = static_cast<uint8_t>(groups);
  if (count == gNameCount[table]) return 0;
  // Entries leave the index newest first, so each is the head of its text's
  // chain; a slot whose first entry goes is empty again, as it was at count.
  for (int e = gNameCount[table]; e > count; --e)
    if (gSlotOf[table][e] >= 0) gIndex[table][gSlotOf[table][e]] = gOlderSame[table][e];
  while (gWildCount[table] > 0 && gWild[table][gWildCount[table] - 1] > count) --gWildCount[table];
  gNameCount[table] = count;
  return 0;
}

int BeginNameGroup(int table) {
  if (!ValidTable(table)) return -1;
  if (gGroupCount[table] >= kGroupMax) return -1;
  ++gGroupCount[table];
  gBoundary[table][gGroupCount[table]] = gNameCount[table];
  return 0;
}

static int Add(int table, const char* name, bool literal) {
  if (!ValidTable(table) || !name) return 0;
  if (gNameCount[table] >= kNameMax) return 0;
  // A longer name would have to be cut, and a cut pattern matches other names
  // than the one its writer meant: refuse it.
  size_t len = strnlen(name, kNameSlot);
  if (len >= static_cast<size_t>(kNameSlot)) return 0;
  int n = ++gNameCount[table];
  memcpy(gNameText[table][n], name, len + 1);
  gBorn[table][n] = ++gSerial;
  gNameGroupOf[table][n] = static_cast<uint8_t>(gGroupCount[table]);
  IndexEntry(table, n, literal);
  return n;
}

int AddName(int table, const char* name) { return Add(table, name, false); }
int AddLiteralName(int table, const char* name) { return Add(table, name, true); }

int NameMatches(int table, const char* s, int entry) {
  if (!ValidTable(table) || entry < 1 || entry > gNameCount[table]) return -1;
  return EntryMatches(table, entry, s);
}

int FindNameFrom(int table, const char* s, int last) {
  if (!ValidTable(table) || !s) return 0;
  // Entries above the count do not exist (they may hold names from before the
  // last reset).
  if (last > gNameCount[table]) last = gNameCount[table];
  if (last < 1) return 0;
  if (!gCacheOn) return Scan(table, s, last, 0);  // the plain scan, for comparison

  int len = static_cast<int>(strnlen(s, kNameSlot));
  if (len >= kNameSlot) return IndexedScan(table, s, len, 0, last, 0);
  const uint32_t hash = HashName(table, s, len);
  const uint32_t set = hash & (kCacheSets - 1);
  CacheSlot* spare = nullptr;
  int held = 0;
  for (CacheSlot& c : gCache[set]) {
    if (c.table != table || c.len != len || memcmp(c.name, s, len) != 0) {
      if (!spare && !SlotHolds(c, &held)) spare = &c;  // empty or spent
      continue;
    }
    if (!SlotHolds(c, &held)) {  // this name's slot, spent: scan afresh into it
      spare = &c;
      break;
    }
    if (last == held) return c.found;  // nothing above what it scanned
    if (last > held) {
      int r = IndexedScan(table, s, len, hash, last, held);
      if (r == 0) r = c.found;
      c.last = last;
      c.found = r;
      c.stamp = gSerial;
      return r;
    }
    if (c.found <= last) return c.found;
    return IndexedScan(table, s, len, hash, last, 0);  // keep the wider scan in the slot
  }
  int r = IndexedScan(table, s, len, hash, last, 0);
  CacheSlot& c = spare ? *spare : gCache[set][gCacheVictim[set]++ % kCacheWays];
  c.stamp = gSerial;
  c.table = table;
  c.last = last;
  c.found = r;
  c.len = len;
  memcpy(c.name, s, len);
  c.name[len] = 0;
  return r;
}

int FindNameInGroups(int table, const char* s, int group) {
  if (!ValidTable(table)) return -1;
  int gc = gGroupCount[table];
  if (group > gc || group + gc < 1) return -1;
  int g = group < 1 ? group + gc : group;
  int end = g == gc ? gNameCount[table] : gBoundary[table][g + 1];
  return FindNameFrom(table, s, end);
}

void MarkNameTables(NameTablesMark* m) {
  if (!m) return;
  for (int t = 0; t < kNameTables; ++t) {
    m->count[t] = gNameCount[t];
    m->groupCount[t] = gGroupCount[t];
    memcpy(m->boundary[t], gBoundary[t], sizeof m->boundary[t]);
    m->born[t] = gNameCount[t] > 0 ? gBorn[t][gNameCount[t]] : 0;
  }
}

int RestoreNameTables(const NameTablesMark* m) {
  if (!m) return -1;
  for (int t = 0; t < kNameTables; ++t) {
    const int n = m->count[t], g = m->groupCount[t];
    if (n < 0 || n > gNameCount[t] || (n > 0 && gBorn[t][n] != m->born[t])) return -1;
    if (g < 1 || g > gGroupCount[t]) return -1;
    for (int k = 1; k <= g; ++k)
      if (gBoundary[t][k] != m->boundary[t][k]) return -1;
  }
  for (int t = 0; t < kNameTables; ++t) TruncateNameTable(t, m->count[t], m->groupCount[t]);
  return 0;
}

int FindOrAddName(int table, const char* name) {
  if (!ValidTable(table) || !name) return 0;
  int e = FindNameFrom(table, name, gNameCount[table]);
  if (e) return e;
  return AddName(table, name);
}

int FindOrAddLiteralName(int table, const char* name) {
  if (!ValidTable(table) || !name) return 0;
  int e = FindNameFrom(table, name, gNameCount[table]);
  if (e) return e;
  return AddLiteralName(table, name);
}

