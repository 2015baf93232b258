// JPEG files through libjpeg: baseline writing at a quality, reading of any JPEG.
//
// ImpJpg writes grey (one component) or colour (YCbCr) at quality 0..100; LeJpg reads any
// JPEG libjpeg decodes, into grey or colour. `imp(img, "a.jpg75")` of image_io.h calls ImpJpg
// with quality 75 (90 when the name carries no number).
#pragma once

#include <string>

#include "images/images.h"

#pragma GCC visibility push(default)

void ImpJpg(const IMGGRY& img, const std::string& name, int quality);
void ImpJpg(const IMGCOR& img, const std::string& name, int quality);
void LeJpg(IMGGRY& img, const std::string& name);
void LeJpg(IMGCOR& img, const std::string& name);

#pragma GCC visibility pop
