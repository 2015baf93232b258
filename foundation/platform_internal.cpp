#include "foundation/platform_internal.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace vistelmo::platform {

namespace {

// Matches name against a pattern of '*' (any run) and '?' (one character); case-sensitive.
bool wildmatch(const char* p, const char* s) {
  const char* star = nullptr;
  const char* resume = nullptr;
  while (*s != '\0') {
    if (*p == '?' || (*p != '*' && *p == *s)) {
      p++;
      s++;
    } else if (*p == '*') {
      star = p++;
      resume = s;
    } else if (star != nullptr) {
      p = star + 1;
      s = ++resume;
    } else {
      return false;
    }
  }
  while (*p == '*') p++;
  return *p == '\0';
}

_finddata_t make_entry(const struct stat& st, const std::string& name) {
  _finddata_t e;
  bool dir = S_ISDIR(st.st_mode);
  if (dir) e.attrib |= ATR_SUBDIR;
  if (!dir && !S_ISREG(st.st_mode)) e.attrib |= ATR_SYSTEM;
  if ((st.st_mode & S_IWUSR) == 0) e.attrib |= ATR_RDONLY;
  if (!name.empty() && name[0] == '.') e.attrib |= ATR_HIDDEN;
  e.time_write = st.st_mtime;
  e.size = dir ? 0 : static_cast<uint64_t>(st.st_size);
  e.name = name;
  return e;
}

// The last component of a name, without trailing separators.
std::string last_component(const std::string& name) {
  size_t end = name.find_last_not_of('/');
  if (end == std::string::npos) return name.empty() ? name : "/";
  size_t start = name.rfind('/', end);
  start = (start == std::string::npos) ? 0 : start + 1;
  return name.substr(start, end + 1 - start);
}

}  // namespace

DirSearch::DirSearch(const std::string& pattern) {
  size_t slash = pattern.rfind('/');
  std::string leaf = (slash == std::string::npos) ? pattern : pattern.substr(slash + 1);
  if (leaf.find_first_of("*?") == std::string::npos) {
    _finddata_t e;
    if (exact_entry(pattern, e)) found_.push_back(e);
    return;
  }
  std::string dir = (slash == std::string::npos) ? "." : pattern.substr(0, slash + 1);
  DIR* d = opendir(dir.c_str());
  if (d == nullptr) return;
  int fd = dirfd(d);
  while (const dirent* de = readdir(d)) {
    struct stat st;
    if (!wildmatch(leaf.c_str(), de->d_name)) continue;
    if (fstatat(fd, de->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    found_.push_back(make_entry(st, de->d_name));
  }
  closedir(d);
  std::sort(found_.begin(), found_.end(),
            [](const _finddata_t& a, const _finddata_t& b) { return a.name < b.name; });
}

bool DirSearch::next(_finddata_t& entry) {
  if (pos_ >= found_.size()) return false;
  entry = found_[pos_++];
  return true;
}

bool lookup(const std::string& name, _finddata_t& entry) { return DirSearch(name).next(entry); }

bool exact_entry(const std::string& name, _finddata_t& entry) {
  struct stat st;
  if (name.empty() || lstat(name.c_str(), &st) != 0) return false;
  entry = make_entry(st, last_component(name));
  return true;
}

std::string full_path(const std::string& name) {
  std::error_code ec;
  fs::path p = fs::absolute(name, ec);
  if (ec) return name;
  std::string s = p.lexically_normal().string();
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

bool make_dir(const std::string& name) { return mkdir(name.c_str(), 0777) == 0; }
bool remove_dir(const std::string& name) { return rmdir(name.c_str()) == 0; }
bool remove_file(const std::string& name) { return unlink(name.c_str()) == 0; }

bool modification_time(const std::string& name, timespec& t) {
  struct stat st;
  if (stat(name.c_str(), &st) != 0) return false;
  t = st.st_mtim;
  return true;
}

bool set_times(const std::string& name, const timespec& t) {
  const timespec both[2] = {t, t};
  return utimensat(AT_FDCWD, name.c_str(), both, 0) == 0;
}

bool is_directory(FILE* f) {
  struct stat st;
  return fstat(fileno(f), &st) == 0 && S_ISDIR(st.st_mode);
}

bool same_file(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  if (stat(a.c_str(), &sa) != 0 || stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

namespace {
// The absolute form of name with every link resolved, as far as the name exists.
bool resolved(const std::string& name, std::string& out) {
  std::error_code ec;
  fs::path p = fs::absolute(name, ec);
  if (ec) return false;
  p = fs::weakly_canonical(p, ec);
  if (ec) return false;
  out = p.lexically_normal().string();
  while (out.size() > 1 && out.back() == '/') out.pop_back();
  return true;
}

// True when inner is outer or lies below it.
bool inside(const std::string& inner, const std::string& outer) {
  if (inner.compare(0, outer.size(), outer) != 0) return false;
  return inner.size() == outer.size() || outer == "/" || inner[outer.size()] == '/';
}
}  // namespace

bool overlap(const std::string& a, const std::string& b) {
  std::string ra, rb;
  if (!resolved(a, ra) || !resolved(b, rb)) return false;
  return inside(ra, rb) || inside(rb, ra);
}

}  // namespace vistelmo::platform
