// Portable anymap readers and writers: exact bytes, header and sample tables, messages, peers.
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "formats/pnm.h"
#include "support/test_support.h"

using namespace std::string_literals;

namespace {

const std::string kHead = "#Created by Vistelmo\n";

std::array<int, 3> rgb(const COR& p) { return {p.r, p.g, p.b}; }

std::vector<unsigned char> bytes_of(const std::string& s) { return {s.begin(), s.end()}; }

// An asymmetric 'F' on white: no flip, transposition or row order goes unnoticed.
IMGBIN f_shape(int nl, int nc) {
  IMGBIN b(nl, nc, true);
  for (int l = 0; l < nl; l++) b(l, 1) = false;
  for (int c = 1; c < nc; c++) b(0, c) = false;
  for (int c = 1; c < nc / 2; c++) b(nl / 2, c) = false;
  return b;
}

IMGGRY grey_ramp(int nl, int nc) {
  IMGGRY g(nl, nc);
  for (int l = 0; l < nl; l++)
    for (int c = 0; c < nc; c++) g(l, c) = static_cast<unsigned char>((l * 37 + c * 11) % 256);
  return g;
}

IMGCOR colour_ramp(int nl, int nc) {
  IMGCOR g(nl, nc);
  for (int l = 0; l < nl; l++)
    for (int c = 0; c < nc; c++)
      g(l, c) =
          COR{static_cast<unsigned char>((l * 37 + c * 11) % 256),
              static_cast<unsigned char>((c * 53) % 256), static_cast<unsigned char>(l * 3 % 256)};
  return g;
}

void expect_same(const IMGBIN& a, const IMGBIN& b) {
  ASSERT_EQ(a.nl(), b.nl());
  ASSERT_EQ(a.nc(), b.nc());
  for (int l = 0; l < a.nl(); l++)
    for (int c = 0; c < a.nc(); c++) ASSERT_EQ(a(l, c), b(l, c)) << l << "," << c;
}
void expect_same(const IMGGRY& a, const IMGGRY& b) {
  ASSERT_EQ(a.nl(), b.nl());
  ASSERT_EQ(a.nc(), b.nc());
  for (int l = 0; l < a.nl(); l++)
    for (int c = 0; c < a.nc(); c++) ASSERT_EQ(a(l, c), b(l, c)) << l << "," << c;
}
void expect_same(const IMGCOR& a, const IMGCOR& b) {
  ASSERT_EQ(a.nl(), b.nl());
  ASSERT_EQ(a.nc(), b.nc());
  for (int l = 0; l < a.nl(); l++)
    for (int c = 0; c < a.nc(); c++) {
      ASSERT_EQ(rgb(a(l, c)), rgb(b(l, c))) << l << "," << c;
    }
}

class Pnm : public testutil::TempDir {};

// ---- Writers: exact bytes ----

TEST_F(Pnm, PlainPbmBytes) {
  IMGBIN b(2, 3, true, false, true, false, false, true);
  imppbmt(b, path("a.pbm"));
  EXPECT_EQ(testutil::read_text(path("a.pbm")), "P1\n" + kHead + "3 2\n0 1 0 \n1 1 0 \n");

  IMGBIN one(1, 1, true);
  imppbmt(one, path("w.pbm"));
  EXPECT_EQ(testutil::read_text(path("w.pbm")), "P1\n" + kHead + "1 1\n0 \n");
  EXPECT_EQ(testutil::read_bytes(path("w.pbm")).size(), 31u);
}

TEST_F(Pnm, PlainPgmAndPpmBytes) {
  IMGGRY g(2, 3, 0, 7, 42, 100, 200, 255);
  imppgmt(g, path("a.pgm"));
  EXPECT_EQ(testutil::read_text(path("a.pgm")),
            "P2\n" + kHead + "3 2\n255\n  0   7  42 \n100 200 255 \n");

  IMGCOR c(2, 2, 1, 2, 3, 40, 50, 255, 0, 0, 0, 9, 99, 199);
  impppmt(c, path("a.ppm"));
  EXPECT_EQ(testutil::read_text(path("a.ppm")), "P3\n" + kHead +
                                                    "2 2\n255\n  1   2   3   40  50 255  \n"
                                                    "  0   0   0    9  99 199  \n");
}

TEST_F(Pnm, RawPbmBytesAndPadBits) {
  // Row 0: black, white, black, six whites, black; row 1 all white.
  IMGBIN b(2, 10, true);
  b(0, 0) = false;
  b(0, 2) = false;
  b(0, 9) = false;
  imppbmb(b, path("a.pbm"));
  EXPECT_EQ(testutil::read_bytes(path("a.pbm")),
            bytes_of("P4\n" + kHead + "10 2\n\xA0\x40\x00\x00"s));

  b.backg = 0;  // a black outside value sets the pad bits
  imppbmb(b, path("b.pbm"));
  EXPECT_EQ(testutil::read_bytes(path("b.pbm")),
            bytes_of("P4\n" + kHead + "10 2\n\xA0\x7F\x00\x3F"s));

  IMGBIN e(1, 8, false);
  imppbmb(e, path("c.pbm"));
  EXPECT_EQ(testutil::read_bytes(path("c.pbm")), bytes_of("P4\n" + kHead + "8 1\n\xFF"s));
}

TEST_F(Pnm, RawPgmAndPpmBytes) {
  IMGGRY g(2, 2, 0, 10, 128, 255);
  imppgmb(g, path("a.pgm"));
  EXPECT_EQ(testutil::read_bytes(path("a.pgm")),
            bytes_of("P5\n" + kHead + "2 2\n255\n\x00\x0A\x80\xFF"s));

  IMGCOR c(1, 2, 1, 2, 3, 250, 251, 252);
  impppmb(c, path("a.ppm"));
  EXPECT_EQ(testutil::read_bytes(path("a.ppm")),
            bytes_of("P6\n" + kHead + "2 1\n255\n\x01\x02\x03\xFA\xFB\xFC"s));
}

TEST_F(Pnm, EmptyImagesHaveSizeLineAndNoBody) {
  imppgmb(IMGGRY(), path("a.pgm"));
  EXPECT_EQ(testutil::read_text(path("a.pgm")), "P5\n" + kHead + "0 0\n255\n");
  imppbmb(IMGBIN(), path("a.pbm"));
  EXPECT_EQ(testutil::read_text(path("a.pbm")), "P4\n" + kHead + "0 0\n");
  impppmt(IMGCOR(), path("a.ppm"));
  EXPECT_EQ(testutil::read_text(path("a.ppm")), "P3\n" + kHead + "0 0\n255\n");
}

TEST_F(Pnm, ImageWithoutStorageIsWrittenAsItsOutsideValue) {
  IMGGRY g(1, 2);
  g.backg = 7;
  g.desaloca();
  imppgmt(g, path("a.pgm"));
  EXPECT_EQ(testutil::read_text(path("a.pgm")), "P2\n" + kHead + "2 1\n255\n  7   7 \n");
  imppgmb(g, path("b.pgm"));
  EXPECT_EQ(testutil::read_text(path("b.pgm")), "P5\n" + kHead + "2 1\n255\n\x07\x07");
  IMGBIN b(1, 2);
  b.backg = 0;
  b.desaloca();
  imppbmt(b, path("a.pbm"));
  EXPECT_EQ(testutil::read_text(path("a.pbm")), "P1\n" + kHead + "2 1\n1 1 \n");
}

// ---- Round trips through our own readers ----

TEST_F(Pnm, RoundTripsKeepEveryPixel) {
  for (int nc : {1, 7, 8, 9, 31, 32, 33, 65}) {
    IMGBIN b = f_shape(5, nc), rb, rt;
    imppbmb(b, path("b.pbm"));
    lepbmb(rb, path("b.pbm"));
    expect_same(rb, b);
    imppbmt(b, path("t.pbm"));
    lepbmt(rt, path("t.pbm"));
    expect_same(rt, b);
  }
  IMGGRY g = grey_ramp(7, 13), gb, gt;
  imppgmb(g, path("b.pgm"));
  lepgmb(gb, path("b.pgm"));
  expect_same(gb, g);
  imppgmt(g, path("t.pgm"));
  lepgmt(gt, path("t.pgm"));
  expect_same(gt, g);
  IMGCOR c = colour_ramp(6, 11), cb, ct;
  impppmb(c, path("b.ppm"));
  leppmb(cb, path("b.ppm"));
  expect_same(cb, c);
  impppmt(c, path("t.ppm"));
  leppmt(ct, path("t.ppm"));
  expect_same(ct, c);
}

TEST_F(Pnm, ReaderResizesAnExistingImage) {
  testutil::write_text(path("a.pgm"), "P5 1 2 255\n\x05\x06");
  IMGGRY g(40, 40, 9);
  lepgmb(g, path("a.pgm"));
  EXPECT_EQ(g.nl(), 2);
  EXPECT_EQ(g.nc(), 1);
  EXPECT_EQ(g(0, 0), 5);
  EXPECT_EQ(g(1, 0), 6);
}

// Reads a file with one reader, writes the image back with the matching writer and reads
// that again; returns the sizes of both reads and whether either image holds storage.
template <class Img, void (*Read)(Img&, const std::string&),
          void (*Write)(const Img&, const std::string&)>
std::vector<int> read_write_read(const std::string& name, const std::string& again) {
  Img a, b;
  Read(a, name);
  Write(a, again);
  Read(b, again);
  return {a.nl(), a.nc(), b.nl(), b.nc(), a.data != nullptr || b.data != nullptr};
}

TEST_F(Pnm, SizesWithoutPixelsReadAsImagesWithoutPixels) {
  struct Case {
    const char* file;
    std::vector<int> (*run)(const std::string&, const std::string&);
    int nl, nc;
  } cases[] = {
      {"P2\n0 3\n255\n", read_write_read<IMGGRY, lepgmt, imppgmt>, 3, 0},
      {"P2 2 0 255\n", read_write_read<IMGGRY, lepgmt, imppgmt>, 0, 2},
      {"P3 0 4 255\n", read_write_read<IMGCOR, leppmt, impppmt>, 4, 0},
      {"P1 0 2\n", read_write_read<IMGBIN, lepbmt, imppbmt>, 2, 0},
      {"P4 0 2\n", read_write_read<IMGBIN, lepbmb, imppbmb>, 2, 0},
      {"P5 0 3 255\n", read_write_read<IMGGRY, lepgmb, imppgmb>, 3, 0},
      {"P6 5 0 255\n", read_write_read<IMGCOR, leppmb, impppmb>, 0, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    testutil::write_text(path("a.pnm"), c.file);
    EXPECT_EQ(c.run(path("a.pnm"), path("b.pnm")), (std::vector<int>{c.nl, c.nc, c.nl, c.nc, 0}));
  }
}

// ---- Reader tables ----

struct GreyCase {
  const char* what;
  std::string file;
  bool text;
  std::vector<int> expected;  // row-major pixels
  int nl, nc;
};

class PnmGreyRead : public Pnm, public ::testing::WithParamInterface<GreyCase> {};

TEST_P(PnmGreyRead, Pixels) {
  const GreyCase& k = GetParam();
  testutil::write_text(path("a.pgm"), k.file);
  IMGGRY g;
  if (k.text)
    lepgmt(g, path("a.pgm"));
  else
    lepgmb(g, path("a.pgm"));
  ASSERT_EQ(g.nl(), k.nl);
  ASSERT_EQ(g.nc(), k.nc);
  for (int i = 0; i < k.nl * k.nc; i++) EXPECT_EQ(g(i / k.nc, i % k.nc), k.expected[i]) << i;
}

INSTANTIATE_TEST_SUITE_P(
    Table, PnmGreyRead,
    ::testing::Values(
        GreyCase{"maxval15", "P5\n3 1\n15\n\x07\x0F\x00"s, false, {119, 255, 0}, 1, 3},
        GreyCase{"maxval100", "P5\n4 1\n100\n\x01\x32\xC8\x00"s, false, {3, 127, 255, 0}, 1, 4},
        GreyCase{"maxval2", "P5\n3 1\n2\n\x01\x02\x00"s, false, {128, 255, 0}, 1, 3},
        GreyCase{"text65535", "P2 3 1 65535 32768 65535 0", true, {128, 255, 0}, 1, 3},
        GreyCase{"textClamp255", "P2 2 1 255 300 -5", true, {255, 0}, 1, 2},
        GreyCase{"textMaxval15", "P2\n2 1\n15\n7 15\n", true, {119, 255}, 1, 2},
        GreyCase{"comments",
                 "P5\n# one\n# two\n3 2 255\n\x01\x02\x03\x04\x05\x06"s,
                 false,
                 {1, 2, 3, 4, 5, 6},
                 2,
                 3},
        GreyCase{"crlfLeavesLineFeed", "P5\n2 1\n255\r\n\x05\x06"s, false, {10, 5}, 1, 2},
        GreyCase{"lowerMagic", "p5 1 1 255\n\x2A"s, false, {42}, 1, 1},
        GreyCase{"textComments",
                 "P2 # size next\n2 2\n# maxval\n255\n1 2\n3 4\n",
                 true,
                 {1, 2, 3, 4},
                 2,
                 2}),
    [](const ::testing::TestParamInfo<GreyCase>& i) { return std::string(i.param.what); });

TEST_F(Pnm, ColourReadersScaleEachChannel) {
  testutil::write_text(path("b.ppm"), "p6\n2 1\n15\n\x07\x0F\x00\x01\x02\x03"s);
  IMGCOR c;
  leppmb(c, path("b.ppm"));
  ASSERT_EQ(c.nc(), 2);
  EXPECT_EQ(rgb(c(0, 0)), (std::array<int, 3>{119, 255, 0}));
  EXPECT_EQ(rgb(c(0, 1)), (std::array<int, 3>{17, 34, 51}));

  testutil::write_text(path("t.ppm"), "P3 1 2 100 1 50 200 0 100 2\n");
  leppmt(c, path("t.ppm"));
  ASSERT_EQ(c.nl(), 2);
  EXPECT_EQ(rgb(c(0, 0)), (std::array<int, 3>{3, 127, 255}));
  EXPECT_EQ(rgb(c(1, 0)), (std::array<int, 3>{0, 255, 5}));
}

TEST_F(Pnm, RawPbmReadsTopBitFirst) {
  testutil::write_text(path("a.pbm"), "P4\n3 2\n\xA0\x5F"s);
  IMGBIN b;
  lepbmb(b, path("a.pbm"));
  ASSERT_EQ(b.nc(), 3);
  EXPECT_FALSE(b(0, 0));
  EXPECT_TRUE(b(0, 1));
  EXPECT_FALSE(b(0, 2));
  EXPECT_TRUE(b(1, 0));
  EXPECT_FALSE(b(1, 1));
  EXPECT_TRUE(b(1, 2));
  // Pad bits of the file never reach the words past the last column.
  EXPECT_EQ(b.rows[1][0] & 0x1FFFFFFFu, 0u);
}

TEST_F(Pnm, PlainPbmTokensAndDigitRuns) {
  // Separate words, runs of digits as other programs write them, and comments.
  testutil::write_text(path("a.pbm"), "P1\n# c\n5 2\n1 0 t f .\n01\n# mid\n101\n");
  IMGBIN b;
  lepbmt(b, path("a.pbm"));
  const bool white[10] = {false, true, false, true, true, true, false, false, true, false};
  for (int i = 0; i < 10; i++) EXPECT_EQ(b(i / 5, i % 5), white[i]) << i;
}

// ---- Messages ----

struct ReaderCase {
  const char* fn;
  std::function<void(const std::string&)> read;
  const char* format_msg;
  const char* wrong_magic_file;
};

std::vector<ReaderCase> readers() {
  return {
      {"lepbmt",
       [](const std::string& n) {
         IMGBIN b;
         lepbmt(b, n);
       },
       "Erro lepbmt: Formato nao-PBMT (TEXT)", "P4 1 1\n\x00"},
      {"lepgmt",
       [](const std::string& n) {
         IMGGRY g;
         lepgmt(g, n);
       },
       "Erro lepgmt: Formato nao-PGMT (TEXT)", "P5 1 1 255\n\x00"},
      {"leppmt",
       [](const std::string& n) {
         IMGCOR c;
         leppmt(c, n);
       },
       "Erro leppmt: Formato nao-PPMT (TEXT)", "P2 1 1 255 0"},
      {"lepbmb",
       [](const std::string& n) {
         IMGBIN b;
         lepbmb(b, n);
       },
       "Erro lepbmb: Formato nao-PBMB (BINARY)", "P1 1 1 0"},
      {"lepgmb",
       [](const std::string& n) {
         IMGGRY g;
         lepgmb(g, n);
       },
       "Erro lepgmb: Formato nao-PGMB (BINARY)", "P7 1 1 255\n\x00"},
      {"leppmb",
       [](const std::string& n) {
         IMGCOR c;
         leppmb(c, n);
       },
       "Erro leppmb: Formato nao-PPMB (BINARY)", "P5 1 1 255\n\x00"},
  };
}

using PnmDeath = Pnm;

TEST_F(PnmDeath, EachReaderRefusesWrongMagicAndMissingFile) {
  for (const ReaderCase& r : readers()) {
    SCOPED_TRACE(r.fn);
    testutil::write_text(path("bad"), r.wrong_magic_file);
    EXPECT_ERRO(r.read(path("bad")), r.format_msg, "");
    EXPECT_ERRO(r.read(path("none")), std::string("Erro ") + r.fn + " - Abertura de ",
                path("none"));
  }
}

TEST_F(PnmDeath, NegativeSizesAreRefusedWithTheFormatMessage) {
  const std::vector<ReaderCase> all = readers();  // P1 to P6 in order
  for (size_t k = 0; k < all.size(); k++) {
    const bool maxval = k != 0 && k != 3;
    for (const char* size : {"-3 5", "5 -3", "-1 -1"}) {
      SCOPED_TRACE(std::string(all[k].fn) + " " + size);
      testutil::write_text(path("n"), "P" + std::to_string(k + 1) + "\n" + size +
                                          (maxval ? " 255\n" : "\n") + "0 0 0");
      EXPECT_ERRO(all[k].read(path("n")), all[k].format_msg, "");
    }
  }
}

TEST_F(PnmDeath, MaxvalBelowOneIsRefused) {
  const std::vector<ReaderCase> all = readers();
  const std::pair<int, const char*> cases[] = {{1, "P2 1 1 0 0"},
                                               {2, "P3 1 1 -1 0 0 0"},
                                               {4, "P5 1 1 0\n\x00"},
                                               {5, "P6 1 1 0\n\x00\x00\x00"}};
  for (const auto& [k, file] : cases) {
    SCOPED_TRACE(all[k].fn);
    testutil::write_text(path("z"), file);
    EXPECT_ERRO(all[k].read(path("z")), all[k].format_msg, "");
  }
}

TEST_F(PnmDeath, BinaryMaxvalAbove255IsRefused) {
  testutil::write_text(path("a.pgm"), "P5 1 1 256\n\x00\x01"s);
  EXPECT_ERRO(({
                IMGGRY g;
                lepgmb(g, path("a.pgm"));
              }),
              "Erro: ncores>255", "");
  testutil::write_text(path("a.ppm"), "P6 1 1 65535\n\x00\x01\x00\x01\x00\x01"s);
  EXPECT_ERRO(({
                IMGCOR c;
                leppmb(c, path("a.ppm"));
              }),
              "Erro: ncores>255", "");
}

TEST_F(PnmDeath, ShortBinaryBodiesEndWithFimInesperado) {
  testutil::write_text(path("a.pbm"), "P4 9 2\n\x00\x00\x00"s);
  EXPECT_ERRO(({
                IMGBIN b;
                lepbmb(b, path("a.pbm"));
              }),
              "Erro lepbmb - Fim inesperado", "");
  testutil::write_text(path("a.pgm"), "P5 2 2 255\n\x00\x00\x00"s);
  EXPECT_ERRO(({
                IMGGRY g;
                lepgmb(g, path("a.pgm"));
              }),
              "Erro lepgmb - Fim inesperado", "");
  testutil::write_text(path("b.pgm"), "P5 2 2 15\n\x00"s);
  EXPECT_ERRO(({
                IMGGRY g;
                lepgmb(g, path("b.pgm"));
              }),
              "Erro lepgmb - Fim inesperado", "");
  testutil::write_text(path("a.ppm"), "P6 1 1 255\n\x00\x00"s);
  EXPECT_ERRO(({
                IMGCOR c;
                leppmb(c, path("a.ppm"));
              }),
              "Erro leppmb - Fim inesperado", "");
}

// Reads a file into a fresh image with one reader.
template <class Img, void (*Read)(Img&, const std::string&)>
void read_fresh(const std::string& name) {
  Img im;
  Read(im, name);
}

TEST_F(PnmDeath, SizesBeyondTheFileFailBeforeAllocating) {
  struct Case {
    const char* file;
    void (*read)(const std::string&);
    const char* message;
  } cases[] = {
      {"P4 60000 30000\n", read_fresh<IMGBIN, lepbmb>, "Erro lepbmb - Fim inesperado"},
      {"P5 40000 40000 255\n.", read_fresh<IMGGRY, lepgmb>, "Erro lepgmb - Fim inesperado"},
      {"P6 40000 40000 255\n.", read_fresh<IMGCOR, leppmb>, "Erro leppmb - Fim inesperado"},
      {"P6 40000 40000 256\n.", read_fresh<IMGCOR, leppmb>, "Erro: ncores>255"},
      {"P1 40000 40000 0 1", read_fresh<IMGBIN, lepbmt>, "LeNum(bool)"},
      {"P2 40000 40000 255 0 1", read_fresh<IMGGRY, lepgmt>, "LeNum(BYTE)"},
      {"P3 2 1 7 0 1 2 3 4", read_fresh<IMGCOR, leppmt>, "LeNum(int)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    testutil::write_text(path("big.pnm"), c.file);
    EXPECT_ERRO(c.read(path("big.pnm")), c.message, "");
  }
}

TEST_F(PnmDeath, TextSamplesGoThroughTheTokenReaderMessages) {
  testutil::write_text(path("a.pgm"), "P2 2 1 255 7 x");
  EXPECT_ERRO(({
                IMGGRY g;
                lepgmt(g, path("a.pgm"));
              }),
              "LeNum(BYTE)", "");
  testutil::write_text(path("b.pgm"), "P2 2 1 15 7");
  EXPECT_ERRO(({
                IMGGRY g;
                lepgmt(g, path("b.pgm"));
              }),
              "LeNum(int)", "");
  testutil::write_text(path("a.pbm"), "P1 2 1 1 2");
  EXPECT_ERRO(({
                IMGBIN b;
                lepbmt(b, path("a.pbm"));
              }),
              "LeNum(bool)", "");
  testutil::write_text(path("c.pgm"), "P5 2\n");
  EXPECT_ERRO(({
                IMGGRY g;
                lepgmb(g, path("c.pgm"));
              }),
              "LeNum(int)", "");
}

struct WriterCase {
  const char* fn;
  std::function<void(const std::string&)> write;
};

std::vector<WriterCase> writers() {
  return {
      {"imppbmt", [](const std::string& n) { imppbmt(IMGBIN(3, 3, true), n); }},
      {"imppgmt", [](const std::string& n) { imppgmt(IMGGRY(3, 3, 1), n); }},
      {"impppmt",
       [](const std::string& n) {
         impppmt(IMGCOR(3, 3, COR{1, 2, 3}), n);
       }},
      {"imppbmb", [](const std::string& n) { imppbmb(IMGBIN(3, 3, true), n); }},
      {"imppgmb", [](const std::string& n) { imppgmb(IMGGRY(3, 3, 1), n); }},
      {"impppmb",
       [](const std::string& n) {
         impppmb(IMGCOR(3, 3, COR{1, 2, 3}), n);
       }},
  };
}

TEST_F(PnmDeath, WritersReportOpenAndWriteFailures) {
  for (const WriterCase& w : writers()) {
    SCOPED_TRACE(w.fn);
    const std::string missing = path("no/such/dir.pnm");
    EXPECT_ERRO(w.write(missing), std::string("Erro ") + w.fn + " - Abertura de ", missing);
    EXPECT_ERRO(w.write("/dev/full"), std::string("Erro ") + w.fn + " - Falha na escrita ",
                "/dev/full");
  }
}

// ---- Bit reader and writer ----

TEST_F(Pnm, BitWriterAndReader) {
  FILE* f = std::fopen(path("bits").c_str(), "wb");
  ASSERT_NE(f, nullptr);
  const int bits[16] = {1, 0, 1, 0, 0, 1, 0, 1, 1, 1, 1, 1, 0, 0, 0, 0};
  for (int i = 0; i < 16; i++) {
    int r = fputbit(bits[i] ? 7 : 0, f);  // any non-zero is a one
    if (i % 8 == 7)
      EXPECT_EQ(r, i == 7 ? 0xA5 : 0xF0);
    else
      EXPECT_EQ(r, i % 8 + 1);
  }
  // Bits left pending do not shift a binary PBM written meanwhile.
  fputbit(1, f);
  fputbit(1, f);
  std::fclose(f);
  IMGBIN b(1, 10, true);
  b(0, 0) = false;
  imppbmb(b, path("a.pbm"));
  EXPECT_EQ(testutil::read_bytes(path("a.pbm")), bytes_of("P4\n" + kHead + "10 1\n\x80\x00"s));
  f = std::fopen(path("pending").c_str(), "wb");
  for (int i = 0; i < 6; i++) fputbit(0, f);  // completes the pending byte: 11000000
  std::fclose(f);
  EXPECT_EQ(testutil::read_bytes(path("pending")), bytes_of("\xC0"s));

  f = std::fopen(path("bits").c_str(), "rb");
  for (int i = 0; i < 16; i++) EXPECT_EQ(fgetbit(f), bits[i]) << i;
  EXPECT_EQ(fgetbit(f), -1);
  std::fclose(f);
}

// ---- Peers ----

TEST_F(Pnm, NetpbmReadsOurFiles) {
  REQUIRE_TOOL("pamfile");
  REQUIRE_TOOL("pnmtoplainpnm");
  IMGBIN b = f_shape(5, 33);
  IMGGRY g = grey_ramp(4, 9);
  IMGCOR c = colour_ramp(3, 7);
  imppbmb(b, path("b.pbm"));
  imppbmt(b, path("t.pbm"));
  imppgmb(g, path("b.pgm"));
  imppgmt(g, path("t.pgm"));
  impppmb(c, path("b.ppm"));
  impppmt(c, path("t.ppm"));
  const std::pair<const char*, const char*> files[] = {{"b.pbm", "PBM raw, 33 by 5"},
                                                       {"t.pbm", "PBM plain, 33 by 5"},
                                                       {"b.pgm", "PGM raw, 9 by 4  maxval 255"},
                                                       {"t.pgm", "PGM plain, 9 by 4  maxval 255"},
                                                       {"b.ppm", "PPM raw, 7 by 3  maxval 255"},
                                                       {"t.ppm", "PPM plain, 7 by 3  maxval 255"}};
  for (const auto& [name, kind] : files) {
    ASSERT_EQ(testutil::run("pamfile " + path(name) + " > " + path("info") + " 2>&1"), 0) << name;
    EXPECT_THAT(testutil::read_text(path("info")), ::testing::HasSubstr(kind)) << name;
    ASSERT_EQ(testutil::run("pnmtoplainpnm " + path(name) + " > " + path(std::string("p_") + name)),
              0);
  }
  // netpbm's plain output read back here gives the original pixels.
  for (const char* name : {"p_b.pbm", "p_t.pbm"}) {
    IMGBIN r;
    lepbmt(r, path(name));
    expect_same(r, b);
  }
  for (const char* name : {"p_b.pgm", "p_t.pgm"}) {
    IMGGRY r;
    lepgmt(r, path(name));
    expect_same(r, g);
  }
  for (const char* name : {"p_b.ppm", "p_t.ppm"}) {
    IMGCOR r;
    leppmt(r, path(name));
    expect_same(r, c);
  }
}

TEST_F(Pnm, WeReadNetpbmFiles) {
  REQUIRE_TOOL("pamtopnm");
  REQUIRE_TOOL("pnmtoplainpnm");
  REQUIRE_TOOL("pamdepth");
  // Sources written by hand in the plain forms; netpbm makes the raw ones.
  IMGBIN b = f_shape(6, 19);
  std::string pbm = "P1\n19 6\n";
  for (int l = 0; l < 6; l++, pbm += "\n")
    for (int c = 0; c < 19; c++) pbm += b(l, c) ? "0 " : "1 ";
  testutil::write_text(path("src.pbm"), pbm);
  ASSERT_EQ(testutil::run("pamtopnm " + path("src.pbm") + " > " + path("raw.pbm")), 0);
  ASSERT_EQ(testutil::run("pnmtoplainpnm " + path("raw.pbm") + " > " + path("plain.pbm")), 0);
  IMGBIN rb, pb;
  lepbmb(rb, path("raw.pbm"));
  expect_same(rb, b);
  lepbmt(pb, path("plain.pbm"));  // netpbm packs plain PBM digits without blanks
  expect_same(pb, b);

  // Colour samples that are multiples of 17 survive netpbm's maxval 15 exactly.
  IMGCOR c(2, 3);
  for (int i = 0; i < 6; i++)
    c.data[i] = COR{static_cast<unsigned char>(17 * i), static_cast<unsigned char>(255 - 17 * i),
                    static_cast<unsigned char>(34 * i)};
  std::string ppm = "P3\n3 2\n255\n";
  for (int i = 0; i < 6; i++)
    ppm += std::to_string(c.data[i].r) + " " + std::to_string(c.data[i].g) + " " +
           std::to_string(c.data[i].b) + "\n";
  testutil::write_text(path("src.ppm"), ppm);
  ASSERT_EQ(testutil::run("pamtopnm " + path("src.ppm") + " > " + path("raw.ppm")), 0);
  ASSERT_EQ(testutil::run("pamdepth 15 " + path("src.ppm") + " > " + path("d15.ppm")), 0);
  ASSERT_EQ(testutil::run("pnmtoplainpnm " + path("d15.ppm") + " > " + path("d15p.ppm")), 0);
  for (const char* name : {"raw.ppm", "d15.ppm"}) {
    IMGCOR r;
    leppmb(r, path(name));
    expect_same(r, c);
  }
  IMGCOR t;
  leppmt(t, path("d15p.ppm"));
  expect_same(t, c);

  IMGGRY g = grey_ramp(3, 5), rg, pg;
  imppgmt(g, path("src.pgm"));
  ASSERT_EQ(testutil::run("pamtopnm " + path("src.pgm") + " > " + path("raw.pgm")), 0);
  ASSERT_EQ(testutil::run("pnmtoplainpnm " + path("raw.pgm") + " > " + path("plain.pgm")), 0);
  lepgmb(rg, path("raw.pgm"));
  expect_same(rg, g);
  lepgmt(pg, path("plain.pgm"));
  expect_same(pg, g);
}

TEST_F(Pnm, ImageMagickAgrees) {
  REQUIRE_TOOL("convert");
  IMGCOR c = colour_ramp(5, 8);
  impppmb(c, path("ours.ppm"));
  ASSERT_EQ(
      testutil::run("convert " + path("ours.ppm") + " -compress none " + path("im_plain.ppm")), 0);
  ASSERT_EQ(testutil::run("convert " + path("im_plain.ppm") + " " + path("im_raw.ppm")), 0);
  IMGCOR t, r;
  leppmt(t, path("im_plain.ppm"));
  expect_same(t, c);
  leppmb(r, path("im_raw.ppm"));
  expect_same(r, c);

  IMGGRY g = grey_ramp(4, 6);
  imppgmt(g, path("ours.pgm"));
  ASSERT_EQ(testutil::run("convert " + path("ours.pgm") + " " + path("im.pgm")), 0);
  IMGGRY rg;
  lepgmb(rg, path("im.pgm"));
  expect_same(rg, g);

  IMGBIN b = f_shape(7, 12);
  imppbmb(b, path("ours.pbm"));
  ASSERT_EQ(testutil::run("convert " + path("ours.pbm") + " -compress none " + path("im.pbm")), 0);
  IMGBIN rb;
  lepbmt(rb, path("im.pbm"));
  expect_same(rb, b);
}

}  // namespace
