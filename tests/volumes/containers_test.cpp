// Volume containers: sizes, copies, resize, assignment, fills, access and normalisation.
#include <array>
#include <climits>
#include <cmath>
#include <complex>
#include <string>

#include "foundation/memory_limit.h"
#include "support/test_support.h"
#include "volumes/volumes.h"

namespace {

// A distinct value for each k and the class's name.
template <class Vol>
struct Vx;
template <>
struct Vx<I3DGRY> {
  static unsigned char v(int k) { return static_cast<unsigned char>(k * 37 + 11); }
  static constexpr const char* name = "I3DGRY";
};
template <>
struct Vx<I3DCOR> {
  static COR v(int k) {
    return COR{static_cast<unsigned char>(k + 1), static_cast<unsigned char>(2 * k + 5),
               static_cast<unsigned char>(250 - k)};
  }
  static constexpr const char* name = "I3DCOR";
};
template <>
struct Vx<I3DSHT> {
  static short v(int k) { return static_cast<short>(k * 1001 - 7000); }
  static constexpr const char* name = "I3DSHT";
};
template <>
struct Vx<I3DFLT> {
  static float v(int k) { return 0.25f * static_cast<float>(k) - 1.5f; }
  static constexpr const char* name = "I3DFLT";
};
template <>
struct Vx<I3DCPX> {
  static std::complex<float> v(int k) {
    return {static_cast<float>(k) + 0.5f, -static_cast<float>(k)};
  }
  static constexpr const char* name = "I3DCPX";
};

// Sets voxel (s, l, c) to Vx::v of its index plus seed.
template <class Vol>
void paint(Vol& v, int seed = 0) {
  for (int s = 0; s < v.ns(); s++)
    for (int l = 0; l < v.nl(); l++)
      for (int c = 0; c < v.nc(); c++)
        v(s, l, c) = Vx<Vol>::v((s * v.nl() + l) * v.nc() + c + seed);
}
template <class Vol>
bool painted(const Vol& v, int seed = 0) {
  for (int s = 0; s < v.ns(); s++)
    for (int l = 0; l < v.nl(); l++)
      for (int c = 0; c < v.nc(); c++)
        if (!(v(s, l, c) == Vx<Vol>::v((s * v.nl() + l) * v.nc() + c + seed))) return false;
  return true;
}

template <class Vol>
std::string index_msg() {
  return std::string("Erro ") + Vx<Vol>::name + "::operator() - Indice invalido";
}

template <class Vol>
class Volume3 : public ::testing::Test {};
using Classes3 = ::testing::Types<I3DGRY, I3DCOR, I3DSHT, I3DFLT, I3DCPX>;
TYPED_TEST_SUITE(Volume3, Classes3);

TYPED_TEST(Volume3, SizesAndSlices) {
  struct Case {
    int ns, nl, nc;
    bool slices;  // array present
    bool pixels;  // slices hold pixels
  };
  const Case cases[] = {{2, 3, 4, true, true},    {1, 1, 1, true, true},  {0, 5, 7, false, false},
                        {-2, 3, 4, false, false}, {3, 0, 4, true, false}, {3, 4, -1, true, false}};
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::Message() << k.ns << " " << k.nl << " " << k.nc);
    TypeParam v(k.ns, k.nl, k.nc);
    EXPECT_EQ(v.ns(), k.ns);
    EXPECT_EQ(v.nl, k.nl);
    EXPECT_EQ(v.nc(), k.nc);
    EXPECT_EQ(v.slices != nullptr, k.slices);
    EXPECT_TRUE(v.backg == typename TypeParam::Pixel());
    for (int s = 0; s < k.ns; s++) {
      EXPECT_EQ(v(s).nl(), k.nl);
      EXPECT_EQ(v(s).nc(), k.nc);
      EXPECT_EQ(v(s).data != nullptr, k.pixels);
      EXPECT_EQ(v(s).lc, (k.nl - 1) / 2);
      EXPECT_EQ(v(s).cc, (k.nc - 1) / 2);
    }
    // Nothing to do on an empty volume.
    v.fill(Vx<TypeParam>::v(1));
  }
  TypeParam def;
  EXPECT_EQ(def.ns(), 0);
  EXPECT_EQ(def.slices, nullptr);
}

TYPED_TEST(Volume3, VoxelAccessOutsideIsTheOutsideValue) {
  TypeParam v(2, 3, 4);
  paint(v);
  EXPECT_TRUE(painted(v));
  EXPECT_TRUE(v(1, 2, 3) == v(1).data[11]);
  const auto b = Vx<TypeParam>::v(99);
  v(-1, 0, 0) = b;
  EXPECT_TRUE(v.backg == b);
  for (auto p : {std::array<int, 3>{2, 0, 0}, {0, 3, 0}, {0, 0, 4}, {0, -1, 0}, {0, 0, -1}})
    EXPECT_TRUE(v(p[0], p[1], p[2]) == b);
  EXPECT_TRUE(painted(v));

  TypeParam empty(0, 5, 7);
  EXPECT_TRUE(empty(0, 0, 0) == empty.backg);
}

TYPED_TEST(Volume3, SliceIndexOutsideIsFatal) {
  TypeParam v(3, 2, 2);
  for (int s : {-1, 3, INT_MIN}) EXPECT_ERRO(v(s), index_msg<TypeParam>(), "");
  const TypeParam& cv = v;
  EXPECT_ERRO(cv(3), index_msg<TypeParam>(), "");
  TypeParam empty(0, 5, 7);
  EXPECT_ERRO(empty(0), index_msg<TypeParam>(), "");
}

TYPED_TEST(Volume3, FillSetsEveryVoxelNotTheOutsideValue) {
  TypeParam v(3, 2, 5);
  const auto b = Vx<TypeParam>::v(7), x = Vx<TypeParam>::v(8);
  v.backg = b;
  v(2).backg = b;
  v.fill(x);
  for (int s = 0; s < 3; s++)
    for (int k = 0; k < 10; k++) EXPECT_TRUE(v(s).data[k] == x);
  EXPECT_TRUE(v.backg == b);
  EXPECT_TRUE(v(2).backg == b);
}

TYPED_TEST(Volume3, CopyIsDeepAndTakesOutsideValuesAndCentres) {
  TypeParam a(2, 3, 4);
  paint(a);
  a.backg = Vx<TypeParam>::v(50);
  a(1).backg = Vx<TypeParam>::v(51);
  a(1).lc = -3;
  a(0).cc = 9;

  TypeParam b(a);
  EXPECT_EQ(b.ns(), 2);
  EXPECT_NE(b.slices, a.slices);
  EXPECT_NE(b(0).data, a(0).data);
  EXPECT_TRUE(painted(b));
  EXPECT_TRUE(b.backg == a.backg);
  EXPECT_TRUE(b(1).backg == a(1).backg);
  EXPECT_EQ(b(1).lc, -3);
  EXPECT_EQ(b(0).cc, 9);
  b(0, 0, 0) = Vx<TypeParam>::v(77);
  EXPECT_TRUE(painted(a));

  TypeParam e(0, 4, 6);
  TypeParam f(e);
  EXPECT_EQ(f.slices, nullptr);
  EXPECT_EQ(f.nl(), 4);
  EXPECT_EQ(f.nc(), 6);
}

TYPED_TEST(Volume3, AssignmentKeepsStorageOfTheSameSize) {
  TypeParam a(2, 3, 4), b(2, 3, 4);
  paint(a, 5);
  a.backg = Vx<TypeParam>::v(3);
  auto* slices = b.slices;
  auto* data = b(1).data;
  b = a;
  EXPECT_EQ(b.slices, slices);
  EXPECT_EQ(b(1).data, data);
  EXPECT_TRUE(painted(b, 5));
  EXPECT_TRUE(b.backg == a.backg);

  TypeParam c(1, 1, 1);
  c = a;
  EXPECT_EQ(c.ns(), 2);
  EXPECT_EQ(c.nl(), 3);
  EXPECT_TRUE(painted(c, 5));

  TypeParam d(4, 2, 2);
  d = TypeParam(0, 2, 2);
  EXPECT_EQ(d.ns(), 0);
  EXPECT_EQ(d.slices, nullptr);

  c = *&c;  // assignment to itself
  EXPECT_TRUE(painted(c, 5));
  EXPECT_EQ(c.ns(), 2);
}

TYPED_TEST(Volume3, ResizeKeepsOnlyTheSameSize) {
  TypeParam v(2, 3, 4);
  paint(v);
  const auto b = Vx<TypeParam>::v(40);
  v.backg = b;
  auto* slices = v.slices;
  v.resize(2, 3, 4);
  EXPECT_EQ(v.slices, slices);
  EXPECT_TRUE(painted(v));

  v.resize(3, 3, 4);
  EXPECT_EQ(v.ns(), 3);
  EXPECT_TRUE(v.backg == b);
  for (int s = 0; s < 3; s++) {
    EXPECT_EQ(v(s).nl(), 3);
    EXPECT_EQ(v(s).nc(), 4);
  }
  v.resize(0, 1, 1);
  EXPECT_EQ(v.slices, nullptr);
  EXPECT_EQ(v.nl(), 1);
  EXPECT_TRUE(v.backg == b);
}

TYPED_TEST(Volume3, CopiaCopiesIntoTheSameSize) {
  TypeParam a(2, 2, 3), b(2, 2, 3);
  paint(a, 2);
  a.backg = Vx<TypeParam>::v(9);
  a(0).lc = 7;
  auto* data = b(0).data;
  b.copia(a);
  EXPECT_TRUE(painted(b, 2));
  EXPECT_TRUE(b.backg == a.backg);
  EXPECT_EQ(b(0).lc, 7);
  EXPECT_EQ(b(0).data, data);

  // A source with more slices gives its first ones.
  TypeParam c(1, 2, 3);
  c.copia(a);
  EXPECT_TRUE(painted(c, 2));
}

TYPED_TEST(Volume3, CopiaRefusesASmallerOrOtherSizedSource) {
  const std::string msg =
      std::string("Erro ") + Vx<TypeParam>::name + "::copia - Dimensoes diferentes";
  TypeParam a(2, 2, 3);
  EXPECT_ERRO(TypeParam(3, 2, 3).copia(a), msg, "");
  EXPECT_ERRO(TypeParam(2, 3, 3).copia(a), msg, "");
  EXPECT_ERRO(TypeParam(2, 2, 2).copia(a), msg, "");
  TypeParam(0, 9, 9).copia(a);  // nothing to copy but the outside value
}

TYPED_TEST(Volume3, ImpossibleSizeIsFatal) {
  const std::string msg = std::string("Erro ") + Vx<TypeParam>::name + "::aloca - Falta memoria";
  EXPECT_ERRO(
      {
        testutil::limit_address_space();
        TypeParam v(INT_MAX, 1, 1);
      },
      msg, "");
  EXPECT_ERRO(
      {
        testutil::limit_address_space();
        TypeParam v(1, 1, 1);
        v.resize(200000000, 0, 0);
      },
      msg, "");
}

TEST(Volume3Colour, FrameTime) {
  I3DCOR v(2, 2, 2);
  EXPECT_EQ(v.fd, 250000);
  v.fd = 40000;
  v.resize(2, 2, 2);
  EXPECT_EQ(v.fd, 40000);

  I3DCOR copy(v);
  EXPECT_EQ(copy.fd, 40000);
  I3DCOR other(5, 1, 1), same(2, 2, 2);
  other = v;
  same = v;
  EXPECT_EQ(other.fd, 40000);
  EXPECT_EQ(same.fd, 40000);
  I3DCOR target(2, 2, 2);
  target.copia(v);
  EXPECT_EQ(target.fd, 40000);

  v.resize(3, 2, 2);
  EXPECT_EQ(v.fd, 250000);
  v.fd = 40000;
  v.aloca(0, 0, 0);  // storage released by hand before
  EXPECT_EQ(v.fd, 250000);
}

TEST(Volume3Complex, OutsideValueStartsAtZero) {
  I3DCPX v(1, 2, 2);
  EXPECT_EQ(v.backg, std::complex<float>(0, 0));
  EXPECT_EQ(v(0).data[3], std::complex<float>(0, 0));
}

TEST(Volume3Desaloca, LeavesAnEmptyVolumeThatCanBeReused) {
  I3DFLT v(2, 2, 2);
  v.desaloca();
  EXPECT_EQ(v.slices, nullptr);
  EXPECT_EQ(v.ns(), 0);
  v.resize(2, 2, 2);
  ASSERT_NE(v.slices, nullptr);
  v.fill(1.0f);
  EXPECT_EQ(v(1, 1, 1), 1.0f);
}

TEST(Normaliza, MapsMinimumToZeroAndMaximumToOne) {
  I3DFLT v(3, 1, 1);
  v(0, 0, 0) = 4;
  v(1, 0, 0) = 2;
  v(2, 0, 0) = 6;
  v.backg = -100;
  v(0).backg = -50;
  normaliza(v);
  EXPECT_EQ(v(0, 0, 0), 0.5f);
  EXPECT_EQ(v(1, 0, 0), 0.0f);
  EXPECT_EQ(v(2, 0, 0), 1.0f);
  EXPECT_EQ(v.backg, -100.0f);
  EXPECT_EQ(v(0).backg, -50.0f);
}

TEST(Normaliza, QuotientIsTakenInDoubleAndRoundedOnce) {
  const float x[] = {0.1f, 0.2f, 0.7f, -3.3f, 1e-8f, 0.3f};
  I3DFLT v(2, 1, 3);
  for (int k = 0; k < 6; k++) v(k / 3, 0, k % 3) = x[k];
  normaliza(v);
  const double lo = -3.3f, d = double(0.7f) - lo;
  for (int k = 0; k < 6; k++)
    EXPECT_EQ(v(k / 3, 0, k % 3), static_cast<float>((double(x[k]) - lo) / d)) << k;
}

TEST(Normaliza, EqualVoxelsGiveNaNAndEmptyVolumesStay) {
  I3DFLT v(2, 2, 1);
  v.fill(3.0f);
  normaliza(v);
  for (int s = 0; s < 2; s++)
    for (int l = 0; l < 2; l++) EXPECT_TRUE(std::isnan(v(s, l, 0)));

  I3DFLT e(0, 5, 7), f(3, 0, 4), g(2, -3, -4);
  e.backg = 2;
  normaliza(e);
  normaliza(f);
  normaliza(g);
  EXPECT_EQ(e.backg, 2.0f);
}

// 4D images.

template <class Vol>
struct V4;
template <>
struct V4<I4DGRY> {
  static constexpr const char* name = "I4DGRY";
  static constexpr const char* name3 = "I3DGRY";
};
template <>
struct V4<I4DSHT> {
  static constexpr const char* name = "I4DSHT";
  static constexpr const char* name3 = "I3DSHT";
};
template <>
struct V4<I4DFLT> {
  static constexpr const char* name = "I4DFLT";
  static constexpr const char* name3 = "I3DFLT";
};

template <class Vol>
class Volume4 : public ::testing::Test {};
using Classes4 = ::testing::Types<I4DGRY, I4DSHT, I4DFLT>;
TYPED_TEST_SUITE(Volume4, Classes4);

template <class Vol>
void paint4(Vol& a, int seed) {
  for (int v = 0; v < a.nv(); v++) paint(a(v), seed + 1000 * v);
}
template <class Vol>
bool painted4(const Vol& a, int seed) {
  for (int v = 0; v < a.nv(); v++)
    if (!painted(a(v), seed + 1000 * v)) return false;
  return true;
}

TYPED_TEST(Volume4, SizesAndAccess) {
  TypeParam a(2, 3, 4, 5);
  EXPECT_EQ(a.nv(), 2);
  EXPECT_EQ(a.ns(), 3);
  EXPECT_EQ(a.nl(), 4);
  EXPECT_EQ(a.nc(), 5);
  for (int v = 0; v < 2; v++) {
    EXPECT_EQ(a(v).ns(), 3);
    for (int s = 0; s < 3; s++) {
      EXPECT_EQ(a(v, s).nl(), 4);
      EXPECT_EQ(a(v, s).nc(), 5);
      EXPECT_EQ(&a(v, s), &a(v)(s));
    }
  }
  const std::string name = V4<TypeParam>::name, name3 = V4<TypeParam>::name3;
  EXPECT_ERRO(a(2), "Erro " + name + "::operator() - Indice invalido 1", "");
  EXPECT_ERRO(a(-1), "Erro " + name + "::operator() - Indice invalido 1", "");
  EXPECT_ERRO(a(2, 0), "Erro " + name + "::operator() - Indice invalido 2", "");
  EXPECT_ERRO(a(1, 3), "Erro " + name3 + "::operator() - Indice invalido", "");

  TypeParam e(0, 3, 4, 5), d;
  EXPECT_EQ(e.volumes, nullptr);
  EXPECT_EQ(e.ns(), 3);
  EXPECT_EQ(d.nv(), 0);
  TypeParam f(2, 0, 4, 5);
  EXPECT_EQ(f(1).slices, nullptr);
}

TYPED_TEST(Volume4, CopiesAssignmentResizeAndFill) {
  TypeParam a(2, 2, 3, 2);
  paint4(a, 1);
  a.backg = 7;
  TypeParam b(a);
  EXPECT_TRUE(painted4(b, 1));
  EXPECT_EQ(b.backg, a.backg);
  EXPECT_NE(b.volumes, a.volumes);

  TypeParam c(2, 2, 3, 2);
  auto* volumes = c.volumes;
  c = a;
  EXPECT_EQ(c.volumes, volumes);
  EXPECT_TRUE(painted4(c, 1));
  TypeParam d(1, 1, 1, 1);
  d = a;
  EXPECT_EQ(d.nv(), 2);
  EXPECT_TRUE(painted4(d, 1));
  d = *&d;  // assignment to itself
  EXPECT_TRUE(painted4(d, 1));

  d.resize(2, 2, 3, 2);
  EXPECT_TRUE(painted4(d, 1));
  d.backg = 9;
  d.resize(3, 2, 3, 2);
  EXPECT_EQ(d.nv(), 3);
  EXPECT_EQ(d.backg, 9);
  EXPECT_EQ(d(2, 1).nc(), 2);

  d.fill(5);
  for (int v = 0; v < 3; v++)
    for (int s = 0; s < 2; s++)
      for (int k = 0; k < 6; k++) EXPECT_EQ(d(v, s).data[k], 5);

  // copia assigns each volume, resizing it to the source's.
  TypeParam g(1, 1, 1, 1);
  g.copia(a);
  EXPECT_EQ(g.backg, 7);
  EXPECT_EQ(g(0).ns(), 2);
  EXPECT_TRUE(painted(g(0), 1));
  const std::string msg =
      std::string("Erro ") + V4<TypeParam>::name + "::copia - Dimensoes diferentes";
  EXPECT_ERRO(TypeParam(3, 2, 3, 2).copia(a), msg, "");
}

TYPED_TEST(Volume4, ImpossibleSizeIsFatal) {
  const std::string msg = std::string("Erro ") + V4<TypeParam>::name + "::aloca - Falta memoria";
  EXPECT_ERRO(
      {
        testutil::limit_address_space();
        TypeParam v(INT_MAX, 0, 0, 0);
      },
      msg, "");
}

}  // namespace
