// SDL's keys as the game's virtual key codes, and the characters of the keys
// that type control characters.
#include <gtest/gtest.h>

#include "platform/sdl/SDL_Keys.h"

#include <SDL.h>

TEST(SdlKeys, VirtualKeyCodes) {
  struct {
    int sym, scancode;
    bool numlock;
    int vk;
  } cases[] = {
      {SDLK_a, SDL_SCANCODE_A, true, 'A'},
      {SDLK_z, SDL_SCANCODE_Z, false, 'Z'},
      {SDLK_0, SDL_SCANCODE_0, true, '0'},
      {SDLK_F1, SDL_SCANCODE_F1, true, 112},
      {SDLK_F12, SDL_SCANCODE_F12, true, 123},
      {SDLK_F24, SDL_SCANCODE_F24, true, 135},
      {SDLK_LEFT, SDL_SCANCODE_LEFT, true, 37},
      {SDLK_RSHIFT, SDL_SCANCODE_RSHIFT, true, 16},
      {SDLK_RCTRL, SDL_SCANCODE_RCTRL, true, 17},
      {SDLK_LGUI, SDL_SCANCODE_LGUI, true, 91},
      {SDLK_NUMLOCKCLEAR, SDL_SCANCODE_NUMLOCKCLEAR, true, 144},
      // The keypad: digits with Num Lock on, cursor keys with it off.
      {SDLK_KP_0, SDL_SCANCODE_KP_0, true, 96},
      {SDLK_KP_9, SDL_SCANCODE_KP_9, true, 105},
      {SDLK_KP_8, SDL_SCANCODE_KP_8, false, 38},
      {SDLK_KP_5, SDL_SCANCODE_KP_5, false, 12},
      {SDLK_KP_PERIOD, SDL_SCANCODE_KP_PERIOD, false, 46},
      {SDLK_KP_PERIOD, SDL_SCANCODE_KP_PERIOD, true, 110},
      {SDLK_KP_ENTER, SDL_SCANCODE_KP_ENTER, false, 13},
      {SDLK_KP_MULTIPLY, SDL_SCANCODE_KP_MULTIPLY, false, 106},
      // Punctuation by symbol; a layout's own character by the key's place.
      {SDLK_SEMICOLON, SDL_SCANCODE_SEMICOLON, true, 186},
      {SDLK_QUOTE, SDL_SCANCODE_APOSTROPHE, true, 222},
      {0xFC /* u with diaeresis */, SDL_SCANCODE_LEFTBRACKET, true, 219},
      {0xE9 /* e with acute */, SDL_SCANCODE_2, true, '2'},
      {'<', SDL_SCANCODE_NONUSBACKSLASH, true, 226},
      // Keys the game has no code for.
      {SDLK_AUDIOPLAY, SDL_SCANCODE_AUDIOPLAY, true, 0},
      {SDLK_UNKNOWN, SDL_SCANCODE_UNKNOWN, true, 0},
  };
  for (auto c : cases) EXPECT_EQ(SdlKeyToVirtualKey(c.sym, c.scancode, c.numlock), c.vk) << c.sym;
}

TEST(SdlKeys, ControlCharactersAndText) {
  EXPECT_EQ(SdlKeyControlChar(SDLK_BACKSPACE), 8);
  EXPECT_EQ(SdlKeyControlChar(SDLK_TAB), 9);
  EXPECT_EQ(SdlKeyControlChar(SDLK_RETURN), 13);
  EXPECT_EQ(SdlKeyControlChar(SDLK_KP_ENTER), 13);
  EXPECT_EQ(SdlKeyControlChar(SDLK_ESCAPE), 27);
  EXPECT_EQ(SdlKeyControlChar(SDLK_a), 0);
  // Outside the basic plane: two UTF-16 units.
  EXPECT_EQ(SdlTextToUtf16("a\xC3\xA9\xF0\x9F\x98\x80"), std::u16string(u"a\u00e9\U0001F600"));
}
