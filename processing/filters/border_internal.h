// Border modes resolved once per call, axis by axis, for filters that read many samples
// through one mode letter. Library sources only.
//
// An element access img(a, b, mode) lands on a position that depends on a alone along one axis
// and on b alone along the other. BorderMap holds, for a range of a and a range of b, the index
// each argument resolves to (or kOutside for the outside value), so that a filter can fetch its
// samples from plain tables instead of resolving every tap.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "images/image_core_internal.h"

namespace vistelmo {

class BorderMap {
 public:
  static constexpr int kOutside = -1;  // the access gives the outside value
  static constexpr int kFatal = -2;    // the access ends the process (mode 'e' out of range)

  // Tables for first arguments a0..a1 and second arguments b0..b1 of an nl x nc image with
  // centre (lc, cc), under mode (a letter or its numeric alias). Nothing fails here.
  BorderMap(char mode, int nl, int nc, int lc, int cc, int a0, int a1, int b0, int b1)
      : mode_(mode), nl_(nl), nc_(nc), lc_(lc), cc_(cc), a0_(a0), b0_(b0) {
    const bool empty = nl < 1 || nc < 1;
    Rule ra, rb;  // rule of the first and of the second argument
    switch (static_cast<unsigned char>(mode)) {
      case 'n':
      case 0:
        ra = {kPlain, nl, 0, 1}, rb = {kPlain, nc, 0, 1};
        break;
      case 'x':
      case 1:
        ra = {kClamp, nl, 0, 1}, rb = {kClamp, nc, 0, 1};
        break;
      case 'e':
      case 2:
        ra = {kChecked, nl, 0, 1}, rb = {kChecked, nc, 0, 1};
        break;
      case 'r':
      case 3:
        ra = {kWrap, nl, 0, 1}, rb = {kWrap, nc, 0, 1};
        break;
      case 'c':
      case 4:
        ra = {kPlain, nl, lc, 1}, rb = {kPlain, nc, cc, 1};
        break;
      case 's':
      case 5:
        ra = {kWrap, nl, lc, 1}, rb = {kWrap, nc, cc, 1};
        break;
      case 'N':
      case 10:
        swapped_ = true, ra = {kPlain, nc, 0, 1}, rb = {kPlain, nl, int64_t(nl) - 1, -1};
        break;
      case 'X':
      case 11:
        swapped_ = true, ra = {kClamp, nc, cc, 1}, rb = {kClamp, nl, lc, -1};
        break;
      case 'C':
      case 14:
        swapped_ = true, ra = {kPlain, nc, cc, 1}, rb = {kPlain, nl, lc, -1};
        break;
      default:
        valid_ = false;
        return;
    }
    // Clamping and wrapping need pixels; on an empty image they give the outside value.
    if (empty && ra.kind != kChecked) ra.kind = rb.kind = kNone;
    fill_table(ta_, ra, a0, a1);
    fill_table(tb_, rb, b0, b1);
  }

  bool valid() const { return valid_; }
  // The first argument selects the column and the second the row (modes 'N', 'X', 'C').
  bool swapped() const { return swapped_; }
  int a(int v) const { return ta_[v - a0_]; }
  int b(int v) const { return tb_[v - b0_]; }

  // Ends the process as the element access does for (a, b) under this mode.
  [[noreturn]] void fail(int a, int b) const {
    int l, c;
    resolve_position(a, b, mode_, nl_, nc_, lc_, cc_, l, c);
    std::abort();  // not reached: resolve_position ends the process for a failing access
  }

  // For a filter that reads every pair of the ranges: fails as the first failing access would
  // (an invalid letter, or mode 'e' out of range); returns when every access is sound.
  void require_all() const {
    if (!valid_) fail(a0_, b0_);
    auto fa = std::find(ta_.begin(), ta_.end(), kFatal);
    auto fb = std::find(tb_.begin(), tb_.end(), kFatal);
    if (fa == ta_.end() && fb == tb_.end()) return;
    fail(fa == ta_.end() ? a0_ : a0_ + int(fa - ta_.begin()),
         fb == tb_.end() ? b0_ : b0_ + int(fb - tb_.begin()));
  }

  // Position of (a, b) in the image, or false for the outside value. Fails as the access does.
  bool locate(int a, int b, int& l, int& c) const {
    if (!valid_) fail(a, b);
    int ia = this->a(a), ib = this->b(b);
    if (ia == kFatal || ib == kFatal) fail(a, b);
    if (ia < 0 || ib < 0) return false;
    l = swapped_ ? ib : ia;
    c = swapped_ ? ia : ib;
    return true;
  }

 private:
  enum Kind { kNone, kPlain, kClamp, kChecked, kWrap };
  // Index = origin + sign * argument, then the kind's rule against size.
  struct Rule {
    Kind kind;
    int size;
    int64_t origin;
    int sign;
  };

  static void fill_table(std::vector<int>& t, const Rule& r, int v0, int v1) {
    t.resize(v1 >= v0 ? size_t(int64_t(v1) - v0 + 1) : 0);
    for (size_t k = 0; k < t.size(); k++) {
      const int64_t i = r.origin + r.sign * (int64_t(v0) + int64_t(k));
      const bool inside = i >= 0 && i < r.size;
      switch (r.kind) {
        case kNone:
          t[k] = kOutside;
          break;
        case kPlain:
          t[k] = inside ? int(i) : kOutside;
          break;
        case kChecked:
          t[k] = inside ? int(i) : kFatal;
          break;
        case kClamp:
          t[k] = i < 0 ? 0 : (i >= r.size ? r.size - 1 : int(i));
          break;
        case kWrap: {
          int64_t w = i % r.size;
          t[k] = int(w < 0 ? w + r.size : w);
          break;
        }
      }
    }
  }

  char mode_;
  int nl_, nc_, lc_, cc_;
  int a0_, b0_;
  bool valid_ = true;
  bool swapped_ = false;
  std::vector<int> ta_, tb_;
};

// The samples img(a, b, mode) for a in a0..a1 and b in b0..b1, gathered once into a dense
// block so that a filter's inner loops read them without checks.
template <class P>
class BorderPadded {
 public:
  // rows: the image's row starts (unused when the map gives only the outside value).
  // Fails as the first failing access would.
  BorderPadded(const BorderMap& m, const P* const* rows, const P& backg, int a0, int a1, int b0,
               int b1)
      : a0_(a0), b0_(b0), w_(b1 >= b0 ? b1 - b0 + 1 : 0) {
    m.require_all();
    const int h = a1 >= a0 ? a1 - a0 + 1 : 0;
    buf_.resize(size_t(h) * size_t(w_));
    for (int a = a0; a <= a1; a++) {
      P* dst = &buf_[size_t(a - a0) * w_];
      const int ia = m.a(a);
      if (ia < 0) {
        std::fill(dst, dst + w_, backg);
      } else if (!m.swapped()) {
        const P* src = rows[ia];
        for (int b = b0; b <= b1; b++) {
          const int ib = m.b(b);
          dst[b - b0] = ib < 0 ? backg : src[ib];
        }
      } else {
        for (int b = b0; b <= b1; b++) {
          const int ib = m.b(b);
          dst[b - b0] = ib < 0 ? backg : rows[ib][ia];
        }
      }
    }
  }

  // Sample (a, b); the samples of one a lie contiguous in b.
  const P* at(int a, int b) const { return buf_.data() + size_t(a - a0_) * w_ + (b - b0_); }

 private:
  int a0_, b0_, w_;
  std::vector<P> buf_;
};

}  // namespace vistelmo
