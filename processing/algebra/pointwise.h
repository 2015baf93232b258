// Pointwise operators of the image classes: complement, negation and point reflection,
// comparisons, a scalar with every pixel, and two images of one size pixel by pixel.
//
// Results are new images. Unless noted, a result is built at the operand's size with the
// default centre; its outside value follows the same rule as the pixels. The IMGCPX scalar
// operators change their own copy of the image and return it (centre kept).
#pragma once

#include <complex>

#include "images/images.h"

#pragma GCC visibility push(default)

// Complement: 255 - p on IMGGRY; logical not on IMGBIN (the operand's centre is kept).
IMGBIN operator-(const IMGBIN& a);
IMGBIN operator!(const IMGBIN& a);
IMGGRY operator-(const IMGGRY& a);
IMGGRY operator!(const IMGGRY& a);
// Negation -p, and 1 - p (the complement on the 0..1 scale).
IMGFLT operator-(const IMGFLT& a);
IMGFLT operator!(const IMGFLT& a);
IMGDBL operator-(const IMGDBL& a);
IMGDBL operator!(const IMGDBL& a);

// Point reflection through the centre: r(l, c) = a(nl-1-l, nc-1-c), centre mirrored.
IMGGRY operator~(const IMGGRY& a);
IMGFLT operator~(const IMGFLT& a);

// Pixels only: sizes must agree, outside value and centre are ignored.
bool operator==(const IMGBIN& a, const IMGBIN& b);
bool operator==(const IMGGRY& a, const IMGGRY& b);
bool operator==(const IMGFLT& a, const IMGFLT& b);
bool operator!=(const IMGBIN& a, const IMGBIN& b);
bool operator!=(const IMGGRY& a, const IMGGRY& b);
bool operator!=(const IMGFLT& a, const IMGFLT& b);
// True when a is strictly below b at every pixel (black below white).
bool operator<(const IMGBIN& a, const IMGBIN& b);
bool operator<(const IMGGRY& a, const IMGGRY& b);

// Scalar on the left. IMGGRY results are clamped to 0..255 (products rounded half away from
// zero); IMGFLT values are formed in double and stored as float.
IMGGRY operator+(int k, const IMGGRY& a);
IMGGRY operator*(double k, const IMGGRY& a);
IMGFLT operator*(double k, const IMGFLT& a);
IMGFLT operator+(double k, const IMGFLT& a);
IMGDBL operator*(double k, const IMGDBL& a);
IMGDBL operator+(double k, const IMGDBL& a);
IMGCPX operator*(float k, IMGCPX a);
IMGCPX operator*(std::complex<float> k, IMGCPX a);
// Adds k to the real part.
IMGCPX operator+(float k, IMGCPX a);

// Two images of one size; a size mismatch is fatal. Quotients are not guarded.
IMGFLT operator/(const IMGFLT& a, const IMGFLT& b);
IMGFLT operator*(const IMGFLT& a, const IMGFLT& b);
IMGFLT operator-(const IMGFLT& a, const IMGFLT& b);
IMGFLT operator+(const IMGFLT& a, const IMGFLT& b);
IMGDBL operator/(const IMGDBL& a, const IMGDBL& b);
IMGDBL operator*(const IMGDBL& a, const IMGDBL& b);
IMGDBL operator-(const IMGDBL& a, const IMGDBL& b);
IMGDBL operator+(const IMGDBL& a, const IMGDBL& b);
IMGCPX operator/(const IMGCPX& a, const IMGCPX& b);
IMGCPX operator*(const IMGCPX& a, const IMGCPX& b);
IMGCPX operator-(const IMGCPX& a, const IMGCPX& b);
IMGCPX operator+(const IMGCPX& a, const IMGCPX& b);
// Pointwise minimum and maximum. With a NaN in a pair the pixel is b's; the outside value
// is a's.
IMGFLT operator&&(const IMGFLT& a, const IMGFLT& b);
IMGFLT operator||(const IMGFLT& a, const IMGFLT& b);

#pragma GCC visibility pop
