// The x86 intrinsics for kernel sources. Include it before anything that includes
// <immintrin.h>: g++ 12 takes the deliberately undefined lanes inside its own AVX-512 intrinsics
// (_mm512_undefined_*) for uninitialised values, and this silences that warning only where it
// points into those headers; the warning is kept for everything else.
#pragma once

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>
#pragma GCC diagnostic pop
#else
#include <immintrin.h>
#endif
