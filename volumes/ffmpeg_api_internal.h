// FFmpeg loaded on first use: the video code calls it only through the table av() returns, so
// a program that links the library but never touches video does not load FFmpeg at all.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/mathematics.h>
#include <libswscale/swscale.h>
}

namespace vistelmo::ffmpeg {

// Every FFmpeg function the video code calls, with the library that holds it.
#define VISTELMO_FFMPEG_FUNCTIONS(X)          \
  X(avutil, av_log_set_level)                 \
  X(avutil, av_frame_alloc)                   \
  X(avutil, av_frame_free)                    \
  X(avutil, av_frame_unref)                   \
  X(avutil, av_image_get_buffer_size)         \
  X(avutil, av_image_fill_arrays)             \
  X(avutil, av_malloc)                        \
  X(avutil, av_free)                          \
  X(avutil, av_strdup)                        \
  X(avcodec, av_packet_alloc)                 \
  X(avcodec, av_packet_free)                  \
  X(avcodec, av_packet_unref)                 \
  X(avcodec, av_packet_rescale_ts)            \
  X(avcodec, avcodec_find_decoder)            \
  X(avcodec, avcodec_find_encoder)            \
  X(avcodec, avcodec_alloc_context3)          \
  X(avcodec, avcodec_free_context)            \
  X(avcodec, avcodec_parameters_to_context)   \
  X(avcodec, avcodec_parameters_from_context) \
  X(avcodec, avcodec_open2)                   \
  X(avcodec, avcodec_send_packet)             \
  X(avcodec, avcodec_receive_frame)           \
  X(avcodec, avcodec_send_frame)              \
  X(avcodec, avcodec_receive_packet)          \
  X(avformat, avformat_open_input)            \
  X(avformat, avformat_find_stream_info)      \
  X(avformat, avformat_close_input)           \
  X(avformat, av_dump_format)                 \
  X(avformat, av_read_frame)                  \
  X(avformat, av_guess_format)                \
  X(avformat, avformat_alloc_context)         \
  X(avformat, avformat_free_context)          \
  X(avformat, avformat_new_stream)            \
  X(avformat, avformat_write_header)          \
  X(avformat, av_write_frame)                 \
  X(avformat, av_write_trailer)               \
  X(avformat, avio_open)                      \
  X(avformat, avio_closep)                    \
  X(swscale, sws_getContext)                  \
  X(swscale, sws_getCachedContext)            \
  X(swscale, sws_freeContext)                 \
  X(swscale, sws_scale)

struct Api {
#define VISTELMO_FFMPEG_POINTER(lib, fn) decltype(&::fn) fn;
  VISTELMO_FFMPEG_FUNCTIONS(VISTELMO_FFMPEG_POINTER)
#undef VISTELMO_FFMPEG_POINTER
};

// The table, FFmpeg loaded (and silenced) by the first call; a missing library or function ends
// the program through erro.
const Api& av();

// True once av() has loaded FFmpeg: nothing FFmpeg allocated can exist before.
bool loaded();

}  // namespace vistelmo::ffmpeg
