// Absolute difference, saturating sum and difference, minimum and maximum of grey images.
#include "processing/algebra/grey_ops.h"
#include "processing/algebra/pointwise_internal.h"

using vistelmo::ByteOp;

// The outside value stays the constructor's 0.
IMGGRY difabs(const IMGGRY& a, const IMGGRY& b) {
  return vistelmo::zip_block(a, b, "Erro difabs: dimensoes diferentes", 0,
                             [](const uint8_t* x, const uint8_t* y, uint8_t* d, int64_t n) {
                               vistelmo::bytes_zip(ByteOp::absdiff, x, y, d, n);
                             });
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
