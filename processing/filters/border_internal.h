// Border samples gathered once per call for the filters. Library sources only.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

#include "images/border_internal.h"
#include "images/image_core_internal.h"

namespace vistelmo {

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
