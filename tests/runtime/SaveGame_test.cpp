// Saved games. The round trip through the real programs: the run_save game
// logs its state when it saves, plays on (the persistent room revisited,
// instances created and destroyed), loads, and logs again; the logs and the
// state dumps must match. Broken and foreign files must leave the game as it
// was, failed saves must keep the previous file. In-process: the load path's
// checks on every truncation, the seams a load installs, secure mode.
#include <gtest/gtest.h>

#include "../Test_Process.h"
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "resources/Background_Main.h"
#include "resources/Object_Main.h"
#include "resources/Room_Main.h"
#include "resources/Sprite_Main.h"
#include "resources/TimeLine_Main.h"
#include "runner/DataNew_Main.h"
#include "runner/Runner_Load.h"
#include "runner/Support_Stream.h"
#include "runner/Support_Various.h"
#include "runtime/Event_Main.h"
#include "runtime/Function_Game.h"
#include "runtime/Instance_Class.h"
#include "runtime/Instance_Source.h"
#include "runtime/Run_Global.h"
#include "runtime/Run_Main.h"
#include "script/Code_Error.h"
#include "script/Code_Function.h"
#include "script/Variable_Main.h"

namespace fs = std::filesystem;

namespace {
const std::string kBin = ROOMRUN_BIN_DIR;
const fs::path kGame = fs::path(ROOMRUN_SOURCE_DIR) / "tests/games/run_save";

using testproc::Capture;
using testproc::ROutput;
using testproc::ReadText;

std::vector<uint8_t> ReadBytes(const fs::path& p) {
  const std::string s = ReadText(p);
  return std::vector<uint8_t>(s.begin(), s.end());
}
void WriteBytes(const fs::path& p, const std::vector<uint8_t>& bytes) {
  std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}
void PutInteger(std::vector<uint8_t>& bytes, size_t at, int32_t v) {
  for (int k = 0; k < 4; ++k) bytes[at + size_t(k)] = uint8_t(uint32_t(v) >> (8 * k));
}

// The lines the game logged under a label, without the label.
std::vector<std::string> Logged(const std::string& out, const std::string& label) {
  std::vector<std::string> lines;
  std::istringstream in(out);
  std::string line;
  const std::string prefix = label + ": ";
  while (std::getline(in, line))
    if (line.rfind(prefix, 0) == 0) lines.push_back(line.substr(prefix.size()));
  return lines;
}

// The state dump without what legitimately differs between the runs: the
// step count and the run's mode switch.
nlohmann::json Dump(const fs::path& p) {
  nlohmann::json j = nlohmann::json::parse(ReadText(p));
  j.erase("steps");
  j["globals"].erase("mode");
  return j;
}

// Packs the run_save fixture with its mode switch set (see its init code)
// and extra init lines, into dir.
std::string PackFixture(const fs::path& dir, int mode, const std::string& extra = "") {
  const fs::path proj = dir / ("proj" + std::to_string(mode));
  fs::remove_all(proj);
  fs::copy(kGame, proj, fs::copy_options::recursive);
  std::string init = ReadText(proj / "init/start.code");
  const std::string sw = "global.mode = 0";
  init.replace(init.find(sw), sw.size(), "global.mode = " + std::to_string(mode));
  std::ofstream(proj / "init/start.code", std::ios::binary) << init << "\n" << extra << "\n";
  const std::string out = (dir / ("game" + std::to_string(mode) + ".bin")).string();
  ROutput r = Capture(kBin + "/roompack " + proj.string() + " -o " + out + " 2>&1");
  EXPECT_EQ(r.status, 0) << r.out;
  return out;
}

class SaveGameRunTest : public testproc::ScratchDirTest {
 protected:
  // Plays a game headless with its state dumped at the end; prefix goes in
  // front of the command (shell limits).
  ROutput Play(const std::string& game, const std::string& dump, const std::string& prefix = "") {
    return Capture("cd " + dir_.string() + " && " + prefix + kBin + "/roomrun --headless --fast --steps 100 " +
                   "--dump-state " + (dir_ / dump).string() + " " + game + " 2>" + (dir_ / "stderr.txt").string());
  }
  // The errors the game logged (its settings log them instead of showing
  // them), emptied for the next run.
  std::string TakeErrors() {
    const std::string text = ReadText(dir_ / "game_errors.log");
    fs::remove(dir_ / "game_errors.log");
    return text;
  }
  // Files in the game's directory whose name starts with a dot (left-over
  // temporary files of a save).
  int HiddenFiles() {
    int n = 0;
    for (const auto& e : fs::directory_iterator(dir_))
      if (e.path().filename().string()[0] == '.') ++n;
    return n;
  }

};

TEST_F(SaveGameRunTest, LoadingRestoresTheStateOfTheSave) {
  // Mode 1 saves in step 9 and ends at once: its dump is the saved state.
  ROutput at_save = Play(PackFixture(dir_, 1), "at_save.json");
  ASSERT_EQ(at_save.status, 0) << ReadText(dir_ / "stderr.txt");
  ASSERT_TRUE(fs::exists(dir_ / "slot.sav"));

  // Mode 0 saves in step 9, plays on to step 16 (visiting the persistent
  // room again, creating an instance and a tile), loads and ends in the
  // next begin step, before anything else moves.
  ROutput r = Play(PackFixture(dir_, 0), "after_load.json");
  ASSERT_EQ(r.status, 0) << ReadText(dir_ / "stderr.txt");
  EXPECT_EQ(TakeErrors(), "");
  const std::vector<std::string> saved = Logged(r.out, "saved");
  ASSERT_EQ(saved.size(), 4u) << r.out;  // run-wide line + 3 instances
  EXPECT_EQ(Logged(r.out, "after load"), saved);
  // The instance destroyed just before the save is stored as destroyed.
  EXPECT_EQ(r.out.find("saved: 100003"), std::string::npos);

  const nlohmann::json a = Dump(dir_ / "at_save.json"), b = Dump(dir_ / "after_load.json");
  EXPECT_EQ(a, b);
  ASSERT_EQ(b["instances"].size(), 3u);
  EXPECT_EQ(b["globals"]["greeting"], "hello");
  EXPECT_EQ(b["globals"]["table"]["array"][1][3], "row one");
  EXPECT_EQ(b["instances"][1]["variables"]["state"], "stopped");
  EXPECT_EQ(b["instances"][1]["variables"]["list"]["array"][0][3], "four");
}

TEST_F(SaveGameRunTest, LoadingRestoresRoomCopiesAndIdCounters) {
  // Mode 2 goes on after the load: it creates an instance and a tile, which
  // get the ids that followed the save, then visits the persistent room.
  ROutput r = Play(PackFixture(dir_, 2), "state.json");
  ASSERT_EQ(r.status, 0) << ReadText(dir_ / "stderr.txt");
  std::vector<std::string> ids;
  std::istringstream in(r.out);
  for (std::string line; std::getline(in, line);)
    if (line.rfind("next ids ", 0) == 0) ids.push_back(line);
  ASSERT_EQ(ids.size(), 2u) << r.out;
  EXPECT_EQ(ids[0], ids[1]);

  // The side room was left in step 6 (saved with that state), revisited and
  // left again in step 14; after the load it is as it was in step 6.
  const std::vector<std::string> start = Logged(r.out, "side start"), end = Logged(r.out, "side end");
  ASSERT_EQ(start.size(), 6u) << r.out;
  ASSERT_GE(end.size(), 4u) << r.out;
  EXPECT_EQ(std::vector<std::string>(start.begin() + 4, start.end()),
            std::vector<std::string>(end.begin(), end.begin() + 2));
  EXPECT_NE(start[4], end[2]);
}

TEST_F(SaveGameRunTest, BadAndForeignFilesLeaveTheGameAsItWas) {
  ROutput at_save = Play(PackFixture(dir_, 1), "at_save.json");
  ASSERT_EQ(at_save.status, 0);
  const std::vector<uint8_t> good = ReadBytes(dir_ / "slot.sav");
  ASSERT_GT(good.size(), 1000u);
  const nlohmann::json expected = Dump(dir_ / "at_save.json");
  const std::string game = PackFixture(dir_, 3);  // loads bad.sav in step 9 instead of saving

  const std::string failed = "Failed to load game from file bad.sav";
  struct RCase {
    std::string what;
    std::vector<uint8_t> bytes;
    std::string message;
  };
  std::vector<RCase> cases;
  for (size_t cut : {size_t(0), size_t(2), size_t(6), size_t(40), good.size() / 2, good.size() - 300,
                     good.size() - 1})
    cases.push_back({"cut at " + std::to_string(cut), std::vector<uint8_t>(good.begin(), good.begin() + long(cut)),
                     failed});
  RCase version{"version", good, "Cannot load game saved with other version."};
  PutInteger(version.bytes, 0, 539);
  cases.push_back(version);
  RCase foreign{"game id", good, "This is a save file for a different game!"};
  PutInteger(foreign.bytes, 4, 4243);
  cases.push_back(foreign);
  RCase room{"current room", good, failed};
  PutInteger(room.bytes, 8, 7);
  cases.push_back(room);
  RCase longer{"trailing byte", good, failed};
  longer.bytes.push_back(0);
  cases.push_back(longer);

  for (const RCase& c : cases) {
    SCOPED_TRACE(c.what);
    WriteBytes(dir_ / "bad.sav", c.bytes);
    ROutput r = Play(game, "after.json");
    ASSERT_EQ(r.status, 0) << ReadText(dir_ / "stderr.txt");
    EXPECT_NE(TakeErrors().find(c.message), std::string::npos);
    const std::vector<std::string> saved = Logged(r.out, "saved");
    ASSERT_EQ(saved.size(), 4u) << r.out;
    EXPECT_EQ(Logged(r.out, "after load"), saved);
    EXPECT_EQ(Dump(dir_ / "after.json"), expected);
  }

  // A missing file does nothing at all.
  fs::remove(dir_ / "bad.sav");
  ROutput r = Play(game, "after.json");
  EXPECT_EQ(TakeErrors(), "");
  EXPECT_EQ(Logged(r.out, "after load"), Logged(r.out, "saved"));
  EXPECT_EQ(Dump(dir_ / "after.json"), expected);
}

TEST_F(SaveGameRunTest, FailedSavesKeepThePreviousFile) {
  // Into a directory that does not exist: reported, nothing made.
  ROutput r = Play(PackFixture(dir_, 1, "global.savefile = 'missing/slot.sav'"), "state.json");
  ASSERT_EQ(r.status, 0) << ReadText(dir_ / "stderr.txt");
  EXPECT_NE(TakeErrors().find("Failed to save game to file missing/slot.sav"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir_ / "missing"));

  // A write that fails halfway (the file size limit is far below the size
  // of the save): the old file is untouched and no temporary file is left.
  const std::vector<uint8_t> old = {'o', 'l', 'd', ' ', 's', 'a', 'v', 'e'};
  WriteBytes(dir_ / "slot.sav", old);
  const std::string game = PackFixture(dir_, 1);
  r = Play(game, "state.json", "trap '' XFSZ; ulimit -f 16; ");
  ASSERT_EQ(r.status, 0) << ReadText(dir_ / "stderr.txt");
  EXPECT_NE(TakeErrors().find("Failed to save game to file slot.sav"), std::string::npos);
  EXPECT_TRUE(ReadBytes(dir_ / "slot.sav") == old);
  EXPECT_EQ(HiddenFiles(), 0);

  // Without the limit the same save replaces it.
  r = Play(game, "state.json");
  EXPECT_EQ(TakeErrors(), "");
  EXPECT_GT(fs::file_size(dir_ / "slot.sav"), 1000u);
  EXPECT_EQ(HiddenFiles(), 0);
}

// ---- the records ----

int32_t IntegerAt(const CStream& s, size_t at) {
  int32_t v;
  std::memcpy(&v, s.Data() + at, 4);
  return v;
}
double RealAt(const CStream& s, size_t at) {
  double v;
  std::memcpy(&v, s.Data() + at, 8);
  return v;
}

TEST(SaveGameRecords, InstanceRecordKeepsItsLayoutAndNeedsItsObject) {
  ClearObjects();
  AddObject();
  AddObject();
  CInstance a(100007, 1);
  a.i_y = 12.5;
  a.i_timer[11] = 9;
  CStream bare;
  a.SaveToStream(bare);
  // Fixed fields, then an empty creation code and an empty variable list.
  ASSERT_EQ(bare.Size(), 368u);
  EXPECT_EQ(IntegerAt(bare, 0), 100007);
  EXPECT_EQ(RealAt(bare, 80), 12.5);     // i_y: third of the fourteen reals after the mask
  EXPECT_EQ(IntegerAt(bare, 204), 1);    // the object, after the box and the three flags
  EXPECT_EQ(IntegerAt(bare, 252), 9);    // alarm 11
  EXPECT_EQ(IntegerAt(bare, 356), 0);    // creation code length
  EXPECT_EQ(IntegerAt(bare, 360), 440);  // the variable list

  a.i_initcode = "hspeed = 1";
  a.i_vars.SetVar(100000, 32001, RValue("cell"));
  CStream full;
  a.SaveToStream(full);
  full.Seek(0);
  CInstance b;
  ASSERT_TRUE(b.LoadFromStream(full));
  EXPECT_EQ(full.Remaining(), 0u);
  EXPECT_EQ(b.i_object, GetObject(1));
  EXPECT_EQ(b.i_initcode, "hspeed = 1");
  RValue v;
  ASSERT_TRUE(b.i_vars.GetVar(100000, 32001, v));
  EXPECT_EQ(v.str, "cell");

  for (int obj : {2, -1}) {  // no such object
    a.i_objectindex = obj;
    CStream s;
    a.SaveToStream(s);
    s.Seek(0);
    CInstance c;
    EXPECT_FALSE(c.LoadFromStream(s)) << obj;
  }
  ClearObjects();
}

TEST(SaveGameRecords, RoomRecordRoundTripAndVersion) {
  CRoom r;
  r.r_caption = "hall";
  r.r_persistent = true;
  r.r_background[7].x = 2.25;
  r.r_background[3].alpha = 0.5;
  r.r_view[5].angle = 30;
  r.r_view[5].index = 4;
  RTile t;
  t.x = 1.5;
  t.depth = -3;
  t.visible = false;
  r.r_tile = {t, t};
  r.r_tnumb = 2;
  CStream s;
  r.SaveGameToStream(s, nullptr);
  s.Seek(0);
  CRoom back;
  ASSERT_TRUE(back.LoadGameFromStream(s, nullptr));
  EXPECT_EQ(s.Remaining(), 0u);
  EXPECT_EQ(back.r_caption, "hall");
  EXPECT_TRUE(back.r_persistent);
  EXPECT_EQ(back.r_background, r.r_background);
  EXPECT_EQ(back.r_view, r.r_view);
  EXPECT_EQ(back.r_tile, r.r_tile);
  EXPECT_EQ(back.r_tnumb, 2);

  std::vector<uint8_t> bytes = s.Bytes();
  PutInteger(bytes, 0, 541);  // the game file's room version is not a saved room
  CStream other(bytes);
  EXPECT_FALSE(back.LoadGameFromStream(other, nullptr));
}

// ---- in-process: the load path itself ----

std::vector<std::string> g_reports;
std::vector<std::string> g_messages;

class SaveGameTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    suite_ = fs::temp_directory_path() / ("rr_save_inproc_" + std::to_string(::getpid()));
    fs::remove_all(suite_);
    fs::create_directories(suite_);
    game_ = PackFixture(suite_, 0);
  }
  static void TearDownTestSuite() { fs::remove_all(suite_); }

  void SetUp() override {
    dir_ = suite_ / ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::create_directories(dir_);
    old_cwd_ = fs::current_path();
    fs::current_path(dir_);  // the game writes its own save file in step 9
    RegisterBuiltins();
    ClearGameData();
    ASSERT_TRUE(OpenGameFile(game_));
    ASSERT_TRUE(PrepareGame());
    InstallEventDispatch();
    ErrorResetForTests();
    g_reports.clear();
    g_messages.clear();
    ErrorHooks().trace = [](const std::string& text) { g_reports.push_back(text); };
    SetDebugMessageSink([](const std::string& line) { g_messages.push_back(line); });
    Running = true;
    StartGame();
    // Step 8: back in the main room, the persistent side room stored.
    Steps(8);
    ASSERT_EQ(Current_Room, 0);
    ASSERT_TRUE(g_reports.empty()) << g_reports[0];
  }
  void TearDown() override {
    EndGame();
    Running = false;
    SecureMode = false;
    ErrorHooks().trace = nullptr;
    SetDebugMessageSink(nullptr);
    ErrorResetForTests();
    fs::current_path(old_cwd_);
    ClearObjects();
    ClearRooms();
    ClearBackgrounds();
    ClearTimeLines();
    ClearGameData();
  }

  static void Steps(int n) {
    for (int i = 0; i < n; ++i) {
      DoStep();
      HandleRoomChange();
    }
  }
  // The whole game state as a save writes it.
  static std::vector<uint8_t> State() {
    EXPECT_TRUE(SaveGame("state.sav"));
    return ReadBytes("state.sav");
  }

  static fs::path suite_;
  static std::string game_;
  fs::path dir_, old_cwd_;
};
fs::path SaveGameTest::suite_;
std::string SaveGameTest::game_;

TEST_F(SaveGameTest, LoadInstallsTheSavedRoomAndPerformsNoEvent) {
  // A deactivated instance goes with its room.
  CRunRoom* room = Run_Room();
  room->inst.At(1)->i_deactivated = true;
  room->inst.UpdateActive();
  ASSERT_EQ(room->inst.r_instance_deact.size(), 1u);
  const int lastid = LastInstanceId, lasttile = LastTileId;
  ASSERT_TRUE(SaveGame("a.sav"));
  const std::vector<uint8_t> saved = ReadBytes("a.sav");

  Steps(7);  // saves in step 9, creates an instance and a tile in step 10, visits the side room
  ASSERT_NE(LastInstanceId, lastid);
  ASSERT_NE(LastTileId, lasttile);
  g_messages.clear();
  // A load inside a step (the F6 key) must not free what the step holds.
  const CInstance* held = Run_Room()->inst.At(0);
  const int heldid = held->i_id;
  ASSERT_TRUE(LoadGame("a.sav"));
  EXPECT_EQ(held->i_id, heldid);
  EXPECT_TRUE(g_messages.empty()) << g_messages[0];
  EXPECT_TRUE(g_reports.empty());
  EXPECT_TRUE(State() == saved);  // saving again gives the very same bytes
  EXPECT_EQ(LastInstanceId, lastid);
  EXPECT_EQ(LastTileId, lasttile);

  // The language and the tile functions see the loaded room, and its
  // per-object lists hold its instances.
  room = Run_Room();
  ASSERT_NE(room, nullptr);
  EXPECT_EQ(RoomCurrent(), &room->room);
  EXPECT_EQ(Instances().Count(), room->inst.Count());
  EXPECT_EQ(Instances().At(0), room->inst.At(0));
  const int mover = FindObject("obj_mover");
  EXPECT_EQ(room->inst.Obj_Number(mover), 2);  // the third one is deactivated
  EXPECT_EQ(room->inst.r_instance_deact.size(), 1u);
  EXPECT_EQ(room->room.r_tnumb, 1);

  // The game goes on from there.
  Steps(1);
  EXPECT_TRUE(g_reports.empty());
}

TEST_F(SaveGameTest, EveryTruncationIsRefusedWithoutChangingTheGame) {
  ASSERT_TRUE(SaveGame("a.sav"));
  const std::vector<uint8_t> bytes = ReadBytes("a.sav");
  std::string error;
  ASSERT_TRUE(CheckSavedGame(bytes.data(), bytes.size(), "a.sav", error)) << error;
  for (size_t cut = 0; cut < bytes.size(); ++cut) {
    ASSERT_FALSE(CheckSavedGame(bytes.data(), cut, "a.sav", error)) << cut;
    ASSERT_EQ(error, "Failed to load game from file a.sav") << cut;
  }

  Steps(1);
  const std::vector<uint8_t> before = State();
  for (size_t cut : {size_t(3), size_t(100), bytes.size() / 2, bytes.size() - 1}) {
    WriteBytes("cut.sav", std::vector<uint8_t>(bytes.begin(), bytes.begin() + long(cut)));
    g_reports.clear();
    EXPECT_FALSE(LoadGame("cut.sav"));
    ASSERT_EQ(g_reports.size(), 1u);
    EXPECT_EQ(g_reports[0], "Failed to load game from file cut.sav");
    EXPECT_TRUE(State() == before) << cut;
  }
}

TEST_F(SaveGameTest, AnInstanceOfAMissingObjectMakesTheFileBad) {
  CInstance* inst = Run_Room()->inst.At(1);
  const int obj = inst->i_objectindex;
  inst->i_objectindex = ObjectCount();  // past the last object
  ASSERT_TRUE(SaveGame("bad.sav"));
  inst->i_objectindex = -1;
  ASSERT_TRUE(SaveGame("negative.sav"));
  inst->i_objectindex = obj;

  const std::vector<uint8_t> before = State();
  for (const char* file : {"bad.sav", "negative.sav"}) {
    g_reports.clear();
    EXPECT_FALSE(LoadGame(file));
    ASSERT_EQ(g_reports.size(), 1u);
    EXPECT_EQ(g_reports[0], std::string("Failed to load game from file ") + file);
  }
  EXPECT_TRUE(State() == before);
}

TEST_F(SaveGameTest, MissingFilesAndSecureMode) {
  EXPECT_EQ(SpecialKeySaveFile(), "_save4242.sav");
  const std::vector<uint8_t> before = State();
  EXPECT_FALSE(LoadGame("nothing.sav"));
  EXPECT_TRUE(g_reports.empty());
  EXPECT_TRUE(State() == before);

  SecureMode = true;
  for (const char* file : {"sub/a.sav", "sub\\a.sav", "/tmp/a.sav"}) {
    g_reports.clear();
    EXPECT_FALSE(SaveGame(file));
    ASSERT_EQ(g_reports.size(), 1u);
    EXPECT_EQ(g_reports[0], std::string("In secure mode you cannot save game to file ") + file);
  }
  EXPECT_FALSE(fs::exists("sub"));
  EXPECT_TRUE(SaveGame("plain.sav"));
}

TEST_F(SaveGameTest, PendingLoadWithoutARoomStartsTheGame) {
  // A load asked for by the library initialisation code happens before any
  // room is entered; when there is nothing to load the game starts as usual.
  EndGame();
  ASSERT_EQ(Run_Room(), nullptr);
  SetPendingGameFile("nothing.sav");
  New_Room = -300;
  HandleRoomChange();
  EXPECT_EQ(New_Room, -1);
  ASSERT_NE(Run_Room(), nullptr);
  EXPECT_EQ(Current_Room, FirstRoom());
}

}  // namespace
