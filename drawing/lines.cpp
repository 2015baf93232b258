// Integer lines, lines between centred points, and the two pens.
#include "drawing/lines.h"

#include "drawing/paint_internal.h"

namespace draw = vistelmo::draw;

namespace {

template <class Img, class V>
void reta_t(Img& img, int l1, int c1, int l2, int c2, V cor, int esp) {
  draw::line(draw::ink(img, cor), l1, c1, l2, c2, esp);
}

// Point (x, y) is pixel (lc - y, cc + x). The walk runs in (y, x), so it advances upward on
// the image, and the pixels are mapped as they come.
template <class Img, class V>
void reta_points(Img& img, PONTOI2 p1, PONTOI2 p2, V cor) {
  const auto put = draw::ink(img, cor);
  const int64_t lc = img.lc, cc = img.cc;
  draw::walk(p1.col, p1.lin, p2.col, p2.lin, [&](int64_t y, int64_t x) { put(lc - y, cc + x); });
}

template <class Img, class V>
void lineto_t(Img& img, int l, int c, V cor) {
  reta_t(img, lcaneta, ccaneta, l, c, cor, 1);
  lcaneta = l;
  ccaneta = c;
}

template <class Img, class V>
void lineto_points(Img& img, PONTOI2 p, V cor) {
  reta_points(img, caneta, p, cor);
  caneta = p;
}

}  // namespace

void reta(IMGBIN& img, int l1, int c1, int l2, int c2, bool cor, int esp) {
  reta_t(img, l1, c1, l2, c2, cor, esp);
}
void reta(IMGGRY& img, int l1, int c1, int l2, int c2, unsigned char cor, int esp) {
  reta_t(img, l1, c1, l2, c2, cor, esp);
}
void reta(IMGCOR& img, int l1, int c1, int l2, int c2, COR cor, int esp) {
  reta_t(img, l1, c1, l2, c2, cor, esp);
}
void reta(IMGYUV& img, int l1, int c1, int l2, int c2, COR yuv, int esp) {
  reta_t(img, l1, c1, l2, c2, yuv, esp);
}

void reta(IMGBIN& img, PONTOI2 p1, PONTOI2 p2, bool cor) { reta_points(img, p1, p2, cor); }
void reta(IMGGRY& img, PONTOI2 p1, PONTOI2 p2, unsigned char cor) { reta_points(img, p1, p2, cor); }
void reta(IMGCOR& img, PONTOI2 p1, PONTOI2 p2, COR cor) { reta_points(img, p1, p2, cor); }

void moveto(int l, int c) {
  lcaneta = l;
  ccaneta = c;
}
void moveto(PONTOI2 p) { caneta = p; }

void lineto(IMGBIN& img, int l, int c, bool cor) { lineto_t(img, l, c, cor); }
void lineto(IMGGRY& img, int l, int c, unsigned char cor) { lineto_t(img, l, c, cor); }
void lineto(IMGCOR& img, int l, int c, COR cor) { lineto_t(img, l, c, cor); }
void lineto(IMGBIN& img, PONTOI2 p, bool cor) { lineto_points(img, p, cor); }
void lineto(IMGGRY& img, PONTOI2 p, unsigned char cor) { lineto_points(img, p, cor); }
void lineto(IMGCOR& img, PONTOI2 p, COR cor) { lineto_points(img, p, cor); }
