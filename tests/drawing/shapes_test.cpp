#include "drawing/shapes.h"

#include <initializer_list>
#include <set>
#include <utility>

#include "drawing/lines.h"
#include "foundation/constants.h"
#include "support/test_support.h"

namespace {

using Pixels = std::set<std::pair<int, int>>;

const COR branco_cor{255, 255, 255};
const COR tinta{10, 20, 30};

VETOR<PONTO2> pontos(std::initializer_list<PONTO2> l) {
  VETOR<PONTO2> v(static_cast<int>(l.size()));
  int i = 0;
  for (const PONTO2& p : l) v(i++) = p;
  return v;
}

VETOR<PONTO2> quadrado_unitario() { return pontos({{0, 0}, {1, 0}, {1, 1}, {0, 1}}); }

template <class Img, class V>
Pixels com_cor(const Img& img, V cor) {
  Pixels s;
  for (int l = 0; l < img.nl(); l++)
    for (int c = 0; c < img.nc(); c++)
      if (img(l, c) == cor) s.insert({l, c});
  return s;
}

// Every pixel of the rectangle outline with corners (l1, c1) and (l2, c2).
Pixels borda_retangulo(int l1, int c1, int l2, int c2) {
  Pixels s;
  for (int c = c1; c <= c2; c++) s.insert({l1, c}), s.insert({l2, c});
  for (int l = l1; l <= l2; l++) s.insert({l, c1}), s.insert({l, c2});
  return s;
}

TEST(MapU2D, EqualScalesFillsOneAxisAndCentresTheOther) {
  MapU2D m;
  m.inicshape(quadrado_unitario(), 11, 21, 0, true);
  EXPECT_EQ(m.MaxD, PONTOI2(20, 10));
  EXPECT_TRUE(m.GrudaY);
  EXPECT_EQ(m.fatx, 10);
  EXPECT_EQ(m.faty, 10);
  EXPECT_EQ(m.Desloc, PONTOI2(5, 0));
  EXPECT_EQ(m.u2d(PONTO2(0, 0)), PONTOI2(10, 5));
  EXPECT_EQ(m.u2d(PONTO2(1, 1)), PONTOI2(0, 15));
  EXPECT_EQ(m.u2d(PONTO2(2, -1)), PONTOI2(20, 25));  // not clipped

  // A wide shape in a tall image: x fills, y is centred, the smaller half of the odd leftover at
  // the bottom.
  m.inicshape(pontos({{0, 0}, {4, 1}}), 20, 9, 0, true);
  EXPECT_FALSE(m.GrudaY);
  EXPECT_EQ(m.fatx, 2);
  EXPECT_EQ(m.Desloc, PONTOI2(0, 8));
  EXPECT_EQ(m.u2d(PONTO2(0, 0)), PONTOI2(11, 0));
  EXPECT_EQ(m.u2d(PONTO2(4, 1)), PONTOI2(9, 8));
}

TEST(MapU2D, IndependentScales) {
  MapU2D m;
  m.inicshape(quadrado_unitario(), 11, 21, 0, false);
  EXPECT_EQ(m.fatx, 20);
  EXPECT_EQ(m.faty, 10);
  EXPECT_EQ(m.Desloc, PONTOI2(0, 0));
  EXPECT_EQ(m.u2d(PONTO2(1, 1)), PONTOI2(0, 20));
  EXPECT_EQ(m.u2d(PONTO2(0, 0)), PONTOI2(10, 0));
}

TEST(MapU2D, BorderKeepsExtremesInsideTheMargin) {
  struct Case {
    int nl, nc, b;
    bool iguais;
  };
  const Case cases[] = {{11, 21, 0, true}, {11, 21, 2, true},  {30, 12, 3, true},
                        {17, 17, 1, true}, {30, 12, 3, false}, {11, 40, 4, false}};
  const VETOR<PONTO2> s = pontos({{-3, 2}, {5, 7}, {1, -4}});
  for (const Case& k : cases) {
    MapU2D m;
    m.inicshape(s, k.nl, k.nc, k.b, k.iguais);
    const PONTOI2 lo = m.u2d(PONTO2(-3, -4)), hi = m.u2d(PONTO2(5, 7));
    SCOPED_TRACE(testing::Message() << k.nl << "x" << k.nc << " b" << k.b << " " << k.iguais);
    EXPECT_GE(lo.c(), k.b);
    EXPECT_LE(hi.c(), k.nc - 1 - k.b);
    EXPECT_LE(lo.l(), k.nl - 1 - k.b);
    EXPECT_GE(hi.l(), k.b);
    if (!k.iguais || !m.GrudaY) {
      EXPECT_EQ(lo.c(), k.b);
      EXPECT_EQ(hi.c(), k.nc - 1 - k.b);
    }
    if (!k.iguais || m.GrudaY) {
      EXPECT_EQ(lo.l(), k.nl - 1 - k.b);
      EXPECT_EQ(hi.l(), k.b);
    }
  }
}

TEST(MapU2D, HalvesRoundAwayFromZero) {
  MapU2D m;
  m.inicshape(pontos({{0, 0}, {10, 10}}), 11, 11, 0, true);
  EXPECT_EQ(m.fatx, 1);
  EXPECT_EQ(m.u2d(PONTO2(2.5, 0)).c(), 3);
  EXPECT_EQ(m.u2d(PONTO2(-2.5, 0)).c(), -3);
  EXPECT_EQ(m.u2d(PONTO2(0, 2.5)).l(), 10 - 3);
  EXPECT_EQ(m.u2d(PONTO2(0, -2.5)).l(), 10 + 3);
}

TEST(MapU2D, Show) {
  MapU2D m;
  m.inicshape(quadrado_unitario(), 11, 21, 0, true);
  testing::internal::CaptureStdout();
  m.show();
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "MinU=[0 0]\nMaxU=[1 1]\nMaxD=[20 10]\nGrudaY=1\nfatx=10\nfaty=10\nDesloc=[5 0]\n");
}

TEST(Shape2img, ClosedAndOpenOutlines) {
  MapU2D m;
  m.inicshape(quadrado_unitario(), 11, 21, 0, true);
  IMGCOR img(11, 21, branco_cor);
  shape2img(m, quadrado_unitario(), img, tinta, true);
  EXPECT_EQ(com_cor(img, tinta), borda_retangulo(0, 5, 10, 15));
  EXPECT_EQ(lcaneta, 10);
  EXPECT_EQ(ccaneta, 5);
  EXPECT_EQ(img.backg, (COR{0, 0, 0}));  // nothing left the image

  IMGBIN bin(11, 21, branco);
  shape2img(m, quadrado_unitario(), bin, preto, false);
  Pixels esperado = borda_retangulo(0, 5, 10, 15);
  for (int l = 1; l < 10; l++) esperado.erase({l, 5});  // the left edge is not closed
  EXPECT_EQ(com_cor(bin, preto), esperado);
  EXPECT_EQ(lcaneta, 0);
  EXPECT_EQ(ccaneta, 5);
}

TEST(Shapevert, ColourMarksFirstGreenLastBlue) {
  MapU2D m;
  m.inicshape(quadrado_unitario(), 11, 21, 0, true);
  IMGCOR img(11, 21, branco_cor);
  shapevert(m, quadrado_unitario(), img, tinta);
  EXPECT_EQ(com_cor(img, tinta), (Pixels{{10, 15}, {0, 15}}));
  EXPECT_EQ(com_cor(img, (COR{0, 255, 0})), (Pixels{{10, 5}}));
  EXPECT_EQ(com_cor(img, (COR{0, 0, 255})), (Pixels{{0, 5}}));

  IMGCOR um(11, 21, branco_cor);
  shapevert(m, pontos({{1, 1}}), um, tinta);
  EXPECT_EQ(com_cor(um, (COR{0, 0, 255})), (Pixels{{0, 15}}));
  EXPECT_EQ(com_cor(um, tinta).size(), 0u);
}

TEST(Shapevert, BinaryMarks) {
  MapU2D m;
  const VETOR<PONTO2> s = pontos({{0, 0}, {10, 0}, {10, 10}, {0, 10}});
  m.inicshape(s, 30, 30, 5, true);
  IMGBIN img(30, 30, branco);
  shapevert(m, s, img, preto);
  IMGBIN esperado(30, 30, branco);
  for (int l = 22; l <= 26; l++)
    for (int c = 3; c <= 7; c++) esperado(l, c) = preto;  // first: 5 x 5 square at (24, 5)
  xis(esperado, 24, 24, 2, preto);
  xis(esperado, 5, 24, 2, preto);
  xis(esperado, 5, 5, 3, preto);  // last
  EXPECT_EQ(com_cor(img, preto), com_cor(esperado, preto));

  IMGBIN vazio(30, 30, branco);
  shapevert(m, VETOR<PONTO2>(), vazio, preto);
  EXPECT_EQ(com_cor(vazio, preto).size(), 0u);
}

TEST(Shapegrade, LatticeAndOriginMark) {
  MapU2D m;
  m.inicshape(quadrado_unitario(), 11, 21, 0, true);
  IMGCOR img(11, 21, branco_cor);
  shapegrade(m, img, 0.5, 0.5, tinta);
  Pixels esperado;
  for (int l : {0, 5, 10})
    for (int c : {5, 10, 15}) esperado.insert({l, c});
  for (int l = 9; l <= 10; l++)
    for (int c = 4; c <= 6; c++) esperado.insert({l, c});
  EXPECT_EQ(com_cor(img, tinta), esperado);
  EXPECT_EQ(img.backg, tinta);  // row 11 of the origin mark is outside

  IMGBIN bin(11, 21, branco);
  bin.backg = 0xFFFFFFFFu;
  shapegrade(m, bin, 0, 0.5, preto);
  shapegrade(m, bin, 0.5, 0, preto);
  EXPECT_EQ(com_cor(bin, preto).size(), 0u);
  EXPECT_EQ(bin.backg & 1u, 1u);
  shapegrade(m, bin, 1, 1, preto);
  EXPECT_EQ(bin.backg & 1u, 0u);
}

TEST(Wrappers, MatchTheExplicitMap) {
  const VETOR<PONTO2> s = pontos({{0, 0}, {3, 1}, {2, 4}, {-1, 2}});
  IMGBIN a(40, 30, branco), b(40, 30, branco);
  shape2img(s, a, preto, true, true);
  MapU2D m;
  m.inicshape(s, 40, 30, 3, true);
  shape2img(m, s, b, preto, true);
  shapevert(m, s, b, preto);
  EXPECT_EQ(com_cor(a, preto), com_cor(b, preto));

  IMGCOR c(12, 9, branco_cor), d(12, 9, branco_cor);
  shapevert(s, c, tinta);
  m.inicshape(s, 12, 9, 0, true);
  shapevert(m, s, d, tinta);
  EXPECT_EQ(com_cor(c, tinta), com_cor(d, tinta));
  EXPECT_EQ(com_cor(c, (COR{0, 0, 255})), com_cor(d, (COR{0, 0, 255})));

  IMGCOR e(12, 9, branco_cor), f(12, 9, branco_cor);
  shape2img(s, e, tinta, false, false);
  shape2img(m, s, f, tinta, false);
  EXPECT_EQ(com_cor(e, tinta), com_cor(f, tinta));

  IMGBIN g(8, 8, branco);  // the smallest binary image the wrappers accept
  shapevert(s, g, preto);
  IMGCOR h(2, 2, branco_cor);
  shape2img(s, h, tinta, true, false);
  EXPECT_EQ(com_cor(h, tinta).size(), 4u);
}

TEST(ShapesDeath, Errors) {
  MapU2D m;
  IMGCOR img(10, 10);
  IMGBIN bin(10, 10);
  const VETOR<PONTO2> s = quadrado_unitario(), vazio;
  EXPECT_ERRO(m.inicshape(pontos({{0, 1}, {5, 1}, {3, 1}}), 10, 10, 0, true),
              "Erro inesperado ShapeMinMax", "");
  EXPECT_ERRO(m.inicshape(pontos({{2, 1}}), 10, 10, 0, true), "Erro inesperado ShapeMinMax", "");
  EXPECT_ERRO(m.inicshape(vazio, 10, 10, 0, false), "Erro inesperado ShapeMinMax", "");
  EXPECT_ERRO(m.inicshape(s, 10, 7, 3, true), "Erro: Borda muito grande", "");
  EXPECT_ERRO(m.inicshape(s, 1, 10, 0, true), "Erro: Borda muito grande", "");
  EXPECT_ERRO(shapegrade(m, img, 1, 1, tinta), "Erro shapegrade: MapU2D nao inicializado", "");
  EXPECT_ERRO(shapegrade(m, bin, 0, 0, preto), "Erro shapegrade: MapU2D nao inicializado", "");
  EXPECT_ERRO(shape2img(m, s, img, tinta, true), "Erro shape2img: MapU2D nao inicializado", "");
  EXPECT_ERRO(shape2img(m, s, bin, preto, true), "Erro shape2img: MapU2D nao inicializado", "");
  EXPECT_ERRO(shapevert(m, s, img, tinta), "Erro shapevert: MapU2D nao inicializado", "");
  EXPECT_ERRO(shapevert(m, s, bin, preto), "Erro shapevert: MapU2D nao inicializado", "");
  // Wrappers: the border of binary images is 3, of colour images 0.
  IMGBIN sete(7, 20);
  EXPECT_ERRO(shapevert(s, sete, preto), "Erro: Borda muito grande", "");
  IMGCOR fina(1, 20);
  EXPECT_ERRO(shape2img(s, fina, tinta, true, true), "Erro: Borda muito grande", "");
  EXPECT_ERRO(shape2img(vazio, bin, preto, true, true), "Erro inesperado ShapeMinMax", "");

  MapU2D ok;
  ok.inicshape(s, 10, 10, 0, true);
  EXPECT_ERRO(shape2img(ok, vazio, img, tinta, true), "Erro VETOR::operator() - Indice invalido",
              "");
  EXPECT_ERRO(shape2img(ok, vazio, bin, preto, false), "Erro VETOR::operator() - Indice invalido",
              "");
  EXPECT_ERRO(shapevert(ok, vazio, img, tinta), "Erro VETOR::operator() - Indice invalido", "");
}

}  // namespace
