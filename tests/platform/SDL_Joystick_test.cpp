// SDL's joysticks and game controllers reach the game's two slots as its own
// joystick events: driven here with SDL's virtual devices, so the whole SDL
// path runs without hardware.
#include <gtest/gtest.h>

#include <deque>
#include <string>

#include "platform/sdl/SDL_Joystick.h"

#include <SDL.h>

namespace {
// Every event SDL has now, translated.
std::deque<RInputEvent> Drain(CSdlJoysticks& joys) {
  std::deque<RInputEvent> out;
  SDL_Event e;
  while (SDL_PollEvent(&e)) joys.Translate(e, out);
  return out;
}

std::string Describe(const std::deque<RInputEvent>& events) {
  std::string s;
  for (const RInputEvent& e : events) {
    if (!s.empty()) s += " ";
    switch (e.kind) {
      case RInputEvent::JoyConnect:
        s += "connect" + std::to_string(e.a) + ":" + std::to_string(e.b) + "/" + std::to_string(e.c) + "/" +
             std::to_string(e.d);
        break;
      case RInputEvent::JoyDisconnect: s += "disconnect" + std::to_string(e.a); break;
      case RInputEvent::JoyAxis:
        s += "axis" + std::to_string(e.a) + ":" + std::to_string(e.b) + "=" + std::to_string(e.c);
        break;
      case RInputEvent::JoyButtonDown: s += "down" + std::to_string(e.a) + ":" + std::to_string(e.b); break;
      case RInputEvent::JoyButtonUp: s += "up" + std::to_string(e.a) + ":" + std::to_string(e.b); break;
      case RInputEvent::JoyPov: s += "pov" + std::to_string(e.a) + "=" + std::to_string(e.c); break;
      default: s += "other";
    }
  }
  return s;
}

SDL_Joystick* Handle(int device_index) {
  return SDL_JoystickFromInstanceID(SDL_JoystickGetDeviceInstanceID(device_index));
}

// Device indices move when a device goes; instance ids stay.
int IndexOf(SDL_JoystickID id) {
  for (int i = 0; i < SDL_NumJoysticks(); ++i)
    if (SDL_JoystickGetDeviceInstanceID(i) == id) return i;
  return -1;
}

// SDL reports a fresh device's resting axes once when it is first read:
// what matters is what the last events say.
bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

class SdlJoystickTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Only SDL's virtual devices: no real or host devices take a slot.
    SDL_SetHint(SDL_HINT_JOYSTICK_HIDAPI, "0");
    SDL_SetHint("SDL_JOYSTICK_LINUX_CLASSIC", "0");
    setenv("SDL_JOYSTICK_DISABLE_UDEV", "1", 1);
    ASSERT_TRUE(joys_.Start()) << SDL_GetError();
    Drain(joys_);
  }
  CSdlJoysticks joys_;
};

TEST_F(SdlJoystickTest, PlainJoystickAndControllerFillTheTwoSlots) {
  // A plain stick: 3 axes, 4 buttons, a hat.
  const int plain = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_UNKNOWN, 3, 4, 1);
  ASSERT_GE(plain, 0) << SDL_GetError();
  EXPECT_EQ(Describe(Drain(joys_)), "connect1:3/4/1");
  SDL_Joystick* j = Handle(plain);
  ASSERT_NE(j, nullptr);
  // SDL's -32768..32767 becomes 0..65534 with 0 at 32767.
  SDL_JoystickSetVirtualAxis(j, 0, -32768);
  SDL_JoystickSetVirtualAxis(j, 1, 32767);
  SDL_JoystickSetVirtualButton(j, 2, 1);
  SDL_JoystickSetVirtualHat(j, 0, SDL_HAT_RIGHTUP);
  std::string got = Describe(Drain(joys_));
  EXPECT_TRUE(EndsWith(got, "axis1:0=0 axis1:1=65534 down1:3 pov1=4500")) << got;
  SDL_JoystickSetVirtualAxis(j, 0, 0);
  SDL_JoystickSetVirtualButton(j, 2, 0);
  SDL_JoystickSetVirtualHat(j, 0, SDL_HAT_CENTERED);
  got = Describe(Drain(joys_));
  EXPECT_TRUE(EndsWith(got, "axis1:0=32767 up1:3 pov1=65535")) << got;

  // A game controller in the second slot: five axes (both triggers on z),
  // eleven buttons in the usual gamepad order, the direction pad as the hat.
  const int pad = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, SDL_CONTROLLER_AXIS_MAX,
                                            SDL_CONTROLLER_BUTTON_MAX, 0);
  ASSERT_GE(pad, 0) << SDL_GetError();
  ASSERT_TRUE(SDL_IsGameController(pad));
  const SDL_JoystickID plain_id = SDL_JoystickGetDeviceInstanceID(plain);
  const SDL_JoystickID pad_id = SDL_JoystickGetDeviceInstanceID(pad);
  EXPECT_EQ(Describe(Drain(joys_)), "connect2:5/11/1");
  SDL_Joystick* p = Handle(pad);
  ASSERT_NE(p, nullptr);
  SDL_JoystickSetVirtualButton(p, SDL_CONTROLLER_BUTTON_Y, 1);
  SDL_JoystickSetVirtualButton(p, SDL_CONTROLLER_BUTTON_DPAD_LEFT, 1);
  SDL_JoystickSetVirtualAxis(p, SDL_CONTROLLER_AXIS_RIGHTX, 32767);
  SDL_JoystickSetVirtualAxis(p, SDL_CONTROLLER_AXIS_TRIGGERLEFT, 32767);
  const std::string moved = Describe(Drain(joys_));
  EXPECT_NE(moved.find("down2:4"), std::string::npos) << moved;
  EXPECT_NE(moved.find("pov2=27000"), std::string::npos) << moved;
  EXPECT_NE(moved.find("axis2:4=65534"), std::string::npos) << moved;
  EXPECT_NE(moved.find("axis2:2=65534"), std::string::npos) << moved;

  // A third device waits; it takes the slot the first one frees.
  const int third = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_UNKNOWN, 2, 2, 0);
  ASSERT_GE(third, 0);
  EXPECT_EQ(Describe(Drain(joys_)).find("connect"), std::string::npos);
  ASSERT_EQ(SDL_JoystickDetachVirtual(IndexOf(plain_id)), 0);
  got = Describe(Drain(joys_));
  EXPECT_TRUE(EndsWith(got, "disconnect1 connect1:2/2/0")) << got;
  // Unplugging the controller empties its slot.
  ASSERT_EQ(SDL_JoystickDetachVirtual(IndexOf(pad_id)), 0);
  got = Describe(Drain(joys_));
  EXPECT_TRUE(EndsWith(got, "disconnect2")) << got;
  EXPECT_EQ(got.find("disconnect1"), std::string::npos) << got;
}
}  // namespace
