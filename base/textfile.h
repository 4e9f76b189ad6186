// The TextReader: a second, independent channel for reading text files line
// by line, and the whole-file UTF-8 and Shift-JIS checks.
#pragma once

int tfexistsW(const char16_t* path);  // 0 or -1
int tfexists(const char* path);
int tfopenW(const char16_t* path);    // 0 or -1
int tfopen(const char* path);
void tfclose();
int tfgetc();                         // 0..255 or -1
int tfpeek();
int tfeof();                          // -1 or 0
int tfgets(char* dst, int size);      // bytes stored
int chkifutf8W(const char16_t* path); // 7, 0 or -1
int chkifutf8(const char* path);
int chkifsjisW(const char16_t* path); // status value or -1
int chkifsjis(const char* path);
// Test hook: back to the start state.
void tfreset();
