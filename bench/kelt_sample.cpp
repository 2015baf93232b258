// Writes the bundled Kelt sample: a small 1-bit BMP of text and a corner-rounding 3x filter.
#include <cstdio>
#include <string>

#include "bench/kelt_common.h"

int main(int argc, char** argv) {
  std::string dir = argc > 1 ? argv[1] : "samples";
  const std::string words[] = {"VISTELMO", "KELT ZOOM"};
  const int scale = 2;
  IMGBIN im(2 * 9 * scale + 14, 9 * 6 * scale + 14, true);
  for (int w = 0; w < 2; w++)
    for (size_t i = 0; i < words[w].size(); i++)
      keltbench::draw(im, 8 + w * 9 * scale, 8 + static_cast<int>(i) * 6 * scale,
                      keltbench::letter(words[w][i]), scale);
  im.ImpBmp(dir + "/kelt-sample.bmp");
  std::vector<PONTOI2> window;
  std::vector<kelt::ZoomNode> nodes;
  keltbench::corner_filter(3, window, nodes);
  kelt::writefilter(dir + "/round3x.ctz", 3, window, nodes);
  std::printf("wrote %s/kelt-sample.bmp (%d x %d) and %s/round3x.ctz (%zu nodes)\n", dir.c_str(),
              im.nc(), im.nl(), dir.c_str(), nodes.size());
  return 0;
}
