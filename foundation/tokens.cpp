#include "foundation/tokens.h"

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>

#include "foundation/constants.h"
#include "foundation/erro.h"

int LeChar(FILE* f) {
  int c = std::fgetc(f);
  if (c == EOF || c == 26) return -1;
  return std::tolower(c);
}

int Separador(int c) {
  switch (c) {
    case '\t':
    case '\n':
    case '\r':
    case ' ':
    case '(':
    case ')':
    case ',':
    case ';':
    case '=':
      return 1;
    default:
      return 0;
  }
}

int Ident(int c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.' ||
         c == '_';
}

int SeparadorFileName(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

int IdentFileName(int c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.' ||
         c == ':' || c == '\\' || c == '@';
}

namespace {

using CharClass = int (*)(int);

// Skips separators and comments up to the first character of a token, left in *first, and
// returns nullptr; where no token starts, returns what the readers give: "eof" or "erro".
const char* skip_to_token(FILE* f, CharClass sep, CharClass ident, int* first) {
  for (;;) {
    int c = LeChar(f);
    if (c == -1) return "eof";
    if (sep(c)) continue;
    if (ident(c)) {
      *first = c;
      return nullptr;
    }
    if (c == '/') {
      int d = LeChar(f);
      if (d == '*') {
        // Block comment: the character after a star is never itself taken as a star.
        for (;;) {
          int e = LeChar(f);
          if (e == -1) return "erro";
          if (e != '*') continue;
          e = LeChar(f);
          if (e == -1) return "erro";
          if (e == '/') break;
        }
        continue;
      }
      if (d != '/') return "erro";
      c = '#';  // a line comment, as below
    }
    if (c != '#') return "erro";
    for (;;) {
      int e = LeChar(f);
      if (e == -1) return "eof";
      if (e == '\n') break;
    }
  }
}

std::string read_token(FILE* f, CharClass sep, CharClass ident) {
  int c;
  if (const char* end = skip_to_token(f, sep, ident, &c)) return end;
  std::string t(1, static_cast<char>(c));
  for (;;) {
    c = LeChar(f);
    if (c == -1 || sep(c)) return t;
    if (!ident(c)) return "erro";
    t += static_cast<char>(c);
  }
}

bool is_one_of(const std::string& t, std::initializer_list<const char*> words) {
  for (const char* w : words)
    if (t == w) return true;
  return false;
}

// The leading decimal integer of t, as "%d" reads it, clamped to the int range.
bool to_int(const std::string& t, int& v) {
  const char* s = t.c_str();
  char* end = nullptr;
  long long x = std::strtoll(s, &end, 10);
  if (end == s) return false;
  v = x > maxint ? maxint : x < minint ? minint : static_cast<int>(x);
  return true;
}

bool to_double(const std::string& t, double& x) { return std::sscanf(t.c_str(), "%lf", &x) == 1; }

int read_int(FILE* f, const char* msg) {
  int v;
  if (!to_int(LeStr(f), v)) erro(msg, "");
  return v;
}

}  // namespace

std::string LeStr(FILE* f) { return read_token(f, Separador, Ident); }

std::string LeFileName(FILE* f) { return read_token(f, SeparadorFileName, IdentFileName); }

std::string LeStrBool(FILE* f) {
  int c;
  if (const char* end = skip_to_token(f, Separador, Ident, &c)) return end;
  return std::string(1, static_cast<char>(c));
}

void LeBool(FILE* f, bool& b) {
  std::string t = LeStrBool(f);
  if (is_one_of(t, {"1", "t", "v", "x"}))
    b = true;
  else if (is_one_of(t, {"0", "f", "."}))
    b = false;
  else
    erro("Erro: LeBool ", t);
}

void LeNum(FILE* f, bool& b) {
  std::string t = LeStr(f);
  if (is_one_of(t, {"true", "1", "t", "v", "x"}))
    b = true;
  else if (is_one_of(t, {"false", "0", "f", "."}))
    b = false;
  else
    erro("LeNum(bool)", "");
}

namespace {

// The real-number keywords give +-infinito; other tokens go through "%lf".
double read_real(FILE* f, const char* msg) {
  std::string t = LeStr(f);
  if (is_one_of(t, {"max", "m", "+max", "infinito", "+m"})) return infinito;
  if (is_one_of(t, {"-max", "-m", "min", "-infinito", "."})) return -infinito;
  double x;
  if (!to_double(t, x)) erro(msg, "");
  return x;
}

// Nearest float; beyond the largest float's rounding range the result is an infinity.
float round_to_float(double x) {
  constexpr double kOverflow = 0x1.ffffffp127;  // FLT_MAX plus half an ulp
  if (x >= kOverflow) return HUGE_VALF;
  if (x <= -kOverflow) return -HUGE_VALF;
  return static_cast<float>(x);
}

}  // namespace

void LeNum(FILE* f, double& x) { x = read_real(f, "LeNum(double)"); }

void LeNum(FILE* f, float& x) { x = round_to_float(read_real(f, "LeNum(FLT)")); }

void LeNum(FILE* f, short& x) {
  std::string t = LeStr(f);
  int v;
  if (is_one_of(t, {"max", "m", "+max", "maxsht", "+m"}))
    v = maxsht;
  else if (is_one_of(t, {"-max", "-m", "min", "minsht", "."}))
    v = minsht;
  else if (!to_int(t, v))
    erro("LeNum(SHT)", "");
  x = static_cast<short>(static_cast<uint16_t>(v));  // the low 16 bits
}

void LeNum(FILE* f, int& x) { x = read_int(f, "LeNum(int)"); }

void LeNumIgnEOF(FILE* f, int& x) {
  std::string t = LeStr(f);
  if (t == "eof")
    x = minint;
  else if (!to_int(t, x))
    erro("LeNum(int)", "");
}

void LeNum(FILE* f, unsigned char& x) {
  int v = read_int(f, "LeNum(BYTE)");
  x = static_cast<unsigned char>(v < 0 ? 0 : v > 255 ? 255 : v);
}
