#include "foundation/constants.h"

bool debugon = true;
extern const bool branco = true;
extern const bool preto = false;
extern const int versaovistelmo = 426;
extern const int maxbuf = 65536;
extern const int minint = -2147483647 - 1;
extern const int maxint = 2147483647;
extern const short minsht = -32768;
extern const short maxsht = 32767;
extern const double infinito = 1e30;
extern const double epsilon = 1e-20;
