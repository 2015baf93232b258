// The pointwise kernels: per-element loops, and vector loops built for any x86-64 (SSE2), for
// AVX2 and for AVX-512 (with VBMI), chosen by the current instruction-set level.
#include "processing/kernels/intrinsics.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <utility>

#include "processing/kernels/isa.h"
#include "processing/kernels/pointwise.h"

namespace vistelmo {
namespace {

using ZipRow = std::array<void (*)(const uint8_t*, const uint8_t*, uint8_t*, int64_t), kByteOps>;
using WithRow = std::array<void (*)(const uint8_t*, uint8_t, uint8_t*, int64_t), kByteOps>;
constexpr auto kOps = std::make_index_sequence<kByteOps>();

struct Kernels {
  // [streaming][op]: the second row stores past the caches (large blocks).
  ZipRow zip[2];
  WithRow with[2];
  void (*lookup)(const uint8_t*, const uint8_t*, uint8_t*, int64_t);
  void (*at_least)(const uint8_t*, uint8_t, uint32_t*, int64_t);
  void (*sqrt_f)(const float*, float*, int64_t);
  void (*abs_f)(const float*, float*, int64_t);
  void (*scale_f)(double, const float*, float*, int64_t);
  void (*add_f)(const float*, const float*, float*, int64_t);
  void (*sub_f)(const float*, const float*, float*, int64_t);
  void (*complex_scale)(float, const float*, float*, int64_t);
};

namespace point_plain {

template <ByteOp op, bool = false>
void zip(const uint8_t* a, const uint8_t* b, uint8_t* dst, int64_t n) {
  for (int64_t i = 0; i < n; i++) dst[i] = byte_op<op>(a[i], b[i]);
}
template <ByteOp op, bool = false>
void with(const uint8_t* a, uint8_t k, uint8_t* dst, int64_t n) {
  for (int64_t i = 0; i < n; i++) dst[i] = byte_op<op>(a[i], k);
}
void lookup(const uint8_t* table, const uint8_t* a, uint8_t* dst, int64_t n) {
  for (int64_t i = 0; i < n; i++) dst[i] = table[a[i]];
}
void at_least(const uint8_t* src, uint8_t t, uint32_t* dst, int64_t n) {
  for (int64_t w = 0; w < (n + 31) / 32; w++) dst[w] = 0;
  for (int64_t c = 0; c < n; c++)
    if (src[c] >= t) dst[c >> 5] |= 0x80000000u >> (c & 31);
}

float sqrt_one(float p) { return static_cast<float>(std::sqrt(static_cast<double>(p))); }
float scale_one(double k, float p) { return static_cast<float>(k * p); }

void sqrt_f(const float* a, float* dst, int64_t n) {
  for (int64_t i = 0; i < n; i++) dst[i] = sqrt_one(a[i]);
}
void abs_f(const float* a, float* dst, int64_t n) {
  for (int64_t i = 0; i < n; i++) dst[i] = std::fabs(a[i]);
}
void scale_f(double k, const float* a, float* dst, int64_t n) {
  for (int64_t i = 0; i < n; i++) dst[i] = scale_one(k, a[i]);
}
void add_f(const float* a, const float* b, float* dst, int64_t n) {
  for (int64_t i = 0; i < n; i++) dst[i] = a[i] + b[i];
}
void sub_f(const float* a, const float* b, float* dst, int64_t n) {
  for (int64_t i = 0; i < n; i++) dst[i] = a[i] - b[i];
}
void complex_scale(float k, const float* a, float* dst, int64_t n) {
  for (int64_t i = 0; i < n; i++) {
    const double re = static_cast<double>(a[2 * i]), im = static_cast<double>(a[2 * i + 1]);
    dst[2 * i] = static_cast<float>(re * k - im * 0.0);
    dst[2 * i + 1] = static_cast<float>(im * k + re * 0.0);
  }
}

#include "processing/kernels/pointwise_table.h"

}  // namespace point_plain

namespace point_portable {

struct V {
  using B = __m128i;
  using F = __m128;
  using D = __m128d;
  static constexpr int kBytes = 16, kFloats = 4, kRun = 32;
  static B load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const B*>(p)); }
  static void store(uint8_t* p, B v) { _mm_storeu_si128(reinterpret_cast<B*>(p), v); }
  static void stream(uint8_t* p, B v) { _mm_stream_si128(reinterpret_cast<B*>(p), v); }
  static B set1(uint8_t k) { return _mm_set1_epi8(static_cast<char>(k)); }
  template <ByteOp op>
  static B apply(B x, B y) {
    if constexpr (op == ByteOp::add_sat) return _mm_adds_epu8(x, y);
    if constexpr (op == ByteOp::sub_sat) return _mm_subs_epu8(x, y);
    if constexpr (op == ByteOp::min) return _mm_min_epu8(x, y);
    if constexpr (op == ByteOp::max) return _mm_max_epu8(x, y);
    if constexpr (op == ByteOp::absdiff)
      return _mm_or_si128(_mm_subs_epu8(x, y), _mm_subs_epu8(y, x));
    if constexpr (op == ByteOp::bit_xor) return _mm_xor_si128(x, y);
  }
  // 16 columns: the bits of p >= t, first column in bit 15.
  static uint32_t at_least16(B v, B t) {
    B m = _mm_cmpeq_epi8(_mm_max_epu8(v, t), v);
    m = _mm_or_si128(_mm_slli_epi16(m, 8), _mm_srli_epi16(m, 8));
    m = _mm_shuffle_epi32(_mm_shufflehi_epi16(_mm_shufflelo_epi16(m, 0x1B), 0x1B), 0x4E);
    return static_cast<uint32_t>(_mm_movemask_epi8(m));
  }
  static void at_least_words(const uint8_t* s, B t, uint32_t* dst) {
    dst[0] = at_least16(load(s), t) << 16 | at_least16(load(s + 16), t);
  }
  static int64_t lookup(const uint8_t*, const uint8_t*, uint8_t*, int64_t) { return 0; }
  static F loadf(const float* p) { return _mm_loadu_ps(p); }
  static void storef(float* p, F v) { _mm_storeu_ps(p, v); }
  static D lo(F f) { return _mm_cvtps_pd(f); }
  static D hi(F f) { return _mm_cvtps_pd(_mm_movehl_ps(f, f)); }
  static F narrow(D l, D h) { return _mm_movelh_ps(_mm_cvtpd_ps(l), _mm_cvtpd_ps(h)); }
  static D sqrtd(D d) { return _mm_sqrt_pd(d); }
  static D muld(D x, D y) { return _mm_mul_pd(x, y); }
  static D setd(double k) { return _mm_set1_pd(k); }
  static F addf(F x, F y) { return _mm_add_ps(x, y); }
  static F subf(F x, F y) { return _mm_sub_ps(x, y); }
  static F absf(F x) { return _mm_and_ps(x, _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF))); }
  static D swap_pairs(D q) { return _mm_shuffle_pd(q, q, 1); }
  static D cross(D p, D q) { return _mm_move_sd(_mm_add_pd(p, q), _mm_sub_pd(p, q)); }
};
#include "processing/kernels/pointwise_body.h"

}  // namespace point_portable

VISTELMO_TARGET_BEGIN(VISTELMO_TARGET_AVX2)
namespace point_avx2 {

struct V {
  using B = __m256i;
  using F = __m256;
  using D = __m256d;
  static constexpr int kBytes = 32, kFloats = 8, kRun = 32;
  static B load(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const B*>(p)); }
  static void store(uint8_t* p, B v) { _mm256_storeu_si256(reinterpret_cast<B*>(p), v); }
  static void stream(uint8_t* p, B v) { _mm256_stream_si256(reinterpret_cast<B*>(p), v); }
  static B set1(uint8_t k) { return _mm256_set1_epi8(static_cast<char>(k)); }
  template <ByteOp op>
  static B apply(B x, B y) {
    if constexpr (op == ByteOp::add_sat) return _mm256_adds_epu8(x, y);
    if constexpr (op == ByteOp::sub_sat) return _mm256_subs_epu8(x, y);
    if constexpr (op == ByteOp::min) return _mm256_min_epu8(x, y);
    if constexpr (op == ByteOp::max) return _mm256_max_epu8(x, y);
    if constexpr (op == ByteOp::absdiff)
      return _mm256_or_si256(_mm256_subs_epu8(x, y), _mm256_subs_epu8(y, x));
    if constexpr (op == ByteOp::bit_xor) return _mm256_xor_si256(x, y);
  }
  // Columns reversed (first column in the top byte), so that the mask reads as the word.
  static void at_least_words(const uint8_t* s, B t, uint32_t* dst) {
    const B rev = _mm256_setr_epi8(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13,
                                   12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
    const B v = _mm256_permute4x64_epi64(_mm256_shuffle_epi8(load(s), rev), 0x4E);
    dst[0] =
        static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_max_epu8(v, t), v)));
  }
  // Sixteen 16-entry shuffles by the low nibble, each kept where the high nibble is its own.
  static int64_t lookup(const uint8_t* table, const uint8_t* a, uint8_t* dst, int64_t n) {
    const B nibble = _mm256_set1_epi8(0x0F);
    int64_t i = 0;
    for (; i + kBytes <= n; i += kBytes) {
      const B x = load(a + i);
      const B low = _mm256_and_si256(x, nibble);
      const B high = _mm256_and_si256(_mm256_srli_epi16(x, 4), nibble);
      B r = _mm256_setzero_si256();
      for (int h = 0; h < 16; h++) {
        const B part = _mm256_broadcastsi128_si256(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(table + 16 * h)));
        const B mine = _mm256_cmpeq_epi8(high, _mm256_set1_epi8(static_cast<char>(h)));
        r = _mm256_or_si256(r, _mm256_and_si256(_mm256_shuffle_epi8(part, low), mine));
      }
      store(dst + i, r);
    }
    return i;
  }
  static F loadf(const float* p) { return _mm256_loadu_ps(p); }
  static void storef(float* p, F v) { _mm256_storeu_ps(p, v); }
  static D lo(F f) { return _mm256_cvtps_pd(_mm256_castps256_ps128(f)); }
  static D hi(F f) { return _mm256_cvtps_pd(_mm256_extractf128_ps(f, 1)); }
  static F narrow(D l, D h) {
    return _mm256_insertf128_ps(_mm256_castps128_ps256(_mm256_cvtpd_ps(l)), _mm256_cvtpd_ps(h), 1);
  }
  static D sqrtd(D d) { return _mm256_sqrt_pd(d); }
  static D muld(D x, D y) { return _mm256_mul_pd(x, y); }
  static D setd(double k) { return _mm256_set1_pd(k); }
  static F addf(F x, F y) { return _mm256_add_ps(x, y); }
  static F subf(F x, F y) { return _mm256_sub_ps(x, y); }
  static F absf(F x) {
    return _mm256_and_ps(x, _mm256_castsi256_ps(_mm256_set1_epi32(0x7FFFFFFF)));
  }
  static D swap_pairs(D q) { return _mm256_permute_pd(q, 0x5); }
  static D cross(D p, D q) { return _mm256_addsub_pd(p, q); }
};
#include "processing/kernels/pointwise_body.h"

}  // namespace point_avx2
VISTELMO_TARGET_END

// The byte lookup and the threshold words permute bytes across the register (VBMI).
VISTELMO_TARGET_BEGIN(VISTELMO_TARGET_AVX512VBMI)
namespace point_avx512 {

struct V {
  using B = __m512i;
  using F = __m512;
  using D = __m512d;
  static constexpr int kBytes = 64, kFloats = 16, kRun = 64;
  static B load(const uint8_t* p) { return _mm512_loadu_si512(p); }
  static void store(uint8_t* p, B v) { _mm512_storeu_si512(p, v); }
  static void stream(uint8_t* p, B v) { _mm512_stream_si512(reinterpret_cast<B*>(p), v); }
  static B set1(uint8_t k) { return _mm512_set1_epi8(static_cast<char>(k)); }
  template <ByteOp op>
  static B apply(B x, B y) {
    if constexpr (op == ByteOp::add_sat) return _mm512_adds_epu8(x, y);
    if constexpr (op == ByteOp::sub_sat) return _mm512_subs_epu8(x, y);
    if constexpr (op == ByteOp::min) return _mm512_min_epu8(x, y);
    if constexpr (op == ByteOp::max) return _mm512_max_epu8(x, y);
    if constexpr (op == ByteOp::absdiff)
      return _mm512_sub_epi8(_mm512_max_epu8(x, y), _mm512_min_epu8(x, y));
    if constexpr (op == ByteOp::bit_xor) return _mm512_xor_si512(x, y);
  }
  // Each half of 32 columns reversed, so that each half of the mask reads as a word.
  static void at_least_words(const uint8_t* s, B t, uint32_t* dst) {
    alignas(64) static const uint8_t order[64] = {
        31, 30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 19, 18, 17, 16, 15, 14, 13, 12, 11, 10,
        9,  8,  7,  6,  5,  4,  3,  2,  1,  0,  63, 62, 61, 60, 59, 58, 57, 56, 55, 54, 53, 52,
        51, 50, 49, 48, 47, 46, 45, 44, 43, 42, 41, 40, 39, 38, 37, 36, 35, 34, 33, 32};
    const B v = _mm512_permutexvar_epi8(_mm512_load_si512(order), load(s));
    const uint64_t m = _mm512_cmpge_epu8_mask(v, t);
    dst[0] = static_cast<uint32_t>(m);
    dst[1] = static_cast<uint32_t>(m >> 32);
  }
  // Two 128-entry permutes, chosen by the top bit of the index.
  static int64_t lookup(const uint8_t* table, const uint8_t* a, uint8_t* dst, int64_t n) {
    const B t0 = load(table), t1 = load(table + 64), t2 = load(table + 128), t3 = load(table + 192);
    int64_t i = 0;
    for (; i + kBytes <= n; i += kBytes) {
      const B x = load(a + i);
      const B low = _mm512_permutex2var_epi8(t0, x, t1);
      const B high = _mm512_permutex2var_epi8(t2, x, t3);
      store(dst + i, _mm512_mask_blend_epi8(_mm512_movepi8_mask(x), low, high));
    }
    return i;
  }
  static F loadf(const float* p) { return _mm512_loadu_ps(p); }
  static void storef(float* p, F v) { _mm512_storeu_ps(p, v); }
  static D lo(F f) { return _mm512_cvtps_pd(_mm512_castps512_ps256(f)); }
  static D hi(F f) { return _mm512_cvtps_pd(_mm512_extractf32x8_ps(f, 1)); }
  static F narrow(D l, D h) {
    return _mm512_insertf32x8(_mm512_castps256_ps512(_mm512_cvtpd_ps(l)), _mm512_cvtpd_ps(h), 1);
  }
  static D sqrtd(D d) { return _mm512_sqrt_pd(d); }
  static D muld(D x, D y) { return _mm512_mul_pd(x, y); }
  static D setd(double k) { return _mm512_set1_pd(k); }
  static F addf(F x, F y) { return _mm512_add_ps(x, y); }
  static F subf(F x, F y) { return _mm512_sub_ps(x, y); }
  static F absf(F x) {
    return _mm512_and_ps(x, _mm512_castsi512_ps(_mm512_set1_epi32(0x7FFFFFFF)));
  }
  static D swap_pairs(D q) { return _mm512_permute_pd(q, 0x55); }
  static D cross(D p, D q) { return _mm512_mask_sub_pd(_mm512_add_pd(p, q), 0x55, p, q); }
};
#include "processing/kernels/pointwise_body.h"

}  // namespace point_avx512
VISTELMO_TARGET_END

// The kernels of the current level: AVX-512 without VBMI keeps the AVX2 build.
const Kernels& kernels() {
  static constexpr const Kernels* kByLevel[kIsaLevels] = {
      &point_plain::kKernels, &point_portable::kKernels, &point_avx2::kKernels,
      &point_avx2::kKernels, &point_avx512::kKernels};
  return table_at_current_isa(kByLevel);
}

}  // namespace

void bytes_zip(ByteOp op, const uint8_t* a, const uint8_t* b, uint8_t* dst, int64_t n) {
  kernels().zip[n >= kStreamBytes][static_cast<int>(op)](a, b, dst, n);
}
void bytes_with(ByteOp op, const uint8_t* a, uint8_t k, uint8_t* dst, int64_t n) {
  kernels().with[n >= kStreamBytes][static_cast<int>(op)](a, k, dst, n);
}
void bytes_lookup(const uint8_t* table, const uint8_t* a, uint8_t* dst, int64_t n) {
  kernels().lookup(table, a, dst, n);
}
void bytes_at_least(const uint8_t* src, uint8_t t, uint32_t* dst, int64_t n) {
  kernels().at_least(src, t, dst, n);
}
void floats_sqrt(const float* a, float* dst, int64_t n) { kernels().sqrt_f(a, dst, n); }
void floats_abs(const float* a, float* dst, int64_t n) { kernels().abs_f(a, dst, n); }
void floats_scale(double k, const float* a, float* dst, int64_t n) {
  kernels().scale_f(k, a, dst, n);
}
void floats_add(const float* a, const float* b, float* dst, int64_t n) {
  kernels().add_f(a, b, dst, n);
}
void floats_sub(const float* a, const float* b, float* dst, int64_t n) {
  kernels().sub_f(a, b, dst, n);
}
void complex_scale_real(float k, const float* a, float* dst, int64_t n) {
  kernels().complex_scale(k, a, dst, n);
}

}  // namespace vistelmo
