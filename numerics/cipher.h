// Ciphers of bytes, words and vectors of them (members of RANDOM: the key is the generator's
// state), and reading a password from the console.
#pragma once

#include <string>

#include "numerics/random.h"

#pragma GCC visibility push(default)

// Reads keys without echo up to a carriage return, writing '*' for each one and a line feed at
// the end; returns the keys read. The end of the input also ends the password.
std::string lesenha();

#pragma GCC visibility pop
