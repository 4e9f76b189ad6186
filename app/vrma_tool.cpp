#include "app/vrma_tool.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "analysis/file_report.h"
#include "app/folder_walk.h"
#include "base/encoding.h"
#include "base/paths.h"
#include "base/runenv.h"
#include "fix/fix_copy.h"
#include "platform/port.h"
#include "vrma/expressions.h"
#include "vrma/pose.h"
#include "vrma/vrma_file.h"

namespace {

using nlohmann::ordered_json;

const char kUsage[] =
    "usage: tarvel-fix --vrma [--arm-angle DEG] [--json] [-o OUT.vrma | --out-dir DIR] FILE|FOLDER...\n"
    "  Writes each VMD motion as a VRM Animation (.vrma) for VRM apps: the motion\n"
    "  played on Tarvel's standard skeleton with the leg IK solved, one key per\n"
    "  frame, the morphs as expressions. The file goes beside the motion as\n"
    "  NAME.vrma; a folder is searched for .vmd files.\n"
    "  --arm-angle DEG how far below the horizontal the arms of the model the motion\n"
    "                  was made on rest (default: the standard skeleton's)\n"
    "  --json          one JSON document for the whole run\n"
    "  -o OUT.vrma     the file's name (one motion only)\n"
    "  --out-dir DIR   the folder the files go to\n"
    "  Exit status: 0 all written, 1 a motion not read or not written, 2 usage.\n";

const char kNotice[] =
    "A motion's terms of use may forbid converting it or passing on a converted file: "
    "check them before you use or share a .vrma file.";

std::string Shown(const FixPath& p) {
  if ((PortAnsiCodePage() == 65001 && !p.narrow.empty()) || p.wide.empty()) return p.narrow;
  char utf8[kPathUtf8];
  unitoutf8(utf8, sizeof utf8, p.wide.c_str());
  return utf8;
}

struct Run {
  bool json = false;
  bool failed = false;
  double armAngle = 0;
  bool armAngleGiven = false;
  const FixPath* outFile = nullptr;
  const FixPath* outDir = nullptr;
  FILE* out = nullptr;
  FILE* err = nullptr;
  ordered_json files = ordered_json::array();
  int written = 0, notWritten = 0;
  FixBytes in;
  std::unique_ptr<VrmaAnimation> anim{new VrmaAnimation};
  VrmaMorphKeys morphs;
  std::vector<unsigned char> glb;
};

void Failed(Run& run, const std::string& shown, const std::string& reason) {
  fprintf(run.err, "tarvel-fix: %s: %s\n", shown.c_str(), reason.c_str());
  run.failed = true;
  run.notWritten++;
}

std::string Duration(int frames) {
  char s[48];
  const double seconds = frames > 1 ? double(frames - 1) / kVrmaFps : 0.0;
  snprintf(s, sizeof s, "%d:%04.1f", int(seconds / 60), std::fmod(seconds, 60.0));
  return s;
}

std::string Joined(const std::vector<std::string>& names) {
  std::string s;
  for (const std::string& n : names) s += (s.empty() ? "" : ", ") + n;
  return s.empty() ? "none" : s;
}

// Plays the motion (in run.in), samples its expressions and makes the file
// (in run.glb); what it gave goes into j and text. False, with status and
// reason, when no file was made.
bool Convert(Run& run, ordered_json& j, std::string& text, std::string& status, std::string& reason) {
  VrmaAnimation& a = *run.anim;
  VrmaPoseOptions options;
  options.data = run.in.data.get();
  options.size = run.in.size;
  if (run.armAngleGiven) options.armAngleDeg = run.armAngle;
  VrmaPoseStats stats{};
  if (VrmaPose(options, &a, &stats) != kVrmaPoseDone) {
    status = VrmaPoseStatusName(stats.status);
    reason = VrmaPoseStatusText(stats.status);
    if (stats.status == kVrmaPoseCut) {
      char why[200];
      snprintf(why, sizeof why,
               "the file ends inside its %s keys (%lld of %lld records): the motion after the cut is unknown",
               stats.cutSection == 1 ? "bone" : "morph", (long long)stats.cutPresent,
               (long long)stats.cutDeclared);
      reason = why;
    }
    return false;
  }
  if (VrmaReadMorphs(options.data, options.size, &a, &run.morphs) != kVrmaMorphsRead) {
    status = "cut";
    reason = "the file ends inside its morph keys";
    return false;
  }
  // Before the weights of every frame take their memory: a file past the
  // bound would be refused anyway.
  if (VrmaBytesBound(a.frames, HB_COUNT, a.exprCount) > kVrmaMaxBytes) {
    status = "not-written";
    reason = VrmaWriteStatusText(kVrmaTooLarge);
    return false;
  }
  VrmaSampleExpressions(run.morphs, &a);
  VrmaSkeleton skeleton;
  VrmaStandardSkeleton(&skeleton);
  VrmaFileFacts facts;
  const int written = WriteVrma(skeleton, a, &run.glb, &facts);
  if (written != kVrmaWritten) {
    status = "not-written";
    reason = VrmaWriteStatusText(written);
    return false;
  }

  j["bytes"] = run.glb.size();
  j["frames"] = a.frames;
  j["duration"] = double(a.frames - 1) / kVrmaFps;
  text += "frames: " + std::to_string(a.frames) + " (" + Duration(a.frames) + ")\n";
  // The bones that turn in the file (the hips move too).
  std::vector<std::string> bones;
  for (int b = 0; b < HB_COUNT; b++)
    if (facts.boneChannel[b]) bones.push_back(kHumanBoneName[b]);
  j["bones"] = bones;
  text += "bones: " + std::to_string(bones.size()) + " turn: " + Joined(bones) + "\n";
  std::vector<std::string> left;
  for (int i = 0; i < stats.unmappedCount && i < VRMA_UNMAPPED_MAX; i++) left.push_back(stats.unmapped[i]);
  j["leftOut"] = {{"bones", left}, {"more", stats.unmappedMore}};
  if (!left.empty())
    text += "left out (no humanoid bone): " + Joined(left) + (stats.unmappedMore ? ", and more" : "") + "\n";

  ordered_json preset = ordered_json::array();
  std::vector<std::string> presetText, custom;
  for (int e = 0; e < a.exprCount; e++) {
    if (a.exprPreset[e]) {
      const char* morph = VrmaPresetMorph(a.exprName[e]);
      preset.push_back({{"name", a.exprName[e]}, {"morph", morph}});
      presetText.push_back(std::string(a.exprName[e]) + " (" + morph + ")");
    } else {
      custom.push_back(a.exprName[e]);
    }
  }
  std::vector<std::string> morphsLeft;
  for (int i = 0; i < run.morphs.leftOut && i < kVrmaLeftOutNames; i++) morphsLeft.push_back(run.morphs.leftOutName[i]);
  j["expressions"] = {{"preset", preset}, {"custom", custom}, {"leftOut", morphsLeft},
                      {"leftOutCount", run.morphs.leftOut}};
  text += "expressions: " + Joined(presetText) + "; custom: " + Joined(custom) + "\n";
  if (run.morphs.leftOut)
    text += "morphs left out (a preset's name, no name, or past " + std::to_string(VRMA_EXPR_MAX) +
            "): " + Joined(morphsLeft) + (run.morphs.leftOut > kVrmaLeftOutNames ? ", and more" : "") + "\n";

  ordered_json ik = {{"frames", stats.ikFrames}, {"solves", stats.ikSolves}, {"unreachable", stats.ikUnreachable}};
  char line[200];
  if (stats.ikFrames == 0) {
    snprintf(line, sizeof line, "leg IK: not used\n");
  } else if (stats.worstMissFrame < 0) {
    snprintf(line, sizeof line, "leg IK: %d frames solved; every target out of reach (the leg points at it)\n",
             stats.ikFrames);
  } else {
    ik["worstMiss"] = stats.worstMiss;
    ik["worstMissFrame"] = stats.worstMissFrame;
    snprintf(line, sizeof line, "leg IK: %d frames solved, worst miss %.2f cm at frame %d; %lld of %lld out of reach\n",
             stats.ikFrames, stats.worstMiss * 100, stats.worstMissFrame, (long long)stats.ikUnreachable,
             (long long)stats.ikSolves);
  }
  j["ik"] = ik;
  text += line;
  return true;
}

void ConvertOne(Run& run, const FixPath& in) {
  const std::string shown = Shown(in);
  ordered_json j;
  j["path"] = shown;
  j["status"] = nullptr;  // its place; set below
  std::string text = "# " + shown + "\n";
  std::string status = "written", reason;
  if (const char* problem = FixReadWhole(in, &run.in)) {
    status = "unreadable";
    reason = problem;
  } else if (Convert(run, j, text, status, reason)) {
    const FixPath target = run.outFile ? *run.outFile : FixVrmaPath(in, run.outDir);
    const std::string targetShown = Shown(target);
    j["vrma"] = targetShown;
    if (const char* wrote = FixWriteNewBytes(target, run.glb.data(), run.glb.size())) {
      status = "not-written";
      reason = "the file " + targetShown + " was not written: " + wrote;
    } else {
      text += "vrma: " + targetShown + " (" + std::to_string(run.glb.size()) + " bytes)\n";
      run.written++;
    }
  }
  j["status"] = status;
  if (status != "written") {
    j["reason"] = reason;
    text += "not written: " + reason + "\n";
    Failed(run, shown, reason);
  }
  if (run.json) {
    run.files.push_back(std::move(j));
  } else {
    fwrite(text.data(), 1, text.size(), run.out);
    fflush(run.out);
  }
}

void WalkedMotion(void* ctx, const char* narrow, const char16_t* wide, int kind) {
  if (kind == kPathFile) ConvertOne(*static_cast<Run*>(ctx), FixMakePath(narrow, wide));
}

void WalkedUnlisted(void* ctx, const char* narrow, const char16_t* wide, int error) {
  Run& run = *static_cast<Run*>(ctx);
  char reason[64];
  OpenErrorText(error, reason, sizeof reason);
  fprintf(run.err, "tarvel-fix: %s: cannot list the folder: %s\n", Shown(FixMakePath(narrow, wide)).c_str(),
          reason);
  run.failed = true;
}

int Usage(FILE* err, const std::string& problem) {
  if (!problem.empty()) fprintf(err, "tarvel-fix: %s\n", problem.c_str());
  fputs(kUsage, err);
  return 2;
}

}  // namespace

bool VrmaToolWanted(int argc, const char* const* argv) {
  for (int i = 1; i < argc; i++) {
    if (!strcmp(argv[i], "--")) return false;
    if (!strcmp(argv[i], "--vrma")) return true;
  }
  return false;
}

int VrmaToolRun(int argc, const char* const* argv, const char16_t* const* wargv, FILE* out, FILE* err) {
  Run run;
  run.out = out;
  run.err = err;
  std::vector<int> targets;
  int outFile = 0, outDir = 0;
  bool options = true;
  for (int i = 1; i < argc; i++) {
    const char* a = argv[i];
    if (options && a[0] == '-' && a[1] != 0) {
      if (!strcmp(a, "--")) {
        options = false;
      } else if (!strcmp(a, "-h") || !strcmp(a, "--help")) {
        fputs(kUsage, out);
        return 0;
      } else if (!strcmp(a, "--vrma")) {
      } else if (!strcmp(a, "--json")) {
        run.json = true;
      } else if (!strcmp(a, "--arm-angle")) {
        if (i + 1 >= argc) return Usage(err, "--arm-angle needs a number of degrees");
        char* end = nullptr;
        run.armAngle = strtod(argv[++i], &end);
        if (end == argv[i] || *end || !std::isfinite(run.armAngle))
          return Usage(err, std::string("--arm-angle needs a number of degrees, not ") + argv[i]);
        run.armAngleGiven = true;
      } else if (!strcmp(a, "-o") || !strcmp(a, "--out-dir")) {
        if (i + 1 >= argc) return Usage(err, std::string(a) + " needs a name");
        if (outFile || outDir) return Usage(err, "-o and --out-dir are given once, not both");
        (a[1] == 'o' ? outFile : outDir) = ++i;
      } else {
        return Usage(err, std::string("unknown option ") + a);
      }
      continue;
    }
    targets.push_back(i);
  }
  if (targets.empty()) return Usage(err, "");
  auto kindOf = [&](int i) { return wargv && wargv[i] ? PortPathKindW(wargv[i]) : PortPathKindA(argv[i]); };
  if (outFile && (targets.size() > 1 || kindOf(targets[0]) == kPathFolder))
    return Usage(err, "-o names the file of one motion; use --out-dir for several");
  FixPath outPath, dirPath;
  if (outFile) {
    outPath = FixMakePath(argv[outFile], wargv ? wargv[outFile] : nullptr);
    run.outFile = &outPath;
  }
  if (outDir) {
    dirPath = FixMakePath(argv[outDir], wargv ? wargv[outDir] : nullptr);
    if (kindOf(outDir) != kPathFolder) return Usage(err, "--out-dir names a folder that does not exist");
    run.outDir = &dirPath;
  }

  if (!run.json) fprintf(out, "%s\n", kNotice);
  for (int i : targets) {
    const int kind = kindOf(i);
    if (kind == kPathFolder) {
      const FolderWalk walk = {&run, WalkedMotion, WalkedUnlisted, nullptr};
      if (wargv && wargv[i])
        WalkFolderW(wargv[i], walk);
      else
        WalkFolderA(argv[i], walk);
    } else if (kind == kPathOther) {
      const std::string shown = Shown(FixMakePath(argv[i], wargv ? wargv[i] : nullptr));
      if (run.json)
        run.files.push_back({{"path", shown}, {"status", "unreadable"}, {"reason", "not a regular file"}});
      else
        fprintf(out, "# %s\nnot written: not a regular file\n", shown.c_str());
      Failed(run, shown, "not a regular file");
    } else {
      ConvertOne(run, FixMakePath(argv[i], wargv ? wargv[i] : nullptr));
    }
  }
  if (run.json) {
    ordered_json doc;
    doc["notice"] = kNotice;
    doc["files"] = std::move(run.files);
    doc["summary"] = {{"files", run.written + run.notWritten}, {"written", run.written}, {"notWritten", run.notWritten}};
    const std::string s = doc.dump(2, ' ', false, ordered_json::error_handler_t::replace) + "\n";
    fwrite(s.data(), 1, s.size(), out);
  }
  fflush(out);
  return run.failed ? 1 : 0;
}
