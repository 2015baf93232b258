// Hexadecimal word text of a binary image (a C array initialiser of its bit stream).
// (The 1-bit BMP reader and writer are the IMGBIN members LeBmp and ImpBmp.)
//
// ImpHex and __ImpBit share one process-wide word buffer: not thread-safe.
#pragma once

#include <cstdio>
#include <string>

#include "images/images.h"

#pragma GCC visibility push(default)

void ImpHex(const IMGBIN& img, const std::string& name);
// Appends one bit to the word text being written to f.
void __ImpBit(FILE* f, bool bit);

#pragma GCC visibility pop
