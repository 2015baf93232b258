// Which kernels the quarter turns run; tests switch tiers to compare them.
#pragma once

namespace vistelmo {

// plain: a per-pixel walk; portable: 16-byte tiles for any x86-64; avx2: 32-byte tiles.
enum class TurnTier { plain, portable, avx2 };
TurnTier turn_tier();
// Returns false (and changes nothing) for a tier the processor lacks.
bool set_turn_tier(TurnTier t);

}  // namespace vistelmo
