// Document-like pictures and zoom trees shared by the Kelt benchmark and sample generator.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "images/images.h"
#include "tools/zoom/zoom_filter.h"

namespace keltbench {

// 5 x 7 glyphs, one string of 35 '#'/'.' per glyph, rows top to bottom.
struct Glyphs {
  std::vector<std::string> shapes;
};

// Letters for the sample's words.
inline std::string letter(char ch) {
  switch (ch) {
    case 'V':
      return "#...##...##...##...#.#.#..#.#...#..";
    case 'I':
      return "#####..#....#....#....#....#..#####";
    case 'S':
      return ".#####....#.....###.....#....#####.";
    case 'T':
      return "#####..#....#....#....#....#....#..";
    case 'E':
      return "######....####.#....#....#....#####";
    case 'L':
      return "#....#....#....#....#....#....#####";
    case 'M':
      return "#...###.###.#.##...##...##...##...#";
    case 'O':
      return ".###.#...##...##...##...##...#.###.";
    case 'K':
      return "#...##..#.#.#..##...#.#..#..#.#...#";
    case 'Z':
      return "#####....#...#...#...#...#....#####";
    default:
      return std::string(35, '.');
  }
}

// A set of n pseudo-random glyphs (fixed seed), each with some ink.
inline Glyphs random_glyphs(int n) {
  Glyphs g;
  uint32_t s = 2463534242u;
  for (int i = 0; i < n; i++) {
    std::string shape(35, '.');
    for (int k = 0; k < 35; k++) {
      s ^= s << 13;
      s ^= s >> 17;
      s ^= s << 5;
      if (s % 5 < 2) shape[k] = '#';
    }
    g.shapes.push_back(shape);
  }
  return g;
}

inline void draw(IMGBIN& im, int top, int left, const std::string& shape, int scale) {
  for (int k = 0; k < 35; k++)
    if (shape[k] == '#')
      for (int a = 0; a < scale; a++)
        for (int b = 0; b < scale; b++)
          im(top + (k / 5) * scale + a, left + (k % 5) * scale + b) = false;
}

// Black text on white: lines of words of random glyphs tiled over the page.
inline IMGBIN document(int nl, int nc) {
  IMGBIN im(nl, nc, true);
  Glyphs g = random_glyphs(48);
  uint32_t s = 88172645u;
  auto next = [&s]() {
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
    return s;
  };
  for (int top = 24; top + 7 <= nl - 24; top += 12) {
    int left = 24;
    while (left + 6 * 9 <= nc - 24) {
      int len = 2 + next() % 7;
      for (int i = 0; i < len && left + 5 <= nc - 24; i++, left += 6)
        draw(im, top, left, g.shapes[next() % g.shapes.size()], 1);
      left += 6;
    }
  }
  return im;
}

// F x F block of a pixel whose four neighbours are given: the pixel's colour, with a corner
// cut (black pixel) or filled (white pixel) where both neighbours at that corner differ from it.
inline uint32_t rounded_block(int F, bool self, bool up, bool down, bool left, bool right) {
  uint32_t w = 0;
  const int r = F / 2;  // corner triangle size
  for (int k = 0; k < F * F && k < 32; k++) {
    int br = k / F, bc = k % F;
    bool v = self;
    bool top = br + bc < r, bottom = (F - 1 - br) + (F - 1 - bc) < r;
    bool tr = br + (F - 1 - bc) < r, bl = (F - 1 - br) + bc < r;
    if ((top && up != self && left != self) || (tr && up != self && right != self) ||
        (bl && down != self && left != self) || (bottom && down != self && right != self))
      v = !self;
    if (v) w |= 1u << k;
  }
  return w;
}

// A 3 x 3 window (row-major, centre at 4) and a tree on the centre and its four neighbours.
inline void corner_filter(int F, std::vector<PONTOI2>& window, std::vector<kelt::ZoomNode>& nodes) {
  window.clear();
  for (int r = -1; r <= 1; r++)
    for (int c = -1; c <= 1; c++) window.push_back({r, c});
  nodes = kelt::full_tree({4, 1, 7, 3, 5}, [F](uint32_t b) {
    return rounded_block(F, b & 1, b & 2, b & 4, b & 8, b & 16);
  });
}

// A 7 x 7 window and a tree of 2^13 - 1 nodes testing 12 of its entries, spanning the window.
inline void big_filter(int F, std::vector<PONTOI2>& window, std::vector<kelt::ZoomNode>& nodes) {
  window.clear();
  for (int r = -3; r <= 3; r++)
    for (int c = -3; c <= 3; c++) window.push_back({r, c});
  auto at = [](int r, int c) { return (r + 3) * 7 + (c + 3); };
  std::vector<int> vars = {at(0, 0), at(-1, 0), at(1, 0),  at(0, -1),  at(0, 1), at(-1, -1),
                           at(1, 1), at(-1, 1), at(1, -1), at(-3, -3), at(3, 3), at(0, 2)};
  nodes = kelt::full_tree(vars, [F](uint32_t b) {
    uint32_t w = rounded_block(F, b & 1, b & 2, b & 4, b & 8, b & 16);
    return w ^ ((b >> 5) & 0x3u) << 5;  // the far pixels nudge two cells
  });
}

// A trained-like filter: a 7 x 7 window and a random tree of the given depth whose inner nodes
// test random entries; below the first levels a branch ends early now and then, in a leaf
// that is all white, all black or a mixed block (fixed seed).
inline void deep_filter(int F, int depth, uint32_t seed, std::vector<PONTOI2>& window,
                        std::vector<kelt::ZoomNode>& nodes) {
  window.clear();
  for (int r = -3; r <= 3; r++)
    for (int c = -3; c <= 3; c++) window.push_back({r, c});
  uint32_t s = seed | 1u;
  auto next = [&s]() {
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
    return s;
  };
  const uint32_t all = F * F >= 32 ? ~0u : (1u << (F * F)) - 1;
  nodes.clear();
  std::vector<int> todo = {0};  // levels of the nodes still to grow, depth first
  std::vector<size_t> parent = {SIZE_MAX};
  while (!todo.empty()) {
    const int level = todo.back();
    const size_t up = parent.back();
    todo.pop_back();
    parent.pop_back();
    const size_t self = nodes.size();
    if (up != SIZE_MAX) nodes[up].b = static_cast<int32_t>(self);  // the white branch
    if (level == depth || (level > 3 && next() % 6 == 0)) {
      const uint32_t kind = next() % 3;
      nodes.push_back({kind == 0 ? all : kind == 1 ? 0u : next() & all, kelt::kLeaf});
      continue;
    }
    nodes.push_back({next() % 49, 0});
    todo.push_back(level + 1);  // white branch, grown after the black one
    parent.push_back(self);
    todo.push_back(level + 1);  // black branch: the next node
    parent.push_back(SIZE_MAX);
  }
}

}  // namespace keltbench
