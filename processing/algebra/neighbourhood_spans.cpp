// The span kernels built twice, for any x86-64 and for AVX2, and the tier switch.
#include <algorithm>
#include <cstdint>
#include <utility>

#include "processing/algebra/neighbourhood_internal.h"

namespace vistelmo {

namespace portable_spans {
#include "processing/algebra/neighbourhood_spans_internal.h"
}  // namespace portable_spans

#pragma GCC push_options
#pragma GCC target("avx2")
namespace avx2_spans {
#include "processing/algebra/neighbourhood_spans_internal.h"
}  // namespace avx2_spans
#pragma GCC pop_options

namespace {

bool cpu_has_avx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}

Tier& current_tier() {
  static Tier t = cpu_has_avx2() ? Tier::avx2 : Tier::portable;
  return t;
}

}  // namespace

Tier neighbourhood_tier() { return current_tier(); }

bool set_neighbourhood_tier(Tier t) {
  if (t == Tier::avx2 && !cpu_has_avx2()) return false;
  current_tier() = t;
  return true;
}

const SpanKernels& span_kernels() {
  return current_tier() == Tier::avx2 ? avx2_spans::kSpans : portable_spans::kSpans;
}

}  // namespace vistelmo
