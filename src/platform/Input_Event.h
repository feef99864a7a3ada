#pragma once
// One input event as the game receives it, whether it came from the window
// system or from an input script.
#include <cstdint>
#include <string>

struct RInputEvent {
  enum Kind {
    KeyDown, KeyUp, KeyTap, Char, MouseMove, MouseDown, MouseUp, WheelUp, WheelDown, Close, ErrorChoice,
    // Joysticks by slot (1 or 2): plugged in (b axes, c buttons, d 1 with a
    // point-of-view hat, text its name), unplugged, an axis (b 0..5 for
    // x, y, z, r, u, v; c 0..65535, 32767 centred), a button (b 1..32),
    // the hat (c in hundredths of a degree, 65535 centred).
    JoyConnect, JoyDisconnect, JoyAxis, JoyButtonDown, JoyButtonUp, JoyPov,
    // The Num Lock toggle as the platform has it (a 1 on, 0 off).
    NumLock,
  };
  int64_t step = 1;
  Kind kind = KeyDown;
  int a = 0;  // key code, button, x, joystick slot, or 1 for abort
  int b = 0;  // y, axis or button number
  int c = 0;
  int d = 0;
  std::u16string text;
  int line = 0;
};
