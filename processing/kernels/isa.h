// Instruction sets of the dispatched kernels: the one place that asks the processor which it
// has, caps the level (environment variable VISTELMO_ISA) and lets a test run a lower one.
// Library sources, Kelt and tests only.
#pragma once

namespace vistelmo {

// Levels, each holding every level before it. kPlain runs the per-element reference code of a
// family that has one; kSse2 is any x86-64; kAvx2 adds AVX2, FMA, BMI1/2 and POPCNT; kAvx512
// adds AVX-512 F, CD, BW, DQ and VL; kAvx512Vbmi adds AVX-512 VBMI.
enum class Isa : int { kPlain, kSse2, kAvx2, kAvx512, kAvx512Vbmi };
constexpr int kIsaLevels = 5;

// Target features of each level's builds, for VISTELMO_TARGET_BEGIN. FMA stays out: g++ 12 forms
// fused multiply-add/subtract pairs (vfmaddsub) even with contraction off, which would change
// results; a kernel that wants fused products asks for VISTELMO_TARGET_AVX2_FMA and writes them.
// (The processor query in isa.cpp still requires FMA for kAvx2.)
#define VISTELMO_TARGET_AVX2 "avx2,bmi,bmi2,popcnt"
#define VISTELMO_TARGET_AVX2_FMA "avx2,bmi,bmi2,popcnt,fma"
#define VISTELMO_TARGET_AVX512 "avx2,bmi,bmi2,popcnt,avx512f,avx512cd,avx512bw,avx512dq,avx512vl"
#define VISTELMO_TARGET_AVX512VBMI \
  "avx2,bmi,bmi2,popcnt,avx512f,avx512cd,avx512bw,avx512dq,avx512vl,avx512vbmi"

// Every function defined between VISTELMO_TARGET_BEGIN(features) and VISTELMO_TARGET_END is
// compiled for those features (g++ and clang++).
#define VISTELMO_STRINGIFY_(x) #x
#define VISTELMO_STRINGIFY(x) VISTELMO_STRINGIFY_(x)
#if defined(__clang__)
#define VISTELMO_TARGET_BEGIN(features) \
  _Pragma(VISTELMO_STRINGIFY(           \
      clang attribute push(__attribute__((target(features))), apply_to = function)))
#define VISTELMO_TARGET_END _Pragma("clang attribute pop")
#else
#define VISTELMO_TARGET_BEGIN(features) \
  _Pragma("GCC push_options") _Pragma(VISTELMO_STRINGIFY(GCC target(features)))
#define VISTELMO_TARGET_END _Pragma("GCC pop_options")
#endif

// The best level the processor and the system support (asked once).
Isa cpu_isa();
// The highest level kernels may use: the processor's, lowered by VISTELMO_ISA ("plain", "sse2",
// "avx2", "avx512", "avx512vbmi"; read once, any other value is ignored).
Isa isa_limit();
bool isa_available(Isa level);
// The level kernels run at now: isa_limit() unless a ScopedIsa lowers it. Safe to call from any
// thread.
Isa current_isa();
const char* isa_name(Isa level);

// A family's table at the current level, from its table for each level (kPlain first): which
// build serves each level is data in the family, not a switch.
template <class Table>
const Table& table_at_current_isa(const Table* const (&by_level)[kIsaLevels]) {
  return *by_level[static_cast<int>(current_isa())];
}

// Runs the kernels at `level` (at most isa_limit()) while it lives, then restores the level before
// it. Every thread sees the change: for tests, not for concurrent callers.
class ScopedIsa {
 public:
  explicit ScopedIsa(Isa level);
  ~ScopedIsa();
  ScopedIsa(const ScopedIsa&) = delete;
  ScopedIsa& operator=(const ScopedIsa&) = delete;

 private:
  Isa previous_;
};

}  // namespace vistelmo
