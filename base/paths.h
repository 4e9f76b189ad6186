// Path operations (UTF-16 and narrow forms) and the two argument lists.
// Results go to a destination of dstcap units, always terminated.
#pragma once
#include <cstdint>

// Separators: the directory separator sep (the only one getdir looks for) and
// an alternative one alt (also ending a file name). Windows: '\\' and '/';
// POSIX: '/' and '/'. Set from the platform at start-up; tests set both sets.
// sep 0 returns to the platform's set; alt 0 means the same as sep.
void SetPathSeparators(char sep, char alt);
char PathSeparator();

int unigetdir(char16_t* dst, int dstcap, const char16_t* path);
int getdir(char* dst, int dstcap, const char* path);
int unigetfname(char16_t* dst, int dstcap, const char16_t* path);
int getfname(char* dst, int dstcap, const char* path);
int unigetext(char16_t* dst, int dstcap, const char16_t* path);  // -1 found, 0 not
int getext(char* dst, int dstcap, const char* path);
int unicutext(char16_t* dst, int dstcap, const char16_t* path);
int cutext(char* dst, int dstcap, const char* path);
int unicutsep(char16_t* path);                                    // in place
int cutsep(char* path);
int uniheadcmp(const char16_t* s, const char16_t* head);         // 0 match, -1
int headcmp(const char* s, const char* head);
int unifindname(char16_t* dst, int dstcap, const char16_t* path); // 0, -1, -2
int findname(char* dst, int dstcap, const char* path);
int getlistitem(char* dst, int dstcap, const char* list, int n);  // 0 or -1
int pathhasq(const char* path);                                   // -1 or 0

// Argument lists: pools of 65535 units, tables of 512 entries, at most 511
// arguments. The UTF-16 list and the narrow list.
constexpr int kArgMax = 511;
constexpr int kArgPool = 65535;
struct ArgListW {
  int count;
  int fill;
  char16_t pool[kArgPool];
  int start[kArgMax + 1];  // pool offsets; start[count] = first free unit
};
struct ArgListA {
  int count;
  int fill;
  char pool[kArgPool];
  int start[kArgMax + 1];
};
extern ArgListW gArgsW;
extern ArgListA gArgsA;

void ResetArgLists();
// Split a whole command line into a list (pure: the line is a parameter).
void unisplitcmdline(ArgListW* list, const char16_t* line);
void splitcmdline(ArgListA* list, const char* line);
// Split the platform's command line into gArgsW / gArgsA.
void unisplitcmd();
void splitcmd();
// Append one path; an empty path appends nothing; at 511 entries nothing is
// stored and the list stays unchanged. Returns 0 when appended, -1 otherwise.
int uniaddarg(ArgListW* list, const char16_t* path);
int addarg(ArgListA* list, const char* path);
// Entry i, or an empty string when i is out of range.
const char16_t* uniargat(const ArgListW* list, int i);
const char* argat(const ArgListA* list, int i);
