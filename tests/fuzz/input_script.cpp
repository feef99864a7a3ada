// Feeds arbitrary texts to the scripted-input reader; whatever it accepts is
// delivered to the input handlers, which must keep their limits.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/IO_Joystick.h"
#include "runtime/IO_Main.h"
#include "runtime/IO_Script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<RInputEvent> events;
  std::string error;
  if (!IO_ScriptParse(text, "in", events, error)) {
    if (error.rfind("in:", 0) != 0 || !events.empty()) __builtin_trap();
    return 0;
  }
  IO_ResetForTests();
  for (const RInputEvent& e : events) {
    if (e.step < 1 || e.step > kMaxInputStep) __builtin_trap();
    if (e.kind == RInputEvent::Close) continue;  // needs a running game
    IO_DeliverEvent(e);
    if (keyboard_string.size() > kKeyboardStringLimit + 1) __builtin_trap();
    if (keyboard_key < 0 || keyboard_key > 255 || mouse_button < 0 || mouse_button > 3) __builtin_trap();
    for (int id = 1; id <= 2; ++id) {
      const RJoystick& j = IO_Joystick(id);
      if (j.axes < 0 || j.axes > kJoyAxes || j.buttons < 0 || j.buttons > kJoyButtons) __builtin_trap();
      if (!j.present && (j.button_bits != 0 || j.pov != kJoyPovCentred)) __builtin_trap();
      for (int v : j.axis)
        if (v < 0 || v > 65535) __builtin_trap();
    }
  }
  return 0;
}
