// The Kelt program end to end: messages, exit statuses, progress and the written BMP.
#include <cstdlib>

#include "formats/image_io.h"
#include "support/test_support.h"
#include "zoom_helpers.h"

namespace {

const std::string kBanner =
    "Kelt: Zoom a binary image by applying WZ-operator constructed by Mavo\n"
    "KELT To-be-zoomed.BMP Filter.CTZ Processed.BMP\n";

// The progress lines of a 250-pixel input.
std::string progress_of_250() {
  std::string progress;
  char line[64];
  for (int k = 0; k < 250; k += 2) {
    std::snprintf(line, sizeof line, "%10.3f%% concluded...\r", 100.0 * k / 250);
    progress += line;
  }
  return progress + "   100.000% concluded...\r";
}

class KeltRun : public testutil::TempDir {
 protected:
  void SetUp() override {
    TempDir::SetUp();
    kelt_ = KELT_PATH;
  }
  // Runs Kelt with the arguments; keeps stdout and stderr.
  int kelt(const std::string& args) {
    return testutil::run("ASAN_OPTIONS=allocator_may_return_null=1:detect_leaks=0 " + kelt_ + " " +
                         args + " >" + path("stdout") + " 2>" + path("stderr"));
  }
  std::string out() { return testutil::read_text(path("stdout")); }
  std::string err() { return testutil::read_text(path("stderr")); }
  // A 10 x 25 input (250 pixels) and a filter on the pixel and its right neighbour.
  void write_inputs(int F) {
    IMGBIN in(10, 25, true);
    for (int l = 0; l < 10; l++)
      for (int c = 0; c < 25; c++) in(l, c) = (l * 7 + c * 3) % 5 != 0;
    in.ImpBmp(path("in.bmp"));
    kelt::writefilter(path("f.ctz"), F, {{0, 0}, {0, 1}},
                      kelt::full_tree({0, 1}, [](uint32_t b) { return 0x0F0F0F0Fu * b + 0x11u; }));
  }
  std::string kelt_;
};

TEST_F(KeltRun, WrongArgumentCounts) {
  for (const char* args : {"", "a", "a b", "a b c d"}) {
    EXPECT_EQ(kelt(args), 1) << args;
    EXPECT_EQ(out(), kBanner + "Error: Invalid number of arguments. \n") << args;
  }
}

TEST_F(KeltRun, ZoomsAndReports) {
  write_inputs(3);
  std::string outname = path("zoomed.out");  // any extension still gets a BMP
  std::string cmd = path("in.bmp") + " " + path("f.ctz") + " " + outname;
  ASSERT_EQ(kelt(cmd), 0) << out();
  const std::string report = "\nZooming has finished. Zoomed image=" + outname +
                             "\nExecuted command: " + kelt_ + " " + cmd +
                             " \nTotal processing time: ";
  EXPECT_THAT(out(), testing::AnyOf(report + "0 s\n\n\n", report + "1 s\n\n\n"));

  EXPECT_EQ(err(), progress_of_250());

  // The same picture as the plain walk and pixel-by-pixel expansion.
  IMGBIN in;
  le(in, path("in.bmp"));
  VETOR<PONTOI2> w;
  kelt::ZoomNodeList nodes;
  int F;
  kelt::readfilter(nodes, F, w, path("f.ctz").c_str());
  MATRIZ<uint32_t> p(in.nl(), in.nc());
  kelt::applyfilter_plain(in, w, nodes, p, nullptr);
  IMGBIN want_img(30, 75);
  kelt::expand_plain(p, F, want_img);
  want_img.ImpBmp(path("want.bmp"));
  EXPECT_EQ(testutil::read_bytes(outname), testutil::read_bytes(path("want.bmp")));

  // An independent reader sees the same pixels.
  if (testutil::have_tool("bmptopnm")) {
    ASSERT_EQ(
        testutil::run("bmptopnm " + outname + " 2>/dev/null | pnmtoplainpnm >" + path("z.pbm")), 0);
    std::string text = testutil::read_text(path("z.pbm"));
    std::string bits;
    for (size_t i = text.find("75 30") + 5; i < text.size(); i++)
      if (text[i] == '0' || text[i] == '1') bits += text[i];
    ASSERT_EQ(bits.size(), 30u * 75u);
    for (int r = 0; r < 30; r++)
      for (int q = 0; q < 75; q++)
        ASSERT_EQ(bits[r * 75 + q] == '0', want_img(r, q)) << r << "," << q;
  }
}

TEST_F(KeltRun, MissingInputStopsBeforeTheFilter) {
  EXPECT_EQ(kelt(path("none.bmp") + " " + path("none.ctz") + " " + path("o.bmp")), 1);
  EXPECT_EQ(out(), testutil::erro_line("Erro TipoImg - Abertura ", path("none.bmp")));
  EXPECT_FALSE(testutil::file_exists(path("o.bmp")));
}

// The output is written while the pass runs; a failure to create or write it is still
// reported once the pass is over, after every progress line.
TEST_F(KeltRun, OutputFailuresAfterThePass) {
  write_inputs(3);
  const std::string inputs = path("in.bmp") + " " + path("f.ctz") + " ";
  EXPECT_EQ(kelt(inputs + path("none/o.bmp")), 1);
  EXPECT_EQ(out(), testutil::erro_line("Erro IMGBIN::ImpBmp - abertura de ", path("none/o.bmp")));
  EXPECT_EQ(err(), progress_of_250());
  if (testutil::file_exists("/dev/full")) {
    EXPECT_EQ(kelt(inputs + "/dev/full"), 1);
    EXPECT_EQ(out(), testutil::erro_line("Erro IMGBIN::ImpBmp - Falha na escrita ", "/dev/full"));
    EXPECT_EQ(err(), progress_of_250());
  }
}

// An output that cannot seek (a pipe) receives the same bytes.
TEST_F(KeltRun, WritesToAPipe) {
  write_inputs(4);
  ASSERT_EQ(testutil::run(kelt_ + " " + path("in.bmp") + " " + path("f.ctz") + " " + path("o.bmp") +
                          " >/dev/null 2>&1"),
            0);
  ASSERT_EQ(testutil::run(kelt_ + " " + path("in.bmp") + " " + path("f.ctz") +
                          " /dev/stdout 2>/dev/null | head -c " +
                          std::to_string(testutil::read_bytes(path("o.bmp")).size()) + " >" +
                          path("p.bmp")),
            0);
  EXPECT_EQ(testutil::read_bytes(path("p.bmp")), testutil::read_bytes(path("o.bmp")));
}

struct Failure {
  const char* name;
  std::vector<unsigned char> filter;  // empty: no filter file
  std::string message;                // the line on stdout
};

TEST_F(KeltRun, FailuresAfterReadingTheInput) {
  write_inputs(2);
  auto words = [](std::vector<uint32_t> v) {
    std::vector<unsigned char> b;
    for (uint32_t x : v)
      for (int i = 0; i < 4; i++) b.push_back(static_cast<unsigned char>(x >> (8 * i)));
    return b;
  };
  const uint32_t L = uint32_t(-1);
  std::vector<Failure> cases = {
      {"missing filter", {}, "Error in opening filter \n"},
      {"short filter", words({2, 5, 0, 0}), "Error in reading filter \n"},
      {"cycle", words({2, 1, 0, 0, 2, 0, 0, 5, L}), "Error: Invalid filter \n"},
      {"window index", words({2, 1, 0, 0, 3, 4, 2, 5, L, 6, L}),
       "Erro VETOR::operator() - Indice invalido \n"},
      {"zero factor", words({0, 0, 1, 5, L}),
       testutil::erro_line("Erro IMGBIN:ImpBmp - Imagem nula ", path("o.bmp"))},
      {"huge factor", words({1 << 30, 0, 1, 5, L}), "Erro IMGBIN::aloca - falta memoria \n"},
  };
  for (const Failure& f : cases) {
    std::remove(path("f.ctz").c_str());
    if (!f.filter.empty()) testutil::write_bytes(path("f.ctz"), f.filter);
    EXPECT_EQ(kelt(path("in.bmp") + " " + path("f.ctz") + " " + path("o.bmp")), 1) << f.name;
    EXPECT_EQ(out(), f.message) << f.name;
    EXPECT_FALSE(testutil::file_exists(path("o.bmp"))) << f.name;
  }
}

}  // namespace
