// Which output each source index of a shrinking pass goes to, and the source indices of each
// output.
#include <algorithm>
#include <cmath>
#include <vector>

#include "foundation/erro.h"
#include "processing/algebra/zoom_area_internal.h"

namespace vistelmo {

namespace {
// x rounded with halves up, for 0 <= x < 2^31: std::round without the call.
double round_small(double x) {
  const double t = static_cast<double>(static_cast<int>(x));
  return t + (x - t >= 0.5 ? 1 : 0);
}
}  // namespace

std::vector<int> shrink_targets(int from, int to, double f) {
  std::vector<int> k(from > 0 ? from : 0);
  // Every position in [0, 2^31) and an output to clamp to: the same steps without the checks.
  if (from > 0 && to > 0 && f >= 0 && (from - 1) * f < 2147483648.0) {
    for (int j = 0; j < from; j++) {
      const double t = round_small(j * f);
      k[j] = static_cast<int>(t >= to ? to - 1 : t);
    }
    return k;
  }
  for (int j = 0; j < from; j++) {
    const double x = j * f;
    double t = x >= 0 && x < 2147483648.0 ? round_small(x) : std::round(x);
    if (t >= to) t = to - 1;
    if (!(t >= 0)) erro("Erro VETOR::operator() - Indice invalido", "");
    k[j] = static_cast<int>(t);
  }
  return k;
}

Groups groups(const std::vector<int>& target, int to) {
  Groups g{std::vector<int>(to + 1, 0), std::vector<int>(target.size())};
  // Ascending targets (a shrink's): the members in order, each group starting where the last ended.
  const int n = static_cast<int>(target.size());
  if (n > 0 && target[0] >= 0 && target[n - 1] < to &&
      std::is_sorted(target.begin(), target.end())) {
    // first[c + 1]: one past the last member of group c, or of the last group before it.
    for (int j = 0; j < n; j++) {
      g.members[j] = j;
      g.first[target[j] + 1] = j + 1;
    }
    for (int c = 0; c < to; c++) g.first[c + 1] = std::max(g.first[c + 1], g.first[c]);
    return g;
  }
  for (int t : target) g.first[t + 1]++;
  for (int c = 0; c < to; c++) g.first[c + 1] += g.first[c];
  std::vector<int> fill(g.first.begin(), g.first.end() - 1);
  for (size_t j = 0; j < target.size(); j++) g.members[fill[target[j]]++] = static_cast<int>(j);
  return g;
}

}  // namespace vistelmo
