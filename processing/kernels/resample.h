// The row loops of rotation and zoom by level: one column at a time (kSse2), the AVX2 forms or
// the inner rows on AVX2 (kAvx2) or AVX-512 (from kAvx512). Library sources only.
#pragma once

#include "processing/algebra/resample_internal.h"
#include "processing/kernels/resample_inner_avx2.h"
#include "processing/kernels/resample_inner_avx512.h"
#include "processing/kernels/resample_rows.h"

namespace vistelmo {

// Which row loops a rotation takes: one column at a time, the AVX2 forms, or the inner rows in
// four or eight lanes (a sampler whose rows form one block).
enum class RowLoops { kPortable, kAvx2, kInnerAvx2, kInnerAvx512 };

template <class Img>
RowLoops row_loops(const Sampler<Img>& s) {
  if (!resample_avx2()) return RowLoops::kPortable;
  if (!avx2::block(s)) return RowLoops::kAvx2;
  return resample_avx512() ? RowLoops::kInnerAvx512 : RowLoops::kInnerAvx2;
}
inline bool inner(RowLoops l) { return l == RowLoops::kInnerAvx2 || l == RowLoops::kInnerAvx512; }

// Columns [from, to) of a row by bilinear resampling through loops l (the inner ones need the
// map's column terms, and a sampler whose rows form one block, else the AVX2 forms run); tail(c,
// dx, dy, quad) stores what the one-column loop makes.
template <class Img, class Store>
void bilinear_row(RowLoops l, const Sampler<Img>& s, int from, int to, const RowMap& m,
                  typename Img::Pixel* out, Store tail) {
  if (inner(l) && !avx2::block(s)) l = RowLoops::kAvx2;
  if (l == RowLoops::kInnerAvx512)
    return inner_bilinear_row<avx512::Lanes>(s, from, to, m, out, tail);
  if (l == RowLoops::kInnerAvx2) return inner_bilinear_row<avx2::Lanes>(s, from, to, m, out, tail);
  if (l == RowLoops::kPortable) return bilinear_row(s, from, to, m, tail);
  avx2::bilinear_row(s, from, to, m, out, tail);
}

// The same by the nearest sample.
template <class Img>
void nearest_row(RowLoops l, const Sampler<Img>& s, int from, int to, const RowMap& m,
                 typename Img::Pixel* out) {
  if (inner(l) && !avx2::block(s)) l = RowLoops::kAvx2;
  if (l == RowLoops::kInnerAvx512) return inner_nearest_row<avx512::Lanes>(s, from, to, m, out);
  if (l == RowLoops::kInnerAvx2) return inner_nearest_row<avx2::Lanes>(s, from, to, m, out);
  if (l == RowLoops::kAvx2) return avx2::nearest_row(s, from, to, m, out);
  nearest_row(s, from, to, m, [&](int c, typename Img::Pixel v) { out[c] = v; });
}

}  // namespace vistelmo
