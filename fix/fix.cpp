#include "fix/fix.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "base/encoding.h"
#include "vmd/sections.h"

static_assert(std::endian::native == std::endian::little, "the motion's numbers are little-endian");

namespace {

constexpr size_t kHeaderBytes = 30;
constexpr size_t kModelBytes = 20;
constexpr size_t kBoneStart = kHeaderBytes + kModelBytes + 4;  // after the bone count
constexpr size_t kBoneRecord = 111;
constexpr size_t kRotAt = 31, kPosAt = 19, kFrameAt = 15, kInterpAt = 47;
// Fitting aims a little inside the bound, for the players' own arithmetic.
// The bones folded into along one chain share it: the world rotation of a
// hand carries the differences of the chest, shoulder, arm and hand.
constexpr double kChainToleranceDeg = 0.0095;
// Curve evaluations and products one motion may ask for while fitting: real
// dances need less than one a byte; a tenth of a second more for any motion.
constexpr int64_t kWorkPerByte = 16;
constexpr int64_t kWorkBase = 2000000;
constexpr double kPi = 3.14159265358979323846;

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
  const void* z = memchr(rec, 0, 15);
  const int n = z ? int(static_cast<const uint8_t*>(z) - rec) : 15;
  for (int i = 0; i < kBoneCount; i++)
    if (gNames[i].n == n && memcmp(gNames[i].s, rec, size_t(n)) == 0) return i;
  return -1;
}

// ---- quaternions, curves ------------------------------------------------

struct Dq {
  double x, y, z, w;
};

Dq Mul(const Dq& a, const Dq& b) {
  return {a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
          a.w * b.y + a.y * b.w + a.z * b.x - a.x * b.z,
          a.w * b.z + a.z * b.w + a.x * b.y - a.y * b.x,
          a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
}
Dq Conj(const Dq& q) { return {-q.x, -q.y, -q.z, q.w}; }
double Dot(const Dq& a, const Dq& b) { return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w; }
Dq Neg(const Dq& q) { return {-q.x, -q.y, -q.z, -q.w}; }
Dq Normal(const Dq& q) {
  const double n = std::sqrt(Dot(q, q));
  return {q.x / n, q.y / n, q.z / n, q.w / n};
}

// Along the shorter arc, as players do.
Dq Slerp(const Dq& a, Dq b, double w) {
  double d = Dot(a, b);
  if (d < 0) {
    b = Neg(b);
    d = -d;
  }
  if (d > 0.9999999) {
    return Normal({a.x + (b.x - a.x) * w, a.y + (b.y - a.y) * w, a.z + (b.z - a.z) * w,
                   a.w + (b.w - a.w) * w});
  }
  const double th = std::acos(d), s = std::sin(th);
  const double ka = std::sin((1 - w) * th) / s, kb = std::sin(w * th) / s;
  return {a.x * ka + b.x * kb, a.y * ka + b.y * kb, a.z * ka + b.z * kb, a.w * ka + b.w * kb};
}

const Dq kIdentity = {0, 0, 0, 1};

int64_t gWork = 0;      // curve evaluations and products of the current motion
int64_t gWorkMax = 0;   // and how many it may ask for
int64_t gKeysLeft = 0;  // keys the bones folded into may still get (the size bound)

// The curve's control points over 127; its y where its x is t.
double CurveAt(int x1, int y1, int x2, int y2, double t) {
  if (x1 == y1 && x2 == y2) return t;  // the straight line
  gWork++;
  const double X1 = x1 / 127.0, Y1 = y1 / 127.0, X2 = x2 / 127.0, Y2 = y2 / 127.0;
  const double ax = 1 + 3 * X1 - 3 * X2, bx = 3 * X2 - 6 * X1, cx = 3 * X1;
  double s = t;
  bool done = false;
  for (int i = 0; i < 8; i++) {
    const double x = ((ax * s + bx) * s + cx) * s - t;
    if (std::fabs(x) < 1e-13) {
      done = true;
      break;
    }
    const double dx = (3 * ax * s + 2 * bx) * s + cx;
    if (std::fabs(dx) < 1e-9) break;
    s -= x / dx;
    if (s < 0 || s > 1) break;
  }
  if (!done || s < 0 || s > 1) {
    double lo = 0, hi = 1;
    for (int i = 0; i < 60; i++) {
      s = 0.5 * (lo + hi);
      if (((ax * s + bx) * s + cx) * s < t) lo = s; else hi = s;
    }
  }
  const double ay = 1 + 3 * Y1 - 3 * Y2, by = 3 * Y2 - 6 * Y1, cy = 3 * Y1;
  return ((ay * s + by) * s + cy) * s;
}

// The parameter s at which the curve's x is t (for subdividing).
double CurveParam(double X1, double X2, double t) {
  const double ax = 1 + 3 * X1 - 3 * X2, bx = 3 * X2 - 6 * X1, cx = 3 * X1;
  double lo = 0, hi = 1, s = t;
  for (int i = 0; i < 60; i++) {
    s = 0.5 * (lo + hi);
    if (((ax * s + bx) * s + cx) * s < t) lo = s; else hi = s;
  }
  return s;
}

uint8_t ByteOf(double v) {
  const double b = std::round(v * 127.0);
  return uint8_t(b < 0 ? 0 : b > 127 ? 127 : b);
}

// The piece of a curve (x1 y1 x2 y2 bytes) between times ta and tb, as a
// curve of its own over that piece. Its four bytes go to out.
void Subdivide(const uint8_t c[4], double ta, double tb, uint8_t out[4]) {
  const double X1 = c[0] / 127.0, Y1 = c[1] / 127.0, X2 = c[2] / 127.0, Y2 = c[3] / 127.0;
  const double sa = CurveParam(X1, X2, ta), sb = CurveParam(X1, X2, tb);
  auto point = [&](double s, double* x, double* y, double* dx, double* dy) {
    const double u = 1 - s;
    *x = 3 * u * u * s * X1 + 3 * u * s * s * X2 + s * s * s;
    *y = 3 * u * u * s * Y1 + 3 * u * s * s * Y2 + s * s * s;
    *dx = 3 * u * u * X1 + 6 * u * s * (X2 - X1) + 3 * s * s * (1 - X2);
    *dy = 3 * u * u * Y1 + 6 * u * s * (Y2 - Y1) + 3 * s * s * (1 - Y2);
  };
  double xa, ya, dxa, dya, xb, yb, dxb, dyb;
  point(sa, &xa, &ya, &dxa, &dya);
  point(sb, &xb, &yb, &dxb, &dyb);
  const double h = (sb - sa) / 3, wx = xb - xa, wy = yb - ya;
  if (wx <= 1e-12 || wy <= 1e-12) {
    out[0] = out[1] = 20;
    out[2] = out[3] = 107;
    return;
  }
  out[0] = ByteOf(h * dxa / wx);
  out[1] = ByteOf(h * dya / wy);
  out[2] = ByteOf(1 - h * dxb / wx);
  out[3] = ByteOf(1 - h * dyb / wy);
}

// The 64 interpolation bytes from the 16 of one row (x1 of X, Y, Z, R, then
// y1, x2, y2 likewise), laid out as well-formed files carry them: four rows,
// each starting one parameter later.
void LayOut(const uint8_t row[16], uint8_t ip[64]) {
  memset(ip, 0, 64);
  for (int r = 0; r < 4; r++)
    for (int i = r; i < 16; i++) ip[r * 16 + i - r] = row[i];
}

// ---- tracks --------------------------------------------------------------

struct Key {
  int32_t frame;
  uint32_t rec;     // record number in the bone section
  Dq q;             // normalised
  float pos[3];
  const uint8_t* ip;
  uint8_t rc[4];    // its rotation curve, x1 y1 x2 y2 (ip 3, 7, 11, 15), kept at hand
  // The arc to the next key: q(w) = q cos(w th) + v sin(w th); th 0 for keys
  // too close for it (then the slerp itself).
  Dq v;
  double th;
};

struct Track {
  std::vector<uint32_t> recs;  // every record of the bone, in file order
  std::vector<Key> keys;       // by frame, one per frame (the last record of it)
  bool driven = false;         // as the reader: a key moves or turns it by more than 0.01
  float maxrot = 0;            // the largest |x, y, z| of a key's rotation
  bool bad = false;            // a rotation that is none, or a position that is no number
  mutable int cursor = 0;      // the key the last look-up found: frames are mostly asked in order
};

float FloatAt(const uint8_t* p) {
  float f;
  memcpy(&f, p, 4);
  return f;
}
int32_t IntAt(const uint8_t* p) {
  int32_t v;
  memcpy(&v, p, 4);
  return v;
}

// One key of a bone of the chains, read from record r at p.
void AddRecord(Track* t, const uint8_t* p, uint32_t r) {
  t->recs.push_back(r);
  {
    Key k;
    k.frame = IntAt(p + kFrameAt);
    k.rec = r;
    for (int i = 0; i < 3; i++) k.pos[i] = FloatAt(p + kPosAt + 4 * i);
    const float x = FloatAt(p + kRotAt), y = FloatAt(p + kRotAt + 4), z = FloatAt(p + kRotAt + 8),
                w = FloatAt(p + kRotAt + 12);
    const Dq raw = {x, y, z, w};
    const double n = Dot(raw, raw);
    if (!std::isfinite(n) || n < 1e-12 || !std::isfinite(k.pos[0]) || !std::isfinite(k.pos[1]) ||
        !std::isfinite(k.pos[2])) {
      t->bad = true;
      k.q = {0, 0, 0, 1};
    } else {
      k.q = Normal(raw);
    }
    k.ip = p + kInterpAt;
    for (int c = 0; c < 4; c++) k.rc[c] = k.ip[3 + 4 * c];
    k.v = kIdentity;
    k.th = 0;
    t->keys.push_back(k);
  }
}

// The keys by frame, one per frame, each with its arc to the next.
void Gather(Track* t) {
  auto byFrame = [](const Key& a, const Key& b) { return a.frame < b.frame; };
  if (!std::is_sorted(t->keys.begin(), t->keys.end(), byFrame))  // files mostly are
    std::stable_sort(t->keys.begin(), t->keys.end(), byFrame);
  // Of keys at one frame, the last in the file counts.
  size_t n = 0;
  for (size_t i = 0; i < t->keys.size(); i++) {
    if (n > 0 && t->keys[n - 1].frame == t->keys[i].frame)
      t->keys[n - 1] = t->keys[i];
    else
      t->keys[n++] = t->keys[i];
  }
  t->keys.resize(n);
  for (size_t i = 0; i + 1 < n; i++) {
    Key& k = t->keys[i];
    Dq b = t->keys[i + 1].q;
    double d = Dot(k.q, b);
    if (d < 0) {
      b = Neg(b);
      d = -d;
    }
    k.th = 0;
    if (d > 0.9999999) continue;
    const Dq v = {b.x - d * k.q.x, b.y - d * k.q.y, b.z - d * k.q.z, b.w - d * k.q.w};
    const double vn = std::sqrt(Dot(v, v));
    k.v = {v.x / vn, v.y / vn, v.z / vn, v.w / vn};
    k.th = std::atan2(vn, d);
  }
}

// Index of the last key at or before frame f, or -1.
int LastAtOrBefore(const Track& t, int64_t f) {
  const int n = (int)t.keys.size();
  for (int c = t.cursor; c < n && c <= t.cursor + 1; c++) {
    if (t.keys[c].frame > f) break;
    if (c + 1 == n || t.keys[c + 1].frame > f) return t.cursor = c;
  }
  auto it = std::upper_bound(t.keys.begin(), t.keys.end(), f,
                             [](int64_t v, const Key& k) { return v < k.frame; });
  const int i = int(it - t.keys.begin()) - 1;
  if (i >= 0) t.cursor = i;
  return i;
}

Dq RotationAt(const Track& t, int64_t f) {
  if (t.keys.empty()) return kIdentity;
  const int i = LastAtOrBefore(t, f);
  if (i < 0) return t.keys[0].q;
  if (i + 1 >= (int)t.keys.size() || t.keys[i].frame == f) return t.keys[i].q;
  const Key& a = t.keys[i];
  const Key& b = t.keys[i + 1];
  const double u = double(f - a.frame) / double(int64_t(b.frame) - a.frame);
  const double w = CurveAt(b.rc[0], b.rc[1], b.rc[2], b.rc[3], u);
  if (a.th == 0) return Slerp(a.q, b.q, w);
  const double c = std::cos(w * a.th), s = std::sin(w * a.th);
  return {a.q.x * c + a.v.x * s, a.q.y * c + a.v.y * s, a.q.z * c + a.v.z * s, a.q.w * c + a.v.w * s};
}

void PositionAt(const Track& t, int64_t f, float out[3]) {
  out[0] = out[1] = out[2] = 0;
  if (t.keys.empty()) return;
  const int i = LastAtOrBefore(t, f);
  const Key& a = t.keys[i < 0 ? 0 : i];
  memcpy(out, a.pos, sizeof a.pos);
  if (i < 0 || i + 1 >= (int)t.keys.size() || a.frame == f) return;
  const Key& b = t.keys[i + 1];
  const double u = double(f - a.frame) / double(int64_t(b.frame) - a.frame);
  for (int c = 0; c < 3; c++) {
    if (b.pos[c] == a.pos[c]) {  // it holds: the curve is not asked (the sum keeps zeros' signs as before)
      out[c] = float(a.pos[c] + (double(b.pos[c]) - a.pos[c]));
      continue;
    }
    const double w = CurveAt(b.ip[c], b.ip[4 + c], b.ip[8 + c], b.ip[12 + c], u);
    out[c] = float(a.pos[c] + (double(b.pos[c]) - a.pos[c]) * w);
  }
}

bool SameRotation(const Dq& a, const Dq& b) { return std::fabs(Dot(a, b)) >= 1 - 1e-13; }

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

// ---- fitting a rotation curve -------------------------------------------

// At one frame inside a piece: its time and the band of weights that keep
// the rotation within the bound.
struct Band {
  double t, w, half;
};

// Largest excess over the bands of the curve (<= 1: within every band);
// stops once above `stop`.
double Excess(const uint8_t c[4], const std::vector<Band>& bands, double stop) {
  double g = 0;
  for (const Band& b : bands) {
    const double e = std::fabs(CurveAt(c[0], c[1], c[2], c[3], b.t) - b.w) / b.half;
    if (e > g) {
      g = e;
      if (g > stop) return g;
    }
  }
  return g;
}

// Curve bytes that keep every band, found through the curve's shape: for
// fixed x1, x2 the curve's weight at each time is linear in y1 and y2, so
// each band is a strip of (y1, y2) and a fit is a point in all of them. The
// x bytes are tried on a grid, y1 on the bytes the strips allow, y2 from
// the strips. Tried before the search byte by byte: it finds most fits the
// search misses, and faster.
bool FitByShape(const std::vector<Band>& bands, uint8_t out[4]) {
  static const int kFine[] = {0, 16, 32, 48, 64, 80, 96, 112, 127}, kCoarse[] = {0, 32, 64, 96, 127};
  const size_t n = bands.size();
  if (n == 0 || n > 64) return false;
  // Short pieces, the most, get the finer grid (longer ones, where it
  // finds little more, the coarser, for speed).
  const int* grid = n <= 2 ? kFine : kCoarse;
  const int gridSize = n <= 2 ? 9 : 5;
  double A[64], B[64], C[64];
  for (int gi = 0; gi < gridSize; gi++) {
    const int x1 = grid[gi];
    for (int gj = 0; gj < gridSize; gj++) {
      const int x2 = grid[gj];
      gWork += int64_t(n) * 8;
      bool usable = true;
      const double X1 = x1 / 127.0, X2 = x2 / 127.0;
      const double ax = 1 + 3 * X1 - 3 * X2, bx = 3 * X2 - 6 * X1, cx = 3 * X1;
      double y1lo = 0, y1hi = 127;
      for (size_t i = 0; i < n && usable; i++) {
        // The parameter where x is t: Newton's steps, else halving.
        const double t = bands[i].t;
        double sp = t;
        bool done = false;
        for (int k = 0; k < 8; k++) {
          const double x = ((ax * sp + bx) * sp + cx) * sp - t;
          if (std::fabs(x) < 1e-13) {
            done = true;
            break;
          }
          const double dx = (3 * ax * sp + 2 * bx) * sp + cx;
          if (std::fabs(dx) < 1e-9) break;
          sp -= x / dx;
          if (sp < 0 || sp > 1) break;
        }
        if (!done || sp < 0 || sp > 1) sp = CurveParam(X1, X2, t);
        const double u = 1 - sp;
        A[i] = 3 * u * u * sp;
        B[i] = 3 * u * sp * sp;
        C[i] = sp * sp * sp;
        usable = B[i] > 1e-12 && A[i] > 1e-12;
        if (!usable) break;
        // The y1 for which the band's strip meets 0 <= y2 <= 1.
        y1lo = std::max(y1lo, (bands[i].w - bands[i].half - C[i] - B[i]) / A[i] * 127.0);
        y1hi = std::min(y1hi, (bands[i].w + bands[i].half - C[i]) / A[i] * 127.0);
        usable = y1lo <= y1hi;
      }
      if (!usable) continue;
      for (int y1 = int(std::ceil(y1lo)); y1 <= int(std::floor(y1hi)); y1++) {
        double lo = 0, hi = 127;
        for (size_t i = 0; i < n && lo <= hi; i++) {
          const double base = C[i] + A[i] * (y1 / 127.0);
          lo = std::max(lo, (bands[i].w - bands[i].half - base) / B[i] * 127.0);
          hi = std::min(hi, (bands[i].w + bands[i].half - base) / B[i] * 127.0);
        }
        if (!(std::ceil(lo) <= std::floor(hi))) continue;
        const uint8_t c[4] = {uint8_t(x1), uint8_t(y1), uint8_t(x2),
                              uint8_t(std::lround(0.5 * (std::ceil(lo) + std::floor(hi))))};
        if (Excess(c, bands, 1) <= 1) {  // the players' own evaluation decides
          memcpy(out, c, 4);
          return true;
        }
      }
    }
  }
  return false;
}

// Searches the curve bytes that keep every band, starting from the hints.
bool FitCurve(const std::vector<Band>& bands, const uint8_t* hint, uint8_t out[4]) {
  uint8_t best[4] = {20, 20, 107, 107};
  double g = Excess(best, bands, 1e300);
  if (g <= 1) {
    memcpy(out, best, 4);
    return true;
  }
  auto consider = [&](const uint8_t c[4]) {
    const double e = Excess(c, bands, g);
    if (e < g) {
      g = e;
      memcpy(best, c, 4);
    }
  };
  if (hint) consider(hint);
  {
    // From the slopes at both ends (a Hermite guess).
    const Band& f = bands.front();
    const Band& l = bands.back();
    const double m0 = f.t > 0 ? f.w / f.t : 1, m1 = l.t < 1 ? (1 - l.w) / (1 - l.t) : 1;
    const double k0 = 1.0 / (3 * std::max(1.0, m0)), k1 = 1.0 / (3 * std::max(1.0, m1));
    const uint8_t c[4] = {ByteOf(k0), ByteOf(k0 * m0), ByteOf(1 - k1), ByteOf(1 - k1 * m1)};
    consider(c);
  }
  if (g <= 1) {
    memcpy(out, best, 4);
    return true;
  }
  if (FitByShape(bands, out)) return true;
  // Then small steps from the best guess: the shape's grid covers the large
  // ones (longer strides find no more and cost as much again).
  static const int kMoves[16][4] = {
      {1, 0, 0, 0},  {-1, 0, 0, 0}, {0, 1, 0, 0},  {0, -1, 0, 0}, {0, 0, 1, 0},  {0, 0, -1, 0},
      {0, 0, 0, 1},  {0, 0, 0, -1}, {1, 1, 0, 0},  {-1, -1, 0, 0}, {0, 0, 1, 1}, {0, 0, -1, -1},
      {1, -1, 0, 0}, {-1, 1, 0, 0}, {0, 0, 1, -1}, {0, 0, -1, 1}};
  for (int step = 2; step >= 1; step /= 2) {
    bool moved = true;
    while (moved && g > 1 && gWork <= gWorkMax) {
      moved = false;
      for (const auto& mv : kMoves) {
        uint8_t c[4];
        bool same = true;
        for (int k = 0; k < 4; k++) {
          int v = best[k] + mv[k] * step;
          v = v < 0 ? 0 : v > 127 ? 127 : v;
          c[k] = uint8_t(v);
          same = same && c[k] == best[k];
        }
        if (same) continue;
        const double before = g;
        consider(c);
        if (g < before) moved = true;
        if (g <= 1) break;
      }
    }
    if (g <= 1) break;
  }
  memcpy(out, best, 4);
  return g <= 1;
}

// Can the piece from key value q0 at s to q1 at e be one key interval, the
// frames between within the bound of P? Then its curve goes to curve. ct[f]: the cosine of half the bound at frame f. hint: a curve to
// try first, or null.
bool PieceFits(const std::vector<Dq>& P, int s, int e, const Dq& q0, const Dq& q1, const double* ct,
               const uint8_t* hint, uint8_t curve[4], std::vector<Band>* bands) {
  static const uint8_t kLine[4] = {20, 20, 107, 107};
  memcpy(curve, kLine, 4);
  if (e - s < 2) return true;
  gWork += e - s;
  const double d = Dot(q0, q1);
  if (d < 0) return false;  // the player would turn the other way round
  Dq v = {q1.x - d * q0.x, q1.y - d * q0.y, q1.z - d * q0.z, q1.w - d * q0.w};
  const double vn = std::sqrt(Dot(v, v));
  const double omega = std::atan2(vn, d);
  if (omega < 1e-9) {
    for (int f = s + 1; f < e; f++)
      if (std::fabs(Dot(P[f], q0)) < ct[f]) return false;
    return true;
  }
  v = {v.x / vn, v.y / vn, v.z / vn, v.w / vn};
  bands->clear();
  double floor = 0;  // the weight can only grow
  for (int f = s + 1; f < e; f++) {
    const double c1 = Dot(P[f], q0), c2 = Dot(P[f], v);
    const double r = std::sqrt(c1 * c1 + c2 * c2);
    if (r < ct[f]) return false;  // off the arc by more than the bound
    const double half = std::max(1e-15, std::acos(std::min(1.0, ct[f] / r)) / omega);
    const double w = std::atan2(c2, c1) / omega;
    if (w + half < floor || w - half > 1) return false;
    floor = std::max(floor, w - half);
    bands->push_back({double(f - s) / double(e - s), w, half});
  }
  return FitCurve(*bands, hint, curve);
}

// The angle in degrees between the rotations of two unit quaternions.
double AngleDeg(const Dq& a, const Dq& b) {
  const double d = Dot(a, b);
  const Dq c = d < 0 ? Dq{a.x + b.x, a.y + b.y, a.z + b.z, a.w + b.w}
                     : Dq{a.x - b.x, a.y - b.y, a.z - b.z, a.w - b.w};
  const double chord = std::sqrt(Dot(c, c));
  return 4 * std::asin(std::min(1.0, chord / 2)) * 180.0 / kPi;
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
  static const uint8_t kLine[4] = {20, 20, 107, 107};
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

// The keys of one bone folded into, by frame. Returns a FixRefusal.
int BuildTarget(const Motion& m, const Target& g, const std::vector<Miss>* const prior[3],
                std::vector<Miss>* miss, std::vector<OutKey>* out, int64_t* added) {
  out->clear();
  miss->clear();
  *added = 0;
  for (int i = 0; i < g.n; i++)
    if (m.tracks[g.f[i].bone].bad) return kRefuseBadRotation;
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

  static const uint8_t kLine[4] = {20, 20, 107, 107};
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
    if (gKeysLeft <= 0) return kRefuseTooLarge;
    const int64_t a = frames[j - 1], b = frames[j];
    int changing = 0;
    Span one = {};
    for (int i = 0; i < g.n; i++) {
      const Span s = SpanOf(m.tracks[g.f[i].bone], a, b);
      if (!s.changing) continue;
      changing++;
      one = s;
    }
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
      if (b - a > kFixMaxSpan) return kRefuseFarApart;
      const int r = FillFree(bd, a, b, changing == 1 ? &one : nullptr);
      if (r != kRefuseNone) return r;
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
      "a key of the chain holds no rotation (zero, not a number or infinite)",
      "two keys of the chain are more than 65536 frames apart while more than one bone turns",
      "the curves would take more work than one motion may ask for",
      "the copy would be more than twice the motion's size",
  };
  return refusal >= 0 && refusal < kRefusals ? kTexts[refusal] : "";
}

double FixCurveWeight(int x1, int y1, int x2, int y2, double t) {
  return CurveAt(x1, y1, x2, y2, t);
}

namespace {

// The bone each fold removes, and which folds a bone's rebuilding needs.
const int kFoldBone[kFolds] = {kLArmTwist, kLHandTwist, kRArmTwist, kRHandTwist,
                               kLShoulderP, kRShoulderP, kUpper2Full};

bool Calls(const Track& t) { return t.driven && t.maxrot > 0.01; }

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

}  // namespace

namespace {

struct Place {
  uint32_t at;  // the record before which the rebuilt bone's keys go
  int target;
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
  std::vector<OutKey> built[7];
  std::vector<Miss> miss[7];  // the differences each rebuilt bone makes
};
Plan gPlan;

}  // namespace

int FixPlan(const uint8_t* data, size_t size, FixResult* r) {
  gPlan.ready = false;
  memset(r, 0, sizeof *r);
  r->bytesIn = int64_t(size);
  PrepareNames();
  gWork = 0;
  gWorkMax = kWorkBase + kWorkPerByte * int64_t(size);
  VmdSections sections;
  const int found = VmdFindSections(data, size, &sections);
  if (found == kVmdSectionsNotMotion) return r->status = kFixNotMotion;
  // The sections that the copy rewrites or must know whole.
  if (found == kVmdSectionsCut) {
    r->cutSection = sections.cutSection;
    r->cutDeclared = sections.cutDeclared;
    r->cutPresent = sections.cutPresent;
    return r->status = kFixCut;
  }
  if (!sections.bones) return r->status = kFixNothing;  // no bone keys at all
  const int64_t declared = sections.boneCount;
  const size_t boneEnd = kBoneStart + size_t(declared) * kBoneRecord;

  static Motion m;
  m.bones = data + kBoneStart;
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
    // As the reader judges a key: moved, and the length of its vector part
    // with w made positive.
    const float px = FloatAt(p + kPosAt), py = FloatAt(p + kPosAt + 4), pz = FloatAt(p + kPosAt + 8);
    const float x = FloatAt(p + kRotAt), y = FloatAt(p + kRotAt + 4), z = FloatAt(p + kRotAt + 8);
    if (std::fabs(x) > 0.01f || std::fabs(y) > 0.01f || std::fabs(z) > 0.01f || std::fabs(px) > 0.01f ||
        std::fabs(py) > 0.01f || std::fabs(pz) > 0.01f)
      t.driven = true;
    const float len = std::sqrt(x * x + y * y + z * z);
    if (len > t.maxrot) t.maxrot = len;
  }

  for (int f = 0; f < kFolds; f++) {
    if (f == kFoldUpper2Full) {
      if (Calls(m.tracks[kUpper2Full]) && !Calls(m.tracks[kUpper2])) r->wanted |= 1u << f;
    } else if (Calls(m.tracks[kFoldBone[f]])) {
      r->wanted |= 1u << f;
    }
  }
  if (!r->wanted) return r->status = kFixNothing;
  for (Track& t : m.tracks) Gather(&t);

  // Build the bones folded into; a chain that cannot be built gives up the
  // folds that feed it, and the rest is built again without them.
  uint32_t folds = r->wanted;
  Target g[7];
  std::vector<OutKey>* built = gPlan.built;
  int n = 0;
  for (int round = 0; round < kFolds + 1; round++) {
    n = Targets(folds, g);
    bool again = false;
    r->addedKeys = 0;
    // No copy has more keys than twice the motion's size holds.
    gKeysLeft = (2 * int64_t(size) + 65536) / int64_t(kBoneRecord);
    // The chest first: the bones of both arms are fitted to what it leaves.
    for (int k = 0; k < n && !again; k++) {
      const int i = g[n - 1].bone == kUpper2 ? (k == 0 ? n - 1 : k - 1) : k;
      const std::vector<Miss>* prior[3] = {nullptr, nullptr, nullptr};
      for (int j = 0; j < g[i].priors; j++) prior[j] = &gPlan.miss[g[i].prior[j]];
      int64_t added = 0;
      const int why = BuildTarget(m, g[i], prior, &gPlan.miss[i], &built[i], &added);
      r->addedKeys += added;
      if (why == kRefuseNone) continue;
      for (int f = 0; f < kFolds; f++)
        if (g[i].folds & (1u << f)) r->refusal[f] = why;
      folds &= ~g[i].folds;
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
    places[i] = {at, i};
  }
  for (int i = 0; i < n; i++) keysOut += int64_t(built[i].size());
  std::sort(places, places + n, [&](const Place& a, const Place& b) {
    return a.at != b.at ? a.at < b.at : g[a.target].bone < g[b.target].bone;
  });

  const int64_t outSize = int64_t(size) + (keysOut - declared) * int64_t(kBoneRecord);
  if (folds && outSize > 2 * int64_t(size) + 65536) {
    for (int f = 0; f < kFolds; f++)
      if (folds & (1u << f)) r->refusal[f] = kRefuseTooLarge;
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
    b.keysAfter = int32_t(built[i].size());
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
    const std::vector<OutKey>& keys = p.built[p.places[i].target];
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
