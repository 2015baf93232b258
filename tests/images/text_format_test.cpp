// Text matrix files and stream inserters: exact layout, per-class element forms, round trips,
// the reader's token rules and every failure.
#include <functional>
#include <iomanip>
#include <sstream>

#include "support/test_support.h"
#include "vistelmo.h"

namespace {

using testutil::read_text;
using testutil::write_text;

template <class Img>
std::string inserted(const Img& im) {
  std::ostringstream os;
  os << im;
  return os.str();
}

class TextFile : public testutil::TempDir {
 protected:
  template <class Img>
  std::string written(const Img& im) {
    im.ImpTxt(path("w.txt"));
    return read_text(path("w.txt"));
  }
  template <class Img>
  Img read(const std::string& text) {
    write_text(path("r.txt"), text);
    Img im;
    im.LeTxt(path("r.txt"));
    return im;
  }
};

TEST_F(TextFile, GreyTwoByThreeLayout) {
  IMGGRY g(2, 3, 0, 128, 255, 7, 8, 9);
  const std::string expect = "2 3\n\n  0 128 255 \n  7   8   9 \n\n0 1\n";
  EXPECT_EQ(written(g), expect);
  EXPECT_EQ(inserted(g), expect);
}

// Write system calls of this process so far.
long write_calls() {
  std::istringstream io(read_text("/proc/self/io"));
  std::string key;
  long v = -1;
  while (io >> key >> v)
    if (key == "syscw:") return v;
  return -1;
}

TEST_F(TextFile, LinesGoThroughTheStreamBufferNotOneWriteEach) {
  IMGGRY tall(20000, 1, 0);
  const long before = write_calls();
  if (before < 0) GTEST_SKIP() << "no write count in /proc/self/io";
  tall.ImpTxt(path("t.txt"));
  // 20000 lines of 5 bytes: a few dozen buffer-fulls, not 20000 writes.
  EXPECT_LT(write_calls() - before, 1000);
  std::string expect = "20000 1\n\n";
  for (int l = 0; l < 20000; l++) expect += "  0 \n";
  EXPECT_EQ(read_text(path("t.txt")), expect + "\n9999 0\n");
}

TEST_F(TextFile, EmptyImages) {
  IMGGRY none(0, 0);
  none.lc = none.cc = 0;
  EXPECT_EQ(written(none), "0 0\n\n\n0 0\n");
  EXPECT_EQ(written(IMGGRY(3, 0)), "3 0\n\n\n\n\n\n1 0\n");
  IMGGRY back = read<IMGGRY>("3 0\n\n\n\n\n\n1 0\n");
  EXPECT_EQ(back.nl(), 3);
  EXPECT_EQ(back.nc(), 0);
  EXPECT_EQ(back.data, nullptr);
}

// One-row images: the row line written by ImpTxt and by operator<<.
struct RowForm {
  const char* what;
  std::string file_row;
  std::string stream_row;
};

TEST_F(TextFile, ElementFormsOfEveryClass) {
  auto row_of = [](const std::string& text) {
    size_t a = text.find("\n\n") + 2;
    return text.substr(a, text.find('\n', a) - a);
  };
  auto check = [&](const auto& im, const RowForm& form) {
    SCOPED_TRACE(form.what);
    EXPECT_EQ(row_of(written(im)), form.file_row);
    EXPECT_EQ(row_of(inserted(im)), form.stream_row);
  };
  check(IMGBIN(1, 4, true, false, false, true), {"IMGBIN", "1 0 0 1 ", "1001"});
  check(IMGGRY(1, 2, 5, 255), {"IMGGRY", "  5 255 ", "  5 255 "});
  check(IMGCOR(1, 2, 255, 0, 7, 1, 22, 133),
        {"IMGCOR", "255   0   7      1  22 133    ", "255   0   7      1  22 133    "});
  check(IMGSHT(1, 3, -5, 1234, -32768), {"IMGSHT", " -5 1234 -32768 ", " -5 1234 -32768 "});
  check(IMGFLT(1, 4, 0.5, 1234567.0, 1e-7, 2.0),
        {"IMGFLT", "0.5 1.23457e+06 1e-07   2 ", "0.5 1.23457e+06 1e-07   2 "});
  check(IMGDBL(1, 2, 0.5, 1.0 / 3), {"IMGDBL", "     0.5 0.333333 ", "0.5 0.333333 "});
  check(IMGCPX(1, 2, 1.0f, -2.0f, 0.25, 1e6),
        {"IMGCPX", "(1,-2) (0.25,1e+06) ", "(1,-2) (0.25,1e+06) "});
}

TEST(TextStream, KeepsTheCallersSettingsButTheWidth) {
  std::ostringstream left;
  left << std::left << IMGGRY(1, 2, 5, 60);
  EXPECT_EQ(left.str(), "1 2\n\n5   60  \n\n0 0\n");
  std::ostringstream prec;
  prec << std::setprecision(3) << IMGFLT(1, 1, 0.123456);
  EXPECT_EQ(prec.str(), "1 1\n\n0.123 \n\n0 0\n");
  std::ostringstream words;
  words << std::boolalpha << IMGBIN(1, 2, true, false);
  EXPECT_EQ(words.str(), "1 2\n\ntruefalse\n\n0 0\n");
}

TEST(TextStream, Colour) {
  std::ostringstream os;
  os << COR{10, 20, 30};
  EXPECT_EQ(os.str(), "(10,20,30)");
}

template <class Img>
class TextRoundTrip : public TextFile {};
using AllClasses = ::testing::Types<IMGBIN, IMGGRY, IMGCOR, IMGSHT, IMGFLT, IMGDBL, IMGCPX>;
TYPED_TEST_SUITE(TextRoundTrip, AllClasses);

// Values that six significant digits carry exactly.
template <class Img>
void fill_sample(Img& im) {
  for (int l = 0; l < im.nl(); l++)
    for (int c = 0; c < im.nc(); c++) {
      int k = l * im.nc() + c;
      if constexpr (std::is_same_v<Img, IMGBIN>)
        im(l, c) = (k * 7 % 3) == 0;
      else if constexpr (std::is_same_v<Img, IMGCOR>)
        im(l, c) = COR{static_cast<unsigned char>(k * 37), static_cast<unsigned char>(255 - k),
                       static_cast<unsigned char>(k * k)};
      else if constexpr (std::is_same_v<Img, IMGCPX>)
        im(l, c) = std::complex<float>(k * 0.25f - 3, -k * 1.5f);
      else if constexpr (std::is_same_v<Img, IMGSHT>)
        im(l, c) = static_cast<short>(k * 4099 - 32768);
      else if constexpr (std::is_same_v<Img, IMGGRY>)
        im(l, c) = static_cast<unsigned char>(k * 23);
      else
        im(l, c) = k * 0.125 - 1;
    }
}

TYPED_TEST(TextRoundTrip, ElementsSizeAndCentreComeBack) {
  TypeParam a(3, 35);  // more than one word per row for IMGBIN
  fill_sample(a);
  a.lc = -2;
  a.cc = 40;
  a.ImpTxt(this->path("a.txt"));
  TypeParam b(1, 1);
  b.LeTxt(this->path("a.txt"));
  ASSERT_EQ(b.nl(), 3);
  ASSERT_EQ(b.nc(), 35);
  EXPECT_EQ(b.lc, -2);
  EXPECT_EQ(b.cc, 40);
  for (int l = 0; l < 3; l++)
    for (int c = 0; c < 35; c++) ASSERT_TRUE(a(l, c) == b(l, c)) << l << "," << c;
}

TEST_F(TextFile, TokensInAnyLayoutAndCrLf) {
  IMGGRY a = read<IMGGRY>("2 3\r\n\r\n  1 2 3 \r\n  4 5 6 \r\n\r\n1 2\r\n");
  EXPECT_EQ(inserted(a), "2 3\n\n  1   2   3 \n  4   5   6 \n\n1 2\n");
  IMGGRY b = read<IMGGRY>("# size\n2,3;\n// rows\n1 2 3 /* second */ 4 5 6 (1 2)\n");
  EXPECT_EQ(inserted(b), inserted(a));
}

TEST_F(TextFile, CentreIsOptional) {
  IMGGRY a = read<IMGGRY>("2 2 1 2 3 4");
  EXPECT_EQ(a.lc, 0);
  EXPECT_EQ(a.cc, 0);
  EXPECT_EQ(a(1, 1), 4);
  IMGGRY b = read<IMGGRY>("2 2 1 2 3 4 1");
  EXPECT_EQ(b.lc, 1);
  EXPECT_EQ(b.cc, 0);
  IMGGRY c = read<IMGGRY>("2 2 1 2 3 4 1 1 99");
  EXPECT_EQ(c.lc, 1);
  EXPECT_EQ(c.cc, 1);
}

TEST_F(TextFile, OutOfRangeValuesAndReset) {
  IMGGRY g = read<IMGGRY>("1 2 300 -4");
  EXPECT_EQ(g(0, 0), 255);
  EXPECT_EQ(g(0, 1), 0);
  EXPECT_EQ(read<IMGSHT>("1 1 40000")(0, 0), -25536);

  write_text(path("g.txt"), "1 1 5");
  IMGGRY old(1, 1);
  old.backg = 9;
  old.lc = 4;
  old.LeTxt(path("g.txt"));
  EXPECT_EQ(old.backg, 0);
  EXPECT_EQ(old.lc, 0);
}

TEST_F(TextFile, ContentFailures) {
  struct Case {
    const char* text;
    std::function<void(const std::string&)> read;
    const char* message;
  } cases[] = {
      {"2 2 1 2 3", [](auto& n) { IMGGRY().LeTxt(n); }, "LeNum(BYTE)"},
      {"1 4\n1001\n", [](auto& n) { IMGBIN().LeTxt(n); }, "LeNum(bool)"},
      {"1 1 (1", [](auto& n) { IMGCPX().LeTxt(n); }, "LeNum(FLT)"},
      {"1 1 x", [](auto& n) { IMGDBL().LeTxt(n); }, "LeNum(double)"},
      {"1 1 1 2", [](auto& n) { IMGCOR().LeTxt(n); }, "LeNum(BYTE)"},
      {"1 1 z", [](auto& n) { IMGSHT().LeTxt(n); }, "LeNum(SHT)"},
      {"two 2", [](auto& n) { IMGFLT().LeTxt(n); }, "LeNum(int)"},
      {"1 1 0 x", [](auto& n) { IMGFLT().LeTxt(n); }, "LeNum(int)"},
      {"-1 3", [](auto& n) { IMGGRY().LeTxt(n); }, "Erro IMGGRY::LeTxt - Formato incorreta"},
      {"3 -1", [](auto& n) { IMGBIN().LeTxt(n); }, "Erro IMGBIN::LeTxt - Formato incorreta"},
      {"65536 65536", [](auto& n) { IMGDBL().LeTxt(n); }, "Erro IMGDBL::LeTxt - Formato incorreta"},
      // Sizes the file cannot hold fail as the missing elements would, before any allocation.
      {"2000000000 1 0", [](auto& n) { IMGCPX().LeTxt(n); }, "LeNum(FLT)"},
      {"50000 40000 1 0", [](auto& n) { IMGBIN().LeTxt(n); }, "LeNum(bool)"},
      {"1 2 1 2 3 4 5", [](auto& n) { IMGCOR().LeTxt(n); }, "LeNum(BYTE)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    write_text(path("bad.txt"), c.text);
    EXPECT_ERRO(c.read(path("bad.txt")), c.message, "");
  }
}

TEST_F(TextFile, ImageWithoutStorageIsWrittenAsItsOutsideValue) {
  IMGGRY g(1, 2);
  g.backg = 7;
  g.desaloca();
  EXPECT_EQ(written(g), "1 2\n\n  7   7 \n\n0 0\n");
  EXPECT_EQ(inserted(g), "1 2\n\n  7   7 \n\n0 0\n");
}

TEST_F(TextFile, OpenAndWriteFailuresNameTheClass) {
  const std::string missing = path("no/such/dir/x.txt");
  EXPECT_ERRO(IMGBIN(1, 1).ImpTxt(missing), "Erro IMGBIN::ImpTxt - Abertura ", missing);
  EXPECT_ERRO(IMGCPX(1, 1).ImpTxt(missing), "Erro IMGCPX::ImpTxt - Abertura ", missing);
  EXPECT_ERRO(IMGCOR().LeTxt(missing), "Erro IMGCOR::LeTxt - Abertura ", missing);
  EXPECT_ERRO(IMGSHT().LeTxt(missing), "Erro IMGSHT::LeTxt - Abertura ", missing);
  EXPECT_ERRO(IMGFLT(2, 2).ImpTxt("/dev/full"), "Erro IMGFLT::ImpTxt - Falha na escrita ",
              "/dev/full");
  EXPECT_ERRO(IMGGRY(1, 1).ImpTxt("/dev/full"), "Erro IMGGRY::ImpTxt - Falha na escrita ",
              "/dev/full");
}

}  // namespace
