// The turn kernels built for any x86-64 and for AVX2 (which the AVX-512 levels take too), and the
// table of each level.
#include "processing/kernels/turns.h"

#include <immintrin.h>

#include <algorithm>
#include <cstdint>

#include "processing/kernels/isa.h"

namespace vistelmo {

namespace {

// Pixels of S bytes as the tiles and reversals move them.
struct Bytes3 {
  uint8_t b[3];
};
template <int S>
struct PixelOf;
template <>
struct PixelOf<1> {
  using type = uint8_t;
};
template <>
struct PixelOf<2> {
  using type = uint16_t;
};
template <>
struct PixelOf<3> {
  using type = Bytes3;
};
template <>
struct PixelOf<4> {
  using type = uint32_t;
};
template <>
struct PixelOf<8> {
  using type = uint64_t;
};

}  // namespace

namespace sse2_turns {
#include "processing/kernels/turns_body.h"

template <int S>
void quarter(const void* const* in, void* const* out, int nl, int nc, bool counter,
             const TurnRest& rest) {
  using T = typename PixelOf<S>::type;
  T* const* a = reinterpret_cast<T* const*>(const_cast<void* const*>(in));
  T* const* r = reinterpret_cast<T* const*>(out);
  if (counter)
    turn_tiles<Sse, true>(a, r, nl, nc, rest);
  else
    turn_tiles<Sse, false>(a, r, nl, nc, rest);
}

constexpr TurnKernels kTurns = {quarter<1>, quarter<2>, nullptr, quarter<4>, quarter<8>,
                                nullptr,    nullptr,    nullptr, nullptr};
}  // namespace sse2_turns

VISTELMO_TARGET_BEGIN(VISTELMO_TARGET_AVX2)
namespace avx2_turns {
#include "processing/kernels/turns_body.h"

// Two 16-byte lanes: tiles of two squares each way. Three-byte pixels go four to a lane, widened
// to four bytes on the way in and narrowed back on the way out.
struct Avx2 {
  using V = __m256i;
  static constexpr int kBytes = 32, kLanes = 2;
  static constexpr bool kThreeBytes = true;
  template <int S>
  static V load(const unsigned char* p) {
    if constexpr (S == 3) {
      const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 8));
      const V widen = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1,  //
                                       4, 5, 6, -1, 7, 8, 9, -1, 10, 11, 12, -1, 13, 14, 15, -1);
      return _mm256_shuffle_epi8(_mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1), widen);
    } else {
      return _mm256_loadu_si256(reinterpret_cast<const V*>(p));
    }
  }
  template <int S>
  static void store_pair(V x, V y, unsigned char* p, unsigned char* q) {
    const V lows = _mm256_permute2x128_si256(x, y, 0x20),
            highs = _mm256_permute2x128_si256(x, y, 0x31);
    if constexpr (S == 3) {
      store_narrowed(lows, p);
      store_narrowed(highs, q);
    } else {
      _mm256_storeu_si256(reinterpret_cast<V*>(p), lows);
      _mm256_storeu_si256(reinterpret_cast<V*>(q), highs);
    }
  }
  // The eight four-byte pixels of v as 24 bytes at p.
  static void store_narrowed(V v, unsigned char* p) {
    const V narrow = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1,  //
                                      0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    const V packed = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(v, narrow),
                                                 _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm256_castsi256_si128(packed));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p + 16), _mm256_extracti128_si256(packed, 1));
  }
  // Interleave of G-byte elements within each lane: the low halves, or the high ones.
  template <int G, bool kHigh>
  static V interleave(V a, V b) {
    if constexpr (G == 1) return kHigh ? _mm256_unpackhi_epi8(a, b) : _mm256_unpacklo_epi8(a, b);
    if constexpr (G == 2) return kHigh ? _mm256_unpackhi_epi16(a, b) : _mm256_unpacklo_epi16(a, b);
    if constexpr (G == 4) return kHigh ? _mm256_unpackhi_epi32(a, b) : _mm256_unpacklo_epi32(a, b);
    if constexpr (G == 8) return kHigh ? _mm256_unpackhi_epi64(a, b) : _mm256_unpacklo_epi64(a, b);
  }
};

// The half turn of three-byte pixels, four at a time: a 16-byte load holds four pixels whose order
// one byte shuffle reverses; the four bytes past them are written over by the next store. The
// first two pixels (whose load would start before the block) and the last few go one by one.
inline void reverse_block(const Bytes3* a, Bytes3* r, int64_t n) {
  const auto* src = reinterpret_cast<const unsigned char*>(a);
  auto* dst = reinterpret_cast<unsigned char*>(r);
  const __m128i reverse4 = _mm_setr_epi8(9, 10, 11, 6, 7, 8, 3, 4, 5, 0, 1, 2, 12, 13, 14, 15);
  int64_t i = 0;
  for (; i < std::min<int64_t>(n, 2); i++) r[i] = a[n - 1 - i];
  for (; i + 6 <= n; i += 4) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 3 * (n - 4 - i)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 3 * i), _mm_shuffle_epi8(v, reverse4));
  }
  for (; i < n; i++) r[i] = a[n - 1 - i];
}

template <int S>
void quarter(const void* const* in, void* const* out, int nl, int nc, bool counter,
             const TurnRest& rest) {
  using T = typename PixelOf<S>::type;
  T* const* a = reinterpret_cast<T* const*>(const_cast<void* const*>(in));
  T* const* r = reinterpret_cast<T* const*>(out);
  if (counter)
    turn_tiles<Avx2, true>(a, r, nl, nc, rest);
  else
    turn_tiles<Avx2, false>(a, r, nl, nc, rest);
}

template <int S>
void reverse(const void* a, void* r, int64_t n) {
  using T = typename PixelOf<S>::type;
  reverse_block(static_cast<const T*>(a), static_cast<T*>(r), n);
}

constexpr TurnKernels kTurns = {quarter<1>, quarter<2>, quarter<3>, quarter<4>, quarter<8>,
                                reverse<1>, reverse<3>, reverse<4>, reverse<8>};
}  // namespace avx2_turns
VISTELMO_TARGET_END

namespace {
constexpr TurnKernels kNoTurns = {};
}  // namespace

const TurnKernels& turn_kernels() {
  switch (current_isa()) {
    case Isa::kPlain:
      return kNoTurns;
    case Isa::kSse2:
      return sse2_turns::kTurns;
    default:
      return avx2_turns::kTurns;
  }
}

}  // namespace vistelmo
