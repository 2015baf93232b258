// The area kernels typed by hand for AVX2 (zoom_area_avx2.cpp) and for AVX-512 with VBMI
// (zoom_area_avx512.cpp), with the contracts of zoom_area.h; zoom_area.cpp puts them in the
// tables. Kernel sources only.
#pragma once

#include <type_traits>

#include "processing/kernels/zoom_area.h"

namespace vistelmo {

// Dividing by n is exact when n is a power of two; then it joins the final scale.
inline bool exact_division(int n) { return (n & (n - 1)) == 0; }

// The channel loops one pixel at a time, from pixel i.
inline void split_from(int i, const unsigned char* src, int n, unsigned char* const* planes) {
  for (; i < n; i++)
    for (int ch = 0; ch < 3; ch++) planes[ch][i] = src[3 * i + ch];
}
inline void merge_from(int i, const unsigned char* const* planes, int n, unsigned char* dst) {
  for (; i < n; i++)
    for (int ch = 0; ch < 3; ch++) dst[3 * i + ch] = planes[ch][i];
}

// Calls call(rows, first) with the kernels' compile-time choices as std::integral_constant: the
// row count (the one of Counts equal to n, else 0) and whether pairs are summed first.
template <int Count, int... Rest, class Call>
decltype(auto) with_rows(int n, Call call) {
  if (n == Count) return call(std::integral_constant<int, Count>());
  if constexpr (sizeof...(Rest) > 0)
    return with_rows<Rest...>(n, call);
  else
    return call(std::integral_constant<int, 0>());
}
template <int... Counts, class Call>
decltype(auto) with_constants(int n, bool pairs_first, Call call) {
  if (pairs_first)
    return with_rows<Counts...>(n, [&](auto rows) { return call(rows, std::true_type()); });
  return with_rows<Counts...>(n, [&](auto rows) { return call(rows, std::false_type()); });
}

namespace area_avx2 {
// 16 outputs a step; pair_means makes none of fewer than 16.
int pair_means(bool pairs_first, const unsigned char* const* rows, int n, int j0, int count,
               unsigned char* out);
// Reads the blocks by quarters.
void mixed_means(bool pairs_first, const unsigned char* const* rows, int n, const MixedBlock* b,
                 int nb, unsigned char* out);
void split_channels(const unsigned char* src, int n, unsigned char* const* planes,
                    const unsigned char* ahead);
}  // namespace area_avx2

namespace area_avx512 {
int pair_means(bool pairs_first, const unsigned char* const* rows, int n, int j0, int count,
               unsigned char* out);
int quad_means(bool pairs_first, const unsigned char* const* rows, int n, int j0, int count,
               unsigned char* out);
void mixed_means(bool pairs_first, const unsigned char* const* rows, int n, const MixedBlock* b,
                 int nb, unsigned char* out);
void window_blend_row(const float* src, int anc, const WindowBlock* b, int nb, const double* w0,
                      const double* w1, float* out);
}  // namespace area_avx512

}  // namespace vistelmo
