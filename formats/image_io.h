// Reading and writing any 2D image by file name: the format comes from the content when
// reading and from the name's suffix when writing. The library's front door for files:
//
//   IMGCOR c;  le(c, "photo.jpg");  IMGGRY g = c;  imp(g, "photo.pgm");
//
// le reads 1-bit BMP, TGA (grey, colour-mapped, colour), PBM/PGM/PPM (text and binary), JPEG,
// native IMG and text matrix files into any of the seven classes, converting where needed
// (colour to grey (r + g + b + 1) / 3; grey to binary: above 127 is white; float and double
// to grey: clamped to [0, 1] and scaled by 255); a pair with no conversion is refused.
//
// imp writes by suffix (case ignored; a number after the suffix is its argument):
//   IMGBIN  .bmp (1-bit)  .txt/.mat  .pbm
//   IMGGRY  .tga  .txt/.mat  .jpg  .pgm
//   IMGCOR  .tga  .txt/.mat  .jpg  .ppm
//   IMGSHT  .tga  .txt/.mat  .img
//   IMGFLT  .tga  .bmp  .txt/.mat  .img  .jpg  .pgm   (bmp, jpg, pgm through binary or grey)
//   IMGDBL  .tga  .txt/.mat  .img  .jpg  .pgm
//   IMGCPX  .txt/.mat  .img
// ".jpg75" sets the JPEG quality (90 by default); ".pgm1" (any nonzero number) writes the text
// anymap instead of the binary one. Any other suffix ends the process with a message naming the
// formats the class takes.
#pragma once

#include <string>

#include "images/images.h"

#pragma GCC visibility push(default)

void le(IMGBIN& img, const std::string& name);
void le(IMGGRY& img, const std::string& name);
void le(IMGCOR& img, const std::string& name);
void le(IMGSHT& img, const std::string& name);
void le(IMGFLT& img, const std::string& name);
void le(IMGDBL& img, const std::string& name);
void le(IMGCPX& img, const std::string& name);

void imp(const IMGBIN& img, const std::string& name);
void imp(const IMGGRY& img, const std::string& name);
void imp(const IMGCOR& img, const std::string& name);
void imp(const IMGSHT& img, const std::string& name);
void imp(const IMGFLT& img, const std::string& name);
void imp(const IMGDBL& img, const std::string& name);
void imp(const IMGCPX& img, const std::string& name);

#pragma GCC visibility pop
