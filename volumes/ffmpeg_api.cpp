// FFmpeg's libraries opened by their versioned names on first use, their functions looked up once.
#include <dlfcn.h>

#include <atomic>

#include "foundation/erro.h"
#include "volumes/ffmpeg_api_internal.h"

namespace vistelmo::ffmpeg {

namespace {

enum class Lib { avutil, avcodec, avformat, swscale, count };

// The major versions of the headers built against: the runtime libraries must match.
const char* const kSonames[] = {
    "libavutil.so." AV_STRINGIFY(LIBAVUTIL_VERSION_MAJOR),
    "libavcodec.so." AV_STRINGIFY(LIBAVCODEC_VERSION_MAJOR),
    "libavformat.so." AV_STRINGIFY(LIBAVFORMAT_VERSION_MAJOR),
    "libswscale.so." AV_STRINGIFY(LIBSWSCALE_VERSION_MAJOR),
};
static_assert(sizeof(kSonames) / sizeof(*kSonames) == static_cast<int>(Lib::count));

std::atomic<bool> is_loaded{false};

[[noreturn]] void fail() {
  const char* why = dlerror();
  erro("Could not load FFmpeg:", why ? why : "unknown error");
}

void* symbol(void* lib, const char* name) {
  dlerror();
  void* p = dlsym(lib, name);
  if (!p) fail();
  return p;
}

Api load() {
  void* libs[static_cast<int>(Lib::count)];
  for (int i = 0; i < static_cast<int>(Lib::count); i++) {
    libs[i] = dlopen(kSonames[i], RTLD_NOW | RTLD_LOCAL);
    if (!libs[i]) fail();
  }
  Api api;
#define VISTELMO_FFMPEG_LOOKUP(lib, fn) \
  api.fn = reinterpret_cast<decltype(api.fn)>(symbol(libs[static_cast<int>(Lib::lib)], #fn));
  VISTELMO_FFMPEG_FUNCTIONS(VISTELMO_FFMPEG_LOOKUP)
#undef VISTELMO_FFMPEG_LOOKUP
  // Level -1 lies below every message level: FFmpeg prints nothing.
  api.av_log_set_level(-1);
  is_loaded.store(true, std::memory_order_release);
  return api;
}

}  // namespace

const Api& av() {
  static const Api api = load();
  return api;
}

bool loaded() { return is_loaded.load(std::memory_order_acquire); }

}  // namespace vistelmo::ffmpeg
