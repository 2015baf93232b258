#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "numerics/cipher.h"
#include "support/test_support.h"

namespace {

const char kIndex[] = "Erro VETOR::operator() - Indice invalido";

RANDOM after_draws(int seed, int k) {
  RANDOM r(seed);
  for (int i = 0; i < k; i++) r.rand();
  return r;
}

template <class T>
VETOR<T> make(const std::vector<T>& v) {
  VETOR<T> out(static_cast<int>(v.size()));
  for (int i = 0; i < out.n; i++) out(i) = v[i];
  return out;
}

template <class T>
std::vector<T> items(const VETOR<T>& v) {
  std::vector<T> out;
  for (int i = 0; i < v.n; i++) out.push_back(v(i));
  return out;
}

TEST(Cipher, ByteIsAPermutationThenTheMask) {
  for (int seed : {7, 1, 2024}) {
    RANDOM enc(seed);
    unsigned char y = enc.encrypt(static_cast<unsigned char>(0xA5));
    EXPECT_EQ(enc.state, after_draws(seed, 7).state);
    // Mask first, then the permutation's draws.
    RANDOM ref(seed);
    unsigned k = static_cast<unsigned>(ref.rand()) & 255u;
    EXPECT_EQ(y, ref.permut(static_cast<unsigned char>(0xA5)) ^ k);
  }
}

TEST(Cipher, WordIsAPermutationThenTheMask) {
  RANDOM enc(99);
  uint32_t y = enc.encrypt(0xCAFEF00Du);
  EXPECT_EQ(enc.state, after_draws(99, 32).state);
  RANDOM ref(99);
  uint32_t k = ref.dwordrand();
  EXPECT_EQ(y, ref.permut(0xCAFEF00Du) ^ k);
}

TEST(Cipher, EveryByteRoundTripsAndEncryptionIsABijection) {
  for (int seed : {0, 7, -3, 555, 123459877}) {
    std::vector<int> hits(256, 0);
    for (int b = 0; b < 256; b++) {
      RANDOM e(seed), d(seed);
      unsigned char y = e.encrypt(static_cast<unsigned char>(b));
      hits[y]++;
      EXPECT_EQ(d.decrypt(y), b) << "seed " << seed;
      EXPECT_EQ(d.state, e.state);
    }
    for (int h : hits) EXPECT_EQ(h, 1);
  }
}

TEST(Cipher, WordsRoundTrip) {
  const uint32_t words[] = {0u, 1u, 0xFFFFFFFFu, 0x80000000u, 0x01234567u, 0xDEADBEEFu};
  for (int seed : {7, 8, 100000}) {
    for (uint32_t w : words) {
      RANDOM e(seed), d(seed);
      uint32_t y = e.encrypt(w);
      EXPECT_EQ(d.decrypt(y), w);
      EXPECT_EQ(d.state, e.state);
    }
  }
}

TEST(Cipher, ByteVectorsChainAndRoundTrip) {
  std::vector<unsigned char> plain = {'V', 'i', 's', 't', 'e', 'l', 'm', 'o', 0, 255};
  VETOR<unsigned char> v = make(plain);
  RANDOM e(4242);
  e.encrypt(v);
  EXPECT_EQ(e.state, after_draws(4242, 7 * 10).state);

  // Element i is the single-value cipher of plain[i] XOR the previous ciphertext.
  RANDOM ref(4242);
  unsigned char prev = 0;
  for (int i = 0; i < v.n; i++) {
    unsigned char c = ref.encrypt(plain[i]);
    if (i > 0) c ^= prev;
    EXPECT_EQ(v(i), c) << i;
    prev = v(i);
  }

  RANDOM d(4242);
  d.decrypt(v);
  EXPECT_EQ(items(v), plain);
}

TEST(Cipher, WordVectorsRoundTripAndChangesPropagateForward) {
  std::vector<uint32_t> a = {1, 2, 3, 4, 5, 6};
  std::vector<uint32_t> b = a;
  b[3] = 40;
  VETOR<uint32_t> va = make(a), vb = make(b);
  RANDOM ea(17), eb(17);
  ea.encrypt(va);
  eb.encrypt(vb);
  EXPECT_EQ(eb.state, after_draws(17, 32 * 6).state);
  for (int i = 0; i < 3; i++) EXPECT_EQ(va(i), vb(i));
  for (int i = 3; i < 6; i++) EXPECT_NE(va(i), vb(i)) << i;

  RANDOM da(17);
  da.decrypt(va);
  EXPECT_EQ(items(va), a);
}

TEST(Cipher, OneElementVectorIsTheSingleValueForm) {
  VETOR<unsigned char> v(1, 0x3C);
  RANDOM a(5), b(5);
  a.encrypt(v);
  EXPECT_EQ(v(0), b.encrypt(static_cast<unsigned char>(0x3C)));
}

TEST(Cipher, EmptyVectorsFailBeforeAnyDraw) {
  VETOR<unsigned char> bytes;
  VETOR<uint32_t> words;
  RANDOM r(1);
  EXPECT_ERRO(r.encrypt(bytes), kIndex, "");
  EXPECT_ERRO(r.decrypt(bytes), kIndex, "");
  EXPECT_ERRO(r.encrypt(words), kIndex, "");
  EXPECT_ERRO(r.decrypt(words), kIndex, "");
}

}  // namespace

namespace {

// Standard input from fd in, standard output to the file out, for the life of the object.
class Redirect {
 public:
  Redirect(int in, const std::string& out) {
    std::fflush(stdout);
    saved_in_ = dup(0);
    saved_out_ = dup(1);
    dup2(in, 0);
    int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(o, 1);
    close(o);
  }
  ~Redirect() {
    std::fflush(stdout);
    dup2(saved_in_, 0);
    dup2(saved_out_, 1);
    close(saved_in_);
    close(saved_out_);
  }

 private:
  int saved_in_, saved_out_;
};

// A pipe holding keys, its write end closed.
int keys_pipe(const std::string& keys) {
  int fds[2];
  EXPECT_EQ(pipe(fds), 0);
  EXPECT_EQ(write(fds[1], keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
  close(fds[1]);
  return fds[0];
}

class Password : public testutil::TempDir {};

TEST_F(Password, EchoesAnAsteriskPerKeyAndKeepsBackspace) {
  int in = keys_pipe(std::string("ab\bc\r", 5));
  std::string got;
  {
    Redirect r(in, path("out"));
    got = lesenha();
  }
  close(in);
  EXPECT_EQ(got, std::string("ab\bc", 4));
  EXPECT_EQ(testutil::read_text(path("out")), "****\n");
}

TEST_F(Password, StopsAtTheCarriageReturnAndLeavesTheRest) {
  int in = keys_pipe("pw\n\rzz");
  std::string got;
  char rest[8] = {};
  {
    Redirect r(in, path("out"));
    got = lesenha();
    EXPECT_EQ(read(0, rest, sizeof rest), 2);
  }
  close(in);
  EXPECT_EQ(got, "pw\n");
  EXPECT_EQ(std::string(rest), "zz");
  EXPECT_EQ(testutil::read_text(path("out")), "***\n");
}

TEST_F(Password, EndOfInputEndsThePassword) {
  int in = keys_pipe("abc");
  std::string got;
  {
    Redirect r(in, path("out"));
    got = lesenha();
  }
  close(in);
  EXPECT_EQ(got, "abc");
  EXPECT_EQ(testutil::read_text(path("out")), "***\n");
}

// On a terminal the keys come one by one without echo, Enter arrives as 13 and Ctrl-C as a key,
// and the terminal's modes come back afterwards.
TEST_F(Password, TerminalKeysAreUnechoedAndModesRestored) {
  int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
  ASSERT_GE(slave, 0);
  termios before{};
  ASSERT_EQ(tcgetattr(slave, &before), 0);
  ASSERT_TRUE(before.c_lflag & ECHO);

  std::atomic<bool> done{false};
  ssize_t echoed = -1;
  std::thread typist([&] {
    termios t{};
    for (int i = 0; i < 500; i++) {  // at most 5 s
      tcgetattr(slave, &t);
      if (!(t.c_lflag & (ECHO | ICANON))) break;
      usleep(10000);
    }
    const char keys[] = "s3\x03\r";
    for (int i = 0; i < 4; i++) {
      (void)!write(master, keys + i, 1);
      usleep(2000);
    }
    for (int i = 0; i < 300 && !done; i++) usleep(10000);
    // Whatever the terminal echoed is waiting on this side.
    fcntl(master, F_SETFL, O_NONBLOCK);
    char echo[16];
    echoed = read(master, echo, sizeof echo);
    if (!done) {  // a reader still waiting sees the end of its input
      close(master);
      master = -1;
    }
  });
  std::string got;
  {
    Redirect r(slave, path("out"));
    got = lesenha();
  }
  done = true;
  typist.join();
  EXPECT_EQ(got, "s3\x03");
  EXPECT_EQ(testutil::read_text(path("out")), "***\n");
  EXPECT_LT(echoed, 1);

  termios after{};
  ASSERT_EQ(tcgetattr(slave, &after), 0);
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_EQ(after.c_iflag, before.c_iflag);
  close(slave);
  if (master >= 0) close(master);
}

}  // namespace
