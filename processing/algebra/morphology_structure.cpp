// Grey morphology by structuring images with heights.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "foundation/constants.h"
#include "processing/algebra/morphology.h"
#include "processing/algebra/morphology_spans_internal.h"
#include "processing/algebra/neighbourhood_internal.h"

namespace {

using vistelmo::Tap;

inline int clamp_byte(int v) { return std::min(255, std::max(0, v)); }

// Minimum over the members of clamp(p - s), outside p = 255.
struct GreyErode {
  IMGGRY& r;
  int acc;
  void start() { acc = 255; }
  void in(unsigned char p, const Tap& t) { acc = std::min(acc, clamp_byte(p - t.value)); }
  void out(const Tap& t) { acc = std::min(acc, clamp_byte(255 - t.value)); }
  void finish(int l, int c) { r.rows[l][c] = static_cast<unsigned char>(acc); }
};

// Maximum over the members of clamp(p + s), outside p = 0.
struct GreyDilate {
  IMGGRY& r;
  int acc;
  void start() { acc = 0; }
  void in(unsigned char p, const Tap& t) { acc = std::max(acc, clamp_byte(p + t.value)); }
  void out(const Tap& t) { acc = std::max(acc, clamp_byte(t.value)); }
  void finish(int l, int c) { r.rows[l][c] = static_cast<unsigned char>(acc); }
};

// Horizontal runs of members, and how each slot makes the reduction over every run length L:
// buffer i + 1 (0 being the padded row) from buffer `from` (over M samples) as red over the
// reads at at[0..3], M <= L <= 4 M, through lengths 4 M, 16 M .. where the next length is
// further.
struct RunStep {
  size_t from;
  int64_t length;
  int64_t at[4];
};
struct RunPlan {
  std::vector<vistelmo::Run> runs;
  std::vector<size_t> buffer;  // of each run
  std::vector<RunStep> steps;
};

RunPlan run_plan(const std::vector<Tap>& taps) {
  RunPlan plan;
  plan.runs = vistelmo::member_runs(taps);
  std::vector<int64_t> lengths;
  for (const vistelmo::Run& run : plan.runs) lengths.push_back(run.length);
  std::sort(lengths.begin(), lengths.end());
  lengths.erase(std::unique(lengths.begin(), lengths.end()), lengths.end());
  std::vector<int64_t> made = {1};  // length of each buffer
  auto step = [&](size_t from, int64_t L) {
    const int64_t m = made[from];
    plan.steps.push_back({from, L, {0, std::min(m, L - m), std::min(2 * m, L - m), L - m}});
    made.push_back(L);
  };
  for (int64_t L : lengths) {
    if (L == 1) continue;
    while (4 * made.back() < L) step(made.size() - 1, 4 * made.back());
    step(made.size() - 1, L);
  }
  for (const vistelmo::Run& run : plan.runs)
    plan.buffer.push_back(
        static_cast<size_t>(std::find(made.begin(), made.end(), run.length) - made.begin()));
  return plan;
}

// Members all of one height s: clamp(red(p) -/+ s), by the separable rectangle when they fill
// their bounding box, else by runs of members along rows. Other elements: one saturating span
// per member over rows padded with the outside value.
bool structure_fast(const IMGGRY& a, const std::vector<Tap>& taps, bool dilation, IMGGRY& r) {
  if (vistelmo::plain_walks() || taps.empty()) return false;
  const vistelmo::TapBox box = vistelmo::tap_box(taps);
  const int64_t rmin = box.rmin, cmin = box.cmin, wl = box.rows(), wc = box.cols();
  const bool flat = box.equal;
  if (!vistelmo::spans_fit(a.nl, rmin, wl) || !vistelmo::spans_fit(a.nc, cmin, wc)) return false;
  const vistelmo::SpanKernels& k = vistelmo::span_kernels();
  auto tap = dilation ? k.dilate_tap_u8 : k.erode_tap_u8;
  const uint8_t start = dilation ? 0 : 255;
  const int nl = a.nl, nc = a.nc;
  // clamp(red(p) -/+ s) of an element of one height s, row by row.
  auto lift = [&] {
    if (taps[0].value == 0) return;
    std::vector<uint8_t> acc(nc);
    for (int l = 0; l < nl; l++) {
      std::fill(acc.begin(), acc.end(), start);
      tap(acc.data(), r.rows[l], nc, taps[0].value);
      std::copy(acc.begin(), acc.end(), r.rows[l]);
    }
  };
  if (vistelmo::full_box(taps, box)) {
    vistelmo::byte_rectangle_spans(a.rows, r.rows, nl, nc, rmin, wl, cmin, wc, start, dilation);
    lift();
    return true;
  }
  // Padded rows l + rmin .. l + rmax in a ring of wl slots. A flat element runs as horizontal
  // runs of members: each slot also holds, for every run length L, the reduction over L samples
  // from each position, made from a shorter one in one pass of two or four overlapping reads
  // (so one pass per distinct length), shared by all the runs of that length.
  const int64_t len = nc + wc - 1;
  const RunPlan plan = flat ? run_plan(taps) : RunPlan();
  const vistelmo::RedKernels<uint8_t> red = vistelmo::red_kernels(k, uint8_t{}, dilation);
  const vistelmo::AxisRule columns = vistelmo::axis_rule(vistelmo::AxisRule::kPlain, nc);
  const size_t per_slot = static_cast<size_t>(len) * (1 + plan.steps.size());
  std::vector<uint8_t> ring(static_cast<size_t>(wl) * per_slot);
  int64_t slots = wl;  // 1 when only the current row is read
  auto prow = [&](int64_t y) { return ring.data() + static_cast<size_t>(y % slots) * per_slot; };
  auto load = [&](int64_t y) {
    uint8_t* line = prow(y);
    const int64_t iy = y + rmin;
    if (iy >= 0 && iy < nl)
      vistelmo::padded_line(a.rows[iy], columns, cmin, len, start, line);
    else
      std::fill(line, line + len, start);
    for (size_t i = 0; i < plan.steps.size(); i++) {
      const RunStep& st = plan.steps[i];
      const uint8_t* src = line + st.from * len;
      uint8_t* dst = line + (i + 1) * len;
      const int64_t n = len - st.length + 1;
      if (st.at[1] == st.at[3])
        red.red2(src, src + st.at[3], dst, n);
      else
        red.red4(src, src + st.at[1], src + st.at[2], src + st.at[3], dst, n);
    }
  };
  // The members (or, for a flat element, the runs) raising the sample first, then those lowering
  // it, each part by its clamped amount (so that equal amounts sit together).
  struct Shift {
    Tap t;
    bool raise;
    uint8_t amount;
  };
  std::vector<Shift> order;
  std::vector<uint8_t> amount;
  std::vector<const uint8_t*> from;
  int64_t adds = 0;
  auto shift = [&](const Tap& t) {
    const int64_t s = dilation ? t.value : -int64_t{t.value};
    return Shift{t, s >= 0, static_cast<uint8_t>(std::min<int64_t>(s >= 0 ? s : -s, 255))};
  };
  if (flat)
    for (const vistelmo::Run& run : plan.runs)
      order.push_back(shift({run.di, run.dj, taps[0].value}));
  else
    for (const Tap& t : taps) order.push_back(shift(t));
  std::stable_sort(order.begin(), order.end(), [](const Shift& x, const Shift& y) {
    return x.raise != y.raise ? x.raise : x.amount < y.amount;
  });
  for (const Shift& o : order) {
    amount.push_back(o.amount);
    adds += o.raise;
  }
  from.resize(order.size());
  auto taps_kernel = dilation ? k.max_taps_u8 : k.min_taps_u8;
  // Element rows alike (the same members and shifts) give the same row result: when that saves
  // taps, each distinct row runs once per image row into a ring, and the rows are then reduced
  // down.
  struct Profile {
    std::vector<int64_t> dj;
    std::vector<uint8_t> amount;
    int64_t adds = 0;
    bool operator==(const Profile& o) const {
      return dj == o.dj && amount == o.amount && adds == o.adds;
    }
  };
  std::vector<Profile> profiles;
  std::vector<int> row_profile(static_cast<size_t>(wl), -1);
  int used_rows = 0;
  if (!flat) {
    for (int64_t i = 0; i < wl; i++) {
      Profile pr;
      for (const Shift& o : order)
        if (o.t.di == rmin + i) {
          pr.dj.push_back(o.t.dj - cmin);
          pr.amount.push_back(o.amount);
          pr.adds += o.raise;
        }
      if (pr.dj.empty()) continue;
      used_rows++;
      const auto at = std::find(profiles.begin(), profiles.end(), pr);
      row_profile[i] = static_cast<int>(at - profiles.begin());
      if (at == profiles.end()) profiles.push_back(pr);
    }
  }
  size_t shared_taps = static_cast<size_t>(used_rows);  // the taps down, then across
  for (const Profile& pr : profiles) shared_taps += pr.dj.size();
  const bool shared = !flat && 5 * shared_taps < 4 * order.size();
  // Distinct rows with the same columns of members form a group: one pass over a line makes all
  // their results, by a table of each row's raise and lowering (64 bytes each) of each column.
  struct Group {
    std::vector<size_t> rows;  // indices into profiles
    std::vector<int64_t> at;   // the columns, in order
    std::vector<uint8_t> table;
  };
  std::vector<Group> groups;
  for (size_t pi = 0; shared && pi < profiles.size(); pi++) {
    std::vector<int64_t> cols = profiles[pi].dj;
    std::sort(cols.begin(), cols.end());
    auto g = std::find_if(groups.begin(), groups.end(),
                          [&](const Group& x) { return x.at == cols && x.rows.size() < 4; });
    if (g == groups.end()) g = groups.insert(groups.end(), Group{{}, cols, {}});
    g->rows.push_back(pi);
  }
  for (Group& g : groups) {
    g.table.assign(g.rows.size() * g.at.size() * 128, 0);
    for (size_t p = 0; p < g.rows.size(); p++) {
      const Profile& pr = profiles[g.rows[p]];
      for (size_t i = 0; i < pr.dj.size(); i++) {
        const auto j = std::lower_bound(g.at.begin(), g.at.end(), pr.dj[i]) - g.at.begin();
        std::fill_n(&g.table[(p * g.at.size() + static_cast<size_t>(j)) * 128] +
                        (static_cast<int64_t>(i) < pr.adds ? 0 : 64),
                    64, pr.amount[i]);
      }
    }
  }
  std::vector<uint8_t*> row_results(4);
  // Rows on 64 bytes, 3 mod 8 lines of 64 apart, so that nearby rows do not meet at the same
  // place in a 4 KiB page (loads there wait for stores to the other).
  const size_t lines64 = (static_cast<size_t>(nc) + 63) / 64,
               stride = 64 * (lines64 + (11 - lines64 % 8) % 8);
  std::vector<uint8_t> results(shared ? profiles.size() * static_cast<size_t>(wl) * stride + 64
                                      : 0),
      zeros(static_cast<size_t>(wl), 0);
  uint8_t* const results0 = results.data() + (-reinterpret_cast<uintptr_t>(results.data()) & 63);
  auto result = [&](size_t pi, int64_t y) {
    return results0 + (pi * static_cast<size_t>(wl) + static_cast<size_t>(y % wl)) * stride;
  };
  auto rows_kernel = dilation ? k.max_rows_u8 : k.min_rows_u8;
  // One group of several profiles, where the kernels hold two lines at a time: its rows pass
  // takes the results of two rows (the last one alone) straight down into the output rows they
  // go to, output row l taking element row i's result from row l + i, in a ring of wl + 1 rows
  // (l in y - (wl - 1) .. y + 1) from which as many rows come out done.
  if (groups.size() == 1 && groups[0].rows.size() > 1 && k.rows_lines > 1) {
    const Group& g = groups[0];
    slots = 2;
    const int64_t ring_rows = wl + 1;
    std::vector<int> place(static_cast<size_t>(wl), -1);  // element row's place in the group
    for (int64_t i = 0; i < wl; i++)
      if (row_profile[i] >= 0)
        place[i] = static_cast<int>(
            std::find(g.rows.begin(), g.rows.end(), static_cast<size_t>(row_profile[i])) -
            g.rows.begin());
    auto elem = [&](int64_t i) { return i >= 0 && i < wl ? place[i] : -1; };
    std::vector<int> pick1(static_cast<size_t>(wl)), pick2(2 * static_cast<size_t>(wl + 1));
    for (int64_t u = 0; u <= wl; u++) {
      if (u < wl) pick1[u] = elem(u);
      pick2[2 * u] = elem(u - 1);
      pick2[2 * u + 1] = elem(u);
    }
    std::vector<uint8_t*> from(static_cast<size_t>(wl + 1)), to(static_cast<size_t>(wl + 1));
    std::vector<uint8_t> spare(static_cast<size_t>(nc));
    const int64_t rows = nl + wl - 1;  // source rows; output row l done at row l + wl - 1
    int64_t ys = 0;                    // y in the ring
    for (int64_t y = 0; y < rows;) {
      const int64_t lines = std::min(k.rows_lines, rows - y), top = y + lines - 1;
      for (int64_t q = 0; q < lines; q++) load(y + q);
      for (int64_t next = top + 1 + rmin; next < top + 3 + rmin; next++)
        if (next >= 0 && next < nl)  // the next pass's source rows come in meanwhile
          for (int64_t c = 0; c < nc; c += 64) __builtin_prefetch(a.rows[next] + c);
      // u: output row top - u, in ring slot ys + lines - 1 - u.
      const int64_t picks = wl + lines - 1;
      for (int64_t u = 0; u < picks; u++) {
        int64_t slot = ys + lines - 1 - u;
        slot += slot < 0 ? ring_rows : slot >= ring_rows ? -ring_rows : 0;
        from[u] = results0 + static_cast<size_t>(slot) * stride;
        const int64_t l = top - u;
        to[u] = l + wl - 1 > top ? from[u] : l >= 0 ? r.rows[l] : spare.data();
      }
      const uint8_t* lp[2] = {prow(y), prow(y + 1)};
      const vistelmo::RowsDown down{lines, lines == 2 ? pick2.data() : pick1.data(), picks, lines,
                                    from.data()};
      rows_kernel(lp, g.at.data(), static_cast<int64_t>(g.at.size()), g.table.data(),
                  static_cast<int64_t>(g.rows.size()), to.data(), &down, nc);
      y += lines;
      ys = (ys + lines) % ring_rows;
    }
    return true;
  }
  auto load_row = [&](int64_t y) {
    load(y);
    for (const Group& g : groups) {
      if (g.rows.size() == 1) {  // the taps kernel, which shifts equal amounts once
        const Profile& pr = profiles[g.rows[0]];
        for (size_t i = 0; i < pr.dj.size(); i++) from[i] = prow(y) + pr.dj[i];
        taps_kernel(from.data(), pr.amount.data(), pr.adds, static_cast<int64_t>(pr.dj.size()),
                    result(g.rows[0], y), nc);
        continue;
      }
      for (size_t p = 0; p < g.rows.size(); p++) row_results[p] = result(g.rows[p], y);
      const uint8_t* line = prow(y);
      rows_kernel(&line, g.at.data(), static_cast<int64_t>(g.at.size()), g.table.data(),
                  static_cast<int64_t>(g.rows.size()), row_results.data(), nullptr, nc);
    }
  };
  for (int64_t y = 0; y + 1 < wl; y++) load_row(y);
  for (int l = 0; l < nl; l++) {
    load_row(l + wl - 1);
    uint8_t* acc = r.rows[l];
    if (shared) {
      int64_t count = 0;
      for (int64_t i = 0; i < wl; i++)
        if (row_profile[i] >= 0) from[count++] = result(static_cast<size_t>(row_profile[i]), l + i);
      taps_kernel(from.data(), zeros.data(), count, count, acc, nc);
      continue;
    }
    // A flat element's shifts are all equal, so order keeps the runs' order: run i's tap reads
    // the reduction over its length from its first member.
    for (size_t i = 0; i < order.size(); i++) {
      const Tap& t = order[i].t;
      from[i] = prow(l + t.di - rmin) + (flat ? plan.buffer[i] * len : 0) + (t.dj - cmin);
    }
    taps_kernel(from.data(), amount.data(), adds, static_cast<int64_t>(from.size()), acc, nc);
  }
  return true;
}

template <class Visitor>
IMGGRY by_structure(const IMGGRY& a, const IMGSHT& b, int sign) {
  IMGGRY r(a.nl, a.nc);
  if (!vistelmo::has_pixels(a)) return r;
  const auto taps = vistelmo::window_taps(b, sign, [](short v) { return v != minsht; });
  if (structure_fast(a, taps, sign < 0, r)) return r;
  Visitor v{r, 0};
  vistelmo::traverse_window(a.rows, a.nl, a.nc, taps, v);
  return r;
}

}  // namespace

IMGGRY operator-(const IMGGRY& a, const IMGSHT& b) { return by_structure<GreyErode>(a, b, 1); }

IMGGRY operator+(const IMGGRY& a, const IMGSHT& b) { return by_structure<GreyDilate>(a, b, -1); }
