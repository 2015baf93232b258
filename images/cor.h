// COR, the three-byte colour, and the colour spaces of one colour.
#pragma once

#include <cstdint>

#include "foundation/points.h"

#pragma GCC visibility push(default)

struct COR {
  unsigned char r;
  unsigned char g;
  unsigned char b;
};
static_assert(sizeof(COR) == 3, "COR must be three bytes without padding");

COR operator-(COR c);
COR operator!(COR c);
COR operator||(COR x, COR y);
COR operator&&(COR x, COR y);
bool operator==(COR x, COR y);
bool operator!=(COR x, COR y);

COR& vira(COR& c);
uint32_t& vira(uint32_t& x);
// Reverses the four low bytes; the value must fit 32 bits.
unsigned long& vira(unsigned long& x);
int& vira(int& x);

COR RGB2HSI(COR c, int k = 0);
COR HSI2RGB(COR c, int k = 0);
COR RGB2YUV(COR c);
int RGB2Y(COR c);
int RGB2U(COR c);
int RGB2V(COR c);
COR YUV2RGB(COR c);

double CIEXYZg(double v);
double CIEXYZh(double v);
double CIELabf(double t);
PONTO3 RGB2XYZ(COR c);
COR XYZ2RGB(PONTO3 p);
PONTO3 XYZ2Lab(PONTO3 p);
PONTO3 Lab2XYZ(PONTO3 p);
PONTO3 RGB2Lab(COR c);
COR Lab2RGB(PONTO3 p);
double DeltaE(COR c1, COR c2);

#pragma GCC visibility pop
