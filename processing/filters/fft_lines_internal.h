// Blocks of lines transformed together through the engine, read and stored by the caller.
#pragma once

#include <complex>
#include <cstddef>
#include <vector>

#include "processing/filters/fft_engine_internal.h"

namespace vistelmo {
namespace fft_engine {

// Lines transformed together: a whole cache line of float pixels across columns.
const int kLineBlock = 8;

// Transforms nb lines of n elements, read(b, e) giving element e of line b (a std::complex of
// float or double): widened to double, interleaved, transformed together, finished, and handed
// to store(b, e, re, im). Every line is read before any is stored. in and out hold at least
// (nb + 1) n elements.
template <class Read, class Store>
void transform_lines(int n, int nb, Read read, Store store, const Line& line,
                     std::vector<COMPLEX>& in, std::vector<COMPLEX>& out) {
  const int width = nb + nb % 2;  // an even count of lines; a spare one of zeros
  const double sign = line.forward ? -1.0 : 1.0;
  for (int e = 0; e < n; e++) {
    COMPLEX* dst = in.data() + static_cast<size_t>(e) * width;
    for (int b = 0; b < nb; b++) {
      const auto p = read(b, e);
      dst[b] = {p.real(), sign * p.imag()};
    }
    if (width > nb) dst[nb] = {0, 0};
  }
  dft_lines(in.data(), n, width, out.data());
  // Conjugating is a product by -1 and exact; the division only when there is one.
  const double d = line.divisor;
  for (int e = 0; e < n; e++) {
    const COMPLEX* src = out.data() + static_cast<size_t>(e) * width;
    if (d == 1.0)
      for (int b = 0; b < nb; b++) store(b, e, src[b].re, sign * src[b].im);
    else
      for (int b = 0; b < nb; b++) store(b, e, src[b].re / d, sign * src[b].im / d);
  }
}

}  // namespace fft_engine
}  // namespace vistelmo
