// The area kernels' table of each instruction-set level: the per-element loops, the loops
// written once and built per level (zoom_area_body.h), and the kernels typed by hand for AVX2 and
// AVX-512 (zoom_area_simd.h).
#include "processing/kernels/intrinsics.h"

#include <cstdint>
#include <cstring>

#include "images/colour_internal.h"
#include "processing/kernels/isa.h"
#include "processing/kernels/zoom_area.h"
#include "processing/kernels/zoom_area_simd.h"

namespace vistelmo {
namespace {

namespace area_plain {

void units_to_bytes(const float* v, int n, unsigned char* out) {
  for (int c = 0; c < n; c++) out[c] = unit_to_byte(v[c]);
}
void split_channels(const unsigned char* src, int n, unsigned char* const* planes,
                    const unsigned char*) {
  split_from(0, src, n, planes);
}
void merge_channels(const unsigned char* const* planes, int n, unsigned char* dst) {
  merge_from(0, planes, n, dst);
}

}  // namespace area_plain

namespace area_sse2 {
constexpr int kDoubles = 2;
typedef double Doubles __attribute__((vector_size(16)));
inline Doubles widen(const float* p) {
  return Doubles(
      _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)))));
}
inline void store_bytes(unsigned char* p, Doubles x) {
  const __m128i w = _mm_packs_epi32(_mm_cvttpd_epi32(__m128d(x)), _mm_setzero_si128());
  const uint16_t b = static_cast<uint16_t>(_mm_cvtsi128_si32(_mm_packus_epi16(w, w)));
  std::memcpy(p, &b, 2);
}
#include "processing/kernels/zoom_area_body.h"
}  // namespace area_sse2

VISTELMO_TARGET_BEGIN(VISTELMO_TARGET_AVX2)
namespace area_avx2_body {
constexpr int kDoubles = 4;
typedef double Doubles __attribute__((vector_size(32)));
inline Doubles widen(const float* p) { return Doubles(_mm256_cvtps_pd(_mm_loadu_ps(p))); }
inline void store_bytes(unsigned char* p, Doubles x) {
  const __m128i w = _mm_packs_epi32(_mm256_cvttpd_epi32(__m256d(x)), _mm_setzero_si128());
  const int32_t b = _mm_cvtsi128_si32(_mm_packus_epi16(w, w));
  std::memcpy(p, &b, 4);
}
#include "processing/kernels/zoom_area_body.h"
}  // namespace area_avx2_body
VISTELMO_TARGET_END

VISTELMO_TARGET_BEGIN(VISTELMO_TARGET_AVX512VBMI)
namespace area_avx512_body {
constexpr int kDoubles = 8;
typedef double Doubles __attribute__((vector_size(64)));
inline Doubles widen(const float* p) { return Doubles(_mm512_cvtps_pd(_mm256_loadu_ps(p))); }
inline void store_bytes(unsigned char* p, Doubles x) {
  _mm_storel_epi64(reinterpret_cast<__m128i*>(p),
                   _mm256_cvtepi32_epi8(_mm512_cvttpd_epi32(__m512d(x))));
}
#include "processing/kernels/zoom_area_body.h"
}  // namespace area_avx512_body
VISTELMO_TARGET_END

constexpr AreaKernels kPlain = {
    .pair_means = nullptr,
    .quad_means = nullptr,
    .mixed_means = nullptr,
    .quarters = false,
    .window_blend_row = nullptr,
    .units_to_bytes = area_plain::units_to_bytes,
    .split_channels = area_plain::split_channels,
    .merge_channels = area_plain::merge_channels,
};

constexpr AreaKernels kSse2 = {
    .pair_means = nullptr,
    .quad_means = nullptr,
    .mixed_means = nullptr,
    .quarters = false,
    .window_blend_row = nullptr,
    .units_to_bytes = area_sse2::units_to_bytes,
    .split_channels = area_plain::split_channels,
    .merge_channels = area_sse2::merge_channels,
};

// Also the AVX-512 level without VBMI.
constexpr AreaKernels kAvx2 = {
    .pair_means = area_avx2::pair_means,
    .quad_means = nullptr,
    .mixed_means = area_avx2::mixed_means,
    .quarters = true,
    .window_blend_row = nullptr,
    .units_to_bytes = area_avx2_body::units_to_bytes,
    .split_channels = area_avx2::split_channels,
    .merge_channels = area_avx2_body::merge_channels,
};

// The channels of the AVX2 build.
constexpr AreaKernels kAvx512Vbmi = {
    .pair_means = area_avx512::pair_means,
    .quad_means = area_avx512::quad_means,
    .mixed_means = area_avx512::mixed_means,
    .quarters = false,
    .window_blend_row = area_avx512::window_blend_row,
    .units_to_bytes = area_avx512_body::units_to_bytes,
    .split_channels = area_avx2::split_channels,
    .merge_channels = area_avx512_body::merge_channels,
};

}  // namespace

const AreaKernels& area_kernels() {
  static constexpr const AreaKernels* kByLevel[kIsaLevels] = {&kPlain, &kSse2, &kAvx2, &kAvx2,
                                                              &kAvx512Vbmi};
  return table_at_current_isa(kByLevel);
}

void split_channels(const unsigned char* src, int n, unsigned char* const* planes,
                    const unsigned char* ahead) {
  area_kernels().split_channels(src, n, planes, ahead);
}

void merge_channels(const unsigned char* const* planes, int n, unsigned char* dst) {
  area_kernels().merge_channels(planes, n, dst);
}

}  // namespace vistelmo
