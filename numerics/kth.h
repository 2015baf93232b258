// K-th smallest element of a vector range, and the mean and sample deviation of a vector.
#pragma once

#include <cmath>

#include "foundation/erro.h"
#include "foundation/vetor.h"

#pragma GCC visibility push(default)

// Selects in place (Hoare's FIND, pivot taken at k): on return v(k) holds the value that a sorted
// v(l..r) would hold there, v(l..k-1) <= v(k) <= v(k+1..r); elements outside l..r stay put.
template <class T>
T kth_element(VETOR<T>& v, int l, int r, int k) {
  if (l > k || k > r) erro("Erro: deveria ter l<=k<=r", "");
  // Every index the scans reach lies in l..r (k when l == r): one test covers them all.
  if (l < 0 || r >= v.n()) erro("Erro VETOR::operator() - Indice invalido", "");
  T* a = v.data;
  while (l < r) {
    const T x = a[k];
    int i = l, j = r;
    do {
      while (a[i] < x) i++;
      while (x < a[j]) j--;
      if (i <= j) {
        const T t = a[i];
        a[i] = a[j];
        a[j] = t;
        i++;
        j--;
      }
    } while (i <= j);
    if (j < k) l = i;
    if (k < i) r = j;
  }
  return a[k];
}

// Mean and sample standard deviation (divisor count-1) of v(0..count-1); count -1 takes all of v.
template <class T>
void mediadesvio(VETOR<T>& v, double& media, double& desvio, int count) {
  if (count == -1) count = v.n();
  if (count > v.n()) erro("Erro VETOR::operator() - Indice invalido", "");
  const T* a = v.data;
  double sum = 0;
  for (int i = 0; i < count; i++) sum += a[i];
  media = sum / count;
  double s = 0;
  for (int i = 0; i < count; i++) {
    const double d = a[i] - media;
    s += d * d;
  }
  desvio = std::sqrt(s / (static_cast<double>(count) - 1));  // no int overflow at INT_MIN
}

extern template double kth_element(VETOR<double>&, int, int, int);
extern template float kth_element(VETOR<float>&, int, int, int);
extern template unsigned char kth_element(VETOR<unsigned char>&, int, int, int);
extern template void mediadesvio(VETOR<double>&, double&, double&, int);

#pragma GCC visibility pop
