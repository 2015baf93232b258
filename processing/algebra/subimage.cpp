// Cut-outs, gluing and pasting: one row-copy traversal shared by the image types.
#include "processing/algebra/subimage.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <tuple>

#include "images/image_core_internal.h"

namespace {

// Columns [*lo, *hi) of a run of count columns starting at column start lie inside 0..width-1.
void inside_span(int64_t start, int64_t count, int64_t width, int64_t* lo, int64_t* hi) {
  *lo = std::clamp<int64_t>(-start, 0, count);
  *hi = std::clamp<int64_t>(width - start, *lo, count);
}

// A size past the int range cannot be allocated: the class's own allocation failure.
template <class Img>
int checked_size(int64_t v) {
  if (v > INT32_MAX)
    erro(std::string("Erro ") + vistelmo::ImageTraits<Img>::name + "::aloca - Falta memoria", "");
  return static_cast<int>(std::max<int64_t>(v, INT32_MIN));
}

// r(i, j) = a(l0 + i, c0 + j), a's outside value beyond a.
template <class Img>
void read_window(Img& r, const Img& a, int64_t l0, int64_t c0) {
  if (!vistelmo::has_pixels(r)) return;
  const int64_t cols = r.nc();
  const auto bg = a.backg;
  int64_t lo, hi;
  inside_span(c0, cols, vistelmo::has_pixels(a) ? a.nc() : 0, &lo, &hi);
  for (int i = 0; i < r.nl(); i++) {
    auto* dst = r.rows[i];
    const int64_t l = l0 + i;
    if (!vistelmo::has_pixels(a) || l < 0 || l >= a.nl()) {
      std::fill(dst, dst + cols, bg);
      continue;
    }
    std::fill(dst, dst + lo, bg);
    if (hi > lo) std::copy(a.rows[l] + (c0 + lo), a.rows[l] + (c0 + hi), dst + lo);
    std::fill(dst + hi, dst + cols, bg);
  }
}

// dst(l0 + i, c0 + j) = src(i, j) in row-major order; targets beyond dst land in its outside
// value, so the last such pixel stays there.
template <class Img>
void paste(Img& dst, int64_t l0, int64_t c0, const Img& from) {
  if (!vistelmo::has_pixels(from)) return;
  Img copy;
  if (&dst == &from) copy = from;  // pasting an image into itself reads the original pixels
  const Img& src = &dst == &from ? copy : from;
  const int64_t cols = src.nc();
  int64_t lo, hi;
  inside_span(c0, cols, vistelmo::has_pixels(dst) ? dst.nc() : 0, &lo, &hi);
  const typename Img::Pixel* last = nullptr;  // last pixel written beyond dst
  for (int i = 0; i < src.nl(); i++) {
    const auto* s = src.rows[i];
    const int64_t l = l0 + i;
    if (!vistelmo::has_pixels(dst) || l < 0 || l >= dst.nl()) {
      last = s + cols - 1;
      continue;
    }
    if (hi > lo) std::copy(s + lo, s + hi, dst.rows[l] + (c0 + lo));
    if (hi < cols)
      last = s + cols - 1;
    else if (lo > 0)
      last = s + lo - 1;
  }
  if (last != nullptr) dst.backg = *last;
}

template <class Img>
Img cut(const Img& a, int p1, int p2, int p3, int p4, char mode) {
  // One result object throughout, so that it is returned without a copy.
  Img r;
  int64_t rows, cols, l0 = p1, c0 = p2;
  switch (mode) {
    case 'i':
      rows = static_cast<int64_t>(p3) - p1 + 1;
      cols = static_cast<int64_t>(p4) - p2 + 1;
      break;
    case 'u':
      rows = p3;
      cols = p4;
      break;
    case 'l':
      rows = p3;
      cols = p4;
      l0 = static_cast<int64_t>(p1) - p3 + 1;
      c0 = static_cast<int64_t>(p2) - p4 + 1;
      break;
    default:
      return r;
  }
  if (rows < 1 || cols < 1) erro("Erro: nl ou nc nao-positivo", "");
  r.aloca(checked_size<Img>(rows), checked_size<Img>(cols));
  read_window(r, a, l0, c0);
  return r;
}

// dst[0, cols) = fill, except the runs [at, at + count) taken from the rows src (null: none);
// the runs come in column order without overlap.
template <class T>
void compose_row(T* dst, int64_t cols, T fill, const T* src1, int64_t at1, int64_t count1,
                 const T* src2, int64_t at2, int64_t count2) {
  int64_t done = 0;
  for (auto [src, at, count] : {std::tuple{src1, at1, count1}, std::tuple{src2, at2, count2}}) {
    if (src == nullptr) continue;
    vistelmo::fill_pixels(dst + done, at - done, fill);
    std::copy(src, src + count, dst + at);
    done = at + count;
  }
  vistelmo::fill_pixels(dst + done, cols - done, fill);
}

template <class Img>
Img glue(const Img& a, const Img& b, int gap, typename Img::Pixel fill, bool beside) {
  const int64_t rows = beside ? std::max(a.nl(), b.nl()) : int64_t{gap} + a.nl() + b.nl();
  const int64_t cols = beside ? int64_t{gap} + a.nc() + b.nc() : std::max(a.nc(), b.nc());
  if (gap < 0 || std::min({a.nl(), a.nc(), b.nl(), b.nc()}) < 0) {
    // Overlapping parts (or negative sizes): fill, then paste in order.
    Img r(checked_size<Img>(rows), checked_size<Img>(cols), fill);
    paste(r, 0, 0, a);
    if (beside)
      paste(r, 0, int64_t{a.nc()} + gap, b);
    else
      paste(r, int64_t{a.nl()} + gap, 0, b);
    return r;
  }
  // Apart: each row composed once from fill and the rows of a and b that land on it.
  Img r = vistelmo::unset_image<Img>(checked_size<Img>(rows), checked_size<Img>(cols));
  if (!vistelmo::has_pixels(r)) return r;
  const bool has_a = vistelmo::has_pixels(a), has_b = vistelmo::has_pixels(b);
  for (int i = 0; i < r.nl(); i++) {
    const auto* ra = has_a && i < a.nl() ? a.rows[i] : nullptr;
    if (beside) {
      const auto* rb = has_b && i < b.nl() ? b.rows[i] : nullptr;
      compose_row(r.rows[i], cols, fill, ra, 0, a.nc(), rb, int64_t{a.nc()} + gap, b.nc());
    } else {
      const int64_t ib = i - (int64_t{a.nl()} + gap);
      const auto* rb = has_b && ib >= 0 ? b.rows[ib] : nullptr;
      compose_row(r.rows[i], cols, fill, ra, 0, a.nc(), rb, 0, b.nc());
    }
  }
  return r;
}

}  // namespace

IMGGRY subim(const IMGGRY& a, int p1, int p2, int p3, int p4, char mode) {
  return cut(a, p1, p2, p3, p4, mode);
}
IMGFLT subim(const IMGFLT& a, int p1, int p2, int p3, int p4, char mode) {
  return cut(a, p1, p2, p3, p4, mode);
}
IMGCOR subim(const IMGCOR& a, int p1, int p2, int p3, int p4, char mode) {
  return cut(a, p1, p2, p3, p4, mode);
}

IMGGRY grudah(const IMGGRY& a, const IMGGRY& b, int gap, unsigned char fill) {
  return glue(a, b, gap, fill, true);
}
IMGCOR grudah(const IMGCOR& a, const IMGCOR& b, int gap, COR fill) {
  return glue(a, b, gap, fill, true);
}
IMGGRY grudav(const IMGGRY& a, const IMGGRY& b, int gap, unsigned char fill) {
  return glue(a, b, gap, fill, false);
}
IMGCOR grudav(const IMGCOR& a, const IMGCOR& b, int gap, COR fill) {
  return glue(a, b, gap, fill, false);
}

void copia(IMGGRY& dst, int l0, int c0, const IMGGRY& src) { paste(dst, l0, c0, src); }
void copia(IMGCOR& dst, int l0, int c0, const IMGCOR& src) { paste(dst, l0, c0, src); }
