// Disk-shaped structuring images.
#include <cstdint>

#include "foundation/constants.h"
#include "foundation/erro.h"
#include "processing/algebra/morphology.h"

namespace {

template <class Img, class V>
int disk(int tam, Img& b, V inside, V outside) {
  if (tam % 2 != 1) erro("Erro: tam deve ser impar", "");
  const int64_t r = tam / 2;
  b.resize(tam, tam);
  int count = 0;
  for (int y = 0; y < tam; y++)
    for (int x = 0; x < tam; x++) {
      const int64_t dy = y - int64_t{b.lc}, dx = x - int64_t{b.cc};
      const bool in = dy >= -r && dy <= r && dx >= -r && dx <= r && dx * dx + dy * dy <= r * r;
      b(y, x) = in ? inside : outside;
      count += in;
    }
  return count;
}

}  // namespace

int eecircular(int tam, IMGBIN& b) { return disk(tam, b, branco, preto); }

int eecircular(int tam, IMGSHT& b) {
  return disk(tam, b, static_cast<short>(0), static_cast<short>(minsht));
}
