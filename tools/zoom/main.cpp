// Kelt: zooms a binary image with a WZ-operator (decision tree) read from a .CTZ filter.
#include <cstdint>
#include <cstdio>
#include <ctime>

#include "formats/image_io.h"
#include "foundation/erro.h"
#include "foundation/matriz.h"
#include "tools/zoom/bmp_stream.h"
#include "tools/zoom/zoom.h"
#include "tools/zoom/zoom_filter.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::puts("Kelt: Zoom a binary image by applying WZ-operator constructed by Mavo");
    std::puts("KELT To-be-zoomed.BMP Filter.CTZ Processed.BMP");
    erro("Error: Invalid number of arguments.", "");
  }
  IMGBIN input(0, 0);
  IMGBIN output(0, 0);
  MATRIZ<uint32_t> pattern(0, 0);
  VETOR<PONTOI2> window(0);
  kelt::ZoomNodeList nodes;
  int F = 0;

  std::time_t t0 = std::time(nullptr);
  le(input, argv[1]);
  input.backg |= 1u;  // outside pixels test white
  pattern.resize(input.nl(), input.nc());
  kelt::readfilter(nodes, F, window, argv[2]);

  int onl, onc;
  std::time_t t1;
  if (kelt::zoomed_size(input.nl(), input.nc(), F, onl, onc) &&
      !kelt::walk_may_fail(window, nodes)) {
    // The pass cannot fail: the output is written as its rows are made, without a pattern
    // matrix or a whole output image. The time reported leaves the writing out.
    pattern.resize(0, 0);
    kelt::BmpStream file(argv[3], onl, onc, F);
    kelt::zoom(input, window, nodes, F, stderr, file);
    t1 = std::time(nullptr) - static_cast<std::time_t>(file.write_seconds());
    file.finish();
  } else {
    kelt::applyfilter(input, window, nodes, pattern, stderr);
    input.resize(0, 0);  // freed before the larger output exists
    kelt::zoomed_size(pattern, F, onl, onc);
    output.resize(onl, onc);
    kelt::expand(pattern, F, output);
    t1 = std::time(nullptr);
    output.ImpBmp(argv[3]);
  }
  std::printf("\nZooming has finished. Zoomed image=%s\n", argv[3]);
  std::printf("Executed command: ");
  for (int i = 0; i < argc; i++) std::printf("%s ", argv[i]);
  std::printf("\n");
  std::printf("Total processing time: %d s\n", static_cast<int>(t1 - t0));
  std::puts("\n");
  return 0;
}
