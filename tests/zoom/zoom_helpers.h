// Small fixtures for the zoom tool's tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "processing/kernels/isa.h"
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

inline std::vector<uint32_t> words(const MATRIZ<uint32_t>& m) {
  return std::vector<uint32_t>(m.data, m.data + m.n);
}
inline std::vector<uint32_t> words(const IMGBIN& im) {
  return std::vector<uint32_t>(im.data, im.data + im.nw);
}

inline const char* tier_name(kelt::Tier t) {
  return t == kelt::Tier::dispatched ? "dispatched"
         : t == kelt::Tier::portable ? "portable"
                                     : "plain";
}

// make(tier) gives the words of one path at each tier; every tier must give want exactly, the
// dispatched one at every instruction set level the machine has.
template <class Make>
void expect_tiers_give(const std::vector<uint32_t>& want, Make make, const std::string& what) {
  auto check = [&](kelt::Tier t, const std::string& where) {
    std::vector<uint32_t> got = make(t);
    ASSERT_EQ(got.size(), want.size()) << what << " (" << where << ")";
    for (size_t i = 0; i < got.size(); i++)
      ASSERT_EQ(got[i], want[i]) << what << " (" << where << ") at " << i;
  };
  for (int level = static_cast<int>(vistelmo::Isa::kSse2);
       level <= static_cast<int>(vistelmo::isa_limit()); level++) {
    vistelmo::ScopedIsa at(static_cast<vistelmo::Isa>(level));
    check(kelt::Tier::dispatched,
          std::string("dispatched, ") + vistelmo::isa_name(static_cast<vistelmo::Isa>(level)));
    if (::testing::Test::HasFatalFailure()) return;
  }
  for (kelt::Tier t : {kelt::Tier::portable, kelt::Tier::plain}) {
    check(t, tier_name(t));
    if (::testing::Test::HasFatalFailure()) return;
  }
}

// The tree pass at a tier.
inline void applyfilter_at(kelt::Tier t, const IMGBIN& in, const VETOR<PONTOI2>& w,
                           const kelt::ZoomNodeList& nodes, MATRIZ<uint32_t>& p) {
  (t == kelt::Tier::dispatched ? kelt::applyfilter
   : t == kelt::Tier::portable ? kelt::applyfilter_portable
                               : kelt::applyfilter_plain)(in, w, nodes, p, nullptr);
}

// The plain walk and pixel-by-pixel expansion: the reference of every zoomed image.
inline IMGBIN zoom_reference(const IMGBIN& in, const VETOR<PONTOI2>& w,
                             const kelt::ZoomNodeList& nodes, int F) {
  MATRIZ<uint32_t> p(in.nl(), in.nc());
  kelt::applyfilter_plain(in, w, nodes, p, nullptr);
  IMGBIN out(in.nl() * F, in.nc() * F);
  kelt::expand_plain(p, F, out);
  return out;
}

// The tree pass and the fused pass at every tier against the plain walk and expansion.
inline void expect_paths_agree(const IMGBIN& in, const VETOR<PONTOI2>& w,
                               const kelt::ZoomNodeList& nodes, int F, const std::string& what) {
  MATRIZ<uint32_t> plain(in.nl(), in.nc());
  kelt::applyfilter_plain(in, w, nodes, plain, nullptr);
  expect_tiers_give(
      words(plain),
      [&](kelt::Tier t) {
        MATRIZ<uint32_t> p(in.nl(), in.nc());
        applyfilter_at(t, in, w, nodes, p);
        return words(p);
      },
      what + " tree pass");
  expect_tiers_give(
      words(zoom_reference(in, w, nodes, F)),
      [&](kelt::Tier t) {
        IMGBIN out(in.nl() * F, in.nc() * F);
        std::fill(out.data, out.data + out.nw, 0xA5C3A5C3u);  // every word must be written
        kelt::ImageSink sink(out, F);
        kelt::zoom(in, w, nodes, F, nullptr, sink, t);
        return words(out);
      },
      what + " fused F=" + std::to_string(F));
}

}  // namespace zoomtest
