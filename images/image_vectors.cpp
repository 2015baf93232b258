// Exported vector of grey images.
#include "foundation/vetor.h"
#include "images/images.h"

template class VETOR<IMGGRY>;
