// The pose stage: an MMD motion played on Tarvel's standard skeleton, frame
// by whole frame, as VRM humanoid rotations and the hips' position.
//
// Each frame: the keys evaluated as players do, by the fold's own code
// (fix/fix_play: the later key's curve, rotations along the shorter arc,
// each position axis on its own curve, the ends held); forward kinematics through the MMD bones, the twist
// bones, shoulder P (its turn taken back below the shoulder), 上半身２ after
// 上半身2, 腰 taken back above the legs; the leg IK as MMD models set it up
// (cyclic coordinate descent, 40 loops, at most 2 rad a step, the knee about
// its x axis only in [-180, -0.5] degrees, then つま先ＩＫ turning the
// foot), each IK switched by the show-and-IK keys; a target within reach
// that the descent leaves more than a millimetre off is reached by bending
// the knee to its distance and turning the thigh onto it; then the D bones
// add their turns. A humanoid bone's world rotation is its MMD bone's,
// converted to glTF axes, times the bone's rest offset (T- to A-pose); its
// local rotation is its humanoid parent's world inverse times its world.
// The hips take 下半身's world rotation and position.
//
// Not reentrant: the stage keeps its tables between calls.
// Portable core: the front end hands in the motion's bytes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "vrma/skeleton.h"
#include "vrma/vrma_anim.h"

enum VrmaPoseStatus {
  kVrmaPoseDone,
  kVrmaPoseNotMotion,   // the header is not a motion's
  kVrmaPoseNoBones,     // no bone keys
  kVrmaPoseCut,         // the file ends inside its bone or morph keys
  kVrmaPoseTooLong,     // the last key lies past kVrmaMaxFrame
  kVrmaPoseBadArmAngle, // the arm angle is no number or beyond kVrmaArmAngleMax
  kVrmaPoseStatuses
};
// "done", "not-a-motion", "no-bone-keys", "cut", "too-long", "bad-arm-angle"
const char* VrmaPoseStatusName(int status);
// An English sentence for a status other than done.
const char* VrmaPoseStatusText(int status);

constexpr int64_t kVrmaMaxFrame = 1080000;  // ten hours at 30 frames a second
constexpr double kVrmaReachMargin = 0.01;   // metres inside the leg's reach
constexpr double kVrmaFinishAbove = 0.001;  // metres
enum { VRMA_UNMAPPED_MAX = 64, VRMA_UNMAPPED_NAME = 64 };

struct VrmaPoseOptions {
  const uint8_t* data = nullptr;  // the motion's bytes
  size_t size = 0;
  double armAngleDeg = kVrmaArmAngleDeg;
  // Off: the pose a VRM viewer plays, no bone folded. The keys of the bones
  // with no humanoid counterpart are left out, as if the motion did not key
  // them (the twist bones, 肩P and 肩C, 上半身3, the D bones and 足先EX, the
  // leg IK parents, 腰キャンセル, and every alias: 上半身２, 上半身３,
  // 足ＩＫ親); the humanoid's bones, the centre chain (全ての親, センター,
  // グルーブ, 腰), the leg and toe IK and their switches play as with it on.
  bool fold = true;
  // When set: each humanoid joint where MMD's forward kinematics puts it
  // (frames x HB_COUNT x 3, glTF space, metres), for comparing a player's
  // pose with.
  std::vector<float>* joints = nullptr;
};

struct VrmaPoseStats {
  int status;
  int frames;             // frames written (the last key's frame + 1)
  int64_t lastFrame;      // the last bone or morph key's frame
  // kVrmaPoseCut: the section the file ends in (1 bone, 2 morph), the
  // records its count declares (negative: the count is, and nothing after
  // it is read; 0: the file ends inside the count) and the whole ones present.
  int cutSection;
  int64_t cutDeclared, cutPresent;
  // The leg IK: frames where either leg's IK was solved, the solutions
  // (one per leg and frame), those whose target lay out of reach, and the
  // largest distance from the ankle to a target within reach (metres).
  int ikFrames;
  int64_t ikSolves, ikUnreachable;
  double worstMiss;
  int worstMissFrame;     // -1 when no target was within reach
  // Solutions the descent left more than kVrmaFinishAbove off a target
  // within reach, finished by bending the knee to the target's distance and
  // turning the thigh onto it; the largest such distance before finishing.
  int64_t ikFinished;
  double worstDescentMiss;
  // How far the humanoid's joints stand from where MMD puts them (metres,
  // the largest over the frames): the leg roots and the spine root.
  double legRootOffset, spineRootOffset;
  // Bones the motion keys that have no humanoid counterpart (UTF-8), the
  // first VRMA_UNMAPPED_MAX distinct ones; more: others were left unnamed.
  int unmappedCount;
  bool unmappedMore;
  char unmapped[VRMA_UNMAPPED_MAX][VRMA_UNMAPPED_NAME];
};

// Plays the motion onto the standard skeleton: fills out's frames,
// boneWritten, rotation and hips (its expressions are left alone) when the
// status is kVrmaPoseDone. Returns the status (also in stats).
int VrmaPose(const VrmaPoseOptions& options, VrmaAnimation* out, VrmaPoseStats* stats);
