#include "fix/fix_fit.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace fixplay {

int64_t gWorkMax = 0;

namespace {

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

}  // namespace

uint8_t ByteOf(double v) {
  const double b = std::round(v * 127.0);
  return uint8_t(b < 0 ? 0 : b > 127 ? 127 : b);
}

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

void LayOut(const uint8_t row[16], uint8_t ip[64]) {
  memset(ip, 0, 64);
  for (int r = 0; r < 4; r++)
    for (int i = r; i < 16; i++) ip[r * 16 + i - r] = row[i];
}

namespace {

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
      double y1lo = 0, y1hi = 127;
      for (size_t i = 0; i < n && usable; i++) {
        const double sp = CurveParamAt(X1, X2, bands[i].t);
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

}  // namespace

bool PieceFits(const std::vector<Dq>& P, int s, int e, const Dq& q0, const Dq& q1, const double* ct,
               const uint8_t* hint, uint8_t curve[4], std::vector<Band>* bands) {
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

}  // namespace fixplay
