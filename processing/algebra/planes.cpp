// Colour planes, 4:2:0 frames, whole-image colour conversions and the per-channel median.
#include "processing/algebra/planes.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "foundation/erro.h"
#include "images/colour_internal.h"
#include "images/image_core_internal.h"
#include "processing/algebra/pointwise_internal.h"

namespace {

constexpr COR kBlack = {0, 0, 0};
constexpr COR kNeutral = {128, 128, 128};

int64_t count_of(const IMGCOR& a) {
  return vistelmo::has_pixels(a) ? static_cast<int64_t>(a.n()) : 0;
}

// A fresh image of a's size: every pixel and the outside value through fn.
template <class Fn>
IMGCOR map_fresh(const IMGCOR& a, Fn fn) {
  IMGCOR r(a.nl, a.nc);
  r.backg = fn(a.backg);
  const int64_t n = count_of(a);
  for (int64_t k = 0; k < n; k++) r.data[k] = fn(a.data[k]);
  return r;
}

// Every pixel of a's block through fn; outside value and centre kept.
template <class Fn>
void map_in_place(IMGCOR& a, Fn fn) {
  const int64_t n = count_of(a);
  for (int64_t k = 0; k < n; k++) a.data[k] = fn(a.data[k]);
}

// One channel of a into a grey image already sized like a.
void channel_into(const IMGCOR& a, IMGGRY& g, unsigned char COR::*channel) {
  const int64_t n = count_of(a);
  for (int64_t k = 0; k < n; k++) g.data[k] = a.data[k].*channel;
}

IMGGRY channel(const IMGCOR& a, unsigned char COR::*ch) {
  IMGGRY g(a.nl, a.nc);
  g.backg = a.backg.*ch;
  channel_into(a, g, ch);
  return g;
}

void plane_into(const IMGCOR& a, IMGGRY& g, unsigned char COR::*ch) {
  g.resize(a.nl, a.nc);
  g.lc = a.lc;
  g.cc = a.cc;
  channel_into(a, g, ch);
}

void copy_plane(unsigned char* dst, const IMGGRY& src, int64_t count) {
  if (count > 0 && vistelmo::has_pixels(src)) std::memcpy(dst, src.data, count);
}

}  // namespace

IMGGRY red(const IMGCOR& a) { return channel(a, &COR::r); }
IMGGRY green(const IMGCOR& a) { return channel(a, &COR::g); }
IMGGRY blue(const IMGCOR& a) { return channel(a, &COR::b); }

void prisma(const IMGCOR& a, IMGGRY& r, IMGGRY& g, IMGGRY& b) {
  plane_into(a, r, &COR::r);
  plane_into(a, g, &COR::g);
  plane_into(a, b, &COR::b);
}

IMGCOR iprisma(const IMGGRY& r, const IMGGRY& g, const IMGGRY& b) {
  if (r.nl != g.nl || r.nl != b.nl || r.nc != g.nc || r.nc != b.nc)
    erro("Erro iprisma: Dimensoes diferentes", "");
  IMGCOR c(r.nl, r.nc);
  c.lc = r.lc;
  c.cc = r.cc;
  if (vistelmo::has_pixels(c) && vistelmo::has_pixels(r) && vistelmo::has_pixels(g) &&
      vistelmo::has_pixels(b)) {
    const int64_t n = c.n();
    for (int64_t k = 0; k < n; k++) c.data[k] = COR{r.data[k], g.data[k], b.data[k]};
  }
  return c;
}

void prisma(const IMGYUV& y, IMGGRY& Y, IMGGRY& U, IMGGRY& V) {
  // A plane that is the frame's own block is filled from a copy of the frame.
  if (&Y == &y.img || &U == &y.img || &V == &y.img) {
    const IMGYUV frame(y);
    prisma(frame, Y, U, V);
    return;
  }
  // Each plane is sized and filled in turn: a plane passed twice ends as the later one.
  const bool full = vistelmo::has_pixels(y.img);
  const int64_t luma = static_cast<int64_t>(y.nl()) * y.nc(), chroma = luma / 4;
  Y.resize(y.nl, y.nc);
  if (full && vistelmo::has_pixels(Y)) std::memcpy(Y.data, y.img.data, luma);
  U.resize(y.nl / 2, y.nc / 2);
  if (full && vistelmo::has_pixels(U)) std::memcpy(U.data, y.img.data + y.uoff, chroma);
  V.resize(y.nl / 2, y.nc / 2);
  if (full && vistelmo::has_pixels(V)) std::memcpy(V.data, y.img.data + y.voff, chroma);
}

IMGYUV yprisma(const IMGGRY& Y, const IMGGRY& U, const IMGGRY& V) {
  const auto twice = [](int x) { return 2 * int64_t{x}; };
  if (Y.nl != twice(U.nl) || Y.nl != twice(V.nl) || Y.nc != twice(U.nc) || Y.nc != twice(V.nc))
    erro("Erro yprisma: Dimensoes diferentes", "");
  IMGYUV r(Y.nl, Y.nc);
  if (vistelmo::has_pixels(r.img)) {
    const int64_t luma = static_cast<int64_t>(r.nl()) * r.nc();
    copy_plane(r.img.data, Y, luma);
    copy_plane(r.img.data + r.uoff, U, luma / 4);
    copy_plane(r.img.data + r.voff, V, luma / 4);
  }
  return r;
}

IMGYUV yprisma(const IMGGRY& Y, const IMGYUV& s) {
  if (Y.nl != s.nl || Y.nc != s.nc) erro("Erro yprisma: Dimensoes diferentes", "");
  IMGYUV r(Y.nl, Y.nc);
  if (vistelmo::has_pixels(r.img) && vistelmo::has_pixels(s.img)) {
    const int64_t luma = static_cast<int64_t>(r.nl()) * r.nc();
    copy_plane(r.img.data, Y, luma);
    std::memcpy(r.img.data + r.uoff, s.img.data + s.uoff, luma / 4);
    std::memcpy(r.img.data + r.voff, s.img.data + s.voff, luma / 4);
  }
  return r;
}

IMGYUV IMG2IMY(const IMGGRY& g) {
  IMGYUV r(g);
  r.backg = kNeutral;
  return r;
}

IMGGRY IMY2IMG(const IMGYUV& y) {
  IMGGRY r(y);
  r.backg = 0;
  return r;
}

IMGYUV IMC2IMY(const IMGCOR& a) {
  IMGYUV r(a);
  r.backg = kNeutral;
  return r;
}

IMGCOR IMY2IMC(const IMGYUV& y) {
  IMGCOR r(y);
  r.backg = kBlack;
  return r;
}

// 255 - v on every channel is v ^ 255 on every byte of the block.
IMGCOR operator-(const IMGCOR& a) {
  return vistelmo::map_block(a, -a.backg, [](const COR* x, COR* d, int64_t n) {
    vistelmo::bytes_with(vistelmo::ByteOp::bit_xor, reinterpret_cast<const uint8_t*>(x), 255,
                         reinterpret_cast<uint8_t*>(d), 3 * n);
  });
}
IMGCOR operator!(const IMGCOR& a) { return -a; }

IMGCOR RGB2HSI(const IMGCOR& a, int k) {
  return map_fresh(a, [k](COR c) { return RGB2HSI(c, k); });
}
IMGCOR HSI2RGB(const IMGCOR& a, int k) {
  return map_fresh(a, [k](COR c) { return HSI2RGB(c, k); });
}
IMGCOR RGB2YUV(const IMGCOR& a) {
  return map_fresh(a, [](COR c) { return RGB2YUV(c); });
}
IMGCOR YUV2RGB(const IMGCOR& a) {
  return map_fresh(a, [](COR c) { return YUV2RGB(c); });
}

IMGCOR RGB2BGR(IMGCOR a) {
  map_in_place(a, [](COR c) { return COR{c.b, c.g, c.r}; });
  return a;
}

IMGCOR RGB2Lab(IMGCOR a) {
  map_in_place(a, [](COR c) {
    const PONTO3 p = RGB2Lab(c);
    return COR{vistelmo::round_to_byte(p.x * 255 / 100), vistelmo::round_to_byte(1.27 * p.y + 128),
               vistelmo::round_to_byte(1.27 * p.z + 128)};
  });
  return a;
}

IMGCOR Lab2RGB(IMGCOR a) {
  map_in_place(a, [](COR c) {
    return Lab2RGB(PONTO3(c.r * 100.0 / 255, (c.g - 128) / 1.27, (c.b - 128) / 1.27));
  });
  return a;
}

IMGCOR RGB2XYZ(IMGCOR a) {
  map_in_place(a, [](COR c) {
    const PONTO3 p = RGB2XYZ(c);
    return COR{vistelmo::round_to_byte(p.x * 255), vistelmo::round_to_byte(p.y * 255),
               vistelmo::round_to_byte(p.z * 255)};
  });
  return a;
}

IMGCOR XYZ2RGB(IMGCOR a) {
  map_in_place(a, [](COR c) { return XYZ2RGB(PONTO3(c.r / 255.0, c.g / 255.0, c.b / 255.0)); });
  return a;
}

IMGCOR RGB2OPP(IMGCOR a) {
  map_in_place(a, [](COR c) {
    const int r = c.r, g = c.g, b = c.b;
    return COR{vistelmo::round_to_byte((r - g) / 1.4142135623730951),
               vistelmo::round_to_byte((r + g - 2 * b) / 2.449489742783178),
               vistelmo::round_to_byte((r + g + b) / 1.7320508075688772)};
  });
  return a;
}
