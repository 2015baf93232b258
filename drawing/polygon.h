// Polygon filling on integer vertices and thick lines.
//
// Vertices are (row, column) image positions, row 0 at the top; n vertices close into a polygon
// (edge i from vertex i to vertex i+1, the last back to vertex 0). Crossings and outline pixels
// are sorted through a priority queue by row, then column. Pixels go through the plain element
// access, so a fill that leaves the image writes the colour into the outside value.
#pragma once

#include <queue>
#include <vector>

#include "foundation/points.h"
#include "foundation/vetor.h"
#include "images/images.h"
#include "numerics/vetorbit.h"

#pragma GCC visibility push(default)

namespace Polygon {

// a after b: a lower row, or the same row further right. A queue on it gives the first point.
struct maior {
  bool operator()(const PONTOI2& a, const PONTOI2& b) const {
    return a.l() > b.l() || (a.l() == b.l() && a.c() > b.c());
  }
};

// Crossings or outline pixels, taken out by increasing row, then column; duplicates kept.
using fila = std::priority_queue<PONTOI2, std::vector<PONTOI2>, maior>;

// Bit i set when vertex i's neighbours are not on the same side of its row (one above and one
// below, or exactly one on its row); clear at a local top or bottom.
VETORBIT singular(const VETOR<PONTOI2>& v);
// One crossing per row of the edge p1-p2, at the column nearest to the exact crossing; an end's
// own row is included when its flag is set.
void RetaFill(PONTOI2 p1, bool s1, PONTOI2 p2, bool s2, fila& q);
// Every pixel of the segment p1-p2, pushed twice.
void BordaFill(PONTOI2 p1, PONTOI2 p2, fila& q);
// Every pixel of the segment p1-p2, pushed once.
void RetaConvgon(PONTOI2 p1, PONTOI2 p2, fila& q);

}  // namespace Polygon

// Scan-line fill of any polygon between paired crossings, then its outline.
void PolygonFill(IMGCOR& img, const VETOR<PONTOI2>& v, COR cor);
void PolygonFill(IMGGRY& img, const VETOR<PONTOI2>& v, unsigned char cor);
void PolygonFill(IMGBIN& img, const VETOR<PONTOI2>& v, bool cor);

// The runs PolygonFill would set, as pairs (left end, right end) by row, then column.
VETOR<PONTOI2> PolygonBorda(const VETOR<PONTOI2>& v);

// Fill of a convex polygon: on every row, from the leftmost outline pixel to the rightmost.
void ConvgonFill(IMGCOR& img, const VETOR<PONTOI2>& v, COR cor);
void ConvgonFill(IMGGRY& img, const VETOR<PONTOI2>& v, unsigned char cor);
void ConvgonFill(IMGBIN& img, const VETOR<PONTOI2>& v, bool cor);

// The runs ConvgonFill would set, one pair per row from the top vertex row to the bottom one.
VETOR<PONTOI2> ConvgonBorda(const VETOR<PONTOI2>& v);

// Line of the given thickness, filled as the quadrilateral around the segment.
void thickline(IMGCOR& img, int l1, int c1, int l2, int c2, COR cor, int esp);
void thickline(IMGGRY& img, int l1, int c1, int l2, int c2, unsigned char cor, int esp);
void thickline(IMGBIN& img, int l1, int c1, int l2, int c2, bool cor, int esp);

#pragma GCC visibility pop
