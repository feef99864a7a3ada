#include "runtime/Run_Global.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <limits>

#include "library/Function_Math.h"
#include "resources/Object_Main.h"
#include "resources/Room_Main.h"
#include "runner/DataNew_Main.h"
#include "runner/Option_Main.h"
#include "runner/Support_File.h"
#include "runner/Support_Stream.h"
#include "runtime/Event_Main.h"
#include "runtime/IO_Main.h"
#include "runtime/Instance_Class.h"
#include "runtime/Run_Main.h"
#include "script/Code_Spaces.h"
#include "script/Code_Error.h"
#include "script/Code_Exec.h"
#include "script/Code_Main.h"
#include "script/Extension_Main.h"
#include "script/Variable_Main.h"

int Current_Room = -1;
int Score = 0;
int Lives = -1;
double Health = 100;
int Cursor_Sprite = -1;
int Cursor_Subimage = 0;
int Transition_Kind = 0;
int Transition_Steps = 80;
bool Automatic_Draw = true;

namespace {
std::vector<std::unique_ptr<CRunRoom>> g_rooms;
CRunRoom* g_current = nullptr;
std::vector<std::unique_ptr<CInstance>> g_carry;
// Rooms replaced by a load inside a step (the F6 key) stay allocated until
// the step is over, so that no pointer the step still holds dangles. They
// are freed by a later load (in a later step) or when the game ends.
std::vector<std::unique_ptr<CRunRoom>> g_retired;
long long g_retiredstep = -1;
std::string g_pendingfile;  // remembered by game_load

void MakeCurrent(CRunRoom* r) {
  g_current = r;
  SetRoomCurrent(r ? &r->room : nullptr);
  SetInstanceSource(r ? &r->inst : nullptr);
}

// A new live instance taken from the room's design, with the design's id.
void AddDesignInstance(CRunRoom& r, const RRoomInstance& d) {
  CInstance* inst = r.inst.AddInstance(d.object, d.x, d.y);
  --LastInstanceId;  // placed instances keep their stored ids
  inst->i_id = d.id;
  inst->i_imagescalex = d.xscale;
  inst->i_imagescaley = d.yscale;
  inst->i_imageblend = static_cast<unsigned>(d.blend);
  inst->i_imagealpha = d.alpha;
  inst->i_imageangle = d.angle;
  inst->i_initcode = d.code;
  inst->Compute_BoundingBox();
}

void RunLibraryInit() {
  for (const std::string& text : LibraryInitCode) {
    if (text.empty()) continue;
    CInstance dummy;
    dummy.Create(0, 0, 0, 0);
    bool compiled;
    std::string error;
    if (!RunCodeOnce(text, &dummy, compiled, error) && !compiled) {
      ReportError("COMPILATION ERROR in library initialization code\r" + error, true);
      return;
    }
    if (RoomChangePending()) return;
  }
}
}  // namespace

CRunRoom* Run_Room() { return g_current; }

int FirstRoom() {
  for (int r : RoomOrder)
    if (RoomExists(r)) return r;
  return -1;
}

bool RunCodeOnce(const std::string& text, CInstance* self, bool& compiled, std::string& error) {
  ErrorClear();
  CCode code(text, false);
  compiled = code.Compile();
  if (!compiled) {
    error = ErrorText();
    ErrorClear();
    return false;
  }
  RValue result;
  if (!ExecuteCode(self, self, &code, result)) {
    error = ErrorText();
    ErrorClear();
    return false;
  }
  return true;
}

CInstance* CreateInstance(int obj, double x, double y) {
  if (!ObjectExists(obj)) {
    ReportActionError("Creating instance for non-existing object: " + std::to_string(obj), false);
    return nullptr;
  }
  if (g_current == nullptr) return nullptr;
  CInstance* inst = g_current->inst.AddInstance(obj, x, y);
  Perform_Event(inst, inst, ev_create, 0);
  return inst;
}

void DestroyInstance(CInstance* inst) {
  if (inst == nullptr || inst->i_marked) return;
  Perform_Event(inst, inst, ev_destroy, 0);
  inst->i_marked = true;
}

void StartGame() {
  BuildEventIndex();
  GlobalClear();
  Score = 0;
  Lives = -1;
  Cursor_Sprite = -1;
  Cursor_Subimage = 0;
  Transition_Kind = 0;
  if (RunSettings().seeded) RandomSetSeed(RunSettings().seed);
  else RandomSetSeed(static_cast<uint32_t>(MicroTimeNow()));
  New_Room = ROOM_NONE;
  RunLibraryInit();
  // A failing initialisation function is fatal and ends the game.
  if (!ExtensionsInit()) return;
  g_rooms.clear();
  g_rooms.resize(size_t(RoomCount()));
  g_carry.clear();
  const int first = FirstRoom();
  if (first < 0) {
    New_Room = ROOM_END;  // nothing to play
    return;
  }
  if (New_Room == ROOM_NONE) EnterRoom(first, true);
}

void EnterRoom(int index, bool newgame) {
  New_Room = ROOM_NONE;
  IO_Clear();
  if (index < 0) return;
  if (size_t(index) >= g_rooms.size()) g_rooms.resize(size_t(index) + 1);
  bool first = false;
  if (!g_rooms[size_t(index)]) {
    auto r = std::make_unique<CRunRoom>();
    if (const CRoom* design = GetRoom(index)) r->room.Assign(*design);
    for (const RRoomInstance& d : r->room.r_inst) {
      if (ObjectExists(d.object)) AddDesignInstance(*r, d);
    }
    g_rooms[size_t(index)] = std::move(r);
    first = true;
  }
  Current_Room = index;
  CRunRoom* room = g_rooms[size_t(index)].get();
  MakeCurrent(room);
  if (DrawHooks().room_start) DrawHooks().room_start();
  // The room's own instances, taken before carried ones are appended: events
  // run below may deactivate instances and so shift positions in the list.
  std::vector<CInstance*> own;
  for (int i = 0; i < room->inst.Count(); ++i) own.push_back(room->inst.At(i));
  for (auto& carried : g_carry) {
    for (auto& existing : room->inst.r_instance)
      if (existing->i_id == carried->i_id) existing->i_marked = true;
    // A persistent room can hold an earlier copy of it deactivated.
    for (auto& existing : room->inst.r_instance_deact)
      if (existing->i_id == carried->i_id) existing->i_marked = true;
    CInstance* inst = room->inst.AddInstance(carried->i_objectindex, carried->i_x, carried->i_y);
    inst->Assign(*carried);
  }
  g_carry.clear();
  if (first) {
    const std::string roomname = GetRoomName(index);
    for (CInstance* inst : own) {
      if (inst->i_marked || inst->i_deactivated) continue;
      if (opt_createfirst) Perform_Event(inst, inst, ev_create, 0);
      if (!inst->i_initcode.empty() && !RoomChangePending()) {
        bool compiled;
        std::string error;
        if (!RunCodeOnce(inst->i_initcode, inst, compiled, error)) {
          ReportError(std::string(compiled ? "EXECUTION" : "COMPILATION") + " ERROR in creation code for instance " +
                          std::to_string(inst->i_id) + " in room " + roomname + "\r" + error,
                      false);
        }
      }
      if (!opt_createfirst) Perform_Event(inst, inst, ev_create, 0);
    }
  }
  if (newgame) Perform_AllEvent(ev_other, 2);
  if (first && !room->room.r_code.empty() && !RoomChangePending()) {
    CInstance dummy;
    dummy.Create(0, 0, 0, 0);
    bool compiled;
    std::string error;
    if (!RunCodeOnce(room->room.r_code, &dummy, compiled, error)) {
      ReportError(std::string(compiled ? "EXECUTION" : "COMPILATION") + " ERROR in creation code of room " +
                      GetRoomName(index) + "\r" + error,
                  false);
    }
  }
  Perform_AllEvent(ev_other, 4);
  if (DrawHooks().transition_enter) DrawHooks().transition_enter();
  if (!RoomChangePending()) Transition_Kind = 0;
}

void LeaveRoom(bool gameend) {
  CRunRoom* room = g_current;
  if (room == nullptr) return;
  // Only a room that another follows has a transition to show.
  if ((New_Room >= 0 || New_Room == ROOM_RESTART) && DrawHooks().transition_prepare) DrawHooks().transition_prepare();
  room->inst.RemoveMarked();
  const int pending = New_Room;
  New_Room = ROOM_NONE;
  Perform_AllEvent(ev_other, 5);
  if (gameend) Perform_AllEvent(ev_other, 3);
  New_Room = pending;
  g_carry.clear();
  for (auto& inst : room->inst.r_instance) {
    if (inst->i_marked || !inst->i_persistent) continue;
    auto copy = std::make_unique<CInstance>();
    copy->Create(inst->i_id, inst->i_objectindex, inst->i_x, inst->i_y);
    copy->Assign(*inst);
    g_carry.push_back(std::move(copy));
    inst->i_marked = true;
  }
  if (!room->room.r_persistent) {
    MakeCurrent(nullptr);
    for (auto& r : g_rooms)
      if (r.get() == room) r.reset();
  }
  MakeCurrent(nullptr);
}

void GotoRoom(int index) {
  LeaveRoom(false);
  EnterRoom(index, false);
}

void EndGame() {
  LeaveRoom(true);
  MakeCurrent(nullptr);
  g_rooms.clear();
  g_retired.clear();
  Current_Room = -1;
  ExtensionsFinal();
}

// ---- saved games ----

namespace {
constexpr int32_t kSavedGameVersion = 540;
// Far below the size of any stored instance record; only used to refuse
// counts that the remaining bytes cannot hold.
constexpr size_t kInstanceRecordMin = 100;

// Everything a saved game holds, parsed apart from the running game.
struct RSavedGame {
  int room = -1;
  int transition = 0;
  int score = 0;
  int lives = -1;
  double health = 100;
  int cursor = -1;
  int cursorsub = 0;
  bool autodraw = true;
  CVariableList globals;
  std::vector<char> declared;
  std::vector<std::unique_ptr<CRunRoom>> rooms;
  int lastinstance = 0;
  int lasttile = 0;
};

void WriteInstanceList(CStream& s, const std::vector<std::unique_ptr<CInstance>>& list) {
  s.WriteInteger(static_cast<int32_t>(list.size()));
  for (const auto& inst : list) inst->SaveToStream(s);
}

bool ReadInstanceList(CStream& s, std::vector<std::unique_ptr<CInstance>>& list) {
  const int32_t n = s.ReadInteger();
  if (n < 0 || size_t(n) > s.Remaining() / kInstanceRecordMin) return false;
  for (int32_t i = 0; i < n; ++i) {
    auto inst = std::make_unique<CInstance>();
    if (!inst->LoadFromStream(s)) return false;
    list.push_back(std::move(inst));
  }
  return true;
}

void WriteSavedGame(CStream& s) {
  s.WriteInteger(kSavedGameVersion);
  s.WriteInteger(GameId);
  s.WriteInteger(Current_Room);
  s.WriteInteger(Transition_Kind);
  s.WriteInteger(Score);
  s.WriteInteger(Lives);
  s.WriteReal(Health);
  s.WriteInteger(Cursor_Sprite);
  s.WriteInteger(Cursor_Subimage);
  s.WriteBoolean(Automatic_Draw);
  GlobalSaveToStream(s);
  s.WriteInteger(static_cast<int32_t>(g_rooms.size()));
  for (const auto& r : g_rooms) {
    s.WriteBoolean(r != nullptr);
    if (!r) continue;
    r->room.SaveGameToStream(s, [&](CStream& out) {
      WriteInstanceList(out, r->inst.r_instance);
      WriteInstanceList(out, r->inst.r_instance_deact);
    });
  }
  s.WriteInteger(LastInstanceId);
  s.WriteInteger(LastTileId);
}

enum class ELoad { ok, version, game, bad };

ELoad ParseSavedGame(CStream& s, RSavedGame& g) {
  try {
    if (s.ReadInteger() != kSavedGameVersion) return ELoad::version;
    if (s.ReadInteger() != GameId) return ELoad::game;
    g.room = s.ReadInteger();
    g.transition = s.ReadInteger();
    g.score = s.ReadInteger();
    g.lives = s.ReadInteger();
    g.health = s.ReadReal();
    g.cursor = s.ReadInteger();
    g.cursorsub = s.ReadInteger();
    g.autodraw = s.ReadBoolean();
    // The global block, read apart from the live globals.
    if (!GlobalParseFromStream(s, g.globals, g.declared)) return ELoad::bad;
    // Every entry takes at least its presence flag.
    const int32_t count = s.ReadInteger();
    if (count < 0 || size_t(count) > s.Remaining() / 4) return ELoad::bad;
    g.rooms.resize(size_t(count));
    for (auto& entry : g.rooms) {
      if (!s.ReadBoolean()) continue;
      auto r = std::make_unique<CRunRoom>();
      const bool ok = r->room.LoadGameFromStream(s, [&](CStream& in) {
        return ReadInstanceList(in, r->inst.r_instance) && ReadInstanceList(in, r->inst.r_instance_deact);
      });
      if (!ok) return ELoad::bad;
      r->inst.RebuildObjectLists();
      entry = std::move(r);
    }
    g.lastinstance = s.ReadInteger();
    g.lasttile = s.ReadInteger();
    if (g.lastinstance < kFirstInstanceId || g.lastinstance == std::numeric_limits<int>::max()) return ELoad::bad;
    if (s.Remaining() != 0) return ELoad::bad;
  } catch (const EStreamError&) {
    return ELoad::bad;
  }
  // The game goes on in the stored current room: it must be one of the
  // stored copies.
  if (g.room < 0 || size_t(g.room) >= g.rooms.size() || !g.rooms[size_t(g.room)]) return ELoad::bad;
  return ELoad::ok;
}

std::string LoadMessage(ELoad result, const std::string& file) {
  switch (result) {
    case ELoad::ok:
      return "";
    case ELoad::version:
      return "Cannot load game saved with other version.";
    case ELoad::game:
      return "This is a save file for a different game!";
    case ELoad::bad:
      break;
  }
  return "Failed to load game from file " + file;
}

}  // namespace

bool SaveGame(const std::string& file) {
  if (SecureMode && file.find_first_of("\\/") != std::string::npos) {
    ReportError("In secure mode you cannot save game to file " + file, false);
    return false;
  }
  CStream s;
  WriteSavedGame(s);
  RemoveStaleReplaceTemps(file);
  if (!ReplaceFileSafely(file, s.Data(), s.Size())) {
    ReportError("Failed to save game to file " + file, false);
    return false;
  }
  return true;
}

bool CheckSavedGame(const uint8_t* bytes, size_t size, const std::string& file, std::string& error) {
  CStream s = CStream::View(bytes, size);
  RSavedGame g;
  const ELoad result = ParseSavedGame(s, g);
  error = LoadMessage(result, file);
  return result == ELoad::ok;
}

bool LoadGame(const std::string& file) {
  std::error_code ec;
  if (file.empty() || !std::filesystem::exists(file, ec)) return false;
  std::vector<uint8_t> bytes;
  RSavedGame g;
  ELoad result = ELoad::bad;
  if (ReadWholeFile(file, bytes)) {
    CStream s = CStream::View(bytes.data(), bytes.size());
    result = ParseSavedGame(s, g);
  }
  if (result != ELoad::ok) {
    ReportError(LoadMessage(result, file), false);
    return false;
  }
  // All is well: the parsed game replaces the running one.
  MakeCurrent(nullptr);
  g_carry.clear();
  if (g_retiredstep != StepCount) g_retired.clear();
  g_retiredstep = StepCount;
  for (auto& r : g_rooms)
    if (r) g_retired.push_back(std::move(r));
  g_rooms = std::move(g.rooms);
  Current_Room = g.room;
  Transition_Kind = g.transition;
  Score = g.score;
  Lives = g.lives;
  Health = g.health;
  Cursor_Sprite = g.cursor;
  Cursor_Subimage = g.cursorsub;
  Automatic_Draw = g.autodraw;
  GlobalVars() = g.globals;
  g_globalDeclared = std::move(g.declared);
  LastInstanceId = g.lastinstance;
  LastTileId = g.lasttile;
  MakeCurrent(g_rooms[size_t(Current_Room)].get());
  return true;
}

std::string SpecialKeySaveFile() { return "_save" + std::to_string(GameId) + ".sav"; }

void SetPendingGameFile(const std::string& file) { g_pendingfile = file; }

void LoadPendingGame() {
  New_Room = ROOM_NONE;
  IO_Clear();
  LoadGame(g_pendingfile);
  // Between steps nothing refers to the replaced rooms any more.
  g_retired.clear();
  // A load asked for before the first room was entered (library
  // initialisation code) that did not happen: the game starts as usual.
  if (g_current == nullptr) {
    const int first = FirstRoom();
    if (first >= 0) EnterRoom(first, true);
    else New_Room = ROOM_END;
  }
}
