// 1-bit BMP writer and reader of the binary image.
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "images/image_files_internal.h"
#include "support/test_support.h"
#include "vistelmo.h"

namespace {

using testutil::Bytes;
using testutil::get32;
using testutil::put16;
using testutil::put32;

// An asymmetric pattern with no row or column like another.
bool pattern(int l, int c, int seed) {
  uint32_t h =
      (static_cast<uint32_t>(l) * 131u + static_cast<uint32_t>(c) * 7u + seed) * 2654435761u;
  return (h >> 13) & 1u;
}
IMGBIN make_image(int nl, int nc, int seed = 0) {
  IMGBIN b(nl, nc);
  for (int l = 0; l < nl; l++)
    for (int c = 0; c < nc; c++) b(l, c) = pattern(l, c, seed);
  return b;
}
std::vector<uint32_t> words(const IMGBIN& b) {
  return std::vector<uint32_t>(b.data, b.data + b.nw);
}

class Bmp : public testutil::TempDir {};

TEST_F(Bmp, WritesTheExactBytes) {
  IMGBIN b(3, 33, false);
  b(0, 0) = true;
  b(0, 32) = true;
  for (int c = 1; c <= 8; c++) b(1, c) = true;
  b(2, 31) = true;
  b.backg = 0;
  b.lc = 2;
  const auto before = words(b);
  b.ImpBmp(path("x.bmp"));

  const Bytes expected = {
      'B',  'M',  86, 0, 0,    0,    0,    0, 0, 0,  // signature, size, reserved
      62,   0,    0,  0,                             // pixel data offset
      40,   0,    0,  0, 33,   0,    0,    0, 3, 0,  // header size, width, height
      0,    0,    1,  0, 1,    0,    0,    0, 0, 0,  // planes, bits, compression
      0,    0,    0,  0, 0,    0,    0,    0, 0, 0,  // image size, resolutions
      0,    0,    2,  0, 0,    0,    2,    0, 0, 0,  // colours used, important
      0,    0,    0,  0, 0xFF, 0xFF, 0xFF, 0,        // black, white
      0,    0,    0,  1, 0,    0,    0,    0,        // row 2
      0x7F, 0x80, 0,  0, 0,    0,    0,    0,        // row 1
      0x80, 0,    0,  0, 0x80, 0,    0,    0,        // row 0
  };
  EXPECT_EQ(testutil::read_bytes(path("x.bmp")), expected);
  // The image is as it was.
  EXPECT_EQ(words(b), before);
  EXPECT_EQ(b.backg, 0u);
  EXPECT_EQ(b.lc, 2);
}

TEST_F(Bmp, OnePixelMakesA66ByteFile) {
  IMGBIN b(1, 1, true);
  b.ImpBmp(path("one.bmp"));
  Bytes f = testutil::read_bytes(path("one.bmp"));
  ASSERT_EQ(f.size(), 66u);
  EXPECT_EQ(get32(f, 2), 66u);
  EXPECT_EQ(get32(f, 62), 0x80u);
}

TEST_F(Bmp, RoundTrips) {
  for (int nc : {1, 31, 32, 33, 64, 65, 100})
    for (int nl : {1, 2, 3, 4}) {
      SCOPED_TRACE(testing::Message() << nl << " x " << nc);
      IMGBIN b = make_image(nl, nc, nc);
      // Spare bits travel as they are held.
      if (nc % 32 != 0) b.rows[nl - 1][b.wpr - 1] |= 1u;
      b.ImpBmp(path("r.bmp"));
      Bytes f = testutil::read_bytes(path("r.bmp"));
      ASSERT_EQ(f.size(), 62u + 4u * b.nw);
      EXPECT_EQ(get32(f, 22), static_cast<uint32_t>(nl));
      EXPECT_EQ(get32(f, 2), f.size());

      IMGBIN r(7, 7, false);
      r.backg = 0;
      r.lc = r.cc = -3;
      r.LeBmp(path("r.bmp"));
      EXPECT_EQ(r.nl(), nl);
      EXPECT_EQ(r.nc(), nc);
      EXPECT_EQ(r.wpr, b.wpr);
      EXPECT_EQ(words(r), words(b));
      EXPECT_EQ(r.backg & 1u, 1u);
      EXPECT_EQ(r.lc, (nl - 1) / 2);
      EXPECT_EQ(r.cc, (nc - 1) / 2);
    }
}

// More rows than the writer stages at once, rows of several words: rows bottom-up, each
// word's bytes high first.
TEST_F(Bmp, TallImageWritesEveryRowInOrder) {
  IMGBIN b(40000, 200);
  for (int64_t k = 0; k < b.nw; k++) b.data[k] = static_cast<uint32_t>(k) * 2654435761u;
  const auto before = words(b);
  b.ImpBmp(path("tall.bmp"));
  Bytes f = testutil::read_bytes(path("tall.bmp"));
  ASSERT_EQ(f.size(), 62u + 4u * b.nw);
  size_t at = 62;
  bool same = true;
  for (int l = b.nl() - 1; l >= 0; l--)
    for (int j = 0; j < b.wpr; j++, at += 4)
      for (int i = 0; i < 4; i++)
        same = same && f[at + i] == static_cast<unsigned char>(b.rows[l][j] >> (24 - 8 * i));
  EXPECT_TRUE(same);
  EXPECT_EQ(words(b), before);
}

TEST_F(Bmp, ReadsIntoAnImageOfTheSameSizeAfresh) {
  IMGBIN b = make_image(3, 40);
  b.ImpBmp(path("s.bmp"));
  IMGBIN r(3, 40, false);
  r.backg = 0;
  r.lc = 9;
  r.LeBmp(path("s.bmp"));
  EXPECT_EQ(words(r), words(b));
  EXPECT_EQ(r.backg & 1u, 1u);
  EXPECT_EQ(r.lc, 1);
}

// A written file with its palette and pixel bits changed by the test.
class BmpPalette : public testutil::TempDir {
 protected:
  IMGBIN img = make_image(5, 37, 3);
  Bytes file;
  void SetUp() override {
    TempDir::SetUp();
    img.rows[0][1] |= 0x5u;  // spare bits too
    img.ImpBmp(path("p.bmp"));
    file = testutil::read_bytes(path("p.bmp"));
  }
  IMGBIN read(const Bytes& f) {
    testutil::write_bytes(path("q.bmp"), f);
    IMGBIN r;
    r.LeBmp(path("q.bmp"));
    return r;
  }
  void set_entries(uint32_t e0, uint32_t e1) {
    put32(file, 54, e0);
    put32(file, 58, e1);
  }
  std::vector<uint32_t> complemented() {
    std::vector<uint32_t> w = words(img);
    for (uint32_t& x : w) x = ~x;
    return w;
  }
};

TEST_F(BmpPalette, WhiteFirstReadsAsItShows) {
  // Same picture: palette swapped and every pixel bit flipped.
  set_entries(0x00FFFFFFu, 0);
  for (size_t k = 62; k < file.size(); k++) file[k] = static_cast<unsigned char>(~file[k]);
  EXPECT_EQ(words(read(file)), words(img));
}

TEST_F(BmpPalette, DarkerSecondEntryComplementsEveryWord) {
  set_entries(0x00FFFFFFu, 0);
  EXPECT_EQ(words(read(file)), complemented());
  set_entries(0x000000FFu, 0x00000080u);  // blue only: greys 85 and 43
  EXPECT_EQ(words(read(file)), complemented());
  set_entries(0x00000002u, 0x00000001u);  // greys (2 + 1) / 3 = 1 and (1 + 1) / 3 = 0
  EXPECT_EQ(words(read(file)), complemented());
}

TEST_F(BmpPalette, EqualOrBrighterSecondEntryKeepsTheBits) {
  set_entries(0x001E140Au, 0x000A141Eu);  // equal greys
  EXPECT_EQ(words(read(file)), words(img));
  set_entries(0x00000001u, 0x00000002u);
  EXPECT_EQ(words(read(file)), words(img));
  set_entries(0x00000000u, 0x00000001u);  // both grey 0
  EXPECT_EQ(words(read(file)), words(img));
  set_entries(0xFF000000u, 0x00000000u);  // the reserved byte does not count
  EXPECT_EQ(words(read(file)), words(img));
}

TEST_F(BmpPalette, AcceptedHeaderVariants) {
  Bytes f = file;
  put32(f, 46, 0);  // colours used 0
  EXPECT_EQ(words(read(f)), words(img));
  f = file;
  put32(f, 34, 0);  // image size 0: the file size field is not compared
  put32(f, 2, 12345);
  EXPECT_EQ(words(read(f)), words(img));
  f = file;
  put32(f, 34, static_cast<uint32_t>(file.size() - 62));
  EXPECT_EQ(words(read(f)), words(img));
  f = file;
  f.insert(f.end(), {1, 2, 3});  // trailing bytes are ignored
  EXPECT_EQ(words(read(f)), words(img));
}

TEST_F(BmpPalette, NegativeHeightIsReadTopDown) {
  Bytes f(file.begin(), file.begin() + 62);
  const size_t row = 4u * img.wpr;
  for (int l = 0; l < img.nl(); l++) {  // rows of the bottom-up file in reverse
    const size_t at = 62 + row * (img.nl() - 1 - l);
    f.insert(f.end(), file.begin() + at, file.begin() + at + row);
  }
  put32(f, 22, static_cast<uint32_t>(-img.nl()));
  IMGBIN r = read(f);
  EXPECT_EQ(r.nl(), 5);
  EXPECT_EQ(r.lc, 2);
  EXPECT_EQ(words(r), words(img));
}

struct Patch {
  size_t at;
  int size;
  uint32_t value;
};
struct BadFile {
  const char* what;
  std::vector<Patch> patches;
  long keep;  // bytes kept, or -1 for all
  const char* msg;
};

const char* const kInvalid = "Erro IMGBIN::LeBmp - BMP invalido";
const char* const kShort = "Erro IMGBIN::LeBmp - Fim inesperado";
const char* const kNotBinary = "Erro IMGBIN::LeBmp - BMP nao-binario";

const BadFile kBadFiles[] = {
    {"signature", {{1, 1, 'X'}}, -1, kInvalid},
    {"data_offset", {{10, 4, 54}}, -1, "Erro IMGBIN::LeBmp - ImageDataOffset"},
    {"header_size", {{14, 4, 12}}, -1, "Erro IMGBIN::LeBmp - HeaderSize"},
    {"planes", {{26, 2, 2}}, -1, "Erro IMGBIN::LeBmp - NumberOfImagePlanes"},
    {"bits_8", {{28, 2, 8}}, -1, kNotBinary},
    {"bits_24", {{28, 2, 24}}, -1, kNotBinary},
    {"compression", {{30, 4, 1}}, -1, "Erro IMGBIN::LeBmp - BMP compactado"},
    {"colours_1", {{46, 4, 1}}, -1, kNotBinary},
    {"colours_3", {{46, 4, 3}}, -1, kNotBinary},
    {"image_size", {{34, 4, 21}}, -1, "Erro IMGBIN::LeBmp - Numero de bytes"},
    {"first_fault_wins", {{10, 4, 0}, {28, 2, 8}}, -1, "Erro IMGBIN::LeBmp - ImageDataOffset"},
    {"width_0", {{18, 4, 0}}, -1, kInvalid},
    {"width_negative", {{18, 4, static_cast<uint32_t>(-37)}}, -1, kInvalid},
    {"height_0", {{22, 4, 0}}, -1, kInvalid},
    {"height_min", {{22, 4, 0x80000000u}}, -1, kInvalid},
    {"sizes_past_file", {{18, 4, 0x7FFFFFFFu}, {22, 4, 0x7FFFFFFFu}}, -1, kShort},
    {"top_down_past_file", {{22, 4, static_cast<uint32_t>(-6)}}, -1, kShort},
    {"empty", {}, 0, kShort},
    {"in_signature", {}, 1, kShort},
    {"signature_only", {}, 2, kShort},
    {"in_file_header", {}, 13, kShort},
    {"file_header_only", {}, 14, kShort},
    {"in_info_header", {}, 30, kShort},
    {"info_header_only", {}, 54, kShort},
    {"in_palette", {}, 58, kShort},
    {"palette_short_by_one", {}, 61, kShort},
    {"no_pixels", {}, 62, kShort},
    {"pixels_short_by_one", {}, 62 + 5 * 8 - 1, kShort},
};

class BmpBadFile : public testutil::TempDir, public ::testing::WithParamInterface<BadFile> {};

TEST_P(BmpBadFile, FailsWithItsMessage) {
  make_image(5, 37).ImpBmp(path("good.bmp"));
  Bytes f = testutil::read_bytes(path("good.bmp"));
  const BadFile& bad = GetParam();
  for (const Patch& p : bad.patches) {
    if (p.size == 1) f[p.at] = static_cast<unsigned char>(p.value);
    if (p.size == 2) put16(f, p.at, p.value);
    if (p.size == 4) put32(f, p.at, p.value);
  }
  if (bad.keep >= 0) f.resize(static_cast<size_t>(bad.keep));
  testutil::write_bytes(path("bad.bmp"), f);
  IMGBIN r;
  EXPECT_ERRO(r.LeBmp(path("bad.bmp")), bad.msg, "");
}
INSTANTIATE_TEST_SUITE_P(Cases, BmpBadFile, ::testing::ValuesIn(kBadFiles),
                         [](const auto& info) { return std::string(info.param.what); });

TEST_F(Bmp, OpenFailures) {
  IMGBIN r;
  EXPECT_ERRO(r.LeBmp(path("missing.bmp")), "Erro IMGBIN::LeBmp - Abertura de ",
              path("missing.bmp"));
  IMGBIN b(2, 2, true);
  EXPECT_ERRO(b.ImpBmp(path("no/such/dir.bmp")), "Erro IMGBIN::ImpBmp - abertura de ",
              path("no/such/dir.bmp"));
}

TEST(BmpSize, TheFileSizeFieldHoldsItOrTheWriterRefuses) {
  struct Case {
    int nl, nc;
    int64_t bytes;
  };
  // 62 bytes of headers and palette, then rows of whole 32-bit words.
  const Case cases[] = {{1, 1, 66},
                        {1, 32, 66},
                        {1, 33, 70},
                        {3, 65, 98},
                        {1073741808, 32, 4294967294},
                        {1073741809, 32, 4294967298},
                        {32768, 1048576, 4294967358}};
  for (const Case& c : cases) {
    EXPECT_EQ(vistelmo::bmp_file_size(c.nl, c.nc), c.bytes) << c.nl << " x " << c.nc;
    EXPECT_EQ(vistelmo::bmp_fits(c.nl, c.nc), c.bytes <= 4294967295) << c.nl << " x " << c.nc;
  }
  EXPECT_FALSE(vistelmo::bmp_fits(INT32_MAX, INT32_MAX));
}

TEST_F(Bmp, EmptyImageIsRefusedBeforeOpening) {
  IMGBIN e(0, 5);
  EXPECT_ERRO(e.ImpBmp(path("e.bmp")), "Erro IMGBIN:ImpBmp - Imagem nula ", path("e.bmp"));
  IMGBIN w(3, -1);
  EXPECT_ERRO(w.ImpBmp(path("e.bmp")), "Erro IMGBIN:ImpBmp - Imagem nula ", path("e.bmp"));
  IMGBIN d(2, 2);
  d.desaloca();
  EXPECT_ERRO(d.ImpBmp(path("e.bmp")), "Erro IMGBIN:ImpBmp - Imagem nula ", path("e.bmp"));
  EXPECT_FALSE(testutil::file_exists(path("e.bmp")));
}

TEST_F(Bmp, AFailedWriteIsReported) {
  if (!testutil::file_exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  IMGBIN b = make_image(300, 300);
  EXPECT_ERRO(b.ImpBmp("/dev/full"), "Erro IMGBIN::ImpBmp - Falha na escrita ", "/dev/full");
  IMGBIN one(1, 1);  // small enough to stay in the buffer until the close
  EXPECT_ERRO(one.ImpBmp("/dev/full"), "Erro IMGBIN::ImpBmp - Falha na escrita ", "/dev/full");
}

// Reads a binary PBM (P4): 1 is black.
IMGBIN read_pbm(const std::string& name) {
  const std::string s = testutil::read_text(name);
  std::istringstream in(s);
  std::string magic;
  int nc = 0, nl = 0;
  in >> magic >> nc >> nl;
  EXPECT_EQ(magic, "P4");
  in.get();
  IMGBIN b(nl, nc);
  const size_t start = static_cast<size_t>(in.tellg());
  const int row = (nc + 7) / 8;
  EXPECT_GE(s.size(), start + static_cast<size_t>(row) * nl);
  if (s.size() < start + static_cast<size_t>(row) * nl) return b;
  for (int l = 0; l < nl; l++)
    for (int c = 0; c < nc; c++) {
      const unsigned char byte = static_cast<unsigned char>(s[start + l * row + c / 8]);
      b(l, c) = ((byte >> (7 - c % 8)) & 1) == 0;
    }
  return b;
}

using testutil::same_pixels;

TEST_F(Bmp, NetpbmReadsWhatIsWritten) {
  REQUIRE_TOOL("bmptopnm");
  for (int nc : {1, 33, 100}) {
    IMGBIN b = make_image(5, nc, 11);
    b.ImpBmp(path("w.bmp"));
    ASSERT_EQ(testutil::run("bmptopnm " + path("w.bmp") + " > " + path("w.pbm") + " 2>/dev/null"),
              0);
    EXPECT_TRUE(same_pixels(read_pbm(path("w.pbm")), b)) << nc;
  }
}

TEST_F(Bmp, ReadsWhatNetpbmWrites) {
  REQUIRE_TOOL("ppmtobmp");
  for (int nc : {1, 37, 64}) {
    IMGBIN b = make_image(6, nc, 5);
    std::string pbm = "P1\n" + std::to_string(nc) + " 6\n";
    for (int l = 0; l < 6; l++) {
      for (int c = 0; c < nc; c++) pbm += b(l, c) ? "0 " : "1 ";
      pbm += "\n";
    }
    testutil::write_text(path("n.pbm"), pbm);
    ASSERT_EQ(
        testutil::run("ppmtobmp -bpp=1 " + path("n.pbm") + " > " + path("n.bmp") + " 2>/dev/null"),
        0);
    IMGBIN r;
    r.LeBmp(path("n.bmp"));
    EXPECT_TRUE(same_pixels(r, b)) << nc;
  }
}

}  // namespace
