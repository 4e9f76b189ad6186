// The VRM-ready copy: the bones the viewer cannot play that can be removed
// from a motion exactly, without the model, are folded into their
// neighbours, and the motion is laid out again byte for byte around them.
//
// MMD bones carry no rest rotation, so a bone's world rotation is its
// parent's times its own (world = parent (x) local, the Hamilton product on
// the x, y, z, w quaternions the file stores). For each side:
//   arm twist   into the arm:      arm'      = arm (x) armtwist
//   hand twist  into the wrist:    wrist'    = handtwist (x) wrist
//   shoulder P  into the shoulder: shoulder' = shoulderP (x) shoulder
//               and the arm:       arm'      = shoulderP* (x) arm (x) ...
// and a lone full-width upper body 2 into the half-width one:
//   upper2' = upper2 (x) upper2full.
// The folded bones have no keys in the copy.
//
// Portable core: no files here. The front end hands in the motion's bytes
// and writes the copy it gets back.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

enum FixStatus {
  kFixDone,       // folded: the copy is in the output buffer
  kFixNothing,    // nothing the motion alone can fix: no copy
  kFixNotMotion,  // the header is not a motion's
  kFixCut,        // the file ends inside its bone keys, or its morph keys when it needs a fold
  kFixRefused,    // fixable factors, none of them folded (see refusal)
  kFixStatuses
};
// "fixed", "nothing-to-fix", "not-a-motion", "cut", "refused"
const char* FixStatusName(int status);

// The folds, each named by the bone that disappears.
enum FixFold {
  kFoldLArmTwist, kFoldLHandTwist, kFoldRArmTwist, kFoldRHandTwist,
  kFoldLShoulderP, kFoldRShoulderP, kFoldUpper2Full,
  kFolds
};
// The bone folded away ("左腕捩") and the bones it goes into ("左腕"; for a
// shoulder P "左肩 左腕"), in UTF-8.
const char* FixFoldSource(int fold);
const char* FixFoldTargets(int fold);

// Why a fold the motion calls for was not made.
enum FixRefusal {
  kRefuseNone,
  kRefuseBadRotation,  // a key of the chain holds a rotation or position that is no number
  kRefuseFarApart,     // keys more than kFixMaxSpan frames apart where the fold must fit the turn
  kRefuseWork,         // the curves would take more work than the chain's keys may ask for
  kRefuseTooLarge,     // the copy would be more than twice the motion's size
  kRefuseCurveBytes,   // a key the fold would split has curve bytes above 127
  kRefusals
};
// An English sentence, e.g. "a key of the chain holds no number". The
// result's `reason` says it of the motion, naming the bone.
const char* FixRefusalText(int refusal);

constexpr int kFixMaxSpan = 65536;       // frames between two keys of a chain where a turn is fitted
constexpr double kFixToleranceDeg = 0.01;  // every integer frame, every bone of the chain

// A bone whose keys the copy changes: a bone folded into, or a folded one.
struct FixBone {
  char name[32];        // UTF-8
  int32_t keysBefore;   // its key records in the motion
  int32_t keysAfter;    // in the copy (0 for a folded bone)
  uint8_t folded;       // it is a bone folded away
};

struct FixResult {
  int status;
  uint32_t wanted;            // bit (1 << FixFold) for each fold the motion calls for
  uint32_t folded;            // those made
  int refusal[kFolds];        // for a wanted fold not made: why (a FixRefusal)
  char reason[kFolds][192];   // and the sentence of it (UTF-8), naming the bone and frames
  int boneCount;
  FixBone bones[14];
  int64_t boneKeysBefore, boneKeysAfter;  // bone key records of the motion and the copy
  int64_t bytesIn, bytesOut;
  int64_t addedKeys;          // keys at frames where no bone of the chain had one
  // kFixCut: the section the file ends in (1 bone, 2 morph), the records its
  // count declares (negative: the count is, and nothing after it is read; 0:
  // the file ends inside the count) and the whole ones present.
  int cutSection;
  int64_t cutDeclared, cutPresent;
};

// Folds what the motion (size bytes at data) calls for. The copy goes to
// out (replaced), only when the status is kFixDone. Returns the status.
int FixMotion(const uint8_t* data, size_t size, FixResult* result, std::vector<uint8_t>* out);

// The same in two steps, for a front end that writes the copy as it is
// given out (no buffer of its size): FixPlan folds and fills the result;
// when it returns kFixDone, FixEmit hands the copy to sink in order, in
// pieces (the motion's bytes must stay in place until then). sink returns 0
// to go on; FixEmit returns -1 as soon as it does not, else 0.
typedef int (*FixSink)(void* ctx, const uint8_t* bytes, size_t n);
int FixPlan(const uint8_t* data, size_t size, FixResult* result);
int FixEmit(FixSink sink, void* ctx);
