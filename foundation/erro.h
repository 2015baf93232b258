// Fatal errors, debug output, clock readings, raw memory and string case.
#pragma once

#include <string>

#pragma GCC visibility push(default)

[[noreturn]] void erro(std::string a, std::string b);
void debug(int v);
void debug(std::string a, std::string b);

int centseg();
int mileseg();

void* aloca(int size);
void* realoca(void* p, int size);
void libera(void* p);

char* c_string(std::string& s);
std::string maiuscula(std::string s);
std::string minuscula(std::string s);

#pragma GCC visibility pop
