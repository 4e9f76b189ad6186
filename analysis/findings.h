// Findings about particular bones, and the bone and morph lists.
#pragma once
#include <cstdint>

struct Findings {
  int32_t licensefactors, dropfactors, roughbones, slightbones;
  uint32_t twistbones;
  int32_t upper2state;
  uint32_t plusbones, dlegbones, darmbones, upper3bones, ikparents, shoulderp;
  uint32_t armslight, armrough;
  int32_t lowerbodystate, waiststate;
};
extern Findings gFind;

void findbones();

// The masks of Findings whose bits stand for bones, for the structured report.
enum FindingMask {
  kMaskTwist,      // twistbones
  kMaskUpper2,     // bit 0: the full-width upper body 2 (upper2state -1)
  kMaskPlus,       // plusbones
  kMaskLegD,       // dlegbones
  kMaskArmD,       // darmbones
  kMaskUpper3,     // upper3bones
  kMaskIkParent,   // ikparents: even bits left, odd bits right
  kMaskShoulderP,  // shoulderp
  kMaskArm,        // armslight and armrough
  kMaskLowerBody,  // bit 0: lowerbodystate not 0
  kMaskWaist,      // bit 0: waiststate not 0
  kMasks
};
// The Shift-JIS entry text of the bone behind bit `bit` of a mask, or null.
const char* FindingBone(int mask, int bit);
// The colour of a bone's full line in the bone list, as 0xRRGGBB (read after
// findbones, like the list itself).
uint32_t BoneLineColour(const char* text);
void listbones();
void listmorphs();
