// Sine, cosine, arc sine, arc cosine and the two-argument arc tangent
// computed from additions, multiplications, divisions, square roots and
// comparisons alone, in a fixed order, so that every build (Linux, the
// mingw-w64 build, the WebAssembly page) gets the same bits from the same
// input: each C library's own functions may differ in the last bit, and a
// file written from them would then differ between platforms. Within a few
// units in the last place of the true value for |x| below 1e6 (beyond, the
// argument's reduction loses bits, the same way everywhere); NaN for NaN
// and infinities.
#pragma once

double PortableSin(double x);
double PortableCos(double x);
// The angle of (x, y) in [-pi, pi], with the signs of zeros as std::atan2 gives them.
double PortableAtan2(double y, double x);
// In [-pi/2, pi/2] and [0, pi]; NaN outside [-1, 1].
double PortableAsin(double x);
double PortableAcos(double x);
