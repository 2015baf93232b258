// Construction, storage, copies and fills of the byte-addressed image classes.
#include <algorithm>
#include <cstdarg>
#include <initializer_list>

#include "images/image_core_internal.h"

// The variadic constructors' last named parameters have the pixel types of their public
// declarations, which undergo promotion; va_start needs only their place among the arguments,
// which promotion does not move on x86-64.
#if defined(__clang__)
#pragma clang diagnostic ignored "-Wvarargs"
#endif

#define VISTELMO_DEFINE_STORAGE(IMG)                                                               \
  IMG::IMG(int nl, int nc) { aloca(nl, nc); }                                                      \
  IMG::IMG(int nl, int nc, Pixel v) {                                                              \
    aloca(nl, nc);                                                                                 \
    fill(v);                                                                                       \
  }                                                                                                \
  IMG::IMG(const IMG& a) { vistelmo::construct_copy(*this, a); }                                   \
  IMG::IMG(IMG&& a) noexcept { vistelmo::construct_move(*this, a); }                               \
  IMG::~IMG() { desaloca(); }                                                                      \
  void IMG::aloca(int nl, int nc) { vistelmo::aloca(*this, nl, nc); }                              \
  void IMG::desaloca() { vistelmo::desaloca(*this); }                                              \
  void IMG::copia(const IMG& a) { vistelmo::copia(*this, a); }                                     \
  void IMG::fill(Pixel v) {                                                                        \
    if (vistelmo::has_pixels(*this)) vistelmo::fill_pixels(data, vistelmo::block_count(*this), v); \
  }                                                                                                \
  void IMG::fill(const Pixel* a) {                                                                 \
    if (a && vistelmo::has_pixels(*this)) std::copy(a, a + vistelmo::block_count(*this), data);    \
  }                                                                                                \
  void IMG::resize(int nl, int nc) { vistelmo::resize(*this, nl, nc); }                            \
  IMG& IMG::operator=(const IMG& a) { return vistelmo::assign(*this, a); }                         \
  IMG::Pixel& IMG::operator()(int a, int b, char mode) {                                           \
    int l, c;                                                                                      \
    if (vistelmo::resolve_position(a, b, mode, nl, nc, lc, cc, l, c) && rows) return rows[l][c];   \
    return backg;                                                                                  \
  }

VISTELMO_DEFINE_STORAGE(IMGGRY)
VISTELMO_DEFINE_STORAGE(IMGCOR)
VISTELMO_DEFINE_STORAGE(IMGSHT)
VISTELMO_DEFINE_STORAGE(IMGFLT)
VISTELMO_DEFINE_STORAGE(IMGDBL)
VISTELMO_DEFINE_STORAGE(IMGCPX)

namespace {

// Fills the pixels of img row by row: first the named values, then next() for each further one.
template <class Img, class Next>
void fill_from_list(Img& img, std::initializer_list<typename Img::Pixel> named, Next next) {
  if (!vistelmo::has_pixels(img)) return;
  int64_t count = vistelmo::block_count(img), k = 0;
  for (auto v : named)
    if (k < count) img.data[k++] = v;
  while (k < count) img.data[k++] = next();
}

}  // namespace

IMGGRY::IMGGRY(int nl, int nc, unsigned char v0, unsigned char v1, ...) {
  aloca(nl, nc);
  va_list ap;
  va_start(ap, v1);
  fill_from_list(*this, {v0, v1}, [&] { return static_cast<unsigned char>(va_arg(ap, int)); });
  va_end(ap);
}

IMGSHT::IMGSHT(int nl, int nc, short v0, short v1, ...) {
  aloca(nl, nc);
  va_list ap;
  va_start(ap, v1);
  fill_from_list(*this, {v0, v1}, [&] { return static_cast<short>(va_arg(ap, int)); });
  va_end(ap);
}

IMGFLT::IMGFLT(int nl, int nc, double v0, double v1, ...) {
  aloca(nl, nc);
  va_list ap;
  va_start(ap, v1);
  fill_from_list(*this, {static_cast<float>(v0), static_cast<float>(v1)},
                 [&] { return static_cast<float>(va_arg(ap, double)); });
  va_end(ap);
}

IMGDBL::IMGDBL(int nl, int nc, double v0, double v1, ...) {
  aloca(nl, nc);
  va_list ap;
  va_start(ap, v1);
  fill_from_list(*this, {v0, v1}, [&] { return va_arg(ap, double); });
  va_end(ap);
}

IMGCOR::IMGCOR(int nl, int nc, unsigned char r, unsigned char g, unsigned char b, ...) {
  aloca(nl, nc);
  va_list ap;
  va_start(ap, b);
  fill_from_list(*this, {COR{r, g, b}}, [&] {
    COR c;
    c.r = static_cast<unsigned char>(va_arg(ap, int));
    c.g = static_cast<unsigned char>(va_arg(ap, int));
    c.b = static_cast<unsigned char>(va_arg(ap, int));
    return c;
  });
  va_end(ap);
}

IMGCPX::IMGCPX(int nl, int nc, float re, float im, ...) {
  aloca(nl, nc);
  va_list ap;
  va_start(ap, im);
  fill_from_list(*this, {std::complex<float>(re, im)}, [&] {
    float x = static_cast<float>(va_arg(ap, double));
    float y = static_cast<float>(va_arg(ap, double));
    return std::complex<float>(x, y);
  });
  va_end(ap);
}
