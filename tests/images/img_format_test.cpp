// Native binary IMG files: exact bytes, round trips, the reader's rules and every failure.
#include <cmath>
#include <cstring>
#include <limits>

#include "support/test_support.h"
#include "vistelmo.h"

namespace {

using testutil::append32;
using testutil::Bytes;
using testutil::read_bytes;
using testutil::write_bytes;

// A header of a native file followed by `pixel_bytes` bytes of value 0x11.
Bytes header(const char* magic, int32_t size, int32_t nl, int32_t nc, int32_t lc, int32_t cc,
             size_t pixel_bytes = 0) {
  Bytes b(magic, magic + 7);
  b.push_back(0x1A);
  for (int32_t v : {size, nl, nc, lc, cc}) append32(b, v);
  b.insert(b.end(), pixel_bytes, 0x11);
  return b;
}

template <class T>
T sample(int k);
template <>
short sample<short>(int k) {
  const short v[] = {-32768, 32767, -1, 0, 1, 1234};
  return v[k % 6];
}
template <>
float sample<float>(int k) {
  const float v[] = {-0.0f, 1e-40f, 3.4e38f, std::numeric_limits<float>::infinity(), 0.1f, -7.25f};
  return v[k % 6] * float(k / 6 + 1);
}
template <>
double sample<double>(int k) {
  const double v[] = {-0.0, 4.9e-324, 1.7e308, 1.0 / 3, -2.5, 1e-300};
  return v[k % 6] * (k / 6 + 1);
}
template <>
std::complex<float> sample<std::complex<float>>(int k) {
  return {sample<float>(k), -sample<float>(k + 1)};
}

template <class Img>
class ImgRoundTrip : public testutil::TempDir {};
using NativeClasses = ::testing::Types<IMGSHT, IMGFLT, IMGDBL, IMGCPX>;
TYPED_TEST_SUITE(ImgRoundTrip, NativeClasses);

TYPED_TEST(ImgRoundTrip, KeepsEveryBitSizeAndCentre) {
  using Pixel = typename TypeParam::Pixel;
  TypeParam a(3, 5);
  for (int k = 0; k < a.n(); k++) a.data[k] = sample<Pixel>(k);
  a.lc = -5;
  a.cc = 1000;
  const std::string name = this->path("a.img");
  a.ImpImg(name);
  EXPECT_EQ(read_bytes(name).size(), 28u + 15 * sizeof(Pixel));

  TypeParam b;
  b.LeImg(name);
  ASSERT_EQ(b.nl(), 3);
  ASSERT_EQ(b.nc(), 5);
  EXPECT_EQ(b.lc, -5);
  EXPECT_EQ(b.cc, 1000);
  EXPECT_EQ(std::memcmp(a.data, b.data, 15 * sizeof(Pixel)), 0);
  EXPECT_EQ(b(1, 2), a(1, 2));
}

TYPED_TEST(ImgRoundTrip, SameSizeKeepsOutsideValueOtherSizeResetsIt) {
  TypeParam a(2, 2, sample<typename TypeParam::Pixel>(4));
  const std::string name = this->path("a.img");
  a.ImpImg(name);

  TypeParam same(2, 2);
  same.backg = sample<typename TypeParam::Pixel>(5);
  same.LeImg(name);
  EXPECT_EQ(same.backg, sample<typename TypeParam::Pixel>(5));
  EXPECT_EQ(same(1, 1), a(1, 1));

  TypeParam other(4, 1);
  other.backg = sample<typename TypeParam::Pixel>(5);
  other.lc = 7;
  other.LeImg(name);
  EXPECT_EQ(other.backg, typename TypeParam::Pixel{});
  EXPECT_EQ(other.nl(), 2);
  EXPECT_EQ(other.lc, 0);
  EXPECT_EQ(other.cc, 0);
}

TYPED_TEST(ImgRoundTrip, EmptyImageIsHeaderOnly) {
  TypeParam a(0, 4);
  const std::string name = this->path("e.img");
  a.ImpImg(name);
  EXPECT_EQ(read_bytes(name).size(), 28u);
  TypeParam b(2, 2);
  b.LeImg(name);
  EXPECT_EQ(b.nl(), 0);
  EXPECT_EQ(b.nc(), 4);
  EXPECT_EQ(b.data, nullptr);
}

TYPED_TEST(ImgRoundTrip, ImageWithoutStorage) {
  using Pixel = typename TypeParam::Pixel;
  TypeParam a(2, 3);
  a.backg = sample<Pixel>(5);
  a.desaloca();
  const std::string name = this->path("a.img");
  a.ImpImg(name);  // written as its outside value
  EXPECT_EQ(read_bytes(name).size(), 28u + 6 * sizeof(Pixel));

  TypeParam b(2, 3);
  b.desaloca();
  b.LeImg(name);  // same size, but storage is made for the pixels
  ASSERT_NE(b.data, nullptr);
  EXPECT_EQ(b(1, 2), sample<Pixel>(5));
}

class ImgFile : public testutil::TempDir {};

TEST_F(ImgFile, FloatTwoByThreeBytes) {
  IMGFLT a(2, 3, 1.0, 2.0, 3.0, -0.5, 0.25, 8.0);
  a.ImpImg(path("f.img"));
  Bytes expect = header("IMGFLT*", 4, 2, 3, 0, 1);
  for (float v : {1.0f, 2.0f, 3.0f, -0.5f, 0.25f, 8.0f}) {
    unsigned char raw[4];
    std::memcpy(raw, &v, 4);
    expect.insert(expect.end(), raw, raw + 4);
  }
  EXPECT_EQ(read_bytes(path("f.img")), expect);
}

TEST_F(ImgFile, MagicAndElementSizeOfEachClass) {
  IMGSHT(1, 1, short(0)).ImpImg(path("s"));
  IMGDBL(1, 1, 0.0).ImpImg(path("d"));
  IMGCPX(1, 1, std::complex<float>()).ImpImg(path("c"));
  Bytes s = read_bytes(path("s")), d = read_bytes(path("d")), c = read_bytes(path("c"));
  EXPECT_EQ(Bytes(s.begin(), s.begin() + 28), header("IMGSHT*", 2, 1, 1, 0, 0));
  EXPECT_EQ(Bytes(d.begin(), d.begin() + 28), header("IMGDBL*", 8, 1, 1, 0, 0));
  EXPECT_EQ(Bytes(c.begin(), c.begin() + 28), header("IMGCPX*", 8, 1, 1, 0, 0));
}

TEST_F(ImgFile, EighthByteAndTrailingBytesIgnored) {
  Bytes b = header("IMGSHT*", 2, 1, 2, 9, -9);
  b[7] = 'x';
  for (unsigned char v : {0x05, 0x00, 0xFF, 0xFF, 0xAB, 0xCD}) b.push_back(v);
  write_bytes(path("s.img"), b);
  IMGSHT a;
  a.LeImg(path("s.img"));
  EXPECT_EQ(a(0, 0), 5);
  EXPECT_EQ(a(0, 1), -1);
  EXPECT_EQ(a.lc, 9);
  EXPECT_EQ(a.cc, -9);
}

struct BadFile {
  const char* what;
  Bytes bytes;
  const char* message;
};

TEST_F(ImgFile, ReaderFailures) {
  const char* format = "Erro IMGCPX::LeImg - Formato incorreta";
  const char* short_file = "Erro IMGCPX::LeImg - Fim inesperado";
  Bytes header_only = header("IMGCPX*", 8, 2, 2, 0, 0);
  const BadFile cases[] = {
      {"double file into complex", header("IMGDBL*", 8, 1, 1, 0, 0, 8), format},
      {"wrong element size", header("IMGCPX*", 4, 1, 1, 0, 0, 8), format},
      {"negative rows", header("IMGCPX*", 8, -1, 2, 0, 0), format},
      {"negative columns", header("IMGCPX*", 8, 2, -3, 0, 0), format},
      {"count overflows int", header("IMGCPX*", 8, 65536, 65536, 0, 0), format},
      {"bytes overflow int", header("IMGCPX*", 8, 20000, 20000, 0, 0), format},
      {"sizes at INT_MAX", header("IMGCPX*", 8, INT32_MAX, INT32_MAX, 0, 0), format},
      {"empty file", Bytes{}, short_file},
      {"header cut short", Bytes(header_only.begin(), header_only.begin() + 20), short_file},
      {"pixels cut short", header("IMGCPX*", 8, 2, 2, 0, 0, 31), short_file},
      {"huge image in a tiny file", header("IMGCPX*", 8, 10000, 10000, 0, 0, 8), short_file},
  };
  for (const BadFile& bad : cases) {
    SCOPED_TRACE(bad.what);
    write_bytes(path("bad.img"), bad.bytes);
    EXPECT_ERRO(IMGCPX().LeImg(path("bad.img")), bad.message, "");
  }
}

TEST_F(ImgFile, OpenAndWriteFailuresNameTheClass) {
  const std::string missing = path("no/such/dir/x.img");
  EXPECT_ERRO(IMGFLT().LeImg(missing), "Erro IMGFLT::LeImg - Abertura de ", missing);
  EXPECT_ERRO(IMGSHT(1, 1).ImpImg(missing), "Erro IMGSHT::ImpImg - Abertura de ", missing);
  EXPECT_ERRO(IMGDBL(4, 4).ImpImg("/dev/full"), "Erro IMGDBL::ImpImg - Falha na escrita ",
              "/dev/full");
  EXPECT_ERRO(IMGCPX(1, 1).ImpImg("/dev/full"), "Erro IMGCPX::ImpImg - Falha na escrita ",
              "/dev/full");
}

}  // namespace
