// The resampling kernels of each level: the one-column loops and the SSE2 byte means for any
// x86-64; the AVX2 row loops, line loops and byte means; the inner rows' lanes (one body) four
// columns a step on AVX2 and eight on AVX-512; the VBMI pair means.
#include "processing/kernels/intrinsics.h"

#include <complex>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

#include "processing/kernels/resample.h"

#include "processing/kernels/isa.h"
#include "processing/kernels/resample_lines.h"
#include "processing/kernels/resample_rows.h"

namespace vistelmo {

namespace sse2_means {
constexpr int kBytes = 16;
#include "processing/kernels/vector_ops_body.h"
// (after the vector operations)
#include "processing/kernels/resample_means_body.h"
}  // namespace sse2_means

VISTELMO_TARGET_BEGIN(VISTELMO_TARGET_AVX2)
namespace avx2_means {
constexpr int kBytes = 32;
#include "processing/kernels/vector_ops_body.h"
// (after the vector operations)
#include "processing/kernels/resample_means_body.h"
}  // namespace avx2_means
VISTELMO_TARGET_END

// The inner rows' lanes, four and eight columns a step.
VISTELMO_TARGET_BEGIN(VISTELMO_TARGET_AVX2)
namespace avx2_lanes {
constexpr int kLanes = 4;
#include "processing/kernels/vector_ops_body.h"
// (after the vector operations)
#include "processing/kernels/resample_lanes_body.h"
}  // namespace avx2_lanes
VISTELMO_TARGET_END

// g++ 12 takes the undefined upper lanes inside its AVX-512 min and max for uninitialised values
// where they are inlined here.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif
VISTELMO_TARGET_BEGIN(VISTELMO_TARGET_AVX512)
namespace avx512_lanes {
constexpr int kLanes = 8;
#include "processing/kernels/vector_ops_body.h"
// (after the vector operations)
#include "processing/kernels/resample_lanes_body.h"
}  // namespace avx512_lanes
VISTELMO_TARGET_END
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

namespace {

// The tail of every row loop: the columns one at a time, blended as store_blend stores them.
template <class Pixel>
auto blend_into(Pixel* out) {
  return [out](int c, double dx, double dy, const SampleQuad<Pixel>& q) {
    store_blend(out[c], bilinear_weights(dx, dy), q);
  };
}

namespace sse2_rows {

template <class Img>
void bilinear(const Sampler<Img>& s, int from, int to, const RowMap& m, typename Img::Pixel* out) {
  bilinear_row(s, from, to, m, blend_into(out));
}
template <class Img>
void nearest(const Sampler<Img>& s, int from, int to, const RowMap& m, typename Img::Pixel* out) {
  nearest_row(s, from, to, m, [out](int c, typename Img::Pixel v) { out[c] = v; });
}
template <class Img>
constexpr RowKernels<Img> kRows = {bilinear<Img>, nearest<Img>, nullptr, nullptr};

}  // namespace sse2_rows

namespace avx2_rows {

template <class Img>
void bilinear(const Sampler<Img>& s, int from, int to, const RowMap& m, typename Img::Pixel* out) {
  avx2::bilinear_row(s, from, to, m, out, blend_into(out));
}
template <class Img>
void nearest(const Sampler<Img>& s, int from, int to, const RowMap& m, typename Img::Pixel* out) {
  avx2::nearest_row(s, from, to, m, out);
}
template <class Lanes, class Img>
void block_bilinear(const Sampler<Img>& s, int from, int to, const RowMap& m,
                    typename Img::Pixel* out) {
  inner_bilinear_row<Lanes>(s, from, to, m, out, blend_into(out));
}
template <class Lanes, class Img>
void block_nearest(const Sampler<Img>& s, int from, int to, const RowMap& m,
                   typename Img::Pixel* out) {
  inner_nearest_row<Lanes>(s, from, to, m, out);
}
// Lanes: avx2_lanes::Lanes (four columns a step) or avx512_lanes::Lanes (eight).
template <class Lanes, class Img>
constexpr RowKernels<Img> kRows = {bilinear<Img>, nearest<Img>, block_bilinear<Lanes, Img>,
                                   block_nearest<Lanes, Img>};

}  // namespace avx2_rows

// Runs shorter than an AVX2 step take the SSE2 build: a call per short run cost more than the
// run.
void avx2_pair_means(unsigned char* out, const unsigned char* src, int n) {
  if (n >= 32) return avx2_means::pair_means(out, src, n);
  sse2_means::pair_means(out, src, n);
}
void vbmi_pair_means(unsigned char* out, const unsigned char* src, int n) {
  if (n >= 32) return avx512::pair_means(out, src, n);
  sse2_means::pair_means(out, src, n);
}
void avx2_quad_means(unsigned char* out, const unsigned char* src, int n) {
  if (n >= 16) return avx2::quad_means(out, src, n);
  quad_means_from(0, out, src, n);
}
void sse2_quad_means(unsigned char* out, const unsigned char* src, int n) {
  quad_means_from(0, out, src, n);
}
void sse2_row_quads(unsigned char* out, const unsigned char* const* r, int n) {
  row_quads_from(0, out, r, n);
}

// Each level's table, filled by name; colour_pair_means has a kernel with VBMI only.
constexpr ResampleKernels sse2_table() {
  ResampleKernels k{};
  k.grey = sse2_rows::kRows<IMGGRY>;
  k.real = sse2_rows::kRows<IMGFLT>;
  k.complex = sse2_rows::kRows<IMGCPX>;
  k.colour = sse2_rows::kRows<IMGCOR>;
  k.byte_lines = {sse2::blend_row<unsigned char>, sse2::average_row<unsigned char>};
  k.float_lines = {sse2::blend_row<float>, sse2::average_row<float>};
  k.add_row = sse2::add_row;
  k.pair_means = sse2_means::pair_means;
  k.quad_means = sse2_quad_means;
  k.row_means = sse2_means::row_means;
  k.row_quads = sse2_row_quads;
  return k;
}

template <class Lanes>
constexpr ResampleKernels avx2_table() {
  ResampleKernels k{};
  k.grey = avx2_rows::kRows<Lanes, IMGGRY>;
  k.real = avx2_rows::kRows<Lanes, IMGFLT>;
  k.complex = avx2_rows::kRows<Lanes, IMGCPX>;
  k.colour = avx2_rows::kRows<Lanes, IMGCOR>;
  k.byte_lines = {avx2::blend_row<unsigned char>, avx2::average_row<unsigned char>};
  k.float_lines = {avx2::blend_row<float>, avx2::average_row<float>};
  k.add_row = avx2::add_row;
  k.pair_means = avx2_pair_means;
  k.quad_means = avx2_quad_means;
  k.row_means = avx2_means::row_means;
  k.row_quads = avx2_means::row_quads;
  return k;
}

constexpr ResampleKernels kSse2 = sse2_table();
constexpr ResampleKernels kAvx2 = avx2_table<avx2_lanes::Lanes>();
// The inner rows eight columns a step (1.1-1.4x the four-lane form on rotation); the rest of the
// AVX2 build.
constexpr ResampleKernels kAvx512 = avx2_table<avx512_lanes::Lanes>();
// With VBMI, the byte pair means of 64 a step: measured 0.146 ms against the AVX2 build's 0.185 on
// zoomfat IMGGRY x0.5 (3.99 against 3.83 ms on the x0.5,x1 row, within the noise).
constexpr ResampleKernels vbmi_table() {
  ResampleKernels k = kAvx512;
  k.pair_means = vbmi_pair_means;
  k.colour_pair_means = avx512::colour_pair_means;
  return k;
}
constexpr ResampleKernels kAvx512Vbmi = vbmi_table();

}  // namespace

const ResampleKernels& resample_kernels() {
  static constexpr const ResampleKernels* kByLevel[kIsaLevels] = {&kSse2, &kSse2, &kAvx2, &kAvx512,
                                                                  &kAvx512Vbmi};
  return table_at_current_isa(kByLevel);
}

}  // namespace vistelmo
