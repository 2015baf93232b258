// Normalisation to a range and by mean and deviation.
#include <complex>
#include <cstdint>

#include "foundation/constants.h"
#include "processing/algebra/statistics.h"
#include "processing/algebra/statistics_internal.h"

namespace {

// Smallest and largest pixel, both starting at pixel (0, 0), or at the outside value when
// the image is empty.
template <class Img, class T = typename Img::Pixel>
void range_of(const Img& a, T& lo, T& hi) {
  lo = hi = vistelmo::has_pixels(a) ? a.rows[0][0] : a.backg;
  if (!vistelmo::has_pixels(a)) return;
  for (int l = 0; l < a.nl; l++) {
    const T* row = a.rows[l];
    for (int c = 0; c < a.nc; c++) {
      if (row[c] < lo) lo = row[c];
      if (row[c] > hi) hi = row[c];
    }
  }
}

// Fresh image of a's size with pixel f(p).
template <class Img, class F>
Img fresh_from(const Img& a, F f) {
  Img r(a.nl, a.nc);
  const int64_t n = vistelmo::pixel_count(a);
  if (vistelmo::has_pixels(r))
    for (int64_t i = 0; i < n; i++) r.data[i] = f(a.data[i]);
  return r;
}

// Real images to 0..1; a copy when the range is below epsilon.
template <class Img>
Img stretch_unit(const Img& a) {
  using T = typename Img::Pixel;
  T lo, hi;
  range_of(a, lo, hi);
  const double dlo = lo;
  const double span = static_cast<double>(hi) - dlo;
  if (epsilon > span) return a;
  return fresh_from(a, [dlo, span](T p) { return static_cast<T>((p - dlo) / span); });
}

template <class Img>
void mean_deviation(Img& a, double k) {
  using T = typename Img::Pixel;
  const double m = media(a);
  const double s = desvio(a);
  const double w = 2 * k * s + epsilon;
  const int64_t n = vistelmo::pixel_count(a);
  for (int64_t i = 0; i < n; i++) {
    double v = (a.data[i] - m + epsilon) / w + 0.5f;
    if (v < 0) v = 0;
    if (v > 1) v = 1;
    a.data[i] = static_cast<T>(v);
  }
}

}  // namespace

IMGGRY normaliza(const IMGGRY& a) {
  unsigned char lo, hi;
  range_of(a, lo, hi);
  const int span = hi - lo;
  if (static_cast<double>(span) == 0) return a;
  return fresh_from(a, [lo, span](unsigned char p) {
    return static_cast<unsigned char>(255 * (static_cast<double>(p - lo) / span));
  });
}

IMGFLT normaliza(const IMGFLT& a) { return stretch_unit(a); }
IMGDBL normaliza(const IMGDBL& a) { return stretch_unit(a); }

IMGCPX normaliza(const IMGCPX& a) {
  double top = vistelmo::scaled_magnitude(vistelmo::has_pixels(a) ? a.rows[0][0] : a.backg);
  const int64_t n = vistelmo::pixel_count(a);
  for (int64_t i = 0; i < n; i++) {
    const double m = vistelmo::scaled_magnitude(a.data[i]);
    if (m > top) top = m;
  }
  if (epsilon > top) return a;
  const std::complex<float> d(static_cast<float>(top), 0.0f);
  return fresh_from(a, [d](std::complex<float> z) { return z / d; });
}

IMGFLT normalizamd(IMGFLT a, double k) {
  mean_deviation(a, k);
  return a;
}

IMGDBL normalizamd(IMGDBL a, double k) {
  mean_deviation(a, k);
  return a;
}
