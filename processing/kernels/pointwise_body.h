// Vector loops of the pointwise kernels. Included by pointwise.cpp once per instruction set,
// inside a namespace that sets kBytes, that set's vector width; the shared vector operations
// (vector_ops_body.h) come in with it. The tails past the last whole vector run the per-element
// rules.

#include "processing/kernels/vector_ops_body.h"

typedef uint8_t Bytes __attribute__((vector_size(kBytes)));
typedef float Floats __attribute__((vector_size(kBytes)));
typedef int32_t FloatBits __attribute__((vector_size(kBytes)));
// The doubles of half a vector of floats, widened.
typedef double Doubles __attribute__((vector_size(kBytes)));
constexpr int kFloats = kBytes / 4;
// Columns of one step of at_least: whole words of 32, whole vectors.
constexpr int kRun = kBytes < 32 ? 32 : kBytes;

// dst[i] = src.one(i) for i < n, whole vectors through src.vec(i). Far: dst aligned to a vector
// first (one by one), then stored past the caches, which a block larger than they are would only
// evict (and every store read the line first). Sources are structs rather than lambdas: clang
// does not give a lambda the target of the region around it.
template <bool Far, class Src>
void byte_run(uint8_t* dst, int64_t n, const Src& src) {
  int64_t i = 0;
  if constexpr (Far) {
    const auto misaligned = reinterpret_cast<uintptr_t>(dst) & (kBytes - 1);
    const int64_t head = std::min<int64_t>(n, misaligned ? kBytes - misaligned : 0);
    for (; i < head; i++) dst[i] = src.one(i);
    for (; i + kBytes <= n; i += kBytes) stream_vector(dst + i, src.vec(i));
    _mm_sfence();
  } else {
    for (; i + kBytes <= n; i += kBytes) store_vector(dst + i, src.vec(i));
  }
  for (; i < n; i++) dst[i] = src.one(i);
}

template <ByteOp op>
[[gnu::always_inline]] inline Bytes apply(Bytes x, Bytes y) {
  if constexpr (op == ByteOp::add_sat) return saturated_u8<true>(x, y);
  if constexpr (op == ByteOp::sub_sat) return saturated_u8<false>(x, y);
  if constexpr (op == ByteOp::min) return y < x ? y : x;
  if constexpr (op == ByteOp::max) return y > x ? y : x;
  if constexpr (op == ByteOp::absdiff) return (y > x ? y : x) - (y < x ? y : x);
  if constexpr (op == ByteOp::bit_xor) return x ^ y;
}

template <ByteOp op>
struct ZipSource {
  const uint8_t *a, *b;
  Bytes vec(int64_t i) const {
    Bytes x = load_vector<Bytes>(a + i);
    __asm__("" : "+v"(x));  // one load: absdiff reads x twice, and a second load costs time
    return apply<op>(x, load_vector<Bytes>(b + i));
  }
  uint8_t one(int64_t i) const { return byte_op<op>(a[i], b[i]); }
};

template <ByteOp op>
struct WithSource {
  const uint8_t* a;
  uint8_t k;
  Bytes kv;
  Bytes vec(int64_t i) const { return apply<op>(load_vector<Bytes>(a + i), kv); }
  uint8_t one(int64_t i) const { return byte_op<op>(a[i], k); }
};

template <ByteOp op, bool Far>
void zip(const uint8_t* a, const uint8_t* b, uint8_t* dst, int64_t n) {
  byte_run<Far>(dst, n, ZipSource<op>{a, b});
}

template <ByteOp op, bool Far>
void with(const uint8_t* a, uint8_t k, uint8_t* dst, int64_t n) {
  byte_run<Far>(dst, n, WithSource<op>{a, k, splat<Bytes>(k)});
}

// Without a byte shuffle (16 bytes: SSE2) the table stays per element.
void lookup(const uint8_t* table, const uint8_t* a, uint8_t* dst, int64_t n) {
  int64_t i = 0;
  if constexpr (kBytes >= 32)
    for (; i + kBytes <= n; i += kBytes)
      store_vector(dst + i, lookup_u8(table, load_vector<Bytes>(a + i)));
  point_plain::lookup(table, a + i, dst + i, n - i);
}

// The bits of s[c] >= t for c < kBytes, the columns of each 32 reversed so that the first one
// lands in the top bit of its word. Sixteen bytes go by swaps of bytes and of words, then the
// four quarters reversed: without SSSE3 a byte shuffle goes byte by byte.
template <class B, size_t... I>
[[gnu::always_inline]] inline uint64_t at_least_reversed(const uint8_t* s, B tv,
                                                         std::index_sequence<I...>) {
  const B v = load_vector<B>(s);
  if constexpr (sizeof(B) == 16) {
    const auto w = (typename VectorOf<uint16_t, sizeof(B)>::type)v;
    const auto p = (typename VectorOf<uint32_t, sizeof(B)>::type)(w << 8 | w >> 8);
    const auto q = p << 16 | p >> 16;
    return at_least_mask_u8((B)__builtin_shufflevector(q, q, 3, 2, 1, 0), tv);
  } else {
    return at_least_mask_u8(__builtin_shufflevector(v, v, (I / 32 * 32 + 31 - I % 32)...), tv);
  }
}

void at_least(const uint8_t* src, uint8_t t, uint32_t* dst, int64_t n) {
  const Bytes tv = splat<Bytes>(t);
  auto bits = [&](const uint8_t* s) VISTELMO_BODY_LAMBDA {
    return at_least_reversed(s, tv, std::make_index_sequence<kBytes>());
  };
  int64_t c = 0;
  for (; c + kRun <= n; c += kRun) {
    uint32_t* w = dst + c / 32;
    if constexpr (kBytes == 16) {
      w[0] = static_cast<uint32_t>(bits(src + c) << 16 | bits(src + c + 16));
    } else {
      const uint64_t m = bits(src + c);
      for (int k = 0; k < kBytes / 32; k++) w[k] = static_cast<uint32_t>(m >> 32 * k);
    }
  }
  point_plain::at_least(src + c, t, dst + c / 32, n - c);
}

[[gnu::always_inline]] inline Doubles lo(Floats f) { return widen_f32<0>(f); }
[[gnu::always_inline]] inline Doubles hi(Floats f) { return widen_f32<1>(f); }
[[gnu::always_inline]] inline Floats narrow(Doubles l, Doubles h) { return narrow_f64(l, h); }

// dst[i] = narrow(f.wide(lo), f.wide(hi)) of each float vector; the tail through f.one.
template <class Fn>
void floats_via_double(const float* a, float* dst, int64_t n, const Fn& f) {
  int64_t i = 0;
  for (; i + kFloats <= n; i += kFloats) {
    const Floats x = load_vector<Floats>(a + i);
    store_vector(dst + i, narrow(f.wide(lo(x)), f.wide(hi(x))));
  }
  for (; i < n; i++) dst[i] = f.one(a[i]);
}

struct SqrtFn {
  Doubles wide(Doubles d) const { return sqrt_f64(d); }
  float one(float p) const { return point_plain::sqrt_one(p); }
};

struct ScaleFn {
  double k;
  Doubles kv;
  Doubles wide(Doubles d) const { return kv * d; }
  float one(float p) const { return point_plain::scale_one(k, p); }
};

void sqrt_f(const float* a, float* dst, int64_t n) { floats_via_double(a, dst, n, SqrtFn{}); }

void scale_f(double k, const float* a, float* dst, int64_t n) {
  floats_via_double(a, dst, n, ScaleFn{k, splat<Doubles>(k)});
}

void abs_f(const float* a, float* dst, int64_t n) {
  int64_t i = 0;
  for (; i + kFloats <= n; i += kFloats)
    store_vector(dst + i, (Floats)((FloatBits)load_vector<Floats>(a + i) & 0x7FFFFFFF));
  point_plain::abs_f(a + i, dst + i, n - i);
}

void add_f(const float* a, const float* b, float* dst, int64_t n) {
  int64_t i = 0;
  for (; i + kFloats <= n; i += kFloats)
    store_vector(dst + i, load_vector<Floats>(a + i) + load_vector<Floats>(b + i));
  point_plain::add_f(a + i, b + i, dst + i, n - i);
}

void sub_f(const float* a, const float* b, float* dst, int64_t n) {
  int64_t i = 0;
  for (; i + kFloats <= n; i += kFloats)
    store_vector(dst + i, load_vector<Floats>(a + i) - load_vector<Floats>(b + i));
  point_plain::sub_f(a + i, b + i, dst + i, n - i);
}

// Pairs (re, im) widened: p = (re k, im k), q = (re 0, im 0) swapped to (im 0, re 0), then
// p - q on even lanes and p + q on odd ones: (re k - im 0, im k + re 0).
template <size_t... I>
[[gnu::always_inline]] inline Doubles complex_scale_step(Doubles d, Doubles kv,
                                                         std::index_sequence<I...>) {
  const Doubles p = d * kv, z = d * 0.0;
  const Doubles q = __builtin_shufflevector(z, z, (I ^ 1)...);
  return __builtin_shufflevector(p - q, p + q, (I % 2 ? kFloats / 2 + I : I)...);
}

void complex_scale(float k, const float* a, float* dst, int64_t n) {
  const Doubles kv = splat<Doubles>(static_cast<double>(k));
  constexpr auto lanes = std::make_index_sequence<kFloats / 2>();
  const int64_t m = 2 * n;
  int64_t i = 0;
  for (; i + kFloats <= m; i += kFloats) {
    const Floats f = load_vector<Floats>(a + i);
    store_vector(dst + i, narrow(complex_scale_step(lo(f), kv, lanes),
                                 complex_scale_step(hi(f), kv, lanes)));
  }
  point_plain::complex_scale(k, a + i, dst + i, (m - i) / 2);
}

#include "processing/kernels/pointwise_table.h"
