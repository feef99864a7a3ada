// End-to-end: the run_mouse_joy game played headless with scripted input:
// the mouse events under the cursor (a ring whose hole is not under it),
// the global, wheel, enter and leave events, two joysticks plugged, moved
// and unplugged, a remapped key seen directly and through the map, and
// Num Lock.
#include <gtest/gtest.h>

#include <string>

#include "../Test_Process.h"

namespace {
const std::string kBin = ROOMRUN_BIN_DIR;
const std::string kGame = std::string(ROOMRUN_SOURCE_DIR) + "/tests/games/run_mouse_joy";

using testproc::Capture;
using testproc::ROutput;

class MouseJoystickGameTest : public testproc::ScratchDirTest {
 protected:
  void SetUp() override {
    ScratchDirTest::SetUp();
    ROutput r = Capture(kBin + "/roompack " + kGame + " -o " + Game() + " 2>&1");
    ASSERT_EQ(r.status, 0) << r.out;
  }
  std::string Game() const { return (dir_ / "game.bin").string(); }
  ROutput Play(const std::string& input, int steps) {
    return Capture("cd " + dir_.string() + " && " + kBin + "/roomrun --headless --fast --steps " +
                   std::to_string(steps) + " --input " + input + " " + Game() + " 2>/dev/null");
  }
};

TEST_F(MouseJoystickGameTest, EventsFireInTheStepsTheirInputArrivesIn) {
  ROutput r = Play(kGame + "/input/play.txt", 19);
  EXPECT_EQ(r.status, 0);
  // The ring is 10 x 10 at (20, 20) with a 2-pixel border: (21, 25) is on
  // it, (24, 24) in its hole (inside the bounding box, not in the mask).
  // Per step: held buttons, then pressed, then released, each under the
  // mouse before its global event; enter and leave after the buttons; the
  // wheel last. A press and release between two steps counts as held.
  // Joystick 1's thresholds: x 0 is left, 65535 right, y 10000 up, 50000
  // down; centred (32767) is direction 101; an unplugged stick raises
  // nothing and reads as absent.
  const std::string joy_absent = "exists 0 name '' axes 0 buttons 0 pov? 0 dir 101 x 0 y 0 pov -1 b1 0 b2 0\n";
  EXPECT_EQ(r.out,
            "2 nobutton\n2 enter\n"
            "3 leave\n"
            "4 left\n4 global-left\n4 left-pressed\n4 global-left-pressed\n4 enter\n"
            "5 left\n5 global-left\n"
            "6 global-left-released\n6 leave\n"
            "7 global-right\n7 global-right-pressed\n7 global-right-released\n"
            "8 wheel-up\n8 wheel-down\n"
            "9 joy1 exists 1 name 'Test Pad' axes 4 buttons 12 pov? 1 dir 101 x 0 y 0 pov -1 b1 0 b2 0\n"
            "9 joy2 " + joy_absent +
            "10 j1-left\n10 j1-button1\n"
            "11 j1-right\n11 j1-up\n11 j1-button1\n"
            "12 j1-down\n12 j1-button8\n"
            "12 joy1 exists 1 name 'Test Pad' axes 4 buttons 12 pov? 1 dir 98 x 0 y 0.53 pov 90 b1 0 b2 0\n"
            "12 joy2 exists 1 name 'Joystick' axes 2 buttons 2 pov? 0 dir 101 x 0 y 0 pov -1 b1 0 b2 0\n"
            "13 j2-button2\n"
            "13 joy1 " + joy_absent +
            "13 joy2 exists 1 name 'Joystick' axes 2 buttons 2 pov? 0 dir 101 x 0 y 0 pov -1 b1 0 b2 1\n"
            "14 joy1 " + joy_absent + "14 joy2 " + joy_absent +
            // A is mapped to the left arrow: the keyboard event and
            // keyboard_check see the left arrow, keyboard_check_direct the A
            // key. keyboard_set_numlock(false) in step 17 presses Num Lock,
            // which arrives before step 18.
            "15 kb-left\n15 direct A 1 check A 0 check left 1 numlock 0\n"
            "16 direct A 0 check A 0 check left 0 numlock 0\n"
            "17 direct A 0 check A 0 check left 0 numlock 1\n"
            "18 direct A 0 check A 0 check left 0 numlock 0\n");
}
}  // namespace
