// Image file type codes: from a file's content (TipoImg) and from a name's suffix (sufixoimg).
#pragma once

#include <string>

#pragma GCC visibility push(default)

enum TipoArquivo : int {
  TIPO_TGA_GRY = 1,
  TIPO_TGA_PAL = 2,
  TIPO_TGA_COR = 3,
  TIPO_BMP = 4,
  TIPO_TXT = 5,
  TIPO_IMGSHT = 11,
  TIPO_IMGFLT = 13,
  TIPO_I3DFLT = 14,
  TIPO_IMGCPX = 15,
  TIPO_I3DSHT = 16,
  TIPO_IMGDBL = 17,
  TIPO_I3DCPX = 18,
  TIPO_JPG = 21,
  TIPO_DESCONHECIDO = 30,
  TIPO_SEM_SUFIXO = 40,
  TIPO_AVI8 = 51,
  TIPO_AVI24 = 52,
  TIPO_PBMT = 61,
  TIPO_PGMT = 62,
  TIPO_PPMT = 63,
  TIPO_PBMB = 64,
  TIPO_PGMB = 65,
  TIPO_PPMB = 66,
};

std::string sufixoimg(std::string name, int& tipo, int& num);
int TipoImg(const std::string& name);
void ConvArg(double& x, const std::string& text);
void ConvArg(int& x, const std::string& text);

#pragma GCC visibility pop
