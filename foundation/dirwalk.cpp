// Listings of a directory or a tree, and the deletion of a tree.
#include <cinttypes>
#include <cstdio>

#include "foundation/dirwalk_internal.h"
#include "foundation/erro.h"
#include "foundation/files.h"

using vistelmo::exact_dir;
using vistelmo::for_each_entry;
using vistelmo::is_dir;
using vistelmo::is_subdir;
namespace platform = vistelmo::platform;

namespace {

// The caller's name is looked up as given (wildcards allowed); names met in a walk literally.
void check_dir(const std::string& dir, bool top) {
  if (!(top ? IsDirec(dir) : exact_dir(dir)))
    erro("Erro: Deve especificar o nome de um diretorio", "");
}

// The attribute letters A, S, H, R and, with the directory bit, D; '.' for a clear bit.
void print_letters(const _finddata_t& e, bool with_dir) {
  std::putchar((e.attrib & ATR_ARCH) ? 'A' : '.');
  std::putchar((e.attrib & ATR_SYSTEM) ? 'S' : '.');
  std::putchar((e.attrib & ATR_HIDDEN) ? 'H' : '.');
  std::putchar((e.attrib & ATR_RDONLY) ? 'R' : '.');
  if (with_dir) std::putchar((e.attrib & ATR_SUBDIR) ? 'D' : '.');
}

void print_size(uint64_t s) {
  if (s < 1048576)
    std::printf(" %8" PRIu64 " Bytes", s);
  else if (s < 1073741824)
    std::printf(" %8" PRIu64 "KBytes", s >> 10);
  else
    std::printf(" %8" PRIu64 "MBytes", s >> 20);
}

void subdir_walk(std::string dir, bool top) {
  dir = platform::full_path(dir);
  std::printf("Directory listing of %s\n", dir.c_str());
  check_dir(dir, top);
  for_each_entry(dir, [](const _finddata_t& e) {
    if (is_dir(e)) return;
    std::printf("  ");
    print_letters(e, false);
    std::printf(" %s\n", e.name.c_str());
  });
  for_each_entry(dir, [&](const _finddata_t& e) {
    if (is_subdir(e)) subdir_walk(platform::join(dir, e.name), false);
  });
}

void maior_walk(const std::string& dir, unsigned int n, bool top) {
  std::printf("Files of %s larger than %u bytes:\n", platform::full_path(dir).c_str(), n);
  check_dir(dir, top);
  for_each_entry(dir, [&](const _finddata_t& e) {
    if (e.size < n) return;
    print_letters(e, true);
    print_size(e.size);
    std::printf(" %s/%s\n", dir.c_str(), e.name.c_str());
  });
  for_each_entry(dir, [&](const _finddata_t& e) {
    if (is_subdir(e)) maior_walk(platform::join(dir, e.name), n, false);
  });
}

void deldir_walk(std::string dir, bool top) {
  dir = platform::full_path(dir);
  check_dir(dir, top);
  // Links and other non-directories are removed themselves, never what they point to.
  for_each_entry(dir, [&](const _finddata_t& e) {
    if (is_dir(e)) return;
    std::string name = platform::join(dir, e.name);
    if (!platform::remove_file(name))
      std::printf("  %s (CUIDADO - NAO APAGUEI ARQUIVO)\n", name.c_str());
  });
  for_each_entry(dir, [&](const _finddata_t& e) {
    if (is_subdir(e)) deldir_walk(platform::join(dir, e.name), false);
  });
  if (!platform::remove_dir(dir))
    std::printf("  %s (CUIDADO - NAO APAGUEI DIRETORIO)\n", dir.c_str());
}

}  // namespace

void diret(std::string dir) {
  dir = platform::full_path(dir);
  std::printf("Directory listing of %s\n", dir.c_str());
  check_dir(dir, true);
  for_each_entry(dir, [](const _finddata_t& e) {
    std::printf("  ");
    print_letters(e, true);
    print_size(e.size);
    std::printf(" %s\n", e.name.c_str());
  });
}

void subdir(std::string dir) { subdir_walk(dir, true); }
void maior(std::string dir, unsigned int n) { maior_walk(dir, n, true); }
void deldir(std::string dir) { deldir_walk(dir, true); }
void vistelmo::deldir_exact(const std::string& dir) { deldir_walk(dir, false); }
