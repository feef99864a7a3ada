#pragma once
// SDL key symbols as the game's virtual key codes (0 for keys it has none for).
#include <string>

int SdlKeyToVirtualKey(int sdl_keycode);
// A key event's key: by its symbol, else (a key whose symbol the layout
// gives a character of its own) by where the key sits on a US keyboard. The
// keypad's digit keys are the cursor keys while Num Lock is off.
int SdlKeyToVirtualKey(int sdl_keycode, int sdl_scancode, bool numlock);
// The control character a key types (backspace 8, tab 9, return 13,
// escape 27), 0 for the others: SDL sends no text for them.
char16_t SdlKeyControlChar(int sdl_keycode);
// Text typed into the window (UTF-8) as the UTF-16 the game counts in.
std::u16string SdlTextToUtf16(const char* text);
