// Kelt's tree pass and block expansion on document-like pages, apart and fused, against their
// portable paths and the plain per-pixel walk (all must give the same bits). Also writes the
// inputs for bench/run-kelt-bench.
#include <chrono>
#include <cstdio>
#include <string>
#include <tuple>

#include "bench/kelt_common.h"
#include "tools/zoom/zoom.h"

namespace {

double seconds_since(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void write_pbm(const IMGBIN& im, const std::string& name) {
  FILE* f = std::fopen(name.c_str(), "wb");
  std::fprintf(f, "P4\n%d %d\n", im.nc(), im.nl());
  const int bytes = (im.nc() + 7) / 8;
  std::vector<unsigned char> row(bytes);
  for (int l = 0; l < im.nl(); l++) {
    for (int i = 0; i < bytes; i++)
      row[i] = static_cast<unsigned char>(~(im.rows[l][i / 4] >> (24 - 8 * (i % 4))));
    std::fwrite(row.data(), 1, bytes, f);
  }
  std::fclose(f);
}

}  // namespace

int main(int argc, char** argv) {
  std::string dir = argc > 1 ? argv[1] : ".";
  const int F = 4;
  std::vector<PONTOI2> offsets;
  std::vector<kelt::ZoomNode> tree;
  keltbench::big_filter(F, offsets, tree);
  kelt::writefilter(dir + "/filter4.ctz", F, offsets, tree);
  VETOR<PONTOI2> window;
  kelt::ZoomNodeList nodes;
  int Fr;
  kelt::readfilter(nodes, Fr, window, (dir + "/filter4.ctz").c_str());
  std::printf("filter: F = %d, %d window offsets, %d nodes\n", F, window.n(), nodes.count);

  // Deep trained-like filters and noisy pages for the whole-process rows.
  for (auto [name, Fd, depth, seed] :
       {std::tuple<const char*, int, int, uint32_t>{"deep13", 4, 13, 13},
        {"deep16", 4, 16, 16},
        {"deep16f3", 3, 16, 316}}) {
    std::vector<PONTOI2> w;
    std::vector<kelt::ZoomNode> t;
    keltbench::deep_filter(Fd, depth, seed, w, t);
    kelt::writefilter(dir + "/" + name + ".ctz", Fd, w, t);
    std::printf("filter %s: F = %d, 7 x 7 window, depth %d, %zu nodes\n", name, Fd, depth,
                t.size());
  }
  for (int size : {1024, 4096}) {
    IMGBIN noise(size, size);
    uint64_t s = 0x9E3779B97F4A7C15ull;
    for (int i = 0; i < noise.nw; i++) {
      s ^= s << 13;
      s ^= s >> 7;
      s ^= s << 17;
      noise.data[i] = static_cast<uint32_t>(s >> 32);
    }
    noise.ImpBmp(dir + "/noise" + std::to_string(size) + ".bmp");
    if (size != 1024) continue;
    // Every window new: the tree pass's cost per pixel is the tree's.
    VETOR<PONTOI2> dw;
    kelt::ZoomNodeList dn;
    int dF;
    kelt::readfilter(dn, dF, dw, (dir + "/deep16.ctz").c_str());
    MATRIZ<uint32_t> fast(size, size), portable(size, size), plain(size, size);
    auto t0 = std::chrono::steady_clock::now();
    kelt::applyfilter(noise, dw, dn, fast, nullptr);
    const double t_fast = seconds_since(t0);
    t0 = std::chrono::steady_clock::now();
    kelt::applyfilter_portable(noise, dw, dn, portable, nullptr);
    const double t_portable = seconds_since(t0);
    t0 = std::chrono::steady_clock::now();
    kelt::applyfilter_plain(noise, dw, dn, plain, nullptr);
    const double t_plain = seconds_since(t0);
    const double px = double(size) * size;
    bool same = true;
    for (int i = 0; i < plain.n && same; i++)
      same = fast.data[i] == plain.data[i] && portable.data[i] == plain.data[i];
    std::printf(
        "noisy %d x %d, deep16: tree pass %.2f ns/pixel (portable %.2f, plain walk %.2f), "
        "%s\n",
        size, size, 1e9 * t_fast / px, 1e9 * t_portable / px, 1e9 * t_plain / px,
        same ? "equals the plain walk" : "DIFFERS FROM THE PLAIN WALK");
    if (!same) return 1;
  }

  int failures = 0;
  for (int size : {1024, 4096}) {
    IMGBIN in = keltbench::document(size, size);
    in.ImpBmp(dir + "/in" + std::to_string(size) + ".bmp");
    write_pbm(in, dir + "/in" + std::to_string(size) + ".pbm");
    const double px = double(size) * size;

    MATRIZ<uint32_t> fast(size, size), plain(size, size);
    auto t0 = std::chrono::steady_clock::now();
    kelt::applyfilter(in, window, nodes, fast, nullptr);
    double t_tree = seconds_since(t0);
    t0 = std::chrono::steady_clock::now();
    kelt::applyfilter_plain(in, window, nodes, plain, nullptr);
    double t_tree_plain = seconds_since(t0);
    MATRIZ<uint32_t> portable(size, size);
    t0 = std::chrono::steady_clock::now();
    kelt::applyfilter_portable(in, window, nodes, portable, nullptr);
    double t_tree_portable = seconds_since(t0);

    int onl, onc;
    kelt::zoomed_size(fast, F, onl, onc);
    IMGBIN out(onl, onc), out_plain(onl, onc), out_portable(onl, onc);
    t0 = std::chrono::steady_clock::now();
    kelt::expand(fast, F, out);
    double t_expand = seconds_since(t0);
    t0 = std::chrono::steady_clock::now();
    kelt::expand_plain(plain, F, out_plain);
    double t_expand_plain = seconds_since(t0);
    t0 = std::chrono::steady_clock::now();
    kelt::expand_portable(portable, F, out_portable);
    double t_expand_portable = seconds_since(t0);

    IMGBIN fused(onl, onc), fused_portable(onl, onc);
    kelt::ImageSink sink(fused, F), sink_portable(fused_portable, F);
    t0 = std::chrono::steady_clock::now();
    kelt::zoom(in, window, nodes, F, nullptr, sink);
    double t_fused = seconds_since(t0);
    t0 = std::chrono::steady_clock::now();
    kelt::zoom(in, window, nodes, F, nullptr, sink_portable, kelt::Tier::portable);
    double t_fused_portable = seconds_since(t0);

    bool same = true;
    for (int i = 0; i < fast.n && same; i++)
      same = fast.data[i] == plain.data[i] && portable.data[i] == plain.data[i];
    for (int i = 0; i < out.nw && same; i++)
      same = out.data[i] == out_plain.data[i] && out_portable.data[i] == out_plain.data[i] &&
             fused.data[i] == out_plain.data[i] && fused_portable.data[i] == out_plain.data[i];
    failures += !same;
    std::printf("%d x %d input, F = %d:\n", size, size, F);
    std::printf("  tree pass   %7.2f ns/pixel (portable %7.2f, plain walk %7.2f, x%.1f)\n",
                1e9 * t_tree / px, 1e9 * t_tree_portable / px, 1e9 * t_tree_plain / px,
                t_tree_plain / t_tree);
    std::printf("  expansion   %7.2f ns/pixel (portable %7.2f, pixel by pixel %7.2f, x%.1f)\n",
                1e9 * t_expand / px, 1e9 * t_expand_portable / px, 1e9 * t_expand_plain / px,
                t_expand_plain / t_expand);
    std::printf("  fused pass  %7.2f ns/pixel (portable %7.2f; tree pass + expansion %7.2f)\n",
                1e9 * t_fused / px, 1e9 * t_fused_portable / px, 1e9 * (t_tree + t_expand) / px);
    std::printf("  output      %s the plain walk's bits (portable and fused paths too)\n",
                same ? "equals" : "DIFFERS FROM");
  }
  return failures == 0 ? 0 : 1;
}
