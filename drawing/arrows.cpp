#include "drawing/arrows.h"

#include <cmath>
#include <cstdint>

#include "drawing/lines.h"
#include "foundation/constants.h"
#include "foundation/erro.h"

namespace {

bool fits_int(double x) { return x >= -2147483648.0 && x <= 2147483647.0; }

// k * n as the size of the enlarged image.
int enlarged(int k, int n) {
  const int64_t s = static_cast<int64_t>(k) * n;
  if (s > INT32_MAX) erro("Erro IMGCOR::aloca - Falta memoria", "");
  return s < INT32_MIN ? INT32_MIN : static_cast<int>(s);
}

}  // namespace

IMGCOR sobrfl(const IMGGRY& g, const IMGCPX& campo, double escala, int k, int passo) {
  const int nl = campo.nl(), nc = campo.nc();
  IMGCOR r(enlarged(k, nl), enlarged(k, nc));
  if (passo < 1) erro("Erro sobrfl - passo invalido", "");

  for (int l = 0; l < r.nl(); l++) {
    COR* row = r.rows[l];
    for (int c = 0; c < r.nc(); c++) {
      const unsigned char v = g(l / k, c / k);
      row[c] = COR{v, v, v};
    }
  }

  const COR vermelho{255, 0, 0}, azul{0, 0, 255};
  for (int i = 0; i < nl; i += passo) {
    for (int j = 0; j < nc; j += passo) {
      const std::complex<float> z = campo(i, j);
      const int64_t row0 = static_cast<int64_t>(i) * k + k / 2;
      const int64_t col0 = static_cast<int64_t>(j) * k + k / 2;
      if (z.real() == 0.0f && z.imag() == 0.0f) {
        // A centre beyond the int range lies outside the image: the dot lands in backg.
        if (fits_int(row0) && fits_int(col0))
          r(static_cast<int>(row0), static_cast<int>(col0)) = azul;
        else
          r.backg = azul;
        continue;
      }
      const double tl = row0 - std::round(escala * z.imag());
      const double tc = col0 + std::round(escala * z.real());
      // No arrow for a tip that is not a number or lies beyond the int range.
      if (!fits_int(row0) || !fits_int(col0) || !fits_int(tl) || !fits_int(tc)) continue;
      flecha(r, static_cast<int>(row0), static_cast<int>(col0), static_cast<int>(tl),
             static_cast<int>(tc), vermelho);
    }
  }
  return r;
}

namespace {

// The n values v(i) of a profile are drawn at pos(i, v); pos(i, 0) is the zero side.
template <class Value, class Pos>
void draw_profile(IMGBIN& plot, int n, char modo, Value v, Pos pos) {
  switch (modo) {
    case '.':
      for (int i = 0; i < n; i++) {
        const PONTOI2 p = pos(i, v(i));
        plot(p.l(), p.c()) = preto;
      }
      break;
    case ':':
      for (int i = 0; i < n; i++) {
        const PONTOI2 b = pos(i, 0), p = pos(i, v(i));
        moveto(b.l(), b.c());
        lineto(plot, p.l(), p.c(), preto);
      }
      break;
    case '-': {
      const PONTOI2 p0 = pos(0, v(0));
      moveto(p0.l(), p0.c());
      for (int i = 1; i < n; i++) {
        const PONTOI2 a = pos(i, v(i - 1)), b = pos(i, v(i));
        lineto(plot, a.l(), a.c(), preto);
        lineto(plot, b.l(), b.c(), preto);
      }
      break;
    }
    default:
      erro("Erro: modo invalido", "");
  }
}

}  // namespace

IMGBIN cperfil(const IMGGRY& g, int c, char modo) {
  IMGBIN plot(g.nl(), 256, branco);
  draw_profile(
      plot, g.nl(), modo, [&](int l) { return static_cast<int>(g(l, c)); },
      [](int l, int v) { return PONTOI2(l, v); });
  return plot;
}

IMGBIN lperfil(const IMGGRY& g, int l, char modo) {
  IMGBIN plot(256, g.nc(), branco);
  draw_profile(
      plot, g.nc(), modo, [&](int c) { return static_cast<int>(g(l, c)); },
      [](int c, int v) { return PONTOI2(255 - v, c); });
  return plot;
}
