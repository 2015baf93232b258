// Volumes written as TGA slice sequences: slice s goes to base + "%03d" + ".tga".
#include <cstdio>
#include <string>

#include "volumes/volumes.h"

namespace {

std::string slice_name(const std::string& base, int s) {
  char number[16];
  std::snprintf(number, sizeof number, "%03d", s);
  return base + number + ".tga";
}

// Writes every slice through out, an image of the written type reused from slice to slice.
template <class Vol, class Out>
void write_slices(const Vol& v, const std::string& base, Out& out) {
  for (int s = 0; s < v.ns; s++) {
    out = v(s);
    out.ImpTga(slice_name(base, s));
  }
}

}  // namespace

void I3DGRY::ImpTga(const std::string& base) const {
  for (int s = 0; s < ns; s++) (*this)(s).ImpTga(slice_name(base, s));
}

// The colour writer reorders a slice's pixels in place: it gets a copy.
void I3DCOR::ImpTga(const std::string& base) const {
  IMGCOR out;
  write_slices(*this, base, out);
}

void I3DSHT::ImpTga(const std::string& base) const {
  IMGGRY out;
  write_slices(*this, base, out);
}

void I3DFLT::ImpTga(const std::string& base) const {
  IMGGRY out;
  write_slices(*this, base, out);
}
