// Row kernels of the grey area shrink. Library sources only.
#pragma once

namespace vistelmo {

// The AVX2 form runs from instruction-set level kAvx2; the AVX-512 form (it needs VBMI) instead at
// kAvx512Vbmi.
bool area_avx2();
bool area_avx512();

// One output row of a grey shrink whose output columns k, from 0 to count - 1, are the pairs of
// source columns j0 + 2k and j0 + 2k + 1. rows: the n source rows of the output row, ascending.
// Each byte as the float passes and the conversion make it: every byte to float v / 255; the rows
// summed in order from 0 and divided by n, then each pair summed and halved, or (pairs_first) the
// pairs first, then the rows; the truncation of 255 times the result. Returns how many outputs it
// made (the rest, at the end, are left to the caller). No rows (n = 0) make every output 0, as
// the per-element rule takes 0 / 0 (a NaN) to 0.
int grey_pair_means(bool avx512, bool pairs_first, const unsigned char* const* rows, int n, int j0,
                    int count, unsigned char* out);
// The same with groups of four source columns j0 + 4k .. j0 + 4k + 3 (summed in that order), on
// the AVX-512 form only (0 made otherwise).
int grey_quad_means(bool avx512, bool pairs_first, const unsigned char* const* rows, int n, int j0,
                    int count, unsigned char* out);

// Up to 16 outputs k0 .. k0 + count - 1 whose groups hold one to four source columns, all within
// the span bytes from column j0: byte 4 d + i of at is the offset from j0 of column i of output
// k0 + d (members: the most columns of a group). size holds each group's column count; fold is
// 1 / size when every size is a power of two (divide false), 1 otherwise. For the AVX2 form, the
// columns of outputs 4 q .. 4 q + 3 lie in the 16 bytes from column j0 + quarter[q] (inside the
// row), and near holds the offsets from there.
struct alignas(64) MixedBlock {
  unsigned char at[64], near[64];
  float size[16], fold[16];
  int quarter[4];
  int k0, count, j0, span, members;
  bool divide;
};

// The outputs of blocks b[0..nb) (out at output k0 of the first) with the float order of the
// pair means for groups of any of those sizes.
void grey_mixed_means(bool avx512, bool pairs_first, const unsigned char* const* rows, int n,
                      const MixedBlock* b, int nb, unsigned char* out);

// Outputs 16 b .. 16 b + 15 of an enlarging column pass: source indices base + rel[0][d] and
// base + rel[1][d] for output 16 b + d; base < 0 marks a block left to the caller.
struct WindowBlock {
  int base;
  unsigned char rel[2][16];
};
// out[k] = w0[k] src[i0] + w1[k] src[i1] in double (the floats widened exactly), rounded to
// float, for the outputs of the blocks b[0..nb) whose base is not negative; src holds anc floats.
// AVX-512 form only.
void window_blend_row(const float* src, int anc, const WindowBlock* b, int nb, const double* w0,
                      const double* w1, float* out);
// unit_to_byte of floats v[0..n) into out, 16 at a time on the AVX-512 form; returns how many it
// made (the rest, at the end, are left to the caller).
int units_to_bytes(const float* v, int n, unsigned char* out);

// The three channels of n colour pixels (bytes r, g, b each) into three rows, and back.
// ahead, when given, is the row that comes next: fetched early as the row goes.
void split_channels(const unsigned char* src, int n, unsigned char* const* planes,
                    const unsigned char* ahead = nullptr);
void merge_channels(const unsigned char* const* planes, int n, unsigned char* dst);

}  // namespace vistelmo
