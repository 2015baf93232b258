// Grey and float morphology: separable rectangles and structuring images with heights.
#include <algorithm>
#include <cstdint>
#include <limits>
#include <type_traits>
#include <vector>

#include "foundation/constants.h"
#include "processing/algebra/morphology.h"
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

// The span form of the rectangle: a row pass and a column pass, each over a line padded with
// the outside value, reduced by doubling (red over 2, 4, 8 .. samples, then two overlapping
// halves), so the cost grows with log(size). red keeps the earlier sample on ties and never
// takes a NaN, which makes any grouping give the bits of the plain left-to-right fold.
template <class T>
struct RedKernels {
  void (*red2)(const T*, const T*, T*, int64_t);
  void (*red_into)(T*, const T*, int64_t);
  void (*red4)(const T*, const T*, const T*, const T*, T*, int64_t);
  // Three samples across straight from a row, false where it holds a NaN; three rows down then
  // red(start, ..) (the float kernels only).
  bool (*red3)(const T*, T*, int64_t) = nullptr;
  void (*red3_first)(T, const T*, const T*, const T*, T*, int64_t) = nullptr;
};

RedKernels<uint8_t> red_kernels(const vistelmo::SpanKernels& k, uint8_t, bool max) {
  return max ? RedKernels<uint8_t>{k.max2_u8, k.max_into_u8, k.max4_u8}
             : RedKernels<uint8_t>{k.min2_u8, k.min_into_u8, k.min4_u8};
}
// Float lines pass through calm first, so their kernels meet no NaN.
RedKernels<float> red_kernels(const vistelmo::SpanKernels& k, float, bool max) {
  return max ? RedKernels<float>{k.max2_num_f32, k.max_into_num_f32, k.max4_num_f32, k.max3_num_f32,
                                 k.max3_first_num_f32}
             : RedKernels<float>{k.min2_num_f32, k.min_into_num_f32, k.min4_num_f32, k.min3_num_f32,
                                 k.min3_first_num_f32};
}

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

// Lines that the span form handles with padding of a sensible size.
bool spans_fit(int n, int64_t offset, int64_t size) {
  return size >= 1 && size <= 2 * int64_t{n} + 256 && offset >= -size - n && offset <= n;
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

// Row passes of whole rows, in order, each row then reduced down the columns by levels kept in
// rings of wl rows: level j row y = red over row passes y .. y + P_j - 1, made as soon as its
// last row pass is in. Reads the image once, front to back. False (nothing done) when the rings
// What runs on each stretch of result row as soon as it is made (while it is in cache).
template <class T>
struct Finish {
  void (*first)(T, T*, int64_t) = nullptr;  // red(start, v) when set
  T start{};
  void operator()(T* v, int64_t n) const {
    if (first) first(start, v, n);
  }
};

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

inline int clamp_byte(int v) { return std::min(255, std::max(0, v)); }

// Minimum over the members of clamp(p - s), outside p = 255.
struct GreyErode {
  IMGGRY& r;
  int acc;
  void start() { acc = 255; }
  void in(unsigned char p, const Tap& t) { acc = std::min(acc, clamp_byte(p - t.value)); }
  void out(const Tap& t) { acc = std::min(acc, clamp_byte(255 - t.value)); }
  void finish(int l, int c) { r.rows[l][c] = static_cast<unsigned char>(acc); }
};

// Maximum over the members of clamp(p + s), outside p = 0.
struct GreyDilate {
  IMGGRY& r;
  int acc;
  void start() { acc = 0; }
  void in(unsigned char p, const Tap& t) { acc = std::max(acc, clamp_byte(p + t.value)); }
  void out(const Tap& t) { acc = std::max(acc, clamp_byte(t.value)); }
  void finish(int l, int c) { r.rows[l][c] = static_cast<unsigned char>(acc); }
};

// Horizontal runs of members, and how each slot makes the reduction over every run length L:
// buffer i + 1 (0 being the padded row) from buffer `from` (over M samples) as red over the
// reads at at[0..3], M <= L <= 4 M, through lengths 4 M, 16 M .. where the next length is
// further.
struct RunStep {
  size_t from;
  int64_t length;
  int64_t at[4];
};
struct RunPlan {
  std::vector<vistelmo::Run> runs;
  std::vector<size_t> buffer;  // of each run
  std::vector<RunStep> steps;
};

RunPlan run_plan(const std::vector<Tap>& taps) {
  RunPlan plan;
  plan.runs = vistelmo::member_runs(taps);
  std::vector<int64_t> lengths;
  for (const vistelmo::Run& run : plan.runs) lengths.push_back(run.length);
  std::sort(lengths.begin(), lengths.end());
  lengths.erase(std::unique(lengths.begin(), lengths.end()), lengths.end());
  std::vector<int64_t> made = {1};  // length of each buffer
  auto step = [&](size_t from, int64_t L) {
    const int64_t m = made[from];
    plan.steps.push_back({from, L, {0, std::min(m, L - m), std::min(2 * m, L - m), L - m}});
    made.push_back(L);
  };
  for (int64_t L : lengths) {
    if (L == 1) continue;
    while (4 * made.back() < L) step(made.size() - 1, 4 * made.back());
    step(made.size() - 1, L);
  }
  for (const vistelmo::Run& run : plan.runs)
    plan.buffer.push_back(
        static_cast<size_t>(std::find(made.begin(), made.end(), run.length) - made.begin()));
  return plan;
}

// Members all of one height s: clamp(red(p) -/+ s), by the separable rectangle when they fill
// their bounding box, else by runs of members along rows. Other elements: one saturating span
// per member over rows padded with the outside value.
bool structure_fast(const IMGGRY& a, const std::vector<Tap>& taps, bool dilation, IMGGRY& r) {
  if (vistelmo::plain_walks() || taps.empty()) return false;
  const vistelmo::TapBox box = vistelmo::tap_box(taps);
  const int64_t rmin = box.rmin, cmin = box.cmin, wl = box.rows(), wc = box.cols();
  const bool flat = box.equal;
  if (!spans_fit(a.nl, rmin, wl) || !spans_fit(a.nc, cmin, wc)) return false;
  const vistelmo::SpanKernels& k = vistelmo::span_kernels();
  auto tap = dilation ? k.dilate_tap_u8 : k.erode_tap_u8;
  const uint8_t start = dilation ? 0 : 255;
  const int nl = a.nl, nc = a.nc;
  // clamp(red(p) -/+ s) of an element of one height s, row by row.
  auto lift = [&] {
    if (taps[0].value == 0) return;
    std::vector<uint8_t> acc(nc);
    for (int l = 0; l < nl; l++) {
      std::fill(acc.begin(), acc.end(), start);
      tap(acc.data(), r.rows[l], nc, taps[0].value);
      std::copy(acc.begin(), acc.end(), r.rows[l]);
    }
  };
  if (vistelmo::full_box(taps, box)) {
    rectangle_spans(a.rows, r.rows, nl, nc, rmin, wl, cmin, wc, start, dilation);
    lift();
    return true;
  }
  // Padded rows l + rmin .. l + rmax in a ring of wl slots. A flat element runs as horizontal
  // runs of members: each slot also holds, for every run length L, the reduction over L samples
  // from each position, made from a shorter one in one pass of two or four overlapping reads
  // (so one pass per distinct length), shared by all the runs of that length.
  const int64_t len = nc + wc - 1;
  const RunPlan plan = flat ? run_plan(taps) : RunPlan();
  const RedKernels<uint8_t> red = red_kernels(k, uint8_t{}, dilation);
  const vistelmo::AxisRule columns = vistelmo::axis_rule(vistelmo::AxisRule::kPlain, nc);
  const size_t per_slot = static_cast<size_t>(len) * (1 + plan.steps.size());
  std::vector<uint8_t> ring(static_cast<size_t>(wl) * per_slot);
  int64_t slots = wl;  // 1 when only the current row is read
  auto prow = [&](int64_t y) { return ring.data() + static_cast<size_t>(y % slots) * per_slot; };
  auto load = [&](int64_t y) {
    uint8_t* line = prow(y);
    const int64_t iy = y + rmin;
    if (iy >= 0 && iy < nl)
      vistelmo::padded_line(a.rows[iy], columns, cmin, len, start, line);
    else
      std::fill(line, line + len, start);
    for (size_t i = 0; i < plan.steps.size(); i++) {
      const RunStep& st = plan.steps[i];
      const uint8_t* src = line + st.from * len;
      uint8_t* dst = line + (i + 1) * len;
      const int64_t n = len - st.length + 1;
      if (st.at[1] == st.at[3])
        red.red2(src, src + st.at[3], dst, n);
      else
        red.red4(src, src + st.at[1], src + st.at[2], src + st.at[3], dst, n);
    }
  };
  // The members (or, for a flat element, the runs) raising the sample first, then those lowering
  // it, each part by its clamped amount (so that equal amounts sit together).
  struct Shift {
    Tap t;
    bool raise;
    uint8_t amount;
  };
  std::vector<Shift> order;
  std::vector<uint8_t> amount;
  std::vector<const uint8_t*> from;
  int64_t adds = 0;
  auto shift = [&](const Tap& t) {
    const int64_t s = dilation ? t.value : -int64_t{t.value};
    return Shift{t, s >= 0, static_cast<uint8_t>(std::min<int64_t>(s >= 0 ? s : -s, 255))};
  };
  if (flat)
    for (const vistelmo::Run& run : plan.runs)
      order.push_back(shift({run.di, run.dj, taps[0].value}));
  else
    for (const Tap& t : taps) order.push_back(shift(t));
  std::stable_sort(order.begin(), order.end(), [](const Shift& x, const Shift& y) {
    return x.raise != y.raise ? x.raise : x.amount < y.amount;
  });
  for (const Shift& o : order) {
    amount.push_back(o.amount);
    adds += o.raise;
  }
  from.resize(order.size());
  auto taps_kernel = dilation ? k.max_taps_u8 : k.min_taps_u8;
  // Element rows alike (the same members and shifts) give the same row result: when that saves
  // taps, each distinct row runs once per image row into a ring, and the rows are then reduced
  // down.
  struct Profile {
    std::vector<int64_t> dj;
    std::vector<uint8_t> amount;
    int64_t adds = 0;
    bool operator==(const Profile& o) const {
      return dj == o.dj && amount == o.amount && adds == o.adds;
    }
  };
  std::vector<Profile> profiles;
  std::vector<int> row_profile(static_cast<size_t>(wl), -1);
  int used_rows = 0;
  if (!flat) {
    for (int64_t i = 0; i < wl; i++) {
      Profile pr;
      for (const Shift& o : order)
        if (o.t.di == rmin + i) {
          pr.dj.push_back(o.t.dj - cmin);
          pr.amount.push_back(o.amount);
          pr.adds += o.raise;
        }
      if (pr.dj.empty()) continue;
      used_rows++;
      const auto at = std::find(profiles.begin(), profiles.end(), pr);
      row_profile[i] = static_cast<int>(at - profiles.begin());
      if (at == profiles.end()) profiles.push_back(pr);
    }
  }
  size_t shared_taps = static_cast<size_t>(used_rows);  // the taps down, then across
  for (const Profile& pr : profiles) shared_taps += pr.dj.size();
  const bool shared = !flat && 5 * shared_taps < 4 * order.size();
  // Distinct rows with the same columns of members form a group: one pass over a line makes all
  // their results, by a table of each row's raise and lowering (64 bytes each) of each column.
  struct Group {
    std::vector<size_t> rows;  // indices into profiles
    std::vector<int64_t> at;   // the columns, in order
    std::vector<uint8_t> table;
  };
  std::vector<Group> groups;
  for (size_t pi = 0; shared && pi < profiles.size(); pi++) {
    std::vector<int64_t> cols = profiles[pi].dj;
    std::sort(cols.begin(), cols.end());
    auto g = std::find_if(groups.begin(), groups.end(),
                          [&](const Group& x) { return x.at == cols && x.rows.size() < 4; });
    if (g == groups.end()) g = groups.insert(groups.end(), Group{{}, cols, {}});
    g->rows.push_back(pi);
  }
  for (Group& g : groups) {
    g.table.assign(g.rows.size() * g.at.size() * 128, 0);
    for (size_t p = 0; p < g.rows.size(); p++) {
      const Profile& pr = profiles[g.rows[p]];
      for (size_t i = 0; i < pr.dj.size(); i++) {
        const auto j = std::lower_bound(g.at.begin(), g.at.end(), pr.dj[i]) - g.at.begin();
        std::fill_n(&g.table[(p * g.at.size() + static_cast<size_t>(j)) * 128] +
                        (static_cast<int64_t>(i) < pr.adds ? 0 : 64),
                    64, pr.amount[i]);
      }
    }
  }
  std::vector<uint8_t*> row_results(4);
  // Rows on 64 bytes, 3 mod 8 lines of 64 apart, so that nearby rows do not meet at the same
  // place in a 4 KiB page (loads there wait for stores to the other).
  const size_t lines64 = (static_cast<size_t>(nc) + 63) / 64,
               stride = 64 * (lines64 + (11 - lines64 % 8) % 8);
  std::vector<uint8_t> results(shared ? profiles.size() * static_cast<size_t>(wl) * stride + 64
                                      : 0),
      zeros(static_cast<size_t>(wl), 0);
  uint8_t* const results0 = results.data() + (-reinterpret_cast<uintptr_t>(results.data()) & 63);
  auto result = [&](size_t pi, int64_t y) {
    return results0 + (pi * static_cast<size_t>(wl) + static_cast<size_t>(y % wl)) * stride;
  };
  auto rows_kernel = dilation ? k.max_rows_u8 : k.min_rows_u8;
  // One group of several profiles, where the kernels hold two lines at a time: its rows pass
  // takes the results of two rows (the last one alone) straight down into the output rows they
  // go to, output row l taking element row i's result from row l + i, in a ring of wl + 1 rows
  // (l in y - (wl - 1) .. y + 1) from which as many rows come out done.
  if (groups.size() == 1 && groups[0].rows.size() > 1 && k.rows_lines > 1) {
    const Group& g = groups[0];
    slots = 2;
    const int64_t ring_rows = wl + 1;
    std::vector<int> place(static_cast<size_t>(wl), -1);  // element row's place in the group
    for (int64_t i = 0; i < wl; i++)
      if (row_profile[i] >= 0)
        place[i] = static_cast<int>(
            std::find(g.rows.begin(), g.rows.end(), static_cast<size_t>(row_profile[i])) -
            g.rows.begin());
    auto elem = [&](int64_t i) { return i >= 0 && i < wl ? place[i] : -1; };
    std::vector<int> pick1(static_cast<size_t>(wl)), pick2(2 * static_cast<size_t>(wl + 1));
    for (int64_t u = 0; u <= wl; u++) {
      if (u < wl) pick1[u] = elem(u);
      pick2[2 * u] = elem(u - 1);
      pick2[2 * u + 1] = elem(u);
    }
    std::vector<uint8_t*> from(static_cast<size_t>(wl + 1)), to(static_cast<size_t>(wl + 1));
    std::vector<uint8_t> spare(static_cast<size_t>(nc));
    const int64_t rows = nl + wl - 1;  // source rows; output row l done at row l + wl - 1
    int64_t ys = 0;                    // y in the ring
    for (int64_t y = 0; y < rows;) {
      const int64_t lines = std::min(k.rows_lines, rows - y), top = y + lines - 1;
      for (int64_t q = 0; q < lines; q++) load(y + q);
      for (int64_t next = top + 1 + rmin; next < top + 3 + rmin; next++)
        if (next >= 0 && next < nl)  // the next pass's source rows come in meanwhile
          for (int64_t c = 0; c < nc; c += 64) __builtin_prefetch(a.rows[next] + c);
      // u: output row top - u, in ring slot ys + lines - 1 - u.
      const int64_t picks = wl + lines - 1;
      for (int64_t u = 0; u < picks; u++) {
        int64_t slot = ys + lines - 1 - u;
        slot += slot < 0 ? ring_rows : slot >= ring_rows ? -ring_rows : 0;
        from[u] = results0 + static_cast<size_t>(slot) * stride;
        const int64_t l = top - u;
        to[u] = l + wl - 1 > top ? from[u] : l >= 0 ? r.rows[l] : spare.data();
      }
      const uint8_t* lp[2] = {prow(y), prow(y + 1)};
      const vistelmo::RowsDown down{lines, lines == 2 ? pick2.data() : pick1.data(), picks, lines,
                                    from.data()};
      rows_kernel(lp, g.at.data(), static_cast<int64_t>(g.at.size()), g.table.data(),
                  static_cast<int64_t>(g.rows.size()), to.data(), &down, nc);
      y += lines;
      ys = (ys + lines) % ring_rows;
    }
    return true;
  }
  auto load_row = [&](int64_t y) {
    load(y);
    for (const Group& g : groups) {
      if (g.rows.size() == 1) {  // the taps kernel, which shifts equal amounts once
        const Profile& pr = profiles[g.rows[0]];
        for (size_t i = 0; i < pr.dj.size(); i++) from[i] = prow(y) + pr.dj[i];
        taps_kernel(from.data(), pr.amount.data(), pr.adds, static_cast<int64_t>(pr.dj.size()),
                    result(g.rows[0], y), nc);
        continue;
      }
      for (size_t p = 0; p < g.rows.size(); p++) row_results[p] = result(g.rows[p], y);
      const uint8_t* line = prow(y);
      rows_kernel(&line, g.at.data(), static_cast<int64_t>(g.at.size()), g.table.data(),
                  static_cast<int64_t>(g.rows.size()), row_results.data(), nullptr, nc);
    }
  };
  for (int64_t y = 0; y + 1 < wl; y++) load_row(y);
  for (int l = 0; l < nl; l++) {
    load_row(l + wl - 1);
    uint8_t* acc = r.rows[l];
    if (shared) {
      int64_t count = 0;
      for (int64_t i = 0; i < wl; i++)
        if (row_profile[i] >= 0) from[count++] = result(static_cast<size_t>(row_profile[i]), l + i);
      taps_kernel(from.data(), zeros.data(), count, count, acc, nc);
      continue;
    }
    // A flat element's shifts are all equal, so order keeps the runs' order: run i's tap reads
    // the reduction over its length from its first member.
    for (size_t i = 0; i < order.size(); i++) {
      const Tap& t = order[i].t;
      from[i] = prow(l + t.di - rmin) + (flat ? plan.buffer[i] * len : 0) + (t.dj - cmin);
    }
    taps_kernel(from.data(), amount.data(), adds, static_cast<int64_t>(from.size()), acc, nc);
  }
  return true;
}

template <class Visitor>
IMGGRY by_structure(const IMGGRY& a, const IMGSHT& b, int sign) {
  IMGGRY r(a.nl, a.nc);
  if (!vistelmo::has_pixels(a)) return r;
  const auto taps = vistelmo::window_taps(b, sign, [](short v) { return v != minsht; });
  if (structure_fast(a, taps, sign < 0, r)) return r;
  Visitor v{r, 0};
  vistelmo::traverse_window(a.rows, a.nl, a.nc, taps, v);
  return r;
}

}  // namespace

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

IMGGRY operator-(const IMGGRY& a, const IMGSHT& b) { return by_structure<GreyErode>(a, b, 1); }

IMGGRY operator+(const IMGGRY& a, const IMGSHT& b) { return by_structure<GreyDilate>(a, b, -1); }
