// End-to-end: game folders packed with roompack and played headless with
// roomrun; the debug-message lines on standard output show what ran.
#include <gtest/gtest.h>

#include "../Test_Process.h"
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

namespace fs = std::filesystem;

namespace {
const std::string kBin = ROOMRUN_BIN_DIR;
const std::string kGames = std::string(ROOMRUN_SOURCE_DIR) + "/tests/games/";

using testproc::Capture;
using testproc::ROutput;
using testproc::ReadText;

class GameRunTest : public testproc::ScratchDirTest {
 protected:
  // Packs a folder (a fixture name or a path) and returns the game file.
  std::string Pack(const std::string& folder) {
    const std::string src = folder.find('/') == std::string::npos ? kGames + folder : folder;
    const std::string out = (dir_ / "game.bin").string();
    ROutput r = Capture(kBin + "/roompack " + src + " -o " + out + " 2>&1");
    EXPECT_EQ(r.status, 0) << r.out;
    return out;
  }
  ROutput Play(const std::string& game, const std::string& switches) {
    return Capture("cd " + dir_.string() + " && " + kBin + "/roomrun --headless --fast " + switches + " " + game +
                   " 2>" + (dir_ / "stderr.txt").string());
  }
  std::string Stderr() { return ReadText(dir_ / "stderr.txt"); }
  // A small project written on the spot: one object with the given events
  // and one room holding one instance of it.
  std::string OneObjectGame(const std::string& events, const std::string& room_extra = "") {
    fs::path p = dir_ / "proj";
    fs::create_directories(p / "objects");
    fs::create_directories(p / "rooms");
    std::ofstream(p / "game.json") << R"({"objects": ["obj"], "rooms": ["rm", "rm_last"]})";
    std::ofstream(p / "objects" / "obj.json") << R"({"events": )" << events << "}";
    std::ofstream(p / "rooms" / "rm_last.json") << "{}";
    std::ofstream(p / "rooms" / "rm.json") << R"({"instances": [{"object": "obj", "x": 5, "y": 6}])" << room_extra
                                           << "}";
    return Pack(p.string());
  }

};

TEST_F(GameRunTest, StepOrderAlarmsTimeLinesAndInheritance) {
  ROutput r = Play(Pack("run_order"), "--steps 4");
  EXPECT_EQ(r.status, 0) << Stderr();
  // Creation code before the create event (create_first off), game start
  // after every create event and before the room's code, room start last;
  // alarm 0 set to 3 fires in the third step, alarm 1 set to 0 never; the
  // time line's moment 2 runs in the third step; event_user reaches the
  // parent, and event_inherited goes on to the parent's end step.
  EXPECT_EQ(r.out,
            "creation code\ncreate\ngame start\nroom code\nroom start\n"
            "begin step 1\nmoment 0 type 100000\nstep\nend step\nbase end step 100001\nbase end step 100002\n"
            "begin step 2\nstep\nend step\nbase end step 100001\nbase end step 100002\n"
            "begin step 3\nmoment 2\nalarm 0 at 3\nbase user0 from 0\nstep\nend step\n"
            "base end step 100001\nbase end step 100002\n"
            "begin step 4\nstep\nend step\nbase end step 100001\nbase end step 100002\n"
            "room end\ngame end\n");
}

TEST_F(GameRunTest, RoomsPersistenceDestroyInWithAndRestart) {
  ROutput r = Play(Pack("run_rooms"), "--steps 100");
  EXPECT_EQ(r.status, 0) << Stderr();
  // rm_b is persistent: revisiting it runs no create event or code but the
  // room start again; rm_a is made anew on every visit; the persistent
  // keeper travels along and replaces its own design instance in rm_a; a
  // restart resets the globals but keeps the health.
  EXPECT_EQ(r.out,
            "counter create 0\nkeeper create health 100\nroom start 0 visits 1 starts 1\n"
            "step in 0 count 0\nstep in 0 count 0\n"
            "counter create 1\ndestroy 100004\nafter destroy 1\ndestroy 100005\nafter destroy 0\n"
            "room start 1 visits 1 starts 2\nstep in 1 count 0\n"
            "counter create 0\nroom start 0 visits 1 starts 3\nstep in 0 count 0\n"
            "room start 1 visits 2 starts 4\nstep in 1 count 0\n"
            "counter create 0\nroom start 0 visits 1 starts 5\nstep in 0 count 0\n"
            "counter create 0\nroom start 0 visits 1 starts 6\nstep in 0 count 0\n"
            "game end\ncounter create 0\nkeeper create health 50\ngame end\n");
}

TEST_F(GameRunTest, TimeLinesForwardBackwardLoopAndSkipping) {
  ROutput r = Play(Pack("run_timeline"), "--steps 7");
  EXPECT_EQ(r.status, 0) << Stderr();
  // Moments at 0, 2 and 5. A forward step runs the moments in [p, p + s), a
  // backward one those in (p + s, p]; a loop wraps to 0 past the last moment
  // going forward (the overshoot is dropped) and to the last moment below 0
  // going backward. fwd: speed 1, loop; two: speed 2; three: speed 3, loop
  // (two moments in one step); back: speed -1 from 5, loop; back2: speed -2
  // from 6, so moment 2 is not in (2, 4] but in (0, 2].
  EXPECT_EQ(r.out,
            "1 fwd m0\n1 two m0\n1 three m0\n1 three m2\n1 back m5\n1 back2 m5\n"
            "2 two m2\n2 three m5\n"
            "3 fwd m2\n3 two m5\n3 three m0\n3 three m2\n3 back2 m2\n"
            "4 three m5\n4 back m2\n4 back2 m0\n"
            "5 three m0\n5 three m2\n"
            "6 fwd m5\n6 three m5\n6 back m0\n"
            "7 fwd m0\n7 three m0\n7 three m2\n7 back m5\n");
}

TEST_F(GameRunTest, RestartEndsTheGameAndStartsEveryRoomFromItsDesign) {
  ROutput r = Play(Pack("run_restart"), "--steps 20");
  EXPECT_EQ(r.status, 0) << Stderr();
  // rm_1 is persistent and obj_pers persistent; the restart requested in
  // rm_2 gives room end and game end events, then the game starts again:
  // rm_1 is made from its design (create events and room code again), the
  // carried obj_pers is dropped (a fresh one counts its room starts from 1),
  // score and lives are reset and the health of 40 is kept.
  EXPECT_EQ(r.out,
            "main create\npers create\ngame start score 0 lives -1 health 100\nrm_1 code\n"
            "main room start\npers room start 1\n"
            "main room end\npers room end\n"
            "two create\ntwo room start score 10 lives 3\npers room start 2\n"
            "two room end\npers room end\ntwo game end\npers game end\n"
            "main create\npers create\ngame start score 0 lives -1 health 40\nrm_1 code\n"
            "main room start\npers room start 1\n"
            "main room end\npers room end\nmain game end\npers game end\n");
}

TEST_F(GameRunTest, CreateFirstOrdersCreateEventAndCreationCode) {
  // The placed instances are visited in order, each with its create event and
  // its creation code in the order the setting gives; an instance created
  // meanwhile gets only its own create event. Game start follows every
  // create event, then the room's code, then room start.
  const std::string tail =
      "game start 1\ngame start 2\nspawn game start\nroom code 2 1\n";
  ROutput first = Play(Pack("run_createfirst"), "--steps 1");
  EXPECT_EQ(first.status, 0) << Stderr();
  EXPECT_EQ(first.out, "create 1\nspawn create 3\ncode 1\ncreate 2\ncode 2\n" + tail +
                           "room start 1 code\nroom start 2 code\nspawn room start\n");

  const fs::path copy = dir_ / "code_first";
  fs::copy(kGames + "run_createfirst", copy, fs::copy_options::recursive);
  std::ofstream(copy / "game.json", std::ios::trunc)
      << R"({"settings": {"create_first": false}, "objects": ["obj_thing", "obj_spawn"], "rooms": ["rm"]})";
  ROutput second = Play(Pack(copy.string()), "--steps 1");
  EXPECT_EQ(second.status, 0) << Stderr();
  EXPECT_EQ(second.out, "code 1\ncreate 1\nspawn create 3\ncode 2\ncreate 2\n" + tail +
                            "room start 1 create\nroom start 2 create\nspawn room start\n");
}

TEST_F(GameRunTest, DeactivatedInstancesTakePartInNothingAndComeBackAsTheyWere) {
  ROutput r = Play(Pack("run_deact"), "--steps 50");
  // The bad sprite below is answered Abort (the headless default): status 3.
  EXPECT_EQ(r.status, 3) << Stderr();
  // Ids less 100000: 1 the controller, 2 and 3 obj_a (moving right), 4 obj_b,
  // 5 obj_base (parent of obj_a), 6 obj_box (box 95..104 x 95..104), 7 obj_dot
  // (no sprite, at 150,150), 8 obj_keep (persistent, at 45,45); "roster" is
  // the active list in order, [...] the instances that cannot be found.
  EXPECT_EQ(r.out,
            "room start [] view 0\n"
            // By id, then by object with descendants: not found, not counted,
            // not visited by with.
            "roster 1 2 3 4 5 6 7 8\nroster 1 4 6 7 8\n"
            "number 3 exists 0 0 find 4 count 5 with 3 base 0\n"
            // Back at the end of the list in deactivated-list order, without
            // the begin steps, motion and animation they missed.
            "roster 1 4 6 7 8 5 2 3\na1 n 1 x 10 image 0\nb1 n 3\n"
            // Their alarms (set to 2, counted down once before they left)
            // did not count while they were away.
            "alarm 2 n 2\nalarm 3 n 2\n"
            // -1 self, -2 other (nested with), all but me, one object, all.
            "roster 1 6 8 5 2 3\nroster 1\nroster 1 4\nroster 1 4 7 6 8 5 2 3\n"
            // Regions are closed; a shape is tested by its box, a shapeless
            // instance by its position; inside false picks what lies outside.
            "R1 [7]\nR2 [6]\nR3 [7]\nR3 back []\nR4 [2 3 4 5 8]\n"
            // Destroyed while deactivated: gone for good.
            "b back 0 count 7\n"
            // -3 takes the running instance too; its code goes on.
            "all off 0 0\n"
            // Leaving the persistent room: the deactivated keeper gets no room
            // end and is not carried; the room keeps it deactivated.
            "room end 4\nother room keep 0 a 0 count 1\nroom start [2 3 4 8] view 0\n"
            "all back [4]\nkeep pk\na1 n 6\n"
            // The 50th step asks for a room change: --steps ends the game
            // there, in this room.
            "keep room end\n");
  EXPECT_NE(Stderr().find("Setting instance to non-existing sprite: 99"), std::string::npos) << Stderr();
}

TEST_F(GameRunTest, CarriedInstancesAndDeactivationWhileEnteringRooms) {
  ROutput r = Play(Pack("run_deact_carry"), "--steps 50");
  EXPECT_EQ(r.status, 0) << Stderr();
  // The second p from rm_c's design has the id of the one left deactivated
  // in the persistent rm_a; arriving there it replaces that one, so
  // activating everything gives one p, not two with one id. In rm_b the
  // first instance's create event deactivates the far one before its turn:
  // it gets no create event, and the carried p (now at its position in the
  // list) gets none either.
  EXPECT_EQ(r.out,
            "p create 100002\nphase 1 in 0 p 1\nphase 2 in 1 p 1\n"
            "p create 100002\nphase 3 in 0 p 1\nphase 4 in 1 p 1\np after activation 1\n"
            "phase 5 in 2 p 1\nfar 0\n");
}

TEST_F(GameRunTest, CopiesAndChangesOfADeactivatedInstanceAreActive) {
  const std::string game = OneObjectGame(R"J([
    {"event": "create", "actions": [{"code_text": "if (id == 100001) { instance_deactivate_object(-1); c = instance_copy(false); instance_change(obj, false); show_debug_message(string(instance_exists(c)) + ' ' + string(instance_number(obj))); instance_activate_all(); show_debug_message(instance_number(obj)) }"}]},
    {"event": "step", "actions": [{"code_text": "show_debug_message('step ' + string(id)); instance_destroy()"}]}
  ])J");
  ROutput r = Play(game, "--steps 2");
  EXPECT_EQ(r.status, 0) << Stderr();
  // The copy and the changed instance (which keeps the id 100001) are
  // active at once; the deactivated original is replaced, not revived.
  EXPECT_EQ(r.out, "1 2\n2\nstep 100002\nstep 100001\n");
}

TEST_F(GameRunTest, RoomGotoStopsTheStepAndFurtherEvents) {
  const std::string game = OneObjectGame(R"J([
    {"event": "create", "actions": [{"code_text": "alarm[0] = 1"}]},
    {"event": "alarm", "number": 0, "actions": [
      {"code_text": "show_debug_message('alarm'); room_goto(rm_last)"},
      {"code_text": "show_debug_message('next action runs')"}]},
    {"event": "step", "actions": [{"code_text": "show_debug_message('step ' + string(room))"}]}
  ])J");
  ROutput r = Play(game, "--steps 3");
  EXPECT_EQ(r.status, 0) << Stderr();
  EXPECT_EQ(r.out, "alarm\n");
}

TEST_F(GameRunTest, StepEventOfManyInstancesKeepsContextArgumentsAndStops) {
  // Three instances of a child whose step event (one code action) comes from
  // its parent. Each sees the event's context with the parent as supplier
  // and a clean argument0 although the one before wrote it; an event it
  // performs inside leaves the context as it was; the second one's room
  // change stops the phase before the third, and nothing else runs.
  fs::path p = dir_ / "proj";
  fs::create_directories(p / "objects");
  fs::create_directories(p / "rooms");
  std::ofstream(p / "game.json") << R"({"objects": ["par", "obj"], "rooms": ["rm", "rm_last"]})";
  std::ofstream(p / "objects" / "par.json") << R"J({"events": [
    {"event": "step", "actions": [{"code_text": "show_debug_message(string(id) + ' ' + string(event_type) + ' ' + string(event_number) + ' ' + string(event_object) + ' ' + string(argument0)); argument0 = 7; event_user(1); show_debug_message(string(event_type) + ' ' + string(event_object)); if (id == 100002) room_goto(rm_last)"}]},
    {"event": "other", "number": 11, "actions": [{"code_text": "show_debug_message('user ' + string(event_type) + ' ' + string(event_number))"}]},
    {"event": "step", "number": "end", "actions": [{"code_text": "show_debug_message('end step')"}]}
  ]})J";
  std::ofstream(p / "objects" / "obj.json") << R"({"parent": "par"})";
  std::ofstream(p / "rooms" / "rm_last.json") << "{}";
  std::ofstream(p / "rooms" / "rm.json")
      << R"({"instances": [{"object": "obj", "x": 1, "y": 1}, {"object": "obj", "x": 2, "y": 2}, {"object": "obj", "x": 3, "y": 3}]})";
  ROutput r = Play(Pack(p.string()), "--steps 2");
  EXPECT_EQ(r.status, 0) << Stderr();
  EXPECT_EQ(r.out,
            "100001 3 0 0 0\nuser 7 11\n3 0\n"
            "100002 3 0 0 0\nuser 7 11\n3 0\n");
}

TEST_F(GameRunTest, StepEventOfManyInstancesKeepsActionStateCreationAndDestruction) {
  // Four instances run one relative code action as their step event. Each
  // sees argument_relative 1 and event_action 0 although the one before ran
  // a two-action user event inside (which leaves event_action 1 behind, and
  // writes argument0) and returned a value; the first destroys the third,
  // which is skipped, and creates a fifth, which waits for the next step;
  // the end step event, a plain action, sees argument_relative 0 again and a
  // clean argument0.
  const std::string game = OneObjectGame(R"J([
    {"event": "step", "actions": [{"relative": true, "code_text": "show_debug_message(string(id) + ' rel ' + string(argument_relative) + ' act ' + string(event_action)); event_user(2); if (id == 100001 && instance_exists(100003)) { with (100003) instance_destroy(); instance_create(9, 9, obj) } return 'done'"}]},
    {"event": "other", "number": 12, "actions": [{"code_text": "argument1 = 'x'"}, {"code_text": "argument0 = 5"}]},
    {"event": "step", "number": "end", "actions": [{"code_text": "show_debug_message(string(id) + ' end rel ' + string(argument_relative) + ' ' + string(argument0))"}]}
  ])J",
                                         R"J(, "code_text": "instance_create(1, 1, obj); instance_create(2, 2, obj); instance_create(3, 3, obj)")J");
  ROutput r = Play(game, "--steps 2");
  EXPECT_EQ(r.status, 0) << Stderr();
  EXPECT_EQ(r.out,
            "100001 rel 1 act 0\n100002 rel 1 act 0\n100004 rel 1 act 0\n"
            "100001 end rel 0 0\n100002 end rel 0 0\n100004 end rel 0 0\n100005 end rel 0 0\n"
            "100001 rel 1 act 0\n100002 rel 1 act 0\n100004 rel 1 act 0\n100005 rel 1 act 0\n"
            "100001 end rel 0 0\n100002 end rel 0 0\n100004 end rel 0 0\n100005 end rel 0 0\n")
      << Stderr();
}

TEST_F(GameRunTest, MotionAnimationAndOutsideEvents) {
  const std::string game = OneObjectGame(R"J([
    {"event": "create", "actions": [{"code_text": "hspeed = 3; vspeed = -3; gravity = 0.5; gravity_direction = 270; image_speed = 0.5"}]},
    {"event": "step", "number": "end", "actions": [{"code_text": "show_debug_message(string(x) + ' ' + string(y) + ' ' + string(direction) + ' ' + string(speed))"}]},
    {"event": "other", "number": 7, "actions": [{"code_text": "show_debug_message('animation end ' + string(image_index))"}]},
    {"event": "other", "number": 0, "actions": [{"code_text": "show_debug_message('outside'); game_end()"}]}
  ])J", R"(, "width": 20, "height": 20)");
  ROutput r = Play(game, "--steps 10");
  EXPECT_EQ(r.status, 0) << Stderr();
  // Gravity pulls vspeed from -3 towards 0 before each move; without a
  // sprite the frame count is 0, so every step ends the animation; in the
  // fourth step y becomes -1 and the outside event ends the game before the
  // end step.
  EXPECT_EQ(r.out,
            "8 3.50 39.81 3.91\nanimation end 0.50\n"
            "11 1.50 33.69 3.61\nanimation end 1\n"
            "14 0 26.57 3.35\nanimation end 1.50\n"
            "outside\n");
}

TEST_F(GameRunTest, DumpStateListsInstancesAndGlobals) {
  const std::string game = OneObjectGame(R"J([
    {"event": "create", "actions": [{"code_text": "hp = 3; name = 'bob'; arr[2] = 7; global.level = 4; depth = -5; if (id == 100001) instance_deactivate_object(instance_create(1, 2, obj))"}]}
  ])J");
  const std::string dump = (dir_ / "state.json").string();
  ROutput r = Play(game, "--steps 2 --dump-state " + dump);
  EXPECT_EQ(r.status, 0) << Stderr();
  std::ifstream f(dump);
  ASSERT_TRUE(f.good());
  nlohmann::json doc = nlohmann::json::parse(f);
  ASSERT_EQ(doc["instances"].size(), 1u);
  const auto& inst = doc["instances"][0];
  EXPECT_EQ(inst["id"], 100001);
  EXPECT_EQ(inst["object"], "obj");
  EXPECT_EQ(inst["x"], 5);
  EXPECT_EQ(inst["y"], 6);
  EXPECT_EQ(inst["depth"], -5);
  EXPECT_EQ(inst["variables"]["hp"], 3);
  EXPECT_EQ(inst["variables"]["name"], "bob");
  EXPECT_EQ(inst["variables"]["arr"]["array"][0][2], 7);
  EXPECT_EQ(doc["globals"]["level"], 4);
  EXPECT_EQ(doc["steps"], 2);
  // Deactivated instances are listed apart.
  ASSERT_EQ(doc["deactivated"].size(), 1u);
  EXPECT_EQ(doc["deactivated"][0]["id"], 100002);
  EXPECT_EQ(doc["deactivated"][0]["x"], 1);
  EXPECT_EQ(doc["deactivated"][0]["variables"]["hp"], 3);
}

TEST_F(GameRunTest, SeedMakesRandomRepeatable) {
  const std::string game = OneObjectGame(R"J([
    {"event": "create", "actions": [{"code_text": "show_debug_message(string(random(1000)))"}]}
  ])J");
  ROutput a = Play(game, "--steps 1 --seed 42");
  ROutput b = Play(game, "--steps 1 --seed 42");
  ROutput c = Play(game, "--steps 1 --seed 43");
  EXPECT_FALSE(a.out.empty());
  EXPECT_EQ(a.out, b.out);
  EXPECT_NE(a.out, c.out);
}

TEST_F(GameRunTest, FatalRoomErrorsStopTheGame) {
  const std::string game = OneObjectGame(R"J([
    {"event": "step", "actions": [{"code_text": "show_debug_message('before'); room_goto_previous(); show_debug_message('after')"}]}
  ])J");
  ROutput r = Play(game, "--steps 50");
  // A fatal error stops the code at once; nothing runs after it.
  EXPECT_EQ(r.out, "before\n");
  EXPECT_NE(Stderr().find("Moving to previous room before the first room."), std::string::npos) << Stderr();
}

TEST_F(GameRunTest, ExitStatusTellsHowTheGameEnded) {
  // 0 a normal end, 3 a fatal error or an abort answer, 4 a failed output file.
  fs::create_directories(dir_ / "a_folder");
  ::mkfifo((dir_ / "a_fifo").c_str(), 0600);
  const struct {
    const char* what;
    const char* step_code;
    const char* input;     // the --input script, or none
    const char* switches;
    int status;
    const char* stderr_has;
  } cases[] = {
      {"game_end", "game_end()", nullptr, "", 0, ""},
      {"the step limit", "x = 1", nullptr, "", 0, ""},
      {"Esc", "x = 1", "2 key tap vk_escape", "", 0, ""},
      {"input left over", "x = 1", "9 key tap vk_space", "", 0,
       "roomrun: warning: input.txt:1: 1 event was never delivered: the game ended before step 9\n"},
      {"before the first room", "room_goto_previous()", nullptr, "", 3, "Moving to previous room before the first room."},
      {"a room that does not exist", "room_goto(7)", nullptr, "", 3, "Unexisting room number: 7"},
      {"an unknown variable, answered Abort", "x = nothere", nullptr, "", 3, "Unknown variable nothere"},
      {"an unknown variable, answered Ignore", "x = nothere", "1 error ignore", "", 0, "Unknown variable nothere"},
      {"--dump-state into a missing folder", "x = 1", nullptr, "--dump-state no/such/state.json", 4,
       "roomrun: cannot write the state to no/such/state.json: cannot create the file: No such file or directory"},
      {"--dump-state onto a FIFO", "x = 1", nullptr, "--dump-state a_fifo", 4,
       "roomrun: cannot write the state to a_fifo: is a FIFO, not a regular file; nothing was written"},
      {"--dump-state onto a folder", "x = 1", nullptr, "--dump-state a_folder", 4, "is a folder"},
      {"a fatal error and a failed dump", "room_goto(7)", nullptr, "--dump-state a_folder", 3, "is a folder"},
  };
  for (const auto& c : cases) {
    const std::string game =
        OneObjectGame(std::string(R"([{"event": "step", "actions": [{"code_text": ")") + c.step_code + R"("}]}])");
    std::string switches = std::string("--steps 3 ") + c.switches;
    if (c.input) {
      std::ofstream(dir_ / "input.txt") << c.input << "\n";
      switches += " --input input.txt";
    }
    ROutput r = Play(game, switches);
    EXPECT_EQ(r.status, c.status) << c.what << "\n" << Stderr();
    EXPECT_NE(Stderr().find(c.stderr_has), std::string::npos) << c.what << "\n" << Stderr();
  }
  EXPECT_TRUE(fs::is_directory(dir_ / "a_folder"));
  EXPECT_TRUE(fs::is_fifo(dir_ / "a_fifo"));
}

TEST_F(GameRunTest, DumpStateWritesThroughASymlinkToItsTarget) {
  const std::string game = OneObjectGame(R"([{"event": "create", "actions": [{"code_text": "hp = 3"}]}])");
  fs::create_directories(dir_ / "real");
  fs::create_symlink("real/state.json", dir_ / "link.json");
  ROutput r = Play(game, "--steps 1 --dump-state link.json");
  EXPECT_EQ(r.status, 0) << Stderr();
  EXPECT_TRUE(fs::is_symlink(dir_ / "link.json"));
  EXPECT_EQ(nlohmann::json::parse(ReadText(dir_ / "real/state.json"))["instances"][0]["variables"]["hp"], 3);
  // No temporary file is left beside either.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "real"), fs::directory_iterator()), 1);
}

TEST_F(GameRunTest, CodeWithLfLineEndsShowsItsErrorLine) {
  // Code written on Linux shows its error as the same code with CR LF would:
  // the line alone, the caret under the bad character.
  for (const char* eol : {"\n", "\r\n"}) {
    std::ofstream(dir_ / "code.txt", std::ios::binary) << "a = 1;" << eol << "b = @;" << eol << "c = 3;" << eol;
    ROutput r = Capture(kBin + "/roomrun --eval " + (dir_ / "code.txt").string() + " 2>&1");
    EXPECT_EQ(r.out, "Error in code at line 2:\n   b = @;\n       ^\nat position 6: Unexpected symbol.\n")
        << (eol[0] == '\n' ? "LF" : "CR LF");
  }
}

TEST_F(GameRunTest, BadSwitchValuesAreRefused) {
  for (const char* sw : {"--steps", "--steps -3", "--steps x", "--seed", "--dump-state"}) {
    ROutput r = Capture(kBin + "/roomrun " + sw + " 2>&1");
    EXPECT_EQ(r.status, 2) << sw << ": " << r.out;
  }
}

TEST_F(GameRunTest, RoomSpeedIsRefusedBelowOne) {
  const std::string game = OneObjectGame(R"J([
    {"event": "create", "actions": [{"code_text": "room_speed = 0"}]}
  ])J");
  Play(game, "--steps 4");
  EXPECT_NE(Stderr().find("Trying to set the room speed to a value <= 0."), std::string::npos) << Stderr();
}

TEST_F(GameRunTest, FpsCountsTheStepsOfTheLastSecond) {
  const std::string game = OneObjectGame(R"J([
    {"event": "step", "actions": [{"code_text": "show_debug_message(fps)"}]}
  ])J", R"(, "speed": 2)");
  ROutput r = Play(game, "--steps 5");
  EXPECT_EQ(r.status, 0) << Stderr();
  // The clock advances half a second per step and a step is counted after
  // the second check of its iteration: the first second holds one counted
  // step, every later one two.
  EXPECT_EQ(r.out, "0\n0\n1\n1\n2\n");
}
TEST_F(GameRunTest, DemoPlaysHeadless) {
  const std::string dump = (dir_ / "state.json").string();
  ROutput r = Play(Pack(std::string(ROOMRUN_SOURCE_DIR) + "/examples/demo"), "--steps 300 --dump-state " + dump);
  EXPECT_EQ(r.status, 0) << Stderr();
  EXPECT_EQ(r.out, "");
  std::ifstream f(dump);
  ASSERT_TRUE(f.good());
  nlohmann::json doc = nlohmann::json::parse(f);
  EXPECT_EQ(doc["steps"], 300);
  ASSERT_FALSE(doc["instances"].empty());
  EXPECT_EQ(doc["instances"][0]["object"], "obj_player");
  EXPECT_EQ(doc["instances"][0]["variables"]["greeting"], "Welcome to the Roomrun demo - lives: 3");
}
}  // namespace
