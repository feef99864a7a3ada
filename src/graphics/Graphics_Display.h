#pragma once
// The display the game window is on: its mode and changes of it (virtual on
// this platform: full screen is a desktop-sized window showing the picture
// scaled), the cursor in screen pixels, and the window part of the graphics
// start-up.
#include "platform/Game_Window.h"

// The current mode: the window's display, or the model's own without a window.
RDisplayMode DisplayMode();

// Asks for a mode; values <= 0 are not given. With test_only nothing changes.
// True when the mode is (or would be) accepted. Without a window the model
// takes the given values.
bool DisplayChange(int width, int height, int frequency, int depth, bool test_only);
// display_set_size and its siblings: change the mode, then reset the render
// device whatever the outcome. True when the change was accepted.
bool DisplaySet(int width, int height, int frequency, int depth);
// Asks the device to reset with the anti-aliasing level at the end of the
// next frame.
void DisplayReset(int aa);

// The cursor in screen pixels.
void DisplayMouse(int& x, int& y);
void DisplayMouseSet(int x, int y);

// The mode codes of the game settings: 0 or an unknown code gives -1 (not
// given).
int DisplayDepthOfCode(int code);
void DisplaySizeOfCode(int code, int& width, int& height);
int DisplayFrequencyOfCode(int code);

// The graphics start-up before the render device exists: the display mode the
// settings ask for, then the window geometry, region and style from the
// settings. False when start-up cannot go on.
bool Init_Graphics_Window();

// Back to the start state (for tests).
void DisplayResetForTests();
