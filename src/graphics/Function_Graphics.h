#pragma once
// The drawing functions of the language for sprites and backgrounds, and the
// texture and blending settings.

// Registers draw_self, the draw_sprite and draw_background families, the
// texture functions and the blend modes.
struct RFunctionLibrary;
extern const RFunctionLibrary kLibrary_Graphics;
