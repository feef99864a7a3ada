#include "script/Variable_BuiltIn.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <iterator>
#include <string>

#include "resources/Background_Main.h"
#include "resources/Room_Main.h"
#include "resources/Sprite_Main.h"
#include "runner/DataNew_Main.h"
#include "runner/Support_File.h"
#include "runtime/Event_Main.h"
#include "runtime/IO_Main.h"
#include "runtime/Instance_Class.h"
#include "runtime/Run_Global.h"
#include "runtime/Run_Main.h"
#include "script/Code_Spaces.h"
#include "script/Code_Error.h"
#include "script/Code_Function.h"
#include "script/Code_Exec.h"
#include "script/Code_Main.h"
#include "script/Code_Operator.h"
#include "script/Code_Text.h"
#include "script/Name_Index.h"
#include "runner/Option_Main.h"

double argument_relative = 0;
int View_Current = 0;

const char* const kBuiltinVariableNames[] = {
    "x",
    "y",
    "xprevious",
    "yprevious",
    "xstart",
    "ystart",
    "hspeed",
    "vspeed",
    "direction",
    "speed",
    "friction",
    "gravity",
    "gravity_direction",
    "object_index",
    "id",
    "alarm",
    "solid",
    "visible",
    "persistent",
    "depth",
    "bbox_left",
    "bbox_right",
    "bbox_top",
    "bbox_bottom",
    "sprite_index",
    "image_index",
    "image_single",
    "image_number",
    "sprite_width",
    "sprite_height",
    "sprite_xoffset",
    "sprite_yoffset",
    "image_xscale",
    "image_yscale",
    "image_angle",
    "image_alpha",
    "image_blend",
    "image_speed",
    "mask_index",
    "path_index",
    "path_position",
    "path_positionprevious",
    "path_speed",
    "path_scale",
    "path_orientation",
    "path_endaction",
    "timeline_index",
    "timeline_position",
    "timeline_speed",
    "timeline_running",
    "timeline_loop",
    "argument_relative",
    "argument0",
    "argument1",
    "argument2",
    "argument3",
    "argument4",
    "argument5",
    "argument6",
    "argument7",
    "argument8",
    "argument9",
    "argument10",
    "argument11",
    "argument12",
    "argument13",
    "argument14",
    "argument15",
    "argument",
    "argument_count",
    "room",
    "room_first",
    "room_last",
    "transition_kind",
    "transition_steps",
    "score",
    "lives",
    "health",
    "game_id",
    "working_directory",
    "temp_directory",
    "program_directory",
    "instance_count",
    "instance_id",
    "room_width",
    "room_height",
    "room_caption",
    "room_speed",
    "room_persistent",
    "background_color",
    "background_showcolor",
    "background_visible",
    "background_foreground",
    "background_index",
    "background_x",
    "background_y",
    "background_htiled",
    "background_vtiled",
    "background_xscale",
    "background_yscale",
    "background_hspeed",
    "background_vspeed",
    "background_blend",
    "background_alpha",
    "background_width",
    "background_height",
    "view_enabled",
    "view_current",
    "view_visible",
    "view_xview",
    "view_yview",
    "view_wview",
    "view_hview",
    "view_xport",
    "view_yport",
    "view_wport",
    "view_hport",
    "view_angle",
    "view_hborder",
    "view_vborder",
    "view_hspeed",
    "view_vspeed",
    "view_object",
    "mouse_x",
    "mouse_y",
    "mouse_button",
    "mouse_lastbutton",
    "keyboard_key",
    "keyboard_lastkey",
    "keyboard_lastchar",
    "keyboard_string",
    "cursor_sprite",
    "show_score",
    "show_lives",
    "show_health",
    "caption_score",
    "caption_lives",
    "caption_health",
    "fps",
    "current_time",
    "current_year",
    "current_month",
    "current_day",
    "current_weekday",
    "current_hour",
    "current_minute",
    "current_second",
    "event_type",
    "event_number",
    "event_object",
    "event_action",
    "secure_mode",
    "debug_mode",
    "error_occurred",
    "error_last",
    "orrin_version",
    "os_type",
    "os_device",
    "os_browser",
    "os_version",
    "browser_width",
    "browser_height",
    "async_load",
    "display_aa",
};
const int kBuiltinVariableNameCount = static_cast<int>(sizeof(kBuiltinVariableNames) / sizeof(kBuiltinVariableNames[0]));

namespace {
struct Impl {
  BuiltinGetter getter;
  BuiltinSetter setter;
};
// The implementations by name: the names are static text (the tables below
// and the callers of BuiltinVariableProvide).
struct Provided {
  CNameIndex index;  // name -> position in impls
  std::vector<Impl> impls;
  void Add(std::string_view name, Impl impl, bool replace) {
    const int at = index.Find(name);
    if (at >= 0) {
      if (replace) impls[size_t(at)] = impl;
      return;
    }
    index.Insert(name, int(impls.size()));
    impls.push_back(impl);
  }
};
Provided& ProvidedVariables() {
  static Provided provided;
  return provided;
}

bool GetConst(RValue& out, double v) {
  out.SetReal(v);
  return true;
}

// argument0 .. argument15
template <int N>
bool GetArgN(CInstance*, int, RValue& out) {
  CopyValue(out, CurrentArgs().slots[N]);
  return true;
}
template <int N>
bool SetArgN(CInstance*, int, const RValue& v) {
  CurrentArgs().dirty = 16;
  CopyValue(CurrentArgs().slots[N], v);
  return true;
}

bool GetArgArray(CInstance*, int index, RValue& out) {
  RArgFrame& f = CurrentArgs();
  if (opt_argerrors && index >= f.count) {
    ReportError("Illegal array index in script \"" + CurrentScriptName() + "\".\rtrying to access argument[" +
                    std::to_string(index) + "], but only " + std::to_string(f.count) +
                    " arguments have been supplied.",
                false);
    return false;
  }
  if (index < 0 || index > 15) index = 0;
  CopyValue(out, f.slots[index]);
  return true;
}
bool SetArgArray(CInstance*, int index, const RValue& v) {
  if (index < 0 || index > 15) index = 0;
  CurrentArgs().dirty = 16;
  CopyValue(CurrentArgs().slots[index], v);
  return true;
}
bool GetArgCount(CInstance*, int, RValue& out) { return GetConst(out, CurrentArgs().count); }
bool GetArgRelative(CInstance*, int, RValue& out) { return GetConst(out, argument_relative); }

bool GetId(CInstance* inst, int, RValue& out) { return GetConst(out, inst ? inst->i_id : 0); }
bool GetObjectIndex(CInstance* inst, int, RValue& out) { return GetConst(out, inst ? inst->i_objectindex : 0); }

bool GetErrorOccurred(CInstance*, int, RValue& out) { return GetConst(out, error_occurred ? 1 : 0); }
bool SetErrorOccurred(CInstance*, int, const RValue& v) {
  error_occurred = v.kind == RValue::kReal && v.val >= 0.5;
  return true;
}
bool GetErrorLast(CInstance*, int, RValue& out) {
  out.SetString(error_last);
  return true;
}
bool SetErrorLast(CInstance*, int, const RValue& v) {
  error_last = v.kind == RValue::kString ? v.str : std::string();
  return true;
}

bool GetVersion(CInstance*, int, RValue& out) { return GetConst(out, 810); }
bool GetZero(CInstance*, int, RValue& out) { return GetConst(out, 0); }
bool GetMinusOne(CInstance*, int, RValue& out) { return GetConst(out, -1); }

struct Own {
  std::string_view name;
  BuiltinGetter getter;
  BuiltinSetter setter;
};
constexpr Own kOwn[] = {
    {"object_index", GetObjectIndex, nullptr},
    {"id", GetId, nullptr},
    {"argument_relative", GetArgRelative, nullptr},
    {"argument0", GetArgN<0>, SetArgN<0>},
    {"argument1", GetArgN<1>, SetArgN<1>},
    {"argument2", GetArgN<2>, SetArgN<2>},
    {"argument3", GetArgN<3>, SetArgN<3>},
    {"argument4", GetArgN<4>, SetArgN<4>},
    {"argument5", GetArgN<5>, SetArgN<5>},
    {"argument6", GetArgN<6>, SetArgN<6>},
    {"argument7", GetArgN<7>, SetArgN<7>},
    {"argument8", GetArgN<8>, SetArgN<8>},
    {"argument9", GetArgN<9>, SetArgN<9>},
    {"argument10", GetArgN<10>, SetArgN<10>},
    {"argument11", GetArgN<11>, SetArgN<11>},
    {"argument12", GetArgN<12>, SetArgN<12>},
    {"argument13", GetArgN<13>, SetArgN<13>},
    {"argument14", GetArgN<14>, SetArgN<14>},
    {"argument15", GetArgN<15>, SetArgN<15>},
    {"argument", GetArgArray, SetArgArray},
    {"argument_count", GetArgCount, nullptr},
    {"error_occurred", GetErrorOccurred, SetErrorOccurred},
    {"error_last", GetErrorLast, SetErrorLast},
    {"orrin_version", GetVersion, nullptr},
    {"os_type", GetZero, nullptr},
    {"os_device", GetMinusOne, nullptr},
    {"os_browser", GetMinusOne, nullptr},
    {"os_version", GetMinusOne, nullptr},
    {"browser_width", GetMinusOne, nullptr},
    {"browser_height", GetMinusOne, nullptr},
    {"async_load", GetMinusOne, nullptr},
};
}  // namespace

// ---- the run's variables: instances, rooms, game state ----
namespace {
int RoundInt(const RValue& v) { return ArgInt(v); }
double Real(const RValue& v) { return v.kind == RValue::kReal ? v.val : 0; }
bool Flag(const RValue& v) { return RoundInt(v) > 0.5; }
bool Str(RValue& out, const std::string& s) {
  out.SetString(s);
  return true;
}

#define INST_REAL(NAME, FIELD)                                                  \
  bool Get_##NAME(CInstance* i, int, RValue& o) { return i ? GetConst(o, i->FIELD) : false; } \
  bool Set_##NAME(CInstance* i, int, const RValue& v) {                         \
    if (!i) return false;                                                       \
    i->FIELD = Real(v);                                                         \
    return true;                                                                \
  }
#define INST_FLAG(NAME, FIELD)                                                  \
  bool Get_##NAME(CInstance* i, int, RValue& o) { return i ? GetConst(o, i->FIELD ? 1 : 0) : false; } \
  bool Set_##NAME(CInstance* i, int, const RValue& v) {                         \
    if (!i) return false;                                                       \
    i->FIELD = Flag(v);                                                         \
    return true;                                                                \
  }
#define INST_INT(NAME, FIELD)                                                   \
  bool Get_##NAME(CInstance* i, int, RValue& o) { return i ? GetConst(o, i->FIELD) : false; } \
  bool Set_##NAME(CInstance* i, int, const RValue& v) {                         \
    if (!i) return false;                                                       \
    i->FIELD = RoundInt(v);                                                     \
    return true;                                                                \
  }
#define INST_SETTER(NAME, FIELD, SETTER, CONV)                                  \
  bool Get_##NAME(CInstance* i, int, RValue& o) { return i ? GetConst(o, i->FIELD) : false; } \
  bool Set_##NAME(CInstance* i, int, const RValue& v) {                         \
    if (!i) return false;                                                       \
    i->SETTER(CONV(v));                                                         \
    return true;                                                                \
  }
#define INST_RO(NAME, EXPR) \
  bool Get_##NAME(CInstance* i, int, RValue& o) { return i ? GetConst(o, EXPR) : false; }

bool Get_x(CInstance* i, int, RValue& o) { return i ? GetConst(o, i->i_x) : false; }
bool Set_x(CInstance* i, int, const RValue& v) {
  if (!i) return false;
  i->SetPosition(Real(v), i->i_y);
  return true;
}
bool Get_y(CInstance* i, int, RValue& o) { return i ? GetConst(o, i->i_y) : false; }
bool Set_y(CInstance* i, int, const RValue& v) {
  if (!i) return false;
  i->SetPosition(i->i_x, Real(v));
  return true;
}
INST_REAL(xprevious, i_xprevious)
INST_REAL(yprevious, i_yprevious)
INST_REAL(xstart, i_xstart)
INST_REAL(ystart, i_ystart)
INST_SETTER(hspeed, i_hspeed, SetHSpeed, Real)
INST_SETTER(vspeed, i_vspeed, SetVSpeed, Real)
INST_SETTER(direction, i_direction, SetDirection, Real)
INST_SETTER(speed, i_speed, SetSpeed, Real)
INST_REAL(friction, i_friction)
INST_REAL(gravity, i_gravity)
INST_REAL(gravity_direction, i_gravitydir)
bool Get_alarm(CInstance* i, int index, RValue& o) {
  if (!i) return false;
  if (index < 0 || index > 11) index = 0;
  return GetConst(o, i->Get_Alarm(index));
}
bool Set_alarm(CInstance* i, int index, const RValue& v) {
  if (!i) return false;
  if (index < 0 || index > 11) index = 0;
  i->Set_Alarm(index, RoundInt(v));
  return true;
}
INST_FLAG(solid, i_solid)
INST_FLAG(visible, i_visible)
INST_FLAG(persistent, i_persistent)
INST_REAL(depth, i_depth)
INST_RO(bbox_left, i->i_bbox.left)
INST_RO(bbox_right, i->i_bbox.right)
INST_RO(bbox_top, i->i_bbox.top)
INST_RO(bbox_bottom, i->i_bbox.bottom)
INST_SETTER(sprite_index, i_spriteindex, SetSpriteIndex, RoundInt)
INST_REAL(image_index, i_imageindex)
bool Get_image_single(CInstance* i, int, RValue& o) {
  if (!i) return false;
  return GetConst(o, i->i_imagespeed != 0 ? -1 : i->i_imageindex);
}
bool Set_image_single(CInstance* i, int, const RValue& v) {
  if (!i) return false;
  const double x = Real(v);
  if (x >= 0) {
    i->i_imageindex = x;
    i->i_imagespeed = 0;
  } else {
    i->i_imagespeed = 1;
  }
  return true;
}
INST_RO(image_number, i->ImageNumber())
const CSprite* SpriteOf(const CInstance* i) { return GetSprite(i->i_spriteindex); }
INST_RO(sprite_width, SpriteOf(i) ? SpriteOf(i)->GetWidth() * i->i_imagescalex : 0)
INST_RO(sprite_height, SpriteOf(i) ? SpriteOf(i)->GetHeight() * i->i_imagescaley : 0)
INST_RO(sprite_xoffset, SpriteOf(i) ? SpriteOf(i)->i_xorig * i->i_imagescalex : 0)
INST_RO(sprite_yoffset, SpriteOf(i) ? SpriteOf(i)->i_yorig * i->i_imagescaley : 0)
INST_SETTER(image_xscale, i_imagescalex, SetImageScaleX, Real)
INST_SETTER(image_yscale, i_imagescaley, SetImageScaleY, Real)
INST_SETTER(image_angle, i_imageangle, SetImageAngle, Real)
INST_REAL(image_alpha, i_imagealpha)
bool Get_image_blend(CInstance* i, int, RValue& o) { return i ? GetConst(o, i->i_imageblend) : false; }
bool Set_image_blend(CInstance* i, int, const RValue& v) {
  if (!i) return false;
  i->i_imageblend = static_cast<unsigned>(RoundInt(v));
  return true;
}
INST_REAL(image_speed, i_imagespeed)
INST_SETTER(mask_index, i_maskindex, SetMaskIndex, RoundInt)
INST_RO(path_index, i->i_pathindex)
double Clamp01(const RValue& v) { return std::clamp(Real(v), 0.0, 1.0); }
bool Get_path_position(CInstance* i, int, RValue& o) { return i ? GetConst(o, i->i_pathposition) : false; }
bool Set_path_position(CInstance* i, int, const RValue& v) {
  if (!i) return false;
  i->i_pathposition = Clamp01(v);
  return true;
}
bool Get_path_positionprevious(CInstance* i, int, RValue& o) {
  return i ? GetConst(o, i->i_pathpositionprevious) : false;
}
bool Set_path_positionprevious(CInstance* i, int, const RValue& v) {
  if (!i) return false;
  i->i_pathpositionprevious = Clamp01(v);
  return true;
}
INST_REAL(path_speed, i_pathspeed)
INST_REAL(path_scale, i_pathscale)
INST_REAL(path_orientation, i_pathorientation)
INST_INT(path_endaction, i_pathend)
INST_INT(timeline_index, i_timelineindex)
INST_REAL(timeline_position, i_timelineposition)
INST_REAL(timeline_speed, i_timelinespeed)
INST_FLAG(timeline_running, i_timelinerunning)
INST_FLAG(timeline_loop, i_timelineloop)

// ---- globals of the run ----
CRoom* Room() { return Run_Room() ? &Run_Room()->room : nullptr; }

bool Get_room(CInstance*, int, RValue& o) { return GetConst(o, Current_Room); }
bool Set_room(CInstance*, int, const RValue& v) {
  const int n = RoundInt(v);
  if (!RoomExists(n)) {
    ReportActionError("Unexisting room number: " + std::to_string(n), true);
    New_Room = ROOM_ABORT;
    return true;
  }
  New_Room = n;
  return true;
}
bool Get_room_first(CInstance*, int, RValue& o) { return GetConst(o, FirstRoom()); }
bool Get_room_last(CInstance*, int, RValue& o) {
  int last = -1;
  for (int r : RoomOrder)
    if (RoomExists(r)) last = r;
  return GetConst(o, last);
}
#define GLOBAL_INT(NAME, VAR)                                                          \
  bool Get_##NAME(CInstance*, int, RValue& o) { return GetConst(o, VAR); }             \
  bool Set_##NAME(CInstance*, int, const RValue& v) {                                  \
    VAR = RoundInt(v);                                                                 \
    return true;                                                                       \
  }
GLOBAL_INT(transition_kind, Transition_Kind)
bool Get_transition_steps(CInstance*, int, RValue& o) { return GetConst(o, Transition_Steps); }
bool Set_transition_steps(CInstance*, int, const RValue& v) {
  Transition_Steps = std::max(RoundInt(v), 1);  // every transition shows at least its two end frames
  return true;
}
GLOBAL_INT(score, Score)
GLOBAL_INT(cursor_sprite, Cursor_Sprite)
bool Get_lives(CInstance*, int, RValue& o) { return GetConst(o, Lives); }
bool Set_lives(CInstance*, int, const RValue& v) {
  const int before = Lives;
  Lives = RoundInt(v);
  if (before > 0 && Lives <= 0) Perform_AllEvent(7, 6);
  return true;
}
bool Get_health(CInstance*, int, RValue& o) { return GetConst(o, Health); }
bool Set_health(CInstance*, int, const RValue& v) {
  const double before = Health;
  Health = Real(v);
  if (before > 0 && Health <= 0) Perform_AllEvent(7, 9);
  return true;
}
bool Get_game_id(CInstance*, int, RValue& o) { return GetConst(o, GameId); }
bool Get_working_directory(CInstance*, int, RValue& o) {
  std::error_code ec;
  return Str(o, std::filesystem::current_path(ec).string());
}
bool Get_temp_directory(CInstance*, int, RValue& o) { return Str(o, TempDir); }
bool Get_program_directory(CInstance*, int, RValue& o) {
  return Str(o, std::filesystem::path(ExecutablePath()).parent_path().string());
}
bool Get_instance_count(CInstance*, int, RValue& o) {
  return GetConst(o, Run_Room() ? Run_Room()->inst.Count() : 0);
}
bool Get_instance_id(CInstance*, int index, RValue& o) {
  CInstance* inst = Run_Room() ? Run_Room()->inst.At(index) : nullptr;
  return GetConst(o, inst ? inst->i_id : -4);
}
#define ROOM_FIELD(NAME, EXPR)                                                     \
  bool Get_##NAME(CInstance*, int, RValue& o) {                                    \
    CRoom* r = Room();                                                             \
    return r ? GetConst(o, EXPR) : GetConst(o, 0);                                 \
  }
ROOM_FIELD(room_width, r->r_width)
ROOM_FIELD(room_height, r->r_height)
bool Get_room_caption(CInstance*, int, RValue& o) { return Str(o, Room() ? Room()->r_caption : std::string()); }
bool Set_room_caption(CInstance*, int, const RValue& v) {
  if (Room()) Room()->r_caption = v.kind == RValue::kString ? v.str : std::string();
  return true;
}
ROOM_FIELD(room_speed, r->r_speed)
bool Set_room_speed(CInstance*, int, const RValue& v) {
  const int n = RoundInt(v);
  if (n <= 0) {
    ReportActionError("Trying to set the room speed to a value <= 0.", false);
    return false;
  }
  if (Room()) Room()->r_speed = n;
  return true;
}
ROOM_FIELD(room_persistent, r->r_persistent ? 1 : 0)
bool Set_room_persistent(CInstance*, int, const RValue& v) {
  if (Room()) Room()->r_persistent = Flag(v);
  return true;
}
ROOM_FIELD(background_color, r->r_color)
bool Set_background_color(CInstance*, int, const RValue& v) {
  if (Room()) Room()->r_color = RoundInt(v);
  return true;
}
ROOM_FIELD(background_showcolor, r->r_showcolor ? 1 : 0)
bool Set_background_showcolor(CInstance*, int, const RValue& v) {
  if (Room()) Room()->r_showcolor = Flag(v);
  return true;
}
ROOM_FIELD(view_enabled, r->r_enableviews ? 1 : 0)
bool Set_view_enabled(CInstance*, int, const RValue& v) {
  if (Room()) Room()->r_enableviews = Flag(v);
  return true;
}

// Indexed fields of backgrounds and views; an index outside 0..7 means 0.
int Index8(int i) { return (i < 0 || i > 7) ? 0 : i; }
#define BACK_FIELD(NAME, FIELD, CONV, OUT)                                         \
  bool Get_##NAME(CInstance*, int i, RValue& o) {                                  \
    CRoom* r = Room();                                                             \
    return GetConst(o, r ? OUT(r->r_background[size_t(Index8(i))].FIELD) : 0);     \
  }                                                                                \
  bool Set_##NAME(CInstance*, int i, const RValue& v) {                            \
    if (CRoom* r = Room()) r->r_background[size_t(Index8(i))].FIELD = CONV(v);     \
    return true;                                                                   \
  }
#define VIEW_FIELD(NAME, FIELD, CONV, OUT)                                         \
  bool Get_##NAME(CInstance*, int i, RValue& o) {                                  \
    CRoom* r = Room();                                                             \
    return GetConst(o, r ? OUT(r->r_view[size_t(Index8(i))].FIELD) : 0);           \
  }                                                                                \
  bool Set_##NAME(CInstance*, int i, const RValue& v) {                            \
    if (CRoom* r = Room()) r->r_view[size_t(Index8(i))].FIELD = CONV(v);           \
    return true;                                                                   \
  }
double AsNum(double v) { return v; }
double AsNum(bool v) { return v ? 1 : 0; }
double AsNum(int v) { return v; }
BACK_FIELD(background_visible, visible, Flag, AsNum)
BACK_FIELD(background_foreground, foreground, Flag, AsNum)
BACK_FIELD(background_index, index, RoundInt, AsNum)
BACK_FIELD(background_x, x, Real, AsNum)
BACK_FIELD(background_y, y, Real, AsNum)
BACK_FIELD(background_htiled, htiled, Flag, AsNum)
BACK_FIELD(background_vtiled, vtiled, Flag, AsNum)
BACK_FIELD(background_xscale, xscale, Real, AsNum)
BACK_FIELD(background_yscale, yscale, Real, AsNum)
BACK_FIELD(background_hspeed, hspeed, Real, AsNum)
BACK_FIELD(background_vspeed, vspeed, Real, AsNum)
BACK_FIELD(background_blend, blend, RoundInt, AsNum)
BACK_FIELD(background_alpha, alpha, Real, AsNum)
VIEW_FIELD(view_visible, visible, Flag, AsNum)
VIEW_FIELD(view_xview, xview, RoundInt, AsNum)
VIEW_FIELD(view_yview, yview, RoundInt, AsNum)
VIEW_FIELD(view_wview, wview, RoundInt, AsNum)
VIEW_FIELD(view_hview, hview, RoundInt, AsNum)
VIEW_FIELD(view_xport, xport, RoundInt, AsNum)
VIEW_FIELD(view_yport, yport, RoundInt, AsNum)
VIEW_FIELD(view_wport, wport, RoundInt, AsNum)
VIEW_FIELD(view_hport, hport, RoundInt, AsNum)
VIEW_FIELD(view_angle, angle, Real, AsNum)
VIEW_FIELD(view_hborder, hborder, RoundInt, AsNum)
VIEW_FIELD(view_vborder, vborder, RoundInt, AsNum)
VIEW_FIELD(view_hspeed, hspeed, RoundInt, AsNum)
VIEW_FIELD(view_vspeed, vspeed, RoundInt, AsNum)
VIEW_FIELD(view_object, index, RoundInt, AsNum)
bool BackSize(int i, bool width, RValue& o) {
  CRoom* r = Room();
  const CBackground* b = r ? GetBackground(r->r_background[size_t(Index8(i))].index) : nullptr;
  return GetConst(o, b ? (width ? b->GetWidth() : b->GetHeight()) : 0);
}
bool Get_background_width(CInstance*, int i, RValue& o) { return BackSize(i, true, o); }
bool Get_background_height(CInstance*, int i, RValue& o) { return BackSize(i, false, o); }

bool g_showScore = true, g_showLives = false, g_showHealth = false, g_showScoreSet = false;
std::string g_captionScore = "Score: ", g_captionLives = "Lives: ", g_captionHealth = "Health: ";
#define GLOBAL_FLAG(NAME, VAR, EXTRA)                                                  \
  bool Get_##NAME(CInstance*, int, RValue& o) { return GetConst(o, VAR ? 1 : 0); }     \
  bool Set_##NAME(CInstance*, int, const RValue& v) {                                  \
    VAR = Flag(v);                                                                     \
    EXTRA;                                                                             \
    return true;                                                                       \
  }
#define GLOBAL_STR(NAME, VAR)                                                          \
  bool Get_##NAME(CInstance*, int, RValue& o) { return Str(o, VAR); }                  \
  bool Set_##NAME(CInstance*, int, const RValue& v) {                                  \
    VAR = v.kind == RValue::kString ? v.str : std::string();                           \
    return true;                                                                       \
  }
GLOBAL_FLAG(show_score, g_showScore, g_showScoreSet = true)
GLOBAL_FLAG(show_lives, g_showLives, (void)0)
GLOBAL_FLAG(show_health, g_showHealth, (void)0)
GLOBAL_STR(caption_score, g_captionScore)
GLOBAL_STR(caption_lives, g_captionLives)
GLOBAL_STR(caption_health, g_captionHealth)
}  // namespace

std::string CaptionWithScores(const std::string& caption) {
  std::string c = caption;
  if (g_showScore && (g_showScoreSet || Score > 0)) c += " " + g_captionScore + std::to_string(Score);
  if (g_showLives) c += " " + g_captionLives + std::to_string(Lives);
  if (g_showHealth) c += " " + g_captionHealth + std::to_string(int(std::nearbyint(Health)));
  return c;
}

namespace {
bool Get_view_current(CInstance*, int, RValue& o) { return GetConst(o, View_Current); }
bool Get_fps(CInstance*, int, RValue& o) { return GetConst(o, Fps); }
bool Get_current_time(CInstance*, int, RValue& o) {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return GetConst(o, std::floor(double(ts.tv_sec) * 1000.0 + double(ts.tv_nsec) / 1e6));
}
std::tm Now() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  return tm;
}
bool Get_current_year(CInstance*, int, RValue& o) { return GetConst(o, Now().tm_year + 1900); }
bool Get_current_month(CInstance*, int, RValue& o) { return GetConst(o, Now().tm_mon + 1); }
bool Get_current_day(CInstance*, int, RValue& o) { return GetConst(o, Now().tm_mday); }
bool Get_current_weekday(CInstance*, int, RValue& o) { return GetConst(o, Now().tm_wday + 1); }
bool Get_current_hour(CInstance*, int, RValue& o) { return GetConst(o, Now().tm_hour); }
bool Get_current_minute(CInstance*, int, RValue& o) { return GetConst(o, Now().tm_min); }
bool Get_current_second(CInstance*, int, RValue& o) { return GetConst(o, Now().tm_sec); }
bool Get_event_type(CInstance*, int, RValue& o) { return GetConst(o, event_type); }
bool Get_event_number(CInstance*, int, RValue& o) { return GetConst(o, event_number); }
bool Get_event_object(CInstance*, int, RValue& o) { return GetConst(o, event_object); }
bool Get_event_action(CInstance*, int, RValue& o) { return GetConst(o, event_action); }
bool Get_secure_mode(CInstance*, int, RValue& o) { return GetConst(o, SecureMode ? 1 : 0); }
bool Get_debug_mode(CInstance*, int, RValue& o) { return GetConst(o, DebugMode ? 1 : 0); }

// Input (IO_Main). Codes and buttons outside their range are not stored;
// the write still succeeds.
bool Get_mouse_x(CInstance*, int, RValue& o) { return GetConst(o, IO_MouseRoomX()); }
bool Get_mouse_y(CInstance*, int, RValue& o) { return GetConst(o, IO_MouseRoomY()); }
#define INPUT_INT(NAME, HIGH)                                                          \
  bool Get_##NAME(CInstance*, int, RValue& o) { return GetConst(o, NAME); }            \
  bool Set_##NAME(CInstance*, int, const RValue& v) {                                  \
    const int n = RoundInt(v);                                                         \
    if (n >= 0 && n <= HIGH) NAME = n;                                                 \
    return true;                                                                       \
  }
INPUT_INT(mouse_button, 3)
INPUT_INT(mouse_lastbutton, 3)
INPUT_INT(keyboard_key, 255)
INPUT_INT(keyboard_lastkey, 255)
bool Get_keyboard_lastchar(CInstance*, int, RValue& o) {
  // No character typed yet (or cleared) reads as the empty text.
  return Str(o, keyboard_lastchar == 0 ? std::string() : Utf16ToUtf8(std::u16string(1, keyboard_lastchar)));
}
bool Set_keyboard_lastchar(CInstance*, int, const RValue& v) {
  // The first character of the text (its first UTF-16 unit), so that a
  // non-ASCII character is kept whole rather than as its first byte.
  if (v.kind == RValue::kString && !v.str.empty()) keyboard_lastchar = Utf8ToUtf16(v.str)[0];
  return true;
}
bool Get_keyboard_string(CInstance*, int, RValue& o) { return Str(o, Utf16ToUtf8(keyboard_string)); }
bool Set_keyboard_string(CInstance*, int, const RValue& v) {
  keyboard_string = v.kind == RValue::kString ? Utf8ToUtf16(v.str) : std::u16string();
  return true;
}

#define RW(NAME) {#NAME, Get_##NAME, Set_##NAME}
#define RO(NAME) {#NAME, Get_##NAME, nullptr}
constexpr Own kRun[] = {
    RW(x), RW(y), RW(xprevious), RW(yprevious), RW(xstart), RW(ystart), RW(hspeed), RW(vspeed),
    RW(direction), RW(speed), RW(friction), RW(gravity), RW(gravity_direction), RW(alarm), RW(solid),
    RW(visible), RW(persistent), RW(depth), RO(bbox_left), RO(bbox_right), RO(bbox_top), RO(bbox_bottom),
    RW(sprite_index), RW(image_index), RW(image_single), RO(image_number), RO(sprite_width),
    RO(sprite_height), RO(sprite_xoffset), RO(sprite_yoffset), RW(image_xscale), RW(image_yscale),
    RW(image_angle), RW(image_alpha), RW(image_blend), RW(image_speed), RW(mask_index), RO(path_index),
    RW(path_position), RW(path_positionprevious), RW(path_speed), RW(path_scale), RW(path_orientation),
    RW(path_endaction), RW(timeline_index), RW(timeline_position), RW(timeline_speed),
    RW(timeline_running), RW(timeline_loop),
    RW(room), RO(room_first), RO(room_last), RW(transition_kind), RW(transition_steps), RW(score),
    RW(lives), RW(health), RO(game_id), RO(working_directory), RO(temp_directory), RO(program_directory),
    RO(instance_count), RO(instance_id), RO(room_width), RO(room_height), RW(room_caption), RW(room_speed),
    RW(room_persistent), RW(background_color), RW(background_showcolor), RW(background_visible),
    RW(background_foreground), RW(background_index), RW(background_x), RW(background_y),
    RW(background_htiled), RW(background_vtiled), RW(background_xscale), RW(background_yscale),
    RW(background_hspeed), RW(background_vspeed), RW(background_blend), RW(background_alpha),
    RO(background_width), RO(background_height), RW(view_enabled), RO(view_current), RW(view_visible), RW(view_xview),
    RW(view_yview), RW(view_wview), RW(view_hview), RW(view_xport), RW(view_yport), RW(view_wport),
    RW(view_hport), RW(view_angle), RW(view_hborder), RW(view_vborder), RW(view_hspeed), RW(view_vspeed),
    RW(view_object), RO(mouse_x), RO(mouse_y), RW(mouse_button), RW(mouse_lastbutton), RW(keyboard_key),
    RW(keyboard_lastkey), RW(keyboard_lastchar), RW(keyboard_string), RW(cursor_sprite), RW(show_score), RW(show_lives), RW(show_health), RW(caption_score),
    RW(caption_lives), RW(caption_health), RO(fps), RO(current_time), RO(current_year), RO(current_month),
    RO(current_day), RO(current_weekday), RO(current_hour), RO(current_minute), RO(current_second),
    RO(event_type), RO(event_number), RO(event_object), RO(event_action), RO(secure_mode), RO(debug_mode),
};
}  // namespace

void BuiltinVariableProvide(const char* name, BuiltinGetter getter, BuiltinSetter setter) {
  ProvidedVariables().Add(name, Impl{getter, setter}, true);
}

void RegisterBuiltinVariables() {
  static bool done = false;
  if (done) return;
  done = true;
  Provided& provided = ProvidedVariables();
  provided.index.Reserve(provided.index.Size() + std::size(kOwn) + std::size(kRun));
  provided.impls.reserve(provided.impls.size() + std::size(kOwn) + std::size(kRun));
  for (const Own& own : kOwn) provided.Add(own.name, Impl{own.getter, own.setter}, false);
  for (const Own& own : kRun) provided.Add(own.name, Impl{own.getter, own.setter}, false);
  for (int k = 0; k < kBuiltinVariableNameCount; ++k) {
    const int at = provided.index.Find(kBuiltinVariableNames[k]);
    if (at < 0 || provided.impls[size_t(at)].getter == nullptr) continue;
    const Impl& impl = provided.impls[size_t(at)];
    BuiltinVariableAdd(kBuiltinVariableNames[k], impl.getter, impl.setter, impl.setter != nullptr);
  }
  // Getters that read one real field of the instance; a module that
  // provided its own getter for such a name keeps it.
  static const struct {
    const char* name;
    BuiltinGetter getter;
    double CInstance::* field;
  } kRealFields[] = {
      {"x", Get_x, &CInstance::i_x},
      {"y", Get_y, &CInstance::i_y},
      {"xprevious", Get_xprevious, &CInstance::i_xprevious},
      {"yprevious", Get_yprevious, &CInstance::i_yprevious},
      {"xstart", Get_xstart, &CInstance::i_xstart},
      {"ystart", Get_ystart, &CInstance::i_ystart},
      {"hspeed", Get_hspeed, &CInstance::i_hspeed},
      {"vspeed", Get_vspeed, &CInstance::i_vspeed},
      {"direction", Get_direction, &CInstance::i_direction},
      {"speed", Get_speed, &CInstance::i_speed},
      {"friction", Get_friction, &CInstance::i_friction},
      {"gravity", Get_gravity, &CInstance::i_gravity},
      {"gravity_direction", Get_gravity_direction, &CInstance::i_gravitydir},
      {"depth", Get_depth, &CInstance::i_depth},
      {"image_index", Get_image_index, &CInstance::i_imageindex},
      {"image_speed", Get_image_speed, &CInstance::i_imagespeed},
      {"image_xscale", Get_image_xscale, &CInstance::i_imagescalex},
      {"image_yscale", Get_image_yscale, &CInstance::i_imagescaley},
      {"image_angle", Get_image_angle, &CInstance::i_imageangle},
      {"image_alpha", Get_image_alpha, &CInstance::i_imagealpha},
  };
  for (const auto& f : kRealFields) {
    const int id = BuiltinVariableFind(f.name);
    if (id >= 0 && BuiltinVariableTable()[size_t(id)].getter == f.getter) BuiltinVariableTable()[size_t(id)].field = f.field;
  }
  int arg0 = BuiltinVariableFind("argument0");
  // The interpreter reads argument0..argument15 directly when their ids are consecutive.
  if (arg0 >= 0 && BuiltinVariableFind("argument15") == arg0 + 15)
    SetArgumentVariableIds(arg0);
}
