#include "processing/kernels/isa.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "support/isa_levels.h"
#include "support/test_support.h"

namespace {

using vistelmo::Isa;

TEST(Isa, LevelsStartAtPlainAndRiseInOrder) {
  const std::vector<Isa> levels = testutil::available_isas();
  ASSERT_GE(levels.size(), 2u);
  for (size_t i = 0; i < levels.size(); i++) EXPECT_EQ(levels[i], static_cast<Isa>(i));
  EXPECT_EQ(levels.back(), vistelmo::isa_limit());
  EXPECT_LE(vistelmo::isa_limit(), vistelmo::cpu_isa());
}

TEST(Isa, ScopedLevelsNestAndRestore) {
  const Isa before = vistelmo::current_isa();
  {
    vistelmo::ScopedIsa outer(Isa::kSse2);
    EXPECT_EQ(vistelmo::current_isa(), Isa::kSse2);
    {
      vistelmo::ScopedIsa inner(Isa::kPlain);
      EXPECT_EQ(vistelmo::current_isa(), Isa::kPlain);
    }
    EXPECT_EQ(vistelmo::current_isa(), Isa::kSse2);
    // Never above what the processor and the cap allow.
    vistelmo::ScopedIsa high(Isa::kAvx512Vbmi);
    EXPECT_EQ(vistelmo::current_isa(), vistelmo::isa_limit());
  }
  EXPECT_EQ(vistelmo::current_isa(), before);
}

// The level a process runs at when VISTELMO_ISA_WANT is set (IsaCap starts this test program
// again with it and VISTELMO_ISA); otherwise there is nothing to check.
TEST(Isa, LimitInAProcessOfItsOwn) {
  const char* want = std::getenv("VISTELMO_ISA_WANT");
  if (want == nullptr) return;
  EXPECT_STREQ(vistelmo::isa_name(vistelmo::isa_limit()), want);
  EXPECT_EQ(vistelmo::current_isa(), vistelmo::isa_limit());
}

// VISTELMO_ISA is read once, so each value is tried in a new process.
struct CapCase {
  const char* value;
  Isa want;  // capped by what the processor has
};

class IsaCap : public ::testing::TestWithParam<CapCase> {};

TEST_P(IsaCap, EnvironmentLowersTheLevel) {
  const CapCase c = GetParam();
  char self[4096] = {};
  ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
  const std::string command = std::string("VISTELMO_ISA='") + c.value + "' VISTELMO_ISA_WANT=" +
                              vistelmo::isa_name(std::min(c.want, vistelmo::cpu_isa())) + " " +
                              self + " --gtest_filter=Isa.LimitInAProcessOfItsOwn >/dev/null";
  EXPECT_EQ(testutil::run(command), 0) << command;
}

INSTANTIATE_TEST_SUITE_P(Values, IsaCap,
                         ::testing::Values(CapCase{"plain", Isa::kPlain},
                                           CapCase{"sse2", Isa::kSse2}, CapCase{"avx2", Isa::kAvx2},
                                           CapCase{"avx512", Isa::kAvx512},
                                           CapCase{"avx512vbmi", Isa::kAvx512Vbmi},
                                           CapCase{"AVX2", Isa::kAvx512Vbmi},
                                           CapCase{"", Isa::kAvx512Vbmi}),
                         [](const auto& info) { return "case" + std::to_string(info.index); });

}  // namespace
