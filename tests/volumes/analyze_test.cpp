// Analyze 7.5 pairs: header bytes, voxel order, round trips, printers and messages.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/memory_limit.h"
#include "support/test_support.h"
#include "volumes/analyze.h"

namespace {

using testutil::Bytes;
using testutil::put16;
using testutil::put32;
using testutil::put_float;
using testutil::read_bytes;
using testutil::write_bytes;

class Analyze : public testutil::TempDir {};

// A default header as documented, byte by byte.
Bytes default_header(int nv, int ns, int nc, int nl, float dz, float dx, float dy, int type,
                     int bits) {
  Bytes b(348, 0);
  put32(b, 0, 348);
  b[38] = 'r';
  put16(b, 40, 4);
  put16(b, 42, nc);
  put16(b, 44, nl);
  put16(b, 46, ns);
  put16(b, 48, nv);
  put16(b, 70, type);
  put16(b, 72, bits);
  put_float(b, 76, 2.0f);
  put_float(b, 80, dx);
  put_float(b, 84, dy);
  put_float(b, 88, dz);
  put_float(b, 112, 1.0f);
  put32(b, 140, 255);
  return b;
}

template <class Vol4>
void fill_pattern(Vol4& img, double scale) {
  for (int v = 0; v < img.nv; v++)
    for (int s = 0; s < img.ns; s++)
      for (int l = 0; l < img.nl; l++)
        for (int c = 0; c < img.nc; c++)
          img(v, s).rows[l][c] =
              static_cast<typename Vol4::Pixel>((1000 * v + 100 * s + 10 * l + c) * scale);
}

template <class Vol4>
bool same(const Vol4& a, const Vol4& b) {
  if (a.nv != b.nv || a.ns != b.ns || a.nl != b.nl || a.nc != b.nc) return false;
  for (int v = 0; v < a.nv; v++)
    for (int s = 0; s < a.ns; s++)
      for (int l = 0; l < a.nl; l++)
        for (int c = 0; c < a.nc; c++)
          if (a(v, s).rows[l][c] != b(v, s).rows[l][c]) return false;
  return true;
}

TEST_F(Analyze, FloatPairHasTheDocumentedBytesAndReadsBack) {
  ALZFLT a(2, 3, 4, 5, 2.5f, 0.5f, 0.75f);  // 2 volumes, 3 slices, 4 columns, 5 rows
  ASSERT_EQ(a.img.nv(), 2);
  ASSERT_EQ(a.img.ns(), 3);
  ASSERT_EQ(a.img.nl(), 5);
  ASSERT_EQ(a.img.nc(), 4);
  fill_pattern(a.img, 0.25);
  a.ImpAlz(path("f"));

  EXPECT_EQ(read_bytes(path("f.hdr")), default_header(2, 3, 4, 5, 2.5f, 0.5f, 0.75f, 16, 32));
  const Bytes img = read_bytes(path("f.img"));
  ASSERT_EQ(img.size(), 480u);
  // Volume 1, slice 2, row 0 first, then row 1: voxel (1, 2, 1, 3) is element 20*(3+2) + 4 + 3.
  float x;
  std::memcpy(&x, &img[4 * (20 * 5 + 4 + 3)], 4);
  EXPECT_EQ(x, float((1000 + 200 + 10 + 3) * 0.25));

  ALZFLT b;
  b.LeAlz(path("f"));
  EXPECT_TRUE(same(a.img, b.img));
  EXPECT_EQ(std::memcmp(&a.hdr, &b.hdr, sizeof(AlzHdr)), 0);
}

TEST_F(Analyze, ShortAndGreyPairs) {
  ALZSHT s(1, 2, 3, 2, 1, 1, 1);
  fill_pattern(s.img, -1);
  s.ImpAlz(path("s"));
  EXPECT_EQ(read_bytes(path("s.hdr")), default_header(1, 2, 3, 2, 1, 1, 1, 4, 16));
  const Bytes si = read_bytes(path("s.img"));
  ASSERT_EQ(si.size(), 2u * 12);
  EXPECT_EQ(int16_t(si[6] | si[7] << 8), -10);  // row 1 follows row 0
  ALZSHT s2;
  s2.LeAlz(path("s"));
  EXPECT_TRUE(same(s.img, s2.img));

  // ALZGRY: filled from a header of the caller; rows bottom first.
  ALZGRY g;
  Bytes h = default_header(2, 1, 3, 2, 1, 1, 1, 2, 8);
  std::memcpy(&g.hdr, h.data(), 348);
  g.img.resize(2, 1, 2, 3);
  for (int v = 0; v < 2; v++)
    for (int l = 0; l < 2; l++)
      for (int c = 0; c < 3; c++) g.img(v, 0).rows[l][c] = uint8_t(10 * v + 3 * l + c + 1);
  g.ImpAlz(path("g"));
  EXPECT_EQ(read_bytes(path("g.hdr")), h);
  EXPECT_EQ(read_bytes(path("g.img")), (Bytes{4, 5, 6, 1, 2, 3, 14, 15, 16, 11, 12, 13}));
  ALZGRY g2;
  g2.LeAlz(path("g"));
  EXPECT_TRUE(same(g.img, g2.img));

  // A longer image file is fine.
  Bytes longer = read_bytes(path("g.img"));
  longer.push_back(9);
  write_bytes(path("g.img"), longer);
  g2.LeAlz(path("g"));
  EXPECT_TRUE(same(g.img, g2.img));
}

TEST_F(Analyze, NoVolumesAndResize) {
  ALZFLT a(0, 2, 2, 2, 1, 1, 1);
  a.ImpAlz(path("e"));
  EXPECT_EQ(read_bytes(path("e.hdr"))[48], 0);
  EXPECT_TRUE(read_bytes(path("e.img")).empty());
  ALZFLT b(1, 1, 1, 1, 1, 1, 1);
  b.LeAlz(path("e"));
  EXPECT_EQ(b.img.nv(), 0);

  // resize rebuilds the header; voxels stay when the counts do.
  ALZSHT s(1, 1, 2, 2, 3, 3, 3);
  s.hdr.glmin = 7;
  s.img(0, 0).rows[1][1] = 42;
  s.resize(1, 1, 2, 2, 4, 5, 6);
  EXPECT_EQ(s.img(0, 0).rows[1][1], 42);
  Bytes now(348);
  std::memcpy(now.data(), &s.hdr, 348);
  EXPECT_EQ(now, default_header(1, 1, 2, 2, 4, 5, 6, 4, 16));

  // The header constructor keeps every field but the counts.
  AlzHdr h = a.hdr;
  h.glmin = -3;
  h.dim[0] = 3;
  ALZSHT from(2, 1, 3, 4, h);
  EXPECT_EQ(from.hdr.glmin, -3);
  EXPECT_EQ(from.hdr.datatype, 16);
  EXPECT_EQ(from.hdr.dim[0], 4);
  EXPECT_EQ(from.hdr.dim[1], 3);
  EXPECT_EQ(from.hdr.dim[2], 4);
  EXPECT_EQ(from.hdr.dim[3], 1);
  EXPECT_EQ(from.hdr.dim[4], 2);
  // ...so this ALZSHT still claims float voxels and refuses its own pair.
  from.ImpAlz(path("from"));
  EXPECT_ERRO(from.LeAlz(path("from")), "ALZSHT so signed 16 bits", "");
}

// Reads a pair whose header names no voxels under a memory cap, writes it back and reads that
// again; exits 0 when both reads give an empty image and the header comes back unchanged.
template <class Alz>
void read_empty_pair(const std::string& base, const std::string& again) {
  testutil::limit_address_space();
  Alz a, b;
  a.LeAlz(base);
  a.ImpAlz(again);
  b.LeAlz(again);
  const bool same_header = std::memcmp(&a.hdr, &b.hdr, sizeof a.hdr) == 0;
  std::exit(a.img.nv() == 0 && b.img.nv() == 0 && same_header && a.hdr.dim[3] == 32767 ? 0 : 2);
}

TEST_F(Analyze, HeaderWithoutVoxelsGivesAnEmptyImage) {
  // 32767 volumes of 32767 slices of 0 rows: a billion slice objects if each were built.
  for (auto [type, bits] : {std::pair{16, 32}, {4, 16}, {2, 8}}) {
    SCOPED_TRACE(type);
    write_bytes(path("z.hdr"), default_header(32767, 32767, 1, 0, 1, 1, 1, type, bits));
    write_bytes(path("z.img"), {});
    void (*read)(const std::string&, const std::string&) = type == 16  ? read_empty_pair<ALZFLT>
                                                           : type == 4 ? read_empty_pair<ALZSHT>
                                                                       : read_empty_pair<ALZGRY>;
    EXPECT_EXIT(read(path("z"), path("w")), ::testing::ExitedWithCode(0), "");
  }
}

TEST_F(Analyze, CountsPastTheHeaderFieldsAreRefusedBeforeAnyFile) {
  const std::string base = path("m");
  // Volumes, slices, columns, rows (the constructor's order); 32767 is the fields' largest.
  const int counts[][4] = {
      {40000, 1, 1, 1}, {1, 32768, 1, 1}, {1, 1, 40000, 1}, {1, 1, 1, 65537}, {1, 1, 32767, 2}};
  for (const auto& n : counts) {
    ALZSHT a(n[0], n[1], n[2], n[3], 1, 1, 1);
    if (n[2] == 32767) {
      a.ImpAlz(path("fits"));
      EXPECT_EQ(read_bytes(path("fits") + ".img").size(), 2u * 32767 * 2);
      continue;
    }
    EXPECT_ERRO(a.ImpAlz(base), "Erro ALZSHT::ImpAlz - Imagem muito grande para Analyze ",
                base + ".hdr");
    EXPECT_FALSE(testutil::file_exists(base + ".hdr")) << n[0] << " " << n[1];
    EXPECT_FALSE(testutil::file_exists(base + ".img"));
  }
  // The stored dimension is still its low 16 bits.
  ALZFLT wide(1, 1, 40000, 1, 1, 1, 1);
  EXPECT_EQ(wide.hdr.dim[1], int16_t(40000 - 65536));
  EXPECT_ERRO(wide.ImpAlz(base), "Erro ALZFLT::ImpAlz - Imagem muito grande para Analyze ",
              base + ".hdr");
  ALZGRY g;
  std::memcpy(&g.hdr, default_header(1, 1, 1, 1, 1, 1, 1, 2, 8).data(), 348);
  g.img.resize(1, 1, 40000, 1);
  EXPECT_ERRO(g.ImpAlz(base), "Erro ALZGRY::ImpAlz - Imagem muito grande para Analyze ",
              base + ".hdr");
  EXPECT_FALSE(testutil::file_exists(base + ".hdr"));
}

TEST_F(Analyze, HeaderMustDescribeTheImage) {
  const std::string base = path("m");
  ALZSHT s(2, 2, 2, 2, 1, 1, 1);
  s.img.resize(2, 2, 3, 2);
  EXPECT_ERRO(s.ImpAlz(base), "HDR nao concorda com IMG", "");
  s.img.resize(1, 2, 2, 2);
  EXPECT_ERRO(s.ImpAlz(base), "Erro I4DSHT::operator() - Indice invalido 2", "");
  s.img.resize(2, 1, 2, 2);
  EXPECT_ERRO(s.ImpAlz(base), "HDR nao concorda com IMG", "");

  ALZGRY g;
  std::memcpy(&g.hdr, default_header(2, 1, 1, 1, 1, 1, 1, 2, 8).data(), 348);
  g.img.resize(1, 1, 1, 1);
  EXPECT_ERRO(g.ImpAlz(base), "Erro I4DGRY::operator() - Indice invalido 1", "");
  g.img.resize(2, 1, 1, 1);
  g.img.volumes[1].resize(0, 1, 1);
  EXPECT_ERRO(g.ImpAlz(base), "HDR nao concorda com IMG", "");
  g.hdr.dim[3] = 2;
  g.img.resize(2, 1, 1, 1);
  EXPECT_ERRO(g.ImpAlz(base), "HDR nao concorda com IMG", "");

  const std::string nowhere = path("no/dir");
  EXPECT_ERRO(ALZFLT(1, 1, 1, 1, 1, 1, 1).ImpAlz(nowhere), "Erro ALZFLT::ImpAlz - Abertura de ",
              nowhere + ".hdr");
  EXPECT_ERRO(ALZSHT(1, 1, 1, 1, 1, 1, 1).ImpAlz(nowhere), "Erro ALZSHT::ImpAlz - Abertura de ",
              nowhere + ".hdr");
}

struct ReadCase {
  size_t at;  // header byte changed
  Bytes bytes;
  const char* flt;  // message of ALZFLT::LeAlz
};

TEST_F(Analyze, ReaderMessages) {
  ALZFLT a(1, 2, 2, 2, 1, 1, 1);
  a.img.fill(0.5f);
  a.ImpAlz(path("a"));
  const Bytes hdr = read_bytes(path("a.hdr"));
  const ReadCase cases[] = {
      {0, {0, 0, 1, 0x5C}, "Erro formato ALZFLT 1"},  // big-endian header
      {38, {'R'}, "Erro formato ALZFLT 1"},
      {70, {4, 0}, "ALZFLT so float"},
      {72, {16, 0}, "ALZFLT so float"},
      {40, {3, 0}, "Tem que ser 4D (isto nao impede que nvolumes possa ser 1)"},
      {42, {0xFF, 0xFF}, "Erro formato ALZFLT 1"},  // negative column count
      {48, {2, 0}, "Erro ALZFLT::LeAlz - Fim inesperado"},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.flt);
    Bytes h = hdr;
    std::copy(c.bytes.begin(), c.bytes.end(), h.begin() + c.at);
    write_bytes(path("b.hdr"), h);
    write_bytes(path("b.img"), read_bytes(path("a.img")));
    ALZFLT b;
    EXPECT_ERRO(b.LeAlz(path("b")), c.flt, "");
  }

  ALZFLT b;
  EXPECT_ERRO(b.LeAlz(path("none")), "Erro ALZFLT::LeAlz - Abertura de ", path("none.hdr"));
  write_bytes(path("h.hdr"), hdr);
  EXPECT_ERRO(b.LeAlz(path("h")), "Erro ALZFLT::LeAlz - Abertura de ", path("h.img"));

  // Wrong voxel type for each class.
  ALZSHT s;
  ALZGRY g;
  EXPECT_ERRO(s.LeAlz(path("a")), "ALZSHT so signed 16 bits", "");
  EXPECT_ERRO(g.LeAlz(path("a")), "ALZGRY so unsigned 8 bits", "");
  EXPECT_ERRO(g.LeAlz(path("none")), "Erro ALZGRY::LeAlz - Abertura de ", path("none.hdr"));

  // Short image files: every class.
  Bytes img = read_bytes(path("a.img"));
  img.pop_back();
  write_bytes(path("a.img"), img);
  EXPECT_ERRO(b.LeAlz(path("a")), "Erro ALZFLT::LeAlz - Fim inesperado", "");
  ALZSHT s1(1, 1, 2, 1, 1, 1, 1);
  s1.ImpAlz(path("s"));
  write_bytes(path("s.img"), Bytes(3));
  EXPECT_ERRO(s.LeAlz(path("s")), "Erro ALZSHT::LeAlz - Fim inesperado", "");
  std::memcpy(&g.hdr, default_header(1, 1, 2, 2, 1, 1, 1, 2, 8).data(), 348);
  g.img.resize(1, 1, 2, 2);
  g.ImpAlz(path("g"));
  write_bytes(path("g.img"), Bytes(3));
  ALZGRY g2;
  EXPECT_ERRO(g2.LeAlz(path("g")), "Erro ALZGRY::LeAlz - Fim inesperado", "");

  // A header file shorter than 348 bytes leaves the rest of the header as it was.
  ALZFLT keep(1, 1, 1, 1, 1, 1, 1);
  keep.ImpAlz(path("k"));
  write_bytes(path("k.hdr"), Bytes(hdr.begin(), hdr.begin() + 4));
  keep.LeAlz(path("k"));
  EXPECT_EQ(keep.img.nv(), 1);
}

TEST_F(Analyze, HeaderFunctions) {
  ALZFLT a(1, 1, 1, 1, 1, 1, 1);
  a.ImpAlz(path("a"));
  AlzHdr h{};
  LeAlzHdr(h, path("a.hdr"));
  EXPECT_EQ(std::memcmp(&h, &a.hdr, 348), 0);
  AlzHdr c{};
  CopyAlzHdr(c, h);
  EXPECT_EQ(std::memcmp(&c, &a.hdr, 348), 0);
  EXPECT_ERRO(LeAlzHdr(h, path("a")), "Erro LeAlzHdr - Abertura de ", path("a"));
}

TEST(AnalyzeShow, PrintersOfADefaultHeader) {
  const ALZFLT a(2, 3, 4, 5, 2.5f, 0.5f, 0.75f);
  testing::internal::CaptureStdout();
  ShowAlzHdr(a.hdr);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "sizeof_hdr: 348\n"
            "extents   : 0\n"
            "regular:    r\n"
            "dim[0]:     4\n"
            "dim[1]:     4\n"
            "dim[2]:     5\n"
            "dim[3]:     3\n"
            "dim[4]:     2\n"
            "datatype    16\n"
            "bitpix      32\n"
            "pixdim[0]:  2.000000\n"
            "pixdim[1]:  0.500000\n"
            "pixdim[2]:  0.750000\n"
            "pixdim[3]:  2.500000\n"
            "pixdim[4]:  0.000000\n"
            "vox_offset: 0.000000\n"
            "funused1:   1.000000\n"
            "cal_max:    0.000000\n"
            "cal_min:    0.000000\n"
            "glmax:      255\n"
            "glmin:      0\n"
            "orient:     0\n"
            "origem[0]:  0\n"
            "origem[1]:  0\n"
            "origem[2]:  0\n"
            "origem[3]:  0\n"
            "origem[4]:  0\n");

  AlzHdr h = a.hdr;
  std::memcpy(h.data_type, "dsr", 3);
  h.orient = -2;
  const int16_t o = -300;
  std::memcpy(h.origem + 8, &o, 2);
  testing::internal::CaptureStdout();
  ShowCompleteAlzHdr(h);
  const std::string out = testing::internal::GetCapturedStdout();
  std::vector<std::string> lines;
  for (size_t p = 0, q; (q = out.find('\n', p)) != std::string::npos; p = q + 1)
    lines.push_back(out.substr(p, q - p));
  ASSERT_EQ(lines.size(), 40u);
  EXPECT_EQ(lines[0], "sizeof_hdr:    348");
  EXPECT_EQ(lines[1], std::string("data_type:     dsr") + std::string(7, '\0'));
  EXPECT_EQ(lines[2], "db_name:       " + std::string(18, '\0'));
  EXPECT_EQ(lines[7], "----------");
  EXPECT_EQ(lines[15], "dim[7]:        0");
  EXPECT_EQ(lines[16], "datatype       16");
  EXPECT_EQ(lines[18], "dim_un0        0");
  EXPECT_EQ(lines[22], "pixdim[3]:     2.500000");
  EXPECT_EQ(lines[30], "compressed:    0.000000");
  EXPECT_EQ(lines[31], "glmax:         255");
  EXPECT_EQ(lines[33], "--------------");
  EXPECT_EQ(lines[34], "orient:     -2");
  EXPECT_EQ(lines[39], "origem[4]:  -300");
}

}  // namespace
