// The statistics kernels built per instruction set (statistics_body.h) and their tables.
#include "processing/kernels/statistics.h"

#include <immintrin.h>

#include <algorithm>
#include <bitset>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "processing/kernels/isa.h"

namespace vistelmo {
namespace {

// W doubles a register.
template <int W>
struct Lanes {
  typedef double D __attribute__((vector_size(8 * W)));
  typedef int64_t L __attribute__((vector_size(8 * W)));
  typedef float F __attribute__((vector_size(4 * W)));
  // Twice W 32-bit lanes: a register of float pixels, their bits and integers.
  typedef float G __attribute__((vector_size(8 * W)));
  typedef uint32_t U __attribute__((vector_size(8 * W)));
  typedef int32_t I __attribute__((vector_size(8 * W)));
};

template <bool Largest>
[[gnu::always_inline]] inline bool beats(float x, float best) {
  return Largest ? x > best : x < best;
}

namespace stat_sse2 {

constexpr int kPartsLanes = 0, kGridLanes = 0, kExtremeLanes = 4;
using ByteVector = __m128i;
inline __m128i sad_zero(__m128i v) { return _mm_sad_epu8(v, _mm_setzero_si128()); }
inline int count_bits(uint64_t w) { return int(std::bitset<64>(w).count()); }
#include "processing/kernels/statistics_body.h"
constexpr StatisticsKernels kKernels = make_kernels();

}  // namespace stat_sse2

VISTELMO_TARGET_BEGIN(VISTELMO_TARGET_AVX2)
namespace stat_avx2 {

constexpr int kPartsLanes = 4, kGridLanes = 4, kExtremeLanes = 8;
using ByteVector = __m256i;
inline Lanes<4>::D widen(Lanes<4>::F f) { return Lanes<4>::D(_mm256_cvtps_pd(__m128(f))); }
// Whether some lane has its sign bit clear.
inline bool any_sign_clear(Lanes<4>::L m) { return _mm256_movemask_pd(__m256d(m)) != 0xF; }
inline __m256i sad_zero(__m256i v) { return _mm256_sad_epu8(v, _mm256_setzero_si256()); }
inline int count_bits(uint64_t w) { return __builtin_popcountll(w); }
#include "processing/kernels/statistics_body.h"
constexpr StatisticsKernels kKernels = make_kernels();

}  // namespace stat_avx2
VISTELMO_TARGET_END

VISTELMO_TARGET_BEGIN(VISTELMO_TARGET_AVX512)
namespace stat_avx512 {

constexpr int kPartsLanes = 0, kGridLanes = 8, kExtremeLanes = 16;
using ByteVector = __m512i;
inline Lanes<8>::D widen(Lanes<8>::F f) {
  return Lanes<8>::D(_mm512_maskz_cvtps_pd(0xFF, __m256(f)));
}
inline bool any_sign_clear(Lanes<8>::L m) {
  return _mm512_cmpge_epi64_mask(__m512i(m), _mm512_setzero_si512()) != 0;
}
inline __m512i sad_zero(__m512i v) { return _mm512_sad_epu8(v, _mm512_setzero_si512()); }
inline int count_bits(uint64_t w) { return __builtin_popcountll(w); }
#include "processing/kernels/statistics_body.h"

// The float parts of the AVX2 build, and its bit counts (one instruction either way).
constexpr StatisticsKernels with_avx2_parts() {
  StatisticsKernels k = make_kernels();
  for (int a = 0; a < 2; a++)
    for (int p = 0; p < 2; p++) k.parts[a][p] = stat_avx2::kKernels.parts[a][p];
  k.set_bits = stat_avx2::kKernels.set_bits;
  return k;
}
constexpr StatisticsKernels kKernels = with_avx2_parts();

}  // namespace stat_avx512
VISTELMO_TARGET_END

}  // namespace

const StatisticsKernels& statistics_kernels() {
  static constexpr const StatisticsKernels* kByLevel[kIsaLevels] = {
      &stat_sse2::kKernels, &stat_sse2::kKernels, &stat_avx2::kKernels, &stat_avx512::kKernels,
      &stat_avx512::kKernels};
  return table_at_current_isa(kByLevel);
}

}  // namespace vistelmo
