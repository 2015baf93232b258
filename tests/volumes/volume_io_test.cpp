// Volumes by file name: writer choice by suffix, reader choice by content, refusals.
#include <string>

#include "support/test_support.h"
#include "volume_fixtures.h"
#include "volumes/volume_io.h"

namespace {

using testutil::file_exists;
using testutil::read_bytes;

class VolumeIo : public testutil::TempDir {};

template <class P>
P value(int k) {
  return static_cast<P>(k);
}
template <>
COR value<COR>(int k) {
  return COR{static_cast<unsigned char>(k), static_cast<unsigned char>(3 * k),
             static_cast<unsigned char>(255 - k)};
}

template <class Vol>
Vol sample(int ns, int nl, int nc) {
  Vol v(ns, nl, nc);
  int k = 0;
  for (int s = 0; s < ns; s++)
    for (int l = 0; l < nl; l++)
      for (int c = 0; c < nc; c++) v(s, l, c) = value<typename Vol::Pixel>(k++ % 7);
  return v;
}

TEST_F(VolumeIo, ImgRoundTripsOfTheNumericVolumes) {
  const I3DFLT f = sample<I3DFLT>(2, 3, 4);
  imp(f, path("f.img"));
  EXPECT_EQ(read_bytes(path("f.img")).size(), 164u);
  I3DFLT f2;
  le(f2, path("f.img"));
  EXPECT_TRUE(same_voxels(f, f2));

  const I3DSHT s = sample<I3DSHT>(3, 2, 2);
  imp(s, path("s.img"));
  I3DSHT s2;
  le(s2, path("s.img"));
  EXPECT_TRUE(same_voxels(s, s2));

  I3DCPX c = sample<I3DCPX>(2, 2, 3);
  c(1, 1, 2) = {1.5f, -2.5f};
  imp(c, path("c.img"));
  I3DCPX c2;
  le(c2, path("c.img"));
  EXPECT_TRUE(same_voxels(c, c2));
}

TEST_F(VolumeIo, SuffixIsComparedInLowerCaseAndItsNumberDropped) {
  const I3DFLT f = sample<I3DFLT>(1, 2, 2);
  imp(f, path("VOL.IMG"));
  EXPECT_TRUE(file_exists(path("VOL.IMG")));
  EXPECT_FALSE(file_exists(path("vol.img")));
  imp(f, path("vol.img5"));
  EXPECT_TRUE(file_exists(path("vol.img")));
  EXPECT_FALSE(file_exists(path("vol.img5")));
  EXPECT_EQ(read_bytes(path("vol.img")), read_bytes(path("VOL.IMG")));
}

TEST_F(VolumeIo, NameWithoutDotWritesASliceSequence) {
  imp(sample<I3DFLT>(2, 1, 1), path("f"));
  imp(sample<I3DSHT>(2, 1, 1), path("s"));
  imp(sample<I3DCOR>(2, 1, 1), path("c"));
  imp(sample<I3DGRY>(2, 1, 1), path("g"));
  for (const char* base : {"f", "s", "c", "g"}) {
    EXPECT_TRUE(file_exists(path(std::string(base) + "000.tga"))) << base;
    EXPECT_TRUE(file_exists(path(std::string(base) + "001.tga"))) << base;
    EXPECT_FALSE(file_exists(path(std::string(base) + "002.tga"))) << base;
  }
  // The grey sequence holds the slices as the TGA writer gives them.
  I3DGRY g = sample<I3DGRY>(1, 2, 2);
  imp(g, path("h"));
  IMGGRY back;
  back.LeTga(path("h000.tga"));
  EXPECT_EQ(back(1, 1), g(0, 1, 1));
}

struct Refusal {
  std::string suffix;
  int kind;  // 0 I3DCPX, 1 I3DFLT, 2 I3DSHT, 3 I3DCOR, 4 I3DGRY
};

const char* const kRefusal[] = {
    " Erro: deve imprimir I3DCPX como IMG",
    " Erro: deve imprimir I3DFLT como IMG ou seq de TGA (nome sem extensao)",
    " Erro: deve imprimir I3DSHT como IMG ou seq de TGA (nome sem extensao)",
    " Erro: deve imprimir I3DCOR como seq de TGA (nome sem extensao) ou AVI",
    " Erro: deve imprimir I3DGRY como seq de TGA (nome sem extensao) ou AVI",
};

void write_kind(int kind, const std::string& name) {
  switch (kind) {
    case 0:
      return imp(I3DCPX(1, 1, 1), name);
    case 1:
      return imp(I3DFLT(1, 1, 1), name);
    case 2:
      return imp(I3DSHT(1, 1, 1), name);
    case 3:
      return imp(I3DCOR(1, 1, 1), name);
    case 4:
      return imp(I3DGRY(1, 1, 1), name);
  }
}

TEST_F(VolumeIo, UnacceptedSuffixesAreRefusedWithTheNameAsGiven) {
  const Refusal cases[] = {
      {".tga", 0}, {".tga", 1}, {".tga", 2}, {".tga", 3},  {".tga", 4}, {"", 0},
      {".avi", 0}, {".avi", 2}, {".img", 3}, {".img", 4},  {".jpg", 1}, {".bmp", 2},
      {".pgm", 4}, {".xyz", 1}, {".txt", 0}, {".tga7", 3}, {".ppm", 3}, {".img", 4},
  };
  for (const Refusal& r : cases) {
    SCOPED_TRACE(r.suffix + " " + std::to_string(r.kind));
    const std::string name = path("vol" + r.suffix);
    EXPECT_ERRO(write_kind(r.kind, name), name, kRefusal[r.kind]);
  }
  EXPECT_FALSE(file_exists(path("vol.tga")));
  EXPECT_FALSE(file_exists(path("vol000.tga")));
  EXPECT_ERRO(write_kind(1, ""), "Erro: nome arquivo invalido", "");
  EXPECT_ERRO(write_kind(1, path("v.imgx")), "Erro suf do arquivo: numero apos suf", "");
}

TEST_F(VolumeIo, ReadersAcceptOnlyTheirOwnContent) {
  imp(sample<I3DSHT>(1, 2, 2), path("s.img"));
  imp(sample<I3DFLT>(1, 2, 2), path("f.img"));
  imp(sample<I3DCPX>(1, 2, 2), path("c.img"));
  IMGFLT(2, 2, 0.5f).ImpImg(path("plain.img"));
  IMGGRY(2, 2, 9).ImpTga(path("g.tga"));

  I3DFLT f;
  I3DSHT s;
  I3DCPX c;
  I3DCOR k;
  I3DGRY g;
  EXPECT_ERRO(le(f, path("s.img")), "Tipo de imagem invalido-1 ", path("s.img"));
  EXPECT_ERRO(le(f, path("plain.img")), "Tipo de imagem invalido-1 ", path("plain.img"));
  EXPECT_ERRO(le(s, path("f.img")), "Tipo de imagem invalido ", path("f.img"));
  EXPECT_ERRO(le(c, path("s.img")), "Tipo de imagem invalido ", path("s.img"));
  EXPECT_ERRO(le(c, path("plain.img")), "Tipo de imagem invalido ", path("plain.img"));
  EXPECT_ERRO(le(k, path("c.img")), "Tipo de imagem invalido ", path("c.img"));
  EXPECT_ERRO(le(g, path("f.img")), "Tipo de imagem invalido ", path("f.img"));
  EXPECT_ERRO(le(g, path("g.tga")), "Tipo de imagem invalido ", path("g.tga"));
  EXPECT_ERRO(le(f, path("missing.img")), "Erro TipoImg - Abertura ", path("missing.img"));

  // A refused file leaves the volume as it was.
  I3DSHT kept = sample<I3DSHT>(2, 1, 1);
  EXPECT_ERRO(le(kept, path("f.img")), "Tipo de imagem invalido ", path("f.img"));
  EXPECT_EQ(kept.ns(), 2);
}

TEST_F(VolumeIo, AviRoundTripsOfColourAndGreyVolumes) {
  I3DCOR c = sample<I3DCOR>(3, 2, 5);
  c.fd = 40000;
  imp(c, path("c.avi"));
  I3DCOR c2;
  le(c2, path("c.avi"));
  EXPECT_TRUE(same_voxels(c, c2));
  EXPECT_EQ(c2.fd, 40000);

  const I3DGRY g = sample<I3DGRY>(2, 3, 3);
  imp(g, path("g.has"));
  I3DGRY g2;
  le(g2, path("g.has"));
  EXPECT_TRUE(same_voxels(g, g2));

  // An 8-bit AVI read as float goes through grey.
  I3DFLT f;
  le(f, path("g.has"));
  ASSERT_EQ(f.ns(), 2);
  for (int s = 0; s < 2; s++) {
    const IMGFLT want(g(s));
    for (int k = 0; k < 9; k++) EXPECT_EQ(f(s).data[k], want.data[k]);
  }
}

TEST_F(VolumeIo, FloatVolumesBecomeGreyAvi) {
  I3DFLT f(2, 2, 2);
  const float x[] = {-1.0f, 0.0f, 0.5f, 0.25f, 1.0f, 3.0f, 0.999f, 0.004f};
  for (int k = 0; k < 8; k++) f(k / 4).data[k % 4] = x[k];
  imp(f, path("f.avi25"));
  EXPECT_TRUE(file_exists(path("f.avi")));
  EXPECT_FALSE(file_exists(path("f.avi25")));
  I3DGRY g;
  le(g, path("f.avi"));
  ASSERT_EQ(g.ns(), 2);
  for (int s = 0; s < 2; s++) {
    const IMGGRY want(f(s));
    for (int k = 0; k < 4; k++) EXPECT_EQ(g(s).data[k], want.data[k]);
  }
}

TEST_F(VolumeIo, AviDepthMustMatchTheVolume) {
  imp(sample<I3DCOR>(1, 2, 2), path("c.avi"));
  imp(sample<I3DGRY>(1, 2, 2), path("g.avi"));
  I3DGRY g;
  I3DFLT f;
  I3DCOR c;
  I3DSHT s;
  EXPECT_ERRO(le(g, path("c.avi")), "Tipo de imagem invalido ", path("c.avi"));
  EXPECT_ERRO(le(f, path("c.avi")), "Tipo de imagem invalido-1 ", path("c.avi"));
  EXPECT_ERRO(le(c, path("g.avi")), "Tipo de imagem invalido ", path("g.avi"));
  EXPECT_ERRO(le(s, path("g.avi")), "Tipo de imagem invalido ", path("g.avi"));
}

}  // namespace
