#include "drawing/graphs.h"

#include <cmath>
#include <initializer_list>
#include <limits>
#include <set>
#include <utility>

#include "drawing/lines.h"
#include "drawing/shapes.h"
#include "foundation/constants.h"
#include "support/test_support.h"

namespace {

using Pixels = std::set<std::pair<int, int>>;

VETOR<double> amostras(std::initializer_list<double> l) {
  VETOR<double> v(static_cast<int>(l.size()));
  int i = 0;
  for (double x : l) v(i++) = x;
  return v;
}

Pixels com_cor(const IMGBIN& img, bool cor) {
  Pixels s;
  for (int l = 0; l < img.nl(); l++)
    for (int c = 0; c < img.nc(); c++)
      if (img(l, c) == cor) s.insert({l, c});
  return s;
}

void marca(IMGBIN& img, int l, int c) {
  for (int i = l - 1; i <= l + 1; i++)
    for (int j = c - 1; j <= c + 1; j++) img(i, j) = preto;
}

// The curve through (row, column) points in order.
void curva(IMGBIN& img, std::initializer_list<std::pair<int, int>> pts, bool cor) {
  const std::pair<int, int>* prev = nullptr;
  for (const auto& p : pts) {
    if (prev) reta(img, prev->first, prev->second, p.first, p.second, cor, 1);
    prev = &p;
  }
}

TEST(Funcao2imgbin, DefaultBoundsWithAxisAndTicks) {
  const VETOR<double> f = amostras({0, 1, 2, 3, 4});
  IMGBIN img(21, 13, branco);
  funcao2imgbin(f, img, preto, false, -infinito, infinito, 1);
  IMGBIN esperado(21, 13, branco);
  curva(esperado, {{19, 1}, {15, 3}, {10, 6}, {6, 8}, {1, 11}}, preto);
  reta(esperado, 19, 1, 19, 11, preto, 1);
  for (int r : {15, 10, 6}) marca(esperado, r, 1);
  EXPECT_EQ(com_cor(img, preto), com_cor(esperado, preto));
  EXPECT_EQ(lcaneta, 1);
  EXPECT_EQ(ccaneta, 11);
}

TEST(Funcao2imgbin, MarksAreBlackWithoutAxis) {
  const VETOR<double> f = amostras({0, 1, 2, 3, 4});
  IMGBIN img(21, 13, preto);
  img.backg = 0xFFFFFFFFu;
  funcao2imgbin(f, img, branco, true, -infinito, infinito, infinito);
  IMGBIN esperado(21, 13, preto);
  curva(esperado, {{19, 1}, {15, 3}, {10, 6}, {6, 8}, {1, 11}}, branco);
  for (auto p : {std::pair{19, 1}, {15, 3}, {10, 6}, {6, 8}, {1, 11}})
    marca(esperado, p.first, p.second);
  EXPECT_EQ(com_cor(img, branco), com_cor(esperado, branco));
  // The mark about (1, 11) stays inside the one-pixel frame.
  EXPECT_EQ(img.backg & 1u, 1u);
}

TEST(Funcao2imgbin, DownwardTicksAndOneGivenBound) {
  // Lower bound given, upper from the samples: -4 .. 2, H = 12, sy = 2.
  const VETOR<double> f = amostras({2, -1, 0});
  IMGBIN img(15, 9, branco);
  funcao2imgbin(f, img, preto, false, -4, infinito, 1.5);
  IMGBIN esperado(15, 9, branco);
  curva(esperado, {{1, 1}, {7, 4}, {5, 7}}, preto);
  reta(esperado, 5, 1, 5, 7, preto, 1);
  marca(esperado, 2, 1);   // y = 1.5
  marca(esperado, 8, 1);   // y = -1.5
  marca(esperado, 11, 1);  // y = -3
  EXPECT_EQ(com_cor(img, preto), com_cor(esperado, preto));
}

TEST(Funcao2imgbin, NarrowBoundsDrawOffTheImage) {
  const VETOR<double> f = amostras({0, 1, 2, 3, 4});
  IMGBIN img(21, 13, branco);
  img.backg = 0xFFFFFFFFu;
  funcao2imgbin(f, img, preto, false, 1, 3, infinito);
  // sy = 9: rows 28, 19, 10, 1, -8.
  IMGBIN esperado(21, 13, branco);
  curva(esperado, {{28, 1}, {19, 3}, {10, 6}, {1, 8}, {-8, 11}}, preto);
  EXPECT_EQ(com_cor(img, preto), com_cor(esperado, preto));
  EXPECT_EQ(img.backg & 1u, 0u);
  EXPECT_EQ(lcaneta, -8);
}

TEST(Funcao2imgbin, SingleSampleWithGivenBounds) {
  IMGBIN img(10, 10, branco);
  funcao2imgbin(amostras({1}), img, preto, false, 0, 2, 1);
  // Row of 1 is 7 - 3 + 1 = 5; the axis (row 8) is one pixel at column 1.
  // The tick at y = 1 covers rows 4..6, columns 0..2.
  Pixels esperado{{8, 1}};
  for (int l = 4; l <= 6; l++)
    for (int c = 0; c <= 2; c++) esperado.insert({l, c});
  EXPECT_EQ(com_cor(img, preto), esperado);
}

TEST(Fun2shp, PointsAndResize) {
  VETOR<PONTO2> s(7);
  fun2shp(amostras({5, 7}), s);
  ASSERT_EQ(s.n(), 2);
  EXPECT_EQ(s(0).x, 0);
  EXPECT_EQ(s(0).y, 5);
  EXPECT_EQ(s(1).x, 1);
  EXPECT_EQ(s(1).y, 7);
  fun2shp(VETOR<double>(), s);
  EXPECT_EQ(s.n(), 0);

  // Fitted by the mapped-shape wrapper it is one segment from the bottom row to the top row.
  fun2shp(amostras({5, 7}), s);
  IMGBIN img(12, 12, branco), esperado(12, 12, branco);
  shape2img(s, img, preto, false, false);
  reta(esperado, 8, 4, 3, 7, preto, 1);  // margin 3
  EXPECT_EQ(com_cor(img, preto), com_cor(esperado, preto));
}

TEST(Funcao2imgbinDeath, Errors) {
  IMGBIN img(20, 20, branco);
  const VETOR<double> f = amostras({0, 1, 2});
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_ERRO(funcao2imgbin(amostras({3, 3, 3}), img, preto, false, -infinito, 5, 1),
              "Erro inesperado FuncaoMinMax", "");
  EXPECT_ERRO(funcao2imgbin(VETOR<double>(), img, preto, false, 0, infinito, 1),
              "Erro inesperado FuncaoMinMax", "");
  EXPECT_ERRO(funcao2imgbin(VETOR<double>(), img, preto, true, 0, 1, 1),
              "Erro VETOR::operator() - Indice invalido", "");
  const char* limites = "Erro funcao2imgbin - limite superior deve ser maior que o inferior";
  EXPECT_ERRO(funcao2imgbin(f, img, preto, false, 2, 2, 1), limites, "");
  EXPECT_ERRO(funcao2imgbin(f, img, preto, false, 3, 1, infinito), limites, "");
  EXPECT_ERRO(funcao2imgbin(f, img, preto, false, 5, infinito, 1), limites, "");
  EXPECT_ERRO(funcao2imgbin(f, img, preto, false, nan, 1, 1), limites, "");
  const char* passo = "Erro funcao2imgbin - passo deve ser positivo";
  EXPECT_ERRO(funcao2imgbin(f, img, preto, false, -infinito, infinito, 0), passo, "");
  EXPECT_ERRO(funcao2imgbin(f, img, preto, false, -infinito, infinito, -1), passo, "");
  EXPECT_ERRO(funcao2imgbin(amostras({0, nan, 1}), img, preto, false, 0, 1, infinito),
              "Erro funcao2imgbin - valor nao finito", "");
}

}  // namespace
