// The drag-and-drop actions: which are registered, the relative convention,
// random directions and dice, comparison questions, alarms and time lines on
// one instance in-process, and games made of actions played headless.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "graphics/BM32_Bitmap.h"
#include "library/Function_Math.h"
#include "runtime/Instance_Class.h"
#include "runtime/Event_Main.h"
#include "runtime/IO_Main.h"
#include "runtime/Run_Global.h"
#include "runner/Option_Main.h"
#include "runtime/Run_Main.h"
#include "script/Code_Spaces.h"
#include "script/Code_Error.h"
#include "script/Code_Function.h"
#include "script/Variable_BuiltIn.h"
#include "Runtime_Code.h"
#include "../Test_Process.h"

namespace fs = std::filesystem;

namespace {

// The run-wide values the actions write, back to their start-of-game state
// so that later tests in this program see what they expect.
void RestoreGameGlobals() {
  CInstance inst(100001, 0);
  RunCodeOn(inst, "score = 0; lives = -1; health = 100; show_score = 1; show_lives = 0; show_health = 0; "
                  "caption_score = 'Score: '; caption_lives = 'Lives: '; caption_health = 'Health: '; "
                  "cursor_sprite = -1; transition_kind = 0");
  New_Room = ROOM_NONE;
  argument_relative = 0;
  ErrorResetForTests();
}

class ActionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterBuiltins();
    SetHeadlessErrorChoice(false);
    ErrorResetForTests();
    argument_relative = 0;
  }
  void TearDown() override { RestoreGameGlobals(); }
  // Runs code on inst with the relative flag as an action with its box
  // ticked (or not) would set it.
  std::string Run(CInstance& inst, const std::string& code, bool relative = false) {
    argument_relative = relative ? 1 : 0;
    std::string r = RunCodeOn(inst, code);
    argument_relative = 0;
    return r;
  }
};

// Every action with its argument count. Those not registered wait for the
// module named: they must stay unknown until it lands, never half-built.
TEST_F(ActionTest, EveryActionIsRegisteredWithItsCountOrWaitsForItsModule) {
  const std::map<std::string, int> counts = {
      {"action_path_old", 3}, {"action_set_sprite", 2}, {"action_draw_font", 1}, {"action_draw_font_old", 6},
      {"action_fill_color", 1}, {"action_line_color", 1}, {"action_highscore", 0}, {"action_move", 2},
      {"action_set_motion", 2}, {"action_set_hspeed", 1}, {"action_set_vspeed", 1}, {"action_set_gravity", 2},
      {"action_set_friction", 1}, {"action_move_point", 3}, {"action_move_to", 2}, {"action_move_start", 0},
      {"action_move_random", 2}, {"action_snap", 2}, {"action_wrap", 1}, {"action_reverse_xdir", 0},
      {"action_reverse_ydir", 0}, {"action_move_contact", 3}, {"action_bounce", 2}, {"action_path", 4},
      {"action_path_end", 0}, {"action_path_position", 1}, {"action_path_speed", 1}, {"action_linear_step", 4},
      {"action_potential_step", 4}, {"action_kill_object", 0}, {"action_create_object", 3},
      {"action_create_object_motion", 5}, {"action_create_object_random", 6}, {"action_change_object", 2},
      {"action_kill_position", 2}, {"action_sprite_set", 3}, {"action_sprite_transform", 4},
      {"action_sprite_color", 2}, {"action_sound", 2}, {"action_end_sound", 1}, {"action_if_sound", 1},
      {"action_another_room", 2}, {"action_current_room", 1}, {"action_previous_room", 1},
      {"action_next_room", 1}, {"action_if_previous_room", 0}, {"action_if_next_room", 0},
      {"action_set_alarm", 2}, {"action_sleep", 2}, {"action_set_timeline", 2}, {"action_timeline_set", 4},
      {"action_timeline_start", 0}, {"action_timeline_pause", 0}, {"action_timeline_stop", 0},
      {"action_set_timeline_position", 1}, {"action_set_timeline_speed", 1}, {"action_message", 1},
      {"action_show_info", 0}, {"action_show_video", 3}, {"action_splash_video", 2}, {"action_splash_text", 1},
      {"action_splash_image", 1}, {"action_splash_web", 2}, {"action_splash_settings", 5},
      {"action_end_game", 0}, {"action_restart_game", 0}, {"action_save_game", 1}, {"action_load_game", 1},
      {"action_replace_sprite", 3}, {"action_replace_sound", 2}, {"action_replace_background", 2},
      {"action_if_empty", 3}, {"action_if_collision", 3}, {"action_if", 1}, {"action_if_number", 3},
      {"action_if_object", 3}, {"action_if_question", 1}, {"action_if_dice", 1}, {"action_if_mouse", 1},
      {"action_if_aligned", 2}, {"action_execute_script", 6}, {"action_inherited", 0},
      {"action_if_variable", 3}, {"action_draw_variable", 3}, {"action_set_score", 1}, {"action_if_score", 2},
      {"action_draw_score", 3}, {"action_highscore_show", 5}, {"action_highscore_clear", 0},
      {"action_set_life", 1}, {"action_if_life", 2}, {"action_draw_life", 3}, {"action_draw_life_images", 3},
      {"action_set_health", 1}, {"action_if_health", 2}, {"action_draw_health", 6}, {"action_set_caption", 6},
      {"action_partsyst_create", 1}, {"action_partsyst_destroy", 0}, {"action_partsyst_clear", 0},
      {"action_parttype_create_old", 6}, {"action_parttype_create", 6}, {"action_parttype_color", 6},
      {"action_parttype_life", 3}, {"action_parttype_speed", 6}, {"action_parttype_gravity", 3},
      {"action_parttype_secondary", 5}, {"action_partemit_create", 6}, {"action_partemit_destroy", 1},
      {"action_partemit_burst", 3}, {"action_partemit_stream", 3}, {"action_cd_play", 2}, {"action_cd_stop", 0},
      {"action_cd_pause", 0}, {"action_cd_resume", 0}, {"action_cd_present", 0}, {"action_cd_playing", 0},
      {"action_set_cursor", 2}, {"action_webpage", 1}, {"action_draw_sprite", 4},
      {"action_draw_background", 4}, {"action_draw_text", 3}, {"action_draw_text_transformed", 6},
      {"action_draw_rectangle", 5}, {"action_draw_gradient_hor", 6}, {"action_draw_gradient_vert", 6},
      {"action_draw_ellipse", 5}, {"action_draw_ellipse_gradient", 6}, {"action_draw_line", 4},
      {"action_draw_arrow", 5}, {"action_color", 1}, {"action_font", 2}, {"action_fullscreen", 1},
      {"action_snapshot", 1}, {"action_effect", 6}};
  const std::set<std::string> waiting = {
      // messages, splash screens, highscores, web pages
      "action_message", "action_show_info", "action_show_video", "action_splash_video", "action_splash_text",
      "action_splash_image", "action_splash_web", "action_splash_settings", "action_if_question",
      "action_highscore_show", "action_highscore_clear", "action_webpage",
      // resources replaced at run time
      "action_replace_sprite", "action_replace_sound", "action_replace_background",
      // particles
      "action_partsyst_create", "action_partsyst_destroy", "action_partsyst_clear", "action_parttype_create_old",
      "action_parttype_create", "action_parttype_color", "action_parttype_life", "action_parttype_speed",
      "action_parttype_gravity", "action_parttype_secondary", "action_partemit_create", "action_partemit_destroy",
      "action_partemit_burst", "action_partemit_stream", "action_effect"};
  for (const auto& [name, argc] : counts) {
    const int id = FunctionFindBuiltin(name);
    if (waiting.count(name)) {
      EXPECT_EQ(id, -1) << name << " is registered but its module is not there";
    } else {
      ASSERT_GE(id, 0) << name;
      EXPECT_EQ(FunctionGet(id).f_argnumb, argc) << name;
    }
  }
  // No action_ name outside the list.
  for (int id = 0; id < FunctionCount(); ++id) {
    const std::string name(FunctionGet(id).f_name);
    if (name.rfind("action_", 0) == 0) {
      EXPECT_TRUE(counts.count(name)) << name;
    }
  }
}

TEST_F(ActionTest, MoveDrawsOnlyTheTickedDirections) {
  const struct {
    const char* dirs;
    std::set<double> directions;
    double speed;  // after a draw that does not stop
  } cases[] = {
      {"000010000", {0}, 0},                  // the middle button stops
      {"101000101", {45, 135, 225, 315}, 3},  // the four diagonals
      {"010000000", {270}, 3},
      {"000101000", {0, 180}, 3},
  };
  for (const auto& c : cases) {
    std::set<double> seen;
    RandomSetSeed(12345);
    for (int k = 0; k < 200; ++k) {
      CInstance inst(100001, 0);
      inst.SetDirection(77);
      inst.SetSpeed(1);
      Run(inst, std::string("action_move('") + c.dirs + "', 3)");
      seen.insert(inst.i_direction);
      EXPECT_EQ(inst.i_speed, c.speed) << c.dirs;
    }
    EXPECT_EQ(seen, c.directions) << c.dirs;
  }
  // Relative: the speed is added to the current one.
  CInstance inst(100001, 0);
  inst.SetSpeed(2);
  Run(inst, "action_move('000001000', 3)", true);
  EXPECT_EQ(inst.i_speed, 5);
  EXPECT_EQ(inst.i_hspeed, 5);
}

TEST_F(ActionTest, MoveRejectsADirectionTextThatIsNotNineLong) {
  for (const char* arg : {"'10100010'", "'1010001011'", "''", "101000101"}) {
    CInstance inst(100001, 0);
    inst.SetDirection(90);
    inst.SetSpeed(2);
    error_last.clear();
    Run(inst, std::string("action_move(") + arg + ", 5)");
    EXPECT_EQ(error_last, "Wrong argument to action_move().") << arg;
    EXPECT_EQ(inst.i_direction, 90) << arg;
    EXPECT_EQ(inst.i_speed, 2) << arg;
  }
  // Nine characters but nothing ticked: nothing happens, no error.
  CInstance inst(100001, 0);
  inst.SetSpeed(2);
  error_last.clear();
  Run(inst, "action_move('000000000', 5)");
  EXPECT_EQ(error_last, "");
  EXPECT_EQ(inst.i_speed, 2);
}

TEST_F(ActionTest, RelativeArgumentsAddToTheCurrentValues) {
  const struct {
    const char* setup;
    const char* action;
    const char* read;
    const char* absolute;
    const char* relative;
  } cases[] = {
      {"hspeed = 2", "action_set_hspeed(3)", "hspeed", "3", "5"},
      {"vspeed = -2", "action_set_vspeed(3)", "vspeed", "3", "1"},
      {"friction = 0.5", "action_set_friction(0.25)", "friction", "0.25", "0.75"},
      {"gravity = 1; gravity_direction = 270", "action_set_gravity(90, 2)",
       "string(gravity) + ' ' + string(gravity_direction)", "2 90", "3 360"},
      {"x = 10; y = 20", "action_move_to(5, -5)", "string(x) + ',' + string(y)", "5,-5", "15,15"},
      // Relative motion adds the vector: 2 right plus 2 up.
      {"hspeed = 2", "action_set_motion(90, 2)", "string(hspeed) + ' ' + string(vspeed)", "0 -2", "2 -2"},
      {"path_speed = 1", "action_path_speed(2)", "path_speed", "2", "3"},
      // The path position stays within [0, 1].
      {"path_position = 0.75", "action_path_position(0.5)", "path_position", "0.5", "1"},
      {"timeline_position = 4", "action_set_timeline_position(2.5)", "timeline_position", "2", "6"},
      {"timeline_speed = 1", "action_set_timeline_speed(0.5)", "timeline_speed", "0.5", "1.5"},
      {"alarm[3] = 4", "action_set_alarm(2.5, 3)", "alarm[3]", "2", "6"},
      // An inactive alarm is set, not counted from.
      {"alarm[3] = -1", "action_set_alarm(7, 3)", "alarm[3]", "7", "7"},
      // The alarm index follows the alarm variable's rule: outside 0..11 is 0.
      {"alarm[0] = 1", "action_set_alarm(7, 12)", "alarm[0]", "7", "8"},
  };
  for (const auto& c : cases) {
    for (bool rel : {false, true}) {
      CInstance inst(100001, 0);
      Run(inst, c.setup);
      Run(inst, c.action, rel);
      EXPECT_EQ(Run(inst, std::string("return ") + c.read), rel ? c.relative : c.absolute)
          << c.action << (rel ? " relative" : "");
    }
  }
}

TEST_F(ActionTest, SpritesTimeLinesAndScoreKeeping) {
  const struct {
    const char* action;
    const char* read;
    const char* want;
  } cases[] = {
      {"action_sprite_transform(2, 3, 45, 0)", "string(image_xscale) + ' ' + string(image_yscale) + ' ' + "
                                               "string(image_angle)", "2 3 45"},
      {"action_sprite_transform(2, 3, 0, 1)", "string(image_xscale) + ' ' + string(image_yscale)", "-2 3"},
      {"action_sprite_transform(2, 3, 0, 2)", "string(image_xscale) + ' ' + string(image_yscale)", "2 -3"},
      {"action_sprite_transform(2, 3, 0, 3)", "string(image_xscale) + ' ' + string(image_yscale)", "-2 -3"},
      {"action_sprite_color(255.4, 0.5)", "string(image_blend) + ' ' + string(image_alpha)", "255 0.50"},
      {"action_set_timeline(2, 6.5)", "string(timeline_index) + ' ' + string(timeline_position) + ' ' + "
                                      "string(timeline_running)", "2 6 1"},
      // Start 0 means at once; loop only for exactly 1.
      {"action_timeline_set(4, 1.6, 0, 1)", "string(timeline_index) + ' ' + string(timeline_position) + ' ' + "
                                            "string(timeline_running) + ' ' + string(timeline_loop)", "4 2 1 1"},
      {"action_timeline_set(4, 0, 1, 2)", "string(timeline_running) + ' ' + string(timeline_loop)", "0 0"},
      {"timeline_position = 5; timeline_running = 1; action_timeline_stop()",
       "string(timeline_position) + ' ' + string(timeline_running)", "0 0"},
      {"action_timeline_start(); action_timeline_pause()", "timeline_running", "0"},
      {"hspeed = 2; vspeed = -3; action_reverse_xdir(); action_reverse_ydir()",
       "string(hspeed) + ' ' + string(vspeed)", "-2 3"},
      {"xstart = 7; ystart = 8; x = 1; y = 2; action_move_start()", "string(x) + ',' + string(y)", "7,8"},
      {"action_set_score(2.5)", "score", "2"},
      {"action_set_caption(1, 'S=', 0, 'L=', 1.4, 'H=')",
       "string(show_score) + caption_score + string(show_lives) + caption_lives + string(show_health) + "
       "caption_health", "1S=0L=1H="},
  };
  for (const auto& c : cases) {
    CInstance inst(100001, 0);
    Run(inst, c.action);
    EXPECT_EQ(Run(inst, std::string("return ") + c.read), c.want) << c.action;
  }
}

TEST_F(ActionTest, ComparisonQuestions) {
  CInstance inst(100001, 0);
  Score = 10;
  Lives = 3;
  Health = 50.5;
  const struct {
    const char* question;
    const char* want;
  } cases[] = {
      {"action_if_score(10, 0)", "1"},  {"action_if_score(11, 1)", "1"}, {"action_if_score(10, 1)", "0"},
      {"action_if_score(9, 2)", "1"},   {"action_if_score(10, 7)", "1"},  // unknown operators mean equal
      {"action_if_life(3, 0)", "1"},    {"action_if_life(3, 2)", "0"},    {"action_if_health(50, 2)", "1"},
      {"action_if_health(50.5, 0)", "1"},
      {"action_if_variable(2, 2.5, 1)", "1"},
      {"action_if_variable('abc', 'abd', 1)", "1"},
      {"action_if_variable('B', 'a', 1)", "1"},  // ordinal: capitals first
      {"action_if_variable('abc', 'abc', 0)", "1"},
      {"action_if_variable('abc', 'ABC', 0)", "0"},
      {"action_if(0.5)", "0.5"},
      {"action_if('yes')", "yes"},
  };
  for (const auto& c : cases) EXPECT_EQ(Run(inst, std::string("return ") + c.question), c.want) << c.question;

  error_last.clear();
  EXPECT_EQ(Run(inst, "return action_if_variable('1', 1, 0)"), "0");
  EXPECT_EQ(error_last, "Cannot compare arguments.");
}

TEST_F(ActionTest, MissingResourcesAreReportedAndNothingElseHappens) {
  const struct {
    const char* action;
    const char* message;
  } cases[] = {
      {"action_draw_sprite(99, 0, 0, 0)", "Trying to draw a non-existing sprite."},
      {"action_draw_background(99, 0, 0, 1)", "Trying to draw a non-existing background."},
      {"action_sprite_set(99, 3, 0.25)", "Setting instance to non-existing sprite: 99"},
      {"action_set_sprite(-1, 2)", "Setting instance to non-existing sprite: -1"},
      {"action_create_object(99, 1, 2)", "Creating instance for non-existing object: 99"},
      {"action_create_object_motion(99, 1, 2, 3, 4)", "Creating instance for non-existing object: 99"},
      {"action_change_object(99, 1)", "Asking to change into non-existing object: 99"},
  };
  for (const auto& c : cases) {
    CInstance inst(100001, 0);
    error_last.clear();
    Run(inst, c.action);
    EXPECT_EQ(error_last, c.message) << c.action;
    // The sprite actions stop at the error: image and scales untouched.
    EXPECT_EQ(Run(inst, "return string(image_index) + ' ' + string(image_speed) + ' ' + string(image_xscale)"),
              "0 1 1")
        << c.action;
  }
  // None of the four objects exists: nothing happens, no error.
  CInstance inst(100001, 0);
  error_last.clear();
  Run(inst, "action_create_object_random(-1, 99, -1, 98, 0, 0)");
  EXPECT_EQ(error_last, "");
}

TEST_F(ActionTest, MouseQuestionSeesHeldAndJustReleasedButtons) {
  CInstance inst(100001, 0);
  IO_Clear();
  const auto ask = [&](int b) { return Run(inst, "return action_if_mouse(" + std::to_string(b) + ")"); };
  EXPECT_EQ(ask(0), "1");  // no button held
  EXPECT_EQ(ask(1), "0");
  IO_MouseDown(2);         // right
  EXPECT_EQ(ask(2), "1");
  EXPECT_EQ(ask(1), "0");
  EXPECT_EQ(ask(0), "0");
  EXPECT_EQ(ask(7), "0");  // any other number: no button held
  IO_MouseUp(2);           // released in this step still counts
  EXPECT_EQ(ask(2), "1");
  EXPECT_EQ(ask(0), "1");
  IO_ClearStep();
  EXPECT_EQ(ask(2), "0");
  IO_Clear();
}

TEST_F(ActionTest, DiceChances) {
  CInstance inst(100001, 0);
  RandomSetSeed(99);
  for (const char* sides : {"1", "0.4", "-3"}) {
    for (int k = 0; k < 50; ++k) ASSERT_EQ(Run(inst, std::string("return action_if_dice(") + sides + ")"), "1");
  }
  // Two sides: true with chance 1001/2000.
  int yes = 0;
  const int n = 20000;
  for (int k = 0; k < n; ++k) yes += Run(inst, "return action_if_dice(2)") == "1";
  EXPECT_NEAR(double(yes) / n, 0.5005, 0.015);
  // Six sides: 1001 chances in 6000.
  yes = 0;
  for (int k = 0; k < n; ++k) yes += Run(inst, "return action_if_dice(6)") == "1";
  EXPECT_NEAR(double(yes) / n, 1001.0 / 6000, 0.015);
}

// ---- games made of actions, played headless ----

const std::string kBin = ROOMRUN_BIN_DIR;
const std::string kGames = std::string(ROOMRUN_SOURCE_DIR) + "/tests/games/";

class ActionGameTest : public testproc::ScratchDirTest {
 protected:
  std::string Pack(const std::string& folder) {
    const std::string out = (dir_ / "game.bin").string();
    testproc::ROutput r = testproc::Capture(kBin + "/roompack " + folder + " -o " + out + " 2>&1");
    EXPECT_EQ(r.status, 0) << r.out;
    return out;
  }
  testproc::ROutput Play(const std::string& game, const std::string& switches) {
    return testproc::Capture("cd " + dir_.string() + " && " + kBin + "/roomrun --headless --fast " + switches + " " +
                             game + " 2>" + (dir_ / "stderr.txt").string());
  }
  std::string Stderr() { return testproc::ReadText(dir_ / "stderr.txt"); }
};

TEST_F(ActionGameTest, GameOfActionsPlaysToItsEnd) {
  const std::string dump = (dir_ / "state.json").string();
  testproc::ROutput r = Play(Pack(kGames + "act_game"), "--steps 500 --dump-state " + dump);
  EXPECT_EQ(r.status, 0) << Stderr();
  // Alarm 0 every 5 steps takes 40 health and gives 10 points; going
  // through 0 raises no more health, which takes a life and refills; the
  // third time the lives run out, no more lives goes to the next room and
  // the rest of the running lists is left (health stays -20, score 80).
  // The ball moved right by 4 each of the 44 full steps, wrapped at the
  // room's width 64 (no sprite, so by 64 exactly): 10 + 176 - 2 * 64 = 58.
  EXPECT_EQ(r.out,
            "10 3 60\n20 3 20\nno more health\n30 2 100\n"
            "40 2 60\n50 2 20\nno more health\n60 1 100\n"
            "70 1 60\n80 1 20\nno more health\nno more lives\n"
            "ball at 58,12\n"
            "score above 50\nno lives left\nhealth below zero\n"
            // Three random picks among -1, -1, obj_coin, -1: always the coin,
            // at the finisher's (20, 30) plus (5, -5).
            "three coins at 25,25\n"
            "a room comes before this one\n");
  // The game ended itself in the second step of the last room.
  std::ifstream f(dump);
  const nlohmann::json state = nlohmann::json::parse(f);
  EXPECT_EQ(state["steps"], 47);
  EXPECT_EQ(state["room"], "rm_end");
}

TEST_F(ActionGameTest, LivesHealthScriptsAndCreation) {
  const fs::path p = dir_ / "proj";
  fs::create_directories(p / "objects");
  fs::create_directories(p / "rooms");
  fs::create_directories(p / "scripts");
  std::ofstream(p / "game.json") << R"({"scripts": ["scr_sum"], "objects": ["obj", "obj_mover", "obj_into"],
                                        "rooms": ["rm"]})";
  std::ofstream(p / "scripts" / "scr_sum.code")
      << "show_debug_message('sum ' + string(argument0 + argument1 + argument4)); return argument0 > argument1";
  std::ofstream(p / "rooms" / "rm.json") << R"({"instances": [{"object": "obj", "x": 100, "y": 50}]})";
  std::ofstream(p / "objects" / "obj_mover.json") << R"J({"events": [{"event": "create", "actions": [
      {"call": "show_debug_message",
       "args": ["'mover at ' + string(x) + ',' + string(y) + ' speed ' + string(speed) + ' vspeed ' + string(vspeed)"]}
    ]}]})J";
  std::ofstream(p / "objects" / "obj_into.json") << R"J({"events": [{"event": "create", "actions": [
      {"call": "show_debug_message", "args": ["'into created at ' + string(x)"]}]}]})J";
  std::ofstream(p / "objects" / "obj.json") << R"({"events": [
    {"event": "create", "actions": [
      {"call": "action_set_life", "args": [1]},
      {"call": "action_set_health", "args": [5]},
      {"call": "show_debug_message", "args": ["'life 1 to 0'"]},
      {"call": "action_set_life", "args": [-1], "relative": true},
      {"call": "show_debug_message", "args": ["'life 0 to -1'"]},
      {"call": "action_set_life", "args": [-1], "relative": true},
      {"call": "show_debug_message", "args": ["'life -1 to 2 to 0'"]},
      {"call": "action_set_life", "args": [2]},
      {"call": "action_set_life", "args": [0]},
      {"call": "show_debug_message", "args": ["'health 5 to 0'"]},
      {"call": "action_set_health", "args": [-5], "relative": true},
      {"call": "show_debug_message", "args": ["'health 0 to -1'"]},
      {"call": "action_set_health", "args": [-1]},
      {"call": "action_execute_script", "args": ["scr_sum", 3, 2, 0, 0, 10], "question": true},
      {"call": "show_debug_message", "args": ["'script answered yes'"]},
      {"call": "action_execute_script", "args": ["scr_sum", 1, 2, 0, 0, 0], "question": true},
      {"call": "show_debug_message", "args": ["'script answered yes again'"]},
      {"call": "action_create_object_motion", "args": ["obj_mover", 5, 6, 3, 90], "relative": true},
      {"call": "action_change_object", "args": ["obj_into", 1]}
    ]},
    {"event": "destroy", "actions": [{"call": "show_debug_message", "args": ["'destroyed'"]}]},
    {"event": "other", "number": 6, "actions": [{"call": "show_debug_message", "args": ["'no more lives'"]}]},
    {"event": "other", "number": 9, "actions": [{"call": "show_debug_message", "args": ["'no more health'"]}]}
  ]})";
  testproc::ROutput r = Play(Pack(p.string()), "--steps 2");
  EXPECT_EQ(r.status, 0) << Stderr();
  // Only a step from above 0 to 0 or below raises the event, each time it
  // happens. The script gets the five arguments and its result is the
  // question's answer. The created instance has its motion before its
  // create event; changing performs destroy, then the new create.
  EXPECT_EQ(r.out,
            "life 1 to 0\nno more lives\nlife 0 to -1\nlife -1 to 2 to 0\nno more lives\n"
            "health 5 to 0\nno more health\nhealth 0 to -1\n"
            "sum 15\nscript answered yes\nsum 3\n"
            "mover at 105,56 speed 3 vspeed -3\n"
            "destroyed\ninto created at 100\n");
}

TEST_F(ActionGameTest, WrapMovesByTheRoomAndTheScaledSpriteSize) {
  const fs::path p = dir_ / "proj";
  fs::create_directories(p / "objects");
  fs::create_directories(p / "rooms");
  fs::create_directories(p / "sprites");
  fs::copy_file(kGames + "act_draw/sprites/spr_box.png", p / "sprites" / "spr_box.png");
  std::ofstream(p / "sprites" / "spr_box.json") << R"({"frames": ["sprites/spr_box.png"], "strip": 2})";
  std::ofstream(p / "game.json") << R"({"sprites": ["spr_box"], "objects": ["obj"], "rooms": ["rm"]})";
  // Three instances wrapping both ways (2), horizontally (0), vertically (1).
  std::ofstream(p / "rooms" / "rm.json") << R"({"width": 64, "height": 48, "instances": [
      {"object": "obj", "x": 60, "y": 3, "code_text": "how = 2"},
      {"object": "obj", "x": 60, "y": 3, "code_text": "how = 0"},
      {"object": "obj", "x": 60, "y": 3, "code_text": "how = 1"}]})";
  std::ofstream(p / "objects" / "obj.json") << R"J({"sprite": "spr_box", "events": [
    {"event": "create", "actions": [
      {"call": "action_sprite_transform", "args": [2, 1, 0, 0]},
      {"call": "action_set_hspeed", "args": [6]},
      {"call": "action_set_vspeed", "args": [-5]}]},
    {"event": "step", "actions": [{"call": "action_wrap", "args": ["how"]}]},
    {"event": "step", "number": 2, "actions": [
      {"call": "show_debug_message", "args": ["string(how) + ' ' + string(x) + ',' + string(y)"]}]}
  ]})J";
  testproc::ROutput r = Play(Pack(p.string()), "--steps 3");
  EXPECT_EQ(r.status, 0) << Stderr();
  // The sprite is 8 x 8, twice as wide: w = 16, h = 8. The wrap (step
  // event) looks before the motion: in step 2 x = 66 moving right goes back
  // by 64 + 16 and y = -2 moving up forward by 48 + 8; a left edge passed
  // while moving the other way stays.
  EXPECT_EQ(r.out,
            "2 66,-2\n0 66,-2\n1 66,-2\n"
            "2 -8,49\n0 -8,-7\n1 72,49\n"
            "2 -2,44\n0 -2,-12\n1 78,44\n");
}

// Colour of a frame pixel as 0xRRGGBB.
int Rgb(const TBitmap32& bm, int x, int y) {
  const TColor32 c = bm.GetPixel(x, y);
  return (C32_Red(c) << 16) | (C32_Green(c) << 8) | C32_Blue(c);
}

TEST_F(ActionGameTest, DrawingActionsMatchTheirFrames) {
  testproc::ROutput r =
      Play(Pack(kGames + "act_draw"), "--steps 3 --screenshot 1:lives3.png --screenshot 3:lives1.png");
  ASSERT_EQ(r.status, 0) << Stderr();
  // The 8 x 8 box (origin 4, 4; frame 0 red with a white top-left texel,
  // frame 1 green with a white one). Lives 4, one taken each step: three
  // images in step 1 at x = 2, 10, 18, so their top-left corners are
  // (-2, 0), (6, 0), (14, 0), unscaled, untinted.
  for (const auto& [file, lives] : {std::pair{"lives3.png", 3}, std::pair{"lives1.png", 1}}) {
    TBitmap32 got;
    ASSERT_TRUE(got.LoadFromImageFile((dir_ / file).string())) << file;
    ASSERT_EQ(got.s_w, 48);
    ASSERT_EQ(got.s_h, 24);
    EXPECT_EQ(Rgb(got, 0, 0), 0xFF0000) << file;  // the first image's third column
    EXPECT_EQ(Rgb(got, 5, 7), 0xFF0000) << file;
    EXPECT_EQ(Rgb(got, 6, 0), lives >= 2 ? 0xFFFFFF : 0) << file;
    EXPECT_EQ(Rgb(got, 14, 0), lives >= 3 ? 0xFFFFFF : 0) << file;
    EXPECT_EQ(Rgb(got, 21, 7), lives >= 3 ? 0xFF0000 : 0) << file;
    EXPECT_EQ(Rgb(got, 22, 0), 0) << file;
    // Relative (4, 4) from the instance at (30, 12), subimage -1: its own
    // image 1, top-left at (30, 12).
    EXPECT_EQ(Rgb(got, 30, 12), 0xFFFFFF) << file;
    EXPECT_EQ(Rgb(got, 37, 19), 0x00FF00) << file;
    EXPECT_EQ(Rgb(got, 29, 12), 0) << file;
    // Absolute (44, 20), subimage 0.
    EXPECT_EQ(Rgb(got, 40, 16), 0xFFFFFF) << file;
    EXPECT_EQ(Rgb(got, 47, 23), 0xFF0000) << file;
    TBitmap32 want;
    ASSERT_TRUE(want.LoadFromImageFile(kGames + "act_draw/expected/" + file));
    for (int y = 0; y < 24; ++y)
      for (int x = 0; x < 48; ++x) ASSERT_EQ(Rgb(got, x, y), Rgb(want, x, y)) << file << " at " << x << "," << y;
  }
}

// The actions built on collisions and shapes, in one room: a mover runs into
// a solid box, asks about places around it and removes a box by position;
// a drawer paints a relative rectangle and a half-full health bar.
TEST_F(ActionGameTest, CollisionAndShapeActionsUseTheirBuiltins) {
  const fs::path p = dir_ / "proj";
  fs::create_directories(p / "objects");
  fs::create_directories(p / "rooms");
  fs::create_directories(p / "sprites");
  fs::copy_file(kGames + "act_draw/sprites/spr_box.png", p / "sprites" / "spr_box.png");
  std::ofstream(p / "sprites" / "spr_box.json") << R"({"frames": ["sprites/spr_box.png"], "strip": 2})";
  std::ofstream(p / "game.json") << R"({"sprites": ["spr_box"], "objects": ["obj_wall", "obj_mover", "obj_draw"],
                                        "rooms": ["rm"]})";
  std::ofstream(p / "rooms" / "rm.json") << R"({"width": 64, "height": 48, "instances": [
      {"object": "obj_wall", "x": 40, "y": 12}, {"object": "obj_wall", "x": 60, "y": 44},
      {"object": "obj_mover", "x": 10, "y": 12}, {"object": "obj_draw", "x": 2, "y": 30}]})";
  std::ofstream(p / "objects" / "obj_wall.json") << R"({"sprite": "spr_box", "solid": true})";
  std::ofstream(p / "objects" / "obj_mover.json") << R"J({"sprite": "spr_box", "events": [
    {"event": "create", "actions": [
      {"call": "action_move_contact", "args": [0, 100, 0]},
      {"call": "show_debug_message", "args": ["'contact at ' + string(x)"]},
      {"call": "show_debug_message", "args": ["'empty here ' + string(action_if_empty(0, 0, 0))"]},
      {"call": "action_move_contact", "args": [180, 5, 1]},
      {"call": "show_debug_message", "args": ["'back at ' + string(x)"]},
      {"call": "action_move_contact", "args": [90, "power(10, 300)", 1]},
      {"call": "show_debug_message", "args": ["'far away at ' + string(y)"]},
      {"call": "action_move_to", "args": [32, 12]},
      {"call": "show_debug_message", "args": ["'ahead ' + string(action_if_empty(1, 0, 0)) + string(action_if_collision(1, 0, 0)) + string(action_if_object(obj_wall, 1, 0))"], "relative": true},
      {"call": "show_debug_message", "args": ["'aligned ' + string(action_if_aligned(16, 4)) + string(action_if_aligned(5, 4))"]},
      {"call": "action_kill_position", "args": [28, 32], "relative": true},
      {"call": "show_debug_message", "args": ["'walls ' + string(instance_number(obj_wall))"]}]}]})J";
  std::ofstream(p / "objects" / "obj_draw.json") << R"J({"events": [
    {"event": "create", "actions": [{"call": "action_set_health", "args": [50]}]},
    {"event": "draw", "actions": [
      {"call": "action_color", "args": [255]},
      {"call": "action_draw_rectangle", "args": [0, 0, 9, 9, 1], "relative": true},
      {"call": "action_draw_health", "args": [20, 30, 39, 39, 4, 0]}]}]})J";
  testproc::ROutput r = Play(Pack(p.string()), "--steps 1 --screenshot 1:shot.png");
  ASSERT_EQ(r.status, 0) << Stderr();
  // The 8 x 8 boxes have their origin at (4, 4): the mover stops with its
  // right edge next to the wall's left one (36), then goes back 5. Up,
  // with nothing left in the way, a huge maximum takes it far at once.
  EXPECT_EQ(r.out,
            "contact at 32\nempty here 1\nback at 27\nfar away at -2147483635\n"
            "ahead 011\naligned 10\nwalls 1\n");
  TBitmap32 got;
  ASSERT_TRUE(got.LoadFromImageFile((dir_ / "shot.png").string()));
  EXPECT_EQ(Rgb(got, 2, 30), 0xFF0000);   // the red rectangle, at the drawer's place
  EXPECT_EQ(Rgb(got, 11, 39), 0xFF0000);
  EXPECT_EQ(Rgb(got, 25, 35), 0xFFFF00);  // half health: the bar is yellow
  EXPECT_EQ(Rgb(got, 35, 35), 0xFFFFFF);  // and covers half the white back
}

// mp_grid_draw, played in a game beside the shape actions: every cell
// filled, forbidden red, free dark green, each over its own pixels.
TEST_F(ActionGameTest, GridDrawFillsEachCellByItsState) {
  const fs::path p = dir_ / "proj";
  fs::create_directories(p / "objects");
  fs::create_directories(p / "rooms");
  std::ofstream(p / "game.json") << R"({"objects": ["obj"], "rooms": ["rm"]})";
  std::ofstream(p / "rooms" / "rm.json") << R"({"width": 32, "height": 24, "instances": [{"object": "obj"}]})";
  std::ofstream(p / "objects" / "create.code") << "g = mp_grid_create(4, 2, 3, 2, 5, 4); "
                                                   "mp_grid_add_cell(g, 1, 0); mp_grid_add_cell(g, 2, 1)";
  std::ofstream(p / "objects" / "draw.code") << "mp_grid_draw(g); mp_grid_draw(99)";
  std::ofstream(p / "objects" / "obj.json") << R"J({"events": [
    {"event": "create", "actions": [{"code": "objects/create.code"}]},
    {"event": "draw", "actions": [{"code": "objects/draw.code"}]}]})J";
  testproc::ROutput r = Play(Pack(p.string()), "--steps 1 --screenshot 1:grid.png");
  ASSERT_EQ(r.status, 0) << Stderr();
  TBitmap32 got;
  ASSERT_TRUE(got.LoadFromImageFile((dir_ / "grid.png").string()));
  // Cells 5 x 4 from (4, 2): cell (1, 0) covers x 9..13, y 2..5.
  EXPECT_EQ(Rgb(got, 4, 2), 0x008000);
  EXPECT_EQ(Rgb(got, 8, 5), 0x008000);
  EXPECT_EQ(Rgb(got, 9, 2), 0xFF0000);
  EXPECT_EQ(Rgb(got, 13, 5), 0xFF0000);
  EXPECT_EQ(Rgb(got, 14, 2), 0x008000);
  EXPECT_EQ(Rgb(got, 14, 6), 0xFF0000);  // cell (2, 1)
  EXPECT_EQ(Rgb(got, 18, 9), 0xFF0000);
  EXPECT_EQ(Rgb(got, 19, 9), Rgb(got, 30, 20));  // past the grid: the room's colour
  EXPECT_EQ(Rgb(got, 3, 2), Rgb(got, 30, 20));
}

// Every registered action with hostile arguments, with and without self and
// outside any room: nothing may crash, hang or read out of bounds.
class ActionSweepTest : public testproc::ScratchDirTest {};

TEST_F(ActionSweepTest, HostileArgumentsNeverCrash) {
  RegisterBuiltins();
  SetHeadlessErrorChoice(false);
  const fs::path old_cwd = fs::current_path();
  fs::current_path(dir_);  // snapshots and saves land here
  const bool was_fast = RunSettings().fast;
  RunSettings().fast = true;  // a sleep advances the virtual clock only
  std::vector<RValue> values;
  for (double d : {0.0, -1.0, 1.0, 2.5, 3.0, 12.0, 1e300, -1e300, std::nan(""), HUGE_VAL, -HUGE_VAL}) {
    RValue v;
    v.SetReal(d);
    values.push_back(v);
  }
  for (const char* t : {"", "abc", "000010000", "111111111", "1"}) {
    RValue v;
    v.SetString(t);
    values.push_back(v);
  }
  RandomSetSeed(7);
  for (int id = 0; id < FunctionCount(); ++id) {
    const RFunction& f = FunctionGet(id);
    if (f.f_name.rfind("action_", 0) != 0) continue;
    for (int round = 0; round < 40; ++round) {
      RValue args[kMaxFunctionArgs];
      for (int k = 0; k < f.f_argnumb; ++k)
        args[k] = values[size_t(round < int(values.size()) ? round : RandomInt(int(values.size())))];
      for (bool relative : {false, true}) {
        CInstance inst(100001, 0);
        for (CInstance* self : {&inst, static_cast<CInstance*>(nullptr)}) {
          argument_relative = relative ? 1 : 0;
          RValue result;
          f.f_routine(self, self, f.f_argnumb, result, args);
          ErrorResetForTests();
          New_Room = ROOM_NONE;
        }
      }
    }
  }
  RunSettings().fast = was_fast;
  opt_showcursor = true;
  RestoreGameGlobals();
  fs::current_path(old_cwd);
}

}  // namespace
