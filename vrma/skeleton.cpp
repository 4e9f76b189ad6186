#include "vrma/skeleton.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "base/same_math.h"

namespace {

struct TrunkDef {
  const char* name;
  const char* alias;
  int parent;
  float pos[3];
};

// The trunk of a figure 20 units (1.6 m) tall.
const TrunkDef kTrunk[MB_left] = {
    {"全ての親", "", -1, {0, 0, 0}},
    {"センター", "", MB_root, {0, 8, 0}},
    {"グルーブ", "", MB_center, {0, 8.5f, 0}},
    {"腰", "", MB_groove, {0, 11.5f, 0}},
    {"上半身", "", MB_waist, {0, 12.5f, 0}},
    {"上半身2", "上半身２", MB_upper, {0, 13.5f, 0}},
    {"上半身3", "上半身３", MB_upper2, {0, 14.5f, 0}},
    {"首", "", MB_upper3, {0, 16, 0}},
    {"頭", "", MB_neck, {0, 17, 0}},
    {"下半身", "", MB_waist, {0, 12, 0}},
};

struct SideDef {
  const char* left;   // the left side's name; the right's has 右 for 左
  const char* alias;
  int sideParent;     // an SB_ bone of the same side, or -1
  int trunkParent;    // else this trunk bone
  float pos[3];       // left side; the right mirrors x
};

// The left side, the arm straight out along +X. The thumb points level,
// halfway between the arm and the front (-Z); the other fingers along the arm.
// The twist bones sit where the humanoid turns them: the arm twist at the
// arm joint (the upper arm turns with it), the hand twist at the wrist (the
// hand turns with it, the forearm does not). A motion's twist axis, made for
// its model's arm, lies a few degrees off ours: a twist about it halfway
// down a bone would bend the arm there, where the humanoid cannot.
const SideDef kSide[SB_COUNT] = {
    {"左肩P", "", -1, MB_upper3, {0.3f, 15.5f, 0}},
    {"左肩", "", SB_shoulderP, 0, {0.3f, 15.5f, 0}},
    {"左肩C", "", SB_shoulder, 0, {1.5f, 15.3f, 0}},  // takes back 肩P's turn
    {"左腕", "", SB_shoulderC, 0, {1.5f, 15.3f, 0}},
    {"左腕捩", "", SB_arm, 0, {1.5f, 15.3f, 0}},  // at the joint it twists (see above)
    {"左ひじ", "", SB_armTwist, 0, {5, 15.3f, 0}},
    {"左手捩", "", SB_elbow, 0, {8, 15.3f, 0}},
    {"左手首", "", SB_handTwist, 0, {8, 15.3f, 0}},
    {"左親指０", "", SB_wrist, 0, {8.2f, 15.2f, -0.4f}},
    {"左親指１", "", SB_thumb0, 0, {8.6f, 15.2f, -0.8f}},
    {"左親指２", "", SB_thumb1, 0, {8.9f, 15.2f, -1.1f}},
    {"左人指１", "", SB_wrist, 0, {9, 15.3f, -0.3f}},
    {"左人指２", "", SB_index1, 0, {9.4f, 15.3f, -0.3f}},
    {"左人指３", "", SB_index2, 0, {9.7f, 15.3f, -0.3f}},
    {"左中指１", "", SB_wrist, 0, {9.1f, 15.3f, -0.1f}},
    {"左中指２", "", SB_middle1, 0, {9.55f, 15.3f, -0.1f}},
    {"左中指３", "", SB_middle2, 0, {9.85f, 15.3f, -0.1f}},
    {"左薬指１", "", SB_wrist, 0, {9, 15.3f, 0.1f}},
    {"左薬指２", "", SB_ring1, 0, {9.4f, 15.3f, 0.1f}},
    {"左薬指３", "", SB_ring2, 0, {9.7f, 15.3f, 0.1f}},
    {"左小指１", "", SB_wrist, 0, {8.85f, 15.3f, 0.3f}},
    {"左小指２", "", SB_little1, 0, {9.15f, 15.3f, 0.3f}},
    {"左小指３", "", SB_little2, 0, {9.4f, 15.3f, 0.3f}},
    {"腰キャンセル左", "", -1, MB_lower, {1, 11, 0}},  // takes back 腰's turn
    {"左足", "", SB_waistCancel, 0, {1, 11, 0}},
    {"左ひざ", "", SB_leg, 0, {1, 6, 0}},
    {"左足首", "", SB_knee, 0, {1, 1, 0}},
    {"左つま先", "", SB_ankle, 0, {1, 0, -2}},
    {"左足D", "", SB_waistCancel, 0, {1, 11, 0}},
    {"左ひざD", "", SB_legD, 0, {1, 6, 0}},
    {"左足首D", "", SB_kneeD, 0, {1, 1, 0}},
    {"左足先EX", "", SB_ankleD, 0, {1, 0.2f, -1.4f}},
    {"左足IK親", "左足ＩＫ親", -1, MB_root, {1, 0, 0}},
    {"左足ＩＫ", "", SB_ikParent, 0, {1, 1, 0}},
    {"左つま先ＩＫ", "", SB_legIk, 0, {1, 0, -2}},
};

// 左 -> 右 wherever it stands (once per name).
void Mirror(const char* src, char* dst, size_t cap) {
  static const char kLeft[] = "左", kRight[] = "右";
  const char* at = strstr(src, kLeft);
  if (!at) {
    snprintf(dst, cap, "%s", src);
    return;
  }
  snprintf(dst, cap, "%.*s%s%s", int(at - src), src, kRight, at + strlen(kLeft));
}

VrmaMmdBoneDef gBones[MB_COUNT];
bool gReady = false;

void Build() {
  for (int b = 0; b < MB_left; b++) {
    VrmaMmdBoneDef& d = gBones[b];
    snprintf(d.name, sizeof d.name, "%s", kTrunk[b].name);
    snprintf(d.alias, sizeof d.alias, "%s", kTrunk[b].alias);
    d.parent = kTrunk[b].parent;
    memcpy(d.tpose, kTrunk[b].pos, sizeof d.tpose);
  }
  for (int side = 0; side < 2; side++) {
    const int base = side ? MB_right : MB_left;
    for (int s = 0; s < SB_COUNT; s++) {
      const SideDef& sd = kSide[s];
      VrmaMmdBoneDef& d = gBones[base + s];
      if (side) {
        Mirror(sd.left, d.name, sizeof d.name);
        Mirror(sd.alias, d.alias, sizeof d.alias);
      } else {
        snprintf(d.name, sizeof d.name, "%s", sd.left);
        snprintf(d.alias, sizeof d.alias, "%s", sd.alias);
      }
      d.parent = sd.sideParent >= 0 ? base + sd.sideParent : sd.trunkParent;
      d.tpose[0] = side ? -sd.pos[0] : sd.pos[0];
      d.tpose[1] = sd.pos[1];
      d.tpose[2] = sd.pos[2];
    }
  }
  gReady = true;
}

constexpr double kPi = 3.14159265358979323846;

}  // namespace

const VrmaMmdBoneDef* VrmaMmdBones() {
  if (!gReady) Build();
  return gBones;
}

void VrmaMmdRest(double armAngleDeg, float pos[MB_COUNT][3]) {
  const VrmaMmdBoneDef* bones = VrmaMmdBones();
  for (int b = 0; b < MB_COUNT; b++) memcpy(pos[b], bones[b].tpose, sizeof pos[b]);
  // Each arm chain turns down about its arm joint: the left one about +Z by
  // -angle, the right by +angle (the same numbers in either space).
  const double a = armAngleDeg * kPi / 180;
  for (int side = 0; side < 2; side++) {
    const int base = side ? MB_right : MB_left;
    const double th = side ? a : -a, c = SameCos(th), s = SameSin(th);
    const float* o = bones[base + SB_arm].tpose;
    for (int k = kVrmaArmFirst; k <= kVrmaArmLast; k++) {
      const float* p = bones[base + k].tpose;
      const double x = p[0] - o[0], y = p[1] - o[1];
      pos[base + k][0] = float(o[0] + x * c - y * s);
      pos[base + k][1] = float(o[1] + x * s + y * c);
    }
  }
}

#define L(x) MB_left + SB_##x
#define R(x) MB_right + SB_##x
const int kVrmaHumanJoint[HB_COUNT] = {
    MB_lower, MB_upper, MB_upper2, MB_upper3, MB_neck, MB_head,
    L(shoulder), L(arm), L(elbow), L(wrist),
    R(shoulder), R(arm), R(elbow), R(wrist),
    L(legD), L(kneeD), L(ankleD), L(toeEx),
    R(legD), R(kneeD), R(ankleD), R(toeEx),
    L(thumb0), L(thumb1), L(thumb2), L(index1), L(index2), L(index3),
    L(middle1), L(middle2), L(middle3), L(ring1), L(ring2), L(ring3),
    L(little1), L(little2), L(little3),
    R(thumb0), R(thumb1), R(thumb2), R(index1), R(index2), R(index3),
    R(middle1), R(middle2), R(middle3), R(ring1), R(ring2), R(ring3),
    R(little1), R(little2), R(little3),
};
#undef L
#undef R

int VrmaHumanSource(int h) {
  if (h == HB_leftUpperArm) return MB_left + SB_armTwist;
  if (h == HB_rightUpperArm) return MB_right + SB_armTwist;
  return kVrmaHumanJoint[h];
}

void VrmaStandardSkeleton(VrmaSkeleton* out) {
  const VrmaMmdBoneDef* bones = VrmaMmdBones();
  for (int h = 0; h < HB_COUNT; h++) {
    const float* p = bones[kVrmaHumanJoint[h]].tpose;
    const int parent = kHumanBoneParent[h];
    const float* q = parent >= 0 ? bones[kVrmaHumanJoint[parent]].tpose : nullptr;
    for (int c = 0; c < 3; c++) {
      const double v = p[c] - (q ? q[c] : 0);
      out->restLocal[h][c] = float((c == 2 ? -v : v) * kVrmaMetresPerUnit);
    }
  }
}

// Whether the humanoid bone lies on an arm chain, and on which side
// (+1 left, -1 right, 0 none).
static int ArmSide(int h) {
  const int j = kVrmaHumanJoint[h];
  if (j >= MB_left + kVrmaArmFirst && j <= MB_left + kVrmaArmLast) return 1;
  if (j >= MB_right + kVrmaArmFirst && j <= MB_right + kVrmaArmLast) return -1;
  return 0;
}

void VrmaRestOffsets(double armAngleDeg, double d[HB_COUNT][4]) {
  const double half = armAngleDeg * kPi / 360;
  for (int h = 0; h < HB_COUNT; h++) {
    const int side = ArmSide(h);
    // The left arm turns down about +Z by -angle, the right by +angle.
    d[h][0] = d[h][1] = 0;
    d[h][2] = side ? -side * SameSin(half) : 0;
    d[h][3] = side ? SameCos(half) : 1;
  }
}
