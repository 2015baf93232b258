// The grey 3 x 3 and 5 x 5 window medians of the median kernels (median3_u8 .. median5_c3_u8 in
// median_kernels.h), included by median_kernels_body.h in the namespace of each build: kBytes is
// that build's vector width, kMiddle<25> the middle of 25 (batcher.h).

// Grey windows of 3 x 3 and 5 x 5, along rows.
typedef uint8_t U8s __attribute__((vector_size(kBytes)));

inline uint8_t median_of3(uint8_t a, uint8_t b, uint8_t c) {
  return hi8(lo8(a, b), lo8(hi8(a, b), c));
}

// 3 x 3: each column of three is sorted once and shared by the three windows over it; the
// median is then the median of (largest low, median of middles, smallest high). Neighbours lie
// S elements apart (S channels interleaved). A vector of columns is sorted in registers and the
// columns S and 2 S further on are taken from it and the next vector by lane shifts.
struct Column3 {
  U8s lo, mid, hi;
};

inline Column3 sorted_column(const uint8_t* a, const uint8_t* b, const uint8_t* c) {
  const U8s x = load_vector<U8s>(a), y = load_vector<U8s>(b), z = load_vector<U8s>(c);
  const U8s xy_lo = y < x ? y : x, xy_hi = y < x ? x : y;
  const U8s lo = z < xy_lo ? z : xy_lo, hi = z > xy_hi ? z : xy_hi;
  const U8s m = z < xy_hi ? z : xy_hi;
  return {lo, m > xy_lo ? m : xy_lo, hi};
}

inline U8s max8(U8s a, U8s b) { return b > a ? b : a; }
inline U8s min8(U8s a, U8s b) { return b < a ? b : a; }
inline U8s median8(U8s a, U8s b, U8s c) { return max8(min8(a, b), min8(max8(a, b), c)); }

// The medians of the windows over columns c0, c1, c2 (each sorted).
inline U8s median_of_columns(const Column3& c0, const Column3& c1, const Column3& c2) {
  const U8s l = max8(max8(c0.lo, c1.lo), c2.lo);
  const U8s h = min8(min8(c0.hi, c1.hi), c2.hi);
  return median8(l, median8(c0.mid, c1.mid, c2.mid), h);
}

template <int S>
void median3(const uint8_t* const* rows, uint8_t* dst, int64_t n) {
  constexpr int64_t L = sizeof(U8s);
  const uint8_t *r0 = rows[0], *r1 = rows[1], *r2 = rows[2];
  auto column = [&](int64_t x)
                    VISTELMO_BODY_LAMBDA { return sorted_column(r0 + x, r1 + x, r2 + x); };
  auto store = [&](int64_t x, U8s v) VISTELMO_BODY_LAMBDA { store_vector(dst + x, v); };
  int64_t x = 0;
  if (n + 2 * S >= 2 * L) {
    using Lanes = std::make_index_sequence<L>;
    Column3 cur = column(0);
    for (; x + 2 * L <= n + 2 * S; x += L) {  // the next vector lies inside the rows
      const Column3 next = column(x + L);
      const Column3 c1 = {lanes_from<S>(cur.lo, next.lo, Lanes()),
                          lanes_from<S>(cur.mid, next.mid, Lanes()),
                          lanes_from<S>(cur.hi, next.hi, Lanes())};
      const Column3 c2 = {lanes_from<2 * S>(cur.lo, next.lo, Lanes()),
                          lanes_from<2 * S>(cur.mid, next.mid, Lanes()),
                          lanes_from<2 * S>(cur.hi, next.hi, Lanes())};
      store(x, median_of_columns(cur, c1, c2));
      cur = next;
    }
  }
  auto apart = [&](int64_t t) VISTELMO_BODY_LAMBDA {  // the columns loaded apart
    store(t, median_of_columns(column(t), column(t + S), column(t + 2 * S)));
  };
  for (; x + L <= n; x += L) apart(x);
  if (x < n && n >= L) {
    apart(n - L);  // the last vector again, overlapping
    return;
  }
  for (; x < n; x++) {
    uint8_t lo[3], mid[3], hi[3];
    for (int k = 0; k < 3; k++) {
      const uint8_t a = r0[x + k * S], b = r1[x + k * S], c = r2[x + k * S];
      lo[k] = lo8(lo8(a, b), c);
      mid[k] = median_of3(a, b, c);
      hi[k] = hi8(hi8(a, b), c);
    }
    const uint8_t l = hi8(hi8(lo[0], lo[1]), lo[2]), h = lo8(lo8(hi[0], hi[1]), hi[2]);
    dst[x] = median_of3(l, median_of3(mid[0], mid[1], mid[2]), h);
  }
}

// The median of 25 bytes: kMiddle<25> on arrays of W lanes.
template <int A, int B, int Keep, int W>
inline void compare_bytes(uint8_t (&x)[25][W]) {
  for (int i = 0; i < W; i++) {
    const uint8_t p = x[A][i], q = x[B][i];
    if (Keep & 1) x[A][i] = lo8(p, q);
    if (Keep & 2) x[B][i] = hi8(p, q);
  }
}

template <int W, size_t... C>
inline void run_median25(uint8_t (&x)[25][W], std::index_sequence<C...>) {
  (compare_bytes<kMiddle<25>.op[C].a, kMiddle<25>.op[C].b, kMiddle<25>.op[C].keep, W>(x), ...);
}

template <int S, int W>
inline void median5_block(const uint8_t* const* rows, int64_t x0, uint8_t* dst) {
  uint8_t x[25][W];
  for (int r = 0; r < 5; r++)
    for (int j = 0; j < 5; j++)
      for (int i = 0; i < W; i++) x[5 * r + j][i] = rows[r][x0 + i + j * S];
  run_median25<W>(x, std::make_index_sequence<kMiddle<25>.count>());
  for (int i = 0; i < W; i++) dst[x0 + i] = x[12][i];
}

template <int S>
void median5(const uint8_t* const* rows, uint8_t* dst, int64_t n) {
  constexpr int W = 32;
  int64_t x0 = 0;
  for (; x0 + W <= n; x0 += W) median5_block<S, W>(rows, x0, dst);
  if (x0 < n && n >= W) {
    median5_block<S, W>(rows, n - W, dst);  // the last block again, overlapping
    return;
  }
  for (; x0 < n; x0++) median5_block<S, 1>(rows, x0, dst);
}
