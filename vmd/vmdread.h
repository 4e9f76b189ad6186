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
  // The frames of the largest movement (maxpos) and the largest rotation
  // (maxrot); -1 while it is 0. Of keys with the same amount, the smallest
  // frame.
  int32_t atmaxpos;
  int32_t atmaxrot;
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

// What a read really met, kept beside its result code (which stays as the
// window's driver expects it): where the file ended, which sections were
// there, trailing bytes, the frames seen and IK switched off.
enum VmdPart {
  kVmdHeader, kVmdModelName,
  kVmdBone, kVmdMorph, kVmdCamera, kVmdLight, kVmdSelfShadow, kVmdShowIk,
  kVmdParts
};
constexpr int kVmdSections = 6;  // bone .. show-and-IK, as gSectionCounts
constexpr int kIkOffMax = 32;    // distinct IK bones remembered as switched off

struct VmdIkOff {
  char name[21];  // the IK entry's 20-byte name field, terminated
  int32_t frame;  // the smallest frame at which it is switched off
};

struct VmdReadFacts {
  int32_t result;        // the read's result code
  uint8_t opened;        // the file could be opened
  uint8_t headerOk;      // the checked header bytes matched
  int32_t badHeaderAt;   // offset of the first header byte that did not match
  int32_t badHeaderByte; // that byte, or -1 for the end of the file
  int8_t cutPart;        // a VmdPart the file ended inside, or -1
  uint8_t cutInCount;    // it ended inside that section's count field
  int64_t cutRecords;    // whole records of that section read before the end
  int64_t endOffset;     // bytes read in all
  uint8_t present[kVmdSections];  // the section's count was read
  int64_t recordsRead[kVmdSections];
  int64_t trailingBytes;
  int32_t maxFrame[kVmdSections];  // largest frame of the section's whole records
  uint8_t modelNameCut;  // a lone lead byte was cut off the model name
  // A negative section count (or IK count of a show-and-IK record): no
  // record can follow it where the file says, so reading stops there;
  // cutPart names the section, cutRecords its whole records read.
  uint8_t badCount;
  uint8_t badIkCount;    // it was the IK count of a show-and-IK record
  int32_t badCountValue;
  int64_t stopOffset;    // the byte where reading stopped
  int32_t ikOffCount;
  int32_t ikOffOmitted;  // further IK bones switched off, not remembered
  VmdIkOff ikOff[kIkOffMax];
};
extern VmdReadFacts gVmdFacts;

// Every track back to its empty state (no keys). A caller that writes
// tracks itself calls this before the reader runs again.
void ResetTracks();
// The tracks the reader filled since the last reset back to their empty
// state: after it every track is as ResetTracks leaves it, provided only the
// reader wrote them. readvmd begins with it.
void ResetReadTracks();
void ResetReadFacts();
void ClearSourceModel();
// -1 cannot open, 2 bad header or a cut record, 0 otherwise.
int readvmd(const char* path, const char16_t* widepath, int usewide);
int readvmdA(const char* path);
int readvmdW(const char16_t* widepath);
// The bones whose twist the reader measures, as Shift-JIS entry texts: 0 to
// 3 the twist bones (左腕捩, 左手捩, 右腕捩, 右手捩), 4 to 7 the arm and
// elbow bones (左腕, 左ひじ, 右腕, 右ひじ); null past them.
const char* TwistMeasuredBone(int i);
// Cut a lone Shift-JIS lead byte at the end of s (in place); true when cut.
bool CutLoneLead(char* s);
