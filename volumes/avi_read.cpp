// Reading uncompressed DIB AVI files into volumes.
//
// The colour reader walks the RIFF tree one list level per function and accounts for every
// byte of each list. The grey reader expects the chunks in the order ImpAvi writes them and
// ignores list sizes.
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "foundation/binary_internal.h"
#include "foundation/file_internal.h"
#include "images/image_files_internal.h"
#include "volumes/avi_internal.h"

namespace NameLeAvi {

FILE* arq = nullptr;
VETOR<unsigned char> buf;
unsigned char ident[4];
unsigned char chunk[8];
unsigned char* ch = nullptr;
uint16_t* wd = nullptr;
int32_t* dw = nullptr;
int32_t resta = 0;

namespace {

using vistelmo::fourcc_is;

constexpr const char* kEof = "Erro: Fim de arquivo inesperado";
constexpr const char* kTooBig = "Erro: Chunk muito grande";
constexpr const char* kAccountHdrl = "Erro anaavih: s!=0";
constexpr const char* kMissingFrames = "Erro LeAvi(I3DCOR): faltam quadros";

int32_t chunk_size() { return vistelmo::get32s(chunk + 4); }
bool chunk_is(const char* code) { return fourcc_is(chunk, code); }

// Reads the next chunk header and charges it to the list's count s. A size with the top bit
// set would seek backwards or overrun buf: refused.
void next_chunk(int64_t& s) {
  analex(chunk, 8);
  s -= 8;
  if (chunk_size() < 0) erro(kTooBig, "");
}

// Skips JUNK chunks up to the next other header.
void next_chunk_skipping_junk(int64_t& s) {
  next_chunk(s);
  while (chunk_is("JUNK")) {
    s -= pula(chunk_size());
    next_chunk(s);
  }
}

// Reads the current chunk's data into buf; bytes the chunk lacks below the header fields
// read as zeros.
void read_chunk_data(int64_t& s) {
  std::memset(buf.data, 0, 64);
  s -= analex(buf.data, chunk_size());
}

void read_ident(int64_t& s) {
  analex(ident, 4);
  s -= 4;
}

}  // namespace

int pula(int n) {
  if (std::feof(arq)) erro(kEof, "");
  std::fseek(arq, n, SEEK_CUR);
  return n;
}

int analex(void* p, int n) {
  if (std::feof(arq)) erro(kEof, "");
  if (n > buf.n) erro(kTooBig, "");
  if (n > 0 && std::fread(p, 1, n, arq) != size_t(n)) erro(kEof, "");
  return n;
}

int anariff(I3DCOR& v, int size) {
  int64_t s = size;
  read_ident(s);
  if (!fourcc_is(ident, "AVI ")) erro("Erro: Nao-AVI_", "");
  next_chunk_skipping_junk(s);
  if (!chunk_is("LIST")) erro("Erro: Nao-LIST 2", "");
  s -= anahdrl(v, chunk_size());
  next_chunk_skipping_junk(s);
  if (!chunk_is("LIST")) {
    std::printf("%c%c%c%c", chunk[0], chunk[1], chunk[2], chunk[3]);
    erro("Erro: Nao-LIST 3", "");
  }
  s -= anamovi(v, chunk_size());
  // The index (idx1), JUNK and anything else after the frames is skipped.
  while (s > 0) {
    next_chunk(s);
    s -= pula(chunk_size());
  }
  if (s != 0) erro("Erro anariff: s!=0", "");
  return size;
}

int anahdrl(I3DCOR& v, int size) {
  int64_t s = size;
  read_ident(s);
  if (!fourcc_is(ident, "hdrl")) erro("Erro: Nao-hdrl", "");
  next_chunk_skipping_junk(s);
  if (!chunk_is("avih")) erro("Erro: Nao-avih", "");
  read_chunk_data(s);
  dw = reinterpret_cast<int32_t*>(buf.data);
  const int32_t usec = vistelmo::get32s(buf.data);
  const int32_t frames = vistelmo::get32s(buf.data + 16);
  const int32_t width = vistelmo::get32s(buf.data + 32);
  const int32_t height = vistelmo::get32s(buf.data + 36);
  if (frames < 0 || width < 0 || height < 0) erro("Erro LeAvi(I3DCOR): dimensoes invalidas", "");
  // The stream lists compare their frame rate with fd; the volume is sized once they have
  // been checked and the file is known to hold a chunk header and a whole picture for each
  // frame.
  v.fd = usec;
  while (s >= 1) {
    next_chunk_skipping_junk(s);
    if (!chunk_is("LIST")) erro("Erro: Nao-LIST 1", "");
    s -= analist(v, chunk_size());
  }
  if (s != 0) erro(kAccountHdrl, "");
  const int64_t picture = vistelmo::capped_product(vistelmo::tamcol64(3 * int64_t(width)), height);
  if (frames > 0 && vistelmo::block_exceeds_file(arq, frames, picture + 8)) erro(kEof, "");
  v.resize(frames, height, width);
  v.fd = usec;
  return size;
}

int analist(I3DCOR& v, int size) {
  int64_t s = size;
  read_ident(s);
  if (!fourcc_is(ident, "strl")) {
    // Other lists of the header list are read whole and ignored.
    if (s < 0) erro(kAccountHdrl, "");
    analex(buf.data, int(s));
    return size;
  }
  bool video = false;
  while (s > 0) {
    next_chunk(s);
    if (chunk_is("strh")) {
      read_chunk_data(s);
      ch = buf.data;
      if (!fourcc_is(ch, "vids")) continue;
      video = true;
      if (!fourcc_is(ch + 4, "DIB ")) erro("Erro: Cod nao-DIB", "");
      const int32_t scale = vistelmo::get32s(ch + 20), rate = vistelmo::get32s(ch + 24);
      // A rate of 0 states no frame time at all. The two agree within a millisecond, or
      // within one step of the whole rate (period / (rate + 1)), which a truncated rate for a
      // long frame time needs.
      const double period = double(scale) * 1000000.0 / rate;
      const double off = std::fabs(period - v.fd);
      if (rate == 0 || !(off <= 1000 || off <= std::fabs(period) / (std::fabs(double(rate)) + 1)))
        erro("Erro LeAvi(I3DCOR): rate e fd nao concordam", "");
    } else if (chunk_is("strf") && video) {
      read_chunk_data(s);
      wd = reinterpret_cast<uint16_t*>(buf.data);
      dw = reinterpret_cast<int32_t*>(buf.data);
      if (vistelmo::get16(buf.data + 12) != 1) erro("Erro: nplanes!=1", "");
      if (vistelmo::get16(buf.data + 14) != 24) erro("Erro: bitspix!=24", "");
      if (vistelmo::get32(buf.data + 16) != 0) erro("Erro: compression!=0", "");
    } else {
      s -= pula(chunk_size());
    }
  }
  if (s != 0) erro(kAccountHdrl, "");
  return size;
}

int anamovi(I3DCOR& v, int size) {
  int64_t s = size;
  read_ident(s);
  if (!fourcc_is(ident, "movi")) erro("Erro: Nao-movi", "");
  const int nl = v.nl(), nc = v.nc(), ns = v.ns();
  const bool pixels = ns > 0 && nl > 0 && nc > 0;
  const int64_t row = pixels ? vistelmo::tamcol64(3 * int64_t(nc)) : 0;
  const int64_t frame = nl * row;
  if (pixels) {
    if (frame > INT32_MAX) erro(kTooBig, "");
    if (buf.n < frame) buf.resize(int(frame));
  }
  int f = 0;
  while (s > 0) {
    next_chunk(s);
    if (!chunk_is("00db")) {
      s -= pula(chunk_size());
      continue;
    }
    // A frame shorter than the picture would leave part of the slice stale.
    if (f < ns && chunk_size() < frame) erro("Erro LeAvi(I3DCOR): tamimg!=chunk.size", "");
    s -= analex(buf.data, chunk_size());
    if (f < ns && pixels) {
      IMGCOR& im = v.slices[f];
      for (int r = 0; r < nl; r++) {
        const unsigned char* src = buf.data + (nl - 1 - r) * row;
        COR* dst = im.rows[r];
        for (int c = 0; c < nc; c++) dst[c] = COR{src[3 * c + 2], src[3 * c + 1], src[3 * c]};
      }
    }
    f++;
  }
  if (s != 0) erro("Erro anamovi: s!=0", "");
  if (f < ns) erro(kMissingFrames, "");
  return size;
}

}  // namespace NameLeAvi

namespace vistelmo {
namespace {

// The grey reader's file: every chunk before the frames goes through a 4096-byte buffer.
class GreyAvi {
 public:
  explicit GreyAvi(const std::string& name)
      : f_(name, "rb", "Erro LeAvi(I3DGRY) - Abertura de ",
           "Erro LeAvi(I3DGRY) - Falta memoria setvbuf") {}

  // A header cut by the end of the file is judged by the bytes it has: the expected code
  // fails first, and a matching code then fails for the missing bytes.
  void header() {
    std::memset(h_, 0, sizeof h_);
    short_ = !f_.read(h_, 1, 8);
  }
  bool is(const char* code) const { return fourcc_is(h_, code); }
  uint32_t size() const { return get32(h_ + 4); }
  void expect(const char* code, const char* msg) {
    if (!is(code)) erro(msg, "");
    if (short_) erro("Erro: Fim de arquivo inesperado", "");
  }
  // The next header after any JUNK chunks.
  void header_skipping_junk() {
    header();
    while (is("JUNK") && !short_) {
      data();
      header();
    }
  }
  // Reads the current chunk's data into the chunk buffer; missing bytes read as zeros.
  void data() {
    if (size() > sizeof d_) erro("Erro: Chunk muito grande", "");
    std::memset(d_, 0, sizeof d_);
    if (!f_.read(d_, 1, size())) erro("Erro: Fim de arquivo inesperado", "");
  }
  void four(const char* code, const char* msg) {
    uint8_t t[4] = {};
    const bool got = f_.read(t, 1, 4);
    if (!fourcc_is(t, code)) erro(msg, "");
    if (!got) erro("Erro: Fim de arquivo inesperado", "");
  }
  const uint8_t* d() const { return d_; }
  bool cut() const { return short_; }
  StdioFile& file() { return f_; }

 private:
  StdioFile f_;
  uint8_t h_[8];
  bool short_ = false;
  uint8_t d_[4096];
};

void read_grey(I3DGRY& v, const std::string& name) {
  GreyAvi a(name);
  a.header();
  a.expect("RIFF", "Erro LeAvi(I3DGRY): Nao-RIFF");
  a.four("AVI ", "Erro LeAvi(I3DGRY): Nao-AVI_");
  a.header_skipping_junk();
  a.expect("LIST", "Erro LeAvi(I3DGRY): Nao-LIST");
  a.four("hdrl", "Erro LeAvi(I3DGRY): Nao-hdrl");
  a.header_skipping_junk();
  a.expect("avih", "Erro LeAvi(I3DGRY): Nao-avih");
  a.data();
  const int32_t frames = get32s(a.d() + 16), width = get32s(a.d() + 32),
                height = get32s(a.d() + 36);
  if (frames < 0 || width < 0 || height < 0) erro("Erro LeAvi(I3DGRY): dimensoes invalidas", "");
  a.header_skipping_junk();
  a.expect("LIST", "Erro LeAvi(I3DGRY): Nao-LIST");
  a.four("strl", "Erro LeAvi(I3DGRY): Nao-strl");
  a.header_skipping_junk();
  a.expect("strh", "Erro LeAvi(I3DGRY): Nao-strh");
  a.data();
  if (std::memcmp(a.d(), "vidsDIB ", 8) != 0) erro("Erro LeAvi(I3DGRY): Nao-vidsDIB_", "");
  a.header_skipping_junk();
  a.expect("strf", "Erro LeAvi(I3DGRY): Nao-strf");
  a.data();
  const uint8_t* fmt = a.d();
  if (get16(fmt + 12) != 1 || get16(fmt + 14) != 8) erro("Erro: Tipo AVI", "");
  if (get32(fmt + 16) != 0) erro("Erro: Tipo compressao", "");
  const uint32_t used = get32(fmt + 32);
  if (a.size() != 40 + 4 * uint64_t(used)) erro("Erro: Tamanho palette invalido", "");
  // Grey level of each palette index; a pixel at or past `used` has no entry.
  uint8_t grey[256] = {};
  for (uint32_t i = 0; i < used && i < 256; i++) {
    const uint8_t* e = fmt + 40 + 4 * i;
    grey[i] = uint8_t((e[0] + e[1] + e[2] + 1) / 3);
  }
  a.header();
  while ((a.is("JUNK") || a.is("strn")) && !a.cut()) {
    a.data();
    a.header();
  }
  a.expect("LIST", "Erro LeAvi(I3DGRY): Nao-LIST");
  a.four("movi", "Erro LeAvi(I3DGRY): Nao-movi");

  const int64_t row = tamcol64(width), frame = row * height;
  std::unique_ptr<uint8_t[]> pix;
  // The volume is sized once the first frame's header has been checked and the file is known
  // to hold every frame the main header counts.
  auto size_volume = [&] {
    // Here frame is 0 or a chunk's 32-bit size.
    if (frames > 0 &&
        block_exceeds_file(a.file(), 1, frame + capped_product(frames - 1, frame + 8)))
      erro("Erro: Fim de arquivo inesperado", "");
    v.resize(frames, height, width);
    if (frames > 0 && frame > 0) {
      pix.reset(new (std::nothrow) uint8_t[frame]);
      if (!pix) erro("Erro LeAvi(I3DGRY) - Falta memoria", "");
    }
  };
  if (frames <= 0) size_volume();
  const int nl = height, nc = width;
  const bool pixels = nl > 0 && nc > 0;
  for (int f = 0; f < frames; f++) {
    a.header();
    a.expect("00db", "Erro LeAvi(I3DGRY): Nao-00db");
    if (a.size() != frame) erro("Erro LeAvi(I3DGRY): tamimg!=chunk.size", "");
    if (f == 0) size_volume();
    if (std::feof(a.file())) erro("Erro: Fim de arquivo inesperado", "");
    if (frame > 0 && !a.file().read(pix.get(), 1, frame))
      erro("Erro: Fim de arquivo inesperado", "");
    if (!pixels) continue;
    IMGGRY& im = v.slices[f];
    for (int r = 0; r < nl; r++) {
      const uint8_t* src = pix.get() + (nl - 1 - r) * row;
      unsigned char* dst = im.rows[r];
      for (int c = 0; c < nc; c++) {
        if (src[c] >= used) erro("Erro VETOR::operator() - Indice invalido", "");
        dst[c] = grey[src[c]];
      }
    }
  }
  a.file().close();
}

}  // namespace
}  // namespace vistelmo

void LeAvi(I3DCOR& v, const std::string& name) {
  using namespace NameLeAvi;
  buf.resize(65536);
  vistelmo::StdioFile f(name, "rb", "Erro: Abertura de ", "Erro: Falta memoria setvbuf");
  arq = f.get();
  // A file shorter than a chunk header is judged by the bytes it has.
  std::memset(chunk, 0, sizeof chunk);
  const size_t got = std::fread(chunk, 1, sizeof chunk, arq);
  if (!chunk_is("RIFF")) erro("Erro: Nao-RIFF", "");
  if (got != sizeof chunk) erro(kEof, "");
  if (chunk_size() < 0) erro(kTooBig, "");
  anariff(v, chunk_size());
  f.close();
  arq = nullptr;
}

void LeAvi(I3DGRY& v, const std::string& name) { vistelmo::read_grey(v, name); }

void LeAvi(I3DFLT& v, const std::string& name) {
  I3DGRY g;
  LeAvi(g, name);
  v.resize(g.ns, g.nl, g.nc);
  for (int s = 0; s < v.ns; s++) v.slices[s] = g.slices[s];
}
