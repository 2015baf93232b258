// Hexadecimal word text of a binary image (a C array initialiser of its bit stream).
#pragma once

#include <cstdio>
#include <string>

#include "images/images.h"

void ImpHex(const IMGBIN& img, const std::string& name);
// Appends one bit to the word text being written to f.
void __ImpBit(FILE* f, bool bit);
