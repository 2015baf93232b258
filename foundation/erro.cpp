#include "foundation/erro.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "foundation/clock_internal.h"
#include "foundation/constants.h"

void erro(std::string a, std::string b) {
  std::printf("%s %s\n", a.c_str(), b.c_str());
  std::exit(1);
}

void debug(int v) {
  if (debugon) std::printf("Debug: %d\n", v);
}

void debug(std::string a, std::string b) {
  if (debugon) std::printf("Debug: %s %s\n", a.c_str(), b.c_str());
}

namespace {
// Process clock in milliseconds, whatever the tick rate of clock().
int64_t clock_ms() { return static_cast<int64_t>(std::clock()) * 1000 / CLOCKS_PER_SEC; }
}  // namespace

int centseg() { return vistelmo::centseg_from_ms(clock_ms()); }
int mileseg() { return vistelmo::mileseg_from_ms(clock_ms()); }

void* aloca(int size) {
  void* p = std::malloc(size > 0 ? static_cast<size_t>(size) : 0);
  if (p == nullptr && size >= 1) erro("Erro: Falta memoria no aloca.", "");
  return p;
}

void* realoca(void* p, int size) {
  void* q = std::realloc(p, size > 0 ? static_cast<size_t>(size) : 0);
  if (q == nullptr && size >= 1) erro("Erro: Falta memoria no realoca.", "");
  return q;
}

void libera(void* p) { std::free(p); }

char* c_string(std::string& s) {
  char* c = new char[s.size() + 1];
  std::strcpy(c, s.c_str());
  return c;
}

std::string maiuscula(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::string minuscula(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}
