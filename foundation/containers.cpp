// Exported instantiations of the containers.
#include <complex>
#include <cstdint>

#include "foundation/matriz.h"
#include "foundation/points.h"
#include "foundation/vetor.h"
#include "images/cor.h"

template class VETOR<COR>;
template class VETOR<PONTO2>;
template class VETOR<PONTOI2>;
template class VETOR<std::complex<double>>;
template class VETOR<double>;
template class VETOR<float>;
template class VETOR<unsigned char>;
template class VETOR<int>;
template class VETOR<uint32_t>;
template class MATRIZ<double>;
template class MATRIZ<int>;
