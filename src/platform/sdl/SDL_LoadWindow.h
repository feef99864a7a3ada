#pragma once
// The loading window over SDL2: a borderless window centred on the screen
// showing the game's loading picture and a progress bar.
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/Game_Window.h"  // RLoadPictures
#include "platform/Platform_LoadLayout.h"

// Opens the window (needs a display). False when it cannot be shown; the
// load goes on without it.
// With transparent, the colour of the picture's bottom-left pixel is see-
// through where the window system supports shaped windows.
bool PlatformLoadWindowOpen(const RLoadPictures& pictures, bool show_progress, bool scale_progress,
                            bool debug_mode, int alpha, bool transparent = false);
bool PlatformLoadWindowIsOpen();
void PlatformLoadWindowProgress(int percent);
void PlatformLoadWindowClose();
