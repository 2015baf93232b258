// Every public header together in one translation unit.
#include <vistelmo.h>
