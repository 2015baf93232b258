// Storage rules of the seven image classes: sizes, fills, copies, resize and assignment.
#include <climits>
#include <complex>
#include <cstring>
#include <type_traits>
#include <utility>

#include "support/test_support.h"
#include "vistelmo.h"

namespace {

// A distinct value for each k, the class default outside value and the class's allocation message.
template <class Img>
struct Px;
template <>
struct Px<IMGGRY> {
  static unsigned char v(int k) { return static_cast<unsigned char>(k * 37 + 11); }
  static unsigned char def() { return 0; }
  static constexpr const char* aloca_msg = "Erro IMGGRY::aloca - Falta memoria";
};
template <>
struct Px<IMGCOR> {
  static COR v(int k) {
    return COR{static_cast<unsigned char>(k + 1), static_cast<unsigned char>(2 * k + 5),
               static_cast<unsigned char>(250 - k)};
  }
  static COR def() { return COR{0, 0, 0}; }
  static constexpr const char* aloca_msg = "Erro IMGCOR::aloca - Falta memoria";
};
template <>
struct Px<IMGSHT> {
  static short v(int k) { return static_cast<short>(k * 1001 - 7000); }
  static short def() { return 0; }
  static constexpr const char* aloca_msg = "Erro IMGSHT::aloca - Falta memoria";
};
template <>
struct Px<IMGFLT> {
  static float v(int k) { return 0.25f * static_cast<float>(k) - 1.5f; }
  static float def() { return 0.0f; }
  static constexpr const char* aloca_msg = "Erro IMGFLT::aloca - Falta memoria";
};
template <>
struct Px<IMGDBL> {
  static double v(int k) { return 0.1 * k - 0.7; }
  static double def() { return 0.0; }
  static constexpr const char* aloca_msg = "Erro IMGDBL::aloca - Falta memoria";
};
template <>
struct Px<IMGCPX> {
  static std::complex<float> v(int k) {
    return {static_cast<float>(k) + 0.5f, -static_cast<float>(k)};
  }
  static std::complex<float> def() { return {0.0f, 0.0f}; }
  static constexpr const char* aloca_msg = "Erro IMGCPX::aloca - Falta memoria";
};
template <>
struct Px<IMGBIN> {
  static bool v(int k) { return (k * 7) % 3 == 0; }
  static bool def() { return true; }
  static constexpr const char* aloca_msg = "Erro IMGBIN::aloca - falta memoria";
};

using testutil::same;

template <class Img>
typename Img::Pixel at(Img& im, int l, int c) {
  return static_cast<typename Img::Pixel>(im(l, c));
}
template <class Img>
typename Img::Pixel outside(Img& im) {
  return at(im, -1, -1);
}

// Sets pixel (l, c) to Px::v(l * nc + c + seed).
template <class Img>
void paint(Img& im, int seed = 0) {
  for (int l = 0; l < im.nl(); l++)
    for (int c = 0; c < im.nc(); c++) im(l, c) = Px<Img>::v(l * im.nc() + c + seed);
}
template <class Img>
bool painted(Img& im, int seed = 0) {
  for (int l = 0; l < im.nl(); l++)
    for (int c = 0; c < im.nc(); c++)
      if (!same(at(im, l, c), Px<Img>::v(l * im.nc() + c + seed))) return false;
  return true;
}

template <class Img>
class ImageStorage : public ::testing::Test {};
using ImageClasses = ::testing::Types<IMGGRY, IMGCOR, IMGSHT, IMGFLT, IMGDBL, IMGCPX, IMGBIN>;
TYPED_TEST_SUITE(ImageStorage, ImageClasses);

struct SizeCase {
  int nl, nc, lc, cc, n;
};
const SizeCase kSizes[] = {
    {4, 5, 1, 2, 20}, {3, 3, 1, 1, 9}, {2, 2, 0, 0, 4},    {1, 1, 0, 0, 1},     {6, 1, 2, 0, 6},
    {0, 5, 0, 2, 0},  {5, 0, 2, 0, 0}, {-1, 5, -1, 2, -5}, {-3, -2, -2, -1, 6},
};

TYPED_TEST(ImageStorage, SizesCentresAndStorage) {
  for (const SizeCase& s : kSizes) {
    SCOPED_TRACE(testing::Message() << s.nl << " x " << s.nc);
    TypeParam im(s.nl, s.nc);
    EXPECT_EQ(im.nl, s.nl);
    EXPECT_EQ(im.nl(), s.nl);
    EXPECT_EQ(im.nc(), s.nc);
    EXPECT_EQ(im.n(), s.n);
    EXPECT_EQ(im.n, s.n);
    EXPECT_EQ(im.lc, s.lc);
    EXPECT_EQ(im.cc, s.cc);
    const bool empty = s.nl < 1 || s.nc < 1;
    EXPECT_EQ(im.data == nullptr, empty);
    EXPECT_EQ(im.rows == nullptr, empty);
    EXPECT_TRUE(same(outside(im), Px<TypeParam>::def()));
  }
  TypeParam def;
  EXPECT_EQ(def.nl(), 0);
  EXPECT_EQ(def.nc(), 0);
  EXPECT_EQ(def.n(), 0);
  EXPECT_EQ(def.data, nullptr);
}

TYPED_TEST(ImageStorage, ValueConstructorAndFills) {
  const auto v = Px<TypeParam>::v(4);
  TypeParam im(3, 4, v);
  for (int l = 0; l < 3; l++)
    for (int c = 0; c < 4; c++) EXPECT_TRUE(same(at(im, l, c), v));
  EXPECT_TRUE(same(outside(im), Px<TypeParam>::def()));

  const auto w = Px<TypeParam>::v(5);
  im.fill(w);
  EXPECT_TRUE(same(at(im, 2, 3), w));
  EXPECT_TRUE(same(outside(im), Px<TypeParam>::def()));

  using P = typename TypeParam::Pixel;
  P values[12];
  for (int k = 0; k < 12; k++) values[k] = Px<TypeParam>::v(k);
  im.fill(values);
  EXPECT_TRUE(painted(im));

  TypeParam empty(0, 4);  // nothing to fill
  empty.fill(w);
  empty.fill(values);
  EXPECT_EQ(empty.data, nullptr);
}

// A caller's fill(0) is the value zero, not a null array (IMGCOR has no integer value).
TYPED_TEST(ImageStorage, FillWithLiteralZero) {
  if constexpr (!std::is_same_v<TypeParam, IMGCOR>) {
    TypeParam im(2, 3);
    paint(im, 1);
    im.fill(0);
    for (int l = 0; l < 2; l++)
      for (int c = 0; c < 3; c++) EXPECT_TRUE(same(at(im, l, c), typename TypeParam::Pixel(0)));
    im.fill(1);
    EXPECT_TRUE(same(at(im, 1, 2), typename TypeParam::Pixel(1)));
  }
}

TYPED_TEST(ImageStorage, CopyConstructorIsDeep) {
  TypeParam a(3, 40);
  paint(a);
  a(-1, -1) = Px<TypeParam>::v(2);
  a.lc = 7;
  a.cc = -4;
  TypeParam b(a);
  EXPECT_NE(b.data, a.data);
  EXPECT_TRUE(painted(b));
  EXPECT_TRUE(same(outside(b), Px<TypeParam>::v(2)));
  EXPECT_EQ(b.lc, 7);
  EXPECT_EQ(b.cc, -4);
  paint(a, 1);
  EXPECT_TRUE(painted(b));

  TypeParam e(0, 3);
  TypeParam f(e);
  EXPECT_EQ(f.data, nullptr);
  EXPECT_EQ(f.nc(), 3);
}

TYPED_TEST(ImageStorage, MoveTakesTheBlockAndLeavesNoPixels) {
  TypeParam a(3, 40);
  paint(a);
  a(-1, -1) = Px<TypeParam>::v(2);
  a.lc = 7;
  a.cc = -4;
  const auto* block = a.data;
  TypeParam b(std::move(a));
  EXPECT_EQ(b.data, block);
  EXPECT_EQ(b.nl(), 3);
  EXPECT_EQ(b.nc(), 40);
  EXPECT_EQ(b.n(), 120);
  EXPECT_TRUE(painted(b));
  EXPECT_TRUE(same(outside(b), Px<TypeParam>::v(2)));
  EXPECT_EQ(b.lc, 7);
  EXPECT_EQ(b.cc, -4);
  EXPECT_EQ(a.data, nullptr);
  EXPECT_EQ(a.rows, nullptr);
  EXPECT_EQ(a.nl(), 0);
  EXPECT_EQ(a.nc(), 0);
  a.resize(2, 2);  // the moved-from image is a usable empty image
  EXPECT_NE(a.data, nullptr);
}

TYPED_TEST(ImageStorage, ResizeToSameSizeKeepsEverything) {
  TypeParam im(4, 5);
  paint(im);
  im(-1, -1) = Px<TypeParam>::v(1);
  im.lc = 3;
  im.cc = 0;
  auto* block = im.data;
  im.resize(4, 5);
  EXPECT_EQ(im.data, block);
  EXPECT_TRUE(painted(im));
  EXPECT_TRUE(same(outside(im), Px<TypeParam>::v(1)));
  EXPECT_EQ(im.lc, 3);
  EXPECT_EQ(im.cc, 0);
}

TYPED_TEST(ImageStorage, ResizeToOtherSizeResetsOutsideAndCentre) {
  TypeParam im(4, 5);
  im(-1, -1) = Px<TypeParam>::v(1);
  im.lc = 3;
  im.resize(6, 33);
  EXPECT_EQ(im.nl(), 6);
  EXPECT_EQ(im.nc(), 33);
  EXPECT_EQ(im.n(), 198);
  EXPECT_EQ(im.lc, 2);
  EXPECT_EQ(im.cc, 16);
  EXPECT_TRUE(same(outside(im), Px<TypeParam>::def()));
  paint(im);
  EXPECT_TRUE(painted(im));
  im.resize(0, 0);
  EXPECT_EQ(im.data, nullptr);
  EXPECT_EQ(im.rows, nullptr);
}

TYPED_TEST(ImageStorage, AssignmentOfEqualSizeReusesTheBlock) {
  TypeParam a(3, 35), b(3, 35);
  paint(a, 2);
  a(-1, -1) = Px<TypeParam>::v(3);
  a.lc = -1;
  a.cc = 30;
  auto* block = b.data;
  TypeParam& r = (b = a);
  EXPECT_EQ(&r, &b);
  EXPECT_EQ(b.data, block);
  EXPECT_TRUE(painted(b, 2));
  EXPECT_TRUE(same(outside(b), Px<TypeParam>::v(3)));
  EXPECT_EQ(b.lc, -1);
  EXPECT_EQ(b.cc, 30);
}

TYPED_TEST(ImageStorage, AssignmentOfOtherSizeReallocates) {
  TypeParam a(5, 2), b(1, 1);
  paint(a);
  b = a;
  EXPECT_EQ(b.nl(), 5);
  EXPECT_EQ(b.nc(), 2);
  EXPECT_NE(b.data, a.data);
  EXPECT_TRUE(painted(b));
  TypeParam e;
  b = e;
  EXPECT_EQ(b.nl(), 0);
  EXPECT_EQ(b.data, nullptr);
}

TYPED_TEST(ImageStorage, SelfAssignmentChangesNothing) {
  TypeParam a(2, 3);
  paint(a);
  auto* block = a.data;
  TypeParam& self = a;
  a = self;
  EXPECT_EQ(a.data, block);
  EXPECT_TRUE(painted(a));
}

TYPED_TEST(ImageStorage, CopiaCopiesCentreAndOutsideButNotSize) {
  TypeParam a(2, 33), b(2, 33);
  paint(a, 5);
  a(-1, -1) = Px<TypeParam>::v(9);
  a.lc = 1;
  a.cc = 1;
  auto* block = b.data;
  b.copia(a);
  EXPECT_EQ(b.data, block);
  EXPECT_TRUE(painted(b, 5));
  EXPECT_TRUE(same(outside(b), Px<TypeParam>::v(9)));
  EXPECT_EQ(b.lc, 1);
  EXPECT_EQ(b.cc, 1);
}

TYPED_TEST(ImageStorage, CopiaOfOtherSizeFails) {
  TypeParam a(2, 3), b(3, 2);
  EXPECT_ERRO(b.copia(a), "Erro: a.nl()!=nl() || a.nc()!=nc()", "");
}

TYPED_TEST(ImageStorage, AfterDesalocaSizesStayAndStorageComesBack) {
  TypeParam im(3, 4);
  im.desaloca();
  EXPECT_EQ(im.data, nullptr);
  EXPECT_EQ(im.rows, nullptr);
  EXPECT_EQ(im.n(), 12);
  EXPECT_EQ(im.nl(), 3);
  im.desaloca();  // nothing more to free

  // Without storage every access is outside, also for a write.
  im(1, 1) = Px<TypeParam>::v(6);
  EXPECT_TRUE(same(outside(im), Px<TypeParam>::v(6)));
  EXPECT_TRUE(same(at(im, 0, 0), Px<TypeParam>::v(6)));

  im.resize(3, 4);
  ASSERT_NE(im.data, nullptr);
  paint(im);
  EXPECT_TRUE(painted(im));

  TypeParam src(3, 4);
  paint(src, 3);
  im.desaloca();
  im = src;
  ASSERT_NE(im.data, nullptr);
  EXPECT_TRUE(painted(im, 3));
}

TYPED_TEST(ImageStorage, SizesPastIntAreRefused) {
  EXPECT_ERRO(TypeParam(70000, 70000), Px<TypeParam>::aloca_msg, "");
  EXPECT_ERRO(TypeParam(65536, 65536), Px<TypeParam>::aloca_msg, "");
}

TEST(ImageStorageOne, ComplexPixelsStartAtZero) {
  IMGCPX im(2, 2);
  for (int k = 0; k < 4; k++) EXPECT_EQ(im.data[k], std::complex<float>(0, 0));
  im.fill(std::complex<float>(3, 4));
  im.resize(3, 2);
  for (int k = 0; k < 6; k++) EXPECT_EQ(im.data[k], std::complex<float>(0, 0));
}

TEST(ImageStorageOne, ColourRowsAreRawRgbBytes) {
  IMGCOR im(1, 2, 10, 20, 30, 40, 50, 60);
  const unsigned char expected[6] = {10, 20, 30, 40, 50, 60};
  EXPECT_EQ(std::memcmp(im.rows[0], expected, 6), 0);
}

TEST(ImageStorageOne, VariadicConstructors) {
  IMGGRY g(2, 2, 1, 2, 3, 4);
  EXPECT_EQ(g(0, 0), 1);
  EXPECT_EQ(g(0, 1), 2);
  EXPECT_EQ(g(1, 0), 3);
  EXPECT_EQ(g(1, 1), 4);
  EXPECT_EQ(IMGGRY(1, 1, 7, 9)(0, 0), 7);
  EXPECT_EQ(IMGGRY(1, 3, 7, 9, 300)(0, 2), 44);

  IMGSHT s(1, 3, -5, 6, 70000);
  EXPECT_EQ(s(0, 0), -5);
  EXPECT_EQ(s(0, 1), 6);
  EXPECT_EQ(s(0, 2), 4464);

  IMGFLT f(2, 2, 0.1, 0.2, 0.3, 0.4);
  EXPECT_EQ(f(0, 0), 0.1f);
  EXPECT_EQ(f(0, 1), 0.2f);
  EXPECT_EQ(f(1, 0), 0.3f);

  IMGDBL d(1, 3, 0.1, 0.2, 0.3);
  EXPECT_EQ(d(0, 2), 0.3);

  IMGCOR c(2, 1, 10, 20, 30, 300, 50, 60);
  EXPECT_EQ(c(0, 0).r, 10);
  EXPECT_EQ(c(0, 0).b, 30);
  EXPECT_EQ(c(1, 0).r, 44);
  EXPECT_EQ(c(1, 0).g, 50);
  EXPECT_EQ(c(1, 0).b, 60);

  IMGCPX x(1, 2, 1.5f, -2.0f, 0.1, 4.0);
  EXPECT_EQ(x(0, 0), std::complex<float>(1.5f, -2.0f));
  EXPECT_EQ(x(0, 1), std::complex<float>(0.1f, 4.0f));

  IMGBIN b(1, 3, true, false, 2);
  EXPECT_TRUE(b(0, 0));
  EXPECT_FALSE(b(0, 1));
  EXPECT_TRUE(b(0, 2));

  // The list runs on across the row break.
  IMGBIN w(2, 2, false, true, 1, 0);
  EXPECT_FALSE(w(0, 0));
  EXPECT_TRUE(w(0, 1));
  EXPECT_TRUE(w(1, 0));
  EXPECT_FALSE(w(1, 1));
}

// Words a row and words in all.
TEST(ImageStorageOne, BinaryWordCounts) {
  const struct {
    int nl, nc, wpr, nw;
  } cases[] = {{3, 32, 1, 3}, {3, 33, 2, 6}, {0, 7, 0, 0}, {1, 1, 1, 1},
               {2, 64, 2, 4}, {2, 65, 3, 6}, {4, 0, 0, 0}, {5, 100, 4, 20}};
  for (const auto& k : cases) {
    IMGBIN b(k.nl, k.nc);
    EXPECT_EQ(b.wpr, k.wpr) << k.nl << " x " << k.nc;
    EXPECT_EQ(b.nw, k.nw) << k.nl << " x " << k.nc;
    if (k.nw > 0) {
      EXPECT_EQ(b.rows[k.nl - 1], b.data + (k.nl - 1) * k.wpr);
    }
  }
}

TEST(ImageStorageOne, BinaryBlockAndOutsideWordStartZeroed) {
  IMGBIN b(3, 33);
  EXPECT_EQ(b.backg, 1u);
  for (int k = 0; k < b.nw; k++) EXPECT_EQ(b.data[k], 0u);
  IMGBIN black(2, 3, false);
  EXPECT_FALSE(black(1, 2));
  EXPECT_EQ(black.backg, 1u);  // value constructor leaves the outside white
}

TEST(ImageStorageOne, BinaryFillsLeaveSpareBits) {
  IMGBIN b(2, 33);
  b.data[1] = 0x00ABCDEFu;  // spare bits of row 0
  b.data[3] = 0u;
  b.fill(true);
  EXPECT_EQ(b.data[0], 0xFFFFFFFFu);
  EXPECT_EQ(b.data[1], 0x80ABCDEFu);
  EXPECT_EQ(b.data[3], 0x80000000u);
  b.fill(false);
  EXPECT_EQ(b.data[0], 0u);
  EXPECT_EQ(b.data[1], 0x00ABCDEFu);

  bool values[66] = {};
  values[32] = values[33] = values[65] = true;
  b.fill(values);
  EXPECT_EQ(b.data[1], 0x80ABCDEFu);
  EXPECT_EQ(b.data[2], 0x80000000u);
  EXPECT_EQ(b.data[3], 0x80000000u);
}

TEST(ImageStorageOne, BinaryCopiesCarrySpareBitsAndTheWholeOutsideWord) {
  IMGBIN a(2, 40);
  a.data[1] = 0x00FF00FFu;
  a.backg = 0xDEADBEEEu;
  IMGBIN b(a);
  EXPECT_EQ(b.data[1], 0x00FF00FFu);
  EXPECT_EQ(b.backg, 0xDEADBEEEu);
  IMGBIN c(2, 40), d(1, 1);
  c = a;
  d = a;
  EXPECT_EQ(c.backg, 0xDEADBEEEu);
  EXPECT_EQ(d.data[1], 0x00FF00FFu);
  IMGBIN e(2, 40);
  e.copia(a);
  EXPECT_EQ(e.data[1], 0x00FF00FFu);
  EXPECT_EQ(e.backg, 0xDEADBEEEu);
}

}  // namespace

TEST(ImageStorage, CentreOfTheSmallestSizeHasNoOverflow) {
  IMGGRY g(INT32_MIN, 3);
  EXPECT_EQ(g.lc, -1073741824);
  EXPECT_EQ(g.cc, 1);
  IMGBIN b(3, INT32_MIN);
  EXPECT_EQ(b.cc, -1073741824);
  EXPECT_EQ(b.data, nullptr);
}
