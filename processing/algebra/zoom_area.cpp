// Area-averaging and interpolating zoom to a new size, one axis per pass.
#include "processing/algebra/zoom_area.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <type_traits>
#include <utility>
#include <vector>

#include "foundation/erro.h"
#include "images/colour_internal.h"
#include "images/image_core_internal.h"
#include "processing/algebra/planes.h"
#include "processing/algebra/zoom_area_internal.h"
#include "processing/kernels/resample.h"
#include "processing/kernels/resample_lines.h"
#include "processing/kernels/zoom_area.h"

namespace {

using vistelmo::Groups;
using vistelmo::groups;
using vistelmo::shrink_targets;

// Position x = k / f split into the left neighbour and the weight of the right one.
struct Tap {
  int i;
  double t;
};
Tap interp_tap(int k, double f) {
  const double x = k / f;
  const int i = vistelmo::floor_index(x);
  return Tap{i, x - i};
}

// 1 - t and t applied to two samples: the first product rounded to double, the sum to float.
inline float blend(double t, float a0, float a1) {
  const double w = 1 - t;
  const double first = w * a0;
  return static_cast<float>(first + t * a1);
}

// The 'x' border with rows taken from argument b and columns from a, so that lines run along
// rows.
vistelmo::BorderRule clamped(vistelmo::BorderRule br) {
  std::swap(br.a, br.b);
  br.swapped = true;
  return br;
}
vistelmo::BorderRule clamped(const IMGFLT& a) { return clamped(vistelmo::source_rule(a, 'x')); }

// A size round(v) for v >= 0; sizes beyond an int cannot be allocated.
int scaled_size(double v) {
  const double r = std::round(v);
  if (!(r <= 2147483647.0)) erro("Erro IMGFLT::aloca - Falta memoria", "");
  return static_cast<int>(r);
}

// Destination rows of a pass: the float image's own rows, or one float row that done(l) converts
// into row l of a grey image as IMGGRY(IMGFLT) does.
struct FloatRows {
  IMGFLT& b;
  float* row(int l) { return b.rows[l]; }
  void done(int) {}
};
struct GreyRows {
  IMGGRY& b;
  std::vector<float> buf;
  explicit GreyRows(IMGGRY& g) : b(g), buf(vistelmo::has_pixels(g) ? g.nc() : 0) {}
  float* row(int) { return buf.data(); }
  void done(int l) {
    vistelmo::area_kernels().units_to_bytes(buf.data(), static_cast<int>(buf.size()), b.rows[l]);
  }
};

// Output index of each of n source indices of C channels: source C j + ch goes where channel ch
// of j's output goes.
std::vector<int> spread(const std::vector<int>& k, int C) {
  std::vector<int> r(k.size() * C);
  for (size_t j = 0; j < k.size(); j++)
    for (int ch = 0; ch < C; ch++) r[C * j + ch] = C * k[j] + ch;
  return r;
}

// zoomc's fast loops, one row at a time: dst (bnc floats) from src (anc floats). With C channels
// the rows hold C floats per column, each channel as its own image's row.
class ColumnRows {
 public:
  // Shrinking: k holds the output column of each source column.
  ColumnRows(const std::vector<int>& k, int bnc, int C = 1)
      : shrink_(true),
        bnc_(C * bnc),
        g_(groups(spread(k, C), C * bnc)),
        runs_(vistelmo::pair_runs(g_.first, g_.members, C * bnc)) {}
  // Enlarging by f, the source read under the clamping rule br (anc columns, outside value
  // backg).
  ColumnRows(const vistelmo::BorderRule& br, int anc, float backg, int bnc, double f, int C = 1)
      : shrink_(false),
        bnc_(C * bnc),
        anc_(C * anc),
        backg_(backg),
        line_(C * anc + 2),
        i0_(C * bnc),
        i1_(C * bnc),
        w0_(C * bnc),
        w1_(C * bnc) {
    // Slot 0 is the outside value, C j + ch + 1 channel ch of column j.
    auto slot = [&](int64_t i, int ch) {
      const int64_t j = vistelmo::border_index(br, br.a, i);
      return static_cast<int32_t>(j < 0 ? 0 : C * j + ch + 1);
    };
    for (int c = 0; c < bnc; c++) {
      const Tap tap = interp_tap(c, f);
      for (int ch = 0; ch < C; ch++) {
        i0_[C * c + ch] = slot(tap.i, ch);
        i1_[C * c + ch] = slot(tap.i + int64_t{1}, ch);
        w0_[C * c + ch] = 1 - tap.t;
        w1_[C * c + ch] = tap.t;
      }
    }
    if (blend_ != nullptr) windows();
  }

  void row(const float* src, float* dst) {
    if (!shrink_ && !blocks_.empty()) {
      // Straight from the source row: the blocks in windows of it, the others one at a time.
      blend_(src, anc_, blocks_.data(), static_cast<int>(blocks_.size()), w0_.data(), w1_.data(),
             dst);
      auto at = [&](int32_t i) -> double { return i == 0 ? backg_ : i > anc_ ? 0.0f : src[i - 1]; };
      for (int k = 0; k < bnc_; k++) {
        const size_t b = k / 16;
        if (b < blocks_.size() && blocks_[b].base >= 0) {
          k += 15;
          continue;
        }
        vistelmo::store_pixel(dst[k], w0_[k] * at(i0_[k]) + w1_[k] * at(i1_[k]));
      }
      return;
    }
    if (!shrink_) {
      // As SourceLines holds a line: the outside value, the samples, then 0.
      line_[0] = backg_;
      std::copy(src, src + anc_, line_.begin() + 1);
      line_[anc_ + 1] = 0;
      vistelmo::blend_row(dst, bnc_, line_.data(), i0_.data(), vistelmo::Spread{w0_.data(), 1},
                          line_.data(), i1_.data(), vistelmo::Spread{w1_.data(), 1});
      return;
    }
    // The source columns of each output column, summed in ascending order; runs of pairs four
    // columns at a time.
    size_t r = 0;
    for (int c = 0; c < bnc_; c++) {
      if (r < runs_.size() && c == runs_[r].k0) {
        vistelmo::pair_means(dst + c, src + runs_[r].j0, runs_[r].k1 - c);
        c = runs_[r++].k1 - 1;
        continue;
      }
      float sum = 0.0f;
      for (int m = g_.first[c]; m < g_.first[c + 1]; m++) sum += src[g_.members[m]];
      dst[c] = sum / g_.count(c);
    }
  }

 private:
  // Blocks of 16 outputs whose samples lie inside the source, within 32 columns of the first.
  void windows() {
    for (int k0 = 0; k0 + 16 <= bnc_; k0 += 16) {
      vistelmo::WindowBlock b{};
      const int32_t* slots[2] = {&i0_[k0], &i1_[k0]};
      int32_t lo = slots[0][0], hi = lo;
      for (const int32_t* s : slots)
        for (int d = 0; d < 16; d++) {
          lo = std::min(lo, s[d]);
          hi = std::max(hi, s[d]);
        }
      b.base = lo >= 1 && hi <= anc_ && hi - lo < 32 ? lo - 1 : -1;
      for (int n = 0; n < 2 && b.base >= 0; n++)
        for (int d = 0; d < 16; d++)
          b.rel[n][d] = static_cast<unsigned char>(slots[n][d] - 1 - b.base);
      blocks_.push_back(b);
    }
  }

  bool shrink_;
  int bnc_, anc_ = 0;
  float backg_ = 0;
  Groups g_;
  std::vector<vistelmo::PairRun> runs_;
  std::vector<double> line_;
  std::vector<int32_t> i0_, i1_;
  std::vector<double> w0_, w1_;
  std::vector<vistelmo::WindowBlock> blocks_;
  decltype(vistelmo::AreaKernels::window_blend_row) blend_ =
      vistelmo::area_kernels().window_blend_row;
};

// The plain interpolating loops, sample by sample: along the columns (zoomc) or the rows (zooml).
void interp_plain(const IMGFLT& a, IMGFLT& b, double f, bool along_columns) {
  const vistelmo::Sampler<IMGFLT> s(a, 'x');
  for (int l = 0; l < b.nl(); l++) {
    float* dst = b.rows[l];
    for (int c = 0; c < b.nc(); c++) {
      const Tap tap = interp_tap(along_columns ? c : l, f);
      dst[c] = along_columns ? blend(tap.t, s(l, tap.i), s(l, tap.i + 1))
                             : blend(tap.t, s(tap.i, c), s(tap.i + 1, c));
    }
  }
}

// Row l of a source as floats: a float image's own row, or a grey row converted into buf as
// IMGFLT(IMGGRY) converts it.
const float* float_row(const IMGFLT& a, int l, std::vector<float>&) { return a.rows[l]; }
const float* float_row(const IMGGRY& a, int l, std::vector<float>& buf) {
  buf.resize(a.nc());
  for (size_t c = 0; c < buf.size(); c++) buf[c] = vistelmo::kByteUnits<float>.v[a.rows[l][c]];
  return buf.data();
}

template <class Src, class Img, class Rows>
void zoomc_rows(const Src& a, const Img& b, Rows& out, double f) {
  if constexpr (!std::is_same_v<Src, IMGFLT>)
    if (!(f < 1 && vistelmo::resample_fast())) return zoomc_rows(IMGFLT(a), b, out, f);
  const bool full = vistelmo::has_pixels(a);
  const bool fast = vistelmo::resample_fast();
  if (f < 1) {
    const int bnc = b.nc;
    const std::vector<int> k = shrink_targets(full ? a.nc() : 0, bnc, f);
    if (full && b.nl < a.nl) erro("Erro ZoomF::zoomc - b.nl<a.nl", "");
    if (!vistelmo::has_pixels(b)) return;
    if (fast) {
      // Rows past a's keep 0.
      ColumnRows pass(k, bnc);
      const int rows = full ? a.nl() : 0;
      for (int l = rows; l < b.nl(); l++) {
        std::fill(out.row(l), out.row(l) + bnc, 0.0f);
        out.done(l);
      }
      std::vector<float> buf;
      for (int l = 0; l < rows; l++) {
        pass.row(float_row(a, l, buf), out.row(l));
        out.done(l);
      }
      return;
    }
    if constexpr (std::is_same_v<Rows, FloatRows> && std::is_same_v<Src, IMGFLT>) {
      IMGFLT& b = out.b;
      b.fill(0.0f);
      std::vector<int> count(bnc);
      for (int l = 0; full && l < a.nl(); l++) {
        std::fill(count.begin(), count.end(), 0);
        const float* src = a.rows[l];
        float* dst = b.rows[l];
        for (int j = 0; j < a.nc(); j++) {
          dst[k[j]] += src[j];
          count[k[j]]++;
        }
        for (int c = 0; c < bnc; c++) dst[c] = dst[c] / count[c];
      }
    }
    return;
  }
  if constexpr (std::is_same_v<Src, IMGFLT>) {
    if (!vistelmo::has_pixels(b)) return;
    if (fast) {
      // Rows past a's read its last row.
      const vistelmo::BorderRule br = clamped(a);
      const int anc = static_cast<int>(br.a.size);
      ColumnRows pass(br, anc, a.backg, b.nc(), f);
      const std::vector<float> outside(anc, a.backg);
      for (int l = 0; l < b.nl(); l++) {
        const int64_t o = vistelmo::border_index(br, br.b, l);
        pass.row(o < 0 ? outside.data() : a.rows[o], out.row(l));
        out.done(l);
      }
      return;
    }
    if constexpr (std::is_same_v<Rows, FloatRows>) interp_plain(a, out.b, f, true);
  }
}

// zooml's fast interpolating loop over the source lines.
template <class Img, class Rows>
void interp_rows(vistelmo::SourceLines<IMGFLT>& lines, const Img& b, Rows& out, double f) {
  std::vector<int32_t> at(b.nc());
  for (int c = 0; c < b.nc(); c++) at[c] = lines.slot(c);
  int32_t first;
  const int32_t* table = vistelmo::table_or_run(at, first);
  for (int l = 0; l < b.nl(); l++) {
    const Tap tap = interp_tap(l, f);
    const double* s0 = lines.line(tap.i);
    const double* s1 = lines.line(tap.i + static_cast<int64_t>(1), s0);
    const double w0 = 1 - tap.t;
    vistelmo::blend_row(out.row(l), b.nc(), s0 + first, table, vistelmo::Spread{&w0, 0}, s1 + first,
                        table, vistelmo::Spread{&tap.t, 0});
    out.done(l);
  }
}

template <class Src, class Img, class Rows>
void zooml_rows(const Src& a, const Img& b, Rows& out, double f) {
  if constexpr (!std::is_same_v<Src, IMGFLT>) {
    if (f >= 1 && vistelmo::resample_fast() && vistelmo::has_pixels(a) && vistelmo::has_pixels(b)) {
      // The lines of the converted image, each row converted as they read it (the clamp never
      // reads the outside value).
      std::vector<float> buf;
      const std::function<const float*(int64_t)> fetch = [&](int64_t o) {
        return float_row(a, static_cast<int>(o), buf);
      };
      const IMGFLT shape;
      vistelmo::SourceLines<IMGFLT> lines(shape, clamped(vistelmo::source_rule(a, 'x')), &fetch);
      return interp_rows(lines, b, out, f);
    }
    if (!(f < 1 && vistelmo::resample_fast())) return zooml_rows(IMGFLT(a), b, out, f);
  }
  const bool full = vistelmo::has_pixels(a);
  if (f < 1) {
    const int bnl = b.nl;
    const std::vector<int> k = shrink_targets(full ? a.nl() : 0, bnl, f);
    if (full && b.nc < a.nc) erro("Erro ZoomF::zooml - b.nc<a.nc", "");
    if (!vistelmo::has_pixels(b)) return;
    if (vistelmo::resample_fast()) {
      // Each output row at once from its source rows, in ascending order; columns past a's keep
      // 0.
      const Groups g = groups(k, bnl);
      const int cols = full ? a.nc() : 0;
      std::vector<float> buf, buf1;
      for (int l = 0; l < bnl; l++) {
        float* dst = out.row(l);
        std::fill(dst + cols, dst + b.nc(), 0.0f);
        const int n = g.count(l);
        const float count = static_cast<float>(n);
        if (n == 2) {
          // Halving by the exact inverse: the same bits as the division.
          const float* s0 = float_row(a, g.members[g.first[l]], buf);
          const float* s1 = float_row(a, g.members[g.first[l] + 1], buf1);
          // The next output row's source rows fetched as this one goes: the streams jump there.
          const float* next[2] = {s0, s1};
          if constexpr (std::is_same_v<Src, IMGFLT>)
            if (l + 1 < bnl && g.count(l + 1) == 2)
              for (int i = 0; i < 2; i++) next[i] = a.rows[g.members[g.first[l + 1] + i]];
          for (int j0 = 0; j0 < cols; j0 += 16) {
            for (const float* p : next)
              _mm_prefetch(reinterpret_cast<const char*>(p + j0), _MM_HINT_T0);
            const int j1 = std::min(cols, j0 + 16);
            for (int j = j0; j < j1; j++) dst[j] = (0.0f + s0[j] + s1[j]) * 0.5f;
          }
          out.done(l);
          continue;
        }
        if (n == 0) {
          std::fill(dst, dst + cols, 0.0f);
        } else {
          const float* s0 = float_row(a, g.members[g.first[l]], buf);
          for (int j = 0; j < cols; j++) dst[j] = 0.0f + s0[j];
          for (int m = g.first[l] + 1; m < g.first[l + 1]; m++) {
            const float* src = float_row(a, g.members[m], buf);
            for (int j = 0; j < cols; j++) dst[j] += src[j];
          }
        }
        for (int j = 0; j < cols; j++) dst[j] = dst[j] / count;
        out.done(l);
      }
      return;
    }
    if constexpr (std::is_same_v<Rows, FloatRows> && std::is_same_v<Src, IMGFLT>) {
      IMGFLT& b = out.b;
      b.fill(0.0f);
      // Row by row of a: each output pixel still sums its source rows in ascending order.
      std::vector<int> count(bnl, 0);
      for (int i = 0; full && i < a.nl(); i++) {
        const float* src = a.rows[i];
        float* dst = b.rows[k[i]];
        for (int j = 0; j < a.nc(); j++) dst[j] += src[j];
        count[k[i]]++;
      }
      const int cols = full ? a.nc() : 0;
      for (int l = 0; l < bnl; l++)
        for (int j = 0; j < cols; j++) b.rows[l][j] = b.rows[l][j] / count[l];
    }
    return;
  }
  if constexpr (std::is_same_v<Src, IMGFLT>) {
    if (!vistelmo::has_pixels(b)) return;
    if (vistelmo::resample_fast()) {
      vistelmo::SourceLines<IMGFLT> lines(a, clamped(a));
      return interp_rows(lines, b, out, f);
    }
    if constexpr (std::is_same_v<Rows, FloatRows>) interp_plain(a, out.b, f, false);
  }
}

// The frame of a resized to N x M: a fresh one, or a's centre and outside value when the size
// stays.
IMGFLT zoomed_frame(const IMGFLT& a, int N, int M) {
  IMGFLT r(N, M);
  if (a.nl == N && a.nc == M && (a.data != nullptr || N < 1 || M < 1)) {
    vistelmo::take_frame(r, a);
  }
  return r;
}

// The size of a destination whose rows a pass hands on (Rows) instead of storing; data only
// marks it as holding pixels.
struct PassFrame {
  IntField nl, nc;
  const void* data;
};

// Rows of the row pass handed at once to the column pass: its row l into row l of out.
template <class Rows>
struct ThenColumns {
  ColumnRows& pass;
  Rows& out;
  std::vector<float> buf;
  float* row(int) { return buf.data(); }
  void done(int l) {
    pass.row(buf.data(), out.row(l));
    out.done(l);
  }
};

// The two passes from a into r (N x M), the larger factor's direction second; r's rows through
// out.
// Whether two_pass goes without the intermediate image: nothing fails with pixels on both sides.
template <class Src>
bool one_go(const Src& a, int N, int M, double fatl, double fatc) {
  return fatl >= fatc && vistelmo::resample_fast() && vistelmo::has_pixels(a) && N >= 1 && M >= 1;
}

// That form for a source of C channels per column (a.nc() / C columns) into M columns.
template <class Src, class Rows>
void two_pass_one_go(const Src& a, int N, int M, double fatl, double fatc, Rows& out, int C = 1) {
  const int wide = a.nc(), anc = wide / C;
  const PassFrame frame{{N}, {wide}, &frame};  // the intermediate's size
  if (fatc < 1) {
    ColumnRows pass(shrink_targets(anc, M, fatc), M, C);
    ThenColumns<Rows> rows{pass, out, std::vector<float>(wide)};
    zooml_rows(a, frame, rows, fatl);
  } else {
    const vistelmo::BorderRule br = clamped(vistelmo::border_rule(
        'x', N, anc, vistelmo::default_centre(N), vistelmo::default_centre(anc)));
    ColumnRows pass(br, anc, 0.0f, M, fatc, C);
    ThenColumns<Rows> rows{pass, out, std::vector<float>(wide)};
    zooml_rows(a, frame, rows, fatl);
  }
}

template <class Src, class Img, class Rows>
void two_pass(const Src& a, int N, int M, double fatl, double fatc, const Img& r, Rows& out) {
  if (one_go(a, N, M, fatl, fatc)) return two_pass_one_go(a, N, M, fatl, fatc, out);
  if (fatl < fatc) {
    IMGFLT t(a.nl, M);
    FloatRows rows{t};
    zoomc_rows(a, t, rows, fatc);
    zooml_rows(t, r, out, fatl);
  } else {
    IMGFLT t(N, a.nc);
    FloatRows rows{t};
    zooml_rows(a, t, rows, fatl);
    zoomc_rows(t, r, out, fatc);
  }
}

IMGFLT zoomed(const IMGFLT& a, int N, int M, double fatl, double fatc) {
  IMGFLT r = zoomed_frame(a, N, M);
  FloatRows out{r};
  two_pass(a, N, M, fatl, fatc, r, out);
  return r;
}

void check_sizes(int nl, int nc) {
  if (nl < 1) erro("Erro: b.nl<=0", "");
  if (nc < 1) erro("Erro: b.nc<=0", "");
}

}  // namespace

void ZoomF::zoomc(const IMGFLT& a, IMGFLT& b, double f) {
  FloatRows out{b};
  zoomc_rows(a, b, out, f);
}

void ZoomF::zooml(const IMGFLT& a, IMGFLT& b, double f) {
  FloatRows out{b};
  zooml_rows(a, b, out, f);
}

IMGFLT zoomfat(const IMGFLT& a, double fatl, double fatc) {
  if (!(fatl > 0)) erro("Erro: fatl<=0", "");
  if (!(fatc > 0)) erro("Erro: fatc<=0", "");
  const int N = scaled_size(a.nl * fatl), M = scaled_size(a.nc * fatc);
  return zoomed(a, N, M, fatl, fatc);
}

IMGFLT zoomnp(const IMGFLT& a, int nl, int nc) {
  check_sizes(nl, nc);
  const double fatl = static_cast<double>(nl) / a.nl, fatc = static_cast<double>(nc) / a.nc;
  return zoomed(a, nl, nc, fatl, fatc);
}

IMGGRY zoomnp(const IMGGRY& a, int nl, int nc) {
  if (!vistelmo::resample_fast()) return IMGGRY(zoomnp(IMGFLT(a), nl, nc));
  // As the float zoom of the converted image, each row converted as it is read or made.
  check_sizes(nl, nc);
  const double fatl = static_cast<double>(nl) / a.nl, fatc = static_cast<double>(nc) / a.nc;
  IMGGRY r(nl, nc);
  const bool kept = a.nl == nl && a.nc == nc && a.data != nullptr;  // as zoomed_frame
  r.backg = kept ? a.backg : 0;
  if (fatl < 1 && fatc < 1 && vistelmo::has_pixels(a) && vistelmo::area_kernels().shrinks() &&
      vistelmo::grey_shrink(a, r, fatl, fatc))
    return r;
  GreyRows out(r);
  two_pass(a, nl, nc, fatl, fatc, r, out);
  return r;
}

IMGCOR zoomnp(const IMGCOR& a, int nl, int nc) {
  if (vistelmo::resample_fast() && vistelmo::has_pixels(a)) {
    // As the grey zoom on each plane (whose outside value is 0, as r's).
    check_sizes(nl, nc);
    const double fatl = static_cast<double>(nl) / a.nl, fatc = static_cast<double>(nc) / a.nc;
    IMGCOR r(nl, nc);
    if (fatl < 1 && fatc < 1 && vistelmo::area_kernels().shrinks() &&
        vistelmo::colour_shrink(a, r, fatl, fatc))
      return r;
    // The bytes as a grey image of three times the columns, each channel's columns resampled.
    vistelmo::WideGrey src(a), dst(r);
    if (one_go(a, nl, nc, fatl, fatc) && src.fits() && dst.fits()) {
      GreyRows out(dst.image());
      two_pass_one_go(src.image(), nl, nc, fatl, fatc, out, 3);
      return r;
    }
  }
  IMGGRY r, g, b;
  prisma(a, r, g, b);
  return iprisma(zoomnp(r, nl, nc), zoomnp(g, nl, nc), zoomnp(b, nl, nc));
}
