#include "app/vrma_tool.h"

#include <cmath>
#include <cstdio>

#include "base/control_escape.h"
#include "vrma/vrma_export.h"

namespace {

using nlohmann::ordered_json;

std::string Duration(int frames) {
  char s[48];
  const double seconds = frames > 1 ? double(frames - 1) / kVrmaFps : 0.0;
  snprintf(s, sizeof s, "%d:%04.1f", int(seconds / 60), std::fmod(seconds, 60.0));
  return s;
}

// Names joined for a line of text, each with its control characters escaped.
std::string Joined(const std::vector<std::string>& names) {
  std::string s;
  for (const std::string& n : names) {
    if (!s.empty()) s += ", ";
    AppendEscaped(&s, n.c_str());
  }
  return s.empty() ? "none" : s;
}

}  // namespace

const char* VrmaToolConvert(const uint8_t* data, size_t size, const double* armAngleDeg,
                            std::vector<unsigned char>* glb, ordered_json* jp, std::string* textp,
                            std::string* status) {
  VrmaExportOptions options;
  options.data = data;
  options.size = size;
  if (armAngleDeg) options.armAngleDeg = *armAngleDeg;
  VrmaExportResult r;
  if (!VrmaExport(options, glb, &r)) {
    *status = r.status;
    return r.reason;
  }
  const VrmaAnimation& a = *r.anim;
  const VrmaMorphKeys& morphs = *r.morphs;
  const VrmaPoseStats& stats = r.pose;
  const VrmaFileFacts& facts = r.file;
  ordered_json& j = *jp;
  std::string& text = *textp;
  j["bytes"] = glb->size();
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
  for (int i = 0; i < morphs.leftOut && i < kVrmaLeftOutNames; i++) morphsLeft.push_back(morphs.leftOutName[i]);
  j["expressions"] = {{"preset", preset}, {"custom", custom}, {"leftOut", morphsLeft},
                      {"leftOutCount", morphs.leftOut}};
  text += "expressions: " + Joined(presetText) + "; custom: " + Joined(custom) + "\n";
  if (morphs.leftOut)
    text += "morphs left out (a preset's name, no name, or past " + std::to_string(VRMA_EXPR_MAX) +
            "): " + Joined(morphsLeft) + (morphs.leftOut > kVrmaLeftOutNames ? ", and more" : "") + "\n";

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
  return nullptr;
}
