// Reading and writing any 2D image by file name: the format comes from the content when
// reading and from the name's suffix when writing.
#pragma once

#include <string>

#include "images/images.h"

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
