// Tests that run the same checks on every instruction-set level this machine has: each level is
// set through the scoped override, so the level before it comes back however the test ends.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "processing/kernels/isa.h"

namespace testutil {

// The levels kernels can run at here, lowest first.
inline std::vector<vistelmo::Isa> available_isas() {
  std::vector<vistelmo::Isa> levels;
  for (int i = 0; i < vistelmo::kIsaLevels; ++i) {
    const auto level = static_cast<vistelmo::Isa>(i);
    if (vistelmo::isa_available(level)) levels.push_back(level);
  }
  return levels;
}

// Runs f() once per level, the level named in any failure.
template <class F>
void for_each_isa(F f) {
  for (vistelmo::Isa level : available_isas()) {
    vistelmo::ScopedIsa at(level);
    SCOPED_TRACE(std::string("instruction set ") + vistelmo::isa_name(level));
    f();
  }
}

// A test fixture parameterised over the levels: each test body runs at GetParam().
//   class MedianTiers : public testutil::IsaTest {};
//   TEST_P(MedianTiers, MatchesPlainWalk) { ... }
//   VISTELMO_INSTANTIATE_ISAS(MedianTiers);
class IsaTest : public ::testing::TestWithParam<vistelmo::Isa> {
 protected:
  void SetUp() override { at_ = std::make_unique<vistelmo::ScopedIsa>(GetParam()); }
  void TearDown() override { at_.reset(); }

 private:
  std::unique_ptr<vistelmo::ScopedIsa> at_;
};

inline std::string isa_param_name(const ::testing::TestParamInfo<vistelmo::Isa>& info) {
  return vistelmo::isa_name(info.param);
}

}  // namespace testutil

#define VISTELMO_INSTANTIATE_ISAS(Suite)                                               \
  INSTANTIATE_TEST_SUITE_P(Isa, Suite, ::testing::ValuesIn(testutil::available_isas()), \
                           testutil::isa_param_name)
