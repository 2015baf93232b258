// Ramp palette.
#include "processing/algebra/palette.h"

#include <algorithm>

namespace {

unsigned char clamp_byte(int x) { return static_cast<unsigned char>(std::clamp(x, 0, 255)); }

}  // namespace

VETOR<COR> palkbgrw() {
  VETOR<COR> pal(256);
  int p = 0;
  for (int i = 0; i <= 64; i++) pal(p++) = COR{0, 0, clamp_byte(4 * i)};
  for (int i = 1; i <= 64; i++) pal(p++) = COR{0, clamp_byte(4 * i), clamp_byte(255 - 4 * i)};
  for (int i = 1; i <= 64; i++) pal(p++) = COR{clamp_byte(4 * i), clamp_byte(255 - 4 * i), 0};
  for (int i = 1; i <= 63; i++) pal(p++) = COR{255, clamp_byte(4 * i), clamp_byte(4 * i)};
  return pal;
}
