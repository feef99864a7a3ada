#pragma once
// SDL key symbols as the game's virtual key codes (0 for keys it has none for).
#include <string>

int SdlKeyToVirtualKey(int sdl_keycode);
// Text typed into the window (UTF-8) as the UTF-16 the game counts in.
std::u16string SdlTextToUtf16(const char* text);
