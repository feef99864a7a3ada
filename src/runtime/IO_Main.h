#pragma once
// The keyboard and mouse state the game sees. Window messages (or scripted
// input in headless runs) fill it between steps through the handlers below;
// the step turns it into keyboard, key-press and key-release events and clears
// the per-step flags at its end.
#include <array>
#include <string>

// Key codes are virtual key codes 0..255; buttons are 1 left, 2 right,
// 3 middle (index 0 of the button arrays is unused).
struct RInputState {
  std::array<bool, 256> key_held{};
  std::array<bool, 256> key_pressed{};
  std::array<bool, 256> key_released{};
  std::array<bool, 4> button_held{};
  std::array<bool, 4> button_pressed{};
  std::array<bool, 4> button_released{};
  bool wheel_up = false;
  bool wheel_down = false;
  // Entry k is the code reported for physical key k.
  std::array<int, 256> key_map{};
  // Cursor position relative to the window's client area, in window pixels.
  int window_x = 0;
  int window_y = 0;
  // The physical keys as they are, before the key map and never cleared
  // (keyboard_check_direct), and the Num Lock toggle.
  std::array<bool, 256> key_direct{};
  bool numlock = false;
  // The cursor in the room as the mouse phase sampled it, this step and the
  // step before (for the enter and leave events).
  double mouse_room_x = 0, mouse_room_y = 0;
  double mouse_prev_x = 0, mouse_prev_y = 0;
};
RInputState& IO_State();

extern int keyboard_key;           // the key held last, 0 when none
extern int keyboard_lastkey;       // the last key pressed
extern char16_t keyboard_lastchar; // the last character typed (one UTF-16 unit)
extern std::u16string keyboard_string;
extern int mouse_button;           // the button held last, 0 when none
extern int mouse_lastbutton;       // the last button pressed

// Longest typed-text buffer kept before a new character is added.
inline constexpr size_t kKeyboardStringLimit = 1024;

// ---- handlers: what a window message (or a scripted input line) does ----
void IO_KeyDown(int key);
void IO_KeyPress(char16_t c);
void IO_KeyUp(int key);
void IO_MouseDown(int button);
void IO_MouseUp(int button);
void IO_Wheel(bool up);
void IO_MouseMove(int x, int y);
// The platform's Num Lock toggle (it may change while the window is not
// listening); a Num Lock key-down flips it as well.
void IO_NumLock(bool on);
// The window's close button: other event 30 on every instance, or, when the
// close button acts as Esc, an Esc press and release.
void IO_CloseQuery();

// Called when the game window attaches the handlers: the key map becomes the
// identity and input can arrive from the player from then on.
void IO_AttachWindow();
// True once a window delivers the player's keys and buttons.
bool IO_LiveInput();
// The key map back to the identity.
void IO_ResetMap();

// io_clear without pumping messages: typed text, last key and character,
// every key and button flag, the wheel flags, the held key and button.
void IO_Clear();
// End of a completed step: pressed and released flags and wheel flags.
void IO_ClearStep();
// Dispatches window messages, then the keys injected by the game and the
// scripted input due before the next step.
void IO_Pump();
// The injected keys and the scripted input due before the next step, without
// dispatching window messages (the main loop has just done so).
void IO_DeliverQueued();

// The keyboard phase of the step: keyboard, key-press and key-release events
// through the step's phase procedure perform(type, number).
void IO_KeyboardPhase(void (*perform)(int type, int number));

// The mouse phase of the step. perform(type, number) is the phase procedure
// over every instance having the event; perform_where does the same for the
// instances that pass the test.
class CInstance;
using IO_InstanceTest = bool (*)(const CInstance& inst);
void IO_MousePhase(void (*perform)(int type, int number),
                   void (*perform_where)(int type, int number, IO_InstanceTest test));
// The precise point test the mouse phase uses: the bounding box, then the
// shape sprite's mask at the rounded point. False for a marked instance.
bool IO_InstanceAtPoint(const CInstance& inst, double x, double y);

// The cursor in room coordinates (mouse_x, mouse_y): the window model maps
// it to the drawing region, then through the view under it in the views of
// the last drawn frame.
double IO_MouseRoomX();
double IO_MouseRoomY();

// Registers the keyboard and mouse functions.
struct RFunctionLibrary;
extern const RFunctionLibrary kLibrary_IO;

// Back to the state of a fresh run (for tests).
void IO_ResetForTests();
