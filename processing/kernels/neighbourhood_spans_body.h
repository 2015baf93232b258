// Span kernels of the neighbourhood filters (the table in neighbourhood_spans.h). Included three
// times by neighbourhood_spans.cpp, for SSE2 and under the AVX2 and AVX-512 targets, each time
// inside its own namespace, with VISTELMO_BODY_LAMBDA the target of that build for its lambdas;
// the includer brings <algorithm>, <cstdint>, <utility>, <immintrin.h> and the table. Every loop
// runs along output elements with each element's own operations in their order, so every build
// gives the same bits.

#include "processing/kernels/vector_ops_body.h"

struct MinOf {
  template <class T>
  static T red(T x, T y) {
    return y < x || x != x ? y : x;
  }
};
struct MaxOf {
  template <class T>
  static T red(T x, T y) {
    return y > x || x != x ? y : x;
  }
};
// The same for samples that hold no NaN (one vector minimum or maximum each).
struct MinNum {
  template <class T>
  static T red(T x, T y) {
    return y < x ? y : x;
  }
};
struct MaxNum {
  template <class T>
  static T red(T x, T y) {
    return y > x ? y : x;
  }
};

template <>
inline uint8_t MinOf::red(uint8_t x, uint8_t y) {
  return lo8(x, y);
}
template <>
inline uint8_t MaxOf::red(uint8_t x, uint8_t y) {
  return hi8(x, y);
}

template <class Op, class T>
void reduce2(const T* __restrict a, const T* __restrict b, T* __restrict dst, int64_t n) {
  for (int64_t i = 0; i < n; i++) dst[i] = Op::red(a[i], b[i]);
}

// dst[i] = red(red(a[i], b[i]), red(c[i], d[i])): two doubling steps at once (dst may be a).
template <class Op, class T>
void reduce4(const T* a, const T* b, const T* c, const T* d, T* dst, int64_t n) {
  for (int64_t i = 0; i < n; i++) dst[i] = Op::red(Op::red(a[i], b[i]), Op::red(c[i], d[i]));
}

// dst[i] = red(red(s[i], s[i + 1]), s[i + 2]) for samples that hold no NaN; false (dst then
// unspecified) when one of s[0 .. n + 1] is a NaN.
template <class Op, class T>
bool reduce3_num(const T* __restrict s, T* __restrict dst, int64_t n) {
  int nan = 0;
  for (int64_t i = 0; i < n; i++) {
    dst[i] = Op::red(Op::red(s[i], s[i + 1]), s[i + 2]);
    nan |= s[i] != s[i];
  }
  return !(nan | (s[n] != s[n]) | (s[n + 1] != s[n + 1]));
}

// dst[i] = s[i], never where s[i] is a NaN.
template <class T>
void calm_copy(const T* __restrict s, T never, T* __restrict dst, int64_t n) {
  for (int64_t i = 0; i < n; i++) dst[i] = s[i] != s[i] ? never : s[i];
}

// dst[i] = red(v, red(red(a[i], b[i]), c[i])).
template <class Op, class T>
void reduce3_first(T v, const T* a, const T* b, const T* c, T* __restrict dst, int64_t n) {
  for (int64_t i = 0; i < n; i++) dst[i] = Op::red(v, Op::red(Op::red(a[i], b[i]), c[i]));
}

template <class Op, class T>
void reduce_into(T* __restrict acc, const T* __restrict b, int64_t n) {
  for (int64_t i = 0; i < n; i++) acc[i] = Op::red(acc[i], b[i]);
}

// dst[i] = red over rows[0..2][i .. i + 2]: three rows, then three neighbours, in one pass.
template <class Op>
void rect3x3(const uint8_t* const* rows, uint8_t* __restrict dst, int64_t n) {
  const uint8_t* __restrict r0 = rows[0];
  const uint8_t* __restrict r1 = rows[1];
  const uint8_t* __restrict r2 = rows[2];
  for (int64_t i = 0; i < n; i++) {
    const uint8_t v0 = Op::red(Op::red(r0[i], r1[i]), r2[i]);
    const uint8_t v1 = Op::red(Op::red(r0[i + 1], r1[i + 1]), r2[i + 1]);
    const uint8_t v2 = Op::red(Op::red(r0[i + 2], r1[i + 2]), r2[i + 2]);
    dst[i] = Op::red(Op::red(v0, v1), v2);
  }
}

// Bit-sliced: where at least 5 of the 9 bits of a 3 x 3 window are set. Each row's three
// neighbours go through a full adder; the three sums and four carries are then counted.
inline uint32_t majority9(uint32_t l0, uint32_t c0, uint32_t r0, uint32_t l1, uint32_t c1,
                          uint32_t r1, uint32_t l2, uint32_t c2, uint32_t r2) {
  auto sum = [](uint32_t a, uint32_t b, uint32_t c) { return a ^ b ^ c; };
  auto carry = [](uint32_t a, uint32_t b, uint32_t c) { return (a & b) | (c & (a ^ b)); };
  const uint32_t s0 = sum(l0, c0, r0), k0 = carry(l0, c0, r0);
  const uint32_t s1 = sum(l1, c1, r1), k1 = carry(l1, c1, r1);
  const uint32_t s2 = sum(l2, c2, r2), k2 = carry(l2, c2, r2);
  const uint32_t ones = sum(s0, s1, s2), k3 = carry(s0, s1, s2);
  // count = ones + 2 t, t = k0 + k1 + k2 + k3 = x + 2 y + k3.
  const uint32_t x = sum(k0, k1, k2), y = carry(k0, k1, k2);
  const uint32_t t3 = y & (x | k3), t2 = y | (x & k3);
  return t3 | (ones & t2);
}

// dst[j] = majority9 of the words of rows[0..2] around bit column c, for the n words of a row,
// columns as bits from the most significant; a row's bits beyond either end read as 0.
void majority3x3_bits(const uint32_t* const* rows, uint32_t* __restrict dst, int64_t n) {
  const uint32_t* __restrict a = rows[0];
  const uint32_t* __restrict b = rows[1];
  const uint32_t* __restrict c = rows[2];
  auto at = [&](int64_t j, uint32_t pa, uint32_t pb, uint32_t pc, uint32_t na, uint32_t nb,
                uint32_t nc) {
    return majority9((a[j] >> 1) | (pa << 31), a[j], (a[j] << 1) | (na >> 31),
                     (b[j] >> 1) | (pb << 31), b[j], (b[j] << 1) | (nb >> 31),
                     (c[j] >> 1) | (pc << 31), c[j], (c[j] << 1) | (nc >> 31));
  };
  if (n == 1) {
    dst[0] = at(0, 0, 0, 0, 0, 0, 0);
    return;
  }
  dst[0] = at(0, 0, 0, 0, a[1], b[1], c[1]);
  for (int64_t j = 1; j + 1 < n; j++)
    dst[j] = at(j, a[j - 1], b[j - 1], c[j - 1], a[j + 1], b[j + 1], c[j + 1]);
  dst[n - 1] = at(n - 1, a[n - 2], b[n - 2], c[n - 2], 0, 0, 0);
}

template <class Op, class T>
void reduce_first(T s, T* __restrict acc, int64_t n) {
  for (int64_t i = 0; i < n; i++) acc[i] = Op::red(s, acc[i]);
}

// acc[i] = red(acc[i], clamp(b[i] + s)), clamped to 0..255.
template <class Op>
void shifted_tap(uint8_t* __restrict acc, const uint8_t* __restrict b, int64_t n, int s) {
  if (s >= 255 || s <= -255) {  // every value clamps to one end
    const uint8_t v = s > 0 ? 255 : 0;
    for (int64_t i = 0; i < n; i++) acc[i] = Op::red(acc[i], v);
  } else if (s >= 0) {  // min(b, 255 - d) + d: no wrap, and a pattern the vectoriser takes
    const uint8_t d = static_cast<uint8_t>(s), top = static_cast<uint8_t>(255 - s);
    for (int64_t i = 0; i < n; i++)
      acc[i] = Op::red(acc[i], static_cast<uint8_t>(lo8(b[i], top) + d));
  } else {
    const uint8_t d = static_cast<uint8_t>(-s);
    for (int64_t i = 0; i < n; i++)
      acc[i] = Op::red(acc[i], b[i] > d ? static_cast<uint8_t>(b[i] - d) : uint8_t{0});
  }
}

void erode_tap(uint8_t* acc, const uint8_t* b, int64_t n, int s) {
  shifted_tap<MinOf>(acc, b, n, -s);
}
void dilate_tap(uint8_t* acc, const uint8_t* b, int64_t n, int s) {
  shifted_tap<MaxOf>(acc, b, n, s);
}

#include "processing/kernels/neighbourhood_taps_body.h"

void quotients(const double* __restrict s, const double* __restrict d, float* __restrict dst,
               int64_t n) {
  for (int64_t i = 0; i < n; i++) dst[i] = static_cast<float>(s[i] / d[i]);
}

void unpack_bits(const uint32_t* __restrict words, uint8_t* __restrict bytes, int64_t n) {
  int64_t c = 0;
  for (; c + 32 <= n; c += 32) {
    const uint32_t w = words[c >> 5];
    for (int k = 0; k < 32; k++) bytes[c + k] = static_cast<uint8_t>((w >> (31 - k)) & 1u);
  }
  for (; c < n; c++) bytes[c] = static_cast<uint8_t>((words[c >> 5] >> (31 - (c & 31))) & 1u);
}

void pack_bits(const uint8_t* __restrict bytes, uint32_t* __restrict words, int64_t n) {
  int64_t c = 0;
  for (; c + 32 <= n; c += 32) {
    uint32_t w = 0;
    for (int k = 0; k < 32; k++) w |= static_cast<uint32_t>(bytes[c + k] != 0) << (31 - k);
    words[c >> 5] = w;
  }
  if (c < n) words[c >> 5] = 0;
  for (; c < n; c++)
    if (bytes[c]) words[c >> 5] |= 0x80000000u >> (c & 31);
}

template <class T>
void add_weighted(T* __restrict acc, const uint8_t* __restrict b, int64_t n, int w) {
  const T v = static_cast<T>(w);
  for (int64_t i = 0; i < n; i++) acc[i] = static_cast<T>(acc[i] + (b[i] ? v : 0));
}
template <class T>
void above(const T* __restrict acc, int half, uint8_t* __restrict dst, int64_t n) {
  const T h = static_cast<T>(half);
  for (int64_t i = 0; i < n; i++) dst[i] = acc[i] > h ? 1 : 0;
}

void add_sub_u16_i32(int32_t* __restrict acc, const uint16_t* __restrict plus,
                     const uint16_t* __restrict minus, int64_t n) {
  for (int64_t i = 0; i < n; i++) acc[i] += int32_t{plus[i]} - int32_t{minus[i]};
}

template <class S>
void add_u8(S* __restrict acc, const uint8_t* __restrict b, int64_t n) {
  for (int64_t i = 0; i < n; i++) acc[i] = static_cast<S>(acc[i] + b[i]);
}
template <class S>
void sub_u8(S* __restrict acc, const uint8_t* __restrict b, int64_t n) {
  for (int64_t i = 0; i < n; i++) acc[i] = static_cast<S>(acc[i] - b[i]);
}
template <class S>
void add2(const S* __restrict a, const S* __restrict b, S* __restrict dst, int64_t n) {
  for (int64_t i = 0; i < n; i++) dst[i] = static_cast<S>(a[i] + b[i]);
}
template <class S>
void add_into(S* __restrict acc, const S* __restrict b, int64_t n) {
  for (int64_t i = 0; i < n; i++) acc[i] = static_cast<S>(acc[i] + b[i]);
}
// 2 s + d is an integer below 2^24 here, so the float sum is exact.
template <class S>
void mean_small(const S* __restrict s, const float* __restrict d, const float* __restrict rcp,
                uint8_t* __restrict dst, int64_t n) {
  for (int64_t i = 0; i < n; i++)
    dst[i] = static_cast<uint8_t>(
        static_cast<int32_t>((2.0f * static_cast<float>(s[i]) + d[i]) * rcp[i]));
}

void mean_u8(const int32_t* __restrict s, const double* __restrict half,
             const double* __restrict rcp, uint8_t* __restrict dst, int64_t n) {
  for (int64_t i = 0; i < n; i++)
    dst[i] = static_cast<uint8_t>(static_cast<int32_t>((s[i] + half[i]) * rcp[i]));
}

// Float means, in vectors of kLanes doubles; kRows rows of windows and kBlocks vectors of each
// at a time (the includer sets the three).
typedef double Doubles __attribute__((vector_size(8 * kLanes)));
typedef float Floats __attribute__((vector_size(4 * kLanes)));

// By reference: no vector return without AVX.
inline void load(Doubles& v, const double* p) { __builtin_memcpy(&v, p, sizeof v); }

// a = |x| * scale is whole when (a + 2^52) - 2^52 gives a back (a <= bound < 2^52).
bool whole_scaled(const float* x, int64_t n, double scale, double bound) {
  typedef int64_t Masks __attribute__((vector_size(8 * kLanes)));
  const Doubles big = Doubles{} + 0x1p52, top = Doubles{} + bound;
  Masks ok = Masks{} - 1;
  int64_t i = 0;
  for (; i + kLanes <= n; i += kLanes) {
    Floats f;
    __builtin_memcpy(&f, x + i, sizeof f);
    Doubles a = __builtin_convertvector(f, Doubles) * scale;
    a = a < 0 ? -a : a;
    ok &= (a <= top) & ((a + big) - big == a);
  }
  bool whole = true;
  for (int j = 0; j < kLanes; j++) whole = whole && ok[j] != 0;
  for (; i < n; i++) {
    const double a = __builtin_fabs(static_cast<double>(x[i])) * scale;
    whole = whole && a <= bound && (a + 0x1p52) - 0x1p52 == a;
  }
  return whole;
}

// dst = float(s / div) for a vector.
inline void store_mean(const Doubles& s, const double* div, float* dst) {
  Doubles d;
  load(d, div);
  const Floats f = __builtin_convertvector(s / d, Floats);
  __builtin_memcpy(dst, &f, sizeof f);
}

using Sums = Doubles[kRows][kBlocks];

// Adds taps 0 .. w - 1 of a line from p to the sums of rows Lo .. Hi, each vector loaded once.
template <int Lo, int Hi>
[[gnu::always_inline]] inline void add_line(const double* p, int64_t w, Sums& acc) {
  for (int64_t j = 0; j < w; j++) {
    Doubles v[kBlocks];
#pragma GCC unroll 8
    for (int b = 0; b < kBlocks; b++) load(v[b], p + j + b * kLanes);
#pragma GCC unroll 8
    for (int a = Lo; a <= Hi; a++)
#pragma GCC unroll 8
      for (int b = 0; b < kBlocks; b++) acc[a][b] += v[b];
  }
}

template <int C>
[[gnu::always_inline]] inline void add_line_coded(const double* p, int64_t w, Sums& acc) {
  if constexpr (C < kRows * kRows && C / kRows <= C % kRows)
    add_line<C / kRows, C % kRows>(p, w, acc);
}

// add_line for the rows code / kRows .. code % kRows.
template <size_t... C>
[[gnu::always_inline]] inline void add_line_to(int code, const double* p, int64_t w, Sums& acc,
                                               std::index_sequence<C...>) {
  (void)((code == static_cast<int>(C) && (add_line_coded<C>(p, w, acc), true)) || ...);
}

// Means of rows (at most kRows) rows of windows from one list of lines: dst[a][i] = float(s /
// div[a][i]), s the double sum, from 0, of lines[r][i + j] over the lines r with lo[r] <= a <=
// hi[r] in list order and j < w in order. A line several rows share is loaded once for them
// all. The rows ahead[a], a < rows (where not null), are fetched into the cache meanwhile.
void window_means(const double* const* lines, const int* lo, const int* hi, int64_t count,
                  int64_t w, int rows, const double* const* div, float* const* dst,
                  const float* const* ahead, int64_t n) {
  constexpr int64_t kWidth = kLanes * kBlocks;
  auto start = [&](int64_t i, Sums& acc) VISTELMO_BODY_LAMBDA {
    for (int a = 0; a < rows; a++)
      if (ahead[a])
        for (int64_t o = 0; o < kWidth; o += 16) __builtin_prefetch(ahead[a] + i + o);
#pragma GCC unroll 8
    for (int a = 0; a < kRows; a++)
#pragma GCC unroll 8
      for (int b = 0; b < kBlocks; b++) acc[a][b] = Doubles{};
  };
  auto finish = [&](int64_t i, const Sums& acc) VISTELMO_BODY_LAMBDA {
#pragma GCC unroll 8
    for (int a = 0; a < kRows; a++)
#pragma GCC unroll 8
      for (int b = 0; b < kBlocks; b++)
        if (a < rows) store_mean(acc[a][b], div[a] + i + b * kLanes, dst[a] + i + b * kLanes);
  };
  auto block = [&](int64_t i) VISTELMO_BODY_LAMBDA {
    Sums acc;
    start(i, acc);
    for (int64_t r = 0; r < count; r++)
      add_line_to(lo[r] * kRows + hi[r], lines[r] + i, w, acc,
                  std::make_index_sequence<kRows * kRows>());
    finish(i, acc);
  };
  // Each row its own line (as the second pass of the separable form has it): the taps go
  // outside, so that the rows' sums advance together.
  bool own = count == rows;
  for (int64_t r = 0; r < count && own; r++) own = lo[r] == r && hi[r] == r;
  auto own_block = [&](int64_t i) VISTELMO_BODY_LAMBDA {
    Sums acc;
    start(i, acc);
    const double* p[kRows];
    for (int a = 0; a < kRows; a++) p[a] = lines[a < rows ? a : 0] + i;
    for (int64_t j = 0; j < w; j++)
#pragma GCC unroll 8
      for (int a = 0; a < kRows; a++)
        if (a < rows)
#pragma GCC unroll 8
          for (int b = 0; b < kBlocks; b++) {
            Doubles v;
            load(v, p[a] + j + b * kLanes);
            acc[a][b] += v;
          }
    finish(i, acc);
  };
  auto each_block = [&](auto&& f) VISTELMO_BODY_LAMBDA {
    int64_t i = 0;
    for (; i + kWidth <= n; i += kWidth) f(i);
    if (i < n && n >= kWidth) f(n - kWidth);  // the last block again, overlapping
  };
  if (own)
    each_block(own_block);
  else
    each_block(block);
  if (n >= kWidth) return;
  for (int64_t i = 0; i < n; i++)
    for (int a = 0; a < rows; a++) {
      double s = 0;
      for (int64_t r = 0; r < count; r++)
        if (lo[r] <= a && a <= hi[r])
          for (int64_t j = 0; j < w; j++) s += lines[r][i + j];
      dst[a][i] = static_cast<float>(s / div[a][i]);
    }
}

constexpr SpanKernels spans() {
  SpanKernels k{};
  k.min2_u8 = reduce2<MinOf, uint8_t>;
  k.max2_u8 = reduce2<MaxOf, uint8_t>;
  k.min_into_u8 = reduce_into<MinOf, uint8_t>;
  k.max_into_u8 = reduce_into<MaxOf, uint8_t>;
  k.min_first_f32 = reduce_first<MinOf, float>;
  k.max_first_f32 = reduce_first<MaxOf, float>;
  k.min4_u8 = reduce4<MinOf, uint8_t>;
  k.max4_u8 = reduce4<MaxOf, uint8_t>;
  k.min3x3_u8 = rect3x3<MinOf>;
  k.max3x3_u8 = rect3x3<MaxOf>;
  k.erode_tap_u8 = erode_tap;
  k.dilate_tap_u8 = dilate_tap;
  k.majority3x3_bits = majority3x3_bits;
  k.unpack_bits = unpack_bits;
  k.pack_bits = pack_bits;
  k.add_weighted_u8 = add_weighted<uint8_t>;
  k.above_u8 = above<uint8_t>;
  k.add_weighted_u16 = add_weighted<uint16_t>;
  k.above_u16 = above<uint16_t>;
  k.sums32 = {add_u8<int32_t>, sub_u8<int32_t>, add2<int32_t>, add_into<int32_t>,
              mean_small<int32_t>};
  k.sums16 = {add_u8<uint16_t>, sub_u8<uint16_t>, add2<uint16_t>, add_into<uint16_t>,
              mean_small<uint16_t>};
  k.mean_u8 = mean_u8;
  k.rows_at_once = kRows;
  k.window_means = window_means;
  k.min_taps_u8 = shifted_taps<false>;
  k.max_taps_u8 = shifted_taps<true>;
  k.whole_scaled_f32 = whole_scaled;
  k.quotients_f32 = quotients;
  k.min2_num_f32 = reduce2<MinNum, float>;
  k.max2_num_f32 = reduce2<MaxNum, float>;
  k.min_into_num_f32 = reduce_into<MinNum, float>;
  k.max_into_num_f32 = reduce_into<MaxNum, float>;
  k.min4_num_f32 = reduce4<MinNum, float>;
  k.max4_num_f32 = reduce4<MaxNum, float>;
  k.min3_num_f32 = reduce3_num<MinNum, float>;
  k.max3_num_f32 = reduce3_num<MaxNum, float>;
  k.min3_first_num_f32 = reduce3_first<MinNum, float>;
  k.max3_first_num_f32 = reduce3_first<MaxNum, float>;
  k.calm_copy_f32 = calm_copy<float>;
  k.add_sub_u16_i32 = add_sub_u16_i32;
  k.min_rows_u8 = shifted_rows<false>;
  k.max_rows_u8 = shifted_rows<true>;
  k.rows_lines = kBytes == 64 ? 2 : 1;
  return k;
}

constexpr SpanKernels kSpans = spans();
