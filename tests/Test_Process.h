#pragma once
// Running the built programs from tests: a shell command's exit status and
// standard output, and a scratch folder per test for the files they write.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace testproc {

struct ROutput {
  int status = -1;   // exit status, -1 when the command did not exit normally
  std::string out;   // everything it wrote to standard output
};

// Runs cmd through the shell; redirect standard error in cmd when it matters.
inline ROutput Capture(const std::string& cmd) {
  ROutput r;
  FILE* p = popen(cmd.c_str(), "r");
  if (p == nullptr) return r;
  std::array<char, 4096> buf;
  size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
  const int st = pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

inline std::string ReadText(const std::filesystem::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

// A program placed at `to`, so that what it writes beside itself (its trace)
// lands in the test's folder: a hard link where the file system allows one,
// since a sanitizer build of the runner is some 100 MB, else a copy.
inline void PlaceProgram(const std::filesystem::path& from, const std::filesystem::path& to) {
  std::filesystem::create_directories(to.parent_path());
  std::error_code ec;
  std::filesystem::create_hard_link(from, to, ec);
  if (ec) std::filesystem::copy_file(from, to);
}

// A test with its own empty folder dir_, removed afterwards; the name holds
// the process id and the test's name, so parallel test runs do not meet.
class ScratchDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() /
           ("rr_" + std::string(info->test_suite_name()) + "_" + std::to_string(::getpid()) + "_" + info->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::filesystem::path dir_;
};

}  // namespace testproc
