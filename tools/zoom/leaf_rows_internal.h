// The tree pass row by row: leaf words (or output rows) of every input row by the caches, the
// word walk or the plain walk.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "tools/zoom/leaf_keys_internal.h"
#include "tools/zoom/word_walk_internal.h"

namespace kelt {
namespace detail {

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
  // avx2 comes with the dispatched tier only, which may go on to AVX-512.
  const bool avx512 = avx2 && vistelmo::isa_available(vistelmo::Isa::kAvx512);
  auto shift_in = [&](int64_t r) {
    const uint32_t* row = (r >= 0 && r < nl) ? in.rows[r] : outside_row.data();
    if (avx2) {  // 32 or 64 columns at a time
      (avx512 ? shift_in_avx512 : shift_in_avx2)(row, in.wpr, col, H, upward);
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
  // Moving up with pairs, F up to 4 (cells of at most 16 bits) and no walk that can fail, rows
  // go two at a time by 2 x 2 blocks (see two_rows); the quad, pair and single caches then take
  // half a megabyte each.
  const bool may_fail = walk_may_fail(window, nodes);
  const bool by_quads = upward && by_pairs && H <= 7 && out.cell_bits() <= 16 && !may_fail;
  LeafCache cache(k.bits, by_quads ? 15 : by_pairs ? 16 : 17);
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
  const bool small_keys = avx2 && k.bits <= 5 && !may_fail;
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
  if (by_pairs) pairs.reset(new PairCache(by_quads ? 15 : 16));
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
  auto counted = [&](int rows) {  // after rows cache rows
    cache_rows += rows;
    const int64_t pixels = int64_t(rows) * nc;
    const bool keep =
        kLearnt * new_keys <= pixels || (cache_rows <= kLearning && 2 * new_keys <= pixels);
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
    // A row with a progress line due takes the pixel by pixel path only when a walk may fail
    // (its lines stop at the failing pixel); otherwise the lines follow the row.
    const bool due = progress.due_within(counter, nc);
    const bool plain_row = !due || !may_fail;
    auto lines = [&]() {
      if (due)
        for (int c = 0; c < nc; c++) progress.at(counter + c);
    };
    if (plain_row && small_keys) {
      if (out.from_keys(l, box, small)) {
        lines();
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
    if (plain_row) lines();
    counter += nc;
    if (hashed) counted(1);
    out.done(l);
  };

  // Two rows at a time by 2 x 2 blocks: row l - 1's pixels are put in bit H of the codes of row
  // l (H at most 7), the two rows made from the quad cache, and the codes then moved down a bit
  // (those of row l - 1). The pair cache serves the blocks the quad cache lacks.
  std::unique_ptr<QuadCache> quads;
  if (by_quads) quads.reset(new QuadCache);
  // Only while the cache finds nearly every key: the word walk's rows and the cache's tries after
  // them go one at a time.
  auto two_rows = [&](int l) {  // l and l - 1; false when they go one at a time
    if (!by_quads || l < 1 || way != 0) return false;
    const int64_t r = l - 1 + k.drmin;
    const uint32_t* row = (r >= 0 && r < nl) ? in.rows[r] : outside_row.data();
    const uint8_t top = static_cast<uint8_t>(1u << H), top_out = outside ? top : 0;
    for (int64_t x = xlo; x < 0; x++) col[x] |= top_out;
    merge_in_avx2(row, in.wpr, col, H);
    for (int64_t x = nc; x < xend; x++) col[x] = static_cast<uint8_t>((col[x] & ~top) | top_out);
    new_keys = 0;
    const bool due = progress.due_within(counter, 2 * int64_t(nc));
    uint32_t* low = out.row(l);
    uint32_t* up = out.row(l - 1);
    leaves_by_quads(col + k.dcmin, nc, k.mask, out.cell_bits(), *quads, *pairs, get, low, up);
    if (due)
      for (int64_t c = 0; c < 2 * int64_t(nc); c++) progress.at(counter + c);
    counter += 2 * int64_t(nc);
    counted(2);
    out.done(l);
    out.done(l - 1);
    halve_codes(codes.data(), codes.size());
    return true;
  };

  if (upward) {
    for (int64_t r = nl - 1 + k.drmax; r >= nl - 1 + k.drmin; r--) shift_in(r);
    for (int l = nl - 1; l >= 0; l--) {
      if (l < nl - 1) shift_in(l + k.drmin);
      if (two_rows(l))
        l--;
      else
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

}  // namespace detail
}  // namespace kelt
