#pragma once
// The two joysticks the game can see: what the platform (or an input script)
// last said about each slot, the joystick phase of the step, and the
// joystick_* functions over it.
#include <array>
#include <cstdint>
#include <string>

// Axis values run 0..65535 with 32767 the centre; the hat is in hundredths
// of a degree, 65535 when centred.
inline constexpr int kJoyAxisCentre = 32767;
inline constexpr int kJoyPovCentred = 65535;
inline constexpr int kJoyAxes = 6;      // x, y, z, r, u, v
inline constexpr int kJoyButtons = 32;

struct RJoystick {
  bool present = false;
  std::string name;
  int axes = 0;
  int buttons = 0;
  bool has_pov = false;
  std::array<int, kJoyAxes> axis{kJoyAxisCentre, kJoyAxisCentre, kJoyAxisCentre,
                                 kJoyAxisCentre, kJoyAxisCentre, kJoyAxisCentre};
  uint32_t button_bits = 0;  // bit n-1 for button n
  int pov = kJoyPovCentred;
};

// Slot 2 for joystick id 2, slot 1 for every other id.
const RJoystick& IO_Joystick(int id);

// ---- handlers: slot is 1 or 2; anything else is ignored ----
void IO_JoyConnect(int slot, const std::string& name, int axes, int buttons, bool has_pov);
void IO_JoyDisconnect(int slot);
void IO_JoyAxis(int slot, int axis, int value);  // axis 0..5, value clamped to 0..65535
void IO_JoyButton(int slot, int button, bool down);  // button 1..32
void IO_JoyPov(int slot, int hundredths);

// The joystick phase of the step: for joystick 1 then 2, when present, the
// direction and button events through perform(type, number).
void IO_JoystickPhase(void (*perform)(int type, int number));

// joystick_direction's answer: 101 without the device, else the numeric
// keypad code of the stick's direction.
int IO_JoystickDirection(int id);

// Registers the joystick functions.
struct RFunctionLibrary;
extern const RFunctionLibrary kLibrary_Joystick;

void IO_JoystickResetForTests();
