// The library's exported constants and its one switch.
#pragma once

#pragma GCC visibility push(default)

extern bool debugon;
extern const bool branco;
extern const bool preto;
extern const int versaovistelmo;
extern const int maxbuf;
extern const int minint;
extern const int maxint;
extern const short minsht;
extern const short maxsht;
extern const double infinito;
extern const double epsilon;

#pragma GCC visibility pop
