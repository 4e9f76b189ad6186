#include "vrma/vrma_file.h"

#include <cmath>
#include <cstring>
#include <sstream>
#include <string>

#include "vrma/expressions.h"
#include "vrma/gltf.h"

namespace {

constexpr double kRestTolerance = 1e-7;  // a rotation this close to none is the rest rotation

bool ValidUtf8(const char* s) {
  const auto* p = reinterpret_cast<const unsigned char*>(s);
  while (*p) {
    int n = 0;
    uint32_t c = *p;
    if (c < 0x80) n = 0;
    else if ((c & 0xE0) == 0xC0) n = 1, c &= 0x1F;
    else if ((c & 0xF0) == 0xE0) n = 2, c &= 0x0F;
    else if ((c & 0xF8) == 0xF0) n = 3, c &= 0x07;
    else return false;
    p++;
    for (int i = 0; i < n; i++, p++) {
      if ((*p & 0xC0) != 0x80) return false;
      c = (c << 6) | (*p & 0x3F);
    }
    if ((n == 1 && c < 0x80) || (n == 2 && c < 0x800) || (n == 3 && (c < 0x10000 || c > 0x10FFFF)) ||
        (c >= 0xD800 && c <= 0xDFFF))
      return false;
  }
  return true;
}

// The expression names must make a valid extension: presets from the list,
// customs never a preset's name, nothing twice, all UTF-8.
bool NamesValid(const VrmaAnimation& a) {
  for (int i = 0; i < a.exprCount; i++) {
    const char* n = a.exprName[i];
    if (!n[0] || memchr(n, 0, VRMA_EXPR_NAME) == nullptr || !ValidUtf8(n)) return false;
    if (a.exprPreset[i] ? !VrmaIsWritablePreset(n) : VrmaIsPresetName(n)) return false;
    for (int j = 0; j < i; j++)
      if (strcmp(a.exprName[j], n) == 0) return false;
  }
  return true;
}

// Appends floats to the buffer; returns the byte offset they start at.
size_t Append(std::vector<unsigned char>* buf, const float* v, size_t n) {
  const size_t at = buf->size();
  buf->resize(at + n * sizeof(float));
  memcpy(buf->data() + at, v, n * sizeof(float));
  return at;
}

int AddAccessor(tinygltf::Model* m, int view, size_t offset, int count, int type) {
  tinygltf::Accessor a;
  a.bufferView = view;
  a.byteOffset = offset;
  a.componentType = TINYGLTF_COMPONENT_TYPE_FLOAT;
  a.count = size_t(count);
  a.type = type;
  m->accessors.push_back(std::move(a));
  return int(m->accessors.size() - 1);
}

void AddChannel(tinygltf::Model* m, int input, int output, int node, const char* path) {
  tinygltf::Animation& anim = m->animations[0];
  tinygltf::AnimationSampler s;
  s.input = input;
  s.output = output;
  s.interpolation = "LINEAR";
  anim.samplers.push_back(std::move(s));
  tinygltf::AnimationChannel c;
  c.sampler = int(anim.samplers.size() - 1);
  c.target_node = node;
  c.target_path = path;
  anim.channels.push_back(std::move(c));
}

tinygltf::Value NodeRef(int node) {
  tinygltf::Value::Object o;
  o["node"] = tinygltf::Value(node);
  return tinygltf::Value(std::move(o));
}

// A rotation channel's keys: unit, each on the same side of the sphere as
// the one before (so that players that interpolate component-wise take the
// short way too). False for a rotation of no length.
bool RotationKeys(const VrmaAnimation& a, int bone, std::vector<float>* out, bool* changes) {
  out->resize(size_t(a.frames) * 4);
  double prev[4] = {0, 0, 0, 1};
  *changes = false;
  for (int f = 0; f < a.frames; f++) {
    const float* q = &a.rotation[(size_t(f) * HB_COUNT + size_t(bone)) * 4];
    double v[4] = {q[0], q[1], q[2], q[3]};
    const double len = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2] + v[3] * v[3]);
    if (!(len > 1e-6) || !std::isfinite(len)) return false;
    const double dot = v[0] * prev[0] + v[1] * prev[1] + v[2] * prev[2] + v[3] * prev[3];
    const double s = (dot < 0 ? -1.0 : 1.0) / len;
    for (int k = 0; k < 4; k++) {
      v[k] *= s;
      prev[k] = v[k];
      (*out)[size_t(f) * 4 + size_t(k)] = float(v[k]);
    }
    if (std::fabs(v[0]) > kRestTolerance || std::fabs(v[1]) > kRestTolerance || std::fabs(v[2]) > kRestTolerance)
      *changes = true;
  }
  return true;
}

// An std::streambuf that writes straight into a vector.
class VectorBuf : public std::streambuf {
 public:
  explicit VectorBuf(std::vector<unsigned char>* v) : v_(v) {}

 protected:
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    v_->insert(v_->end(), reinterpret_cast<const unsigned char*>(s), reinterpret_cast<const unsigned char*>(s) + n);
    return n;
  }
  int_type overflow(int_type c) override {
    if (c != traits_type::eof()) v_->push_back(static_cast<unsigned char>(c));
    return traits_type::not_eof(c);
  }

 private:
  std::vector<unsigned char>* v_;
};

}  // namespace

const char* VrmaWriteStatusText(int status) {
  switch (status) {
    case kVrmaWritten: return "written";
    case kVrmaNoFrames: return "the animation has no frame";
    case kVrmaBadData: return "the animation's data is incomplete or holds a rotation of no length";
    case kVrmaBadName: return "an expression's name is empty, not UTF-8, given twice or a preset's";
    case kVrmaTooLarge: return "the file would be larger than 2 GB";
    default: return "the glTF file could not be written";
  }
}

uint64_t VrmaBytesBound(int frames, int bones, int expressions) {
  // Keys: the time, the hips' translation, a rotation per bone, a weight
  // (as a translation) per expression; the JSON stays under 64 bytes of
  // text per channel and node, plus the fixed parts.
  const uint64_t perFrame = 4 + 12 + 16 * uint64_t(bones) + 12 * uint64_t(expressions);
  return uint64_t(frames) * perFrame + 400 * uint64_t(bones + expressions + 1) + 65536;
}

int WriteVrma(const VrmaSkeleton& skel, const VrmaAnimation& a, std::vector<unsigned char>* glb,
              VrmaFileFacts* facts) {
  glb->clear();
  VrmaFileFacts local{};
  VrmaFileFacts& ff = facts ? *facts : local;
  ff = VrmaFileFacts{};
  if (a.frames <= 0) return kVrmaNoFrames;
  if (a.exprCount < 0 || a.exprCount > VRMA_EXPR_MAX) return kVrmaBadData;
  const size_t frames = size_t(a.frames);
  if (a.hips.size() != frames * 3 || a.rotation.size() != frames * HB_COUNT * 4 ||
      a.exprWeight.size() != frames * size_t(a.exprCount))
    return kVrmaBadData;
  if (!NamesValid(a)) return kVrmaBadName;
  int bones = 0;
  for (bool w : a.boneWritten) bones += w;
  if (VrmaBytesBound(a.frames, bones, a.exprCount) > kVrmaMaxBytes) return kVrmaTooLarge;

  tinygltf::Model m;
  m.asset.version = "2.0";
  m.asset.generator = "Tarvel " TARVEL_VERSION;
  m.buffers.resize(1);
  std::vector<unsigned char>& buf = m.buffers[0].data;
  buf.reserve(size_t(VrmaBytesBound(a.frames, bones, a.exprCount)));

  // The humanoid in its T-pose: node i is bone i, children after parents.
  tinygltf::Value::Object humanBones;
  for (int b = 0; b < HB_COUNT; b++) {
    tinygltf::Node n;
    n.name = kHumanBoneName[b];
    for (int k = 0; k < 3; k++) {
      if (!std::isfinite(skel.restLocal[b][k])) return kVrmaBadData;
      n.translation.push_back(skel.restLocal[b][k]);
    }
    m.nodes.push_back(std::move(n));
    if (kHumanBoneParent[b] >= 0) m.nodes[size_t(kHumanBoneParent[b])].children.push_back(b);
    humanBones[kHumanBoneName[b]] = NodeRef(b);
  }
  tinygltf::Scene scene;
  scene.nodes.push_back(HB_hips);
  tinygltf::Value::Object preset, custom;
  for (int e = 0; e < a.exprCount; e++) {
    tinygltf::Node n;
    n.name = a.exprName[e];
    n.translation = {0, 0, 0};
    m.nodes.push_back(std::move(n));
    const int node = HB_COUNT + e;
    scene.nodes.push_back(node);
    (a.exprPreset[e] ? preset : custom)[a.exprName[e]] = NodeRef(node);
  }
  m.scenes.push_back(std::move(scene));
  m.defaultScene = 0;

  // Keys: one view for the times, one for every channel's values.
  m.animations.resize(1);
  m.animations[0].name = "motion";
  std::vector<float> keys(frames);
  for (size_t f = 0; f < frames; f++) keys[f] = float(double(f) / kVrmaFps);
  Append(&buf, keys.data(), frames);
  const size_t valuesAt = buf.size();
  const int timeView = 0, valueView = 1;
  const int times = AddAccessor(&m, timeView, 0, a.frames, TINYGLTF_TYPE_SCALAR);
  m.accessors[size_t(times)].minValues = {keys.front()};
  m.accessors[size_t(times)].maxValues = {keys.back()};

  for (size_t f = 0; f < frames; f++)
    for (int k = 0; k < 3; k++)
      if (!std::isfinite(a.hips[f * 3 + size_t(k)])) return kVrmaBadData;
  AddChannel(&m, times, AddAccessor(&m, valueView, Append(&buf, a.hips.data(), frames * 3) - valuesAt, a.frames, TINYGLTF_TYPE_VEC3), HB_hips, "translation");
  for (int b = 0; b < HB_COUNT; b++) {
    if (!a.boneWritten[b]) continue;
    bool changes = false;
    if (!RotationKeys(a, b, &keys, &changes)) return kVrmaBadData;
    if (!changes) continue;
    const size_t at = Append(&buf, keys.data(), frames * 4) - valuesAt;
    AddChannel(&m, times, AddAccessor(&m, valueView, at, a.frames, TINYGLTF_TYPE_VEC4), b, "rotation");
    ff.boneChannel[b] = true;
    ff.rotationChannels++;
  }
  keys.assign(frames * 3, 0.0f);
  for (int e = 0; e < a.exprCount; e++) {
    bool changes = false;
    for (size_t f = 0; f < frames; f++) {
      float w = a.exprWeight[f * size_t(a.exprCount) + size_t(e)];
      w = std::isfinite(w) ? std::fmin(1.0f, std::fmax(0.0f, w)) : 0.0f;
      keys[f * 3] = w;
      changes = changes || w != 0.0f;
    }
    if (!changes) continue;
    const size_t at = Append(&buf, keys.data(), frames * 3) - valuesAt;
    AddChannel(&m, times, AddAccessor(&m, valueView, at, a.frames, TINYGLTF_TYPE_VEC3), HB_COUNT + e, "translation");
    ff.expressionChannels++;
  }

  tinygltf::BufferView tv, vv;
  tv.buffer = vv.buffer = 0;
  tv.byteOffset = 0;
  tv.byteLength = valuesAt;
  vv.byteOffset = valuesAt;
  vv.byteLength = buf.size() - valuesAt;
  m.bufferViews = {tv, vv};

  tinygltf::Value::Object ext;
  ext["specVersion"] = tinygltf::Value(std::string("1.0"));
  tinygltf::Value::Object humanoid;
  humanoid["humanBones"] = tinygltf::Value(std::move(humanBones));
  ext["humanoid"] = tinygltf::Value(std::move(humanoid));
  if (a.exprCount > 0) {
    tinygltf::Value::Object expressions;
    if (!preset.empty()) expressions["preset"] = tinygltf::Value(std::move(preset));
    if (!custom.empty()) expressions["custom"] = tinygltf::Value(std::move(custom));
    ext["expressions"] = tinygltf::Value(std::move(expressions));
  }
  m.extensions["VRMC_vrm_animation"] = tinygltf::Value(std::move(ext));
  m.extensionsUsed.push_back("VRMC_vrm_animation");

  VectorBuf sink(glb);
  std::ostream out(&sink);
  tinygltf::TinyGLTF writer;
  if (!writer.WriteGltfSceneToStream(&m, out, false, true) || !out) {
    glb->clear();
    return kVrmaWriteFailed;
  }
  ff.bytes = glb->size();
  return kVrmaWritten;
}
