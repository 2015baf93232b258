// Plane and sphere geometry: orientation signs, segment crossings, pseudo-angles, the polar
// angle and conversions between rectangular and spherical coordinates.
//
// Spherical triples are (r, phi, theta): radius, azimuth in [0, 2 pi) and polar angle in
// [0, pi] measured from the polar axis.
#pragma once

#include "foundation/points.h"

#pragma GCC visibility push(default)

// Turn a -> b -> c: +1 counter-clockwise, -1 clockwise, 0 collinear (first coordinate as the
// first axis).
int tsh(PONTOI2 a, PONTOI2 b, PONTOI2 c);
// The same in doubles; |D| < epsilon counts as collinear.
int tsh(PONTO2 a, PONTO2 b, PONTO2 c);

// Segments p1-p2 and p3-p4: 1 when they cross strictly, 0 when not, -1 when an endpoint lies on
// the other segment's line.
int cruza(PONTOI2 p1, PONTOI2 p2, PONTOI2 p3, PONTOI2 p4);

// Monotone substitutes for the polar angle: one unit per quadrant, in [0, 4); the null vector
// gives 0.
double pseudoangl1(PONTO2 p);
// One unit per octant, in [0, 8); the null vector is fatal.
double pseudoangulo(PONTO2 p);

// Polar angle of (x, y) in [0, 2 pi).
double arg(double x, double y);

// (r, phi, theta) to (x, y, z), polar axis z (azimuth from x towards y).
PONTO3 esf2ret(PONTO3 p);
PONTO3 esfz2ret(PONTO3 p);
// Polar axis x (azimuth from y towards z).
PONTO3 esfx2ret(PONTO3 p);
// Polar axis y (azimuth from z towards x).
PONTO3 esfy2ret(PONTO3 p);

// (x, y, z) to (r, phi, theta); a radius below epsilon gives (0, 0, 0).
PONTO3 ret2esf(PONTO3 p);
PONTO3 ret2esfz(PONTO3 p);
PONTO3 ret2esfx(PONTO3 p);
PONTO3 ret2esfy(PONTO3 p);

// (r, arg(p1, p2), acos(p3 / r), acos(p4 / r)); a radius below epsilon gives zeros.
PONTO4 ret2esf(PONTO4 p);
// L1 form: (s, pseudoangl1(p1, p2), 1 - p3 / s, 1 - p4 / s) with s = |p1|+|p2|+|p3|+|p4|.
PONTO4 ret2esfl1(PONTO4 p);

#pragma GCC visibility pop
