// Reads any image the library knows (BMP, TGA, PBM/PGM/PPM, JPEG, IMG, text matrix) and writes
// its grey version as a binary PGM and as a JPEG of quality 85.
//
//   convert-grey photo.ppm out     ->  out.pgm, out.jpg
#include <vistelmo.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::printf("usage: %s input output-stem\n", argv[0]);
    return 2;
  }
  IMGCOR colour;
  le(colour, argv[1]);     // the format comes from the file's content
  IMGGRY grey = colour;    // (r + g + b + 1) / 3 per pixel
  std::string stem = argv[2];
  imp(grey, stem + ".pgm");    // the suffix chooses the format
  imp(grey, stem + ".jpg85");  // JPEG, quality 85 (90 without the number)
  std::printf("%d x %d pixels\n", grey.nl(), grey.nc());
  return 0;
}
