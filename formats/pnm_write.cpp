// Writers of the portable anymap forms P1 to P6, and the bit writer.
#include <cstdint>
#include <string>
#include <vector>

#include "formats/pnm.h"
#include "formats/pnm_internal.h"
#include "foundation/file_internal.h"
#include "images/image_core_internal.h"
#include "images/image_files_internal.h"

using vistelmo::PnmForm;
using vistelmo::StdioFile;

namespace {

// Opens the file and writes the magic, comment, size and (grey and colour) maxval lines.
class PnmWriter {
 public:
  PnmWriter(const PnmForm& form, const std::string& name, int nl, int nc)
      : form_(form), f_(name, "wb", form.open_msg(), form.buf_msg()) {
    std::string h = std::string("P") + form.digit + "\n#Created by Vistelmo\n" +
                    std::to_string(nc) + " " + std::to_string(nl) + "\n";
    if (form.has_maxval) h += "255\n";
    write(h.data(), h.size());
  }
  void write(const void* p, size_t bytes) { f_.write(p, 1, bytes); }
  void write(const std::string& s) { write(s.data(), s.size()); }
  void finish() { f_.finish(std::string("Erro ") + form_.fn + " - Falha na escrita "); }

 private:
  const PnmForm& form_;
  StdioFile f_;
};

// Appends v as "%3d" (v is a byte).
inline void append3(std::string& s, unsigned v) {
  char d[3] = {' ', ' ', static_cast<char>('0' + v % 10)};
  if (v >= 10) d[1] = static_cast<char>('0' + v / 10 % 10);
  if (v >= 100) d[0] = static_cast<char>('0' + v / 100);
  s.append(d, 3);
}

// Text bodies: one line per row, each pixel formatted by put(line, row, column).
template <class Put>
void write_text_rows(PnmWriter& w, int nl, int nc, Put put) {
  std::string line;
  for (int l = 0; l < nl; l++) {
    line.clear();
    for (int c = 0; c < nc; c++) put(line, l, c);
    line += '\n';
    w.write(line);
  }
}

const PnmForm kP1{"imppbmt", '1', false};
const PnmForm kP2{"imppgmt", '2', true};
const PnmForm kP3{"impppmt", '3', true};
const PnmForm kP4{"imppbmb", '4', false};
const PnmForm kP5{"imppgmb", '5', true};
const PnmForm kP6{"impppmb", '6', true};

// Pending bits of fputbit.
unsigned put_acc = 0;
int put_count = 0;

}  // namespace

void imppbmt(const IMGBIN& image, const std::string& name) {
  IMGBIN tmp;
  const IMGBIN& img = vistelmo::storage_or_outside(image, tmp);
  PnmWriter w(kP1, name, img.nl(), img.nc());
  write_text_rows(w, img.nl(), img.nc(), [&](std::string& s, int l, int c) {
    bool white = (img.rows[l][c >> 5] >> (31 - (c & 31))) & 1u;
    s += white ? "0 " : "1 ";
  });
  w.finish();
}

void imppgmt(const IMGGRY& image, const std::string& name) {
  IMGGRY tmp;
  const IMGGRY& img = vistelmo::storage_or_outside(image, tmp);
  PnmWriter w(kP2, name, img.nl(), img.nc());
  write_text_rows(w, img.nl(), img.nc(), [&](std::string& s, int l, int c) {
    append3(s, img.rows[l][c]);
    s += ' ';
  });
  w.finish();
}

void impppmt(const IMGCOR& image, const std::string& name) {
  IMGCOR tmp;
  const IMGCOR& img = vistelmo::storage_or_outside(image, tmp);
  PnmWriter w(kP3, name, img.nl(), img.nc());
  write_text_rows(w, img.nl(), img.nc(), [&](std::string& s, int l, int c) {
    const COR& p = img.rows[l][c];
    append3(s, p.r);
    s += ' ';
    append3(s, p.g);
    s += ' ';
    append3(s, p.b);
    s += "  ";
  });
  w.finish();
}

void imppbmb(const IMGBIN& image, const std::string& name) {
  IMGBIN tmp;
  const IMGBIN& img = vistelmo::storage_or_outside(image, tmp);
  PnmWriter w(kP4, name, img.nl(), img.nc());
  if (vistelmo::has_pixels(img)) {
    const int nc = img.nc(), bytes = (nc - 1) / 8 + 1;
    // Bits past the last column carry the complement of the outside value.
    const uint8_t pad = (img.backg & 1u) ? 0x00 : 0xFF;
    const int used = nc & 7;
    const uint8_t keep = used == 0 ? 0xFF : static_cast<uint8_t>(0xFF << (8 - used));
    std::vector<uint8_t> row(bytes);
    for (int l = 0; l < img.nl(); l++) {
      const uint32_t* words = img.rows[l];
      for (int k = 0; k < bytes; k++)
        row[k] = static_cast<uint8_t>(~(words[k >> 2] >> (24 - 8 * (k & 3))));
      row[bytes - 1] = static_cast<uint8_t>((row[bytes - 1] & keep) | (pad & ~keep));
      w.write(row.data(), row.size());
    }
  }
  w.finish();
}

void imppgmb(const IMGGRY& image, const std::string& name) {
  IMGGRY tmp;
  const IMGGRY& img = vistelmo::storage_or_outside(image, tmp);
  PnmWriter w(kP5, name, img.nl(), img.nc());
  if (vistelmo::has_pixels(img)) w.write(img.data, static_cast<size_t>(vistelmo::block_count(img)));
  w.finish();
}

void impppmb(const IMGCOR& image, const std::string& name) {
  IMGCOR tmp;
  const IMGCOR& img = vistelmo::storage_or_outside(image, tmp);
  PnmWriter w(kP6, name, img.nl(), img.nc());
  if (vistelmo::has_pixels(img))
    w.write(img.data, static_cast<size_t>(vistelmo::block_count(img)) * sizeof(COR));
  w.finish();
}

int fputbit(int bit, FILE* f) {
  put_acc = ((put_acc << 1) | (bit != 0 ? 1u : 0u)) & 0xFFu;
  if (++put_count < 8) return put_count;
  int r = std::fputc(static_cast<int>(put_acc), f);
  put_acc = 0;
  put_count = 0;
  return r;
}
