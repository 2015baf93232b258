// Reading and writing any 2D image by file name.
//
// le: the file's content gives the type code; a format read into another class than its own
// goes through a temporary of its natural class (and, where no conversion exists, through
// IMGGRY). imp: the name's suffix gives the code; a writer of another class gets a converted
// copy, and a writer that reorders the pixels in place gets a copy, so the caller's image
// never changes.
#include "formats/image_io.h"

#include <cstddef>

#include "formats/filetype.h"
#include "formats/jpeg.h"
#include "formats/pnm.h"
#include "foundation/erro.h"

namespace {

[[noreturn]] void refuse_read(const std::string& name) { erro("Tipo de imagem invalido ", name); }

// name is the name as the caller gave it, number included.
[[noreturn]] void refuse_write(const std::string& name, const char* message) {
  erro(name, message);
}

// The readers by format, for the classes that have one.
template <class Img>
void tga(Img& img, const std::string& name) {
  img.LeTga(name);
}
template <class Img>
void tga_palette(Img& img, const std::string& name) {
  img.LeTgaP(name);
}
template <class Img>
void jpg(Img& img, const std::string& name) {
  LeJpg(img, name);
}
template <class Img>
void native(Img& img, const std::string& name) {
  img.LeImg(name);
}
template <class Img>
void text(Img& img, const std::string& name) {
  img.LeTxt(name);
}
void bmp(IMGBIN& img, const std::string& name) { img.LeBmp(name); }

// Reads into an empty image of the natural class Nat, then assigns it to the caller's image.
template <class Nat, void (*Read)(Nat&, const std::string&), class Img>
void as(Img& img, const std::string& name) {
  Nat tmp(0, 0);
  Read(tmp, name);
  img = tmp;
}

// As as(), through IMGGRY, for the classes that have no conversion from Nat.
template <class Nat, void (*Read)(Nat&, const std::string&), class Img>
void via_grey(Img& img, const std::string& name) {
  Nat tmp(0, 0);
  Read(tmp, name);
  img = IMGGRY(tmp);
}

template <class Img>
struct ReadEntry {
  int tipo;
  void (*read)(Img&, const std::string&);
};

// Reads name with the entry of its type code; a code the table lacks is refused.
template <class Img, size_t N>
void read_by_table(Img& img, const std::string& name, const ReadEntry<Img> (&table)[N]) {
  const int tipo = TipoImg(name);
  for (const ReadEntry<Img>& e : table)
    if (e.tipo == tipo) return e.read(img, name);
  refuse_read(name);
}

}  // namespace

void le(IMGBIN& img, const std::string& name) {
  static const ReadEntry<IMGBIN> table[] = {
      {TIPO_TGA_GRY, as<IMGGRY, tga>},
      {TIPO_TGA_PAL, as<IMGGRY, tga_palette>},
      {TIPO_TGA_COR, as<IMGCOR, tga>},
      {TIPO_BMP, bmp},
      {TIPO_TXT, text},
      {TIPO_JPG, as<IMGGRY, jpg>},
      {TIPO_PBMT, lepbmt},
      {TIPO_PGMT, as<IMGGRY, lepgmt>},
      {TIPO_PPMT, as<IMGCOR, leppmt>},
      {TIPO_PBMB, lepbmb},
      {TIPO_PGMB, as<IMGGRY, lepgmb>},
      {TIPO_PPMB, as<IMGCOR, leppmb>},
  };
  read_by_table(img, name, table);
}

void le(IMGGRY& img, const std::string& name) {
  static const ReadEntry<IMGGRY> table[] = {
      {TIPO_TGA_GRY, tga},
      {TIPO_TGA_PAL, tga_palette},
      {TIPO_TGA_COR, as<IMGCOR, tga>},
      {TIPO_BMP, as<IMGBIN, bmp>},
      {TIPO_TXT, text},
      {TIPO_IMGFLT, as<IMGFLT, native>},
      {TIPO_JPG, jpg},
      {TIPO_PBMT, as<IMGBIN, lepbmt>},
      {TIPO_PGMT, lepgmt},
      {TIPO_PPMT, as<IMGCOR, leppmt>},
      {TIPO_PBMB, as<IMGBIN, lepbmb>},
      {TIPO_PGMB, lepgmb},
      {TIPO_PPMB, as<IMGCOR, leppmb>},
  };
  read_by_table(img, name, table);
}

void le(IMGCOR& img, const std::string& name) {
  static const ReadEntry<IMGCOR> table[] = {
      {TIPO_TGA_GRY, as<IMGGRY, tga>},
      {TIPO_TGA_PAL, tga_palette},
      {TIPO_TGA_COR, tga},
      {TIPO_BMP, as<IMGBIN, bmp>},
      {TIPO_TXT, text},
      {TIPO_IMGFLT, as<IMGFLT, native>},
      {TIPO_JPG, jpg},
      {TIPO_PBMT, as<IMGBIN, lepbmt>},
      {TIPO_PGMT, as<IMGGRY, lepgmt>},
      {TIPO_PPMT, leppmt},
      {TIPO_PBMB, as<IMGBIN, lepbmb>},
      {TIPO_PGMB, as<IMGGRY, lepgmb>},
      {TIPO_PPMB, leppmb},
  };
  read_by_table(img, name, table);
}

void le(IMGSHT& img, const std::string& name) {
  static const ReadEntry<IMGSHT> table[] = {
      {TIPO_TGA_GRY, as<IMGGRY, tga>},
      {TIPO_TGA_PAL, as<IMGGRY, tga_palette>},
      {TIPO_TXT, text},
      {TIPO_IMGSHT, native},
      {TIPO_JPG, as<IMGGRY, jpg>},
      {TIPO_PBMT, via_grey<IMGBIN, lepbmt>},
      {TIPO_PGMT, as<IMGGRY, lepgmt>},
      {TIPO_PPMT, via_grey<IMGCOR, leppmt>},
      {TIPO_PBMB, via_grey<IMGBIN, lepbmb>},
      {TIPO_PGMB, as<IMGGRY, lepgmb>},
      {TIPO_PPMB, via_grey<IMGCOR, leppmb>},
  };
  read_by_table(img, name, table);
}

void le(IMGFLT& img, const std::string& name) {
  static const ReadEntry<IMGFLT> table[] = {
      {TIPO_TGA_GRY, as<IMGGRY, tga>},
      {TIPO_TGA_PAL, as<IMGGRY, tga_palette>},
      {TIPO_TGA_COR, as<IMGCOR, tga>},
      {TIPO_BMP, as<IMGBIN, bmp>},
      {TIPO_TXT, text},
      {TIPO_IMGSHT, via_grey<IMGSHT, native>},
      {TIPO_IMGFLT, native},
      {TIPO_IMGDBL, as<IMGDBL, native>},
      {TIPO_JPG, as<IMGGRY, jpg>},
      {TIPO_PBMT, as<IMGBIN, lepbmt>},
      {TIPO_PGMT, as<IMGGRY, lepgmt>},
      {TIPO_PPMT, as<IMGCOR, leppmt>},
      {TIPO_PBMB, as<IMGBIN, lepbmb>},
      {TIPO_PGMB, as<IMGGRY, lepgmb>},
      {TIPO_PPMB, as<IMGCOR, leppmb>},
  };
  read_by_table(img, name, table);
}

void le(IMGDBL& img, const std::string& name) {
  static const ReadEntry<IMGDBL> table[] = {
      {TIPO_TGA_GRY, as<IMGGRY, tga>},
      {TIPO_TGA_PAL, as<IMGGRY, tga_palette>},
      {TIPO_TGA_COR, as<IMGCOR, tga>},
      {TIPO_BMP, as<IMGBIN, bmp>},
      {TIPO_TXT, text},
      {TIPO_IMGSHT, via_grey<IMGSHT, native>},
      {TIPO_IMGFLT, as<IMGFLT, native>},
      {TIPO_IMGDBL, native},
      {TIPO_JPG, as<IMGGRY, jpg>},
      {TIPO_PBMT, as<IMGBIN, lepbmt>},
      {TIPO_PGMT, as<IMGGRY, lepgmt>},
      {TIPO_PPMT, as<IMGCOR, leppmt>},
      {TIPO_PBMB, as<IMGBIN, lepbmb>},
      {TIPO_PGMB, as<IMGGRY, lepgmb>},
      {TIPO_PPMB, as<IMGCOR, leppmb>},
  };
  read_by_table(img, name, table);
}

void le(IMGCPX& img, const std::string& name) {
  static const ReadEntry<IMGCPX> table[] = {
      {TIPO_TGA_GRY, as<IMGGRY, tga>},
      {TIPO_TGA_PAL, as<IMGGRY, tga_palette>},
      {TIPO_TGA_COR, as<IMGCOR, tga>},
      {TIPO_BMP, as<IMGBIN, bmp>},
      {TIPO_TXT, text},
      {TIPO_IMGCPX, native},
      {TIPO_JPG, as<IMGGRY, jpg>},
      {TIPO_PBMT, as<IMGBIN, lepbmt>},
      {TIPO_PGMT, as<IMGGRY, lepgmt>},
      {TIPO_PPMT, as<IMGCOR, leppmt>},
      {TIPO_PBMB, as<IMGBIN, lepbmb>},
      {TIPO_PGMB, as<IMGGRY, lepgmb>},
      {TIPO_PPMB, as<IMGCOR, leppmb>},
  };
  read_by_table(img, name, table);
}

// From a name, code 1 is any TGA (grey or colour by the writer) and code 11 the native IMG file
// of the image's own class. ImpBmp and IMGCOR::ImpTga reorder the pixels in place: they get a copy.

void imp(const IMGBIN& img, const std::string& name) {
  int tipo, num;
  const std::string file = sufixoimg(name, tipo, num);
  switch (tipo) {
    case TIPO_BMP:
      return IMGBIN(img).ImpBmp(file);
    case TIPO_TXT:
      return img.ImpTxt(file);
    case TIPO_PBMT:
      return imppbmt(img, file);
    case TIPO_PBMB:
      return imppbmb(img, file);
  }
  refuse_write(name, " Erro: IMGBIN deve ser impresso em formato BMP ou TXT (MAT) ou PBM");
}

void imp(const IMGGRY& img, const std::string& name) {
  int tipo, num;
  const std::string file = sufixoimg(name, tipo, num);
  switch (tipo) {
    case TIPO_TGA_GRY:
      return img.ImpTga(file);
    case TIPO_TXT:
      return img.ImpTxt(file);
    case TIPO_JPG:
      return ImpJpg(img, file, num);
    case TIPO_PGMT:
      return imppgmt(img, file);
    case TIPO_PGMB:
      return imppgmb(img, file);
  }
  refuse_write(name, " Erro: IMGGRY deve ser impresso em formato TGA, TXT (MAT), JPG ou PGM");
}

void imp(const IMGCOR& img, const std::string& name) {
  int tipo, num;
  const std::string file = sufixoimg(name, tipo, num);
  switch (tipo) {
    case TIPO_TGA_GRY:
      return IMGCOR(img).ImpTga(file);
    case TIPO_TXT:
      return img.ImpTxt(file);
    case TIPO_JPG:
      return ImpJpg(img, file, num);
    case TIPO_PPMT:
      return impppmt(img, file);
    case TIPO_PPMB:
      return impppmb(img, file);
  }
  refuse_write(name, " Erro: IMGCOR deve ser impresso em formato TGA, TXT (MAT), JPG ou PPM");
}

void imp(const IMGSHT& img, const std::string& name) {
  int tipo, num;
  const std::string file = sufixoimg(name, tipo, num);
  switch (tipo) {
    case TIPO_TGA_GRY:
      return img.ImpTga(file);
    case TIPO_TXT:
      return img.ImpTxt(file);
    case TIPO_IMGSHT:
      return img.ImpImg(file);
  }
  refuse_write(name,
               " Erro: IMGSHT deve ser impresso como TXT (MAT), IMG ou TGA (com perda de info)");
}

void imp(const IMGFLT& img, const std::string& name) {
  int tipo, num;
  const std::string file = sufixoimg(name, tipo, num);
  switch (tipo) {
    case TIPO_TGA_GRY:
      return img.ImpTga(file);
    case TIPO_BMP:
      return IMGBIN(img).ImpBmp(file);
    case TIPO_TXT:
      return img.ImpTxt(file);
    case TIPO_IMGSHT:
      return img.ImpImg(file);
    case TIPO_JPG:
      return ImpJpg(IMGGRY(img), file, num);
    case TIPO_PGMT:
      return imppgmt(IMGGRY(img), file);
    case TIPO_PGMB:
      return imppgmb(IMGGRY(img), file);
  }
  refuse_write(name,
               " Erro: IMGFLT deve ser impresso como TXT (MAT), IMG ou TGA (com perda de info)");
}

void imp(const IMGDBL& img, const std::string& name) {
  int tipo, num;
  const std::string file = sufixoimg(name, tipo, num);
  switch (tipo) {
    case TIPO_TGA_GRY:
      return img.ImpTga(file);
    case TIPO_TXT:
      return img.ImpTxt(file);
    case TIPO_IMGSHT:
      return img.ImpImg(file);
    case TIPO_JPG:
      return ImpJpg(IMGGRY(img), file, num);
    case TIPO_PGMT:
      return imppgmt(IMGGRY(img), file);
    case TIPO_PGMB:
      return imppgmb(IMGGRY(img), file);
  }
  refuse_write(name,
               " Erro: IMGDBL deve ser impresso como TXT (MAT), IMG ou TGA (com perda de info)");
}

void imp(const IMGCPX& img, const std::string& name) {
  int tipo, num;
  const std::string file = sufixoimg(name, tipo, num);
  switch (tipo) {
    case TIPO_TXT:
      return img.ImpTxt(file);
    case TIPO_IMGSHT:
      return img.ImpImg(file);
  }
  refuse_write(name, " Erro: IMGCPX deve ser impresso como TXT (MAT), ou IMG");
}
