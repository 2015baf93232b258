// Circles, marks, rectangles, dials and arrows, all drawn through the integer line walk.
#include <cmath>

#include "drawing/lines.h"
#include "drawing/paint_internal.h"
#include "foundation/math_internal.h"

namespace draw = vistelmo::draw;

namespace {

using vistelmo::kPi;
constexpr double kHalfPi = 1.5707963267948966;
constexpr double kQuarterPi = 0.7853981633974483;

// Midpoint-style circle: eight octant points per step; the column offset j drops when that
// brings i^2 + j^2 nearer to r^2 (ties keep j).
template <class Put>
void circle(const Put& put, int64_t l, int64_t c, int r, int t) {
  const int b = static_cast<int>(std::ceil(r / 1.414213562));
  if (t < 1) return;
  int64_t i = 0, j = r;
  const int64_t r2 = static_cast<int64_t>(r) * r;
  while (i <= b) {
    const int64_t pts[8][2] = {{l + i, c + j}, {l - i, c + j}, {l + i, c - j}, {l - i, c - j},
                               {l + j, c + i}, {l - j, c + i}, {l + j, c - i}, {l - j, c - i}};
    for (const auto& p : pts) draw::brush(put, p[0], p[1], t);
    i++;
    const int64_t keep = i * i + j * j - r2, drop = i * i + (j - 1) * (j - 1) - r2;
    if ((keep < 0 ? -keep : keep) > (drop < 0 ? -drop : drop)) j--;
  }
}

template <class Img, class V>
void circulo_t(Img& img, int64_t l, int64_t c, int r, V cor, int esp) {
  circle(draw::ink(img, cor), l, c, r, esp);
}

// The arms of an X (diagonal) or a plus (straight).
template <class Img, class V>
void mark(Img& img, int64_t l, int64_t c, int r, V cor, bool diagonal) {
  const auto put = draw::ink(img, cor);
  put(l, c);
  for (int64_t k = 1; k <= r; k++) {
    if (diagonal) {
      put(l - k, c - k);
      put(l - k, c + k);
      put(l + k, c - k);
      put(l + k, c + k);
    } else {
      put(l, c - k);
      put(l, c + k);
      put(l - k, c);
      put(l + k, c);
    }
  }
}

template <class Img, class V>
void retang_t(Img& img, int l1, int c1, int l2, int c2, V cor, int esp) {
  const auto put = draw::ink(img, cor);
  draw::line(put, l1, c1, l1, c2, esp);
  draw::line(put, l1, c2, l2, c2, esp);
  draw::line(put, l1, c1, l2, c1, esp);
  draw::line(put, l2, c1, l2, c2, esp);
}

template <class Img, class V>
void relogiocircular_t(Img& img, int l, int c, int r, double ang, V cor, int esp) {
  circulo_t(img, l, c, r, cor, esp);
  // Radians as ang / 180 * kPi, in this order: another order rounds differently.
  const double a = ang / 180 * kPi + kHalfPi;
  draw::line(draw::ink(img, cor), l, c, l - draw::round_away(r * std::sin(a)),
             c + draw::round_away(r * std::cos(a)), esp);
}

template <class Img, class V>
void relogioretangular_t(Img& img, int l, int c, int nl, int nc, double ang, V cor, int esp) {
  const int64_t h1 = (static_cast<int64_t>(nl) - 1) / 2, h2 = nl - h1 - 1;
  const int64_t w1 = (static_cast<int64_t>(nc) - 1) / 2, w2 = nc - w1 - 1;
  // Radians as ang / 180 * kPi, in this order: another order rounds differently.
  const double th = -(ang / 180 * kPi);
  const double C = std::cos(th), S = std::sin(th);
  struct P {
    int64_t l, c;
  };
  auto corner = [&](int64_t dr, int64_t dc) {
    const double r = static_cast<double>(dr), k = static_cast<double>(dc);
    return P{l + draw::round_away(C * r + S * k), c + draw::round_away(-S * r + C * k)};
  };
  const P p[4] = {corner(-h1, -w1), corner(-h1, w2), corner(h2, w2), corner(h2, -w1)};
  const auto put = draw::ink(img, cor);
  for (int k = 0; k < 4; k++)
    draw::line(put, p[k].l, p[k].c, p[(k + 1) % 4].l, p[(k + 1) % 4].c, esp);
  const double h = static_cast<double>(h1);
  draw::line(put, l, c, l + draw::round_away(-C * h), c + draw::round_away(S * h), esp);
}

template <class Img, class V>
void flecha_t(Img& img, int l1, int c1, int l2, int c2, V cor) {
  const auto put = draw::ink(img, cor);
  draw::line(put, l1, c1, l2, c2, 1);
  if (l1 == l2 && c1 == c2) return;
  const double a = std::atan2(static_cast<double>(l2) - l1, static_cast<double>(c1) - c2);
  for (const double b : {a - kQuarterPi, a + kQuarterPi})
    draw::line(put, l2, c2, l2 - draw::round_away(3 * std::sin(b)),
               c2 + draw::round_away(3 * std::cos(b)), 1);
}

}  // namespace

void circulo(IMGBIN& img, int l, int c, int r, bool cor, int esp) {
  circulo_t(img, l, c, r, cor, esp);
}
void circulo(IMGGRY& img, int l, int c, int r, unsigned char cor, int esp) {
  circulo_t(img, l, c, r, cor, esp);
}
void circulo(IMGCOR& img, int l, int c, int r, COR cor, int esp) {
  circulo_t(img, l, c, r, cor, esp);
}
// Centre (x, y) is pixel (lc - y, cc + x).
void circulo(IMGBIN& img, PONTOI2 p, int r, bool cor) {
  circulo_t(img, int64_t{img.lc} - p.col, int64_t{img.cc} + p.lin, r, cor, 1);
}
void circulo(IMGGRY& img, PONTOI2 p, int r, unsigned char cor) {
  circulo_t(img, int64_t{img.lc} - p.col, int64_t{img.cc} + p.lin, r, cor, 1);
}
void circulo(IMGCOR& img, PONTOI2 p, int r, COR cor) {
  circulo_t(img, int64_t{img.lc} - p.col, int64_t{img.cc} + p.lin, r, cor, 1);
}

void xis(IMGBIN& img, int l, int c, int r, bool cor) { mark(img, l, c, r, cor, true); }
void xis(IMGGRY& img, int l, int c, int r, unsigned char cor) { mark(img, l, c, r, cor, true); }
void xis(IMGCOR& img, int l, int c, int r, COR cor) { mark(img, l, c, r, cor, true); }
void cruz(IMGBIN& img, int l, int c, int r, bool cor) { mark(img, l, c, r, cor, false); }
void cruz(IMGGRY& img, int l, int c, int r, unsigned char cor) { mark(img, l, c, r, cor, false); }
void cruz(IMGCOR& img, int l, int c, int r, COR cor) { mark(img, l, c, r, cor, false); }

void retang(IMGBIN& img, int l1, int c1, int l2, int c2, bool cor, int esp) {
  retang_t(img, l1, c1, l2, c2, cor, esp);
}
void retang(IMGGRY& img, int l1, int c1, int l2, int c2, unsigned char cor, int esp) {
  retang_t(img, l1, c1, l2, c2, cor, esp);
}
void retang(IMGCOR& img, int l1, int c1, int l2, int c2, COR cor, int esp) {
  retang_t(img, l1, c1, l2, c2, cor, esp);
}

void relogiocircular(IMGBIN& img, int l, int c, int r, double ang, bool cor, int esp) {
  relogiocircular_t(img, l, c, r, ang, cor, esp);
}
void relogiocircular(IMGGRY& img, int l, int c, int r, double ang, unsigned char cor, int esp) {
  relogiocircular_t(img, l, c, r, ang, cor, esp);
}
void relogiocircular(IMGCOR& img, int l, int c, int r, double ang, COR cor, int esp) {
  relogiocircular_t(img, l, c, r, ang, cor, esp);
}

void relogioretangular(IMGBIN& img, int l, int c, int nl, int nc, double ang, bool cor, int esp) {
  relogioretangular_t(img, l, c, nl, nc, ang, cor, esp);
}
void relogioretangular(IMGGRY& img, int l, int c, int nl, int nc, double ang, unsigned char cor,
                       int esp) {
  relogioretangular_t(img, l, c, nl, nc, ang, cor, esp);
}
void relogioretangular(IMGCOR& img, int l, int c, int nl, int nc, double ang, COR cor, int esp) {
  relogioretangular_t(img, l, c, nl, nc, ang, cor, esp);
}

void flecha(IMGBIN& img, int l1, int c1, int l2, int c2, bool cor) {
  flecha_t(img, l1, c1, l2, c2, cor);
}
void flecha(IMGGRY& img, int l1, int c1, int l2, int c2, unsigned char cor) {
  flecha_t(img, l1, c1, l2, c2, cor);
}
void flecha(IMGCOR& img, int l1, int c1, int l2, int c2, COR cor) {
  flecha_t(img, l1, c1, l2, c2, cor);
}
