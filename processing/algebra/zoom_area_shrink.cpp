// The area zoom's shrink of grey and colour images both ways at once: each output byte straight
// from its block of source bytes, by the row kernels where the groups allow.
#include <immintrin.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "images/colour_internal.h"
#include "images/image_core_internal.h"
#include "processing/algebra/zoom_area_internal.h"
#include "processing/kernels/resample_lines.h"
#include "processing/kernels/zoom_area.h"

namespace vistelmo {
namespace {

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
        kernels_(vistelmo::area_kernels()) {
    const int kLeast = 16;
    for (int size : {2, 4}) {
      if (size == 4 && kernels_.quad_means == nullptr) break;
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
        kernels_.mixed_means(pairs_first_, src, n, &blocks_[runs_[i].b0], runs_[i].b1 - runs_[i].b0,
                             dst + r.k0);
        done_[i] = r.k1;
        continue;
      }
      done_[i] = r.k0 + (runs_[i].size == 2 ? kernels_.pair_means : kernels_.quad_means)(
                            pairs_first_, src, n, r.j0, r.k1 - r.k0, dst + r.k0);
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
  const vistelmo::AreaKernels& kernels_;
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
  // does not. Kernels that read by quarters also need each quarter's columns in 16 bytes of the
  // row.
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
        if (start < 0 && kernels_.quarters) break;
        b.quarter[d / 4] = start - b.j0;
      }
      bool fits = m >= 1 && m <= 4;
      for (int i = 0; fits && i < m; i++) {
        const int near = cols[i] - b.j0 - b.quarter[d / 4];
        fits = cols[i] >= b.j0 && cols[i] - b.j0 < 64 &&
               (!kernels_.quarters || (near >= 0 && near < 16));
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

}  // namespace

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

// Colour: the source rows of an output row split into channel rows, the three output rows
// merged.
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

}  // namespace vistelmo
