// The copy of a tree, and bringing a target tree in line with a source tree.
#include <cstdio>

#include "foundation/dirwalk_internal.h"
#include "foundation/erro.h"
#include "foundation/files.h"

using vistelmo::exact_dir;
using vistelmo::exact_exists;
using vistelmo::for_each_entry;
using vistelmo::is_plain;
using vistelmo::is_subdir;
namespace platform = vistelmo::platform;

namespace {

const char* const source_not_dir = "Erro: SourceDir nao e' diretorio";
const char* const overlapping = "Erro: SourceDir e TargetDir sobrepostos";

// A walk into a target inside its own source (or the reverse) would never end, and a prune
// would delete its own source.
void check_apart(const std::string& src, const std::string& tgt) {
  if (platform::overlap(src, tgt)) erro(overlapping, "");
}

void copy_tree(const std::string& src, const std::string& dst, bool top) {
  if (!(top ? IsDirec(src) : exact_dir(src))) erro(source_not_dir, "");
  if (top ? ExisteArq(dst) : exact_exists(dst)) erro("Erro: TargetDir ja existe", "");
  if (top) check_apart(src, dst);
  if (!platform::make_dir(dst)) erro("Erro: _mkdir ", dst);
  for_each_entry(src, [&](const _finddata_t& e) {
    if (is_plain(e)) copiaarq(platform::join(src, e.name), platform::join(dst, e.name));
  });
  for_each_entry(src, [&](const _finddata_t& e) {
    if (is_subdir(e)) copy_tree(platform::join(src, e.name), platform::join(dst, e.name), false);
  });
}

void check_tree_args(const std::string& src, const std::string& tgt, char mode) {
  if (!IsDirec(src)) erro(source_not_dir, "");
  if (!IsDirec(tgt)) erro("Erro: TargetDir nao e' diretorio", "");
  if (mode != 'p' && mode != 'l' && mode != 'a') erro("Erro: modo invalido", "");
  check_apart(src, tgt);
}

bool lists(char mode) { return mode == 'l' || mode == 'a'; }
bool performs(char mode) { return mode == 'p' || mode == 'a'; }

// Update copies a file that is missing or older in the target; sync one that is missing or
// differs in time or size.
enum class Rule { update, sync };

bool wants_copy(Rule rule, const _finddata_t& s, const std::string& tgt_name) {
  _finddata_t t;
  if (!platform::exact_entry(tgt_name, t)) return true;
  if (rule == Rule::update) return s.time_write > t.time_write;
  return s.time_write != t.time_write || s.size != t.size;
}

void align(Rule rule, const std::string& src, const std::string& tgt, char mode) {
  for_each_entry(src, [&](const _finddata_t& e) {
    if (!is_plain(e)) return;
    std::string s = platform::join(src, e.name);
    std::string t = platform::join(tgt, e.name);
    if (!wants_copy(rule, e, t)) return;
    if (lists(mode)) std::printf("  CopiaArq %s\n", s.c_str());
    if (performs(mode)) copiaarq(s, t);
  });
  for_each_entry(src, [&](const _finddata_t& e) {
    if (!is_subdir(e)) return;
    std::string s = platform::join(src, e.name);
    std::string t = platform::join(tgt, e.name);
    if (exact_dir(t)) {
      align(rule, s, t, mode);
      return;
    }
    if (lists(mode)) std::printf("  CopiaDir %s\n", s.c_str());
    if (performs(mode)) copy_tree(s, t, false);
  });
}

void prune(const std::string& src, const std::string& tgt, char mode) {
  for_each_entry(tgt, [&](const _finddata_t& e) {
    if (!is_plain(e)) return;
    std::string t = platform::join(tgt, e.name);
    if (exact_exists(platform::join(src, e.name))) return;
    if (lists(mode)) std::printf("  Remove %s\n", t.c_str());
    if (performs(mode) && !platform::remove_file(t))
      std::printf("  %s (CUIDADO - NAO APAGUEI ARQUIVO)\n", t.c_str());
  });
  for_each_entry(tgt, [&](const _finddata_t& e) {
    if (!is_subdir(e)) return;
    std::string s = platform::join(src, e.name);
    std::string t = platform::join(tgt, e.name);
    if (exact_dir(s)) {
      prune(s, t, mode);
      return;
    }
    if (lists(mode)) std::printf("  Deldir %s\n", t.c_str());
    if (performs(mode)) vistelmo::deldir_exact(t);
  });
}

}  // namespace

void copiadir(std::string src, std::string dst) { copy_tree(src, dst, true); }

void updatetarget(std::string src, std::string tgt, char mode) {
  check_tree_args(src, tgt, mode);
  align(Rule::update, src, tgt, mode);
}

void synctarget(std::string src, std::string tgt, char mode) {
  check_tree_args(src, tgt, mode);
  align(Rule::sync, src, tgt, mode);
}

void prunetarget(std::string src, std::string tgt, char mode) {
  check_tree_args(src, tgt, mode);
  prune(src, tgt, mode);
}
