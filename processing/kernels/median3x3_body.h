// The median of each 3 x 3 window along rows, for bytes and doubles alike (median3_u8,
// median3_c3_u8 and median3_f64 in median_kernels.h). Included by median_kernels_body.h in the
// namespace of each build, after lower, upper, middle, Wide and Odd.
//
// Each column of three is sorted once and shared by the three windows over it; a window's median
// is the middle of the largest low, the middle middle and the smallest high. A column sorts the
// pair of its middle rows first and puts the top sample into it, so that two output rows share
// the pair. Neighbouring columns lie S elements apart (S channels interleaved). The comparisons
// run in the same order for every type and width: doubles keep the same one of two equal zeros
// everywhere, and the plain walk decides only where a zero or a sample that is not finite met.

// The column of a over the sorted pair lo <= hi, low to high into s[0 .. 2].
template <class V>
VISTELMO_NET_STEP void sort_onto_pair(V a, V lo, V hi, V* s) {
  s[0] = lower(a, lo), s[1] = upper(lo, lower(a, hi)), s[2] = upper(a, hi);
}

// The columns of rows[0 .. 2] (s[0 .. 2]) and, for R = 2, of rows[1 .. 3] (s[3 .. 5]) at x,
// sorted. Floating samples: spread gathers the pair's high - low, which is not finite once one of
// them is not.
template <int R, class V, class T>
VISTELMO_NET_STEP void sort_columns3(const T* const* rows, int64_t x, V* s, V& spread) {
  const V b = load_vector<V>(rows[1] + x), c = load_vector<V>(rows[2] + x);
  const V lo = lower(b, c), hi = upper(b, c);
  if constexpr (std::is_floating_point_v<T>) spread += hi - lo;
  sort_onto_pair(load_vector<V>(rows[0] + x), lo, hi, s);
  if constexpr (R == 2) sort_onto_pair(load_vector<V>(rows[3] + x), lo, hi, s + 3);
}

// Outputs dst + x .. from the sorted columns of three at x (a), x + S (b) and x + 2 S (c).
template <class V, class T, class Odd1>
VISTELMO_NET_STEP void median3_out(const V* a, const V* b, const V* c, T* dst, int64_t x,
                                   Odd1& zero) {
  const V v = middle(upper(upper(a[0], b[0]), c[0]), middle(a[1], b[1], c[1]),
                     lower(lower(a[2], b[2]), c[2]));
  zero.output(v);
  std::memcpy(dst + x, &v, sizeof v);
}

// The medians of the 3 x 3 windows of R output rows (1 or 2): dst[h][x] from
// rows[h + k][x + j S], k, j < 3, h < R, x < n. Along blocks (from where rows[0] is aligned, for
// two rows), each vector of columns is sorted once and the columns S and 2 S further on are taken
// from it and the next one by lane shifts; the blocks before and after, and rows shorter than a
// vector, sort the three columns themselves. Doubles (R = 2, S = 1): rows[4], rows[5], dst[2] and
// dst[3] are the next pair's, fetched into the cache meanwhile at 64 bytes; bit h (h < R) is set
// when an output of dst[h] is a zero, bit 2 when a sample of rows[1] or rows[2] may not be finite.
template <class T, int Bytes, int S, int R>
int median3_rows(const T* const* rows, T* const* dst, int64_t n) {
  // Local copies of the pointers: byte stores may alias the arrays, which would have every
  // vector reload them.
  const T* src[R + 2];
  T* out[R];
  for (int i = 0; i < R + 2; i++) src[i] = rows[i];
  for (int h = 0; h < R; h++) out[h] = dst[h];
  constexpr int64_t L = Bytes / sizeof(T);
  using V = typename Wide<T, Bytes, 1>::type;
  using Lane = std::make_index_sequence<L>;
  V spread{};  // not finite once a sample of rows[1] or rows[2] is not
  T spread1 = 0;
  Odd<T, V> zero[R];
  Odd<T, T> zero1[R];
  auto direct = [&](int64_t x, auto k) VISTELMO_BODY_LAMBDA {
    using U = typename Wide<T, Bytes, decltype(k)::value>::type;
    U s[3][3 * R];
    for (int j = 0; j < 3; j++)
      if constexpr (decltype(k)::value == 0)
        sort_columns3<R>(src, x + j * S, s[j], spread1);
      else
        sort_columns3<R>(src, x + j * S, s[j], spread);
    for (int h = 0; h < R; h++)
      if constexpr (decltype(k)::value == 0)
        median3_out(s[0] + 3 * h, s[1] + 3 * h, s[2] + 3 * h, out[h], x, zero1[h]);
      else
        median3_out(s[0] + 3 * h, s[1] + 3 * h, s[2] + 3 * h, out[h], x, zero[h]);
  };
  if (n < L) {
    for (int64_t x = 0; x < n; x++) direct(x, std::integral_constant<int, 0>());
  } else {
    // Two rows start where rows[0] is aligned; one row at column 0 (grey 3 x 3 rows measured
    // slower with the head block).
    const int64_t head =
        R == 2 ? static_cast<int64_t>((0 - reinterpret_cast<uintptr_t>(src[0])) % Bytes) /
                     static_cast<int64_t>(sizeof(T))
               : 0;
    if (head > 0) direct(0, std::integral_constant<int, 1>());
    int64_t x = head;
    if (x + 2 * L <= n + 2 * S) {
      V a[3 * R];
      sort_columns3<R>(src, x, a, spread);
      for (; x + 2 * L <= n + 2 * S; x += L) {  // the next vector lies inside the rows
        V b[3 * R];
        sort_columns3<R>(src, x + L, b, spread);
        if constexpr (Bytes == 64 && R == 2) {
          for (int r = 4; r < 6; r++) __builtin_prefetch(rows[r] + x + L, 0, 2);
          for (int h = 0; h < 2; h++) __builtin_prefetch(dst[2 + h] + x, 1, 2);
        }
        for (int h = 0; h < R; h++) {  // one row at a time: fewer vectors live
          V s1[3], s2[3];
          for (int r = 0; r < 3; r++) {
            s1[r] = lanes_from<S>(a[3 * h + r], b[3 * h + r], Lane());
            s2[r] = lanes_from<2 * S>(a[3 * h + r], b[3 * h + r], Lane());
          }
          median3_out(a + 3 * h, s1, s2, out[h], x, zero[h]);
        }
        for (int r = 0; r < 3 * R; r++) a[r] = b[r];
      }
    }
    for (; x + L <= n; x += L) direct(x, std::integral_constant<int, 1>());
    if (x < n) direct(n - L, std::integral_constant<int, 1>());
  }
  int bits = 0;
  for (int h = 0; h < R; h++) bits |= zero[h].any() || zero1[h].any() ? 1 << h : 0;
  if constexpr (std::is_floating_point_v<T>) {
    bool finite = spread1 - spread1 == 0;
    for (int64_t j = 0; j < L; j++) finite = finite && spread[j] - spread[j] == 0;
    bits |= finite ? 0 : 4;
  }
  return bits;
}

// Grey rows of S channels, one output row.
template <int S>
void median3_u8(const uint8_t* const* rows, uint8_t* dst, int64_t n) {
  uint8_t* const out[1] = {dst};
  median3_rows<uint8_t, kBytes, S, 1>(rows, out, n);
}
