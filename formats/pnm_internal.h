// Names and message texts shared by the portable anymap readers and writers. Library only.
#pragma once

#include <string>

namespace vistelmo {

// One reader or writer: its name in messages ("imppgmb") and the magic digit of its form.
struct PnmForm {
  const char* fn;
  char digit;
  bool has_maxval;

  std::string open_msg() const { return std::string("Erro ") + fn + " - Abertura de "; }
  std::string buf_msg() const { return std::string("Erro ") + fn + " - Faltou memoria setvbuf"; }
};

}  // namespace vistelmo
