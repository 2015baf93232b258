// Reading and writing the 3D volumes by file name.
#include "volumes/volume_io.h"

#include "formats/filetype.h"
#include "foundation/erro.h"

void le(I3DCPX& v, const std::string& name) {
  if (TipoImg(name) != TIPO_I3DCPX) erro("Tipo de imagem invalido ", name);
  v.LeImg(name);
}

void le(I3DFLT& v, const std::string& name) {
  switch (TipoImg(name)) {
    case TIPO_I3DFLT:
      return v.LeImg(name);
    case TIPO_AVI8:
      return LeAvi(v, name);
  }
  erro("Tipo de imagem invalido-1 ", name);
}

void le(I3DSHT& v, const std::string& name) {
  if (TipoImg(name) != TIPO_I3DSHT) erro("Tipo de imagem invalido ", name);
  v.LeImg(name);
}

void le(I3DCOR& v, const std::string& name) {
  if (TipoImg(name) != TIPO_AVI24) erro("Tipo de imagem invalido ", name);
  LeAvi(v, name);
}

void le(I3DGRY& v, const std::string& name) {
  if (TipoImg(name) != TIPO_AVI8) erro("Tipo de imagem invalido ", name);
  LeAvi(v, name);
}

// Code 11 is the suffix "img", 40 a name without '.', 51 the suffixes "avi" and "has". The
// writers get the name sufixoimg returns (cut after three suffix characters); a refusal shows
// the name as given.

void imp(const I3DCPX& v, const std::string& name) {
  int tipo, num;
  const std::string file = sufixoimg(name, tipo, num);
  if (tipo == TIPO_IMGSHT) return v.ImpImg(file);
  erro(name, " Erro: deve imprimir I3DCPX como IMG");
}

void imp(const I3DFLT& v, const std::string& name) {
  int tipo, num;
  const std::string file = sufixoimg(name, tipo, num);
  switch (tipo) {
    case TIPO_IMGSHT:
      return v.ImpImg(file);
    case TIPO_SEM_SUFIXO:
      return v.ImpTga(file);
    case TIPO_AVI8:
      return ImpAvi(v, file);
  }
  erro(name, " Erro: deve imprimir I3DFLT como IMG ou seq de TGA (nome sem extensao)");
}

void imp(const I3DSHT& v, const std::string& name) {
  int tipo, num;
  const std::string file = sufixoimg(name, tipo, num);
  switch (tipo) {
    case TIPO_IMGSHT:
      return v.ImpImg(file);
    case TIPO_SEM_SUFIXO:
      return v.ImpTga(file);
  }
  erro(name, " Erro: deve imprimir I3DSHT como IMG ou seq de TGA (nome sem extensao)");
}

void imp(const I3DCOR& v, const std::string& name) {
  int tipo, num;
  const std::string file = sufixoimg(name, tipo, num);
  switch (tipo) {
    case TIPO_SEM_SUFIXO:
      return v.ImpTga(file);
    case TIPO_AVI8:
      return ImpAvi(v, file);
  }
  erro(name, " Erro: deve imprimir I3DCOR como seq de TGA (nome sem extensao) ou AVI");
}

void imp(const I3DGRY& v, const std::string& name) {
  int tipo, num;
  const std::string file = sufixoimg(name, tipo, num);
  switch (tipo) {
    case TIPO_SEM_SUFIXO:
      return v.ImpTga(file);
    case TIPO_AVI8:
      return ImpAvi(v, file);
  }
  erro(name, " Erro: deve imprimir I3DGRY como seq de TGA (nome sem extensao) ou AVI");
}
