// Fitting a key's rotation curve: the four curve bytes that keep a bone's
// rotation within a bound of the rotations it must have at the frames
// between two keys, and the curve bytes of a piece of a curve.
#pragma once
#include <cstdint>
#include <vector>

#include "fix/fix_play.h"

namespace fixplay {

// Fitting stops searching once gWork passes this.
extern int64_t gWorkMax;

// The straight line in curve bytes.
constexpr uint8_t kLine[4] = {20, 20, 107, 107};

uint8_t ByteOf(double v);
// The piece of a curve (x1 y1 x2 y2 bytes) between times ta and tb, as a
// curve of its own over that piece. Its four bytes go to out.
void Subdivide(const uint8_t c[4], double ta, double tb, uint8_t out[4]);
// The 64 interpolation bytes from the 16 of one row (x1 of X, Y, Z, R, then
// y1, x2, y2 likewise), laid out as well-formed files carry them: four rows,
// each starting one parameter later.
void LayOut(const uint8_t row[16], uint8_t ip[64]);

// At one frame inside a piece: its time and the band of weights that keep
// the rotation within the bound.
struct Band {
  double t, w, half;
};

// Can the piece from key value q0 at s to q1 at e be one key interval, the
// frames between within the bound of P? Then its curve goes to curve. ct[f]:
// the cosine of half the bound at frame f. hint: a curve to try first, or
// null. bands: room for the work.
bool PieceFits(const std::vector<Dq>& P, int s, int e, const Dq& q0, const Dq& q1, const double* ct,
               const uint8_t* hint, uint8_t curve[4], std::vector<Band>* bands);

}  // namespace fixplay
