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
  // The parameters reach the program as they are: no shell reads them.
  EXPECT_TRUE(RunProgram("touch", "\"hello world\" >out.txt", dir.string(), true));
  EXPECT_TRUE(fs::exists(dir / "hello world"));
  EXPECT_TRUE(fs::exists(dir / ">out.txt"));
  std::string line;
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
