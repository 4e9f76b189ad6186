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

// Leg IK parents in ikparents: a small, medium or large turn, left (side 0)
// or right (side 1): small 1 / 2, medium 4 / 8, large 0x10 / 0x20.
enum IkRange { kIkSmall, kIkMedium, kIkLarge };
constexpr uint32_t IkParentBit(int range, int side) { return 1u << (2 * range + side); }

// Finds the factors of the verdict, recording each finding as it is found.
void findbones();

// The masks of Findings whose bits stand for bones.
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
void listbones();
void listmorphs();
