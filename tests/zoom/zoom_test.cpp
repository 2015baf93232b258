// The tree pass, the block expansion and the filter reader, in process.
#include <algorithm>
#include <array>
#include <climits>
#include <map>
#include <numeric>
#include <random>

#include "support/test_support.h"
#include "tools/zoom/bmp_stream.h"
#include "zoom_helpers.h"

using kelt::kLeaf;
using kelt::ZoomNode;
using zoomtest::picture;
using zoomtest::rows_of;

namespace {

struct BlockCase {
  int F;
  uint32_t word;
  std::vector<std::string> block;
};

const std::vector<BlockCase> kBlocks = {
    {1, 0x1, {"."}},
    {1, 0xFFFFFFFE, {"#"}},
    {2, 0x6, {"#.", ".#"}},
    {3, 0x111, {".##", "#.#", "##."}},
    {6, 0xFFFFFFFF, {"......", "......", "......", "......", "......", "..####"}},
    {8,
     0x80000001,
     {".#######", "########", "########", "#######.", "########", "########", "########",
      "########"}},
};

// Complements the block's cells that the word sets (cells from the 33rd on stay black).
std::vector<std::string> inverse_block(const BlockCase& b) {
  std::vector<std::string> out = b.block;
  for (int k = 0; k < b.F * b.F && k < 32; k++) {
    char& ch = out[k / b.F][k % b.F];
    ch = ch == '.' ? '#' : '.';
  }
  return out;
}

void PrintTo(const BlockCase& b, std::ostream* os) { *os << "F=" << b.F; }

class ZoomBlocks : public ::testing::TestWithParam<BlockCase> {};

// A leaf at the root gives every block the same pattern.
TEST_P(ZoomBlocks, RootLeafFillsEveryBlock) {
  const BlockCase& b = GetParam();
  IMGBIN in = picture({".#.", "##."});
  IMGBIN out = zoomtest::zoom(in, {}, {{b.word, kLeaf}}, b.F);
  ASSERT_EQ(out.nl(), 2 * b.F);
  ASSERT_EQ(out.nc(), 3 * b.F);
  std::vector<std::string> rows = rows_of(out);
  for (int r = 0; r < out.nl(); r++)
    for (int q = 0; q < out.nc(); q++)
      ASSERT_EQ(rows[r][q], b.block[r % b.F][q % b.F]) << r << "," << q;
}

// A tree on the pixel itself: white pixels get one block, black ones the inverse.
TEST_P(ZoomBlocks, PixelTestPicksTheBlock) {
  const BlockCase& b = GetParam();
  IMGBIN in = picture({".#.", "#.."});
  IMGBIN out = zoomtest::zoom(in, {{0, 0}}, zoomtest::one_test(0, b.word, ~b.word), b.F);
  std::vector<std::string> inv = inverse_block(b);
  std::vector<std::string> rows = rows_of(out);
  for (int r = 0; r < out.nl(); r++)
    for (int q = 0; q < out.nc(); q++) {
      const auto& blk = in(r / b.F, q / b.F) ? b.block : inv;
      ASSERT_EQ(rows[r][q], blk[r % b.F][q % b.F]) << r << "," << q;
    }
}

INSTANTIATE_TEST_SUITE_P(Factors, ZoomBlocks, ::testing::ValuesIn(kBlocks));

// Offsets outside the image test white, however far, even with a black outside value.
TEST(Zoom, OffsetsOutsideTestWhite) {
  std::vector<PONTOI2> window = {{0, 1}, {INT_MIN, 0}, {INT_MAX, INT_MAX}, {-1, 0}, {0, INT_MIN}};
  std::vector<ZoomNode> tree = kelt::full_tree({0, 1, 2, 3, 4}, [](uint32_t bits) { return bits; });
  for (bool plain : {false, true}) {
    IMGBIN in = picture({"##", "##"});
    VETOR<PONTOI2> w;
    zoomtest::set_window(w, window);
    kelt::ZoomNodeList list;
    zoomtest::set_nodes(list, tree);
    MATRIZ<uint32_t> p(2, 2);
    (plain ? kelt::applyfilter_plain : kelt::applyfilter)(in, w, list, p, nullptr);
    EXPECT_EQ(p(0, 0), 0x1Eu);
    EXPECT_EQ(p(0, 1), 0x1Fu);
    EXPECT_EQ(p(1, 0), 0x16u);
    EXPECT_EQ(p(1, 1), 0x17u);
  }
}

// Positions beyond 65535 are not folded into 16 bits.
TEST(Zoom, WideAndTallImages) {
  const int big = 70000;
  IMGBIN wide(1, big, true);
  wide(0, 66000) = false;
  IMGBIN out = zoomtest::zoom(wide, {{0, 1}}, zoomtest::one_test(0, 0xF, 0x0), 2);
  ASSERT_EQ(out.nc(), 2 * big);
  for (int q : {2 * 65998, 2 * 65999, 2 * 65999 + 1, 2 * 66000, 2 * 464, 2 * 463})
    EXPECT_EQ(out(1, q), q / 2 != 65999) << q;

  IMGBIN tall(big, 1, true);
  tall(66000, 0) = false;
  out = zoomtest::zoom(tall, {{1, 0}}, zoomtest::one_test(0, 0x1, 0x0), 1);
  ASSERT_EQ(out.nl(), big);
  EXPECT_FALSE(out(65999, 0));
  EXPECT_TRUE(out(65998, 0));
  EXPECT_TRUE(out(463, 0));
}

TEST(Zoom, OutputTooLargeFailsToAllocate) {
  MATRIZ<uint32_t> p(3, 3);
  int nl, nc;
  EXPECT_ERRO(kelt::zoomed_size(p, 1 << 30, nl, nc), "Erro IMGBIN::aloca - falta memoria", "");
  kelt::zoomed_size(p, -5, nl, nc);
  EXPECT_EQ(nl, 0);
  EXPECT_EQ(nc, 0);
}

TEST(Zoom, InvalidWindowIndexInTheWalk) {
  IMGBIN in = picture({".#"});
  // Entry 7 of a one-entry window is reached only through a white pixel.
  std::vector<ZoomNode> tree = {{0, 3}, {0xAAAA, kLeaf}, {0, kLeaf}, {7, 1}, {0, kLeaf}};
  for (bool plain : {false, true}) {
    VETOR<PONTOI2> w;
    zoomtest::set_window(w, {{0, 0}});
    kelt::ZoomNodeList list;
    zoomtest::set_nodes(list, tree);
    MATRIZ<uint32_t> p(1, 2);
    EXPECT_ERRO((plain ? kelt::applyfilter_plain : kelt::applyfilter)(in, w, list, p, nullptr),
                "Erro VETOR::operator() - Indice invalido", "");
    IMGBIN black = picture({"##"});
    (plain ? kelt::applyfilter_plain : kelt::applyfilter)(black, w, list, p, nullptr);
    EXPECT_EQ(p(0, 1), 0xAAAAu);
  }
}

enum class Pass { cached, plain, fused };

std::string progress_text(int nl, int nc, Pass pass) {
  IMGBIN in(nl, nc, true);
  VETOR<PONTOI2> w;
  kelt::ZoomNodeList list;
  zoomtest::set_nodes(list, {{5, kLeaf}});
  MATRIZ<uint32_t> p(nl, nc);
  FILE* f = std::tmpfile();
  if (pass == Pass::fused) {
    IMGBIN out(2 * nl, 2 * nc);
    kelt::ImageSink sink(out, 2);
    kelt::zoom(in, w, list, 2, f, sink);
  } else {
    (pass == Pass::plain ? kelt::applyfilter_plain : kelt::applyfilter)(in, w, list, p, f);
  }
  std::string s(static_cast<size_t>(std::ftell(f)), '\0');
  std::rewind(f);
  EXPECT_EQ(std::fread(&s[0], 1, s.size(), f), s.size());
  std::fclose(f);
  return s;
}

std::string progress_line(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%10.3f%% concluded...\r", v);
  return buf;
}

TEST(Zoom, ProgressOf250Pixels) {
  std::string want;
  for (int k = 0; k < 250; k += 2) want += progress_line(100.0 * k / 250);
  want += progress_line(100.0);
  for (Pass pass : {Pass::cached, Pass::plain, Pass::fused})
    EXPECT_EQ(progress_text(10, 25, pass), want);
  EXPECT_EQ(want.substr(0, 50), "     0.000% concluded...\r     0.800% concluded...\r");
}

TEST(Zoom, ProgressOfTinyImages) {
  std::string want;
  for (int k = 0; k < 6; k++) want += progress_line(100.0 * k / 6);
  for (Pass pass : {Pass::cached, Pass::fused}) {
    EXPECT_EQ(progress_text(2, 3, pass), want + progress_line(100.0));
    EXPECT_EQ(progress_text(0, 0, pass), progress_line(100.0));
  }
}

// The cached pass gives the plain walk's words on random pictures and trees.
struct WindowCase {
  const char* name;
  std::vector<PONTOI2> offsets;
};

std::vector<PONTOI2> box(int r0, int r1, int c0, int c1) {
  std::vector<PONTOI2> w;
  for (int r = r0; r <= r1; r++)
    for (int c = c0; c <= c1; c++) w.push_back({r, c});
  return w;
}

std::vector<ZoomNode> random_tree(std::mt19937& rng, int n, int depth) {
  std::vector<ZoomNode> out;
  std::function<void(int)> grow = [&](int d) {
    if (d == 0 || n == 0 || rng() % 5 == 0) {
      out.push_back({static_cast<uint32_t>(rng()), kLeaf});
      return;
    }
    size_t self = out.size();
    out.push_back({static_cast<uint32_t>(rng() % n), 0});
    grow(d - 1);
    out[self].b = static_cast<int32_t>(out.size());
    grow(d - 1);
  };
  grow(depth);
  return out;
}

TEST(Zoom, CachedPassMatchesPlainWalk) {
  std::vector<WindowCase> windows = {
      {"3x3", box(-1, 1, -1, 1)},
      {"7x7", box(-3, 3, -3, 3)},
      {"8x8", box(-4, 3, -3, 4)},
      {"1x64", box(0, 0, -40, 23)},
      {"8x1", box(-7, 0, 0, 0)},
      {"offcentre", box(2, 4, -6, -2)},
      {"7x7+far",
       [] {
         auto w = box(-3, 3, -3, 3);
         w.push_back({1 << 30, 0});
         w.push_back({0, -(1 << 30)});
         return w;
       }()},
      {"sparse", {{0, -50}, {0, 0}, {0, 50}, {-9, 0}}},
  };
  std::vector<std::pair<int, int>> sizes = {{1, 1},  {1, 3},   {3, 1},    {2, 2},
                                            {5, 31}, {4, 32},  {6, 33},   {9, 65},
                                            {7, 67}, {40, 70}, {12, 131}, {1, 257}};
  std::mt19937 rng(12345);
  const int factors[] = {1, 2, 3, 4, 5, 6, 8};
  int run = 0;
  for (const WindowCase& wc : windows)
    for (auto [nl, nc] : sizes) {
      IMGBIN in(nl, nc);
      for (int l = 0; l < nl; l++)
        for (int c = 0; c < nc; c++) in(l, c) = rng() % 3 != 0;
      VETOR<PONTOI2> w;
      zoomtest::set_window(w, wc.offsets);
      kelt::ZoomNodeList list;
      zoomtest::set_nodes(list, random_tree(rng, static_cast<int>(wc.offsets.size()), 9));
      zoomtest::expect_paths_agree(
          in, w, list, factors[run++ % 7],
          std::string(wc.name) + " " + std::to_string(nl) + "x" + std::to_string(nc));
    }
}

// Pages of large white and black areas (the cached pass fills their spans directly) with a
// little ink, with either outside value, windows reaching outside the image and offsets far
// outside, against the plain walk.
TEST(Zoom, UniformAreasMatchPlainWalk) {
  std::vector<WindowCase> windows = {
      {"7x7", box(-3, 3, -3, 3)},
      {"8x8", box(-4, 3, -3, 4)},
      {"1x1", {{0, 0}}},
      {"1x8 right", box(0, 0, 30, 37)},
      {"8x1 left", box(-7, 0, -40, -40)},
      {"7x7+far",
       [] {
         auto w = box(-3, 3, -3, 3);
         w.push_back({1 << 30, 0});
         w.push_back({-5, INT_MIN});
         return w;
       }()},
  };
  std::vector<std::pair<int, int>> sizes = {{6, 31}, {6, 32},  {6, 33},   {7, 63},  {7, 64},
                                            {7, 65}, {20, 97}, {16, 160}, {9, 255}, {40, 300}};
  std::mt19937 rng(777);
  for (const WindowCase& wc : windows)
    for (auto [nl, nc] : sizes)
      for (int style = 0; style < 4; style++) {
        // Style 0: all white; 1: all black; 2: a black band and a black block on white;
        // 3: white with sparse ink.
        IMGBIN in(nl, nc, style != 1);
        in.backg = rng() % 2;
        const int band0 = static_cast<int>(rng() % nl), band1 = band0 + 1 + rng() % 9;
        const int c0 = static_cast<int>(rng() % nc), c1 = c0 + static_cast<int>(rng() % 80);
        for (int l = 0; l < nl; l++)
          for (int c = 0; c < nc; c++) {
            if (style == 2 && ((l >= band0 && l < band1) || (c >= c0 && c < c1 && l > nl / 2)))
              in(l, c) = false;
            if (style >= 2 && rng() % 97 == 0) in(l, c) = !in(l, c);
          }
        VETOR<PONTOI2> w;
        zoomtest::set_window(w, wc.offsets);
        kelt::ZoomNodeList list;
        zoomtest::set_nodes(list, random_tree(rng, static_cast<int>(wc.offsets.size()), 9));
        zoomtest::expect_paths_agree(in, w, list, 1 + style + nc % 4,
                                     std::string(wc.name) + " " + std::to_string(nl) + "x" +
                                         std::to_string(nc) + " style " + std::to_string(style));
      }
}

// An 8 x 8 window whose 64 entries are all tested and all reach inside the image: keys of
// 64 bits.
TEST(Zoom, SixtyFourLiveEntries) {
  std::vector<ZoomNode> chain;  // entry k black: leaf k; all white: leaf 64
  for (uint32_t k = 0; k < 64; k++) {
    chain.push_back({k, static_cast<int32_t>(2 * k + 2)});
    chain.push_back({0x1000u + k, kLeaf});
  }
  chain.push_back({0xFFFFu, kLeaf});
  std::mt19937 rng(64);
  for (auto [nl, nc] : std::vector<std::pair<int, int>>{{8, 8}, {20, 70}, {9, 300}}) {
    IMGBIN in(nl, nc, true);
    for (int l = 0; l < nl; l++)
      for (int c = 0; c < nc; c++)
        if (rng() % 50 == 0) in(l, c) = false;
    VETOR<PONTOI2> w;
    zoomtest::set_window(w, box(-4, 3, -3, 4));
    kelt::ZoomNodeList list;
    zoomtest::set_nodes(list, chain);
    zoomtest::expect_paths_agree(in, w, list, 2,
                                 "64 entries " + std::to_string(nl) + "x" + std::to_string(nc));
  }
}

// A tree whose black-most path reaches depth exactly (other branches may end sooner), inner
// nodes testing random entries below n.
std::vector<ZoomNode> tree_of_depth(std::mt19937& rng, int n, int depth) {
  std::vector<ZoomNode> out;
  std::function<void(int, bool)> grow = [&](int d, bool spine) {
    if (d == 0 || (!spine && rng() % 6 == 0)) {
      const uint32_t kind = rng() % 3;  // all white, all black or mixed cells
      out.push_back({kind == 0 ? ~0u : kind == 1 ? 0u : static_cast<uint32_t>(rng()), kLeaf});
      return;
    }
    size_t self = out.size();
    out.push_back({static_cast<uint32_t>(rng() % n), 0});
    grow(d - 1, spine);
    out[self].b = static_cast<int32_t>(out.size());
    grow(d - 1, false);
  };
  grow(depth, true);
  return out;
}

// Text-like (white with strokes and blots of ink) or noisy pages.
IMGBIN random_page(std::mt19937& rng, int nl, int nc, bool noisy) {
  IMGBIN in(nl, nc, true);
  in.backg = rng() % 2;
  for (int l = 0; l < nl; l++)
    for (int c = 0; c < nc; c++)
      in(l, c) = noisy ? rng() % 2 == 0 : !(l % 9 < 4 && (c / 3) % 4 != 0 && rng() % 7 != 0);
  return in;
}

// The word walk and the cached pass against the plain walk: trees of every depth up to 16,
// windows up to 8 x 8 (one with all 64 entries tested), every F from 1 to 8, sizes odd, narrower
// than the window and wide, both outside values, noisy and text-like pages.
TEST(Zoom, DeepTreesMatchPlainWalk) {
  std::vector<WindowCase> windows = {
      {"7x7", box(-3, 3, -3, 3)},
      {"8x8", box(-4, 3, -3, 4)},
      {"5x5", box(-2, 2, -2, 2)},
      {"3x3", box(-1, 1, -1, 1)},
      {"2x8", box(0, 1, -7, 0)},
      {"8x2 below right", box(1, 8, 2, 3)},
      {"8x8 all tested", box(-4, 3, -4, 3)},
  };
  const std::vector<std::pair<int, int>> sizes = {{1, 1},  {1, 7},  {5, 3},    {3, 63},
                                                  {9, 64}, {7, 65}, {11, 129}, {2, 301}};
  std::mt19937 rng(2816);
  int F = 1;
  for (int depth = 0; depth <= 16; depth++)
    for (size_t wi = 0; wi < windows.size(); wi++) {
      const WindowCase& wc = windows[wi];
      const int n = static_cast<int>(wc.offsets.size());
      std::vector<ZoomNode> tree = tree_of_depth(rng, n, depth);
      if (wi + 1 == windows.size()) {  // entry k black: leaf k; all white: the random tree
        std::vector<ZoomNode> chain;
        for (int k = 0; k < n; k++) {
          chain.push_back({static_cast<uint32_t>(k), static_cast<int32_t>(2 * k + 2)});
          chain.push_back({0x100u + k, kLeaf});
        }
        for (ZoomNode z : tree) chain.push_back({z.a, z.b == kLeaf ? kLeaf : z.b + 2 * n});
        tree = chain;
      }
      VETOR<PONTOI2> w;
      zoomtest::set_window(w, wc.offsets);
      kelt::ZoomNodeList list;
      zoomtest::set_nodes(list, tree);
      for (int s = 0; s < 3; s++) {
        auto [nl, nc] = sizes[(depth + wi + 3 * s) % sizes.size()];
        const bool noisy = (depth + s) % 2 == 0;
        IMGBIN in = random_page(rng, nl, nc, noisy);
        zoomtest::expect_paths_agree(in, w, list, F,
                                     std::string(wc.name) + " depth " + std::to_string(depth) +
                                         " " + std::to_string(nl) + "x" + std::to_string(nc) +
                                         (noisy ? " noisy" : " text"));
        F = F % 8 + 1;
      }
    }
}

// Pages of vertical stripes (periods 1 to 4, so that neighbouring pixels and pairs of them repeat
// along a row) with a few rows of noise, against the plain walk on every tier.
TEST(Zoom, StripedPagesMatchPlainWalk) {
  std::mt19937 rng(2024);
  const std::vector<WindowCase> windows = {{"7x7", box(-3, 3, -3, 3)}, {"3x3", box(-1, 1, -1, 1)}};
  int F = 1;
  for (const WindowCase& wc : windows)
    for (int depth : {6, 13, 16}) {
      const int n = static_cast<int>(wc.offsets.size());
      VETOR<PONTOI2> w;
      zoomtest::set_window(w, wc.offsets);
      kelt::ZoomNodeList list;
      zoomtest::set_nodes(list, tree_of_depth(rng, n, depth));
      for (int period = 1; period <= 4; period++)
        for (auto [nl, nc] : std::vector<std::pair<int, int>>{{9, 64}, {12, 131}}) {
          IMGBIN in(nl, nc);
          in.backg = rng() % 2;
          const uint32_t phase = rng() % period;
          for (int l = 0; l < nl; l++)
            for (int c = 0; c < nc; c++)
              in(l, c) = l % 5 == 4 ? rng() % 2 == 0 : (c + phase) % period == 0;
          zoomtest::expect_paths_agree(in, w, list, F,
                                       std::string(wc.name) + " depth " + std::to_string(depth) +
                                           " period " + std::to_string(period) + " " +
                                           std::to_string(nl) + "x" + std::to_string(nc));
          F = F % 8 + 1;
        }
    }
}

// Trees testing at most five entries (keys of at most five bits), the entries anywhere in
// windows up to 8 x 8, against the plain walk on every tier: pages text-like and noisy, narrower
// than, as wide as and wider than 32 columns.
TEST(Zoom, FewTestedEntriesMatchPlainWalk) {
  const std::vector<WindowCase> windows = {
      {"plus", {{-1, 0}, {0, -1}, {0, 0}, {0, 1}, {1, 0}}},
      {"8x8", box(-4, 3, -3, 4)},
      {"1x8", box(0, 0, -7, 0)},
      {"8x1 below right", box(1, 8, 2, 2)},
  };
  const std::vector<std::pair<int, int>> sizes = {{1, 1},  {3, 31}, {5, 32},
                                                  {4, 33}, {9, 95}, {6, 130}};
  std::mt19937 rng(505);
  int F = 1;
  for (const WindowCase& wc : windows)
    for (int tested = 1; tested <= 5; tested++) {
      const int n = static_cast<int>(wc.offsets.size());
      std::vector<uint32_t> entry(n);
      std::iota(entry.begin(), entry.end(), 0u);
      std::shuffle(entry.begin(), entry.end(), rng);
      entry.resize(std::min(tested, n));
      std::vector<ZoomNode> tree = tree_of_depth(rng, static_cast<int>(entry.size()), tested + 1);
      for (ZoomNode& z : tree)
        if (z.b != kLeaf) z.a = entry[z.a];
      VETOR<PONTOI2> w;
      zoomtest::set_window(w, wc.offsets);
      kelt::ZoomNodeList list;
      zoomtest::set_nodes(list, tree);
      for (size_t si = 0; si < sizes.size(); si++) {
        auto [nl, nc] = sizes[si];
        const bool noisy = (si + tested) % 2 == 0;
        IMGBIN in = random_page(rng, nl, nc, noisy);
        zoomtest::expect_paths_agree(in, w, list, F,
                                     std::string(wc.name) + ", " + std::to_string(tested) +
                                         " entries, " + std::to_string(nl) + "x" +
                                         std::to_string(nc) + (noisy ? " noisy" : " text"));
        F = F % 8 + 1;
      }
    }
}

// Progress lines of the word walk, and its end at an entry outside the window, as the plain
// walk's: the lines up to the failing pixel, then the message.
TEST(Zoom, WordWalkProgressAndFailure) {
  std::mt19937 rng(28);
  const std::vector<PONTOI2> offsets = box(-3, 3, -3, 3);
  VETOR<PONTOI2> w;
  zoomtest::set_window(w, offsets);
  std::vector<ZoomNode> tree = tree_of_depth(rng, 49, 12);
  IMGBIN in = random_page(rng, 23, 150, false);
  auto text_of = [&](const kelt::ZoomNodeList& list, Pass pass,
                     kelt::Tier tier = kelt::Tier::dispatched) {
    FILE* f = std::tmpfile();
    MATRIZ<uint32_t> p(in.nl(), in.nc());
    if (pass == Pass::fused) {
      IMGBIN out(3 * in.nl(), 3 * in.nc());
      kelt::ImageSink sink(out, 3);
      kelt::zoom(in, w, list, 3, f, sink, tier);
    } else if (pass == Pass::plain) {
      kelt::applyfilter_plain(in, w, list, p, f);
    } else {
      (tier == kelt::Tier::dispatched ? kelt::applyfilter : kelt::applyfilter_portable)(in, w, list,
                                                                                        p, f);
    }
    std::string s(static_cast<size_t>(std::ftell(f)), '\0');
    std::rewind(f);
    EXPECT_EQ(std::fread(&s[0], 1, s.size(), f), s.size());
    std::fclose(f);
    return s;
  };
  kelt::ZoomNodeList list;
  zoomtest::set_nodes(list, tree);
  const std::string want = text_of(list, Pass::plain);
  for (kelt::Tier tier : {kelt::Tier::dispatched, kelt::Tier::portable}) {
    EXPECT_EQ(text_of(list, Pass::cached, tier), want) << zoomtest::tier_name(tier);
    EXPECT_EQ(text_of(list, Pass::fused, tier), want) << zoomtest::tier_name(tier);
  }

  // A leaf that some pixels reach becomes a test of entry 49 (outside the window). The plain
  // walk marks it; the first pixel reaching it, from the top (tree pass) or from the bottom
  // (fused pass), is where the lines stop.
  auto expect_stop_at_first = [&](const IMGBIN& page, size_t leaf, const std::string& what) {
    SCOPED_TRACE(what);
    MATRIZ<uint32_t> p(page.nl(), page.nc());
    std::vector<ZoomNode> marked = tree;
    marked[leaf].a = 0xDEADBEEFu;
    zoomtest::set_nodes(list, marked);
    kelt::applyfilter_plain(page, w, list, p, nullptr);
    int64_t first_down = -1, first_up = -1;
    for (int i = 0; i < p.n; i++)
      if (p.data[i] == 0xDEADBEEFu) {
        if (first_down < 0) first_down = i;
        const int64_t up = int64_t(page.nl() - 1 - i / page.nc()) * page.nc() + i % page.nc();
        if (first_up < 0 || up < first_up) first_up = up;
      }
    ASSERT_GE(first_down, 0) << "no pixel reaches the marked leaf";
    std::vector<ZoomNode> failing = tree;
    failing[leaf] = {49, static_cast<int32_t>(leaf)};  // never followed: the walk stops first
    zoomtest::set_nodes(list, failing);
    const int64_t total = int64_t(page.nl()) * page.nc(), step = std::max<int64_t>(total / 100, 1);
    auto lines_to = [&](int64_t last) {
      std::string s;
      for (int64_t k = 0; k <= last; k += step) s += progress_line(100.0 * k / total);
      return s + testutil::erro_line("Erro VETOR::operator() - Indice invalido", "");
    };
    for (Pass pass : {Pass::plain, Pass::cached}) {
      EXPECT_EXIT(
          {
            testutil::stdout_to_stderr();
            (pass == Pass::plain ? kelt::applyfilter_plain : kelt::applyfilter)(page, w, list, p,
                                                                                stderr);
          },
          ::testing::ExitedWithCode(1), ::testing::HasSubstr(lines_to(first_down)));
    }
    EXPECT_EXIT(
        {
          testutil::stdout_to_stderr();
          IMGBIN out(3 * page.nl(), 3 * page.nc());
          kelt::ImageSink sink(out, 3);
          kelt::zoom(page, w, list, 3, stderr, sink);
        },
        ::testing::ExitedWithCode(1), ::testing::HasSubstr(lines_to(first_up)));
  };
  size_t late = 0;
  for (size_t i = 0; i < tree.size(); i++)
    if (tree[i].b == kLeaf && i > tree.size() / 2) late = i;
  expect_stop_at_first(in, late, "23 x 150");

  // A noisy page of two rows: the first row of a pass takes the cache, which misses nearly all
  // its keys, so the second takes the word walk.
  // Leaves that only pixels of the top row reach, and only pixels of the bottom row.
  IMGBIN strip = random_page(rng, 2, 150, true);
  zoomtest::set_nodes(list, tree);
  MATRIZ<uint32_t> p(2, 150);
  kelt::applyfilter_plain(strip, w, list, p, nullptr);
  std::map<uint32_t, int> rows_reaching;  // leaf word: bit r for row r
  for (int i = 0; i < p.n; i++) rows_reaching[p.data[i]] |= 1 << (i / 150);
  int found = 0;
  for (int only : {1, 2})
    for (size_t i = 0; i < tree.size(); i++) {
      if (tree[i].b != kLeaf) continue;
      int reach = 0;  // a leaf word may stand in more than one leaf: all of them must agree
      for (size_t j = 0; j < tree.size(); j++)
        if (tree[j].b == kLeaf && tree[j].a == tree[i].a) reach |= rows_reaching[tree[j].a];
      if (reach != only) continue;
      expect_stop_at_first(strip, i, only == 1 ? "2 x 150, top row" : "2 x 150, bottom row");
      found |= only;
      break;
    }
  EXPECT_EQ(found, 3) << "leaves reached by one row only";
}

TEST(Zoom, ExpansionMatchesPixelByPixel) {
  std::mt19937 rng(7);
  for (int F : {1, 2, 3, 4, 5, 6, 7, 8, 9, 16, 31, 32, 33})
    for (auto [nl, nc] :
         std::vector<std::pair<int, int>>{{1, 1}, {3, 5}, {2, 33}, {4, 65}, {2, 95}, {2, 131}}) {
      MATRIZ<uint32_t> p(nl, nc);
      for (int i = 0; i < p.n; i++)
        p.data[i] = rng() % 4 == 0 ? p.data[0] : static_cast<uint32_t>(rng());
      if (nc == 65)  // runs of one word take the blank-page path
        for (int c = 0; c < 40; c++) p(1, c) = 0x12345678u;
      if (nc > 65)  // two runs in a wider row, their stores reaching the next words
        for (int c = 0; c < 64; c++) p(1, c) = 0x9ABCDEF0u;
      IMGBIN plain(nl * F, nc * F);
      kelt::expand_plain(p, F, plain);
      zoomtest::expect_tiers_give(
          zoomtest::words(plain),
          [&, nl = nl, nc = nc](kelt::Tier t) {
            IMGBIN out(nl * F, nc * F);
            (t == kelt::Tier::dispatched ? kelt::expand
             : t == kelt::Tier::portable ? kelt::expand_portable
                                         : kelt::expand_plain)(p, F, out);
            return zoomtest::words(out);
          },
          "F " + std::to_string(F) + " " + std::to_string(nl) + "x" + std::to_string(nc));
    }
}

// Filter files.
std::vector<unsigned char> le_bytes(const std::vector<uint32_t>& words) {
  std::vector<unsigned char> out;
  for (uint32_t v : words)
    for (int i = 0; i < 4; i++) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
  return out;
}

class FilterFile : public testutil::TempDir {};

TEST_F(FilterFile, ReadsWhatWasWritten) {
  kelt::writefilter(path("f.ctz"), 3, {{1, -2}, {-3, 4}},
                    {{0, 2}, {9, kLeaf}, {0x80000001u, kLeaf}});
  std::vector<unsigned char> bytes = testutil::read_bytes(path("f.ctz"));
  EXPECT_EQ(bytes, le_bytes({3, 2, 1, uint32_t(-2), uint32_t(-3), 4, 3, 0, 2, 9, uint32_t(-1),
                             0x80000001u, uint32_t(-1)}));
  bytes.push_back(0xEE);  // trailing bytes are not read
  testutil::write_bytes(path("f.ctz"), bytes);
  kelt::ZoomNodeList nodes;
  VETOR<PONTOI2> w(5);
  int F = 0;
  kelt::readfilter(nodes, F, w, path("f.ctz").c_str());
  EXPECT_EQ(F, 3);
  ASSERT_EQ(w.n, 2);
  EXPECT_EQ(w(1).lin, -3);
  EXPECT_EQ(w(1).col, 4);
  ASSERT_EQ(nodes.count, 3);
  EXPECT_EQ(nodes.capacity, 3);
  EXPECT_EQ(nodes.node[2].a, 0x80000001u);
  EXPECT_EQ(nodes.node[1].b, kLeaf);
}

// A branch back to an earlier node is fine when it makes no cycle.
TEST_F(FilterFile, BackBranchWithoutCycle) {
  std::vector<ZoomNode> tree = {{0, 2}, {0x1, kLeaf}, {1, 1}, {0x2, kLeaf}};
  kelt::writefilter(path("f.ctz"), 1, {{0, 0}, {0, 1}}, tree);
  kelt::ZoomNodeList nodes;
  VETOR<PONTOI2> w;
  int F;
  kelt::readfilter(nodes, F, w, path("f.ctz").c_str());
  IMGBIN in = picture({"..#", "#.."});
  MATRIZ<uint32_t> p(2, 3);
  kelt::applyfilter(in, w, nodes, p, nullptr);
  EXPECT_EQ(p(0, 0), 0x1u);  // white, right white: back to node 1
  EXPECT_EQ(p(0, 1), 0x2u);  // white, right black
  EXPECT_EQ(p(0, 2), 0x1u);  // black
  EXPECT_EQ(p(1, 2), 0x1u);  // white, right outside (white)
}

struct BadFilter {
  const char* name;
  std::vector<uint32_t> words;
  const char* message;
  size_t cut = 0;  // bytes removed from the end
};

const char* const kRead = "Error in reading filter";
const char* const kInvalid = "Error: Invalid filter";
const uint32_t L = uint32_t(-1);

const std::vector<BadFilter> kBadFilters = {
    {"empty", {}, kRead},
    {"no_window_count", {2}, kRead},
    {"short_count", {2, 0}, kRead, 2},
    {"missing_offsets", {2, 3, 0, 0}, kRead},
    {"huge_window", {2, 0x7FFFFFFF, 0, 0, 1, 5, L}, kRead},
    {"negative_window", {2, uint32_t(-1), 1, 5, L}, kInvalid},
    {"no_node_count", {2, 1, 0, 0}, kRead},
    {"zero_nodes", {2, 0, 0}, kInvalid},
    {"negative_nodes", {2, 0, uint32_t(-4)}, kInvalid},
    {"missing_nodes", {2, 0, 2, 5, L}, kRead},
    {"huge_nodes", {2, 0, 0x7FFFFFFF, 5, L}, kRead},
    {"half_node", {2, 0, 1, 5, L}, kRead, 1},
    {"branch_past_end", {2, 1, 0, 0, 3, 0, 3, 5, L, 6, L}, kInvalid},
    {"branch_negative", {2, 1, 0, 0, 3, 0, uint32_t(-2), 5, L, 6, L}, kInvalid},
    {"falls_off_end", {2, 1, 0, 0, 2, 0, 0, 0, 0}, kInvalid},
    {"self_loop", {2, 1, 0, 0, 2, 0, 0, 5, L}, kInvalid},
    {"cycle", {2, 1, 0, 0, 4, 0, 2, 5, L, 0, 0, 6, L}, kInvalid},
};

void PrintTo(const BadFilter& b, std::ostream* os) { *os << b.name; }

class BadFilters : public testutil::TempDir, public ::testing::WithParamInterface<BadFilter> {};

TEST_P(BadFilters, AreRejected) {
  const BadFilter& b = GetParam();
  std::vector<unsigned char> bytes = le_bytes(b.words);
  bytes.resize(bytes.size() - b.cut);
  testutil::write_bytes(path("f.ctz"), bytes);
  kelt::ZoomNodeList nodes;
  VETOR<PONTOI2> w;
  int F;
  EXPECT_ERRO(kelt::readfilter(nodes, F, w, path("f.ctz").c_str()), b.message, "");
}

INSTANTIATE_TEST_SUITE_P(Cases, BadFilters, ::testing::ValuesIn(kBadFilters),
                         [](const auto& info) { return std::string(info.param.name); });

// The streamed file holds ImpBmp's bytes for the same image, for blocks of one or many rows
// and outputs larger than one block.
class BmpStreamFile : public testutil::TempDir {};

// The stream's file against ImpBmp's on every tier, for trees testing the whole 3 x 3 window
// and trees testing its five entries of a plus (few: keys of at most five bits).
TEST_F(BmpStreamFile, HoldsWhatImpBmpWrites) {
  std::mt19937 rng(99);
  const uint32_t plus[] = {1, 3, 4, 5, 7};
  for (auto [nl, nc, F, few] : std::vector<std::array<int, 4>>{{1, 1, 1, 0},
                                                               {3, 5, 3, 1},
                                                               {2, 33, 4, 0},
                                                               {5, 40, 2, 0},
                                                               {7, 45, 5, 1},
                                                               {17, 9, 6, 0},
                                                               {9, 50, 7, 1},
                                                               {40, 70, 8, 0},
                                                               {300, 420, 9, 0},
                                                               {1000, 301, 8, 0},
                                                               {400, 333, 3, 1},
                                                               {500, 200, 4, 1},
                                                               {200, 300, 5, 0}}) {
    IMGBIN in(nl, nc);
    for (int l = 0; l < nl; l++)
      for (int c = 0; c < nc; c++) in(l, c) = rng() % 4 != 0;
    VETOR<PONTOI2> w;
    zoomtest::set_window(w, box(-1, 1, -1, 1));
    std::vector<ZoomNode> tree = random_tree(rng, few ? 5 : 9, 8);
    if (few)
      for (ZoomNode& z : tree)
        if (z.b != kLeaf) z.a = plus[z.a];
    kelt::ZoomNodeList list;
    zoomtest::set_nodes(list, tree);
    zoomtest::zoom_reference(in, w, list, F).ImpBmp(path("want.bmp"));
    const std::vector<unsigned char> want = testutil::read_bytes(path("want.bmp"));
    for (kelt::Tier tier : {kelt::Tier::dispatched, kelt::Tier::portable, kelt::Tier::plain}) {
      kelt::BmpStream file(path("got.bmp"), nl * F, nc * F, F);
      kelt::zoom(in, w, list, F, nullptr, file, tier);
      file.finish();
      EXPECT_EQ(testutil::read_bytes(path("got.bmp")), want)
          << nl << "x" << nc << " F " << F << (few ? " few" : "") << " tier "
          << static_cast<int>(tier);
    }
  }
}

// An output whose file would pass the 32-bit size field is refused before the file exists.
TEST_F(BmpStreamFile, RefusesFilesPastTheSizeField) {
  // 2^18 rows of 2^17 bits: 62 + 2^32 bytes.
  EXPECT_ERRO(kelt::BmpStream(path("big.bmp"), 1 << 18, 1 << 17, 8),
              "Erro IMGBIN::ImpBmp - Imagem muito grande para BMP ", path("big.bmp"));
  EXPECT_FALSE(testutil::file_exists(path("big.bmp")));
}

TEST_F(FilterFile, MissingFile) {
  kelt::ZoomNodeList nodes;
  VETOR<PONTOI2> w;
  int F;
  EXPECT_ERRO(kelt::readfilter(nodes, F, w, path("none.ctz").c_str()), "Error in opening filter",
              "");
}

}  // namespace
