// Walsh-Hadamard transform by direct summation.
#include "processing/filters/wht.h"

#include <cmath>
#include <cstdint>
#include <vector>

#include "foundation/erro.h"

int whtM = 0;

namespace {

// Checks the image, stores its number of index bits in whtM and returns the side N.
int side_of(const IMGFLT& a) {
  const int n = a.nl();
  if (n != a.nc() || n < 1) erro("Erro: Imagem deve ser quadrada", "");
  whtM = static_cast<int>(std::round(std::log(double(n)) / 0.6931471805599453));
  float p = 1.0f, base = 2.0f;  // 2^M by repeated squaring
  for (int m = whtM; m > 0; m >>= 1) {
    if (m & 1) p *= base;
    base *= base;
  }
  if (double(p) != double(n)) erro("Erro: Imagem deve ser quadrada e de dimensao 2^M", "");
  return n;
}

// K(x, u) for x, u in 0..n-1, row u holding the Walsh function of u: +1 or -1.
std::vector<double> kernel_table(int n, int m) {
  std::vector<double> k(size_t(n) * n);
  for (int u = 0; u < n; u++)
    for (int x = 0; x < n; x++) {
      int e = 0, parity = 0;
      for (int i = 0; i < m; i++) {
        parity ^= (u >> (m - 1 - i)) & 1;  // parity of the i+1 most significant bits of u
        e += ((x >> i) & 1) * parity;
      }
      k[size_t(u) * n + x] = (e & 1) ? -1.0 : 1.0;
    }
  return k;
}

// r(o1, o2) = sum over i1 (outer), i2 (inner) of a(i1, i2) K(i1, o1) K(i2, o2) / N: the
// transform and its inverse differ only in which index takes the kernel's bits.
template <class Sign>
IMGFLT transform(const IMGFLT& a, Sign sign_of) {
  const int n = side_of(a);
  const std::vector<double> k = kernel_table(n, whtM);
  const double norm = std::sqrt(double(int64_t(n) * n));
  IMGFLT r(n, n);
  for (int o1 = 0; o1 < n; o1++)
    for (int o2 = 0; o2 < n; o2++) {
      double s = 0;
      for (int i1 = 0; i1 < n; i1++) {
        const double s1 = sign_of(k, n, i1, o1);
        const float* row = a.rows[i1];
        for (int i2 = 0; i2 < n; i2++) s += double(row[i2]) * (s1 * sign_of(k, n, i2, o2)) / norm;
      }
      r.rows[o1][o2] = static_cast<float>(s);
    }
  return r;
}

}  // namespace

IMGFLT wht(const IMGFLT& a) {
  // Pixel indices take the bits, coefficient indices the parities.
  return transform(a, [](const std::vector<double>& k, int n, int pixel, int coef) {
    return k[size_t(coef) * n + pixel];
  });
}

IMGFLT iwht(const IMGFLT& a) {
  return transform(a, [](const std::vector<double>& k, int n, int coef, int pixel) {
    return k[size_t(coef) * n + pixel];
  });
}
