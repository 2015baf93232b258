// Colour overlays through the HSI model, palettes, and channel logic on colour images.
#include "processing/algebra/overlay.h"

#include <cmath>

#include "images/colour_internal.h"
#include "images/image_core_internal.h"

namespace {

constexpr int kBlack = -1;  // hue rule's answer for a pixel that stays black

// Hue limited to 0..255; NaN gives 0.
int hue_byte(double h) {
  if (!(h > 0.0)) return 0;
  return h > 255.0 ? 255 : static_cast<int>(h);
}

// Scalar field: 1 red, 0.5 green, small positive values blue, exactly 0 black.
int scalar_hue(float v) {
  if (v == 0.0f) return kBlack;
  // The product of a float and 170 is exact in double.
  return hue_byte(170.0 - std::round(static_cast<double>(v) * 170.0));
}

// Phase: 0 red, growing counter-clockwise through a full turn; exactly 0 black.
int phase_hue(std::complex<float> z) {
  if (z.real() == 0.0f && z.imag() == 0.0f) return kBlack;
  const float t = std::atan2(z.imag(), z.real());
  double h = t / 6.283185307179586;
  if (h < 0.0) h += 1.0;
  double u = h * 1.003921568627451;
  if (!(u > 0.0)) u = 0.0;
  if (u > 1.0) u = 1.0;
  return static_cast<int>(u * 255.0);
}

// Colours each pixel of f by hue(f(l, c)), with full saturation and g as intensity (g's outside
// value beyond g).
template <class Field, class Hue>
IMGCOR overlay(const IMGGRY& g, const Field& f, Hue hue) {
  IMGCOR r(f.nl, f.nc);
  if (!vistelmo::has_pixels(f)) return r;
  const COR black = HSI2RGB(COR{0, 0, 0}, 0);
  const bool g_has = vistelmo::has_pixels(g);
  for (int l = 0; l < f.nl(); l++) {
    const auto* src = f.rows[l];
    const unsigned char* grow = g_has && l < g.nl() ? g.rows[l] : nullptr;
    const int gnc = grow != nullptr ? g.nc() : 0;
    COR* dst = r.rows[l];
    for (int c = 0; c < f.nc(); c++) {
      const int h = hue(src[c]);
      if (h == kBlack) {
        dst[c] = black;
        continue;
      }
      const unsigned char i = c < gnc ? grow[c] : g.backg;
      dst[c] = HSI2RGB(COR{static_cast<unsigned char>(h), 255, i}, 0);
    }
  }
  return r;
}

// Pixelwise combination of two colour images of one size; the outside values combine alike.
template <class Op>
IMGCOR combine(const IMGCOR& a, const IMGCOR& b, Op op, const char* msg) {
  if (a.nl != b.nl || a.nc != b.nc) erro(msg, "");
  IMGCOR r(a.nl, a.nc);
  r.backg = op(a.backg, b.backg);
  if (vistelmo::has_pixels(a))
    for (int k = 0; k < a.n(); k++) r.data[k] = op(a.data[k], b.data[k]);
  return r;
}

}  // namespace

IMGCOR sobrhsi(const IMGGRY& g, const IMGFLT& f) { return overlay(g, f, scalar_hue); }
IMGCOR sobrhsi(const IMGGRY& g, const IMGCPX& f) { return overlay(g, f, phase_hue); }

IMGCOR palaplic(const IMGGRY& g, const VETOR<COR>& pal) {
  if (pal.n != 256) erro("Erro: Palete deve ter 256 entradas", "");
  IMGCOR r(g.nl, g.nc);
  if (vistelmo::has_pixels(g))
    for (int k = 0; k < g.n(); k++) r.data[k] = pal.data[g.data[k]];
  return r;
}

IMGCOR operator&&(const IMGCOR& a, const IMGCOR& b) {
  return combine(
      a, b, [](COR x, COR y) { return x && y; },
      "Erro IMGCOR::operator&& - As imagens nao tem o mesmo tamanho");
}

IMGCOR operator||(const IMGCOR& a, const IMGCOR& b) {
  return combine(
      a, b, [](COR x, COR y) { return x || y; },
      "Erro IMGCOR::operator|| - As imagens nao tem o mesmo tamanho");
}

IMGGRY AjustaIlum(IMGGRY a, double gain, double offset) {
  if (vistelmo::has_pixels(a))
    for (int k = 0; k < a.n(); k++) a.data[k] = vistelmo::round_to_byte(a.data[k] * gain + offset);
  return a;
}
