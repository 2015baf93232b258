// Helpers shared by the tests: fatal-path checks, temporary directories, file bytes.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace testutil {

// Sends stdout to stderr so a death test can see what erro printed.
inline void stdout_to_stderr() {
  std::fflush(stdout);
  dup2(fileno(stderr), fileno(stdout));
}

// The line erro(a, b) prints.
inline std::string erro_line(const std::string& a, const std::string& b) {
  return a + " " + b + "\n";
}

// A directory of its own for each test, removed afterwards.
class TempDir : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::string path(const std::string& name) const { return dir_ + "/" + name; }
  const std::string& dir() const { return dir_; }

 private:
  std::string dir_;
};

std::vector<unsigned char> read_bytes(const std::string& name);
void write_bytes(const std::string& name, const std::vector<unsigned char>& bytes);
std::string read_text(const std::string& name);
void write_text(const std::string& name, const std::string& text);
bool file_exists(const std::string& name);

// True when an external program is on PATH.
bool have_tool(const std::string& program);
// Runs a shell command; returns its exit status.
int run(const std::string& command);

}  // namespace testutil

// Expects statement to end the process through erro(a, b) with status 1.
#define EXPECT_ERRO(statement, a, b)  \
  EXPECT_EXIT(                        \
      {                               \
        testutil::stdout_to_stderr(); \
        statement;                    \
      },                              \
      ::testing::ExitedWithCode(1), ::testing::HasSubstr(testutil::erro_line((a), (b))))

// Skips the test when an external peer tool is missing.
#define REQUIRE_TOOL(program)                                                          \
  do {                                                                                 \
    if (!testutil::have_tool(program)) GTEST_SKIP() << program << " is not installed"; \
  } while (0)
