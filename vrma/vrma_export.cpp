#include "vrma/vrma_export.h"

#include <cstdio>
#include <memory>

namespace {

// Why a motion cut in its bone (1) or morph (2) keys gets no file.
const char* CutReason(int section, int64_t declared, int64_t present) {
  static char why[160];
  const char* name = section == 1 ? "bone" : "morph";
  if (declared < 0)
    snprintf(why, sizeof why, "the file's %s count is negative (%lld): no key after it can be read", name,
             (long long)declared);
  else if (declared == 0)
    snprintf(why, sizeof why, "the file ends inside its %s count", name);
  else
    snprintf(why, sizeof why, "the file ends inside its %s keys (%lld of %lld records): the motion after the cut is unknown",
             name, (long long)present, (long long)declared);
  return why;
}

bool Refused(VrmaExportResult* r, std::vector<unsigned char>* glb, const char* status, const char* reason) {
  glb->clear();
  r->status = status;
  r->reason = reason;
  return false;
}

}  // namespace

bool VrmaExport(const VrmaExportOptions& options, std::vector<unsigned char>* glb, VrmaExportResult* r) {
  // The animation's name table alone is 128 KiB: kept off the stack.
  static std::unique_ptr<VrmaAnimation> anim(new VrmaAnimation);
  static VrmaMorphKeys morphs;
  VrmaAnimation& a = *anim;
  *r = VrmaExportResult{};
  r->anim = &a;
  r->morphs = &morphs;
  VrmaPoseOptions pose;
  pose.data = options.data;
  pose.size = options.size;
  pose.armAngleDeg = options.armAngleDeg;
  pose.fold = options.fold;
  if (VrmaPose(pose, &a, &r->pose) != kVrmaPoseDone) {
    const int status = r->pose.status;
    return Refused(r, glb, VrmaPoseStatusName(status),
                   status == kVrmaPoseCut ? CutReason(r->pose.cutSection, r->pose.cutDeclared, r->pose.cutPresent)
                                          : VrmaPoseStatusText(status));
  }
  if (VrmaReadMorphs(options.data, options.size, &a, &morphs) != kVrmaMorphsRead)
    return Refused(r, glb, "cut", CutReason(morphs.cutSection, morphs.cutDeclared, morphs.cutPresent));
  // Before the weights of every frame take their memory: a file past the
  // bound would be refused anyway.
  if (VrmaBytesBound(a.frames, HB_COUNT, a.exprCount) > kVrmaMaxBytes)
    return Refused(r, glb, "not-written", VrmaWriteStatusText(kVrmaTooLarge));
  VrmaSampleExpressions(morphs, &a);
  VrmaSkeleton skeleton;
  VrmaStandardSkeleton(&skeleton);
  const int written = WriteVrma(skeleton, a, glb, &r->file);
  if (written != kVrmaWritten) return Refused(r, glb, "not-written", VrmaWriteStatusText(written));
  return true;
}
