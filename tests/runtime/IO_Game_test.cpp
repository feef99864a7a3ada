// End-to-end: the run_input game played headless with scripted input; the
// debug-message lines show which input events ran and in which order.
#include <gtest/gtest.h>

#include "../Test_Process.h"
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {
const std::string kBin = ROOMRUN_BIN_DIR;
const std::string kGame = std::string(ROOMRUN_SOURCE_DIR) + "/tests/games/run_input";

using testproc::Capture;
using testproc::ROutput;
using testproc::ReadText;

class InputGameTest : public testproc::ScratchDirTest {
 protected:
  void SetUp() override {
    ScratchDirTest::SetUp();
    ROutput r = Capture(kBin + "/roompack " + kGame + " -o " + Game() + " 2>&1");
    ASSERT_EQ(r.status, 0) << r.out;
  }

  std::string Game() const { return (dir_ / "game.bin").string(); }
  std::string Write(const std::string& name, const std::string& text) {
    const fs::path p = dir_ / name;
    std::ofstream(p, std::ios::binary) << text;
    return p.string();
  }
  ROutput Play(const std::string& input, const std::string& steps = "100") {
    return Capture("cd " + dir_.string() + " && " + kBin + "/roomrun --headless --fast --steps " + steps +
                   " --input " + input + " " + Game() + " 2>" + (dir_ / "stderr.txt").string());
  }
  std::string Stderr() const { return ReadText(dir_ / "stderr.txt"); }

};

TEST_F(InputGameTest, KeyboardPhaseOrderMouseInAViewAndEsc) {
  ROutput r = Play(kGame + "/input/play.txt");
  EXPECT_EQ(r.status, 0) << Stderr();
  // The keyboard events come before the step event; a held key repeats its
  // keyboard event without a new press; a key pressed and released between
  // steps raises its keyboard, press and release events in one step; key 200
  // raises only the any-key events; backspace deletes a typed character; the
  // close button raises other 30 before the step; a key press that changes
  // the room stops the rest of that step; entering the room clears the input;
  // the cursor is converted through the views of the last drawn frame: in
  // the room's first step that frame was of the room before, which had no
  // views; then view 1 (port 100x80 at 500,400 showing 100x100 at
  // 1000,1000) where views 0 and 1 both hold the point, and view 0's
  // conversion (port 640x480 showing 320x240 at 100,50) for a point in
  // neither view; Esc ends the game.
  EXPECT_EQ(r.out,
            "kb none\nstep 1 key 0 last 0 char  text  held200 0\n"
            "kb left\nkb any\npress left\npress any\nstep 2 key 37 last 37 char  text  held200 0\n"
            "kb left\nkb any\nstep 3 key 37 last 37 char  text  held200 0\n"
            "kb none\nrelease left\nrelease any\nstep 4 key 0 last 37 char  text  held200 0\n"
            "kb A\nkb any\npress A\npress any\nrelease A\nrelease any\nstep 5 key 0 last 65 char  text  held200 0\n"
            "kb any\npress any\nstep 6 key 200 last 200 char  text  held200 1\n"
            "kb none\nrelease any\nstep 7 key 0 last 200 char ! text H! held200 0\n"
            "close button\nkb none\nstep 8 key 0 last 200 char ! text H! held200 0\n"
            "kb any\n"
            "mouse 300,40 button 0 last 0 held 0 pressed 0 released 0 wheel 0\n"
            "mouse 1050,1050 button 1 last 1 held 1 pressed 1 released 0 wheel 0\n"
            "mouse 1050,1050 button 0 last 1 held 0 pressed 0 released 1 wheel 1\n"
            "mouse 450,300 button 0 last 1 held 0 pressed 0 released 0 wheel 0\n"
            "game end\n");
}

TEST_F(InputGameTest, EscEndsTheGameAtTheStepItArrivesIn) {
  ROutput r = Play(Write("esc.txt", "3 key down vk_escape\n"));
  EXPECT_EQ(r.status, 0) << Stderr();
  EXPECT_EQ(r.out,
            "kb none\nstep 1 key 0 last 0 char  text  held200 0\n"
            "kb none\nstep 2 key 0 last 0 char  text  held200 0\n");
}

TEST_F(InputGameTest, BadOrMissingInputFileIsRefusedBeforeTheGameStarts) {
  const std::string bad = Write("bad.txt", "# fine so far\n2 key down vk_left\n3 key down vk_nowhere\n");
  ROutput r = Play(bad);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "");  // no step ran
  EXPECT_NE(Stderr().find(bad + ":3: unknown key \"vk_nowhere\""), std::string::npos) << Stderr();

  const std::string missing = (dir_ / "absent.txt").string();
  r = Play(missing);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(Stderr().find(missing + ": cannot read the input file"), std::string::npos) << Stderr();
}

TEST_F(InputGameTest, ScriptedAnswerToErrorMessages) {
  // The key press for B reads a missing variable. Answered "ignore", the run
  // goes on; the report clears the input, so the rest of that step sees no
  // key. The default answer in headless runs is abort.
  ROutput r = Play(Write("ignore.txt", "1 error ignore\n2 key tap B\n"), "3");
  EXPECT_EQ(r.status, 0) << Stderr();
  EXPECT_EQ(r.out,
            "kb none\nstep 1 key 0 last 0 char  text  held200 0\n"
            "kb any\npress any\nstep 2 key 0 last 0 char  text  held200 0\n"
            "kb none\nstep 3 key 0 last 0 char  text  held200 0\n");
  EXPECT_NE(Stderr().find("Unknown variable no_such_variable"), std::string::npos);

  r = Play(Write("abort.txt", "2 key tap B\n"), "3");
  EXPECT_EQ(r.out, "kb none\nstep 1 key 0 last 0 char  text  held200 0\nkb any\n");
}

}  // namespace

TEST_F(InputGameTest, F5SavesAndF6LoadsAtOnce) {
  // F5 before step 3 saves the state after step 2 to "_save" + game id +
  // ".sav"; F6 before step 6 loads it inside that step, so step 6 counts as
  // step 3 again. The keys still raise their keyboard events; the last key
  // reads 0 because the special keys consume it.
  ROutput r = Play(Write("keys.txt", "3 key tap F5\n6 key tap vk_f6\n"), "7");
  EXPECT_EQ(r.status, 0) << Stderr();
  const std::string f_step = "kb any\npress any\nrelease any\nstep 3 key 0 last 0 char  text  held200 0\n";
  EXPECT_EQ(r.out,
            "kb none\nstep 1 key 0 last 0 char  text  held200 0\n"
            "kb none\nstep 2 key 0 last 0 char  text  held200 0\n" +
                f_step +
                "kb none\nstep 4 key 0 last 0 char  text  held200 0\n"
                "kb none\nstep 5 key 0 last 0 char  text  held200 0\n" +
                f_step + "kb none\nstep 4 key 0 last 0 char  text  held200 0\n");
  EXPECT_TRUE(fs::exists(dir_ / "_save5.sav"));
}
