// Area-averaging and interpolating zoom to a new size, one axis per pass.
#include "processing/algebra/zoom_area.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <type_traits>
#include <utility>
#include <vector>

#include "foundation/erro.h"
#include "images/colour_internal.h"
#include "images/image_core_internal.h"
#include "processing/algebra/planes.h"
#include "processing/kernels/resample.h"
#include "processing/kernels/resample_lines.h"
#include "processing/kernels/zoom_area.h"

namespace {

// Output index of each source index when shrinking: round(j f), clamped to the last output.
// An index below 0 (no output, or a negative factor) fails as the count vector's access does;
// so does a position that is not a number (an infinite factor times 0).
std::vector<int> shrink_targets(int from, int to, double f) {
  std::vector<int> k(from > 0 ? from : 0);
  // Every position in [0, 2^31) and an output to clamp to: the same steps without the checks.
  if (from > 0 && to > 0 && f >= 0 && (from - 1) * f < 2147483648.0) {
    for (int j = 0; j < from; j++) {
      const double x = j * f;
      double t = static_cast<double>(static_cast<int>(x));
      t += x - t >= 0.5 ? 1 : 0;
      k[j] = static_cast<int>(t >= to ? to - 1 : t);
    }
    return k;
  }
  for (int j = 0; j < from; j++) {
    // std::round without the call for the usual positions: halves go up.
    const double x = j * f;
    double t;
    if (x >= 0 && x < 2147483648.0) {
      t = static_cast<double>(static_cast<int>(x));
      t += x - t >= 0.5 ? 1 : 0;
    } else {
      t = std::round(x);
    }
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
vistelmo::BorderRule clamped(vistelmo::BorderRule br) {
  std::swap(br.a, br.b);
  br.swapped = true;
  return br;
}
vistelmo::BorderRule clamped(const IMGFLT& a) { return clamped(vistelmo::source_rule(a, 'x')); }

// Source indices of each output index: first[c] .. first[c + 1] index members, ascending.
struct Groups {
  std::vector<int> first, members;
  int count(int c) const { return first[c + 1] - first[c]; }
};
Groups groups(const std::vector<int>& target, int to) {
  Groups g{std::vector<int>(to + 1, 0), std::vector<int>(target.size())};
  // Ascending targets (a shrink's): the members in order, each group starting where the last ended.
  const int n = static_cast<int>(target.size());
  if (n > 0 && target[0] >= 0 && target[n - 1] < to &&
      std::is_sorted(target.begin(), target.end())) {
    // first[c + 1]: one past the last member of group c, or of the last group before it.
    for (int j = 0; j < n; j++) {
      g.members[j] = j;
      g.first[target[j] + 1] = j + 1;
    }
    for (int c = 0; c < to; c++) g.first[c + 1] = std::max(g.first[c + 1], g.first[c]);
    return g;
  }
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
    const int n = static_cast<int>(buf.size());
    int c = vistelmo::units_to_bytes(buf.data(), n, dst);
    // unit_to_byte four at a time: max(v, 0) gives 0 for NaN, v * 255 is exact in double.
    const __m128d zero = _mm_setzero_pd(), one = _mm_set1_pd(1.0), scale = _mm_set1_pd(255.0);
    for (; c + 4 <= n; c += 4) {
      const __m128 v = _mm_loadu_ps(&buf[c]);
      const __m128d lo = _mm_min_pd(_mm_max_pd(_mm_cvtps_pd(v), zero), one);
      const __m128d hi = _mm_min_pd(_mm_max_pd(_mm_cvtps_pd(_mm_movehl_ps(v, v)), zero), one);
      const __m128i i = _mm_unpacklo_epi64(_mm_cvttpd_epi32(_mm_mul_pd(lo, scale)),
                                           _mm_cvttpd_epi32(_mm_mul_pd(hi, scale)));
      const __m128i words = _mm_packs_epi32(i, i);
      const int32_t bytes = _mm_cvtsi128_si32(_mm_packus_epi16(words, words));
      std::memcpy(dst + c, &bytes, 4);
    }
    for (; c < n; c++) dst[c] = vistelmo::unit_to_byte(buf[c]);
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
    if (vistelmo::area_avx512()) windows();
  }

  void row(const float* src, float* dst) {
    if (!shrink_ && !blocks_.empty()) {
      // Straight from the source row: the blocks in windows of it, the others one at a time.
      vistelmo::window_blend_row(src, anc_, blocks_.data(), static_cast<int>(blocks_.size()),
                                 w0_.data(), w1_.data(), dst);
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
      vistelmo::blend_row(vistelmo::resample_avx2(), dst, bnc_, line_.data(), i0_.data(),
                          vistelmo::Spread{w0_.data(), 1}, line_.data(), i1_.data(),
                          vistelmo::Spread{w1_.data(), 1});
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

// One output byte of a grey shrink from its source rows rows[0..n) and columns cols[0..m), as the
// row pass, the column pass (or the column pass first: pairs_first) and the conversion make it.
// x / d, as the product by 1 / d when d is a power of two (the same value).
inline float divided(float x, int d) {
  return (d & (d - 1)) == 0 ? x * (1.0f / static_cast<float>(d)) : x / static_cast<float>(d);
}

// N: the row count when known (0: n).
template <int N>
unsigned char grey_block(const unsigned char* const* rows, int n, const int* cols, int m,
                         bool pairs_first) {
  if constexpr (N > 0) n = N;
  const float* unit = vistelmo::kByteUnits<float>.v;
  float sum = 0.0f;
  if (pairs_first) {
    for (int r = 0; r < n; r++) {
      float h = 0.0f;
      for (int i = 0; i < m; i++) h += unit[rows[r][cols[i]]];
      sum += divided(h, m);
    }
    return vistelmo::unit_to_byte(divided(sum, n));
  }
  for (int i = 0; i < m; i++) {
    float v = 0.0f;
    for (int r = 0; r < n; r++) v += unit[rows[r][cols[i]]];
    sum += divided(v, n);
  }
  return vistelmo::unit_to_byte(divided(sum, m));
}

// A shrink both ways from anl x anc to nl x nc, in the passes' order (the larger factor's
// direction second): each output byte straight from its block of source bytes, long runs of pairs
// and groups of four columns by the row kernels, the outputs between them in blocks of mixed
// groups.
class GreyShrink {
 public:
  GreyShrink(int anl, int anc, int nl, int nc, double fatl, double fatc)
      : pairs_first_(fatl < fatc),
        nc_(nc),
        anc_(anc),
        rows_(groups(shrink_targets(anl, nl, fatl), nl)),
        cols_(groups(shrink_targets(anc, nc, fatc), nc)),
        avx512_(vistelmo::area_avx512()) {
    const int kLeast = 16;
    for (int size : {2, 4}) {
      if (size == 4 && !avx512_) break;
      for (const vistelmo::PairRun& r : vistelmo::pair_runs(cols_.first, cols_.members, nc, size))
        if (r.k1 - r.k0 >= kLeast) runs_.push_back({r, size, 0, 0});
    }
    std::sort(runs_.begin(), runs_.end(),
              [](const Run& x, const Run& y) { return x.run.k0 < y.run.k0; });
    const size_t long_runs = runs_.size();
    int c = 0;
    for (size_t i = 0; i <= long_runs; i++) {
      add_mixed(c, i < long_runs ? runs_[i].run.k0 : nc);
      if (i < long_runs) c = runs_[i].run.k1;
    }
    std::sort(runs_.begin(), runs_.end(),
              [](const Run& x, const Run& y) { return x.run.k0 < y.run.k0; });
    done_.resize(runs_.size());
  }
  // False when a group is empty.
  bool ok() const {
    for (size_t l = 0; l + 1 < rows_.first.size(); l++)
      if (rows_.count(static_cast<int>(l)) == 0) return false;
    for (int c = 0; c < nc_; c++)
      if (cols_.count(c) == 0) return false;
    return true;
  }
  // Source rows of each output row.
  const Groups& rows() const { return rows_; }

  // One output row from its n source rows src.
  void row(const unsigned char* const* src, int n, unsigned char* dst) {
    // The runs first (done_[i]: the end of what the kernel made of run i), then the other
    // outputs, whose rows are in cache by then.
    for (size_t i = 0; i < runs_.size(); i++) {
      const vistelmo::PairRun& r = runs_[i].run;
      if (runs_[i].size == 0) {
        vistelmo::grey_mixed_means(avx512_, pairs_first_, src, n, &blocks_[runs_[i].b0],
                                   runs_[i].b1 - runs_[i].b0, dst + r.k0);
        done_[i] = r.k1;
        continue;
      }
      done_[i] =
          r.k0 + (runs_[i].size == 2 ? vistelmo::grey_pair_means : vistelmo::grey_quad_means)(
                     avx512_, pairs_first_, src, n, r.j0, r.k1 - r.k0, dst + r.k0);
    }
    size_t i = 0;
    for (int c = 0; c < nc_;) {
      if (i < runs_.size() && c == runs_[i].run.k0) {
        c = done_[i++];
        continue;
      }
      const int* cols = &cols_.members[cols_.first[c]];
      dst[c] = n == 2 ? grey_block<2>(src, n, cols, cols_.count(c), pairs_first_)
                      : grey_block<0>(src, n, cols, cols_.count(c), pairs_first_);
      c++;
    }
  }

 private:
  bool pairs_first_;
  int nc_, anc_;
  Groups rows_, cols_;
  bool avx512_;
  // Runs of pairs and of groups of four (size), or of mixed blocks b0 .. b1 - 1 (size 0), by their
  // first output.
  struct Run {
    vistelmo::PairRun run;
    int size, b0, b1;
  };
  std::vector<Run> runs_;
  std::vector<int> done_;
  std::vector<vistelmo::MixedBlock> blocks_;

  // The block of the outputs from k (at most most of them) that fit one: 0 outputs when k's group
  // does not. The AVX2 form also needs each quarter's columns in 16 bytes of the row.
  vistelmo::MixedBlock mixed_block(int k, int most) const {
    vistelmo::MixedBlock b{};
    b.k0 = k;
    b.j0 = cols_.members[cols_.first[k]];
    bool pow2 = true;
    for (int d = 0; d < most && d < 16; d++) {
      const int m = cols_.count(k + d);
      const int* cols = &cols_.members[cols_.first[k + d]];
      if (d % 4 == 0) {
        // The quarter's 16 bytes start at its first column, or end at the row's end.
        const int start = m >= 1 ? std::min(cols[0], anc_ - 16) : -1;
        if (start < 0 && !avx512_) break;
        b.quarter[d / 4] = start - b.j0;
      }
      bool fits = m >= 1 && m <= 4;
      for (int i = 0; fits && i < m; i++) {
        const int near = cols[i] - b.j0 - b.quarter[d / 4];
        fits = cols[i] >= b.j0 && cols[i] - b.j0 < 64 && (avx512_ || (near >= 0 && near < 16));
      }
      if (!fits) break;
      for (int i = 0; i < 4; i++) {
        const int j = cols[i < m ? i : 0] - b.j0;
        b.at[4 * d + i] = static_cast<unsigned char>(j);
        b.near[4 * d + i] = static_cast<unsigned char>(j - b.quarter[d / 4]);
      }
      for (int i = 0; i < m; i++) b.span = std::max(b.span, cols[i] - b.j0 + 1);
      b.size[d] = static_cast<float>(m);
      b.members = std::max(b.members, m);
      pow2 = pow2 && (m & (m - 1)) == 0;
      b.count = d + 1;
    }
    for (int q = 0; q < 4; q++)
      if (4 * q >= b.count) b.quarter[q] = b.quarter[0];
    for (int d = 0; d < 16; d++) {
      if (d >= b.count) b.size[d] = 1;
      b.fold[d] = pow2 ? 1 / b.size[d] : 1;
    }
    b.divide = !pow2;
    return b;
  }
  // Outputs a .. b - 1 in runs of mixed blocks; those that fit none are left to grey_block.
  void add_mixed(int a, int b) {
    // A few outputs (the ends of a row of pairs) cost less one at a time than as a block.
    if (b - a < 4) return;
    for (int c = a; c < b;) {
      const int b0 = static_cast<int>(blocks_.size()), k0 = c;
      while (c < b) {
        const vistelmo::MixedBlock block = mixed_block(c, b - c);
        if (block.count == 0) break;
        blocks_.push_back(block);
        c += block.count;
      }
      const int b1 = static_cast<int>(blocks_.size());
      if (b1 > b0) runs_.push_back({{k0, c, 0}, 0, b0, b1});
      if (c < b && c == k0) c++;
    }
  }
};

// a shrunk both ways into r. False, with nothing written, when a group is empty.
bool grey_shrink(const IMGGRY& a, IMGGRY& r, double fatl, double fatc) {
  GreyShrink shrink(a.nl(), a.nc(), r.nl(), r.nc(), fatl, fatc);
  if (!shrink.ok()) return false;
  const Groups& rows = shrink.rows();
  std::vector<const unsigned char*> src;
  const int anc = a.nc();
  for (int l = 0; l < r.nl(); l++) {
    src.clear();
    for (int m = rows.first[l]; m < rows.first[l + 1]; m++) src.push_back(a.rows[rows.members[m]]);
    // The first lines of the next output row's source rows fetched while this one is made (the
    // row starts wait on memory otherwise).
    if (l + 1 < r.nl())
      for (int m = rows.first[l + 1]; m < rows.first[l + 2]; m++)
        for (int c = 0; c < std::min(anc, 256); c += 64)
          _mm_prefetch(reinterpret_cast<const char*>(a.rows[rows.members[m]] + c), _MM_HINT_T0);
    shrink.row(src.data(), rows.count(l), r.rows[l]);
  }
  return true;
}

// The same on each channel of a colour image, as on its planes: the source rows of an output row
// split into channel rows, the three output rows merged.
bool colour_shrink(const IMGCOR& a, IMGCOR& r, double fatl, double fatc) {
  GreyShrink shrink(a.nl(), a.nc(), r.nl(), r.nc(), fatl, fatc);
  if (!shrink.ok()) return false;
  const Groups& rows = shrink.rows();
  const int anc = a.nc(), nc = r.nc();
  int most = 0;
  for (int l = 0; l < r.nl(); l++) most = std::max(most, rows.count(l));
  std::vector<unsigned char> planes(size_t{3} * most * anc), out(size_t{3} * nc);
  std::vector<const unsigned char*> src(size_t{3} * most);
  unsigned char* const made[3] = {out.data(), out.data() + nc, out.data() + 2 * nc};
  for (int l = 0; l < r.nl(); l++) {
    const int n = rows.count(l);
    for (int k = 0; k < n; k++) {
      unsigned char* channel[3];
      for (int ch = 0; ch < 3; ch++) {
        channel[ch] = &planes[(size_t{1} * ch * most + k) * anc];
        src[ch * most + k] = channel[ch];
      }
      // The source rows go in order: the one after is fetched early.
      const int m = rows.first[l] + k;
      const COR* next = m + 1 < rows.first[r.nl()] ? a.rows[rows.members[m + 1]] : nullptr;
      vistelmo::split_channels(reinterpret_cast<const unsigned char*>(a.rows[rows.members[m]]), anc,
                               channel, reinterpret_cast<const unsigned char*>(next));
    }
    for (int ch = 0; ch < 3; ch++) shrink.row(&src[ch * most], n, made[ch]);
    vistelmo::merge_channels(made, nc, reinterpret_cast<unsigned char*>(r.rows[l]));
  }
  return true;
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
  if (fatl < 1 && fatc < 1 && vistelmo::has_pixels(a) && vistelmo::area_avx2() &&
      grey_shrink(a, r, fatl, fatc))
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
    if (fatl < 1 && fatc < 1 && vistelmo::area_avx2() && colour_shrink(a, r, fatl, fatc)) return r;
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
