// Text files of vectors and matrices.
//
// Matrices: "nl nc" (the int form adds a blank line), then one line per row, each element
// followed by a blank. Vectors: "n" and a blank line, then one element per line; point vectors
// add the column count 2 to the header. Doubles are written with %lg. The readers take tokens
// in order, so layout and comments are free.
#include "numerics/vector_files.h"

#include <cstdio>

#include "foundation/file_internal.h"
#include "foundation/tokens.h"

namespace {

using vistelmo::StdioFile;

struct Messages {
  const char* open;  // followed by the file name
  const char* buf;
  const char* write;  // a failed write or close, followed by the file name
};

void put(FILE* f, double x) { std::fprintf(f, "%lg", x); }
void put(FILE* f, int x) { std::fprintf(f, "%d", x); }
void put(FILE* f, const PONTO2& p) { std::fprintf(f, "%lg %lg", p.x, p.y); }
void put(FILE* f, const PONTOI2& p) { std::fprintf(f, "%d %d", p.lin, p.col); }

void get(FILE* f, double& x) { LeNum(f, x); }
void get(FILE* f, int& x) { LeNum(f, x); }
void get(FILE* f, PONTO2& p) {
  LeNum(f, p.x);
  LeNum(f, p.y);
}
void get(FILE* f, PONTOI2& p) {
  LeNum(f, p.lin);
  LeNum(f, p.col);
}

template <class T>
constexpr bool is_point = false;
template <>
constexpr bool is_point<PONTO2> = true;
template <>
constexpr bool is_point<PONTOI2> = true;

// header_gap: the newlines after "nl nc".
template <class T>
void write_matriz(const MATRIZ<T>& m, const std::string& name, const Messages& msg,
                  const char* header_gap) {
  StdioFile f(name, "w", msg.open, msg.buf);
  std::fprintf(f, "%d %d%s", m.nl(), m.nc(), header_gap);
  for (int l = 0; l < m.nl(); l++) {
    for (int c = 0; c < m.nc(); c++) {
      put(f, m(l, c));
      std::fputc(' ', f);
    }
    std::fputc('\n', f);
  }
  f.finish(msg.write);
}

template <class T>
void read_matriz(MATRIZ<T>& m, const std::string& name, const Messages& msg) {
  StdioFile f(name, "r", msg.open, msg.buf);
  int nl, nc;
  LeNum(f, nl);
  LeNum(f, nc);
  m.resize(nl, nc);
  for (int l = 0; l < nl; l++) {
    for (int c = 0; c < nc; c++) get(f, m(l, c));
  }
}

template <class T>
void write_vetor(const VETOR<T>& v, const std::string& name, const Messages& msg) {
  StdioFile f(name, "w", msg.open, msg.buf);
  std::fprintf(f, is_point<T> ? "%d 2\n\n" : "%d\n\n", v.n());
  for (int i = 0; i < v.n(); i++) {
    put(f, v(i));
    std::fputc('\n', f);
  }
  f.finish(msg.write);
}

template <class T>
void read_vetor(VETOR<T>& v, const std::string& name, const Messages& msg) {
  StdioFile f(name, "r", msg.open, msg.buf);
  int n;
  LeNum(f, n);
  v.resize(n);
  if (is_point<T>) {
    int cols;
    LeNum(f, cols);
    if (cols != 2) erro("Erro: Numero de colunas != 2", "");
  }
  for (int i = 0; i < n; i++) get(f, v(i));
}

}  // namespace

void imp(const MATRIZ<double>& m, const std::string& name) {
  write_matriz(
      m, name,
      {"Erro imp(MATRIZ<double> - Abertura ", "Erro imp(MATRIZ<double> - Faltou memoria setvbuf",
       "Erro imp(MATRIZ<double> - Falha na escrita "},
      "\n");
}

void le(MATRIZ<double>& m, const std::string& name) {
  read_matriz(m, name,
              {"Erro le(MATRIZ<double> - Abertura ",
               "Erro le(MATRIZ<double> - Faltou memoria setvbuf", nullptr});
}

void imp(const VETOR<double>& v, const std::string& name) {
  write_vetor(v, name,
              {"Erro imp(VETOR<double>,nome) - abertura de ",
               "Erro VETOR<T>::ImpTxt - Faltou memoria setvbuf",
               "Erro imp(VETOR<double>,nome) - Falha na escrita "});
}

void le(VETOR<double>& v, const std::string& name) {
  read_vetor(v, name,
             {"Erro le(VETOR<double> - Abertura ", "Erro le(VETOR<double> - Faltou memoria setvbuf",
              nullptr});
}

void imp(const MATRIZ<int>& m, const std::string& name) {
  write_matriz(m, name,
               {"Erro imp(MATRIZ<int>,nome) - abertura de ",
                "Erro MATRIZ<T>::ImpTxt - Faltou memoria setvbuf",
                "Erro imp(MATRIZ<int>,nome) - Falha na escrita "},
               "\n\n");
}

void le(MATRIZ<int>& m, const std::string& name) {
  read_matriz(m, name,
              {"Erro le(MATRIZ<int>,nome) - abertura de ",
               "Erro le(MATRIZ<int>,nome) - Faltou memoria setvbuf", nullptr});
}

void imp(const VETOR<PONTOI2>& v, const std::string& name) {
  write_vetor(v, name,
              {"Erro imp(VETOR<PONTOI2>,nome) - abertura de ",
               "Erro VETOR<T>::ImpTxt - Faltou memoria setvbuf",
               "Erro imp(VETOR<PONTOI2>,nome) - Falha na escrita "});
}

void le(VETOR<PONTOI2>& v, const std::string& name) {
  read_vetor(v, name,
             {"Erro le(VETOR<PONTOI2>,nome) - abertura de ",
              "Erro le(VETOR<PONTOI2>,nome) - Faltou memoria setvbuf", nullptr});
}

void imp(const VETOR<PONTO2>& v, const std::string& name) {
  write_vetor(v, name,
              {"Erro imp(VETOR<PONTO2>,nome) - abertura de ",
               "Erro VETOR<T>::ImpTxt - Faltou memoria setvbuf",
               "Erro imp(VETOR<PONTO2>,nome) - Falha na escrita "});
}

void le(VETOR<PONTO2>& v, const std::string& name) {
  read_vetor(v, name,
             {"Erro le(VETOR<PONTO2>,nome) - abertura de ",
              "Erro le(VETOR<PONTO2>,nome) - Faltou memoria setvbuf", nullptr});
}

void imp(const VETOR<int>& v, const std::string& name) {
  write_vetor(
      v, name,
      {"Erro imp(VETOR<int>,nome) - abertura de ", "Erro VETOR<T>::ImpTxt - Faltou memoria setvbuf",
       "Erro imp(VETOR<int>,nome) - Falha na escrita "});
}

void le(VETOR<int>& v, const std::string& name) {
  read_vetor(v, name,
             {"Erro le(VETOR<int>,nome) - abertura de ",
              "Erro le(VETOR<int>,nome) - Faltou memoria setvbuf", nullptr});
}
