// The joysticks as the game sees them, filled by the platform's (or the input
// script's) joystick events between steps.
#include "runtime/IO_Joystick.h"

#include <algorithm>

#include "resources/Object_Class.h"
#include "runtime/Event_Main.h"
#include "script/Function_Args.h"
#include "script/Function_Library.h"

namespace {
std::array<RJoystick, 2> g_joy;

RJoystick* Slot(int slot) { return slot == 1 || slot == 2 ? &g_joy[size_t(slot - 1)] : nullptr; }
}  // namespace

const RJoystick& IO_Joystick(int id) { return g_joy[id == 2 ? 1 : 0]; }

void IO_JoyConnect(int slot, const std::string& name, int axes, int buttons, bool has_pov) {
  RJoystick* j = Slot(slot);
  if (j == nullptr) return;
  *j = RJoystick{};
  j->present = true;
  j->name = name;
  j->axes = std::clamp(axes, 0, kJoyAxes);
  j->buttons = std::clamp(buttons, 0, kJoyButtons);
  j->has_pov = has_pov;
}

void IO_JoyDisconnect(int slot) {
  // An unplugged stick must not leave a direction or a button held.
  if (RJoystick* j = Slot(slot)) *j = RJoystick{};
}

void IO_JoyAxis(int slot, int axis, int value) {
  RJoystick* j = Slot(slot);
  if (j == nullptr || !j->present || axis < 0 || axis >= kJoyAxes) return;
  j->axis[size_t(axis)] = std::clamp(value, 0, 65535);
}

void IO_JoyButton(int slot, int button, bool down) {
  RJoystick* j = Slot(slot);
  if (j == nullptr || !j->present || button < 1 || button > kJoyButtons) return;
  const uint32_t bit = uint32_t(1) << (button - 1);
  j->button_bits = down ? (j->button_bits | bit) : (j->button_bits & ~bit);
}

void IO_JoyPov(int slot, int hundredths) {
  RJoystick* j = Slot(slot);
  if (j == nullptr || !j->present) return;
  j->pov = std::clamp(hundredths, 0, 65535);
}

void IO_JoystickPhase(void (*perform)(int type, int number)) {
  for (int slot = 1; slot <= 2; ++slot) {
    const RJoystick& j = g_joy[size_t(slot - 1)];
    if (!j.present) continue;
    const int base = slot == 1 ? 16 : 31;  // left, right, up, down, -, buttons 1..8
    const int x = j.axis[0], y = j.axis[1];
    const uint32_t buttons = j.button_bits;  // an event may not change what is tested
    if (x < 20000) perform(ev_mouse, base);
    if (x > 44000) perform(ev_mouse, base + 1);
    if (y < 20000) perform(ev_mouse, base + 2);
    if (y > 44000) perform(ev_mouse, base + 3);
    for (int i = 0; i < 8; ++i)
      if (buttons & (uint32_t(1) << i)) perform(ev_mouse, base + 5 + i);
    if (RoomChangePending()) return;
  }
}

int IO_JoystickDirection(int id) {
  const RJoystick& j = IO_Joystick(id);
  if (!j.present) return 101;
  const int x = j.axis[0], y = j.axis[1];
  const int h = x < 20000 ? 1 : x > 44000 ? 3 : 2;
  const int v = y <= 19999 ? 6 : y > 44000 ? 0 : 3;
  return 96 + v + h;
}

void IO_JoystickResetForTests() { g_joy = {}; }

// ---- the functions of the game's language ----
namespace {
const RJoystick& Arg(const RValue* args) { return IO_Joystick(ArgInt(args[0])); }

void F_joystick_exists(CInstance*, CInstance*, int, RValue& r, RValue* args) { r.SetReal(Arg(args).present ? 1 : 0); }
void F_joystick_name(CInstance*, CInstance*, int, RValue& r, RValue* args) {
  const RJoystick& j = Arg(args);
  r.SetString(j.present ? j.name : std::string());
}
void F_joystick_axes(CInstance*, CInstance*, int, RValue& r, RValue* args) {
  const RJoystick& j = Arg(args);
  r.SetReal(j.present ? j.axes : 0);
}
void F_joystick_buttons(CInstance*, CInstance*, int, RValue& r, RValue* args) {
  const RJoystick& j = Arg(args);
  r.SetReal(j.present ? j.buttons : 0);
}
void F_joystick_has_pov(CInstance*, CInstance*, int, RValue& r, RValue* args) {
  const RJoystick& j = Arg(args);
  r.SetReal(j.present && j.has_pov ? 1 : 0);
}
void F_joystick_direction(CInstance*, CInstance*, int, RValue& r, RValue* args) {
  r.SetReal(IO_JoystickDirection(ArgInt(args[0])));
}
void F_joystick_check_button(CInstance*, CInstance*, int, RValue& r, RValue* args) {
  const RJoystick& j = Arg(args);
  const int n = ArgInt(args[1]);
  r.SetReal(j.present && n >= 1 && n <= kJoyButtons && (j.button_bits & (uint32_t(1) << (n - 1))) ? 1 : 0);
}
template <int Axis>
void F_joystick_pos(CInstance*, CInstance*, int, RValue& r, RValue* args) {
  const RJoystick& j = Arg(args);
  r.SetReal(j.present ? j.axis[Axis] / 32767.0 - 1 : 0);
}
void F_joystick_pov(CInstance*, CInstance*, int, RValue& r, RValue* args) {
  const RJoystick& j = Arg(args);
  const double deg = j.pov / 100.0;
  r.SetReal(!j.present || deg > 360 ? -1 : deg);
}

constexpr RBuiltin kFunctions[] = {
    {"joystick_exists", F_joystick_exists, 1},
    {"joystick_name", F_joystick_name, 1},
    {"joystick_axes", F_joystick_axes, 1},
    {"joystick_buttons", F_joystick_buttons, 1},
    {"joystick_has_pov", F_joystick_has_pov, 1},
    {"joystick_direction", F_joystick_direction, 1},
    {"joystick_check_button", F_joystick_check_button, 2},
    {"joystick_xpos", F_joystick_pos<0>, 1},
    {"joystick_ypos", F_joystick_pos<1>, 1},
    {"joystick_zpos", F_joystick_pos<2>, 1},
    {"joystick_rpos", F_joystick_pos<3>, 1},
    {"joystick_upos", F_joystick_pos<4>, 1},
    {"joystick_vpos", F_joystick_pos<5>, 1},
    {"joystick_pov", F_joystick_pov, 1},
};
}  // namespace

const RFunctionLibrary kLibrary_Joystick{"Joystick", kFunctions, nullptr};
