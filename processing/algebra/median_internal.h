// The window masks of the median filters, shared by their files. Library sources only.
#pragma once

#include <cstdint>
#include <vector>

#include "processing/algebra/neighbourhood_internal.h"

namespace vistelmo {

// Mask elements of non-zero weight, in row-major order.
inline std::vector<Tap> weighted_taps(const IMGGRY& m) {
  return window_taps(m, 1, [](unsigned char v) { return v > 0; });
}

// Sum of every mask value.
inline int64_t total_weight(const IMGGRY& m) {
  int64_t w = 0;
  if (has_pixels(m))
    for (int i = 0; i < m.nl; i++)
      for (int j = 0; j < m.nc; j++) w += m.rows[i][j];
  return w;
}

}  // namespace vistelmo
