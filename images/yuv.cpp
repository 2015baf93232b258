// The planar 4:2:0 frame and its conversions to and from grey and colour images.
#include <algorithm>
#include <cstring>

#include "images/image_core_internal.h"
#include "images/yuv.h"

namespace {

constexpr COR kNeutral = {128, 128, 128};

void copy_bytes(unsigned char* dst, const unsigned char* src, int64_t count) {
  if (count > 0) std::memcpy(dst, src, count);
}

}  // namespace

IMGYUV::IMGYUV(int nl, int nc) { aloca(nl, nc); }

IMGYUV::IMGYUV(const IMGCOR& c) {
  aloca(c.nl, c.nc);
  copia(c);
}

IMGYUV::IMGYUV(const IMGGRY& g) {
  aloca(g.nl, g.nc);
  copia(g);
}

IMGYUV::IMGYUV(const IMGYUV& y) {
  aloca(y.nl, y.nc);
  copia(y);
}

void IMGYUV::aloca(int l, int c) {
  if (l % 2 != 0 || c % 2 != 0) erro("Erro: IMGYUV deve ter NL e NC pares", "");
  if (l < 0 || c < 0) erro("Erro: IMGYUV com NL ou NC negativo", "");
  nl = l;
  nc = c;
  backg = kNeutral;
  // A size too large for int offsets is refused by img.aloca below.
  const int64_t luma = static_cast<int64_t>(l) * c;
  uoff = static_cast<int>(luma);
  voff = static_cast<int>(luma + luma / 4);
  cw = c / 2;
  const int64_t planes = l >= 1 && c >= 1 ? static_cast<int64_t>(l) / 2 * 3 : 0;
  if (planes > INT32_MAX) erro("Erro IMGGRY::aloca - Falta memoria", "");
  const int rows = static_cast<int>(planes);
  const int cols = rows > 0 ? c : 0;
  if (img.nl != rows || img.nc != cols || (rows > 0 && img.data == nullptr)) {
    img.desaloca();
    img.aloca(rows, cols);
  }
}

void IMGYUV::resize(int l, int c) {
  if (l == nl && c == nc) return;
  aloca(l, c);
}

void IMGYUV::inicializa() {
  const int rows = img.nl, cols = img.nc;
  if (rows <= 0 || cols <= 0)
    erro("Erro: IMGYUV.img deve ser inicializado antes de chamar inicializa()", "");
  if (rows % 3 != 0 || cols % 2 != 0)
    erro("Erro: IMGYUV.img deve ter NL divisivel por 3 e NC par", "");
  uoff = static_cast<int>(2 * (static_cast<int64_t>(rows) * cols) / 3);
  voff = uoff + uoff / 4;
  cw = cols / 2;
  nc = cols;
  nl = 2 * rows / 3;
}

void IMGYUV::fill(COR v) {
  if (!vistelmo::has_pixels(img)) return;
  const int chroma = uoff / 4;
  std::fill(img.data, img.data + uoff, v.r);
  std::fill(img.data + uoff, img.data + uoff + chroma, v.g);
  std::fill(img.data + voff, img.data + voff + chroma, v.b);
}

IMGYUV& IMGYUV::operator=(const IMGYUV& y) {
  if (this == &y) return *this;
  if (nl != y.nl || nc != y.nc) aloca(y.nl, y.nc);
  copia(y);
  return *this;
}

IMGYUV& IMGYUV::operator=(const IMGCOR& c) {
  if (nl != c.nl || nc != c.nc) aloca(c.nl, c.nc);
  copia(c);
  return *this;
}

IMGYUV& IMGYUV::operator=(const IMGGRY& g) {
  if (nl != g.nl || nc != g.nc) aloca(g.nl, g.nc);
  copia(g);
  return *this;
}

void IMGYUV::copia(const IMGYUV& y) {
  vistelmo::check_same_size(*this, y);
  backg = y.backg;
  copy_bytes(img.data, y.img.data, vistelmo::block_count(img));
}

// Luma per pixel; chroma from the truncated mean colour of each 2 x 2 block.
void IMGYUV::copia(const IMGCOR& c) {
  vistelmo::check_same_size(*this, c);
  backg = RGB2YUV(c.backg);
  if (!vistelmo::has_pixels(img) || !vistelmo::has_pixels(c)) return;
  for (int l = 0; l < nl; l++) {
    const COR* s = c.rows[l];
    unsigned char* d = img.data + static_cast<int64_t>(l) * nc;
    for (int k = 0; k < nc; k++) d[k] = static_cast<unsigned char>(RGB2Y(s[k]));
  }
  for (int i = 0; i < nl / 2; i++) {
    const COR* a = c.rows[2 * i];
    const COR* b = c.rows[2 * i + 1];
    unsigned char* u = img.data + uoff + static_cast<int64_t>(i) * cw;
    unsigned char* v = img.data + voff + static_cast<int64_t>(i) * cw;
    for (int j = 0; j < cw; j++) {
      const COR& p = a[2 * j];
      const COR& q = a[2 * j + 1];
      const COR& r = b[2 * j];
      const COR& t = b[2 * j + 1];
      const COR mean{static_cast<unsigned char>((p.r + q.r + r.r + t.r) >> 2),
                     static_cast<unsigned char>((p.g + q.g + r.g + t.g) >> 2),
                     static_cast<unsigned char>((p.b + q.b + r.b + t.b) >> 2)};
      u[j] = static_cast<unsigned char>(RGB2U(mean));
      v[j] = static_cast<unsigned char>(RGB2V(mean));
    }
  }
}

void IMGYUV::copia(const IMGGRY& g) {
  vistelmo::check_same_size(*this, g);
  backg = COR{g.backg, 128, 128};
  if (!vistelmo::has_pixels(img) || !vistelmo::has_pixels(g)) return;
  copy_bytes(img.data, g.data, uoff);
  std::fill(img.data + uoff, img.data + img.n(), static_cast<unsigned char>(128));
}

// Grey from the luma plane.

IMGGRY::IMGGRY(const IMGYUV& y) : backg() {
  aloca(y.nl, y.nc);
  copia(y);
}

IMGGRY& IMGGRY::operator=(const IMGYUV& y) {
  vistelmo::prepare_assign(*this, y);
  copia(y);
  return *this;
}

void IMGGRY::copia(const IMGYUV& y) {
  vistelmo::check_same_size(*this, y);
  backg = y.backg.r;
  if (vistelmo::has_pixels(*this)) copy_bytes(data, y.img.data, n);
}

// Colour pixel by pixel; each chroma sample serves its 2 x 2 block.

IMGCOR::IMGCOR(const IMGYUV& y) : backg() {
  aloca(y.nl, y.nc);
  copia(y);
}

IMGCOR& IMGCOR::operator=(const IMGYUV& y) {
  vistelmo::prepare_assign(*this, y);
  copia(y);
  return *this;
}

void IMGCOR::copia(const IMGYUV& y) {
  vistelmo::check_same_size(*this, y);
  backg = YUV2RGB(y.backg);
  if (!vistelmo::has_pixels(*this)) return;
  const unsigned char* block = y.img.data;
  for (int l = 0; l < nl; l++) {
    const unsigned char* luma = block + static_cast<int64_t>(l) * nc;
    const unsigned char* u = block + y.uoff + static_cast<int64_t>(l / 2) * y.cw;
    const unsigned char* v = block + y.voff + static_cast<int64_t>(l / 2) * y.cw;
    COR* d = rows[l];
    for (int c = 0; c < nc; c++) d[c] = YUV2RGB(COR{luma[c], u[c / 2], v[c / 2]});
  }
}
