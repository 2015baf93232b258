// Type codes from names (sufixoimg), from content (TipoImg), and ConvArg.
#include <cstdint>
#include <string>
#include <vector>

#include "formats/filetype.h"
#include "formats/type_fixtures.h"
#include "support/test_support.h"

namespace {

using fixtures::avi_header;
using fixtures::bmp_header;
using fixtures::Bytes;
using fixtures::text;
using fixtures::tga_header;
using fixtures::with_tail;

const char* const kUnknown =
    "Erro TipoImg - Formato deve ser JPG ou um dos nao-compactados: BMP-1bit ou TGA-8bits ou "
    "TGA-24bits ou .TXT (MAT) ou .IMG ou .AVIou PBM ou PGM ou PPM";
const char* const kBadAvi =
    "Erro TipoImg - Formato deve ser JPG ou um dos nao-compactados: BMP-1bit ou TGA-8bits ou "
    "TGA-24bits ou .TXT (MAT) ou .IMG ou .AVI";

// ---- sufixoimg

struct SuffixCase {
  std::string name;
  int tipo;
  int num;
  std::string written;
};

class SufixoimgTable : public ::testing::TestWithParam<SuffixCase> {};

TEST_P(SufixoimgTable, CodeNumberAndName) {
  const SuffixCase& c = GetParam();
  int tipo = -7, num = -7;
  EXPECT_EQ(sufixoimg(c.name, tipo, num), c.written);
  EXPECT_EQ(tipo, c.tipo);
  EXPECT_EQ(num, c.num);
}

const std::string k251(251, 'x');

INSTANTIATE_TEST_SUITE_P(
    Names, SufixoimgTable,
    ::testing::Values(
        SuffixCase{"foto.jpg", 21, 90, "foto.jpg"}, SuffixCase{"foto.JPG", 21, 90, "foto.JPG"},
        SuffixCase{"foto.jpg75", 21, 75, "foto.jpg"}, SuffixCase{"FOTO.Jpg75", 21, 75, "FOTO.Jpg"},
        SuffixCase{"foto.jpg0", 21, 90, "foto.jpg"}, SuffixCase{"a.pgm", 65, 0, "a.pgm"},
        SuffixCase{"a.pgm0", 65, 0, "a.pgm"}, SuffixCase{"a.pgm1", 62, 1, "a.pgm"},
        SuffixCase{"a.PGM", 65, 0, "a.PGM"}, SuffixCase{"a.PGM1", 62, 1, "a.PGM"},
        SuffixCase{"a.pgm-1", 62, -1, "a.pgm"}, SuffixCase{"a.pbm", 64, 0, "a.pbm"},
        SuffixCase{"a.pbm3", 61, 3, "a.pbm"}, SuffixCase{"a.ppm", 66, 0, "a.ppm"},
        SuffixCase{"a.ppm2", 63, 2, "a.ppm"}, SuffixCase{"a.tga", 1, 0, "a.tga"},
        SuffixCase{"a.TGA", 1, 0, "a.TGA"}, SuffixCase{"a.tga7", 1, 7, "a.tga"},
        SuffixCase{"a.bmp", 4, 0, "a.bmp"}, SuffixCase{"a.txt", 5, 0, "a.txt"},
        SuffixCase{"a.mat", 5, 0, "a.mat"}, SuffixCase{"a.img", 11, 0, "a.img"},
        SuffixCase{"a.avi", 51, 0, "a.avi"}, SuffixCase{"a.has", 51, 0, "a.has"},
        SuffixCase{"a.png", 30, 0, "a.png"},
        // no dot, an empty suffix, one and two letters
        SuffixCase{"semponto", 40, 0, "semponto"},
        SuffixCase{"dir/semponto", 40, 0, "dir/semponto"}, SuffixCase{"a.", 30, 0, "a."},
        SuffixCase{"a.j", 30, 0, "a.j"}, SuffixCase{"a.jp", 30, 0, "a.jp"},
        // the last dot counts, also one in a directory
        SuffixCase{"v.dir/x.bmp", 4, 0, "v.dir/x.bmp"}, SuffixCase{"a.b.tga", 1, 0, "a.b.tga"},
        // 255 characters is the longest name
        SuffixCase{k251 + ".bmp", 4, 0, k251 + ".bmp"},
        SuffixCase{std::string(249, 'x') + ".jpg75", 21, 75, std::string(249, 'x') + ".jpg"}));

struct BadName {
  std::string name;
  const char* message;
};

class SufixoimgRefusal : public ::testing::TestWithParam<BadName> {};

TEST_P(SufixoimgRefusal, Message) {
  int tipo, num;
  EXPECT_ERRO(sufixoimg(GetParam().name, tipo, num), GetParam().message, "");
}

INSTANTIATE_TEST_SUITE_P(
    Names, SufixoimgRefusal,
    ::testing::Values(BadName{"", "Erro: nome arquivo invalido"},
                      BadName{k251 + "x.bmp", "Erro: nome arquivo invalido"},
                      BadName{"a.jpeg", "Erro suf do arquivo: numero apos suf"},
                      BadName{"a.jpgx", "Erro suf do arquivo: numero apos suf"},
                      BadName{"velho.dir/imagem", "Erro suf do arquivo: numero apos suf"},
                      BadName{"d.tga/7", "Erro suf do arquivo: numero apos suf"}));

// ---- TipoImg

struct ContentCase {
  std::string label;
  Bytes content;
  int tipo;  // 0: refused with the long message; -1: refused as an AVI
};

class TipoImgTable : public testutil::TempDir, public ::testing::WithParamInterface<ContentCase> {};

TEST_P(TipoImgTable, Classifies) {
  const ContentCase& c = GetParam();
  // The name never matters: every file is called .pgm.
  const std::string name = path("f.pgm");
  testutil::write_bytes(name, c.content);
  if (c.tipo > 0)
    EXPECT_EQ(TipoImg(name), c.tipo);
  else
    EXPECT_ERRO(TipoImg(name), c.tipo == 0 ? kUnknown : kBadAvi, "");
}

Bytes head(const Bytes& b, size_t n) { return Bytes(b.begin(), b.begin() + n); }

Bytes bytes_of(std::initializer_list<int> v) { return Bytes(v.begin(), v.end()); }

std::string case_name(const ::testing::TestParamInfo<ContentCase>& info) {
  return info.param.label;
}

INSTANTIATE_TEST_SUITE_P(
    Contents, TipoImgTable,
    ::testing::Values(
        ContentCase{"TgaGrey", with_tail(tga_header(0, 3, 0, 8), "ab"), 1},
        ContentCase{"TgaPalette", with_tail(tga_header(1, 1, 24, 8), "abcdefgh"), 2},
        ContentCase{"TgaColour", with_tail(tga_header(0, 2, 0, 24), "abcdef"), 3},
        ContentCase{"TgaWithIdField",
                    [] {
                      Bytes h = tga_header(0, 3, 0, 8);
                      h[0] = 1;
                      return h;
                    }(),
                    0},
        ContentCase{"TgaRunLength", tga_header(0, 11, 0, 8), 0},
        ContentCase{"Tga16Bit", tga_header(0, 2, 0, 16), 0},
        ContentCase{"TgaPaletteOf16BitEntries", tga_header(1, 1, 16, 8), 0},
        ContentCase{"Bmp1BitNoColoursUsed", bmp_header(1, 0, 0), 4},
        ContentCase{"Bmp1BitTwoColoursUsed", bmp_header(1, 0, 2), 4},
        ContentCase{"Bmp1BitThreeColoursUsed", bmp_header(1, 0, 3), 0},
        ContentCase{"Bmp8Bit", bmp_header(8, 0, 0), 0},
        ContentCase{"BmpCompressed", bmp_header(1, 1, 0), 0},
        ContentCase{"Jpeg", bytes_of({0xFF, 0xD8, 0xFF, 0xE0, 0, 16}), 21},
        ContentCase{"FfWithoutD8", bytes_of({0xFF, 0xD9, 0xFF, 0xE0}), 0},
        ContentCase{"Avi8", avi_header(1, 8, 0), 51},
        ContentCase{"Avi24", avi_header(1, 24, 0), 52},
        ContentCase{"Avi16", avi_header(1, 16, 0), -1},
        ContentCase{"AviCompressed", avi_header(1, 24, 1), -1},
        ContentCase{"AviTwoPlanes", avi_header(2, 8, 0), -1},
        ContentCase{"RiffNotAvi", with_tail(text("RIFF\4\0\0\0WAVE"), std::string(200, 'x')), 0},
        ContentCase{"TwoNumbers", text("3 4\n1 2 3 4\n"), 5},
        ContentCase{"CommentThenNumbers", text("# comment\n# another one\n3 4\n"), 5},
        ContentCase{"SignedAndLeadingInts", text("  -3;12abc"), 5},
        ContentCase{"TextStartingP2", text("P2\n2 1\n255\n0 255\n"), 62},
        ContentCase{"OneNumberOnly", text("3\n"), 0}, ContentCase{"Empty", text(""), 0},
        ContentCase{"NumberThenWord", text("3 x\n"), 0},
        ContentCase{"ImgSht", with_tail(text("IMGSHT*\x1A"), std::string(40, '\xff')), 11},
        ContentCase{"ImgFlt", text("IMGFLT*\x1A"), 13},
        ContentCase{"I3dFlt", text("I3DFLT*\x1A"), 14},
        ContentCase{"ImgCpx", text("IMGCPX*\x1A"), 15},
        ContentCase{"I3dSht", text("I3DSHT*\x1A"), 16},
        ContentCase{"ImgDbl", text("IMGDBL*\x1A"), 17},
        ContentCase{"I3dCpx", text("I3DCPX*\x1A"), 18},
        ContentCase{"ImgShtCutByZero", with_tail(text("IMGSHT"), std::string(1, '\0') + "*"), 0},
        ContentCase{"P1", text("P1\n1 1\n0\n"), 61}, ContentCase{"P3", text("P3\n"), 63},
        ContentCase{"P4", text("P4\n1 1\n\x80"), 64},
        ContentCase{"P5", text("P5\n1 1\n255\n\x07"), 65}, ContentCase{"P6", text("P6\n"), 66},
        ContentCase{"LowerCaseP5", text("p5\n1 1\n255\n\x07"), 0},
        // Short files are judged on zeros past their end.
        ContentCase{"TwoBytesP4", text("P4"), 64},
        ContentCase{"TgaGreyHeaderCutAfterDepth", head(tga_header(0, 3, 0, 8), 17), 1},
        ContentCase{"BmpCutBeforeColoursUsed", head(bmp_header(1, 0, 0), 40), 4},
        ContentCase{"TgaGreyCutBeforeDepth", head(tga_header(0, 3, 0, 8), 16), 0},
        ContentCase{"LoneFf", bytes_of({0xFF}), 0}),
    case_name);

class TipoImgFiles : public testutil::TempDir {};

// Classifies each file from the same frame, so a stale header would be at hand.
void classify_in_turn(const std::vector<std::string>& names) {
  volatile int sink = 0;
  for (const std::string& n : names) sink = sink + TipoImg(n);
}

TEST_F(TipoImgFiles, MissingFileIsRefusedWithItsName) {
  const std::string name = path("nada.bmp");
  EXPECT_ERRO(TipoImg(name), "Erro TipoImg - Abertura ", name);
}

// A short file after a long one: nothing of the earlier header may leak into the verdict.
TEST_F(TipoImgFiles, ShortFileAfterLongOne) {
  testutil::write_bytes(path("long.tga"), with_tail(tga_header(0, 3, 0, 8), "ab"));
  testutil::write_bytes(path("short"), Bytes{0, 0, 3});
  const std::vector<std::string> names = {path("long.tga"), path("short")};
  EXPECT_ERRO(classify_in_turn(names), kUnknown, "");
}

// ---- ConvArg

TEST(ConvArg, ConvertsTheLeadingNumber) {
  struct Case {
    const char* text;
    int i;
    double d;
  } cases[] = {{"12", 12, 12.0},   {"  -7", -7, -7.0},  {"3.75", 3, 3.75},
               {"1e3", 1, 1000.0}, {"42abc", 42, 42.0}, {"+5", 5, 5.0}};
  for (const Case& c : cases) {
    int i = 0;
    double d = 0;
    ConvArg(i, c.text);
    ConvArg(d, c.text);
    EXPECT_EQ(i, c.i) << c.text;
    EXPECT_EQ(d, c.d) << c.text;
  }
}

TEST(ConvArg, TextWithoutNumberIsFatal) {
  for (const char* t : {"", "abc", "-", " x1"}) {
    int i;
    double d;
    EXPECT_ERRO(ConvArg(i, t), "Erro: Leitura ", t);
    EXPECT_ERRO(ConvArg(d, t), "Erro: Leitura ", t);
  }
  double d;
  EXPECT_ERRO(ConvArg(d, ".e"), "Erro: Leitura ", ".e");
}

}  // namespace
