// Connected-component size filter and blob centres, by iterative flood fills.
#include "processing/algebra/components.h"

#include <deque>

#include "foundation/constants.h"

namespace {

// The eight neighbours, row by row.
const int kDl8[8] = {-1, -1, -1, 0, 0, 1, 1, 1};
const int kDc8[8] = {-1, 0, 1, -1, 1, -1, 0, 1};

// Walks the 8-connected component of pixels holding from that contains (l, c), relabelling it
// to; visit(r, s) is called once per pixel taken from the list. Pixels are relabelled when
// pushed, so none is pushed twice. Pairs go in row first, so they come back column first.
template <class Visit>
void fill8(int l, int c, IMGGRY& g, unsigned char from, unsigned char to, Visit visit) {
  std::deque<int> pending;
  g(l, c) = to;
  pending.push_front(l);
  pending.push_front(c);
  while (!pending.empty()) {
    const int s = pending.front();
    pending.pop_front();
    const int r = pending.front();
    pending.pop_front();
    visit(r, s);
    for (int k = 0; k < 8; k++) {
      const int rr = r + kDl8[k], ss = s + kDc8[k];
      unsigned char& p = g(rr, ss);
      if (p == from) {
        p = to;
        pending.push_front(rr);
        pending.push_front(ss);
      }
    }
  }
}

}  // namespace

int FILTCCB::contacc(int l, int c, IMGGRY& g) {
  int count = 0;
  fill8(l, c, g, 0, 64, [&](int, int) { count++; });
  return count;
}

void FILTCCB::copia(int l, int c, IMGGRY& g, IMGBIN& out) {
  fill8(l, c, g, 64, 128, [&](int r, int s) { out(r, s) = preto; });
}

IMGBIN filtcc(const IMGBIN& a, int m) {
  IMGGRY g(a);
  g.backg = 255;
  IMGBIN out(a.nl, a.nc, branco);
  for (int l = 0; l < g.nl(); l++) {
    const unsigned char* row = g.rows[l];
    for (int c = 0; c < g.nc(); c++) {
      if (row[c] != 0) continue;
      if (FILTCCB::contacc(l, c, g) >= m) FILTCCB::copia(l, c, g, out);
    }
  }
  return out;
}

void FindCeB::centro(IMGBIN& a, int l, int c, int& lc, int& cc) {
  static const int kDl4[4] = {-1, 1, 0, 0};
  static const int kDc4[4] = {0, 0, -1, 1};
  std::deque<int> pending;
  pending.push_back(l);
  pending.push_back(c);
  int lmin = l, lmax = l, cmin = c, cmax = c;
  while (!pending.empty()) {
    const int s = pending.back();
    pending.pop_back();
    const int r = pending.back();
    pending.pop_back();
    if (r < lmin) lmin = r;
    if (r > lmax) lmax = r;
    if (s < cmin) cmin = s;
    if (s > cmax) cmax = s;
    a(r, s) = branco;
    for (int k = 0; k < 4; k++) {
      const int rr = r + kDl4[k], ss = s + kDc4[k];
      if (!a(rr, ss)) {
        pending.push_back(rr);
        pending.push_back(ss);
      }
    }
  }
  lc = (lmin + lmax) / 2;
  cc = (cmin + cmax) / 2;
}

IMGBIN findce(IMGBIN a) {
  a.backg |= 1u;  // white outside: no walk leaves the image
  IMGBIN out(a.nl, a.nc, branco);
  for (int l = 0; l < a.nl(); l++) {
    const uint32_t* row = a.rows[l];
    for (int c = 0; c < a.nc(); c++) {
      if (row[c >> 5] & (0x80000000u >> (c & 31))) continue;
      int r0, s0;
      FindCeB::centro(a, l, c, r0, s0);
      out(r0, s0) = preto;
    }
  }
  return out;
}
