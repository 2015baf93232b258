// The turn kernels built for any x86-64 and for AVX2 (which the AVX-512 levels take too), and the
// table of each level.
#include "processing/kernels/turns.h"

#include <immintrin.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>

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

// Two 16-byte lanes: tiles of two squares each way.
using Avx2 = Tiles<2>;

// The half turn of three-byte pixels, four at a time: a 16-byte load holds four pixels whose order
// one byte shuffle reverses; the four bytes past them are written over by the next store. The
// first two pixels (whose load would start before the block) and the last few go one by one.
inline void reverse_block(const Bytes3* a, Bytes3* r, int64_t n) {
  const auto* src = reinterpret_cast<const unsigned char*>(a);
  auto* dst = reinterpret_cast<unsigned char*>(r);
  int64_t i = 0;
  for (; i < std::min<int64_t>(n, 2); i++) r[i] = a[n - 1 - i];
  for (; i + 6 <= n; i += 4) {
    const Lane v = load_vector<Lane>(src + 3 * (n - 4 - i));
    store_vector(dst + 3 * i, __builtin_shufflevector(v, v, 9, 10, 11, 6, 7, 8, 3, 4, 5, 0, 1, 2,
                                                      12, 13, 14, 15));
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
  static constexpr const TurnKernels* kByLevel[kIsaLevels] = {
      &kNoTurns, &sse2_turns::kTurns, &avx2_turns::kTurns, &avx2_turns::kTurns,
      &avx2_turns::kTurns};
  return table_at_current_isa(kByLevel);
}

}  // namespace vistelmo
