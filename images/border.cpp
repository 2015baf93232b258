#include "images/border_internal.h"
#include "images/image_core_internal.h"

namespace vistelmo {

bool resolve_position(int a, int b, char mode, int nl, int nc, int lc, int cc, int& l, int& c) {
  return locate(border_rule(mode, nl, nc, lc, cc), a, b, l, c);
}

}  // namespace vistelmo
