// Loops of the statistics kernels, included by statistics.cpp once per instruction set inside a
// namespace that first defines, for that set: kPartsLanes, kGridLanes (doubles a register of the
// float parts and of the grid runs, 0 where the level leaves them out) and kExtremeLanes (floats a
// register), ByteVector (the byte sums' register), widen (W floats to W doubles), any_sign_clear
// (of W 64-bit lanes), sad_zero (ByteVector summed into 64-bit lanes) and count_bits (of a word).

// The lanes of v added in order (here: vectors cross no target boundary).
template <class D>
[[gnu::always_inline]] inline double lane_sum(D v) {
  double s = 0;
  for (int k = 0; k < int(sizeof v / sizeof v[0]); k++) s += v[k];
  return s;
}

template <class T>
void divide(T* a, int64_t n, double s) {
  for (int64_t i = 0; i < n; i++) a[i] = static_cast<T>(a[i] / s);
}

// Per pixel: the biased exponent e and, when Precise, the exponent of the lowest set bit of its
// value (the value is a multiple of 2 to that power; zeros left out); otherwise the bound
// max(e, 1) - 150 of it, from the smallest nonzero magnitude. 2W pixels a vector, two vectors a
// step, the sum (of the magnitudes when Abs) in four accumulators of W double lanes. In the
// precise loop a pixel's key (127 + ctz(significand) + e) << 23 gives the exponent key - 277;
// denormals count e as 0 instead of 1 (one lower: still a power the value is a multiple of),
// zeros have the largest key. In the bound's loop the key is the magnitude's bits minus one.
template <int W, bool Abs, bool Precise>
FloatParts float_parts(const float* a, int64_t n) {
  typedef typename Lanes<W>::D D;
  typedef typename Lanes<W>::F F;
  typedef typename Lanes<W>::G G;
  typedef typename Lanes<W>::U U;
  typedef typename Lanes<W>::I I;
  D acc[4] = {};
  U key_min = U{} - 1, b_max = U{};
  int64_t i = 0;
  for (; i + 4 * W <= n; i += 4 * W) {
    for (int q = 0; q < 4 * W; q += 16) prefetch_ahead(a + i + q);
    for (int h = 0; h < 2; h++) {
      U b;
      std::memcpy(&b, a + i + 2 * W * h, sizeof b);
      b &= 0x7FFFFFFF;
      F half[2];
      if constexpr (Abs) {
        std::memcpy(half, &b, sizeof half);
      } else {
        std::memcpy(&half[0], a + i + 2 * W * h, sizeof half[0]);
        std::memcpy(&half[1], a + i + 2 * W * h + W, sizeof half[1]);
      }
      acc[2 * h] += widen(half[0]);
      acc[2 * h + 1] += widen(half[1]);
      U key = b - 1;
      if constexpr (Precise) {
        const U m = (b & 0x7FFFFF) | 0x800000;
        const G low = __builtin_convertvector(I(m & -m), G);  // 2^ctz(m), exactly
        std::memcpy(&key, &low, sizeof key);
        key = (key + (b & 0x7F800000)) | U(b == 0);
      }
      key_min = key < key_min ? key : key_min;
      b_max = b > b_max ? b : b_max;
    }
  }
  FloatParts r{0, INT_MAX, 0};
  for (int k = 0; k < 2 * W; k++) {
    if (key_min[k] != UINT32_MAX) {
      const int e = int((key_min[k] + !Precise) >> 23);
      r.lo = std::min(r.lo, Precise ? e - 277 : std::max(e, 1) - 150);
    }
    r.e_max = std::max(r.e_max, int(b_max[k] >> 23));
  }
  double tail = 0;
  for (; i < n; i++) {
    uint32_t b;
    std::memcpy(&b, a + i, sizeof b);
    b &= 0x7FFFFFFF;
    const int e = int(b >> 23);
    if (e > r.e_max) r.e_max = e;
    if (b != 0) {
      const uint32_t m = (b & 0x7FFFFF) | (e != 0 ? 0x800000 : 0);
      const int l = (e != 0 ? e : 1) - 150 + __builtin_ctz(m);
      if (l < r.lo) r.lo = l;
    }
    tail += Abs ? std::fabs(double(a[i])) : double(a[i]);
  }
  r.sum = tail + lane_sum((acc[0] + acc[1]) + (acc[2] + acc[3]));
  return r;
}

// The ordered chain s(j) = s(j-1) + x(j) from s(0) = s0, without its latency. Let 2^k be the
// binade of |s0| and u = 2^(k-52) the spacing of the doubles there. While every exact sum
// s(j-1) + x(j) stays in that binade (2^k <= |.| < 2^(k+1), sign of s0), rounding it is rounding
// x(j) to a multiple of u: s(j) = s(j-1) + r(j), r = (x + M) - M with M = 1.5 2^k (|x| < 2^(k-1)),
// unless x - r is exactly +-u/2 (a tie: the chain then rounds to even after adding s(j-1)). Runs
// of 4W pixels without a tie add their r in lane accumulators; a run with a tie (or a NaN) takes
// the chain itself from the running value. Every r and partial sum is a multiple of u far below
// 2^(k+1), so the lane sums are exact and any order gives the chain's value; the caller checks
// the binade. mag is the sum of |r| (kValue only; the tail adds |x|); chained counts the pixels
// of the runs with a tie.
template <int W, Term T, class P>
GridRun grid(const P* a, int64_t n, double s0, double m) {
  typedef typename Lanes<W>::D D;
  typedef typename Lanes<W>::L L;
  typedef typename Lanes<W>::F F;
  uint64_t bits;
  std::memcpy(&bits, &s0, sizeof bits);
  bits &= uint64_t(0x7FF) << 52;
  double p2k;  // 2^k
  std::memcpy(&p2k, &bits, sizeof p2k);
  const double h = p2k * 0x1p-53;  // u / 2
  int64_t h_bits;
  std::memcpy(&h_bits, &h, sizeof h_bits);
  const D big = D{} + 1.5 * p2k;
  const L half = L{} + h_bits, abs_mask = L{} + INT64_MAX;
  D acc[4] = {}, mag = D{};
  double v = s0;
  int64_t i = 0, chained = 0;
  for (; i + 4 * W <= n; i += 4 * W) {
    D r[4];
    // |x - r| <= u/2: its bits minus those of u/2 stay negative unless a tie (or NaN).
    L no_tie = L{} - 1;
    for (int q = 0; q < 4 * W; q += 64 / int(sizeof(P))) prefetch_ahead(a + i + q);
    for (int q = 0; q < 4; q++) {
      D x;
      if constexpr (std::is_same_v<P, float>) {
        F f;
        std::memcpy(&f, a + i + q * W, sizeof f);
        x = widen(f);
      } else {
        std::memcpy(&x, a + i + q * W, sizeof x);
      }
      if constexpr (T == Term::kMagnitude) x = D(L(x) & abs_mask);
      if constexpr (T == Term::kSquare) x = (x - m) * (x - m);
      r[q] = (x + big) - big;
      if constexpr (T == Term::kValue) mag += D(L(r[q]) & abs_mask);
      no_tie &= (L(x - r[q]) & abs_mask) - half;
    }
    if (any_sign_clear(no_tie)) {
      v += lane_sum((acc[0] + acc[1]) + (acc[2] + acc[3]));
      for (int q = 0; q < 4; q++) acc[q] = D{};
      for (int j = 0; j < 4 * W; j++) v += term<T>(a[i + j], m);
      chained += 4 * W;
      continue;
    }
    for (int q = 0; q < 4; q++) acc[q] += r[q];
  }
  GridRun g{v + lane_sum((acc[0] + acc[1]) + (acc[2] + acc[3])), lane_sum(mag), chained};
  for (; i < n; i++) {
    const double x = term<T>(a[i], m);
    g.mag += std::fabs(x);
    g.v += x;
  }
  return g;
}

// Smallest (Largest: largest) of a[0..n) leaving NaNs out; +inf (-inf) when there is none. A NaN
// never passes the comparison, so the lanes keep their value.
template <bool Largest, int W>
float extreme(const float* a, int64_t n) {
  typedef typename Lanes<W>::F F;  // W floats
  const float start = Largest ? -HUGE_VALF : HUGE_VALF;
  F acc[4];
  for (F& v : acc) v = F{} + start;
  int64_t i = 0;
  for (; i + 4 * W <= n; i += 4 * W) {
    for (int q = 0; q < 4 * W; q += 16) prefetch_ahead(a + i + q);
    for (int q = 0; q < 4; q++) {
      F x;
      std::memcpy(&x, a + i + q * W, sizeof x);
      acc[q] = (Largest ? x > acc[q] : x < acc[q]) ? x : acc[q];
    }
  }
  float best = start;
  for (int q = 0; q < 4; q++)
    for (int k = 0; k < W; k++)
      if (beats<Largest>(acc[q][k], best)) best = acc[q][k];
  for (; i < n; i++)
    if (beats<Largest>(a[i], best)) best = a[i];
  return best;
}

// Set bits of rows[l][0..wpr), the last word of each row masked by last.
int64_t set_bits(const uint32_t* const* rows, int nl, int wpr, uint32_t last) {
  int64_t s = 0;
  for (int l = 0; l < nl; l++) {
    const uint32_t* row = rows[l];
    int j = 0;
    for (; j + 2 < wpr; j += 2) {
      uint64_t w;
      std::memcpy(&w, row + j, sizeof w);
      s += count_bits(w);
    }
    for (; j + 1 < wpr; j++) s += count_bits(row[j]);
    s += count_bits(row[wpr - 1] & last);
  }
  return s;
}

// Byte sums: a register of bytes a step summed into 64-bit lanes by SAD against zero.
uint64_t byte_sum(const unsigned char* a, int64_t n) {
  constexpr int kBytes = sizeof(ByteVector);
  typedef typename Lanes<kBytes / 8>::L L;
  L acc[4] = {};
  int64_t i = 0;
  for (; i + 4 * kBytes <= n; i += 4 * kBytes) {
    for (int q = 0; q < 4 * kBytes; q += 64) prefetch_ahead(a + i + q);
    for (int q = 0; q < 4; q++) {
      ByteVector v;
      std::memcpy(&v, a + i + q * kBytes, sizeof v);
      acc[q] += L(sad_zero(v));
    }
  }
  uint64_t t = 0;
  for (const L& v : acc)
    for (int k = 0; k < kBytes / 8; k++) t += uint64_t(v[k]);
  for (; i < n; i++) t += a[i];
  return t;
}

template <int kParts = kPartsLanes>
constexpr StatisticsKernels make_kernels() {
  StatisticsKernels k{};
  if constexpr (kParts > 0) {
    k.parts[0][0] = float_parts<kParts, false, false>;
    k.parts[0][1] = float_parts<kParts, false, true>;
    k.parts[1][0] = float_parts<kParts, true, false>;
    k.parts[1][1] = float_parts<kParts, true, true>;
  }
  if constexpr (kGridLanes > 0) {
    k.grid_float[0] = grid<kGridLanes, Term::kValue, float>;
    k.grid_float[1] = grid<kGridLanes, Term::kMagnitude, float>;
    k.grid_float[2] = grid<kGridLanes, Term::kSquare, float>;
    k.grid_double[0] = grid<kGridLanes, Term::kValue, double>;
    k.grid_double[1] = grid<kGridLanes, Term::kMagnitude, double>;
    k.grid_double[2] = grid<kGridLanes, Term::kSquare, double>;
  }
  k.extreme[0] = extreme<false, kExtremeLanes>;
  k.extreme[1] = extreme<true, kExtremeLanes>;
  k.set_bits = set_bits;
  k.byte_sum = byte_sum;
  k.divide_float = divide<float>;
  k.divide_double = divide<double>;
  return k;
}
