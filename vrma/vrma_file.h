// The VRM Animation file (.vrma): a glTF 2.0 binary whose root carries the
// VRMC_vrm_animation extension. Every humanoid bone is a node holding its
// T-pose translation (no rotation, no scale); every expression is a root
// node whose translation x is its weight. The motion is the file's first
// (and only) animation: one key per whole frame at 30 per second, LINEAR,
// the hips' translation, the rotation of each bone written, the weight of
// each expression. A rotation that stays the rest rotation, or a weight
// that stays 0, has no channel.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "vrma/vrma_anim.h"

enum VrmaWriteStatus {
  kVrmaWritten,
  kVrmaNoFrames,    // the animation has no frame
  kVrmaBadData,     // a size that does not match frames, or a rotation of no length
  kVrmaBadName,     // an expression name empty, not UTF-8, or given twice
  kVrmaTooLarge,    // the file would pass kVrmaMaxBytes
  kVrmaWriteFailed, // the glTF library did not write it
  kVrmaWriteStatuses
};
// An English sentence for a status other than kVrmaWritten.
const char* VrmaWriteStatusText(int status);

// A .vrma file stays well inside what a glTF binary's 32-bit lengths can
// hold.
constexpr uint64_t kVrmaMaxBytes = uint64_t(1) << 31;

// The frame rate of the file's keys.
constexpr int kVrmaFps = 30;

// What the file holds, for the front ends to tell.
struct VrmaFileFacts {
  int rotationChannels;      // humanoid bones with a rotation channel
  int expressionChannels;    // expressions with a weight channel
  bool boneChannel[HB_COUNT];
  uint64_t bytes;            // size of the file
};

// The glTF binary for skeleton and animation, into *glb (replaced). facts
// may be null. Returns a VrmaWriteStatus; *glb is empty unless written.
int WriteVrma(const VrmaSkeleton& skeleton, const VrmaAnimation& anim, std::vector<unsigned char>* glb,
              VrmaFileFacts* facts);

// The size the file would have at most, before anything is built: what a
// front end checks before it asks for the frames.
uint64_t VrmaBytesBound(int frames, int bones, int expressions);
