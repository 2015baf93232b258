#include <climits>
#include <cstdint>
#include <sstream>
#include <string>

#include "numerics/vetorbit.h"
#include "support/test_support.h"

namespace {

const char kIndex[] = "Erro VETORBIT::operator() - Indice invalido";

// Bit i = s[i].
VETORBIT bits(const std::string& s) { return VETORBIT(s); }

std::string str(const VETORBIT& v) { return v.tostring(); }

std::string streamed(const VETORBIT& v) {
  std::ostringstream os;
  os << v;
  return os.str();
}

// A string of n bits with an irregular pattern.
std::string pattern(int n) {
  std::string s;
  for (int i = 0; i < n; i++) s += ((i * 7 + i / 3) % 5 < 2) ? '1' : '0';
  return s;
}

TEST(VetorBit, PacksBitZeroIntoTheTopOfTheFirstWord) {
  VETORBIT v(40, false);
  EXPECT_EQ(v.n, 40);
  EXPECT_EQ(v.nw, 2);
  v(0) = true;
  v(31) = true;
  v(32) = true;
  v(39) = true;
  EXPECT_EQ(v.words[0], 0x80000001u);
  EXPECT_EQ(v.words[1] & 0xFF000000u, 0x81000000u);
  EXPECT_TRUE(v(39));
  EXPECT_FALSE(v(38));
  v(0) = false;
  EXPECT_EQ(v.words[0], 0x00000001u);
}

TEST(VetorBit, EmptyAndNegativeLengths) {
  VETORBIT e(0);
  EXPECT_EQ(e.nw, 0);
  EXPECT_EQ(e.words, nullptr);
  VETORBIT neg(-4, true);
  EXPECT_EQ(neg.n, -4);
  EXPECT_EQ(neg.nw, 0);
  EXPECT_EQ(neg.words, nullptr);
  EXPECT_EQ(VETORBIT(32).nw, 1);
  EXPECT_EQ(VETORBIT(33).nw, 2);
}

TEST(VetorBit, FillingConstructors) {
  EXPECT_EQ(str(VETORBIT(5, true)), "11111");
  EXPECT_EQ(str(VETORBIT(5, 1, 0, 1, 1, 0)), "10110");
  EXPECT_EQ(str(VETORBIT(3, true, true, 7)), "111");  // non-zero counts as 1
  EXPECT_EQ(str(VETORBIT(2, false, true)), "01");
  EXPECT_EQ(str(VETORBIT(1, true, false)), "1");
  EXPECT_EQ(str(VETORBIT(0, true, true)), "");
  EXPECT_ERRO(VETORBIT(4, 1, 0, 1), "Erro VETORBIT(n,b0,b1,...) - faltam valores", "");
}

TEST(VetorBit, CopiesResizeAndAssignment) {
  VETORBIT a = bits(pattern(70));
  VETORBIT b(a);
  EXPECT_EQ(str(b), pattern(70));
  b(3) = !b(3);
  EXPECT_EQ(str(a), pattern(70));  // deep copy

  uint32_t* block = a.words;
  a.resize(70);
  EXPECT_EQ(a.words, block);
  EXPECT_EQ(str(a), pattern(70));
  a.resize(10);
  EXPECT_EQ(a.n, 10);
  EXPECT_EQ(a.nw, 1);

  VETORBIT c(5, true);
  c = b;
  EXPECT_EQ(str(c), str(b));
  c = *&c;  // assignment to itself
  EXPECT_EQ(str(c), str(b));
  VETORBIT d(70, false);
  block = d.words;
  d = b;
  EXPECT_EQ(d.words, block);  // equal lengths keep the block
  EXPECT_EQ(str(d), str(b));
}

TEST(VetorBit, BitOfAWord) {
  uint32_t w = 0;
  bit(w, 0) = true;
  EXPECT_EQ(w, 0x80000000u);
  bit(w, 31) = true;
  EXPECT_EQ(w, 0x80000001u);
  EXPECT_TRUE(bit(w, 31));
  EXPECT_FALSE(bit(w, 1));
  bit(w, 0) = false;
  EXPECT_EQ(w, 1u);
  EXPECT_ERRO(bit(w, 32), "Erro: bit inexistente", "");
  EXPECT_ERRO(bit(w, -1), "Erro: bit inexistente", "");
  EXPECT_ERRO(bit(w, INT_MIN), "Erro: bit inexistente", "");
}

struct ShiftCase {
  std::string in;
  int k;
  std::string right;  // in >> k
  std::string left;   // in << k
};

class VetorBitShift : public ::testing::TestWithParam<ShiftCase> {};

TEST_P(VetorBitShift, DropsOrPrependsBits) {
  const ShiftCase& c = GetParam();
  EXPECT_EQ(str(bits(c.in) >> c.k), c.right);
  EXPECT_EQ(str(bits(c.in) << c.k), c.left);
}

INSTANTIATE_TEST_SUITE_P(Table, VetorBitShift,
                         ::testing::Values(ShiftCase{"1101", 0, "1101", "1101"},
                                           ShiftCase{"1101", 1, "101", "01101"},
                                           ShiftCase{"1101", 3, "1", "0001101"},
                                           ShiftCase{"1101", 4, "", "00001101"},
                                           ShiftCase{"1101", 6, "", "0000001101"},
                                           ShiftCase{pattern(40), 33, pattern(40).substr(33),
                                                     std::string(33, '0') + pattern(40)}));

TEST(VetorBit, ShiftEdges) {
  VETORBIT a = bits("1101");
  EXPECT_EQ((a >> 6).n, -2);
  EXPECT_ERRO(a >> -1, kIndex, "");
  EXPECT_EQ(str(a << -1), "101");
  EXPECT_EQ(str(a), "1101");  // operands are not changed
}

TEST(VetorBit, ShiftLeftOneMovesEveryBitUp) {
  std::string p = pattern(33);
  VETORBIT v = bits(p);
  EXPECT_EQ(v.shiftleft1(true), p[32] == '1');
  EXPECT_EQ(str(v), "1" + p.substr(0, 32));
  VETORBIT one = bits("1");
  EXPECT_TRUE(one.shiftleft1(false));
  EXPECT_EQ(str(one), "0");
  VETORBIT empty(0);
  EXPECT_ERRO(empty.shiftleft1(true), kIndex, "");
}

TEST(VetorBit, DelLeftAndDelZeros) {
  VETORBIT v = bits(pattern(40));
  v.delleft(5);
  EXPECT_EQ(str(v), pattern(35));
  EXPECT_EQ(v.nw, 2);
  v.delleft(4);
  EXPECT_EQ(v.nw, 1);
  VETORBIT copy(v);  // copies only the words of the shorter length
  EXPECT_EQ(str(copy), pattern(31));
  VETORBIT other(31, true);
  other = v;
  EXPECT_EQ(str(other), pattern(31));

  VETORBIT all = bits("101");
  all.delleft(3);
  EXPECT_EQ(all.n, 0);
  EXPECT_NE(all.words, nullptr);  // the block stays
  VETORBIT w = bits("101");
  EXPECT_ERRO(w.delleft(4), "Erro delleft n>nv", "");
  EXPECT_ERRO(w.delleft(-1), "Erro delleft k<0", "");

  VETORBIT z = bits("0110000");
  z.delzeros();
  EXPECT_EQ(str(z), "011");
  VETORBIT t = bits(pattern(40) + std::string(30, '0'));
  t.delzeros();
  EXPECT_EQ(t.n, static_cast<int>(pattern(40).find_last_of('1')) + 1);
  EXPECT_EQ(t.nw, 2);
  VETORBIT none = bits("0000");
  EXPECT_ERRO(none.delzeros(), kIndex, "");
  VETORBIT empty(0);
  EXPECT_ERRO(empty.delzeros(), kIndex, "");
}

TEST(VetorBit, PadSubAndReverse) {
  EXPECT_EQ(str(padzeros(bits("11"), 3)), "11000");
  EXPECT_EQ(str(padzeros(bits("11"), 0)), "11");
  EXPECT_ERRO(padzeros(bits("11"), -1), "Erro padzeros m<0", "");

  std::string p = pattern(50);
  EXPECT_EQ(str(subvetorbit(bits(p), 30, 40)), p.substr(30, 11));
  EXPECT_EQ(str(subvetorbit(bits(p), 7, 7)), p.substr(7, 1));
  EXPECT_ERRO(subvetorbit(bits(p), 5, 4), "Erro subvetorbit inic>fim", "");
  EXPECT_ERRO(subvetorbit(bits(p), 0, 50), kIndex, "");

  EXPECT_EQ(str(vira(bits("1100101"))), "1010011");
  EXPECT_EQ(str(vira(bits(p))), std::string(p.rbegin(), p.rend()));
  EXPECT_EQ(vira(VETORBIT(0)).n, 0);
}

TEST(VetorBit, WordwiseLogicMatchesBitwise) {
  for (int n : {1, 31, 32, 33, 65}) {
    std::string a = pattern(n), b = pattern(n + 3).substr(3);
    std::string x, o, d;
    for (int i = 0; i < n; i++) {
      bool p = a[i] == '1', q = b[i] == '1';
      x += (p != q) ? '1' : '0';
      o += (p || q) ? '1' : '0';
      d += (p && q) ? '1' : '0';
    }
    EXPECT_EQ(str(bits(a) ^ bits(b)), x) << n;
    EXPECT_EQ(str(bits(a) | bits(b)), o) << n;
    EXPECT_EQ(str(bits(a) & bits(b)), d) << n;
  }
  EXPECT_ERRO(bits("10") & bits("101"), "Erro &: vetores com tamanhos diferentes", "");
  EXPECT_ERRO(bits("10") ^ bits("101"), "Erro ^: vetores com tamanhos diferentes", "");
  EXPECT_ERRO(bits("10") | bits("101"), "Erro |: vetores com tamanhos diferentes", "");
}

TEST(VetorBit, EqualityIgnoresPaddingAndLengthMismatch) {
  VETORBIT a = bits("1011"), b = bits("1011");
  b.words[0] |= 0x0000FFFFu;  // padding only
  EXPECT_TRUE(a == b);
  EXPECT_FALSE(a == bits("1010"));
  EXPECT_FALSE(a == bits("10110"));
  EXPECT_TRUE(VETORBIT(0) == VETORBIT(0));
}

TEST(VetorBit, StreamForm) {
  EXPECT_EQ(streamed(bits("1101")), "n=4  1101\n");
  EXPECT_EQ(streamed(VETORBIT(0)), "n=0  \n");
  std::ostringstream os;
  os << std::boolalpha << bits("10");
  EXPECT_EQ(os.str(), "n=2  truefalse\n");
}

class VetorBitFile : public testutil::TempDir {};

TEST_F(VetorBitFile, WritesGroupsOfFourEightAndThirtyTwo) {
  std::string p =
      "01101001000011111111000010100101"
      "11001010";
  imp(bits(p), path("v.txt"));
  EXPECT_EQ(testutil::read_text(path("v.txt")),
            "40\n\n0110,1001 0000,1111 1111,0000 1010,0101\n1100,1010 ");
  imp(bits(p.substr(0, 32)), path("w.txt"));
  EXPECT_EQ(testutil::read_text(path("w.txt")), "32\n\n0110,1001 0000,1111 1111,0000 1010,0101\n");
  imp(bits("110"), path("s.txt"));
  EXPECT_EQ(testutil::read_text(path("s.txt")), "3\n\n110");
  imp(VETORBIT(0), path("e.txt"));
  EXPECT_EQ(testutil::read_text(path("e.txt")), "0\n\n");
}

TEST_F(VetorBitFile, ReadsBackWhatItWrites) {
  for (int n : {1, 8, 33, 64, 100}) {
    imp(bits(pattern(n)), path("v.txt"));
    VETORBIT v(3, true);
    le(v, path("v.txt"));
    EXPECT_EQ(v.n, n);
    EXPECT_EQ(str(v), pattern(n));
  }
  VETORBIT e(5, true);
  imp(VETORBIT(0), path("e.txt"));
  le(e, path("e.txt"));
  EXPECT_EQ(e.n, 0);
}

TEST_F(VetorBitFile, ReadsFreerLayouts) {
  testutil::write_text(path("a.txt"), "5 1 0 1 1 0");
  VETORBIT v;
  le(v, path("a.txt"));
  EXPECT_EQ(str(v), "10110");

  testutil::write_text(path("b.txt"), "# bits\n6\n1\n1 // one\n0;(0)\n/* x */ t=f trailing junk");
  le(v, path("b.txt"));
  EXPECT_EQ(str(v), "110010");

  uint32_t* block = v.words;
  testutil::write_text(path("c.txt"), "6 000111");
  le(v, path("c.txt"));
  EXPECT_EQ(v.words, block);  // same length keeps the storage
  EXPECT_EQ(str(v), "000111");
}

TEST_F(VetorBitFile, Failures) {
  VETORBIT v;
  EXPECT_ERRO(le(v, path("missing.txt")), "Erro le(VETORBIT - Abertura ", path("missing.txt"));
  EXPECT_ERRO(imp(v, path("no/dir.txt")), "Erro imp(VETORBIT,nome) - abertura de ",
              path("no/dir.txt"));
  testutil::write_text(path("short.txt"), "4 1 0 1");
  EXPECT_ERRO(le(v, path("short.txt")), "Erro: LeBool ", "eof");
  testutil::write_text(path("bad.txt"), "3 1 2 1");
  EXPECT_ERRO(le(v, path("bad.txt")), "Erro: LeBool ", "2");
  testutil::write_text(path("num.txt"), "x 1");
  EXPECT_ERRO(le(v, path("num.txt")), "LeNum(int)", "");
}

TEST(VetorBit, IndexChecks) {
  VETORBIT v(10, false);
  EXPECT_ERRO(v(10), kIndex, "");
  EXPECT_ERRO(v(-1), kIndex, "");
  const VETORBIT& c = v;
  EXPECT_ERRO(c(10), kIndex, "");
}

}  // namespace
