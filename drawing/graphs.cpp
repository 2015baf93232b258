// Function graphs.
#include "drawing/graphs.h"

#include <cmath>
#include <cstdint>

#include "drawing/lines.h"
#include "drawing/paint_internal.h"
#include "drawing/plots.h"
#include "foundation/constants.h"
#include "foundation/erro.h"

using vistelmo::draw::clip;

void fun2shp(const VETOR<double>& f, VETOR<PONTO2>& shape) {
  const int n = f.n();
  shape.resize(n);
  for (int i = 0; i < n; i++) shape.data[i] = PONTO2(i, f.data[i]);
}

namespace {

// floor(x), saturated to int; a position that is not finite is refused.
int64_t piso(double x) {
  const double p = std::floor(x);
  if (!std::isfinite(p)) erro("Erro funcao2imgbin - valor nao finito", "");
  return double2int(p);
}

// Black 3 x 3 square about (l, c).
void marca(IMGBIN& img, int l, int c) {
  const auto put = vistelmo::draw::ink(img, preto);
  for (int64_t i = int64_t{l} - 1; i <= int64_t{l} + 1; i++)
    for (int64_t j = int64_t{c} - 1; j <= int64_t{c} + 1; j++) put(i, j);
}

}  // namespace

void funcao2imgbin(const VETOR<double>& f, IMGBIN& img, bool cor, bool marcas, double inf,
                   double sup, double passo) {
  const int n = f.n();
  const int W = img.nc() - 3, H = img.nl() - 3;
  if (inf == -infinito || sup == infinito) {
    double min, max;
    FuncaoMinMax(f, min, max);
    if (inf == -infinito) inf = min;
    if (sup == infinito) sup = max;
  }
  if (!(sup > inf)) erro("Erro funcao2imgbin - limite superior deve ser maior que o inferior", "");
  const bool eixo = passo < infinito;
  if (eixo && !(passo > 0)) erro("Erro funcao2imgbin - passo deve ser positivo", "");

  const double sy = H / (sup - inf);
  const double sx = n > 1 ? static_cast<double>(W) / (n - 1) : 0.0;  // one sample: column 1
  auto linha = [&](double y) { return clip(H - piso((y - inf) * sy) + 1); };
  auto coluna = [&](int i) { return clip(piso(i * sx) + 1); };

  VETOR<PONTOI2> pts(n);  // (row, column) of every sample
  for (int i = 0; i < n; i++) pts.data[i] = PONTOI2(linha(f.data[i]), coluna(i));

  lcaneta = pts(0).l();
  ccaneta = pts(0).c();
  for (int i = 1; i < n; i++) {
    reta(img, lcaneta, ccaneta, pts.data[i].l(), pts.data[i].c(), cor, 1);
    lcaneta = pts.data[i].l();
    ccaneta = pts.data[i].c();
  }

  if (marcas)
    for (int i = 0; i < n; i++) marca(img, pts.data[i].l(), pts.data[i].c());

  if (!eixo) return;
  const int r0 = linha(0);
  reta(img, r0, coluna(0), r0, coluna(n - 1), cor, 1);
  // The sum stops growing when the step is lost against y.
  for (double y = passo; y < sup; y += passo) {
    marca(img, linha(y), 1);
    if (y + passo == y) break;
  }
  for (double y = -passo; y > inf; y -= passo) {
    marca(img, linha(y), 1);
    if (y - passo == y) break;
  }
}
