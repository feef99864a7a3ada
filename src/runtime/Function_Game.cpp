#include "runtime/Function_Game.h"

#include <cmath>
#include <cstdio>

#include "resources/Object_Main.h"
#include "resources/Room_Main.h"
#include "resources/Sprite_Main.h"
#include "runner/DataNew_Main.h"
#include "runner/Support_Various.h"
#include "runtime/Event_Main.h"
#include "runtime/Instance_Class.h"
#include "runtime/Instance_Source.h"
#include "runtime/Run_Global.h"
#include "runtime/Run_Main.h"
#include "script/Code_Spaces.h"
#include "script/Function_Args.h"
#include "script/Function_Library.h"
#include "script/Code_Error.h"
#include "script/Code_Function.h"
#include "script/Variable_Main.h"

namespace {
void StdoutSink(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}
void (*g_sink)(const std::string&) = StdoutSink;


CInstance* FindLive(int id) {
  IInstanceSource& src = Instances();
  for (int pos = src.Count() - 1; pos >= 0; --pos) {
    CInstance* inst = src.At(pos);
    if (inst && inst->i_id == id && !inst->i_marked) return inst;
  }
  return nullptr;
}

// The instances an object argument names: an id above 99999, -1 self,
// -2 other, -3 all, otherwise the object and its descendants.
template <class F>
void ForTargets(CInstance* self, CInstance* other, int obj, F f) {
  if (obj == OWNER_SELF) {
    if (self && !self->i_marked) f(self);
  } else if (obj == OWNER_OTHER) {
    if (other && !other->i_marked) f(other);
  } else if (obj == OWNER_ALL) {
    IInstanceSource& src = Instances();
    const int n = src.Count();
    for (int i = 0; i < n; ++i)
      if (CInstance* inst = src.At(i); inst && !inst->i_marked) f(inst);
  } else if (obj > kMaxObjectIndex) {
    if (CInstance* inst = FindLive(obj)) f(inst);
  } else if (obj >= 0) {
    IInstanceSource& src = Instances();
    const int n = src.ObjCount(obj);
    for (int k = 0; k < n; ++k)
      if (CInstance* inst = src.ObjAt(obj, k); inst && !inst->i_marked) f(inst);
  }
}

void F_instance_create(CInstance*, CInstance*, int, RValue& result, RValue* args) {
  CInstance* inst = CreateInstance(ArgInt(args[2]), ArgReal(args[0]), ArgReal(args[1]));
  // No instance: the "noone" code, which no instance id can equal.
  result.SetReal(inst ? inst->i_id : -4);
}

void F_instance_copy(CInstance* self, CInstance*, int, RValue& result, RValue* args) {
  CRunRoom* room = Run_Room();
  if (room == nullptr || self == nullptr || !ObjectExists(self->i_objectindex)) {
    result.SetReal(-4);
    return;
  }
  CInstance* inst = room->inst.AddInstance(self->i_objectindex, self->i_x, self->i_y);
  const int id = inst->i_id;
  inst->Assign(*self);
  inst->i_id = id;
  inst->i_deactivated = false;  // it is in the active list, even when self is not
  if (ArgReal(args[0]) >= 0.5) Perform_Event(inst, inst, ev_create, 0);
  result.SetReal(id);
}

void F_instance_change(CInstance* self, CInstance*, int, RValue&, RValue* args) {
  const int obj = ArgInt(args[0]);
  const bool perf = ArgReal(args[1]) >= 0.5;
  if (!ObjectExists(obj)) {
    ReportActionError("Asking to change into non-existing object: " + std::to_string(obj), false);
    return;
  }
  CRunRoom* room = Run_Room();
  if (room == nullptr || self == nullptr || self->i_marked) return;
  if (perf) Perform_Event(self, self, ev_destroy, 0);
  CInstance* inst = room->inst.AddInstance(obj, self->i_x, self->i_y);
  inst->Assign(*self);
  inst->i_deactivated = false;  // it is in the active list, even when self is not
  inst->SetObjectIndex(obj);
  self->i_marked = true;
  if (perf) Perform_Event(inst, inst, ev_create, 0);
}

void F_path_start(CInstance* self, CInstance*, int, RValue&, RValue* args) {
  if (self == nullptr) return;
  self->Assign_Path(ArgInt(args[0]), ArgReal(args[3]) < 0.5, ArgInt(args[2]), 0, 1, ArgReal(args[1]));
}
void F_path_end(CInstance* self, CInstance*, int, RValue&, RValue*) {
  if (self) self->Assign_Path(-1, true, 0, 0, 1, 0);
}

void F_instance_destroy(CInstance* self, CInstance*, int, RValue&, RValue*) { DestroyInstance(self); }

void F_instance_sprite(CInstance* self, CInstance*, int, RValue&, RValue* args) {
  const int spr = ArgInt(args[0]);
  if (!SpriteExists(spr)) {
    ReportActionError("Setting instance to non-existing sprite: " + std::to_string(spr), false);
    return;
  }
  if (self) self->SetSpriteIndex(spr);
}

// Deactivation. The functions only set or clear i_deactivated on the
// instances they pick and then re-form the room's lists once; an instance
// changes lists but is never freed here, so the event that is running keeps
// its self. Marked (destroyed) instances are left alone.

CRoomInstances* RoomLists() {
  CRunRoom* room = Run_Room();
  return room ? &room->inst : nullptr;
}

// Object o is obj or one of its descendants.
bool ObjectIsA(int o, int obj) {
  if (o == obj) return true;
  const CObject* object = GetObject(o);
  return object != nullptr && object->IsDecendentOf(obj);
}

// The region rule: an instance with a shape counts as outside when its
// bounding box does not meet the closed rectangle [l, l + w] x [t, t + h];
// one without a shape when its position is not inside it.
bool OutsideRegion(const CInstance& i, double l, double t, double w, double h) {
  if (i.HasShape())
    return l > i.i_bbox.right || l + w < i.i_bbox.left || t > i.i_bbox.bottom || t + h < i.i_bbox.top;
  return !(l <= i.i_x && i.i_x <= l + w && t <= i.i_y && i.i_y <= t + h);
}

// Sets the deactivation flag of the active instances (deactivate) or of the
// deactivated ones (activate) that the object argument names: -1 self,
// -2 other, -3 all, an id above 99999, otherwise the object and its
// descendants; then re-forms the lists.
void SetDeactivatedByObject(CInstance* self, CInstance* other, int obj, bool deactivate) {
  CRoomInstances* l = RoomLists();
  if (l == nullptr) return;
  auto& from = deactivate ? l->r_instance : l->r_instance_deact;
  auto pick = [&](CInstance* inst) {
    if (inst == nullptr || inst->i_marked) return;
    for (auto& p : from)
      if (p.get() == inst) inst->i_deactivated = deactivate;
  };
  if (obj == OWNER_SELF) {
    pick(self);
  } else if (obj == OWNER_OTHER) {
    pick(other);
  } else if (obj == OWNER_ALL || obj >= 0) {
    for (auto& p : from) {
      if (p->i_marked) continue;
      if (obj == OWNER_ALL || (obj > kMaxObjectIndex ? p->i_id == obj : ObjectIsA(p->i_objectindex, obj)))
        p->i_deactivated = deactivate;
    }
  }
  l->UpdateActive();
}

void SetDeactivatedByRegion(CInstance* self, const RValue* args, bool deactivate, bool notme) {
  CRoomInstances* l = RoomLists();
  if (l == nullptr) return;
  const double left = ArgReal(args[0]), top = ArgReal(args[1]), width = ArgReal(args[2]),
               height = ArgReal(args[3]);
  const bool inside = ArgReal(args[4]) >= 0.5;
  for (auto& p : deactivate ? l->r_instance : l->r_instance_deact) {
    if (p->i_marked || (notme && p.get() == self)) continue;
    if (OutsideRegion(*p, left, top, width, height) != inside) p->i_deactivated = deactivate;
  }
  l->UpdateActive();
}

void F_instance_deactivate_all(CInstance* self, CInstance*, int, RValue&, RValue* args) {
  CRoomInstances* l = RoomLists();
  if (l == nullptr) return;
  const bool notme = ArgReal(args[0]) >= 0.5;
  for (auto& p : l->r_instance)
    if (!p->i_marked && !(notme && p.get() == self)) p->i_deactivated = true;
  l->UpdateActive();
}
void F_instance_deactivate_object(CInstance* self, CInstance* other, int, RValue&, RValue* args) {
  SetDeactivatedByObject(self, other, ArgInt(args[0]), true);
}
void F_instance_deactivate_region(CInstance* self, CInstance*, int, RValue&, RValue* args) {
  SetDeactivatedByRegion(self, args, true, ArgReal(args[5]) >= 0.5);
}
void F_instance_activate_all(CInstance* self, CInstance* other, int, RValue&, RValue*) {
  SetDeactivatedByObject(self, other, -3, false);
}
void F_instance_activate_object(CInstance* self, CInstance* other, int, RValue&, RValue* args) {
  SetDeactivatedByObject(self, other, ArgInt(args[0]), false);
}
void F_instance_activate_region(CInstance* self, CInstance*, int, RValue&, RValue* args) {
  SetDeactivatedByRegion(self, args, false, false);
}

void F_instance_exists(CInstance* self, CInstance* other, int, RValue& result, RValue* args) {
  bool found = false;
  ForTargets(self, other, ArgInt(args[0]), [&](CInstance*) { found = true; });
  result.SetReal(found ? 1 : 0);
}

void F_instance_number(CInstance* self, CInstance* other, int, RValue& result, RValue* args) {
  int n = 0;
  ForTargets(self, other, ArgInt(args[0]), [&](CInstance*) { ++n; });
  result.SetReal(n);
}

void F_instance_find(CInstance* self, CInstance* other, int, RValue& result, RValue* args) {
  int k = ArgInt(args[1]);
  int found = -4;
  ForTargets(self, other, ArgInt(args[0]), [&](CInstance* inst) {
    if (k-- == 0) found = inst->i_id;
  });
  result.SetReal(found);
}

void RoomGoto(int n) {
  if (!RoomExists(n)) {
    ReportActionError("Unexisting room number: " + std::to_string(n), true);
    New_Room = ROOM_ABORT;
    return;
  }
  New_Room = n;
}

void F_room_goto(CInstance*, CInstance*, int, RValue&, RValue* args) { RoomGoto(ArgInt(args[0])); }
void F_room_goto_previous(CInstance*, CInstance*, int, RValue&, RValue*) {
  const int prev = PreviousRoom(RoomOrder, Current_Room);
  if (prev < 0) {
    ReportActionError("Moving to previous room before the first room.", true);
    New_Room = ROOM_ABORT;
    return;
  }
  RoomGoto(prev);
}
void F_room_goto_next(CInstance*, CInstance*, int, RValue&, RValue*) {
  const int next = NextRoom(RoomOrder, Current_Room);
  if (next < 0) {
    ReportActionError("Moving to next room after the last room.", true);
    New_Room = ROOM_ABORT;
    return;
  }
  RoomGoto(next);
}
void F_room_restart(CInstance*, CInstance*, int, RValue&, RValue*) { RoomGoto(Current_Room); }
void F_room_previous(CInstance*, CInstance*, int, RValue& result, RValue* args) {
  const int n = ArgInt(args[0]);
  result.SetReal(RoomExists(n) ? PreviousRoom(RoomOrder, n) : -1);
}
void F_room_next(CInstance*, CInstance*, int, RValue& result, RValue* args) {
  const int n = ArgInt(args[0]);
  result.SetReal(RoomExists(n) ? NextRoom(RoomOrder, n) : -1);
}
void F_game_end(CInstance*, CInstance*, int, RValue&, RValue*) { New_Room = ROOM_END; }
void F_game_restart(CInstance*, CInstance*, int, RValue&, RValue*) { New_Room = ROOM_RESTART; }
std::string ArgText(const RValue& v) { return v.kind == RValue::kString ? v.str : std::string(); }
void F_game_save(CInstance*, CInstance*, int, RValue&, RValue* args) { SaveGame(ArgText(args[0])); }
void F_game_load(CInstance*, CInstance*, int, RValue&, RValue* args) {
  SetPendingGameFile(ArgText(args[0]));
  New_Room = ROOM_LOAD;
}

void F_event_perform(CInstance* self, CInstance* other, int, RValue&, RValue* args) {
  Perform_Event(self, other, ArgInt(args[0]), ArgInt(args[1]));
}
void F_event_user(CInstance* self, CInstance* other, int, RValue&, RValue* args) {
  Perform_Event(self, other, ev_other, ArgInt(args[0]) + 10);
}
void F_event_perform_object(CInstance* self, CInstance* other, int, RValue&, RValue* args) {
  Perform_ObjectEvent(self, other, ArgInt(args[0]), ArgInt(args[1]), ArgInt(args[2]));
}
void F_event_inherited(CInstance* self, CInstance* other, int, RValue&, RValue*) {
  const CObject* obj = GetObject(event_object);
  if (obj == nullptr || !ObjectExists(obj->o_parent)) return;
  Perform_ObjectEvent(self, other, obj->o_parent, event_type, event_number);
}

std::string DebugText(const RValue& v) {
  if (v.kind == RValue::kString) return v.str;
  if (std::isfinite(v.val) && v.val == std::floor(v.val) && std::fabs(v.val) < 1e18) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.0f", v.val);
    return buf;
  }
  char buf[512];
  std::snprintf(buf, sizeof buf, "%.2f", v.val);
  return buf;
}

void F_show_debug_message(CInstance*, CInstance*, int, RValue&, RValue* args) {
  // There is no debug window: the lines go to standard output.
  if (g_sink) g_sink(DebugText(args[0]));
}
}  // namespace

void SetDebugMessageSink(void (*sink)(const std::string& line)) { g_sink = sink ? sink : StdoutSink; }

namespace {
// Waits with the step's own wait, so window events keep being handled.
void F_sleep(CInstance*, CInstance*, int, RValue&, RValue* args) {
  const double us = std::nearbyint(ArgReal(args[0]) * 1000.0);
  if (!(us > 0)) return;
  WaitMicroseconds(us >= 9.0e18 ? INT64_MAX : static_cast<int64_t>(us));
}

// The answers of a desktop: platform 0, no device, no domain.
void F_Velto_GetPlatform(CInstance*, CInstance*, int, RValue& result, RValue*) { result.SetReal(0); }
void F_Velto_GetDevice(CInstance*, CInstance*, int, RValue& result, RValue*) { result.SetReal(-1); }
void F_Velto_GetDomain(CInstance*, CInstance*, int, RValue& result, RValue*) { result.SetString("unknown"); }
// A desktop has no timer, browser or virtual keys to ask for: these do nothing.
void F_Velto_Nothing(CInstance*, CInstance*, int, RValue&, RValue*) {}

constexpr RBuiltin kFunctions[] = {
    {"path_start", F_path_start, 4},
    {"path_end", F_path_end, 0},
    {"instance_find", F_instance_find, 2},
    {"instance_exists", F_instance_exists, 1},
    {"instance_number", F_instance_number, 1},
    {"instance_create", F_instance_create, 3},
    {"instance_copy", F_instance_copy, 1},
    {"instance_change", F_instance_change, 2},
    {"instance_destroy", F_instance_destroy, 0},
    {"instance_sprite", F_instance_sprite, 1},
    {"instance_deactivate_all", F_instance_deactivate_all, 1},
    {"instance_deactivate_object", F_instance_deactivate_object, 1},
    {"instance_deactivate_region", F_instance_deactivate_region, 6},
    {"instance_activate_all", F_instance_activate_all, 0},
    {"instance_activate_object", F_instance_activate_object, 1},
    {"instance_activate_region", F_instance_activate_region, 5},
    {"room_goto", F_room_goto, 1},
    {"room_goto_previous", F_room_goto_previous, 0},
    {"room_goto_next", F_room_goto_next, 0},
    {"room_previous", F_room_previous, 1},
    {"room_next", F_room_next, 1},
    {"room_restart", F_room_restart, 0},
    {"game_end", F_game_end, 0},
    {"game_restart", F_game_restart, 0},
    {"event_inherited", F_event_inherited, 0},
    {"event_perform", F_event_perform, 2},
    {"event_user", F_event_user, 1},
    {"event_perform_object", F_event_perform_object, 3},
    {"show_debug_message", F_show_debug_message, 1},
    {"game_save", F_game_save, 1},
    {"game_load", F_game_load, 1},
    {"sleep", F_sleep, 1},
    {"Velto_GetPlatform", F_Velto_GetPlatform, 0},
    {"Velto_GetDevice", F_Velto_GetDevice, 0},
    {"Velto_GetDomain", F_Velto_GetDomain, 0},
    {"Velto_GetTimer", F_Velto_Nothing, 0},
    {"Velto_OpenURL", F_Velto_Nothing, 1},
    {"Velto_OpenURL_ext", F_Velto_Nothing, 2},
    {"Velto_OpenURL_full", F_Velto_Nothing, 3},
    {"Velto_AddVirtualKey", F_Velto_Nothing, 5},
    {"Velto_DeleteVirtualKey", F_Velto_Nothing, 1},
    {"Velto_ShowVirtualKey", F_Velto_Nothing, 1},
    {"Velto_HideVirtualKey", F_Velto_Nothing, 1},
};
}  // namespace

const RFunctionLibrary kLibrary_Game{"Game", kFunctions};
