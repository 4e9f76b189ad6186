#include "vrma/expressions.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_map>

#include "base/encoding.h"
#include "vmd/sections.h"

namespace {

constexpr size_t kNameBytes = 15;  // a morph record: name, frame, weight

const char* const kPresets[] = {
    "happy", "angry", "sad", "relaxed", "surprised", "aa", "ih", "ou", "ee", "oh",
    "blink", "blinkLeft", "blinkRight", "neutral",
    "lookUp", "lookDown", "lookLeft", "lookRight",  // the gaze: never animated
};
constexpr int kWritablePresets = 14;

struct MorphPreset {
  const char* morph;   // UTF-8
  const char* preset;
};
const MorphPreset kMorphPresets[] = {
    {"あ", "aa"}, {"い", "ih"}, {"う", "ou"}, {"え", "ee"}, {"お", "oh"},
    {"まばたき", "blink"}, {"ウィンク", "blinkLeft"}, {"ウィンク右", "blinkRight"},
    {"笑い", "happy"}, {"怒り", "angry"}, {"困る", "sad"}, {"にこり", "relaxed"},
    {"びっくり", "surprised"},
};

// Trailing ASCII and ideographic (U+3000) spaces off a UTF-8 name.
void TrimSpaces(std::string* s) {
  for (;;) {
    if (!s->empty() && s->back() == ' ') {
      s->pop_back();
    } else if (s->size() >= 3 && s->compare(s->size() - 3, 3, "\xE3\x80\x80") == 0) {
      s->resize(s->size() - 3);
    } else {
      return;
    }
  }
}

void LeaveOut(VrmaMorphKeys* k, const std::string& name) {
  if (k->leftOut < kVrmaLeftOutNames)
    snprintf(k->leftOutName[k->leftOut], VRMA_EXPR_NAME, "%s", name.c_str());
  k->leftOut++;
}

struct Key {
  int32_t expr;
  uint32_t frame;
  uint32_t seq;
  float weight;
};

}  // namespace

bool VrmaIsPresetName(const char* name) {
  for (const char* p : kPresets)
    if (strcmp(p, name) == 0) return true;
  return false;
}

bool VrmaIsWritablePreset(const char* name) {
  for (int i = 0; i < kWritablePresets; i++)
    if (strcmp(kPresets[i], name) == 0) return true;
  return false;
}

const char* VrmaMorphPreset(const char* name) {
  for (const MorphPreset& m : kMorphPresets)
    if (strcmp(m.morph, name) == 0) return m.preset;
  return nullptr;
}

const char* VrmaPresetMorph(const char* preset) {
  for (const MorphPreset& m : kMorphPresets)
    if (strcmp(m.preset, preset) == 0) return m.morph;
  return nullptr;
}

int VrmaReadMorphs(const uint8_t* data, size_t size, VrmaAnimation* anim, VrmaMorphKeys* k) {
  *k = VrmaMorphKeys();
  anim->exprCount = 0;
  VmdSections sections;
  const int found = VmdFindSections(data, size, &sections);
  if (found == kVmdSectionsNotMotion) return kVrmaMorphsNotMotion;
  k->start.assign(1, 0);
  if (found == kVmdSectionsCut) {
    k->cutSection = sections.cutSection;
    k->cutDeclared = sections.cutDeclared;
    k->cutPresent = sections.cutPresent;
    return kVrmaMorphsCut;
  }
  const int64_t morphs = sections.morphCount;

  // Each distinct name field once: its expression, or -1 when left out.
  std::unordered_map<std::string, int> byField;
  std::unordered_map<std::string, int> byName;
  std::vector<Key> keys;
  keys.reserve(size_t(morphs));
  const uint8_t* rec = sections.morphs;
  for (int64_t i = 0; i < morphs; i++, rec += kVmdMorphRecord) {
    const void* z = memchr(rec, 0, kNameBytes);
    const size_t n = z ? size_t(static_cast<const uint8_t*>(z) - rec) : kNameBytes;
    std::string field(reinterpret_cast<const char*>(rec), n);
    auto it = byField.find(field);
    if (it == byField.end()) {
      char utf8[kNameBytes * 3 + 1];
      sjistoutf8(utf8, int(sizeof utf8), field.c_str());
      std::string name(utf8);
      TrimSpaces(&name);
      int e = -1;
      const auto named = byName.find(name);
      if (named != byName.end()) {
        e = named->second;
      } else {
        const char* preset = VrmaMorphPreset(name.c_str());
        if (name.empty() || (!preset && VrmaIsPresetName(name.c_str())) || anim->exprCount == VRMA_EXPR_MAX) {
          LeaveOut(k, name);
        } else {
          e = anim->exprCount++;
          snprintf(anim->exprName[e], VRMA_EXPR_NAME, "%s", preset ? preset : name.c_str());
          anim->exprPreset[e] = preset != nullptr;
        }
        byName.emplace(name, e);
      }
      it = byField.emplace(std::move(field), e).first;
    }
    if (it->second < 0) continue;
    uint32_t frame;
    float w;
    memcpy(&frame, rec + kNameBytes, 4);
    memcpy(&w, rec + kNameBytes + 4, 4);
    keys.push_back(Key{it->second, frame, uint32_t(i), w});
  }
  k->records = morphs;
  std::sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
    if (a.expr != b.expr) return a.expr < b.expr;
    if (a.frame != b.frame) return a.frame < b.frame;
    return a.seq < b.seq;
  });

  k->count = anim->exprCount;
  k->start.assign(size_t(k->count) + 1, 0);
  k->frame.reserve(keys.size());
  k->weight.reserve(keys.size());
  for (size_t i = 0; i < keys.size(); i++) {
    // Of the keys at one frame, the last read stands.
    if (i + 1 < keys.size() && keys[i + 1].expr == keys[i].expr && keys[i + 1].frame == keys[i].frame) continue;
    k->frame.push_back(keys[i].frame);
    k->weight.push_back(keys[i].weight);
    k->start[size_t(keys[i].expr) + 1]++;
    k->lastFrame = std::max<int64_t>(k->lastFrame, keys[i].frame);
  }
  for (int e = 0; e < k->count; e++) k->start[size_t(e) + 1] += k->start[size_t(e)];
  return kVrmaMorphsRead;
}

void VrmaSampleExpressions(const VrmaMorphKeys& k, VrmaAnimation* anim) {
  const size_t frames = size_t(std::max(0, anim->frames)), count = size_t(anim->exprCount);
  anim->exprWeight.assign(frames * count, 0.0f);
  for (size_t e = 0; e < count && int(e) < k.count; e++) {
    const uint32_t first = k.start[e], end = k.start[e + 1];
    if (first == end) continue;
    uint32_t at = first;  // the last key at or before the frame, once one is
    for (size_t f = 0; f < frames; f++) {
      while (at + 1 < end && k.frame[at + 1] <= f) at++;
      double w;
      if (f <= k.frame[first] || at + 1 == end) {
        w = f <= k.frame[first] ? k.weight[first] : k.weight[at];
      } else {
        const double a = k.frame[at], b = k.frame[at + 1];
        const double t = (double(f) - a) / (b - a);
        w = k.weight[at] + (double(k.weight[at + 1]) - k.weight[at]) * t;
      }
      if (!(w > 0)) w = 0;  // NaN too
      anim->exprWeight[f * count + e] = float(std::min(w, 1.0));
    }
  }
}
