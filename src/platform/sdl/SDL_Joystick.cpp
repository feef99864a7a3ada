// SDL2 joysticks and game controllers in the game's two joystick slots.
#include "platform/sdl/SDL_Joystick.h"

#include <SDL.h>

#include <algorithm>

#include "platform/sdl/SDL_Keys.h"

namespace {
// SDL's axes run -32768..32767; the game's 0..65535 (32767 the centre, so
// SDL's -1 and 0 are both close to it).
int AxisValue(int sdl) { return std::clamp(sdl + 32767, 0, 65535); }

// The hat as directions (up 1, right 2, down 4, left 8) in hundredths of a
// degree clockwise from up; 65535 when centred.
int PovFromDirections(unsigned d) {
  switch (d) {
    case 1: return 0;
    case 1 | 2: return 4500;
    case 2: return 9000;
    case 2 | 4: return 13500;
    case 4: return 18000;
    case 4 | 8: return 22500;
    case 8: return 27000;
    case 8 | 1: return 31500;
    default: return 65535;
  }
}

unsigned HatDirections(int hat) {
  unsigned d = 0;
  if (hat & SDL_HAT_UP) d |= 1;
  if (hat & SDL_HAT_RIGHT) d |= 2;
  if (hat & SDL_HAT_DOWN) d |= 4;
  if (hat & SDL_HAT_LEFT) d |= 8;
  return d;
}

// A controller's buttons in the order a common gamepad driver numbers them.
int PadButton(int b) {
  switch (b) {
    case SDL_CONTROLLER_BUTTON_A: return 1;
    case SDL_CONTROLLER_BUTTON_B: return 2;
    case SDL_CONTROLLER_BUTTON_X: return 3;
    case SDL_CONTROLLER_BUTTON_Y: return 4;
    case SDL_CONTROLLER_BUTTON_LEFTSHOULDER: return 5;
    case SDL_CONTROLLER_BUTTON_RIGHTSHOULDER: return 6;
    case SDL_CONTROLLER_BUTTON_BACK: return 7;
    case SDL_CONTROLLER_BUTTON_START: return 8;
    case SDL_CONTROLLER_BUTTON_LEFTSTICK: return 9;
    case SDL_CONTROLLER_BUTTON_RIGHTSTICK: return 10;
    case SDL_CONTROLLER_BUTTON_GUIDE: return 11;
    default: return 0;
  }
}
constexpr int kPadButtons = 11;
constexpr int kPadAxes = 5;  // x, y, z (both triggers), r, u

unsigned DpadBit(int b) {
  switch (b) {
    case SDL_CONTROLLER_BUTTON_DPAD_UP: return 1;
    case SDL_CONTROLLER_BUTTON_DPAD_RIGHT: return 2;
    case SDL_CONTROLLER_BUTTON_DPAD_DOWN: return 4;
    case SDL_CONTROLLER_BUTTON_DPAD_LEFT: return 8;
    default: return 0;
  }
}

RInputEvent Event(RInputEvent::Kind kind, int slot, int b = 0, int c = 0) {
  RInputEvent e;
  e.kind = kind;
  e.a = slot;
  e.b = b;
  e.c = c;
  return e;
}
}  // namespace

CSdlJoysticks::~CSdlJoysticks() {
  for (int s = 1; s <= 2; ++s) Close(s);
  if (started_) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
}

bool CSdlJoysticks::Start() {
  if (started_) return true;
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  // The game reads sticks whether or not its window has the focus, as the
  // platform's joystick position calls do.
  SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
  started_ = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
  return started_;
}

int CSdlJoysticks::SlotOf(int id) const {
  for (int s = 0; s < 2; ++s)
    if (slots_[size_t(s)].id == id && id >= 0) return s + 1;
  return 0;
}

void CSdlJoysticks::Open(int index, std::deque<RInputEvent>& out) {
  const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(index);
  if (id < 0 || SlotOf(id) != 0) return;  // already in a slot
  int slot = 0;
  for (int s = 0; s < 2 && slot == 0; ++s)
    if (slots_[size_t(s)].id < 0) slot = s + 1;
  if (slot == 0) return;
  RDevice& d = slots_[size_t(slot - 1)];
  RInputEvent e = Event(RInputEvent::JoyConnect, slot);
  const char* name = nullptr;
  if (SDL_IsGameController(index)) {
    d.pad = SDL_GameControllerOpen(index);
    if (d.pad == nullptr) return;
    d.joy = SDL_GameControllerGetJoystick(d.pad);
    name = SDL_GameControllerName(d.pad);
    e.b = kPadAxes;
    e.c = kPadButtons;
    e.d = 1;  // the direction pad
  } else {
    d.joy = SDL_JoystickOpen(index);
    if (d.joy == nullptr) return;
    name = SDL_JoystickName(d.joy);
    e.b = std::clamp(SDL_JoystickNumAxes(d.joy), 0, 6);
    e.c = std::clamp(SDL_JoystickNumButtons(d.joy), 0, 32);
    e.d = SDL_JoystickNumHats(d.joy) > 0 ? 1 : 0;
  }
  d.id = id;
  e.text = SdlTextToUtf16(name ? name : "");
  out.push_back(std::move(e));
}

void CSdlJoysticks::Close(int slot) {
  RDevice& d = slots_[size_t(slot - 1)];
  if (d.pad) SDL_GameControllerClose(d.pad);
  else if (d.joy) SDL_JoystickClose(d.joy);
  d = RDevice{};
}

void CSdlJoysticks::Translate(const SDL_Event& e, std::deque<RInputEvent>& out) {
  switch (e.type) {
    // A controller arrives both as a joystick and as a controller; it is
    // opened once, as a controller.
    case SDL_JOYDEVICEADDED:
    case SDL_CONTROLLERDEVICEADDED:
      Open(e.jdevice.which, out);
      return;
    case SDL_JOYDEVICEREMOVED: {
      const int slot = SlotOf(e.jdevice.which);
      if (slot == 0) return;
      Close(slot);
      out.push_back(Event(RInputEvent::JoyDisconnect, slot));
      // A device that found both slots taken gets the one just freed.
      for (int i = 0; i < SDL_NumJoysticks(); ++i) Open(i, out);
      return;
    }
    case SDL_JOYAXISMOTION: {
      const int slot = SlotOf(e.jaxis.which);
      if (slot == 0 || slots_[size_t(slot - 1)].pad || e.jaxis.axis >= 6) return;
      out.push_back(Event(RInputEvent::JoyAxis, slot, e.jaxis.axis, AxisValue(e.jaxis.value)));
      return;
    }
    case SDL_JOYBUTTONDOWN:
    case SDL_JOYBUTTONUP: {
      const int slot = SlotOf(e.jbutton.which);
      if (slot == 0 || slots_[size_t(slot - 1)].pad || e.jbutton.button >= 32) return;
      out.push_back(Event(e.type == SDL_JOYBUTTONDOWN ? RInputEvent::JoyButtonDown : RInputEvent::JoyButtonUp, slot,
                          e.jbutton.button + 1));
      return;
    }
    case SDL_JOYHATMOTION: {
      const int slot = SlotOf(e.jhat.which);
      if (slot == 0 || slots_[size_t(slot - 1)].pad || e.jhat.hat != 0) return;
      out.push_back(Event(RInputEvent::JoyPov, slot, 0, PovFromDirections(HatDirections(e.jhat.value))));
      return;
    }
    case SDL_CONTROLLERAXISMOTION: {
      const int slot = SlotOf(e.caxis.which);
      if (slot == 0) return;
      RDevice& d = slots_[size_t(slot - 1)];
      switch (e.caxis.axis) {
        case SDL_CONTROLLER_AXIS_LEFTX: out.push_back(Event(RInputEvent::JoyAxis, slot, 0, AxisValue(e.caxis.value))); break;
        case SDL_CONTROLLER_AXIS_LEFTY: out.push_back(Event(RInputEvent::JoyAxis, slot, 1, AxisValue(e.caxis.value))); break;
        case SDL_CONTROLLER_AXIS_RIGHTY: out.push_back(Event(RInputEvent::JoyAxis, slot, 3, AxisValue(e.caxis.value))); break;
        case SDL_CONTROLLER_AXIS_RIGHTX: out.push_back(Event(RInputEvent::JoyAxis, slot, 4, AxisValue(e.caxis.value))); break;
        case SDL_CONTROLLER_AXIS_TRIGGERLEFT:
        case SDL_CONTROLLER_AXIS_TRIGGERRIGHT: {
          // Both triggers share the z axis: the left one pushes it up, the
          // right one down, both together cancel out.
          (e.caxis.axis == SDL_CONTROLLER_AXIS_TRIGGERLEFT ? d.trigger_left : d.trigger_right) =
              std::max(0, int(e.caxis.value));
          out.push_back(Event(RInputEvent::JoyAxis, slot, 2,
                              std::clamp(32767 + (d.trigger_left - d.trigger_right), 0, 65535)));
          break;
        }
        default: break;
      }
      return;
    }
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP: {
      const int slot = SlotOf(e.cbutton.which);
      if (slot == 0) return;
      RDevice& d = slots_[size_t(slot - 1)];
      const bool down = e.type == SDL_CONTROLLERBUTTONDOWN;
      if (const unsigned bit = DpadBit(e.cbutton.button)) {
        d.dpad = down ? (d.dpad | bit) : (d.dpad & ~bit);
        out.push_back(Event(RInputEvent::JoyPov, slot, 0, PovFromDirections(d.dpad)));
        return;
      }
      if (const int n = PadButton(e.cbutton.button))
        out.push_back(Event(down ? RInputEvent::JoyButtonDown : RInputEvent::JoyButtonUp, slot, n));
      return;
    }
    default:
      return;
  }
}
