// Frame-by-frame video reading (VIDIN) and writing (VIDOUT) through FFmpeg.
//
// Frames travel as packed pictures: RGB24 rows are the pixel block of an IMGCOR; YUV 4:2:0
// planes (Y, then U, then V) are the pixel block of an IMGGRY of 3*nl/2 rows, as IMGYUV keeps
// them. FFmpeg's own types stay opaque here.
#pragma once

#include <cstdint>
#include <string>

#include "images/images.h"

#pragma GCC visibility push(default)

struct AVFormatContext;
struct AVCodecContext;
struct AVCodec;
struct AVFrame;
struct AVPacket;
struct AVOutputFormat;
struct AVStream;
struct SwsContext;

// Once silenced FFmpeg's logging when the library was loaded; FFmpeg is now loaded and silenced
// on first use. Kept, with its one instance that bears its name, for programs that refer to it.
class __InicializaAV {
 public:
  __InicializaAV();
};
extern class __InicializaAV __InicializaAV;

class VIDIN {
 public:
  AVFormatContext* fmtctx;
  int videoidx;  // index of the video stream read
  AVCodecContext* codecctx;
  const AVCodec* codec;
  AVFrame* frame;     // each decoded picture
  AVFrame* rgbframe;  // RGB24 view over rgbbuf
  AVFrame* yuvframe;  // YUV420P view over yuvbuf
  AVPacket* packet;   // the packet last read
  unsigned char* rgbbuf;
  unsigned char* yuvbuf;
  int nframe;  // index of the last frame delivered, -1 before the first

  SwsContext* rgbsws;  // decoder format to RGB24
  SwsContext* yuvsws;  // decoder format to YUV420P
  int bufnl;           // picture size the two buffers hold
  int bufnc;
  bool drained;  // end of file reached and the decoder told to give back what it holds

  VIDIN();
  VIDIN(const VIDIN&) = delete;
  VIDIN& operator=(const VIDIN&) = delete;
  ~VIDIN();

  void open(const std::string& name);
  // The next picture as RGB (nl x nc) or stacked Y, U, V planes (3*nl/2 x nc); false at the end.
  bool getframe(IMGCOR& a);
  bool _getyuvframe(IMGGRY& a);
};

class VIDOUT {
 public:
  AVFrame* yuvpic;  // YUV420P picture of the stream's size: the encoder's input
  AVFrame* rgbpic;  // RGB24 picture of the stream's size
  const AVOutputFormat* ofmt;
  AVFormatContext* fmtctx;
  AVStream* videost;
  int nframe;  // index of the last frame given, -1 before the first
  int bitrate;

  AVCodecContext* codecctx;  // the encoder of videost
  SwsContext* sws;           // RGB24 to YUV420P
  AVPacket* packet;          // encoder output
  bool header;               // header written: the trailer is due

  VIDOUT();
  VIDOUT(const VIDOUT&) = delete;
  VIDOUT& operator=(const VIDOUT&) = delete;
  // Flushes the encoder, writes the trailer and closes the file.
  ~VIDOUT();

  // A video of nl x nc pictures (both even), tbnum/tbden seconds per frame, bitrate bits/s; the
  // container follows the name's extension (MPEG when it names none).
  void open(const std::string& name, int nl, int nc, int tbnum, int tbden, int bitrate);
  void putframe(const IMGCOR& a);
  void _putyuvframe(const IMGGRY& a);

  void add_video_stream(int codec_id, int nl, int nc, int tbnum, int tbden, int bitrate);
  void open_video();
  // A packed picture of the stream's size with its own buffer (freed through data[0]); null on
  // failure.
  AVFrame* alloc_picture(int pix_fmt);
};

#pragma GCC visibility pop
