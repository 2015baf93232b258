// Canvas enlargement: a value-filled canvas with the image copied into its middle.
#include "processing/algebra/canvas.h"

#include <algorithm>
#include <cstdint>

#include "images/image_core_internal.h"

namespace {

void check_fits(int a_nl, int a_nc, int nl, int nc) {
  if (a_nl > nl || a_nc > nc) erro("Erro: Saida menor que entrada", "");
}

template <class Img>
Img enlarge(const Img& a, int nl, int nc, typename Img::Pixel v) {
  check_fits(a.nl(), a.nc(), nl, nc);
  // Every pixel written once.
  Img r = vistelmo::unset_image<Img>(nl, nc);
  if (!vistelmo::has_pixels(r)) return r;
  if (!vistelmo::has_pixels(a)) {
    vistelmo::fill_pixels(r.data, vistelmo::block_count(r), v);
    return r;
  }
  // The block is one run of rows: the fill between two copies (the right border of one row and
  // the left border of the next) is one run too, as are the rows above with the first left
  // border and the last right border with the rows below.
  const int dl = (nl - a.nl()) / 2, dc = (nc - a.nc()) / 2, an = a.nc();
  const int64_t between = nc - an, below = static_cast<int64_t>(nl - dl - a.nl()) * nc;
  auto* p = r.rows[dl] + dc;
  vistelmo::fill_pixels(r.data, p - r.data, v);
  for (int i = 0; i < a.nl(); i++, p += nc) {
    std::copy(a.rows[i], a.rows[i] + an, p);
    vistelmo::fill_pixels(p + an, i + 1 < a.nl() ? between : between - dc + below, v);
  }
  return r;
}

// Copies the first nbits bits of src into dst starting at bit position start; the other bits
// of dst are kept.
void copy_bits(uint32_t* dst, int start, const uint32_t* src, int nbits) {
  const int w = start >> 5, s = start & 31;
  for (int k = 0; 32 * k < nbits; k++) {
    const int bits = std::min(32, nbits - 32 * k);
    const uint32_t m = vistelmo::last_word_mask(bits);
    const uint32_t v = src[k] & m;
    dst[w + k] = (dst[w + k] & ~(m >> s)) | (v >> s);
    // Bits pushed past this word's end continue in the next one.
    if (s != 0 && (m << (32 - s)) != 0)
      dst[w + k + 1] = (dst[w + k + 1] & ~(m << (32 - s))) | (v << (32 - s));
  }
}

}  // namespace

IMGFLT aumcanvas(const IMGFLT& a, int nl, int nc, float v) { return enlarge(a, nl, nc, v); }
IMGCOR aumcanvas(const IMGCOR& a, int nl, int nc, COR v) { return enlarge(a, nl, nc, v); }
IMGGRY aumcanvas(const IMGGRY& a, int nl, int nc, unsigned char v) { return enlarge(a, nl, nc, v); }

IMGBIN aumcanvas(const IMGBIN& a, int nl, int nc, bool v) {
  check_fits(a.nl(), a.nc(), nl, nc);
  IMGBIN r(nl, nc, v);
  if (!vistelmo::has_pixels(a)) return r;
  const int dl = (nl - a.nl()) / 2, dc = (nc - a.nc()) / 2;
  for (int i = 0; i < a.nl(); i++) copy_bits(r.rows[i + dl], dc, a.rows[i], a.nc());
  return r;
}
