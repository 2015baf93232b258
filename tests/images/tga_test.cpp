// TGA files: exact bytes, round trips, origin bits, colour maps, size rules, failures and the
// netpbm peers.
#include <cstdio>
#include <cstring>
#include <functional>

#include "support/test_support.h"
#include "vistelmo.h"

namespace {

using testutil::read_bytes;
using testutil::write_bytes;
using Bytes = std::vector<unsigned char>;

// Header fields of a file made by a test; pixels (and map) follow as given.
struct Tga {
  unsigned char id_length = 0, map_type = 0, image_type = 3;
  int map_first = 0, map_length = 0;
  unsigned char map_bits = 0;
  int x0 = 0, y0 = 0, width = 0, height = 0;
  unsigned char depth = 8, descriptor = 0x20;
  Bytes map, pixels;

  Bytes bytes() const {
    Bytes b = {id_length, map_type, image_type};
    for (int v : {map_first, map_length}) b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8)});
    b.push_back(map_bits);
    for (int v : {x0, y0, width, height}) b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8)});
    b.insert(b.end(), {depth, descriptor});
    b.insert(b.end(), map.begin(), map.end());
    b.insert(b.end(), pixels.begin(), pixels.end());
    return b;
  }
};

Tga grey_file(int nl, int nc, Bytes pixels) {
  Tga t;
  t.width = nc;
  t.height = nl;
  t.pixels = std::move(pixels);
  return t;
}

Tga colour_file(int nl, int nc, Bytes bgr) {
  Tga t = grey_file(nl, nc, std::move(bgr));
  t.image_type = 2;
  t.depth = 24;
  return t;
}

// A colour-mapped file with a map of m entries (b, g, r) = (i, 2i, 3i) and entry 5 set apart.
Tga mapped_file(int nl, int nc, int m, Bytes indices) {
  Tga t = grey_file(nl, nc, std::move(indices));
  t.map_type = 1;
  t.image_type = 1;
  t.map_length = m;
  t.map_bits = 24;
  for (int i = 0; i < m; i++)
    t.map.insert(t.map.end(), {uint8_t(i), uint8_t(2 * i), uint8_t(3 * i)});
  if (m > 5) {
    t.map[15] = 10;
    t.map[16] = 20;
    t.map[17] = 31;
  }
  return t;
}

Bytes grey_pixels(const IMGGRY& g) { return Bytes(g.data, g.data + g.n()); }
Bytes colour_pixels(const IMGCOR& c) {
  Bytes b;
  for (int k = 0; k < c.n(); k++) b.insert(b.end(), {c.data[k].r, c.data[k].g, c.data[k].b});
  return b;
}

// An asymmetric grey 'F' (3 x 4) and colour fixture (2 x 3, each channel different).
IMGGRY grey_f() { return IMGGRY(3, 4, 9, 9, 9, 1, 9, 2, 3, 4, 9, 5, 6, 7); }
IMGCOR colour_f() {
  return IMGCOR(2, 3, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18);
}

class TgaFile : public testutil::TempDir {
 protected:
  std::string put(const Tga& t, const char* name = "t.tga") {
    write_bytes(path(name), t.bytes());
    return path(name);
  }
};

TEST_F(TgaFile, GreyBytes) {
  grey_f().ImpTga(path("g.tga"));
  Bytes expect = {0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 3, 0, 8, 0x20};
  Bytes pixels = grey_pixels(grey_f());
  expect.insert(expect.end(), pixels.begin(), pixels.end());
  EXPECT_EQ(read_bytes(path("g.tga")), expect);
}

TEST_F(TgaFile, ColourBytesAndWriterImageRestored) {
  IMGCOR c = colour_f();
  c.ImpTga(path("c.tga"));
  Bytes expect = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 2, 0, 24, 0x20};
  for (int k = 0; k < 6; k++)
    expect.insert(expect.end(), {uint8_t(3 * k + 3), uint8_t(3 * k + 2), uint8_t(3 * k + 1)});
  EXPECT_EQ(read_bytes(path("c.tga")), expect);
  EXPECT_EQ(colour_pixels(c), colour_pixels(colour_f()));
}

TEST_F(TgaFile, RoundTrips) {
  grey_f().ImpTga(path("g.tga"));
  IMGGRY g;
  g.LeTga(path("g.tga"));
  EXPECT_EQ(grey_pixels(g), grey_pixels(grey_f()));
  EXPECT_EQ(g.nl(), 3);

  colour_f().ImpTga(path("c.tga"));
  IMGCOR c;
  c.LeTga(path("c.tga"));
  EXPECT_EQ(colour_pixels(c), colour_pixels(colour_f()));
  EXPECT_EQ(c.nc(), 3);
}

TEST_F(TgaFile, WiderTypesGoThroughGrey) {
  IMGSHT(1, 3, -5, 300, 77).ImpTga(path("s.tga"));
  IMGFLT(1, 3, 0.5, 1.0, 2.0).ImpTga(path("f.tga"));
  IMGDBL(1, 3, -0.1, 0.2, 1.0).ImpTga(path("d.tga"));
  for (auto [name, a, b, c] : {std::tuple{"s.tga", 0, 255, 77}, std::tuple{"f.tga", 127, 255, 255},
                               std::tuple{"d.tga", 0, 51, 255}}) {
    SCOPED_TRACE(name);
    Bytes f = read_bytes(path(name));
    ASSERT_EQ(f.size(), 21u);
    EXPECT_EQ(f[2], 3);
    EXPECT_EQ(Bytes(f.begin() + 18, f.end()), (Bytes{uint8_t(a), uint8_t(b), uint8_t(c)}));
  }
}

// Rows stored in the order the descriptor announces read to the same image.
TEST_F(TgaFile, OriginBits) {
  const IMGGRY f = grey_f();
  auto stored = [&](bool bottom_up, bool right_to_left) {
    Bytes b;
    for (int i = 0; i < 3; i++) {
      int l = bottom_up ? 2 - i : i;
      for (int j = 0; j < 4; j++) b.push_back(f(l, right_to_left ? 3 - j : j));
    }
    return b;
  };
  for (int descriptor : {0x00, 0x20, 0x10, 0x30, 0x08, 0x28}) {
    SCOPED_TRACE(descriptor);
    Tga t = grey_file(3, 4, stored(!(descriptor & 0x20), descriptor & 0x10));
    t.descriptor = descriptor;
    IMGGRY g;
    g.LeTga(put(t));
    EXPECT_EQ(grey_pixels(g), grey_pixels(f));

    Tga m = mapped_file(3, 4, 10, t.pixels);
    m.descriptor = descriptor;
    IMGGRY i;
    i.LeTgaI(put(m));
    EXPECT_EQ(grey_pixels(i), grey_pixels(f));
  }
  Bytes bgr;
  const IMGCOR c = colour_f();
  for (int l : {1, 0})
    for (int k = 2; k >= 0; k--) bgr.insert(bgr.end(), {c(l, k).b, c(l, k).g, c(l, k).r});
  Tga t = colour_file(2, 3, bgr);
  t.descriptor = 0x10;
  IMGCOR back;
  back.LeTga(put(t));
  EXPECT_EQ(colour_pixels(back), colour_pixels(c));
}

TEST_F(TgaFile, ColourMapReaders) {
  const std::string name = put(mapped_file(2, 2, 6, {5, 5, 5, 5}));
  IMGGRY p, i;
  IMGCOR c;
  p.LeTgaP(name);
  i.LeTgaI(name);
  c.LeTgaP(name);
  EXPECT_EQ(grey_pixels(p), Bytes(4, 20));
  EXPECT_EQ(grey_pixels(i), Bytes(4, 5));
  EXPECT_EQ(colour_pixels(c), (Bytes{31, 20, 10, 31, 20, 10, 31, 20, 10, 31, 20, 10}));

  // Entry i is (b, g, r) = (i, 2i, 3i): grey (6i + 1) / 3.
  const std::string ramp = put(mapped_file(1, 3, 4, {0, 3, 1}), "ramp.tga");
  p.LeTgaP(ramp);
  c.LeTgaP(ramp);
  EXPECT_EQ(grey_pixels(p), (Bytes{0, 6, 2}));
  EXPECT_EQ(colour_pixels(c), (Bytes{0, 0, 0, 9, 6, 3, 3, 2, 1}));
}

TEST_F(TgaFile, IndexBeyondTheMap) {
  const std::string name = put(mapped_file(1, 2, 5, {4, 5}));
  EXPECT_ERRO(IMGGRY().LeTgaP(name), "Erro VETOR::operator() - Indice invalido", "");
  EXPECT_ERRO(IMGCOR().LeTgaP(name), "Erro VETOR::operator() - Indice invalido", "");
  IMGGRY i;
  i.LeTgaI(name);
  EXPECT_EQ(grey_pixels(i), (Bytes{4, 5}));
}

TEST_F(TgaFile, SizeRules) {
  const std::string grey = put(grey_file(1, 2, {1, 2}), "g.tga");
  const std::string mapped = put(mapped_file(1, 2, 3, {1, 2}), "m.tga");
  const std::string colour = put(colour_file(1, 2, {1, 2, 3, 4, 5, 6}), "c.tga");
  using GreyRead = void (IMGGRY::*)(const std::string&);
  for (auto [read, name] : {std::pair<GreyRead, std::string>{&IMGGRY::LeTga, grey},
                            {&IMGGRY::LeTgaP, mapped},
                            {&IMGGRY::LeTgaI, mapped}}) {
    IMGGRY same(1, 2), other(2, 2);
    same.backg = other.backg = 9;
    same.lc = other.lc = 7;
    (same.*read)(name);
    (other.*read)(name);
    EXPECT_EQ(same.backg, 9);
    EXPECT_EQ(same.lc, 7);
    EXPECT_EQ(other.backg, 0);
    EXPECT_EQ(other.lc, 0);
    EXPECT_EQ(other.nl(), 1);
  }
  IMGCOR same(1, 2), other(3, 3);
  same.backg = other.backg = COR{1, 2, 3};
  same.LeTgaP(mapped);
  other.LeTgaP(mapped);
  EXPECT_EQ(same.backg.g, 2);
  EXPECT_EQ(other.backg.g, 0);
  IMGCOR fresh(1, 2);
  fresh.backg = COR{1, 2, 3};
  fresh.cc = 5;
  fresh.LeTga(colour);
  EXPECT_EQ(fresh.backg.g, 0);
  EXPECT_EQ(fresh.cc, 0);
}

TEST_F(TgaFile, EmptyImages) {
  IMGGRY(0, 7).ImpTga(path("e.tga"));
  Bytes e = read_bytes(path("e.tga"));
  ASSERT_EQ(e.size(), 18u);
  EXPECT_EQ(e[12], 7);
  EXPECT_EQ(e[14], 0);
  IMGGRY g(2, 2);
  g.LeTga(path("e.tga"));
  EXPECT_EQ(g.nc(), 7);
  EXPECT_EQ(g.data, nullptr);
  IMGCOR(5, 0).ImpTga(path("c.tga"));
  IMGCOR c(1, 1);
  c.LeTga(path("c.tga"));
  EXPECT_EQ(c.nl(), 5);
  EXPECT_EQ(c.data, nullptr);
}

TEST_F(TgaFile, ImageWithoutStorage) {
  const std::string grey = put(grey_file(1, 2, {1, 2}), "g.tga");
  const std::string mapped = put(mapped_file(1, 2, 3, {1, 2}), "m.tga");
  IMGGRY g(1, 2), i(1, 2);
  g.desaloca();
  i.desaloca();
  g.LeTga(grey);
  i.LeTgaI(mapped);
  EXPECT_EQ(grey_pixels(g), (Bytes{1, 2}));
  EXPECT_EQ(grey_pixels(i), (Bytes{1, 2}));
  IMGCOR c(1, 2);
  c.desaloca();
  c.LeTgaP(mapped);
  EXPECT_EQ(colour_pixels(c), (Bytes{3, 2, 1, 6, 4, 2}));

  IMGCOR w(1, 2);
  w.backg = COR{1, 2, 3};
  w.desaloca();
  w.ImpTga(path("w.tga"));
  EXPECT_EQ(read_bytes(path("w.tga")), colour_file(1, 2, {3, 2, 1, 3, 2, 1}).bytes());
}

TEST_F(TgaFile, SizeLimitCheckedBeforeTheFileIsCreated) {
  IMGGRY(1, 65535, 3).ImpTga(path("ok.tga"));
  EXPECT_EQ(read_bytes(path("ok.tga")).size(), 18u + 65535);
  const std::string big = path("big.tga");
  EXPECT_ERRO(IMGGRY(1, 65536).ImpTga(big), "Erro: Imagem muito grande para TGA", "");
  EXPECT_ERRO(IMGCOR(65536, 1).ImpTga(big), "Erro: Imagem muito grande para TGA", "");
  EXPECT_ERRO(IMGFLT(65536, 1).ImpTga(big), "Erro: Imagem muito grande para TGA", "");
  EXPECT_FALSE(testutil::file_exists(big));
}

using Reader = std::function<void(const std::string&)>;
struct ReaderCase {
  const char* name;
  Reader read;
  Tga good;
  std::string format;
  std::string short_file;
};

std::vector<ReaderCase> reader_cases() {
  const std::string g = "Formato TGA deve ser 8bits grayscale sem-palette nao-compactado";
  const std::string c = "Formato TGA deve ser 24bits sem-palette nao-compactado";
  const std::string m = "Formato TGA deve ser 8bits com-palette nao-compactado";
  Tga grey = grey_file(2, 2, {1, 2, 3, 4});
  Tga colour = colour_file(2, 2, Bytes(12, 7));
  Tga mapped = mapped_file(2, 2, 4, {0, 1, 2, 3});
  return {
      {"IMGGRY::LeTga", [](auto& n) { IMGGRY().LeTga(n); }, grey, g, "Fim inesperado"},
      {"IMGCOR::LeTga", [](auto& n) { IMGCOR().LeTga(n); }, colour, c, "Fim inesperado"},
      {"IMGGRY::LeTgaP", [](auto& n) { IMGGRY().LeTgaP(n); }, mapped, m, "Fim inesperado"},
      {"IMGGRY::LeTgaI", [](auto& n) { IMGGRY().LeTgaI(n); }, mapped, m, "Fim inesperado"},
      {"IMGCOR::LeTgaP", [](auto& n) { IMGCOR().LeTgaP(n); }, mapped, m, "Fim inesperado"},
  };
}

TEST_F(TgaFile, RefusedHeaders) {
  const std::vector<std::pair<const char*, std::function<void(Tga&)>>> faults = {
      {"identification field", [](Tga& t) { t.id_length = 1; }},
      {"grey RLE", [](Tga& t) { t.image_type = 11; }},
      {"colour RLE", [](Tga& t) { t.image_type = 10; }},
      {"mapped RLE", [](Tga& t) { t.image_type = 9; }},
      {"x origin", [](Tga& t) { t.x0 = 1; }},
      {"y origin", [](Tga& t) { t.y0 = 256; }},
      {"16 bits", [](Tga& t) { t.depth = 16; }},
      {"32 bits", [](Tga& t) { t.depth = 32; }},
      {"map first entry", [](Tga& t) { t.map_first = 256; }},
      {"map entry size", [](Tga& t) { t.map_bits = 32; }},
  };
  for (const ReaderCase& r : reader_cases())
    for (const auto& [what, fault] : faults) {
      SCOPED_TRACE(std::string(r.name) + ": " + what);
      Tga t = r.good;
      fault(t);
      const std::string name = put(t);
      EXPECT_ERRO(r.read(name), std::string("Erro ") + r.name + " - " + r.format, "");
    }
}

TEST_F(TgaFile, FilesThatEndEarly) {
  for (const ReaderCase& r : reader_cases()) {
    SCOPED_TRACE(r.name);
    const std::string message = std::string("Erro ") + r.name + " - " + r.short_file;
    Bytes whole = r.good.bytes();
    for (size_t cut : {size_t(0), size_t(10), size_t(17), size_t(20), whole.size() - 1}) {
      write_bytes(path("cut.tga"), Bytes(whole.begin(), whole.begin() + cut));
      EXPECT_ERRO(r.read(path("cut.tga")), message, "") << cut;
    }
    // Refused before any allocation: more pixels than an image holds, more than the file holds.
    Tga huge = r.good;
    huge.width = huge.height = 65535;
    EXPECT_ERRO(r.read(put(huge)), std::string("Erro ") + r.name + " - " + r.format, "");
    huge.width = huge.height = 40000;
    EXPECT_ERRO(r.read(put(huge)), message, "");
  }
}

TEST_F(TgaFile, OpenAndWriteFailures) {
  const std::string missing = path("no/such/dir/x.tga");
  EXPECT_ERRO(IMGGRY(1, 1).ImpTga(missing), "Erro IMGGRY::imp - Abertura de ", missing);
  EXPECT_ERRO(IMGDBL(1, 1).ImpTga(missing), "Erro IMGGRY::imp - Abertura de ", missing);
  EXPECT_ERRO(IMGCOR(1, 1).ImpTga(missing), "Erro IMGCOR::ImpTga - Abertura ", missing);
  EXPECT_ERRO(IMGGRY().LeTga(missing), "Erro IMGGRY::LeTga - Abertura de ", missing);
  EXPECT_ERRO(IMGGRY().LeTgaP(missing), "Erro IMGGRY::LeTgaP - Abertura de ", missing);
  EXPECT_ERRO(IMGGRY().LeTgaI(missing), "Erro IMGGRY::LeTgaI - Abertura de ", missing);
  EXPECT_ERRO(IMGCOR().LeTga(missing), "Erro IMGCOR::LeTga - Abertura ", missing);
  EXPECT_ERRO(IMGCOR().LeTgaP(missing), "Erro IMGCOR::LeTgaP - Abertura ", missing);
  EXPECT_ERRO(IMGGRY(2, 2).ImpTga("/dev/full"), "Erro IMGGRY::ImpTga - Falha na escrita ",
              "/dev/full");
  EXPECT_ERRO(IMGCOR(2, 2).ImpTga("/dev/full"), "Erro IMGCOR::ImpTga - Falha na escrita ",
              "/dev/full");
}

// Reads a binary P5 or P6 file as netpbm writes it; channels is 1 or 3.
Bytes read_pnm(const std::string& name, int& nl, int& nc, int& channels) {
  Bytes b = read_bytes(name);
  int maxval = 0, used = 0;
  char magic[3] = {};
  std::string text(b.begin(), b.begin() + std::min<size_t>(b.size(), 64));
  if (std::sscanf(text.c_str(), "%2s %d %d %d%n", magic, &nc, &nl, &maxval, &used) != 4) return {};
  channels = std::strcmp(magic, "P6") == 0 ? 3 : 1;
  return Bytes(b.begin() + used + 1, b.end());
}

void write_pnm(const std::string& name, const Bytes& pixels, int nl, int nc, int channels) {
  std::string head = std::string(channels == 3 ? "P6" : "P5") + "\n" + std::to_string(nc) + " " +
                     std::to_string(nl) + "\n255\n";
  Bytes b(head.begin(), head.end());
  b.insert(b.end(), pixels.begin(), pixels.end());
  write_bytes(name, b);
}

Bytes grey_as_rgb(const Bytes& g) {
  Bytes b;
  for (unsigned char v : g) b.insert(b.end(), {v, v, v});
  return b;
}

TEST_F(TgaFile, NetpbmReadsOurFiles) {
  REQUIRE_TOOL("tgatoppm");
  int nl = 0, nc = 0, ch = 0;
  grey_f().ImpTga(path("g.tga"));
  ASSERT_EQ(testutil::run("tgatoppm " + path("g.tga") + " > " + path("g.ppm") + " 2>/dev/null"), 0);
  Bytes g = read_pnm(path("g.ppm"), nl, nc, ch);
  EXPECT_EQ(nl, 3);
  EXPECT_EQ(nc, 4);
  EXPECT_EQ(g, grey_as_rgb(grey_pixels(grey_f())));

  colour_f().ImpTga(path("c.tga"));
  ASSERT_EQ(testutil::run("tgatoppm " + path("c.tga") + " > " + path("c.ppm") + " 2>/dev/null"), 0);
  Bytes c = read_pnm(path("c.ppm"), nl, nc, ch);
  EXPECT_EQ(nl, 2);
  EXPECT_EQ(nc, 3);
  EXPECT_EQ(c, colour_pixels(colour_f()));
}

TEST_F(TgaFile, WeReadNetpbmFiles) {
  REQUIRE_TOOL("ppmtotga");
  auto convert = [&](const char* option, const std::string& in, const std::string& out) {
    // Reading from standard input keeps the identification field empty.
    return testutil::run(std::string("ppmtotga -norle ") + option + " < " + in + " > " + out +
                         " 2>/dev/null");
  };
  write_pnm(path("g.pgm"), grey_pixels(grey_f()), 3, 4, 1);
  ASSERT_EQ(convert("-mono", path("g.pgm"), path("g.tga")), 0);
  IMGGRY g;
  g.LeTga(path("g.tga"));
  EXPECT_EQ(grey_pixels(g), grey_pixels(grey_f()));

  write_pnm(path("c.ppm"), colour_pixels(colour_f()), 2, 3, 3);
  ASSERT_EQ(convert("-rgb", path("c.ppm"), path("rgb.tga")), 0);
  IMGCOR c;
  c.LeTga(path("rgb.tga"));
  EXPECT_EQ(colour_pixels(c), colour_pixels(colour_f()));

  ASSERT_EQ(convert("-cmap", path("c.ppm"), path("map.tga")), 0);
  IMGCOR m;
  m.LeTgaP(path("map.tga"));
  EXPECT_EQ(colour_pixels(m), colour_pixels(colour_f()));
  IMGGRY mg;
  mg.LeTgaP(path("map.tga"));
  Bytes expect;
  for (int k = 0; k < 6; k++) {
    COR p = colour_f().data[k];
    expect.push_back(static_cast<unsigned char>((p.r + p.g + p.b + 1) / 3));
  }
  EXPECT_EQ(grey_pixels(mg), expect);
}

}  // namespace
