#include "runner/Support_Various.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

TEST(Programs, RunProgramWaitsAndUsesTheDirectory) {
  fs::path dir = fs::temp_directory_path() / ("rr_prog_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  EXPECT_TRUE(RunProgram("echo", "hello > out.txt", dir.string(), true));
  std::ifstream in(dir / "out.txt");
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "hello");
  EXPECT_FALSE(RunProgram("true", "", (dir / "missing").string(), true));

  // An executable file is run with its parameters.
  fs::path script = dir / "tool.sh";
  { std::ofstream(script) << "#!/bin/sh\necho \"$1-$2\" > args.txt\n"; }
  fs::permissions(script, fs::perms::owner_all);
  EXPECT_TRUE(ShellOpen("tool.sh", " a  b ", dir.string()));
  for (int i = 0; i < 100 && !fs::exists(dir / "args.txt"); ++i) usleep(20000);
  usleep(20000);
  std::ifstream args(dir / "args.txt");
  std::getline(args, line);
  EXPECT_EQ(line, "a-b");
  fs::remove_all(dir);
}
