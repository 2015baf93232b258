#include <cstdint>
#include <sstream>
#include <string>

#include "numerics/gf2.h"
#include "support/test_support.h"

namespace {

const char kIndex[] = "Erro VETORBIT::operator() - Indice invalido";

// Bit i of the vector = coefficient of x^i = bit i of the integer.
VETORBIT poly(uint64_t v, int n) {
  VETORBIT p(n, false);
  for (int i = 0; i < n; i++) p(i) = ((v >> i) & 1u) != 0;
  return p;
}

uint64_t value(const VETORBIT& p) {
  uint64_t v = 0;
  for (int i = 0; i < p.n; i++)
    if (p(i)) v |= uint64_t{1} << i;
  return v;
}

int degree(uint64_t v) { return 63 - __builtin_clzll(v); }

uint64_t reference_mod(uint64_t a, uint64_t p) {
  int dp = degree(p);
  for (int i = 63; i >= dp; i--)
    if ((a >> i) & 1u) a ^= p << (i - dp);
  return a;
}

TEST(GF2, KnownRemainders) {
  VETORBIT p = atovetorbit("10011");  // x^4 + x + 1
  EXPECT_EQ(p.tostring(), "11001");
  EXPECT_EQ(modGF2(poly(0x10, 5), p).tostring(), "1100");
  EXPECT_EQ(modGF2n(poly(1, 1), 4, p).tostring(), "1100");
  EXPECT_EQ(modGF2(poly(3, 2), p).tostring(), "1100");  // lower degree: widened
  EXPECT_EQ(modGF2(p, p).tostring(), "0000");
  // Leading zeros on either side change nothing.
  EXPECT_EQ(modGF2(poly(0x10, 12), padzeros(p, 7)).tostring(), "1100");
  EXPECT_EQ(p.tostring(), "11001");  // operands are copies
}

TEST(GF2, RemaindersMatchLongDivision) {
  const uint64_t divisors[] = {0x3, 0x7, 0xB, 0x13, 0x25, 0x11D, 0x1021 | 0x10000, 0x104C11DB7};
  uint64_t a = 0x9E3779B97F4A7C15u;
  for (uint64_t p : divisors) {
    int dp = degree(p);
    for (int k = 0; k < 40; k++) {
      a = a * 6364136223846793005u + 1442695040888963407u;
      uint64_t x = a >> (k % 40);
      if (x == 0) continue;
      VETORBIT r = modGF2(poly(x, 64), poly(p, dp + 1));
      ASSERT_EQ(r.n, dp);
      EXPECT_EQ(value(r), reference_mod(x, p)) << std::hex << x << " mod " << p;
    }
  }
}

TEST(GF2, RepeatedRemainderMultipliesByX) {
  const uint64_t p = 0x11D;  // x^8 + x^4 + x^3 + x^2 + 1
  for (uint64_t x : {uint64_t{1}, uint64_t{0x5A}, uint64_t{0xFFF}}) {
    for (int n : {-3, 0, 1, 7, 20}) {
      uint64_t want = reference_mod(x, p);
      for (int i = 0; i < n; i++) want = reference_mod(want << 1, p);
      VETORBIT r = modGF2n(poly(x, 12), n, poly(p, 9));
      EXPECT_EQ(r.n, 8);
      EXPECT_EQ(value(r), want) << x << " n " << n;
    }
  }
  // x^3 * x^5 = x^8 = x^4 + x^3 + x^2 + 1 modulo p.
  EXPECT_EQ(value(modGF2n(poly(0x8, 4), 5, poly(p, 9))), 0x1Du);
}

TEST(GF2, ZeroOperands) {
  VETORBIT p = atovetorbit("10011");
  EXPECT_EQ(modGF2(VETORBIT(6, false), p).tostring(), "0000");
  EXPECT_EQ(modGF2(VETORBIT(0), p).tostring(), "0000");
  // A remainder that reaches zero stays a valid operand for the next step.
  VETORBIT q = atovetorbit("11");  // x + 1
  EXPECT_EQ(modGF2n(atovetorbit("11"), 3, q).tostring(), "0");
  EXPECT_ERRO(modGF2(p, VETORBIT(4, false)), "Erro modGF2 p.n<=0", "");
  EXPECT_ERRO(modGF2(p, VETORBIT(0)), "Erro modGF2 p.n<=0", "");
  // A divisor of degree 0 with a non-zero dividend.
  EXPECT_ERRO(modGF2(p, atovetorbit("001")), "Erro subvetorbit inic>fim", "");
}

TEST(GF2, StringOrders) {
  VETORBIT v = atovetorbit("1011");
  EXPECT_EQ(v.n, 4);
  EXPECT_EQ(v.tostring(), "1101");
  std::ostringstream os;
  os << v;
  EXPECT_EQ(os.str(), "n=4  1101\n");
  EXPECT_EQ(VETORBIT(std::string("1101")) == v, true);
  EXPECT_EQ(VETORBIT(std::string("10x0")).tostring(), "1010");
  VETORBIT from_string = std::string("011");
  EXPECT_EQ(from_string.tostring(), "011");
  EXPECT_EQ(atovetorbit("").n, 0);
  EXPECT_EQ(VETORBIT(0).tostring(), "");
  EXPECT_ERRO(atovetorbit("012"), "Erro atovetorbit", "");
}

TEST(GF2, StringAssignmentAndCopy) {
  VETORBIT v(4, false);
  uint32_t* block = v.words;
  v = std::string("0110");
  EXPECT_EQ(v.words, block);
  EXPECT_EQ(v.tostring(), "0110");
  v = std::string("1") + std::string(40, '0');
  EXPECT_EQ(v.n, 41);
  EXPECT_EQ(v.tostring(), "1" + std::string(40, '0'));

  VETORBIT w(3, false);
  std::string s = "1a0extra";
  w.copia(s);
  EXPECT_EQ(w.n, 3);
  EXPECT_EQ(w.tostring(), "110");
  std::string shorter = "10";
  EXPECT_ERRO(w.copia(shorter), "Erro VETORBIT::copia(string) - string curta", "");
}

TEST(GF2, StreamExtractorReadsNumerals) {
  std::istringstream in("  110\n0001 01x");
  VETORBIT v(3, false);
  uint32_t* block = v.words;
  in >> v;
  EXPECT_EQ(v.words, block);
  EXPECT_EQ(v.tostring(), "011");
  in >> v;
  EXPECT_EQ(v.tostring(), "1000");
  EXPECT_ERRO(in >> v, "Erro leitura VETORBIT", "");
}

TEST(GF2, NegativeLengthOperands) {
  VETORBIT neg = VETORBIT(3, true) >> 5;
  EXPECT_ERRO(modGF2(atovetorbit("101"), neg), "Erro modGF2 p.n<=0", "");
  EXPECT_ERRO(VETORBIT(0).shiftleft1(true), kIndex, "");
}

}  // namespace
