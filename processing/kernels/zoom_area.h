// Row kernels of the area zoom: a table per instruction-set level, chosen by the current level.
// The per-element rules they are tested against stay with the zoom. Library sources only.
#pragma once

namespace vistelmo {

// Up to 16 outputs k0 .. k0 + count - 1 whose groups hold one to four source columns, all within
// the span bytes from column j0: byte 4 d + i of at is the offset from j0 of column i of output
// k0 + d (members: the most columns of a group). size holds each group's column count; fold is
// 1 / size when every size is a power of two (divide false), 1 otherwise. When the level's
// kernels ask for quarters, the columns of outputs 4 q .. 4 q + 3 lie in the 16 bytes from column
// j0 + quarter[q] (inside the row), and near holds the offsets from there.
struct alignas(64) MixedBlock {
  unsigned char at[64], near[64];
  float size[16], fold[16];
  int quarter[4];
  int k0, count, j0, span, members;
  bool divide;
};

// Outputs 16 b .. 16 b + 15 of an enlarging column pass: source indices base + rel[0][d] and
// base + rel[1][d] for output 16 b + d; base < 0 marks a block left to the caller.
struct WindowBlock {
  int base;
  unsigned char rel[2][16];
};

// Means of a grey shrink: rows holds the n source rows of one output row, ascending. Each byte
// as the float passes and the conversion make it: every byte to float v / 255; the rows summed
// in order from 0 and divided by n, then the columns of each group summed in order and divided by
// their count, or (pairs_first) each row's group first, then the rows; the truncation of 255
// times the result. No rows (n = 0) make every output 0, as the per-element rule takes 0 / 0 (a
// NaN) to 0.
using GroupMeans = int (*)(bool pairs_first, const unsigned char* const* rows, int n, int j0,
                           int count, unsigned char* out);

// The kernels of one level. A null entry: the level has none, the caller goes without.
struct AreaKernels {
  // Outputs k, from 0 to count - 1, of groups of two (pair_means) or four (quad_means) source
  // columns from j0 + 2k or j0 + 4k. Returns how many outputs it made (the rest, at the end, are
  // left to the caller). The grey shrink both ways runs where pair_means and mixed_means exist.
  GroupMeans pair_means, quad_means;
  // The outputs of blocks b[0..nb) (out at output k0 of the first), with the same rule.
  void (*mixed_means)(bool pairs_first, const unsigned char* const* rows, int n,
                      const MixedBlock* b, int nb, unsigned char* out);
  // Whether mixed_means reads the blocks by quarters (MixedBlock).
  bool quarters;
  // out[k] = w0[k] src[i0] + w1[k] src[i1] in double (the floats widened exactly), rounded to
  // float, for the outputs of the blocks b[0..nb) whose base is not negative; src holds anc floats.
  void (*window_blend_row)(const float* src, int anc, const WindowBlock* b, int nb,
                           const double* w0, const double* w1, float* out);
  // unit_to_byte of floats v[0..n) into out.
  void (*units_to_bytes)(const float* v, int n, unsigned char* out);
  // The three channels of n colour pixels (bytes r, g, b each) into three rows, and back.
  // ahead, when not null, is the row that comes next: fetched early as the row goes.
  void (*split_channels)(const unsigned char* src, int n, unsigned char* const* planes,
                         const unsigned char* ahead);
  void (*merge_channels)(const unsigned char* const* planes, int n, unsigned char* dst);

  bool shrinks() const { return pair_means != nullptr && mixed_means != nullptr; }
};

// The area kernels of current_isa().
const AreaKernels& area_kernels();

// The channel kernels of the current level, for other passes over colour images.
void split_channels(const unsigned char* src, int n, unsigned char* const* planes,
                    const unsigned char* ahead = nullptr);
void merge_channels(const unsigned char* const* planes, int n, unsigned char* dst);

}  // namespace vistelmo
