// Sixteen static NameTables of Shift-JIS names that are also wildcard
// patterns ('*', '?', full-width '？'), looked up newest entry first. A literal
// entry (a name taken from a motion) is a name only: it matches the string
// equal to it and nothing else, whatever bytes it holds.
#pragma once
#include <cstdint>
#include <cstring>

constexpr int kNameTables = 16;
constexpr int kNameMax = 16384;   // entries per table
constexpr int kNameSlot = 64;     // bytes per entry (63 + NUL)
constexpr int kGroupMax = 15;

int ResetNameTables();
int BeginNameGroup(int table);
int AddName(int table, const char* name);   // entry number, or 0 (full, or over 63 bytes)
int AddLiteralName(int table, const char* name);  // the same, as a literal entry
int NameMatches(int table, const char* s, int entry);  // 0 match, -1 not
int FindNameFrom(int table, const char* s, int last);
int FindNameInGroups(int table, const char* s, int group);
int NameGroupCount(int table);  // groups begun since the reset (1 or more)
// Back to an earlier state of the table: the entries above count and the
// groups above groups dropped (entries are only ever appended, so 1..count
// are those it held then). Lookups give what they gave at that state.
// 0, or -1 when the table holds fewer entries or groups, or the state never
// was (the last group kept begins above count).
int TruncateNameTable(int table, int count, int groups);
int FindOrAddName(int table, const char* name);
// Looks name up as FindOrAddName does; when nothing matches it is added as a
// literal entry.
int FindOrAddLiteralName(int table, const char* name);
// The wildcard match of a pattern against a string: 0 match, -1 not.
int WildMatch(const char* pattern, const char* s);
// The lookup cache and index behind FindNameFrom (on by default). Their
// results are always those of the plain newest-first scan, which is what a
// lookup does while they are switched off; switching only changes the speed.
void NameCacheEnable(bool on);
// The tables as they stand (entries and groups), and back to such a state by
// dropping every entry and group added since: a registry built once serves
// many motions. A restore is refused (-1, nothing changed) when the tables no
// longer hold the mark's entries in its groups, because they were reset or cut
// below it since; 0 when done. Marking and restoring cost what was added
// since, not the size of the tables.
struct NameTablesMark {
  int32_t count[kNameTables];
  int32_t groupCount[kNameTables];
  int32_t boundary[kNameTables][kGroupMax + 1];
  uint64_t born[kNameTables];  // which entry stood at count
};
void MarkNameTables(NameTablesMark* m);
int RestoreNameTables(const NameTablesMark* m);

// The tables' storage, written only by nametable.cpp. The readers below are
// inline: the report runs them for every entry of the vocabulary, in every
// motion.
extern char gNameText[kNameTables][kNameMax + 1][kNameSlot];
extern int32_t gNameCount[kNameTables];
extern uint8_t gNameGroupOf[kNameTables][kNameMax + 1];

inline bool ValidNameEntry(int table, int entry) {
  return table >= 0 && table < kNameTables && entry >= 1 && entry <= gNameCount[table];
}
inline int NameCount(int table) {
  return table >= 0 && table < kNameTables ? gNameCount[table] : 0;
}
// The group that holds entry; 0 for an entry that does not exist.
inline int GroupOfName(int table, int entry) {
  return ValidNameEntry(table, entry) ? gNameGroupOf[table][entry] : 0;
}
// Copies the entry's text into dst (64 bytes): 0, or -1 and nothing copied
// for an entry that does not exist.
inline int GetName(int table, char* dst, int entry) {
  if (!dst || !ValidNameEntry(table, entry)) return -1;
  memcpy(dst, gNameText[table][entry], kNameSlot);  // the whole slot: its text and NUL within
  return 0;
}
// Read-only view of an entry's text (empty for an invalid entry).
inline const char* NameAt(int table, int entry) {
  return ValidNameEntry(table, entry) ? gNameText[table][entry] : "";
}
