// Fixture that runs each test on the row kernels' instruction set of its parameter.
#pragma once

#include <gtest/gtest.h>

#include "processing/filters/row_isa_internal.h"

namespace testutil {

// Skipped when the processor lacks the instruction set; the previous one is restored after.
class RowIsaTest : public ::testing::TestWithParam<vistelmo::RowIsa> {
 protected:
  void SetUp() override {
    saved_ = vistelmo::row_isa();
    if (!vistelmo::set_row_isa(GetParam())) GTEST_SKIP() << "instruction set not available";
  }
  void TearDown() override { vistelmo::set_row_isa(saved_); }

 private:
  vistelmo::RowIsa saved_ = vistelmo::RowIsa::kBaseline;
};

}  // namespace testutil
