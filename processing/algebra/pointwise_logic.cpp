// Pointwise minimum and maximum of two float images.
#include "processing/algebra/pointwise.h"
#include "processing/algebra/pointwise_internal.h"

namespace {

// Pixels: b unless a is strictly below (minimum) or above (maximum); outside values: a unless
// b is strictly below or above. Ties and NaN pairs thus take b's pixel and a's outside value.
struct MinPixel {
  float operator()(float x, float y) const { return x < y ? x : y; }
};
struct MinBackground {
  float operator()(float x, float y) const { return y < x ? y : x; }
};
struct MaxPixel {
  float operator()(float x, float y) const { return y < x ? x : y; }
};
struct MaxBackground {
  float operator()(float x, float y) const { return x < y ? y : x; }
};

}  // namespace

IMGFLT operator&&(const IMGFLT& a, const IMGFLT& b) {
  return vistelmo::zip_pixels(a, b, "Erro IMGFLT::operator&& - As imagens nao tem o mesmo tamanho",
                              MinPixel{}, MinBackground{});
}
IMGFLT operator||(const IMGFLT& a, const IMGFLT& b) {
  return vistelmo::zip_pixels(a, b, "Erro IMGFLT::operator|| - As imagens nao tem o mesmo tamanho",
                              MaxPixel{}, MaxBackground{});
}
