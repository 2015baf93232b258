// Absolute difference, saturating sum and difference, minimum and maximum of grey images.
#include "processing/algebra/grey_ops.h"
#include "processing/algebra/pointwise_internal.h"

using vistelmo::ByteOp;

IMGGRY difabs(const IMGGRY& a, const IMGGRY& b) {
  IMGGRY r = vistelmo::zip_bytes<ByteOp::absdiff>(a, b, "Erro difabs: dimensoes diferentes");
  r.backg = 0;  // the constructor's outside value
  return r;
}
IMGGRY operator+(const IMGGRY& a, const IMGGRY& b) {
  return vistelmo::zip_bytes<ByteOp::add_sat>(
      a, b, "Erro IMGGRY::add - As imagens nao tem o mesmo tamanho");
}
IMGGRY operator-(const IMGGRY& a, const IMGGRY& b) {
  return vistelmo::zip_bytes<ByteOp::sub_sat>(
      a, b, "Erro IMGGRY::sub - As imagens nao tem o mesmo tamanho");
}
IMGGRY operator&&(const IMGGRY& a, const IMGGRY& b) {
  return vistelmo::zip_bytes<ByteOp::min>(
      a, b, "Erro IMGGRY::operator&& - As imagens nao tem o mesmo tamanho");
}
IMGGRY operator||(const IMGGRY& a, const IMGGRY& b) {
  return vistelmo::zip_bytes<ByteOp::max>(
      a, b, "Erro IMGGRY::operator|| - As imagens nao tem o mesmo tamanho");
}
