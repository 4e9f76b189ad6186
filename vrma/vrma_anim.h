// What the pose stage hands to the VRM Animation writer: the T-pose
// skeleton and, for every whole frame, each humanoid bone's local rotation,
// the hips' position and the expressions' weights. glTF axes (+Y up, the
// figure facing +Z, its left at +X), metres.
#pragma once
#include <vector>
#include "vrma/humanoid.h"

struct VrmaSkeleton {
  float restLocal[HB_COUNT][3];   // T-pose translation of each bone from its parent (hips: from the origin)
};

enum { VRMA_EXPR_MAX = 1024, VRMA_EXPR_NAME = 128 };

struct VrmaAnimation {
  int frames = 0;                 // keys at frames 0 .. frames-1, 30 per second
  bool boneWritten[HB_COUNT] = {};
  std::vector<float> rotation;    // frames x HB_COUNT x 4: local rotation (x, y, z, w), unit
  std::vector<float> hips;        // frames x 3: the hips' local translation
  int exprCount = 0;
  char exprName[VRMA_EXPR_MAX][VRMA_EXPR_NAME] = {};  // UTF-8: a preset's name, or the morph's name
  bool exprPreset[VRMA_EXPR_MAX] = {};
  std::vector<float> exprWeight;  // frames x exprCount, in [0, 1]
};
