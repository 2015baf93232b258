// Photometric RANSAC: exact two-point fits scored on the best-fitting fraction of the pixels.
#include "processing/algebra/ransac.h"

#include <climits>
#include <cmath>
#include <vector>

#include "foundation/constants.h"
#include "foundation/erro.h"
#include "numerics/kth.h"
#include "numerics/random.h"
#include "processing/algebra/zoom_area.h"

template class VETOR<Ransac::elemento>;

namespace {

// Grey levels of a working image scaled to 0..1, row-major.
std::vector<double> scaled(const IMGGRY& g) {
  std::vector<double> s(g.n());
  for (int l = 0; l < g.nl(); l++)
    for (int c = 0; c < g.nc(); c++) s[l * g.nc() + c] = g.rows[l][c] / static_cast<double>(255.0f);
  return s;
}

// round((nl frac) nc), halves away from zero. A negative count, NaN or a value beyond the int
// range becomes 0, which the selection refuses as it refuses any count outside 1..nl nc.
int fraction_count(int nl, int nc, double frac) {
  const double p = (nl * frac) * nc;
  const double r = std::round(p);
  return (r >= 0 && r <= INT_MAX) ? static_cast<int>(r) : 0;
}

}  // namespace

void RANSAC(const IMGGRY& a, const IMGGRY& b, double& gain, double& offset, double& err,
            double frac, int nl, int nc, int niter, int seed) {
  const int K = fraction_count(nl, nc, frac);
  if (b.nl != a.nl || b.nc != a.nc) erro("Erro: Dimensoes diferentes", "");
  const std::vector<double> B = scaled(zoomnp(b, nl, nc));
  const std::vector<double> A = scaled(zoomnp(a, nl, nc));
  const int n = static_cast<int>(A.size());

  VETOR<double> res(n);
  VETOR<Ransac::elemento> h(niter);
  RANDOM gen(seed);

  for (int i = 0; i < niter; i++) {
    Ransac::elemento& e = h.data[i];
    e.l1 = gen.rand() % nl;
    e.c1 = gen.rand() % nc;
    e.l2 = gen.rand() % nl;
    e.c2 = gen.rand() % nc;
  }

  for (int i = 0; i < niter; i++) {
    Ransac::elemento& e = h.data[i];
    const double a1 = A[e.l1 * nc + e.c1], a2 = A[e.l2 * nc + e.c2];
    const double b1 = B[e.l1 * nc + e.c1], b2 = B[e.l2 * nc + e.c2];
    const double d = a1 - a2;
    if (!(std::fabs(d) > epsilon)) {
      e.gain = 0;
      e.offset = 0;
    } else {
      e.gain = (b1 - b2) / d;
      e.offset = b2 - e.gain * a2;
    }
  }

  double* r = res.data;
  for (int i = 0; i < niter; i++) {
    Ransac::elemento& e = h.data[i];
    if (e.gain == 0) {
      e.err = infinito;
      continue;
    }
    for (int j = 0; j < n; j++) r[j] = e.gain * A[j] + e.offset;
    for (int j = 0; j < n; j++) {
      const double t = r[j] - B[j];
      r[j] = std::sqrt(t * t);
    }
    kth_element(res, 0, n - 1, K - 1);
    e.err = 0;
    for (int j = 0; j < K; j++) e.err += r[j];
    e.err = std::sqrt(e.err / K);
  }

  int best = 0;
  double score = infinito;
  for (int i = 0; i < niter; i++)
    if (h.data[i].err < score) {
      best = i;
      score = h.data[i].err;
    }
  const Ransac::elemento& e = h(best);
  gain = e.gain;
  offset = e.offset;
  err = e.err;
}
