// Zig-zag walk over a grid.
#include "processing/filters/zigzag.h"

#include <cstdint>

#include "foundation/erro.h"

namespace {

// nl * nc, 0 when either size is below 1; a grid with more positions than a vector can count
// fails as its allocation would.
int count(int nl, int nc) {
  if (nl < 1 || nc < 1) return 0;
  const int64_t n = int64_t(nl) * nc;
  if (n > INT32_MAX) erro("Erro VETOR::aloca - Falta memoria", "");
  return static_cast<int>(n);
}

// Calls visit(k, row, column) for every position k of the walk.
template <class Visit>
void walk(int nl, int nc, Visit visit) {
  const int total = count(nl, nc);
  int r = 0, c = 0, d = 0;
  bool up = true;
  for (int k = 0; k < total; k++) {
    visit(k, r, c);
    if (up) {
      c++, r--;
      if (c >= nc) d++, c = nc - 1, r = d - nc + 1, up = false;
      if (r < 0) d++, r = 0, c = d, up = false;
    } else {
      r++, c--;
      if (r >= nl) d++, r = nl - 1, c = d - nl + 1, up = true;
      if (c < 0) d++, c = 0, r = d, up = true;
    }
  }
}

}  // namespace

void dctzigzag(int nl, int nc, VETOR<PONTOI2>& v) {
  v.resize(count(nl, nc));
  walk(nl, nc, [&v](int k, int r, int c) { v.data[k] = PONTOI2(r, c); });
}

void dctzigzag(int nl, int nc, VETOR<int>& v) {
  v.resize(count(nl, nc));
  walk(nl, nc, [&v, nc](int k, int r, int c) { v.data[k] = r * nc + c; });
}
