// Tree pass and block expansion of the zoom tool.
#include "tools/zoom/zoom.h"

#include <immintrin.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "foundation/erro.h"
#include "foundation/memory_internal.h"
#include "processing/kernels/isa.h"

namespace kelt {

namespace {

const char* const kErrIndex = "Erro VETOR::operator() - Indice invalido";

inline bool pixel(const IMGBIN& in, int64_t r, int64_t c) {
  if (r >= 0 && r < in.nl() && c >= 0 && c < in.nc())
    return ((in.rows[r][c >> 5] >> (31 - (c & 31))) & 1u) != 0;
  return (in.backg & 1u) != 0;
}

// Progress lines at every step-th pixel (step at least 1), and 100 at the end.
class Progress {
 public:
  Progress(FILE* f, int64_t total)
      : f_(f), total_(total), step_(total / 100 > 0 ? total / 100 : 1) {}
  void at(int64_t counter) {
    if (counter == next_) {
      print(100.0 * static_cast<double>(counter) / static_cast<double>(total_));
      next_ += step_;
    }
  }
  void done() { print(100.0); }
  // True when a line is due at one of the count pixels from counter on.
  bool due_within(int64_t counter, int64_t count) const {
    return f_ != nullptr && next_ < counter + count;
  }

 private:
  void print(double v) {
    if (f_ != nullptr) std::fprintf(f_, "%10.3f%% concluded...\r", v);
  }
  FILE* f_;
  int64_t total_;
  int64_t step_;
  int64_t next_ = 0;
};

inline uint32_t reverse32(uint32_t x) {
  x = ((x >> 1) & 0x55555555u) | ((x & 0x55555555u) << 1);
  x = ((x >> 2) & 0x33333333u) | ((x & 0x33333333u) << 2);
  x = ((x >> 4) & 0x0F0F0F0Fu) | ((x & 0x0F0F0F0Fu) << 4);
  return __builtin_bswap32(x);
}

inline uint64_t load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}
inline void store64(uint8_t* p, uint64_t v) { std::memcpy(p, &v, 8); }

// The cache key of a pixel: the values of the window entries the tree tests that can land
// inside the image (live entries), one bit each. Their bounding box, H rows by W columns (at
// most 8 by 8), is read as W column codes of H bits (bit drmax - drow for row offset drow),
// which one 8-byte load brings in: byte j, bit b. The key keeps the live bits of that load in
// order (as pext with their mask does); per-column tables give the same key without BMI2.
struct KeyLayout {
  bool usable = false;
  int H = 1, W = 1, bits = 0;
  int64_t drmin = 0, drmax = 0, dcmin = 0, dcmax = 0;
  uint64_t mask = 0;                       // live bits of the load: bit 8 j + b
  std::vector<int> pos;                    // key bit of entry k, -1 when always outside
  std::vector<std::vector<uint64_t>> lut;  // lut[j][code]: key bits of column dcmin + j
};

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

// The walk with the window bits taken from a key.
uint32_t walk_key(const ZoomNode* node, const int* pos, uint32_t n, uint64_t key, bool outside) {
  int i = 0;
  while (node[i].b != kLeaf) {
    uint32_t e = node[i].a;
    if (e >= n) erro(kErrIndex, "");
    bool bit = pos[e] < 0 ? outside : ((key >> pos[e]) & 1u) != 0;
    i = bit ? node[i].b : i + 1;
  }
  return node[i].a;
}

// Leaf words by key: a table indexed by the key when it has few bits, else a direct-mapped
// cache of (leaf, key) pairs with 2^hash_bits entries. A leaf entry holds the leaf word in its
// low half and 1 in its high half once filled. The pages come from the system already clear;
// a table's are touched only when used, a cache's are all mapped at once (each would be read,
// then written: two faults a page).
class LeafCache {
 public:
  static constexpr int kDirectBits = 18;
  LeafCache(int bits, int hash_bits)
      : direct_(bits <= kDirectBits),
        shift_(direct_ ? 0 : 64 - hash_bits),
        table_(static_cast<uint64_t*>(
            std::calloc(direct_ ? size_t(1) << bits : size_t(2) << hash_bits, sizeof(uint64_t)))) {
    if (table_ == nullptr) erro(kErrAloca, "");
    // Hashing spreads keys over every page: the cache's pages are all mapped at once.
    if (!direct_) vistelmo::prefault(table_.get(), sizeof(uint64_t) * (size_t(2) << hash_bits));
  }
  bool direct() const { return direct_; }
  // The entries of a direct table, indexed by the key.
  uint64_t* table() { return table_.get(); }
  template <class Walk>
  uint32_t get(uint64_t key, Walk walk) {
    if (direct_) {
      uint64_t& e = table_[key];
      if ((e >> 32) == 0) e = walk(key) | (uint64_t(1) << 32);
      return static_cast<uint32_t>(e);
    }
    return hashed(key, walk);
  }
  // Leaf words of count keys of a hashed cache; a key equal to the one before takes its word.
  template <class Walk>
  void get_all(const uint64_t* keys, int count, uint32_t* out, Walk walk) {
    for (int c = 0; c < count; c++)
      out[c] = c > 0 && keys[c] == keys[c - 1] ? out[c - 1] : hashed(keys[c], walk);
  }

 private:
  uint64_t* entry(uint64_t key) {
    return table_.get() + 2 * ((key * 0x9E3779B97F4A7C15ull) >> shift_);
  }
  template <class Walk>
  uint32_t hashed(uint64_t key, Walk walk) {
    uint64_t* e = entry(key);
    if ((e[0] >> 32) != 0 && e[1] == key) return static_cast<uint32_t>(e[0]);
    e[0] = walk(key) | (uint64_t(1) << 32);
    e[1] = key;
    return static_cast<uint32_t>(e[0]);
  }
  struct Free {
    void operator()(uint64_t* p) const { std::free(p); }
  };
  bool direct_;
  int shift_;
  std::unique_ptr<uint64_t[], Free> table_;
};

// Leaf words of pairs of neighbouring pixels by the key of both (their boxes together, one
// column wider), when it has at most 63 bits: a direct-mapped cache of the pair key with bit 63
// set and the two words. The pages come from the system already clear.
class PairCache {
 public:
  static constexpr int kBits = 16;
  struct Entry {
    uint64_t key;
    uint32_t leaf[2];
  };
  PairCache() : table_(static_cast<Entry*>(std::calloc(size_t(1) << kBits, sizeof(Entry)))) {
    if (table_ == nullptr) erro(kErrAloca, "");
    vistelmo::prefault(table_.get(), sizeof(Entry) << kBits);
  }
  Entry& entry(uint64_t key2) { return table_[(key2 * 0x9E3779B97F4A7C15ull) >> (64 - kBits)]; }

 private:
  struct Free {
    void operator()(Entry* p) const { std::free(p); }
  };
  std::unique_ptr<Entry[], Free> table_;
};

// Leaf words of count pixels, two at a time by the pair cache (a pair whose key equals the one
// before takes its words); the words of a pair the cache lacks come from get(key) of each pixel.
// The boxes are at most 7 columns wide, so that one load holds both.
template <class Get>
__attribute__((target(VISTELMO_TARGET_AVX2))) void leaves_by_pairs(const uint8_t* box, int count,
                                                                   uint64_t mask, PairCache& pairs,
                                                                   Get& get, uint32_t* out) {
  const uint64_t mask2 = mask | (mask << 8);
  uint64_t prev = ~uint64_t(0);  // no pair key has bit 63
  int c = 0;
  for (; c + 2 <= count; c += 2) {
    const uint64_t load = load64(box + c);
    const uint64_t key2 = _pext_u64(load, mask2);
    if (key2 != prev) {
      PairCache::Entry& e = pairs.entry(key2);
      const uint64_t tag = key2 | (uint64_t(1) << 63);
      if (e.key != tag) {
        e.leaf[0] = get(_pext_u64(load, mask));
        e.leaf[1] = get(_pext_u64(load >> 8, mask));
        e.key = tag;
      }
      out[c] = e.leaf[0];
      out[c + 1] = e.leaf[1];
      prev = key2;
    } else {
      out[c] = out[c - 2];
      out[c + 1] = out[c - 1];
    }
  }
  if (c < count) out[c] = get(_pext_u64(load64(box + c), mask));
}

// Byte i of spread[b] is bit 7 - i of b: eight pixels of a row word onto eight column codes.
struct Spread {
  uint64_t v[256];
  Spread() {
    for (int b = 0; b < 256; b++) {
      v[b] = 0;
      for (int i = 0; i < 8; i++) v[b] |= uint64_t((b >> (7 - i)) & 1) << (8 * i);
    }
  }
};
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

using KeysByTable = void (*)(const uint8_t*, int, const uint64_t (*)[256], uint64_t*);

KeysByTable keys_by_table_of(int W) {
  static const KeysByTable f[8] = {keys_by_table<1>, keys_by_table<2>, keys_by_table<3>,
                                   keys_by_table<4>, keys_by_table<5>, keys_by_table<6>,
                                   keys_by_table<7>, keys_by_table<8>};
  return f[W - 1];
}

// The leaf word of a key that a direct table does not hold yet.
struct LeafMiss {
  uint32_t (*fn)(void* ctx, uint64_t key);
  void* ctx;
};

// Leaf words of count pixels straight from a direct table of pext keys.
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

using LeavesByTable = void (*)(const uint8_t*, int, const uint64_t (*)[256], const uint64_t*,
                               uint32_t*, LeafMiss);

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

// Keys of at most five bits and their leaf words, all known before the pass: key bit i is bit
// bit[i] of the column code at col[i] from the box's first.
struct SmallKeys {
  int bits = 0;
  int col[5] = {};
  uint8_t bit[5] = {};
  uint32_t leaf[32] = {};
};

// Leaf words of count pixels, 32 at a time: their keys are made a byte each from the column
// codes, and the words picked from the table by four permutes (bits 0-2 of the key) and two
// blends (bits 3 and 4). The codes are read up to 38 bytes past box + count.
__attribute__((target(VISTELMO_TARGET_AVX2))) void leaves_small_avx2(const uint8_t* box, int count,
                                                                     const SmallKeys& s,
                                                                     uint32_t* out) {
  __m256i t[4];
  for (int q = 0; q < 4; q++)
    t[q] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s.leaf + 8 * q));
  for (int c = 0; c < count; c += 32) {
    __m256i key = _mm256_setzero_si256();
    for (int i = 0; i < s.bits; i++) {
      const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(box + c + s.col[i]));
      const __m256i b = _mm256_set1_epi8(static_cast<char>(s.bit[i]));
      const __m256i on = _mm256_cmpeq_epi8(_mm256_and_si256(v, b), b);
      key = _mm256_or_si256(key, _mm256_and_si256(on, _mm256_set1_epi8(static_cast<char>(1 << i))));
    }
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

// Each word's bytes reversed (image words to file words and back), four words at a time.
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

// Block row br's cells of every small key's leaf word, a byte each, the first cell in bit F - 1
// (for F of 3 to 7; cells from the 33rd on are black).
struct KeyCells {
  uint8_t cell[7][32] = {};
  KeyCells(const SmallKeys& s, int F) {
    for (int br = 0; br < F && br * F < 32; br++)
      for (int key = 0; key < 32; key++) {
        const uint32_t x = s.leaf[key] >> (br * F);
        for (int j = 0; j < F; j++)
          if ((x >> j) & 1u) cell[br][key] |= static_cast<uint8_t>(1u << (F - 1 - j));
      }
  }
};

// The F output rows of a row of nc pixels straight from their small keys (F of 3 to 7), bytes in
// the file's order: for each 32 pixels, the keys are made as by leaves_small_avx2, each block
// row's cells looked up by key (two 16-byte tables and a blend), and every eight pixels' cells
// packed by pext with the first pixel highest, then stored with their bytes reversed. Pixels past
// nc give no cells.
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
    __m256i key = _mm256_setzero_si256();
    for (int i = 0; i < s.bits; i++) {
      const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(box + c + s.col[i]));
      const __m256i b = _mm256_set1_epi8(static_cast<char>(s.bit[i]));
      const __m256i on = _mm256_cmpeq_epi8(_mm256_and_si256(v, b), b);
      key = _mm256_or_si256(key, _mm256_and_si256(on, _mm256_set1_epi8(static_cast<char>(1 << i))));
    }
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

// Shifts the pixels of row words row[0..words-1] into column codes col[0..32 words - 1], 32
// columns a word: moving down the codes move up a bit and the pixel enters at bit 0, moving
// up they move down and it enters at bit H - 1 (H in 1..8).
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

// The tree evaluated for a word of 64 pixels at once: each inner node splits the word's mask of
// pixels by the tested entry's bits (white to b, black to the next node), and a mask that
// empties stops there, so the cost follows the distinct paths the word's pixels take.
//
// Input row r is kept in slot (r - drmin) mod H as bits in reading order, bit j of word v being
// the pixel at column 64 (v - 1) + dcmin + j (the outside value past the image), so that the
// entry at column offset dc reads words w + 1 and w + 2 shifted down by dc - dcmin for the 64
// pixels from column 64 w. Slot H holds the outside value, for entries that never land inside.
class WordWalk {
 public:
  // Compiled node: leaf (b == kLeaf) with its word in a; a test of row slot a >> 8 shifted by
  // a & 0xFF; or an entry outside the window (b == kFail), fatal when reached.
  static constexpr int32_t kFail = -2;

  WordWalk(const IMGBIN& in, const VETOR<PONTOI2>& window, const ZoomNodeList& nodes,
           const KeyLayout& k)
      : in_(in),
        k_(k),
        H_(static_cast<int>(k.drmax - k.drmin + 1)),
        words_((in.nc() + 63) / 64 + 2),
        outside_((in.backg & 1u) != 0) {
    const uint32_t n = static_cast<uint32_t>(window.n());
    node_.resize(nodes.count);
    for (int i = 0; i < nodes.count; i++) {
      const ZoomNode& z = nodes.node[i];
      if (z.b == kLeaf) {
        node_[i] = z;
      } else if (z.a >= n) {
        node_[i] = {0, kFail};
      } else if (k.pos[z.a] < 0) {  // never inside the image: the constant row
        node_[i] = {static_cast<uint32_t>(H_) << 8, z.b};
      } else {
        const PONTOI2& p = window.data[z.a];
        node_[i] = {
            static_cast<uint32_t>(p.lin - k.drmin) << 8 | static_cast<uint32_t>(p.col - k.dcmin),
            z.b};
      }
    }
    bits_.assign(static_cast<size_t>(H_ + 1) * words_, outside_ ? ~uint64_t(0) : 0);
    std::vector<uint64_t>(static_cast<size_t>(in.wpr + 1) / 2 + 2).swap(reading_);
    held_.assign(H_, INT64_MIN);
  }

  // Fills the slots of the window rows of row l that do not hold them yet (rows taken by the
  // cache leave the slots alone).
  void hold_rows(int64_t l) {
    for (int64_t r = l + k_.drmin; r <= l + k_.drmax; r++)
      if (held_[slot_of(r)] != r) load_row(r);
  }

  // Fills the slot of input row r.
  void load_row(int64_t r) {
    held_[slot_of(r)] = r;
    uint64_t* dst = bits_.data() + static_cast<size_t>(slot_of(r)) * words_;
    const uint64_t fill = outside_ ? ~uint64_t(0) : 0;
    const int nc = in_.nc();
    if (r < 0 || r >= in_.nl()) {
      std::fill(dst, dst + words_, fill);
      return;
    }
    // The row in reading order from column 0, outside value past nc.
    const uint32_t* row = in_.rows[r];
    const int n64 = (nc + 63) / 64;
    uint64_t* rd = reading_.data();
    for (int v = 0; v < n64; v++) {
      const uint32_t w0 = row[2 * v];
      const uint32_t w1 = 2 * v + 1 < in_.wpr ? row[2 * v + 1] : 0;
      rd[v] = uint64_t(reverse32(w0)) | uint64_t(reverse32(w1)) << 32;
    }
    if (nc % 64 != 0) {
      const uint64_t valid = (uint64_t(1) << (nc % 64)) - 1;
      rd[n64 - 1] = (rd[n64 - 1] & valid) | (fill & ~valid);
    }
    // bits[w] starts at column x0 + 64 w, x0 = dcmin - 64 = 64 q + t with 0 <= t < 64.
    const int64_t x0 = k_.dcmin - 64;
    const int64_t q = x0 >= 0 ? x0 / 64 : -((63 - x0) / 64);
    const int t = static_cast<int>(x0 - 64 * q);
    auto rw = [&](int64_t v) { return v >= 0 && v < n64 ? rd[v] : fill; };
    for (int w = 0; w < words_; w++) {
      const uint64_t a = rw(q + w), b = rw(q + w + 1);
      dst[w] = t == 0 ? a : (a >> t) | (b << (64 - t));
    }
  }

  // Leaf words of the pixels of mask (bit i: column 64 w + i) of the row whose window rows are
  // in the slots, into out[i]. Returns the pixels that reached an entry outside the window.
  uint64_t word(int w, uint64_t mask, int64_t first_slot, uint32_t* out) {
    uint64_t lo[kMaxRows + 1], hi[kMaxRows + 1];
    for (int s = 0; s <= H_; s++) {
      const int64_t slot = s == H_ ? H_ : (first_slot + s) % H_;
      const uint64_t* b = bits_.data() + static_cast<size_t>(slot) * words_ + w + 1;
      lo[s] = b[0];
      hi[s] = b[1];
    }
    struct Pending {
      int32_t i;
      uint64_t m;
    } stack[65];
    int sp = 0;
    uint64_t failed = 0;
    int32_t i = 0;
    uint64_t m = mask;
    const ZoomNode* node = node_.data();
    for (;;) {
      const ZoomNode z = node[i];
      if (z.b >= 0) {
        const uint32_t s = z.a >> 8, sh = z.a & 0xFF;
        const uint64_t bits = (lo[s] >> sh) | ((hi[s] << 1) << (63 - sh));
        const uint64_t m1 = m & bits, m0 = m & ~bits;
        // Both sides non-empty: white is kept for later. Without branches: the pixels' bits
        // are random deep in the tree.
        stack[sp] = {z.b, m1};
        sp += (m1 != 0) & (m0 != 0);
        const int32_t next = i + 1;
        i = m0 != 0 ? next : z.b;
        m = m0 != 0 ? m0 : m1;
        continue;
      }
      if (z.b == kLeaf) {
        if (m == ~uint64_t(0)) {
          std::fill(out, out + 64, z.a);
        } else {
          for (uint64_t r = m; r != 0; r &= r - 1) out[__builtin_ctzll(r)] = z.a;
        }
      } else {
        failed |= m;
      }
      if (sp == 0) break;
      --sp;
      i = stack[sp].i;
      m = stack[sp].m;
    }
    return failed;
  }

  static constexpr int kMaxRows = 8;

 private:
  const IMGBIN& in_;
  const KeyLayout& k_;
  int H_;
  int words_;
  bool outside_;
  std::vector<ZoomNode> node_;
  std::vector<uint64_t> bits_;     // H_ + 1 slots of words_ words; the last is all outside
  std::vector<uint64_t> reading_;  // one row in reading order
  std::vector<int64_t> held_;      // the input row in each slot

  int slot_of(int64_t r) const { return static_cast<int>(((r - k_.drmin) % H_ + H_) % H_); }
};

// Shortest span of pixels with all-white or all-black boxes that is filled directly.
constexpr int kMinSpan = 16;

// Leaf words of every input row by the cache, rows from the top or, upward, from the bottom.
// out.row(l) gives where row l's words go; out.done(l) follows once they are there. Keys beyond
// a direct table also have the word walk, and each row takes one of the two by how many keys
// the cache lately missed (both give the same words).
template <class Out>
void leaves_cached(const IMGBIN& in, const VETOR<PONTOI2>& window, const ZoomNodeList& nodes,
                   const KeyLayout& k, Progress& progress, bool pext, bool avx2, bool upward,
                   Out& out) {
  const int nl = in.nl(), nc = in.nc();
  const bool outside = (in.backg & 1u) != 0;
  const int H = k.H;
  const uint8_t code_out = outside ? uint8_t((1u << H) - 1) : 0;
  const uint64_t repH = 0x0101010101010101ull * ((1u << H) - 1);

  // Column codes of columns xlo..xend-1 (the row words are spread 8 or 32 columns at a time,
  // the keys are loaded 8 columns at a time, and uniform spans are sought 32 at a time). For
  // row l, bit b of a code is the pixel of row l + drmax - b.
  const int groups = (nc + 7) / 8;
  const int64_t xlo = std::min<int64_t>(0, k.dcmin);
  const int64_t xend = std::max<int64_t>({int64_t(nc) + k.dcmin + 64, 32 * int64_t(in.wpr), nc});
  std::vector<uint8_t> codes(static_cast<size_t>(xend - xlo), code_out);
  uint8_t* col = codes.data() - xlo;
  std::vector<uint32_t> outside_row(in.wpr > 0 ? in.wpr : 1, outside ? ~0u : 0u);
  const bool hashed = k.bits > LeafCache::kDirectBits;
  std::unique_ptr<WordWalk> words;
  if (hashed) words.reset(new WordWalk(in, window, nodes, k));
  // Row r enters at bit 0 (moving down) or at bit H - 1 (moving up).
  auto shift_in = [&](int64_t r) {
    const uint32_t* row = (r >= 0 && r < nl) ? in.rows[r] : outside_row.data();
    if (avx2) {  // 32 columns at a time
      shift_in_avx2(row, in.wpr, col, H, upward);
      for (int x = nc; x < 32 * in.wpr; x++) col[x] = code_out;
      return;
    }
    for (int g = 0; g < groups; g++) {
      const uint64_t s = spread.v[(row[g >> 2] >> (24 - 8 * (g & 3))) & 0xFFu];
      const uint64_t v = load64(col + 8 * g);
      store64(col + 8 * g, upward ? ((v >> 1) & 0x7F7F7F7F7F7F7F7Full) | (s << (H - 1))
                                  : (((v << 1) & 0xFEFEFEFEFEFEFEFEull) | s) & repH);
    }
    for (int x = nc; x < 8 * groups; x++) col[x] = code_out;
  };

  uint64_t lut[8][256];
  for (int j = 0; j < k.W; j++) std::memcpy(lut[j], k.lut[j].data(), sizeof lut[j]);
  const KeysByTable by_table = keys_by_table_of(k.W);
  const uint32_t n = static_cast<uint32_t>(window.n());
  int64_t new_keys = 0;  // walks for keys the cache lacked
  auto walk = [&](uint64_t key) {
    new_keys++;
    return walk_key(nodes.node, k.pos.data(), n, key, outside);
  };
  // Pairs of pixels by one key when the cache is hashed, pext is there, and the pair's key
  // fits: boxes at most 7 columns wide and at most 63 bits for the two. The pair cache then
  // takes half of the single keys' room.
  const bool by_pairs = pext && k.bits > LeafCache::kDirectBits && k.W <= 7 &&
                        __builtin_popcountll(k.mask | (k.mask << 8)) <= 63;
  LeafCache cache(k.bits, by_pairs ? 16 : 17);
  auto get = [&](uint64_t key) { return cache.get(key, walk); };
  const LeafMiss miss{
      [](void* ctx, uint64_t key) { return (*static_cast<decltype(get)*>(ctx))(key); }, &get};
  std::vector<uint64_t> keys(nc);
  int64_t counter = 0;
  const LeavesByTable leaves_table = leaves_by_table_of(k.W);
  // Leaf words of pixels whose boxes are all white or all black, found when first needed. A
  // key of 64 bits is never direct, so the white key is only formed below 64.
  const uint64_t white_key = k.bits < 64 ? (uint64_t(1) << k.bits) - 1 : ~uint64_t(0);
  uint32_t uniform_leaf[2] = {};
  bool have_uniform[2] = {false, false};
  // Keys of at most five bits with AVX2, when no walk can fail: every key's word is known
  // before the pass and the rows take the vector path.
  SmallKeys small;
  const bool small_keys = avx2 && k.bits <= 5 && !walk_may_fail(window, nodes);
  if (small_keys) {
    small.bits = k.bits;
    int i = 0;
    for (int p = 0; p < 64; p++)
      if ((k.mask >> p) & 1) {
        small.col[i] = p / 8;
        small.bit[i] = static_cast<uint8_t>(1u << (p % 8));
        i++;
      }
    for (uint64_t key = 0; key < (uint64_t(1) << k.bits); key++) small.leaf[key] = get(key);
  }
  std::unique_ptr<PairCache> pairs;
  if (by_pairs) pairs.reset(new PairCache);
  auto leaves = [&](const uint8_t* b, int count, uint32_t* dst) {
    if (pairs != nullptr) {
      leaves_by_pairs(b, count, k.mask, *pairs, get, dst);
    } else if (!cache.direct()) {
      if (pext)
        keys_by_pext(b, count, k.mask, keys.data());
      else
        by_table(b, count, lut, keys.data());
      cache.get_all(keys.data(), count, dst, walk);
    } else if (pext)
      leaves_by_pext(b, count, k.mask, cache.table(), dst, miss);
    else
      leaves_table(b, count, lut, cache.table(), dst, miss);
  };

  // The whole row by the word walk: progress lines up to its end or to the first pixel whose
  // walk fails, and then the failure.
  const int nwords = (nc + 63) / 64;
  auto walked_row = [&](int l, uint32_t* prow) {
    words->hold_rows(l);
    int failed = -1;
    for (int w = 0; w < nwords && failed < 0; w++) {
      const uint64_t all = 64 * (w + 1) <= nc ? ~uint64_t(0) : (uint64_t(1) << (nc % 64)) - 1;
      const uint64_t f = words->word(w, all, l % H, prow + 64 * w);
      if (f != 0) failed = 64 * w + __builtin_ctzll(f);
    }
    if (failed >= 0 || progress.due_within(counter, nc)) {
      const int last = failed >= 0 ? failed : nc - 1;
      for (int c = 0; c <= last; c++) progress.at(counter + c);
      if (failed >= 0) erro(kErrIndex, "");
    }
  };
  // Rows beyond the direct table take the cache while it finds nearly every key (at most one
  // new key in kLearnt pixels), or, among the first kLearning rows, at least half of them (it
  // is learning the page). A cache row that misses more hands the next try_rows rows to the
  // word walk, after which a row tries the cache again; each try that misses doubles try_rows,
  // up to kLastTry. The choice follows the keys only, so a page always takes the same ways.
  constexpr int kFirstTry = 16, kLastTry = 64, kLearnt = 16, kLearning = 64;
  int way = 0, walk_rows = 0, try_rows = kFirstTry, cache_rows = 0;
  auto counted = [&]() {  // after a cache row
    cache_rows++;
    const bool keep = kLearnt * new_keys <= nc || (cache_rows <= kLearning && 2 * new_keys <= nc);
    if (keep) {
      way = 0;
      try_rows = kFirstTry;
    } else {
      if (way == 1) try_rows = std::min(2 * try_rows, kLastTry);
      way = 1;
    }
    walk_rows = 0;
  };

  auto one_row = [&](int l) {
    const uint8_t* box = col + k.dcmin;
    uint32_t* prow = out.row(l);
    if (hashed) {
      if (way == 1 && walk_rows < try_rows) {
        walked_row(l, prow);
        walk_rows++;
        counter += nc;
        out.done(l);
        return;
      }
      new_keys = 0;
    }
    const bool plain_row = !progress.due_within(counter, nc);
    if (plain_row && small_keys) {
      if (out.from_keys(l, box, small)) {
        counter += nc;
        return;
      }
      leaves_small_avx2(box, nc, small, prow);
    } else if (plain_row) {
      // Runs of 32-byte groups of codes all full (white) or all zero (black) give spans of
      // pixels with one key; the pixels between them take the key path.
      const int groups32 = (nc + k.W + 30) / 32;
      auto uniform = [&](int g) {  // 1 white, 0 black, -1 mixed
        const uint8_t* q = box + 32 * g;
        const uint64_t x0 = load64(q), x1 = load64(q + 8), x2 = load64(q + 16), x3 = load64(q + 24);
        return (x0 & x1 & x2 & x3) == repH ? 1 : (x0 | x1 | x2 | x3) == 0 ? 0 : -1;
      };
      int c = 0;
      for (int g = 0; g < groups32;) {
        const int white = uniform(g);
        if (white < 0) {
          g++;
          continue;
        }
        int g1 = g + 1;
        while (g1 < groups32 && uniform(g1) == white) g1++;
        const int s = 32 * g, e = std::min(32 * g1 - k.W + 1, nc);
        if (e - s >= kMinSpan) {
          if (!have_uniform[white]) {
            uniform_leaf[white] = get(white ? white_key : 0);
            have_uniform[white] = true;
          }
          leaves(box + c, s - c, prow + c);
          std::fill(prow + s, prow + e, uniform_leaf[white]);
          c = e;
        }
        g = g1;
      }
      leaves(box + c, nc - c, prow + c);
    } else {
      if (pext)
        keys_by_pext(box, nc, k.mask, keys.data());
      else
        by_table(box, nc, lut, keys.data());
      for (int c = 0; c < nc; c++) {
        progress.at(counter + c);
        prow[c] = cache.get(keys[c], walk);
      }
    }
    counter += nc;
    if (hashed) counted();
    out.done(l);
  };

  if (upward) {
    for (int64_t r = nl - 1 + k.drmax; r >= nl - 1 + k.drmin; r--) shift_in(r);
    for (int l = nl - 1; l >= 0; l--) {
      if (l < nl - 1) shift_in(l + k.drmin);
      one_row(l);
    }
  } else {
    for (int64_t r = k.drmin; r <= k.drmax; r++) shift_in(r);
    for (int l = 0; l < nl; l++) {
      if (l > 0) shift_in(l + k.drmax);
      one_row(l);
    }
  }
}

// The same by one plain walk per pixel.
template <class Out>
void leaves_plain(const IMGBIN& in, const VETOR<PONTOI2>& window, const ZoomNodeList& nodes,
                  Progress& progress, bool upward, Out& out) {
  const int nl = in.nl(), nc = in.nc();
  int64_t counter = 0;
  for (int i = 0; i < nl; i++) {
    const int l = upward ? nl - 1 - i : i;
    uint32_t* prow = out.row(l);
    for (int c = 0; c < nc; c++) {
      progress.at(counter++);
      prow[c] = walktree(in, window, nodes, l, c);
    }
    out.done(l);
  }
}

// Leaf rows of the whole input by the tier's path; a window whose live entries do not fit the
// cache's box takes the plain walk.
template <class Out>
void leaves_by_tier(const IMGBIN& in, const VETOR<PONTOI2>& window, const ZoomNodeList& nodes,
                    Progress& progress, Tier tier, bool upward, Out& out) {
  if (tier != Tier::plain) {
    KeyLayout k = key_layout(in, window, nodes);
    if (k.usable) {
      const bool avx2 = tier == Tier::dispatched && vistelmo::isa_available(vistelmo::Isa::kAvx2);
      const bool pext = avx2;
      leaves_cached(in, window, nodes, k, progress, pext, avx2, upward, out);
      return;
    }
  }
  leaves_plain(in, window, nodes, progress, upward, out);
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

// The output words of the last group of one word repeated (blank page), kept across rows.
struct SameRun {
  uint32_t u = 0;
  uint32_t w[64] = {};  // block row br's words from w + F br (F words for F of 3 to 7)
  bool have = false;
};

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

// Rows of leaf words into their F output rows, by the tier's path.
class RowExpander {
 public:
  RowExpander(int F, int nc, int wpr, Tier tier)
      : F_(F),
        nc_(nc),
        wpr_(wpr),
        tier_(tier),
        avx2_(tier == Tier::dispatched && vistelmo::isa_available(vistelmo::Isa::kAvx2)),
        small_(avx2_ && F >= 3 && F <= 7) {}
  // True when rows may be made straight from small keys (F of 3 to 7, AVX2 and BMI2).
  bool small() const { return small_; }
  // The F output rows of leaf words u, each word's bytes in the file's order when file.
  void row(const uint32_t* u, uint32_t* const* orow, bool file) {
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
    } else if (small_) {
      expand_small_avx2(u, nc_, F_, orow, wpr_, file, same_);
    } else {
      expand_any(u, nc_, F_, orow, wpr_);
      if (file)
        for (int br = 0; br < F_; br++) swap_words(orow[br], static_cast<size_t>(wpr_));
    }
  }

 private:
  int F_, nc_, wpr_;
  Tier tier_;
  bool avx2_, small_;
  SameRun same_;
};

}  // namespace

bool windowbit(const IMGBIN& in, const VETOR<PONTOI2>& window, int row, int col, int k) {
  const PONTOI2& p = window(k);
  return pixel(in, int64_t(row) + p.lin, int64_t(col) + p.col);
}

uint32_t walktree(const IMGBIN& in, const VETOR<PONTOI2>& window, const ZoomNodeList& nodes,
                  int row, int col) {
  const ZoomNode* node = nodes.node;
  int i = 0;
  while (node[i].b != kLeaf)
    i = windowbit(in, window, row, col, static_cast<int>(node[i].a)) ? node[i].b : i + 1;
  return node[i].a;
}

void applyfilter_plain(const IMGBIN& in, const VETOR<PONTOI2>& window, const ZoomNodeList& nodes,
                       MATRIZ<uint32_t>& pattern, FILE* progress_file) {
  const int nl = in.nl(), nc = in.nc();
  Progress progress(progress_file, int64_t(nl) * nc);
  int64_t counter = 0;
  for (int l = 0; l < nl; l++)
    for (int c = 0; c < nc; c++) {
      progress.at(counter++);
      pattern(l, c) = walktree(in, window, nodes, l, c);
    }
  progress.done();
}

namespace {

// Leaf rows straight into a pattern matrix of the input's size.
struct PatternRows {
  MATRIZ<uint32_t>& pattern;
  uint32_t* row(int l) { return pattern.data + static_cast<size_t>(l) * pattern.nc(); }
  void done(int) {}
  bool from_keys(int, const uint8_t*, const SmallKeys&) { return false; }
};

void applyfilter_with(const IMGBIN& in, const VETOR<PONTOI2>& window, const ZoomNodeList& nodes,
                      MATRIZ<uint32_t>& pattern, FILE* progress_file, Tier tier) {
  if (in.nl() <= 0 || in.nc() <= 0 || in.rows == nullptr) {
    Progress(progress_file, 0).done();
    return;
  }
  if (pattern.nl() != in.nl() || pattern.nc() != in.nc()) {
    applyfilter_plain(in, window, nodes, pattern, progress_file);
    return;
  }
  vistelmo::prefault(pattern.data, sizeof(uint32_t) * static_cast<size_t>(pattern.n()));
  Progress progress(progress_file, int64_t(in.nl()) * in.nc());
  PatternRows out{pattern};
  leaves_by_tier(in, window, nodes, progress, tier, false, out);
  progress.done();
}

void expand_with(const MATRIZ<uint32_t>& pattern, int F, IMGBIN& out, Tier tier) {
  if (F <= 0 || out.rows == nullptr || pattern.data == nullptr) return;
  RowExpander ex(F, pattern.nc(), out.wpr, tier);
  for (int l = 0; l < pattern.nl(); l++)
    ex.row(pattern.data + static_cast<size_t>(l) * pattern.nc(),
           out.rows + static_cast<size_t>(l) * F, false);
}

}  // namespace

void applyfilter(const IMGBIN& in, const VETOR<PONTOI2>& window, const ZoomNodeList& nodes,
                 MATRIZ<uint32_t>& pattern, FILE* progress) {
  applyfilter_with(in, window, nodes, pattern, progress, Tier::dispatched);
}

void applyfilter_portable(const IMGBIN& in, const VETOR<PONTOI2>& window, const ZoomNodeList& nodes,
                          MATRIZ<uint32_t>& pattern, FILE* progress) {
  applyfilter_with(in, window, nodes, pattern, progress, Tier::portable);
}

bool zoomed_size(int nl, int nc, int F, int& onl, int& onc) {
  onl = onc = 0;
  if (F <= 0 || nl <= 0 || nc <= 0) return false;
  const int64_t r = int64_t(F) * nl, c = int64_t(F) * nc;
  if (r > INT32_MAX || c > INT32_MAX || r * c > INT32_MAX) return false;
  onl = static_cast<int>(r);
  onc = static_cast<int>(c);
  return true;
}

void zoomed_size(const MATRIZ<uint32_t>& pattern, int F, int& nl, int& nc) {
  nl = nc = 0;
  if (F <= 0 || pattern.nl() <= 0 || pattern.nc() <= 0) return;
  int64_t r = int64_t(F) * pattern.nl(), c = int64_t(F) * pattern.nc();
  if (r > INT32_MAX || c > INT32_MAX) erro("Erro IMGBIN::aloca - falta memoria", "");
  nl = static_cast<int>(r);
  nc = static_cast<int>(c);
}

bool walk_may_fail(const VETOR<PONTOI2>& window, const ZoomNodeList& nodes) {
  for (int i = 0; i < nodes.count; i++)
    if (nodes.node[i].b != kLeaf && nodes.node[i].a >= static_cast<uint32_t>(window.n()))
      return true;
  return false;
}

void zoom(const IMGBIN& in, const VETOR<PONTOI2>& window, const ZoomNodeList& nodes, int F,
          FILE* progress_file, ZoomSink& sink, Tier tier) {
  const int nl = in.nl(), nc = in.nc();
  if (nl <= 0 || nc <= 0 || in.rows == nullptr || F <= 0) {
    Progress(progress_file, 0).done();
    return;
  }
  Progress progress(progress_file, int64_t(nl) * nc);
  const int wpr = static_cast<int>((int64_t(nc) * F + 31) / 32);
  RowExpander ex(F, nc, wpr, tier);
  std::vector<uint32_t> band(nc);
  struct {
    std::vector<uint32_t>& band;
    RowExpander& ex;
    ZoomSink& sink;
    int F, nc, wpr;
    std::unique_ptr<KeyCells> cells;
    uint32_t* row(int) { return band.data(); }
    void done(int l) {
      ex.row(band.data(), sink.rows(l), sink.file_order());
      sink.filled(l);
    }
    // Rows straight from the keys when the expander allows; false to take the leaf words.
    bool from_keys(int l, const uint8_t* box, const SmallKeys& s) {
      if (!ex.small()) return false;
      if (cells == nullptr) cells.reset(new KeyCells(s, F));
      uint32_t* const* orow = sink.rows(l);
      rows_from_keys_avx2(box, nc, F, s, *cells, orow, wpr);
      if (!sink.file_order())
        for (int br = 0; br < F; br++) swap_words(orow[br], static_cast<size_t>(wpr));
      sink.filled(l);
      return true;
    }
  } out{band, ex, sink, F, nc, wpr, nullptr};
  leaves_by_tier(in, window, nodes, progress, tier, true, out);
  progress.done();
}

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
