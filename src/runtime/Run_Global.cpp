#include "runtime/Run_Global.h"

#include "library/Function_Math.h"
#include "resources/Object_Main.h"
#include "resources/Room_Main.h"
#include "runner/DataNew_Main.h"
#include "runner/Option_Main.h"
#include "runtime/Event_Main.h"
#include "runtime/IO_Main.h"
#include "runtime/Instance_Class.h"
#include "runtime/Run_Main.h"
#include "script/Code_Error.h"
#include "script/Code_Exec.h"
#include "script/Code_Main.h"
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
  New_Room = -1;
  RunLibraryInit();
  g_rooms.clear();
  g_rooms.resize(size_t(RoomCount()));
  g_carry.clear();
  const int first = FirstRoom();
  if (first < 0) {
    New_Room = -100;  // nothing to play
    return;
  }
  if (New_Room == -1) EnterRoom(first, true);
}

void EnterRoom(int index, bool newgame) {
  New_Room = -1;
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
  if (!RoomChangePending()) Transition_Kind = 0;
}

void LeaveRoom(bool gameend) {
  CRunRoom* room = g_current;
  if (room == nullptr) return;
  room->inst.RemoveMarked();
  const int pending = New_Room;
  New_Room = -1;
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
  Current_Room = -1;
}
