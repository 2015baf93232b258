// 1-bit BMP files of the binary image.
#include <emmintrin.h>

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "foundation/binary_internal.h"
#include "foundation/file_internal.h"
#include "images/image_core_internal.h"
#include "images/image_files_internal.h"

namespace {

using vistelmo::get16;
using vistelmo::get32;
using vistelmo::get32s;
using vistelmo::put16;
using vistelmo::put32;

constexpr int kFileHeader = 14;  // signature, file size, reserved, data offset
constexpr int kInfoHeader = 40;
constexpr int kPalette = 8;
constexpr int kDataOffset = kFileHeader + kInfoHeader + kPalette;
static_assert(kDataOffset == vistelmo::kBmpDataOffset, "BMP headers and palette");

// Field offsets from the start of the file.
enum : int {
  kFileSize = 2,
  kOffBits = 10,
  kHeaderSize = 14,
  kWidth = 18,
  kHeight = 22,
  kPlanes = 26,
  kBitCount = 28,
  kCompression = 30,
  kImageSize = 34,
  kColoursUsed = 46,
  kColoursImportant = 50,
  kPaletteStart = 54,
};

const char* const kMsgNull = "Erro IMGBIN:ImpBmp - Imagem nula ";
const char* const kMsgWriteOpen = "Erro IMGBIN::ImpBmp - abertura de ";
const char* const kMsgWriteBuf = "Erro IMGBIN::ImpBmp - Faltou memoria setvbuf";
const char* const kMsgWriteFail = "Erro IMGBIN::ImpBmp - Falha na escrita ";
const char* const kMsgTooBig = "Erro IMGBIN::ImpBmp - Imagem muito grande para BMP ";
const char* const kMsgReadOpen = "Erro IMGBIN::LeBmp - Abertura de ";
const char* const kMsgReadBuf = "Erro IMGBIN::LeBmp - Falta memoria setvbuf";
const char* const kMsgInvalid = "Erro IMGBIN::LeBmp - BMP invalido";
const char* const kMsgOffset = "Erro IMGBIN::LeBmp - ImageDataOffset";
const char* const kMsgHeaderSize = "Erro IMGBIN::LeBmp - HeaderSize";
const char* const kMsgPlanes = "Erro IMGBIN::LeBmp - NumberOfImagePlanes";
const char* const kMsgNotBinary = "Erro IMGBIN::LeBmp - BMP nao-binario";
const char* const kMsgCompressed = "Erro IMGBIN::LeBmp - BMP compactado";
const char* const kMsgByteCount = "Erro IMGBIN::LeBmp - Numero de bytes";
const char* const kMsgShort = "Erro IMGBIN::LeBmp - Fim inesperado";

// Converts between the image's words and the file's rows in place: every word's bytes are
// reversed and, when flip is set, row l is exchanged with row nl-1-l. Applying it twice restores
// the image.
void to_file_order(IMGBIN& img, bool flip) {
  const int nl = img.nl, wpr = img.wpr;
  if (!flip) {
    for (int64_t k = 0; k < img.nw; k++) img.data[k] = vistelmo::swap32(img.data[k]);
    return;
  }
  for (int l = 0, m = nl - 1; l <= m; l++, m--) {
    uint32_t* __restrict a = img.rows[l];
    uint32_t* __restrict b = img.rows[m];
    if (l == m) {
      for (int j = 0; j < wpr; j++) a[j] = vistelmo::swap32(a[j]);
      break;
    }
    for (int j = 0; j < wpr; j++) {
      const uint32_t t = vistelmo::swap32(a[j]);
      a[j] = vistelmo::swap32(b[j]);
      b[j] = t;
    }
  }
}

// Words of the block that ImpBmp fills before each write.
constexpr size_t kStagingWords = 1 << 20;

// dst[j] = src[j] with its bytes reversed, four words at a time (SSE2).
void swap_bytes(const uint32_t* src, uint32_t* dst, int n) {
  int j = 0;
  for (; j + 4 <= n; j += 4) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + j));
    v = _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));  // bytes within halves
    v = _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, 0xB1), 0xB1);   // halves within words
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + j), v);
  }
  for (; j < n; j++) dst[j] = __builtin_bswap32(src[j]);
}

// Grey of a palette entry stored blue, green, red, reserved.
int palette_grey(const uint8_t* e) { return (e[0] + e[1] + e[2] + 1) / 3; }

void read_or_fail(vistelmo::StdioFile& f, uint8_t* p, size_t count) {
  if (!f.read(p, 1, count)) erro(kMsgShort, "");
}

}  // namespace

void IMGBIN::ImpBmp(const std::string& name) {
  if (nl <= 0 || nc <= 0 || data == nullptr) erro(kMsgNull, name);
  if (!vistelmo::bmp_fits(nl, nc)) erro(kMsgTooBig, name);
  vistelmo::StdioFile f(name, "wb", kMsgWriteOpen, kMsgWriteBuf);

  uint8_t h[kDataOffset] = {};
  h[0] = 'B';
  h[1] = 'M';
  put32(h + kFileSize, static_cast<uint32_t>(vistelmo::bmp_file_size(nl, nc)));
  put32(h + kOffBits, kDataOffset);
  put32(h + kHeaderSize, kInfoHeader);
  put32(h + kWidth, static_cast<uint32_t>(nc()));
  put32(h + kHeight, static_cast<uint32_t>(nl()));
  put16(h + kPlanes, 1);
  put16(h + kBitCount, 1);
  put32(h + kColoursUsed, 2);
  put32(h + kColoursImportant, 2);
  // Entry 0 black, entry 1 white.
  put32(h + kPaletteStart + 4, 0x00FFFFFFu);
  f.write(h, 1, sizeof h);

  // Rows bottom-up, each word's bytes reversed, through a staging block of whole rows.
  const size_t per_block = std::max<size_t>(1, kStagingWords / static_cast<size_t>(wpr));
  std::vector<uint32_t> staging(per_block * static_cast<size_t>(wpr));
  for (int l = nl - 1; l >= 0;) {
    uint32_t* out = staging.data();
    for (size_t k = 0; k < per_block && l >= 0; k++, l--) {
      const uint32_t* row = rows[l];
      swap_bytes(row, out, wpr);
      out += wpr;
    }
    f.write(staging.data(), 4, static_cast<size_t>(out - staging.data()));
  }
  f.finish(kMsgWriteFail);
}

void IMGBIN::LeBmp(const std::string& name) {
  vistelmo::StdioFile f(name, "rb", kMsgReadOpen, kMsgReadBuf);

  uint8_t h[kDataOffset];
  read_or_fail(f, h, 2);
  if (h[0] != 'B' || h[1] != 'M') erro(kMsgInvalid, "");
  read_or_fail(f, h + 2, kFileHeader - 2);
  if (get32(h + kOffBits) != static_cast<uint32_t>(kDataOffset)) erro(kMsgOffset, "");
  read_or_fail(f, h + kFileHeader, kInfoHeader);
  const uint32_t header_size = get32(h + kHeaderSize);
  if (header_size != kInfoHeader) erro(kMsgHeaderSize, "");
  if (get16(h + kPlanes) != 1) erro(kMsgPlanes, "");
  if (get16(h + kBitCount) != 1) erro(kMsgNotBinary, "");
  if (get32(h + kCompression) != 0) erro(kMsgCompressed, "");
  const uint32_t colours = get32(h + kColoursUsed);
  if (colours != 0 && colours != 2) erro(kMsgNotBinary, "");
  const uint32_t image_size = get32(h + kImageSize);
  if (image_size != 0 && get32(h + kFileSize) != image_size + header_size + 22)
    erro(kMsgByteCount, "");

  // A negative height marks rows stored top-down.
  const int32_t width = get32s(h + kWidth);
  const int64_t height = get32s(h + kHeight);
  if (width <= 0 || height == 0) erro(kMsgInvalid, "");
  const bool bottom_up = height > 0;
  const int64_t rows_count = bottom_up ? height : -height;
  if (rows_count > INT32_MAX) erro(kMsgInvalid, "");

  read_or_fail(f, h + kPaletteStart, kPalette);
  const int grey0 = palette_grey(h + kPaletteStart);
  const int grey1 = palette_grey(h + kPaletteStart + 4);

  // The pixel rows must be in the file before any storage is taken for them.
  const int64_t words = ((static_cast<int64_t>(width) - 1) / 32 + 1) * rows_count;
  if (vistelmo::block_exceeds_file(f, words, 4)) erro(kMsgShort, "");

  desaloca();
  aloca(static_cast<int>(rows_count), width);
  if (!f.read(data, 4, static_cast<size_t>(nw))) erro(kMsgShort, "");
  f.close();

  to_file_order(*this, bottom_up);
  if (grey0 > grey1)
    for (int64_t k = 0; k < nw; k++) data[k] = ~data[k];
}
