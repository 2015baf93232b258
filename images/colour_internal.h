// Byte conversions shared by the colour rules and the image conversions. Library sources only.
#pragma once

#include <cmath>

namespace vistelmo {

// Real in [0, 1] to a byte: clamped, times 255, truncated. NaN gives 0.
inline unsigned char unit_to_byte(double v) {
  // Without branches: NaN and v <= 0 give 0.
  v = v > 0.0 ? v : 0.0;
  v = v < 1.0 ? v : 1.0;
  return static_cast<unsigned char>(static_cast<int>(v * 255.0));
}

// v / 255.0 rounded to T, for every byte v.
template <class T>
struct ByteUnits {
  T v[256] = {};
  constexpr ByteUnits() {
    for (int i = 0; i < 256; i++) v[i] = static_cast<T>(i / 255.0);
  }
};
template <class T>
inline constexpr ByteUnits<T> kByteUnits{};

// Real to a byte: clamped to [0, 255], rounded with halves away from zero. NaN gives 0.
inline unsigned char round_to_byte(double v) {
  if (!(v > 0.0)) return 0;
  if (v > 255.0) v = 255.0;
  // std::round without a libm call: the truncation and the fraction v - t are exact here.
  const int t = static_cast<int>(v);
  return static_cast<unsigned char>(v - t >= 0.5 ? t + 1 : t);
}

}  // namespace vistelmo
