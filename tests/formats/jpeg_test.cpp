// JPEG reading and writing: round trips, agreement with libjpeg-turbo's tools and ImageMagick,
// and every failure path.
#include <array>
#include <cstdlib>
#include <string>

#include "formats/image_io.h"
#include "formats/jpeg.h"
#include "formats/pnm.h"
#include "foundation/memory_limit.h"
#include "support/test_support.h"

namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;

// Smooth ramps, different in each channel, so flips and channel swaps show.
IMGGRY grey_ramp(int nl, int nc) {
  IMGGRY g(nl, nc);
  for (int l = 0; l < nl; l++)
    for (int c = 0; c < nc; c++) g(l, c) = static_cast<unsigned char>(20 + 3 * c + 2 * l);
  return g;
}

IMGCOR colour_ramp(int nl, int nc) {
  IMGCOR g(nl, nc);
  for (int l = 0; l < nl; l++)
    for (int c = 0; c < nc; c++)
      g(l, c) = COR{static_cast<unsigned char>(10 + 4 * c), static_cast<unsigned char>(30 + 5 * l),
                    static_cast<unsigned char>(200 - 2 * c - l)};
  return g;
}

std::array<int, 3> rgb(const COR& p) { return {p.r, p.g, p.b}; }

int max_diff(const IMGGRY& a, const IMGGRY& b) {
  EXPECT_EQ(a.nl(), b.nl());
  EXPECT_EQ(a.nc(), b.nc());
  int m = 0;
  for (int l = 0; l < a.nl(); l++)
    for (int c = 0; c < a.nc(); c++) m = std::max(m, std::abs(a(l, c) - b(l, c)));
  return m;
}

int max_diff(const IMGCOR& a, const IMGCOR& b) {
  EXPECT_EQ(a.nl(), b.nl());
  EXPECT_EQ(a.nc(), b.nc());
  int m = 0;
  for (int l = 0; l < a.nl(); l++)
    for (int c = 0; c < a.nc(); c++)
      for (int k = 0; k < 3; k++) m = std::max(m, std::abs(rgb(a(l, c))[k] - rgb(b(l, c))[k]));
  return m;
}

class Jpeg : public testutil::TempDir {
 protected:
  // Runs a shell command over files of the test's directory ({} stands for the directory).
  void sh(std::string cmd) {
    for (size_t p; (p = cmd.find("{}")) != std::string::npos;) cmd.replace(p, 2, dir());
    ASSERT_EQ(testutil::run(cmd), 0) << cmd;
  }
};

TEST_F(Jpeg, RoundTripOfSmoothRampsStaysClose) {
  IMGGRY g = grey_ramp(24, 40), rg;
  ImpJpg(g, path("g.jpg"), 95);
  LeJpg(rg, path("g.jpg"));
  EXPECT_EQ(rg.nl(), 24);
  EXPECT_EQ(rg.nc(), 40);
  EXPECT_LE(max_diff(rg, g), 2);

  IMGCOR c = colour_ramp(24, 40), rc;
  ImpJpg(c, path("c.jpg"), 95);
  LeJpg(rc, path("c.jpg"));
  EXPECT_LE(max_diff(rc, c), 6);
}

TEST_F(Jpeg, WriterMatchesCjpegAtTheSameQuality) {
  REQUIRE_TOOL("cjpeg");
  IMGCOR c = colour_ramp(17, 23);
  IMGGRY g = grey_ramp(9, 30);
  impppmb(c, path("c.ppm"));
  imppgmb(g, path("g.pgm"));
  ImpJpg(c, path("c.jpg"), 75);
  ImpJpg(g, path("g.jpg"), 40);
  sh("cjpeg -quality 75 {}/c.ppm > {}/c_ref.jpg && cjpeg -quality 40 {}/g.pgm > {}/g_ref.jpg");
  EXPECT_EQ(testutil::read_bytes(path("c.jpg")), testutil::read_bytes(path("c_ref.jpg")));
  EXPECT_EQ(testutil::read_bytes(path("g.jpg")), testutil::read_bytes(path("g_ref.jpg")));
}

TEST_F(Jpeg, DjpegAndImageMagickReadOurFiles) {
  REQUIRE_TOOL("djpeg");
  REQUIRE_TOOL("convert");
  IMGCOR c = colour_ramp(20, 33), ours, dj, im;
  ImpJpg(c, path("c.jpg"), 90);
  LeJpg(ours, path("c.jpg"));
  sh("djpeg -pnm {}/c.jpg > {}/dj.ppm && convert {}/c.jpg {}/im.ppm");
  leppmb(dj, path("dj.ppm"));
  leppmb(im, path("im.ppm"));
  EXPECT_EQ(max_diff(dj, ours), 0);
  EXPECT_LE(max_diff(im, ours), 1);
  EXPECT_LE(max_diff(ours, c), 8);

  IMGGRY g = grey_ramp(13, 21), gours, gdj, gim;
  ImpJpg(g, path("g.jpg"), 90);
  LeJpg(gours, path("g.jpg"));
  sh("djpeg -pnm {}/g.jpg > {}/dj.pgm && convert {}/g.jpg {}/im.pgm");
  lepgmb(gdj, path("dj.pgm"));
  lepgmb(gim, path("im.pgm"));
  EXPECT_EQ(max_diff(gdj, gours), 0);
  EXPECT_LE(max_diff(gim, gours), 1);
  EXPECT_LE(max_diff(gours, g), 2);
}

TEST_F(Jpeg, ReadsCjpegBaselineGreyscaleAndProgressive) {
  REQUIRE_TOOL("cjpeg");
  REQUIRE_TOOL("djpeg");
  IMGCOR c = colour_ramp(19, 26);
  impppmb(c, path("c.ppm"));
  sh("cjpeg -quality 92 {}/c.ppm > {}/base.jpg && cjpeg -progressive {}/c.ppm > {}/prog.jpg && "
     "cjpeg -grayscale {}/c.ppm > {}/grey.jpg && djpeg -pnm {}/base.jpg > {}/base.ppm && "
     "djpeg -pnm {}/prog.jpg > {}/prog.ppm && djpeg -pnm {}/grey.jpg > {}/grey.pgm");
  for (const char* name : {"base", "prog"}) {
    SCOPED_TRACE(name);
    IMGCOR ours, ref;
    LeJpg(ours, path(std::string(name) + ".jpg"));
    leppmb(ref, path(std::string(name) + ".ppm"));
    EXPECT_EQ(max_diff(ours, ref), 0);
    EXPECT_LE(max_diff(ours, c), 8);
    // A colour file read as grey averages the decoded channels.
    IMGGRY g;
    LeJpg(g, path(std::string(name) + ".jpg"));
    ASSERT_EQ(g.nc(), ours.nc());
    for (int l = 0; l < g.nl(); l++)
      for (int k = 0; k < g.nc(); k++) {
        const COR& p = ours(l, k);
        ASSERT_EQ(g(l, k), (p.r + p.g + p.b + 1) / 3) << l << "," << k;
      }
  }
  // A greyscale file: the decoded samples as they are, and (v, v, v) in a colour image.
  IMGGRY g, ref;
  IMGCOR gc;
  LeJpg(g, path("grey.jpg"));
  LeJpg(gc, path("grey.jpg"));
  lepgmb(ref, path("grey.pgm"));
  EXPECT_EQ(max_diff(g, ref), 0);
  ASSERT_EQ(gc.nl(), g.nl());
  ASSERT_EQ(gc.nc(), g.nc());
  for (int l = 0; l < g.nl(); l++)
    for (int k = 0; k < g.nc(); k++) {
      const int v = g(l, k);
      ASSERT_EQ(rgb(gc(l, k)), (std::array<int, 3>{v, v, v})) << l << "," << k;
    }
}

TEST_F(Jpeg, ReadsImageMagickFiles) {
  REQUIRE_TOOL("convert");
  REQUIRE_TOOL("djpeg");
  IMGCOR c = colour_ramp(15, 28), ours, ref;
  impppmb(c, path("c.ppm"));
  sh("convert {}/c.ppm -quality 93 {}/im.jpg && djpeg -pnm {}/im.jpg > {}/ref.ppm");
  LeJpg(ours, path("im.jpg"));
  leppmb(ref, path("ref.ppm"));
  EXPECT_EQ(max_diff(ours, ref), 0);
  EXPECT_LE(max_diff(ours, c), 8);
}

// ---- Failure paths ----

using JpegDeath = Jpeg;

TEST_F(JpegDeath, LibraryErrorsPrintTheirMessageThenErroLeituraJpg) {
  testutil::write_text(path("not.jpg"), "P5 1 1 255\n\x01");
  testutil::write_text(path("short.jpg"), "\xFF\xD8\xFF");
  const std::pair<const char*, const char*> cases[] = {
      {"not.jpg", "Not a JPEG file"}, {"short.jpg", "JPEG datastream contains no image"}};
  for (const auto& [name, message] : cases) {
    SCOPED_TRACE(name);
    const std::string file = path(name);
    auto both = AllOf(HasSubstr(message), HasSubstr(testutil::erro_line("Erro: Leitura JPG", "")));
    EXPECT_EXIT(
        {
          testutil::stdout_to_stderr();
          IMGGRY g;
          LeJpg(g, file);
        },
        ::testing::ExitedWithCode(1), both);
    EXPECT_EXIT(
        {
          testutil::stdout_to_stderr();
          IMGCOR c;
          LeJpg(c, file);
        },
        ::testing::ExitedWithCode(1), both);
  }
}

// Reads a file into a fresh image of either kind, under a memory cap.
template <class Img>
void read_capped(const std::string& name, rlim_t headroom_mb = 512) {
  testutil::limit_address_space(headroom_mb);
  Img im;
  LeJpg(im, name);
}

// Kelt's way in: a binary image read by name (through a grey one), under a memory cap.
void read_binary_capped(const std::string& name, rlim_t headroom_mb) {
  testutil::limit_address_space(headroom_mb);
  IMGBIN im(0, 0);
  le(im, name);
}

using Bytes = std::vector<unsigned char>;

// Offset of the first byte of the first marker `code` (0xFF, code).
size_t marker(const Bytes& b, unsigned char code) {
  for (size_t k = 0; k + 1 < b.size(); k++)
    if (b[k] == 0xFF && b[k + 1] == code) return k;
  ADD_FAILURE() << "no marker " << int(code);
  return 0;
}

TEST_F(JpegDeath, DataEndingBeforeThePictureIsCompleteIsRefused) {
  ImpJpg(colour_ramp(48, 64), path("c.jpg"), 90);
  const Bytes whole = testutil::read_bytes(path("c.jpg"));
  // 46000 by 46000 declared in front of the data of 64 by 48: 6 GB if sized and filled.
  Bytes huge = whole;
  const size_t sof = marker(huge, 0xC0);
  for (size_t k : {sof + 5, sof + 7}) {
    huge[k] = 46000 >> 8;
    huge[k + 1] = 46000 & 0xFF;
  }
  testutil::write_bytes(path("huge.jpg"), huge);
  // Cut in the middle of the rows.
  const size_t sos = marker(whole, 0xDA);
  testutil::write_bytes(path("cut.jpg"),
                        Bytes(whole.begin(), whole.begin() + sos + (whole.size() - sos) / 2));
  for (const char* name : {"huge.jpg", "cut.jpg"}) {
    SCOPED_TRACE(name);
    EXPECT_ERRO(read_capped<IMGCOR>(path(name)), "Erro LeJpg - Fim inesperado", "");
    EXPECT_ERRO(read_capped<IMGGRY>(path(name)), "Erro LeJpg - Fim inesperado", "");
  }
  if (testutil::have_tool("cjpeg")) {
    impppmb(colour_ramp(48, 64), path("c.ppm"));
    sh("cjpeg -progressive {}/c.ppm > {}/p.jpg");
    // Cut in the middle of the first scan's data: from its SOS to the next marker.
    const Bytes p = testutil::read_bytes(path("p.jpg"));
    const size_t start = marker(p, 0xDA);
    size_t end = start + 2;
    while (end + 1 < p.size() &&
           !(p[end] == 0xFF && p[end + 1] != 0 && (p[end + 1] < 0xD0 || p[end + 1] > 0xD7)))
      end++;
    testutil::write_bytes(path("pcut.jpg"), Bytes(p.begin(), p.begin() + (start + end) / 2));
    EXPECT_ERRO(read_capped<IMGCOR>(path("pcut.jpg")), "Erro LeJpg - Fim inesperado", "");
  }
}

// A uniform picture of `rows` by nc, written by libjpeg, with the height in its frame header
// raised to nl: the data holds the first row of blocks, then ends.
template <class Img>
Bytes first_blocks_of(const std::string& name, int rows, int nc, int nl) {
  Img im(rows, nc);
  im.fill(typename Img::Pixel{});
  ImpJpg(im, name, 75);
  Bytes b = testutil::read_bytes(name);
  const size_t sof = marker(b, 0xC0);
  b[sof + 5] = static_cast<unsigned char>(nl >> 8);
  b[sof + 6] = static_cast<unsigned char>(nl & 0xFF);
  testutil::write_bytes(name, b);
  return b;
}

TEST_F(JpegDeath, DataEndingAfterItsFirstRowsHoldsOnlyTheRowsDecoded) {
  // 46000 x 46000 declared: 2 GB grey, 6 GB colour if sized at once; 2048 x 65500: 134 MB
  // grey, under a cap of 48 MB more than the process holds.
  struct Case {
    const char* name;
    bool colour;
    int rows, nc, nl;
    rlim_t headroom_mb;
  };
  const Case cases[] = {{"g46000.jpg", false, 8, 46000, 46000, 512},
                        {"c46000.jpg", true, 16, 46000, 46000, 512},
                        {"g65500.jpg", false, 8, 2048, 65500, 48}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string name = path(c.name);
    const Bytes b = c.colour ? first_blocks_of<IMGCOR>(name, c.rows, c.nc, c.nl)
                             : first_blocks_of<IMGGRY>(name, c.rows, c.nc, c.nl);
    EXPECT_LT(b.size(), 20000u);
    EXPECT_ERRO(read_capped<IMGCOR>(name, c.headroom_mb), "Erro LeJpg - Fim inesperado", "");
    EXPECT_ERRO(read_capped<IMGGRY>(name, c.headroom_mb), "Erro LeJpg - Fim inesperado", "");
    EXPECT_ERRO(read_binary_capped(name, c.headroom_mb), "Erro LeJpg - Fim inesperado", "");
  }
}

TEST_F(Jpeg, ReadsIntoFreshOrSameSizeImagesAlike) {
  // Tall enough that the rows outgrow their first block several times; smooth all the way.
  IMGCOR c(700, 90);
  for (int l = 0; l < 700; l++)
    for (int k = 0; k < 90; k++)
      c(l, k) = COR{static_cast<unsigned char>(10 + 2 * k), static_cast<unsigned char>(20 + l / 3),
                    static_cast<unsigned char>(240 - k - l / 5)};
  ImpJpg(c, path("t.jpg"), 90);
  IMGCOR fresh, same(700, 90), other(3, 5);
  same.backg = COR{1, 2, 3};
  same.lc = 7;
  other.backg = COR{4, 5, 6};
  other.cc = 0;
  LeJpg(fresh, path("t.jpg"));
  LeJpg(same, path("t.jpg"));
  LeJpg(other, path("t.jpg"));
  EXPECT_LE(max_diff(fresh, c), 8);
  EXPECT_EQ(max_diff(fresh, same), 0);
  EXPECT_EQ(max_diff(fresh, other), 0);
  // The same size keeps the image's frame; another size gives a fresh image's.
  EXPECT_EQ(rgb(same.backg), rgb(COR{1, 2, 3}));
  EXPECT_EQ(same.lc, 7);
  EXPECT_EQ(rgb(other.backg), rgb(fresh.backg));
  EXPECT_EQ(other.lc, 349);
  EXPECT_EQ(other.cc, 44);
  IMGGRY g, gsame(700, 90);
  LeJpg(g, path("t.jpg"));
  LeJpg(gsame, path("t.jpg"));
  EXPECT_EQ(max_diff(g, gsame), 0);
}

TEST_F(Jpeg, OtherWarningsAndAMissingEndMarkerStillRead) {
  const IMGCOR c = colour_ramp(48, 64);
  ImpJpg(c, path("c.jpg"), 90);
  const Bytes whole = testutil::read_bytes(path("c.jpg"));
  IMGCOR ref;
  LeJpg(ref, path("c.jpg"));
  // Without its end marker: every row's data is there.
  testutil::write_bytes(path("noeoi.jpg"), Bytes(whole.begin(), whole.end() - 2));
  // Two stray bytes between markers: libjpeg warns of extraneous data and reads on.
  Bytes stray = whole;
  stray.insert(stray.begin() + 2, {0x00, 0x00});
  testutil::write_bytes(path("stray.jpg"), stray);
  for (const char* name : {"noeoi.jpg", "stray.jpg"}) {
    SCOPED_TRACE(name);
    IMGCOR got;
    LeJpg(got, path(name));
    EXPECT_EQ(max_diff(got, ref), 0);
  }
}

TEST_F(JpegDeath, FourComponentFilesAreRefusedByBothReaders) {
  REQUIRE_TOOL("convert");
  IMGCOR c = colour_ramp(8, 8);
  impppmb(c, path("c.ppm"));
  sh("convert {}/c.ppm -colorspace CMYK {}/cmyk.jpg");
  EXPECT_ERRO(({
                IMGGRY g;
                LeJpg(g, path("cmyk.jpg"));
              }),
              "JPG deve ter 1 ou 3 planos de cores", "");
  EXPECT_ERRO(({
                IMGCOR k;
                LeJpg(k, path("cmyk.jpg"));
              }),
              "JPG deve ter 1 ou 3 planos de cores", "");
}

TEST_F(JpegDeath, OpenFailures) {
  const std::string missing = path("no/such.jpg");
  EXPECT_ERRO(({
                IMGGRY g;
                LeJpg(g, missing);
              }),
              "can't open ", missing);
  EXPECT_ERRO(({
                IMGCOR c;
                LeJpg(c, missing);
              }),
              "can't open ", missing);
  EXPECT_ERRO(ImpJpg(grey_ramp(2, 2), missing, 90), "Can't open", missing);
  EXPECT_ERRO(ImpJpg(colour_ramp(2, 2), missing, 90), "Can't open", missing);
}

TEST_F(JpegDeath, WritingAnEmptyImageEndsInLibjpeg) {
  const std::string file = path("e.jpg");
  EXPECT_EXIT(ImpJpg(IMGGRY(), file, 90), ::testing::ExitedWithCode(1),
              HasSubstr("Empty JPEG image"));
  EXPECT_EXIT(ImpJpg(IMGCOR(0, 5), file, 90), ::testing::ExitedWithCode(1),
              HasSubstr("Empty JPEG image"));
}

}  // namespace
