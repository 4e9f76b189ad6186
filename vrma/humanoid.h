// The VRM humanoid bones Tarvel writes, their glTF node names and their
// parents in the humanoid hierarchy. Eyes and jaw are not written.
#pragma once

enum HumanBone {
  HB_hips, HB_spine, HB_chest, HB_upperChest, HB_neck, HB_head,
  HB_leftShoulder, HB_leftUpperArm, HB_leftLowerArm, HB_leftHand,
  HB_rightShoulder, HB_rightUpperArm, HB_rightLowerArm, HB_rightHand,
  HB_leftUpperLeg, HB_leftLowerLeg, HB_leftFoot, HB_leftToes,
  HB_rightUpperLeg, HB_rightLowerLeg, HB_rightFoot, HB_rightToes,
  HB_leftThumbMetacarpal, HB_leftThumbProximal, HB_leftThumbDistal,
  HB_leftIndexProximal, HB_leftIndexIntermediate, HB_leftIndexDistal,
  HB_leftMiddleProximal, HB_leftMiddleIntermediate, HB_leftMiddleDistal,
  HB_leftRingProximal, HB_leftRingIntermediate, HB_leftRingDistal,
  HB_leftLittleProximal, HB_leftLittleIntermediate, HB_leftLittleDistal,
  HB_rightThumbMetacarpal, HB_rightThumbProximal, HB_rightThumbDistal,
  HB_rightIndexProximal, HB_rightIndexIntermediate, HB_rightIndexDistal,
  HB_rightMiddleProximal, HB_rightMiddleIntermediate, HB_rightMiddleDistal,
  HB_rightRingProximal, HB_rightRingIntermediate, HB_rightRingDistal,
  HB_rightLittleProximal, HB_rightLittleIntermediate, HB_rightLittleDistal,
  HB_COUNT
};

// VRM 1.0 humanoid names, in HumanBone order.
inline constexpr const char *kHumanBoneName[HB_COUNT] = {
  "hips", "spine", "chest", "upperChest", "neck", "head",
  "leftShoulder", "leftUpperArm", "leftLowerArm", "leftHand",
  "rightShoulder", "rightUpperArm", "rightLowerArm", "rightHand",
  "leftUpperLeg", "leftLowerLeg", "leftFoot", "leftToes",
  "rightUpperLeg", "rightLowerLeg", "rightFoot", "rightToes",
  "leftThumbMetacarpal", "leftThumbProximal", "leftThumbDistal",
  "leftIndexProximal", "leftIndexIntermediate", "leftIndexDistal",
  "leftMiddleProximal", "leftMiddleIntermediate", "leftMiddleDistal",
  "leftRingProximal", "leftRingIntermediate", "leftRingDistal",
  "leftLittleProximal", "leftLittleIntermediate", "leftLittleDistal",
  "rightThumbMetacarpal", "rightThumbProximal", "rightThumbDistal",
  "rightIndexProximal", "rightIndexIntermediate", "rightIndexDistal",
  "rightMiddleProximal", "rightMiddleIntermediate", "rightMiddleDistal",
  "rightRingProximal", "rightRingIntermediate", "rightRingDistal",
  "rightLittleProximal", "rightLittleIntermediate", "rightLittleDistal",
};

// Parent in the humanoid hierarchy (-1 for hips).
inline constexpr signed char kHumanBoneParent[HB_COUNT] = {
  -1, HB_hips, HB_spine, HB_chest, HB_upperChest, HB_neck,
  HB_upperChest, HB_leftShoulder, HB_leftUpperArm, HB_leftLowerArm,
  HB_upperChest, HB_rightShoulder, HB_rightUpperArm, HB_rightLowerArm,
  HB_hips, HB_leftUpperLeg, HB_leftLowerLeg, HB_leftFoot,
  HB_hips, HB_rightUpperLeg, HB_rightLowerLeg, HB_rightFoot,
  HB_leftHand, HB_leftThumbMetacarpal, HB_leftThumbProximal,
  HB_leftHand, HB_leftIndexProximal, HB_leftIndexIntermediate,
  HB_leftHand, HB_leftMiddleProximal, HB_leftMiddleIntermediate,
  HB_leftHand, HB_leftRingProximal, HB_leftRingIntermediate,
  HB_leftHand, HB_leftLittleProximal, HB_leftLittleIntermediate,
  HB_rightHand, HB_rightThumbMetacarpal, HB_rightThumbProximal,
  HB_rightHand, HB_rightIndexProximal, HB_rightIndexIntermediate,
  HB_rightHand, HB_rightMiddleProximal, HB_rightMiddleIntermediate,
  HB_rightHand, HB_rightRingProximal, HB_rightRingIntermediate,
  HB_rightHand, HB_rightLittleProximal, HB_rightLittleIntermediate,
};
