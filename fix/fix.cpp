#include "fix/fix.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "base/encoding.h"
#include "fix/fix_fit.h"
#include "fix/fix_play.h"
#include "vmd/rotation.h"
#include "vmd/sections.h"

using namespace fixplay;

namespace {

// Fitting aims a little inside the bound, for the players' own arithmetic.
// The bones folded into along one chain share it: the world rotation of a
// hand carries the differences of the chest, shoulder, arm and hand.
constexpr double kChainToleranceDeg = 0.0095;
// Curve evaluations and products the fitting of one chain may ask for, by
// the keys of its bones: real dances need less than 400 a key; a few
// hundredths of a second more for any chain.
constexpr int64_t kWorkPerKey = 500;
constexpr int64_t kWorkBase = 2000000;

// ---- the bones ---------------------------------------------------------

enum Bone {
  kLArm, kLArmTwist, kLWrist, kLHandTwist, kLShoulder, kLShoulderP,
  kRArm, kRArmTwist, kRWrist, kRHandTwist, kRShoulder, kRShoulderP,
  kUpper2, kUpper2Full,
  kBoneCount
};
constexpr int kSide = 6;  // right = left + kSide

const char* const kBoneUtf8[kBoneCount] = {
    "左腕", "左腕捩", "左手首", "左手捩", "左肩", "左肩P",
    "右腕", "右腕捩", "右手首", "右手捩", "右肩", "右肩P",
    "上半身2", "上半身２",
};

struct SjisName {
  char s[16];
  int n;
};
SjisName gNames[kBoneCount];
uint32_t gHeads[kBoneCount];  // the first four bytes of each name
int gHeadCount = 0;
bool gNamesReady = false;

void PrepareNames() {
  if (gNamesReady) return;
  for (int i = 0; i < kBoneCount; i++) {
    utf8tosjis(gNames[i].s, sizeof gNames[i].s, kBoneUtf8[i]);
    gNames[i].n = (int)strlen(gNames[i].s);
    uint32_t head;
    memcpy(&head, gNames[i].s, 4);  // every name has two characters or more
    if (std::find(gHeads, gHeads + gHeadCount, head) == gHeads + gHeadCount) gHeads[gHeadCount++] = head;
  }
  gNamesReady = true;
}

// Which of the bones a record's name field names (up to its first NUL, at
// most 15 bytes, compared byte for byte as the reader does), or -1.
int WhichBone(const uint8_t* rec) {
  uint32_t head;
  memcpy(&head, rec, 4);
  if (std::find(gHeads, gHeads + gHeadCount, head) == gHeads + gHeadCount) return -1;
  const int n = NameLength(rec, 15);
  for (int i = 0; i < kBoneCount; i++)
    if (gNames[i].n == n && memcmp(gNames[i].s, rec, size_t(n)) == 0) return i;
  return -1;
}

int64_t gKeysLeft = 0;  // keys the bones folded into may still get (the size bound)

// ---- the chains -----------------------------------------------------------

struct Factor {
  int bone;
  bool inverse;
};

// A bone folded into: the product of its factors (itself among them).
struct Target {
  int bone;
  int n;
  Factor f[3];
  uint32_t folds;  // the folds feeding it
  // The bones folded into before it along its chain (the chest, the
  // shoulder, the arm): their differences add up with its own in the world
  // rotations further out.
  int prior[3];
  int priors;
};

struct Motion {
  const uint8_t* bones;  // the first bone record
  Track tracks[kBoneCount];
};

Dq ProductAt(const Motion& m, const Target& g, int64_t f) {
  Dq p = kIdentity;
  for (int i = 0; i < g.n; i++) {
    const Dq q = RotationAt(m.tracks[g.f[i].bone], f);
    p = Mul(p, g.f[i].inverse ? Conj(q) : q);
  }
  return p;
}

// What one factor does between two neighbouring frames a < b of the chain.
struct Span {
  bool changing;
  bool whole;       // [a, b] is that factor's whole key interval
  const Key* from;  // its keys around the interval (when changing)
  const Key* to;
};

Span SpanOf(const Track& t, int64_t a, int64_t b) {
  Span s = {false, false, nullptr, nullptr};
  const int i = LastAtOrBefore(t, a);
  if (i < 0 || i + 1 >= (int)t.keys.size()) return s;
  s.from = &t.keys[i];
  s.to = &t.keys[i + 1];
  s.changing = !SameRotation(s.from->q, s.to->q);
  s.whole = s.from->frame == a && s.to->frame == b;
  return s;
}

// ---- building a bone folded into ------------------------------------------

struct OutKey {
  uint8_t rec[kBoneRecord];
};

// A frame where a rebuilt bone turns differently from the motion's product,
// and by how much (degrees, rounded up); frames in order.
struct Miss {
  int64_t frame;
  float deg;
};
static_assert(sizeof(OutKey) == kBoneRecord, "keys are laid out as the records they are");

struct Builder {
  const Motion* m;
  const Target* g;
  const uint8_t* name;  // 15-byte name field
  std::vector<OutKey>* out;
  int64_t added;
  std::vector<Dq> P;
  std::vector<Band> bands;
  std::vector<double> ct;  // per frame of the interval: cos of half its bound
  std::vector<double> ha;  // and half its bound (radians)
  std::vector<Miss>* miss;  // the differences this bone's copy makes
  const std::vector<Miss>* prior[3];  // those of the bones before it on its chain
};

void PutFloat(uint8_t* p, float f) { memcpy(p, &f, 4); }

// The interpolation bytes of the key ending [a, b], whose rotation follows
// curve r; rawRot: the 64 bytes of the factor key whose curve that is, when
// it is kept whole.
void MakeInterp(const Track& t, int64_t a, int64_t b, const uint8_t r[4], const uint8_t* rawRot,
                uint8_t ip[64]) {
  uint8_t row[16];
  for (int c = 0; c < 3; c++) {
    row[c] = row[4 + c] = 20;
    row[8 + c] = row[12 + c] = 107;
  }
  const int i = LastAtOrBefore(t, a);
  const bool inside = i >= 0 && i + 1 < (int)t.keys.size();
  bool still = true;
  if (inside) {
    const Key& k0 = t.keys[i];
    const Key& k1 = t.keys[i + 1];
    for (int c = 0; c < 3; c++) {
      if (k0.pos[c] == k1.pos[c]) continue;
      still = false;
      const uint8_t cur[4] = {k1.ip[c], k1.ip[4 + c], k1.ip[8 + c], k1.ip[12 + c]};
      uint8_t sub[4];
      if (k0.frame == a && k1.frame == b) {
        memcpy(sub, cur, 4);
      } else {
        const double span = double(int64_t(k1.frame) - k0.frame);
        Subdivide(cur, double(a - k0.frame) / span, double(b - k0.frame) / span, sub);
      }
      row[c] = sub[0];
      row[4 + c] = sub[1];
      row[8 + c] = sub[2];
      row[12 + c] = sub[3];
    }
    if (k0.frame == a && k1.frame == b && rawRot == k1.ip) {
      memcpy(ip, k1.ip, 64);  // the bone's own key interval, its own curves
      return;
    }
  }
  if (still && rawRot) {
    memcpy(ip, rawRot, 64);
    return;
  }
  row[3] = r[0];
  row[7] = r[1];
  row[11] = r[2];
  row[15] = r[3];
  LayOut(row, ip);
}

bool IsIdentity(const Dq& q) { return q.x == 0 && q.y == 0 && q.z == 0; }

// One key of the bone folded into at frame f, rotation q, interpolation ip.
void AddKey(Builder& bd, int64_t f, const Dq& q, const uint8_t ip[64]) {
  const Track& t = bd.m->tracks[bd.g->bone];
  gKeysLeft--;
  OutKey& k = bd.out->emplace_back();
  const int32_t frame = int32_t(f);
  const int i = LastAtOrBefore(t, f);
  const bool own = i >= 0 && t.keys[i].frame == f;
  if (own) {
    memcpy(k.rec, bd.m->bones + size_t(t.keys[i].rec) * kBoneRecord, kBoneRecord);
  } else {
    memcpy(k.rec, bd.name, 15);
    memcpy(k.rec + kFrameAt, &frame, 4);
    float pos[3];
    PositionAt(t, f, pos);
    for (int c = 0; c < 3; c++) PutFloat(k.rec + kPosAt + 4 * c, pos[c]);
  }
  // Where every other factor stands still at the identity, the bone's own
  // rotation stays as stored.
  bool keep = own;
  for (int j = 0; keep && j < bd.g->n; j++)
    if (bd.g->f[j].bone != bd.g->bone && !IsIdentity(RotationAt(bd.m->tracks[bd.g->f[j].bone], f)))
      keep = false;
  if (!keep) {
    const Dq n = Normal(q);
    PutFloat(k.rec + kRotAt, float(n.x));
    PutFloat(k.rec + kRotAt + 4, float(n.y));
    PutFloat(k.rec + kRotAt + 8, float(n.z));
    PutFloat(k.rec + kRotAt + 12, float(n.w));
  }
  memcpy(k.rec + kInterpAt, ip, 64);
}

// Keys for [a, b] where the product follows no single curve: keys at
// integer frames, each placed as far on as the bound allows, with fitted
// curves. hint: the changing factor's keys when only one changes.
int FillFree(Builder& bd, int64_t a, int64_t b, const Span* hint) {
  const Track& t = bd.m->tracks[bd.g->bone];
  const int L = int(b - a);
  bd.P.resize(size_t(L) + 1);
  gWork += L + 1;
  // No factor has a key inside (a, b): each holds or follows one key
  // interval of its own throughout, found once.
  struct Along {
    bool inverse;
    const Key* k0;  // null: it holds q
    const Key* k1;
    Dq q;
  } along[3];
  for (int j = 0; j < bd.g->n; j++) {
    const Track& ft = bd.m->tracks[bd.g->f[j].bone];
    Along& al = along[j];
    al = {bd.g->f[j].inverse, nullptr, nullptr, kIdentity};
    if (ft.keys.empty()) continue;
    const int i = LastAtOrBefore(ft, a);
    if (i < 0 || i + 1 >= (int)ft.keys.size()) {
      al.q = ft.keys[i < 0 ? 0 : i].q;
    } else {
      al.k0 = &ft.keys[i];
      al.k1 = &ft.keys[i + 1];
    }
  }
  for (int i = 0; i <= L; i++) {
    const int64_t f = a + i;
    Dq q = kIdentity;
    for (int j = 0; j < bd.g->n; j++) {
      const Along& al = along[j];
      Dq r = al.q;
      if (al.k0) {  // as RotationAt, without looking the keys up
        const Key& k0 = *al.k0;
        const Key& k1 = *al.k1;
        if (f == k1.frame) {
          r = k1.q;
        } else if (f == k0.frame) {
          r = k0.q;
        } else {
          const double u = double(f - k0.frame) / double(int64_t(k1.frame) - k0.frame);
          const double w = CurveAt(k1.rc[0], k1.rc[1], k1.rc[2], k1.rc[3], u);
          if (k0.th == 0) {
            r = Slerp(k0.q, k1.q, w);
          } else {
            const double c = std::cos(w * k0.th), sn = std::sin(w * k0.th);
            r = {k0.q.x * c + k0.v.x * sn, k0.q.y * c + k0.v.y * sn, k0.q.z * c + k0.v.z * sn,
                 k0.q.w * c + k0.v.w * sn};
          }
        }
      }
      q = Mul(q, al.inverse ? Conj(r) : r);
    }
    if (i > 0 && Dot(q, bd.P[size_t(i) - 1]) < 0) q = Neg(q);
    bd.P[size_t(i)] = q;
  }
  // The bound at each frame: what the bones before it on the chain left.
  bd.ct.assign(size_t(L) + 1, kChainToleranceDeg);
  for (int j = 0; j < bd.g->priors; j++) {
    const std::vector<Miss>& pm = *bd.prior[j];
    auto it = std::lower_bound(pm.begin(), pm.end(), a, [](const Miss& x, int64_t f) { return x.frame < f; });
    for (; it != pm.end() && it->frame <= b; ++it) bd.ct[size_t(it->frame - a)] -= it->deg;
  }
  bd.ha.resize(size_t(L) + 1);
  for (int i = 0; i <= L; i++) {
    bd.ha[size_t(i)] = std::max(0.0, bd.ct[size_t(i)]) * kPi / 360.0;
    bd.ct[size_t(i)] = std::cos(bd.ha[size_t(i)]);
  }
  const double* ct = bd.ct.data();
  const double* ha = bd.ha.data();
  auto hintFor = [&](int s, int e, uint8_t h[4]) -> const uint8_t* {
    if (!hint) return nullptr;
    const Key& k1 = *hint->to;
    const double span = double(int64_t(k1.frame) - hint->from->frame);
    const uint8_t cur[4] = {k1.ip[3], k1.ip[7], k1.ip[11], k1.ip[15]};
    Subdivide(cur, double(a + s - hint->from->frame) / span, double(a + e - hint->from->frame) / span,
              h);
    return h;
  };
  // The piece's start key (the value the copy holds at s) and the value of
  // its end key. An end key may lie off the product by what the bound leaves
  // at its frame, tilted towards the frame between that is furthest off the
  // arc: a piece the product bends away from can then reach further (the
  // interval's last key stays exact: the next interval starts from it).
  Dq K = bd.P[0];
  auto tilted = [&](int s, int e, Dq* q1) {
    // Tried for pieces of two frames, the most: longer ones gain little
    // more for much more work.
    if (e - s != 2 || e >= L) return false;
    const int i = LastAtOrBefore(t, a + e);
    if (i >= 0 && t.keys[i].frame == a + e) return false;  // a key of the bone's own stays as it is
    const Dq& E = bd.P[size_t(e)];
    const double d = Dot(K, E);
    Dq v = {E.x - d * K.x, E.y - d * K.y, E.z - d * K.z, E.w - d * K.w};
    const double vn = std::sqrt(Dot(v, v));
    if (d <= 0 || vn < 1e-12) return false;
    v = {v.x / vn, v.y / vn, v.z / vn, v.w / vn};
    int m = -1;
    double rm = 2;
    for (int f = s + 1; f < e; f++) {
      const double c1 = Dot(bd.P[size_t(f)], K), c2 = Dot(bd.P[size_t(f)], v);
      const double r = c1 * c1 + c2 * c2;
      if (r < rm) rm = r, m = f;
    }
    // Moving the end by `room` moves the arc at m by about that times m's
    // share of the piece: too little for a frame that far off.
    const double room = 0.999 * ha[e];
    const double off = std::sqrt(std::max(0.0, 1 - rm));  // the sine of the angle off
    if (room <= 0 || off > 1.1 * (room * double(m - s) / double(e - s) + ha[m])) return false;
    const Dq& M = bd.P[size_t(m)];
    const double dm = Dot(M, K);
    Dq u = {M.x - dm * K.x, M.y - dm * K.y, M.z - dm * K.z, M.w - dm * K.w};
    const double un = std::sqrt(Dot(u, u));
    if (un < 1e-12) return false;
    u = {u.x / un, u.y / un, u.z / un, u.w / un};
    // The point of the great circle through K and M nearest E.
    const double ek = Dot(E, K), eu = Dot(E, u);
    const Dq S = Normal({ek * K.x + eu * u.x, ek * K.y + eu * u.y, ek * K.z + eu * u.z, ek * K.w + eu * u.w});
    const double alpha = std::acos(std::min(1.0, Dot(S, E)));
    if (alpha < 1e-12) return false;
    *q1 = alpha <= room ? S : Normal(Slerp(E, S, room / alpha));
    return true;
  };
  int s = 0;
  while (s < L) {
    if (gWork > gWorkMax) return kRefuseWork;
    if (gKeysLeft <= 0) return kRefuseTooLarge;
    uint8_t curve[4], c[4], h[4];
    int good = s + 1;
    Dq endQ = bd.P[size_t(good)], q1;
    bool tilt = false, tiltedEnd = false;
    // Does the piece s..e fit, with an end key on the product or tilted?
    auto fits = [&](int e) {
      q1 = bd.P[size_t(e)];
      tilt = false;
      if (PieceFits(bd.P, s, e, K, q1, ct, hintFor(s, e, h), c, &bd.bands)) return true;
      tilt = true;
      return tilted(s, e, &q1) && PieceFits(bd.P, s, e, K, q1, ct, hintFor(s, e, h), c, &bd.bands);
    };
    memcpy(curve, kLine, 4);
    // Gallop, then halve between the last piece that fits and the first that does not.
    int bad = -1;
    for (int len = 2;; len *= 2) {
      const int e = std::min(L, s + len);
      if (fits(e)) {
        good = e;
        endQ = q1;
        tiltedEnd = tilt;
        memcpy(curve, c, 4);
        if (e == L) break;
      } else {
        bad = e;
        break;
      }
    }
    while (bad > good + 1) {
      const int e = good + (bad - good) / 2;
      if (fits(e)) {
        good = e;
        endQ = q1;
        tiltedEnd = tilt;
        memcpy(curve, c, 4);
      } else {
        bad = e;
      }
    }
    // What the piece misses by, for the bones after it on the chain.
    if (bd.miss) {
      for (int f = s + 1; f < good; f++) {
        const double w = CurveAt(curve[0], curve[1], curve[2], curve[3], double(f - s) / double(good - s));
        const double e = AngleDeg(Slerp(K, endQ, w), bd.P[size_t(f)]);
        if (e > 0) bd.miss->push_back({a + f, float(e * (1 + 1e-5) + 1e-9)});
      }
      if (tiltedEnd) {
        const double e = AngleDeg(endQ, bd.P[size_t(good)]);
        if (e > 0) bd.miss->push_back({a + good, float(e * (1 + 1e-5) + 1e-9)});
      }
    }
    uint8_t ip[64];
    MakeInterp(t, a + s, a + good, curve, nullptr, ip);
    AddKey(bd, a + good, endQ, ip);
    if (good < L) bd.added++;
    K = endQ;
    s = good;
  }
  return kRefuseNone;
}

// What a refusal names: the bones (turning, or holding the key) and frames.
struct Why {
  int bone[3];
  int bones;
  int64_t a, b;
};
Why gWhy;

int Refuse(int refusal, int bone, int64_t a, int64_t b) {
  gWhy = {{bone, 0, 0}, bone < 0 ? 0 : 1, a, b};
  return refusal;
}

bool Above127(const uint8_t c[4]) { return c[0] > 127 || c[1] > 127 || c[2] > 127 || c[3] > 127; }

// Players differ on a curve with a byte above 127 (its x may turn back), so
// the fold never evaluates one between its keys: the bone's own position
// curves where a key of the chain splits its key interval [a, b] (kept
// whole, they need no evaluation).
int SplitsOddPosition(const Track& t, int bone, int64_t a, int64_t b) {
  const int i = LastAtOrBefore(t, a);
  if (i < 0 || i + 1 >= (int)t.keys.size()) return kRefuseNone;
  const Key& k0 = t.keys[i];
  const Key& k1 = t.keys[i + 1];
  if (k0.frame == a && k1.frame == b) return kRefuseNone;
  for (int c = 0; c < 3; c++) {
    const uint8_t cur[4] = {k1.ip[c], k1.ip[4 + c], k1.ip[8 + c], k1.ip[12 + c]};
    if (k0.pos[c] != k1.pos[c] && Above127(cur)) return Refuse(kRefuseCurveBytes, bone, k0.frame, k1.frame);
  }
  return kRefuseNone;
}

// The keys of one bone folded into, by frame. Returns a FixRefusal (what it
// names in gWhy).
int BuildTarget(const Motion& m, const Target& g, const std::vector<Miss>* const prior[3],
                std::vector<Miss>* miss, std::vector<OutKey>* out, int64_t* added) {
  out->clear();
  miss->clear();
  *added = 0;
  for (int i = 0; i < g.n; i++)
    if (m.tracks[g.f[i].bone].bad) return Refuse(kRefuseBadRotation, g.f[i].bone, 0, 0);
  // Every frame where a bone of the chain has a key (each list is sorted).
  std::vector<int64_t> frames, merged;
  for (int i = 0; i < g.n; i++) {
    const std::vector<Key>& keys = m.tracks[g.f[i].bone].keys;
    merged.clear();
    merged.reserve(frames.size() + keys.size());
    size_t a = 0, b = 0;
    while (a < frames.size() || b < keys.size()) {
      const int64_t v = b == keys.size() || (a < frames.size() && frames[a] <= keys[b].frame)
                            ? frames[a++] : keys[b++].frame;
      if (merged.empty() || merged.back() != v) merged.push_back(v);
    }
    frames.swap(merged);
  }
  if (frames.empty()) return kRefuseNone;

  const Track& t = m.tracks[g.bone];
  uint8_t name[15] = {};
  if (!t.recs.empty())
    memcpy(name, m.bones + size_t(t.recs[0]) * kBoneRecord, 15);
  else
    memcpy(name, gNames[g.bone].s, size_t(gNames[g.bone].n));
  // At most one key a frame; where two bones turn at once, about one in two.
  out->reserve(size_t(std::min<int64_t>(frames.back() - frames.front() + 1, int64_t(frames.size()) * 6)));
  Builder bd = {&m, &g, name, out, 0, {}, {}, {}, {}, miss, {prior[0], prior[1], prior[2]}};

  {
    uint8_t ip[64];
    const int i = LastAtOrBefore(t, frames[0]);
    if (i >= 0 && t.keys[i].frame == frames[0]) {
      memcpy(ip, t.keys[i].ip, 64);
    } else {
      uint8_t row[16];
      for (int c = 0; c < 4; c++) {
        row[c] = row[4 + c] = 20;
        row[8 + c] = row[12 + c] = 107;
      }
      LayOut(row, ip);
    }
    AddKey(bd, frames[0], ProductAt(m, g, frames[0]), ip);
  }
  for (size_t j = 1; j < frames.size(); j++) {
    if (gKeysLeft <= 0) return Refuse(kRefuseTooLarge, -1, 0, 0);
    const int64_t a = frames[j - 1], b = frames[j];
    int changing = 0;
    Span one = {};
    int turning[3];
    for (int i = 0; i < g.n; i++) {
      const Span s = SpanOf(m.tracks[g.f[i].bone], a, b);
      if (!s.changing) continue;
      turning[changing++] = i;
      one = s;
    }
    if (const int r = SplitsOddPosition(t, g.bone, a, b)) return r;
    uint8_t ip[64];
    if (changing == 0) {
      MakeInterp(t, a, b, kLine, nullptr, ip);
      AddKey(bd, b, ProductAt(m, g, b), ip);
    } else if (changing == 1 && one.whole) {
      // A constant factor on either side of a slerp commutes with it: the
      // product follows that factor's own curve.
      const uint8_t r[4] = {one.to->ip[3], one.to->ip[7], one.to->ip[11], one.to->ip[15]};
      MakeInterp(t, a, b, r, one.to->ip, ip);
      AddKey(bd, b, ProductAt(m, g, b), ip);
    } else {
      // The turning bones' curves are evaluated between their keys and fitted anew.
      for (int k = 0; k < changing; k++) {
        const Span s = SpanOf(m.tracks[g.f[turning[k]].bone], a, b);
        if (Above127(s.to->rc)) return Refuse(kRefuseCurveBytes, g.f[turning[k]].bone, s.from->frame, s.to->frame);
      }
      if (b - a > kFixMaxSpan) {
        Refuse(kRefuseFarApart, -1, a, b);
        for (int k = 0; k < changing; k++) gWhy.bone[gWhy.bones++] = g.f[turning[k]].bone;
        return kRefuseFarApart;
      }
      const int r = FillFree(bd, a, b, changing == 1 ? &one : nullptr);
      if (r != kRefuseNone) return Refuse(r, -1, 0, 0);
    }
  }
  *added = bd.added;
  return kRefuseNone;
}

}  // namespace

// ---- the public face ----------------------------------------------------------

const char* FixStatusName(int status) {
  static const char* const kNames[kFixStatuses] = {"fixed", "nothing-to-fix", "not-a-motion", "cut",
                                                    "refused"};
  return status >= 0 && status < kFixStatuses ? kNames[status] : "";
}

const char* FixFoldSource(int fold) {
  static const char* const kNames[kFolds] = {"左腕捩", "左手捩", "右腕捩", "右手捩",
                                             "左肩P",  "右肩P",  "上半身２"};
  return fold >= 0 && fold < kFolds ? kNames[fold] : "";
}

const char* FixFoldTargets(int fold) {
  static const char* const kNames[kFolds] = {"左腕", "左手首", "右腕", "右手首",
                                             "左肩 左腕", "右肩 右腕", "上半身2"};
  return fold >= 0 && fold < kFolds ? kNames[fold] : "";
}

const char* FixRefusalText(int refusal) {
  static const char* const kTexts[kRefusals] = {
      "",
      "a key of the chain holds a rotation or position that is not a number",
      "keys more than 65536 frames apart",
      "the curves would take more work than the keys of the chain may ask for",
      "the copy would be more than twice the motion's size",
      "a key the fold would split has curve bytes above 127 (players differ on such curves)",
  };
  return refusal >= 0 && refusal < kRefusals ? kTexts[refusal] : "";
}

namespace {

// The bone each fold removes, and which folds a bone's rebuilding needs.
const int kFoldBone[kFolds] = {kLArmTwist, kLHandTwist, kRArmTwist, kRHandTwist,
                               kLShoulderP, kRShoulderP, kUpper2Full};

bool Calls(const Track& t) { return t.driven && t.maxrot > 0.01; }

// The folds that shape the keys of a bone folded into: its own and those of
// the bones before it on its chain (the chest; 肩, then 腕, then 手首).
uint32_t FoldsShaping(int bone) {
  const int o = bone >= kSide && bone != kUpper2 ? kSide : 0;
  const int side = o ? 1 : 0;
  const uint32_t shP = 1u << (side ? kFoldRShoulderP : kFoldLShoulderP);
  const uint32_t armTw = 1u << (side ? kFoldRArmTwist : kFoldLArmTwist);
  const uint32_t handTw = 1u << (side ? kFoldRHandTwist : kFoldLHandTwist);
  const uint32_t chest = 1u << kFoldUpper2Full;
  if (bone == kUpper2) return chest;
  if (bone == kLShoulder + o) return chest | shP;
  if (bone == kLArm + o) return chest | shP | armTw;
  return chest | shP | armTw | handTw;
}

// The bones folded into, for the folds in `folds`.
int Targets(uint32_t folds, Target* g) {
  int n = 0;
  for (int side = 0; side < 2; side++) {
    const int o = side * kSide;
    const uint32_t armTw = 1u << (side ? kFoldRArmTwist : kFoldLArmTwist);
    const uint32_t handTw = 1u << (side ? kFoldRHandTwist : kFoldLHandTwist);
    const uint32_t shP = 1u << (side ? kFoldRShoulderP : kFoldLShoulderP);
    if (folds & shP) g[n++] = {kLShoulder + o, 2, {{kLShoulderP + o, false}, {kLShoulder + o, false}}, shP, {}, 0};
    if (folds & (shP | armTw)) {
      Target t = {kLArm + o, 0, {}, folds & (shP | armTw), {}, 0};
      if (folds & shP) t.f[t.n++] = {kLShoulderP + o, true};
      t.f[t.n++] = {kLArm + o, false};
      if (folds & armTw) t.f[t.n++] = {kLArmTwist + o, false};
      g[n++] = t;
    }
    if (folds & handTw) g[n++] = {kLWrist + o, 2, {{kLHandTwist + o, false}, {kLWrist + o, false}}, handTw, {}, 0};
  }
  const bool chest = folds & (1u << kFoldUpper2Full);
  if (chest) g[n++] = {kUpper2, 2, {{kUpper2, false}, {kUpper2Full, false}}, 1u << kFoldUpper2Full, {}, 0};
  // The chains: the chest (on both), then each side's bones in the order
  // listed. A bone is fitted, frame by frame, to what of the bound the bones
  // before it left: most of their frames are keys that miss by nothing, and
  // giving each bone all that is left makes fewer keys than any even share.
  for (int i = 0; i < n; i++) {
    g[i].priors = 0;
    if (g[i].bone == kUpper2) continue;
    const int side = g[i].bone >= kSide;
    if (chest) g[i].prior[g[i].priors++] = n - 1;
    for (int j = 0; j < i; j++)
      if (g[j].bone != kUpper2 && (g[j].bone >= kSide) == side) g[i].prior[g[i].priors++] = j;
  }
  return n;
}

void PutInt(uint8_t* p, int32_t v) { memcpy(p, &v, 4); }

// Refuses a fold, saying why of this motion with what gWhy names.
void Say(FixResult* r, int fold, int refusal) {
  r->refusal[fold] = refusal;
  char* out = r->reason[fold];
  const size_t n = sizeof r->reason[fold];
  const Why& w = gWhy;
  const long long a = w.a, b = w.b;
  if (refusal == kRefuseBadRotation && w.bones) {
    snprintf(out, n, "a key of %s holds a rotation or position that is not a number", kBoneUtf8[w.bone[0]]);
  } else if (refusal == kRefuseFarApart && w.bones) {
    char turning[64] = "";
    for (int i = 0; i < w.bones; i++)
      snprintf(turning + strlen(turning), sizeof turning - strlen(turning), "%s%s",
               i == 0 ? "" : i + 1 == w.bones ? " and " : ", ", kBoneUtf8[w.bone[i]]);
    snprintf(out, n, "keys more than 65536 frames apart: %s %s between frames %lld and %lld, where the chain has no key",
             turning, w.bones > 1 ? "turn" : "turns", a, b);
  } else if (refusal == kRefuseCurveBytes && w.bones) {
    snprintf(out, n,
             "the key of %s at frame %lld has curve bytes above 127 and the fold would split it "
             "(players differ on such curves)",
             kBoneUtf8[w.bone[0]], b);
  } else {
    snprintf(out, n, "%s", FixRefusalText(refusal));
  }
}

}  // namespace

namespace {

struct Place {
  uint32_t at;  // the record before which the rebuilt bone's keys go
  int bone;
};

// What FixPlan decided, for FixEmit.
struct Plan {
  bool ready = false;
  const uint8_t* data = nullptr;
  size_t size = 0, boneEnd = 0;
  int64_t declared = 0, keysOut = 0;
  std::vector<uint8_t> gone;  // per bone record: it leaves its place
  int n = 0;
  Place places[7];
  // By the bone folded into: its keys, the differences it makes, the keys
  // added, and the folds it was built for (0: none yet).
  std::vector<OutKey> built[kBoneCount];
  std::vector<Miss> miss[kBoneCount];
  int64_t added[kBoneCount];
  uint32_t builtFor[kBoneCount];
};
Plan gPlan;

}  // namespace

int FixPlan(const uint8_t* data, size_t size, FixResult* r) {
  gPlan.ready = false;
  memset(r, 0, sizeof *r);
  r->bytesIn = int64_t(size);
  PrepareNames();
  // The sections that the copy rewrites or must know whole: the bone keys
  // must be whole to know what to fold; a cut in the morph keys matters only
  // to a copy.
  VmdSections sec;
  const int found = VmdFindSections(data, size, &sec);
  if (found == kVmdSectionsNotMotion) return r->status = kFixNotMotion;
  if (found == kVmdSectionsCut) {
    r->cutSection = sec.cutSection;
    r->cutDeclared = sec.cutDeclared;
    r->cutPresent = sec.cutPresent;
    if (sec.cutSection == 1) return r->status = kFixCut;
  }
  if (!sec.bones) return r->status = kFixNothing;  // no bone keys at all
  const int64_t declared = sec.boneCount;
  const size_t boneEnd = kBoneStart + size_t(declared) * kBoneRecord;

  static Motion m;
  m.bones = sec.bones;
  for (Track& t : m.tracks) t = Track();
  // The bones of the records first, to make room for each track at once.
  static std::vector<uint8_t> which;
  which.resize(size_t(declared));
  uint32_t counts[kBoneCount] = {};
  for (uint32_t i = 0; i < uint32_t(declared); i++) {
    const int b = WhichBone(m.bones + size_t(i) * kBoneRecord);
    which[i] = uint8_t(b < 0 ? kBoneCount : b);
    if (b >= 0) counts[b]++;
  }
  for (int b = 0; b < kBoneCount; b++) {
    m.tracks[b].recs.reserve(counts[b]);
    m.tracks[b].keys.reserve(counts[b]);
  }
  for (uint32_t i = 0; i < uint32_t(declared); i++) {
    const int b = which[i];
    if (b == kBoneCount) continue;
    const uint8_t* p = m.bones + size_t(i) * kBoneRecord;
    Track& t = m.tracks[b];
    AddRecord(&t, p, i);
    // As the reader judges a key: moved, and the length of the vector part
    // of the rotation players turn by.
    const float px = FloatAt(p + kPosAt), py = FloatAt(p + kPosAt + 4), pz = FloatAt(p + kPosAt + 8);
    const Quat q = qplayed({FloatAt(p + kRotAt), FloatAt(p + kRotAt + 4), FloatAt(p + kRotAt + 8),
                            FloatAt(p + kRotAt + 12)});
    if (std::fabs(q.x) > 0.01f || std::fabs(q.y) > 0.01f || std::fabs(q.z) > 0.01f || std::fabs(px) > 0.01f ||
        std::fabs(py) > 0.01f || std::fabs(pz) > 0.01f)
      t.driven = true;
    const float len = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z);
    if (len > t.maxrot) t.maxrot = len;
  }

  // A twist or shoulder P bone that turns at all: a VRM model has no such
  // bone, so any turn it keeps is lost. The lone full-width 上半身２ as the
  // report finds it.
  for (int f = 0; f < kFolds; f++) {
    if (f == kFoldUpper2Full) {
      if (Calls(m.tracks[kUpper2Full]) && !Calls(m.tracks[kUpper2])) r->wanted |= 1u << f;
    } else if (m.tracks[kFoldBone[f]].turns) {
      r->wanted |= 1u << f;
    }
  }
  if (!r->wanted) return r->status = kFixNothing;
  if (r->cutSection) return r->status = kFixCut;
  for (Track& t : m.tracks) Gather(&t);

  // Build the bones folded into; a chain that cannot be built gives up the
  // folds that feed it, and the rest is built again without them (a bone
  // built before for the same folds shaping it is the same again and kept).
  // Each chain may ask for work by its own keys, counted afresh each time it
  // is built: no chain's work is spent on another.
  uint32_t folds = r->wanted;
  Target g[7];
  for (uint32_t& b : gPlan.builtFor) b = 0;
  int n = 0;
  for (int round = 0; round < kFolds + 1; round++) {
    n = Targets(folds, g);
    bool again = false;
    r->addedKeys = 0;
    // No copy has more keys than twice the motion's size holds.
    gKeysLeft = (2 * int64_t(size) + 65536) / int64_t(kBoneRecord);
    // The chest first: the bones of both arms are fitted to what it leaves.
    for (int k = 0; k < n && !again; k++) {
      const Target& t = g[g[n - 1].bone == kUpper2 ? (k == 0 ? n - 1 : k - 1) : k];
      const uint32_t builtFor = folds & FoldsShaping(t.bone);
      int why = kRefuseNone;
      gWhy = {};
      if (gPlan.builtFor[t.bone] == builtFor) {
        gKeysLeft -= int64_t(gPlan.built[t.bone].size());
        if (gKeysLeft < 0) why = kRefuseTooLarge;
      } else {
        const std::vector<Miss>* prior[3] = {nullptr, nullptr, nullptr};
        for (int j = 0; j < t.priors; j++) prior[j] = &gPlan.miss[g[t.prior[j]].bone];
        int64_t keys = 0;
        for (int j = 0; j < t.n; j++) keys += int64_t(m.tracks[t.f[j].bone].keys.size());
        gWork = 0;
        gWorkMax = kWorkBase + kWorkPerKey * keys;
        why = BuildTarget(m, t, prior, &gPlan.miss[t.bone], &gPlan.built[t.bone], &gPlan.added[t.bone]);
        gPlan.builtFor[t.bone] = why == kRefuseNone ? builtFor : 0;
      }
      r->addedKeys += gPlan.added[t.bone];
      if (why == kRefuseNone) continue;
      for (int f = 0; f < kFolds; f++)
        if (t.folds & (1u << f)) Say(r, f, why);
      folds &= ~t.folds;
      again = true;
    }
    if (!again) break;
  }

  // Records that leave their place: those of the folded bones and of the
  // bones folded into.
  std::vector<uint8_t>& gone = gPlan.gone;
  gone.assign(size_t(declared), 0);
  int64_t keysOut = declared;
  auto leave = [&](const Track& t) {
    for (uint32_t rec : t.recs) {
      keysOut -= 1 - gone[rec];
      gone[rec] = 1;
    }
  };
  for (int f = 0; f < kFolds; f++)
    if (folds & (1u << f)) leave(m.tracks[kFoldBone[f]]);
  Place* places = gPlan.places;
  for (int i = 0; i < n; i++) {
    const Track& t = m.tracks[g[i].bone];
    leave(t);
    uint32_t at = UINT32_MAX;
    for (int j = 0; j < g[i].n; j++) {
      const Track& s = m.tracks[g[i].f[j].bone];
      if (!s.recs.empty()) at = std::min(at, s.recs[0]);
    }
    if (!t.recs.empty()) at = t.recs[0];
    places[i] = {at, g[i].bone};
  }
  for (int i = 0; i < n; i++) keysOut += int64_t(gPlan.built[g[i].bone].size());
  std::sort(places, places + n, [&](const Place& a, const Place& b) {
    return a.at != b.at ? a.at < b.at : a.bone < b.bone;
  });

  const int64_t outSize = int64_t(size) + (keysOut - declared) * int64_t(kBoneRecord);
  if (folds && outSize > 2 * int64_t(size) + 65536) {
    for (int f = 0; f < kFolds; f++)
      if (folds & (1u << f)) {
        gWhy = {};
        Say(r, f, kRefuseTooLarge);
      }
    folds = 0;
  }
  r->folded = folds;
  if (!folds) return r->status = kFixRefused;

  r->bytesOut = outSize;
  r->boneKeysBefore = declared;
  r->boneKeysAfter = keysOut;
  // The bones whose keys changed: those folded into, then those folded away.
  for (int i = 0; i < n; i++) {
    FixBone& b = r->bones[r->boneCount++];
    snprintf(b.name, sizeof b.name, "%s", kBoneUtf8[g[i].bone]);
    b.keysBefore = int32_t(m.tracks[g[i].bone].recs.size());
    b.keysAfter = int32_t(gPlan.built[g[i].bone].size());
  }
  for (int f = 0; f < kFolds; f++) {
    if (!(folds & (1u << f))) continue;
    FixBone& b = r->bones[r->boneCount++];
    snprintf(b.name, sizeof b.name, "%s", kBoneUtf8[kFoldBone[f]]);
    b.keysBefore = int32_t(m.tracks[kFoldBone[f]].recs.size());
    b.folded = 1;
  }
  gPlan.ready = true;
  gPlan.data = data;
  gPlan.size = size;
  gPlan.boneEnd = boneEnd;
  gPlan.declared = declared;
  gPlan.keysOut = keysOut;
  gPlan.n = n;
  return r->status = kFixDone;
}

int FixEmit(FixSink sink, void* ctx) {
  // The copy: header and model name, the new count, the bone records in
  // their order with the rebuilt bones at the place of their first key, and
  // every byte after the bone section as it was.
  const Plan& p = gPlan;
  if (!p.ready) return -1;
  uint8_t head[kBoneStart];
  memcpy(head, p.data, kHeaderBytes + kModelBytes);
  PutInt(head + kHeaderBytes + kModelBytes, int32_t(p.keysOut));
  if (sink(ctx, head, sizeof head) != 0) return -1;
  const uint8_t* bones = p.data + kBoneStart;
  size_t next = 0;  // next record to copy
  auto copyUpTo = [&](size_t end) {  // records next .. end-1, but those gone, in runs
    while (next < end) {
      if (p.gone[next]) {
        next++;
        continue;
      }
      size_t stop = next + 1;
      while (stop < end && !p.gone[stop]) stop++;
      if (sink(ctx, bones + next * kBoneRecord, (stop - next) * kBoneRecord) != 0) return false;
      next = stop;
    }
    return true;
  };
  for (int i = 0; i < p.n; i++) {
    if (!copyUpTo(std::min<size_t>(p.places[i].at, size_t(p.declared)))) return -1;
    const std::vector<OutKey>& keys = p.built[p.places[i].bone];
    if (!keys.empty() && sink(ctx, keys[0].rec, keys.size() * kBoneRecord) != 0) return -1;
  }
  if (!copyUpTo(size_t(p.declared))) return -1;
  if (p.size > p.boneEnd && sink(ctx, p.data + p.boneEnd, p.size - p.boneEnd) != 0) return -1;
  return 0;
}

int FixMotion(const uint8_t* data, size_t size, FixResult* r, std::vector<uint8_t>* out) {
  const int status = FixPlan(data, size, r);
  if (status != kFixDone) return status;
  out->clear();
  out->reserve(size_t(r->bytesOut));
  FixEmit(
      [](void* ctx, const uint8_t* bytes, size_t n) {
        auto* v = static_cast<std::vector<uint8_t>*>(ctx);
        v->insert(v->end(), bytes, bytes + n);
        return 0;
      },
      out);
  return status;
}
