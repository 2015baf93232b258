// Calendar dates with time of day, and the split of a time in hundredths of a second.
#pragma once

#pragma GCC visibility push(default)

struct DATAHORA {
  int ano;
  int mes;
  int dia;
  int hora;
  int minuto;
  int segundo;
};

bool bissexto(int ano);
int diasdomes(DATAHORA d);
DATAHORA somaumdia(DATAHORA d);
DATAHORA somaseg(DATAHORA d, int s);
bool existedatahora(DATAHORA d);
void imp(DATAHORA d);
void hmscs(int t, int& h, int& m, int& s, int& cs);

#pragma GCC visibility pop
