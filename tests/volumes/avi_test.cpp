// Uncompressed AVI: exact bytes written, round trips, the readers' grammars and messages, and
// ffprobe/ffmpeg as independent readers and writers.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "volume_fixtures.h"
#include "volumes/avi_internal.h"
#include "volumes/volumes.h"

namespace {

using testutil::Bytes;
using testutil::get32;
using testutil::le32;
using testutil::put16;
using testutil::put32;
using testutil::read_bytes;
using testutil::write_bytes;
using testutil::write_text;

class Avi : public testutil::TempDir {};

// Every channel differs, rows and columns are asymmetric.
I3DCOR colour_volume(int ns, int nl, int nc) {
  I3DCOR v(ns, nl, nc);
  for (int s = 0; s < ns; s++)
    for (int l = 0; l < nl; l++)
      for (int c = 0; c < nc; c++)
        v(s, l, c) = COR{uint8_t(40 * s + 11 * l + c), uint8_t(250 - 7 * c - s),
                         uint8_t(3 * l * l + 5 * c + 60 * s)};
  return v;
}

I3DGRY grey_volume(int ns, int nl, int nc) {
  I3DGRY v(ns, nl, nc);
  for (int s = 0; s < ns; s++)
    for (int l = 0; l < nl; l++)
      for (int c = 0; c < nc; c++) v(s, l, c) = uint8_t(90 * s + 13 * l + 3 * c + 1);
  return v;
}

void tag(Bytes& b, size_t at, const char* t) { std::memcpy(&b[at], t, 4); }
void append(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }

// The file the writer must produce, field by field from the documented layout.
// rows[s] holds frame s as stored: bottom row first, padded.
Bytes expected_file(bool grey, int ns, int nl, int nc, uint32_t usec, uint32_t max_bps,
                    uint32_t rate, const std::vector<Bytes>& frames) {
  const uint32_t P = grey ? 1024 : 0;
  const uint32_t row = grey ? (nc + 3) / 4 * 4 : (3 * nc + 3) / 4 * 4, F = nl * row;
  Bytes b(252 + P, 0);
  tag(b, 0, "RIFF");
  put32(b, 4, 252 + P + ns * (F + 24));
  tag(b, 8, "AVI ");
  tag(b, 12, "LIST");
  put32(b, 16, 220 + P);
  tag(b, 20, "hdrl");
  tag(b, 24, "avih");
  put32(b, 28, 56);
  put32(b, 32, usec);
  put32(b, 36, max_bps);
  put32(b, 44, 0x810);
  put32(b, 48, ns);
  put32(b, 56, 1);
  put32(b, 60, F);
  put32(b, 64, nc);
  put32(b, 68, nl);
  tag(b, 88, "LIST");
  put32(b, 92, 144 + P);
  tag(b, 96, "strl");
  tag(b, 100, "strh");
  put32(b, 104, 56);
  tag(b, 108, "vids");
  tag(b, 112, "DIB ");
  put32(b, 128, 1000);
  put32(b, 132, rate);
  put32(b, 140, ns);
  put32(b, 144, F);
  put32(b, 148, 900);
  put16(b, 160, nc);
  put16(b, 162, nl);
  tag(b, 164, "strf");
  put32(b, 168, 40 + P);
  put32(b, 172, 40);
  put32(b, 176, nc);
  put32(b, 180, nl);
  put16(b, 184, 1);
  put16(b, 186, grey ? 8 : 24);
  put32(b, 192, F);
  if (grey) {
    put32(b, 204, 256);
    put32(b, 208, 256);
    for (int i = 0; i < 256; i++) b[212 + 4 * i] = b[213 + 4 * i] = b[214 + 4 * i] = uint8_t(i);
  }
  tag(b, 212 + P, "strn");
  put32(b, 216 + P, 20);
  std::memcpy(&b[220 + P], "AVI Video Stream #1", 20);
  tag(b, 240 + P, "LIST");
  put32(b, 244 + P, 4 + ns * (F + 8));
  tag(b, 248 + P, "movi");
  for (int s = 0; s < ns; s++) {
    Bytes h(8);
    tag(h, 0, "00db");
    put32(h, 4, F);
    append(b, h);
    append(b, frames[s]);
  }
  Bytes idx(8 + 16 * ns);
  tag(idx, 0, "idx1");
  put32(idx, 4, 16 * ns);
  for (int s = 0; s < ns; s++) {
    tag(idx, 8 + 16 * s, "00db");
    put32(idx, 12 + 16 * s, 16);
    put32(idx, 16 + 16 * s, 4 + s * (F + 8));
    put32(idx, 20 + 16 * s, F);
  }
  append(b, idx);
  return b;
}

// Frame s as stored: rows bottom first, blue green red, zero padding.
Bytes stored_frame(const I3DCOR& v, int s) {
  const int row = (3 * v.nc() + 3) / 4 * 4;
  Bytes f(v.nl() * row, 0);
  for (int l = 0; l < v.nl; l++)
    for (int c = 0; c < v.nc; c++) {
      const COR p = v(s, l, c);
      unsigned char* q = &f[(v.nl() - 1 - l) * row + 3 * c];
      q[0] = p.b;
      q[1] = p.g;
      q[2] = p.r;
    }
  return f;
}
Bytes stored_frame(const I3DGRY& v, int s) {
  const int row = (v.nc() + 3) / 4 * 4;
  Bytes f(v.nl() * row, 0);
  for (int l = 0; l < v.nl; l++)
    for (int c = 0; c < v.nc; c++) f[(v.nl() - 1 - l) * row + c] = v(s, l, c);
  return f;
}
template <class Vol>
std::vector<Bytes> stored_frames(const Vol& v) {
  std::vector<Bytes> out;
  for (int s = 0; s < v.ns; s++) out.push_back(stored_frame(v, s));
  return out;
}

TEST(TamCol, RoundsUpToAMultipleOfFour) {
  const int cases[][2] = {{0, 0}, {1, 4},   {3, 4},  {4, 4},   {5, 8},
                          {8, 8}, {15, 16}, {-1, 4}, {-4, -4}, {-5, 0}};
  for (const auto& c : cases) EXPECT_EQ(TamCol(c[0]), c[1]) << c[0];
}

TEST(AviSizes, EveryFieldHoldsItsSizeOrTheWriterRefuses) {
  struct Case {
    int bits, ns, nl, nc;
    int64_t frame, file;
  };
  const Case cases[] = {
      {24, 3, 3, 5, 48, 476},
      {8, 2, 3, 5, 24, 1380},
      // 4.4 GB of colour: the RIFF length past 32 bits.
      {24, 350, 2048, 2048, 12582912, 4404027860},
      // The largest grey and colour movies of 1 x 1 frames (4 bytes each), and one frame more.
      {8, 153391643, 1, 1, 4, 4294967288},
      {8, 153391644, 1, 1, 4, 4294967316},
      {24, 153391680, 1, 1, 4, 4294967300},
      {24, 153391681, 1, 1, 4, 4294967328},
      // One colour frame past 32 bits on its own.
      {24, 1, 65536, 21846, 4295229440, 4295229440 + 260 + 24},
  };
  for (const Case& c : cases) {
    const vistelmo::AviSizes s = vistelmo::avi_sizes(c.bits, c.ns, c.nl, c.nc);
    EXPECT_EQ(s.frame, c.frame) << c.ns << " x " << c.nl << " x " << c.nc;
    EXPECT_EQ(s.file, c.file) << c.ns << " x " << c.nl << " x " << c.nc;
    EXPECT_EQ(s.fits(), c.file - 8 <= 4294967295) << c.ns << " x " << c.nl << " x " << c.nc;
  }
  // The file of the largest counts is refused, without overflow.
  EXPECT_FALSE(vistelmo::avi_sizes(24, INT32_MAX, INT32_MAX, INT32_MAX).fits());
  EXPECT_FALSE(vistelmo::avi_sizes(8, INT32_MAX, 1, 1).fits());
}

TEST_F(Avi, ColourFileHasTheDocumentedBytes) {
  const I3DCOR v = colour_volume(3, 3, 5);
  ImpAvi(v, path("c.avi"));
  const Bytes got = read_bytes(path("c.avi"));
  ASSERT_EQ(got.size(), 476u);
  EXPECT_EQ(get32(got, 36), 192u);  // maximum bytes per second: 4 frames of 48 bytes
  EXPECT_EQ(got, expected_file(false, 3, 3, 5, 250000, 192, 4000, stored_frames(v)));
}

TEST_F(Avi, GreyFileHasTheDocumentedBytes) {
  const I3DGRY v = grey_volume(2, 3, 5);
  ImpAvi(v, path("g.avi"));
  const Bytes got = read_bytes(path("g.avi"));
  // 8-byte rows, the last three bytes zero; 250000 us per frame but 2 frames per second.
  ASSERT_EQ(got.size(), 1284u + 2 * (24 + 24));
  EXPECT_EQ(got, expected_file(true, 2, 3, 5, 250000, 48, 2000, stored_frames(v)));
}

TEST_F(Avi, RowsWithoutPaddingAndFrameTimes) {
  const I3DGRY g = grey_volume(1, 2, 8);
  ImpAvi(g, path("g.avi"));
  EXPECT_EQ(read_bytes(path("g.avi")),
            expected_file(true, 1, 2, 8, 250000, 32, 2000, stored_frames(g)));

  I3DCOR c = colour_volume(2, 2, 4);
  c.fd = 33333;
  ImpAvi(c, path("c.avi"));
  const uint32_t F = 2 * 12;
  const uint32_t bps = uint32_t(std::ceil(F * 1000000.0 / 33333));
  EXPECT_EQ(read_bytes(path("c.avi")),
            expected_file(false, 2, 2, 4, 33333, bps, 30000, stored_frames(c)));
}

TEST_F(Avi, HeaderTemplateOfAThreeFrameMovie) {
  // The field table with the values of a 3-frame, 5 by 3 movie.
  vistelmo::AviHeader h{24, 3, 5, 3, 48, 66667, 96, 1000, 4000};
  Bytes colour = vistelmo::avi_header(h);
  Bytes want = expected_file(false, 3, 3, 5, 66667, 96, 4000, {Bytes(48), Bytes(48), Bytes(48)});
  want.resize(252);
  EXPECT_EQ(colour, want);
  EXPECT_EQ(get32(colour, 4), 468u);
  EXPECT_EQ(get32(colour, 244), 172u);
}

TEST_F(Avi, ColourRoundTripsKeepFramesAndFrameTime) {
  for (int fd : {1, 33333, 40000, 1000000}) {
    for (int nc : {1, 4, 5, 7}) {
      SCOPED_TRACE(std::to_string(fd) + " " + std::to_string(nc));
      I3DCOR v = colour_volume(3, 4, nc);
      v.fd = fd;
      ImpAvi(v, path("c.avi"));
      I3DCOR r;
      LeAvi(r, path("c.avi"));
      EXPECT_TRUE(same_voxels(v, r));
      EXPECT_EQ(r.fd, fd);
    }
  }
}

TEST_F(Avi, FrameTimesAboveOneSecondReadBackExactly) {
  const bool probe = testutil::have_tool("ffprobe");
  for (int fd : {1000001, 1500000, 3000000, 40000000, INT32_MAX}) {
    SCOPED_TRACE(fd);
    I3DCOR v = colour_volume(2, 3, 5);
    v.fd = fd;
    ImpAvi(v, path("c.avi"));
    const Bytes b = read_bytes(path("c.avi"));
    EXPECT_EQ(get32(b, 128), uint32_t(fd));  // scale
    EXPECT_EQ(get32(b, 132), 1000000u);      // rate
    I3DCOR r;
    LeAvi(r, path("c.avi"));
    EXPECT_TRUE(same_voxels(v, r));
    EXPECT_EQ(r.fd, fd);
    if (!probe) continue;
    // ffprobe states the frame rate as a reduced fraction: 1000000 / fd frames a second.
    ASSERT_EQ(testutil::run("ffprobe -v error -select_streams v:0 -show_entries "
                            "stream=avg_frame_rate -of default=nw=1 " +
                            path("c.avi") + " > " + path("c.txt")),
              0);
    const int64_t g = std::gcd(int64_t{1000000}, int64_t{fd});
    const int64_t num = 1000000 / g, den = fd / g;
    EXPECT_EQ(testutil::read_text(path("c.txt")),
              "avg_frame_rate=" + std::to_string(num) + "/" + std::to_string(den) + "\n");
  }
  // Files written with 999 / 1000 frames a second for 1000001 microseconds still agree.
  I3DCOR v = colour_volume(1, 2, 3);
  v.fd = 1000001;
  ImpAvi(v, path("old.avi"));
  Bytes old = read_bytes(path("old.avi"));
  put32(old, 128, 1000);
  put32(old, 132, 999);
  write_bytes(path("old.avi"), old);
  I3DCOR r;
  LeAvi(r, path("old.avi"));
  EXPECT_EQ(r.fd, 1000001);
}

TEST_F(Avi, MaximumBytesPerSecondIsHeldAtTheFieldsLargestValue) {
  I3DCOR v = colour_volume(1, 20, 100);  // F = 20 * 300 = 6000
  const std::pair<int, uint32_t> cases[] = {{1, 0xFFFFFFFFu}, {2, 3000000000u}, {3, 2000000000u}};
  for (const auto& [fd, bps] : cases) {
    v.fd = fd;
    ImpAvi(v, path("c.avi"));
    EXPECT_EQ(get32(read_bytes(path("c.avi")), 36), bps) << fd;
  }
}

TEST_F(Avi, ReadingIntoAVolumeOfTheSameSizeKeepsItsSlices) {
  const I3DCOR v = colour_volume(2, 3, 3);
  ImpAvi(v, path("c.avi"));
  I3DCOR same(2, 3, 3);
  const COR* block = same.slices[1].data;
  LeAvi(same, path("c.avi"));
  EXPECT_EQ(same.slices[1].data, block);
  EXPECT_TRUE(same_voxels(v, same));

  I3DGRY g = grey_volume(2, 2, 2);
  ImpAvi(g, path("g.avi"));
  I3DGRY other(5, 1, 1);
  LeAvi(other, path("g.avi"));
  EXPECT_TRUE(same_voxels(g, other));
}

TEST_F(Avi, GreyAndFloatRoundTrips) {
  const I3DGRY g = grey_volume(3, 5, 6);
  ImpAvi(g, path("g.avi"));
  I3DGRY r;
  LeAvi(r, path("g.avi"));
  EXPECT_TRUE(same_voxels(g, r));

  I3DFLT f;
  LeAvi(f, path("g.avi"));
  ASSERT_EQ(f.ns(), 3);
  for (int s = 0; s < 3; s++)
    for (int k = 0; k < 30; k++) EXPECT_EQ(f(s).data[k], float(g(s).data[k] / 255.0f));

  // Float voxels are clamped to 0..1 and truncated to grey levels.
  I3DFLT x(1, 1, 5);
  const float vals[] = {-0.5f, 0.0f, 0.5f, 1.0f, 7.0f};
  for (int c = 0; c < 5; c++) x(0, 0, c) = vals[c];
  ImpAvi(x, path("x.avi"));
  I3DGRY xg;
  LeAvi(xg, path("x.avi"));
  const unsigned char want[] = {0, 0, 127, 255, 255};
  for (int c = 0; c < 5; c++) EXPECT_EQ(xg(0, 0, c), want[c]);
}

TEST_F(Avi, WritersRefuseEmptyVolumesBeforeCreatingTheFile) {
  const std::string name = path("e.avi");
  EXPECT_ERRO(ImpAvi(I3DCOR(0, 2, 2), name), "Erro ImpAvi(I3DCOR) - Imagem nula ", name);
  EXPECT_ERRO(ImpAvi(I3DCOR(2, 0, 2), name), "Erro ImpAvi(I3DCOR) - Imagem nula ", name);
  EXPECT_ERRO(ImpAvi(I3DGRY(2, 2, 0), name), "Erro ImpAvi(I3DGRY) - Imagem nula ", name);
  EXPECT_ERRO(ImpAvi(I3DFLT(0, 0, 0), name), "Erro ImpAvi(I3DGRY) - Imagem nula ", name);
  EXPECT_FALSE(testutil::file_exists(name));

  I3DCOR c = colour_volume(1, 1, 1);
  c.fd = 0;
  EXPECT_ERRO(ImpAvi(c, name), "Erro ImpAvi(I3DCOR) - fd invalido ", name);
  EXPECT_FALSE(testutil::file_exists(name));

  const std::string nowhere = path("no/dir.avi");
  EXPECT_ERRO(ImpAvi(colour_volume(1, 1, 1), nowhere), "Erro ImpAvi(I3DCOR) - abertura de ",
              nowhere);
  EXPECT_ERRO(ImpAvi(grey_volume(1, 1, 1), nowhere), "Erro ImpAvi(I3DGRY) - abertura de ", nowhere);
  EXPECT_ERRO(ImpAvi(colour_volume(1, 1, 1), "/dev/full"),
              "Erro ImpAvi(I3DCOR) - Falha na escrita ", "/dev/full");
}

struct Damage {
  size_t at;
  Bytes bytes;  // written over the file at `at`; empty: the file is cut at `at`
  const char* message = "";
};

Bytes text(const char* t) { return Bytes(t, t + 4); }
Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes b;
  for (const Bytes& p : parts) b.insert(b.end(), p.begin(), p.end());
  return b;
}

Bytes damaged(Bytes b, const Damage& d) {
  if (d.bytes.empty()) {
    b.resize(d.at);
  } else {
    std::copy(d.bytes.begin(), d.bytes.end(), b.begin() + d.at);
  }
  return b;
}

TEST_F(Avi, ColourReaderMessages) {
  I3DCOR v = colour_volume(3, 2, 3);  // F = 2 * 12 = 24
  ImpAvi(v, path("c.avi"));
  const Bytes good = read_bytes(path("c.avi"));
  const Damage cases[] = {
      {0, text("RIFX"), "Erro: Nao-RIFF"},
      {8, text("AVIX"), "Erro: Nao-AVI_"},
      {12, text("LYST"), "Erro: Nao-LIST 2"},
      {20, text("hdrx"), "Erro: Nao-hdrl"},
      {24, text("avix"), "Erro: Nao-avih"},
      {28, le32(70000), "Erro: Chunk muito grande"},
      {88, text("LISX"), "Erro: Nao-LIST 1"},
      {16, le32(224), "Erro anaavih: s!=0"},  // header list 4 bytes too long
      {92, le32(140), "Erro anaavih: s!=0"},  // stream list 4 bytes too short
      {112, text("MJPG"), "Erro: Cod nao-DIB"},
      {132, le32(3000), "Erro LeAvi(I3DCOR): rate e fd nao concordam"},
      {132, le32(0), "Erro LeAvi(I3DCOR): rate e fd nao concordam"},
      {184, {2, 0}, "Erro: nplanes!=1"},
      {186, {32, 0}, "Erro: bitspix!=24"},
      {188, le32(1), "Erro: compression!=0"},
      {248, text("movx"), "Erro: Nao-movi"},
      {244, le32(4 + 3 * 32 + 1), "Erro anamovi: s!=0"},
      {4, le32(252 + 3 * 48 - 1), "Erro anariff: s!=0"},
      {252 + 32 + 8 + 10, {}, "Erro: Fim de arquivo inesperado"},  // inside frame 1
      {252 + 4, le32(20), "Erro LeAvi(I3DCOR): tamimg!=chunk.size"},
      {48, le32(4), "Erro LeAvi(I3DCOR): faltam quadros"},
      {48, le32(100000000), "Erro: Fim de arquivo inesperado"},
      {252 + 32, text("JUNK"), "Erro LeAvi(I3DCOR): faltam quadros"},
      {252 + 4, le32(0x80000000u), "Erro: Chunk muito grande"},
      {64, le32(-5), "Erro LeAvi(I3DCOR): dimensoes invalidas"},
      {68, le32(-1), "Erro LeAvi(I3DCOR): dimensoes invalidas"},
      {48, le32(-3), "Erro LeAvi(I3DCOR): dimensoes invalidas"},
      // Frames, width and height at INT_MAX: the picture size alone passes 2^63.
      {48, cat({le32(INT32_MAX), le32(0), le32(1), le32(24), le32(INT32_MAX), le32(INT32_MAX)}),
       "Erro: Fim de arquivo inesperado"},
  };
  for (const Damage& d : cases) {
    SCOPED_TRACE(std::to_string(d.at) + " " + d.message);
    write_bytes(path("d.avi"), damaged(good, d));
    I3DCOR r;
    EXPECT_ERRO(LeAvi(r, path("d.avi")), d.message, "");
  }
  I3DCOR r;
  EXPECT_ERRO(LeAvi(r, path("none.avi")), "Erro: Abertura de ", path("none.avi"));
  // A file shorter than a chunk header is not RIFF; one cut inside the RIFF header is short.
  write_text(path("t.avi"), "abcde");
  EXPECT_ERRO(LeAvi(r, path("t.avi")), "Erro: Nao-RIFF", "");
  write_bytes(path("d.avi"), damaged(good, {6, {}, ""}));
  EXPECT_ERRO(LeAvi(r, path("d.avi")), "Erro: Fim de arquivo inesperado", "");

  // A chunk that is not a list where the frames should be: its code is printed first.
  write_bytes(path("d.avi"), damaged(good, {240, text("JUNX"), ""}));
  EXPECT_EXIT(
      {
        testutil::stdout_to_stderr();
        LeAvi(r, path("d.avi"));
      },
      ::testing::ExitedWithCode(1), ::testing::HasSubstr("JUNXErro: Nao-LIST 3 \n"));
}

TEST_F(Avi, GreyReaderMessages) {
  ImpAvi(grey_volume(2, 2, 3), path("g.avi"));  // F = 2 * 4 = 8
  const Bytes good = read_bytes(path("g.avi"));
  const Damage cases[] = {
      {0, text("RIFX"), "Erro LeAvi(I3DGRY): Nao-RIFF"},
      {8, text("AVIX"), "Erro LeAvi(I3DGRY): Nao-AVI_"},
      {12, text("LYST"), "Erro LeAvi(I3DGRY): Nao-LIST"},
      {20, text("hdrx"), "Erro LeAvi(I3DGRY): Nao-hdrl"},
      {24, text("avix"), "Erro LeAvi(I3DGRY): Nao-avih"},
      {28, le32(5000), "Erro: Chunk muito grande"},
      {88, text("LISX"), "Erro LeAvi(I3DGRY): Nao-LIST"},
      {96, text("strx"), "Erro LeAvi(I3DGRY): Nao-strl"},
      {100, text("strx"), "Erro LeAvi(I3DGRY): Nao-strh"},
      {112, text("DIBX"), "Erro LeAvi(I3DGRY): Nao-vidsDIB_"},
      {164, text("strx"), "Erro LeAvi(I3DGRY): Nao-strf"},
      {184, {2, 0}, "Erro: Tipo AVI"},
      {186, {24, 0}, "Erro: Tipo AVI"},
      {188, le32(1), "Erro: Tipo compressao"},
      {204, le32(255), "Erro: Tamanho palette invalido"},
      {1264, text("LISX"), "Erro LeAvi(I3DGRY): Nao-LIST"},
      {1272, text("movx"), "Erro LeAvi(I3DGRY): Nao-movi"},
      {1276 + 16, text("00dc"), "Erro LeAvi(I3DGRY): Nao-00db"},
      {1276 + 4, le32(12), "Erro LeAvi(I3DGRY): tamimg!=chunk.size"},
      {1276 + 16 + 8 + 3, {}, "Erro: Fim de arquivo inesperado"},
      {1276 + 8, {}, "Erro: Fim de arquivo inesperado"},
      {200, {}, "Erro: Fim de arquivo inesperado"},
      {48, le32(100000000), "Erro: Fim de arquivo inesperado"},
      {64, le32(-5), "Erro LeAvi(I3DGRY): dimensoes invalidas"},
      {68, le32(-1), "Erro LeAvi(I3DGRY): dimensoes invalidas"},
      {48, le32(-3), "Erro LeAvi(I3DGRY): dimensoes invalidas"},
  };
  for (const Damage& d : cases) {
    SCOPED_TRACE(std::to_string(d.at) + " " + d.message);
    write_bytes(path("d.avi"), damaged(good, d));
    I3DGRY r;
    EXPECT_ERRO(LeAvi(r, path("d.avi")), d.message, "");
  }
  I3DGRY r;
  // INT_MAX frames of 4 by 1073741823 pixels, whose first chunk states that frame size: the
  // frames after the first pass 2^63 bytes.
  Bytes huge = damaged(
      good, {48, cat({le32(INT32_MAX), le32(0), le32(1), le32(8), le32(4), le32(1073741823)})});
  huge = damaged(huge, {1276 + 4, le32(4294967292u)});
  write_bytes(path("h.avi"), huge);
  EXPECT_ERRO(LeAvi(r, path("h.avi")), "Erro: Fim de arquivo inesperado", "");
  EXPECT_ERRO(LeAvi(r, path("none.avi")), "Erro LeAvi(I3DGRY) - Abertura de ", path("none.avi"));
  write_text(path("t.avi"), "abcde");
  EXPECT_ERRO(LeAvi(r, path("t.avi")), "Erro LeAvi(I3DGRY): Nao-RIFF", "");
  // Cut after the header list's code: the next expected code is missing.
  write_bytes(path("d.avi"), damaged(good, {20, {}, ""}));
  EXPECT_ERRO(LeAvi(r, path("d.avi")), "Erro LeAvi(I3DGRY): Nao-hdrl", "");
  I3DFLT f;
  EXPECT_ERRO(LeAvi(f, path("none.avi")), "Erro LeAvi(I3DGRY) - Abertura de ", path("none.avi"));

  // No colours: the format is exactly 40 bytes and the first pixel has no grey level.
  Bytes none = good;
  none.erase(none.begin() + 212, none.begin() + 212 + 1024);
  put32(none, 168, 40);
  put32(none, 204, 0);
  write_bytes(path("n.avi"), none);
  EXPECT_ERRO(LeAvi(r, path("n.avi")), "Erro VETOR::operator() - Indice invalido", "");

  // A palette of 8 colours: pixels 0..7 read, pixel 8 does not.
  Bytes small = good;
  small.erase(small.begin() + 212 + 32, small.begin() + 212 + 1024);
  put32(small, 168, 40 + 32);
  put32(small, 204, 8);
  write_bytes(path("s.avi"), small);
  EXPECT_ERRO(LeAvi(r, path("s.avi")), "Erro VETOR::operator() - Indice invalido", "");
  ImpAvi(grey_volume(1, 1, 1), path("one.avi"));  // its pixel is 1
  Bytes one = read_bytes(path("one.avi"));
  one.erase(one.begin() + 212 + 32, one.begin() + 212 + 1024);
  put32(one, 168, 40 + 32);
  put32(one, 204, 8);
  one[212 + 4] = 30;  // entry 1: blue 30, green 1, red 1 -> (30 + 1 + 1 + 1) / 3 = 11
  write_bytes(path("one8.avi"), one);
  LeAvi(r, path("one8.avi"));
  EXPECT_EQ(r(0, 0, 0), 11);
}

TEST_F(Avi, EachReaderRefusesTheOtherDepth) {
  ImpAvi(colour_volume(1, 2, 2), path("c.avi"));
  ImpAvi(grey_volume(1, 2, 2), path("g.avi"));
  I3DGRY g;
  I3DCOR c;
  EXPECT_ERRO(LeAvi(g, path("c.avi")), "Erro: Tipo AVI", "");
  // The grey file's two frame rates disagree before its format is seen.
  EXPECT_ERRO(LeAvi(c, path("g.avi")), "Erro LeAvi(I3DCOR): rate e fd nao concordam", "");
  Bytes agree = read_bytes(path("g.avi"));
  put32(agree, 132, 4000);
  write_bytes(path("a.avi"), agree);
  EXPECT_ERRO(LeAvi(c, path("a.avi")), "Erro: bitspix!=24", "");
  // The grey reader never looks at the rates.
  LeAvi(g, path("a.avi"));
  EXPECT_TRUE(same_voxels(g, grey_volume(1, 2, 2)));

  // Frames too small for 24-bit pictures of the stated size do not hide the stream checks.
  ImpAvi(grey_volume(3, 100, 100), path("big.avi"));
  EXPECT_ERRO(LeAvi(c, path("big.avi")), "Erro LeAvi(I3DCOR): rate e fd nao concordam", "");
  Bytes big = read_bytes(path("big.avi"));
  put32(big, 132, 4000);
  write_bytes(path("big.avi"), big);
  EXPECT_ERRO(LeAvi(c, path("big.avi")), "Erro: bitspix!=24", "");
  // Likewise a grey file whose main header states a larger picture fails at its first frame.
  big = read_bytes(path("big.avi"));
  put32(big, 64, 1000);
  write_bytes(path("big.avi"), big);
  EXPECT_ERRO(LeAvi(g, path("big.avi")), "Erro LeAvi(I3DGRY): tamimg!=chunk.size", "");
}

// A RIFF tree for the reader's grammar: a chunk is a code and data, a list a code, a type
// and children.
struct Node {
  std::string code;
  Bytes data;
  std::vector<Node> kids;
  std::string type;  // lists only
};
Node chunk(const std::string& code, Bytes data) { return Node{code, std::move(data), {}, ""}; }
Node list(const std::string& code, const std::string& type, std::vector<Node> kids) {
  return Node{code, {}, std::move(kids), type};
}
Bytes serialise(const Node& n) {
  Bytes body;
  if (!n.type.empty()) {
    body.insert(body.end(), n.type.begin(), n.type.end());
    for (const Node& k : n.kids) append(body, serialise(k));
  } else {
    body = n.data;
  }
  Bytes out(n.code.begin(), n.code.end());
  append(out, le32(uint32_t(body.size())));
  append(out, body);
  return out;
}

// Pieces of the colour file written for v, taken from the writer's own output.
struct Pieces {
  Bytes avih, strh, strf;
  std::vector<Bytes> frames;
};
Pieces pieces(const Bytes& file, int ns, uint32_t F) {
  Pieces p;
  p.avih.assign(file.begin() + 32, file.begin() + 88);
  p.strh.assign(file.begin() + 108, file.begin() + 164);
  p.strf.assign(file.begin() + 172, file.begin() + 212);
  for (int s = 0; s < ns; s++) {
    const size_t at = 252 + 8 + s * (F + 8);
    p.frames.emplace_back(file.begin() + at, file.begin() + at + F);
  }
  return p;
}

TEST_F(Avi, ColourReaderAcceptsJunkOtherStreamsAndExtraFrames) {
  const I3DCOR v = colour_volume(2, 3, 2);  // F = 3 * 8 = 24
  ImpAvi(v, path("c.avi"));
  const Pieces p = pieces(read_bytes(path("c.avi")), 2, 24);
  Bytes audio_strh(56, 0);
  std::memcpy(audio_strh.data(), "auds", 4);
  const Node junk = chunk("JUNK", Bytes(6, 0xAB));
  const Node riff = list(
      "RIFF", "AVI ",
      {junk,
       list("LIST", "hdrl",
            {junk, chunk("avih", p.avih), junk,
             list("LIST", "strl",
                  {junk, chunk("strf", Bytes(3, 9)), chunk("strh", p.strh), junk,
                   chunk("strf", p.strf), chunk("strn", Bytes(5, 'x'))}),
             junk, list("LIST", "strl", {chunk("strh", audio_strh), chunk("strf", Bytes(18, 1))}),
             list("LIST", "odml", {chunk("dmlh", Bytes(248, 0))})}),
       junk,
       list("LIST", "movi",
            {junk, chunk("01wb", Bytes(7, 5)), chunk("00db", p.frames[0]), chunk("00dc", Bytes(3)),
             chunk("00db", p.frames[1]), chunk("00db", Bytes(24, 0xEE))}),
       junk, chunk("idx1", Bytes(16, 0)), chunk("INFO", Bytes(9, 1))});
  write_bytes(path("j.avi"), serialise(riff));
  I3DCOR r;
  LeAvi(r, path("j.avi"));
  EXPECT_TRUE(same_voxels(v, r));
  EXPECT_EQ(r.fd, 250000);

  // Another list between the header list and the frames is refused.
  const Node info =
      list("RIFF", "AVI ",
           {list("LIST", "hdrl",
                 {chunk("avih", p.avih),
                  list("LIST", "strl", {chunk("strh", p.strh), chunk("strf", p.strf)})}),
            list("LIST", "INFO", {chunk("ISFT", Bytes(4, 'a'))}),
            list("LIST", "movi", {chunk("00db", p.frames[0]), chunk("00db", p.frames[1])})});
  write_bytes(path("i.avi"), serialise(info));
  EXPECT_ERRO(LeAvi(r, path("i.avi")), "Erro: Nao-movi", "");
}

TEST_F(Avi, GreyReaderSkipsJunkWhereItExpectsIt) {
  const I3DGRY v = grey_volume(2, 2, 3);
  ImpAvi(v, path("g.avi"));
  const Bytes g = read_bytes(path("g.avi"));
  const Node junk = chunk("JUNK", Bytes(10, 0));
  // Chunks copied from the written file, JUNK before each, JUNK and strn after the format.
  const Bytes avih(g.begin() + 32, g.begin() + 88), strh(g.begin() + 108, g.begin() + 164),
      strf(g.begin() + 172, g.begin() + 1236);
  const uint32_t F = 8;
  const Bytes f0(g.begin() + 1284, g.begin() + 1284 + F),
      f1(g.begin() + 1300, g.begin() + 1300 + F);
  const Node riff = list("RIFF", "AVI ",
                         {junk,
                          list("LIST", "hdrl",
                               {junk, chunk("avih", avih), junk,
                                list("LIST", "strl",
                                     {junk, chunk("strh", strh), junk, chunk("strf", strf), junk,
                                      chunk("strn", Bytes(3, 'n')), junk})}),
                          list("LIST", "movi", {chunk("00db", f0), chunk("00db", f1)})});
  Bytes file = serialise(riff);
  put32(file, 4, 0);  // list sizes are not read
  write_bytes(path("j.avi"), file);
  I3DGRY r;
  LeAvi(r, path("j.avi"));
  EXPECT_TRUE(same_voxels(v, r));
}

// ffprobe and ffmpeg read what the writers produce.
TEST_F(Avi, FfprobeAndFfmpegReadOurFiles) {
  REQUIRE_TOOL("ffprobe");
  REQUIRE_TOOL("ffmpeg");
  I3DCOR c = colour_volume(3, 4, 6);
  c.fd = 40000;
  ImpAvi(c, path("c.avi"));
  const I3DGRY g = grey_volume(2, 3, 8);
  ImpAvi(g, path("g.avi"));

  const std::string probe =
      "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
      "stream=width,height,pix_fmt,nb_read_frames,r_frame_rate -of default=nw=1 ";
  ASSERT_EQ(testutil::run(probe + path("c.avi") + " > " + path("c.txt")), 0);
  const std::string ct = testutil::read_text(path("c.txt"));
  for (const char* want :
       {"width=6\n", "height=4\n", "pix_fmt=bgr24\n", "nb_read_frames=3\n", "r_frame_rate=25/1\n"})
    EXPECT_NE(ct.find(want), std::string::npos) << want << " in " << ct;
  ASSERT_EQ(testutil::run(probe + path("g.avi") + " > " + path("g.txt")), 0);
  const std::string gt = testutil::read_text(path("g.txt"));
  for (const char* want : {"width=8\n", "height=3\n", "pix_fmt=pal8\n", "nb_read_frames=2\n"})
    EXPECT_NE(gt.find(want), std::string::npos) << want << " in " << gt;

  // Decoded pixels, top row first.
  ASSERT_EQ(testutil::run("ffmpeg -v error -i " + path("c.avi") + " -f rawvideo -pix_fmt rgb24 " +
                          path("c.rgb")),
            0);
  const Bytes rgb = read_bytes(path("c.rgb"));
  ASSERT_EQ(rgb.size(), 3u * 4 * 6 * 3);
  size_t k = 0;
  for (int s = 0; s < 3; s++)
    for (int l = 0; l < 4; l++)
      for (int x = 0; x < 6; x++, k += 3) {
        const COR p = c(s, l, x);
        ASSERT_EQ(Bytes(rgb.begin() + k, rgb.begin() + k + 3), (Bytes{p.r, p.g, p.b}));
      }
  // The palette is a grey ramp: each index decodes to equal red, green and blue.
  ASSERT_EQ(testutil::run("ffmpeg -v error -i " + path("g.avi") + " -f rawvideo -pix_fmt rgb24 " +
                          path("g.rgb")),
            0);
  const Bytes grey = read_bytes(path("g.rgb"));
  ASSERT_EQ(grey.size(), 3u * 2 * 3 * 8);
  k = 0;
  for (int s = 0; s < 2; s++)
    for (int l = 0; l < 3; l++)
      for (int x = 0; x < 8; x++, k += 3) {
        const unsigned char v = g(s, l, x);
        ASSERT_EQ(Bytes(grey.begin() + k, grey.begin() + k + 3), (Bytes{v, v, v}));
      }
}

// FFmpeg's own AVI muxer writes a handler of zero, "00dc" frame chunks and top-down frames,
// outside what the readers accept: they refuse its files at the stream header.
TEST_F(Avi, FfmpegFilesAreOutsideTheReadersGrammar) {
  REQUIRE_TOOL("ffmpeg");
  const std::string src =
      "ffmpeg -v error -y -f lavfi -i testsrc=size=32x24:rate=4 -frames:v 2 "
      "-c:v rawvideo -fflags +bitexact -map_metadata -1 ";
  ASSERT_EQ(testutil::run(src + "-pix_fmt bgr24 " + path("c.avi")), 0);
  ASSERT_EQ(testutil::run(src + "-pix_fmt pal8 " + path("p.avi")), 0);
  I3DCOR c;
  I3DGRY g;
  EXPECT_ERRO(LeAvi(c, path("c.avi")), "Erro: Cod nao-DIB", "");
  EXPECT_ERRO(LeAvi(g, path("p.avi")), "Erro LeAvi(I3DGRY): Nao-vidsDIB_", "");
}

}  // namespace
