// Divergence with a derivative-of-Gaussian kernel applied separably.
#include "processing/filters/divergence.h"

#include "foundation/erro.h"
#include "foundation/normal.h"
#include "processing/filters/separable.h"

namespace {

const double kLobe = 0.39894228;  // 1/sqrt(2 pi), cut to eight decimals

void rescale(VETOR<double>& v) {
  const int n = v.n();
  if (n < 2) return;
  double s = 0;
  for (int i = 0; i < n / 2; i++) s += v.data[i];
  const double f = kLobe / s;
  for (int i = 0; i < n; i++) v.data[i] *= f;
}

VETOR<double> kernel(double sigma) {
  if (!(sigma > 0.3334)) erro("Erro normal1: desvio muito pequeno", "");
  const double rr = sigma * 5.0f;
  if (!(rr < 1073741823.0)) erro("Erro VETOR::aloca - Falta memoria", "");
  const int r = static_cast<int>(rr), n = 2 * r + 1;
  VETOR<double> v(n);
  for (int i = 0; i < n; i++) v.data[i] = dxnormal(i - r, sigma);
  rescale(v);
  return v;
}

template <class Img>
Img divergence(const Img& entx, const Img& enty, double sigma) {
  if (entx.nl() != enty.nl() || entx.nc() != enty.nc())
    erro("Erro Divergente: entx e enty tem dimensoes diferentes", "");
  Img r(entx.nl(), entx.nc());
  const VETOR<double> k = kernel(sigma);
  const Img dx = ConvH(entx, k, 'x');
  const Img dy = ConvV(enty, k, 'x');
  const int n = r.nl() >= 1 && r.nc() >= 1 ? r.nl() * r.nc() : 0;
  for (int i = 0; i < n; i++)
    r.data[i] = static_cast<typename Img::Pixel>(double(dx.data[i]) - double(dy.data[i]));
  return r;
}

}  // namespace

VETOR<double> DivergenteD::normal1(double sigma) { return kernel(sigma); }
void DivergenteD::normalize1(VETOR<double>& v) { rescale(v); }
VETOR<double> DivergenteF::normal1(double sigma) { return kernel(sigma); }
void DivergenteF::normalize1(VETOR<double>& v) { rescale(v); }

IMGDBL divergente(const IMGDBL& entx, const IMGDBL& enty, double sigma) {
  return divergence(entx, enty, sigma);
}
IMGFLT divergente(const IMGFLT& entx, const IMGFLT& enty, double sigma) {
  return divergence(entx, enty, sigma);
}
