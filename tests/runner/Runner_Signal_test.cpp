// A game whose step loops forever ends at SIGINT, SIGTERM and SIGHUP within
// two seconds, with status 128 + the signal, running no further game code
// and leaving no temporary files; the same signals end a healthy game.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "../Test_Process.h"

namespace fs = std::filesystem;

namespace {
const std::string kBin = ROOMRUN_BIN_DIR;
const std::string kGame = std::string(ROOMRUN_SOURCE_DIR) + "/tests/games/window_frame";

using testproc::Capture;
using testproc::ROutput;

class RunnerSignalTest : public testproc::ScratchDirTest {
 protected:
  struct REnd {
    int status = -1;
    int ms = -1;
    std::string out;
  };

  // Plays the game headless and sends `signal` once it has said `when`.
  REnd PlayAndSignal(const std::string& signal, const std::string& when, bool hang) {
    const std::string game = (dir_ / "game.bin").string();
    ROutput r = Capture(kBin + "/roompack " + kGame + " -o " + game + " 2>&1");
    EXPECT_EQ(r.status, 0) << r.out;
    fs::create_directories(dir_ / "tmp");
    const std::string script = std::string(R"(#!/bin/sh
dir=$1
ROOMRUN_TEST_HANG=)") + (hang ? "1" : "0") + R"( ASAN_OPTIONS=detect_leaks=0 TMPDIR="$dir/tmp" "$ROOMRUN" --headless "$dir/game.bin" > "$dir/out.txt" 2>&1 &
pid=$!
for i in $(seq 300); do grep -q ')" + when + R"(' "$dir/out.txt" && break; sleep 0.1; done
sleep 0.5
start=$(date +%s%N)
kill -)" + signal + R"( $pid
# Ended by force after ten seconds, so that a failure leaves nothing running.
( sleep 10; kill -KILL $pid 2>/dev/null ) &
guard=$!
wait $pid
echo $? > "$dir/status"
echo $(( ($(date +%s%N) - start) / 1000000 )) > "$dir/ms"
kill $guard 2>/dev/null
)";
    std::ofstream(dir_ / "play.sh") << script;
    r = Capture("ROOMRUN=" + kBin + "/roomrun sh " + (dir_ / "play.sh").string() + " " + dir_.string() + " 2>&1");
    EXPECT_EQ(r.status, 0) << r.out;
    REnd end;
    const std::string status = testproc::ReadText(dir_ / "status"), ms = testproc::ReadText(dir_ / "ms");
    if (!status.empty()) end.status = std::stoi(status);
    if (!ms.empty()) end.ms = std::stoi(ms);
    end.out = testproc::ReadText(dir_ / "out.txt");
    return end;
  }
};

TEST_F(RunnerSignalTest, AStuckGameEndsAtATerminationSignal) {
  struct Case {
    const char* signal;
    int status;
  };
  for (const Case& c : {Case{"INT", 130}, Case{"TERM", 143}, Case{"HUP", 129}}) {
    SCOPED_TRACE(c.signal);
    const REnd end = PlayAndSignal(c.signal, "hanging", true);
    EXPECT_EQ(end.status, c.status) << end.out;
    EXPECT_GE(end.ms, 0);
    EXPECT_LT(end.ms, 2000);
    // The game said it hangs and nothing after: no step, no game end.
    const std::string tail = "hanging\n";
    EXPECT_TRUE(end.out.size() >= tail.size() && end.out.compare(end.out.size() - tail.size(), tail.size(), tail) == 0)
        << end.out;
    EXPECT_TRUE(fs::is_empty(dir_ / "tmp"));
  }
}

TEST_F(RunnerSignalTest, AHealthyGameEndsAtATerminationSignal) {
  const REnd end = PlayAndSignal("TERM", "window", false);
  EXPECT_EQ(end.status, 143) << end.out;
  EXPECT_LT(end.ms, 2000);
  EXPECT_TRUE(fs::is_empty(dir_ / "tmp"));
}
}  // namespace
