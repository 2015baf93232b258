// Walking the entries of one directory, for the tree functions. Library only.
#pragma once

#include <string>

#include "foundation/files.h"
#include "foundation/platform_internal.h"

namespace vistelmo {

inline bool is_dir(const _finddata_t& e) { return (e.attrib & ATR_SUBDIR) != 0; }
// Only plain files are copied or pruned one by one.
inline bool is_plain(const _finddata_t& e) {
  return (e.attrib & (ATR_SYSTEM | ATR_HIDDEN | ATR_RDONLY | ATR_SUBDIR)) == 0;
}
inline bool is_dot(const _finddata_t& e) { return e.name == "." || e.name == ".."; }
// A directory to descend into: never "." or "..", never a link.
inline bool is_subdir(const _finddata_t& e) { return is_dir(e) && !is_dot(e); }

// Calls f(entry) for every entry of dir, "." and ".." included, in name order.
template <class F>
void for_each_entry(const std::string& dir, F f) {
  platform::DirSearch search(platform::join(dir, "*"));
  _finddata_t e;
  while (search.next(e)) f(e);
}

// Tests on a name taken literally, for names built during a walk (an entry's name may hold
// '*' or '?').
inline bool exact_exists(const std::string& name) {
  _finddata_t e;
  return platform::exact_entry(name, e);
}
inline bool exact_dir(const std::string& name) {
  _finddata_t e;
  return platform::exact_entry(name, e) && is_dir(e);
}

// deldir of a name built during a walk.
void deldir_exact(const std::string& dir);

}  // namespace vistelmo
