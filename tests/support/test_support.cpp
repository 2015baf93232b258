#include "support/test_support.h"

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace testutil {

void TempDir::SetUp() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string leaf =
      "vistelmo_" + std::to_string(getpid()) + "_" + info->test_suite_name() + "_" + info->name();
  for (char& c : leaf)
    if (c == '/') c = '_';
  dir_ = (std::filesystem::temp_directory_path() / leaf).string();
  std::filesystem::remove_all(dir_);
  std::filesystem::create_directories(dir_);
}

void TempDir::TearDown() {
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

std::vector<unsigned char> read_bytes(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

void write_bytes(const std::string& name, const std::vector<unsigned char>& bytes) {
  std::ofstream out(name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

std::string read_text(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void write_text(const std::string& name, const std::string& text) {
  std::ofstream out(name, std::ios::binary);
  out << text;
}

bool file_exists(const std::string& name) {
  struct stat st;
  return stat(name.c_str(), &st) == 0;
}

bool have_tool(const std::string& program) {
  return run("command -v " + program + " >/dev/null 2>&1") == 0;
}

int run(const std::string& command) {
  int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace testutil

// Sanitizer settings for every test program: out-of-memory paths are tested, so the allocator
// must return null instead of aborting.
extern "C" const char* __asan_default_options() {
  return "allocator_may_return_null=1:detect_leaks=0";
}
extern "C" const char* __ubsan_default_options() { return "print_stacktrace=1"; }
