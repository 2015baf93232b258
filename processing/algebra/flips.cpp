// Quarter turns, flips and point reflections: one traversal per turn over the pixel types, and
// word-wide forms for the binary image.
#include "processing/algebra/flips.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "images/image_core_internal.h"
#include "processing/algebra/flips_internal.h"
#include "processing/kernels/turns.h"

namespace {

// n - 1 - k in 32-bit wrapping arithmetic: a caller may store any centre.
int mirrored(int n, int k) {
  return static_cast<int>(static_cast<uint32_t>(n) - 1u - static_cast<uint32_t>(k));
}

// The centre travels with the pixels of a quarter turn.
template <class Img>
void centre90(Img& r, const Img& a) {
  r.lc = mirrored(a.nc(), a.cc);
  r.cc = a.lc;
}
template <class Img>
void centre270(Img& r, const Img& a) {
  r.lc = a.cc;
  r.cc = mirrored(a.nl(), a.lc);
}

// A fresh image of nl x nc with a's outside value; the caller writes all its pixels.
template <class Img>
Img fresh(int nl, int nc, const Img& a) {
  Img r = vistelmo::unset_image<Img>(nl, nc);
  r.backg = a.backg;
  return r;
}

// The column run of quarter_turn for three-byte pixels: four-byte moves in rising address
// order, each spilling one byte onto the next target, and the last target of the run exact.
// Reads one byte past a.rows[l][c], so c must not be the last column.
template <bool kCounter, class Img, class T>
void wide_column(const Img& a, int c, int l0, int l1, T* dst) {
  auto move4 = [&](int l, T* to) { std::memcpy(to, a.rows[l] + c, 4); };
  if (kCounter) {
    for (int l = l0; l < l1 - 1; l++) move4(l, dst + l);
    dst[l1 - 1] = a.rows[l1 - 1][c];
  } else {
    for (int l = l1 - 1; l > l0; l--) move4(l, dst - l);
    dst[-l0] = a.rows[l0][c];
  }
}

// r.rows[nc - 1 - c][l] (kCounter) or r.rows[c][nl - 1 - l] = a.rows[l][c] over source rows
// [l_begin, l_end) and columns [c_begin, c_end), pixel by pixel in square blocks so that reads
// and writes both stay within a few cache lines per row.
template <bool kCounter, class Img>
void quarter_turn(const Img& a, Img& r, int l_begin, int l_end, int c_begin, int c_end) {
  constexpr int kSide = 32;
  const int nl = a.nl(), nc = a.nc();
  for (int l0 = l_begin; l0 < l_end; l0 += kSide)
    for (int c0 = c_begin; c0 < c_end; c0 += kSide) {
      const int l1 = std::min(l_end, l0 + kSide), c1 = std::min(c_end, c0 + kSide);
      for (int c = c0; c < c1; c++) {
        auto* dst = kCounter ? r.rows[nc - 1 - c] : r.rows[c] + (nl - 1);
        if constexpr (sizeof(*dst) == 3) {
          if (c + 1 < nc) {  // a fourth byte is there to read
            wide_column<kCounter>(a, c, l0, l1, dst);
            continue;
          }
        }
        for (int l = l0; l < l1; l++) {
          if (kCounter)
            dst[l] = a.rows[l][c];
          else
            dst[-l] = a.rows[l][c];
        }
      }
    }
}

// The tile kernel of the level for S-byte pixels, if any.
template <int S>
vistelmo::TurnKernels::Quarter quarter_tiles(const vistelmo::TurnKernels& k) {
  if constexpr (S == 1) return k.quarter1;
  if constexpr (S == 2) return k.quarter2;
  if constexpr (S == 3) return k.quarter3;
  if constexpr (S == 4) return k.quarter4;
  if constexpr (S == 8) return k.quarter8;
  return nullptr;
}
template <int S>
vistelmo::TurnKernels::Reverse reverse_kernel(const vistelmo::TurnKernels& k) {
  if constexpr (S == 1) return k.reverse1;
  if constexpr (S == 3) return k.reverse3;
  if constexpr (S == 4) return k.reverse4;
  if constexpr (S == 8) return k.reverse8;
  return nullptr;
}

// The whole quarter turn: register-transposed tiles where the level has them, the edges they
// leave and the plain tier per pixel.
template <bool kCounter, class Img>
void quarter_turn(const Img& a, Img& r) {
  const int nl = a.nl(), nc = a.nc();
  if (const auto tiles = quarter_tiles<sizeof(**a.rows)>(vistelmo::turn_kernels())) {
    auto each = [&](int l0, int l1, int c0, int c1) {
      quarter_turn<kCounter>(a, r, l0, l1, c0, c1);
    };
    const vistelmo::TurnRest rest = {[](void* f, int l0, int l1, int c0, int c1) {
                                       (*static_cast<decltype(each)*>(f))(l0, l1, c0, c1);
                                     },
                                     &each};
    tiles(reinterpret_cast<const void* const*>(a.rows), reinterpret_cast<void* const*>(r.rows), nl,
          nc, kCounter, rest);
    return;
  }
  quarter_turn<kCounter>(a, r, 0, nl, 0, nc);
}

template <class Img>
Img turn90(const Img& a) {
  Img r = fresh(a.nc(), a.nl(), a);
  if (vistelmo::has_pixels(a)) quarter_turn<true>(a, r);
  centre90(r, a);
  return r;
}

template <class Img>
Img turn270(const Img& a) {
  Img r = fresh(a.nc(), a.nl(), a);
  if (vistelmo::has_pixels(a)) quarter_turn<false>(a, r);
  centre270(r, a);
  return r;
}

// r[n-1-k] = a[k]: by the level's kernel (vectors of AVX2) where it has one.
template <class T>
void reverse_block(const T* a, T* r, int64_t n) {
  if (const auto reverse = reverse_kernel<sizeof(T)>(vistelmo::turn_kernels()))
    return reverse(a, r, n);
  std::reverse_copy(a, a + n, r);
}

// Element k of a goes to element n-1-k of r.
template <class Img>
Img turn180(const Img& a) {
  Img r = fresh(a.nl(), a.nc(), a);
  if (vistelmo::has_pixels(a)) reverse_block(a.data, r.data, vistelmo::block_count(a));
  r.lc = mirrored(a.nl(), a.lc);
  r.cc = mirrored(a.nc(), a.cc);
  return r;
}

// Row order reversed; the centre stays where it was.
template <class Img>
Img upside_down(const Img& a) {
  const int nl = a.nl();
  Img r = fresh(nl, a.nc(), a);
  if (vistelmo::has_pixels(a)) {
    const int64_t width = vistelmo::block_count(a) / nl;  // elements (words for IMGBIN) per row
    for (int l = 0; l < nl; l++) std::copy(a.rows[l], a.rows[l] + width, r.rows[nl - 1 - l]);
  }
  r.lc = a.lc;
  r.cc = a.cc;
  return r;
}

// Transposes a 32 x 32 bit block in place: bit j (from the top) of word i goes to bit i of
// word j.
void transpose32(uint32_t w[32]) {
  uint32_t m = 0x0000FFFFu;
  for (int j = 16; j != 0; j >>= 1, m ^= m << j)
    for (int k = 0; k < 32; k = (k + j + 1) & ~j) {
      const uint32_t t = (w[k] ^ (w[k + j] >> j)) & m;
      w[k] ^= t;
      w[k + j] ^= t << j;
    }
}

// Column c of a, read top-down (or bottom-up with kReverseIn), becomes row c of r (or row
// nc-1-c with kReverseOut). Works on 32 x 32 blocks; bits past the last column stay clear.
template <bool kReverseIn, bool kReverseOut>
IMGBIN bin_transpose(const IMGBIN& a) {
  const int nl = a.nl(), nc = a.nc();
  IMGBIN r = fresh(nc, nl, a);
  if (!vistelmo::has_pixels(a)) return r;
  uint32_t block[32];
  for (int bl = 0; bl < r.wpr; bl++)
    for (int wc = 0; wc < a.wpr; wc++) {
      for (int i = 0; i < 32; i++) {
        const int k = bl * 32 + i;
        block[i] = k < nl ? a.rows[kReverseIn ? nl - 1 - k : k][wc] : 0u;
      }
      transpose32(block);
      const int cols = std::min(32, nc - wc * 32);
      for (int j = 0; j < cols; j++) {
        const int c = wc * 32 + j;
        r.rows[kReverseOut ? nc - 1 - c : c][bl] = block[j];
      }
    }
  return r;
}

uint32_t reverse_bits(uint32_t x) {
  x = ((x >> 1) & 0x55555555u) | ((x & 0x55555555u) << 1);
  x = ((x >> 2) & 0x33333333u) | ((x & 0x33333333u) << 2);
  x = ((x >> 4) & 0x0F0F0F0Fu) | ((x & 0x0F0F0F0Fu) << 4);
  x = ((x >> 8) & 0x00FF00FFu) | ((x & 0x00FF00FFu) << 8);
  return (x >> 16) | (x << 16);
}

// Half turn of a binary image: each row's bits reversed into the mirrored row. Reversing the
// words puts the row's spare bits first; a left shift by their count drops them.
IMGBIN bin_turn180(const IMGBIN& a) {
  const int nl = a.nl(), nc = a.nc();
  IMGBIN r = fresh(nl, nc, a);
  if (vistelmo::has_pixels(a)) {
    const int wpr = a.wpr, spare = 32 * wpr - nc;
    for (int l = 0; l < nl; l++) {
      const uint32_t* src = a.rows[l];
      uint32_t* dst = r.rows[nl - 1 - l];
      for (int i = 0; i < wpr; i++) {
        const uint32_t w = reverse_bits(src[wpr - 1 - i]);
        const uint32_t next = i + 1 < wpr ? reverse_bits(src[wpr - 2 - i]) : 0u;
        dst[i] = spare == 0 ? w : (w << spare) | (next >> (32 - spare));
      }
    }
  }
  r.lc = mirrored(nl, a.lc);
  r.cc = mirrored(nc, a.cc);
  return r;
}

}  // namespace

namespace vistelmo {

void reverse_pixels(const uint8_t* a, uint8_t* r, int64_t n) { reverse_block(a, r, n); }
void reverse_pixels(const float* a, float* r, int64_t n) { reverse_block(a, r, n); }

}  // namespace vistelmo

// rot90 = upside down of the transpose; rot270 = transpose of the upside down.
IMGBIN rot90(const IMGBIN& a) {
  IMGBIN r = bin_transpose<false, true>(a);
  centre90(r, a);
  return r;
}
IMGGRY rot90(const IMGGRY& a) { return turn90(a); }
IMGCOR rot90(const IMGCOR& a) { return turn90(a); }
IMGSHT rot90(const IMGSHT& a) { return turn90(a); }
IMGFLT rot90(const IMGFLT& a) { return turn90(a); }
IMGCPX rot90(const IMGCPX& a) { return turn90(a); }

IMGBIN rot180(const IMGBIN& a) { return bin_turn180(a); }
IMGGRY rot180(const IMGGRY& a) { return turn180(a); }
IMGCOR rot180(const IMGCOR& a) { return turn180(a); }
IMGFLT rot180(const IMGFLT& a) { return turn180(a); }
IMGCPX rot180(const IMGCPX& a) { return turn180(a); }

IMGBIN rot270(const IMGBIN& a) {
  IMGBIN r = bin_transpose<true, false>(a);
  centre270(r, a);
  return r;
}
IMGGRY rot270(const IMGGRY& a) { return turn270(a); }
IMGCOR rot270(const IMGCOR& a) { return turn270(a); }
IMGFLT rot270(const IMGFLT& a) { return turn270(a); }
IMGCPX rot270(const IMGCPX& a) { return turn270(a); }

IMGBIN virah(const IMGBIN& a) { return upside_down(a); }
IMGGRY virah(const IMGGRY& a) { return upside_down(a); }
IMGSHT virah(const IMGSHT& a) { return upside_down(a); }

IMGBIN operator~(const IMGBIN& a) { return bin_turn180(a); }
IMGCPX operator~(const IMGCPX& a) { return turn180(a); }
