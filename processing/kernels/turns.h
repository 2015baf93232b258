// The turn kernels: quarter turns by register-transposed tiles and half turns of pixel blocks, a
// table per instruction-set level. The tiles are in turns_body.h, built per level by turns.cpp;
// flips.cpp keeps the turns, their per-pixel forms (the plain tier, and the edges the tiles
// leave) and the choice. Library sources only.
#pragma once

#include <cstdint>

namespace vistelmo {

// The per-pixel quarter turn of source rows [l0, l1) and columns [c0, c1), for the parts the
// tiles leave.
struct TurnRest {
  void (*run)(void* context, int l0, int l1, int c0, int c1);
  void* context;
  void operator()(int l0, int l1, int c0, int c1) const { run(context, l0, l1, c0, c1); }
};

// quarter<S>: r[nc-1-c][l] (counter) or r[c][nl-1-l] = a[l][c] for an nl x nc image of S-byte
// pixels given by rows; reverse<S>: r[n-1-k] = a[k] for a block of n S-byte pixels (r apart from
// a). A null slot: this level has no such kernel.
struct TurnKernels {
  using Quarter = void (*)(const void* const* in, void* const* out, int nl, int nc, bool counter,
                           const TurnRest& rest);
  using Reverse = void (*)(const void* a, void* r, int64_t n);
  Quarter quarter1, quarter2, quarter3, quarter4, quarter8;
  Reverse reverse1, reverse3, reverse4, reverse8;
};

// The kernels of current_isa(): none at Isa::kPlain, the quarter turns but three-byte ones at
// Isa::kSse2, the AVX2 ones at and above Isa::kAvx2.
const TurnKernels& turn_kernels();

}  // namespace vistelmo
