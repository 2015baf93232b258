// Directory search, paths and file times on POSIX, for the file utilities. Library only.
#pragma once

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "foundation/files.h"

namespace vistelmo::platform {

// A search by name or by a pattern whose last component holds the wildcards '*' and '?'.
// The matches are taken at the start and delivered sorted by name; "." and ".." are entries
// of a directory like any other.
class DirSearch {
 public:
  explicit DirSearch(const std::string& pattern);
  // The next match; false when nothing more matches.
  bool next(_finddata_t& entry);

 private:
  std::vector<_finddata_t> found_;
  size_t pos_ = 0;
};

// The first match of name or pattern.
bool lookup(const std::string& name, _finddata_t& entry);
// The entry of exactly this name, wildcard characters taken literally.
bool exact_entry(const std::string& name, _finddata_t& entry);

// d, a separator and e.
inline std::string join(const std::string& d, const std::string& e) { return d + "/" + e; }

// The absolute form of name, "." and ".." resolved by their text; name itself when the current
// directory is unknown.
std::string full_path(const std::string& name);

bool make_dir(const std::string& name);
bool remove_dir(const std::string& name);
bool remove_file(const std::string& name);

// Modification time of a file (links followed).
bool modification_time(const std::string& name, timespec& t);
// Sets access and modification time of a file to t.
bool set_times(const std::string& name, const timespec& t);

// True when an open stream reads a directory (which opens like a file here).
bool is_directory(FILE* f);

// True when both names exist and are the same file (device and inode).
bool same_file(const std::string& a, const std::string& b);
// True when one of the two directories is, or lies inside, the other (links resolved).
bool overlap(const std::string& a, const std::string& b);

}  // namespace vistelmo::platform
