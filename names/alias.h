// alias.ini beside the executable: replacement names for the report.
#pragma once
#include <cstdint>

extern uint8_t aliasFoundA, aliasFoundW;
bool AliasMode();  // aliasFoundA or aliasFoundW

void LoadAliasFile();
int ReadAliasFile(const char* path, const char16_t* widepath, int usewide);
constexpr int kAliasRenderMax = 520;
int AliasRenderBone(char* dst, const char* name);   // dst holds 520 bytes
int AliasRenderMorph(char* dst, const char* name);
// Test hooks: replacement ("" for no entry) and mode byte (0 piece, 0xFF whole
// name, 1 tail; -1 for no entry) of an entry of table 0 or 3.
const char* AliasReplacement(int table, int entry);
int AliasModeOf(int table, int entry);
