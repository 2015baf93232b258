// Two-image operators on grey images, checked over every pair of byte values.
#include <cstdlib>
#include <functional>
#include <string>

#include "processing/algebra/grey_ops.h"
#include "processing/algebra/pointwise_fixtures.h"
#include "support/test_support.h"

namespace {

using pwtest::image;

struct GreyOp {
  const char* name;
  std::function<IMGGRY(const IMGGRY&, const IMGGRY&)> op;
  std::function<int(int, int)> pixel;
  std::function<int(int, int)> background;
  const char* mismatch;
};

int sat_sum(int x, int y) { return x + y > 255 ? 255 : x + y; }
int sat_diff(int x, int y) { return x - y < 0 ? 0 : x - y; }
int lower(int x, int y) { return x < y ? x : y; }
int upper(int x, int y) { return x > y ? x : y; }

const GreyOp kOps[] = {
    {"difabs", [](auto& a, auto& b) { return difabs(a, b); },
     [](int x, int y) { return std::abs(x - y); }, [](int, int) { return 0; },
     "Erro difabs: dimensoes diferentes"},
    {"sum", [](auto& a, auto& b) { return a + b; }, sat_sum, sat_sum,
     "Erro IMGGRY::add - As imagens nao tem o mesmo tamanho"},
    {"difference", [](auto& a, auto& b) { return a - b; }, sat_diff, sat_diff,
     "Erro IMGGRY::sub - As imagens nao tem o mesmo tamanho"},
    {"minimum", [](auto& a, auto& b) { return a && b; }, lower, lower,
     "Erro IMGGRY::operator&& - As imagens nao tem o mesmo tamanho"},
    {"maximum", [](auto& a, auto& b) { return a || b; }, upper, upper,
     "Erro IMGGRY::operator|| - As imagens nao tem o mesmo tamanho"},
};

class GreyOps : public ::testing::TestWithParam<GreyOp> {};

// a(l, c) = l and b(l, c) = c: every pair of byte values once.
TEST_P(GreyOps, EveryPairFollowsTheRule) {
  const GreyOp& op = GetParam();
  IMGGRY a = image<IMGGRY>(256, 256, [](int l, int) { return (unsigned char)l; });
  IMGGRY b = image<IMGGRY>(256, 256, [](int, int c) { return (unsigned char)c; });
  a.lc = a.cc = 0;
  b.lc = b.cc = 255;
  const IMGGRY r = op.op(a, b);
  ASSERT_EQ(r.nl(), 256);
  ASSERT_EQ(r.nc(), 256);
  for (int l = 0; l < 256; l++)
    for (int c = 0; c < 256; c++) ASSERT_EQ(r(l, c), op.pixel(l, c)) << l << " " << c;
  EXPECT_EQ(r.lc, 127);
  EXPECT_EQ(r.cc, 127);
}

TEST_P(GreyOps, OutsideValues) {
  const GreyOp& op = GetParam();
  const int pairs[][2] = {{7, 200}, {200, 7}, {200, 100}, {0, 0}, {255, 255}};
  for (const auto& p : pairs) {
    IMGGRY a(2, 3, 1), b(2, 3, 2);
    a.backg = (unsigned char)p[0];
    b.backg = (unsigned char)p[1];
    EXPECT_EQ(op.op(a, b).backg, op.background(p[0], p[1])) << p[0] << " " << p[1];
  }
}

TEST_P(GreyOps, EmptyOperands) {
  const GreyOp& op = GetParam();
  const IMGGRY r = op.op(IMGGRY(0, 5), IMGGRY(0, 5));
  EXPECT_EQ(r.nl(), 0);
  EXPECT_EQ(r.nc(), 5);
  EXPECT_EQ(r.data, nullptr);
}

TEST_P(GreyOps, SizeMismatchIsFatal) {
  const GreyOp& op = GetParam();
  EXPECT_ERRO(op.op(IMGGRY(3, 4), IMGGRY(4, 3)), op.mismatch, "");
  EXPECT_ERRO(op.op(IMGGRY(3, 4), IMGGRY(3, 5)), op.mismatch, "");
}

INSTANTIATE_TEST_SUITE_P(All, GreyOps, ::testing::ValuesIn(kOps),
                         [](const ::testing::TestParamInfo<GreyOp>& info) {
                           return std::string(info.param.name);
                         });

TEST(GreyOpsValues, Examples) {
  const IMGGRY a(1, 1, 200), b(1, 1, 100);
  EXPECT_EQ((a + b)(0, 0), 255);
  EXPECT_EQ((b - a)(0, 0), 0);
  EXPECT_EQ(difabs(a, b)(0, 0), 100);
  EXPECT_EQ(difabs(b, a)(0, 0), 100);
  IMGGRY x(1, 1, 0), y(1, 1, 0);
  x.backg = 7;
  y.backg = 200;
  EXPECT_EQ(difabs(x, y).backg, 0);
  EXPECT_EQ((x - y).backg, 0);
  EXPECT_EQ((x + y).backg, 207);
}

}  // namespace
