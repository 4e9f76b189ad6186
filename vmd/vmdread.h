// The VMD reader and the per-bone / per-morph track tables it fills.
#pragma once
#include <cstdint>

constexpr int kBoneTracks = 8192;
constexpr int kMorphTracks = 4096;

struct BoneTrack {
  int32_t keycount;
  int32_t firstframe;
  int32_t lastframe;
  uint8_t moved;
  float maxpos;
  float maxrot;
  float maxtwsplus;
  int32_t attwsplus;
  float maxtwsminus;
  int32_t attwsminus;
};

struct MorphTrack {
  int32_t keycount;
  int32_t firstframe;
  int32_t lastframe;
  float minval;
  float maxval;
};

extern BoneTrack gBoneTracks[kBoneTracks];
extern MorphTrack gMorphTracks[kMorphTracks];
extern char gSourceModel[22];
// Section counts: bone, morph, camera, light, self-shadow, show-and-IK.
extern int32_t gSectionCounts[6];

void ResetTracks();
void ClearSourceModel();
// -1 cannot open, 2 bad header or a cut record, 0 otherwise.
int readvmd(const char* path, const char16_t* widepath, int usewide);
int readvmdA(const char* path);
int readvmdW(const char16_t* widepath);
// Cut a lone Shift-JIS lead byte at the end of s (in place); true when cut.
bool CutLoneLead(char* s);
