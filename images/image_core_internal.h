// Storage rules shared by the byte-addressed image classes. Library sources only.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <type_traits>

#include "foundation/erro.h"
#include "foundation/memory_internal.h"
#include "images/images.h"

namespace vistelmo {

// Name used in messages and default outside value of each class.
template <class Img>
struct ImageTraits;
template <>
struct ImageTraits<IMGGRY> {
  static constexpr const char* name = "IMGGRY";
  static unsigned char background() { return 0; }
};
template <>
struct ImageTraits<IMGCOR> {
  static constexpr const char* name = "IMGCOR";
  static COR background() { return COR{0, 0, 0}; }
};
template <>
struct ImageTraits<IMGSHT> {
  static constexpr const char* name = "IMGSHT";
  static short background() { return 0; }
};
template <>
struct ImageTraits<IMGFLT> {
  static constexpr const char* name = "IMGFLT";
  static float background() { return 0.0f; }
};
template <>
struct ImageTraits<IMGDBL> {
  static constexpr const char* name = "IMGDBL";
  static double background() { return 0.0; }
};
template <>
struct ImageTraits<IMGCPX> {
  static constexpr const char* name = "IMGCPX";
  static std::complex<float> background() { return {0.0f, 0.0f}; }
};
template <>
struct ImageTraits<IMGBIN> {
  static constexpr const char* name = "IMGBIN";
};

// True when the image holds pixels (at least one row and one column, storage present).
template <class Img>
inline bool has_pixels(const Img& im) {
  return im.nl > 0 && im.nc > 0 && im.data != nullptr;
}

// Pixel bits of the last word of a binary image row of nc columns (all 32 when nc is a multiple
// of 32); for nc in 1..32, the mask of a word's first nc bits.
inline uint32_t last_word_mask(int nc) {
  const int used = nc & 31;
  return used == 0 ? 0xFFFFFFFFu : ~(0xFFFFFFFFu >> used);
}

// Default centre of a size: (size - 1) / 2, truncated, without overflow at INT_MIN.
inline int default_centre(int size) {
  return static_cast<int>((static_cast<int64_t>(size) - 1) / 2);
}

// Whether the page holding p is in memory (a block from the allocator's own pool already is).
inline bool page_mapped(const void* p) {
  const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  unsigned char in = 0;
  void* start = reinterpret_cast<void*>(reinterpret_cast<uintptr_t>(p) & ~(page - 1));
  return mincore(start, 1, &in) == 0 && (in & 1);
}

// Product of two sizes in 32-bit wrapping arithmetic, as the element count is kept.
inline int wrapped_product(int a, int b) {
  return static_cast<int>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}

// Allocates count elements, left uninitialised (every pixel type is trivially copyable and
// destructible), and a table of nl row starts, each stride elements apart. A block fresh from
// the system (over 4 MiB) has its pages mapped in one call: its pixels are about to be written.
// Release it with release_block. Fails with msg when the sizes overflow or memory runs out.
template <class T>
void allocate_rows(T*& data, T**& rows, int nl, int64_t stride, const char* msg) {
  static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);
  data = nullptr;
  rows = nullptr;
  int64_t count = nl * stride;
  if (count > INT32_MAX) erro(msg, "");
  const size_t bytes = static_cast<size_t>(count) * sizeof(T);
  data = static_cast<T*>(allocate_block(bytes));
  if (data == nullptr) erro(msg, "");
  if (bytes > (size_t(4) << 20) && !page_mapped(reinterpret_cast<const char*>(data) + bytes - 1))
    prefault(data, bytes);
  rows = new (std::nothrow) T*[nl];
  if (rows == nullptr) {
    release_block(data);
    data = nullptr;
    erro(msg, "");
  }
  for (int l = 0; l < nl; l++) rows[l] = data + l * stride;
}

// As allocate_rows, with the block from calloc: it reads as zero, and fresh pages are not
// written twice. Release it with release_block.
template <class T>
void allocate_zeroed_rows(T*& data, T**& rows, int nl, int64_t stride, const char* msg) {
  data = nullptr;
  rows = nullptr;
  int64_t count = nl * stride;
  if (count > INT32_MAX) erro(msg, "");
  data = static_cast<T*>(std::calloc(static_cast<size_t>(count), sizeof(T)));
  if (data == nullptr) erro(msg, "");
  prefault(data, static_cast<size_t>(count) * sizeof(T));
  rows = new (std::nothrow) T*[nl];
  if (rows == nullptr) {
    std::free(data);
    data = nullptr;
    erro(msg, "");
  }
  for (int l = 0; l < nl; l++) rows[l] = data + l * stride;
}

// The sizes, default centre and outside value of a fresh nl x nc image, without storage.
template <class Img>
void fresh_frame(Img& im, int nl, int nc) {
  im.nl = nl;
  im.nc = nc;
  im.n = wrapped_product(nl, nc);
  im.lc = default_centre(nl);
  im.cc = default_centre(nc);
  im.backg = ImageTraits<Img>::background();
  im.data = nullptr;
  im.rows = nullptr;
}

template <class Img>
const char* aloca_message() {
  static const std::string msg =
      std::string("Erro ") + ImageTraits<Img>::name + "::aloca - Falta memoria";
  return msg.c_str();
}

// IMGCPX pixels start at 0 unless the caller overwrites them all (zero false).
template <class Img>
void aloca(Img& im, int nl, int nc, bool zero = true) {
  fresh_frame(im, nl, nc);
  if (nl >= 1 && nc >= 1) {
    allocate_rows(im.data, im.rows, nl, nc, aloca_message<Img>());
    if constexpr (std::is_same_v<Img, IMGCPX>)
      if (zero) std::fill_n(im.data, static_cast<int64_t>(nl) * nc, std::complex<float>());
  }
}

// As desaloca then aloca, the new image's pixels being the nl x nc block the caller filled (from
// malloc or realloc; the image now owns it).
template <class Img>
void adopt_block(Img& im, int nl, int nc, typename Img::Pixel* block) {
  im.desaloca();
  fresh_frame(im, nl, nc);
  im.data = block;
  im.rows = new (std::nothrow) typename Img::Pixel*[nl];
  if (im.rows == nullptr) {
    release_block(block);
    im.data = nullptr;
    erro(aloca_message<Img>(), "");
  }
  for (int l = 0; l < nl; l++) im.rows[l] = block + static_cast<int64_t>(l) * nc;
}

template <class Img>
void desaloca(Img& im) {
  if (im.data == nullptr) return;
  release_block(im.data);  // from allocate_rows or allocate_zeroed_rows
  delete[] im.rows;
  im.data = nullptr;
  im.rows = nullptr;
}

// p[0, n) = v. Three-byte pixels go sixteen at a time from a prepared block (wide stores).
template <class T>
void fill_pixels(T* p, int64_t n, T v) {
  if constexpr (sizeof(T) == 3) {
    constexpr int kBlock = 16;
    T block[kBlock];
    for (T& b : block) b = v;
    int64_t k = 0;
    for (; k + kBlock <= n; k += kBlock) std::memcpy(p + k, block, sizeof block);
    if (k < n) std::memcpy(p + k, block, static_cast<size_t>(n - k) * sizeof(T));
  } else {
    std::fill(p, p + n, v);
  }
}

// An nl x nc image of Img's defaults whose pixels are left unset: only for a result that is
// overwritten whole. Binary images come clear (their block is cheap to clear).
template <class Img>
Img unset_image(int nl, int nc) {
  Img r;
  if constexpr (std::is_same_v<Img, IMGBIN>)
    r.aloca(nl, nc);
  else
    aloca(r, nl, nc, false);
  return r;
}

// Number of elements (words for IMGBIN) held in the block.
template <class Img>
inline int64_t block_count(const Img& im) {
  if (!has_pixels(im)) return 0;
  if constexpr (std::is_same_v<Img, IMGBIN>)
    return im.nw;
  else
    return static_cast<int64_t>(im.nl) * im.nc;
}

template <class Img>
void copy_block(Img& dst, const Img& src) {
  int64_t count = block_count(dst);
  if (count == 0 || block_count(src) != count) return;
  std::memcpy(static_cast<void*>(dst.data), src.data, count * sizeof(*dst.data));
}

// Same-type copy into the existing storage; sizes must agree.
template <class Img>
void copia(Img& dst, const Img& src) {
  if (dst.nl != src.nl || dst.nc != src.nc) erro("Erro: a.nl()!=nl() || a.nc()!=nc()", "");
  dst.backg = src.backg;
  dst.lc = src.lc;
  dst.cc = src.cc;
  copy_block(dst, src);
}

// Takes src's storage and fields; src is left as an image without pixels. Saves the copy when
// an operand taken by value, or a temporary, becomes a result.
template <class Img>
void construct_move(Img& dst, Img& src) {
  dst.data = src.data;
  dst.rows = src.rows;
  dst.backg = src.backg;
  dst.nl = src.nl;
  dst.nc = src.nc;
  dst.n = src.n;
  dst.lc = src.lc;
  dst.cc = src.cc;
  if constexpr (std::is_same_v<Img, IMGBIN>) {
    dst.wpr = src.wpr;
    dst.nw = src.nw;
  }
  src.data = nullptr;
  src.rows = nullptr;
  src.aloca(0, 0);
}

// dst takes src's centre and outside value (its frame): the result of an operation that keeps
// the operand's.
template <class Img>
void take_frame(Img& dst, const Img& src) {
  dst.lc = src.lc;
  dst.cc = src.cc;
  dst.backg = src.backg;
}

template <class Img>
void construct_copy(Img& dst, const Img& src) {
  if constexpr (std::is_same_v<Img, IMGBIN>)
    dst.aloca(src.nl, src.nc);
  else
    aloca(dst, src.nl, src.nc, false);  // every pixel copied below
  dst.backg = src.backg;
  dst.lc = src.lc;
  dst.cc = src.cc;
  copy_block(dst, src);
}

template <class Img>
void resize(Img& im, int nl, int nc) {
  if (im.nl == nl && im.nc == nc && (im.data != nullptr || nl < 1 || nc < 1)) return;
  im.desaloca();
  im.aloca(nl, nc);
}

template <class Img>
Img& assign(Img& dst, const Img& src) {
  if (&dst == &src) return dst;
  if (dst.nl != src.nl || dst.nc != src.nc || (dst.data == nullptr && src.data != nullptr)) {
    dst.desaloca();
    dst.aloca(src.nl, src.nc);
  }
  dst.backg = src.backg;
  dst.lc = src.lc;
  dst.cc = src.cc;
  copy_block(dst, src);
  return dst;
}

// Resolves (a, b) under a border mode to a position; false when it lies outside the image.
// Mode 'e' fails outside; an unknown mode fails always.
bool resolve_position(int a, int b, char mode, int nl, int nc, int lc, int cc, int& l, int& c);

// Prepares a conversion target: re-allocates only when the size differs (or storage is missing).
template <class Dst, class Src>
void prepare_assign(Dst& dst, const Src& src) {
  if (dst.nl != src.nl || dst.nc != src.nc || (dst.data == nullptr && src.nl > 0 && src.nc > 0)) {
    dst.desaloca();
    dst.aloca(src.nl, src.nc);
  }
}

// Refuses a conversion copy between images of different sizes.
template <class Dst, class Src>
void check_same_size(const Dst& dst, const Src& src) {
  if (dst.nl != src.nl || dst.nc != src.nc) erro("Erro: a.nl()!=nl() || a.nc()!=nc()", "");
}

}  // namespace vistelmo
