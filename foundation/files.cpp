// Lookups of a name, the copy of one file, name splitting and the program search path.
#include "foundation/files.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "foundation/constants.h"
#include "foundation/erro.h"
#include "foundation/file_internal.h"
#include "foundation/platform_internal.h"

using vistelmo::StdioFile;
namespace platform = vistelmo::platform;

bool ExisteArq(std::string name) {
  _finddata_t e;
  return platform::lookup(name, e);
}

bool PegaAttribArq(std::string name, _finddata_t& entry) { return platform::lookup(name, entry); }

bool IsDirec(std::string name) {
  _finddata_t e;
  return platform::lookup(name, e) && (e.attrib & ATR_SUBDIR) != 0;
}

int TamArq(std::string name) {
  _finddata_t e;
  if (!platform::lookup(name, e)) return -1;
  return e.size > static_cast<uint64_t>(maxint) ? maxint : static_cast<int>(e.size);
}

void copiaarq(std::string src, std::string dst) {
  StdioFile in(src, "rb", "Erro: Abertura de ", "");
  if (platform::is_directory(in)) erro("Erro: Abertura de ", src);
  // Opening the destination truncates it: never when it is the source itself.
  if (platform::same_file(src, dst)) erro("Erro: Origem e destino sao o mesmo arquivo", dst);
  StdioFile out(dst, "wb", "Erro: Abertura de ", "");
  std::vector<char> buf(static_cast<size_t>(maxbuf));
  for (;;) {
    size_t got = std::fread(buf.data(), 1, buf.size(), in);
    out.write(buf.data(), 1, got);
    if (got < buf.size()) break;
  }
  if (std::ferror(in) != 0) erro("Erro: Leitura de ", src);
  in.close();
  out.finish("Erro: Escrita de ");
  timespec t;
  if (!platform::modification_time(src, t)) erro("Unable to get status of source file", "");
  if (!platform::set_times(dst, t)) erro("Unable to set time of destination file", "");
}

namespace {

// Position of the last separator ('\\', '/' or ':'), -1 when there is none.
int last_separator(const std::string& name) {
  size_t p = name.find_last_of("\\/:");
  return p == std::string::npos ? -1 : static_cast<int>(p);
}

void check_name(const std::string& name) {
  if (name.empty() || name.size() > 255) erro("Erro: nome arquivo invalido", name);
}

}  // namespace

std::string diretorio(std::string name) {
  name = minuscula(name);
  int p = last_separator(name);
  return p < 0 ? std::string() : name.substr(0, static_cast<size_t>(p));
}

std::string semdiret(std::string name) {
  name = minuscula(name);
  return name.substr(static_cast<size_t>(last_separator(name) + 1));
}

std::string semsufixo(std::string name) {
  check_name(name);
  size_t p = name.rfind('.');
  return p == std::string::npos ? name : minuscula(name.substr(0, p));
}

std::string sufixo(std::string name) {
  check_name(name);
  size_t p = name.rfind('.');
  return p == std::string::npos ? std::string() : minuscula(name.substr(p + 1));
}

std::vector<std::string> paths() {
  std::vector<std::string> list{"."};
  const char* env = std::getenv("PATH");
  if (env == nullptr) return list;
  std::string all = env;
  size_t start = 0;
  for (;;) {
    size_t end = all.find(':', start);
    std::string d = all.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!d.empty() && d.back() == '/') d.pop_back();
    if (!d.empty()) list.push_back(d);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return list;
}

std::string getced(std::string name) {
  // A name with a directory is not searched for: its own directory, made absolute.
  if (name.find('/') != std::string::npos) {
    std::string full = platform::full_path(name);
    // A name ending in a separator is a directory in itself.
    if (name.back() == '/') return full;
    size_t p = full.rfind('/');
    return p == 0 ? std::string("/") : full.substr(0, p);
  }
  check_name(name);
  for (const std::string& d : paths()) {
    _finddata_t e;
    if (platform::lookup(platform::join(d, name), e)) return d;
  }
  erro("Erro getced: Nao achei arquivo executavel no path.\n", "");
}
