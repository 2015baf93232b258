// The byte taps and rows kernels of the span kernels (min_taps_u8 .. max_rows_u8 in
// neighbourhood_spans.h), included by neighbourhood_spans_body.h in the namespace of each build:
// kBytes is that build's vector width.

// Grey morphology by many taps: dst[i] = red over k < count of clamp(rows[k][i] + s_k), 0..255,
// from 255 (minimum) or 0 (maximum), where s_k = amount[k] for k < adds and -amount[k] after.
// The clamped shift is monotone, so taps of one amount next to each other are reduced first and
// shifted once. Blocks of vectors of outputs (kBytes each, the build's width) keep their running
// value in registers across all the taps.
typedef uint8_t Bytes __attribute__((vector_size(kBytes)));
// In place: x = min(x, y) or max(x, y).
inline void lower(Bytes& x, const Bytes& y) { x = y < x ? y : x; }
inline void raise(Bytes& x, const Bytes& y) { x = y > x ? y : x; }

// B vectors of outputs from x.
template <bool Max, int B>
[[gnu::always_inline]] inline void shifted_block(const uint8_t* const* rows, const uint8_t* amount,
                                                 int64_t adds, int64_t count, uint8_t* dst,
                                                 int64_t x) {
  constexpr int64_t kW = sizeof(Bytes);
  Bytes acc[B], g[B];
  for (int j = 0; j < B; j++) acc[j] = Bytes{} + static_cast<uint8_t>(Max ? 0 : 255);
  for (int64_t k = 0; k < count;) {
    const int64_t end = k < adds ? adds : count;
    const uint8_t u = amount[k];
    for (int j = 0; j < B; j++) g[j] = load_vector<Bytes>(rows[k] + x + j * kW);
    for (k++; k < end && amount[k] == u; k++)
      for (int j = 0; j < B; j++) {
        Max ? raise(g[j], load_vector<Bytes>(rows[k] + x + j * kW))
            : lower(g[j], load_vector<Bytes>(rows[k] + x + j * kW));
      }
    const Bytes by = Bytes{} + u;
    for (int j = 0; j < B; j++) {
      if (u != 0 && end == adds)
        g[j] = saturated_u8<true>(g[j], by);
      else if (u != 0)
        g[j] = saturated_u8<false>(g[j], by);
      Max ? raise(acc[j], g[j]) : lower(acc[j], g[j]);
    }
  }
  for (int j = 0; j < B; j++) store_vector(dst + x + j * kW, acc[j]);
}

template <bool Max>
void shifted_taps(const uint8_t* const* rows, const uint8_t* amount, int64_t adds, int64_t count,
                  uint8_t* dst, int64_t n) {
  constexpr int64_t kW = sizeof(Bytes);
  int64_t x = 0;
  constexpr int B = 8;
  for (; x + B * kW <= n; x += B * kW) shifted_block<Max, B>(rows, amount, adds, count, dst, x);
  for (; x + kW <= n; x += kW) shifted_block<Max, 1>(rows, amount, adds, count, dst, x);
  if (x < n && n >= kW) {  // the last block again, overlapping
    shifted_block<Max, 1>(rows, amount, adds, count, dst, n - kW);
    return;
  }
  for (; x < n; x++) {
    int acc = Max ? 0 : 255;
    for (int64_t k = 0; k < count; k++) {
      const int v = std::min(255, std::max(0, rows[k][x] + (k < adds ? amount[k] : -amount[k])));
      acc = Max ? std::max(acc, v) : std::min(acc, v);
    }
    dst[x] = static_cast<uint8_t>(acc);
  }
}

// Rows of results from K lines, each sample loaded once for them all: r[q][p][i] = min (from
// 255) or max (from 0) over j < count of clamp(clamp(line q [i + at[j]] + up) - down), up and
// down the bytes of vectors 2 (p count + j) and 2 (p count + j) + 1 of table. With Up or Down
// false every vector of that kind is zero and its step is left out. Without a RowsDown,
// dst[p] = r[0][p]. With one (d), for u < d.picks: dst[u] = red over q of r[q][d.pick[u K + q]]
// (where >= 0) and, from u = d.fresh on, d.from[u] (so a block done twice gives the same).
// P rows and B vectors from x.
template <bool Max, bool Up, bool Down, int K, int P, int B>
[[gnu::always_inline]] inline void rows_block(const uint8_t* const* lines, const int64_t* at,
                                              int64_t count, const uint8_t* table,
                                              uint8_t* const* dst, const RowsDown* d, int64_t x) {
  constexpr int64_t kW = sizeof(Bytes);
  Bytes acc[K][P][B];
  for (int q = 0; q < K; q++)
    for (int p = 0; p < P; p++)
      for (int b = 0; b < B; b++) acc[q][p][b] = Bytes{} + static_cast<uint8_t>(Max ? 0 : 255);
  for (int64_t j = 0; j < count; j++) {
    Bytes v[K][B];
    for (int q = 0; q < K; q++)
      for (int b = 0; b < B; b++) v[q][b] = load_vector<Bytes>(lines[q] + at[j] + x + b * kW);
    for (int p = 0; p < P; p++) {
      const uint8_t* t = table + 128 * (p * count + j);
      const Bytes up = load_vector<Bytes>(t), down = load_vector<Bytes>(t + 64);
      for (int q = 0; q < K; q++)
        for (int b = 0; b < B; b++) {
          Bytes g = v[q][b];
          if (Up) g = saturated_u8<true>(g, up);
          if (Down) g = saturated_u8<false>(g, down);
          Max ? raise(acc[q][p][b], g) : lower(acc[q][p][b], g);
        }
    }
  }
  if (!d) {
    for (int p = 0; p < P; p++)
      for (int b = 0; b < B; b++) store_vector(dst[p] + x + b * kW, acc[0][p][b]);
    return;
  }
  const int* const pick = d->pick;  // held apart from the stores below
  const uint8_t* const* const from = d->from;
  const int64_t picks = d->picks, fresh = d->fresh;
  for (int64_t u = 0; u < picks; u++) {
    Bytes r[B];
    for (int b = 0; b < B; b++) r[b] = Bytes{} + static_cast<uint8_t>(Max ? 0 : 255);
    bool some = u >= fresh;
    if (some)
      for (int b = 0; b < B; b++) r[b] = load_vector<Bytes>(from[u] + x + b * kW);
    for (int q = 0; q < K; q++)
      for (int p = 0; p < P; p++) {
        if (p != pick[u * K + q]) continue;
        for (int b = 0; b < B; b++) {
          if (!some)
            r[b] = acc[q][p][b];
          else
            Max ? raise(r[b], acc[q][p][b]) : lower(r[b], acc[q][p][b]);
        }
        some = true;
      }
    for (int b = 0; b < B; b++) store_vector(dst[u] + x + b * kW, r[b]);
  }
}

template <bool Max, bool Up, bool Down, int K, int P>
void shifted_rows_of(const uint8_t* const* lines, const int64_t* at, int64_t count,
                     const uint8_t* table, uint8_t* const* dst, const RowsDown* d, int64_t n) {
  constexpr int64_t kW = sizeof(Bytes);
  constexpr int B = K * P == 1 ? 8 : K * P <= 4 ? 4 : 2;
  int64_t x = 0;
  for (; x + B * kW <= n; x += B * kW)
    rows_block<Max, Up, Down, K, P, B>(lines, at, count, table, dst, d, x);
  for (; x + kW <= n; x += kW)
    rows_block<Max, Up, Down, K, P, 1>(lines, at, count, table, dst, d, x);
  if (x < n && n >= kW) {  // the last block again, overlapping
    rows_block<Max, Up, Down, K, P, 1>(lines, at, count, table, dst, d, n - kW);
    return;
  }
  for (; x < n; x++) {
    int r[K][P];
    for (int q = 0; q < K; q++)
      for (int p = 0; p < P; p++) {
        int acc = Max ? 0 : 255;
        for (int64_t j = 0; j < count; j++) {
          const uint8_t* t = table + 128 * (p * count + j);
          const int v = std::max(0, std::min(255, lines[q][at[j] + x] + t[0]) - t[64]);
          acc = Max ? std::max(acc, v) : std::min(acc, v);
        }
        r[q][p] = acc;
        if (!d) dst[p][x] = static_cast<uint8_t>(acc);
      }
    for (int64_t u = 0; d && u < d->picks; u++) {
      int v = u >= d->fresh ? d->from[u][x] : Max ? 0 : 255;
      for (int q = 0; q < K; q++) {
        const int p = d->pick[u * K + q];
        if (p >= 0) v = Max ? std::max(v, r[q][p]) : std::min(v, r[q][p]);
      }
      dst[u][x] = static_cast<uint8_t>(v);
    }
  }
}

template <bool Max, bool Up, bool Down>
void shifted_rows_by(const uint8_t* const* lines, const int64_t* at, int64_t count,
                     const uint8_t* table, int64_t rows, uint8_t* const* dst, const RowsDown* d,
                     int64_t n) {
  if constexpr (kBytes == 64)
    if (d && d->lines == 2) {
      switch (rows) {
        case 2:
          return shifted_rows_of<Max, Up, Down, 2, 2>(lines, at, count, table, dst, d, n);
        case 3:
          return shifted_rows_of<Max, Up, Down, 2, 3>(lines, at, count, table, dst, d, n);
        default:
          return shifted_rows_of<Max, Up, Down, 2, 4>(lines, at, count, table, dst, d, n);
      }
    }
  for (int64_t p = 0; p < rows; p += 4) {
    const uint8_t* t = table + 128 * p * count;
    uint8_t* const* to = d ? dst : dst + p;
    switch (std::min<int64_t>(rows - p, 4)) {
      case 1:
        shifted_rows_of<Max, Up, Down, 1, 1>(lines, at, count, t, to, d, n);
        break;
      case 2:
        shifted_rows_of<Max, Up, Down, 1, 2>(lines, at, count, t, to, d, n);
        break;
      case 3:
        shifted_rows_of<Max, Up, Down, 1, 3>(lines, at, count, t, to, d, n);
        break;
      default:
        shifted_rows_of<Max, Up, Down, 1, 4>(lines, at, count, t, to, d, n);
    }
  }
}

template <bool Max>
void shifted_rows(const uint8_t* const* lines, const int64_t* at, int64_t count,
                  const uint8_t* table, int64_t rows, uint8_t* const* dst, const RowsDown* d,
                  int64_t n) {
  const uint8_t* t = table;
  bool up = false, down = false;
  for (int64_t i = 0; i < rows * count; i++) {
    up = up || t[128 * i] != 0;
    down = down || t[128 * i + 64] != 0;
  }
  if (up && down)
    shifted_rows_by<Max, true, true>(lines, at, count, t, rows, dst, d, n);
  else if (up)
    shifted_rows_by<Max, true, false>(lines, at, count, t, rows, dst, d, n);
  else
    shifted_rows_by<Max, false, true>(lines, at, count, t, rows, dst, d, n);
}
