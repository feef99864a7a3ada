#pragma once
// Helpers for the file-library tests: a fresh working folder per test, data
// and config homes inside it, and calls of built-ins by name.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "library/Function_File.h"
#include "runner/DataNew_Main.h"
#include "runner/Option_Main.h"
#include "script/Code_Error.h"
#include "script/Code_Function.h"
#include "script/Function_Library.h"

namespace filestest {
namespace fs = std::filesystem;

inline void EnsureRegistered() {
  static bool done = [] {
    opt_showerrors = false;
    opt_aborterrors = false;
    RegisterBuiltins();
    return true;
  }();
  (void)done;
}

inline RValue Call(const std::string& name, std::initializer_list<RValue> args = {}) {
  EnsureRegistered();
  const int id = FunctionFindBuiltin(name);
  if (id < 0) {
    ADD_FAILURE() << "no built-in " << name;
    return RValue();
  }
  std::vector<RValue> argv(args);
  const RFunction& f = FunctionGet(id);
  if (f.f_argnumb >= 0) {
    EXPECT_EQ(int(argv.size()), f.f_argnumb) << name;
  }
  argv.resize(argv.size() + 1);
  RValue result;
  f.f_routine(nullptr, nullptr, int(args.size()), result, argv.data());
  return result;
}

// The last error the body reported (empty when none).
template <typename F>
std::string Errors(F&& body) {
  EnsureRegistered();
  ErrorResetForTests();
  SetHeadlessErrorChoice(false);
  error_last.clear();
  body();
  return error_last;
}

inline std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}
inline void Spit(const fs::path& p, const std::string& s) { std::ofstream(p, std::ios::binary) << s; }

// Each test runs in its own empty working folder, with the drive and
// registry homes inside it, secure mode off and every file closed after.
class FilesTest : public ::testing::Test {
 protected:
  fs::path old_cwd, dir;
  void SetUp() override {
    EnsureRegistered();
    old_cwd = fs::current_path();
    dir = fs::temp_directory_path() /
          ("rr_files_" + std::to_string(::getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir / "work");
    fs::current_path(dir / "work");
    ::setenv("ROOMRUN_DATA_HOME", (dir / "data").c_str(), 1);
    ::setenv("ROOMRUN_CONFIG_HOME", (dir / "config").c_str(), 1);
    SecureMode = false;
  }
  void TearDown() override {
    CloseGameFiles();
    SecureMode = false;
    fs::current_path(old_cwd);
    fs::remove_all(dir);
  }
};
}  // namespace filestest
