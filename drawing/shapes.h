// Shapes in user coordinates (x right, y up) fitted into an image and drawn in place.
//
// A MapU2D fits a shape's bounding box into rows x columns inside a margin of `border` pixels
// and turns user points into (row, column) positions. shape2img draws the outline through the
// integer pen (lcaneta, ccaneta) and leaves the pen at the last point; shapevert marks the
// vertices; shapegrade draws a lattice of grid points and marks the user origin.
#pragma once

#include "foundation/points.h"
#include "foundation/vetor.h"
#include "images/images.h"

#pragma GCC visibility push(default)

class MapU2D {
 public:
  PONTO2 MinU;     // smallest x and y of the shape
  PONTO2 MaxU;     // largest x and y of the shape
  PONTOI2 MaxD;    // (largest column offset, largest row offset) inside the margin
  bool GrudaY;     // equal scales: the y extent fills the drawable height
  double fatx;     // pixels per user unit along x
  double faty;     // pixels per user unit along y
  PONTOI2 Desloc;  // (column shift, row shift) centring the shape
  int border;

  // Not initialised until inicshape has run.
  MapU2D();

  void inicshape(const VETOR<PONTO2>& shape, int nl, int nc, int border, bool iguais);
  // (row, column) of a user point; not clipped.
  PONTOI2 u2d(PONTO2 p) const;
  // Prints the fields, one a line.
  void show() const;
};

// Grid points every dx along x and dy along y over the map's box, and a 3 x 3 origin mark.
void shapegrade(const MapU2D& map, IMGCOR& img, double dx, double dy, COR cor);
void shapegrade(const MapU2D& map, IMGBIN& img, double dx, double dy, bool cor);

// The outline, closed back to the first vertex when fecha is true.
void shape2img(const MapU2D& map, const VETOR<PONTO2>& shape, IMGCOR& img, COR cor, bool fecha);
void shape2img(const MapU2D& map, const VETOR<PONTO2>& shape, IMGBIN& img, bool cor, bool fecha);

// Vertex marks. Colour: every vertex in cor, then the first green and the last blue. Binary: a
// 5 x 5 square on the first, an X of arm 3 on the last and of arm 2 on the others.
void shapevert(const MapU2D& map, const VETOR<PONTO2>& shape, IMGCOR& img, COR cor);
void shapevert(const MapU2D& map, const VETOR<PONTO2>& shape, IMGBIN& img, bool cor);

// Fit the shape to the whole image with equal scales (margin 0 on colour, 3 on binary images),
// then draw the outline and, when marcas is true, the vertex marks.
void shape2img(const VETOR<PONTO2>& shape, IMGCOR& img, COR cor, bool fecha, bool marcas);
void shape2img(const VETOR<PONTO2>& shape, IMGBIN& img, bool cor, bool fecha, bool marcas);
void shapevert(const VETOR<PONTO2>& shape, IMGCOR& img, COR cor);
void shapevert(const VETOR<PONTO2>& shape, IMGBIN& img, bool cor);

#pragma GCC visibility pop
