// The resampling kernels of rotation and zoom, a table per instruction-set level: the row loops
// of a destination row (bilinear or nearest) and the zoom's loops over lines of doubles and rows
// of bytes. resample.cpp builds them per level; resample_internal.h keeps the sampler and the
// one-column loops they match bit for bit. Library sources and tests only.
#pragma once

#include <complex>
#include <cstdint>

#include "processing/algebra/resample_internal.h"

namespace vistelmo {

// Row loops of one pixel type: columns [from, to) of a destination row through map m into out,
// each column as bilinear_row (stored by store_blend) or nearest_row make it. The block forms need
// a sampler whose rows form one block (rows_form_block) and a map with its column terms
// (ColumnTerms); a null block form: the level has none.
template <class Img>
struct RowKernels {
  using Loop = void (*)(const Sampler<Img>& s, int from, int to, const RowMap& m,
                        typename Img::Pixel* out);
  Loop bilinear, nearest, block_bilinear, block_nearest;
};

// Loops over lines of doubles, as Spread and line_at read them, and rows of bytes.
template <class Pixel>
struct LineKernels {
  // out[k] = w0[k] l0[i0[k]] + w1[k] l1[i1[k]], stored as the pixel type.
  void (*blend)(Pixel* out, int n, const double* l0, const int32_t* i0, Spread w0, const double* l1,
                const int32_t* i1, Spread w1);
  // out[k] = sum[k] / count[k]; or sum[k] * inverse[k] when inverse.v is not null (it then holds
  // 1 / count[k] for counts that are powers of two, or 0: the product is the quotient exactly).
  void (*average)(Pixel* out, int n, const double* sum, Spread count, Spread inverse);
};

struct ResampleKernels {
  RowKernels<IMGGRY> grey;
  RowKernels<IMGFLT> real;
  RowKernels<IMGCPX> complex;
  RowKernels<IMGCOR> colour;
  LineKernels<unsigned char> byte_lines;
  LineKernels<float> float_lines;
  // sum[k] += line[i[k]].
  void (*add_row)(double* sum, int n, const double* line, const int32_t* i);
  // Rounded byte means (resample_internal.h's *_from forms): out[k] of src[2k], src[2k + 1]
  // (pair_means) or src[4k .. 4k + 3] (quad_means), of a[k] and b[k] (row_means) or of r[0 .. 3][k]
  // (row_quads).
  void (*pair_means)(unsigned char* out, const unsigned char* src, int n);
  void (*quad_means)(unsigned char* out, const unsigned char* src, int n);
  void (*row_means)(unsigned char* out, const unsigned char* a, const unsigned char* b, int n);
  void (*row_quads)(unsigned char* out, const unsigned char* const* r, int n);
  // Pair means of colour pixels channel by channel: out[3k + c] of src[6k + c] and
  // src[6k + 3 + c], k < n. Null below Isa::kAvx512Vbmi.
  void (*colour_pair_means)(unsigned char* out, const unsigned char* src, int n);
};

// The kernels of current_isa(); Isa::kPlain (whose callers take the per-sample loops) gets those
// of Isa::kSse2.
const ResampleKernels& resample_kernels();

template <class Img>
const RowKernels<Img>& row_kernels(const ResampleKernels& k) {
  using Pixel = typename Img::Pixel;
  if constexpr (std::is_same_v<Pixel, unsigned char>)
    return k.grey;
  else if constexpr (std::is_same_v<Pixel, float>)
    return k.real;
  else if constexpr (std::is_same_v<Pixel, COR>)
    return k.colour;
  else
    return k.complex;
}
template <class Pixel>
const LineKernels<Pixel>& line_kernels(const ResampleKernels& k) {
  if constexpr (std::is_same_v<Pixel, unsigned char>)
    return k.byte_lines;
  else
    return k.float_lines;
}

// out[k] = w0[k] l0[i0[k]] + w1[k] l1[i1[k]] through the current level's kernel.
template <class Pixel>
void blend_row(Pixel* out, int n, const double* l0, const int32_t* i0, Spread w0, const double* l1,
               const int32_t* i1, Spread w1) {
  line_kernels<Pixel>(resample_kernels()).blend(out, n, l0, i0, w0, l1, i1, w1);
}

// The row loops a sampler takes at the current level; block: they are the block forms, whose maps
// need the column terms.
template <class Img>
struct RowLoops {
  typename RowKernels<Img>::Loop bilinear, nearest;
  bool block;
};
template <class Img>
RowLoops<Img> row_loops(const Sampler<Img>& s) {
  const RowKernels<Img>& k = row_kernels<Img>(resample_kernels());
  if (k.block_bilinear != nullptr && rows_form_block(s))
    return {k.block_bilinear, k.block_nearest, true};
  return {k.bilinear, k.nearest, false};
}

}  // namespace vistelmo
