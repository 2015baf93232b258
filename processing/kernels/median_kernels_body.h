// The median kernels (the table in median_kernels.h). Included three times by
// median_kernels.cpp, for SSE2 and under the AVX2 and AVX-512 targets, each inside its own
// namespace with kBytes its vector width and VISTELMO_BODY_LAMBDA its target for lambdas; the
// includer brings <immintrin.h>, the standard headers it names, batcher.h and the table. Each lane
// runs its own comparisons in the network's order: every build gives the same bits.

#include "processing/kernels/vector_ops_body.h"

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

// Vectors of Bytes bytes of T, or one T for K = 0.
template <class T, int Bytes, int K>
struct Wide {
  typedef T type __attribute__((vector_size(Bytes)));
};
template <class T, int Bytes>
struct Wide<T, Bytes, 0> {
  using type = T;
};

// Floating samples: whether a sample was NaN (or infinite: x - x has bits set) or an output a
// zero, to say when the selection must redo a row. Other types: never.
template <size_t Bytes>
struct Words {
  typedef int64_t type __attribute__((vector_size(Bytes)));
};

template <class T, class V>
struct Odd {
  static constexpr bool kFloat = std::is_floating_point_v<T>;
  using Bits = std::conditional_t<sizeof(V) >= 16,
                                  typename Words<sizeof(V) >= 16 ? sizeof(V) : 16>::type, int64_t>;
  using M = decltype(V{} == V{});
  Bits nonfinite{};
  M zero{};
  VISTELMO_NET_STEP void sample(const V& v) {
    if constexpr (kFloat) {
      const V d = v - v;
      Bits b;
      std::memcpy(&b, &d, sizeof b);
      nonfinite |= b;
    }
  }
  VISTELMO_NET_STEP void output(const V& v) {
    if constexpr (kFloat) zero |= v == V{};
  }
  VISTELMO_NET_STEP bool any() const {
    if constexpr (!kFloat) {
      return false;
    } else if constexpr (std::is_same_v<M, bool>) {
      return nonfinite != 0 || zero;
    } else {
      bool r = false;
      for (size_t i = 0; i < sizeof zero / sizeof zero[0]; i++)
        r |= nonfinite[i] != 0 || zero[i] != 0;
      return r;
    }
  }
};

// Outputs x0 .. x0 + K L - 1 in K vectors of L lanes, Bytes each (K = 0: one element).
template <class T, int Bytes, int K>
VISTELMO_NET_STEP bool network_block(const T* const* src, int wires, const int32_t* pairs,
                                     int npairs, int out, int64_t x0, T* dst) {
  using V = typename Wide<T, Bytes, K>::type;
  constexpr int L = sizeof(V) / sizeof(T);
  constexpr int N = K == 0 ? 1 : K;
  V x[kMaxNetworkWires * N];
  Odd<T, V> odd;
  for (int w = 0; w < wires; w++)
    for (int k = 0; k < N; k++) {
      x[w * N + k] = load_vector<V>(src[w] + x0 + k * L);
      odd.sample(x[w * N + k]);
    }
  for (int c = 0; c < npairs; c++) {
    V* p = x + pairs[2 * c] * N;
    V* q = x + pairs[2 * c + 1] * N;
    for (int k = 0; k < N; k++) exchange(p[k], q[k]);
  }
  std::memcpy(dst + x0, &x[out * N], N * sizeof(V));
  for (int k = 0; k < N; k++) odd.output(x[out * N + k]);
  return odd.any();
}

// Blocks of K vectors, the last one overlapping the one before; rows shorter than a block one
// element at a time. True when a sample was NaN or an output is a zero (floating types).
template <class T, int Bytes, int K>
bool network_row(const T* const* src, int wires, const int32_t* pairs, int npairs, int out, T* dst,
                 int64_t n) {
  constexpr int64_t W = K * Bytes / sizeof(T);
  int64_t x0 = 0;
  bool odd = false;
  for (; x0 + W <= n; x0 += W)
    odd |= network_block<T, Bytes, K>(src, wires, pairs, npairs, out, x0, dst);
  if (x0 < n && n >= W)
    odd |= network_block<T, Bytes, K>(src, wires, pairs, npairs, out, n - W, dst);
  else
    for (; x0 < n; x0++) odd |= network_block<T, Bytes, 0>(src, wires, pairs, npairs, out, x0, dst);
  return odd;
}

template <class V>
VISTELMO_NET_STEP V lower(V a, V b) {
  return b < a ? b : a;
}
template <class V>
VISTELMO_NET_STEP V upper(V a, V b) {
  return b < a ? a : b;
}
template <class V>
VISTELMO_NET_STEP V middle(V a, V b, V c) {
  return upper(lower(a, b), lower(upper(a, b), c));
}

// A comparator of a network, on variables x[A] and x[B], keeping the halves Keep names.
template <int A, int B, int Keep, class V>
VISTELMO_NET_STEP void compare(V* x) {
  if constexpr (Keep == 3) {
    exchange(x[A], x[B]);
  } else {
    const V lo = lower(x[A], x[B]), hi = upper(x[A], x[B]);
    if constexpr ((Keep & 1) != 0) x[A] = lo;
    if constexpr ((Keep & 2) != 0) x[B] = hi;
  }
}

template <const auto& Net, class V, size_t... C>
VISTELMO_NET_STEP void run_network(V* x, std::index_sequence<C...>) {
  (compare<Net.op[C].a, Net.op[C].b, Net.op[C].keep>(x), ...);
}
template <const auto& Net, class V>
VISTELMO_NET_STEP void run_network(V* x) {
  run_network<Net>(x, std::make_index_sequence<Net.count>());
}

// Sorts of n wires whole, and as far as the middle one (n - 1) / 2.
template <int n>
constexpr auto kSort = sort_network<n, 0, n - 1>();
template <int n>
constexpr auto kMiddle = sort_network<n, (n - 1) / 2, (n - 1) / 2>();

// Eight samples of weight one and a heavy one (wire 8): the eight sorted, then the heavy sample
// clamped between sorted[lo] and sorted[hi] (-1 and 8 standing for no bound).
template <class T, int K>
VISTELMO_NET_STEP void heavy8_block(const T* const* src, int lo, int hi, int64_t x0, T* dst) {
  using V = typename Lanes<T, K>::type;
  V x[9], y[10];
  for (int w = 0; w < 9; w++) std::memcpy(&x[w], src[w] + x0, sizeof(V));
  run_network<kSort<8>>(x);
  y[0] = V{} + std::numeric_limits<T>::lowest();
  y[9] = V{} + std::numeric_limits<T>::max();
  for (int w = 0; w < 8; w++) y[w + 1] = x[w];
  const V v = upper(y[lo + 1], lower(x[8], y[hi + 1]));
  std::memcpy(dst + x0, &v, sizeof v);
}

template <class T>
void heavy8_row(const T* const* src, int lo, int hi, T* dst, int64_t n) {
  using V = typename Lanes<T, 1>::type;
  constexpr int64_t L = sizeof(V) / sizeof(T);
  int64_t x0 = 0;
  for (; x0 + L <= n; x0 += L) heavy8_block<T, 1>(src, lo, hi, x0, dst);
  if (x0 < n && n >= L)
    heavy8_block<T, 1>(src, lo, hi, n - L, dst);
  else
    for (; x0 < n; x0++) heavy8_block<T, 0>(src, lo, hi, x0, dst);
}

// Outputs x0 .. x0 + L - 1 of the middle of n equal samples, every wire in a register.
template <int n, class T, int K>
VISTELMO_NET_STEP void middle_block(const T* const* src, int64_t x0, T* dst,
                                    Odd<T, typename Lanes<T, K>::type>& odd) {
  using V = typename Lanes<T, K>::type;
  V x[n];
  for (int w = 0; w < n; w++) {
    std::memcpy(&x[w], src[w] + x0, sizeof(V));
    odd.sample(x[w]);
  }
  run_network<kMiddle<n>>(x);
  odd.output(x[(n - 1) / 2]);
  std::memcpy(dst + x0, &x[(n - 1) / 2], sizeof(V));
}

template <int n, class T>
bool middle_row(const T* const* src, T* dst, int64_t len) {
  using V = typename Lanes<T, 1>::type;
  constexpr int64_t L = sizeof(V) / sizeof(T);
  Odd<T, V> odd;
  Odd<T, T> odd1;
  int64_t x0 = 0;
  for (; x0 + L <= len; x0 += L) middle_block<n, T, 1>(src, x0, dst, odd);
  if (x0 < len && len >= L)
    middle_block<n, T, 1>(src, len - L, dst, odd);
  else
    for (; x0 < len; x0++) middle_block<n, T, 0>(src, x0, dst, odd1);
  return odd.any() || odd1.any();
}

// Two sorted columns of five merged whole; two sorted tens as far as ranks 7 .. 12.
constexpr auto kMerge55 = merge_network<16, 5, 5, 0, 9>();
constexpr auto kMerge1010 = merge_network<32, 10, 10, 7, 12>();

// Net on the sorted lists src[w][i] and src[w][i + gap], w < A, into x.
template <const auto& Net, int A, class V, class T, size_t S>
VISTELMO_NET_STEP void merge_rows(const T (*src)[S], int64_t i, int64_t gap, V* x) {
  for (int w = 0; w < A; w++) {
    x[w] = load_vector<V>(&src[w][i]);
    x[Net.kWires / 2 + w] = load_vector<V>(&src[w][i + gap]);
  }
  run_network<Net>(x);
}

// Runs f(i, std::integral_constant<int, K>) over i0 .. i1 - 1 in vectors of L elements (K = 1),
// the last one overlapping the one before, or one element at a time (K = 0) when shorter.
template <int64_t L, class F>
VISTELMO_NET_STEP void each_vector(int64_t i0, int64_t i1, F&& f) {
  if (i1 - i0 < L) {
    for (int64_t i = i0; i < i1; i++) f(i, std::integral_constant<int, 0>());
    return;
  }
  int64_t i = i0;
  for (; i + L <= i1; i += L) f(i, std::integral_constant<int, 1>());
  if (i < i1) f(i1 - L, std::integral_constant<int, 1>());
}

// The Odd of vectors (K = 1) and of single elements (K = 0).
template <class T, int Bytes>
struct OddWidths {
  Odd<T, typename Wide<T, Bytes, 1>::type> wide;
  Odd<T, T> one;
  template <class K>
  VISTELMO_NET_STEP auto& operator()(K) {
    if constexpr (K::value == 0)
      return one;
    else
      return wide;
  }
  VISTELMO_NET_STEP bool any() const { return wide.any() || one.any(); }
};

// Columns x0 .. x0 + n - 1 of R rows, each sorted, into col[0 .. R - 1] from 0.
template <int R, class T, int Bytes, size_t S>
VISTELMO_NET_STEP void sort_columns(const T* const* rows, int64_t x0, int64_t n, T (*col)[S],
                                    OddWidths<T, Bytes>& odd) {
  each_vector<Bytes / sizeof(T)>(0, n, [&](int64_t i, auto k) {
    using V = typename Wide<T, Bytes, decltype(k)::value>::type;
    V x[R];
    for (int w = 0; w < R; w++) {
      x[w] = load_vector<V>(rows[w] + x0 + i);
      odd(k).sample(x[w]);
    }
    run_network<kSort<R>>(x);
    for (int w = 0; w < R; w++) std::memcpy(&col[w][i], &x[w], sizeof(V));
  });
}

// The median of each 5 x 5 window, rows[k] + x .. + 4 the window's row k of output x. Each
// column of five is sorted once; R(j) merges columns j and j + 1 (ten sorted); window x merges
// R(x) and R(x + 2) as far as ranks 7 .. 12 (the only ones the 13th of all can be) and takes the
// 13th of those and column x + 4 as the least of max(S(12 - i), c(i - 1)), i = 0 .. 5.
template <class T, int Bytes>
bool median5_row(const T* const* rows, T* dst, int64_t n) {
  constexpr int64_t kChunk = 128, L = Bytes / sizeof(T);
  alignas(64) T col[5][kChunk + 8];
  alignas(64) T pair[10][kChunk + 8];
  OddWidths<T, Bytes> odd;
  for (int64_t x0 = 0; x0 < n; x0 += kChunk) {
    const int64_t m = std::min(kChunk, n - x0);
    sort_columns<5>(rows, x0, m + 4, col, odd);
    each_vector<L>(0, m + 2, [&](int64_t i, auto k) {
      using V = typename Wide<T, Bytes, decltype(k)::value>::type;
      V x[16];
      merge_rows<kMerge55, 5>(col, i, 1, x);
      for (int r = 0; r < 10; r++) std::memcpy(&pair[r][i], &x[kMerge55.out[r]], sizeof(V));
    });
    each_vector<L>(0, m, [&](int64_t i, auto k) {
      using V = typename Wide<T, Bytes, decltype(k)::value>::type;
      V x[32];
      merge_rows<kMerge1010, 10>(pair, i, 2, x);
      V v = x[kMerge1010.out[12]];
      for (int j = 0; j < 5; j++)
        v = lower(v, upper(x[kMerge1010.out[11 - j]], load_vector<V>(&col[j][i + 4])));
      odd(k).output(v);
      std::memcpy(dst + x0 + i, &v, sizeof v);
    });
  }
  return odd.any();
}

#include "processing/kernels/median3x3_body.h"

// 16 counts of a histogram in prefix form: count b of samples in bins 0 .. b.
typedef uint16_t Bins __attribute__((vector_size(32)));
typedef char Bytes16 __attribute__((vector_size(16)));

VISTELMO_NET_STEP Bins load_bins(const uint16_t* p) { return load_vector<Bins>(p); }
VISTELMO_NET_STEP void store_bins(uint16_t* p, Bins v) { std::memcpy(p, &v, sizeof v); }

// How many of the 16 counts lie below t (a prefix of them, the counts never falling).
VISTELMO_NET_STEP int count_below(Bins v, int t) {
  const Bytes16 m = __builtin_convertvector(v < static_cast<uint16_t>(t), Bytes16);
  return __builtin_popcount(__builtin_ia32_pmovmskb128(m));
}

// The median of each full hl x hc window of equal weights (hl hc < 2^16): dst[i][x0 + j] for
// i < ny, j < nx from src[i .. i + hl - 1][j .. j + hc - 1]. One histogram per column over the
// window's rows, moved down a row at a time: 16 coarse bins of 16 levels and 16 fine ones in
// each coarse bin, all in prefix form, so a sample adds one to a suffix of 16 counts and the
// bin a rank falls in is a count of the counts below it. The window's coarse histogram moves
// right by one column's in and another's out; its fine ones are brought up to date only for
// the bin the median falls in.
void box_median(const uint8_t* const* src, int64_t hl, int64_t hc, uint8_t* const* dst, int64_t x0,
                int64_t ny, int64_t nx) {
  constexpr int64_t kStrip = 192;  // output columns whose histograms stay in cache
  const Bins iota = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  std::vector<uint16_t> fine(static_cast<size_t>(kStrip + hc - 1) * 256),
      coarse((kStrip + hc - 1) * 16);
  uint16_t wf[256], wc[17] = {};  // wc[1 + b]: the window's coarse counts; wc[0] stays 0
  const int target = static_cast<int>((hl * hc - 1) / 2 + 1);
  for (int64_t s0 = 0; s0 < nx; s0 += kStrip) {
    const int64_t s1 = std::min(nx, s0 + kStrip), cols = s1 - s0 + hc - 1;
    std::fill(fine.begin(), fine.begin() + cols * 256, 0);
    std::fill(coarse.begin(), coarse.begin() + cols * 16, 0);
    // Samples of row p in (step 1) or out (step 0xffff).
    auto move_row = [&](const uint8_t* p, uint16_t step) {
      p += s0;
      for (int64_t x = 0; x < cols; x++) {
        const int v = p[x];
        uint16_t* c = &coarse[x * 16];
        uint16_t* f = &fine[x * 256 + (v & 0xf0)];
        const Bins mc = reinterpret_cast<Bins>(iota >= static_cast<uint16_t>(v >> 4)) & step;
        const Bins mf = reinterpret_cast<Bins>(iota >= static_cast<uint16_t>(v & 15)) & step;
        store_bins(c, load_bins(c) + mc);
        store_bins(f, load_bins(f) + mf);
      }
    };
    for (int64_t i = 0; i < ny; i++) {
      if (i == 0) {
        for (int64_t y = 0; y < hl; y++) move_row(src[y], 1);
      } else {
        move_row(src[i - 1], 0xffff);
        move_row(src[i + hl - 1], 1);
      }
      Bins w{};
      for (int64_t x = 0; x < hc; x++) w += load_bins(&coarse[x * 16]);
      store_bins(wc + 1, w);
      int64_t at[16];  // the window start each 16 counts of wf stand for
      std::fill(at, at + 16, -hc);
      uint8_t* out = dst[i] + x0;
      for (int64_t j = s0;; j++) {
        const int b = count_below(load_bins(wc + 1), target);
        const int before = wc[b];
        const int64_t x = j - s0;
        uint16_t* seg = wf + 16 * b;
        Bins v;
        if (x - at[b] >= hc) {
          v = Bins{};
          for (int64_t y = x; y < x + hc; y++) v += load_bins(&fine[y * 256 + 16 * b]);
        } else {
          v = load_bins(seg);
          for (int64_t y = at[b]; y < x; y++)
            v += load_bins(&fine[(y + hc) * 256 + 16 * b]) - load_bins(&fine[y * 256 + 16 * b]);
        }
        store_bins(seg, v);
        at[b] = x;
        out[j] = static_cast<uint8_t>(16 * b + count_below(v, target - before));
        if (j + 1 >= s1) break;
        store_bins(wc + 1, load_bins(wc + 1) + load_bins(&coarse[(x + hc) * 16]) -
                               load_bins(&coarse[x * 16]));
      }
    }
  }
}

#include "processing/kernels/median_windows_body.h"

// Bytes in vectors of 64 at every width (eight at a time).
void network_u8(const uint8_t* const* src, int wires, const int32_t* pairs, int npairs, int out,
                uint8_t* dst, int64_t n) {
  network_row<uint8_t, 64, 8>(src, wires, pairs, npairs, out, dst, n);
}

bool middle_f64(const double* const* src, int wires, double* dst, int64_t n) {
  return wires == 13   ? middle_row<13>(src, dst, n)
         : wires == 21 ? middle_row<21>(src, dst, n)
                       : middle_row<25>(src, dst, n);
}

constexpr MedianKernels medians() {
  MedianKernels k{};
  k.network_u8 = network_u8;
  k.network_f64 = network_row<double, kBytes, 512 / kBytes>;
  k.median3_f64 = median3_rows<double, kBytes, 1, 2>;
  k.median5_f64 = median5_row<double, kBytes>;
  k.middle_f64 = middle_f64;
  k.heavy8_u8 = heavy8_row<uint8_t>;
  k.box_median_u8 = box_median;
  k.median3_u8 = median3_u8<1>;
  k.median5_u8 = median5<1>;
  k.median3_c3_u8 = median3_u8<3>;
  k.median5_c3_u8 = median5<3>;
  return k;
}

constexpr MedianKernels kMedians = medians();

#undef VISTELMO_NET_STEP
