// Volumes: stacks of 2D slices (I3DGRY, I3DCOR, I3DSHT, I3DFLT, I3DCPX) and stacks of volumes
// (I4DGRY, I4DSHT, I4DFLT).
//
// Every class owns one array of slices (or volumes), all of nl by nc pixels. Fields are public
// and in a fixed order. v(s) is the checked slice access; v(s, l, c) the voxel access, which
// gives the outside value backg for any position outside the volume.
// The AVI reader keeps process-wide state: read AVI files from one thread at a time.
#pragma once

#include <complex>
#include <cstdint>
#include <cstdio>
#include <string>

#include "foundation/erro.h"
#include "foundation/int_field.h"
#include "foundation/vetor.h"
#include "images/cor.h"
#include "images/images.h"

#pragma GCC visibility push(default)

// Members shared by the 3D classes; SLICE is the 2D image type, PIXEL its element type.
#define VISTELMO_VOLUME_COMMON(VOL, SLICE, PIXEL)                                         \
  using Slice = SLICE;                                                                    \
  using Pixel = PIXEL;                                                                    \
  VOL(int ns = 0, int nl = 0, int nc = 0);                                                \
  VOL(const VOL& a);                                                                      \
  ~VOL();                                                                                 \
  void aloca(int ns, int nl, int nc);                                                     \
  void desaloca();                                                                        \
  void copia(const VOL& a);                                                               \
  void resize(int ns, int nl, int nc);                                                    \
  VOL& operator=(const VOL& a);                                                           \
  void fill(PIXEL v);                                                                     \
  SLICE& operator()(int s) {                                                              \
    if (s < 0 || s >= ns.v) erro("Erro " #VOL "::operator() - Indice invalido", "");      \
    return slices[s];                                                                     \
  }                                                                                       \
  const SLICE& operator()(int s) const { return const_cast<VOL&>(*this)(s); }             \
  PIXEL& operator()(int s, int l, int c) {                                                \
    if (s >= 0 && s < ns.v && l >= 0 && l < nl.v && c >= 0 && c < nc.v && slices[s].rows) \
      return slices[s].rows[l][c];                                                        \
    return backg;                                                                         \
  }                                                                                       \
  const PIXEL& operator()(int s, int l, int c) const { return const_cast<VOL&>(*this)(s, l, c); }

// Members shared by the 4D classes; VOL3 is the 3D type of each volume.
#define VISTELMO_VOLUME4_COMMON(VOL, VOL3, PIXEL)                                      \
  using Volume = VOL3;                                                                 \
  using Pixel = PIXEL;                                                                 \
  VOL(int nv = 0, int ns = 0, int nl = 0, int nc = 0);                                 \
  VOL(const VOL& a);                                                                   \
  ~VOL();                                                                              \
  void aloca(int nv, int ns, int nl, int nc);                                          \
  void desaloca();                                                                     \
  void copia(const VOL& a);                                                            \
  void resize(int nv, int ns, int nl, int nc);                                         \
  VOL& operator=(const VOL& a);                                                        \
  void fill(PIXEL x);                                                                  \
  VOL3& operator()(int v) {                                                            \
    if (v < 0 || v >= nv.v) erro("Erro " #VOL "::operator() - Indice invalido 1", ""); \
    return volumes[v];                                                                 \
  }                                                                                    \
  const VOL3& operator()(int v) const { return const_cast<VOL&>(*this)(v); }           \
  VOL3::Slice& operator()(int v, int s) {                                              \
    if (v < 0 || v >= nv.v) erro("Erro " #VOL "::operator() - Indice invalido 2", ""); \
    return volumes[v](s);                                                              \
  }                                                                                    \
  const VOL3::Slice& operator()(int v, int s) const { return const_cast<VOL&>(*this)(v, s); }

class I3DGRY {
 public:
  IMGGRY* slices;
  unsigned char backg;
  IntField ns;
  IntField nl;
  IntField nc;

  VISTELMO_VOLUME_COMMON(I3DGRY, IMGGRY, unsigned char)
  // Writes slice s to base followed by s ("%03d") and ".tga".
  void ImpTga(const std::string& base) const;
};

class I3DCOR {
 public:
  IMGCOR* slices;
  COR backg;
  IntField ns;
  IntField nl;
  IntField nc;
  int fd;  // frame time in microseconds (AVI); 250000 after every allocation

  VISTELMO_VOLUME_COMMON(I3DCOR, IMGCOR, COR)
  void ImpTga(const std::string& base) const;
};

class I3DSHT {
 public:
  IMGSHT* slices;
  short backg;
  IntField ns;
  IntField nl;
  IntField nc;

  VISTELMO_VOLUME_COMMON(I3DSHT, IMGSHT, short)
  // Slices are written as grey: below 0 gives 0, above 255 gives 255.
  void ImpTga(const std::string& base) const;
  void ImpImg(const std::string& name) const;
  void LeImg(const std::string& name);
};

class I3DFLT {
 public:
  IMGFLT* slices;
  float backg;
  IntField ns;
  IntField nl;
  IntField nc;

  VISTELMO_VOLUME_COMMON(I3DFLT, IMGFLT, float)
  // Slices are written as grey: the value clamped to 0..1, times 255, truncated.
  void ImpTga(const std::string& base) const;
  void ImpImg(const std::string& name) const;
  void LeImg(const std::string& name);
};

class I3DCPX {
 public:
  IMGCPX* slices;
  std::complex<float> backg;
  IntField ns;
  IntField nl;
  IntField nc;

  VISTELMO_VOLUME_COMMON(I3DCPX, IMGCPX, std::complex<float>)
  void ImpImg(const std::string& name) const;
  void LeImg(const std::string& name);
};

class I4DGRY {
 public:
  I3DGRY* volumes;
  unsigned char backg;
  IntField nv;
  IntField ns;
  IntField nl;
  IntField nc;

  VISTELMO_VOLUME4_COMMON(I4DGRY, I3DGRY, unsigned char)
};

class I4DSHT {
 public:
  I3DSHT* volumes;
  short backg;
  IntField nv;
  IntField ns;
  IntField nl;
  IntField nc;

  VISTELMO_VOLUME4_COMMON(I4DSHT, I3DSHT, short)
};

class I4DFLT {
 public:
  I3DFLT* volumes;
  float backg;
  IntField nv;
  IntField ns;
  IntField nl;
  IntField nc;

  VISTELMO_VOLUME4_COMMON(I4DFLT, I3DFLT, float)
};

#undef VISTELMO_VOLUME_COMMON
#undef VISTELMO_VOLUME4_COMMON

// Rescales the voxels in place to 0..1 by the volume's minimum and maximum.
void normaliza(I3DFLT& a);

// Uncompressed AVI, one frame per slice (avi_*.cpp).
// Bytes of a DIB row of v bytes: v rounded up to a multiple of 4.
int TamCol(int v);
void ImpAvi(const I3DCOR& v, const std::string& name);
void ImpAvi(const I3DGRY& v, const std::string& name);
void ImpAvi(const I3DFLT& v, const std::string& name);
void LeAvi(I3DCOR& v, const std::string& name);
void LeAvi(I3DGRY& v, const std::string& name);
void LeAvi(I3DFLT& v, const std::string& name);

// State of the colour reader LeAvi(I3DCOR&): one list function per level of the RIFF tree,
// each accounting exactly for the bytes of its list. Not re-entrant.
namespace NameLeAvi {

extern FILE* arq;                 // file of the read in progress
extern VETOR<unsigned char> buf;  // chunk data; 65536 bytes or one frame, whichever is larger
extern unsigned char ident[4];    // list or form type just read
extern unsigned char chunk[8];    // chunk header just read: code, then size (int32)
extern unsigned char* ch;         // views of buf set by the stream header,
extern uint16_t* wd;              // the stream format
extern int32_t* dw;               // and the main header
extern int32_t resta;             // unused

// Skips n bytes; returns n.
int pula(int n);
// Reads n bytes into p (at most buf.n); returns n.
int analex(void* p, int n);
// Each parses one list of size s (its type included), fills v and returns s.
int anariff(I3DCOR& v, int s);
int anahdrl(I3DCOR& v, int s);
int analist(I3DCOR& v, int s);
int anamovi(I3DCOR& v, int s);

}  // namespace NameLeAvi

#pragma GCC visibility pop
