// The inner rows' lanes (resample_rows.h's Lanes: positions<kNearest> fills a chunk's groups,
// blend writes its inside and edge groups), built once per level inside the includer's namespace
// (after vector_ops_body.h), which first sets kLanes, the doubles of a vector (4: AVX2, 8:
// AVX-512). A group of eight columns is kGroup / kLanes vectors. Every value takes the scalar
// forms' operations in their order.

typedef double Doubles __attribute__((vector_size(8 * kLanes)));
typedef int64_t Longs __attribute__((vector_size(8 * kLanes)));
typedef uint64_t Words __attribute__((vector_size(8 * kLanes)));
typedef int32_t Ints __attribute__((vector_size(4 * kLanes)));
typedef uint32_t Uints __attribute__((vector_size(4 * kLanes)));
typedef float Floats __attribute__((vector_size(4 * kLanes)));
typedef float FloatPairs __attribute__((vector_size(8 * kLanes)));
typedef uint8_t IntBytes __attribute__((vector_size(4 * kLanes)));
constexpr int kSteps = kGroup / kLanes;

// The operations generic vectors do not spell: broadcasts (exact for -0.0 and NaN), floor and
// truncation, the processor's min and max (NaN against a bound gives the bound), and a mask's
// lanes as bits.
// (Templates, so that only the branch of this width is compiled.)
template <class V = Doubles>
[[gnu::always_inline]] inline V splat(double v) {
  if constexpr (sizeof(V) == 64)
    return (V)_mm512_set1_pd(v);
  else
    return (V)_mm256_set1_pd(v);
}
template <class V = Floats>
[[gnu::always_inline]] inline V splat(float v) {
  if constexpr (sizeof(V) == 32)
    return (V)_mm256_set1_ps(v);
  else
    return (V)_mm_set1_ps(v);
}
template <int kMode, class V>
[[gnu::always_inline]] inline V rounded(V v) {
  if constexpr (sizeof(V) == 64)
    return (V)_mm512_roundscale_pd((__m512d)v, kMode | _MM_FROUND_NO_EXC);
  else
    return (V)_mm256_round_pd((__m256d)v, kMode | _MM_FROUND_NO_EXC);
}
[[gnu::always_inline]] inline Doubles floored(Doubles v) {
  return rounded<_MM_FROUND_TO_NEG_INF>(v);
}
template <class V>
[[gnu::always_inline]] inline V most(V v, V hi) {
  if constexpr (sizeof(V) == 64)
    return (V)_mm512_min_pd((__m512d)v, (__m512d)hi);
  else
    return (V)_mm256_min_pd((__m256d)v, (__m256d)hi);
}
template <class V>
[[gnu::always_inline]] inline V least(V v, V lo) {
  if constexpr (sizeof(V) == 64)
    return (V)_mm512_max_pd((__m512d)v, (__m512d)lo);
  else
    return (V)_mm256_max_pd((__m256d)v, (__m256d)lo);
}
// Conversions, each one instruction of the width (the generic conversions go in halves or lane
// by lane here): ints or floats to doubles, doubles truncated to ints or rounded to floats, and
// kLanes bytes or words widened to ints.
template <class I>
[[gnu::always_inline]] inline Doubles to_doubles(I v) {
  if constexpr (sizeof(I) == 32)
    return (Doubles)_mm512_cvtepi32_pd((__m256i)v);
  else
    return (Doubles)_mm256_cvtepi32_pd((__m128i)v);
}
template <class F>
[[gnu::always_inline]] inline Doubles floats_to_doubles(F v) {
  if constexpr (sizeof(F) == 32)
    return (Doubles)_mm512_cvtps_pd((__m256)v);
  else
    return (Doubles)_mm256_cvtps_pd((__m128)v);
}
template <class D>
[[gnu::always_inline]] inline Floats to_floats(D v) {
  if constexpr (sizeof(D) == 64)
    return (Floats)_mm512_cvtpd_ps((__m512d)v);
  else
    return (Floats)_mm256_cvtpd_ps((__m256d)v);
}
template <class D>
[[gnu::always_inline]] inline Ints truncated(D v) {
  if constexpr (sizeof(D) == 64)
    return (Ints)_mm512_cvttpd_epi32((__m512d)v);
  else
    return (Ints)_mm256_cvttpd_epi32((__m256d)v);
}
template <class V = Ints>
[[gnu::always_inline]] inline V widen_bytes(const unsigned char* p) {
  if constexpr (sizeof(V) == 32)
    return (V)_mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
  else
    return (V)_mm_cvtepu8_epi32(_mm_cvtsi32_si128(load_vector<int32_t>(p)));
}
template <class V = Ints>
[[gnu::always_inline]] inline V widen_words(const uint16_t* p) {
  if constexpr (sizeof(V) == 32)
    return (V)_mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
  else
    return (V)_mm_cvtepu16_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
}
// Ints within [0, 255] stored as kLanes bytes.
template <class I>
[[gnu::always_inline]] inline void store_bytes(unsigned char* out, I v) {
  if constexpr (sizeof(I) == 32) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm256_cvtepi32_epi8((__m256i)v));
  } else {
    const __m128i b = _mm_packus_epi16(_mm_packus_epi32((__m128i)v, (__m128i)v), (__m128i)v);
    store_vector(out, _mm_cvtsi128_si32(b));
  }
}

// v clamped to [lo, hi], NaN to lo.
[[gnu::always_inline]] inline Doubles clamp(Doubles v, double lo, double hi) {
  return most(least(v, splat(lo)), splat(hi));
}
// Lanes of v within [lo, hi] (NaN not), as bits (lane n at bit n).
template <class V>
[[gnu::always_inline]] inline int within(V v, double lo, double hi) {
  if constexpr (sizeof(V) == 64)
    return _mm512_mask_cmp_pd_mask(_mm512_cmp_pd_mask((__m512d)v, _mm512_set1_pd(lo), _CMP_GE_OQ),
                                   (__m512d)v, _mm512_set1_pd(hi), _CMP_LE_OQ);
  else
    return _mm256_movemask_pd((__m256d)((v >= splat(lo)) & (v <= splat(hi))));
}
// Rounded with halves away from zero, for |v| <= kFar: v + copysign(kHalfDown, v) truncated.
[[gnu::always_inline]] inline Doubles round_half_away(Doubles v) {
  const Longs half = ((Longs)v & (Longs)splat(-0.0)) | (Longs)splat(kHalfDown);
  return rounded<_MM_FROUND_TO_ZERO>(v + (Doubles)half);
}
// a where the lanes' bits (lane n at bit n) are clear, b where they are set.
template <class V>
[[gnu::always_inline]] inline V pick(int bits, V a, V b) {
  if constexpr (sizeof(V) == 64) {
    return (V)_mm512_mask_blend_pd(static_cast<__mmask8>(bits), (__m512d)a, (__m512d)b);
  } else if constexpr (kLanes == 8) {
    return (V)_mm256_mask_blend_ps(static_cast<__mmask8>(bits), (__m256)a, (__m256)b);
  } else {
    typedef std::conditional_t<sizeof(V) == 32, int64_t, int32_t> Lane;
    typedef Lane Mask __attribute__((vector_size(sizeof(V))));
    Mask lane;
    for (int n = 0; n < kLanes; n++) lane[n] = Lane{1} << n;
    const Mask mask = ((Mask{} + bits) & lane) == lane;
    return (V)(((Mask)a & ~mask) | ((Mask)b & mask));
  }
}

struct Lanes {
  // Offsets (row stride + col) of kLanes positions, truncated to int.
  static void offset(int* to, Doubles row, Doubles col, const InnerBounds& b) {
    store_vector(to, truncated(row * splat(b.stride) + col));
  }

  // Floored (or rounded, kNearest) positions of a chunk's groups; m and b by value, as stores into
  // k could otherwise change them.
  template <bool kNearest>
  static void positions(const RowMap m, const InnerBounds b, int c0, int groups, InnerChunk& k) {
    const Doubles p = splat(m.p), q = splat(m.q), ox = splat(b.ox), oy = splat(b.oy);
    const double* cterm = m.cterm + (c0 - m.first);
    const double* sterm = m.sterm + (c0 - m.first);
    if (kSteps > 1 && ends_inside<kNearest>(m, b, c0, c0 + groups * kGroup - 1)) {
      // Every group inside: no clamps, no tests (with a group one vector, that saves little
      // against the check).
      for (int j = 0; j < groups * kGroup; j += kLanes) {
        const Doubles xs = load_vector<Doubles>(cterm + j) + p;
        const Doubles ys = load_vector<Doubles>(sterm + j) + q;
        Doubles ix, iy;
        if (kNearest) {
          ix = round_half_away(xs);
          iy = round_half_away(ys);
        } else {
          ix = floored(xs);
          iy = floored(ys);
          store_vector(k.dx + j, xs - ix);
          store_vector(k.dy + j, ys - iy);
        }
        offset(k.off[0] + j, oy - iy, ox + ix, b);
      }
      for (int g = 0; g < groups; g++) k.kind[g] = kInside;
      return;
    }
    const Doubles one = splat(1.0);
    for (int g = 0; g < groups; g++) {
      Doubles ix[kSteps], iy[kSteps];
      int in = 0;
      for (int h = 0; h < kSteps; h++) {
        const int j = g * kGroup + kLanes * h;
        const Doubles xs = load_vector<Doubles>(cterm + j) + p;
        const Doubles ys = load_vector<Doubles>(sterm + j) + q;
        const Doubles cx = clamp(xs, -kFar, kFar), cy = clamp(ys, -kFar, kFar);
        if (kNearest) {
          ix[h] = round_half_away(cx);
          iy[h] = round_half_away(cy);
        } else {
          ix[h] = floored(cx);
          iy[h] = floored(cy);
          store_vector(k.dx + j, xs - ix[h]);
          store_vector(k.dy + j, ys - iy[h]);
        }
        in |= (within(ix[h], b.x0, b.x1) & within(iy[h], b.y0, b.y1)) << kLanes * h;
      }
      k.kind[g] = in == 0xFF ? kInside : b.edges ? kEdge : kOther;
      for (int n = 0; n < 4; n++) k.outside[n][g] = 0;
      for (int h = 0; h < kSteps; h++) {
        const int j = g * kGroup + kLanes * h;
        const Doubles row = oy - iy[h], col = ox + ix[h];
        if (k.kind[g] == kInside) {
          offset(k.off[0] + j, row, col, b);
        } else if (k.kind[g] == kEdge) {
          // Rows row, row - 1 and columns col, col + 1 (nearest: row and col alone).
          const Doubles r[2] = {row, row - one};
          const Doubles c[2] = {col, col + one};
          for (int n = 0; n < (kNearest ? 1 : 4); n++) {
            const Doubles rn = r[n & 1], cn = c[n >> 1];
            offset(k.off[n] + j, clamp(rn, 0, b.last_row), clamp(cn, 0, b.last_col), b);
            if (b.plain) {
              const int on = within(rn, 0, b.last_row) & within(cn, 0, b.last_col);
              k.outside[n][g] |= (~on & ((1 << kLanes) - 1)) << kLanes * h;
            }
          }
        }
      }
    }
  }

  // The four weights of kLanes positions, in SampleQuad's order.
  static void weights(const InnerChunk& k, int j, Doubles w[4]) {
    const Doubles one = splat(1.0);
    const Doubles dx = load_vector<Doubles>(k.dx + j), dy = load_vector<Doubles>(k.dy + j);
    const Doubles ex = one - dx, ey = one - dy;
    w[0] = ex * ey, w[1] = ex * dy, w[2] = dx * ey, w[3] = dx * dy;
  }
  // w0 s00 + w1 s01 + w2 s10 + w3 s11 in that order.
  static Doubles blend_sum(const Doubles w[4], const Doubles s[4]) {
    Doubles v = w[0] * s[0];
    for (int n = 1; n < 4; n++) v = v + w[n] * s[n];
    return v;
  }
  // The same for bytes: clamped to [0, 255] (NaN to 0), plus kHalfDown, truncated.
  static Ints blend_bytes(const Doubles w[4], const Doubles s[4]) {
    return truncated(clamp(blend_sum(w, s), 0, 255) + splat(kHalfDown));
  }
  // Samples of edge group g, step h, from lane values v: the outside value where sample n lies off
  // the block.
  static Doubles edge(Doubles v, Doubles back, const InnerChunk& k, int n, int g, int h) {
    return pick(k.outside[n][g] >> kLanes * h, v, back);
  }

  static void blend(unsigned char* out, const InnerChunk& k, const uint16_t* top,
                    const uint16_t* bottom, const unsigned char (*samples)[kRowBlock],
                    unsigned char outside, int groups) {
    const Doubles back = splat(static_cast<double>(outside));
    for (int g = 0; g < groups; g++) {
      if (k.kind[g] == kOther) continue;
      for (int h = 0; h < kSteps; h++) {
        const int j = g * kGroup + kLanes * h;
        Doubles w[4], s[4];
        weights(k, j, w);
        if (k.kind[g] == kInside) {
          const Ints t = widen_words(top + j), u = widen_words(bottom + j);
          s[0] = to_doubles(t & 0xFF), s[1] = to_doubles(u & 0xFF);
          s[2] = to_doubles(t >> 8), s[3] = to_doubles(u >> 8);
        } else {
          for (int n = 0; n < 4; n++)
            s[n] = edge(to_doubles(widen_bytes(samples[n] + j)), back, k, n, g, h);
        }
        store_bytes(out + j, blend_bytes(w, s));
      }
    }
  }

  // Floats: the first and the second floats of kLanes words, then the blend rounded to float.
  template <size_t... I>
  static void halves(const uint64_t* words, Doubles& first, Doubles& second,
                     std::index_sequence<I...>) {
    const FloatPairs v = load_vector<FloatPairs>(words);
    first = floats_to_doubles(__builtin_shufflevector(v, v, (2 * I)...));
    second = floats_to_doubles(__builtin_shufflevector(v, v, (2 * I + 1)...));
  }
  static void blend(float* out, const InnerChunk& k, const uint64_t* top, const uint64_t* bottom,
                    const float (*samples)[kRowBlock], float outside, int groups) {
    const Doubles back = splat(static_cast<double>(outside));
    for (int g = 0; g < groups; g++) {
      if (k.kind[g] == kOther) continue;
      for (int h = 0; h < kSteps; h++) {
        const int j = g * kGroup + kLanes * h;
        Doubles w[4], s[4];
        weights(k, j, w);
        if (k.kind[g] == kInside) {
          halves(top + j, s[0], s[2], std::make_index_sequence<kLanes>());
          halves(bottom + j, s[1], s[3], std::make_index_sequence<kLanes>());
        } else {
          for (int n = 0; n < 4; n++)
            s[n] = edge(floats_to_doubles(load_vector<Floats>(samples[n] + j)), back, k, n, g, h);
        }
        store_vector(out + j, to_floats(blend_sum(w, s)));
      }
    }
  }

  // Complex pixels: each part in single precision, the weights rounded to float, each product
  // and sum rounded. Part p of every fourth float of a and b (the words of kLanes samples).
  template <int kPart, size_t... I>
  static Floats part(FloatPairs a, FloatPairs b, std::index_sequence<I...>) {
    return __builtin_shufflevector(a, b, (4 * I + kPart)...);
  }
  // The real (kPart 0) or imaginary (1) parts of kLanes pixels.
  template <int kPart, size_t... I>
  static Floats pixel_part(FloatPairs v, std::index_sequence<I...>) {
    return __builtin_shufflevector(v, v, (2 * I + kPart)...);
  }
  // Real and imaginary parts side by side again.
  template <size_t... I>
  static FloatPairs interleave(Floats re, Floats im, std::index_sequence<I...>) {
    return __builtin_shufflevector(re, im, (I / 2 + (I % 2 ? kLanes : 0))...);
  }
  static void blend(std::complex<float>* out, const InnerChunk& k,
                    const PairWord<std::complex<float>>::Word* top,
                    const PairWord<std::complex<float>>::Word* bottom,
                    const std::complex<float> (*samples)[kRowBlock], std::complex<float> outside,
                    int groups) {
    const Floats back_re = splat(outside.real()), back_im = splat(outside.imag());
    const auto lanes = std::make_index_sequence<kLanes>();
    for (int g = 0; g < groups; g++) {
      if (k.kind[g] == kOther) continue;
      for (int h = 0; h < kSteps; h++) {
        const int j = g * kGroup + kLanes * h;
        Doubles w[4];
        weights(k, j, w);
        Floats re[4], im[4];  // of s00, s01, s10, s11
        if (k.kind[g] == kInside) {
          for (int r = 0; r < 2; r++) {
            const float* words = reinterpret_cast<const float*>((r == 0 ? top : bottom) + j);
            const FloatPairs a = load_vector<FloatPairs>(words);
            const FloatPairs b = load_vector<FloatPairs>(words + 2 * kLanes);
            re[r] = part<0>(a, b, lanes), im[r] = part<1>(a, b, lanes);
            re[2 + r] = part<2>(a, b, lanes), im[2 + r] = part<3>(a, b, lanes);
          }
        } else {
          for (int n = 0; n < 4; n++) {
            const FloatPairs v = load_vector<FloatPairs>(samples[n] + j);
            const int off = k.outside[n][g] >> kLanes * h;
            re[n] = pick(off, pixel_part<0>(v, lanes), back_re);
            im[n] = pick(off, pixel_part<1>(v, lanes), back_im);
          }
        }
        const Floats w0 = to_floats(w[0]);
        Floats vr = w0 * re[0], vi = w0 * im[0];
        for (int n = 1; n < 4; n++) {
          const Floats wn = to_floats(w[n]);
          vr = vr + wn * re[n];
          vi = vi + wn * im[n];
        }
        store_vector(out + j, interleave(vr, vi, std::make_index_sequence<2 * kLanes>()));
      }
    }
  }

  // Byte n of kLanes words, as doubles: converted on AVX-512; on AVX2 (which has no such
  // conversion) the byte under the bits of 2^52, less 2^52.
  template <class W>
  static Doubles byte_of(W words, int n) {
    const W b = (words >> (8 * n)) & 0xFF;
    if constexpr (sizeof(W) == 64) {
      return (Doubles)_mm512_cvtepi64_pd((__m512i)b);
    } else {
      const W magic = W{} + 0x4330000000000000;
      return (Doubles)(b | magic) - (Doubles)magic;
    }
  }
  // kLanes colour pixels from the low three bytes of each int: each four ints' sixteen bytes
  // packed into twelve within their lane, stored as eight and four.
  template <size_t... I>
  static void store_colour(COR* out, Ints px, std::index_sequence<I...>) {
    typedef uint8_t Lane __attribute__((vector_size(16)));
    unsigned char* o = reinterpret_cast<unsigned char*>(out);
    for (int q = 0; q < kLanes / 4; q++) {
      const IntBytes bytes = (IntBytes)px;
      const Lane lane = q == 0 ? __builtin_shufflevector(bytes, bytes, I...)
                               : __builtin_shufflevector(bytes, bytes, (I + 16 * (kLanes / 8))...);
      const __m128i packed = (__m128i)__builtin_shufflevector(lane, lane, 0, 1, 2, 4, 5, 6, 8, 9,
                                                              10, 12, 13, 14, 0, 0, 0, 0);
      _mm_storel_epi64(reinterpret_cast<__m128i*>(o + 12 * q), packed);
      store_vector(o + 12 * q + 8, _mm_extract_epi32(packed, 2));
    }
  }
  // Colour: the inside groups from their pair words; edge groups in colour_edge.
  static void blend(COR* out, const InnerChunk& k, const uint64_t* top, const uint64_t* bottom,
                    const uint32_t (*samples)[kRowBlock], const COR& outside, int groups) {
    for (int g = 0; g < groups; g++) {
      if (k.kind[g] == kEdge) colour_edge(out, k, samples, outside, g);
      if (k.kind[g] != kInside) continue;
      for (int h = 0; h < kSteps; h++) {
        const int j = g * kGroup + kLanes * h;
        Doubles w[4];
        weights(k, j, w);
        const Words t = load_vector<Words>(top + j), u = load_vector<Words>(bottom + j);
        Ints px = Ints{};
        for (int ch = 0; ch < 3; ch++) {
          const Doubles s[4] = {byte_of(t, ch), byte_of(u, ch), byte_of(t, 3 + ch),
                                byte_of(u, 3 + ch)};
          px |= blend_bytes(w, s) << 8 * ch;
        }
        store_colour(out + j, px, std::make_index_sequence<16>());
      }
    }
  }
  // Edge group g of colour pixels: samples r, g, b in one word, the outside colour by masks.
  [[gnu::noinline]] static void colour_edge(COR* out, const InnerChunk& k,
                                            const uint32_t (*samples)[kRowBlock],
                                            const COR& outside, int g) {
    const Doubles back[3] = {splat(static_cast<double>(outside.r)),
                             splat(static_cast<double>(outside.g)),
                             splat(static_cast<double>(outside.b))};
    for (int h = 0; h < kSteps; h++) {
      const int j = g * kGroup + kLanes * h;
      Doubles w[4];
      weights(k, j, w);
      Ints v[4];
      for (int n = 0; n < 4; n++) v[n] = load_vector<Ints>(samples[n] + j);
      Ints px = Ints{};
      for (int ch = 0; ch < 3; ch++) {
        Doubles s[4];
        for (int n = 0; n < 4; n++)
          s[n] = edge(to_doubles((v[n] >> 8 * ch) & 0xFF), back[ch], k, n, g, h);
        px |= blend_bytes(w, s) << 8 * ch;
      }
      store_colour(out + j, px, std::make_index_sequence<16>());
    }
  }
};
