#include "runtime/IO_Main.h"

#include <chrono>
#include <cmath>
#include <deque>
#include <thread>

#include "graphics/Graphics_Window.h"
#include "resources/Object_Class.h"
#include "resources/Sprite_Main.h"
#include "runner/Option_Main.h"
#include "runner/Runner_Load.h"
#include "runtime/Event_Main.h"
#include "runtime/IO_Joystick.h"
#include "runtime/IO_Script.h"
#include "runtime/Instance_Class.h"
#include "runtime/Run_Global.h"
#include "runtime/Run_Main.h"
#include "platform/Platform.h"
#include "script/Function_Library.h"
#include "script/Code_Error.h"
#include "script/Code_Function.h"
#include "script/Code_Operator.h"
#include "script/Function_Args.h"

int keyboard_key = 0;
int keyboard_lastkey = 0;
char16_t keyboard_lastchar = 0;
std::u16string keyboard_string;
int mouse_button = 0;
int mouse_lastbutton = 0;

namespace {
RInputState g_state = [] {
  RInputState s;
  for (int k = 0; k < 256; ++k) s.key_map[size_t(k)] = k;
  return s;
}();
bool g_live = false;

// Keys the game injected (keyboard_key_press / _release): they reach the
// handlers at the next pumping of messages, as the platform's own would.
struct RInjected {
  bool down;
  int key;
};
std::deque<RInjected> g_injected;

constexpr int kNumLockKey = 144;

inline bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
inline bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

int Mapped(int key) {
  if (key >= 0 && key <= 255) return g_state.key_map[size_t(key)];
  return key;
}

// Key down and up after mapping.
void CodeDown(int k) {
  if (k < 0 || k > 255) return;
  keyboard_lastkey = keyboard_key = k;
  if (!g_state.key_held[size_t(k)]) g_state.key_pressed[size_t(k)] = true;
  g_state.key_held[size_t(k)] = true;
}
void CodeUp(int k) {
  if (k < 0 || k > 255) return;
  if (k == keyboard_key) keyboard_key = 0;
  g_state.key_held[size_t(k)] = false;
  g_state.key_released[size_t(k)] = true;
}

void DeliverQueued() {
  while (!g_injected.empty()) {
    const RInjected m = g_injected.front();
    g_injected.pop_front();
    if (m.down) IO_KeyDown(m.key);
    else IO_KeyUp(m.key);
  }
  IO_ScriptDeliver(StepCount + 1);
}
}  // namespace

RInputState& IO_State() { return g_state; }

void IO_KeyDown(int key) {
  if (key >= 0 && key <= 255) {
    bool& down = g_state.key_direct[size_t(key)];
    // A lock key toggles on its press, not on its auto-repeat.
    if (key == kNumLockKey && !down) g_state.numlock = !g_state.numlock;
    down = true;
  }
  CodeDown(Mapped(key));
}

void IO_KeyPress(char16_t c) {
  keyboard_lastchar = c;
  std::u16string& s = keyboard_string;
  if (s.size() > kKeyboardStringLimit) {
    size_t cut = s.size() - kKeyboardStringLimit;
    // Never keep the second half of a character cut in two.
    if (cut < s.size() && IsLowSurrogate(s[cut]) && IsHighSurrogate(s[cut - 1])) ++cut;
    s.erase(0, cut);
  }
  if (c == 8) {
    if (s.empty()) return;
    const size_t n = s.size();
    if (n >= 2 && IsLowSurrogate(s[n - 1]) && IsHighSurrogate(s[n - 2])) s.resize(n - 2);
    else s.resize(n - 1);
  } else if (c > 31) {
    s.push_back(c);
  }
}

void IO_KeyUp(int key) {
  if (key >= 0 && key <= 255) g_state.key_direct[size_t(key)] = false;
  CodeUp(Mapped(key));
}

void IO_NumLock(bool on) { g_state.numlock = on; }

void IO_MouseDown(int button) {
  if (button < 1 || button > 3) return;
  mouse_lastbutton = mouse_button = button;
  g_state.button_held[size_t(button)] = true;
  g_state.button_pressed[size_t(button)] = true;
}

void IO_MouseUp(int button) {
  if (button < 1 || button > 3) return;
  mouse_button = 0;
  g_state.button_held[size_t(button)] = false;
  g_state.button_released[size_t(button)] = true;
}

void IO_Wheel(bool up) {
  if (up) g_state.wheel_up = true;
  else g_state.wheel_down = true;
}

void IO_MouseMove(int x, int y) {
  g_state.window_x = x;
  g_state.window_y = y;
  WindowCursorMoved(x, y);
}

void IO_CloseQuery() {
  if (!opt_closeasesc) {
    Perform_AllEvent(ev_other, 30);
    return;
  }
  // A full Esc press and release: the special keys see it as the last key,
  // and no key is left held after the window's button has been let go.
  CodeDown(27);
  CodeUp(27);
}

void IO_AttachWindow() {
  IO_ResetMap();
  g_live = true;
}

bool IO_LiveInput() { return g_live; }

void IO_ResetMap() {
  for (int k = 0; k < 256; ++k) g_state.key_map[size_t(k)] = k;
}

void IO_Clear() {
  keyboard_string.clear();
  keyboard_key = keyboard_lastkey = 0;
  keyboard_lastchar = 0;
  g_state.key_held.fill(false);
  g_state.key_pressed.fill(false);
  g_state.key_released.fill(false);
  mouse_button = mouse_lastbutton = 0;
  g_state.button_held.fill(false);
  g_state.button_pressed.fill(false);
  g_state.button_released.fill(false);
  g_state.wheel_up = g_state.wheel_down = false;
}

void IO_ClearStep() {
  g_state.key_pressed.fill(false);
  g_state.key_released.fill(false);
  g_state.button_pressed.fill(false);
  g_state.button_released.fill(false);
  g_state.wheel_up = g_state.wheel_down = false;
}

void IO_Pump() {
  PumpMessages();
  DeliverQueued();
}

void IO_DeliverQueued() { DeliverQueued(); }

void IO_KeyboardPhase(void (*perform)(int type, int number)) {
  const RInputState& s = g_state;
  // One event type: the event of every key code 8..255 that qualifies, then
  // the any-key event (1) if some did, else the no-key event (0).
  const auto raise = [&](int type, auto qualifies) {
    bool any = false;
    for (size_t k = 8; k <= 255; ++k) {
      if (qualifies(k)) {
        any = true;
        perform(type, int(k));
      }
    }
    perform(type, any ? 1 : 0);
  };
  raise(ev_keyboard, [&](size_t k) { return s.key_held[k] || s.key_pressed[k]; });
  raise(ev_keypress, [&](size_t k) { return s.key_pressed[k]; });
  raise(ev_keyrelease, [&](size_t k) { return s.key_released[k]; });
}

bool IO_InstanceAtPoint(const CInstance& inst, double x, double y) {
  const TRect& b = inst.i_bbox;
  if (inst.i_marked || !(b.left <= x && x < b.right + 1 && b.top <= y && y < b.bottom + 1)) return false;
  const CSprite* spr = GetSprite(inst.i_maskindex >= 0 ? inst.i_maskindex : inst.i_spriteindex);
  if (spr == nullptr || spr->i_numb <= 0) return false;
  return spr->CheckCollisionPoint(int(std::floor(inst.i_imageindex)), b, RoundToInt(inst.i_x), RoundToInt(inst.i_y),
                                  inst.i_imagescalex, inst.i_imagescaley, inst.i_imageangle, RoundToInt(x),
                                  RoundToInt(y));
}

namespace {
bool UnderMouse(const CInstance& i) { return IO_InstanceAtPoint(i, g_state.mouse_room_x, g_state.mouse_room_y); }
bool WasUnderMouse(const CInstance& i) { return IO_InstanceAtPoint(i, g_state.mouse_prev_x, g_state.mouse_prev_y); }
bool Entered(const CInstance& i) { return UnderMouse(i) && !WasUnderMouse(i); }
bool Left(const CInstance& i) { return WasUnderMouse(i) && !UnderMouse(i); }
}  // namespace

void IO_MousePhase(void (*perform)(int type, int number),
                   void (*perform_where)(int type, int number, IO_InstanceTest test)) {
  RInputState& s = g_state;
  s.mouse_prev_x = s.mouse_room_x;
  s.mouse_prev_y = s.mouse_room_y;
  s.mouse_room_x = IO_MouseRoomX();
  s.mouse_room_y = IO_MouseRoomY();
  // The flags as the step found them: events may clear or change them.
  const auto held = s.button_held, pressed = s.button_pressed, released = s.button_released;
  const bool wheel_up = s.wheel_up, wheel_down = s.wheel_down;
  bool any = false;
  for (int b = 1; b <= 3; ++b) {
    if (!held[size_t(b)] && !pressed[size_t(b)]) continue;
    any = true;
    perform_where(ev_mouse, b - 1, UnderMouse);
    perform(ev_mouse, 49 + b);
    if (RoomChangePending()) return;
  }
  if (!any) perform_where(ev_mouse, 3, UnderMouse);
  for (int b = 1; b <= 3; ++b) {
    if (!pressed[size_t(b)]) continue;
    perform_where(ev_mouse, b + 3, UnderMouse);
    perform(ev_mouse, 12);
    perform(ev_mouse, 52 + b);
    if (RoomChangePending()) return;
  }
  for (int b = 1; b <= 3; ++b) {
    if (!released[size_t(b)]) continue;
    perform_where(ev_mouse, b + 6, UnderMouse);
    perform(ev_mouse, 13);
    perform(ev_mouse, 55 + b);
    if (RoomChangePending()) return;
  }
  perform_where(ev_mouse, 10, Entered);
  perform_where(ev_mouse, 11, Left);
  if (wheel_up) perform(ev_mouse, 60);
  if (wheel_down) perform(ev_mouse, 61);
}

// ---- the cursor in the room ----

double IO_MouseRoomX() { return WindowViewsMouseX(); }
double IO_MouseRoomY() { return WindowViewsMouseY(); }

void IO_ResetForTests() {
  IO_Clear();
  IO_ResetMap();
  g_injected.clear();
  g_state.window_x = g_state.window_y = 0;
  WindowCursorMoved(0, 0);
  for (int slot = 0; slot < kViewMappingSlots; ++slot) ViewMappingClear(slot);
  g_state.key_direct.fill(false);
  g_state.numlock = false;
  g_state.mouse_room_x = g_state.mouse_room_y = g_state.mouse_prev_x = g_state.mouse_prev_y = 0;
  g_live = false;
  IO_ScriptClear();
  IO_JoystickResetForTests();
}

// ---- the functions of the game's language ----
namespace {
void SetBool(RValue& r, bool b) { r.SetReal(b ? 1 : 0); }

// keyboard_check and its two companions over one of the flag arrays.
bool KeyCheck(const std::array<bool, 256>& flags, int key) {
  if (key == 0 || key == 1) {
    bool some = false;
    for (bool f : flags) some = some || f;
    return key == 1 ? some : !some;
  }
  if (key < 2 || key > 255) return false;
  return flags[size_t(key)];
}
bool ButtonCheck(const std::array<bool, 4>& flags, int b) {
  const bool some = flags[1] || flags[2] || flags[3];
  if (b == -1) return some;
  if (b == 0) return !some;
  if (b < 1 || b > 3) return false;
  return flags[size_t(b)];
}

void F_keyboard_key_press(CInstance*, CInstance*, int, RValue&, RValue* args) {
  const int k = ArgInt(args[0]);
  if (k >= 0 && k <= 255) g_injected.push_back({true, k});
}
void F_keyboard_key_release(CInstance*, CInstance*, int, RValue&, RValue* args) {
  const int k = ArgInt(args[0]);
  if (k >= 0 && k <= 255) g_injected.push_back({false, k});
}
void F_keyboard_set_map(CInstance*, CInstance*, int, RValue&, RValue* args) {
  const int k = ArgInt(args[0]);
  if (k >= 0 && k <= 255) g_state.key_map[size_t(k)] = ArgInt(args[1]);
}
void F_keyboard_get_map(CInstance*, CInstance*, int, RValue& r, RValue* args) {
  const int k = ArgInt(args[0]);
  r.SetReal(k >= 0 && k <= 255 ? g_state.key_map[size_t(k)] : k);
}
void F_keyboard_unset_map(CInstance*, CInstance*, int, RValue&, RValue*) { IO_ResetMap(); }
void F_keyboard_check(CInstance*, CInstance*, int, RValue& r, RValue* args) {
  SetBool(r, KeyCheck(g_state.key_held, ArgInt(args[0])));
}
void F_keyboard_check_pressed(CInstance*, CInstance*, int, RValue& r, RValue* args) {
  SetBool(r, KeyCheck(g_state.key_pressed, ArgInt(args[0])));
}
void F_keyboard_check_released(CInstance*, CInstance*, int, RValue& r, RValue* args) {
  SetBool(r, KeyCheck(g_state.key_released, ArgInt(args[0])));
}
void F_mouse_check_button(CInstance*, CInstance*, int, RValue& r, RValue* args) {
  SetBool(r, ButtonCheck(g_state.button_held, ArgInt(args[0])));
}
void F_mouse_check_button_pressed(CInstance*, CInstance*, int, RValue& r, RValue* args) {
  SetBool(r, ButtonCheck(g_state.button_pressed, ArgInt(args[0])));
}
void F_mouse_check_button_released(CInstance*, CInstance*, int, RValue& r, RValue* args) {
  SetBool(r, ButtonCheck(g_state.button_released, ArgInt(args[0])));
}
void F_mouse_wheel_up(CInstance*, CInstance*, int, RValue& r, RValue*) { SetBool(r, g_state.wheel_up); }
void F_mouse_wheel_down(CInstance*, CInstance*, int, RValue& r, RValue*) { SetBool(r, g_state.wheel_down); }
void F_keyboard_clear(CInstance*, CInstance*, int, RValue&, RValue* args) {
  IO_Pump();
  const int k = ArgInt(args[0]);
  if (k < 0 || k > 255) return;
  g_state.key_held[size_t(k)] = g_state.key_pressed[size_t(k)] = g_state.key_released[size_t(k)] = false;
}
void F_mouse_clear(CInstance*, CInstance*, int, RValue&, RValue* args) {
  IO_Pump();
  const int b = ArgInt(args[0]);
  if (b < 1 || b > 3) return;
  g_state.button_held[size_t(b)] = g_state.button_pressed[size_t(b)] = g_state.button_released[size_t(b)] = false;
}
void F_io_clear(CInstance*, CInstance*, int, RValue&, RValue*) {
  IO_Pump();
  IO_Clear();
}
void F_keyboard_check_direct(CInstance*, CInstance*, int, RValue& r, RValue* args) {
  const int k = ArgInt(args[0]);
  SetBool(r, k >= 0 && k <= 255 && g_state.key_direct[size_t(k)]);
}
void F_keyboard_get_numlock(CInstance*, CInstance*, int, RValue& r, RValue*) { SetBool(r, g_state.numlock); }
void F_keyboard_set_numlock(CInstance*, CInstance*, int, RValue&, RValue* args) {
  // As a player would: a Num Lock press and release, arriving at the next
  // pumping of messages.
  if (ArgBool(args[0]) == g_state.numlock) return;
  g_injected.push_back({true, kNumLockKey});
  g_injected.push_back({false, kNumLockKey});
}
void F_io_handle(CInstance*, CInstance*, int, RValue&, RValue*) { IO_Pump(); }

// Waits until `value` becomes non-zero. Without a window nobody can press
// anything: the scripted input's next events are taken early, one at a time,
// and once none are left the wait ends instead of hanging the run.
void WaitForInput(const int& value) {
  for (;;) {
    IO_Pump();
    if (value != 0) return;
    if (!IO_LiveInput()) {
      if (!IO_ScriptDeliverNext()) return;
      continue;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}
void F_keyboard_wait(CInstance*, CInstance*, int, RValue&, RValue*) {
  keyboard_lastkey = 0;
  WaitForInput(keyboard_lastkey);
}
void F_mouse_wait(CInstance*, CInstance*, int, RValue&, RValue*) {
  mouse_lastbutton = 0;
  WaitForInput(mouse_lastbutton);
}
}  // namespace

namespace {
constexpr RBuiltin kFunctions[] = {
    {"keyboard_key_press", F_keyboard_key_press, 1},
    {"keyboard_key_release", F_keyboard_key_release, 1},
    {"keyboard_set_map", F_keyboard_set_map, 2},
    {"keyboard_get_map", F_keyboard_get_map, 1},
    {"keyboard_unset_map", F_keyboard_unset_map, 0},
    {"keyboard_check", F_keyboard_check, 1},
    {"keyboard_check_pressed", F_keyboard_check_pressed, 1},
    {"keyboard_check_released", F_keyboard_check_released, 1},
    {"mouse_check_button", F_mouse_check_button, 1},
    {"mouse_check_button_pressed", F_mouse_check_button_pressed, 1},
    {"mouse_check_button_released", F_mouse_check_button_released, 1},
    {"mouse_wheel_up", F_mouse_wheel_up, 0},
    {"mouse_wheel_down", F_mouse_wheel_down, 0},
    {"keyboard_clear", F_keyboard_clear, 1},
    {"mouse_clear", F_mouse_clear, 1},
    {"io_clear", F_io_clear, 0},
    {"io_handle", F_io_handle, 0},
    {"keyboard_check_direct", F_keyboard_check_direct, 1},
    {"keyboard_get_numlock", F_keyboard_get_numlock, 0},
    {"keyboard_set_numlock", F_keyboard_set_numlock, 1},
    {"keyboard_wait", F_keyboard_wait, 0},
    {"mouse_wait", F_mouse_wait, 0},
};

void Install() {
  // An error message shown to the player leaves no key held.
  ErrorHooks().clear_input = IO_Clear;
  // The window's keys, characters and clicks take the scripted input's path.
  PlatformSetEventSink(IO_DeliverEvent);
}
}  // namespace

const RFunctionLibrary kLibrary_IO{"IO", kFunctions, Install};
