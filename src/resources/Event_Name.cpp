#include "resources/Event_Name.h"

#include "resources/Object_Main.h"
#include "resources/Trigger_Main.h"

namespace {
std::string MouseName(int n) {
  static const char* base[] = {"Left Button",    "Right Button",    "Middle Button",
                               "No Button",      "Left Pressed",    "Right Pressed",
                               "Middle Pressed", "Left Released",   "Right Released",
                               "Middle Released", "Mouse Enter",    "Mouse Leave"};
  if (n >= 0 && n <= 11) return base[n];
  for (int j = 1; j <= 2; ++j) {
    const int b = j == 1 ? 16 : 31;  // joystick blocks
    const std::string js = "Joystick " + std::to_string(j) + " ";
    if (n == b) return js + "Left";
    if (n == b + 1) return js + "Right";
    if (n == b + 2) return js + "Up";
    if (n == b + 3) return js + "Down";
    if (n >= b + 5 && n <= b + 12) return js + "Button " + std::to_string(n - b - 4);
  }
  static const char* glob[] = {"Glob Left Button",    "Glob Right Button",  "Glob Middle Button",
                               "Glob Left Pressed",   "Glob Right Pressed", "Glob Middle Pressed",
                               "Glob Left Released",  "Glob Right Released",
                               "Glob Middle Released"};
  if (n >= 50 && n <= 58) return glob[n - 50];
  if (n == 60) return "Mouse Wheel Up";
  if (n == 61) return "Mouse Wheel Down";
  return "<unknown>";
}

std::string OtherName(int n) {
  static const char* base[] = {"Outside Room", "Intersect Boundary", "Game Start",
                               "Game End",     "Room Start",         "Room End",
                               "No More Lives", "Animation End",     "End Of Path",
                               "No More Health"};
  if (n >= 0 && n <= 9) return base[n];
  if (n >= 10 && n <= 25) return "User Defined " + std::to_string(n - 10);
  if (n == 30) return "Close Button";
  if (n >= 40 && n <= 47) return "Outside View " + std::to_string(n - 40);
  if (n >= 50 && n <= 57) return "Boundary View " + std::to_string(n - 50);
  return "<unknown>";
}
}  // namespace

std::string GetKeyName(int key) {
  switch (key) {
    case 0: return "<no key>";
    case 1: return "<any key>";
    case 8: return "<Backspace>";
    case 9: return "<Tab>";
    case 13: return "<Enter>";
    case 16: return "<Shift>";
    case 17: return "<Ctrl>";
    case 18: return "<Alt>";
    case 27: return "<Escape>";
    case 32: return "<Space>";
    case 33: return "<Page Up>";
    case 34: return "<Page Down>";
    case 35: return "<End>";
    case 36: return "<Home>";
    case 37: return "<Left>";
    case 38: return "<Up>";
    case 39: return "<Right>";
    case 40: return "<Down>";
    case 45: return "<Insert>";
    case 46: return "<Delete>";
    case 106: return "Keypad *";
    case 107: return "Keypad +";
    case 109: return "Keypad -";
    case 110: return "Keypad .";
    case 111: return "Keypad /";
    default: break;
  }
  if ((key >= 48 && key <= 57) || (key >= 65 && key <= 90))
    return std::string(1, char(key)) + "-key";
  if (key >= 96 && key <= 105) return "Keypad " + std::to_string(key - 96);
  if (key >= 112 && key <= 123) return "F" + std::to_string(key - 111);
  return "<unknown>";
}

std::string GetEventName(int type, int number) {
  switch (type) {
    case 0: return "Create Event";
    case 1: return "Destroy Event";
    case 2: return "Alarm Event for alarm " + std::to_string(number);
    case 3: {
      if (number == 0) return "Step Event";
      const char* pre = number == 1 ? "Begin" : number == 2 ? "End" : "<unknown>";
      return std::string(pre) + " Step Event";
    }
    case 4: return "Collision Event with object " + GetObjectName(number);
    case 5: return "Keyboard Event for " + GetKeyName(number) + " Key";
    case 6: return "Mouse Event for " + MouseName(number);
    case 7: return "Other Event: " + OtherName(number);
    case 8: return "Draw Event";
    case 9: return "Key Press Event for " + GetKeyName(number) + " Key";
    case 10: return "Key Release Event for " + GetKeyName(number) + " Key";
    case 11: return "Trigger Event: " + GetTriggerName(number);
    default: return "<Unknown Event>";
  }
}
