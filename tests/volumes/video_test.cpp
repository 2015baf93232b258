// Video through FFmpeg: writing, reading back, files made by the ffmpeg tool, failures.
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "vistelmo.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/version.h>
}

namespace {

const char* const kAvutil = "libavutil.so." AV_STRINGIFY(LIBAVUTIL_VERSION_MAJOR);

// Read before any test runs: whether libavutil came in with the library at load time.
const bool avutil_at_start = dlopen(kAvutil, RTLD_NOW | RTLD_NOLOAD) != nullptr;

constexpr int kNl = 48;
constexpr int kNc = 64;

COR rgb(int r, int g, int b) {
  return COR{static_cast<unsigned char>(r), static_cast<unsigned char>(g),
             static_cast<unsigned char>(b)};
}

// Frame k: four flat blocks of different colours, split at row 16 and column 32, so flips,
// swapped channels and swapped frames all show.
COR block_colour(int l, int c, int k) {
  const bool top = l < 16;
  const bool left = c < 32;
  if (top && left) return rgb(200, 40 + 20 * k, 60);
  if (top) return rgb(30, 180, 90 + 20 * k);
  if (left) return rgb(60 + 20 * k, 60, 210);
  return rgb(30 * k, 220 - 10 * k, 150);
}

IMGCOR pattern(int k) {
  IMGCOR a(kNl, kNc);
  for (int l = 0; l < kNl; l++)
    for (int c = 0; c < kNc; c++) a.rows[l][c] = block_colour(l, c, k);
  return a;
}

// Mean absolute difference over the bytes of two equal-sized blocks.
double mean_diff(const unsigned char* a, const unsigned char* b, size_t n) {
  double s = 0;
  for (size_t i = 0; i < n; i++) s += std::abs(a[i] - b[i]);
  return s / static_cast<double>(n);
}

void expect_close(COR got, COR want, int tol) {
  EXPECT_NEAR(got.r, want.r, tol);
  EXPECT_NEAR(got.g, want.g, tol);
  EXPECT_NEAR(got.b, want.b, tol);
}

class Video : public testutil::TempDir {
 protected:
  // key=value lines of ffprobe for the first video stream and the container.
  std::map<std::string, std::string> probe(const std::string& file) {
    const std::string out = path("probe.txt");
    const std::string cmd =
        "ffprobe -v error -select_streams v:0 -count_frames -show_entries "
        "stream=codec_name,width,height,nb_read_frames:format=format_name -of default=nw=1 '" +
        file + "' > '" + out + "'";
    EXPECT_EQ(testutil::run(cmd), 0) << cmd;
    std::map<std::string, std::string> m;
    std::istringstream in(testutil::read_text(out));
    std::string line;
    while (std::getline(in, line)) {
      const auto eq = line.find('=');
      if (eq != std::string::npos) m[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return m;
  }

  void ffmpeg(const std::string& args) {
    const std::string cmd = "ffmpeg -nostdin -v error -y " + args;
    ASSERT_EQ(testutil::run(cmd), 0) << cmd;
  }
};

struct Container {
  const char* ext;
  const char* codec;
};
void PrintTo(const Container& c, std::ostream* os) { *os << c.ext; }

class VideoRoundTrip : public Video, public ::testing::WithParamInterface<Container> {};

TEST_P(VideoRoundTrip, WrittenFramesReadBack) {
  REQUIRE_TOOL("ffprobe");
  const std::string name = path(std::string("v.") + GetParam().ext);
  constexpr int kFrames = 5;
  {
    VIDOUT out;
    out.open(name, kNl, kNc, 1, 25, 4000000);
    for (int k = 0; k < kFrames; k++) {
      out.putframe(pattern(k));
      EXPECT_EQ(out.nframe, k);
    }
  }
  auto p = probe(name);
  EXPECT_EQ(p["codec_name"], GetParam().codec);
  EXPECT_EQ(p["width"], std::to_string(kNc));
  EXPECT_EQ(p["height"], std::to_string(kNl));
  EXPECT_EQ(p["nb_read_frames"], std::to_string(kFrames));

  VIDIN in;
  in.open(name);
  EXPECT_EQ(in.nframe, -1);
  IMGCOR a;
  const COR* storage = nullptr;
  for (int k = 0; k < kFrames; k++) {
    SCOPED_TRACE(k);
    ASSERT_TRUE(in.getframe(a));
    EXPECT_EQ(in.nframe, k);
    ASSERT_EQ(a.nl(), kNl);
    ASSERT_EQ(a.nc(), kNc);
    if (k == 0) storage = a.data;
    EXPECT_EQ(a.data, storage);  // same size: storage kept
    const IMGCOR want = pattern(k);
    EXPECT_LT(mean_diff(&a.data[0].r, &want.data[0].r, 3 * a.n()), 4.0);
    for (int l : {8, 40})
      for (int c : {12, 50}) expect_close(a(l, c), want(l, c), 10);
  }
  const IMGCOR last = a;
  EXPECT_FALSE(in.getframe(a));
  EXPECT_FALSE(in.getframe(a));
  EXPECT_EQ(in.nframe, kFrames - 1);
  EXPECT_EQ(mean_diff(&a.data[0].r, &last.data[0].r, 3 * a.n()), 0.0);
}

INSTANTIATE_TEST_SUITE_P(Containers, VideoRoundTrip,
                         ::testing::Values(Container{"avi", "mpeg4"},
                                           Container{"mpg", "mpeg1video"}, Container{"mp4", "h264"},
                                           Container{"mkv", "h264"}, Container{"webm", "vp9"}),
                         [](const auto& info) { return std::string(info.param.ext); });

// Y ramps, distinct U and V per frame; the planes stacked as IMGYUV keeps them.
IMGGRY yuv_planes(int k) {
  IMGYUV y(kNl, kNc);
  for (int l = 0; l < kNl; l++)
    for (int c = 0; c < kNc; c++) y.img.rows[l][c] = static_cast<unsigned char>(16 + 2 * l + c + k);
  for (int i = 0; i < y.cw * kNl / 2; i++) {
    y.img.data[y.uoff + i] = static_cast<unsigned char>(60 + i % 7 + 10 * k);
    y.img.data[y.voff + i] = static_cast<unsigned char>(200 - i % 5 - 10 * k);
  }
  return y.img;
}

TEST_F(Video, YuvPlanesLosslessRoundTrip) {
  REQUIRE_TOOL("ffprobe");
  const std::string name = path("v.y4m");
  {
    VIDOUT out;
    out.open(name, kNl, kNc, 1, 25, 0);
    for (int k = 0; k < 3; k++) out._putyuvframe(yuv_planes(k));
  }
  auto p = probe(name);
  EXPECT_EQ(p["nb_read_frames"], "3");
  VIDIN in;
  in.open(name);
  IMGGRY g;
  for (int k = 0; k < 3; k++) {
    ASSERT_TRUE(in._getyuvframe(g));
    ASSERT_EQ(g.nl(), kNl * 3 / 2);
    ASSERT_EQ(g.nc(), kNc);
    const IMGGRY want = yuv_planes(k);
    EXPECT_TRUE(std::equal(g.data, g.data + g.n(), want.data)) << "frame " << k;
  }
  EXPECT_FALSE(in._getyuvframe(g));
  EXPECT_EQ(in.nframe, 2);
}

TEST_F(Video, RawYuvFileHoldsPackedPlanes) {
  const std::string name = path("v.yuv");
  {
    VIDOUT out;
    out.open(name, kNl, kNc, 1, 25, 0);
    out._putyuvframe(yuv_planes(0));
    out._putyuvframe(yuv_planes(1));
  }
  std::vector<unsigned char> want;
  for (int k = 0; k < 2; k++) {
    const IMGGRY g = yuv_planes(k);
    want.insert(want.end(), g.data, g.data + g.n());
  }
  EXPECT_EQ(testutil::read_bytes(name), want);
}

// A file made by the ffmpeg tool: audio first, video second; frames compared with the tool's own
// decoding.
TEST_F(Video, ReadsToolMadeFileWithAudioFirst) {
  REQUIRE_TOOL("ffmpeg");
  const std::string name = path("t.avi");
  ffmpeg(
      "-f lavfi -i testsrc=size=64x48:rate=10:duration=0.6 -f lavfi -i sine=duration=0.6 "
      "-map 1:a -map 0:v -c:v mpeg4 -q:v 3 -c:a pcm_s16le '" +
      name + "'");
  ffmpeg("-i '" + name + "' -f rawvideo -pix_fmt rgb24 '" + path("t.rgb") + "'");
  ffmpeg("-i '" + name + "' -f rawvideo -pix_fmt yuv420p '" + path("t.yuv") + "'");
  const auto ref_rgb = testutil::read_bytes(path("t.rgb"));
  const auto ref_yuv = testutil::read_bytes(path("t.yuv"));
  constexpr size_t kRgb = 3 * kNl * kNc;
  constexpr size_t kYuv = kNl * kNc * 3 / 2;
  ASSERT_EQ(ref_rgb.size(), 6 * kRgb);
  ASSERT_EQ(ref_yuv.size(), 6 * kYuv);

  VIDIN in;
  in.open(name);
  EXPECT_EQ(in.videoidx, 1);
  IMGCOR a;
  int k = 0;
  while (in.getframe(a)) {
    ASSERT_LT(k, 6);
    ASSERT_EQ(a.nl(), kNl);
    ASSERT_EQ(a.nc(), kNc);
    EXPECT_LT(mean_diff(&a.data[0].r, ref_rgb.data() + k * kRgb, kRgb), 1.0) << "frame " << k;
    k++;
  }
  EXPECT_EQ(k, 6);

  VIDIN iny;
  iny.open(name);
  IMGGRY g;
  for (k = 0; iny._getyuvframe(g); k++) {
    ASSERT_LT(k, 6);
    EXPECT_TRUE(std::equal(g.data, g.data + g.n(), ref_yuv.data() + k * kYuv)) << "frame " << k;
  }
  EXPECT_EQ(k, 6);
}

// Odd sizes: the RGB frame is nl x nc; the plane image takes the first (3*nl/2) x nc bytes of the
// packed YUV 4:2:0 picture as they lie.
TEST_F(Video, OddSizeFrames) {
  REQUIRE_TOOL("ffmpeg");
  const std::string name = path("odd.mkv");
  ffmpeg("-f lavfi -i testsrc=size=33x25:rate=10 -frames:v 2 -c:v ffv1 -pix_fmt yuv420p '" + name +
         "'");
  ffmpeg("-i '" + name + "' -f rawvideo -pix_fmt yuv420p '" + path("odd.yuv") + "'");
  const auto ref = testutil::read_bytes(path("odd.yuv"));
  const size_t frame_bytes = 33 * 25 + 2 * 17 * 13;
  ASSERT_EQ(ref.size(), 2 * frame_bytes);

  VIDIN in;
  in.open(name);
  IMGCOR a;
  ASSERT_TRUE(in.getframe(a));
  EXPECT_EQ(a.nl(), 25);
  EXPECT_EQ(a.nc(), 33);
  IMGGRY g;
  ASSERT_TRUE(in._getyuvframe(g));
  EXPECT_EQ(g.nl(), 37);
  EXPECT_EQ(g.nc(), 33);
  EXPECT_TRUE(std::equal(g.data, g.data + g.n(), ref.data() + frame_bytes));
  EXPECT_FALSE(in._getyuvframe(g));
}

TEST_F(Video, UnknownExtensionFallsBackToMpeg) {
  REQUIRE_TOOL("ffprobe");
  const std::string name = path("v.qqq");
  testing::internal::CaptureStdout();
  {
    VIDOUT out;
    out.open(name, kNl, kNc, 1, 25, 2000000);
    std::fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Could not deduce output format from file extension: using MPEG.\n");
    out.putframe(pattern(0));
    out.putframe(pattern(1));
  }
  auto p = probe(name);
  EXPECT_EQ(p["format_name"], "mpeg");
  EXPECT_EQ(p["codec_name"], "mpeg1video");
  EXPECT_EQ(p["nb_read_frames"], "2");
}

// FFmpeg is loaded by the first video call, not with the library, and silenced right then.
// Its log level is looked up at run time: the tests do not link libavutil themselves.
TEST(VideoStartUp, FfmpegNotLoadedWithTheLibrary) { EXPECT_FALSE(avutil_at_start); }

TEST_F(Video, FfmpegIsSilencedOnFirstUse) {
  testing::internal::CaptureStderr();
  {
    VIDOUT out;
    out.open(path("quiet.avi"), kNl, kNc, 1, 25, 1000000);
    out.putframe(pattern(0));
  }
  {
    VIDIN in;
    in.open(path("quiet.avi"));
    IMGCOR a;
    EXPECT_TRUE(in.getframe(a));
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  void* avutil = dlopen(kAvutil, RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(avutil, nullptr);
  auto level = reinterpret_cast<int (*)()>(dlsym(avutil, "av_log_get_level"));
  ASSERT_NE(level, nullptr);
  EXPECT_EQ(level(), -1);
  dlclose(avutil);
}

TEST_F(Video, WriterWithoutFramesStillFinishesTheFile) {
  REQUIRE_TOOL("ffprobe");
  const std::string name = path("empty.avi");
  {
    VIDOUT out;
    out.open(name, kNl, kNc, 1, 25, 1000000);
    EXPECT_EQ(out.nframe, -1);
  }
  auto p = probe(name);
  EXPECT_EQ(p["codec_name"], "mpeg4");
  EXPECT_EQ(p["width"], std::to_string(kNc));
  VIDIN in;
  in.open(name);
  IMGCOR a;
  EXPECT_FALSE(in.getframe(a));
  EXPECT_EQ(in.nframe, -1);
  EXPECT_EQ(a.n(), 0);
}

TEST_F(Video, EncoderSettingsFollowTheContainer) {
  struct Case {
    const char* ext;
    bool global_header;
    int mb_decision;
  };
  const Case cases[] = {{"mp4", true, FF_MB_DECISION_SIMPLE},  {"mov", true, FF_MB_DECISION_SIMPLE},
                        {"avi", false, FF_MB_DECISION_SIMPLE}, {"mkv", true, FF_MB_DECISION_SIMPLE},
                        {"webm", true, FF_MB_DECISION_SIMPLE}, {"mpg", false, FF_MB_DECISION_RD}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ext);
    VIDOUT out;
    out.open(path(std::string("s.") + c.ext), kNl, kNc, 1, 25, 1000000);
    ASSERT_NE(out.codecctx, nullptr);
    EXPECT_EQ((out.codecctx->flags & AV_CODEC_FLAG_GLOBAL_HEADER) != 0, c.global_header);
    EXPECT_EQ(out.codecctx->mb_decision, c.mb_decision);
    EXPECT_EQ(out.codecctx->gop_size, 12);
    EXPECT_EQ(out.codecctx->bit_rate, 1000000);
  }
}

using VideoDeath = Video;

TEST_F(VideoDeath, ReaderFailures) {
  const std::string missing = path("none.avi");
  EXPECT_ERRO(VIDIN().open(missing), "Could not open file ", missing);
  EXPECT_ERRO(
      {
        IMGCOR a;
        VIDIN().getframe(a);
      },
      "Erro: VIDIN nao aberto", "");
  if (!testutil::have_tool("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
  const std::string wav = path("a.wav");
  ffmpeg("-f lavfi -i sine=duration=0.2 '" + wav + "'");
  EXPECT_ERRO(VIDIN().open(wav), "Didn't find a video stream", "");

  // An AVI whose video fourcc no decoder knows.
  const std::string avi = path("m.avi");
  ffmpeg("-f lavfi -i testsrc=size=64x48:rate=10 -frames:v 2 -c:v mpeg4 '" + avi + "'");
  std::string bytes = testutil::read_text(avi);
  for (size_t at = bytes.find("FMP4"); at != std::string::npos; at = bytes.find("FMP4", at))
    bytes.replace(at, 4, "QQQQ");
  const std::string unknown = path("q.avi");
  testutil::write_text(unknown, bytes);
  EXPECT_ERRO(VIDIN().open(unknown), "Codec not found", "");
  EXPECT_ERRO(
      {
        VIDIN in;
        in.open(avi);
        in.open(avi);
      },
      "Erro: VIDIN ja aberto", "");
}

TEST_F(VideoDeath, WriterFailures) {
  const std::string name = path("w.avi");
  EXPECT_ERRO(VIDOUT().open(name, 47, 64, 1, 25, 1000000), "Erro: nl ou nc impar", "");
  EXPECT_ERRO(VIDOUT().open(name, 48, 63, 1, 25, 1000000), "Erro: nl ou nc impar", "");
  const std::string nodir = path("no/such/dir/w.avi");
  EXPECT_ERRO(VIDOUT().open(nodir, kNl, kNc, 1, 25, 1000000), "Could not open ", nodir);
  EXPECT_ERRO(VIDOUT().open(path("w.wav"), kNl, kNc, 1, 25, 1000000),
              "Invalid output format parameters", "");
  EXPECT_ERRO(VIDOUT().putframe(pattern(0)), "Erro: VIDOUT nao aberto", "");
  EXPECT_ERRO(
      {
        VIDOUT out;
        out.open(name, kNl, kNc, 1, 25, 1000000);
        out.putframe(IMGCOR(kNl - 1, kNc));
      },
      "Erro: a.nl()!=nl() || a.nc()!=nc()", "");
  EXPECT_ERRO(
      {
        VIDOUT out;
        out.open(name, kNl, kNc, 1, 25, 1000000);
        out._putyuvframe(IMGGRY(kNl, kNc));
      },
      "Erro: a.nl()!=3*nl()/2 || a.nc()!=nc()", "");
  EXPECT_ERRO(
      {
        VIDOUT out;
        out.open(name, kNl, kNc, 1, 25, 1000000);
        out.open(name, kNl, kNc, 1, 25, 1000000);
      },
      "Erro: VIDOUT ja aberto", "");
}

// A libavutil that cannot be loaded (an empty file found first on the library path): the first
// video call fails with the loader's reason. The child is a fresh process, FFmpeg not yet loaded.
TEST_F(VideoDeath, MissingFfmpegFailsOnFirstUse) {
  testutil::write_text(path(kAvutil), "");
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const char* old = std::getenv("LD_LIBRARY_PATH");
  const std::string saved = old ? old : "";
  setenv("LD_LIBRARY_PATH", dir().c_str(), 1);
  EXPECT_EXIT(
      {
        testutil::stdout_to_stderr();
        VIDOUT().open(path("w.avi"), kNl, kNc, 1, 25, 1000000);
      },
      ::testing::ExitedWithCode(1),
      ::testing::AllOf(::testing::HasSubstr("Could not load FFmpeg: "),
                       ::testing::HasSubstr(path(kAvutil))));
  if (old) {
    setenv("LD_LIBRARY_PATH", saved.c_str(), 1);
  } else {
    unsetenv("LD_LIBRARY_PATH");
  }
}

}  // namespace
