// Storage rules shared by the volume classes. Library sources only.
#pragma once

#include <new>
#include <string>
#include <type_traits>

#include "foundation/erro.h"
#include "volumes/volumes.h"

namespace vistelmo {

// Name used in messages of each volume class.
template <class Vol>
struct VolumeTraits;
#define VISTELMO_VOLUME_NAME(VOL)             \
  template <>                                 \
  struct VolumeTraits<VOL> {                  \
    static constexpr const char* name = #VOL; \
  };
VISTELMO_VOLUME_NAME(I3DGRY)
VISTELMO_VOLUME_NAME(I3DCOR)
VISTELMO_VOLUME_NAME(I3DSHT)
VISTELMO_VOLUME_NAME(I3DFLT)
VISTELMO_VOLUME_NAME(I3DCPX)
VISTELMO_VOLUME_NAME(I4DGRY)
VISTELMO_VOLUME_NAME(I4DSHT)
VISTELMO_VOLUME_NAME(I4DFLT)
#undef VISTELMO_VOLUME_NAME

template <class Vol>
std::string volume_message(const char* method, const char* what) {
  return std::string("Erro ") + VolumeTraits<Vol>::name + "::" + method + " - " + what;
}

// Fields beyond the sizes and the outside value: the frame time of I3DCOR.
template <class Vol>
void reset_extra(Vol& v) {
  if constexpr (std::is_same_v<Vol, I3DCOR>) v.fd = 250000;
}
template <class Vol>
void copy_extra(Vol& dst, const Vol& src) {
  if constexpr (std::is_same_v<Vol, I3DCOR>) dst.fd = src.fd;
}

// One array of count elements, each default-constructed; fails with the class's message.
template <class Vol, class Elem>
Elem* allocate_array(int count) {
  Elem* p = new (std::nothrow) Elem[count];
  if (p == nullptr) erro(volume_message<Vol>("aloca", "Falta memoria"), "");
  return p;
}

// 3D volumes: ns slices of nl by nc.

template <class Vol>
void aloca3(Vol& v, int ns, int nl, int nc) {
  v.ns = ns;
  v.nl = nl;
  v.nc = nc;
  reset_extra(v);
  v.slices = nullptr;
  if (ns < 1) return;
  v.slices = allocate_array<Vol, typename Vol::Slice>(ns);
  for (int s = 0; s < ns; s++) v.slices[s].resize(nl, nc);
}

// Releases the slices; the volume is then empty (no slices, sizes 0).
template <class Vol>
void desaloca3(Vol& v) {
  delete[] v.slices;
  v.slices = nullptr;
  v.ns = 0;
  v.nl = 0;
  v.nc = 0;
}

template <class Vol>
bool same_size3(const Vol& v, int ns, int nl, int nc) {
  return v.ns == ns && v.nl == nl && v.nc == nc;
}

template <class Vol>
void copy_slices(Vol& dst, const Vol& src) {
  for (int s = 0; s < dst.ns; s++) dst.slices[s] = src.slices[s];
}

template <class Vol>
void construct_copy3(Vol& dst, const Vol& src) {
  dst.aloca(src.ns, src.nl, src.nc);
  dst.backg = src.backg;
  copy_extra(dst, src);
  copy_slices(dst, src);
}

// Copies into the existing storage. A source with fewer slices or slices of another size
// would leave this volume's slices unlike its own sizes (or read past the source): refused.
template <class Vol>
void copia3(Vol& dst, const Vol& src) {
  if (dst.ns > 0 && (src.ns < dst.ns || src.nl != dst.nl || src.nc != dst.nc))
    erro(volume_message<Vol>("copia", "Dimensoes diferentes"), "");
  dst.backg = src.backg;
  copy_extra(dst, src);
  copy_slices(dst, src);
}

template <class Vol>
void resize3(Vol& v, int ns, int nl, int nc) {
  if (same_size3(v, ns, nl, nc)) return;
  v.desaloca();
  v.aloca(ns, nl, nc);
}

template <class Vol>
Vol& assign3(Vol& dst, const Vol& src) {
  if (&dst == &src) return dst;
  if (!same_size3(dst, src.ns, src.nl, src.nc)) {
    dst.desaloca();
    dst.aloca(src.ns, src.nl, src.nc);
  }
  dst.backg = src.backg;
  copy_extra(dst, src);
  copy_slices(dst, src);
  return dst;
}

template <class Vol, class T>
void fill3(Vol& v, const T& x) {
  for (int s = 0; s < v.ns; s++) v.slices[s].fill(x);
}

// 4D images: nv volumes of ns slices of nl by nc.

template <class Vol>
void aloca4(Vol& v, int nv, int ns, int nl, int nc) {
  v.nv = nv;
  v.ns = ns;
  v.nl = nl;
  v.nc = nc;
  v.volumes = nullptr;
  if (nv < 1) return;
  v.volumes = allocate_array<Vol, typename Vol::Volume>(nv);
  for (int k = 0; k < nv; k++) v.volumes[k].resize(ns, nl, nc);
}

template <class Vol>
void desaloca4(Vol& v) {
  delete[] v.volumes;
  v.volumes = nullptr;
  v.nv = 0;
  v.ns = 0;
  v.nl = 0;
  v.nc = 0;
}

template <class Vol>
bool same_size4(const Vol& v, int nv, int ns, int nl, int nc) {
  return v.nv == nv && v.ns == ns && v.nl == nl && v.nc == nc;
}

template <class Vol>
void copy_volumes(Vol& dst, const Vol& src) {
  for (int k = 0; k < dst.nv; k++) dst.volumes[k] = src.volumes[k];
}

template <class Vol>
void construct_copy4(Vol& dst, const Vol& src) {
  dst.aloca(src.nv, src.ns, src.nl, src.nc);
  dst.backg = src.backg;
  copy_volumes(dst, src);
}

// Each volume is assigned (and resized) from the source's; the source must have as many.
template <class Vol>
void copia4(Vol& dst, const Vol& src) {
  if (src.nv < dst.nv) erro(volume_message<Vol>("copia", "Dimensoes diferentes"), "");
  dst.backg = src.backg;
  copy_volumes(dst, src);
}

template <class Vol>
void resize4(Vol& v, int nv, int ns, int nl, int nc) {
  if (same_size4(v, nv, ns, nl, nc)) return;
  v.desaloca();
  v.aloca(nv, ns, nl, nc);
}

template <class Vol>
Vol& assign4(Vol& dst, const Vol& src) {
  if (&dst == &src) return dst;
  if (!same_size4(dst, src.nv, src.ns, src.nl, src.nc)) {
    dst.desaloca();
    dst.aloca(src.nv, src.ns, src.nl, src.nc);
  }
  dst.backg = src.backg;
  copy_volumes(dst, src);
  return dst;
}

template <class Vol, class T>
void fill4(Vol& v, const T& x) {
  for (int k = 0; k < v.nv; k++) v.volumes[k].fill(x);
}

}  // namespace vistelmo
