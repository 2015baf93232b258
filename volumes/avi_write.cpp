// Writing volumes as uncompressed AVI: one DIB frame per slice, 24-bit colour or 8-bit grey
// with a grey-ramp palette, rows bottom-up and padded to 4 bytes, then an idx1 index.
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <type_traits>

#include "foundation/binary_internal.h"
#include "foundation/file_internal.h"
#include "images/image_files_internal.h"
#include "volumes/avi_internal.h"

namespace vistelmo {
namespace {

// Appends little-endian fields to a byte block.
class Packer {
 public:
  void tag(const char* code) { b_.insert(b_.end(), code, code + 4); }
  void u16(uint32_t v) {
    uint8_t p[2];
    put16(p, v);
    b_.insert(b_.end(), p, p + 2);
  }
  void u32(uint32_t v) {
    uint8_t p[4];
    put32(p, v);
    b_.insert(b_.end(), p, p + 4);
  }
  void bytes(const void* p, size_t n) {
    const uint8_t* q = static_cast<const uint8_t*>(p);
    b_.insert(b_.end(), q, q + n);
  }
  void zeros(size_t n) { b_.insert(b_.end(), n, 0); }
  std::vector<uint8_t> take() { return std::move(b_); }

 private:
  std::vector<uint8_t> b_;
};

// Bytes per second of frames of `frame` bytes every fd microseconds, rounded up; held at the
// field's largest value when larger.
uint32_t bytes_per_second(uint32_t frame, double fd) {
  const double bps = std::ceil(double(frame) * 1000000.0 / fd);
  return bps < 4294967295.0 ? uint32_t(bps) : 0xFFFFFFFFu;
}

// Colour and grey differ in the pixel size, the palette, the timing and the messages.
template <class Vol>
struct AviKind;

template <>
struct AviKind<I3DCOR> {
  static constexpr int bits = 24;
  static constexpr const char* who = "Erro ImpAvi(I3DCOR) - ";
  // Timing from the frame time fd (microseconds): rate / scale frames per second. Up to one
  // second, thousandths of a frame per second; beyond, where that loses the frame time,
  // 1000000 / fd exactly.
  static void timing(const I3DCOR& v, AviHeader& h) {
    h.usec_per_frame = v.fd;
    h.scale = v.fd <= 1000000 ? 1000 : uint32_t(v.fd);
    h.rate = v.fd <= 1000000 ? 1000000000 / v.fd : 1000000;
    h.max_bytes_per_sec = bytes_per_second(h.frame_bytes, v.fd);
  }
  static void pack_row(const COR* src, int nc, uint8_t* dst) {
    for (int c = 0; c < nc; c++) {
      dst[3 * c] = src[c].b;
      dst[3 * c + 1] = src[c].g;
      dst[3 * c + 2] = src[c].r;
    }
  }
};

template <>
struct AviKind<I3DGRY> {
  static constexpr int bits = 8;
  static constexpr const char* who = "Erro ImpAvi(I3DGRY) - ";
  // Fixed: 250000 microseconds per frame in the main header, 2 frames per second in the
  // stream header.
  static void timing(const I3DGRY&, AviHeader& h) {
    h.usec_per_frame = 250000;
    h.scale = 1000;
    h.rate = 2000;
    h.max_bytes_per_sec = bytes_per_second(h.frame_bytes, 500000);
  }
  static void pack_row(const unsigned char* src, int nc, uint8_t* dst) {
    std::memcpy(dst, src, nc);
  }
};

template <class Vol>
void write_avi(const Vol& v, const std::string& name) {
  using Kind = AviKind<Vol>;
  const std::string who = Kind::who;
  if (v.ns < 1 || v.nl < 1 || v.nc < 1) erro(who + "Imagem nula ", name);
  if constexpr (std::is_same_v<Vol, I3DCOR>) {
    // The frame rate is 1000000000 / fd.
    if (v.fd < 1) erro(who + "fd invalido ", name);
  }
  const int ns = v.ns(), nl = v.nl(), nc = v.nc();
  const AviSizes sizes = avi_sizes(Kind::bits, ns, nl, nc);
  if (!sizes.fits()) erro(who + "Imagem muito grande para AVI ", name);
  StdioFile f(name, "wb", who + "abertura de ", who + "Faltou memoria setvbuf");

  const int64_t rowbytes = tamcol64(int64_t(Kind::bits / 8) * nc);
  const uint32_t frame = uint32_t(sizes.frame);
  AviHeader h{};
  h.bits = Kind::bits;
  h.frames = ns;
  h.width = nc;
  h.height = nl;
  h.frame_bytes = frame;
  Kind::timing(v, h);
  const std::vector<uint8_t> header = avi_header(h);
  f.write(header.data(), 1, header.size());

  std::unique_ptr<uint8_t[]> row(new (std::nothrow) uint8_t[rowbytes]());
  if (!row) erro("Erro ImpAvi - Falta memoria", "");
  uint8_t rec[kAviIndexEntry];
  std::memcpy(rec, "00db", 4);
  put32(rec + 4, frame);
  for (int s = 0; s < ns; s++) {
    f.write(rec, 1, kAviChunkHeader);
    const typename Vol::Slice& im = v.slices[s];
    for (int r = nl - 1; r >= 0; r--) {
      Kind::pack_row(im.rows[r], nc, row.get());
      f.write(row.get(), 1, rowbytes);
    }
  }

  std::memcpy(rec, "idx1", 4);
  put32(rec + 4, 16u * uint32_t(ns));
  f.write(rec, 1, kAviChunkHeader);
  std::memcpy(rec, "00db", 4);
  put32(rec + 4, 16);  // key frame
  put32(rec + 12, frame);
  for (int s = 0; s < ns; s++) {
    put32(rec + 8, 4 + uint32_t(s) * (frame + 8));
    f.write(rec, 1, kAviIndexEntry);
  }
  f.finish(who + "Falha na escrita ");
}

}  // namespace

AviSizes avi_sizes(int bits, int ns, int nl, int nc) {
  // Held at 2^62 when larger: still too large, and no overflow.
  const int64_t frame = capped_product(nl, tamcol64(int64_t(bits / 8) * nc));
  const int64_t header = bits == 8 ? kAviHeaderGrey : kAviHeaderColour;
  return {frame,
          header + kAviChunkHeader + capped_product(ns, frame + kAviChunkHeader + kAviIndexEntry)};
}

std::vector<uint8_t> avi_header(const AviHeader& h) {
  const bool grey = h.bits == 8;
  const uint32_t palette = grey ? 1024 : 0;
  const uint32_t frames = uint32_t(h.frames), frame = h.frame_bytes;
  Packer p;
  p.tag("RIFF");
  p.u32(kAviHeaderColour + palette + frames * (frame + 24));  // file length - 8
  p.tag("AVI ");
  p.tag("LIST");
  p.u32(220 + palette);
  p.tag("hdrl");

  p.tag("avih");
  p.u32(56);
  p.u32(h.usec_per_frame);
  p.u32(h.max_bytes_per_sec);
  p.u32(0);      // padding granularity
  p.u32(0x810);  // has index, trust chunk type
  p.u32(frames);
  p.u32(0);  // initial frames
  p.u32(1);  // streams
  p.u32(frame);
  p.u32(h.width);
  p.u32(h.height);
  p.zeros(16);

  p.tag("LIST");
  p.u32(144 + palette);
  p.tag("strl");
  p.tag("strh");
  p.u32(56);
  p.tag("vids");
  p.tag("DIB ");
  p.u32(0);  // flags
  p.u16(0);  // priority
  p.u16(0);  // language
  p.u32(0);  // initial frames
  p.u32(h.scale);
  p.u32(h.rate);
  p.u32(0);  // start
  p.u32(frames);
  p.u32(frame);
  p.u32(900);  // quality
  p.u32(0);    // sample size
  p.u16(0);
  p.u16(0);
  p.u16(h.width);
  p.u16(h.height);

  p.tag("strf");
  p.u32(40 + palette);
  p.u32(40);
  p.u32(h.width);
  p.u32(h.height);  // positive: rows bottom-up
  p.u16(1);
  p.u16(h.bits);
  p.u32(0);  // uncompressed
  p.u32(frame);
  p.u32(0);
  p.u32(0);
  p.u32(grey ? 256 : 0);  // colours used
  p.u32(grey ? 256 : 0);  // colours important
  if (grey) {
    for (int i = 0; i < 256; i++) {
      const uint8_t e[4] = {uint8_t(i), uint8_t(i), uint8_t(i), 0};
      p.bytes(e, 4);
    }
  }

  p.tag("strn");
  p.u32(20);
  p.bytes("AVI Video Stream #1", 20);
  p.tag("LIST");
  p.u32(4 + frames * (frame + 8));
  p.tag("movi");
  return p.take();
}

}  // namespace vistelmo

int TamCol(int v) { return static_cast<int>(static_cast<uint32_t>(vistelmo::tamcol64(v))); }

void ImpAvi(const I3DCOR& v, const std::string& name) { vistelmo::write_avi(v, name); }

void ImpAvi(const I3DGRY& v, const std::string& name) { vistelmo::write_avi(v, name); }

void ImpAvi(const I3DFLT& v, const std::string& name) {
  I3DGRY g(v.ns, v.nl, v.nc);
  for (int s = 0; s < v.ns; s++) g.slices[s] = v.slices[s];
  ImpAvi(g, name);
}
