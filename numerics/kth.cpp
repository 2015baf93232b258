// Exported instantiations of the selection and of the mean and deviation.
#include "numerics/kth.h"

template double kth_element(VETOR<double>&, int, int, int);
template float kth_element(VETOR<float>&, int, int, int);
template unsigned char kth_element(VETOR<unsigned char>&, int, int, int);
template void mediadesvio(VETOR<double>&, double&, double&, int);
