// Fuzzy rules in code: trapezoidal fuzzy numbers, truth values with connectives and hedges,
// and rule statements that accumulate a weighted mean into an output variable.
#pragma once

#include <type_traits>

#pragma GCC visibility push(default)

// Trapezoid: membership 0 up to m0, rising to 1 at m1, 1 up to m2, falling to 0 at m3.
struct FFN {
  double m0, m1, m2, m3;

  FFN() : m0(0), m1(0), m2(0), m3(0) {}
  FFN(double a, double b, double c, double d) : m0(a), m1(b), m2(c), m3(d) {}
};

// Degree of truth, normally in 0..1 (not clamped).
struct CONFID {
  double c;

  CONFID(double x = 0) : c(x) {}
  operator double() const { return c; }
};

// v: weighted mean of the accepted rule outputs; w: the sum of their weights.
struct OUTVAR {
  double v, w;

  OUTVAR() : v(0), w(0) {}
  OUTVAR(double v0, double w0) : v(v0), w(w0) {}
};

CONFID operator&&(CONFID a, CONFID b);  // minimum
CONFID operator||(CONFID a, CONFID b);  // maximum
CONFID operator*(CONFID a, CONFID b);   // product
CONFID operator+(CONFID a, CONFID b);   // sum bounded by 1
CONFID operator!(CONFID a);             // 1 - a

// A plain number beside a truth value in a connective counts as a truth value.
namespace vistelmo {
template <class T>
using if_number_t = std::enable_if_t<std::is_arithmetic<T>::value, CONFID>;
}
template <class T>
vistelmo::if_number_t<T> operator&&(CONFID a, T b) {
  return a && CONFID(static_cast<double>(b));
}
template <class T>
vistelmo::if_number_t<T> operator&&(T a, CONFID b) {
  return CONFID(static_cast<double>(a)) && b;
}
template <class T>
vistelmo::if_number_t<T> operator||(CONFID a, T b) {
  return a || CONFID(static_cast<double>(b));
}
template <class T>
vistelmo::if_number_t<T> operator||(T a, CONFID b) {
  return CONFID(static_cast<double>(a)) || b;
}
template <class T>
vistelmo::if_number_t<T> operator*(CONFID a, T b) {
  return a * CONFID(static_cast<double>(b));
}
template <class T>
vistelmo::if_number_t<T> operator*(T a, CONFID b) {
  return CONFID(static_cast<double>(a)) * b;
}
template <class T>
vistelmo::if_number_t<T> operator+(CONFID a, T b) {
  return a + CONFID(static_cast<double>(b));
}
template <class T>
vistelmo::if_number_t<T> operator+(T a, CONFID b) {
  return CONFID(static_cast<double>(a)) + b;
}

CONFID very(CONFID c, double p);         // c^p
CONFID moreorless(CONFID c, double p);   // c^(1/p)
CONFID intensified(CONFID c, double p);  // 2^(p-1) c^p
CONFID attenuated(CONFID c, double p);   // 2^(1/p-1) c^(1/p)

// Membership of x in f.
CONFID is(double x, FFN f);
CONFID operator==(double x, FFN f);

FFN dark(FFN f, double d);   // shifted left by d
FFN light(FFN f, double d);  // shifted right by d
FFN very(FFN f);             // slopes pulled halfway in
double cg(FFN f);            // centre of the core

void reset(OUTVAR& o);
// Accumulates x into o with weight c * w; weights below epsilon are ignored.
void fif(CONFID c, double w, OUTVAR& o, double x);
void fif(CONFID c, double w, OUTVAR& o, FFN f);
// x1 with weight c * w, then x2 with weight (1 - c) * w; a fuzzy number stands for its cg.
void fifelse(CONFID c, double w, OUTVAR& o, double x1, double x2);
void fifelse(CONFID c, double w, OUTVAR& o, double x1, FFN x2);
void fifelse(CONFID c, double w, OUTVAR& o, FFN x1, double x2);
void fifelse(CONFID c, double w, OUTVAR& o, FFN x1, FFN x2);

void show(FFN f);
void show(CONFID c);
void show(OUTVAR o);

#pragma GCC visibility pop
