// Diffusion thresholds as percentiles of the gradient, and the drivers that re-estimate them.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

#include "foundation/erro.h"
#include "foundation/vetor.h"
#include "numerics/kth.h"
#include "processing/filters/diffusion.h"
#include "processing/filters/gradient.h"

namespace {

// Room for count samples; a count past the int range fails as the vector's allocation would.
VETOR<float> samples(int64_t count) {
  if (count > INT32_MAX) erro("Erro VETOR::aloca - Falta memoria", "");
  return VETOR<float>(static_cast<int>(count));
}

// The k-th smallest of the n samples, k from the percentage p (or from the top for p < 0).
double select(VETOR<float>& v, int n, double p) {
  const double k = p < 0 ? n - std::round(-p) : std::round(n * p / 100);
  if (!(k >= 1)) return 0.0;
  if (k > n) return 1.0;
  return kth_element(v, 0, n - 1, static_cast<int>(k) - 1);
}

float sample(double a, double b) { return static_cast<float>(std::fabs(a - b)); }

template <class Step>
IMGDBL auto_diffusion(IMGDBL a, int niter, double p, char mode, double dt,
                      double (*threshold)(const IMGDBL&, double), Step step) {
  IMGDBL r(a.nl(), a.nc(), 0.0);
  for (int i = 0; i < niter; i++) {
    const double K = threshold(a, p);
    step(a, r, K, mode, dt);
    a = r;
  }
  return r;
}

}  // namespace

double percentilgrad(const IMGDBL& a, double p) {
  const int nl = std::max(a.nl(), 0), nc = std::max(a.nc(), 0);
  const int64_t n = nl < 1 || nc < 1 ? 0 : int64_t(nl - 1) * nc + int64_t(nl) * (nc - 1);
  VETOR<float> v = samples(n);
  int k = 0;
  for (int l = 0; l < nl; l++) {
    const double* row = a.rows[l];
    for (int c = 0; c < nc; c++) {
      if (l + 1 < nl) v.data[k++] = sample(a.rows[l + 1][c], row[c]);
      if (c + 1 < nc) v.data[k++] = sample(row[c + 1], row[c]);
    }
  }
  return select(v, k, p);
}

double xpercentilgrad(const IMGDBL& a, double p) {
  const int nl = std::max(a.nl(), 0), nc = std::max(a.nc(), 0);
  VETOR<float> v = samples(nl < 1 || nc < 1 ? 0 : 2 * int64_t(nl) * nc);
  int k = 0;
  for (int l = 0; l < nl; l++) {
    const double* row = a.rows[l];
    const double* down = a.rows[std::min(l + 1, nl - 1)];
    for (int c = 0; c < nc; c++) {
      v.data[k++] = sample(down[c], row[c]);
      v.data[k++] = sample(row[std::min(c + 1, nc - 1)], row[c]);
    }
  }
  return select(v, k, p);
}

double xpercentilgausdif(const IMGDBL& a, double p, double sigma) {
  const IMGDBL m = modgrad(a, sigma, 0.0);
  const int n = m.nl() >= 1 && m.nc() >= 1 ? m.nl() * m.nc() : 0;
  VETOR<float> v = samples(n);
  for (int i = 0; i < n; i++) v.data[i] = static_cast<float>(std::fabs(m.data[i]));
  return select(v, n, p);
}

IMGDBL autodif(IMGDBL a, int niter, double p, char mode, double dt) {
  return auto_diffusion(std::move(a), niter, p, mode, dt, percentilgrad, onepassdifusao);
}

IMGDBL xautodif(IMGDBL a, int niter, double p, char mode, double dt) {
  return auto_diffusion(std::move(a), niter, p, mode, dt, xpercentilgrad, xonepassdifusao);
}
