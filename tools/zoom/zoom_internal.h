// Small helpers shared by the zoom tool's sources: pixels, progress lines, bit and byte order.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "images/images.h"

namespace kelt {
namespace detail {

inline constexpr const char* kErrIndex = "Erro VETOR::operator() - Indice invalido";

inline bool pixel(const IMGBIN& in, int64_t r, int64_t c) {
  if (r >= 0 && r < in.nl() && c >= 0 && c < in.nc())
    return ((in.rows[r][c >> 5] >> (31 - (c & 31))) & 1u) != 0;
  return (in.backg & 1u) != 0;
}

// Progress lines at every step-th pixel (step at least 1), and 100 at the end.
class Progress {
 public:
  Progress(FILE* f, int64_t total)
      : f_(f), total_(total), step_(total / 100 > 0 ? total / 100 : 1) {}
  void at(int64_t counter) {
    if (counter == next_) {
      print(100.0 * static_cast<double>(counter) / static_cast<double>(total_));
      next_ += step_;
    }
  }
  void done() { print(100.0); }
  // True when a line is due at one of the count pixels from counter on.
  bool due_within(int64_t counter, int64_t count) const {
    return f_ != nullptr && next_ < counter + count;
  }

 private:
  void print(double v) {
    if (f_ != nullptr) std::fprintf(f_, "%10.3f%% concluded...\r", v);
  }
  FILE* f_;
  int64_t total_;
  int64_t step_;
  int64_t next_ = 0;
};

inline uint32_t reverse32(uint32_t x) {
  x = ((x >> 1) & 0x55555555u) | ((x & 0x55555555u) << 1);
  x = ((x >> 2) & 0x33333333u) | ((x & 0x33333333u) << 2);
  x = ((x >> 4) & 0x0F0F0F0Fu) | ((x & 0x0F0F0F0Fu) << 4);
  return __builtin_bswap32(x);
}

inline uint64_t load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}
inline void store64(uint8_t* p, uint64_t v) { std::memcpy(p, &v, 8); }

}  // namespace detail
}  // namespace kelt
