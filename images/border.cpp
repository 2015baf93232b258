#include "images/border_internal.h"
#include "images/image_core_internal.h"

namespace vistelmo {

bool resolve_position(int a, int b, char mode, int nl, int nc, int lc, int cc, int& l, int& c) {
  // Without a centre or a flip, a position inside the image is itself: the common case, kept
  // short.
  switch (static_cast<unsigned char>(mode)) {
    case 'n':
    case 'x':
    case 'e':
    case 'r':
    case 0:
    case 1:
    case 2:
    case 3:
      if (a >= 0 && a < nl && b >= 0 && b < nc) {
        l = a, c = b;
        return true;
      }
  }
  return locate(border_rule(mode, nl, nc, lc, cc), a, b, l, c);
}

}  // namespace vistelmo
