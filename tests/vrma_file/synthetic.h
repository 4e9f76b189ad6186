// Test data for the VRM Animation writer, made without the pose stage: a
// T-pose humanoid of round numbers (metres, +Y up, facing +Z, the figure's
// left at +X) and an animation in which the left arm lifts and the hips
// bounce, with a preset and a custom expression.
#pragma once
#include <cmath>
#include <cstdio>
#include <memory>

#include "vrma/vrma_anim.h"

inline VrmaSkeleton SyntheticSkeleton() {
  VrmaSkeleton s{};
  auto set = [&](int b, float x, float y, float z) {
    s.restLocal[b][0] = x;
    s.restLocal[b][1] = y;
    s.restLocal[b][2] = z;
  };
  set(HB_hips, 0, 0.95f, 0);
  set(HB_spine, 0, 0.08f, 0);
  set(HB_chest, 0, 0.12f, 0);
  set(HB_upperChest, 0, 0.12f, 0);
  set(HB_neck, 0, 0.12f, 0);
  set(HB_head, 0, 0.10f, 0);
  for (int side = 0; side < 2; side++) {
    const float x = side == 0 ? 1.0f : -1.0f;  // left at +X
    const int arm = side == 0 ? HB_leftShoulder : HB_rightShoulder;
    set(arm, 0.03f * x, 0.08f, 0);
    set(arm + 1, 0.09f * x, 0, 0);
    set(arm + 2, 0.25f * x, 0, 0);
    set(arm + 3, 0.24f * x, 0, 0);
    const int leg = side == 0 ? HB_leftUpperLeg : HB_rightUpperLeg;
    set(leg, 0.08f * x, -0.05f, 0);
    set(leg + 1, 0, -0.42f, 0);
    set(leg + 2, 0, -0.40f, 0);
    set(leg + 3, 0, -0.06f, 0.12f);
    const int f = side == 0 ? HB_leftThumbMetacarpal : HB_rightThumbMetacarpal;
    set(f, 0.02f * x, -0.01f, 0.02f);
    set(f + 1, 0.03f * x, 0, 0.01f);
    set(f + 2, 0.03f * x, 0, 0);
    for (int finger = 0; finger < 4; finger++) {
      const int p = f + 3 + finger * 3;
      set(p, 0.08f * x, 0, 0.03f - 0.02f * float(finger));
      set(p + 1, 0.04f * x, 0, 0);
      set(p + 2, 0.025f * x, 0, 0);
    }
  }
  return s;
}

// frames keys: every bone written, at rest but for the left arm (lifting
// about Z to 60 degrees and back, its elbow bending about Y) and the hips
// (bouncing 5 cm); "aa" opens and closes, the custom "ウィンク２" holds 0.5.
// (VrmaAnimation is large: it lives on the heap.)
inline std::unique_ptr<VrmaAnimation> SyntheticAnimation(int frames) {
  auto a = std::make_unique<VrmaAnimation>();
  a->frames = frames;
  for (bool& w : a->boneWritten) w = true;
  a->rotation.assign(size_t(frames) * HB_COUNT * 4, 0.0f);
  a->hips.resize(size_t(frames) * 3);
  a->exprCount = 2;
  std::snprintf(a->exprName[0], VRMA_EXPR_NAME, "aa");
  a->exprPreset[0] = true;
  std::snprintf(a->exprName[1], VRMA_EXPR_NAME, "ウィンク２");
  a->exprWeight.resize(size_t(frames) * 2);
  const double kPi = 3.14159265358979323846;
  for (int f = 0; f < frames; f++) {
    float* q = &a->rotation[size_t(f) * HB_COUNT * 4];
    for (int b = 0; b < HB_COUNT; b++) q[b * 4 + 3] = 1.0f;
    const double t = frames > 1 ? double(f) / (frames - 1) : 0.0;
    const double lift = std::sin(t * kPi) * kPi / 3;  // 0 .. 60 degrees .. 0
    q[HB_leftUpperArm * 4 + 2] = float(std::sin(lift / 2));
    q[HB_leftUpperArm * 4 + 3] = float(std::cos(lift / 2));
    q[HB_leftLowerArm * 4 + 1] = float(std::sin(lift / 4));
    q[HB_leftLowerArm * 4 + 3] = float(std::cos(lift / 4));
    a->hips[size_t(f) * 3 + 1] = 0.95f + 0.05f * float(std::sin(t * 4 * kPi));
    a->exprWeight[size_t(f) * 2] = float(std::fabs(std::sin(t * 3 * kPi)));
    a->exprWeight[size_t(f) * 2 + 1] = 0.5f;
  }
  return a;
}
