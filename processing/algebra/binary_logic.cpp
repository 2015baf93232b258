// Word-wise logic of binary images and the interval operator.
#include <cstdint>
#include <vector>

#include "processing/algebra/binary_logic.h"
#include "processing/algebra/pointwise_internal.h"

namespace {

struct Xor {
  uint32_t operator()(uint32_t x, uint32_t y) const { return x ^ y; }
};
struct And {
  uint32_t operator()(uint32_t x, uint32_t y) const { return x & y; }
};
struct Or {
  uint32_t operator()(uint32_t x, uint32_t y) const { return x | y; }
};

// One window position that decides: a(l + di, c + dj) must be white (or black).
struct Need {
  int64_t di;
  int64_t dj;
  bool white;
};

// A row of a seen as an endless run of words: word k holds columns 32k .. 32k+31, and every
// column outside the row (or a missing row) reads as fill.
class PaddedRow {
 public:
  PaddedRow(const uint32_t* row, int wpr, uint32_t last, uint32_t fill)
      : row_(row), wpr_(wpr), last_(last), fill_(fill) {}

  uint32_t word(int64_t k) const {
    if (row_ == nullptr || k < 0 || k >= wpr_) return fill_;
    if (k == wpr_ - 1) return (row_[k] & last_) | (fill_ & ~last_);
    return row_[k];
  }
  // Columns 32j + dj .. 32j + dj + 31.
  uint32_t shifted(int j, int64_t dj) const {
    const int64_t pos = 32 * static_cast<int64_t>(j) + dj;
    const int64_t k = pos >= 0 ? pos / 32 : -((-pos + 31) / 32);
    const int s = static_cast<int>(pos - 32 * k);
    const uint32_t hi = word(k);
    return s == 0 ? hi : (hi << s) | (word(k + 1) >> (32 - s));
  }

 private:
  const uint32_t* row_;
  int wpr_;
  uint32_t last_;
  uint32_t fill_;
};

}  // namespace

IMGBIN operator^(const IMGBIN& a, const IMGBIN& b) {
  return vistelmo::zip_words(a, b, "Erro IMGBIN::operator^ - As imagens nao tem o mesmo tamanho",
                             Xor{});
}
IMGBIN operator&&(const IMGBIN& a, const IMGBIN& b) {
  return vistelmo::zip_words(a, b, "Erro IMGBIN::operator&& - As imagens nao tem o mesmo tamanho",
                             And{});
}
IMGBIN operator||(const IMGBIN& a, const IMGBIN& b) {
  return vistelmo::zip_words(a, b, "Erro IMGBIN::operator|| - As imagens nao tem o mesmo tamanho",
                             Or{});
}

IMGBIN primint(const IMGBIN& a, const IMGBIN& e1, const IMGBIN& e2) {
  if (e1.nl != e2.nl || e1.nc != e2.nc)
    erro("Erro primint: e1 e e2 devem ter mesmas dimensoes", "");
  if (e1.lc != e2.lc || e1.cc != e2.cc) erro("Erro primint: e1 e e2 devem mesmos centros", "");

  IMGBIN r(a.nl, a.nc);
  if (!vistelmo::has_pixels(r) || !vistelmo::has_pixels(a)) return r;
  r.fill(true);

  // e1 white asks for white, e2 black for black; both at one place can never be met.
  std::vector<Need> needs;
  for (int i = 0; i < e1.nl; i++)
    for (int j = 0; j < e1.nc; j++) {
      const int64_t di = static_cast<int64_t>(i) - e1.lc, dj = static_cast<int64_t>(j) - e1.cc;
      if (e1(i, j)) needs.push_back({di, dj, true});
      if (!e2(i, j)) needs.push_back({di, dj, false});
    }

  const uint32_t last = vistelmo::last_word_mask(a.nc);
  const uint32_t fill = (a.backg & 1u) ? 0xFFFFFFFFu : 0u;
  for (const Need& need : needs) {
    for (int l = 0; l < a.nl; l++) {
      const int64_t src = l + need.di;
      const PaddedRow row(src >= 0 && src < a.nl ? a.rows[src] : nullptr, a.wpr, last, fill);
      uint32_t* dst = r.rows[l];
      for (int j = 0; j < a.wpr; j++) {
        const uint32_t w = row.shifted(j, need.dj);
        dst[j] &= need.white ? w : ~w;
      }
    }
  }
  return r;
}
