// The drag-and-drop action functions and the few rules of their own.
#include "runtime/Function_Action.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <string>

#include "graphics/Graphics_Draw.h"
#include "library/Function_Math.h"
#include "resources/Background_Main.h"
#include "resources/Object_Main.h"
#include "resources/Room_Main.h"
#include "resources/Sprite_Class.h"
#include "resources/Sound_Main.h"
#include "resources/Sprite_Main.h"
#include "runner/DataNew_Main.h"
#include "runner/Option_Main.h"
#include "runtime/Event_Main.h"
#include "runtime/IO_Main.h"
#include "runtime/Instance_Class.h"
#include "runtime/Run_Global.h"
#include "runtime/Run_Main.h"
#include "script/Code_Error.h"
#include "script/Code_Exec.h"
#include "script/Code_Function.h"
#include "script/Code_Text.h"
#include "script/Function_Args.h"
#include "script/Function_Library.h"
#include "script/Variable_BuiltIn.h"
#include "script/Variable_Main.h"

namespace {

// Most actions are the ordinary built-in under another name: they call the
// very routine registered for it, found once by name, so its rules and
// messages live in one place.
struct RBuiltinCall {
  const char* name;
  BuiltinRoutine routine = nullptr;
  bool looked = false;
};

RValue Call(RBuiltinCall& f, CInstance* self, CInstance* other, std::initializer_list<RValue> args) {
  if (!f.looked) {
    f.looked = true;
    const int id = FunctionFindBuiltin(f.name);
    if (id >= 0) f.routine = FunctionGet(id).f_routine;
  }
  RValue result;
  RValue a[kMaxFunctionArgs];
  int n = 0;
  for (const RValue& v : args) a[n++] = v;
  if (f.routine) f.routine(self, other, n, result, a);
  return result;
}

RBuiltinCall b_instance_change{"instance_change"};
RBuiltinCall b_instance_number{"instance_number"};
RBuiltinCall b_instance_sprite{"instance_sprite"};
RBuiltinCall b_path_start{"path_start"};
RBuiltinCall b_path_end{"path_end"};
RBuiltinCall b_room_goto{"room_goto"};
RBuiltinCall b_room_goto_previous{"room_goto_previous"};
RBuiltinCall b_room_goto_next{"room_goto_next"};
RBuiltinCall b_room_restart{"room_restart"};
RBuiltinCall b_game_end{"game_end"};
RBuiltinCall b_game_restart{"game_restart"};
RBuiltinCall b_game_save{"game_save"};
RBuiltinCall b_game_load{"game_load"};
RBuiltinCall b_event_inherited{"event_inherited"};
RBuiltinCall b_screen_redraw{"screen_redraw"};
RBuiltinCall b_screen_save{"screen_save"};
RBuiltinCall b_draw_sprite{"draw_sprite"};
RBuiltinCall b_draw_sprite_ext{"draw_sprite_ext"};
RBuiltinCall b_draw_background{"draw_background"};
RBuiltinCall b_draw_background_tiled{"draw_background_tiled"};
RBuiltinCall b_window_set_fullscreen{"window_set_fullscreen"};
RBuiltinCall b_window_get_fullscreen{"window_get_fullscreen"};
RBuiltinCall b_window_set_cursor{"window_set_cursor"};
RBuiltinCall b_move_towards_point{"move_towards_point"};
RBuiltinCall b_move_random{"move_random"};
RBuiltinCall b_move_snap{"move_snap"};
RBuiltinCall b_move_contact_solid{"move_contact_solid"};
RBuiltinCall b_move_contact_all{"move_contact_all"};
RBuiltinCall b_move_bounce_solid{"move_bounce_solid"};
RBuiltinCall b_move_bounce_all{"move_bounce_all"};
RBuiltinCall b_mp_linear_step{"mp_linear_step"};
RBuiltinCall b_mp_potential_step{"mp_potential_step"};
RBuiltinCall b_position_destroy{"position_destroy"};
RBuiltinCall b_place_free{"place_free"};
RBuiltinCall b_place_empty{"place_empty"};
RBuiltinCall b_place_meeting{"place_meeting"};
RBuiltinCall b_place_snapped{"place_snapped"};
RBuiltinCall b_sound_play{"sound_play"};
RBuiltinCall b_sound_loop{"sound_loop"};
RBuiltinCall b_sound_stop{"sound_stop"};
RBuiltinCall b_sound_isplaying{"sound_isplaying"};
RBuiltinCall b_cd_play{"cd_play"};
RBuiltinCall b_cd_stop{"cd_stop"};
RBuiltinCall b_cd_pause{"cd_pause"};
RBuiltinCall b_cd_resume{"cd_resume"};
RBuiltinCall b_cd_present{"cd_present"};
RBuiltinCall b_cd_playing{"cd_playing"};
RBuiltinCall b_draw_set_color{"draw_set_color"};
RBuiltinCall b_draw_line{"draw_line"};
RBuiltinCall b_draw_arrow{"draw_arrow"};
RBuiltinCall b_draw_rectangle{"draw_rectangle"};
RBuiltinCall b_draw_rectangle_color{"draw_rectangle_color"};
RBuiltinCall b_draw_ellipse{"draw_ellipse"};
RBuiltinCall b_draw_ellipse_color{"draw_ellipse_color"};
RBuiltinCall b_draw_healthbar{"draw_healthbar"};
RBuiltinCall b_draw_text{"draw_text"};
RBuiltinCall b_draw_text_transformed{"draw_text_transformed"};
RBuiltinCall b_draw_set_font{"draw_set_font"};
RBuiltinCall b_draw_set_halign{"draw_set_halign"};

// Built-in variables whose setters carry a rule the actions share (the
// lives and health events, the alarm index, the path position clamp, the
// caption switch).
bool SetVariable(CInstance* self, const char* name, int index, const RValue& v) {
  const int id = BuiltinVariableFind(name);
  return id >= 0 && BuiltinSetVar(self, id, index, v);
}
RValue GetVariable(CInstance* self, const char* name, int index) {
  RValue v;
  const int id = BuiltinVariableFind(name);
  if (id >= 0) BuiltinGetVar(self, id, index, v);
  return v;
}

RValue Real(double x) {
  RValue v;
  v.SetReal(x);
  return v;
}

bool Relative() { return argument_relative >= 0.5; }
// A coordinate pair, offset by self's position when relative.
double RelX(CInstance* self, const RValue& v) { return ArgReal(v) + (Relative() && self ? self->i_x : 0); }
double RelY(CInstance* self, const RValue& v) { return ArgReal(v) + (Relative() && self ? self->i_y : 0); }
// A value that replaces the current one, or is added to it when relative.
double RelValue(double current, double v) { return Relative() ? current + v : v; }

// 0 equal, 1 smaller, 2 larger; any other operator means equal.
bool Compare(double difference, int op) {
  if (op == 1) return difference < 0;
  if (op == 2) return difference > 0;
  return difference == 0;
}
void Answer(RValue& result, bool yes) { result.SetReal(yes ? 1 : 0); }

// ---- obsolete actions: kept so old games load, they do nothing ----
void A_nothing(CInstance*, CInstance*, int, RValue&, RValue*) {}

// ---- motion ----
void A_move(CInstance* self, CInstance*, int, RValue&, RValue* args) {
  const std::u16string dirs = Utf8ToUtf16(ArgString(args[0]));
  if (dirs.size() != 9) {
    ReportActionError("Wrong argument to action_move().", false);
    return;
  }
  if (self == nullptr || dirs.find(u'1') == std::u16string::npos) return;
  self->SetSpeed(RelValue(self->i_speed, ArgReal(args[1])));
  // The nine keypad buttons from the bottom row up; the middle one stops.
  static constexpr int kDirection[9] = {225, 270, 315, 180, -1, 0, 135, 90, 45};
  int k;
  do k = RandomInt(9);
  while (dirs[size_t(k)] != u'1');
  if (k == 4) {
    self->SetDirection(0);
    self->SetSpeed(0);
  } else {
    self->SetDirection(kDirection[k]);
  }
}

void A_set_motion(CInstance* self, CInstance*, int, RValue&, RValue* args) {
  if (self == nullptr) return;
  if (Relative()) {
    self->AddTo_Speed(ArgReal(args[1]), ArgReal(args[0]));
  } else {
    self->SetDirection(ArgReal(args[0]));
    self->SetSpeed(ArgReal(args[1]));
  }
}
void A_set_hspeed(CInstance* self, CInstance*, int, RValue&, RValue* args) {
  if (self) self->SetHSpeed(RelValue(self->i_hspeed, ArgReal(args[0])));
}
void A_set_vspeed(CInstance* self, CInstance*, int, RValue&, RValue* args) {
  if (self) self->SetVSpeed(RelValue(self->i_vspeed, ArgReal(args[0])));
}
void A_set_friction(CInstance* self, CInstance*, int, RValue&, RValue* args) {
  if (self) self->i_friction = RelValue(self->i_friction, ArgReal(args[0]));
}
void A_set_gravity(CInstance* self, CInstance*, int, RValue&, RValue* args) {
  if (self == nullptr) return;
  self->i_gravitydir = RelValue(self->i_gravitydir, ArgReal(args[0]));
  self->i_gravity = RelValue(self->i_gravity, ArgReal(args[1]));
}
void A_move_to(CInstance* self, CInstance*, int, RValue&, RValue* args) {
  if (self) self->SetPosition(RelX(self, args[0]), RelY(self, args[1]));
}
void A_move_start(CInstance* self, CInstance*, int, RValue&, RValue*) {
  if (self) self->SetPosition(self->i_xstart, self->i_ystart);
}
void A_reverse_xdir(CInstance* self, CInstance*, int, RValue&, RValue*) {
  if (self) self->SetHSpeed(-self->i_hspeed);
}
void A_reverse_ydir(CInstance* self, CInstance*, int, RValue&, RValue*) {
  if (self) self->SetVSpeed(-self->i_vspeed);
}

void A_wrap(CInstance* self, CInstance*, int, RValue&, RValue* args) {
  CRunRoom* room = Run_Room();
  if (self == nullptr || room == nullptr) return;
  const int how = ArgInt(args[0]);
  const CSprite* spr = GetSprite(self->i_spriteindex);
  const double w = spr ? spr->GetWidth() * self->i_imagescalex : 0;
  const double h = spr ? spr->GetHeight() * self->i_imagescaley : 0;
  double x = self->i_x, y = self->i_y;
  const double rw = room->room.r_width, rh = room->room.r_height;
  if (how == 0 || how == 2) {
    if (self->i_hspeed < 0 && x < 0) x += rw + w;
    else if (self->i_hspeed > 0 && x >= rw) x -= rw + w;
  }
  if (how == 1 || how == 2) {
    if (self->i_vspeed < 0 && y < 0) y += rh + h;
    else if (self->i_vspeed > 0 && y >= rh) y -= rh + h;
  }
  self->SetPosition(x, y);
}

void A_path(CInstance* self, CInstance* other, int, RValue&, RValue* args) {
  Call(b_path_start, self, other, {args[0], args[1], args[2], args[3]});
}
void A_path_end(CInstance* self, CInstance* other, int, RValue&, RValue*) { Call(b_path_end, self, other, {}); }
void A_path_position(CInstance* self, CInstance*, int, RValue&, RValue* args) {
  if (self) SetVariable(self, "path_position", 0, Real(RelValue(self->i_pathposition, ArgReal(args[0]))));
}
void A_path_speed(CInstance* self, CInstance*, int, RValue&, RValue* args) {
  if (self) self->i_pathspeed = RelValue(self->i_pathspeed, ArgReal(args[0]));
}

// ---- motion with collisions and planning ----
void A_move_point(CInstance* self, CInstance* other, int, RValue&, RValue* args) {
  Call(b_move_towards_point, self, other, {Real(RelX(self, args[0])), Real(RelY(self, args[1])), args[2]});
}
void A_move_random(CInstance* self, CInstance* other, int, RValue&, RValue* args) {
  Call(b_move_random, self, other, {args[0], args[1]});
}
void A_snap(CInstance* self, CInstance* other, int, RValue&, RValue* args) {
  Call(b_move_snap, self, other, {args[0], args[1]});
}
// The "against" argument: 1 all instances, anything else the solid ones.
bool AgainstAll(const RValue& v) { return ArgInt(v) == 1; }
void A_move_contact(CInstance* self, CInstance* other, int, RValue&, RValue* args) {
  Call(AgainstAll(args[2]) ? b_move_contact_all : b_move_contact_solid, self, other, {args[0], args[1]});
}
void A_bounce(CInstance* self, CInstance* other, int, RValue&, RValue* args) {
  Call(AgainstAll(args[1]) ? b_move_bounce_all : b_move_bounce_solid, self, other, {args[0]});
}
void A_linear_step(CInstance* self, CInstance* other, int, RValue& result, RValue* args) {
  result = Call(b_mp_linear_step, self, other, {Real(RelX(self, args[0])), Real(RelY(self, args[1])), args[2], args[3]});
}
void A_potential_step(CInstance* self, CInstance* other, int, RValue& result, RValue* args) {
  result =
      Call(b_mp_potential_step, self, other, {Real(RelX(self, args[0])), Real(RelY(self, args[1])), args[2], args[3]});
}
void A_kill_position(CInstance* self, CInstance* other, int, RValue&, RValue* args) {
  Call(b_position_destroy, self, other, {Real(RelX(self, args[0])), Real(RelY(self, args[1]))});
}

// ---- collision questions: the instance is looked at, never moved ----
// Objects 0: only solid instances count; anything else: all instances.
bool PlaceIsEmpty(CInstance* self, CInstance* other, RValue* args) {
  RBuiltinCall& f = ArgInt(args[2]) == 0 ? b_place_free : b_place_empty;
  return ArgBool(Call(f, self, other, {Real(RelX(self, args[0])), Real(RelY(self, args[1]))}));
}
void A_if_empty(CInstance* self, CInstance* other, int, RValue& result, RValue* args) {
  Answer(result, PlaceIsEmpty(self, other, args));
}
void A_if_collision(CInstance* self, CInstance* other, int, RValue& result, RValue* args) {
  Answer(result, !PlaceIsEmpty(self, other, args));
}
void A_if_object(CInstance* self, CInstance* other, int, RValue& result, RValue* args) {
  Answer(result,
         ArgBool(Call(b_place_meeting, self, other, {Real(RelX(self, args[1])), Real(RelY(self, args[2])), args[0]})));
}
void A_if_aligned(CInstance* self, CInstance* other, int, RValue& result, RValue* args) {
  Answer(result, ArgBool(Call(b_place_snapped, self, other, {args[0], args[1]})));
}

// ---- sound and CD audio ----
void A_sound(CInstance* self, CInstance* other, int, RValue&, RValue* args) {
  if (!SoundExists(ArgInt(args[0]))) {
    ReportActionError("Trying to play non-existing sound.", false);
    return;
  }
  Call(ArgBool(args[1]) ? b_sound_loop : b_sound_play, self, other, {args[0]});
}
void A_end_sound(CInstance* self, CInstance* other, int, RValue&, RValue* args) {
  if (!SoundExists(ArgInt(args[0]))) {
    ReportActionError("Trying to stop non-existing sound.", false);
    return;
  }
  Call(b_sound_stop, self, other, {args[0]});
}
void A_if_sound(CInstance* self, CInstance* other, int, RValue& result, RValue* args) {
  Answer(result, ArgBool(Call(b_sound_isplaying, self, other, {args[0]})));
}
void A_cd_play(CInstance* self, CInstance* other, int, RValue&, RValue* args) {
  Call(b_cd_play, self, other, {args[0], args[1]});
}
void A_cd_stop(CInstance* self, CInstance* other, int, RValue&, RValue*) { Call(b_cd_stop, self, other, {}); }
void A_cd_pause(CInstance* self, CInstance* other, int, RValue&, RValue*) { Call(b_cd_pause, self, other, {}); }
void A_cd_resume(CInstance* self, CInstance* other, int, RValue&, RValue*) { Call(b_cd_resume, self, other, {}); }
void A_cd_present(CInstance* self, CInstance* other, int, RValue& result, RValue*) {
  Answer(result, ArgBool(Call(b_cd_present, self, other, {})));
}
void A_cd_playing(CInstance* self, CInstance* other, int, RValue& result, RValue*) {
  Answer(result, ArgBool(Call(b_cd_playing, self, other, {})));
}

// ---- instances ----
void A_create_object(CInstance* self, CInstance*, int, RValue&, RValue* args) {
  CreateInstance(ArgInt(args[0]), RelX(self, args[1]), RelY(self, args[2]));
}

void A_create_object_motion(CInstance* self, CInstance*, int, RValue&, RValue* args) {
  const int obj = ArgInt(args[0]);
  if (!ObjectExists(obj)) {
    CreateInstance(obj, 0, 0);  // reports the missing object, creates nothing
    return;
  }
  CRunRoom* room = Run_Room();
  if (room == nullptr) return;
  // The create event already sees the motion.
  CInstance* inst = room->inst.AddInstance(obj, RelX(self, args[1]), RelY(self, args[2]));
  inst->SetSpeed(ArgReal(args[3]));
  inst->SetDirection(ArgReal(args[4]));
  Perform_Event(inst, inst, ev_create, 0);
}

void A_create_object_random(CInstance* self, CInstance*, int, RValue&, RValue* args) {
  int objs[4];
  bool any = false;
  for (int k = 0; k < 4; ++k) {
    objs[k] = ArgInt(args[k]);
    any = any || ObjectExists(objs[k]);
  }
  if (!any) return;
  int k;
  do k = RandomInt(4);
  while (!ObjectExists(objs[k]));
  CreateInstance(objs[k], RelX(self, args[4]), RelY(self, args[5]));
}

void A_change_object(CInstance* self, CInstance* other, int, RValue&, RValue* args) {
  Call(b_instance_change, self, other, {args[0], Real(ArgInt(args[1]) > 0.5 ? 1 : 0)});
}
void A_kill_object(CInstance* self, CInstance*, int, RValue&, RValue*) { DestroyInstance(self); }

// Sets self's sprite through instance_sprite (its message for a missing
// sprite); false when the sprite does not exist.
bool SetSprite(CInstance* self, CInstance* other, const RValue& sprite) {
  Call(b_instance_sprite, self, other, {sprite});
  return SpriteExists(ArgInt(sprite));
}
void A_sprite_set(CInstance* self, CInstance* other, int, RValue&, RValue* args) {
  if (!SetSprite(self, other, args[0]) || self == nullptr) return;
  if (ArgReal(args[1]) >= 0) self->i_imageindex = ArgReal(args[1]);
  self->i_imagespeed = ArgReal(args[2]);
}
void A_set_sprite(CInstance* self, CInstance* other, int, RValue&, RValue* args) {
  if (!SetSprite(self, other, args[0]) || self == nullptr) return;
  const double scale = ArgReal(args[1]);
  if (scale > 0) {
    self->SetImageScaleX(scale);
    self->SetImageScaleY(scale);
  }
}
void A_sprite_transform(CInstance* self, CInstance*, int, RValue&, RValue* args) {
  if (self == nullptr) return;
  self->SetImageScaleX(ArgReal(args[0]));
  self->SetImageScaleY(ArgReal(args[1]));
  self->SetImageAngle(ArgReal(args[2]));
  const int mirror = ArgInt(args[3]);
  if (mirror == 1 || mirror == 3) self->SetImageScaleX(-self->i_imagescalex);
  if (mirror == 2 || mirror == 3) self->SetImageScaleY(-self->i_imagescaley);
}
void A_sprite_color(CInstance* self, CInstance*, int, RValue&, RValue* args) {
  if (self == nullptr) return;
  self->i_imageblend = static_cast<unsigned>(ArgColor(args[0]));
  self->i_imagealpha = ArgReal(args[1]);
}

// ---- rooms and the game ----
// The room functions with the action's transition kind in place of the
// game's; the room entry uses it and then clears it.
void GoWithTransition(RBuiltinCall& f, const RValue& kind, CInstance* self, CInstance* other,
                      std::initializer_list<RValue> args) {
  Transition_Kind = ArgInt(kind);
  Call(f, self, other, args);
}
void A_previous_room(CInstance* self, CInstance* other, int, RValue&, RValue* args) {
  GoWithTransition(b_room_goto_previous, args[0], self, other, {});
}
void A_next_room(CInstance* self, CInstance* other, int, RValue&, RValue* args) {
  GoWithTransition(b_room_goto_next, args[0], self, other, {});
}
void A_current_room(CInstance* self, CInstance* other, int, RValue&, RValue* args) {
  GoWithTransition(b_room_restart, args[0], self, other, {});
}
void A_another_room(CInstance* self, CInstance* other, int, RValue&, RValue* args) {
  GoWithTransition(b_room_goto, args[1], self, other, {args[0]});
}
void A_if_previous_room(CInstance*, CInstance*, int, RValue& result, RValue*) {
  Answer(result, PreviousRoom(RoomOrder, Current_Room) >= 0);
}
void A_if_next_room(CInstance*, CInstance*, int, RValue& result, RValue*) {
  Answer(result, NextRoom(RoomOrder, Current_Room) >= 0);
}
void A_end_game(CInstance* self, CInstance* other, int, RValue&, RValue*) { Call(b_game_end, self, other, {}); }
void A_restart_game(CInstance* self, CInstance* other, int, RValue&, RValue*) {
  Call(b_game_restart, self, other, {});
}
void A_save_game(CInstance* self, CInstance* other, int, RValue&, RValue* args) {
  Call(b_game_save, self, other, {args[0]});
}
void A_load_game(CInstance* self, CInstance* other, int, RValue&, RValue* args) {
  Call(b_game_load, self, other, {args[0]});
}

// ---- timing ----
void A_set_alarm(CInstance* self, CInstance*, int, RValue&, RValue* args) {
  if (self == nullptr) return;
  const int alarm = ArgInt(args[1]);
  const double steps = mathlib::RoundEven(ArgReal(args[0]));
  const double now = ArgReal(GetVariable(self, "alarm", alarm));
  // An inactive alarm (-1) is set, not counted from.
  SetVariable(self, "alarm", alarm, Real(Relative() && now >= 0 ? now + steps : steps));
}

void A_sleep(CInstance* self, CInstance* other, int, RValue&, RValue* args) {
  if (ArgBool(args[1])) Call(b_screen_redraw, self, other, {});
  // Milliseconds, kept within what the clock can count.
  const double asked = ArgReal(args[0]);
  const double ms = asked > 0 ? std::min(asked, 9.0e12) : 0;  // NaN waits not at all
  WaitMicroseconds(static_cast<int64_t>(ms * 1000));
}

void A_set_timeline(CInstance* self, CInstance*, int, RValue&, RValue* args) {
  if (self == nullptr) return;
  self->i_timelineindex = ArgInt(args[0]);
  self->i_timelineposition = ArgInt(args[1]);
  self->i_timelinerunning = true;
}
void A_timeline_set(CInstance* self, CInstance*, int, RValue&, RValue* args) {
  if (self == nullptr) return;
  self->i_timelineindex = ArgInt(args[0]);
  self->i_timelineposition = ArgInt(args[1]);
  self->i_timelinerunning = ArgInt(args[2]) == 0;  // 0: start at once
  self->i_timelineloop = ArgInt(args[3]) == 1;
}
void A_timeline_start(CInstance* self, CInstance*, int, RValue&, RValue*) {
  if (self) self->i_timelinerunning = true;
}
void A_timeline_pause(CInstance* self, CInstance*, int, RValue&, RValue*) {
  if (self) self->i_timelinerunning = false;
}
void A_timeline_stop(CInstance* self, CInstance*, int, RValue&, RValue*) {
  if (self == nullptr) return;
  self->i_timelineposition = 0;
  self->i_timelinerunning = false;
}
void A_set_timeline_position(CInstance* self, CInstance*, int, RValue&, RValue* args) {
  if (self) self->i_timelineposition = RelValue(self->i_timelineposition, ArgInt(args[0]));
}
void A_set_timeline_speed(CInstance* self, CInstance*, int, RValue&, RValue* args) {
  if (self) self->i_timelinespeed = RelValue(self->i_timelinespeed, ArgReal(args[0]));
}

// ---- questions ----
void A_if(CInstance*, CInstance*, int, RValue& result, RValue* args) { result = args[0]; }

void A_if_number(CInstance* self, CInstance* other, int, RValue& result, RValue* args) {
  const double n = ArgReal(Call(b_instance_number, self, other, {args[0]}));
  Answer(result, Compare(n - ArgReal(args[1]), ArgInt(args[2])));
}

void A_if_dice(CInstance*, CInstance*, int, RValue& result, RValue* args) {
  const double sides = ArgReal(args[0]);
  if (!(sides > 1)) {
    Answer(result, true);
    return;
  }
  Answer(result, RandomInt(mathlib::RoundToInt(sides * 1000)) < 1001);
}

void A_if_mouse(CInstance*, CInstance*, int, RValue& result, RValue* args) {
  const int b = ArgInt(args[0]);
  const RInputState& io = IO_State();
  if (b >= 1 && b <= 3) Answer(result, io.button_held[size_t(b)] || io.button_released[size_t(b)]);
  else Answer(result, mouse_button == 0);
}

void A_if_variable(CInstance*, CInstance*, int, RValue& result, RValue* args) {
  const RValue &a = args[0], &b = args[1];
  if (a.kind != b.kind) {
    ReportActionError("Cannot compare arguments.", false);
    return;
  }
  const double d = a.kind == RValue::kString ? double(CompareUtf16(a.str, b.str)) : a.val - b.val;
  Answer(result, Compare(d, ArgInt(args[2])));
}

void A_if_score(CInstance*, CInstance*, int, RValue& result, RValue* args) {
  Answer(result, Compare(Score - ArgReal(args[0]), ArgInt(args[1])));
}
void A_if_life(CInstance*, CInstance*, int, RValue& result, RValue* args) {
  Answer(result, Compare(Lives - ArgReal(args[0]), ArgInt(args[1])));
}
void A_if_health(CInstance*, CInstance*, int, RValue& result, RValue* args) {
  Answer(result, Compare(Health - ArgReal(args[0]), ArgInt(args[1])));
}

// ---- scripts ----
void A_execute_script(CInstance* self, CInstance* other, int, RValue& result, RValue* args) {
  // The action always passes five arguments, whatever the script reads.
  if (!ExecuteScript(ArgInt(args[0]), self, other, result, false, args + 1, 5) && ErrorPending()) {
    ReportActionError(ErrorText(), false);
    ErrorClear();
  }
}
void A_inherited(CInstance* self, CInstance* other, int, RValue&, RValue*) {
  Call(b_event_inherited, self, other, {});
}

// ---- score, lives and health ----
void A_set_score(CInstance*, CInstance*, int, RValue&, RValue* args) {
  Score = static_cast<int>(std::clamp<double>(RelValue(Score, ArgInt(args[0])), INT32_MIN, INT32_MAX));
}
// Through the variables, whose setters raise no more lives and no more
// health on the way down through 0.
void A_set_life(CInstance* self, CInstance*, int, RValue&, RValue* args) {
  SetVariable(self, "lives", 0, Real(RelValue(Lives, ArgInt(args[0]))));
}
void A_set_health(CInstance* self, CInstance*, int, RValue&, RValue* args) {
  SetVariable(self, "health", 0, Real(RelValue(Health, ArgReal(args[0]))));
}
void A_set_caption(CInstance* self, CInstance*, int, RValue&, RValue* args) {
  static const char* const kNames[6] = {"show_score", "caption_score", "show_lives",
                                        "caption_lives", "show_health", "caption_health"};
  for (int k = 0; k < 6; k += 2) {
    SetVariable(self, kNames[k], 0, Real(ArgInt(args[k]) == 1 ? 1 : 0));
    SetVariable(self, kNames[k + 1], 0, args[k + 1]);
  }
}

// ---- drawing with the built-ins that exist ----
void A_draw_sprite(CInstance* self, CInstance* other, int, RValue&, RValue* args) {
  if (!SpriteExists(ArgInt(args[0]))) {
    ReportActionError("Trying to draw a non-existing sprite.", false);
    return;
  }
  const double sub = ArgReal(args[3]) < 0 && self ? self->i_imageindex : ArgReal(args[3]);
  Call(b_draw_sprite, self, other, {args[0], Real(sub), Real(RelX(self, args[1])), Real(RelY(self, args[2]))});
}

void A_draw_background(CInstance* self, CInstance* other, int, RValue&, RValue* args) {
  if (!BackgroundExists(ArgInt(args[0]))) {
    ReportActionError("Trying to draw a non-existing background.", false);
    return;
  }
  Call(ArgBool(args[3]) ? b_draw_background_tiled : b_draw_background, self, other,
       {args[0], Real(RelX(self, args[1])), Real(RelY(self, args[2]))});
}

void A_draw_life_images(CInstance* self, CInstance* other, int, RValue&, RValue* args) {
  const int spr = ArgInt(args[2]);
  const CSprite* sprite = GetSprite(spr);
  if (sprite == nullptr) return;
  const double x = RelX(self, args[0]), y = RelY(self, args[1]);
  const int w = sprite->GetWidth();
  // No drawing area reaches 2^20 pixels past the first image: a huge lives
  // count draws what can be seen instead of looping for ever.
  const int most = std::min(Lives, 1 + (1 << 20) / std::max(w, 1));
  for (int k = 0; k < most; ++k)
    Call(b_draw_sprite_ext, self, other,
         {Real(spr), Real(0), Real(x + double(k) * w), Real(y), Real(1), Real(1), Real(0), Real(0xFFFFFF), Real(1)});
}

void A_fullscreen(CInstance* self, CInstance* other, int, RValue&, RValue* args) {
  const int how = ArgInt(args[0]);
  bool full;
  if (how == 1) full = false;
  else if (how == 2) full = true;
  else full = !ArgBool(Call(b_window_get_fullscreen, self, other, {}));
  Call(b_window_set_fullscreen, self, other, {Real(full ? 1 : 0)});
}

void A_snapshot(CInstance* self, CInstance* other, int, RValue&, RValue* args) {
  Call(b_screen_save, self, other, {args[0]});
}

void A_set_cursor(CInstance* self, CInstance* other, int, RValue&, RValue* args) {
  Cursor_Sprite = ArgInt(args[0]);
  opt_showcursor = ArgBool(args[1]);
  Call(b_window_set_cursor, self, other, {Real(opt_showcursor ? 0 : -1)});  // cr_default or cr_none
}

// ---- shapes and text ----
RValue Text(const std::string& s) {
  RValue v;
  v.SetString(s);
  return v;
}
double Outline(const RValue& filled) { return ArgBool(filled) ? 0 : 1; }

void A_color(CInstance* self, CInstance* other, int, RValue&, RValue* args) {
  Call(b_draw_set_color, self, other, {args[0]});
}
void A_font(CInstance* self, CInstance* other, int, RValue&, RValue* args) {
  Call(b_draw_set_font, self, other, {args[0]});
  Call(b_draw_set_halign, self, other, {args[1]});
}
void A_draw_line(CInstance* self, CInstance* other, int, RValue&, RValue* args) {
  Call(b_draw_line, self, other,
       {Real(RelX(self, args[0])), Real(RelY(self, args[1])), Real(RelX(self, args[2])), Real(RelY(self, args[3]))});
}
void A_draw_arrow(CInstance* self, CInstance* other, int, RValue&, RValue* args) {
  Call(b_draw_arrow, self, other,
       {Real(RelX(self, args[0])), Real(RelY(self, args[1])), Real(RelX(self, args[2])), Real(RelY(self, args[3])),
        args[4]});
}
void A_draw_rectangle(CInstance* self, CInstance* other, int, RValue&, RValue* args) {
  Call(b_draw_rectangle, self, other,
       {Real(RelX(self, args[0])), Real(RelY(self, args[1])), Real(RelX(self, args[2])), Real(RelY(self, args[3])),
        Real(Outline(args[4]))});
}
void A_draw_ellipse(CInstance* self, CInstance* other, int, RValue&, RValue* args) {
  Call(b_draw_ellipse, self, other,
       {Real(RelX(self, args[0])), Real(RelY(self, args[1])), Real(RelX(self, args[2])), Real(RelY(self, args[3])),
        Real(Outline(args[4]))});
}
// Corner colours top-left, top-right, bottom-right, bottom-left.
void GradientRectangle(CInstance* self, CInstance* other, RValue* args, bool horizontal) {
  const RValue &c1 = args[4], &c2 = args[5];
  Call(b_draw_rectangle_color, self, other,
       {Real(RelX(self, args[0])), Real(RelY(self, args[1])), Real(RelX(self, args[2])), Real(RelY(self, args[3])), c1,
        horizontal ? c2 : c1, c2, horizontal ? c1 : c2, Real(0)});
}
void A_draw_gradient_hor(CInstance* self, CInstance* other, int, RValue&, RValue* args) {
  GradientRectangle(self, other, args, true);
}
void A_draw_gradient_vert(CInstance* self, CInstance* other, int, RValue&, RValue* args) {
  GradientRectangle(self, other, args, false);
}
void A_draw_ellipse_gradient(CInstance* self, CInstance* other, int, RValue&, RValue* args) {
  Call(b_draw_ellipse_color, self, other,
       {Real(RelX(self, args[0])), Real(RelY(self, args[1])), Real(RelX(self, args[2])), Real(RelY(self, args[3])),
        args[4], args[5], Real(0)});
}

void A_draw_text(CInstance* self, CInstance* other, int, RValue&, RValue* args) {
  Call(b_draw_text, self, other, {Real(RelX(self, args[1])), Real(RelY(self, args[2])), args[0]});
}
void A_draw_text_transformed(CInstance* self, CInstance* other, int, RValue&, RValue* args) {
  Call(b_draw_text_transformed, self, other,
       {Real(RelX(self, args[1])), Real(RelY(self, args[2])), args[0], args[3], args[4], args[5]});
}
// A text as is; a whole real as an integer, any other with two decimals.
std::string VariableText(const RValue& v) {
  if (v.kind == RValue::kString) return v.str;
  const double x = v.val == 0 ? 0 : v.val;  // no "-0"
  char buf[400];
  std::snprintf(buf, sizeof buf, std::isfinite(x) && x == std::floor(x) ? "%.0f" : "%.2f", x);
  return buf;
}
void A_draw_variable(CInstance* self, CInstance* other, int, RValue&, RValue* args) {
  Call(b_draw_text, self, other, {Real(RelX(self, args[1])), Real(RelY(self, args[2])), Text(VariableText(args[0]))});
}
void DrawCaptioned(CInstance* self, CInstance* other, RValue* args, int number) {
  const std::string caption = args[2].kind == RValue::kString ? args[2].str : VariableText(args[2]);
  Call(b_draw_text, self, other,
       {Real(RelX(self, args[0])), Real(RelY(self, args[1])), Text(caption + std::to_string(number))});
}
void A_draw_score(CInstance* self, CInstance* other, int, RValue&, RValue* args) {
  DrawCaptioned(self, other, args, Score);
}
void A_draw_life(CInstance* self, CInstance* other, int, RValue&, RValue* args) {
  DrawCaptioned(self, other, args, Lives);
}

// The health bar's colour menus: an index into the sixteen named colours.
constexpr int kNamedColors[16] = {0,       8421504, 12632256, 16777215, 128,      32768,    32896,    8388608,
                                  8388736, 8421376, 255,      65280,    65535,    16711680, 16711935, 16776960};
int NamedColor(int k) { return k >= 0 && k < 16 ? kNamedColors[k] : 0; }

void A_draw_health(CInstance* self, CInstance* other, int, RValue&, RValue* args) {
  const int back = ArgInt(args[4]), bar = ArgInt(args[5]);
  const double amount = std::isnan(Health) ? 0 : std::clamp(Health, 0.0, 100.0);
  int mincol, maxcol;
  if (bar == 0) {
    // Red through yellow to lime: the plain two-colour blend would pass
    // through olive at half health, so the colour is worked out here.
    constexpr int kRed = 255, kYellow = 65535, kLime = 65280;
    const double c = amount > 50 ? GR_Color_Merge(kYellow, kLime, (amount - 50) / 50)
                                 : GR_Color_Merge(kRed, kYellow, amount / 50);
    mincol = maxcol = mathlib::RoundToInt(c);
  } else if (bar == 1) {
    mincol = 0;
    maxcol = 16777215;
  } else {
    mincol = maxcol = bar >= 2 ? NamedColor(bar - 2) : 0;
  }
  Call(b_draw_healthbar, self, other,
       {Real(RelX(self, args[0])), Real(RelY(self, args[1])), Real(RelX(self, args[2])), Real(RelY(self, args[3])),
        Real(amount), Real(back >= 1 ? NamedColor(back - 1) : 0), Real(mincol), Real(maxcol), Real(0),
        Real(back != 0 ? 1 : 0), Real(1)});
}

constexpr RBuiltin kFunctions[] = {
    {"action_path_old", A_nothing, 3},
    {"action_set_sprite", A_set_sprite, 2},
    {"action_draw_font", A_nothing, 1},
    {"action_draw_font_old", A_nothing, 6},
    {"action_fill_color", A_nothing, 1},
    {"action_line_color", A_nothing, 1},
    {"action_highscore", A_nothing, 0},
    {"action_move", A_move, 2},
    {"action_set_motion", A_set_motion, 2},
    {"action_set_hspeed", A_set_hspeed, 1},
    {"action_set_vspeed", A_set_vspeed, 1},
    {"action_set_gravity", A_set_gravity, 2},
    {"action_set_friction", A_set_friction, 1},
    {"action_move_to", A_move_to, 2},
    {"action_move_start", A_move_start, 0},
    {"action_wrap", A_wrap, 1},
    {"action_reverse_xdir", A_reverse_xdir, 0},
    {"action_reverse_ydir", A_reverse_ydir, 0},
    {"action_path", A_path, 4},
    {"action_path_end", A_path_end, 0},
    {"action_path_position", A_path_position, 1},
    {"action_path_speed", A_path_speed, 1},
    {"action_kill_object", A_kill_object, 0},
    {"action_create_object", A_create_object, 3},
    {"action_create_object_motion", A_create_object_motion, 5},
    {"action_create_object_random", A_create_object_random, 6},
    {"action_change_object", A_change_object, 2},
    {"action_sprite_set", A_sprite_set, 3},
    {"action_sprite_transform", A_sprite_transform, 4},
    {"action_sprite_color", A_sprite_color, 2},
    {"action_another_room", A_another_room, 2},
    {"action_current_room", A_current_room, 1},
    {"action_previous_room", A_previous_room, 1},
    {"action_next_room", A_next_room, 1},
    {"action_if_previous_room", A_if_previous_room, 0},
    {"action_if_next_room", A_if_next_room, 0},
    {"action_set_alarm", A_set_alarm, 2},
    {"action_sleep", A_sleep, 2},
    {"action_set_timeline", A_set_timeline, 2},
    {"action_timeline_set", A_timeline_set, 4},
    {"action_timeline_start", A_timeline_start, 0},
    {"action_timeline_pause", A_timeline_pause, 0},
    {"action_timeline_stop", A_timeline_stop, 0},
    {"action_set_timeline_position", A_set_timeline_position, 1},
    {"action_set_timeline_speed", A_set_timeline_speed, 1},
    {"action_end_game", A_end_game, 0},
    {"action_restart_game", A_restart_game, 0},
    {"action_save_game", A_save_game, 1},
    {"action_load_game", A_load_game, 1},
    {"action_if", A_if, 1},
    {"action_if_number", A_if_number, 3},
    {"action_if_dice", A_if_dice, 1},
    {"action_if_mouse", A_if_mouse, 1},
    {"action_execute_script", A_execute_script, 6},
    {"action_inherited", A_inherited, 0},
    {"action_if_variable", A_if_variable, 3},
    {"action_set_score", A_set_score, 1},
    {"action_if_score", A_if_score, 2},
    {"action_set_life", A_set_life, 1},
    {"action_if_life", A_if_life, 2},
    {"action_draw_life_images", A_draw_life_images, 3},
    {"action_set_health", A_set_health, 1},
    {"action_if_health", A_if_health, 2},
    {"action_set_caption", A_set_caption, 6},
    {"action_set_cursor", A_set_cursor, 2},
    {"action_draw_sprite", A_draw_sprite, 4},
    {"action_draw_background", A_draw_background, 4},
    {"action_fullscreen", A_fullscreen, 1},
    {"action_snapshot", A_snapshot, 1},
    {"action_move_point", A_move_point, 3},
    {"action_move_random", A_move_random, 2},
    {"action_snap", A_snap, 2},
    {"action_move_contact", A_move_contact, 3},
    {"action_bounce", A_bounce, 2},
    {"action_linear_step", A_linear_step, 4},
    {"action_potential_step", A_potential_step, 4},
    {"action_kill_position", A_kill_position, 2},
    {"action_if_empty", A_if_empty, 3},
    {"action_if_collision", A_if_collision, 3},
    {"action_if_object", A_if_object, 3},
    {"action_if_aligned", A_if_aligned, 2},
    {"action_sound", A_sound, 2},
    {"action_end_sound", A_end_sound, 1},
    {"action_if_sound", A_if_sound, 1},
    {"action_cd_play", A_cd_play, 2},
    {"action_cd_stop", A_cd_stop, 0},
    {"action_cd_pause", A_cd_pause, 0},
    {"action_cd_resume", A_cd_resume, 0},
    {"action_cd_present", A_cd_present, 0},
    {"action_cd_playing", A_cd_playing, 0},
    {"action_draw_text", A_draw_text, 3},
    {"action_draw_text_transformed", A_draw_text_transformed, 6},
    {"action_draw_rectangle", A_draw_rectangle, 5},
    {"action_draw_gradient_hor", A_draw_gradient_hor, 6},
    {"action_draw_gradient_vert", A_draw_gradient_vert, 6},
    {"action_draw_ellipse", A_draw_ellipse, 5},
    {"action_draw_ellipse_gradient", A_draw_ellipse_gradient, 6},
    {"action_draw_line", A_draw_line, 4},
    {"action_draw_arrow", A_draw_arrow, 5},
    {"action_color", A_color, 1},
    {"action_font", A_font, 2},
    {"action_draw_variable", A_draw_variable, 3},
    {"action_draw_score", A_draw_score, 3},
    {"action_draw_life", A_draw_life, 3},
    {"action_draw_health", A_draw_health, 6},
};
}  // namespace

const RFunctionLibrary kLibrary_Action{"Action", kFunctions};
