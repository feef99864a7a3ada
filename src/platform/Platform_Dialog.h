#pragma once
// Message boxes and display detection, over SDL2.
#include <string>

// True when a graphical display can be reached (an X11 or Wayland session).
bool PlatformDisplayAvailable();
// A plain message box with an OK button; waits until it is closed. Returns
// false when it could not be shown.
bool PlatformMessageBox(const std::string& title, const std::string& text);
