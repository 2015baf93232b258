// Writing the zoomed image's BMP file band by band.
#include "tools/zoom/bmp_stream.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "foundation/erro.h"
#include "images/image_files_internal.h"

namespace kelt {

namespace {

const char* const kMsgWriteOpen = "Erro IMGBIN::ImpBmp - abertura de ";
const char* const kMsgWriteFail = "Erro IMGBIN::ImpBmp - Falha na escrita ";
const char* const kMsgTooBig = "Erro IMGBIN::ImpBmp - Imagem muito grande para BMP ";

// Bytes of the block written at once.
constexpr size_t kBlockBytes = size_t(256) << 10;

void put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
  put16(p, v);
  put16(p + 2, v >> 16);
}

}  // namespace

BmpStream::BmpStream(const std::string& name, int nl, int nc, int F)
    : name_(name), F_(F), wpr_((static_cast<size_t>(nc) + 31) / 32), slot_(F) {
  // Refused before the file exists when its size would not fit the header's 32-bit field.
  if (!vistelmo::bmp_fits(nl, nc)) erro(kMsgTooBig, name);
  capacity_ = std::max<size_t>(F, kBlockBytes / (4 * wpr_) / F * F);
  buf_.resize(kPrefix / 4 + capacity_ * wpr_);
  fd_ = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
  if (fd_ < 0) return;
  const size_t file_bytes = static_cast<size_t>(vistelmo::bmp_file_size(nl, nc));
  // The file's blocks at once (the size still grows with the writes); where the file system
  // cannot, the writes allocate them as before.
  (void)::fallocate(fd_, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(file_bytes));
  // The header of a 1-bit BMP with entry 0 black and entry 1 white.
  constexpr int kDataOffset = 62;
  uint8_t h[kDataOffset] = {'B', 'M'};
  put32(h + 2, static_cast<uint32_t>(file_bytes));
  put32(h + 10, kDataOffset);
  put32(h + 14, 40);
  put32(h + 18, static_cast<uint32_t>(nc));
  put32(h + 22, static_cast<uint32_t>(nl));
  put16(h + 26, 1);
  put16(h + 28, 1);
  put32(h + 46, 2);
  put32(h + 50, 2);
  put32(h + 58, 0x00FFFFFFu);
  write(h, sizeof h);
  offset_ = sizeof h;
}

BmpStream::~BmpStream() {
  if (fd_ >= 0) ::close(fd_);
}

uint32_t* const* BmpStream::rows(int) {
  if (used_ + F_ > capacity_) flush(false);
  // The block's rows run bottom-up: the last of the F rows comes first.
  uint32_t* first = reinterpret_cast<uint32_t*>(rows_start());
  for (int br = 0; br < F_; br++) slot_[br] = first + (used_ + F_ - 1 - br) * wpr_;
  return slot_.data();
}

void BmpStream::filled(int) { used_ += F_; }

void BmpStream::flush(bool last) {
  constexpr size_t kPage = kPrefix;
  const size_t bytes = 4 * used_ * wpr_;
  uint8_t* start = rows_start() - carry_;
  size_t n = carry_ + bytes;
  // Up to the last page boundary of the file; the rest waits, unless this is the end.
  const size_t keep = last ? 0 : (offset_ + n) % kPage;
  if (keep < n) {
    write(start, n - keep);
    offset_ += n - keep;
    std::memmove(rows_start() - keep, start + (n - keep), keep);
    carry_ = keep;
  } else {  // not a page's worth yet (the block holds less than a page)
    std::memmove(rows_start() - n, start, n);
    carry_ = n;
  }
  used_ = 0;
}

void BmpStream::write(const void* p, size_t bytes) {
  if (fd_ < 0 || failed_) return;
  const auto t0 = std::chrono::steady_clock::now();
  const char* q = static_cast<const char*>(p);
  while (bytes > 0) {
    const ssize_t k = ::write(fd_, q, bytes);
    if (k < 0 && errno == EINTR) continue;
    if (k <= 0) {
      failed_ = true;
      break;
    }
    q += k;
    bytes -= static_cast<size_t>(k);
  }
  write_seconds_ += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void BmpStream::finish() {
  if (fd_ < 0) erro(kMsgWriteOpen, name_);
  flush(true);
  const bool bad = ::close(fd_) != 0 || failed_;
  fd_ = -1;
  if (bad) erro(kMsgWriteFail, name_);
}

}  // namespace kelt
