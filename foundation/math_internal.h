// Numeric constants shared by the library's sources. Library sources only.
#pragma once

namespace vistelmo {

// The double nearest to pi (3.14159265358979323846 rounds to the same value).
constexpr double kPi = 3.141592653589793;

}  // namespace vistelmo
