// window_handle() in a real SDL window on an X server (Xvfb): the number the
// game sees is the window's X11 id, the one xdotool finds by the caption;
// without a window it is 0.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "../Test_Process.h"

namespace fs = std::filesystem;

namespace {
const std::string kBin = ROOMRUN_BIN_DIR;

using testproc::Capture;
using testproc::ROutput;

// The game prints its handle at step 5 and runs until --steps ends it; the
// window is looked up by its caption meanwhile.
const char* const kPlayer = R"(#!/bin/sh
game=$1; out=$2
ASAN_OPTIONS=detect_leaks=0 "$ROOMRUN" --steps 120 "$game" > "$out" 2> "$out.err" &
pid=$!
timeout 30 xdotool search --sync --onlyvisible --name roomrun-handle-probe | head -n 1 > "$out.wid"
wait $pid
)";

class WindowHandleTest : public testproc::ScratchDirTest {
 protected:
  std::string PackProbe() {
    const fs::path p = dir_ / "proj";
    fs::create_directories(p / "objects");
    fs::create_directories(p / "rooms");
    std::ofstream(p / "game.json") << R"({"objects": ["obj"], "rooms": ["rm"]})";
    std::ofstream(p / "objects" / "obj.json")
        << R"J({"events": [{"event": "step", "actions": [{"code_text": "n += 1; if (n == 5) show_debug_message(string(window_handle()))"}]},
                         {"event": "create", "actions": [{"code_text": "n = 0"}]}]})J";
    std::ofstream(p / "rooms" / "rm.json")
        << R"({"caption": "roomrun-handle-probe", "instances": [{"object": "obj"}]})";
    const std::string game = (dir_ / "game.bin").string();
    ROutput r = Capture(kBin + "/roompack " + p.string() + " -o " + game + " 2>&1");
    EXPECT_EQ(r.status, 0) << r.out;
    return game;
  }
};

TEST_F(WindowHandleTest, IsTheX11WindowIdOrZeroWithoutAWindow) {
  const std::string game = PackProbe();
  ROutput headless = Capture("ASAN_OPTIONS=detect_leaks=0 " + kBin + "/roomrun --headless --fast --steps 10 " + game +
                             " 2>/dev/null");
  EXPECT_EQ(headless.out, "0\n");

  if (std::system("command -v xvfb-run >/dev/null 2>&1 && command -v xdotool >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "xvfb-run or xdotool is not installed";
  const std::string out = (dir_ / "out.txt").string();
  const std::string player = (dir_ / "player.sh").string();
  std::ofstream(player) << kPlayer;
  ROutput r = Capture("cd " + dir_.string() + " && ROOMRUN=" + kBin +
                      "/roomrun env -u WAYLAND_DISPLAY xvfb-run -a -s '-screen 0 1024x768x24' sh " + player + " " +
                      game + " " + out + " 2>&1");
  ASSERT_EQ(r.status, 0) << r.out << testproc::ReadText(out + ".err");
  const std::string wid = testproc::ReadText(out + ".wid");
  ASSERT_FALSE(wid.empty()) << testproc::ReadText(out + ".err");
  EXPECT_EQ(testproc::ReadText(out), wid);
}

}  // namespace
