// Reading and writing by file name: every (format, class) pair of le and imp, the conversions
// on the way, refusals, and a 1-bit image from netpbm through le and ImpBmp.
#include <cctype>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "formats/filetype.h"
#include "formats/image_io.h"
#include "formats/jpeg.h"
#include "formats/type_fixtures.h"
#include "support/test_support.h"

namespace {

using fixtures::Bytes;

// An asymmetric black (0) and white (1) picture: flips, swapped axes and shifted rows show.
const int kRows = 4, kCols = 5;
const int kPattern[kRows][kCols] = {
    {1, 1, 1, 1, 0},
    {1, 0, 0, 0, 0},
    {1, 1, 1, 0, 1},
    {1, 0, 0, 0, 1},
};

// The grey level of a pixel on the shared scale: 0 black, 1 white.
double level(const IMGBIN& i, int l, int c) { return i(l, c) ? 1.0 : 0.0; }
double level(const IMGGRY& i, int l, int c) { return i(l, c) / 255.0; }
double level(const IMGCOR& i, int l, int c) {
  const COR p = i(l, c);
  return (p.r + p.g + p.b) / 765.0;
}
double level(const IMGSHT& i, int l, int c) { return i(l, c) / 255.0; }
double level(const IMGFLT& i, int l, int c) { return i(l, c); }
double level(const IMGDBL& i, int l, int c) { return i(l, c); }
double level(const IMGCPX& i, int l, int c) { return i(l, c).imag() == 0 ? i(l, c).real() : -9.0; }

void set_white(IMGBIN& i, int l, int c, bool w) { i(l, c) = w; }
void set_white(IMGGRY& i, int l, int c, bool w) { i(l, c) = w ? 255 : 0; }
void set_white(IMGCOR& i, int l, int c, bool w) {
  const unsigned char v = w ? 255 : 0;
  i(l, c) = COR{v, v, v};
}
void set_white(IMGSHT& i, int l, int c, bool w) { i(l, c) = w ? 255 : 0; }
void set_white(IMGFLT& i, int l, int c, bool w) { i(l, c) = w ? 1.0f : 0.0f; }
void set_white(IMGDBL& i, int l, int c, bool w) { i(l, c) = w ? 1.0 : 0.0; }
void set_white(IMGCPX& i, int l, int c, bool w) { i(l, c) = w ? 1.0f : 0.0f; }

template <class Img>
Img pattern() {
  Img img(kRows, kCols);
  for (int l = 0; l < kRows; l++)
    for (int c = 0; c < kCols; c++) set_white(img, l, c, kPattern[l][c] != 0);
  return img;
}

// "" when img holds the pattern within tol; otherwise what differs.
template <class Img>
std::string pattern_mismatch(const Img& img, double tol) {
  std::ostringstream out;
  if (img.nl() != kRows || img.nc() != kCols) {
    out << "size " << img.nl() << " x " << img.nc();
    return out.str();
  }
  for (int l = 0; l < kRows; l++)
    for (int c = 0; c < kCols; c++)
      if (!(std::fabs(level(img, l, c) - kPattern[l][c]) <= tol))
        out << "(" << l << "," << c << ")=" << level(img, l, c) << " ";
  return out.str();
}

const char* const kClassNames[] = {"IMGBIN", "IMGGRY", "IMGCOR", "IMGSHT",
                                   "IMGFLT", "IMGDBL", "IMGCPX"};

// Calls f(empty image, column) for the seven classes in table order.
template <class F>
void for_each_class(F f) {
  f(IMGBIN(), 0);
  f(IMGGRY(), 1);
  f(IMGCOR(), 2);
  f(IMGSHT(), 3);
  f(IMGFLT(), 4);
  f(IMGDBL(), 5);
  f(IMGCPX(), 6);
}

// JPEG is lossy; everything else comes back exactly.
double tolerance(int tipo) { return tipo == TIPO_JPG ? 0.15 : 1e-6; }

// ---- le: every format into every class

// The class columns say D (the class's own reader), = (read as the natural class, then
// assigned), G (through IMGGRY) or - (refused).
struct LeRow {
  const char* label;
  int tipo;
  const char* columns;  // IMGBIN IMGGRY IMGCOR IMGSHT IMGFLT IMGDBL IMGCPX
};

class LeTable : public testutil::TempDir, public ::testing::WithParamInterface<LeRow> {
 protected:
  // Writes the fixture of the row's format; the name ends in .pgm, whatever the content.
  std::string fixture(int tipo) {
    const std::string in = path("in.pgm");
    auto through = [&](auto img, const std::string& name) {
      imp(img, path(name));
      int t, n;
      EXPECT_EQ(std::rename(sufixoimg(path(name), t, n).c_str(), in.c_str()), 0);
    };
    switch (tipo) {
      case TIPO_TGA_GRY:
        through(pattern<IMGGRY>(), "w.tga");
        break;
      case TIPO_TGA_PAL:
        testutil::write_bytes(in, palette_tga());
        break;
      case TIPO_TGA_COR:
        through(pattern<IMGCOR>(), "w.tga");
        break;
      case TIPO_BMP:
        through(pattern<IMGBIN>(), "w.bmp");
        break;
      case TIPO_IMGSHT:
        through(pattern<IMGSHT>(), "w.img");
        break;
      case TIPO_IMGFLT:
        through(pattern<IMGFLT>(), "w.img");
        break;
      case TIPO_IMGCPX:
        through(pattern<IMGCPX>(), "w.img");
        break;
      case TIPO_IMGDBL:
        through(pattern<IMGDBL>(), "w.img");
        break;
      case TIPO_JPG:
        through(pattern<IMGGRY>(), "w.jpg100");
        break;
      case TIPO_PBMT:
        through(pattern<IMGBIN>(), "w.pbm1");
        break;
      case TIPO_PGMT:
        through(pattern<IMGGRY>(), "w.pgm1");
        break;
      case TIPO_PPMT:
        through(pattern<IMGCOR>(), "w.ppm1");
        break;
      case TIPO_PBMB:
        through(pattern<IMGBIN>(), "w.pbm");
        break;
      case TIPO_PGMB:
        through(pattern<IMGGRY>(), "w.pgm");
        break;
      case TIPO_PPMB:
        through(pattern<IMGCOR>(), "w.ppm");
        break;
      case TIPO_I3DFLT:
        write_magic(in, "I3DFLT*\x1A");
        break;
      case TIPO_I3DSHT:
        write_magic(in, "I3DSHT*\x1A");
        break;
      case TIPO_I3DCPX:
        write_magic(in, "I3DCPX*\x1A");
        break;
      case TIPO_AVI8:
        testutil::write_bytes(in, fixtures::avi_header(1, 8, 0));
        break;
      case TIPO_AVI24:
        testutil::write_bytes(in, fixtures::avi_header(1, 24, 0));
        break;
    }
    return in;
  }

  // Colour map: entry 0 white, entry 1 black, so each index is the complement of the pattern.
  static Bytes palette_tga() {
    Bytes b = {0, 1, 1, 0, 0, 2, 0, 24, 0, 0, 0, 0, kCols, 0, kRows, 0, 8, 0x20};
    for (int k = 0; k < 3; k++) b.push_back(255);
    for (int k = 0; k < 3; k++) b.push_back(0);
    for (int l = 0; l < kRows; l++)
      for (int c = 0; c < kCols; c++) b.push_back(kPattern[l][c] ? 0 : 1);
    return b;
  }

  static void write_magic(const std::string& name, const std::string& magic) {
    testutil::write_bytes(name, fixtures::with_tail(fixtures::text(magic), std::string(40, '\0')));
  }
};

TEST_P(LeTable, ReadsOrRefuses) {
  const LeRow& row = GetParam();
  const std::string in = fixture(row.tipo);
  ASSERT_EQ(TipoImg(in), row.tipo);
  for_each_class([&](auto img, int column) {
    SCOPED_TRACE(kClassNames[column]);
    if (row.columns[column] == '-') {
      EXPECT_ERRO(le(img, in), "Tipo de imagem invalido ", in);
      return;
    }
    le(img, in);
    EXPECT_EQ(pattern_mismatch(img, tolerance(row.tipo)), "");
  });
}

std::string le_name(const ::testing::TestParamInfo<LeRow>& info) { return info.param.label; }

INSTANTIATE_TEST_SUITE_P(
    Formats, LeTable,
    ::testing::Values(
        LeRow{"TgaGrey", TIPO_TGA_GRY, "=D====="}, LeRow{"TgaPalette", TIPO_TGA_PAL, "=DD===="},
        LeRow{"TgaColour", TIPO_TGA_COR, "==D-==="}, LeRow{"Bmp", TIPO_BMP, "D==-==="},
        LeRow{"ImgSht", TIPO_IMGSHT, "---DGG-"}, LeRow{"ImgFlt", TIPO_IMGFLT, "-==-D=-"},
        LeRow{"ImgCpx", TIPO_IMGCPX, "------D"}, LeRow{"ImgDbl", TIPO_IMGDBL, "----=D-"},
        LeRow{"Jpeg", TIPO_JPG, "=DD===="}, LeRow{"PbmText", TIPO_PBMT, "D==G==="},
        LeRow{"PgmText", TIPO_PGMT, "=D====="}, LeRow{"PpmText", TIPO_PPMT, "==DG==="},
        LeRow{"PbmBinary", TIPO_PBMB, "D==G==="}, LeRow{"PgmBinary", TIPO_PGMB, "=D====="},
        LeRow{"PpmBinary", TIPO_PPMB, "==DG==="}, LeRow{"VolumeFlt", TIPO_I3DFLT, "-------"},
        LeRow{"VolumeSht", TIPO_I3DSHT, "-------"}, LeRow{"VolumeCpx", TIPO_I3DCPX, "-------"},
        LeRow{"Avi8", TIPO_AVI8, "-------"}, LeRow{"Avi24", TIPO_AVI24, "-------"}),
    le_name);

// A text matrix is read by the caller's own LeTxt, with no conversion.
class LeText : public testutil::TempDir {};

TEST_F(LeText, EveryClassReadsItsOwnText) {
  for_each_class([&](auto img, int column) {
    SCOPED_TRACE(kClassNames[column]);
    using Img = decltype(img);
    const std::string name = path(std::string(kClassNames[column]) + ".txt");
    imp(pattern<Img>(), name);
    ASSERT_EQ(TipoImg(name), TIPO_TXT);
    le(img, name);
    EXPECT_EQ(pattern_mismatch(img, 1e-6), "");
  });
}

// ---- imp: every suffix from every class

struct ImpRow {
  const char* name;
  const char* written;  // the name of the file written: the number after the suffix cut
  int tipo[7];          // the written file's content code per class; 0: refused
};

const char* const kRefusal[] = {
    " Erro: IMGBIN deve ser impresso em formato BMP ou TXT (MAT) ou PBM",
    " Erro: IMGGRY deve ser impresso em formato TGA, TXT (MAT), JPG ou PGM",
    " Erro: IMGCOR deve ser impresso em formato TGA, TXT (MAT), JPG ou PPM",
    " Erro: IMGSHT deve ser impresso como TXT (MAT), IMG ou TGA (com perda de info)",
    " Erro: IMGFLT deve ser impresso como TXT (MAT), IMG ou TGA (com perda de info)",
    " Erro: IMGDBL deve ser impresso como TXT (MAT), IMG ou TGA (com perda de info)",
    " Erro: IMGCPX deve ser impresso como TXT (MAT), ou IMG",
};

class ImpTable : public testutil::TempDir, public ::testing::WithParamInterface<ImpRow> {};

TEST_P(ImpTable, WritesOrRefuses) {
  const ImpRow& row = GetParam();
  const std::string name = path(row.name), written = path(row.written);
  for_each_class([&](auto img, int column) {
    SCOPED_TRACE(kClassNames[column]);
    using Img = decltype(img);
    const Img original = pattern<Img>();
    const int tipo = row.tipo[column];
    if (tipo == 0) {
      EXPECT_ERRO(imp(original, name), name, kRefusal[column]);
      EXPECT_FALSE(testutil::file_exists(written));
      return;
    }
    imp(original, name);
    ASSERT_TRUE(testutil::file_exists(written));
    EXPECT_EQ(TipoImg(written), tipo);
    le(img, written);
    EXPECT_EQ(pattern_mismatch(img, tolerance(tipo)), "");
    EXPECT_EQ(pattern_mismatch(original, 0), "");
    std::remove(written.c_str());
  });
}

std::string imp_name(const ::testing::TestParamInfo<ImpRow>& info) {
  std::string s;
  for (const char* p = info.param.name; *p; ++p)
    s += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
  return s;
}

INSTANTIATE_TEST_SUITE_P(Suffixes, ImpTable,
                         ::testing::Values(
                             //     name        written    BIN GRY COR SHT FLT DBL CPX
                             ImpRow{"o.tga", "o.tga", {0, 1, 3, 1, 1, 1, 0}},
                             ImpRow{"o.TGA9", "o.TGA", {0, 1, 3, 1, 1, 1, 0}},
                             ImpRow{"o.bmp", "o.bmp", {4, 0, 0, 0, 4, 0, 0}},
                             ImpRow{"o.txt", "o.txt", {5, 5, 5, 5, 5, 5, 5}},
                             ImpRow{"o.mat", "o.mat", {5, 5, 5, 5, 5, 5, 5}},
                             ImpRow{"o.img", "o.img", {0, 0, 0, 11, 13, 17, 15}},
                             ImpRow{"o.jpg", "o.jpg", {0, 21, 21, 0, 21, 21, 0}},
                             ImpRow{"o.jpg75", "o.jpg", {0, 21, 21, 0, 21, 21, 0}},
                             ImpRow{"o.pbm", "o.pbm", {64, 0, 0, 0, 0, 0, 0}},
                             ImpRow{"o.pbm1", "o.pbm", {61, 0, 0, 0, 0, 0, 0}},
                             ImpRow{"o.pgm", "o.pgm", {0, 65, 0, 0, 65, 65, 0}},
                             ImpRow{"o.PGM1", "o.PGM", {0, 62, 0, 0, 62, 62, 0}},
                             ImpRow{"o.ppm0", "o.ppm", {0, 0, 66, 0, 0, 0, 0}},
                             ImpRow{"o.ppm1", "o.ppm", {0, 0, 63, 0, 0, 0, 0}},
                             ImpRow{"o.avi", "o.avi", {0, 0, 0, 0, 0, 0, 0}},
                             ImpRow{"o.has", "o.has", {0, 0, 0, 0, 0, 0, 0}},
                             ImpRow{"semponto", "semponto", {0, 0, 0, 0, 0, 0, 0}},
                             ImpRow{"o.png", "o.png", {0, 0, 0, 0, 0, 0, 0}},
                             ImpRow{"o.jp", "o.jp", {0, 0, 0, 0, 0, 0, 0}}),
                         imp_name);

// ---- the conversions on the way

class ByName : public testutil::TempDir {};

// An "IMGSHT*" file reaches float and double through 8-bit grey.
TEST_F(ByName, ShortFileIntoRealImagesPassesThroughGrey) {
  const std::string name = path("s.img");
  imp(IMGSHT(1, 3, -5, 100, 300), name);
  IMGFLT f;
  le(f, name);
  ASSERT_EQ(f.nc(), 3);
  EXPECT_EQ(f(0, 0), 0.0f);
  EXPECT_EQ(f(0, 1), static_cast<float>(100 / 255.0));
  EXPECT_EQ(f(0, 2), 1.0f);
  IMGDBL d;
  le(d, name);
  ASSERT_EQ(d.nc(), 3);
  EXPECT_EQ(d(0, 0), 0.0);
  EXPECT_EQ(d(0, 1), 100 / 255.0);
  EXPECT_EQ(d(0, 2), 1.0);
  IMGSHT s;
  le(s, name);
  ASSERT_EQ(s.nc(), 3);
  EXPECT_EQ(s(0, 0), -5);
  EXPECT_EQ(s(0, 1), 100);
  EXPECT_EQ(s(0, 2), 300);
}

// A colour file reaches IMGSHT through grey ((r + g + b + 1) / 3) and IMGFLT directly
// ((r + g + b) / 765).
TEST_F(ByName, ColourFileIntoShortAndFloat) {
  const std::string name = path("c.ppm");
  imp(IMGCOR(1, 2, 10, 20, 40, 255, 0, 0), name);
  IMGSHT s;
  le(s, name);
  ASSERT_EQ(s.nc(), 2);
  EXPECT_EQ(s(0, 0), 23);
  EXPECT_EQ(s(0, 1), 85);
  IMGFLT f;
  le(f, name);
  ASSERT_EQ(f.nc(), 2);
  EXPECT_EQ(f(0, 0), static_cast<float>(70 / 765.0));
  EXPECT_EQ(f(0, 1), static_cast<float>(255 / 765.0));
}

// Real images are written as BMP through IMGBIN (white from 0.5) and as PGM or JPEG through
// IMGGRY (clamped, times 255, truncated).
TEST_F(ByName, RealImagesWrittenThroughConversions) {
  const IMGFLT f(1, 4, 0.49, 0.5, 0.999, 7.5);
  imp(f, path("f.bmp"));
  IMGBIN b;
  le(b, path("f.bmp"));
  ASSERT_EQ(b.nc(), 4);
  EXPECT_FALSE(b(0, 0));
  EXPECT_TRUE(b(0, 1));
  EXPECT_TRUE(b(0, 2));
  EXPECT_TRUE(b(0, 3));

  const IMGDBL d(1, 4, 0.49, 0.5, 0.999, -0.2);
  imp(f, path("f.pgm"));
  imp(d, path("d.pgm7"));
  IMGGRY g;
  le(g, path("f.pgm"));
  ASSERT_EQ(g.nc(), 4);
  EXPECT_EQ(g(0, 0), 124);
  EXPECT_EQ(g(0, 1), 127);
  EXPECT_EQ(g(0, 2), 254);
  EXPECT_EQ(g(0, 3), 255);
  EXPECT_EQ(testutil::read_text(path("d.pgm")).substr(0, 3), "P2\n");
  le(g, path("d.pgm"));
  ASSERT_EQ(g.nc(), 4);
  EXPECT_EQ(g(0, 0), 124);
  EXPECT_EQ(g(0, 3), 0);
}

// The number after jpg is the quality; 90 without one.
TEST_F(ByName, JpegQualityComesFromTheName) {
  IMGCOR img(16, 16);
  for (int l = 0; l < 16; l++)
    for (int c = 0; c < 16; c++)
      img(l, c) = COR{static_cast<unsigned char>(l * 16), static_cast<unsigned char>(c * 13),
                      static_cast<unsigned char>((l * c) % 256)};
  imp(img, path("q.jpg75"));
  imp(img, path("n.jpg"));
  ImpJpg(img, path("r75.jpg"), 75);
  ImpJpg(img, path("r90.jpg"), 90);
  EXPECT_FALSE(testutil::file_exists(path("q.jpg75")));
  EXPECT_EQ(testutil::read_bytes(path("q.jpg")), testutil::read_bytes(path("r75.jpg")));
  EXPECT_EQ(testutil::read_bytes(path("n.jpg")), testutil::read_bytes(path("r90.jpg")));
  EXPECT_NE(testutil::read_bytes(path("r75.jpg")), testutil::read_bytes(path("r90.jpg")));
}

// Writers that reorder pixels in place work on a copy: the caller's image keeps its order.
TEST_F(ByName, CallersImageNeverChanges) {
  const IMGCOR c(1, 2, 10, 20, 30, 200, 100, 0);
  imp(c, path("c.tga"));
  EXPECT_EQ(c(0, 0), (COR{10, 20, 30}));
  EXPECT_EQ(c(0, 1), (COR{200, 100, 0}));
  IMGCOR back;
  le(back, path("c.tga"));
  EXPECT_EQ(back(0, 0), (COR{10, 20, 30}));
  EXPECT_EQ(back(0, 1), (COR{200, 100, 0}));

  const IMGBIN b = pattern<IMGBIN>();
  const std::vector<uint32_t> words(b.data, b.data + b.nw);
  imp(b, path("b.bmp"));
  EXPECT_EQ(std::vector<uint32_t>(b.data, b.data + b.nw), words);
}

TEST_F(ByName, SuffixCaseIsIgnoredAndTheNameKept) {
  imp(pattern<IMGGRY>(), path("a.PGM"));
  EXPECT_EQ(testutil::read_text(path("a.PGM")).substr(0, 3), "P5\n");
  imp(pattern<IMGGRY>(), path("b.pgm1"));
  EXPECT_EQ(testutil::read_text(path("b.pgm")).substr(0, 3), "P2\n");
}

// The type code chooses the reader; a malformed file still fails inside that reader.
struct Malformed {
  const char* label;
  Bytes content;
  std::string message;  // a prefix of the line printed
};

Bytes img_header(const char* magic, int32_t size, int32_t nl, int32_t nc) {
  Bytes b = fixtures::text(std::string(magic) + "\x1A");
  for (int32_t v : {size, nl, nc, (nl - 1) / 2, (nc - 1) / 2}) testutil::append32(b, v);
  return b;
}

Bytes bmp_without_pixels() {
  Bytes h = fixtures::bmp_header(1, 0, 2);
  h[18] = 40;  // 1 x 40 wants 8 bytes of pixels
  h[55] = h[56] = h[57] = 0;
  h[58] = h[59] = h[60] = 255;
  return h;
}

Bytes head(const Bytes& b, size_t n) { return Bytes(b.begin(), b.begin() + n); }

class LeMalformed : public testutil::TempDir, public ::testing::WithParamInterface<Malformed> {};

TEST_P(LeMalformed, FailsInTheReader) {
  const std::string name = path("bad.x");
  testutil::write_bytes(name, GetParam().content);
  for_each_class([&](auto img, int column) {
    SCOPED_TRACE(kClassNames[column]);
    int tipo = TipoImg(name);
    if (column == 3 && (tipo == TIPO_BMP || tipo == TIPO_TGA_COR)) return;  // refused earlier
    if (tipo == TIPO_IMGFLT && (column == 0 || column == 3 || column == 6)) return;
    EXPECT_EXIT(
        {
          testutil::stdout_to_stderr();
          le(img, name);
        },
        ::testing::ExitedWithCode(1), ::testing::HasSubstr(GetParam().message));
  });
}

std::string malformed_name(const ::testing::TestParamInfo<Malformed>& info) {
  return info.param.label;
}

INSTANTIATE_TEST_SUITE_P(
    Files, LeMalformed,
    ::testing::Values(Malformed{"BmpWithoutPixels", bmp_without_pixels(),
                                "Erro IMGBIN::LeBmp - Fim inesperado \n"},
                      Malformed{"BmpCutInHeader", head(bmp_without_pixels(), 50),
                                "Erro IMGBIN::LeBmp - "},
                      Malformed{"TgaColourWithoutPixels", fixtures::tga_header(0, 2, 0, 24),
                                "Erro IMGCOR::LeTga - Fim inesperado \n"},
                      Malformed{"ImgFltWithoutPixels", img_header("IMGFLT*", 4, 2, 2),
                                "Erro IMGFLT::LeImg - Fim inesperado \n"},
                      Malformed{"PgmWithoutSize", fixtures::text("P5\n"), "LeNum(int) \n"},
                      Malformed{"PgmCutInBody", fixtures::text("P5\n3 2\n255\nab"),
                                "Erro lepgmb - Fim inesperado \n"},
                      Malformed{"JpegCut", fixtures::Bytes{0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F'},
                                "Erro: Leitura JPG \n"}),
    malformed_name);

// ---- end to end: a 1-bit image from netpbm, read by le and written by ImpBmp

// The BMP that ImpBmp writes for a binary image: black entry 0, white entry 1, rows bottom-up,
// each row padded to whole 32-bit words, leftmost pixel in the top bit.
Bytes expected_bmp(const std::vector<std::string>& rows) {
  const int nl = static_cast<int>(rows.size()), nc = static_cast<int>(rows[0].size());
  const int wpr = (nc - 1) / 32 + 1;
  Bytes b = {'B', 'M'};
  for (int32_t v : {62 + 4 * wpr * nl, 0, 62, 40, nc, nl}) testutil::append32(b, v);
  b.push_back(1), b.push_back(0), b.push_back(1), b.push_back(0);
  for (int32_t v : {0, 0, 0, 0, 2, 2, 0}) testutil::append32(b, v);
  for (int k = 0; k < 3; k++) b.push_back(255);
  b.push_back(0);
  for (int l = nl - 1; l >= 0; l--) {
    Bytes row(4 * wpr, 0);
    for (int c = 0; c < nc; c++)
      if (rows[l][c] == 'w') row[c / 8] |= 0x80 >> (c % 8);
    b.insert(b.end(), row.begin(), row.end());
  }
  return b;
}

class NetpbmToBmp : public testutil::TempDir {};

TEST_F(NetpbmToBmp, ReadByNameAndWrittenAsBmp) {
  REQUIRE_TOOL("pnmtopnm");
  REQUIRE_TOOL("pnmtoplainpnm");
  REQUIRE_TOOL("ppmtobmp");
  // 33 columns: the second word of each row holds one pixel.
  const std::vector<std::string> rows = {
      "wwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwb",
      "wbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbw",
      "wwwwbbbbwwwwbbbbwwwwbbbbwwwwbbbbb",
  };
  // The source as plain PBM with a blank between pixels (1 is black).
  std::string src = "P1\n33 3\n";
  for (const std::string& r : rows) {
    for (char p : r) src += p == 'w' ? "0 " : "1 ";
    src += "\n";
  }
  testutil::write_text(path("src.pbm"), src);
  ASSERT_EQ(testutil::run("pnmtopnm " + path("src.pbm") + " > " + path("raw.pbm") + " 2>/dev/null"),
            0);
  ASSERT_EQ(testutil::run("pnmtoplainpnm " + path("raw.pbm") + " > " + path("plain.pbm") +
                          " 2>/dev/null"),
            0);
  ASSERT_EQ(testutil::run("ppmtobmp -bpp=1 " + path("raw.pbm") + " > " + path("netpbm.bmp") +
                          " 2>/dev/null"),
            0);
  const Bytes expected = expected_bmp(rows);
  for (const char* in : {"netpbm.bmp", "raw.pbm", "plain.pbm"}) {
    SCOPED_TRACE(in);
    IMGBIN img;
    le(img, path(in));
    img.ImpBmp(path("out.bmp"));
    EXPECT_EQ(testutil::read_bytes(path("out.bmp")), expected);
  }
}

}  // namespace
