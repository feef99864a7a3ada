#pragma once
// Surfaces: off-screen drawing targets the game makes at run time, each a
// render-target texture with its own depth buffer, addressed by small ids.
// Also the one rule by which surfaces and the screen are written to files.
#include <optional>
#include <string>

#include "graphics/BM32_Bitmap.h"

// The largest surface: no side above 8192 pixels and at most 16 Mi texels
// in its texture (64 MiB of colour, as much again of depth).
inline constexpr int kSurfaceMaxSide = 8192;
inline constexpr long long kSurfaceMaxTexels = 1LL << 24;

// Why a surface of w x h cannot be made ("" when the size is fine).
std::string GR_Surface_Size_Error(int w, int h);

// A new surface (the lowest free id), -1 when there is no device, the size
// is refused or the device cannot make it. Its contents are undefined until
// drawn or cleared.
int GR_Surface_Create(int w, int h);
// Frees one surface (nothing when it does not exist); drawing goes back to
// the screen first when it is the target.
void GR_Surface_Free(int id);
// Frees every surface: before a device reset, which render targets do not
// outlive.
void GR_Surface_Free_All();
// Forgets every surface without releasing anything: the device is new or
// gone, and its textures with it.
void GR_Surface_Forget_All();
bool GR_Surface_Exists(int id);
int GR_Surface_Width(int id);    // -1 when it does not exist
int GR_Surface_Height(int id);   // -1 when it does not exist
int GR_Surface_Texture(int id);  // -1 when it does not exist
// The surface drawing goes to, -1 for the screen.
int GR_Surface_Target();

// Makes the surface the drawing target: viewport and view become its own
// pixels, (0, 0) at its top-left. Setting the current target again changes
// nothing. False without a device or surface.
bool GR_Surface_Set_Target(int id);
// Drawing goes back to the screen, viewport and view the whole region.
// False when no surface is the target.
bool GR_Surface_Reset_Target();

// A copy of the rectangle, clipped to the surface (x and y below 0 read
// from 0); nothing when the surface does not exist or nothing is left.
std::optional<TBitmap32> GR_Surface_Get_Picture(int id, int x, int y, int w, int h);
// Raw copy of the source rectangle (xs, ys, ws, hs) to (x, y) of dest,
// clipped against both surfaces: pixels and alpha replaced, nothing blended.
void GR_Surface_Copy_Part(int dest, int x, int y, int src, int xs, int ys, int ws, int hs);

// Writes a picture: a PNG when the name ends in ".png" (any case), else a
// Windows bitmap whatever the extension. The bytes go to a temporary file
// renamed over the target, so a failed write never leaves a partial picture
// under the name. False when it could not be written.
bool GR_Picture_Save(const std::string& fname, const TBitmap32& picture);
