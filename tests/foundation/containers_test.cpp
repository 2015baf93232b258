#include <climits>
#include <complex>
#include <cstring>
#include <new>

#include "memory_limit.h"
#include "support/test_support.h"
#include "vistelmo.h"

namespace {

const char kVetorIndex[] = "Erro VETOR::operator() - Indice invalido";
const char kVetorModeE[] = "Erro VETOR::operator(i,'e') - Indice invalido";
const char kVetorMode[] = "Erro VETOR::operator(i,modo) - modo invalido";
const char kVetorMem[] = "Erro VETOR::aloca - Falta memoria";
const char kMatrizIndex[] = "Erro MATRIZ::operator(l,c) - Indice invalido";
const char kMatrizMem[] = "Erro MATRIZ::aloca - Falta memoria";

// 10, 11, 12, 13, 14 with centro 2 and backg -1.
VETOR<int> five() {
  VETOR<int> v(5);
  for (int i = 0; i < 5; i++) v(i) = 10 + i;
  v.centro = 2;
  v.backg = -1;
  return v;
}

struct ModeCase {
  char mode;
  int index;
  int expected;  // element value, -1 for backg
};

class VetorModes : public ::testing::TestWithParam<ModeCase> {};

TEST_P(VetorModes, ElementOrOutsideValue) {
  const ModeCase& c = GetParam();
  VETOR<int> v = five();
  int& r = v(c.index, c.mode);
  EXPECT_EQ(r, c.expected);
  // The reference is writable and lands where it was read.
  r = 99;
  if (c.expected == -1) {
    EXPECT_EQ(v.backg, 99);
  } else {
    EXPECT_EQ(v.data[c.expected - 10], 99);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, VetorModes,
    ::testing::Values(ModeCase{'n', 0, 10}, ModeCase{'n', 4, 14}, ModeCase{'n', -1, -1},
                      ModeCase{'n', 5, -1}, ModeCase{0, 3, 13}, ModeCase{0, INT_MIN, -1},
                      ModeCase{'e', 0, 10}, ModeCase{'e', 4, 14}, ModeCase{2, 2, 12},
                      ModeCase{'r', -1, 14}, ModeCase{'r', -5, 10}, ModeCase{'r', -6, 14},
                      ModeCase{'r', 7, 12}, ModeCase{'r', 12, 12}, ModeCase{'r', 5, 10},
                      ModeCase{3, -1, 14}, ModeCase{'r', INT_MIN, 12}, ModeCase{'r', INT_MAX, 12},
                      ModeCase{'c', -2, 10}, ModeCase{'c', 2, 14}, ModeCase{'c', 3, -1},
                      ModeCase{'c', -3, -1}, ModeCase{4, 0, 12}, ModeCase{'c', INT_MAX, -1},
                      ModeCase{'c', INT_MIN, -1}));

struct FatalModeCase {
  char mode;
  int index;
  const char* msg;
};

class VetorModeErrors : public ::testing::TestWithParam<FatalModeCase> {};

TEST_P(VetorModeErrors, Fatal) {
  const FatalModeCase& c = GetParam();
  VETOR<int> v = five();
  EXPECT_ERRO(v(c.index, c.mode), c.msg, "");
}

INSTANTIATE_TEST_SUITE_P(
    Table, VetorModeErrors,
    ::testing::Values(FatalModeCase{'e', -1, kVetorModeE}, FatalModeCase{'e', 5, kVetorModeE},
                      FatalModeCase{2, 5, kVetorModeE}, FatalModeCase{1, 0, kVetorMode},
                      FatalModeCase{'x', 0, kVetorMode}, FatalModeCase{'s', 0, kVetorMode},
                      FatalModeCase{'N', 0, kVetorMode}, FatalModeCase{'E', 0, kVetorMode},
                      FatalModeCase{5, 0, kVetorMode}, FatalModeCase{-1, 0, kVetorMode},
                      FatalModeCase{static_cast<char>(0x8e), 0, kVetorMode}));

TEST(Vetor, CheckedIndex) {
  VETOR<int> v = five();
  EXPECT_EQ(v(4), 14);
  const VETOR<int>& cv = v;
  EXPECT_EQ(cv(0), 10);
  EXPECT_ERRO(v(-1), kVetorIndex, "");
  EXPECT_ERRO(v(5), kVetorIndex, "");
  EXPECT_ERRO(cv(5), kVetorIndex, "");
}

TEST(Vetor, EmptyAndNegativeSizesHoldNothing) {
  for (int size : {0, -3}) {
    VETOR<double> v(size);
    EXPECT_EQ(v.n(), size);
    EXPECT_EQ(v.n, size);
    EXPECT_EQ(v.data, nullptr);
    v.backg = 2.5;
    v.fill(1.0);
    for (int i : {-1, 0, 1}) {
      EXPECT_EQ(&v(i, 'n'), &v.backg);
      EXPECT_EQ(&v(i, 'c'), &v.backg);
      // Nothing to wrap onto: the outside value.
      EXPECT_EQ(&v(i, 'r'), &v.backg);
    }
    EXPECT_ERRO(v(0), kVetorIndex, "");
    EXPECT_ERRO(v(0, 'e'), kVetorModeE, "");
    // Copies copy no element.
    VETOR<double> copy(v);
    EXPECT_EQ(copy.n(), size);
    EXPECT_EQ(copy.data, nullptr);
    VETOR<double> target(4, 1.0);
    target = v;
    EXPECT_EQ(target.n(), size);
    EXPECT_EQ(target.data, nullptr);
    VETOR<double> filled(2, 3.0);
    v = filled;
    EXPECT_EQ(v.n(), 2);
    EXPECT_EQ(v(1), 3.0);
  }
}

TEST(Vetor, SizeFillAndConstructors) {
  VETOR<double> v(3, 1.5);
  EXPECT_EQ(v.n(), 3);
  for (int i = 0; i < 3; i++) EXPECT_EQ(v(i), 1.5);
  v.fill(-2);
  for (int i = 0; i < 3; i++) EXPECT_EQ(v(i), -2.0);
  EXPECT_EQ(v.centro, 0);
}

// The outside value of a new vector is value-initialised, whatever the memory held before.
template <class T>
void expect_backg_zero_on_dirty_memory() {
  alignas(VETOR<T>) unsigned char buf[sizeof(VETOR<T>)];
  std::memset(buf, 0xAB, sizeof buf);
  auto* v = new (buf) VETOR<T>(2);
  EXPECT_TRUE(v->backg == T{});
  v->~VETOR<T>();

  VETOR<T> src(3);
  src.backg = T{};
  std::memset(buf, 0xCD, sizeof buf);
  auto* c = new (buf) VETOR<T>(src);
  EXPECT_TRUE(c->backg == T{});
  c->~VETOR<T>();
}

TEST(Vetor, OutsideValueStartsAtZero) {
  expect_backg_zero_on_dirty_memory<double>();
  expect_backg_zero_on_dirty_memory<int>();
  expect_backg_zero_on_dirty_memory<unsigned char>();
  expect_backg_zero_on_dirty_memory<std::complex<double>>();
  VETOR<PONTO2> p(1);
  EXPECT_EQ(p.backg.x, 0.0);
  EXPECT_EQ(p.backg.y, 0.0);
}

TEST(Vetor, CopyTakesElementsAndCentroButNotBackg) {
  VETOR<int> v = five();
  v.centro = 7;
  VETOR<int> c(v);
  EXPECT_EQ(c.n(), 5);
  EXPECT_NE(c.data, v.data);
  for (int i = 0; i < 5; i++) EXPECT_EQ(c(i), 10 + i);
  EXPECT_EQ(c.centro, 7);
  EXPECT_EQ(c.backg, 0);
}

TEST(Vetor, AssignmentKeepsBlockOnEqualCount) {
  VETOR<int> v = five();
  VETOR<int> t(5, 0);
  t.backg = 42;
  int* block = t.data;
  t = v;
  EXPECT_EQ(t.data, block);
  for (int i = 0; i < 5; i++) EXPECT_EQ(t(i), 10 + i);
  EXPECT_EQ(t.centro, 2);
  EXPECT_EQ(t.backg, 42);

  VETOR<int> small(2, 0);
  small.backg = 8;
  small = v;
  EXPECT_EQ(small.n(), 5);
  EXPECT_EQ(small(4), 14);
  EXPECT_EQ(small.backg, 8);
  v(0) = 77;
  EXPECT_EQ(small(0), 10);

  int* own = v.data;
  VETOR<int>& self = v;
  v = self;
  EXPECT_EQ(v.data, own);
  EXPECT_EQ(v(0), 77);
}

// After desaloca() the count stays: resize to it and assignment allocate again.
TEST(Containers, StorageComesBackAfterDesaloca) {
  VETOR<int> v = five();
  v.desaloca();
  EXPECT_EQ(v.n(), 5);
  v.fill(3);  // no block: nothing to fill
  v.resize(5);
  ASSERT_NE(v.data, nullptr);
  v.fill(4);
  EXPECT_EQ(v(4), 4);
  v.desaloca();
  v = five();
  ASSERT_NE(v.data, nullptr);
  EXPECT_EQ(v(4), 14);

  MATRIZ<double> m(2, 2, 1.0), src(2, 2, 7.0);
  m.desaloca();
  m = src;
  ASSERT_NE(m.data, nullptr);
  EXPECT_EQ(m(1, 1), 7.0);
}

TEST(Vetor, ResizeKeepsOnlyAnEqualCount) {
  VETOR<int> v = five();
  int* block = v.data;
  v.resize(5);
  EXPECT_EQ(v.data, block);
  EXPECT_EQ(v(3), 13);
  EXPECT_EQ(v.centro, 2);
  v.resize(3);
  EXPECT_EQ(v.n(), 3);
  EXPECT_EQ(v.centro, 0);
  EXPECT_EQ(v.backg, -1);
  v.resize(-1);
  EXPECT_EQ(v.n(), -1);
  EXPECT_EQ(v.data, nullptr);
}

// A block of INT_MAX such elements lies beyond the address range.
struct Block {
  char b[1 << 20];
};

// Hands the storage to code the compiler cannot see, so that an allocation the test expects to
// fail is not elided (clang removes an allocation whose result is never read).
template <class C>
void keep(const C& c) {
  asm volatile("" : : "r"(c.data) : "memory");
}

TEST(Vetor, ImpossibleSizeIsFatal) {
  EXPECT_ERRO(keep(*new VETOR<Block>(INT_MAX)), kVetorMem, "");
  EXPECT_ERRO(
      {
        testutil::limit_address_space();
        VETOR<double> v(INT_MAX);
      },
      kVetorMem, "");
  EXPECT_ERRO(
      {
        testutil::limit_address_space();
        VETOR<PONTO4> v(INT_MAX);
      },
      kVetorMem, "");
  EXPECT_ERRO(
      {
        testutil::limit_address_space();
        VETOR<int> v(1);
        v.resize(INT_MAX);
      },
      kVetorMem, "");
}

TEST(Matriz, VariadicListIsRowMajor) {
  MATRIZ<double> m(2, 3, 1.0, 2.0, 3.0, 4.0, 5.0, 6.0);
  EXPECT_EQ(m.nl(), 2);
  EXPECT_EQ(m.nc(), 3);
  EXPECT_EQ(m.n(), 6);
  const double expected[2][3] = {{1, 2, 3}, {4, 5, 6}};
  for (int l = 0; l < 2; l++)
    for (int c = 0; c < 3; c++) EXPECT_EQ(m(l, c), expected[l][c]);
  MATRIZ<double> one(1, 1, 7.0, 8.0);
  EXPECT_EQ(one(0, 0), 7.0);
  MATRIZ<int> filled(2, 2, 9);
  for (int i = 0; i < 4; i++) EXPECT_EQ(filled.data[i], 9);
}

TEST(Matriz, IndexChecks) {
  MATRIZ<double> m(2, 3, 0.0);
  m(1, 2) = 5;
  EXPECT_EQ(m.data[5], 5.0);
  const MATRIZ<double>& cm = m;
  EXPECT_EQ(cm(1, 2), 5.0);
  for (auto [l, c] : {std::pair{-1, 0}, {2, 0}, {0, -1}, {0, 3}, {1, 3}}) {
    EXPECT_ERRO(m(l, c), kMatrizIndex, "");
  }
  EXPECT_ERRO(cm(2, 2), kMatrizIndex, "");
}

TEST(Matriz, EmptyAndNegativeSizes) {
  struct Case {
    int nl, nc, n;
  };
  for (Case c : {Case{0, 3, 0}, Case{3, 0, 0}, Case{0, 0, 0}, Case{-2, 3, -6}, Case{2, -3, -6},
                 Case{-2, -3, 0}}) {
    MATRIZ<double> m(c.nl, c.nc);
    EXPECT_EQ(m.nl(), c.nl);
    EXPECT_EQ(m.nc(), c.nc);
    EXPECT_EQ(m.n(), c.n);
    EXPECT_EQ(m.data, nullptr);
    m.fill(1.0);
    MATRIZ<double> copy(m);
    EXPECT_EQ(copy.data, nullptr);
    EXPECT_ERRO(m(0, 0), kMatrizIndex, "");
  }
}

TEST(Matriz, OverflowingOrImpossibleSizesAreFatal) {
  EXPECT_ERRO(keep(MATRIZ<Block>(46340, 46340)), kMatrizMem, "");
  EXPECT_ERRO(MATRIZ<double>(65536, 65536), kMatrizMem, "");
  EXPECT_ERRO(MATRIZ<int>(46341, 46341), kMatrizMem, "");
  EXPECT_ERRO(MATRIZ<int>(-65536, 65536), kMatrizMem, "");
  EXPECT_ERRO(
      {
        MATRIZ<double> m(2, 2);
        m.resize(INT_MAX, 2);
      },
      kMatrizMem, "");
  EXPECT_ERRO(
      {
        testutil::limit_address_space();
        MATRIZ<double> m(40000, 40000);
      },
      kMatrizMem, "");
}

TEST(Matriz, CopiesAndAssignmentsAreDeep) {
  MATRIZ<double> a(2, 2, 1.0, 2.0, 3.0, 4.0);
  MATRIZ<double> b(a);
  EXPECT_NE(b.data, a.data);
  b(0, 0) = -1;
  EXPECT_EQ(a(0, 0), 1.0);

  // Different size: reallocated to the source's size.
  MATRIZ<double> c(5, 1, 0.0);
  c = a;
  EXPECT_EQ(c.nl(), 2);
  EXPECT_EQ(c.nc(), 2);
  EXPECT_EQ(c.n(), 4);
  EXPECT_NE(c.data, a.data);
  a(1, 1) = 40;
  EXPECT_EQ(c(1, 1), 4.0);

  // Same size: own block kept, elements copied.
  MATRIZ<double> d(2, 2, 0.0);
  double* block = d.data;
  d = a;
  EXPECT_EQ(d.data, block);
  EXPECT_EQ(d(1, 1), 40.0);
  EXPECT_EQ(d(0, 1), 2.0);

  // 4 x 1 has the same count as 2 x 2 but not the same shape.
  MATRIZ<double> e(4, 1, 0.0);
  e = a;
  EXPECT_EQ(e.nl(), 2);
  EXPECT_EQ(e.nc(), 2);
  EXPECT_EQ(e(1, 0), 3.0);

  MATRIZ<double>& self = a;
  block = a.data;
  a = self;
  EXPECT_EQ(a.data, block);
  EXPECT_EQ(a(1, 1), 40.0);

  MATRIZ<double> empty;
  a = empty;
  EXPECT_EQ(a.n(), 0);
  EXPECT_EQ(a.data, nullptr);
}

TEST(Matriz, ResizeSetsTheNewSize) {
  MATRIZ<int> m(2, 3);
  m.resize(4, 5);
  EXPECT_EQ(m.nl(), 4);
  EXPECT_EQ(m.nc(), 5);
  EXPECT_EQ(m.n(), 20);
  m(3, 4) = 1;
  m.resize(0, 5);
  EXPECT_EQ(m.n(), 0);
  EXPECT_EQ(m.data, nullptr);
}

}  // namespace

TEST(Containers, VectorWithoutStorageReadsAsOutside) {
  VETOR<double> v(4, 1.0);
  v.backg = 9.0;
  v.desaloca();
  EXPECT_EQ(v(2, 'n'), 9.0);
  EXPECT_EQ(v(2, 'r'), 9.0);
  EXPECT_EQ(v(0, 'c'), 9.0);
  EXPECT_ERRO(v(2), "Erro VETOR::operator() - Indice invalido", "");
  EXPECT_ERRO(v(2, 'e'), "Erro VETOR::operator(i,'e') - Indice invalido", "");
}
