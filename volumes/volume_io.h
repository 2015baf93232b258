// Reading and writing the 3D volumes by file name: the format comes from the file's content
// when reading and from the name's suffix when writing.
//   imp: suffix "img" the volume IMG file (I3DSHT, I3DFLT, I3DCPX); no suffix a TGA slice
//        sequence (all but I3DCPX); "avi" an uncompressed AVI (I3DFLT, I3DCOR, I3DGRY).
//   le:  volume IMG files of the volume's own class; 8-bit AVI into I3DGRY and I3DFLT,
//        24-bit AVI into I3DCOR.
#pragma once

#include <string>

#include "volumes/volumes.h"

#pragma GCC visibility push(default)

void le(I3DCPX& v, const std::string& name);
void le(I3DFLT& v, const std::string& name);
void le(I3DSHT& v, const std::string& name);
void le(I3DCOR& v, const std::string& name);
void le(I3DGRY& v, const std::string& name);

void imp(const I3DCPX& v, const std::string& name);
void imp(const I3DFLT& v, const std::string& name);
void imp(const I3DSHT& v, const std::string& name);
void imp(const I3DCOR& v, const std::string& name);
void imp(const I3DGRY& v, const std::string& name);

#pragma GCC visibility pop
