// Sixteen static NameTables of Shift-JIS names that are also wildcard
// patterns ('*', '?', full-width '？'), looked up newest entry first.
#pragma once
#include <cstdint>

constexpr int kNameTables = 16;
constexpr int kNameMax = 16384;   // entries per table
constexpr int kNameSlot = 64;     // bytes per entry (63 + NUL)
constexpr int kGroupMax = 15;

int ResetNameTables();
int BeginNameGroup(int table);
int AddName(int table, const char* name);   // entry number, or 0 (full, or over 63 bytes)
int NameMatches(int table, const char* s, int entry);  // 0 match, -1 not
int FindNameFrom(int table, const char* s, int last);
int FindNameInGroups(int table, const char* s, int group);
int GroupOfName(int table, int entry);
int NameGroupCount(int table);  // groups begun since the reset (1 or more)
// Back to an earlier state of the table: the entries above count and the
// groups above groups dropped (entries are only ever appended, so 1..count
// are those it held then). Lookups give what they gave at that state.
// 0, or -1 when the table holds fewer entries or groups.
int TruncateNameTable(int table, int count, int groups);
int GetName(int table, char* dst, int entry);  // dst holds 64 bytes
int NameCount(int table);
int FindOrAddName(int table, const char* name);
// The wildcard match of a pattern against a string: 0 match, -1 not.
int WildMatch(const char* pattern, const char* s);
// Read-only view of an entry's text (empty for an invalid entry).
const char* NameAt(int table, int entry);
// The lookup cache behind FindNameFrom (on by default). Its results are
// always those of the plain scan; switching it only changes the speed.
void NameCacheEnable(bool on);
