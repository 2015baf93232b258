// Histograms and integral images.
#include "processing/algebra/histogram.h"

#include <algorithm>
#include <cstdint>

#include "images/image_core_internal.h"

namespace {

// Sums wrap modulo 2^32 like the int arithmetic of a 32-bit machine, without overflow.
template <class Term>
MATRIZ<int> integral_of(const IMGGRY& a, Term term) {
  if (!vistelmo::has_pixels(a)) return MATRIZ<int>(std::max(0, a.nl()), std::max(0, a.nc()));
  const int nl = a.nl;
  const int nc = a.nc;
  MATRIZ<int> s(nl, nc);
  // Row l of the sums, as words.
  const auto at = [&s, nc](int l) { return reinterpret_cast<uint32_t*>(s.data) + l * nc; };
  uint32_t* first = at(0);
  const unsigned char* src = a.rows[0];
  first[0] = term(src[0]);
  for (int c = 1; c < nc; c++) first[c] = term(src[c]) + first[c - 1];
  for (int l = 1; l < nl; l++) at(l)[0] = term(a.rows[l][0]) + at(l - 1)[0];
  for (int l = 1; l < nl; l++) {
    const unsigned char* row = a.rows[l];
    const uint32_t* up = at(l - 1);
    uint32_t* cur = at(l);
    for (int c = 1; c < nc; c++) cur[c] = term(row[c]) + up[c] - up[c - 1] + cur[c - 1];
  }
  return s;
}

}  // namespace

VETOR<int> histograma(const IMGGRY& a) {
  VETOR<int> h(256, 0);
  const int64_t n = vistelmo::has_pixels(a) ? static_cast<int64_t>(a.nl) * a.nc : 0;
  for (int64_t i = 0; i < n; i++) h.data[a.data[i]]++;
  return h;
}

VETOR<int> histogramacumulativo(const IMGGRY& a) {
  VETOR<int> h = histograma(a);
  for (int v = 1; v < 256; v++) h.data[v] += h.data[v - 1];
  return h;
}

MATRIZ<int> integral(const IMGGRY& a) {
  return integral_of(a, [](unsigned char p) { return static_cast<uint32_t>(p); });
}

MATRIZ<int> integral2(const IMGGRY& a) {
  return integral_of(a, [](unsigned char p) { return static_cast<uint32_t>(p * p); });
}
