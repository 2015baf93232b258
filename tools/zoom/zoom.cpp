// The zoom tool's tree pass, apart (into a pattern matrix) and fused with the expansion.
#include "tools/zoom/zoom.h"

#include <memory>
#include <vector>

#include "foundation/erro.h"
#include "foundation/memory_internal.h"
#include "tools/zoom/expand_internal.h"
#include "tools/zoom/leaf_rows_internal.h"

namespace kelt {

using namespace detail;

bool windowbit(const IMGBIN& in, const VETOR<PONTOI2>& window, int row, int col, int k) {
  const PONTOI2& p = window(k);
  return pixel(in, int64_t(row) + p.lin, int64_t(col) + p.col);
}

uint32_t walktree(const IMGBIN& in, const VETOR<PONTOI2>& window, const ZoomNodeList& nodes,
                  int row, int col) {
  const ZoomNode* node = nodes.node;
  int i = 0;
  while (node[i].b != kLeaf)
    i = windowbit(in, window, row, col, static_cast<int>(node[i].a)) ? node[i].b : i + 1;
  return node[i].a;
}

void applyfilter_plain(const IMGBIN& in, const VETOR<PONTOI2>& window, const ZoomNodeList& nodes,
                       MATRIZ<uint32_t>& pattern, FILE* progress_file) {
  const int nl = in.nl(), nc = in.nc();
  Progress progress(progress_file, int64_t(nl) * nc);
  int64_t counter = 0;
  for (int l = 0; l < nl; l++)
    for (int c = 0; c < nc; c++) {
      progress.at(counter++);
      pattern(l, c) = walktree(in, window, nodes, l, c);
    }
  progress.done();
}

namespace {

// Leaf rows straight into a pattern matrix of the input's size.
struct PatternRows {
  MATRIZ<uint32_t>& pattern;
  uint32_t* row(int l) { return pattern.data + static_cast<size_t>(l) * pattern.nc(); }
  void done(int) {}
  int cell_bits() const { return 32; }
  bool from_keys(int, const uint8_t*, const SmallKeys&) { return false; }
};

void applyfilter_with(const IMGBIN& in, const VETOR<PONTOI2>& window, const ZoomNodeList& nodes,
                      MATRIZ<uint32_t>& pattern, FILE* progress_file, Tier tier) {
  if (in.nl() <= 0 || in.nc() <= 0 || in.rows == nullptr) {
    Progress(progress_file, 0).done();
    return;
  }
  if (pattern.nl() != in.nl() || pattern.nc() != in.nc()) {
    applyfilter_plain(in, window, nodes, pattern, progress_file);
    return;
  }
  vistelmo::prefault(pattern.data, sizeof(uint32_t) * static_cast<size_t>(pattern.n()));
  Progress progress(progress_file, int64_t(in.nl()) * in.nc());
  PatternRows out{pattern};
  leaves_by_tier(in, window, nodes, progress, tier, false, out);
  progress.done();
}

}  // namespace

void applyfilter(const IMGBIN& in, const VETOR<PONTOI2>& window, const ZoomNodeList& nodes,
                 MATRIZ<uint32_t>& pattern, FILE* progress) {
  applyfilter_with(in, window, nodes, pattern, progress, Tier::dispatched);
}

void applyfilter_portable(const IMGBIN& in, const VETOR<PONTOI2>& window, const ZoomNodeList& nodes,
                          MATRIZ<uint32_t>& pattern, FILE* progress) {
  applyfilter_with(in, window, nodes, pattern, progress, Tier::portable);
}

bool zoomed_size(int nl, int nc, int F, int& onl, int& onc) {
  onl = onc = 0;
  if (F <= 0 || nl <= 0 || nc <= 0) return false;
  const int64_t r = int64_t(F) * nl, c = int64_t(F) * nc;
  if (r > INT32_MAX || c > INT32_MAX || r * c > INT32_MAX) return false;
  onl = static_cast<int>(r);
  onc = static_cast<int>(c);
  return true;
}

void zoomed_size(const MATRIZ<uint32_t>& pattern, int F, int& nl, int& nc) {
  nl = nc = 0;
  if (F <= 0 || pattern.nl() <= 0 || pattern.nc() <= 0) return;
  int64_t r = int64_t(F) * pattern.nl(), c = int64_t(F) * pattern.nc();
  if (r > INT32_MAX || c > INT32_MAX) erro("Erro IMGBIN::aloca - falta memoria", "");
  nl = static_cast<int>(r);
  nc = static_cast<int>(c);
}

bool walk_may_fail(const VETOR<PONTOI2>& window, const ZoomNodeList& nodes) {
  for (int i = 0; i < nodes.count; i++)
    if (nodes.node[i].b != kLeaf && nodes.node[i].a >= static_cast<uint32_t>(window.n()))
      return true;
  return false;
}

void zoom(const IMGBIN& in, const VETOR<PONTOI2>& window, const ZoomNodeList& nodes, int F,
          FILE* progress_file, ZoomSink& sink, Tier tier) {
  const int nl = in.nl(), nc = in.nc();
  if (nl <= 0 || nc <= 0 || in.rows == nullptr || F <= 0) {
    Progress(progress_file, 0).done();
    return;
  }
  Progress progress(progress_file, int64_t(nl) * nc);
  const int wpr = static_cast<int>((int64_t(nc) * F + 31) / 32);
  RowExpander ex(F, nc, wpr, tier);
  std::vector<uint32_t> band(2 * static_cast<size_t>(nc));  // two rows' words
  struct {
    std::vector<uint32_t>& band;
    RowExpander& ex;
    ZoomSink& sink;
    int F, nc, wpr;
    std::unique_ptr<KeyCells> cells;
    uint32_t* row(int l) { return band.data() + static_cast<size_t>(l & 1) * nc; }
    void done(int l) {
      ex.row(row(l), sink.rows(l), sink.file_order());
      sink.filled(l);
    }
    // The low bits of a leaf word that the output takes.
    int cell_bits() const { return F * F < 32 ? F * F : 32; }
    // Rows straight from the keys when the expander allows; false to take the leaf words.
    bool from_keys(int l, const uint8_t* box, const SmallKeys& s) {
      if (!ex.small()) return false;
      if (cells == nullptr) cells.reset(new KeyCells(s, F));
      uint32_t* const* orow = sink.rows(l);
      rows_from_keys_avx2(box, nc, F, s, *cells, orow, wpr);
      if (!sink.file_order())
        for (int br = 0; br < F; br++) swap_words(orow[br], static_cast<size_t>(wpr));
      sink.filled(l);
      return true;
    }
  } out{band, ex, sink, F, nc, wpr, nullptr};
  leaves_by_tier(in, window, nodes, progress, tier, true, out);
  progress.done();
}

}  // namespace kelt
