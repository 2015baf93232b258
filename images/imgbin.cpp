// Storage, fills and element access of the binary image.
#include <algorithm>
#include <cstdarg>

#include "images/image_core_internal.h"

// The variadic constructors' last named parameters have the pixel types of their public
// declarations, which undergo promotion; va_start needs only their place among the arguments,
// which promotion does not move on x86-64.
#if defined(__clang__)
#pragma clang diagnostic ignored "-Wvarargs"
#endif

IMGBIN::IMGBIN(int nl, int nc) : backg(0) { aloca(nl, nc); }

IMGBIN::IMGBIN(int nl, int nc, bool v) : backg(0) {
  aloca(nl, nc);
  fill(v);
}

IMGBIN::IMGBIN(int nl, int nc, bool v0, bool v1, ...) : backg(0) {
  aloca(nl, nc);
  if (!vistelmo::has_pixels(*this)) return;
  va_list ap;
  va_start(ap, v1);
  for (int k = 0; k < n; k++) {
    bool v = k == 0 ? v0 : k == 1 ? v1 : va_arg(ap, int) != 0;
    (*this)(k / nc, k % nc) = v;
  }
  va_end(ap);
}

IMGBIN::IMGBIN(const IMGBIN& a) : backg(0) { vistelmo::construct_copy(*this, a); }
IMGBIN::IMGBIN(IMGBIN&& a) noexcept : backg(0) { vistelmo::construct_move(*this, a); }

IMGBIN::~IMGBIN() { desaloca(); }

void IMGBIN::aloca(int l, int c) {
  nl = l;
  nc = c;
  n = vistelmo::wrapped_product(l, c);
  lc = vistelmo::default_centre(l);
  cc = vistelmo::default_centre(c);
  backg |= 1u;
  data = nullptr;
  rows = nullptr;
  wpr = nw = 0;
  if (l >= 1 && c >= 1) {
    if (static_cast<int64_t>(l) * c > INT32_MAX) erro("Erro IMGBIN::aloca - falta memoria", "");
    wpr = (c - 1) / 32 + 1;
    vistelmo::allocate_zeroed_rows(data, rows, l, wpr, "Erro IMGBIN::aloca - falta memoria");
    nw = wpr * l;
  }
}

void IMGBIN::desaloca() { vistelmo::desaloca(*this); }

void IMGBIN::copia(const IMGBIN& a) { vistelmo::copia(*this, a); }

void IMGBIN::fill(bool v) {
  if (!vistelmo::has_pixels(*this)) return;
  const uint32_t last = vistelmo::last_word_mask(nc);
  for (int l = 0; l < nl; l++) {
    uint32_t* row = rows[l];
    std::fill(row, row + wpr - 1, v ? 0xFFFFFFFFu : 0u);
    row[wpr - 1] = v ? (row[wpr - 1] | last) : (row[wpr - 1] & ~last);
  }
}

void IMGBIN::fill(const bool* a) {
  if (!vistelmo::has_pixels(*this)) return;
  for (int k = 0; k < n; k++) (*this)(k / nc, k % nc) = a[k];
}

namespace {

// Loads the pixels of img from a row-major bit stream held in the low 32 bits of each word.
template <class Word>
void fill_from_words(IMGBIN& img, const Word* words) {
  if (!vistelmo::has_pixels(img)) return;
  const uint32_t last = vistelmo::last_word_mask(img.nc);
  int64_t start = 0;  // stream position of the row's first pixel
  for (int l = 0; l < img.nl; l++, start += img.nc) {
    uint32_t* row = img.rows[l];
    int left = img.nc;  // pixels of the row still to copy
    for (int j = 0; j < img.wpr; j++, left -= 32) {
      const int64_t pos = start + 32 * static_cast<int64_t>(j);
      const Word* w = words + (pos >> 5);
      const int shift = static_cast<int>(pos & 31);
      uint32_t v = static_cast<uint32_t>(w[0]) << shift;
      // The next stream word is read only when this run of pixels reaches into it.
      if (shift != 0 && shift + std::min(left, 32) > 32)
        v |= static_cast<uint32_t>(w[1]) >> (32 - shift);
      row[j] = j == img.wpr - 1 ? (v & last) | (row[j] & ~last) : v;
    }
  }
}

}  // namespace

void IMGBIN::fill(const uint32_t* words) { fill_from_words(*this, words); }
void IMGBIN::fill(const unsigned long* words) { fill_from_words(*this, words); }

void IMGBIN::resize(int l, int c) { vistelmo::resize(*this, l, c); }

IMGBIN& IMGBIN::operator=(const IMGBIN& a) { return vistelmo::assign(*this, a); }

BITREF IMGBIN::operator()(int a, int b, char mode) {
  int l, c;
  if (vistelmo::resolve_position(a, b, mode, nl, nc, lc, cc, l, c) && rows)
    return BITREF{rows[l] + (c >> 5), 0x80000000u >> (c & 31)};
  return BITREF{&backg, 1u};
}
