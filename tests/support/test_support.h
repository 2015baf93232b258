// Helpers shared by the tests: fatal-path checks, temporary directories, file bytes, small
// images and their exact comparison, little-endian byte builders.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <complex>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "images/images.h"

namespace testutil {

// Sends stdout to stderr so a death test can see what erro printed.
inline void stdout_to_stderr() {
  std::fflush(stdout);
  dup2(fileno(stderr), fileno(stdout));
}

// The line erro(a, b) prints.
inline std::string erro_line(const std::string& a, const std::string& b) {
  return a + " " + b + "\n";
}

// A directory of its own for each test, removed afterwards.
class TempDir : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::string path(const std::string& name) const { return dir_ + "/" + name; }
  const std::string& dir() const { return dir_; }

 private:
  std::string dir_;
};

std::vector<unsigned char> read_bytes(const std::string& name);
void write_bytes(const std::string& name, const std::vector<unsigned char>& bytes);
std::string read_text(const std::string& name);
void write_text(const std::string& name, const std::string& text);
bool file_exists(const std::string& name);

// True when an external program is on PATH.
bool have_tool(const std::string& program);
// Runs a shell command; returns its exit status.
int run(const std::string& command);

// ---- Images ----

// The tests' random numbers: std::mt19937 from a seed (as noise() draws), with a number below n.
struct Rng {
  std::mt19937 engine;
  explicit Rng(uint32_t seed) : engine(seed) {}
  uint32_t next() { return static_cast<uint32_t>(engine()); }
  int below(int n) { return static_cast<int>(next() % static_cast<uint32_t>(n)); }
};

// Bit-identical values: -0.0 differs from 0.0, a NaN matches only a NaN of the same bits.
inline bool same(float x, float y) { return std::memcmp(&x, &y, sizeof x) == 0; }
inline bool same(double x, double y) { return std::memcmp(&x, &y, sizeof x) == 0; }
template <class T>
bool same(std::complex<T> x, std::complex<T> y) {
  return same(x.real(), y.real()) && same(x.imag(), y.imag());
}
// The same except that any NaN matches any NaN: for results whose NaN bits are not specified.
inline bool same_or_both_nan(float x, float y) { return x != x ? y != y : same(x, y); }
inline bool same_or_both_nan(double x, double y) { return x != x ? y != y : same(x, y); }
inline bool same(const COR& x, const COR& y) { return x.r == y.r && x.g == y.g && x.b == y.b; }
template <class T, std::enable_if_t<std::is_integral_v<T>, int> = 0>
bool same(T x, T y) {
  return x == y;
}

// A pixel as failure messages show it.
template <class T>
std::string show(const T& v) {
  std::ostringstream o;
  o.precision(17);
  if constexpr (std::is_same_v<T, COR>)
    o << "{" << +v.r << ", " << +v.g << ", " << +v.b << "}";
  else if constexpr (std::is_integral_v<T>)
    o << +v;
  else
    o << v;
  return o.str();
}

// Pixel (l, c), as a value (a bool for IMGBIN).
template <class Img>
auto pixel(const Img& im, int l, int c) {
  if constexpr (std::is_same_v<Img, IMGBIN>)
    return bool(im(l, c));
  else
    return im.rows[l][c];
}

// Same size and the same pixels (floating ones bit for bit), reported at the first difference.
template <class Img>
::testing::AssertionResult same_pixels(const Img& got, const Img& want) {
  if (got.nl() != want.nl() || got.nc() != want.nc())
    return ::testing::AssertionFailure()
           << "size " << got.nl() << "x" << got.nc() << ", want " << want.nl() << "x" << want.nc();
  for (int l = 0; l < got.nl(); l++)
    for (int c = 0; c < got.nc(); c++)
      if (!same(pixel(got, l, c), pixel(want, l, c)))
        return ::testing::AssertionFailure()
               << "pixel (" << l << ", " << c << "): " << show(pixel(got, l, c)) << ", want "
               << show(pixel(want, l, c));
  return ::testing::AssertionSuccess();
}

// Sets pixel (l, c) to f(l, c), row after row.
template <class Img, class F>
void fill_pixels(Img& im, F f) {
  for (int l = 0; l < im.nl(); l++)
    for (int c = 0; c < im.nc(); c++) {
      if constexpr (std::is_same_v<Img, IMGBIN>)
        im(l, c) = bool(f(l, c));
      else
        im.rows[l][c] = static_cast<typename Img::Pixel>(f(l, c));
    }
}

// An nl x nc image whose pixel (l, c) is f(l, c).
template <class Img, class F>
Img image(int nl, int nc, F f) {
  Img im(nl, nc);
  fill_pixels(im, f);
  return im;
}

// An nl x nc image of pixels value(g), drawn in row order from one std::mt19937 g seeded
// with seed.
template <class Img, class F>
Img noise(int nl, int nc, unsigned seed, F value) {
  std::mt19937 g(seed);
  return image<Img>(nl, nc, [&](int, int) { return value(g); });
}

// ---- Bytes, little-endian ----

using Bytes = std::vector<unsigned char>;

// Writes a field over the bytes at offset at.
inline void put16(Bytes& b, size_t at, uint32_t v) {
  for (int k = 0; k < 2; k++) b[at + k] = static_cast<unsigned char>(v >> (8 * k));
}
inline void put32(Bytes& b, size_t at, uint32_t v) {
  for (int k = 0; k < 4; k++) b[at + k] = static_cast<unsigned char>(v >> (8 * k));
}
inline void put_float(Bytes& b, size_t at, float f) {
  uint32_t v;
  std::memcpy(&v, &f, 4);
  put32(b, at, v);
}
inline uint32_t get32(const Bytes& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// The four bytes of v, and the same appended to b.
inline Bytes le32(uint32_t v) {
  return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}
inline void append32(Bytes& b, uint32_t v) {
  for (int k = 0; k < 4; k++) b.push_back(static_cast<unsigned char>(v >> (8 * k)));
}
inline void append_float(Bytes& b, float f) {
  uint32_t v;
  std::memcpy(&v, &f, 4);
  append32(b, v);
}

}  // namespace testutil

// Expects statement to end the process through erro(a, b) with status 1.
#define EXPECT_ERRO(statement, a, b)  \
  EXPECT_EXIT(                        \
      {                               \
        testutil::stdout_to_stderr(); \
        statement;                    \
      },                              \
      ::testing::ExitedWithCode(1), ::testing::HasSubstr(testutil::erro_line((a), (b))))

// Skips the test when an external peer tool is missing.
#define REQUIRE_TOOL(program)                                                          \
  do {                                                                                 \
    if (!testutil::have_tool(program)) GTEST_SKIP() << program << " is not installed"; \
  } while (0)
