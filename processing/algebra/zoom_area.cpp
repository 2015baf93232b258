// Area-averaging and interpolating zoom to a new size, one axis per pass.
#include "processing/algebra/zoom_area.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <type_traits>
#include <utility>
#include <vector>

#include "foundation/erro.h"
#include "images/colour_internal.h"
#include "images/image_core_internal.h"
#include "processing/algebra/planes.h"
#include "processing/algebra/resample_internal.h"

namespace {

// Output index of each source index when shrinking: round(j f), clamped to the last output.
// An index below 0 (no output, or a negative factor) fails as the count vector's access does;
// so does a position that is not a number (an infinite factor times 0).
std::vector<int> shrink_targets(int from, int to, double f) {
  std::vector<int> k(from > 0 ? from : 0);
  for (int j = 0; j < from; j++) {
    double t = std::round(j * f);
    if (t >= to) t = to - 1;
    if (!(t >= 0)) erro("Erro VETOR::operator() - Indice invalido", "");
    k[j] = static_cast<int>(t);
  }
  return k;
}

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
vistelmo::BorderRule clamped(const IMGFLT& a) {
  vistelmo::BorderRule br = vistelmo::source_rule(a, 'x');
  std::swap(br.a, br.b);
  br.swapped = true;
  return br;
}

// Source indices of each output index: first[c] .. first[c + 1] index members, ascending.
struct Groups {
  std::vector<int> first, members;
  int count(int c) const { return first[c + 1] - first[c]; }
};
Groups groups(const std::vector<int>& target, int to) {
  Groups g{std::vector<int>(to + 1, 0), std::vector<int>(target.size())};
  for (int t : target) g.first[t + 1]++;
  for (int c = 0; c < to; c++) g.first[c + 1] += g.first[c];
  std::vector<int> fill(g.first.begin(), g.first.end() - 1);
  for (size_t j = 0; j < target.size(); j++) g.members[fill[target[j]]++] = static_cast<int>(j);
  return g;
}

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
    unsigned char* dst = b.rows[l];
    for (size_t c = 0; c < buf.size(); c++) dst[c] = vistelmo::unit_to_byte(buf[c]);
  }
};

template <class Img, class Rows>
void zoomc_rows(const IMGFLT& a, const Img& b, Rows& out, double f) {
  const bool full = vistelmo::has_pixels(a);
  const bool fast = vistelmo::resample_fast();
  if (f < 1) {
    const int bnc = b.nc;
    const std::vector<int> k = shrink_targets(full ? a.nc() : 0, bnc, f);
    if (full && b.nl < a.nl) erro("Erro ZoomF::zoomc - b.nl<a.nl", "");
    if (!vistelmo::has_pixels(b)) return;
    if (fast) {
      // The source columns of each output column, summed in ascending order; runs of pairs four
      // columns at a time. Rows past a's keep 0.
      const Groups g = groups(k, bnc);
      const std::vector<vistelmo::PairRun> runs = vistelmo::pair_runs(g.first, g.members, bnc);
      const int rows = full ? a.nl() : 0;
      for (int l = rows; l < b.nl(); l++) {
        std::fill(out.row(l), out.row(l) + bnc, 0.0f);
        out.done(l);
      }
      for (int l = 0; l < rows; l++) {
        const float* src = a.rows[l];
        float* dst = out.row(l);
        size_t r = 0;
        for (int c = 0; c < bnc; c++) {
          if (r < runs.size() && c == runs[r].k0) {
            vistelmo::pair_means(dst + c, src + runs[r].j0, runs[r].k1 - c);
            c = runs[r++].k1 - 1;
            continue;
          }
          float sum = 0.0f;
          for (int m = g.first[c]; m < g.first[c + 1]; m++) sum += src[g.members[m]];
          dst[c] = sum / g.count(c);
        }
        out.done(l);
      }
      return;
    }
    if constexpr (std::is_same_v<Rows, FloatRows>) {
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
  if (!vistelmo::has_pixels(b)) return;
  std::vector<Tap> taps(b.nc());
  for (int c = 0; c < b.nc(); c++) taps[c] = interp_tap(c, f);
  if (fast) {
    vistelmo::SourceLines<IMGFLT> lines(a, clamped(a));
    std::vector<int32_t> i0(b.nc()), i1(b.nc());
    std::vector<double> w0(b.nc()), w1(b.nc());
    for (int c = 0; c < b.nc(); c++) {
      i0[c] = lines.slot(taps[c].i);
      i1[c] = lines.slot(taps[c].i + static_cast<int64_t>(1));
      w0[c] = 1 - taps[c].t;
      w1[c] = taps[c].t;
    }
    const bool avx2 = vistelmo::resample_avx2();
    for (int l = 0; l < b.nl(); l++) {
      const double* src = lines.line(l);
      vistelmo::blend_row(avx2, out.row(l), b.nc(), src, i0.data(), vistelmo::Spread{w0.data(), 1},
                          src, i1.data(), vistelmo::Spread{w1.data(), 1});
      out.done(l);
    }
    return;
  }
  if constexpr (std::is_same_v<Rows, FloatRows>) {
    IMGFLT& b = out.b;
    const vistelmo::Sampler<IMGFLT> s(a, 'x');
    for (int l = 0; l < b.nl(); l++) {
      float* dst = b.rows[l];
      for (int c = 0; c < b.nc(); c++)
        dst[c] = blend(taps[c].t, s(l, taps[c].i), s(l, taps[c].i + 1));
    }
  }
}

template <class Img, class Rows>
void zooml_rows(const IMGFLT& a, const Img& b, Rows& out, double f) {
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
      for (int l = 0; l < bnl; l++) {
        float* dst = out.row(l);
        std::fill(dst + cols, dst + b.nc(), 0.0f);
        if (g.count(l) == 0) {
          std::fill(dst, dst + cols, 0.0f);
        } else {
          const float* s0 = a.rows[g.members[g.first[l]]];
          for (int j = 0; j < cols; j++) dst[j] = 0.0f + s0[j];
          for (int m = g.first[l] + 1; m < g.first[l + 1]; m++) {
            const float* src = a.rows[g.members[m]];
            for (int j = 0; j < cols; j++) dst[j] += src[j];
          }
        }
        const float count = static_cast<float>(g.count(l));
        for (int j = 0; j < cols; j++) dst[j] = dst[j] / count;
        out.done(l);
      }
      return;
    }
    if constexpr (std::is_same_v<Rows, FloatRows>) {
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
  if (!vistelmo::has_pixels(b)) return;
  if (vistelmo::resample_fast()) {
    vistelmo::SourceLines<IMGFLT> lines(a, clamped(a));
    std::vector<int32_t> at(b.nc());
    for (int c = 0; c < b.nc(); c++) at[c] = lines.slot(c);
    int32_t first;
    const int32_t* table = vistelmo::table_or_run(at, first);
    const bool avx2 = vistelmo::resample_avx2();
    for (int l = 0; l < b.nl(); l++) {
      const Tap tap = interp_tap(l, f);
      const double* s0 = lines.line(tap.i);
      const double* s1 = lines.line(tap.i + static_cast<int64_t>(1), s0);
      const double w0 = 1 - tap.t;
      vistelmo::blend_row(avx2, out.row(l), b.nc(), s0 + first, table, vistelmo::Spread{&w0, 0},
                          s1 + first, table, vistelmo::Spread{&tap.t, 0});
      out.done(l);
    }
    return;
  }
  if constexpr (std::is_same_v<Rows, FloatRows>) {
    IMGFLT& b = out.b;
    const vistelmo::Sampler<IMGFLT> s(a, 'x');
    for (int l = 0; l < b.nl(); l++) {
      const Tap tap = interp_tap(l, f);
      float* dst = b.rows[l];
      for (int c = 0; c < b.nc(); c++) dst[c] = blend(tap.t, s(tap.i, c), s(tap.i + 1, c));
    }
  }
}

// The frame of a resized to N x M: a fresh one, or a's centre and outside value when the size
// stays.
IMGFLT zoomed_frame(const IMGFLT& a, int N, int M) {
  IMGFLT r(N, M);
  if (a.nl == N && a.nc == M && (a.data != nullptr || N < 1 || M < 1)) {
    r.lc = a.lc;
    r.cc = a.cc;
    r.backg = a.backg;
  }
  return r;
}

// The two passes from a into r (N x M), the larger factor's direction second; r's rows through
// out.
template <class Img, class Rows>
void two_pass(const IMGFLT& a, int N, int M, double fatl, double fatc, const Img& r, Rows& out) {
  if (fatl < fatc) {
    IMGFLT t(a.nl, M);
    ZoomF::zoomc(a, t, fatc);
    zooml_rows(t, r, out, fatl);
  } else {
    IMGFLT t(N, a.nc);
    ZoomF::zooml(a, t, fatl);
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
  // As the float zoom converted, each row converted as it is made.
  check_sizes(nl, nc);
  const IMGFLT f(a);
  const double fatl = static_cast<double>(nl) / f.nl, fatc = static_cast<double>(nc) / f.nc;
  IMGGRY r(nl, nc);
  const bool kept = f.nl == nl && f.nc == nc && f.data != nullptr;  // as zoomed_frame
  r.backg = vistelmo::unit_to_byte(kept ? f.backg : 0.0f);
  GreyRows out(r);
  two_pass(f, nl, nc, fatl, fatc, r, out);
  return r;
}

IMGCOR zoomnp(const IMGCOR& a, int nl, int nc) {
  IMGGRY r, g, b;
  prisma(a, r, g, b);
  return iprisma(zoomnp(r, nl, nc), zoomnp(g, nl, nc), zoomnp(b, nl, nc));
}
