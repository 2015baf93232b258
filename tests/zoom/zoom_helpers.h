// Small fixtures for the zoom tool's tests.
#pragma once

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tools/zoom/zoom.h"
#include "tools/zoom/zoom_filter.h"

namespace zoomtest {

// Rows of '.' (white) and '#' (black).
inline IMGBIN picture(const std::vector<std::string>& rows) {
  IMGBIN im(static_cast<int>(rows.size()), static_cast<int>(rows[0].size()));
  for (int l = 0; l < im.nl(); l++)
    for (int c = 0; c < im.nc(); c++) im(l, c) = rows[l][c] == '.';
  return im;
}

inline std::vector<std::string> rows_of(const IMGBIN& im) {
  std::vector<std::string> out(im.nl(), std::string(im.nc(), '#'));
  for (int l = 0; l < im.nl(); l++)
    for (int c = 0; c < im.nc(); c++)
      if (im(l, c)) out[l][c] = '.';
  return out;
}

inline void set_nodes(kelt::ZoomNodeList& list, const std::vector<kelt::ZoomNode>& nodes) {
  std::free(list.node);
  list.node = static_cast<kelt::ZoomNode*>(kelt::aloca(nodes.size() * sizeof(kelt::ZoomNode)));
  if (!nodes.empty()) std::memcpy(list.node, nodes.data(), nodes.size() * sizeof(kelt::ZoomNode));
  list.count = list.capacity = static_cast<int>(nodes.size());
}

inline void set_window(VETOR<PONTOI2>& w, const std::vector<PONTOI2>& offsets) {
  w.resize(static_cast<int>(offsets.size()));
  for (size_t k = 0; k < offsets.size(); k++) w.data[k] = offsets[k];
}

// A tree over one window entry: white goes to leaf w, black to leaf b.
inline std::vector<kelt::ZoomNode> one_test(uint32_t entry, uint32_t w, uint32_t b) {
  return {{entry, 2}, {b, kelt::kLeaf}, {w, kelt::kLeaf}};
}

inline IMGBIN zoom(const IMGBIN& in, const std::vector<PONTOI2>& offsets,
                   const std::vector<kelt::ZoomNode>& nodes, int F) {
  VETOR<PONTOI2> w;
  set_window(w, offsets);
  kelt::ZoomNodeList list;
  set_nodes(list, nodes);
  MATRIZ<uint32_t> pattern(in.nl(), in.nc());
  kelt::applyfilter(in, w, list, pattern, nullptr);
  int nl, nc;
  kelt::zoomed_size(pattern, F, nl, nc);
  IMGBIN out(nl, nc);
  kelt::expand(pattern, F, out);
  return out;
}

}  // namespace zoomtest
