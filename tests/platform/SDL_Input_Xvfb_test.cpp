// The real input path: the input_window game played in an SDL window on an X
// server (Xvfb) while xdotool types and clicks into it, so the SDL key,
// text, button and wheel translation is what the game sees, not scripted
// input.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "../Test_Process.h"

namespace {
const std::string kBin = ROOMRUN_BIN_DIR;
const std::string kGame = std::string(ROOMRUN_SOURCE_DIR) + "/tests/games/input_window";

using testproc::Capture;
using testproc::ROutput;

// Runs in the X session: the game in the background, then the player. Each
// action waits a few steps (the room runs at 30 steps a second) so that
// every one lands in a step of its own. The game ends itself on the wheel;
// --steps bounds it should anything go astray.
const char* const kPlayer = R"(#!/bin/sh
game=$1; out=$2
ASAN_OPTIONS=detect_leaks=0 "$ROOMRUN" --steps 900 "$game" > "$out" 2> "$out.err" &
pid=$!
wid=$(timeout 30 xdotool search --sync --onlyvisible --name roomrun-input-probe | head -n 1)
if [ -z "$wid" ]; then kill $pid; exit 3; fi
xdotool windowfocus --sync "$wid"
sleep 0.5
xdotool keydown a; sleep 0.2; xdotool keyup a; sleep 0.2
for k in Left F2 h i BackSpace j Return; do xdotool key "$k"; sleep 0.2; done
xdotool mousemove --window "$wid" 21 25; sleep 0.2
xdotool click 1; sleep 0.2
xdotool mousemove --window "$wid" 200 200; sleep 0.2
xdotool click 1; sleep 0.2
xdotool click 3; sleep 0.2
xdotool click 2; sleep 0.2
xdotool click 4
wait $pid
)";

class RealInputTest : public testproc::ScratchDirTest {};

TEST_F(RealInputTest, KeysTextButtonsAndWheelFromAnXServer) {
  if (std::system("command -v xvfb-run >/dev/null 2>&1 && command -v xdotool >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "xvfb-run or xdotool is not installed";
  const std::string game = (dir_ / "game.bin").string(), out = (dir_ / "out.txt").string();
  ROutput r = Capture(kBin + "/roompack " + kGame + " -o " + game + " 2>&1");
  ASSERT_EQ(r.status, 0) << r.out;
  const std::string player = (dir_ / "player.sh").string();
  std::ofstream(player) << kPlayer;
  r = Capture("cd " + dir_.string() + " && ROOMRUN=" + kBin +
              "/roomrun env -u WAYLAND_DISPLAY xvfb-run -a -s '-screen 0 1024x768x24' sh " + player + " " + game +
              " " + out + " 2>&1");
  ASSERT_EQ(r.status, 0) << r.out << testproc::ReadText(out + ".err");
  // A is held for a few steps, so its press sees it down directly; the arrow and F2 are mapped; the typed
  // text lost the i to backspace, and return typed character 13; the left
  // button pressed on the ring's border (window and room pixels are the
  // same here) raises the event under the mouse, then the global one; the
  // right and middle buttons are SDL's 3 and 2.
  EXPECT_EQ(testproc::ReadText(out),
            "press A direct 1\nrelease A\npress left\npress F2\ntext ahj last 13\n"
            "left pressed on the ring at 21,25\nleft pressed\nleft pressed\nright pressed\nmiddle pressed\n"
            "wheel up\n")
      << testproc::ReadText(out + ".err");
}
}  // namespace
