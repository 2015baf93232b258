// Element access by border mode, on every image class.
#include <climits>
#include <complex>
#include <functional>
#include <memory>
#include <string>

#include "images/border_internal.h"
#include "images/image_core_internal.h"
#include "processing/algebra/resample_internal.h"
#include "support/test_support.h"
#include "vistelmo.h"

namespace {

constexpr int kOut = -1;  // the access refers to the outside value

struct Access {
  int a, b;
  char mode;
  int l, c;  // expected element, or kOut
};

// On a 4 x 5 image: centre row 1, centre column 2.
const Access kGrey[] = {
    {2, 3, 'n', 2, 3},
    {-1, 0, 'n', kOut, 0},
    {4, 0, 'n', kOut, 0},
    {0, 5, 'n', kOut, 0},
    {-1, 7, 'x', 0, 4},
    {5, -3, 'x', 3, 0},
    {INT_MIN, INT_MAX, 'x', 0, 4},
    {-1, -1, 'r', 3, 4},
    {4, 5, 'r', 0, 0},
    {-5, -6, 'r', 3, 4},
    {INT_MIN, INT_MIN, 'r', 0, 2},
    {0, 0, 'c', 1, 2},
    {1, -2, 'c', 2, 0},
    {2, 2, 'c', 3, 4},
    {-2, 0, 'c', kOut, 0},
    {0, 3, 'c', kOut, 0},
    {INT_MAX, INT_MAX, 'c', kOut, 0},
    {3, 3, 's', 0, 0},
    {-1, -1, 's', 0, 1},
    {-2, -3, 's', 3, 4},
    {INT_MAX, INT_MAX, 's', 0, 4},
    {0, 0, 'N', 3, 0},
    {4, 3, 'N', 0, 4},
    {4, 0, 'N', 3, 4},
    {5, 0, 'N', kOut, 0},
    {0, 4, 'N', kOut, 0},
    {-1, 0, 'N', kOut, 0},
    {0, INT_MIN, 'N', kOut, 0},
    {10, 10, 'X', 0, 4},
    {-10, -10, 'X', 3, 0},
    {3, 0, 'X', 1, 4},
    {0, 3, 'X', 0, 2},
    {INT_MIN, INT_MIN, 'X', 3, 0},
    {0, 0, 'C', 1, 2},
    {1, 1, 'C', 0, 3},
    {0, -1, 'C', 2, 2},
    {-2, 0, 'C', 1, 0},
    {0, 2, 'C', kOut, 0},
    {-3, 0, 'C', kOut, 0},
    {INT_MAX, INT_MIN, 'C', kOut, 0},
    {0, 0, 'e', 0, 0},
    {3, 4, 'e', 3, 4},
};

// The letters and their numeric aliases.
const std::pair<char, char> kAliases[] = {{'n', 0}, {'x', 1},  {'e', 2},  {'r', 3}, {'c', 4},
                                          {'s', 5}, {'N', 10}, {'X', 11}, {'C', 14}};

// Chars that select no mode, also for a position inside the image.
const char kInvalid[] = {'q', 'R', 'E', 'S', 'K', '0', '1', 6, 7, 8, 9, 12, 13, 15, -1, ' '};

template <class Img>
class BorderAccess : public ::testing::Test {
 protected:
  Img im{4, 5};
  // Where (a, b, mode) lands: row * 100 + column, or kOut.
  int where(int a, int b, char mode) {
    const auto* p = &im(a, b, mode);
    if (p == &im.backg) return kOut;
    const std::ptrdiff_t k = p - im.data;
    EXPECT_TRUE(k >= 0 && k < 20) << k;
    return static_cast<int>(k / 5 * 100 + k % 5);
  }
};
using ByteClasses = ::testing::Types<IMGGRY, IMGCOR, IMGSHT, IMGFLT, IMGDBL, IMGCPX>;
TYPED_TEST_SUITE(BorderAccess, ByteClasses);

TYPED_TEST(BorderAccess, ModeTable) {
  for (const Access& t : kGrey) {
    const int want = t.l == kOut ? kOut : t.l * 100 + t.c;
    EXPECT_EQ(this->where(t.a, t.b, t.mode), want)
        << "(" << t.a << ", " << t.b << ", '" << t.mode << "')";
  }
}

TYPED_TEST(BorderAccess, NumbersSelectTheSameModesAsLetters) {
  for (auto [letter, number] : kAliases)
    for (int a = -6; a <= 6; a++)
      for (int b = -6; b <= 6; b++) {
        if (letter == 'e' && (a < 0 || a >= 4 || b < 0 || b >= 5)) continue;
        EXPECT_EQ(this->where(a, b, letter), this->where(a, b, number)) << letter;
      }
}

TYPED_TEST(BorderAccess, PlainAccessIsModeN) {
  for (int l = -2; l <= 6; l++)
    for (int c = -2; c <= 6; c++) EXPECT_EQ(&this->im(l, c), &this->im(l, c, 'n'));
  const TypeParam& k = this->im;
  EXPECT_EQ(&k(1, 1), &this->im.rows[1][1]);
  EXPECT_EQ(&k(-1, 1, 'x'), &this->im.rows[0][1]);
}

TYPED_TEST(BorderAccess, EmptyImageIsAllOutside) {
  for (TypeParam e : {TypeParam(0, 5), TypeParam(3, 0), TypeParam(-2, -2)})
    for (char mode : {'n', 'x', 'r', 'c', 's', 'N', 'X', 'C'})
      for (int a = -1; a <= 1; a++) EXPECT_EQ(&e(a, 0, mode), &e.backg) << mode;
  TypeParam d(4, 5);
  d.desaloca();
  for (char mode : {'n', 'x', 'r', 'c', 's', 'N', 'X', 'C', 'e'})
    EXPECT_EQ(&d(0, 0, mode), &d.backg) << mode;
}

TEST(BorderGrey, WriteThroughAnOutsideReferenceChangesTheOutsideValue) {
  IMGGRY g(4, 5, 1);
  g(-1, 0, 'n') = 9;
  EXPECT_EQ(g(4, 0), 9);
  EXPECT_EQ(g(100, -100, 'c'), 9);
  EXPECT_EQ(g(5, 0, 'N'), 9);
  EXPECT_EQ(g(0, 2, 'C'), 9);
  g(0, 3, 'C') = 17;
  EXPECT_EQ(g.backg, 17);
  g(7, 7) = 23;
  EXPECT_EQ(g(-3, 0, 'n'), 23);
  for (int k = 0; k < g.n(); k++) EXPECT_EQ(g.data[k], 1);
  // A write through an inside reference changes that element only.
  g(0, 0, 'N') = 5;
  EXPECT_EQ(g(3, 0), 5);
  EXPECT_EQ(g(2, 0), 1);
}

TEST(BorderGrey, ModeEOutsideFails) {
  IMGGRY g(4, 5);
  for (auto [a, b] : {std::pair{4, 0}, {-1, 0}, {0, 5}, {0, -1}})
    EXPECT_ERRO(g(a, b, 'e'), "Indice invalido", "");
  EXPECT_ERRO(g(4, 4, 2), "Indice invalido", "");
  IMGGRY e(0, 5);
  EXPECT_ERRO(e(0, 0, 'e'), "Indice invalido", "");
}

class BorderInvalidMode : public ::testing::TestWithParam<char> {};
TEST_P(BorderInvalidMode, FailsEvenInside) {
  IMGGRY g(4, 5);
  IMGBIN b(2, 40);
  const IMGFLT f(2, 2);
  EXPECT_ERRO(g(1, 1, GetParam()), "Erro: Modo de acesso invalido", "");
  EXPECT_ERRO(b(1, 1, GetParam()), "Erro: Modo de acesso invalido", "");
  EXPECT_ERRO(f(9, 9, GetParam()), "Erro: Modo de acesso invalido", "");
}
INSTANTIATE_TEST_SUITE_P(Chars, BorderInvalidMode, ::testing::ValuesIn(kInvalid));

// Every resolver of the border rule lands where the element access lands. A resolver is
// prepared once for an image, a mode and windows of first and second arguments, then reads the
// sample at (a, b). Pixels hold distinct values, so equal values mean the same position.
struct Window {
  int lo, hi;
};
using Read = std::function<double(int a, int b)>;
struct Resolver {
  const char* name;
  std::function<Read(const IMGDBL& im, char mode, Window wa, Window wb)> prepare;
};

double sample_at(const IMGDBL& im, bool inside, int l, int c) {
  return inside ? im.rows[l][c] : im.backg;
}

const Resolver kResolvers[] = {
    {"resolve_position",
     [](const IMGDBL& im, char m, Window, Window) -> Read {
       return [&im, m](int a, int b) {
         int l, c;
         const bool in = vistelmo::resolve_position(a, b, m, im.nl, im.nc, im.lc, im.cc, l, c);
         return sample_at(im, in, l, c);
       };
     }},
    {"border_rule",
     [](const IMGDBL& im, char m, Window, Window) -> Read {
       const vistelmo::BorderRule r = vistelmo::border_rule(m, im.nl, im.nc, im.lc, im.cc);
       return [&im, r](int a, int b) {
         int l, c;
         const bool in = vistelmo::locate(r, a, b, l, c);
         return sample_at(im, in, l, c);
       };
     }},
    {"BorderMap tables",
     [](const IMGDBL& im, char m, Window wa, Window wb) -> Read {
       auto map = std::make_shared<vistelmo::BorderMap>(m, im.nl, im.nc, im.lc, im.cc, wa.lo, wa.hi,
                                                        wb.lo, wb.hi);
       return [&im, map](int a, int b) {
         if (!map->valid()) map->fail(a, b);
         const int ia = map->a(a), ib = map->b(b);
         if (ia == vistelmo::BorderMap::kFatal || ib == vistelmo::BorderMap::kFatal)
           map->fail(a, b);
         if (ia < 0 || ib < 0) return im.backg;
         return map->swapped() ? im.rows[ib][ia] : im.rows[ia][ib];
       };
     }},
    {"BorderMap::locate",
     [](const IMGDBL& im, char m, Window wa, Window wb) -> Read {
       auto map = std::make_shared<vistelmo::BorderMap>(m, im.nl, im.nc, im.lc, im.cc, wa.lo, wa.hi,
                                                        wb.lo, wb.hi);
       return [&im, map](int a, int b) {
         int l, c;
         const bool in = map->locate(a, b, l, c);
         return sample_at(im, in, l, c);
       };
     }},
    {"resampler Sampler",
     [](const IMGDBL& im, char m, Window, Window) -> Read {
       auto s = std::make_shared<vistelmo::Sampler<IMGDBL>>(im, m);
       return [s](int a, int b) { return (*s)(a, b); };
     }},
    {"resampler single_sample",
     [](const IMGDBL& im, char m, Window, Window) -> Read {
       auto s = std::make_shared<vistelmo::Sampler<IMGDBL>>(im, m);
       return [s](int a, int b) { return vistelmo::single_sample<true>(*s, a, b); };
     }},
    {"resampler SourceLines",
     [](const IMGDBL& im, char m, Window, Window) -> Read {
       auto lines =
           std::make_shared<vistelmo::SourceLines<IMGDBL>>(im, vistelmo::source_rule(im, m));
       return [lines](int a, int b) { return lines->line(b)[lines->slot(a)]; };
     }},
};

struct Shape {
  int nl, nc;
  int lc = kKeep, cc = kKeep;  // centre, or kKeep for the default one
  static constexpr int kKeep = INT_MIN + 1;
};
const Shape kShapes[] = {{1, 1},
                         {1, 6},
                         {6, 1},
                         {4, 5},
                         {3, 7},
                         {0, 3},
                         {3, 0},
                         {0, 0},
                         {2, 2},
                         // Centres moved, also off the image and at the ends of int.
                         {4, 5, 0, 0},
                         {4, 5, 3, 4},
                         {3, 7, -2, 9},
                         {1, 6, 0, 5},
                         {6, 1, 5, 0},
                         {4, 5, INT_MAX, INT_MIN},
                         {4, 5, INT_MIN, INT_MAX},
                         {0, 3, 1, 1},
                         {1, 1, -1, 1}};
// Around the image, several periods away, and at both ends of int.
const Window kWindows[] = {{-13, 14}, {INT_MIN, INT_MIN + 3}, {INT_MAX - 3, INT_MAX}};

IMGDBL numbered(const Shape& s) {
  IMGDBL im(s.nl, s.nc);
  for (int l = 0; l < s.nl; l++)
    for (int c = 0; c < s.nc; c++) im.rows[l][c] = l * s.nc + c;
  im.backg = -1;
  if (s.lc != Shape::kKeep) im.lc = s.lc;
  if (s.cc != Shape::kKeep) im.cc = s.cc;
  return im;
}

TEST(BorderRule, EveryResolverLandsWhereTheElementAccessLands) {
  std::vector<char> modes;
  for (auto [letter, number] : kAliases) modes.push_back(letter), modes.push_back(number);
  for (const Shape& s : kShapes) {
    const IMGDBL im = numbered(s);
    for (char m : modes)
      for (const Window& wa : kWindows)
        for (const Window& wb : kWindows)
          for (const Resolver& r : kResolvers) {
            const Read read = r.prepare(im, m, wa, wb);
            for (int64_t a = wa.lo; a <= wa.hi; a++)
              for (int64_t b = wb.lo; b <= wb.hi; b++) {
                const bool fails =
                    (m == 'e' || m == 2) && !(a >= 0 && a < s.nl && b >= 0 && b < s.nc);
                if (fails) continue;
                const double want = im(int(a), int(b), m), got = read(int(a), int(b));
                if (got != want) {
                  ADD_FAILURE() << r.name << ": " << s.nl << "x" << s.nc << " centre (" << im.lc
                                << ", " << im.cc << ") mode " << int(m) << " (" << a << ", " << b
                                << ") reads " << got << ", the access " << want;
                  return;
                }
              }
          }
  }
}

TEST(BorderRule, EveryResolverFailsWhereTheElementAccessFails) {
  const IMGDBL im = numbered({4, 5}), empty = numbered({0, 5});
  const Window w = {-2, 6};
  for (const Resolver& r : kResolvers) {
    SCOPED_TRACE(r.name);
    for (char e : {'e', char(2)}) {
      EXPECT_EQ(r.prepare(im, e, w, w)(3, 4), im(3, 4));
      for (auto [a, b] : {std::pair{4, 0}, {-1, 2}, {0, 5}, {2, -1}, {-2, 6}})
        EXPECT_ERRO(r.prepare(im, e, w, w)(a, b), "Indice invalido", "");
      EXPECT_ERRO(r.prepare(empty, e, w, w)(0, 0), "Indice invalido", "");
    }
    for (char bad : {'q', 'E', char(6), char(15), char(-1)}) {
      EXPECT_ERRO(r.prepare(im, bad, w, w)(1, 1), "Erro: Modo de acesso invalido", "");
      EXPECT_ERRO(r.prepare(empty, bad, w, w)(1, 1), "Erro: Modo de acesso invalido", "");
    }
  }
}

// On a 2 x 40 binary image: centre row 0, centre column 19.
const Access kBinary[] = {
    {0, 33, 'n', 0, 33},     {1, 39, 'n', 1, 39},  {0, 40, 'n', kOut, 0}, {2, 0, 'n', kOut, 0},
    {-1, 45, 'x', 0, 39},    {3, -3, 'x', 1, 0},   {-1, -1, 'r', 1, 39},  {2, 40, 'r', 0, 0},
    {-3, -41, 'r', 1, 39},   {0, 0, 'c', 0, 19},   {1, 20, 'c', 1, 39},   {1, 21, 'c', kOut, 0},
    {-1, 0, 'c', kOut, 0},   {1, -20, 's', 1, 39}, {2, 21, 's', 0, 0},    {0, 0, 'N', 1, 0},
    {39, 1, 'N', 0, 39},     {0, 2, 'N', kOut, 0}, {40, 0, 'N', kOut, 0}, {0, 0, 'C', 0, 19},
    {13, -1, 'C', 1, 32},    {0, 1, 'C', kOut, 0}, {21, 0, 'C', kOut, 0}, {100, 100, 'X', 0, 39},
    {-100, -100, 'X', 1, 0}, {1, 31, 'e', 1, 31},  {1, 32, 'e', 1, 32},
};

TEST(BorderBinary, ModeTable) {
  IMGBIN b(2, 40);
  ASSERT_EQ(b.lc, 0);
  ASSERT_EQ(b.cc, 19);
  for (const Access& t : kBinary) {
    SCOPED_TRACE(testing::Message() << "(" << t.a << ", " << t.b << ", '" << t.mode << "')");
    BITREF r = b(t.a, t.b, t.mode);
    if (t.l == kOut) {
      EXPECT_EQ(r.word, &b.backg);
      EXPECT_EQ(r.mask, 1u);
    } else {
      EXPECT_EQ(r.word, b.rows[t.l] + t.c / 32);
      EXPECT_EQ(r.mask, 0x80000000u >> (t.c % 32));
    }
  }
  BITREF r = b(0, 33, 'n');
  EXPECT_EQ(r.word, b.data + 1);
  EXPECT_EQ(r.mask, 0x40000000u);
  for (auto [letter, number] : kAliases)
    for (int a = -3; a <= 3; a++)
      for (int c = -42; c <= 42; c += 3) {
        if (letter == 'e' && (a < 0 || a >= 2 || c < 0 || c >= 40)) continue;
        BITREF x = b(a, c, letter), y = b(a, c, number);
        EXPECT_TRUE(x.word == y.word && x.mask == y.mask) << letter << " " << a << " " << c;
      }
}

TEST(BorderBinary, PlainAccessAndWritesThroughBitReferences) {
  IMGBIN b(2, 40, false);
  BITREF out = b(0, 40, 'n');
  out = false;
  EXPECT_EQ(b.backg & 1u, 0u);
  EXPECT_FALSE(b(5, 5));
  EXPECT_FALSE(b(-1, 0, 'C'));
  b(-7, 0) = true;
  EXPECT_TRUE(b(0, -1, 'n'));

  b(0, 33) = true;
  EXPECT_EQ(b.rows[0][1], 0x40000000u);
  b(1, 1, 'N') = true;  // x 1, y 1 from the bottom-left: row 0, column 1
  EXPECT_EQ(b.rows[0][0], 0x40000000u);
  b(0, 33, 'x') = false;
  EXPECT_EQ(b.rows[0][1], 0u);
  EXPECT_EQ(b.rows[1][0] | b.rows[1][1], 0u);

  const IMGBIN& k = b;
  EXPECT_TRUE(k(0, 1));
  EXPECT_FALSE(k(0, 2));
  EXPECT_TRUE(k(0, 41, 'r'));
  EXPECT_TRUE(k(9, 9));  // outside value, now white
}

TEST(BorderBinary, AssigningOneBitReferenceFromAnotherCopiesTheValue) {
  IMGBIN b(2, 40, false);
  b(1, 39) = true;
  BITREF dst = b(0, 0), src = b(1, 39);
  dst = src;
  EXPECT_TRUE(b(0, 0));
  EXPECT_EQ(dst.word, b.rows[0]);  // still bound to (0, 0)
  EXPECT_EQ(dst.mask, 0x80000000u);
  b(1, 39) = false;
  EXPECT_TRUE(b(0, 0));
  b(0, 1) = b(0, 0);
  EXPECT_EQ(b.rows[0][0], 0xC0000000u);
}

TEST(BorderBinary, EmptyAndReleasedImagesAreAllOutside) {
  IMGBIN e(0, 40);
  for (char mode : {'n', 'x', 'r', 'c', 's', 'N', 'X', 'C'}) {
    BITREF r = e(0, 0, mode);
    EXPECT_EQ(r.word, &e.backg) << mode;
  }
  EXPECT_ERRO(e(0, 0, 'e'), "Indice invalido", "");
  IMGBIN d(2, 40);
  d.desaloca();
  d(1, 1, 'x') = false;
  EXPECT_EQ(d.backg & 1u, 0u);
  EXPECT_EQ(d(0, 0, 'e').word, &d.backg);
}

}  // namespace
