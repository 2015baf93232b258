// Two-factor zoom and rotation with zoom, grey and colour, over the single-axis passes
// (zoom_passes.cpp).
#include "processing/algebra/zoom.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

#include "foundation/erro.h"
#include "foundation/math_internal.h"
#include "images/colour_internal.h"
#include "images/image_core_internal.h"
#include "processing/algebra/planes.h"
#include "processing/algebra/zoom_passes_internal.h"
#include "processing/kernels/resample.h"
#include "processing/kernels/zoom_area.h"

namespace {

using vistelmo::kPi;

using vistelmo::KeptRows;
using vistelmo::RowFetch;

// zoomfat's two passes with the horizontal one first: the vertical pass reads the intermediate t's
// rows as they are made, four kept at a time (it needs two at once), and t's pixels stay
// untouched. False when this does not apply.
bool zoomx_then_zoomy(const IMGGRY& a, const IMGGRY& t, IMGGRY& b, double fatx, double faty,
                      char borda) {
  if (!vistelmo::resample_fast() || !vistelmo::has_pixels(t) || !vistelmo::has_pixels(b))
    return false;
  vistelmo::GreyColumns across(a, t, fatx, vistelmo::source_rule(a, borda));
  KeptRows kept(t.nc(),
                [&](int64_t o, unsigned char* row) { across.row(static_cast<int>(o), row); });
  const RowFetch<unsigned char> fetch = [&](int64_t o) { return kept.row(o); };
  vistelmo::grey_rows_pass(t, b, faty, vistelmo::source_rule(t, borda), &fetch);
  return true;
}

// Fills b by rotating a (offsets scaled by 1/f) with bilinear sampling under the border letter;
// outside is the value of samples off the source.
template <class Img>
void rotate_zoomed(const Img& a, Img& b, double graus, double f, char borda,
                   typename Img::Pixel outside) {
  if (!vistelmo::has_pixels(b)) return;
  if (&a == &b) {
    const Img copy = a;
    return rotate_zoomed(copy, b, graus, f, borda, outside);
  }
  // Radians as graus * 2 * kPi / 360, in this order: another order rounds differently.
  const double t = graus * 2 * kPi / 360, C = std::cos(t), S = std::sin(t);
  const vistelmo::Sampler<Img> s(a, borda, outside);
  auto blend = [](auto& p, double dx, double dy, const auto& q) {
    vistelmo::store_blend(p, vistelmo::bilinear_weights(dx, dy), q);
    return 0;
  };
  if (!vistelmo::resample_fast()) {
    for (int l = 0; l < b.nl(); l++) {
      const double v = (static_cast<double>(b.lc) - l) / f;
      typename Img::Pixel* row = b.rows[l];
      for (int c = 0; c < b.nc(); c++) {
        const double u = (static_cast<double>(c) - b.cc) / f;
        vistelmo::bilinear<false>(
            s, u * C + v * S, v * C - u * S,
            [&](double dx, double dy, const auto& q) { return blend(row[c], dx, dy, q); });
      }
    }
    return;
  }
  const vistelmo::RowLoops<Img> loops = vistelmo::row_loops(s);
  vistelmo::ColumnTerms terms(b.cc, f, C, S);
  vistelmo::resample_tiles(b.nl(), b.nc(), [&](int l, int from, int to) {
    const double v = (static_cast<double>(b.lc) - l) / f;
    const vistelmo::RowMap m =
        loops.block ? terms.map(from, to, v * S, v * C)
                    : vistelmo::RowMap{static_cast<double>(b.cc), f, C, S, v * S, v * C};
    loops.bilinear(s, from, to, m, b.rows[l]);
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
  // As b = iprisma(br, bg, bb), merged in place: same size and centre, outside value 0.
  b.backg = COR{0, 0, 0};
  if (!vistelmo::has_pixels(b)) return;
  for (int l = 0; l < b.nl(); l++)
    for (int c = 0; c < b.nc(); c++)
      b.rows[l][c] = COR{br.rows[l][c], bg.rows[l][c], bb.rows[l][c]};
}

// A grey image of a's frame without pixels, outside value 0: a plane's shape for passes that
// fetch its rows.
IMGGRY plane_shape(const IMGCOR& a) {
  IMGGRY s;
  s.nl = a.nl;
  s.nc = a.nc;
  s.lc = a.lc;
  s.cc = a.cc;
  return s;
}

// Rows of the planes of a colour image for the passes' fetch: each pixel row split into its
// three channels when first asked for.
class PlaneRows {
 public:
  explicit PlaneRows(const IMGCOR& a)
      : n_(a.nc()), kept_(size_t{3} * n_, [&a, n = n_](int64_t o, unsigned char* p) {
          unsigned char* const planes[3] = {p, p + n, p + 2 * n};
          vistelmo::split_channels(reinterpret_cast<const unsigned char*>(a.rows[o]), n, planes);
        }) {
    for (int ch = 0; ch < 3; ch++)
      fetch_[ch] = [this, ch](int64_t o) -> const unsigned char* { return kept_.row(o) + ch * n_; };
  }
  PlaneRows(const PlaneRows&) = delete;
  PlaneRows& operator=(const PlaneRows&) = delete;
  const RowFetch<unsigned char>* fetch(int ch) const { return &fetch_[ch]; }

 private:
  int n_;
  KeptRows kept_;
  RowFetch<unsigned char> fetch_[3];
};

// The horizontal pass of a's channels into b's rows, as on the planes (outside value 0): each
// plane's row as the grey pass makes it, the three merged.
class ColourColumns {
 public:
  ColourColumns(const IMGCOR& a, const IMGCOR& b, double f, char borda)
      : a_(a),
        rows_(a),
        pa_(plane_shape(a)),
        pb_(plane_shape(b)),
        nc_(b.nc()),
        out_(size_t{3} * nc_) {
    const vistelmo::BorderRule br = vistelmo::source_rule(a, borda);
    for (int ch = 0; ch < 3; ch++)
      planes_[ch] = std::make_unique<vistelmo::GreyColumns>(pa_, pb_, f, br, rows_.fetch(ch));
  }
  // Destination row l into out (3 b.nc bytes).
  void row(int l, unsigned char* out) {
    if (planes_[0]->means() && planes_[1]->means() && planes_[2]->means() &&
        planes_[0]->colour_row(a_, l, out))
      return;
    unsigned char* const planes[3] = {out_.data(), out_.data() + nc_, out_.data() + 2 * nc_};
    for (int ch = 0; ch < 3; ch++) planes_[ch]->row(l, planes[ch]);
    vistelmo::merge_channels(planes, nc_, out);
  }

 private:
  const IMGCOR& a_;
  PlaneRows rows_;
  IMGGRY pa_, pb_;
  int nc_;
  std::vector<unsigned char> out_;
  std::unique_ptr<vistelmo::GreyColumns> planes_[3];
};

// The bytes of a colour row.
unsigned char* bytes(COR* row) { return reinterpret_cast<unsigned char*>(row); }

// The colour passes with the vertical one first, a and b distinct: the vertical pass on the bytes
// as a wide grey image, the horizontal one through ColourColumns. False, with nothing written,
// when they do not apply.
bool colour_rows_first(const IMGCOR& a, IMGCOR& b, double fatx, double faty, char borda) {
  if (!vistelmo::has_pixels(a) || !vistelmo::has_pixels(b)) return false;
  IMGCOR t(b.nl, a.nc);
  t.lc = b.lc;
  t.cc = a.cc;
  ColourColumns across(t, b, fatx, borda);
  vistelmo::WideGrey wa(a), wt(t);
  if (!wa.fits() || !wt.fits()) return false;
  ZoomG::zoomy(wa.image(), wt.image(), faty, borda);
  for (int l = 0; l < b.nl(); l++) across.row(l, bytes(b.rows[l]));
  return true;
}

// zoomfat of a colour image on the fast tiers, in the grey one's order; with the horizontal pass
// first, its rows made as the vertical pass reads them. False, with nothing written, when this does
// not apply.
bool colour_zoomfat(const IMGCOR& a, IMGCOR& b, double fatx, double faty, char borda) {
  if (!vistelmo::resample_fast() || !vistelmo::has_pixels(a) || !vistelmo::has_pixels(b))
    return false;
  if (&a == &b) {
    const IMGCOR copy = a;
    return colour_zoomfat(copy, b, fatx, faty, borda);
  }
  if (fatx >= faty) {
    IMGCOR t(a.nl, b.nc);
    t.lc = a.lc;
    t.cc = b.cc;
    ColourColumns across(a, t, fatx, borda);
    vistelmo::WideGrey wt(t), wb(b);
    if (!wt.fits() || !wb.fits()) return false;
    KeptRows kept(wt.image().nc(),
                  [&](int64_t o, unsigned char* row) { across.row(static_cast<int>(o), row); });
    const RowFetch<unsigned char> fetch = [&](int64_t o) { return kept.row(o); };
    vistelmo::grey_rows_pass(wt.image(), wb.image(), faty, vistelmo::source_rule(wt.image(), borda),
                             &fetch);
    return true;
  }
  return colour_rows_first(a, b, fatx, faty, borda);
}

// The frame of rotzoom's shrunk source for a factor f below 1.
template <class Img>
Img shrink_frame(const Img& a, double f) {
  Img s(vistelmo::to_index(std::ceil(a.nl * f)), vistelmo::to_index(std::ceil(a.nc * f)));
  s.lc = vistelmo::round_index(a.lc * f);
  s.cc = vistelmo::round_index(a.cc * f);
  return s;
}

// a shrunk by f < 1 into s's frame, rows first; s takes a's outside value.
void shrink(const IMGGRY& a, IMGGRY& s, double f, char borda);

}  // namespace

namespace {

void shrink(const IMGGRY& a, IMGGRY& s, double f, char borda) {
  IMGGRY t(s.nl, a.nc);
  t.lc = s.lc;
  t.cc = a.cc;
  ZoomG::zoomy(a, t, f, borda);
  t.backg = a.backg;
  s.backg = a.backg;
  ZoomG::zoomx(t, s, f, borda);
}

}  // namespace

void zoomfat(const IMGGRY& a, IMGGRY& b, double fatx, double faty, char borda) {
  vistelmo::check_zoom_border(borda);
  if (fatx <= 0) erro("Erro: fatx<=0", "");
  if (faty <= 0) erro("Erro: faty<=0", "");
  if (fatx >= faty) {
    IMGGRY t(a.nl, b.nc);
    t.lc = a.lc;
    t.cc = b.cc;
    t.backg = a.backg;
    if (zoomx_then_zoomy(a, t, b, fatx, faty, borda)) return;
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
  vistelmo::check_zoom_border(borda);
  if (fatx <= 0) erro("Erro: fatx<=0", "");
  if (faty <= 0) erro("Erro: faty<=0", "");
  if (colour_zoomfat(a, b, fatx, faty, borda)) {
    b.backg = COR{0, 0, 0};
    return;
  }
  per_plane(a, b, [&](const IMGGRY& p, IMGGRY& q) { zoomfat(p, q, fatx, faty, borda); });
}

void rotzoom(const IMGFLT& source, IMGFLT& b, double graus, double f, char borda) {
  if (f <= 0) erro("Erro: Fator<=0.0", "");
  if (f < 1) {
    IMGFLT a = source;
    const int nl = vistelmo::round_index(a.nl * f), nc = vistelmo::round_index(a.nc * f);
    const int lc = vistelmo::round_index(a.lc * f), cc = vistelmo::round_index(a.cc * f);
    IMGFLT t(nl, a.nc);
    t.lc = lc;
    t.cc = a.cc;
    ZoomF::zoomy(a, t, f, 'X');
    a.resize(nl, nc);
    a.lc = lc;
    a.cc = cc;
    ZoomF::zoomx(t, a, f, 'X');
    return rotate_zoomed(a, b, graus, 1, borda, a.backg);
  }
  rotate_zoomed(source, b, graus, f, borda, source.backg);
}

void rotzoom(const IMGGRY& a, IMGGRY& b, double graus, double f, char borda) {
  vistelmo::check_zoom_border(borda);
  if (f <= 0) erro("Erro: Fator<=0.0", "");
  if (f < 1) {
    IMGGRY s = shrink_frame(a, f);
    shrink(a, s, f, borda);
    return rotate_zoomed(s, b, graus, 1, borda, s.backg);
  }
  rotate_zoomed(a, b, graus, f, borda, a.backg);
}

void rotzoom(const IMGCOR& a, IMGCOR& b, double graus, double f, char borda) {
  if (!(f >= 1) && !vistelmo::resample_fast()) {
    per_plane(a, b, [&](const IMGGRY& p, IMGGRY& q) { rotzoom(p, q, graus, f, borda); });
    return;
  }
  // The planes in one go: each channel as its own plane would be, with a plane's outside value
  // 0; the merged planes leave b's outside value 0.
  vistelmo::check_zoom_border(borda);
  if (!(f >= 1)) {
    if (f <= 0) erro("Erro: Fator<=0.0", "");
    IMGCOR s = shrink_frame(a, f);
    if (!colour_rows_first(a, s, f, f, borda))
      per_plane(a, s, [&](const IMGGRY& p, IMGGRY& q) { shrink(p, q, f, borda); });
    rotate_zoomed(s, b, graus, 1, borda, COR{0, 0, 0});
  } else {
    rotate_zoomed(a, b, graus, f, borda, COR{0, 0, 0});
  }
  b.backg = COR{0, 0, 0};
}
