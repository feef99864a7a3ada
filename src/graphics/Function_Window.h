#pragma once
// The window and display functions of the language: the game window's
// appearance and geometry, the drawing region, the display mode and the
// cursor in screen, window and room coordinates.

// Registers the window_* and display_* functions.
struct RFunctionLibrary;
extern const RFunctionLibrary kLibrary_Window;
