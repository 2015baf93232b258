// Helpers shared by the volume tests.
#pragma once

// True when both volumes have the same sizes and voxels.
template <class Vol>
bool same_voxels(const Vol& a, const Vol& b) {
  if (a.ns != b.ns || a.nl != b.nl || a.nc != b.nc) return false;
  for (int s = 0; s < a.ns; s++)
    for (int l = 0; l < a.nl; l++)
      for (int c = 0; c < a.nc; c++)
        if (!(a(s, l, c) == b(s, l, c))) return false;
  return true;
}
