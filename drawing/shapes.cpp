// Shapes mapped from user to device coordinates.
#include "drawing/shapes.h"

#include <cmath>
#include <cstdint>
#include <iostream>

#include "drawing/lines.h"
#include "drawing/paint_internal.h"
#include "foundation/constants.h"
#include "foundation/erro.h"

using vistelmo::draw::clip;
using vistelmo::draw::ink;

namespace {

// Floor and round (halves away from zero) to int, saturating.
int piso(double x) { return double2int(std::floor(x)); }
int arredonda(double x) { return double2int(std::round(x)); }

// The (2h + 1) x (2h + 1) square about (l, c).
template <class Put>
void quadrado(const Put& put, int64_t l, int64_t c, int h) {
  for (int64_t i = l - h; i <= l + h; i++)
    for (int64_t j = c - h; j <= c + h; j++) put(i, j);
}

void exige_mapa(const MapU2D& map, const char* msg) {
  if (map.MinU.x == infinito) erro(msg, "");
}

}  // namespace

MapU2D::MapU2D()
    : MinU(infinito, infinito),
      MaxU(-infinito, -infinito),
      MaxD(0, 0),
      GrudaY(false),
      fatx(0),
      faty(0),
      Desloc(0, 0),
      border(0) {}

void MapU2D::inicshape(const VETOR<PONTO2>& shape, int nl, int nc, int borda, bool iguais) {
  border = borda;
  MinU = PONTO2(infinito, infinito);
  MaxU = PONTO2(-infinito, -infinito);
  for (int i = 0; i < shape.n(); i++) {
    const PONTO2& p = shape.data[i];
    if (p.x > MaxU.x) MaxU.x = p.x;
    if (p.y > MaxU.y) MaxU.y = p.y;
    if (p.x < MinU.x) MinU.x = p.x;
    if (p.y < MinU.y) MinU.y = p.y;
  }
  if (MinU.x >= MaxU.x || MinU.y >= MaxU.y) erro("Erro inesperado ShapeMinMax", "");
  const int64_t margem = 2 * int64_t{borda} + 1;
  if (nc <= margem || nl <= margem) erro("Erro: Borda muito grande", "");
  const int dx = clip(nc - margem), dy = clip(nl - margem);
  MaxD = PONTOI2(dx, dy);
  const double wx = MaxU.x - MinU.x, wy = MaxU.y - MinU.y;
  if (iguais) {
    GrudaY = wy / wx > static_cast<double>(dy) / dx;
    fatx = GrudaY ? dy / wy : dx / wx;
    if (GrudaY)
      Desloc = PONTOI2(clip((dx - int64_t{piso(wx * fatx)}) / 2), 0);
    else
      Desloc = PONTOI2(0, clip((dy - int64_t{piso(wy * fatx)}) / 2));
    faty = fatx;
  } else {
    fatx = dx / wx;
    faty = dy / wy;
    Desloc = PONTOI2(clip((dx - int64_t{piso(wx * fatx)}) / 2),
                     clip((dy - int64_t{piso(wy * faty)}) / 2));
  }
}

PONTOI2 MapU2D::u2d(PONTO2 p) const {
  const int64_t l =
      int64_t{MaxD.col} - (int64_t{arredonda((p.y - MinU.y) * faty)} + Desloc.col) + border;
  const int64_t c = int64_t{arredonda((p.x - MinU.x) * fatx)} + Desloc.lin + border;
  return PONTOI2(clip(l), clip(c));
}

void MapU2D::show() const {
  std::cout << "MinU=" << MinU << std::endl;
  std::cout << "MaxU=" << MaxU << std::endl;
  std::cout << "MaxD=" << MaxD << std::endl;
  std::cout << "GrudaY=" << (GrudaY ? 1 : 0) << std::endl;
  std::cout << "fatx=" << fatx << std::endl;
  std::cout << "faty=" << faty << std::endl;
  std::cout << "Desloc=" << Desloc << std::endl;
}

namespace {

template <class Img, class V>
void grade(const MapU2D& map, Img& img, double dx, double dy, V cor) {
  exige_mapa(map, "Erro shapegrade: MapU2D nao inicializado");
  if (dx == 0 || dy == 0) return;
  const int64_t i1 = piso(map.MinU.x / dx), j1 = piso(map.MinU.y / dy);
  const int64_t i2 = double2int(std::ceil(map.MaxU.x / dx));
  const int64_t j2 = double2int(std::ceil(map.MaxU.y / dy));
  const auto put = ink(img, cor);
  for (int64_t i = i1; i <= i2; i++)
    for (int64_t j = j1; j <= j2; j++) {
      const PONTOI2 q = map.u2d(PONTO2(i * dx, j * dy));
      put(q.lin, q.col);
    }
  const PONTOI2 o = map.u2d(PONTO2(0, 0));
  quadrado(put, o.lin, o.col, 1);
}

template <class Img, class V>
void contorno(const MapU2D& map, const VETOR<PONTO2>& shape, Img& img, V cor, bool fecha) {
  exige_mapa(map, "Erro shape2img: MapU2D nao inicializado");
  const PONTOI2 p0 = map.u2d(shape(0));
  moveto(p0.lin, p0.col);
  for (int i = 0; i < shape.n(); i++) {
    const PONTOI2 q = map.u2d(shape.data[i]);
    lineto(img, q.lin, q.col, cor);
  }
  if (fecha) lineto(img, p0.lin, p0.col, cor);
}

}  // namespace

void shapegrade(const MapU2D& map, IMGCOR& img, double dx, double dy, COR cor) {
  grade(map, img, dx, dy, cor);
}
void shapegrade(const MapU2D& map, IMGBIN& img, double dx, double dy, bool cor) {
  grade(map, img, dx, dy, cor);
}

void shape2img(const MapU2D& map, const VETOR<PONTO2>& shape, IMGCOR& img, COR cor, bool fecha) {
  contorno(map, shape, img, cor, fecha);
}
void shape2img(const MapU2D& map, const VETOR<PONTO2>& shape, IMGBIN& img, bool cor, bool fecha) {
  contorno(map, shape, img, cor, fecha);
}

void shapevert(const MapU2D& map, const VETOR<PONTO2>& shape, IMGCOR& img, COR cor) {
  exige_mapa(map, "Erro shapevert: MapU2D nao inicializado");
  const PONTOI2 p0 = map.u2d(shape(0));
  for (int i = 0; i < shape.n(); i++) {
    const PONTOI2 q = map.u2d(shape.data[i]);
    img(q.lin, q.col) = cor;
  }
  img(p0.lin, p0.col) = COR{0, 255, 0};
  const PONTOI2 pn = map.u2d(shape.data[shape.n() - 1]);
  img(pn.lin, pn.col) = COR{0, 0, 255};
}

void shapevert(const MapU2D& map, const VETOR<PONTO2>& shape, IMGBIN& img, bool cor) {
  exige_mapa(map, "Erro shapevert: MapU2D nao inicializado");
  const int n = shape.n();
  for (int i = 0; i < n; i++) {
    const PONTOI2 q = map.u2d(shape.data[i]);
    if (i == 0)
      quadrado(ink(img, cor), q.lin, q.col, 2);
    else
      xis(img, q.lin, q.col, i == n - 1 ? 3 : 2, cor);
  }
}

namespace {

template <class Img>
MapU2D ajusta(const VETOR<PONTO2>& shape, const Img& img, int borda) {
  MapU2D map;
  map.inicshape(shape, img.nl(), img.nc(), borda, true);
  return map;
}

}  // namespace

void shape2img(const VETOR<PONTO2>& shape, IMGCOR& img, COR cor, bool fecha, bool marcas) {
  const MapU2D map = ajusta(shape, img, 0);
  shape2img(map, shape, img, cor, fecha);
  if (marcas) shapevert(map, shape, img, cor);
}
void shape2img(const VETOR<PONTO2>& shape, IMGBIN& img, bool cor, bool fecha, bool marcas) {
  const MapU2D map = ajusta(shape, img, 3);
  shape2img(map, shape, img, cor, fecha);
  if (marcas) shapevert(map, shape, img, cor);
}
void shapevert(const VETOR<PONTO2>& shape, IMGCOR& img, COR cor) {
  shapevert(ajusta(shape, img, 0), shape, img, cor);
}
void shapevert(const VETOR<PONTO2>& shape, IMGBIN& img, bool cor) {
  shapevert(ajusta(shape, img, 3), shape, img, cor);
}
