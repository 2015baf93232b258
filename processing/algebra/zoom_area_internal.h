// The area zoom's shared steps: which outputs the source indices go to (zoom_area_targets.cpp),
// and the shrink both ways of grey and colour images (zoom_area_shrink.cpp). Library sources only.
#pragma once

#include <vector>

#include "images/image_core_internal.h"

namespace vistelmo {

// Output index of each source index when shrinking: round(j f), clamped to the last output.
// An index below 0 (no output, or a negative factor) fails as the count vector's access does;
// so does a position that is not a number (an infinite factor times 0).
std::vector<int> shrink_targets(int from, int to, double f);

// Source indices of each output index: first[c] .. first[c + 1] index members, ascending.
struct Groups {
  std::vector<int> first, members;
  int count(int c) const { return first[c + 1] - first[c]; }
};
Groups groups(const std::vector<int>& target, int to);

// a shrunk both ways (factors fatl, fatc below 1) into r, as the two area passes and the
// conversion to bytes make it. False, with nothing written, when a group is empty.
bool grey_shrink(const IMGGRY& a, IMGGRY& r, double fatl, double fatc);
// The same on each channel of a colour image, as on its planes.
bool colour_shrink(const IMGCOR& a, IMGCOR& r, double fatl, double fatc);

}  // namespace vistelmo
