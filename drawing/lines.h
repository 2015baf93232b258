// Drawing in place: lines with a square brush, the two pens, circles, marks, rectangles, dials
// and arrows.
//
// Positions are (row, column), row 0 at the top. The PONTOI2 forms read a point as Cartesian
// offsets about the image centre: first component x (columns right of cc), second y (rows up
// from lc), i.e. pixel (lc - y, cc + x). Every pixel goes through the plain element access, so a
// position outside the image writes the outside value instead. Colours: bool on IMGBIN (true
// white), unsigned char on IMGGRY, COR on IMGCOR, and COR read as (Y, U, V) on IMGYUV.
//
// The pens are process-wide, as are the text state of text.h: draw from one thread at a time.
// Thickness t: 1 sets one pixel per step; any other t sets the t x t square from (l - t/2,
// c - t/2); t < 1 sets nothing.
#pragma once

#include "foundation/points.h"
#include "images/images.h"
#include "images/yuv.h"

#pragma GCC visibility push(default)

// The point pen and the integer pen (row, column); independent of each other.
extern PONTOI2 caneta;
extern int lcaneta;
extern int ccaneta;

void reta(IMGBIN& img, int l1, int c1, int l2, int c2, bool cor, int esp);
void reta(IMGGRY& img, int l1, int c1, int l2, int c2, unsigned char cor, int esp);
void reta(IMGCOR& img, int l1, int c1, int l2, int c2, COR cor, int esp);
void reta(IMGYUV& img, int l1, int c1, int l2, int c2, COR yuv, int esp);

// One-pixel line between two centred Cartesian points.
void reta(IMGBIN& img, PONTOI2 p1, PONTOI2 p2, bool cor);
void reta(IMGGRY& img, PONTOI2 p1, PONTOI2 p2, unsigned char cor);
void reta(IMGCOR& img, PONTOI2 p1, PONTOI2 p2, COR cor);

void moveto(int l, int c);
void moveto(PONTOI2 p);
// Draws from the pen (thickness 1) and leaves the pen at the end point.
void lineto(IMGBIN& img, int l, int c, bool cor);
void lineto(IMGGRY& img, int l, int c, unsigned char cor);
void lineto(IMGCOR& img, int l, int c, COR cor);
void lineto(IMGBIN& img, PONTOI2 p, bool cor);
void lineto(IMGGRY& img, PONTOI2 p, unsigned char cor);
void lineto(IMGCOR& img, PONTOI2 p, COR cor);

void circulo(IMGBIN& img, int l, int c, int r, bool cor, int esp);
void circulo(IMGGRY& img, int l, int c, int r, unsigned char cor, int esp);
void circulo(IMGCOR& img, int l, int c, int r, COR cor, int esp);
// Circle about the pixel of a centred Cartesian point, thickness 1.
void circulo(IMGBIN& img, PONTOI2 centro, int r, bool cor);
void circulo(IMGGRY& img, PONTOI2 centro, int r, unsigned char cor);
void circulo(IMGCOR& img, PONTOI2 centro, int r, COR cor);

// X mark and plus mark of arm length r (r < 1: the centre only).
void xis(IMGBIN& img, int l, int c, int r, bool cor);
void xis(IMGGRY& img, int l, int c, int r, unsigned char cor);
void xis(IMGCOR& img, int l, int c, int r, COR cor);
void cruz(IMGBIN& img, int l, int c, int r, bool cor);
void cruz(IMGGRY& img, int l, int c, int r, unsigned char cor);
void cruz(IMGCOR& img, int l, int c, int r, COR cor);

// Rectangle outline with corners (l1, c1) and (l2, c2), in any order.
void retang(IMGBIN& img, int l1, int c1, int l2, int c2, bool cor, int esp);
void retang(IMGGRY& img, int l1, int c1, int l2, int c2, unsigned char cor, int esp);
void retang(IMGCOR& img, int l1, int c1, int l2, int c2, COR cor, int esp);

// Circle of radius r and one hand; angle in degrees, 0 up, counter-clockwise.
void relogiocircular(IMGBIN& img, int l, int c, int r, double ang, bool cor, int esp);
void relogiocircular(IMGGRY& img, int l, int c, int r, double ang, unsigned char cor, int esp);
void relogiocircular(IMGCOR& img, int l, int c, int r, double ang, COR cor, int esp);
// nl x nc rectangle about (l, c) turned counter-clockwise by ang degrees, and one hand.
void relogioretangular(IMGBIN& img, int l, int c, int nl, int nc, double ang, bool cor, int esp);
void relogioretangular(IMGGRY& img, int l, int c, int nl, int nc, double ang, unsigned char cor,
                       int esp);
void relogioretangular(IMGCOR& img, int l, int c, int nl, int nc, double ang, COR cor, int esp);

// Arrow from (l1, c1) with a small fixed head at its tip (l2, c2).
void flecha(IMGBIN& img, int l1, int c1, int l2, int c2, bool cor);
void flecha(IMGGRY& img, int l1, int c1, int l2, int c2, unsigned char cor);
void flecha(IMGCOR& img, int l1, int c1, int l2, int c2, COR cor);

#pragma GCC visibility pop
