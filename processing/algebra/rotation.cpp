// Rotation about the centre with nearest or bilinear resampling.
#include "processing/algebra/rotation.h"

#include <cmath>
#include <complex>
#include <cstdint>
#include <string>
#include <type_traits>

#include "foundation/erro.h"
#include "foundation/math_internal.h"
#include "images/colour_internal.h"
#include "images/image_core_internal.h"
#include "processing/kernels/resample.h"

namespace {

using vistelmo::kPi;

// The empty result, the source's frame ('m') or the bounding frame of the rotated corner
// pixels ('a'); any other letter leaves it empty.
template <class Img>
Img result_frame(const Img& a, double C, double S, char frame) {
  Img r;  // one result object, returned without a copy
  if (frame == 'm') {
    r.aloca(a.nl, a.nc);
    vistelmo::take_frame(r, a);
    return r;
  }
  if (frame != 'a') return r;
  const double left = -static_cast<double>(a.cc), right = static_cast<double>(a.nc) - 1 - a.cc;
  const double top = a.lc, bottom = static_cast<double>(a.lc) - a.nl + 1;
  const double xs[4] = {left, right, left, right}, ys[4] = {top, top, bottom, bottom};
  int xmin = 0, xmax = 0, ymin = 0, ymax = 0;
  for (int k = 0; k < 4; k++) {
    const int x = vistelmo::round_index(xs[k] * C - ys[k] * S);
    const int y = vistelmo::round_index(xs[k] * S + ys[k] * C);
    if (k == 0 || x < xmin) xmin = x;
    if (k == 0 || x > xmax) xmax = x;
    if (k == 0 || y < ymin) ymin = y;
    if (k == 0 || y > ymax) ymax = y;
  }
  // Corner offsets stay within +-2^30, so the spans fit in 64 bits; past int no image fits.
  const int64_t rows = int64_t{ymax} - ymin + 1, cols = int64_t{xmax} - xmin + 1;
  if (rows > INT32_MAX || cols > INT32_MAX)
    erro(std::string("Erro ") + vistelmo::ImageTraits<Img>::name + "::aloca - Falta memoria", "");
  r.aloca(static_cast<int>(rows), static_cast<int>(cols));
  r.lc = ymax;
  r.cc = -xmin;
  r.backg = a.backg;
  return r;
}

// Fills every pixel of r from the inverse rotation of its offsets, one at a time; value(xs, ys)
// samples the source at a real position.
template <class Img, class Value>
void fill_rotated(Img& r, double C, double S, Value value) {
  for (int l = 0; l < r.nl(); l++) {
    const double y = static_cast<double>(r.lc) - l;
    typename Img::Pixel* row = r.rows[l];
    for (int c = 0; c < r.nc(); c++) {
      const double x = static_cast<double>(c) - r.cc;
      row[c] = value(x * C + y * S, -x * S + y * C);
    }
  }
}

// Picks the interpolation and the loops once.
template <class Img>
void rotate_into(Img& r, const Img& a, char borda, double C, double S, char interp) {
  if (!vistelmo::has_pixels(r)) return;
  const vistelmo::Sampler<Img> s(a, borda);
  if (interp != 'n' && interp != 'b') erro("Erro inesperado", "");
  if (!vistelmo::resample_fast()) {
    if (interp == 'n')
      fill_rotated(r, C, S, [&](double xs, double ys) {
        return s(vistelmo::round_index(xs), vistelmo::round_index(ys));
      });
    else
      fill_rotated(r, C, S, [&](double xs, double ys) {
        return vistelmo::bilinear<false>(s, xs, ys, [](double dx, double dy, const auto& q) {
          typename Img::Pixel p;
          vistelmo::store_blend(p, vistelmo::bilinear_weights(dx, dy), q);
          return p;
        });
      });
    return;
  }
  const vistelmo::RowLoops<Img> loops = vistelmo::row_loops(s);
  const auto loop = interp == 'n' ? loops.nearest : loops.bilinear;
  vistelmo::ColumnTerms terms(r.cc, 1.0, C, S);
  vistelmo::resample_tiles(r.nl(), r.nc(), [&](int l, int from, int to) {
    const double y = static_cast<double>(r.lc) - l;
    const vistelmo::RowMap m =
        loops.block ? terms.map(from, to, y * S, y * C)
                    : vistelmo::RowMap{static_cast<double>(r.cc), 1.0, C, S, y * S, y * C};
    loop(s, from, to, m, r.rows[l]);
  });
}

}  // namespace

// The bilinear blends of each pixel type are store_blend's (resample_internal.h): in double,
// rounded as the type stores them; complex pixels part by part in single precision.

IMGFLT rotacao(const IMGFLT& a, double graus, char interp, char frame) {
  // Radians as graus / 180 * kPi, in this order: another order rounds differently.
  const double t = graus / 180 * kPi, C = std::cos(t), S = std::sin(t);
  IMGFLT r = result_frame(a, C, S, frame);
  rotate_into(r, a, 'C', C, S, interp);
  return r;
}

IMGCPX rotacao(const IMGCPX& a, double graus, char interp, char frame) {
  // Radians as graus * 2 * kPi / 360, in this order: another order rounds differently.
  const double t = graus * 2 * kPi / 360, C = std::cos(t), S = std::sin(t);
  IMGCPX r = result_frame(a, C, S, frame);
  rotate_into(r, a, 'C', C, S, interp);
  return r;
}

IMGGRY rotacao(const IMGGRY& a, double graus, char interp, char frame, char borda) {
  // Radians as graus * 2 * kPi / 360, in this order: another order rounds differently.
  const double t = graus * 2 * kPi / 360, C = std::cos(t), S = std::sin(t);
  IMGGRY r = result_frame(a, C, S, frame);
  rotate_into(r, a, borda, C, S, interp);
  return r;
}
