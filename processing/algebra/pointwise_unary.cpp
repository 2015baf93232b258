// Complement, negation and point reflection.
#include <algorithm>
#include <cstdint>

#include "processing/algebra/flips_internal.h"
#include "processing/algebra/pointwise.h"
#include "processing/algebra/pointwise_internal.h"

namespace {

struct BinNot {
  uint32_t operator()(uint32_t w) const { return ~w; }
};
struct GreyNot {
  unsigned char operator()(unsigned char p) const { return static_cast<unsigned char>(255 - p); }
};
struct Negate {
  float operator()(float p) const { return -p; }
  double operator()(double p) const { return -p; }
};
// 1 - p, formed in double.
struct OneMinus {
  float operator()(float p) const { return static_cast<float>(1.0 - p); }
  double operator()(double p) const { return 1.0 - p; }
};

IMGBIN complement(const IMGBIN& a) {
  IMGBIN r = vistelmo::map_words(a, BinNot{});
  r.lc = a.lc;
  r.cc = a.cc;
  return r;
}

// 255 - p is p ^ 255.
IMGGRY grey_complement(const IMGGRY& a) {
  return vistelmo::map_block(a, GreyNot{}(a.backg), [](const uint8_t* x, uint8_t* d, int64_t n) {
    vistelmo::bytes_with(vistelmo::ByteOp::bit_xor, x, 255, d, n);
  });
}

// Row-major blocks have no padding, so reversing the block turns the image by 180 degrees.
template <class Img>
Img reflect(const Img& a) {
  Img r(a.nl, a.nc);
  r.backg = a.backg;
  if (vistelmo::has_pixels(a) && vistelmo::has_pixels(r))
    vistelmo::reverse_pixels(a.data, r.data, vistelmo::block_count(a));
  // Formed in 64 bits: any stored centre mirrors without overflow (kept in int as it wraps).
  r.lc = static_cast<int>(int64_t{a.nl} - 1 - a.lc);
  r.cc = static_cast<int>(int64_t{a.nc} - 1 - a.cc);
  return r;
}

}  // namespace

IMGBIN operator-(const IMGBIN& a) { return complement(a); }
IMGBIN operator!(const IMGBIN& a) { return complement(a); }
IMGGRY operator-(const IMGGRY& a) { return grey_complement(a); }
IMGGRY operator!(const IMGGRY& a) { return grey_complement(a); }
IMGFLT operator-(const IMGFLT& a) { return vistelmo::map_pixels(a, Negate{}); }
IMGFLT operator!(const IMGFLT& a) { return vistelmo::map_pixels(a, OneMinus{}); }
IMGDBL operator-(const IMGDBL& a) { return vistelmo::map_pixels(a, Negate{}); }
IMGDBL operator!(const IMGDBL& a) { return vistelmo::map_pixels(a, OneMinus{}); }

IMGGRY operator~(const IMGGRY& a) { return reflect(a); }
IMGFLT operator~(const IMGFLT& a) { return reflect(a); }
