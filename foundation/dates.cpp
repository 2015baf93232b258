#include "foundation/dates.h"

#include <cstdint>
#include <cstdio>

#include "foundation/erro.h"

namespace {
const int dias_bissexto[16] = {0, 31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31, 0, 0, 0};
const int dias_comum[16] = {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31, 0, 0, 0};

// Floor division with a non-negative remainder (b > 0).
int64_t floordiv(int64_t a, int64_t b) { return a / b - ((a % b < 0) ? 1 : 0); }
int64_t floormod(int64_t a, int64_t b) { return a - floordiv(a, b) * b; }

DATAHORA menosumdia(DATAHORA d) {
  diasdomes(d);  // the same month check as the forward step
  if (--d.dia < 1) {
    if (--d.mes < 1) {
      d.mes = 12;
      d.ano--;
    }
    d.dia = diasdomes(d);
  }
  return d;
}
}  // namespace

bool bissexto(int ano) { return (ano % 4 == 0 && ano % 100 != 0) || ano % 400 == 0; }

int diasdomes(DATAHORA d) {
  if (d.mes < 1 || d.mes > 12) erro("Erro: Mes inexistente", "");
  return bissexto(d.ano) ? dias_bissexto[d.mes] : dias_comum[d.mes];
}

DATAHORA somaumdia(DATAHORA d) {
  if (++d.dia > diasdomes(d)) {
    d.dia = 1;
    if (++d.mes > 12) {
      d.mes = 1;
      d.ano++;
    }
  }
  return d;
}

DATAHORA somaseg(DATAHORA d, int s) {
  int64_t t = static_cast<int64_t>(d.segundo) + s;
  d.segundo = static_cast<int>(floormod(t, 60));
  t = d.minuto + floordiv(t, 60);
  d.minuto = static_cast<int>(floormod(t, 60));
  t = d.hora + floordiv(t, 60);
  d.hora = static_cast<int>(floormod(t, 24));
  int64_t k = floordiv(t, 24);
  for (; k > 0; k--) d = somaumdia(d);
  for (; k < 0; k++) d = menosumdia(d);
  return d;
}

bool existedatahora(DATAHORA d) {
  if (d.ano < 1900 || d.ano > 3000 || d.mes < 1 || d.mes > 12) return false;
  return d.dia >= 1 && d.dia <= diasdomes(d) && d.hora >= 0 && d.hora <= 23 && d.minuto >= 0 &&
         d.minuto <= 59 && d.segundo >= 0 && d.segundo <= 59;
}

void imp(DATAHORA d) {
  std::printf("%04d-%02d-%02d %02d:%02d:%02d\n", d.ano, d.mes, d.dia, d.hora, d.minuto, d.segundo);
}

void hmscs(int t, int& h, int& m, int& s, int& cs) {
  cs = static_cast<int>(floormod(t, 100));
  int64_t q = floordiv(t, 100);
  s = static_cast<int>(floormod(q, 60));
  int64_t q2 = floordiv(q, 60);
  m = static_cast<int>(floormod(q2, 60));
  h = static_cast<int>(floordiv(q2, 60));
}
