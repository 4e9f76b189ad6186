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

// A directory part that does not fit dstcap gives an empty result and -1.
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

// Units of a path buffer (the platform's path limit).
constexpr int kPathBuf = 260;
// A path in the other form, whole or not at all: 0 with the converted path in
// dst, or -1 with dst empty when it does not fit dstcap (at most 65535) or has
// no form there (bytes that are not UTF-8 where the narrow code page is UTF-8).
int narrowtounipath(char16_t* dst, int dstcap, const char* src);
int unitonarrowpath(char* dst, int dstcap, const char16_t* src);

// Argument lists: pools of 65535 units, tables of 512 entries, at most 511
// arguments. The UTF-16 list and the narrow list. An argument is stored whole
// or not at all: one that does not fit is left out, never cut.
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
// Split the platform's command line into gArgsW / gArgsA. Where the platform
// hands an argv array instead, either call builds both lists from it, each
// argument in both or in neither.
void unisplitcmd();
void splitcmd();
// Both of the above; then an argument stands only where it stands in both
// lists (the counts are made equal).
void splitargs();
// Append one path; an empty path appends nothing; at 511 entries, or when the
// path does not fit the pool whole, nothing is stored and the list stays
// unchanged. Returns 0 when appended, -1 otherwise.
int uniaddarg(ArgListW* list, const char16_t* path);
int addarg(ArgListA* list, const char* path);
// Append one file to both lists, in the same position, or to neither: the
// narrow and the UTF-16 form of its path. One form may be empty (a name with
// no UTF-16 form, or none in the narrow code page): that list gets an empty
// argument, so that the other form is still tried. Nothing is appended when
// both are empty, when the lists are not in step, or when either form does
// not fit. 0 when appended, -1 otherwise.
int addargpair(ArgListA* a, ArgListW* w, const char* path, const char16_t* widepath);
// Entry i, or an empty string when i is out of range.
const char16_t* uniargat(const ArgListW* list, int i);
const char* argat(const ArgListA* list, int i);
