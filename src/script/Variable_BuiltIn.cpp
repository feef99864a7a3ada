#include "script/Variable_BuiltIn.h"

#include <cstring>
#include <string>
#include <unordered_map>

#include "runtime/Instance_Class.h"
#include "script/Code_Error.h"
#include "script/Code_Exec.h"
#include "script/Code_Main.h"
#include "script/Code_Operator.h"
#include "runner/Option_Main.h"

double argument_relative = 0;

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
std::unordered_map<std::string, Impl>& Provided() {
  static std::unordered_map<std::string, Impl> provided;
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
  const char* name;
  BuiltinGetter getter;
  BuiltinSetter setter;
};
const Own kOwn[] = {
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

void BuiltinVariableProvide(const char* name, BuiltinGetter getter, BuiltinSetter setter) {
  Provided()[name] = Impl{getter, setter};
}

void RegisterBuiltinVariables() {
  static bool done = false;
  if (done) return;
  done = true;
  auto& provided = Provided();
  for (const Own& own : kOwn) provided.emplace(own.name, Impl{own.getter, own.setter});
  for (int k = 0; k < kBuiltinVariableNameCount; ++k) {
    auto it = provided.find(kBuiltinVariableNames[k]);
    if (it == provided.end() || it->second.getter == nullptr) continue;
    BuiltinVariableAdd(kBuiltinVariableNames[k], it->second.getter, it->second.setter,
                       it->second.setter != nullptr);
  }
  int arg0 = BuiltinVariableFind("argument0");
  // The interpreter reads argument0..argument15 directly when their ids are consecutive.
  if (arg0 >= 0 && BuiltinVariableFind("argument15") == arg0 + 15)
    SetArgumentVariableIds(arg0);
}
