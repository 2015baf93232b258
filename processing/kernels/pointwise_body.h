// Vector loops of the pointwise kernels. Included by pointwise_kernels.cpp once per
// instruction set, inside a namespace that first defines V, the vectors of that set:
//   B (bytes), F (floats), D (doubles, half as many); kBytes, kFloats, kRun (columns per
//   at_least_words step); load/store/stream (aligned, past the caches)/set1 and apply<op> on B;
//   at_least_words; lookup; loadf/storef, lo/hi (float halves widened), narrow, sqrtd, muld,
//   setd, addf, subf, absf, swap_pairs and cross (p - q on even lanes, p + q on odd ones) on D.
// The tails past the last whole vector run the per-element rules.

// dst[i] = src.one(i) for i < n, whole vectors through src.vec(i). Far: dst aligned to a vector
// first (one by one), then stored past the caches, which a block larger than they are would only
// evict (and every store read the line first). Sources are structs rather than lambdas: clang
// does not give a lambda the target of the region around it.
template <bool Far, class Src>
void byte_run(uint8_t* dst, int64_t n, const Src& src) {
  int64_t i = 0;
  if constexpr (Far) {
    const auto misaligned = reinterpret_cast<uintptr_t>(dst) & (V::kBytes - 1);
    const int64_t head = std::min<int64_t>(n, misaligned ? V::kBytes - misaligned : 0);
    for (; i < head; i++) dst[i] = src.one(i);
    for (; i + V::kBytes <= n; i += V::kBytes) V::stream(dst + i, src.vec(i));
    _mm_sfence();
  } else {
    for (; i + V::kBytes <= n; i += V::kBytes) V::store(dst + i, src.vec(i));
  }
  for (; i < n; i++) dst[i] = src.one(i);
}

template <ByteOp op>
struct ZipSource {
  const uint8_t *a, *b;
  typename V::B vec(int64_t i) const {
    typename V::B x = V::load(a + i);
    __asm__("" : "+v"(x));  // one load: absdiff reads x twice, and a second load costs time
    return V::template apply<op>(x, V::load(b + i));
  }
  uint8_t one(int64_t i) const { return byte_op<op>(a[i], b[i]); }
};

template <ByteOp op>
struct WithSource {
  const uint8_t* a;
  uint8_t k;
  typename V::B kv;
  typename V::B vec(int64_t i) const { return V::template apply<op>(V::load(a + i), kv); }
  uint8_t one(int64_t i) const { return byte_op<op>(a[i], k); }
};

template <ByteOp op, bool Far>
void zip(const uint8_t* a, const uint8_t* b, uint8_t* dst, int64_t n) {
  byte_run<Far>(dst, n, ZipSource<op>{a, b});
}

template <ByteOp op, bool Far>
void with(const uint8_t* a, uint8_t k, uint8_t* dst, int64_t n) {
  byte_run<Far>(dst, n, WithSource<op>{a, k, V::set1(k)});
}

void lookup(const uint8_t* table, const uint8_t* a, uint8_t* dst, int64_t n) {
  const int64_t done = V::lookup(table, a, dst, n);
  point_plain::lookup(table, a + done, dst + done, n - done);
}

void at_least(const uint8_t* src, uint8_t t, uint32_t* dst, int64_t n) {
  const typename V::B tv = V::set1(t);
  int64_t c = 0;
  for (; c + V::kRun <= n; c += V::kRun) V::at_least_words(src + c, tv, dst + c / 32);
  point_plain::at_least(src + c, t, dst + c / 32, n - c);
}

// dst[i] = narrow(f.wide(lo), f.wide(hi)) of each float vector; the tail through f.one.
template <class Fn>
void floats_via_double(const float* a, float* dst, int64_t n, const Fn& f) {
  int64_t i = 0;
  for (; i + V::kFloats <= n; i += V::kFloats) {
    const typename V::F x = V::loadf(a + i);
    V::storef(dst + i, V::narrow(f.wide(V::lo(x)), f.wide(V::hi(x))));
  }
  for (; i < n; i++) dst[i] = f.one(a[i]);
}

struct SqrtFn {
  typename V::D wide(typename V::D d) const { return V::sqrtd(d); }
  float one(float p) const { return point_plain::sqrt_one(p); }
};

struct ScaleFn {
  double k;
  typename V::D kv;
  typename V::D wide(typename V::D d) const { return V::muld(kv, d); }
  float one(float p) const { return point_plain::scale_one(k, p); }
};

void sqrt_f(const float* a, float* dst, int64_t n) { floats_via_double(a, dst, n, SqrtFn{}); }

void scale_f(double k, const float* a, float* dst, int64_t n) {
  floats_via_double(a, dst, n, ScaleFn{k, V::setd(k)});
}

void abs_f(const float* a, float* dst, int64_t n) {
  int64_t i = 0;
  for (; i + V::kFloats <= n; i += V::kFloats) V::storef(dst + i, V::absf(V::loadf(a + i)));
  point_plain::abs_f(a + i, dst + i, n - i);
}

void add_f(const float* a, const float* b, float* dst, int64_t n) {
  int64_t i = 0;
  for (; i + V::kFloats <= n; i += V::kFloats)
    V::storef(dst + i, V::addf(V::loadf(a + i), V::loadf(b + i)));
  point_plain::add_f(a + i, b + i, dst + i, n - i);
}

void sub_f(const float* a, const float* b, float* dst, int64_t n) {
  int64_t i = 0;
  for (; i + V::kFloats <= n; i += V::kFloats)
    V::storef(dst + i, V::subf(V::loadf(a + i), V::loadf(b + i)));
  point_plain::sub_f(a + i, b + i, dst + i, n - i);
}

// Pairs (re, im) widened: p = (re k, im k), q = (re 0, im 0) swapped to (im 0, re 0), then
// (re k - im 0, im k + re 0).
inline typename V::D complex_scale_step(typename V::D d, typename V::D kv, typename V::D zero) {
  return V::cross(V::muld(d, kv), V::swap_pairs(V::muld(d, zero)));
}

void complex_scale(float k, const float* a, float* dst, int64_t n) {
  const typename V::D kv = V::setd(k), zero = V::setd(0.0);
  const int64_t m = 2 * n;
  int64_t i = 0;
  for (; i + V::kFloats <= m; i += V::kFloats) {
    const typename V::F f = V::loadf(a + i);
    V::storef(dst + i, V::narrow(complex_scale_step(V::lo(f), kv, zero),
                                 complex_scale_step(V::hi(f), kv, zero)));
  }
  point_plain::complex_scale(k, a + i, dst + i, (m - i) / 2);
}

#include "processing/kernels/pointwise_table.h"
