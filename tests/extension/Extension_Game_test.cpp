// Extension packages end to end: the fixture game packed with roompack and
// played headless by its own placing of roomrun (so its trace can be read),
// and the packer's refusals of broken package descriptions.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "../Test_Process.h"

namespace fs = std::filesystem;

namespace {
const std::string kBin = ROOMRUN_BIN_DIR;
const fs::path kFixture = fs::path(ROOMRUN_SOURCE_DIR) / "tests/games/ext_package";

using testproc::Capture;
using testproc::ReadText;
using testproc::ROutput;

class ExtensionGame : public testproc::ScratchDirTest {
 protected:
  void SetUp() override {
    ScratchDirTest::SetUp();
    proj_ = dir_ / "proj";
    fs::copy(kFixture, proj_, fs::copy_options::recursive);
    fs::copy_file(fs::path(ROOMRUN_TESTLIB_DIR) / "libextpkg.so", proj_ / "extensions/pkg/libextpkg.so");
    fs::create_directories(dir_ / "tmpbase");
  }
  ROutput Pack() { return Capture(kBin + "/roompack " + proj_.string() + " -o " + (dir_ / "game.bin").string() + " 2>&1"); }
  // Plays the packed game with its own placing of the runner, beside which the trace is written.
  ROutput Play(const std::string& switches) {
    const fs::path exe = dir_ / "bin" / "roomrun";
    if (!fs::exists(exe)) testproc::PlaceProgram(kBin + "/roomrun", exe);
    return Capture("cd " + dir_.string() + " && TMPDIR=" + (dir_ / "tmpbase").string() + " " + exe.string() +
                   " --headless --fast --VTTrace " + switches + " game.bin 2>" + (dir_ / "stderr.txt").string());
  }
  std::string Trace() { return ReadText(dir_ / "bin" / "Trace.log"); }
  std::string Stderr() { return ReadText(dir_ / "stderr.txt"); }

  fs::path proj_;
};

TEST_F(ExtensionGame, LibraryAndScriptFunctionsConstantsInitAndFinal) {
  ROutput p = Pack();
  ASSERT_EQ(p.status, 0) << p.out;
  ROutput r = Play("");
  EXPECT_EQ(r.status, 0) << Stderr();
  EXPECT_EQ(r.out,
            "script init, answer 42\n"
            "create\n"
            "scale 10\n"
            "greet hello world x3\n"
            "sum5 15\n"
            "describe x=5 (2 args)\n"
            "nested inner=1 (3 args) / outer 7 8 2\n"
            "missing 0\n"
            "win 0\n"
            "broken 0\n"
            "constants 42 pkg\n"
            "notes 1\n"
            "game end\n"
            "script final\n");
  // The library's init and final functions ran, once each, in the game's working folder.
  EXPECT_EQ(ReadText(dir_ / "ext_trace.txt"), "library init\nlibrary final\n");

  const std::string trace = Trace();
  EXPECT_NE(trace.find("Preparing extension packages"), std::string::npos);
  EXPECT_NE(trace.find("GetProcAddress for no_such_symbol on DLL "), std::string::npos) << trace;
  EXPECT_NE(trace.find("/pkgfiles/winlib.dll failed - error - a Windows library cannot be loaded"), std::string::npos)
      << trace;
  EXPECT_NE(trace.find("/pkgfiles/broken.so failed - error - "), std::string::npos) << trace;
  // The package folder lived in the private temporary folder, gone at the end.
  EXPECT_TRUE(fs::is_empty(dir_ / "tmpbase"));
}

TEST_F(ExtensionGame, RestartRunsTheFinalThenTheInitFunctionsAgain) {
  std::ofstream(proj_ / "objects/obj_main_create.code", std::ios::trunc)
      << "if (file_exists(\"again.txt\")) game_end();\n"
         "else { file_text_close(file_text_open_write(\"again.txt\")); game_restart(); }\n";
  ROutput p = Pack();
  ASSERT_EQ(p.status, 0) << p.out;
  ROutput r = Play("");
  EXPECT_EQ(r.status, 0) << Stderr();
  EXPECT_EQ(r.out, "script init, answer 42\ngame end\nscript final\nscript init, answer 42\ngame end\nscript final\n");
  EXPECT_EQ(ReadText(dir_ / "ext_trace.txt"), "library init\nlibrary final\nlibrary init\nlibrary final\n");
}

TEST_F(ExtensionGame, SecureModeOpensNoLibraryAndStopsAtTheInitFunctions) {
  ROutput p = Pack();
  ASSERT_EQ(p.status, 0) << p.out;
  ROutput r = Play("--secure");
  EXPECT_NE(Stderr().find("In secure mode you cannot use extension packages."), std::string::npos) << Stderr();
  EXPECT_EQ(r.out.find("create"), std::string::npos) << r.out;
  EXPECT_FALSE(fs::exists(dir_ / "ext_trace.txt"));
  EXPECT_EQ(Trace().find("LoadLibrary on DLL"), std::string::npos);
}

TEST_F(ExtensionGame, PackerRefusesBrokenPackageDescriptions) {
  struct RCase {
    const char* what;
    std::string from, to;  // replaced in package.json
    std::string message;
  };
  const RCase cases[] = {
      {"parent folder", R"("name": "notes.txt")", R"("name": "../notes.txt")", "is not a plain file name"},
      {"absolute path", R"("name": "notes.txt")", R"("name": "/tmp/notes.txt")", "is not a plain file name"},
      {"drive letter", R"("name": "notes.txt")", R"("name": "C:notes.txt")", "is not a plain file name"},
      {"folder escape", R"("folder": "pkgfiles")", R"("folder": "..")", "is not a plain folder name"},
      {"twice the same function", R"({ "name": "win_fn", "args": [] })", R"({ "name": "pkg_scale", "args": [] })",
       "the function \"pkg_scale\" is defined twice"},
      {"init names no function", R"("init": "scr_pkg_init")", R"("init": "scr_nothing")",
       "no function \"scr_nothing\" in this file"},
      {"library function without arguments", R"({ "name": "win_fn", "args": [] })", R"({ "name": "win_fn" })",
       "a library function needs its argument list"},
      {"strings past four arguments", R"("args": ["real", "real", "real", "real", "real"])",
       R"("args": ["real", "real", "real", "real", "string"])", "more than 4 arguments takes reals only"},
      {"no section for a script function", R"("external": "describe")", R"("external": "nowhere")",
       "no section \"#define nowhere\""},
  };
  const fs::path json = proj_ / "extensions/pkg/package.json";
  const std::string original = ReadText(json);
  for (const RCase& c : cases) {
    std::string text = original;
    const size_t at = text.find(c.from);
    ASSERT_NE(at, std::string::npos) << c.what;
    text.replace(at, c.from.size(), c.to);
    std::ofstream(json, std::ios::trunc) << text;
    ROutput p = Pack();
    EXPECT_EQ(p.status, 1) << c.what << "\n" << p.out;
    EXPECT_NE(p.out.find(c.message), std::string::npos) << c.what << "\n" << p.out;
    EXPECT_FALSE(fs::exists(dir_ / "game.bin")) << c.what;
  }
  // A section that does not compile is told with its line in the script file.
  std::ofstream(json, std::ios::trunc) << original;
  std::ofstream(proj_ / "extensions/pkg/helpers.gml", std::ios::app) << "x = = 1;\n";
  ROutput p = Pack();
  EXPECT_EQ(p.status, 1);
  EXPECT_NE(p.out.find("extensions/pkg/helpers.gml:9:"), std::string::npos) << p.out;
}

}  // namespace
