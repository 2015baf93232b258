// Pointwise traversals shared by the image operators. Library sources only.
//
// A rule is a small functor; each traversal applies it to every pixel in row-major order and
// to the outside value. IMGBIN traversals work on whole words and leave the spare bits past
// the last column of each row clear.
#pragma once

#include <cstdint>

#include "foundation/erro.h"
#include "images/image_core_internal.h"
#include "processing/kernels/pointwise.h"

namespace vistelmo {

template <class A, class B>
inline void require_same_size(const A& a, const B& b, const char* msg) {
  if (a.nl != b.nl || a.nc != b.nc) erro(msg, "");
}

// Fresh result of a's size: r(l, c) = f(a(l, c)), r.backg = f(a.backg).
template <class Img, class F>
Img map_pixels(const Img& a, F f) {
  Img r(a.nl, a.nc);
  r.backg = f(a.backg);
  if (has_pixels(a) && has_pixels(r)) {
    for (int l = 0; l < a.nl; l++) {
      const auto* src = a.rows[l];
      auto* dst = r.rows[l];
      for (int c = 0; c < a.nc; c++) dst[c] = f(src[c]);
    }
  }
  return r;
}

// In place: a(l, c) = f(a(l, c)), a.backg = f(a.backg).
template <class Img, class F>
void update_pixels(Img& a, F f) {
  a.backg = f(a.backg);
  if (!has_pixels(a)) return;
  for (int l = 0; l < a.nl; l++) {
    auto* row = a.rows[l];
    for (int c = 0; c < a.nc; c++) row[c] = f(row[c]);
  }
}

// Fresh result of a's size from two images of one size (else erro(msg, "")):
// r(l, c) = f(a(l, c), b(l, c)), r.backg = g(a.backg, b.backg).
template <class Img, class F, class G>
Img zip_pixels(const Img& a, const Img& b, const char* msg, F f, G g) {
  require_same_size(a, b, msg);
  Img r(a.nl, a.nc);
  r.backg = g(a.backg, b.backg);
  if (has_pixels(a) && has_pixels(b) && has_pixels(r)) {
    for (int l = 0; l < a.nl; l++) {
      const auto* sa = a.rows[l];
      const auto* sb = b.rows[l];
      auto* dst = r.rows[l];
      for (int c = 0; c < a.nc; c++) dst[c] = f(sa[c], sb[c]);
    }
  }
  return r;
}

template <class Img, class F>
Img zip_pixels(const Img& a, const Img& b, const char* msg, F f) {
  return zip_pixels(a, b, msg, f, f);
}

// Fresh result of a's size with outside value backg: the whole block (rows have no padding)
// through kernel(src, dst, count).
template <class Img, class K>
Img map_block(const Img& a, typename Img::Pixel backg, K kernel) {
  Img r;
  aloca(r, a.nl, a.nc, false);  // every pixel written below
  r.backg = backg;
  if (has_pixels(a) && has_pixels(r)) kernel(a.data, r.data, block_count(a));
  return r;
}

// Fresh result from two images of one size (else erro(msg, "")) with outside value backg:
// kernel(a block, b block, dst, count).
template <class Img, class K>
Img zip_block(const Img& a, const Img& b, const char* msg, typename Img::Pixel backg, K kernel) {
  require_same_size(a, b, msg);
  Img r;
  aloca(r, a.nl, a.nc, false);  // every pixel written below
  r.backg = backg;
  if (has_pixels(a) && has_pixels(b) && has_pixels(r))
    kernel(a.data, b.data, r.data, block_count(a));
  return r;
}

// Two grey images through the byte kernel of op; the outside value by the same rule.
template <ByteOp op>
IMGGRY zip_bytes(const IMGGRY& a, const IMGGRY& b, const char* msg) {
  return zip_block(
      a, b, msg, byte_op<op>(a.backg, b.backg),
      [](const uint8_t* x, const uint8_t* y, uint8_t* d, int64_t n) { bytes_zip(op, x, y, d, n); });
}

// False for different sizes; otherwise whether p(a(l, c), b(l, c)) holds at every pixel,
// stopping at the first that fails.
template <class Img, class P>
bool all_pixel_pairs(const Img& a, const Img& b, P p) {
  if (a.nl != b.nl || a.nc != b.nc) return false;
  if (!has_pixels(a) || !has_pixels(b)) return true;
  for (int l = 0; l < a.nl; l++) {
    const auto* sa = a.rows[l];
    const auto* sb = b.rows[l];
    int c = 0;
    // Blocks without a branch per pixel: a block fails exactly when one of its pixels does.
    constexpr int kBlock = 64;
    for (; c + kBlock <= a.nc; c += kBlock) {
      unsigned fails = 0;
      for (int k = 0; k < kBlock; k++) fails |= !p(sa[c + k], sb[c + k]);
      if (fails) return false;
    }
    for (; c < a.nc; c++)
      if (!p(sa[c], sb[c])) return false;
  }
  return true;
}

// Word-wise fresh result of a's size: every word and the outside-value word through f.
template <class F>
IMGBIN map_words(const IMGBIN& a, F f) {
  IMGBIN r(a.nl, a.nc);
  r.backg = f(a.backg);
  if (has_pixels(a) && has_pixels(r)) {
    const uint32_t last = last_word_mask(a.nc);
    for (int l = 0; l < a.nl; l++) {
      const uint32_t* src = a.rows[l];
      uint32_t* dst = r.rows[l];
      for (int j = 0; j < a.wpr; j++) dst[j] = f(src[j]);
      dst[a.wpr - 1] &= last;
    }
  }
  return r;
}

// Word-wise fresh result from two images of one size (else erro(msg, "")).
template <class F>
IMGBIN zip_words(const IMGBIN& a, const IMGBIN& b, const char* msg, F f) {
  require_same_size(a, b, msg);
  IMGBIN r(a.nl, a.nc);
  r.backg = f(a.backg, b.backg);
  if (has_pixels(a) && has_pixels(b) && has_pixels(r)) {
    const uint32_t last = last_word_mask(a.nc);
    for (int l = 0; l < a.nl; l++) {
      const uint32_t* sa = a.rows[l];
      const uint32_t* sb = b.rows[l];
      uint32_t* dst = r.rows[l];
      for (int j = 0; j < a.wpr; j++) dst[j] = f(sa[j], sb[j]);
      dst[a.wpr - 1] &= last;
    }
  }
  return r;
}

// False for different sizes; otherwise whether p(wa, wb, mask) holds for every pair of words,
// mask marking the pixel bits of the word.
template <class P>
bool all_word_pairs(const IMGBIN& a, const IMGBIN& b, P p) {
  if (a.nl != b.nl || a.nc != b.nc) return false;
  if (!has_pixels(a) || !has_pixels(b)) return true;
  const uint32_t last = last_word_mask(a.nc);
  for (int l = 0; l < a.nl; l++) {
    const uint32_t* sa = a.rows[l];
    const uint32_t* sb = b.rows[l];
    for (int j = 0; j < a.wpr; j++)
      if (!p(sa[j], sb[j], j == a.wpr - 1 ? last : 0xFFFFFFFFu)) return false;
  }
  return true;
}

}  // namespace vistelmo
