// The tree walked for 64 pixels at once.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "foundation/erro.h"
#include "tools/zoom/leaf_keys_internal.h"

namespace kelt {
namespace detail {

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

}  // namespace detail
}  // namespace kelt
