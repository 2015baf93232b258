// JPEG files through libjpeg: baseline writing of grey and colour images, reading of any JPEG.
#include "formats/jpeg.h"

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>
// After jpeglib.h: the message codes.
#include <jerror.h>

#include "foundation/file_internal.h"
#include "images/image_core_internal.h"
#include "images/image_files_internal.h"

using vistelmo::StdioFile;

namespace {

// Error record of the readers: libjpeg's manager first, so the jump buffer is found from it.
struct ErroJpgMgr {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  void (*emit_message)(j_common_ptr, int);  // libjpeg's own
  bool picture_done;                        // every row has been decoded
};

// Values of longjmp back into the reader.
constexpr int kLibraryError = 1;
constexpr int kDataEnded = 2;

// Exit routine of the readers: libjpeg's message on stderr, then back into the reader.
[[noreturn]] void ErroJpg(j_common_ptr cinfo) {
  (*cinfo->err->output_message)(cinfo);
  std::longjmp(reinterpret_cast<ErroJpgMgr*>(cinfo->err)->jump, kLibraryError);
}

// Message routine of the readers. Data that ends before the picture is complete goes back
// into the reader at once, before libjpeg fills the missing rows: a scan that needed bits
// past a marker, or the end of the file before the last row of blocks. The end of the file
// within the last row of blocks may only be a missing end marker: a scan that then lacks bits
// still says so. Other warnings stay libjpeg's.
void AvisoJpg(j_common_ptr cinfo, int level) {
  auto* mgr = reinterpret_cast<ErroJpgMgr*>(cinfo->err);
  if (level < 0 && !mgr->picture_done) {
    const auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    const int code = cinfo->err->msg_code;
    if (code == JWRN_HIT_MARKER ||
        (code == JWRN_JPEG_EOF && d->input_iMCU_row + 1 < d->total_iMCU_rows))
      std::longjmp(mgr->jump, kDataEnded);
  }
  mgr->emit_message(cinfo, level);
}

template <class Img>
struct JpegTraits;
template <>
struct JpegTraits<IMGGRY> {
  static constexpr int components = 1;
  static constexpr J_COLOR_SPACE space = JCS_GRAYSCALE;
  // Fills a grey row from k samples per pixel (k is 1 or 3).
  static void fill_row(unsigned char* row, const JSAMPLE* s, int nc, int k) {
    if (k == 1) {
      for (int c = 0; c < nc; c++) row[c] = s[c];
    } else {
      for (int c = 0; c < nc; c++, s += 3)
        row[c] = static_cast<unsigned char>((s[0] + s[1] + s[2] + 1) / 3);
    }
  }
};
template <>
struct JpegTraits<IMGCOR> {
  static constexpr int components = 3;
  static constexpr J_COLOR_SPACE space = JCS_RGB;
  // Fills a colour row; a single sample gives the grey colour (v, v, v).
  static void fill_row(COR* row, const JSAMPLE* s, int nc, int k) {
    if (k == 1) {
      for (int c = 0; c < nc; c++) row[c] = COR{s[c], s[c], s[c]};
    } else {
      for (int c = 0; c < nc; c++, s += 3) row[c] = COR{s[0], s[1], s[2]};
    }
  }
};

enum class Decoded { ok, library_error, data_ended, bad_components };

// Rows of a picture of h rows of w pixels, held in a block that grows with them (doubling, up
// to h rows; the C library moves a large block's pages without copying them): data that ends
// early never claims the whole declared picture.
template <class T>
class RowStore {
 public:
  RowStore() = default;
  RowStore(const RowStore&) = delete;
  RowStore& operator=(const RowStore&) = delete;
  ~RowStore() { std::free(block_); }

  // Row l < h, with room for it and every row before it; nullptr when memory runs out.
  T* row(int l, int h, int w) {
    if (l >= capacity_) {
      const int64_t first = kFirstBytes / (int64_t(w) * sizeof(T));
      const int64_t rows = std::min<int64_t>(std::max({2 * capacity_, int64_t(l) + 1, first}), h);
      const size_t row_bytes = static_cast<size_t>(w) * sizeof(T);
      void* p = std::realloc(block_, static_cast<size_t>(rows) * row_bytes);
      if (p == nullptr) return nullptr;
      block_ = static_cast<T*>(p);
      capacity_ = rows;
    }
    return block_ + static_cast<int64_t>(l) * w;
  }
  // The block, of exactly h rows once row h - 1 is in; the caller owns it.
  T* take() {
    T* p = block_;
    block_ = nullptr;
    capacity_ = 0;
    return p;
  }

 private:
  static constexpr int64_t kFirstBytes = 1 << 16;
  T* block_ = nullptr;
  int64_t capacity_ = 0;
};

// Decodes the stream into img: straight into its storage when it already has the picture's
// size, else into store, which becomes img's storage once every row is decoded. No object with
// a destructor lives in this frame: a libjpeg error jumps back here past libjpeg's own frames.
// Not inlined, so that store is seen in memory after a jump.
template <class Img>
[[gnu::noinline]] Decoded decode(Img& img, FILE* f, RowStore<typename Img::Pixel>& store) {
  jpeg_decompress_struct cinfo;
  ErroJpgMgr jerr;
  cinfo.err = jpeg_std_error(&jerr.pub);
  jerr.pub.error_exit = ErroJpg;
  jerr.emit_message = jerr.pub.emit_message;
  jerr.pub.emit_message = AvisoJpg;
  jerr.picture_done = false;
  switch (setjmp(jerr.jump)) {
    case 0:
      break;
    case kDataEnded:
      jpeg_destroy_decompress(&cinfo);
      return Decoded::data_ended;
    default:
      jpeg_destroy_decompress(&cinfo);
      return Decoded::library_error;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_stdio_src(&cinfo, f);
  jpeg_read_header(&cinfo, TRUE);
  jpeg_start_decompress(&cinfo);
  const int k = cinfo.output_components;
  if (k != 1 && k != 3) {
    jpeg_destroy_decompress(&cinfo);
    return Decoded::bad_components;
  }
  JSAMPARRAY buf = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                              cinfo.output_width * k, 1);
  // The first row is decoded before the image is sized: data that ends at once never sizes
  // a picture it cannot fill.
  jpeg_read_scanlines(&cinfo, buf, 1);
  const int h = static_cast<int>(cinfo.output_height), w = static_cast<int>(cinfo.output_width);
  const bool in_place = img.nl() == h && img.nc() == w && img.data != nullptr;
  if (!in_place) {
    if (int64_t(h) * w > INT32_MAX) img.resize(h, w);  // fails as the resize of that size does
    img.resize(0, 0);                                  // the old storage goes at once
  }
  for (int l = 0;;) {
    typename Img::Pixel* row = in_place ? img.rows[l] : store.row(l, h, w);
    if (row == nullptr) erro(vistelmo::aloca_message<Img>(), "");
    JpegTraits<Img>::fill_row(row, buf[0], w, k);
    if (++l == h) break;
    jpeg_read_scanlines(&cinfo, buf, 1);
  }
  if (!in_place) vistelmo::adopt_block(img, h, w, store.take());
  jerr.picture_done = true;
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return Decoded::ok;
}

template <class Img>
void read_jpeg(Img& img, const std::string& name) {
  StdioFile f(name, "rb", "can't open ", "Erro LeJpg - Faltou memoria setvbuf");
  RowStore<typename Img::Pixel> store;
  Decoded r = decode(img, f.get(), store);
  f.close();
  if (r == Decoded::library_error) erro("Erro: Leitura JPG", "");
  if (r == Decoded::data_ended) erro("Erro LeJpg - Fim inesperado", "");
  if (r == Decoded::bad_components) erro("JPG deve ter 1 ou 3 planos de cores", "");
}

// Writes with libjpeg's standard error handling: a library error ends the process.
template <class Img>
void write_jpeg(const Img& image, const std::string& name, int quality) {
  Img tmp;
  const Img& img = vistelmo::storage_or_outside(image, tmp);
  jpeg_compress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  StdioFile f(name, "wb", "Can't open", "Erro ImpJpg - Faltou memoria setvbuf");
  jpeg_stdio_dest(&cinfo, f.get());
  cinfo.image_width = static_cast<JDIMENSION>(img.nc());
  cinfo.image_height = static_cast<JDIMENSION>(img.nl());
  cinfo.input_components = JpegTraits<Img>::components;
  cinfo.in_color_space = JpegTraits<Img>::space;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  // libjpeg only reads the rows it is given.
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row =
        reinterpret_cast<JSAMPROW>(const_cast<typename Img::Pixel*>(img.rows[cinfo.next_scanline]));
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  f.close();
  jpeg_destroy_compress(&cinfo);
}

}  // namespace

void ImpJpg(const IMGGRY& img, const std::string& name, int quality) {
  write_jpeg(img, name, quality);
}
void ImpJpg(const IMGCOR& img, const std::string& name, int quality) {
  write_jpeg(img, name, quality);
}
void LeJpg(IMGGRY& img, const std::string& name) { read_jpeg(img, name); }
void LeJpg(IMGCOR& img, const std::string& name) { read_jpeg(img, name); }
