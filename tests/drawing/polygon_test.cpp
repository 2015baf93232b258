// Polygon fills, run lists and thick lines on small pixel maps.
#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "drawing/lines.h"
#include "drawing/polygon.h"
#include "support/test_support.h"

namespace {

using Pixels = std::set<std::pair<int, int>>;
using Pts = std::vector<PONTOI2>;

VETOR<PONTOI2> poly(const Pts& p) {
  VETOR<PONTOI2> v(static_cast<int>(p.size()));
  for (int i = 0; i < v.n(); i++) v(i) = p[i];
  return v;
}

Pts pts(const VETOR<PONTOI2>& v) {
  Pts p;
  for (int i = 0; i < v.n(); i++) p.push_back(v.data[i]);
  return p;
}

Pts drain(Polygon::fila& q) {
  Pts p;
  for (; !q.empty(); q.pop()) p.push_back(q.top());
  return p;
}

Pixels set_pixels(const IMGGRY& g) {
  Pixels p;
  for (int l = 0; l < g.nl(); l++)
    for (int c = 0; c < g.nc(); c++)
      if (g(l, c)) p.insert({l, c});
  return p;
}

Pixels rect(int l0, int l1, int c0, int c1) {
  Pixels p;
  for (int l = l0; l <= l1; l++)
    for (int c = c0; c <= c1; c++) p.insert({l, c});
  return p;
}

// Rows given as (row, first, last) spans.
Pixels spans(const std::vector<std::vector<int>>& s) {
  Pixels p;
  for (auto& r : s)
    for (int c = r[1]; c <= r[2]; c++) p.insert({r[0], c});
  return p;
}

// Maximal horizontal runs of set pixels, as the run lists give them.
Pts runs_of(const IMGGRY& g) {
  Pts r;
  for (int l = 0; l < g.nl(); l++)
    for (int c = 0; c < g.nc(); c++)
      if (g(l, c) && !g(l, c - 1)) {
        int e = c;
        while (g(l, e + 1)) e++;
        r.push_back({l, c});
        r.push_back({l, e});
      }
  return r;
}

IMGGRY blank(int nl, int nc) { return IMGGRY(nl, nc, static_cast<unsigned char>(0)); }

IMGGRY polygon_fill(const Pts& v, int nl = 16, int nc = 16) {
  IMGGRY g = blank(nl, nc);
  PolygonFill(g, poly(v), 9);
  return g;
}

IMGGRY convgon_fill(const Pts& v, int nl = 16, int nc = 16) {
  IMGGRY g = blank(nl, nc);
  ConvgonFill(g, poly(v), 9);
  return g;
}

const Pts kSquare = {{0, 0}, {0, 10}, {10, 10}, {10, 0}};
const Pts kSquareReversed = {{10, 0}, {10, 10}, {0, 10}, {0, 0}};
const Pts kTriangle = {{0, 5}, {10, 0}, {10, 10}};
const Pts kNotch = {{0, 0}, {10, 0}, {10, 10}, {5, 5}, {0, 10}};
const Pts kDiamond = {{0, 5}, {5, 10}, {10, 5}, {5, 0}};
const Pts kVee = {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {5, 5}};

TEST(PolygonHelpers, SingularFlagsThroughRows) {
  auto bits = [](const Pts& p) {
    VETORBIT f = Polygon::singular(poly(p));
    std::vector<bool> b;
    for (int i = 0; i < f.n; i++) b.push_back(f(i));
    return b;
  };
  EXPECT_EQ(bits(kSquare), (std::vector<bool>{true, true, true, true}));
  // Apex and the two base corners: the apex is a local top.
  EXPECT_EQ(bits(kTriangle), (std::vector<bool>{false, true, true}));
  EXPECT_EQ(bits(kDiamond), (std::vector<bool>{false, true, false, true}));
  EXPECT_EQ(bits({{3, 3}}), (std::vector<bool>{false}));
  EXPECT_EQ(bits({{0, 0}, {4, 2}}), (std::vector<bool>{false, false}));
  EXPECT_EQ(Polygon::singular(poly({})).n, 0);
}

TEST(PolygonHelpers, RetaFillCrossesEachRowOnce) {
  struct Case {
    PONTOI2 p1;
    bool s1;
    PONTOI2 p2;
    bool s2;
    Pts pushed;
  };
  const Case cases[] = {
      {{0, 0}, true, {4, 2}, true, {{0, 0}, {1, 1}, {2, 1}, {3, 2}, {4, 2}}},
      {{0, 0}, false, {4, 2}, false, {{1, 1}, {2, 1}, {3, 2}}},
      // Given upwards: the flags travel with their ends.
      {{4, 2}, true, {0, 0}, false, {{1, 1}, {2, 1}, {3, 2}, {4, 2}}},
      // Shallow edge: several columns per row; an exact half moves away from the upper end.
      {{0, 0}, true, {2, -9}, true, {{0, 0}, {1, -5}, {2, -9}}},
      {{0, 5},
       false,
       {10, 0},
       false,
       {{1, 4}, {2, 4}, {3, 3}, {4, 3}, {5, 2}, {6, 2}, {7, 1}, {8, 1}, {9, 0}}},
      {{3, 1}, true, {3, 8}, true, {{3, 1}}},
      {{3, 1}, false, {3, 8}, true, {}},
      {{3, 1}, true, {3, 1}, true, {{3, 1}}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(::testing::Message() << k.p1 << k.s1 << k.p2 << k.s2);
    Polygon::fila q;
    Polygon::RetaFill(k.p1, k.s1, k.p2, k.s2, q);
    EXPECT_EQ(drain(q), k.pushed);
  }
}

TEST(PolygonHelpers, SegmentPixelsOnceOrTwice) {
  const Pts shallow = {{0, 0}, {0, 1}, {1, 2}, {1, 3}, {2, 4}, {2, 5}};
  const Pts steep = {{0, 0}, {1, 1}, {2, 1}, {3, 2}, {4, 2}};
  struct Case {
    PONTOI2 p1, p2;
    Pts pixels;
  };
  const Case cases[] = {{{0, 0}, {2, 5}, shallow},
                        {{2, 5}, {0, 0}, shallow},
                        {{0, 0}, {4, 2}, steep},
                        {{4, 2}, {0, 0}, steep},
                        {{3, 3}, {0, 0}, {{0, 0}, {1, 1}, {2, 2}, {3, 3}}},
                        {{7, 7}, {7, 7}, {{7, 7}}}};
  for (const Case& k : cases) {
    SCOPED_TRACE(::testing::Message() << k.p1 << k.p2);
    Polygon::fila once, twice;
    Polygon::RetaConvgon(k.p1, k.p2, once);
    Polygon::BordaFill(k.p1, k.p2, twice);
    EXPECT_EQ(drain(once), k.pixels);
    Pts doubled;
    for (const PONTOI2& p : k.pixels) doubled.insert(doubled.end(), {p, p});
    EXPECT_EQ(drain(twice), doubled);
  }
}

TEST(PolygonFill, SquareInEitherDirection) {
  for (const Pts& v : {kSquare, kSquareReversed}) {
    EXPECT_EQ(set_pixels(polygon_fill(v)), rect(0, 10, 0, 10));
    EXPECT_EQ(set_pixels(convgon_fill(v)), rect(0, 10, 0, 10));
    Pts expected;
    for (int r = 0; r <= 10; r++) expected.insert(expected.end(), {{r, 0}, {r, 10}});
    EXPECT_EQ(pts(PolygonBorda(poly(v))), expected);
    EXPECT_EQ(pts(ConvgonBorda(poly(v))), expected);
  }
}

TEST(PolygonFill, TriangleApexOnlyFromTheOutline) {
  const Pixels expected = spans({{0, 5, 5},
                                 {1, 4, 6},
                                 {2, 4, 6},
                                 {3, 3, 7},
                                 {4, 3, 7},
                                 {5, 2, 8},
                                 {6, 2, 8},
                                 {7, 1, 9},
                                 {8, 1, 9},
                                 {9, 0, 10},
                                 {10, 0, 10}});
  IMGGRY g = polygon_fill(kTriangle);
  EXPECT_EQ(set_pixels(g), expected);
  EXPECT_EQ(pts(PolygonBorda(poly(kTriangle))), runs_of(g));
}

TEST(PolygonFill, NotchRows) {
  IMGGRY g = polygon_fill(kNotch);
  for (int c = 0; c < 16; c++) {
    EXPECT_EQ(g(5, c) != 0, c <= 5) << c;
    EXPECT_EQ(g(6, c) != 0, c <= 6) << c;
    EXPECT_EQ(g(2, c) != 0, c <= 8) << c;
  }
  EXPECT_EQ(pts(PolygonBorda(poly(kNotch))), runs_of(g));
}

TEST(PolygonFill, FillAndRunsAgreeOnShapes) {
  const Pts shapes[] = {kDiamond, kVee, {{2, 1}, {12, 4}, {6, 14}}, {{1, 1}, {1, 13}, {13, 7}}};
  for (const Pts& v : shapes) {
    IMGGRY g = polygon_fill(v);
    EXPECT_EQ(pts(PolygonBorda(poly(v))), runs_of(g));
  }
  // The diamond's rows: |c - 5| <= min(r, 10 - r).
  Pixels diamond;
  for (int r = 0; r <= 10; r++)
    for (int c = 0; c <= 10; c++)
      if (std::abs(c - 5) <= std::min(r, 10 - r)) diamond.insert({r, c});
  EXPECT_EQ(set_pixels(polygon_fill(kDiamond)), diamond);
  EXPECT_EQ(set_pixels(convgon_fill(kDiamond)), diamond);
}

TEST(PolygonFill, DegenerateVertexLists) {
  // Two vertices: one-pixel spans on the rows between them, and the outline segment.
  const Pixels seg = {{0, 0}, {1, 1}, {2, 1}, {3, 2}, {4, 2}};
  EXPECT_EQ(set_pixels(polygon_fill({{0, 0}, {4, 2}})), seg);
  EXPECT_EQ(set_pixels(convgon_fill({{0, 0}, {4, 2}})), seg);
  EXPECT_EQ(set_pixels(polygon_fill({{3, 4}})), (Pixels{{3, 4}}));
  EXPECT_EQ(set_pixels(convgon_fill({{3, 4}})), (Pixels{{3, 4}}));
  EXPECT_EQ(pts(PolygonBorda(poly({{3, 4}}))), (Pts{{3, 4}, {3, 4}}));
  EXPECT_EQ(pts(ConvgonBorda(poly({{3, 4}}))), (Pts{{3, 4}, {3, 4}}));

  // No vertices: nothing changes, not even the outside value; the run lists are empty.
  IMGGRY g = blank(4, 4);
  g.backg = 3;
  PolygonFill(g, poly({}), 200);
  ConvgonFill(g, poly({}), 200);
  EXPECT_TRUE(set_pixels(g).empty());
  EXPECT_EQ(g.backg, 3);
  EXPECT_EQ(PolygonBorda(poly({})).n(), 0);
  EXPECT_EQ(ConvgonBorda(poly({})).n(), 0);
}

TEST(ConvgonFill, BridgesTheGapsOfAConcaveShape) {
  // The vee's notch leaves rows 1..4 split under the scan-line rule; the convex rule spans them.
  IMGGRY split = polygon_fill(kVee), bridged = convgon_fill(kVee);
  EXPECT_EQ(split(2, 5), 0);
  EXPECT_EQ(set_pixels(bridged), rect(0, 10, 0, 10));
  Pts expected;
  for (int r = 0; r <= 10; r++) expected.insert(expected.end(), {{r, 0}, {r, 10}});
  EXPECT_EQ(pts(ConvgonBorda(poly(kVee))), expected);
}

TEST(PolygonFill, AllImageTypesAndWordEdges) {
  for (int nc : {31, 32, 33, 63, 64, 65}) {
    SCOPED_TRACE(nc);
    const Pts v = {{1, 1}, {1, nc - 2}, {3, nc - 2}, {3, 1}};
    for (bool ink : {false, true}) {
      IMGBIN b(5, nc, !ink);
      PolygonFill(b, poly(v), ink);
      IMGBIN cb(5, nc, !ink);
      ConvgonFill(cb, poly(v), ink);
      for (int l = 0; l < 5; l++)
        for (int c = 0; c < nc; c++) {
          const bool in = l >= 1 && l <= 3 && c >= 1 && c <= nc - 2;
          ASSERT_EQ(b(l, c), in ? ink : !ink) << l << "," << c;
          ASSERT_EQ(cb(l, c), in ? ink : !ink) << l << "," << c;
        }
      EXPECT_EQ(b.backg & 1u, 1u);  // untouched (white)
    }
  }
  IMGCOR c(4, 4, COR{1, 2, 3});
  PolygonFill(c, poly({{1, 1}, {1, 2}, {2, 2}, {2, 1}}), COR{7, 8, 9});
  ConvgonFill(c, poly({{0, 0}}), COR{4, 5, 6});
  for (int l = 0; l < 4; l++)
    for (int k = 0; k < 4; k++) {
      const COR want = (l == 0 && k == 0)                       ? COR{4, 5, 6}
                       : (l >= 1 && l <= 2 && k >= 1 && k <= 2) ? COR{7, 8, 9}
                                                                : COR{1, 2, 3};
      EXPECT_EQ(c(l, k), want) << l << "," << k;
    }
}

TEST(PolygonFill, ClippedFillWritesTheOutsideValue) {
  const Pts v = {{-3, -3}, {-3, 2}, {2, 2}, {2, -3}};
  IMGGRY g = blank(4, 4);
  PolygonFill(g, poly(v), 5);
  EXPECT_EQ(set_pixels(g), rect(0, 2, 0, 2));
  EXPECT_EQ(g.backg, 5);
  IMGGRY h = blank(4, 4);
  ConvgonFill(h, poly(v), 6);
  EXPECT_EQ(set_pixels(h), rect(0, 2, 0, 2));
  EXPECT_EQ(h.backg, 6);
  IMGBIN b(4, 40, true);
  ConvgonFill(b, poly({{1, 30}, {1, 45}, {2, 45}, {2, 30}}), false);
  EXPECT_EQ(b.backg & 1u, 0u);
  for (int c = 0; c < 40; c++) EXPECT_EQ(b(1, c), c < 30) << c;
  // Wholly inside: the outside value stays.
  IMGGRY k = blank(4, 4);
  PolygonFill(k, poly({{0, 0}, {0, 3}, {3, 3}}), 7);
  EXPECT_EQ(k.backg, 0);
}

// ---- Against plain even-odd references ----

// Pixels of the closed region of a polygon whose edges are all horizontal or vertical: on an
// edge, or inside by the even-odd count of vertical edges to the right (rows half-open).
Pixels closed_region(const Pts& v, int nl, int nc) {
  const int n = static_cast<int>(v.size());
  Pixels p;
  for (int r = 0; r < nl; r++)
    for (int c = 0; c < nc; c++) {
      bool edge = false, inside = false;
      for (int i = 0; i < n; i++) {
        const PONTOI2 a = v[i], b = v[(i + 1) % n];
        const int l0 = std::min(a.l(), b.l()), l1 = std::max(a.l(), b.l());
        const int c0 = std::min(a.c(), b.c()), c1 = std::max(a.c(), b.c());
        if (r >= l0 && r <= l1 && c >= c0 && c <= c1) edge = true;
        if (a.c() == b.c() && a.c() > c && r >= l0 && r < l1) inside = !inside;
      }
      if (edge || inside) p.insert({r, c});
    }
  return p;
}

// The scan-line rule written plainly: each edge that is not horizontal crosses the rows from
// its upper end's (included) to its lower end's (excluded) at the nearest column, an exact
// half away from the upper end; the crossings of a row, sorted, bound spans two by two; the
// outline is drawn with reta.
Pixels scanline_reference(const Pts& v, int nl, int nc) {
  const int n = static_cast<int>(v.size());
  IMGGRY g = blank(nl, nc);
  for (int i = 0; i < n; i++)
    reta(g, v[i].l(), v[i].c(), v[(i + 1) % n].l(), v[(i + 1) % n].c(), 9, 1);
  Pixels p = set_pixels(g);
  for (int r = 0; r < nl; r++) {
    std::vector<int> xs;
    for (int i = 0; i < n; i++) {
      PONTOI2 top = v[i], bottom = v[(i + 1) % n];
      if (top.l() > bottom.l()) std::swap(top, bottom);
      const int dl = bottom.l() - top.l(), dc = bottom.c() - top.c();
      if (dl == 0 || r < top.l() || r >= bottom.l()) continue;
      const int k = r - top.l(), step = (2 * k * std::abs(dc) + dl) / (2 * dl);
      xs.push_back(top.c() + (dc < 0 ? -step : step));
    }
    std::sort(xs.begin(), xs.end());
    EXPECT_EQ(xs.size() % 2, 0u) << "row " << r;
    for (size_t k = 0; k + 1 < xs.size(); k += 2)
      for (int c = std::max(xs[k], 0); c <= std::min(xs[k + 1], nc - 1); c++) p.insert({r, c});
  }
  return p;
}

// The fill, and the run list that must meet it exactly.
void expect_fill(const Pts& v, const Pixels& want, int nl, int nc) {
  const IMGGRY g = polygon_fill(v, nl, nc);
  EXPECT_EQ(set_pixels(g), want);
  EXPECT_EQ(pts(PolygonBorda(poly(v))), runs_of(g));
}

// The same polygon from every start vertex, in both directions.
std::vector<Pts> orderings(const Pts& v) {
  std::vector<Pts> all;
  for (Pts w : {v, Pts(v.rbegin(), v.rend())})
    for (size_t k = 0; k < w.size(); k++) {
      all.push_back(w);
      std::rotate(w.begin(), w.begin() + 1, w.end());
    }
  return all;
}

// Steps: horizontal edges whose neighbours lie above and below their row.
const Pts kEll = {{0, 0}, {0, 5}, {5, 5}, {5, 10}, {10, 10}, {10, 0}};
const Pts kStairs = {{0, 0}, {0, 3}, {3, 3}, {3, 6}, {6, 6}, {6, 9}, {9, 9}, {9, 0}};
const Pts kTee = {{0, 3}, {0, 6}, {5, 6}, {5, 10}, {10, 10}, {10, 0}, {5, 0}, {5, 3}};
const Pts kPlus = {{0, 4},  {0, 6},  {4, 6}, {4, 10}, {6, 10}, {6, 6},
                   {10, 6}, {10, 4}, {6, 4}, {6, 0},  {4, 0},  {4, 4}};

TEST(PolygonFill, StepsAreCrossedOnce) {
  auto join = [](Pixels a, const Pixels& b) {
    a.insert(b.begin(), b.end());
    return a;
  };
  const std::pair<Pts, Pixels> cases[] = {
      {kEll, join(rect(0, 5, 0, 5), rect(5, 10, 0, 10))},
      {kTee, join(rect(0, 5, 3, 6), rect(5, 10, 0, 10))},
      {kPlus, join(rect(0, 10, 4, 6), rect(4, 6, 0, 10))},
      {kStairs,
       [] {
         Pixels p;
         for (int r = 0; r <= 9; r++)
           for (int c = 0; c <= std::min(9, 3 * (r / 3) + 3); c++) p.insert({r, c});
         return p;
       }()},
  };
  for (const auto& [shape, want] : cases)
    for (const Pts& v : orderings(shape)) {
      SCOPED_TRACE(::testing::PrintToString(v));
      EXPECT_EQ(closed_region(v, 16, 16), want);  // the reference itself
      expect_fill(v, want, 16, 16);
    }
}

// A random polygon with horizontal and vertical edges: the outline of a random set of cells
// on a coarse grid, connected, without holes and without cells that touch only at a corner,
// with grid lines at random pixel positions. Empty when the set is not of that kind.
Pts random_rectilinear(std::mt19937& rng) {
  constexpr int G = 5;
  std::uniform_int_distribution<int> cell(0, G - 1), gap(1, 3), coin(0, 1);
  bool in[G + 2][G + 2] = {};  // padded by one empty cell on every side
  in[cell(rng) + 1][cell(rng) + 1] = true;
  const int want = std::uniform_int_distribution<int>(1, 14)(rng);
  for (int added = 1; added < want;) {
    const int i = cell(rng) + 1, j = cell(rng) + 1;
    if (in[i][j] || !(in[i - 1][j] || in[i + 1][j] || in[i][j - 1] || in[i][j + 1])) continue;
    in[i][j] = true;
    added++;
  }
  for (int i = 0; i + 1 < G + 2; i++)
    for (int j = 0; j + 1 < G + 2; j++)
      if (in[i][j] == in[i + 1][j + 1] && in[i + 1][j] == in[i][j + 1] && in[i][j] != in[i + 1][j])
        return {};
  // Holes: empty cells that the outside cannot reach.
  bool out[G + 2][G + 2] = {};
  std::vector<std::pair<int, int>> todo = {{0, 0}};
  out[0][0] = true;
  while (!todo.empty()) {
    const auto [i, j] = todo.back();
    todo.pop_back();
    const int di[] = {1, -1, 0, 0}, dj[] = {0, 0, 1, -1};
    for (int d = 0; d < 4; d++) {
      const int a = i + di[d], b = j + dj[d];
      if (a < 0 || b < 0 || a >= G + 2 || b >= G + 2 || in[a][b] || out[a][b]) continue;
      out[a][b] = true;
      todo.push_back({a, b});
    }
  }
  for (int i = 0; i < G + 2; i++)
    for (int j = 0; j < G + 2; j++)
      if (!in[i][j] && !out[i][j]) return {};
  // Cell sides with the outside across them, clockwise: one outgoing side at every corner.
  std::map<std::pair<int, int>, std::pair<int, int>> next;
  for (int i = 1; i <= G; i++)
    for (int j = 1; j <= G; j++) {
      if (!in[i][j]) continue;
      if (!in[i - 1][j]) next[{i, j}] = {i, j + 1};
      if (!in[i][j + 1]) next[{i, j + 1}] = {i + 1, j + 1};
      if (!in[i + 1][j]) next[{i + 1, j + 1}] = {i + 1, j};
      if (!in[i][j - 1]) next[{i + 1, j}] = {i, j};
    }
  std::vector<std::pair<int, int>> corners;
  const auto start = next.begin()->first;
  auto at = start;
  do {
    corners.push_back(at);
    at = next[at];
  } while (at != start);
  int rows[G + 2], cols[G + 2];
  rows[1] = cols[1] = coin(rng);
  for (int k = 2; k <= G + 1; k++)
    rows[k] = rows[k - 1] + gap(rng), cols[k] = cols[k - 1] + gap(rng);
  Pts v;
  const int m = static_cast<int>(corners.size());
  for (int k = 0; k < m; k++) {
    const auto a = corners[(k + m - 1) % m], b = corners[k], c = corners[(k + 1) % m];
    const bool straight = (a.first == b.first && b.first == c.first) ||
                          (a.second == b.second && b.second == c.second);
    if (!straight) v.push_back({rows[b.first], cols[b.second]});
  }
  if (coin(rng)) std::reverse(v.begin(), v.end());
  std::rotate(v.begin(), v.begin() + std::uniform_int_distribution<int>(0, int(v.size()) - 1)(rng),
              v.end());
  return v;
}

TEST(PolygonFill, RandomRectilinearPolygonsFillTheirClosedRegion) {
  std::mt19937 rng(12);
  int tried = 0;
  for (int k = 0; tried < 400 && k < 100000; k++) {
    const Pts v = random_rectilinear(rng);
    if (v.empty()) continue;
    tried++;
    SCOPED_TRACE(::testing::PrintToString(v));
    const Pixels want = closed_region(v, 20, 20);
    EXPECT_EQ(scanline_reference(v, 20, 20), want);
    expect_fill(v, want, 20, 20);
  }
  EXPECT_EQ(tried, 400);
}

// Convex hull of random points, collinear points left out.
Pts random_convex(std::mt19937& rng) {
  std::uniform_int_distribution<int> coord(0, 17), count(3, 9), coin(0, 1);
  std::vector<std::pair<int, int>> p;
  for (int k = count(rng); k > 0; k--) p.push_back({coord(rng), coord(rng)});
  std::sort(p.begin(), p.end());
  p.erase(std::unique(p.begin(), p.end()), p.end());
  auto cross = [](std::pair<int, int> o, std::pair<int, int> a, std::pair<int, int> b) {
    return (a.first - o.first) * (b.second - o.second) -
           (a.second - o.second) * (b.first - o.first);
  };
  std::vector<std::pair<int, int>> h(2 * p.size());
  size_t m = 0;
  for (size_t i = 0; i < p.size(); i++) {
    while (m >= 2 && cross(h[m - 2], h[m - 1], p[i]) <= 0) m--;
    h[m++] = p[i];
  }
  for (size_t i = p.size() - 1, t = m + 1; i-- > 0;) {
    while (m >= t && cross(h[m - 2], h[m - 1], p[i]) <= 0) m--;
    h[m++] = p[i];
  }
  Pts v;
  for (size_t i = 0; i + 1 < m; i++) v.push_back({h[i].first, h[i].second});
  if (coin(rng)) std::reverse(v.begin(), v.end());
  return v;
}

TEST(PolygonFill, RandomConvexPolygonsFollowTheScanLineRule) {
  std::mt19937 rng(7);
  for (int k = 0; k < 400; k++) {
    const Pts v = random_convex(rng);
    if (v.size() < 3) continue;
    SCOPED_TRACE(::testing::PrintToString(v));
    expect_fill(v, scanline_reference(v, 20, 20), 20, 20);
  }
  // The fixed shapes of this file follow the same rule.
  for (const Pts& v : {kSquare, kTriangle, kNotch, kDiamond, kVee})
    EXPECT_EQ(set_pixels(polygon_fill(v)), scanline_reference(v, 16, 16));
}

TEST(ThickLine, Cases) {
  struct Case {
    int l1, c1, l2, c2, esp;
    Pixels pixels;
  };
  Pixels diagonal;
  for (int k = 0; k <= 10; k++) diagonal.insert({k, k});
  const Case cases[] = {
      {5, 2, 5, 12, 1, rect(4, 6, 2, 12)}, {5, 2, 5, 12, 2, rect(4, 6, 2, 12)},
      {5, 12, 5, 2, 1, rect(4, 6, 2, 12)}, {5, 2, 5, 12, 0, rect(5, 5, 2, 12)},
      {0, 0, 10, 10, 1, diagonal},         {5, 5, 5, 5, 1, {{4, 5}, {5, 5}, {6, 5}}},
      {5, 5, 5, 5, 0, {{5, 5}}},           {2, 6, 9, 6, 3, rect(2, 9, 4, 8)},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(::testing::Message()
                 << k.l1 << "," << k.c1 << " " << k.l2 << "," << k.c2 << " t" << k.esp);
    IMGGRY g = blank(16, 16);
    thickline(g, k.l1, k.c1, k.l2, k.c2, 4, k.esp);
    EXPECT_EQ(set_pixels(g), k.pixels);
    EXPECT_EQ(g.backg, 0);
  }
}

TEST(ThickLine, OtherTypesAndClipping) {
  IMGBIN b(8, 8, true);
  thickline(b, 3, -4, 3, 4, false, 1);
  for (int l = 0; l < 8; l++)
    for (int c = 0; c < 8; c++) EXPECT_EQ(b(l, c), !(l >= 2 && l <= 4 && c <= 4)) << l << c;
  EXPECT_EQ(b.backg & 1u, 0u);
  IMGCOR c(3, 3, COR{0, 0, 0});
  thickline(c, 1, 0, 1, 2, COR{1, 2, 3}, 1);
  for (int l = 0; l < 3; l++)
    for (int k = 0; k < 3; k++) EXPECT_EQ(c(l, k), (COR{1, 2, 3}));
  EXPECT_EQ(c.backg, (COR{0, 0, 0}));
}

}  // namespace
