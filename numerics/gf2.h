// Polynomials over GF(2) held in bit vectors (bit i is the coefficient of x^i), and bit vectors
// read as binary numerals, highest bit first.
#pragma once

#include <iosfwd>
#include <string>

#include "numerics/vetorbit.h"

#pragma GCC visibility push(default)

// a mod p: deg(p) bits, leading zeros included.
VETORBIT modGF2(VETORBIT a, VETORBIT p);
// a * x^n mod p, reduced after every multiplication by x.
VETORBIT modGF2n(const VETORBIT& a, int n, const VETORBIT& p);

// The numeral s ('0' and '1' only), its first character the highest bit.
VETORBIT atovetorbit(const std::string& s);
// One whitespace-delimited numeral, as atovetorbit reads it.
std::istream& operator>>(std::istream& is, VETORBIT& v);

#pragma GCC visibility pop
