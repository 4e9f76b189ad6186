#include "vrma/pose.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "base/encoding.h"
#include "base/same_math.h"
#include "fix/fix_play.h"
#include "vmd/sections.h"

// The motion's keys are read and played as the VRM-ready copy plays them.
using namespace fixplay;

namespace {

constexpr size_t kCameraRecord = 61, kLightRecord = 28, kShadowRecord = 9, kIkEntry = 21, kIkHead = 9;

// The leg IK as MMD models set it up.
constexpr int kLegIkLoops = 40;
constexpr double kLegIkStep = 2;  // radians a link may turn per loop
constexpr int kToeIkLoops = 3;
constexpr double kToeIkStep = 4;
const double kLegIkStepCos = SameCos(kLegIkStep), kToeIkStepCos = SameCos(kToeIkStep);
constexpr double kKneeMin = -kPi, kKneeMax = -0.5 * kPi / 180;
constexpr double kIkDone = 1e-3;  // units (0.08 mm): the ankle is on its target
constexpr double kIkStill = 1e-9;  // radians: a link that turns less stands still

// ---- quaternions ------------------------------------------------------------

using Q = Dq;

Q AxisAngle(double x, double y, double z, double angle) {
  const double s = SameSin(angle / 2);
  return {x * s, y * s, z * s, SameCos(angle / 2)};
}

struct V {
  double x, y, z;
};
V operator+(const V& a, const V& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
V operator-(const V& a, const V& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V Cross(const V& a, const V& b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double VDot(const V& a, const V& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double Len(const V& a) { return std::sqrt(VDot(a, a)); }

// v turned by the unit quaternion q.
inline V Rotate(const Q& q, const V& v) {
  const V u = {q.x, q.y, q.z};
  const V t = Cross(u, v);
  const V t2 = {2 * t.x, 2 * t.y, 2 * t.z};
  const V c = Cross(u, t2);
  return {v.x + q.w * t2.x + c.x, v.y + q.w * t2.y + c.y, v.z + q.w * t2.z + c.z};
}

// MMD space to glTF space.
Q ToGltf(const Q& q) { return {-q.x, -q.y, q.z, q.w}; }
V ToGltf(const V& p) { return {p.x * kVrmaMetresPerUnit, p.y * kVrmaMetresPerUnit, -p.z * kVrmaMetresPerUnit}; }

// ---- the motion's keys ----------------------------------------------------

// The bone's rotation and movement at frame f.
void Evaluate(const Track& t, int64_t f, Q* q, double pos[3]) {
  float p[3];
  PoseAt(t, f, q, p);
  for (int c = 0; c < 3; c++) pos[c] = p[c];
}

// The bones' names in Shift-JIS, hashed: a bone's track is 2 * bone, its
// alias's 2 * bone + 1.
struct NameSlot {
  char s[16];
  int n;
  int track;  // -1: empty
};
constexpr int kNameSlots = 512;
NameSlot gSlots[kNameSlots];
bool gSlotsReady = false;

uint32_t Hash(const uint8_t* s, int n) {
  uint32_t h = 2166136261u;
  for (int i = 0; i < n; i++) h = (h ^ s[i]) * 16777619u;
  return h;
}

void AddName(const char* utf8, int track) {
  if (!*utf8) return;
  char s[32];
  utf8tosjis(s, sizeof s, utf8);
  const int n = std::min(int(strlen(s)), 15);
  for (uint32_t h = Hash(reinterpret_cast<const uint8_t*>(s), n);; h++) {
    NameSlot& slot = gSlots[h % kNameSlots];
    if (slot.track < 0) {
      memcpy(slot.s, s, size_t(n));
      slot.n = n;
      slot.track = track;
      return;
    }
  }
}

void PrepareNames() {
  if (gSlotsReady) return;
  for (NameSlot& s : gSlots) s.track = -1;
  const VrmaMmdBoneDef* bones = VrmaMmdBones();
  for (int b = 0; b < MB_COUNT; b++) {
    AddName(bones[b].name, 2 * b);
    AddName(bones[b].alias, 2 * b + 1);
  }
  gSlotsReady = true;
}

int TrackOf(const uint8_t* name, int n) {
  for (uint32_t h = Hash(name, n);; h++) {
    const NameSlot& slot = gSlots[h % kNameSlots];
    if (slot.track < 0) return -1;
    if (slot.n == n && memcmp(slot.s, name, size_t(n)) == 0) return slot.track;
  }
}

// Whether a VRM viewer plays the keys of a track (see VrmaPoseOptions::fold).
bool ViewerPlays(int track) {
  if (track % 2) return false;  // an alias
  const int b = track / 2;
  if (b < MB_left) return b != MB_upper3;
  switch (b - (b >= MB_right ? MB_right : MB_left)) {
    case SB_shoulderP: case SB_shoulderC: case SB_armTwist: case SB_handTwist: case SB_waistCancel:
    case SB_legD: case SB_kneeD: case SB_ankleD: case SB_toeEx: case SB_ikParent:
      return false;
  }
  return true;
}

// The distinct names of the bones with no counterpart.
struct Unmapped {
  static constexpr int kSlots = 2 * VRMA_UNMAPPED_MAX;
  char s[kSlots][16];
  int n[kSlots];
  bool used[kSlots];
};

void NoteUnmapped(Unmapped* u, const uint8_t* name, int n, VrmaPoseStats* st) {
  for (uint32_t h = Hash(name, n);; h++) {
    const int i = int(h % Unmapped::kSlots);
    if (u->used[i]) {
      if (u->n[i] == n && memcmp(u->s[i], name, size_t(n)) == 0) return;
      continue;
    }
    if (st->unmappedCount == VRMA_UNMAPPED_MAX) {  // at most half the slots fill: a probe ends
      st->unmappedMore = true;
      return;
    }
    u->used[i] = true;
    memcpy(u->s[i], name, size_t(n));
    u->n[i] = n;
    char sjis[16] = {};
    memcpy(sjis, name, size_t(n));
    sjistoutf8(st->unmapped[st->unmappedCount++], VRMA_UNMAPPED_NAME, sjis);
    return;
  }
}

// The show-and-IK switches of the leg and toe IKs.
enum { kIkLegL, kIkLegR, kIkToeL, kIkToeR, kIks };
const char* const kIkNames[kIks] = {"左足ＩＫ", "右足ＩＫ", "左つま先ＩＫ", "右つま先ＩＫ"};

struct Switch {
  uint32_t frame;
  bool on;
};

struct Motion {
  Track tracks[2 * MB_COUNT];
  std::vector<Switch> ik[kIks];  // by frame
  size_t ikCursor[kIks];
};

// The show-and-IK section, as far as it is whole: the switches of the IKs.
void ReadSwitches(const uint8_t* data, size_t size, size_t at, Motion* m) {
  static char names[kIks][24];
  static int lens[kIks];
  if (!lens[0])
    for (int i = 0; i < kIks; i++) {
      utf8tosjis(names[i], sizeof names[i], kIkNames[i]);
      lens[i] = int(strlen(names[i]));
    }
  // Skip the camera, light and self-shadow sections.
  const size_t sizes[3] = {kCameraRecord, kLightRecord, kShadowRecord};
  for (size_t rec : sizes) {
    if (size - at < 4) return;
    const int32_t n = IntAt(data + at);
    at += 4;
    if (n < 0 || uint64_t(n) * rec > size - at) return;
    at += size_t(n) * rec;
  }
  if (size - at < 4) return;
  const int32_t count = IntAt(data + at);
  at += 4;
  for (int32_t r = 0; r < count; r++) {
    if (size - at < kIkHead) return;
    const uint32_t frame = UintAt(data + at);
    const int32_t n = IntAt(data + at + 5);
    at += kIkHead;
    if (n < 0 || uint64_t(n) * kIkEntry > size - at) return;
    for (int32_t e = 0; e < n; e++, at += kIkEntry) {
      const int len = NameLength(data + at, 20);
      for (int i = 0; i < kIks; i++)
        if (len == lens[i] && memcmp(data + at, names[i], size_t(len)) == 0)
          m->ik[i].push_back({frame, data[at + 20] != 0});
    }
  }
}

bool IkOn(Motion* m, int ik, uint32_t f) {
  const std::vector<Switch>& s = m->ik[ik];
  size_t& c = m->ikCursor[ik];  // the switches at or before the frame last asked
  if (c > 0 && s[c - 1].frame > f) c = 0;
  while (c < s.size() && s[c].frame <= f) c++;
  return c == 0 ? true : s[c - 1].on;  // on until the first switch
}

// ---- the skeleton in motion ----------------------------------------------------

struct Xf {
  Q q;
  V p;
};

struct Pose {
  Q key[MB_COUNT];   // the keys' rotation of each bone
  V move[MB_COUNT];  // and movement
  Q lq[MB_COUNT];    // its local rotation after the rig's rules and the IK
  Xf w[MB_COUNT];
};

struct Rig {
  V offset[MB_COUNT];  // rest position from the parent's (the root's from the origin)
  int parent[MB_COUNT];
  double thigh, shin;  // lengths in units
  double d[HB_COUNT][4];
};

inline void Place(const Rig& r, Pose* p, int b) {
  const V o = r.offset[b] + p->move[b];
  const int up = r.parent[b];
  if (up < 0) {
    p->w[b] = {p->lq[b], o};
    return;
  }
  p->w[b].q = Mul(p->w[up].q, p->lq[b]);
  p->w[b].p = p->w[up].p + Rotate(p->w[up].q, o);
}

V ToLocal(const Xf& x, const V& v) { return Rotate(Conj(x.q), v - x.p); }

// Wraps an angle into (-pi, pi].
double Wrap(double a) {
  while (a > kPi) a -= 2 * kPi;
  while (a <= -kPi) a += 2 * kPi;
  return a;
}

// One link of a CCD step, free to turn about any axis: the turn (in the
// link's own frame) bringing direction ve toward vt by at most limit radians
// (whose cosine is limitCos). False when there is nothing to turn.
inline bool Turn(const V& ve, const V& vt, double limit, double limitCos, Q* turn) {
  const double le = Len(ve), lt = Len(vt);
  if (le < 1e-9 || lt < 1e-9) return false;
  const V axis = Cross(ve, vt);
  const double la = Len(axis), d = VDot(ve, vt);
  if (la < 1e-12 * le * lt) return false;
  if (d >= limitCos * le * lt)  // the whole turn: halfway between the two directions
    *turn = Normal({axis.x, axis.y, axis.z, le * lt + d});
  else
    *turn = AxisAngle(axis.x / la, axis.y / la, axis.z / la, limit);
  return true;
}

// The leg IK of one side; returns the ankle's distance from its target
// (units). Worked in the frame of the thigh's parent: the thigh turns by
// thigh, the knee about its x axis by bend, and the knee's and the ankle's
// offsets k and a stay.
double SolveLeg(const Rig& r, Pose* p, int base) {
  const int leg = base + SB_leg, knee = base + SB_knee, ankle = base + SB_ankle;
  const Q up = Conj(p->w[r.parent[leg]].q);
  const V target = Rotate(up, p->w[base + SB_legIk].p - p->w[leg].p);
  const V k = r.offset[knee] + p->move[knee], a = r.offset[ankle] + p->move[ankle];
  const double la = Len(a);
  Q thigh = p->lq[leg];
  // The knee keeps only its turn about x, within its range.
  double bend = std::clamp(Wrap(2 * SameAtan2(p->lq[knee].x, p->lq[knee].w)), kKneeMin, kKneeMax);
  double c = SameCos(bend), s = SameSin(bend);
  auto ankleInThigh = [&] { return k + V{a.x, a.y * c - a.z * s, a.y * s + a.z * c}; };
  auto done = [&](const V& inThigh) {
    const V d = Rotate(thigh, inThigh) - target;
    return VDot(d, d) < kIkDone * kIkDone;
  };
  for (int loop = 0; loop < kLegIkLoops; loop++) {
    if (done(ankleInThigh())) break;
    const double bendBefore = bend;
    // The knee first: about its x axis, by the whole angle between the
    // directions to the ankle and to the target, in the sense that brings
    // them together; a first step out of its range is taken the other way
    // when that one is within it.
    const V inThighTarget = Rotate(Conj(thigh), target), tk = inThighTarget - k;
    const V vt = {tk.x, tk.y * c + tk.z * s, tk.z * c - tk.y * s};
    if (a.y * a.y + a.z * a.z > 1e-18 && vt.y * vt.y + vt.z * vt.z > 1e-18) {
      const double full = SameAcos(std::clamp(VDot(a, vt) / (la * Len(vt)), -1.0, 1.0));
      double step = std::min(full, kLegIkStep);
      if (a.y * vt.z - a.z * vt.y < 0) step = -step;
      double nb = bend + step;
      if (loop == 0 && (nb < kKneeMin || nb > kKneeMax) && -nb >= kKneeMin && -nb <= kKneeMax) nb = -nb;
      bend = std::clamp(nb, kKneeMin, kKneeMax);
      c = SameCos(bend);
      s = SameSin(bend);
    }
    const V inThigh = ankleInThigh();
    if (done(inThigh)) break;
    Q turn;
    const bool turned = Turn(inThigh, inThighTarget, kLegIkStep, kLegIkStepCos, &turn);
    if (turned) thigh = Normal(Mul(thigh, turn));
    // Where neither link moves (a target out of reach, the leg straight at
    // it), the loops left would repeat this one.
    if (std::fabs(bend - bendBefore) < kIkStill && (!turned || std::fabs(turn.w) > 1 - kIkStill * kIkStill / 8)) break;
  }
  p->lq[leg] = thigh;
  p->lq[knee] = AxisAngle(1, 0, 0, bend);
  for (int b : {leg, knee, ankle, base + SB_toe}) Place(r, p, b);
  return Len(p->w[ankle].p - p->w[base + SB_legIk].p);
}

// Where the descent left the ankle off a target within reach: the knee bent
// to the target's distance, then the thigh turned onto it.
void FinishLeg(const Rig& r, Pose* p, int base) {
  const int leg = base + SB_leg, knee = base + SB_knee, ankle = base + SB_ankle;
  const V hip = p->w[leg].p, target = p->w[base + SB_legIk].p;
  const double want = Len(target - hip);
  const V k = r.offset[knee] + p->move[knee], a = r.offset[ankle] + p->move[ankle];
  // The hip-to-ankle distance grows as the knee straightens.
  double lo = kKneeMin, hi = kKneeMax;
  for (int i = 0; i < 50; i++) {
    const double mid = (lo + hi) / 2;
    (Len(k + Rotate(AxisAngle(1, 0, 0, mid), a)) < want ? lo : hi) = mid;
  }
  p->lq[knee] = AxisAngle(1, 0, 0, (lo + hi) / 2);
  Place(r, p, knee);
  Place(r, p, ankle);
  const V u = p->w[ankle].p - hip, v = target - hip;
  const V axis = Cross(u, v);
  const double la = Len(axis), lu = Len(u), lv = Len(v);
  if (la > 1e-12 && lu > 1e-9 && lv > 1e-9) {
    const double angle = SameAtan2(la, VDot(u, v));
    const Q turn = AxisAngle(axis.x / la, axis.y / la, axis.z / la, angle);
    const Q up = r.parent[leg] >= 0 ? p->w[r.parent[leg]].q : kIdentity;
    p->lq[leg] = Normal(Mul(Conj(up), Mul(turn, p->w[leg].q)));
    Place(r, p, leg);
    Place(r, p, knee);
    Place(r, p, ankle);
  }
  Place(r, p, base + SB_toe);
}

void SolveToe(const Rig& r, Pose* p, int base) {
  const int ankle = base + SB_ankle, toe = base + SB_toe;
  const V target = p->w[base + SB_toeIk].p;
  for (int loop = 0; loop < kToeIkLoops; loop++) {
    if (Len(p->w[toe].p - target) < kIkDone) break;
    Q turn;
    if (!Turn(ToLocal(p->w[ankle], p->w[toe].p), ToLocal(p->w[ankle], target), kToeIkStep, kToeIkStepCos, &turn)) break;
    p->lq[ankle] = Normal(Mul(p->lq[ankle], turn));
    Place(r, p, ankle);
    Place(r, p, toe);
  }
}

// The bones that take another's turn: 肩C takes back 肩P's, 腰キャンセル
// takes back 腰's, each D bone adds its own to its leg bone's (after the IK).
void Grant(Pose* p, int base, bool legs) {
  if (!legs) {
    p->lq[base + SB_shoulderC] = Mul(Conj(p->key[base + SB_shoulderP]), p->key[base + SB_shoulderC]);
    p->lq[base + SB_waistCancel] = Mul(Conj(p->key[MB_waist]), p->key[base + SB_waistCancel]);
    return;
  }
  p->lq[base + SB_legD] = Mul(p->lq[base + SB_leg], p->key[base + SB_legD]);
  p->lq[base + SB_kneeD] = Mul(p->lq[base + SB_knee], p->key[base + SB_kneeD]);
  p->lq[base + SB_ankleD] = Mul(p->lq[base + SB_ankle], p->key[base + SB_ankleD]);
}

void BuildRig(double armAngleDeg, Rig* r) {
  static float rest[MB_COUNT][3];
  VrmaMmdRest(armAngleDeg, rest);
  const VrmaMmdBoneDef* bones = VrmaMmdBones();
  for (int b = 0; b < MB_COUNT; b++) {
    const int up = bones[b].parent;
    r->parent[b] = up;
    V o = {rest[b][0], rest[b][1], rest[b][2]};
    if (up >= 0) o = o - V{rest[up][0], rest[up][1], rest[up][2]};
    r->offset[b] = o;
  }
  r->thigh = Len(r->offset[MB_left + SB_knee]);
  r->shin = Len(r->offset[MB_left + SB_ankle]);
  VrmaRestOffsets(armAngleDeg, r->d);
}

}  // namespace

const char* VrmaPoseStatusName(int status) {
  static const char* const kNames[kVrmaPoseStatuses] = {"done", "not-a-motion", "no-bone-keys",
                                                         "cut", "too-long", "bad-arm-angle"};
  return status >= 0 && status < kVrmaPoseStatuses ? kNames[status] : "";
}

const char* VrmaPoseStatusText(int status) {
  static const char* const kTexts[kVrmaPoseStatuses] = {
      "",
      "the header is not a motion's",
      "the motion has no bone keys",
      "the file ends inside its bone or morph keys",
      "the motion's last key lies past frame 1,080,000 (ten hours)",
      "the arm angle must be a number of degrees between -90 and 90",
  };
  return status >= 0 && status < kVrmaPoseStatuses ? kTexts[status] : "";
}

int VrmaPose(const VrmaPoseOptions& o, VrmaAnimation* out, VrmaPoseStats* st) {
  memset(st, 0, sizeof *st);
  st->worstMissFrame = -1;
  const uint8_t* data = o.data;
  const size_t size = o.size;
  if (!std::isfinite(o.armAngleDeg) || std::fabs(o.armAngleDeg) > kVrmaArmAngleMax)
    return st->status = kVrmaPoseBadArmAngle;
  VmdSections sec;
  const int found = VmdFindSections(data, size, &sec);
  if (found == kVmdSectionsNotMotion) return st->status = kVrmaPoseNotMotion;
  if (found == kVmdSectionsCut) {  // the bone and morph keys must be whole
    st->cutSection = sec.cutSection;
    st->cutDeclared = sec.cutDeclared;
    st->cutPresent = sec.cutPresent;
    return st->status = kVrmaPoseCut;
  }
  const int64_t bones = sec.boneCount, morphs = sec.morphCount;
  if (bones == 0) return st->status = kVrmaPoseNoBones;

  PrepareNames();
  static Motion m;
  for (Track& t : m.tracks) {  // emptied, its room kept
    t.recs.clear();
    t.keys.clear();
    t.cursor = 0;
  }
  for (int i = 0; i < kIks; i++) {
    m.ik[i].clear();
    m.ikCursor[i] = 0;
  }
  static Unmapped unmapped;
  memset(&unmapped, 0, sizeof unmapped);
  // Each record's track first (-1: none), to make room for each track at once.
  static std::vector<int16_t> which;
  which.resize(size_t(bones));
  uint32_t counts[2 * MB_COUNT] = {};
  uint32_t last = 0;
  for (int64_t r = 0; r < bones; r++) {
    const uint8_t* p = sec.bones + size_t(r) * kBoneRecord;
    last = std::max(last, UintAt(p + kFrameAt));
    const int n = NameLength(p, 15);
    int t = TrackOf(p, n);
    if (t < 0)
      NoteUnmapped(&unmapped, p, n, st);
    else if (!o.fold && !ViewerPlays(t))
      t = -1;
    else
      counts[t]++;
    which[size_t(r)] = int16_t(t);
  }
  for (int64_t r = 0; r < morphs; r++) last = std::max(last, UintAt(sec.morphs + size_t(r) * kVmdMorphRecord + 15));
  st->lastFrame = last;
  if (last > kVrmaMaxFrame) return st->status = kVrmaPoseTooLong;
  for (int t = 0; t < 2 * MB_COUNT; t++) {
    m.tracks[t].recs.reserve(counts[t]);
    m.tracks[t].keys.reserve(counts[t]);
  }
  for (int64_t r = 0; r < bones; r++) {
    const int t = which[size_t(r)];
    if (t < 0) continue;
    AddRecord(&m.tracks[t], sec.bones + size_t(r) * kBoneRecord, uint32_t(r));
    for (float& c : m.tracks[t].keys.back().pos)  // a coordinate that is no number stays put
      if (!std::isfinite(c)) c = 0;
  }
  for (Track& t : m.tracks) Gather(&t);
  if (sec.morphs) ReadSwitches(data, size, size_t(sec.morphs - data) + size_t(morphs) * kVmdMorphRecord, &m);
  for (auto& s : m.ik)
    std::stable_sort(s.begin(), s.end(), [](const Switch& a, const Switch& b) { return a.frame < b.frame; });

  static Rig rig;
  BuildRig(o.armAngleDeg, &rig);
  VrmaSkeleton skeleton;
  VrmaStandardSkeleton(&skeleton);
  const double reachMargin = kVrmaReachMargin / kVrmaMetresPerUnit;
  const double reachMin = std::fabs(rig.thigh - rig.shin) + reachMargin, reachMax = rig.thigh + rig.shin - reachMargin;

  const int frames = int(last) + 1;
  out->frames = frames;
  out->rotation.assign(size_t(frames) * HB_COUNT * 4, 0.0f);
  out->hips.assign(size_t(frames) * 3, 0.0f);
  if (o.joints) o.joints->assign(size_t(frames) * HB_COUNT * 3, 0.0f);
  bool written[HB_COUNT] = {};
  written[HB_hips] = true;  // it carries the position
  Q prev[HB_COUNT];
  for (Q& q : prev) q = kIdentity;
  Q d[HB_COUNT];
  int source[HB_COUNT];
  for (int h = 0; h < HB_COUNT; h++) {
    d[h] = {rig.d[h][0], rig.d[h][1], rig.d[h][2], rig.d[h][3]};
    source[h] = VrmaHumanSource(h);
  }

  static Pose pose;
  Pose* p = &pose;
  // The bones the motion keys; the others stay at rest.
  int keyed[MB_COUNT], keyedCount = 0;
  for (int b = 0; b < MB_COUNT; b++) {
    p->key[b] = kIdentity;
    p->move[b] = {0, 0, 0};
    if (!m.tracks[2 * b].keys.empty() || !m.tracks[2 * b + 1].keys.empty()) keyed[keyedCount++] = b;
  }
  for (int f = 0; f < frames; f++) {
    for (int i = 0; i < keyedCount; i++) {
      const int b = keyed[i];
      double pos[3], alias[3];
      Q qa;
      Evaluate(m.tracks[2 * b], f, &p->key[b], pos);
      if (!m.tracks[2 * b + 1].keys.empty()) {  // the alias's turn after the bone's own
        Evaluate(m.tracks[2 * b + 1], f, &qa, alias);
        p->key[b] = Mul(p->key[b], qa);
        for (int c = 0; c < 3; c++) pos[c] += alias[c];
      }
      p->move[b] = {pos[0], pos[1], pos[2]};
    }
    memcpy(p->lq, p->key, sizeof p->lq);
    Grant(p, MB_left, false);
    Grant(p, MB_right, false);
    for (int b = 0; b < MB_COUNT; b++) Place(rig, p, b);

    bool solved = false;
    for (int side = 0; side < 2; side++) {
      const int base = side ? MB_right : MB_left;
      if (!IkOn(&m, side ? kIkLegR : kIkLegL, uint32_t(f))) continue;
      solved = true;
      st->ikSolves++;
      const double reach = Len(p->w[base + SB_legIk].p - p->w[base + SB_leg].p);
      double miss = SolveLeg(rig, p, base) * kVrmaMetresPerUnit;
      if (reach < reachMin || reach > reachMax) {
        st->ikUnreachable++;
        continue;
      }
      st->worstDescentMiss = std::max(st->worstDescentMiss, miss);
      if (miss > kVrmaFinishAbove) {
        st->ikFinished++;
        FinishLeg(rig, p, base);
        miss = Len(p->w[base + SB_ankle].p - p->w[base + SB_legIk].p) * kVrmaMetresPerUnit;
      }
      if (st->worstMissFrame < 0 || miss > st->worstMiss) {
        st->worstMiss = miss;
        st->worstMissFrame = f;
      }
    }
    if (solved) st->ikFrames++;
    for (int side = 0; side < 2; side++) {
      const int base = side ? MB_right : MB_left;
      if (IkOn(&m, side ? kIkToeR : kIkToeL, uint32_t(f))) SolveToe(rig, p, base);
      Grant(p, base, true);
      for (int b : {SB_legD, SB_kneeD, SB_ankleD, SB_toeEx}) Place(rig, p, base + b);
    }

    // The humanoid: world = world_MMD in glTF axes (x) the rest offset.
    Q world[HB_COUNT];
    float* rot = &out->rotation[size_t(f) * HB_COUNT * 4];
    for (int h = 0; h < HB_COUNT; h++) {
      world[h] = Mul(ToGltf(p->w[source[h]].q), d[h]);
      const int up = kHumanBoneParent[h];
      Q local = Normal(up < 0 ? world[h] : Mul(Conj(world[up]), world[h]));
      if (Dot(local, prev[h]) < 0) local = {-local.x, -local.y, -local.z, -local.w};  // no flips between frames
      prev[h] = local;
      if (std::fabs(local.x) > 1e-6 || std::fabs(local.y) > 1e-6 || std::fabs(local.z) > 1e-6) written[h] = true;
      rot[4 * h] = float(local.x);
      rot[4 * h + 1] = float(local.y);
      rot[4 * h + 2] = float(local.z);
      rot[4 * h + 3] = float(local.w);
    }
    const V hips = ToGltf(p->w[MB_lower].p);
    out->hips[size_t(f) * 3] = float(hips.x);
    out->hips[size_t(f) * 3 + 1] = float(hips.y);
    out->hips[size_t(f) * 3 + 2] = float(hips.z);

    if (o.joints)
      for (int h = 0; h < HB_COUNT; h++) {
        const V j = ToGltf(p->w[kVrmaHumanJoint[h]].p);
        float* to = &(*o.joints)[(size_t(f) * HB_COUNT + h) * 3];
        to[0] = float(j.x);
        to[1] = float(j.y);
        to[2] = float(j.z);
      }

    // Where the humanoid's roots stand against MMD's.
    auto joint = [&](int h) {
      const float* o = skeleton.restLocal[h];
      return hips + Rotate(world[HB_hips], V{o[0], o[1], o[2]});
    };
    st->spineRootOffset = std::max(st->spineRootOffset, Len(joint(HB_spine) - ToGltf(p->w[MB_upper].p)));
    st->legRootOffset = std::max({st->legRootOffset,
                                  Len(joint(HB_leftUpperLeg) - ToGltf(p->w[MB_left + SB_legD].p)),
                                  Len(joint(HB_rightUpperLeg) - ToGltf(p->w[MB_right + SB_legD].p))});
  }
  memcpy(out->boneWritten, written, sizeof written);
  st->frames = frames;
  return st->status = kVrmaPoseDone;
}
