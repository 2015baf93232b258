// Keys of pixels and their leaf words by table.
#include "processing/kernels/intrinsics.h"
#include "tools/zoom/leaf_keys_internal.h"

#include <algorithm>

namespace kelt {
namespace detail {

KeyLayout key_layout(const IMGBIN& in, const VETOR<PONTOI2>& window, const ZoomNodeList& nodes) {
  KeyLayout k;
  const int n = window.n;
  std::vector<char> tested(n > 0 ? n : 0, 0);
  for (int i = 0; i < nodes.count; i++)
    if (nodes.node[i].b != kLeaf && nodes.node[i].a < static_cast<uint32_t>(n))
      tested[nodes.node[i].a] = 1;
  auto live = [&](int e) {
    const PONTOI2& p = window.data[e];
    return tested[e] && p.lin > -in.nl() && p.lin < in.nl() && p.col > -in.nc() && p.col < in.nc();
  };
  bool any = false;
  for (int e = 0; e < n; e++) {
    if (!live(e)) continue;
    const PONTOI2& p = window.data[e];
    if (!any) {
      k.drmin = k.drmax = p.lin;
      k.dcmin = k.dcmax = p.col;
      any = true;
    }
    k.drmin = std::min<int64_t>(k.drmin, p.lin);
    k.drmax = std::max<int64_t>(k.drmax, p.lin);
    k.dcmin = std::min<int64_t>(k.dcmin, p.col);
    k.dcmax = std::max<int64_t>(k.dcmax, p.col);
  }
  k.usable = k.drmax - k.drmin < 8 && k.dcmax - k.dcmin < 8;
  if (!k.usable) return k;
  k.H = static_cast<int>(k.drmax - k.drmin + 1);
  k.W = static_cast<int>(k.dcmax - k.dcmin + 1);
  auto load_bit = [&](const PONTOI2& p) { return 8 * (p.col - k.dcmin) + (k.drmax - p.lin); };
  for (int e = 0; e < n; e++)
    if (live(e)) k.mask |= uint64_t(1) << load_bit(window.data[e]);
  // Key bit of each bit of the load: its rank among the mask's bits.
  int index[64];
  for (int i = 0; i < 64; i++) index[i] = (k.mask >> i) & 1 ? k.bits++ : -1;
  k.pos.assign(n > 0 ? n : 0, -1);
  for (int e = 0; e < n; e++)
    if (live(e)) k.pos[e] = index[load_bit(window.data[e])];
  k.lut.assign(k.W, std::vector<uint64_t>(256, 0));
  for (int j = 0; j < k.W; j++)
    for (int code = 0; code < 256; code++)
      for (int b = 0; b < k.H; b++)
        if (index[8 * j + b] >= 0 && ((code >> b) & 1))
          k.lut[j][code] |= uint64_t(1) << index[8 * j + b];
  return k;
}

const Spread spread;

// Keys of count pixels whose boxes start at box, box + 1, ...
template <int W>
void keys_by_table(const uint8_t* box, int count, const uint64_t (*lut)[256], uint64_t* keys) {
  for (int c = 0; c < count; c++) {
    uint64_t codes = load64(box + c), key = 0;
    for (int j = 0; j < W; j++) key |= lut[j][(codes >> (8 * j)) & 0xFF];
    keys[c] = key;
  }
}

KeysByTable keys_by_table_of(int W) {
  static const KeysByTable f[8] = {keys_by_table<1>, keys_by_table<2>, keys_by_table<3>,
                                   keys_by_table<4>, keys_by_table<5>, keys_by_table<6>,
                                   keys_by_table<7>, keys_by_table<8>};
  return f[W - 1];
}

__attribute__((target(VISTELMO_TARGET_AVX2))) void leaves_by_pext(const uint8_t* box, int count,
                                                                  uint64_t mask,
                                                                  const uint64_t* table,
                                                                  uint32_t* out, LeafMiss miss) {
  for (int c = 0; c < count; c++) {
    const uint64_t key = _pext_u64(load64(box + c), mask);
    const uint64_t e = table[key];
    out[c] = (e >> 32) != 0 ? static_cast<uint32_t>(e) : miss.fn(miss.ctx, key);
  }
}

// The same with keys by column tables.
template <int W>
void leaves_by_table(const uint8_t* box, int count, const uint64_t (*lut)[256],
                     const uint64_t* table, uint32_t* out, LeafMiss miss) {
  for (int c = 0; c < count; c++) {
    uint64_t codes = load64(box + c), key = 0;
    for (int j = 0; j < W; j++) key |= lut[j][(codes >> (8 * j)) & 0xFF];
    const uint64_t e = table[key];
    out[c] = (e >> 32) != 0 ? static_cast<uint32_t>(e) : miss.fn(miss.ctx, key);
  }
}

LeavesByTable leaves_by_table_of(int W) {
  static const LeavesByTable f[8] = {leaves_by_table<1>, leaves_by_table<2>, leaves_by_table<3>,
                                     leaves_by_table<4>, leaves_by_table<5>, leaves_by_table<6>,
                                     leaves_by_table<7>, leaves_by_table<8>};
  return f[W - 1];
}

__attribute__((target(VISTELMO_TARGET_AVX2))) void keys_by_pext(const uint8_t* box, int count,
                                                                uint64_t mask, uint64_t* keys) {
  for (int c = 0; c < count; c++) keys[c] = _pext_u64(load64(box + c), mask);
}

__attribute__((target(VISTELMO_TARGET_AVX2))) void leaves_small_avx2(const uint8_t* box, int count,
                                                                     const SmallKeys& s,
                                                                     uint32_t* out) {
  __m256i t[4];
  for (int q = 0; q < 4; q++)
    t[q] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s.leaf + 8 * q));
  for (int c = 0; c < count; c += 32) {
    const __m256i key = small_keys(box + c, s);
    alignas(32) uint8_t kb[32];
    _mm256_store_si256(reinterpret_cast<__m256i*>(kb), key);
    alignas(32) uint32_t tail[32];
    uint32_t* w = c + 32 <= count ? out + c : tail;  // the row's last words go through tail
    for (int g = 0; g < 4; g++) {
      const __m256i k =
          _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(kb + 8 * g)));
      const __m256 b3 = _mm256_castsi256_ps(_mm256_slli_epi32(k, 28));  // sign: key bit 3
      const __m256 b4 = _mm256_castsi256_ps(_mm256_slli_epi32(k, 27));  // sign: key bit 4
      __m256 w4[4];
      for (int q = 0; q < 4; q++) w4[q] = _mm256_castsi256_ps(_mm256_permutevar8x32_epi32(t[q], k));
      const __m256 lo = _mm256_blendv_ps(w4[0], w4[1], b3);
      const __m256 hi = _mm256_blendv_ps(w4[2], w4[3], b3);
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(w + 8 * g),
                          _mm256_castps_si256(_mm256_blendv_ps(lo, hi, b4)));
    }
    if (w == tail) std::memcpy(out + c, tail, sizeof(uint32_t) * static_cast<size_t>(count - c));
  }
}

__attribute__((target(VISTELMO_TARGET_AVX2))) void shift_in_avx2(const uint32_t* row, int words,
                                                                 uint8_t* col, int H, bool upward) {
  // Column j of a word is bit 7 - j % 8 of its byte 3 - j / 8.
  const __m256i byte_of = _mm256_setr_epi8(3, 3, 3, 3, 3, 3, 3, 3, 2, 2, 2, 2, 2, 2, 2, 2, 1, 1, 1,
                                           1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0);
  const __m256i bit_of = _mm256_set1_epi64x(0x0102040810204080ll);
  const __m256i enter = _mm256_set1_epi8(static_cast<char>(upward ? 1 << (H - 1) : 1));
  const __m256i keep = _mm256_set1_epi8(static_cast<char>(upward ? 0x7F : ((1 << H) - 1) & 0xFE));
  for (int w = 0; w < words; w++) {
    const __m256i b = _mm256_and_si256(
        _mm256_shuffle_epi8(_mm256_set1_epi32(static_cast<int>(row[w])), byte_of), bit_of);
    const __m256i s = _mm256_and_si256(_mm256_cmpeq_epi8(b, bit_of), enter);
    __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(col + 32 * w));
    v = upward ? _mm256_srli_epi16(v, 1) : _mm256_add_epi8(v, v);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(col + 32 * w),
                        _mm256_or_si256(_mm256_and_si256(v, keep), s));
  }
}

__attribute__((target(VISTELMO_TARGET_AVX2))) void merge_in_avx2(const uint32_t* row, int words,
                                                                 uint8_t* col, int bit) {
  const __m256i byte_of = _mm256_setr_epi8(3, 3, 3, 3, 3, 3, 3, 3, 2, 2, 2, 2, 2, 2, 2, 2, 1, 1, 1,
                                           1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0);
  const __m256i bit_of = _mm256_set1_epi64x(0x0102040810204080ll);
  const __m256i enter = _mm256_set1_epi8(static_cast<char>(1 << bit));
  for (int w = 0; w < words; w++) {
    const __m256i b = _mm256_and_si256(
        _mm256_shuffle_epi8(_mm256_set1_epi32(static_cast<int>(row[w])), byte_of), bit_of);
    const __m256i s = _mm256_and_si256(_mm256_cmpeq_epi8(b, bit_of), enter);
    __m256i* p = reinterpret_cast<__m256i*>(col + 32 * w);
    _mm256_storeu_si256(p, _mm256_or_si256(_mm256_loadu_si256(p), s));
  }
}

__attribute__((target(VISTELMO_TARGET_AVX2))) void halve_codes(uint8_t* col, size_t n) {
  const __m256i keep = _mm256_set1_epi8(0x7F);
  size_t i = 0;
  for (; i + 32 <= n; i += 32) {
    __m256i* p = reinterpret_cast<__m256i*>(col + i);
    _mm256_storeu_si256(p, _mm256_and_si256(_mm256_srli_epi16(_mm256_loadu_si256(p), 1), keep));
  }
  for (; i < n; i++) col[i] = static_cast<uint8_t>(col[i] >> 1);
}

__attribute__((target(VISTELMO_TARGET_AVX512))) void shift_in_avx512(const uint32_t* row, int words,
                                                                     uint8_t* col, int H,
                                                                     bool upward) {
  // Every 16-byte lane holds both words' bytes; column j of the 64 is bit 7 - j % 8 of byte
  // 4 (j / 32) + 3 - j % 32 / 8.
  alignas(64) uint8_t at[64];
  for (int j = 0; j < 64; j++) at[j] = static_cast<uint8_t>(4 * (j / 32) + 3 - j % 32 / 8);
  const __m512i byte_of = _mm512_load_si512(at);
  const __m512i bit_of = _mm512_set1_epi64(0x0102040810204080ll);
  const __m512i enter = _mm512_set1_epi8(static_cast<char>(upward ? 1 << (H - 1) : 1));
  const __m512i keep = _mm512_set1_epi8(static_cast<char>(upward ? 0x7F : ((1 << H) - 1) & 0xFE));
  int w = 0;
  for (; w + 2 <= words; w += 2) {
    const uint64_t two = uint64_t(row[w]) | uint64_t(row[w + 1]) << 32;
    const __mmask64 on = _mm512_test_epi8_mask(
        _mm512_shuffle_epi8(_mm512_set1_epi64(static_cast<long long>(two)), byte_of), bit_of);
    __m512i v = _mm512_loadu_si512(col + 32 * w);
    v = upward ? _mm512_srli_epi16(v, 1) : _mm512_add_epi8(v, v);
    _mm512_storeu_si512(
        col + 32 * w, _mm512_or_si512(_mm512_and_si512(v, keep), _mm512_maskz_mov_epi8(on, enter)));
  }
  if (w < words) shift_in_avx2(row + w, words - w, col + 32 * w, H, upward);
}

}  // namespace detail
}  // namespace kelt
