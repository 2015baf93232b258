// Block expansion of the zoom tool: each leaf word into its F x F block, by the tier's path.
#include <algorithm>
#include <cstring>

#include "processing/kernels/intrinsics.h"
#include "tools/zoom/expand_internal.h"
#include "tools/zoom/zoom.h"

namespace kelt {
namespace detail {

void swap_words(uint32_t* w, size_t n) {
  size_t j = 0;
  for (; j + 4 <= n; j += 4) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(w + j));
    v = _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
    v = _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, 0xB1), 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(w + j), v);
  }
  for (; j < n; j++) w[j] = __builtin_bswap32(w[j]);
}

__attribute__((target(VISTELMO_TARGET_AVX2))) void rows_from_keys_avx2(const uint8_t* box, int nc,
                                                                       int F, const SmallKeys& s,
                                                                       const KeyCells& kc,
                                                                       uint32_t* const* orow,
                                                                       int wpr) {
  const uint64_t mask = 0x0101010101010101ull * ((1u << F) - 1);
  const __m256i rev8 = _mm256_setr_epi8(7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6,
                                        5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8);
  const __m256i index =
      _mm256_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
                       22, 23, 24, 25, 26, 27, 28, 29, 30, 31);
  const size_t row_bytes = 4 * static_cast<size_t>(wpr);
  int live = 0;
  __m256i lo[7], hi[7];
  for (int br = 0; br < F; br++) {
    if (br * F >= 32) {
      std::memset(orow[br], 0, row_bytes);
      continue;
    }
    orow[br][wpr - 1] = 0;  // padding bits
    lo[br] =
        _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(kc.cell[br])));
    hi[br] = _mm256_broadcastsi128_si256(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(kc.cell[br] + 16)));
    live = br + 1;
  }
  for (int c = 0; c < nc; c += 32) {
    const __m256i key = small_keys(box + c, s);
    const __m256i upper = _mm256_slli_epi16(key, 3);  // bit 7 of each byte: key bit 4
    const int n = std::min(32, nc - c);
    const __m256i valid = _mm256_cmpgt_epi8(_mm256_set1_epi8(static_cast<char>(n)), index);
    for (int br = 0; br < live; br++) {
      __m256i x = _mm256_blendv_epi8(_mm256_shuffle_epi8(lo[br], key),
                                     _mm256_shuffle_epi8(hi[br], key), upper);
      x = _mm256_shuffle_epi8(_mm256_and_si256(x, valid), rev8);
      alignas(32) uint64_t q[4];
      _mm256_store_si256(reinterpret_cast<__m256i*>(q), x);
      uint8_t* row = reinterpret_cast<uint8_t*>(orow[br]);
      uint8_t* at = row + static_cast<size_t>(c) / 8 * F;
      for (int i = 0; 8 * i < n; i++, at += F) {
        const uint64_t bits = __builtin_bswap64(_pext_u64(q[i], mask) << (64 - 8 * F));
        if (at + 8 <= row + row_bytes) {
          store64(at, bits);
        } else {  // the row's end: only its bytes
          for (int b = 0; b < F && at + b < row + row_bytes; b++)
            at[b] = static_cast<uint8_t>(bits >> (8 * b));
        }
      }
    }
  }
}

// F = 4 with AVX2: 32 pattern words give four output words of each of the four block rows.
// The nibbles of each word are bit-reversed by table, paired across neighbouring words, then
// gathered by byte shuffles. Returns the number of pattern words done in each row.
__attribute__((target(VISTELMO_TARGET_AVX2))) int expand4_avx2(const uint32_t* u, int nc,
                                                               uint32_t* const* orow, bool file) {
  const __m128i order = file ? _mm_setr_epi8(3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12)
                             : _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  const __m256i low = _mm256_set1_epi8(0x0F);
  const __m256i rev4 = _mm256_setr_epi8(0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15, 0, 8,
                                        4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15);
  // Per lane, 16-bit slot r gets block row r of its four words: pick0 takes rows 0 and 2 from
  // t0, pick1 rows 1 and 3 from t1, the later pair of words in the low byte.
  const __m256i pick0 =
      _mm256_setr_epi8(8, 0, -1, -1, 9, 1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 8, 0, -1, -1, 9,
                       1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  const __m256i pick1 =
      _mm256_setr_epi8(-1, -1, 8, 0, -1, -1, 9, 1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 8, 0, -1,
                       -1, 9, 1, -1, -1, -1, -1, -1, -1, -1, -1);
  const int full = nc / 32;
  for (int k = 0; k < full; k++) {
    __m128i g[4];  // g[i]: the words of block rows 0..3 for pattern words 32 k + 8 i ...
    for (int i = 0; i < 4; i++) {
      __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(u + 32 * k + 8 * i));
      __m256i r0 = _mm256_shuffle_epi8(rev4, _mm256_and_si256(v, low));  // rows 0, 2
      __m256i r1 = _mm256_shuffle_epi8(rev4, _mm256_and_si256(_mm256_srli_epi16(v, 4), low));
      // Byte b of each pair: first word's nibble high, second word's low.
      __m256i t0 = _mm256_or_si256(_mm256_slli_epi64(r0, 4), _mm256_srli_epi64(r0, 32));
      __m256i t1 = _mm256_or_si256(_mm256_slli_epi64(r1, 4), _mm256_srli_epi64(r1, 32));
      __m256i s = _mm256_or_si256(_mm256_shuffle_epi8(t0, pick0), _mm256_shuffle_epi8(t1, pick1));
      g[i] = _mm_unpacklo_epi16(_mm256_extracti128_si256(s, 1), _mm256_castsi256_si128(s));
    }
    __m128i a = _mm_unpacklo_epi32(g[0], g[1]), b = _mm_unpacklo_epi32(g[2], g[3]);
    __m128i c = _mm_unpackhi_epi32(g[0], g[1]), d = _mm_unpackhi_epi32(g[2], g[3]);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(orow[0] + 4 * k),
                     _mm_shuffle_epi8(_mm_unpacklo_epi64(a, b), order));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(orow[1] + 4 * k),
                     _mm_shuffle_epi8(_mm_unpackhi_epi64(a, b), order));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(orow[2] + 4 * k),
                     _mm_shuffle_epi8(_mm_unpacklo_epi64(c, d), order));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(orow[3] + 4 * k),
                     _mm_shuffle_epi8(_mm_unpackhi_epi64(c, d), order));
  }
  return 32 * full;
}

// Output words of F in {1, 2, 4, 8}: 32 / F leaf words fill one word of each block row.
// With avx2 (F = 4 only), most of the row is done by expand4_avx2.
template <int F>
void expand_fast(const uint32_t* u, int nc, uint32_t* const* orow, bool avx2, bool file,
                 SameRun& same) {
  auto put = [file](uint32_t w) { return file ? __builtin_bswap32(w) : w; };
  constexpr int G = 32 / F;
  constexpr uint32_t M = (1u << F) - 1;
  uint32_t rev[1 << F];
  for (uint32_t s = 0; s <= M; s++) rev[s] = reverse32(s) >> (32 - F);
  auto seg = [&](uint32_t x, int br) { return br * F < 32 ? rev[(x >> (br * F)) & M] : 0u; };
  const int full = nc / G, rest = nc % G;
  int first = 0;
  if constexpr (F == 4)
    if (avx2) first = expand4_avx2(u, nc, orow, file) / G;
  for (int g = first; g < full; g++) {
    const uint32_t* q = u + g * G;
    uint32_t diff = 0;
    for (int i = 1; i < G; i++) diff |= q[i] ^ q[0];
    if (diff == 0) {  // a run of one word (blank page): the words are ready
      if (!same.have || same.u != q[0]) {
        for (int br = 0; br < F; br++) {
          uint32_t w = 0, s = seg(q[0], br);
          for (int i = 0; i < G; i++) w = (w << (F % 32)) | s;
          same.w[br] = w;
        }
        same.u = q[0];
        same.have = true;
      }
      for (int br = 0; br < F; br++) orow[br][g] = put(same.w[br]);
      continue;
    }
    for (int br = 0; br < F; br++) {
      uint32_t w = 0;
      for (int i = 0; i < G; i++) w = (w << (F % 32)) | seg(q[i], br);
      orow[br][g] = put(w);
    }
  }
  if (rest > 0) {
    const uint32_t* q = u + full * G;
    for (int br = 0; br < F; br++) {
      uint32_t w = 0;
      for (int i = 0; i < rest; i++) w = (w << F) | seg(q[i], br);
      orow[br][full] = put(w << (F * (G - rest)));
    }
  }
}

// Appends bit strings to an image row, most significant bit first.
class BitWriter {
 public:
  explicit BitWriter(uint32_t* p) : p_(p) {}
  void put(uint32_t v, int n) {  // n in 1..32, v below 2^n
    acc_ = (acc_ << n) | v;
    nb_ += n;
    if (nb_ >= 32) {
      nb_ -= 32;
      *p_++ = static_cast<uint32_t>(acc_ >> nb_);
      acc_ &= (uint64_t(1) << nb_) - 1;
    }
  }
  void zeros(int64_t n) {
    for (; n > 0; n -= 32) put(0, n > 32 ? 32 : static_cast<int>(n));
  }
  void flush() {
    if (nb_ > 0) *p_++ = static_cast<uint32_t>(acc_ << (32 - nb_));
    nb_ = 0;
    acc_ = 0;
  }

 private:
  uint32_t* p_;
  uint64_t acc_ = 0;
  int nb_ = 0;
};

// Any F >= 1, one block row at a time.
void expand_any(const uint32_t* u, int nc, int F, uint32_t* const* orow, int wpr) {
  uint8_t rev8[256];
  for (int s = 0; s < 256; s++) rev8[s] = static_cast<uint8_t>(reverse32(s) >> 24);
  for (int br = 0; br < F; br++) {
    const int64_t sh = int64_t(br) * F;
    if (sh >= 32) {  // cells from the 33rd on are black
      std::memset(orow[br], 0, sizeof(uint32_t) * static_cast<size_t>(wpr));
      continue;
    }
    const int take = F < 32 - sh ? F : static_cast<int>(32 - sh);
    const uint32_t mask = take == 32 ? ~0u : (1u << take) - 1;
    BitWriter bw(orow[br]);
    for (int c = 0; c < nc; c++) {
      uint32_t s = (u[c] >> sh) & mask;
      bw.put(take <= 8 ? uint32_t(rev8[s]) >> (8 - take) : reverse32(s) >> (32 - take), take);
      if (F > take) bw.zeros(F - take);
    }
    bw.flush();
  }
}

// F in 3..7 with AVX2 and BMI2, one block row at a time. Eight leaf words give eight cell
// groups (one byte each), which pext packs into F bytes of the row read least significant bit
// first; the row's words are then bit-reversed into the image's order. 32 equal leaf words
// (blank page) give F words kept from the last such run.
__attribute__((target(VISTELMO_TARGET_AVX2))) void expand_small_avx2(const uint32_t* u, int nc,
                                                                     int F, uint32_t* const* orow,
                                                                     int wpr, bool file,
                                                                     SameRun& same) {
  const uint64_t mask = 0x0101010101010101ull * ((1u << F) - 1);
  const __m256i cells = _mm256_set1_epi32((1 << F) - 1);
  const __m256i pick =
      _mm256_setr_epi8(0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, 4, 8, 12, -1,
                       -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  const __m256i join = _mm256_setr_epi32(0, 4, 1, 1, 1, 1, 1, 1);
  const __m256i low = _mm256_set1_epi8(0x0F);
  const __m256i rev_lo = _mm256_setr_epi8(0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15, 0,
                                          8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15);
  const __m256i rev_hi = _mm256_slli_epi16(rev_lo, 4);  // nibbles below 16: no carry across bytes
  const __m256i swap = _mm256_setr_epi8(3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12, 3, 2,
                                        1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12);
  const uint32_t M = (1u << F) - 1;
  const int full = nc / 32, rest = nc % 32;
  const size_t row_bytes = 4 * static_cast<size_t>(wpr);
  // The cell groups of k leaf words from q (k <= 8), block row shift sh, a byte each.
  auto groups = [&](const uint32_t* q, int k, int sh) {
    uint64_t x = 0;
    for (int i = 0; i < k; i++) x |= uint64_t((q[i] >> sh) & M) << (8 * i);
    return x;
  };
  // Block rows whose cells are all from the 33rd on are black; the others (the first live) are
  // made 32 leaf words at a time, all rows of a group together, then bit-reversed.
  const __m256i first_words =  // lanes 0 .. F - 1
      _mm256_cmpgt_epi32(_mm256_set1_epi32(F), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
  int live = 0;
  for (int br = 0; br < F; br++) {
    if (br * F >= 32) {
      std::memset(orow[br], 0, row_bytes);
    } else {
      orow[br][wpr - 1] = 0;  // padding bits
      live = br + 1;
    }
  }
  for (int k = 0; k < full; k++) {
    const uint32_t* q = u + 32 * k;
    __m256i v[4];
    for (int i = 0; i < 4; i++)
      v[i] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(q + 8 * i));
    const __m256i first = _mm256_set1_epi32(static_cast<int>(q[0]));
    const __m256i eq = _mm256_and_si256(
        _mm256_and_si256(_mm256_cmpeq_epi32(v[0], first), _mm256_cmpeq_epi32(v[1], first)),
        _mm256_and_si256(_mm256_cmpeq_epi32(v[2], first), _mm256_cmpeq_epi32(v[3], first)));
    if (_mm256_movemask_epi8(eq) == -1) {
      if (!same.have || same.u != q[0]) {
        const uint32_t run[8] = {q[0], q[0], q[0], q[0], q[0], q[0], q[0], q[0]};
        for (int b = 0; b < F; b++) {
          uint8_t bytes[4 * 7 + 8];
          const uint64_t bits = b * F < 32 ? _pext_u64(groups(run, 8, b * F), mask) : 0;
          for (int i = 0; i < 4; i++) store64(bytes + F * i, bits);
          std::memcpy(same.w + F * b, bytes, 4 * static_cast<size_t>(F));
        }
        same.u = q[0];
        same.have = true;
      }
      // A whole 32-byte store where the row's later words (rewritten after) take its tail;
      // a masked store (slow on some processors) only near the row's last word.
      const bool whole = F * k + 8 < wpr;
      for (int br = 0; br < live; br++) {
        const __m256i w = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(same.w + F * br));
        if (whole)
          _mm256_storeu_si256(reinterpret_cast<__m256i*>(orow[br] + F * k), w);
        else
          _mm256_maskstore_epi32(reinterpret_cast<int*>(orow[br] + F * k), first_words, w);
      }
      continue;
    }
    for (int br = 0; br < live; br++) {
      uint8_t* s = reinterpret_cast<uint8_t*>(orow[br]);
      const __m128i count = _mm_cvtsi32_si128(br * F);
      for (int i = 0; i < 4; i++) {
        __m256i x = _mm256_and_si256(_mm256_srl_epi32(v[i], count), cells);
        x = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(x, pick), join);
        const uint64_t bits = _pext_u64(_mm_cvtsi128_si64(_mm256_castsi256_si128(x)), mask);
        uint8_t* at = s + 4 * static_cast<size_t>(F) * k + static_cast<size_t>(F) * i;
        if (at + 8 <= s + row_bytes) {
          store64(at, bits);
        } else {  // the row's end: only its F bytes
          for (int b = 0; b < F; b++) at[b] = static_cast<uint8_t>(bits >> (8 * b));
        }
      }
    }
  }
  for (int br = 0; br < live; br++) {
    uint32_t* row = orow[br];
    uint8_t* s = reinterpret_cast<uint8_t*>(row);
    // The pixels past the last 32, eight at a time.
    for (int g = 0; 8 * g < rest; g++) {
      const int k = std::min(8, rest - 8 * g);
      const uint64_t bits = _pext_u64(groups(u + 32 * full + 8 * g, k, br * F), mask);
      std::memcpy(s + 4 * static_cast<size_t>(F) * full + static_cast<size_t>(F) * g, &bits,
                  (static_cast<size_t>(F) * k + 7) / 8);
    }
    int w = 0;
    for (; w + 8 <= wpr; w += 8) {
      __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + w));
      __m256i r = _mm256_or_si256(
          _mm256_shuffle_epi8(rev_hi, _mm256_and_si256(v, low)),
          _mm256_shuffle_epi8(rev_lo, _mm256_and_si256(_mm256_srli_epi16(v, 4), low)));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + w),
                          file ? r : _mm256_shuffle_epi8(r, swap));
    }
    for (; w < wpr; w++) row[w] = file ? __builtin_bswap32(reverse32(row[w])) : reverse32(row[w]);
  }
}

// F = 3 with AVX-512 VBMI, 64 leaf words at a time. A multishift takes each word's three cell
// groups a byte each and a byte permute bit-reverses them (the first cell highest); each block
// row's 64 groups are then gathered by two two-table permutes, packed three bits each with the
// first pixel highest by two multiply-adds and a shift, and their 24 bytes stored in the file's
// order. The last words go through a copy padded with zero words (black cells), and only the
// row's bytes are stored.
__attribute__((target(VISTELMO_TARGET_AVX512VBMI))) void expand3_avx512(const uint32_t* u, int nc,
                                                                        uint32_t* const* orow,
                                                                        int wpr, bool file) {
  // Qword i of a load holds words 2 i and 2 i + 1: bytes 0-2 take the first one's groups of
  // block rows 0, 1, 2 and bytes 3-5 the second one's.
  const __m512i take = _mm512_set1_epi64(0x0000262320060300ll);
  alignas(64) uint8_t rev[64], gather[3][64], pack[64];
  for (int v = 0; v < 64; v++) rev[v] = static_cast<uint8_t>((v & 1) << 2 | (v & 2) | (v & 4) >> 2);
  // Byte p of block row br's gather: the group of pixel p % 32 of the pair of loads (p < 32:
  // loads 0 and 1, else 2 and 3), at byte 8 i + 3 s + br of load l / 16 for l = p % 32, i = l %
  // 16 / 2, s = l % 2.
  for (int br = 0; br < 3; br++)
    for (int p = 0; p < 64; p++) {
      const int l = p % 32, i = l % 16 / 2, s = l % 2;
      gather[br][p] = static_cast<uint8_t>(64 * (l / 16) + 8 * i + 3 * s + br);
    }
  // Qword k of the packed groups holds pixels 8 k .. 8 k + 7 in its bits 23 .. 0: its bytes 2,
  // 1, 0 are the row's bytes 3 k .. 3 k + 2.
  for (int b = 0; b < 64; b++) pack[b] = b < 24 ? static_cast<uint8_t>(8 * (b / 3) + 2 - b % 3) : 0;
  const __m512i rev_v = _mm512_load_si512(rev), pack_v = _mm512_load_si512(pack);
  const __m512i gather_v[3] = {_mm512_load_si512(gather[0]), _mm512_load_si512(gather[1]),
                               _mm512_load_si512(gather[2])};
  const __m512i by8 = _mm512_set1_epi16(0x0108), by64 = _mm512_set1_epi32(0x00010040);
  const int64_t row_bytes = 4 * static_cast<int64_t>(wpr);
  alignas(64) uint32_t last[64];
  for (int c = 0; c < nc; c += 64) {
    const uint32_t* q = u + c;
    if (nc - c < 64) {
      std::memset(last, 0, sizeof last);
      std::memcpy(last, q, sizeof(uint32_t) * static_cast<size_t>(nc - c));
      q = last;
    }
    __m512i g[4];
    for (int i = 0; i < 4; i++)
      g[i] = _mm512_permutexvar_epi8(
          _mm512_multishift_epi64_epi8(take, _mm512_loadu_si512(q + 16 * i)), rev_v);
    const int64_t at = int64_t(c) / 64 * 24;
    const int64_t n = std::min<int64_t>(24, row_bytes - at);
    const __mmask64 keep = (uint64_t(1) << n) - 1;
    for (int br = 0; br < 3; br++) {
      const __m512i lo = _mm512_permutex2var_epi8(g[0], gather_v[br], g[1]);
      const __m512i hi = _mm512_permutex2var_epi8(g[2], gather_v[br], g[3]);
      const __m512i groups = _mm512_mask_blend_epi8(0xFFFFFFFF00000000ull, lo, hi);
      const __m512i z = _mm512_madd_epi16(_mm512_maddubs_epi16(groups, by8), by64);
      const __m512i r = _mm512_or_si512(_mm512_slli_epi64(z, 12), _mm512_srli_epi64(z, 32));
      _mm512_mask_storeu_epi8(reinterpret_cast<uint8_t*>(orow[br]) + at, keep,
                              _mm512_permutexvar_epi8(pack_v, r));
    }
  }
  if (!file)
    for (int br = 0; br < 3; br++) swap_words(orow[br], static_cast<size_t>(wpr));
}

// One pixel at a time: the block's cells in order, least significant bit first.
void expand_pixels(const uint32_t* u, int nc, int F, uint32_t* const* orow, int wpr) {
  for (int br = 0; br < F; br++)
    std::memset(orow[br], 0, sizeof(uint32_t) * static_cast<size_t>(wpr));
  for (int c = 0; c < nc; c++) {
    uint32_t x = u[c];
    for (int br = 0; br < F; br++)
      for (int bc = 0; bc < F; bc++) {
        const int64_t q = int64_t(c) * F + bc;
        if (x & 1u) orow[br][q >> 5] |= 0x80000000u >> (q & 31);
        x >>= 1;
      }
  }
}

void RowExpander::row(const uint32_t* u, uint32_t* const* orow, bool file) {
  if (tier_ == Tier::plain) {
    expand_pixels(u, nc_, F_, orow, wpr_);
    if (file)
      for (int br = 0; br < F_; br++) swap_words(orow[br], static_cast<size_t>(wpr_));
    return;
  }
  using Fast = void (*)(const uint32_t*, int, uint32_t* const*, bool, bool, SameRun&);
  static const Fast fast[9] = {nullptr, expand_fast<1>, expand_fast<2>,
                               nullptr, expand_fast<4>, nullptr,
                               nullptr, nullptr,        expand_fast<8>};
  if (F_ <= 8 && fast[F_] != nullptr) {
    fast[F_](u, nc_, orow, avx2_, file, same_);
  } else if (F_ == 3 && vbmi_) {
    expand3_avx512(u, nc_, orow, wpr_, file);
  } else if (small_) {
    expand_small_avx2(u, nc_, F_, orow, wpr_, file, same_);
  } else {
    expand_any(u, nc_, F_, orow, wpr_);
    if (file)
      for (int br = 0; br < F_; br++) swap_words(orow[br], static_cast<size_t>(wpr_));
  }
}

}  // namespace detail

using namespace detail;

namespace {

void expand_with(const MATRIZ<uint32_t>& pattern, int F, IMGBIN& out, Tier tier) {
  if (F <= 0 || out.rows == nullptr || pattern.data == nullptr) return;
  RowExpander ex(F, pattern.nc(), out.wpr, tier);
  for (int l = 0; l < pattern.nl(); l++)
    ex.row(pattern.data + static_cast<size_t>(l) * pattern.nc(),
           out.rows + static_cast<size_t>(l) * F, false);
}

}  // namespace

void expand(const MATRIZ<uint32_t>& pattern, int F, IMGBIN& out) {
  expand_with(pattern, F, out, Tier::dispatched);
}

void expand_portable(const MATRIZ<uint32_t>& pattern, int F, IMGBIN& out) {
  expand_with(pattern, F, out, Tier::portable);
}

void expand_plain(const MATRIZ<uint32_t>& pattern, int F, IMGBIN& out) {
  if (F <= 0 || out.rows == nullptr) return;
  for (int l = 0; l < pattern.nl(); l++)
    for (int c = 0; c < pattern.nc(); c++) {
      uint32_t u = pattern(l, c);
      for (int r = l * F; r < l * F + F; r++)
        for (int q = c * F; q < c * F + F; q++) {
          out(r, q) = (u & 1u) != 0;
          u >>= 1;
        }
    }
}

}  // namespace kelt
