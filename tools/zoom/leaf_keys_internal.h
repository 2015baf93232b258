// Keys of pixels (the live bits of their window's box of column codes) and the caches and
// tables that give their leaf words.
#pragma once

#include <immintrin.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "foundation/erro.h"
#include "foundation/memory_internal.h"
#include "processing/kernels/isa.h"
#include "tools/zoom/zoom.h"
#include "tools/zoom/zoom_internal.h"

namespace kelt {
namespace detail {

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

KeyLayout key_layout(const IMGBIN& in, const VETOR<PONTOI2>& window, const ZoomNodeList& nodes);

// The walk with the window bits taken from a key.
inline uint32_t walk_key(const ZoomNode* node, const int* pos, uint32_t n, uint64_t key,
                         bool outside) {
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
  struct Entry {
    uint64_t key;
    uint32_t leaf[2];
  };
  explicit PairCache(int bits)
      : shift_(64 - bits),
        table_(static_cast<Entry*>(std::calloc(size_t(1) << bits, sizeof(Entry)))) {
    if (table_ == nullptr) erro(kErrAloca, "");
    vistelmo::prefault(table_.get(), sizeof(Entry) << bits);
  }
  Entry& entry(uint64_t key2) { return table_[(key2 * 0x9E3779B97F4A7C15ull) >> shift_]; }

 private:
  int shift_;
  struct Free {
    void operator()(Entry* p) const { std::free(p); }
  };
  std::unique_ptr<Entry[], Free> table_;
};

// The pair cache's entry of the pixel pair whose boxes' codes are load and whose pair key is
// key2 (the live bits of both boxes), filled by get(key) of each pixel when the cache lacks it.
template <class Get>
__attribute__((target(VISTELMO_TARGET_AVX2))) inline const PairCache::Entry& pair_entry(
    uint64_t load, uint64_t key2, uint64_t mask, PairCache& pairs, Get& get) {
  PairCache::Entry& e = pairs.entry(key2);
  const uint64_t tag = key2 | (uint64_t(1) << 63);
  if (e.key != tag) {
    e.leaf[0] = get(_pext_u64(load, mask));
    e.leaf[1] = get(_pext_u64(load >> 8, mask));
    e.key = tag;
  }
  return e;
}

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
      const PairCache::Entry& e = pair_entry(load, key2, mask, pairs, get);
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

// Leaf words of 2 x 2 blocks of pixels (two neighbours in a row and the two above them) by the
// load of their boxes' column codes, H + 1 bits each (H at most 7), masked to the live bits: a
// direct-mapped cache of entries holding that key and the four words' low cells bits (at most
// 16), the words of the lower row first. An empty entry holds a key that does not lead to it.
class QuadCache {
 public:
  static constexpr int kBits = 15;
  struct Entry {
    uint64_t key;
    uint64_t cells;
  };
  QuadCache() : table_(static_cast<Entry*>(std::malloc(sizeof(Entry) << kBits))) {
    if (table_ == nullptr) erro(kErrAloca, "");
    const uint64_t first = 0x5555555555555555ull;
    uint64_t second = 1;
    while (slot(second) == slot(first)) second++;
    for (size_t s = 0; s < (size_t(1) << kBits); s++)
      table_[s] = {slot(first) != s ? first : second, 0};
  }
  static size_t slot(uint64_t key) { return (key * 0x9E3779B97F4A7C15ull) >> (64 - kBits); }
  Entry& entry(uint64_t key) { return table_[slot(key)]; }
  Entry* data() { return table_.get(); }

 private:
  struct Free {
    void operator()(Entry* p) const { std::free(p); }
  };
  std::unique_ptr<Entry[], Free> table_;
};

// The four words of a 2 x 2 block that the quad cache lacks (see leaves_by_quads), each cut to
// its low cells bits: the pair cache's words of the lower row, then of the upper. Kept out of line,
// so that the loop of hits keeps its values in registers.
template <class Get>
__attribute__((target(VISTELMO_TARGET_AVX2), noinline)) uint64_t quad_words(
    uint64_t load, uint64_t mask, int cells, PairCache& pairs, Get& get) {
  const uint64_t m = (uint64_t(1) << cells) - 1, mask2 = mask | (mask << 8);
  const PairCache::Entry& lower = pair_entry(load, _pext_u64(load, mask2), mask, pairs, get);
  const uint64_t low = (lower.leaf[0] & m) | (lower.leaf[1] & m) << 16;
  const PairCache::Entry& upper =
      pair_entry(load >> 1, _pext_u64(load >> 1, mask2), mask, pairs, get);
  return low | (upper.leaf[0] & m) << 32 | (upper.leaf[1] & m) << 48;
}

// Leaf words of two rows of count pixels, lower (bits 0 .. H - 1 of the codes) into low and
// upper (bits 1 .. H) into up, two columns at a time by the quad cache; the words of a block the
// cache lacks come from quad_words. Only the low cells bits of the words are kept (cells at
// most 16).
template <class Get>
__attribute__((target(VISTELMO_TARGET_AVX2))) void leaves_by_quads(const uint8_t* box, int count,
                                                                   uint64_t mask, int cells,
                                                                   QuadCache& quads,
                                                                   PairCache& pairs, Get& get,
                                                                   uint32_t* low, uint32_t* up) {
  const uint64_t m1 = mask | (mask << 1), mask4 = m1 | (m1 << 8);
  QuadCache::Entry* const table = quads.data();
  int c = 0;
  for (; c + 2 <= count; c += 2) {
    const uint64_t load = load64(box + c);
    const uint64_t key = load & mask4;
    QuadCache::Entry& e = table[QuadCache::slot(key)];
    if (__builtin_expect(e.key != key, 0)) {
      e.cells = quad_words(load, mask, cells, pairs, get);
      e.key = key;
    }
    // The four 16-bit words widened at once: the lower row's two, then the upper row's.
    const __m128i w = _mm_cvtepu16_epi32(_mm_cvtsi64_si128(static_cast<int64_t>(e.cells)));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(low + c), w);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(up + c), _mm_unpackhi_epi64(w, w));
  }
  if (c < count) {
    const uint64_t load = load64(box + c);
    low[c] = get(_pext_u64(load, mask));
    up[c] = get(_pext_u64(load >> 1, mask));
  }
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
extern const Spread spread;

// Keys of count pixels whose boxes start at box, box + 1, ...
using KeysByTable = void (*)(const uint8_t*, int, const uint64_t (*)[256], uint64_t*);
KeysByTable keys_by_table_of(int W);

// The leaf word of a key that a direct table does not hold yet.
struct LeafMiss {
  uint32_t (*fn)(void* ctx, uint64_t key);
  void* ctx;
};

// Leaf words of count pixels straight from a direct table of pext keys.
__attribute__((target(VISTELMO_TARGET_AVX2))) void leaves_by_pext(const uint8_t* box, int count,
                                                                  uint64_t mask,
                                                                  const uint64_t* table,
                                                                  uint32_t* out, LeafMiss miss);

// The same with keys by column tables.
using LeavesByTable = void (*)(const uint8_t*, int, const uint64_t (*)[256], const uint64_t*,
                               uint32_t*, LeafMiss);
LeavesByTable leaves_by_table_of(int W);

// Keys of count pixels by pext.
__attribute__((target(VISTELMO_TARGET_AVX2))) void keys_by_pext(const uint8_t* box, int count,
                                                                uint64_t mask, uint64_t* keys);

// Keys of at most five bits and their leaf words, all known before the pass: key bit i is bit
// bit[i] of the column code at col[i] from the box's first.
struct SmallKeys {
  int bits = 0;
  int col[5] = {};
  uint8_t bit[5] = {};
  uint32_t leaf[32] = {};
};

// The keys of the 32 pixels whose boxes start at box, a byte each.
[[gnu::always_inline]] __attribute__((target(VISTELMO_TARGET_AVX2))) inline __m256i small_keys(
    const uint8_t* box, const SmallKeys& s) {
  __m256i key = _mm256_setzero_si256();
  for (int i = 0; i < s.bits; i++) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(box + s.col[i]));
    const __m256i b = _mm256_set1_epi8(static_cast<char>(s.bit[i]));
    const __m256i on = _mm256_cmpeq_epi8(_mm256_and_si256(v, b), b);
    key = _mm256_or_si256(key, _mm256_and_si256(on, _mm256_set1_epi8(static_cast<char>(1 << i))));
  }
  return key;
}

// Leaf words of count pixels, 32 at a time: their keys are made a byte each from the column
// codes, and the words picked from the table by four permutes (bits 0-2 of the key) and two
// blends (bits 3 and 4). The codes are read up to 38 bytes past box + count.
__attribute__((target(VISTELMO_TARGET_AVX2))) void leaves_small_avx2(const uint8_t* box, int count,
                                                                     const SmallKeys& s,
                                                                     uint32_t* out);

// Shifts the pixels of row words row[0..words-1] into column codes col[0..32 words - 1], 32
// columns a word: moving down the codes move up a bit and the pixel enters at bit 0, moving
// up they move down and it enters at bit H - 1 (H in 1..8).
__attribute__((target(VISTELMO_TARGET_AVX2))) void shift_in_avx2(const uint32_t* row, int words,
                                                                 uint8_t* col, int H, bool upward);
// Sets bit bit of the column codes col[0..32 words - 1] where the row's pixel is white.
__attribute__((target(VISTELMO_TARGET_AVX2))) void merge_in_avx2(const uint32_t* row, int words,
                                                                 uint8_t* col, int bit);
// Moves each of the n codes down a bit.
__attribute__((target(VISTELMO_TARGET_AVX2))) void halve_codes(uint8_t* col, size_t n);
// The same 64 columns at a time.
__attribute__((target(VISTELMO_TARGET_AVX512))) void shift_in_avx512(const uint32_t* row, int words,
                                                                     uint8_t* col, int H,
                                                                     bool upward);

}  // namespace detail
}  // namespace kelt
