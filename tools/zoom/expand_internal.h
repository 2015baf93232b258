// Leaf words into output rows: the expansion of each pixel's word into its F x F block.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tools/zoom/leaf_keys_internal.h"

namespace kelt {
namespace detail {

// The output words of the last group of one word repeated (blank page), kept across rows.
struct SameRun {
  uint32_t u = 0;
  uint32_t w[64] = {};  // block row br's words from w + F br (F words for F of 3 to 7)
  bool have = false;
};

// Each word's bytes reversed (image words to file words and back), four words at a time.
void swap_words(uint32_t* w, size_t n);

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
                                                                       int wpr);

// Rows of leaf words into their F output rows, by the tier's path.
class RowExpander {
 public:
  RowExpander(int F, int nc, int wpr, Tier tier)
      : F_(F),
        nc_(nc),
        wpr_(wpr),
        tier_(tier),
        avx2_(tier == Tier::dispatched && vistelmo::isa_available(vistelmo::Isa::kAvx2)),
        vbmi_(tier == Tier::dispatched && vistelmo::isa_available(vistelmo::Isa::kAvx512Vbmi)),
        small_(avx2_ && F >= 3 && F <= 7) {}
  // True when rows may be made straight from small keys (F of 3 to 7, AVX2 and BMI2).
  bool small() const { return small_; }
  // The F output rows of leaf words u, each word's bytes in the file's order when file.
  void row(const uint32_t* u, uint32_t* const* orow, bool file);

 private:
  int F_, nc_, wpr_;
  Tier tier_;
  bool avx2_, vbmi_, small_;
  SameRun same_;
};

}  // namespace detail
}  // namespace kelt
