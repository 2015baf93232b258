// The header templates a caller instantiates, compiled in the caller's build (and warnings).
#include <vistelmo.h>

template class VETOR<int>;
template class VETOR<double>;
template class MATRIZ<unsigned char>;
template class MATRIZ<double>;
template int kth_element(VETOR<int>&, int, int, int);
template void mediadesvio(VETOR<int>&, double&, double&, int);

int instantiate_templates() {
  VETOR<float> v(5, 2.0f);
  MATRIZ<int> m(2, 3, 1.0, 2.0, 3.0, 4.0, 5.0, 6.0);
  VETORBIT bits(3, true, false, 1);
  MATRIZBIT mb(1, 3, true, false, 1);
  CONFID t = (CONFID(0.5) && 1) || 0.25;
  t = 2 * t + 0.5f;
  IMGGRY g(2, 2);
  g.fill(0);
  IMGBIN b(2, 2);
  b.fill(1);
  std::priority_queue<FI2, std::vector<FI2>, FI2scan<FI2maior>> heap;
  return static_cast<int>(v(4) + m(1, 2) + bits(2) + mb(0, 2) + t + g(1, 1) + b(1, 1) +
                          static_cast<int>(heap.size()));
}
