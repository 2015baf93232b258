#include "numerics/vector_files.h"

#include <functional>
#include <string>
#include <vector>

#include "foundation/constants.h"
#include "support/test_support.h"

namespace {

using testutil::read_text;
using testutil::write_text;

class VectorFiles : public testutil::TempDir {};

template <class T>
VETOR<T> vec(const std::vector<T>& x) {
  VETOR<T> v(static_cast<int>(x.size()));
  for (size_t i = 0; i < x.size(); i++) v(static_cast<int>(i)) = x[i];
  return v;
}

template <class T>
std::vector<T> values(const VETOR<T>& v) {
  return std::vector<T>(v.data, v.data + v.n());
}

template <class T>
MATRIZ<T> two_by_three() {
  MATRIZ<T> m(2, 3);
  for (int i = 0; i < 6; i++) m(i / 3, i % 3) = static_cast<T>(i + 1);
  return m;
}

TEST_F(VectorFiles, WrittenLayouts) {
  imp(two_by_three<double>(), path("md"));
  EXPECT_EQ(read_text(path("md")), "2 3\n1 2 3 \n4 5 6 \n");
  imp(two_by_three<int>(), path("mi"));
  EXPECT_EQ(read_text(path("mi")), "2 3\n\n1 2 3 \n4 5 6 \n");
  imp(vec<double>({0.1234567, 1e30, -2.5}), path("vd"));
  EXPECT_EQ(read_text(path("vd")), "3\n\n0.123457\n1e+30\n-2.5\n");
  imp(vec<int>({7, -8}), path("vi"));
  EXPECT_EQ(read_text(path("vi")), "2\n\n7\n-8\n");
  imp(vec<PONTOI2>({{1, 2}, {-3, 40}}), path("pi"));
  EXPECT_EQ(read_text(path("pi")), "2 2\n\n1 2\n-3 40\n");
  imp(vec<PONTO2>({{0.5, 1e-5}, {123456789, -1}}), path("pd"));
  EXPECT_EQ(read_text(path("pd")), "2 2\n\n0.5 1e-05\n1.23457e+08 -1\n");
  imp(VETOR<double>(), path("empty"));
  EXPECT_EQ(read_text(path("empty")), "0\n\n");
}

TEST_F(VectorFiles, RoundTripsAtSixDigits) {
  MATRIZ<double> md = two_by_three<double>();
  md(1, 2) = 0.1234567;
  imp(md, path("md"));
  MATRIZ<double> md2;
  le(md2, path("md"));
  ASSERT_EQ(md2.nl(), 2);
  ASSERT_EQ(md2.nc(), 3);
  EXPECT_EQ(md2(0, 1), 2);
  EXPECT_EQ(md2(1, 2), 0.123457);

  MATRIZ<int> mi = two_by_three<int>();
  imp(mi, path("mi"));
  MATRIZ<int> mi2(5, 5);
  le(mi2, path("mi"));
  ASSERT_EQ(mi2.n(), 6);
  for (int i = 0; i < 6; i++) EXPECT_EQ(mi2.data[i], i + 1);

  imp(vec<double>({1e30, -0.5}), path("vd"));
  VETOR<double> vd;
  le(vd, path("vd"));
  EXPECT_EQ(values(vd), (std::vector<double>{1e30, -0.5}));

  imp(vec<int>({3, 1, 2}), path("vi"));
  VETOR<int> vi;
  le(vi, path("vi"));
  EXPECT_EQ(values(vi), (std::vector<int>{3, 1, 2}));

  imp(vec<PONTO2>({{1.5, -2}, {3, 4}}), path("pd"));
  VETOR<PONTO2> pd;
  le(pd, path("pd"));
  ASSERT_EQ(pd.n(), 2);
  EXPECT_EQ(pd(0).x, 1.5);
  EXPECT_EQ(pd(0).y, -2);
  EXPECT_EQ(pd(1).y, 4);

  imp(VETOR<double>(), path("empty"));
  VETOR<double> e(4);
  le(e, path("empty"));
  EXPECT_EQ(e.n(), 0);
}

TEST_F(VectorFiles, ReadersIgnoreLayoutAndComments) {
  const std::vector<PONTOI2> expected{{1, 2}, {3, 4}, {5, 6}};
  for (const std::string text : {"3 2\n1 2 3 4 5 6\n", "3 2\n(1, 2); (3, 4) (5,6)\n",
                                 "# points\n3 2 /* pairs */ 1 2 // first\n3 4\n5 6 extra"}) {
    write_text(path("p"), text);
    VETOR<PONTOI2> p;
    le(p, path("p"));
    EXPECT_EQ(values(p), expected) << text;
  }
  write_text(path("d"), "# header next\n4\n1, 2; infinito -max\n");
  VETOR<double> d;
  le(d, path("d"));
  EXPECT_EQ(values(d), (std::vector<double>{1, 2, infinito, -infinito}));
  write_text(path("m"), "# m\n1 2 = 7 8");
  MATRIZ<int> m;
  le(m, path("m"));
  EXPECT_EQ(m(0, 0), 7);
  EXPECT_EQ(m(0, 1), 8);
}

TEST_F(VectorFiles, ColumnCountOtherThanTwoIsFatal) {
  write_text(path("p"), "3 1\n1 2 3\n");
  VETOR<PONTOI2> pi;
  EXPECT_ERRO(le(pi, path("p")), "Erro: Numero de colunas != 2", "");
  VETOR<PONTO2> pd;
  EXPECT_ERRO(le(pd, path("p")), "Erro: Numero de colunas != 2", "");
}

TEST_F(VectorFiles, ShortFilesAreFatal) {
  write_text(path("v"), "5\n1 2 3 4\n");
  VETOR<double> d;
  EXPECT_ERRO(le(d, path("v")), "LeNum(double)", "");
  VETOR<int> i;
  EXPECT_ERRO(le(i, path("v")), "LeNum(int)", "");
  write_text(path("m"), "2 2\n1 2 3\n");
  MATRIZ<double> m;
  EXPECT_ERRO(le(m, path("m")), "LeNum(double)", "");
  write_text(path("bad"), "2 x\n");
  MATRIZ<int> mi;
  EXPECT_ERRO(le(mi, path("bad")), "LeNum(int)", "");
}

struct OpenCase {
  const char* name;
  std::function<void(const std::string&)> call;
  const char* message;
};

void PrintTo(const OpenCase& c, std::ostream* os) { *os << c.name; }

class VectorFilesOpen : public ::testing::TestWithParam<OpenCase> {};

TEST_P(VectorFilesOpen, MissingDirectoryIsFatal) {
  const std::string name = "/nonexistent-dir/x.txt";
  EXPECT_ERRO(GetParam().call(name), GetParam().message, name);
}

template <class C>
std::function<void(const std::string&)> reader() {
  return [](const std::string& n) {
    C c;
    le(c, n);
  };
}

template <class C>
std::function<void(const std::string&)> writer() {
  return [](const std::string& n) { imp(C(), n); };
}

INSTANTIATE_TEST_SUITE_P(
    Messages, VectorFilesOpen,
    ::testing::Values(
        OpenCase{"ImpMatD", writer<MATRIZ<double>>(), "Erro imp(MATRIZ<double> - Abertura "},
        OpenCase{"LeMatD", reader<MATRIZ<double>>(), "Erro le(MATRIZ<double> - Abertura "},
        OpenCase{"ImpVetD", writer<VETOR<double>>(), "Erro imp(VETOR<double>,nome) - abertura de "},
        OpenCase{"LeVetD", reader<VETOR<double>>(), "Erro le(VETOR<double> - Abertura "},
        OpenCase{"ImpMatI", writer<MATRIZ<int>>(), "Erro imp(MATRIZ<int>,nome) - abertura de "},
        OpenCase{"LeMatI", reader<MATRIZ<int>>(), "Erro le(MATRIZ<int>,nome) - abertura de "},
        OpenCase{"ImpPtI", writer<VETOR<PONTOI2>>(),
                 "Erro imp(VETOR<PONTOI2>,nome) - abertura de "},
        OpenCase{"LePtI", reader<VETOR<PONTOI2>>(), "Erro le(VETOR<PONTOI2>,nome) - abertura de "},
        OpenCase{"ImpPtD", writer<VETOR<PONTO2>>(), "Erro imp(VETOR<PONTO2>,nome) - abertura de "},
        OpenCase{"LePtD", reader<VETOR<PONTO2>>(), "Erro le(VETOR<PONTO2>,nome) - abertura de "},
        OpenCase{"ImpVetI", writer<VETOR<int>>(), "Erro imp(VETOR<int>,nome) - abertura de "},
        OpenCase{"LeVetI", reader<VETOR<int>>(), "Erro le(VETOR<int>,nome) - abertura de "}),
    [](const ::testing::TestParamInfo<OpenCase>& info) { return std::string(info.param.name); });

// A full device refuses the data: the writer must not report success.
TEST(VectorFilesWrite, FailedWriteIsFatal) {
  if (!testutil::file_exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  EXPECT_ERRO(imp(vec<double>({1, 2}), "/dev/full"),
              "Erro imp(VETOR<double>,nome) - Falha na escrita ", "/dev/full");
  EXPECT_ERRO(imp(two_by_three<double>(), "/dev/full"),
              "Erro imp(MATRIZ<double> - Falha na escrita ", "/dev/full");
  EXPECT_ERRO(imp(two_by_three<int>(), "/dev/full"),
              "Erro imp(MATRIZ<int>,nome) - Falha na escrita ", "/dev/full");
}

}  // namespace
