// Selection networks along rows, built for any x86-64 and, behind a run-time check, for AVX2
// and AVX-512. Each lane runs its own comparisons in the network's order: every build gives the
// same bits.
#include <cstdint>
#include <cstring>

#include "processing/algebra/median_internal.h"
#include "processing/algebra/neighbourhood_internal.h"

namespace vistelmo {

namespace {

#define VISTELMO_NET_STEP __attribute__((always_inline)) inline

// The smaller of u and v to u, the other to v (v stays where they compare equal). T a scalar or
// a vector of them.
template <class T>
VISTELMO_NET_STEP void exchange(T& u, T& v) {
  const T a = u, b = v;
  u = b < a ? b : a;
  v = b < a ? a : b;
}

// 64 bytes of T, or one T for K = 0.
template <class T, int K>
struct Lanes {
  typedef T type __attribute__((vector_size(64)));
};
template <class T>
struct Lanes<T, 0> {
  using type = T;
};

// Outputs x0 .. x0 + K L - 1 in K vectors of L lanes (K L = 1: scalar).
template <class T, int K>
VISTELMO_NET_STEP void network_block(const T* const* src, int wires, const int32_t* pairs,
                                     int npairs, int out, int64_t x0, T* dst) {
  using V = typename Lanes<T, K>::type;
  constexpr int L = sizeof(V) / sizeof(T);
  constexpr int N = K == 0 ? 1 : K;
  V x[kMaxNetworkWires * N];
  for (int w = 0; w < wires; w++)
    for (int k = 0; k < N; k++) std::memcpy(&x[w * N + k], src[w] + x0 + k * L, sizeof(V));
  for (int c = 0; c < npairs; c++) {
    V* p = x + pairs[2 * c] * N;
    V* q = x + pairs[2 * c + 1] * N;
    for (int k = 0; k < N; k++) exchange(p[k], q[k]);
  }
  std::memcpy(dst + x0, &x[out * N], N * sizeof(V));
}

// Blocks of K vectors, the last one overlapping the one before; rows shorter than a block one
// element at a time.
template <class T, int K>
VISTELMO_NET_STEP void network_row(const T* const* src, int wires, const int32_t* pairs, int npairs,
                                   int out, T* dst, int64_t n) {
  constexpr int64_t W = K * 64 / sizeof(T);
  int64_t x0 = 0;
  for (; x0 + W <= n; x0 += W) network_block<T, K>(src, wires, pairs, npairs, out, x0, dst);
  if (x0 < n && n >= W)
    network_block<T, K>(src, wires, pairs, npairs, out, n - W, dst);
  else
    for (; x0 < n; x0++) network_block<T, 0>(src, wires, pairs, npairs, out, x0, dst);
}

#define VISTELMO_NETWORKS(suffix, attr)                                                     \
  attr void network_u8_##suffix(const uint8_t* const* src, int wires, const int32_t* pairs, \
                                int npairs, int out, uint8_t* dst, int64_t n) {             \
    network_row<uint8_t, 8>(src, wires, pairs, npairs, out, dst, n);                        \
  }                                                                                         \
  attr void network_f64_##suffix(const double* const* src, int wires, const int32_t* pairs, \
                                 int npairs, int out, double* dst, int64_t n) {             \
    network_row<double, 8>(src, wires, pairs, npairs, out, dst, n);                         \
  }

VISTELMO_NETWORKS(portable, )
VISTELMO_NETWORKS(avx2, __attribute__((target("avx2"))))
VISTELMO_NETWORKS(avx512, __attribute__((target("avx512f,avx512bw,avx512vl"))))

const NetworkKernels kPortable = {network_u8_portable, network_f64_portable};
const NetworkKernels kAvx2 = {network_u8_avx2, network_f64_avx2};
const NetworkKernels kAvx512 = {network_u8_avx512, network_f64_avx512};

}  // namespace

const NetworkKernels& network_kernels() {
  switch (neighbourhood_tier()) {
    case Tier::avx512:
      return kAvx512;
    case Tier::avx2:
      return kAvx2;
    default:
      return kPortable;
  }
}

}  // namespace vistelmo
