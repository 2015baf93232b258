// Selection networks along rows, built for any x86-64 and, behind a run-time check, for AVX2
// and AVX-512. Each lane runs its own comparisons in the network's order: every build gives the
// same bits.
#include <cstdint>

#include "processing/algebra/median_internal.h"
#include "processing/algebra/neighbourhood_internal.h"

namespace vistelmo {

namespace {

#define VISTELMO_NET_STEP __attribute__((always_inline)) inline

// The smaller of u and v on p, the other on q (v when they compare equal stays on q).
template <class T, int W>
VISTELMO_NET_STEP void exchange(T* __restrict p, T* __restrict q) {
  for (int i = 0; i < W; i++) {
    const T u = p[i], v = q[i];
    p[i] = v < u ? v : u;
    q[i] = v < u ? u : v;
  }
}

// Outputs x0 .. x0 + W - 1.
template <class T, int W>
VISTELMO_NET_STEP void network_block(const T* const* src, int wires, const int32_t* pairs,
                                     int npairs, int out, int64_t x0, T* dst) {
  alignas(64) T x[kMaxNetworkWires * W];
  for (int w = 0; w < wires; w++)
    for (int i = 0; i < W; i++) x[w * W + i] = src[w][x0 + i];
  for (int k = 0; k < npairs; k++) exchange<T, W>(x + pairs[2 * k] * W, x + pairs[2 * k + 1] * W);
  for (int i = 0; i < W; i++) dst[x0 + i] = x[out * W + i];
}

// Blocks of W, the last one overlapping the one before; rows shorter than W one lane at a time.
template <class T, int W>
VISTELMO_NET_STEP void network_row(const T* const* src, int wires, const int32_t* pairs, int npairs,
                                   int out, T* dst, int64_t n) {
  int64_t x0 = 0;
  for (; x0 + W <= n; x0 += W) network_block<T, W>(src, wires, pairs, npairs, out, x0, dst);
  if (x0 < n && n >= W)
    network_block<T, W>(src, wires, pairs, npairs, out, n - W, dst);
  else
    for (; x0 < n; x0++) network_block<T, 1>(src, wires, pairs, npairs, out, x0, dst);
}

#define VISTELMO_NETWORKS(suffix, attr)                                                     \
  attr void network_u8_##suffix(const uint8_t* const* src, int wires, const int32_t* pairs, \
                                int npairs, int out, uint8_t* dst, int64_t n) {             \
    network_row<uint8_t, 64>(src, wires, pairs, npairs, out, dst, n);                       \
  }                                                                                         \
  attr void network_f64_##suffix(const double* const* src, int wires, const int32_t* pairs, \
                                 int npairs, int out, double* dst, int64_t n) {             \
    network_row<double, 16>(src, wires, pairs, npairs, out, dst, n);                        \
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
