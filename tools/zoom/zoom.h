// The WZ-operator zoom: one tree walk per input pixel, then block expansion, either as two
// passes over a pattern matrix or fused row by row.
#pragma once

#include <cstdint>
#include <cstdio>

#include "foundation/matriz.h"
#include "images/images.h"
#include "tools/zoom/zoom_filter.h"

namespace kelt {

// The input pixel at window offset k from (row, col); outside the image, the outside value.
// k outside the window is fatal ("Erro VETOR::operator() - Indice invalido").
bool windowbit(const IMGBIN& in, const VETOR<PONTOI2>& window, int row, int col, int k);

// The leaf word the tree reaches for input pixel (row, col).
uint32_t walktree(const IMGBIN& in, const VETOR<PONTOI2>& window, const ZoomNodeList& nodes,
                  int row, int col);

// Stores the leaf word of every input pixel in pattern (sized nl x nc by the caller), printing
// progress lines on progress. Leaf words are cached by window content when the window fits;
// their bits are gathered with BMI2 pext when the processor has it. When the tree tests at most
// five entries and the processor has AVX2, the words of 32 pixels are found at once. When it
// tests more than 18 entries, a row may instead walk the tree for 64 pixels at once, when the
// cache lately missed many keys.
void applyfilter(const IMGBIN& in, const VETOR<PONTOI2>& window, const ZoomNodeList& nodes,
                 MATRIZ<uint32_t>& pattern, FILE* progress);
// The same without instructions beyond plain x86-64.
void applyfilter_portable(const IMGBIN& in, const VETOR<PONTOI2>& window, const ZoomNodeList& nodes,
                          MATRIZ<uint32_t>& pattern, FILE* progress);
// The same result by one plain walk per pixel.
void applyfilter_plain(const IMGBIN& in, const VETOR<PONTOI2>& window, const ZoomNodeList& nodes,
                       MATRIZ<uint32_t>& pattern, FILE* progress);

// Output size for factor F: F times the pattern's rows and columns, 0 when F <= 0; a size
// beyond the image type's reach is fatal with the image allocation message.
void zoomed_size(const MATRIZ<uint32_t>& pattern, int F, int& nl, int& nc);
// The same for an input of nl x nc: false, without a message, when the output would be empty
// or beyond the image type's reach.
bool zoomed_size(int nl, int nc, int F, int& onl, int& onc);

// True when some inner node tests an index outside the window (a walk may then fail).
bool walk_may_fail(const VETOR<PONTOI2>& window, const ZoomNodeList& nodes);

// Fills out (already sized by zoomed_size) with one F x F block per pattern word: bit k gives
// block row k / F, column k mod F, white for 1; cells from the 33rd on are black. F = 4 uses
// AVX2, F = 3 AVX-512 VBMI, F of 3 to 7 AVX2 and BMI2, when the processor has them.
void expand(const MATRIZ<uint32_t>& pattern, int F, IMGBIN& out);
// The same without instructions beyond plain x86-64.
void expand_portable(const MATRIZ<uint32_t>& pattern, int F, IMGBIN& out);
// The same by one pixel at a time.
void expand_plain(const MATRIZ<uint32_t>& pattern, int F, IMGBIN& out);

// Instruction sets of the row kernels: what the processor has (as the library's dispatch layer
// reports it, capped by VISTELMO_ISA), plain x86-64, or the plain per-pixel walk and expansion.
enum class Tier { dispatched, portable, plain };

// Receives the output rows of the fused pass, F per input row.
class ZoomSink {
 public:
  virtual ~ZoomSink() = default;
  // Where output rows F l .. F l + F - 1 go (F row pointers, each for the output's words).
  virtual uint32_t* const* rows(int l) = 0;
  // Those rows are complete.
  virtual void filled(int l) = 0;
  // True when the rows are wanted with each word's bytes in the file's order (the first pixel in
  // the highest bit of the first byte) rather than the image's.
  virtual bool file_order() const { return false; }
};

// Output rows kept in an image already of the zoomed size.
class ImageSink : public ZoomSink {
 public:
  ImageSink(IMGBIN& out, int F) : out_(out), F_(F) {}
  uint32_t* const* rows(int l) override { return out_.rows + static_cast<size_t>(l) * F_; }
  void filled(int) override {}

 private:
  IMGBIN& out_;
  int F_;
};

// The fused pass: for each input row, bottom row first, the leaf words of its pixels are
// expanded at once into its F output rows (F >= 1); with at most five tested entries and F of 3
// to 7 (AVX2 and BMI2), the rows are made straight from the pixels' keys; with many tested
// entries, F up to 4 and a tree whose walks cannot fail, rows may go two at a time by 2 x 2
// blocks of pixels. Progress lines as applyfilter's.
void zoom(const IMGBIN& in, const VETOR<PONTOI2>& window, const ZoomNodeList& nodes, int F,
          FILE* progress, ZoomSink& sink, Tier tier = Tier::dispatched);

}  // namespace kelt
