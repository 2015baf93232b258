// A scalar with every pixel, and two images of one size combined pixel by pixel.
#include <complex>
#include <cstdint>

#include "images/colour_internal.h"
#include "processing/algebra/pointwise.h"
#include "processing/algebra/pointwise_internal.h"

namespace {

using Complex = std::complex<float>;

// p + k saturated to 0..255; formed in 64 bits so that no k overflows.
struct GreyAdd {
  int k;
  unsigned char operator()(unsigned char p) const {
    const int64_t s = static_cast<int64_t>(p) + k;
    return static_cast<unsigned char>(s < 0 ? 0 : s > 255 ? 255 : s);
  }
};
// k*p clamped to 0..255, then rounded half away from zero (NaN gives 0).
struct GreyScale {
  double k;
  unsigned char operator()(unsigned char p) const { return vistelmo::round_to_byte(k * p); }
};
// k*p and k+p formed in double, stored in the pixel type.
struct RealScale {
  double k;
  template <class T>
  T operator()(T p) const {
    return static_cast<T>(k * p);
  }
};
struct RealShift {
  double k;
  template <class T>
  T operator()(T p) const {
    return static_cast<T>(k + p);
  }
};
// z*(k + 0i), each part formed in double.
struct ComplexScaleReal {
  float k;
  Complex operator()(Complex z) const {
    const double re = static_cast<double>(z.real()) * k - static_cast<double>(z.imag()) * 0.0;
    const double im = static_cast<double>(z.imag()) * k + static_cast<double>(z.real()) * 0.0;
    return Complex(static_cast<float>(re), static_cast<float>(im));
  }
};
struct ComplexScale {
  Complex k;
  Complex operator()(Complex z) const {
    return Complex(k.real() * z.real() - k.imag() * z.imag(),
                   k.imag() * z.real() + z.imag() * k.real());
  }
};
struct ComplexShift {
  float k;
  Complex operator()(Complex z) const { return Complex(z.real() + k, z.imag()); }
};

// Two-pixel rules: float operands widened to double and the result rounded once; complex
// pixels by the textbook formulas in single precision, without scaling or zero tests.
struct Quot {
  float operator()(float x, float y) const { return static_cast<float>(double(x) / double(y)); }
  double operator()(double x, double y) const { return x / y; }
  Complex operator()(Complex x, Complex y) const {
    const float d = y.real() * y.real() + y.imag() * y.imag();
    return Complex((x.real() * y.real() + x.imag() * y.imag()) / d,
                   (x.imag() * y.real() - x.real() * y.imag()) / d);
  }
};
struct Prod {
  float operator()(float x, float y) const { return static_cast<float>(double(x) * double(y)); }
  double operator()(double x, double y) const { return x * y; }
  Complex operator()(Complex x, Complex y) const {
    return Complex(x.real() * y.real() - x.imag() * y.imag(),
                   x.real() * y.imag() + x.imag() * y.real());
  }
};
struct Diff {
  float operator()(float x, float y) const { return static_cast<float>(double(x) - double(y)); }
  double operator()(double x, double y) const { return x - y; }
  Complex operator()(Complex x, Complex y) const {
    return Complex(x.real() - y.real(), x.imag() - y.imag());
  }
};
struct Sum {
  float operator()(float x, float y) const { return static_cast<float>(double(x) + double(y)); }
  double operator()(double x, double y) const { return x + y; }
  Complex operator()(Complex x, Complex y) const {
    return Complex(x.real() + y.real(), x.imag() + y.imag());
  }
};

const float* floats(const Complex* z) { return reinterpret_cast<const float*>(z); }
float* floats(Complex* z) { return reinterpret_cast<float*>(z); }

#define MISMATCH(cls, op) "Erro " cls "::operator" op " - As imagens nao tem o mesmo tamanho"

}  // namespace

IMGGRY operator+(int k, const IMGGRY& a) {
  // Past +-255 every sum saturates alike; below 0 the sum is a saturating difference.
  const int s = k < -255 ? -255 : k > 255 ? 255 : k;
  const vistelmo::ByteOp op = s < 0 ? vistelmo::ByteOp::sub_sat : vistelmo::ByteOp::add_sat;
  const auto m = static_cast<uint8_t>(s < 0 ? -s : s);
  return vistelmo::map_block(
      a, GreyAdd{k}(a.backg),
      [op, m](const uint8_t* x, uint8_t* d, int64_t n) { vistelmo::bytes_with(op, x, m, d, n); });
}
// A byte has 256 values: the products are tabled once.
IMGGRY operator*(double k, const IMGGRY& a) {
  const GreyScale f{k};
  uint8_t table[256];
  for (int p = 0; p < 256; p++) table[p] = f(static_cast<unsigned char>(p));
  return vistelmo::map_block(a, f(a.backg), [&table](const uint8_t* x, uint8_t* d, int64_t n) {
    vistelmo::bytes_lookup(table, x, d, n);
  });
}
IMGFLT operator*(double k, const IMGFLT& a) {
  return vistelmo::map_block(a, RealScale{k}(a.backg), [k](const float* x, float* d, int64_t n) {
    vistelmo::floats_scale(k, x, d, n);
  });
}
IMGFLT operator+(double k, const IMGFLT& a) { return vistelmo::map_pixels(a, RealShift{k}); }
IMGDBL operator*(double k, const IMGDBL& a) { return vistelmo::map_pixels(a, RealScale{k}); }
IMGDBL operator+(double k, const IMGDBL& a) { return vistelmo::map_pixels(a, RealShift{k}); }

IMGCPX operator*(float k, IMGCPX a) {
  a.backg = ComplexScaleReal{k}(a.backg);
  if (vistelmo::has_pixels(a)) {
    vistelmo::complex_scale_real(k, floats(a.data), floats(a.data), vistelmo::block_count(a));
  }
  return a;
}
IMGCPX operator*(std::complex<float> k, IMGCPX a) {
  vistelmo::update_pixels(a, ComplexScale{k});
  return a;
}
IMGCPX operator+(float k, IMGCPX a) {
  vistelmo::update_pixels(a, ComplexShift{k});
  return a;
}

IMGFLT operator/(const IMGFLT& a, const IMGFLT& b) {
  return vistelmo::zip_pixels(a, b, MISMATCH("IMGFLT", "/"), Quot{});
}
IMGFLT operator*(const IMGFLT& a, const IMGFLT& b) {
  return vistelmo::zip_pixels(a, b, MISMATCH("IMGFLT", "*"), Prod{});
}
IMGFLT operator-(const IMGFLT& a, const IMGFLT& b) {
  return vistelmo::zip_pixels(a, b, MISMATCH("IMGFLT", "-"), Diff{});
}
IMGFLT operator+(const IMGFLT& a, const IMGFLT& b) {
  return vistelmo::zip_pixels(a, b, MISMATCH("IMGFLT", "+"), Sum{});
}
IMGDBL operator/(const IMGDBL& a, const IMGDBL& b) {
  return vistelmo::zip_pixels(a, b, MISMATCH("IMGDBL", "/"), Quot{});
}
IMGDBL operator*(const IMGDBL& a, const IMGDBL& b) {
  return vistelmo::zip_pixels(a, b, MISMATCH("IMGDBL", "*"), Prod{});
}
IMGDBL operator-(const IMGDBL& a, const IMGDBL& b) {
  return vistelmo::zip_pixels(a, b, MISMATCH("IMGDBL", "-"), Diff{});
}
IMGDBL operator+(const IMGDBL& a, const IMGDBL& b) {
  return vistelmo::zip_pixels(a, b, MISMATCH("IMGDBL", "+"), Sum{});
}
IMGCPX operator/(const IMGCPX& a, const IMGCPX& b) {
  return vistelmo::zip_pixels(a, b, MISMATCH("IMGCPX", "/"), Quot{});
}
IMGCPX operator*(const IMGCPX& a, const IMGCPX& b) {
  return vistelmo::zip_pixels(a, b, MISMATCH("IMGCPX", "*"), Prod{});
}
// Part by part in float: the blocks as floats, twice as many.
IMGCPX operator-(const IMGCPX& a, const IMGCPX& b) {
  return vistelmo::zip_block(a, b, MISMATCH("IMGCPX", "-"), Diff{}(a.backg, b.backg),
                             [](const Complex* x, const Complex* y, Complex* d, int64_t n) {
                               vistelmo::floats_sub(floats(x), floats(y), floats(d), 2 * n);
                             });
}
IMGCPX operator+(const IMGCPX& a, const IMGCPX& b) {
  return vistelmo::zip_block(a, b, MISMATCH("IMGCPX", "+"), Sum{}(a.backg, b.backg),
                             [](const Complex* x, const Complex* y, Complex* d, int64_t n) {
                               vistelmo::floats_add(floats(x), floats(y), floats(d), 2 * n);
                             });
}
