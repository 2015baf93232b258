// Clock readings from a process time in milliseconds (64-bit, so no overflow before int range).
#pragma once

#include <cstdint>

namespace vistelmo {

// Hundredths of a second, halves of the last digit rounded up.
inline int centseg_from_ms(int64_t t) { return static_cast<int>((t * 100 + 50) / 1000); }
// Milliseconds: the same rounding, which leaves whole milliseconds unchanged.
inline int mileseg_from_ms(int64_t t) { return static_cast<int>((t * 1000 + 500) / 1000); }

}  // namespace vistelmo
