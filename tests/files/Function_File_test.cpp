// The game's files: secure mode, Windows names, text and binary files, the
// legacy file, searches, file names and programs.
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>

#include "FilesTest.h"
#include "library/Support_Path.h"
#include "runner/Support_Various.h"

using namespace filestest;

namespace {

TEST_F(FilesTest, SecureModeRefusesEveryEscapeBeforeTouchingAnything) {
  fs::create_directories("sub");
  Spit(dir / "outside.txt", "keep");
  const std::string outside = (dir / "outside.txt").string();
  const std::vector<std::string> escapes = {"sub/x.txt", "sub\\x.txt", "..", ".", "../outside.txt",
                                            outside,     "C:x.txt",   "C:\\x.txt", std::string("a\0b", 3)};
  SecureMode = true;
  for (const std::string& name : escapes) {
    SCOPED_TRACE(name);
    struct RCase {
      std::string expected;
      std::function<void()> call;
    };
    const std::vector<RCase> cases = {
        {"In secure mode you cannot write file " + name, [&] { EXPECT_EQ(Call("file_text_open_write", {name}).val, -1); }},
        {"In secure mode you cannot append to file " + name,
         [&] { EXPECT_EQ(Call("file_text_open_append", {name}).val, -1); }},
        {"In secure mode you cannot write file " + name, [&] { EXPECT_EQ(Call("file_bin_open", {name, 1.0}).val, -1); }},
        {"In secure mode you cannot write file " + name, [&] { Call("file_bin_open", {name, 2.0}); }},
        {"In Secure mode you cannot delete file " + name, [&] { Call("file_delete", {name}); }},
        {"In Secure mode you cannot rename file ok.txt into " + name, [&] { Call("file_rename", {"ok.txt", name}); }},
        {"In Secure mode you cannot rename file " + name + " into ok2.txt", [&] { Call("file_rename", {name, "ok2.txt"}); }},
        {"In Secure mode you cannot copy file ok.txt to " + name, [&] { Call("file_copy", {"ok.txt", name}); }},
        {"In Secure mode you cannot create directory " + name, [&] { Call("directory_create", {name}); }},
        {"In secure mode you cannot write file " + name, [&] { Call("file_open_write", {name}); }},
        {"In Secure mode you cannot execute program " + name, [&] { Call("execute_program", {name, "", 0.0}); }},
    };
    for (const RCase& c : cases) {
      Spit("ok.txt", "ok");
      EXPECT_EQ(Errors(c.call), c.expected);
    }
  }
  EXPECT_EQ(Slurp(dir / "outside.txt"), "keep");
  EXPECT_FALSE(fs::exists("sub/x.txt"));
  EXPECT_FALSE(fs::exists(dir / "data"));  // no drive folder was made either
  EXPECT_FALSE(fs::exists("ok2.txt"));

  // Reading with a folder part is allowed, and opening to read never makes a file.
  EXPECT_EQ(Errors([] { EXPECT_EQ(Call("file_bin_open", {"sub/new.bin", 0.0}).val, -1); }), "Error opening binary file.");
  EXPECT_FALSE(fs::exists("sub/new.bin"));
  // A plain name still works.
  EXPECT_EQ(Errors([] {
              const double f = Call("file_text_open_write", {"plain.txt"}).val;
              EXPECT_GE(f, 1);
              Call("file_text_close", {f});
            }),
            "");
}

TEST_F(FilesTest, SecureModeNeverWritesThroughAPlantedLink) {
  Spit(dir / "outside.txt", "keep");
  fs::create_symlink(dir / "outside.txt", "link.txt");
  Spit("src.txt", "evil");
  SecureMode = true;
  EXPECT_EQ(Errors([] { EXPECT_EQ(Call("file_text_open_write", {"link.txt"}).val, -1); }),
            "Error opening file for writing.");
  EXPECT_EQ(Errors([] { Call("file_bin_open", {"link.txt", 1.0}); }), "Error opening binary file.");
  EXPECT_EQ(Errors([] { Call("file_copy", {"src.txt", "link.txt"}); }),
            "In Secure mode you cannot copy file src.txt to link.txt");
  Call("file_delete", {"link.txt"});  // removes the link, not its target
  EXPECT_FALSE(fs::is_symlink("link.txt"));
  EXPECT_EQ(Slurp(dir / "outside.txt"), "keep");
}

TEST_F(FilesTest, WindowsNamesMapToThisSystem) {
  fs::create_directories("Levels/Pack");
  Spit("Levels/Pack/One.TXT", "1");
  // Backslashes and a different case find the file that is there.
  EXPECT_EQ(Call("file_exists", {"levels\\pack\\one.txt"}).val, 1);
  EXPECT_EQ(Call("directory_exists", {"LEVELS\\PACK"}).val, 1);
  EXPECT_EQ(Call("file_exists", {"levels\\pack\\two.txt"}).val, 0);
  // A new file goes into the folder that exists, with the name as written.
  const double f = Call("file_text_open_write", {"LEVELS\\pack\\New.txt"}).val;
  ASSERT_GE(f, 1);
  Call("file_text_close", {f});
  EXPECT_TRUE(fs::exists("Levels/Pack/New.txt"));
  // An exact name wins over a case-insensitive one.
  Spit("Levels/Pack/one.txt", "lower");
  EXPECT_EQ(HostPath("Levels\\Pack\\one.txt"), "Levels/Pack/one.txt");
  // Drives live in the game's data folder.
  Call("directory_create", {"C:\\Saves\\Slot1"});
  EXPECT_TRUE(fs::is_directory(dir / "data" / std::to_string(GameId) / "drive_c/Saves/Slot1"));
  const double g = Call("file_text_open_write", {"c:\\saves\\slot1\\game.txt"}).val;
  ASSERT_GE(g, 1);
  Call("file_text_write_string", {g, "x"});
  Call("file_text_close", {g});
  EXPECT_EQ(Slurp(dir / "data" / std::to_string(GameId) / "drive_c/Saves/Slot1/game.txt"), "x");
  EXPECT_EQ(Call("file_exists", {"C:\\SAVES\\SLOT1\\GAME.TXT"}).val, 1);
}

TEST_F(FilesTest, TextFilesWriteCrLfAndTheRealFormat) {
  const double f = Call("file_text_open_write", {"t.txt"}).val;
  ASSERT_GE(f, 1);
  for (double v : {3.25, -2.5, 7.0, 0.1, 100.0, -0.0000004}) {
    Call("file_text_write_real", {f, v});
  }
  Call("file_text_writeln", {f});
  Call("file_text_write_string", {f, "héllo"});
  Call("file_text_close", {f});
  EXPECT_EQ(Slurp("t.txt"), " 3.250000 -2.500000 7 0.100000 100 -0\r\nhéllo");

  const double a = Call("file_text_open_append", {"t.txt"}).val;
  Call("file_text_writeln", {a});
  Call("file_text_write_string", {a, "end"});
  Call("file_text_close", {a});
  EXPECT_EQ(Slurp("t.txt"), " 3.250000 -2.500000 7 0.100000 100 -0\r\nhéllo\r\nend");
}

TEST_F(FilesTest, TextFilesReadRealsAndStringsByTheirRules) {
  Spit("r.txt", "  -12.5x9\r\n3,25 7\nabc\r\rlast");
  const double f = Call("file_text_open_read", {"r.txt"}).val;
  ASSERT_GE(f, 1);
  EXPECT_DOUBLE_EQ(Call("file_text_read_real", {f}).val, -12.5);  // x consumed
  EXPECT_EQ(Call("file_text_read_string", {f}).str, "9");
  EXPECT_EQ(Call("file_text_eoln", {f}).val, 1);
  Call("file_text_readln", {f});
  EXPECT_DOUBLE_EQ(Call("file_text_read_real", {f}).val, 3.25);  // the blank after a digit ends it
  EXPECT_DOUBLE_EQ(Call("file_text_read_real", {f}).val, 7);
  Call("file_text_readln", {f});
  EXPECT_EQ(Call("file_text_read_string", {f}).str, "abc");
  Call("file_text_readln", {f});  // CR alone ends a line too
  EXPECT_EQ(Call("file_text_read_string", {f}).str, "");
  Call("file_text_readln", {f});
  EXPECT_EQ(Call("file_text_eof", {f}).val, 0);
  EXPECT_EQ(Call("file_text_read_string", {f}).str, "last");
  EXPECT_EQ(Call("file_text_eof", {f}).val, 1);
  // Past the end: empty, no error.
  EXPECT_EQ(Errors([&] { EXPECT_EQ(Call("file_text_read_string", {f}).str, ""); }), "");
  EXPECT_EQ(Errors([&] { Call("file_text_write_string", {f, "x"}); }), "File not opened for writing.");
  Call("file_text_close", {f});
  EXPECT_EQ(Errors([&] { Call("file_text_close", {f}); }), "");  // a free slot is left alone
  EXPECT_EQ(Errors([&] { Call("file_text_read_string", {f}); }), "File is not opened for reading.");
  EXPECT_EQ(Errors([] { Call("file_text_close", {33.0}); }), "Trying to close unexisting text file.");
  EXPECT_EQ(Errors([] { EXPECT_EQ(Call("file_text_open_read", {"missing.txt"}).val, -1); }), "");

  // The legacy reader takes blanks and "-" anywhere.
  Spit("l.txt", "1 2-3\r\nnext");
  Call("file_open_read", {"l.txt"});
  EXPECT_DOUBLE_EQ(Call("file_read_real").val, -123);
  Call("file_readln");
  EXPECT_EQ(Call("file_read_string").str, "next");
  EXPECT_EQ(Call("file_eof").val, 1);
  Call("file_close");
  EXPECT_EQ(Errors([] { Call("file_read_real"); }), "File not opened for reading.");
  EXPECT_EQ(Errors([] { Call("file_eof"); }), "File is not opened for reading.");
  EXPECT_EQ(Errors([] { Call("file_write_string", {"x"}); }), "File not opened for writing.");
  Call("file_open_write", {"l2.txt"});
  Call("file_write_real", {2.5});
  Call("file_writeln");
  Call("file_open_read", {"missing.txt"});  // closes the written one, opens nothing
  EXPECT_EQ(Slurp("l2.txt"), " 2.500000\r\n");
  EXPECT_EQ(Errors([] { Call("file_read_string"); }), "File not opened for reading.");
}

TEST_F(FilesTest, SlotsRunOutAtThirtyTwoAndFreeAgain) {
  for (const char* kind : {"bin", "text"}) {
    SCOPED_TRACE(kind);
    std::vector<double> open;
    for (int i = 0; i < 32; ++i) {
      const std::string name = "f" + std::to_string(i);
      open.push_back(std::string(kind) == "bin" ? Call("file_bin_open", {name, 1.0}).val
                                                : Call("file_text_open_write", {name}).val);
      EXPECT_EQ(open.back(), i + 1);
    }
    EXPECT_EQ(Errors([&] {
                EXPECT_EQ(std::string(kind) == "bin" ? Call("file_bin_open", {"g", 1.0}).val
                                                     : Call("file_text_open_write", {"g"}).val,
                          -1);
              }),
              "Cannot open another file (maximum exceeded).");
    for (double f : open) {
      if (std::string(kind) == "bin") Call("file_bin_close", {f});
      else Call("file_text_close", {f});
    }
  }
  // Every descriptor went back.
  const auto count_fds = [] {
    return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
  };
  const auto before = count_fds();
  const double f = Call("file_bin_open", {"x", 0.0}).val;
  Call("file_bin_close", {f});
  EXPECT_EQ(count_fds(), before);
}

TEST_F(FilesTest, BinaryFilesReadWriteAndReportMisuse) {
  const double f = Call("file_bin_open", {"b.bin", 0.0}).val;  // mode 0 makes a missing file
  ASSERT_GE(f, 1);
  EXPECT_TRUE(fs::exists("b.bin"));
  EXPECT_EQ(Call("file_bin_size", {f}).val, 0);
  Call("file_bin_close", {f});
  const double g = Call("file_bin_open", {"b.bin", 2.0}).val;
  for (double v : {65.0, 300.0, -1.0, 255.4}) Call("file_bin_write_byte", {g, v});
  EXPECT_EQ(Call("file_bin_size", {g}).val, 4);
  EXPECT_EQ(Call("file_bin_position", {g}).val, 4);
  Call("file_bin_seek", {g, 1.0});
  EXPECT_EQ(Call("file_bin_read_byte", {g}).val, 44);
  EXPECT_EQ(Call("file_bin_read_byte", {g}).val, 255);
  EXPECT_EQ(Call("file_bin_read_byte", {g}).val, 255);
  EXPECT_EQ(Errors([&] { EXPECT_EQ(Call("file_bin_read_byte", {g}).val, 0); }), "Error reading byte.");
  EXPECT_EQ(Errors([&] { Call("file_bin_seek", {g, -5.0}); }), "Error seeking.");
  Call("file_bin_rewrite", {g});
  EXPECT_EQ(Call("file_bin_size", {g}).val, 0);
  Call("file_bin_close", {g});
  EXPECT_EQ(Errors([&] { Call("file_bin_close", {g}); }), "Trying to close unopened file.");
  EXPECT_EQ(Errors([&] { Call("file_bin_rewrite", {g}); }), "Trying to rewrite unopened file.");
  for (const char* fn : {"file_bin_size", "file_bin_position", "file_bin_read_byte"})
    EXPECT_EQ(Errors([&] { Call(fn, {g}); }), "File is not opened.") << fn;
  EXPECT_EQ(Errors([] { Call("file_bin_write_byte", {0.0, 1.0}); }), "File is not opened.");
  // A folder or a FIFO is never opened (and a FIFO never blocks us).
  fs::create_directory("d");
  ::mkfifo("fifo", 0600);
  EXPECT_EQ(Errors([] { EXPECT_EQ(Call("file_bin_open", {"d", 0.0}).val, -1); }), "Error opening binary file.");
  EXPECT_EQ(Errors([] { EXPECT_EQ(Call("file_bin_open", {"fifo", 0.0}).val, -1); }), "Error opening binary file.");
  EXPECT_EQ(Errors([] { EXPECT_EQ(Call("file_text_open_read", {"fifo"}).val, -1); }),
            "Error opening file for reading.");
}

TEST_F(FilesTest, FileSystemOperations) {
  Spit("a.txt", "A");
  Spit("b.txt", "B");
  Call("file_rename", {"a.txt", "b.txt"});  // never over an existing file
  EXPECT_EQ(Slurp("a.txt"), "A");
  EXPECT_EQ(Slurp("b.txt"), "B");
  Call("file_rename", {"a.txt", "c.txt"});
  EXPECT_FALSE(fs::exists("a.txt"));
  EXPECT_EQ(Slurp("c.txt"), "A");
  Call("file_copy", {"c.txt", "b.txt"});  // copying does overwrite
  EXPECT_EQ(Slurp("b.txt"), "A");
  Call("file_delete", {"B.TXT"});
  EXPECT_FALSE(fs::exists("b.txt"));
  Call("directory_create", {"x\\y\\z"});
  EXPECT_TRUE(fs::is_directory("x/y/z"));
  Call("file_delete", {"x"});  // folders are not files
  EXPECT_TRUE(fs::is_directory("x"));
  EXPECT_EQ(Call("file_exists", {"x"}).val, 0);
  EXPECT_GT(Call("disk_size").val, 0);
  EXPECT_GT(Call("disk_free", {""}).val, 0);
  EXPECT_GT(Call("disk_size", {"c"}).val, 0);
  EXPECT_EQ(Call("disk_size", {"d"}).val, Call("disk_size", {"D:\\"}).val);
}

TEST_F(FilesTest, FindFirstMatchesPatternsAndAttributes) {
  fs::create_directories("dir/Sub");
  Spit("dir/a.TXT", "");
  Spit("dir/b.txt", "");
  Spit("dir/c.dat", "");
  Spit("dir/noext", "");
  Spit("dir/.hidden.txt", "");
  Spit("dir/ro.txt", "");
  fs::permissions("dir/ro.txt", fs::perms::owner_read);
  const auto all = [](const std::string& mask, int attr) {
    std::vector<std::string> got;
    for (std::string s = Call("file_find_first", {mask, double(attr)}).str; !s.empty();
         s = Call("file_find_next").str)
      got.push_back(s);
    return got;
  };
  using V = std::vector<std::string>;
  struct RCase {
    std::string mask;
    int attr;
    V expect;
  } cases[] = {
      {"dir\\*.txt", 0, V{"a.TXT", "b.txt", "ro.txt"}},
      {"DIR/*.TXT", 2, V{".hidden.txt", "a.TXT", "b.txt", "ro.txt"}},
      {"dir\\*.*", 0, V{"a.TXT", "b.txt", "c.dat", "noext", "ro.txt"}},
      {"dir\\?.dat", 0, V{"c.dat"}},
      {"dir\\*", 16, V{".", "..", "Sub", "a.TXT", "b.txt", "c.dat", "noext", "ro.txt"}},
      {"dir\\s*", 16, V{"Sub"}},
      {"dir\\*.none", 0, V{}},
      {"missing\\*", 0, V{}},
  };
  for (const RCase& c : cases) EXPECT_EQ(all(c.mask, c.attr), c.expect) << c.mask;
  // An empty result leaves no search open; next stays empty.
  EXPECT_EQ(Call("file_find_next").str, "");
  Call("file_find_first", {"dir\\*.txt", 0.0});
  Call("file_find_close");
  EXPECT_EQ(Call("file_find_next").str, "");

  struct RAttr {
    std::string name;
    int mask;
    double expect;
  } attrs[] = {
      {"dir\\Sub", 16, 1}, {"dir\\b.txt", 16, 0}, {"dir\\b.txt", 32, 1}, {"dir\\.hidden.txt", 2, 1},
      {"dir\\b.txt", 2, 0}, {"dir\\missing", 63, -1},
  };
  for (const RAttr& a : attrs) EXPECT_EQ(Call("file_attributes", {a.name, double(a.mask)}).val, a.expect) << a.name;
  if (::geteuid() != 0) {
    EXPECT_EQ(Call("file_attributes", {"dir\\ro.txt", 1.0}).val, 1);
  }
}

TEST(FileNames, SplitTheWindowsWay) {
  struct RCase {
    const char* name;
    const char *path, *dir, *drive, *ext, *file;
  } cases[] = {
      {"C:\\games\\level.dat", "C:\\games\\", "C:\\games", "C:", ".dat", "level.dat"},
      {"C:\\", "C:\\", "C:\\", "C:", "", ""},
      {"C:level.x.y", "C:", "C:", "C:", ".y", "level.x.y"},
      {"\\\\server\\share\\d\\f.txt", "\\\\server\\share\\d\\", "\\\\server\\share\\d", "\\\\server\\share", ".txt",
       "f.txt"},
      {"dir.v2\\noext", "dir.v2\\", "dir.v2", "", "", "noext"},
      {"plain", "", "", "", "", "plain"},
  };
  for (const RCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Call("filename_path", {c.name}).str, c.path);
    EXPECT_EQ(Call("filename_dir", {c.name}).str, c.dir);
    EXPECT_EQ(Call("filename_drive", {c.name}).str, c.drive);
    EXPECT_EQ(Call("filename_ext", {c.name}).str, c.ext);
    EXPECT_EQ(Call("filename_name", {c.name}).str, c.file);
  }
  EXPECT_EQ(Call("filename_change_ext", {"a\\b.txt", ".dat"}).str, "a\\b.dat");
  EXPECT_EQ(Call("filename_change_ext", {"a.d\\b", ".dat"}).str, "a.d\\b.dat");
}

TEST(CommandLine, SplitsTheWindowsWay) {
  using V = std::vector<std::string>;
  struct RCase {
    const char* line;
    V args;
  } cases[] = {
      {"", V{}},
      {"  a  b\tc ", V{"a", "b", "c"}},
      {"\"a b\" c", V{"a b", "c"}},
      {"\"\"", V{""}},
      {"a\\\\b", V{"a\\\\b"}},
      {"a\\\\\"b c\"", V{"a\\b c"}},
      {"a\\\"b", V{"a\"b"}},
      {"\"a\"\"b\"", V{"a\"b"}},
      {"x;rm -rf $HOME|y", V{"x;rm", "-rf", "$HOME|y"}},
  };
  for (const RCase& c : cases) EXPECT_EQ(SplitCommandLine(c.line), c.args) << c.line;
}

// The runner's threads block the termination signals; a program the game
// starts must not inherit that, or nothing could end it.
TEST_F(FilesTest, ProgramsStartWithNoSignalBlocked) {
  Spit("mask.sh", "#!/bin/sh\ngrep SigBlk /proc/self/status > mask.txt\n");
  fs::permissions("mask.sh", fs::perms::owner_all);
  sigset_t block, old;
  sigemptyset(&block);
  sigaddset(&block, SIGTERM);
  sigaddset(&block, SIGINT);
  pthread_sigmask(SIG_BLOCK, &block, &old);
  EXPECT_EQ(Errors([] { Call("execute_program", {"mask.sh", "", 1.0}); }), "");
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  EXPECT_EQ(Slurp("mask.txt"), "SigBlk:\t0000000000000000\n");
}

TEST_F(FilesTest, ProgramsGetTheirArgumentsWithoutAShell) {
  Spit("tool.sh", "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]' \"$a\"; done > args.txt\n");
  fs::permissions("tool.sh", fs::perms::owner_all);
  EXPECT_EQ(Errors([] { Call("execute_program", {"tool.sh", "\"a b\" $(touch pwned) ;c>d", 1.0}); }), "");
  EXPECT_EQ(Slurp("args.txt"), "[a b][$(touch][pwned)][;c>d]");
  EXPECT_FALSE(fs::exists("pwned"));
  EXPECT_FALSE(fs::exists("d"));
  EXPECT_EQ(Errors([] { Call("execute_program", {"no-such-program-here", "", 1.0}); }),
            "Cannot execute no-such-program-here");
  ::setenv("RR_FILES_TEST_VAR", "v=1", 1);
  EXPECT_EQ(Call("environment_get_variable", {"RR_FILES_TEST_VAR"}).str, "v=1");
  EXPECT_EQ(Call("environment_get_variable", {"RR_FILES_TEST_UNSET"}).str, "");
  char a0[] = "prog", a1[] = "--x";
  char* argv[] = {a0, a1};
  SetProgramParameters(2, argv);
  EXPECT_EQ(Call("parameter_count").val, 1);
  EXPECT_EQ(Call("parameter_string", {1.0}).str, "--x");
  EXPECT_EQ(Call("parameter_string", {2.0}).str, "");
  EXPECT_EQ(Call("parameter_string", {-1.0}).str, "");
}

}  // namespace
