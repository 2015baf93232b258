// The FFT passes of fft_passes.h, included once per level by fft_passes.cpp inside that level's
// namespace and target region. The includer brings <cstddef> and fft_passes.h. Complexes go one
// at a time or two neighbours at once (C2); both do the same operations on each complex in the
// same order, so every build and lane gives the same bits.

#define FORCE_INLINE inline __attribute__((always_inline))

// Two neighbouring complexes.
typedef double V4 __attribute__((vector_size(32)));
struct C2 {
  V4 v;
};

// ---- Lanes: one complex or two neighbours (C2). Both do the same operations on each complex in
// the same order, so they give the same bits.

// a w, each product rounded on its own before the sums, as written: under FMA targets g++ 12
// turns the two lanes' multiply and subtract/add into one vfmaddsub (the first product unrounded)
// even with contraction off, so the products are held in registers first.
FORCE_INLINE COMPLEX mul(COMPLEX a, COMPLEX w) {
  double rr = a.re * w.re, ii = a.im * w.im, ri = a.re * w.im, ir = a.im * w.re;
  asm("" : "+x"(rr), "+x"(ii), "+x"(ri), "+x"(ir));
  return {rr - ii, ri + ir};
}
// i times a
FORCE_INLINE COMPLEX rot90(COMPLEX a) { return {-a.im, a.re}; }
FORCE_INLINE COMPLEX operator+(COMPLEX a, COMPLEX b) { return add(a, b); }
FORCE_INLINE COMPLEX operator-(COMPLEX a, COMPLEX b) { return sub(a, b); }
FORCE_INLINE COMPLEX operator*(double c, COMPLEX a) { return {c * a.re, c * a.im}; }
FORCE_INLINE COMPLEX twiddle(COMPLEX a, COMPLEX w) { return mul(a, w); }

FORCE_INLINE C2 operator+(const C2& a, const C2& b) { return {a.v + b.v}; }
FORCE_INLINE C2 operator-(const C2& a, const C2& b) { return {a.v - b.v}; }
FORCE_INLINE C2 operator*(double c, const C2& a) { return {c * a.v}; }
FORCE_INLINE V4 swap_pairs(const V4& a) { return __builtin_shufflevector(a, a, 1, 0, 3, 2); }
FORCE_INLINE C2 rot90(const C2& a) {
  const V4 sign = {-1.0, 1.0, -1.0, 1.0};
  return {swap_pairs(a.v) * sign};
}
// a times the twiddles t of the two neighbours: (ar wr + ai (-wi), ai wr + ar wi), the scalar
// product's terms with each sum's terms swapped.
FORCE_INLINE C2 twiddle(const C2& a, const C2& t) {
  const V4 wr = __builtin_shufflevector(t.v, t.v, 0, 0, 2, 2);
  const V4 wi = __builtin_shufflevector(t.v, t.v, 1, 1, 3, 3) * V4{-1.0, 1.0, -1.0, 1.0};
  return {a.v * wr + swap_pairs(a.v) * wi};
}

FORCE_INLINE C2 load2(const COMPLEX* p) {
  C2 c;
  __builtin_memcpy(&c.v, p, sizeof(V4));
  return c;
}
FORCE_INLINE C2 load2(const COMPLEX* p, const COMPLEX* q) {
  const V4 v = {p->re, p->im, q->re, q->im};
  return {v};
}
FORCE_INLINE void store2(COMPLEX* p, const C2& c) { __builtin_memcpy(p, &c.v, sizeof(V4)); }

// ---- Butterflies: y = the radix-point transform (positive exponent) of x.

template <class L>
FORCE_INLINE void bfly2(const L* x, L* y) {
  y[0] = x[0] + x[1];
  y[1] = x[0] - x[1];
}

template <class L>
FORCE_INLINE void bfly4(const L* x, L* y) {
  const L t2 = x[0] + x[2], t1 = x[0] - x[2];
  const L t3 = x[1] + x[3], t4 = rot90(x[1] - x[3]);
  y[0] = t2 + t3;
  y[1] = t1 + t4;
  y[2] = t2 - t3;
  y[3] = t1 - t4;
}

template <class L>
FORCE_INLINE void bfly3(const L* x, L* y) {
  const double twr = -0.5, twi = 0.86602540378443864676;
  const L t0 = x[0], t1 = x[1] + x[2], t2 = x[1] - x[2];
  y[0] = t0 + t1;
  const L ca = t0 + twr * t1, cb = rot90(twi * t2);
  y[1] = ca + cb;
  y[2] = ca - cb;
}

template <class L>
FORCE_INLINE void bfly5(const L* x, L* y) {
  const double tw1r = 0.3090169943749474241, tw1i = 0.95105651629515357212,
               tw2r = -0.8090169943749474241, tw2i = 0.58778525229247312917;
  const L t0 = x[0];
  const L t1 = x[1] + x[4], t4 = x[1] - x[4];
  const L t2 = x[2] + x[3], t3 = x[2] - x[3];
  y[0] = (t0 + t1) + t2;
  const L ca1 = (t0 + tw1r * t1) + tw2r * t2, cb1 = rot90(tw1i * t4 + tw2i * t3);
  const L ca2 = (t0 + tw2r * t1) + tw1r * t2, cb2 = rot90(tw2i * t4 - tw1i * t3);
  y[1] = ca1 + cb1;
  y[4] = ca1 - cb1;
  y[2] = ca2 + cb2;
  y[3] = ca2 - cb2;
}

// Two 4-point transforms, of the even and the odd inputs, joined by the eighth roots of unity
// (e^{i pi/4} = s (1 + i)).
template <class L>
FORCE_INLINE void bfly8(const L* x, L* y) {
  const double s = 0.70710678118654752440;
  const L xe[4] = {x[0], x[2], x[4], x[6]}, xo[4] = {x[1], x[3], x[5], x[7]};
  L e[4], o[4];
  bfly4(xe, e);
  bfly4(xo, o);
  const L o1 = s * (o[1] + rot90(o[1])), o2 = rot90(o[2]), o3 = s * (rot90(o[3]) - o[3]);
  y[0] = e[0] + o[0];
  y[4] = e[0] - o[0];
  y[1] = e[1] + o1;
  y[5] = e[1] - o1;
  y[2] = e[2] + o2;
  y[6] = e[2] - o2;
  y[3] = e[3] + o3;
  y[7] = e[3] - o3;
}

template <int R>
struct Radix {
  template <class L>
  static FORCE_INLINE void bfly(const L* x, L* y) {
    if constexpr (R == 2) bfly2(x, y);
    if constexpr (R == 3) bfly3(x, y);
    if constexpr (R == 4) bfly4(x, y);
    if constexpr (R == 5) bfly5(x, y);
    if constexpr (R == 8) bfly8(x, y);
  }
};

// ---- passes: cc is read as CC(i, j, k) = cc[i + ido (j + R k)], ch written as
// CH(i, k, j) = ch[i + ido (k + l1 j)]; output j > 0 of a run's element i is multiplied by the
// twiddle root(j l1 i) (exactly 1 for i = 0). Pairs of neighbours go through C2: along i inside
// long runs, along k when runs have one element.

#define CC(i, j, k) cc[(i) + ido * ((j) + R * (k))]
#define CH(i, k, j) ch[(i) + ido * ((k) + l1 * (j))]

// Strided: the pass reads element e of its line at cc[e stride], conjugated when conj is set
// (the first pass of a sub-transform reading a decimated subsequence in place).
template <int R, bool Strided = false>
FORCE_INLINE void run_pass(const Pass& ps, const COMPLEX* __restrict cc, COMPLEX* __restrict ch,
                           int stride = 1, bool conj = false) {
  const int ido = ps.ido, l1 = ps.l1;
  COMPLEX x[R], y[R];
  C2 x2[R], y2[R];
  const size_t step = Strided ? static_cast<size_t>(stride) : 1;
  const bool flip = Strided && conj;
  const V4 sign = {1.0, flip ? -1.0 : 1.0, 1.0, flip ? -1.0 : 1.0};
#define AT(i, j, k) (cc + static_cast<size_t>((i) + ido * ((j) + R * (k))) * step)
  if (ido == 1) {
    int k = 0;
    for (; k + 1 < l1; k += 2) {
      for (int j = 0; j < R; j++) {
        x2[j] = load2(AT(0, j, k), AT(0, j, k + 1));
        if (Strided) x2[j].v *= sign;
      }
      Radix<R>::bfly(x2, y2);
      for (int j = 0; j < R; j++) store2(&CH(0, k, j), y2[j]);
    }
    for (; k < l1; k++) {
      for (int j = 0; j < R; j++) {
        x[j] = *AT(0, j, k);
        if (flip) x[j].im = -x[j].im;
      }
      Radix<R>::bfly(x, y);
      for (int j = 0; j < R; j++) CH(0, k, j) = y[j];
    }
    return;
  }
  const COMPLEX* wa = ps.tw.data();
  const int pairs = ido / 2;
  for (int k = 0; k < l1; k++) {
    for (int p = 0; p < pairs; p++) {
      const int i = 2 * p;
      for (int j = 0; j < R; j++) {
        if (Strided)
          x2[j] = {load2(AT(i, j, k), AT(i + 1, j, k)).v * sign};
        else
          x2[j] = load2(AT(i, j, k));
      }
      Radix<R>::bfly(x2, y2);
      store2(&CH(i, k, 0), y2[0]);
      for (int j = 1; j < R; j++)
        store2(&CH(i, k, j), twiddle(y2[j], load2(wa + static_cast<size_t>(j - 1) * ido + i)));
    }
    if (ido % 2 == 1) {
      const int i = ido - 1;
      for (int j = 0; j < R; j++) {
        x[j] = *AT(i, j, k);
        if (flip) x[j].im = -x[j].im;
      }
      Radix<R>::bfly(x, y);
      CH(i, k, 0) = y[0];
      for (int j = 1; j < R; j++) CH(i, k, j) = twiddle(y[j], wa[i + (j - 1) * ido]);
    }
  }
}
#undef AT

#undef CC
#undef CH

#define CC(i, j, k) cc[(i) + ido * ((j) + cdim * (k))]
#define CH(i, k, j) ch[(i) + ido * ((k) + l1 * (j))]
#define WA(x, i) wa[(i) + (x)*ido]

// The same pass over `count` interleaved lines (element e of line b at e count + b, count even):
// neighbouring lines make the pairs and share each twiddle. Same operations as run_pass, so each
// line gets the bits dft gives it.
template <int R>
FORCE_INLINE void run_pass_lines(const Pass& ps, const COMPLEX* __restrict cc,
                                 COMPLEX* __restrict ch, int count) {
  const int ido = ps.ido, l1 = ps.l1;
  C2 x2[R], y2[R];
  C2 w[R] = {};
  for (int k = 0; k < l1; k++)
    for (int i = 0; i < ido; i++) {
      for (int j = 1; j < R && ido > 1; j++) {
        const COMPLEX c = ps.tw[i + (j - 1) * ido];
        w[j].v = V4{c.re, c.im, c.re, c.im};
      }
      const COMPLEX* src = cc + static_cast<size_t>(i + ido * R * k) * count;
      COMPLEX* dst = ch + static_cast<size_t>(i + ido * k) * count;
      const size_t sstep = static_cast<size_t>(ido) * count;
      const size_t dstep = static_cast<size_t>(ido) * l1 * count;
      for (int b = 0; b < count; b += 2) {
        for (int j = 0; j < R; j++) x2[j] = load2(src + j * sstep + b);
        Radix<R>::bfly(x2, y2);
        store2(dst + b, y2[0]);
        for (int j = 1; j < R; j++)
          store2(dst + j * dstep + b, ido == 1 ? y2[j] : twiddle(y2[j], w[j]));
      }
    }
}

// Any radix p: the p-point sums by the roots table, then the twiddles.
void pass_generic(const Pass& ps, const COMPLEX* __restrict cc, COMPLEX* __restrict ch) {
  const int ido = ps.ido, l1 = ps.l1, cdim = ps.radix;
  const COMPLEX* wa = ps.tw.data();
  const COMPLEX* rt = ps.roots.data();
  for (int k = 0; k < l1; k++)
    for (int i = 0; i < ido; i++)
      for (int u = 0; u < cdim; u++) {
        COMPLEX s = CC(i, 0, k);
        int e = 0;
        for (int j = 1; j < cdim; j++) {
          e += u;
          if (e >= cdim) e -= cdim;
          s = add(s, mul(CC(i, j, k), rt[e]));
        }
        CH(i, k, u) = (u == 0 || i == 0) ? s : mul(s, WA(u - 1, i));
      }
}

#undef CC
#undef CH
#undef WA

// One pass of radix R, on one line or on count interleaved lines.
template <bool Lines, int R>
FORCE_INLINE void pass(const Pass& ps, const COMPLEX* src, COMPLEX* dst, int count) {
  if constexpr (Lines)
    run_pass_lines<R>(ps, src, dst, count);
  else
    run_pass<R>(ps, src, dst);
}

// Runs the passes of a Stockham plan from in to out (distinct); in is not written. Interleaved
// lines take radices 2 to 5 and 8 only.
template <bool Lines>
FORCE_INLINE void stockham_body(const Passes& p, const COMPLEX* in, COMPLEX* out, COMPLEX* scratch,
                                int count, int first = 0) {
  const int np = static_cast<int>(p.passes.size());
  if (first >= np) {
    for (size_t c = 0; c < static_cast<size_t>(p.n) * count; c++) out[c] = in[c];
    return;
  }
  // Buffers alternate so that the last pass writes out.
  const COMPLEX* src = in;
  COMPLEX* dst = ((np - first) % 2 == 1) ? out : scratch;
  for (int s = first; s < np; s++) {
    const Pass& ps = p.passes[s];
    switch (ps.radix) {
      case 8:
        pass<Lines, 8>(ps, src, dst, count);
        break;
      case 4:
        pass<Lines, 4>(ps, src, dst, count);
        break;
      case 2:
        pass<Lines, 2>(ps, src, dst, count);
        break;
      case 3:
        pass<Lines, 3>(ps, src, dst, count);
        break;
      case 5:
        pass<Lines, 5>(ps, src, dst, count);
        break;
      default:
        if constexpr (!Lines) pass_generic(ps, src, dst);
    }
    src = dst;
    dst = (dst == out) ? scratch : out;
  }
}

// The sub-transforms of a first level of r blocks: block q of in becomes the transform (of p's
// length m) of the subsequence in[q + j r], read conjugated when conj is set. The first passes of
// all blocks read in (through out) before any block is written back. p's first pass has radix
// 2, 3, 4, 5 or 8.
FORCE_INLINE void blocks_body(const Passes& p, COMPLEX* in, int r, bool conj, COMPLEX* out,
                              COMPLEX* scratch) {
  const size_t m = static_cast<size_t>(p.n);
  const Pass& ps = p.passes[0];
  for (int q = 0; q < r; q++) {
    COMPLEX* dst = out + q * m;
    switch (ps.radix) {
      case 8:
        run_pass<8, true>(ps, in + q, dst, r, conj);
        break;
      case 4:
        run_pass<4, true>(ps, in + q, dst, r, conj);
        break;
      case 2:
        run_pass<2, true>(ps, in + q, dst, r, conj);
        break;
      case 3:
        run_pass<3, true>(ps, in + q, dst, r, conj);
        break;
      default:
        run_pass<5, true>(ps, in + q, dst, r, conj);
    }
  }
  for (int q = 0; q < r; q++) stockham_body<false>(p, out + q * m, in + q * m, scratch, 1, 1);
}

// finish for two neighbours.
FORCE_INLINE C2 finish(const C2& a, bool forward, double d) {
  C2 v = a;
  if (forward) v.v *= V4{1.0, -1.0, 1.0, -1.0};
  if (d != 1.0) v.v /= d;
  return v;
}
using fft_engine::finish;

// A radix-2 decimation-in-time level over the two halves of in, each a transform of length m:
// out[k0] = a + b root(k0), out[k0 + m] = a - b root(k0), finished as the line asks.
FORCE_INLINE void join2_body(const COMPLEX* __restrict in, int m, const COMPLEX* tw,
                             COMPLEX* __restrict out, bool forward, double d) {
  const int pairs = m / 2;
  for (int p = 0; p < pairs; p++) {
    const int k0 = 2 * p;
    const C2 a = load2(in + k0), b = twiddle(load2(in + k0 + m), load2(tw + k0));
    store2(out + k0, finish(a + b, forward, d));
    store2(out + k0 + m, finish(a - b, forward, d));
  }
  if (m % 2 == 1) {
    const int k0 = m - 1;
    const COMPLEX a = in[k0], b = twiddle(in[k0 + m], tw[k0]);
    out[k0] = finish(a + b, forward, d);
    out[k0 + m] = finish(a - b, forward, d);
  }
}

void stockham(const Passes& p, const COMPLEX* in, COMPLEX* out, COMPLEX* scratch) {
  stockham_body<false>(p, in, out, scratch, 1);
}
void stockham_lines(const Passes& p, const COMPLEX* in, COMPLEX* out, COMPLEX* scratch, int count) {
  stockham_body<true>(p, in, out, scratch, count);
}
void blocks(const Passes& p, COMPLEX* in, int r, bool conj, COMPLEX* out, COMPLEX* scratch) {
  blocks_body(p, in, r, conj, out, scratch);
}
void join2(const COMPLEX* in, int m, const COMPLEX* tw, COMPLEX* out, bool forward, double d) {
  join2_body(in, m, tw, out, forward, d);
}

#undef FORCE_INLINE

constexpr FftKernels kKernels{
    .stockham = stockham, .stockham_lines = stockham_lines, .blocks = blocks, .join2 = join2};
