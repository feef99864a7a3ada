#pragma once
// Joysticks and game controllers over SDL2, put in the game's two joystick
// slots and their events turned into the game's joystick events: axes
// 0..65535 centred at 32767, buttons numbered from 1, the hat in hundredths
// of a degree (65535 centred).
#include <array>
#include <deque>

#include "platform/Input_Event.h"

union SDL_Event;
struct _SDL_Joystick;
struct _SDL_GameController;

class CSdlJoysticks {
 public:
  CSdlJoysticks() = default;
  ~CSdlJoysticks();
  CSdlJoysticks(const CSdlJoysticks&) = delete;
  CSdlJoysticks& operator=(const CSdlJoysticks&) = delete;

  // Starts SDL's game controller (and joystick) subsystem; devices already
  // plugged in then arrive as "added" events. False when SDL cannot.
  bool Start();
  // Turns one SDL event into joystick events appended to out; other events
  // are left alone. A device plugged in while both slots are taken waits
  // unopened until a slot frees and is then looked for again.
  void Translate(const SDL_Event& e, std::deque<RInputEvent>& out);

 private:
  struct RDevice {
    int id = -1;  // SDL's instance id, -1 for a free slot
    _SDL_Joystick* joy = nullptr;
    _SDL_GameController* pad = nullptr;
    int trigger_left = 0, trigger_right = 0;
    unsigned dpad = 0;  // up 1, right 2, down 4, left 8
  };
  int SlotOf(int instance_id) const;
  void Open(int device_index, std::deque<RInputEvent>& out);
  void Close(int slot);

  bool started_ = false;
  std::array<RDevice, 2> slots_{};
};
