// Conversions between image classes: one value rule per target pixel type, one traversal.
#include <algorithm>
#include <cmath>
#include <complex>
#include <type_traits>

#include "images/colour_internal.h"
#include "images/image_core_internal.h"

namespace {

using Complex = std::complex<float>;

// Value rules, overloaded on the source pixel. Black/white: false/true, 0/255,
// (0,0,0)/(255,255,255), 0.0/1.0, (0,0)/(1,0).
struct ToBin {
  bool operator()(unsigned char v) const { return v > 127; }
  bool operator()(COR c) const { return (c.r + c.g + c.b + 1) / 3 > 127; }
  bool operator()(float v) const { return v >= 0.5f; }
  bool operator()(Complex v) const {
    const double re = v.real(), im = v.imag();
    const double m = std::max(std::fabs(re), std::fabs(im));
    if (m == 0) return false;
    const double a = re / m, b = im / m;
    return m * std::sqrt(a * a + b * b) >= 0.5;
  }
};

struct ToGrey {
  unsigned char operator()(bool v) const { return v ? 255 : 0; }
  unsigned char operator()(COR c) const {
    return static_cast<unsigned char>((c.r + c.g + c.b + 1) / 3);
  }
  unsigned char operator()(short v) const {
    return static_cast<unsigned char>(v < 0 ? 0 : v > 255 ? 255 : v);
  }
  unsigned char operator()(float v) const { return vistelmo::unit_to_byte(v); }
  unsigned char operator()(double v) const { return vistelmo::unit_to_byte(v); }
};

struct ToColour {
  COR operator()(bool v) const { return v ? COR{255, 255, 255} : COR{0, 0, 0}; }
  COR operator()(unsigned char v) const { return COR{v, v, v}; }
  COR operator()(float v) const {
    const unsigned char g = vistelmo::unit_to_byte(v);
    return COR{g, g, g};
  }
};

struct ToShort {
  short operator()(unsigned char v) const { return v; }
};

template <class T>
struct ToReal {
  T operator()(bool v) const { return v ? T(1) : T(0); }
  T operator()(unsigned char v) const { return vistelmo::kByteUnits<T>.v[v]; }
  T operator()(COR c) const { return static_cast<T>((c.r + c.g + c.b) / 765.0); }
  T operator()(float v) const { return static_cast<T>(v); }
  T operator()(double v) const { return static_cast<T>(v); }
};

struct ToComplex {
  Complex operator()(bool v) const { return Complex(v ? 1.0f : 0.0f, 0.0f); }
  Complex operator()(unsigned char v) const { return Complex(ToReal<float>()(v), 0.0f); }
  Complex operator()(COR c) const { return Complex(ToReal<float>()(c), 0.0f); }
  Complex operator()(float v) const { return Complex(v, 0.0f); }
};

template <class Img>
struct RuleFor;
template <>
struct RuleFor<IMGBIN> {
  using type = ToBin;
};
template <>
struct RuleFor<IMGGRY> {
  using type = ToGrey;
};
template <>
struct RuleFor<IMGCOR> {
  using type = ToColour;
};
template <>
struct RuleFor<IMGSHT> {
  using type = ToShort;
};
template <>
struct RuleFor<IMGFLT> {
  using type = ToReal<float>;
};
template <>
struct RuleFor<IMGDBL> {
  using type = ToReal<double>;
};
template <>
struct RuleFor<IMGCPX> {
  using type = ToComplex;
};

template <class Img>
constexpr bool is_bin = std::is_same_v<Img, IMGBIN>;

template <class Src>
inline auto outside_value(const Src& src) {
  if constexpr (is_bin<Src>)
    return (src.backg & 1u) != 0;
  else
    return src.backg;
}

template <class Src, class Row>
inline auto pixel_at(const Row* row, int c) {
  if constexpr (is_bin<Src>)
    return (row[c >> 5] & (0x80000000u >> (c & 31))) != 0;
  else
    return row[c];
}

// Sets dst's outside value and every pixel from src by the target's rule. Sizes agree.
// A binary target is written a word at a time; bits past the last column keep their value.
template <class Dst, class Src>
void convert(Dst& dst, const Src& src) {
  const typename RuleFor<Dst>::type rule;
  if constexpr (is_bin<Dst>)
    dst.backg = rule(outside_value(src)) ? 1u : 0u;
  else
    dst.backg = rule(outside_value(src));
  if (!vistelmo::has_pixels(dst) || !vistelmo::has_pixels(src)) return;
  const int nl = dst.nl, nc = dst.nc;
  for (int l = 0; l < nl; l++) {
    const auto* s = src.rows[l];
    auto* d = dst.rows[l];
    if constexpr (is_bin<Dst>) {
      for (int c0 = 0; c0 < nc; c0 += 32) {
        const int count = std::min(32, nc - c0);
        uint32_t word = 0;
        for (int j = 0; j < count; j++)
          if (rule(pixel_at<Src>(s, c0 + j))) word |= 0x80000000u >> j;
        const uint32_t used = vistelmo::last_word_mask(count);
        d[c0 >> 5] = (d[c0 >> 5] & ~used) | word;
      }
    } else {
      for (int c = 0; c < nc; c++) d[c] = rule(pixel_at<Src>(s, c));
    }
  }
}

}  // namespace

// Constructor (default centre), assignment (same size keeps storage and centre) and copy
// into an image of the same size.
#define VISTELMO_DEFINE_CONVERSION(DST, SRC) \
  DST::DST(const SRC& a) : backg() {         \
    aloca(a.nl, a.nc);                       \
    convert(*this, a);                       \
  }                                          \
  DST& DST::operator=(const SRC& a) {        \
    vistelmo::prepare_assign(*this, a);      \
    convert(*this, a);                       \
    return *this;                            \
  }                                          \
  void DST::copia(const SRC& a) {            \
    vistelmo::check_same_size(*this, a);     \
    convert(*this, a);                       \
  }

VISTELMO_DEFINE_CONVERSION(IMGBIN, IMGGRY)
VISTELMO_DEFINE_CONVERSION(IMGBIN, IMGCOR)
VISTELMO_DEFINE_CONVERSION(IMGBIN, IMGFLT)
VISTELMO_DEFINE_CONVERSION(IMGBIN, IMGCPX)

VISTELMO_DEFINE_CONVERSION(IMGGRY, IMGBIN)
VISTELMO_DEFINE_CONVERSION(IMGGRY, IMGCOR)
VISTELMO_DEFINE_CONVERSION(IMGGRY, IMGSHT)
VISTELMO_DEFINE_CONVERSION(IMGGRY, IMGFLT)
VISTELMO_DEFINE_CONVERSION(IMGGRY, IMGDBL)

VISTELMO_DEFINE_CONVERSION(IMGCOR, IMGBIN)
VISTELMO_DEFINE_CONVERSION(IMGCOR, IMGGRY)
VISTELMO_DEFINE_CONVERSION(IMGCOR, IMGFLT)

VISTELMO_DEFINE_CONVERSION(IMGSHT, IMGGRY)

VISTELMO_DEFINE_CONVERSION(IMGFLT, IMGBIN)
VISTELMO_DEFINE_CONVERSION(IMGFLT, IMGGRY)
VISTELMO_DEFINE_CONVERSION(IMGFLT, IMGCOR)
VISTELMO_DEFINE_CONVERSION(IMGFLT, IMGDBL)

VISTELMO_DEFINE_CONVERSION(IMGDBL, IMGBIN)
VISTELMO_DEFINE_CONVERSION(IMGDBL, IMGGRY)
VISTELMO_DEFINE_CONVERSION(IMGDBL, IMGCOR)
VISTELMO_DEFINE_CONVERSION(IMGDBL, IMGFLT)

VISTELMO_DEFINE_CONVERSION(IMGCPX, IMGBIN)
VISTELMO_DEFINE_CONVERSION(IMGCPX, IMGGRY)
VISTELMO_DEFINE_CONVERSION(IMGCPX, IMGCOR)
VISTELMO_DEFINE_CONVERSION(IMGCPX, IMGFLT)

IMGCPX::IMGCPX(const IMGFLT& re, const IMGFLT& im) : backg() {
  if (re.nl != im.nl || re.nc != im.nc)
    erro("Erro: IMGCPX(IMGFLT x, IMGFLT y) dimensoes diferentes", "");
  aloca(re.nl, re.nc);
  if (!vistelmo::has_pixels(*this) || !vistelmo::has_pixels(re) || !vistelmo::has_pixels(im))
    return;
  for (int l = 0; l < nl; l++)
    for (int c = 0; c < nc; c++) rows[l][c] = Complex(re.rows[l][c], im.rows[l][c]);
}
