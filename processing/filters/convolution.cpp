// Same-size convolution with a kernel image, and the fixed difference kernels.
#include "processing/filters/convolution.h"

#include <vector>

#include "foundation/erro.h"
#include "processing/filters/convolve_internal.h"

namespace {

// Rows i0 .. i0+n-1 of the convolution of a (outside value backg) with k into out[0 .. n-1].
template <class Img>
void convolve_band(const Img& a, typename Img::Pixel backg, const Img& k, char modo, int i0, int n,
                   typename Img::Pixel* const* out) {
  using Pixel = typename Img::Pixel;
  const int kl = k.nl() > 0 && k.nc() > 0 && k.data ? k.nl() : 0, kc = kl > 0 ? k.nc() : 0;
  const std::vector<double> taps(k.data, k.data + size_t(kl) * kc);
  vistelmo::RowStore<Pixel> store{out};
  vistelmo::PlaneRef<Pixel> src = vistelmo::plane_of(a);
  src.backg = backg;
  // Float pixels times float taps: every product is exact in double.
  vistelmo::correlate_real(src, vistelmo::Widen{}, modo, n, a.nc(), taps.data(), kl, kc, k.lc + i0,
                           k.cc, -1, store, std::is_same_v<Pixel, float>, true);
}

template <class Img>
Img convolve_same(const Img& a, typename Img::Pixel backg, const Img& k, char modo) {
  Img r = vistelmo::fresh_image<Img>(a.nl(), a.nc());
  convolve_band(a, backg, k, modo, 0, a.nl(), r.rows);
  return r;
}

IMGFLT kernel(int nl, int nc, const float* values) {
  IMGFLT k;
  k.resize(nl, nc);
  k.fill(values);
  return k;
}

// Picks the 'x' or the 'y' table; any other letter fails with the function's message.
IMGFLT directed(char direcao, const char* msg, int nl, int nc, const float* x, const float* y) {
  if (direcao == 'x') return kernel(nl, nc, x);
  if (direcao == 'y') return kernel(nl, nc, y);
  erro(msg, "");
}

}  // namespace

IMGFLT convolucao(const IMGFLT& a, const IMGFLT& k, char modo) {
  return convolve_same(a, a.backg, k, modo);
}
IMGDBL convolucao(const IMGDBL& a, const IMGDBL& k, char modo) {
  return convolve_same(a, a.backg, k, modo);
}
IMGFLT vistelmo::convolve_outside(const IMGFLT& a, float backg, const IMGFLT& k, char modo) {
  return convolve_same(a, backg, k, modo);
}
IMGDBL vistelmo::convolve_outside(const IMGDBL& a, double backg, const IMGDBL& k, char modo) {
  return convolve_same(a, backg, k, modo);
}
void vistelmo::convolve_rows(const IMGFLT& a, const IMGFLT& k, char modo, int i0, int n,
                             float* const* out) {
  convolve_band(a, a.backg, k, modo, i0, n, out);
}

IMGFLT laplace4() {
  static const float v[] = {0, -1, 0, -1, 4, -1, 0, -1, 0};
  return kernel(3, 3, v);
}

IMGFLT laplace8() {
  static const float v[] = {-1, -1, -1, -1, 8, -1, -1, -1, -1};
  return kernel(3, 3, v);
}

IMGFLT derivparc(char direcao) {
  static const float v[] = {1, 0, -1}, w[] = {-1, 0, 1};
  if (direcao == 'x') return kernel(1, 3, v);
  if (direcao == 'y') return kernel(3, 1, w);
  erro("Erro derivparc: direcao invalido", "");
}

IMGFLT sobel(char direcao) {
  static const float x[] = {1, 0, -1, 2, 0, -2, 1, 0, -1};
  static const float y[] = {-1, -2, -1, 0, 0, 0, 1, 2, 1};
  return directed(direcao, "Erro sobel: direcao invalido", 3, 3, x, y);
}

IMGFLT prewitt(char direcao) {
  static const float x[] = {1, 0, -1, 1, 0, -1, 1, 0, -1};
  static const float y[] = {-1, -1, -1, 0, 0, 0, 1, 1, 1};
  return directed(direcao, "Erro prewitt: direcao invalido", 3, 3, x, y);
}

IMGFLT sobeld(char direcao) {
  static const float x[] = {0, -1, -2, 1, 0, -1, 2, 1, 0};
  static const float y[] = {-2, -1, 0, -1, 0, 1, 0, 1, 2};
  return directed(direcao, "Erro sobeld: direcao invalido", 3, 3, x, y);
}

IMGFLT prewittd(char direcao) {
  static const float x[] = {0, -1, -1, 1, 0, -1, 1, 1, 0};
  static const float y[] = {-1, -1, 0, -1, 0, 1, 0, 1, 1};
  return directed(direcao, "Erro prewittd: direcao invalido", 3, 3, x, y);
}

IMGFLT roberts(char direcao) {
  static const float x[] = {0, -1, 1, 0}, y[] = {-1, 0, 0, 1};
  return directed(direcao, "Erro roberts: direcao invalido", 2, 2, x, y);
}
