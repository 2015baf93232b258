#include "drawing/polygon.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

#include "drawing/lines.h"
#include "foundation/constants.h"
#include "foundation/erro.h"
#include "images/image_core_internal.h"

namespace {

int sign(int64_t x) { return (x > 0) - (x < 0); }

// Vertex i of the closed polygon, read periodically (-1 is the last vertex, n the first).
const PONTOI2& vertex(const VETOR<PONTOI2>& v, int i) {
  const int n = v.n();
  const int k = i % n;
  return v.data[k < 0 ? k + n : k];
}

PONTOI2 take(Polygon::fila& q) {
  const PONTOI2 p = q.top();
  q.pop();
  return p;
}

// The integer line from p1 to p2 along its major axis, each pixel pushed `times` times.
void push_segment(PONTOI2 p1, PONTOI2 p2, Polygon::fila& q, int times) {
  int64_t dl = static_cast<int64_t>(p2.l()) - p1.l();
  int64_t dc = static_cast<int64_t>(p2.c()) - p1.c();
  auto push = [&](int64_t l, int64_t c) {
    for (int k = 0; k < times; k++) q.push(PONTOI2(static_cast<int>(l), static_cast<int>(c)));
  };
  if (std::llabs(dc) >= std::llabs(dl)) {
    if (dc < 0) {
      std::swap(p1, p2);
      dl = -dl;
      dc = -dc;
    }
    const int s = sign(dl);
    int64_t err = 0, l = p1.l();
    for (int64_t c = p1.c(); c <= p2.c(); c++) {
      push(l, c);
      err += 2 * std::llabs(dl);
      if (err >= dc) {
        l += s;
        err -= 2 * dc;
      }
    }
  } else {
    if (dl < 0) {
      std::swap(p1, p2);
      dl = -dl;
      dc = -dc;
    }
    const int s = sign(dc);
    int64_t err = 0, c = p1.c();
    for (int64_t l = p1.l(); l <= p2.l(); l++) {
      push(l, c);
      err += 2 * std::llabs(dc);
      if (err >= dl) {
        c += s;
        err -= 2 * dl;
      }
    }
  }
}

// The vertex flags of the crossing rule, with each horizontal run of the outline counted as
// one vertex. singular() sets the flags of both ends of a run; where the outline enters the
// run from one side of its row and leaves it on the other (a step), it crosses the row once,
// so the last end's flag is cleared and the run gives one crossing, at its first end. A run
// it leaves on the side it came from keeps both crossings: a span over the run itself.
VETORBIT crossing_flags(const VETOR<PONTOI2>& v) {
  const int n = v.n();
  VETORBIT flag = Polygon::singular(v);
  // A vertex whose incoming edge is not horizontal starts a run (of one vertex or more).
  for (int i = 0; i < n; i++) {
    const int64_t row = v.data[i].l();
    const int64_t before = vertex(v, i - 1).l();
    if (before == row) continue;
    int j = i;  // last vertex of the run
    while (j - i < n - 1 && vertex(v, j + 1).l() == row) j++;
    const int64_t after = vertex(v, j + 1).l();
    if (j > i && sign(before - row) != sign(after - row)) flag(j % n) = false;
  }
  return flag;
}

// The edge crossings of the scan-line rule; their count must be even.
Polygon::fila crossings(const VETOR<PONTOI2>& v) {
  const int n = v.n();
  const VETORBIT flag = crossing_flags(v);
  Polygon::fila q;
  for (int i = 0; i < n; i++) Polygon::RetaFill(v.data[i], flag(i), vertex(v, i + 1), false, q);
  if (q.size() % 2 != 0) erro("Erro: priority_queue tem numero impar de elementos", "");
  return q;
}

void set_row(IMGBIN& img, int r, int c0, int c1, bool cor) {
  uint32_t* w = img.rows[r];
  for (int c = c0; c <= c1;) {
    const int bit = c & 31;
    const int span = std::min(32 - bit, c1 - c + 1);
    const uint32_t mask = vistelmo::last_word_mask(span) >> bit;
    if (cor)
      w[c >> 5] |= mask;
    else
      w[c >> 5] &= ~mask;
    c += span;
  }
}

template <class Img, class Cor>
void set_row(Img& img, int r, int c0, int c1, Cor cor) {
  std::fill(img.rows[r] + c0, img.rows[r] + c1 + 1, cor);
}

// Row r from column c0 to c1 (c0 <= c1); the part outside the image goes to the outside value.
template <class Img, class Cor>
void span(Img& img, int r, int c0, int c1, Cor cor) {
  if (r < 0 || r >= img.nl() || c0 < 0)
    img(r, c0) = cor;
  else if (c1 >= img.nc())
    img(r, c1) = cor;
  if (r < 0 || r >= img.nl()) return;
  const int lo = std::max(c0, 0), hi = std::min(c1, img.nc() - 1);
  if (lo <= hi) set_row(img, r, lo, hi, cor);
}

template <class Img, class Cor>
void polygon_fill(Img& img, const VETOR<PONTOI2>& v, Cor cor) {
  Polygon::fila q = crossings(v);
  while (!q.empty()) {
    const PONTOI2 a = take(q), b = take(q);
    if (a.l() != b.l()) erro("Erro: p1.l()!=p2.l()", "");
    span(img, a.l(), a.c(), b.c(), cor);
  }
  for (int i = 0; i < v.n(); i++) {
    const PONTOI2 &p = v.data[i], &s = vertex(v, i + 1);
    reta(img, p.l(), p.c(), s.l(), s.c(), cor, 1);
  }
}

Polygon::fila outline(const VETOR<PONTOI2>& v) {
  Polygon::fila q;
  for (int i = 0; i < v.n(); i++) Polygon::RetaConvgon(v.data[i], vertex(v, i + 1), q);
  return q;
}

// Calls f(row, first, last) for every row of the queue, in order.
template <class F>
void for_each_row(Polygon::fila& q, F f) {
  while (!q.empty()) {
    const PONTOI2 first = take(q);
    PONTOI2 last = first;
    while (!q.empty() && q.top().l() == first.l()) last = take(q);
    f(first, last);
  }
}

template <class Img, class Cor>
void convgon_fill(Img& img, const VETOR<PONTOI2>& v, Cor cor) {
  Polygon::fila q = outline(v);
  for_each_row(q, [&](PONTOI2 a, PONTOI2 b) { span(img, a.l(), a.c(), b.c(), cor); });
}

int saturate(int64_t x) {
  return x > INT32_MAX ? INT32_MAX : x < INT32_MIN ? INT32_MIN : static_cast<int>(x);
}

template <class Img, class Cor>
void thick(Img& img, int l1, int c1, int l2, int c2, Cor cor, int esp) {
  const double a = std::atan2(static_cast<double>(l2) - l1, static_cast<double>(c1) - c2);
  const double h = esp * 0.5;
  const double half_pi = 1.5707963267948966;
  auto corner = [&](int l, int c, double t) {
    const int64_t dl = static_cast<int64_t>(std::round(h * std::sin(t)));
    const int64_t dc = static_cast<int64_t>(std::round(h * std::cos(t)));
    return PONTOI2(saturate(l - dl), saturate(c + dc));
  };
  VETOR<PONTOI2> q(4);
  q(0) = corner(l1, c1, a - half_pi);
  q(1) = corner(l1, c1, a + half_pi);
  q(2) = corner(l2, c2, a + half_pi);
  q(3) = corner(l2, c2, a - half_pi);
  convgon_fill(img, q, cor);
}

}  // namespace

VETORBIT Polygon::singular(const VETOR<PONTOI2>& v) {
  const int n = v.n();
  VETORBIT flag(n);
  for (int i = 0; i < n; i++) {
    const int64_t l = v.data[i].l();
    const int a = sign(vertex(v, i - 1).l() - l);
    const int b = sign(vertex(v, i + 1).l() - l);
    flag(i) = a != b;
  }
  return flag;
}

void Polygon::RetaFill(PONTOI2 p1, bool s1, PONTOI2 p2, bool s2, fila& q) {
  int64_t dl = static_cast<int64_t>(p2.l()) - p1.l();
  int64_t dc = static_cast<int64_t>(p2.c()) - p1.c();
  if (dl < 0) {
    std::swap(p1, p2);
    std::swap(s1, s2);
    dl = -dl;
    dc = -dc;
  }
  if (dl == 0) {
    if (s1) q.push(p1);
    return;
  }
  const int sc = sign(dc);
  const int64_t adc = std::llabs(dc);
  int64_t err = 0, x = p1.c();
  auto step = [&] {
    err += 2 * adc;
    while (err >= dl) {
      x += sc;
      err -= 2 * dl;
    }
  };
  int64_t r0 = p1.l();
  if (!s1) {
    r0++;
    step();
  }
  const int64_t r1 = s2 ? p2.l() : static_cast<int64_t>(p2.l()) - 1;
  for (int64_t r = r0; r <= r1; r++) {
    q.push(PONTOI2(static_cast<int>(r), static_cast<int>(x)));
    step();
  }
}

void Polygon::BordaFill(PONTOI2 p1, PONTOI2 p2, fila& q) { push_segment(p1, p2, q, 2); }

void Polygon::RetaConvgon(PONTOI2 p1, PONTOI2 p2, fila& q) { push_segment(p1, p2, q, 1); }

void PolygonFill(IMGCOR& img, const VETOR<PONTOI2>& v, COR cor) { polygon_fill(img, v, cor); }
void PolygonFill(IMGGRY& img, const VETOR<PONTOI2>& v, unsigned char cor) {
  polygon_fill(img, v, cor);
}
void PolygonFill(IMGBIN& img, const VETOR<PONTOI2>& v, bool cor) { polygon_fill(img, v, cor); }

VETOR<PONTOI2> PolygonBorda(const VETOR<PONTOI2>& v) {
  Polygon::fila q = crossings(v);
  for (int i = 0; i < v.n(); i++) Polygon::BordaFill(v.data[i], vertex(v, i + 1), q);
  std::vector<PONTOI2> runs;
  if (!q.empty()) {
    PONTOI2 a = take(q), b = take(q);
    if (a.l() != b.l()) erro("Erro: p1.l()!=p2.l()", "");
    while (!q.empty()) {
      const PONTOI2 q1 = take(q), q2 = take(q);
      if (q1.l() != q2.l()) erro("Erro: q1.l()!=q2.l()", "");
      if (q1.l() == b.l() && (q1.c() == b.c() || static_cast<int64_t>(q1.c()) == b.c() + 1LL)) {
        b = q2;
      } else {
        runs.push_back(a);
        runs.push_back(b);
        a = q1;
        b = q2;
      }
    }
    runs.push_back(a);
    runs.push_back(b);
  }
  VETOR<PONTOI2> r(static_cast<int>(runs.size()));
  for (int i = 0; i < r.n(); i++) r(i) = runs[i];
  return r;
}

void ConvgonFill(IMGCOR& img, const VETOR<PONTOI2>& v, COR cor) { convgon_fill(img, v, cor); }
void ConvgonFill(IMGGRY& img, const VETOR<PONTOI2>& v, unsigned char cor) {
  convgon_fill(img, v, cor);
}
void ConvgonFill(IMGBIN& img, const VETOR<PONTOI2>& v, bool cor) { convgon_fill(img, v, cor); }

VETOR<PONTOI2> ConvgonBorda(const VETOR<PONTOI2>& v) {
  if (v.n() < 1) return VETOR<PONTOI2>(0);
  Polygon::fila q = outline(v);
  int lmin = maxint, lmax = minint;
  for (int i = 0; i < v.n(); i++) {
    lmin = std::min(lmin, v.data[i].l());
    lmax = std::max(lmax, v.data[i].l());
  }
  const int64_t count = 2 * (static_cast<int64_t>(lmax) - lmin) + 2;
  if (count > INT32_MAX) erro("Erro VETOR::aloca - Falta memoria", "");
  VETOR<PONTOI2> r(static_cast<int>(count));
  for_each_row(q, [&](PONTOI2 a, PONTOI2 b) {
    const int k = a.l() - lmin;
    r(2 * k) = a;
    r(2 * k + 1) = b;
  });
  return r;
}

void thickline(IMGCOR& img, int l1, int c1, int l2, int c2, COR cor, int esp) {
  thick(img, l1, c1, l2, c2, cor, esp);
}
void thickline(IMGGRY& img, int l1, int c1, int l2, int c2, unsigned char cor, int esp) {
  thick(img, l1, c1, l2, c2, cor, esp);
}
void thickline(IMGBIN& img, int l1, int c1, int l2, int c2, bool cor, int esp) {
  thick(img, l1, c1, l2, c2, cor, esp);
}
