// Video writing: one video stream in the container the file name's extension names.
#include <cstdio>
#include <cstring>

#include "foundation/erro.h"
#include "volumes/video.h"
#include "volumes/video_internal.h"

using namespace vistelmo::video;

VIDOUT::VIDOUT()
    : yuvpic(nullptr),
      rgbpic(nullptr),
      ofmt(nullptr),
      fmtctx(nullptr),
      videost(nullptr),
      nframe(-1),
      bitrate(0),
      codecctx(nullptr),
      sws(nullptr),
      packet(nullptr),
      header(false) {}

namespace {

// Hands pic (null: end of stream) to the encoder and writes every packet it gives back.
void encode(VIDOUT& v, AVFrame* pic) {
  if (pic) pic->pts = v.nframe;
  if (av().avcodec_send_frame(v.codecctx, pic) < 0) erro("Error while writing video frame", "");
  for (;;) {
    int r = av().avcodec_receive_packet(v.codecctx, v.packet);
    if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return;
    if (r < 0) erro("Error while writing video frame", "");
    if (v.packet->duration == 0) v.packet->duration = 1;
    av().av_packet_rescale_ts(v.packet, v.codecctx->time_base, v.videost->time_base);
    v.packet->stream_index = v.videost->index;
    r = av().av_write_frame(v.fmtctx, v.packet);
    av().av_packet_unref(v.packet);
    if (r != 0) erro("Error while writing video frame", "");
  }
}

void free_picture(AVFrame*& pic) {
  if (!pic) return;
  av().av_free(pic->data[0]);
  av().av_frame_free(&pic);
}

}  // namespace

VIDOUT::~VIDOUT() {
  if (videost) {
    // The encoder gives back the pictures it still holds before it is closed.
    if (header) encode(*this, nullptr);
    av().avcodec_free_context(&codecctx);
    free_picture(yuvpic);
    free_picture(rgbpic);
    av().sws_freeContext(sws);
    sws = nullptr;
    av().av_packet_free(&packet);
    videost = nullptr;
  }
  if (fmtctx) {
    if (header) av().av_write_trailer(fmtctx);
    if (!(ofmt->flags & AVFMT_NOFILE)) av().avio_closep(&fmtctx->pb);
    ofmt = nullptr;
    av().avformat_free_context(fmtctx);
    fmtctx = nullptr;
    header = false;
  }
}

void VIDOUT::open(const std::string& name, int nl, int nc, int tbnum, int tbden, int bitrate) {
  if (fmtctx) erro("Erro: VIDOUT ja aberto", "");
  nframe = -1;
  this->bitrate = bitrate;
  ofmt = av().av_guess_format(nullptr, name.c_str(), nullptr);
  if (!ofmt) {
    std::puts("Could not deduce output format from file extension: using MPEG.");
    ofmt = av().av_guess_format("mpeg", nullptr, nullptr);
    if (!ofmt) erro("Could not find suitable output format", "");
  }
  fmtctx = av().avformat_alloc_context();
  if (!fmtctx) erro("Memory error", "");
  fmtctx->oformat = ofmt;
  fmtctx->url = av().av_strdup(name.c_str());
  if (!fmtctx->url) erro("Memory error", "");
  if (nl % 2 == 1 || nc % 2 == 1) erro("Erro: nl ou nc impar", "");

  videost = nullptr;
  if (ofmt->video_codec != AV_CODEC_ID_NONE)
    add_video_stream(ofmt->video_codec, nl, nc, tbnum, tbden, bitrate);
  if (videost) open_video();
  av().av_dump_format(fmtctx, 0, name.c_str(), 1);
  if (!(ofmt->flags & AVFMT_NOFILE) &&
      av().avio_open(&fmtctx->pb, name.c_str(), AVIO_FLAG_WRITE) < 0)
    erro("Could not open ", name);
  // The muxer checks the stream here (a container without video refuses it).
  if (av().avformat_write_header(fmtctx, nullptr) < 0) erro("Invalid output format parameters", "");
  header = true;
}

void VIDOUT::add_video_stream(int codec_id, int nl, int nc, int tbnum, int tbden, int bitrate) {
  videost = av().avformat_new_stream(fmtctx, nullptr);
  if (!videost) erro("Could not alloc video_st", "");
  videost->id = 0;
  const auto id = static_cast<AVCodecID>(codec_id);
  codecctx = av().avcodec_alloc_context3(av().avcodec_find_encoder(id));
  if (!codecctx) erro("Could not alloc video_st", "");
  codecctx->codec_type = AVMEDIA_TYPE_VIDEO;
  codecctx->bit_rate = bitrate;
  codecctx->codec_id = id;
  codecctx->width = nc;
  codecctx->height = nl;
  codecctx->time_base = AVRational{tbnum, tbden};
  codecctx->gop_size = 12;
  codecctx->pix_fmt = AV_PIX_FMT_YUV420P;
  if (id == AV_CODEC_ID_MPEG1VIDEO) codecctx->mb_decision = FF_MB_DECISION_RD;
  // Containers that keep the codec's headers in their own (mp4, mov, 3gp, Matroska, ...) need
  // them from the encoder as extradata.
  if (fmtctx->oformat->flags & AVFMT_GLOBALHEADER) codecctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  videost->time_base = codecctx->time_base;
}

void VIDOUT::open_video() {
  const AVCodec* enc = av().avcodec_find_encoder(codecctx->codec_id);
  if (!enc) erro("codec not found", "");
  if (av().avcodec_open2(codecctx, enc, nullptr) < 0 ||
      av().avcodec_parameters_from_context(videost->codecpar, codecctx) < 0)
    erro("could not open codec", "");
  packet = av().av_packet_alloc();
  if (!packet) erro("Could not allocate AVPacket", "");
  yuvpic = alloc_picture(AV_PIX_FMT_YUV420P);
  if (!yuvpic) erro("Could not allocate picture", "");
  rgbpic = alloc_picture(AV_PIX_FMT_RGB24);
  if (!rgbpic) erro("Could not allocate rgb_picture", "");
  const int nl = codecctx->height;
  const int nc = codecctx->width;
  sws = av().sws_getContext(nc, nl, AV_PIX_FMT_RGB24, nc, nl, AV_PIX_FMT_YUV420P, SWS_BICUBIC,
                            nullptr, nullptr, nullptr);
  if (!sws) erro("Could not initialize the conversion context", "");
}

AVFrame* VIDOUT::alloc_picture(int pix_fmt) {
  if (!codecctx) return nullptr;
  const auto fmt = static_cast<AVPixelFormat>(pix_fmt);
  const int nl = codecctx->height;
  const int nc = codecctx->width;
  const int size = packed_size(fmt, nl, nc);
  if (size < 0) return nullptr;
  AVFrame* pic = av().av_frame_alloc();
  if (!pic) return nullptr;
  auto* buf = static_cast<unsigned char*>(av().av_malloc(size + kPad));
  if (!buf) {
    av().av_frame_free(&pic);
    return nullptr;
  }
  lay_packed(pic, buf, fmt, nl, nc);
  return pic;
}

void VIDOUT::putframe(const IMGCOR& a) {
  if (!videost) erro("Erro: VIDOUT nao aberto", "");
  nframe++;
  const int nl = codecctx->height;
  const int nc = codecctx->width;
  if (a.nl() != nl || a.nc() != nc) erro("Erro: a.nl()!=nl() || a.nc()!=nc()", "");
  std::memcpy(rgbpic->data[0], a.data, 3 * static_cast<size_t>(a.n()));
  av().sws_scale(sws, rgbpic->data, rgbpic->linesize, 0, nl, yuvpic->data, yuvpic->linesize);
  encode(*this, yuvpic);
}

void VIDOUT::_putyuvframe(const IMGGRY& a) {
  if (!videost) erro("Erro: VIDOUT nao aberto", "");
  nframe++;
  if (a.nl() != 3 * codecctx->height / 2 || a.nc() != codecctx->width)
    erro("Erro: a.nl()!=3*nl()/2 || a.nc()!=nc()", "");
  std::memcpy(yuvpic->data[0], a.data, static_cast<size_t>(a.n()));
  encode(*this, yuvpic);
}
