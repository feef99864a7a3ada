// SDL key symbols as the game's virtual key codes.
#include "platform/sdl/SDL_Keys.h"

#include <SDL.h>

int SdlKeyToVirtualKey(int k) {
  if (k >= SDLK_a && k <= SDLK_z) return 'A' + (k - SDLK_a);
  if (k >= SDLK_0 && k <= SDLK_9) return '0' + (k - SDLK_0);
  if (k >= SDLK_F1 && k <= SDLK_F12) return 112 + (k - SDLK_F1);
  if (k >= SDLK_KP_1 && k <= SDLK_KP_9) return 97 + (k - SDLK_KP_1);
  switch (k) {
    case SDLK_BACKSPACE: return 8;
    case SDLK_TAB: return 9;
    case SDLK_RETURN: case SDLK_KP_ENTER: return 13;
    case SDLK_LSHIFT: case SDLK_RSHIFT: return 16;
    case SDLK_LCTRL: case SDLK_RCTRL: return 17;
    case SDLK_LALT: case SDLK_RALT: return 18;
    case SDLK_PAUSE: return 19;
    case SDLK_CAPSLOCK: return 20;
    case SDLK_ESCAPE: return 27;
    case SDLK_SPACE: return 32;
    case SDLK_PAGEUP: return 33;
    case SDLK_PAGEDOWN: return 34;
    case SDLK_END: return 35;
    case SDLK_HOME: return 36;
    case SDLK_LEFT: return 37;
    case SDLK_UP: return 38;
    case SDLK_RIGHT: return 39;
    case SDLK_DOWN: return 40;
    case SDLK_PRINTSCREEN: return 44;
    case SDLK_INSERT: return 45;
    case SDLK_DELETE: return 46;
    case SDLK_KP_0: return 96;
    case SDLK_KP_MULTIPLY: return 106;
    case SDLK_KP_PLUS: return 107;
    case SDLK_KP_MINUS: return 109;
    case SDLK_KP_PERIOD: return 110;
    case SDLK_KP_DIVIDE: return 111;
    case SDLK_NUMLOCKCLEAR: return 144;
    case SDLK_SCROLLLOCK: return 145;
    case SDLK_SEMICOLON: return 186;
    case SDLK_EQUALS: return 187;
    case SDLK_COMMA: return 188;
    case SDLK_MINUS: return 189;
    case SDLK_PERIOD: return 190;
    case SDLK_SLASH: return 191;
    case SDLK_BACKQUOTE: return 192;
    case SDLK_LEFTBRACKET: return 219;
    case SDLK_BACKSLASH: return 220;
    case SDLK_RIGHTBRACKET: return 221;
    case SDLK_QUOTE: return 222;
    case SDLK_CLEAR: return 12;
    case SDLK_SELECT: return 41;
    case SDLK_EXECUTE: return 43;
    case SDLK_HELP: return 47;
    case SDLK_LGUI: return 91;
    case SDLK_RGUI: return 92;
    case SDLK_APPLICATION: return 93;
    case SDLK_SLEEP: return 95;
    case SDLK_KP_COMMA: return 108;
    default: break;
  }
  if (k >= SDLK_F13 && k <= SDLK_F24) return 124 + (k - SDLK_F13);
  return 0;
}

int SdlKeyToVirtualKey(int sym, int scancode, bool numlock) {
  if (!numlock) {
    // The keypad's second meaning.
    switch (sym) {
      case SDLK_KP_0: return 45;  // insert
      case SDLK_KP_1: return 35;  // end
      case SDLK_KP_2: return 40;  // down
      case SDLK_KP_3: return 34;  // page down
      case SDLK_KP_4: return 37;  // left
      case SDLK_KP_5: return 12;  // clear
      case SDLK_KP_6: return 39;  // right
      case SDLK_KP_7: return 36;  // home
      case SDLK_KP_8: return 38;  // up
      case SDLK_KP_9: return 33;  // page up
      case SDLK_KP_PERIOD: return 46;  // delete
      default: break;
    }
  }
  if (const int vk = SdlKeyToVirtualKey(sym)) return vk;
  // A layout's own characters (an umlaut, a letter with an accent) on a
  // key: the code of the US key in that place, as the letters and
  // punctuation keys are numbered by position.
  if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z) return 'A' + (scancode - SDL_SCANCODE_A);
  if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9) return '1' + (scancode - SDL_SCANCODE_1);
  switch (scancode) {
    case SDL_SCANCODE_0: return '0';
    case SDL_SCANCODE_SEMICOLON: return 186;
    case SDL_SCANCODE_EQUALS: return 187;
    case SDL_SCANCODE_COMMA: return 188;
    case SDL_SCANCODE_MINUS: return 189;
    case SDL_SCANCODE_PERIOD: return 190;
    case SDL_SCANCODE_SLASH: return 191;
    case SDL_SCANCODE_GRAVE: return 192;
    case SDL_SCANCODE_LEFTBRACKET: return 219;
    case SDL_SCANCODE_BACKSLASH: return 220;
    case SDL_SCANCODE_RIGHTBRACKET: return 221;
    case SDL_SCANCODE_APOSTROPHE: return 222;
    case SDL_SCANCODE_NONUSBACKSLASH: return 226;
    default: return 0;
  }
}

char16_t SdlKeyControlChar(int k) {
  switch (k) {
    case SDLK_BACKSPACE: return 8;
    case SDLK_TAB: return 9;
    case SDLK_RETURN: case SDLK_KP_ENTER: return 13;
    case SDLK_ESCAPE: return 27;
    default: return 0;
  }
}

std::u16string SdlTextToUtf16(const char* text) {
  std::u16string out;
  char* converted = SDL_iconv_string("UTF-16LE", "UTF-8", text, SDL_strlen(text) + 1);
  if (converted == nullptr) return out;
  for (const char* p = converted; p[0] != 0 || p[1] != 0; p += 2)
    out.push_back(char16_t(uint8_t(p[0]) | (uint8_t(p[1]) << 8)));
  SDL_free(converted);
  return out;
}
