// Image pyramid by subsampling, with optional 3 x 3 smoothing before each halving.
#include "processing/algebra/pyramid.h"

#include <cmath>
#include <cstring>

#include "foundation/erro.h"
#include "processing/algebra/median.h"

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

  // The source may be one of v's own levels, which the resizes below would release.
  const bool inside_v = v.data != nullptr && &a_in >= v.data && &a_in < v.data + v.n();
  IMGGRY own;
  if (inside_v) own = a_in;
  const IMGGRY& a = inside_v ? own : a_in;

  // Coarsest size is an exact division by 2^(L-1); finer levels double it.
  const int rc = nla >> (L - 1), cc = nca >> (L - 1);
  v.resize(L);
  v(0).resize(rc << (L - 1), cc << (L - 1));
  {
    IMGGRY& g = v(0);
    for (int l = 0; l < g.nl(); l++) std::memcpy(g.rows[l], a.rows[l], g.nc());
  }
  for (int k = 1; k < L; k++) {
    IMGGRY& g = v(k);
    g.resize(rc << (L - 1 - k), cc << (L - 1 - k));
    const IMGGRY smoothed = modo == 'm' ? mediamov(v(k - 1), 3, 3, 's', 'e') : IMGGRY();
    const IMGGRY& src = modo == 'm' ? smoothed : v(k - 1);
    for (int l = 0; l < g.nl(); l++) {
      const unsigned char* in = src.rows[2 * l];
      unsigned char* out = g.rows[l];
      for (int c = 0; c < g.nc(); c++) out[c] = in[2 * c];
    }
  }
}
