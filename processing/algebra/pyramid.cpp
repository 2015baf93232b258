// Image pyramid by subsampling, with optional 3 x 3 smoothing before each halving.
#include "processing/algebra/pyramid.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "foundation/erro.h"
#include "processing/kernels/pyramid_rows.h"

namespace {

// floor(log(n / min) / ln 2) + 1, or 0 when that is below 1.
int level_count(int n, int min) {
  const double levels = std::floor(std::log(static_cast<double>(n) / min) / 0.6931471805599453) + 1;
  return levels >= 1 ? static_cast<int>(levels) : 0;
}

}  // namespace

void piramide(const IMGGRY& a_in, VETOR<IMGGRY>& v, int rmin, int cmin, char modo) {
  if (rmin < 1) erro("Erro: rmin<=0", "");
  if (cmin < 1) erro("Erro: cmin<=0", "");
  const int nla = a_in.data ? static_cast<int>(a_in.nl) : 0;
  const int nca = a_in.data ? static_cast<int>(a_in.nc) : 0;
  const int lr = level_count(nla, rmin), lcnt = level_count(nca, cmin);
  const int L = lr < lcnt ? lr : lcnt;
  if (L <= 0) erro("Erro MATRIZ::operator(l,c) - Indice invalido", "");

  // Coarsest size is an exact division by 2^(L-1); finer levels double it.
  const int rc = nla >> (L - 1), cc = nca >> (L - 1);

  // The source may be one of v's own levels, which the resizes below would release. Level 0
  // of as many levels, already of its size, stays where it is.
  const bool inside_v = v.data != nullptr && &a_in >= v.data && &a_in < v.data + v.n();
  const bool in_place =
      inside_v && &a_in == v.data && v.n() == L && nla == rc << (L - 1) && nca == cc << (L - 1);
  IMGGRY own;
  if (inside_v && !in_place) own = a_in;
  const IMGGRY& a = inside_v && !in_place ? own : a_in;
  v.resize(L);
  for (int k = 0; k < L; k++) v(k).resize(rc << (L - 1 - k), cc << (L - 1 - k));
  const vistelmo::PyramidKernels& kern = vistelmo::pyramid_kernels();
  const bool smooth = modo == 'm';
  // Level 0 is copied two rows at a time just ahead of the halving that reads them.
  auto copy_row = [&](int l) {
    if (!in_place) std::memcpy(v(0).rows[l], a.rows[l], v(0).nc());
  };
  if (L == 1)
    for (int l = 0; l < v(0).nl(); l++) copy_row(l);
  for (int k = 1; k < L; k++) {
    const IMGGRY& src = v(k - 1);
    IMGGRY& g = v(k);
    for (int l = 0; l < g.nl(); l++) {
      if (k == 1) copy_row(2 * l), copy_row(2 * l + 1);
      if (smooth)
        kern.smooth({l > 0 ? src.rows[2 * l - 1] : nullptr, src.rows[2 * l], src.rows[2 * l + 1]},
                    g.rows[l], g.nc());
      else
        kern.halve(src.rows[2 * l], g.rows[l], g.nc());
    }
  }
}
