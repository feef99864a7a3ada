#pragma once
// One input event as the game receives it, whether it came from the window
// system or from an input script.
#include <cstdint>
#include <string>

struct RInputEvent {
  enum Kind { KeyDown, KeyUp, KeyTap, Char, MouseMove, MouseDown, MouseUp, WheelUp, WheelDown, Close, ErrorChoice };
  int64_t step = 1;
  Kind kind = KeyDown;
  int a = 0;  // key code, button, x, or 1 for abort
  int b = 0;  // y
  std::u16string text;
  int line = 0;
};
