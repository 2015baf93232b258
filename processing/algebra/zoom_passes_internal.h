// The single-axis zoom passes' pieces that two-factor zoom and the colour zoom build on (defined in
// zoom_passes.cpp). Library sources only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "images/border_internal.h"
#include "images/images.h"

namespace vistelmo {

// Pixel row o of a source: its own row, or one that fetch makes when given.
template <class Pixel>
using RowFetch = std::function<const Pixel*(int64_t)>;

// Rows of n bytes made by make(o, row) when first asked for, the last four kept (a pass needs
// two at once).
class KeptRows {
 public:
  KeptRows(size_t n, std::function<void(int64_t, unsigned char*)> make)
      : n_(n), buf_(kKept * n), make_(std::move(make)) {}
  unsigned char* row(int64_t o) {
    unsigned char* r = &buf_[(o % kKept) * n_];
    if (made_[o % kKept] != o) {
      make_(o, r);
      made_[o % kKept] = o;
    }
    return r;
  }

 private:
  static constexpr int kKept = 4;
  size_t n_;
  std::vector<unsigned char> buf_;
  std::function<void(int64_t, unsigned char*)> make_;
  int64_t made_[kKept] = {-1, -1, -1, -1};
};

// The grey horizontal pass of a into b's frame one destination row at a time, on the fast tiers,
// source rows by fetch when given: integer means where most columns average pairs (or fours) of
// source columns, sums of columns otherwise when shrinking, blends when enlarging.
class GreyColumns {
 public:
  GreyColumns(const IMGGRY& a, const IMGGRY& b, double f, const BorderRule& br,
              const RowFetch<unsigned char>* fetch = nullptr);
  ~GreyColumns();
  GreyColumns(const GreyColumns&) = delete;
  GreyColumns& operator=(const GreyColumns&) = delete;
  // Destination row l into out.
  void row(int l, unsigned char* out);
  // Whether the rows are integer means of pairs (or fours).
  bool means() const;
  // With means(): destination row l of the three channels of colour (whose planes a is the
  // shape of), from its interleaved rows into out (three bytes a pixel), as row() makes each
  // channel's from the planes. False, with nothing written, where this form does not apply.
  bool colour_row(const IMGCOR& colour, int l, unsigned char* out) const;

 private:
  struct Passes;
  std::unique_ptr<Passes> passes_;
};

// The grey vertical pass of a into b on the fast tiers, a's rows by fetch when given.
void grey_rows_pass(const IMGGRY& a, IMGGRY& b, double f, const BorderRule& br,
                    const RowFetch<unsigned char>* fetch);

// Fails unless borda is a grey pass's border letter ('C' or 'X').
void check_zoom_border(char borda);

}  // namespace vistelmo
