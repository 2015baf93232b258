// Hexadecimal word text of a binary image and loading an image from such words.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "vistelmo.h"

namespace {

bool pattern(int l, int c, int seed) {
  uint32_t h =
      (static_cast<uint32_t>(l) * 97u + static_cast<uint32_t>(c) * 13u + seed) * 2654435761u;
  return (h >> 11) & 1u;
}
IMGBIN make_image(int nl, int nc, int seed) {
  IMGBIN b(nl, nc);
  for (int l = 0; l < nl; l++)
    for (int c = 0; c < nc; c++) b(l, c) = pattern(l, c, seed);
  return b;
}

// The words of a hex text, its size line left out.
std::vector<uint32_t> parse_words(const std::string& text) {
  std::vector<uint32_t> w;
  for (size_t at = text.find('\n'); (at = text.find("0x", at)) != std::string::npos; at += 2)
    w.push_back(static_cast<uint32_t>(std::strtoul(text.c_str() + at, nullptr, 16)));
  return w;
}

// Rows of single pixels: row l of a k x 32 image has only pixel l % 32 white.
IMGBIN diagonal(int k) {
  IMGBIN b(k, 32, false);
  for (int l = 0; l < k; l++) b(l, l % 32) = true;
  return b;
}

class Hex : public testutil::TempDir {
 protected:
  std::string hex(const IMGBIN& b) {
    ImpHex(b, path("h.txt"));
    return testutil::read_text(path("h.txt"));
  }
};

TEST_F(Hex, SmallImages) {
  EXPECT_EQ(hex(IMGBIN(2, 3, true, false, 1, 0, 1, 1)), "2, 3,\n0xac000000, ");
  IMGBIN half(2, 32, false);
  for (int c = 0; c < 32; c++) half(0, c) = true;
  half(1, 31) = true;
  EXPECT_EQ(hex(half), "2, 32,\n0xffffffff, 0x00000001, ");
  IMGBIN odd(3, 11, true);
  odd.data[0] |= 0x1Fu;  // spare bits are not part of the stream
  EXPECT_EQ(hex(odd), "3, 11,\n0xffffffff, 0x80000000, ");
  EXPECT_EQ(hex(IMGBIN(0, 5)), "0, 5,\n");
  EXPECT_EQ(hex(IMGBIN(-1, 5)), "-1, 5,\n");
}

TEST_F(Hex, EightWordsALine) {
  const std::string eight =
      "8, 32,\n0x80000000, 0x40000000, 0x20000000, 0x10000000, 0x08000000, 0x04000000, "
      "0x02000000, 0x01000000, \n";
  EXPECT_EQ(hex(diagonal(8)), eight);
  const std::string nine =
      "9, 32,\n0x80000000, 0x40000000, 0x20000000, 0x10000000, 0x08000000, 0x04000000, "
      "0x02000000, 0x01000000, \n0x00800000, ";
  EXPECT_EQ(hex(diagonal(9)), nine);
  // A second text in the process starts its lines afresh.
  EXPECT_EQ(hex(diagonal(8)), eight);
}

TEST_F(Hex, BitWriterSharesTheState) {
  FILE* f = std::fopen(path("bits.txt").c_str(), "w");
  ASSERT_NE(f, nullptr);
  for (int k = 0; k < 40; k++) __ImpBit(f, k % 4 == 0);
  std::fclose(f);
  EXPECT_EQ(testutil::read_text(path("bits.txt")), "0x88888888, ");
  // Eight bits still pending: the next text resets them.
  EXPECT_EQ(hex(IMGBIN(2, 3, true, false, 1, 0, 1, 1)), "2, 3,\n0xac000000, ");
}

TEST_F(Hex, FailuresAreReported) {
  IMGBIN b(2, 3, true);
  EXPECT_ERRO(ImpHex(b, path("no/dir/h.txt")), "Erro ImpHex - abertura de ", path("no/dir/h.txt"));
  if (!testutil::file_exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  EXPECT_ERRO(ImpHex(b, "/dev/full"), "Erro ImpHex - Falha na escrita ", "/dev/full");
}

TEST_F(Hex, FillRestoresTheWrittenImage) {
  for (int nc : {1, 31, 32, 33, 65, 100})
    for (int nl : {1, 2, 3, 5}) {
      SCOPED_TRACE(testing::Message() << nl << " x " << nc);
      const IMGBIN b = make_image(nl, nc, nc + nl);
      // Exactly (n + 31) / 32 words, so a read past them is caught.
      const std::vector<uint32_t> w = parse_words(hex(b));
      ASSERT_EQ(static_cast<int>(w.size()), (b.n() + 31) / 32);

      IMGBIN r(nl, nc, true);
      for (int l = 0; l < nl; l++) r.rows[l][r.wpr - 1] |= 0x1u;
      r.backg = 0;
      r.lc = 9;
      r.fill(w.data());
      for (int l = 0; l < nl; l++)
        for (int c = 0; c < nc; c++) ASSERT_EQ(r(l, c), b(l, c)) << l << ", " << c;
      // Spare bits, outside value and centre are left alone.
      if (nc % 32 != 0) {
        for (int l = 0; l < nl; l++) EXPECT_EQ(r.rows[l][r.wpr - 1] & 1u, 1u);
      }
      EXPECT_EQ(r.backg, 0u);
      EXPECT_EQ(r.lc, 9);
    }
}

TEST(HexFill, StreamRunsAcrossRows) {
  const uint32_t words[] = {0xac000000u};
  IMGBIN a(2, 3, false);
  a.fill(words);
  EXPECT_TRUE(a(0, 0));
  EXPECT_FALSE(a(0, 1));
  EXPECT_TRUE(a(0, 2));
  EXPECT_FALSE(a(1, 0));
  EXPECT_TRUE(a(1, 1));
  EXPECT_TRUE(a(1, 2));

  // 3 x 33: row 1 starts at bit 33 of the stream, row 2 at bit 66.
  const uint32_t stream[] = {0x80000000u, 0x60000000u, 0x30000001u, 0x80000000u};
  IMGBIN b(3, 33, false);
  b.fill(stream);
  EXPECT_EQ(b.rows[0][0], 0x80000000u);
  EXPECT_EQ(b.rows[0][1], 0x00000000u);
  EXPECT_EQ(b.rows[1][0], 0xC0000000u);
  EXPECT_EQ(b.rows[1][1], 0x00000000u);
  EXPECT_EQ(b.rows[2][0], 0xC0000006u);
  EXPECT_EQ(b.rows[2][1], 0x00000000u);

  IMGBIN e(0, 5);
  e.fill(words);  // nothing to load
  EXPECT_EQ(e.data, nullptr);
}

}  // namespace

TEST(HexWords, WideWordsFillLikeThirtyTwoBitOnes) {
  // 3 x 40 pixels from a stream of 120 bits held in the low halves of wider words.
  const uint32_t narrow[] = {0xac0f00ffu, 0x12345678u, 0x9abcdef0u, 0xff000000u};
  const unsigned long wide[] = {0xac0f00fful, 0x12345678ul, 0x9abcdef0ul, 0xff000000ul};
  IMGBIN a(3, 40), b(3, 40);
  a.fill(narrow);
  b.fill(wide);
  for (int l = 0; l < 3; l++)
    for (int c = 0; c < 40; c++) EXPECT_EQ(a(l, c), b(l, c)) << l << "," << c;
  EXPECT_TRUE(a(0, 0));
  EXPECT_FALSE(a(0, 1));
}
