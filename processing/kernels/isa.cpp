#include "processing/kernels/isa.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

namespace vistelmo {

namespace {

constexpr const char* kNames[kIsaLevels] = {"plain", "sse2", "avx2", "avx512", "avx512vbmi"};

Isa query_cpu() {
  __builtin_cpu_init();
  const bool avx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma") &&
                    __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2") &&
                    __builtin_cpu_supports("popcnt");
  if (!avx2) return Isa::kSse2;
  const bool avx512 = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512cd") &&
                      __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512dq") &&
                      __builtin_cpu_supports("avx512vl");
  if (!avx512) return Isa::kAvx2;
  return __builtin_cpu_supports("avx512vbmi") ? Isa::kAvx512Vbmi : Isa::kAvx512;
}

Isa query_limit() {
  Isa limit = cpu_isa();
  if (const char* cap = std::getenv("VISTELMO_ISA")) {
    for (int i = 0; i < kIsaLevels; ++i) {
      if (std::strcmp(cap, kNames[i]) == 0) limit = std::min(limit, static_cast<Isa>(i));
    }
  }
  return limit;
}

std::atomic<int>& level() {
  static std::atomic<int> l{static_cast<int>(isa_limit())};
  return l;
}

}  // namespace

Isa cpu_isa() {
  static const Isa isa = query_cpu();
  return isa;
}

Isa isa_limit() {
  static const Isa limit = query_limit();
  return limit;
}

bool isa_available(Isa l) { return l <= isa_limit(); }

Isa current_isa() { return static_cast<Isa>(level().load(std::memory_order_relaxed)); }

const char* isa_name(Isa l) { return kNames[static_cast<int>(l)]; }

ScopedIsa::ScopedIsa(Isa l) : previous_(current_isa()) {
  level().store(static_cast<int>(std::min(l, isa_limit())), std::memory_order_relaxed);
}

ScopedIsa::~ScopedIsa() { level().store(static_cast<int>(previous_), std::memory_order_relaxed); }

}  // namespace vistelmo
