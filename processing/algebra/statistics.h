// Image statistics, pixelwise transforms, normalisation, thresholds and the element functions
// of the complex image.
//
// Reductions visit the pixels in row-major order and accumulate in double. A "fresh" result is
// a new image of the operand's size with the default centre and outside value; a "copy" result
// is the operand's own copy, changed, keeping its centre and outside value. IMGFLT values are
// formed in double and stored as float.
#pragma once

#include "foundation/points.h"
#include "images/images.h"

#pragma GCC visibility push(default)

// ---- reductions

// Sum of the pixels / n (NaN for an empty image).
double media(const IMGGRY& a);
double media(const IMGFLT& a);
double media(const IMGDBL& a);
// Sample standard deviation, divisor n - 1.
double desvio(const IMGFLT& a);
double desvio(const IMGDBL& a);
// Smallest / largest pixel, starting from infinito / -infinito (strict comparisons).
double minimo(const IMGFLT& a);
double maximo(const IMGFLT& a);
// Largest pixel, starting from -32768.
short maximo(const IMGSHT& a);
// First (row, column) of the largest / smallest pixel; (0, 0) for an empty image.
PONTOI2 argmax(const IMGFLT& a);
PONTOI2 argmin(const IMGFLT& a);
double somatoria(const IMGDBL& a);
// Euclidean norm.
double comprimento(const IMGDBL& a);
// Lp norm: p = 2, p = infinito (largest magnitude), p > 1, p = 1; p < 1 is fatal.
double comprimento(const IMGFLT& a, double p);
// Number of black pixels.
int contapreto(const IMGBIN& a);

// ---- pixelwise transforms

// Copy results with every pixel's sign cleared; the outside value keeps its sign.
IMGFLT abs(IMGFLT a);
IMGDBL abs(IMGDBL a);
// Copy result, square root of every pixel (NaN below 0).
IMGFLT sqrt(IMGFLT a);
// Fresh result p*p; outside value squared.
IMGFLT elev2(const IMGFLT& a);
// Copy result, negative pixels set to 0.
IMGFLT zeraneg(IMGFLT a);
// Copy result minus the mean of its pixels.
IMGFLT dcreject(IMGFLT a);
// In place: every pixel divided by the sum of the pixels' magnitudes (no zero test).
void SomatoriaUm(IMGFLT& a);
void SomatoriaUm(IMGDBL& a);
// Fresh binary image: white where a(l, c) >= t.
IMGBIN limiariza(const IMGGRY& a, int t);

// Range normalisation: IMGGRY to 0..255 (truncated), IMGFLT and IMGDBL to 0..1, IMGCPX divided
// by its largest magnitude. A flat image comes back as an unchanged copy; otherwise the result
// is fresh.
IMGGRY normaliza(const IMGGRY& a);
IMGFLT normaliza(const IMGFLT& a);
IMGDBL normaliza(const IMGDBL& a);
IMGCPX normaliza(const IMGCPX& a);
// Copy result: the mean to 0.5, mean -/+ k deviations to 0 and 1, clamped to 0..1.
IMGFLT normalizamd(IMGFLT a, double k);
IMGDBL normalizamd(IMGDBL a, double k);

// ---- complex element functions

// Fresh result (re, -im); outside value 0.
IMGCPX conj(const IMGCPX& a);
// Copy result z / |z|, or 0 where |z| <= epsilon.
IMGCPX versor(IMGCPX a);
// Fresh IMGFLT results; the outside value follows the same rule.
IMGFLT real(const IMGCPX& a);
IMGFLT imag(const IMGCPX& a);
// Phase in -pi..pi, in single precision.
IMGFLT arg(const IMGCPX& a);
// Copy result (|z|, phase) as (re, im).
IMGCPX ret2pol(IMGCPX a);

#pragma GCC visibility pop
