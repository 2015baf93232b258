// Volume IMG files: exact bytes, round trips, the reader's rules and every failure.
#include <climits>
#include <complex>
#include <cstring>
#include <type_traits>

#include "support/test_support.h"
#include "volumes/volumes.h"

namespace {

using testutil::append32;
using testutil::append_float;
using testutil::Bytes;
using testutil::read_bytes;
using testutil::write_bytes;

void put_magic(Bytes& b, const char* magic, unsigned char eighth = 0x1A) {
  b.insert(b.end(), magic, magic + 7);
  b.push_back(eighth);
}
Bytes volume_header(const char* magic, int32_t ns) {
  Bytes b;
  put_magic(b, magic);
  append32(b, ns);
  return b;
}
// A slice record whose elements are `pixel_bytes` bytes of 0x11.
void slice(Bytes& b, const char* magic, int32_t size, int32_t nl, int32_t nc, int32_t lc,
           int32_t cc, size_t pixel_bytes) {
  put_magic(b, magic);
  for (int32_t v : {size, nl, nc, lc, cc}) append32(b, v);
  b.insert(b.end(), pixel_bytes, 0x11);
}

template <class Vol>
struct Kind;
template <>
struct Kind<I3DSHT> {
  static constexpr const char* name = "I3DSHT";
  static constexpr const char* image = "IMGSHT*";
  static short v(int k) { return static_cast<short>(k * 1237 - 20000); }
};
template <>
struct Kind<I3DFLT> {
  static constexpr const char* name = "I3DFLT";
  static constexpr const char* image = "IMGFLT*";
  static float v(int k) { return k % 5 == 4 ? -0.0f : 0.1f * k - 3.0f; }
};
template <>
struct Kind<I3DCPX> {
  static constexpr const char* name = "I3DCPX";
  static constexpr const char* image = "IMGCPX*";
  static std::complex<float> v(int k) { return {0.5f * k, -1e30f / (k + 1)}; }
};

template <class Vol>
std::string msg(const char* method, const char* what) {
  return std::string("Erro ") + Kind<Vol>::name + "::" + method + " - " + what;
}
template <class Vol>
std::string volume_magic() {
  return std::string(Kind<Vol>::name) + "*";
}

template <class Vol>
void paint(Vol& v) {
  int k = 0;
  for (int s = 0; s < v.ns(); s++)
    for (int l = 0; l < v.nl(); l++)
      for (int c = 0; c < v.nc(); c++) v(s, l, c) = Kind<Vol>::v(k++);
}

template <class Vol>
class VolumeImg : public testutil::TempDir {};
using Classes = ::testing::Types<I3DSHT, I3DFLT, I3DCPX>;
TYPED_TEST_SUITE(VolumeImg, Classes);

TYPED_TEST(VolumeImg, RoundTripKeepsEveryBitSizeAndCentres) {
  using Pixel = typename TypeParam::Pixel;
  TypeParam a(3, 2, 5);
  paint(a);
  a(0).lc = 0;
  a(1).cc = -7;
  a(2).lc = 1000;
  const std::string name = this->path("v.img");
  a.ImpImg(name);
  EXPECT_EQ(read_bytes(name).size(), 12 + 3 * (28 + 10 * sizeof(Pixel)));

  TypeParam b;
  b.backg = Kind<TypeParam>::v(3);
  b.LeImg(name);
  ASSERT_EQ(b.ns(), 3);
  ASSERT_EQ(b.nl(), 2);
  ASSERT_EQ(b.nc(), 5);
  for (int s = 0; s < 3; s++) {
    EXPECT_EQ(std::memcmp(a(s).data, b(s).data, 10 * sizeof(Pixel)), 0) << s;
    EXPECT_EQ(b(s).lc, a(s).lc);
    EXPECT_EQ(b(s).cc, a(s).cc);
  }
  EXPECT_TRUE(b.backg == Kind<TypeParam>::v(3));
}

TYPED_TEST(VolumeImg, ReadingTheSameSizeKeepsStorageAndOutsideValue) {
  TypeParam a(2, 3, 4);
  paint(a);
  a(1).lc = 0;
  const std::string name = this->path("v.img");
  a.ImpImg(name);

  TypeParam b(2, 3, 4);
  b.backg = Kind<TypeParam>::v(9);
  b(1).lc = 2;
  auto* slices = b.slices;
  auto* data = b(1).data;
  b.LeImg(name);
  EXPECT_EQ(b.slices, slices);
  EXPECT_EQ(b(1).data, data);
  EXPECT_TRUE(b.backg == Kind<TypeParam>::v(9));
  EXPECT_EQ(b(1).lc, 0);
  EXPECT_TRUE(b(1, 2, 3) == a(1, 2, 3));

  // Another size: re-allocated, outside value still kept.
  TypeParam c(5, 1, 1);
  c.backg = Kind<TypeParam>::v(4);
  c.LeImg(name);
  EXPECT_EQ(c.ns(), 2);
  EXPECT_EQ(c.nl(), 3);
  EXPECT_TRUE(c.backg == Kind<TypeParam>::v(4));
  EXPECT_TRUE(c(0, 0, 0) == a(0, 0, 0));
}

TYPED_TEST(VolumeImg, EmptyVolumesAndEmptySlices) {
  const std::string name = this->path("e.img");
  TypeParam(0, 4, 4).ImpImg(name);
  EXPECT_EQ(read_bytes(name), volume_header(volume_magic<TypeParam>().c_str(), 0));
  TypeParam(-3, 1, 1).ImpImg(name);
  EXPECT_EQ(read_bytes(name), volume_header(volume_magic<TypeParam>().c_str(), -3));

  // A stored count of 0 or less leaves the volume as it was.
  TypeParam v(5, 2, 2);
  paint(v);
  auto* slices = v.slices;
  v.LeImg(name);
  EXPECT_EQ(v.ns(), 5);
  EXPECT_EQ(v.slices, slices);
  EXPECT_TRUE(v(4, 1, 1) == Kind<TypeParam>::v(19));

  // Slices of 0 by 3 carry no elements.
  TypeParam z(2, 0, 3);
  z.ImpImg(name);
  EXPECT_EQ(read_bytes(name).size(), 12u + 2 * 28);
  TypeParam r;
  r.LeImg(name);
  EXPECT_EQ(r.ns(), 2);
  EXPECT_EQ(r.nl(), 0);
  EXPECT_EQ(r.nc(), 3);
  EXPECT_EQ(r(1).data, nullptr);
}

TYPED_TEST(VolumeImg, FormatFailures) {
  using Pixel = typename TypeParam::Pixel;
  const int size = sizeof(Pixel);
  const std::string vmagic = volume_magic<TypeParam>();
  const char* vm = vmagic.c_str();
  const char* im = Kind<TypeParam>::image;
  const std::string name = this->path("f.img");
  struct Case {
    Bytes bytes;
    std::string first;
  };
  std::vector<Case> cases;
  {
    const char* other = std::is_same_v<TypeParam, I3DSHT> ? "I3DFLT*" : "I3DSHT*";
    Bytes b = volume_header(other, 1);
    slice(b, other[4] == 'S' ? "IMGSHT*" : "IMGFLT*", size, 1, 1, 0, 0, size);
    cases.push_back({b, msg<TypeParam>("LeImg", "Formato incorreta 1")});
  }
  cases.push_back({Bytes{'I', '3', 'D'}, msg<TypeParam>("LeImg", "Formato incorreta 1")});
  cases.push_back({Bytes(), msg<TypeParam>("LeImg", "Formato incorreta 1")});
  {
    Bytes b = volume_header(vm, 1);
    slice(b, "IMGDBL*", size, 1, 1, 0, 0, size);
    cases.push_back({b, msg<TypeParam>("LeImg", "Formato incorreta 2")});
  }
  {
    Bytes b = volume_header(vm, 1);  // record cut right after its element size
    slice(b, "IMGDBL*", size, 1, 1, 0, 0, 0);
    b.resize(b.size() - 16);
    cases.push_back({b, msg<TypeParam>("LeImg", "Formato incorreta 2")});
  }
  {
    Bytes b = volume_header(vm, 1);
    slice(b, im, size == 8 ? 4 : 8, 1, 1, 0, 0, size);
    cases.push_back({b, msg<TypeParam>("LeImg", "Formato incorreta 2")});
  }
  {
    Bytes b = volume_header(vm, 1);
    slice(b, im, size, -1, 2, 0, 0, 0);
    cases.push_back({b, msg<TypeParam>("LeImg", "Formato incorreta 2")});
  }
  {
    Bytes b = volume_header(vm, 2);
    slice(b, im, size, 3, 4, 1, 1, 12 * size);
    slice(b, im, size, 3, 5, 1, 1, 15 * size);
    cases.push_back({b, "Erro: Dimensoes de imagens diferentes"});
  }
  {
    Bytes b = volume_header(vm, 2);
    slice(b, im, size, 3, 4, 1, 1, 12 * size);
    slice(b, im, size, 3, 4, 1, 1, 12 * size - 1);
    cases.push_back({b, msg<TypeParam>("LeImg", "Fim inesperado 3")});
  }
  {
    Bytes b = volume_header(vm, 2);  // second record missing
    slice(b, im, size, 3, 4, 1, 1, 12 * size);
    cases.push_back({b, msg<TypeParam>("LeImg", "Fim inesperado 3")});
  }
  {
    Bytes b = volume_header(vm, 1);
    slice(b, im, size, 3, 4, 1, 1, 0);
    b.resize(b.size() - 6);  // cut inside the centre
    cases.push_back({b, msg<TypeParam>("LeImg", "Fim inesperado 3")});
  }
  {
    Bytes b;  // cut inside the slice count
    put_magic(b, vm);
    b.push_back(1);
    cases.push_back({b, msg<TypeParam>("LeImg", "Fim inesperado 3")});
  }
  {
    // Huge counts in a tiny file end without an attempt to allocate them.
    Bytes b = volume_header(vm, INT_MAX);
    slice(b, im, size, 1, 1, 0, 0, size);
    cases.push_back({b, msg<TypeParam>("LeImg", "Fim inesperado 3")});
    Bytes c = volume_header(vm, 1);
    slice(c, im, size, 40000, 40000, 0, 0, size);
    cases.push_back({c, msg<TypeParam>("LeImg", "Formato incorreta 2")});
    Bytes d = volume_header(vm, 1);
    slice(d, im, size, 4000, 4000, 0, 0, size);
    cases.push_back({d, msg<TypeParam>("LeImg", "Fim inesperado 3")});
  }
  for (size_t k = 0; k < cases.size(); k++) {
    SCOPED_TRACE(k);
    write_bytes(name, cases[k].bytes);
    TypeParam v;
    EXPECT_ERRO(v.LeImg(name), cases[k].first, "");
  }
}

TYPED_TEST(VolumeImg, OpenFailures) {
  const std::string missing = this->path("none/v.img");
  TypeParam v(1, 1, 1);
  EXPECT_ERRO(v.LeImg(missing), msg<TypeParam>("LeImg", "Abertura de "), missing);
  EXPECT_ERRO(v.ImpImg(missing), msg<TypeParam>("ImpImg", "Abertura de "), missing);
}

class VolumeImgFile : public testutil::TempDir {};

TEST_F(VolumeImgFile, FloatVolumeLayout) {
  I3DFLT v(2, 3, 4);
  for (int s = 0; s < 2; s++)
    for (int k = 0; k < 12; k++) v(s).data[k] = 0.5f * k - s;
  v(1).lc = 0;
  v(1).cc = 3;
  const std::string name = path("v.img");
  v.ImpImg(name);

  Bytes want = volume_header("I3DFLT*", 2);
  for (int s = 0; s < 2; s++) {
    put_magic(want, "IMGFLT*");
    for (int32_t x : {4, 3, 4, s == 0 ? 1 : 0, s == 0 ? 1 : 3}) append32(want, x);
    for (int k = 0; k < 12; k++) append_float(want, 0.5f * k - s);
  }
  EXPECT_EQ(want.size(), 164u);
  EXPECT_EQ(read_bytes(name), want);
}

TEST_F(VolumeImgFile, EighthMagicBytesAreNotExamined) {
  Bytes b;
  put_magic(b, "I3DSHT*", 'X');
  append32(b, 1);
  put_magic(b, "IMGSHT*", 0);
  for (int32_t x : {2, 1, 2, 0, 0}) append32(b, x);
  for (unsigned char c : {0x01, 0x80, 0xFF, 0x7F}) b.push_back(c);
  write_bytes(path("s.img"), b);
  I3DSHT v;
  v.LeImg(path("s.img"));
  ASSERT_EQ(v.ns(), 1);
  EXPECT_EQ(v(0, 0, 0), short(-32767));
  EXPECT_EQ(v(0, 0, 1), short(32767));
  EXPECT_EQ(v(0).lc, 0);
}

TEST_F(VolumeImgFile, OtherClassMagicIsRefused) {
  I3DSHT s(1, 2, 2);
  s.ImpImg(path("s.img"));
  I3DFLT f;
  EXPECT_ERRO(f.LeImg(path("s.img")), "Erro I3DFLT::LeImg - Formato incorreta 1", "");
  I3DCPX c;
  EXPECT_ERRO(c.LeImg(path("s.img")), "Erro I3DCPX::LeImg - Formato incorreta 1", "");
}

TEST_F(VolumeImgFile, AFullDiskIsReported) {
  if (!testutil::file_exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  I3DFLT v(2, 64, 64);
  v.fill(1.0f);
  EXPECT_ERRO(v.ImpImg("/dev/full"), "Erro I3DFLT::ImpImg - Falha na escrita ", "/dev/full");
}

}  // namespace
