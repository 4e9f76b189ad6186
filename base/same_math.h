// Sine, cosine and the inverse functions built from the four operations and
// the square root alone, which IEEE 754 rounds the same way everywhere: the
// same argument gives the same bits on Linux, Windows and in the browser,
// where each C library's own functions may differ in the last bit. What is
// written from these angles (a VRM Animation) is then the same file from
// every front end. Accurate to a few units in the last place; sine and cosine
// for |x| below 2^20 (angles, not huge arguments).
#pragma once

double SameSin(double x);
double SameCos(double x);
double SameAtan2(double y, double x);  // signs and quadrants as atan2's
double SameAcos(double x);             // NaN beyond [-1, 1]
double SameAsin(double x);
