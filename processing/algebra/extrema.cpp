// Darkest and brightest positions of an image: ordered lists, spaced picks and the picker.
#include "processing/algebra/extrema.h"

#include <cmath>
#include <cstdint>

#include "foundation/constants.h"
#include "foundation/erro.h"

namespace {

double distance(int l1, int c1, int l2, int c2) {
  const double dl = static_cast<double>(l1) - l2;
  const double dc = static_cast<double>(c1) - c2;
  return std::sqrt(dl * dl + dc * dc);
}

// True when (l, c) lies strictly farther than d from every point of pts.
bool keeps_distance(const std::vector<PONTOI2>& pts, int l, int c, double d) {
  for (const PONTOI2& p : pts)
    if (!(distance(p.lin, p.col, l, c) > d)) return false;
  return true;
}

// Every pixel for which keep(value) holds, in scan order, onto a heap.
template <class Heap, class Keep>
void push_candidates(const IMGFLT& a, Heap& heap, Keep keep) {
  if (a.data == nullptr) return;
  for (int l = 0; l < a.nl(); l++) {
    const float* row = a.rows[l];
    for (int c = 0; c < a.nc(); c++)
      if (keep(row[c])) heap.push(FI2{row[c], l, c});
  }
}

// Takes up to k points off the heap, spaced by more than d unless d <= 0.
template <class Heap>
std::vector<PONTOI2> take_spaced(Heap& heap, int k, double d) {
  std::vector<PONTOI2> out;
  while (static_cast<int>(out.size()) < k && !heap.empty()) {
    const FI2 t = heap.top();
    heap.pop();
    if (!(d > 0.0) || keeps_distance(out, t.l, t.c, d)) out.push_back(PONTOI2(t.l, t.c));
  }
  return out;
}

// The k most extreme values in scan order by insertion into k sorted slots; before(v, w) is true
// when v goes strictly before w. Values not before the limit are dropped from the end.
template <class Before>
std::vector<PONTOI2> k_extreme(const IMGFLT& a, int k, float start, float limit, Before before) {
  if (a.n() < k) erro("Erro: kargmax a.n()<k", "");
  if (k <= 0) return {};
  std::vector<float> val(k + 1, start);
  std::vector<PONTOI2> pos(k + 1, PONTOI2(0, 0));
  for (int l = 0; l < a.nl(); l++) {
    const float* row = a.rows[l];
    for (int c = 0; c < a.nc(); c++) {
      const float v = row[c];
      for (int i = k - 1; i >= 0 && before(v, val[i]); i--) {
        val[i + 1] = val[i];
        pos[i + 1] = pos[i];
        val[i] = v;
        pos[i] = PONTOI2(l, c);
      }
    }
  }
  int count = k;
  while (count > 0 && !before(val[count - 1], limit)) count--;
  pos.resize(count);
  return pos;
}

// Start values and pixel value of kminlmax for each image type.
template <class Img>
struct ExtremeTraits;
template <>
struct ExtremeTraits<IMGGRY> {
  using Value = int;
  static Value darkest_start() { return maxint; }
  static Value brightest_start() { return minint; }
};
template <>
struct ExtremeTraits<IMGFLT> {
  using Value = double;
  static Value darkest_start() { return infinito; }
  static Value brightest_start() { return -infinito; }
};

template <class Img>
VETOR<PONTOI2> spaced_extremes(const Img& a, int k, int l, double d) {
  using Tr = ExtremeTraits<Img>;
  using Value = typename Tr::Value;
  if (k < 0 || l < 0 || d < 0.0) erro("Erro: kminlmax", "");
  const int64_t total = static_cast<int64_t>(k) + l;
  // Every point is a distinct pixel: the list never grows past the pixel count before failing.
  std::vector<PONTOI2> picked;
  const int rows = a.data ? static_cast<int>(a.nl) : 0;
  const int cols = a.data ? static_cast<int>(a.nc) : 0;
  for (int64_t i = 0; i < total; i++) {
    const bool dark = i < k;
    const Value start = dark ? Tr::darkest_start() : Tr::brightest_start();
    Value best = start;
    PONTOI2 at(0, 0);
    for (int r = 0; r < rows; r++) {
      const auto* row = a.rows[r];
      for (int c = 0; c < cols; c++) {
        const Value v = row[c];
        if (dark ? !(v < best) : !(v > best)) continue;
        double nearest = infinito;
        for (const PONTOI2& p : picked) {
          const double dist = distance(p.lin, p.col, r, c);
          if (dist < nearest) nearest = dist;
        }
        if (d < nearest) {
          best = v;
          at = PONTOI2(r, c);
        }
      }
    }
    if (best == start) erro(dark ? "Erro inesperado 1" : "Erro inesperado 2", "");
    picked.push_back(at);
  }
  VETOR<PONTOI2> out(static_cast<int>(total), PONTOI2(0, 0));
  for (int i = 0; i < out.n(); i++) out.data[i] = picked[i];
  return out;
}

}  // namespace

void KMAX::insere(const IMGFLT& a) {
  push_candidates(a, candidatos, [](float v) { return v > 0.0f; });
}

PONTOI2 KMAX::retira(double d) {
  while (!candidatos.empty()) {
    const FI2 t = candidatos.top();
    candidatos.pop();
    if (keeps_distance(escolhidos, t.l, t.c, d)) {
      escolhidos.push_back(PONTOI2(t.l, t.c));
      return escolhidos.back();
    }
  }
  return PONTOI2(-1, -1);
}

void KMAX::remove_fim() {
  if (!escolhidos.empty()) escolhidos.pop_back();
}

std::vector<PONTOI2> kmin(const IMGFLT& a, int k, double d) {
  std::priority_queue<FI2, std::vector<FI2>, FI2scan<FI2maior>> heap;
  push_candidates(a, heap, [](float v) { return v < 1.0f; });
  return take_spaced(heap, k, d);
}

std::vector<PONTOI2> kmax(const IMGFLT& a, int k, double d) {
  std::priority_queue<FI2, std::vector<FI2>, FI2scan<FI2menor>> heap;
  push_candidates(a, heap, [](float v) { return v > 0.0f; });
  return take_spaced(heap, k, d);
}

std::vector<PONTOI2> kargmin(const IMGFLT& a, int k) {
  return k_extreme(a, k, static_cast<float>(infinito), 1.0f,
                   [](float v, float w) { return v < w; });
}

std::vector<PONTOI2> kargmax(const IMGFLT& a, int k) {
  return k_extreme(a, k, -static_cast<float>(infinito), 0.0f,
                   [](float v, float w) { return v > w; });
}

VETOR<PONTOI2> kminlmax(const IMGGRY& a, int k, int l, double d) {
  return spaced_extremes(a, k, l, d);
}

VETOR<PONTOI2> kminlmax(const IMGFLT& a, int k, int l, double d) {
  return spaced_extremes(a, k, l, d);
}
