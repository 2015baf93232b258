// Equality and strict order of two images; outside values and centres take no part.
#include <cstdint>

#include "processing/algebra/pointwise.h"
#include "processing/algebra/pointwise_internal.h"

namespace {

struct Equal {
  template <class T>
  bool operator()(T x, T y) const {
    return x == y;
  }
};
struct Below {
  template <class T>
  bool operator()(T x, T y) const {
    return x < y;
  }
};
// Black below white at every pixel bit of the word.
struct WordsEqual {
  bool operator()(uint32_t x, uint32_t y, uint32_t mask) const { return ((x ^ y) & mask) == 0; }
};
struct WordsBelow {
  bool operator()(uint32_t x, uint32_t y, uint32_t mask) const { return (~x & y & mask) == mask; }
};

}  // namespace

bool operator==(const IMGBIN& a, const IMGBIN& b) {
  return vistelmo::all_word_pairs(a, b, WordsEqual{});
}
bool operator==(const IMGGRY& a, const IMGGRY& b) {
  return vistelmo::all_pixel_pairs(a, b, Equal{});
}
bool operator==(const IMGFLT& a, const IMGFLT& b) {
  return vistelmo::all_pixel_pairs(a, b, Equal{});
}
bool operator!=(const IMGBIN& a, const IMGBIN& b) { return !(a == b); }
bool operator!=(const IMGGRY& a, const IMGGRY& b) { return !(a == b); }
bool operator!=(const IMGFLT& a, const IMGFLT& b) { return !(a == b); }
bool operator<(const IMGBIN& a, const IMGBIN& b) {
  return vistelmo::all_word_pairs(a, b, WordsBelow{});
}
bool operator<(const IMGGRY& a, const IMGGRY& b) {
  return vistelmo::all_pixel_pairs(a, b, Below{});
}
