// Walsh-Hadamard transform by butterflies in natural Hadamard order, read out in kernel order.
#include "processing/filters/wht.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "foundation/erro.h"

int whtM = 0;

namespace {

// Checks the image and returns its number of index bits M, also left in whtM (the last call's,
// when several threads transform at once: the store is atomic, the kernel reads its own M).
int bits_of(const IMGFLT& a) {
  const int n = a.nl();
  if (n != a.nc() || n < 1) erro("Erro: Imagem deve ser quadrada", "");
  const int bits = static_cast<int>(std::round(std::log(double(n)) / 0.6931471805599453));
  __atomic_store_n(&whtM, bits, __ATOMIC_RELAXED);
  float p = 1.0f, base = 2.0f;  // 2^M by repeated squaring
  for (int m = bits; m > 0; m >>= 1) {
    if (m & 1) p *= base;
    base *= base;
  }
  if (double(p) != double(n)) erro("Erro: Imagem deve ser quadrada e de dimensao 2^M", "");
  return bits;
}

// Coefficient u in natural Hadamard order: bit i of the result is the parity of the i+1 most
// significant of the m bits of u, so that K(x, u) = (-1)^popcount(x & order(u)).
int natural_index(int u, int m) {
  int g = 0, parity = 0;
  for (int i = 0; i < m; i++) {
    parity ^= (u >> (m - 1 - i)) & 1;
    g |= parity << i;
  }
  return g;
}

// (a, b) -> (a + b, a - b) over n elements of two lines.
inline void butterfly(double* __restrict a, double* __restrict b, int n) {
  for (int j = 0; j < n; j++) {
    const double x = a[j], y = b[j];
    a[j] = x + y;
    b[j] = x - y;
  }
}

// Natural-order Hadamard transform of the n x n block of doubles b, rows then columns; the
// columns go in strips so that a strip stays in cache through all its stages.
void hadamard(std::vector<double>& b, int n) {
  for (int r = 0; r < n; r++) {
    double* row = b.data() + static_cast<size_t>(r) * n;
    for (int h = 1; h < n; h *= 2)
      for (int i = 0; i < n; i += 2 * h) butterfly(row + i, row + i + h, h);
  }
  const int strip = 64;
  for (int c0 = 0; c0 < n; c0 += strip) {
    const int w = std::min(strip, n - c0);
    for (int h = 1; h < n; h *= 2)
      for (int i = 0; i < n; i += 2 * h)
        for (int r = i; r < i + h; r++)
          butterfly(b.data() + static_cast<size_t>(r) * n + c0,
                    b.data() + static_cast<size_t>(r + h) * n + c0, w);
  }
}

}  // namespace

// Every output is a sum of +-a/N terms (N a power of two, so each term is exact); the butterflies
// add them in another order, in double. Adding 0 gives a zero sum the sign a sum from 0 has.
IMGFLT wht(const IMGFLT& a) {
  const int bits = bits_of(a), n = a.nl();
  std::vector<int> g(n);
  for (int u = 0; u < n; u++) g[u] = natural_index(u, bits);
  const double norm = std::sqrt(double(int64_t(n) * n));
  std::vector<double> b(static_cast<size_t>(n) * n);
  for (int x = 0; x < n; x++)
    for (int y = 0; y < n; y++) b[static_cast<size_t>(x) * n + y] = double(a.rows[x][y]) / norm;
  hadamard(b, n);
  IMGFLT r(n, n);
  for (int u = 0; u < n; u++) {
    const double* src = b.data() + static_cast<size_t>(g[u]) * n;
    for (int v = 0; v < n; v++) r.rows[u][v] = static_cast<float>(src[g[v]] + 0.0);
  }
  return r;
}

IMGFLT iwht(const IMGFLT& a) {
  const int bits = bits_of(a), n = a.nl();
  std::vector<int> g(n);
  for (int u = 0; u < n; u++) g[u] = natural_index(u, bits);
  const double norm = std::sqrt(double(int64_t(n) * n));
  std::vector<double> b(static_cast<size_t>(n) * n);
  for (int u = 0; u < n; u++) {
    double* dst = b.data() + static_cast<size_t>(g[u]) * n;
    for (int v = 0; v < n; v++) dst[g[v]] = double(a.rows[u][v]) / norm;
  }
  hadamard(b, n);
  IMGFLT r(n, n);
  for (int x = 0; x < n; x++)
    for (int y = 0; y < n; y++)
      r.rows[x][y] = static_cast<float>(b[static_cast<size_t>(x) * n + y] + 0.0);
  return r;
}
