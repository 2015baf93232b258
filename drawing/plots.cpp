#include "drawing/plots.h"

#include <cmath>
#include <vector>

#include "drawing/lines.h"
#include "foundation/constants.h"
#include "foundation/erro.h"
#include "foundation/points.h"

void FuncaoMinMax(const VETOR<double>& v, double& min, double& max) {
  min = infinito;
  max = -infinito;
  for (int i = 0; i < v.n(); i++) {
    if (v.data[i] > max) max = v.data[i];
    if (v.data[i] < min) min = v.data[i];
  }
  if (!(min < max)) erro("Erro inesperado FuncaoMinMax", "");
}

namespace {

// Row of each element: nl - 1 - round((v[i] - min) * scale), halves away from zero.
std::vector<int> plot_rows(const VETOR<double>& v, int nl, double min, double max) {
  const double scale = (nl - 1.0) / (max - min);
  std::vector<int> y(v.n());
  for (int i = 0; i < v.n(); i++) {
    const double h = std::round((v.data[i] - min) * scale);
    // A NaN element, or a range too wide for a double, gives no row.
    if (!std::isfinite(h)) erro("Erro simplefuncao - valor nao finito", "");
    y[i] = double2int(nl - 1.0 - h);
  }
  return y;
}

template <class Img, class Cor>
void draw_plot(Img& img, const std::vector<int>& y, int nl, char modo, Cor cor) {
  const int n = static_cast<int>(y.size());
  const int bottom = double2int(nl - 1.0);
  switch (modo) {
    case '.':
      for (int i = 0; i < n; i++) img(y[i], i) = cor;
      break;
    case ':':
      for (int i = 0; i < n; i++) {
        moveto(bottom, i);
        lineto(img, y[i], i, cor);
      }
      break;
    case '-':
      moveto(y[0], 0);
      for (int i = 1; i < n; i++) {
        lineto(img, y[i - 1], i, cor);
        lineto(img, y[i], i, cor);
      }
      break;
    default:
      erro("Erro: modo invalido", "");
  }
}

}  // namespace

IMGCOR simplefuncao2imgcor(const VETOR<double>& v, int nl, char modo, COR cor) {
  double min, max;
  FuncaoMinMax(v, min, max);
  const std::vector<int> y = plot_rows(v, nl, min, max);
  IMGCOR img(nl, v.n(), COR{255, 255, 255});
  draw_plot(img, y, nl, modo, cor);
  return img;
}

IMGBIN simplefuncao2imgbin(const VETOR<double>& v, int nl, char modo) {
  double min, max;
  FuncaoMinMax(v, min, max);
  const std::vector<int> y = plot_rows(v, nl, min, max);
  IMGBIN img(nl, v.n(), branco);
  draw_plot(img, y, nl, modo, preto);
  return img;
}
