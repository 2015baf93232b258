// Zoom passes about the centre, two-factor zoom and rotation with zoom.
#include "processing/algebra/zoom.h"

#include <cmath>
#include <cstdint>
#include <vector>

#include "foundation/erro.h"
#include "foundation/math_internal.h"
#include "images/colour_internal.h"
#include "images/image_core_internal.h"
#include "processing/algebra/planes.h"
#include "processing/algebra/resample_internal.h"

namespace {

namespace rs = vistelmo::resample;

using vistelmo::kPi;

inline void store(float& p, double v) { p = static_cast<float>(v); }
inline void store(unsigned char& p, double v) { p = vistelmo::round_to_byte(v); }

// Horizontal pass: every destination row y reads the source row at the same offset y.
template <class Img, class Sample>
void pass_x(const Img& a, Img& b, double f, const Sample& s) {
  if (!vistelmo::has_pixels(b)) return;
  const int nl = b.nl, nc = b.nc;
  if (f < 1) {
    // Destination column of each source column (-1: dropped) and the count of each.
    const int anc = a.nc > 0 ? a.nc() : 0;
    std::vector<int> target(anc, -1), count(nc, 0);
    for (int j = 0; j < anc; j++) {
      const double t = std::round((static_cast<double>(j) - a.cc) * f);
      if (t >= -static_cast<double>(b.cc) && t <= static_cast<double>(nc) - 1 - b.cc) {
        target[j] = static_cast<int>(t + b.cc);
        count[target[j]]++;
      }
    }
    std::vector<double> sum(nc);
    for (int l = 0; l < nl; l++) {
      const int64_t y = static_cast<int64_t>(b.lc) - l;
      std::fill(sum.begin(), sum.end(), 0.0);
      for (int j = 0; j < anc; j++)
        if (target[j] >= 0) sum[target[j]] += s(static_cast<int64_t>(j) - a.cc, y);
      typename Img::Pixel* row = b.rows[l];
      for (int k = 0; k < nc; k++) {
        if (count[k] == 0)
          row[k] = s(rs::round_index((static_cast<double>(k) - b.cc) / f), y);
        else
          store(row[k], sum[k] / count[k]);
      }
    }
    return;
  }
  std::vector<int> ix(nc);
  std::vector<double> dx(nc);
  for (int k = 0; k < nc; k++) {
    const double xs = (static_cast<double>(k) - b.cc) / f;
    ix[k] = rs::floor_index(xs);
    dx[k] = xs - ix[k];
  }
  for (int l = 0; l < nl; l++) {
    const int64_t y = static_cast<int64_t>(b.lc) - l;
    typename Img::Pixel* row = b.rows[l];
    for (int k = 0; k < nc; k++)
      store(row[k], (1 - dx[k]) * s(ix[k], y) + dx[k] * s(ix[k] + static_cast<int64_t>(1), y));
  }
}

// Vertical pass: every destination column x reads the source column at the same offset x.
// Works row by row; each destination pixel still sums its source rows in ascending offset.
template <class Img, class Sample>
void pass_y(const Img& a, Img& b, double f, const Sample& s) {
  if (!vistelmo::has_pixels(b)) return;
  const int nl = b.nl, nc = b.nc;
  if (f < 1) {
    // Source row offsets grouped by destination row, ascending within each group.
    const int anl = a.nl > 0 ? a.nl() : 0;
    std::vector<int> count(nl, 0), first(nl + 1, 0), members(anl), target(anl, -1);
    for (int i = 0; i < anl; i++) {
      const int64_t y = static_cast<int64_t>(a.lc) - a.nl + 1 + i;
      const double t = std::round(static_cast<double>(y) * f);
      if (t >= static_cast<double>(b.lc) - nl + 1 && t <= static_cast<double>(b.lc)) {
        target[i] = static_cast<int>(b.lc - t);
        count[target[i]]++;
      }
    }
    for (int l = 0; l < nl; l++) first[l + 1] = first[l] + count[l];
    std::vector<int> fill(first.begin(), first.end() - 1);
    for (int i = 0; i < anl; i++)
      if (target[i] >= 0) members[fill[target[i]]++] = i;
    std::vector<double> sum(nc);
    for (int l = 0; l < nl; l++) {
      const int64_t t = static_cast<int64_t>(b.lc) - l;
      typename Img::Pixel* row = b.rows[l];
      if (count[l] == 0) {
        const int ys = rs::round_index(static_cast<double>(t) / f);
        for (int k = 0; k < nc; k++) row[k] = s(static_cast<int64_t>(k) - b.cc, ys);
        continue;
      }
      std::fill(sum.begin(), sum.end(), 0.0);
      for (int m = first[l]; m < first[l + 1]; m++) {
        const int64_t y = static_cast<int64_t>(a.lc) - a.nl + 1 + members[m];
        for (int k = 0; k < nc; k++) sum[k] += s(static_cast<int64_t>(k) - b.cc, y);
      }
      for (int k = 0; k < nc; k++) store(row[k], sum[k] / count[l]);
    }
    return;
  }
  for (int l = 0; l < nl; l++) {
    const double ys = (static_cast<double>(b.lc) - l) / f;
    const int iy = rs::floor_index(ys);
    const double dy = ys - iy;
    typename Img::Pixel* row = b.rows[l];
    for (int k = 0; k < nc; k++) {
      const int64_t x = static_cast<int64_t>(k) - b.cc;
      store(row[k], (1 - dy) * s(x, iy) + dy * s(x, iy + static_cast<int64_t>(1)));
    }
  }
}

enum class Axis { kX, kY };

// Runs one pass with the border letter resolved once; a source that is also the destination is
// read from a copy.
template <class Img>
void run_pass(Axis axis, const Img& a, Img& b, double f, char borda) {
  const Img* src = &a;
  Img copy;
  if (&a == &b) {
    copy = a;
    src = &copy;
  }
  rs::with_mode(borda, [&](auto mode) {
    const rs::Sampler<Img, decltype(mode)> s(*src);
    if (axis == Axis::kX)
      pass_x(*src, b, f, s);
    else
      pass_y(*src, b, f, s);
  });
}

void check_border(char borda) {
  if (borda != 'C' && borda != 'X') erro("Erro: Borda deve ser C ou X (default)", "");
}

// Fills b by rotating a (offsets scaled by 1/f) with bilinear sampling under the border letter.
template <class Img>
void rotate_zoomed(const Img& a, Img& b, double graus, double f, char borda) {
  if (!vistelmo::has_pixels(b)) return;
  // Radians as graus * 2 * kPi / 360, in this order: another order rounds differently.
  const double t = graus * 2 * kPi / 360, C = std::cos(t), S = std::sin(t);
  rs::with_mode(borda, [&](auto mode) {
    const rs::Sampler<Img, decltype(mode)> s(a);
    for (int l = 0; l < b.nl(); l++) {
      const double v = (static_cast<double>(b.lc) - l) / f;
      typename Img::Pixel* row = b.rows[l];
      for (int c = 0; c < b.nc(); c++) {
        const double u = (static_cast<double>(c) - b.cc) / f;
        store(row[c], rs::bilinear(s, u * C + v * S, v * C - u * S));
      }
    }
  });
}

// Runs a grey operation on each colour plane of a into the planes of b's frame, then merges.
template <class GreyOp>
void per_plane(const IMGCOR& a, IMGCOR& b, GreyOp op) {
  IMGGRY ar, ag, ab;
  prisma(a, ar, ag, ab);
  IMGGRY br(b.nl, b.nc), bg(b.nl, b.nc), bb(b.nl, b.nc);
  for (IMGGRY* p : {&br, &bg, &bb}) {
    p->lc = b.lc;
    p->cc = b.cc;
  }
  op(ar, br);
  op(ag, bg);
  op(ab, bb);
  b = iprisma(br, bg, bb);
}

}  // namespace

void ZoomF::zoomx(const IMGFLT& a, IMGFLT& b, double f, char borda) {
  run_pass(Axis::kX, a, b, f, borda);
}

void ZoomF::zoomy(const IMGFLT& a, IMGFLT& b, double f, char borda) {
  run_pass(Axis::kY, a, b, f, borda);
}

void ZoomG::zoomx(const IMGGRY& a, IMGGRY& b, double f, char borda) {
  check_border(borda);
  run_pass(Axis::kX, a, b, f, borda);
}

void ZoomG::zoomy(const IMGGRY& a, IMGGRY& b, double f, char borda) {
  check_border(borda);
  run_pass(Axis::kY, a, b, f, borda);
}

void zoomfat(const IMGGRY& a, IMGGRY& b, double fatx, double faty, char borda) {
  check_border(borda);
  if (fatx <= 0) erro("Erro: fatx<=0", "");
  if (faty <= 0) erro("Erro: faty<=0", "");
  if (fatx >= faty) {
    IMGGRY t(a.nl, b.nc);
    t.lc = a.lc;
    t.cc = b.cc;
    t.backg = a.backg;
    ZoomG::zoomx(a, t, fatx, borda);
    ZoomG::zoomy(t, b, faty, borda);
  } else {
    IMGGRY t(b.nl, a.nc);
    t.lc = b.lc;
    t.cc = a.cc;
    t.backg = a.backg;
    ZoomG::zoomy(a, t, faty, borda);
    ZoomG::zoomx(t, b, fatx, borda);
  }
}

void zoomfat(const IMGCOR& a, IMGCOR& b, double fatx, double faty, char borda) {
  per_plane(a, b, [&](const IMGGRY& p, IMGGRY& q) { zoomfat(p, q, fatx, faty, borda); });
}

void rotzoom(IMGFLT a, IMGFLT& b, double graus, double f, char borda) {
  if (f <= 0) erro("Erro: Fator<=0.0", "");
  if (f < 1) {
    const int nl = rs::round_index(a.nl * f), nc = rs::round_index(a.nc * f);
    const int lc = rs::round_index(a.lc * f), cc = rs::round_index(a.cc * f);
    IMGFLT t(nl, a.nc);
    t.lc = lc;
    t.cc = a.cc;
    ZoomF::zoomy(a, t, f, 'X');
    a.resize(nl, nc);
    a.lc = lc;
    a.cc = cc;
    ZoomF::zoomx(t, a, f, 'X');
    f = 1;
  }
  rotate_zoomed(a, b, graus, f, borda);
}

void rotzoom(IMGGRY a, IMGGRY& b, double graus, double f, char borda) {
  check_border(borda);
  if (f <= 0) erro("Erro: Fator<=0.0", "");
  if (f < 1) {
    const int nl = rs::to_index(std::ceil(a.nl * f)), nc = rs::to_index(std::ceil(a.nc * f));
    const int lc = rs::round_index(a.lc * f), cc = rs::round_index(a.cc * f);
    IMGGRY t(nl, a.nc);
    t.lc = lc;
    t.cc = a.cc;
    ZoomG::zoomy(a, t, f, borda);
    t.backg = a.backg;
    IMGGRY s(nl, nc);
    s.lc = lc;
    s.cc = cc;
    s.backg = a.backg;
    ZoomG::zoomx(t, s, f, borda);
    a = s;
    f = 1;
  }
  rotate_zoomed(a, b, graus, f, borda);
}

void rotzoom(const IMGCOR& a, IMGCOR& b, double graus, double f, char borda) {
  per_plane(a, b, [&](const IMGGRY& p, IMGGRY& q) { rotzoom(p, q, graus, f, borda); });
}
