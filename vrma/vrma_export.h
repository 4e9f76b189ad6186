// A motion as a VRM Animation file, whole: the pose stage plays it on the
// standard skeleton, its morphs become expressions, the writer builds the
// glTF binary. The one conversion behind tarvel-fix --vrma and the page's
// VRM Animation (download and preview), so both give the same bytes.
//
// Not reentrant: the animation and the morph keys stay in the module's
// tables until the next call.
// Portable core: the front end hands in the motion's bytes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "vrma/expressions.h"
#include "vrma/pose.h"
#include "vrma/skeleton.h"
#include "vrma/vrma_file.h"

struct VrmaExportOptions {
  const uint8_t* data = nullptr;  // the motion's bytes
  size_t size = 0;
  double armAngleDeg = kVrmaArmAngleDeg;  // how far below the horizontal the arms rest
  bool fold = true;                       // off: the pose a VRM viewer plays (VrmaPoseOptions::fold)
};

struct VrmaExportResult {
  // Where there is no file: "not-a-motion", "no-bone-keys", "cut",
  // "too-long", "bad-arm-angle" or "not-written", and an English sentence;
  // both null where the file was written.
  const char* status = nullptr;
  const char* reason = nullptr;
  VrmaPoseStats pose{};    // the pose stage's figures (status, IK, bones left out)
  VrmaFileFacts file{};    // what the file holds, where written
  // The animation and the morph keys it was built from (frames, expression
  // names and presets, morphs left out); valid until the next call.
  const VrmaAnimation* anim = nullptr;
  const VrmaMorphKeys* morphs = nullptr;
};

// The motion's VRM Animation into *glb (replaced; empty where there is
// none). Returns true where written; result says what it holds or why not
// (its reason valid until the next call).
bool VrmaExport(const VrmaExportOptions& options, std::vector<unsigned char>* glb, VrmaExportResult* result);
