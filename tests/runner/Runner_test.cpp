// End-to-end tests of the runner program: game files made with the writer,
// broken in many ways, run through the real roomrun binary.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "GameFixture.h"
#include "../Test_Process.h"
#include "runner/Support_File.h"

namespace fs = std::filesystem;
using fixture::MinimalGame;
using fixture::MinimalWriter;

namespace {

const std::string kRoomrun = std::string(ROOMRUN_BIN_DIR) + "/roomrun";

struct RRun {
  int status = -1;
  std::string err;
};

class RunnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("rr_run_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "tmpbase");
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::string p = (dir_ / name).string();
    EXPECT_TRUE(WriteWholeFile(p, bytes.data(), bytes.size()));
    return p;
  }

  // Runs a program with the temp base inside the test directory (and any
  // extra environment), capturing stderr and the exit status.
  RRun Run(const std::string& program, const std::string& args, const std::string& env = "") {
    std::string errfile = (dir_ / "stderr.txt").string();
    std::string cmd = "cd '" + dir_.string() + "' && env -u VTLOG_TRACE TMPDIR='" + (dir_ / "tmpbase").string() +
                      "' " + env + " '" + program + "' " + args + " 2>'" + errfile + "' >/dev/null";
    int rc = std::system(cmd.c_str());
    RRun r;
    r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    std::ifstream in(errfile);
    std::stringstream ss;
    ss << in.rdbuf();
    r.err = ss.str();
    return r;
  }

  bool TempBaseEmpty() { return fs::is_empty(dir_ / "tmpbase"); }

  fs::path dir_;
};

std::vector<uint8_t> Truncated(std::vector<uint8_t> g, size_t n) {
  g.resize(n);
  return g;
}

// A game whose sections are written by hand from the given point on: the
// sections before it are valid and empty.
std::vector<uint8_t> GameWith(void (*sections)(CGameWriter&)) {
  CGameWriter w;
  sections(w);
  return w.Finish();
}

}  // namespace

TEST_F(RunnerTest, ValidGameRunsAndLeavesNothingBehind) {
  auto r = Run(kRoomrun, "--headless '" + Write("g.game", MinimalGame()) + "'");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_TRUE(TempBaseEmpty());
}

TEST_F(RunnerTest, BrokenGameFilesGiveTheirMessageAndFail) {
  const std::vector<uint8_t> good = MinimalGame();
  std::vector<uint8_t> flipped = good;
  flipped[good.size() / 2] ^= 0x40;
  std::mt19937 rng(7);
  std::vector<uint8_t> noise(5000);
  for (auto& b : noise) b = uint8_t(rng());
  noise[3] = 0;  // keep the first word from being a marker

  auto version = [](int v) {
    CGameWriter w = MinimalWriter();
    w.format_version = v;
    return w.Finish();
  };
  auto settings = [](int v) {
    CGameWriter w = MinimalWriter();
    w.settings.version = v;
    return w.Finish();
  };

  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    std::vector<std::string> messages;
  };
  const std::string corrupted = kMsgCorrupted;
  const std::string resource = kMsgResourceData;
  std::vector<Case> cases = {
      {"empty file", {}, {kMsgNotValid}},
      {"random bytes", noise, {kMsgNotValid}},
      {"cut inside the marker", Truncated(good, 6), {kMsgNotValid}},
      {"cut after the marker", Truncated(good, 8), {corrupted}},
      {"cut inside the keys", Truncated(good, 19), {corrupted}},
      {"cut after the version", Truncated(good, 20), {corrupted}},
      {"cut in the header", Truncated(good, 40), {corrupted}},
      {"cut in the middle", Truncated(good, good.size() / 2), {corrupted}},
      {"last byte missing", Truncated(good, good.size() - 1), {corrupted}},
      {"flipped payload byte", flipped, {corrupted}},
      {"version 809", version(809), {kMsgWrongVersion}},
      {"version 811", version(811), {kMsgWrongVersion}},
      {"settings version 799", settings(799), {resource}},
      {"bad extension section version", GameWith([](CGameWriter& w) {
         w.WriteEmptyList(701);
       }),
       {kMsgExtensions, resource}},
      {"bad sprite section version", GameWith([](CGameWriter& w) {
         for (int v : {700, 800, 800, 800}) w.WriteEmptyList(v);
         w.WriteEmptyList(799);
       }),
       {resource}},
      {"negative count", GameWith([](CGameWriter& w) {
         for (int v : {700, 800, 800, 800}) w.WriteEmptyList(v);
         w.BeginList(800, -1);
       }),
       {resource}},
      {"huge count", GameWith([](CGameWriter& w) {
         for (int v : {700, 800, 800}) w.WriteEmptyList(v);
         w.BeginList(800, 0x7FFFFFFF);
         w.WriteEmptyResource();
       }),
       {resource}},
      {"huge block length", GameWith([](CGameWriter& w) {
         for (int v : {700, 800, 800}) w.WriteEmptyList(v);
         w.BeginList(800, 1);
         w.Sections().WriteInteger(0x7FFFFFF0);
         w.Sections().WriteInteger(0);
       }),
       {corrupted}},
      {"negative block length", GameWith([](CGameWriter& w) {
         for (int v : {700, 800, 800}) w.WriteEmptyList(v);
         w.BeginList(800, 1);
         w.Sections().WriteInteger(-8);
         w.Sections().WriteInteger(0);
       }),
       {corrupted}},
      {"corrupt zlib block", GameWith([](CGameWriter& w) {
         for (int v : {700, 800, 800}) w.WriteEmptyList(v);
         w.BeginList(800, 1);
         std::vector<uint8_t> junk = {0x78, 0x9C, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x01};
         w.Sections().WriteInteger(int32_t(junk.size()));
         w.Sections().WriteBuffer(junk.data(), junk.size());
       }),
       {corrupted}},
      {"huge constant text", GameWith([](CGameWriter& w) {
         for (int v : {700, 800}) w.WriteEmptyList(v);
         w.BeginList(800, 1);
         w.Sections().WriteInteger(0x7FFFFFFF);
         w.Sections().WriteInteger(0);
       }),
       {corrupted}},
      {"sections end early", GameWith([](CGameWriter& w) {
         for (int v : {700, 800, 800, 800, 800}) w.WriteEmptyList(v);
       }),
       {corrupted}},
      {"rooms without id counters", GameWith([](CGameWriter& w) {
         for (int v : {700, 800, 800, 800, 800, 800, 800, 800, 800, 800, 800, 800}) w.WriteEmptyList(v);
       }),
       {corrupted}},
      {"included file of version 799", GameWith([](CGameWriter& w) {
         w.WriteEmptyResourceSections();
         w.BeginList(800, 1);
         CStream rec;
         CDataFile f;
         f.SaveToStream(rec);
         rec.MutableData()[0] = 0x1F;
         w.WriteBlock(rec);
         w.WriteGameInfo(RGameInfo());
         w.WriteLibraryInitCode({});
         w.WriteRoomOrder({0});
       }),
       {resource}},
      {"bad game information version", GameWith([](CGameWriter& w) {
         w.WriteEmptyResourceSections();
         w.WriteIncludedFiles({});
         w.WriteSingleBlock(801, CStream());
       }),
       {resource}},
      {"empty room order", GameWith([](CGameWriter& w) {
         w.WriteEmptyResourceSections();
         w.WriteIncludedFiles({});
         w.WriteGameInfo(RGameInfo());
         w.WriteLibraryInitCode({});
         w.WriteRoomOrder({});
       }),
       {resource}},
      {"bad room order version", GameWith([](CGameWriter& w) {
         w.WriteEmptyResourceSections();
         w.WriteIncludedFiles({});
         w.WriteGameInfo(RGameInfo());
         w.WriteLibraryInitCode({});
         w.BeginList(701, 1);
         w.Sections().WriteInteger(0);
       }),
       {resource}},
  };
  for (const Case& c : cases) {
    auto r = Run(kRoomrun, "--headless '" + Write("broken.game", c.bytes) + "'");
    std::string expected;
    for (const auto& m : c.messages) expected += m + "\n";
    EXPECT_NE(r.status, 0) << c.name;
    EXPECT_EQ(r.err, expected) << c.name;
    EXPECT_TRUE(TempBaseEmpty()) << c.name;
  }
}

TEST_F(RunnerTest, AGameThatCannotBeReadIsNamedWithTheReason) {
  fs::create_directories(dir_ / "mygame");
  Write("mygame/game.json", {'{', '}'});
  struct RCase {
    const char* args;
    const char* err;
  } cases[] = {
      {"nothere.game", "roomrun: nothere.game: No such file or directory\n"},
      {"--headless nothere.game", "roomrun: nothere.game: No such file or directory\n"},
      {"mygame/game.json/..", "roomrun: mygame/game.json/..: Not a directory\n"},
      {"tmpbase", "roomrun: tmpbase: is a folder with no game.json, neither a project folder nor a game file\n"},
      {"mygame/game.json/x.game", "roomrun: mygame/game.json/x.game: Not a directory\n"},
  };
  for (const RCase& c : cases) {
    auto r = Run(kRoomrun, c.args);
    EXPECT_EQ(r.status, 1) << c.args;
    EXPECT_EQ(r.err, c.err) << c.args;
  }
  EXPECT_TRUE(TempBaseEmpty());
}

// A project folder is packed in memory with the packer's code and played; a
// folder that does not pack is reported as roompack would report it, and
// nothing is played.
TEST_F(RunnerTest, AProjectFolderIsPackedAndPlayed) {
  const fs::path game = fs::path(ROOMRUN_SOURCE_DIR) / "tests/games/draw_basic";
  fs::copy(game, dir_ / "proj", fs::copy_options::recursive);
  auto r = Run(kRoomrun, "--headless --steps 2 --dump-state state.json proj");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::exists(dir_ / "state.json"));

  Write("proj/objects/step.code", {'x', ' ', '=', ' ', '(', '2', ' ', '+', ';', '\n'});
  r = Run(kRoomrun, "--headless --steps 2 proj");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "objects/step.code:1:9: Unexpected symbol in expression. (object obj_draw, step event, action 1)\n"
            "roomrun: 1 error in the project folder; the game was not started\n");
  EXPECT_TRUE(TempBaseEmpty());
}

TEST_F(RunnerTest, TheBareRunnerPrintsItsUsage) {
  // Nothing appended to the program: the usage on stderr, not an attempt to
  // play the program itself.
  auto r = Run(kRoomrun, "--headless");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err.rfind("Usage: roomrun", 0), 0u) << r.err;
  r = Run(kRoomrun, "");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err.rfind("Usage: roomrun", 0), 0u) << r.err;
  EXPECT_TRUE(TempBaseEmpty());
}

TEST_F(RunnerTest, RunnableCopyPlaysItsOwnGame) {
  std::string out = (dir_ / "mygame").string();
  std::string error;
  ASSERT_TRUE(WriteRunnableGame(kRoomrun, MinimalGame(), out, &error)) << error;
  auto r = Run(out, "--headless");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
}

TEST_F(RunnerTest, UsageAndBadSwitches) {
  auto r = Run(kRoomrun, "--help");
  EXPECT_EQ(r.status, 0);
  struct RCase {
    const char* args;
    const char* error;
  } cases[] = {
      {"--no-such-switch", "unknown switch --no-such-switch"},
      {"--no-such=1 g.game", "unknown switch --no-such=1"},
      {"--headless=yes g.game", "--headless takes no value"},
      {"--steps= g.game", "--steps needs a whole number of 0 or more"},
      {"--seed=-3 g.game", "--seed needs a whole number of 0 or more"},
      {"--screenshot=0:a.png g.game", "--screenshot needs STEP:FILE or STEP+FRAME:FILE with a step of 1 or more"},
      {"--screenshot=2+x:a.png g.game", "--screenshot needs STEP:FILE or STEP+FRAME:FILE with a step of 1 or more"},
      {"g.game --dump-state", "--dump-state needs a value"},
      {"--headless -x", "unknown switch -x"},
      {"a.game b.game", "only one game file can be given: b.game"},
  };
  for (const RCase& c : cases) {
    r = Run(kRoomrun, c.args);
    EXPECT_EQ(r.status, 2) << c.args;
    EXPECT_EQ(r.err, "roomrun: " + std::string(c.error) + "\nTry 'roomrun --help'.\n") << c.args;
  }
}

TEST_F(RunnerTest, ValuesGoWithAnEqualsSignAndTwoDashesEndTheSwitches) {
  const std::string game = Write("g.game", MinimalGame());
  auto spaced = Run(kRoomrun, "--headless --steps 3 --seed 7 --dump-state spaced.json g.game");
  ASSERT_EQ(spaced.status, 0) << spaced.err;
  auto joined = Run(kRoomrun, "--headless --steps=3 --seed=7 --dump-state=joined.json g.game");
  ASSERT_EQ(joined.status, 0) << joined.err;
  std::vector<uint8_t> a, b;
  ASSERT_TRUE(ReadWholeFile((dir_ / "spaced.json").string(), a));
  ASSERT_TRUE(ReadWholeFile((dir_ / "joined.json").string(), b));
  EXPECT_FALSE(a.empty());
  EXPECT_EQ(a, b);

  // A value may itself hold '=' and start with '-'.
  fs::copy_file(game, dir_ / "-x");
  auto r = Run(kRoomrun, "--headless --dump-state=-a=b.json -- -x");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::exists(dir_ / "-a=b.json"));
  // After "--" a switch's name is a file name.
  r = Run(kRoomrun, "--headless -- --help");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "roomrun: --help: No such file or directory\n");
}

TEST_F(RunnerTest, EvalNamesTheFileItCannotRead) {
  fs::create_directories(dir_ / "folder");
  struct RCase {
    const char* args;
    const char* err;
  } cases[] = {
      {"--eval=nothere.txt", "roomrun: nothere.txt: No such file or directory\n"},
      {"--eval folder", "roomrun: folder: is a folder\n"},
      {"--eval=x.txt --scripts=noscripts", "roomrun: noscripts: No such file or directory\n"},
  };
  for (const RCase& c : cases) {
    auto r = Run(kRoomrun, c.args);
    EXPECT_EQ(r.status, 1) << c.args;
    EXPECT_EQ(r.err, c.err) << c.args;
  }
}

TEST_F(RunnerTest, TraceHasTheBannerAndTheLoadingStepsInOrder) {
  // The trace goes beside the executable, so run a private copy.
  fs::path exe = dir_ / "bin" / "roomrun";
  fs::create_directories(exe.parent_path());
  fs::copy_file(kRoomrun, exe);
  fs::permissions(exe, fs::perms::owner_all);
  std::string game = "'" + Write("g.game", MinimalGame()) + "'";
  fs::path trace = exe.parent_path() / "Trace.log";

  auto r = Run(exe.string(), "--headless " + game);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_FALSE(fs::exists(trace));

  // The bare runner has no game to trace: only its usage.
  r = Run(exe.string(), "--VTTrace");
  EXPECT_EQ(r.status, 2);
  EXPECT_FALSE(fs::exists(trace));

  {
    const std::string how = "--headless " + game + " --VTTrace";
    fs::remove(trace);
    Run(exe.string(), how);
    std::ifstream in(trace);
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    ASSERT_GE(lines.size(), 3u) << how;
    EXPECT_EQ(lines[0], std::string(86, '*'));
    EXPECT_EQ(lines[1], "               Orrin Runner v8.1.52.11948");
    EXPECT_EQ(lines[2], std::string(86, '*'));
    // The load steps in order, then the prepare steps (whatever modules add
    // to them) starting with the included files, and "Ready" last.
    std::vector<std::string> load = {
        "Reading data",         "Loading",
        "Loading extension packages", "Loading triggers", "Loading constants", "Loading sounds",
        "Loading sprites",      "Loading backgrounds", "Loading paths", "Loading scripts",
        "Loading fonts",        "Loading time lines", "Loading objects", "Loading rooms",
        "Loading included files", "Loading help", "Loading library init code", "Loading room order",
        "Extracting included files"};
    ASSERT_GE(lines.size(), 3 + load.size() + 1);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 3, lines.begin() + 3 + long(load.size())), load);
    EXPECT_NE(std::find(lines.begin() + 3 + long(load.size()), lines.end(), "Ready"), lines.end());
  }

  fs::remove(trace);
  Run(exe.string(), "--headless " + game, "VTLOG_TRACE=1");
  EXPECT_TRUE(fs::exists(trace));
}

TEST_F(RunnerTest, TempDirFromTempdirTxtIsUsedAndRemoved) {
  fs::path exe = dir_ / "bin" / "roomrun";
  fs::create_directories(exe.parent_path());
  fs::copy_file(kRoomrun, exe);
  fs::permissions(exe, fs::perms::owner_all);
  fs::path base = dir_ / "from_txt" / "nested";
  { std::ofstream(exe.parent_path() / "tempdir.txt") << base.string() << "\nignored\n"; }

  // An included file exported to the temp dir, and kept there: the directory
  // still goes at exit, with everything in it.
  CGameWriter w;
  w.WriteEmptyResourceSections();
  CDataFile f;
  f.s_filename = "inc.txt";
  f.s_exists = f.s_store = true;
  f.s_data = {'x'};
  f.s_exportaction = 1;
  f.s_removeend = false;
  w.WriteIncludedFiles({f});
  w.WriteGameInfo(RGameInfo());
  w.WriteLibraryInitCode({});
  w.WriteRoomOrder({0});
  auto r = Run(exe.string(), "--headless '" + Write("g.game", w.Finish()) + "'");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::is_directory(base));  // made from the first line
  EXPECT_TRUE(fs::is_empty(base));      // and emptied at exit
  EXPECT_TRUE(TempBaseEmpty());
}

TEST_F(RunnerTest, IncludedFilesAreExportedAndRemovedAtTheEnd) {
  CGameWriter w;
  w.WriteEmptyResourceSections();
  CDataFile gone;
  gone.s_filename = "gone.txt";
  gone.s_exists = gone.s_store = true;
  gone.s_data = {'g'};
  CDataFile kept = gone;
  kept.s_filename = "kept.txt";
  kept.s_removeend = false;
  w.WriteIncludedFiles({gone, kept});
  w.WriteGameInfo(RGameInfo());
  w.WriteLibraryInitCode({});
  w.WriteRoomOrder({0});
  auto r = Run(kRoomrun, "--headless '" + Write("g.game", w.Finish()) + "'");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_FALSE(fs::exists(dir_ / "gone.txt"));
  EXPECT_TRUE(fs::exists(dir_ / "kept.txt"));
}

TEST(TempDir, RemovalNeverFollowsLinks) {
  fs::path root = fs::temp_directory_path() / ("rr_tmplink_" + std::to_string(::getpid()));
  fs::remove_all(root);
  fs::create_directories(root / "base");
  fs::create_directories(root / "outside");
  { std::ofstream(root / "outside" / "precious.txt") << "keep"; }
  const char* old = std::getenv("TMPDIR");
  std::string saved = old ? old : "";
  setenv("TMPDIR", (root / "base").c_str(), 1);
  ASSERT_TRUE(CreateTempDir());
  if (old) {
    setenv("TMPDIR", saved.c_str(), 1);
  } else {
    unsetenv("TMPDIR");
  }
  ASSERT_EQ(fs::path(TempDir).parent_path(), root / "base");
  EXPECT_EQ(fs::path(TempDir).filename().string().rfind("or_ttt_", 0), 0u);
  fs::create_directory_symlink(root / "outside", fs::path(TempDir) / "link");
  fs::create_directories(fs::path(TempDir) / "sub");
  { std::ofstream(fs::path(TempDir) / "sub" / "f.txt") << "x"; }
  std::string name = MakeTempFileName(".wav");
  EXPECT_EQ(fs::path(name).parent_path(), fs::path(TempDir));
  EXPECT_EQ(fs::path(name).extension(), ".wav");
  RemoveTempDir();
  EXPECT_TRUE(TempDir.empty());
  EXPECT_TRUE(fs::is_empty(root / "base"));
  EXPECT_TRUE(fs::exists(root / "outside" / "precious.txt"));
  RemoveTempDir();  // a second call does nothing
  fs::remove_all(root);
}

TEST_F(RunnerTest, TraceFallsBackToTheCurrentFolderWhenBesideTheProgramCannotBeWritten) {
  // A folder where Trace.log should be stands for a runner's folder that
  // cannot be written (tests run as root, so permissions would not stop it).
  fs::create_directories(dir_ / "bin" / "Trace.log");
  testproc::PlaceProgram(kRoomrun, dir_ / "bin" / "roomrun");
  const std::string game = Write("g.game", MinimalGame());
  auto r = Run((dir_ / "bin" / "roomrun").string(), "--headless --VTTrace '" + game + "'");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("roomrun: cannot write " + (dir_ / "bin" / "Trace.log").string() +
                       " (is a folder, not a regular file; nothing was written); the trace goes to Trace.log "
                       "in the current folder\n"),
            std::string::npos)
      << r.err;
  std::ifstream trace(dir_ / "Trace.log");
  std::stringstream text;
  text << trace.rdbuf();
  EXPECT_NE(text.str().find("Orrin Runner"), std::string::npos);
  EXPECT_TRUE(fs::is_empty(dir_ / "bin" / "Trace.log"));
}
