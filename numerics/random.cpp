#include "numerics/random.h"

#include <cmath>
#include <utility>

#include "numerics/bitperm_internal.h"

namespace {

constexpr int32_t kMask = 0x075BD924;
constexpr int32_t kModulus = 2147483647;
constexpr int32_t kQuotient = 127773;  // kModulus / 16807
constexpr int32_t kRemainder = 2836;   // kModulus % 16807
constexpr double kScale = 1.0 / 2147483647.0;

// The normal-deviate spare, one for the whole library.
int gauss_cached = 0;
float gauss_spare = 0.0f;

}  // namespace

RANDOM myrandom;

RANDOM::RANDOM(int seed) { srand(seed); }

void RANDOM::srand(int seed) {
  state = seed;
  rand();
}

int RANDOM::rand() {
  int32_t x = state ^ kMask;
  int32_t k = x / kQuotient;
  x = 16807 * (x - k * kQuotient) - kRemainder * k;  // stays within 32 bits
  if (x < 0) x += kModulus;
  state = x ^ kMask;
  return x;
}

double RANDOM::uniform() { return rand() * kScale; }

unsigned char RANDOM::byterand() { return static_cast<unsigned char>(rand() & 255); }

uint32_t RANDOM::dwordrand() {
  uint32_t x1 = static_cast<uint32_t>(rand());
  uint32_t x2 = static_cast<uint32_t>(rand());
  return x1 ^ (x2 << 8);
}

float RANDOM::gauss() {
  if (state < 0) gauss_cached = 0;
  if (gauss_cached) {
    gauss_cached = 0;
    return gauss_spare;
  }
  float s1, s2, rsq;
  do {
    int x1 = rand();
    int x2 = rand();
    // A generator at 0 stays there and would never give an accepted pair.
    if (x1 == 0 && x2 == 0) erro("Erro RANDOM::gauss - gerador parado em 0", "");
    s1 = static_cast<float>(2.0 * (x1 * kScale) - 1.0);
    s2 = static_cast<float>(2.0 * (x2 * kScale) - 1.0);
    rsq = s1 * s1 + s2 * s2;
  } while (rsq >= 1.0f || rsq == 0.0f);
  float fac = static_cast<float>(std::sqrt(-2.0 * std::log(rsq) / rsq));
  gauss_spare = s1 * fac;
  gauss_cached = 1;
  return s2 * fac;
}

VETOR<int> RANDOM::vetpermut(int n) {
  VETOR<int> v(n);
  for (int i = 0; i < n; i++) v(i) = i;
  for (int i = 0; i < n - 2; i++) {
    int j = i + 1 + rand() % (n - 1 - i);
    std::swap(v(i), v(j));
  }
  return v;
}

VETOR<int> RANDOM::vetipermut(int n) {
  VETOR<int> p = vetpermut(n);
  VETOR<int> q(n);
  for (int i = 0; i < n; i++) q(p(i)) = i;
  return q;
}

unsigned char RANDOM::permut(unsigned char x) { return vistelmo::permute_bits(x, vetpermut(8)); }

unsigned char RANDOM::ipermut(unsigned char x) { return vistelmo::permute_bits(x, vetipermut(8)); }

uint32_t RANDOM::permut(uint32_t x) { return vistelmo::permute_bits(x, vetpermut(32)); }

uint32_t RANDOM::ipermut(uint32_t x) { return vistelmo::permute_bits(x, vetipermut(32)); }
