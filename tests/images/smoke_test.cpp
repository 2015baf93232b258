#include "support/test_support.h"
#include "vistelmo.h"

TEST(ImageSmoke, GreyVariadicAndBorder) {
  IMGGRY g(2, 2, 1, 2, 3, 4);
  EXPECT_EQ(g(1, 0), 3);
  EXPECT_EQ(g.nl(), 2);
  EXPECT_EQ(g.nl, 2);
  EXPECT_EQ(g(-1, -1, 'r'), 4);
}
