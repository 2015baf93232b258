#include "numerics/vector_ops.h"

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "foundation/constants.h"
#include "support/test_support.h"

namespace {

VETOR<double> vec(const std::vector<double>& x) {
  VETOR<double> v(static_cast<int>(x.size()));
  for (size_t i = 0; i < x.size(); i++) v(static_cast<int>(i)) = x[i];
  return v;
}

VETOR<CPXD> cvec(const std::vector<CPXD>& x) {
  VETOR<CPXD> v(static_cast<int>(x.size()));
  for (size_t i = 0; i < x.size(); i++) v(static_cast<int>(i)) = x[i];
  return v;
}

template <class T>
std::vector<T> values(const VETOR<T>& v) {
  return std::vector<T>(v.data, v.data + v.n());
}

TEST(VectorArithmetic, SumsDifferenceAndDotProduct) {
  EXPECT_EQ(values(2.5 + vec({1, 2})), (std::vector<double>{3.5, 4.5}));
  EXPECT_EQ(values(vec({1, 2, 3}) + vec({10, 20, 30})), (std::vector<double>{11, 22, 33}));
  EXPECT_EQ(values(vec({1, 2, 3}) - vec({10, 20, 30})), (std::vector<double>{-9, -18, -27}));
  EXPECT_EQ(vec({1, 2, 3}) * vec({4, 5, 6}), 32);
  EXPECT_EQ(vec({}) * vec({}), 0);
  EXPECT_EQ((vec({}) + vec({})).n(), 0);
}

TEST(VectorArithmetic, ResultsAreFreshVectorsWithOriginZero) {
  VETOR<double> a = vec({1, 2});
  a.centro = 1;
  EXPECT_EQ((a + a).centro, 0);
  EXPECT_EQ((1.0 + a).centro, 0);
  EXPECT_EQ(dcreject(a).centro, 1);  // the modified copy keeps it
}

TEST(MeanRemoval, InPlaceAndOnACopy) {
  VETOR<double> v = vec({1, 2, 3, 6});
  EXPECT_EQ(dcrejectcommedia(v), 3);
  EXPECT_EQ(values(v), (std::vector<double>{-2, -1, 0, 3}));

  VETOR<double> w = vec({1, 2, 3, 6});
  EXPECT_EQ(values(dcreject(w)), (std::vector<double>{-2, -1, 0, 3}));
  EXPECT_EQ(values(w), (std::vector<double>{1, 2, 3, 6}));

  VETOR<double> e;
  EXPECT_TRUE(std::isnan(dcrejectcommedia(e)));
}

TEST(SomatoriaUm, DividesBySumOfAbsoluteValues) {
  VETOR<double> v = vec({1, -3});
  SomatoriaUm(v);
  EXPECT_EQ(values(v), (std::vector<double>{0.25, -0.75}));
  VETOR<double> z = vec({0, 0});
  SomatoriaUm(z);
  EXPECT_TRUE(std::isnan(z(0)) && std::isnan(z(1)));
}

TEST(Normalizamd, StandardisesAndClips) {
  struct Case {
    std::vector<double> in;
    double k;
    std::vector<double> out;
  };
  const Case cases[] = {{{1, 2, 3}, 1, {-1, 1e-20, 1}},
                        {{1, 2, 3}, 0.5, {-1, 2e-20, 1}},
                        {{5, 5, 5}, 1, {1, 1, 1}},
                        {{1, 2, 3}, 4, {-0.25, 0.25e-20, 0.25}}};
  for (const Case& c : cases) {
    const std::vector<double> got = values(normalizamd(vec(c.in), c.k));
    ASSERT_EQ(got.size(), c.out.size());
    for (size_t i = 0; i < got.size(); i++) EXPECT_DOUBLE_EQ(got[i], c.out[i]) << c.k << " " << i;
  }
}

TEST(Comprimento, NormsByP) {
  const VETOR<double> v = vec({3, -4});
  EXPECT_EQ(comprimento(v, 2), 5);
  EXPECT_EQ(comprimento(v, 1), 7);
  EXPECT_EQ(comprimento(v, infinito), 4);
  EXPECT_DOUBLE_EQ(comprimento(v, 3), std::cbrt(91.0));
  EXPECT_TRUE(std::isinf(comprimento(v, 1e31)));  // not the maximum norm
  for (double p : {1.0, 2.0, 3.0, infinito}) EXPECT_EQ(comprimento(vec({}), p), 0) << p;
}

TEST(DesvioSeguro, MeanIsNotRemoved) {
  EXPECT_DOUBLE_EQ(desvio_seguro(vec({1, -1})), std::sqrt(2.0));
  EXPECT_DOUBLE_EQ(desvio_seguro(vec({3, 5})), std::sqrt(34.0));
}

TEST(Correlation, GuardedFormAndFallback) {
  EXPECT_DOUBLE_EQ(coefcorr_seguro(vec({1, 2, 3}), vec({2, 4, 6}), 0.1, 9), 1);
  EXPECT_DOUBLE_EQ(coefcorr_seguro(vec({1, 2, 3}), vec({6, 4, 2}), 0.1, 9), -1);
  EXPECT_EQ(coefcorr_seguro(vec({1, 1, 1}), vec({1, 2, 3}), 0.1, 9), 9);
  EXPECT_EQ(coefcorr_seguro(vec({1, 2, 3}), vec({1, 1, 1}), 0.1, 9), 9);
  // x = (1, 2, 3, 4), y = (1, 3, 2, 4): Sxy = 4, Sxx = Syy = 5.
  EXPECT_DOUBLE_EQ(coefcorr_seguro(vec({1, 2, 3, 4}), vec({1, 3, 2, 4}), 0.1, 9), 0.8);
}

TEST(Correlation, LineOfXOnY) {
  double r = -5, slope = -5, intercept = -5;
  coefcorr(vec({2, 4, 6}), vec({1, 2, 3}), 0.1, r, slope, intercept);
  EXPECT_DOUBLE_EQ(slope, 2);
  EXPECT_DOUBLE_EQ(intercept, 0);
  EXPECT_DOUBLE_EQ(r, 1);

  coefcorr(vec({2, 4, 6}), vec({1, 2, 3}), 0.6, r, slope, intercept);
  EXPECT_EQ(r, 0);  // slope 2 is not below 1/0.6
  EXPECT_DOUBLE_EQ(slope, 2);
  EXPECT_DOUBLE_EQ(intercept, 0);

  coefcorr(vec({5, 7, 9}), vec({1, 2, 3}), 0.1, r, slope, intercept);
  EXPECT_DOUBLE_EQ(slope, 2);
  EXPECT_DOUBLE_EQ(intercept, 3);
}

TEST(Correlation, FastFormReportsROnlyInsideTheSlopeBand) {
  // x = scale * y, both centred: the slope is the scale and r its sign.
  const VETOR<double> y = vec({-1, 0, 1});
  struct Case {
    double scale, lim, r;
  };
  const Case cases[] = {{0.5, 0.1, 1}, {0.5, 0.5, 0}, {2, 0.5, 0}, {-0.5, 0.1, -1}, {0, 0, 0}};
  for (const Case& c : cases) {
    const VETOR<double> x = vec({-c.scale, 0, c.scale});
    double r = -5, slope = -5;
    fastcoefcorr(x, x * x, y, y * y, c.lim, r, slope);
    EXPECT_DOUBLE_EQ(slope, c.scale);
    EXPECT_DOUBLE_EQ(r, c.r) << c.scale << " " << c.lim;
  }
}

TEST(Regressao, LineOfYOnXWithDegenerateFallback) {
  double a = 0, b = 0;
  regressao(vec({1, 2, 3}), vec({2, 4, 6}), a, b);
  EXPECT_DOUBLE_EQ(a, 2);
  EXPECT_DOUBLE_EQ(b, 0);
  regressao(vec({1, 2, 3}), vec({3, 5, 7}), a, b);
  EXPECT_DOUBLE_EQ(a, 2);
  EXPECT_DOUBLE_EQ(b, 1);
  for (const VETOR<double>& x : {vec({5, 5, 5}), vec({})}) {
    a = b = 7;
    regressao(x, vec({1, 2, 3}), a, b);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 0);
  }
  a = b = 7;
  regressao(vec({5, 5}), vec({1, 2, 3}), a, b);  // early return before the counts meet
  EXPECT_EQ(a, 1);
}

TEST(Ssimgry, IdentityOppositionAndExponents) {
  EXPECT_DOUBLE_EQ(ssimgry(vec({1, 2, 3}), vec({1, 2, 3}), 1, 1, 1), 1);
  EXPECT_DOUBLE_EQ(ssimgry(vec({1, -1}), vec({-1, 1}), 1, 1, 1), -1);
  // x = (0, 2), y = (1, 5): mx 1, my 3, Sxx 2, Syy 8, P 4.
  const double K = 1e-8;
  const double L = (6 + K) / (10 + K), C = (8 + K) / (10 + K), S = (4 + K) / (4 + K);
  EXPECT_DOUBLE_EQ(ssimgry(vec({0, 2}), vec({1, 5}), 1, 1, 1), L * C * S);
  EXPECT_DOUBLE_EQ(ssimgry(vec({0, 2}), vec({1, 5}), 2, 0.5, 3),
                   std::pow(L, 2) * std::pow(C, 0.5) * std::pow(S, 3));
  EXPECT_DOUBLE_EQ(ssimgry(vec({-1, 1}), 2, 1, vec({1, -1}), 8, 3, 1, 1, 1),
                   -(L * C * ((2 + K) / (4 + K))));
}

TEST(ComplexVectors, ElementWise) {
  const VETOR<CPXD> a = cvec({{1, 2}, {-3, 4}, {0, 0}});
  const VETOR<CPXD> b = cvec({{3, 4}, {1, 0}, {5, 5}});
  EXPECT_EQ(values(a * b), (std::vector<CPXD>{{-5, 10}, {-3, 4}, {0, 0}}));
  EXPECT_EQ(values(conj(a)), (std::vector<CPXD>{{1, -2}, {-3, -4}, {0, -0.0}}));
  EXPECT_EQ(values(real(a)), (std::vector<double>{1, -3, 0}));
  EXPECT_EQ(values(imag(a)), (std::vector<double>{2, 4, 0}));
  EXPECT_EQ(values(abs(cvec({{-3, 4}, {0, 0}, {0, -2}}))), (std::vector<double>{5, 0, 2}));
  const std::vector<double> t = values(arg(a));
  EXPECT_DOUBLE_EQ(t[0], std::atan2(2, 1));
  EXPECT_DOUBLE_EQ(t[1], std::atan2(4, -3));
  EXPECT_EQ(t[2], 0);
}

TEST(ComplexVectors, ProductIsThePlainFormula) {
  const double inf = std::numeric_limits<double>::infinity();
  const VETOR<CPXD> p = cvec({{inf, 0}}) * cvec({{0, 1}});
  // (inf*0 - 0*1, inf*1 + 0*0): the real part is not a number, no recovery.
  EXPECT_TRUE(std::isnan(p(0).real()));
  EXPECT_TRUE(std::isinf(p(0).imag()));
}

TEST(ComplexVectors, PolarAndBack) {
  const VETOR<CPXD> pol = ret2pol(cvec({{3, 4}, {0, 0}, {-1, 0}}));
  EXPECT_EQ(pol(0), CPXD(5, std::atan2(4, 3)));
  EXPECT_EQ(pol(1), CPXD(0, 0));
  EXPECT_DOUBLE_EQ(pol(2).imag(), M_PI);
  const VETOR<CPXD> back = pol2ret(pol);
  EXPECT_NEAR(back(0).real(), 3, 1e-12);
  EXPECT_NEAR(back(0).imag(), 4, 1e-12);
  EXPECT_NEAR(back(2).real(), -1, 1e-12);
  const VETOR<CPXD> r = pol2ret(cvec({{2, M_PI / 2}}));
  EXPECT_NEAR(r(0).real(), 0, 1e-15);
  EXPECT_DOUBLE_EQ(r(0).imag(), 2);
}

TEST(ComplexVectors, ModulusOfHugePartsDoesNotOverflow) {
  const VETOR<double> m = abs(cvec({{3e300, 4e300}, {std::nan(""), 0}}));
  EXPECT_DOUBLE_EQ(m(0), 5e300);
  EXPECT_TRUE(std::isnan(m(1)));
}

struct FatalCase {
  const char* name;
  std::function<void()> call;
  const char* message;
};

void PrintTo(const FatalCase& c, std::ostream* os) { *os << c.name; }

class VectorOpsFatal : public ::testing::TestWithParam<FatalCase> {};

TEST_P(VectorOpsFatal, EndsWithTheMessage) {
  EXPECT_ERRO(GetParam().call(), GetParam().message, "");
}

const char kDot[] = "Erro operator*: os vetores nao tem mesmo tamanho";

INSTANTIATE_TEST_SUITE_P(
    Messages, VectorOpsFatal,
    ::testing::Values(FatalCase{"Dot",
                                [] {
                                  (void)(vec({1, 2}) * vec({1, 2, 3}));
                                },
                                kDot},
                      FatalCase{"Difference",
                                [] {
                                  vec({1, 2}) - vec({1, 2, 3});
                                },
                                "operator-: Os vetores nao tem o mesmo tamanho"},
                      FatalCase{"Sum",
                                [] {
                                  vec({1, 2}) + vec({1, 2, 3});
                                },
                                "operator+: Os vetores nao tem o mesmo tamanho"},
                      FatalCase{"NormBelowOne",
                                [] {
                                  comprimento(vec({3, 4}), 0.5);
                                },
                                "Erro: p<1.0"},
                      FatalCase{"NormNaN",
                                [] {
                                  comprimento(vec({3, 4}), std::nan(""));
                                },
                                "Erro: p<1.0"},
                      FatalCase{"DeviationOne", [] { desvio_seguro(vec({1})); },
                                "Erro desvio_seguro: Vetor com 1 elemento"},
                      FatalCase{"DeviationEmpty", [] { desvio_seguro(vec({})); },
                                "Erro desvio_seguro: Vetor com 1 elemento"},
                      FatalCase{"CorrSizes",
                                [] {
                                  coefcorr_seguro(vec({1, 2, 3}), vec({1, 2, 3, 4}), 0.1, 9);
                                },
                                "Erro coeffcorr_seguro: Vetores com dimensoes diferentes"},
                      FatalCase{"CorrOne", [] { coefcorr_seguro(vec({1}), vec({1}), 0.1, 9); },
                                "Erro coeffcorr_seguro: Vetor com 1 elemento"},
                      FatalCase{"CoefcorrSizes",
                                [] {
                                  double r, s, i;
                                  coefcorr(vec({1, 2}), vec({1, 2, 3}), 0.1, r, s, i);
                                },
                                kDot},
                      FatalCase{"RegressaoSizes",
                                [] {
                                  double a, b;
                                  regressao(vec({1, 2}), vec({1, 2, 3}), a, b);
                                },
                                kDot},
                      FatalCase{"SsimSizes",
                                [] {
                                  ssimgry(vec({1, 2}), vec({1, 2, 3}), 1, 1, 1);
                                },
                                kDot},
                      FatalCase{"ComplexProduct",
                                [] {
                                  cvec({{1, 0}, {2, 0}}) * cvec({{1, 0}, {2, 0}, {3, 0}});
                                },
                                "Erro VETOR<CPXD> operator*: tamanhos diferentes"}),
    [](const ::testing::TestParamInfo<FatalCase>& info) { return std::string(info.param.name); });

}  // namespace
