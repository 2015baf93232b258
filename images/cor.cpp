// COR operators and the colour spaces of one colour: HSI, YUV, CIE XYZ and L*a*b*.
#include <algorithm>
#include <cmath>

#include "foundation/math_internal.h"
#include "images/colour_internal.h"
#include "images/cor.h"

using vistelmo::round_to_byte;
using vistelmo::unit_to_byte;

namespace {

using vistelmo::kPi;

// sRGB companding constants.
constexpr double kSrgbOffset = 0.055;
constexpr double kSrgbGamma = 2.4;

// Linear sRGB to XYZ, rows X, Y, Z.
constexpr double kRgbToXyz[3][3] = {
    {0.412424, 0.357579, 0.180464}, {0.212656, 0.715158, 0.072186}, {0.019332, 0.119193, 0.950444}};
// XYZ to linear sRGB, rows r, g, b.
constexpr double kXyzToRgb[3][3] = {
    {3.2406, -1.5372, -0.4986}, {-0.9689, 1.8758, 0.0415}, {0.0557, -0.2040, 1.0570}};

PONTO3 product(const double (&m)[3][3], double x, double y, double z) {
  return PONTO3(m[0][0] * x + m[0][1] * y + m[0][2] * z, m[1][0] * x + m[1][1] * y + m[1][2] * z,
                m[2][0] * x + m[2][1] * y + m[2][2] * z);
}

double yuv_y(double r, double g, double b) {
  return (65.738 * r + 129.057 * g + 25.064 * b) / 256 + 16;
}
double yuv_u(double r, double g, double b) {
  return (-37.945 * r - 74.494 * g + 112.439 * b) / 256 + 128;
}
double yuv_v(double r, double g, double b) {
  return (112.439 * r - 94.154 * g - 18.285 * b) / 256 + 128;
}

double lab_inverse(double t) {
  constexpr double d = 6.0 / 29.0;
  return t > d ? t * t * t : 3 * (d * d) * (t - 16.0 / 116.0);
}

}  // namespace

COR operator-(COR c) {
  return COR{static_cast<unsigned char>(255 - c.r), static_cast<unsigned char>(255 - c.g),
             static_cast<unsigned char>(255 - c.b)};
}

COR operator!(COR c) { return -c; }

COR operator||(COR x, COR y) {
  return COR{std::max(x.r, y.r), std::max(x.g, y.g), std::max(x.b, y.b)};
}

COR operator&&(COR x, COR y) {
  return COR{std::min(x.r, y.r), std::min(x.g, y.g), std::min(x.b, y.b)};
}

bool operator==(COR x, COR y) { return x.r == y.r && x.g == y.g && x.b == y.b; }
bool operator!=(COR x, COR y) { return !(x == y); }

COR& vira(COR& c) {
  std::swap(c.r, c.b);
  return c;
}

uint32_t& vira(uint32_t& x) {
  x = (x >> 24) | ((x >> 8) & 0x0000FF00u) | ((x << 8) & 0x00FF0000u) | (x << 24);
  return x;
}

unsigned long& vira(unsigned long& x) {
  uint32_t u = static_cast<uint32_t>(x);
  x = vira(u);
  return x;
}

int& vira(int& x) {
  uint32_t u = static_cast<uint32_t>(x);
  x = static_cast<int>(vira(u));
  return x;
}

COR RGB2HSI(COR c, int k) {
  const float r = c.r / 255.0f, g = c.g / 255.0f, b = c.b / 255.0f;
  const double sum = static_cast<double>(r) + g + b;
  const double I = sum / 3;
  double H = 0, S = 0;
  if (!(I < 0.00001)) {
    const double rn = r / sum, gn = g / sum, bn = b / sum;
    S = 1 - 3 * std::min(rn, std::min(gn, bn));
    const double dr = static_cast<double>(r) - g, db = static_cast<double>(r) - b;
    const double gb = static_cast<double>(g) - b;
    const double den = dr * dr + db * gb;
    if (!(den < 0.00001)) {
      double theta = std::acos((dr + db) * 0.5 / std::sqrt(den));
      if (bn > gn) theta = 2 * kPi - theta;
      H = theta - (2 * k) * kPi / 3;
      if (H < 0) H += 2 * kPi;
    }
  }
  const float h = static_cast<float>(H / (2 * kPi));
  const float s = static_cast<float>(S);
  const float i = static_cast<float>(I);
  return COR{unit_to_byte(h), unit_to_byte(s), unit_to_byte(i)};
}

COR HSI2RGB(COR c, int k) {
  double h = static_cast<float>(c.r / 255.0) + k / 3.0;
  if (h > 1) h -= 1;
  const float s = static_cast<float>(c.g / 255.0);
  auto q = [s](double x) { return (1 + s * std::cos(x) / std::cos(kPi / 3 - x)) / 3; };
  const double p = (1.0 - s) / 3;
  double red, green, blue;
  if (h <= 1.0 / 3) {
    red = q(2 * kPi * h);
    blue = p;
    green = 1 - (red + blue);
  } else if (h <= 2.0 / 3) {
    red = p;
    green = q(2 * kPi * (h - 1.0 / 3));
    blue = 1 - (red + green);
  } else {
    green = p;
    blue = q(2 * kPi * (h - 2.0 / 3));
    red = 1 - (green + blue);
  }
  const double m = 3 * static_cast<double>(static_cast<float>(c.b / 255.0));
  return COR{unit_to_byte(static_cast<float>(red * m)), unit_to_byte(static_cast<float>(green * m)),
             unit_to_byte(static_cast<float>(blue * m))};
}

COR RGB2YUV(COR c) {
  return COR{static_cast<unsigned char>(RGB2Y(c)), static_cast<unsigned char>(RGB2U(c)),
             static_cast<unsigned char>(RGB2V(c))};
}

int RGB2Y(COR c) { return round_to_byte(yuv_y(c.r, c.g, c.b)); }
int RGB2U(COR c) { return round_to_byte(yuv_u(c.r, c.g, c.b)); }
int RGB2V(COR c) { return round_to_byte(yuv_v(c.r, c.g, c.b)); }

COR YUV2RGB(COR c) {
  const double y = 256 * c.r - 4096, u = 256 * c.g - 32768, v = 256 * c.b - 32768;
  const double red = 0.00454837 * y - 2.61173e-08 * u + 0.00623448 * v;
  const double green = 0.00454837 * y - 0.00153032 * u - 0.00317567 * v;
  const double blue = 0.00454837 * y + 0.00787982 * u - 7.12097e-09 * v;
  return COR{round_to_byte(red), round_to_byte(green), round_to_byte(blue)};
}

double CIEXYZg(double v) {
  if (v <= 0.04045) return v / 12.92;
  return std::pow((v + kSrgbOffset) / (1 + kSrgbOffset), kSrgbGamma);
}

double CIEXYZh(double v) {
  if (v <= 0.0031308) return 12.92 * v;
  return (1 + kSrgbOffset) * std::pow(v, 1 / kSrgbGamma) - kSrgbOffset;
}

double CIELabf(double t) {
  if (t <= 0.008856) return 7.787 * t + 16.0 / 116.0;
  return std::pow(t, 1.0 / 3.0);
}

PONTO3 RGB2XYZ(COR c) {
  return product(kRgbToXyz, CIEXYZg(c.r / 255.0), CIEXYZg(c.g / 255.0), CIEXYZg(c.b / 255.0));
}

COR XYZ2RGB(PONTO3 p) {
  const PONTO3 lin = product(kXyzToRgb, p.x, p.y, p.z);
  return COR{unit_to_byte(CIEXYZh(lin.x)), unit_to_byte(CIEXYZh(lin.y)),
             unit_to_byte(CIEXYZh(lin.z))};
}

PONTO3 XYZ2Lab(PONTO3 p) {
  const double fx = CIELabf(p.x), fy = CIELabf(p.y), fz = CIELabf(p.z);
  return PONTO3(116 * fy - 16, 500 * (fx - fy), 200 * (fy - fz));
}

PONTO3 Lab2XYZ(PONTO3 p) {
  const double fy = (p.x + 16) / 116;
  const double fx = fy + p.y / 500;
  const double fz = fy - p.z / 200;
  return PONTO3(lab_inverse(fx), lab_inverse(fy), lab_inverse(fz));
}

PONTO3 RGB2Lab(COR c) { return XYZ2Lab(RGB2XYZ(c)); }

COR Lab2RGB(PONTO3 p) { return XYZ2RGB(Lab2XYZ(p)); }

double DeltaE(COR c1, COR c2) {
  const PONTO3 a = RGB2Lab(c1), b = RGB2Lab(c2);
  const double dl = a.x - b.x, da = a.y - b.y, db = a.z - b.z;
  return std::sqrt(dl * dl + da * da + db * db);
}
