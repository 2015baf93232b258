// JPEG files through libjpeg: baseline writing at a quality, reading of any JPEG.
#pragma once

#include <string>

#include "images/images.h"

void ImpJpg(const IMGGRY& img, const std::string& name, int quality);
void ImpJpg(const IMGCOR& img, const std::string& name, int quality);
void LeJpg(IMGGRY& img, const std::string& name);
void LeJpg(IMGCOR& img, const std::string& name);
