#include <dlfcn.h>

#include <climits>
#include <cstring>
#include <ctime>
#include <type_traits>

#include "foundation/clock_internal.h"
#include "memory_limit.h"
#include "support/test_support.h"
#include "vistelmo.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

TEST(Erro, PrintsBothStringsAndExitsWithOne) {
  EXPECT_ERRO(erro("Erro: Abertura de ", "x.tga"), "Erro: Abertura de ", "x.tga");
  EXPECT_EXIT(
      {
        testutil::stdout_to_stderr();
        erro("Erro: Abertura de ", "x.tga");
      },
      ::testing::ExitedWithCode(1), HasSubstr("Erro: Abertura de  x.tga\n"));
  EXPECT_EXIT(
      {
        testutil::stdout_to_stderr();
        erro("Erro: Fim", "");
      },
      ::testing::ExitedWithCode(1), HasSubstr("Erro: Fim \n"));
}

TEST(Erro, NothingRunsAfterIt) {
  EXPECT_EXIT(
      {
        testutil::stdout_to_stderr();
        erro("msg", "");
        std::printf("after\n");
      },
      ::testing::ExitedWithCode(1), Not(HasSubstr("after")));
}

TEST(Debug, PrintsOnlyWhileSwitchedOn) {
  ASSERT_TRUE(debugon);
  testing::internal::CaptureStdout();
  debug(42);
  debug("a", "b");
  debugon = false;
  debug(7);
  debug("c", "d");
  debugon = true;
  debug(-3);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Debug: 42\nDebug: a b\nDebug: -3\n");
}

TEST(Clock, CentsegRoundsMilliseconds) {
  struct Case {
    int64_t ms;
    int cent;
  };
  const Case cases[] = {{0, 0},
                        {5, 0},
                        {9, 0},
                        {10, 1},
                        {19, 1},
                        {20, 2},
                        {1234, 123},
                        {21474836, 2147483},
                        // Past 357 minutes the products leave the int range; the result does not.
                        {30000000, 3000000},
                        {2147483647LL, 214748364}};
  for (const Case& c : cases) {
    EXPECT_EQ(vistelmo::centseg_from_ms(c.ms), c.cent) << c.ms;
    if (c.ms <= INT_MAX) {
      EXPECT_EQ(vistelmo::mileseg_from_ms(c.ms), c.ms) << c.ms;
    }
  }
}

TEST(Clock, ReadingsFollowTheProcessClock) {
  auto ms = [] { return static_cast<int64_t>(std::clock()) * 1000 / CLOCKS_PER_SEC; };
  volatile double sink = 0;
  for (int i = 0; i < 2000000; i++) sink = sink + i;  // some CPU time
  int64_t before = ms();
  int cent = centseg();
  int mile = mileseg();
  int64_t after = ms();
  EXPECT_GE(cent, vistelmo::centseg_from_ms(before));
  EXPECT_LE(cent, vistelmo::centseg_from_ms(after));
  EXPECT_GE(mile, before);
  EXPECT_LE(mile, after);
}

TEST(Memory, SmallAndEmptySizesNeverFail) {
  for (int size : {0, -5, 1, 100}) {
    void* p = aloca(size);
    if (size > 0) {
      ASSERT_NE(p, nullptr);
      std::memset(p, 1, size);
    }
    p = realoca(p, size > 0 ? 2 * size : size);
    libera(p);
  }
  void* p = aloca(3);
  std::memcpy(p, "ab", 3);
  p = realoca(p, 1000);
  EXPECT_STREQ(static_cast<char*>(p), "ab");
  libera(p);
  libera(realoca(nullptr, -1));
}

TEST(Memory, ImpossibleSizesAreFatal) {
  EXPECT_ERRO(
      {
        testutil::limit_address_space();
        aloca(INT_MAX);
      },
      "Erro: Falta memoria no aloca.", "");
  EXPECT_ERRO(
      {
        testutil::limit_address_space();
        realoca(nullptr, INT_MAX);
      },
      "Erro: Falta memoria no realoca.", "");
}

TEST(Strings, CStringCopiesWithTerminator) {
  std::string s = "Imagem 1.tga";
  char* c = c_string(s);
  EXPECT_STREQ(c, "Imagem 1.tga");
  delete[] c;
  std::string empty;
  c = c_string(empty);
  EXPECT_EQ(c[0], '\0');
  delete[] c;
}

TEST(Strings, CaseChangesOnlyAsciiLetters) {
  EXPECT_EQ(maiuscula("abz-\xe9"
                      "7Q"),
            "ABZ-\xe9"
            "7Q");
  EXPECT_EQ(minuscula("ABZ-\xc9"
                      "7q"),
            "abz-\xc9"
            "7q");
  EXPECT_EQ(maiuscula(""), "");
  EXPECT_EQ(minuscula(""), "");
}

TEST(Constants, ValuesAndTypes) {
  static_assert(std::is_same_v<decltype(debugon), bool>);
  static_assert(std::is_same_v<decltype(branco), const bool>);
  static_assert(std::is_same_v<decltype(versaovistelmo), const int>);
  static_assert(std::is_same_v<decltype(maxsht), const short>);
  static_assert(std::is_same_v<decltype(minsht), const short>);
  static_assert(std::is_same_v<decltype(infinito), const double>);
  EXPECT_TRUE(branco);
  EXPECT_FALSE(preto);
  EXPECT_EQ(versaovistelmo, 426);
  EXPECT_EQ(maxbuf, 65536);
  EXPECT_EQ(minint, INT_MIN);
  EXPECT_EQ(maxint, INT_MAX);
  EXPECT_EQ(minsht, -32768);
  EXPECT_EQ(maxsht, 32767);
  EXPECT_EQ(infinito, 1e30);
  EXPECT_EQ(epsilon, 1e-20);
}

// The test program links the static build; the shared library is opened from its path.
TEST(Constants, ExportedByTheLibraryUnderPlainNames) {
  void* lib = dlopen(VISTELMO_SHARED_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(lib, nullptr) << VISTELMO_SHARED_LIBRARY << ": " << dlerror();
  for (const char* name : {"debugon", "branco", "preto", "versaovistelmo", "maxbuf", "minint",
                           "maxint", "minsht", "maxsht", "infinito", "epsilon"})
    EXPECT_NE(dlsym(lib, name), nullptr) << name;
  dlclose(lib);
}

}  // namespace
