// Border modes, axis by axis: the one rule behind the element access img(a, b, mode), the
// filters' index tables and the resamplers. Library sources only.
//
// Under every mode, a alone decides the position along one axis and b alone along the other.
// An AxisRule is that per-axis rule; border_rule gives the two of a mode. resolve_position
// (the element access) is its scalar form; BorderMap holds it as tables for ranges of a and b.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "foundation/erro.h"

namespace vistelmo {

// Index = origin + sign * argument, in 64 bits, then the kind's rule against size.
struct AxisRule {
  enum Kind : unsigned char {
    kNone,     // no pixels: always the outside value
    kPlain,    // outside the range: the outside value
    kClamp,    // nearest edge
    kChecked,  // outside the range: the access fails (mode 'e')
    kWrap      // periodic continuation
  };
  static constexpr int kOutside = -1;  // the access gives the outside value
  static constexpr int kFatal = -2;    // the access ends the process (mode 'e' out of range)

  Kind kind = kNone;
  int size = 0;
  int64_t origin = 0;
  int sign = 1;

  // Index in 0 .. size - 1 for argument v, or kOutside, or kFatal.
  int resolve(int64_t v) const {
    switch (kind) {
      case kPlain:
        return resolve_as<kPlain>(v);
      case kClamp:
        return resolve_as<kClamp>(v);
      case kChecked:
        return resolve_as<kChecked>(v);
      case kWrap:
        return resolve_as<kWrap>(v);
      default:
        return kOutside;
    }
  }
  // The same, for a rule known to be of kind K.
  template <Kind K>
  int resolve_as(int64_t v) const {
    const int64_t i = origin + sign * v;
    const bool inside = i >= 0 && i < size;
    if (K == kPlain) return inside ? int(i) : kOutside;
    if (K == kChecked) return inside ? int(i) : kFatal;
    if (K == kClamp) return i < 0 ? 0 : (i >= size ? size - 1 : int(i));
    if (K == kWrap) {
      // 32-bit division where the index fits an int (always under mode 'r').
      const int64_t w = i == int32_t(i) ? int64_t(int32_t(i) % size) : i % size;
      return int(w < 0 ? w + size : w);
    }
    return kOutside;
  }

  // t[k] = resolve(v0 + k) for k in 0 .. count - 1.
  void fill(int* t, int64_t v0, size_t count) const {
    for (size_t k = 0; k < count; k++) t[k] = resolve(v0 + int64_t(k));
  }
  // The table for arguments v0 .. v1 (empty when v1 < v0).
  std::vector<int> table(int v0, int v1) const {
    std::vector<int> t(v1 >= v0 ? size_t(int64_t(v1) - v0 + 1) : 0);
    fill(t.data(), v0, t.size());
    return t;
  }
};

// The two axis rules of a border mode: a gives the row and b the column, or, when swapped
// (modes 'N', 'X', 'C'), a gives the column and b the row.
struct BorderRule {
  bool valid = false;  // false for a char that selects no mode
  bool swapped = false;
  AxisRule a, b;
};

// The rule of mode (a letter or its numeric alias) on an nl x nc image with centre (lc, cc).
// Nothing fails here; an invalid mode gives valid == false.
inline BorderRule border_rule(char mode, int nl, int nc, int lc, int cc) {
  using K = AxisRule;
  BorderRule r;
  r.valid = true;
  switch (static_cast<unsigned char>(mode)) {
    case 'n':
    case 0:
      r.a = {K::kPlain, nl, 0, 1}, r.b = {K::kPlain, nc, 0, 1};
      break;
    case 'x':
    case 1:
      r.a = {K::kClamp, nl, 0, 1}, r.b = {K::kClamp, nc, 0, 1};
      break;
    case 'e':
    case 2:
      r.a = {K::kChecked, nl, 0, 1}, r.b = {K::kChecked, nc, 0, 1};
      break;
    case 'r':
    case 3:
      r.a = {K::kWrap, nl, 0, 1}, r.b = {K::kWrap, nc, 0, 1};
      break;
    case 'c':
    case 4:
      r.a = {K::kPlain, nl, lc, 1}, r.b = {K::kPlain, nc, cc, 1};
      break;
    case 's':
    case 5:
      r.a = {K::kWrap, nl, lc, 1}, r.b = {K::kWrap, nc, cc, 1};
      break;
    case 'N':
    case 10:
      r.swapped = true, r.a = {K::kPlain, nc, 0, 1}, r.b = {K::kPlain, nl, int64_t(nl) - 1, -1};
      break;
    case 'X':
    case 11:
      r.swapped = true, r.a = {K::kClamp, nc, cc, 1}, r.b = {K::kClamp, nl, lc, -1};
      break;
    case 'C':
    case 14:
      r.swapped = true, r.a = {K::kPlain, nc, cc, 1}, r.b = {K::kPlain, nl, lc, -1};
      break;
    default:
      r.valid = false;
      return r;
  }
  // Clamping and wrapping need pixels; on an empty image every access gives the outside value,
  // except under mode 'e', which fails.
  if ((nl < 1 || nc < 1) && r.a.kind != K::kChecked) r.a.kind = r.b.kind = K::kNone;
  return r;
}

// Position (l, c) of the access (a, b) under rule r, or false for the outside value. Fails as
// the element access does: an invalid mode always, mode 'e' outside the image.
inline bool locate(const BorderRule& r, int64_t a, int64_t b, int& l, int& c) {
  if (!r.valid) erro("Erro: Modo de acesso invalido", "");
  int ia, ib;
  switch (r.a.kind) {  // both axes of a mode are of one kind
    case AxisRule::kPlain:
      ia = r.a.resolve_as<AxisRule::kPlain>(a), ib = r.b.resolve_as<AxisRule::kPlain>(b);
      break;
    case AxisRule::kClamp:
      ia = r.a.resolve_as<AxisRule::kClamp>(a), ib = r.b.resolve_as<AxisRule::kClamp>(b);
      break;
    case AxisRule::kChecked:
      ia = r.a.resolve_as<AxisRule::kChecked>(a), ib = r.b.resolve_as<AxisRule::kChecked>(b);
      if (ia == AxisRule::kFatal || ib == AxisRule::kFatal) erro("Indice invalido", "");
      break;
    case AxisRule::kWrap:
      ia = r.a.resolve_as<AxisRule::kWrap>(a), ib = r.b.resolve_as<AxisRule::kWrap>(b);
      break;
    default:
      return false;
  }
  if (ia < 0 || ib < 0) return false;
  l = r.swapped ? ib : ia;
  c = r.swapped ? ia : ib;
  return true;
}

// Border modes resolved once per call, for filters that read many samples through one mode:
// for a range of a and a range of b, the index each argument resolves to (or kOutside), so that
// a filter fetches its samples from plain tables instead of resolving every tap.
class BorderMap {
 public:
  static constexpr int kOutside = AxisRule::kOutside;
  static constexpr int kFatal = AxisRule::kFatal;

  // Tables for first arguments a0..a1 and second arguments b0..b1 of an nl x nc image with
  // centre (lc, cc), under mode (a letter or its numeric alias). Nothing fails here.
  BorderMap(char mode, int nl, int nc, int lc, int cc, int a0, int a1, int b0, int b1)
      : rule_(border_rule(mode, nl, nc, lc, cc)), a0_(a0), b0_(b0) {
    if (!rule_.valid) return;
    ta_ = rule_.a.table(a0, a1);
    tb_ = rule_.b.table(b0, b1);
  }

  bool valid() const { return rule_.valid; }
  // The first argument selects the column and the second the row (modes 'N', 'X', 'C').
  bool swapped() const { return rule_.swapped; }
  int a(int v) const { return ta_[v - a0_]; }
  int b(int v) const { return tb_[v - b0_]; }

  // Ends the process as the element access does for (a, b) under this mode.
  [[noreturn]] void fail(int a, int b) const {
    int l, c;
    vistelmo::locate(rule_, a, b, l, c);
    std::abort();  // not reached: locate ends the process for a failing access
  }

  // For a filter that reads every pair of the ranges: fails as the first failing access would
  // (an invalid letter, or mode 'e' out of range); returns when every access is sound.
  void require_all() const {
    if (!rule_.valid) fail(a0_, b0_);
    auto fa = std::find(ta_.begin(), ta_.end(), kFatal);
    auto fb = std::find(tb_.begin(), tb_.end(), kFatal);
    if (fa == ta_.end() && fb == tb_.end()) return;
    fail(fa == ta_.end() ? a0_ : a0_ + int(fa - ta_.begin()),
         fb == tb_.end() ? b0_ : b0_ + int(fb - tb_.begin()));
  }

  // Position of (a, b) in the image, or false for the outside value. Fails as the access does.
  bool locate(int a, int b, int& l, int& c) const {
    if (!rule_.valid) fail(a, b);
    int ia = this->a(a), ib = this->b(b);
    if (ia == kFatal || ib == kFatal) fail(a, b);
    if (ia < 0 || ib < 0) return false;
    l = rule_.swapped ? ib : ia;
    c = rule_.swapped ? ia : ib;
    return true;
  }

 private:
  BorderRule rule_;
  int a0_, b0_;
  std::vector<int> ta_, tb_;
};

}  // namespace vistelmo
