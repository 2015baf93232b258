// A stdio file owned for the length of one call, with the library's full buffer. Library only.
#pragma once

#include <cstdio>
#include <string>

#include "foundation/constants.h"
#include "foundation/erro.h"

namespace vistelmo {

class StdioFile {
 public:
  // Opens name; a failed open ends with erro(open_msg, name), a failed buffer set-up with
  // erro(buf_msg, ""). An empty buf_msg keeps the stream's default buffer.
  StdioFile(const std::string& name, const char* mode, const std::string& open_msg,
            const std::string& buf_msg)
      : name_(name) {
    f_ = std::fopen(name.c_str(), mode);
    if (f_ == nullptr) erro(open_msg, name);
    if (!buf_msg.empty() && std::setvbuf(f_, nullptr, _IOFBF, maxbuf) != 0) erro(buf_msg, "");
  }
  StdioFile(const StdioFile&) = delete;
  StdioFile& operator=(const StdioFile&) = delete;
  ~StdioFile() {
    if (f_ != nullptr) std::fclose(f_);
  }

  FILE* get() const { return f_; }
  operator FILE*() const { return f_; }
  const std::string& name() const { return name_; }

  // Reads count items of size bytes; true when all arrived.
  bool read(void* p, size_t size, size_t count) { return std::fread(p, size, count, f_) == count; }
  // Writes count items of size bytes; a short write is remembered and reported by finish().
  void write(const void* p, size_t size, size_t count) {
    if (count != 0 && std::fwrite(p, size, count, f_) != count) failed_ = true;
  }
  // Closes a written file; a failed write or close ends with erro(fail_msg, name).
  void finish(const std::string& fail_msg) {
    bool bad = failed_ || std::ferror(f_) != 0;
    bad = (std::fclose(f_) != 0) || bad;
    f_ = nullptr;
    if (bad) erro(fail_msg, name_);
  }
  // Closes a file that was read.
  void close() {
    if (f_ != nullptr) std::fclose(f_);
    f_ = nullptr;
  }

 private:
  FILE* f_ = nullptr;
  std::string name_;
  bool failed_ = false;
};

}  // namespace vistelmo
