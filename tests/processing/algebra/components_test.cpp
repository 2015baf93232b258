// Component size filter and blob centres, against a plain labelling of the black pixels.
#include "processing/algebra/components.h"

#include <algorithm>
#include <climits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "support/test_support.h"

namespace {

// '#' black, anything else white.
IMGBIN picture(const std::vector<std::string>& rows) {
  const int nl = static_cast<int>(rows.size());
  const int nc = nl ? static_cast<int>(rows[0].size()) : 0;
  IMGBIN a(nl, nc, true);
  for (int l = 0; l < nl; l++)
    for (int c = 0; c < nc; c++) a(l, c) = rows[l][c] != '#';
  return a;
}

std::vector<std::string> drawing(const IMGBIN& a) {
  std::vector<std::string> out(a.nl(), std::string(a.nc(), '.'));
  for (int l = 0; l < a.nl(); l++)
    for (int c = 0; c < a.nc(); c++)
      if (!a(l, c)) out[l][c] = '#';
  return out;
}

IMGBIN noise(int nl, int nc, unsigned seed, int black_percent) {
  return testutil::noise<IMGBIN>(nl, nc, seed, [black_percent](std::mt19937& g) {
    return static_cast<int>(g() % 100) >= black_percent;
  });
}

// Labels of the black components (-1 for white) by breadth-first search.
std::vector<std::vector<int>> label(const IMGBIN& a, bool diagonals, int& count) {
  std::vector<std::vector<int>> lab(a.nl(), std::vector<int>(a.nc(), -1));
  count = 0;
  for (int l = 0; l < a.nl(); l++)
    for (int c = 0; c < a.nc(); c++) {
      if (a(l, c) || lab[l][c] >= 0) continue;
      std::vector<std::pair<int, int>> todo{{l, c}};
      lab[l][c] = count;
      for (size_t i = 0; i < todo.size(); i++) {
        for (int dl = -1; dl <= 1; dl++)
          for (int dc = -1; dc <= 1; dc++) {
            if (!diagonals && dl != 0 && dc != 0) continue;
            const int r = todo[i].first + dl, s = todo[i].second + dc;
            if (r < 0 || s < 0 || r >= a.nl() || s >= a.nc() || a(r, s) || lab[r][s] >= 0) continue;
            lab[r][s] = count;
            todo.push_back({r, s});
          }
      }
      count++;
    }
  return lab;
}

// Pixels of each 8-connected black component, by label.
std::vector<int> sizes(const std::vector<std::vector<int>>& lab, int count) {
  std::vector<int> size(count, 0);
  for (auto& row : lab)
    for (int v : row)
      if (v >= 0) size[v]++;
  return size;
}

IMGBIN reference_filtcc(const IMGBIN& a, int m) {
  int count;
  const auto lab = label(a, true, count);
  const std::vector<int> size = sizes(lab, count);
  IMGBIN out(a.nl, a.nc, true);
  for (int l = 0; l < a.nl(); l++)
    for (int c = 0; c < a.nc(); c++)
      if (lab[l][c] >= 0 && size[lab[l][c]] >= m) out(l, c) = false;
  return out;
}

IMGBIN reference_findce(const IMGBIN& a) {
  int count;
  const auto lab = label(a, false, count);
  std::vector<int> lmin(count, a.nl()), lmax(count, -1), cmin(count, a.nc()), cmax(count, -1);
  for (int l = 0; l < a.nl(); l++)
    for (int c = 0; c < a.nc(); c++) {
      const int v = lab[l][c];
      if (v < 0) continue;
      lmin[v] = std::min(lmin[v], l), lmax[v] = std::max(lmax[v], l);
      cmin[v] = std::min(cmin[v], c), cmax[v] = std::max(cmax[v], c);
    }
  IMGBIN out(a.nl, a.nc, true);
  for (int v = 0; v < count; v++) out((lmin[v] + lmax[v]) / 2, (cmin[v] + cmax[v]) / 2) = false;
  return out;
}

// Raw words, spare bits past the last column included.
std::vector<uint32_t> words(const IMGBIN& a) {
  return std::vector<uint32_t>(a.data, a.data + a.nw);
}

// Noise sizes: single pixels, a row and a column, widths around one and two words, wide strips.
const std::pair<int, int> kSizes[] = {{1, 1},  {1, 257}, {257, 1},  {7, 67}, {12, 131},
                                      {9, 31}, {9, 32},  {9, 33},   {8, 63}, {8, 64},
                                      {8, 65}, {40, 97}, {150, 260}};

// Black spare bits in the input count for nothing.
void blacken_spare_bits(IMGBIN& a) {
  const int used = a.nc() & 31;
  if (!used) return;
  for (int l = 0; l < a.nl(); l++) a.rows[l][a.wpr - 1] &= ~(0xFFFFFFFFu >> used);
}

TEST(ComponentsFiltcc, MatchesLabellingOnNoise) {
  unsigned seed = 1;
  for (const auto& [nl, nc] : kSizes)
    for (int black : {10, 45, 50, 90}) {
      IMGBIN a = noise(nl, nc, seed++, black);
      a.backg = 0;
      blacken_spare_bits(a);
      int count;
      const auto lab = label(a, true, count);
      const std::vector<int> size = sizes(lab, count);
      const int largest = count ? *std::max_element(size.begin(), size.end()) : 0;
      for (int m : {INT_MIN, 0, 1, 2, 3, 10, largest, largest + 1, INT_MAX}) {
        SCOPED_TRACE(testing::Message() << nl << "x" << nc << " black% " << black << " m " << m);
        const IMGBIN ours = filtcc(a, m), ref = reference_filtcc(a, m);
        EXPECT_EQ(drawing(ours), drawing(ref));
        EXPECT_EQ(words(ours), words(ref));
      }
    }
}

TEST(ComponentsFiltcc, SizeThresholdAndDiagonalContact) {
  const IMGBIN a = picture({"##...#",  //
                            "#.....",  //
                            "....#.",  //
                            ".#...#"});
  // Components: 3 pixels at the top left, the 1 at (0,5), the diagonal pair, the lone (3,1).
  EXPECT_EQ(drawing(filtcc(a, 1)), drawing(a));
  EXPECT_EQ(drawing(filtcc(a, 0)), drawing(a));
  EXPECT_EQ(drawing(filtcc(a, 2)), (std::vector<std::string>{"##....",  //
                                                             "#.....",  //
                                                             "....#.",  //
                                                             ".....#"}));
  EXPECT_EQ(drawing(filtcc(a, 3)), (std::vector<std::string>{"##....",  //
                                                             "#.....",  //
                                                             "......",  //
                                                             "......"}));
  EXPECT_EQ(drawing(filtcc(a, 4)), drawing(IMGBIN(4, 6, true)));
}

TEST(ComponentsFiltcc, FreshResultAndWholeImageComponent) {
  IMGBIN a(200, 150, false);  // one component covering everything
  a.lc = 7;
  a.cc = 9;
  a.backg = 0;
  const IMGBIN kept = filtcc(a, 200 * 150);
  EXPECT_EQ(drawing(kept), drawing(a));
  EXPECT_EQ(kept.lc, 99);
  EXPECT_EQ(kept.cc, 74);
  EXPECT_TRUE(kept(-1, 0));  // outside white
  EXPECT_EQ(drawing(filtcc(a, 200 * 150 + 1)), drawing(IMGBIN(200, 150, true)));
  EXPECT_EQ(filtcc(IMGBIN(), 1).n(), 0);
}

TEST(ComponentsFiltcc, FloodFillsMarkTheComponent) {
  IMGGRY g(IMGBIN(picture({"#.#",  //
                           ".#.",  //
                           "...",  //
                           "#.."})));
  g.backg = 255;
  EXPECT_EQ(FILTCCB::contacc(0, 0, g), 3);
  EXPECT_EQ(std::vector<int>(g.data, g.data + 12),
            (std::vector<int>{64, 255, 64, 255, 64, 255, 255, 255, 255, 0, 255, 255}));
  IMGBIN out(4, 3, true);
  FILTCCB::copia(1, 1, g, out);
  EXPECT_EQ(std::vector<int>(g.data, g.data + 12),
            (std::vector<int>{128, 255, 128, 255, 128, 255, 255, 255, 255, 0, 255, 255}));
  EXPECT_EQ(drawing(out), (std::vector<std::string>{"#.#", ".#.", "...", "..."}));
  EXPECT_EQ(g.backg, 255);
}

TEST(ComponentsFindce, MatchesBoundingBoxCentresOnNoise) {
  unsigned seed = 100;
  for (const auto& [nl, nc] : kSizes)
    for (int black : {10, 50, 60, 90}) {
      SCOPED_TRACE(testing::Message() << nl << "x" << nc << " black% " << black);
      IMGBIN a = noise(nl, nc, seed++, black);
      a.backg = 0;
      blacken_spare_bits(a);
      const IMGBIN ours = findce(a), ref = reference_findce(a);
      EXPECT_EQ(drawing(ours), drawing(ref));
      EXPECT_EQ(words(ours), words(ref));
    }
}

TEST(ComponentsFindce, ShapesCornersAndTheCallersImage) {
  // An L over rows 2..6 and columns 3..4; a ring; two pixels meeting at a corner.
  IMGBIN a = picture({"..........",  //
                      "......###.",  //
                      "...#..#.#.",  //
                      "...#..###.",  //
                      "...#......",  //
                      "...#....#.",  //
                      "...##....#"});
  a.backg = 0;  // a black outside value does not join border blobs to anything
  const std::vector<std::string> before = drawing(a);
  EXPECT_EQ(drawing(findce(a)), (std::vector<std::string>{"..........",  //
                                                          "..........",  //
                                                          ".......#..",  //
                                                          "..........",  //
                                                          "...#......",  //
                                                          "........#.",  //
                                                          ".........#"}));
  EXPECT_EQ(drawing(a), before);
  EXPECT_EQ(a.backg, 0u);

  IMGBIN all(5, 8, false);
  all.lc = all.cc = 0;
  const IMGBIN one = findce(all);
  EXPECT_EQ(drawing(one),
            drawing(picture({"........", "........", "...#....", "........", "........"})));
  EXPECT_EQ(one.lc, 2);
  EXPECT_EQ(one.cc, 3);
  EXPECT_TRUE(one(0, -1));
  EXPECT_EQ(drawing(findce(IMGBIN(3, 40, true))), drawing(IMGBIN(3, 40, true)));
}

TEST(ComponentsFindce, CentroErasesTheBlob) {
  IMGBIN a = picture({"##..",  //
                      ".##.",  //
                      "...#"});
  int r = -1, s = -1;
  FindCeB::centro(a, 0, 1, r, s);
  EXPECT_EQ(r, 0);
  EXPECT_EQ(s, 1);  // box rows 0..1, columns 0..2
  EXPECT_EQ(drawing(a), (std::vector<std::string>{"....", "....", "...#"}));
}

}  // namespace
