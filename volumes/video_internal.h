// FFmpeg (through its table) and the packed-picture helpers shared by the video reader and writer.
#pragma once

#include "volumes/ffmpeg_api_internal.h"

namespace vistelmo::video {

using ffmpeg::av;

// Slack after every picture buffer: the scaler's vector loops may touch a few bytes past the end.
constexpr int kPad = 64;

// Bytes of a packed picture (first plane at the start, no padding between rows or planes).
inline int packed_size(AVPixelFormat fmt, int nl, int nc) {
  return av().av_image_get_buffer_size(fmt, nc, nl, 1);
}

// Lays frame's planes over buf as a packed picture.
inline void lay_packed(AVFrame* frame, unsigned char* buf, AVPixelFormat fmt, int nl, int nc) {
  av().av_image_fill_arrays(frame->data, frame->linesize, buf, fmt, nc, nl, 1);
  frame->format = fmt;
  frame->width = nc;
  frame->height = nl;
}

}  // namespace vistelmo::video
