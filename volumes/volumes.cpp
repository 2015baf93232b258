// Construction, storage, copies and fills of the volume classes; min-max normalisation.
#include "volumes/volumes.h"

#include "volumes/volume_core_internal.h"

#define VISTELMO_DEFINE_VOLUME(VOL)                                                  \
  VOL::VOL(int ns, int nl, int nc) : backg() { aloca(ns, nl, nc); }                  \
  VOL::VOL(const VOL& a) : backg() { vistelmo::construct_copy3(*this, a); }          \
  VOL::~VOL() { delete[] slices; }                                                   \
  void VOL::aloca(int ns, int nl, int nc) { vistelmo::aloca3(*this, ns, nl, nc); }   \
  void VOL::desaloca() { vistelmo::desaloca3(*this); }                               \
  void VOL::copia(const VOL& a) { vistelmo::copia3(*this, a); }                      \
  void VOL::resize(int ns, int nl, int nc) { vistelmo::resize3(*this, ns, nl, nc); } \
  VOL& VOL::operator=(const VOL& a) { return vistelmo::assign3(*this, a); }          \
  void VOL::fill(Pixel v) { vistelmo::fill3(*this, v); }

VISTELMO_DEFINE_VOLUME(I3DGRY)
VISTELMO_DEFINE_VOLUME(I3DCOR)
VISTELMO_DEFINE_VOLUME(I3DSHT)
VISTELMO_DEFINE_VOLUME(I3DFLT)
VISTELMO_DEFINE_VOLUME(I3DCPX)

#define VISTELMO_DEFINE_VOLUME4(VOL)                                                             \
  VOL::VOL(int nv, int ns, int nl, int nc) : backg() { aloca(nv, ns, nl, nc); }                  \
  VOL::VOL(const VOL& a) : backg() { vistelmo::construct_copy4(*this, a); }                      \
  VOL::~VOL() { delete[] volumes; }                                                              \
  void VOL::aloca(int nv, int ns, int nl, int nc) { vistelmo::aloca4(*this, nv, ns, nl, nc); }   \
  void VOL::desaloca() { vistelmo::desaloca4(*this); }                                           \
  void VOL::copia(const VOL& a) { vistelmo::copia4(*this, a); }                                  \
  void VOL::resize(int nv, int ns, int nl, int nc) { vistelmo::resize4(*this, nv, ns, nl, nc); } \
  VOL& VOL::operator=(const VOL& a) { return vistelmo::assign4(*this, a); }                      \
  void VOL::fill(Pixel x) { vistelmo::fill4(*this, x); }

VISTELMO_DEFINE_VOLUME4(I4DGRY)
VISTELMO_DEFINE_VOLUME4(I4DSHT)
VISTELMO_DEFINE_VOLUME4(I4DFLT)

void normaliza(I3DFLT& a) {
  float lo = a(0, 0, 0), hi = lo;
  if (a.ns < 1 || a.nl < 1 || a.nc < 1) return;
  const int count = a.nl * a.nc;
  for (int s = 0; s < a.ns; s++) {
    const float* p = a.slices[s].data;
    for (int k = 0; k < count; k++) {
      const float x = p[k];
      lo = (x > lo) ? lo : x;
      hi = (hi > x) ? hi : x;
    }
  }
  const double d = static_cast<double>(hi) - static_cast<double>(lo);
  for (int s = 0; s < a.ns; s++) {
    float* p = a.slices[s].data;
    for (int k = 0; k < count; k++) p[k] = static_cast<float>((static_cast<double>(p[k]) - lo) / d);
  }
}
