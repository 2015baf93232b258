#include "numerics/fuzzy.h"

#include <cmath>
#include <cstdio>

#include "foundation/constants.h"

namespace {

void accumulate(OUTVAR& o, double x, double a) {
  if (a < epsilon) return;
  double w = o.w + a;
  o.v = (o.v * o.w + x * a) / w;
  o.w = w;
}

}  // namespace

CONFID operator&&(CONFID a, CONFID b) { return a.c <= b.c ? a : b; }
CONFID operator||(CONFID a, CONFID b) { return b.c <= a.c ? a : b; }
CONFID operator*(CONFID a, CONFID b) { return a.c * b.c; }
CONFID operator+(CONFID a, CONFID b) {
  double s = a.c + b.c;
  return s <= 1.0 ? s : 1.0;
}
CONFID operator!(CONFID a) { return 1.0 - a.c; }

CONFID very(CONFID c, double p) { return std::pow(c.c, p); }
CONFID moreorless(CONFID c, double p) { return std::pow(c.c, 1.0 / p); }
CONFID intensified(CONFID c, double p) { return std::pow(2.0, p - 1.0) * std::pow(c.c, p); }
CONFID attenuated(CONFID c, double p) {
  double q = 1.0 / p;
  return std::pow(2.0, q - 1.0) * std::pow(c.c, q);
}

CONFID is(double x, FFN f) {
  if (x < f.m0) return 0.0;
  if (x < f.m1) return 1.0 - (f.m1 - x) / (f.m1 - f.m0);
  if (x <= f.m2) return 1.0;
  if (x <= f.m3) return 1.0 - (x - f.m2) / (f.m3 - f.m2);
  return 0.0;
}
CONFID operator==(double x, FFN f) { return is(x, f); }

FFN dark(FFN f, double d) { return FFN(f.m0 - d, f.m1 - d, f.m2 - d, f.m3 - d); }
FFN light(FFN f, double d) { return FFN(f.m0 + d, f.m1 + d, f.m2 + d, f.m3 + d); }
FFN very(FFN f) { return FFN((f.m0 + f.m1) / 2, f.m1, f.m2, (f.m2 + f.m3) / 2); }
double cg(FFN f) { return (f.m1 + f.m2) / 2; }

void reset(OUTVAR& o) {
  o.v = 0;
  o.w = 0;
}

void fif(CONFID c, double w, OUTVAR& o, double x) { accumulate(o, x, c.c * w); }
void fif(CONFID c, double w, OUTVAR& o, FFN f) { accumulate(o, cg(f), c.c * w); }

void fifelse(CONFID c, double w, OUTVAR& o, double x1, double x2) {
  accumulate(o, x1, c.c * w);
  accumulate(o, x2, (1.0 - c.c) * w);
}
void fifelse(CONFID c, double w, OUTVAR& o, double x1, FFN x2) { fifelse(c, w, o, x1, cg(x2)); }
void fifelse(CONFID c, double w, OUTVAR& o, FFN x1, double x2) { fifelse(c, w, o, cg(x1), x2); }
void fifelse(CONFID c, double w, OUTVAR& o, FFN x1, FFN x2) { fifelse(c, w, o, cg(x1), cg(x2)); }

void show(FFN f) {
  std::printf("FFN m0=%10.3e m1=%10.3e m2=%10.3e m3=%10.3e\n", f.m0, f.m1, f.m2, f.m3);
}
void show(CONFID c) { std::printf("CONFID %f\n", c.c); }
void show(OUTVAR o) { std::printf("OUTVAR v=%10.3e w=%10.3e\n", o.v, o.w); }
