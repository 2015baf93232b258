// Volumes written as TGA slice sequences: names, bytes, conversions, failures and a netpbm peer.
#include <cstdio>
#include <string>

#include "support/test_support.h"
#include "volumes/volumes.h"

namespace {

using testutil::file_exists;
using testutil::read_bytes;
using Bytes = std::vector<unsigned char>;

// The 18-byte header the 2D writers give an uncompressed top-left image.
Bytes tga_header(int image_type, int nl, int nc, int depth) {
  Bytes b(18, 0);
  b[2] = static_cast<unsigned char>(image_type);
  b[12] = static_cast<unsigned char>(nc);
  b[13] = static_cast<unsigned char>(nc >> 8);
  b[14] = static_cast<unsigned char>(nl);
  b[15] = static_cast<unsigned char>(nl >> 8);
  b[16] = static_cast<unsigned char>(depth);
  b[17] = 0x20;
  return b;
}

Bytes grey_file(int nl, int nc, const Bytes& pixels) {
  Bytes b = tga_header(3, nl, nc, 8);
  b.insert(b.end(), pixels.begin(), pixels.end());
  return b;
}

// Pixels of a P6 file, as r, g, b bytes.
Bytes read_ppm(const std::string& name, int& nl, int& nc) {
  Bytes all = read_bytes(name);
  std::string text(all.begin(), all.end());
  int maxval = 0, used = 0;
  if (std::sscanf(text.c_str(), "P6 %d %d %d%n", &nc, &nl, &maxval, &used) != 3) return {};
  return Bytes(all.begin() + used + 1, all.end());
}

class VolumeTga : public testutil::TempDir {};

TEST_F(VolumeTga, GreySlicesGoToNumberedFiles) {
  I3DGRY v(3, 2, 3);
  for (int s = 0; s < 3; s++)
    for (int k = 0; k < 6; k++) v(s).data[k] = static_cast<unsigned char>(40 * s + 7 * k + 1);
  v(1).lc = 0;
  ASSERT_EQ(testutil::run("mkdir " + path("out")), 0);
  v.ImpTga(path("out/b"));
  for (int s = 0; s < 3; s++) {
    char name[16];
    std::snprintf(name, sizeof name, "out/b%03d.tga", s);
    Bytes px(v(s).data, v(s).data + 6);
    EXPECT_EQ(read_bytes(path(name)), grey_file(2, 3, px)) << name;
  }
  EXPECT_FALSE(file_exists(path("out/b003.tga")));
}

TEST_F(VolumeTga, NumbersWidenPastThreeDigits) {
  I3DGRY v(1001, 1, 1);
  for (int s = 0; s < 1001; s++) v(s, 0, 0) = static_cast<unsigned char>(s);
  v.ImpTga(path("v"));
  EXPECT_TRUE(file_exists(path("v000.tga")));
  EXPECT_EQ(read_bytes(path("v999.tga")).back(), static_cast<unsigned char>(999));
  EXPECT_EQ(read_bytes(path("v1000.tga")).back(), static_cast<unsigned char>(1000));
  EXPECT_FALSE(file_exists(path("v1001.tga")));
}

TEST_F(VolumeTga, ShortAndFloatSlicesAreConvertedToGrey) {
  I3DFLT f(2, 1, 4);
  const float x[] = {-0.5f, 0.25f, 0.5f, 2.0f};
  for (int c = 0; c < 4; c++) {
    f(0, 0, c) = x[c];
    f(1, 0, c) = x[3 - c];
  }
  f.ImpTga(path("f"));
  EXPECT_EQ(read_bytes(path("f000.tga")), grey_file(1, 4, {0, 63, 127, 255}));
  EXPECT_EQ(read_bytes(path("f001.tga")), grey_file(1, 4, {255, 127, 63, 0}));
  EXPECT_EQ(f(0, 0, 0), -0.5f);  // the volume is not changed

  I3DSHT s(1, 3, 1);
  s(0, 0, 0) = -7;
  s(0, 1, 0) = 100;
  s(0, 2, 0) = 300;
  s.ImpTga(path("s"));
  EXPECT_EQ(read_bytes(path("s000.tga")), grey_file(3, 1, {0, 100, 255}));
  EXPECT_EQ(s(0, 2, 0), 300);
}

TEST_F(VolumeTga, ColourSlicesAre24BitAndTheVolumeStaysAsItWas) {
  I3DCOR v(2, 2, 2);
  for (int s = 0; s < 2; s++)
    for (int k = 0; k < 4; k++)
      v(s).data[k] =
          COR{static_cast<unsigned char>(10 * k + s), static_cast<unsigned char>(100 + k),
              static_cast<unsigned char>(200 + k + s)};
  v.fd = 40000;
  const I3DCOR copy(v);
  v.ImpTga(path("c"));
  for (int s = 0; s < 2; s++) {
    Bytes want = tga_header(2, 2, 2, 24);
    for (int k = 0; k < 4; k++) {
      const COR c = v(s).data[k];
      want.insert(want.end(), {c.b, c.g, c.r});
    }
    EXPECT_EQ(read_bytes(path(s == 0 ? "c000.tga" : "c001.tga")), want);
    for (int k = 0; k < 4; k++) EXPECT_TRUE(v(s).data[k] == copy(s).data[k]);
  }
}

TEST_F(VolumeTga, EmptyVolumesWriteNothing) {
  I3DGRY(0, 4, 4).ImpTga(path("g"));
  I3DCOR(-1, 4, 4).ImpTga(path("c"));
  I3DSHT(0, 1, 1).ImpTga(path("s"));
  I3DFLT(0, 1, 1).ImpTga(path("f"));
  for (const char* n : {"g000.tga", "c000.tga", "s000.tga", "f000.tga"})
    EXPECT_FALSE(file_exists(path(n))) << n;
}

TEST_F(VolumeTga, FailuresAreTheSliceWritersOwn) {
  const std::string base = path("none/v");
  EXPECT_ERRO(I3DGRY(1, 1, 1).ImpTga(base), "Erro IMGGRY::imp - Abertura de ", base + "000.tga");
  EXPECT_ERRO(I3DSHT(1, 1, 1).ImpTga(base), "Erro IMGGRY::imp - Abertura de ", base + "000.tga");
  EXPECT_ERRO(I3DFLT(1, 1, 1).ImpTga(base), "Erro IMGGRY::imp - Abertura de ", base + "000.tga");
  EXPECT_ERRO(I3DCOR(1, 1, 1).ImpTga(base), "Erro IMGCOR::ImpTga - Abertura ", base + "000.tga");
  EXPECT_ERRO(I3DGRY(1, 1, 70000).ImpTga(path("w")), "Erro: Imagem muito grande para TGA", "");
  EXPECT_ERRO(I3DCOR(1, 70000, 1).ImpTga(path("w")), "Erro: Imagem muito grande para TGA", "");
}

TEST_F(VolumeTga, NetpbmReadsTheSlices) {
  REQUIRE_TOOL("tgatoppm");
  I3DCOR v(2, 3, 5);
  for (int s = 0; s < 2; s++)
    for (int k = 0; k < 15; k++)
      v(s).data[k] = COR{static_cast<unsigned char>(17 * k), static_cast<unsigned char>(50 * s + k),
                         static_cast<unsigned char>(255 - 9 * k)};
  v.ImpTga(path("c"));
  for (int s = 0; s < 2; s++) {
    const std::string tga = path(s == 0 ? "c000.tga" : "c001.tga"), ppm = path("c.ppm");
    ASSERT_EQ(testutil::run("tgatoppm " + tga + " > " + ppm + " 2>/dev/null"), 0);
    int nl = 0, nc = 0;
    Bytes rgb = read_ppm(ppm, nl, nc);
    EXPECT_EQ(nl, 3);
    EXPECT_EQ(nc, 5);
    Bytes want;
    for (int k = 0; k < 15; k++)
      want.insert(want.end(), {v(s).data[k].r, v(s).data[k].g, v(s).data[k].b});
    EXPECT_EQ(rgb, want);
  }

  I3DGRY g(1, 2, 3);
  for (int k = 0; k < 6; k++) g(0).data[k] = static_cast<unsigned char>(40 * k + 3);
  g.ImpTga(path("g"));
  ASSERT_EQ(testutil::run("tgatoppm " + path("g000.tga") + " > " + path("g.ppm") + " 2>/dev/null"),
            0);
  int nl = 0, nc = 0;
  Bytes rgb = read_ppm(path("g.ppm"), nl, nc);
  ASSERT_EQ(rgb.size(), 18u);
  for (int k = 0; k < 6; k++) EXPECT_EQ(rgb[3 * k], g(0).data[k]);
}

}  // namespace
