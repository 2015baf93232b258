// Absolute difference, saturating sum and difference, minimum and maximum of grey images.
#include "processing/algebra/grey_ops.h"
#include "processing/algebra/pointwise_internal.h"

namespace {

using Byte = unsigned char;

struct AbsDiff {
  Byte operator()(Byte x, Byte y) const { return static_cast<Byte>(x > y ? x - y : y - x); }
};
// The outside value of the absolute difference is the constructor's 0.
struct Zero {
  Byte operator()(Byte, Byte) const { return 0; }
};
struct SatSum {
  Byte operator()(Byte x, Byte y) const {
    const int s = x + y;
    return static_cast<Byte>(s > 255 ? 255 : s);
  }
};
struct SatDiff {
  Byte operator()(Byte x, Byte y) const {
    const int d = x - y;
    return static_cast<Byte>(d < 0 ? 0 : d);
  }
};
struct Min {
  Byte operator()(Byte x, Byte y) const { return x < y ? x : y; }
};
struct Max {
  Byte operator()(Byte x, Byte y) const { return x > y ? x : y; }
};

}  // namespace

IMGGRY difabs(const IMGGRY& a, const IMGGRY& b) {
  return vistelmo::zip_pixels(a, b, "Erro difabs: dimensoes diferentes", AbsDiff{}, Zero{});
}
IMGGRY operator+(const IMGGRY& a, const IMGGRY& b) {
  return vistelmo::zip_pixels(a, b, "Erro IMGGRY::add - As imagens nao tem o mesmo tamanho",
                              SatSum{});
}
IMGGRY operator-(const IMGGRY& a, const IMGGRY& b) {
  return vistelmo::zip_pixels(a, b, "Erro IMGGRY::sub - As imagens nao tem o mesmo tamanho",
                              SatDiff{});
}
IMGGRY operator&&(const IMGGRY& a, const IMGGRY& b) {
  return vistelmo::zip_pixels(a, b, "Erro IMGGRY::operator&& - As imagens nao tem o mesmo tamanho",
                              Min{});
}
IMGGRY operator||(const IMGGRY& a, const IMGGRY& b) {
  return vistelmo::zip_pixels(a, b, "Erro IMGGRY::operator|| - As imagens nao tem o mesmo tamanho",
                              Max{});
}
