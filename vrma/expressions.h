// A motion's morph keys as VRM expressions. The usual MMD morphs take the
// preset of the same meaning (あ aa, い ih, う ou, え ee, お oh, まばたき blink,
// ウィンク blinkLeft, ウィンク右 blinkRight, 笑い happy, 怒り angry, 困る sad,
// にこり relaxed, びっくり surprised); MMD names the sides as the model's own,
// as its bones do, so ウィンク closes the model's left eye and ウィンク右 its
// right, and VRM's blinkLeft closes the model's left eyelid. Every other
// morph is a custom expression under its own name. A name counts with its
// trailing spaces (ASCII and ideographic) trimmed.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "vrma/vrma_anim.h"

// Whether a UTF-8 name is one of VRM's preset expression names, and whether
// it is one an animation may drive (the gaze presets lookUp, lookDown,
// lookLeft and lookRight may not).
bool VrmaIsPresetName(const char* name);
bool VrmaIsWritablePreset(const char* name);

// The preset a morph of this UTF-8 name (trailing spaces already trimmed)
// takes, or null.
const char* VrmaMorphPreset(const char* name);
// The morph that takes a preset ("あ" for "aa"), or null.
const char* VrmaPresetMorph(const char* preset);

enum VrmaMorphStatus {
  kVrmaMorphsRead,
  kVrmaMorphsNotMotion,  // the header is not a motion's
  kVrmaMorphsCut,        // the file ends inside its bone or morph keys
};

constexpr int kVrmaLeftOutNames = 16;  // names of left-out morphs remembered

// The morph keys of a motion, grouped by expression and in frame order.
struct VrmaMorphKeys {
  int count = 0;                     // expressions, as in the animation's table
  std::vector<uint32_t> start;       // count + 1: the keys of expression e are [start[e], start[e+1])
  std::vector<uint32_t> frame;
  std::vector<float> weight;         // as the motion has it (the sampling clamps)
  int64_t records = 0;               // morph key records read
  int64_t lastFrame = -1;            // the largest frame of a morph key, -1 for none
  // kVrmaMorphsCut: the section the file ends in (1 bone, 2 morph), the
  // records its count declares and the whole ones present.
  int cutSection = 0;
  int64_t cutDeclared = 0, cutPresent = 0;
  // Morphs that got no expression: a name that is a preset's, no name, or
  // past the table's VRMA_EXPR_MAX names. Their keys are not counted.
  int leftOut = 0;
  char leftOutName[kVrmaLeftOutNames][VRMA_EXPR_NAME] = {};
};

// Reads the morph keys of the motion (size bytes at data) into keys and the
// expression table of anim (exprCount, exprName, exprPreset: the order in
// which the names first appear). Keys at the same frame of one expression:
// the later record stands, as players read them. Returns a VrmaMorphStatus.
int VrmaReadMorphs(const uint8_t* data, size_t size, VrmaAnimation* anim, VrmaMorphKeys* keys);

// The weight of every expression at every whole frame 0 .. anim->frames - 1
// into anim->exprWeight: straight between two keys, held before the first
// and after the last, then clamped to [0, 1].
void VrmaSampleExpressions(const VrmaMorphKeys& keys, VrmaAnimation* anim);
