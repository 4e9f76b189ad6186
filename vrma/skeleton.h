// Tarvel's standard skeleton: the MMD bones a motion drives, at the rest
// positions of a typical adult MMD model (MMD units, arms in the A-pose),
// and from the same joints the VRM T-pose humanoid the animation carries.
//
// MMD space: left-handed, +Y up, the figure facing -Z, its left at +X.
// glTF space: +Y up, the figure facing +Z, its left at +X, metres. A
// position (x, y, z) goes over as (x, y, -z) * kVrmaMetresPerUnit, a
// rotation (x, y, z, w) as (-x, -y, z, w).
#pragma once
#include "vrma/humanoid.h"
#include "vrma/vrma_anim.h"

constexpr double kVrmaMetresPerUnit = 0.08;
// The A-pose: the arms this far below the horizontal (degrees).
constexpr double kVrmaArmAngleDeg = 40;
// --arm-angle outside [-90, 90] is refused.
constexpr double kVrmaArmAngleMax = 90;

// The bones of one side, in the order of the skeleton (parents first).
enum VrmaSideBone {
  SB_shoulderP, SB_shoulder, SB_shoulderC, SB_arm, SB_armTwist, SB_elbow, SB_handTwist, SB_wrist,
  SB_thumb0, SB_thumb1, SB_thumb2, SB_index1, SB_index2, SB_index3, SB_middle1, SB_middle2,
  SB_middle3, SB_ring1, SB_ring2, SB_ring3, SB_little1, SB_little2, SB_little3,
  SB_waistCancel, SB_leg, SB_knee, SB_ankle, SB_toe, SB_legD, SB_kneeD, SB_ankleD, SB_toeEx,
  SB_ikParent, SB_legIk, SB_toeIk,
  SB_COUNT
};
// The arm chain: these turn about the arm joint between the T- and A-poses.
constexpr int kVrmaArmFirst = SB_arm, kVrmaArmLast = SB_little3;

// Every bone of the skeleton, parents before children: the trunk, then the
// left side (MB_left + SB_x), then the right (MB_right + SB_x).
enum VrmaMmdBone {
  MB_root, MB_center, MB_groove, MB_waist, MB_upper, MB_upper2, MB_upper3, MB_neck, MB_head,
  MB_lower
};
constexpr int MB_left = MB_lower + 1, MB_right = MB_left + int(SB_COUNT), MB_COUNT = MB_right + int(SB_COUNT);

struct VrmaMmdBoneDef {
  char name[32];   // UTF-8, as motions key it ("左足ＩＫ")
  char alias[32];  // another name whose keys turn it too ("上半身２"), or ""
  int parent;      // -1 for 全ての親
  float tpose[3];  // rest position in MMD units with the arms straight out
};

// The table, built once.
const VrmaMmdBoneDef* VrmaMmdBones();

// The MMD rest (A-pose) positions for arms armAngleDeg below the horizontal.
void VrmaMmdRest(double armAngleDeg, float pos[MB_COUNT][3]);

// The MMD bone at whose joint each humanoid bone sits, and the one whose
// world rotation it takes: the same but for the upper arm, which turns with
// the arm twist about the arm joint.
extern const int kVrmaHumanJoint[HB_COUNT];
int VrmaHumanSource(int h);

// The T-pose humanoid (glTF space, metres).
void VrmaStandardSkeleton(VrmaSkeleton* out);

// The rest offset of each humanoid bone for arms armAngleDeg below the
// horizontal (glTF space, x y z w): world_VRM = world_MMD (x) D.
void VrmaRestOffsets(double armAngleDeg, double d[HB_COUNT][4]);
