// The zoomed image written to its 1-bit BMP file as the fused pass produces it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/zoom/zoom.h"

namespace kelt {

// Takes the output rows bottom row first (the pass's order, which is the file's) and writes
// them in large blocks; the file holds what IMGBIN::ImpBmp writes for the same image.
class BmpStream : public ZoomSink {
 public:
  // Opens name for an nl x nc image of F output rows per input row. A failed open is kept and
  // reported by finish.
  BmpStream(const std::string& name, int nl, int nc, int F);
  BmpStream(const BmpStream&) = delete;
  BmpStream& operator=(const BmpStream&) = delete;
  ~BmpStream() override;

  uint32_t* const* rows(int l) override;
  void filled(int l) override;
  bool file_order() const override { return true; }
  // Writes what is left and closes; a failed open, write or close ends through erro with
  // ImpBmp's messages.
  void finish();
  // Seconds spent writing so far.
  double write_seconds() const { return write_seconds_; }

 private:
  void write(const void* p, size_t bytes);
  void flush(bool last);
  uint8_t* rows_start() { return reinterpret_cast<uint8_t*>(buf_.data()) + kPrefix; }
  static constexpr size_t kPrefix = 4096;  // room for the waiting bytes

  std::string name_;
  int fd_ = -1;
  int F_;
  size_t wpr_;
  // Bytes waiting for the next write before the rows (the end of the last block past its last
  // whole page of the file), then whole rows in file order, bytes as in the file. Each write
  // of rows but the last ends at a page boundary of the file.
  std::vector<uint32_t> buf_;
  size_t carry_ = 0;   // bytes waiting, just before the rows
  size_t offset_ = 0;  // bytes written
  size_t used_ = 0;    // rows held
  size_t capacity_;    // rows the block holds
  std::vector<uint32_t*> slot_;
  bool failed_ = false;
  double write_seconds_ = 0;
};

}  // namespace kelt
