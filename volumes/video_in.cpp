// Video reading: demux the first video stream, decode, convert each picture to RGB24 or YUV420P.
#include <cstring>
#include <new>

#include "foundation/erro.h"
#include "volumes/video.h"
#include "volumes/video_internal.h"

using namespace vistelmo::video;

// Kept for its exported object, but it no longer touches FFmpeg at load time: FFmpeg is loaded,
// and its logging silenced, on the first video call (ffmpeg::av()).
__InicializaAV::__InicializaAV() {}

class __InicializaAV __InicializaAV;

VIDIN::VIDIN()
    : fmtctx(nullptr),
      videoidx(-1),
      codecctx(nullptr),
      codec(nullptr),
      frame(nullptr),
      rgbframe(nullptr),
      yuvframe(nullptr),
      packet(nullptr),
      rgbbuf(nullptr),
      yuvbuf(nullptr),
      nframe(-1),
      rgbsws(nullptr),
      yuvsws(nullptr),
      bufnl(0),
      bufnc(0),
      drained(false) {}

VIDIN::~VIDIN() {
  delete[] rgbbuf;
  rgbbuf = nullptr;
  delete[] yuvbuf;
  yuvbuf = nullptr;
  // A reader never opened holds nothing of FFmpeg's: no need to load it just to free nulls.
  if (!vistelmo::ffmpeg::loaded()) return;
  av().av_frame_free(&rgbframe);
  av().av_frame_free(&yuvframe);
  av().av_frame_free(&frame);
  av().av_packet_free(&packet);
  av().sws_freeContext(rgbsws);
  av().sws_freeContext(yuvsws);
  rgbsws = yuvsws = nullptr;
  av().avcodec_free_context(&codecctx);
  av().avformat_close_input(&fmtctx);
}

namespace {

AVFrame* new_frame() {
  AVFrame* f = av().av_frame_alloc();
  if (!f) erro("Could not allocate AVFrame", "");
  return f;
}

unsigned char* new_picture(AVFrame* view, AVPixelFormat fmt, int nl, int nc) {
  auto* buf = new (std::nothrow) unsigned char[packed_size(fmt, nl, nc) + kPad];
  if (!buf) erro("Could not allocate AVFrame", "");
  lay_packed(view, buf, fmt, nl, nc);
  return buf;
}

// Sizes both conversion pictures for nl x nc pictures; kept while the size stays.
void size_buffers(VIDIN& v, int nl, int nc) {
  if (nl == v.bufnl && nc == v.bufnc) return;
  delete[] v.rgbbuf;
  delete[] v.yuvbuf;
  v.rgbbuf = v.yuvbuf = nullptr;
  v.bufnl = v.bufnc = 0;
  if (nl <= 0 || nc <= 0) return;
  v.rgbbuf = new_picture(v.rgbframe, AV_PIX_FMT_RGB24, nl, nc);
  v.yuvbuf = new_picture(v.yuvframe, AV_PIX_FMT_YUV420P, nl, nc);
  v.bufnl = nl;
  v.bufnc = nc;
}

// Decodes the next picture of the video stream into v.frame; false once the file and the
// decoder are both exhausted. A packet the decoder refuses just gives no picture.
bool next_picture(VIDIN& v) {
  for (;;) {
    const int r = av().avcodec_receive_frame(v.codecctx, v.frame);
    if (r == 0) return true;
    if (v.drained) return false;
    if (av().av_read_frame(v.fmtctx, v.packet) < 0) {
      av().avcodec_send_packet(v.codecctx, nullptr);
      v.drained = true;
      continue;
    }
    if (v.packet->stream_index == v.videoidx) av().avcodec_send_packet(v.codecctx, v.packet);
    av().av_packet_unref(v.packet);
  }
}

template <class IMG>
bool read_picture(VIDIN& v, IMG& a, AVPixelFormat fmt) {
  if (!v.fmtctx) erro("Erro: VIDIN nao aberto", "");
  if (!next_picture(v)) return false;
  AVFrame* f = v.frame;
  const int nl = f->height;
  const int nc = f->width;
  size_buffers(v, nl, nc);
  const bool rgb = fmt == AV_PIX_FMT_RGB24;
  SwsContext*& sws = rgb ? v.rgbsws : v.yuvsws;
  sws = av().sws_getCachedContext(sws, nc, nl, static_cast<AVPixelFormat>(f->format), nc, nl, fmt,
                                  SWS_BICUBIC, nullptr, nullptr, nullptr);
  if (!sws) erro("Could not initialize the conversion context", "");
  AVFrame* dst = rgb ? v.rgbframe : v.yuvframe;
  av().sws_scale(sws, f->data, f->linesize, 0, nl, dst->data, dst->linesize);
  av().av_frame_unref(f);
  if (rgb) {
    a.resize(nl, nc);
  } else {
    a.resize(3 * nl / 2, nc);
  }
  std::memcpy(a.data, rgb ? v.rgbbuf : v.yuvbuf, sizeof(*a.data) * a.n());
  v.nframe++;
  return true;
}

}  // namespace

void VIDIN::open(const std::string& name) {
  if (fmtctx) erro("Erro: VIDIN ja aberto", "");
  nframe = -1;
  if (av().avformat_open_input(&fmtctx, name.c_str(), nullptr, nullptr) != 0)
    erro("Could not open file ", name);
  if (av().avformat_find_stream_info(fmtctx, nullptr) < 0)
    erro("Could not find stream information", "");
  av().av_dump_format(fmtctx, 0, name.c_str(), 0);

  videoidx = -1;
  for (unsigned i = 0; i < fmtctx->nb_streams; i++) {
    if (fmtctx->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
      videoidx = static_cast<int>(i);
      break;
    }
  }
  if (videoidx < 0) erro("Didn't find a video stream", "");

  const AVCodecParameters* par = fmtctx->streams[videoidx]->codecpar;
  codec = av().avcodec_find_decoder(par->codec_id);
  if (!codec) erro("Codec not found", "");
  codecctx = av().avcodec_alloc_context3(codec);
  if (!codecctx || av().avcodec_parameters_to_context(codecctx, par) < 0 ||
      av().avcodec_open2(codecctx, codec, nullptr) < 0)
    erro("Could not open codec", "");

  frame = new_frame();
  rgbframe = new_frame();
  yuvframe = new_frame();
  packet = av().av_packet_alloc();
  if (!packet) erro("Could not allocate AVPacket", "");
  size_buffers(*this, codecctx->height, codecctx->width);
}

bool VIDIN::getframe(IMGCOR& a) { return read_picture(*this, a, AV_PIX_FMT_RGB24); }

bool VIDIN::_getyuvframe(IMGGRY& a) { return read_picture(*this, a, AV_PIX_FMT_YUV420P); }
