// Stream output of colours and images in the text matrix layout.
#pragma once

#include <ostream>

#include "images/images.h"

#pragma GCC visibility push(default)

std::ostream& operator<<(std::ostream& os, COR c);
std::ostream& operator<<(std::ostream& os, const IMGBIN& img);
std::ostream& operator<<(std::ostream& os, const IMGGRY& img);
std::ostream& operator<<(std::ostream& os, const IMGCOR& img);
std::ostream& operator<<(std::ostream& os, const IMGSHT& img);
std::ostream& operator<<(std::ostream& os, const IMGFLT& img);
std::ostream& operator<<(std::ostream& os, const IMGDBL& img);
std::ostream& operator<<(std::ostream& os, const IMGCPX& img);

#pragma GCC visibility pop
