// Colour planes, 4:2:0 frames and whole-image colour conversions.
#pragma once

#include "images/images.h"
#include "images/yuv.h"

#pragma GCC visibility push(default)

// One channel as a grey image (default centre; outside value that channel of a's).
IMGGRY red(const IMGCOR& a);
IMGGRY green(const IMGCOR& a);
IMGGRY blue(const IMGCOR& a);

// Splits a into three planes of its size and centre; their outside values are not written.
void prisma(const IMGCOR& a, IMGGRY& r, IMGGRY& g, IMGGRY& b);
// Merges three planes of one size; centre r's, outside value black.
IMGCOR iprisma(const IMGGRY& r, const IMGGRY& g, const IMGGRY& b);

// Splits a frame into its luma plane and its two chroma planes.
void prisma(const IMGYUV& y, IMGGRY& Y, IMGGRY& U, IMGGRY& V);
// A frame from a luma plane and two chroma planes of half its size.
IMGYUV yprisma(const IMGGRY& Y, const IMGGRY& U, const IMGGRY& V);
// A frame from a luma plane and the chroma planes of a frame of the same size.
IMGYUV yprisma(const IMGGRY& Y, const IMGYUV& s);

IMGYUV IMG2IMY(const IMGGRY& g);
IMGGRY IMY2IMG(const IMGYUV& y);
IMGYUV IMC2IMY(const IMGCOR& a);
IMGCOR IMY2IMC(const IMGYUV& y);

// Colour negative (fresh image; outside value negated too).
IMGCOR operator-(const IMGCOR& a);
IMGCOR operator!(const IMGCOR& a);

// Per-pixel colour spaces into fresh images; the outside value is converted the same way.
IMGCOR RGB2HSI(const IMGCOR& a, int k = 0);
IMGCOR HSI2RGB(const IMGCOR& a, int k = 0);
IMGCOR RGB2YUV(const IMGCOR& a);
IMGCOR YUV2RGB(const IMGCOR& a);

// In place on the copy: every pixel of the block, outside value and centre kept.
IMGCOR RGB2BGR(IMGCOR a);
IMGCOR RGB2Lab(IMGCOR a);
IMGCOR Lab2RGB(IMGCOR a);
IMGCOR RGB2XYZ(IMGCOR a);
IMGCOR XYZ2RGB(IMGCOR a);
IMGCOR RGB2OPP(IMGCOR a);

// Weighted median of each channel under the mask m (weights, 0 = not in the window), whose
// stored centre is placed on each pixel; positions outside a are left out.
IMGCOR mediana(const IMGCOR& a, const IMGGRY& m);

#pragma GCC visibility pop
