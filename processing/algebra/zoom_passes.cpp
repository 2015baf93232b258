// The single-axis zoom passes about the centre: the plain ones sample by sample, the fast ones
// over source lines and rows through the resampling kernels.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

#include "foundation/erro.h"
#include "images/colour_internal.h"
#include "images/image_core_internal.h"
#include "processing/algebra/zoom.h"
#include "processing/algebra/zoom_passes_internal.h"
#include "processing/kernels/resample.h"

namespace {

using vistelmo::RowFetch;
using vistelmo::store_pixel;

// Source offsets of each destination index when shrinking: first[k] .. first[k + 1] index
// members, ascending. target(i) gives the destination of source index i, or -1.
struct Groups {
  std::vector<int> first, members;
  int count(int k) const { return first[k + 1] - first[k]; }
};
template <class Target>
Groups group(int from, int to, Target target) {
  Groups g{std::vector<int>(to + 1, 0), std::vector<int>()};
  std::vector<int> t(from);
  for (int i = 0; i < from; i++) {
    t[i] = target(i);
    if (t[i] >= 0) g.first[t[i] + 1]++;
  }
  for (int k = 0; k < to; k++) g.first[k + 1] += g.first[k];
  g.members.resize(g.first[to]);
  std::vector<int> fill(g.first.begin(), g.first.end() - 1);
  for (int i = 0; i < from; i++)
    if (t[i] >= 0) g.members[fill[t[i]]++] = i;
  return g;
}

// Destination column of source column j (x offsets), or -1: dropped.
template <class Img>
Groups column_groups(const Img& a, const Img& b, double f) {
  const int anc = a.nc > 0 ? a.nc() : 0;
  return group(anc, b.nc, [&](int j) {
    const double t = std::round((static_cast<double>(j) - a.cc) * f);
    if (t >= -static_cast<double>(b.cc) && t <= static_cast<double>(b.nc) - 1 - b.cc)
      return static_cast<int>(t + b.cc);
    return -1;
  });
}

// Destination row of source row i (counted from the bottom, y offsets), or -1: dropped.
template <class Img>
Groups row_groups(const Img& a, const Img& b, double f) {
  const int anl = a.nl > 0 ? a.nl() : 0;
  return group(anl, b.nl, [&](int i) {
    const int64_t y = static_cast<int64_t>(a.lc) - a.nl + 1 + i;
    const double t = std::round(static_cast<double>(y) * f);
    if (t >= static_cast<double>(b.lc) - b.nl + 1 && t <= static_cast<double>(b.lc))
      return static_cast<int>(b.lc - t);
    return -1;
  });
}

// Horizontal pass: every destination row y reads the source row at the same offset y.
// Plain: one sample at a time through the sampler.
template <class Img>
void pass_x_plain(const Img& a, Img& b, double f, const vistelmo::Sampler<Img>& s) {
  const int nl = b.nl, nc = b.nc;
  if (f < 1) {
    const Groups g = column_groups(a, b, f);
    for (int l = 0; l < nl; l++) {
      const int64_t y = static_cast<int64_t>(b.lc) - l;
      typename Img::Pixel* row = b.rows[l];
      for (int k = 0; k < nc; k++) {
        if (g.count(k) == 0) {
          row[k] = s(vistelmo::round_index((static_cast<double>(k) - b.cc) / f), y);
          continue;
        }
        double sum = 0;
        for (int m = g.first[k]; m < g.first[k + 1]; m++)
          sum += s(static_cast<int64_t>(g.members[m]) - a.cc, y);
        store_pixel(row[k], sum / g.count(k));
      }
    }
    return;
  }
  for (int l = 0; l < nl; l++) {
    const int64_t y = static_cast<int64_t>(b.lc) - l;
    typename Img::Pixel* row = b.rows[l];
    for (int k = 0; k < nc; k++) {
      const double xs = (static_cast<double>(k) - b.cc) / f;
      const int ix = vistelmo::floor_index(xs);
      const double dx = xs - ix;
      store_pixel(row[k], (1 - dx) * s(ix, y) + dx * s(ix + static_cast<int64_t>(1), y));
    }
  }
}

// A grey row of the source by offset y: the pixel row, or outside (a.backg in every column).
const unsigned char* grey_row(const IMGGRY& a, const vistelmo::BorderRule& br, int64_t y,
                              const std::vector<unsigned char>& outside,
                              const RowFetch<unsigned char>* fetch = nullptr) {
  const int64_t o = vistelmo::border_index(br, br.b, y);
  return o < 0 ? outside.data() : fetch != nullptr ? (*fetch)(o) : a.rows[o];
}

// Grey horizontal shrink when most destination columns average a pair (or four) of source
// columns: those as integer means, the other columns as the plain pass computes them, one
// destination row at a time. ok() is false when it does not apply.
class PairColumns {
 public:
  PairColumns(const IMGGRY& a, const IMGGRY& b, double f, const vistelmo::BorderRule& br,
              const RowFetch<unsigned char>* fetch = nullptr)
      : a_(a), br_(br), fetch_(fetch), lc_(b.lc), kernels_(vistelmo::resample_kernels()) {
    const int nc = b.nc, anc = a.nc > 0 ? a.nc() : 0;
    if (!br.swapped || anc == 0) return;
    g_ = column_groups(a, b, f);
    for (int size : {2, 4})
      for (const vistelmo::PairRun& r : vistelmo::pair_runs(g_.first, g_.members, nc, size))
        runs_.push_back({r, size});
    std::sort(runs_.begin(), runs_.end(),
              [](const Run& x, const Run& y) { return x.run.k0 < y.run.k0; });
    int64_t paired = 0;
    for (const Run& r : runs_) paired += r.run.k1 - r.run.k0;
    if (2 * paired < nc) return;
    for (int j = 0; j < anc; j++)
      if (vistelmo::border_index(br, br.a, static_cast<int64_t>(j) - a.cc) != j) return;
    // Other columns: the source column of an empty group (-1: outside), or -2 for a group.
    for (size_t r = 0, k = 0; k < static_cast<size_t>(nc); k++) {
      if (r < runs_.size() && static_cast<int>(k) == runs_[r].run.k0) {
        k = runs_[r++].run.k1 - 1;
        continue;
      }
      const int kk = static_cast<int>(k);
      others_.emplace_back(
          kk, g_.count(kk) > 0
                  ? -2
                  : vistelmo::border_index(
                        br, br.a, vistelmo::round_index((static_cast<double>(kk) - b.cc) / f)));
    }
    outside_.assign(anc, a.backg);
    ok_ = true;
  }
  bool ok() const { return ok_; }

  // Destination row l of the three channels of colour, from its interleaved rows into out (three
  // bytes a pixel), as row makes each channel's from the planes. False, with nothing written,
  // where this form does not apply (groups of four, a row outside, no AVX-512 VBMI).
  bool colour_row(const IMGCOR& colour, int l, unsigned char* out) const {
    if (kernels_.colour_pair_means == nullptr) return false;
    for (const Run& r : runs_)
      if (r.size != 2) return false;
    const int64_t o = vistelmo::border_index(br_, br_.b, static_cast<int64_t>(lc_) - l);
    if (o < 0) return false;
    const unsigned char* src = reinterpret_cast<const unsigned char*>(colour.rows[o]);
    for (const Run& r : runs_)
      kernels_.colour_pair_means(out + 3 * r.run.k0, src + 3 * r.run.j0, r.run.k1 - r.run.k0);
    other_outputs(src, 3, out);
    return true;
  }

  // Destination row l.
  void row(int l, unsigned char* out) const {
    const unsigned char* src = grey_row(a_, br_, static_cast<int64_t>(lc_) - l, outside_, fetch_);
    for (const Run& r : runs_)
      (r.size == 2 ? kernels_.pair_means : kernels_.quad_means)(out + r.run.k0, src + r.run.j0,
                                                                r.run.k1 - r.run.k0);
    other_outputs(src, 1, out);
  }

 private:
  // The outputs outside the runs, from a row of pixels of `step` channels side by side.
  void other_outputs(const unsigned char* src, int step, unsigned char* out) const {
    for (const auto& o : others_)
      for (int ch = 0; ch < step; ch++) {
        const int k = o.first;
        if (o.second != -2) {
          out[step * k + ch] = o.second < 0 ? a_.backg : src[step * o.second + ch];
          continue;
        }
        double sum = 0;
        for (int m = g_.first[k]; m < g_.first[k + 1]; m++) sum += src[step * g_.members[m] + ch];
        store_pixel(out[step * k + ch], sum / g_.count(k));
      }
  }

  const IMGGRY& a_;
  vistelmo::BorderRule br_;
  const RowFetch<unsigned char>* fetch_;
  int lc_;
  const vistelmo::ResampleKernels& kernels_;
  bool ok_ = false;
  Groups g_;
  // Runs of pairs and of groups of four, by their first destination column.
  struct Run {
    vistelmo::PairRun run;
    int size;
  };
  std::vector<Run> runs_;
  std::vector<std::pair<int, int64_t>> others_;
  std::vector<unsigned char> outside_;
};

bool pass_x_pairs(const IMGGRY& a, IMGGRY& b, double f, const vistelmo::BorderRule& br) {
  const PairColumns pass(a, b, f, br);
  if (!pass.ok()) return false;
  for (int l = 0; l < b.nl; l++) pass.row(l, b.rows[l]);
  return true;
}

// The enlarging horizontal pass one destination row at a time: the source line of the row's
// offset blended by tables of the columns.
template <class Img>
class BlendColumns {
 public:
  BlendColumns(const Img& a, const Img& b, double f, const vistelmo::BorderRule& br,
               const RowFetch<typename Img::Pixel>* fetch = nullptr)
      : lines_(a, br, fetch),
        lc_(b.lc),
        nc_(b.nc),
        blend_(vistelmo::line_kernels<typename Img::Pixel>(vistelmo::resample_kernels()).blend),
        i0_(nc_),
        i1_(nc_),
        w0_(nc_),
        w1_(nc_) {
    for (int k = 0; k < nc_; k++) {
      const double xs = (static_cast<double>(k) - b.cc) / f;
      const int ix = vistelmo::floor_index(xs);
      w1_[k] = xs - ix;
      w0_[k] = 1 - w1_[k];
      i0_[k] = lines_.slot(ix);
      i1_[k] = lines_.slot(ix + static_cast<int64_t>(1));
    }
  }
  void row(int l, typename Img::Pixel* out) {
    const double* src = lines_.line(static_cast<int64_t>(lc_) - l);
    blend_(out, nc_, src, i0_.data(), vistelmo::Spread{w0_.data(), 1}, src, i1_.data(),
           vistelmo::Spread{w1_.data(), 1});
  }

 private:
  vistelmo::SourceLines<Img> lines_;
  int lc_, nc_;
  decltype(vistelmo::LineKernels<typename Img::Pixel>::blend) blend_;
  std::vector<int32_t> i0_, i1_;
  std::vector<double> w0_, w1_;
};

// The shrinking horizontal pass one destination row at a time: rank r of every group in table r;
// groups with fewer members add the zero slot. When the groups differ much in size, each group is
// summed on its own instead.
template <class Img>
class SumColumns {
 public:
  using Pixel = typename Img::Pixel;
  SumColumns(const Img& a, const Img& b, double f, const vistelmo::BorderRule& br,
             const RowFetch<Pixel>* fetch = nullptr)
      : lines_(a, br, fetch),
        lc_(b.lc),
        nc_(b.nc),
        kernels_(vistelmo::resample_kernels()),
        g_(column_groups(a, b, f)),
        count_(nc_),
        sum_(nc_),
        inverse_(nc_) {
    for (int k = 0; k < nc_; k++) ranks_ = std::max(ranks_, g_.count(k));
    const int64_t members = static_cast<int64_t>(g_.members.size());
    by_rank_ = int64_t{ranks_} * nc_ <= 2 * (members + nc_);
    at_.assign(by_rank_ ? static_cast<size_t>(ranks_) * nc_ : members, lines_.zero());
    for (int k = 0; k < nc_; k++) {
      count_[k] = g_.count(k);
      exact_ = vistelmo::exact_inverse(count_[k], inverse_[k]) && exact_;
      for (int m = g_.first[k]; m < g_.first[k + 1]; m++)
        at_[by_rank_ ? static_cast<size_t>(m - g_.first[k]) * nc_ + k : m] =
            lines_.slot(static_cast<int64_t>(g_.members[m]) - a.cc);
      if (g_.count(k) == 0)
        empty_.emplace_back(
            k, lines_.slot(vistelmo::round_index((static_cast<double>(k) - b.cc) / f)));
    }
  }
  void row(int l, Pixel* out) {
    const double* src = lines_.line(static_cast<int64_t>(lc_) - l);
    std::fill(sum_.begin(), sum_.end(), 0.0);
    if (by_rank_)
      for (int r = 0; r < ranks_; r++)
        kernels_.add_row(sum_.data(), nc_, src, &at_[size_t{1} * r * nc_]);
    else
      for (int k = 0; k < nc_; k++)
        for (int m = g_.first[k]; m < g_.first[k + 1]; m++) sum_[k] += src[at_[m]];
    vistelmo::line_kernels<Pixel>(kernels_).average(
        out, nc_, sum_.data(), vistelmo::Spread{count_.data(), 1},
        vistelmo::Spread{exact_ ? inverse_.data() : nullptr, 1});
    for (const auto& e : empty_) out[e.first] = static_cast<Pixel>(src[e.second]);
  }

 private:
  vistelmo::SourceLines<Img> lines_;
  int lc_, nc_;
  const vistelmo::ResampleKernels& kernels_;
  Groups g_;
  int ranks_ = 0;
  bool by_rank_ = false, exact_ = true;
  std::vector<int32_t> at_;
  std::vector<double> count_, sum_, inverse_;
  std::vector<std::pair<int, int32_t>> empty_;
};

// Fast: source lines along x, the columns resolved once into index tables.
template <class Img>
void pass_x_fast(const Img& a, Img& b, double f, const vistelmo::BorderRule& br) {
  if constexpr (std::is_same_v<typename Img::Pixel, unsigned char>)
    if (f < 1 && pass_x_pairs(a, b, f, br)) return;
  if (f < 1) {
    SumColumns<Img> sums(a, b, f, br);
    for (int l = 0; l < b.nl; l++) sums.row(l, b.rows[l]);
    return;
  }
  BlendColumns<Img> across(a, b, f, br);
  for (int l = 0; l < b.nl; l++) across.row(l, b.rows[l]);
}

// Vertical pass: every destination column x reads the source column at the same offset x.
// Each destination pixel sums its source rows in ascending offset.
template <class Img>
void pass_y_plain(const Img& a, Img& b, double f, const vistelmo::Sampler<Img>& s) {
  const int nl = b.nl, nc = b.nc;
  if (f < 1) {
    const Groups g = row_groups(a, b, f);
    for (int l = 0; l < nl; l++) {
      const int64_t t = static_cast<int64_t>(b.lc) - l;
      typename Img::Pixel* row = b.rows[l];
      for (int k = 0; k < nc; k++) {
        const int64_t x = static_cast<int64_t>(k) - b.cc;
        if (g.count(l) == 0) {
          row[k] = s(x, vistelmo::round_index(static_cast<double>(t) / f));
          continue;
        }
        double sum = 0;
        for (int m = g.first[l]; m < g.first[l + 1]; m++)
          sum += s(x, static_cast<int64_t>(a.lc) - a.nl + 1 + g.members[m]);
        store_pixel(row[k], sum / g.count(l));
      }
    }
    return;
  }
  for (int l = 0; l < nl; l++) {
    const double ys = (static_cast<double>(b.lc) - l) / f;
    const int iy = vistelmo::floor_index(ys);
    const double dy = ys - iy;
    typename Img::Pixel* row = b.rows[l];
    for (int k = 0; k < nc; k++) {
      const int64_t x = static_cast<int64_t>(k) - b.cc;
      store_pixel(row[k], (1 - dy) * s(x, iy) + dy * s(x, iy + static_cast<int64_t>(1)));
    }
  }
}

// Fast: the destination row's source lines along x, the columns resolved once.
template <class Img>
void pass_y_fast(const Img& a, Img& b, double f, const vistelmo::BorderRule& br,
                 const RowFetch<typename Img::Pixel>* fetch = nullptr) {
  using Pixel = typename Img::Pixel;
  const int nl = b.nl, nc = b.nc;
  const vistelmo::ResampleKernels& k = vistelmo::resample_kernels();
  const vistelmo::LineKernels<Pixel>& across = vistelmo::line_kernels<Pixel>(k);
  vistelmo::SourceLines<Img> lines(a, br, fetch);
  std::vector<int32_t> at(nc);
  for (int k = 0; k < nc; k++) at[k] = lines.slot(static_cast<int64_t>(k) - b.cc);
  int32_t first;
  const int32_t* table = vistelmo::table_or_run(at, first);
  if (f < 1) {
    const Groups g = row_groups(a, b, f);
    std::vector<double> sum(nc);
    // Grey rows whose destination columns are source columns side by side, all inside: a pair of
    // source rows, or four rows inside the source, averages as integers.
    constexpr bool kGrey = std::is_same_v<Pixel, unsigned char>;
    const int anc = a.nc > 0 ? a.nc() : 0;
    const bool pairs =
        kGrey && br.swapped && table == nullptr && first >= 1 && int64_t{first} - 1 + nc <= anc;
    const std::vector<Pixel> outside(pairs ? anc : 0, a.backg);
    for (int l = 0; l < nl; l++) {
      const int64_t t = static_cast<int64_t>(b.lc) - l;
      Pixel* row = b.rows[l];
      if (g.count(l) == 0) {
        const double* src = lines.line(vistelmo::round_index(static_cast<double>(t) / f));
        for (int k = 0; k < nc; k++) row[k] = static_cast<Pixel>(src[at[k]]);
        continue;
      }
      if constexpr (kGrey)
        if (pairs && g.count(l) == 2 && g.members[g.first[l] + 1] == g.members[g.first[l]] + 1) {
          const int64_t y = static_cast<int64_t>(a.lc) - a.nl + 1 + g.members[g.first[l]];
          k.row_means(row, grey_row(a, br, y, outside, fetch) + first - 1,
                      grey_row(a, br, y + 1, outside, fetch) + first - 1, nc);
          continue;
        }
      if constexpr (kGrey)
        if (pairs && g.count(l) == 4 && g.members[g.first[l] + 3] == g.members[g.first[l]] + 3) {
          // Four source rows side by side (distinct among the four rows kept).
          const int64_t y = static_cast<int64_t>(a.lc) - a.nl + 1 + g.members[g.first[l]];
          const int64_t o = vistelmo::border_index(br, br.b, y);
          const int64_t step = vistelmo::border_index(br, br.b, y + 1) - o;
          bool inside = o >= 0 && o + 3 * step >= 0 && (step == 1 || step == -1);
          for (int i = 2; i < 4; i++)
            inside = inside && vistelmo::border_index(br, br.b, y + i) == o + i * step;
          if (inside) {
            const unsigned char* r[4];
            for (int i = 0; i < 4; i++) r[i] = grey_row(a, br, y + i, outside, fetch) + first - 1;
            k.row_quads(row, r, nc);
            continue;
          }
        }
      std::fill(sum.begin(), sum.end(), 0.0);
      for (int m = g.first[l]; m < g.first[l + 1]; m++) {
        const double* src = lines.line(static_cast<int64_t>(a.lc) - a.nl + 1 + g.members[m]);
        k.add_row(sum.data(), nc, src + first, table);
      }
      const double count = g.count(l);
      double inverse;
      const bool exact = vistelmo::exact_inverse(count, inverse);
      across.average(row, nc, sum.data(), vistelmo::Spread{&count, 0},
                     vistelmo::Spread{exact ? &inverse : nullptr, 0});
    }
    return;
  }
  for (int l = 0; l < nl; l++) {
    const double ys = (static_cast<double>(b.lc) - l) / f;
    const int iy = vistelmo::floor_index(ys);
    const double dy = ys - iy, w0 = 1 - dy;
    const double* s0 = lines.line(iy);
    const double* s1 = lines.line(iy + static_cast<int64_t>(1), s0);
    across.blend(b.rows[l], nc, s0 + first, table, vistelmo::Spread{&w0, 0}, s1 + first, table,
                 vistelmo::Spread{&dy, 0});
  }
}

enum class Axis { kX, kY };

// Runs one pass with the border letter resolved once; a source that is also the destination is
// read from a copy.
template <class Img>
void run_pass(Axis axis, const Img& a, Img& b, double f, char borda) {
  if (!vistelmo::has_pixels(b)) return;
  const Img* src = &a;
  Img copy;
  if (&a == &b) {
    copy = a;
    src = &copy;
  }
  const vistelmo::Sampler<Img> s(*src, borda);
  if (!vistelmo::resample_fast()) {
    if (axis == Axis::kX)
      pass_x_plain(*src, b, f, s);
    else
      pass_y_plain(*src, b, f, s);
    return;
  }
  if (axis == Axis::kX)
    pass_x_fast(*src, b, f, s.rule());
  else
    pass_y_fast(*src, b, f, s.rule());
}

}  // namespace

namespace vistelmo {

struct GreyColumns::Passes {
  std::unique_ptr<PairColumns> pairs;
  std::unique_ptr<SumColumns<IMGGRY>> sums;
  std::unique_ptr<BlendColumns<IMGGRY>> blends;
};

GreyColumns::GreyColumns(const IMGGRY& a, const IMGGRY& b, double f, const BorderRule& br,
                         const RowFetch<unsigned char>* fetch)
    : passes_(std::make_unique<Passes>()) {
  if (f >= 1) {
    passes_->blends = std::make_unique<BlendColumns<IMGGRY>>(a, b, f, br, fetch);
    return;
  }
  passes_->pairs = std::make_unique<PairColumns>(a, b, f, br, fetch);
  if (!passes_->pairs->ok()) {
    passes_->pairs.reset();
    passes_->sums = std::make_unique<SumColumns<IMGGRY>>(a, b, f, br, fetch);
  }
}

GreyColumns::~GreyColumns() = default;

void GreyColumns::row(int l, unsigned char* out) {
  if (passes_->pairs)
    passes_->pairs->row(l, out);
  else if (passes_->sums)
    passes_->sums->row(l, out);
  else
    passes_->blends->row(l, out);
}

bool GreyColumns::means() const { return passes_->pairs != nullptr; }

bool GreyColumns::colour_row(const IMGCOR& colour, int l, unsigned char* out) const {
  return passes_->pairs->colour_row(colour, l, out);
}

void grey_rows_pass(const IMGGRY& a, IMGGRY& b, double f, const BorderRule& br,
                    const RowFetch<unsigned char>* fetch) {
  pass_y_fast(a, b, f, br, fetch);
}

void check_zoom_border(char borda) {
  if (borda != 'C' && borda != 'X') erro("Erro: Borda deve ser C ou X (default)", "");
}

}  // namespace vistelmo

void ZoomF::zoomx(const IMGFLT& a, IMGFLT& b, double f, char borda) {
  run_pass(Axis::kX, a, b, f, borda);
}

void ZoomF::zoomy(const IMGFLT& a, IMGFLT& b, double f, char borda) {
  run_pass(Axis::kY, a, b, f, borda);
}

void ZoomG::zoomx(const IMGGRY& a, IMGGRY& b, double f, char borda) {
  vistelmo::check_zoom_border(borda);
  run_pass(Axis::kX, a, b, f, borda);
}

void ZoomG::zoomy(const IMGGRY& a, IMGGRY& b, double f, char borda) {
  vistelmo::check_zoom_border(borda);
  run_pass(Axis::kY, a, b, f, borda);
}
