// The passes of the planned FFT (fft_engine.cpp): Stockham passes of radix 2, 3, 4, 5, 8 and any
// other, built once per instruction-set level (fft_passes_body.h) and chosen per call by
// current_isa(). Library sources only.
#pragma once

#include <vector>

#include "processing/filters/fft_engine_internal.h"

namespace vistelmo {
namespace fft_engine {

[[gnu::always_inline]] inline COMPLEX add(COMPLEX a, COMPLEX b) {
  return {a.re + b.re, a.im + b.im};
}
[[gnu::always_inline]] inline COMPLEX sub(COMPLEX a, COMPLEX b) {
  return {a.re - b.re, a.im - b.im};
}
[[gnu::always_inline]] inline COMPLEX mul(COMPLEX a, COMPLEX w) {
  return {a.re * w.re - a.im * w.im, a.re * w.im + a.im * w.re};
}

struct Pass {
  int radix;
  int ido;                     // length of the runs that share a twiddle row
  int l1;                      // butterflies done by the passes before
  std::vector<COMPLEX> tw;     // tw[(j-1) ido + i] = root(j l1 i), exactly 1 for i = 0
  std::vector<COMPLEX> roots;  // generic radix: e^{2 pi i u/radix}
};

// The passes of a Stockham plan of length n, in order.
struct Passes {
  int n = 0;
  std::vector<Pass> passes;
};

// The kernels of one level. Every build does the same operations on each complex in the same
// order, so they give the same bits.
struct FftKernels {
  // Runs the passes from in to out (distinct; in is not written), scratch holding n elements.
  void (*stockham)(const Passes& p, const COMPLEX* in, COMPLEX* out, COMPLEX* scratch);
  // The same over count interleaved lines (element e of line b at e count + b, count even;
  // scratch n count elements): radices 2 to 5 and 8 only.
  void (*stockham_lines)(const Passes& p, const COMPLEX* in, COMPLEX* out, COMPLEX* scratch,
                         int count);
  // The sub-transforms of a first level of r blocks: block q of in becomes the transform (of
  // p's length m) of the subsequence in[q + j r], read conjugated when conj is set; out holds
  // r m elements of work space. p's first pass has radix 2, 3, 4, 5 or 8.
  void (*blocks)(const Passes& p, COMPLEX* in, int r, bool conj, COMPLEX* out, COMPLEX* scratch);
  // A radix-2 decimation-in-time level over the two halves of in, each a transform of length m:
  // out[k0] = a + b tw[k0], out[k0 + m] = a - b tw[k0], finished (see finish) as asked.
  void (*join2)(const COMPLEX* in, int m, const COMPLEX* tw, COMPLEX* out, bool forward,
                double divisor);
};

// The kernels of current_isa(): the baseline build below AVX2, the AVX2 build from AVX2 up.
const FftKernels& fft_kernels();

}  // namespace fft_engine
}  // namespace vistelmo
