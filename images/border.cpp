#include "foundation/erro.h"
#include "images/image_core_internal.h"

namespace vistelmo {

namespace {
inline int clamp_index(int i, int size) { return i < 0 ? 0 : (i >= size ? size - 1 : i); }
inline int wrap_index(int i, int size) {
  int k = i % size;
  return k < 0 ? k + size : k;
}
}  // namespace

bool resolve_position(int a, int b, char mode, int nl, int nc, int lc, int cc, int& l, int& c) {
  const bool empty = nl < 1 || nc < 1;
  switch (static_cast<unsigned char>(mode)) {
    case 'n':
    case 0:
      l = a, c = b;
      break;
    case 'x':
    case 1:
      if (empty) return false;
      l = clamp_index(a, nl), c = clamp_index(b, nc);
      return true;
    case 'e':
    case 2:
      l = a, c = b;
      if (l < 0 || l >= nl || c < 0 || c >= nc) erro("Indice invalido", "");
      return true;
    case 'r':
    case 3:
      if (empty) return false;
      l = wrap_index(a, nl), c = wrap_index(b, nc);
      return true;
    case 'c':
    case 4:
      l = static_cast<int>(static_cast<int64_t>(lc) + a);
      c = static_cast<int>(static_cast<int64_t>(cc) + b);
      if (static_cast<int64_t>(lc) + a != l || static_cast<int64_t>(cc) + b != c) return false;
      break;
    case 's':
    case 5:
      if (empty) return false;
      l = static_cast<int>((static_cast<int64_t>(lc) + a) % nl);
      c = static_cast<int>((static_cast<int64_t>(cc) + b) % nc);
      if (l < 0) l += nl;
      if (c < 0) c += nc;
      return true;
    case 'N':
    case 10: {
      int64_t row = static_cast<int64_t>(nl) - 1 - b;
      if (row < 0 || row >= nl) return false;
      l = static_cast<int>(row), c = a;
      break;
    }
    case 'X':
    case 11: {
      if (empty) return false;
      int64_t row = static_cast<int64_t>(lc) - b, col = static_cast<int64_t>(cc) + a;
      l = static_cast<int>(row < 0 ? 0 : (row >= nl ? nl - 1 : row));
      c = static_cast<int>(col < 0 ? 0 : (col >= nc ? nc - 1 : col));
      return true;
    }
    case 'C':
    case 14: {
      int64_t row = static_cast<int64_t>(lc) - b, col = static_cast<int64_t>(cc) + a;
      if (row < 0 || row >= nl || col < 0 || col >= nc) return false;
      l = static_cast<int>(row), c = static_cast<int>(col);
      break;
    }
    default:
      erro("Erro: Modo de acesso invalido", "");
  }
  return l >= 0 && l < nl && c >= 0 && c < nc;
}

}  // namespace vistelmo
