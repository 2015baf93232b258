// Grey and float morphology by rectangles: the plain walk, and the span form (separable, each
// pass reduced by doubling).
#include <algorithm>
#include <cstdint>
#include <limits>
#include <type_traits>
#include <vector>

#include "foundation/constants.h"
#include "processing/algebra/morphology.h"
#include "processing/algebra/morphology_spans_internal.h"
#include "processing/algebra/neighbourhood_internal.h"

namespace {

using vistelmo::Tap;

// The running value changes only on a strictly smaller (erosion) or greater (dilation) sample,
// so a NaN never enters and the first of equal samples stays.
struct Smaller {
  template <class T>
  bool operator()(T v, T acc) const {
    return v < acc;
  }
};
struct Greater {
  template <class T>
  bool operator()(T v, T acc) const {
    return v > acc;
  }
};

// Rectangle of wl x wc about offsets -hr.., -hc..: a row pass into a temporary, then a column
// pass back into a. Samples outside read a's outside value, in both passes.
template <class Img, class Better>
void rectangle(Img& a, int wl, int wc, int64_t hr, int64_t hc, typename Img::Pixel start,
               Better better) {
  using T = typename Img::Pixel;
  if (!vistelmo::has_pixels(a)) return;
  const int nl = a.nl, nc = a.nc;
  const T outside = a.backg;
  auto fold = [&](T& acc, T v) {
    if (better(v, acc)) acc = v;
  };
  std::vector<T> temp(static_cast<size_t>(nl) * nc);
  for (int y = 0; y < nl; y++) {
    const T* src = a.rows[y];
    T* t = &temp[static_cast<size_t>(y) * nc];
    for (int c = 0; c < nc; c++) {
      T acc = start;
      if (wc >= 1) {
        const int64_t lo = c - hc, hi = lo + wc - 1;
        if (lo < 0) fold(acc, outside);
        const int64_t x1 = std::min<int64_t>(hi, nc - 1);
        for (int64_t x = std::max<int64_t>(lo, 0); x <= x1; x++) fold(acc, src[x]);
        if (hi >= nc) fold(acc, outside);
      }
      t[c] = acc;
    }
  }
  std::vector<T> acc(nc);
  for (int l = 0; l < nl; l++) {
    std::fill(acc.begin(), acc.end(), start);
    if (wl >= 1) {
      const int64_t lo = l - hr, hi = lo + wl - 1;
      if (lo < 0)
        for (T& v : acc) fold(v, outside);
      const int64_t y1 = std::min<int64_t>(hi, nl - 1);
      for (int64_t y = std::max<int64_t>(lo, 0); y <= y1; y++) {
        const T* t = &temp[static_cast<size_t>(y) * nc];
        for (int c = 0; c < nc; c++) fold(acc[c], t[c]);
      }
      if (hi >= nl)
        for (T& v : acc) fold(v, outside);
    }
    std::copy(acc.begin(), acc.end(), a.rows[l]);
  }
}

using vistelmo::red_kernels;
using vistelmo::RedKernels;
using vistelmo::spans_fit;

// A NaN sample stands as the value that never wins (+inf for the minimum, -inf for the
// maximum). red never takes a NaN over a number, and +inf standing for a NaN gives the bits of
// any +inf it meets, so the result changes only where every sample was NaN: there it is that
// infinity, which the start value then replaces as it did the NaN.
inline void calm(uint8_t*, int64_t, bool) {}
inline void calm(float* v, int64_t n, bool max) {
  const float never =
      max ? -std::numeric_limits<float>::infinity() : std::numeric_limits<float>::infinity();
  for (int64_t i = 0; i < n; i++) v[i] = v[i] != v[i] ? never : v[i];
}
template <class T>
T calm(T v, bool max) {
  calm(&v, 1, max);
  return v;
}

// Columns offset .. offset + len - 1 of a row of n into line, calm, the outside value (calm)
// off the row.
template <class T>
void calm_line(const T* row, int64_t n, int64_t offset, int64_t len, T outside, bool max, T* line) {
  const int64_t lo = std::clamp<int64_t>(-offset, 0, len);
  const int64_t hi = std::clamp<int64_t>(n - offset, lo, len);
  std::fill(line, line + lo, outside);
  if constexpr (std::is_floating_point_v<T>)
    vistelmo::span_kernels().calm_copy_f32(
        row + lo + offset, calm(std::numeric_limits<T>::quiet_NaN(), max), line + lo, hi - lo);
  else
    std::copy(row + lo + offset, row + hi + offset, line + lo);
  std::fill(line + hi, line + len, outside);
}

// Window of size samples at offsets offset .. offset + size - 1. red(m[x], m[x + size - p])
// of the two halves, m being red over p = the largest power of two <= size.
// The levels are made whole vectors long (kSlack past the line, where line and spare have room)
// so that the kernels run without a scalar tail.
constexpr int64_t kSlack = 64;
inline int64_t whole_vectors(int64_t n) { return (n + 31) & ~int64_t{31}; }

// The centred window of three across a row, the outside value (calm) at both ends, straight
// from the row: false (nothing kept) where the row holds a NaN or the kernels have no red3.
template <class T>
bool window3_row(const RedKernels<T>& k, const T* src, int64_t nc, T outside, bool max, T* dst) {
  if (!k.red3 || nc < 3 || !k.red3(src, dst + 1, nc - 2)) return false;
  auto red = [max](T x, T y) { return (max ? y > x : y < x) ? y : x; };
  dst[0] = red(red(outside, src[0]), src[1]);
  dst[nc - 1] = red(red(src[nc - 2], src[nc - 1]), outside);
  return true;
}

template <class T>
void window_line(const RedKernels<T>& k, T* line, T* spare, int64_t len, int64_t size, T* dst,
                 int64_t n) {
  if (size == 3) {  // red(red(x0, x1), red(x2, x2)) in one pass
    k.red4(line, line + 1, line + 2, line + 2, dst, n);
    return;
  }
  int64_t p = 1;
  while (2 * p <= size) {
    if (4 * p <= size) {  // two steps in one pass
      k.red4(line, line + p, line + 2 * p, line + 3 * p, spare, whole_vectors(len - 4 * p + 1));
      p *= 4;
    } else {
      k.red2(line, line + p, spare, whole_vectors(len - 2 * p + 1));
      p *= 2;
    }
    std::swap(line, spare);
  }
  k.red2(line, line + (size - p), dst, n);
}

// The centred 3 x 3 rectangle of bytes whose outside value changes nothing (255 for the
// minimum, 0 for the maximum): in one pass, an edge row or column standing for the missing one.
// dst apart from src.
bool rectangle3x3(uint8_t* const* src, uint8_t* const* dst, int nl, int nc, uint8_t outside,
                  bool max) {
  if (outside != (max ? 0 : 255) || src[0] == dst[0]) return false;
  const vistelmo::SpanKernels& k = vistelmo::span_kernels();
  auto inner = max ? k.max3x3_u8 : k.min3x3_u8;
  auto red = [max](uint8_t x, uint8_t y) { return max ? std::max(x, y) : std::min(x, y); };
  for (int l = 0; l < nl; l++) {
    const uint8_t* rows[3] = {src[std::max(l - 1, 0)], src[l], src[std::min(l + 1, nl - 1)]};
    if (nc >= 3) inner(rows, dst[l] + 1, nc - 2);
    for (int c : {0, nc - 1}) {
      uint8_t v = outside;
      for (int j = std::max(c - 1, 0); j <= std::min(c + 1, nc - 1); j++)
        for (const uint8_t* r : rows) v = red(v, r[j]);
      dst[l][c] = v;
    }
  }
  return true;
}
template <class T>
bool rectangle3x3(T* const*, T* const*, int, int, T, bool) {
  return false;
}

// Small rectangles of bytes whose outside value changes nothing, about offsets -(w - 1) .. 0:
// the window's rows reduced down in one pass (rows off the image left out) into a line whose
// ends hold the outside value, then that line reduced across in another, both by the taps
// kernel. dst apart from src.
bool rectangle_small(uint8_t* const* src, uint8_t* const* dst, int nl, int nc, int64_t orow,
                     int64_t wl, int64_t ocol, int64_t wc, uint8_t outside, bool max) {
  if (outside != (max ? 0 : 255) || wl < 1 || wl > 8 || wc < 1 || wc > 8 || orow > 0 ||
      orow <= -wl || ocol > 0 || ocol <= -wc)
    return false;
  const vistelmo::SpanKernels& k = vistelmo::span_kernels();
  auto taps = max ? k.max_taps_u8 : k.min_taps_u8;
  std::vector<uint8_t> line(static_cast<size_t>(nc + wc - 1), outside), zeros(8, 0);
  const uint8_t* from[8];
  for (int l = 0; l < nl; l++) {
    int64_t count = 0;
    for (int64_t y = std::max<int64_t>(l + orow, 0); y < std::min<int64_t>(l + orow + wl, nl); y++)
      from[count++] = src[y];
    taps(from, zeros.data(), count, count, line.data() - ocol, nc);
    for (int64_t j = 0; j < wc; j++) from[j] = line.data() + j;
    taps(from, zeros.data(), wc, wc, dst[l], nc);
  }
  return true;
}
template <class T>
bool rectangle_small(T* const*, T* const*, int, int, int64_t, int64_t, int64_t, int64_t, T, bool) {
  return false;
}

// What runs on each stretch of result row as soon as it is made (while it is in cache).
template <class T>
struct Finish {
  void (*first)(T, T*, int64_t) = nullptr;  // red(start, v) when set
  T start{};
  void operator()(T* v, int64_t n) const {
    if (first) first(start, v, n);
  }
};

// Row passes of whole rows, in order, each row then reduced down the columns by levels kept in
// rings of wl rows: level j row y = red over row passes y .. y + P_j - 1, made as soon as its
// last row pass is in. Reads the image once, front to back. False (nothing done) when the rings
// would not stay in cache.
template <class T>
bool rectangle_rows(T* const* src, T* const* dst, int nl, int nc, int64_t orow, int64_t wl,
                    int64_t ocol, int64_t wc, T outside, const RedKernels<T>& k, bool max,
                    const Finish<T>& finish) {
  std::vector<int64_t> span = {1};  // P_j; three rows in one last pass
  while (wl != 3 && 2 * span.back() <= wl)
    span.push_back(span.back() * (4 * span.back() <= wl ? 4 : 2));
  const size_t levels = span.size(), width = static_cast<size_t>(whole_vectors(nc));
  if (levels * static_cast<size_t>(wl) * width * sizeof(T) > (size_t{1} << 21)) return false;
  std::vector<T> ring(levels * static_cast<size_t>(wl) * width);
  auto row = [&](size_t j, int64_t y) {
    return ring.data() + (j * static_cast<size_t>(wl) + static_cast<size_t>(y % wl)) * width;
  };
  const int64_t len = nc + wc - 1, p = span.back();
  std::vector<T> line(2 * static_cast<size_t>(len + 2 * kSlack));
  for (int64_t y = 0; y < nl + wl - 1; y++) {
    const int64_t iy = y + orow;
    if (iy < 0 || iy >= nl) {
      std::fill(row(0, y), row(0, y) + nc, outside);
    } else if (wc != 3 || ocol != -1 || !window3_row(k, src[iy], nc, outside, max, row(0, y))) {
      calm_line(src[iy], nc, ocol, len, outside, max, line.data());
      window_line(k, line.data(), line.data() + len + 2 * kSlack, len, wc, row(0, y), nc);
    }
    for (size_t j = 1; j < levels; j++) {
      const int64_t q = span[j - 1], y0 = y - (span[j] - 1);
      if (y0 < 0) break;
      if (span[j] == 4 * q)
        k.red4(row(j - 1, y0), row(j - 1, y0 + q), row(j - 1, y0 + 2 * q), row(j - 1, y0 + 3 * q),
               row(j, y0), nc);
      else
        k.red2(row(j - 1, y0), row(j - 1, y0 + q), row(j, y0), nc);
    }
    const int64_t l = y - (wl - 1);
    if (l < 0) continue;
    if (wl == 3 && finish.first && k.red3_first) {
      k.red3_first(finish.start, row(0, l), row(0, l + 1), row(0, l + 2), dst[l], nc);
      continue;
    }
    if (wl == 3)
      k.red4(row(0, l), row(0, l + 1), row(0, l + 2), row(0, l + 2), dst[l], nc);
    else
      k.red2(row(levels - 1, l), row(levels - 1, l + wl - p), dst[l], nc);
    finish(dst[l], nc);
  }
  return true;
}

// dst(l, c) = red over the rectangle rows l + orow .., columns c + ocol .. of src, reading the
// outside value off the image. dst apart from src. Rows in order while the column levels stay
// in cache, else in strips of columns whose row-pass results stay in cache for the column pass.
template <class T>
void rectangle_spans(T* const* src, T* const* dst, int nl, int nc, int64_t orow, int64_t wl,
                     int64_t ocol, int64_t wc, T outside, bool max,
                     const Finish<T>& finish = Finish<T>()) {
  if (orow == -1 && wl == 3 && ocol == -1 && wc == 3 &&
      rectangle3x3(src, dst, nl, nc, outside, max))
    return;
  if (rectangle_small(src, dst, nl, nc, orow, wl, ocol, wc, outside, max)) return;
  const RedKernels<T> k = red_kernels(vistelmo::span_kernels(), T{}, max);
  outside = calm(outside, max);
  if (rectangle_rows(src, dst, nl, nc, orow, wl, ocol, wc, outside, k, max, finish)) return;
  const int64_t h = nl + wl - 1;
  // Strips of whole vectors' width, so that only the last one has a tail.
  const int64_t strip = std::min<int64_t>(
      nc, std::max<int64_t>(256, (int64_t{1} << 20) / static_cast<int64_t>(h * sizeof(T))) & ~63);
  std::vector<T> plane(static_cast<size_t>(h) * strip);
  // line and spare, each with room for kSlack past its end.
  std::vector<T> line(2 * static_cast<size_t>(strip + wc - 1 + 2 * kSlack));
  auto prow = [&](int64_t y) { return plane.data() + static_cast<size_t>(y) * strip; };
  int64_t p = 1;
  while (2 * p <= wl) p *= 2;
  // Plane row y holds the row pass of image row y + orow.
  for (int64_t x0 = 0; x0 < nc; x0 += strip) {
    const int64_t s = std::min<int64_t>(strip, nc - x0), len = s + wc - 1;
    for (int64_t y = 0; y < h; y++) {
      const int64_t iy = y + orow;
      if (iy < 0 || iy >= nl) {
        std::fill(prow(y), prow(y) + s, outside);
        continue;
      }
      calm_line(src[iy], nc, x0 + ocol, len, outside, max, line.data());
      window_line(k, line.data(), line.data() + len + 2 * kSlack, len, wc, prow(y), s);
    }
    for (int64_t q = 1; q < p;) {
      if (4 * q <= p) {
        for (int64_t y = 0; y + 4 * q <= h; y++)
          k.red4(prow(y), prow(y + q), prow(y + 2 * q), prow(y + 3 * q), prow(y), s);
        q *= 4;
      } else {
        for (int64_t y = 0; y + 2 * q <= h; y++) k.red_into(prow(y), prow(y + q), s);
        q *= 2;
      }
    }
    for (int l = 0; l < nl; l++) {
      k.red2(prow(l), prow(l + wl - p), dst[l] + x0, s);
      finish(dst[l] + x0, s);
    }
  }
}

// Whether the span form takes the rectangle.
template <class Img>
bool rectangle_fits(const Img& a, int wl, int wc, int64_t hr, int64_t hc) {
  return !vistelmo::plain_walks() && vistelmo::has_pixels(a) && spans_fit(a.nl, -hr, wl) &&
         spans_fit(a.nc, -hc, wc);
}

// The span form into a fresh image with a's size and centre and the outside value outside (read
// outside a and kept by the result), the start value kept first. (A fresh result: the column
// strips read a's rows after earlier strips are done.)
template <class Img>
Img rectangle_fast(const Img& a, int wl, int wc, int64_t hr, int64_t hc,
                   typename Img::Pixel outside, typename Img::Pixel start, bool max) {
  Img r(a.nl, a.nc);
  r.lc = a.lc;
  r.cc = a.cc;
  r.backg = outside;
  Finish<typename Img::Pixel> finish;
  if constexpr (std::is_floating_point_v<typename Img::Pixel>) {
    const vistelmo::SpanKernels& k = vistelmo::span_kernels();
    finish.first = max ? k.max_first_f32 : k.min_first_f32;
    finish.start = start;
  }
  rectangle_spans(a.rows, r.rows, a.nl, a.nc, -hr, wl, -hc, wc, outside, max, finish);
  return r;
}

int64_t erosion_half(int size) { return (int64_t{size} - 1) / 2; }
int64_t dilation_half(int size) { return int64_t{size} - 1 - (int64_t{size} - 1) / 2; }

}  // namespace

void vistelmo::byte_rectangle_spans(uint8_t* const* src, uint8_t* const* dst, int nl, int nc,
                                    int64_t orow, int64_t wl, int64_t ocol, int64_t wc,
                                    uint8_t outside, bool max) {
  rectangle_spans(src, dst, nl, nc, orow, wl, ocol, wc, outside, max);
}

IMGGRY erosao(const IMGGRY& a, int nl, int nc) {
  if (rectangle_fits(a, nl, nc, erosion_half(nl), erosion_half(nc)))
    return rectangle_fast(a, nl, nc, erosion_half(nl), erosion_half(nc), uint8_t{255}, uint8_t{255},
                          false);
  IMGGRY r(a);
  r.backg = 255;
  rectangle(r, nl, nc, erosion_half(nl), erosion_half(nc), static_cast<unsigned char>(255),
            Smaller());
  return r;
}

IMGGRY dilat(const IMGGRY& a, int nl, int nc) {
  if (rectangle_fits(a, nl, nc, dilation_half(nl), dilation_half(nc)))
    return rectangle_fast(a, nl, nc, dilation_half(nl), dilation_half(nc), uint8_t{0}, uint8_t{0},
                          true);
  IMGGRY r(a);
  r.backg = 0;
  rectangle(r, nl, nc, dilation_half(nl), dilation_half(nc), static_cast<unsigned char>(0),
            Greater());
  return r;
}

IMGFLT erosao(const IMGFLT& a, int nl, int nc) {
  if (rectangle_fits(a, nl, nc, erosion_half(nl), erosion_half(nc)))
    return rectangle_fast(a, nl, nc, erosion_half(nl), erosion_half(nc), a.backg,
                          static_cast<float>(infinito), false);
  IMGFLT r(a);
  rectangle(r, nl, nc, erosion_half(nl), erosion_half(nc), static_cast<float>(infinito), Smaller());
  return r;
}

IMGFLT dilat(const IMGFLT& a, int nl, int nc) {
  if (rectangle_fits(a, nl, nc, dilation_half(nl), dilation_half(nc)))
    return rectangle_fast(a, nl, nc, dilation_half(nl), dilation_half(nc), a.backg,
                          static_cast<float>(-infinito), true);
  IMGFLT r(a);
  rectangle(r, nl, nc, dilation_half(nl), dilation_half(nc), static_cast<float>(-infinito),
            Greater());
  return r;
}
