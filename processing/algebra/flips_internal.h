// Which kernels the quarter turns run; tests switch tiers to compare them.
#pragma once

#include <cstdint>

namespace vistelmo {

// plain: a per-pixel walk; portable: 16-byte tiles for any x86-64; avx2: 32-byte tiles.
enum class TurnTier { plain, portable, avx2 };
TurnTier turn_tier();
// Returns false (and changes nothing) for a tier the processor lacks.
bool set_turn_tier(TurnTier t);

// r[n-1-k] = a[k] for k in [0, n): a row-major block turned by 180 degrees.
void reverse_pixels(const uint8_t* a, uint8_t* r, int64_t n);
void reverse_pixels(const float* a, float* r, int64_t n);

}  // namespace vistelmo
