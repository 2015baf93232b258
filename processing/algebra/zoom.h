// Zoom by scale factors about the image centre, and rotation combined with a uniform zoom.
//
// The destination's size and centre, set by the caller, are the output frame; destination pixel
// (x, y), in offsets from its centre (y upward), takes the source at (x / fx, y / fy). A factor
// below 1 averages the source samples that fall on each destination pixel; a factor of 1 or more
// interpolates linearly. Border letters: 'C' outside value, 'X' nearest edge pixel; the float
// operations pass any letter to the element access.
#pragma once

#include "images/images.h"

#pragma GCC visibility push(default)

// Float passes. zoomx rescales the columns, zoomy the rows of a into b (b keeps a's other axis).
// zoomc and zooml are the passes of the area zoom (processing/algebra/zoom_area.h).
struct ZoomF {
  static void zoomx(const IMGFLT& a, IMGFLT& b, double f, char borda = 'X');
  static void zoomy(const IMGFLT& a, IMGFLT& b, double f, char borda = 'X');
  static void zoomc(const IMGFLT& a, IMGFLT& b, double f);
  static void zooml(const IMGFLT& a, IMGFLT& b, double f);
};

// Grey passes: border 'C' or 'X' only; values clamped to 0..255 and rounded.
struct ZoomG {
  static void zoomx(const IMGGRY& a, IMGGRY& b, double f, char borda = 'X');
  static void zoomy(const IMGGRY& a, IMGGRY& b, double f, char borda = 'X');
};

// Fills b with a zoomed by fatx horizontally and faty vertically; the larger factor's pass first.
void zoomfat(const IMGGRY& a, IMGGRY& b, double fatx, double faty, char borda = 'X');
// The grey zoom on each colour plane; b's outside colour becomes black.
void zoomfat(const IMGCOR& a, IMGCOR& b, double fatx, double faty, char borda = 'X');

// Fills b with a rotated by graus (counterclockwise as displayed) and zoomed by f, bilinearly;
// a factor below 1 first shrinks the source with the passes.
void rotzoom(const IMGFLT& a, IMGFLT& b, double graus, double f, char borda = 'X');
void rotzoom(const IMGGRY& a, IMGGRY& b, double graus, double f, char borda = 'X');
void rotzoom(const IMGCOR& a, IMGCOR& b, double graus, double f, char borda = 'X');

#pragma GCC visibility pop
