// Reductions of an image to a number or a position.
#include <cmath>
#include <cstdint>
#include <limits>

#include "foundation/constants.h"
#include "foundation/erro.h"
#include "processing/algebra/pointwise_internal.h"
#include "processing/algebra/statistics.h"
#include "processing/algebra/statistics_internal.h"

namespace {

template <class Img>
double mean_of(const Img& a) {
  return vistelmo::pixel_sum(a) / static_cast<double>(vistelmo::pixel_count(a));
}

template <class Img>
double deviation_of(const Img& a) {
  const int64_t n = vistelmo::pixel_count(a);
  // No pixels: no deviation (the divisor n - 1 would turn 0 into -0).
  if (n < 1) return std::numeric_limits<double>::quiet_NaN();
  const double s = vistelmo::squared_deviation_sum(a.data, n, mean_of(a));
  return std::sqrt(s / static_cast<double>(n - 1));
}

// The first pixel for which a scan from pixel (0, 0) keeping the better one stops moving.
PONTOI2 position_of(const IMGFLT& a, bool largest) {
  const int64_t i = vistelmo::first_extreme_at(a.data, vistelmo::pixel_count(a), largest);
  return vistelmo::has_pixels(a) ? PONTOI2(int(i / a.nc), int(i % a.nc)) : PONTOI2(0, 0);
}

// The first pixel p in block order for which p < infinito (p > -infinito when largest) and no
// later pixel is below (above) it, as a scan keeping the better one gives: only the sign of a
// zero depends on which pixel.
double extreme_of(const IMGFLT& a, bool largest) {
  const int64_t n = vistelmo::pixel_count(a);
  const double start = largest ? -infinito : infinito;
  const float m = vistelmo::float_extreme(a.data, n, largest);
  if (!(largest ? m > start : m < start)) return start;
  if (m != 0) return m;
  int64_t i = 0;
  while (a.data[i] != 0) i++;
  return a.data[i];
}

}  // namespace

double media(const IMGGRY& a) { return mean_of(a); }
double media(const IMGFLT& a) { return mean_of(a); }
double media(const IMGDBL& a) { return mean_of(a); }
double desvio(const IMGFLT& a) { return deviation_of(a); }
double desvio(const IMGDBL& a) { return deviation_of(a); }

double minimo(const IMGFLT& a) { return extreme_of(a, false); }
double maximo(const IMGFLT& a) { return extreme_of(a, true); }

short maximo(const IMGSHT& a) {
  const int64_t n = vistelmo::pixel_count(a);
  short best = minsht;
  for (int64_t i = 0; i < n; i++)
    if (a.data[i] > best) best = a.data[i];
  return best;
}

PONTOI2 argmax(const IMGFLT& a) { return position_of(a, true); }
PONTOI2 argmin(const IMGFLT& a) { return position_of(a, false); }

double somatoria(const IMGDBL& a) { return vistelmo::pixel_sum(a); }

// (p - 0)^2 is p * p.
double comprimento(const IMGDBL& a) {
  return std::sqrt(vistelmo::squared_deviation_sum(a.data, vistelmo::pixel_count(a), 0.0));
}

double comprimento(const IMGFLT& a, double p) {
  const int64_t n = vistelmo::pixel_count(a);
  const float* v = a.data;
  double s = 0;
  // (v - 0)^2 is v * v.
  if (p == 2.0) return std::sqrt(vistelmo::squared_deviation_sum(v, n, 0.0));
  if (p == infinito) {
    for (int64_t i = 0; i < n; i++) {
      const double m = std::fabs(static_cast<double>(v[i]));
      if (m > s) s = m;
    }
    return s;
  }
  if (p > 1.0) {
    for (int64_t i = 0; i < n; i++) s += std::pow(std::fabs(static_cast<double>(v[i])), p);
    return std::pow(s, 1.0 / p);
  }
  if (p == 1.0) return vistelmo::float_sum(v, n, true);
  erro("Erro: p<1.0", "");
}

int contapreto(const IMGBIN& a) {
  if (!vistelmo::has_pixels(a)) return 0;
  // White pixels are set bits; the spare bits past the last column are masked off.
  const int64_t white = vistelmo::set_bits(a.rows, a.nl, a.wpr, vistelmo::last_word_mask(a.nc));
  return static_cast<int>(vistelmo::pixel_count(a) - white);
}
