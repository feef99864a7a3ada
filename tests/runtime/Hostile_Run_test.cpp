// End-to-end: games that misbehave on purpose (endless room changes, fatal
// errors undone, memory used up, deep nesting on a small stack) played with
// the real roomrun; each must end, cleanly and within its time limit.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "../Test_Process.h"

namespace fs = std::filesystem;

namespace {
const std::string kBin = ROOMRUN_BIN_DIR;

using testproc::Capture;
using testproc::ROutput;
using testproc::ReadText;

class HostileRunTest : public testproc::ScratchDirTest {
 protected:
  // One object with the given events, one room holding one instance of it
  // and a second room, packed into a game file.
  // `settings` is the game's settings object, as JSON.
  std::string Game(const std::string& events, const std::string& settings = "{}") {
    fs::path p = dir_ / "proj";
    fs::create_directories(p / "objects");
    fs::create_directories(p / "rooms");
    std::ofstream(p / "game.json") << R"({"objects": ["obj"], "rooms": ["rm", "rm_two"], "settings": )" << settings
                                   << "}";
    std::ofstream(p / "objects" / "obj.json") << R"({"events": )" << events << "}";
    std::ofstream(p / "rooms" / "rm.json") << R"({"instances": [{"object": "obj"}]})";
    std::ofstream(p / "rooms" / "rm_two.json") << R"({"instances": [{"object": "obj"}]})";
    const std::string out = (dir_ / "game.bin").string();
    ROutput r = Capture("timeout 60 " + kBin + "/roompack " + p.string() + " -o " + out + " 2>&1");
    EXPECT_EQ(r.status, 0) << r.out;
    return out;
  }
  // Plays headless under a time limit; `prefix` runs in the same shell
  // first (ulimit). A run that hits the limit gives status 124.
  ROutput Play(const std::string& game, const std::string& switches, const std::string& prefix = "") {
    return Capture("cd " + dir_.string() + " && " + prefix + " timeout -s KILL 60 " + kBin +
                   "/roomrun --headless --fast " + switches + " " + game + " 2>" + (dir_ / "stderr.txt").string());
  }
  std::string Stderr() { return ReadText(dir_ / "stderr.txt"); }
};

std::string StepCode(const std::string& code) {
  return R"([{"event": "step", "actions": [{"code_text": ")" + code + R"("}]}])";
}

// A room change requested in every step must not keep --steps from ending
// the run: every step counts.
TEST_F(HostileRunTest, StepsEndRunsThatChangeRoomEveryStep) {
  const char* cases[] = {
      "room_restart()",
      "game_restart()",
      "game_save('s.sav'); game_load('s.sav')",
      "if (room == rm) room_goto(rm_two) else room_goto(rm)",
  };
  for (const char* code : cases) {
    SCOPED_TRACE(code);
    ROutput r = Play(Game(StepCode(std::string("show_debug_message('s'); ") + code)), "--steps 5");
    EXPECT_EQ(r.status, 0) << Stderr();
    EXPECT_EQ(r.out, "s\ns\ns\ns\ns\n");
  }
}

// After a fatal error the code stops and nothing brings the game back.
TEST_F(HostileRunTest, AFatalErrorCannotBeUndone) {
  const char* cases[] = {
      "room_goto(999); show_debug_message('after'); room_goto(rm)",
      "room_goto(999); room_restart()",
      "room = 999; room_goto(rm); game_restart()",
  };
  for (const char* code : cases) {
    SCOPED_TRACE(code);
    ROutput r = Play(Game(StepCode(std::string("show_debug_message('s'); ") + code)), "--steps 50");
    EXPECT_EQ(r.out, "s\n");  // one step, no "after", no second step
    const std::string err = Stderr();
    EXPECT_NE(err.find("Unexisting room number: 999"), std::string::npos) << err;
  }
}

// Code nested right up to the parser's limits runs on the game's own thread
// and stack, whatever stack the shell gives the main thread.
TEST_F(HostileRunTest, DeepNestingOnASmallShellStack) {
  std::string minus(990, '-');
  std::string open(140, '('), close(140, ')');
  const std::string code = "x = " + minus + "1; y = " + open + "2" + close + "; show_debug_message(string(x + y))";
  ROutput r = Play(Game(StepCode(code)), "--steps 1", "ulimit -s 256;");
  EXPECT_EQ(r.status, 0) << Stderr();
  EXPECT_EQ(r.out, "3\n");

  const fs::path eval = dir_ / "deep.code";
  std::ofstream(eval) << "return " << minus << "1 + " << open << "2" << close;
  r = Capture("ulimit -s 256; timeout -s KILL 60 " + kBin + "/roomrun --eval " + eval.string() + " 2>&1");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out, "3\n");
}

// Long flat chains (a sum of 100,000 terms, a dot chain as long, 10,000
// else-if branches) are no nesting: they compile and run in a step and
// through --eval, on a small shell stack too.
TEST_F(HostileRunTest, LongFlatChainsRunOnASmallShellStack) {
  std::string sum = "a", dots = "d", branches = "if k == 0 y = 0";
  for (int i = 1; i < 100000; ++i) {
    sum += " + a";
    dots += ".d";
  }
  for (int i = 1; i < 10000; ++i) branches += " else if k == " + std::to_string(i) + " y = " + std::to_string(i);
  const std::string code = "a = 1; d = id; k = 9998; " + branches + "; x = " + sum + "; z = " + dots +
                           " == id; show_debug_message(string(x) + ' ' + string(y) + ' ' + string(z))";
  ROutput r = Play(Game(StepCode(code)), "--steps 1", "ulimit -s 256;");
  EXPECT_EQ(r.status, 0) << Stderr();
  EXPECT_EQ(r.out, "100000 9998 1\n");

  const fs::path eval = dir_ / "chains.code";
  std::ofstream(eval) << "a = 2; k = 9998; " << branches << "; return string(" << sum << ") + ' ' + string(y)";
  r = Capture("ulimit -s 256; timeout -s KILL 60 " + kBin + "/roomrun --eval " + eval.string() + " 2>&1");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out, "\"200000 9998\"\n");  // --eval shows strings quoted
}

// Memory used up inside a step ends the game with the message and a
// failure, at once: no second step on half-built state, no crash, no hang.
// A sanitizer build cannot run under an address-space limit: then skipped.
TEST_F(HostileRunTest, RunningOutOfMemoryInAStepEndsTheGameCleanly) {
  const std::string limit = "ulimit -v 600000;";
  if (Capture(limit + " " + kBin + "/roomrun --help >/dev/null 2>&1").status != 0)
    GTEST_SKIP() << "roomrun cannot start under ulimit -v (sanitizer build)";
  const char* cases[] = {
      "repeat (100000) instance_create(0, 0, obj)",
      "l = ds_list_create(); repeat (2000000) ds_list_add(l, string_repeat('x', 1000))",
      "for (r = 0; r < 100000; r += 1) arr[r, 31999] = r",
  };
  for (const char* code : cases) {
    SCOPED_TRACE(code);
    ROutput r = Play(Game(StepCode(code)), "--steps 1000", limit);
    EXPECT_EQ(r.status, 1) << Stderr();
    EXPECT_NE(Stderr().find("Unexpected error occured when running the game."), std::string::npos) << Stderr();
  }
  const fs::path eval = dir_ / "big.code";
  std::ofstream(eval) << "l = ds_list_create(); repeat (2000000) ds_list_add(l, string_repeat('x', 1000)); return 1";
  ROutput r = Capture(limit + " timeout -s KILL 60 " + kBin + "/roomrun --eval " + eval.string() + " 2>&1");
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_NE(r.out.find("out of memory"), std::string::npos) << r.out;
}

// game_load of a FIFO: refused at once as a file that cannot be loaded,
// without waiting for a writer.
TEST_F(HostileRunTest, LoadingAFifoDoesNotBlock) {
  ASSERT_EQ(::mkfifo((dir_ / "pipe.sav").c_str(), 0600), 0);
  ROutput r = Play(Game(StepCode("show_debug_message('s'); game_load('pipe.sav')")), "--steps 3");
  EXPECT_EQ(r.out, "s\n");
  EXPECT_NE(Stderr().find("Failed to load game from file pipe.sav"), std::string::npos) << Stderr();
}

// SIGTERM, SIGINT and SIGHUP end the run as an ordinary end would clean up:
// included files removed, the private temporary folder gone.
TEST_F(HostileRunTest, TerminationSignalsCleanUp) {
  fs::path p = dir_ / "proj";
  fs::create_directories(p / "files");
  std::ofstream(p / "files" / "inc.txt") << "x";
  Game(R"J([{"event": "create", "actions": [{"code_text": "show_debug_message('up')"}]}])J");
  std::ofstream(p / "game.json") << R"({"objects": ["obj"], "rooms": ["rm", "rm_two"],
    "included_files": [{"file": "files/inc.txt", "export": "working"}, {"file": "files/inc.txt", "name": "t.txt"}]})";
  ASSERT_EQ(Capture("timeout 60 " + kBin + "/roompack " + p.string() + " -o " + (dir_ / "game.bin").string()).status,
            0);
  fs::create_directories(dir_ / "tmpbase");
  for (const char* sig : {"TERM", "INT", "HUP"}) {
    SCOPED_TRACE(sig);
    // The endless game gets the signal from timeout after 3 seconds, long
    // after it has started (its create event printed "up").
    ROutput r = Play("game.bin", "", std::string("TMPDIR=") + (dir_ / "tmpbase").string() +
                                         " timeout -k 20 --preserve-status -s " + sig + " 3");
    const int expected = 128 + (std::string(sig) == "TERM" ? 15 : std::string(sig) == "INT" ? 2 : 1);
    EXPECT_EQ(r.status, expected) << Stderr();
    EXPECT_EQ(r.out, "up\n");
    EXPECT_FALSE(fs::exists(dir_ / "inc.txt"));
    EXPECT_TRUE(fs::is_empty(dir_ / "tmpbase"));
  }
}

// What killed runs left: a temporary folder whose process is gone (removed
// by the next start) and a save's temporary files (removed by the next save
// of the same file, once they are old enough not to be a write in progress).
TEST_F(HostileRunTest, LeftoversOfKilledRunsAreRemoved) {
  const fs::path base = dir_ / "tmpbase";
  fs::create_directories(base / "or_ttt_77");
  std::ofstream(base / "or_ttt_77" / ".owner") << "2147483000 12345\n";
  std::ofstream(base / "or_ttt_77" / "big.wav") << "x";
  fs::create_directories(base / "or_ttt_78");  // no owner line: not ours to judge
  const fs::path old_temp = dir_ / ".s.sav.AbC123", new_temp = dir_ / ".s.sav.XyZ789";
  std::ofstream(old_temp) << "half";
  std::ofstream(new_temp) << "half";
  fs::last_write_time(old_temp, fs::file_time_type::clock::now() - std::chrono::minutes(5));
  const std::string game = Game(StepCode("game_save('s.sav')"));
  ROutput r = Play(game, "--steps 1", "TMPDIR=" + base.string());
  EXPECT_EQ(r.status, 0) << Stderr();
  EXPECT_FALSE(fs::exists(base / "or_ttt_77"));
  EXPECT_TRUE(fs::exists(base / "or_ttt_78"));
  EXPECT_FALSE(fs::exists(old_temp));
  EXPECT_TRUE(fs::exists(new_temp));
  EXPECT_TRUE(fs::exists(dir_ / "s.sav"));
}

// An input script saved with a byte-order mark plays like one without.
TEST_F(HostileRunTest, InputScriptWithAByteOrderMark) {
  const fs::path input = dir_ / "in.txt";
  std::ofstream(input, std::ios::binary) << "\xEF\xBB\xBF" "1 char hi\r\n";
  ROutput r = Play(Game(StepCode("show_debug_message(keyboard_string)")), "--steps 2 --input " + input.string());
  EXPECT_EQ(r.status, 0) << Stderr();
  EXPECT_EQ(r.out, "hi\nhi\n");
}

// Ignored errors that repeat (an error in every instance, every step) are
// written to stderr once and then counted; the log file still gets each.
TEST_F(HostileRunTest, RepeatedIgnoredErrorsAreCountedOnStderr) {
  const fs::path input = dir_ / "in.txt";
  std::ofstream(input) << "1 error ignore\n";
  const std::string code = "repeat(3) ds_list_size(9999); repeat(step) ds_grid_create(-1, -1); step += 1";
  const std::string events = R"([{"event": "create", "actions": [{"code_text": "step = 1"}]}, )"
                             R"({"event": "step", "actions": [{"code_text": ")" + code + R"("}]}])";
  ROutput r = Play(Game(events, R"({"log_errors": true})"), "--steps 3 --input " + input.string());
  EXPECT_EQ(r.status, 0) << Stderr();
  const std::string place = "ERROR in\naction number 1\nof Step Event\nfor object obj:\n\n";
  const std::string list = place + "Data structure with index does not exist.\n";
  const std::string grid = place + "Grid size is not valid.\n";
  const std::string expected = list + "(the same message 2 more times)\n" + grid +  // step 1
                               list + "(the same message 2 more times)\n" + grid +  // step 2
                               "(the same message 1 more time)\n" +                 // step 2
                               list + "(the same message 2 more times)\n" + grid +  // step 3
                               "(the same message 2 more times)\n";                 // owed at the end
  EXPECT_EQ(Stderr(), expected);
  // The log keeps every one of them.
  const std::string log = ReadText(dir_ / "game_errors.log");
  auto count = [&](const std::string& what) {
    size_t n = 0;
    for (size_t at = log.find(what); at != std::string::npos; at = log.find(what, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count("does not exist."), 9u) << log;
  EXPECT_EQ(count("Grid size"), 6u) << log;
}

}  // namespace
